#pragma once

// A digest as a user pastes or types it (from a download page, a mail, a
// line of a checksum list), read as the user means it:
//
//   d41d8cd98f00b204e9800998ecf8427e                  hex, either case
//   SHA256:E3B0C442...   sha256-e3b0c442...   md5: d41d...
//                                                     the kind named before it
//   sha256-47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=
//                                                     base64 after the kind,
//                                                     as SRI hashes write it
//   e3b0c442...  setup.iso      e3b0c442... *setup.iso
//                                                     a sha256sum line: the
//                                                     name after it is ignored
//   SHA256 (setup.iso) = e3b0...                      a bsd line
//   d4:1d:8c:d9:...                                   bytes split by colons
//   d41d8cd9 8f00b204 e9800998 ecf8427e               digits in groups
//
// Blanks (line ends, no-break spaces) around it are dropped. The kind comes
// from the name before the digest (SHA-256, sha2-256, sha3_256, b3, ...,
// any case, followed by ":", "-", "=" or a blank) or else from the digest's
// length, which may fit several kinds: 8 hex digits CRC-32, 16 XXH3, 32 MD5
// or XXH128, 40 SHA-1, 64 SHA-256, SHA3-256 or BLAKE3, 128 SHA-512,
// BLAKE2b-512 or SHA3-512. Each candidate is worth trying: the one the file
// matches is the kind it was.
//
// Digest groups are joined only while the first group alone is no digest's
// length, so a list line whose name is itself a digest keeps its name apart.

#include "digest/digest_kinds.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

struct ExpectedDigest {
    // The kinds the digest may be, in the table's order (never Wide512):
    // one when its kind was named, all those of its length otherwise.
    std::vector<DigestKind> kinds;
    // The digest's bytes as upper-case hex, as checksum lists' entries hold
    // expected digests (ListEntry::expected).
    std::string hex;
};

// The digest text means; nothing when it is none, and then reason says why
// in one line ("sha384 is not a digest kind Varnel computes (it computes
// CRC-32, ...)", "30 hex digits fit no digest kind (...)").
std::optional<ExpectedDigest> ReadExpectedDigest(std::string_view text, std::string& reason);

} // namespace varnel
