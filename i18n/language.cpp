#include "i18n/language.h"

#include "platform/os/locale_id.h"

namespace varnel {

std::string UiLanguage;

LanguageMode LanguageModeOf(std::string_view uiLanguage) {
    if (uiLanguage == "CHINESE") {
        return LanguageMode::Simplified;
    }
    if (uiLanguage == "TAIWAN") {
        return LanguageMode::Traditional;
    }
    return LanguageMode::English;
}

std::string LanguageTagForLcid(std::int32_t lcid) {
    switch (lcid) {
    case 1028: // Chinese, Taiwan
        return "System_Chinese_FanTi";
    case 1033: // English, United States
        return "System_English";
    case 2052: // Chinese, PRC
        return "System_Chinese_JianTi";
    default: // Hong Kong, Singapore, Macau, other English locales, ...
        return {};
    }
}

std::string GetSystemLanguage() {
    return LanguageTagForLcid(platform::SystemLocaleId());
}

void ApplySystemLanguage() {
    const std::string tag = GetSystemLanguage();
    if (tag == "System_Chinese_FanTi") {
        UiLanguage = "TAIWAN";
    } else if (tag == "System_Chinese_JianTi") {
        UiLanguage = "CHINESE";
    }
}

} // namespace varnel
