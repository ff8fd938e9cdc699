#pragma once

// BLAKE3 (the 256-bit default output, no key, no derived keys), written from
// the published BLAKE3 paper: 1 KiB chunks of 64-byte blocks
// compressed with the seven-round function, chunk chaining values merged up
// a binary tree. The compression runs on the widest vector unit the
// processor has (AVX-512, AVX2, else portable code), several chunks side by
// side; the choice is made once at start.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace varnel {

namespace detail {

// The compression paths. Tests hash the same messages on each path the
// processor runs and compare.
enum class Blake3Path : std::uint8_t { Portable, Avx2, Avx512 };

// True when this processor (and the system, which must save the registers)
// runs the path.
bool Blake3PathAvailable(Blake3Path path) noexcept;

} // namespace detail

class Blake3 {
public:
    static constexpr std::size_t kDigestBytes = 32;
    using Digest = std::array<std::uint8_t, kDigestBytes>;

    Blake3() noexcept;
    // A hasher on a given path, which must be available (tests compare the
    // paths with it).
    explicit Blake3(detail::Blake3Path path) noexcept;

    // Lets Update hash a long span (256 KiB and more) on up to `threads`
    // threads: the calling one and threads started for the span and joined
    // before Update returns. The digest is the same whatever the count;
    // 1 (the default) hashes on the calling thread only. A thread that cannot
    // be started leaves its share to the others.
    void SetThreads(unsigned threads) noexcept;

    // Adds bytes to the message; any split of the message gives the same
    // digest.
    void Update(std::span<const std::uint8_t> bytes) noexcept;

    // The digest of the message so far (the hasher may go on taking bytes).
    Digest Final() const noexcept;
    // The same in upper-case hexadecimal, as the report writes digests.
    std::string FinalHex() const;

    // The digest of a whole message in one call; long messages are hashed
    // on up to `threads` threads (1: the calling thread only).
    static Digest Hash(std::span<const std::uint8_t> bytes, unsigned threads = 1);

    // The path Update and Hash take on this processor: "avx512", "avx2" or
    // "portable".
    static std::string_view PathName() noexcept;

private:
    using Cv = std::array<std::uint32_t, 8>;

    void CompressBufferedBlock(std::uint32_t flags) noexcept;
    void FinishChunk() noexcept;
    void AddWholeChunks(const std::uint8_t* chunks, std::uint64_t count) noexcept;
    void HashFinalChunks(const std::uint8_t* chunks, std::size_t count) noexcept;
    void PushSubtree(const Cv& cv, std::uint64_t chunks) noexcept;

    // Kept inline so that a hasher needs no allocation: the current chunk's
    // state and the stack of subtree chaining values (one per level, 54
    // levels cover any message a 64-bit length can count).
    Cv m_ChunkCv;
    std::array<std::uint8_t, 64> m_Block{};
    std::uint64_t m_ChunkCounter = 0; // whole chunks before the current one
    std::uint8_t m_BlockLength = 0;
    std::uint8_t m_BlocksCompressed = 0;
    std::uint8_t m_StackSize = 0;
    // The current chunk is whole and m_ChunkCv is already its chaining value
    // (a chunk after others, never the root): it was hashed in one vector
    // pass with the chunks before it. More bytes push it onto the stack.
    bool m_ChunkHashed = false;
    detail::Blake3Path m_Path;
    unsigned m_Threads = 1;
    std::array<Cv, 54> m_Stack;
};

} // namespace varnel
