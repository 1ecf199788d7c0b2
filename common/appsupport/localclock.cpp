#include "localclock.h"

#include <limits>

std::chrono::sys_seconds systemWallClockNow()
{
    return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

std::optional<std::tm> toLocalTime(std::chrono::sys_seconds time)
{
    const auto seconds = time.time_since_epoch().count();
    if constexpr (sizeof(std::time_t) < sizeof(seconds)) {
        if (seconds < std::numeric_limits<std::time_t>::min() ||
            seconds > std::numeric_limits<std::time_t>::max())
            return std::nullopt;
    }
    const auto value = std::time_t(seconds);
    std::tm local{};
    if (!localtime_r(&value, &local))
        return std::nullopt;
    return local;
}
