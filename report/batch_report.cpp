#include "report/batch_report.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <utility>

namespace varnel {

namespace {

// A waiting consumer is woken once this many facts stand ready in a row (or
// sooner, see ConsumerShouldWake): a wake-up per small file would cost more
// than hashing it.
constexpr std::size_t kWakeBatch = 8;

// A file this large took long enough that waking the consumer for it alone
// costs nothing in comparison.
constexpr std::uint64_t kWakeAloneSize = 1u << 20;

// The longest a ready fact waits for the ones after it.
constexpr std::chrono::milliseconds kMaxHoldBack{20};

} // namespace

BatchReporter::BatchReporter(std::vector<std::filesystem::path> paths, ReportOptions options,
                             VersionQuery versionQuery)
    : BatchReporter(std::move(paths), options, std::move(versionQuery), Limits{}) {}

BatchReporter::BatchReporter(std::vector<std::filesystem::path> paths, ReportOptions options,
                             VersionQuery versionQuery, Limits limits)
    : m_Paths(std::move(paths)), m_Options(options),
      m_VersionQuery(std::move(versionQuery)), m_Limits{std::max<std::size_t>(limits.maxFilesAhead,
                                                                              1),
                                                        limits.maxBytesAhead,
                                                        std::max(limits.workers, 1u)},
      m_Slots(m_Limits.maxFilesAhead) {
    const unsigned workers =
        static_cast<unsigned>(std::min<std::size_t>(m_Limits.workers, m_Paths.size()));
    for (unsigned i = 0; i < workers; ++i) {
        try {
            m_Workers.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            break; // fewer workers; with none, Next() gathers on its own thread
        }
    }
}

BatchReporter::~BatchReporter() {
    Stop();
    for (std::thread& worker : m_Workers) {
        worker.join();
    }
}

void BatchReporter::Stop() {
    {
        std::lock_guard lock(m_Mutex);
        m_Stopped = true;
    }
    m_Cancel.store(true, std::memory_order_relaxed);
    m_WorkChanged.notify_all();
    m_ResultsReady.notify_all();
}

bool BatchReporter::MayClaim() const {
    if (m_NextClaim >= m_Paths.size()) {
        return false;
    }
    if (m_NextClaim >= m_Taken + m_Limits.maxFilesAhead) {
        return false; // its slot still holds a fact the consumer has not taken
    }
    // The file the consumer waits for is always claimable; others only while
    // the gathered files ahead stay under the byte bound.
    return m_NextClaim == m_Taken || m_BytesAhead < m_Limits.maxBytesAhead;
}

bool BatchReporter::ConsumerShouldWake() const {
    const std::optional<FileFacts>& next = m_Slots[m_Taken % m_Slots.size()];
    if (!m_ConsumerWaiting || !next.has_value()) {
        return false;
    }
    if (next->size.value_or(0) >= kWakeAloneSize) {
        return true;
    }
    // Enough facts ready in a row, or the ready run cannot grow soon: the
    // list ends, no worker is gathering, or the workers cannot go further
    // ahead until the consumer takes some.
    std::size_t run = 0;
    while (run < kWakeBatch && m_Taken + run < m_Paths.size() &&
           m_Slots[(m_Taken + run) % m_Slots.size()].has_value()) {
        ++run;
    }
    return run >= kWakeBatch || m_Taken + run >= m_Paths.size() || m_WorkersGathering == 0 ||
           !MayClaim();
}

void BatchReporter::Work() {
    FactsGatherer gatherer;
    std::unique_lock lock(m_Mutex);
    for (;;) {
        if (!m_Stopped && m_NextClaim < m_Paths.size() && !MayClaim()) {
            ++m_WorkersWaiting;
            m_WorkChanged.wait(
                lock, [this] { return m_Stopped || m_NextClaim >= m_Paths.size() || MayClaim(); });
            --m_WorkersWaiting;
        }
        if (m_Stopped || m_NextClaim >= m_Paths.size()) {
            break;
        }
        const std::size_t index = m_NextClaim++;
        ++m_WorkersGathering;
        lock.unlock();
        FileFacts facts = gatherer.Gather(m_Paths[index], m_Options, m_VersionQuery, &m_Cancel);
        lock.lock();
        --m_WorkersGathering;
        if (m_Stopped) {
            break;
        }
        const std::uint64_t size = facts.size.value_or(0);
        m_BytesAhead += size;
        m_Slots[index % m_Slots.size()] = std::move(facts);
        if (ConsumerShouldWake()) {
            m_ResultsReady.notify_one();
        }
    }
    // A worker that leaves may be the one the waiting consumer counted on.
    m_ResultsReady.notify_one();
}

std::optional<FileFacts> BatchReporter::Next() {
    std::unique_lock lock(m_Mutex);
    if (m_Stopped || m_Taken >= m_Paths.size()) {
        return std::nullopt;
    }
    if (m_Workers.empty()) {
        // No thread could be started: gather here.
        const std::size_t index = m_Taken++;
        m_NextClaim = m_Taken;
        lock.unlock();
        FactsGatherer gatherer(false);
        return gatherer.Gather(m_Paths[index], m_Options, m_VersionQuery, &m_Cancel);
    }
    std::optional<FileFacts>& slot = m_Slots[m_Taken % m_Slots.size()];
    if (!slot.has_value()) {
        // Wait for a run of ready facts (see ConsumerShouldWake), but never
        // hold back a ready one for longer than kMaxHoldBack: a window shows
        // the blocks as they come.
        // The wait is timed so that a fact that became ready without a
        // wake-up is seen within two hold-back periods.
        m_ConsumerWaiting = true;
        std::optional<std::chrono::steady_clock::time_point> seenReady;
        while (!m_Stopped && !(slot.has_value() && ConsumerShouldWake())) {
            if (slot.has_value()) {
                const auto now = std::chrono::steady_clock::now();
                if (!seenReady) {
                    seenReady = now;
                } else if (now - *seenReady >= kMaxHoldBack) {
                    break;
                }
            }
            m_ResultsReady.wait_for(lock, kMaxHoldBack);
        }
        m_ConsumerWaiting = false;
    }
    if (m_Stopped) {
        return std::nullopt;
    }
    std::optional<FileFacts> facts = std::move(slot);
    slot.reset();
    m_BytesAhead -= std::min(m_BytesAhead, facts->size.value_or(0));
    ++m_Taken;
    const bool wakeWorker = m_WorkersWaiting > 0 && MayClaim();
    lock.unlock();
    if (wakeWorker) {
        m_WorkChanged.notify_one();
    }
    return facts;
}

} // namespace varnel
