#pragma once

// The locale's date-to-text conversion of the modified time in a report: the
// system locale's short date, a blank, its long time; a time of exactly
// midnight gives the date alone. Local time, as the TZ setting makes it.
//
// The locale's long time form names the time zone on some systems ("UTC",
// "[CST]"); a date value of the program carries no zone, so that part is
// taken out of the form, with the blanks, brackets or comma that set it off.

#include <QLocale>
#include <QString>

#include <chrono>
#include <string>

namespace varnel::platform {

// Formats many times with one locale; the forms are worked out once.
class DateTextFormatter {
public:
    DateTextFormatter(); // QLocale::system()
    explicit DateTextFormatter(const QLocale& locale);

    // Any time a file system can hold, before 1970 and after 2262 too.
    std::string Format(std::chrono::sys_seconds time) const;

    const QString& dateForm() const noexcept { return m_DateForm; }
    const QString& timeForm() const noexcept { return m_TimeForm; }

private:
    QLocale m_Locale;
    QString m_DateForm; // short date form
    QString m_TimeForm; // long time form without the zone
};

// Date text of time for the system locale (UTF-8).
std::string FormatModifiedTime(std::chrono::sys_seconds time);

// A QLocale date-time form with its time-zone fields ("t" ... "tttt") taken
// out, together with the blanks, brackets and comma that set them off.
// Quoted literal text is left alone.
QString StripTimeZoneFields(const QString& form);

// The form with the flexible day-period fields ("B", "b"), which the
// formatter does not know, replaced by its morning/afternoon field "AP".
QString ReplaceDayPeriodFields(const QString& form);

} // namespace varnel::platform
