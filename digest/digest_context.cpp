#include "digest/digest_context.h"

#include "digest/binary_file_stream.h"
#include "digest/blake3.h"
#include "digest/file_hasher.h"
#include "digest/service_digest.h"
#include "formats/hex.h"
#include "platform/os/errors.h"

// xxHash's functions are compiled in where no shared library of it is to be
// had (Windows).
#ifdef _WIN32
#define XXH_INLINE_ALL
#endif
#include <xxhash.h>
// The shared library's own x86 dispatch: its plain entries run the baseline
// (SSE2) loop, its dispatching ones the widest the processor has (AVX2 is
// about 1.5 times as fast on a large file).
#if !defined(_WIN32) && defined(__x86_64__)
#include <xxh_x86dispatch.h>
#endif

#include <algorithm>
#include <optional>
#include <thread>
#include <vector>

namespace varnel {

namespace {

// The digests computed by code of our own rather than by the service.
bool IsOwnDigest(std::int32_t algorithmId) {
    return algorithmId == kXxh3_64 || algorithmId == kXxh3_128 || algorithmId == kBlake3_256;
}

} // namespace

// XXH3's streaming state (64 or 128 bits: the same state, its own reset,
// update and digest), or the BLAKE3 hasher.
struct DigestContext::OwnState {
    XXH3_state_t* xxh = nullptr;
    std::optional<Blake3> blake3;

    explicit OwnState(std::int32_t algorithm)
        : xxh(algorithm == kBlake3_256 ? nullptr : XXH3_createState()) {}
    ~OwnState() {
        if (xxh != nullptr) {
            XXH3_freeState(xxh);
        }
    }
    OwnState(const OwnState&) = delete;
    OwnState& operator=(const OwnState&) = delete;

    bool Reset(std::int32_t algorithm) {
        if (algorithm == kBlake3_256) {
            // A large file's pieces are hashed on every core: BLAKE3's tree
            // lets subtrees of one read be compressed side by side.
            // The count is asked once: the C library reads it from a file of
            // the system each time, which cost a quarter of a checksum
            // list's check of small files when asked for every file.
            static const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
            blake3.emplace();
            blake3->SetThreads(cores);
            return true;
        }
        if (xxh == nullptr) {
            return false;
        }
        return (algorithm == kXxh3_64 ? XXH3_64bits_reset(xxh) : XXH3_128bits_reset(xxh)) == XXH_OK;
    }
    bool Update(std::int32_t algorithm, std::span<const std::uint8_t> data) {
        if (algorithm == kBlake3_256) {
            blake3->Update(data);
            return true;
        }
        return (algorithm == kXxh3_64
                    ? XXH3_64bits_update(xxh, data.data(), data.size())
                    : XXH3_128bits_update(xxh, data.data(), data.size())) == XXH_OK;
    }
    // The canonical form: the hash's bytes most significant first.
    std::string FinalHex(std::int32_t algorithm) const {
        if (algorithm == kBlake3_256) {
            return blake3->FinalHex();
        }
        if (algorithm == kXxh3_64) {
            XXH64_canonical_t canonical;
            XXH64_canonicalFromHash(&canonical, XXH3_64bits_digest(xxh));
            return formats::HexUpper(std::span<const std::uint8_t>(canonical.digest));
        }
        XXH128_canonical_t canonical;
        XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(xxh));
        return formats::HexUpper(std::span<const std::uint8_t>(canonical.digest));
    }
};

void DigestContext::OwnStateDeleter::operator()(OwnState* state) const noexcept {
    delete state;
}

void DigestContext::ContextDeleter::operator()(service::State* state) const noexcept {
    service::FreeState(state);
}

DigestContext::DigestContext(std::int32_t algorithmId) : m_Algorithm(algorithmId) {
    if (IsOwnDigest(algorithmId)) {
        m_Own.reset(new OwnState(algorithmId));
    } else {
        m_Context.reset(service::NewState());
    }
    Restart();
}

bool DigestContext::Restart() {
    if (m_Own) {
        m_Ok = m_Own->Reset(m_Algorithm);
        return m_Ok;
    }
    m_Ok = m_Context != nullptr && service::Begin(m_Context.get(), m_Algorithm);
    return m_Ok;
}

DigestContext::~DigestContext() = default;
DigestContext::DigestContext(DigestContext&& other) noexcept
    : m_Context(std::move(other.m_Context)), m_Own(std::move(other.m_Own)),
      m_Algorithm(other.m_Algorithm), m_Ok(other.m_Ok) {
    other.m_Ok = false;
}
DigestContext& DigestContext::operator=(DigestContext&& other) noexcept {
    if (this != &other) {
        m_Context = std::move(other.m_Context);
        m_Own = std::move(other.m_Own);
        m_Algorithm = other.m_Algorithm;
        m_Ok = other.m_Ok;
        other.m_Ok = false;
    }
    return *this;
}

bool DigestContext::Update(std::span<const std::uint8_t> data) {
    if (m_Ok && !data.empty() && m_Own) {
        m_Ok = m_Own->Update(m_Algorithm, data);
    } else if (m_Ok && !data.empty()) {
        m_Ok = service::Feed(m_Context.get(), data);
    }
    return m_Ok;
}

std::string DigestContext::FinalHex() {
    if (!m_Ok) {
        return {};
    }
    m_Ok = false;
    if (m_Own) {
        return m_Own->FinalHex(m_Algorithm);
    }
    return service::FinishHex(m_Context.get());
}

std::string GetFileDigest(const std::filesystem::path& path, std::int32_t algorithmId) {
    DigestSelection wanted;
    if (algorithmId == CALG_MD5) {
        wanted.md5 = true;
    } else if (algorithmId == CALG_SHA1) {
        wanted.sha1 = true;
    } else {
        return {};
    }
    // The stream applies the existence test (present, not hidden, a regular
    // file), opens read-only and refuses an entry swapped after the test.
    BinaryFileStream_Class stream;
    try {
        stream.setFile(path);
    } catch (const RuntimeError&) {
        return {};
    }
    FileHasher hasher(false);
    HashResult result = stream.HashRest(hasher, wanted);
    // A read that failed part way would give a digest of part of the file:
    // no digest at all is the honest answer.
    if (result.outcome != HashOutcome::Done) {
        return {};
    }
    return wanted.md5 ? result.md5 : result.sha1;
}

} // namespace varnel
