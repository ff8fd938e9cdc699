#include "digest/sha_ni.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define VARNEL_SHA_NI_X86
#endif

#if defined(__clang__)
#define VARNEL_SHA_UNROLL _Pragma("unroll")
#else
#define VARNEL_SHA_UNROLL _Pragma("GCC unroll 20")
#endif

namespace varnel {

namespace {

// A message as the compression sees it: its whole blocks in place, then one
// or two blocks of its own holding the last bytes, the 0x80 marker, zeros and
// the length in bits, big-endian, in the last 8 bytes.
class PaddedMessage {
public:
    explicit PaddedMessage(std::span<const std::uint8_t> message)
        : m_Data(message.data()), m_Whole(message.size() / 64) {
        const std::size_t rest = message.size() % 64;
        const std::size_t tailBlocks = rest < 56 ? 1 : 2;
        if (rest > 0) {
            std::memcpy(m_Tail, message.data() + m_Whole * 64, rest);
        }
        m_Tail[rest] = 0x80;
        const std::uint64_t bits = static_cast<std::uint64_t>(message.size()) * 8;
        std::uint8_t* end = m_Tail + tailBlocks * 64;
        for (unsigned i = 1; i <= 8; ++i) {
            end[-static_cast<int>(i)] = static_cast<std::uint8_t>(bits >> (8 * (i - 1)));
        }
        m_Blocks = m_Whole + tailBlocks;
    }
    std::size_t Blocks() const noexcept { return m_Blocks; }
    const std::uint8_t* Block(std::size_t i) const noexcept {
        return i < m_Whole ? m_Data + 64 * i : m_Tail + 64 * (i - m_Whole);
    }

private:
    const std::uint8_t* m_Data;
    std::size_t m_Whole;
    std::size_t m_Blocks = 0;
    alignas(16) std::uint8_t m_Tail[128] = {};
};

void PutBigEndian32(std::uint8_t* out, std::uint32_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 24);
    out[1] = static_cast<std::uint8_t>(value >> 16);
    out[2] = static_cast<std::uint8_t>(value >> 8);
    out[3] = static_cast<std::uint8_t>(value);
}

#ifdef VARNEL_SHA_NI_X86

#define SHA_TARGET [[gnu::target("sha,ssse3,sse4.1")]] inline

SHA_TARGET __m128i LoadBlockPart(const std::uint8_t* p, __m128i order) {
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), order);
}

// SHA-1: the chaining value as the instructions hold it, A B C D in one
// register (A in the top word) and E in the top word of another.
struct Sha1Regs {
    __m128i abcd;
    __m128i e;
};

SHA_TARGET Sha1Regs Sha1StartRegs() {
    return {_mm_set_epi32(0x67452301, static_cast<int>(0xefcdab89), static_cast<int>(0x98badcfe),
                          0x10325476),
            _mm_set_epi32(static_cast<int>(0xc3d2e1f0), 0, 0, 0)};
}

// One block of each of K messages, the K chains interleaved step by step.
template <unsigned K>
SHA_TARGET void Sha1Blocks(Sha1Regs* regs, const std::uint8_t* const* blocks) {
    // Each 16-byte part of the block reversed: word 0 big-endian in the top.
    const __m128i order = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    __m128i w[K][4];
    __m128i abcd[K];
    __m128i saved[K]; // A B C D before the last four rounds: E of the next four
    __m128i e[K];
    VARNEL_SHA_UNROLL
    for (unsigned k = 0; k < K; ++k) {
        w[k][0] = LoadBlockPart(blocks[k], order);
        abcd[k] = regs[k].abcd;
        e[k] = _mm_add_epi32(regs[k].e, w[k][0]);
        saved[k] = abcd[k];
        abcd[k] = _mm_sha1rnds4_epu32(abcd[k], e[k], 0);
    }
    VARNEL_SHA_UNROLL
    for (unsigned g = 1; g < 20; ++g) {
        VARNEL_SHA_UNROLL
        for (unsigned k = 0; k < K; ++k) {
            __m128i& word = w[k][g & 3];
            if (g < 4) {
                word = LoadBlockPart(blocks[k] + 16 * g, order);
            } else {
                // Words 4g..4g+3 of the schedule from the sixteen before.
                word = _mm_sha1msg2_epu32(
                    _mm_xor_si128(_mm_sha1msg1_epu32(word, w[k][(g + 1) & 3]), w[k][(g + 2) & 3]),
                    w[k][(g + 3) & 3]);
            }
            e[k] = _mm_sha1nexte_epu32(saved[k], word);
            saved[k] = abcd[k];
            // The round function and constant change every 20 rounds.
            switch (g / 5) {
            case 0:
                abcd[k] = _mm_sha1rnds4_epu32(abcd[k], e[k], 0);
                break;
            case 1:
                abcd[k] = _mm_sha1rnds4_epu32(abcd[k], e[k], 1);
                break;
            case 2:
                abcd[k] = _mm_sha1rnds4_epu32(abcd[k], e[k], 2);
                break;
            default:
                abcd[k] = _mm_sha1rnds4_epu32(abcd[k], e[k], 3);
                break;
            }
        }
    }
    VARNEL_SHA_UNROLL
    for (unsigned k = 0; k < K; ++k) {
        regs[k].e = _mm_sha1nexte_epu32(saved[k], regs[k].e);
        regs[k].abcd = _mm_add_epi32(abcd[k], regs[k].abcd);
    }
}

SHA_TARGET std::array<std::uint8_t, 20> Sha1Digest(const Sha1Regs& regs) {
    alignas(16) std::uint32_t words[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(words), regs.abcd);
    std::array<std::uint8_t, 20> out{};
    for (unsigned i = 0; i < 4; ++i) {
        PutBigEndian32(out.data() + 4 * i, words[3 - i]);
    }
    PutBigEndian32(out.data() + 16, static_cast<std::uint32_t>(_mm_extract_epi32(regs.e, 3)));
    return out;
}

SHA_TARGET void Sha1Rest(Sha1Regs& regs, const PaddedMessage& message, std::size_t from) {
    for (std::size_t i = from; i < message.Blocks(); ++i) {
        const std::uint8_t* block = message.Block(i);
        Sha1Blocks<1>(&regs, &block);
    }
}

// SHA-256: the chaining value as the instructions hold it, A B E F in one
// register and C D G H in another (A and C in the top words).
struct Sha256Regs {
    __m128i abef;
    __m128i cdgh;
};

constexpr std::uint32_t kSha256Rounds[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

// One block of each of K messages, the K chains interleaved step by step.
template <unsigned K>
SHA_TARGET void Sha256Blocks(Sha256Regs* regs, const std::uint8_t* const* blocks) {
    // Each 32-bit word of the block big-endian.
    const __m128i order = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i w[K][4];
    __m128i abef[K];
    __m128i cdgh[K];
    VARNEL_SHA_UNROLL
    for (unsigned k = 0; k < K; ++k) {
        abef[k] = regs[k].abef;
        cdgh[k] = regs[k].cdgh;
    }
    VARNEL_SHA_UNROLL
    for (unsigned g = 0; g < 16; ++g) {
        const __m128i constants =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha256Rounds + 4 * g));
        VARNEL_SHA_UNROLL
        for (unsigned k = 0; k < K; ++k) {
            __m128i& word = w[k][g & 3];
            if (g < 4) {
                word = LoadBlockPart(blocks[k] + 16 * g, order);
            } else {
                // Words 4g..4g+3 of the schedule: sigma0 terms (msg1), the
                // words seven back (w[4g-7..4g-4]), then the sigma1 terms
                // (msg2).
                const __m128i back7 = _mm_alignr_epi8(w[k][(g + 3) & 3], w[k][(g + 2) & 3], 4);
                word = _mm_sha256msg2_epu32(
                    _mm_add_epi32(_mm_sha256msg1_epu32(word, w[k][(g + 1) & 3]), back7),
                    w[k][(g + 3) & 3]);
            }
            __m128i sum = _mm_add_epi32(word, constants);
            cdgh[k] = _mm_sha256rnds2_epu32(cdgh[k], abef[k], sum);
            sum = _mm_shuffle_epi32(sum, 0x0E);
            abef[k] = _mm_sha256rnds2_epu32(abef[k], cdgh[k], sum);
        }
    }
    VARNEL_SHA_UNROLL
    for (unsigned k = 0; k < K; ++k) {
        regs[k].abef = _mm_add_epi32(abef[k], regs[k].abef);
        regs[k].cdgh = _mm_add_epi32(cdgh[k], regs[k].cdgh);
    }
}

SHA_TARGET Sha256Regs Sha256StartRegs() {
    // A B E F and C D G H of the starting value.
    return {_mm_set_epi32(0x6a09e667, static_cast<int>(0xbb67ae85), 0x510e527f,
                          static_cast<int>(0x9b05688c)),
            _mm_set_epi32(0x3c6ef372, static_cast<int>(0xa54ff53a), 0x1f83d9ab, 0x5be0cd19)};
}

SHA_TARGET void Sha256Rest(Sha256Regs& regs, const PaddedMessage& message, std::size_t from) {
    for (std::size_t i = from; i < message.Blocks(); ++i) {
        const std::uint8_t* block = message.Block(i);
        Sha256Blocks<1>(&regs, &block);
    }
}

SHA_TARGET std::array<std::uint8_t, 32> Sha256Digest(const Sha256Regs& regs) {
    alignas(16) std::uint32_t abef[4];
    alignas(16) std::uint32_t cdgh[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(abef), regs.abef);
    _mm_store_si128(reinterpret_cast<__m128i*>(cdgh), regs.cdgh);
    const std::uint32_t words[8] = {abef[3], abef[2], cdgh[3], cdgh[2],
                                    abef[1], abef[0], cdgh[1], cdgh[0]};
    std::array<std::uint8_t, 32> out{};
    for (unsigned i = 0; i < 8; ++i) {
        PutBigEndian32(out.data() + 4 * i, words[i]);
    }
    return out;
}

#undef SHA_TARGET

#endif // VARNEL_SHA_NI_X86

void Require() {
    if (!ShaExtensionsAvailable()) {
        throw std::logic_error("the processor has no SHA instructions");
    }
}

} // namespace

bool ShaExtensionsAvailable() noexcept {
#ifdef VARNEL_SHA_NI_X86
    static const bool available = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0 || (b & (1u << 29)) == 0) {
            return false;
        }
        return __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1");
    }();
    return available;
#else
    return false;
#endif
}

std::array<std::uint8_t, 20> Sha1WithShaExtensions(std::span<const std::uint8_t> message) {
    Require();
#ifdef VARNEL_SHA_NI_X86
    const PaddedMessage padded(message);
    Sha1Regs regs = Sha1StartRegs();
    Sha1Rest(regs, padded, 0);
    return Sha1Digest(regs);
#else
    (void)message;
    return {};
#endif
}

void Sha1PairWithShaExtensions(std::span<const std::uint8_t> first,
                               std::span<const std::uint8_t> second,
                               std::array<std::uint8_t, 20>& firstDigest,
                               std::array<std::uint8_t, 20>& secondDigest) {
    Require();
#ifdef VARNEL_SHA_NI_X86
    const PaddedMessage a(first);
    const PaddedMessage b(second);
    Sha1Regs regs[2] = {Sha1StartRegs(), Sha1StartRegs()};
    const std::size_t both = std::min(a.Blocks(), b.Blocks());
    for (std::size_t i = 0; i < both; ++i) {
        const std::uint8_t* blocks[2] = {a.Block(i), b.Block(i)};
        Sha1Blocks<2>(regs, blocks);
    }
    Sha1Rest(regs[0], a, both);
    Sha1Rest(regs[1], b, both);
    firstDigest = Sha1Digest(regs[0]);
    secondDigest = Sha1Digest(regs[1]);
#else
    (void)first;
    (void)second;
    (void)firstDigest;
    (void)secondDigest;
#endif
}

std::array<std::uint8_t, 32> Sha256WithShaExtensions(std::span<const std::uint8_t> message) {
    Require();
#ifdef VARNEL_SHA_NI_X86
    const PaddedMessage padded(message);
    Sha256Regs regs = Sha256StartRegs();
    Sha256Rest(regs, padded, 0);
    return Sha256Digest(regs);
#else
    (void)message;
    return {};
#endif
}

void Sha256PairWithShaExtensions(std::span<const std::uint8_t> first,
                                 std::span<const std::uint8_t> second,
                                 std::array<std::uint8_t, 32>& firstDigest,
                                 std::array<std::uint8_t, 32>& secondDigest) {
    Require();
#ifdef VARNEL_SHA_NI_X86
    const PaddedMessage a(first);
    const PaddedMessage b(second);
    Sha256Regs regs[2] = {Sha256StartRegs(), Sha256StartRegs()};
    const std::size_t both = std::min(a.Blocks(), b.Blocks());
    for (std::size_t i = 0; i < both; ++i) {
        const std::uint8_t* blocks[2] = {a.Block(i), b.Block(i)};
        Sha256Blocks<2>(regs, blocks);
    }
    Sha256Rest(regs[0], a, both);
    Sha256Rest(regs[1], b, both);
    firstDigest = Sha256Digest(regs[0]);
    secondDigest = Sha256Digest(regs[1]);
#else
    (void)first;
    (void)second;
    (void)firstDigest;
    (void)secondDigest;
#endif
}

} // namespace varnel
