#include "report/report.h"

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

// U+FFFD REPLACEMENT CHARACTER in UTF-8.
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the valid UTF-8 sequence at the start of text, or 0 when it is not
// one (overlong forms, surrogates and code points past U+10FFFF are invalid).
std::size_t ValidSequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    if (byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool IsControl(std::string_view sequence) {
    if (sequence.size() == 1) {
        const auto c = static_cast<std::uint8_t>(sequence[0]);
        return c < 0x20 || c == 0x7F;
    }
    // C1 controls U+0080..U+009F: C2 80 .. C2 9F.
    return sequence.size() == 2 && static_cast<std::uint8_t>(sequence[0]) == 0xC2 &&
           static_cast<std::uint8_t>(sequence[1]) <= 0x9F;
}

void AppendDisplayText(std::string& out, std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t length = ValidSequenceLength(bytes);
        if (length == 0) {
            // One replacement per byte that starts no valid sequence.
            out += kReplacement;
            bytes.remove_prefix(1);
            continue;
        }
        const std::string_view sequence = bytes.substr(0, length);
        if (IsControl(sequence)) {
            out += kReplacement;
        } else {
            out += sequence;
        }
        bytes.remove_prefix(length);
    }
}

void AppendHex8(std::string& out, std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char text[8];
    for (int i = 7; i >= 0; --i) {
        text[i] = kDigits[value & 0xFu];
        value >>= 4;
    }
    out.append(text, sizeof text);
}

void AppendDecimal(std::string& out, std::uint64_t value) {
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

} // namespace

std::string DisplayText(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    AppendDisplayText(text, bytes);
    return text;
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
    AppendDisplayText(out, displayPath);
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
        AppendHex8(out, facts.crc32);
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
