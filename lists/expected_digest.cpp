#include "lists/expected_digest.h"

#include "formats/hex.h"
#include "report/report.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <span>

namespace varnel {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Pasted text: the spaces of web pages made plain blanks, the invisible
// marks (zero-width space, word joiner, byte order mark) dropped.
std::string Plain(std::string_view text) {
    struct Mark {
        std::string_view bytes;
        std::string_view becomes;
    };
    static constexpr std::array<Mark, 6> kMarks{{
        {"\xC2\xA0", " "},     // no-break space
        {"\xE2\x80\xAF", " "}, // narrow no-break space
        {"\xE3\x80\x80", " "}, // ideographic space
        {"\xE2\x80\x8B", ""},  // zero-width space
        {"\xE2\x81\xA0", ""},  // word joiner
        {"\xEF\xBB\xBF", ""},  // byte order mark
    }};
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const Mark& mark : kMarks) {
            if (text.substr(i).starts_with(mark.bytes)) {
                plain += mark.becomes;
                i += mark.bytes.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            plain += text[i++];
        }
    }
    return plain;
}

std::vector<std::string_view> Tokens(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < text.size() && !IsBlank(text[i])) {
            ++i;
        }
        if (i > start) {
            tokens.push_back(text.substr(start, i - start));
        }
    }
    return tokens;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// A kind's name as compared: lower case, without "-" and "_" ("SHA2-256",
// "sha2_256" and "sha2256" are one name).
std::string NameKey(std::string_view name) {
    std::string key;
    for (const char c : name) {
        if (c == '-' || c == '_') {
            continue;
        }
        key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return key;
}

// The kind a name before a digest stands for: every name of the table of
// digest kinds (result name, bsd tags, field, option), and the tools'
// short names.
std::optional<DigestKind> KindNamed(std::string_view name) {
    const std::string key = NameKey(name);
    if (key.empty()) {
        return std::nullopt;
    }
    for (const DigestKindInfo& row : kDigestKinds) {
        if (row.selected == nullptr) {
            continue;
        }
        const std::array<std::string_view, 5> names{row.name, row.bsdTag, row.otherTags[0],
                                                    row.otherTags[1], row.field};
        for (const std::string_view known : names) {
            if (!known.empty() && NameKey(known) == key) {
                return row.kind;
            }
        }
        if (!row.option.empty() && NameKey(row.option) == key) {
            return row.kind;
        }
    }
    struct Short {
        std::string_view key;
        DigestKind kind;
    };
    static constexpr std::array<Short, 7> kShort{{
        {"b2", DigestKind::Blake2b},
        {"blake2", DigestKind::Blake2b},
        {"b3", DigestKind::Blake3},
        {"blake3256", DigestKind::Blake3},
        {"xxh364", DigestKind::Xxh3_64},
        {"xxh3128", DigestKind::Xxh128},
        {"crc", DigestKind::Crc32},
    }};
    for (const Short& known : kShort) {
        if (known.key == key) {
            return known.kind;
        }
    }
    return std::nullopt;
}

// Whether text reads as the name of some digest kind, ours or not
// ("sha384", "xxh64", "whirlpool"): a letter first, then letters, digits,
// "-" and "_", and not hex digits alone.
bool LooksLikeKindName(std::string_view text) {
    if (text.empty() || text.size() > 24 || !std::isalpha(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    for (const char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') {
            return false;
        }
    }
    return !formats::IsHex(text);
}

std::string KindsComputed() {
    std::string names;
    for (const DigestKindInfo& row : kDigestKinds) {
        if (row.selected != nullptr) {
            names += names.empty() ? "" : ", ";
            names += row.name;
        }
    }
    return names;
}

// "8 hex digits CRC-32; 16 XXH3; 32 MD5 or XXH128; ..."
std::string LengthsKnown() {
    std::vector<std::size_t> lengths;
    for (const DigestKindInfo& row : kDigestKinds) {
        if (row.selected != nullptr) {
            lengths.push_back(row.hexLength);
        }
    }
    std::sort(lengths.begin(), lengths.end());
    lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
    std::string text;
    for (const std::size_t length : lengths) {
        text += text.empty() ? std::to_string(length) + " hex digits "
                             : "; " + std::to_string(length) + " ";
        bool first = true;
        for (const DigestKindInfo& row : kDigestKinds) {
            if (row.selected != nullptr && row.hexLength == length) {
                text += first ? "" : " or ";
                text += row.name;
                first = false;
            }
        }
    }
    return text;
}

std::vector<DigestKind> KindsOfLength(std::size_t length) {
    std::vector<DigestKind> kinds;
    for (const DigestKindInfo& row : kDigestKinds) {
        if (row.selected != nullptr && row.hexLength == length) {
            kinds.push_back(row.kind);
        }
    }
    return kinds;
}

// The text as a reason shows it: in the visible escape, cut after 40 bytes.
std::string Shown(std::string_view text) {
    return text.size() > 40 ? DisplayText(text.substr(0, 40)) + "..." : DisplayText(text);
}

// Bytes split by colons, as some tools print them ("d4:1d:8c:..."): the
// digits joined; nothing for any other text.
std::optional<std::string> ColonBytes(std::string_view text) {
    if (text.size() < 5 || text.size() % 3 != 2) {
        return std::nullopt;
    }
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i % 3 == 2) {
            if (text[i] != ':') {
                return std::nullopt;
            }
        } else if (!formats::IsHexDigit(text[i])) {
            return std::nullopt;
        } else {
            digits += text[i];
        }
    }
    return digits;
}

// Standard or URL-safe base64, padded or not; nothing for anything else.
std::optional<std::string> Base64Hex(std::string_view text) {
    while (!text.empty() && text.back() == '=') {
        text.remove_suffix(1);
    }
    if (text.empty() || text.size() % 4 == 1) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    std::uint32_t bits = 0;
    int held = 0;
    for (const char c : text) {
        int value = -1;
        if (c >= 'A' && c <= 'Z') {
            value = c - 'A';
        } else if (c >= 'a' && c <= 'z') {
            value = c - 'a' + 26;
        } else if (c >= '0' && c <= '9') {
            value = c - '0' + 52;
        } else if (c == '+' || c == '-') {
            value = 62;
        } else if (c == '/' || c == '_') {
            value = 63;
        } else {
            return std::nullopt;
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            bytes.push_back(static_cast<std::uint8_t>(bits >> held));
        }
    }
    return formats::HexUpper(bytes);
}

// The digest itself (after its kind's name, if any), with the tokens that
// follow it in case it was written in groups.
std::optional<ExpectedDigest> ReadBody(std::optional<DigestKind> named, std::string_view body,
                                       std::span<const std::string_view> following,
                                       std::string& reason) {
    if (named) {
        // Subresource integrity may append options after a "?".
        body = body.substr(0, body.find('?'));
    }
    std::string digits(body);
    if ((digits.starts_with("0x") || digits.starts_with("0X")) &&
        formats::IsHex(std::string_view(digits).substr(2))) {
        digits.erase(0, 2);
    }
    if (const std::optional<std::string> joined = ColonBytes(digits)) {
        digits = *joined;
    }
    const auto fits = [&](std::size_t length) {
        return named ? DigestKindOf(*named).hexLength == length : !KindsOfLength(length).empty();
    };
    if (formats::IsHex(digits)) {
        // Groups of digits of one length ("d41d8cd9 8f00b204 e9800998
        // ecf8427e"): three or more of them, which no list line ("HEX NAME")
        // has, that join into a digest's length.
        std::string joined = digits;
        std::size_t groups = 1;
        while (groups - 1 < following.size() && formats::IsHex(following[groups - 1]) &&
               following[groups - 1].size() <= digits.size() && joined.size() < 128) {
            joined += following[groups - 1];
            ++groups;
        }
        if (groups >= 3 && fits(joined.size())) {
            digits = joined;
        }
    }
    if (formats::IsHex(digits)) {
        // Groups of any length, only while the first group alone is no
        // digest.
        for (std::size_t i = 0; !fits(digits.size()) && i < following.size() &&
                                digits.size() < 128 && formats::IsHex(following[i]);
             ++i) {
            std::string longer = digits + std::string(following[i]);
            if (longer.size() > 128) {
                break;
            }
            digits = std::move(longer);
        }
        if (!fits(digits.size())) {
            digits = std::string(body);
        }
    }
    if (formats::IsHex(digits) && fits(digits.size())) {
        ExpectedDigest digest;
        digest.kinds = named ? std::vector<DigestKind>{*named} : KindsOfLength(digits.size());
        digest.hex = formats::HexToUpper(digits);
        return digest;
    }
    if (named) {
        const DigestKindInfo& row = DigestKindOf(*named);
        if (formats::IsHex(digits)) {
            reason = "a " + std::string(row.name) + " digest has " + std::to_string(row.hexLength) +
                     " hex digits, not " + std::to_string(digits.size());
            return std::nullopt;
        }
        const std::optional<std::string> decoded = Base64Hex(body);
        if (decoded && decoded->size() == row.hexLength) {
            return ExpectedDigest{{*named}, *decoded};
        }
        reason = "'" + Shown(body) + "' is not a " + std::string(row.name) +
                 " digest: " + std::to_string(row.hexLength) + " hex digits or " +
                 std::to_string((row.hexLength / 2 + 2) / 3 * 4) +
                 " characters of base64 were expected";
        return std::nullopt;
    }
    if (formats::IsHex(digits)) {
        reason = std::to_string(digits.size()) + " hex digits fit no digest kind (" +
                 LengthsKnown() + ")";
        return std::nullopt;
    }
    if (const std::optional<std::string> decoded = Base64Hex(body);
        decoded && !KindsOfLength(decoded->size()).empty() && body.size() >= 12) {
        reason = "'" + Shown(body) +
                 "' reads as base64, which needs its kind before it (sha256-..., sha512-...)";
        return std::nullopt;
    }
    reason = "'" + Shown(body) + "' is not a digest: hex digits (" + LengthsKnown() +
             "), or a kind and its digest (sha256:HEX, sha256-BASE64) were expected";
    return std::nullopt;
}

std::optional<ExpectedDigest> UnknownKind(std::string_view name, std::string& reason) {
    reason = "'" + Shown(name) + "' is not a digest kind Varnel computes (it computes " +
             KindsComputed() + ")";
    return std::nullopt;
}

// A line of the bsd form: "TAG (NAME) = DIGEST" or "TAG(NAME)= DIGEST".
std::optional<ExpectedDigest> ReadBsdLine(std::string_view text, bool& isBsd, std::string& reason) {
    isBsd = false;
    const std::size_t open = text.find('(');
    const std::size_t equals = text.rfind('=');
    if (open == std::string_view::npos || equals == std::string_view::npos || equals < open) {
        return std::nullopt;
    }
    const std::string_view tag = Trim(text.substr(0, open));
    const std::string_view beforeEquals = Trim(text.substr(0, equals));
    std::string_view digest = Trim(text.substr(equals + 1));
    if (!beforeEquals.ends_with(')') || digest.empty() || !LooksLikeKindName(tag)) {
        return std::nullopt;
    }
    // SRI and base64 end in "=": the digest is what follows the ") =".
    const std::size_t close = text.rfind(')');
    digest = Trim(text.substr(close + 1));
    if (!digest.starts_with('=')) {
        return std::nullopt;
    }
    digest = Trim(digest.substr(1));
    isBsd = true;
    const std::optional<DigestKind> kind = KindNamed(tag);
    if (!kind) {
        return UnknownKind(tag, reason);
    }
    const std::vector<std::string_view> rest = Tokens(digest);
    if (rest.empty()) {
        reason = "no digest after '" + Shown(text.substr(0, close + 1)) + "'";
        return std::nullopt;
    }
    return ReadBody(kind, rest[0], std::span(rest).subspan(1), reason);
}

// A name before the digest in the same token ("sha256:HEX", "sha256-BASE64",
// "SHA3-256=HEX"): the name's length and its kind, when it names one.
struct Prefix {
    std::size_t length = 0; // of the name, the separator not included
    std::optional<DigestKind> kind;
};
std::optional<Prefix> PrefixOf(std::string_view token) {
    if (ColonBytes(token)) {
        return std::nullopt;
    }
    if (const std::size_t colon = token.find(':'); colon != std::string_view::npos) {
        const std::string_view name = token.substr(0, colon);
        if (const std::optional<DigestKind> kind = KindNamed(name)) {
            return Prefix{colon, kind};
        }
        return LooksLikeKindName(name) ? std::optional<Prefix>(Prefix{colon, std::nullopt})
                                       : std::nullopt;
    }
    // "-" is also part of names ("sha3-256-..."): the longest name known.
    std::optional<Prefix> found;
    for (std::size_t dash = token.find('-'); dash != std::string_view::npos && dash < 24;
         dash = token.find('-', dash + 1)) {
        if (const std::optional<DigestKind> kind = KindNamed(token.substr(0, dash))) {
            found = Prefix{dash, kind};
        }
    }
    if (found) {
        return found;
    }
    // "=" ends base64 too: only a known name before it counts.
    if (const std::size_t equals = token.find('='); equals != std::string_view::npos) {
        if (const std::optional<DigestKind> kind = KindNamed(token.substr(0, equals))) {
            return Prefix{equals, kind};
        }
    }
    if (const std::size_t dash = token.find('-');
        dash != std::string_view::npos && LooksLikeKindName(token.substr(0, dash))) {
        return Prefix{dash, std::nullopt};
    }
    return std::nullopt;
}

} // namespace

std::optional<ExpectedDigest> ReadExpectedDigest(std::string_view text, std::string& reason) {
    reason.clear();
    const std::string plain = Plain(text);
    bool isBsd = false;
    std::optional<ExpectedDigest> bsd = ReadBsdLine(plain, isBsd, reason);
    if (isBsd) {
        return bsd;
    }
    std::vector<std::string_view> tokens = Tokens(plain);
    if (tokens.empty()) {
        reason = "no digest given";
        return std::nullopt;
    }
    std::string_view first = tokens[0];
    // A sha256sum line whose name needed the escape starts with a backslash.
    if (first.size() > 1 && first[0] == '\\' && formats::IsHexDigit(first[1])) {
        first.remove_prefix(1);
    }
    const std::span<const std::string_view> rest = std::span(tokens).subspan(1);

    // The kind's name as a word of its own: "SHA256: HEX", "md5 HEX".
    std::string_view word = first;
    const bool endsInSeparator = word.ends_with(':') || word.ends_with('=');
    if (endsInSeparator) {
        word.remove_suffix(1);
    }
    if (!rest.empty()) {
        if (const std::optional<DigestKind> kind = KindNamed(word)) {
            return ReadBody(kind, rest[0], rest.subspan(1), reason);
        }
        if (endsInSeparator && LooksLikeKindName(word)) {
            return UnknownKind(word, reason);
        }
    }
    if (const std::optional<Prefix> prefix = PrefixOf(first)) {
        if (!prefix->kind) {
            return UnknownKind(first.substr(0, prefix->length), reason);
        }
        return ReadBody(prefix->kind, first.substr(prefix->length + 1), rest, reason);
    }
    return ReadBody(std::nullopt, first, rest, reason);
}

} // namespace varnel
