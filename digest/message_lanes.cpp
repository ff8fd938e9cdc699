#include "digest/message_lanes.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#if defined(__x86_64__)
#include <immintrin.h>
#define VARNEL_LANES_X86
#endif

#if defined(__clang__)
#define VARNEL_UNROLL _Pragma("unroll")
#else
#define VARNEL_UNROLL _Pragma("GCC unroll 20")
#endif

namespace varnel {

namespace {

// The 64 additive constants of MD5 (the integer part of 2^32 |sin(i + 1)|).
constexpr std::uint32_t kMd5Sines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

constexpr std::uint32_t kMd5Start[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
constexpr std::uint32_t kSha1Start[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476,
                                         0xc3d2e1f0};

// What an idle lane hashes: its result is never read.
alignas(64) constexpr std::uint8_t kIdleBlock[64] = {};

#ifdef VARNEL_LANES_X86

// The compiler's own AVX-512 headers start several operations from an
// undefined register, which its uninitialized-use warning then reports.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"

namespace avx512 {

#define LANE_TARGET [[gnu::target("avx512f,avx512bw")]] inline
using V = __m512i;
constexpr unsigned kLanes = 16;

LANE_TARGET V Load(const std::uint32_t* p) {
    return _mm512_loadu_si512(p);
}
LANE_TARGET void Store(std::uint32_t* p, V v) {
    _mm512_storeu_si512(p, v);
}
LANE_TARGET V Set(std::uint32_t k) {
    return _mm512_set1_epi32(static_cast<int>(k));
}
LANE_TARGET V Add(V x, V y) {
    return _mm512_add_epi32(x, y);
}
LANE_TARGET V Xor(V x, V y) {
    return _mm512_xor_si512(x, y);
}
template <int n> LANE_TARGET V Rotl(V x) {
    return _mm512_rol_epi32(x, n);
}
// The truth tables of the three-input logic instruction: bit (x y z) of imm.
LANE_TARGET V Choose(V s, V x, V y) {
    return _mm512_ternarylogic_epi32(s, x, y, 0xCA);
}
LANE_TARGET V Parity(V x, V y, V z) {
    return _mm512_ternarylogic_epi32(x, y, z, 0x96);
}
LANE_TARGET V Majority(V x, V y, V z) {
    return _mm512_ternarylogic_epi32(x, y, z, 0xE8);
}
LANE_TARGET V Md5I(V x, V y, V z) {
    return _mm512_ternarylogic_epi32(x, y, z, 0x39);
}
LANE_TARGET V ByteSwap(V x) {
    const V order = _mm512_set4_epi32(0x0c0d0e0f, 0x08090a0b, 0x04050607, 0x00010203);
    return _mm512_shuffle_epi8(x, order);
}
// Word w of every lane's block into w[w]: the 16 blocks, read as rows of
// 16 words, are transposed in four rounds of shuffles.
LANE_TARGET void LoadWords(const std::uint8_t* const* blocks, V* w) {
    V r[16];
    for (unsigned l = 0; l < 16; ++l) {
        r[l] = _mm512_loadu_si512(blocks[l]);
    }
    V t[16];
    for (unsigned k = 0; k < 16; k += 2) {
        t[k] = _mm512_unpacklo_epi32(r[k], r[k + 1]);
        t[k + 1] = _mm512_unpackhi_epi32(r[k], r[k + 1]);
    }
    // u[4k + m] holds, in its 128-bit part j, word 4j + m of rows 4k..4k+3.
    for (unsigned k = 0; k < 16; k += 4) {
        r[k] = _mm512_unpacklo_epi64(t[k], t[k + 2]);
        r[k + 1] = _mm512_unpackhi_epi64(t[k], t[k + 2]);
        r[k + 2] = _mm512_unpacklo_epi64(t[k + 1], t[k + 3]);
        r[k + 3] = _mm512_unpackhi_epi64(t[k + 1], t[k + 3]);
    }
    for (unsigned m = 0; m < 4; ++m) {
        const V x0 = _mm512_shuffle_i32x4(r[m], r[4 + m], 0x88);
        const V x1 = _mm512_shuffle_i32x4(r[m], r[4 + m], 0xDD);
        const V y0 = _mm512_shuffle_i32x4(r[8 + m], r[12 + m], 0x88);
        const V y1 = _mm512_shuffle_i32x4(r[8 + m], r[12 + m], 0xDD);
        w[m] = _mm512_shuffle_i32x4(x0, y0, 0x88);
        w[4 + m] = _mm512_shuffle_i32x4(x1, y1, 0x88);
        w[8 + m] = _mm512_shuffle_i32x4(x0, y0, 0xDD);
        w[12 + m] = _mm512_shuffle_i32x4(x1, y1, 0xDD);
    }
}

#include "digest/lane_blocks.inc"

#undef LANE_TARGET

} // namespace avx512

#pragma GCC diagnostic pop

namespace avx2 {

// Sixteen lanes in two registers of eight. Each step of MD5 (and SHA-1)
// depends on the step before it, so one register of lanes waits on the
// latency of every operation; two registers give the processor two
// independent chains to overlap, nearly twice the work in the same time.
#define LANE_TARGET [[gnu::target("avx2")]] inline
using R = __m256i;
struct V {
    R lo; // lanes 0 to 7
    R hi; // lanes 8 to 15
};
constexpr unsigned kLanes = 16;

LANE_TARGET V Load(const std::uint32_t* p) {
    return {_mm256_loadu_si256(reinterpret_cast<const R*>(p)),
            _mm256_loadu_si256(reinterpret_cast<const R*>(p + 8))};
}
LANE_TARGET void Store(std::uint32_t* p, V v) {
    _mm256_storeu_si256(reinterpret_cast<R*>(p), v.lo);
    _mm256_storeu_si256(reinterpret_cast<R*>(p + 8), v.hi);
}
LANE_TARGET V Set(std::uint32_t k) {
    const R r = _mm256_set1_epi32(static_cast<int>(k));
    return {r, r};
}
LANE_TARGET V Add(V x, V y) {
    return {_mm256_add_epi32(x.lo, y.lo), _mm256_add_epi32(x.hi, y.hi)};
}
LANE_TARGET V Xor(V x, V y) {
    return {_mm256_xor_si256(x.lo, y.lo), _mm256_xor_si256(x.hi, y.hi)};
}
LANE_TARGET V And(V x, V y) {
    return {_mm256_and_si256(x.lo, y.lo), _mm256_and_si256(x.hi, y.hi)};
}
LANE_TARGET V Or(V x, V y) {
    return {_mm256_or_si256(x.lo, y.lo), _mm256_or_si256(x.hi, y.hi)};
}
template <int n> LANE_TARGET R Rotl(R x) {
    return _mm256_or_si256(_mm256_slli_epi32(x, n), _mm256_srli_epi32(x, 32 - n));
}
template <int n> LANE_TARGET V Rotl(V x) {
    return {Rotl<n>(x.lo), Rotl<n>(x.hi)};
}
LANE_TARGET V Choose(V s, V x, V y) {
    return Xor(y, And(s, Xor(x, y)));
}
LANE_TARGET V Parity(V x, V y, V z) {
    return Xor(Xor(x, y), z);
}
LANE_TARGET V Majority(V x, V y, V z) {
    return Or(And(x, y), And(z, Or(x, y)));
}
LANE_TARGET V Md5I(V x, V y, V z) {
    return Xor(y, Or(x, Xor(z, Set(0xFFFFFFFFu))));
}
LANE_TARGET V ByteSwap(V x) {
    const R order = _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12, 3, 2, 1,
                                     0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
    return {_mm256_shuffle_epi8(x.lo, order), _mm256_shuffle_epi8(x.hi, order)};
}
// Word w of eight lanes' blocks into w[w]: the blocks, read as rows of 8
// words (two loads each), are transposed in three rounds of shuffles.
LANE_TARGET void LoadEight(const std::uint8_t* const* blocks, R* w) {
    for (unsigned half = 0; half < 2; ++half) {
        R r[8];
        for (unsigned l = 0; l < 8; ++l) {
            r[l] = _mm256_loadu_si256(reinterpret_cast<const R*>(blocks[l] + 32 * half));
        }
        R t[8];
        for (unsigned k = 0; k < 8; k += 2) {
            t[k] = _mm256_unpacklo_epi32(r[k], r[k + 1]);
            t[k + 1] = _mm256_unpackhi_epi32(r[k], r[k + 1]);
        }
        for (unsigned k = 0; k < 8; k += 4) {
            r[k] = _mm256_unpacklo_epi64(t[k], t[k + 2]);
            r[k + 1] = _mm256_unpackhi_epi64(t[k], t[k + 2]);
            r[k + 2] = _mm256_unpacklo_epi64(t[k + 1], t[k + 3]);
            r[k + 3] = _mm256_unpackhi_epi64(t[k + 1], t[k + 3]);
        }
        for (unsigned m = 0; m < 4; ++m) {
            w[8 * half + m] = _mm256_permute2x128_si256(r[m], r[4 + m], 0x20);
            w[8 * half + 4 + m] = _mm256_permute2x128_si256(r[m], r[4 + m], 0x31);
        }
    }
}
// Word w of every lane's block into w[w].
LANE_TARGET void LoadWords(const std::uint8_t* const* blocks, V* w) {
    R lo[16];
    R hi[16];
    LoadEight(blocks, lo);
    LoadEight(blocks + 8, hi);
    for (unsigned i = 0; i < 16; ++i) {
        w[i] = {lo[i], hi[i]};
    }
}

#include "digest/lane_blocks.inc"

#undef LANE_TARGET

} // namespace avx2

#endif // VARNEL_LANES_X86

void PutLittleEndian(std::uint8_t* out, std::uint64_t value, unsigned bytes) {
    for (unsigned i = 0; i < bytes; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void PutBigEndian(std::uint8_t* out, std::uint64_t value, unsigned bytes) {
    for (unsigned i = 0; i < bytes; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
    }
}

} // namespace

unsigned LaneCount(LaneKind kind) noexcept {
    // AVX-512: one register of 16 lanes; AVX2: two registers of 8.
    (void)kind;
    return 16;
}

bool LaneKindAvailable(LaneKind kind) noexcept {
#ifdef VARNEL_LANES_X86
    // The compiler's check also asks the system whether it saves the
    // registers of the kind.
    switch (kind) {
    case LaneKind::Avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    case LaneKind::Avx2:
        return __builtin_cpu_supports("avx2");
    }
#endif
    (void)kind;
    return false;
}

std::optional<LaneKind> BestLaneKind() noexcept {
    for (const LaneKind kind : {LaneKind::Avx512, LaneKind::Avx2}) {
        if (LaneKindAvailable(kind)) {
            return kind;
        }
    }
    return std::nullopt;
}

MessageLanes::MessageLanes(LaneKind kind, LaneDigestSelection wanted)
    : m_Wanted(wanted), m_Lanes(LaneCount(kind)) {
    if (!LaneKindAvailable(kind)) {
        throw std::invalid_argument("vector lanes not available on this processor");
    }
#ifdef VARNEL_LANES_X86
    if (kind == LaneKind::Avx512) {
        m_Md5Block = &avx512::Md5Block;
        m_Sha1Block = &avx512::Sha1Block;
    } else {
        m_Md5Block = &avx2::Md5Block;
        m_Sha1Block = &avx2::Sha1Block;
    }
#endif
    m_Md5State.assign(4 * m_Lanes.size(), 0);
    m_Sha1State.assign(5 * m_Lanes.size(), 0);
}

void MessageLanes::Start(std::span<const std::uint8_t> message, std::size_t tag) {
    const auto free =
        std::find_if(m_Lanes.begin(), m_Lanes.end(), [](const Lane& lane) { return !lane.busy; });
    if (free == m_Lanes.end()) {
        throw std::logic_error("no free lane");
    }
    Lane& lane = *free;
    const std::size_t l = static_cast<std::size_t>(free - m_Lanes.begin());
    const std::size_t lanes = m_Lanes.size();
    lane.next = message.data();
    lane.wholeBlocks = message.size() / 64;
    lane.tag = tag;
    lane.tailDone = 0;
    // The tail: the bytes after the whole blocks, the 0x80 marker, zeros, and
    // the length in bits in the last 8 bytes (one block when they fit after
    // the marker, else two).
    const std::size_t rest = message.size() % 64;
    lane.tailBlocks = rest < 56 ? 1 : 2;
    const std::uint64_t bits = static_cast<std::uint64_t>(message.size()) * 8;
    const std::size_t end = lane.tailBlocks * 64;
    for (auto* tail : {&lane.md5Tail, &lane.sha1Tail}) {
        tail->fill(0);
        if (rest > 0) {
            std::memcpy(tail->data(), message.data() + lane.wholeBlocks * 64, rest);
        }
        (*tail)[rest] = 0x80;
    }
    PutLittleEndian(lane.md5Tail.data() + end - 8, bits, 8);
    PutBigEndian(lane.sha1Tail.data() + end - 8, bits, 8);
    for (std::size_t i = 0; i < 4; ++i) {
        m_Md5State[i * lanes + l] = kMd5Start[i];
    }
    for (std::size_t i = 0; i < 5; ++i) {
        m_Sha1State[i * lanes + l] = kSha1Start[i];
    }
    lane.busy = true;
    ++m_Busy;
}

void MessageLanes::Run(std::vector<LaneDone>& done) {
    const std::size_t lanes = m_Lanes.size();
    std::array<const std::uint8_t*, 16> md5Blocks{};
    std::array<const std::uint8_t*, 16> sha1Blocks{};
    bool finished = false;
    while (m_Busy > 0 && !finished) {
        for (std::size_t l = 0; l < lanes; ++l) {
            const Lane& lane = m_Lanes[l];
            if (!lane.busy) {
                md5Blocks[l] = sha1Blocks[l] = kIdleBlock;
            } else if (lane.wholeBlocks > 0) {
                md5Blocks[l] = sha1Blocks[l] = lane.next;
            } else {
                md5Blocks[l] = lane.md5Tail.data() + 64 * lane.tailDone;
                sha1Blocks[l] = lane.sha1Tail.data() + 64 * lane.tailDone;
            }
        }
        if (m_Wanted.md5) {
            m_Md5Block(m_Md5State.data(), md5Blocks.data());
        }
        if (m_Wanted.sha1) {
            m_Sha1Block(m_Sha1State.data(), sha1Blocks.data());
        }
        for (std::size_t l = 0; l < lanes; ++l) {
            Lane& lane = m_Lanes[l];
            if (!lane.busy) {
                continue;
            }
            if (lane.wholeBlocks > 0) {
                lane.next += 64;
                --lane.wholeBlocks;
                continue;
            }
            if (++lane.tailDone < lane.tailBlocks) {
                continue;
            }
            LaneDone& out = done.emplace_back();
            out.tag = lane.tag;
            for (std::size_t i = 0; i < 4 && m_Wanted.md5; ++i) {
                PutLittleEndian(out.md5.data() + 4 * i, m_Md5State[i * lanes + l], 4);
            }
            for (std::size_t i = 0; i < 5 && m_Wanted.sha1; ++i) {
                PutBigEndian(out.sha1.data() + 4 * i, m_Sha1State[i * lanes + l], 4);
            }
            lane.busy = false;
            --m_Busy;
            finished = true;
        }
    }
}

} // namespace varnel
