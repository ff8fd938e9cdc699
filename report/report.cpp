#include "report/report.h"

#include "platform/formats/hex.h"
#include "platform/formats/name_escape.h"

#include <charconv>
#include <cstdint>

namespace varnel {

namespace {

// The labels, byte for byte: full-width colons (U+FF1A), ordinary spaces.
constexpr std::string_view kNameLabel = "文件名称：";
constexpr std::string_view kVersionLabel = "文件版本：V";
constexpr std::string_view kSizeLabel = "文件大小：";
constexpr std::string_view kSizeUnit = " 字节";
constexpr std::string_view kTimeLabel = "修改时间：";
constexpr std::string_view kCrcLabel = "CRC32值 ：";
constexpr std::string_view kSha1Label = "SHA1值   ：";
constexpr std::string_view kMd5Label = "MD5值     ：";
constexpr std::string_view kLineEnd = "\r\n";

void AppendDecimal(std::string& out, std::uint64_t value) {
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

} // namespace

std::string DisplayText(std::string_view bytes) {
    return platform::EscapeName(bytes);
}

void AppendReportBlock(std::string& out, std::string_view displayPath, const FileFacts& facts,
                       const ReportOptions& options, const ReportServices& services) {
    // Appends text, through the conversion service when there is one.
    const auto shown = [&](std::string_view text) {
        if (services.convert) {
            out += services.convert(text);
        } else {
            out += text;
        }
    };

    shown(kNameLabel);
    platform::AppendEscapedName(out, displayPath);
    out += kLineEnd;

    if (options.ShowVersion && !facts.version.empty()) {
        std::string line(kVersionLabel);
        line += facts.version;
        shown(line);
        out += kLineEnd;
    }

    if (options.ShowSize && facts.size) {
        std::string line(kSizeLabel);
        AppendDecimal(line, *facts.size);
        line += kSizeUnit;
        shown(line);
        out += kLineEnd;
    }

    if (options.ShowModifiedTime && facts.modified && services.formatTime) {
        const std::string time = services.formatTime(*facts.modified);
        // A time the locale cannot put into words is a value not obtained.
        if (!time.empty()) {
            std::string line(kTimeLabel);
            line += time;
            shown(line);
            out += kLineEnd;
        }
    }

    if (options.ShowCRC32) {
        shown(kCrcLabel);
        platform::AppendHex(out, facts.crc32, 8);
        out += kLineEnd;
    }

    if (options.ShowSHA1) {
        shown(kSha1Label);
        out += facts.sha1;
        out += kLineEnd;
    }

    shown(kMd5Label);
    out += facts.md5;
    out += kLineEnd;
    out += kLineEnd;
}

std::string FormatReportBlock(std::string_view displayPath, const FileFacts& facts,
                              const ReportOptions& options, const ReportServices& services) {
    std::string text;
    AppendReportBlock(text, displayPath, facts, options, services);
    return text;
}

ReportBlock BuildReportBlock(const std::filesystem::path& path, std::string_view displayPath,
                             const ReportOptions& options, const ReportServices& services) {
    const FileFacts facts = GatherFileFacts(path, options, services.fileVersion);
    ReportBlock block;
    block.text = FormatReportBlock(displayPath, facts, options, services);
    block.readOk = facts.readOk;
    block.failure = facts.failure;
    return block;
}

} // namespace varnel
