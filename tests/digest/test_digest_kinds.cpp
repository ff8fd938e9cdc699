// The table of digest kinds: every name a kind goes by belongs to one kind
// only and leads back to it, and each length is that of the digest itself
// (the published digests of no data: RFC 1321, FIPS 180 and FIPS 202
// examples, RFC 7693's reference code, as md5sum, sha*sum, b2sum, openssl
// dgst, xxhsum and b3sum print them). An untagged digest's length tells the
// kinds it always told, never a later kind of the same length.

#include "digest/digest_kinds.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace varnel {
namespace {

TEST(DigestKinds, LengthsAreThoseOfTheDigestsOfNoData) {
    struct Published {
        DigestKind kind;
        std::string_view empty;
    };
    const Published published[] = {
        {DigestKind::Crc32, "00000000"},
        {DigestKind::Md5, "d41d8cd98f00b204e9800998ecf8427e"},
        {DigestKind::Sha1, "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {DigestKind::Sha256, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {DigestKind::Sha512, "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
                             "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e"},
        {DigestKind::Blake2b, "786a02f742015903c6c6fd852552d272912f4740e15847618a86e217f71f5419"
                              "d25e1031afee585313896444934eb04b903a685b1448b755d56f701afe9be2ce"},
        {DigestKind::Sha3_256, "a7ffc6f8bf1ed76651c14756a061d662f580ff4de43b49fa82d80a4b80f8434a"},
        {DigestKind::Sha3_512, "a69f73cca23a9ac5c8b567dc185a756e97c982164fe25859e0d1dcc1475c80a6"
                               "15b2123af1f5f94c11e3e9402c3ac558f500199d95b6d3e301758586281dcd26"},
        {DigestKind::Xxh3_64, "2d06800538d394c2"},
        {DigestKind::Xxh128, "99aa06d3014798d86001c324468d497f"},
        {DigestKind::Blake3, "af1349b9f5f9a1a6a0404dea36dcc9499bcb25c9adc112b7cc9a93cae41f3262"},
    };
    for (const Published& p : published) {
        EXPECT_EQ(DigestKindOf(p.kind).hexLength, p.empty.size()) << DigestKindOf(p.kind).name;
    }
    // A kind that stands for several digests has their one length.
    for (const DigestKindInfo& row : kDigestKinds) {
        for (const DigestKind digest : row.standsFor) {
            EXPECT_EQ(DigestKindOf(digest).hexLength, row.hexLength) << row.name;
            EXPECT_NE(DigestKindOf(digest).selected, nullptr) << row.name;
        }
    }
}

TEST(DigestKinds, EveryNameIsOneKindsAndLeadsBackToIt) {
    std::set<std::string_view> names;
    std::set<std::string_view> fields;
    std::set<std::string_view> options;
    for (const DigestKindInfo& row : kDigestKinds) {
        EXPECT_EQ(&DigestKindOf(row.kind), &row);
        EXPECT_TRUE(names.insert(row.name).second) << row.name;
        if (!row.field.empty()) {
            EXPECT_TRUE(fields.insert(row.field).second) << row.field;
            EXPECT_EQ(DigestKindOfField(row.field), row.kind) << row.field;
        }
        if (!row.option.empty()) {
            EXPECT_TRUE(options.insert(row.option).second) << row.option;
        }
        if (!row.bsdTag.empty()) {
            EXPECT_EQ(DigestKindOfTag(row.bsdTag), row.kind) << row.bsdTag;
        }
    }
    std::set<std::string_view> tags;
    for (const DigestTag& tag : DigestTags()) {
        EXPECT_TRUE(tags.insert(tag.text).second) << tag.text;
        EXPECT_EQ(DigestKindOfTag(tag.text), tag.kind) << tag.text;
    }
    EXPECT_EQ(DigestKindOfTag("SHA2-512"), DigestKind::Sha512);
    EXPECT_EQ(DigestKindOfTag("BLAKE2B-512"), DigestKind::Blake2b);
    EXPECT_FALSE(DigestKindOfTag("SHA-256"));
    EXPECT_FALSE(DigestKindOfField("SHA256"));
    EXPECT_EQ(DigestKindOfTag("SHA3-256"), DigestKind::Sha3_256);
    EXPECT_EQ(DigestKindOfTag("XXH128"), DigestKind::Xxh128);
}

TEST(DigestKinds, AnUntaggedLengthTellsTheKindsItAlwaysTold) {
    struct Case {
        std::size_t length;
        std::optional<DigestKind> kind;
    };
    const Case cases[] = {
        {8, DigestKind::Crc32},   {32, DigestKind::Md5},      {40, DigestKind::Sha1},
        {64, DigestKind::Sha256}, {128, DigestKind::Wide512}, {16, std::nullopt},
        {0, std::nullopt},        {96, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DigestKindOfLength(c.length), c.kind) << c.length;
    }
}

} // namespace
} // namespace varnel
