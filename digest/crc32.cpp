#include "digest/crc32.h"

#include "digest/binary_file_stream.h"
#include "platform/os/errors.h"

#include <bit>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define VARNEL_CRC32_X86 1
#endif

namespace varnel {

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

// Row 0 as the calculator builds it: eight logical right shifts per byte,
// XOR with the reflected polynomial whenever a one bit leaves the register.
constexpr void FillByteTable(std::array<std::uint32_t, 256>& table) {
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 1u) != 0 ? (c >> 1) ^ kPolynomial : c >> 1;
        }
        table[i] = c;
    }
}

// Rows 1..15 from row 0: row k holds the remainder of byte i followed by k
// zero bytes, i.e. one more byte-wise update of row k-1 with a zero byte.
constexpr void DeriveSliceRows(detail::Crc32Tables& t) {
    for (std::size_t k = 1; k < t.size(); ++k) {
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint32_t prev = t[k - 1][i];
            t[k][i] = (prev >> 8) ^ t[0][prev & 0xFFu];
        }
    }
}

constexpr detail::Crc32Tables MakeTables() {
    detail::Crc32Tables t{};
    FillByteTable(t[0]);
    DeriveSliceRows(t);
    return t;
}

// The tables of the free streaming functions, made by the compiler.
constexpr detail::Crc32Tables kTables = MakeTables();

static_assert(kTables[0][1] == 0x77073096u, "CRC-32 table entry 1");
static_assert(kTables[0][255] == 0x2D02EF8Du, "CRC-32 table entry 255");

std::uint32_t LoadLe32(const std::uint8_t* p) noexcept {
    std::uint32_t v = 0;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) {
        v = (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
    }
    return v;
}

// Slicing-by-16: sixteen bytes per step through sixteen independent table
// lookups, then the remaining bytes one at a time.
std::uint32_t UpdateSliced(const detail::Crc32Tables& t, std::uint32_t crc, const std::uint8_t* p,
                           std::size_t n) noexcept {
    while (n >= 16) {
        const std::uint32_t w0 = LoadLe32(p) ^ crc;
        const std::uint32_t w1 = LoadLe32(p + 4);
        const std::uint32_t w2 = LoadLe32(p + 8);
        const std::uint32_t w3 = LoadLe32(p + 12);
        crc = t[15][w0 & 0xFFu] ^ t[14][(w0 >> 8) & 0xFFu] ^ t[13][(w0 >> 16) & 0xFFu] ^
              t[12][w0 >> 24] ^ t[11][w1 & 0xFFu] ^ t[10][(w1 >> 8) & 0xFFu] ^
              t[9][(w1 >> 16) & 0xFFu] ^ t[8][w1 >> 24] ^ t[7][w2 & 0xFFu] ^
              t[6][(w2 >> 8) & 0xFFu] ^ t[5][(w2 >> 16) & 0xFFu] ^ t[4][w2 >> 24] ^
              t[3][w3 & 0xFFu] ^ t[2][(w3 >> 8) & 0xFFu] ^ t[1][(w3 >> 16) & 0xFFu] ^
              t[0][w3 >> 24];
        p += 16;
        n -= 16;
    }
    while (n > 0) {
        crc = (crc >> 8) ^ t[0][(crc ^ *p) & 0xFFu];
        ++p;
        --n;
    }
    return crc;
}

#ifdef VARNEL_CRC32_X86

// Folding by carry-less multiplication (the method of Gopal et al., "Fast
// CRC Computation for Generic Polynomials Using PCLMULQDQ Instruction",
// Intel 2009), with the constants of the bit-reflected CRC-32 polynomial:
// four 128-bit lanes are folded 64 bytes ahead, then into one lane, which is
// reduced to 32 bits by Barrett reduction. n must be at least 64 and a
// multiple of 16. Takes and returns the raw register.
#define VARNEL_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

VARNEL_CLMUL_TARGET inline __m128i load(const std::uint8_t* at) noexcept {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// One 128-bit fold: acc multiplied forward by the distance in k, plus next.
VARNEL_CLMUL_TARGET inline __m128i fold(__m128i acc, __m128i next, __m128i k) noexcept {
    const __m128i lo = _mm_clmulepi64_si128(acc, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(acc, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(hi, next), lo);
}

// x^(4*128+64) and x^(4*128) mod P, reflected and shifted (fold by 4 lanes,
// 64 bytes).
constexpr long long kFold4Low = 0x0154442bd4LL;
constexpr long long kFold4High = 0x01c6e41596LL;

// Four 128-bit lanes standing for the 64 bytes before p, folded into one and
// reduced with the n further bytes (a multiple of 16) to the raw register.
VARNEL_CLMUL_TARGET std::uint32_t FinishClmul(__m128i x1, __m128i x2, __m128i x3, __m128i x4,
                                              const std::uint8_t* p, std::size_t n) noexcept {
    // x^(128+64) and x^128 mod P (fold by 1).
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009eLL, 0x01751997d0LL);
    // x^64 mod P (fold 64 bits to 32).
    const __m128i k5k0 = _mm_set_epi64x(0, 0x0163cd6124LL);
    // The polynomial and its Barrett constant.
    const __m128i poly = _mm_set_epi64x(0x01f7011641LL, 0x01db710641LL);
    const __m128i mask32 = _mm_setr_epi32(-1, 0, -1, 0);

    // Four lanes into one.
    x1 = fold(x1, x2, k3k4);
    x1 = fold(x1, x3, k3k4);
    x1 = fold(x1, x4, k3k4);
    while (n >= 16) {
        x1 = fold(x1, load(p), k3k4);
        p += 16;
        n -= 16;
    }

    // 128 bits to 64.
    __m128i x = _mm_clmulepi64_si128(x1, k3k4, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x);
    // 64 bits to 32 (plus 32 carried along).
    x = _mm_srli_si128(x1, 4);
    x1 = _mm_and_si128(x1, mask32);
    x1 = _mm_clmulepi64_si128(x1, k5k0, 0x00);
    x1 = _mm_xor_si128(x1, x);
    // Barrett reduction to the 32-bit remainder.
    x = _mm_and_si128(x1, mask32);
    x = _mm_clmulepi64_si128(x, poly, 0x10);
    x = _mm_and_si128(x, mask32);
    x = _mm_clmulepi64_si128(x, poly, 0x00);
    x1 = _mm_xor_si128(x1, x);
    return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

VARNEL_CLMUL_TARGET std::uint32_t UpdateClmul(std::uint32_t crc, const std::uint8_t* p,
                                              std::size_t n) noexcept {
    const __m128i k1k2 = _mm_set_epi64x(kFold4High, kFold4Low);
    __m128i x1 = load(p);
    __m128i x2 = load(p + 16);
    __m128i x3 = load(p + 32);
    __m128i x4 = load(p + 48);
    x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128(static_cast<int>(crc)));
    p += 64;
    n -= 64;

    while (n >= 64) {
        x1 = fold(x1, load(p), k1k2);
        x2 = fold(x2, load(p + 16), k1k2);
        x3 = fold(x3, load(p + 32), k1k2);
        x4 = fold(x4, load(p + 48), k1k2);
        p += 64;
        n -= 64;
    }
    return FinishClmul(x1, x2, x3, x4, p, n);
}

// The same folding on 256-bit registers (VPCLMULQDQ): four registers of two
// lanes each, 128 bytes ahead per step, then folded to the four 128-bit
// lanes of the narrow code. n must be at least 128 and a multiple of 16.
#define VARNEL_WIDE_CLMUL_TARGET __attribute__((target("vpclmulqdq,avx2,pclmul,sse4.1")))

VARNEL_WIDE_CLMUL_TARGET inline __m256i load256(const std::uint8_t* at) noexcept {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
}

VARNEL_WIDE_CLMUL_TARGET inline __m256i fold256(__m256i acc, __m256i next, __m256i k) noexcept {
    const __m256i lo = _mm256_clmulepi64_epi128(acc, k, 0x00);
    const __m256i hi = _mm256_clmulepi64_epi128(acc, k, 0x11);
    return _mm256_xor_si256(_mm256_xor_si256(hi, next), lo);
}

VARNEL_WIDE_CLMUL_TARGET std::uint32_t UpdateWideClmul(std::uint32_t crc, const std::uint8_t* p,
                                                       std::size_t n) noexcept {
    // x^(8*128+64) and x^(8*128) mod P (fold by 8 lanes, 128 bytes).
    const __m256i k8 =
        _mm256_set_epi64x(0x014a7fe880LL, 0x01e88ef372LL, 0x014a7fe880LL, 0x01e88ef372LL);
    const __m256i k4 = _mm256_set_epi64x(kFold4High, kFold4Low, kFold4High, kFold4Low);
    __m256i y0 = load256(p);
    __m256i y1 = load256(p + 32);
    __m256i y2 = load256(p + 64);
    __m256i y3 = load256(p + 96);
    y0 = _mm256_xor_si256(y0, _mm256_inserti128_si256(_mm256_setzero_si256(),
                                                      _mm_cvtsi32_si128(static_cast<int>(crc)), 0));
    p += 128;
    n -= 128;
    while (n >= 128) {
        y0 = fold256(y0, load256(p), k8);
        y1 = fold256(y1, load256(p + 32), k8);
        y2 = fold256(y2, load256(p + 64), k8);
        y3 = fold256(y3, load256(p + 96), k8);
        p += 128;
        n -= 128;
    }
    // The last 64 bytes folded onto the first 64, then four 128-bit lanes.
    y0 = fold256(y0, y2, k4);
    y1 = fold256(y1, y3, k4);
    const __m128i x1 = _mm256_castsi256_si128(y0);
    const __m128i x2 = _mm256_extracti128_si256(y0, 1);
    const __m128i x3 = _mm256_castsi256_si128(y1);
    const __m128i x4 = _mm256_extracti128_si256(y1, 1);
    _mm256_zeroupper();
    return FinishClmul(x1, x2, x3, x4, p, n);
}

#undef VARNEL_WIDE_CLMUL_TARGET
#undef VARNEL_CLMUL_TARGET

#endif

// The shared update: long runs through the carry-less folding when the CPU
// has it, the rest (and everything on other CPUs) through the tables.
std::uint32_t UpdateOn(detail::Crc32Path path, const detail::Crc32Tables& t, std::uint32_t crc,
                       std::span<const std::uint8_t> data) noexcept {
    const std::uint8_t* p = data.data();
    std::size_t n = data.size();
#ifdef VARNEL_CRC32_X86
    const std::size_t bulk = n & ~static_cast<std::size_t>(15);
    if (path == detail::Crc32Path::WideClmul && n >= 128) {
        crc = UpdateWideClmul(crc, p, bulk);
        p += bulk;
        n -= bulk;
    } else if (path != detail::Crc32Path::Tables && n >= 64) {
        crc = UpdateClmul(crc, p, bulk);
        p += bulk;
        n -= bulk;
    }
#else
    (void)path;
#endif
    return UpdateSliced(t, crc, p, n);
}

// The fastest path this processor has, chosen once.
detail::Crc32Path BestPath() noexcept {
    static const detail::Crc32Path best = [] {
        for (const detail::Crc32Path path :
             {detail::Crc32Path::WideClmul, detail::Crc32Path::Clmul}) {
            if (detail::Crc32PathAvailable(path)) {
                return path;
            }
        }
        return detail::Crc32Path::Tables;
    }();
    return best;
}

std::uint32_t Update(const detail::Crc32Tables& t, std::uint32_t crc,
                     std::span<const std::uint8_t> data) noexcept {
    return UpdateOn(BestPath(), t, crc, data);
}

} // namespace

namespace detail {

std::uint32_t Crc32UpdatePortable(std::uint32_t crc, std::span<const std::uint8_t> data) noexcept {
    return UpdateSliced(kTables, crc, data.data(), data.size());
}

bool Crc32HardwareAvailable() noexcept {
    return Crc32PathAvailable(Crc32Path::Clmul);
}

bool Crc32PathAvailable(Crc32Path path) noexcept {
#ifdef VARNEL_CRC32_X86
    switch (path) {
    case Crc32Path::Tables:
        return true;
    case Crc32Path::Clmul:
        return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    case Crc32Path::WideClmul: {
        // The AVX2 check also asks whether the system saves the 256-bit
        // registers; VPCLMULQDQ is bit 10 of ECX in leaf 7. Asked once: under
        // a hypervisor each CPUID instruction can cost microseconds.
        static const bool wide = [] {
            unsigned a = 0, b = 0, c = 0, d = 0;
            return Crc32PathAvailable(Crc32Path::Clmul) && __builtin_cpu_supports("avx2") &&
                   __get_cpuid_count(7, 0, &a, &b, &c, &d) != 0 && (c & (1u << 10)) != 0;
        }();
        return wide;
    }
    }
    return false;
#else
    return path == Crc32Path::Tables;
#endif
}

std::uint32_t Crc32UpdateOn(Crc32Path path, std::uint32_t crc,
                            std::span<const std::uint8_t> data) noexcept {
    return UpdateOn(Crc32PathAvailable(path) ? path : Crc32Path::Tables, kTables, crc, data);
}

} // namespace detail

const char* Crc32PathName() noexcept {
    switch (BestPath()) {
    case detail::Crc32Path::WideClmul:
        return "VPCLMULQDQ";
    case detail::Crc32Path::Clmul:
        return "PCLMULQDQ";
    case detail::Crc32Path::Tables:
        break;
    }
    return "tables";
}

std::uint32_t Crc32Update(std::uint32_t crc, std::span<const std::uint8_t> data) noexcept {
    return Update(kTables, crc, data);
}

std::uint32_t Crc32(std::span<const std::uint8_t> data) noexcept {
    return Crc32Final(Crc32Update(Crc32Init(), data));
}

CRC32_Class::CRC32_Class() {
    FillByteTable(m_CrcTable[0]);
    DeriveSliceRows(m_CrcTable);
}

std::uint32_t CRC32_Class::GetByteArrayCrc32(std::span<const std::uint8_t> bytes) const {
    // The array is walked with 16-bit signed bounds: its upper bound must not
    // pass 32,767.
    constexpr std::size_t kMaxElements = 32768;
    if (bytes.size() >= kMaxElements) {
        throw RuntimeError(kErrOverflow, "Varnel", StandardErrorMessage(kErrOverflow));
    }
    return Crc32Final(Update(m_CrcTable, Crc32Init(), bytes));
}

std::uint32_t CRC32_Class::GetFileCrc32(BinaryFileStream_Class& stream) const {
    // The stream's remaining bytes go through the program's one read loop,
    // which reads in large chunks; the value is the same as chunk by chunk.
    FileHasher hasher(false);
    DigestSelection wanted;
    wanted.crc32 = true;
    return stream.HashRest(hasher, wanted).crc32;
}

} // namespace varnel
