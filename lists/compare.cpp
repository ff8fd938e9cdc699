#include "lists/compare.h"

#include "lists/program_messages.h"
#include "lists/result_json.h"
#include "lists/result_stream.h"

#include "formats/json_text.h"
#include "formats/name_escape.h"
#include "formats/number_text.h"
#include "i18n/language.h"
#include "platform/os/file_query.h"
#include "platform/os/path_text.h"
#include "report/facts_digests.h"
#include "report/folder_walk.h"
#include "report/report.h"
#include "report/report_run.h"
#include "report/report_services.h"
#include "report/saved_report.h"

#include <algorithm>
#include <array>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

namespace varnel {

namespace {

// In the order of CompareVerdict.
constexpr std::array<std::string_view, kCompareVerdictCount> kWords = {
    "SAME", "DIFFERENT", "ONLY IN A", "ONLY IN B", "MOVED", "FAILED open or read",
};

// One line of the block that is compared, and the digest it shows.
struct Check {
    ReportLine line = ReportLine::Md5;
    std::optional<DigestKind> kind; // a digest line
};

// The lines a block with these options carries, in the block's order (the
// name aside).
std::vector<Check> ComparedLines(const ReportOptions& options) {
    std::vector<Check> checks;
    if (options.ShowVersion) {
        checks.push_back({ReportLine::Version, std::nullopt});
    }
    if (options.ShowSize) {
        checks.push_back({ReportLine::Size, std::nullopt});
    }
    if (options.ShowModifiedTime) {
        checks.push_back({ReportLine::Time, std::nullopt});
    }
    if (options.ShowCRC32) {
        checks.push_back({ReportLine::Crc32, DigestKind::Crc32});
    }
    if (options.ShowSHA1) {
        checks.push_back({ReportLine::Sha1, DigestKind::Sha1});
    }
    checks.push_back({ReportLine::Md5, DigestKind::Md5});
    for (const ReportDigestLine& later : kReportDigestLines) {
        if (options.ShowDigests.*(DigestKindOf(later.kind).selected)) {
            checks.push_back({later.line, later.kind});
        }
    }
    return checks;
}

// A file of one side, once read: its compared values, each followed by a
// NUL, in the order of the checks. The time is kept as seconds (the block's
// line shows whole seconds), and worded only for a sink.
struct SideFile {
    std::string name;    // below its folder (folders), or the path given (files)
    std::string values;  // empty when not read
    std::string failure; // why it was not read; empty when it was
    std::uint64_t size = 0;
    bool read = false;
    bool claimed = false; // only in B: a file of A moved here
};

// The value of field i of values.
std::string_view Field(std::string_view values, std::size_t i) {
    std::size_t at = 0;
    for (; i > 0; --i) {
        at = values.find('\0', at) + 1;
    }
    return values.substr(at, values.find('\0', at) - at);
}

// What a row stands for, once both sides are known.
struct RowRef {
    enum class Kind { Both, OnlyA, OnlyB };
    Kind kind = Kind::Both;
    std::size_t a = 0;
    std::size_t b = 0; // OnlyA: the file of B it moved to, when moved
    bool moved = false;
};

struct Tally {
    std::array<std::size_t, kCompareVerdictCount> rows{};
    std::size_t unreadable = 0; // files and folders that could not be read
};

class Comparer {
public:
    Comparer(const CompareOptions& options, std::FILE* out, std::FILE* err, CompareSink* sink)
        : m_Options(options), m_Err(err), m_Sink(sink), m_Output(out),
          m_Checks(ComparedLines(options.lines)) {}

    int Run(const std::string& a, const std::string& b) {
        m_Paths[0] = a;
        m_Paths[1] = b;
        std::optional<platform::EntryInfo> infos[2];
        const std::string* paths[2] = {&a, &b};
        for (int side = 0; side < 2; ++side) {
            int error = 0;
            infos[side] = platform::QueryEntry(platform::PathFromText(*paths[side]), &error);
            if (!infos[side]) {
                Tell(DisplayText(*paths[side]), ": ", std::generic_category().message(error));
                return 2;
            }
        }
        if (infos[0]->directory != infos[1]->directory) {
            const int folder = infos[0]->directory ? 0 : 1;
            Tell("cannot compare the folder ", DisplayText(*paths[folder]), " with the file ",
                 DisplayText(*paths[1 - folder]));
            return 2;
        }
        if (infos[0]->directory) {
            m_Folders = true;
            if (!ReadFolders(a, b)) {
                return 2;
            }
            WriteFolderRows();
        } else {
            if (!ReadFiles(a, b)) {
                return 2;
            }
            WriteFileRow();
        }
        return Finish();
    }

private:
    // A word about a path: to the sink, else on the error stream after the
    // results written so far.
    template <typename... Parts> void Tell(const Parts&... parts) {
        if (m_Sink != nullptr) {
            std::string text;
            (text += ... += parts);
            m_Sink->Message(text);
        } else {
            m_Output.Flush();
            Say(m_Err, parts...);
        }
    }

    bool Wanted() const { return !m_Output.failed() && (!m_Sink || m_Sink->Open()); }

    ReportRun::Settings Settings() const {
        ReportRun::Settings settings;
        settings.options = m_Options.lines;
        settings.digests = ReportDigestSelection(m_Options.lines);
        settings.walkRules.oneFileSystem = m_Options.oneFileSystem;
        settings.bytesRead = m_Options.bytesRead;
        // Files named on purpose are read even when hidden; the walks leave
        // hidden entries out as a report's do.
        settings.readHidden = true;
        if (m_Options.lines.ShowVersion) {
            const ReportServices services = MakeReportServices(LanguageMode::English);
            settings.versionQuery = services.fileVersion;
            settings.versionOfBytes = services.fileVersionOfBytes;
        }
        return settings;
    }

    // Keeps a file read (or not) for its side; a file not read is named on
    // the error stream.
    void Keep(int side, std::string&& name, const std::string& path, const FileFacts& facts) {
        SideFile file;
        file.name = std::move(name);
        file.read = facts.readOk;
        file.size = facts.size.value_or(0);
        if (!facts.readOk) {
            file.failure = facts.failure.empty() ? "cannot be read" : facts.failure;
            ++m_Tally.unreadable;
            Tell(DisplayText(path), ": ", file.failure);
        } else {
            for (const Check& check : m_Checks) {
                if (check.line == ReportLine::Version) {
                    file.values += facts.version;
                } else if (check.line == ReportLine::Size) {
                    file.values += facts.size ? std::to_string(*facts.size) : std::string();
                } else if (check.line == ReportLine::Time) {
                    file.values += facts.modified
                                       ? std::to_string(facts.modified->time_since_epoch().count())
                                       : std::string();
                } else {
                    file.values += FactsDigest(facts, *check.kind);
                }
                file.values += '\0';
            }
        }
        m_Sides[side].push_back(std::move(file));
    }

    bool ReadFiles(const std::string& a, const std::string& b) {
        ReportRun run({RunItem::File(a), RunItem::File(b)}, Settings());
        std::vector<RunBlock> ready;
        while (Wanted() && run.WaitReady(ready)) {
        }
        run.Stop();
        if (ready.size() != 2) {
            return false; // no longer wanted
        }
        Keep(0, std::string(), a, ready[0].facts);
        Keep(1, std::string(), b, ready[1].facts);
        return true;
    }

    // Walks and reads both folders on one run when the names of one cannot
    // start with the other's folder (each block's path then tells its side):
    // the workers read A's last files and B's first ones at the same time.
    // A folder inside the other (or the same folder twice) is read on a run
    // of its own after the other's.
    bool ReadFolders(const std::string& a, const std::string& b) {
        std::string prefixes[2] = {a, b};
        for (std::string& prefix : prefixes) {
            if (!prefix.ends_with('/')) {
                prefix += '/'; // as the walk composes its paths
            }
        }
        const bool apart =
            !prefixes[1].starts_with(prefixes[0]) && !prefixes[0].starts_with(prefixes[1]);
        if (apart) {
            ReportRun run({RunItem::Folder(a), RunItem::Folder(b)}, Settings());
            return Drain(
                run, [&](const std::string& path) { return path.starts_with(prefixes[0]) ? 0 : 1; },
                prefixes);
        }
        for (int side = 0; side < 2; ++side) {
            ReportRun run({RunItem::Folder(side == 0 ? a : b)}, Settings());
            if (!Drain(
                    run, [side](const std::string&) { return side; }, prefixes)) {
                return false;
            }
        }
        return true;
    }

    // Keeps the run's files, each on the side sideOf tells from its path,
    // named below that side's folder (prefixes: the folders as the walk
    // composes paths). False when the results were no longer wanted.
    bool Drain(ReportRun& run, const std::function<int(const std::string&)>& sideOf,
               const std::string (&prefixes)[2]) {
        std::vector<RunBlock> ready;
        while (Wanted() && run.WaitReady(ready)) {
            for (const FolderWalkProblem& problem : run.TakeProblems()) {
                Problem(problem);
            }
            for (const RunBlock& block : ready) {
                const int side = sideOf(block.path);
                Keep(side, block.path.substr(prefixes[side].size()), block.path, block.facts);
            }
            ready.clear();
        }
        for (const FolderWalkProblem& problem : run.TakeProblems()) {
            Problem(problem);
        }
        const bool whole = Wanted();
        run.Stop();
        return whole;
    }

    void Problem(const FolderWalkProblem& problem) {
        ++m_Tally.unreadable;
        Tell(DisplayText(problem.folder), ": ", DescribeProblem(problem));
    }

    // Lines up the two folders' names and finds the moves.
    std::vector<RowRef> Rows() {
        for (std::vector<SideFile>& files : m_Sides) {
            std::sort(files.begin(), files.end(), [](const SideFile& x, const SideFile& y) {
                return CompareNameBefore(x.name, y.name);
            });
        }
        const std::vector<SideFile>& as = m_Sides[0];
        const std::vector<SideFile>& bs = m_Sides[1];
        std::vector<RowRef> rows;
        rows.reserve(std::max(as.size(), bs.size()));
        std::size_t i = 0;
        std::size_t j = 0;
        while (i < as.size() || j < bs.size()) {
            if (j == bs.size() || (i < as.size() && CompareNameBefore(as[i].name, bs[j].name))) {
                rows.push_back({RowRef::Kind::OnlyA, i++, 0});
            } else if (i == as.size() || CompareNameBefore(bs[j].name, as[i].name)) {
                rows.push_back({RowRef::Kind::OnlyB, 0, j++});
            } else {
                rows.push_back({RowRef::Kind::Both, i++, j++});
            }
        }
        // A file only in A moved when a file only in B has its content: the
        // first such file by name, each taken once.
        std::unordered_map<std::string, std::vector<std::size_t>> onlyInB;
        for (const RowRef& row : rows) {
            if (row.kind == RowRef::Kind::OnlyB && bs[row.b].read) {
                onlyInB[ContentKey(bs[row.b])].push_back(row.b);
            }
        }
        if (!onlyInB.empty()) {
            for (RowRef& row : rows) {
                if (row.kind != RowRef::Kind::OnlyA || !as[row.a].read) {
                    continue;
                }
                const auto found = onlyInB.find(ContentKey(as[row.a]));
                if (found == onlyInB.end()) {
                    continue;
                }
                for (const std::size_t b : found->second) {
                    if (!m_Sides[1][b].claimed) {
                        m_Sides[1][b].claimed = true;
                        row.b = b;
                        row.moved = true;
                        break;
                    }
                }
            }
        }
        return rows;
    }

    // The content of a file: its size and every digest compared.
    std::string ContentKey(const SideFile& file) const {
        std::string key(reinterpret_cast<const char*>(&file.size), sizeof file.size);
        for (std::size_t i = 0; i < m_Checks.size(); ++i) {
            if (m_Checks[i].kind) {
                key += Field(file.values, i);
                key += '\0';
            }
        }
        return key;
    }

    // The checks whose values differ (both files read).
    std::vector<std::string_view> Differs(const SideFile& x, const SideFile& y) const {
        std::vector<std::string_view> differs;
        for (std::size_t i = 0; i < m_Checks.size(); ++i) {
            if (Field(x.values, i) != Field(y.values, i)) {
                differs.push_back(CheckName(m_Checks[i].line));
            }
        }
        return differs;
    }

    void WriteFolderRows() {
        const std::vector<RowRef> rows = Rows();
        for (const RowRef& row : rows) {
            if (!Wanted()) {
                return;
            }
            const SideFile* a = row.kind != RowRef::Kind::OnlyB ? &m_Sides[0][row.a] : nullptr;
            const SideFile* b =
                row.kind != RowRef::Kind::OnlyA || row.moved ? &m_Sides[1][row.b] : nullptr;
            if (row.kind == RowRef::Kind::OnlyB && b->claimed) {
                continue; // told as the move of a file of A
            }
            CompareVerdict verdict = CompareVerdict::Same;
            std::vector<std::string_view> differs;
            if (row.kind == RowRef::Kind::OnlyA) {
                verdict = row.moved ? CompareVerdict::Moved : CompareVerdict::OnlyInA;
            } else if (row.kind == RowRef::Kind::OnlyB) {
                verdict = CompareVerdict::OnlyInB;
            } else {
                verdict = Judge(*a, *b, differs);
            }
            Write(a ? a->name : b->name, verdict, differs, a, b,
                  row.moved ? std::optional<std::string_view>(b->name) : std::nullopt);
            m_Output.FlushIfFull();
        }
    }

    void WriteFileRow() {
        std::vector<std::string_view> differs;
        const CompareVerdict verdict = Judge(m_Sides[0][0], m_Sides[1][0], differs);
        Write({}, verdict, differs, &m_Sides[0][0], &m_Sides[1][0], std::nullopt);
    }

    CompareVerdict Judge(const SideFile& a, const SideFile& b,
                         std::vector<std::string_view>& differs) const {
        if (!a.read || !b.read) {
            return CompareVerdict::Unreadable;
        }
        differs = Differs(a, b);
        return differs.empty() ? CompareVerdict::Same : CompareVerdict::Different;
    }

    void Write(std::string_view name, CompareVerdict verdict,
               std::span<const std::string_view> differs, const SideFile* a, const SideFile* b,
               std::optional<std::string_view> movedTo) {
        ++m_Tally.rows[static_cast<std::size_t>(verdict)];
        std::string text;
        if (m_Folders) {
            text += formats::EscapeName(name);
            text += ": ";
        }
        text += CompareWord(verdict);
        if (!differs.empty()) {
            text += " (";
            for (std::size_t i = 0; i < differs.size(); ++i) {
                text += i == 0 ? "" : ", ";
                text += differs[i];
            }
            text += ')';
        }
        if (movedTo) {
            text += " to ";
            text += formats::EscapeName(*movedTo);
        }
        if (m_Sink) {
            HandToSink(name, verdict, differs, a, b, movedTo, text);
            return;
        }
        if (m_Options.quiet && verdict == CompareVerdict::Same) {
            return;
        }
        std::string& out = m_Output.buffer();
        if (!m_Options.json) {
            out += text;
            out += '\n';
            return;
        }
        out += '{';
        if (m_Folders) {
            AppendJsonName(out, "name", name);
        } else {
            AppendJsonName(out, "a", m_Paths[0]);
            out += ',';
            AppendJsonName(out, "b", m_Paths[1]);
        }
        out += ",\"status\":";
        formats::AppendJsonString(out, CompareWord(verdict));
        if (movedTo) {
            out += ',';
            AppendJsonName(out, "to", *movedTo);
        }
        if (!differs.empty()) {
            out += ",\"differs\":[";
            for (std::size_t i = 0; i < differs.size(); ++i) {
                out += i == 0 ? "" : ",";
                formats::AppendJsonString(out, differs[i]);
            }
            out += ']';
        }
        out += "}\n";
    }

    // The value shown for a check of a file: the time worded.
    std::string_view Shown(const SideFile* file, std::size_t i, std::string& time) {
        if (file == nullptr || !file->read) {
            return {};
        }
        const std::string_view value = Field(file->values, i);
        if (m_Checks[i].line != ReportLine::Time || value.empty()) {
            return value;
        }
        if (!m_TimeText) {
            m_TimeText = m_Options.timeText ? m_Options.timeText
                                            : MakeReportServices(LanguageMode::English).formatTime;
        }
        const std::chrono::sys_seconds seconds{
            std::chrono::seconds(std::stoll(std::string(value)))};
        time = m_TimeText ? m_TimeText(seconds) : std::string(value);
        return time;
    }

    void HandToSink(std::string_view name, CompareVerdict verdict,
                    std::span<const std::string_view> differs, const SideFile* a, const SideFile* b,
                    std::optional<std::string_view> movedTo, std::string_view text) {
        std::vector<CompareLine> lines;
        std::string times[2];
        for (std::size_t i = 0; i < m_Checks.size(); ++i) {
            CompareLine line;
            line.line = m_Checks[i].line;
            line.check = CheckName(line.line);
            line.a = Shown(a, i, times[0]);
            line.b = Shown(b, i, times[1]);
            line.differs = std::find(differs.begin(), differs.end(), line.check) != differs.end();
            lines.push_back(line);
        }
        std::string reason;
        for (const SideFile* file : {a, b}) {
            if (file != nullptr && !file->read) {
                reason += reason.empty() ? "" : "; ";
                reason += file == a ? "A: " : "B: ";
                reason += file->failure;
            }
        }
        CompareRow row;
        row.name = name;
        row.verdict = verdict;
        row.differs = differs;
        row.movedTo = movedTo;
        row.lines = lines;
        row.inA = a != nullptr;
        row.inB = b != nullptr;
        row.reason = reason;
        row.text = text;
        m_Sink->Row(row);
    }

    int Finish() {
        m_Output.Flush();
        if (m_Output.failed()) {
            Say(m_Err, "standard output: cannot write: " +
                           std::generic_category().message(m_Output.error()));
            return 2;
        }
        const auto count = [this](CompareVerdict verdict) {
            return m_Tally.rows[static_cast<std::size_t>(verdict)];
        };
        if (!m_Sink && m_Folders) {
            std::string summary =
                "compare: " + formats::GroupedCount(count(CompareVerdict::Same)) + " same, " +
                formats::GroupedCount(count(CompareVerdict::Different)) + " different, " +
                formats::GroupedCount(count(CompareVerdict::OnlyInA)) + " only in A, " +
                formats::GroupedCount(count(CompareVerdict::OnlyInB)) + " only in B, " +
                formats::GroupedCount(count(CompareVerdict::Moved)) + " moved";
            if (m_Tally.unreadable > 0) {
                summary += ", " + formats::GroupedCount(m_Tally.unreadable) + " unreadable";
            }
            summary += '\n';
            std::fwrite(summary.data(), 1, summary.size(), m_Err);
            std::fflush(m_Err);
        }
        if (m_Tally.unreadable > 0) {
            return 2;
        }
        for (std::size_t verdict = 0; verdict < kCompareVerdictCount; ++verdict) {
            if (verdict != static_cast<std::size_t>(CompareVerdict::Same) &&
                m_Tally.rows[verdict] > 0) {
                return 1;
            }
        }
        return 0;
    }

    const CompareOptions& m_Options;
    std::FILE* m_Err;
    CompareSink* m_Sink;
    ResultStream m_Output;
    const std::vector<Check> m_Checks;
    std::vector<SideFile> m_Sides[2];
    std::string m_Paths[2];
    bool m_Folders = false;
    Tally m_Tally;
    std::function<std::string(std::chrono::sys_seconds)> m_TimeText;
};

int Compare(const std::string& a, const std::string& b, const CompareOptions& options,
            std::FILE* out, std::FILE* err, CompareSink* sink) {
    Comparer comparer(options, out, err, sink);
    return comparer.Run(a, b);
}

} // namespace

std::string_view CompareWord(CompareVerdict verdict) {
    return kWords.at(static_cast<std::size_t>(verdict));
}

bool CompareNameBefore(std::string_view x, std::string_view y) {
    for (;;) {
        const std::size_t xEnd = x.find('/');
        const std::size_t yEnd = y.find('/');
        const bool xFile = xEnd == std::string_view::npos;
        const bool yFile = yEnd == std::string_view::npos;
        if (xFile != yFile) {
            return xFile; // a folder's files before its subfolders
        }
        const std::string_view xPart = x.substr(0, xEnd);
        const std::string_view yPart = y.substr(0, yEnd);
        if (xPart != yPart) {
            return xPart < yPart; // char_traits<char> compares as unsigned char
        }
        if (xFile) {
            return false; // the same name
        }
        x.remove_prefix(xEnd + 1);
        y.remove_prefix(yEnd + 1);
    }
}

int RunCompare(const std::string& a, const std::string& b, const CompareOptions& options,
               std::FILE* out, std::FILE* err) {
    return Compare(a, b, options, out, err, nullptr);
}

int RunCompare(const std::string& a, const std::string& b, const CompareOptions& options,
               CompareSink& sink) {
    return Compare(a, b, options, nullptr, nullptr, &sink);
}

} // namespace varnel
