// The conversion library through its C interface, loaded the way the program
// loads it (dlopen + dlsym by name). Expected bytes come from glibc's iconv and
// from hand-checked Traditional forms; the whole character table is checked
// against the opencc command-line tool.

#include "gb2big5/gb2big5.h"
#include "tests/gb2big5/charset_util.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using varnel::test::Big5ToUtf8;
using varnel::test::GbToUtf8;
using varnel::test::kProgramTexts;
using varnel::test::Utf8ToBig5;
using varnel::test::Utf8ToGb;

using ConvertFunction = decltype(&::GBToBig5);

class Gb2Big5Library : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        m_Handle = dlopen(VARNEL_GB2BIG5_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_Handle, nullptr) << dlerror();
        m_GbToBig5 = reinterpret_cast<ConvertFunction>(dlsym(m_Handle, "GBToBig5"));
        m_Big5ToGb = reinterpret_cast<ConvertFunction>(dlsym(m_Handle, "Big5ToGB"));
    }

    // Runs fn over a heap buffer of exactly the string's size plus its NUL,
    // so that a read past the terminator is caught by the sanitizer build.
    static std::string Run(ConvertFunction fn, const std::string& bytes) {
        std::vector<char> buffer(bytes.begin(), bytes.end());
        buffer.push_back('\0');
        fn(buffer.data());
        EXPECT_EQ(buffer.back(), '\0');
        return std::string(buffer.data(), buffer.size() - 1);
    }

    static inline void* m_Handle = nullptr;
    static inline ConvertFunction m_GbToBig5 = nullptr;
    static inline ConvertFunction m_Big5ToGb = nullptr;
};

TEST_F(Gb2Big5Library, ExportsBothEntryPointsAndNothingElse) {
    ASSERT_NE(m_GbToBig5, nullptr);
    ASSERT_NE(m_Big5ToGb, nullptr);
    // Internal helpers are hidden: only the C interface is reachable by name.
    EXPECT_EQ(dlsym(m_Handle, "Convert"), nullptr);
    EXPECT_EQ(dlsym(m_Handle, "kGbToBig5"), nullptr);
}

TEST_F(Gb2Big5Library, ConvertsTheProgramTextsInPlaceToTheirTraditionalForms) {
    for (const auto& [simplified, traditional] : kProgramTexts) {
        const auto gb = Utf8ToGb(simplified);
        const auto big5 = Utf8ToBig5(traditional);
        ASSERT_TRUE(gb && big5) << simplified;
        ASSERT_EQ(gb->size(), big5->size()) << simplified;

        std::vector<char> buffer(gb->begin(), gb->end());
        buffer.push_back('\0');
        char* const start = buffer.data();
        m_GbToBig5(start);
        EXPECT_EQ(std::strlen(start), gb->size()) << simplified;
        EXPECT_EQ(std::string(start), *big5) << simplified << " -> " << *Big5ToUtf8(start);
    }
}

TEST_F(Gb2Big5Library, Big5ToGbTakesTheProgramTextsBack) {
    for (const auto& [simplified, traditional] : kProgramTexts) {
        const auto big5 = Utf8ToBig5(traditional);
        ASSERT_TRUE(big5);
        const std::string gb = Run(m_Big5ToGb, *big5);
        EXPECT_EQ(GbToUtf8(gb).value_or("<not GB2312>"), simplified);
    }
}

TEST_F(Gb2Big5Library, PassesAsciiThrough) {
    std::string ascii;
    for (int c = 1; c < 0x80; ++c) {
        ascii.push_back(static_cast<char>(c));
    }
    EXPECT_EQ(Run(m_GbToBig5, ascii), ascii);
    EXPECT_EQ(Run(m_Big5ToGb, ascii), ascii);
    EXPECT_EQ(Run(m_GbToBig5, ""), "");
}

TEST_F(Gb2Big5Library, IgnoresANullPointer) {
    m_GbToBig5(nullptr);
    m_Big5ToGb(nullptr);
}

TEST_F(Gb2Big5Library, LeavesALoneLeadByteAtTheEndAlone) {
    const std::string gb = *Utf8ToGb("关闭");
    const std::string big5 = *Utf8ToBig5("關閉");
    EXPECT_EQ(Run(m_GbToBig5, gb + "\xB9"), big5 + "\xB9");
    EXPECT_EQ(Run(m_GbToBig5, "\xB9"), "\xB9");
    EXPECT_EQ(Run(m_Big5ToGb, big5 + "\xC3"), gb + "\xC3");
}

TEST_F(Gb2Big5Library, KeepsCharacterAlignmentAcrossBytesOutsideGb2312) {
    // A GBK character outside GB2312 (0x8140) is skipped whole: its trail byte
    // must not be read as the lead of the next character.
    const std::string gb = *Utf8ToGb("关闭");
    const std::string big5 = *Utf8ToBig5("關閉");
    EXPECT_EQ(Run(m_GbToBig5, "\x81\x40" + gb), "\x81\x40" + big5);
    EXPECT_EQ(Run(m_GbToBig5, "\x81\xB9" + gb), "\x81\xB9" + big5);
    // A stray high byte before ASCII is a single byte of its own.
    EXPECT_EQ(Run(m_GbToBig5, "\xB9"
                              "A" +
                                  gb),
              "\xB9"
              "A" +
                  big5);
}

TEST_F(Gb2Big5Library, UsesTheWordToChooseTheForm) {
    // 复 is 復 alone but 複 in 复制 (copy); 发 is 發 alone but 髮 in 头发 (hair).
    EXPECT_EQ(Run(m_GbToBig5, *Utf8ToGb("复")), *Utf8ToBig5("復"));
    EXPECT_EQ(Run(m_GbToBig5, *Utf8ToGb("复制")), *Utf8ToBig5("複製"));
    EXPECT_EQ(Run(m_GbToBig5, *Utf8ToGb("发")), *Utf8ToBig5("發"));
    EXPECT_EQ(Run(m_GbToBig5, *Utf8ToGb("头发")), *Utf8ToBig5("頭髮"));
    // A word cut short by the end of the string is converted character by
    // character, never matched beyond the terminator.
    const std::string cut = *Utf8ToGb("头发");
    EXPECT_EQ(Run(m_GbToBig5, cut.substr(0, 3)), *Utf8ToBig5("頭") + cut.substr(2, 1));
}

// Every GB2312 character becomes exactly one Big5 character; the stand-in
// "□" only where Big5 has neither the character nor its Traditional form. Where
// the opencc tool's Taiwan-standard form of a character exists in Big5, the
// library gives that form.
TEST_F(Gb2Big5Library, MapsEveryGb2312CharacterLikeOpenCc) {
    std::vector<std::string> gbCodes;
    std::vector<std::string> originals;
    std::string utf8Lines;
    for (int lead = 0xA1; lead <= 0xF7; ++lead) {
        for (int trail = 0xA1; trail <= 0xFE; ++trail) {
            const std::string gb{static_cast<char>(lead), static_cast<char>(trail)};
            if (const auto ch = GbToUtf8(gb)) {
                gbCodes.push_back(gb);
                originals.push_back(*ch);
                utf8Lines += *ch + "\n";
            }
        }
    }
    ASSERT_EQ(gbCodes.size(), 7445u); // 682 symbols + 6763 hanzi

    const std::string standIn = "\u25A1";
    std::vector<std::string> converted;
    for (std::size_t i = 0; i < gbCodes.size(); ++i) {
        const std::string big5 = Run(m_GbToBig5, gbCodes[i]);
        ASSERT_EQ(big5.size(), 2u);
        const auto ch = Big5ToUtf8(big5);
        ASSERT_TRUE(ch) << "no Big5 character for GB2312 " << originals[i];
        if (*ch == standIn && originals[i] != standIn) {
            EXPECT_FALSE(Utf8ToBig5(originals[i])) << originals[i] << " is in Big5";
        }
        converted.push_back(*ch);
    }

#ifdef VARNEL_OPENCC_PROGRAM
    const auto dir = std::filesystem::temp_directory_path();
    const auto input = dir / ("gb2big5-chars-" + std::to_string(getpid()) + ".txt");
    const auto output = dir / ("gb2big5-opencc-" + std::to_string(getpid()) + ".txt");
    std::ofstream(input) << utf8Lines;
    const std::string command = std::string(VARNEL_OPENCC_PROGRAM) + " -c s2tw.json -i '" +
                                input.string() + "' -o '" + output.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream result(output);
    std::string line;
    std::size_t index = 0;
    std::size_t compared = 0;
    while (std::getline(result, line) && index < converted.size()) {
        if (Utf8ToBig5(line)) {
            EXPECT_EQ(converted[index], line) << "GB2312 " << originals[index];
            ++compared;
        }
        ++index;
    }
    EXPECT_EQ(index, converted.size());
    // All but the characters Big5 lacks (kana, Cyrillic, pinyin, box drawing,
    // radicals and some rare characters: about 675).
    EXPECT_GT(compared, 6700u);
    std::filesystem::remove(input);
    std::filesystem::remove(output);
#endif
}

} // namespace
