// The visible escape of names: names that differ look different, nothing in
// a name can act on the text around it, and the escape gives the bytes back.
#include "platform/formats/name_escape.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using varnel::platform::EscapeName;
using varnel::platform::UnescapeName;

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
                                 "b"};
    std::set<std::string> shown;
    for (const std::string& name : names) {
        EXPECT_TRUE(shown.insert(EscapeName(name)).second) << EscapeName(name);
    }
}

TEST(NameEscape, MalformedEscapesAreRefused) {
    for (const char* text :
         {"\\", "a\\", "\\q", "\\4", "\\08", "\\77", "\\u12", "\\uD800", "\\u12G4"}) {
        EXPECT_FALSE(UnescapeName(text).has_value()) << text;
    }
}

} // namespace
