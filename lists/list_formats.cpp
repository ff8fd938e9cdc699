#include "lists/list_formats.h"

#include "formats/hex.h"
#include "report/facts_digests.h"

#include <algorithm>
#include <array>

namespace varnel {

namespace {

constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view SkipBlanks(std::string_view line) {
    while (!line.empty() && IsBlank(line.front())) {
        line.remove_prefix(1);
    }
    return line;
}

struct FormatName {
    ListFormat format;
    std::string_view name;
};
constexpr std::array<FormatName, 8> kFormatNames{{
    {ListFormat::Report, "report"},
    {ListFormat::Md5sum, "md5sum"},
    {ListFormat::Sha1sum, "sha1sum"},
    {ListFormat::Sha256sum, "sha256sum"},
    {ListFormat::Sha512sum, "sha512sum"},
    {ListFormat::B2sum, "b2sum"},
    {ListFormat::Bsd, "bsd"},
    {ListFormat::Sfv, "sfv"},
}};

// The md5sum-family formats and the one digest each carries.
struct SumFormat {
    ListFormat format;
    DigestKind kind;
};
constexpr std::array<SumFormat, 6> kSumFormats{{
    {ListFormat::Md5sum, DigestKind::Md5},
    {ListFormat::Sha1sum, DigestKind::Sha1},
    {ListFormat::Sha256sum, DigestKind::Sha256},
    {ListFormat::Sha512sum, DigestKind::Sha512},
    {ListFormat::B2sum, DigestKind::Blake2b},
    {ListFormat::Crc32sum, DigestKind::Crc32},
}};

std::size_t HexLength(DigestKind kind) {
    return DigestKindOf(kind).hexLength;
}

// The one digest a named md5sum-family format carries.
std::optional<DigestKind> KindOfSumFormat(ListFormat format) {
    for (const SumFormat& sum : kSumFormats) {
        if (sum.format == format) {
            return sum.kind;
        }
    }
    return std::nullopt;
}

// The one-per-line format an untagged digest of length hex digits tells
// (DigestKindOfLength: never one of the newer kinds an older one shares a
// length with).
std::optional<ListFormat> SumFormatOfLength(std::size_t length) {
    const std::optional<DigestKind> kind = DigestKindOfLength(length);
    if (!kind) {
        return std::nullopt;
    }
    // 128 digits tell sha512sum (or b2sum: the lines say Wide512).
    return SumFormatOf(DigestKindOf(*kind).standsFor.front());
}

std::optional<std::string> NameOf(std::string_view text, bool escaped) {
    if (text.empty()) {
        return std::nullopt;
    }
    if (escaped) {
        return UnescapeListName(text);
    }
    return std::string(text);
}

// "<hex><blank><mode?><name>" after the optional blanks and backslash. mode
// is read unless the list has taken the single-space form; singleSpace is
// decided here when it is not yet.
std::optional<ToolLine> ReadSumLine(std::string_view line, std::optional<bool>& singleSpace) {
    line = SkipBlanks(line);
    const bool escaped = line.starts_with('\\');
    if (escaped) {
        line.remove_prefix(1);
    }
    std::size_t end = 0;
    while (end < line.size() && platform::IsHexDigit(line[end])) {
        ++end;
    }
    if (end == 0 || end + 1 >= line.size() || !IsBlank(line[end])) {
        return std::nullopt;
    }
    const auto kind = DigestKindOfLength(end);
    if (!kind) {
        return std::nullopt;
    }
    std::size_t start = end + 1;
    const bool marked = line[start] == ' ' || line[start] == '*';
    // As the md5sum family decides: the first line tells whether names
    // follow a mode mark; a list of marks takes no line without one.
    if (!singleSpace) {
        singleSpace = !marked || line.size() - start == 1;
    }
    if (!*singleSpace) {
        if (!marked) {
            return std::nullopt;
        }
        ++start;
    }
    std::optional<std::string> name = NameOf(line.substr(start), escaped);
    if (!name) {
        return std::nullopt;
    }
    return ToolLine{*kind, platform::HexToUpper(line.substr(0, end)), std::move(*name), false};
}

// Whether the digest of an md5sum-family line is followed by a blank and a
// mode mark (" " or "*"), as the tools write it.
bool HasModeMark(std::string_view line) {
    line = SkipBlanks(line);
    if (line.starts_with('\\')) {
        line.remove_prefix(1);
    }
    std::size_t end = 0;
    while (end < line.size() && platform::IsHexDigit(line[end])) {
        ++end;
    }
    return end + 1 < line.size() && IsBlank(line[end]) &&
           (line[end + 1] == ' ' || line[end + 1] == '*');
}

} // namespace

std::optional<ListFormat> ListFormatNamed(std::string_view name) {
    for (const FormatName& entry : kFormatNames) {
        if (entry.name == name) {
            return entry.format;
        }
    }
    return std::nullopt;
}

std::string_view ListFormatNames() {
    return "report, md5sum, sha1sum, sha256sum, sha512sum, b2sum, bsd or sfv";
}

std::string_view DigestName(DigestKind kind) {
    return DigestKindOf(kind).name;
}

std::optional<ListFormat> SumFormatOf(DigestKind kind) {
    for (const SumFormat& sum : kSumFormats) {
        if (sum.kind == kind) {
            return sum.format;
        }
    }
    return std::nullopt;
}

DigestSelection ListDigests(ListFormat format, const ReportOptions& options, const BsdTags& tags) {
    DigestSelection digests;
    if (const std::optional<DigestKind> kind = KindOfSumFormat(format)) {
        digests.*(DigestKindOf(*kind).selected) = true;
        return digests;
    }
    switch (format) {
    case ListFormat::Sfv:
        digests.crc32 = true;
        break;
    case ListFormat::Bsd:
        digests = {options.ShowCRC32, options.ShowSHA1, true};
        digests.sha256 = tags.sha256;
        digests.sha512 = tags.sha512;
        digests.blake2b = tags.blake2b;
        break;
    case ListFormat::Report:
        digests = {options.ShowCRC32, options.ShowSHA1, true};
        break;
    default:
        break;
    }
    return digests;
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
                     const FileFacts& facts, const DigestSelection& digests) {
    const bool escape = NeedsListEscape(name);
    const auto appendName = [&] {
        if (escape) {
            out += EscapeListName(name);
        } else {
            out += name;
        }
    };
    const auto sumLine = [&](std::string_view hex) {
        if (escape) {
            out += '\\';
        }
        out += platform::HexToLower(hex);
        out += "  ";
        appendName();
        out += '\n';
    };
    if (const std::optional<DigestKind> kind = KindOfSumFormat(format)) {
        sumLine(FactsDigest(facts, *kind));
        return true;
    }
    switch (format) {
    case ListFormat::Bsd:
        // MD5 always, then the others selected, in the order of lists.
        for (const DigestKind kind : DigestKindsInListOrder()) {
            const DigestKindInfo& row = DigestKindOf(kind);
            if (row.bsdTag.empty() || (kind != DigestKind::Md5 && !(digests.*(row.selected)))) {
                continue;
            }
            if (escape) {
                out += '\\';
            }
            out += row.bsdTag;
            out += " (";
            appendName();
            out += ") = ";
            out += platform::HexToLower(FactsDigest(facts, kind));
            out += '\n';
        }
        return true;
    case ListFormat::Sfv:
        // Every SFV reader would take such a name for a comment, cut it at
        // its line end or lose its leading blank.
        if (name.find_first_of("\n\r") != std::string_view::npos || name.starts_with(';') ||
            name.starts_with(' ') || name.empty()) {
            return false;
        }
        out += name;
        out += ' ';
        out += platform::Hex8(facts.crc32);
        out += '\n';
        return true;
    default:
        break;
    }
    return false;
}

std::optional<ToolLine> ReadBsdLine(std::string_view line) {
    line = SkipBlanks(line);
    const bool escaped = line.starts_with('\\');
    if (escaped) {
        line.remove_prefix(1);
    }
    for (const DigestTag& tag : DigestTags()) {
        if (!line.starts_with(tag.text)) {
            continue;
        }
        // The tag, blanks that pad it, the name in brackets, then ") = " or
        // ")= " and exactly the digest's length of hex digits.
        std::string_view rest = line.substr(tag.text.size());
        const bool padded = rest.starts_with(' ');
        while (rest.starts_with(' ')) {
            rest.remove_prefix(1);
        }
        if (!rest.starts_with('(')) {
            continue; // "SHA2-256" after "SHA2" is tried, and so on
        }
        rest.remove_prefix(1);
        const std::size_t length = HexLength(tag.kind);
        if (rest.size() < length) {
            return std::nullopt;
        }
        const std::string_view hex = rest.substr(rest.size() - length);
        std::string_view head = rest.substr(0, rest.size() - length);
        if (head.ends_with(") = ")) {
            head.remove_suffix(4);
        } else if (head.ends_with(")= ") && !padded) {
            head.remove_suffix(3);
        } else {
            return std::nullopt;
        }
        if (!platform::IsHex(hex)) {
            return std::nullopt;
        }
        std::optional<std::string> name = NameOf(head, escaped);
        if (!name) {
            return std::nullopt;
        }
        return ToolLine{tag.kind, platform::HexToUpper(hex), std::move(*name), true};
    }
    return std::nullopt;
}

std::optional<ToolLine> ReadSfvLine(std::string_view line) {
    const std::size_t blank = line.rfind(' ');
    if (blank == std::string_view::npos || blank == 0) {
        return std::nullopt;
    }
    const std::string_view hex = line.substr(blank + 1);
    if (hex.size() != 8 || !platform::IsHex(hex)) {
        return std::nullopt;
    }
    return ToolLine{DigestKind::Crc32, platform::HexToUpper(hex),
                    std::string(line.substr(0, blank)), false};
}

std::optional<ToolLine> ToolLineReader::Read(std::string_view line) {
    if (m_Format == ListFormat::Sfv) {
        return ReadSfvLine(line);
    }
    std::optional<ToolLine> read = ReadBsdLine(line);
    if (read && !m_Told && m_Format != ListFormat::Bsd && read->kind != KindOfSumFormat(m_Format)) {
        read.reset(); // a named md5sum list takes MD5 tags only, and so on
    }
    if (!read && (m_Told || m_Format != ListFormat::Bsd)) {
        read = ReadSum(line);
    }
    return read;
}

std::optional<ToolLine> ToolLineReader::ReadSum(std::string_view line) {
    std::optional<ToolLine> read = ReadSumLine(line, m_SingleSpace);
    if (!read) {
        return std::nullopt;
    }
    if (!m_Told) {
        // The named format says which digest the line's length stands for.
        const std::optional<DigestKind> kind = KindOfSumFormat(m_Format);
        if (!kind || HexLength(*kind) != read->hex.size()) {
            return std::nullopt;
        }
        read->kind = *kind;
    }
    return read;
}

std::optional<ListFormat> ToolLineReader::Tell(std::string_view line) {
    if (line.starts_with(';')) {
        return ListFormat::Sfv;
    }
    if (SkipBlanks(line).starts_with('#')) {
        return std::nullopt; // a comment of the md5sum family; look further
    }
    if (ReadBsdLine(line)) {
        return ListFormat::Bsd;
    }
    std::optional<bool> singleSpace;
    if (const auto sum = ReadSumLine(line, singleSpace)) {
        // A CRC-32 first that is an SFV line too ("1234abcd x 5678ABCD"):
        // SFV, as it was read before the other form was, unless it has the
        // mark of the md5sum family's lines (two blanks, or " *").
        if (sum->kind == DigestKind::Crc32 && ReadSfvLine(line) && !HasModeMark(line)) {
            return ListFormat::Sfv;
        }
        return SumFormatOfLength(sum->hex.size());
    }
    if (ReadSfvLine(line)) {
        return ListFormat::Sfv;
    }
    return std::nullopt;
}

} // namespace varnel
