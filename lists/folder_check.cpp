#include "lists/folder_check.h"

#include "lists/check_scheduler.h"
#include "lists/entry_check.h"
#include "lists/list_loop.h"
#include "lists/list_names.h"
#include "lists/program_messages.h"
#include "lists/result_stream.h"

#include "formats/number_text.h"
#include "formats/pe_version.h"
#include "platform/os/file.h"
#include "platform/os/file_query.h"
#include "platform/os/path_text.h"
#include "report/folder_walk.h"
#include "report/report.h"

#include <algorithm>
#include <array>
#include <deque>
#include <system_error>

namespace varnel {

namespace {

// The bytes read of a file that is no list by its name, to tell a saved
// report by its first line.
constexpr std::size_t kHeadBytes = 1024;

std::string_view BaseName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Whether a file's name is one a saved report may have: text, or no
// extension. Only those are opened to look at their first line: a mirror's
// archives and images are never read for it (opening every file below the
// folder would cost as much as the check of a list of them all).
bool MayBeSavedReport(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return true;
    }
    std::string extension;
    for (const char c : name.substr(dot + 1)) {
        extension += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    static constexpr std::array<std::string_view, 7> kText{"txt", "text", "log", "report",
                                                           "rpt", "out",  "lst"};
    return std::find(kText.begin(), kText.end(), extension) != kText.end();
}

bool IsSavedReport(const std::string& path) {
    std::optional<platform::FileError> error;
    platform::ReadOnlyFile file = platform::ReadOnlyFile::Open(platform::PathFromText(path), error);
    if (!file.isOpen()) {
        return false;
    }
    std::array<std::uint8_t, kHeadBytes> head{};
    std::size_t got = 0;
    try {
        got = file.Read(head);
    } catch (const platform::FileError&) {
        return false;
    }
    return StartsAsSavedReport(std::string_view(reinterpret_cast<const char*>(head.data()), got));
}

// What one list came to.
struct ListRecord {
    std::string list;
    std::string shown;
    std::size_t entries = 0; // taken from the list
    std::size_t done = 0;    // their results given
    bool ended = false;      // the list has been read
    std::size_t ok = 0;
    std::size_t failed = 0;
    std::size_t unread = 0;
    std::size_t damaged = 0;
    std::size_t passed = 0;         // missing files passed over (--ignore-missing)
    std::vector<std::string> words; // said of the list, after its results
};

// What every list came to.
struct Totals {
    std::size_t lists = 0;
    std::size_t ok = 0;
    std::size_t failed = 0;
    std::size_t unread = 0;
    std::size_t damaged = 0;
    std::size_t badLines = 0;
    std::size_t badReportLines = 0;
    bool unusable = false;
    bool nothingVerified = false;
    bool walkTrouble = false;
};

std::string Counts(std::size_t ok, std::size_t failed, std::size_t unread, std::size_t damaged) {
    std::string text = formats::GroupedCount(ok) + " OK";
    if (failed > 0) {
        text += ", " + formats::GroupedCount(failed) + " failed";
    }
    if (unread > 0) {
        text += ", " + formats::GroupedCount(unread) + " unreadable";
    }
    if (damaged > 0) {
        text += ", " + formats::GroupedCount(damaged) + " improperly formatted";
    }
    return text;
}

// Checks the lists one after the other through one scheduler: a list's
// entries are handed to the workers while the entries of the lists before
// it are still read, and each result is written with its list's path, in
// order. A list's words and summary follow its last result.
class FolderChecker final : public CheckResults, public ListConsumer {
public:
    FolderChecker(const ListCheckOptions& options, ResultStream& output, std::FILE* err,
                  ResultSink* sink, Totals& totals)
        : m_Options(options), m_Output(output), m_Err(err), m_Sink(sink), m_Totals(totals),
          m_Writer(output, options.json, sink),
          m_Scheduler(*this, [](const std::filesystem::path& path) {
              return formats::GetFileVersion(path);
          }) {
        m_Scheduler.SetBytesCounter(options.bytesRead);
    }

    // The next list: its entries' names are read below its folder.
    void Begin(const std::string& list) {
        ListRecord& record = m_Lists.emplace_back();
        record.list = list;
        record.shown = DisplayText(list);
        m_Scheduler.SetFolder(ListFolder(list));
        ++m_Totals.lists;
    }

    // A word about the list begun last.
    void Word(const std::string& text) { m_Lists.back().words.push_back(text); }

    // The list begun last has been read.
    void End() {
        m_Lists.back().ended = true;
        Retire();
    }

    // Every list's results are written, and what is said next follows them.
    void HandBackAll() {
        m_Scheduler.HandBackAll();
        Retire();
        m_Output.Flush();
    }

    // Every list has been given: the rest is read and written.
    void Finish() {
        m_Scheduler.Finish();
        for (ListRecord& record : m_Lists) {
            record.ended = true;
        }
        Retire();
        m_Output.Flush();
    }

    // A word said at once (after the results so far).
    void Say(const std::string& text) {
        if (m_Options.status) {
            return;
        }
        if (!m_Sink) {
            m_Output.Flush();
        }
        Tell(m_Err, m_Sink, text);
    }

    bool Wanted() const override { return Open(); }
    void BeforeWait() override { HandBackAll(); }
    void Add(ListEntry&& entry, std::optional<ListFormat>) override {
        ++m_Lists.back().entries;
        m_Scheduler.Add(std::move(entry));
    }
    void EndList() override {}
    std::size_t entries() const override { return m_Scheduler.entries(); }

private:
    // The list the next result belongs to: the first with results to come.
    ListRecord& Current() {
        for (ListRecord& record : m_Lists) {
            if (record.done < record.entries) {
                return record;
            }
        }
        return m_Lists.back(); // unreachable: a result is always of an entry taken
    }

    void Result(const ListRecord& record, const ListEntry& entry, ListStatus status,
                std::span<const std::string_view> differs = {}, const FileFacts* facts = nullptr) {
        ResultRow row;
        row.name = entry.name;
        row.shown = entry.shown;
        row.status = status;
        row.differs = differs;
        row.differsInText = entry.report || ChecksOf(entry) > 1;
        row.facts = facts;
        row.list = record.list;
        row.shownList = record.shown;
        m_Writer.Write(row);
    }

    void Damaged(const ListEntry& entry) override {
        ListRecord& record = Current();
        ++record.done;
        ++record.damaged;
        if (!m_Options.status) {
            Result(record, entry, ListStatus::Improper);
        }
        Retire();
    }

    void Checked(const ListEntry& entry, const FileFacts& facts) override {
        ListRecord& record = Current();
        ++record.done;
        if (!facts.readOk) {
            if (m_Options.ignoreMissing && facts.failureKind == ReadFailure::NotFound) {
                ++record.passed;
            } else {
                ++record.unread;
                if (!m_Options.status) {
                    if (!m_Sink) {
                        m_Output.Flush();
                        varnel::Say(m_Err,
                                    record.shown + ": " + entry.shown + ": " + facts.failure);
                    }
                    Result(record, entry, ListStatus::Unreadable, {}, &facts);
                }
            }
            Retire();
            return;
        }
        const std::vector<std::string_view> failed =
            FailedChecks(entry, facts, m_Times.Of(entry, facts));
        if (failed.empty()) {
            ++record.ok;
            if (!m_Options.quiet && !m_Options.status) {
                Result(record, entry, ListStatus::Ok, {}, &facts);
            }
        } else {
            ++record.failed;
            if (!m_Options.status) {
                Result(record, entry, ListStatus::Failed, failed, &facts);
            }
        }
        Retire();
    }

    void BatchDone() override { m_Output.FlushIfFull(); }

    bool Open() const override { return !m_Output.failed() && (!m_Sink || m_Sink->Open()); }

    // Closes the lists at the front whose every result is written: their
    // words, their summary, their counts in the totals.
    void Retire() {
        while (!m_Lists.empty() && m_Lists.front().ended &&
               m_Lists.front().done == m_Lists.front().entries) {
            ListRecord& record = m_Lists.front();
            for (const std::string& word : record.words) {
                Say(word);
            }
            if (record.entries > 0) {
                if (m_Options.ignoreMissing && record.passed == record.entries) {
                    m_Totals.nothingVerified = true;
                    Say(record.shown + ": no file was verified");
                } else {
                    Say(record.shown + ": " +
                        Counts(record.ok, record.failed, record.unread, record.damaged));
                }
            }
            m_Totals.ok += record.ok;
            m_Totals.failed += record.failed;
            m_Totals.unread += record.unread;
            m_Totals.damaged += record.damaged;
            m_Lists.pop_front();
        }
    }

    const ListCheckOptions& m_Options;
    ResultStream& m_Output;
    std::FILE* m_Err;
    ResultSink* m_Sink;
    Totals& m_Totals;
    ResultWriter m_Writer;
    EntryTimes m_Times;
    std::deque<ListRecord> m_Lists; // begun, not yet retired, in order
    CheckScheduler m_Scheduler;
};

int CheckFolders(const std::vector<std::string>& folders, bool oneFileSystem,
                 const ListCheckOptions& options, std::FILE* out, std::FILE* err,
                 ResultSink* sink) {
    Totals totals;
    ResultStream output(out);
    FolderChecker checker(options, output, err, sink, totals);
    for (const std::string& folder : folders) {
        if (!checker.Wanted()) {
            break;
        }
        const std::string shownFolder = DisplayText(folder);
        const std::optional<platform::EntryInfo> info =
            platform::QueryEntry(platform::PathFromText(folder));
        if (!info || !info->directory) {
            totals.unusable = true;
            checker.HandBackAll();
            checker.Say(shownFolder + (info ? ": not a folder" : ": No such file or directory"));
            continue;
        }
        std::vector<std::string> problems;
        const std::vector<std::string> lists = FindListsBelow(folder, oneFileSystem, problems);
        if (!problems.empty()) {
            totals.walkTrouble = true;
            checker.HandBackAll();
            for (const std::string& problem : problems) {
                checker.Say(problem);
            }
        }
        if (lists.empty()) {
            totals.unusable = true;
            checker.HandBackAll();
            checker.Say(shownFolder + ": no checksum lists below it");
            continue;
        }
        for (const std::string& list : lists) {
            checker.Begin(list);
            const ListsRead read = ReadLists(
                {list}, options.format,
                [&](const std::string&) -> ListConsumer& { return checker; },
                [&](const std::string& text) { checker.Word(text); });
            totals.unusable = totals.unusable || read.unusable;
            totals.badLines += read.badLines;
            totals.badReportLines += read.badReportLines;
            checker.End();
            if (!checker.Wanted()) {
                break;
            }
        }
    }
    checker.Finish();
    if (output.failed()) {
        if (err) {
            Say(err, "standard output: cannot write: " +
                         std::generic_category().message(output.error()));
        }
        return 1;
    }
    if (totals.lists > 0) {
        checker.Say("all lists: " + formats::GroupedCount(totals.lists) +
                    (totals.lists == 1 ? " list, " : " lists, ") +
                    Counts(totals.ok, totals.failed, totals.unread, totals.damaged));
    }
    if (totals.unusable) {
        return 2;
    }
    const bool allGood = totals.failed == 0 && totals.unread == 0 && totals.damaged == 0 &&
                         totals.badReportLines == 0 && !totals.nothingVerified &&
                         !totals.walkTrouble && !(options.strict && totals.badLines > 0);
    return allGood ? 0 : 1;
}

} // namespace

std::vector<std::string> FindListsBelow(const std::string& folder, bool oneFileSystem,
                                        std::vector<std::string>& problems) {
    std::vector<std::string> lists;
    std::vector<FolderWalkProblem> walkProblems;
    WalkRules rules;
    rules.oneFileSystem = oneFileSystem;
    std::string root = folder;
    WalkFolderFiles(
        root,
        [&](std::string&& path, platform::EntryKind kind) {
            if (kind == platform::EntryKind::Special) {
                return true; // never opened, not even to look at
            }
            const std::string_view name = BaseName(path);
            if (IsChecksumListName(name) || (MayBeSavedReport(name) && IsSavedReport(path))) {
                lists.push_back(std::move(path));
            }
            return true;
        },
        &walkProblems, nullptr, rules);
    for (const FolderWalkProblem& problem : walkProblems) {
        problems.push_back(DisplayText(problem.folder) + ": " + DescribeProblem(problem));
    }
    std::sort(lists.begin(), lists.end());
    return lists;
}

int RunFolderCheck(const std::vector<std::string>& folders, bool oneFileSystem,
                   const ListCheckOptions& options, std::FILE* out, std::FILE* err) {
    return CheckFolders(folders, oneFileSystem, options, out, err, nullptr);
}

int RunFolderCheck(const std::vector<std::string>& folders, bool oneFileSystem,
                   const ListCheckOptions& options, ResultSink& sink) {
    return CheckFolders(folders, oneFileSystem, options, nullptr, nullptr, &sink);
}

} // namespace varnel
