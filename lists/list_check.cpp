#include "lists/list_check.h"

#include "lists/check_scheduler.h"
#include "lists/entry_check.h"
#include "lists/program_messages.h"
#include "lists/result_json.h"
#include "lists/result_sink.h"
#include "lists/result_stream.h"
#include "lists/result_words.h"

#include "formats/pe_version.h"
#include "platform/os/input_stream.h"
#include "report/report.h"
#include "report/report_services.h"

#include <cerrno>
#include <initializer_list>
#include <span>
#include <system_error>

namespace varnel {

namespace {

// What the whole check has met, for the summary and the exit status.
struct Tally {
    std::size_t failed = 0;         // entries whose file differs
    std::size_t unread = 0;         // entries whose file could not be read
    std::size_t badLines = 0;       // improperly formatted lines, all lists
    std::size_t badReportLines = 0; // of them, lines of saved reports
    std::size_t damaged = 0;        // entries begun but not read whole
    bool unusableList = false;
    bool nothingVerified = false; // a list whose every file was passed over
};

// The parts one after another, in one string.
std::string Join(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (const std::string_view part : parts) {
        text += part;
    }
    return text;
}

std::string Plural(std::size_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// Checks one list while it is read: the scheduler reads its entries' files,
// and each entry's result is written, in list order, as it comes back.
class ListChecker : public CheckResults {
public:
    ListChecker(const std::string& list, const ListCheckOptions& options, ResultStream& output,
                std::FILE* err, ResultSink* sink, Tally& tally)
        : m_List(list), m_Options(options), m_Output(output), m_Err(err), m_Sink(sink),
          m_Tally(tally), m_Scheduler(*this, [](const std::filesystem::path& path) {
              return platform::GetFileVersion(path);
          }) {
        if (options.namesBelowList) {
            m_Scheduler.SetFolder(ListFolder(list));
        }
        m_Scheduler.SetBytesCounter(options.bytesRead);
    }

    // Takes the next entry of the list.
    void Add(ListEntry&& entry) { m_Scheduler.Add(std::move(entry)); }

    // The list waits for its writer: what was read so far is checked and
    // written before the wait, so results come as the list does.
    void BeforeWait() {
        m_Scheduler.HandBackAll();
        m_Output.Flush();
    }

    // The list has ended (or broken off): the rest is checked and written.
    void End() {
        m_Scheduler.Finish();
        m_Output.Flush();
        if (m_Options.ignoreMissing && m_Verified == 0 && m_Unread == 0 &&
            m_Scheduler.entries() > 0 && !m_Output.failed()) {
            m_Tally.nothingVerified = true;
            if (!m_Options.status) {
                Tell(m_Err, m_Sink, DisplayText(m_List) + ": no file was verified");
            }
        }
    }

    std::size_t entries() const { return m_Scheduler.entries(); }

private:
    void Damaged(const ListEntry& entry) override {
        ++m_Tally.damaged;
        if (!m_Options.status) {
            Result(entry, ListStatus::Improper);
        }
    }

    // One result line: "<shown>: <status>", or its JSON object, or the
    // result handed to the sink.
    void Result(const ListEntry& entry, ListStatus status,
                std::span<const std::string_view> differs = {}, const FileFacts* facts = nullptr) {
        if (m_Sink) {
            std::string line;
            AppendResultText(line, entry, status, differs);
            ListResult result;
            result.name = entry.name;
            result.status = status;
            result.differs = differs;
            result.line = line;
            if (facts) {
                result.reason = facts->failure;
                result.notFound = !facts->readOk && facts->failureKind == ReadFailure::NotFound;
            }
            m_Sink->Result(result);
            return;
        }
        std::string& text = m_Output.buffer();
        if (m_Options.json) {
            AppendResultJson(text, entry.name, status, differs);
            return;
        }
        AppendResultText(text, entry, status, differs);
        text += '\n';
    }

    // "<shown>: <status> (<differs>)", without a line end.
    static void AppendResultText(std::string& text, const ListEntry& entry, ListStatus status,
                                 std::span<const std::string_view> differs) {
        text += entry.shown;
        text += ": ";
        text += ResultWord(status);
        // Which checks differ, when the entry carries more than one.
        if (!differs.empty() && (entry.report || ChecksOf(entry) > 1)) {
            text += " (";
            for (std::size_t i = 0; i < differs.size(); ++i) {
                if (i > 0) {
                    text += ", ";
                }
                text += differs[i];
            }
            text += ')';
        }
    }

    void Checked(const ListEntry& entry, const FileFacts& facts) override {
        if (!facts.readOk) {
            if (m_Options.ignoreMissing && facts.failureKind == ReadFailure::NotFound) {
                return;
            }
            ++m_Tally.unread;
            ++m_Unread;
            if (!m_Options.status) {
                if (!m_Sink) {
                    m_Output.Flush();
                    Say(m_Err, entry.shown + ": " + facts.failure);
                }
                Result(entry, ListStatus::Unreadable, {}, &facts);
            }
            return;
        }
        ++m_Verified;
        std::optional<LocalTime> time;
        if (entry.report && entry.time) {
            time = LocalTimeOf(facts, Services(entry.converted));
        }
        const std::vector<std::string_view> failed = FailedChecks(entry, facts, time);
        if (failed.empty()) {
            if (!m_Options.quiet && !m_Options.status) {
                Result(entry, ListStatus::Ok, {}, &facts);
            }
            return;
        }
        ++m_Tally.failed;
        if (!m_Options.status) {
            Result(entry, ListStatus::Failed, failed, &facts);
        }
    }

    void BatchDone() override { m_Output.FlushIfFull(); }

    bool Open() const override { return !m_Output.failed() && (!m_Sink || m_Sink->Open()); }

    // A report block's time is compared with the text the report would
    // write now: the plain services and the converting ones, made on this
    // thread once.
    const ReportServices& Services(bool converted) {
        if (!m_Plain) {
            m_Plain = MakeReportServices(LanguageMode::English);
            m_Converted = MakeReportServices(LanguageMode::Traditional);
        }
        return converted ? *m_Converted : *m_Plain;
    }

    const std::string& m_List;
    const ListCheckOptions& m_Options;
    ResultStream& m_Output;
    std::FILE* m_Err;
    ResultSink* m_Sink;
    Tally& m_Tally;

    std::optional<ReportServices> m_Plain;
    std::optional<ReportServices> m_Converted;
    std::size_t m_Verified = 0; // entries whose file was read
    std::size_t m_Unread = 0;   // entries whose file could not be read
    CheckScheduler m_Scheduler;
};

// The check of every list, its results written on out or handed to the
// sink.
int CheckLists(const std::vector<std::string>& lists, const ListCheckOptions& options,
               std::FILE* out, std::FILE* err, ResultSink* sink) {
    Tally tally;
    ResultStream output(out);
    const auto open = [&] { return !output.failed() && (!sink || sink->Open()); };
    for (const std::string& list : lists) {
        const std::string shownList = list == "-" ? "standard input" : DisplayText(list);
        std::string reason;
        platform::InputStream stream = list == "-" ? platform::InputStream::StandardInput()
                                                   : platform::InputStream::Open(list, reason);
        if (!stream.isOpen()) {
            tally.unusableList = true;
            if (!options.status) {
                Tell(err, sink, Join({shownList, ": ", reason}));
            }
            continue;
        }
        // The list is checked as it is read: its first files are read while
        // the rest of it is still coming.
        ListChecker checker(list, options, output, err, sink, tally);
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
            while (open()) {
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
                Tell(err, sink, Join({shownList, ": cannot read: ", broken}));
            }
        } else if (checker.entries() == 0) {
            tally.unusableList = true;
            if (!options.status) {
                Tell(err, sink,
                     reader.firstBadLine() == 0
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
            Tell(err, sink,
                 ImproperLinesMessage(shownList, reader.firstBadLine(), reader.badLines(), report));
        }
        if (!open()) {
            break;
        }
    }
    output.Flush();
    if (output.failed()) {
        Say(err,
            "standard output: cannot write: " + std::generic_category().message(output.error()));
        return 1;
    }
    if (!options.status && !sink) {
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

} // namespace

int RunListCheck(const std::vector<std::string>& lists, const ListCheckOptions& options,
                 std::FILE* out, std::FILE* err) {
    return CheckLists(lists, options, out, err, nullptr);
}

int RunListCheck(const std::vector<std::string>& lists, const ListCheckOptions& options,
                 ResultSink& sink) {
    return CheckLists(lists, options, nullptr, nullptr, &sink);
}

} // namespace varnel
