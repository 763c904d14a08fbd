// Calendar time in the local time zone, through the C library: the zone comes from TZ, else
// /etc/localtime, and is read at the first conversion; glibc reads TZ again only when asked
// (ReloadTimeZone), so a later change of TZ shows only after that.
#pragma once

#include <cstdint>

namespace Platform {

// A moment as a local calendar date and time of day.
struct LocalTime {
    int64_t year = 0;  // the full year
    int32_t month = 0; // 1-12, January is 1
    int32_t day = 0;   // 1-31
    int32_t weekday = 0; // 0-6, Sunday is 0
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
};

// The local time of the moment `seconds` after 1970-01-01 00:00:00 UTC (negative: before it).
// False when the library cannot convert it (a year beyond its range); `local` is then untouched.
bool ToLocalTime(int64_t seconds, LocalTime& local);

// Reads the zone settings (TZ) again; the next conversion uses them. Any thread; the library
// keeps the zone under its own lock.
void ReloadTimeZone();

} // namespace Platform
