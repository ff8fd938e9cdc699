// varnel-report --update end to end: for each list format, the old bytes stay
// byte for byte and the lines added are those varnel-report writes for the
// new files; a failure or a kill part way leaves the old list whole.

#include "lists/list_update.h"

#include "tests/cli/run_program.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::Report;
using test::RunIn;
using test::RunResult;
using test::ScratchDir;
using test::WriteFile;

ino_t InodeOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_ino;
}

// A file, with the folders it lies in.
void Put(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    WriteFile(path, text);
}

std::string ToLf(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            out += text[i];
        }
    }
    return out;
}

TEST(ListUpdate, AddsTheNewFilesInTheListsOwnFormat) {
    struct Case {
        std::string_view what;
        std::vector<std::string> format; // how the list is written
        bool lineFeeds = false;          // the list's CR LF made LF first
    };
    const Case cases[] = {
        {"report", {}},
        {"report, other lines", {"--crc32", "--no-time", "--file-version", "--no-sha1"}},
        {"report, Traditional labels", {"--lang", "taiwan"}},
        {"report with LF line ends", {}, true},
        {"md5sum", {"--format", "md5sum"}},
        {"sha256sum", {"--format", "sha256sum"}},
        {"b2sum", {"--format", "b2sum"}},
        {"bsd", {"--format", "bsd"}},
        {"bsd with more tags", {"--format", "bsd", "--no-sha1", "--sha512", "--crc32"}},
        {"sfv", {"--format", "sfv"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what));
        ScratchDir top;
        Put(top / "d/a", "alpha\n");
        Put(top / "d/sub/b", "bravo\n");
        std::vector<std::string> args = c.format;
        args.emplace_back("d");
        std::string old = Report(top.path(), args).out;
        if (c.lineFeeds) {
            old = ToLf(old);
        }
        WriteFile(top / "d/LIST", old);
        WriteFile(top / "d/c", "charlie\n");
        WriteFile(top / "d/sub/new\\name", "new\n");
        WriteFile(top / "d/.hidden", "hidden\n");

        args = c.format;
        args.insert(args.end(), {"d/c", "d/sub/new\\name"});
        std::string expectedAdded = Report(top.path(), args).out;
        if (c.lineFeeds) {
            expectedAdded = ToLf(expectedAdded);
        }

        std::vector<std::string> update = {"--update", "d/LIST"};
        if (c.format.size() > 1 && c.format[0] == "--format" && c.format[1] == "b2sum") {
            update.insert(update.begin(), {"--format", "b2sum"}); // 128 digits: named
        }
        const RunResult run = Report(top.path(), update);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "d/c: ADDED\nd/sub/new\\\\name: ADDED\n");
        const std::string now = ReadAll(top / "d/LIST");
        ASSERT_GE(now.size(), old.size());
        EXPECT_EQ(now.substr(0, old.size()), old); // the old lines, byte for byte
        EXPECT_EQ(now.substr(old.size()), expectedAdded);
        const RunResult check = Report(top.path(), {"--check", "--quiet", "d/LIST"});
        EXPECT_EQ(check.status, 0) << check.out << check.err;

        // Up to date now: nothing to add, the list not rewritten.
        const ino_t inode = InodeOf(top / "d/LIST");
        const RunResult again = Report(top.path(), update);
        EXPECT_EQ(again.status, 0) << again.err;
        EXPECT_EQ(again.out, "");
        EXPECT_EQ(ReadAll(top / "d/LIST"), now);
        EXPECT_EQ(InodeOf(top / "d/LIST"), inode);
    }
}

// A list with the CRC-32 first ("9f606eec  d/a"), as rhash --simple writes
// it, gets its new lines in that form: rhash writes what is expected.
TEST(ListUpdate, ListsWithTheCrcFirstGetLinesInTheirForm) {
    ScratchDir top;
    Put(top / "d/a", "alpha\n");
    WriteFile(top / "d/LIST", RunIn(top.path(), {"rhash", "--simple", "d/a"}).out);
    Put(top / "d/sub/b", "bravo\n");
    const std::string old = ReadAll(top / "d/LIST");
    const RunResult run = Report(top.path(), {"--update", "d/LIST"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "d/sub/b: ADDED\n");
    EXPECT_EQ(ReadAll(top / "d/LIST"),
              old + RunIn(top.path(), {"rhash", "--simple", "d/sub/b"}).out);
    const RunResult check = RunIn(top.path(), {"rhash", "--check", "d/LIST"});
    EXPECT_EQ(check.status, 0) << check.out << check.err;
}

// New names are written as the list's own are: bare, after "./", or
// absolute.
TEST(ListUpdate, NamesAddedTakeTheFormOfTheListsNames) {
    struct Case {
        std::string_view what;
        std::string named; // how the list names its first file
        std::string added; // the name the new line gets, after the folder
    };
    const Case cases[] = {
        {"bare", "a", "c"},
        {"after ./", "./a", "./c"},
        {"absolute", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what));
        ScratchDir top;
        Put(top / "a", "alpha\n");
        const std::string named = c.named.empty() ? (top / "a").string() : c.named;
        const std::string added = c.added.empty() ? (top / "c").string() : c.added;
        WriteFile(top / "SUMS", Report(top.path(), {"--format", "md5sum", named}).out);
        Put(top / "c", "charlie\n");
        const RunResult run = Report(top.path(), {"--update", "SUMS"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, added + ": ADDED\n");
        const std::string list = ReadAll(top / "SUMS");
        EXPECT_NE(list.find("  " + added + "\n"), std::string::npos) << list;
        EXPECT_EQ(list.find("SUMS"), std::string::npos) << list;
    }
}

TEST(ListUpdate, RefusesWhatItCannotUpdateAndLeavesTheListAlone) {
    ScratchDir top;
    Put(top / "d/a", "alpha\n");
    // Names relative to d, updated from its parent: they name nothing below
    // d from here, and every file would be added again.
    const std::string relativeToD = Report(top / "d", {"--format", "md5sum", "a"}).out;
    WriteFile(top / "d/SUMS", relativeToD);
    WriteFile(top / "d/EMPTY", "");
    WriteFile(top / "d/b", "bravo\n");
    const std::string wide = Report(top.path(), {"--format", "sha512sum", "d/a"}).out;
    WriteFile(top / "d/WIDE", wide);
    // A second name elsewhere: the new list under one name would part them.
    const std::string linked = Report(top.path(), {"--format", "md5sum", "d/a"}).out;
    WriteFile(top / "d/LINKED", linked);
    fs::create_hard_link(top / "d/LINKED", top / "other.md5");
    struct Case {
        std::vector<std::string> args;
        std::string errHas;
    };
    const Case cases[] = {
        {{"--update", "d/SUMS"}, "names no file below its folder"},
        {{"--update", "d/EMPTY"}, "no checksum lines"},
        {{"--update", "d/WIDE"}, "--format sha512sum"},
        {{"--update", "d/none"}, "No such file"},
        {{"--update", "-"}, "not standard input"},
        {{"--update", "d/LINKED"}, "d/LINKED: has 2 names (hard links)"},
    };
    for (const Case& c : cases) {
        const RunResult run = Report(top.path(), c.args);
        EXPECT_EQ(run.status, 2) << c.args[1];
        EXPECT_NE(run.err.find(c.errHas), std::string::npos) << run.err;
    }
    EXPECT_EQ(ReadAll(top / "d/SUMS"), relativeToD);
    EXPECT_EQ(ReadAll(top / "d/WIDE"), wide);
    EXPECT_EQ(ReadAll(top / "d/EMPTY"), "");
    EXPECT_EQ(ReadAll(top / "d/LINKED"), linked);
    EXPECT_EQ(InodeOf(top / "d/LINKED"), InodeOf(top / "other.md5"));
}

// Another process writes the list while it is updated, just before the new
// list would take its place: lines appended are carried into the new list;
// any other change leaves the list as the writer made it (exit 2); a second
// update is refused while the first holds the list.
TEST(ListUpdate, OthersWritingTheListMeanwhileLoseNothing) {
    const std::string appended = std::string(32, '0') + "  ./appended\n";
    const auto append = [](const fs::path& list, const std::string& text) {
        std::FILE* file = std::fopen(list.c_str(), "ab");
        std::fputs(text.c_str(), file);
        std::fclose(file);
    };
    RunResult second;
    struct Case {
        std::string_view what;
        // What the other process does; returns what the list is to end with
        // when the update goes on.
        std::function<std::string(const fs::path& list)> meanwhile;
        int status;
        std::string errHas;
    };
    const Case cases[] = {
        {"a line appended",
         [&](const fs::path& list) {
             append(list, appended);
             return std::string(appended);
         },
         0, "1 file added"},
        {"a second update",
         [&](const fs::path& list) {
             second = Report(list.parent_path(), {"--update", list.string()});
             return std::string();
         },
         0, "1 file added"},
        {"a line put first",
         [&](const fs::path& list) {
             WriteFile(list, appended + ReadAll(list));
             return std::string();
         },
         2, "changed while it was updated: its lines were changed"},
        {"a line half written",
         [&](const fs::path& list) {
             append(list, appended.substr(0, 40));
             return std::string();
         },
         2, "no line end yet"},
        {"another file in its place",
         [&](const fs::path& list) {
             WriteFile(list.string() + ".new", appended);
             fs::rename(list.string() + ".new", list);
             return std::string();
         },
         2, "another file was put in its place"},
        {"a second name",
         [&](const fs::path& list) {
             fs::create_hard_link(list, list.parent_path() / "other.md5");
             return std::string();
         },
         2, "second name (hard link)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what));
        ScratchDir top;
        const fs::path list = top / "SUMS";
        Put(top / "a", "alpha\n");
        const std::string old = Report(top.path(), {"--format", "md5sum", (top / "a")}).out;
        WriteFile(list, old);
        Put(top / "c", "charlie\n");
        const std::string added = Report(top.path(), {"--format", "md5sum", (top / "c")}).out;

        std::string carried;
        std::string meanwhile;
        ListUpdateOptions options;
        options.beforeReplace = [&] {
            carried = c.meanwhile(list);
            meanwhile = ReadAll(list);
        };
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        const int status = RunListUpdate(list.string(), options, out, err);
        std::string errText(4096, '\0');
        std::rewind(err);
        errText.resize(std::fread(errText.data(), 1, errText.size(), err));
        std::fclose(out);
        std::fclose(err);

        EXPECT_EQ(status, c.status) << errText;
        EXPECT_NE(errText.find(c.errHas), std::string::npos) << errText;
        EXPECT_EQ(ReadAll(list),
                  c.status == 0 ? std::string(old).append(added).append(carried) : meanwhile);
    }
    EXPECT_EQ(second.status, 2) << second.err;
    EXPECT_NE(second.err.find("another update of it is running"), std::string::npos) << second.err;
}

// The process may write no file larger than the old list and a little: the
// new list cannot be finished. Killed by the signal of that limit, or told
// by a failed write when the signal is ignored, the old list stays whole and
// in its place.
TEST(ListUpdate, AFailureOrAKillPartWayLeavesTheOldListWhole) {
    struct Case {
        std::string_view what;
        std::string shell; // before the program starts
        int status;
    };
    const Case cases[] = {
        {"killed", "ulimit -f 8", 128 + SIGXFSZ},
        {"a write fails", "ulimit -f 8; trap '' XFSZ", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what));
        ScratchDir top;
        Put(top / "d/a", "alpha\n");
        const std::string old = Report(top.path(), {"--format", "md5sum", "d/a"}).out;
        WriteFile(top / "d/SUMS", old);
        for (int i = 0; i < 200; ++i) {
            WriteFile(top / ("d/new-file-with-a-long-name-" + std::to_string(i)), "n\n");
        }
        const RunResult run =
            RunIn(top.path(), {"/bin/sh", "-c", c.shell + "; exec \"$0\" --update d/SUMS",
                               test::ReportProgram()});
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(ReadAll(top / "d/SUMS"), old);
        if (c.status == 2) {
            // Told in time: nothing is left beside the list.
            std::size_t entries = 0;
            for ([[maybe_unused]] const fs::directory_entry& entry :
                 fs::directory_iterator(top / "d")) {
                ++entries;
            }
            EXPECT_EQ(entries, 202u);
            EXPECT_NE(run.err.find("left as it was"), std::string::npos) << run.err;
        }
    }
}

} // namespace
} // namespace varnel
