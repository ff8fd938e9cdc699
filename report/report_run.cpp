#include "report/report_run.h"

#include "platform/os/file_query.h"
#include "platform/os/path_text.h"
#include "platform/os/thread_priority.h"
#include "report/small_file_lanes.h"

#include <algorithm>
#include <memory>
#include <new>
#include <system_error>
#include <utility>

namespace varnel {

namespace {

// A waiting consumer is woken once this many blocks stand ready in a row (or
// sooner, see ConsumerShouldWake): a wake-up per small file would cost more
// than hashing it.
constexpr std::size_t kWakeBatch = 64;

// A file this large took long enough that waking the consumer for it alone
// costs nothing in comparison.
constexpr std::uint64_t kWakeAloneSize = 1u << 20;

// The longest a ready block waits for the ones after it while the consumer
// waits.
constexpr std::chrono::milliseconds kMaxHoldBack{20};

// Counts a thread of the run as running until it returns.
class RunningThread {
public:
    explicit RunningThread(std::atomic<unsigned>& count) : m_Count(count) {}
    ~RunningThread() { m_Count.fetch_sub(1); }
    RunningThread(const RunningThread&) = delete;
    RunningThread& operator=(const RunningThread&) = delete;

private:
    std::atomic<unsigned>& m_Count;
};

// The facts of a file whose memory the system refused (its read buffer, its
// block): it is named as not read, never an abort.
FileFacts OutOfMemoryFacts() {
    FileFacts facts;
    facts.readOk = false;
    facts.failureKind = ReadFailure::ReadFailed;
    facts.failure = "out of memory";
    return facts;
}

} // namespace

unsigned ReportRun::DefaultWorkers() {
    return std::max(1u, std::thread::hardware_concurrency());
}

ReportRun::ReportRun(std::vector<RunItem> items, Settings settings)
    : m_Items(std::move(items)), m_FilesHandedIn(false), m_Settings(std::move(settings)),
      m_Start(std::chrono::steady_clock::now()),
      m_Files(m_Settings.maxFilesAhead, m_Settings.maxBytesAhead) {
    Start(true);
}

ReportRun::ReportRun(Settings settings)
    : m_FilesHandedIn(true), m_Settings(std::move(settings)),
      m_Start(std::chrono::steady_clock::now()),
      m_Files(m_Settings.maxFilesAhead, m_Settings.maxBytesAhead) {
    Start(false);
}

void ReportRun::Start(bool walk) {
    const unsigned workers =
        m_Settings.workers == 0 ? DefaultWorkers() : std::max(m_Settings.workers, 1u);
    const auto start = [this](void (ReportRun::*body)()) {
        m_ThreadsRunning.fetch_add(1);
        try {
            m_Threads.emplace_back([this, body] {
                RunningThread running(m_ThreadsRunning);
                if (m_Settings.lowerPriority) {
                    platform::LowerCurrentThreadPriority();
                }
                (this->*body)();
            });
            return true;
        } catch (const std::system_error&) {
            m_ThreadsRunning.fetch_sub(1);
            return false;
        }
    };
    bool started = !walk || start(&ReportRun::Walk);
    unsigned workersStarted = 0;
    for (unsigned i = 0; started && i < workers; ++i) {
        if (!start(&ReportRun::Work)) {
            break; // fewer workers
        }
        ++workersStarted;
    }
    if (!started || workersStarted == 0) {
        // No thread to read with: the run ends with nothing, rather than
        // reading on the consumer's thread.
        Stop();
    }
}

ReportRun::~ReportRun() {
    Stop();
    for (std::thread& thread : m_Threads) {
        thread.join();
    }
}

void ReportRun::Stop() {
    {
        std::lock_guard lock(m_Mutex);
        m_Stopped = true;
    }
    m_Cancel.store(true, std::memory_order_relaxed);
    m_WorkChanged.notify_all();
    m_ResultsReady.notify_all();
}

bool ReportRun::AddFile(std::string&& path, bool listedRegular) {
    std::unique_lock lock(m_Mutex);
    if (m_Stopped) {
        return false;
    }
    m_Files.List({std::move(path), listedRegular});
    const bool wake = m_WorkersWaiting > 0;
    lock.unlock();
    if (wake) {
        m_WorkChanged.notify_one();
    }
    return true;
}

bool ReportRun::ListWalked(std::vector<Unclaimed>& files) {
    std::unique_lock lock(m_Mutex);
    if (m_Stopped) {
        return false;
    }
    for (Unclaimed& file : files) {
        m_Files.List(std::move(file));
    }
    files.clear();
    const bool wake = m_WorkersWaiting > 0;
    lock.unlock();
    if (wake) {
        m_WorkChanged.notify_all();
    }
    return true;
}

bool ReportRun::AddFiles(std::vector<std::string>&& paths) {
    // A run with items has its files listed by its walk.
    return m_FilesHandedIn && AppendFiles(std::move(paths));
}

void ReportRun::EndFiles() {
    if (m_FilesHandedIn) {
        EndWalk();
    }
}

void ReportRun::EndWalk() {
    bool allReady = false;
    {
        std::lock_guard lock(m_Mutex);
        m_WalkEnded = true;
        allReady = AllReadyToTell();
    }
    m_WorkChanged.notify_all();
    m_ResultsReady.notify_all();
    if (allReady) {
        m_Settings.whenAllReady();
    }
}

bool ReportRun::AllReadyToTell() {
    if (m_AllReadyTold || m_Stopped || !m_Settings.whenAllReady || !m_WalkEnded ||
        m_Files.TakenCount() + m_Files.ReadyInRow() < m_Files.ListedCount()) {
        return false;
    }
    m_AllReadyTold = true;
    return true;
}

bool ReportRun::ReadyToTell() {
    if (m_ReadyTold || m_Stopped || !m_Settings.whenReady ||
        m_Files.ReadyInRow() < std::max<std::size_t>(m_Settings.readyBatch, 1)) {
        return false;
    }
    m_ReadyTold = true;
    return true;
}

bool ReportRun::AppendFiles(std::vector<std::string>&& paths) {
    std::unique_lock lock(m_Mutex);
    if (m_Stopped || m_WalkEnded) {
        return false;
    }
    for (std::string& path : paths) {
        m_Files.List({std::move(path), false});
    }
    const bool wake = m_WorkersWaiting > 0;
    lock.unlock();
    if (wake) {
        m_WorkChanged.notify_all();
    }
    return true;
}

void ReportRun::Walk() {
    // A run of plain files (a checksum list's entries) is listed at once,
    // under one lock: taking the lock per file would keep the workers
    // waiting on it.
    std::vector<std::string> files;
    files.reserve(static_cast<std::size_t>(
        std::count_if(m_Items.begin(), m_Items.end(),
                      [](const RunItem& item) { return item.kind == RunItem::Kind::File; })));
    const auto addFiles = [&] {
        const bool added = files.empty() || AppendFiles(std::move(files));
        files.clear();
        return added;
    };
    for (const RunItem& item : m_Items) {
        if (item.kind == RunItem::Kind::File) {
            files.push_back(item.path);
            continue;
        }
        if (!addFiles()) {
            break;
        }
        bool walk = false;
        bool own = false;
        switch (item.kind) {
        case RunItem::Kind::File:
            own = true;
            break;
        case RunItem::Kind::Folder:
            walk = true;
            break;
        case RunItem::Kind::FileThenFolder: {
            own = true;
            // A path whose attributes cannot be read is walked too: it
            // contributes nothing.
            const auto entry = platform::QueryEntry(platform::PathFromText(item.path));
            walk = !entry || entry->directory;
            break;
        }
        case RunItem::Kind::FolderElseFile: {
            const auto entry = platform::QueryEntry(platform::PathFromText(item.path));
            walk = entry && entry->directory;
            own = !walk;
            break;
        }
        }
        if (own && !AddFile(std::string(item.path), false)) {
            break;
        }
        if (walk) {
            std::string folder = item.path;
            std::vector<FolderWalkProblem> problems;
            // The walk's files go to the workers in groups, one lock for
            // each (a lock per file kept the workers waiting on it); a
            // worker waiting for a file gets the group at once.
            constexpr std::size_t kGroup = 64;
            std::vector<Unclaimed> walked;
            walked.reserve(kGroup);
            bool listed = true;
            const bool whole = WalkFolderFiles(
                folder,
                [this, &walked, &listed](std::string&& path, platform::EntryKind kind) {
                    walked.push_back({std::move(path), kind == platform::EntryKind::File});
                    if (walked.size() >= kGroup ||
                        m_WorkersWaiting.load(std::memory_order_relaxed) > 0) {
                        listed = ListWalked(walked);
                    }
                    return listed;
                },
                &problems, &m_Cancel, m_Settings.walkRules);
            if (listed && !walked.empty()) {
                listed = ListWalked(walked);
            }
            if (!problems.empty()) {
                std::lock_guard lock(m_Mutex);
                m_Problems.insert(m_Problems.end(), problems.begin(), problems.end());
            }
            if (!whole || !listed) {
                break;
            }
        }
    }
    addFiles();
    EndWalk();
}

bool ReportRun::MayClaim() const {
    return m_Files.MayClaim();
}

bool ReportRun::ConsumerShouldWake() const {
    const RunBlock* next = m_Files.Next();
    if (!m_ConsumerWaiting || next == nullptr) {
        return false;
    }
    if (next->facts.size.value_or(0) >= kWakeAloneSize) {
        return true;
    }
    // Enough blocks ready in a row, or the ready run cannot grow soon: the
    // list ends, no worker is gathering, or the workers cannot go further
    // ahead until the consumer takes some.
    const std::size_t readyInRow = m_Files.ReadyInRow();
    const bool listEnds = m_WalkEnded && m_Files.TakenCount() + readyInRow >= m_Files.ListedCount();
    return readyInRow >= kWakeBatch || listEnds || m_WorkersGathering == 0 || !MayClaim();
}

void ReportRun::Work() {
    FactsGatherer gatherer(m_Settings.allowHelperThreads);
    std::optional<ReportServices> services;
    if (m_Settings.services) {
        services = m_Settings.services();
    }
    FactsGatherer::Control control;
    control.cancel = &m_Cancel;
    control.bytesRead = m_Settings.bytesRead != nullptr ? m_Settings.bytesRead : &m_BytesDone;
    control.bytesKnown = &m_BytesKnown;
    control.filesSized = &m_FilesSized;
    control.digests = m_Settings.digests;
    control.readHidden = m_Settings.readHidden;

    // Small files go into the vector lanes where the processor has them: a
    // worker then holds a file per lane and claims as many as it has free
    // lanes. Without lanes it claims one file at a time.
    const std::unique_ptr<SmallFileLanes> lanes =
        m_Settings.vectorLanes ? SmallFileLanes::Make(m_Settings.digests.value_or(
                                     ReportDigestSelection(m_Settings.options)))
                               : nullptr;
    const auto lanesBusy = [&lanes] { return lanes && lanes->Busy(); };
    // A claimed file's block stays in one slot until it is published: the
    // lanes know it by its slot, and a block (fifteen strings) is moved
    // only into the hand-out. Slots are reused; a deque keeps them in place
    // as it grows.
    std::deque<Slot> slots;
    std::vector<std::size_t> freeSlots;
    std::vector<std::size_t> claimed; // slots claimed by this round, in list order
    std::deque<std::size_t> usual;    // slots to gather the usual way, in list order
    std::vector<SmallFileLanes::File> laneFiles;
    std::vector<Slot*> finished;
    std::vector<SmallFileLanes::Done> laneDone;

    // A worker counts as gathering from its first claim until it has no
    // file to go on with: between two files of its own it is not idle, so a
    // waiting consumer is not woken for every file it finishes.
    bool gathering = false;
    std::unique_lock lock(m_Mutex);
    for (;;) {
        const auto canGoOn = [this] {
            return m_Stopped || MayClaim() || (m_WalkEnded && !m_Files.HasUnclaimed());
        };
        if (lanesBusy()) {
            // Files in the lanes are finished whether or not more can be
            // claimed.
            if (m_Stopped) {
                break;
            }
        } else {
            if (!canGoOn()) {
                ++m_WorkersWaiting;
                m_WorkChanged.wait(lock, canGoOn);
                --m_WorkersWaiting;
            }
            if (m_Stopped || !m_Files.HasUnclaimed()) {
                break;
            }
        }
        const std::size_t most = lanes ? lanes->FreeLanes() : 1;
        claimed.clear();
        while (claimed.size() < most && MayClaim()) {
            auto [index, file] = m_Files.Claim();
            std::size_t at = 0;
            if (freeSlots.empty()) {
                at = slots.size();
                slots.emplace_back().number = at;
            } else {
                at = freeSlots.back();
                freeSlots.pop_back();
            }
            Slot& slot = slots[at];
            slot.index = index;
            slot.block.path = std::move(file.path);
            slot.block.text.clear();
            slot.listedRegular = file.listedRegular;
            claimed.push_back(at);
        }
        if (!claimed.empty() && !gathering) {
            ++m_WorkersGathering;
            gathering = true;
        }
        // A lone file is hashed faster on its own than in lanes that are
        // otherwise empty.
        const bool fillLanes = lanes && (lanes->Busy() || claimed.size() > 1 ||
                                         m_Files.HasUnclaimed() || !m_WalkEnded);
        lock.unlock();

        laneFiles.clear();
        if (fillLanes) {
            for (const std::size_t at : claimed) {
                laneFiles.push_back({.tag = at,
                                     .path = slots[at].block.path,
                                     .listedRegular = slots[at].listedRegular});
            }
            lanes->Start(laneFiles, m_Settings.options, m_Settings.versionQuery, control,
                         m_Settings.versionOfBytes);
        }
        // Files the lanes did not take (large, empty, unusual) are gathered
        // one at a time once the lanes are empty: small files claimed with a
        // large one are handed out before it, not held back until it is done.
        for (std::size_t i = 0; i < claimed.size(); ++i) {
            if (!fillLanes || !laneFiles[i].taken) {
                usual.push_back(claimed[i]);
            }
        }
        bool stopped = false;
        for (;;) {
            finished.clear();
            if (lanesBusy() && !m_Cancel.load(std::memory_order_relaxed)) {
                laneDone.clear();
                lanes->Run(laneDone);
                for (SmallFileLanes::Done& done : laneDone) {
                    Slot& slot = slots[done.tag];
                    slot.block.facts = std::move(done.facts);
                    finished.push_back(&slot);
                }
            } else if (!usual.empty()) {
                Slot& slot = slots[usual.front()];
                usual.pop_front();
                try {
                    slot.block.facts =
                        gatherer.Gather(platform::PathFromText(slot.block.path), m_Settings.options,
                                        m_Settings.versionQuery, control);
                } catch (const std::bad_alloc&) {
                    slot.block.facts = OutOfMemoryFacts();
                }
                finished.push_back(&slot);
            }
            const bool published = Publish(finished, services ? &*services : nullptr, lock);
            for (const Slot* slot : finished) {
                freeSlots.push_back(slot->number);
            }
            if (!published) {
                stopped = true;
                break;
            }
            if (usual.empty() && !MayClaim() && !lanesBusy()) {
                // It will wait for room or for the walk, or leave: idle from now on.
                if (gathering) {
                    --m_WorkersGathering;
                }
                gathering = false;
            }
            if (ConsumerShouldWake()) {
                m_ResultsReady.notify_one();
            }
            if (AllReadyToTell()) {
                lock.unlock();
                m_Settings.whenAllReady();
                lock.lock();
            } else if (ReadyToTell()) {
                lock.unlock();
                m_Settings.whenReady();
                lock.lock();
            }
            if (usual.empty() || m_Cancel.load(std::memory_order_relaxed)) {
                break; // with the lock held
            }
            lock.unlock();
        }
        if (stopped) {
            break;
        }
    }
    if (gathering) {
        --m_WorkersGathering;
    }
    lock.unlock();
    // A worker that leaves may be the one the waiting consumer counted on.
    m_ResultsReady.notify_one();
}

bool ReportRun::Publish(const std::vector<Slot*>& finished, const ReportServices* services,
                        std::unique_lock<std::mutex>& lock) {
    for (Slot* slot : finished) {
        RunBlock& block = slot->block;
        if (services != nullptr && !m_Cancel.load(std::memory_order_relaxed)) {
            try {
                AppendReportBlock(block.text, block.path, block.facts, m_Settings.options,
                                  *services);
            } catch (const std::bad_alloc&) {
                block.facts = OutOfMemoryFacts();
                block.text.clear();
            }
        }
    }
    lock.lock();
    if (m_Stopped) {
        return false;
    }
    for (Slot* slot : finished) {
        const std::uint64_t bytes = slot->block.facts.size.value_or(0);
        m_Files.Finish(slot->index, std::move(slot->block), bytes);
    }
    return true;
}

std::size_t ReportRun::TakeLocked(std::vector<RunBlock>& out, std::size_t max, bool& wakeWorker) {
    const std::size_t taken = m_Stopped ? 0 : m_Files.Take(out, max);
    if (taken > 0) {
        m_ReadyTold = false;
    }
    wakeWorker = taken > 0 && m_WorkersWaiting > 0 && MayClaim();
    return taken;
}

std::size_t ReportRun::TakeReady(std::vector<RunBlock>& out, std::size_t max) {
    bool wakeWorker = false;
    std::size_t taken = 0;
    {
        std::lock_guard lock(m_Mutex);
        taken = TakeLocked(out, max, wakeWorker);
    }
    if (wakeWorker) {
        m_WorkChanged.notify_all();
    }
    return taken;
}

bool ReportRun::WaitReady(std::vector<RunBlock>& out, std::size_t max,
                          std::optional<std::chrono::milliseconds> timeout) {
    const auto deadline =
        timeout ? std::optional(std::chrono::steady_clock::now() + *timeout) : std::nullopt;
    bool wakeWorker = false;
    std::size_t taken = 0;
    {
        std::unique_lock lock(m_Mutex);
        const auto ended = [this] {
            return m_Stopped || (m_WalkEnded && m_Files.TakenCount() >= m_Files.ListedCount());
        };
        const auto nextReady = [this] { return m_Files.ReadyInRow() > 0; };
        // Wait for a run of ready blocks (see ConsumerShouldWake), but never
        // hold back a ready one for longer than kMaxHoldBack. The wait is
        // timed so that a block that became ready without a wake-up is seen
        // within two hold-back periods.
        m_ConsumerWaiting = true;
        std::optional<std::chrono::steady_clock::time_point> seenReady;
        while (!ended() && !(nextReady() && ConsumerShouldWake())) {
            const auto now = std::chrono::steady_clock::now();
            if (deadline && now >= *deadline) {
                break;
            }
            if (nextReady()) {
                if (!seenReady) {
                    seenReady = now;
                } else if (now - *seenReady >= kMaxHoldBack) {
                    break;
                }
            }
            m_ResultsReady.wait_for(lock, kMaxHoldBack);
        }
        m_ConsumerWaiting = false;
        taken = TakeLocked(out, max, wakeWorker);
        if (taken == 0 && ended()) {
            return false;
        }
    }
    if (wakeWorker) {
        m_WorkChanged.notify_all();
    }
    return true;
}

bool ReportRun::Ended() const {
    std::lock_guard lock(m_Mutex);
    return m_Stopped || (m_WalkEnded && m_Files.TakenCount() >= m_Files.ListedCount());
}

RunProgress ReportRun::Progress() const {
    RunProgress progress;
    {
        std::lock_guard lock(m_Mutex);
        progress.filesDone = m_Files.TakenCount();
        progress.filesStarted = m_Files.ClaimedCount();
        progress.filesFound = m_Files.ListedCount();
        progress.walkEnded = m_WalkEnded;
    }
    progress.bytesDone = (m_Settings.bytesRead != nullptr ? m_Settings.bytesRead : &m_BytesDone)
                             ->load(std::memory_order_relaxed);
    progress.bytesKnown = m_BytesKnown.load(std::memory_order_relaxed);
    progress.filesSized = m_FilesSized.load(std::memory_order_relaxed);
    progress.elapsed = std::chrono::steady_clock::now() - m_Start;
    return progress;
}

std::vector<FolderWalkProblem> ReportRun::TakeProblems() {
    std::lock_guard lock(m_Mutex);
    std::vector<FolderWalkProblem> problems(
        m_Problems.begin() + static_cast<std::ptrdiff_t>(m_ProblemsTaken), m_Problems.end());
    m_ProblemsTaken = m_Problems.size();
    return problems;
}

} // namespace varnel
