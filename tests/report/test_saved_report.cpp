// Saved reports read back: blocks line by line in every label form (damaged
// ones kept, so their files are named), the legacy encodings, the writer's
// blocks read with the one label table in both forms, and each line's value
// read as what it stands for.

#include "i18n/big5.h"
#include "report/facts_digests.h"
#include "report/report.h"
#include "report/saved_report.h"
#include "report/stream_facts.h"
#include "tests/gb2big5/charset_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace varnel {
namespace {

// A report read whole, as the checksum-list reader reads one: lines end at
// LF, a CR before it is dropped, each line is decoded on its own.
struct ReadBack {
    std::vector<SavedBlock> blocks;
    std::size_t firstBadLine = 0;
};

ReadBack Read(std::string_view text) {
    ReportLineDecoder decoder;
    ReportBlockReader reader;
    ReadBack read;
    std::size_t number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        ReportBlockReader::Step step = reader.Feed(decoder.Decode(line), ++number);
        if (step.block) {
            read.blocks.push_back(std::move(*step.block));
        }
        if (step.badLine != 0 && read.firstBadLine == 0) {
            read.firstBadLine = step.badLine;
        }
    }
    if (std::optional<SavedBlock> block = reader.Finish()) {
        read.blocks.push_back(std::move(*block));
    }
    return read;
}

TEST(SavedReport, BlocksInEveryLabelForm) {
    using namespace std::string_literals;
    const std::string md5 = "900150983CD24FB0D6963F7D28E17F72";
    struct Case {
        std::string_view what;
        std::string text;
        std::size_t blocks;
        std::size_t damaged; // blocks begun but not read whole
        std::size_t firstBadLine;
    };
    const std::string plain = "文件名称：/d/a.txt\r\n文件版本：V1.2.3.4\r\n文件大小：3 字节\r\n"
                              "修改时间：2026/3/5 14:07:09\r\nCRC32值 ：352441C2\r\n"
                              "SHA1值   ：A9993E364706816ABA3E25717850C26C9CD0D89D\r\n"
                              "MD5值     ：" +
                              md5 + "\r\n\r\n";
    const std::string converted = "文件名稱：/d/b.txt\r\n文件大小：3 字節\r\n"
                                  "修改時間：2026/3/5 下午2:07:09\r\nMD5值     ：" +
                                  md5 + "\r\n\r\n";
    const std::string xxh128 = "99AA06D3014798D86001C324468D497F";
    const std::string later = "XXH3值   ：2d06800538d394c2\r\nXXH128值 ：" + xxh128 + "\r\n";
    const Case cases[] = {
        {"plain labels, every line", plain, 1, 0, 0},
        {"converted labels", converted, 1, 0, 0},
        {"two blocks, LF line ends, no last empty line",
         "文件名称：a\nMD5值     ：" + md5 + "\n\n文件名称：b\nMD5值     ：" + md5, 2, 0, 0},
        {"a line out of order",
         "文件名称：a\r\nMD5值     ：" + md5 + "\r\n文件大小：3 字节\r\n\r\n" + converted, 2, 1, 0},
        {"a block without its MD5 line", "文件名称：a\r\n文件大小：3 字节\r\n\r\n" + plain, 2, 1,
         0},
        {"a stray line after a block", plain + "hello\r\n\r\n" + converted, 2, 0, 9},
        {"a stray line inside a block",
         "文件名称：a\r\nhello\r\nMD5值     ：" + md5 + "\r\n\r\n" + converted, 2, 1, 0},
        {"a junk line right before a block", "notes\r\n" + plain + converted, 2, 0, 1},
        {"a name line starts a block even without an empty line",
         "文件名称：a\r\n文件名称：b\r\nMD5值     ：" + md5 + "\r\n", 2, 1, 0},
        {"a name with a broken escape", "文件名称：a\\q\r\nMD5值     ：" + md5 + "\r\n", 0, 0, 1},
        {"a name with a NUL", "文件名称：a\0b\r\nMD5值     ："s + md5 + "\r\n", 0, 0, 1},
        {"the later digests' lines after MD5", plain.substr(0, plain.size() - 2) + later + "\r\n",
         1, 0, 0},
        {"a later digest's line before MD5",
         "文件名称：a\r\nXXH3值   ：2D06800538D394C2\r\nMD5值     ：" + md5 + "\r\n\r\n", 1, 1, 0},
        {"the later digests' lines out of order",
         "文件名称：a\r\nMD5值     ：" + md5 + "\r\nXXH128值 ：" + xxh128 +
             "\r\nXXH3值   ：2D06800538D394C2\r\n\r\n",
         1, 1, 0},
    };
    for (const Case& c : cases) {
        const ReadBack read = Read(c.text);
        EXPECT_EQ(read.blocks.size(), c.blocks) << c.what;
        EXPECT_EQ(std::count_if(read.blocks.begin(), read.blocks.end(),
                                [](const SavedBlock& b) { return b.damaged; }),
                  static_cast<std::ptrdiff_t>(c.damaged))
            << c.what;
        EXPECT_EQ(read.firstBadLine, c.firstBadLine) << c.what;
    }

    const ReadBack both = Read(plain + converted);
    ASSERT_EQ(both.blocks.size(), 2u);
    const SavedBlock& a = both.blocks[0];
    EXPECT_FALSE(a.converted);
    EXPECT_EQ(a.version, "V1.2.3.4");
    EXPECT_EQ(a.size, "3 字节");
    EXPECT_EQ(a.time, "2026/3/5 14:07:09");
    EXPECT_EQ(a.crc32, "352441C2");
    EXPECT_EQ(a.md5, md5);
    EXPECT_FALSE(a.LaterDigest(DigestKind::Xxh3_64));
    const ReadBack withLater = Read(plain.substr(0, plain.size() - 2) + later + "\r\n");
    ASSERT_EQ(withLater.blocks.size(), 1u);
    EXPECT_EQ(withLater.blocks[0].LaterDigest(DigestKind::Xxh3_64), "2D06800538D394C2");
    EXPECT_EQ(withLater.blocks[0].LaterDigest(DigestKind::Xxh128), xxh128);
    EXPECT_FALSE(withLater.blocks[0].LaterDigest(DigestKind::Blake3));
    const SavedBlock& b = both.blocks[1];
    EXPECT_TRUE(b.converted);
    EXPECT_EQ(b.name, "/d/b.txt");
    EXPECT_EQ(b.size, "3 字節");
    EXPECT_FALSE(b.version);
    EXPECT_FALSE(b.sha1);
    EXPECT_EQ(b.line, 9u);
}

TEST(SavedReport, ReportsSavedInTheLegacyEncodings) {
    const std::string md5 = "MD5值     ：900150983CD24FB0D6963F7D28E17F72\r\n\r\n";
    struct Case {
        std::string utf8;
        const char* charset;
        bool converted;
    };
    const Case cases[] = {
        {"文件名稱：資料.txt\r\n文件大小：3 字節\r\n" + md5, "BIG5", true},
        {"\r\n文件名称：资料.txt\r\n文件大小：3 字节\r\n" + md5, "GB18030", false},
    };
    for (const Case& c : cases) {
        const auto bytes = test::Recode(c.utf8, "UTF-8", c.charset);
        ASSERT_TRUE(bytes) << c.charset;
        const ReadBack read = Read(*bytes);
        ASSERT_EQ(read.blocks.size(), 1u) << c.charset;
        EXPECT_EQ(read.blocks[0].converted, c.converted);
        EXPECT_EQ(read.blocks[0].name, c.converted ? "資料.txt" : "资料.txt");
        EXPECT_EQ(read.blocks[0].size, c.converted ? "3 字節" : "3 字节");
    }
}

// The writer writes the Simplified labels and the Traditional mode converts
// its text through the conversion library: the table's Traditional column
// must be what the library makes, or converted reports would not read back.
class WrittenBlocks : public ::testing::Test {
protected:
    void SetUp() override {
        detail::SetConversionLibraryPathForTesting(std::filesystem::path(VARNEL_GB2BIG5_LIBRARY));
    }
    void TearDown() override { detail::SetConversionLibraryPathForTesting(std::nullopt); }
};

TEST_F(WrittenBlocks, TheTraditionalFormsAreWhatTheConversionMakes) {
    for (const ReportLabel& label : kReportLabels) {
        EXPECT_EQ(ConvertToBig5(label.text.simplified), label.text.traditional)
            << label.text.simplified;
    }
    EXPECT_EQ(ConvertToBig5(kSizeUnit.simplified), kSizeUnit.traditional);
    EXPECT_EQ(ConvertToBig5(kVersionMark), kVersionMark);
}

TEST_F(WrittenBlocks, ReadBackInBothFormsLineForLine) {
    // The digests of "abc", the later kinds among them.
    DigestSelection digests{true, true, true};
    for (const ReportDigestLine& line : kReportDigestLines) {
        digests.*(DigestKindOf(line.kind).selected) = true;
    }
    std::size_t given = 0;
    FileFacts facts = GatherStreamFacts(
        [&given](std::span<char> dest) {
            const std::size_t n = std::min<std::size_t>(dest.size(), 3 - given);
            std::memcpy(dest.data(), "abc" + given, n);
            given += n;
            return n;
        },
        digests);
    ASSERT_TRUE(facts.readOk);
    facts.modified = std::chrono::sys_seconds(std::chrono::seconds(1709647629));
    facts.version = "1.2.3.4";
    ReportOptions all;
    all.ShowCRC32 = all.ShowVersion = true;
    all.ShowDigests = digests;
    for (const bool converted : {false, true}) {
        SCOPED_TRACE(converted ? "converted" : "plain");
        ReportServices services;
        services.formatTime = [](std::chrono::sys_seconds) {
            return std::string("2024/3/5 下午2:07:09");
        };
        if (converted) {
            services.convert = [](std::string_view text) { return ConvertToBig5(text); };
        }
        const std::string name = "/数据/a\tb.txt";
        const ReadBack read = Read(FormatReportBlock(name, facts, all, services) +
                                   FormatReportBlock("x", facts, ReportOptions(), services));
        ASSERT_EQ(read.blocks.size(), 2u);
        EXPECT_EQ(read.firstBadLine, 0u);
        const SavedBlock& block = read.blocks[0];
        EXPECT_FALSE(block.damaged);
        EXPECT_EQ(block.converted, converted);
        EXPECT_EQ(block.name, name);
        EXPECT_EQ(block.version, "V1.2.3.4");
        ASSERT_TRUE(block.version);
        EXPECT_TRUE(SavedVersionMatches(*block.version, facts.version));
        ASSERT_TRUE(block.size);
        EXPECT_EQ(ReadSavedSize(*block.size, converted), facts.size);
        EXPECT_EQ(block.time, "2024/3/5 下午2:07:09"); // the same in both scripts
        EXPECT_EQ(block.crc32, "352441C2");
        EXPECT_EQ(block.sha1, facts.sha1);
        EXPECT_EQ(block.md5, facts.md5);
        for (const ReportDigestLine& line : kReportDigestLines) {
            ASSERT_TRUE(block.LaterDigest(line.kind)) << DigestKindOf(line.kind).name;
            EXPECT_EQ(*block.LaterDigest(line.kind), FactsDigest(facts, line.kind));
            EXPECT_EQ(block.LaterDigest(line.kind)->size(), DigestKindOf(line.kind).hexLength);
            EXPECT_FALSE(read.blocks[1].LaterDigest(line.kind));
        }
        const SavedBlock& plainOptions = read.blocks[1];
        EXPECT_FALSE(plainOptions.version);
        EXPECT_FALSE(plainOptions.crc32);
        EXPECT_TRUE(plainOptions.size && plainOptions.time && plainOptions.sha1);
    }
}

TEST(SavedReport, VersionAndSizeValues) {
    const struct {
        std::string_view value;
        std::string_view version;
        bool same;
    } versions[] = {
        {"V1.2.3.4", "1.2.3.4", true},
        {"V1.2.3.4", "1.2.3.5", false},
        {"1.2.3.4", "1.2.3.4", false},
        {"v1.2.3.4", "1.2.3.4", false},
        {"V", "", false},
        {"V1.2.3.4 ", "1.2.3.4", false},
    };
    for (const auto& c : versions) {
        EXPECT_EQ(SavedVersionMatches(c.value, c.version), c.same) << c.value;
    }
    const struct {
        std::string_view value;
        bool converted;
        std::optional<std::uint64_t> size;
    } sizes[] = {
        {"3 字节", false, 3},
        {"0 字节", false, 0},
        {"3 字節", true, 3},
        {"3 字節", false, std::nullopt}, // the unit of the other form
        {"3 字节", true, std::nullopt},
        {"18446744073709551615 字节", false, 18446744073709551615u},
        {"18446744073709551616 字节", false, std::nullopt}, // beyond 64 bits
        {"03 字节", false, std::nullopt},                   // never written so
        {"+3 字节", false, std::nullopt},
        {"3字节", false, std::nullopt},
        {" 字节", false, std::nullopt},
        {"3 bytes", false, std::nullopt},
        {"3 字节 ", false, std::nullopt},
    };
    for (const auto& c : sizes) {
        EXPECT_EQ(ReadSavedSize(c.value, c.converted), c.size) << c.value;
    }
}

// A saved time against the file's local time, in the forms locales write
// (the writer's short date and long time): the checking machine's own text,
// the same instant in another locale's form, or seen from another zone.
TEST(SavedReport, TimeValuesOfEveryLocaleAndZone) {
    using enum SavedTimeAgreement;
    // 2026-12-09 17:44:48, which this machine (en_US) writes so.
    const LocalTime evening{2026, 12, 9, 17, 44, 48, "12/9/26 5:44:48 PM"};
    const LocalTime midnight{2024, 3, 5, 0, 0, 0, "3/5/24"};
    // 2026-02-01 03:04:05; read by numbers, 1/2/26 is either date.
    const LocalTime february{2026, 2, 1, 3, 4, 5, "1 Feb 2026 03:04:05"};
    const struct {
        const LocalTime& time;
        std::string_view value;
        SavedTimeAgreement agreement;
    } cases[] = {
        {evening, "12/9/26 5:44:48 PM", Same},         // en_US, the own text
        {evening, "9 Dec 2026 17:44:48", Same},        // C
        {evening, "09.12.26 17:44:48", Same},          // de_DE
        {evening, "09/12/2026 17:44:48", Same},        // en_GB
        {evening, "2026/12/9 17:44:48", Same},         // zh_CN
        {evening, "2026/12/9 下午5:44:48", Same},      // zh_TW
        {evening, "2026/12/09 17:44:48", Same},        // ja_JP
        {evening, "2026. 12. 9. 오후 5:44:48", Same},  // ko_KR
        {evening, "2026-12-09 17:44:48", Same},        // sv_SE
        {evening, "2026年12月9日 17:44:48", Same},     // a CJK long form
        {evening, "9. Dez. 2026 17:44:48", Same},      // German month word
        {evening, "9 déc. 2026 17:44:48", Same},       // French
        {evening, "9 дек. 2026 г. 17:44:48", Same},    // Russian
        {evening, "9/12/26, 5:44:48 p. m.", Same},     // es_MX
        {evening, "12/9/26 5:44:48 PM", Same},         // narrow blank
        {evening, "٩/١٢/٢٠٢٦ ٥:٤٤:٤٨ م", Same},        // Arabic digits
        {evening, "DEC 9 2026 17:44:48", Same},        // case of words
        {evening, "9 Dec 2026 09:44:48", OtherZone},   // written in UTC, read in +8
        {evening, "10 Dec 2026 01:44:48", OtherZone},  // the next day in -8
        {evening, "9 Dec 2026 12:14:48", OtherZone},   // India, +5:30
        {evening, "9 Dec 2026 5:44:48 AM", OtherZone}, // twelve hours
        {evening, "9 Dec 2026 17:44:49", Differs},     // a second later
        {evening, "9 Dec 2026 17:45:48", Differs},     // a minute
        {evening, "9 Dec 2026 02:44:48", Differs},     // fifteen hours
        {evening, "8 Dec 2026 17:44:48", Differs},     // a day
        {evening, "9 Dec 1926 17:44:48", Differs},     // a century
        {evening, "9 Nov 2026 17:44:48", Differs},     // a month
        {evening, "12/9/27 5:44:48 PM", Differs},      // a year, two digits
        {evening, "2026/12/9", Differs},               // the date alone: midnight
        {evening, "", Unreadable},
        {evening, "yesterday", Unreadable},
        {evening, "2026/12/9 17:44:48 1", Unreadable},    // a number too many
        {evening, "2026/12/9 17:007:48", Unreadable},     // a minute of three digits
        {evening, "2026/13/32 17:44:48", Unreadable},     // no such date in any order
        {evening, "9 Dec Nov 2026 17:44:48", Unreadable}, // two months
        {evening, "9 Dec 2026 25:44:48", Unreadable},
        {evening, "12/9/6 5:44:48 PM", Differs}, // only 2012-09-06 (a year of one digit is none)
        {midnight, "3/5/24", Same},
        {midnight, "2024/3/5", Same},
        {midnight, "05.03.24", Same},
        {midnight, "2024/3/5 0:00:00", Same},
        {midnight, "2024/3/4 16:00:00", OtherZone},
        {midnight, "2024/3/6", Differs},
        {february, "1/2/26 3:04:05 AM", Same}, // day first
        {february, "2/1/26 3:04:05 AM", Same}, // month first
        {february, "2026/2/1 上午3:04:05", Same},
        {february, "2026/1/2 3:04:05", Differs}, // year first is never swapped
        {february, "2/1/2126 3:04:05 AM", Differs},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareSavedTime(c.value, c.time), c.agreement) << c.value;
        EXPECT_EQ(SavedTimeMatches(c.value, c.time),
                  c.agreement == Same || c.agreement == OtherZone)
            << c.value;
    }
}

} // namespace
} // namespace varnel
