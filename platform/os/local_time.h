#pragma once

// A moment as the local clock and calendar tell it, in the zone the TZ
// setting makes (the system's when unset), as the date text of reports
// writes it.

#include <chrono>
#include <optional>

namespace varnel::platform {

struct CivilTime {
    int year = 0;
    int month = 0; // 1 to 12
    int day = 0;   // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The local date and time of time; nothing when the system cannot tell it
// (a year beyond what its calendar holds).
std::optional<CivilTime> LocalCivilTime(std::chrono::sys_seconds time);

} // namespace varnel::platform
