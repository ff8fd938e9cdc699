#include "platform/os/local_time.h"

#include <ctime>

namespace varnel::platform {

std::optional<CivilTime> LocalCivilTime(std::chrono::sys_seconds time) {
    const std::time_t seconds = static_cast<std::time_t>(time.time_since_epoch().count());
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr) {
        return std::nullopt;
    }
    return CivilTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                     local.tm_hour,        local.tm_min,     local.tm_sec};
}

} // namespace varnel::platform
