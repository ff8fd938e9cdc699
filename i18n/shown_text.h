#pragma once

#include "i18n/language.h"

#include <QString>
#include <string_view>

namespace varnel {

// The windows' form of i18n/mode_text.h: a designed text in the current
// language mode (read when called), as a QString.

// The designed Chinese text (Simplified) as the mode shows it: converted to
// its Traditional form in the Traditional mode, as written otherwise.
QString ShownChinese(std::string_view simplified, LanguageMode mode = CurrentLanguageMode());
QString ShownChinese(const QString& simplified, LanguageMode mode = CurrentLanguageMode());
inline QString ShownChinese(const char* simplified, LanguageMode mode = CurrentLanguageMode()) {
    return ShownChinese(std::string_view(simplified), mode);
}

// The English wording in the English mode, ShownChinese of the Chinese one in
// the others.
QString ShownText(std::string_view simplified, std::string_view english,
                  LanguageMode mode = CurrentLanguageMode());

} // namespace varnel
