#include "digest/service_digest.h"

#include "digest/digest_context.h"
#include "formats/hex.h"

#include <openssl/evp.h>

namespace varnel::service {

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
    case kSha3_256: {
        static const EVP_MD* const sha3_256 = EVP_MD_fetch(nullptr, "SHA3-256", nullptr);
        return sha3_256;
    }
    case kSha3_512: {
        static const EVP_MD* const sha3_512 = EVP_MD_fetch(nullptr, "SHA3-512", nullptr);
        return sha3_512;
    }
    default:
        return nullptr;
    }
}

EVP_MD_CTX* Context(State* state) {
    return reinterpret_cast<EVP_MD_CTX*>(state);
}

} // namespace

State* NewState() noexcept {
    return reinterpret_cast<State*>(EVP_MD_CTX_new());
}

void FreeState(State* state) noexcept {
    EVP_MD_CTX_free(Context(state));
}

bool Begin(State* state, std::int32_t algorithmId) noexcept {
    const EVP_MD* md = DigestFor(algorithmId);
    return state != nullptr && md != nullptr &&
           EVP_DigestInit_ex2(Context(state), md, nullptr) == 1;
}

bool Feed(State* state, std::span<const std::uint8_t> data) noexcept {
    return EVP_DigestUpdate(Context(state), data.data(), data.size()) == 1;
}

std::string FinishHex(State* state) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(Context(state), digest, &size) != 1 || size > EVP_MAX_MD_SIZE) {
        return {};
    }
    return formats::HexUpper(std::span<const std::uint8_t>(digest, size));
}

} // namespace varnel::service
