// Local-time conversions on the C library's POSIX calls (tzset, localtime_r, mktime), zone from TZ or
// /etc/localtime. glibc's mktime re-reads TZ on each call, so a change of TZ after start-up may show.
#include "foundation/CXTimeNatural.h"

#include <time.h>

void CXTimeNaturalHostLoadTimeZone()
{
    tzset();
}

bool CXTimeNaturalHostLocalTime(int64_t seconds, CXTimeHostLocalTime& local)
{
    time_t time = static_cast<time_t>(seconds);
    struct tm result {};
    if (localtime_r(&time, &result) == nullptr)
        return false;
    local.second = result.tm_sec;
    local.minute = result.tm_min;
    local.hour = result.tm_hour;
    local.day = result.tm_mday;
    local.month = result.tm_mon;
    local.year = result.tm_year;
    local.weekday = result.tm_wday;
    local.dayOfYear = result.tm_yday;
    return true;
}

bool CXTimeNaturalHostMakeTime(const CXTimeHostLocalTime& local, int64_t& seconds)
{
    struct tm broken {};
    broken.tm_sec = local.second;
    broken.tm_min = local.minute;
    broken.tm_hour = local.hour;
    broken.tm_mday = local.day;
    broken.tm_mon = local.month;
    broken.tm_year = local.year;
    broken.tm_wday = 0;
    broken.tm_yday = 0;
    broken.tm_isdst = -1;
    time_t result = mktime(&broken);
    if (result == static_cast<time_t>(-1))
        return false;
    seconds = static_cast<int64_t>(result);
    return true;
}

void CXTimeNaturalHostZone(CXString& name, int32_t& offset)
{
    name = daylight != 0 ? tzname[1] : tzname[0];
    offset = static_cast<int32_t>(-timezone);
}
