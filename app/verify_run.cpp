#include "app/verify_run.h"

#include "lists/audit.h"
#include "lists/check_scheduler.h"
#include "lists/checksum_list.h"
#include "lists/file_checks.h"
#include "lists/folder_check.h"
#include "lists/list_check.h"
#include "lists/list_names.h"
#include "lists/result_sink.h"
#include "lists/sidecar_lists.h"
#include "platform/os/file_query.h"
#include "platform/os/input_stream.h"
#include "platform/os/thread_priority.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

namespace varnel {

namespace {

// The entries whose files' sizes the count looks up: enough for the mean
// size the rest are taken at (see FiguresOf), few enough that a long list's
// count does not take the processor from its check.
constexpr std::size_t kSizedEntries = 2048;

// Entries the count passes over between looks at Stop (and updates of the
// total). Passing over them, not reading them, keeps the count of a long
// list from taking the processor from its check, which reads them too.
constexpr std::size_t kCountStep = 8192;

// How long dropping a run waits for its threads before leaving them to end
// on their own (a read that hangs on a stalled mount never returns). The
// program ends within a second of its window's close: this wait fits in it.
constexpr std::chrono::milliseconds kThreadsWait{500};

// A list named by a file descriptor: "-", /dev/stdin, a process
// substitution's /dev/fd/63, /proc/self/fd/N. Its folder is no folder of
// the files it names.
bool NamedByDescriptor(std::string_view list) {
    return list == "-" || list == "/dev/stdin" || list.starts_with("/dev/fd/") ||
           (list.starts_with("/proc/") && list.find("/fd/") != std::string_view::npos);
}

// How a list is read: whether it can be read again, and where its relative
// names lead.
struct ListKind {
    bool readOnce = false;         // a pipe, a FIFO, a socket or standard input
    bool namesFromWorking = false; // names below the working folder, not the list's
};

// Looks the list up (links followed; a FIFO is not opened).
ListKind KindOf(const std::string& list) {
    ListKind kind;
    if (list == "-") {
        kind.readOnce = true;
    } else {
        std::error_code error;
        const std::filesystem::file_type type = std::filesystem::status(list, error).type();
        kind.readOnce =
            type == std::filesystem::file_type::fifo || type == std::filesystem::file_type::socket;
    }
    // As varnel-report --check takes names from a list that came through a
    // pipe: below the working folder.
    kind.namesFromWorking = kind.readOnce || NamedByDescriptor(list);
    return kind;
}

// The folder a list's relative names are taken below ("": the working
// folder).
std::string NamesFolder(const std::string& list, const ListKind& kind) {
    return kind.namesFromWorking ? std::string() : ListFolder(list);
}

// What the table makes of the engine's status.
VerifyStatus StatusOf(const ListResult& result) {
    switch (result.status) {
    case ListStatus::Ok:
        return VerifyStatus::Ok;
    case ListStatus::Failed:
        return VerifyStatus::Failed;
    case ListStatus::Unreadable:
        // A file that is not there is missing, whichever command said so.
        return result.notFound ? VerifyStatus::Missing : VerifyStatus::Unreadable;
    case ListStatus::Improper:
        return VerifyStatus::Malformed;
    case ListStatus::Edited:
        return VerifyStatus::Edited;
    case ListStatus::Damaged:
        return VerifyStatus::Damaged;
    case ListStatus::Missing:
        return VerifyStatus::Missing;
    case ListStatus::Moved:
        return VerifyStatus::Moved;
    case ListStatus::New:
    case ListStatus::Added: // the update's, never a check's or an audit's
        return VerifyStatus::New;
    }
    return VerifyStatus::Failed;
}

void Count(VerifyCounts& counts, VerifyStatus status) {
    switch (status) {
    case VerifyStatus::Ok:
        ++counts.ok;
        break;
    case VerifyStatus::Failed:
    case VerifyStatus::Malformed:
        ++counts.failed;
        break;
    case VerifyStatus::Edited:
        ++counts.edited;
        break;
    case VerifyStatus::Damaged:
        ++counts.damaged;
        break;
    case VerifyStatus::Missing:
        ++counts.missing;
        break;
    case VerifyStatus::Moved:
        ++counts.moved;
        break;
    case VerifyStatus::New:
        ++counts.added;
        break;
    case VerifyStatus::Unreadable:
        ++counts.unreadable;
        break;
    }
}

// The bytes of a file's start that tell whether it is a list.
constexpr std::size_t kHeadBytes = 4096;

// Whether a regular file's first line is a checksum line of a known format
// or a saved report's name line: a list named as any file may be.
bool StartsAsList(const std::string& path) {
    std::string reason;
    platform::InputStream stream = platform::InputStream::Open(path, reason);
    if (!stream.isOpen() || !stream.isRegular()) {
        return true; // the check says what it is
    }
    std::array<char, kHeadBytes> head{};
    std::size_t got = 0;
    try {
        while (got < head.size()) {
            const std::size_t n = stream.Read(std::span<char>(head).subspan(got));
            if (n == 0) {
                break;
            }
            got += n;
        }
    } catch (const std::system_error&) {
        return true;
    }
    std::string_view text(head.data(), got);
    if (StartsAsSavedReport(text)) {
        return true;
    }
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    // The first line that is neither empty nor a comment.
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (!line.empty() && !line.starts_with(';') && !line.starts_with('#')) {
            return ToolLineReader::Tell(line).has_value() || ReadSfvLine(line).has_value();
        }
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return false;
}

// What each path given to a run is.
struct SortedPaths {
    std::vector<std::string> lists;       // checked as lists
    std::vector<std::string> folders;     // every list below
    std::vector<std::string> ownLists;    // checked against their own lists
    std::vector<std::string> withoutList; // no list, none beside it
};

SortedPaths SortPaths(const std::vector<std::string>& paths) {
    SortedPaths sorted;
    for (const std::string& path : paths) {
        if (path == "-" || NamedByDescriptor(path)) {
            sorted.lists.push_back(path);
            continue;
        }
        const std::optional<platform::EntryInfo> info = platform::QueryEntry(path);
        if (info && info->directory) {
            sorted.folders.push_back(path);
        } else if (!info || !info->regularFile ||
                   IsChecksumListName(std::filesystem::path(path).filename().string()) ||
                   StartsAsList(path)) {
            // A path that cannot be looked at, a FIFO: the check says why.
            sorted.lists.push_back(path);
        } else if (FindSidecarLists(path).chosen) {
            sorted.ownLists.push_back(path);
        } else {
            sorted.withoutList.push_back(path);
        }
    }
    return sorted;
}

// What the table makes of a compare's verdict.
VerifyStatus StatusOf(CompareVerdict verdict) {
    switch (verdict) {
    case CompareVerdict::Same:
        return VerifyStatus::Ok;
    case CompareVerdict::Different:
        return VerifyStatus::Failed;
    case CompareVerdict::OnlyInA:
        return VerifyStatus::Missing;
    case CompareVerdict::OnlyInB:
        return VerifyStatus::New;
    case CompareVerdict::Moved:
        return VerifyStatus::Moved;
    case CompareVerdict::Unreadable:
        return VerifyStatus::Unreadable;
    }
    return VerifyStatus::Failed;
}

} // namespace

bool IsProblem(VerifyStatus status) {
    return status != VerifyStatus::Ok;
}

// What the run's threads and the window share. The threads hold it too, so
// a run dropped while a thread is still in a read stays whole until that
// thread returns.
struct VerifyRun::State : ResultSink, CompareSink {
    mutable std::mutex mutex;
    std::condition_variable threadsEnded;
    int threads = 0; // threads of the run still going

    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> bytesRead{0};
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

    // Under mutex:
    std::vector<VerifyRow> rows; // not yet taken
    std::vector<std::string> messages;
    VerifyCounts counts;
    std::size_t entriesDone = 0;  // results of the lists' entries
    std::size_t entriesFound = 0; // entries the count has read so far
    std::uint64_t bytesKnown = 0; // sizes of the entries' files found so far
    std::size_t filesSized = 0;
    std::size_t currentList = 0;          // the list being checked, for its rows
    std::vector<std::string> listPaths;   // the lists rows name, by index
    std::vector<std::string> withoutList; // files with no list of their own
    std::vector<std::string> notLists;    // files given that are no lists
    std::vector<CompareLineRow> compareLines;
    std::function<void()> onEnded; // cleared when the run is dropped
    bool counted = false;          // the lists have been counted through
    bool ended = false;            // the engine has returned
    bool readOnce = false;         // a list can be read only once
    int exitStatus = 0;

    void Result(const ListResult& result) override {
        VerifyRow row;
        row.name = std::string(result.name);
        row.status = StatusOf(result);
        row.result = result.status;
        row.differs.assign(result.differs.begin(), result.differs.end());
        if (result.to) {
            row.to = std::string(*result.to);
        }
        row.reason = std::string(result.reason);
        row.line = std::string(result.line);
        const std::lock_guard lock(mutex);
        if (stop.load(std::memory_order_relaxed)) {
            return; // a stopped run shows no more rows
        }
        row.list = result.list.empty() ? currentList : ListIndexLocked(std::string(result.list));
        Count(counts, row.status);
        entriesDone += result.listed ? 1 : 0;
        rows.push_back(std::move(row));
    }

    void Row(const CompareRow& result) override {
        VerifyRow row;
        row.name = std::string(result.name);
        row.compare = result.verdict;
        row.status = StatusOf(result.verdict);
        row.result = row.status == VerifyStatus::Ok ? ListStatus::Ok : ListStatus::Failed;
        row.differs.assign(result.differs.begin(), result.differs.end());
        if (result.movedTo) {
            row.to = std::string(*result.movedTo);
        }
        row.reason = std::string(result.reason);
        row.line = std::string(result.text);
        std::vector<CompareLineRow> lines;
        if (result.name.empty()) {
            for (const CompareLine& line : result.lines) {
                lines.push_back({std::string(line.check), std::string(line.a), std::string(line.b),
                                 line.differs});
            }
        }
        const std::lock_guard lock(mutex);
        if (stop.load(std::memory_order_relaxed)) {
            return;
        }
        if (result.name.empty()) {
            compareLines = std::move(lines);
        }
        Count(counts, row.status);
        ++entriesDone;
        rows.push_back(std::move(row));
    }

    // The index of a list in lists, added when new; mutex held.
    std::size_t ListIndexLocked(const std::string& path) {
        // Rows of one list come together: the last list is the likely one.
        for (std::size_t i = listPaths.size(); i-- > 0;) {
            if (listPaths[i] == path) {
                return i;
            }
        }
        listPaths.push_back(path);
        return listPaths.size() - 1;
    }

    void Message(std::string_view text) override {
        const std::lock_guard lock(mutex);
        messages.emplace_back(text);
    }

    bool Open() const override { return !stop.load(std::memory_order_relaxed); }

    // Reads the lists through once, ahead of the engine, for the total of
    // entries and the sizes of the first ones' files, that the time left is
    // told from.
    void CountEntries(const std::vector<std::string>& lists, bool findNew) {
        // A list that is not a plain file (a pipe) is read by the engine
        // alone: reading it here would take its lines away. The total then
        // stays unknown until the end.
        for (const std::string& list : lists) {
            const std::optional<platform::EntryInfo> info = platform::QueryEntry(list);
            if (info && !info->regularFile) {
                return;
            }
        }
        for (const std::string& list : lists) {
            std::string reason;
            platform::InputStream stream = platform::InputStream::Open(list, reason);
            if (!stream.isOpen()) {
                continue;
            }
            // The audit takes every list's names below the first list's folder.
            const std::string& namer = findNew ? lists.front() : list;
            const std::string folder = NamesFolder(namer, KindOf(namer));
            ChecksumListReader reader([&](std::span<char> dest) { return stream.Read(dest); },
                                      std::nullopt);
            try {
                while (!stop.load(std::memory_order_relaxed)) {
                    if (entriesFound >= kSizedEntries) {
                        // The rest are only counted (see Skip: a bad line
                        // counts as an entry, and the total is reached at
                        // the end whatever it was).
                        const std::size_t passed = reader.Skip(kCountStep);
                        const std::lock_guard lock(mutex);
                        entriesFound += passed;
                        if (passed < kCountStep) {
                            break;
                        }
                        continue;
                    }
                    std::optional<ListEntry> entry = reader.Next();
                    if (!entry) {
                        break;
                    }
                    std::optional<std::uint64_t> size;
                    if (!entry->damaged) {
                        if (const std::optional<platform::EntryInfo> info =
                                platform::QueryEntry(EntryPath(folder, entry->name));
                            info && info->regularFile) {
                            size = info->size;
                        }
                    }
                    const std::lock_guard lock(mutex);
                    ++entriesFound;
                    if (size) {
                        bytesKnown += *size;
                        ++filesSized;
                    }
                }
            } catch (const std::system_error&) {
                // The engine reads the list too, and says why it broke off.
            }
        }
        const std::lock_guard lock(mutex);
        counted = true;
    }

    // A run whose entries are not counted ahead: the count's thread is not
    // started, and the total is the entries done when the run ends (or
    // total, when known from the start).
    void CountedWithout(std::size_t total) {
        const std::lock_guard lock(mutex);
        entriesFound = total;
        counted = total > 0;
        --threads;
        threadsEnded.notify_all();
    }

    void ThreadEnded() {
        const std::lock_guard lock(mutex);
        --threads;
        threadsEnded.notify_all();
    }

    // Waits until the run's threads have returned, or until deadline.
    bool WaitThreads(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock lock(mutex);
        return threadsEnded.wait_until(lock, deadline, [&] { return threads == 0; });
    }

    bool ThreadsDone() const {
        const std::lock_guard lock(mutex);
        return threads == 0;
    }

    // The engine over what paths name (see Start): lists checked, the lists
    // below folders, files against their own lists.
    int RunPaths(const std::shared_ptr<State>& self, const std::vector<std::string>& paths) {
        const SortedPaths sorted = SortPaths(paths);
        {
            const std::lock_guard lock(mutex);
            withoutList = sorted.withoutList;
            notLists = sorted.ownLists;
            notLists.insert(notLists.end(), sorted.withoutList.begin(), sorted.withoutList.end());
        }
        // Only the lists given are counted ahead: the lists below a folder
        // and beside a file are found as the engine goes.
        if (sorted.folders.empty() && sorted.ownLists.empty()) {
            std::thread([self, lists = sorted.lists] {
                platform::LowerCurrentThreadPriority();
                self->CountEntries(lists, false);
                self->ThreadEnded();
            }).detach();
        } else {
            CountedWithout(0);
        }
        int status = sorted.lists.empty() ? 0 : RunEngine(sorted.lists, false);
        if (!sorted.folders.empty() && !stop.load(std::memory_order_relaxed)) {
            ListCheckOptions options;
            options.bytesRead = &bytesRead;
            status = std::max(status, RunFolderCheck(sorted.folders, false, options, *this));
        }
        if (!sorted.ownLists.empty() && !stop.load(std::memory_order_relaxed)) {
            ListCheckOptions options;
            options.bytesRead = &bytesRead;
            status = std::max(status, RunOwnListCheck(sorted.ownLists, options, *this));
        }
        return status;
    }

    // The engine over the lists: the check, or the audit with findNew.
    int RunEngine(const std::vector<std::string>& lists, bool findNew) {
        std::vector<ListKind> kinds;
        bool once = false;
        for (const std::string& list : lists) {
            kinds.push_back(KindOf(list));
            once = once || kinds.back().readOnce;
        }
        {
            // Now known for each list (a /dev/fd name may be a plain file).
            const std::lock_guard lock(mutex);
            readOnce = once;
        }
        if (findNew) {
            AuditOptions options;
            options.namesBelowList = !kinds.front().namesFromWorking;
            options.bytesRead = &bytesRead;
            return RunAudit(lists, options, *this);
        }
        // A list at a time, each with its own names' folder; the status is
        // the worst of them, as one check of them all gives it.
        int status = 0;
        for (std::size_t i = 0; i < lists.size() && !stop.load(std::memory_order_relaxed); ++i) {
            ListCheckOptions options;
            options.namesBelowList = !kinds[i].namesFromWorking;
            options.bytesRead = &bytesRead;
            {
                const std::lock_guard lock(mutex);
                currentList = ListIndexLocked(lists[i]);
            }
            status = std::max(status, RunListCheck({lists[i]}, options, *this));
        }
        return status;
    }
};

VerifyRun::VerifyRun() = default;

VerifyRun::~VerifyRun() {
    ThreadsEndWithin(std::chrono::duration_cast<std::chrono::milliseconds>(kThreadsWait));
}

bool VerifyRun::ThreadsEndWithin(std::chrono::milliseconds limit) {
    Drop();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool ended = !m_State || m_State->WaitThreads(deadline);
    for (const std::shared_ptr<State>& replaced : m_Replaced) {
        ended = replaced->WaitThreads(deadline) && ended;
    }
    return ended;
}

void VerifyRun::SetOnEnded(std::function<void()> onEnded) {
    m_OnEnded = std::move(onEnded);
}

void VerifyRun::Drop() {
    if (!m_State) {
        return;
    }
    {
        // The call is made under the mutex: once it is cleared, none is
        // under way and none will come, whenever the engine returns.
        const std::lock_guard lock(m_State->mutex);
        m_State->onEnded = nullptr;
    }
    Stop();
}

void VerifyRun::Start(std::vector<std::string> lists, bool findNew) {
    // Taken for read once until the run has looked the lists up: the window
    // may ask at once.
    const bool readOnce = std::any_of(lists.begin(), lists.end(), [](const std::string& list) {
        return list == "-" || NamedByDescriptor(list);
    });
    Launch(
        [lists = std::move(lists), findNew](const std::shared_ptr<State>& state) {
            if (findNew) {
                // The audit takes its lists as one record.
                {
                    const std::lock_guard lock(state->mutex);
                    state->listPaths = lists;
                }
                std::thread([state, lists] {
                    platform::LowerCurrentThreadPriority();
                    state->CountEntries(lists, true);
                    state->ThreadEnded();
                }).detach();
                return state->RunEngine(lists, true);
            }
            return state->RunPaths(state, lists);
        },
        readOnce);
}

void VerifyRun::StartExpect(ExpectedDigest digest, std::vector<std::string> files) {
    Launch(
        [digest = std::move(digest),
         files = std::move(files)](const std::shared_ptr<State>& state) {
            state->CountedWithout(files.size());
            ListCheckOptions options;
            options.bytesRead = &state->bytesRead;
            return RunExpectCheck(digest, files, options, *state);
        },
        false);
}

void VerifyRun::StartCompare(std::string a, std::string b) {
    Launch(
        [a = std::move(a), b = std::move(b)](const std::shared_ptr<State>& state) {
            state->CountedWithout(0);
            CompareOptions options;
            // The content and its size: a copy made at another time is the
            // same file (the times are in the report blocks).
            options.lines.ShowModifiedTime = false;
            options.lines.ShowDigests.sha256 = true;
            options.bytesRead = &state->bytesRead;
            return RunCompare(a, b, options, *state);
        },
        false);
}

void VerifyRun::Launch(std::function<int(const std::shared_ptr<State>&)> engine, bool readOnce) {
    Drop();
    // A replaced run whose threads are still in a read is kept until they
    // return, so that the program's end can still wait for them.
    std::erase_if(m_Replaced, [](const std::shared_ptr<State>& old) { return old->ThreadsDone(); });
    if (m_State && !m_State->ThreadsDone()) {
        m_Replaced.push_back(std::move(m_State));
    }
    auto state = std::make_shared<State>();
    // The engine's thread, and the thread that counts the lists' entries
    // (started by the engine once it knows which paths are lists).
    state->threads = 2;
    state->onEnded = m_OnEnded;
    state->readOnce = readOnce;
    m_State = state;

    // The run's threads (and the engine's workers, which take their
    // priority) stay below the window's thread, which keeps its turns on a
    // busy machine.
    std::thread([state, engine = std::move(engine)] {
        platform::LowerCurrentThreadPriority();
        const int status = engine(state);
        {
            const std::lock_guard lock(state->mutex);
            state->exitStatus = status;
            state->ended = true;
            if (state->onEnded) {
                state->onEnded();
            }
        }
        state->ThreadEnded();
    }).detach();
}

std::vector<std::string> VerifyRun::Lists() const {
    if (!m_State) {
        return {};
    }
    const std::lock_guard lock(m_State->mutex);
    return m_State->listPaths;
}

std::vector<std::string> VerifyRun::FilesWithoutList() const {
    if (!m_State) {
        return {};
    }
    const std::lock_guard lock(m_State->mutex);
    return m_State->withoutList;
}

std::vector<std::string> VerifyRun::FilesNotLists() const {
    if (!m_State) {
        return {};
    }
    const std::lock_guard lock(m_State->mutex);
    return m_State->notLists;
}

std::vector<CompareLineRow> VerifyRun::CompareLines() const {
    if (!m_State) {
        return {};
    }
    const std::lock_guard lock(m_State->mutex);
    return m_State->compareLines;
}

void VerifyRun::Stop() {
    if (m_State) {
        m_State->stop.store(true, std::memory_order_relaxed);
    }
}

void VerifyRun::TakeRows(std::vector<VerifyRow>& into) {
    if (!m_State) {
        return;
    }
    const std::lock_guard lock(m_State->mutex);
    if (into.empty()) {
        into.swap(m_State->rows);
    } else {
        into.insert(into.end(), std::make_move_iterator(m_State->rows.begin()),
                    std::make_move_iterator(m_State->rows.end()));
    }
    m_State->rows.clear();
}

VerifyCounts VerifyRun::Counts() const {
    if (!m_State) {
        return {};
    }
    const std::lock_guard lock(m_State->mutex);
    return m_State->counts;
}

ProgressFigures VerifyRun::Progress() const {
    if (!m_State) {
        return {};
    }
    RunProgress progress;
    {
        const std::lock_guard lock(m_State->mutex);
        progress.filesDone = m_State->entriesDone;
        progress.filesStarted = m_State->entriesDone;
        progress.filesFound = std::max(m_State->entriesFound, m_State->entriesDone);
        progress.walkEnded = m_State->counted || m_State->ended;
        progress.bytesKnown = m_State->bytesKnown;
        progress.filesSized = m_State->filesSized;
    }
    progress.bytesDone = m_State->bytesRead.load(std::memory_order_relaxed);
    progress.elapsed = std::chrono::steady_clock::now() - m_State->started;
    return FiguresOf(progress);
}

void VerifyRun::TakeMessages(std::vector<std::string>& into) {
    if (!m_State) {
        return;
    }
    const std::lock_guard lock(m_State->mutex);
    into.insert(into.end(), std::make_move_iterator(m_State->messages.begin()),
                std::make_move_iterator(m_State->messages.end()));
    m_State->messages.clear();
}

bool VerifyRun::ListsReadOnce() const {
    if (!m_State) {
        return false;
    }
    const std::lock_guard lock(m_State->mutex);
    return m_State->readOnce;
}

bool VerifyRun::Running() const {
    if (!m_State) {
        return false;
    }
    const std::lock_guard lock(m_State->mutex);
    return !m_State->ended && !m_State->stop.load(std::memory_order_relaxed);
}

bool VerifyRun::Finished() const {
    if (!m_State) {
        return false;
    }
    const std::lock_guard lock(m_State->mutex);
    return (m_State->ended || m_State->stop.load(std::memory_order_relaxed)) &&
           m_State->rows.empty();
}

bool VerifyRun::Stopped() const {
    return m_State && m_State->stop.load(std::memory_order_relaxed);
}

int VerifyRun::ExitStatus() const {
    if (!m_State) {
        return 0;
    }
    const std::lock_guard lock(m_State->mutex);
    return m_State->exitStatus;
}

} // namespace varnel
