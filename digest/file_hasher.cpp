#include "digest/file_hasher.h"

#include "digest/crc32.h"
#include "digest/digest_context.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <span>
#include <system_error>
#include <thread>

namespace varnel {

namespace {

// Inline reads: large enough that a small file takes one read() (plus none
// once its known length is reached), small enough to stay in the CPU's caches.
constexpr std::size_t kInlineBufferSize = 256u << 10;
// Reads of a large file whose BLAKE3 is wanted: BLAKE3 hashes the subtrees of
// one read on every core, which pays from a few MiB a read (a thread is
// started for each read).
constexpr std::size_t kTreeBufferSize = 8u << 20;

// The ring between the reader and the MD5 helper of a split file.
constexpr std::size_t kRingChunk = 1u << 20;
constexpr std::size_t kRingSlots = 8;

bool Cancelled(const HashControl& control) {
    return control.cancel != nullptr && control.cancel->load(std::memory_order_relaxed);
}

void Count(const HashControl& control, std::size_t bytes, std::uint64_t total) {
    if (control.bytesRead != nullptr) {
        control.bytesRead->fetch_add(bytes, std::memory_order_relaxed);
    }
    if (control.afterChunk) {
        control.afterChunk(total);
    }
}

// A context of the hasher's, begun anew for the next file.
DigestContext* Begin(std::optional<DigestContext>& context, std::int32_t algorithmId) {
    if (context) {
        context->Restart();
    } else {
        context.emplace(algorithmId);
    }
    return &*context;
}

// The digests besides CRC-32, SHA-1 and MD5: what asks for each, its
// algorithm and where its text goes.
struct OtherDigest {
    bool DigestSelection::*wanted;
    std::int32_t algorithm;
    std::string HashResult::*text;
};
constexpr std::array<OtherDigest, 8> kOtherDigests{{
    {&DigestSelection::sha256, CALG_SHA_256, &HashResult::sha256},
    {&DigestSelection::sha512, CALG_SHA_512, &HashResult::sha512},
    {&DigestSelection::blake2b, kBlake2b512, &HashResult::blake2b},
    {&DigestSelection::sha3_256, kSha3_256, &HashResult::sha3_256},
    {&DigestSelection::sha3_512, kSha3_512, &HashResult::sha3_512},
    {&DigestSelection::xxh3, kXxh3_64, &HashResult::xxh3},
    {&DigestSelection::xxh128, kXxh3_128, &HashResult::xxh128},
    {&DigestSelection::blake3, kBlake3_256, &HashResult::blake3},
}};

// The digests being computed for one file (the hasher's contexts, restarted).
struct Digests {
    bool wantCrc = false;
    std::uint32_t crc = Crc32Init();
    DigestContext* sha1 = nullptr;
    DigestContext* md5 = nullptr;
    std::array<DigestContext*, kOtherDigests.size()> wide{}; // those of kOtherDigests wanted

    // Everything but MD5.
    void UpdateOthers(std::span<const std::uint8_t> data) {
        if (wantCrc) {
            crc = Crc32Update(crc, data);
        }
        if (sha1) {
            sha1->Update(data);
        }
        for (DigestContext* context : wide) {
            if (context) {
                context->Update(data);
            }
        }
    }
    void UpdateMd5(std::span<const std::uint8_t> data) {
        if (md5) {
            md5->Update(data);
        }
    }
};

// How a read loop ended.
struct LoopEnd {
    HashOutcome outcome = HashOutcome::Done;
    std::optional<platform::FileError> error;
};

std::size_t ChunkFor(std::size_t buffer, std::uint64_t total, std::uint64_t limit) {
    return static_cast<std::size_t>(std::min<std::uint64_t>(buffer, limit - total));
}

// Reads on this thread, feeding every digest. When a read comes back short
// once the file's known length is reached, that is taken for the end without
// asking again, so a small file costs a single read(). A file whose size
// reads 0 has no known length (most of /proc and /sys give a page or less a
// read): only a read that gives nothing ends it.
LoopEnd HashInline(platform::ReadOnlyFile& file, platform::ReadBuffer& buffer,
                   std::size_t bufferSize, Digests& digests, const HashControl& control,
                   std::uint64_t& total) {
    if (buffer.size() != bufferSize) {
        buffer.resize(bufferSize);
    }
    const std::uint64_t known = std::min(file.Size(), control.limit);
    while (total < control.limit) {
        if (Cancelled(control)) {
            return {HashOutcome::Cancelled, std::nullopt};
        }
        const std::size_t want = ChunkFor(buffer.size(), total, control.limit);
        std::size_t got = 0;
        try {
            got = file.ReadSome(std::span(buffer).first(want));
        } catch (const platform::FileError& error) {
            return {HashOutcome::ReadFailed, error};
        }
        if (got == 0) {
            break;
        }
        const std::span<const std::uint8_t> data(buffer.data(), got);
        digests.UpdateOthers(data);
        digests.UpdateMd5(data);
        total += got;
        Count(control, got, total);
        if (got < want && known > 0 && total >= known) {
            break;
        }
    }
    return {};
}

// Reads on this thread into a ring of chunks; a helper thread feeds MD5 from
// the ring while this thread feeds SHA-1 and CRC-32 from the same chunks. MD5
// sets the pace: it is the slowest digest and cannot be split. Nothing, before
// anything is read, when the helper thread cannot be started.
std::optional<LoopEnd> HashSplit(platform::ReadOnlyFile& file, Digests& digests,
                                 const HashControl& control, std::uint64_t& total) {
    struct Ring {
        std::mutex mutex;
        std::condition_variable changed;
        std::array<std::size_t, kRingSlots> length{};
        std::uint64_t published = 0; // chunks handed to the helper
        std::uint64_t consumed = 0;  // chunks the helper has finished with
        bool finished = false;       // no further chunk will be published
    } ring;
    std::vector<platform::ReadBuffer> chunks(kRingSlots, platform::ReadBuffer(kRingChunk));

    auto md5Loop = [&ring, &chunks, &digests] {
        for (std::uint64_t j = 0;; ++j) {
            std::size_t length = 0;
            {
                std::unique_lock lock(ring.mutex);
                ring.changed.wait(lock, [&] { return ring.published > j || ring.finished; });
                if (ring.published <= j) {
                    return;
                }
                length = ring.length[j % kRingSlots];
            }
            digests.UpdateMd5(std::span<const std::uint8_t>(chunks[j % kRingSlots].data(), length));
            {
                std::lock_guard lock(ring.mutex);
                ring.consumed = j + 1;
            }
            ring.changed.notify_all();
        }
    };

    std::thread helper;
    try {
        helper = std::thread(md5Loop);
    } catch (const std::system_error&) {
        return std::nullopt;
    }

    LoopEnd end;
    for (std::uint64_t i = 0; total < control.limit; ++i) {
        const std::size_t slot = i % kRingSlots;
        {
            // The slot is free once the helper is done with the chunk that
            // used it kRingSlots chunks ago (this thread finished it already).
            std::unique_lock lock(ring.mutex);
            ring.changed.wait(lock, [&] { return i - ring.consumed < kRingSlots; });
        }
        if (Cancelled(control)) {
            end.outcome = HashOutcome::Cancelled;
            break;
        }
        const std::size_t want = ChunkFor(kRingChunk, total, control.limit);
        std::size_t got = 0;
        try {
            got = file.Read(std::span(chunks[slot]).first(want));
        } catch (const platform::FileError& error) {
            end = {HashOutcome::ReadFailed, error};
            break;
        }
        if (got == 0) {
            break;
        }
        {
            std::lock_guard lock(ring.mutex);
            ring.length[slot] = got;
            ring.published = i + 1;
        }
        ring.changed.notify_all();
        digests.UpdateOthers(std::span<const std::uint8_t>(chunks[slot].data(), got));
        total += got;
        Count(control, got, total);
        if (got < want) {
            break;
        }
    }
    {
        std::lock_guard lock(ring.mutex);
        ring.finished = true;
    }
    ring.changed.notify_all();
    helper.join();
    return end;
}

} // namespace

FileHasher::FileHasher(bool allowHelperThread) : m_AllowHelperThread(allowHelperThread) {}

HashResult FileHasher::Hash(platform::ReadOnlyFile& file, DigestSelection wanted,
                            const HashControl& control) {
    HashResult result;
    Digests digests;
    digests.wantCrc = wanted.crc32;
    if (wanted.sha1) {
        digests.sha1 = Begin(m_Sha1, CALG_SHA1);
    }
    if (wanted.md5) {
        digests.md5 = Begin(m_Md5, CALG_MD5);
    }
    static_assert(kOtherDigests.size() == kOtherDigestCount);
    bool wantOthers = false;
    for (std::size_t i = 0; i < kOtherDigests.size(); ++i) {
        if (wanted.*(kOtherDigests[i].wanted)) {
            digests.wide[i] = Begin(m_Others[i], kOtherDigests[i].algorithm);
            wantOthers = true;
        }
    }
    const bool large = std::min(file.Size(), control.limit) >= kSplitThreshold;
    if (large) {
        // The file is read once from start to end: let the system read ahead.
        file.AdviseSequential();
    }
    std::optional<LoopEnd> end;
    if (large && m_AllowHelperThread && wanted.md5 && (wanted.sha1 || wanted.crc32 || wantOthers)) {
        // Nothing when no helper thread could be started; nothing was read
        // then, and the file is hashed inline below.
        end = HashSplit(file, digests, control, result.bytes);
    }
    if (!end) {
        if (large && wanted.blake3) {
            end = HashInline(file, m_TreeBuffer, kTreeBufferSize, digests, control, result.bytes);
        } else {
            end = HashInline(file, m_Buffer, kInlineBufferSize, digests, control, result.bytes);
        }
    }
    result.outcome = end->outcome;
    result.error = std::move(end->error);
    if (result.outcome == HashOutcome::Done && control.expectExactly &&
        result.bytes < control.limit) {
        result.outcome = HashOutcome::EndedEarly;
    }
    // CRC-32 covers the bytes read, whatever the outcome.
    result.crc32 = wanted.crc32 ? Crc32Final(digests.crc) : 0;
    if (result.outcome != HashOutcome::Done) {
        return result;
    }
    if (digests.sha1) {
        result.sha1 = digests.sha1->FinalHex();
    }
    if (digests.md5) {
        result.md5 = digests.md5->FinalHex();
    }
    bool wideFailed = false;
    for (std::size_t i = 0; i < kOtherDigests.size(); ++i) {
        if (digests.wide[i]) {
            std::string& text = result.*(kOtherDigests[i].text);
            text = digests.wide[i]->FinalHex();
            wideFailed = wideFailed || text.empty();
        }
    }
    if ((wanted.md5 && result.md5.empty()) || (wanted.sha1 && result.sha1.empty()) || wideFailed) {
        result.outcome = HashOutcome::ServiceFailed;
        result.sha1.clear();
        result.md5.clear();
        for (const OtherDigest& other : kOtherDigests) {
            (result.*(other.text)).clear();
        }
    }
    return result;
}

bool FileHasher::HashOthers(std::span<const std::uint8_t> bytes, DigestSelection wanted,
                            HashResult& result) {
    bool failed = false;
    for (std::size_t i = 0; i < kOtherDigests.size(); ++i) {
        if (wanted.*(kOtherDigests[i].wanted)) {
            DigestContext* context = Begin(m_Others[i], kOtherDigests[i].algorithm);
            context->Update(bytes);
            std::string& text = result.*(kOtherDigests[i].text);
            text = context->FinalHex();
            failed = failed || text.empty();
        }
    }
    if (failed) {
        for (const OtherDigest& other : kOtherDigests) {
            (result.*(other.text)).clear();
        }
    }
    return !failed;
}

} // namespace varnel
