// A digest as users paste it (--expect), a file's own list found beside it
// (--check --for) and every list below a folder (--check -r). Expected
// digests are published vectors (of empty input) or the common tools'.

#include "lists/expected_digest.h"
#include "lists/folder_check.h"
#include "lists/list_formats.h"
#include "lists/sidecar_lists.h"
#include "tests/cli/run_program.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::Report;
using test::RunIn;
using test::ScratchDir;
using test::WriteFile;

// Digests of empty input (RFC 1321, FIPS 180-4, the SRI examples' base64).
constexpr std::string_view kMd5 = "d41d8cd98f00b204e9800998ecf8427e";
constexpr std::string_view kSha1 = "da39a3ee5e6b4b0d3255bfef95601890afd80709";
constexpr std::string_view kSha256 =
    "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
constexpr std::string_view kSha256Base64 = "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=";
constexpr std::string_view kSha512Base64 =
    "z4PhNX7vuL3xVChQ1m2AB9Yg5AULVxXcg/SpIdNs6c5H0NE8XYXysP+DGNKHfuwvY7kxvUdBeoGlODJ6+SfaPg==";
constexpr std::string_view kSha512 =
    "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877"
    "eec2f63b931bd47417a81a538327af927da3e";

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return upper;
}

std::string Names(const std::vector<DigestKind>& kinds) {
    std::string names;
    for (const DigestKind kind : kinds) {
        names += (names.empty() ? "" : ",") + std::string(DigestName(kind));
    }
    return names;
}

TEST(ExpectedDigest, IsReadAsAUserMeansIt) {
    const std::string s256(kSha256);
    struct Case {
        std::string text;
        std::string kinds; // empty: refused
        std::string_view hex = kSha256;
    };
    const Case cases[] = {
        {"00000000", "CRC-32", "00000000"},
        {"2d06800538d394c2", "XXH3", "2d06800538d394c2"},
        {std::string(kMd5), "MD5,XXH128", kMd5},
        {std::string(kSha1), "SHA-1", kSha1},
        {s256, "SHA-256,SHA3-256,BLAKE3"},
        {std::string(kSha512), "SHA-512,BLAKE2b,SHA3-512", kSha512},
        {Upper(kSha256), "SHA-256,SHA3-256,BLAKE3"},
        {"  \t" + s256 + " \r\n", "SHA-256,SHA3-256,BLAKE3"},
        {"\xC2\xA0" + s256 + "\xE2\x80\x8B", "SHA-256,SHA3-256,BLAKE3"},
        {"SHA256:" + Upper(kSha256), "SHA-256"},
        {"sha256:" + s256, "SHA-256"},
        {"sha256-" + s256, "SHA-256"},
        {"SHA-256: " + s256, "SHA-256"},
        {"sha3-256:" + s256, "SHA3-256"},
        {"b3 " + s256, "BLAKE3"},
        {"MD5:" + std::string(kMd5), "MD5", kMd5},
        {"sha256-" + std::string(kSha256Base64), "SHA-256"},
        {"sha256-" + std::string(kSha256Base64) + "?ct=application/x", "SHA-256"},
        {"sha512-" + std::string(kSha512Base64), "SHA-512", kSha512},
        {s256 + "  setup.iso", "SHA-256,SHA3-256,BLAKE3"},
        {s256 + " *dir/setup file.iso", "SHA-256,SHA3-256,BLAKE3"},
        {"\\" + s256 + "  a\\nb", "SHA-256,SHA3-256,BLAKE3"},
        {"SHA256 (setup.iso) = " + s256, "SHA-256"},
        {"SHA2-256(setup.iso)= " + s256, "SHA-256"},
        {"da39a3ee 5e6b4b0d 3255bfef 95601890 afd80709", "SHA-1", kSha1},
        {"d4:1d:8c:d9:8f:00:b2:04:e9:80:09:98:ec:f8:42:7e", "MD5,XXH128", kMd5},
        // A list line whose name is itself a digest keeps the name apart.
        {std::string(kMd5) + "  " + std::string(kMd5), "MD5,XXH128", kMd5},
        {"sha384-" + std::string(kSha256Base64), ""},
        {"sha256:" + std::string(kMd5), ""},
        {std::string(kSha256Base64), ""},
        {"e3b0c44298fc", ""},
        {"not a digest", ""},
        {"   ", ""},
    };
    for (const Case& c : cases) {
        std::string reason;
        const std::optional<ExpectedDigest> digest = ReadExpectedDigest(c.text, reason);
        if (c.kinds.empty()) {
            EXPECT_FALSE(digest) << c.text;
            EXPECT_FALSE(reason.empty()) << c.text;
            continue;
        }
        ASSERT_TRUE(digest) << c.text << ": " << reason;
        EXPECT_EQ(Names(digest->kinds), c.kinds) << c.text;
        EXPECT_EQ(digest->hex, Upper(c.hex)) << c.text;
    }
}

// The peers' digests of one file, each given to --expect in a form of its
// own; the kind that matched is named.
TEST(ExpectCommand, NamesTheKindThatMatchedAndFailsTheRest) {
    ScratchDir dir;
    WriteFile(dir / "a.bin", test::PseudoRandomBytes(5000));
    const auto tool = [&](const std::string& command) {
        return RunIn(dir.path(), {"sh", "-c", command}).out;
    };
    const std::string b3 = tool("b3sum a.bin");
    const std::string sha256 = tool("sha256sum a.bin").substr(0, 64);
    struct Case {
        std::string digest;
        std::vector<std::string> files;
        int status;
        std::string out;
    };
    const Case cases[] = {
        {b3, {"a.bin"}, 0, "a.bin: OK (BLAKE3)\n"},
        {Upper(sha256), {"a.bin"}, 0, "a.bin: OK (SHA-256)\n"},
        {"sha512-" + tool("openssl dgst -sha512 -binary a.bin | base64 -w0"),
         {"a.bin"},
         0,
         "a.bin: OK (SHA-512)\n"},
        {tool("md5sum --tag a.bin"),
         {"a.bin", "gone"},
         1,
         "a.bin: OK (MD5)\ngone: FAILED open or read\n"},
        {std::string(kSha256), {"a.bin"}, 1, "a.bin: FAILED\n"},
        {"sha384-" + std::string(kSha256Base64), {"a.bin"}, 2, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--expect", c.digest};
        args.insert(args.end(), c.files.begin(), c.files.end());
        const test::RunResult run = Report(dir.path(), args);
        EXPECT_EQ(run.status, c.status) << c.digest << run.err;
        EXPECT_EQ(run.out, c.out) << c.digest;
    }
}

// Several lists beside a file: its own lists first (the strongest digest
// first, a bare digest read), then SUMS lists, then others that name it.
TEST(SidecarLists, TheRightOneIsChosenAndTheOthersNamed) {
    ScratchDir dir;
    WriteFile(dir / "setup.iso", test::PseudoRandomBytes(3000));
    WriteFile(dir / "b.bin", std::string("other\n"));
    const std::string make = "sha256sum b.bin setup.iso > SHA256SUMS && md5sum setup.iso > "
                             "setup.iso.md5 && sha512sum setup.iso | cut -c1-128 > "
                             "setup.iso.SHA512 && b3sum b.bin setup.iso > release.b3 && "
                             "md5sum b.bin > MD5SUMS";
    ASSERT_EQ(RunIn(dir.path(), {"sh", "-c", make}).status, 0);

    const SidecarSearch search = FindSidecarLists((dir / "setup.iso").string());
    ASSERT_TRUE(search.chosen);
    EXPECT_EQ(fs::path(search.chosen->list).filename(), "setup.iso.SHA512");
    std::vector<std::string> others;
    for (const SidecarList& other : search.others) {
        others.push_back(fs::path(other.list).filename().string());
    }
    EXPECT_EQ(others, (std::vector<std::string>{"setup.iso.md5", "SHA256SUMS", "release.b3"}));

    struct Case {
        std::string file;
        int status;
        std::string out;
        std::string err; // in what is said on standard error
    };
    const Case cases[] = {
        {"setup.iso", 0, "setup.iso: OK\n",
         "setup.iso: checked against ./setup.iso.SHA512, line 1; also found: "},
        {"b.bin", 0, "b.bin: OK\n", "checked against ./SHA256SUMS, line 1"},
        {"SHA256SUMS", 2, "", "SHA256SUMS: no checksum list beside it names it"},
    };
    for (const Case& c : cases) {
        const test::RunResult run = Report(dir.path(), {"--check", "--for", "./" + c.file});
        EXPECT_EQ(run.status, c.status) << c.file << run.err;
        EXPECT_EQ(run.out, c.status == 2 ? "" : "./" + c.out) << c.file;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    }
}

// Lists below a folder, nested, written by the peers and by varnel-report
// itself (a saved report, told by its first line), one with a failure.
TEST(FolderCheck, EveryListBelowIsCheckedAgainstItsOwnFolder) {
    ScratchDir dir;
    for (const std::string folder : {"a", "b", "b/c", "d"}) {
        fs::create_directories(dir / folder);
        for (const std::string name : {"f1", "f 2"}) {
            WriteFile(dir / folder / name, folder + name + "\n");
        }
    }
    const std::string make = "(cd a && sha256sum f1 'f 2' > SHA256SUMS) && (cd b && md5sum f1 "
                             "'f 2' > files.md5) && (cd b/c && b3sum f1 'f 2' > B3SUMS) && "
                             "echo changed > b/f1 && (cd d && " +
                             test::ReportProgram() + " f1 'f 2' > saved)";
    ASSERT_EQ(RunIn(dir.path(), {"sh", "-c", make}).status, 0);

    const test::RunResult run = Report(dir.path(), {"--check", "-r", "--quiet", "."});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, "./b/files.md5: f1: FAILED\n");
    for (const std::string said :
         {"./a/SHA256SUMS: 2 OK\n", "./b/c/B3SUMS: 2 OK\n", "./b/files.md5: 1 OK, 1 failed\n",
          "./d/saved: 2 OK\n", "all lists: 4 lists, 7 OK, 1 failed\n"}) {
        EXPECT_NE(run.err.find(said), std::string::npos) << said << run.err;
    }

    // The same results reach a sink with their lists.
    struct Rows final : ResultSink {
        std::vector<std::string> rows;
        void Result(const ListResult& result) override {
            rows.push_back(std::string(result.list) + "|" + std::string(result.line));
        }
        void Message(std::string_view) override {}
        bool Open() const override { return true; }
    } sink;
    ListCheckOptions options;
    EXPECT_EQ(RunFolderCheck({(dir / "b").string()}, false, options, sink), 1);
    const std::string list = (dir / "b/files.md5").string();
    EXPECT_EQ(sink.rows.size(), 4u);
    EXPECT_NE(std::find(sink.rows.begin(), sink.rows.end(), list + "|" + list + ": f1: FAILED"),
              sink.rows.end());
}

} // namespace
} // namespace varnel
