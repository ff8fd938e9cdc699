#include "report/saved_time.h"

#include "formats/utf8.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace varnel {

namespace {

// Month names and abbreviations as locales write them in dates, lower case,
// without the abbreviation's dot: English, German, French, Spanish,
// Italian, Portuguese, Dutch, Swedish and Russian (genitive, as in a date).
struct MonthName {
    std::string_view name;
    int month;
};
constexpr MonthName kMonthNames[] = {
    {"jan", 1},       {"january", 1},    {"januar", 1},    {"janvier", 1},   {"janv", 1},
    {"enero", 1},     {"ene", 1},        {"gennaio", 1},   {"gen", 1},       {"janeiro", 1},
    {"januari", 1},   {"января", 1},     {"янв", 1},       {"feb", 2},       {"february", 2},
    {"februar", 2},   {"février", 2},    {"févr", 2},      {"febrero", 2},   {"febbraio", 2},
    {"fevereiro", 2}, {"fev", 2},        {"februari", 2},  {"февраля", 2},   {"февр", 2},
    {"фев", 2},       {"mar", 3},        {"march", 3},     {"märz", 3},      {"mär", 3},
    {"mars", 3},      {"marzo", 3},      {"março", 3},     {"maart", 3},     {"mrt", 3},
    {"марта", 3},     {"мар", 3},        {"apr", 4},       {"april", 4},     {"avril", 4},
    {"avr", 4},       {"abril", 4},      {"abr", 4},       {"aprile", 4},    {"апреля", 4},
    {"апр", 4},       {"may", 5},        {"mai", 5},       {"mayo", 5},      {"maggio", 5},
    {"mag", 5},       {"maio", 5},       {"mei", 5},       {"maj", 5},       {"мая", 5},
    {"jun", 6},       {"june", 6},       {"juni", 6},      {"juin", 6},      {"junio", 6},
    {"giugno", 6},    {"giu", 6},        {"junho", 6},     {"июня", 6},      {"июн", 6},
    {"jul", 7},       {"july", 7},       {"juli", 7},      {"juillet", 7},   {"juil", 7},
    {"julio", 7},     {"luglio", 7},     {"lug", 7},       {"julho", 7},     {"июля", 7},
    {"июл", 7},       {"aug", 8},        {"august", 8},    {"août", 8},      {"agosto", 8},
    {"ago", 8},       {"augustus", 8},   {"augusti", 8},   {"августа", 8},   {"авг", 8},
    {"sep", 9},       {"sept", 9},       {"september", 9}, {"septembre", 9}, {"septiembre", 9},
    {"setiembre", 9}, {"settembre", 9},  {"set", 9},       {"setembro", 9},  {"сентября", 9},
    {"сент", 9},      {"oct", 10},       {"october", 10},  {"oktober", 10},  {"okt", 10},
    {"octobre", 10},  {"octubre", 10},   {"ottobre", 10},  {"ott", 10},      {"outubro", 10},
    {"out", 10},      {"октября", 10},   {"окт", 10},      {"nov", 11},      {"november", 11},
    {"novembre", 11}, {"noviembre", 11}, {"novembro", 11}, {"ноября", 11},   {"нояб", 11},
    {"dec", 12},      {"december", 12},  {"dezember", 12}, {"dez", 12},      {"décembre", 12},
    {"déc", 12},      {"diciembre", 12}, {"dic", 12},      {"dicembre", 12}, {"dezembro", 12},
    {"декабря", 12},  {"дек", 12},
};

enum class Period { None, Morning, Afternoon };

// The locales' morning and afternoon words. Latin ones are whole words (or
// "a. m." as two); the others stand anywhere in a word, since CJK text runs
// them into what follows ("下午5:44:48" is read as a word and numbers, but
// "日下午" as one word).
constexpr std::string_view kMorningWords[] = {"am", "vorm"};
constexpr std::string_view kAfternoonWords[] = {"pm", "nachm"};
constexpr std::string_view kMorningMarks[] = {"上午", "午前", "早上", "凌晨", "清晨",
                                              "오전", "ص",    "πμ",   "дп"};
constexpr std::string_view kAfternoonMarks[] = {"下午", "午後", "中午", "晚上", "傍晚",
                                                "오후", "م",    "μμ",   "пп"};

// The zero of each script's decimal digits that locales write dates in.
constexpr char32_t kDigitZeros[] = {U'0',      U'\u0660', U'\u06F0', U'\u0966',
                                    U'\u09E6', U'\u0E50', U'\u1040', U'\uFF10'};

std::optional<unsigned> DigitValue(char32_t c) {
    for (const char32_t zero : kDigitZeros) {
        if (c >= zero && c <= zero + 9) {
            return static_cast<unsigned>(c - zero);
        }
    }
    return std::nullopt;
}

// Blanks, marks and punctuation that set the parts of a date apart.
bool IsSeparator(char32_t c) {
    if (c < 0x80) {
        return !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
    }
    return c == 0x00A0 || (c >= 0x2000 && c <= 0x200F) || (c >= 0x2028 && c <= 0x202F) ||
           c == 0x205F || c == 0x3000 || c == 0x3001 || c == 0x061C || c == 0x060C || c == 0xFF0C ||
           c == 0xFF0F || c == 0xFF1A || c == 0xFF0E || c == 0x066B || c == 0x066C;
}

struct WrittenNumber {
    int value = 0;
    std::size_t digits = 0;
};

// The numbers, the month word and the morning or afternoon word of a text.
struct TimeTokens {
    std::vector<WrittenNumber> numbers;
    std::vector<int> months;
    Period period = Period::None;
};

void TakeWord(std::string& word, std::string& previous, TimeTokens& tokens) {
    if (word.empty()) {
        return;
    }
    for (const MonthName& month : kMonthNames) {
        if (word == month.name) {
            tokens.months.push_back(month.month);
        }
    }
    const auto any = [&](auto& words, bool whole) {
        return std::any_of(std::begin(words), std::end(words), [&](std::string_view w) {
            return whole ? word == w : word.find(w) != std::string::npos;
        });
    };
    const bool ascii =
        std::all_of(word.begin(), word.end(), [](char c) { return (c & 0x80) == 0; });
    if (ascii ? any(kMorningWords, true) || (previous == "a" && word == "m")
              : any(kMorningMarks, false)) {
        tokens.period = Period::Morning;
    } else if (ascii ? any(kAfternoonWords, true) || (previous == "p" && word == "m")
                     : any(kAfternoonMarks, false)) {
        tokens.period = Period::Afternoon;
    }
    previous = std::move(word);
    word.clear();
}

TimeTokens Tokenise(std::string_view text) {
    TimeTokens tokens;
    std::string word;
    std::string previous;
    std::optional<WrittenNumber> number;
    const auto endNumber = [&] {
        if (number) {
            tokens.numbers.push_back(*number);
            number.reset();
        }
    };
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        std::size_t length = formats::Utf8SequenceLength(text.substr(i), c);
        if (length == 0) {
            length = 1;
            c = U' '; // a byte that is no character sets parts apart
        }
        const std::string_view bytes = text.substr(i, length);
        i += length;
        if (const std::optional<unsigned> digit = DigitValue(c)) {
            TakeWord(word, previous, tokens);
            if (!number) {
                number = WrittenNumber{};
            }
            number->value = std::min(number->value * 10 + static_cast<int>(*digit), 1000000);
            ++number->digits;
            continue;
        }
        endNumber();
        if (IsSeparator(c)) {
            TakeWord(word, previous, tokens);
            continue;
        }
        if (length == 1 && c >= 'A' && c <= 'Z') {
            word += static_cast<char>(c - 'A' + 'a');
        } else {
            word += bytes;
        }
    }
    endNumber();
    TakeWord(word, previous, tokens);
    return tokens;
}

struct Reading {
    int year = 0;
    int month = 0;
    int day = 0;
};

// A written year: two digits as the year of that ending nearest the file's
// year, more digits as the year itself. A single digit is no year locales
// write.
std::optional<int> YearOf(const WrittenNumber& written, int near) {
    if (written.digits == 2) {
        int year = near - ((near % 100) + 100) % 100 + written.value;
        if (year - near > 50) {
            year -= 100;
        } else if (near - year > 50) {
            year += 100;
        }
        return year;
    }
    if (written.digits > 2) {
        return written.value;
    }
    return std::nullopt;
}

bool SmallNumber(const WrittenNumber& written) {
    return written.digits >= 1 && written.digits <= 2;
}

std::optional<Reading> DateOf(const WrittenNumber& year, int month, const WrittenNumber& day,
                              int nearYear) {
    const std::optional<int> full = YearOf(year, nearYear);
    if (!full || !SmallNumber(day)) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year{*full},
                                           std::chrono::month{static_cast<unsigned>(month)},
                                           std::chrono::day{static_cast<unsigned>(day.value)}};
    if (!date.ok() || month < 1 || month > 12) {
        return std::nullopt;
    }
    return Reading{*full, month, day.value};
}

std::vector<Reading> DatesOf(const TimeTokens& tokens, int nearYear) {
    std::vector<Reading> dates;
    const auto add = [&](std::optional<Reading> date) {
        if (date) {
            dates.push_back(*date);
        }
    };
    const std::vector<WrittenNumber>& n = tokens.numbers;
    if (tokens.months.size() == 1) {
        const int month = tokens.months.front();
        add(DateOf(n[1], month, n[0], nearYear)); // 9 Dec 2026
        add(DateOf(n[0], month, n[1], nearYear)); // 2026 Dec 9
        return dates;
    }
    const auto monthOf = [](const WrittenNumber& written) {
        return SmallNumber(written) ? written.value : 0;
    };
    add(DateOf(n[0], monthOf(n[1]), n[2], nearYear)); // year, month, day
    add(DateOf(n[2], monthOf(n[1]), n[0], nearYear)); // day, month, year
    add(DateOf(n[2], monthOf(n[0]), n[1], nearYear)); // month, day, year
    return dates;
}

std::int64_t SecondsOf(int year, int month, int day, int hour, int minute, int second) {
    const std::chrono::sys_days days{std::chrono::year{year} /
                                     std::chrono::month{static_cast<unsigned>(month)} /
                                     std::chrono::day{static_cast<unsigned>(day)}};
    return static_cast<std::int64_t>(days.time_since_epoch().count()) * 86400 + hour * 3600 +
           minute * 60 + second;
}

// The time of day a text gives, in seconds; nothing when it gives none.
std::optional<int> TimeOfDay(const TimeTokens& tokens, std::size_t first) {
    const std::vector<WrittenNumber>& n = tokens.numbers;
    if (first == n.size()) {
        return 0; // the date alone: midnight
    }
    if (n.size() - first != 3 || !SmallNumber(n[first]) || !SmallNumber(n[first + 1]) ||
        !SmallNumber(n[first + 2])) {
        return std::nullopt;
    }
    int hour = n[first].value;
    const int minute = n[first + 1].value;
    const int second = n[first + 2].value;
    if (tokens.period != Period::None) {
        if (hour > 12) {
            return std::nullopt;
        }
        hour = hour % 12 + (tokens.period == Period::Afternoon ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }
    return hour * 3600 + minute * 60 + second;
}

constexpr std::int64_t kQuarterHour = 15 * 60;
constexpr std::int64_t kWidestZoneGap = 14 * 3600;

} // namespace

SavedTimeAgreement CompareSavedTime(std::string_view value, const LocalTime& time) {
    if (!time.text.empty() && value == time.text) {
        return SavedTimeAgreement::Same;
    }
    const TimeTokens tokens = Tokenise(value);
    const std::size_t dateNumbers = tokens.months.size() == 1 ? 2 : 3;
    if (tokens.months.size() > 1 || tokens.numbers.size() < dateNumbers) {
        return SavedTimeAgreement::Unreadable;
    }
    const std::optional<int> timeOfDay = TimeOfDay(tokens, dateNumbers);
    const std::vector<Reading> dates = DatesOf(tokens, time.year);
    const std::chrono::year_month_day fileDate{
        std::chrono::year{time.year}, std::chrono::month{static_cast<unsigned>(time.month)},
        std::chrono::day{static_cast<unsigned>(time.day)}};
    if (!timeOfDay || dates.empty() || !fileDate.ok()) {
        return SavedTimeAgreement::Unreadable;
    }
    const std::int64_t file =
        SecondsOf(time.year, time.month, time.day, time.hour, time.minute, time.second);
    SavedTimeAgreement agreement = SavedTimeAgreement::Differs;
    for (const Reading& date : dates) {
        const std::int64_t gap =
            SecondsOf(date.year, date.month, date.day, 0, 0, 0) + *timeOfDay - file;
        if (gap == 0) {
            return SavedTimeAgreement::Same;
        }
        if (gap % kQuarterHour == 0 && gap >= -kWidestZoneGap && gap <= kWidestZoneGap) {
            agreement = SavedTimeAgreement::OtherZone;
        }
    }
    return agreement;
}

bool SavedTimeMatches(std::string_view value, const LocalTime& time) {
    const SavedTimeAgreement agreement = CompareSavedTime(value, time);
    return agreement == SavedTimeAgreement::Same || agreement == SavedTimeAgreement::OtherZone;
}

} // namespace varnel
