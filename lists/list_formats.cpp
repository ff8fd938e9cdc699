#include "lists/list_formats.h"

#include "formats/hex.h"
#include "report/facts_digests.h"
#include "report/report_labels.h"

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
constexpr std::array<FormatName, 13> kFormatNames{{
    {ListFormat::Report, "report"},
    {ListFormat::Md5sum, "md5sum"},
    {ListFormat::Sha1sum, "sha1sum"},
    {ListFormat::Sha256sum, "sha256sum"},
    {ListFormat::Sha512sum, "sha512sum"},
    {ListFormat::B2sum, "b2sum"},
    {ListFormat::Sha3_256sum, "sha3-256sum"},
    {ListFormat::Sha3_512sum, "sha3-512sum"},
    {ListFormat::B3sum, "b3sum"},
    {ListFormat::Xxh3sum, "xxh3sum"},
    {ListFormat::Xxh128sum, "xxh128sum"},
    {ListFormat::Bsd, "bsd"},
    {ListFormat::Sfv, "sfv"},
}};

// How a one-digest-a-line format writes its lines, as its tool does.
enum class SumStyle {
    Coreutils, // "<hex>  <name>"; \\, \n and \r escaped after a leading backslash
    B3sum,     // "<hex>  <name>"; \\ and \n escaped, a carriage return as it is
    Xxhsum,    // "<hex>  <name>"; the name as it is
    XxhsumTag, // "<TAG> (<name>) = <hex>"; the name as it is
};

// The md5sum-family formats, the one digest each carries and how its lines
// are written.
struct SumFormat {
    ListFormat format;
    DigestKind kind;
    SumStyle style = SumStyle::Coreutils;
};
constexpr std::array<SumFormat, 11> kSumFormats{{
    {ListFormat::Md5sum, DigestKind::Md5},
    {ListFormat::Sha1sum, DigestKind::Sha1},
    {ListFormat::Sha256sum, DigestKind::Sha256},
    {ListFormat::Sha512sum, DigestKind::Sha512},
    {ListFormat::B2sum, DigestKind::Blake2b},
    {ListFormat::Crc32sum, DigestKind::Crc32},
    {ListFormat::Sha3_256sum, DigestKind::Sha3_256},
    {ListFormat::Sha3_512sum, DigestKind::Sha3_512},
    {ListFormat::B3sum, DigestKind::Blake3, SumStyle::B3sum},
    {ListFormat::Xxh3sum, DigestKind::Xxh3_64, SumStyle::XxhsumTag},
    {ListFormat::Xxh128sum, DigestKind::Xxh128, SumStyle::Xxhsum},
}};

// The prefix later xxhsum writes before an untagged XXH3 digest.
constexpr std::string_view kXxh3Prefix = "XXH3_";

const SumFormat* SumFormatRow(ListFormat format) {
    for (const SumFormat& sum : kSumFormats) {
        if (sum.format == format) {
            return &sum;
        }
    }
    return nullptr;
}

std::size_t HexLength(DigestKind kind) {
    return DigestKindOf(kind).hexLength;
}

// The one digest a named md5sum-family format carries.
std::optional<DigestKind> KindOfSumFormat(ListFormat format) {
    if (const SumFormat* sum = SumFormatRow(format)) {
        return sum->kind;
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
// decided here when it is not yet. named is the one kind of a named format,
// whose length the digest must have; unnamed, the length tells the kind. A
// digest after "XXH3_" (later xxhsum's untagged form) is XXH3's, named or
// not.
std::optional<ToolLine> ReadSumLine(std::string_view line, std::optional<bool>& singleSpace,
                                    std::optional<DigestKind> named = std::nullopt) {
    line = SkipBlanks(line);
    const bool escaped = line.starts_with('\\');
    if (escaped) {
        line.remove_prefix(1);
    }
    std::optional<DigestKind> kind;
    if (line.starts_with(kXxh3Prefix)) {
        if (named && *named != DigestKind::Xxh3_64) {
            return std::nullopt;
        }
        line.remove_prefix(kXxh3Prefix.size());
        kind = DigestKind::Xxh3_64;
    }
    std::size_t end = 0;
    while (end < line.size() && formats::IsHexDigit(line[end])) {
        ++end;
    }
    if (end == 0 || end + 1 >= line.size() || !IsBlank(line[end])) {
        return std::nullopt;
    }
    if (!kind) {
        kind = named ? named : DigestKindOfLength(end);
    }
    if (!kind || (kind != DigestKind::Wide512 && DigestKindOf(*kind).hexLength != end)) {
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
    return ToolLine{*kind, formats::HexToUpper(line.substr(0, end)), std::move(*name), false};
}

// Whether the digest of an md5sum-family line is followed by a blank and a
// mode mark (" " or "*"), as the tools write it.
bool HasModeMark(std::string_view line) {
    line = SkipBlanks(line);
    if (line.starts_with('\\')) {
        line.remove_prefix(1);
    }
    std::size_t end = 0;
    while (end < line.size() && formats::IsHexDigit(line[end])) {
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

std::optional<ListFormat> ListFormatOfListName(std::string_view path) {
    struct ListName {
        std::string_view whole;  // the whole name
        std::string_view suffix; // or its end
        ListFormat format;
    };
    static constexpr std::array<ListName, 4> kListNames{{
        {"B3SUMS", ".b3", ListFormat::B3sum},
        {"XXH128SUMS", ".xxh128", ListFormat::Xxh128sum},
        {"SHA3-256SUMS", ".sha3-256", ListFormat::Sha3_256sum},
        {"SHA3-512SUMS", ".sha3-512", ListFormat::Sha3_512sum},
    }};
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    for (const ListName& entry : kListNames) {
        if (name == entry.whole ||
            (name.size() > entry.suffix.size() && name.ends_with(entry.suffix))) {
            return entry.format;
        }
    }
    return std::nullopt;
}

std::string_view ListFormatNames() {
    return "report, md5sum, sha1sum, sha256sum, sha512sum, b2sum, sha3-256sum, sha3-512sum, "
           "b3sum, xxh3sum, xxh128sum, bsd or sfv";
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

std::string CannotHoldName(ListFormat format) {
    for (const FormatName& entry : kFormatNames) {
        if (entry.format == format && format != ListFormat::Sfv) {
            return "the name cannot be written in a" +
                   std::string(entry.name.starts_with('x') ? "n " : " ") + std::string(entry.name) +
                   " list";
        }
    }
    return "the name cannot be written in an SFV list";
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
        // And the kinds after MD5 that a report block would carry.
        for (const ReportDigestLine& later : kReportDigestLines) {
            bool DigestSelection::*const selected = DigestKindOf(later.kind).selected;
            digests.*selected = digests.*selected || options.ShowDigests.*selected;
        }
        break;
    case ListFormat::Report:
        digests = ReportDigestSelection(options);
        break;
    default:
        break;
    }
    return digests;
}

// On Windows a backslash in a name is the separator of its folders (no name
// holds one): it is written as it is, as the system's own tools write lists.
// Windows names hold no line ends either, so its lists need no escapes.
#ifdef _WIN32
constexpr std::string_view kNeedsEscape = "\n\r";
#else
constexpr std::string_view kNeedsEscape = "\\\n\r";
#endif

bool NeedsListEscape(std::string_view name) {
    return name.find_first_of(kNeedsEscape) != std::string_view::npos;
}

std::string EscapeListName(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 2);
    for (const char c : name) {
        switch (c) {
        case '\\':
            out += kNeedsEscape.front() == '\\' ? "\\\\" : "\\";
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
        out += formats::HexToLower(hex);
        out += "  ";
        appendName();
        out += '\n';
    };
    if (const SumFormat* sum = SumFormatRow(format)) {
        const std::string hex = formats::HexToLower(FactsDigest(facts, sum->kind));
        if (sum->style == SumStyle::Coreutils) {
            sumLine(hex);
            return true;
        }
        if (sum->style == SumStyle::B3sum) {
            // b3sum escapes a backslash and a line feed only; a carriage
            // return at the name's end would read back as the line's end.
            if (name.ends_with('\r')) {
                return false;
            }
            const bool b3escape =
                name.find_first_of(kNeedsEscape.front() == '\\' ? "\\\n" : "\n") !=
                std::string_view::npos;
            if (b3escape) {
                out += '\\';
            }
            out += hex;
            out += "  ";
            for (const char c : name) {
                if (c == '\\') {
                    out += kNeedsEscape.front() == '\\' ? "\\\\" : "\\";
                } else if (c == '\n') {
                    out += "\\n";
                } else {
                    out += c;
                }
            }
            out += '\n';
            return true;
        }
        // xxhsum writes names as they are: a line end cut the line.
        if (name.find_first_of("\n\r") != std::string_view::npos || name.empty()) {
            return false;
        }
        if (sum->style == SumStyle::XxhsumTag) {
            out += DigestKindOf(sum->kind).bsdTag;
            out += " (";
            out += name;
            out += ") = ";
            out += hex;
        } else {
            out += hex;
            out += "  ";
            out += name;
        }
        out += '\n';
        return true;
    }
    switch (format) {
    case ListFormat::Bsd:
        // The digests selected, in the order of lists (--format bsd selects
        // MD5 always; a list updated in its own tags, such as sha256sum
        // --tag's or xxhsum's, may have none).
        for (const DigestKind kind : DigestKindsInListOrder()) {
            const DigestKindInfo& row = DigestKindOf(kind);
            if (row.bsdTag.empty() || !(digests.*(row.selected))) {
                continue;
            }
            if (escape) {
                out += '\\';
            }
            out += row.bsdTag;
            out += " (";
            appendName();
            out += ") = ";
            out += formats::HexToLower(FactsDigest(facts, kind));
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
        out += formats::Hex8(facts.crc32);
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
        if (!formats::IsHex(hex)) {
            return std::nullopt;
        }
        std::optional<std::string> name = NameOf(head, escaped);
        if (!name) {
            return std::nullopt;
        }
        return ToolLine{tag.kind, formats::HexToUpper(hex), std::move(*name), true};
    }
    return std::nullopt;
}

std::optional<ToolLine> ReadSfvLine(std::string_view line) {
    const std::size_t blank = line.rfind(' ');
    if (blank == std::string_view::npos || blank == 0) {
        return std::nullopt;
    }
    const std::string_view hex = line.substr(blank + 1);
    if (hex.size() != 8 || !formats::IsHex(hex)) {
        return std::nullopt;
    }
    return ToolLine{DigestKind::Crc32, formats::HexToUpper(hex), std::string(line.substr(0, blank)),
                    false};
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
    if (m_Told) {
        return ReadSumLine(line, m_SingleSpace);
    }
    // The named format says which digest the line's length stands for.
    const std::optional<DigestKind> kind = KindOfSumFormat(m_Format);
    if (!kind) {
        return std::nullopt;
    }
    return ReadSumLine(line, m_SingleSpace, kind);
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
        if (sum->kind == DigestKind::Xxh3_64) {
            return ListFormat::Xxh3sum; // "XXH3_<hex>": no other kind has the prefix
        }
        return SumFormatOfLength(sum->hex.size());
    }
    if (ReadSfvLine(line)) {
        return ListFormat::Sfv;
    }
    return std::nullopt;
}

} // namespace varnel
