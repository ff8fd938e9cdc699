#pragma once

// One report run: the engine behind the main window's reports and the
// varnel-report command. A walker thread lists the files of the run's items
// in walk order while worker threads gather their facts (and format their
// blocks) ahead of the consumer; the consumer takes the finished blocks
// strictly in walk order, never waiting on a file unless it asks to.
//
//     ReportRun run({RunItem::Folder("/data")}, settings);
//     std::vector<RunBlock> ready;
//     while (run.WaitReady(ready)) {          // or TakeReady() from a timer
//         for (RunBlock& block : ready) { show(block.text); }
//         ready.clear();
//     }
//
// The first block is ready as soon as its file is done, not after the walk.
// Stop() ends the run at once: the files being read are abandoned, and no
// block is handed out after it returns. Look-ahead is bounded (files and
// bytes), so memory stays flat on huge trees.

#include "report/file_facts.h"
#include "report/folder_walk.h"
#include "report/ordered_hand_out.h"
#include "report/report.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace varnel {

// One thing a run reports, in the order given.
struct RunItem {
    enum class Kind {
        File,           // the block of the path itself (ReportFile)
        Folder,         // the blocks of every file below it (ReportFolder)
        FileThenFolder, // its own block, then its files when it is a folder (a drop)
        FolderElseFile, // its files when it is a folder, else its own block
    };
    std::string path; // native bytes
    Kind kind = Kind::File;

    static RunItem File(std::string path) { return {std::move(path), Kind::File}; }
    static RunItem Folder(std::string path) { return {std::move(path), Kind::Folder}; }
};

// A finished file, in walk order.
struct RunBlock {
    std::string path; // native bytes, as the walk composed it
    FileFacts facts;
    std::string text; // the formatted block; empty when the run formats none
};

// Where a run stands.
struct RunProgress {
    std::size_t filesDone = 0;    // blocks handed to the consumer
    std::size_t filesStarted = 0; // files whose gathering began
    std::size_t filesFound = 0;   // files listed so far
    bool walkEnded = false;       // filesFound is the run's total
    std::uint64_t bytesDone = 0;  // bytes read so far (files in reading included)
    std::uint64_t bytesKnown = 0; // sizes of the files reached so far
    std::size_t filesSized = 0;   // files whose sizes are in bytesKnown
    std::chrono::steady_clock::duration elapsed{};
};

class ReportRun {
public:
    struct Settings {
        ReportOptions options;
        VersionQuery versionQuery; // thread-safe; called by the workers
        // Optional, thread-safe: the version of a small file from its bytes,
        // read whole for its digests, instead of versionQuery.
        VersionOfBytes versionOfBytes;
        // Makes the formatting services of one worker, on that worker's
        // thread. Unset: blocks are not formatted (RunBlock::text empty).
        std::function<ReportServices()> services;
        unsigned workers = 0;                      // 0: one per processor core
        std::size_t maxFilesAhead = 256;           // finished but not yet taken
        std::uint64_t maxBytesAhead = 64ull << 20; // their sizes together
        bool allowHelperThreads = true;            // MD5 of large files on a helper
        // Small files hashed several at once in the processor's vector lanes
        // (where it has them); false hashes every file one at a time.
        bool vectorLanes = true;
        // The run's threads run below the priority of the thread that made
        // the run (a window's thread keeps its turns on a busy machine).
        bool lowerPriority = false;
        // Passed to every gathering (see FactsGatherer::Control).
        std::optional<DigestSelection> digests;
        bool readHidden = false;
        // The rules of the folder walks (one file system).
        WalkRules walkRules;
        // Called once, on one of the run's threads, when every file of the
        // run is finished and its walk has ended: a consumer that takes
        // blocks on a timer can take the last ones at once instead of at
        // its next tick. No lock of the run is held during the call; it may
        // ask for Progress() but must not wait on the run (Stop, WaitReady,
        // destruction).
        std::function<void()> whenAllReady;
        // Called, on one of the run's threads and under the same terms as
        // whenAllReady, when readyBatch blocks wait in a row to be taken; then
        // not again until the consumer has taken some. A consumer on a timer
        // takes them at once, which keeps the finished blocks it has not
        // taken (and the memory they hold) few.
        std::function<void()> whenReady;
        std::size_t readyBatch = 256;
        // Optional: the bytes read are counted here instead of in the run's
        // own counter (Progress().bytesDone reads it), so that an observer on
        // another thread follows the reading of several runs in one figure.
        std::atomic<std::uint64_t>* bytesRead = nullptr;
    };

    // Starts the walker and the workers at once.
    ReportRun(std::vector<RunItem> items, Settings settings);

    // A run of plain files that the caller hands in as it has them, with
    // AddFiles, and closes with EndFiles (the files of a checksum list,
    // checked while the rest of the list is read). The workers start at
    // once; there is no walk.
    explicit ReportRun(Settings settings);

    // Only for a run made without items: appends files to it, in order.
    // False once the run is stopped or its files were ended.
    bool AddFiles(std::vector<std::string>&& paths);
    // Only for a run made without items: no file follows, and the run ends
    // once the files added are done.
    void EndFiles();
    // Stops and joins every thread.
    ~ReportRun();
    ReportRun(const ReportRun&) = delete;
    ReportRun& operator=(const ReportRun&) = delete;

    // Moves the finished blocks that follow the last one taken, in order, to
    // the end of out (at most max of them). Never waits. Returns how many.
    std::size_t TakeReady(std::vector<RunBlock>& out,
                          std::size_t max = static_cast<std::size_t>(-1));

    // Waits until at least one block is ready or the run has ended (or, with
    // a timeout, until it has passed), then takes as TakeReady does. False
    // once the run has ended with nothing left to take; true otherwise, also
    // when the timeout passed with nothing taken.
    bool WaitReady(std::vector<RunBlock>& out, std::size_t max = static_cast<std::size_t>(-1),
                   std::optional<std::chrono::milliseconds> timeout = std::nullopt);

    // True once every file has been handed out, or after Stop().
    bool Ended() const;

    // Ends the run: from the return on nothing more is handed out; the
    // threads take no further file and abandon the ones they read. Callable
    // from any thread.
    void Stop();

    // True once every thread of the run has returned (after the end, or a
    // little after Stop()); destroying the run then does not wait.
    bool ThreadsDone() const noexcept { return m_ThreadsRunning.load() == 0; }

    RunProgress Progress() const;

    // The folders the walk could not search so far, each once.
    std::vector<FolderWalkProblem> TakeProblems();

    // The worker count a run uses for Settings::workers = 0.
    static unsigned DefaultWorkers();

private:
    void Walk();
    void Work();
    void Start(bool walk);
    // False once stopped. listedRegular: the walk's listing said the entry
    // is a regular file, so it is opened without a look-up first.
    bool AddFile(std::string&& path, bool listedRegular);
    bool AppendFiles(std::vector<std::string>&& paths);
    void EndWalk();
    bool MayClaim() const;           // with m_Mutex held
    bool ConsumerShouldWake() const; // with m_Mutex held
    std::size_t TakeLocked(std::vector<RunBlock>& out, std::size_t max, bool& wakeWorker);
    // A worker's place for the block of a file it claimed, from the claim
    // until the block is published.
    struct Slot {
        std::size_t number = 0; // its place among the worker's slots
        std::size_t index = 0;  // the file's place in the list
        bool listedRegular = false;
        RunBlock block;
    };
    // Formats finished blocks (without the lock), then takes the lock and
    // moves them to their places in the list. False, with the lock held,
    // once stopped.
    bool Publish(const std::vector<Slot*>& finished, const ReportServices* services,
                 std::unique_lock<std::mutex>& lock);
    bool AllReadyToTell(); // with m_Mutex held: true once, when every file is finished
    bool ReadyToTell();    // with m_Mutex held: true when whenReady is due

    const std::vector<RunItem> m_Items;
    const bool m_FilesHandedIn; // made without items: the caller adds the files
    const Settings m_Settings;
    const std::chrono::steady_clock::time_point m_Start;

    mutable std::mutex m_Mutex;
    std::condition_variable m_WorkChanged;  // workers wait here for a file, room or a stop
    std::condition_variable m_ResultsReady; // the consumer waits here
    struct Unclaimed {
        std::string path;
        bool listedRegular = false;
    };
    // Lists the walk's files under one lock and empties files. False once
    // stopped.
    bool ListWalked(std::vector<Unclaimed>& files);
    // The files listed, claimed, finished and handed out, in list order.
    OrderedHandOut<Unclaimed, RunBlock> m_Files;
    std::vector<FolderWalkProblem> m_Problems;
    std::size_t m_ProblemsTaken = 0;
    // Changed with m_Mutex held; the walk reads it without, as a hint to
    // hand over the files it holds at once.
    std::atomic<unsigned> m_WorkersWaiting{0};
    unsigned m_WorkersGathering = 0;
    bool m_ConsumerWaiting = false;
    bool m_WalkEnded = false;
    bool m_Stopped = false;
    bool m_AllReadyTold = false;
    bool m_ReadyTold = false; // whenReady called, no block taken since

    std::atomic<bool> m_Cancel{false}; // read by the threads while they read
    std::atomic<std::uint64_t> m_BytesDone{0};
    std::atomic<std::uint64_t> m_BytesKnown{0};
    std::atomic<std::size_t> m_FilesSized{0};
    std::atomic<unsigned> m_ThreadsRunning{0};
    std::vector<std::thread> m_Threads;
};

} // namespace varnel
