#include "lists/audit.h"

#include "lists/check_scheduler.h"
#include "lists/checksum_list.h"
#include "lists/entry_check.h"
#include "lists/list_loop.h"
#include "lists/move_keys.h"
#include "lists/name_set.h"
#include "lists/program_messages.h"
#include "lists/result_sink.h"
#include "lists/result_stream.h"
#include "lists/unlisted_files.h"

#include "formats/hex.h"
#include "formats/name_escape.h"
#include "formats/number_text.h"
#include "formats/pe_version.h"
#include "platform/os/file_query.h"
#include "platform/os/path_text.h"
#include "report/facts_digests.h"
#include "report/folder_walk.h"
#include "report/report.h"
#include "report/report_services.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <deque>
#include <filesystem>
#include <span>
#include <system_error>
#include <unordered_map>

namespace varnel {

namespace {

struct Tally {
    std::size_t ok = 0;
    std::size_t edited = 0;
    std::size_t damaged = 0;
    std::size_t missing = 0;
    std::size_t moved = 0;
    std::size_t added = 0;      // new files
    std::size_t failed = 0;     // differs, kind not told; improperly formatted
    std::size_t unreadable = 0; // files and folders that could not be read
    std::size_t badLines = 0;
    std::size_t badReportLines = 0;
    bool unusableList = false;
};

// A file below the root that no list names.
struct NewFile {
    NameStore::Ref path = 0; // as shown (relative to the working folder as the entries are)
    bool candidate = false;  // may be an entry that moved: its digests are read
    bool claimed = false;    // an entry moved here
};

// The lines a report block's check names for a changed size or time.
bool IsLineCheck(std::string_view check) {
    return check == CheckName(ReportLine::Size) || check == CheckName(ReportLine::Time) ||
           check == CheckName(ReportLine::Version);
}

bool IsToolFormat(std::optional<ListFormat> format) {
    return format && *format != ListFormat::Report && *format != ListFormat::Sfv;
}

std::string ShownName(std::string_view name, bool toolEscape) {
    return toolEscape ? ShownListName(name) : formats::EscapeName(name);
}

class Auditor final : public CheckResults, public ListConsumer {
public:
    // folder: where relative names lie ("" the working folder).
    Auditor(const AuditOptions& options, ResultStream& output, std::FILE* err, ResultSink* sink,
            Tally& tally, const std::string& folder)
        : m_Options(options), m_Output(output), m_Err(err), m_Sink(sink), m_Tally(tally),
          m_Writer(output, options.json, sink), m_Folder(folder),
          m_Here(NameKey(NameKey("/", platform::PathText(std::filesystem::current_path())),
                         folder.empty() ? std::string_view(".") : std::string_view(folder))),
          m_Scheduler(*this, [](const std::filesystem::path& path) {
              return formats::GetFileVersion(path);
          }) {
        m_Scheduler.SetFolder(folder);
        m_Scheduler.SetBytesCounter(options.bytesRead);
    }

    // False once the results are no longer wanted: nothing more is read.
    bool Wanted() const override { return !m_Output.failed() && (!m_Sink || m_Sink->Open()); }

    // Each entry comes with its list's format (names are shown in its
    // escape).
    void Add(ListEntry&& entry, std::optional<ListFormat> format) override {
        m_ToolEscape = IsToolFormat(format);
        Record(entry.name);
        m_Scheduler.Add(std::move(entry));
    }
    void BeforeWait() override {
        m_Scheduler.HandBackAll();
        m_Output.Flush();
    }
    void EndList() override {
        m_Scheduler.Finish();
        m_Output.Flush();
    }
    std::size_t entries() const override { return m_Scheduler.entries(); }

    // A list read is never one of the new files.
    void AddListFile(const std::string& list) {
        if (list != "-") {
            // The list's own path is taken from the working folder.
            m_Lists.Add(Held(
                NameKey(NameKey("/", platform::PathText(std::filesystem::current_path())), list)));
        }
    }

    // Walks the root for new files, reads those that may be entries that
    // moved, and writes the entries that are gone and the new files.
    void Finish() {
        Walk();
        ReadCandidates();
        WriteGone();
        WriteNew();
        m_Output.Flush();
    }

private:
    // A key as the sets hold it: below the working folder (as most are),
    // without the folder's name, which would otherwise be repeated for
    // every entry. Such a key never starts with "/", as every other does.
    std::string_view Held(std::string_view key) const {
        if (m_Here != "/" && key.size() > m_Here.size() + 1 && key.starts_with(m_Here) &&
            key[m_Here.size()] == '/') {
            return key.substr(m_Here.size() + 1);
        }
        return key;
    }

    // The entry's name joins the recorded names, and the folder holding
    // every entry takes it in.
    void Record(std::string_view name) {
        std::string key = NameKey(m_Here, name);
        m_AllRelative = m_AllRelative && !name.starts_with('/');
        if (!m_Common) {
            m_DotSlash = name.starts_with("./");
        }
        std::string_view folder(key);
        folder = folder.substr(0, std::max<std::size_t>(folder.rfind('/'), 1));
        if (!m_Common) {
            m_Common = std::string(folder);
        } else {
            while (!KeyHolds(*m_Common, folder)) {
                m_Common->erase(std::max<std::size_t>(m_Common->rfind('/'), 1));
            }
        }
        m_Recorded.Add(Held(key));
    }

    void Write(std::string_view name, bool toolEscape, ListStatus status,
               std::span<const std::string_view> differs,
               std::optional<std::string_view> to = std::nullopt, const FileFacts* facts = nullptr,
               bool listed = true) {
        const std::string shown = ShownName(name, toolEscape);
        const std::string shownTo = to ? ShownName(*to, toolEscape) : std::string();
        ResultRow row;
        row.name = name;
        row.shown = shown;
        row.status = status;
        row.differs = differs;
        row.to = to;
        row.shownTo = shownTo;
        row.facts = facts;
        row.listed = listed;
        m_Writer.Write(row);
    }

    void Damaged(const ListEntry& entry) override {
        ++m_Tally.failed;
        Write(entry.name, m_ToolEscape, ListStatus::Improper, {});
    }

    void Checked(const ListEntry& entry, const FileFacts& facts) override {
        if (!facts.readOk && facts.failureKind == ReadFailure::NotFound) {
            Gone(entry);
            return;
        }
        if (!facts.readOk) {
            ++m_Tally.unreadable;
            if (!m_Sink) {
                m_Output.Flush();
                Say(m_Err, entry.shown + ": " + facts.failure);
            }
            Write(entry.name, m_ToolEscape, ListStatus::Unreadable, {}, std::nullopt, &facts);
            return;
        }
        const std::optional<LocalTime> time = m_Times.Of(entry, facts);
        const std::vector<std::string_view> failed = FailedChecks(entry, facts, time);
        if (failed.empty()) {
            ++m_Tally.ok;
            if (!m_Options.quiet) {
                Write(entry.name, m_ToolEscape, ListStatus::Ok, {}, std::nullopt, &facts);
            }
            return;
        }
        const bool linesDiffer = std::any_of(failed.begin(), failed.end(), IsLineCheck);
        std::span<const std::string_view> named(failed);
        if (!entry.report && ChecksOf(entry) == 1) {
            named = {}; // one digest: nothing to name, as --check writes it
        }
        if (entry.report && linesDiffer) {
            ++m_Tally.edited;
            Write(entry.name, m_ToolEscape, ListStatus::Edited, named, std::nullopt, &facts);
        } else if (entry.report && entry.size && entry.time &&
                   TimeAgreementOf(entry, time) == SavedTimeAgreement::Unreadable) {
            // The content changed and the size did not, but whether the
            // time did is not known: no guess at damage or an edit.
            ++m_Tally.failed;
            constexpr std::string_view kUnread[] = {"content; saved time unreadable"};
            Write(entry.name, m_ToolEscape, ListStatus::Failed, kUnread, std::nullopt, &facts);
        } else if (entry.report && entry.size && entry.time) {
            // Size and time recorded and unchanged (the time perhaps seen
            // from another zone), the content not.
            ++m_Tally.damaged;
            Write(entry.name, m_ToolEscape, ListStatus::Damaged, named, std::nullopt, &facts);
        } else {
            ++m_Tally.failed;
            Write(entry.name, m_ToolEscape, ListStatus::Failed, named, std::nullopt, &facts);
        }
    }

    void BatchDone() override { m_Output.FlushIfFull(); }

    bool Open() const override { return Wanted(); }

    // Kept until the new files are known: it may have moved to one of them.
    void Gone(const ListEntry& entry) {
        GoneEntry gone;
        gone.name = m_Names.Add(entry.name);
        gone.toolEscape = m_ToolEscape;
        std::optional<std::uint64_t> size;
        if (entry.report && entry.size) {
            size = ReadSavedSize(*entry.size, entry.converted);
        }
        std::optional<ContentKey> key;
        for (const DigestKind kind : kMoveDigests) {
            if (const std::optional<std::string>& hex = entry.Expected(kind); hex) {
                key = KeyFromHex(kind, *hex, size);
                break;
            }
        }
        if (key) {
            gone.SetKey(*key);
            m_KindsGone |= 1u << static_cast<unsigned>(key->kind);
            if (key->size) {
                m_SizesGone.push_back(*key->size);
            } else {
                m_AnySizeGone = true;
            }
        }
        m_Gone.push_back(gone);
    }

    void Walk() {
        std::string rootKey;
        std::string shownRoot;
        if (m_Options.root) {
            shownRoot = *m_Options.root;
            while (shownRoot.size() > 1 && shownRoot.back() == '/') {
                shownRoot.pop_back();
            }
            rootKey = NameKey(m_Here, shownRoot);
        } else if (m_Common) {
            rootKey = *m_Common;
            shownRoot = m_AllRelative ? RelativeKey(m_Here, rootKey) : rootKey;
        } else {
            return; // no entry: no folder to walk
        }
        std::sort(m_SizesGone.begin(), m_SizesGone.end());
        m_SizesGone.erase(std::unique(m_SizesGone.begin(), m_SizesGone.end()), m_SizesGone.end());
        const bool seekMoves = m_KindsGone != 0;

        // A relative root lies below the lists' folder; names are shown
        // relative to that folder, as the lists record them.
        const bool below = !m_Folder.empty() && !shownRoot.starts_with('/');
        std::string folder =
            below ? (m_Folder.ends_with('/') ? m_Folder : m_Folder + '/') + shownRoot : shownRoot;
        const std::size_t hidden = below ? folder.size() - shownRoot.size() : 0;
        // "./" is left out of the names shown, unless the entries have it.
        const std::size_t prefix = hidden + (shownRoot == "." && !m_DotSlash ? 2 : 0);
        std::vector<FolderWalkProblem> problems;
        WalkRules rules;
        rules.oneFileSystem = m_Options.oneFileSystem;
        WalkUnlistedFiles(
            folder, rootKey,
            [&](std::string_view key) {
                return m_Recorded.Contains(Held(key)) || m_Lists.Contains(Held(key));
            },
            [&](std::string&& path, std::string_view, platform::EntryKind kind) {
                NewFile file;
                file.path = m_Names.Add(std::string_view(path).substr(prefix));
                file.candidate = seekMoves && kind == platform::EntryKind::File &&
                                 (m_AnySizeGone || SizeGone(path));
                m_New.push_back(file);
                return Wanted();
            },
            problems, rules);
        for (const FolderWalkProblem& problem : problems) {
            ++m_Tally.unreadable;
            Tell(m_Err, m_Sink,
                 formats::EscapeName(problem.folder) + ": " + DescribeProblem(problem));
        }
    }

    bool SizeGone(const std::string& path) const {
        const std::optional<platform::EntryInfo> info =
            platform::QueryEntry(platform::PathFromText(path));
        return info && std::binary_search(m_SizesGone.begin(), m_SizesGone.end(), info->size);
    }

    // Reads the digests of the new files an entry may have moved to, on the
    // engine's workers, and files each under its content keys.
    void ReadCandidates();

    void WriteGone() {
        for (const GoneEntry& gone : m_Gone) {
            const std::string_view name = m_Names.Get(gone.name);
            const std::optional<ContentKey> key = gone.Key();
            const std::optional<std::size_t> to = key ? Claim(*key) : std::nullopt;
            if (to) {
                ++m_Tally.moved;
                Write(name, gone.toolEscape, ListStatus::Moved, {}, m_Names.Get(m_New[*to].path));
                if (!Wanted()) {
                    return;
                }
            } else {
                ++m_Tally.missing;
                Write(name, gone.toolEscape, ListStatus::Missing, {});
                if (!Wanted()) {
                    return;
                }
            }
            m_Output.FlushIfFull();
        }
    }

    void WriteNew() {
        for (const NewFile& file : m_New) {
            if (!file.claimed) {
                ++m_Tally.added;
                Write(m_Names.Get(file.path), m_ToolEscape, ListStatus::New, {}, std::nullopt,
                      nullptr, false);
                if (!Wanted()) {
                    return;
                }
                m_Output.FlushIfFull();
            }
        }
    }

    // The first new file of the key's content not yet claimed, claimed.
    std::optional<std::size_t> Claim(const ContentKey& key) {
        const auto found = m_Found.find(PackKey(key));
        if (found == m_Found.end()) {
            return std::nullopt;
        }
        for (const std::size_t index : found->second) {
            if (!m_New[index].claimed) {
                m_New[index].claimed = true;
                return index;
            }
        }
        return std::nullopt;
    }

    friend class CandidateResults;

    const AuditOptions& m_Options;
    ResultStream& m_Output;
    std::FILE* m_Err;
    ResultSink* m_Sink;
    Tally& m_Tally;
    ResultWriter m_Writer;
    const std::string m_Folder; // where relative names lie ("": the working folder)
    const std::string m_Here;   // the working folder's key

    NameSet m_Recorded;
    NameSet m_Lists;
    std::optional<std::string> m_Common; // the folder holding every entry
    bool m_AllRelative = true;
    bool m_DotSlash = false; // the first entry's name starts with "./"
    bool m_ToolEscape = false;

    NameStore m_Names; // names of the entries gone and of the new files
    std::deque<GoneEntry> m_Gone;
    unsigned m_KindsGone = 0;               // bit per DigestKind
    std::vector<std::uint64_t> m_SizesGone; // sorted once the lists are read
    bool m_AnySizeGone = false;             // an entry gone records no size
    std::deque<NewFile> m_New;
    // New files by content key, in walk order.
    std::unordered_map<std::string, std::vector<std::size_t>> m_Found;

    EntryTimes m_Times;
    CheckScheduler m_Scheduler;
};

// The digests of the candidates come back here, in walk order.
class CandidateResults : public CheckResults {
public:
    explicit CandidateResults(Auditor& auditor) : m_Auditor(auditor) {}

    void Damaged(const ListEntry&) override {}

    void Checked(const ListEntry& entry, const FileFacts& facts) override {
        if (!facts.readOk) {
            return; // gone meanwhile, or unreadable: it stays a new file
        }
        const std::size_t index = entry.line; // the candidate's place among the new files
        for (const DigestKind kind : kMoveDigests) {
            if ((m_Auditor.m_KindsGone & (1u << static_cast<unsigned>(kind))) == 0) {
                continue;
            }
            std::vector<std::string> digests{DigestOf(kind, facts)};
            if (kind == DigestKind::Wide512) {
                digests.push_back(facts.sha512); // either 128-digit digest
            }
            for (const std::string& hex : digests) {
                for (const std::optional<std::uint64_t> size :
                     {std::optional<std::uint64_t>(facts.size), std::optional<std::uint64_t>()}) {
                    if (const std::optional<ContentKey> key = KeyFromHex(kind, hex, size)) {
                        m_Auditor.m_Found[PackKey(*key)].push_back(index);
                    }
                }
            }
        }
    }

    void BatchDone() override {}

    bool Open() const override { return m_Auditor.Wanted(); }

private:
    Auditor& m_Auditor;
};

void Auditor::ReadCandidates() {
    if (std::none_of(m_New.begin(), m_New.end(), [](const NewFile& f) { return f.candidate; })) {
        return;
    }
    CandidateResults results(*this);
    CheckScheduler scheduler(results, {});
    scheduler.SetFolder(m_Folder);
    scheduler.SetBytesCounter(m_Options.bytesRead);
    for (std::size_t i = 0; i < m_New.size(); ++i) {
        if (!m_New[i].candidate) {
            continue;
        }
        ListEntry entry;
        entry.name = std::string(m_Names.Get(m_New[i].path));
        entry.line = i;
        // An expected value asks the run for the digest; the comparison is
        // made here, by content key.
        for (const DigestKind kind : kMoveDigests) {
            if ((m_KindsGone & (1u << static_cast<unsigned>(kind))) != 0) {
                entry.Expected(kind) = std::string();
            }
        }
        scheduler.Add(std::move(entry));
    }
    scheduler.Finish();
}

} // namespace

namespace {

// Nothing differs from what the lists record.
bool SameAsRecorded(const Tally& tally) {
    return tally.edited == 0 && tally.damaged == 0 && tally.missing == 0 && tally.moved == 0 &&
           tally.added == 0 && tally.failed == 0 && tally.unreadable == 0 &&
           tally.badReportLines == 0;
}

} // namespace

namespace {

// The audit of the lists, its results written on out or handed to the sink.
int AuditLists(const std::vector<std::string>& lists, const AuditOptions& options, std::FILE* out,
               std::FILE* err, ResultSink* sink) {
    Tally tally;
    ResultStream output(out);
    const std::string folder =
        options.namesBelowList && !lists.empty() ? ListFolder(lists.front()) : std::string();
    Auditor auditor(options, output, err, sink, tally, folder);
    for (const std::string& list : lists) {
        auditor.AddListFile(list);
    }
    const ListsRead read = ReadLists(
        lists, options.format, [&](const std::string&) -> ListConsumer& { return auditor; },
        [&](const std::string& text) { Tell(err, sink, text); });
    tally.unusableList = read.unusable;
    tally.badLines = read.badLines;
    tally.badReportLines = read.badReportLines;
    if (tally.unusableList) {
        // What a list that could not be read names is unknown: every file
        // of it would look new.
        output.Flush();
        Tell(err, sink, "audit: not finished: a list could not be read");
        return 2;
    }
    if (auditor.Wanted()) {
        auditor.Finish();
    }
    output.Flush();
    if (output.failed()) {
        Say(err,
            "standard output: cannot write: " + std::generic_category().message(output.error()));
        return 1;
    }
    if (sink) {
        return SameAsRecorded(tally) ? 0 : 1;
    }
    std::string summary = "audit: " + formats::GroupedCount(tally.ok) + " OK, " +
                          formats::GroupedCount(tally.edited) + " edited, " +
                          formats::GroupedCount(tally.damaged) + " damaged, " +
                          formats::GroupedCount(tally.missing) + " missing, " +
                          formats::GroupedCount(tally.moved) + " moved, " +
                          formats::GroupedCount(tally.added) + " new";
    if (tally.failed > 0) {
        summary += ", " + formats::GroupedCount(tally.failed) + " failed";
    }
    if (tally.unreadable > 0) {
        summary += ", " + formats::GroupedCount(tally.unreadable) + " unreadable";
    }
    summary += '\n';
    std::fwrite(summary.data(), 1, summary.size(), err);
    std::fflush(err);
    return SameAsRecorded(tally) ? 0 : 1;
}

} // namespace

int RunAudit(const std::vector<std::string>& lists, const AuditOptions& options, std::FILE* out,
             std::FILE* err) {
    return AuditLists(lists, options, out, err, nullptr);
}

int RunAudit(const std::vector<std::string>& lists, const AuditOptions& options, ResultSink& sink) {
    return AuditLists(lists, options, nullptr, nullptr, &sink);
}

} // namespace varnel
