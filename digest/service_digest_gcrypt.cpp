#include "digest/service_digest.h"

#include "digest/digest_context.h"
#include "formats/hex.h"

#include <gcrypt.h>

namespace varnel::service {

struct State {
    gcry_md_hd_t handle = nullptr;
    int algorithm = GCRY_MD_NONE;
};

namespace {

int AlgorithmFor(std::int32_t algorithmId) {
    switch (algorithmId) {
    case CALG_MD5:
        return GCRY_MD_MD5;
    case CALG_SHA1:
        return GCRY_MD_SHA1;
    case CALG_SHA_256:
        return GCRY_MD_SHA256;
    case CALG_SHA_512:
        return GCRY_MD_SHA512;
    case kBlake2b512:
        return GCRY_MD_BLAKE2B_512;
    case kSha3_256:
        return GCRY_MD_SHA3_256;
    case kSha3_512:
        return GCRY_MD_SHA3_512;
    default:
        return GCRY_MD_NONE;
    }
}

// The library is set up once per process before its first use (it asks for
// that); digests need no secure memory.
bool Ready() noexcept {
    static const bool ready = [] {
        if (gcry_check_version(GCRYPT_VERSION) == nullptr) {
            return false;
        }
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    return ready;
}

} // namespace

State* NewState() noexcept {
    return Ready() ? new (std::nothrow) State : nullptr;
}

void FreeState(State* state) noexcept {
    if (state != nullptr && state->handle != nullptr) {
        gcry_md_close(state->handle);
    }
    delete state;
}

bool Begin(State* state, std::int32_t algorithmId) noexcept {
    const int algorithm = AlgorithmFor(algorithmId);
    if (state == nullptr || algorithm == GCRY_MD_NONE) {
        return false;
    }
    if (state->handle != nullptr && state->algorithm == algorithm) {
        gcry_md_reset(state->handle);
        return true;
    }
    if (state->handle != nullptr) {
        gcry_md_close(state->handle);
        state->handle = nullptr;
    }
    if (gcry_md_open(&state->handle, algorithm, 0) != 0) {
        state->handle = nullptr;
        return false;
    }
    state->algorithm = algorithm;
    return true;
}

bool Feed(State* state, std::span<const std::uint8_t> data) noexcept {
    gcry_md_write(state->handle, data.data(), data.size());
    return true;
}

std::string FinishHex(State* state) {
    const unsigned char* digest = gcry_md_read(state->handle, state->algorithm);
    if (digest == nullptr) {
        return {};
    }
    return formats::HexUpper(
        std::span<const std::uint8_t>(digest, gcry_md_get_algo_dlen(state->algorithm)));
}

} // namespace varnel::service
