#pragma once

// The one read loop of the program: reads an open file from its current
// position to its end and feeds every wanted digest (CRC-32, SHA-1, MD5, and
// when asked SHA-256, SHA-512, BLAKE2b-512, SHA3-256, SHA3-512, XXH3-64,
// XXH3-128 and BLAKE3) from
// the same buffers, so a file is read once whatever is asked of it. The report
// (FactsGatherer), GetFileDigest and CRC32_Class::GetFileCrc32 all hash
// through it.
//
//     FileHasher hasher;
//     platform::ReadOnlyFile file = platform::ReadOnlyFile::Open(path);
//     HashResult r = hasher.Hash(file, {.crc32 = true, .md5 = true});
//     if (r.outcome == HashOutcome::Done) { use(r.crc32, r.md5); }

#include "digest/digest_context.h"
#include "digest/digest_kinds.h"
#include "platform/os/file.h"
#include "platform/os/read_buffer.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace varnel {

// What a caller may ask of a run besides the digests.
struct HashControl {
    // Checked between chunks: once true, the read stops and the result is
    // Cancelled. The file being read is abandoned part way.
    const std::atomic<bool>* cancel = nullptr;
    // Bytes are added here as they are read (for progress shown elsewhere).
    std::atomic<std::uint64_t>* bytesRead = nullptr;
    // Read at most this many bytes; a file that ends before them is
    // EndedEarly when expectExactly is set. Without a limit the file is read
    // until a read gives nothing, whatever its size says.
    std::uint64_t limit = std::numeric_limits<std::uint64_t>::max();
    bool expectExactly = false;
    // Called on the reading thread after each chunk, with the bytes read so
    // far (tests change the file there to see what a change in mid-read does).
    std::function<void(std::uint64_t)> afterChunk;
};

enum class HashOutcome {
    Done,          // read to its end (or to the limit), digests filled
    Cancelled,     // stopped by HashControl::cancel
    ReadFailed,    // a read failed (error holds why)
    EndedEarly,    // the file ended before HashControl::limit bytes
    ServiceFailed, // the digest service failed
};

struct HashResult {
    HashOutcome outcome = HashOutcome::Done;
    std::uint64_t bytes = 0; // bytes read and fed
    std::optional<platform::FileError> error;
    // Only for the digests asked. CRC-32 covers the bytes read whatever the
    // outcome; the texts are filled only when it is Done.
    std::uint32_t crc32 = 0;
    std::string sha1; // upper-case hex
    std::string md5;  // upper-case hex
    std::string sha256;
    std::string sha512;
    std::string blake2b; // BLAKE2b-512
    std::string sha3_256;
    std::string sha3_512;
    std::string xxh3;   // XXH3-64, canonical (big-endian) form
    std::string xxh128; // XXH3-128, canonical form
    std::string blake3; // BLAKE3-256
};

// Keeps its read buffer and digest contexts between files, so a run over many
// files sets up nothing per file. One object serves one thread at a time.
//
// Files of kSplitThreshold bytes and more, when MD5 and another digest are
// wanted, are hashed on two threads: MD5 (which cannot be split and is the
// slowest) on a helper thread, the read, SHA-1 and CRC-32 on the calling one.
class FileHasher {
public:
    static constexpr std::uint64_t kSplitThreshold = 4u << 20;

    // allowHelperThread = false hashes every file on the calling thread only.
    explicit FileHasher(bool allowHelperThread = true);

    HashResult Hash(platform::ReadOnlyFile& file, DigestSelection wanted,
                    const HashControl& control = {});

    // The digests besides CRC-32, SHA-1 and MD5 (SHA-256 ... BLAKE3) of bytes
    // already in memory, those wanted, into result's texts; the others are
    // left as they are. False, with every one of them cleared, when the
    // digest service failed.
    bool HashOthers(std::span<const std::uint8_t> bytes, DigestSelection wanted,
                    HashResult& result);

private:
    bool m_AllowHelperThread;
    platform::ReadBuffer m_Buffer;
    platform::ReadBuffer m_TreeBuffer; // a large file's reads when BLAKE3 is wanted
    // Set up at the first file that wants them, restarted for every later one.
    std::optional<DigestContext> m_Sha1;
    std::optional<DigestContext> m_Md5;
    // The digests besides CRC-32, SHA-1 and MD5, in the order of
    // file_hasher.cpp's kOtherDigests.
    static constexpr std::size_t kOtherDigestCount = 8;
    std::array<std::optional<DigestContext>, kOtherDigestCount> m_Others;
};

} // namespace varnel
