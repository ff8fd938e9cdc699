#pragma once

// The report block: the text format of the whole program. One builder serves
// the main window (ReportFile / ReportFolder) and the varnel-report command, so
// both write the same bytes.
//
// Building a block has two halves: gathering the file's facts (file_facts.h),
// which reads the file and may run on any thread, and formatting the text from
// the facts with the services below, which runs on the caller's thread (the
// conversion service is not promised to be thread-safe).

#include "report/file_facts.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace varnel {

// What the builder needs from the layers above it (the digest layer knows no
// locale and no language). Each member may be left empty: no conversion, no
// time line (it is then left out), no version line.
struct ReportServices {
    // Text -> text shown (ConvertToBig5 in "TAIWAN" mode); UTF-8 both ways.
    std::function<std::string(std::string_view)> convert;
    // Local date-time text of the user's locale (short date, blank, long
    // time; date alone at exactly midnight); UTF-8.
    std::function<std::string(std::chrono::sys_seconds)> formatTime;
    // The file's version text ("1.2.3.4"), empty when it has none. Called
    // while facts are gathered, possibly on worker threads: must be
    // thread-safe.
    std::function<std::string(const std::filesystem::path&)> fileVersion;
    // The same from the whole of a file's bytes.
    std::function<std::string(std::span<const std::uint8_t>)> fileVersionOfBytes;
};

struct ReportBlock {
    std::string text;    // UTF-8, CR LF line ends, ends with an empty line
    bool readOk = true;  // false when the file could not be found or read
    std::string failure; // one-line reason when readOk is false
};

// Builds the block for one path: gathers its facts and formats them.
// displayPath is the path as the user sees it (written unconverted on line 1);
// the file itself is opened through path, so names that are not valid UTF-8
// are still read.
ReportBlock BuildReportBlock(const std::filesystem::path& path, std::string_view displayPath,
                             const ReportOptions& options, const ReportServices& services);

// Appends to out the block text for facts already gathered. Lines, in order
// (each ended by CR LF, the block by an extra CR LF; the labels are those of
// report/report_labels.h, which the saved-report reader reads with):
//
//   文件名称：<displayPath>           always
//   文件版本：V<version>              ShowVersion and a version was found
//   文件大小：<bytes> 字节            ShowSize and the entry could be read
//   修改时间：<date time>             ShowModifiedTime, the entry could be
//                                    read and services.formatTime is set
//   CRC32值 ：<8 upper-case hex>      ShowCRC32
//   SHA1值   ：<40 upper-case hex>    ShowSHA1 (empty text when not read)
//   MD5值     ：<32 upper-case hex>   always (empty text when not read)
//   SHA256值 ：<64 upper-case hex>    ShowDigests.sha256 (empty when not read)
//   SHA512值 ：<128 ...>              ShowDigests.sha512
//   BLAKE2b值 ：<128 ...>             ShowDigests.blake2b (BLAKE2b-512)
//   SHA3-256值 ：<64 upper-case hex>  ShowDigests.sha3_256 (empty when not read)
//   SHA3-512值 ：<128 ...>            ShowDigests.sha3_512
//   XXH3值   ：<16 ...>               ShowDigests.xxh3
//   XXH128值 ：<32 ...>               ShowDigests.xxh128
//   BLAKE3值 ：<64 ...>               ShowDigests.blake3
//
// With services.convert set (the Traditional Chinese mode), lines 2 to 4 pass
// through it label and value together, line 1 and the digest lines with
// their label only: the path is written as it is, since converting it would rename the
// folders and files it names. displayPath is the path's own bytes: the block
// shows it in the name escape (DisplayText), so callers pass it unescaped.
void AppendReportBlock(std::string& out, std::string_view displayPath, const FileFacts& facts,
                       const ReportOptions& options, const ReportServices& services);

// The block text alone.
std::string FormatReportBlock(std::string_view displayPath, const FileFacts& facts,
                              const ReportOptions& options, const ReportServices& services);

// A path's bytes made fit to show, in the visible, reversible escape of
// formats/name_escape.h: control characters, bytes that are not
// UTF-8, bidirectional controls and the backslash are written as escapes, so
// a name can neither write lines of its own into the report nor look like
// another name. Valid text without them comes back unchanged.
std::string DisplayText(std::string_view bytes);

} // namespace varnel
