#include "report/saved_report.h"

#include "formats/hex.h"
#include "formats/name_escape.h"
#include "formats/utf8.h"
#include "platform/os/charset_converter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <span>
#include <vector>

namespace varnel {

namespace {

// The legacy encodings a report is saved in, by family: each family's
// charsets are tried in turn for a line.
constexpr std::array<std::array<const char*, 2>, 2> kFamilies{{
    {"BIG5", "CP950"},
    {"GB18030", nullptr},
}};

} // namespace

std::string_view CheckName(ReportLine line) {
    switch (line) {
    case ReportLine::Name:
        return "name";
    case ReportLine::Version:
        return "version";
    case ReportLine::Size:
        return "size";
    case ReportLine::Time:
        return "modified time";
    case ReportLine::Crc32:
        return "CRC-32";
    case ReportLine::Sha1:
        return "SHA-1";
    case ReportLine::Md5:
        return "MD5";
    case ReportLine::Sha256:
    case ReportLine::Sha512:
    case ReportLine::Blake2b:
    case ReportLine::Sha3_256:
    case ReportLine::Sha3_512:
    case ReportLine::Xxh3:
    case ReportLine::Xxh128:
    case ReportLine::Blake3:
        break;
    }
    for (const ReportDigestLine& later : kReportDigestLines) {
        if (later.line == line) {
            return DigestKindOf(later.kind).name;
        }
    }
    return "";
}

std::optional<ReportLineValue> ReadReportLine(std::string_view line) {
    for (const ReportLabel& label : kReportLabels) {
        for (const bool converted : {false, true}) {
            const std::string_view text =
                converted ? label.text.traditional : label.text.simplified;
            if (line.starts_with(text)) {
                return ReportLineValue{label.line,
                                       converted && label.text.traditional != label.text.simplified,
                                       std::string(line.substr(text.size()))};
            }
        }
    }
    return std::nullopt;
}

struct ReportLineDecoder::Converters {
    platform::CharsetConverter big5{"UTF-8", "BIG5"};
    platform::CharsetConverter cp950{"UTF-8", "CP950"};
    platform::CharsetConverter gb{"UTF-8", "GB18030"};

    platform::CharsetConverter& For(const char* charset) {
        const std::string_view name = charset;
        return name == "BIG5" ? big5 : name == "CP950" ? cp950 : gb;
    }
};

ReportLineDecoder::ReportLineDecoder() = default;
ReportLineDecoder::~ReportLineDecoder() = default;

std::optional<std::string_view> ReportLineDecoder::Decode(std::string_view line) {
    if (formats::IsUtf8(line)) {
        return line;
    }
    if (!m_Converters) {
        m_Converters = std::make_unique<Converters>();
    }
    const auto recode = [&](const char* charset) {
        platform::CharsetConverter& converter = m_Converters->For(charset);
        if (!converter.Usable()) {
            return false;
        }
        m_Recoded.assign(line.size() * 2 + 16, '\0');
        const platform::CharsetConverter::Step step =
            converter.Convert(line, std::span<char>(m_Recoded.data(), m_Recoded.size()));
        if (step.stopped || step.consumed != line.size()) {
            return false;
        }
        m_Recoded.resize(step.produced);
        return true;
    };
    for (int family = 0; family < static_cast<int>(kFamilies.size()); ++family) {
        if (m_Family >= 0 && family != m_Family) {
            continue;
        }
        for (const char* charset : kFamilies[static_cast<std::size_t>(family)]) {
            if (charset == nullptr || !recode(charset)) {
                continue;
            }
            // Undecided, only a line that becomes a report line decides: a
            // few bytes of one encoding are often valid bytes of another.
            if (m_Family < 0 && !ReadReportLine(m_Recoded)) {
                continue;
            }
            m_Family = family;
            return std::string_view(m_Recoded);
        }
    }
    return std::nullopt;
}

std::optional<SavedBlock> ReportBlockReader::Close() {
    if (m_State != State::InBlock) {
        m_State = State::Between;
        return std::nullopt;
    }
    m_State = State::Between;
    m_Block.damaged = m_Block.damaged || !m_Ended;
    return std::move(m_Block);
}

ReportBlockReader::Step ReportBlockReader::Feed(std::optional<std::string_view> line,
                                                std::size_t number) {
    Step step;
    if (line && line->empty()) {
        step.block = Close();
        return step;
    }
    const std::optional<ReportLineValue> value =
        line ? ReadReportLine(*line) : std::optional<ReportLineValue>();
    if (value && value->kind == ReportLine::Name) {
        step.block = Close();
        std::optional<std::string> name = formats::UnescapeName(value->value);
        if (!name || name->empty() || name->find('\0') != std::string::npos) {
            // No file can be named: the block's lines are skipped, counted
            // once, as one improperly formatted line.
            m_State = State::Nameless;
            step.badLine = number;
            return step;
        }
        m_State = State::InBlock;
        m_Block = SavedBlock{};
        m_Block.name = std::move(*name);
        m_Block.line = number;
        m_Block.converted = value->converted;
        m_Last = static_cast<int>(ReportLine::Name);
        m_Ended = false;
        return step;
    }
    switch (m_State) {
    case State::Nameless:
        return step;
    case State::Between:
        m_State = State::Nameless;
        step.badLine = number;
        return step;
    case State::InBlock:
        break;
    }
    // Out of order, or repeated: the block was not written as it reads. Once
    // MD5 is read only the later digests' lines may follow, each once.
    if (!value || static_cast<int>(value->kind) <= m_Last) {
        m_Block.damaged = true;
        return step;
    }
    m_Last = static_cast<int>(value->kind);
    switch (value->kind) {
    case ReportLine::Version:
        m_Block.version = value->value;
        break;
    case ReportLine::Size:
        m_Block.size = value->value;
        break;
    case ReportLine::Time:
        m_Block.time = value->value;
        break;
    case ReportLine::Crc32:
        m_Block.crc32 = formats::HexToUpper(value->value);
        break;
    case ReportLine::Sha1:
        m_Block.sha1 = formats::HexToUpper(value->value);
        break;
    case ReportLine::Md5:
        m_Block.md5 = formats::HexToUpper(value->value);
        m_Ended = true;
        break;
    case ReportLine::Sha256:
    case ReportLine::Sha512:
    case ReportLine::Blake2b:
    case ReportLine::Sha3_256:
    case ReportLine::Sha3_512:
    case ReportLine::Xxh3:
    case ReportLine::Xxh128:
    case ReportLine::Blake3:
        if (!m_Ended) {
            // A later digest's line before MD5's: MD5 can no longer follow.
            m_Block.damaged = true;
            break;
        }
        for (const ReportDigestLine& later : kReportDigestLines) {
            if (later.line == value->kind) {
                m_Block.laterDigests[static_cast<std::size_t>(later.kind)] =
                    formats::HexToUpper(value->value);
            }
        }
        break;
    case ReportLine::Name:
        break;
    }
    return step;
}

std::optional<SavedBlock> ReportBlockReader::Finish() {
    return Close();
}

bool SavedVersionMatches(std::string_view value, std::string_view version) {
    return !version.empty() && value.size() == kVersionMark.size() + version.size() &&
           value.starts_with(kVersionMark) && value.ends_with(version);
}

std::optional<std::uint64_t> ReadSavedSize(std::string_view value, bool converted) {
    const std::string_view unit = converted ? kSizeUnit.traditional : kSizeUnit.simplified;
    if (!value.ends_with(unit)) {
        return std::nullopt;
    }
    const std::string_view digits = value.substr(0, value.size() - unit.size());
    if (digits.empty() || (digits.size() > 1 && digits.front() == '0') ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::uint64_t count = 0;
    const auto read = std::from_chars(digits.data(), digits.data() + digits.size(), count);
    if (read.ec != std::errc() || read.ptr != digits.data() + digits.size()) {
        return std::nullopt; // more than 64 bits
    }
    return count;
}

} // namespace varnel
