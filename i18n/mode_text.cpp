#include "i18n/mode_text.h"

#include "i18n/big5.h"

namespace varnel {

std::string ChineseText(std::string_view simplified, LanguageMode mode) {
    if (mode == LanguageMode::Traditional) {
        return ConvertToBig5(simplified);
    }
    return std::string(simplified);
}

std::string ModeText(std::string_view simplified, std::string_view english, LanguageMode mode) {
    if (mode == LanguageMode::English) {
        return std::string(english);
    }
    return ChineseText(simplified, mode);
}

} // namespace varnel
