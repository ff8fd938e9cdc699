// A file that changes while it is read gets no digest: the block shows the
// size and time it had when opened, CRC-32 "00000000" and empty digests, as
// for an unreadable file, and says why. The change is made between chunks
// through the gatherer's own hook, so nothing races.
#include "report/file_facts.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <functional>

namespace varnel {
namespace {

using test::ScratchDir;
using test::WriteFile;

struct Change {
    const char* what;
    std::function<void(const std::filesystem::path&)> make; // run after the first chunk
    bool changed;
};

void Append(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "12345678", 8), 8);
    ::close(fd);
}

void Touch(const std::filesystem::path& path) {
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    const struct timespec times[2] = {{0, UTIME_OMIT}, {st.st_mtim.tv_sec + 7, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// Overwrites the first bytes in place (the length stays) and sets the
// modification time back to what it was: only the change time tells. The
// system stamps files from a coarse clock, so the rewrite waits until that
// clock has passed the file's change time, or both could fall in one tick.
void RewriteKeepingTime(const std::filesystem::path& path) {
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    for (;;) {
        struct timespec now {};
        ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
        if (now.tv_sec > before.st_ctim.tv_sec ||
            (now.tv_sec == before.st_ctim.tv_sec && now.tv_nsec > before.st_ctim.tv_nsec)) {
            break;
        }
        ::usleep(1000);
    }
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "rewritten", 9, 0), 9);
    ::close(fd);
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(ChangingFile, ChangesWhileReadGiveNoDigestsButUnchangedFilesDo) {
    const Change changes[] = {
        {"left alone", [](const std::filesystem::path&) {}, false},
        {"eight bytes appended", Append, true},
        {"cut to 100 bytes", [](const auto& p) { std::filesystem::resize_file(p, 100); }, true},
        {"cut to nothing", [](const auto& p) { std::filesystem::resize_file(p, 0); }, true},
        {"touched", Touch, true},
        {"rewritten with its time set back", RewriteKeepingTime, true},
    };
    // Under and over the size from which MD5 runs on a helper thread, and
    // with no helper thread at all.
    struct Path {
        std::size_t size;
        bool helperThread;
    };
    for (const Path way : {Path{3u << 20, true}, Path{6u << 20, true}, Path{6u << 20, false}}) {
        for (const Change& change : changes) {
            ScratchDir dir;
            const std::filesystem::path file = dir / "data.bin";
            WriteFile(file, test::PseudoRandomBytes(way.size, 7));
            const auto oracle = test::OracleDigestsOf(file);

            FactsGatherer gatherer(way.helperThread);
            FactsGatherer::Control control;
            bool changedOnce = false;
            control.afterChunk = [&](std::uint64_t) {
                if (!changedOnce) {
                    changedOnce = true;
                    change.make(file);
                }
            };
            ReportOptions options;
            options.ShowCRC32 = true;
            const FileFacts facts = gatherer.Gather(file, options, {}, control);

            const std::string where = std::string(change.what) + ", " + std::to_string(way.size) +
                                      " bytes" + (way.helperThread ? "" : ", one thread");
            EXPECT_TRUE(changedOnce) << where;
            // The size line is the size the file had when it was opened.
            EXPECT_EQ(facts.size, way.size) << where;
            if (change.changed) {
                EXPECT_FALSE(facts.readOk) << where;
                EXPECT_EQ(facts.failureKind, ReadFailure::Changed) << where;
                EXPECT_NE(facts.failure.find("changed while it was read"), std::string::npos)
                    << where;
                EXPECT_EQ(facts.crc32, 0u) << where;
                EXPECT_TRUE(facts.md5.empty() && facts.sha1.empty()) << where;
            } else {
                EXPECT_TRUE(facts.readOk) << where << ": " << facts.failure;
                EXPECT_EQ(facts.md5, oracle.md5) << where;
                EXPECT_EQ(facts.sha1, oracle.sha1) << where;
            }
        }
    }
}

TEST(ChangingFile, AFileThatCannotBeReachedSaysWhy) {
    ScratchDir dir;
    WriteFile(dir / "plain", std::string("x"));
    std::filesystem::create_directory(dir / "locked");
    WriteFile(dir / "locked" / "inside", std::string("x"));
    ::chmod((dir / "locked").c_str(), 0);
    struct Case {
        std::filesystem::path path;
        const char* reason;
        bool needsNonRoot;
    };
    const Case cases[] = {
        {dir / "missing", "not found", false},
        {dir / "plain" / "below", "not found", false},
        {dir / std::string(300, 'n'), "File name too long", false},
        {dir / "locked" / "inside", "Permission denied", true},
    };
    for (const Case& c : cases) {
        if (c.needsNonRoot && ::geteuid() == 0) {
            continue; // permissions do not stop the superuser
        }
        const FileFacts facts = GatherFileFacts(c.path, ReportOptions{});
        EXPECT_FALSE(facts.readOk);
        EXPECT_EQ(facts.failure, c.reason) << c.path;
    }
    ::chmod((dir / "locked").c_str(), 0700);
}

} // namespace
} // namespace varnel
