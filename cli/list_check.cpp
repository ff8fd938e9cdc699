#include "cli/list_check.h"

#include "platform/date_text.h"
#include "platform/os/file.h"
#include "report/report.h"
#include "report/report_run.h"
#include "report/report_services.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <system_error>

namespace varnel {

namespace {

constexpr std::string_view kProgram = "varnel-report";

// A list larger than this is refused rather than read into memory.
constexpr std::uint64_t kMaxListSize = 1ull << 30;

constexpr std::size_t kFlushSize = 1u << 20;

// What the whole check has met, for the summary and the exit status.
struct Tally {
    std::size_t failed = 0;   // entries whose file differs
    std::size_t unread = 0;   // entries whose file could not be read
    std::size_t badLines = 0; // improperly formatted lines, all lists
    bool unusableList = false;
    bool nothingVerified = false; // a list whose every file was passed over
    bool writeFailed = false;
};

class Output {
public:
    Output(std::FILE* stream, Tally& tally) : m_Stream(stream), m_Tally(tally) {}
    ~Output() { Flush(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    std::string& buffer() { return m_Buffer; }

    void FlushIfFull() {
        if (m_Buffer.size() >= kFlushSize) {
            Flush();
        }
    }

    void Flush() {
        if (!m_Buffer.empty() &&
            std::fwrite(m_Buffer.data(), 1, m_Buffer.size(), m_Stream) != m_Buffer.size()) {
            m_Tally.writeFailed = true;
        }
        m_Buffer.clear();
        if (std::fflush(m_Stream) != 0) {
            m_Tally.writeFailed = true;
        }
    }

private:
    std::FILE* m_Stream;
    Tally& m_Tally;
    std::string m_Buffer;
};

void Say(std::FILE* err, std::string_view text) {
    std::string line(kProgram);
    line += ": ";
    line += text;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), err);
    std::fflush(err);
}

std::string Plural(std::size_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::optional<std::string> ReadList(const std::string& list, std::string& reason) {
    if (list == "-") {
        std::string text;
        char chunk[65536];
        std::size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) {
            text.append(chunk, got);
        }
        if (std::ferror(stdin) != 0) {
            reason = "cannot read standard input";
            return std::nullopt;
        }
        return text;
    }
    try {
        return platform::ReadWholeFile(list, kMaxListSize);
    } catch (const platform::FileError& error) {
        reason = error.failure() == platform::FileFailure::TooLarge
                     ? std::string("too large for a checksum list")
                     : std::generic_category().message(error.systemError());
        return std::nullopt;
    }
}

// The values a report block would show for the facts, by line.
std::map<ReportLine, std::string> ShownValues(const ListEntry& entry, const FileFacts& facts,
                                              const ReportServices& services) {
    ReportOptions options;
    options.ShowVersion = entry.version.has_value();
    options.ShowSize = entry.size.has_value();
    options.ShowModifiedTime = entry.time.has_value();
    options.ShowCRC32 = entry.crc32.has_value();
    options.ShowSHA1 = entry.sha1.has_value();
    std::string block;
    AppendReportBlock(block, entry.name, facts, options, services);
    std::map<ReportLine, std::string> values;
    std::string_view rest = block;
    while (!rest.empty()) {
        const std::size_t end = rest.find("\r\n");
        const std::string_view line = rest.substr(0, end);
        if (auto value = ReadReportLine(line)) {
            values[value->kind] = std::move(value->value);
        }
        if (end == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(end + 2);
    }
    return values;
}

// The numbers of a text, in order ("2026/12/8 PM 3:04:05": 2026 12 8 3 4 5).
std::vector<unsigned> NumbersOf(std::string_view text) {
    std::vector<unsigned> numbers;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] < '0' || text[i] > '9') {
            ++i;
            continue;
        }
        unsigned value = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            value = std::min(value * 10 + static_cast<unsigned>(text[i] - '0'), 1000000u);
        }
        numbers.push_back(value);
    }
    return numbers;
}

// A time line written in another locale than the checking one: the same
// local date and time when its numbers agree with the file's time, the date's
// three in any order (the year by its last two digits), then hour, minute and
// second, the hour read on a 12-hour clock when a morning or afternoon word
// stands in the text. Local time of the checking machine, as the report's.
bool SameLocalTime(std::string_view written, std::chrono::sys_seconds actual) {
    // This locale's forms are all numbers and a 24-hour clock
    // ("2020/1/1 23:05:06"), or the date alone at midnight.
    static const platform::DateTextFormatter formatter{QLocale(QLocale::Chinese, QLocale::China)};
    const std::vector<unsigned> real = NumbersOf(formatter.Format(actual));
    std::vector<unsigned> seen = NumbersOf(written);
    if (real.size() != seen.size() || (real.size() != 3 && real.size() != 6)) {
        return false;
    }
    std::vector<unsigned> date(seen.begin(), seen.begin() + 3);
    for (unsigned& value : date) {
        value = value >= 100 ? value % 100 : value;
    }
    std::vector<unsigned> realDate(real.begin(), real.begin() + 3);
    for (unsigned& value : realDate) {
        value = value >= 100 ? value % 100 : value;
    }
    std::sort(date.begin(), date.end());
    std::sort(realDate.begin(), realDate.end());
    if (date != realDate) {
        return false;
    }
    if (real.size() == 3) {
        return true;
    }
    const auto has = [&](std::initializer_list<std::string_view> words) {
        return std::any_of(words.begin(), words.end(), [&](std::string_view word) {
            return written.find(word) != std::string_view::npos;
        });
    };
    unsigned hour = seen[3];
    if (has({"PM", "pm", "下午", "午後", "晚上"})) {
        hour = hour % 12 + 12;
    } else if (has({"AM", "am", "上午", "午前", "早上", "凌晨"})) {
        hour = hour % 12;
    }
    return hour == real[3] && seen[4] == real[4] && seen[5] == real[5];
}

bool SameHex(const std::string& expected, const std::string& actual) {
    // Both upper-case already; an empty value (a file not read when the
    // report was made) never matches.
    return !expected.empty() && expected == actual;
}

// The checks of one entry that failed, in the report's line order.
std::vector<ReportLine> FailedChecks(const ListEntry& entry, const FileFacts& facts,
                                     const ReportServices* services) {
    std::vector<ReportLine> failed;
    if (entry.report && services != nullptr) {
        const std::map<ReportLine, std::string> shown = ShownValues(entry, facts, *services);
        const auto textDiffers = [&](ReportLine line, const std::optional<std::string>& expected) {
            if (!expected) {
                return;
            }
            const auto found = shown.find(line);
            if (found == shown.end() || found->second != *expected) {
                failed.push_back(line);
            }
        };
        textDiffers(ReportLine::Version, entry.version);
        textDiffers(ReportLine::Size, entry.size);
        if (entry.time) {
            const auto found = shown.find(ReportLine::Time);
            const bool same = found != shown.end() &&
                              (found->second == *entry.time ||
                               (facts.modified && SameLocalTime(*entry.time, *facts.modified)));
            if (!same) {
                failed.push_back(ReportLine::Time);
            }
        }
    }
    if (entry.crc32) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        std::string actual(8, '0');
        std::uint32_t value = facts.crc32;
        for (int i = 7; i >= 0; --i) {
            actual[static_cast<std::size_t>(i)] = kDigits[value & 0xFu];
            value >>= 4;
        }
        if (!SameHex(*entry.crc32, actual)) {
            failed.push_back(ReportLine::Crc32);
        }
    }
    if (entry.sha1 && !SameHex(*entry.sha1, facts.sha1)) {
        failed.push_back(ReportLine::Sha1);
    }
    if (entry.md5 && !SameHex(*entry.md5, facts.md5)) {
        failed.push_back(ReportLine::Md5);
    }
    return failed;
}

std::size_t ChecksOf(const ListEntry& entry) {
    return static_cast<std::size_t>(entry.version.has_value()) + entry.size.has_value() +
           entry.time.has_value() + entry.crc32.has_value() + entry.sha1.has_value() +
           entry.md5.has_value();
}

// What a run must gather for a set of entries: the digests and the version
// that any of them carries.
struct RunNeeds {
    DigestSelection digests;
    bool version = false;

    void Add(const ListEntry& entry) {
        digests.crc32 = digests.crc32 || entry.crc32.has_value();
        digests.sha1 = digests.sha1 || entry.sha1.has_value();
        digests.md5 = digests.md5 || entry.md5.has_value();
        version = version || entry.version.has_value();
    }
    bool Covers(const RunNeeds& other) const {
        return (digests.crc32 || !other.digests.crc32) && (digests.sha1 || !other.digests.sha1) &&
               (digests.md5 || !other.digests.md5) && (version || !other.version);
    }
};

// Lines read from a list before its first files are handed to the engine,
// and at each later step: small enough that the workers start at once and
// never run dry while the next lines are read.
constexpr std::size_t kLinesPerStep = 512;

// Finished files the engine may hold for the checker (a step's worth, twice).
constexpr std::size_t kFilesAhead = 2 * kLinesPerStep;

// Checks one list while it is read: each step's entries are handed to the
// engine's workers, and results are written, in list order, as they come.
class ListChecker {
public:
    ListChecker(const std::string& list, const ListCheckOptions& options, Output& output,
                std::FILE* err, Tally& tally)
        : m_List(list), m_Options(options), m_Output(output), m_Err(err), m_Tally(tally) {}

    // Reads and checks the whole list; the entries end up in parsed.
    void Run(ChecksumListReader& reader, ParsedList& parsed) {
        bool more = true;
        while (more && !m_Tally.writeFailed) {
            more = reader.ReadSome(parsed, kLinesPerStep);
            HandOut(parsed);
            if (m_Run) {
                if (!more) {
                    m_Run->EndFiles();
                }
                Collect(parsed, !more);
            }
        }
        if (m_Run) {
            // Over by now, or cut short by a failed write: nothing more is
            // waited for.
            m_Run->Stop();
        }
        m_Output.Flush();
        if (m_Options.ignoreMissing && m_Verified == 0 && m_Tally.unread == 0 &&
            !parsed.entries.empty() && !m_Tally.writeFailed) {
            m_Tally.nothingVerified = true;
            if (!m_Options.status) {
                Say(m_Err, DisplayText(m_List) + ": no file was verified");
            }
        }
    }

private:
    // Hands the entries not yet handed out to the engine. A run gathers what
    // its entries need; when later entries need more (a list mixing digests),
    // the run is finished and a wider one takes over from there.
    void HandOut(const ParsedList& parsed) {
        if (m_HandedOut == parsed.entries.size()) {
            return;
        }
        RunNeeds wanted = m_Needs;
        for (std::size_t i = m_HandedOut; i < parsed.entries.size(); ++i) {
            wanted.Add(parsed.entries[i]);
        }
        if (m_Run && !m_Needs.Covers(wanted)) {
            m_Run->EndFiles();
            Collect(parsed, true);
            m_Run.reset();
        }
        if (!m_Run) {
            StartRun(parsed.format, wanted);
        }
        std::vector<std::string> paths;
        paths.reserve(parsed.entries.size() - m_HandedOut);
        for (; m_HandedOut < parsed.entries.size(); ++m_HandedOut) {
            paths.push_back(parsed.entries[m_HandedOut].name);
        }
        m_Run->AddFiles(std::move(paths));
    }

    void StartRun(ListFormat format, const RunNeeds& needs) {
        m_Needs = needs;
        ReportRun::Settings settings;
        ReportOptions gather;
        gather.ShowVersion = needs.version;
        gather.ShowCRC32 = needs.digests.crc32;
        gather.ShowSHA1 = needs.digests.sha1;
        gather.ShowModifiedTime = false;
        gather.ShowSize = false;
        settings.options = gather;
        settings.digests = needs.digests;
        settings.readHidden = true;
        settings.maxFilesAhead = kFilesAhead;
        // Report blocks compare their lines as the report would write them
        // now: the plain services and the converting ones, made on this
        // thread once.
        if (format == ListFormat::Report && !m_Plain) {
            m_Plain = MakeReportServices(std::string());
            m_Converted = MakeReportServices(std::string("TAIWAN"));
        }
        if (m_Plain) {
            settings.versionQuery = m_Plain->fileVersion;
        }
        m_Run = std::make_unique<ReportRun>(std::move(settings));
    }

    // Writes the results that are ready (all of the run's, waiting for them,
    // with untilEnd).
    void Collect(const ParsedList& parsed, bool untilEnd) {
        std::vector<RunBlock> ready;
        for (;;) {
            if (untilEnd) {
                if (!m_Run->WaitReady(ready)) {
                    break;
                }
            } else if (m_Run->TakeReady(ready) == 0) {
                break;
            }
            for (const RunBlock& block : ready) {
                Write(parsed.entries[m_Written++], block.facts);
            }
            ready.clear();
            m_Output.FlushIfFull();
            if (m_Tally.writeFailed) {
                m_Run->Stop();
                return;
            }
        }
    }

    void Write(const ListEntry& entry, const FileFacts& facts) {
        if (!facts.readOk) {
            if (m_Options.ignoreMissing && facts.failureKind == ReadFailure::NotFound) {
                return;
            }
            ++m_Tally.unread;
            if (!m_Options.status) {
                m_Output.Flush();
                Say(m_Err, entry.shown + ": " + facts.failure);
                m_Output.buffer() += entry.shown + ": FAILED open or read\n";
            }
            return;
        }
        ++m_Verified;
        const std::vector<ReportLine> failed = FailedChecks(entry, facts,
                                                            entry.converted ? &*m_Converted
                                                            : m_Plain       ? &*m_Plain
                                                                            : nullptr);
        if (failed.empty()) {
            if (!m_Options.quiet && !m_Options.status) {
                m_Output.buffer() += entry.shown + ": OK\n";
            }
            return;
        }
        ++m_Tally.failed;
        if (m_Options.status) {
            return;
        }
        std::string& text = m_Output.buffer();
        text += entry.shown;
        text += ": FAILED";
        // Which lines differ, when the entry carries more than one.
        if (entry.report || ChecksOf(entry) > 1) {
            text += " (";
            for (std::size_t i = 0; i < failed.size(); ++i) {
                text += i == 0 ? "" : ", ";
                text += CheckName(failed[i]);
            }
            text += ")";
        }
        text += '\n';
    }

    const std::string& m_List;
    const ListCheckOptions& m_Options;
    Output& m_Output;
    std::FILE* m_Err;
    Tally& m_Tally;

    std::unique_ptr<ReportRun> m_Run;
    RunNeeds m_Needs;
    std::optional<ReportServices> m_Plain;
    std::optional<ReportServices> m_Converted;
    std::size_t m_HandedOut = 0; // entries handed to a run
    std::size_t m_Written = 0;   // entries whose result is written
    std::size_t m_Verified = 0;  // entries whose file was read
};

} // namespace

int RunListCheck(const std::vector<std::string>& lists, const ListCheckOptions& options,
                 std::FILE* out, std::FILE* err) {
    Tally tally;
    Output output(out, tally);
    for (const std::string& list : lists) {
        const std::string shownList = list == "-" ? "standard input" : DisplayText(list);
        std::string reason;
        const std::optional<std::string> text = ReadList(list, reason);
        if (!text) {
            tally.unusableList = true;
            if (!options.status) {
                Say(err, shownList + ": " + reason);
            }
            continue;
        }
        // The list is checked as it is read: its first files are read while
        // the rest of it is parsed.
        ChecksumListReader reader(*text, options.format);
        ParsedList parsed;
        ListChecker(list, options, output, err, tally).Run(reader, parsed);
        if (parsed.entries.empty()) {
            tally.unusableList = true;
            if (!options.status) {
                Say(err, parsed.firstBadLine == 0
                             ? shownList + ": no checksum lines"
                             : shownList + ": line " + std::to_string(parsed.firstBadLine) +
                                   ": not a checksum line of a known format");
            }
            continue;
        }
        tally.badLines += parsed.badLines;
        if (parsed.badLines > 0 && !options.status) {
            Say(err, shownList + ": line " + std::to_string(parsed.firstBadLine) +
                         ": improperly formatted checksum line" +
                         (parsed.badLines > 1
                              ? " (and " + Plural(parsed.badLines - 1, "other", "others") + ")"
                              : std::string()));
        }
        if (tally.writeFailed) {
            break;
        }
    }
    output.Flush();
    if (tally.writeFailed) {
        Say(err, "standard output: cannot write");
        return 1;
    }
    if (!options.status) {
        if (tally.badLines > 0) {
            Say(err, "WARNING: " + Plural(tally.badLines, "line is improperly formatted",
                                          "lines are improperly formatted"));
        }
        if (tally.unread > 0) {
            Say(err, "WARNING: " + Plural(tally.unread, "listed file could not be read",
                                          "listed files could not be read"));
        }
        if (tally.failed > 0) {
            Say(err, "WARNING: " + Plural(tally.failed, "computed checksum did NOT match",
                                          "computed checksums did NOT match"));
        }
    }
    if (tally.unusableList) {
        return 2;
    }
    const bool allGood = tally.failed == 0 && tally.unread == 0 && !tally.nothingVerified &&
                         !(options.strict && tally.badLines > 0);
    return allGood ? 0 : 1;
}

} // namespace varnel
