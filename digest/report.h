#pragma once

// The report block: the text format of the whole program. One builder serves
// the main window (ReportFile / ReportFolder) and the varnel-report command, so
// both write the same bytes.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace varnel {

// The six report options, read from the check boxes Check1 ... Check6. Start
// states: MD5, SHA-1, modified time and size on; CRC-32 and version off. The
// MD5 line is always written, whatever ShowMD5 says.
struct ReportOptions {
    bool ShowMD5 = true;
    bool ShowSHA1 = true;
    bool ShowCRC32 = false;
    bool ShowModifiedTime = true;
    bool ShowSize = true;
    bool ShowVersion = false;
};

// What the builder needs from the layers above it (the digest layer knows no
// locale and no language). Each member may be left empty: no conversion, no
// time line (it is then left out), no version line.
struct ReportServices {
    // Text -> text shown (ConvertToBig5 in "TAIWAN" mode); UTF-8 both ways.
    std::function<std::string(std::string_view)> convert;
    // Local date-time text of the user's locale (short date, blank, long
    // time; date alone at exactly midnight); UTF-8.
    std::function<std::string(std::chrono::system_clock::time_point)> formatTime;
    // The file's version text ("1.2.3.4"), empty when it has none.
    std::function<std::string(const std::filesystem::path&)> fileVersion;
};

struct ReportBlock {
    std::string text;        // UTF-8, CR LF line ends, ends with an empty line
    bool readOk = true;      // false when the file could not be found or read
    std::string failure;     // one-line reason when readOk is false
};

// Builds the block for one path. displayPath is the path as the user sees it
// (written unconverted on line 1); the file itself is opened through path, so
// names that are not valid UTF-8 are still read.
ReportBlock BuildReportBlock(const std::filesystem::path& path, std::string_view displayPath,
                             const ReportOptions& options, const ReportServices& services);

} // namespace varnel
