#include "lists/list_check.h"

#include "lists/check_scheduler.h"
#include "lists/entry_check.h"
#include "lists/list_loop.h"
#include "lists/program_messages.h"
#include "lists/result_sink.h"
#include "lists/result_stream.h"

#include "formats/pe_version.h"
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

std::string Plural(std::size_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// Checks one list while it is read: the scheduler reads its entries' files,
// and each entry's result is written, in list order, as it comes back.
class ListChecker final : public CheckResults, public ListConsumer {
public:
    ListChecker(const std::string& list, const ListCheckOptions& options, ResultStream& output,
                std::FILE* err, ResultSink* sink, Tally& tally)
        : m_List(list), m_Options(options), m_Output(output), m_Err(err), m_Sink(sink),
          m_Tally(tally), m_Writer(output, options.json, sink),
          m_Scheduler(*this, [](const std::filesystem::path& path) {
              return formats::GetFileVersion(path);
          }) {
        if (options.namesBelowList) {
            m_Scheduler.SetFolder(ListFolder(list));
        }
        m_Scheduler.SetBytesCounter(options.bytesRead);
    }

    bool Wanted() const override { return Open(); }

    // Takes the next entry of the list.
    void Add(ListEntry&& entry, std::optional<ListFormat>) override {
        m_Scheduler.Add(std::move(entry));
    }

    // The list waits for its writer: what was read so far is checked and
    // written before the wait, so results come as the list does.
    void BeforeWait() override {
        m_Scheduler.HandBackAll();
        m_Output.Flush();
    }

    // The list has ended (or broken off): the rest is checked and written.
    void EndList() override {
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

    std::size_t entries() const override { return m_Scheduler.entries(); }

private:
    void Damaged(const ListEntry& entry) override {
        ++m_Tally.damaged;
        if (!m_Options.status) {
            Result(entry, ListStatus::Improper);
        }
    }

    // One result: its text line or JSON object, or the row handed to the
    // sink. What differs is named in text when the entry carries more than
    // one check.
    void Result(const ListEntry& entry, ListStatus status,
                std::span<const std::string_view> differs = {}, const FileFacts* facts = nullptr) {
        ResultRow row;
        row.name = entry.name;
        row.shown = entry.shown;
        row.status = status;
        row.differs = differs;
        row.differsInText = entry.report || ChecksOf(entry) > 1;
        row.facts = facts;
        m_Writer.Write(row);
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
        const std::optional<LocalTime> time = m_Times.Of(entry, facts);
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

    const std::string& m_List;
    const ListCheckOptions& m_Options;
    ResultStream& m_Output;
    std::FILE* m_Err;
    ResultSink* m_Sink;
    Tally& m_Tally;
    ResultWriter m_Writer;

    EntryTimes m_Times;
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
    std::optional<ListChecker> checker;
    const ListsRead read = ReadLists(
        lists, options.format,
        [&](const std::string& list) -> ListConsumer& {
            return checker.emplace(list, options, output, err, sink, tally);
        },
        [&](const std::string& text) {
            if (!options.status) {
                Tell(err, sink, text);
            }
        });
    tally.unusableList = read.unusable;
    tally.badLines = read.badLines;
    tally.badReportLines = read.badReportLines;
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
