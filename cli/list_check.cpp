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

// Checks the entries of one parsed list.
void CheckEntries(const std::string& list, const ParsedList& parsed,
                  const ListCheckOptions& options, Output& output, std::FILE* err, Tally& tally) {
    // One run reads every entry's file, with the digests and facts that any
    // entry of the list needs (lists are uniform as a rule).
    ReportRun::Settings settings;
    DigestSelection digests;
    ReportOptions gather;
    gather.ShowSHA1 = false;
    gather.ShowModifiedTime = false;
    gather.ShowSize = false;
    std::vector<RunItem> items;
    items.reserve(parsed.entries.size());
    for (const ListEntry& entry : parsed.entries) {
        digests.crc32 = digests.crc32 || entry.crc32.has_value();
        digests.sha1 = digests.sha1 || entry.sha1.has_value();
        digests.md5 = digests.md5 || entry.md5.has_value();
        gather.ShowVersion = gather.ShowVersion || entry.version.has_value();
        items.push_back(RunItem::File(entry.name));
    }
    gather.ShowCRC32 = digests.crc32;
    gather.ShowSHA1 = digests.sha1;
    settings.options = gather;
    settings.digests = digests;
    settings.readHidden = true;
    // Report blocks compare their lines as the report would write them now:
    // the plain services and the converting ones, made on this thread.
    std::optional<ReportServices> plain;
    std::optional<ReportServices> converted;
    if (parsed.format == ListFormat::Report) {
        plain = MakeReportServices(std::string());
        converted = MakeReportServices(std::string("TAIWAN"));
        settings.versionQuery = plain->fileVersion;
    }

    std::size_t verified = 0;
    std::size_t next = 0;
    ReportRun run(std::move(items), std::move(settings));
    std::vector<RunBlock> ready;
    while (run.WaitReady(ready)) {
        for (RunBlock& block : ready) {
            const ListEntry& entry = parsed.entries[next++];
            const FileFacts& facts = block.facts;
            if (!facts.readOk) {
                if (options.ignoreMissing && facts.failureKind == ReadFailure::NotFound) {
                    continue;
                }
                ++tally.unread;
                if (!options.status) {
                    output.Flush();
                    Say(err, entry.shown + ": " + facts.failure);
                    output.buffer() += entry.shown + ": FAILED open or read\n";
                }
                continue;
            }
            ++verified;
            const std::vector<ReportLine> failed = FailedChecks(entry, facts,
                                                                entry.converted ? &*converted
                                                                : plain         ? &*plain
                                                                                : nullptr);
            if (failed.empty()) {
                if (!options.quiet && !options.status) {
                    output.buffer() += entry.shown + ": OK\n";
                }
                continue;
            }
            ++tally.failed;
            if (options.status) {
                continue;
            }
            std::string& text = output.buffer();
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
        ready.clear();
        output.FlushIfFull();
        if (tally.writeFailed) {
            run.Stop();
            break;
        }
    }
    output.Flush();
    if (options.ignoreMissing && verified == 0 && tally.unread == 0 && !parsed.entries.empty()) {
        tally.nothingVerified = true;
        if (!options.status) {
            Say(err, DisplayText(list) + ": no file was verified");
        }
    }
}

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
        const ParsedList parsed = ParseChecksumList(*text, options.format);
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
        CheckEntries(list, parsed, options, output, err, tally);
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
