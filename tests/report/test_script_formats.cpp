// Records for scripts (JSON Lines and CSV) from facts made here, field by
// field against the table of expected lines; the time form against dates
// worked out with date(1); the facts of a stream whose reads fail; the
// later digest kinds of files and streams, against openssl dgst, xxhsum and
// b3sum.
#include "report/script_formats.h"
#include "report/stream_facts.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

namespace varnel {
namespace {

using std::chrono::seconds;
using std::chrono::sys_seconds;

TEST(IsoUtcTime, DatesAndTheFractionOfTheSecond) {
    struct Case {
        std::int64_t seconds;
        std::uint32_t nanoseconds;
        std::string text;
    };
    const std::vector<Case> cases = {
        {0, 0, "1970-01-01T00:00:00.000000000Z"},
        {1709647629, 123456789, "2024-03-05T14:07:09.123456789Z"},
        {951782400, 1, "2000-02-29T00:00:00.000000001Z"},  // a leap day
        {-1, 999999999, "1969-12-31T23:59:59.999999999Z"}, // before 1970
        {-62167219200, 0, "0000-01-01T00:00:00.000000000Z"},
        {-62198755200, 0, "-0001-01-01T00:00:00.000000000Z"},
        {253402300800, 0, "+10000-01-01T00:00:00.000000000Z"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsoUtcTime(sys_seconds(seconds(c.seconds)), c.nanoseconds), c.text) << c.seconds;
    }
}

TEST(CsvField, QuotedOnlyWhenItMustBe) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"plain name.txt", "plain name.txt"},
        {" blanks kept ", " blanks kept "},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"line\nfeed", "\"line\nfeed\""},
        {"carriage\rreturn", "\"carriage\rreturn\""},
        {"\"", "\"\"\"\""},
    };
    for (const auto& [value, field] : cases) {
        std::string out = "x,";
        AppendCsvField(out, value);
        EXPECT_EQ(out, "x," + field) << value;
    }
}

FileFacts ReadFacts() {
    FileFacts facts;
    facts.size = 3;
    facts.modified = sys_seconds(seconds(1769915045)); // 2026-02-01 03:04:05 UTC
    facts.modifiedNanoseconds = 123456789;
    facts.crc32 = 0x352441C2;
    facts.sha1 = "A9993E364706816ABA3E25717850C26C9CD0D89D";
    facts.md5 = "900150983CD24FB0D6963F7D28E17F72";
    facts.sha256 = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
    return facts;
}

FileFacts FailedFacts() {
    FileFacts facts;
    facts.size = 10;
    facts.modified = sys_seconds(seconds(0));
    facts.readOk = false;
    facts.failureKind = ReadFailure::OpenFailed;
    facts.failure = "Permission denied";
    return facts;
}

ScriptSelection Selection(bool size, bool time, bool version, DigestSelection digests) {
    ScriptSelection selection;
    selection.options.ShowSize = size;
    selection.options.ShowModifiedTime = time;
    selection.options.ShowVersion = version;
    selection.digests = digests;
    return selection;
}

struct RecordCase {
    const char* what;
    ScriptSelection selection;
    std::string name;
    FileFacts facts;
    std::string json; // the line, without its line feed
    std::string csv;  // the header row and the record's row, without CR LF
};

std::vector<RecordCase> RecordCases() {
    FileFacts versioned = ReadFacts();
    versioned.version = "1.2.3.4";
    return {
        {"no size, no time; CRC-32 and SHA-256",
         Selection(false, false, false, {true, false, true, true}), "a", ReadFacts(),
         R"({"name":"a","crc32":"352441c2","md5":"900150983cd24fb0d6963f7d28e17f72",)"
         R"("sha256":"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"})",
         "name,name_bytes,crc32,md5,sha256,error\n"
         "a,,352441c2,900150983cd24fb0d6963f7d28e17f72,"
         "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad,"},
        {"a version asked for and found", Selection(false, false, true, {false, false, true}),
         "v.dll", versioned,
         R"({"name":"v.dll","version":"1.2.3.4","md5":"900150983cd24fb0d6963f7d28e17f72"})",
         "name,name_bytes,version,md5,error\nv.dll,,1.2.3.4,900150983cd24fb0d6963f7d28e17f72,"},
        {"a version asked for, none found", Selection(false, false, true, {false, false, true}),
         "v", ReadFacts(), R"({"name":"v","md5":"900150983cd24fb0d6963f7d28e17f72"})",
         "name,name_bytes,version,md5,error\nv,,,900150983cd24fb0d6963f7d28e17f72,"},
        {"a file not read: the reason in place of the digests",
         Selection(true, true, false, {true, true, true}), "locked", FailedFacts(),
         R"({"name":"locked","size":10,"modified":"1970-01-01T00:00:00.000000000Z",)"
         R"("error":"Permission denied"})",
         "name,name_bytes,size,modified,crc32,sha1,md5,error\n"
         "locked,,10,1970-01-01T00:00:00.000000000Z,,,,Permission denied"},
    };
}

TEST(ScriptWriter, JsonRecordsAsTheTableSays) {
    for (const RecordCase& c : RecordCases()) {
        ScriptWriter writer(ScriptFormat::Json, c.selection);
        std::string out;
        writer.AppendStart(out);
        EXPECT_EQ(out, "") << c.what;
        writer.AppendRecord(out, c.name, c.facts);
        writer.AppendRecord(out, c.name, c.facts); // the writer's scratch text is reused
        EXPECT_EQ(out, c.json + "\n" + c.json + "\n") << c.what;
    }
}

TEST(ScriptWriter, CsvHeaderAndRowsAsTheTableSays) {
    for (const RecordCase& c : RecordCases()) {
        ScriptWriter writer(ScriptFormat::Csv, c.selection);
        std::string out;
        writer.AppendStart(out);
        writer.AppendRecord(out, c.name, c.facts);
        // The table writes the row ends as LF; the name's own LF stays LF.
        std::string expected;
        const std::size_t header = c.csv.find('\n');
        expected = c.csv.substr(0, header) + "\r\n" + c.csv.substr(header + 1) + "\r\n";
        EXPECT_EQ(out, expected) << c.what;
    }
}

// A source that gives its bytes in pieces of at most piece bytes and then,
// when failAfter is reached, fails as a read does.
StreamSource PiecesOf(const std::string& bytes, std::size_t piece, std::size_t failAfter) {
    auto at = std::make_shared<std::size_t>(0);
    return [bytes, piece, failAfter, at](std::span<char> dest) -> std::size_t {
        if (*at >= failAfter) {
            throw std::system_error(EIO, std::generic_category());
        }
        const std::size_t n = std::min({dest.size(), piece, bytes.size() - *at, failAfter - *at});
        std::memcpy(dest.data(), bytes.data() + *at, n);
        *at += n;
        return n;
    };
}

TEST(StreamFacts, AFailedReadGivesNoDigestButItsReason) {
    for (const std::size_t failAfter : {std::size_t{0}, std::size_t{2}}) {
        const FileFacts facts =
            GatherStreamFacts(PiecesOf("abc", 1, failAfter), {true, true, true});
        EXPECT_FALSE(facts.readOk);
        EXPECT_EQ(facts.failureKind, ReadFailure::ReadFailed);
        EXPECT_EQ(facts.failure, "read error: Input/output error");
        EXPECT_FALSE(facts.size) << "a failed read has no size, as a failed file has none";
        EXPECT_EQ(facts.crc32, 0u);
        EXPECT_EQ(facts.md5, "");
        EXPECT_EQ(facts.sha1, "");
    }
}

// What the tool prints for path: the last word of a tagged line ("XXH3
// (<name>) = <hex>", "SHA3-256(<name>)= <hex>"), else the first.
std::string JudgeOf(const std::string& tool, const std::filesystem::path& path) {
    FILE* pipe = ::popen((tool + " '" + path.string() + "' 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return {};
    }
    char line[512] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    ::pclose(pipe);
    std::string text = got ? std::string(line) : std::string();
    text = text.substr(0, text.find('\n'));
    const bool tagged =
        text.find(")= ") != std::string::npos || text.find(") = ") != std::string::npos;
    return tagged ? text.substr(text.rfind(' ') + 1) : text.substr(0, text.find(' '));
}

TEST(ScriptWriter, TheLaterKindsOfFilesAndStreamsAreWhatTheJudgesPrint) {
    test::ScratchDir dir;
    ScriptSelection selection;
    selection.options.ShowSize = selection.options.ShowModifiedTime = false;
    selection.digests.md5 = true;
    // In the order of the table of digest kinds, as the record writes them.
    const std::pair<const char*, std::string> judges[] = {
        {"sha3_256", "openssl dgst -sha3-256"},
        {"sha3_512", "openssl dgst -sha3-512"},
        {"xxh3", "xxhsum -H3"},
        {"xxh128", "xxhsum -H128"},
        {"blake3", "b3sum"},
    };
    for (const auto& [field, tool] : judges) {
        selection.digests.*(DigestKindOf(*DigestKindOfField(field)).selected) = true;
    }
    FactsGatherer gatherer;
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4095},
                                   std::size_t{4096}, std::size_t{(1u << 20) + 1}}) {
        SCOPED_TRACE(size);
        const std::vector<std::uint8_t> bytes =
            test::PseudoRandomBytes(size, static_cast<std::uint32_t>(size) + 3);
        const std::filesystem::path path = dir / ("f" + std::to_string(size));
        test::WriteFile(path, bytes);
        std::string expected = R"({"name":"f","md5":")" + JudgeOf("md5sum", path) + '"';
        for (const auto& [field, tool] : judges) {
            const std::string hex = JudgeOf(tool, path);
            ASSERT_EQ(hex.size(), DigestKindOf(*DigestKindOfField(field)).hexLength) << tool;
            expected += std::string(",\"") + field + "\":\"" + hex + '"';
        }
        expected += "}\n";

        FactsGatherer::Control control;
        control.digests = selection.digests;
        const FileFacts fromFile = gatherer.Gather(path, ReportOptions{}, {}, control);
        const std::string text(bytes.begin(), bytes.end());
        const FileFacts fromStream =
            GatherStreamFacts(PiecesOf(text, 1000, text.size() + 1), selection.digests);
        for (const FileFacts* facts : {&fromFile, &fromStream}) {
            ScriptWriter writer(ScriptFormat::Json, selection);
            std::string out;
            writer.AppendRecord(out, "f", *facts);
            EXPECT_EQ(out, expected) << (facts == &fromFile ? "file" : "stream");
        }
    }
}

} // namespace
} // namespace varnel
