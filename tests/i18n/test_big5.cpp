// ConvertToBig5 with the real conversion library (pointed at through the test
// seam), with no library, and with libraries that lack the entry point or
// misbehave.

#include "i18n/big5.h"
#include "tests/gb2big5/charset_util.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using varnel::ConversionLibraryPathFor;
using varnel::ConvertToBig5;
using varnel::detail::ConversionLibraryLoadAttemptsForTesting;
using varnel::detail::SetConversionLibraryPathForTesting;
using varnel::test::kProgramTexts;
using varnel::test::Utf8ToBig5;
using varnel::test::Utf8ToGb;

class ConvertToBig5WithLibrary : public ::testing::Test {
protected:
    void SetUp() override { SetConversionLibraryPathForTesting(VARNEL_GB2BIG5_LIBRARY); }
    void TearDown() override { SetConversionLibraryPathForTesting(std::nullopt); }
};

TEST_F(ConvertToBig5WithLibrary, GivesTheTraditionalFormsOfTheProgramTexts) {
    for (const auto& [simplified, traditional] : kProgramTexts) {
        EXPECT_EQ(ConvertToBig5(simplified), traditional);
        // Same number of bytes in the ANSI code pages on both sides.
        const auto gb = Utf8ToGb(simplified);
        const auto big5 = Utf8ToBig5(ConvertToBig5(simplified));
        ASSERT_TRUE(gb && big5) << simplified;
        EXPECT_EQ(gb->size(), big5->size()) << simplified;
    }
}

TEST_F(ConvertToBig5WithLibrary, AgreesWithTheOpenCcToolOnTheProgramTexts) {
#ifndef VARNEL_OPENCC_PROGRAM
    GTEST_SKIP() << "opencc not installed";
#else
    // One text per line through the tool's Taiwan-standard conversion.
    const auto input = std::filesystem::temp_directory_path() /
                       ("big5-texts-" + std::to_string(getpid()) + ".txt");
    {
        std::ofstream file(input);
        for (const auto& text : kProgramTexts) {
            file << text.simplified << '\n';
        }
    }
    const std::string command =
        std::string(VARNEL_OPENCC_PROGRAM) + " -c s2tw.json -i '" + input.string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    EXPECT_EQ(pclose(pipe), 0);
    std::filesystem::remove(input);

    std::istringstream lines(output);
    std::string line;
    for (const auto& [simplified, traditional] : kProgramTexts) {
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_EQ(ConvertToBig5(simplified), line) << simplified;
    }
#endif
}

TEST_F(ConvertToBig5WithLibrary, KeepsWhatGb2312CannotEncode) {
    // Traditional-only characters, emoji, half-width kana and accented Latin
    // are not GB2312: kept, while the Simplified text around them converts.
    EXPECT_EQ(ConvertToBig5("体體"), "體體");
    EXPECT_EQ(ConvertToBig5("关闭😀退出"), "關閉😀退出");
    EXPECT_EQ(ConvertToBig5("ｱ关闭é"), "ｱ關閉é");
    EXPECT_EQ(ConvertToBig5("😀"), "😀");
    // ASCII and an empty text.
    EXPECT_EQ(ConvertToBig5("CRC32 0x1F MD5"), "CRC32 0x1F MD5");
    EXPECT_EQ(ConvertToBig5(""), "");
}

TEST_F(ConvertToBig5WithLibrary, KeepsCharactersThatHaveNoBig5Form) {
    // GB2312 holds kana, pinyin letters and brackets that Big5 lacks; the
    // library's stand-in "□" must not replace them, and a real "□" stays.
    EXPECT_EQ(ConvertToBig5("あいう"), "あいう");
    EXPECT_EQ(ConvertToBig5("アイウ"), "アイウ");
    EXPECT_EQ(ConvertToBig5("ā"), "ā");
    EXPECT_EQ(ConvertToBig5("□"), "□");
    EXPECT_EQ(ConvertToBig5("〖关闭〗"), "〖關閉〗");
}

TEST_F(ConvertToBig5WithLibrary, KeepsInvalidUtf8AndNulBytes) {
    using namespace std::string_literals;
    EXPECT_EQ(ConvertToBig5("\xFF关\xC3"s), "\xFF關\xC3"s);
    EXPECT_EQ(ConvertToBig5("关\0闭"s), "關\0閉"s);
    EXPECT_EQ(ConvertToBig5("\xE5\x85"s), "\xE5\x85"s); // a truncated character
}

TEST_F(ConvertToBig5WithLibrary, BindsTheLibraryOnce) {
    const auto before = ConversionLibraryLoadAttemptsForTesting();
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(ConvertToBig5("关闭"), "關閉");
    }
    EXPECT_EQ(ConversionLibraryLoadAttemptsForTesting() - before, 1u);
}

// Hover hints convert on every mouse move, and report workers convert labels
// at once: the library is bound once for them all, whatever the threads.
// (The time per label is measured in bench/bench_digest.)
TEST_F(ConvertToBig5WithLibrary, ManyLabelsFromManyThreadsBindTheLibraryOnce) {
    ConvertToBig5("关闭退出");
    const auto before = ConversionLibraryLoadAttemptsForTesting();
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&wrong] {
            for (int i = 0; i < 500; ++i) {
                if (ConvertToBig5("关闭退出") != "關閉退出") {
                    ++wrong;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(ConversionLibraryLoadAttemptsForTesting(), before);
}

class ConvertToBig5WithoutLibrary : public ::testing::Test {
protected:
    void TearDown() override { SetConversionLibraryPathForTesting(std::nullopt); }
};

TEST_F(ConvertToBig5WithoutLibrary, MissingLibraryLeavesTextUnchangedAndIsTriedOnce) {
    SetConversionLibraryPathForTesting("/nonexistent/Librarys/libGB2BIG5.so");
    const auto before = ConversionLibraryLoadAttemptsForTesting();
    for (const auto& [simplified, traditional] : kProgramTexts) {
        EXPECT_EQ(ConvertToBig5(simplified), simplified);
    }
    EXPECT_EQ(ConversionLibraryLoadAttemptsForTesting() - before, 1u);
}

TEST_F(ConvertToBig5WithoutLibrary, LibraryWithoutEntryPointLeavesTextUnchanged) {
    SetConversionLibraryPathForTesting(VARNEL_NO_ENTRY_LIBRARY);
    EXPECT_EQ(ConvertToBig5("关闭退出"), "关闭退出");
    EXPECT_EQ(ConvertToBig5("关闭退出"), "关闭退出");
}

TEST_F(ConvertToBig5WithoutLibrary, AFileThatIsNoLibraryLeavesTextUnchanged) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("not-a-library-" + std::to_string(getpid()) + ".so");
    std::FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("not a shared library\n", file);
    std::fclose(file);
    SetConversionLibraryPathForTesting(path);
    EXPECT_EQ(ConvertToBig5("结束运行"), "结束运行");
    std::filesystem::remove(path);
}

TEST_F(ConvertToBig5WithoutLibrary, GarbageFromTheLibraryDoesNotReachTheText) {
    // This library shortens the string and writes bytes that are no Big5.
    SetConversionLibraryPathForTesting(VARNEL_HOSTILE_LIBRARY);
    EXPECT_EQ(ConvertToBig5("关闭退出"), "关闭退出");
    EXPECT_EQ(ConvertToBig5("A关B闭"), "A关B闭");
}

TEST(ConversionLibraryPath, IsBelowTheParentOfTheProgramFolder) {
    EXPECT_EQ(ConversionLibraryPathFor("/opt/Tools/Hash"), "/opt/Tools/Librarys/libGB2BIG5.so");
    EXPECT_EQ(ConversionLibraryPathFor("/opt/Tools/Hash/"), "/opt/Tools/Librarys/libGB2BIG5.so");
    EXPECT_EQ(ConversionLibraryPathFor("/opt"), "/Librarys/libGB2BIG5.so");
    EXPECT_EQ(ConversionLibraryPathFor("/"), "/Librarys/libGB2BIG5.so");
    EXPECT_EQ(ConversionLibraryPathFor(""), "");
}

} // namespace
