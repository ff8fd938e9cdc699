#pragma once

// How the audit finds an entry again whose file has gone: a content key (the
// first digest the entry carries, cut to a length no two contents of one size
// share by chance, and the size when recorded), packed small, since every
// entry of a list may be one that moved.

#include "digest/digest_kinds.h"
#include "lists/name_set.h"
#include "report/file_facts.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varnel {

// The digest an entry that is gone is found again by: the first it carries
// of these.
constexpr std::array<DigestKind, kDigestKindCount> kMoveDigests = DigestKindsInListOrder();

// Bytes of a digest compared for a move: enough that two contents of the
// same size never share them by chance.
constexpr std::size_t kMoveKeyBytes = 16;

// What an entry's digest is compared by, when its file has gone: the kind,
// the first bytes of the digest, and the size when the entry records one.
struct ContentKey {
    DigestKind kind = DigestKind::Md5;
    std::uint8_t length = 0; // bytes of digest used
    std::array<std::uint8_t, kMoveKeyBytes> digest{};
    std::optional<std::uint64_t> size;
};

// The key of a digest given in hex; nothing for an empty or broken value (a
// file not read when the list was made).
std::optional<ContentKey> KeyFromHex(DigestKind kind, std::string_view hex,
                                     std::optional<std::uint64_t> size);

// The key's bytes, for a map: the kind, the digest, the size when known.
std::string PackKey(const ContentKey& key);

// The file's digest of a kind, as upper-case hex ("" when not read).
std::string DigestOf(DigestKind kind, const FileFacts& facts);

// An entry whose file has gone, kept until the new files are known: its
// content key packed into 40 bytes, since every entry of a list may be one.
struct GoneEntry {
    NameStore::Ref name = 0; // the file's bytes
    std::uint64_t size = 0;
    std::array<std::uint8_t, kMoveKeyBytes> digest{};
    std::uint8_t kind = 0;   // a DigestKind
    std::uint8_t length = 0; // bytes of digest; 0: nothing to find it by
    bool sized = false;
    bool toolEscape = false; // shown as md5sum-family and bsd lists show names

    void SetKey(const ContentKey& key) {
        kind = static_cast<std::uint8_t>(key.kind);
        length = key.length;
        digest = key.digest;
        sized = key.size.has_value();
        size = key.size.value_or(0);
    }
    std::optional<ContentKey> Key() const {
        if (length == 0) {
            return std::nullopt;
        }
        ContentKey key;
        key.kind = static_cast<DigestKind>(kind);
        key.length = length;
        key.digest = digest;
        if (sized) {
            key.size = size;
        }
        return key;
    }
};

} // namespace varnel
