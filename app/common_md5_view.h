#pragma once

// The main window: the report text box, the six report options, the command
// buttons, file drops and the two report builders (one file, a folder tree).

#include "app/report_feed.h"
#include "app/verify_window.h"
#include "report/file_facts.h"
#include "report/report_run.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QMimeData;
class QPlainTextEdit;
class QPushButton;

namespace varnel {
namespace platform {
class DialogService;
class LinkOpener;
} // namespace platform

class CaptionSystemMenu;
class Common_About_Form;
class Skin_Border;
class Skin_Caption;
class SkinFrame;

class Common_MD5_View : public QWidget {
    Q_OBJECT

public:
    // Builds the window and runs its load procedure (Form_Load). The window
    // is left hidden; Main shows it.
    explicit Common_MD5_View(QWidget* parent = nullptr);
    // The same with the program's folder given: the skin file is looked for
    // in its Skins folder. When that file is usable, the load procedure gives
    // it to the skin controls and shows the window in its skinned size.
    explicit Common_MD5_View(const std::filesystem::path& programFolder, QWidget* parent = nullptr);
    ~Common_MD5_View() override;

    // Seams: the dialogs (open file, folder picker) and the link opener.
    void setDialogService(std::unique_ptr<platform::DialogService> dialogs);
    void setLinkOpener(std::unique_ptr<platform::LinkOpener> opener);

    // The file to report. The native form is what is opened: a path that came
    // from the system as bytes (a drop, a folder walk) keeps its exact bytes
    // even where its display text is lossy.
    QString FilePath() const { return m_FilePath; }
    void setFilePath(const QString& path);
    void setFilePathNative(const std::string& nativePath);
    const std::string& filePathNative() const { return m_FilePathNative; }

    QString FolderPath() const { return m_FolderPath; }
    void setFolderPath(const QString& path);
    void setFolderPathNative(const std::string& nativePath);

    // A stop asked for: the running report ends on the next turn of its feed.
    bool StopRequested() const { return m_Feed.StopRequested(); }
    void setStopRequested(bool requested) { m_Feed.setStopRequested(requested); }

    QString SkinFile() const { return m_SkinFile; }
    void setSkinFile(const QString& path) { m_SkinFile = path; }

    // The report options as last read from Check1 ... Check6.
    const ReportOptions& reportOptions() const { return m_Options; }

    // The digests each block carries on lines of their own after MD5, besides
    // the six options: chosen in the system menu's Add digests submenu or on
    // the command line (see report_labels.h's kReportDigestLines), for the
    // session only. A report takes the choice of the moment it is asked for.
    const DigestSelection& ChosenDigests() const { return m_ChosenDigests; }
    void setChosenDigests(const DigestSelection& digests);

    // True while a report runs (between its start and its end).
    bool IsReportRunning() const { return m_Feed.IsRunning(); }

    // What runs the reports and paces their blocks into Text1.
    ReportFeed& Feed() { return m_Feed; }

    // The whole text of Text1 with CR LF line ends: the exact report bytes
    // while the user has not edited the box, otherwise the box's text with
    // its line breaks written as CR LF.
    QString ReportText() const;

    // Appends the block of the file named by FilePath to Text1. The file is
    // read on worker threads; the call returns at once and the block is
    // appended when it is done. A call while a report runs waits its turn
    // after that report.
    void ReportFile();
    // Appends the blocks of every file below FolderPath to Text1: the walk
    // and the reading run on worker threads, and the finished blocks are
    // appended in walk order, a batch at a time, from a timer. The call
    // returns at once. Refused (does nothing) while a folder report runs.
    void ReportFolder();

    // Event procedures of the buttons, the MD5 box and the text box.
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command8_Click();
    void Check1_Click();
    void Text1_OLEDragDrop(const QMimeData* mime);
    // Tells, one name at a time, that the paths (native bytes) name no file.
    void NamedFilesNotFound(const std::vector<std::string>& paths);
    // The system menu's verify item: asks for checksum lists or saved
    // reports and verifies them in the verify window (opened, or the one
    // already open).
    void VerifyLists_Click();
    // The system menu's save items: the report box's text as a saved report
    // (varnel-report --check reads it back), and the report's files as a
    // checksum list in the format the dialog's filter chooses.
    void SaveReport_Click();
    void SaveChecksumList_Click();
    // The verify window while it is open (it deletes itself when closed).
    VerifyWindow* verifyWindow() const { return m_VerifyWindow.data(); }

signals:
    // The more-tools button was clicked: this window is hidden and the about
    // window shown.
    void moreToolsRequested();
    // A report has ended (after its last block, or stopped).
    void reportEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void Form_Load();

    void ReadReportOptions();
    // Starts a run of items with the current options, or queues it after the
    // run that is going. folderReport: the run reports a folder (it ends with
    // the Close button's own face, its Chinese hint included).
    void StartReport(std::vector<RunItem> items, bool folderReport);
    // The feed's signals: a run has started, text to append, where the run
    // stands, its end.
    void ConnectFeed();
    // The system menu: the verify item after the window's own, opened by a
    // right click on the caption or with Alt+Space.
    void AddSystemMenuItems();
    void PopupSystemMenu();
    // The Add digests submenu's item for kind was chosen: its digest is
    // added, or taken away again.
    void ToggleChosenDigest(DigestKind kind);
    void OnRunStarted(const ReportOptions& options, bool folderReport);
    void AppendToBox(const QString& text);
    void ShowProgress(const RunProgress& progress);
    // The caption's short text and the title's tail while a run goes, or
    // after a stopped one (empty: the title as it was before the run).
    void SetTitleTail(const QString& shortText, const QString& tail);
    void OnRunEnded(bool stopped);
    void MoveCaretToEnd();
    void SetCopyClearEnabled(bool enabled);
    void SetStopFace();
    void SetCloseFace();
    // The Close button's face once a run has ended or been stopped.
    void SetFaceAfterRun();
    void SetRunning(bool running);
    void SetHoverHint(QWidget* control, const char* chineseHint);
    void Command5_MouseMove();
    void OnHover(QObject* control);
    // The hover hints of the buttons and boxes (Command5's faces apart).
    struct Hint {
        QWidget* control;
        const char* text;
    };
    std::vector<Hint> Hints() const;
    // What a screen reader reads of the controls, in the window's language.
    void DescribeControls();
    void DescribeCloseButton();
    bool CaptionIs(const char* text) const;

    // The Close button's faces: its own, and the one it shows while a report
    // runs, with their Chinese hints.
    static constexpr const char* kCloseCaption = "关闭";
    static constexpr const char* kCloseHint = "关闭退出";
    static constexpr const char* kStopCaption = "结束";
    static constexpr const char* kStopHint = "结束运行";
    // What the caption says after a stopped run.
    static constexpr const char* kStoppedText = "已停止";

    // Controls, by their designed names.
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command7 = nullptr;
    QPushButton* Command8 = nullptr;
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check2 = nullptr;
    QCheckBox* Check3 = nullptr;
    QCheckBox* Check4 = nullptr;
    QCheckBox* Check5 = nullptr;
    QCheckBox* Check6 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Image3 = nullptr;
    QLabel* Image4 = nullptr;
    SkinFrame* m_Frame = nullptr; // moves, centres and closes on a double click
    Skin_Caption* Skin_Caption1 = nullptr;
    Skin_Border* Skin_Border1 = nullptr;
    Skin_Border* Skin_Border2 = nullptr;
    Skin_Border* Skin_Border3 = nullptr;
    std::unique_ptr<platform::DialogService> CommonDialog1;
    std::unique_ptr<platform::LinkOpener> m_LinkOpener;

    // Fields of the window.
    QString m_FilePath;
    std::string m_FilePathNative;
    QString m_FolderPath;
    std::string m_FolderPathNative;
    QString m_SkinFile;
    std::filesystem::path m_ProgramFolder;
    ReportOptions m_Options;
    DigestSelection m_ChosenDigests;

    // The reports: the running one, those waiting their turn, the text
    // taken from them and not yet in Text1's document.
    ReportFeed m_Feed;
    QString m_TitleBeforeRun;
    bool m_ProgressShown = false; // the title has a tail: progress, or a stop
    bool m_FolderReport = false;  // the running report is a folder report
    QString m_HintBeforeRun;      // the Close button's hint when the run started
    bool m_CloseWhenRunEnds = false;
    QWidget* m_FocusBeforeRun = nullptr; // the command that had the focus when the run started

    // The about window while it is open; it deletes itself when closed.
    QPointer<Common_About_Form> m_AboutForm;
    QPointer<VerifyWindow> m_VerifyWindow;
    CaptionSystemMenu* m_CaptionMenu = nullptr;

    // The compare command: reports still to end before the caption tells
    // whether the two files are the same.
    int m_ComparePending = 0;
    // Says on the caption whether the compare's two blocks tell the same file.
    void ShowCompareVerdict();
    // Says on the caption how a save went.
    void ShowSaved(const QString& shown, const QString& failure);
};

} // namespace varnel
