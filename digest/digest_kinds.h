#pragma once

// The one table of digest kinds: for each kind the digest's length in hex
// digits and every name it goes by (in results, in the tags of bsd lists, as
// the field of JSON and CSV records, as a command-line option), and which
// DigestSelection member asks for it. Code that handles kinds reads the
// table instead of switching over them, so a new algorithm is one row here
// (and its digest in the read loop).
//
// The rows stand in the order results and reports name the digests (the
// report's lines CRC-32, SHA-1, MD5, then the longer digests of checksum
// lists, then the kinds added later: SHA-3, XXH3, XXH128, BLAKE3); listPlace gives the order of
// lists' lines, MD5 first (see DigestKindsInListOrder).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace varnel {

// The digests a list line can carry. Wide512 is an untagged 128-digit line
// of a list whose format was told by content: SHA-512 or BLAKE2b-512. The
// values index ListEntry::expected and must not change; new kinds go last.
enum class DigestKind {
    Crc32,
    Md5,
    Sha1,
    Sha256,
    Sha512,
    Blake2b,
    Wide512,
    Sha3_256,
    Sha3_512,
    Xxh3_64,
    Xxh128,
    Blake3,
};

inline constexpr std::size_t kDigestKindCount = 12;

// The digests one read of a file computes.
struct DigestSelection {
    bool crc32 = false;
    bool sha1 = false;
    bool md5 = false;
    // The longer digests: of checksum lists, and of report blocks on lines
    // of their own after MD5 when chosen.
    bool sha256 = false;
    bool sha512 = false;
    bool blake2b = false;
    // Asked for by name only (an option, a tag, a told format): their
    // lengths are those of older kinds, which an untagged line keeps.
    bool sha3_256 = false;
    bool sha3_512 = false;
    bool xxh3 = false;   // XXH3-64
    bool xxh128 = false; // XXH3-128
    bool blake3 = false; // BLAKE3-256

    friend bool operator==(const DigestSelection&, const DigestSelection&) = default;
};

struct DigestKindInfo {
    DigestKind kind;
    std::size_t hexLength; // hex digits of the digest
    std::string_view name; // as results name it: "CRC-32", "SHA-256", ...
    // The tag bsd lines are written with ("MD5", "SHA256", ...), and the
    // other spellings read ("SHA2-256", "BLAKE2B-512", ...); empty for a kind
    // no line is tagged with.
    std::string_view bsdTag;
    std::array<std::string_view, 2> otherTags;
    std::string_view field;  // the JSON key and CSV column ("sha256"); empty for none
    std::string_view option; // the command-line option that asks for it; empty for none
    // The member that asks a read for it; nullptr for a kind that stands for
    // more than one digest (Wide512: see standsFor).
    bool DigestSelection::*selected;
    // The digests a value of this kind may be: the kind itself twice, or
    // for Wide512 SHA-512 and BLAKE2b.
    std::array<DigestKind, 2> standsFor;
    std::uint8_t listPlace; // the place of its line in bsd lists, MD5 first
    // Whether an untagged digest of hexLength digits, in a list whose format
    // was told by content, is taken for this kind (see DigestKindOfLength).
    // Off for the newer kinds whose length an older kind has (64 digits stay
    // SHA-256, 32 stay MD5) and for XXH3, whose 16 digits XXH64 has too.
    bool toldByLength = true;
};

inline constexpr std::array<DigestKindInfo, kDigestKindCount> kDigestKinds{{
    {DigestKind::Crc32,
     8,
     "CRC-32",
     "CRC32",
     {},
     "crc32",
     "--crc32",
     &DigestSelection::crc32,
     {DigestKind::Crc32, DigestKind::Crc32},
     11},
    {DigestKind::Sha1,
     40,
     "SHA-1",
     "SHA1",
     {},
     "sha1",
     "--sha1",
     &DigestSelection::sha1,
     {DigestKind::Sha1, DigestKind::Sha1},
     1},
    {DigestKind::Md5,
     32,
     "MD5",
     "MD5",
     {},
     "md5",
     "",
     &DigestSelection::md5,
     {DigestKind::Md5, DigestKind::Md5},
     0},
    {DigestKind::Sha256,
     64,
     "SHA-256",
     "SHA256",
     {"SHA2-256"},
     "sha256",
     "--sha256",
     &DigestSelection::sha256,
     {DigestKind::Sha256, DigestKind::Sha256},
     2},
    {DigestKind::Sha512,
     128,
     "SHA-512",
     "SHA512",
     {"SHA2-512"},
     "sha512",
     "--sha512",
     &DigestSelection::sha512,
     {DigestKind::Sha512, DigestKind::Sha512},
     3},
    {DigestKind::Blake2b,
     128,
     "BLAKE2b",
     "BLAKE2b",
     {"BLAKE2b-512", "BLAKE2B-512"},
     "blake2b",
     "--blake2b",
     &DigestSelection::blake2b,
     {DigestKind::Blake2b, DigestKind::Blake2b},
     4},
    {DigestKind::Wide512,
     128,
     "SHA-512 or BLAKE2b",
     "",
     {},
     "",
     "",
     nullptr,
     {DigestKind::Sha512, DigestKind::Blake2b},
     5},
    {DigestKind::Sha3_256,
     64,
     "SHA3-256",
     "SHA3-256",
     {},
     "sha3_256",
     "--sha3-256",
     &DigestSelection::sha3_256,
     {DigestKind::Sha3_256, DigestKind::Sha3_256},
     6,
     false},
    {DigestKind::Sha3_512,
     128,
     "SHA3-512",
     "SHA3-512",
     {},
     "sha3_512",
     "--sha3-512",
     &DigestSelection::sha3_512,
     {DigestKind::Sha3_512, DigestKind::Sha3_512},
     7,
     false},
    {DigestKind::Xxh3_64,
     16,
     "XXH3",
     "XXH3",
     {},
     "xxh3",
     "--xxh3",
     &DigestSelection::xxh3,
     {DigestKind::Xxh3_64, DigestKind::Xxh3_64},
     9,
     false},
    {DigestKind::Xxh128,
     32,
     "XXH128",
     "XXH128",
     {},
     "xxh128",
     "--xxh128",
     &DigestSelection::xxh128,
     {DigestKind::Xxh128, DigestKind::Xxh128},
     10,
     false},
    {DigestKind::Blake3,
     64,
     "BLAKE3",
     "BLAKE3",
     {},
     "blake3",
     "--blake3",
     &DigestSelection::blake3,
     {DigestKind::Blake3, DigestKind::Blake3},
     8,
     false},
}};

// The row of a kind.
constexpr const DigestKindInfo& DigestKindOf(DigestKind kind) {
    for (const DigestKindInfo& row : kDigestKinds) {
        if (row.kind == kind) {
            return row;
        }
    }
    return kDigestKinds.back(); // unreachable for the enumerators above
}

// The kinds in the order results name them (the table's).
constexpr std::array<DigestKind, kDigestKindCount> DigestKindsInResultOrder() {
    std::array<DigestKind, kDigestKindCount> kinds{};
    for (std::size_t i = 0; i < kDigestKinds.size(); ++i) {
        kinds[i] = kDigestKinds[i].kind;
    }
    return kinds;
}

// The kinds in the order of lists' lines: MD5 (every list has it), SHA-1,
// the longer digests (SHA-2, BLAKE2b, SHA-3, BLAKE3), XXH3 and XXH128,
// CRC-32 last. An entry that is gone is found again by
// the first of these it carries.
constexpr std::array<DigestKind, kDigestKindCount> DigestKindsInListOrder() {
    std::array<DigestKind, kDigestKindCount> kinds{};
    for (const DigestKindInfo& row : kDigestKinds) {
        kinds[row.listPlace] = row.kind;
    }
    return kinds;
}

// The kind a bsd tag names, written or read ("SHA256", "SHA2-256", ...).
std::optional<DigestKind> DigestKindOfTag(std::string_view tag);
// The kind an untagged digest of length hex digits is taken for in a list
// whose format was told by content: the one kind of that length told by it,
// or where several are (SHA-512 and BLAKE2b) the kind that stands for them
// all (Wide512); nothing for a length no kind is told by.
std::optional<DigestKind> DigestKindOfLength(std::size_t length);
// The kind a JSON or CSV field names ("sha256").
std::optional<DigestKind> DigestKindOfField(std::string_view field);
// Every tag of a bsd line, written and read, in list order, each with its
// kind; longer tags that start with a shorter one come after it.
struct DigestTag {
    std::string_view text;
    DigestKind kind;
};
std::span<const DigestTag> DigestTags();

} // namespace varnel
