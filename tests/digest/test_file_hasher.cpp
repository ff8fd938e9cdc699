// The one read loop: every digest from one pass, equal to an independent
// tool's, on one thread or with the MD5 helper; the limit, the cancel flag and
// the byte count that progress is shown from.

#include "digest/blake3.h"
#include "digest/crc32.h"
#include "digest/file_hasher.h"

#include "formats/hex.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

using test::OracleDigestsOf;
using test::PseudoRandomBytes;
using test::ScratchDir;
using test::WriteFile;

constexpr DigestSelection kAll{true, true, true};

TEST(FileHasher, OnePassGivesTheSameDigestsAsAnIndependentTool) {
    ScratchDir dir;
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{8191},
                                   std::size_t{8193}, std::size_t{(256u << 10) + 1},
                                   static_cast<std::size_t>(FileHasher::kSplitThreshold) + 3}) {
        const auto path = dir / ("f" + std::to_string(size));
        WriteFile(path, PseudoRandomBytes(size, static_cast<std::uint32_t>(size)));
        const test::OracleDigests expected = OracleDigestsOf(path);
        for (const bool helper : {true, false}) {
            SCOPED_TRACE(std::to_string(size) + (helper ? " with helper" : " one thread"));
            platform::ReadOnlyFile file = platform::ReadOnlyFile::Open(path);
            std::atomic<std::uint64_t> counted{0};
            HashControl control;
            control.bytesRead = &counted;
            FileHasher hasher(helper);
            const HashResult result = hasher.Hash(file, kAll, control);
            EXPECT_EQ(result.outcome, HashOutcome::Done);
            EXPECT_EQ(result.bytes, size);
            EXPECT_EQ(counted.load(), size);
            EXPECT_EQ(test::Hex8(result.crc32), expected.crc32);
            EXPECT_EQ(result.sha1, expected.sha1);
            EXPECT_EQ(result.md5, expected.md5);
        }
    }
}

// A large file's BLAKE3 is read in reads long enough for its threads, alone
// and beside the digests that send MD5 to the helper.
TEST(FileHasher, LargeFilesBlake3OnItsThreadsIsTheOneThreadDigest) {
    ScratchDir dir;
    const std::size_t size = (9u << 20) + 1025;
    const std::vector<std::uint8_t> bytes = PseudoRandomBytes(size, 9);
    WriteFile(dir / "large", bytes);
    const std::string expected = formats::HexUpper(Blake3::Hash(bytes, 1));
    DigestSelection alone;
    alone.blake3 = true;
    DigestSelection withMd5 = kAll;
    withMd5.blake3 = true;
    for (const DigestSelection& wanted : {alone, withMd5}) {
        platform::ReadOnlyFile file = platform::ReadOnlyFile::Open(dir / "large");
        FileHasher hasher;
        const HashResult result = hasher.Hash(file, wanted);
        EXPECT_EQ(result.outcome, HashOutcome::Done);
        EXPECT_EQ(result.bytes, size);
        EXPECT_EQ(result.blake3, expected);
    }
}

// One hasher over a run of files, with the digests asked changing and a
// cancelled file in between: nothing of one file shows in the next.
TEST(FileHasher, OneHasherOverManyFilesKeepsThemApart) {
    ScratchDir dir;
    struct Step {
        std::size_t size;
        DigestSelection wanted;
        bool cancel;
    };
    const std::vector<Step> steps = {
        {4096, kAll, false},
        {100, {false, false, true}, false},
        {(256u << 10) + 7, kAll, true},
        {0, kAll, false},
        {5000, {false, true, false}, false},
        {static_cast<std::size_t>(FileHasher::kSplitThreshold) + 1, kAll, false},
        {33, {true, true, true}, false},
    };
    for (const bool helper : {true, false}) {
        FileHasher hasher(helper);
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const Step& step = steps[i];
            SCOPED_TRACE("file " + std::to_string(i) + (helper ? " with helper" : ""));
            const auto path = dir / ("m" + std::to_string(i));
            WriteFile(path, PseudoRandomBytes(step.size, static_cast<std::uint32_t>(i + 11)));
            platform::ReadOnlyFile file = platform::ReadOnlyFile::Open(path);
            std::atomic<bool> cancel{false};
            HashControl control;
            control.cancel = &cancel;
            control.afterChunk = [&](std::uint64_t) { cancel.store(step.cancel); };
            const HashResult result = hasher.Hash(file, step.wanted, control);
            if (step.cancel) {
                EXPECT_EQ(result.outcome, HashOutcome::Cancelled);
                continue;
            }
            const test::OracleDigests expected = OracleDigestsOf(path);
            EXPECT_EQ(result.outcome, HashOutcome::Done);
            EXPECT_EQ(result.md5, step.wanted.md5 ? expected.md5 : "");
            EXPECT_EQ(result.sha1, step.wanted.sha1 ? expected.sha1 : "");
            if (step.wanted.crc32) {
                EXPECT_EQ(test::Hex8(result.crc32), expected.crc32);
            }
        }
    }
}

TEST(FileHasher, OnlyTheDigestsAskedForAreMade) {
    ScratchDir dir;
    const auto path = dir / "f";
    WriteFile(path, std::string("abc"));
    platform::ReadOnlyFile file = platform::ReadOnlyFile::Open(path);
    FileHasher hasher;
    const HashResult result = hasher.Hash(file, DigestSelection{false, false, true});
    EXPECT_EQ(result.md5, "900150983CD24FB0D6963F7D28E17F72"); // RFC 1321 test suite
    EXPECT_TRUE(result.sha1.empty());
    EXPECT_EQ(result.crc32, 0u);
}

TEST(FileHasher, LimitCancelAndShortFilesEndTheReadAsAsked) {
    ScratchDir dir;
    const auto data = PseudoRandomBytes(100, 7);
    const auto path = dir / "f";
    WriteFile(path, data);
    const std::span<const std::uint8_t> all(data);
    struct Case {
        const char* name;
        std::uint64_t limit;
        bool exactly;
        bool cancelled;
        HashOutcome outcome;
        std::uint64_t bytes;
    };
    const Case cases[] = {
        {"limit inside the file", 40, true, false, HashOutcome::Done, 40},
        {"limit past the end, loose", 500, false, false, HashOutcome::Done, 100},
        {"limit past the end, exact", 500, true, false, HashOutcome::EndedEarly, 100},
        {"cancelled before the start", 100, false, true, HashOutcome::Cancelled, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::ReadOnlyFile file = platform::ReadOnlyFile::Open(path);
        const std::atomic<bool> cancel{c.cancelled};
        HashControl control;
        control.limit = c.limit;
        control.expectExactly = c.exactly;
        control.cancel = &cancel;
        FileHasher hasher;
        const HashResult result = hasher.Hash(file, kAll, control);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.bytes, c.bytes);
        // CRC-32 covers what was read, whatever the outcome; the texts only
        // a whole read.
        EXPECT_EQ(result.crc32, Crc32(all.first(static_cast<std::size_t>(c.bytes))));
        EXPECT_EQ(result.md5.empty(), c.outcome != HashOutcome::Done);
    }
}

} // namespace
} // namespace varnel
