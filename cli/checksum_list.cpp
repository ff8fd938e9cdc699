#include "cli/checksum_list.h"

#include "platform/formats/name_escape.h"
#include "platform/os/charset_converter.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <span>

namespace varnel {

namespace {

// The labels of a report's lines as the window writes them, and in their
// converted (Traditional Chinese) form. The value starts after the label.
struct LabelForms {
    ReportLine kind;
    std::string_view plain;
    std::string_view converted;
};
constexpr std::array<LabelForms, 7> kLabels{{
    {ReportLine::Name, "文件名称：", "文件名稱："},
    {ReportLine::Version, "文件版本：", "文件版本："},
    {ReportLine::Size, "文件大小：", "文件大小："},
    {ReportLine::Time, "修改时间：", "修改時間："},
    {ReportLine::Crc32, "CRC32值 ：", "CRC32值 ："},
    {ReportLine::Sha1, "SHA1值   ：", "SHA1值   ："},
    {ReportLine::Md5, "MD5值     ：", "MD5值     ："},
}};

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Hex digits and their upper case by plain comparison: the locale's
// classification is a call per byte, and lists hold little else.
constexpr bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsHex(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsHexDigit);
}

// Upper case of hex digits (other bytes are kept).
std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string Hex8(std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xFu];
        value >>= 4;
    }
    return text;
}

// The name as results show it for md5sum, sha1sum and bsd lists: in their
// escape, with the leading backslash the tools put before such a result.
std::string ShownListName(std::string_view name) {
    return NeedsListEscape(name) ? "\\" + EscapeListName(name) : std::string(name);
}

enum class Algorithm { Crc32, Sha1, Md5 };

struct LineEntry {
    Algorithm algorithm;
    std::string hex;
    std::string name;
    bool bsd = false;
};

std::optional<Algorithm> AlgorithmOfHexLength(std::size_t length) {
    if (length == 32) {
        return Algorithm::Md5;
    }
    if (length == 40) {
        return Algorithm::Sha1;
    }
    return std::nullopt;
}

// "<hex>  <name>" or "<hex> *<name>", with an optional leading backslash.
std::optional<LineEntry> ReadSumLine(std::string_view line) {
    const bool escaped = line.starts_with('\\');
    if (escaped) {
        line.remove_prefix(1);
    }
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos || blank + 2 > line.size()) {
        return std::nullopt;
    }
    const std::string_view hex = line.substr(0, blank);
    const auto algorithm = AlgorithmOfHexLength(hex.size());
    if (!algorithm || !IsHex(hex)) {
        return std::nullopt;
    }
    std::size_t start = blank + 1;
    if (line[start] == ' ' || line[start] == '*') {
        ++start;
    }
    const std::string_view text = line.substr(start);
    if (text.empty()) {
        return std::nullopt;
    }
    std::optional<std::string> name =
        escaped ? UnescapeListName(text) : std::optional<std::string>(text);
    if (!name) {
        return std::nullopt;
    }
    return LineEntry{*algorithm, Upper(hex), std::move(*name), false};
}

// "MD5 (<name>) = <hex>", also SHA1 and CRC32, with an optional leading
// backslash. The name runs to the last ") = ", so it may hold ") = " itself.
std::optional<LineEntry> ReadBsdLine(std::string_view line) {
    const bool escaped = line.starts_with('\\');
    if (escaped) {
        line.remove_prefix(1);
    }
    struct Tag {
        std::string_view text;
        Algorithm algorithm;
        std::size_t hexLength;
    };
    static constexpr Tag kTags[] = {{"MD5 (", Algorithm::Md5, 32},
                                    {"SHA1 (", Algorithm::Sha1, 40},
                                    {"CRC32 (", Algorithm::Crc32, 8}};
    for (const Tag& tag : kTags) {
        if (!line.starts_with(tag.text)) {
            continue;
        }
        const std::size_t close = line.rfind(") = ");
        if (close == std::string_view::npos || close <= tag.text.size()) {
            return std::nullopt;
        }
        const std::string_view hex = line.substr(close + 4);
        if (hex.size() != tag.hexLength || !IsHex(hex)) {
            return std::nullopt;
        }
        const std::string_view text = line.substr(tag.text.size(), close - tag.text.size());
        std::optional<std::string> name =
            escaped ? UnescapeListName(text) : std::optional<std::string>(text);
        if (!name) {
            return std::nullopt;
        }
        return LineEntry{tag.algorithm, Upper(hex), std::move(*name), true};
    }
    return std::nullopt;
}

// "<name> <8 hex>": the name runs to the last blank.
std::optional<LineEntry> ReadSfvLine(std::string_view line) {
    const std::size_t blank = line.rfind(' ');
    if (blank == std::string_view::npos || blank == 0) {
        return std::nullopt;
    }
    const std::string_view hex = line.substr(blank + 1);
    if (hex.size() != 8 || !IsHex(hex)) {
        return std::nullopt;
    }
    return LineEntry{Algorithm::Crc32, Upper(hex), std::string(line.substr(0, blank)), false};
}

// The next line of rest, its line end (LF or CR LF) cut off, and rest moved
// past it; nothing at the end of the text.
std::optional<std::string_view> NextLine(std::string_view& rest) {
    if (rest.empty()) {
        return std::nullopt;
    }
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    return line;
}

bool IsComment(std::string_view line, ListFormat format) {
    if (format == ListFormat::Sfv) {
        return line.starts_with(';');
    }
    return format != ListFormat::Report && line.starts_with('#');
}

std::optional<ListFormat> TellFormat(std::string_view line) {
    if (const auto value = ReadReportLine(line); value && value->kind == ReportLine::Name) {
        return ListFormat::Report;
    }
    if (line.starts_with(';')) {
        return ListFormat::Sfv;
    }
    if (line.starts_with('#')) {
        return std::nullopt; // a comment of the md5sum family; look further
    }
    if (ReadBsdLine(line)) {
        return ListFormat::Bsd;
    }
    if (const auto sum = ReadSumLine(line)) {
        return sum->algorithm == Algorithm::Md5 ? ListFormat::Md5sum : ListFormat::Sha1sum;
    }
    if (ReadSfvLine(line)) {
        return ListFormat::Sfv;
    }
    return std::nullopt;
}

void NoteBadLine(ParsedList& list, std::size_t lineNumber) {
    ++list.badLines;
    if (list.firstBadLine == 0) {
        list.firstBadLine = lineNumber;
    }
}

void SetDigest(ListEntry& entry, Algorithm algorithm, std::string hex) {
    switch (algorithm) {
    case Algorithm::Crc32:
        entry.crc32 = std::move(hex);
        break;
    case Algorithm::Sha1:
        entry.sha1 = std::move(hex);
        break;
    case Algorithm::Md5:
        entry.md5 = std::move(hex);
        break;
    }
}

bool HasDigest(const ListEntry& entry, Algorithm algorithm) {
    switch (algorithm) {
    case Algorithm::Crc32:
        return entry.crc32.has_value();
    case Algorithm::Sha1:
        return entry.sha1.has_value();
    case Algorithm::Md5:
        return entry.md5.has_value();
    }
    return false;
}

bool IsUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        // Runs of ASCII, the bulk of any list, eight bytes at a time.
        while (i + 8 <= text.size()) {
            std::uint64_t word = 0;
            std::memcpy(&word, text.data() + i, sizeof word);
            if ((word & 0x8080808080808080ull) != 0) {
                break;
            }
            i += 8;
        }
        if (i >= text.size()) {
            break;
        }
        const auto byte = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        if (byte >= 0xC2 && byte <= 0xDF) {
            length = 2;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            length = 3;
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            length = 4;
        } else if (byte >= 0x80) {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0u) != 0x80u) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

// text in charset from as UTF-8, nothing when any byte does not convert.
std::optional<std::string> Recode(std::string_view text, const char* from) {
    platform::CharsetConverter converter("UTF-8", from);
    if (!converter.Usable()) {
        return std::nullopt;
    }
    std::string out(text.size() * 2 + 16, '\0');
    const platform::CharsetConverter::Step step =
        converter.Convert(text, std::span<char>(out.data(), out.size()));
    if (step.stopped || step.consumed != text.size()) {
        return std::nullopt;
    }
    out.resize(step.produced);
    return out;
}

// A report saved by an editor in the legacy encoding of its language mode
// (Big5 for the converted labels, GBK for the plain ones) as UTF-8; nothing
// when the text is not such a report. Its names come back as UTF-8 too.
std::optional<std::string> LegacyReportAsUtf8(std::string_view text) {
    for (const char* charset : {"BIG5", "CP950", "GB18030"}) {
        std::optional<std::string> recoded = Recode(text, charset);
        if (!recoded) {
            continue;
        }
        const std::size_t start = recoded->find_first_not_of("\r\n");
        if (start == std::string::npos) {
            continue;
        }
        const auto first = ReadReportLine(std::string_view(*recoded).substr(start));
        if (first && first->kind == ReportLine::Name) {
            return recoded;
        }
    }
    return std::nullopt;
}

} // namespace

ChecksumListReader::ChecksumListReader(std::string_view text, std::optional<ListFormat> format)
    : m_Format(format), m_Told(format.has_value()) {
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
    }
    if ((!format || *format == ListFormat::Report) && !IsUtf8(text)) {
        m_Recoded = LegacyReportAsUtf8(text);
        if (m_Recoded) {
            text = *m_Recoded;
        }
    }
    m_Rest = text;
    // Room for one entry per line at once: a list of many files would
    // otherwise move its entries again and again.
    m_LineCount = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    if (!m_Format) {
        std::string_view rest = text;
        while (const auto line = NextLine(rest)) {
            if (!line->empty() && (m_Format = TellFormat(*line))) {
                break;
            }
        }
    }
}

bool ChecksumListReader::ReadSome(ParsedList& list, std::size_t lines) {
    if (list.entries.capacity() < m_LineCount) {
        list.entries.reserve(m_LineCount);
    }
    const std::size_t until = m_Number + std::max<std::size_t>(lines, 1);
    if (!m_Format) {
        // Nothing in a known form: every line that is not empty or a
        // comment is a bad one.
        while (m_Number < until) {
            const auto line = NextLine(m_Rest);
            if (!line) {
                break;
            }
            ++m_Number;
            if (!line->empty() && !line->starts_with('#')) {
                NoteBadLine(list, m_Number);
            }
        }
        return !m_Rest.empty();
    }
    list.format = *m_Format;
    while (!m_Rest.empty() && (m_Number < until || ContinuesLastEntry(list))) {
        if (*m_Format == ListFormat::Report) {
            ReadReportBlock(list);
        } else {
            ReadLine(list);
        }
    }
    return !m_Rest.empty();
}

bool ChecksumListReader::ContinuesLastEntry(const ParsedList& list) const {
    // The next line is another bsd line of the last entry's file: it is read
    // in the same piece, so every entry is whole when ReadSome returns.
    if (!m_LastWasBsd || list.entries.empty()) {
        return false;
    }
    std::string_view rest = m_Rest;
    const std::optional<std::string_view> line = NextLine(rest);
    const std::optional<LineEntry> read = line ? ReadBsdLine(*line) : std::nullopt;
    return read && read->name == list.entries.back().name &&
           !HasDigest(list.entries.back(), read->algorithm);
}

void ChecksumListReader::ReadLine(ParsedList& list) {
    // The families a told format admits: a list told by content takes md5sum,
    // sha1sum and bsd lines alike, as the tools do.
    const ListFormat format = *m_Format;
    const std::optional<std::string_view> next = NextLine(m_Rest);
    if (!next) {
        return;
    }
    const std::string_view line = *next;
    const std::size_t number = ++m_Number;
    if (line.empty() || IsComment(line, format)) {
        m_LastWasBsd = false;
        return;
    }
    std::optional<LineEntry> read;
    if (format == ListFormat::Sfv) {
        read = ReadSfvLine(line);
    } else {
        read = ReadBsdLine(line);
        if (read && m_Told && format != ListFormat::Bsd &&
            (format == ListFormat::Md5sum) != (read->algorithm == Algorithm::Md5)) {
            read.reset(); // a named md5sum list takes MD5 lines only, sha1sum SHA1
        }
        if (!read && format != ListFormat::Bsd) {
            read = ReadSumLine(line);
            if (read && m_Told &&
                (format == ListFormat::Md5sum) != (read->algorithm == Algorithm::Md5)) {
                read.reset();
            }
        }
    }
    if (!read) {
        NoteBadLine(list, number);
        m_LastWasBsd = false;
        return;
    }
    // Consecutive bsd lines of one file make one entry: the file is read
    // once for all of them.
    if (read->bsd && m_LastWasBsd && list.entries.back().name == read->name &&
        !HasDigest(list.entries.back(), read->algorithm)) {
        SetDigest(list.entries.back(), read->algorithm, std::move(read->hex));
        return;
    }
    ListEntry entry;
    entry.shown =
        format == ListFormat::Sfv ? platform::EscapeName(read->name) : ShownListName(read->name);
    entry.name = std::move(read->name);
    entry.line = number;
    SetDigest(entry, read->algorithm, std::move(read->hex));
    list.entries.push_back(std::move(entry));
    m_LastWasBsd = read->bsd;
}

// Report blocks: a name line, then the lines the block carries in their
// order, the MD5 line last, then an empty line (or the end).
void ChecksumListReader::ReadReportBlock(ParsedList& list) {
    std::optional<std::string_view> line = NextLine(m_Rest);
    ++m_Number;
    if (!line || line->empty()) {
        return;
    }
    const std::size_t start = m_Number;
    const auto first = ReadReportLine(*line);
    std::optional<std::string> name;
    if (first && first->kind == ReportLine::Name) {
        name = platform::UnescapeName(first->value);
    }
    bool good = name.has_value() && !name->empty();
    std::size_t bad = start;
    ListEntry entry;
    if (good) {
        entry.name = std::move(*name);
        entry.shown = platform::EscapeName(entry.name);
        entry.line = start;
        entry.report = true;
        entry.converted = first->converted;
    }
    int last = static_cast<int>(ReportLine::Name);
    bool ended = false;
    std::size_t lastLine = start; // the block's last line
    while ((line = NextLine(m_Rest))) {
        ++m_Number;
        if (line->empty()) {
            break;
        }
        lastLine = m_Number;
        if (!good) {
            continue; // skip the rest of a bad block
        }
        const auto value = ReadReportLine(*line);
        if (!value || static_cast<int>(value->kind) <= last || ended) {
            good = false;
            bad = m_Number;
            continue;
        }
        last = static_cast<int>(value->kind);
        switch (value->kind) {
        case ReportLine::Version:
            entry.version = value->value;
            break;
        case ReportLine::Size:
            entry.size = value->value;
            break;
        case ReportLine::Time:
            entry.time = value->value;
            break;
        case ReportLine::Crc32:
            entry.crc32 = Upper(value->value);
            break;
        case ReportLine::Sha1:
            entry.sha1 = Upper(value->value);
            break;
        case ReportLine::Md5:
            entry.md5 = Upper(value->value);
            ended = true;
            break;
        case ReportLine::Name:
            break;
        }
    }
    if (good && !ended) {
        good = false;
        bad = lastLine; // the block ends without its MD5 line
    }
    if (!good) {
        NoteBadLine(list, bad);
        return;
    }
    list.entries.push_back(std::move(entry));
}

std::optional<ListFormat> ListFormatNamed(std::string_view name) {
    if (name == "report") {
        return ListFormat::Report;
    }
    if (name == "md5sum") {
        return ListFormat::Md5sum;
    }
    if (name == "sha1sum") {
        return ListFormat::Sha1sum;
    }
    if (name == "bsd") {
        return ListFormat::Bsd;
    }
    if (name == "sfv") {
        return ListFormat::Sfv;
    }
    return std::nullopt;
}

DigestSelection ListDigests(ListFormat format, const ReportOptions& options) {
    switch (format) {
    case ListFormat::Md5sum:
        return {false, false, true};
    case ListFormat::Sha1sum:
        return {false, true, false};
    case ListFormat::Bsd:
        return {options.ShowCRC32, options.ShowSHA1, true};
    case ListFormat::Sfv:
        return {true, false, false};
    case ListFormat::Report:
        break;
    }
    return {options.ShowCRC32, options.ShowSHA1, true};
}

bool NeedsListEscape(std::string_view name) {
    return name.find_first_of("\\\n\r") != std::string_view::npos;
}

std::string EscapeListName(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 2);
    for (const char c : name) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

std::optional<std::string> UnescapeListName(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i >= text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

bool AppendListLines(std::string& out, ListFormat format, std::string_view name,
                     const FileFacts& facts, const ReportOptions& options) {
    const bool escape = NeedsListEscape(name);
    const auto appendName = [&] {
        if (escape) {
            out += EscapeListName(name);
        } else {
            out += name;
        }
    };
    switch (format) {
    case ListFormat::Md5sum:
    case ListFormat::Sha1sum:
        if (escape) {
            out += '\\';
        }
        out += Lower(format == ListFormat::Md5sum ? facts.md5 : facts.sha1);
        out += "  ";
        appendName();
        out += '\n';
        return true;
    case ListFormat::Bsd: {
        const auto line = [&](std::string_view tag, std::string_view hex) {
            if (escape) {
                out += '\\';
            }
            out += tag;
            out += " (";
            appendName();
            out += ") = ";
            out += Lower(hex);
            out += '\n';
        };
        line("MD5", facts.md5);
        if (options.ShowSHA1) {
            line("SHA1", facts.sha1);
        }
        if (options.ShowCRC32) {
            line("CRC32", Hex8(facts.crc32));
        }
        return true;
    }
    case ListFormat::Sfv:
        if (name.find_first_of("\n\r") != std::string_view::npos || name.starts_with(';') ||
            name.starts_with(' ') || name.empty()) {
            return false;
        }
        out += name;
        out += ' ';
        out += Hex8(facts.crc32);
        out += '\n';
        return true;
    case ListFormat::Report:
        break;
    }
    return false;
}

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
    for (const LabelForms& label : kLabels) {
        for (const bool converted : {false, true}) {
            const std::string_view text = converted ? label.converted : label.plain;
            if (line.starts_with(text)) {
                return ReportLineValue{label.kind, converted && label.converted != label.plain,
                                       std::string(line.substr(text.size()))};
            }
        }
    }
    return std::nullopt;
}

ParsedList ParseChecksumList(std::string_view text, std::optional<ListFormat> format) {
    ChecksumListReader reader(text, format);
    ParsedList list;
    while (reader.ReadSome(list, static_cast<std::size_t>(-1))) {
    }
    return list;
}

} // namespace varnel
