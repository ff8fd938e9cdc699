#include "digest/blake3.h"

#include "digest/blake3_internal.h"
#include "formats/hex.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace varnel {

namespace {

using namespace blake3;

// A long run of whole chunks is hashed as complete subtrees of this many
// chunks (or fewer): the chunks' chaining values side by side, then each
// level of parents side by side, all inside 16 KiB of stack.
constexpr std::uint64_t kGroupChunks = 256;
// Threads are worth starting from this many bytes in one Update.
constexpr std::uint64_t kThreadedBytes = std::uint64_t{256} << 10;
// The smallest subtree handed to a thread, and the most threads.
constexpr std::uint64_t kThreadPieceChunks = 32;
constexpr unsigned kMaxThreads = 64;
// Subtrees cut from one Update and hashed before they are merged.
constexpr std::size_t kMaxPieces = 64;
// The lanes of the widest path.
constexpr std::size_t kMostLanes = 16;
#ifdef VARNEL_BLAKE3_X86
static_assert(kAvx512Lanes <= kMostLanes && kAvx2Lanes <= kMostLanes);
#endif

std::uint32_t LoadLittleEndian(const std::uint8_t* p) noexcept {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

void StoreLittleEndian(std::uint8_t* p, std::uint32_t w) noexcept {
    p[0] = static_cast<std::uint8_t>(w);
    p[1] = static_cast<std::uint8_t>(w >> 8);
    p[2] = static_cast<std::uint8_t>(w >> 16);
    p[3] = static_cast<std::uint8_t>(w >> 24);
}

#if defined(__SSE2__)

// The compression function on the four rows of the state, one SSE2 register
// each: a round's four column mixes are one mix of the rows, and its four
// diagonal mixes one more after the rows are turned so that the diagonals
// stand in columns. SSE2 is part of every x86-64 processor.
template <int N> __m128i RotateRight(__m128i x) noexcept {
    return _mm_or_si128(_mm_srli_epi32(x, N), _mm_slli_epi32(x, 32 - N));
}

template <> __m128i RotateRight<16>(__m128i x) noexcept {
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0xB1), 0xB1);
}

inline void MixRows(__m128i& a, __m128i& b, __m128i& c, __m128i& d, __m128i mx,
                    __m128i my) noexcept {
    a = _mm_add_epi32(_mm_add_epi32(a, b), mx);
    d = RotateRight<16>(_mm_xor_si128(d, a));
    c = _mm_add_epi32(c, d);
    b = RotateRight<12>(_mm_xor_si128(b, c));
    a = _mm_add_epi32(_mm_add_epi32(a, b), my);
    d = RotateRight<8>(_mm_xor_si128(d, a));
    c = _mm_add_epi32(c, d);
    b = RotateRight<7>(_mm_xor_si128(b, c));
}

inline __m128i Words(const std::uint32_t* m, std::uint8_t i0, std::uint8_t i1, std::uint8_t i2,
                     std::uint8_t i3) noexcept {
    return _mm_set_epi32(static_cast<int>(m[i3]), static_cast<int>(m[i2]), static_cast<int>(m[i1]),
                         static_cast<int>(m[i0]));
}

// The compression function, keeping the first half of its output (the new
// chaining value, or the 32-byte digest at the root).
std::array<std::uint32_t, 8> Compress(const std::array<std::uint32_t, 8>& cv,
                                      const std::uint32_t* m, std::uint64_t counter,
                                      std::uint32_t blockLength, std::uint32_t flags) noexcept {
    __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cv.data()));
    __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cv.data() + 4));
    __m128i r2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kIv));
    __m128i r3 = _mm_set_epi32(static_cast<int>(flags), static_cast<int>(blockLength),
                               static_cast<int>(counter >> 32), static_cast<int>(counter));
    for (unsigned r = 0; r < kRounds; ++r) {
        const auto& s = kSchedule[r];
        MixRows(r0, r1, r2, r3, Words(m, s[0], s[2], s[4], s[6]), Words(m, s[1], s[3], s[5], s[7]));
        r1 = _mm_shuffle_epi32(r1, _MM_SHUFFLE(0, 3, 2, 1));
        r2 = _mm_shuffle_epi32(r2, _MM_SHUFFLE(1, 0, 3, 2));
        r3 = _mm_shuffle_epi32(r3, _MM_SHUFFLE(2, 1, 0, 3));
        MixRows(r0, r1, r2, r3, Words(m, s[8], s[10], s[12], s[14]),
                Words(m, s[9], s[11], s[13], s[15]));
        r1 = _mm_shuffle_epi32(r1, _MM_SHUFFLE(2, 1, 0, 3));
        r2 = _mm_shuffle_epi32(r2, _MM_SHUFFLE(1, 0, 3, 2));
        r3 = _mm_shuffle_epi32(r3, _MM_SHUFFLE(0, 3, 2, 1));
    }
    std::array<std::uint32_t, 8> out;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out.data()), _mm_xor_si128(r0, r2));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out.data() + 4), _mm_xor_si128(r1, r3));
    return out;
}

#else

inline void G(std::uint32_t* v, unsigned a, unsigned b, unsigned c, unsigned d, std::uint32_t mx,
              std::uint32_t my) noexcept {
    v[a] = v[a] + v[b] + mx;
    v[d] = std::rotr(v[d] ^ v[a], 16);
    v[c] = v[c] + v[d];
    v[b] = std::rotr(v[b] ^ v[c], 12);
    v[a] = v[a] + v[b] + my;
    v[d] = std::rotr(v[d] ^ v[a], 8);
    v[c] = v[c] + v[d];
    v[b] = std::rotr(v[b] ^ v[c], 7);
}

// The compression function, keeping the first half of its output (the new
// chaining value, or the 32-byte digest at the root).
std::array<std::uint32_t, 8> Compress(const std::array<std::uint32_t, 8>& cv,
                                      const std::uint32_t* m, std::uint64_t counter,
                                      std::uint32_t blockLength, std::uint32_t flags) noexcept {
    std::uint32_t v[16] = {cv[0],
                           cv[1],
                           cv[2],
                           cv[3],
                           cv[4],
                           cv[5],
                           cv[6],
                           cv[7],
                           kIv[0],
                           kIv[1],
                           kIv[2],
                           kIv[3],
                           static_cast<std::uint32_t>(counter),
                           static_cast<std::uint32_t>(counter >> 32),
                           blockLength,
                           flags};
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
    std::array<std::uint32_t, 8> out;
    for (unsigned i = 0; i < 8; ++i) {
        out[i] = v[i] ^ v[i + 8];
    }
    return out;
}

#endif

constexpr std::array<std::uint32_t, 8> kKey = {kIv[0], kIv[1], kIv[2], kIv[3],
                                               kIv[4], kIv[5], kIv[6], kIv[7]};

void BlockWords(const std::uint8_t* block, std::uint32_t* m) noexcept {
    for (unsigned i = 0; i < 16; ++i) {
        m[i] = LoadLittleEndian(block + 4 * i);
    }
}

std::array<std::uint32_t, 8> CvFromBytes(const std::uint8_t* p) noexcept {
    std::array<std::uint32_t, 8> cv;
    for (unsigned i = 0; i < 8; ++i) {
        cv[i] = LoadLittleEndian(p + 4 * i);
    }
    return cv;
}

std::array<std::uint32_t, 8> ParentCv(const std::array<std::uint32_t, 8>& left,
                                      const std::array<std::uint32_t, 8>& right,
                                      std::uint32_t flags) noexcept {
    std::uint32_t m[16];
    std::copy(left.begin(), left.end(), m);
    std::copy(right.begin(), right.end(), m + 8);
    return Compress(kKey, m, 0, static_cast<std::uint32_t>(kBlockBytes), kParent | flags);
}

// A compression path: its many-inputs entry and how many inputs it takes at
// once.
struct Backend {
    HashManyFn hashMany;
    std::size_t lanes;
};

Backend BackendOf(detail::Blake3Path path) noexcept {
#ifdef VARNEL_BLAKE3_X86
    switch (path) {
    case detail::Blake3Path::Avx512:
        return {&HashManyAvx512, kAvx512Lanes};
    case detail::Blake3Path::Avx2:
        return {&HashManyAvx2, kAvx2Lanes};
    case detail::Blake3Path::Portable:
        break;
    }
#endif
    (void)path;
    return {&HashManyPortable, 1};
}

// HashMany on the backend, but a lone input on the portable code: a vector
// pass costs more than one compression, whatever the number of live lanes.
void HashMany(const Backend& backend, const std::uint8_t* const* inputs, std::size_t count,
              std::size_t blocks, std::uint64_t counter, bool countUp, std::uint32_t flags,
              std::uint32_t flagsStart, std::uint32_t flagsEnd, std::uint8_t* out) noexcept {
    const HashManyFn fn = count < 2 ? &HashManyPortable : backend.hashMany;
    fn(inputs, count, blocks, counter, countUp, flags, flagsStart, flagsEnd, out);
}

// The chaining value of `chunks` whole chunks (a power of two, at most
// kGroupChunks) starting at input, the first with the given counter: a
// complete subtree, never the root.
std::array<std::uint32_t, 8> GroupCv(const Backend& backend, const std::uint8_t* input,
                                     std::uint64_t chunks, std::uint64_t counter) noexcept {
    alignas(64) std::uint8_t level[kGroupChunks * kCvBytes];
    alignas(64) std::uint8_t up[kGroupChunks / 2 * kCvBytes];
    const std::uint8_t* inputs[kGroupChunks];
    const std::size_t count = static_cast<std::size_t>(chunks);
    for (std::size_t i = 0; i < count; ++i) {
        inputs[i] = input + i * kChunkBytes;
    }
    HashMany(backend, inputs, count, kBlocksPerChunk, counter, true, 0, kChunkStart, kChunkEnd,
             level);
    // Each parent's block is its two children's chaining values, side by
    // side in `level` already.
    for (std::size_t n = count; n > 1; n /= 2) {
        for (std::size_t i = 0; i < n / 2; ++i) {
            inputs[i] = level + 2 * i * kCvBytes;
        }
        HashMany(backend, inputs, n / 2, 1, 0, false, kParent, 0, 0, up);
        std::memcpy(level, up, n / 2 * kCvBytes);
    }
    return CvFromBytes(level);
}

// The chaining value of the complete subtree of `chunks` whole chunks (a
// power of two).
std::array<std::uint32_t, 8> SubtreeCv(const Backend& backend, const std::uint8_t* input,
                                       std::uint64_t chunks, std::uint64_t counter) noexcept {
    if (chunks <= kGroupChunks) {
        return GroupCv(backend, input, chunks, counter);
    }
    const std::uint64_t half = chunks / 2;
    const auto left = SubtreeCv(backend, input, half, counter);
    const auto right = SubtreeCv(backend, input + static_cast<std::size_t>(half) * kChunkBytes,
                                 half, counter + half);
    return ParentCv(left, right, 0);
}

// Complete subtrees cut from one Update, hashed by whichever thread takes
// each first.
struct SubtreeJob {
    struct Piece {
        const std::uint8_t* input;
        std::uint64_t chunks;
        std::uint64_t counter;
        std::array<std::uint32_t, 8> cv;
    };
    Backend backend{};
    std::size_t count = 0;
    std::array<Piece, kMaxPieces> pieces;
    std::atomic<std::size_t> next{0};
    // The pieces finished, waited for with a condition variable. The
    // standard library's atomic wait, which has no futex to stand on with
    // mingw-w64, was seen to miss a wake-up under wine and leave a hash
    // waiting for ever (most runs of a 6 MiB hash on two threads).
    std::mutex mutex;
    std::condition_variable finished;
    std::size_t done = 0;

    void Work() noexcept {
        for (std::size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < count;) {
            Piece& piece = pieces[i];
            piece.cv = SubtreeCv(backend, piece.input, piece.chunks, piece.counter);
            const std::lock_guard lock(mutex);
            ++done;
            finished.notify_all();
        }
    }
    void WaitDone() noexcept {
        std::unique_lock lock(mutex);
        finished.wait(lock, [this] { return done == count; });
    }
};

detail::Blake3Path BestPath() noexcept {
    static const detail::Blake3Path best = [] {
        for (const auto path : {detail::Blake3Path::Avx512, detail::Blake3Path::Avx2}) {
            if (detail::Blake3PathAvailable(path)) {
                return path;
            }
        }
        return detail::Blake3Path::Portable;
    }();
    return best;
}

} // namespace

namespace blake3 {

void HashManyPortable(const std::uint8_t* const* inputs, std::size_t count, std::size_t blocks,
                      std::uint64_t counter, bool countUp, std::uint32_t flags,
                      std::uint32_t flagsStart, std::uint32_t flagsEnd, std::uint8_t* out) {
    for (std::size_t i = 0; i < count; ++i) {
        std::array<std::uint32_t, 8> cv = kKey;
        for (std::size_t block = 0; block < blocks; ++block) {
            std::uint32_t m[16];
            BlockWords(inputs[i] + block * kBlockBytes, m);
            std::uint32_t blockFlags = flags;
            if (block == 0) {
                blockFlags |= flagsStart;
            }
            if (block + 1 == blocks) {
                blockFlags |= flagsEnd;
            }
            cv = Compress(cv, m, counter, static_cast<std::uint32_t>(kBlockBytes), blockFlags);
        }
        for (unsigned w = 0; w < 8; ++w) {
            StoreLittleEndian(out + i * kCvBytes + 4 * w, cv[w]);
        }
        if (countUp) {
            ++counter;
        }
    }
}

} // namespace blake3

bool detail::Blake3PathAvailable(Blake3Path path) noexcept {
    switch (path) {
    case Blake3Path::Portable:
        return true;
#ifdef VARNEL_BLAKE3_X86
    // The compiler's check also asks the system whether it saves the
    // registers of the kind.
    case Blake3Path::Avx2:
        return __builtin_cpu_supports("avx2");
    case Blake3Path::Avx512:
        return __builtin_cpu_supports("avx512f");
#else
    case Blake3Path::Avx2:
    case Blake3Path::Avx512:
        return false;
#endif
    }
    return false;
}

Blake3::Blake3() noexcept : Blake3(BestPath()) {}

Blake3::Blake3(detail::Blake3Path path) noexcept
    : m_ChunkCv(kKey),
      m_Path(detail::Blake3PathAvailable(path) ? path : detail::Blake3Path::Portable) {}

void Blake3::SetThreads(unsigned threads) noexcept {
    m_Threads = std::clamp(threads, 1u, kMaxThreads);
}

void Blake3::CompressBufferedBlock(std::uint32_t flags) noexcept {
    std::uint32_t m[16];
    BlockWords(m_Block.data(), m);
    if (m_BlocksCompressed == 0) {
        flags |= kChunkStart;
    }
    m_ChunkCv = Compress(m_ChunkCv, m, m_ChunkCounter, m_BlockLength, flags);
}

void Blake3::FinishChunk() noexcept {
    CompressBufferedBlock(kChunkEnd);
    const Cv cv = m_ChunkCv;
    m_ChunkCv = kKey;
    m_BlocksCompressed = 0;
    m_BlockLength = 0;
    PushSubtree(cv, 1);
}

// The stack holds one complete subtree per set bit of the chunk count, the
// largest at the bottom. A subtree of 2^k chunks starts where the count is a
// multiple of 2^k, so adding it carries like binary addition: equal
// neighbours on top merge until as many subtrees remain as the new count has
// set bits. The current chunk always holds at least one byte after them, so
// none of these merges is the root.
void Blake3::PushSubtree(const Cv& cv, std::uint64_t chunks) noexcept {
    m_Stack[m_StackSize++] = cv;
    m_ChunkCounter += chunks;
    while (m_StackSize > std::popcount(m_ChunkCounter)) {
        m_Stack[m_StackSize - 2u] =
            ParentCv(m_Stack[m_StackSize - 2u], m_Stack[m_StackSize - 1u], 0);
        --m_StackSize;
    }
}

void Blake3::AddWholeChunks(const std::uint8_t* chunks, std::uint64_t count) noexcept {
    const Backend backend = BackendOf(m_Path);
    if (count >= 2 && count <= backend.lanes) {
        // No more chunks than lanes (a small file's): one vector pass for
        // them all, rather than one per power-of-two subtree, each with its
        // lanes mostly empty; the few parents are merged as they come.
        alignas(64) std::uint8_t cvs[kMostLanes * kCvBytes];
        const std::uint8_t* inputs[kMostLanes];
        const auto n = static_cast<std::size_t>(count);
        for (std::size_t i = 0; i < n; ++i) {
            inputs[i] = chunks + i * kChunkBytes;
        }
        HashMany(backend, inputs, n, kBlocksPerChunk, m_ChunkCounter, true, 0, kChunkStart,
                 kChunkEnd, cvs);
        for (std::size_t i = 0; i < n; ++i) {
            PushSubtree(CvFromBytes(cvs + i * kCvBytes), 1);
        }
        return;
    }
    const unsigned threads = count * kChunkBytes >= kThreadedBytes ? m_Threads : 1;
    // Pieces small enough for several per thread (so that the threads finish
    // together), each a complete subtree: a power of two of chunks, starting
    // where the count is a multiple of its size.
    const std::uint64_t cap =
        threads > 1 ? std::max(kThreadPieceChunks, std::bit_floor(count / (threads * 8u)))
                    : std::numeric_limits<std::uint64_t>::max();
    while (count > 0) {
        // Shared with the helper threads, which may outlive this call: a
        // helper that starts after the pieces are all taken finds nothing to
        // do and ends on its own, so only the pieces a helper has taken are
        // waited for.
        std::shared_ptr<SubtreeJob> job;
        SubtreeJob local;
        if (threads > 1) {
            try {
                job = std::make_shared<SubtreeJob>();
            } catch (...) {
                // without memory for the shared job the pieces stay on this thread
            }
        }
        SubtreeJob& pieces = job ? *job : local;
        pieces.backend = backend;
        std::size_t& n = pieces.count;
        std::uint64_t counter = m_ChunkCounter;
        for (; count > 0 && n < kMaxPieces; ++n) {
            std::uint64_t size = std::min(std::bit_floor(count), cap);
            if (counter != 0) {
                size = std::min(size, counter & (~counter + 1));
            }
            pieces.pieces[n] = {chunks, size, counter, {}};
            chunks += static_cast<std::size_t>(size) * kChunkBytes;
            count -= size;
            counter += size;
        }
        if (job) {
            for (unsigned t = 1; t < threads && t < n; ++t) {
                try {
                    std::thread([job] { job->Work(); }).detach();
                } catch (...) {
                    break; // the threads already started and this one share the pieces
                }
            }
        }
        pieces.Work();
        pieces.WaitDone();
        for (std::size_t i = 0; i < n; ++i) {
            PushSubtree(pieces.pieces[i].cv, pieces.pieces[i].chunks);
        }
    }
}

// `count` whole chunks (2 to the lanes of a vector pass) that may end the
// message, in one pass: all but the last are pushed, the last waits as the
// current chunk with its chaining value known. Holding back its last block
// instead, as Update otherwise does, would cost a quarter of a 4 KiB file's
// time in one-block compressions.
void Blake3::HashFinalChunks(const std::uint8_t* chunks, std::size_t count) noexcept {
    alignas(64) std::uint8_t cvs[kMostLanes * kCvBytes];
    const std::uint8_t* inputs[kMostLanes];
    for (std::size_t i = 0; i < count; ++i) {
        inputs[i] = chunks + i * kChunkBytes;
    }
    HashMany(BackendOf(m_Path), inputs, count, kBlocksPerChunk, m_ChunkCounter, true, 0,
             kChunkStart, kChunkEnd, cvs);
    for (std::size_t i = 0; i + 1 < count; ++i) {
        PushSubtree(CvFromBytes(cvs + i * kCvBytes), 1);
    }
    m_ChunkCv = CvFromBytes(cvs + (count - 1) * kCvBytes);
    m_ChunkHashed = true;
}

void Blake3::Update(std::span<const std::uint8_t> bytes) noexcept {
    const std::uint8_t* p = bytes.data();
    std::size_t left = bytes.size();
    if (left > 0 && m_ChunkHashed) {
        // More follows the chunk held back whole: it is not the last.
        const Cv cv = m_ChunkCv;
        m_ChunkCv = kKey;
        m_ChunkHashed = false;
        PushSubtree(cv, 1);
    }
    while (left > 0) {
        const std::size_t inChunk = m_BlocksCompressed * kBlockBytes + m_BlockLength;
        if (inChunk == 0 && left % kChunkBytes == 0 && left >= 2 * kChunkBytes &&
            left / kChunkBytes <= BackendOf(m_Path).lanes) {
            HashFinalChunks(p, left / kChunkBytes);
            return;
        }
        // Whole chunks that cannot be the last one go to the wide path; the
        // last byte waits in the current chunk, which may be the root.
        if (inChunk == 0 && left > kChunkBytes) {
            const std::size_t whole = (left - 1) / kChunkBytes;
            AddWholeChunks(p, whole);
            p += whole * kChunkBytes;
            left -= whole * kChunkBytes;
            continue;
        }
        if (inChunk == kChunkBytes) {
            FinishChunk();
            continue;
        }
        // A full block is compressed only once more bytes follow it: the
        // last block of a chunk carries its own flags.
        if (m_BlockLength == kBlockBytes) {
            CompressBufferedBlock(0);
            ++m_BlocksCompressed;
            m_BlockLength = 0;
        }
        const std::size_t take = std::min(kBlockBytes - m_BlockLength, left);
        std::memcpy(m_Block.data() + m_BlockLength, p, take);
        m_BlockLength = static_cast<std::uint8_t>(m_BlockLength + take);
        p += take;
        left -= take;
    }
}

Blake3::Digest Blake3::Final() const noexcept {
    std::uint8_t block[kBlockBytes] = {};
    std::memcpy(block, m_Block.data(), m_BlockLength);
    std::uint32_t m[16];
    BlockWords(block, m);
    const std::uint32_t flags = kChunkEnd | (m_BlocksCompressed == 0 ? kChunkStart : 0);
    Cv cv;
    if (m_ChunkHashed) {
        cv = m_ChunkCv;
        for (std::size_t i = m_StackSize; i-- > 0;) {
            cv = ParentCv(m_Stack[i], cv, i == 0 ? kRoot : 0);
        }
    } else if (m_StackSize == 0) {
        // The message is one chunk: its last block is the root.
        cv = Compress(m_ChunkCv, m, 0, m_BlockLength, flags | kRoot);
    } else {
        cv = Compress(m_ChunkCv, m, m_ChunkCounter, m_BlockLength, flags);
        for (std::size_t i = m_StackSize; i-- > 0;) {
            cv = ParentCv(m_Stack[i], cv, i == 0 ? kRoot : 0);
        }
    }
    Digest digest;
    for (unsigned i = 0; i < 8; ++i) {
        StoreLittleEndian(digest.data() + 4 * i, cv[i]);
    }
    return digest;
}

std::string Blake3::FinalHex() const {
    const Digest digest = Final();
    return formats::HexUpper(digest);
}

Blake3::Digest Blake3::Hash(std::span<const std::uint8_t> bytes, unsigned threads) {
    Blake3 hasher;
    hasher.SetThreads(threads);
    hasher.Update(bytes);
    return hasher.Final();
}

std::string_view Blake3::PathName() noexcept {
    switch (BestPath()) {
    case detail::Blake3Path::Avx512:
        return "avx512";
    case detail::Blake3Path::Avx2:
        return "avx2";
    case detail::Blake3Path::Portable:
        break;
    }
    return "portable";
}

} // namespace varnel
