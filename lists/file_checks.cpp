#include "lists/file_checks.h"

#include "lists/check_scheduler.h"
#include "lists/entry_check.h"
#include "lists/list_loop.h"
#include "lists/list_names.h"
#include "lists/program_messages.h"
#include "lists/result_stream.h"
#include "lists/sidecar_lists.h"

#include "formats/pe_version.h"
#include "platform/os/input_stream.h"
#include "report/report.h"
#include "report/stream_facts.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <system_error>

namespace varnel {

namespace {

std::string Plural(std::size_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// Reads the files of entries given one by one, in order, and hands each back
// with its facts: on the scheduler's workers, or standard input ("-") here
// in its turn.
class EntryRun final : public CheckResults {
public:
    using Done = std::function<void(const ListEntry&, const FileFacts&)>;

    EntryRun(Done done, ResultStream& output, const ListCheckOptions& options, ResultSink* sink)
        : m_Done(std::move(done)), m_Output(output), m_Sink(sink),
          m_Scheduler(*this, [](const std::filesystem::path& path) {
              return formats::GetFileVersion(path);
          }) {
        m_Scheduler.SetBytesCounter(options.bytesRead);
    }

    void Add(ListEntry&& entry) {
        if (entry.name != "-") {
            m_Scheduler.Add(std::move(entry));
            return;
        }
        // Standard input has no name to hand a worker: what came before it
        // is written first, then it is read here.
        m_Scheduler.HandBackAll();
        DigestSelection wanted;
        for (const DigestKindInfo& row : kDigestKinds) {
            if (entry.Expected(row.kind)) {
                for (const DigestKind digest : row.standsFor) {
                    wanted.*(DigestKindOf(digest).selected) = true;
                }
            }
        }
        platform::InputStream in = platform::InputStream::StandardInput();
        const FileFacts facts =
            GatherStreamFacts([&](std::span<char> dest) { return in.Read(dest); }, wanted);
        m_Done(entry, facts);
    }

    // Every file given so far is handed back.
    void HandBackAll() { m_Scheduler.HandBackAll(); }
    void Finish() { m_Scheduler.Finish(); }

private:
    void Damaged(const ListEntry&) override {} // the entries given are whole
    void Checked(const ListEntry& entry, const FileFacts& facts) override { m_Done(entry, facts); }
    void BatchDone() override { m_Output.FlushIfFull(); }
    bool Open() const override { return !m_Output.failed() && (!m_Sink || m_Sink->Open()); }

    Done m_Done;
    ResultStream& m_Output;
    ResultSink* m_Sink;
    CheckScheduler m_Scheduler;
};

// What the files came to, for the warnings at the end and the exit status.
struct FileTally {
    std::size_t failed = 0;
    std::size_t unread = 0;
};

// The warnings --check ends with, and the exit status.
int Close(ResultStream& output, const FileTally& tally, const ListCheckOptions& options,
          std::FILE* err, std::string_view failedOne, std::string_view failedMany) {
    output.Flush();
    if (err == nullptr) {
        // Results handed to a sink: its taker counts them itself.
        return tally.failed == 0 && tally.unread == 0 ? 0 : 1;
    }
    if (output.failed()) {
        Say(err,
            "standard output: cannot write: " + std::generic_category().message(output.error()));
        return 1;
    }
    if (!options.status) {
        if (tally.unread > 0) {
            Say(err, "WARNING: " + Plural(tally.unread, "listed file could not be read",
                                          "listed files could not be read"));
        }
        if (tally.failed > 0) {
            Say(err, "WARNING: " + Plural(tally.failed, failedOne, failedMany));
        }
    }
    return tally.failed == 0 && tally.unread == 0 ? 0 : 1;
}

// An unreadable file, as --check names it: its reason on the error stream,
// then its result.
void WriteUnreadable(ResultWriter& writer, ResultStream& output, const ListEntry& entry,
                     const FileFacts& facts, const ListCheckOptions& options, std::FILE* err,
                     const std::function<void(std::string&)>& addFields) {
    if (options.status) {
        return;
    }
    if (err != nullptr) {
        output.Flush();
        Say(err, entry.shown + ": " + facts.failure);
    }
    ResultRow row;
    row.name = entry.name;
    row.shown = entry.shown;
    row.status = ListStatus::Unreadable;
    row.facts = &facts;
    writer.Write(row);
    if (options.json) {
        addFields(output.buffer());
    }
}

} // namespace

namespace {

// The checks against a digest, written to out and err or handed to sink
// (then out and err are null).
int ExpectCheck(const ExpectedDigest& digest, const std::vector<std::string>& files,
                const ListCheckOptions& options, std::FILE* out, std::FILE* err, ResultSink* sink) {
    ResultStream output(out);
    ResultWriter writer(output, options.json && sink == nullptr, sink);
    FileTally tally;
    const auto done = [&](const ListEntry& entry, const FileFacts& facts) {
        if (!facts.readOk) {
            ++tally.unread;
            WriteUnreadable(writer, output, entry, facts, options, err, [](std::string&) {});
            return;
        }
        // Every candidate kind is a check of the entry: the one that did
        // not fail is the kind the digest was.
        const std::vector<std::string_view> failed = FailedChecks(entry, facts, std::nullopt);
        std::string_view matched;
        for (const DigestKind kind : digest.kinds) {
            if (std::find(failed.begin(), failed.end(), DigestName(kind)) == failed.end()) {
                matched = DigestName(kind);
                break;
            }
        }
        if (matched.empty()) {
            ++tally.failed;
        }
        if (options.status || (options.quiet && !matched.empty())) {
            return;
        }
        ResultRow row;
        row.name = entry.name;
        row.shown = entry.shown;
        row.status = matched.empty() ? ListStatus::Failed : ListStatus::Ok;
        row.facts = &facts;
        if (options.json && sink == nullptr) {
            writer.Write(row);
            if (!matched.empty()) {
                AppendJsonField(output.buffer(), "kind", matched);
            }
            return;
        }
        // A sink hears the kind that matched as the result's one check.
        const std::string_view kinds[] = {matched};
        if (!matched.empty()) {
            row.differs = kinds;
        }
        writer.Write(row);
    };
    EntryRun run(done, output, options, sink);
    for (const std::string& file : files) {
        if (output.failed() || (sink != nullptr && !sink->Open())) {
            break;
        }
        ListEntry entry;
        entry.name = file;
        entry.shown = file == "-" ? "-" : DisplayText(file);
        for (const DigestKind kind : digest.kinds) {
            entry.Expected(kind) = digest.hex;
        }
        run.Add(std::move(entry));
    }
    run.Finish();
    return Close(output, tally, options, err, "file did NOT match the digest",
                 "files did NOT match the digest");
}

// The checks against the files' own lists, written or handed to sink as
// ExpectCheck's.
int OwnListCheck(const std::vector<std::string>& files, const ListCheckOptions& options,
                 std::FILE* out, std::FILE* err, ResultSink* sink) {
    ResultStream output(out);
    ResultWriter writer(output, options.json && sink == nullptr, sink);
    FileTally tally;
    bool someWithoutList = false;
    std::deque<std::string> lists; // the list of each entry handed to the run, in order
    EntryTimes times;
    const auto done = [&](const ListEntry& entry, const FileFacts& facts) {
        const std::string list = std::move(lists.front());
        lists.pop_front();
        const std::string shownList = sink != nullptr ? DisplayText(list) : std::string();
        const auto addList = [&](std::string& text) { AppendJsonField(text, "list", list); };
        if (!facts.readOk) {
            ++tally.unread;
            WriteUnreadable(writer, output, entry, facts, options, err, addList);
            return;
        }
        const std::vector<std::string_view> failed =
            FailedChecks(entry, facts, times.Of(entry, facts));
        if (!failed.empty()) {
            ++tally.failed;
        }
        if (options.status || (options.quiet && failed.empty())) {
            return;
        }
        ResultRow row;
        row.name = entry.name;
        row.shown = entry.shown;
        row.status = failed.empty() ? ListStatus::Ok : ListStatus::Failed;
        row.differs = failed;
        row.differsInText = entry.report || ChecksOf(entry) > 1;
        row.facts = &facts;
        if (sink != nullptr) {
            // A sink hears each result with its list, as the lists below a
            // folder give theirs; text names it beforehand, JSON after.
            row.list = list;
            row.shownList = shownList;
        }
        writer.Write(row);
        if (options.json && sink == nullptr) {
            addList(output.buffer());
        }
    };
    EntryRun run(done, output, options, sink);
    for (const std::string& file : files) {
        if (output.failed() || (sink != nullptr && !sink->Open())) {
            break;
        }
        const std::string shown = DisplayText(file);
        SidecarSearch search = FindSidecarLists(file);
        // What is said of this file's lists follows the results before it.
        run.HandBackAll();
        output.Flush();
        if (!options.status) {
            for (const std::string& problem : search.problems) {
                Tell(err, sink, problem);
            }
        }
        if (!search.chosen) {
            someWithoutList = true;
            if (!options.status) {
                output.Flush();
                std::string text = shown;
                text.append(": no checksum list beside it names it (looked for its own lists, as ")
                    .append(shown)
                    .append(".sha256, the SUMS lists and the other lists there)");
                Tell(err, sink, text);
            }
            continue;
        }
        if (!options.status) {
            std::string text = shown + ": checked against " + DisplayText(search.chosen->list) +
                               ", line " + std::to_string(search.chosen->entry.line);
            for (std::size_t i = 0; i < search.others.size(); ++i) {
                text += i == 0 ? "; also found: " : ", ";
                text += DisplayText(search.others[i].list);
            }
            output.Flush();
            Tell(err, sink, text);
        }
        ListEntry entry = std::move(search.chosen->entry);
        entry.name = file;
        entry.shown = shown;
        lists.push_back(search.chosen->list);
        run.Add(std::move(entry));
    }
    run.Finish();
    const int status = Close(output, tally, options, err, "computed checksum did NOT match",
                             "computed checksums did NOT match");
    return someWithoutList ? 2 : status;
}

} // namespace

int RunExpectCheck(const ExpectedDigest& digest, const std::vector<std::string>& files,
                   const ListCheckOptions& options, std::FILE* out, std::FILE* err) {
    return ExpectCheck(digest, files, options, out, err, nullptr);
}

int RunExpectCheck(const ExpectedDigest& digest, const std::vector<std::string>& files,
                   const ListCheckOptions& options, ResultSink& sink) {
    return ExpectCheck(digest, files, options, nullptr, nullptr, &sink);
}

int RunOwnListCheck(const std::vector<std::string>& files, const ListCheckOptions& options,
                    std::FILE* out, std::FILE* err) {
    return OwnListCheck(files, options, out, err, nullptr);
}

int RunOwnListCheck(const std::vector<std::string>& files, const ListCheckOptions& options,
                    ResultSink& sink) {
    return OwnListCheck(files, options, nullptr, nullptr, &sink);
}

} // namespace varnel
