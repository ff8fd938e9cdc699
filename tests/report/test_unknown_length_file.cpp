// Regular files whose size reads 0 but that hold bytes (most of /proc, some
// FUSE file systems), or whose size says more than they hold while nothing
// about them changes (sysfs says 4096 for every attribute), are read to their
// end: the block's digests are those of the bytes read and its size is their
// count. /proc/crypto gives its text a page or less at a time, so it also
// takes several short reads to the end.
#include "report/file_facts.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <fstream>

namespace varnel {
namespace {

// The bytes a plain stream reads from path (the oracle of the size line).
std::uint64_t BytesIn(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    char chunk[4096];
    std::uint64_t total = 0;
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        total += static_cast<std::uint64_t>(in.gcount());
    }
    return total;
}

TEST(UnknownLengthFile, IsReadToItsEndAndSizedByTheBytesRead) {
    // Files whose text does not change between two reads in one test run
    // (the mount table would: other tests mount file systems meanwhile).
    const char* const paths[] = {"/proc/version", "/proc/crypto", "/proc/self/limits",
                                 "/sys/devices/system/cpu/online",
                                 "/sys/kernel/mm/transparent_hugepage/enabled"};
    int tried = 0;
    for (const char* path : paths) {
        struct stat st {};
        if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode)) {
            continue; // not on this system
        }
        const std::uint64_t bytes = BytesIn(path);
        if (bytes == 0 || (st.st_size != 0 && bytes >= static_cast<std::uint64_t>(st.st_size))) {
            continue; // its size tells its length here
        }
        const test::OracleDigests oracle = test::OracleDigestsOf(path);
        for (const bool helperThread : {true, false}) {
            FactsGatherer gatherer(helperThread);
            ReportOptions options;
            options.ShowCRC32 = true;
            // Progress counts each byte once, even of a file read twice
            // because its size said more than it held.
            std::atomic<std::uint64_t> bytesRead{0};
            std::atomic<std::uint64_t> bytesKnown{0};
            FactsGatherer::Control control;
            control.bytesRead = &bytesRead;
            control.bytesKnown = &bytesKnown;
            const FileFacts facts = gatherer.Gather(path, options, {}, control);
            EXPECT_TRUE(facts.readOk) << path << ": " << facts.failure;
            EXPECT_EQ(facts.size, bytes) << path;
            EXPECT_EQ(bytesRead.load(), bytes) << path;
            if (st.st_size != 0) {
                EXPECT_EQ(bytesKnown.load(), bytes) << path;
            }
            EXPECT_EQ(test::Hex8(facts.crc32), oracle.crc32) << path;
            EXPECT_EQ(facts.sha1, oracle.sha1) << path;
            EXPECT_EQ(facts.md5, oracle.md5) << path;
        }
        ++tried;
    }
    if (tried == 0) {
        GTEST_SKIP() << "no file here whose size is not its length";
    }
}

TEST(UnknownLengthFile, AnEmptyFileStaysTheDigestOfNothing) {
    test::ScratchDir dir;
    test::WriteFile(dir / "empty", std::string());
    ReportOptions options;
    options.ShowCRC32 = true;
    const FileFacts facts = GatherFileFacts(dir / "empty", options);
    EXPECT_TRUE(facts.readOk) << facts.failure;
    EXPECT_EQ(facts.size, 0u);
    EXPECT_EQ(facts.crc32, 0u);
    EXPECT_EQ(facts.md5, "D41D8CD98F00B204E9800998ECF8427E"); // md5sum of no bytes
}

} // namespace
} // namespace varnel
