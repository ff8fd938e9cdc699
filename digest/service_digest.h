#pragma once

// The digests the system's cryptographic service computes for DigestContext
// (MD5, SHA-1, SHA-256, SHA-512, BLAKE2b-512, SHA3-256, SHA3-512): OpenSSL's
// EVP on Linux (service_digest_openssl.cpp), libgcrypt on Windows
// (service_digest_gcrypt.cpp). One state is used by one thread at a time.

#include <cstdint>
#include <span>
#include <string>

namespace varnel::service {

struct State;

// A new state, or null when the service has none to give.
State* NewState() noexcept;
void FreeState(State* state) noexcept;

// Begins a digest of algorithmId (CALG_MD5, ..., kSha3_512); false for an
// algorithm the service does not know or a failing service.
bool Begin(State* state, std::int32_t algorithmId) noexcept;

// Feeds the next bytes; false when the service failed.
bool Feed(State* state, std::span<const std::uint8_t> data) noexcept;

// The digest of everything fed as upper-case hexadecimal text; empty when the
// service failed.
std::string FinishHex(State* state);

} // namespace varnel::service
