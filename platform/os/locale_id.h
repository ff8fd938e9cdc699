#pragma once

// The system locale as Windows locale ids (LCIDs) and ANSI code pages, in place
// of GetSystemDefaultLCID and the system ANSI code page.
//
// On POSIX the "system locale" is the one the process's environment chooses for
// messages, as setlocale(LC_MESSAGES, "") would: the first non-empty value of
// LC_ALL, LC_MESSAGES, LANG. Without any of them the process runs in the "C"
// locale. LANGUAGE (a gettext priority list) is not consulted: it chooses
// translations, not the locale.

#include <cstdint>
#include <string>
#include <string_view>

namespace varnel::platform {

// The id for locale names that are known but belong to no language ("C",
// "POSIX"): LOCALE_INVARIANT.
inline constexpr std::int32_t kLocaleInvariant = 0x007F;

// The id for names that are not known at all.
inline constexpr std::int32_t kLocaleUnknown = 0;

// The LCID of a POSIX locale name: "zh_TW.UTF-8" -> 1028, "en_US" -> 1033,
// "zh_CN.GB2312" -> 2052, "zh_HK" -> 3076, "de_DE@euro" -> 1031. The codeset and
// modifier are ignored; "-" may stand for "_" and case does not matter
// ("zh-tw"). A language alone gives its main country ("zh" -> 2052,
// "en" -> 1033); the script tags "zh_Hant" / "zh_Hans" give 1028 / 2052.
// "C" and "POSIX" give kLocaleInvariant; anything else kLocaleUnknown.
std::int32_t LocaleIdForName(std::string_view name);

// The locale name the environment chooses (see above), "C" when none.
std::string SystemLocaleName();

// LocaleIdForName(SystemLocaleName()): what GetSystemDefaultLCID answers.
std::int32_t SystemLocaleId();

// The Windows ANSI code page of a locale id: 950 for Chinese (Taiwan, Hong
// Kong, Macau), 936 for Chinese (PRC, Singapore), 932 Japanese, 949 Korean,
// 1250 to 1258 for the European, Middle-Eastern and Vietnamese scripts, 874
// Thai, 0 for languages that have only Unicode (Hindi, Georgian, ...), and
// 1252 for western languages, the invariant and unknown ids.
int AnsiCodePageForLocaleId(std::int32_t lcid);

// AnsiCodePageForLocaleId(SystemLocaleId()).
int SystemAnsiCodePage();

} // namespace varnel::platform
