#include "formats/hex.h"

#include <algorithm>

namespace varnel::formats {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

} // namespace

void AppendHex(std::string& out, std::uint32_t value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        out += kDigits[(value >> shift) & 0xFu];
    }
}

std::string Hex8(std::uint32_t value) {
    std::string text;
    text.reserve(8);
    AppendHex(text, value, 8);
    return text;
}

std::string HexUpper(std::span<const std::uint8_t> bytes) {
    std::string text(bytes.size() * 2, '\0');
    char* out = text.data();
    for (const std::uint8_t b : bytes) {
        *out++ = kDigits[b >> 4];
        *out++ = kDigits[b & 0x0Fu];
    }
    return text;
}

int HexDigitValue(char c) {
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

bool IsHex(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsHexDigit);
}

std::string HexToUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

std::string HexToLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'F') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

} // namespace varnel::formats
