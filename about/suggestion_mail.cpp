#include "about/suggestion_mail.h"

#include "i18n/shown_text.h"

namespace varnel {

QString SuggestionDate(const QDate& day) {
    return QStringLiteral("%1 年 %2 月 %3 日").arg(day.year()).arg(day.month()).arg(day.day());
}

QString SuggestionMail(const std::string& languageTag, const QDate& today, const QString& address) {
    const bool simplified = languageTag == "System_Chinese_JianTi";
    const bool traditional = languageTag == "System_Chinese_FanTi";
    if (!simplified && !traditional) {
        return {};
    }
    QString text = QStringLiteral("mailto:") + address +
                   QStringLiteral("?subject=关于Quarrow的建议&body=向您提出以下建议:") +
                   QStringLiteral("\r\n\r\n\r\n") + QString(20, QLatin1Char(' ')) +
                   SuggestionDate(today);
    return ShownChinese(text, traditional ? LanguageMode::Traditional : LanguageMode::Simplified);
}

} // namespace varnel
