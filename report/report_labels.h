#pragma once

// The labels of a report block's lines, byte for byte: the one table the
// writer (report.h) writes from and the saved-report reader (saved_report.h)
// reads with. Full-width colons (U+FF1A), ordinary spaces.
//
// The writer writes the Simplified form in every language mode; in the
// Traditional Chinese mode its text passes through the conversion library,
// which makes the Traditional form of the table of it. A report keeps the
// Chinese labels in the English mode too.

#include <array>
#include <cstddef>
#include <string_view>

namespace varnel {

// What one line of a report block shows, in the order of the block.
enum class ReportLine { Name, Version, Size, Time, Crc32, Sha1, Md5 };

// A text of a report in both of its forms.
struct ReportText {
    std::string_view simplified;  // as the writer writes it
    std::string_view traditional; // as the conversion makes it
};

struct ReportLabel {
    ReportLine line;
    ReportText text; // ends with the colon; the value follows it
};

inline constexpr std::array<ReportLabel, 7> kReportLabels{{
    {ReportLine::Name, {"文件名称：", "文件名稱："}},
    {ReportLine::Version, {"文件版本：", "文件版本："}},
    {ReportLine::Size, {"文件大小：", "文件大小："}},
    {ReportLine::Time, {"修改时间：", "修改時間："}},
    {ReportLine::Crc32, {"CRC32值 ：", "CRC32值 ："}},
    {ReportLine::Sha1, {"SHA1值   ：", "SHA1值   ："}},
    {ReportLine::Md5, {"MD5值     ：", "MD5值     ："}},
}};

// LabelOf finds a line's label by its place in the table.
static_assert(
    [] {
        for (std::size_t i = 0; i < kReportLabels.size(); ++i) {
            if (static_cast<std::size_t>(kReportLabels[i].line) != i) {
                return false;
            }
        }
        return true;
    }(),
    "kReportLabels is in ReportLine order");

constexpr const ReportText& LabelOf(ReportLine line) {
    return kReportLabels[static_cast<std::size_t>(line)].text;
}

// The version's mark before its number ("V1.2.3.4") and the size's unit after
// its count of bytes ("10000 字节").
inline constexpr std::string_view kVersionMark = "V";
inline constexpr ReportText kSizeUnit{" 字节", " 字節"};

// Each line of a block ends with it; an empty line ends the block.
inline constexpr std::string_view kReportLineEnd = "\r\n";

} // namespace varnel
