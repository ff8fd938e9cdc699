// The modified-time text: the locale's short date, a blank, its long time
// without a zone name; the date alone at exactly midnight; local time.

#include "platform/qt/date_text.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QList>
#include <QLocale>
#include <QTime>

#include <chrono>
#include <cstdlib>
#include <ctime>

namespace varnel::platform {
namespace {

using namespace std::chrono;

// Seconds since the epoch of a UTC civil time, worked out by the C library.
sys_seconds Utc(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return sys_seconds(seconds(::timegm(&tm)));
}

// Runs with another TZ, restored afterwards.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        const char* old = std::getenv("TZ");
        m_Old = old != nullptr ? old : "";
        m_Had = old != nullptr;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneScope() {
        if (m_Had) {
            ::setenv("TZ", m_Old.c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

private:
    std::string m_Old;
    bool m_Had = false;
};

TEST(DateText, ShortDateBlankLongTimeWithoutZone) {
    ZoneScope utc("UTC");
    const DateTextFormatter us(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(us.Format(Utc(2024, 3, 5, 14, 7, 9)), "3/5/24 2:07:09 PM");
    EXPECT_EQ(us.Format(Utc(2024, 3, 5, 0, 0, 1)), "3/5/24 12:00:01 AM");
    const DateTextFormatter de(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(de.Format(Utc(2024, 12, 31, 23, 59, 59)), "31.12.24 23:59:59");
}

TEST(DateText, ExactlyMidnightGivesTheDateAlone) {
    ZoneScope utc("UTC");
    const DateTextFormatter us(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(us.Format(Utc(2024, 3, 5, 0, 0, 0)), "3/5/24");
}

TEST(DateText, DatesFarFromNowShowTheirTrueYear) {
    ZoneScope utc("UTC");
    const DateTextFormatter de(QLocale(QLocale::German, QLocale::Germany));
    struct Case {
        std::int64_t seconds;
        const char* text;
    };
    const Case cases[] = {
        {-2208970739, "01.01.00 05:01:01"}, // 1900, before the epoch
        {9223372036, "11.04.62 23:47:16"},  // the last second a 64-bit nanosecond count holds
        {9223372037, "11.04.62 23:47:17"},  // one past it
        {17179869183, "30.05.14 01:53:03"}, // 2514
    };
    for (const Case& c : cases) {
        EXPECT_EQ(de.Format(sys_seconds(seconds(c.seconds))), c.text) << c.seconds;
    }
    // The year is right, not just its last two digits.
    const DateTextFormatter iso(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_NE(iso.Format(sys_seconds(seconds(17179869183))).find("14"), std::string::npos);
}

TEST(DateText, LocalTimeFollowsTheZoneSetting) {
    ZoneScope shanghai("Asia/Shanghai"); // UTC+8, no daylight saving
    const DateTextFormatter us(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(us.Format(Utc(2024, 3, 5, 16, 0, 0)), "3/6/24");
    EXPECT_EQ(us.Format(Utc(2024, 3, 5, 14, 7, 9)), "3/5/24 10:07:09 PM");
}

TEST(DateText, SystemLocaleIsUsed) {
    ZoneScope utc("UTC");
    const auto time = Utc(2001, 9, 8, 1, 46, 40);
    const QLocale system = QLocale::system();
    EXPECT_EQ(FormatModifiedTime(time), DateTextFormatter(system).Format(time));
    EXPECT_EQ(FormatModifiedTime(time),
              (system.toString(QDate(2001, 9, 8), system.dateFormat(QLocale::ShortFormat)) +
               QLatin1Char(' ') +
               system.toString(QTime(1, 46, 40),
                               StripTimeZoneFields(system.timeFormat(QLocale::LongFormat))))
                  .toStdString());
}

TEST(DateText, ZoneFieldsAreTakenOutWithWhatSetsThemOff) {
    const struct {
        const char* form;
        const char* stripped;
    } cases[] = {
        {"h:mm:ss AP t", "h:mm:ss AP"},     // en_US
        {"t HH:mm:ss", "HH:mm:ss"},         // zh_CN
        {"Bh:mm:ss [t]", "Bh:mm:ss"},       // zh_TW
        {"H:mm:ss (t)", "H:mm:ss"},         // es_ES
        {"h:mm:ss AP, t", "h:mm:ss AP"},    // sq_AL
        {"HH:mm:ss tttt", "HH:mm:ss"},      // long zone name
        {"HH 't' mm t", "HH 't' mm"},       // quoted t is text
        {"H:mm:ss 'ч'. t", "H:mm:ss 'ч'."}, // bg_BG
        {"HH:mm:ss", "HH:mm:ss"},           {"HH t mm", "HH mm"}, {"t", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StripTimeZoneFields(QString::fromUtf8(c.form)).toStdString(), c.stripped)
            << c.form;
    }
}

TEST(DateText, DayPeriodFieldsBecomeTheMorningAfternoonText) {
    EXPECT_EQ(ReplaceDayPeriodFields(QStringLiteral("Bh:mm:ss")), QStringLiteral("APh:mm:ss"));
    EXPECT_EQ(ReplaceDayPeriodFields(QStringLiteral("h:mm:ss BBBB")), QStringLiteral("h:mm:ss AP"));
    EXPECT_EQ(ReplaceDayPeriodFields(QStringLiteral("HH 'B' mm")), QStringLiteral("HH 'B' mm"));

    // zh_TW writes the afternoon before the hour; no letter B reaches the text.
    ZoneScope utc("UTC");
    const QLocale taiwan(QLocale::Chinese, QLocale::TraditionalChineseScript, QLocale::Taiwan);
    const std::string text = DateTextFormatter(taiwan).Format(Utc(2024, 7, 1, 13, 4, 5));
    EXPECT_EQ(text.find('B'), std::string::npos) << text;
    EXPECT_NE(text.find(taiwan.pmText().toStdString() + "1:04:05"), std::string::npos) << text;
}

TEST(DateText, NoLocaleShowsAZoneName) {
    ZoneScope utc("UTC");
    const auto time = Utc(2024, 7, 1, 13, 4, 5);
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    ASSERT_GT(locales.size(), 100);
    for (const QLocale& locale : locales) {
        const std::string text = DateTextFormatter(locale).Format(time);
        EXPECT_FALSE(text.empty()) << locale.name().toStdString();
        EXPECT_EQ(text.find("UTC"), std::string::npos)
            << locale.name().toStdString() << ": " << text;
        EXPECT_NE(text.back(), ' ') << locale.name().toStdString();
    }
}

} // namespace
} // namespace varnel::platform
