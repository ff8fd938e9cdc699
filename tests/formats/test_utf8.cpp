// The one judge of UTF-8: the boundaries of each sequence length, the forms
// the standard forbids, and agreement with the name escape, which shows
// every byte the judge refuses in octal.

#include "formats/name_escape.h"
#include "formats/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace varnel::formats {
namespace {

TEST(Utf8, WellFormedAndRefusedSequences) {
    struct Case {
        std::string bytes;
        std::size_t length; // of the first character; 0: refused
        char32_t codePoint;
    };
    const Case cases[] = {
        {"A", 1, U'A'},
        {"\x7F", 1, 0x7F},
        {"\xC2\x80", 2, 0x80}, // the first two-byte character
        {"\xDF\xBF", 2, 0x7FF},
        {"\xE0\xA0\x80", 3, 0x800},
        {"\xED\x9F\xBF", 3, 0xD7FF}, // just below the surrogates
        {"\xEE\x80\x80", 3, 0xE000}, // just above them
        {"\xEF\xBF\xBF", 3, 0xFFFF},
        {"\xF0\x90\x80\x80", 4, 0x10000},
        {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF}, // the last code point
        {"\xC0\x80", 0, 0},                // overlong NUL
        {"\xC1\xBF", 0, 0},                // overlong DEL
        {"\xE0\x80\x80", 0, 0},            // overlong, three bytes
        {"\xE0\x9F\xBF", 0, 0},            // overlong U+07FF
        {"\xF0\x8F\xBF\xBF", 0, 0},        // overlong U+FFFF
        {"\xED\xA0\x80", 0, 0},            // high surrogate
        {"\xED\xBF\xBF", 0, 0},            // low surrogate
        {"\xF4\x90\x80\x80", 0, 0},        // above U+10FFFF
        {"\xF5\x80\x80\x80", 0, 0},
        {"\x80", 0, 0},         // a lone continuation byte
        {"\xE4\xB8", 0, 0},     // cut short
        {"\xE4\x41\xAD", 0, 0}, // a non-continuation inside
        {"\xFF", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        char32_t codePoint = 0;
        EXPECT_EQ(Utf8SequenceLength(c.bytes, codePoint), c.length);
        if (c.length != 0) {
            EXPECT_EQ(codePoint, c.codePoint);
        }
        // Whole texts: the sequence after a long ASCII run (read eight bytes
        // at a time), and alone.
        EXPECT_EQ(IsUtf8(c.bytes), c.length == c.bytes.size());
        EXPECT_EQ(IsUtf8("0123456789abcdef" + c.bytes + "xyz"), c.length == c.bytes.size());
        // The name escape refuses exactly what the judge refuses.
        if (c.length == 0) {
            EXPECT_NE(EscapeName(c.bytes), c.bytes);
            EXPECT_EQ(UnescapeName(EscapeName(c.bytes)), c.bytes);
        } else if (c.codePoint >= 0xA0) {
            EXPECT_EQ(EscapeName(c.bytes), c.bytes);
        }
    }
    char32_t none = 0;
    EXPECT_EQ(Utf8SequenceLength("", none), 0u);
}

} // namespace
} // namespace varnel::formats
