#include "report/small_file_lanes.h"

#include "digest/crc32.h"
#include "platform/os/file.h"
#include "platform/os/file_query.h"

#include <algorithm>
#include <stdexcept>

namespace varnel {

namespace {

// SHA-1 in 8 lanes is no faster than one stream with the processor's SHA
// instructions (about 1.6 GB/s each here); in 16 lanes it is twice as fast.
bool Sha1PaysInLanes(LaneKind kind) {
    return kind == LaneKind::Avx512;
}

} // namespace

std::unique_ptr<SmallFileLanes> SmallFileLanes::Make(const DigestSelection& wanted) {
    const std::optional<LaneKind> kind = BestLaneKind();
    // Any digest besides the three is computed the usual way only.
    const DigestSelection known{wanted.crc32, wanted.sha1, wanted.md5};
    if (!kind || !(known == wanted) || !(wanted.md5 || (wanted.sha1 && Sha1PaysInLanes(*kind)))) {
        return nullptr;
    }
    return std::make_unique<SmallFileLanes>(*kind, wanted);
}

SmallFileLanes::SmallFileLanes(LaneKind kind, const DigestSelection& wanted)
    : m_Wanted(wanted), m_Sha1InLanes(wanted.sha1 && Sha1PaysInLanes(kind)),
      m_Lanes(kind, {.sha1 = m_Sha1InLanes, .md5 = wanted.md5}), m_Pending(LaneCount(kind)) {}

bool SmallFileLanes::Start(std::size_t tag, const std::filesystem::path& path,
                           const ReportOptions& options, const VersionQuery& versionQuery,
                           const FactsGatherer::Control& control) {
    const auto free = std::find_if(m_Pending.begin(), m_Pending.end(),
                                   [](const Pending& pending) { return !pending.busy; });
    if (free == m_Pending.end()) {
        throw std::logic_error("no free lane");
    }
    if (!control.readHidden && platform::IsHiddenName(path)) {
        return false;
    }
    std::optional<platform::FileError> openError;
    platform::ReadOnlyFile file = platform::ReadOnlyFile::Open(path, openError);
    if (!file.isOpen()) {
        return false;
    }
    const platform::FileStamp opened = file.OpenedStamp();
    // An empty size may hide bytes (files of the system's own that tell no
    // size): such a file is read to its end the usual way.
    if (opened.size == 0 || opened.size > kMaxSize) {
        return false;
    }
    Pending& pending = *free;
    pending.bytes.resize(static_cast<std::size_t>(opened.size));
    try {
        // The bytes are in memory once read: a change after the stamp below
        // cannot reach the digests.
        if (file.Read(pending.bytes) != pending.bytes.size() || !(file.Stamp() == opened)) {
            return false;
        }
    } catch (const platform::FileError&) {
        return false;
    }
    file.Close();

    FileFacts& facts = pending.facts;
    facts = FileFacts{};
    if (options.ShowVersion && versionQuery) {
        try {
            facts.version = versionQuery(path);
        } catch (...) {
            facts.version.clear(); // a failing query leaves the version line out
        }
    }
    facts.size = opened.size;
    facts.modified = std::chrono::sys_seconds(std::chrono::seconds(opened.modifiedSeconds));
    if (control.bytesKnown != nullptr) {
        control.bytesKnown->fetch_add(opened.size, std::memory_order_relaxed);
    }
    if (control.bytesRead != nullptr) {
        control.bytesRead->fetch_add(opened.size, std::memory_order_relaxed);
    }
    if (m_Wanted.crc32) {
        facts.crc32 = Crc32(pending.bytes);
    }
    if (m_Wanted.sha1 && !m_Sha1InLanes) {
        if (m_Sha1) {
            m_Sha1->Restart();
        } else {
            m_Sha1.emplace(CALG_SHA1);
        }
        m_Sha1->Update(pending.bytes);
        facts.sha1 = m_Sha1->FinalHex();
        if (facts.sha1.empty()) {
            return false; // the digest service failed: let the usual way say so
        }
    }
    pending.tag = tag;
    pending.busy = true;
    m_Lanes.Start(pending.bytes, static_cast<std::size_t>(free - m_Pending.begin()));
    return true;
}

void SmallFileLanes::Run(std::vector<Done>& done) {
    m_Done.clear();
    m_Lanes.Run(m_Done);
    for (const LaneDone& lane : m_Done) {
        Pending& pending = m_Pending[lane.tag];
        if (m_Sha1InLanes) {
            pending.facts.sha1 = HexUpper(lane.sha1);
        }
        if (m_Wanted.md5) {
            pending.facts.md5 = HexUpper(lane.md5);
        }
        done.push_back({pending.tag, std::move(pending.facts)});
        pending.busy = false;
    }
}

} // namespace varnel
