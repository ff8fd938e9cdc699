#pragma once

// Small files hashed several at once: each file is read whole into memory
// and becomes one message in the vector lanes (digest/message_lanes.h), and a
// lane that finishes is refilled with the next file. Only plain cases take
// this way: a present, regular, non-empty file of at most kMaxSize bytes
// that reads back exactly as it was opened. Everything else (a missing,
// hidden, empty or large file, a failing or changing read) is left to
// FactsGatherer, which reads it the usual way and says what became of it,
// so the facts of every file are what FactsGatherer::Gather gives.
//
//     auto lanes = SmallFileLanes::Make(wanted);   // nothing without vector lanes
//     lanes->Start(files, options, query, control); // files[i].taken: in a lane
//     lanes->Run(done);                             // at least one file finished
//
// The files of one Start are read as a batch (platform::SmallFileReader).

#include "digest/message_lanes.h"
#include "platform/os/small_file_reader.h"
#include "report/file_facts.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace varnel {

class SmallFileLanes {
public:
    // Files up to this size are read whole. Past it a file's bytes would
    // wait in memory longer than they take to stream, and the lanes of one
    // worker would hold too much.
    static constexpr std::uint64_t kMaxSize = 256u << 10;

    // Lanes for the digests wanted, or nothing without a vector unit. MD5,
    // and SHA-1 where it pays, go into the lanes; SHA-1 and SHA-256 otherwise
    // beside them, two files at a time with the SHA instructions where the
    // processor has them; every other digest beside them one file at a time.
    // When no digest goes into the lanes, the files still gain the batched
    // reads: each is hashed as soon as it is read.
    static std::unique_ptr<SmallFileLanes> Make(const DigestSelection& wanted);

    // batchedReads = false reads every file with plain calls of its own.
    SmallFileLanes(LaneKind kind, const DigestSelection& wanted, bool batchedReads = true);

    unsigned FreeLanes() const noexcept {
        return m_LanesUsed ? m_Lanes.FreeLanes()
                           : static_cast<unsigned>(m_Pending.size() - m_Ready.size());
    }
    bool Busy() const noexcept { return m_LanesUsed ? m_Lanes.Busy() : !m_Ready.empty(); }

    struct File {
        std::size_t tag = 0;
        std::filesystem::path path;
        // The folder's listing said the entry is a regular file: it is
        // opened without a look-up first.
        bool listedRegular = false;
        bool taken = false; // out: in a lane; else gather it the usual way
    };
    // Reads the files (no more than there are free lanes) and puts each
    // plain small one into a lane. Those not taken are neither counted nor
    // kept.
    // versionOfBytes, when set, gives the version from the bytes read
    // instead of versionQuery.
    void Start(std::span<File> files, const ReportOptions& options,
               const VersionQuery& versionQuery, const FactsGatherer::Control& control,
               const VersionOfBytes& versionOfBytes = {});

    struct Done {
        std::size_t tag = 0;
        FileFacts facts;
    };
    // Hashes until at least one file is finished and appends every finished
    // one to done.
    void Run(std::vector<Done>& done);

private:
    struct Pending {
        std::size_t tag = 0;
        FileFacts facts;
        platform::ReadBuffer bytes;
        bool busy = false;
    };

    DigestSelection m_Wanted;
    bool m_Sha1InLanes = false;
    bool m_LanesUsed = false; // MD5 or SHA-1 goes into the lanes
    // The digests besides CRC-32, SHA-1, MD5 (and SHA-256 with the SHA
    // instructions), hashed from the bytes read, one file at a time.
    DigestSelection m_Others;
    FileHasher m_OthersHasher{false};
    std::vector<std::size_t> m_Ready; // without lanes: the slots hashed, in order
    MessageLanes m_Lanes;
    std::vector<Pending> m_Pending; // one per lane, found by the lane's tag
    std::vector<LaneDone> m_Done;
    // SHA-1 outside the lanes and SHA-256 of the files just started, with the
    // SHA instructions.
    void HashStartedWithShaExtensions();

    bool m_ShaExtensions = false;    // the processor has the SHA instructions
    std::vector<Pending*> m_Started; // the files put into lanes by this Start
    // SHA-1 when lanes do not pay, without the SHA instructions.
    std::optional<DigestContext> m_Sha1;
    platform::SmallFileReader m_Reader;
    std::vector<platform::SmallFileRead> m_Reads;
    std::vector<std::size_t> m_ReadSlot; // the pending slot of each read
};

} // namespace varnel
