#include "platform/LocalTime.h"

#include <mutex>
#include <time.h>

namespace Platform {

static_assert(sizeof(time_t) == sizeof(int64_t), "times before 1901 and after 2038 need a 64-bit time_t");

bool ToLocalTime(int64_t seconds, LocalTime& local)
{
    // POSIX leaves it open whether localtime_r reads the zone at all; tzset always does.
    static std::once_flag zoneLoaded;
    std::call_once(zoneLoaded, [] { tzset(); });
    const time_t time = static_cast<time_t>(seconds);
    struct tm broken {};
    if (localtime_r(&time, &broken) == nullptr)
        return false;
    local.year = int64_t{broken.tm_year} + 1900;
    local.month = broken.tm_mon + 1;
    local.day = broken.tm_mday;
    local.weekday = broken.tm_wday;
    local.hour = broken.tm_hour;
    local.minute = broken.tm_min;
    local.second = broken.tm_sec;
    return true;
}

void ReloadTimeZone()
{
    tzset();
}

} // namespace Platform
