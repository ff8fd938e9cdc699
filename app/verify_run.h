#pragma once

// The verify window's run: the entries of checksum lists and saved reports
// checked (or audited, when new files are sought too) by the engine behind
// varnel-report --check and --audit, on threads of its own. The run holds no
// widget and the window's thread never waits on it: the window takes the
// rows that are ready, the counts and the progress on its own timer.
//
//     VerifyRun run;
//     run.Start({"SHA256SUMS"}, /*findNew=*/false);
//     ...                                // each turn of the window's timer:
//     std::vector<VerifyRow> rows;
//     run.TakeRows(rows);                // appended in the engine's order
//     VerifyCounts counts = run.Counts();
//     ProgressFigures figures = run.Progress();
//     if (run.Finished()) ...            // nothing more will come
//
// Rows come in the engine's order: with --check's results, the entries in
// list order; with the audit's, the entries whose file is there, then those
// gone (missing or moved), then the new files.

#include "lists/compare.h"
#include "lists/expected_digest.h"
#include "lists/result_sink.h"
#include "report/run_progress.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace varnel {

// What became of an entry, as the table tells it (text, icon and colour):
// the engine's status (lists/result_sink.h), with a file that could not be
// read because it is not there told as missing.
enum class VerifyStatus {
    Ok,         // ListStatus::Ok
    Failed,     // Failed: a digest (or a report line) differs
    Unreadable, // Unreadable: the file is there but cannot be read
    Malformed,  // Improper: a report block not read whole
    Edited,     // Edited: size or modified time changed (audit)
    Damaged,    // Damaged: content changed, size and time did not (audit)
    Missing,    // Missing, or Unreadable for a file not found
    Moved,      // Moved: found again under another name (audit)
    New,        // New: a file below the folder no list names (audit)
};

// True for every status but Ok.
bool IsProblem(VerifyStatus status);

struct VerifyRow {
    std::string name; // the entry's name, bytes as the list records them
    VerifyStatus status = VerifyStatus::Ok;
    ListStatus result = ListStatus::Ok; // the engine's status, as varnel-report tells it
    std::vector<std::string> differs;   // what differs: "size", "MD5", ...
    std::string to;                     // Moved: the new name (bytes)
    std::string reason;                 // Unreadable, Missing: the system's reason
    std::string line;                   // the result as varnel-report writes it, without a line end
    // The index of the list the entry came from, in VerifyRun::Lists(); an
    // audit takes its lists as one record and leaves every row at 0.
    std::size_t list = 0;
    // A compare's row: what became of the name (status tells it as the
    // table's statuses: Same OK, Different failed, only in A missing, only
    // in B new).
    std::optional<CompareVerdict> compare;
};

// One line of two files compared, both sides' values as the report block
// shows them ("size", "MD5", ...).
struct CompareLineRow {
    std::string check;
    std::string a;
    std::string b;
    bool differs = false;
};

// Counts of the rows so far, split as varnel-report's summary splits them.
struct VerifyCounts {
    std::size_t ok = 0;
    std::size_t failed = 0; // Failed, and Malformed (a report block not read whole)
    std::size_t edited = 0;
    std::size_t damaged = 0;
    std::size_t missing = 0;
    std::size_t moved = 0;
    std::size_t added = 0; // New
    std::size_t unreadable = 0;

    std::size_t total() const {
        return ok + failed + edited + damaged + missing + moved + added + unreadable;
    }
    friend bool operator==(const VerifyCounts&, const VerifyCounts&) = default;
};

class VerifyRun {
public:
    VerifyRun();
    // Stops the run and waits a little for its threads and those of the
    // runs it replaced (a read that hangs is abandoned: see Stop).
    ~VerifyRun();
    VerifyRun(const VerifyRun&) = delete;
    VerifyRun& operator=(const VerifyRun&) = delete;

    // Starts verifying what paths name (native paths): a checksum list or a
    // saved report is checked; a folder, every list below it, each against
    // its own folder (varnel-report --check -r); any other file against its
    // own list found beside it (lists/sidecar_lists.h), and a file without
    // one is left for a digest the user gives (FilesWithoutList). Which is
    // which is told on the run's thread: a file is told a list by its name,
    // or by its first line. Relative names in a list are
    // taken below the list's folder; in a list that is a pipe, a FIFO or
    // standard input ("-", "/dev/fd/63" of a process substitution) below the
    // working folder, as varnel-report --check takes them. findNew: audit,
    // so that the files below the first list's folder that no list names
    // come as New and entries found under another name as Moved (every path
    // is then taken for a list). A run still going is stopped first.
    void Start(std::vector<std::string> lists, bool findNew);

    // Starts checking the files against a digest the user gave, every kind
    // it may be tried (varnel-report --expect): an OK row names the kind
    // that matched in its differs.
    void StartExpect(ExpectedDigest digest, std::vector<std::string> files);

    // Starts comparing two files or two folders (varnel-report --compare):
    // each name's verdict a row; for two files one row, and their lines
    // side by side in CompareLines once the run has ended.
    void StartCompare(std::string a, std::string b);

    // The lists the rows' list indexes name, in order: those given, then
    // those found below folders and beside files as the run finds them.
    std::vector<std::string> Lists() const;
    // The files given that are no list and have no list of their own beside
    // them: known once the run has told the paths apart.
    std::vector<std::string> FilesWithoutList() const;
    // The files given that are no lists: those with a list of their own,
    // then those without.
    std::vector<std::string> FilesNotLists() const;
    // Two files compared: their lines, once the run has ended.
    std::vector<CompareLineRow> CompareLines() const;

    // Called on a thread of the run once its engine has returned (every
    // row is ready by then), so that the window sees the end without
    // waiting for its timer's next turn. Kept for the runs started after;
    // must not block nor call into the run. Never called once the run that
    // would call it has been dropped or replaced by another Start.
    void SetOnEnded(std::function<void()> onEnded);

    // Ends the run as soon as the engine next looks: no more rows come,
    // and Finished() turns true. Never waits on a file.
    void Stop();

    // Moves the rows ready since the last call onto the end of into.
    void TakeRows(std::vector<VerifyRow>& into);

    VerifyCounts Counts() const;

    // Stops the run and waits, at most limit, for the threads of this run
    // and of the runs it replaced to return. False when some are still in a
    // read that does not return (a list on a stalled mount, a FIFO no writer
    // opens): the program may then end without them rather than wait.
    bool ThreadsEndWithin(std::chrono::milliseconds limit);

    // True once the run knows that a list of it can be read only once: a
    // pipe, a FIFO or standard input. Verifying such lists again would find
    // them empty or wait for a writer that never comes.
    bool ListsReadOnce() const;

    // Entries done of how many (the total once the lists have been read
    // through), bytes read, speed and time left over the whole lists.
    ProgressFigures Progress() const;

    // Words about the lists that are no entry's result, in the order they
    // came: "SHA256SUMS: line 3: improperly formatted checksum line",
    // "a.md5: No such file or directory". Moves them out, as TakeRows does.
    void TakeMessages(std::vector<std::string>& into);

    bool Running() const;
    // The run has ended (or was stopped) and every row has been taken.
    bool Finished() const;
    bool Stopped() const;
    // varnel-report's exit status for the same lists: 0 all good, 1 some
    // differ, 2 a list could not be read. Meaningful once Finished().
    int ExitStatus() const;

private:
    struct State;
    // Starts engine on a thread of the run's (replacing the run shown).
    void Launch(std::function<int(const std::shared_ptr<State>&)> engine, bool readOnce);
    // Stops the run, and keeps it from calling m_OnEnded.
    void Drop();

    std::function<void()> m_OnEnded;
    std::shared_ptr<State> m_State;
    // Runs replaced by a later Start whose threads had not returned yet.
    std::vector<std::shared_ptr<State>> m_Replaced;
};

} // namespace varnel
