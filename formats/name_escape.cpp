#include "formats/name_escape.h"

#include "formats/hex.h"
#include "formats/utf8.h"

#include <cstdint>

namespace varnel::formats {
namespace {

// On Windows a backslash separates the folders of a path and no name holds
// one: it is shown as it is, and the escapes are those that cannot be taken
// for the start of a name (three octal digits, \u and \U with their digits);
// control characters, which no name holds either, are written in octal.
#ifdef _WIN32
constexpr bool kLetterEscapes = false;
constexpr std::string_view kBackslashShown = "\\";
#else
constexpr bool kLetterEscapes = true;
constexpr std::string_view kBackslashShown = "\\\\";
#endif

// Characters that show nothing of their own, so that a name holding one looks
// like the name without it: the invisible format characters and fillers that
// Unicode lists as default-ignorable, and the interlinear annotation marks.
// The variation selectors (U+180B..U+180D, U+180F, U+FE00..U+FE0F,
// U+E0100..U+E01EF) are left out: they choose the shape of the character
// before them (emoji, ideograph variants) and are common in ordinary names.
bool IsInvisible(char32_t c) {
    return c == 0x00AD || c == 0x034F || c == 0x115F || c == 0x1160 || c == 0x17B4 || c == 0x17B5 ||
           c == 0x180E || (c >= 0x200B && c <= 0x200D) || (c >= 0x2060 && c <= 0x2065) ||
           (c >= 0x206A && c <= 0x206F) || c == 0x3164 || c == 0xFEFF || c == 0xFFA0 ||
           (c >= 0xFFF0 && c <= 0xFFFB) || (c >= 0x1BCA0 && c <= 0x1BCA3) ||
           (c >= 0x1D173 && c <= 0x1D17A) || (c >= 0xE0000 && c <= 0xE00FF) ||
           (c >= 0xE01F0 && c <= 0xE0FFF);
}

bool NeedsCodePointEscape(char32_t c) {
    return (c >= 0x80 && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x2028 ||
           c == 0x2029 || IsInvisible(c);
}

// The blanks of Unicode (the space separators but the Ogham mark, which has
// a glyph): at the end of a name they show as nothing.
bool IsBlank(char32_t c) {
    return c == 0x20 || c == 0xA0 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

// Where the run of blanks that ends bytes starts (bytes.size() when it ends
// in none).
std::size_t TrailingBlanks(std::string_view bytes) {
    // Most names end in a visible ASCII character, which no blank's bytes are.
    if (!bytes.empty() && bytes.back() > ' ' && bytes.back() < 0x7F) {
        return bytes.size();
    }
    std::size_t start = 0;
    for (std::size_t at = 0; at < bytes.size();) {
        char32_t c = 0;
        const std::size_t length = Utf8SequenceLength(bytes.substr(at), c);
        at += length == 0 ? 1 : length;
        if (length == 0 || !IsBlank(c)) {
            start = at;
        }
    }
    return start;
}

void AppendOctal(std::string& out, std::uint8_t byte) {
    out += '\\';
    out += static_cast<char>('0' + ((byte >> 6) & 7));
    out += static_cast<char>('0' + ((byte >> 3) & 7));
    out += static_cast<char>('0' + (byte & 7));
}

// The letter of a control character's short escape, 0 when it has none.
char ShortEscape(std::uint8_t c) {
    switch (c) {
    case '\a':
        return 'a';
    case '\b':
        return 'b';
    case '\t':
        return 't';
    case '\n':
        return 'n';
    case '\v':
        return 'v';
    case '\f':
        return 'f';
    case '\r':
        return 'r';
    default:
        return 0;
    }
}

// \uXXXX for a character of the first plane, \UXXXXXXXX beyond it.
void AppendCodePointEscape(std::string& out, char32_t c) {
    const int digits = c > 0xFFFF ? 8 : 4;
    out += '\\';
    out += digits == 8 ? 'U' : 'u';
    AppendHex(out, static_cast<std::uint32_t>(c), digits);
}

// The code point of the digits hexadecimal digits at text's start, nothing
// when they are fewer, not all hexadecimal or name no character.
std::optional<char32_t> ReadCodePoint(std::string_view text, std::size_t digits) {
    if (text.size() < digits) {
        return std::nullopt;
    }
    char32_t value = 0;
    for (std::size_t k = 0; k < digits; ++k) {
        const int digit = HexDigitValue(text[k]);
        if (digit < 0) {
            return std::nullopt;
        }
        value = (value << 4) | static_cast<char32_t>(digit);
    }
    if ((value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
        return std::nullopt;
    }
    return value;
}

} // namespace

void AppendEscapedName(std::string& out, std::string_view bytes) {
    // The blanks that end the name are escaped, each of them: "sp " must not
    // look like "sp".
    const std::size_t trailing = TrailingBlanks(bytes);
    // Printable ASCII but the backslash (and blanks at the end) needs no
    // escape: runs of it are copied whole.
    const auto plain = [&bytes, trailing](std::size_t i) {
        const char b = bytes[i];
        return b >= ' ' && b < 0x7F && b != '\\' && (b != ' ' || i < trailing);
    };
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t run = at;
        while (run < bytes.size() && plain(run)) {
            ++run;
        }
        if (run > at) {
            out.append(bytes.substr(at, run - at));
            at = run;
            continue;
        }
        char32_t c = 0;
        const std::size_t length = Utf8SequenceLength(bytes.substr(at), c);
        if (length == 0) {
            AppendOctal(out, static_cast<std::uint8_t>(bytes[at]));
            ++at;
            continue;
        }
        const bool ending = at >= trailing;
        if (c == '\\') {
            out += kBackslashShown;
        } else if (c < 0x20 || c == 0x7F) {
            const char letter = kLetterEscapes ? ShortEscape(static_cast<std::uint8_t>(c)) : '\0';
            if (letter != 0) {
                out += '\\';
                out += letter;
            } else {
                AppendOctal(out, static_cast<std::uint8_t>(c));
            }
        } else if (c == ' ' && ending) {
            AppendOctal(out, ' ');
        } else if (NeedsCodePointEscape(c) || (ending && IsBlank(c))) {
            AppendCodePointEscape(out, c);
        } else {
            out.append(bytes.substr(at, length));
        }
        at += length;
    }
}

std::string EscapeName(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    AppendEscapedName(out, bytes);
    return out;
}

namespace {

// True when text (what follows a backslash) is one of the Windows escapes.
bool StartsWindowsEscape(std::string_view text) {
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    if (text.size() >= 3 && text[0] >= '0' && text[0] <= '3' && octal(text[1]) && octal(text[2])) {
        return true;
    }
    const auto hex = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    };
    const std::size_t digits = text.starts_with('u') ? 4 : text.starts_with('U') ? 8 : 0;
    if (digits == 0 || text.size() < digits + 1) {
        return false;
    }
    for (std::size_t k = 1; k <= digits; ++k) {
        if (!hex(text[k])) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<std::string> UnescapeName(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (!kLetterEscapes && !StartsWindowsEscape(text.substr(i + 1))) {
            out += '\\'; // a separator of the path
            continue;
        }
        if (++i >= text.size()) {
            return std::nullopt;
        }
        const char e = text[i];
        switch (kLetterEscapes ? e : '\0') {
        case '\\':
            out += '\\';
            continue;
        case 'a':
            out += '\a';
            continue;
        case 'b':
            out += '\b';
            continue;
        case 't':
            out += '\t';
            continue;
        case 'n':
            out += '\n';
            continue;
        case 'v':
            out += '\v';
            continue;
        case 'f':
            out += '\f';
            continue;
        case 'r':
            out += '\r';
            continue;
        default:
            break;
        }
        if (e >= '0' && e <= '3') {
            if (i + 2 >= text.size()) {
                return std::nullopt;
            }
            int value = 0;
            for (std::size_t k = i; k < i + 3; ++k) {
                if (text[k] < '0' || text[k] > '7') {
                    return std::nullopt;
                }
                value = value * 8 + (text[k] - '0');
            }
            out += static_cast<char>(value);
            i += 2;
            continue;
        }
        if (e == 'u' || e == 'U') {
            const std::size_t digits = e == 'u' ? 4 : 8;
            const std::optional<char32_t> value = ReadCodePoint(text.substr(i + 1), digits);
            if (!value) {
                return std::nullopt;
            }
            AppendUtf8(out, *value);
            i += digits;
            continue;
        }
        return std::nullopt;
    }
    return out;
}

} // namespace varnel::formats
