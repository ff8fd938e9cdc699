#include "report/report.h"

#include "formats/hex.h"
#include "formats/name_escape.h"
#include "report/facts_digests.h"
#include "report/report_labels.h"

#include <charconv>
#include <cstdint>

namespace varnel {

namespace {

void AppendDecimal(std::string& out, std::uint64_t value) {
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

} // namespace

std::string DisplayText(std::string_view bytes) {
    return formats::EscapeName(bytes);
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

    shown(LabelOf(ReportLine::Name).simplified);
    formats::AppendEscapedName(out, displayPath);
    out += kReportLineEnd;

    if (options.ShowVersion && !facts.version.empty()) {
        std::string line(LabelOf(ReportLine::Version).simplified);
        line += kVersionMark;
        line += facts.version;
        shown(line);
        out += kReportLineEnd;
    }

    if (options.ShowSize && facts.size) {
        std::string line(LabelOf(ReportLine::Size).simplified);
        AppendDecimal(line, *facts.size);
        line += kSizeUnit.simplified;
        shown(line);
        out += kReportLineEnd;
    }

    if (options.ShowModifiedTime && facts.modified && services.formatTime) {
        const std::string time = services.formatTime(*facts.modified);
        // A time the locale cannot put into words is a value not obtained.
        if (!time.empty()) {
            std::string line(LabelOf(ReportLine::Time).simplified);
            line += time;
            shown(line);
            out += kReportLineEnd;
        }
    }

    if (options.ShowCRC32) {
        shown(LabelOf(ReportLine::Crc32).simplified);
        formats::AppendHex(out, facts.crc32, 8);
        out += kReportLineEnd;
    }

    if (options.ShowSHA1) {
        shown(LabelOf(ReportLine::Sha1).simplified);
        out += facts.sha1;
        out += kReportLineEnd;
    }

    shown(LabelOf(ReportLine::Md5).simplified);
    out += facts.md5;
    out += kReportLineEnd;

    for (const ReportDigestLine& line : kReportDigestLines) {
        if (options.ShowDigests.*(DigestKindOf(line.kind).selected)) {
            shown(LabelOf(line.line).simplified);
            out += FactsDigest(facts, line.kind);
            out += kReportLineEnd;
        }
    }
    out += kReportLineEnd;
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
