#include "app/verify_window.h"

#include "app/dropped_files.h"
#include "app/saved_files.h"
#include "app/verdict_view.h"
#include "app/verify_table_model.h"
#include "app/verify_words.h"
#include "formats/name_escape.h"
#include "formats/number_text.h"
#include "i18n/language.h"
#include "i18n/shown_text.h"
#include "lists/expected_digest.h"
#include "platform/os/program_dir.h"
#include "platform/qt/file_dialogs.h"
#include "platform/qt/qt_translations.h"
#include "platform/qt/work_area.h"
#include "report/run_progress.h"
#include "skin/skin_caption.h"
#include "skin/skin_frame.h"

#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>
#include <map>
#include <utility>

namespace varnel {

namespace {

// Messages kept for the status line's tool tip (the newest).
constexpr std::size_t kMessagesInTip = 40;

// Rows of messages the list under the status line shows before it scrolls.
constexpr int kMessageRowsShown = 4;

// A count as the window writes it: "1,204".
QString Grouped(std::size_t count) {
    return QString::fromStdString(formats::GroupedCount(count));
}

} // namespace

QString VerifyListFilter() {
    const QString patterns = QStringLiteral(
        "*SUMS;*.sha256;*.sha512;*.sha1;*.md5;*.b2;*.sfv;*.txt;*.sha256sum;*.md5sum");
    const bool english = CurrentLanguageMode() == LanguageMode::English;
    const QString lists =
        english ? QStringLiteral("Checksum lists and reports") : ShownChinese("校验清单和报告");
    const QString all = english ? QStringLiteral("All files") : ShownChinese("所有文件");
    return lists + QLatin1Char('|') + patterns + QLatin1Char('|') + all +
           QStringLiteral(" (*.*)|*.*");
}

VerifyWindow::VerifyWindow(QWidget* parent) : VerifyWindow(platform::ProgramDir(), parent) {}

VerifyWindow::VerifyWindow(const std::filesystem::path& programFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_ProgramFolder(programFolder),
      m_Dialogs(std::make_unique<platform::QtDialogService>()) {
    // The texts are made in the program's language mode, read first.
    ApplySystemLanguage();
    // The open-file dialog names the kinds of files in the same mode.
    m_Dialogs = std::make_unique<platform::QtDialogService>(platform::FileTypeWords{
        ShownText("文件夹", "Folder"), ShownText("文件", "File"), ShownText("%1 文件", "%1 File")});
    CreateControls();
    Form_Load();
    // The end of a run is taken at once, not at the timer's next turn. A
    // run that ended just as the timer saw its end has nothing more to
    // give: the timer is stopped by then.
    m_Run.SetOnEnded([this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_Poll.isActive()) {
                    Poll();
                }
            },
            Qt::QueuedConnection);
    });
}

VerifyWindow::~VerifyWindow() = default;

void VerifyWindow::setDialogService(std::unique_ptr<platform::DialogService> dialogs) {
    if (dialogs) {
        m_Dialogs = std::move(dialogs);
    }
}

void VerifyWindow::Form_Load() {
    // Qt's own texts (the open-file dialog's) in the same language.
    platform::InstallQtTranslations(platform::QtLanguageForMode(UiLanguage));
    FitScreen();
    m_Frame->ApplySkin(SkinFileFor(m_ProgramFolder));
    // Without a usable skin the window has no title bar or borders: it is
    // moved by dragging its body and closed with Escape.
    PlaceBody();
}

void VerifyWindow::FitScreen() {
    // A small screen (or a large scale) gets a window that fits the
    // available part of its screen; the table shows fewer rows, and its
    // name column takes its share of the width left.
    if (const std::optional<platform::WorkArea> area = m_Frame->workArea().Query(this)) {
        resize(std::min(width(), area->right - area->left),
               std::min(height(), area->bottom - area->top));
    }
    SizeColumns();
}

void VerifyWindow::SizeColumns() {
    // The name takes about half the width; with the list column shown, the
    // name, what differs and the list share what the status leaves.
    const bool lists = !m_Table->isColumnHidden(VerifyTableModel::ListColumn);
    const int room = width() - m_Table->columnWidth(VerifyTableModel::StatusColumn) - 40;
    m_Table->setColumnWidth(VerifyTableModel::NameColumn, lists ? room * 2 / 5 : width() * 9 / 20);
    m_Table->setColumnWidth(VerifyTableModel::DiffersColumn, lists ? room / 3 : width() / 4);
}

void VerifyWindow::PlaceBody() {
    if (m_Body != nullptr && m_Frame != nullptr) {
        m_Body->setGeometry(m_Frame->clientArea());
    }
}

// ---------------------------------------------------------------- the run

void VerifyWindow::Verify(std::vector<std::string> lists) {
    if (lists.empty()) {
        return;
    }
    m_Lists = std::move(lists);
    m_Poll.stop();
    m_Run.Start(m_Lists, m_FindNew->isChecked());
    BeginShowing(RunKind::Lists);
}

void VerifyWindow::Compare(std::string a, std::string b) {
    m_Compared = {std::move(a), std::move(b)};
    m_Poll.stop();
    m_Run.StartCompare(m_Compared[0], m_Compared[1]);
    BeginShowing(RunKind::Compare);
}

void VerifyWindow::CheckDigest(const QString& text) {
    std::string reason;
    const std::optional<ExpectedDigest> digest =
        ReadExpectedDigest(text.toUtf8().toStdString(), reason);
    m_DigestBox->show();
    if (!digest) {
        m_DigestBox->ShowProblem(ShownText("不是可核对的摘要：", "Not a digest to check: ") +
                                 QString::fromStdString(reason));
        return;
    }
    if (m_DigestFiles.empty()) {
        m_DigestBox->ShowProblem(ShownText("没有要核对的文件：请先打开或拖入文件",
                                           "No file to check: open or drop one first"));
        return;
    }
    m_DigestBox->ShowProblem(QString());
    m_DigestText = text;
    m_Poll.stop();
    m_Run.StartExpect(*digest, m_DigestFiles);
    BeginShowing(RunKind::Expect);
}

void VerifyWindow::BeginShowing(RunKind kind) {
    m_RunKind = kind;
    m_Batch.clear();
    m_Model->Clear();
    m_Verdict->ClearVerdict();
    m_CompareLines->hide();
    m_Table->show();
    m_RunLists.clear();
    if (kind == RunKind::Compare) {
        m_Title =
            m_BaseTitle + QStringLiteral(" - ") +
            QString::fromStdString(
                formats::EscapeName(std::filesystem::path(m_Compared[0]).filename().string())) +
            QStringLiteral(" ↔ ") +
            QString::fromStdString(
                formats::EscapeName(std::filesystem::path(m_Compared[1]).filename().string()));
    } else if (kind == RunKind::Lists) {
        m_Title = m_BaseTitle + QStringLiteral(" - ") + ListsTitle();
    } else {
        m_Title = m_BaseTitle + QStringLiteral(" - ") +
                  (m_DigestFiles.size() == 1
                       ? QString::fromStdString(formats::EscapeName(
                             std::filesystem::path(m_DigestFiles.front()).filename().string()))
                       : ShownText("%1 个文件", "%1 files").arg(Grouped(m_DigestFiles.size())));
    }
    SetTitleProgress(QString(), QString());
    ShowListNames();
    m_SeekingProblem = true;
    m_Messages.clear();
    m_Status->clear();
    m_Status->setToolTip(QString());
    m_Status->hide();
    m_MessageList->clear();
    m_MessageList->hide();
    m_ReadOnce = m_Run.ListsReadOnce();
    m_CountsShown = false;
    ShowCounts({});
    m_ProgressBar->setRange(0, 0);
    m_ProgressText->setText(kind == RunKind::Compare ? ShownText("正在比较…", "Comparing…")
                                                     : ShownText("正在校验…", "Verifying…"));
    // The timer runs before the face is set: the commands' state is told
    // from it, and a run that has already found its list read-once would
    // otherwise leave Stop off for the whole run.
    m_SinceProgress.start();
    m_Poll.start();
    SetStopFace(true);
}

void VerifyWindow::Poll() {
    m_Run.TakeRows(m_Batch);
    if (m_RunKind == RunKind::Lists && !m_FindNew->isChecked()) {
        // Lists found below folders and beside files join the list column.
        std::vector<std::string> lists = m_Run.Lists();
        if (lists.size() != m_RunLists.size()) {
            m_RunLists = std::move(lists);
            ShowListNames();
        }
    }
    if (!m_Batch.empty()) {
        m_Model->Append(m_Batch);
        MarkFirstRow();
        SeekFirstProblem();
    }
    ShowMessages();
    ShowCounts(m_Run.Counts());
    if (m_Run.ListsReadOnce() != m_ReadOnce) {
        // The run has looked the lists up.
        m_ReadOnce = !m_ReadOnce;
        ShowReadAgain();
    }
    if (m_Run.Finished()) {
        OnRunEnded();
        return;
    }
    if (m_SinceProgress.elapsed() >= kProgressInterval.count()) {
        ShowProgress();
    }
}

void VerifyWindow::MarkFirstRow() {
    // The table's focus is drawn around its current row: without one, a
    // keyboard user would not see that the table has the focus. Marking it
    // does not move the view.
    if (m_Table->currentIndex().isValid() || m_Model->rowCount() == 0) {
        return;
    }
    m_Table->setAutoScroll(false);
    m_Table->selectionModel()->setCurrentIndex(m_Model->index(0, 0), QItemSelectionModel::NoUpdate);
    m_Table->setAutoScroll(true);
}

void VerifyWindow::SeekFirstProblem() {
    if (!m_SeekingProblem) {
        return;
    }
    const int problem = m_Model->FirstProblemRow();
    if (problem < 0) {
        return;
    }
    m_SeekingProblem = false;
    // Only a view the user has left where it opened: at the top, on its
    // first row.
    const QModelIndex current = m_Table->currentIndex();
    if (m_Table->verticalScrollBar()->value() != 0 || (current.isValid() && current.row() != 0)) {
        return;
    }
    const QModelIndex first = m_Model->index(problem, VerifyTableModel::NameColumn);
    m_Table->selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    m_Table->scrollTo(first, QAbstractItemView::EnsureVisible);
}

void VerifyWindow::ShowCounts(const VerifyCounts& counts) {
    if (m_CountsShown && counts == m_ShownCounts) {
        return;
    }
    m_ShownCounts = counts;
    m_CountsShown = true;
    // In the order of kCountStatuses; OK and failed are always shown, the
    // others once there is one.
    const std::size_t values[] = {counts.ok,      counts.failed, counts.edited, counts.damaged,
                                  counts.missing, counts.moved,  counts.added,  counts.unreadable};
    for (std::size_t i = 0; i < m_Counts.size(); ++i) {
        m_Counts[i]->setText(VerifyStatusText(kCountStatuses[i], CurrentLanguageMode()) +
                             QLatin1Char(' ') + Grouped(values[i]));
        m_Counts[i]->setVisible(i < 2 || values[i] > 0);
    }
}

void VerifyWindow::ShowProgress() {
    m_SinceProgress.restart();
    const ProgressFigures figures = m_Run.Progress();
    if (figures.filesTotal && *figures.filesTotal > 0) {
        m_ProgressBar->setRange(0, 1000);
        m_ProgressBar->setValue(static_cast<int>(
            std::min<std::size_t>(1000, figures.filesDone * 1000 / *figures.filesTotal)));
    } else {
        m_ProgressBar->setRange(0, 0); // not known yet: the bar shows it is busy
    }
    const bool english = CurrentLanguageMode() == LanguageMode::English;
    const QString longText = english ? QString::fromStdString(ProgressTextEnglish(figures))
                                     : ShownChinese(ProgressTextChinese(figures));
    const QString shortText = english ? QString::fromStdString(ProgressShortEnglish(figures))
                                      : ShownChinese(ProgressShortChinese(figures));
    m_ProgressText->setText(longText);
    m_ProgressBar->setAccessibleDescription(longText);
    SetTitleProgress(shortText, longText);
}

void VerifyWindow::SetTitleProgress(const QString& shortText, const QString& longText) {
    Skin_Caption* caption = m_Frame->caption();
    if (longText.isEmpty()) {
        caption->setShortTitle(QString());
        setWindowTitle(m_Title);
        return;
    }
    // The whole text is the window's title (the task bar's, and the
    // caption's tool tip); the caption has room for the short form.
    caption->setShortTitle(shortText);
    setWindowTitle(m_Title + QStringLiteral(" - ") + longText);
}

QString VerifyWindow::ListsTitle() const {
    if (m_Lists.size() != 1) {
        return ShownText("%1 个清单", "%1 lists").arg(Grouped(m_Lists.size()));
    }
    const std::string& list = m_Lists.front();
    if (list == "-") {
        return ShownText("标准输入", "standard input");
    }
    return QString::fromStdString(
        formats::EscapeName(std::filesystem::path(list).filename().string()));
}

void VerifyWindow::ShowListNames() {
    // Each list by its file name, or by its path where two share a name.
    std::map<std::string, int> named;
    for (const std::string& list : m_RunLists) {
        ++named[std::filesystem::path(list).filename().string()];
    }
    std::vector<QString> names;
    for (const std::string& list : m_RunLists) {
        const std::string name = std::filesystem::path(list).filename().string();
        names.push_back(list == "-" ? ShownText("标准输入", "standard input")
                                    : QString::fromStdString(formats::EscapeName(
                                          named[name] > 1 || name.empty() ? list : name)));
    }
    m_Model->setListNames(std::move(names));
    // An audit takes its lists as one record: its rows tell no list.
    const bool hidden = m_RunLists.size() < 2 || m_FindNew->isChecked();
    if (hidden != m_Table->isColumnHidden(VerifyTableModel::ListColumn)) {
        m_Table->setColumnHidden(VerifyTableModel::ListColumn, hidden);
        SizeColumns();
    }
}

void VerifyWindow::ShowMessages() {
    std::vector<std::string> fresh;
    m_Run.TakeMessages(fresh);
    if (fresh.empty()) {
        return;
    }
    // Each message is kept and shown, in the window's words: a run over
    // several lists may say something of each.
    const LanguageMode mode = CurrentLanguageMode();
    for (std::string& message : fresh) {
        m_MessageList->addItem(QString::fromStdString(VerifyWords(message, mode)));
        m_Messages.push_back(std::move(message));
    }
    const auto count = static_cast<int>(m_Messages.size());
    const QString counted = count == 1
                                ? ShownText("关于清单的消息：1 条", "1 message about the lists")
                                : ShownText("关于清单的消息：%1 条", "%1 messages about the lists")
                                      .arg(Grouped(m_Messages.size()));
    // The line and the list take room only while there is something to say.
    m_Status->setText(counted);
    m_Status->setAccessibleName(counted);
    m_Status->show();
    m_MessageList->setAccessibleDescription(counted);
    const int rows = std::min(count, kMessageRowsShown);
    m_MessageList->setFixedHeight(rows * std::max(m_MessageList->sizeHintForRow(0), 1) +
                                  2 * m_MessageList->frameWidth());
    m_MessageList->show();
    m_MessageList->scrollToBottom();
    const std::size_t first =
        m_Messages.size() > kMessagesInTip ? m_Messages.size() - kMessagesInTip : 0;
    QStringList tip;
    if (first > 0) {
        tip.append(
            ShownText("（之前还有 %1 条消息）", "(%1 earlier messages)").arg(Grouped(first)));
    }
    for (std::size_t i = first; i < m_Messages.size(); ++i) {
        tip.append(m_MessageList->item(static_cast<int>(i))->text());
    }
    m_Status->setToolTip(tip.join(QLatin1Char('\n')));
}

void VerifyWindow::OnRunEnded() {
    m_Poll.stop();
    ShowMessages();
    const VerifyCounts counts = m_Run.Counts();
    ShowCounts(counts);
    SetTitleProgress(QString(), QString());
    const std::size_t total = counts.total();
    const std::size_t problems = total - counts.ok;
    QString summary;
    if (m_Run.Stopped()) {
        summary =
            ShownText("已停止：已校验 %1 项", "Stopped: %1 entries verified").arg(Grouped(total));
    } else if (m_Run.ExitStatus() == 2) {
        summary =
            ShownText("有清单无法读取（见下方消息）；已校验 %1 项",
                      "A list could not be read (see the messages below); %1 entries verified")
                .arg(Grouped(total));
    } else if (problems == 0) {
        summary =
            ShownText("校验完成：%1 项全部正确", "Done: all %1 entries are OK").arg(Grouped(total));
    } else {
        summary =
            ShownText("校验完成：%1 项，其中 %2 项有问题", "Done: %1 entries, %2 with problems")
                .arg(Grouped(total), Grouped(problems));
    }
    m_ProgressBar->setRange(0, 1);
    m_ProgressBar->setValue(m_Run.Stopped() ? 0 : 1);
    m_ProgressBar->setAccessibleDescription(summary);
    m_ProgressText->setText(summary);
    m_ReadOnce = m_Run.ListsReadOnce();
    SetStopFace(false);
    ShowOutcome();
    emit runEnded();
}

void VerifyWindow::SetStopFace(bool running) {
    if (running) {
        m_Stop->setText(ShownText("停止", "Stop"));
    } else {
        m_Stop->setText(ShownText("重新校验", "Verify again"));
    }
    ShowReadAgain();
}

void VerifyWindow::ShowReadAgain() {
    const bool running = m_Poll.isActive();
    const QString readOnce =
        ShownText("清单来自管道或 FIFO，只能读取一次",
                  "A list came from a pipe or a FIFO and can be read only once");
    const auto hint = [](QWidget* control, const QString& text) {
        control->setToolTip(text);
        control->setAccessibleDescription(text);
    };
    if (running) {
        m_Stop->setEnabled(true);
        hint(m_Stop, ShownText("停止校验", "Stop verifying"));
    } else {
        m_Stop->setEnabled((!m_Lists.empty() || m_RunKind != RunKind::Lists) && !m_ReadOnce);
        hint(m_Stop,
             m_ReadOnce ? readOnce : ShownText("再次校验这些清单", "Verify the same lists again"));
    }
    // Ticking it runs the lists again, the other way.
    m_FindNew->setEnabled(!m_ReadOnce);
    hint(m_FindNew, m_ReadOnce
                        ? readOnce
                        : ShownText("查找清单所在文件夹中清单未列出的文件，并找出移动过的文件",
                                    "Find the files below the lists' folder that no list "
                                    "names, and the files that moved"));
}

// --------------------------------------------------------------- commands

void VerifyWindow::Open_Click() {
    const QStringList chosen = m_Dialogs->GetOpenFileNames(this, VerifyListFilter());
    std::vector<std::string> lists;
    for (const QString& path : chosen) {
        lists.push_back(QFile::encodeName(path).toStdString());
    }
    Verify(std::move(lists));
}

void VerifyWindow::Stop_Click() {
    if (IsRunning()) {
        // The rows stop coming; the next turn of the timer (or the run's end,
        // told as it comes) shows the end.
        m_Run.Stop();
        return;
    }
    if (m_RunKind == RunKind::Compare) {
        Compare(m_Compared[0], m_Compared[1]);
    } else if (m_RunKind == RunKind::Expect) {
        CheckDigest(m_DigestText);
    } else if (!m_ReadOnce) {
        Verify(m_Lists);
    }
}

bool VerifyWindow::RunThreadsEndWithin(std::chrono::milliseconds limit) {
    m_Poll.stop();
    return m_Run.ThreadsEndWithin(limit);
}

void VerifyWindow::Copy_Click() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard != nullptr) {
        clipboard->setText(QString::fromStdString(m_Model->ResultText()));
    }
}

void VerifyWindow::CopySelection_Click() {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : m_Table->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.push_back(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.empty() && m_Table->currentIndex().isValid()) {
        rows.push_back(m_Table->currentIndex().row());
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!rows.empty() && clipboard != nullptr) {
        clipboard->setText(QString::fromStdString(m_Model->ResultText(rows)));
    }
}

void VerifyWindow::OnlyProblems_Click() {
    m_Model->setOnlyProblems(m_OnlyProblems->isChecked());
    MarkFirstRow();
}

void VerifyWindow::FindNew_Click() {
    // The other kind of run over the same lists; a list read once is not
    // read again (the box is off then).
    if (!m_ReadOnce) {
        Verify(m_Lists);
    }
}

// ---------------------------------------------------- verdicts and saving

namespace {

// What differs, in the window's words ("size, MD5").
QString DiffersWords(const std::vector<std::string>& differs) {
    VerifyRow row;
    row.status = VerifyStatus::Failed;
    row.differs = differs;
    return VerifyDiffersText(row, CurrentLanguageMode());
}

} // namespace

void VerifyWindow::ShowOutcome() {
    if (m_Run.Stopped()) {
        return;
    }
    const VerifyCounts counts = m_Run.Counts();
    if (m_RunKind == RunKind::Compare) {
        std::vector<CompareLineRow> lines = m_Run.CompareLines();
        const bool files = !lines.empty();
        if (files) {
            // Two files: their lines side by side in place of the table.
            m_CompareLines->ShowLines(QString::fromStdString(formats::EscapeName(m_Compared[0])),
                                      QString::fromStdString(formats::EscapeName(m_Compared[1])),
                                      lines);
            m_Table->hide();
            // A digest may be checked against the two files too.
            m_DigestFiles = m_Compared;
            m_PasteDigest->setEnabled(true);
        }
        if (m_Run.ExitStatus() == 2 && counts.unreadable + counts.missing + counts.added == 0 &&
            counts.total() == 0) {
            return; // nothing could be compared: the messages say why
        }
        const bool same = m_Run.ExitStatus() == 0;
        QString detail;
        if (files && m_Model->rowCount() > 0) {
            const VerifyRow& row = m_Model->ShownRow(0);
            detail =
                same ? ShownText("大小和摘要都相同", "The size and every digest are the same")
                     : ShownText("不同之处：%1", "Differs in: %1").arg(DiffersWords(row.differs));
            if (row.compare == CompareVerdict::Unreadable) {
                detail = QString::fromStdString(row.reason);
            }
        } else {
            detail = ShownText("%1 个相同，%2 个有差异", "%1 the same, %2 not")
                         .arg(Grouped(counts.ok), Grouped(counts.total() - counts.ok));
        }
        m_Verdict->ShowVerdict(same, detail);
        return;
    }
    if (m_RunKind == RunKind::Expect) {
        // Every file matched: the kind that did (the first file's).
        const bool same = counts.total() > 0 && counts.ok == counts.total();
        QString detail;
        if (same && m_Model->rowCount() > 0 && !m_Model->ShownRow(0).differs.empty()) {
            detail = ShownText("摘要类型：%1", "Digest kind: %1")
                         .arg(QString::fromStdString(m_Model->ShownRow(0).differs.front()));
        } else if (!same) {
            detail = ShownText("摘要与文件不符", "The digest does not match the file");
        }
        m_Verdict->ShowVerdict(same, detail);
        return;
    }
    // Files given that are no lists: a digest may be checked against them;
    // without a list of their own, the box opens for one.
    m_DigestFiles = m_Run.FilesNotLists();
    const std::vector<std::string> without = m_Run.FilesWithoutList();
    m_PasteDigest->setEnabled(!m_DigestFiles.empty());
    if (!without.empty()) {
        m_ProgressText->setText(
            ShownText("“%1”旁没有列出它的校验清单：请粘贴要核对的摘要",
                      "No checksum list beside \"%1\" names it: paste a digest to check it")
                .arg(QString::fromStdString(formats::EscapeName(without.front()))));
        PasteDigest_Click();
    }
}

void VerifyWindow::PasteDigest_Click() {
    m_DigestBox->show();
    // A digest on the clipboard fills the box; anything else is left there.
    if (const QClipboard* clipboard = QGuiApplication::clipboard()) {
        const QString text = clipboard->text();
        std::string reason;
        if (!text.isEmpty() && text.size() < 4096 &&
            ReadExpectedDigest(text.toUtf8().toStdString(), reason)) {
            m_DigestBox->edit()->setText(text.trimmed());
        }
    }
    m_DigestBox->edit()->setFocus(Qt::OtherFocusReason);
    m_DigestBox->edit()->selectAll();
}

void VerifyWindow::SaveResults_Click() {
    const std::optional<platform::DialogService::SaveChoice> choice =
        m_Dialogs->GetSaveFileName(this, ResultsFileFilter(), ShownText("保存结果", "Save results"),
                                   m_RunKind == RunKind::Compare ? QStringLiteral("compare.txt")
                                                                 : QStringLiteral("results.txt"));
    if (!choice) {
        return;
    }
    const auto form = static_cast<ResultsForm>(std::clamp(choice->filter, 0, 2));
    std::vector<const VerifyRow*> rows;
    rows.reserve(m_Model->RowsHeld());
    for (int row = 0; row < m_Model->rowCount(); ++row) {
        rows.push_back(&m_Model->ShownRow(row));
    }
    std::string path = QFile::encodeName(choice->path).toStdString();
    // The dialog's form names the file when its name has no extension.
    if (std::filesystem::path(path).extension().empty()) {
        path += form == ResultsForm::Json ? ".json" : form == ResultsForm::Csv ? ".csv" : ".txt";
    }
    const QString shown = QString::fromStdString(formats::EscapeName(path));
    m_Save->setEnabled(false);
    SaveFileInBackground(
        this, path, ResultsFileText(rows, m_RunLists, form), [this, shown](const QString& failure) {
            m_Save->setEnabled(true);
            m_ProgressText->setText(
                failure.isEmpty()
                    ? ShownText("结果已保存到 %1", "Results saved to %1").arg(shown)
                    : ShownText("无法保存 %1：%2", "Could not save %1: %2").arg(shown, failure));
        });
}

// ----------------------------------------------------------------- events

void VerifyWindow::keyPressEvent(QKeyEvent* event) {
    // Escape closes the window, as the about window's back button does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

namespace {

// A drop the window takes: local files, as a copy (a move would let the
// drag source delete the lists once they are read).
bool TakesDrop(const QMimeData* mime, Qt::DropActions actions) {
    return mime != nullptr && actions.testFlag(Qt::CopyAction) && !DroppedLocalPaths(*mime).empty();
}

} // namespace

void VerifyWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (TakesDrop(event->mimeData(), event->possibleActions())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void VerifyWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (TakesDrop(event->mimeData(), event->possibleActions())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void VerifyWindow::dropEvent(QDropEvent* event) {
    if (!TakesDrop(event->mimeData(), event->possibleActions())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // The dropped lists replace the run shown.
    Verify(DroppedLocalPaths(*event->mimeData()));
}

void VerifyWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceBody();
}

void VerifyWindow::closeEvent(QCloseEvent* event) {
    // The run ends with the window; a read that hangs is left behind.
    m_Poll.stop();
    m_Run.Stop();
    QWidget::closeEvent(event);
}

bool VerifyWindow::eventFilter(QObject* watched, QEvent* event) {
    // Ctrl+C in the table copies the selected rows as varnel-report writes
    // them, not the text of the current cell.
    if (watched == m_Table && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        CopySelection_Click();
        return true;
    }
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
        if (m_Frame != nullptr && m_Frame->docks(qobject_cast<QWidget*>(watched))) {
            PlaceBody();
        }
        break;
    default:
        break;
    }
    return false;
}

} // namespace varnel
