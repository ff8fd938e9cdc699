// Checksum list lines: the escape of names, telling formats apart, and the
// entries that lines and saved reports' blocks become.

#include "lists/checksum_list.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace varnel {
namespace {

constexpr std::string_view kMd5Abc = "900150983cd24fb0d6963f7d28e17f72"; // md5sum of "abc"
constexpr std::string_view kSha1Abc = "a9993e364706816aba3e25717850c26c9cd0d89d";

// A source that gives text at most piece bytes at a time, as a pipe may.
ChecksumListReader::Source InPieces(std::string_view text, std::size_t piece) {
    return [text, piece](std::span<char> dest) mutable {
        const std::size_t n = std::min({dest.size(), text.size(), piece});
        std::copy_n(text.begin(), n, dest.begin());
        text.remove_prefix(n);
        return n;
    };
}

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
    using namespace std::string_literals;
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
        {"wrong digest lengths and an empty name",
         md5.substr(1) + "  a\n" + md5 + " \nMD5 (x) = " + sha1 + "\n" + md5 + "  ok\n",
         {},
         ListFormat::Md5sum,
         {"ok"},
         3,
         1},
        // As md5sum decides: the first line takes the single-space form (a
        // name of one blank), so later names keep their leading blank.
        {"the single-space form, decided by the first line",
         md5 + "  \n" + md5 + "  ok\n" + md5 + "\tx\n",
         {},
         ListFormat::Md5sum,
         {" ", " ok", "x"},
         0,
         0},
        {"the marked form refuses later single-space lines",
         "  " + md5 + "\t*a\n" + md5 + " b\n" + md5 + "  c\n",
         {},
         ListFormat::Md5sum,
         {"a", "c"},
         1,
         2},
        {"padded tags, the other bsd form, SHA-256 by length",
         "MD5   (a) = " + md5 + "\nSHA1  (a) = " + sha1 + "\nMD5(b)= " + md5 +
             "\nSHA2-256(c)= " + std::string(64, 'a') + "\n" + std::string(64, 'b') + "  d\n",
         {},
         ListFormat::Bsd,
         {"a", "b", "c", "d"},
         0,
         0},
        {"CRC-32 first, as rhash --simple writes it, either case",
         "3610a686  a b\n3610A686 *c\n",
         {},
         ListFormat::Crc32sum,
         {"a b", "c"},
         0,
         0},
        {"CRC-32 first, a name that ends like an SFV line",
         "3610a686  ab 12345678\n",
         {},
         ListFormat::Crc32sum,
         {"ab 12345678"},
         0,
         0},
        {"an SFV line that reads CRC-32 first too stays SFV",
         "abcdef01 x 3610A686\n3610a686 y 3610A686\n",
         {},
         ListFormat::Sfv,
         {"abcdef01 x", "3610a686 y"},
         0,
         0},
        {"a CRC-32 line in a list told md5sum, nine digits none",
         md5 + "  a\n3610a686  b\n3610a6861  c\n",
         {},
         ListFormat::Md5sum,
         {"a", "b"},
         1,
         3},
        {"a named format takes no CRC-32 line",
         md5 + "  a\n3610a686  b\n",
         ListFormat::Md5sum,
         ListFormat::Md5sum,
         {"a"},
         1,
         2},
        {"a line too long for any name, and the line after it",
         std::string(ChecksumListReader::kMaxLineBytes + 10, 'a') + "\n" + md5 + "  z\n",
         {},
         ListFormat::Md5sum,
         {"z"},
         1,
         1},
        {"a NUL inside a name names no file",
         md5 + "  a\0junk\nMD5 (b\0c) = "s + md5 + "\n" + md5 + "  e\n",
         {},
         ListFormat::Md5sum,
         {"e"},
         2,
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
    EXPECT_EQ(a.Expected(DigestKind::Md5), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(a.Expected(DigestKind::Sha1), "A9993E364706816ABA3E25717850C26C9CD0D89D");
    EXPECT_EQ(a.Expected(DigestKind::Crc32), "352441C2");
    EXPECT_EQ(list.entries[1].name, "b");
    // The same name again after another is an entry of its own.
    EXPECT_EQ(list.entries[2].name, "a");
    EXPECT_EQ(list.entries[2].line, 5u);
}

// A list that arrives a few bytes at a time (a pipe) reads as it reads
// whole, and every entry is complete when it is given (bsd lines of one
// file, report blocks).
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
        "352441c2  a\n352441C2 *b c\n",
        // A line too long for any name, skipped without being held, its end
        // in the piece after the one that made it too long, and the line
        // after it.
        std::string(ChecksumListReader::kMaxLineBytes + 1, 'a') + "\n" + md5 + "  z\n",
        // A line of the right form but too long, whatever piece holds its end.
        md5 + "  " + std::string(ChecksumListReader::kMaxLineBytes, 'n') + "\n" + md5 + "  z\n",
        "文件名称：x 352441C2\r\nMD5值     ：" + md5Upper + "\r\n",
        "not\na list\n",
    };
    const auto same = [](const ListEntry& a, const ListEntry& b) {
        return a.name == b.name && a.shown == b.shown && a.line == b.line &&
               a.expected == b.expected && a.size == b.size && a.damaged == b.damaged;
    };
    for (const std::string& text : texts) {
        const ParsedList whole = ParseChecksumList(text, std::nullopt);
        for (const std::size_t piece : {1u, 2u, 3u, 7u, 1u << 21}) {
            SCOPED_TRACE(text.substr(0, 80) + " in pieces of " + std::to_string(piece));
            ChecksumListReader reader(InPieces(text, piece), std::nullopt);
            std::size_t count = 0;
            while (const std::optional<ListEntry> entry = reader.Next()) {
                ASSERT_LT(count, whole.entries.size());
                EXPECT_TRUE(same(*entry, whole.entries[count]));
                ++count;
            }
            EXPECT_EQ(count, whole.entries.size());
            EXPECT_EQ(reader.format().value_or(ListFormat::Md5sum), whole.format);
            EXPECT_EQ(reader.badLines(), whole.badLines);
            EXPECT_EQ(reader.firstBadLine(), whole.firstBadLine);
        }
    }
}

// Skip passes over the entries that Next would give, after any number read
// by Next, in steps of any size and in pieces of any size. A list of one
// entry a line counts a bad line once its format is told (and never an
// overlong one); lists whose entries span lines are counted exactly.
TEST(ChecksumList, SkipCountsWhatNextWouldGive) {
    const std::string md5(kMd5Abc);
    const std::string sha1(kSha1Abc);
    const std::string md5Upper = "900150983CD24FB0D6963F7D28E17F72";
    struct Case {
        std::string text;
        std::size_t more; // counted beyond the entries: bad lines passed over
    };
    const Case cases[] = {
        {"\xEF\xBB\xBF# note\n" + md5 + "  a\r\n# note\n\n" + md5 + " *b\n\\" + md5 + "  c\\nd\n\n",
         0},
        {md5 + "  a\n" + md5 + "  b\n" + md5 + "  c\nnonsense\n", 1},
        {md5 + "  a\n" + md5 + "  b\n" + std::string(ChecksumListReader::kMaxLineBytes + 5, 'x') +
             "\n" + md5 + "  z",
         0},
        {"; sfv\na 352441C2\nb c 352441c2\n; end\nd 352441c2\n", 0},
        {"MD5 (a) = " + md5 + "\nSHA1 (a) = " + sha1 + "\nMD5 (b) = " + md5 +
             "\nSHA1 (b) = " + sha1 + "\nMD5 (a) = " + md5 + "\n",
         0},
        {"文件名称：a\r\nMD5值     ：" + md5Upper + "\r\n\r\n文件名称：bad\r\n文件大小：1\r\n\r\n" +
             "文件名称：c\r\nMD5值     ：" + md5Upper + "\r\n\r\n文件名称：d\r\n",
         0},
        {"not\na list\n", 0},
        {"", 0},
    };
    for (const Case& c : cases) {
        const std::size_t entries = ParseChecksumList(c.text, std::nullopt).entries.size();
        for (const std::size_t first : {0u, 1u}) {
            for (const std::size_t step : {1u, 3u, 1000u}) {
                for (const std::size_t piece : {5u, 1u << 20}) {
                    SCOPED_TRACE(c.text.substr(0, 60) + " | " + std::to_string(first) +
                                 " read, steps of " + std::to_string(step) + ", pieces of " +
                                 std::to_string(piece));
                    ChecksumListReader reader(InPieces(c.text, piece), std::nullopt);
                    std::size_t count = 0;
                    while (count < first && reader.Next()) {
                        ++count;
                    }
                    for (;;) {
                        const std::size_t passed = reader.Skip(step);
                        count += passed;
                        if (passed < step) {
                            break;
                        }
                    }
                    EXPECT_EQ(count, entries + c.more);
                    EXPECT_FALSE(reader.Next()) << "the list is passed to its end";
                    EXPECT_EQ(reader.Skip(step), 0u);
                }
            }
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

// Saved reports are read by report/saved_report.h (tests/report): here, how
// their blocks become the list's entries.
TEST(ChecksumList, ReportBlocksBecomeEntries) {
    const std::string md5 = "900150983CD24FB0D6963F7D28E17F72";
    const std::string plain = "文件名称：/d/a.txt\r\n文件版本：V1.2.3.4\r\n文件大小：3 字节\r\n"
                              "修改时间：2026/3/5 14:07:09\r\nCRC32值 ：352441c2\r\n"
                              "SHA1值   ：A9993E364706816ABA3E25717850C26C9CD0D89D\r\n"
                              "MD5值     ：" +
                              md5 + "\r\n\r\n";
    const std::string converted = "文件名稱：/d/b.txt\r\n文件大小：3 字節\r\n"
                                  "修改時間：2026/3/5 下午2:07:09\r\nMD5值     ：" +
                                  md5 + "\r\n\r\n文件名称：c\r\n文件大小：3 字节\r\n\r\n";
    const ParsedList both = ParseChecksumList("notes\r\n" + plain + converted, std::nullopt);
    EXPECT_EQ(both.format, ListFormat::Report);
    EXPECT_EQ(both.badLines, 1u);
    EXPECT_EQ(both.firstBadLine, 1u);
    ASSERT_EQ(both.entries.size(), 3u);
    const ListEntry& a = both.entries[0];
    EXPECT_TRUE(a.report);
    EXPECT_FALSE(a.converted);
    EXPECT_FALSE(a.damaged);
    EXPECT_EQ(a.shown, "/d/a.txt");
    EXPECT_EQ(a.line, 2u);
    EXPECT_EQ(a.version, "V1.2.3.4");
    EXPECT_EQ(a.size, "3 字节");
    EXPECT_EQ(a.time, "2026/3/5 14:07:09");
    EXPECT_EQ(a.Expected(DigestKind::Crc32), "352441C2");
    EXPECT_EQ(a.Expected(DigestKind::Sha1), "A9993E364706816ABA3E25717850C26C9CD0D89D");
    EXPECT_EQ(a.Expected(DigestKind::Md5), md5);
    const ListEntry& b = both.entries[1];
    EXPECT_TRUE(b.converted);
    EXPECT_EQ(b.name, "/d/b.txt");
    EXPECT_EQ(b.size, "3 字節");
    EXPECT_FALSE(b.version);
    EXPECT_FALSE(b.Expected(DigestKind::Sha1));
    EXPECT_EQ(b.line, 10u);
    // A block without its MD5 line stays an entry, damaged.
    EXPECT_TRUE(both.entries[2].damaged);
    EXPECT_EQ(both.entries[2].name, "c");
}

// An SFV list whose names begin with a report's name label stays an SFV
// list; a report whose name ends like an SFV line stays a report; a named
// format always wins.
TEST(ChecksumList, SfvListsAndReportsAreNeverMistaken) {
    const std::string md5 = "MD5值     ：900150983CD24FB0D6963F7D28E17F72\r\n";
    const std::string sfv = "文件名称：a 352441C2\n文件名称：b 352441C2\n";
    const std::string report = "文件名称：a 352441C2\r\n" + md5;
    struct Case {
        std::string text;
        std::optional<ListFormat> named;
        ListFormat format;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {sfv, {}, ListFormat::Sfv, {"文件名称：a", "文件名称：b"}},
        {"文件名称：a 352441C2\n", {}, ListFormat::Sfv, {"文件名称：a"}},
        {"文件名称：a 352441C2\n文件大小：3 352441C2\n",
         {},
         ListFormat::Sfv,
         {"文件名称：a", "文件大小：3"}},
        {report, {}, ListFormat::Report, {"a 352441C2"}},
        {sfv, ListFormat::Report, ListFormat::Report, {"a 352441C2", "b 352441C2"}},
        {report, ListFormat::Sfv, ListFormat::Sfv, {"文件名称：a"}},
    };
    for (const Case& c : cases) {
        const ParsedList list = ParseChecksumList(c.text, c.named);
        EXPECT_EQ(list.format, c.format) << c.text;
        std::vector<std::string> names;
        for (const ListEntry& entry : list.entries) {
            names.push_back(entry.name);
        }
        EXPECT_EQ(names, c.names) << c.text;
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
    FileFacts facts; // of "abc": each value as its tool gives it
    facts.md5 = "900150983CD24FB0D6963F7D28E17F72";
    facts.sha1 = "A9993E364706816ABA3E25717850C26C9CD0D89D";
    facts.crc32 = 0x352441C2; // cksum -a crc32b
    facts.sha256 = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"; // sha256sum
    facts.sha512 = "DDAF35A193617ABACC417349AE20413112E6FA4E89A97EA20A9EEEE64B55D39A"
                   "2192992A274FC1A836BA3C23A3FEEBBD454D4423643CE80E2A9AC94FA54CA49F"; // sha512sum
    facts.blake2b = "BA80A53F981C4D0D6A2797B69F12F6E94C212F14685AC4B74B12BB6FDBFFA2D1"
                    "7D87C5392AAB792DC252D5DE4533CC9518D38AA8DBF1925AB92386EDD4009923"; // b2sum
    ReportOptions options;
    options.ShowCRC32 = true;
    const BsdTags all{true, true, true};
    struct Case {
        ListFormat format;
        std::vector<DigestKind> carried;
    };
    const Case cases[] = {
        {ListFormat::Md5sum, {DigestKind::Md5}},
        {ListFormat::Sha1sum, {DigestKind::Sha1}},
        {ListFormat::Sha256sum, {DigestKind::Sha256}},
        {ListFormat::Sha512sum, {DigestKind::Sha512}},
        {ListFormat::B2sum, {DigestKind::Blake2b}},
        {ListFormat::Bsd,
         {DigestKind::Crc32, DigestKind::Md5, DigestKind::Sha1, DigestKind::Sha256,
          DigestKind::Sha512, DigestKind::Blake2b}},
        {ListFormat::Sfv, {DigestKind::Crc32}},
        {ListFormat::Crc32sum, {DigestKind::Crc32}},
    };
    const auto valueOf = [&](DigestKind kind) -> std::string {
        switch (kind) {
        case DigestKind::Crc32:
            return "352441C2";
        case DigestKind::Md5:
            return facts.md5;
        case DigestKind::Sha1:
            return facts.sha1;
        case DigestKind::Sha256:
            return facts.sha256;
        case DigestKind::Sha512:
            return facts.sha512;
        default:
            return facts.blake2b;
        }
    };
    for (const Case& c : cases) {
        for (const std::string name : {"a b", "x\\y\nz", ";semi", "ab 12345678"}) {
            SCOPED_TRACE(name);
            std::string text;
            const bool written =
                AppendListLines(text, c.format, name, facts, ListDigests(c.format, options, all));
            const bool sfvCannot = c.format == ListFormat::Sfv &&
                                   (name.find('\n') != std::string::npos || name.starts_with(';'));
            EXPECT_EQ(written, !sfvCannot);
            if (!written) {
                EXPECT_TRUE(text.empty());
                continue;
            }
            // Read back both as named and as told by content.
            for (const std::optional<ListFormat> named :
                 {std::optional(c.format), std::optional<ListFormat>()}) {
                const ParsedList list = ParseChecksumList(text, named);
                ASSERT_EQ(list.entries.size(), 1u) << text;
                const ListEntry& entry = list.entries[0];
                EXPECT_EQ(entry.name, name);
                for (const DigestKind kind : c.carried) {
                    const bool wide = !named && c.format != ListFormat::Bsd &&
                                      (kind == DigestKind::Sha512 || kind == DigestKind::Blake2b);
                    EXPECT_EQ(entry.Expected(wide ? DigestKind::Wide512 : kind), valueOf(kind))
                        << text;
                }
            }
        }
    }
}

} // namespace
} // namespace varnel
