#pragma once

// The modified time of a saved report read back. The writer puts the time in
// words of the writing machine's locale (its short date and long time), so a
// report made on a server under C.UTF-8 and checked on a desktop under
// en_US.UTF-8 or zh_CN.UTF-8 carries a text the checking machine would never
// write itself. The reader therefore takes the time in every form a locale
// writes it and compares the date and time it stands for.

#include <string>
#include <string_view>

namespace varnel {

// A file's modified time as the checking machine tells it: the local date and
// time, and the text this machine writes for it in the block's form (its
// locale's words and digits, converted in the Traditional mode).
struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::string text;
};

// How a saved time line stands to the file's time.
enum class SavedTimeAgreement {
    Same,       // one reading of the text is the file's local date and time
    OtherZone,  // a reading differs by whole quarter hours, at most 14 hours:
                // the same instant written in another time zone
    Differs,    // the text reads as a date and time, and none of them is the file's
    Unreadable, // the text reads as no date and time at all
};

// Reads value as a date and time in any of the forms locales write: the
// date's numbers in year-month-day, day-month-year or month-day-year order,
// separated by ".", "/", "-" or blanks, with a year of two digits (the one
// nearest the file's year) or four; a month named in English or in one of
// the European languages people use ("Dec", "Dez.", "déc.", "dic"); the CJK
// forms (2026年12月9日); digits of other scripts (Arabic-Indic, Devanagari,
// full-width); a 12-hour clock with the locales' morning and afternoon words
// (AM, p. m., 下午, 午後, 오후, ...) or a 24-hour one; the date alone for
// midnight, as the writer writes it. Readings that give no real date are
// dropped; one date's numbers may read as two dates (1/2/26), and the value
// stands for the time when either does: a file modified at that exact second
// of the swapped date is not a case that occurs.
SavedTimeAgreement CompareSavedTime(std::string_view value, const LocalTime& time);

// Whether a time line's value stands for the time, in this zone or another.
bool SavedTimeMatches(std::string_view value, const LocalTime& time);

} // namespace varnel
