// The visible escape of names: names that differ look different, nothing in
// a name can act on the text around it, and the escape gives the bytes back.
#include "formats/name_escape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

using varnel::formats::EscapeName;
using varnel::formats::UnescapeName;

namespace {

struct Case {
    std::string bytes;
    std::string shown;
};

TEST(NameEscape, ShowsEachKindOfHostileCharacterVisibly) {
    const Case cases[] = {
        {"/data/简体/繁體 a b.txt", "/data/简体/繁體 a b.txt"}, // untouched
        {"", ""},
        {"a\\b", "a\\\\b"},
        {"a\nb", "a\\nb"},
        {"a\rb", "a\\rb"},
        {"a\tb", "a\\tb"},
        {"a\x01"
         "b",
         "a\\001b"},
        {"a\x1B[31mred", "a\\033[31mred"},
        {"a\x7F", "a\\177"},
        {std::string("a\0b", 3), "a\\000b"},
        {"a\xFF"
         "b",
         "a\\377b"},
        {"a\xFE"
         "b",
         "a\\376b"},
        {"\xE6\x96", "\\346\\226"},          // cut-off sequence
        {"\xC0\xAF", "\\300\\257"},          // overlong form
        {"\xED\xA0\x80", "\\355\\240\\200"}, // surrogate half
        {"bidi\xE2\x80\xAEtxt.exe", "bidi\\u202Etxt.exe"},
        {"\xE2\x81\xA6x\xE2\x81\xA9", "\\u2066x\\u2069"},
        {"\xC2\x85next", "\\u0085next"}, // C1 control
        {"line\xE2\x80\xA8sep", "line\\u2028sep"},
        {"é\xF0\x9F\x98\x80", "é\xF0\x9F\x98\x80"}, // printable beyond the BMP
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EscapeName(c.bytes), c.shown) << c.shown;
        EXPECT_EQ(UnescapeName(c.shown), c.bytes) << c.shown;
    }
}

// Characters that show nothing, and blanks at the end, would make two names
// look the same: they are escaped, and nothing else changes.
TEST(NameEscape, InvisibleCharactersAndTrailingBlanksAreShown) {
    const Case cases[] = {
        {"a\xE2\x80\x8B"
         "b",
         "a\\u200Bb"}, // zero-width space
        {"a\xE2\x80\x8C\xE2\x80\x8D"
         "b",
         "a\\u200C\\u200Db"},
        {"\xE2\x81\xA0\xE2\x81\xA4", "\\u2060\\u2064"},
        {"\xE2\x81\xAA\xE2\x81\xAF", "\\u206A\\u206F"},
        {"\xEF\xBB\xBF"
         "bom",
         "\\uFEFFbom"},
        {"soft\xC2\xAD"
         "hyphen",
         "soft\\u00ADhyphen"},
        {"\xCD\x8F\xE1\xA0\x8E", "\\u034F\\u180E"},
        {"\xEF\xBF\xB9\xEF\xBF\xBB", "\\uFFF9\\uFFFB"},
        {"\xE1\x85\x9F\xE1\x85\xA0\xE3\x85\xA4\xEF\xBE\xA0",
         "\\u115F\\u1160\\u3164\\uFFA0"}, // Hangul fillers
        {"tag\xF3\xA0\x80\x81\xF3\xA0\x81\xBF", "tag\\U000E0001\\U000E007F"},
        {"\xF0\x9D\x85\xB3\xF0\x9B\xB2\xA0", "\\U0001D173\\U0001BCA0"},
        // Blanks: every one of the run that ends the name, none inside it.
        {"sp ", "sp\\040"},
        {"sp  ", "sp\\040\\040"},
        {" ", "\\040"},
        {" a  b ", " a  b\\040"},
        {"a \xC2\xA0", "a\\040\\u00A0"},
        {"名\xE3\x80\x80", "名\\u3000"},
        {"名\xE3\x80\x80字", "名\xE3\x80\x80字"},
        {"a \xE2\x80\x8B", "a \\u200B"}, // the blank is no longer last when shown
        {"a \xFF", "a \\377"},
        {"a \n", "a \\n"},
        // Ordinary names look as before: Chinese, emoji with their variation
        // selector, a sequence chosen from the ideograph variants.
        {"简体 繁體.txt", "简体 繁體.txt"},
        {"\xE2\x9D\xA4\xEF\xB8\x8F.png", "\xE2\x9D\xA4\xEF\xB8\x8F.png"},
        {"\xE8\xBE\xBB\xF3\xA0\x84\x80", "\xE8\xBE\xBB\xF3\xA0\x84\x80"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EscapeName(c.bytes), c.shown) << c.shown;
        EXPECT_EQ(UnescapeName(c.shown), c.bytes) << c.shown;
    }
}

// Every character and every blank ending a name comes back from its escape,
// and what is escaped is shown in printable ASCII alone.
TEST(NameEscape, EveryCharacterComesBackFromItsEscape) {
    std::size_t escaped = 0;
    for (char32_t c = 1; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) {
            continue;
        }
        std::string bytes;
        if (c < 0x80) {
            bytes += static_cast<char>(c);
        } else if (c < 0x800) {
            bytes += static_cast<char>(0xC0 | (c >> 6));
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            bytes += static_cast<char>(0xE0 | (c >> 12));
            bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | (c >> 18));
            bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        }
        for (const std::string& name : {"a" + bytes + "b", "a" + bytes}) {
            const std::string shown = EscapeName(name);
            ASSERT_EQ(UnescapeName(shown), name) << shown;
            if (shown != name) {
                ++escaped;
                EXPECT_TRUE(std::all_of(shown.begin(), shown.end(), [](char b) {
                    return b > ' ' && b < 0x7F;
                })) << shown;
            }
        }
    }
    EXPECT_GT(escaped, 0u);
}

TEST(NameEscape, NamesThatDifferLookDifferent) {
    const std::string names[] = {"a\nb",
                                 "a\rb",
                                 "a\x01"
                                 "b",
                                 "a\xFF"
                                 "b",
                                 "a\xFE"
                                 "b",
                                 "a\\nb",
                                 "a\\377b",
                                 "a\\u202Eb",
                                 "a\xE2\x80\xAE"
                                 "b",
                                 "ab",
                                 "a\xE2\x80\x8B"
                                 "b",
                                 "a\xE2\x81\xA0"
                                 "b",
                                 "a\\u200Bb",
                                 "sp",
                                 "sp ",
                                 "sp  ",
                                 "sp\\040",
                                 "sp\xC2\xA0"};
    std::set<std::string> shown;
    for (const std::string& name : names) {
        EXPECT_TRUE(shown.insert(EscapeName(name)).second) << EscapeName(name);
    }
}

TEST(NameEscape, MalformedEscapesAreRefused) {
    for (const char* text :
         {"\\", "a\\", "\\q", "\\4", "\\08", "\\77", "\\u12", "\\uD800", "\\u12G4", "\\U0001F60",
          "\\U0001F60G", "\\U0000DC00", "\\U00110000", "\\UFFFFFFFF"}) {
        EXPECT_FALSE(UnescapeName(text).has_value()) << text;
    }
}

} // namespace
