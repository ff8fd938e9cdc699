#include "platform/formats/name_escape.h"

#include "platform/formats/utf8.h"

#include <cstdint>

namespace varnel::platform {
namespace {

bool NeedsCodePointEscape(char32_t c) {
    return (c >= 0x80 && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x2028 ||
           c == 0x2029;
}

void AppendOctal(std::string& out, std::uint8_t byte) {
    out += '\\';
    out += static_cast<char>('0' + ((byte >> 6) & 7));
    out += static_cast<char>('0' + ((byte >> 3) & 7));
    out += static_cast<char>('0' + (byte & 7));
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

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

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

void AppendEscapedName(std::string& out, std::string_view bytes) {
    while (!bytes.empty()) {
        char32_t c = 0;
        const std::size_t length = Utf8SequenceLength(bytes, c);
        if (length == 0) {
            AppendOctal(out, static_cast<std::uint8_t>(bytes[0]));
            bytes.remove_prefix(1);
            continue;
        }
        if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c == 0x7F) {
            const char letter = ShortEscape(static_cast<std::uint8_t>(c));
            if (letter != 0) {
                out += '\\';
                out += letter;
            } else {
                AppendOctal(out, static_cast<std::uint8_t>(c));
            }
        } else if (NeedsCodePointEscape(c)) {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                out += kHexDigits[(c >> shift) & 0xF];
            }
        } else {
            out.append(bytes.substr(0, length));
        }
        bytes.remove_prefix(length);
    }
}

std::string EscapeName(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    AppendEscapedName(out, bytes);
    return out;
}

std::optional<std::string> UnescapeName(std::string_view text) {
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
        const char e = text[i];
        switch (e) {
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
        if (e == 'u') {
            if (i + 4 >= text.size()) {
                return std::nullopt;
            }
            char32_t value = 0;
            for (std::size_t k = i + 1; k <= i + 4; ++k) {
                const int digit = HexValue(text[k]);
                if (digit < 0) {
                    return std::nullopt;
                }
                value = (value << 4) | static_cast<char32_t>(digit);
            }
            if (value >= 0xD800 && value <= 0xDFFF) {
                return std::nullopt;
            }
            AppendUtf8(out, value);
            i += 4;
            continue;
        }
        return std::nullopt;
    }
    return out;
}

} // namespace varnel::platform
