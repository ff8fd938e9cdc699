#pragma once

// SHA-1 and SHA-256 of a whole message in memory with the processor's SHA
// instructions (SHA-NI), in one call: the message's whole blocks straight
// from its bytes, then its padded tail. For the many small files of a folder
// this avoids a digest service's set-up, dispatch and copying per file, which
// for a file of a few KiB costs about as much as the hashing itself.
//
//     if (ShaExtensionsAvailable()) sha1 = Sha1WithShaExtensions(bytes);
//
// The functions may only be called when ShaExtensionsAvailable() is true.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace varnel {

// True when this processor has the SHA instructions (with SSSE3 and
// SSE4.1, which the code also uses).
bool ShaExtensionsAvailable() noexcept;

std::array<std::uint8_t, 20> Sha1WithShaExtensions(std::span<const std::uint8_t> message);

// Two messages at once: the two chains of dependent rounds are interleaved,
// so that one's instructions run while the other's wait for their results.
// The digests are those of two separate calls.
void Sha1PairWithShaExtensions(std::span<const std::uint8_t> first,
                               std::span<const std::uint8_t> second,
                               std::array<std::uint8_t, 20>& firstDigest,
                               std::array<std::uint8_t, 20>& secondDigest);

std::array<std::uint8_t, 32> Sha256WithShaExtensions(std::span<const std::uint8_t> message);

// Two messages at once, as Sha1PairWithShaExtensions.
void Sha256PairWithShaExtensions(std::span<const std::uint8_t> first,
                                 std::span<const std::uint8_t> second,
                                 std::array<std::uint8_t, 32>& firstDigest,
                                 std::array<std::uint8_t, 32>& secondDigest);

} // namespace varnel
