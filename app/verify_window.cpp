#include "app/verify_window.h"

#include "app/dropped_files.h"
#include "app/program_icon.h"
#include "app/verify_table_model.h"
#include "app/verify_words.h"
#include "i18n/big5.h"
#include "i18n/language.h"
#include "platform/os/program_dir.h"
#include "platform/qt/designed_font.h"
#include "platform/qt/file_dialogs.h"
#include "platform/qt/keyboard_access.h"
#include "platform/qt/qt_translations.h"
#include "platform/qt/units.h"
#include "platform/qt/work_area.h"
#include "report/run_progress.h"
#include "skin/skin_border.h"
#include "skin/skin_caption.h"
#include "skin/skin_frame.h"

#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <utility>

namespace varnel {

namespace {

// The window's outer size, in twips.
constexpr int kWidthTwips = 10800;
constexpr int kHeightTwips = 7200;

// How often the window takes what the run has ready.
constexpr std::chrono::milliseconds kPollInterval{50};

// Messages kept for the status line's tool tip (the newest).
constexpr std::size_t kMessagesInTip = 40;

// Rows of messages the list under the status line shows before it scrolls.
constexpr int kMessageRowsShown = 4;

constexpr int kCountIconSize = 16;

// A count beside its status icon: the label's text is what a screen reader
// reads; the icon is painted in the margin before it.
class CountLabel final : public QLabel {
public:
    CountLabel(VerifyStatus status, QWidget* parent)
        : QLabel(parent), m_Icon(DrawVerifyStatusIcon(status)) {
        setContentsMargins(kCountIconSize + 4, 0, 0, 0);
        QPalette colours = palette();
        colours.setColor(QPalette::WindowText, VerifyStatusColour(status));
        setPalette(colours);
        setMinimumHeight(kCountIconSize);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        QPainter painter(this);
        m_Icon.paint(&painter,
                     QRect(0, (height() - kCountIconSize) / 2, kCountIconSize, kCountIconSize));
    }

private:
    QIcon m_Icon;
};

// A count as the window writes it: "1,204".
QString Grouped(std::size_t count) {
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(qulonglong{count});
}

// A Chinese text as the language mode shows it.
QString Chinese(const std::string& text) {
    if (CurrentLanguageMode() == LanguageMode::Traditional) {
        return QString::fromStdString(ConvertToBig5(text));
    }
    return QString::fromStdString(text);
}

} // namespace

QString VerifyListFilter() {
    const QString patterns = QStringLiteral(
        "*SUMS;*.sha256;*.sha512;*.sha1;*.md5;*.b2;*.sfv;*.txt;*.sha256sum;*.md5sum");
    const bool english = CurrentLanguageMode() == LanguageMode::English;
    const QString lists =
        english ? QStringLiteral("Checksum lists and reports") : Chinese("校验清单和报告");
    const QString all = english ? QStringLiteral("All files") : Chinese("所有文件");
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
        Text("文件夹", "Folder"), Text("文件", "File"), Text("%1 文件", "%1 File")});
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

QString VerifyWindow::Text(const char* chinese, const char* english) const {
    return CurrentLanguageMode() == LanguageMode::English ? QString::fromUtf8(english)
                                                          : Chinese(chinese);
}

void VerifyWindow::CreateControls() {
    setObjectName(QStringLiteral("VerifyWindow"));
    setFont(platform::DesignedFont());
    setWindowTitle(Text("Varnel 校验", "Varnel Verify"));
    setWindowIcon(QIcon(DrawProgramIcon(32)));
    setAcceptDrops(true);

    m_Frame = SkinFrame::Install(this, 2);
    m_Body = new QWidget(this);
    m_Body->setObjectName(QStringLiteral("Body"));
    m_Frame->addBody(m_Body);
    // The client area follows the caption and borders as the skin sizes them.
    for (QWidget* docked : {static_cast<QWidget*>(m_Frame->caption()),
                            static_cast<QWidget*>(m_Frame->border(FrameEdge::Left)),
                            static_cast<QWidget*>(m_Frame->border(FrameEdge::Right)),
                            static_cast<QWidget*>(m_Frame->border(FrameEdge::Bottom))}) {
        docked->installEventFilter(this);
    }

    // Each control keeps its own mouse events: a double click it does not
    // use must not reach the body, where it closes the window.
    const auto own = [](QWidget* control, const char* name) {
        control->setObjectName(QString::fromLatin1(name));
        control->setAttribute(Qt::WA_NoMousePropagation, true);
    };

    // The counts, each with its status's icon and colour.
    auto* counts = new QHBoxLayout();
    counts->setSpacing(16);
    const struct {
        VerifyStatus status;
        const char* name;
    } countKinds[] = {{VerifyStatus::Ok, "CountOk"},
                      {VerifyStatus::Failed, "CountFailed"},
                      {VerifyStatus::Missing, "CountMissing"},
                      {VerifyStatus::New, "CountNew"},
                      {VerifyStatus::Moved, "CountMoved"}};
    for (std::size_t i = 0; i < m_Counts.size(); ++i) {
        auto* label = new CountLabel(countKinds[i].status, m_Body);
        own(label, countKinds[i].name);
        m_Counts[i] = label;
        counts->addWidget(label);
    }
    counts->addStretch(1);

    m_Model = new VerifyTableModel(this);
    m_Table = new QTableView(m_Body);
    own(m_Table, "Results");
    m_Table->setModel(m_Model);
    m_Table->setAccessibleName(Text("校验结果", "Verification results"));
    m_Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_Table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the table for the next control instead of walking its cells.
    m_Table->setTabKeyNavigation(false);
    m_Table->setShowGrid(false);
    m_Table->setAlternatingRowColors(true);
    m_Table->setWordWrap(false);
    m_Table->setTextElideMode(Qt::ElideMiddle);
    m_Table->setCornerButtonEnabled(false);
    m_Table->setIconSize(QSize(kCountIconSize, kCountIconSize));
    m_Table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Rows of one fixed height: 100,000 rows are never measured one by one.
    QHeaderView* rows = m_Table->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(std::max(fontMetrics().height() + 6, kCountIconSize + 4));
    rows->hide();
    // The table follows the newest rows while it is at its end; a user who
    // scrolls back stays where they are until they scroll to the end again.
    // A change of the table's height alone moves nothing and keeps following.
    QScrollBar* bar = m_Table->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this,
            [this, bar](int value) { m_Following = value >= bar->maximum(); });
    QHeaderView* columns = m_Table->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(true);
    columns->setHighlightSections(false);

    m_ProgressBar = new QProgressBar(m_Body);
    own(m_ProgressBar, "Progress");
    m_ProgressBar->setAccessibleName(Text("进度", "Progress"));
    m_ProgressBar->setTextVisible(false);
    m_ProgressBar->setRange(0, 1);
    m_ProgressBar->setValue(0);
    m_ProgressBar->setFixedWidth(160);
    m_ProgressText = new QLabel(m_Body);
    own(m_ProgressText, "ProgressText");
    m_ProgressText->setAccessibleDescription(Text("进度", "Progress"));
    // Long texts are cut at the window's edge, never widen it.
    m_ProgressText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* progress = new QHBoxLayout();
    progress->addWidget(m_ProgressBar);
    progress->addWidget(m_ProgressText, 1);

    m_Status = new QLabel(m_Body);
    own(m_Status, "Messages");
    m_Status->setAccessibleDescription(Text("关于清单的消息", "Messages about the lists"));
    m_Status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_Status->setTextFormat(Qt::PlainText);
    m_Status->hide();
    // Every message, the first at the top: the status line above counts them.
    m_MessageList = new QListWidget(m_Body);
    own(m_MessageList, "MessageList");
    m_MessageList->setAccessibleName(Text("关于清单的消息", "Messages about the lists"));
    m_MessageList->setSelectionMode(QAbstractItemView::NoSelection);
    m_MessageList->setUniformItemSizes(true);
    m_MessageList->setTextElideMode(Qt::ElideMiddle);
    m_MessageList->setWordWrap(false);
    m_MessageList->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_MessageList->hide();

    const auto button = [this, &own](const char* name, const QString& caption,
                                     const QString& hint) {
        auto* control = new QPushButton(caption, m_Body);
        own(control, name);
        control->setToolTip(hint);
        control->setAccessibleDescription(hint);
        control->setAutoDefault(false);
        platform::PressWithEnter(control);
        return control;
    };
    const auto check = [this, &own](const char* name, const QString& caption, const QString& hint) {
        auto* control = new QCheckBox(caption, m_Body);
        own(control, name);
        control->setToolTip(hint);
        control->setAccessibleDescription(hint);
        return control;
    };
    m_OnlyProblems =
        check("OnlyProblems", Text("仅显示问题", "Show only problems"),
              Text("只列出未通过校验的条目", "List only the entries that did not pass"));
    m_FindNew = check("FindNew", Text("同时查找新文件", "Also find new files"),
                      Text("查找清单所在文件夹中清单未列出的文件，并找出移动过的文件",
                           "Find the files below the lists' folder that no list names, and "
                           "the files that moved"));
    m_Open = button("Open", Text("打开清单…", "Open lists…"),
                    Text("选择要校验的清单或报告", "Choose checksum lists or reports to verify"));
    m_Copy = button("Copy", Text("复制结果", "Copy results"),
                    Text("复制显示的结果", "Copy the results shown"));
    m_Stop = button("Stop", Text("停止", "Stop"), Text("停止校验", "Stop verifying"));
    SetStopFace(false); // nothing to verify again yet: off

    auto* commands = new QHBoxLayout();
    commands->addWidget(m_OnlyProblems);
    commands->addSpacing(12);
    commands->addWidget(m_FindNew);
    commands->addStretch(1);
    commands->addWidget(m_Open);
    commands->addWidget(m_Copy);
    commands->addWidget(m_Stop);

    auto* layout = new QVBoxLayout(m_Body);
    layout->setContentsMargins(8, 6, 8, 8);
    layout->setSpacing(6);
    layout->addLayout(counts);
    layout->addWidget(m_Table, 1);
    layout->addLayout(progress);
    layout->addWidget(m_Status);
    layout->addWidget(m_MessageList);
    layout->addLayout(commands);

    // Top to bottom, left to right; the focus starts on the results.
    QWidget* const tabOrder[] = {m_Table, m_MessageList, m_OnlyProblems, m_FindNew,
                                 m_Open,  m_Copy,        m_Stop};
    for (std::size_t i = 0; i + 1 < std::size(tabOrder); ++i) {
        QWidget::setTabOrder(tabOrder[i], tabOrder[i + 1]);
    }
    m_Table->setFocus(Qt::OtherFocusReason);
    platform::ShowFocusFromStart(this);

    connect(m_Open, &QPushButton::clicked, this, &VerifyWindow::Open_Click);
    connect(m_Copy, &QPushButton::clicked, this, &VerifyWindow::Copy_Click);
    connect(m_Stop, &QPushButton::clicked, this, &VerifyWindow::Stop_Click);
    connect(m_OnlyProblems, &QCheckBox::clicked, this, &VerifyWindow::OnlyProblems_Click);
    connect(m_FindNew, &QCheckBox::clicked, this, &VerifyWindow::FindNew_Click);
    m_Poll.setInterval(kPollInterval);
    connect(&m_Poll, &QTimer::timeout, this, &VerifyWindow::Poll);

    const int tpp = platform::TwipsPerPixel(this);
    resize(platform::TwipsToPixels(kWidthTwips, tpp), platform::TwipsToPixels(kHeightTwips, tpp));
    // The name takes about half the width; the status what its words need.
    int statusWidth = 0;
    for (std::size_t i = 0; i < kVerifyStatusCount; ++i) {
        statusWidth =
            std::max(statusWidth, fontMetrics().horizontalAdvance(VerifyStatusText(
                                      static_cast<VerifyStatus>(i), CurrentLanguageMode())));
    }
    m_Table->setColumnWidth(VerifyTableModel::NameColumn, width() * 9 / 20);
    m_Table->setColumnWidth(VerifyTableModel::StatusColumn, statusWidth + kCountIconSize + 28);
    ShowCounts({});
}

void VerifyWindow::Form_Load() {
    // Qt's own texts (the open-file dialog's) in the same language.
    platform::InstallQtTranslations(platform::QtLanguageForMode(UiLanguage));
    // A small screen (or a large scale) gets a window that fits its work
    // area; the table shows fewer rows.
    if (const std::optional<platform::WorkArea> area = m_Frame->workArea().Query(this)) {
        resize(std::min(width(), area->right - area->left),
               std::min(height(), area->bottom - area->top));
    }
    m_Frame->ApplySkin(SkinFileFor(m_ProgramFolder));
    // Without a usable skin the window has no title bar or borders: it is
    // moved by dragging its body and closed with Escape.
    PlaceBody();
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
    m_Batch.clear();
    m_Model->Clear();
    m_Messages.clear();
    m_Status->clear();
    m_Status->setToolTip(QString());
    m_Status->hide();
    m_MessageList->clear();
    m_MessageList->hide();
    m_ReadOnce = m_Run.ListsReadOnce();
    m_CountsShown = false;
    ShowCounts({});
    m_Following = true;
    m_ProgressBar->setRange(0, 0);
    m_ProgressText->setText(Text("正在校验…", "Verifying…"));
    SetStopFace(true);
    m_SinceProgress.start();
    m_Poll.start();
}

void VerifyWindow::Poll() {
    m_Run.TakeRows(m_Batch);
    if (!m_Batch.empty()) {
        m_Model->Append(m_Batch);
        MarkFirstRow();
        if (m_Following) {
            m_Table->scrollToBottom();
        }
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

void VerifyWindow::ShowCounts(const VerifyCounts& counts) {
    if (m_CountsShown && counts.ok == m_ShownCounts.ok && counts.failed == m_ShownCounts.failed &&
        counts.missing == m_ShownCounts.missing && counts.added == m_ShownCounts.added &&
        counts.moved == m_ShownCounts.moved) {
        return;
    }
    m_ShownCounts = counts;
    m_CountsShown = true;
    const std::size_t values[] = {counts.ok, counts.failed, counts.missing, counts.added,
                                  counts.moved};
    const QString words[] = {Text("正确", "OK"), Text("失败", "Failed"), Text("缺失", "Missing"),
                             Text("新增", "New"), Text("移动", "Moved")};
    for (std::size_t i = 0; i < m_Counts.size(); ++i) {
        m_Counts[i]->setText(words[i] + QLatin1Char(' ') + Grouped(values[i]));
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
                                     : Chinese(ProgressTextChinese(figures));
    const QString shortText = english ? QString::fromStdString(ProgressShortEnglish(figures))
                                      : Chinese(ProgressShortChinese(figures));
    m_ProgressText->setText(longText);
    m_ProgressBar->setAccessibleDescription(longText);
    SetTitleProgress(shortText, longText);
}

void VerifyWindow::SetTitleProgress(const QString& shortText, const QString& longText) {
    Skin_Caption* caption = m_Frame->caption();
    if (longText.isEmpty()) {
        if (m_ProgressInTitle) {
            caption->setShortTitle(QString());
            setWindowTitle(m_Title);
            m_ProgressInTitle = false;
        }
        return;
    }
    if (!m_ProgressInTitle) {
        m_Title = windowTitle();
        m_ProgressInTitle = true;
    }
    // The whole text is the window's title (the task bar's, and the
    // caption's tool tip); the caption has room for the short form.
    caption->setShortTitle(shortText);
    setWindowTitle(m_Title + QStringLiteral(" - ") + longText);
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
                                ? Text("关于清单的消息：1 条", "1 message about the lists")
                                : Text("关于清单的消息：%1 条", "%1 messages about the lists")
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
        tip.append(Text("（之前还有 %1 条消息）", "(%1 earlier messages)").arg(Grouped(first)));
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
    const std::size_t total =
        counts.ok + counts.failed + counts.missing + counts.added + counts.moved;
    const std::size_t problems = total - counts.ok;
    QString summary;
    if (m_Run.Stopped()) {
        summary = Text("已停止：已校验 %1 项", "Stopped: %1 entries verified").arg(Grouped(total));
    } else if (m_Run.ExitStatus() == 2) {
        summary = Text("有清单无法读取（见下方消息）；已校验 %1 项",
                       "A list could not be read (see the messages below); %1 entries verified")
                      .arg(Grouped(total));
    } else if (problems == 0) {
        summary =
            Text("校验完成：%1 项全部正确", "Done: all %1 entries are OK").arg(Grouped(total));
    } else {
        summary = Text("校验完成：%1 项，其中 %2 项有问题", "Done: %1 entries, %2 with problems")
                      .arg(Grouped(total), Grouped(problems));
    }
    m_ProgressBar->setRange(0, 1);
    m_ProgressBar->setValue(m_Run.Stopped() ? 0 : 1);
    m_ProgressBar->setAccessibleDescription(summary);
    m_ProgressText->setText(summary);
    m_ReadOnce = m_Run.ListsReadOnce();
    SetStopFace(false);
    emit runEnded();
}

void VerifyWindow::SetStopFace(bool running) {
    if (running) {
        m_Stop->setText(Text("停止", "Stop"));
    } else {
        m_Stop->setText(Text("重新校验", "Verify again"));
    }
    ShowReadAgain();
}

void VerifyWindow::ShowReadAgain() {
    const bool running = m_Poll.isActive();
    const QString readOnce = Text("清单来自管道或 FIFO，只能读取一次",
                                  "A list came from a pipe or a FIFO and can be read only once");
    const auto hint = [](QWidget* control, const QString& text) {
        control->setToolTip(text);
        control->setAccessibleDescription(text);
    };
    if (running) {
        m_Stop->setEnabled(true);
        hint(m_Stop, Text("停止校验", "Stop verifying"));
    } else {
        m_Stop->setEnabled(!m_Lists.empty() && !m_ReadOnce);
        hint(m_Stop,
             m_ReadOnce ? readOnce : Text("再次校验这些清单", "Verify the same lists again"));
    }
    // Ticking it runs the lists again, the other way.
    m_FindNew->setEnabled(!m_ReadOnce);
    hint(m_FindNew, m_ReadOnce ? readOnce
                               : Text("查找清单所在文件夹中清单未列出的文件，并找出移动过的文件",
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
    if (!m_ReadOnce) {
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
