#include "digest/digest_context.h"

#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace varnel {
namespace {

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

struct DigestVector {
    std::int32_t algorithm;
    std::string input;
    std::string expected;
};

const std::vector<DigestVector>& Vectors() {
    static const std::vector<DigestVector> vectors = {
        // RFC 1321, appendix A.5 (the MD5 test suite).
        {CALG_MD5, "", "D41D8CD98F00B204E9800998ECF8427E"},
        {CALG_MD5, "a", "0CC175B9C0F1B6A831C399E269772661"},
        {CALG_MD5, "abc", "900150983CD24FB0D6963F7D28E17F72"},
        {CALG_MD5, "message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {CALG_MD5, "abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {CALG_MD5, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "D174AB98D277D9F5A5611C2C9F419D9F"},
        {CALG_MD5,
         "1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
        // One million "a": checked by md5sum.
        {CALG_MD5, std::string(1000000, 'a'), "7707D6AE4E027C70EEA2A935C2296F21"},
        // FIPS 180 examples (one block, two blocks, one million "a").
        {CALG_SHA1, "abc", "A9993E364706816ABA3E25717850C26C9CD0D89D"},
        {CALG_SHA1, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983E441C3BD26EBAAE4AA1F95129E5E54670F1"},
        {CALG_SHA1, std::string(1000000, 'a'), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F"},
        // Empty input: checked by sha1sum.
        {CALG_SHA1, "", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"},
    };
    return vectors;
}

std::string DigestInPieces(std::int32_t algorithm, std::span<const std::uint8_t> data,
                           std::size_t piece) {
    DigestContext context(algorithm);
    for (std::size_t at = 0; at < data.size(); at += piece) {
        EXPECT_TRUE(context.Update(data.subspan(at, std::min(piece, data.size() - at))));
    }
    return context.FinalHex();
}

TEST(DigestVectors, StreamingContextInAnyPieces) {
    for (const auto& v : Vectors()) {
        SCOPED_TRACE(v.expected);
        const auto data = Bytes(v.input);
        EXPECT_EQ(DigestInPieces(v.algorithm, data, std::max<std::size_t>(data.size(), 1)),
                  v.expected);
        EXPECT_EQ(DigestInPieces(v.algorithm, data, 3), v.expected);
        EXPECT_EQ(DigestInPieces(v.algorithm, data, 512), v.expected);
        if (data.size() <= 1000) {
            EXPECT_EQ(DigestInPieces(v.algorithm, data, 1), v.expected);
        }
    }
}

// A context restarted for every vector, whether the last digest was finished,
// abandoned part way or never begun, gives each vector's own digest.
TEST(DigestVectors, OneContextRestartedForEveryInput) {
    DigestContext md5(CALG_MD5);
    DigestContext sha1(CALG_SHA1);
    for (const bool abandonFirst : {false, true}) {
        for (const auto& v : Vectors()) {
            SCOPED_TRACE(v.expected);
            DigestContext& context = v.algorithm == CALG_MD5 ? md5 : sha1;
            if (abandonFirst) {
                context.Update(Bytes("left over from the file before"));
            }
            ASSERT_TRUE(context.Restart());
            context.Update(Bytes(v.input));
            EXPECT_EQ(context.FinalHex(), v.expected);
        }
    }
    DigestContext unknown(0x8002);
    EXPECT_FALSE(unknown.Restart());
}

class GetFileDigestTest : public ::testing::Test {
protected:
    test::ScratchDir dir;
};

TEST_F(GetFileDigestTest, PublishedVectorsAsFiles) {
    int index = 0;
    for (const auto& v : Vectors()) {
        const auto path = dir / ("vector-" + std::to_string(index++) + ".txt");
        test::WriteFile(path, v.input);
        EXPECT_EQ(GetFileDigest(path, v.algorithm), v.expected) << path;
    }
}

TEST(DigestContextTest, UnknownAlgorithmAndSpentContextGiveEmptyText) {
    DigestContext unknown(0x8002); // an algorithm id we do not serve
    EXPECT_FALSE(unknown.ok());
    EXPECT_FALSE(unknown.Update(Bytes("abc")));
    EXPECT_EQ(unknown.FinalHex(), "");

    DigestContext md5(CALG_MD5);
    ASSERT_TRUE(md5.Update(Bytes("abc")));
    EXPECT_EQ(md5.FinalHex(), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_FALSE(md5.ok());
    EXPECT_EQ(md5.FinalHex(), "");

    DigestContext sha1(CALG_SHA1);
    sha1.Update(Bytes("ab"));
    DigestContext moved(std::move(sha1));
    moved.Update(Bytes("c"));
    EXPECT_EQ(moved.FinalHex(), "A9993E364706816ABA3E25717850C26C9CD0D89D");
}

// Whatever cannot be read gives no digest at all, never the digest of no data.
TEST_F(GetFileDigestTest, NoDigestForWhatIsNotAReadableNormalFile) {
    test::WriteFile(dir / ".hidden", std::string("abc"));
    std::filesystem::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    const std::vector<std::filesystem::path> paths = {
        dir / ".hidden", dir / "folder", dir / "pipe", dir / "missing.bin", "/dev/null", {}};
    for (const auto& path : paths) {
        EXPECT_EQ(GetFileDigest(path, CALG_MD5), "") << path;
        EXPECT_EQ(GetFileDigest(path, CALG_SHA1), "") << path;
    }
    test::WriteFile(dir / "plain.txt", std::string("abc"));
    EXPECT_EQ(GetFileDigest(dir / "plain.txt", 0x8002), "");
    EXPECT_EQ(GetFileDigest(dir / "plain.txt", 0), "");
}

TEST_F(GetFileDigestTest, EmptyFileHasTheDigestOfEmptyInput) {
    const auto path = dir / "empty.bin";
    test::WriteFile(path, std::string());
    EXPECT_EQ(GetFileDigest(path, CALG_MD5), "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(GetFileDigest(path, CALG_SHA1), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
}

} // namespace
} // namespace varnel
