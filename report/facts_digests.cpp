#include "report/facts_digests.h"

#include "formats/hex.h"

#include <array>

namespace varnel {

namespace {

// The facts' text of each digest kept as text (CRC-32 is a number).
struct FactsText {
    DigestKind kind;
    std::string FileFacts::*hex;
};
constexpr std::array<FactsText, 10> kFactsTexts{{
    {DigestKind::Sha1, &FileFacts::sha1},
    {DigestKind::Md5, &FileFacts::md5},
    {DigestKind::Sha256, &FileFacts::sha256},
    {DigestKind::Sha512, &FileFacts::sha512},
    {DigestKind::Blake2b, &FileFacts::blake2b},
    {DigestKind::Sha3_256, &FileFacts::sha3_256},
    {DigestKind::Sha3_512, &FileFacts::sha3_512},
    {DigestKind::Xxh3_64, &FileFacts::xxh3},
    {DigestKind::Xxh128, &FileFacts::xxh128},
    {DigestKind::Blake3, &FileFacts::blake3},
}};

} // namespace

std::string FactsDigest(const FileFacts& facts, DigestKind kind) {
    if (kind == DigestKind::Crc32) {
        return formats::Hex8(facts.crc32);
    }
    for (const FactsText& text : kFactsTexts) {
        if (text.kind == kind) {
            return facts.*(text.hex);
        }
    }
    return {};
}

} // namespace varnel
