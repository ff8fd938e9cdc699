#pragma once

// The verify window's words for what the list engine says in English: the
// messages about the lists ("SHA256SUMS: line 4: improperly formatted
// checksum line") and the reasons a file was not read ("is a folder",
// "Permission denied"). One table holds the engine's forms and the window's
// Chinese for each; the variable parts (a list's name, a line number, a
// count) are kept as they are, and the system's error texts are put in the
// window's words too. A text the table does not know is shown as it came.
// The command line keeps the engine's English.
//
//     VerifyWords("SUMS: line 4: improperly formatted checksum line",
//                 LanguageMode::Simplified)   // "SUMS：第 4 行：校验行格式错误"

#include "i18n/language.h"

#include <string>
#include <string_view>

namespace varnel {

// text in the language mode: English as it came; Simplified Chinese from the
// table; Traditional the Simplified words converted to Big5 (the names and
// other parts taken from text never are).
std::string VerifyWords(std::string_view text, LanguageMode mode);

} // namespace varnel
