// The verify window's run: the list commands' engine on threads of its own,
// with names taken below the list's folder whatever the working folder, the
// rows and counts it hands over, a stop that ends it at once, lists that are
// pipes read by the engine alone, the total counted ahead, and the call that
// tells the end.

#include "app/verify_run.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <fstream>
#include <thread>

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;
using test::WriteFile;

constexpr std::string_view kMd5Empty = "d41d8cd98f00b204e9800998ecf8427e";
constexpr std::string_view kMd5Abc = "900150983cd24fb0d6963f7d28e17f72";

// Takes rows until the run has finished (or a generous limit has passed).
std::vector<VerifyRow> RowsOf(VerifyRun& run) {
    std::vector<VerifyRow> rows;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!run.Finished() && std::chrono::steady_clock::now() < limit) {
        run.TakeRows(rows);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.TakeRows(rows);
    return rows;
}

struct Expected {
    std::string name;
    VerifyStatus status;
    ListStatus result;
    std::string to;
};

void ExpectRows(const std::vector<VerifyRow>& rows, const std::vector<Expected>& expected) {
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].name, expected[i].name) << i;
        EXPECT_EQ(rows[i].status, expected[i].status) << expected[i].name;
        EXPECT_EQ(rows[i].result, expected[i].result) << expected[i].name;
        EXPECT_EQ(rows[i].to, expected[i].to) << expected[i].name;
    }
}

// A folder holding a list and the files it names, some changed or gone.
class VerifyRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_Folder = m_Scratch.path() / "down loads";
        fs::create_directories(m_Folder / "sub");
        WriteFile(m_Folder / "same.bin", std::string("abc"));
        WriteFile(m_Folder / "changed.bin", std::string("abd"));
        WriteFile(m_Folder / "sub" / "empty", std::string());
        WriteFile(m_Folder / "odd \xff name", std::string());
        m_List = m_Folder / "SUMS.md5";
        std::ofstream(m_List) << kMd5Abc << "  same.bin\n"
                              << kMd5Abc << "  changed.bin\n"
                              << kMd5Empty << "  sub/empty\n"
                              << kMd5Abc << "  gone.bin\n"
                              << kMd5Empty << "  odd \xff name\n";
    }

    ScratchDir m_Scratch;
    fs::path m_Folder;
    fs::path m_List;
};

TEST_F(VerifyRunTest, ChecksNamesBelowTheListsFolderAndCountsEachKind) {
    // The working folder is elsewhere: names are taken below the list's.
    ASSERT_NE(fs::current_path(), m_Folder);
    VerifyRun run;
    run.Start({m_List.native()}, false);
    const std::vector<VerifyRow> rows = RowsOf(run);
    ExpectRows(rows, {
                         {"same.bin", VerifyStatus::Ok, ListStatus::Ok, ""},
                         {"changed.bin", VerifyStatus::Failed, ListStatus::Failed, ""},
                         {"sub/empty", VerifyStatus::Ok, ListStatus::Ok, ""},
                         {"gone.bin", VerifyStatus::Missing, ListStatus::Unreadable, ""},
                         {"odd \xff name", VerifyStatus::Ok, ListStatus::Ok, ""},
                     });
    EXPECT_EQ(rows[1].differs, std::vector<std::string>{"MD5"});
    EXPECT_FALSE(rows[3].reason.empty());
    const VerifyCounts counts = run.Counts();
    EXPECT_EQ(counts.ok, 3u);
    EXPECT_EQ(counts.failed, 1u);
    EXPECT_EQ(counts.missing, 1u);
    EXPECT_EQ(run.ExitStatus(), 1);
    const ProgressFigures progress = run.Progress();
    EXPECT_EQ(progress.filesDone, 5u);
    EXPECT_EQ(progress.filesTotal, std::optional<std::size_t>(5));
    EXPECT_EQ(progress.bytesDone, 6u); // the two files of three bytes
}

// A saved report written where another locale and zone were set: one
// block's time in the C locale's form, the other's as a day-first locale
// writes it eight hours ahead. The untouched file is OK, the one whose bytes
// changed with its size and time kept is damage, as only a saved report can
// tell.
TEST_F(VerifyRunTest, ASavedReportOfAnotherLocaleAndZoneTellsDamage) {
    const std::time_t when = 1765302288;
    // As the C locale writes it ("09 Dec 2025 17:44:48"), or a day-first
    // locale ("09.12.2025 17:44:48").
    const auto timeText = [](std::time_t at, bool dayFirst) {
        std::tm local{};
        ::localtime_r(&at, &local);
        char text[64];
        const std::size_t size =
            dayFirst ? std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &local)
                     : std::strftime(text, sizeof text, "%d %b %Y %H:%M:%S", &local);
        return std::string(text, size);
    };
    for (const char* name : {"same.bin", "changed.bin"}) {
        const struct timespec times[2] = {{when, 0}, {when, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (m_Folder / name).c_str(), times, 0), 0);
    }
    const fs::path report = m_Folder / "report.txt";
    std::ofstream(report) << "文件名称：same.bin\r\n文件大小：3 字节\r\n修改时间："
                          << timeText(when, false) << "\r\nMD5值     ：" << kMd5Abc
                          << "\r\n\r\n文件名称：changed.bin\r\n文件大小：3 字节\r\n修改时间："
                          << timeText(when + 8 * 3600, true) << "\r\nMD5值     ：" << kMd5Abc
                          << "\r\n\r\n";
    VerifyRun check;
    check.Start({report.native()}, false);
    ExpectRows(RowsOf(check), {
                                  {"same.bin", VerifyStatus::Ok, ListStatus::Ok, ""},
                                  {"changed.bin", VerifyStatus::Failed, ListStatus::Failed, ""},
                              });
    VerifyRun audit;
    audit.Start({report.native()}, true);
    std::vector<VerifyRow> rows = RowsOf(audit);
    std::erase_if(rows, [](const VerifyRow& row) { return row.status == VerifyStatus::New; });
    ExpectRows(rows, {
                         {"same.bin", VerifyStatus::Ok, ListStatus::Ok, ""},
                         {"changed.bin", VerifyStatus::Damaged, ListStatus::Damaged, ""},
                     });
}

TEST_F(VerifyRunTest, FindingNewFilesAuditsTheListsFolder) {
    fs::rename(m_Folder / "same.bin", m_Folder / "sub" / "renamed.bin");
    WriteFile(m_Folder / "added.txt", std::string("new"));
    VerifyRun run;
    run.Start({m_List.native()}, true);
    ExpectRows(RowsOf(run),
               {
                   {"changed.bin", VerifyStatus::Failed, ListStatus::Failed, ""},
                   {"sub/empty", VerifyStatus::Ok, ListStatus::Ok, ""},
                   {"odd \xff name", VerifyStatus::Ok, ListStatus::Ok, ""},
                   {"same.bin", VerifyStatus::Moved, ListStatus::Moved, "sub/renamed.bin"},
                   {"gone.bin", VerifyStatus::Missing, ListStatus::Missing, ""},
                   {"added.txt", VerifyStatus::New, ListStatus::New, ""},
               });
    const VerifyCounts counts = run.Counts();
    EXPECT_EQ(counts.moved, 1u);
    EXPECT_EQ(counts.added, 1u);
    EXPECT_EQ(run.Progress().filesDone, 5u); // the new file is no entry
}

TEST_F(VerifyRunTest, ListsThatCannotBeReadAreSaidAndTheRestChecked) {
    VerifyRun run;
    run.Start({(m_Folder / "no such list").native(), m_List.native()}, false);
    EXPECT_EQ(RowsOf(run).size(), 5u);
    std::vector<std::string> messages;
    run.TakeMessages(messages);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("no such list"), std::string::npos) << messages[0];
    EXPECT_EQ(run.ExitStatus(), 2);
}

TEST_F(VerifyRunTest, AStopEndsTheRunAtOnceAndNoRowComesAfter) {
    std::ofstream list(m_List);
    for (int i = 0; i < 20000; ++i) {
        list << kMd5Abc << "  same.bin\n";
    }
    list.close();
    VerifyRun run;
    run.Start({m_List.native()}, false);
    std::vector<VerifyRow> rows;
    while (rows.empty()) {
        run.TakeRows(rows);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    run.Stop();
    EXPECT_FALSE(run.Running());
    run.TakeRows(rows);
    EXPECT_TRUE(run.Finished());
    EXPECT_TRUE(run.Stopped());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::vector<VerifyRow> later;
    run.TakeRows(later);
    EXPECT_TRUE(later.empty());
    EXPECT_LT(rows.size(), 20000u);
}

// The working folder for a test's time.
class InFolder {
public:
    explicit InFolder(const fs::path& folder) : m_Before(fs::current_path()) {
        fs::current_path(folder);
    }
    ~InFolder() { fs::current_path(m_Before); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    fs::path m_Before;
};

// A list that is a FIFO (or a pipe: /dev/fd/63 of a process substitution)
// is read by the engine alone, once: its names are taken below the working
// folder, as varnel-report --check takes them, never below the FIFO's own
// folder, checked or audited.
TEST_F(VerifyRunTest, AListThatIsAPipeIsReadOnceWithNamesFromTheWorkingFolder) {
    const fs::path elsewhere = m_Scratch.path() / "elsewhere";
    fs::create_directories(elsewhere);
    const fs::path pipe = elsewhere / "sums.fifo";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const InFolder working(m_Folder);
    for (const bool findNew : {false, true}) {
        SCOPED_TRACE(findNew ? "audit" : "check");
        std::thread writer([&] {
            std::ofstream(pipe) << kMd5Abc << "  same.bin\n" << kMd5Empty << "  sub/empty\n";
        });
        VerifyRun run;
        run.Start({pipe.native()}, findNew);
        std::vector<VerifyRow> rows = RowsOf(run);
        writer.join();
        EXPECT_TRUE(run.ListsReadOnce());
        // The audit adds the working folder's files no list names.
        std::erase_if(rows, [](const VerifyRow& row) { return row.status == VerifyStatus::New; });
        ExpectRows(rows, {
                             {"same.bin", VerifyStatus::Ok, ListStatus::Ok, ""},
                             {"sub/empty", VerifyStatus::Ok, ListStatus::Ok, ""},
                         });
    }
    VerifyRun plain;
    plain.Start({m_List.native()}, false);
    RowsOf(plain);
    EXPECT_FALSE(plain.ListsReadOnce());
}

// The program's end asks how long the run's threads take: a read of a list
// that waits for its writer (in a run replaced since) is not waited for
// beyond the limit given.
TEST_F(VerifyRunTest, ThreadsInAReadThatWaitsAreToldOf) {
    const fs::path pipe = m_Folder / "sums.fifo";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const int writer = ::open(pipe.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    const std::string line = std::string(kMd5Abc) + "  same.bin\n";
    ASSERT_EQ(::write(writer, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    VerifyRun run;
    run.Start({pipe.native()}, false);
    // Its row is handed over before the read that waits for the next line.
    std::vector<VerifyRow> rows;
    while (rows.empty()) {
        run.TakeRows(rows);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    run.Start({m_List.native()}, false);
    EXPECT_EQ(RowsOf(run).size(), 5u);
    EXPECT_FALSE(run.ThreadsEndWithin(std::chrono::milliseconds(20))) << "the replaced run";
    ::close(writer); // the list ends, and so does the replaced run
    EXPECT_TRUE(run.ThreadsEndWithin(std::chrono::seconds(60)));
}

// Past the first entries the count only passes over the list's lines: its
// total still leaves out comments and empty lines.
TEST_F(VerifyRunTest, TheTotalOfALongListCountsItsEntriesOnly) {
    constexpr std::size_t kEntries = 5000;
    {
        std::ofstream list(m_List);
        for (std::size_t i = 0; i < kEntries; ++i) {
            list << kMd5Abc << "  same.bin\n" << (i % 100 == 0 ? "# a comment\n\n" : "");
        }
    }
    VerifyRun run;
    run.Start({m_List.native()}, false);
    EXPECT_EQ(RowsOf(run).size(), kEntries);
    const ProgressFigures progress = run.Progress();
    EXPECT_EQ(progress.filesTotal, std::optional<std::size_t>(kEntries));
    EXPECT_EQ(progress.filesDone, kEntries);
}

// The end is told once per run; a run dropped before its end never tells
// it.
TEST_F(VerifyRunTest, TheEndIsToldOnceAndNotForADroppedRun) {
    std::atomic<int> calls{0};
    {
        VerifyRun run;
        run.SetOnEnded([&] { ++calls; });
        run.Start({m_List.native()}, false);
        const std::vector<VerifyRow> rows = RowsOf(run);
        EXPECT_EQ(rows.size(), 5u);
        EXPECT_EQ(calls, 1);
        run.Start({m_List.native()}, true);
        EXPECT_EQ(RowsOf(run).size(), 5u);
        EXPECT_EQ(calls, 2);
    }

    const fs::path pipe = m_Folder / "sums.fifo";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::thread release;
    {
        VerifyRun run;
        run.SetOnEnded([&] { ++calls; });
        run.Start({pipe.native()}, false); // waits for a writer to open the pipe
        // Opened for both, the pipe lets the run's open through without
        // waiting for it; closed, it ends the list. That comes while the
        // dropped run is being waited for.
        release = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const int fd = ::open(pipe.c_str(), O_RDWR | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
            }
        });
    }
    release.join();
    EXPECT_EQ(calls, 2);
}

} // namespace
} // namespace varnel
