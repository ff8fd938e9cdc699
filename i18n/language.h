#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace varnel {

// The language mode of the running program: "TAIWAN", "CHINESE" or empty.
// Written by the windows' load procedures, read by everything that shows text.
extern std::string UiLanguage;

// The three language modes, so that no caller compares UiLanguage with its
// literals: "CHINESE" is Simplified, "TAIWAN" Traditional, anything else
// English.
enum class LanguageMode { English, Simplified, Traditional };

// The mode a language text names.
LanguageMode LanguageModeOf(std::string_view uiLanguage);

// The mode of UiLanguage, read now.
inline LanguageMode CurrentLanguageMode() {
    return LanguageModeOf(UiLanguage);
}

// "System_Chinese_FanTi" (LCID 1028), "System_English" (1033),
// "System_Chinese_JianTi" (2052) or empty, from the system locale.
std::string GetSystemLanguage();

// The tag for a given locale id (the table behind GetSystemLanguage).
std::string LanguageTagForLcid(std::int32_t lcid);

// Sets UiLanguage from GetSystemLanguage() as a window's load procedure does:
// FanTi -> "TAIWAN", JianTi -> "CHINESE", anything else leaves it unchanged.
void ApplySystemLanguage();

} // namespace varnel
