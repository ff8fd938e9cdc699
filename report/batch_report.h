#pragma once

// Ordered, pipelined gathering of facts for a list of files: the engine of a
// folder report. Worker threads gather the facts of the files ahead of the
// consumer; the consumer takes them strictly in list order, one at a time,
// and formats each block itself (AppendReportBlock) on its own thread, where
// the conversion and time services live. The consumer may stop at any moment.
//
//     BatchReporter batch(paths, options, services.fileVersion);
//     for (std::size_t i = 0; auto facts = batch.Next(); ++i) {
//         AppendReportBlock(text, display(paths[i]), *facts, options, services);
//         if (stopRequested) { batch.Stop(); break; }
//     }
//
// Look-ahead is bounded (Limits), so memory stays flat on huge trees and a
// stop wastes little work.

#include "report/file_facts.h"
#include "report/report_run.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace varnel {

// A ReportRun over a fixed list of files that hands out facts alone, for a
// consumer that formats the blocks itself.
class BatchReporter {
public:
    struct Limits {
        std::size_t maxFilesAhead = 64;            // gathered but not yet taken
        std::uint64_t maxBytesAhead = 64ull << 20; // their sizes together
        unsigned workers = 2;                      // gathering threads (at least 1)
    };

    // Starts the workers at once. versionQuery must be thread-safe.
    BatchReporter(std::vector<std::filesystem::path> paths, ReportOptions options,
                  VersionQuery versionQuery);
    BatchReporter(std::vector<std::filesystem::path> paths, ReportOptions options,
                  VersionQuery versionQuery, Limits limits);

    // Stops and joins the workers (a file being read is abandoned part way).
    ~BatchReporter();

    BatchReporter(const BatchReporter&) = delete;
    BatchReporter& operator=(const BatchReporter&) = delete;

    // The facts of the next file in list order, waiting while it is being
    // gathered. Nothing after the last file and after Stop().
    std::optional<FileFacts> Next();

    // Ends the run: Next() returns nothing from now on, the workers take no
    // further file and abandon the one they read. Callable from any thread.
    void Stop();

    std::size_t size() const noexcept { return m_Paths.size(); }
    const std::filesystem::path& path(std::size_t index) const { return m_Paths[index]; }
    const std::vector<std::filesystem::path>& paths() const noexcept { return m_Paths; }

private:
    const std::vector<std::filesystem::path> m_Paths;
    std::unique_ptr<ReportRun> m_Run;
    std::vector<RunBlock> m_Ready; // taken from the run, not yet handed out
    std::size_t m_NextReady = 0;
    std::atomic<bool> m_Stopped{false};
};

} // namespace varnel
