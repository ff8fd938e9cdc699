// varnel-report --format and --check end to end, with the common checksum
// tools (md5sum, sha1sum, rhash) as the judges of compatibility both ways.

#include "tests/cli/run_program.h"
#include "tests/digest/digest_test_support.h"
#include "tests/gb2big5/charset_util.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <thread>

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::Count;
using test::Report;
using test::RunIn;
using test::Running;
using test::RunResult;
using test::ScratchDir;
using test::WriteFile;

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
                                           "new\nline", "bad\xFFutf8",    " lead*"};
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
        std::size_t linesPerFile = 1; // the judge's result lines per file
    };
    const Case cases[] = {
        {{"--format", "md5sum"}, {"md5sum", "-c", "--strict"}, &kAwkward},
        {{"--format=sha1sum"}, {"sha1sum", "-c", "--strict"}, &kAwkward},
        {{"--format", "bsd", "--no-sha1"}, {"md5sum", "-c", "--strict"}, &kAwkward},
        {{"--format", "bsd", "--no-sha1"}, {"rhash", "-c"}, &kSfvNames},
        {{"--format", "sfv"}, {"rhash", "-c"}, &kSfvNames},
        {{"--format", "sha256sum"}, {"sha256sum", "-c", "--strict"}, &kAwkward},
        {{"--format", "sha512sum"}, {"sha512sum", "-c", "--strict"}, &kAwkward},
        {{"--format", "b2sum"}, {"b2sum", "-c", "--strict"}, &kAwkward},
        {{"--format", "bsd", "--sha256", "--sha512", "--blake2b"},
         {"cksum", "-c", "--strict"},
         &kAwkward,
         5},
        {{"--format", "bsd", "--no-sha1", "--sha256", "--sha512", "--blake2b"},
         {"rhash", "-c"},
         &kSfvNames},
    };
    for (const Case& c : cases) {
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
        if (c.judge[0] != "rhash") {
            EXPECT_EQ(Count(judged.out, ": OK\n"), files.names.size() * c.linesPerFile)
                << judged.out;
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
        {{"sha256sum"}, &kAwkward},
        {{"sha256sum", "--tag"}, &kAwkward},
        {{"sha512sum", "-b"}, &kAwkward},
        {{"b2sum"}, &kAwkward},
        {{"b2sum", "--tag"}, &kAwkward},
        {{"cksum", "-a", "sha256"}, &kAwkward},
        {{"cksum", "-a", "blake2b"}, &kAwkward},
        {{"cksum", "-a", "sha512", "--untagged"}, &kAwkward},
        {{"rhash", "--bsd", "--md5", "--sha256", "--sha512", "--blake2b"}, &kSfvNames},
        {{"rhash", "--sha256"}, &kSfvNames},
        {{"rhash", "--simple", "--crc32"}, &kSfvNames},
        {{"rhash", "--simple", "--crc32", "--uppercase"}, &kSfvNames},
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
        args.emplace_back("list");
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
        {"05.03.24 14:07:09", true},    // de_DE: day first
        {"05/03/2024 14:07:09", true},  // en_GB
        {"5 Mar 2024 14:07:09", true},  // C
        {"3/5/24 9:37:09 PM", true},    // written in +7:30
        {"3/5/24 2:07:09 AM", true},    // twelve hours: another zone too
        {"2024/3/5 14:07:10", false},
        {"2024/3/6 14:07:09", false},
        {"2024/3/5", false},
        // Month and day swapped where the year comes first: 5 May, not 3
        // March; no locale writes the day before the month after a year.
        {"2024/5/3 14:07:09", false},
        {"24/5/3 14:07:09", false},
        // No date at all: a time that cannot be read is no check that fails.
        {"3/24/5 14:07:09", true},
    };
    for (const Case& c : cases) {
        WriteFile(files.dir / "r.txt", "文件名称：f\r\n修改时间：" + c.time + "\r\n" + md5);
        const RunResult checked = Report(files.dir.path(), {"--check", "r.txt"});
        EXPECT_EQ(checked.out, c.same ? "f: OK\n" : "f: FAILED (modified time)\n") << c.time;
    }
}

// A report saved on a machine of the C locale ("1 Feb 2026 03:04:05"), its
// time line then written as other locales write that time or another one:
// the same date and time in any order match, as does the same instant seen
// from another zone.
TEST(ListCheck, ModifiedTimeMatchesInTheOrderOfItsForm) {
    Files files({"f.bin"});
    const struct timespec times[2] = {{1769915045, 0}, {1769915045, 0}}; // 2026-02-01 03:04:05
    ASSERT_EQ(::utimensat(AT_FDCWD, (files.dir / "f.bin").c_str(), times, 0), 0);
    const auto inCLocale = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"env", "LANG=C.UTF-8", "TZ=UTC", test::ReportProgram()});
        return RunIn(files.dir.path(), args);
    };
    const RunResult saved = inCLocale({"f.bin"});
    const std::string written = "1 Feb 2026 03:04:05";
    const std::size_t at = saved.out.find(written);
    ASSERT_NE(at, std::string::npos) << saved.out;
    struct Case {
        std::string time;
        bool same;
    };
    const Case cases[] = {
        {written, true},
        {"2026/2/1 03:04:05", true},    // Simplified
        {"2026/2/1 上午3:04:05", true}, // Traditional
        {"2/1/26 3:04:05 AM", true},    // English
        {"01.02.26 03:04:05", true},    // German, day first
        {"1/2/26 3:04:05 AM", true},    // English for 2 January, or day first
        {"2026/1/2 3:04:05", false},    // 2 January
        {"2001/2/26 3:04:05", false},   // 26 February 2001
        {"2/1/2126 3:04:05 AM", false}, // a century later
        {"2/1/26 3:04:06 AM", false},   // a second later
        {"2/1/26 3:04:05 PM", true},    // twelve hours: another zone
    };
    for (const Case& c : cases) {
        std::string text = saved.out;
        text.replace(at, written.size(), c.time);
        WriteFile(files.dir / "saved.txt", text);
        const RunResult checked = inCLocale({"--check", "saved.txt"});
        EXPECT_EQ(checked.out, c.same ? "f.bin: OK\n" : "f.bin: FAILED (modified time)\n")
            << c.time;
        EXPECT_EQ(checked.status, c.same ? 0 : 1) << c.time;
    }
}

// Lists written by rhash (CRC-32 first, SFV, bsd) and by md5sum, and a saved
// report, after one file changed and one went: the results as JSON Lines,
// read by jq, say for each entry in list order what the text results say.
TEST(ListCheck, ResultsAsJsonLinesForJq) {
    const std::vector<std::string> names = {"keep", "change", "gone", "odd\xFFname"};
    struct Case {
        std::vector<std::string> tool; // empty: a saved report
        std::string differs;           // of "change"
    };
    const Case cases[] = {
        {{"rhash", "--simple", "--crc32"}, "CRC-32"},
        {{"rhash", "--sfv"}, "CRC-32"},
        {{"md5sum"}, "MD5"},
        {{}, "size,SHA-1,MD5"},
    };
    for (const Case& c : cases) {
        Files files(names);
        std::vector<std::string> args = c.tool;
        if (args.empty()) {
            args = {test::ReportProgram(), "--no-time"};
        }
        args.insert(args.end(), names.begin(), names.end());
        const RunResult listed = RunIn(files.dir.path(), args);
        ASSERT_EQ(listed.status, 0) << listed.err;
        WriteFile(files.dir / "list", listed.out);
        WriteFile(files.dir / "change", std::string("changed, longer\n"));
        fs::remove(files.dir / "gone");

        const RunResult text = Report(files.dir.path(), {"--check", "list"});
        const RunResult json = Report(files.dir.path(), {"--check", "--json", "list"});
        EXPECT_EQ(json.status, 1);
        EXPECT_EQ(json.status, text.status);
        WriteFile(files.dir / "results", json.out);
        const RunResult read = RunIn(
            files.dir.path(),
            {"jq", "-r",
             R"(.name + "|" + (.name_bytes // "") + "|" + .status + "|" + ((.differs // []) | join(",")))",
             "results"});
        ASSERT_EQ(read.status, 0) << read.err << json.out;
        EXPECT_EQ(read.out, "keep||OK|\nchange||FAILED|" + c.differs +
                                "\ngone||FAILED open or read|\nodd\\377name|b2Rk/25hbWU=|OK|\n")
            << c.tool.size() << json.out;
    }
    // Nothing but the failures with --quiet; nothing at all with --status.
    Files files({"a"});
    WriteFile(files.dir / "list", std::string(32, '0') + "  a\n");
    EXPECT_EQ(Report(files.dir.path(), {"--check", "--json", "--quiet", "list"}).out,
              "{\"name\":\"a\",\"status\":\"FAILED\",\"differs\":[\"MD5\"]}\n");
    EXPECT_EQ(Report(files.dir.path(), {"--check", "--json", "--status", "list"}).out, "");
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
        {"文件名称：f\r\nSHA1值   ：00\r\n", {}, 1, "1 listed entry is improperly formatted"},
    };
    for (const Case& c : cases) {
        WriteFile(dir / "list", c.text);
        std::vector<std::string> args = {"--check"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.emplace_back("list");
        const RunResult checked = Report(dir.path(), args);
        EXPECT_EQ(checked.status, c.status) << c.text;
        EXPECT_NE(checked.err.find(c.err), std::string::npos) << checked.err;
    }
    const RunResult missing = Report(dir.path(), {"--check", "no-such-list"});
    EXPECT_EQ(missing.status, 2);
    const RunResult usage = Report(dir.path(), {"--quiet", "f"});
    EXPECT_EQ(usage.status, 2);
}

// A saved report whose text was damaged never ends in success: a block begun
// but not read whole names its file as a failure, and a line that belongs to
// no block (it may hide one) makes the status 1.
TEST(ListCheck, DamagedReportsNeverPass) {
    Files files({"a", "b"});
    // No time line: the files are rewritten below.
    const RunResult saved = Report(files.dir.path(), {"--lang", "chinese", "--no-time", "a", "b"});
    ASSERT_EQ(saved.status, 0);
    const std::string& report = saved.out;
    const auto broken = [&](std::string_view label) {
        std::string text = report;
        text[text.find(label)] = 'X'; // the first block's line loses its label
        return text;
    };
    const std::string md5Line = "MD5值     ：";
    struct Case {
        std::string what;
        std::string text;
        std::string out;
    };
    const Case cases[] = {
        {"a junk line before the report, a changed", "notes\r\n" + report,
         "a: FAILED (size, SHA-1, MD5)\nb: OK\n"},
        {"a label broken inside the first block", broken("SHA1值"),
         "a: FAILED improperly formatted\nb: OK\n"},
        {"the first name label broken", broken("文件名称"), "b: OK\n"},
        {"the report cut before its last MD5 line", report.substr(0, report.rfind(md5Line)),
         "a: FAILED (size, SHA-1, MD5)\nb: FAILED improperly formatted\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(files.dir / "a", c.what.ends_with("a changed") ? std::string("changed\n")
                                                                 : std::string("content 0\n"));
        if (c.what.starts_with("the report cut")) {
            WriteFile(files.dir / "a", std::string("changed\n"));
        }
        WriteFile(files.dir / "saved.txt", c.text);
        const RunResult checked = Report(files.dir.path(), {"--check", "saved.txt"});
        EXPECT_EQ(checked.out, c.out) << checked.err;
        EXPECT_EQ(checked.status, 1) << checked.err;
    }
    // Blocks that run together without their empty line are still whole.
    WriteFile(files.dir / "a", std::string("content 0\n"));
    std::string joined = report;
    joined.erase(joined.find("\r\n\r\n") + 2, 2);
    WriteFile(files.dir / "joined.txt", joined);
    const RunResult checked = Report(files.dir.path(), {"--check", "joined.txt"});
    EXPECT_EQ(checked.out, "a: OK\nb: OK\n");
    EXPECT_EQ(checked.status, 0);
}

// One bad byte in a report saved in its legacy encoding costs its block
// only: the other blocks are read and checked.
TEST(ListCheck, LegacyEncodedReportsWithABadByte) {
    const struct {
        const char* lang;
        const char* charset;
        const char* sizeLabel;
    } cases[] = {{"chinese", "GB18030", "文件大小："}, {"taiwan", "BIG5", "文件大小："}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.charset);
        Files files({"a", "b"});
        const RunResult saved = Report(files.dir.path(), {"--lang", c.lang, "a", "b"});
        ASSERT_EQ(saved.status, 0);
        std::optional<std::string> bytes = test::Recode(saved.out, "UTF-8", c.charset);
        const std::optional<std::string> label = test::Recode(c.sizeLabel, "UTF-8", c.charset);
        ASSERT_TRUE(bytes && label);
        WriteFile(files.dir / "whole.txt", *bytes);
        EXPECT_EQ(Report(files.dir.path(), {"--check", "whole.txt"}).out, "a: OK\nb: OK\n");
        // 0xFF starts no character of either encoding.
        (*bytes)[bytes->find(*label) + label->size()] = '\xFF';
        WriteFile(files.dir / "bad.txt", *bytes);
        const RunResult checked = Report(files.dir.path(), {"--check", "bad.txt"});
        EXPECT_EQ(checked.out, "a: FAILED improperly formatted\nb: OK\n") << checked.err;
        EXPECT_EQ(checked.status, 1);
    }
}

// Names from a list reach the terminal in the visible escape: no control
// sequence, no reversal of the text; a NUL ends no name.
TEST(ListCheck, NamesFromListsAreShownEscaped) {
    Files files({"esc\x1b[31mred", "rtl\xE2\x80\xAEtxt", "bad\xFFutf8", "a"});
    std::vector<std::string> args = {"md5sum"};
    args.insert(args.end(), files.names.begin(), files.names.end() - 1);
    const RunResult listed = RunIn(files.dir.path(), args);
    ASSERT_EQ(listed.status, 0);
    const std::string md5OfA = test::OracleDigestsOf(files.dir / "a").md5;
    std::string lower = md5OfA;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    WriteFile(files.dir / "list", listed.out + lower + "  gone\x1b]0;x\x07\n");
    const RunResult checked = Report(files.dir.path(), {"--check", "list"});
    EXPECT_EQ(checked.out, "\\esc\\033[31mred: OK\n\\rtl\\u202Etxt: OK\n\\bad\\377utf8: OK\n"
                           "\\gone\\033]0;x\\a: FAILED open or read\n");
    EXPECT_NE(checked.err.find("\\gone\\033]0;x\\a: not found"), std::string::npos) << checked.err;
    EXPECT_EQ(checked.err.find('\x1b'), std::string::npos);

    using namespace std::string_literals;
    for (const std::string& list : {lower + "  a\0junk\n"s, "MD5 (a\0junk) = "s + lower + "\n",
                                    "文件名称：a\0junk\r\nMD5值     ："s + md5OfA + "\r\n"}) {
        WriteFile(files.dir / "nul", list);
        const RunResult nul = Report(files.dir.path(), {"--check", "nul"});
        EXPECT_EQ(nul.out, "");
        EXPECT_NE(nul.status, 0);
        EXPECT_NE(nul.err.find("nul: line 1: "), std::string::npos) << nul.err;
    }
}

// Names that would look alike (a zero-width character, a tag character,
// trailing blanks) are told apart in the results, and every list and saved
// report that holds them reads back to the same files.
TEST(ListCheck, NamesThatLookAlikeAreToldApart) {
    Files files({"sp", "sp ", "sp  ", "ab",
                 "a\xE2\x80\x8B"
                 "b",
                 "tag\xF3\xA0\x81\x81"});
    const std::vector<std::string> shown = {"sp", "sp\\040",   "sp\\040\\040",
                                            "ab", "a\\u200Bb", "tag\\U000E0041"};
    struct Case {
        std::vector<std::string> write;
        bool backslash; // the md5sum family marks a name shown escaped
    };
    const Case cases[] = {
        {{"--no-time"}, false},
        {{"--format", "md5sum"}, true},
        {{"--format", "bsd"}, true},
        {{"--format", "sfv"}, false},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.write;
        args.insert(args.end(), files.names.begin(), files.names.end());
        const RunResult written = Report(files.dir.path(), args);
        ASSERT_EQ(written.status, 0) << written.err;
        WriteFile(files.dir / "list", written.out);
        const RunResult checked = Report(files.dir.path(), {"--check", "list"});
        std::string expected;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            expected +=
                (c.backslash && shown[i] != files.names[i] ? "\\" : "") + shown[i] + ": OK\n";
        }
        EXPECT_EQ(checked.out, expected) << c.write[0] << "\n" << written.out << checked.err;
        EXPECT_EQ(checked.status, 0) << c.write[0];
        if (c.write[0] == "--no-time") {
            // The report's own name lines, as the window shows them too.
            for (const std::string& name : shown) {
                EXPECT_NE(written.out.find("文件名称：" + name + "\r\n"), std::string::npos)
                    << name;
            }
        }
    }
}

// Standard output that cannot be written ends the check as it ends a report:
// exit status 1, and the system's reason on standard error.
TEST(ListCheck, WriteFailuresGiveTheirReason) {
    Files files({"a"});
    const RunResult listed = RunIn(files.dir.path(), {"md5sum", "a"});
    ASSERT_EQ(listed.status, 0);
    WriteFile(files.dir / "list", listed.out);
    // A pipe whose reader is gone, given to the program as its standard
    // output; SIGPIPE ignored so that the write fails instead.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    const struct {
        std::string redirect;
        std::string reason;
    } sinks[] = {
        {">/dev/full", "No space left on device"},
        {">&" + std::to_string(fds[1]), "Broken pipe"},
    };
    for (const auto& sink : sinks) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"--check", "list"}, std::vector<std::string>{"a"}}) {
            std::vector<std::string> command = {"bash", "-c",
                                                "trap '' PIPE; exec \"$0\" \"$@\" " + sink.redirect,
                                                test::ReportProgram()};
            command.insert(command.end(), args.begin(), args.end());
            const RunResult run = RunIn(files.dir.path(), command);
            EXPECT_EQ(run.status, 1) << args[0] << " " << sink.reason << "\n" << run.err;
            EXPECT_NE(run.err.find("varnel-report: standard output: cannot write: " + sink.reason),
                      std::string::npos)
                << args[0] << "\n"
                << run.err;
        }
    }
    ::close(fds[1]);
}

// A list is a stream: a FIFO, a pipe, a process substitution and standard
// input are read like a file; what cannot be a list is refused with the
// true reason.
TEST(ListCheck, PipesAreListsAndRefusalsSayWhy) {
    Files files({"a"});
    const RunResult listed = RunIn(files.dir.path(), {"md5sum", "a"});
    ASSERT_EQ(listed.status, 0);
    WriteFile(files.dir / "list", listed.out);
    ASSERT_EQ(::mkfifo((files.dir / "fifo").c_str(), 0600), 0);
    std::thread writer([&] { WriteFile(files.dir / "fifo", listed.out); });
    const RunResult fifo = Report(files.dir.path(), {"--check", "fifo"});
    // A program that never opened the FIFO would leave the writer waiting.
    const int release = ::open((files.dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    writer.join();
    ::close(release);
    EXPECT_EQ(fifo.out, "a: OK\n") << fifo.err;
    EXPECT_EQ(fifo.status, 0);

    const RunResult substituted =
        RunIn(files.dir.path(), {"bash", "-c", test::ReportProgram() + " --check <(cat list)"});
    EXPECT_EQ(substituted.out, "a: OK\n") << substituted.err;
    EXPECT_EQ(substituted.status, 0);
    const RunResult piped =
        RunIn(files.dir.path(), {test::ReportProgram(), "--check", "-"}, files.dir / "list");
    EXPECT_EQ(piped.out, "a: OK\n") << piped.err;

    const struct {
        std::string list;
        std::string reason;
    } refused[] = {
        {".", ".: is a folder"},
        {"/dev/zero", "/dev/zero: is a device, not a stream of lines"},
        {"missing", "missing: No such file or directory"},
    };
    for (const auto& r : refused) {
        const RunResult checked = Report(files.dir.path(), {"--check", r.list});
        EXPECT_EQ(checked.status, 2) << r.list;
        EXPECT_NE(checked.err.find(r.reason), std::string::npos) << checked.err;
    }
}

// Standard input is checked as it comes: the first result is written while
// the list is still open, not after the list was read whole.
TEST(ListCheck, StandardInputIsCheckedAsItComes) {
    Files files({"a", "b"});
    const RunResult listed = RunIn(files.dir.path(), {"md5sum", "a", "b"});
    ASSERT_EQ(listed.status, 0);
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    Running run(files.dir.path(), {test::ReportProgram(), "--check", "-"}, fds[0]);
    ::close(fds[0]);
    const std::string first = listed.out.substr(0, listed.out.find('\n') + 1);
    ASSERT_EQ(::write(fds[1], first.data(), first.size()), static_cast<ssize_t>(first.size()));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (run.OutSoFar().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(run.OutSoFar(), "a: OK\n");
    const std::string second = listed.out.substr(first.size());
    ASSERT_EQ(::write(fds[1], second.data(), second.size()), static_cast<ssize_t>(second.size()));
    ::close(fds[1]);
    const RunResult done = run.Wait();
    EXPECT_EQ(done.out, "a: OK\nb: OK\n");
    EXPECT_EQ(done.status, 0);
}

// The memory of a check does not grow with its list (a few hundred bytes a
// line would be tens of megabytes here), from a file or standard input.
TEST(ListCheck, MemoryDoesNotGrowWithTheList) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer holds freed memory back, so peaks tell nothing";
#endif
    Files files({"a"});
    const RunResult listed = RunIn(files.dir.path(), {"md5sum", "a"});
    ASSERT_EQ(listed.status, 0);
    const auto listOf = [&](std::size_t lines, const char* name) {
        std::string text;
        text.reserve(listed.out.size() * lines);
        for (std::size_t i = 0; i < lines; ++i) {
            text += listed.out;
        }
        WriteFile(files.dir / name, text);
    };
    listOf(2000, "short");
    listOf(200000, "long");
    // A report of damaged blocks: entries that read no file.
    std::string damaged;
    for (int i = 0; i < 200000; ++i) {
        damaged += "文件名称：a\r\n\r\n";
    }
    WriteFile(files.dir / "damaged", damaged);
    const RunResult small = Report(files.dir.path(), {"--check", "--quiet", "short"});
    const RunResult large = Report(files.dir.path(), {"--check", "--quiet", "long"});
    const RunResult piped = RunIn(
        files.dir.path(), {test::ReportProgram(), "--check", "--quiet", "-"}, files.dir / "long");
    const RunResult blocks = Report(files.dir.path(), {"--check", "--status", "damaged"});
    for (const RunResult* run : {&small, &large, &piped}) {
        EXPECT_EQ(run->status, 0) << run->err;
        EXPECT_EQ(run->out, "");
    }
    EXPECT_EQ(blocks.status, 1);
    for (const RunResult* run : {&large, &piped, &blocks}) {
        EXPECT_LT(run->maxResidentKb, small.maxResidentKb + 16 * 1024);
    }
}

// Memory the system refuses ends a check with a reason, never an abort,
// whichever allocation it hits (the list's, or a worker's read buffer).
TEST(ListCheck, OutOfMemoryIsNeverAnAbort) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers need more address space than any limit here";
#endif
    Files files({"a"});
    const RunResult listed = RunIn(files.dir.path(), {"md5sum", "a"});
    ASSERT_EQ(listed.status, 0);
    std::string text;
    for (int i = 0; i < 20000; ++i) {
        text += listed.out;
    }
    WriteFile(files.dir / "list", text);
    for (const int megabytes : {60, 70, 80, 90, 100}) {
        const RunResult checked =
            RunIn(files.dir.path(), {"prlimit", "--as=" + std::to_string(megabytes << 20),
                                     test::ReportProgram(), "--check", "--quiet", "list"});
        EXPECT_LE(checked.status, 2) << megabytes << " MB\n" << checked.err;
        if (checked.status != 0) {
            EXPECT_NE(checked.err.find("out of memory"), std::string::npos) << checked.err;
        }
    }
}

} // namespace
} // namespace varnel
