// varnel-report --compare end to end: two folders with each kind of
// difference in one table, cmp and diff -r as the judges of the content and
// the exit status; two files, the usage errors and trouble; the rows a
// window takes with both sides' values.

#include "lists/compare.h"
#include "tests/cli/run_program.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <vector>

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::Report;
using test::RunIn;
using test::RunResult;
using test::ScratchDir;
using test::WriteFile;

const auto kTime = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);

struct Entry {
    std::string name; // bytes, below A and B
    std::optional<std::string> a;
    std::optional<std::string> b;
    bool touched = false; // B's file has another modified time
    std::string result;   // the line expected; empty: none (hidden; where a file of A moved)
};

// In the order of the results: byte order, a folder's files before its
// subfolders'.
const std::vector<Entry>& Entries() {
    static const std::vector<Entry> entries = {
        {".hidden", "h1", "h2", false, ""},
        {"ab", "same", "same", false, "ab: SAME"},
        {"back\\slash", "x", "x", false, "back\\\\slash: SAME"},
        {"edit", "alpha\n", "alphA\n", false, "edit: DIFFERENT (SHA-1, MD5)"},
        {"grown", "beta\n", "beta, grown\n", false, "grown: DIFFERENT (size, SHA-1, MD5)"},
        {"line\nend", "y", "y2", false, "line\\nend: DIFFERENT (size, SHA-1, MD5)"},
        {"moved", "gamma\n", std::nullopt, false, "moved: MOVED to sub/moved here"},
        {"only-a", "delta\n", std::nullopt, false, "only-a: ONLY IN A"},
        {"only-b", std::nullopt, "epsilon\n", false, "only-b: ONLY IN B"},
        {"orig", "zeta\n", "zeta\n", false, "orig: SAME"},
        {"orig copy", std::nullopt, "zeta\n", false, "orig copy: ONLY IN B"},
        {"touched", "eta\n", "eta\n", true, "touched: DIFFERENT (modified time)"},
        {"trailing ", std::nullopt, "t", false, "trailing\\040: ONLY IN B"},
        {"\xFF.bin", "n", "n", false, "\\377.bin: SAME"},
        {"sub/moved here", std::nullopt, "gamma\n", false, ""},
        {"sub/z", "theta", "theta", false, "sub/z: SAME"},
    };
    return entries;
}

void Put(const fs::path& path, const std::string& text, bool touched = false) {
    fs::create_directories(path.parent_path());
    WriteFile(path, text);
    fs::last_write_time(path, touched ? kTime + std::chrono::hours(3) : kTime);
}

void MakeTrees(const fs::path& top) {
    fs::create_directories(top / "A");
    fs::create_directories(top / "B");
    for (const Entry& e : Entries()) {
        if (e.a) {
            Put(top / "A" / e.name, *e.a);
        }
        if (e.b) {
            Put(top / "B" / e.name, *e.b, e.touched);
        }
    }
}

TEST(Compare, FoldersAgreeWithCmpAndDiff) {
    ScratchDir dir;
    MakeTrees(dir.path());
    const RunResult run = Report(dir.path(), {"--compare", "A", "B"});
    std::string expected;
    for (const Entry& e : Entries()) {
        expected += e.result.empty() ? "" : e.result + "\n";
        if (e.a && e.b && !e.result.empty()) {
            // cmp judges the content: the same exactly when no digest differs.
            const int cmp = RunIn(dir.path(), {"cmp", "-s", "A/" + e.name, "B/" + e.name}).status;
            const bool sameContent =
                e.result.ends_with(": SAME") || e.result.ends_with("(modified time)");
            EXPECT_EQ(cmp == 0, sameContent) << e.result;
        }
    }
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "compare: 5 same, 4 different, 1 only in A, 3 only in B, 1 moved\n");
    EXPECT_EQ(run.status, 1);

    // diff -r judges the exit status: a copy whose times were not kept is
    // the same by content (--no-time), not by every line.
    fs::copy(dir / "A", dir / "C", fs::copy_options::recursive);
    struct Pair {
        std::string other;
        std::vector<std::string> options;
        int status;
    };
    for (const Pair& p : {Pair{"B", {"--no-time"}, 1}, Pair{"C", {"--no-time"}, 0},
                          Pair{"C", {}, 1}, Pair{"A", {}, 0}}) {
        std::vector<std::string> args = {"--compare", "--quiet", "A", p.other};
        args.insert(args.end(), p.options.begin(), p.options.end());
        EXPECT_EQ(Report(dir.path(), args).status, p.status) << p.other;
        if (!p.options.empty()) {
            EXPECT_EQ(RunIn(dir.path(), {"diff", "-r", "A", p.other}).status, p.status);
        }
    }
}

TEST(Compare, FilesUsageAndTrouble) {
    ScratchDir dir;
    MakeTrees(dir.path());
    fs::create_directories(dir / "P");
    fs::create_directories(dir / "Q");
    ASSERT_EQ(::mkfifo((dir / "P/pipe").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((dir / "Q/pipe").c_str(), 0600), 0);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err; // a part of the error stream
    };
    const Case cases[] = {
        {{"A/ab", "B/ab"}, 0, "SAME\n", ""},
        {{"--crc32", "--file-version", "A/edit", "B/edit"},
         1,
         "DIFFERENT (CRC-32, SHA-1, MD5)\n",
         ""},
        {{"--json", "A/grown", "B/grown"},
         1,
         "{\"a\":\"A/grown\",\"b\":\"B/grown\",\"status\":\"DIFFERENT\",\"differs\":[\"size\","
         "\"SHA-1\",\"MD5\"]}\n",
         ""},
        {{"A/.hidden", "B/.hidden"}, 1, "DIFFERENT (SHA-1, MD5)\n", ""},
        {{"A/ab", "B"}, 2, "", "cannot compare the folder B with the file A/ab"},
        {{"A/none", "B/ab"}, 2, "", "A/none: No such file or directory"},
        {{"A"}, 2, "", "--compare takes two PATHs, A and B"},
        {{"-", "A/ab"}, 2, "", "not standard input"},
        {{"--check", "A", "B"}, 2, "", "--compare goes alone"},
        // A FIFO is never opened: no verdict on it, and trouble.
        {{"P", "Q"}, 2, "pipe: FAILED open or read\n", "P/pipe: not a regular file"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--compare"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult run = Report(dir.path(), args);
        EXPECT_EQ(run.status, c.status) << c.args.back();
        EXPECT_EQ(run.out, c.out) << c.args.back();
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    }
}

TEST(Compare, JsonRecordsAndSinkRows) {
    ScratchDir dir;
    MakeTrees(dir.path());
    const RunResult run = Report(dir.path(), {"--compare", "--json", "--quiet", "A", "B"});
    EXPECT_EQ(test::Count(run.out, "\n"), 9u); // every result but the 5 SAME
    EXPECT_NE(run.out.find("{\"name\":\"moved\",\"status\":\"MOVED\",\"to\":\"sub/moved here\"}\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("{\"name\":\"line\\u000Aend\",\"status\":\"DIFFERENT\",\"differs\":["
                           "\"size\",\"SHA-1\",\"MD5\"]}\n"),
              std::string::npos);
    EXPECT_EQ(Report(dir.path(), {"--compare", "--json", "A/\xFF.bin", "B/\xFF.bin"}).out,
              "{\"a\":\"A/\\\\377.bin\",\"a_bytes\":\"QS//LmJpbg==\",\"b\":\"B/\\\\377.bin\","
              "\"b_bytes\":\"Qi//LmJpbg==\",\"status\":\"SAME\"}\n");

    // A window's rows: both sides' values of every line, the differing ones
    // marked.
    struct Rows final : CompareSink {
        std::vector<std::string> texts;
        std::vector<std::vector<CompareLine>> lines;
        std::vector<std::string> values; // a and b of each line, kept
        void Row(const CompareRow& row) override {
            texts.emplace_back(row.text);
            lines.emplace_back(row.lines.begin(), row.lines.end());
            for (const CompareLine& line : row.lines) {
                values.push_back(std::string(line.a) + "|" + std::string(line.b));
            }
        }
        void Message(std::string_view) override {}
        bool Open() const override { return true; }
    } rows;
    CompareOptions options;
    EXPECT_EQ(RunCompare((dir / "A/edit").string(), (dir / "B/edit").string(), options, rows), 1);
    ASSERT_EQ(rows.texts, std::vector<std::string>{"DIFFERENT (SHA-1, MD5)"});
    const std::vector<std::string_view> checks = {"size", "modified time", "SHA-1", "MD5"};
    ASSERT_EQ(rows.lines[0].size(), checks.size());
    for (std::size_t i = 0; i < checks.size(); ++i) {
        const CompareLine& line = rows.lines[0][i];
        EXPECT_EQ(line.check, checks[i]);
        const std::string& both = rows.values[i];
        const std::size_t bar = both.find('|');
        EXPECT_FALSE(both.substr(0, bar).empty()) << line.check;
        EXPECT_EQ(both.substr(0, bar) != both.substr(bar + 1), line.differs) << line.check;
        EXPECT_EQ(line.differs, i >= 2) << line.check;
    }
    EXPECT_EQ(rows.values[0], "6|6");
}

} // namespace
} // namespace varnel
