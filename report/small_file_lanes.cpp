#include "report/small_file_lanes.h"

#include "digest/crc32.h"
#include "formats/hex.h"
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

SmallFileLanes::SmallFileLanes(LaneKind kind, const DigestSelection& wanted, bool batchedReads)
    : m_Wanted(wanted), m_Sha1InLanes(wanted.sha1 && Sha1PaysInLanes(kind)),
      m_Lanes(kind, {.sha1 = m_Sha1InLanes, .md5 = wanted.md5}), m_Pending(LaneCount(kind)),
      m_Reader(batchedReads) {}

void SmallFileLanes::Start(std::span<File> files, const ReportOptions& options,
                           const VersionQuery& versionQuery, const FactsGatherer::Control& control,
                           const VersionOfBytes& versionOfBytes) {
    if (files.size() > FreeLanes() || files.size() > platform::SmallFileReader::kMaxBatch) {
        throw std::logic_error("more files than free lanes");
    }
    // Each file to read gets a free slot of its own; hidden names that are
    // not to be read are left to the usual way, which says so.
    m_Reads.clear();
    m_ReadSlot.clear();
    std::size_t slot = 0;
    for (File& file : files) {
        file.taken = false;
        if (!control.readHidden && platform::IsHiddenName(file.path)) {
            continue;
        }
        while (m_Pending[slot].busy) {
            ++slot;
        }
        platform::SmallFileRead& read = m_Reads.emplace_back();
        read.path = &file.path;
        read.dest = &m_Pending[slot].bytes;
        read.maxSize = kMaxSize;
        read.listedRegular = file.listedRegular;
        m_ReadSlot.push_back(slot++);
    }
    m_Reader.ReadAll(m_Reads);

    std::size_t next = 0;
    for (File& file : files) {
        if (next == m_Reads.size() || m_Reads[next].path != &file.path) {
            continue; // not read
        }
        const platform::SmallFileRead& read = m_Reads[next];
        Pending& pending = m_Pending[m_ReadSlot[next++]];
        if (!read.whole) {
            continue;
        }
        FileFacts& facts = pending.facts;
        facts = FileFacts{};
        if (options.ShowVersion && (versionOfBytes || versionQuery)) {
            try {
                facts.version =
                    versionOfBytes ? versionOfBytes(pending.bytes) : versionQuery(file.path);
            } catch (...) {
                facts.version.clear(); // a failing query leaves the version line out
            }
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
                continue; // the digest service failed: the usual way says so
            }
        }
        facts.size = read.stamp.size;
        facts.modified = std::chrono::sys_seconds(std::chrono::seconds(read.stamp.modifiedSeconds));
        facts.modifiedNanoseconds = read.stamp.modifiedNanoseconds;
        if (control.bytesKnown != nullptr) {
            control.bytesKnown->fetch_add(read.stamp.size, std::memory_order_relaxed);
        }
        if (control.filesSized != nullptr) {
            control.filesSized->fetch_add(1, std::memory_order_relaxed);
        }
        if (control.bytesRead != nullptr) {
            control.bytesRead->fetch_add(read.stamp.size, std::memory_order_relaxed);
        }
        if (m_Wanted.crc32) {
            facts.crc32 = Crc32(pending.bytes);
        }
        pending.tag = file.tag;
        pending.busy = true;
        m_Lanes.Start(pending.bytes, static_cast<std::size_t>(&pending - m_Pending.data()));
        file.taken = true;
    }
}

void SmallFileLanes::Run(std::vector<Done>& done) {
    m_Done.clear();
    m_Lanes.Run(m_Done);
    for (const LaneDone& lane : m_Done) {
        Pending& pending = m_Pending[lane.tag];
        if (m_Sha1InLanes) {
            pending.facts.sha1 = platform::HexUpper(lane.sha1);
        }
        if (m_Wanted.md5) {
            pending.facts.md5 = platform::HexUpper(lane.md5);
        }
        done.push_back({pending.tag, std::move(pending.facts)});
        pending.busy = false;
    }
}

} // namespace varnel
