#include "i18n/shown_text.h"

#include "i18n/mode_text.h"

#include <string>

namespace varnel {

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QString ShownChinese(std::string_view simplified, LanguageMode mode) {
    return FromUtf8(ChineseText(simplified, mode));
}

QString ShownChinese(const QString& simplified, LanguageMode mode) {
    if (mode != LanguageMode::Traditional) {
        return simplified;
    }
    const std::string text = simplified.toStdString();
    return ShownChinese(std::string_view(text), mode);
}

QString ShownText(std::string_view simplified, std::string_view english, LanguageMode mode) {
    return FromUtf8(ModeText(simplified, english, mode));
}

} // namespace varnel
