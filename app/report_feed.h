#pragma once

// What feeds the main window's report box: the report runs its commands ask
// for, one at a time and in the order asked (a report asked for while one
// runs waits its turn), and the pace at which their blocks are shown. The
// feed holds no widget and reads no file; the runs' threads read.
//
// A turn of the feed's timer takes finished blocks while what showing them
// has lately cost still fits the turn's budget, then hands them over in one
// piece (textReady) and lets the box be drawn at most every drawIntervalMs
// while blocks keep coming. A run stopped while its threads are still in a
// read is kept until they return, so that dropping it never waits on a file.
//
//     ReportFeed feed;
//     connect(&feed, &ReportFeed::textReady, box, append);   // direct: timed
//     feed.Start({{RunItem::Folder("/data/")}, options});
//     ...                                                     // runEnded(false)

#include "report/file_facts.h"
#include "report/report_run.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class QTimer;

namespace varnel {

class ReportFeed : public QObject {
    Q_OBJECT

public:
    // The pace of a feed; the defaults are the main window's.
    struct Pacing {
        // How often a turn takes blocks while a run goes, unless the run
        // tells of readyBatch blocks waiting (or of its last ones) sooner.
        int intervalMs = 25;
        // What showing one turn's blocks may cost. Blocks are taken
        // blocksPerTake at a time while the lately measured cost of showing
        // those taken so far fits; blocks left over are taken on the next
        // turn, which follows at once, after the events that wait.
        qint64 budgetMs = 6;
        std::size_t blocksPerTake = 128;
        std::size_t readyBatch = 256;
        // While blocks keep coming, the box is drawn at most this often.
        qint64 drawIntervalMs = 40;
        // Finished blocks a run may hold for the feed: enough that its
        // workers do not wait for the next turn.
        std::size_t blocksAhead = 2048;
    };

    // One report: what it reads, with which options. folderReport is the
    // asker's own mark, handed back when the run starts.
    struct Request {
        std::vector<RunItem> items;
        ReportOptions options;
        bool folderReport = false;
    };

    explicit ReportFeed(QObject* parent = nullptr);
    explicit ReportFeed(const Pacing& pacing, QObject* parent = nullptr);
    // Drops every run; a run whose threads are still in a read is waited for.
    ~ReportFeed() override;
    ReportFeed(const ReportFeed&) = delete;
    ReportFeed& operator=(const ReportFeed&) = delete;

    // Starts the request's run at once, or queues it behind the run that is
    // going. Its formatting services are those of the language mode at the
    // moment the run starts.
    void Start(Request request);
    // Ends the running run at once as stopped: nothing more of it is shown,
    // the files being read are abandoned and the requests queued behind it
    // are dropped. Nothing happens when no run goes.
    void Stop();
    // True from a run's start to its end (runEnded).
    bool IsRunning() const { return m_Run != nullptr; }

    // A stop asked for: the running run ends stopped on the feed's next
    // turn. Cleared when a run starts and when it ends.
    bool StopRequested() const { return m_StopRequested; }
    void setStopRequested(bool requested) { m_StopRequested = requested; }

    // Report text (UTF-8, CR LF line ends) taken from the run but not yet
    // handed over; a turn hands over all it takes.
    const std::string& PendingText() const { return m_PendingText; }
    // Hands the pending text over now (textReady), if there is any.
    void ShowPendingText();
    void ClearPendingText() { m_PendingText.clear(); }

    // Stops any run still going and waits, at most limit, for the threads of
    // every run to return. False when some are still in a read that does not
    // return (a hung network mount, a stalled FUSE read): the program may
    // then end without them rather than wait.
    bool RunThreadsEndWithin(std::chrono::milliseconds limit);
    // Stopped runs kept until their threads have returned.
    std::size_t RetiringRuns() const { return m_Retiring.size(); }

    // What showing one block has lately cost, in nanoseconds: the figure a
    // turn's budget is measured by.
    qint64 ShowNsPerBlock() const { return m_ShowNsPerBlock; }
    const Pacing& pacing() const { return m_Pacing; }

signals:
    // A run has started (at once, or after the run it was queued behind).
    void runStarted(const ReportOptions& options, bool folderReport);
    // The box may be drawn (true), or is to stay undrawn while the text of
    // a turn goes in (false). The feed's last word on a run is true.
    void drawingAllowed(bool allowed);
    // Report text to append at the end of the box, in the box's own form
    // (see AppendBoxText), in one insertion. Connect it directly: the time
    // the receivers take counts as the cost of showing the blocks.
    void textReady(const QString& text);
    // A turn has shown its blocks; path is that of the last of them (native
    // bytes).
    void blocksShown(const std::string& path);
    // Where the running run stands: first half a second after its start,
    // then every quarter of a second while it runs.
    void progress(const RunProgress& where);
    // The run has ended: its last block shown, or stopped. The request
    // queued next, if any, starts after this signal.
    void runEnded(bool stopped);
    // Emitted after runEnded, once the request queued next has started.
    void reportEnded();

private:
    void Begin(Request request);
    void OnTimer();
    // Takes and shows a turn's blocks; true when more are ready than the
    // turn could show.
    bool TakeTurn();
    void End(bool stopped);

    const Pacing m_Pacing;
    std::unique_ptr<ReportRun> m_Run;
    std::vector<std::unique_ptr<ReportRun>> m_Retiring;
    std::deque<Request> m_Queued;
    QTimer* m_Timer = nullptr;
    QElapsedTimer m_RunClock;
    qint64 m_NextProgressMs = 0;
    qint64 m_NextDrawMs = 0; // when a busy run lets the box be drawn next, on m_RunClock
    bool m_StopRequested = false;

    // Report text taken but not handed over, and the same in the box's
    // form; both keep their buffers between turns.
    std::string m_PendingText;
    QString m_ShownText;
    // What showing one block has lately cost a turn, in nanoseconds: a turn
    // takes no more blocks than its budget can show.
    qint64 m_ShowNsPerBlock = 4000;
};

} // namespace varnel
