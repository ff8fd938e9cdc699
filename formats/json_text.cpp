#include "formats/json_text.h"

#include "formats/utf8.h"

#include <cstdint>

namespace varnel::formats {

namespace {

constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// U+FFFD, written for a byte that is not part of well-formed UTF-8.
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// True for the ASCII bytes written as they are: printable, neither the
// quotation mark nor the backslash.
constexpr bool IsPlainAscii(unsigned char c) {
    return c >= 0x20 && c < 0x7F && c != '"' && c != '\\';
}

} // namespace

void AppendJsonString(std::string& out, std::string_view utf8Text) {
    out += '"';
    std::size_t i = 0;
    while (i < utf8Text.size()) {
        // Runs of plain ASCII, most of any name, are copied in one piece.
        std::size_t run = i;
        while (run < utf8Text.size() && IsPlainAscii(static_cast<unsigned char>(utf8Text[run]))) {
            ++run;
        }
        out.append(utf8Text.data() + i, run - i);
        i = run;
        if (i >= utf8Text.size()) {
            break;
        }
        const auto c = static_cast<unsigned char>(utf8Text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x80) { // a control character or DEL
            constexpr std::string_view digits = "0123456789ABCDEF";
            out += "\\u00";
            out += digits[c >> 4];
            out += digits[c & 0x0F];
            ++i;
        } else {
            char32_t codePoint = 0;
            const std::size_t length = Utf8SequenceLength(utf8Text.substr(i), codePoint);
            if (length == 0) {
                out += kReplacement;
                ++i;
            } else {
                out.append(utf8Text.data() + i, length);
                i += length;
            }
        }
    }
    out += '"';
}

std::string JsonString(std::string_view utf8Text) {
    std::string out;
    AppendJsonString(out, utf8Text);
    return out;
}

void AppendBase64(std::string& out, std::string_view bytes) {
    const auto at = [&bytes](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]));
    };
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group = (at(i) << 16) | (at(i + 1) << 8) | at(i + 2);
        out += kBase64Alphabet[(group >> 18) & 0x3F];
        out += kBase64Alphabet[(group >> 12) & 0x3F];
        out += kBase64Alphabet[(group >> 6) & 0x3F];
        out += kBase64Alphabet[group & 0x3F];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest == 0) {
        return;
    }
    const std::uint32_t group = (at(i) << 16) | (rest == 2 ? at(i + 1) << 8 : 0);
    out += kBase64Alphabet[(group >> 18) & 0x3F];
    out += kBase64Alphabet[(group >> 12) & 0x3F];
    out += rest == 2 ? kBase64Alphabet[(group >> 6) & 0x3F] : '=';
    out += '=';
}

std::string Base64(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    AppendBase64(out, bytes);
    return out;
}

} // namespace varnel::formats
