#pragma once

#include "i18n/language.h"

#include <string>
#include <string_view>

namespace varnel {

// A designed Chinese text (Simplified, UTF-8) as a language mode shows it:
// its Traditional form (ConvertToBig5) in the Traditional mode, as written in
// the other two. For texts that are shown in Chinese whatever the mode.
std::string ChineseText(std::string_view simplified, LanguageMode mode);

// The text a language mode shows: the English wording in the English mode,
// ChineseText of the Chinese one in the others.
std::string ModeText(std::string_view simplified, std::string_view english, LanguageMode mode);

} // namespace varnel
