// Checksum list lines: the escape of names, telling formats apart, and the
// reading of saved reports line by line.

#include "cli/checksum_list.h"
#include "tests/gb2big5/charset_util.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

constexpr std::string_view kMd5Abc = "900150983cd24fb0d6963f7d28e17f72"; // md5sum of "abc"
constexpr std::string_view kSha1Abc = "a9993e364706816aba3e25717850c26c9cd0d89d";

TEST(ListNameEscape, RoundTripsNamesTheToolsEscape) {
    struct Case {
        std::string name;
        bool escaped;
        std::string written;
    };
    const Case cases[] = {
        {"plain.txt", false, "plain.txt"},
        {"with space", false, "with space"},
        {"back\\slash", true, "back\\\\slash"},
        {"new\nline", true, "new\\nline"},
        {"car\rriage", true, "car\\rriage"},
        {"\\n", true, "\\\\n"}, // a backslash and an n, not a line feed
        {"tab\there", false, "tab\there"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NeedsListEscape(c.name), c.escaped) << c.written;
        EXPECT_EQ(EscapeListName(c.name), c.written);
        EXPECT_EQ(UnescapeListName(c.written), c.name) << c.written;
    }
    for (const std::string_view bad : {"a\\", "a\\t", "\\x41"}) {
        EXPECT_FALSE(UnescapeListName(bad)) << bad;
    }
}

TEST(ChecksumList, LinesOfEachFormat) {
    const std::string md5(kMd5Abc);
    const std::string sha1(kSha1Abc);
    struct Case {
        std::string_view what;
        std::string text;
        std::optional<ListFormat> named;
        ListFormat format;
        std::vector<std::string> names;
        std::size_t badLines;
        std::size_t firstBadLine;
    };
    const Case cases[] = {
        {"md5sum text and binary marks, CR LF",
         md5 + "  a b\r\n" + md5 + " *c\r\n",
         {},
         ListFormat::Md5sum,
         {"a b", "c"},
         0,
         0},
        {"escaped names and a comment",
         "# made by hand\n\\" + md5 + "  x\\ny\n\\" + md5 + "  back\\\\slash\n",
         {},
         ListFormat::Md5sum,
         {"x\ny", "back\\slash"},
         0,
         0},
        {"sha1sum by its length", sha1 + "  f\n", {}, ListFormat::Sha1sum, {"f"}, 0, 0},
        {"bsd lines, a name holding ') = '",
         "MD5 (a) = b) = " + md5 + "\nSHA1 (z) = " + sha1 + "\n",
         {},
         ListFormat::Bsd,
         {"a) = b", "z"},
         0,
         0},
        {"md5sum and bsd lines mixed, a bad one counted",
         md5 + "  a\nnonsense\nMD5 (b) = " + md5 + "\n",
         {},
         ListFormat::Md5sum,
         {"a", "b"},
         1,
         2},
        {"sfv with comments and blanks in names",
         "; made by a tool\n;   3  12:00.00 2026-01-01 a b\na b 352441C2\nc d e 352441c2\n",
         {},
         ListFormat::Sfv,
         {"a b", "c d e"},
         0,
         0},
        {"a named format takes only its lines",
         md5 + "  a\n" + sha1 + "  b\n",
         ListFormat::Sha1sum,
         ListFormat::Sha1sum,
         {"b"},
         1,
         1},
        {"an md5sum-looking line read as sfv when named",
         md5 + "  abcdef12\n",
         ListFormat::Sfv,
         ListFormat::Sfv,
         {md5 + " "},
         0,
         0},
        {"wrong digest lengths and empty names",
         md5.substr(1) + "  a\n" + md5 + "  \nMD5 (x) = " + sha1 + "\n" + md5 + "  ok\n",
         {},
         ListFormat::Md5sum,
         {"ok"},
         3,
         1},
    };
    for (const Case& c : cases) {
        const ParsedList list = ParseChecksumList(c.text, c.named);
        EXPECT_EQ(list.format, c.format) << c.what;
        std::vector<std::string> names;
        for (const ListEntry& entry : list.entries) {
            names.push_back(entry.name);
        }
        EXPECT_EQ(names, c.names) << c.what;
        EXPECT_EQ(list.badLines, c.badLines) << c.what;
        EXPECT_EQ(list.firstBadLine, c.firstBadLine) << c.what;
    }
}

TEST(ChecksumList, ConsecutiveBsdLinesOfOneFileMakeOneEntry) {
    const std::string text = "MD5 (a) = " + std::string(kMd5Abc) +
                             "\nSHA1 (a) = " + std::string(kSha1Abc) +
                             "\nCRC32 (a) = 352441c2\nMD5 (b) = " + std::string(kMd5Abc) +
                             "\nMD5 (a) = " + std::string(kMd5Abc) + "\n";
    const ParsedList list = ParseChecksumList(text, std::nullopt);
    ASSERT_EQ(list.entries.size(), 3u);
    const ListEntry& a = list.entries[0];
    EXPECT_EQ(a.md5, "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(a.sha1, "A9993E364706816ABA3E25717850C26C9CD0D89D");
    EXPECT_EQ(a.crc32, "352441C2");
    EXPECT_EQ(list.entries[1].name, "b");
    // The same name again after another is an entry of its own.
    EXPECT_EQ(list.entries[2].name, "a");
    EXPECT_EQ(list.entries[2].line, 5u);
}

// A list read a few lines at a time gives what it gives read whole, and every
// entry is complete when its piece ends (bsd lines of one file, report blocks).
TEST(ChecksumList, ReadingInPiecesGivesWhatReadingWholeGives) {
    const std::string md5(kMd5Abc);
    const std::string sha1(kSha1Abc);
    const std::string md5Upper = "900150983CD24FB0D6963F7D28E17F72";
    const std::string texts[] = {
        md5 + "  a\nnonsense\n\\" + md5 + "  b\\nc\n# note\n\n" + md5 + " *d\n",
        "MD5 (a) = " + md5 + "\nSHA1 (a) = " + sha1 + "\nCRC32 (a) = 352441c2\nMD5 (b) = " + md5 +
            "\nSHA1 (b) = " + sha1 + "\nMD5 (a) = " + md5 + "\n",
        "文件名称：a\r\nSHA1值   ：" + sha1 + "\r\nMD5值     ：" + md5Upper +
            "\r\n\r\n\r\n文件名称：bad\r\n文件大小：1\r\n\r\n文件名称：c\r\nMD5值     ：" +
            md5Upper + "\r\n",
        "; sfv\na 352441C2\nb c 352441c2\n",
        "not\na list\n",
    };
    const auto same = [](const ListEntry& a, const ListEntry& b) {
        return a.name == b.name && a.shown == b.shown && a.line == b.line && a.md5 == b.md5 &&
               a.sha1 == b.sha1 && a.crc32 == b.crc32 && a.size == b.size;
    };
    for (const std::string& text : texts) {
        const ParsedList whole = ParseChecksumList(text, std::nullopt);
        for (const std::size_t piece : {1u, 2u, 3u}) {
            SCOPED_TRACE(text + " in pieces of " + std::to_string(piece));
            ChecksumListReader reader(text, std::nullopt);
            ParsedList list;
            bool more = true;
            while (more) {
                more = reader.ReadSome(list, piece);
                if (!list.entries.empty()) {
                    ASSERT_LE(list.entries.size(), whole.entries.size());
                    EXPECT_TRUE(same(list.entries.back(), whole.entries[list.entries.size() - 1]));
                }
            }
            ASSERT_EQ(list.entries.size(), whole.entries.size());
            EXPECT_EQ(list.format, whole.format);
            EXPECT_EQ(list.badLines, whole.badLines);
            EXPECT_EQ(list.firstBadLine, whole.firstBadLine);
        }
    }
}

TEST(ChecksumList, ShownNamesUseTheListsOwnEscape) {
    const std::string md5(kMd5Abc);
    const ParsedList sums = ParseChecksumList("\\" + md5 + "  a\\nb\n", std::nullopt);
    ASSERT_EQ(sums.entries.size(), 1u);
    EXPECT_EQ(sums.entries[0].shown, "\\a\\nb");
    const ParsedList report =
        ParseChecksumList("文件名称：x\\ty\\\\z\r\nMD5值     ：" + md5 + "\r\n\r\n", std::nullopt);
    ASSERT_EQ(report.entries.size(), 1u);
    EXPECT_EQ(report.entries[0].name, "x\ty\\z");
    EXPECT_EQ(report.entries[0].shown, "x\\ty\\\\z");
}

TEST(ChecksumList, ReportBlocksInEveryLabelForm) {
    const std::string md5 = "900150983CD24FB0D6963F7D28E17F72";
    struct Case {
        std::string_view what;
        std::string text;
        std::size_t entries;
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
    const Case cases[] = {
        {"plain labels, every line", plain, 1, 0},
        {"converted labels", converted, 1, 0},
        {"two blocks, LF line ends, no last empty line",
         "文件名称：a\nMD5值     ：" + md5 + "\n\n文件名称：b\nMD5值     ：" + md5, 2, 0},
        {"a line out of order",
         "文件名称：a\r\nMD5值     ：" + md5 + "\r\n文件大小：3 字节\r\n\r\n" + converted, 1, 3},
        {"a block without its MD5 line", "文件名称：a\r\n文件大小：3 字节\r\n\r\n" + plain, 1, 2},
        {"a stray line", plain + "hello\r\n\r\n" + converted, 2, 9},
        {"a name with a broken escape", "文件名称：a\\q\r\nMD5值     ：" + md5 + "\r\n", 0, 1},
    };
    for (const Case& c : cases) {
        const ParsedList list = ParseChecksumList(c.text, std::nullopt);
        EXPECT_EQ(list.format, ListFormat::Report) << c.what;
        EXPECT_EQ(list.entries.size(), c.entries) << c.what;
        EXPECT_EQ(list.firstBadLine, c.firstBadLine) << c.what;
    }

    const ParsedList both = ParseChecksumList(plain + converted, std::nullopt);
    ASSERT_EQ(both.entries.size(), 2u);
    const ListEntry& a = both.entries[0];
    EXPECT_FALSE(a.converted);
    EXPECT_EQ(a.version, "V1.2.3.4");
    EXPECT_EQ(a.size, "3 字节");
    EXPECT_EQ(a.time, "2026/3/5 14:07:09");
    EXPECT_EQ(a.crc32, "352441C2");
    EXPECT_EQ(a.md5, md5);
    const ListEntry& b = both.entries[1];
    EXPECT_TRUE(b.converted);
    EXPECT_EQ(b.name, "/d/b.txt");
    EXPECT_EQ(b.size, "3 字節");
    EXPECT_FALSE(b.version);
    EXPECT_FALSE(b.sha1);
    EXPECT_EQ(b.line, 9u);
}

TEST(ChecksumList, ReportsSavedInTheLegacyEncodings) {
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
        const ParsedList list = ParseChecksumList(*bytes, std::nullopt);
        ASSERT_EQ(list.entries.size(), 1u) << c.charset;
        EXPECT_EQ(list.entries[0].converted, c.converted);
        EXPECT_EQ(list.entries[0].name, c.converted ? "資料.txt" : "资料.txt");
        EXPECT_EQ(list.entries[0].size, c.converted ? "3 字節" : "3 字节");
    }
}

TEST(ChecksumList, NothingOfAKnownFormat) {
    struct Case {
        std::string text;
        std::size_t firstBadLine;
    };
    const Case cases[] = {
        {"", 0},
        {"# only a comment\n\n", 0},
        {"# a comment\n\nnot a checksum line\n", 3},
        {"\xEF\xBB\xBFhello world\r\n", 1},
    };
    for (const Case& c : cases) {
        const ParsedList list = ParseChecksumList(c.text, std::nullopt);
        EXPECT_TRUE(list.entries.empty()) << c.text;
        EXPECT_EQ(list.firstBadLine, c.firstBadLine) << c.text;
    }
}

TEST(ChecksumList, WrittenLinesReadBack) {
    FileFacts facts;
    facts.md5 = "900150983CD24FB0D6963F7D28E17F72";
    facts.sha1 = "A9993E364706816ABA3E25717850C26C9CD0D89D";
    facts.crc32 = 0x352441C2;
    ReportOptions options;
    options.ShowCRC32 = true;
    for (const ListFormat format :
         {ListFormat::Md5sum, ListFormat::Sha1sum, ListFormat::Bsd, ListFormat::Sfv}) {
        for (const std::string name : {"a b", "x\\y\nz", ";semi", "ab 12345678"}) {
            std::string text;
            const bool written = AppendListLines(text, format, name, facts, options);
            const bool sfvCannot = format == ListFormat::Sfv &&
                                   (name.find('\n') != std::string::npos || name.starts_with(';'));
            EXPECT_EQ(written, !sfvCannot) << name;
            if (!written) {
                EXPECT_TRUE(text.empty());
                continue;
            }
            const ParsedList list = ParseChecksumList(text, format);
            ASSERT_EQ(list.entries.size(), 1u) << text;
            const ListEntry& entry = list.entries[0];
            EXPECT_EQ(entry.name, name);
            EXPECT_EQ(entry.md5.has_value(),
                      format == ListFormat::Md5sum || format == ListFormat::Bsd);
            EXPECT_EQ(entry.sha1.has_value(),
                      format == ListFormat::Sha1sum || format == ListFormat::Bsd);
            EXPECT_EQ(entry.crc32.has_value(),
                      format == ListFormat::Sfv || format == ListFormat::Bsd);
            EXPECT_EQ(entry.crc32.value_or("352441C2"), "352441C2");
            EXPECT_EQ(entry.md5.value_or(facts.md5), facts.md5);
        }
    }
}

} // namespace
} // namespace varnel
