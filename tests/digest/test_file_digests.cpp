// Whole files around every chunk and block boundary of the readers, checked
// against Python's zlib and hashlib on the same file.

#include "digest/binary_file_stream.h"
#include "digest/crc32.h"
#include "digest/digest_context.h"

#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <array>

namespace varnel {
namespace {

class FileDigests : public ::testing::TestWithParam<std::size_t> {
protected:
    test::ScratchDir dir;
};

TEST_P(FileDigests, MatchAnIndependentTool) {
    const std::size_t size = GetParam();
    const auto path = dir / ("data-" + std::to_string(size) + ".bin");
    test::WriteFile(path, test::PseudoRandomBytes(size, static_cast<std::uint32_t>(size) + 3));
    const test::OracleDigests expected = test::OracleDigestsOf(path);

    // The calculator reading through the stream in 8,192-byte chunks.
    const CRC32_Class calculator;
    BinaryFileStream_Class stream;
    stream.setFile(path);
    EXPECT_EQ(test::Hex8(calculator.GetFileCrc32(stream)), expected.crc32);
    EXPECT_EQ(stream.Delivered(), static_cast<std::int64_t>(size));
    EXPECT_EQ(stream.ReadError(), 0);

    // The module's digests in 32,768-byte blocks.
    EXPECT_EQ(GetFileDigest(path, CALG_SHA1), expected.sha1);
    EXPECT_EQ(GetFileDigest(path, CALG_MD5), expected.md5);

    // One pass feeding all three with the same chunks, at a chunk size that
    // is no divisor of the others.
    stream.setFile(path);
    std::vector<std::uint8_t> buffer(5000);
    std::uint32_t crc = Crc32Init();
    DigestContext sha1(CALG_SHA1);
    DigestContext md5(CALG_MD5);
    std::int32_t n = 0;
    while ((n = stream.Read(buffer, 5000)) > 0) {
        const auto chunk = std::span<const std::uint8_t>(buffer).first(static_cast<std::size_t>(n));
        crc = Crc32Update(crc, chunk);
        sha1.Update(chunk);
        md5.Update(chunk);
    }
    EXPECT_EQ(test::Hex8(Crc32Final(crc)), expected.crc32);
    EXPECT_EQ(sha1.FinalHex(), expected.sha1);
    EXPECT_EQ(md5.FinalHex(), expected.md5);
}

// Around the stream's 8,192-byte chunks of the CRC and the 32,768-byte blocks
// of the digests.
constexpr std::array<std::size_t, 9> kBoundarySizes = {0,     1,     8191,  8192,  8193,
                                                       32767, 32768, 32769, 100000};

INSTANTIATE_TEST_SUITE_P(BoundarySizes, FileDigests, ::testing::ValuesIn(kBoundarySizes),
                         [](const auto& param) { return std::to_string(param.param) + "Bytes"; });

} // namespace
} // namespace varnel
