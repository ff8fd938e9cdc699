#include "digest/digest_context.h"

#include "digest/binary_file_stream.h"
#include "digest/file_hasher.h"
#include "formats/hex.h"
#include "platform/os/errors.h"

#include <openssl/evp.h>

#include <vector>

namespace varnel {

namespace {

// The algorithms are fetched from the provider once per process: a context
// set up with EVP_md5() or EVP_sha1() fetches its algorithm again (under the
// library's locks) at every init, which costs as much as hashing a small file.
// The fetched objects live as long as the process.
const EVP_MD* DigestFor(std::int32_t algorithmId) {
    switch (algorithmId) {
    case CALG_MD5: {
        static const EVP_MD* const md5 = EVP_MD_fetch(nullptr, "MD5", nullptr);
        return md5;
    }
    case CALG_SHA1: {
        static const EVP_MD* const sha1 = EVP_MD_fetch(nullptr, "SHA1", nullptr);
        return sha1;
    }
    case CALG_SHA_256: {
        static const EVP_MD* const sha256 = EVP_MD_fetch(nullptr, "SHA2-256", nullptr);
        return sha256;
    }
    case CALG_SHA_512: {
        static const EVP_MD* const sha512 = EVP_MD_fetch(nullptr, "SHA2-512", nullptr);
        return sha512;
    }
    case kBlake2b512: {
        static const EVP_MD* const blake2b = EVP_MD_fetch(nullptr, "BLAKE2B-512", nullptr);
        return blake2b;
    }
    default:
        return nullptr;
    }
}

} // namespace

void DigestContext::ContextDeleter::operator()(evp_md_ctx_st* ctx) const noexcept {
    EVP_MD_CTX_free(ctx);
}

DigestContext::DigestContext(std::int32_t algorithmId)
    : m_Context(EVP_MD_CTX_new()), m_Algorithm(algorithmId) {
    Restart();
}

bool DigestContext::Restart() {
    const EVP_MD* md = DigestFor(m_Algorithm);
    m_Ok = m_Context != nullptr && md != nullptr &&
           EVP_DigestInit_ex2(m_Context.get(), md, nullptr) == 1;
    return m_Ok;
}

DigestContext::~DigestContext() = default;
DigestContext::DigestContext(DigestContext&& other) noexcept
    : m_Context(std::move(other.m_Context)), m_Algorithm(other.m_Algorithm), m_Ok(other.m_Ok) {
    other.m_Ok = false;
}
DigestContext& DigestContext::operator=(DigestContext&& other) noexcept {
    if (this != &other) {
        m_Context = std::move(other.m_Context);
        m_Algorithm = other.m_Algorithm;
        m_Ok = other.m_Ok;
        other.m_Ok = false;
    }
    return *this;
}

bool DigestContext::Update(std::span<const std::uint8_t> data) {
    if (m_Ok && !data.empty()) {
        m_Ok = EVP_DigestUpdate(m_Context.get(), data.data(), data.size()) == 1;
    }
    return m_Ok;
}

std::string DigestContext::FinalHex() {
    if (!m_Ok) {
        return {};
    }
    m_Ok = false;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(m_Context.get(), digest, &size) != 1 || size > EVP_MAX_MD_SIZE) {
        return {};
    }
    return platform::HexUpper(std::span<const std::uint8_t>(digest, size));
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
