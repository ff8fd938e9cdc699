// varnel-report: option parsing, and the real executable end to end against
// blocks built here from the labels and an independent oracle (Python).

#include "cli/report_command.h"
#include "tests/cli/run_program.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::OracleDigestsOf;
using test::RunResult;
using test::ScratchDir;
using test::WriteFile;

// --- parsing -----------------------------------------------------------------

std::optional<ReportCommandLine> Parse(std::vector<std::string_view> args,
                                       std::string* error = nullptr) {
    std::string reason;
    auto result = ParseReportCommandLine(args, reason);
    if (error != nullptr) {
        *error = reason;
    }
    return result;
}

TEST(ReportCommandLine, DefaultsAreTheCheckBoxStartStates) {
    const auto command = Parse({"x"});
    ASSERT_TRUE(command);
    EXPECT_TRUE(command->options.ShowSHA1);
    EXPECT_FALSE(command->options.ShowCRC32);
    EXPECT_TRUE(command->options.ShowModifiedTime);
    EXPECT_TRUE(command->options.ShowSize);
    EXPECT_FALSE(command->options.ShowVersion);
    EXPECT_FALSE(command->language);
    EXPECT_EQ(command->paths, std::vector<std::string>{"x"});
}

TEST(ReportCommandLine, SwitchesLanguageAndEndOfOptions) {
    const auto command = Parse({"--no-sha1", "--crc32", "--no-time", "--no-size", "--file-version",
                                "--lang", "taiwan", "a", "-", "--", "--crc32", "-b"});
    ASSERT_TRUE(command);
    EXPECT_FALSE(command->options.ShowSHA1);
    EXPECT_TRUE(command->options.ShowCRC32);
    EXPECT_FALSE(command->options.ShowModifiedTime);
    EXPECT_FALSE(command->options.ShowSize);
    EXPECT_TRUE(command->options.ShowVersion);
    EXPECT_EQ(command->language, "TAIWAN");
    EXPECT_EQ(command->paths, (std::vector<std::string>{"a", "-", "--crc32", "-b"}));

    EXPECT_EQ(Parse({"--lang=chinese", "p"})->language, "CHINESE");
    EXPECT_EQ(Parse({"--lang", "english", "p"})->language, "");
    // The last of two contrary switches wins.
    EXPECT_FALSE(Parse({"--sha1", "--no-sha1", "p"})->options.ShowSHA1);

    EXPECT_FALSE(Parse({"p"})->progress);
    EXPECT_EQ(Parse({"--progress", "p"})->progress, true);
    EXPECT_EQ(Parse({"--progress", "--no-progress", "p"})->progress, false);
}

TEST(ReportCommandLine, UsageErrors) {
    std::string error;
    EXPECT_FALSE(Parse({}, &error));
    EXPECT_EQ(error, "no PATH given");
    EXPECT_FALSE(Parse({"--bogus", "p"}, &error));
    EXPECT_EQ(error, "unknown option '--bogus'");
    EXPECT_FALSE(Parse({"-x", "p"}, &error));
    EXPECT_FALSE(Parse({"--no-md5", "p"}, &error)); // MD5 is always written
    EXPECT_FALSE(Parse({"p", "--lang"}, &error));
    EXPECT_FALSE(Parse({"--lang", "klingon", "p"}, &error));
    // The longer digests are tags of bsd lists; the other formats carry one each.
    for (const std::vector<std::string_view>& args :
         {std::vector<std::string_view>{"--sha256", "p"},
          {"--format", "md5sum", "--sha512", "p"},
          {"--check", "--format", "bsd", "--blake2b", "l"}}) {
        EXPECT_FALSE(Parse(args, &error)) << args[0];
    }
    EXPECT_TRUE(Parse({"--format", "bsd", "--sha256", "--sha512", "--blake2b", "p"}));
    for (const std::string_view format :
         {"report", "md5sum", "sha1sum", "sha256sum", "sha512sum", "b2sum", "bsd", "sfv"}) {
        EXPECT_TRUE(Parse({"--format", format, "p"})) << format;
    }
    EXPECT_FALSE(Parse({"--format", "sha384sum", "p"}, &error));
    EXPECT_TRUE(Parse({"--help"}));
    EXPECT_TRUE(Parse({"--version"}));
}

// --- the executable ----------------------------------------------------------

// Runs varnel-report in the working folder.
RunResult RunProgram(std::vector<std::string> args) {
    args.insert(args.begin(), test::ReportProgram());
    return test::RunIn(fs::current_path(), args);
}

// The block of a readable file with the given lines, built from the labels
// and the oracle's digests.
std::string ExpectedBlock(const std::string& shown, const fs::path& path, bool crc, bool sha1,
                          bool size) {
    const auto oracle = OracleDigestsOf(path);
    std::string text = "文件名称：" + shown + "\r\n";
    if (size) {
        text += "文件大小：" + std::to_string(fs::file_size(path)) + " 字节\r\n";
    }
    if (crc) {
        text += "CRC32值 ：" + oracle.crc32 + "\r\n";
    }
    if (sha1) {
        text += "SHA1值   ：" + oracle.sha1 + "\r\n";
    }
    return text + "MD5值     ：" + oracle.md5 + "\r\n\r\n";
}

// The files of a folder in the system's listing order (hidden ones left out).
std::vector<std::string> ListedFiles(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name[0] != '.' && !entry.is_directory()) {
            names.push_back(name);
        }
    }
    return names;
}

TEST(VarnelReport, FolderGivesEveryBlockBelowItInWalkOrder) {
    ScratchDir dir;
    WriteFile(dir / "a", std::string("abc"));
    WriteFile(dir / "b", test::PseudoRandomBytes(50000, 4));
    WriteFile(dir / ".hidden", std::string("not reported"));
    fs::create_directory(dir / "s");
    WriteFile(dir / "s/c", std::string());

    const std::string root = dir.path().string();
    std::string expected;
    for (const std::string& name : ListedFiles(dir.path())) {
        expected += ExpectedBlock(root + "/" + name, dir / name, true, true, true);
    }
    expected += ExpectedBlock(root + "/s/c", dir / "s/c", true, true, true);

    for (const std::string& given : {root, root + "/"}) {
        const RunResult run = RunProgram({"--crc32", "--no-time", given});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, expected);
        EXPECT_EQ(run.err, "");
    }
}

TEST(VarnelReport, PathsInOrderWithTheirOptions) {
    ScratchDir dir;
    WriteFile(dir / "one", std::string("1"));
    fs::create_directory(dir / "f");
    WriteFile(dir / "f/two", std::string("2"));
    const RunResult run = RunProgram(
        {"--no-sha1", "--no-size", "--no-time", (dir / "f").string(), (dir / "one").string()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              ExpectedBlock((dir / "f").string() + "/two", dir / "f/two", false, false, false) +
                  ExpectedBlock((dir / "one").string(), dir / "one", false, false, false));
}

TEST(VarnelReport, TimeLineInTheLocaleOfTheEnvironment) {
    ScratchDir dir;
    const auto path = dir / "t";
    WriteFile(path, std::string("t"));
    const struct timespec times[2] = {{1709647629, 0}, {1709647629, 0}}; // 2024-03-05 14:07:09 UTC
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    const RunResult run = RunProgram({"--no-sha1", "--no-size", path.string()});
    EXPECT_EQ(run.status, 0);
    const auto oracle = OracleDigestsOf(path);
    EXPECT_EQ(run.out, "文件名称：" + path.string() +
                           "\r\n修改时间：3/5/24 2:07:09 PM\r\nMD5值     ：" + oracle.md5 +
                           "\r\n\r\n");
}

TEST(VarnelReport, UnreadablePathsStillGetTheirBlocksAndExitOne) {
    ScratchDir dir;
    WriteFile(dir / "good", std::string("abc"));
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    const std::string missing = (dir / "missing").string();
    const std::string pipe = (dir / "pipe").string();
    // The FIFO has no writer: reading it would hang the run.
    const RunResult run =
        RunProgram({"--no-time", "--no-sha1", "--crc32", missing, pipe, (dir / "good").string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "文件名称：" + missing +
                           "\r\nCRC32值 ：00000000\r\nMD5值     ：\r\n\r\n"
                           "文件名称：" +
                           pipe +
                           "\r\n文件大小：0 字节\r\nCRC32值 ：00000000\r\nMD5值     ：\r\n\r\n" +
                           ExpectedBlock((dir / "good").string(), dir / "good", true, false, true));
    EXPECT_EQ(run.err, "varnel-report: " + missing + ": not found\nvarnel-report: " + pipe +
                           ": not a regular file, not read\n");
}

TEST(VarnelReport, NameThatIsNotUtf8IsShownEscapedAndReadThroughItsBytes) {
    ScratchDir dir;
    const std::string raw = dir.path().string() + "/x\xFE"
                                                  "y";
    WriteFile(raw, std::string("abc"));
    const RunResult run = RunProgram({"--no-time", "--no-size", "--no-sha1", dir.path().string()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "文件名称：" + dir.path().string() +
                           "/x\\376y\r\nMD5值     ：900150983CD24FB0D6963F7D28E17F72\r\n\r\n");
}

TEST(VarnelReport, LanguagesChangeLabelsOnly) {
    ScratchDir dir;
    const auto path = dir / "简体.txt";
    WriteFile(path, std::string("abc"));
    const RunResult chinese =
        RunProgram({"--lang", "chinese", "--crc32", "--no-time", path.string()});
    const RunResult english =
        RunProgram({"--lang", "english", "--crc32", "--no-time", path.string()});
    const RunResult taiwan =
        RunProgram({"--lang", "taiwan", "--crc32", "--no-time", path.string()});
    EXPECT_EQ(chinese.out, english.out);
    EXPECT_EQ(chinese.out, ExpectedBlock(path.string(), path, true, true, true));
    EXPECT_EQ(taiwan.status, 0);
    // Converted labels or not (the conversion library may be absent), the
    // path and every value are written unchanged.
    const auto oracle = OracleDigestsOf(path);
    for (const std::string& tail :
         {"：" + path.string() + "\r\n", std::string("：3 "), "：" + oracle.crc32 + "\r\n",
          "：" + oracle.sha1 + "\r\n", "：" + oracle.md5 + "\r\n\r\n"}) {
        EXPECT_NE(taiwan.out.find(tail), std::string::npos) << tail;
    }
}

TEST(VarnelReport, UsageErrorsExitTwoWithUsage) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, std::vector<std::string>{"--bogus", "x"}}) {
        const RunResult run = RunProgram(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("varnel-report: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("usage: varnel-report"), std::string::npos);
    }
}

TEST(VarnelReport, VersionAndHelp) {
    const RunResult version = RunProgram({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("varnel-report ") + VARNEL_EXPECTED_VERSION + "\n");
    const RunResult help = RunProgram({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: varnel-report", 0), 0u);
    for (const std::string_view shown : {"sha256sum", "sha512sum", "b2sum", "--blake2b"}) {
        EXPECT_NE(help.out.find(shown), std::string::npos) << shown;
    }
}

// A run of more than half a second shows its progress on standard error when
// asked to (here standard error is a file, so only when forced), on one line
// written over in place and cleared at the end; standard output holds the
// blocks alone.
TEST(VarnelReport, ProgressGoesToStandardErrorOnlyAndIsClearedAtTheEnd) {
    ScratchDir dir;
    const fs::path big = dir / "big.bin";
    { std::ofstream create(big, std::ios::binary); }
    fs::resize_file(big, std::uintmax_t{1} << 30); // sparse: reads as zeros
    const RunResult forced = RunProgram({"--progress", "--no-time", big.string()});
    EXPECT_EQ(forced.status, 0);
    EXPECT_EQ(forced.out, ExpectedBlock(big.string(), big, false, true, true));
    EXPECT_NE(forced.err.find("0/1 files, "), std::string::npos) << forced.err;
    EXPECT_NE(forced.err.find(" MB/s"), std::string::npos) << forced.err;
    EXPECT_TRUE(forced.err.starts_with("\r")) << forced.err;
    EXPECT_TRUE(forced.err.ends_with("\r\x1b[K")) << forced.err;

    // Not a terminal, not forced: nothing on standard error.
    const RunResult quiet = RunProgram({"--no-time", big.string()});
    EXPECT_EQ(quiet.out, forced.out);
    EXPECT_EQ(quiet.err, "");
}

TEST(VarnelReport, FailedOutputIsNotReportedAsSuccess) {
    ScratchDir dir;
    WriteFile(dir / "a", std::string("abc"));
    std::FILE* full = std::fopen("/dev/full", "w");
    if (full == nullptr) {
        GTEST_SKIP() << "/dev/full is not available";
    }
    std::FILE* err = std::tmpfile();
    ASSERT_NE(err, nullptr);
    const std::string path = (dir / "a").string();
    const std::vector<std::string_view> args = {"--lang", "english", path};
    EXPECT_EQ(RunReportCommand(args, full, err), 1);
    std::fclose(full);
    std::rewind(err);
    char line[256] = {};
    ASSERT_NE(std::fgets(line, sizeof line, err), nullptr);
    EXPECT_EQ(std::string(line).rfind("varnel-report: standard output: cannot write", 0), 0u)
        << line;
    std::fclose(err);
}

} // namespace
} // namespace varnel
