#include "report/batch_report.h"

#include "platform/os/path_text.h"

#include <algorithm>
#include <utility>

namespace varnel {

namespace {

std::vector<RunItem> FileItems(const std::vector<std::filesystem::path>& paths) {
    std::vector<RunItem> items;
    items.reserve(paths.size());
    for (const std::filesystem::path& path : paths) {
        items.push_back(RunItem::File(platform::PathText(path)));
    }
    return items;
}

} // namespace

BatchReporter::BatchReporter(std::vector<std::filesystem::path> paths, ReportOptions options,
                             VersionQuery versionQuery)
    : BatchReporter(std::move(paths), options, std::move(versionQuery), Limits{}) {}

BatchReporter::BatchReporter(std::vector<std::filesystem::path> paths, ReportOptions options,
                             VersionQuery versionQuery, Limits limits)
    : m_Paths(std::move(paths)) {
    ReportRun::Settings settings;
    settings.options = options;
    settings.versionQuery = std::move(versionQuery);
    settings.workers = std::max(limits.workers, 1u);
    settings.maxFilesAhead = std::max<std::size_t>(limits.maxFilesAhead, 1);
    settings.maxBytesAhead = limits.maxBytesAhead;
    m_Run = std::make_unique<ReportRun>(FileItems(m_Paths), std::move(settings));
}

BatchReporter::~BatchReporter() = default;

void BatchReporter::Stop() {
    m_Stopped.store(true);
    m_Run->Stop();
}

std::optional<FileFacts> BatchReporter::Next() {
    if (m_Stopped.load()) {
        return std::nullopt;
    }
    if (m_NextReady >= m_Ready.size()) {
        m_Ready.clear();
        m_NextReady = 0;
        // One at a time: a block taken from the run counts as consumed, and
        // the look-ahead bound counts from there.
        if (!m_Run->WaitReady(m_Ready, 1)) {
            return std::nullopt;
        }
    }
    return std::move(m_Ready[m_NextReady++].facts);
}

} // namespace varnel
