#pragma once

// What the BLAKE3 paths share: the constants of the compression function and
// the one entry point each vector path provides. Private to digest/.

#include <array>
#include <cstddef>
#include <cstdint>

namespace varnel::blake3 {

constexpr std::size_t kBlockBytes = 64;
constexpr std::size_t kChunkBytes = 1024;
constexpr std::size_t kBlocksPerChunk = kChunkBytes / kBlockBytes;
constexpr std::size_t kCvBytes = 32;

// The flags of a compression (the last word of its state).
constexpr std::uint32_t kChunkStart = 1;
constexpr std::uint32_t kChunkEnd = 2;
constexpr std::uint32_t kParent = 4;
constexpr std::uint32_t kRoot = 8;

// The first eight words of the state: the fractional parts of the square
// roots of the first eight primes (the starting value of SHA-256). Without a
// key they are also the key.
constexpr std::uint32_t kIv[8] = {0x6A09E667, 0xBB67AE85, 0x3C6EF372, 0xA54FF53A,
                                  0x510E527F, 0x9B05688C, 0x1F83D9AB, 0x5BE0CD19};

constexpr unsigned kRounds = 7;

// Between rounds the sixteen message words are reordered: word i of the next
// round is word kPermutation[i] of this one. kSchedule[r][i] is the index in
// the block of the word round r uses at position i.
constexpr std::array<std::uint8_t, 16> kPermutation = {2, 6,  3,  10, 7, 0,  4,  13,
                                                       1, 11, 12, 5,  9, 14, 15, 8};

constexpr std::array<std::array<std::uint8_t, 16>, kRounds> MakeSchedule() {
    std::array<std::array<std::uint8_t, 16>, kRounds> schedule{};
    for (std::uint8_t i = 0; i < 16; ++i) {
        schedule[0][i] = i;
    }
    for (unsigned r = 1; r < kRounds; ++r) {
        for (unsigned i = 0; i < 16; ++i) {
            schedule[r][i] = schedule[r - 1][kPermutation[i]];
        }
    }
    return schedule;
}
constexpr auto kSchedule = MakeSchedule();

// Hashes `count` independent inputs of `blocks` whole 64-byte blocks each,
// input i starting at inputs[i], and writes the 32-byte chaining value of
// input i (little-endian words) to out + 32 i. Every input starts from the
// key kIv; input i has the counter `counter + i` when countUp (chunks), else
// `counter` (parents). Every block carries `flags`, the first block also
// `flagsStart`, the last also `flagsEnd`. The vector paths hash their lane
// count of inputs side by side; out may not overlap the inputs.
using HashManyFn = void (*)(const std::uint8_t* const* inputs, std::size_t count,
                            std::size_t blocks, std::uint64_t counter, bool countUp,
                            std::uint32_t flags, std::uint32_t flagsStart, std::uint32_t flagsEnd,
                            std::uint8_t* out);

void HashManyPortable(const std::uint8_t* const* inputs, std::size_t count, std::size_t blocks,
                      std::uint64_t counter, bool countUp, std::uint32_t flags,
                      std::uint32_t flagsStart, std::uint32_t flagsEnd, std::uint8_t* out);

#if defined(__x86_64__)
#define VARNEL_BLAKE3_X86
constexpr std::size_t kAvx2Lanes = 8;
constexpr std::size_t kAvx512Lanes = 16;
void HashManyAvx2(const std::uint8_t* const* inputs, std::size_t count, std::size_t blocks,
                  std::uint64_t counter, bool countUp, std::uint32_t flags,
                  std::uint32_t flagsStart, std::uint32_t flagsEnd, std::uint8_t* out);
void HashManyAvx512(const std::uint8_t* const* inputs, std::size_t count, std::size_t blocks,
                    std::uint64_t counter, bool countUp, std::uint32_t flags,
                    std::uint32_t flagsStart, std::uint32_t flagsEnd, std::uint8_t* out);
#endif

} // namespace varnel::blake3
