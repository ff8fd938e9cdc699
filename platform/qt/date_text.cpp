#include "platform/qt/date_text.h"

#include <QDateTime>
#include <QTime>

namespace varnel::platform {

namespace {

bool IsSeparator(QChar c) {
    return c.isSpace() || c == QLatin1Char(',');
}

} // namespace

QString StripTimeZoneFields(const QString& form) {
    QString result = form;
    // Find the zone fields first (outside quoted text), then cut them from
    // the right so that earlier positions stay valid.
    struct Run {
        qsizetype begin;
        qsizetype end;
    };
    QList<Run> runs;
    bool quoted = false;
    for (qsizetype i = 0; i < result.size(); ++i) {
        const QChar c = result.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted; // '' inside quotes toggles twice: a literal quote
        } else if (!quoted && c == QLatin1Char('t')) {
            qsizetype end = i;
            while (end < result.size() && result.at(end) == QLatin1Char('t')) {
                ++end;
            }
            runs.append({i, end});
            i = end - 1;
        }
    }

    for (auto it = runs.crbegin(); it != runs.crend(); ++it) {
        qsizetype begin = it->begin;
        qsizetype end = it->end;
        const qsizetype size = result.size();

        // "(t)" or "[t]", with or without blanks inside the brackets.
        qsizetype left = begin;
        while (left > 0 && result.at(left - 1).isSpace()) {
            --left;
        }
        qsizetype right = end;
        while (right < size && result.at(right).isSpace()) {
            ++right;
        }
        if (left > 0 && right < size) {
            const QChar open = result.at(left - 1);
            const QChar close = result.at(right);
            if ((open == QLatin1Char('(') && close == QLatin1Char(')')) ||
                (open == QLatin1Char('[') && close == QLatin1Char(']'))) {
                begin = left - 1;
                end = right + 1;
            }
        }

        // The blanks (and a comma) that set the field off: those before it,
        // or those after it when it starts the form.
        while (begin > 0 && IsSeparator(result.at(begin - 1))) {
            --begin;
        }
        if (begin == 0) {
            while (end < size && IsSeparator(result.at(end))) {
                ++end;
            }
        }
        result.remove(begin, end - begin);
    }
    return result;
}

QString ReplaceDayPeriodFields(const QString& form) {
    // Some locales (zh_TW among them) write the time with the flexible day
    // period "B" ("下午1:04:05"). The formatter has no such field and would
    // print the letter itself; its morning/afternoon text "AP" says the same.
    QString result;
    result.reserve(form.size() + 2);
    bool quoted = false;
    for (qsizetype i = 0; i < form.size(); ++i) {
        const QChar c = form.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            result += c;
        } else if (!quoted && (c == QLatin1Char('B') || c == QLatin1Char('b'))) {
            while (i + 1 < form.size() && form.at(i + 1) == c) {
                ++i;
            }
            result += QLatin1String("AP");
        } else {
            result += c;
        }
    }
    return result;
}

DateTextFormatter::DateTextFormatter() : DateTextFormatter(QLocale::system()) {}

DateTextFormatter::DateTextFormatter(const QLocale& locale)
    : m_Locale(locale), m_DateForm(locale.dateFormat(QLocale::ShortFormat)),
      m_TimeForm(
          ReplaceDayPeriodFields(StripTimeZoneFields(locale.timeFormat(QLocale::LongFormat)))) {}

std::string DateTextFormatter::Format(std::chrono::sys_seconds time) const {
    const QDateTime local =
        QDateTime::fromSecsSinceEpoch(static_cast<qint64>(time.time_since_epoch().count()));
    if (!local.isValid()) {
        return {};
    }
    QString text = m_Locale.toString(local.date(), m_DateForm);
    if (local.time() != QTime(0, 0)) {
        text += QLatin1Char(' ');
        text += m_Locale.toString(local.time(), m_TimeForm);
    }
    return text.toStdString();
}

std::string FormatModifiedTime(std::chrono::sys_seconds time) {
    return DateTextFormatter().Format(time);
}

} // namespace varnel::platform
