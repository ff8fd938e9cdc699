// A designed text in each language mode, with the real conversion library
// (pointed at through the test seam): the plain form and the windows' QString
// form, with the mode given and read from UiLanguage.

#include "i18n/big5.h"
#include "i18n/language.h"
#include "i18n/mode_text.h"
#include "i18n/shown_text.h"

#include <QString>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace {

using varnel::LanguageMode;

class ModeText : public ::testing::Test {
protected:
    void SetUp() override {
        varnel::detail::SetConversionLibraryPathForTesting(VARNEL_GB2BIG5_LIBRARY);
    }
    void TearDown() override {
        varnel::detail::SetConversionLibraryPathForTesting(std::nullopt);
        varnel::UiLanguage.clear();
    }
};

TEST_F(ModeText, ShowsEachModesFormOfTheDesignedText) {
    const struct {
        const char* uiLanguage;
        LanguageMode mode;
        const char* chinese; // ChineseText / ShownChinese
        const char* text;    // ModeText / ShownText
    } cases[] = {
        {"CHINESE", LanguageMode::Simplified, "关闭退出", "关闭退出"},
        {"TAIWAN", LanguageMode::Traditional, "關閉退出", "關閉退出"},
        {"", LanguageMode::English, "关闭退出", "Close"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.uiLanguage);
        EXPECT_EQ(varnel::ChineseText("关闭退出", c.mode), c.chinese);
        EXPECT_EQ(varnel::ModeText("关闭退出", "Close", c.mode), c.text);
        // The windows' form reads the mode from UiLanguage when none is given.
        varnel::UiLanguage = c.uiLanguage;
        EXPECT_EQ(varnel::ShownChinese("关闭退出"), QString::fromUtf8(c.chinese));
        EXPECT_EQ(varnel::ShownChinese(QString::fromUtf8("关闭退出")),
                  QString::fromUtf8(c.chinese));
        EXPECT_EQ(varnel::ShownText("关闭退出", "Close"), QString::fromUtf8(c.text));
    }
}

} // namespace
