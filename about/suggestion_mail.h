#pragma once

// The prepared mail message of the about window: a suggestion to the author,
// with a subject, an opening line and the day it was written.

#include <QDate>
#include <QString>

#include <string>

namespace varnel {

// The day as the message writes it: "2026 年 12 月 7 日" (plain numbers,
// no leading zeros).
QString SuggestionDate(const QDate& day);

// The message for a language tag (GetSystemLanguage): for
// "System_Chinese_JianTi"
//   "mailto:" + address + "?subject=关于Quarrow的建议&body=向您提出以下建议:"
//   + three CR LF + 20 blanks + SuggestionDate(today);
// for "System_Chinese_FanTi" the same text through ConvertToBig5; for any
// other tag the empty text (no message is prepared).
QString SuggestionMail(const std::string& languageTag, const QDate& today, const QString& address);

} // namespace varnel
