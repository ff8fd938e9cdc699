// Hexadecimal text, the one encoder and decoder of the program: checked
// against the C library's printf and strtol, which share none of its code.
#include "formats/hex.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace varnel::formats {
namespace {

// value as printf writes it in width upper-case digits.
std::string Printf(unsigned value, int width) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*X", width, value);
    return text;
}

TEST(Hex, EncodesAsPrintfDoes) {
    std::vector<std::uint8_t> all;
    std::string expected;
    for (unsigned b = 0; b < 256; ++b) {
        all.push_back(static_cast<std::uint8_t>(b));
        expected += Printf(b, 2);
    }
    EXPECT_EQ(HexUpper(all), expected);
    EXPECT_EQ(HexUpper({}), "");

    const struct {
        std::uint32_t value;
        int digits;
    } cases[] = {
        {0, 8},       {0x352441C2, 8}, {0xFFFFFFFF, 8}, {0x202E, 4},
        {0xE0041, 8}, {0xABCDEF, 4},   {0x7, 1},        {0x12345678, 3},
    };
    for (const auto& c : cases) {
        std::string out = "x";
        AppendHex(out, c.value, c.digits);
        const std::string full = Printf(c.value, 8);
        EXPECT_EQ(out, "x" + full.substr(8 - static_cast<std::size_t>(c.digits))) << full;
    }
    EXPECT_EQ(Hex8(0x352441C2), "352441C2"); // cksum -a crc32b of "abc"
    EXPECT_EQ(Hex8(0x9), "00000009");
}

TEST(Hex, DecodesEveryByteAsStrtolDoes) {
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        const char text[2] = {c, '\0'};
        char* end = nullptr;
        const long value = std::strtol(text, &end, 16);
        const bool digit = end == text + 1;
        EXPECT_EQ(IsHexDigit(c), digit) << b;
        EXPECT_EQ(HexDigitValue(c), digit ? static_cast<int>(value) : -1) << b;
    }
}

TEST(Hex, TellsHexTextAndFoldsItsCase) {
    const struct {
        std::string text;
        bool hex;
        std::string upper;
        std::string lower;
    } cases[] = {
        {"", false, "", ""},
        {"0123456789abcdefABCDEF", true, "0123456789ABCDEFABCDEF", "0123456789abcdefabcdef"},
        {"352441c2", true, "352441C2", "352441c2"},
        {"12 34", false, "12 34", "12 34"},
        {"xyzXYZ", false, "xyzXYZ", "xyzXYZ"}, // only a to f change case
        {"\xC3\xA9"
         "f",
         false,
         "\xC3\xA9"
         "F",
         "\xC3\xA9"
         "f"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsHex(c.text), c.hex) << c.text;
        EXPECT_EQ(HexToUpper(c.text), c.upper) << c.text;
        EXPECT_EQ(HexToLower(c.text), c.lower) << c.text;
    }
}

} // namespace
} // namespace varnel::formats
