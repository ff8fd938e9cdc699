// The pure pieces of the Windows platform layer, under wine: path text and
// its lone surrogates, the name escape's Windows form, the code pages, the
// parent-folder rule, the date text's parts, and the list lock that leaves
// the file readable.
#include "formats/name_escape.h"
#include "platform/os/charset_converter.h"
#include "platform/os/file.h"
#include "platform/os/local_time.h"
#include "platform/os/locked_file.h"
#include "platform/os/path_text.h"
#include "platform/os/program_dir.h"
#include "platform/os/win/date_text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace varnel::platform {
namespace {

TEST(WindowsPathText, ConvertsToUtf8AndBackWithLoneSurrogatesKept) {
    const struct {
        std::wstring wide;
        std::string text; // UTF-8; a lone surrogate as the three bytes of its value
    } cases[] = {
        {L"C:\\dir\\setup.exe", "C:\\dir\\setup.exe"},
        {L"\u4e2d\u6587 100%.txt", "\xe4\xb8\xad\xe6\x96\x87 100%.txt"},
        {L"\U0001F600", "\xf0\x9f\x98\x80"},
        {std::wstring(L"a") + wchar_t(0xD800) + L"b", "a\xed\xa0\x80"
                                                      "b"},
        {std::wstring(1, wchar_t(0xDFFF)), "\xed\xbf\xbf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PathText(std::filesystem::path(c.wide)), c.text);
        EXPECT_EQ(PathFromText(c.text).native(), c.wide);
    }
    // A lone surrogate's bytes are no UTF-8: the escape shows them.
    EXPECT_EQ(formats::EscapeName("a\xed\xa0\x80"), "a\\355\\240\\200");
}

TEST(WindowsNameEscape, BackslashesAreSeparatorsBothWays) {
    const struct {
        std::string name;
        std::string shown;
    } cases[] = {
        {"C:\\dir\\\xe5\x90\x8d \xe5\xad\x97.txt", "C:\\dir\\\xe5\x90\x8d \xe5\xad\x97.txt"},
        {"C:\\a\\b\\n.txt", "C:\\a\\b\\n.txt"},
        {"\\\\server\\share\\x", "\\\\server\\share\\x"},
        {"tab\there", "tab\\011here"},
        {"end ", "end\\040"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formats::EscapeName(c.name), c.shown);
        EXPECT_EQ(formats::UnescapeName(c.shown), c.name);
    }
}

TEST(WindowsCodePages, ConvertAsFarAsTheSetAllows) {
    const struct {
        const char* to;
        const char* from;
        std::string in;
        std::string out;
        std::size_t consumed;
        bool stopped;
    } cases[] = {
        {"GB2312", "UTF-8", "\xe4\xb8\xad\xe6\x96\x87", "\xd6\xd0\xce\xc4", 6, false},
        // U+4E02 is in GBK (81 40) but not in GB2312: the run stops there.
        {"GB2312", "UTF-8", "a\xe4\xb8\x82z", "a", 1, true},
        {"UTF-8", "BIG5", "\xa4\xa4\xa4\xe5", "\xe4\xb8\xad\xe6\x96\x87", 4, false},
        {"UTF-8", "BIG5", "ok\xa4", "ok", 2, true}, // cut off within a character
    };
    for (const auto& c : cases) {
        CharsetConverter converter(c.to, c.from);
        ASSERT_TRUE(converter.Usable());
        char out[32];
        const CharsetConverter::Step step = converter.Convert(c.in, out);
        EXPECT_EQ(std::string(out, step.produced), c.out) << c.in;
        EXPECT_EQ(step.consumed, c.consumed) << c.in;
        EXPECT_EQ(step.stopped, c.stopped) << c.in;
    }
}

TEST(WindowsParentFolder, DrivesSharesAndBothSeparators) {
    const struct {
        std::wstring path;
        std::wstring parent;
    } cases[] = {
        {L"C:\\Tools\\Hash", L"C:\\Tools"},
        {L"C:\\Tools\\Hash\\", L"C:\\Tools"},
        {L"C:\\Tools", L"C:\\"},
        {L"C:\\", L""},
        {L"C:/Tools/Hash", L"C:/Tools"},
        {L"\\\\srv\\share\\dir", L"\\\\srv\\share\\"},
        {L"Hash", L""},
        {L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParentFolderName(c.path).native(), c.parent) << PathText(c.path);
    }
}

TEST(WindowsDateText, MidnightGivesTheDateAloneAndOtherTimesAddTheClock) {
    const std::chrono::sys_seconds someTime{std::chrono::seconds(1'700'000'000)};
    const std::optional<CivilTime> civil = LocalCivilTime(someTime);
    ASSERT_TRUE(civil);
    const std::chrono::sys_seconds midnight =
        someTime - std::chrono::seconds(civil->hour * 3600 + civil->minute * 60 + civil->second);
    const DateTextFormatter formatter;
    const std::string date = formatter.Format(midnight);
    const std::string later = formatter.Format(midnight + std::chrono::seconds(3 * 3600 + 61));
    ASSERT_FALSE(date.empty());
    EXPECT_EQ(later.rfind(date + " ", 0), 0u) << later;
    EXPECT_GT(later.size(), date.size() + 4);
    EXPECT_TRUE(formatter.Format(std::chrono::sys_seconds(std::chrono::seconds(-20'000'000'000)))
                    .empty()); // before 1601
}

TEST(WindowsListLock, ExcludesASecondLockAndLeavesTheFileReadable) {
    const std::filesystem::path list =
        std::filesystem::temp_directory_path() / "varnel-lock-test.md5";
    std::ofstream(list, std::ios::binary) << "d41d8cd98f00b204e9800998ecf8427e  empty\n";
    {
        LockedFile first = LockedFile::Open(list);
        LockedFile second = LockedFile::Open(list);
        EXPECT_EQ(first.TryLock(), LockedFile::Lock::Held);
        EXPECT_EQ(second.TryLock(), LockedFile::Lock::Busy);
        char bytes[64];
        EXPECT_EQ(second.ReadAt(0, bytes), 40u);
        ReadOnlyFile reader = ReadOnlyFile::Open(list);
        std::uint8_t head[4];
        EXPECT_EQ(reader.Read(head), 4u);
    }
    std::filesystem::remove(list);
}

} // namespace
} // namespace varnel::platform
