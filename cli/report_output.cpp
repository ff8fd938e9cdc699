#include "cli/report_output.h"

#include "lists/program_messages.h"
#include "lists/result_stream.h"
#include "platform/os/file.h"
#include "platform/os/input_stream.h"
#include "report/folder_walk.h"
#include "report/report.h"
#include "report/report_run.h"
#include "report/report_services.h"
#include "report/run_progress.h"
#include "report/script_formats.h"
#include "report/stream_facts.h"

#include <cerrno>
#include <chrono>
#include <string>
#include <system_error>
#include <vector>

namespace varnel {

namespace {

// One line of progress on a terminal, written over in place and cleared
// before anything else is written to the same stream.
class ProgressLine {
public:
    explicit ProgressLine(std::FILE* stream) : m_Stream(stream) {}

    void Show(const std::string& text) {
        const std::string line = "\r" + text + "\x1b[K";
        std::fwrite(line.data(), 1, line.size(), m_Stream);
        std::fflush(m_Stream);
        m_Shown = true;
    }

    void Clear() {
        if (m_Shown) {
            std::fputs("\r\x1b[K", m_Stream);
            std::fflush(m_Stream);
            m_Shown = false;
        }
    }

private:
    std::FILE* m_Stream;
    bool m_Shown = false;
};

void Complain(std::FILE* err, std::string_view path, std::string_view reason) {
    std::string line(kReportProgram);
    line += ": ";
    line += DisplayText(path);
    line += ": ";
    line += reason;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), err);
}

// The output of a report: blocks, checksum lines or records for scripts, as
// the command's format says, written in large pieces (records for scripts as
// each batch of files is ready), and the reasons for what could not be read
// on standard error.
class ReportOutput {
public:
    ReportOutput(const ReportCommandLine& command, std::FILE* out, std::FILE* err)
        : m_Err(err), m_Format(command.format.value_or(ListFormat::Report)),
          m_ShowProgress(
              command.progress.value_or(err == stderr && platform::StandardErrorIsTerminal())),
          m_Writer(out), m_Progress(err) {
        const ReportOptions& options = command.options;
        if (command.scriptFormat) {
            const BsdTags& tags = command.bsdTags;
            m_Digests = ReportDigestSelection(options);
            m_Digests.sha256 = tags.sha256;
            m_Digests.sha512 = tags.sha512;
            m_Digests.blake2b = tags.blake2b;
            m_Script.emplace(*command.scriptFormat, ScriptSelection{options, m_Digests});
            m_Script->AppendStart(m_Writer.buffer());
        } else if (m_Format == ListFormat::Report) {
            m_Digests = ReportDigestSelection(options);
        } else {
            m_Digests = ListDigests(m_Format, options, command.bsdTags);
        }
    }

    ListFormat format() const { return m_Format; }
    // The digests each file is read for.
    const DigestSelection& digests() const { return m_Digests; }
    // False once standard output could not be written.
    bool ok() const { return m_Writer.error() == 0; }

    // One file's block (blockText, for report blocks), list lines or record.
    void Add(const std::string& path, const FileFacts& facts, std::string_view blockText) {
        std::string& buffer = m_Writer.buffer();
        if (m_Script) {
            m_Script->AppendRecord(buffer, path, facts);
        } else {
            buffer += blockText;
        }
        if (!facts.readOk) {
            ComplainAbout(path, facts.failure);
        } else if (!m_Script && m_Format != ListFormat::Report &&
                   !AppendListLines(buffer, m_Format, path, facts, m_Digests)) {
            ComplainAbout(path, CannotHoldName(m_Format));
        }
    }

    // Writes what was added when there is enough of it; records for scripts
    // at once, for scripts that read them as they come.
    void Write() {
        if (m_Script) {
            m_Writer.Flush();
        } else {
            m_Writer.FlushIfFull();
        }
    }

    // Writes the run's files in walk order until it ends, or stops it when
    // standard output cannot be written.
    void Drain(ReportRun& run) {
        std::vector<RunBlock> ready;
        auto nextProgress = std::chrono::steady_clock::now() + kProgressDelay;
        while (run.WaitReady(ready, static_cast<std::size_t>(-1), kProgressInterval)) {
            for (const FolderWalkProblem& problem : run.TakeProblems()) {
                ComplainAbout(problem.folder, DescribeProblem(problem));
            }
            for (RunBlock& block : ready) {
                Add(block.path, block.facts, block.text);
            }
            ready.clear();
            Write();
            if (m_Writer.error() != 0) {
                run.Stop();
                break;
            }
            if (m_ShowProgress && std::chrono::steady_clock::now() >= nextProgress) {
                m_Progress.Show(ProgressTextEnglish(FiguresOf(run.Progress())));
                nextProgress = std::chrono::steady_clock::now() + kProgressInterval;
            }
        }
        for (const FolderWalkProblem& problem : run.TakeProblems()) {
            ComplainAbout(problem.folder, DescribeProblem(problem));
        }
        m_Progress.Clear();
    }

    // The exit status, once everything is written.
    int Finish() {
        m_Writer.Flush();
        if (m_Writer.error() != 0) {
            Complain(m_Err, "standard output",
                     "cannot write: " + std::generic_category().message(m_Writer.error()));
            return 1;
        }
        return m_AllRead ? 0 : 1;
    }

private:
    void ComplainAbout(std::string_view path, std::string_view reason) {
        m_Progress.Clear();
        Complain(m_Err, path, reason);
        m_AllRead = false;
    }

    std::FILE* m_Err;
    ListFormat m_Format;
    bool m_ShowProgress;
    DigestSelection m_Digests;
    std::optional<ScriptWriter> m_Script;
    ResultStream m_Writer;
    ProgressLine m_Progress;
    bool m_AllRead = true;
};

} // namespace

int WriteReport(const ReportCommandLine& command, LanguageMode language, std::FILE* out,
                std::FILE* err) {
    const ReportOptions& options = command.options;
    ReportOutput output(command, out, err);

    ReportRun::Settings settings;
    settings.options = options;
    settings.walkRules.oneFileSystem = command.oneFileSystem;
    // A report needs its blocks; a checksum list and a script's records need
    // only their digests (and a record its version when asked).
    const bool blocks = output.format() == ListFormat::Report && !command.scriptFormat;
    if (blocks || (command.scriptFormat && options.ShowVersion)) {
        settings.versionQuery = MakeReportServices(language).fileVersion;
        settings.versionOfBytes = MakeReportServices(language).fileVersionOfBytes;
    }
    if (blocks) {
        settings.services = [language] { return MakeReportServices(language); };
    } else {
        settings.digests = output.digests();
    }

    // Each path in order: a folder stands for the files below it, anything
    // else for its own block, and "-" for standard input. The paths between
    // two "-" make one run, whose walk and reading run on its threads while
    // this thread writes the blocks in walk order.
    const std::vector<std::string>& paths = command.paths;
    for (std::size_t first = 0; first < paths.size() && output.ok();) {
        if (paths[first] == "-") {
            platform::InputStream input = platform::InputStream::StandardInput();
            const FileFacts facts = GatherStreamFacts(
                [&input](std::span<char> dest) { return input.Read(dest); }, output.digests());
            std::string text;
            if (blocks) {
                AppendReportBlock(text, paths[first], facts, options, MakeReportServices(language));
            }
            output.Add(paths[first], facts, text);
            output.Write();
            ++first;
            continue;
        }
        std::vector<RunItem> items;
        for (; first < paths.size() && paths[first] != "-"; ++first) {
            items.push_back({paths[first], RunItem::Kind::FolderElseFile});
        }
        ReportRun run(std::move(items), settings);
        output.Drain(run);
    }
    return output.Finish();
}

} // namespace varnel
