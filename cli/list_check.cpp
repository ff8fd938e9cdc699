#include "cli/list_check.h"

#include "platform/date_text.h"
#include "platform/formats/hex.h"
#include "platform/os/input_stream.h"
#include "report/report.h"
#include "report/report_run.h"
#include "report/report_services.h"

#include <algorithm>
#include <cerrno>
#include <deque>
#include <map>
#include <memory>
#include <span>
#include <system_error>

namespace varnel {

namespace {

constexpr std::string_view kProgram = "varnel-report";

constexpr std::size_t kFlushSize = 1u << 20;

// What the whole check has met, for the summary and the exit status.
struct Tally {
    std::size_t failed = 0;         // entries whose file differs
    std::size_t unread = 0;         // entries whose file could not be read
    std::size_t badLines = 0;       // improperly formatted lines, all lists
    std::size_t badReportLines = 0; // of them, lines of saved reports
    std::size_t damaged = 0;        // entries begun but not read whole
    bool unusableList = false;
    bool nothingVerified = false; // a list whose every file was passed over
    bool writeFailed = false;
    int writeError = 0; // the system's reason for the first failed write
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

    // After a failed write nothing more is written: the output would have a
    // hole where the lost results were.
    void Flush() {
        if (!m_Buffer.empty() && !m_Tally.writeFailed) {
            errno = 0;
            if (std::fwrite(m_Buffer.data(), 1, m_Buffer.size(), m_Stream) != m_Buffer.size()) {
                Failed();
            }
        }
        m_Buffer.clear();
        if (!m_Tally.writeFailed && std::fflush(m_Stream) != 0) {
            Failed();
        }
    }

private:
    void Failed() {
        m_Tally.writeFailed = true;
        m_Tally.writeError = errno != 0 ? errno : EIO;
    }

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

// The values a report block would show for the facts, by line.
std::map<ReportLine, std::string> ShownValues(const ListEntry& entry, const FileFacts& facts,
                                              const ReportServices& services) {
    ReportOptions options;
    options.ShowVersion = entry.version.has_value();
    options.ShowSize = entry.size.has_value();
    options.ShowModifiedTime = entry.time.has_value();
    options.ShowCRC32 = entry.Expected(DigestKind::Crc32).has_value();
    options.ShowSHA1 = entry.Expected(DigestKind::Sha1).has_value();
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

// The list's digests in the order results name them: the report's lines
// first, then the longer digests of other tools' lists.
constexpr DigestKind kDigestOrder[] = {DigestKind::Crc32,  DigestKind::Sha1,   DigestKind::Md5,
                                       DigestKind::Sha256, DigestKind::Sha512, DigestKind::Blake2b,
                                       DigestKind::Wide512};

bool DigestMatches(DigestKind kind, const std::string& expected, const FileFacts& facts) {
    // Both upper-case already; an empty value (a file not read when the
    // report was made) never matches.
    const auto same = [&](const std::string& actual) {
        return !expected.empty() && expected == actual;
    };
    switch (kind) {
    case DigestKind::Crc32:
        return same(platform::Hex8(facts.crc32));
    case DigestKind::Md5:
        return same(facts.md5);
    case DigestKind::Sha1:
        return same(facts.sha1);
    case DigestKind::Sha256:
        return same(facts.sha256);
    case DigestKind::Sha512:
        return same(facts.sha512);
    case DigestKind::Blake2b:
        return same(facts.blake2b);
    case DigestKind::Wide512:
        return same(facts.sha512) || same(facts.blake2b);
    }
    return false;
}

// The checks of one entry that failed, in the report's line order.
std::vector<std::string_view> FailedChecks(const ListEntry& entry, const FileFacts& facts,
                                           const ReportServices* services) {
    std::vector<std::string_view> failed;
    if (entry.report && services != nullptr) {
        const std::map<ReportLine, std::string> shown = ShownValues(entry, facts, *services);
        const auto textDiffers = [&](ReportLine line, const std::optional<std::string>& expected) {
            if (!expected) {
                return;
            }
            const auto found = shown.find(line);
            if (found == shown.end() || found->second != *expected) {
                failed.push_back(CheckName(line));
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
                failed.push_back(CheckName(ReportLine::Time));
            }
        }
    }
    for (const DigestKind kind : kDigestOrder) {
        if (const std::optional<std::string>& expected = entry.Expected(kind);
            expected && !DigestMatches(kind, *expected, facts)) {
            failed.push_back(DigestName(kind));
        }
    }
    return failed;
}

std::size_t ChecksOf(const ListEntry& entry) {
    std::size_t checks = static_cast<std::size_t>(entry.version.has_value()) +
                         entry.size.has_value() + entry.time.has_value();
    for (const std::optional<std::string>& expected : entry.expected) {
        checks += expected.has_value();
    }
    return checks;
}

// What a run must gather for a set of entries: the digests and the version
// that any of them carries.
struct RunNeeds {
    DigestSelection digests;
    bool version = false;

    void Add(const ListEntry& entry) {
        const auto has = [&](DigestKind kind) { return entry.Expected(kind).has_value(); };
        digests.crc32 = digests.crc32 || has(DigestKind::Crc32);
        digests.sha1 = digests.sha1 || has(DigestKind::Sha1);
        digests.md5 = digests.md5 || has(DigestKind::Md5);
        digests.sha256 = digests.sha256 || has(DigestKind::Sha256);
        digests.sha512 = digests.sha512 || has(DigestKind::Sha512) || has(DigestKind::Wide512);
        digests.blake2b = digests.blake2b || has(DigestKind::Blake2b) || has(DigestKind::Wide512);
        version = version || entry.version.has_value();
    }
    bool Covers(const RunNeeds& other) const {
        const auto covers = [](bool mine, bool theirs) { return mine || !theirs; };
        return covers(digests.crc32, other.digests.crc32) &&
               covers(digests.sha1, other.digests.sha1) && covers(digests.md5, other.digests.md5) &&
               covers(digests.sha256, other.digests.sha256) &&
               covers(digests.sha512, other.digests.sha512) &&
               covers(digests.blake2b, other.digests.blake2b) && covers(version, other.version);
    }
    void Widen(const RunNeeds& other) {
        digests.crc32 = digests.crc32 || other.digests.crc32;
        digests.sha1 = digests.sha1 || other.digests.sha1;
        digests.md5 = digests.md5 || other.digests.md5;
        digests.sha256 = digests.sha256 || other.digests.sha256;
        digests.sha512 = digests.sha512 || other.digests.sha512;
        digests.blake2b = digests.blake2b || other.digests.blake2b;
        version = version || other.version;
    }
};

// Files handed to the engine at a time, and the entries read ahead of the
// results written: small enough that the workers start at once and memory
// stays flat whatever the list's length, large enough that the workers
// never run dry while the next lines are read.
constexpr std::size_t kBatch = 256;
constexpr std::size_t kWindow = 8 * kBatch;

// Finished files the engine may hold for the checker.
constexpr std::size_t kFilesAhead = 4 * kBatch;

// Checks one list while it is read: its entries go to the engine's workers
// a batch at a time, and results are written, in list order, as they come.
// At most kWindow entries are held at once.
class ListChecker {
public:
    ListChecker(const std::string& list, const ListCheckOptions& options, Output& output,
                std::FILE* err, Tally& tally)
        : m_List(list), m_Options(options), m_Output(output), m_Err(err), m_Tally(tally) {}

    // Takes the next entry of the list.
    void Add(ListEntry&& entry) {
        ++m_Entries;
        if (!entry.damaged) {
            RunNeeds needs;
            needs.Add(entry);
            if (!m_Run || !m_Needs.Covers(needs)) {
                // A wider run takes over from here: the narrower one is
                // finished first, so results keep the list's order.
                if (m_Run) {
                    Finish();
                }
                needs.Widen(m_Needs);
                StartRun(entry.report, needs);
            }
            m_Batch.push_back(entry.name);
        }
        m_Window.push_back(std::move(entry));
        // A full window is drained even when its entries have no file to
        // read (damaged ones): memory stays flat whatever the list holds.
        if (m_Batch.size() >= kBatch || m_Window.size() >= kWindow) {
            HandOut();
            Drain(m_Window.size() >= kWindow ? std::optional<std::size_t>(kWindow - kBatch)
                                             : std::nullopt);
        }
    }

    // The list waits for its writer: what was read so far is checked and
    // written before the wait, so results come as the list does.
    void BeforeWait() {
        HandOut();
        Drain(0);
        m_Output.Flush();
    }

    // The list has ended (or broken off): the rest is checked and written.
    void Finish() {
        HandOut();
        if (m_Run) {
            m_Run->EndFiles();
        }
        Drain(0);
        if (m_Run) {
            // Over by now, or cut short by a failed write.
            m_Run->Stop();
            m_Run.reset();
        }
    }

    void End() {
        Finish();
        m_Output.Flush();
        if (m_Options.ignoreMissing && m_Verified == 0 && m_Unread == 0 && m_Entries > 0 &&
            !m_Tally.writeFailed) {
            m_Tally.nothingVerified = true;
            if (!m_Options.status) {
                Say(m_Err, DisplayText(m_List) + ": no file was verified");
            }
        }
    }

    std::size_t entries() const { return m_Entries; }

private:
    void HandOut() {
        if (!m_Batch.empty() && m_Run) {
            m_Run->AddFiles(std::move(m_Batch));
        }
        m_Batch.clear();
    }

    void StartRun(bool report, const RunNeeds& needs) {
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
        if (report && !m_Plain) {
            m_Plain = MakeReportServices(std::string());
            m_Converted = MakeReportServices(std::string("TAIWAN"));
        }
        if (m_Plain) {
            settings.versionQuery = m_Plain->fileVersion;
        }
        m_Run = std::make_unique<ReportRun>(std::move(settings));
    }

    // Writes the damaged entries at the front of the window: they have no
    // file in the run.
    void WriteDamagedFront() {
        while (!m_Window.empty() && m_Window.front().damaged) {
            WriteDamaged(m_Window.front());
            m_Window.pop_front();
        }
    }

    // Writes the results that are ready, in list order; with keep, waits
    // for more until at most keep entries are left in the window. Every
    // entry of the window that is not damaged has been handed out.
    void Drain(std::optional<std::size_t> keep) {
        std::vector<RunBlock> ready;
        for (;;) {
            WriteDamagedFront();
            if (m_Window.empty() || !m_Run || m_Tally.writeFailed) {
                return;
            }
            ready.clear();
            if (keep && m_Window.size() > *keep) {
                if (!m_Run->WaitReady(ready)) {
                    return;
                }
            } else if (m_Run->TakeReady(ready) == 0) {
                return;
            }
            for (const RunBlock& block : ready) {
                WriteDamagedFront();
                Write(m_Window.front(), block.facts);
                m_Window.pop_front();
            }
            m_Output.FlushIfFull();
            if (m_Tally.writeFailed) {
                m_Run->Stop();
                return;
            }
        }
    }

    void WriteDamaged(const ListEntry& entry) {
        ++m_Tally.damaged;
        if (!m_Options.status) {
            m_Output.buffer() += entry.shown + ": FAILED improperly formatted\n";
        }
    }

    void Write(const ListEntry& entry, const FileFacts& facts) {
        if (!facts.readOk) {
            if (m_Options.ignoreMissing && facts.failureKind == ReadFailure::NotFound) {
                return;
            }
            ++m_Tally.unread;
            ++m_Unread;
            if (!m_Options.status) {
                m_Output.Flush();
                Say(m_Err, entry.shown + ": " + facts.failure);
                m_Output.buffer() += entry.shown + ": FAILED open or read\n";
            }
            return;
        }
        ++m_Verified;
        const std::vector<std::string_view> failed = FailedChecks(entry, facts,
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
                text += failed[i];
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
    std::deque<ListEntry> m_Window;   // read, result not yet written, in list order
    std::vector<std::string> m_Batch; // names read, not yet handed to the run
    std::size_t m_Entries = 0;        // entries read
    std::size_t m_Verified = 0;       // entries whose file was read
    std::size_t m_Unread = 0;         // entries whose file could not be read
};

} // namespace

int RunListCheck(const std::vector<std::string>& lists, const ListCheckOptions& options,
                 std::FILE* out, std::FILE* err) {
    Tally tally;
    Output output(out, tally);
    for (const std::string& list : lists) {
        const std::string shownList = list == "-" ? "standard input" : DisplayText(list);
        std::string reason;
        platform::InputStream stream = list == "-" ? platform::InputStream::StandardInput()
                                                   : platform::InputStream::Open(list, reason);
        if (!stream.isOpen()) {
            tally.unusableList = true;
            if (!options.status) {
                Say(err, shownList + ": " + reason);
            }
            continue;
        }
        // The list is checked as it is read: its first files are read while
        // the rest of it is still coming.
        ListChecker checker(list, options, output, err, tally);
        ChecksumListReader reader(
            [&](std::span<char> dest) {
                if (stream.WouldWait()) {
                    checker.BeforeWait();
                }
                return stream.Read(dest);
            },
            options.format);
        std::string broken;
        try {
            while (!tally.writeFailed) {
                std::optional<ListEntry> entry = reader.Next();
                if (!entry) {
                    break;
                }
                checker.Add(std::move(*entry));
            }
        } catch (const std::system_error& error) {
            broken = error.code().message();
        }
        checker.End();
        const bool report = reader.format() == ListFormat::Report;
        if (!broken.empty()) {
            // What was read before the failure has been checked; the rest
            // of the list is unknown.
            tally.unusableList = true;
            if (!options.status) {
                Say(err, shownList + ": cannot read: " + broken);
            }
        } else if (checker.entries() == 0) {
            tally.unusableList = true;
            if (!options.status) {
                Say(err, reader.firstBadLine() == 0
                             ? shownList + ": no checksum lines"
                             : shownList + ": line " + std::to_string(reader.firstBadLine()) +
                                   ": not a checksum line of a known format");
            }
            continue;
        }
        tally.badLines += reader.badLines();
        // A report's blocks are the entries: a line that is none of them may
        // be a block whose name could not be read, never to be passed over.
        tally.badReportLines += report ? reader.badLines() : 0;
        if (reader.badLines() > 0 && !options.status) {
            Say(err, shownList + ": line " + std::to_string(reader.firstBadLine()) +
                         ": improperly formatted " + (report ? "report line" : "checksum line") +
                         (reader.badLines() > 1
                              ? " (and " + Plural(reader.badLines() - 1, "other", "others") + ")"
                              : std::string()));
        }
        if (tally.writeFailed) {
            break;
        }
    }
    output.Flush();
    if (tally.writeFailed) {
        Say(err,
            "standard output: cannot write: " + std::generic_category().message(tally.writeError));
        return 1;
    }
    if (!options.status) {
        if (tally.badLines > 0) {
            Say(err, "WARNING: " + Plural(tally.badLines, "line is improperly formatted",
                                          "lines are improperly formatted"));
        }
        if (tally.damaged > 0) {
            Say(err, "WARNING: " + Plural(tally.damaged, "listed entry is improperly formatted",
                                          "listed entries are improperly formatted"));
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
    const bool allGood = tally.failed == 0 && tally.unread == 0 && tally.damaged == 0 &&
                         tally.badReportLines == 0 && !tally.nothingVerified &&
                         !(options.strict && tally.badLines > 0);
    return allGood ? 0 : 1;
}

} // namespace varnel
