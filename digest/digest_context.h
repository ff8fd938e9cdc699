#pragma once

// MD5_SHA1_View_Module: the digests of whole files and of streams as
// upper-case hexadecimal text: MD5 (RFC 1321), SHA-1 (FIPS 180), SHA-256,
// SHA-512, BLAKE2b-512, SHA3-256 and SHA3-512 (FIPS 202) from the system's
// digest service (digest/service_digest.h: OpenSSL on Linux, libgcrypt on
// Windows); XXH3-64 and XXH3-128 from the xxHash library (written as its
// canonical big-endian form, as xxhsum prints it); BLAKE3-256 from
// digest/blake3.h.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace varnel {

namespace service {
struct State; // the digest service's context
}

// Algorithm identifiers, with the values the callers have always passed.
inline constexpr std::int32_t CALG_MD5 = 0x8003;
inline constexpr std::int32_t CALG_SHA1 = 0x8004;
inline constexpr std::int32_t CALG_SHA_256 = 0x800C;
inline constexpr std::int32_t CALG_SHA_512 = 0x800E;
// BLAKE2b-512 has no identifier of that family: one of our own, for the
// digest contexts of checksum lists (GetFileDigest does not take it).
inline constexpr std::int32_t kBlake2b512 = 0x10001;
// The same for the kinds added later.
inline constexpr std::int32_t kSha3_256 = 0x10002;
inline constexpr std::int32_t kSha3_512 = 0x10003;
inline constexpr std::int32_t kXxh3_64 = 0x10004;
inline constexpr std::int32_t kXxh3_128 = 0x10005;
inline constexpr std::int32_t kBlake3_256 = 0x10006;

// The digest of the whole file at path as upper-case hexadecimal text, two
// digits per byte (32 characters for MD5, 40 for SHA-1). The file is read once
// in 32,768-byte blocks through one reused buffer and is never written.
//
// Empty text whenever no true digest can be given: a path that is not a
// present, non-hidden regular file, a file that cannot be opened, a read
// that fails, an unknown algorithmId or a failing digest service. A file of
// length 0 gives the standard digest of empty input.
std::string GetFileDigest(const std::filesystem::path& path, std::int32_t algorithmId);

// A streaming digest for one-pass reading: init on construction, Update with
// consecutive chunks, FinalHex once.
//
//     DigestContext md5(CALG_MD5);
//     md5.Update(chunk1);
//     md5.Update(chunk2);
//     std::string text = md5.FinalHex();
//
// Any failure (unknown algorithm, failing service) makes the context not
// ok(); further Updates are ignored and FinalHex returns empty text. Restart
// begins a new digest in the same context (a run over many files sets up no
// context per file).
class DigestContext {
public:
    explicit DigestContext(std::int32_t algorithmId);
    ~DigestContext();
    DigestContext(DigestContext&&) noexcept;
    DigestContext& operator=(DigestContext&&) noexcept;
    DigestContext(const DigestContext&) = delete;
    DigestContext& operator=(const DigestContext&) = delete;

    bool ok() const noexcept { return m_Ok; }

    // Drops whatever was fed and begins again; returns ok().
    bool Restart();

    // Feeds the next bytes; returns ok().
    bool Update(std::span<const std::uint8_t> data);

    // The digest of everything fed, upper-case hex; empty text if the context
    // is not ok(). The context is spent afterwards (not ok()).
    std::string FinalHex();

private:
    struct ContextDeleter {
        void operator()(service::State* state) const noexcept;
    };
    // The state of a digest the service does not give (XXH3, BLAKE3).
    struct OwnState;
    struct OwnStateDeleter {
        void operator()(OwnState* state) const noexcept;
    };
    std::unique_ptr<service::State, ContextDeleter> m_Context; // the service's digests only
    std::unique_ptr<OwnState, OwnStateDeleter> m_Own;          // the others only
    std::int32_t m_Algorithm = 0;
    bool m_Ok = false;
};

} // namespace varnel
