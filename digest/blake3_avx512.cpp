// BLAKE3 on AVX-512: sixteen inputs side by side, lane l of every 512-bit
// register holding input l's word. Each block of the sixteen inputs is one
// 16 x 16 matrix of words, transposed on load so that register m[i] holds
// message word i of all sixteen; the rotations are single instructions.

#include "digest/blake3_internal.h"

#ifdef VARNEL_BLAKE3_X86

#include <immintrin.h>

#include <algorithm>

#if defined(__clang__)
#define VARNEL_UNROLL_ROUNDS _Pragma("unroll")
#else
#define VARNEL_UNROLL_ROUNDS _Pragma("GCC unroll 7")
#endif

// The compiler's own AVX-512 headers start several operations from an
// undefined register, which its uninitialized-use warning then reports.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace varnel::blake3 {

namespace {

#define AVX512_TARGET [[gnu::target("avx512f"), gnu::always_inline]] inline

using V = __m512i;

AVX512_TARGET V Add(V x, V y) {
    return _mm512_add_epi32(x, y);
}
AVX512_TARGET V Xor(V x, V y) {
    return _mm512_xor_si512(x, y);
}
AVX512_TARGET V Set(std::uint32_t k) {
    return _mm512_set1_epi32(static_cast<int>(k));
}

// Rows r[0..15] of sixteen words become columns: r[i] holds word i of the
// rows.
AVX512_TARGET void Transpose16(V* r) {
    V t[16];
    for (unsigned k = 0; k < 16; k += 2) {
        t[k] = _mm512_unpacklo_epi32(r[k], r[k + 1]);
        t[k + 1] = _mm512_unpackhi_epi32(r[k], r[k + 1]);
    }
    // u[4g + m] holds, in its 128-bit part j, word 4j + m of rows 4g..4g+3.
    V u[16];
    for (unsigned g = 0; g < 16; g += 4) {
        u[g] = _mm512_unpacklo_epi64(t[g], t[g + 2]);
        u[g + 1] = _mm512_unpackhi_epi64(t[g], t[g + 2]);
        u[g + 2] = _mm512_unpacklo_epi64(t[g + 1], t[g + 3]);
        u[g + 3] = _mm512_unpackhi_epi64(t[g + 1], t[g + 3]);
    }
    // Word 4j + m of all rows: part j of u[m], u[4 + m], u[8 + m], u[12 + m].
    for (unsigned m = 0; m < 4; ++m) {
        const V x0 = _mm512_shuffle_i32x4(u[m], u[4 + m], 0x88);      // parts 0, 2
        const V x1 = _mm512_shuffle_i32x4(u[m], u[4 + m], 0xDD);      // parts 1, 3
        const V y0 = _mm512_shuffle_i32x4(u[8 + m], u[12 + m], 0x88); // parts 0, 2
        const V y1 = _mm512_shuffle_i32x4(u[8 + m], u[12 + m], 0xDD); // parts 1, 3
        r[m] = _mm512_shuffle_i32x4(x0, y0, 0x88);
        r[4 + m] = _mm512_shuffle_i32x4(x1, y1, 0x88);
        r[8 + m] = _mm512_shuffle_i32x4(x0, y0, 0xDD);
        r[12 + m] = _mm512_shuffle_i32x4(x1, y1, 0xDD);
    }
}

// Which words four G functions side by side mix: the columns of the 4 x 4
// state, then its diagonals.
struct Quad {
    unsigned a[4], b[4], c[4], d[4];
};
constexpr Quad kColumns = {{0, 1, 2, 3}, {4, 5, 6, 7}, {8, 9, 10, 11}, {12, 13, 14, 15}};
constexpr Quad kDiagonals = {{0, 1, 2, 3}, {5, 6, 7, 4}, {10, 11, 8, 9}, {15, 12, 13, 14}};

// Four G functions step by step together, so that four independent
// operations are always ready. G number i takes message words m[s[2i]] and
// m[s[2i + 1]], s being the round's schedule from the first of its words.
AVX512_TARGET void Mix(V* v, const V* m, const Quad& q, const std::uint8_t* s) {
#define FOR_EACH_G _Pragma("GCC unroll 4") for (unsigned i = 0; i < 4; ++i)
    FOR_EACH_G v[q.a[i]] = Add(Add(v[q.a[i]], v[q.b[i]]), m[s[2 * i]]);
    FOR_EACH_G v[q.d[i]] = _mm512_ror_epi32(Xor(v[q.d[i]], v[q.a[i]]), 16);
    FOR_EACH_G v[q.c[i]] = Add(v[q.c[i]], v[q.d[i]]);
    FOR_EACH_G v[q.b[i]] = _mm512_ror_epi32(Xor(v[q.b[i]], v[q.c[i]]), 12);
    FOR_EACH_G v[q.a[i]] = Add(Add(v[q.a[i]], v[q.b[i]]), m[s[2 * i + 1]]);
    FOR_EACH_G v[q.d[i]] = _mm512_ror_epi32(Xor(v[q.d[i]], v[q.a[i]]), 8);
    FOR_EACH_G v[q.c[i]] = Add(v[q.c[i]], v[q.d[i]]);
    FOR_EACH_G v[q.b[i]] = _mm512_ror_epi32(Xor(v[q.b[i]], v[q.c[i]]), 7);
#undef FOR_EACH_G
}

// Sixteen inputs (rows[l]; a lane past `live` repeats input 0 and is not
// written), `blocks` blocks each, their chaining values to out.
[[gnu::target("avx512f")]] void HashSixteen(const std::uint8_t* const* rows, std::size_t live,
                                            std::size_t blocks, std::uint64_t counter, bool countUp,
                                            std::uint32_t flags, std::uint32_t flagsStart,
                                            std::uint32_t flagsEnd, std::uint8_t* out) {
    alignas(64) std::uint32_t low[16];
    alignas(64) std::uint32_t high[16];
    for (unsigned l = 0; l < 16; ++l) {
        const std::uint64_t c = counter + (countUp ? l : 0);
        low[l] = static_cast<std::uint32_t>(c);
        high[l] = static_cast<std::uint32_t>(c >> 32);
    }
    const V counterLow = _mm512_load_si512(low);
    const V counterHigh = _mm512_load_si512(high);
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
        // Each input is also asked four blocks ahead (sixteen streams 1 KiB
        // apart are more than the processor's own prefetcher follows well).
        for (unsigned l = 0; l < 16; ++l) {
            _mm_prefetch(reinterpret_cast<const char*>(rows[l] + block * kBlockBytes + 256),
                         _MM_HINT_T0);
            m[l] = _mm512_loadu_si512(rows[l] + block * kBlockBytes);
        }
        Transpose16(m);
        V v[16] = {h[0],           h[1],        h[2],
                   h[3],           h[4],        h[5],
                   h[6],           h[7],        Set(kIv[0]),
                   Set(kIv[1]),    Set(kIv[2]), Set(kIv[3]),
                   counterLow,     counterHigh, Set(static_cast<std::uint32_t>(kBlockBytes)),
                   Set(blockFlags)};
        VARNEL_UNROLL_ROUNDS
        for (unsigned r = 0; r < kRounds; ++r) {
            Mix(v, m, kColumns, kSchedule[r].data());
            Mix(v, m, kDiagonals, kSchedule[r].data() + 8);
        }
        for (unsigned i = 0; i < 8; ++i) {
            h[i] = Xor(v[i], v[i + 8]);
        }
    }
    // Back to rows: word i of input l is lane l of h[i].
    alignas(64) std::uint32_t words[8][16];
    for (unsigned i = 0; i < 8; ++i) {
        _mm512_store_si512(words[i], h[i]);
    }
    for (std::size_t l = 0; l < live; ++l) {
        for (unsigned i = 0; i < 8; ++i) {
            const std::uint32_t w = words[i][l];
            std::uint8_t* p = out + l * kCvBytes + 4 * i;
            p[0] = static_cast<std::uint8_t>(w);
            p[1] = static_cast<std::uint8_t>(w >> 8);
            p[2] = static_cast<std::uint8_t>(w >> 16);
            p[3] = static_cast<std::uint8_t>(w >> 24);
        }
    }
}

} // namespace

[[gnu::target("avx512f")]] void HashManyAvx512(const std::uint8_t* const* inputs, std::size_t count,
                                               std::size_t blocks, std::uint64_t counter,
                                               bool countUp, std::uint32_t flags,
                                               std::uint32_t flagsStart, std::uint32_t flagsEnd,
                                               std::uint8_t* out) {
    while (count > 0) {
        const std::size_t live = std::min(count, kAvx512Lanes);
        const std::uint8_t* rows[kAvx512Lanes];
        for (std::size_t l = 0; l < kAvx512Lanes; ++l) {
            rows[l] = inputs[l < live ? l : 0];
        }
        HashSixteen(rows, live, blocks, counter, countUp, flags, flagsStart, flagsEnd, out);
        inputs += live;
        out += live * kCvBytes;
        counter += countUp ? live : 0;
        count -= live;
    }
}

} // namespace varnel::blake3

#pragma GCC diagnostic pop

#endif // VARNEL_BLAKE3_X86
