// Lists of SHA3-256, SHA3-512, XXH3, XXH128 and BLAKE3 end to end, with
// b3sum, xxhsum, openssl dgst and rhash as the judges both ways, and saved
// reports that carry those lines.

#include "tests/cli/run_program.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::Count;
using test::Report;
using test::RunIn;
using test::RunResult;
using test::ScratchDir;
using test::WriteFile;

bool HaveTool(const std::string& tool) {
    return fs::exists("/usr/bin/" + tool);
}

// b3sum escapes a backslash and a line feed and leaves a carriage return;
// xxhsum and openssl write names as they are (no line end has a form); rhash
// takes a backslash for a folder separator.
const std::vector<std::string> kB3Names = {"plain.txt", "with space.txt", "back\\slash",
                                           "new\nline", "cr\rmid",        " lead*"};
const std::vector<std::string> kRawNames = {"plain.txt", "with space.txt", "back\\slash",
                                            "bad\xFFutf8"};
const std::vector<std::string> kRhashNames = {"plain.txt", "with space.txt", "a  b"};

struct Files {
    ScratchDir dir;
    const std::vector<std::string>& names;

    explicit Files(const std::vector<std::string>& list) : names(list) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            WriteFile(dir / names[i], "content " + std::to_string(i) + "\n");
        }
    }
};

TEST(NewKindLists, ListsTheToolsWriteAreVerified) {
    struct Case {
        std::vector<std::string> tool;
        std::vector<std::string> format; // --format, or nothing: told by content
        const std::vector<std::string>* names;
    };
    const Case cases[] = {
        {{"b3sum"}, {"--format", "b3sum"}, &kB3Names},
        {{"xxhsum", "-H3"}, {}, &kRawNames},
        {{"xxhsum", "-H128"}, {"--format", "xxh128sum"}, &kRawNames},
        {{"xxhsum", "-H128", "--tag"}, {}, &kRawNames},
        {{"openssl", "dgst", "-sha3-256"}, {}, &kRawNames},
        {{"openssl", "dgst", "-sha3-512", "-r"}, {"--format", "sha3-512sum"}, &kRawNames},
    };
    for (const Case& c : cases) {
        if (!HaveTool(c.tool[0])) {
            std::cout << "skipped: " << c.tool[0] << " is not installed\n";
            continue;
        }
        Files files(*c.names);
        std::vector<std::string> args = c.tool;
        args.insert(args.end(), files.names.begin(), files.names.end());
        const RunResult listed = RunIn(files.dir.path(), args);
        ASSERT_EQ(listed.status, 0) << listed.err;
        WriteFile(files.dir / "list", listed.out);
        std::vector<std::string> check = {"--check", "--strict"};
        check.insert(check.end(), c.format.begin(), c.format.end());
        check.emplace_back("list");
        const RunResult checked = Report(files.dir.path(), check);
        EXPECT_EQ(checked.status, 0) << c.tool[0] << "\n"
                                     << listed.out << checked.out << checked.err;
        EXPECT_EQ(Count(checked.out, ": OK\n"), files.names.size()) << checked.out;
    }
}

TEST(NewKindLists, ListsWeWriteAreAcceptedByTheTools) {
    struct Case {
        std::vector<std::string> write;
        std::vector<std::string> judge;
        const std::vector<std::string>* names;
        std::size_t okLines; // the judge's OK lines; 0: its status alone
    };
    const Case cases[] = {
        {{"--format", "b3sum"}, {"b3sum", "--check"}, &kB3Names, kB3Names.size()},
        {{"--format", "xxh3sum"}, {"xxhsum", "-c", "--strict"}, &kRawNames, kRawNames.size()},
        {{"--format", "xxh128sum"}, {"xxhsum", "-c", "--strict"}, &kRawNames, kRawNames.size()},
        {{"--format", "sha3-256sum"}, {"rhash", "-c"}, &kRhashNames, 0},
        {{"--format", "sha3-512sum"}, {"rhash", "--sha3-512", "-c"}, &kRhashNames, 0},
        {{"--format", "bsd", "--no-sha1", "--sha3-256", "--sha3-512"},
         {"rhash", "-c"},
         &kRhashNames,
         0},
    };
    for (const Case& c : cases) {
        if (!HaveTool(c.judge[0])) {
            std::cout << "skipped: " << c.judge[0] << " is not installed\n";
            continue;
        }
        Files files(*c.names);
        std::vector<std::string> args = c.write;
        args.insert(args.end(), files.names.begin(), files.names.end());
        const RunResult written = Report(files.dir.path(), args);
        ASSERT_EQ(written.status, 0) << written.err;
        WriteFile(files.dir / "list", written.out);
        std::vector<std::string> judge = c.judge;
        judge.emplace_back("list");
        const RunResult judged = RunIn(files.dir.path(), judge);
        EXPECT_EQ(judged.status, 0) << c.judge[0] << "\n"
                                    << written.out << judged.out << judged.err;
        if (c.okLines != 0) {
            EXPECT_EQ(Count(judged.out, ": OK\n"), c.okLines) << judged.out;
        }
    }
}

// A list the tool wrote, updated with new files, still passes the tool's
// check: its lines in the list's own form (a tagged list without MD5 lines
// gets none).
TEST(NewKindLists, UpdatedListsPassTheToolsCheck) {
    struct Case {
        std::vector<std::string> tool;
        std::vector<std::string> format;
        std::vector<std::string> judge;
        std::string list = "list";
    };
    const Case cases[] = {
        {{"b3sum"}, {"--format", "b3sum"}, {"b3sum", "--check"}},
        {{"b3sum"}, {}, {"b3sum", "--check"}, "B3SUMS"}, // told by its name
        {{"xxhsum", "-H3"}, {}, {"xxhsum", "-c", "--strict"}},
        {{"xxhsum", "-H128"}, {"--format", "xxh128sum"}, {"xxhsum", "-c", "--strict"}},
        {{"sha256sum", "--tag"}, {}, {"sha256sum", "-c", "--strict"}},
    };
    for (const Case& c : cases) {
        if (!HaveTool(c.tool[0])) {
            std::cout << "skipped: " << c.tool[0] << " is not installed\n";
            continue;
        }
        ScratchDir dir;
        WriteFile(dir / "old", std::string("old\n"));
        std::vector<std::string> args = c.tool;
        args.emplace_back("old");
        const RunResult listed = RunIn(dir.path(), args);
        ASSERT_EQ(listed.status, 0) << listed.err;
        WriteFile(dir / c.list, listed.out);
        WriteFile(dir / "new 1", std::string("new 1\n"));
        WriteFile(dir / "new 2", std::string("new 2\n"));
        std::vector<std::string> update = {"--update"};
        update.insert(update.end(), c.format.begin(), c.format.end());
        update.push_back(c.list);
        const RunResult updated = Report(dir.path(), update);
        ASSERT_EQ(updated.status, 0) << c.tool[0] << "\n" << updated.err;
        std::vector<std::string> judge = c.judge;
        judge.push_back(c.list);
        const RunResult judged = RunIn(dir.path(), judge);
        EXPECT_EQ(judged.status, 0) << c.tool[0] << "\n"
                                    << test::ReadAll(dir / c.list) << judged.out << judged.err;
        EXPECT_EQ(Count(judged.out, ": OK\n"), 3u) << judged.out;
        std::vector<std::string> check = {"--check"};
        check.insert(check.end(), c.format.begin(), c.format.end());
        check.push_back(c.list);
        const RunResult checked = Report(dir.path(), check);
        EXPECT_EQ(checked.status, 0) << c.tool[0] << "\n" << checked.out;
        EXPECT_EQ(Count(checked.out, ": OK\n"), 3u) << checked.out;
    }
}

TEST(NewKindLists, SavedReportChecksTheLinesAfterMd5) {
    ScratchDir dir;
    WriteFile(dir / "kept", std::string("kept\n"));
    WriteFile(dir / "edited", std::string("abcd\n"));
    const RunResult saved = Report(dir.path(), {"--no-sha1", "--sha3-256", "--sha3-512", "--xxh3",
                                                "--xxh128", "--blake3", "kept", "edited"});
    ASSERT_EQ(saved.status, 0) << saved.err;
    WriteFile(dir / "report.txt", saved.out);
    EXPECT_EQ(Report(dir.path(), {"--check", "report.txt"}).out, "kept: OK\nedited: OK\n");

    // Same size and time, other bytes: every digest line differs.
    const fs::file_time_type time = fs::last_write_time(dir / "edited");
    WriteFile(dir / "edited", std::string("wxyz\n"));
    fs::last_write_time(dir / "edited", time);
    const RunResult checked = Report(dir.path(), {"--check", "report.txt"});
    EXPECT_EQ(checked.status, 1);
    EXPECT_EQ(checked.out, "kept: OK\nedited: FAILED (MD5, SHA3-256, SHA3-512, XXH3, XXH128, "
                           "BLAKE3)\n");
}

} // namespace
} // namespace varnel
