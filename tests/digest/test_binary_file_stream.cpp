#include "digest/binary_file_stream.h"
#include "platform/os/errors.h"

#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace varnel {
namespace {

class BinaryFileStream : public ::testing::Test {
protected:
    std::filesystem::path MakeFile(const std::string& name, std::size_t size,
                                   std::uint32_t seed = 1) {
        auto path = dir / name;
        test::WriteFile(path, test::PseudoRandomBytes(size, seed));
        return path;
    }

    // Asserts that setFile(path) fails as "not found" and leaves the stream
    // closed, empty and remembering the path.
    void ExpectNotFound(const std::filesystem::path& path) {
        BinaryFileStream_Class stream;
        try {
            stream.setFile(path);
            ADD_FAILURE() << "no error for " << path;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.Number(), kErrFileNotFound);
            EXPECT_EQ(e.Source(), "Varnel.File");
            EXPECT_STREQ(e.what(), "File not found");
        }
        EXPECT_EQ(stream.Length(), 0);
        EXPECT_EQ(stream.file(), path);
        std::vector<std::uint8_t> buffer(8192, 0xEE);
        EXPECT_EQ(stream.Read(buffer, 8192), 0);
        EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](auto b) { return b == 0xEE; }));
    }

    test::ScratchDir dir;
};

TEST_F(BinaryFileStream, NewStreamIsEmptyAndClosed) {
    BinaryFileStream_Class stream;
    EXPECT_TRUE(stream.file().empty());
    EXPECT_EQ(stream.Length(), 0);
    std::vector<std::uint8_t> buffer(16);
    EXPECT_EQ(stream.Read(buffer, 16), 0);
    stream.Dispose();
    stream.Dispose();
}

TEST_F(BinaryFileStream, TenThousandBytesInChunksOf8192) {
    const auto path = MakeFile("ten-thousand.bin", 10000);
    const auto content = test::PseudoRandomBytes(10000);
    BinaryFileStream_Class stream;
    stream.setFile(path);
    EXPECT_EQ(stream.file(), path);
    EXPECT_EQ(stream.Length(), 10000);

    std::vector<std::uint8_t> buffer(8192);
    ASSERT_EQ(stream.Read(buffer, 8192), 8192);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), content.begin()));

    ASSERT_EQ(stream.Read(buffer, 8192), 1808);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 1808, content.begin() + 8192));
    // The tail of the buffer keeps the bytes of the first chunk.
    EXPECT_TRUE(std::equal(buffer.begin() + 1808, buffer.end(), content.begin() + 1808));
    EXPECT_EQ(stream.Delivered(), 10000);

    EXPECT_EQ(stream.Read(buffer, 8192), 0);
    EXPECT_EQ(stream.Read(buffer, 8192), 0);
    EXPECT_EQ(stream.ReadError(), 0);
    EXPECT_EQ(stream.Length(), 10000); // Dispose keeps the counts
}

TEST_F(BinaryFileStream, ExactChunkIsDeliveredWholeThenZero) {
    const auto path = MakeFile("exact.bin", 8192);
    BinaryFileStream_Class stream;
    stream.setFile(path);
    std::vector<std::uint8_t> buffer(8192);
    EXPECT_EQ(stream.Read(buffer, 8192), 8192);
    EXPECT_EQ(stream.Read(buffer, 8192), 0);
    EXPECT_EQ(stream.Delivered(), 8192);
}

TEST_F(BinaryFileStream, EmptyFileGivesZeroAtOnce) {
    const auto path = MakeFile("empty.bin", 0);
    BinaryFileStream_Class stream;
    stream.setFile(path);
    EXPECT_EQ(stream.Length(), 0);
    std::vector<std::uint8_t> buffer(8192);
    EXPECT_EQ(stream.Read(buffer, 8192), 0);
    EXPECT_EQ(stream.ReadError(), 0);
}

TEST_F(BinaryFileStream, RepointedStreamServesTheSecondFileWhole) {
    const auto first = MakeFile("first.bin", 20000, 1);
    const auto second = MakeFile("second.bin", 9000, 2);
    const auto expected = test::PseudoRandomBytes(9000, 2);
    BinaryFileStream_Class stream;
    stream.setFile(first);
    std::vector<std::uint8_t> buffer(4096);
    ASSERT_EQ(stream.Read(buffer, 4096), 4096);

    stream.setFile(second);
    EXPECT_EQ(stream.Length(), 9000);
    EXPECT_EQ(stream.Delivered(), 0);
    std::vector<std::uint8_t> got;
    std::int32_t n = 0;
    while ((n = stream.Read(buffer, 4096)) > 0) {
        got.insert(got.end(), buffer.begin(), buffer.begin() + n);
    }
    EXPECT_EQ(got, expected);

    // After a failed assignment nothing of the earlier file is served.
    stream.setFile(first);
    EXPECT_THROW(stream.setFile(dir / "gone.bin"), RuntimeError);
    EXPECT_EQ(stream.Length(), 0);
    EXPECT_EQ(stream.Read(buffer, 4096), 0);
}

TEST_F(BinaryFileStream, NotFoundCases) {
    // A hidden file, a folder, a missing path and an empty path.
    ExpectNotFound(MakeFile(".hidden", 100));
    std::filesystem::create_directory(dir / "folder");
    ExpectNotFound(dir / "folder");
    ExpectNotFound(dir / "missing.bin");
    ExpectNotFound(dir / "missing-folder" / "file.bin");
    ExpectNotFound(std::filesystem::path());
    // A regular file below a hidden folder is an ordinary file.
    std::filesystem::create_directory(dir / ".config");
    const auto inside = dir / ".config" / "inside.bin";
    test::WriteFile(inside, std::string("x"));
    BinaryFileStream_Class stream;
    EXPECT_NO_THROW(stream.setFile(inside));
    EXPECT_EQ(stream.Length(), 1);
}

TEST_F(BinaryFileStream, SystemEntriesAreNotFoundAndNeverBlock) {
    // A FIFO with no writer: opening it for reading in blocking mode would
    // hang; it must count as not found at once.
    const auto fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ExpectNotFound(fifo);
    // A character device.
    ExpectNotFound("/dev/null");
}

TEST_F(BinaryFileStream, LinkToARegularFileIsFollowed) {
    const auto target = MakeFile("target.bin", 300);
    std::filesystem::create_symlink(target, dir / "link.bin");
    BinaryFileStream_Class stream;
    stream.setFile(dir / "link.bin");
    EXPECT_EQ(stream.Length(), 300);
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
    ExpectNotFound(dir / "dangling");
}

TEST_F(BinaryFileStream, NameThatIsNotUtf8IsOpened) {
    const std::filesystem::path path = dir.path() / std::string("caf\xE9-\xFF.bin");
    test::WriteFile(path, std::string("abc"));
    BinaryFileStream_Class stream;
    stream.setFile(path);
    std::vector<std::uint8_t> buffer(3);
    ASSERT_EQ(stream.Read(buffer, 3), 3);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "abc");
}

TEST_F(BinaryFileStream, UnreadableFileFailsWithItsOpenError) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop root";
    }
    const auto path = MakeFile("locked.bin", 10);
    std::filesystem::permissions(path, std::filesystem::perms::none);
    BinaryFileStream_Class stream;
    try {
        stream.setFile(path);
        ADD_FAILURE() << "opened a file without read permission";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), kErrPermissionDenied);
        EXPECT_EQ(e.Source(), "Varnel.File");
    }
    EXPECT_EQ(stream.Length(), 0);
}

TEST_F(BinaryFileStream, ReadOnlyFileIsReadAndLeftUntouched) {
    const auto path = MakeFile("readonly.bin", 5000);
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    BinaryFileStream_Class stream;
    stream.setFile(path);
    std::vector<std::uint8_t> buffer(8192);
    EXPECT_EQ(stream.Read(buffer, 8192), 5000);
    EXPECT_EQ(stream.Read(buffer, 8192), 0);
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_mode, before.st_mode);
}

TEST_F(BinaryFileStream, FileThatShrinksWhileReadIsAnErrorNotAnEnd) {
    const auto path = MakeFile("shrinking.bin", 20000);
    BinaryFileStream_Class stream;
    stream.setFile(path);
    std::vector<std::uint8_t> buffer(8192);
    ASSERT_EQ(stream.Read(buffer, 8192), 8192);
    ASSERT_EQ(::truncate(path.c_str(), 10000), 0);
    EXPECT_EQ(stream.Read(buffer, 8192), 0);
    EXPECT_EQ(stream.ReadError(), kErrInputPastEndOfFile);
    EXPECT_EQ(stream.Delivered(), 8192);
    EXPECT_EQ(stream.Read(buffer, 8192), 0);
    // Assigning a file again clears the error.
    stream.setFile(path);
    EXPECT_EQ(stream.ReadError(), 0);
    EXPECT_EQ(stream.Length(), 10000);
}

TEST_F(BinaryFileStream, BufferSmallerThanTheChunkIsRefused) {
    const auto path = MakeFile("small-buffer.bin", 100);
    BinaryFileStream_Class stream;
    stream.setFile(path);
    std::vector<std::uint8_t> buffer(10, 0xEE);
    try {
        (void)stream.Read(buffer, 11);
        ADD_FAILURE() << "read into a buffer smaller than the chunk";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), kErrSubscriptOutOfRange);
    }
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](auto b) { return b == 0xEE; }));
    // Nothing was consumed: the file is still served from its first byte.
    EXPECT_EQ(stream.Read(buffer, 10), 10);
    const auto content = test::PseudoRandomBytes(100);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), content.begin()));
    EXPECT_EQ(stream.Read(buffer, 0), 0);
    EXPECT_EQ(stream.Read(buffer, -5), 0);
    EXPECT_EQ(stream.Delivered(), 10);
}

} // namespace
} // namespace varnel
