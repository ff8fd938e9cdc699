#pragma once

// The system's date-to-text conversion of the modified time in a report, on
// Windows: the user's short date, a blank, the long time
// (GetDateFormatEx/GetTimeFormatEx); a time of exactly midnight gives the
// date alone. Local time, as the system's time zone makes it.

#include <chrono>
#include <string>

namespace varnel::platform {

class DateTextFormatter {
public:
    // Any time the system's calendar holds (1601 to 30827); empty text
    // for one it does not.
    std::string Format(std::chrono::sys_seconds time) const;
};

// Date text of time for the user's locale (UTF-8).
std::string FormatModifiedTime(std::chrono::sys_seconds time);

} // namespace varnel::platform
