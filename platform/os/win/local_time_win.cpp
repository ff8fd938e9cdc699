#include "platform/os/local_time.h"

#include "platform/os/win/wide_text.h"

namespace varnel::platform {

std::optional<CivilTime> LocalCivilTime(std::chrono::sys_seconds time) {
    const std::optional<SYSTEMTIME> local = win::LocalSystemTime(time);
    if (!local) {
        return std::nullopt;
    }
    return CivilTime{local->wYear, local->wMonth,  local->wDay,
                     local->wHour, local->wMinute, local->wSecond};
}

} // namespace varnel::platform
