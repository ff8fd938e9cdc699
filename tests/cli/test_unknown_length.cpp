// varnel-report on files whose size reads 0 but that hold bytes (/proc):
// the report shows the bytes read and their digests, and lists written by
// md5sum and sha1sum for such files check as OK.

#include "tests/cli/run_program.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace varnel {
namespace {

using test::RunIn;
using test::RunResult;

bool SaysZeroButHoldsBytes(const char* path) {
    struct stat st {};
    return ::stat(path, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
}

TEST(UnknownLength, ReportsAndListsUseTheBytesRead) {
    const std::vector<std::string> files = {"/proc/version", "/proc/crypto"};
    for (const std::string& file : files) {
        if (!SaysZeroButHoldsBytes(file.c_str())) {
            GTEST_SKIP() << file << " is not a size-0 file here";
        }
    }
    test::ScratchDir dir;
    const test::OracleDigests oracle = test::OracleDigestsOf(files[0]);
    const RunResult report =
        RunIn(dir.path(), {test::ReportProgram(), "--lang", "english", files[0]});
    ASSERT_EQ(report.status, 0) << report.err;
    EXPECT_NE(report.out.find(oracle.md5), std::string::npos) << report.out;
    EXPECT_NE(report.out.find(oracle.sha1), std::string::npos) << report.out;
    EXPECT_EQ(report.out.find("：0 "), std::string::npos) << report.out;

    // Lists from the common tools, and the report saved above.
    test::WriteFile(dir / "report.txt", report.out);
    struct Case {
        std::vector<std::string> writer; // empty: the saved report
        std::size_t entries;
    };
    const Case cases[] = {{{"md5sum"}, files.size()}, {{"sha1sum"}, files.size()}, {{}, 1}};
    for (const Case& c : cases) {
        std::string list = "report.txt";
        if (!c.writer.empty()) {
            std::vector<std::string> args = c.writer;
            args.insert(args.end(), files.begin(), files.end());
            const RunResult written = RunIn(dir.path(), args);
            ASSERT_EQ(written.status, 0) << written.err;
            list = c.writer[0] + ".list";
            test::WriteFile(dir / list, written.out);
        }
        const RunResult checked = RunIn(dir.path(), {test::ReportProgram(), "--check", list});
        EXPECT_EQ(checked.status, 0) << list << "\n" << checked.out << checked.err;
        std::size_t ok = 0;
        for (std::size_t at = checked.out.find(": OK\n"); at != std::string::npos;
             at = checked.out.find(": OK\n", at + 1)) {
            ++ok;
        }
        EXPECT_EQ(ok, c.entries) << list << "\n" << checked.out;
    }
}

} // namespace
} // namespace varnel
