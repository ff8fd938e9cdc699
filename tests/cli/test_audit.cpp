// varnel-report --audit end to end: each kind of change in one table, lists
// of each format, hashdeep's audit as the judge of the counts it can tell;
// and the name keys and name set the audit compares names with.

#include "lists/audit.h"
#include "lists/name_set.h"
#include "tests/cli/run_program.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <regex>
#include <set>

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::Report;
using test::RunIn;
using test::RunResult;
using test::ScratchDir;
using test::WriteFile;

TEST(AuditNames, KeysCompareNamesAsTheFileTheyName) {
    struct Case {
        std::string_view folder;
        std::string_view name;
        std::string_view key;
    };
    const Case cases[] = {
        {"/w", "a/b", "/w/a/b"},
        {"/w", "./a//b/", "/w/a/b"},
        {"/w/x", "../a", "/w/a"},
        {"/w", "../../../a", "/a"},
        {"/w", "/abs/./c", "/abs/c"},
        {"/", "a", "/a"},
        {"/w", ".", "/w"},
        {"/w", "sp ace/\xFF\n", "/w/sp ace/\xFF\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NameKey(c.folder, c.name), c.key) << c.folder << " " << c.name;
    }
    struct Relative {
        std::string_view from;
        std::string_view key;
        std::string_view relative;
    };
    const Relative relatives[] = {
        {"/w", "/w", "."},        {"/w", "/w/d/e", "d/e"}, {"/w/x", "/w", ".."},
        {"/w/x", "/w/y", "../y"}, {"/", "/a", "a"},        {"/wx", "/w/a", "../w/a"},
    };
    for (const Relative& r : relatives) {
        EXPECT_EQ(RelativeKey(r.from, r.key), r.relative) << r.from << " " << r.key;
    }
    EXPECT_TRUE(KeyHolds("/w", "/w/a"));
    EXPECT_FALSE(KeyHolds("/w", "/wx/a"));
    EXPECT_EQ(formats::GroupedCount(0), "0");
    EXPECT_EQ(formats::GroupedCount(1204), "1,204");
    EXPECT_EQ(formats::GroupedCount(1000000), "1,000,000");
}

TEST(AuditNames, SetHoldsEveryNameAddedAndNoOther) {
    NameSet set;
    for (int i = 0; i < 200000; ++i) {
        ASSERT_TRUE(
            set.Add("/data/folder " + std::to_string(i % 97) + "/file-" + std::to_string(i)));
    }
    // Longer than the blocks names are kept in, and one just at a block's end.
    const std::string huge(3u << 20, 'x');
    EXPECT_TRUE(set.Add(huge));
    EXPECT_TRUE(set.Add(std::string(200, 'y')));
    EXPECT_FALSE(set.Add("/data/folder 5/file-5"));
    EXPECT_EQ(set.size(), 200002u);
    for (int i = 0; i < 200000; i += 997) {
        EXPECT_TRUE(
            set.Contains("/data/folder " + std::to_string(i % 97) + "/file-" + std::to_string(i)));
        EXPECT_FALSE(set.Contains("/data/folder " + std::to_string((i + 1) % 97) + "/file-" +
                                  std::to_string(i)));
    }
    EXPECT_TRUE(set.Contains(huge));
    EXPECT_FALSE(set.Contains(huge.substr(1)));
    EXPECT_FALSE(set.Contains(""));
    // The names and the table: well under 100 bytes a name of about 30.
    EXPECT_LT(set.bytes(), 200000u * 100 + huge.size() + (2u << 20));
}

// Whether a program is on the PATH the programs run with.
bool Installed(const std::string& program) {
    return fs::exists("/usr/bin/" + program) || fs::exists("/bin/" + program);
}

std::vector<std::string> SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

const auto kRecorded = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);

void Write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    WriteFile(path, text);
    fs::last_write_time(path, kRecorded);
}

// The folder d as its list recorded it, every file with one old time.
void MakeTree(const fs::path& top) {
    Write(top / "d/a.txt", "alpha\n");
    Write(top / "d/b.txt", "bravo, longer\n");
    Write(top / "d/sub/c.txt", "charlie\n");
    Write(top / "d/dup1", "same\n");
    Write(top / "d/dup2", "same\n");
}

std::string Summary(int ok, int edited, int damaged, int missing, int moved, int added) {
    return "audit: " + std::to_string(ok) + " OK, " + std::to_string(edited) + " edited, " +
           std::to_string(damaged) + " damaged, " + std::to_string(missing) + " missing, " +
           std::to_string(moved) + " moved, " + std::to_string(added) + " new\n";
}

TEST(Audit, EachKindOfChangeIsToldApart) {
    using Change = std::function<void(const fs::path& d)>;
    struct Case {
        std::string_view what;
        std::vector<std::string> format; // how the list is written
        Change change;
        std::vector<std::string> lines; // the results besides OK, any order
        std::string summary;
    };
    const Change none = [](const fs::path&) {};
    const std::vector<std::string> report;
    const std::vector<std::string> md5sum = {"--format", "md5sum"};
    const std::vector<std::string> sfv = {"--format", "sfv"};
    const Case cases[] = {
        {"unchanged", report, none, {}, Summary(5, 0, 0, 0, 0, 0)},
        {"edit",
         report,
         [](const fs::path& d) { WriteFile(d / "a.txt", "alpha, edited\n"); },
         {"d/a.txt: EDITED (size, modified time, SHA-1, MD5)"},
         Summary(4, 1, 0, 0, 0, 0)},
        {"damage: same size and time",
         report,
         [](const fs::path& d) { Write(d / "a.txt", "alphA\n"); },
         {"d/a.txt: DAMAGED (SHA-1, MD5)"},
         Summary(4, 0, 1, 0, 0, 0)},
        {"content changed, no time recorded: damage cannot be told",
         {"--no-time"},
         [](const fs::path& d) { Write(d / "a.txt", "alphA\n"); },
         {"d/a.txt: FAILED (SHA-1, MD5)"},
         "audit: 4 OK, 0 edited, 0 damaged, 0 missing, 0 moved, 0 new, 1 failed\n"},
        {"touched only",
         report,
         [](const fs::path& d) {
             fs::last_write_time(d / "a.txt",
                                 kRecorded + std::chrono::hours(2) + std::chrono::seconds(7));
         },
         {"d/a.txt: EDITED (modified time)"},
         Summary(4, 1, 0, 0, 0, 0)},
        {"move",
         report,
         [](const fs::path& d) { fs::rename(d / "a.txt", d / "sub/renamed"); },
         {"d/a.txt: MOVED to d/sub/renamed"},
         Summary(4, 0, 0, 0, 1, 0)},
        {"copy: the original stays",
         report,
         [](const fs::path& d) { fs::copy_file(d / "a.txt", d / "a copy.txt"); },
         {"d/a copy.txt: NEW"},
         Summary(5, 0, 0, 0, 0, 1)},
        {"duplicate content, one moved",
         report,
         [](const fs::path& d) { fs::rename(d / "dup1", d / "sub/dup"); },
         {"d/dup1: MOVED to d/sub/dup"},
         Summary(4, 0, 0, 0, 1, 0)},
        {"duplicate content, one removed: its twin is recorded, not new",
         report,
         [](const fs::path& d) { fs::remove(d / "dup2"); },
         {"d/dup2: MISSING"},
         Summary(4, 0, 0, 1, 0, 0)},
        {"moved over a recorded name",
         report,
         [](const fs::path& d) { fs::rename(d / "a.txt", d / "b.txt"); },
         {"d/a.txt: MISSING", "d/b.txt: EDITED (size, SHA-1, MD5)"},
         Summary(3, 1, 0, 1, 0, 0)},
        {"moved and changed",
         report,
         [](const fs::path& d) {
             fs::remove(d / "a.txt");
             Write(d / "a2.txt", "alpha 2\n");
         },
         {"d/a.txt: MISSING", "d/a2.txt: NEW"},
         Summary(4, 0, 0, 1, 0, 1)},
        {"new, oddly named",
         report,
         [](const fs::path& d) { WriteFile(d / "sub/odd\nname", "new\n"); },
         {"d/sub/odd\\nname: NEW"},
         Summary(5, 0, 0, 0, 0, 1)},
        {"hidden files are left out as reports leave them",
         report,
         [](const fs::path& d) {
             WriteFile(d / ".hidden", "h\n");
             fs::create_directories(d / ".h");
             WriteFile(d / ".h/x", "x\n");
         },
         {},
         Summary(5, 0, 0, 0, 0, 0)},
        {"a link loop ends",
         report,
         [](const fs::path& d) { fs::create_directory_symlink("..", d / "sub/loop"); },
         {},
         Summary(5, 0, 0, 0, 0, 0)},
        {"a link to itself leads nowhere: no folder",
         report,
         [](const fs::path& d) { fs::create_symlink("loop", d / "sub/loop"); },
         {},
         "varnel-report: d/sub/loop: a link that leads nowhere: Too many levels of symbolic "
         "links\naudit: 5 OK, 0 edited, 0 damaged, 0 missing, 0 moved, 0 new, 1 unreadable\n"},
        {"md5sum: a changed digest fails",
         md5sum,
         [](const fs::path& d) { Write(d / "a.txt", "alphA\n"); },
         {"d/a.txt: FAILED"},
         "audit: 4 OK, 0 edited, 0 damaged, 0 missing, 0 moved, 0 new, 1 failed\n"},
        {"md5sum: moves found by digest",
         md5sum,
         [](const fs::path& d) {
             fs::rename(d / "a.txt", d / "a-moved");
             fs::remove(d / "b.txt");
             WriteFile(d / "new\\one", "n\n");
         },
         {"d/a.txt: MOVED to d/a-moved", "d/b.txt: MISSING", "\\d/new\\\\one: NEW"},
         Summary(3, 0, 0, 1, 1, 1)},
        {"sfv: moves found by CRC-32",
         sfv,
         [](const fs::path& d) { fs::rename(d / "sub/c.txt", d / "c.txt"); },
         {"d/sub/c.txt: MOVED to d/c.txt"},
         Summary(4, 0, 0, 0, 1, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what));
        ScratchDir top;
        MakeTree(top.path());
        std::vector<std::string> args = c.format;
        args.emplace_back("d");
        const RunResult listed = Report(top.path(), args);
        ASSERT_EQ(listed.status, 0) << listed.err;
        WriteFile(top / "list", listed.out);
        c.change(top / "d");
        const RunResult audit = Report(top.path(), {"--audit", "--quiet", "list"});
        std::vector<std::string> expected = c.lines;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(SortedLines(audit.out), expected) << audit.out;
        EXPECT_EQ(audit.err, c.summary);
        EXPECT_EQ(audit.status, c.lines.empty() && audit.err.starts_with("audit:") ? 0 : 1);
    }
}

// A saved report is checked where it was not written: another locale writes
// another date text, another zone another local time. An untouched file is
// OK, a bit flipped with the time put back is damage, a touch an edit; with
// a time line no form can read, a changed content is neither.
TEST(Audit, SavedReportsTravelAcrossLocalesAndZones) {
    const auto recorded = fs::file_time_type::clock::from_sys(
        std::chrono::sys_days{std::chrono::year{2025} / 7 / 15} + std::chrono::hours(15) +
        std::chrono::minutes(4) + std::chrono::seconds(5));
    const auto env = [](const std::string& lang, const std::string& zone) {
        return std::vector<std::string>{"LANG=" + lang, "TZ=" + zone, "PATH=/usr/bin:/bin"};
    };
    const struct {
        std::vector<std::string> writer;
        std::vector<std::string> checker;
        bool mangleTime = false; // the report's time lines made unreadable
    } cases[] = {
        {env("C.UTF-8", "UTC0"), env("en_US.UTF-8", "UTC0")},
        {env("de_DE.UTF-8", "UTC0"), env("en_US.UTF-8", "UTC0")},
        {env("en_GB.UTF-8", "UTC0"), env("zh_CN.UTF-8", "UTC0")},
        {env("en_US.UTF-8", "UTC0"), env("C.UTF-8", "UTC0")},
        {env("zh_TW.UTF-8", "UTC0"), env("de_DE.UTF-8", "UTC0")},
        {env("C.UTF-8", "UTC0"), env("zh_CN.UTF-8", "CST-8")},
        {env("en_US.UTF-8", "EST5"), env("en_GB.UTF-8", "IST-5:30")},
        {env("en_US.UTF-8", "UTC0"), env("en_US.UTF-8", "UTC0"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.writer[0] + " " + c.writer[1] + " checked under " + c.checker[0] + " " +
                     c.checker[1] + (c.mangleTime ? ", time unreadable" : ""));
        ScratchDir top;
        for (const char* name : {"d/kept", "d/flipped", "d/touched"}) {
            fs::create_directories((top / name).parent_path());
            WriteFile(top / name, std::string("content of ") + name + "\n");
            fs::last_write_time(top / name, recorded);
        }
        const RunResult listed =
            test::Running(top.path(), {test::ReportProgram(), "d"}, -1, c.writer).Wait();
        ASSERT_EQ(listed.status, 0) << listed.err;
        std::string saved = listed.out;
        if (c.mangleTime) {
            saved = std::regex_replace(saved, std::regex("(修改时间：)[^\r\n]*"), "$1sometime");
        }
        WriteFile(top / "list", saved);
        WriteFile(top / "d/flipped", "content of d/flippeD\n");
        fs::last_write_time(top / "d/flipped", recorded);
        fs::last_write_time(top / "d/touched", recorded + std::chrono::seconds(3601));

        const auto run = [&](std::string_view command) {
            return SortedLines(test::Running(top.path(),
                                             {test::ReportProgram(), std::string(command), "list"},
                                             -1, c.checker)
                                   .Wait()
                                   .out);
        };
        const std::vector<std::string> check = {
            "d/flipped: FAILED (SHA-1, MD5)",
            "d/kept: OK",
            c.mangleTime ? "d/touched: OK" : "d/touched: FAILED (modified time)",
        };
        EXPECT_EQ(run("--check"), check);
        const std::vector<std::string> audit = {
            c.mangleTime ? "d/flipped: FAILED (content; saved time unreadable)"
                         : "d/flipped: DAMAGED (SHA-1, MD5)",
            "d/kept: OK",
            c.mangleTime ? "d/touched: OK" : "d/touched: EDITED (modified time)",
        };
        EXPECT_EQ(run("--audit"), audit);
    }
}

TEST(Audit, EntriesOfOneContentAreMatchedOneToOne) {
    ScratchDir top;
    MakeTree(top.path());
    const RunResult listed = Report(top.path(), {"d"});
    WriteFile(top / "list", listed.out);
    fs::rename(top / "d/dup1", top / "d/x1");
    fs::rename(top / "d/dup2", top / "d/x2");
    const RunResult audit = Report(top.path(), {"--audit", "--quiet", "list"});
    // The walk's order decides which goes where; each goes to one.
    const std::vector<std::string> one = {"d/dup1: MOVED to d/x1", "d/dup2: MOVED to d/x2"};
    const std::vector<std::string> other = {"d/dup1: MOVED to d/x2", "d/dup2: MOVED to d/x1"};
    const std::vector<std::string> got = SortedLines(audit.out);
    EXPECT_TRUE(got == one || got == other) << audit.out;
    EXPECT_EQ(audit.err, Summary(3, 0, 0, 0, 2, 0));
}

TEST(Audit, RootListsAndExitStatus) {
    ScratchDir top;
    MakeTree(top.path());
    WriteFile(top / "d/list", Report(top / "d", {"--format", "md5sum", "."}).out);
    WriteFile(top / "outside", "o\n");
    struct Case {
        std::string_view what;
        std::vector<std::string> args; // after --audit, run in d or top
        bool inTop = false;
        int status = 0;
        std::vector<std::string> lines;
        std::string errHas;
    };
    const Case cases[] = {
        {"the list below the root is not new", {"--quiet", "list"}, false, 0, {}, " 0 new"},
        {"OK lines without --quiet",
         {"list"},
         false,
         0,
         {"./a.txt: OK", "./b.txt: OK", "./dup1: OK", "./dup2: OK", "./sub/c.txt: OK"},
         "5 OK"},
        {"--root names another folder",
         {"--quiet", "--root", "..", "list"},
         false,
         1,
         {"../outside: NEW"},
         "1 new"},
        {"a list that cannot be read: nothing walked",
         {"list", "no-such-list"},
         false,
         2,
         {},
         "no-such-list: No such file or directory"},
        {"a list of no known format",
         {"--quiet", "d/a.txt"},
         true,
         2,
         {},
         "line 1: not a checksum"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what));
        std::vector<std::string> args = {"--audit"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult audit = Report(c.inTop ? top.path() : top / "d", args);
        EXPECT_EQ(audit.status, c.status) << audit.err;
        if (c.status != 2) {
            EXPECT_EQ(SortedLines(audit.out), c.lines) << audit.out;
        }
        EXPECT_NE(audit.err.find(c.errHas), std::string::npos) << audit.err;
    }
}

// The word about a list's improperly formatted lines counts the others, as
// --check's does.
TEST(Audit, ImproperlyFormattedLinesAreCounted) {
    ScratchDir top;
    MakeTree(top.path());
    WriteFile(top / "d/list",
              Report(top / "d", {"--format", "md5sum", "."}).out + "junk\nmore junk\n");
    const RunResult audit = Report(top / "d", {"--audit", "--quiet", "list"});
    EXPECT_EQ(audit.status, 0) << audit.err;
    EXPECT_NE(audit.err.find("list: line 6: improperly formatted checksum line (and 1 other)\n"),
              std::string::npos)
        << audit.err;
}

// The results as JSON Lines, read by jq one line at a time: a name that is
// not UTF-8 also gives its exact bytes.
TEST(Audit, JsonLinesAreReadByJq) {
    if (!Installed("jq")) {
        GTEST_SKIP() << "jq is not installed (scripts/install-deps installs it)";
    }
    ScratchDir top;
    MakeTree(top.path());
    WriteFile(top / "list", Report(top.path(), {"d"}).out);
    WriteFile(top / "d/a.txt", "alpha, edited\n");
    fs::rename(top / "d/b.txt", top / "d/sub/b");
    fs::remove(top / "d/dup1");
    WriteFile(top / "d/bad\xFF", "new\n");
    const RunResult run =
        RunIn(top.path(), {"/bin/sh", "-c",
                           "\"$0\" --audit --quiet --json list | jq -c "
                           "'[.name, .status, (.differs // [] | join(\",\")), .to, .name_bytes]'",
                           test::ReportProgram()});
    EXPECT_EQ(SortedLines(run.out),
              (std::vector<std::string>{
                  R"(["d/a.txt","EDITED","size,modified time,SHA-1,MD5",null,null])",
                  R"(["d/b.txt","MOVED","","d/sub/b",null])",
                  R"(["d/bad\\377","NEW","",null,"ZC9iYWT/"])",
                  R"(["d/dup1","MISSING","",null,null])",
              }))
        << run.out << run.err;
}

// hashdeep's audit counts a file matched when its content is known anywhere
// (a copy too), new when its content is unknown (an edited file too), and a
// known file not found when its content is nowhere (the old content of an
// edited file too). Varnel says EDITED for an edited file and NEW for a
// copy: its counts map onto hashdeep's by those differences.
TEST(Audit, CountsAgreeWithHashdeepWhereItCanTell) {
    if (!Installed("hashdeep")) {
        GTEST_SKIP() << "hashdeep is not installed (scripts/install-deps installs it)";
    }
    ScratchDir top;
    for (int i = 0; i < 40; ++i) {
        Write(top / ("d/f" + std::to_string(i)), "file " + std::to_string(i) + "\n");
    }
    const RunResult listed = Report(top / "d", {"--format", "md5sum", "."});
    WriteFile(top / "list", listed.out);
    const RunResult known = RunIn(top / "d", {"hashdeep", "-c", "md5", "-r", "-l", "."});
    WriteFile(top / "known", known.out);
    const int edited = 3;
    const int removed = 4;
    const int moved = 5;
    const int copied = 2;
    const int added = 6;
    for (int i = 0; i < edited; ++i) {
        WriteFile(top / ("d/f" + std::to_string(i)), "edited " + std::to_string(i) + "\n");
    }
    for (int i = 10; i < 10 + removed; ++i) {
        fs::remove(top / ("d/f" + std::to_string(i)));
    }
    fs::create_directories(top / "d/sub");
    for (int i = 20; i < 20 + moved; ++i) {
        fs::rename(top / ("d/f" + std::to_string(i)), top / ("d/sub/m" + std::to_string(i)));
    }
    for (int i = 30; i < 30 + copied; ++i) {
        fs::copy_file(top / ("d/f" + std::to_string(i)), top / ("d/c" + std::to_string(i)));
    }
    for (int i = 0; i < added; ++i) {
        WriteFile(top / ("d/sub/n" + std::to_string(i)), "new " + std::to_string(i) + "\n");
    }
    const RunResult judge =
        RunIn(top / "d", {"hashdeep", "-c", "md5", "-r", "-l", "-a", "-k", "../known", "-vv", "."});
    const auto count = [&](const std::string& label) {
        std::smatch match;
        const std::regex pattern(label + ": ([0-9]+)");
        EXPECT_TRUE(std::regex_search(judge.out, match, pattern)) << judge.out;
        return match.empty() ? -1 : std::stoi(match[1]);
    };
    const RunResult audit =
        RunIn(top / "d", {test::ReportProgram(), "--audit", "--quiet", "../list"});
    std::smatch ours;
    ASSERT_TRUE(std::regex_search(audit.err, ours,
                                  std::regex("audit: ([0-9]+) OK, 0 edited, 0 damaged, ([0-9]+) "
                                             "missing, ([0-9]+) moved, ([0-9]+) new, ([0-9]+) "
                                             "failed")))
        << audit.err;
    const int ok = std::stoi(ours[1]);
    const int missing = std::stoi(ours[2]);
    const int wereMoved = std::stoi(ours[3]);
    const int newFiles = std::stoi(ours[4]);
    const int failed = std::stoi(ours[5]);
    EXPECT_EQ(failed, edited); // a plain list: an edit is a failed digest
    EXPECT_EQ(wereMoved, moved);
    EXPECT_EQ(newFiles, added + copied);
    // Matched, by content anywhere: hashdeep counts moved and copied files in
    // "Files moved" as well as in place in "Files matched".
    EXPECT_EQ(count("Files matched") + count("Files moved"), ok + wereMoved + copied);
    EXPECT_EQ(count("New files found"), added + failed);
    EXPECT_EQ(count("Known files not found"), missing + failed);
    EXPECT_EQ(missing, removed);
}

} // namespace
} // namespace varnel
