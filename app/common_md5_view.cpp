#include "app/common_md5_view.h"

#include "about/common_about_form.h"
#include "app/links.h"
#include "app/program_icon.h"
#include "app/public_browse_folder_module.h"
#include "app/report_box_text.h"
#include "i18n/big5.h"
#include "i18n/language.h"
#include "platform/designed_font.h"
#include "platform/file_dialogs.h"
#include "platform/link_opener.h"
#include "platform/os/program_dir.h"
#include "platform/qt_translations.h"
#include "platform/units.h"
#include "platform/window_hints.h"
#include "report/report.h"
#include "report/report_services.h"
#include "report/run_progress.h"
#include "skin/skin_border.h"
#include "skin/skin_caption.h"
#include "skin/skin_frame.h"

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
#include <QUrl>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <thread>
#include <vector>

namespace varnel {

namespace {

// Designed client area, in twips.
constexpr int kClientWidthTwips = 7380;
constexpr int kClientHeightTwips = 5085;
// Outer size of the window framed by its skin, in twips.
constexpr int kSkinnedWidthTwips = 7370;
constexpr int kSkinnedHeightTwips = 5065;

// The open-file dialog's filter, in the common dialog's form.
constexpr const char* kOpenFilter = "Exe File (*.exe;*.dll;*.ocx)|*.exe;*.dll;*.ocx|File (*.*)|*.*";
// The folder picker's prompt; shown as it is in every language mode.
constexpr const char* kFolderPrompt = "请选中文件夹,然后确定.";

// How often finished blocks are appended to the text box while a report
// runs, unless the run tells of a batch of them sooner (kReadyBatch). A turn
// of the event loop takes blocks (kBlocksPerTake at a time) while showing
// them fits in kAppendBudgetMs; when blocks are left over, the next turn
// follows at once, after the events that wait (input, painting).
constexpr int kAppendIntervalMs = 25;
constexpr qint64 kAppendBudgetMs = 6;
constexpr std::size_t kBlocksPerTake = 128;
constexpr std::size_t kReadyBatch = 256;
constexpr qint64 kDrawIntervalMs = 40;
// Finished blocks a report may hold for the window: enough that the workers
// do not wait for the window's next turn.
constexpr std::size_t kBlocksAhead = 2048;

constexpr const char* kCloseCaption = "关闭";
constexpr const char* kCloseHint = "关闭退出";
constexpr const char* kStopCaption = "结束";
constexpr const char* kStopHint = "结束运行";

struct ControlRect {
    int left;
    int top;
    int width;
    int height;
};

// The local files of a drop, as the exact bytes of their paths: a name that
// is not valid UTF-8 reaches the file system unchanged. Items that are no
// local files (web addresses, files on other hosts) are left out.
std::vector<std::string> DroppedLocalPaths(const QMimeData& data) {
    std::vector<std::string> paths;
    if (!data.hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile()) {
            continue;
        }
        const QString host = url.host();
        if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0) {
            continue;
        }
        const QByteArray bytes =
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        if (!bytes.isEmpty()) {
            paths.emplace_back(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        }
    }
    return paths;
}

bool IsFolder(const std::string& nativePath) {
    std::error_code error;
    return std::filesystem::is_directory(std::filesystem::path(nativePath), error);
}

// A dropped item makes the drop a folder report when it is a folder or when
// its attributes cannot be read (then it is walked too, and yields nothing).
bool DropReportsFolder(const std::string& nativePath) {
    std::error_code error;
    const bool folder = std::filesystem::is_directory(std::filesystem::path(nativePath), error);
    return folder || static_cast<bool>(error);
}

} // namespace

Common_MD5_View::Common_MD5_View(QWidget* parent)
    : Common_MD5_View(platform::ProgramDir(), parent) {}

Common_MD5_View::Common_MD5_View(const std::filesystem::path& programFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      CommonDialog1(std::make_unique<platform::QtDialogService>()),
      m_LinkOpener(std::make_unique<platform::DesktopLinkOpener>()),
      m_ProgramFolder(programFolder) {
    CreateControls();
    Form_Load();
    // The controls stand where the design puts them: the window keeps the
    // size it is given against the window manager's sizing.
    platform::KeepGivenSize(this);
}

Common_MD5_View::~Common_MD5_View() {
    delete m_AboutForm;
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

void Common_MD5_View::CreateControls() {
    setObjectName(QStringLiteral("Common_MD5_View"));
    setWindowTitle(QStringLiteral("Varnel2012"));
    setFont(platform::DesignedFont());

    const int tpp = platform::TwipsPerPixel(this);
    const auto place = [this, tpp](QWidget* control, const char* name, ControlRect rect) {
        control->setObjectName(QString::fromLatin1(name));
        control->setGeometry(
            platform::TwipsToPixels(rect.left, tpp), platform::TwipsToPixels(rect.top, tpp),
            platform::TwipsToPixels(rect.width, tpp), platform::TwipsToPixels(rect.height, tpp));
        // A click the control does not use must not reach the window, where
        // a double click would close it.
        control->setAttribute(Qt::WA_NoMousePropagation, true);
        control->installEventFilter(this);
    };
    const auto button = [this, &place](const char* name, const char* caption, const char* hint,
                                       ControlRect rect) {
        auto* control = new QPushButton(QString::fromUtf8(caption), this);
        place(control, name, rect);
        control->setToolTip(QString::fromUtf8(hint));
        control->setMouseTracking(true);
        return control;
    };
    const auto check = [this, &place](const char* name, const char* caption, bool ticked,
                                      ControlRect rect) {
        auto* control = new QCheckBox(QString::fromUtf8(caption), this);
        place(control, name, rect);
        control->setChecked(ticked);
        control->setMouseTracking(true);
        return control;
    };

    // In tab order.
    Command1 = button("Command1", "打开", "Open File", {235, 3885, 990, 360});
    Command4 = button("Command4", "清除", "Clear Value", {6000, 3885, 990, 360});
    Command3 = button("Command3", "复制", "Copy Value", {4080, 3885, 990, 360});
    Command5 = button("Command5", kCloseCaption, "Close", {240, 4440, 990, 360});

    Text1 = new QPlainTextEdit(this);
    place(Text1, "Text1", {200, 600, 6975, 2535});
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Drops are handled by the window (Form_Load turns them on); until then,
    // and for anything but files, the box takes none.
    Text1->setAcceptDrops(false);
    // A folder report appends thousands of blocks; an undo history of them
    // would keep a second copy of the whole text.
    Text1->setUndoRedoEnabled(false);
    // Tab and Shift+Tab move along the window's tab order, as they do from
    // every other control; the report needs no tab characters.
    Text1->setTabChangesFocus(true);
    Text1->viewport()->installEventFilter(this);

    Command2 = button("Command2", "批量", "Open Folder", {2160, 3885, 990, 360});
    Check1 = check("Check1", "MD5值.", true, {240, 3360, 855, 255});
    Check2 = check("Check2", "SHA1值.", true, {1260, 3360, 975, 255});
    Check3 = check("Check3", "CRC32值.", false, {2360, 3360, 1095, 255});
    Check4 = check("Check4", "修改时间.", true, {3600, 3360, 1095, 255});
    Check5 = check("Check5", "文件大小.", true, {4820, 3360, 1095, 255});
    Check6 = check("Check6", "文件版本.", false, {6060, 3360, 1095, 255});
    Command7 = button("Command7", "更多工具", "More Tools", {4080, 4440, 990, 375});

    // Tab places 13 to 16: the skin's caption and border controls, docked
    // along the window's edges. They take no focus, so Tab passes over them.
    // Each loads the properties the window keeps for it; they stay hidden
    // until the load procedure finds a usable skin.
    m_Frame = SkinFrame::Install(this, 3);
    Skin_Caption1 = m_Frame->caption();
    Skin_Border1 = m_Frame->border(FrameEdge::Left);
    Skin_Border2 = m_Frame->border(FrameEdge::Right);
    Skin_Border3 = m_Frame->border(FrameEdge::Bottom);

    Command6 = button("Command6", "比较", "Comp", {2160, 4440, 990, 360});
    Command8 = button("Command8", "关于作者", "About", {6000, 4440, 990, 375});

    QWidget* const tabOrder[] = {Command1,     Command4,     Command3, Command5,      Text1,
                                 Command2,     Check1,       Check2,   Check3,        Check4,
                                 Check5,       Check6,       Command7, Skin_Caption1, Skin_Border1,
                                 Skin_Border2, Skin_Border3, Command6, Command8};
    for (std::size_t i = 0; i + 1 < std::size(tabOrder); ++i) {
        QWidget::setTabOrder(tabOrder[i], tabOrder[i + 1]);
    }

    // The images: Image2 holds the window's icon, Image1 and Image3 small
    // forms of it, Image4 nothing. None of them is shown.
    const auto image = [this, &place](const char* name, int pictureSize, ControlRect rect) {
        auto* control = new QLabel(this);
        place(control, name, rect);
        control->removeEventFilter(this);
        if (pictureSize > 0) {
            control->setPixmap(DrawProgramIcon(pictureSize));
        }
        return control;
    };
    Image1 = image("Image1", 16, {360, 3720, 240, 240});
    Image2 = image("Image2", 32, {600, 3720, 480, 480});
    Image3 = image("Image3", 16, {960, 3720, 240, 240});
    Image4 = image("Image4", 0, {1200, 3720, 255, 255});

    connect(Command1, &QPushButton::clicked, this, &Common_MD5_View::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Common_MD5_View::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Common_MD5_View::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Common_MD5_View::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Common_MD5_View::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &Common_MD5_View::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &Common_MD5_View::Command7_Click);
    connect(Command8, &QPushButton::clicked, this, &Common_MD5_View::Command8_Click);
    connect(Check1, &QCheckBox::clicked, this, &Common_MD5_View::Check1_Click);
    resize(platform::TwipsToPixels(kClientWidthTwips, tpp),
           platform::TwipsToPixels(kClientHeightTwips, tpp));
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
    if (UiLanguage == "TAIWAN") {
        const auto convert = [](const QString& caption) {
            return QString::fromStdString(ConvertToBig5(caption.toStdString()));
        };
        setWindowTitle(convert(windowTitle()));
        for (QAbstractButton* control : std::initializer_list<QAbstractButton*>{
                 Command1, Command2, Command3, Command4, Command5, Command6, Command7, Command8,
                 Check1, Check2, Check3, Check4, Check5, Check6}) {
            control->setText(convert(control->text()));
        }
    }

    m_StopRequested = false;
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
}

void Common_MD5_View::AppendReportText(const std::string& block) {
    m_PendingText += block;
}

void Common_MD5_View::ShowPendingText() {
    if (m_PendingText.empty()) {
        return;
    }
    m_ShownText.resize(0); // keeps its buffer
    AppendBoxText(m_ShownText, m_PendingText);
    m_PendingText.clear();
    QTextCursor end(Text1->document());
    end.movePosition(QTextCursor::End);
    end.insertText(m_ShownText);
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
    return ReportTextOfBox(Text1->document()->toRawText()) + QString::fromStdString(m_PendingText);
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
    if (m_Running) {
        m_Queued.push_back({std::move(items), m_Options, folderReport});
        return;
    }
    if (m_RunTimer == nullptr) {
        m_RunTimer = new QTimer(this);
        m_RunTimer->setInterval(kAppendIntervalMs);
        connect(m_RunTimer, &QTimer::timeout, this, &Common_MD5_View::OnRunTimer);
    }
    ReportRun::Settings settings;
    settings.options = m_Options;
    settings.maxFilesAhead = kBlocksAhead;
    settings.lowerPriority = true;
    const std::string language = UiLanguage;
    settings.services = [language] { return MakeReportServices(language); };
    settings.versionQuery = MakeReportServices(language).fileVersion;
    settings.versionOfBytes = MakeReportServices(language).fileVersionOfBytes;
    // The last blocks are taken as soon as they are ready, not at the next
    // tick of the timer. The call comes from a worker: it only queues a turn
    // for this window's thread (dropped if the window is gone by then).
    settings.whenAllReady = [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_Run) {
                    m_RunTimer->start(0);
                }
            },
            Qt::QueuedConnection);
    };
    settings.whenReady = settings.whenAllReady;
    settings.readyBatch = kReadyBatch;
    m_Run = std::make_unique<ReportRun>(std::move(items), std::move(settings));
    m_LastRunStopped = false;
    m_StopRequested = false;
    m_RunClock.start();
    m_NextProgressMs = kProgressDelay.count();
    m_NextDrawMs = 0;
    SetRunning(true);
    m_FolderReport = folderReport;
    m_HintBeforeRun = Command5->toolTip();
    SetStopFace();
    m_RunTimer->start(kAppendIntervalMs);
}

void Common_MD5_View::OnRunTimer() {
    if (m_Run) {
        if (m_StopRequested) {
            EndRun(true);
        } else {
            const bool more = TakeFinishedBlocks();
            // Blocks left over are taken on the next turn, at once.
            m_RunTimer->setInterval(more ? 0 : kAppendIntervalMs);
            if (!more && m_Run->Ended()) {
                // Every block has been taken: the run is over.
                EndRun(false);
            } else if (m_RunClock.elapsed() >= m_NextProgressMs) {
                ShowProgress();
                m_NextProgressMs = m_RunClock.elapsed() + kProgressInterval.count();
            }
        }
    }
    // Stopped runs are dropped once their threads have returned, so that
    // destroying them never waits on a file.
    std::erase_if(m_Retiring,
                  [](const std::unique_ptr<ReportRun>& run) { return run->ThreadsDone(); });
    if (!m_Run && m_Retiring.empty()) {
        m_RunTimer->stop();
    }
}

bool Common_MD5_View::TakeFinishedBlocks() {
    QElapsedTimer spent;
    spent.start();
    // Blocks are taken while what showing them will cost still fits the
    // turn's budget, then shown in one insertion: each insertion also lays
    // out the box's last lines for its scroll bar.
    const qint64 budgetNs = kAppendBudgetMs * 1'000'000;
    std::vector<RunBlock> blocks;
    std::size_t taken = 0;
    bool more = true;
    while (more &&
           spent.nsecsElapsed() + static_cast<qint64>(taken) * m_ShowNsPerBlock < budgetNs) {
        blocks.clear();
        more = m_Run->TakeReady(blocks, kBlocksPerTake) == kBlocksPerTake;
        for (const RunBlock& block : blocks) {
            AppendReportText(block.text);
        }
        if (!blocks.empty()) {
            setFilePathNative(blocks.back().path);
        }
        taken += blocks.size();
    }
    if (taken == 0) {
        // Nothing new: the box, its caret and the user's selection are left
        // alone (and drawn, if a turn before this one left it undrawn).
        Text1->setUpdatesEnabled(true);
        return false;
    }
    Text1->setUpdatesEnabled(false);
    const qint64 showStart = spent.nsecsElapsed();
    ShowPendingText();
    const qint64 showNsPerBlock = (spent.nsecsElapsed() - showStart) / static_cast<qint64>(taken);
    m_ShowNsPerBlock = std::max<qint64>((3 * m_ShowNsPerBlock + showNsPerBlock) / 4, 1);
    MoveCaretToEnd();
    // The box is drawn after a turn at most every kDrawIntervalMs, not after
    // each: a turn that finds nothing new, or the run's end, draws what is
    // left undrawn.
    if (m_RunClock.elapsed() >= m_NextDrawMs) {
        Text1->setUpdatesEnabled(true);
        m_NextDrawMs = m_RunClock.elapsed() + kDrawIntervalMs;
    }
    return more;
}

void Common_MD5_View::ShowProgress() {
    const std::string text = ProgressTextChinese(FiguresOf(m_Run->Progress()));
    if (!m_ProgressShown) {
        m_TitleBeforeRun = windowTitle();
        m_ProgressShown = true;
    }
    setWindowTitle(m_TitleBeforeRun + QStringLiteral(" - ") + Shown(text.c_str()));
}

void Common_MD5_View::EndRun(bool stopped) {
    if (stopped) {
        m_Run->Stop();
        m_Queued.clear();
        m_LastRunStopped = true;
    }
    if (!m_Run->ThreadsDone()) {
        m_Retiring.push_back(std::move(m_Run));
    }
    m_Run.reset();
    // Blocks appended before the end join the box's document now.
    ShowPendingText();
    Text1->setUpdatesEnabled(true);
    if (m_ProgressShown) {
        setWindowTitle(m_TitleBeforeRun);
        m_ProgressShown = false;
    }
    m_StopRequested = false;
    SetFaceAfterRun();
    SetRunning(false);
    if (m_CloseWhenRunEnds) {
        m_CloseWhenRunEnds = false;
        m_LastRunStopped = true;
        QTimer::singleShot(0, this, &QWidget::close);
    } else if (!m_Queued.empty()) {
        // The next report waiting its turn, with the options of its call.
        QueuedReport next = std::move(m_Queued.front());
        m_Queued.erase(m_Queued.begin());
        m_Options = next.options;
        StartReport(std::move(next.items), next.folderReport);
    }
    emit reportEnded();
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
    if (m_Running) {
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
    if (!m_Running) {
        SetCloseFace();
    }
}

void Common_MD5_View::Command3_Click() {
    ShowPendingText();
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
    m_PendingText.clear();
    SetCopyClearEnabled(false);
}

void Common_MD5_View::Command5_Click() {
    if (CaptionIs(kStopCaption)) {
        // The report ends at once: the files being read are abandoned and
        // no block is appended after this click.
        m_StopRequested = true;
        if (m_Run) {
            EndRun(true);
        } else {
            SetCloseFace();
        }
        SetCopyClearEnabled(true);
        return;
    }
    close();
}

void Common_MD5_View::Command6_Click() {
    Command1_Click();
    Command1_Click();
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
    if (mime == nullptr || m_Running) {
        return;
    }
    const std::vector<std::string> paths = DroppedLocalPaths(*mime);
    if (paths.empty()) {
        return;
    }
    // Several items are reported one after the other, in drop order; a
    // dropped folder gets the block of its own path, then those of its files.
    std::vector<RunItem> items;
    bool folderReport = false;
    for (const std::string& path : paths) {
        items.push_back({path, RunItem::Kind::FileThenFolder});
        if (IsFolder(path)) {
            setFolderPathNative(path.back() == '/' ? path : path + '/');
        }
        folderReport = folderReport || DropReportsFolder(path);
    }
    setFilePathNative(paths.front());
    ReadReportOptions();
    StartReport(std::move(items), folderReport);
    SetCopyClearEnabled(true);
}

// ------------------------------------------------------- faces and hints

QString Common_MD5_View::Shown(const char* text) {
    if (UiLanguage == "TAIWAN") {
        return QString::fromStdString(ConvertToBig5(text));
    }
    return QString::fromUtf8(text);
}

bool Common_MD5_View::CaptionIs(const char* text) const {
    const QString caption = Command5->text();
    return caption == QString::fromUtf8(text) ||
           caption == QString::fromStdString(ConvertToBig5(text));
}

void Common_MD5_View::SetCopyClearEnabled(bool enabled) {
    Command3->setEnabled(enabled);
    Command4->setEnabled(enabled);
}

void Common_MD5_View::SetStopFace() {
    Command5->setText(Shown(kStopCaption));
    Command5->setToolTip(Shown(kStopHint));
}

void Common_MD5_View::SetCloseFace() {
    Command5->setText(Shown(kCloseCaption));
    Command5->setToolTip(Shown(kCloseHint));
}

void Common_MD5_View::SetFaceAfterRun() {
    if (m_FolderReport) {
        SetCloseFace();
        return;
    }
    // A report of single files shows the stop face only while it runs (a
    // large file can be stopped); the button then reads Close again with the
    // hint it had before, so that a hint left from the design stays.
    Command5->setText(Shown(kCloseCaption));
    Command5->setToolTip(m_HintBeforeRun);
}

void Common_MD5_View::SetRunning(bool running) {
    m_Running = running;
    // The commands that would start a second report wait for the run's end.
    Command1->setEnabled(!running);
    Command2->setEnabled(!running);
    Command6->setEnabled(!running);
}

void Common_MD5_View::SetHoverHint(QWidget* control, const char* chineseHint) {
    if (UiLanguage == "CHINESE") {
        control->setToolTip(QString::fromUtf8(chineseHint));
    } else if (UiLanguage == "TAIWAN") {
        control->setToolTip(QString::fromStdString(ConvertToBig5(chineseHint)));
    }
}

void Common_MD5_View::Command5_MouseMove() {
    if (CaptionIs(kCloseCaption)) {
        SetHoverHint(Command5, kCloseHint);
    }
    if (CaptionIs(kStopCaption)) {
        SetHoverHint(Command5, kStopHint);
    }
}

void Common_MD5_View::OnHover(QObject* control) {
    struct Hint {
        QWidget* control;
        const char* text;
    };
    const Hint hints[] = {
        {Command1, "打开文件"},   {Command2, "打开目录"},     {Command3, "复制内容"},
        {Command4, "清除内容"},   {Command6, "比较两个文件"}, {Command7, "更多实用工具"},
        {Command8, "关于作者"},   {Check1, "显示MD5值"},      {Check2, "显示SHA1值"},
        {Check3, "显示CRC32值"},  {Check4, "显示修改时间"},   {Check5, "显示文件大小"},
        {Check6, "显示文件版本"},
    };
    if (control == Command5) {
        Command5_MouseMove();
        return;
    }
    for (const Hint& hint : hints) {
        if (hint.control == control) {
            SetHoverHint(hint.control, hint.text);
            return;
        }
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
            if (!m_Running && mime != nullptr && !DroppedLocalPaths(*mime).empty() &&
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
            ShowPendingText();
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
            ShowPendingText();
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

bool Common_MD5_View::RunThreadsEndWithin(std::chrono::milliseconds limit) {
    if (m_Run) {
        m_Run->Stop();
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const auto allDone = [this] {
        return (!m_Run || m_Run->ThreadsDone()) &&
               std::all_of(
                   m_Retiring.begin(), m_Retiring.end(),
                   [](const std::unique_ptr<ReportRun>& run) { return run->ThreadsDone(); });
    };
    while (!allDone()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void Common_MD5_View::closeEvent(QCloseEvent* event) {
    if (m_Running) {
        // A running report is stopped first; the window closes on the next
        // turn of the event loop, once the report has ended.
        m_StopRequested = true;
        m_CloseWhenRunEnds = true;
        EndRun(true);
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace varnel
