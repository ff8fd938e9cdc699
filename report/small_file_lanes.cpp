#include "report/small_file_lanes.h"

#include "digest/cpu_paths.h"
#include "digest/crc32.h"
#include "digest/sha_ni.h"
#include "formats/hex.h"
#include "platform/os/file_query.h"

#include <algorithm>
#include <stdexcept>

namespace varnel {

namespace {

// One digest of the OpenSSL service over bytes, upper-case hex; empty when
// the service fails.
std::string ServiceHex(std::optional<DigestContext>& context, std::int32_t algorithm,
                       std::span<const std::uint8_t> bytes) {
    if (context) {
        context->Restart();
    } else {
        context.emplace(algorithm);
    }
    context->Update(bytes);
    return context->FinalHex();
}

} // namespace

std::unique_ptr<SmallFileLanes> SmallFileLanes::Make(const DigestSelection& wanted) {
    const std::optional<LaneKind> kind = BestLaneKind();
    if (!kind) {
        return nullptr;
    }
    return std::make_unique<SmallFileLanes>(*kind, wanted);
}

SmallFileLanes::SmallFileLanes(LaneKind kind, const DigestSelection& wanted, bool batchedReads)
    : m_Wanted(wanted), m_Sha1InLanes(wanted.sha1 && Sha1PaysInLanes(kind)),
      m_LanesUsed(wanted.md5 || m_Sha1InLanes),
      m_Lanes(kind, {.sha1 = m_Sha1InLanes, .md5 = wanted.md5}),
      // Without lanes a batch is as many files as one batched read takes.
      m_Pending(m_LanesUsed ? LaneCount(kind) : platform::SmallFileReader::kMaxBatch),
      m_ShaExtensions(ShaExtensionsAvailable()), m_Reader(batchedReads) {
    m_Others = wanted;
    m_Others.crc32 = false;
    m_Others.sha1 = false;
    m_Others.md5 = false;
    m_Others.sha256 = wanted.sha256 && !m_ShaExtensions;
}

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
        // SHA-1 outside the lanes and SHA-256: with the SHA instructions
        // after the batch is read (two files at a time), else here through
        // the digest service, whose failure the usual way reports, as it
        // does a failure of any other digest.
        if (!m_ShaExtensions && m_Wanted.sha1 && !m_Sha1InLanes) {
            facts.sha1 = ServiceHex(m_Sha1, CALG_SHA1, pending.bytes);
            if (facts.sha1.empty()) {
                continue;
            }
        }
        if (!(m_Others == DigestSelection{})) {
            HashResult hashed;
            if (!m_OthersHasher.HashOthers(pending.bytes, m_Others, hashed)) {
                continue;
            }
            TakeOtherDigests(hashed, facts);
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
        const auto pendingSlot = static_cast<std::size_t>(&pending - m_Pending.data());
        if (m_LanesUsed) {
            m_Lanes.Start(pending.bytes, pendingSlot);
        } else {
            m_Ready.push_back(pendingSlot);
        }
        m_Started.push_back(&pending);
        file.taken = true;
    }
    if (m_ShaExtensions) {
        HashStartedWithShaExtensions();
    }
    m_Started.clear();
}

void SmallFileLanes::HashStartedWithShaExtensions() {
    if (m_Wanted.sha1 && !m_Sha1InLanes) {
        std::array<std::uint8_t, 20> first{};
        std::array<std::uint8_t, 20> second{};
        std::size_t i = 0;
        for (; i + 1 < m_Started.size(); i += 2) {
            Sha1PairWithShaExtensions(m_Started[i]->bytes, m_Started[i + 1]->bytes, first, second);
            m_Started[i]->facts.sha1 = formats::HexUpper(first);
            m_Started[i + 1]->facts.sha1 = formats::HexUpper(second);
        }
        if (i < m_Started.size()) {
            m_Started[i]->facts.sha1 =
                formats::HexUpper(Sha1WithShaExtensions(m_Started[i]->bytes));
        }
    }
    if (m_Wanted.sha256) {
        std::array<std::uint8_t, 32> first{};
        std::array<std::uint8_t, 32> second{};
        std::size_t i = 0;
        for (; i + 1 < m_Started.size(); i += 2) {
            Sha256PairWithShaExtensions(m_Started[i]->bytes, m_Started[i + 1]->bytes, first,
                                        second);
            m_Started[i]->facts.sha256 = formats::HexUpper(first);
            m_Started[i + 1]->facts.sha256 = formats::HexUpper(second);
        }
        if (i < m_Started.size()) {
            m_Started[i]->facts.sha256 =
                formats::HexUpper(Sha256WithShaExtensions(m_Started[i]->bytes));
        }
    }
}

void SmallFileLanes::Run(std::vector<Done>& done) {
    if (!m_LanesUsed) {
        for (const std::size_t slot : m_Ready) {
            Pending& pending = m_Pending[slot];
            done.push_back({pending.tag, std::move(pending.facts)});
            pending.busy = false;
        }
        m_Ready.clear();
        return;
    }
    m_Done.clear();
    m_Lanes.Run(m_Done);
    for (const LaneDone& lane : m_Done) {
        Pending& pending = m_Pending[lane.tag];
        if (m_Sha1InLanes) {
            pending.facts.sha1 = formats::HexUpper(lane.sha1);
        }
        if (m_Wanted.md5) {
            pending.facts.md5 = formats::HexUpper(lane.md5);
        }
        done.push_back({pending.tag, std::move(pending.facts)});
        pending.busy = false;
    }
}

} // namespace varnel
