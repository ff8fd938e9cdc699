#pragma once

// Checksum lists told by their file names, as the common tools and download
// sites name them, and Varnel's saved reports told by their first line:
// what a search beside a file, or below a folder, takes for a list.
//
//   NAME.md5  NAME.sha1  NAME.sha256  NAME.sha512  NAME.b2  NAME.sha3-256
//   NAME.sha3-512  NAME.b3  NAME.xxh3  NAME.xxh128  NAME.sfv
//                        a list of one kind (also NAME.md5sum, NAME.sha256sum,
//                        ...; the suffix in any case)
//   MD5SUMS  SHA1SUMS  SHA256SUMS  ...  B3SUMS  XXH128SUMS  CHECKSUMS
//                        any name ending in SUMS (any case), also followed by
//                        .txt; not a signature of one (SHA256SUMS.asc, .sig,
//                        .gpg end otherwise)

#include "digest/digest_kinds.h"

#include <optional>
#include <span>
#include <string_view>

namespace varnel {

// A suffix of lists of one kind.
struct ListSuffix {
    std::string_view suffix; // ".sha256", with its dot; compared in any case
    DigestKind kind;
};

// The suffixes, the strongest kind first (the order a file's own lists are
// preferred in).
std::span<const ListSuffix> ListSuffixes();

// The kind of a list by its name's suffix; nothing for a name without one.
std::optional<DigestKind> KindOfListSuffix(std::string_view name);

// Whether a file name (no folder) is that of a SUMS list.
bool IsSumsListName(std::string_view name);

// Whether a file name (no folder) is that of a checksum list: a suffix of
// ListSuffixes or a SUMS name.
bool IsChecksumListName(std::string_view name);

// Whether the first bytes of a file are a saved report's start: its first
// line (after a byte order mark) a report's name line, in any language
// mode and legacy encoding.
bool StartsAsSavedReport(std::string_view head);

// How strong a kind is as a check of content, higher for stronger: the
// 512-bit cryptographic digests, the 256-bit ones, SHA-1, MD5, then the
// non-cryptographic XXH128, XXH3 and CRC-32.
int KindStrength(DigestKind kind);

} // namespace varnel
