#pragma once

// Hex text as checksum lists and report lines hold it: digits told by plain
// comparison (the locale's classification is a call per byte, and lists hold
// little else), case folded for A to F only.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace varnel {

constexpr bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

inline bool IsHex(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsHexDigit);
}

inline std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

inline std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'F') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

// Eight upper-case hex digits, as CRC-32 values are written.
inline std::string Hex8(std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xFu];
        value >>= 4;
    }
    return text;
}

} // namespace varnel
