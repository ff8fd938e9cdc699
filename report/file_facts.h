#pragma once

// The facts of one file that a report block shows: size, modified time,
// version, CRC-32, SHA-1 and MD5. Gathering them is the slow half of a report
// and is kept apart from the formatting of the text (report.h), so that it can
// run ahead on worker threads while the text is written on the caller's
// thread, where the conversion service lives.

#include "digest/file_hasher.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace varnel {

// The six report options, read from the check boxes Check1 ... Check6. Start
// states: MD5, SHA-1, modified time and size on; CRC-32 and version off. The
// MD5 line is always written, whatever ShowMD5 says.
struct ReportOptions {
    bool ShowMD5 = true;
    bool ShowSHA1 = true;
    bool ShowCRC32 = false;
    bool ShowModifiedTime = true;
    bool ShowSize = true;
    bool ShowVersion = false;
    // The other digests, each written on a line of its own after MD5
    // (report_labels.h's kReportDigestLines) when its member is set:
    // sha256, sha512, blake2b, sha3_256, sha3_512, xxh3, xxh128, blake3. No
    // check box has them (the main window's system menu does); the
    // other members are not read (CRC-32 and SHA-1 have their options).
    DigestSelection ShowDigests;
};

// The digests a block with these options carries: CRC-32 and SHA-1 as their
// options say, MD5 always, and the later kinds ShowDigests asks for.
DigestSelection ReportDigestSelection(const ReportOptions& options);

// The file's version text ("1.2.3.4"), empty when it has none. Must be safe to
// call from several threads at once (formats::GetFileVersion is).
using VersionQuery = std::function<std::string(const std::filesystem::path&)>;
// The same answer from the whole of a file's bytes, already read (a file read
// whole for its digests is not opened again for its version).
using VersionOfBytes = std::function<std::string(std::span<const std::uint8_t>)>;

// Why a file's bytes were not read.
enum class ReadFailure {
    None,        // read whole (or not asked to be read)
    NotFound,    // no such entry, or its attributes cannot be read
    Hidden,      // a hidden entry: the existence test does not match it
    Folder,      // a folder
    SystemEntry, // neither a regular file nor a folder (FIFO, socket, device)
    Changed,     // its length or time changed while it was read: no digest is given
    OpenFailed,  // present, but the open failed (permission denied, ...)
    ReadFailed,  // opened, but a read failed part way
};

struct FileFacts {
    // From the directory entry; absent when it cannot be read (missing path).
    // For a regular file whose size reads 0, the count of bytes read from it.
    std::optional<std::uint64_t> size;
    std::optional<std::chrono::sys_seconds> modified;
    std::uint32_t modifiedNanoseconds = 0; // the fraction of modified's second

    // Empty when not asked for, when the file has no version record, or when
    // the query failed.
    std::string version;

    // Digests of the file's bytes, filled only when the whole file was read:
    // a file that was not read, or whose read failed part way, has CRC-32 0
    // (written "00000000", the CRC-32 of no data) and empty SHA-1 and MD5 text,
    // which no true digest can be confused with. SHA-1 and CRC-32 are only
    // computed when their option is on.
    std::uint32_t crc32 = 0;
    std::string sha1;
    std::string md5;
    // Only for checksum lists that carry them (Control::digests).
    std::string sha256;
    std::string sha512;
    std::string blake2b;
    // Only when asked for (Control::digests, or the report's
    // ReportOptions::digests).
    std::string sha3_256;
    std::string sha3_512;
    std::string xxh3;   // XXH3-64, canonical (big-endian) form
    std::string xxh128; // XXH3-128, canonical form
    std::string blake3;

    bool readOk = true; // false when the file's bytes could not be read
    ReadFailure failureKind = ReadFailure::None;
    std::string failure; // a short English reason when readOk is false
};

// Gathers facts, keeping its read buffers between files so that a run over
// many files allocates nothing per file. One object serves one thread at a
// time; separate objects may run on separate threads.
//
// The file is read once: after the existence test (a present, non-hidden,
// regular file) it is opened as a platform::ReadOnlyFile (which refuses what
// is not a regular file) and hashed by FileHasher, the program's one read
// loop, every wanted digest fed from the same buffers; large files are
// hashed on two threads (see FileHasher). The file is never written.
class FactsGatherer {
public:
    static constexpr std::uint64_t kSplitThreshold = FileHasher::kSplitThreshold;

    // allowHelperThread = false hashes every file on the calling thread only.
    explicit FactsGatherer(bool allowHelperThread = true);
    ~FactsGatherer();
    FactsGatherer(const FactsGatherer&) = delete;
    FactsGatherer& operator=(const FactsGatherer&) = delete;

    // What a caller may ask of one gathering besides the facts.
    struct Control {
        // Once true while the file is read, the read stops and the facts
        // come back with readOk false (ReadFailure::ReadFailed, "cancelled").
        const std::atomic<bool>* cancel = nullptr;
        std::atomic<std::uint64_t>* bytesRead = nullptr;  // bytes added as they are read
        std::atomic<std::uint64_t>* bytesKnown = nullptr; // the file's size, added before
        std::atomic<std::size_t>* filesSized = nullptr;   // one more once it is added
        // Called after each chunk read, with the bytes read so far (tests
        // change the file there).
        std::function<void(std::uint64_t)> afterChunk;
        // The digests to compute instead of those the options ask for (a
        // checksum list needs only its own; the report always needs MD5).
        std::optional<DigestSelection> digests;
        // Reads hidden files too (a checksum list names them on purpose);
        // reports leave them unread.
        bool readHidden = false;
    };

    // The facts of the file at path for the given options. The version query
    // is only called when options.ShowVersion is on.
    FileFacts Gather(const std::filesystem::path& path, const ReportOptions& options,
                     const VersionQuery& versionQuery, const Control& control);
    FileFacts Gather(const std::filesystem::path& path, const ReportOptions& options,
                     const VersionQuery& versionQuery = {},
                     const std::atomic<bool>* cancel = nullptr) {
        Control control;
        control.cancel = cancel;
        return Gather(path, options, versionQuery, control);
    }

private:
    FileHasher m_Hasher;
};

// Moves the digests besides CRC-32, SHA-1 and MD5 (SHA-256 ... BLAKE3) of a
// hash into the facts.
void TakeOtherDigests(HashResult& hashed, FileFacts& facts);

// One-off form of FactsGatherer::Gather.
FileFacts GatherFileFacts(const std::filesystem::path& path, const ReportOptions& options,
                          const VersionQuery& versionQuery = {});

} // namespace varnel
