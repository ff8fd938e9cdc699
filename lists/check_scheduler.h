#pragma once

// The reading of a checksum list's files while the list is still read: the
// entries go to the report engine's workers (report/report_run.h) a batch at
// a time and come back with their files' facts in list order, as they are
// ready. At most a window of entries is held at once, so memory stays flat
// whatever the list's length. Each file is read once for every digest its
// entry carries; when an entry needs more than the run gathers, a wider run
// takes over after the narrower one has handed back its entries.

#include "lists/checksum_list.h"
#include "report/file_facts.h"
#include "report/report_run.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// Where the entries go back to, in list order.
class CheckResults {
public:
    virtual ~CheckResults() = default;
    // An entry begun but not read whole: no file is read for it.
    virtual void Damaged(const ListEntry& entry) = 0;
    // An entry with its file's facts (readOk false when it was not read).
    virtual void Checked(const ListEntry& entry, const FileFacts& facts) = 0;
    // After each batch of entries handed back.
    virtual void BatchDone() = 0;
    // False once results can no longer be written: nothing more is read.
    virtual bool Open() const = 0;
};

// The folder of a list, which names in it may be relative to: "" for a list
// in the working folder (and for standard input).
std::string ListFolder(std::string_view list);

// Where an entry's file is read: a relative name below folder (as ListFolder
// gives it), any other name as it is.
std::string EntryPath(std::string_view folder, std::string_view name);

class CheckScheduler {
public:
    // versionQuery: the version of a file, for entries that carry one.
    CheckScheduler(CheckResults& results, VersionQuery versionQuery);
    ~CheckScheduler();
    CheckScheduler(const CheckScheduler&) = delete;
    CheckScheduler& operator=(const CheckScheduler&) = delete;

    // Takes the next entry of the list; hands back those that are ready, and
    // waits for some when the window is full.
    void Add(ListEntry&& entry);

    // Hands back every entry taken so far (the list waits for its writer,
    // and what was read before the wait is checked now).
    void HandBackAll();

    // The list has ended (or broken off): the rest is read and handed back.
    void Finish();

    std::size_t entries() const { return m_Entries; }

    // Relative names are read below folder from now on (empty: the working
    // folder). Results keep the names as the list records them.
    void SetFolder(std::string folder) { m_Folder = std::move(folder); }
    // The bytes read for the entries are counted in counter too (null: not).
    void SetBytesCounter(std::atomic<std::uint64_t>* counter) { m_BytesRead = counter; }

private:
    // What a run must gather for a set of entries.
    struct Needs {
        DigestSelection digests;
        bool version = false;

        void Add(const ListEntry& entry);
        bool Covers(const Needs& other) const;
        void Widen(const Needs& other);
    };

    void HandOut();
    void StartRun(const Needs& needs);
    void HandBackDamagedFront();
    void Drain(std::optional<std::size_t> keep);

    CheckResults& m_Results;
    const VersionQuery m_VersionQuery;
    std::unique_ptr<ReportRun> m_Run;
    Needs m_Needs;
    std::deque<ListEntry> m_Window;   // read, not yet handed back, in list order
    std::vector<std::string> m_Batch; // names read, not yet handed to the run
    std::size_t m_Entries = 0;        // entries taken
    std::string m_Folder;             // relative names are below it
    std::atomic<std::uint64_t>* m_BytesRead = nullptr;
};

} // namespace varnel
