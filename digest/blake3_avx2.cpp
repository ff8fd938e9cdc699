// BLAKE3 on AVX2: eight inputs side by side, lane l of every 256-bit register
// holding input l's word. The blocks are transposed on load so that register
// m[i] holds message word i of all eight inputs; the compression then runs as
// the portable one does, on whole registers.

#include "digest/blake3_internal.h"

#ifdef VARNEL_BLAKE3_X86

#include <immintrin.h>

#include <algorithm>

#if defined(__clang__)
#define VARNEL_UNROLL_ROUNDS _Pragma("unroll")
#else
#define VARNEL_UNROLL_ROUNDS _Pragma("GCC unroll 7")
#endif

namespace varnel::blake3 {

namespace {

#define AVX2_TARGET [[gnu::target("avx2"), gnu::always_inline]] inline

using V = __m256i;

AVX2_TARGET V Add(V x, V y) {
    return _mm256_add_epi32(x, y);
}
AVX2_TARGET V Xor(V x, V y) {
    return _mm256_xor_si256(x, y);
}
AVX2_TARGET V Set(std::uint32_t k) {
    return _mm256_set1_epi32(static_cast<int>(k));
}
// Rotations by whole bytes are one byte shuffle; the others two shifts.
alignas(32) constexpr std::uint8_t kRotr16[32] = {2, 3,  0,  1,  6,  7, 4,  5,  10, 11, 8,
                                                  9, 14, 15, 12, 13, 2, 3,  0,  1,  6,  7,
                                                  4, 5,  10, 11, 8,  9, 14, 15, 12, 13};
alignas(32) constexpr std::uint8_t kRotr8[32] = {1, 2,  3,  0,  5,  6, 7,  4,  9,  10, 11,
                                                 8, 13, 14, 15, 12, 1, 2,  3,  0,  5,  6,
                                                 7, 4,  9,  10, 11, 8, 13, 14, 15, 12};
// A shuffle's order read from memory where it is used. Held in registers
// (where the compiler would otherwise keep them), the two orders leave too
// few for the sixteen state words, which then go to the stack and back in
// every round: about a tenth slower with GCC. The empty asm hides that the
// address is constant.
AVX2_TARGET V Order(const std::uint8_t* order) {
    asm("" : "+r"(order));
    return _mm256_loadu_si256(reinterpret_cast<const V*>(order));
}
AVX2_TARGET V Rotr16(V x) {
    return _mm256_shuffle_epi8(x, Order(kRotr16));
}
AVX2_TARGET V Rotr8(V x) {
    return _mm256_shuffle_epi8(x, Order(kRotr8));
}
AVX2_TARGET V Rotr12(V x) {
    return _mm256_or_si256(_mm256_srli_epi32(x, 12), _mm256_slli_epi32(x, 20));
}
AVX2_TARGET V Rotr7(V x) {
    return _mm256_or_si256(_mm256_srli_epi32(x, 7), _mm256_slli_epi32(x, 25));
}

// Rows r[0..7] of eight words become columns: r[i] holds word i of the rows.
AVX2_TARGET void Transpose8(V* r) {
    // Pairs of rows interleaved by words, then by pairs of words: u[m] holds,
    // in each 128-bit half h, word 4h + m of rows 0..3 (u[4 + m]: rows 4..7).
    const V t0 = _mm256_unpacklo_epi32(r[0], r[1]);
    const V t1 = _mm256_unpackhi_epi32(r[0], r[1]);
    const V t2 = _mm256_unpacklo_epi32(r[2], r[3]);
    const V t3 = _mm256_unpackhi_epi32(r[2], r[3]);
    const V t4 = _mm256_unpacklo_epi32(r[4], r[5]);
    const V t5 = _mm256_unpackhi_epi32(r[4], r[5]);
    const V t6 = _mm256_unpacklo_epi32(r[6], r[7]);
    const V t7 = _mm256_unpackhi_epi32(r[6], r[7]);
    const V u0 = _mm256_unpacklo_epi64(t0, t2);
    const V u1 = _mm256_unpackhi_epi64(t0, t2);
    const V u2 = _mm256_unpacklo_epi64(t1, t3);
    const V u3 = _mm256_unpackhi_epi64(t1, t3);
    const V u4 = _mm256_unpacklo_epi64(t4, t6);
    const V u5 = _mm256_unpackhi_epi64(t4, t6);
    const V u6 = _mm256_unpacklo_epi64(t5, t7);
    const V u7 = _mm256_unpackhi_epi64(t5, t7);
    r[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
    r[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
    r[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
    r[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
    r[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
    r[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
    r[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
    r[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

// Message words 0..15 of block `offset` of the eight inputs. Each input is
// also asked four blocks ahead: eight streams 1 KiB apart are more than the
// processor's own prefetcher follows well from memory.
AVX2_TARGET void LoadMessage(const std::uint8_t* const* rows, std::size_t offset, V* m) {
    for (unsigned l = 0; l < 8; ++l) {
        _mm_prefetch(reinterpret_cast<const char*>(rows[l] + offset + 256), _MM_HINT_T0);
        m[l] = _mm256_loadu_si256(reinterpret_cast<const V*>(rows[l] + offset));
        m[8 + l] = _mm256_loadu_si256(reinterpret_cast<const V*>(rows[l] + offset + 32));
    }
    Transpose8(m);
    Transpose8(m + 8);
}

AVX2_TARGET void G(V* v, unsigned a, unsigned b, unsigned c, unsigned d, V mx, V my) {
    v[a] = Add(Add(v[a], v[b]), mx);
    v[d] = Rotr16(Xor(v[d], v[a]));
    v[c] = Add(v[c], v[d]);
    v[b] = Rotr12(Xor(v[b], v[c]));
    v[a] = Add(Add(v[a], v[b]), my);
    v[d] = Rotr8(Xor(v[d], v[a]));
    v[c] = Add(v[c], v[d]);
    v[b] = Rotr7(Xor(v[b], v[c]));
}

// Eight inputs (rows[l]; a lane past `live` repeats input 0 and is not
// written), `blocks` blocks each, their chaining values to out.
[[gnu::target("avx2")]] void HashEight(const std::uint8_t* const* rows, std::size_t live,
                                       std::size_t blocks, std::uint64_t counter, bool countUp,
                                       std::uint32_t flags, std::uint32_t flagsStart,
                                       std::uint32_t flagsEnd, std::uint8_t* out) {
    alignas(32) std::uint32_t low[8];
    alignas(32) std::uint32_t high[8];
    for (unsigned l = 0; l < 8; ++l) {
        const std::uint64_t c = counter + (countUp ? l : 0);
        low[l] = static_cast<std::uint32_t>(c);
        high[l] = static_cast<std::uint32_t>(c >> 32);
    }
    const V counterLow = _mm256_load_si256(reinterpret_cast<const V*>(low));
    const V counterHigh = _mm256_load_si256(reinterpret_cast<const V*>(high));
    V h[8];
    for (unsigned i = 0; i < 8; ++i) {
        h[i] = Set(kIv[i]);
    }
    for (std::size_t block = 0; block < blocks; ++block) {
        std::uint32_t blockFlags = flags;
        if (block == 0) {
            blockFlags |= flagsStart;
        }
        if (block + 1 == blocks) {
            blockFlags |= flagsEnd;
        }
        V m[16];
        LoadMessage(rows, block * kBlockBytes, m);
        V v[16] = {h[0],           h[1],        h[2],
                   h[3],           h[4],        h[5],
                   h[6],           h[7],        Set(kIv[0]),
                   Set(kIv[1]),    Set(kIv[2]), Set(kIv[3]),
                   counterLow,     counterHigh, Set(static_cast<std::uint32_t>(kBlockBytes)),
                   Set(blockFlags)};
        VARNEL_UNROLL_ROUNDS
        for (unsigned r = 0; r < kRounds; ++r) {
            const auto& s = kSchedule[r];
            G(v, 0, 4, 8, 12, m[s[0]], m[s[1]]);
            G(v, 1, 5, 9, 13, m[s[2]], m[s[3]]);
            G(v, 2, 6, 10, 14, m[s[4]], m[s[5]]);
            G(v, 3, 7, 11, 15, m[s[6]], m[s[7]]);
            G(v, 0, 5, 10, 15, m[s[8]], m[s[9]]);
            G(v, 1, 6, 11, 12, m[s[10]], m[s[11]]);
            G(v, 2, 7, 8, 13, m[s[12]], m[s[13]]);
            G(v, 3, 4, 9, 14, m[s[14]], m[s[15]]);
        }
        for (unsigned i = 0; i < 8; ++i) {
            h[i] = Xor(v[i], v[i + 8]);
        }
    }
    // Back to one row of eight words per input.
    Transpose8(h);
    for (std::size_t l = 0; l < live; ++l) {
        _mm256_storeu_si256(reinterpret_cast<V*>(out + l * kCvBytes), h[l]);
    }
}

} // namespace

[[gnu::target("avx2")]] void HashManyAvx2(const std::uint8_t* const* inputs, std::size_t count,
                                          std::size_t blocks, std::uint64_t counter, bool countUp,
                                          std::uint32_t flags, std::uint32_t flagsStart,
                                          std::uint32_t flagsEnd, std::uint8_t* out) {
    while (count > 0) {
        const std::size_t live = std::min(count, kAvx2Lanes);
        const std::uint8_t* rows[kAvx2Lanes];
        for (std::size_t l = 0; l < kAvx2Lanes; ++l) {
            rows[l] = inputs[l < live ? l : 0];
        }
        HashEight(rows, live, blocks, counter, countUp, flags, flagsStart, flagsEnd, out);
        inputs += live;
        out += live * kCvBytes;
        counter += countUp ? live : 0;
        count -= live;
    }
}

} // namespace varnel::blake3

#endif // VARNEL_BLAKE3_X86
