#include "platform/os/win/date_text.h"

#include "platform/os/win/wide_text.h"

namespace varnel::platform {

namespace win {

std::optional<SYSTEMTIME> LocalSystemTime(std::chrono::sys_seconds time) {
    constexpr std::int64_t kTicksPerSecond = 10'000'000;
    constexpr std::int64_t kEpochSeconds = 11'644'473'600LL;
    const std::int64_t seconds = time.time_since_epoch().count() + kEpochSeconds;
    // FILETIME holds 1601 to 30828; SYSTEMTIME's year stops at 30827.
    if (seconds < 0 || seconds > 910'692'730'000LL) {
        return std::nullopt;
    }
    const auto ticks = static_cast<std::uint64_t>(seconds * kTicksPerSecond);
    const FILETIME file{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    if (!::FileTimeToSystemTime(&file, &utc) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        return std::nullopt;
    }
    return local;
}

} // namespace win

std::string DateTextFormatter::Format(std::chrono::sys_seconds time) const {
    const std::optional<SYSTEMTIME> local = win::LocalSystemTime(time);
    if (!local) {
        return {};
    }
    wchar_t date[128];
    if (::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &*local, nullptr, date,
                          static_cast<int>(std::size(date)), nullptr) == 0) {
        return {};
    }
    std::string text = win::Utf8FromWide(date);
    if (local->wHour != 0 || local->wMinute != 0 || local->wSecond != 0) {
        wchar_t clock[128];
        if (::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &*local, nullptr, clock,
                              static_cast<int>(std::size(clock))) == 0) {
            return {};
        }
        text += ' ';
        text += win::Utf8FromWide(clock);
    }
    return text;
}

std::string FormatModifiedTime(std::chrono::sys_seconds time) {
    return DateTextFormatter().Format(time);
}

} // namespace varnel::platform
