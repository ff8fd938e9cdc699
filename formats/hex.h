#pragma once

// Hexadecimal text: the one encoder and decoder of the program. Digests,
// CRC-32 values and the code points of the name escape are written with
// upper-case digits; either case is read. Digits are told by plain
// comparison, not by the locale's classification (a call per byte, and
// checksum lists hold little else).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace varnel::formats {

// Appends the last digits hexadecimal digits of value (1 to 8), upper case,
// leading zeros kept: AppendHex(out, 0x202E, 4) appends "202E".
void AppendHex(std::string& out, std::uint32_t value, int digits);

// Eight digits, as CRC-32 values are written ("352441C2").
std::string Hex8(std::uint32_t value);

// Two digits per byte, in order, no separators (digests).
std::string HexUpper(std::span<const std::uint8_t> bytes);

// The value of one hexadecimal digit, either case; -1 for any other
// character.
int HexDigitValue(char c);

constexpr bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// True when text is not empty and holds hexadecimal digits only.
bool IsHex(std::string_view text);

// text with the letters a to f made upper case (or A to F lower case); every
// other byte is kept as it is.
std::string HexToUpper(std::string_view text);
std::string HexToLower(std::string_view text);

} // namespace varnel::formats
