// JSON strings and base64: tables of the escapes and of RFC 4648's examples,
// with Python's json module and coreutils' base64 as independent judges.
#include "formats/json_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace varnel::formats {
namespace {

// The standard output of command, whole.
std::string OutputOf(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run " << command;
        return out;
    }
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) {
        out.append(buffer, n);
    }
    EXPECT_EQ(::pclose(pipe), 0) << command;
    return out;
}

// The bytes as lower-case hex (what the Python judge prints).
std::string Hex(std::string_view bytes) {
    std::string out;
    char two[3];
    for (const char c : bytes) {
        std::snprintf(two, sizeof two, "%02x", static_cast<unsigned char>(c));
        out += two;
    }
    return out;
}

struct JsonCase {
    std::string text;
    std::string json;    // what AppendJsonString writes
    std::string decoded; // what a JSON reader makes of it again
};

const std::vector<JsonCase>& JsonCases() {
    const std::string fffd = "\xEF\xBF\xBD";
    static const std::vector<JsonCase> cases = {
        {"", R"("")", ""},
        {"plain name.txt", R"("plain name.txt")", "plain name.txt"},
        {R"(a"b\c/d)", R"("a\"b\\c/d")", R"(a"b\c/d)"},
        // Every control character and DEL as \u00XX: a record stays one line.
        {"\n\r\t\b\f", R"("\u000A\u000D\u0009\u0008\u000C")", "\n\r\t\b\f"},
        {std::string("a\0b\x1F\x7F", 5), R"("a\u0000b\u001F\u007F")",
         std::string("a\0b\x1F\x7F", 5)},
        // Other characters as they are, beyond U+FFFF and the separators too.
        {"简体 \xF0\x9F\x98\x80 \xE2\x80\xA8", "\"简体 \xF0\x9F\x98\x80 \xE2\x80\xA8\"",
         "简体 \xF0\x9F\x98\x80 \xE2\x80\xA8"},
        // A byte outside well-formed UTF-8 is U+FFFD, one per byte: a lone
        // byte, an overlong form, a surrogate, a cut sequence.
        {"x\xFEy", "\"x" + fffd + "y\"", "x" + fffd + "y"},
        {"\xC0\xAF", "\"" + fffd + fffd + "\"", fffd + fffd},
        {"\xED\xA0\x80", "\"" + fffd + fffd + fffd + "\"", fffd + fffd + fffd},
        {"end\xE4\xBD", "\"end" + fffd + fffd + "\"", "end" + fffd + fffd},
    };
    return cases;
}

TEST(JsonText, StringsAreEscapedAsTheTableSays) {
    for (const JsonCase& c : JsonCases()) {
        EXPECT_EQ(JsonString(c.text), c.json) << Hex(c.text);
        std::string appended = "[";
        AppendJsonString(appended, c.text);
        EXPECT_EQ(appended, "[" + c.json) << Hex(c.text);
    }
}

TEST(JsonText, PythonsJsonModuleReadsEveryStringBack) {
    std::string script = "import json, sys\n"
                         "for line in sys.stdin.buffer.read().split(b'\\n')[:-1]:\n"
                         "    print(json.loads(line).encode('utf-8').hex())\n";
    std::string lines;
    std::string expected;
    for (const JsonCase& c : JsonCases()) {
        lines += JsonString(c.text) + "\n";
        expected += Hex(c.decoded) + "\n";
    }
    char file[] = "/tmp/json_text_XXXXXX";
    const int fd = ::mkstemp(file);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    ::close(fd);
    std::string quoted;
    for (const char c : script) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    EXPECT_EQ(OutputOf("/usr/bin/python3 -c '" + quoted + "' < " + file), expected);
    std::remove(file);
}

TEST(Base64, TheExamplesOfRfc4648) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(Base64(bytes), text) << bytes;
    }
}

TEST(Base64, EveryByteValueAsCoreutilsWritesIt) {
    // Every byte, in the three positions of a group, and each length of tail.
    std::string bytes;
    for (int round = 0; round < 3; ++round) {
        for (int b = 0; b < 256; ++b) {
            bytes += static_cast<char>(b);
        }
        bytes += 'x';
    }
    char file[] = "/tmp/json_text_XXXXXX";
    const int fd = ::mkstemp(file);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
    for (const std::size_t length : {bytes.size(), bytes.size() - 1, bytes.size() - 2}) {
        const std::string command =
            "head -c " + std::to_string(length) + " " + file + " | /usr/bin/base64 -w 0";
        EXPECT_EQ(Base64(std::string_view(bytes).substr(0, length)), OutputOf(command)) << length;
    }
    std::remove(file);
}

} // namespace
} // namespace varnel::formats
