#pragma once

// The verify window: checksum lists and saved reports checked (or audited,
// with "also find new files") in a skinned window, the results in a table
// with their status in words, icon and colour, live counts, the progress
// over the whole lists and what the run says of the lists themselves.
//
// The window only shows: the run (app/verify_run.h) reads the lists and the
// files on threads of its own, and the window takes what is ready from it
// on a timer, a batch of rows at a time.
//
//     auto* window = new VerifyWindow();
//     window->show();
//     window->Verify({"SHA256SUMS"});

#include "app/verify_run.h"

#include <QString>
#include <QTimer>
#include <QWidget>

#include <QElapsedTimer>
#include <array>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableView;

namespace varnel {
class CompareLinesView;
class DigestBox;
class VerdictPanel;
namespace platform {
class DialogService;
} // namespace platform

class SkinFrame;
class VerifyTableModel;

// The open-file dialog's filter for checksum lists and saved reports, in the
// common dialog's form, in the language mode read now.
QString VerifyListFilter();

class VerifyWindow : public QWidget {
    Q_OBJECT

public:
    // Builds the window in the program's language mode, framed by the skin
    // in programFolder's Skins folder; the window is left hidden.
    explicit VerifyWindow(QWidget* parent = nullptr);
    explicit VerifyWindow(const std::filesystem::path& programFolder, QWidget* parent = nullptr);
    ~VerifyWindow() override;

    // Seam: the open-file dialog of the open command.
    void setDialogService(std::unique_ptr<platform::DialogService> dialogs);

    // Verifies the lists (native paths) in place of the run shown: the table
    // is emptied and a run started with the "also find new files" choice.
    // A folder gives every list below it; a file that is no list is checked
    // against its own list beside it, and without one the digest box opens
    // for a digest to check it against. No lists: nothing changes.
    void Verify(std::vector<std::string> lists);

    // Compares two files or two folders (native paths) in place of the run
    // shown: the verdict large, two files' lines side by side, two folders'
    // names each with its verdict in the table.
    void Compare(std::string a, std::string b);

    // Checks the files the window was given that are no lists (or the two
    // files compared) against the digest text means, as it was pasted; a
    // text that is no digest is said under the box.
    void CheckDigest(const QString& text);

    // The verdict shown (two files compared, a digest checked), the digest
    // box and the lines of two files compared.
    const VerdictPanel& Verdict() const { return *m_Verdict; }
    DigestBox* digestBox() const { return m_DigestBox; }
    const CompareLinesView& CompareLines() const { return *m_CompareLines; }
    // The files a pasted digest is checked against.
    const std::vector<std::string>& DigestFiles() const { return m_DigestFiles; }

    // The lists of the run shown (empty before the first).
    const std::vector<std::string>& Lists() const { return m_Lists; }
    // A run is going: its rows are still coming.
    bool IsRunning() const { return m_Poll.isActive(); }
    const VerifyTableModel& Model() const { return *m_Model; }
    // varnel-report's exit status for the lists, once the run has ended.
    int ExitStatus() const { return m_Run.ExitStatus(); }
    // The messages about the lists, in the order they came, as the engine
    // words them (the window shows them in its language mode).
    const std::vector<std::string>& Messages() const { return m_Messages; }
    // The lists shown can be read only once (a pipe, a FIFO, standard
    // input): "Verify again" and "Also find new files" are off.
    bool ListsReadOnce() const { return m_ReadOnce; }

    // Stops the run and waits, at most limit, for its threads (and those of
    // the runs before it) to return; false when some are still in a read
    // that does not return. The program's end asks, so that it never waits
    // longer on a hung read.
    bool RunThreadsEndWithin(std::chrono::milliseconds limit);

    // Commands.
    void Open_Click(); // asks for lists and verifies them
    void Stop_Click(); // stops the run, or starts the lists again
    void Copy_Click(); // the shown results onto the clipboard
    // The selected rows (or the current one) onto the clipboard, as
    // varnel-report writes them: Ctrl+C in the table.
    void CopySelection_Click();
    void OnlyProblems_Click();
    void FindNew_Click();
    // Opens the digest box, filled from the clipboard when it holds a digest,
    // and gives it the focus.
    void PasteDigest_Click();
    // Asks where, and in which form (text, JSON, CSV), and saves the rows
    // shown.
    void SaveResults_Click();

signals:
    // A run has ended (after its last row, or stopped).
    void runEnded();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The controls and their layout (verify_window_layout.cpp).
    void CreateControls();
    QHBoxLayout* CreateCounts();
    void CreateTable();
    QHBoxLayout* CreateProgress();
    void CreateMessages();
    QHBoxLayout* CreateCommands();
    void SizeWindowAndColumns();
    void Form_Load();
    void PlaceBody();
    // One turn of the timer: the rows, messages, counts and progress that
    // are ready.
    void Poll();
    void MarkFirstRow();
    void ShowCounts(const VerifyCounts& counts);
    void ShowProgress();
    void ShowMessages();
    void OnRunEnded();
    // What the run shown is.
    enum class RunKind { Lists, Compare, Expect };
    // Empties the table and the words of the run before, and starts showing
    // the run just started.
    void BeginShowing(RunKind kind);
    // The verdict of a compare or a digest, once the run has ended; the
    // digest box for files without a list.
    void ShowOutcome();
    void SetStopFace(bool running);
    // Enables the commands that would read the lists again, or disables
    // them with the reason as their hint when a list can be read only once.
    void ShowReadAgain();
    void SetTitleProgress(const QString& shortText, const QString& longText);
    // The window's title for the lists of the run: the list's name, or their
    // count.
    QString ListsTitle() const;
    // The lists' names as the list column shows them; the column is shown
    // only when the rows may come from several lists.
    void ShowListNames();
    // Shows the first problem once it has come, unless the user has moved.
    void SeekFirstProblem();
    // Keeps the window within the available part of its screen.
    void FitScreen();
    void SizeColumns();

    std::filesystem::path m_ProgramFolder;
    std::unique_ptr<platform::DialogService> m_Dialogs;

    SkinFrame* m_Frame = nullptr;
    QWidget* m_Body = nullptr; // the client area's controls, laid out
    QTableView* m_Table = nullptr;
    VerifyTableModel* m_Model = nullptr;
    // The counts, split as varnel-report's summary splits them; each is
    // named by the words of its status in the table.
    static constexpr std::array<VerifyStatus, 8> kCountStatuses = {
        VerifyStatus::Ok,      VerifyStatus::Failed,    VerifyStatus::Edited,
        VerifyStatus::Damaged, VerifyStatus::Missing,   VerifyStatus::Moved,
        VerifyStatus::New,     VerifyStatus::Unreadable};
    std::array<QLabel*, kCountStatuses.size()> m_Counts{};
    QProgressBar* m_ProgressBar = nullptr;
    QLabel* m_ProgressText = nullptr;
    QLabel* m_Status = nullptr;           // the count of the messages about the lists
    QListWidget* m_MessageList = nullptr; // every message, under the status line
    QCheckBox* m_OnlyProblems = nullptr;
    QCheckBox* m_FindNew = nullptr;
    QPushButton* m_Open = nullptr;
    QPushButton* m_Copy = nullptr;
    QPushButton* m_Stop = nullptr;
    QPushButton* m_PasteDigest = nullptr;
    QPushButton* m_Save = nullptr;
    VerdictPanel* m_Verdict = nullptr;
    CompareLinesView* m_CompareLines = nullptr;
    DigestBox* m_DigestBox = nullptr;

    VerifyRun m_Run;
    std::vector<std::string> m_Lists;
    RunKind m_RunKind = RunKind::Lists;
    std::vector<std::string> m_Compared;    // the two paths compared
    std::vector<std::string> m_RunLists;    // the lists the rows name (found as the run goes)
    std::vector<std::string> m_DigestFiles; // the files a pasted digest is checked against
    QString m_DigestText;                   // the digest checked
    QTimer m_Poll;
    QElapsedTimer m_SinceProgress; // since the progress was last shown
    std::vector<VerifyRow> m_Batch;
    std::vector<std::string> m_Messages;
    VerifyCounts m_ShownCounts;
    bool m_CountsShown = false;
    QString m_BaseTitle;           // the window's name, before any list
    QString m_Title;               // the title without progress: the name and the lists
    bool m_SeekingProblem = false; // the view goes to the first problem when it comes
    bool m_ReadOnce = false;       // a list of the run shown can be read only once
};

} // namespace varnel
