#include "platform/os/errors.h"
#include "platform/os/file_query.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace varnel::platform {
namespace {

class FileQuery : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "varnel-platform-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::filesystem::path MakeFile(const std::string& name, const std::string& content) {
        auto path = dir / name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    std::filesystem::path dir;
};

TEST(HiddenName, OnlyTheEntrysOwnNameCounts) {
    EXPECT_TRUE(IsHiddenName(".bashrc"));
    EXPECT_TRUE(IsHiddenName("/home/user/.profile"));
    EXPECT_TRUE(IsHiddenName("/home/user/.config/")); // the folder itself
    EXPECT_FALSE(IsHiddenName("/home/user/.config/app.conf"));
    EXPECT_FALSE(IsHiddenName("report.txt"));
    EXPECT_FALSE(IsHiddenName("archive.tar.gz"));
    EXPECT_FALSE(IsHiddenName("."));
    EXPECT_FALSE(IsHiddenName(".."));
    EXPECT_FALSE(IsHiddenName(""));
    EXPECT_TRUE(IsHiddenName("/home/user/.config//"));
    EXPECT_TRUE(IsHiddenName("a/.b/.c"));
    EXPECT_FALSE(IsHiddenName(".a/b"));
    EXPECT_FALSE(IsHiddenName("/"));
    EXPECT_FALSE(IsHiddenName("dir/./"));
    EXPECT_FALSE(IsHiddenName("dir/../"));
}

TEST_F(FileQuery, EntryAttributes) {
    const auto file = MakeFile("data.bin", "12345");
    const auto info = QueryEntry(file);
    ASSERT_TRUE(info.has_value());
    EXPECT_TRUE(info->regularFile);
    EXPECT_FALSE(info->directory || info->system || info->hidden);
    EXPECT_EQ(info->size, 5u);

    const auto folder = QueryEntry(dir);
    ASSERT_TRUE(folder.has_value());
    EXPECT_TRUE(folder->directory);
    EXPECT_EQ(folder->size, 0u);

    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    const auto fifo = QueryEntry(dir / "pipe");
    ASSERT_TRUE(fifo.has_value());
    EXPECT_TRUE(fifo->system);
    EXPECT_FALSE(fifo->regularFile);

    const auto hidden = QueryEntry(MakeFile(".secret", "x"));
    ASSERT_TRUE(hidden.has_value());
    EXPECT_TRUE(hidden->hidden);

    // Links are followed: a hard link and a symbolic link name the same entry.
    std::filesystem::create_hard_link(file, dir / "hard.bin");
    std::filesystem::create_symlink(file, dir / "soft.bin");
    const auto hard = QueryEntry(dir / "hard.bin");
    const auto soft = QueryEntry(dir / "soft.bin");
    ASSERT_TRUE(hard.has_value() && soft.has_value());
    EXPECT_EQ(hard->inode, info->inode);
    EXPECT_EQ(soft->inode, info->inode);
    EXPECT_EQ(soft->device, info->device);

    EXPECT_FALSE(QueryEntry(dir / "missing").has_value());
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
    EXPECT_FALSE(QueryEntry(dir / "dangling").has_value());
    EXPECT_FALSE(QueryEntry("").has_value());
}

TEST_F(FileQuery, ModifiedTimeOfAnyDateTheFileSystemHolds) {
    const auto file = MakeFile("when.bin", "x");
    // Before 1970, the 64-bit nanosecond limit (2262-04-11), past it, ext4's end.
    for (const std::int64_t seconds :
         {std::int64_t{-2208970739}, std::int64_t{0}, std::int64_t{9223372036},
          std::int64_t{9223372037}, std::int64_t{17179869183}}) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(seconds), 250}};
        if (::utimensat(AT_FDCWD, file.c_str(), times, 0) != 0) {
            continue; // a file system that cannot hold the date
        }
        // The file system may round or bound the time (ext4 ends in 2446):
        // what it holds is what the query must give.
        struct stat held {};
        ASSERT_EQ(::stat(file.c_str(), &held), 0);
        const auto info = QueryEntry(file);
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->modified.time_since_epoch().count(), held.st_mtim.tv_sec) << seconds;
        EXPECT_EQ(info->modifiedNanoseconds, held.st_mtim.tv_nsec) << seconds;
    }
}

TEST_F(FileQuery, FindNormalFileAcceptsOnlyVisibleRegularFiles) {
    std::int32_t error = -1;
    EXPECT_TRUE(FindNormalFile(MakeFile("plain.txt", "abc"), error));
    EXPECT_EQ(error, 0);
    EXPECT_TRUE(FindNormalFile(MakeFile("empty.txt", ""), error));
    EXPECT_EQ(error, 0);

    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    MakeFile(".hidden", "abc");
    const std::vector<std::filesystem::path> notFound = {
        dir / ".hidden",
        dir,
        dir / "pipe",
        "/dev/null",
        dir / "missing.txt",
        dir / "plain.txt" / "child", // a file used as a folder
        dir / std::string(300, 'n'), // a name longer than any file system allows
        "",
    };
    for (const auto& path : notFound) {
        error = -1;
        EXPECT_FALSE(FindNormalFile(path, error)) << path;
        EXPECT_EQ(error, kErrFileNotFound) << path;
    }
}

TEST_F(FileQuery, OpenReadOnlyNeverBlocksAndNeverWrites) {
    // Should the open block (a FIFO without writer), the alarm ends the test
    // program instead of letting it hang.
    ::alarm(20);

    const auto file = MakeFile("data.bin", "hello");
    const int fd = OpenReadOnly(file);
    ASSERT_GE(fd, 0);
    const int flags = ::fcntl(fd, F_GETFL);
    EXPECT_EQ(flags & O_ACCMODE, O_RDONLY);
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    char buffer[8] = {};
    EXPECT_EQ(::read(fd, buffer, sizeof buffer), 5);
    EXPECT_EQ(::write(fd, "x", 1), -1);
    ::close(fd);

    // A FIFO, named or reached through a link, is never opened: a writer
    // waiting on it stays waiting (an open for reading would release it, and
    // a close without reading would then kill it with SIGPIPE). Devices are
    // refused the same way.
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir / "pipe", dir / "to-pipe");
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        ::_exit(::open((dir / "pipe").c_str(), O_WRONLY) >= 0 ? 0 : 1);
    }
    for (const char* name : {"pipe", "to-pipe"}) {
        EXPECT_EQ(OpenReadOnly(dir / name), kNotOpenedSpecialEntry) << name;
    }
    EXPECT_EQ(OpenReadOnly("/dev/null"), kNotOpenedSpecialEntry);
    ::usleep(300'000);
    EXPECT_EQ(::waitpid(writer, nullptr, WNOHANG), 0) << "the waiting writer was released";
    const int reader = ::open((dir / "pipe").c_str(), O_RDONLY | O_NONBLOCK);
    int status = -1;
    ASSERT_EQ(::waitpid(writer, &status, 0), writer);
    ::close(reader);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_EQ(OpenReadOnly(dir / "missing"), -ENOENT);
    EXPECT_EQ(OpenReadOnly(""), -ENOENT);
    ::alarm(0);
}

TEST(ErrorNumbers, ErrnoMapsToRunTimeErrors) {
    EXPECT_EQ(ErrorNumberFromErrno(ENOENT), kErrFileNotFound);
    EXPECT_EQ(ErrorNumberFromErrno(ENOTDIR), kErrFileNotFound);
    EXPECT_EQ(ErrorNumberFromErrno(ENAMETOOLONG), kErrFileNotFound);
    EXPECT_EQ(ErrorNumberFromErrno(EACCES), kErrPermissionDenied);
    EXPECT_EQ(ErrorNumberFromErrno(EPERM), kErrPermissionDenied);
    EXPECT_EQ(ErrorNumberFromErrno(EIO), kErrPathFileAccess);

    EXPECT_EQ(StandardErrorMessage(kErrFileNotFound), "File not found");
    EXPECT_EQ(StandardErrorMessage(kErrOverflow), "Overflow");
    EXPECT_EQ(StandardErrorMessage(kErrInputPastEndOfFile), "Input past end of file");
    const RuntimeError error(kErrFileNotFound, "Varnel.File", StandardErrorMessage(53));
    EXPECT_EQ(error.Number(), 53);
    EXPECT_EQ(error.Source(), "Varnel.File");
    EXPECT_STREQ(error.what(), "File not found");
}

} // namespace
} // namespace varnel::platform
