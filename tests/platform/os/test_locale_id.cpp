// POSIX locale names to Windows locale ids and ANSI code pages.

#include "platform/os/locale_id.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace {

using varnel::platform::AnsiCodePageForLocaleId;
using varnel::platform::kLocaleInvariant;
using varnel::platform::kLocaleUnknown;
using varnel::platform::LocaleIdForName;
using varnel::platform::SystemAnsiCodePage;
using varnel::platform::SystemLocaleId;
using varnel::platform::SystemLocaleName;

// Ids as Windows documents them (MS-LCID).
TEST(LocaleIdForName, MapsCommonLocales) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"zh_TW", 1028}, {"en_US", 1033}, {"zh_CN", 2052}, {"zh_HK", 3076}, {"zh_SG", 4100},
        {"zh_MO", 5124}, {"en_GB", 2057}, {"en_AU", 3081}, {"en_CA", 4105}, {"de_DE", 1031},
        {"de_AT", 3079}, {"de_CH", 2055}, {"fr_FR", 1036}, {"fr_CA", 3084}, {"es_ES", 3082},
        {"es_MX", 2058}, {"it_IT", 1040}, {"ja_JP", 1041}, {"ko_KR", 1042}, {"pt_BR", 1046},
        {"pt_PT", 2070}, {"ru_RU", 1049}, {"pl_PL", 1045}, {"nl_NL", 1043}, {"sv_SE", 1053},
        {"tr_TR", 1055}, {"uk_UA", 1058}, {"vi_VN", 1066}, {"th_TH", 1054}, {"he_IL", 1037},
        {"ar_SA", 1025}, {"el_GR", 1032}, {"cs_CZ", 1029}, {"hu_HU", 1038}, {"fi_FI", 1035},
    };
    for (const auto& [name, lcid] : cases) {
        EXPECT_EQ(LocaleIdForName(name), lcid) << name;
    }
}

TEST(LocaleIdForName, IgnoresCodesetModifierCaseAndSeparator) {
    EXPECT_EQ(LocaleIdForName("zh_TW.UTF-8"), 1028);
    EXPECT_EQ(LocaleIdForName("zh_TW.Big5"), 1028);
    EXPECT_EQ(LocaleIdForName("zh_CN.GB2312"), 2052);
    EXPECT_EQ(LocaleIdForName("zh_HK.big5hkscs"), 3076);
    EXPECT_EQ(LocaleIdForName("de_DE@euro"), 1031);
    EXPECT_EQ(LocaleIdForName("de_DE.ISO-8859-15@euro"), 1031);
    EXPECT_EQ(LocaleIdForName("zh-TW"), 1028);
    EXPECT_EQ(LocaleIdForName("ZH_tw"), 1028);
    EXPECT_EQ(LocaleIdForName("en-us"), 1033);
}

TEST(LocaleIdForName, LanguageAloneAndScriptTags) {
    EXPECT_EQ(LocaleIdForName("zh"), 2052);
    EXPECT_EQ(LocaleIdForName("en"), 1033);
    EXPECT_EQ(LocaleIdForName("de"), 1031);
    EXPECT_EQ(LocaleIdForName("zh-Hant"), 1028);
    EXPECT_EQ(LocaleIdForName("zh-Hans"), 2052);
    EXPECT_EQ(LocaleIdForName("zh-Hant-TW"), 1028);
    EXPECT_EQ(LocaleIdForName("zh-Hant-HK"), 3076);
    EXPECT_EQ(LocaleIdForName("zh-Hans-CN"), 2052);
}

TEST(LocaleIdForName, InvariantAndUnknownNames) {
    EXPECT_EQ(LocaleIdForName("C"), kLocaleInvariant);
    EXPECT_EQ(LocaleIdForName("POSIX"), kLocaleInvariant);
    EXPECT_EQ(LocaleIdForName("C.UTF-8"), kLocaleInvariant);
    for (const char* name : {"", "_", "_TW", "zh_", "xx_YY", "en_XX", "klingon", "zh_TW_extra_",
                             ".UTF-8", "@euro", "c"}) {
        EXPECT_EQ(LocaleIdForName(name), kLocaleUnknown) << name;
    }
}

TEST(AnsiCodePageForLocaleId, ChineseCodePagesFollowTheScript) {
    EXPECT_EQ(AnsiCodePageForLocaleId(1028), 950);
    EXPECT_EQ(AnsiCodePageForLocaleId(3076), 950);
    EXPECT_EQ(AnsiCodePageForLocaleId(5124), 950);
    EXPECT_EQ(AnsiCodePageForLocaleId(2052), 936);
    EXPECT_EQ(AnsiCodePageForLocaleId(4100), 936);
}

TEST(AnsiCodePageForLocaleId, OtherScripts) {
    const std::pair<std::int32_t, int> cases[] = {
        {1033, 1252},
        {2057, 1252},
        {1031, 1252},
        {3082, 1252},
        {1041, 932},
        {1042, 949},
        {1045, 1250},
        {1029, 1250},
        {1049, 1251},
        {1058, 1251},
        {1032, 1253},
        {1055, 1254},
        {1037, 1255},
        {1025, 1256},
        {1061, 1257},
        {1054, 874},
        {1066, 1258},
        {1081, 0},
        {kLocaleInvariant, 1252},
        {kLocaleUnknown, 1252},
    };
    for (const auto& [lcid, codePage] : cases) {
        EXPECT_EQ(AnsiCodePageForLocaleId(lcid), codePage) << lcid;
    }
}

class SystemLocaleEnvironment : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = std::getenv(name);
            m_Saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : m_Saved) {
            if (value) {
                setenv(name, value->c_str(), 1);
            } else {
                unsetenv(name);
            }
        }
    }
    std::vector<std::pair<const char*, std::optional<std::string>>> m_Saved;
};

TEST_F(SystemLocaleEnvironment, FollowsLcAllThenLcMessagesThenLang) {
    EXPECT_EQ(SystemLocaleName(), "C");
    EXPECT_EQ(SystemLocaleId(), kLocaleInvariant);
    EXPECT_EQ(SystemAnsiCodePage(), 1252);

    setenv("LANG", "zh_TW.UTF-8", 1);
    EXPECT_EQ(SystemLocaleId(), 1028);
    EXPECT_EQ(SystemAnsiCodePage(), 950);

    setenv("LC_MESSAGES", "zh_CN.UTF-8", 1);
    EXPECT_EQ(SystemLocaleId(), 2052);
    EXPECT_EQ(SystemAnsiCodePage(), 936);

    setenv("LC_ALL", "en_GB.UTF-8", 1);
    EXPECT_EQ(SystemLocaleName(), "en_GB.UTF-8");
    EXPECT_EQ(SystemLocaleId(), 2057);

    setenv("LC_ALL", "", 1); // empty: not set
    EXPECT_EQ(SystemLocaleId(), 2052);
}

} // namespace
