#include "report/saved_report.h"

#include "formats/hex.h"
#include "formats/name_escape.h"
#include "formats/utf8.h"
#include "platform/os/charset_converter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <initializer_list>
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
    if (platform::IsUtf8(line)) {
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
        std::optional<std::string> name = platform::UnescapeName(value->value);
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
    if (!value || static_cast<int>(value->kind) <= m_Last || m_Ended) {
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
        m_Block.crc32 = platform::HexToUpper(value->value);
        break;
    case ReportLine::Sha1:
        m_Block.sha1 = platform::HexToUpper(value->value);
        break;
    case ReportLine::Md5:
        m_Block.md5 = platform::HexToUpper(value->value);
        m_Ended = true;
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

namespace {

struct WrittenNumber {
    unsigned value = 0;
    std::size_t digits = 0;
};

// The numbers of a text, in order ("2026/12/8 PM 3:04:05": 2026 12 8 3 4 5).
std::vector<WrittenNumber> NumbersOf(std::string_view text) {
    std::vector<WrittenNumber> numbers;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] < '0' || text[i] > '9') {
            ++i;
            continue;
        }
        WrittenNumber number;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            number.value =
                std::min(number.value * 10 + static_cast<unsigned>(text[i] - '0'), 1000000u);
            ++number.digits;
        }
        numbers.push_back(number);
    }
    return numbers;
}

// A written year against the year: two digits as the English form's short
// year writes it (the year's last two), more digits as the whole year. A
// single digit is no year the forms write.
bool SameYear(const WrittenNumber& written, int year) {
    if (year <= 0) {
        return false; // such a year's text carries a sign or an era: its own text only
    }
    if (written.digits == 2) {
        return written.value == static_cast<unsigned>(year % 100);
    }
    return written.digits > 2 && written.value == static_cast<unsigned>(year);
}

bool SameNumber(const WrittenNumber& written, int value) {
    return written.digits >= 1 && written.digits <= 2 &&
           written.value == static_cast<unsigned>(value);
}

// The date as the program's language forms write it: the Chinese forms
// year first (2026/2/1), the English form month first (2/1/26). A year
// first has more than two digits, which tells the two apart. No other order
// is taken: read in another one, the numbers of one date are those of
// another (1/2/26 is 2 January in one locale and 1 February in another).
bool SameDate(std::span<const WrittenNumber> date, const LocalTime& time) {
    if (date[0].digits > 2) {
        return SameYear(date[0], time.year) && SameNumber(date[1], time.month) &&
               SameNumber(date[2], time.day);
    }
    return SameNumber(date[0], time.month) && SameNumber(date[1], time.day) &&
           SameYear(date[2], time.year);
}

} // namespace

bool SavedTimeMatches(std::string_view value, const LocalTime& time) {
    if (value == time.text) {
        return true;
    }
    const bool midnight = time.hour == 0 && time.minute == 0 && time.second == 0;
    const std::vector<WrittenNumber> seen = NumbersOf(value);
    if (seen.size() != (midnight ? 3u : 6u) || !SameDate(std::span(seen).first(3), time)) {
        return false;
    }
    if (midnight) {
        return true;
    }
    const auto has = [&](std::initializer_list<std::string_view> words) {
        return std::any_of(words.begin(), words.end(), [&](std::string_view word) {
            return value.find(word) != std::string_view::npos;
        });
    };
    unsigned hour = seen[3].value;
    if (has({"PM", "pm", "下午", "午後", "晚上"})) {
        hour = hour % 12 + 12;
    } else if (has({"AM", "am", "上午", "午前", "早上", "凌晨"})) {
        hour = hour % 12;
    }
    return seen[3].digits <= 2 && hour == static_cast<unsigned>(time.hour) &&
           SameNumber(seen[4], time.minute) && SameNumber(seen[5], time.second);
}

} // namespace varnel
