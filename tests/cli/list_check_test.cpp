// varnel-report --format and --check end to end, with the common checksum
// tools (md5sum, sha1sum, rhash) as the judges of compatibility both ways.

#include "tests/cli/run_program.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::RunIn;
using test::RunResult;
using test::ScratchDir;
using test::WriteFile;

RunResult Report(const fs::path& dir, std::vector<std::string> args) {
    args.insert(args.begin(), test::ReportProgram());
    return RunIn(dir, args);
}

std::size_t Count(std::string_view text, std::string_view what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos;
         at = text.find(what, at + what.size())) {
        ++count;
    }
    return count;
}

// Files with the awkward names, each with content of its own.
struct Files {
    ScratchDir dir;
    std::vector<std::string> names;

    explicit Files(std::vector<std::string> list) : names(std::move(list)) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            WriteFile(dir / names[i], "content " + std::to_string(i) + "\n");
        }
    }
};

const std::vector<std::string> kAwkward = {"plain.txt", "with space.txt", "back\\slash",
                                           "new\nline"};
// rhash takes a backslash for a folder separator, and SFV has no form for a
// line end in a name.
const std::vector<std::string> kSfvNames = {"plain.txt", "with space.txt", "a  b 1234"};
// A list names hidden files on purpose: they are checked like any other.
const std::vector<std::string> kWithHidden = {"plain.txt", ".hidden", "back\\slash"};

TEST(ListCheck, ListsWeWriteAreAcceptedByTheTools) {
    struct Case {
        std::vector<std::string> write;
        std::vector<std::string> judge;
        const std::vector<std::string>* names;
    };
    const Case cases[] = {
        {{"--format", "md5sum"}, {"md5sum", "-c", "--strict"}, &kAwkward},
        {{"--format=sha1sum"}, {"sha1sum", "-c", "--strict"}, &kAwkward},
        {{"--format", "bsd", "--no-sha1"}, {"md5sum", "-c", "--strict"}, &kAwkward},
        {{"--format", "bsd", "--no-sha1"}, {"rhash", "-c"}, &kSfvNames},
        {{"--format", "sfv"}, {"rhash", "-c"}, &kSfvNames},
    };
    for (const Case& c : cases) {
        Files files(*c.names);
        std::vector<std::string> args = c.write;
        args.insert(args.end(), files.names.begin(), files.names.end());
        const RunResult written = Report(files.dir.path(), args);
        ASSERT_EQ(written.status, 0) << written.err;
        WriteFile(files.dir / "list", written.out);
        std::vector<std::string> judge = c.judge;
        judge.push_back("list");
        const RunResult judged = RunIn(files.dir.path(), judge);
        EXPECT_EQ(judged.status, 0) << c.judge[0] << "\n"
                                    << written.out << judged.out << judged.err;
        if (c.judge[0] != "rhash") {
            EXPECT_EQ(Count(judged.out, ": OK\n"), files.names.size()) << judged.out;
        }
    }
}

TEST(ListCheck, ListsTheToolsWriteAreVerified) {
    struct Case {
        std::vector<std::string> tool;
        const std::vector<std::string>* names;
    };
    const Case cases[] = {
        {{"md5sum"}, &kAwkward},
        {{"md5sum", "-b"}, &kAwkward},
        {{"md5sum"}, &kWithHidden},
        {{"sha1sum"}, &kAwkward},
        {{"md5sum", "--tag"}, &kAwkward},
        {{"sha1sum", "--tag"}, &kAwkward},
        {{"rhash", "--sfv"}, &kSfvNames},
        {{"rhash", "--bsd", "--md5", "--sha1", "--crc32"}, &kSfvNames},
    };
    for (const Case& c : cases) {
        Files files(*c.names);
        std::vector<std::string> args = c.tool;
        args.insert(args.end(), files.names.begin(), files.names.end());
        const RunResult listed = RunIn(files.dir.path(), args);
        ASSERT_EQ(listed.status, 0) << listed.err;
        WriteFile(files.dir / "list", listed.out);
        const RunResult checked = Report(files.dir.path(), {"--check", "list"});
        EXPECT_EQ(checked.status, 0) << c.tool[0] << "\n"
                                     << listed.out << checked.out << checked.err;
        EXPECT_EQ(Count(checked.out, ": OK\n"), files.names.size()) << checked.out;
        EXPECT_EQ(Count(checked.out, "FAILED"), 0u) << checked.out;
    }
}

TEST(ListCheck, ChangedAndMissingFilesWithTheOptions) {
    Files files({"keep", "change", "gone", "new\nline"});
    const RunResult written =
        Report(files.dir.path(), {"--format", "md5sum", "keep", "change", "gone", "new\nline"});
    ASSERT_EQ(written.status, 0);
    WriteFile(files.dir / "list", written.out);
    WriteFile(files.dir / "change", std::string("changed\n"));
    fs::remove(files.dir / "gone");
    WriteFile(files.dir / "new\nline", std::string("changed too\n"));

    struct Case {
        std::vector<std::string> options;
        std::string out;
        int status;
    };
    const Case cases[] = {
        {{}, "keep: OK\nchange: FAILED\ngone: FAILED open or read\n\\new\\nline: FAILED\n", 1},
        {{"--quiet"}, "change: FAILED\ngone: FAILED open or read\n\\new\\nline: FAILED\n", 1},
        {{"--ignore-missing"}, "keep: OK\nchange: FAILED\n\\new\\nline: FAILED\n", 1},
        {{"--status"}, "", 1},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--check"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back("list");
        const RunResult checked = Report(files.dir.path(), args);
        EXPECT_EQ(checked.out, c.out);
        EXPECT_EQ(checked.status, c.status);
        if (c.options.empty()) {
            EXPECT_NE(checked.err.find("1 listed file could not be read"), std::string::npos);
            EXPECT_NE(checked.err.find("2 computed checksums did NOT match"), std::string::npos);
        }
        if (c.options == std::vector<std::string>{"--status"}) {
            EXPECT_EQ(checked.err, "");
        }
    }
    // Every file present and unchanged: 0, also when only the missing ones
    // are passed over; nothing at all verified is a failure.
    WriteFile(files.dir / "good", std::string(written.out.substr(0, written.out.find('\n') + 1)));
    EXPECT_EQ(Report(files.dir.path(), {"--check", "good"}).status, 0);
    WriteFile(files.dir / "none", std::string(32, '0') + "  gone\n");
    const RunResult none = Report(files.dir.path(), {"--check", "--ignore-missing", "none"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("none: no file was verified"), std::string::npos) << none.err;
}

// A long list is checked while it is read, in pieces: its results keep the
// list's order, and digests that only later lines carry (SHA-1 after a long
// run of MD5 lines) are still computed for them.
TEST(ListCheck, LongListsMixingDigestsKeepTheirOrder) {
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) {
        names.push_back("f" + std::to_string(i));
    }
    Files files(names);
    std::vector<std::string> md5Args = {"md5sum"};
    md5Args.insert(md5Args.end(), names.begin(), names.end());
    std::vector<std::string> sha1Args = {"sha1sum"};
    sha1Args.insert(sha1Args.end(), names.begin(), names.end());
    const RunResult md5 = RunIn(files.dir.path(), md5Args);
    const RunResult sha1 = RunIn(files.dir.path(), sha1Args);
    ASSERT_EQ(md5.status, 0);
    ASSERT_EQ(sha1.status, 0);
    std::string list;
    std::string expected;
    const auto add = [&](const RunResult& sums, int times) {
        for (int t = 0; t < times; ++t) {
            list += sums.out;
            for (const std::string& name : names) {
                expected += name + (name == "f7"    ? ": FAILED\n"
                                    : name == "f30" ? ": FAILED open or read\n"
                                                    : ": OK\n");
            }
        }
    };
    add(md5, 30); // 1,200 lines of MD5, then SHA-1 lines
    add(sha1, 10);
    add(md5, 2);
    WriteFile(files.dir / "list", list);
    WriteFile(files.dir / "f7", std::string("changed\n"));
    fs::remove(files.dir / "f30");
    const RunResult checked = Report(files.dir.path(), {"--check", "list"});
    EXPECT_EQ(checked.status, 1);
    EXPECT_EQ(checked.out, expected);
    EXPECT_NE(checked.err.find("42 listed files could not be read"), std::string::npos)
        << checked.err;
    EXPECT_NE(checked.err.find("42 computed checksums did NOT match"), std::string::npos);
}

TEST(ListCheck, SavedReportsInEachLanguageVerifyAndNameTheLinesThatDiffer) {
    for (const std::string lang : {"chinese", "taiwan", "english"}) {
        Files files({"a file.exe", "b\\c"});
        const RunResult report = Report(
            files.dir.path(), {"--lang", lang, "--crc32", "--file-version", "a file.exe", "b\\c"});
        ASSERT_EQ(report.status, 0);
        if (lang == "taiwan") {
            // The conversion library is built next to the program.
            ASSERT_EQ(report.out.rfind("文件名稱：", 0), 0u) << report.out;
        }
        WriteFile(files.dir / "saved.txt", report.out);
        std::string lf = report.out;
        std::erase(lf, '\r');
        WriteFile(files.dir / "saved-lf.txt", lf);
        for (const std::string list : {"saved.txt", "saved-lf.txt"}) {
            const RunResult checked = Report(files.dir.path(), {"--check", list});
            EXPECT_EQ(checked.out, "a file.exe: OK\nb\\\\c: OK\n") << lang << checked.err;
            EXPECT_EQ(checked.status, 0);
        }

        // One digit of the first MD5 line edited: only MD5 is named.
        std::string edited = report.out;
        const std::size_t md5 = edited.find("MD5值     ：") + std::string("MD5值     ：").size();
        edited[md5] = edited[md5] == '0' ? '1' : '0';
        WriteFile(files.dir / "edited.txt", edited);
        const RunResult failed = Report(files.dir.path(), {"--check", "edited.txt"});
        EXPECT_EQ(failed.out, "a file.exe: FAILED (MD5)\nb\\\\c: OK\n") << lang;
        EXPECT_EQ(failed.status, 1);

        // The file grows (its time kept): its size and every digest differ.
        const fs::path b = files.dir / "b\\c";
        const auto time = fs::last_write_time(b);
        WriteFile(b, std::string("longer content than before\n"));
        fs::last_write_time(b, time);
        const RunResult grown = Report(files.dir.path(), {"--check", "--quiet", "saved.txt"});
        EXPECT_EQ(grown.out, "b\\\\c: FAILED (size, CRC-32, SHA-1, MD5)\n") << lang;
    }
}

TEST(ListCheck, ModifiedTimeWrittenInAnotherLocale) {
    Files files({"f"});
    const struct timespec times[2] = {{1709647629, 0}, {1709647629, 0}}; // 2024-03-05 14:07:09 UTC
    ASSERT_EQ(::utimensat(AT_FDCWD, (files.dir / "f").c_str(), times, 0), 0);
    const std::string md5 = "MD5值     ：" + test::OracleDigestsOf(files.dir / "f").md5 + "\r\n";
    struct Case {
        std::string time;
        bool same;
    };
    const Case cases[] = {
        {"3/5/24 2:07:09 PM", true},    // en_US
        {"2024/3/5 14:07:09", true},    // zh_CN
        {"2024/3/5 下午2:07:09", true}, // zh_TW
        {"05.03.24 14:07:09", true},    // de_DE
        {"3/5/24 2:07:09 AM", false},   {"2024/3/5 14:07:10", false},
        {"2024/3/6 14:07:09", false},   {"2024/3/5", false},
    };
    for (const Case& c : cases) {
        WriteFile(files.dir / "r.txt", "文件名称：f\r\n修改时间：" + c.time + "\r\n" + md5);
        const RunResult checked = Report(files.dir.path(), {"--check", "r.txt"});
        EXPECT_EQ(checked.out, c.same ? "f: OK\n" : "f: FAILED (modified time)\n") << c.time;
    }
}

TEST(ListCheck, ListsThatCannotBeReadExitTwoWithTheLine) {
    ScratchDir dir;
    WriteFile(dir / "f", std::string("abc"));
    const std::string good = "900150983cd24fb0d6963f7d28e17f72  f\n";
    struct Case {
        std::string text;
        std::vector<std::string> options;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {"# list\n\nthis is not a list\n", {}, 2, "list: line 3: not a checksum line"},
        {"", {}, 2, "list: no checksum lines"},
        {good + "garbage\n", {}, 0, "list: line 2: improperly formatted"},
        {good + "garbage\n", {"--strict"}, 1, "list: line 2: improperly formatted"},
        {good, {"--format", "sha1sum"}, 2, "list: line 1: not a checksum line"},
        {"文件名称：f\r\nSHA1值   ：00\r\n", {}, 2, "list: line 2: not a checksum line"},
    };
    for (const Case& c : cases) {
        WriteFile(dir / "list", c.text);
        std::vector<std::string> args = {"--check"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back("list");
        const RunResult checked = Report(dir.path(), args);
        EXPECT_EQ(checked.status, c.status) << c.text;
        EXPECT_NE(checked.err.find(c.err), std::string::npos) << checked.err;
    }
    const RunResult missing = Report(dir.path(), {"--check", "no-such-list"});
    EXPECT_EQ(missing.status, 2);
    const RunResult usage = Report(dir.path(), {"--quiet", "f"});
    EXPECT_EQ(usage.status, 2);
}

} // namespace
} // namespace varnel
