#include "app/common_md5_view.h"

#include "about/common_about_form.h"
#include "app/caption_system_menu.h"
#include "app/dropped_files.h"
#include "app/links.h"
#include "app/public_browse_folder_module.h"
#include "app/report_box_text.h"
#include "app/verify_window.h"
#include "i18n/language.h"
#include "i18n/shown_text.h"
#include "platform/os/program_dir.h"
#include "platform/qt/file_dialogs.h"
#include "platform/qt/link_opener.h"
#include "platform/qt/qt_translations.h"
#include "platform/qt/units.h"
#include "platform/qt/window_hints.h"
#include "report/report.h"
#include "report/report_labels.h"
#include "report/run_progress.h"
#include "skin/skin_caption.h"
#include "skin/skin_frame.h"
#include "winstyle/window_style.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <filesystem>
#include <vector>

namespace varnel {

namespace {

// Outer size of the window framed by its skin, in twips.
constexpr int kSkinnedWidthTwips = 7370;
constexpr int kSkinnedHeightTwips = 5065;

// The open-file dialog's filter, in the common dialog's form.
constexpr const char* kOpenFilter = "Exe File (*.exe;*.dll;*.ocx)|*.exe;*.dll;*.ocx|File (*.*)|*.*";
// The folder picker's prompt; shown as it is in every language mode.
constexpr const char* kFolderPrompt = "请选中文件夹,然后确定.";

// The system menu's items of the program's own: the verify item, and the
// Add digests submenu's, one per line of kReportDigestLines from the first.
constexpr std::uint32_t kVerifyListsCommand = 0x0100;
constexpr std::uint32_t kFirstDigestCommand = 0x0110;
constexpr std::uint32_t kSaveReportCommand = 0x0120;
constexpr std::uint32_t kSaveListCommand = 0x0130;

} // namespace

Common_MD5_View::Common_MD5_View(QWidget* parent)
    : Common_MD5_View(platform::ProgramDir(), parent) {}

Common_MD5_View::Common_MD5_View(const std::filesystem::path& programFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      CommonDialog1(std::make_unique<platform::QtDialogService>()),
      m_LinkOpener(std::make_unique<platform::DesktopLinkOpener>()),
      m_ProgramFolder(programFolder) {
    CreateControls();
    ConnectFeed();
    Form_Load();
    // The controls stand where the design puts them: the window keeps the
    // size it is given against the window manager's sizing.
    platform::KeepGivenSize(this);
}

Common_MD5_View::~Common_MD5_View() {
    delete m_AboutForm;
    delete m_VerifyWindow;
}

void Common_MD5_View::setDialogService(std::unique_ptr<platform::DialogService> dialogs) {
    if (dialogs) {
        CommonDialog1 = std::move(dialogs);
    }
}

void Common_MD5_View::setLinkOpener(std::unique_ptr<platform::LinkOpener> opener) {
    if (opener) {
        m_LinkOpener = std::move(opener);
    }
}

void Common_MD5_View::setFilePath(const QString& path) {
    m_FilePath = path;
    m_FilePathNative = QFile::encodeName(path).toStdString();
}

void Common_MD5_View::setFilePathNative(const std::string& nativePath) {
    m_FilePathNative = nativePath;
    m_FilePath = QString::fromStdString(DisplayText(nativePath));
}

void Common_MD5_View::setFolderPath(const QString& path) {
    m_FolderPath = path;
    m_FolderPathNative = QFile::encodeName(path).toStdString();
}

void Common_MD5_View::setFolderPathNative(const std::string& nativePath) {
    m_FolderPathNative = nativePath;
    m_FolderPath = QString::fromStdString(DisplayText(nativePath));
}

void Common_MD5_View::Form_Load() {
    Image1->setVisible(false);
    Image2->setVisible(false);
    Image3->setVisible(false);
    setWindowIcon(QIcon(Image2->pixmap()));
    hide();
    SetCopyClearEnabled(false);

    ApplySystemLanguage();
    // Qt's own texts (the dialogs' buttons and labels) in the same language.
    platform::InstallQtTranslations(platform::QtLanguageForMode(UiLanguage));
    if (CurrentLanguageMode() == LanguageMode::Traditional) {
        setWindowTitle(ShownChinese(windowTitle()));
        for (QAbstractButton* control : std::initializer_list<QAbstractButton*>{
                 Command1, Command2, Command3, Command4, Command5, Command6, Command7, Command8,
                 Check1, Check2, Check3, Check4, Check5, Check6}) {
            control->setText(ShownChinese(control->text()));
        }
    }

    DescribeControls();
    AddSystemMenuItems();
    m_Feed.setStopRequested(false);
    Text1->viewport()->setAcceptDrops(true);

    // The skin: every control gets the path before any is shown, the caption
    // paints once, and the window takes the size that fits the frame.
    m_SkinFile = SkinFileFor(m_ProgramFolder);
    if (m_Frame->ApplySkin(m_SkinFile)) {
        const int tpp = platform::TwipsPerPixel(this);
        resize(platform::TwipsToPixels(kSkinnedWidthTwips, tpp),
               platform::TwipsToPixels(kSkinnedHeightTwips, tpp));
        show();
    }
    // Without a usable skin the window keeps its designed size and is shown
    // frameless by Main; it is moved by dragging its background.
}

// ---------------------------------------------------------------- reports

void Common_MD5_View::ReadReportOptions() {
    m_Options.ShowMD5 = Check1->checkState() == Qt::Checked;
    m_Options.ShowSHA1 = Check2->checkState() == Qt::Checked;
    m_Options.ShowCRC32 = Check3->checkState() == Qt::Checked;
    m_Options.ShowModifiedTime = Check4->checkState() == Qt::Checked;
    m_Options.ShowSize = Check5->checkState() == Qt::Checked;
    m_Options.ShowVersion = Check6->checkState() == Qt::Checked;
    m_Options.ShowDigests = m_ChosenDigests;
}

void Common_MD5_View::setChosenDigests(const DigestSelection& digests) {
    platform::SystemMenu* menu = platform::GetSystemMenu(this);
    for (std::size_t i = 0; i < kReportDigestLines.size(); ++i) {
        bool DigestSelection::*const member = DigestKindOf(kReportDigestLines[i].kind).selected;
        m_ChosenDigests.*member = digests.*member;
        platform::CheckMenuItem(menu, kFirstDigestCommand + static_cast<std::uint32_t>(i),
                                digests.*member);
    }
}

void Common_MD5_View::ToggleChosenDigest(DigestKind kind) {
    DigestSelection digests = m_ChosenDigests;
    bool& chosen = digests.*(DigestKindOf(kind).selected);
    chosen = !chosen;
    setChosenDigests(digests);
}

void Common_MD5_View::ConnectFeed() {
    connect(&m_Feed, &ReportFeed::runStarted, this, &Common_MD5_View::OnRunStarted);
    connect(&m_Feed, &ReportFeed::drawingAllowed, Text1, &QWidget::setUpdatesEnabled);
    connect(&m_Feed, &ReportFeed::textReady, this, &Common_MD5_View::AppendToBox);
    connect(&m_Feed, &ReportFeed::blocksShown, this, [this](const std::string& path) {
        setFilePathNative(path);
        MoveCaretToEnd();
    });
    connect(&m_Feed, &ReportFeed::progress, this, &Common_MD5_View::ShowProgress);
    connect(&m_Feed, &ReportFeed::runEnded, this, &Common_MD5_View::OnRunEnded);
    connect(&m_Feed, &ReportFeed::reportEnded, this, &Common_MD5_View::reportEnded);
    connect(&m_Feed, &ReportFeed::runEnded, this, [this](bool stopped) {
        if (m_ComparePending > 0) {
            m_ComparePending = stopped ? 0 : m_ComparePending - 1;
            if (m_ComparePending == 0 && !stopped) {
                ShowCompareVerdict();
            }
        }
    });
}

void Common_MD5_View::AppendToBox(const QString& text) {
    QTextCursor end(Text1->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
}

void Common_MD5_View::MoveCaretToEnd() {
    // The view goes to the end first: making the caret visible from where
    // the view was would lay out every block on the way to it.
    QScrollBar* bar = Text1->verticalScrollBar();
    bar->setValue(bar->maximum());
    QTextCursor caret = Text1->textCursor();
    caret.movePosition(QTextCursor::End);
    Text1->setTextCursor(caret);
}

QString Common_MD5_View::ReportText() const {
    return ReportTextOfBox(Text1->document()->toRawText()) +
           QString::fromStdString(m_Feed.PendingText());
}

void Common_MD5_View::ReportFile() {
    ReadReportOptions();
    StartReport({RunItem::File(m_FilePathNative)}, false);
}

void Common_MD5_View::ReportFolder() {
    ReadReportOptions();
    // The folder keeps the separator the walk adds to it.
    std::string folder = m_FolderPathNative;
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    setFolderPathNative(folder);
    StartReport({RunItem::Folder(folder)}, true);
}

void Common_MD5_View::StartReport(std::vector<RunItem> items, bool folderReport) {
    m_Feed.Start({std::move(items), m_Options, folderReport});
}

void Common_MD5_View::OnRunStarted(const ReportOptions& options, bool folderReport) {
    m_Options = options;
    SetRunning(true);
    m_FolderReport = folderReport;
    m_HintBeforeRun = Command5->toolTip();
    SetStopFace();
    // The word of a stop before it goes.
    Skin_Caption1->setShortTitle(QString());
}

void Common_MD5_View::ShowProgress(const RunProgress& progress) {
    const ProgressFigures figures = FiguresOf(progress);
    // The whole text is the window's title (the task bar's, and the tool tip
    // of the caption); the caption has room for the short form only. Both
    // are in the window's own language form, as its title is, whatever the
    // language mode of the hints.
    SetTitleTail(ShownChinese(ProgressShortChinese(figures)),
                 ShownChinese(ProgressTextChinese(figures)));
}

void Common_MD5_View::SetTitleTail(const QString& shortText, const QString& tail) {
    if (tail.isEmpty()) {
        if (m_ProgressShown) {
            Skin_Caption1->setShortTitle(QString());
            setWindowTitle(m_TitleBeforeRun);
            m_ProgressShown = false;
        }
        return;
    }
    if (!m_ProgressShown) {
        m_TitleBeforeRun = windowTitle();
        m_ProgressShown = true;
    }
    Skin_Caption1->setShortTitle(shortText);
    setWindowTitle(m_TitleBeforeRun + QStringLiteral(" - ") + tail);
}

void Common_MD5_View::OnRunEnded(bool stopped) {
    SetTitleTail(QString(), QString());
    // A stopped run leaves the caption saying so until the next run starts;
    // the window's title (the task bar's) is as it was.
    if (stopped) {
        Skin_Caption1->setShortTitle(windowTitle() + QStringLiteral(" - ") +
                                     ShownChinese(kStoppedText));
    }
    SetFaceAfterRun();
    SetRunning(false);
    if (m_CloseWhenRunEnds) {
        m_CloseWhenRunEnds = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

// --------------------------------------------------------------- commands

void Common_MD5_View::Command1_Click() {
    // The button is disabled while a report runs; the compare command calls
    // this twice, and a report asked for while one runs waits its turn.
    const QString chosen = CommonDialog1->GetOpenFileName(this, QString::fromLatin1(kOpenFilter));
    if (chosen.isEmpty()) {
        return;
    }
    if (QFileInfo(chosen).isDir()) {
        setFolderPath(chosen);
        ReportFolder();
        return;
    }
    setFilePath(chosen);
    show();
    ReportFile();
    SetCopyClearEnabled(true);
}

void Common_MD5_View::Command2_Click() {
    if (m_Feed.IsRunning()) {
        return;
    }
    SetStopFace();
    QString folder = m_FolderPath;
    std::uintptr_t itemList = 0;
    if (BrowseForFolder(this, folder, QString::fromUtf8(kFolderPrompt), BIF_RETURNONLYFSDIRS,
                        itemList, *CommonDialog1)) {
        setFolderPath(folder);
        ReportFolder();
        SetCopyClearEnabled(true);
    }
    // The report runs on: its end gives the button its Close face again.
    if (!m_Feed.IsRunning()) {
        SetCloseFace();
    }
}

void Common_MD5_View::Command3_Click() {
    m_Feed.ShowPendingText();
    Text1->selectAll();
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        return;
    }
    clipboard->clear();
    clipboard->setText(ReportText());
}

void Common_MD5_View::Command4_Click() {
    Text1->clear();
    m_Feed.ClearPendingText();
    SetCopyClearEnabled(false);
}

void Common_MD5_View::Command5_Click() {
    if (CaptionIs(kStopCaption)) {
        // The report ends at once: the files being read are abandoned and
        // no block is appended after this click.
        m_Feed.setStopRequested(true);
        if (m_Feed.IsRunning()) {
            m_Feed.Stop();
        } else {
            SetCloseFace();
        }
        SetCopyClearEnabled(true);
        return;
    }
    close();
}

void Common_MD5_View::Command6_Click() {
    // Two files, each dialog saying which it asks for; both blocks go into
    // the box, and once the second is there the caption says whether the
    // two are the same.
    const QString filter = QString::fromLatin1(kOpenFilter);
    // Each dialog is asked, as the two opens it stands for are: a first one
    // cancelled still leaves the second to report.
    const QString first = CommonDialog1->GetOpenFileNameTitled(
        this, filter, ShownText("比较：选择第一个文件", "Compare: choose the first file"));
    const QString second = CommonDialog1->GetOpenFileNameTitled(
        this, filter, ShownText("比较：选择第二个文件", "Compare: choose the second file"));
    m_ComparePending = first.isEmpty() || second.isEmpty() ? 0 : 2;
    for (const QString& chosen : {first, second}) {
        if (chosen.isEmpty()) {
            continue;
        }
        setFilePath(chosen);
        show();
        ReportFile();
        SetCopyClearEnabled(true);
    }
}

void Common_MD5_View::Command7_Click() {
    hide();
    // A closed about window is hidden and only waits to be deleted: it does
    // not count. A new one is made after each close, so its load procedure
    // runs again.
    Common_About_Form* about = m_AboutForm.data();
    if (about == nullptr || about->isHidden()) {
        about = new Common_About_Form(this, m_ProgramFolder);
        about->setAttribute(Qt::WA_DeleteOnClose, true);
        m_AboutForm = about;
    }
    about->show();
    emit moreToolsRequested();
}

void Common_MD5_View::Command8_Click() {
    m_LinkOpener->OpenLink(QString::fromLatin1(links::kAuthorPage));
}

void Common_MD5_View::Check1_Click() {
    Check1->setChecked(true);
}

void Common_MD5_View::Text1_OLEDragDrop(const QMimeData* mime) {
    // A drop while a folder report runs would start a second report inside
    // the first one's yield: refused.
    if (mime == nullptr || m_Feed.IsRunning()) {
        return;
    }
    const std::vector<std::string> paths = DroppedLocalPaths(*mime);
    if (paths.empty()) {
        return;
    }
    DropReport drop = ReportOfDrop(paths);
    if (!drop.folder.empty()) {
        setFolderPathNative(drop.folder);
    }
    setFilePathNative(paths.front());
    ReadReportOptions();
    StartReport(std::move(drop.items), drop.folderReport);
    SetCopyClearEnabled(true);
}

void Common_MD5_View::VerifyLists_Click() {
    // The dialog gives names only: the lists are read by the verify run.
    const QStringList chosen = CommonDialog1->GetOpenFileNames(this, VerifyListFilter());
    if (chosen.isEmpty()) {
        return;
    }
    std::vector<std::string> lists;
    for (const QString& path : chosen) {
        lists.push_back(QFile::encodeName(path).toStdString());
    }
    // A closed verify window only waits to be deleted: a new one is made.
    VerifyWindow* window = m_VerifyWindow.data();
    if (window == nullptr || window->isHidden()) {
        window = new VerifyWindow(m_ProgramFolder);
        window->setAttribute(Qt::WA_DeleteOnClose, true);
        m_VerifyWindow = window;
    }
    window->show();
    window->raise();
    window->activateWindow();
    window->Verify(std::move(lists));
}

void Common_MD5_View::AddSystemMenuItems() {
    platform::SystemMenu* menu = platform::GetSystemMenu(this);
    const QString text = CurrentLanguageMode() == LanguageMode::English
                             ? QStringLiteral("&Verify checksum list…")
                             : ShownChinese("校验清单(&V)…");
    platform::AppendMenuSeparator(menu);
    // The digests a block may carry besides the designed lines, each named
    // as results name it ("SHA-256", "SHA3-256") in every language mode.
    std::vector<platform::MenuItemInfo> digests;
    for (std::size_t i = 0; i < kReportDigestLines.size(); ++i) {
        const DigestKind kind = kReportDigestLines[i].kind;
        platform::MenuItemInfo item;
        item.id = kFirstDigestCommand + static_cast<std::uint32_t>(i);
        item.text = QString::fromUtf8(DigestKindOf(kind).name);
        item.checkable = true;
        item.action = [this, kind] { ToggleChosenDigest(kind); };
        digests.push_back(std::move(item));
    }
    platform::AppendSubMenu(menu, ShownText("添加摘要(&D)", "Add &digests"), std::move(digests));
    platform::AppendMenuItem(menu, kSaveReportCommand, ShownText("保存报告(&E)…", "Sav&e report…"),
                             [this] { SaveReport_Click(); });
    platform::AppendMenuItem(menu, kSaveListCommand,
                             ShownText("保存校验清单(&L)…", "Save checksum &list…"),
                             [this] { SaveChecksumList_Click(); });
    platform::AppendMenuItem(menu, kVerifyListsCommand, text, [this] { VerifyLists_Click(); });
    // A right click on the caption's text or icon and Alt+Space open the
    // menu, as on a system title bar; the caption's buttons keep theirs.
    m_CaptionMenu = CaptionSystemMenu::Install(this, Skin_Caption1);
}

void Common_MD5_View::PopupSystemMenu() {
    m_CaptionMenu->Popup();
}

void Common_MD5_View::NamedFilesNotFound(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        CommonDialog1->ShowFileNotFound(this, QString::fromStdString(DisplayText(path)));
    }
}

// ------------------------------------------------------ commands' state

void Common_MD5_View::SetCopyClearEnabled(bool enabled) {
    Command3->setEnabled(enabled);
    Command4->setEnabled(enabled);
}

void Common_MD5_View::SetRunning(bool running) {
    QWidget* const focused = focusWidget();
    if (running) {
        // Disabling the command that has the focus would pass the focus on
        // along the tab order, to Clear, Copy or Close, where the next Space
        // would clear the report or close the window. It waits on the Close
        // button instead, which stops the run while it goes, and comes back
        // to the command when the run has ended.
        m_FocusBeforeRun = nullptr;
        if (focused == Command1 || focused == Command2 || focused == Command6) {
            m_FocusBeforeRun = focused;
            Command5->setFocus(Qt::OtherFocusReason);
        }
    }
    // The commands that would start a second report wait for the run's end.
    Command1->setEnabled(!running);
    Command2->setEnabled(!running);
    Command6->setEnabled(!running);
    if (!running && m_FocusBeforeRun != nullptr) {
        // Unless the user has taken the focus elsewhere meanwhile.
        if (focused == Command5 || focused == nullptr) {
            m_FocusBeforeRun->setFocus(Qt::OtherFocusReason);
        }
        m_FocusBeforeRun = nullptr;
    }
}

// ----------------------------------------------------------------- events

bool Common_MD5_View::eventFilter(QObject* watched, QEvent* event) {
    if (Text1 != nullptr && watched == Text1->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            // Files only, and only as a copy: accepting a move would let the
            // drag source delete the files once they are reported.
            const QMimeData* mime = drag->mimeData();
            if (!m_Feed.IsRunning() && mime != nullptr && !DroppedLocalPaths(*mime).empty() &&
                drag->possibleActions().testFlag(Qt::CopyAction)) {
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            m_Feed.ShowPendingText();
            return false;
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QMimeData* mime = drop->mimeData();
            if (mime != nullptr && !DroppedLocalPaths(*mime).empty() &&
                drop->possibleActions().testFlag(Qt::CopyAction)) {
                drop->setDropAction(Qt::CopyAction);
                drop->accept();
                Text1_OLEDragDrop(mime);
            } else {
                // Dropped text is not inserted: the box takes files only.
                drop->ignore();
            }
            return true;
        }
        default:
            return false;
        }
    }
    if (watched == Text1) {
        // Blocks written since the last redraw of a folder report join the
        // box before the user's own input reaches it.
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::InputMethod:
        case QEvent::FocusIn:
            m_Feed.ShowPendingText();
            break;
        default:
            break;
        }
        return false;
    }
    if (event->type() == QEvent::MouseMove) {
        OnHover(watched);
    }
    return false;
}

void Common_MD5_View::closeEvent(QCloseEvent* event) {
    if (m_Feed.IsRunning()) {
        // A running report is stopped first; the window closes on the next
        // turn of the event loop, once the report has ended.
        m_Feed.setStopRequested(true);
        m_CloseWhenRunEnds = true;
        m_Feed.Stop();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace varnel
