// A file of more than 4 GiB: its length and every byte must be served, and
// its digests must match an independent tool, through the file stream and
// through the facts gathering of the reports. The file is sparse, so it takes
// almost no disk space. Set VARNEL_SKIP_HUGE_FILE_TEST=1 to leave it out
// (slow sanitizer builds).

#include "digest/binary_file_stream.h"
#include "digest/crc32.h"
#include "digest/digest_context.h"
#include "report/file_facts.h"

#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace varnel {
namespace {

constexpr std::int64_t kHugeSize = (std::int64_t{4} << 30) + 12345;

// Makes a sparse file of kHugeSize bytes with a few marks of data at its
// start, across the 2 GiB and 4 GiB marks and in its last bytes. Returns
// false when the file system cannot hold it.
bool MakeSparseFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    bool ok = ::ftruncate(fd, kHugeSize) == 0;
    const std::string mark = "Varnel huge file mark";
    const std::int64_t offsets[] = {0, (std::int64_t{2} << 30) - 7, (std::int64_t{4} << 30) - 9,
                                    kHugeSize - static_cast<std::int64_t>(mark.size())};
    for (const std::int64_t offset : offsets) {
        ok = ok && ::pwrite(fd, mark.data(), mark.size(), static_cast<off_t>(offset)) ==
                       static_cast<ssize_t>(mark.size());
    }
    ok = ::close(fd) == 0 && ok;
    return ok;
}

TEST(HugeFile, LongerThanFourGiBIsServedWholeWithTrueDigests) {
    const char* skip = std::getenv("VARNEL_SKIP_HUGE_FILE_TEST");
    if (skip != nullptr && std::string(skip) == "1") {
        GTEST_SKIP() << "VARNEL_SKIP_HUGE_FILE_TEST=1";
    }
    test::ScratchDir dir;
    struct statvfs fs {};
    ASSERT_EQ(::statvfs(dir.path().c_str(), &fs), 0);
    if (static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize < (std::uint64_t{64} << 20)) {
        GTEST_SKIP() << "less than 64 MiB free for the sparse file";
    }
    const auto path = dir / "huge.bin";
    if (!MakeSparseFile(path)) {
        GTEST_SKIP() << "the file system cannot hold a file of " << kHugeSize << " bytes";
    }
    const test::OracleDigests expected = test::OracleDigestsOf(path);

    BinaryFileStream_Class stream;
    stream.setFile(path);
    EXPECT_EQ(stream.Length(), kHugeSize);
    const CRC32_Class calculator;
    EXPECT_EQ(test::Hex8(calculator.GetFileCrc32(stream)), expected.crc32);
    EXPECT_EQ(stream.Delivered(), kHugeSize);
    EXPECT_EQ(stream.ReadError(), 0);

    EXPECT_EQ(GetFileDigest(path, CALG_MD5), expected.md5);

    // The path the reports take: the facts gatherer, with the MD5 helper
    // thread and without it.
    ReportOptions all;
    all.ShowCRC32 = true;
    for (const bool helper : {true, false}) {
        SCOPED_TRACE(helper ? "with the helper thread" : "on one thread");
        std::atomic<std::uint64_t> bytesRead{0};
        FactsGatherer::Control control;
        control.bytesRead = &bytesRead;
        FactsGatherer gatherer(helper);
        const FileFacts facts = gatherer.Gather(path, all, {}, control);
        EXPECT_TRUE(facts.readOk) << facts.failure;
        EXPECT_EQ(facts.size, static_cast<std::uint64_t>(kHugeSize));
        EXPECT_EQ(test::Hex8(facts.crc32), expected.crc32);
        EXPECT_EQ(facts.sha1, expected.sha1);
        EXPECT_EQ(facts.md5, expected.md5);
        EXPECT_EQ(bytesRead.load(), static_cast<std::uint64_t>(kHugeSize));
    }
}

} // namespace
} // namespace varnel
