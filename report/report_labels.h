#pragma once

// The labels of a report block's lines, byte for byte: the one table the
// writer (report.h) writes from and the saved-report reader (saved_report.h)
// reads with. Full-width colons (U+FF1A), ordinary spaces.
//
// The writer writes the Simplified form in every language mode; in the
// Traditional Chinese mode its text passes through the conversion library,
// which makes the Traditional form of the table of it. A report keeps the
// Chinese labels in the English mode too.

#include "digest/digest_kinds.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace varnel {

// What one line of a report block shows, in the order of the block: the
// lines of the digests added later follow MD5, in the order of the table of
// digest kinds.
enum class ReportLine {
    Name,
    Version,
    Size,
    Time,
    Crc32,
    Sha1,
    Md5,
    Sha256,
    Sha512,
    Blake2b,
    Sha3_256,
    Sha3_512,
    Xxh3,
    Xxh128,
    Blake3,
};

// A text of a report in both of its forms.
struct ReportText {
    std::string_view simplified;  // as the writer writes it
    std::string_view traditional; // as the conversion makes it
};

struct ReportLabel {
    ReportLine line;
    ReportText text; // ends with the colon; the value follows it
};

inline constexpr std::array<ReportLabel, 15> kReportLabels{{
    {ReportLine::Name, {"文件名称：", "文件名稱："}},
    {ReportLine::Version, {"文件版本：", "文件版本："}},
    {ReportLine::Size, {"文件大小：", "文件大小："}},
    {ReportLine::Time, {"修改时间：", "修改時間："}},
    {ReportLine::Crc32, {"CRC32值 ：", "CRC32值 ："}},
    {ReportLine::Sha1, {"SHA1值   ：", "SHA1值   ："}},
    {ReportLine::Md5, {"MD5值     ：", "MD5值     ："}},
    {ReportLine::Sha256, {"SHA256值 ：", "SHA256值 ："}},
    {ReportLine::Sha512, {"SHA512值 ：", "SHA512值 ："}},
    {ReportLine::Blake2b, {"BLAKE2b值 ：", "BLAKE2b值 ："}},
    {ReportLine::Sha3_256, {"SHA3-256值 ：", "SHA3-256值 ："}},
    {ReportLine::Sha3_512, {"SHA3-512值 ：", "SHA3-512值 ："}},
    {ReportLine::Xxh3, {"XXH3值   ：", "XXH3值   ："}},
    {ReportLine::Xxh128, {"XXH128值 ：", "XXH128值 ："}},
    {ReportLine::Blake3, {"BLAKE3值 ：", "BLAKE3值 ："}},
}};

// The lines after MD5, each the digest of one kind, which a block carries
// when ReportOptions::ShowDigests asks for its kind.
struct ReportDigestLine {
    ReportLine line;
    DigestKind kind;
};
inline constexpr std::array<ReportDigestLine, 8> kReportDigestLines{{
    {ReportLine::Sha256, DigestKind::Sha256},
    {ReportLine::Sha512, DigestKind::Sha512},
    {ReportLine::Blake2b, DigestKind::Blake2b},
    {ReportLine::Sha3_256, DigestKind::Sha3_256},
    {ReportLine::Sha3_512, DigestKind::Sha3_512},
    {ReportLine::Xxh3, DigestKind::Xxh3_64},
    {ReportLine::Xxh128, DigestKind::Xxh128},
    {ReportLine::Blake3, DigestKind::Blake3},
}};

// The kinds of the lines after MD5 stand in the order of the table of digest
// kinds, and the lines in the order of the block.
static_assert(
    [] {
        std::size_t row = 0;
        for (std::size_t i = 0; i < kReportDigestLines.size(); ++i) {
            if (static_cast<std::size_t>(kReportDigestLines[i].line) !=
                static_cast<std::size_t>(ReportLine::Md5) + 1 + i) {
                return false;
            }
            while (row < kDigestKinds.size() &&
                   kDigestKinds[row].kind != kReportDigestLines[i].kind) {
                ++row;
            }
            if (row == kDigestKinds.size() || kDigestKinds[row].selected == nullptr) {
                return false;
            }
        }
        return true;
    }(),
    "kReportDigestLines follows MD5 in the order of the table of digest kinds");

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
