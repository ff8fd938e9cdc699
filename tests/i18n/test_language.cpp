// The language tag and mode from the system locale, driven through the
// process environment as a user's session would set it.

#include "i18n/language.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace {

using varnel::ApplySystemLanguage;
using varnel::GetSystemLanguage;
using varnel::LanguageTagForLcid;
using varnel::UiLanguage;

TEST(LanguageTagForLcid, RecognisesExactlyThreeLocales) {
    EXPECT_EQ(LanguageTagForLcid(1028), "System_Chinese_FanTi");
    EXPECT_EQ(LanguageTagForLcid(1033), "System_English");
    EXPECT_EQ(LanguageTagForLcid(2052), "System_Chinese_JianTi");
    // Other Chinese and English locales are not recognised.
    for (const std::int32_t other : {3076, 4100, 5124, 2057, 3081, 4105, 0, 0x7F, -1, 1031}) {
        EXPECT_EQ(LanguageTagForLcid(other), "") << other;
    }
}

// Sets the locale variables for one test and puts the old ones back after.
class SystemLocale : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kVariables) {
            const char* value = std::getenv(name);
            m_Saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
        UiLanguage.clear();
    }
    void TearDown() override {
        for (const auto& [name, value] : m_Saved) {
            if (value) {
                setenv(name, value->c_str(), 1);
            } else {
                unsetenv(name);
            }
        }
        UiLanguage.clear();
    }
    static constexpr const char* kVariables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::pair<const char*, std::optional<std::string>>> m_Saved;
};

TEST_F(SystemLocale, EachLocaleGivesItsTagAndMode) {
    struct Case {
        const char* lang;
        const char* tag;
        const char* mode;
    };
    const Case cases[] = {
        {"zh_TW.UTF-8", "System_Chinese_FanTi", "TAIWAN"},
        {"zh_TW.Big5", "System_Chinese_FanTi", "TAIWAN"},
        {"zh_CN.UTF-8", "System_Chinese_JianTi", "CHINESE"},
        {"zh_CN.GB2312", "System_Chinese_JianTi", "CHINESE"},
        {"en_US.UTF-8", "System_English", ""},
        {"zh_HK.UTF-8", "", ""},
        {"zh_SG.UTF-8", "", ""},
        {"zh_MO.UTF-8", "", ""},
        {"en_GB.UTF-8", "", ""},
        {"de_DE.UTF-8", "", ""},
        {"C", "", ""},
        {"C.UTF-8", "", ""},
        {"no-such-locale", "", ""},
    };
    for (const auto& c : cases) {
        setenv("LANG", c.lang, 1);
        UiLanguage.clear();
        EXPECT_EQ(GetSystemLanguage(), c.tag) << c.lang;
        ApplySystemLanguage();
        EXPECT_EQ(UiLanguage, c.mode) << c.lang;
    }
}

TEST_F(SystemLocale, WithoutAnyLocaleVariableTheModeStaysEmpty) {
    EXPECT_EQ(GetSystemLanguage(), "");
    ApplySystemLanguage();
    EXPECT_EQ(UiLanguage, "");
}

TEST_F(SystemLocale, LcAllThenLcMessagesOverrideLang) {
    setenv("LANG", "en_US.UTF-8", 1);
    setenv("LC_MESSAGES", "zh_CN.UTF-8", 1);
    EXPECT_EQ(GetSystemLanguage(), "System_Chinese_JianTi");
    setenv("LC_ALL", "zh_TW.UTF-8", 1);
    EXPECT_EQ(GetSystemLanguage(), "System_Chinese_FanTi");
    // An empty variable does not count.
    setenv("LC_ALL", "", 1);
    EXPECT_EQ(GetSystemLanguage(), "System_Chinese_JianTi");
}

TEST_F(SystemLocale, TheModeIsNeverClearedOnlyReplaced) {
    setenv("LANG", "zh_TW.UTF-8", 1);
    ApplySystemLanguage();
    ASSERT_EQ(UiLanguage, "TAIWAN");
    setenv("LANG", "en_US.UTF-8", 1);
    ApplySystemLanguage();
    EXPECT_EQ(UiLanguage, "TAIWAN");
    setenv("LANG", "zh_HK.UTF-8", 1);
    ApplySystemLanguage();
    EXPECT_EQ(UiLanguage, "TAIWAN");
    setenv("LANG", "zh_CN.UTF-8", 1);
    ApplySystemLanguage();
    EXPECT_EQ(UiLanguage, "CHINESE");
}

} // namespace
