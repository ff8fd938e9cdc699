// varnel-report: option parsing, and the real executable end to end against
// blocks built here from the labels and an independent oracle (Python).

#include "cli/report_command.h"
#include "formats/json_text.h"
#include "formats/name_escape.h"
#include "report/script_formats.h"
#include "tests/cli/run_program.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
    EXPECT_EQ(command->language, LanguageMode::Traditional);
    EXPECT_EQ(command->paths, (std::vector<std::string>{"a", "-", "--crc32", "-b"}));

    EXPECT_EQ(Parse({"--lang=chinese", "p"})->language, LanguageMode::Simplified);
    EXPECT_EQ(Parse({"--lang", "english", "p"})->language, LanguageMode::English);
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
    EXPECT_FALSE(Parse({"-z", "p"}, &error));
    EXPECT_FALSE(Parse({"--no-md5", "p"}, &error)); // MD5 is always written
    EXPECT_FALSE(Parse({"p", "--lang"}, &error));
    EXPECT_FALSE(Parse({"--lang", "klingon", "p"}, &error));
    // The longer digests are lines of report blocks and tags of bsd lists; the
    // other formats carry one each.
    for (const std::vector<std::string_view>& args :
         {std::vector<std::string_view>{"--update", "--sha256", "l"},
          {"--format", "md5sum", "--sha512", "p"},
          {"--check", "--format", "bsd", "--blake2b", "l"}}) {
        EXPECT_FALSE(Parse(args, &error)) << args[0];
    }
    EXPECT_TRUE(Parse({"--format", "bsd", "--sha256", "--sha512", "--blake2b", "p"}));
    EXPECT_TRUE(Parse({"--sha256", "--sha512", "--blake2b", "p"})->options.ShowDigests.blake2b);
    for (const std::string_view format : {"report", "md5sum", "sha1sum", "sha256sum", "sha512sum",
                                          "b2sum", "bsd", "sfv", "json", "csv"}) {
        EXPECT_TRUE(Parse({"--format", format, "p"})) << format;
    }
    EXPECT_EQ(Parse({"--format", "json", "p"})->scriptFormat, ScriptFormat::Json);
    EXPECT_FALSE(Parse({"--format", "json", "p"})->format);
    // The last --format wins, a list's or a script's.
    EXPECT_FALSE(Parse({"--format", "csv", "--format", "md5sum", "p"})->scriptFormat);
    EXPECT_FALSE(Parse({"--format", "md5sum", "--format", "csv", "p"})->format);
    // Records carry the longer digests as bsd lines do; lists are not read as records.
    EXPECT_TRUE(Parse({"--format", "csv", "--sha256", "--blake2b", "p"}));
    EXPECT_FALSE(Parse({"--check", "--format", "json", "l"}, &error));
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
        expected += ExpectedBlock((root + '/') += name, dir / name, true, true, true);
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

// A usage error is its reason and where the help is, on two lines, so the
// reason stays on the terminal (the usage is --help's).
TEST(VarnelReport, UsageErrorIsItsReasonAndWhereTheHelpIs) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no PATH given"},
        {{"--bogus", "x"}, "unknown option '--bogus'"},
        {{"--lang", "klingon", "x"}, "unknown language 'klingon' (chinese, taiwan or english)"},
        {{"--check", "--format", "csv", "l"},
         "--format json and csv are written by reports, not read as lists"},
    };
    for (const auto& [args, reason] : cases) {
        const RunResult run = RunProgram(args);
        EXPECT_EQ(run.status, 2) << reason;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "varnel-report: " + reason + "\nTry 'varnel-report --help'.\n");
    }
}

TEST(VarnelReport, VersionAndHelp) {
    const RunResult version = RunProgram({"--version"});
    EXPECT_EQ(version.status, 0);
    // The version, then one line naming the hashing paths this processor takes.
    const std::string first = std::string("varnel-report ") + VARNEL_EXPECTED_VERSION + "\n";
    EXPECT_EQ(version.out.substr(0, first.size()), first);
    const std::string paths = version.out.substr(std::min(first.size(), version.out.size()));
    EXPECT_EQ(paths.rfind("hashing: MD5 ", 0), 0u) << paths;
    EXPECT_NE(paths.find(", CRC-32 "), std::string::npos) << paths;
    EXPECT_EQ(std::count(paths.begin(), paths.end(), '\n'), 1) << paths;
    const RunResult help = RunProgram({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: varnel-report", 0), 0u);
    for (const std::string_view shown :
         {"sha256sum", "sha512sum", "b2sum", "--blake2b", "json", "csv", "standard input"}) {
        EXPECT_NE(help.out.find(shown), std::string::npos) << shown;
    }
    // The language modes change no label but the Traditional one's: the help
    // says so rather than promise labels in each language.
    EXPECT_EQ(help.out.find("language of the labels"), std::string::npos);
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

// --- records for scripts and standard input ----------------------------------

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// Sets a file's modified time (a FIFO's too), to the nanosecond.
void SetModified(const fs::path& path, std::int64_t seconds, long nanoseconds) {
    const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// Runs a judge (jq, Python) with input as its standard input.
RunResult Judge(const std::vector<std::string>& args, const fs::path& input = {}) {
    return test::RunIn(fs::current_path(), args, input);
}

// jq reads each line as a JSON text of its own and gives, for each, the
// name's bytes (base64, as jq holds them), name_bytes, and the other fields.
TEST(VarnelReportScripts, JsonLinesAreReadByJqLineByLine) {
    ScratchDir dir;
    ScratchDir outDir;
    const std::string root = dir.path().string();
    WriteFile(dir / "plain.txt", std::string("abc"));
    WriteFile(root + "/x\xFE"
                     "y",
              std::string("not UTF-8"));
    WriteFile(dir / "q\"b\\s\nl\tt\x01", std::string("what JSON escapes"));
    WriteFile(dir / "简体.bin", test::PseudoRandomBytes(300000, 5));
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0); // cannot be read: an error record
    for (const std::string& name : ListedFiles(dir.path())) {
        SetModified(dir / name, 1709647629, 123456789);
    }

    const RunResult run = RunProgram({"--format", "json", "--crc32", root});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "varnel-report: " + root + "/pipe: not a regular file, not read\n");
    WriteFile(outDir / "out.json", run.out);
    const RunResult jq = Judge(
        {"/usr/bin/jq", "-R", "-r",
         R"(fromjson | [(.name | @base64), .name_bytes // "-", .size, .modified, .crc32 // "-",)"
         R"( .sha1 // "-", .md5 // "-", .error // "-"] | map(tostring) | join(" "))"},
        outDir / "out.json");
    ASSERT_EQ(jq.status, 0) << jq.err;

    std::string expected;
    for (const std::string& name : ListedFiles(dir.path())) {
        const std::string path = (root + '/') += name;
        const bool utf8 = name != "x\xFE"
                                  "y";
        expected += formats::Base64(utf8 ? path : formats::EscapeName(path)) + " ";
        expected += (utf8 ? std::string("-") : formats::Base64(path)) + " ";
        // A FIFO's size is what its entry says: 0.
        const std::uintmax_t size = name == "pipe" ? 0 : fs::file_size(dir / name);
        expected += std::to_string(size) + " 2024-03-05T14:07:09.123456789Z ";
        if (name == "pipe") {
            expected += "- - - not a regular file, not read\n";
        } else {
            const auto oracle = OracleDigestsOf(dir / name);
            expected +=
                Lower(oracle.crc32) + " " + Lower(oracle.sha1) + " " + Lower(oracle.md5) + " -\n";
        }
    }
    EXPECT_EQ(jq.out, expected);
}

// Python's csv module reads the rows back, names with commas, quotation
// marks and line ends included.
TEST(VarnelReportScripts, CsvIsReadByPythonsCsvModule) {
    ScratchDir dir;
    ScratchDir outDir;
    const std::string root = dir.path().string();
    for (const std::string name :
         {"plain.txt", "a,b.txt", "say \"hi\".txt", "two\nlines.txt", "cr\r.txt", "简体,\".txt"}) {
        WriteFile(dir / name, name);
    }
    const RunResult run = RunProgram({"--format", "csv", "--no-time", "--sha256", root});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.starts_with("name,name_bytes,size,sha1,md5,sha256,error\r\n")) << run.out;
    EXPECT_TRUE(run.out.ends_with(",\r\n"));
    WriteFile(outDir / "out.csv", run.out);
    // Fields apart by US, rows by RS: neither is in any name here.
    const RunResult python = Judge({"/usr/bin/python3", "-c",
                                    "import csv, sys\n"
                                    "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                                    "    for row in csv.reader(f, strict=True):\n"
                                    "        sys.stdout.write('\\x1f'.join(row) + '\\x1e')\n",
                                    (outDir / "out.csv").string()});
    ASSERT_EQ(python.status, 0) << python.err;

    std::string expected = "name\x1fname_bytes\x1fsize\x1fsha1\x1fmd5\x1fsha256\x1f"
                           "error\x1e";
    for (const std::string& name : ListedFiles(dir.path())) {
        const auto oracle = OracleDigestsOf(dir / name);
        const RunResult sha256 = Judge({"/usr/bin/sha256sum"}, dir / name);
        for (const std::string& field :
             {(root + '/') += name, std::string(), std::to_string(name.size()), Lower(oracle.sha1),
              Lower(oracle.md5), sha256.out.substr(0, 64)}) {
            expected += field;
            expected += '\x1f';
        }
        expected += '\x1e'; // the error field is empty
    }
    EXPECT_EQ(python.out, expected);
}

// "-" is standard input in every output format: its size and digests, no
// time and no version; the common tools write the same lines of the same
// bytes.
TEST(VarnelReportScripts, StandardInputInEveryFormat) {
    ScratchDir dir;
    const fs::path input = dir / "input.bin";
    WriteFile(input, test::PseudoRandomBytes(300000, 9)); // more than one read
    WriteFile(dir / "a", std::string("a"));
    const auto oracle = OracleDigestsOf(input);
    const std::string size = std::to_string(fs::file_size(input));

    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> tool; // writes the same output from the same input
        std::string expected;          // when no tool does
    };
    const std::vector<Case> cases = {
        {{"--format", "md5sum", "-"}, {"md5sum", "-"}, ""},
        {{"--format", "sha1sum", "-"}, {"sha1sum", "-"}, ""},
        {{"--format", "sha256sum", "a", "-", "a"}, {"sha256sum", "a", "-", "a"}, ""},
        // Read to its end the first time, standard input is empty the second.
        {{"--format", "md5sum", "-", "-"}, {"md5sum", "-", "-"}, ""},
        {{"--file-version", "--crc32", "-"},
         {},
         "文件名称：-\r\n文件大小：" + size + " 字节\r\nCRC32值 ：" + oracle.crc32 +
             "\r\nSHA1值   ：" + oracle.sha1 + "\r\nMD5值     ：" + oracle.md5 + "\r\n\r\n"},
        {{"--format", "json", "--file-version", "-"},
         {},
         R"({"name":"-","size":)" + size + R"(,"sha1":")" + Lower(oracle.sha1) + R"(","md5":")" +
             Lower(oracle.md5) + "\"}\n"},
        {{"--format", "csv", "--no-sha1", "-"},
         {},
         "name,name_bytes,size,modified,md5,error\r\n-,," + size + ",," + Lower(oracle.md5) +
             ",\r\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), test::ReportProgram());
        const RunResult run = test::RunIn(dir.path(), args, input);
        EXPECT_EQ(run.status, 0) << c.args[0] << " " << run.err;
        EXPECT_EQ(run.err, "");
        const std::string expected =
            c.tool.empty() ? c.expected : test::RunIn(dir.path(), c.tool, input).out;
        EXPECT_EQ(run.out, expected) << c.args[0] << " " << c.args[1];
    }
}

// Records are written as their files are done: the first file's record is
// out while standard input, the next path, has not ended yet.
TEST(VarnelReportScripts, RecordsAreWrittenAsTheirFilesAreDone) {
    ScratchDir dir;
    WriteFile(dir / "first", std::string("abc"));
    for (const std::string format : {"json", "csv"}) {
        int ends[2];
        ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        test::Running running(
            dir.path(), {test::ReportProgram(), "--format", format, "--no-time", "first", "-"},
            ends[0]);
        ::close(ends[0]);
        // Waits for the first record however busy the machine is; a program
        // that holds its output to the end never shows it.
        const std::size_t lines = format == "csv" ? 2 : 1;
        std::string out;
        for (int i = 0; i < 600; ++i) {
            out = running.OutSoFar();
            if (static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n')) >= lines) {
                break;
            }
            ::usleep(100000);
        }
        EXPECT_EQ(static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n')), lines)
            << format;
        ASSERT_EQ(::write(ends[1], "abc", 3), 3);
        ::close(ends[1]);
        const RunResult run = running.Wait();
        EXPECT_EQ(run.status, 0) << run.err;
        // Standard input's record follows, with the same digest as the file's.
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), lines + 1) << run.out;
        const std::string md5 = "900150983cd24fb0d6963f7d28e17f72";
        EXPECT_NE(run.out.find(md5), run.out.rfind(md5)) << run.out;
    }
}

TEST(VarnelReportScripts, StandardInputThatCannotBeReadIsAFailedRead) {
    ScratchDir dir;
    const RunResult run =
        test::RunIn(dir.path(), {test::ReportProgram(), "--format", "json", "-"}, dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, R"({"name":"-","error":"read error: Is a directory"})"
                       "\n");
    EXPECT_EQ(run.err, "varnel-report: -: read error: Is a directory\n");
}

} // namespace
} // namespace varnel
