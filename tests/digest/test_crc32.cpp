#include "digest/binary_file_stream.h"
#include "digest/crc32.h"
#include "platform/os/errors.h"

#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <string>
#include <vector>

namespace varnel {
namespace {

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

struct CrcVector {
    std::string input;
    std::uint32_t expected;
};

// Published check values of the reflected CRC-32 (IEEE 802.3 / ZIP), each
// also confirmed with Python's zlib.crc32.
const std::vector<CrcVector>& Vectors() {
    static const std::vector<CrcVector> vectors = {
        {"", 0x00000000u},
        {"a", 0xE8B7BE43u},
        {"abc", 0x352441C2u},
        {"123456789", 0xCBF43926u}, // the catalogue's check value of CRC-32
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
        {"message digest", 0x20159D7Fu},
        {"abcdefghijklmnopqrstuvwxyz", 0x4C2750BDu},
        {std::string(1000000, 'a'), 0xDC25BFBCu}, // zlib.crc32(b'a' * 1000000)
    };
    return vectors;
}

// Feeds data to the streaming interface in pieces of `piece` bytes.
std::uint32_t CrcInPieces(std::span<const std::uint8_t> data, std::size_t piece) {
    std::uint32_t crc = Crc32Init();
    for (std::size_t at = 0; at < data.size(); at += piece) {
        crc = Crc32Update(crc, data.subspan(at, std::min(piece, data.size() - at)));
    }
    return Crc32Final(crc);
}

TEST(Crc32Vectors, EveryInterfaceGivesThePublishedValues) {
    const CRC32_Class calculator;
    for (const auto& v : Vectors()) {
        const auto data = Bytes(v.input);
        SCOPED_TRACE("input of " + std::to_string(v.input.size()) + " bytes");
        EXPECT_EQ(Crc32(data), v.expected);
        EXPECT_EQ(Crc32Final(detail::Crc32UpdatePortable(Crc32Init(), data)), v.expected);
        if (data.size() < 32768) {
            EXPECT_EQ(calculator.GetByteArrayCrc32(data), v.expected);
        }
    }
}

TEST(Crc32Vectors, ChunkSizeDoesNotChangeTheResult) {
    const auto data = test::PseudoRandomBytes(20011, 7);
    const std::uint32_t whole = Crc32(data);
    for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{15},
                                    std::size_t{64}, std::size_t{512}, std::size_t{8192}}) {
        EXPECT_EQ(CrcInPieces(data, piece), whole) << "pieces of " << piece;
    }
    for (const auto& v : Vectors()) {
        const auto bytes = Bytes(v.input);
        EXPECT_EQ(CrcInPieces(bytes, 1), v.expected);
        EXPECT_EQ(CrcInPieces(bytes, 3), v.expected);
        EXPECT_EQ(CrcInPieces(bytes, 512), v.expected);
    }
}

// The carry-less folding takes runs of 64 bytes and more; every length and
// start alignment around its thresholds must agree with the table path.
TEST(Crc32Vectors, FoldingAgreesWithTablesAtEveryLengthAndAlignment) {
    if (!detail::Crc32HardwareAvailable()) {
        GTEST_SKIP() << "no carry-less multiplication on this CPU";
    }
    const auto data = test::PseudoRandomBytes(4096 + 64, 11);
    const std::span<const std::uint8_t> all(data);
    for (std::size_t offset = 0; offset < 16; ++offset) {
        for (std::size_t length = 0; length <= 400; ++length) {
            const auto piece = all.subspan(offset, length);
            ASSERT_EQ(Crc32Update(0x12345678u, piece),
                      detail::Crc32UpdatePortable(0x12345678u, piece))
                << "offset " << offset << ", length " << length;
        }
    }
    const auto large = all.subspan(3, 4096 + 17);
    EXPECT_EQ(Crc32(large), Crc32Final(detail::Crc32UpdatePortable(Crc32Init(), large)));
}

// Each folding path this processor has, 128 and 256 bits at a time, against
// the tables: every length up to past two of the wide path's 128-byte steps,
// every start alignment, and a few long runs.
TEST(Crc32Vectors, EachPathAgreesWithTheTables) {
    const auto data = test::PseudoRandomBytes(70000, 12);
    const std::span<const std::uint8_t> all(data);
    for (const auto& [path, name] : {std::pair{detail::Crc32Path::Clmul, "PCLMULQDQ"},
                                     std::pair{detail::Crc32Path::WideClmul, "VPCLMULQDQ"}}) {
        if (!detail::Crc32PathAvailable(path)) {
            std::printf("[  SKIPPED ] %s: not on this processor\n", name);
            continue;
        }
        for (std::size_t offset = 0; offset < 32; offset += 5) {
            for (std::size_t length = 0; length <= 700; ++length) {
                const auto piece = all.subspan(offset, length);
                ASSERT_EQ(detail::Crc32UpdateOn(path, 0x9abcdef0u, piece),
                          detail::Crc32UpdatePortable(0x9abcdef0u, piece))
                    << name << ", offset " << offset << ", length " << length;
            }
        }
        for (const std::size_t length : {1024u, 4096u, 4111u, 65536u, 69999u}) {
            const auto piece = all.subspan(1, length);
            EXPECT_EQ(detail::Crc32UpdateOn(path, Crc32Init(), piece),
                      detail::Crc32UpdatePortable(Crc32Init(), piece))
                << name << ", length " << length;
        }
    }
}

TEST(Crc32ByteArray, ThirtyTwoThousandSevenHundredSixtyEightElementsOverflow) {
    const CRC32_Class calculator;
    const std::vector<std::uint8_t> largest(32767, 0x5A);
    EXPECT_EQ(calculator.GetByteArrayCrc32(largest), Crc32(largest));

    for (const std::size_t size : {std::size_t{32768}, std::size_t{100000}}) {
        const std::vector<std::uint8_t> tooLarge(size, 0x5A);
        try {
            (void)calculator.GetByteArrayCrc32(tooLarge);
            ADD_FAILURE() << "no error for " << size << " elements";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.Number(), kErrOverflow);
            EXPECT_STREQ(e.what(), "Overflow");
        }
    }
}

class Crc32File : public ::testing::Test {
protected:
    test::ScratchDir dir;
};

TEST_F(Crc32File, EmptyFileAndFailedStreamGiveZero) {
    const CRC32_Class calculator;
    const auto empty = dir / "empty.bin";
    test::WriteFile(empty, std::vector<std::uint8_t>{});
    BinaryFileStream_Class stream;
    stream.setFile(empty);
    EXPECT_EQ(calculator.GetFileCrc32(stream), 0u);

    BinaryFileStream_Class failed;
    EXPECT_THROW(failed.setFile(dir / "missing.bin"), RuntimeError);
    EXPECT_EQ(calculator.GetFileCrc32(failed), 0u);

    BinaryFileStream_Class neverOpened;
    EXPECT_EQ(calculator.GetFileCrc32(neverOpened), 0u);
}

TEST_F(Crc32File, OneCalculatorServesManyFiles) {
    const CRC32_Class calculator;
    const auto a = dir / "a.txt";
    const auto b = dir / "b.txt";
    test::WriteFile(a, std::string("123456789"));
    test::WriteFile(b, std::string("The quick brown fox jumps over the lazy dog"));
    BinaryFileStream_Class stream;
    stream.setFile(a);
    EXPECT_EQ(calculator.GetFileCrc32(stream), 0xCBF43926u);
    stream.setFile(b);
    EXPECT_EQ(calculator.GetFileCrc32(stream), 0x414FA339u);
    // A second call on an exhausted stream sees no more data.
    EXPECT_EQ(calculator.GetFileCrc32(stream), 0u);
}

} // namespace
} // namespace varnel
