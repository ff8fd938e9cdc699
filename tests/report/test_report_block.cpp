// The report block: exact bytes for chosen option sets, the failure cases,
// and the one-pass facts against an independent oracle (Python's zlib and
// hashlib) and against GetFileCrc32 / GetFileDigest.

#include "digest/binary_file_stream.h"
#include "digest/crc32.h"
#include "digest/digest_context.h"
#include "formats/pe_version.h"
#include "report/file_facts.h"
#include "report/report.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnel {
namespace {

using test::OracleDigestsOf;
using test::PseudoRandomBytes;
using test::ScratchDir;
using test::WriteFile;

constexpr const char* kEmptyMd5 = "D41D8CD98F00B204E9800998ECF8427E";          // RFC 1321
constexpr const char* kEmptySha1 = "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"; // FIPS 180

ReportOptions AllOn() {
    ReportOptions o;
    o.ShowSHA1 = o.ShowCRC32 = o.ShowModifiedTime = o.ShowSize = o.ShowVersion = true;
    return o;
}

ReportOptions OnlyMd5() {
    ReportOptions o;
    o.ShowSHA1 = o.ShowCRC32 = o.ShowModifiedTime = o.ShowSize = o.ShowVersion = false;
    return o;
}

// Services that show what they were given: the time as seconds since the
// epoch, a fixed version for every path.
ReportServices FakeServices() {
    ReportServices s;
    s.formatTime = [](std::chrono::sys_seconds t) {
        return "T" + std::to_string(t.time_since_epoch().count());
    };
    s.fileVersion = [](const std::filesystem::path&) { return std::string("1.2.3.4"); };
    return s;
}

void SetMtime(const std::filesystem::path& path, std::time_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::string GetFileCrc32Text(const std::filesystem::path& path) {
    BinaryFileStream_Class stream;
    try {
        stream.setFile(path);
    } catch (const std::exception&) {
    }
    return test::Hex8(CRC32_Class().GetFileCrc32(stream));
}

TEST(ReportBlock, AllOptionsOnGivesSevenLinesInOrder) {
    ScratchDir dir;
    const auto path = dir / "a.txt";
    WriteFile(path, PseudoRandomBytes(10000, 7));
    SetMtime(path, 1700000000);
    const auto oracle = OracleDigestsOf(path);

    const ReportBlock block = BuildReportBlock(path, path.string(), AllOn(), FakeServices());
    const std::string expected = "文件名称：" + path.string() + "\r\n" +
                                 "文件版本：V1.2.3.4\r\n"
                                 "文件大小：10000 字节\r\n"
                                 "修改时间：T1700000000\r\n"
                                 "CRC32值 ：" +
                                 oracle.crc32 + "\r\n" + "SHA1值   ：" + oracle.sha1 + "\r\n" +
                                 "MD5值     ：" + oracle.md5 + "\r\n\r\n";
    EXPECT_EQ(block.text, expected);
    EXPECT_TRUE(block.readOk);
    EXPECT_TRUE(block.failure.empty());
}

TEST(ReportBlock, AllOffButMd5GivesNameAndMd5Lines) {
    ScratchDir dir;
    const auto path = dir / "b.bin";
    WriteFile(path, std::string("abc"));
    ReportOptions options = OnlyMd5();
    // The MD5 line does not depend on ShowMD5 (its box cannot be cleared).
    options.ShowMD5 = false;
    const ReportBlock block = BuildReportBlock(path, "shown name", options, FakeServices());
    // MD5("abc") from RFC 1321's test suite.
    EXPECT_EQ(block.text, "文件名称：shown name\r\n"
                          "MD5值     ：900150983CD24FB0D6963F7D28E17F72\r\n\r\n");
}

TEST(ReportBlock, TwoBlocksInARowKeepCallOrderAndTheirOwnOptions) {
    ScratchDir dir;
    WriteFile(dir / "1", std::string("abc"));
    WriteFile(dir / "2", std::string(""));
    ReportOptions second = OnlyMd5();
    second.ShowSHA1 = true;
    std::string text;
    AppendReportBlock(text, "one", GatherFileFacts(dir / "1", OnlyMd5()), OnlyMd5(), {});
    AppendReportBlock(text, "two", GatherFileFacts(dir / "2", second), second, {});
    EXPECT_EQ(text, "文件名称：one\r\n"
                    "MD5值     ：900150983CD24FB0D6963F7D28E17F72\r\n"
                    "\r\n"
                    "文件名称：two\r\n"
                    "SHA1值   ：" +
                        std::string(kEmptySha1) + "\r\n" + "MD5值     ：" + kEmptyMd5 + "\r\n\r\n");
}

TEST(ReportBlock, EmptyFileHasSizeZeroAndDigestsOfNoData) {
    ScratchDir dir;
    const auto path = dir / "empty";
    WriteFile(path, std::string());
    ReportOptions options = AllOn();
    options.ShowModifiedTime = options.ShowVersion = false;
    const ReportBlock block = BuildReportBlock(path, "e", options, {});
    EXPECT_EQ(block.text, std::string("文件名称：e\r\n"
                                      "文件大小：0 字节\r\n"
                                      "CRC32值 ：00000000\r\n"
                                      "SHA1值   ：") +
                              kEmptySha1 + "\r\nMD5值     ：" + kEmptyMd5 + "\r\n\r\n");
    EXPECT_TRUE(block.readOk);
}

TEST(ReportBlock, MissingPathKeepsTheShapeWithoutSizeTimeOrDigests) {
    ScratchDir dir;
    const ReportBlock block = BuildReportBlock(dir / "gone", "gone", AllOn(), FakeServices());
    // The fake version query answers for any path; a real one gives nothing.
    EXPECT_EQ(block.text, "文件名称：gone\r\n"
                          "文件版本：V1.2.3.4\r\n"
                          "CRC32值 ：00000000\r\n"
                          "SHA1值   ：\r\n"
                          "MD5值     ：\r\n\r\n");
    EXPECT_FALSE(block.readOk);
    EXPECT_EQ(block.failure, "not found");
}

TEST(ReportBlock, EntriesThatAreNotNormalFilesAreNeverReadButKeepSizeAndTime) {
    ScratchDir dir;
    WriteFile(dir / ".hidden", std::string("secret"));
    std::filesystem::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    ReportOptions options = AllOn();
    options.ShowVersion = options.ShowModifiedTime = false;

    struct Case {
        std::string name;
        ReadFailure kind;
        std::string size;
    };
    for (const Case& c :
         {Case{".hidden", ReadFailure::Hidden, "6"}, Case{"folder", ReadFailure::Folder, "0"},
          Case{"fifo", ReadFailure::SystemEntry, "0"}}) {
        SCOPED_TRACE(c.name);
        // A FIFO with no writer: opening or reading it would hang here.
        const FileFacts facts = GatherFileFacts(dir / c.name, options);
        EXPECT_FALSE(facts.readOk);
        EXPECT_EQ(facts.failureKind, c.kind);
        EXPECT_EQ(FormatReportBlock(c.name, facts, options, {}),
                  "文件名称：" + c.name + "\r\n文件大小：" + c.size +
                      " 字节\r\nCRC32值 ：00000000\r\nSHA1值   ：\r\nMD5值     ：\r\n\r\n");
    }
}

TEST(ReportBlock, ReadFailureAfterOpenGivesNoDigests) {
    // /proc/self/mem is a regular file that opens but cannot be read at
    // offset 0 (nothing is mapped there): a read error after a good open.
    // Its length is given as 0, so a report reads it to its end: it meets the
    // read error and gives no digest, saying why.
    const std::filesystem::path mem = "/proc/self/mem";
    const int fd = ::open(mem.c_str(), O_RDONLY);
    if (fd < 0) {
        GTEST_SKIP() << "/proc/self/mem cannot be opened here";
    }
    ::close(fd);
    const FileFacts facts = GatherFileFacts(mem, AllOn());
    EXPECT_FALSE(facts.readOk);
    EXPECT_EQ(facts.failureKind, ReadFailure::ReadFailed);
    EXPECT_EQ(facts.failure.rfind("read error: ", 0), 0u) << facts.failure;
    EXPECT_EQ(facts.size, 0u);
    EXPECT_TRUE(facts.md5.empty() && facts.sha1.empty());

    // The one read loop, asked for a length, meets the same read error.
    platform::ReadOnlyFile file = platform::ReadOnlyFile::Open(mem);
    HashControl control;
    control.limit = 4096;
    FileHasher hasher;
    const HashResult hashed = hasher.Hash(file, {true, true, true}, control);
    EXPECT_EQ(hashed.outcome, HashOutcome::ReadFailed);
    ASSERT_TRUE(hashed.error.has_value());
    EXPECT_EQ(hashed.error->failure(), platform::FileFailure::ReadFailed);
    EXPECT_TRUE(hashed.sha1.empty() && hashed.md5.empty());
}

TEST(ReportBlock, CrcKeepsLeadingZerosAndUpperCase) {
    ScratchDir dir;
    const auto path = dir / "v";
    WriteFile(path, std::string("v60")); // its CRC-32 is below 0x01000000
    const auto oracle = OracleDigestsOf(path);
    ASSERT_EQ(oracle.crc32.substr(0, 2), "00");
    ReportOptions options = OnlyMd5();
    options.ShowCRC32 = true;
    const ReportBlock block = BuildReportBlock(path, "v", options, {});
    EXPECT_EQ(block.text, "文件名称：v\r\nCRC32值 ：" + oracle.crc32 + "\r\nMD5值     ：" +
                              oracle.md5 + "\r\n\r\n");

    FileFacts facts;
    facts.crc32 = 0xFEDCBA98u;
    EXPECT_NE(FormatReportBlock("f", facts, options, {}).find("CRC32值 ：FEDCBA98\r\n"),
              std::string::npos);
}

TEST(ReportBlock, TraditionalModeConvertsLabelsButNeverPathsOrDigests) {
    ScratchDir dir;
    const auto path = dir / "简体目录";
    WriteFile(path, PseudoRandomBytes(300, 3));
    SetMtime(path, 86400);
    ReportServices services = FakeServices();
    std::vector<std::string> seen;
    services.convert = [&seen](std::string_view text) {
        seen.emplace_back(text);
        return "<" + std::string(text) + ">";
    };
    const FileFacts facts = GatherFileFacts(path, AllOn(), services.fileVersion);
    const std::string text = FormatReportBlock(path.string(), facts, AllOn(), services);
    const std::string plain = FormatReportBlock(path.string(), facts, AllOn(), FakeServices());
    const auto oracle = OracleDigestsOf(path);

    EXPECT_EQ(text, "<文件名称：>" + path.string() + "\r\n" +
                        "<文件版本：V1.2.3.4>\r\n"
                        "<文件大小：300 字节>\r\n"
                        "<修改时间：T86400>\r\n"
                        "<CRC32值 ：>" +
                        oracle.crc32 + "\r\n" + "<SHA1值   ：>" + oracle.sha1 + "\r\n" +
                        "<MD5值     ：>" + oracle.md5 + "\r\n\r\n");
    // The path never reaches the conversion; CR LF never does either.
    for (const std::string& s : seen) {
        EXPECT_EQ(s.find("简体目录"), std::string::npos) << s;
        EXPECT_EQ(s.find('\r'), std::string::npos) << s;
    }
    // Same values as in the other languages.
    EXPECT_NE(plain.find("SHA1值   ：" + oracle.sha1 + "\r\n"), std::string::npos);
}

TEST(ReportBlock, VersionLineFromARealVersionRecord) {
    const std::filesystem::path dll = "/usr/lib/mono/4.5/mscorlib.dll";
    if (!std::filesystem::exists(dll)) {
        GTEST_SKIP() << dll << " is not installed";
    }
    // The expected version from an independent reader, Python's pefile.
    const std::string script = "import pefile,sys\n"
                               "pe=pefile.PE(sys.argv[1],fast_load=True)\n"
                               "pe.parse_data_directories(directories=["
                               "pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_RESOURCE']])\n"
                               "f=pe.VS_FIXEDFILEINFO[0]\n"
                               "print('%d.%d.%d.%d'%(f.FileVersionMS>>16,f.FileVersionMS&0xffff,"
                               "f.FileVersionLS>>16,f.FileVersionLS&0xffff))\n";
    FILE* pipe = ::popen(
        ("/usr/bin/python3 -c \"" + script + "\" " + dll.string() + " 2>/dev/null").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[64] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    if (::pclose(pipe) != 0 || !got) {
        GTEST_SKIP() << "python3-pefile is not available";
    }
    std::string version(line);
    version.erase(version.find_last_not_of("\r\n") + 1);

    ReportServices services;
    services.fileVersion = [](const std::filesystem::path& p) {
        return formats::GetFileVersion(p);
    };
    ReportOptions options = OnlyMd5();
    options.ShowVersion = true;
    const FileFacts facts = GatherFileFacts(dll, options, services.fileVersion);
    const std::string text = FormatReportBlock("m", facts, options, services);
    EXPECT_EQ(text.substr(0, text.find("MD5")), "文件名称：m\r\n文件版本：V" + version + "\r\n");

    // A file without a version record: no version line at all.
    ScratchDir dir;
    WriteFile(dir / "plain.txt", std::string("no version here"));
    const std::string none = FormatReportBlock(
        "p", GatherFileFacts(dir / "plain.txt", options, services.fileVersion), options, services);
    EXPECT_EQ(none.find("文件版本"), std::string::npos);
}

// One pass, whether inline or split over two threads, gives exactly what the
// oracle and the three-pass functions give, at every buffer boundary.
TEST(FileFacts, OnePassMatchesOracleAndSeparateFunctionsAtBoundaries) {
    ScratchDir dir;
    const std::size_t kMiB = 1u << 20;
    const std::size_t sizes[] = {1,
                                 8191,
                                 8192,
                                 32769,
                                 (256u << 10) - 1,
                                 256u << 10,
                                 (256u << 10) + 1,
                                 FactsGatherer::kSplitThreshold - 1,
                                 FactsGatherer::kSplitThreshold,
                                 FactsGatherer::kSplitThreshold + 1,
                                 9 * kMiB + 7};
    FactsGatherer split(true);
    FactsGatherer inlineOnly(false);
    for (const std::size_t size : sizes) {
        SCOPED_TRACE(size);
        const auto path = dir / ("f" + std::to_string(size));
        WriteFile(path, PseudoRandomBytes(size, static_cast<std::uint32_t>(size)));
        const auto oracle = OracleDigestsOf(path);
        for (FactsGatherer* gatherer : {&split, &inlineOnly}) {
            const FileFacts facts = gatherer->Gather(path, AllOn());
            ASSERT_TRUE(facts.readOk) << facts.failure;
            EXPECT_EQ(facts.size, size);
            EXPECT_EQ(test::Hex8(facts.crc32), oracle.crc32);
            EXPECT_EQ(facts.sha1, oracle.sha1);
            EXPECT_EQ(facts.md5, oracle.md5);
        }
        EXPECT_EQ(GetFileCrc32Text(path), oracle.crc32);
        EXPECT_EQ(GetFileDigest(path, CALG_SHA1), oracle.sha1);
        EXPECT_EQ(GetFileDigest(path, CALG_MD5), oracle.md5);
    }
}

TEST(FileFacts, DigestsNotAskedForAreNotComputed) {
    ScratchDir dir;
    const auto path = dir / "big";
    WriteFile(path, PseudoRandomBytes(FactsGatherer::kSplitThreshold + 5, 11));
    const auto oracle = OracleDigestsOf(path);
    ReportOptions options = OnlyMd5();
    options.ShowCRC32 = true; // CRC-32 and MD5, no SHA-1: still split
    const FileFacts facts = FactsGatherer().Gather(path, options);
    EXPECT_TRUE(facts.sha1.empty());
    EXPECT_EQ(test::Hex8(facts.crc32), oracle.crc32);
    EXPECT_EQ(facts.md5, oracle.md5);
    const FileFacts md5Only = FactsGatherer().Gather(path, OnlyMd5());
    EXPECT_EQ(md5Only.crc32, 0u);
    EXPECT_EQ(md5Only.md5, oracle.md5);
}

TEST(FileFacts, CancelStopsTheReadAndGivesNoDigests) {
    ScratchDir dir;
    const auto path = dir / "big";
    WriteFile(path, PseudoRandomBytes(FactsGatherer::kSplitThreshold * 2, 5));
    std::atomic<bool> cancel{true};
    for (const bool threads : {true, false}) {
        const FileFacts facts = FactsGatherer(threads).Gather(path, AllOn(), {}, &cancel);
        EXPECT_FALSE(facts.readOk);
        EXPECT_EQ(facts.failure, "cancelled");
        EXPECT_TRUE(facts.md5.empty());
        EXPECT_EQ(facts.size, FactsGatherer::kSplitThreshold * 2);
    }
}

TEST(FileFacts, FiveGibFileShowsItsTrueSize) {
    ScratchDir dir;
    const auto path = dir / "sparse";
    const std::uint64_t size = 5ull << 30;
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        const bool sized = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
        ::close(fd);
        if (!sized) {
            GTEST_SKIP() << "this file system cannot hold a sparse 5 GiB file";
        }
    }
    // Only the directory entry is wanted here: the read is cancelled before
    // it starts, so the test stays quick.
    std::atomic<bool> cancel{true};
    ReportOptions options = OnlyMd5();
    options.ShowSize = true;
    const FileFacts facts = FactsGatherer().Gather(path, options, {}, &cancel);
    EXPECT_EQ(FormatReportBlock("s", facts, options, {}),
              "文件名称：s\r\n文件大小：5368709120 字节\r\nMD5值     ：\r\n\r\n");
    EXPECT_EQ(facts.size, size);
}

TEST(DisplayText, NameLineUsesTheVisibleEscape) {
    EXPECT_EQ(DisplayText("/data/简体/a b.txt"), "/data/简体/a b.txt");
    // A name cannot forge report lines with its own CR LF.
    EXPECT_EQ(DisplayText("x\r\nMD5"), "x\\r\\nMD5");
    const FileFacts facts;
    ReportOptions options;
    options.ShowSHA1 = false;
    EXPECT_EQ(FormatReportBlock("a\nb\xFF", facts, options, {}),
              "文件名称：a\\nb\\377\r\nMD5值     ：\r\n\r\n");
}

} // namespace
} // namespace varnel
