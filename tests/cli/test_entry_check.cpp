// One list entry against its file's facts: which checks fail, named and
// ordered as results show them, for report blocks and the tools' lines.

#include "lists/entry_check.h"
#include "lists/result_json.h"
#include "lists/result_words.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

// The facts of a file holding "abc", modified 2024-03-05 14:07:09 (local
// time), each digest as its tool gives it.
FileFacts Abc() {
    FileFacts facts;
    facts.size = 3;
    facts.modified = std::chrono::sys_seconds(std::chrono::seconds(1709647629));
    facts.version = "1.2.3.4";
    facts.crc32 = 0x352441C2;                                // cksum -a crc32b
    facts.md5 = "900150983CD24FB0D6963F7D28E17F72";          // md5sum
    facts.sha1 = "A9993E364706816ABA3E25717850C26C9CD0D89D"; // sha1sum
    facts.sha256 = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"; // sha256sum
    facts.sha512 = "DDAF35A193617ABACC417349AE20413112E6FA4E89A97EA20A9EEEE64B55D39A"
                   "2192992A274FC1A836BA3C23A3FEEBBD454D4423643CE80E2A9AC94FA54CA49F"; // sha512sum
    facts.blake2b = "BA80A53F981C4D0D6A2797B69F12F6E94C212F14685AC4B74B12BB6FDBFFA2D1"
                    "7D87C5392AAB792DC252D5DE4533CC9518D38AA8DBF1925AB92386EDD4009923"; // b2sum
    return facts;
}

const LocalTime kHere{2024, 3, 5, 14, 7, 9, "3/5/24 2:07:09 PM"};

// A report block of "abc" as the window saves it, every line matching.
ListEntry Block(bool converted = false) {
    const FileFacts facts = Abc();
    ListEntry entry;
    entry.name = entry.shown = "abc";
    entry.report = true;
    entry.converted = converted;
    entry.version = "V1.2.3.4";
    entry.size = converted ? "3 字節" : "3 字节";
    entry.time = "2024/3/5 14:07:09";
    entry.Expected(DigestKind::Crc32) = "352441C2";
    entry.Expected(DigestKind::Sha1) = facts.sha1;
    entry.Expected(DigestKind::Md5) = facts.md5;
    return entry;
}

ListEntry Line(DigestKind kind, std::string hex) {
    ListEntry entry;
    entry.name = entry.shown = "abc";
    entry.Expected(kind) = std::move(hex);
    return entry;
}

TEST(EntryCheck, FailedChecksOfEachKindOfEntry) {
    const FileFacts abc = Abc();
    struct Case {
        std::string_view what;
        ListEntry entry;
        FileFacts facts;
        std::optional<LocalTime> time;
        std::vector<std::string_view> failed;
        std::size_t checks;
    };
    const auto with = [](ListEntry entry, auto change) {
        change(entry);
        return entry;
    };
    const auto facts = [&](auto change) {
        FileFacts changed = Abc();
        change(changed);
        return changed;
    };
    const std::string zeros(32, '0');
    const Case cases[] = {
        {"a block whose every line matches", Block(), abc, kHere, {}, 6},
        {"a converted block", Block(true), abc, kHere, {}, 6},
        {"the time in this machine's own words",
         with(Block(), [](ListEntry& e) { e.time = "3/5/24 2:07:09 PM"; }),
         abc,
         kHere,
         {},
         6},
        {"month and day swapped in the time",
         with(Block(), [](ListEntry& e) { e.time = "2024/5/3 14:07:09"; }),
         abc,
         kHere,
         {"modified time"},
         6},
        {"no time here to compare with", Block(), abc, std::nullopt, {"modified time"}, 6},
        {"the file grew",
         Block(),
         facts([](FileFacts& f) {
             f.size = 4;
             f.md5 = "0";
         }),
         kHere,
         {"size", "MD5"},
         6},
        {"the size's unit of the other form",
         with(Block(true), [](ListEntry& e) { e.size = "3 字节"; }),
         abc,
         kHere,
         {"size"},
         6},
        {"a size that cannot be read",
         Block(),
         facts([](FileFacts& f) { f.size.reset(); }),
         kHere,
         {"size"},
         6},
        {"another version",
         Block(),
         facts([](FileFacts& f) { f.version = "1.2.3.5"; }),
         kHere,
         {"version"},
         6},
        {"the file lost its version",
         Block(),
         facts([](FileFacts& f) { f.version.clear(); }),
         kHere,
         {"version"},
         6},
        {"a block of the MD5 line only, every digest wrong",
         with(Block(),
              [&](ListEntry& e) {
                  e.version.reset();
                  e.size.reset();
                  e.time.reset();
                  e.Expected(DigestKind::Md5) = zeros;
              }),
         facts([](FileFacts& f) {
             f.crc32 = 0;
             f.sha1 = "";
         }),
         std::nullopt,
         {"CRC-32", "SHA-1", "MD5"},
         3},
        {"a block of a file not read when it was saved",
         with(Block(), [](ListEntry& e) { e.Expected(DigestKind::Sha1) = ""; }),
         abc,
         kHere,
         {"SHA-1"},
         6},
        {"an md5sum line", Line(DigestKind::Md5, abc.md5), abc, std::nullopt, {}, 1},
        {"an md5sum line that differs",
         Line(DigestKind::Md5, zeros),
         abc,
         std::nullopt,
         {"MD5"},
         1},
        {"an sfv line", Line(DigestKind::Crc32, "352441C2"), abc, std::nullopt, {}, 1},
        {"a 128-digit line of SHA-512",
         Line(DigestKind::Wide512, abc.sha512),
         abc,
         std::nullopt,
         {},
         1},
        {"a 128-digit line of BLAKE2b",
         Line(DigestKind::Wide512, abc.blake2b),
         abc,
         std::nullopt,
         {},
         1},
        {"a 128-digit line of neither",
         Line(DigestKind::Wide512, std::string(128, '0')),
         abc,
         std::nullopt,
         {"SHA-512 or BLAKE2b"},
         1},
        {"bsd lines of one file, in the order results name them",
         with(Line(DigestKind::Blake2b, std::string(128, '0')),
              [&](ListEntry& e) {
                  e.Expected(DigestKind::Sha256) = abc.sha256;
                  e.Expected(DigestKind::Md5) = zeros;
                  e.Expected(DigestKind::Crc32) = "00000000";
              }),
         abc,
         std::nullopt,
         {"CRC-32", "MD5", "BLAKE2b"},
         4},
        {"a tool's line never compares report lines",
         with(Line(DigestKind::Md5, abc.md5), [](ListEntry& e) { e.size = "9 字节"; }),
         abc,
         std::nullopt,
         {},
         2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FailedChecks(c.entry, c.facts, c.time), c.failed) << c.what;
        EXPECT_EQ(ChecksOf(c.entry), c.checks) << c.what;
    }
}

// The JSON object of each kind of result, as scripts read it: the name's
// bytes as they are (a name that is not UTF-8 in base64 as well), the status
// word, what differs, where a file went.
TEST(ResultJson, ObjectsForEachKindOfResult) {
    using Words = std::vector<std::string_view>;
    const struct {
        std::string_view name;
        ListStatus status;
        Words differs;
        std::optional<std::string_view> to;
        std::string_view json;
    } cases[] = {
        {"a.bin", ListStatus::Ok, {}, {}, R"({"name":"a.bin","status":"OK"})"},
        {"a.bin",
         ListStatus::Failed,
         {"size", "modified time", "MD5"},
         {},
         R"({"name":"a.bin","status":"FAILED","differs":["size","modified time","MD5"]})"},
        {"q\"b\\s\n\x01",
         ListStatus::Unreadable,
         {},
         {},
         R"({"name":"q\"b\\s\u000A\u0001","status":"FAILED open or read"})"},
        {"数据.txt", ListStatus::Ok, {}, {}, R"({"name":"数据.txt","status":"OK"})"},
        {"odd\xFFname",
         ListStatus::Ok,
         {},
         {},
         R"({"name":"odd\\377name","name_bytes":"b2Rk/25hbWU=","status":"OK"})"},
        {"c", ListStatus::Moved, {}, "d/c", R"({"name":"c","status":"MOVED","to":"d/c"})"},
        {"c",
         ListStatus::Moved,
         {},
         "\xFF",
         R"({"name":"c","status":"MOVED","to":"\\377","to_bytes":"/w=="})"},
    };
    for (const auto& c : cases) {
        std::string out = "before\n";
        AppendResultJson(out, c.name, c.status, c.differs, c.to);
        EXPECT_EQ(out, "before\n" + std::string(c.json) + "\n") << c.json;
    }
}

// varnel-report's word for each status: one for every status, and those its
// text and JSON results have always written.
TEST(ResultWords, OneWordForEachStatus) {
    const struct {
        ListStatus status;
        std::string_view word;
    } cases[] = {
        {ListStatus::Ok, "OK"},
        {ListStatus::Failed, "FAILED"},
        {ListStatus::Unreadable, "FAILED open or read"},
        {ListStatus::Improper, "FAILED improperly formatted"},
        {ListStatus::Edited, "EDITED"},
        {ListStatus::Damaged, "DAMAGED"},
        {ListStatus::Missing, "MISSING"},
        {ListStatus::Moved, "MOVED"},
        {ListStatus::New, "NEW"},
        {ListStatus::Added, "ADDED"},
    };
    static_assert(std::size(cases) == kListStatusCount);
    for (const auto& c : cases) {
        EXPECT_EQ(ResultWord(c.status), c.word);
    }
}

} // namespace
} // namespace varnel
