#include "lists/check_scheduler.h"

namespace varnel {

namespace {

// Files handed to the engine at a time, and the entries read ahead of the
// results written: small enough that the workers start at once and memory
// stays flat whatever the list's length, large enough that the workers
// never run dry while the next lines are read.
constexpr std::size_t kBatch = 256;
constexpr std::size_t kWindow = 8 * kBatch;

// Finished files the engine may hold for the checker.
constexpr std::size_t kFilesAhead = 4 * kBatch;

} // namespace

void CheckScheduler::Needs::Add(const ListEntry& entry) {
    const auto has = [&](DigestKind kind) { return entry.Expected(kind).has_value(); };
    for (const DigestKindInfo& row : kDigestKinds) {
        if (has(row.kind)) {
            for (const DigestKind digest : row.standsFor) {
                digests.*(DigestKindOf(digest).selected) = true;
            }
        }
    }
    version = version || entry.version.has_value();
}

bool CheckScheduler::Needs::Covers(const Needs& other) const {
    const auto covers = [](bool mine, bool theirs) { return mine || !theirs; };
    for (const DigestKindInfo& row : kDigestKinds) {
        if (row.selected != nullptr &&
            !covers(digests.*(row.selected), other.digests.*(row.selected))) {
            return false;
        }
    }
    return covers(version, other.version);
}

void CheckScheduler::Needs::Widen(const Needs& other) {
    for (const DigestKindInfo& row : kDigestKinds) {
        if (row.selected != nullptr) {
            digests.*(row.selected) = digests.*(row.selected) || other.digests.*(row.selected);
        }
    }
    version = version || other.version;
}

std::string ListFolder(std::string_view list) {
    const std::size_t slash = list.rfind('/');
    if (list == "-" || slash == std::string_view::npos) {
        return std::string();
    }
    return slash == 0 ? std::string("/") : std::string(list.substr(0, slash));
}

std::string EntryPath(std::string_view folder, std::string_view name) {
    std::string path;
    if (!folder.empty() && !name.starts_with('/')) {
        path = folder;
        if (!folder.ends_with('/')) {
            path += '/';
        }
    }
    path += name;
    return path;
}

CheckScheduler::CheckScheduler(CheckResults& results, VersionQuery versionQuery)
    : m_Results(results), m_VersionQuery(std::move(versionQuery)) {}

CheckScheduler::~CheckScheduler() = default;

void CheckScheduler::Add(ListEntry&& entry) {
    ++m_Entries;
    if (!entry.damaged) {
        Needs needs;
        needs.Add(entry);
        if (!m_Run || !m_Needs.Covers(needs)) {
            // A wider run takes over from here: the narrower one is
            // finished first, so results keep the list's order.
            if (m_Run) {
                Finish();
            }
            needs.Widen(m_Needs);
            StartRun(needs);
        }
        m_Batch.push_back(m_Folder.empty() ? entry.name : EntryPath(m_Folder, entry.name));
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

void CheckScheduler::HandBackAll() {
    HandOut();
    Drain(0);
}

void CheckScheduler::Finish() {
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

void CheckScheduler::HandOut() {
    if (!m_Batch.empty() && m_Run) {
        m_Run->AddFiles(std::move(m_Batch));
    }
    m_Batch.clear();
}

void CheckScheduler::StartRun(const Needs& needs) {
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
    settings.versionQuery = m_VersionQuery;
    settings.bytesRead = m_BytesRead;
    m_Run = std::make_unique<ReportRun>(std::move(settings));
}

// Hands back the damaged entries at the front of the window: they have no
// file in the run.
void CheckScheduler::HandBackDamagedFront() {
    while (!m_Window.empty() && m_Window.front().damaged) {
        m_Results.Damaged(m_Window.front());
        m_Window.pop_front();
    }
}

// Hands back the entries that are ready, in list order; with keep, waits
// for more until at most keep entries are left in the window. Every entry
// of the window that is not damaged has been handed out.
void CheckScheduler::Drain(std::optional<std::size_t> keep) {
    std::vector<RunBlock> ready;
    for (;;) {
        HandBackDamagedFront();
        if (m_Window.empty() || !m_Run || !m_Results.Open()) {
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
            HandBackDamagedFront();
            m_Results.Checked(m_Window.front(), block.facts);
            m_Window.pop_front();
        }
        m_Results.BatchDone();
        if (!m_Results.Open()) {
            m_Run->Stop();
            return;
        }
    }
}

} // namespace varnel
