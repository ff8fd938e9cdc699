// The longer digests of checksum lists (SHA-256, SHA-512, BLAKE2b-512) and
// the kinds added later (SHA3-256, SHA3-512, XXH3, XXH128, BLAKE3) from the
// one read loop, on one thread and beside the MD5 helper, equal to what
// sha256sum, sha512sum, b2sum, openssl dgst, xxhsum and b3sum give for the
// same files.

#include "digest/file_hasher.h"

#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace varnel {
namespace {

using test::PseudoRandomBytes;
using test::ScratchDir;
using test::WriteFile;

// The digest the tool prints for path, upper case: the first word of an
// untagged line ("<hex>  <name>"), the last of a tagged one ("XXH3 (<name>) =
// <hex>", "SHA3-256(<name>)= <hex>"). The path is a plain name in a scratch
// folder, so it needs no quoting.
std::string ToolDigest(const char* tool, const std::filesystem::path& path) {
    const std::string command = std::string(tool) + " '" + path.string() + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {};
    }
    char line[512] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    ::pclose(pipe);
    std::string text(line);
    text = text.substr(0, text.find('\n'));
    if (text.find(")= ") != std::string::npos || text.find(") = ") != std::string::npos) {
        text = text.substr(text.rfind(' ') + 1);
    } else {
        text = text.substr(0, text.find(' '));
    }
    if (!got) {
        text.clear();
    }
    std::transform(text.begin(), text.end(), text.begin(), ::toupper);
    return text;
}

TEST(ListDigests, OnePassGivesWhatTheToolsGive) {
    ScratchDir dir;
    DigestSelection wide;
    wide.sha256 = wide.sha512 = wide.blake2b = true;
    DigestSelection withMd5 = wide; // large files: MD5 on the helper thread
    withMd5.md5 = true;
    FileHasher hasher; // one hasher for every file: nothing of one shows in the next
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{1}, std::size_t{8191}, std::size_t{(256u << 10) + 1},
          static_cast<std::size_t>(FileHasher::kSplitThreshold) + 3}) {
        const auto path = dir / ("f" + std::to_string(size));
        WriteFile(path, PseudoRandomBytes(size, static_cast<std::uint32_t>(size) + 7));
        const std::string sha256 = ToolDigest("sha256sum", path);
        const std::string sha512 = ToolDigest("sha512sum", path);
        const std::string blake2b = ToolDigest("b2sum", path);
        ASSERT_EQ(sha256.size(), 64u);
        for (const DigestSelection& wanted : {wide, withMd5}) {
            SCOPED_TRACE(std::to_string(size) + (wanted.md5 ? " with MD5" : ""));
            platform::ReadOnlyFile file = platform::ReadOnlyFile::Open(path);
            const HashResult result = hasher.Hash(file, wanted);
            EXPECT_EQ(result.outcome, HashOutcome::Done);
            EXPECT_EQ(result.sha256, sha256);
            EXPECT_EQ(result.sha512, sha512);
            EXPECT_EQ(result.blake2b, blake2b);
            EXPECT_EQ(result.md5.empty(), !wanted.md5);
        }
    }
    // Asked for nothing of them, none is made.
    platform::ReadOnlyFile file = platform::ReadOnlyFile::Open(dir / "f1");
    const HashResult md5Only = hasher.Hash(file, DigestSelection{false, false, true});
    EXPECT_TRUE(md5Only.sha256.empty() && md5Only.sha512.empty() && md5Only.blake2b.empty());
}

TEST(ListDigests, TheLaterKindsGiveWhatTheirJudgesGive) {
    ScratchDir dir;
    DigestSelection later;
    later.sha3_256 = later.sha3_512 = later.xxh3 = later.xxh128 = later.blake3 = true;
    DigestSelection withMd5 = later; // large files: MD5 on the helper thread
    withMd5.md5 = withMd5.crc32 = true;
    struct Judge {
        const char* tool;
        std::string HashResult::*text;
        std::size_t length;
    };
    const Judge judges[] = {
        {"openssl dgst -sha3-256", &HashResult::sha3_256, 64},
        {"openssl dgst -sha3-512", &HashResult::sha3_512, 128},
        {"xxhsum -H3", &HashResult::xxh3, 16},
        {"xxhsum -H128", &HashResult::xxh128, 32},
        {"b3sum", &HashResult::blake3, 64},
    };
    FileHasher hasher;
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{1}, std::size_t{4095}, std::size_t{4096},
          std::size_t{(1u << 20) + 1}, static_cast<std::size_t>(FileHasher::kSplitThreshold) + 3}) {
        const auto path = dir / ("g" + std::to_string(size));
        const std::vector<std::uint8_t> bytes =
            PseudoRandomBytes(size, static_cast<std::uint32_t>(size) + 11);
        WriteFile(path, bytes);
        for (const Judge& judge : judges) {
            const std::string expected = ToolDigest(judge.tool, path);
            ASSERT_EQ(expected.size(), judge.length) << judge.tool;
            for (const DigestSelection& wanted : {later, withMd5}) {
                platform::ReadOnlyFile file = platform::ReadOnlyFile::Open(path);
                const HashResult result = hasher.Hash(file, wanted);
                EXPECT_EQ(result.outcome, HashOutcome::Done);
                EXPECT_EQ(result.*(judge.text), expected)
                    << judge.tool << ", " << size << " bytes" << (wanted.md5 ? " with MD5" : "");
            }
        }
    }
    // Asked for nothing of them, none is made.
    platform::ReadOnlyFile file = platform::ReadOnlyFile::Open(dir / "g1");
    const HashResult md5Only = hasher.Hash(file, DigestSelection{false, false, true});
    for (const Judge& judge : judges) {
        EXPECT_TRUE((md5Only.*(judge.text)).empty()) << judge.tool;
    }
}

} // namespace
} // namespace varnel
