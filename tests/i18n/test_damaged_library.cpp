// varnel-report --lang taiwan beside a conversion library cut short: it runs
// as if the library were missing (Simplified labels, exit 0), never dies of
// a bus error while the library is loaded.

#include "tests/cli/run_program.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <fstream>

namespace varnel {
namespace {

namespace fs = std::filesystem;

std::string Bytes(const fs::path& path) {
    return test::ReadAll(path);
}

TEST(DamagedConversionLibrary, IsTreatedAsMissingByTheReportProgram) {
    // The run-time layout in a scratch folder: <root>/Varnel/varnel-report
    // and <root>/Librarys/libGB2BIG5.so.
    test::ScratchDir root;
    fs::create_directories(root / "Varnel");
    fs::create_directories(root / "Librarys");
    const fs::path program = root / "Varnel" / "varnel-report";
    fs::copy_file(test::ReportProgram(), program);
    const fs::path library = root / "Librarys" / "libGB2BIG5.so";
    test::WriteFile(root / "file.txt", std::string("hello\n"));
    const auto run = [&] {
        return test::RunIn(root.path(), {program.string(), "--lang", "taiwan", "file.txt"});
    };

    const test::RunResult missing = run();
    ASSERT_EQ(missing.status, 0) << missing.err;
    ASSERT_NE(missing.out.find("文件名称"), std::string::npos) << missing.out;

    const std::string built = Bytes(VARNEL_GB2BIG5_LIBRARY);
    test::WriteFile(library, built);
    const test::RunResult whole = run();
    ASSERT_EQ(whole.status, 0) << whole.err;
    EXPECT_NE(whole.out.find("文件名稱"), std::string::npos) << whole.out;

    std::vector<std::size_t> cuts = {64, 800, 4096, 65536, 850000, built.size() - 1};
    for (std::size_t k = 1; k < 8; ++k) {
        cuts.push_back(built.size() * k / 8);
    }
    for (const std::size_t cut : cuts) {
        if (cut >= built.size()) {
            continue;
        }
        fs::remove(library);
        test::WriteFile(library, built.substr(0, cut));
        const test::RunResult damaged = run();
        EXPECT_EQ(damaged.status, 0) << "cut at " << cut << "\n" << damaged.err;
        EXPECT_EQ(damaged.out, missing.out) << "cut at " << cut;
    }
}

} // namespace
} // namespace varnel
