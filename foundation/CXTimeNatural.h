#pragma once

#include "foundation/CXString.h"
#include "foundation/CXTime.h"

#include <cstdint>

// Broken-down local time. Converted to and from a timestamp through the C library's local-time
// functions in the user's time zone (daylight saving included), under the process-wide time lock;
// the zone settings are loaded on the first conversion. A value whose eight numeric fields are all
// 0 is "unset".
class CXTimeNatural {
public:
    // Unset, zone "GMT", offset 0.
    CXTimeNatural() = default;
    // The local time of that moment. A moment a second or more before 1970, after 2999-12-31
    // 23:59:58 UTC, or one the library cannot convert gives an unset value with zone "GMT"; the
    // first out-of-range moment of the process is logged.
    explicit CXTimeNatural(CXTimestamp timestamp);
    static CXTimeNatural Now();

    bool IsSet() const;
    // The timestamp of this local time (seconds resolution), or 0 when unset or not convertible.
    // A local time that does not exist or occurs twice (daylight-saving changes) is resolved by
    // the library.
    operator CXTimestamp() const;

    int32_t fSecond = 0;    // 0-59
    int32_t fMinute = 0;    // 0-59
    int32_t fHour = 0;      // 0-23
    int32_t fDay = 0;       // day of the month, 1-31
    int32_t fMonth = 0;     // 1-12, January is 1
    int32_t fYear = 0;      // full year
    int32_t fWeekday = 0;   // 0-6, Sunday is 0
    int32_t fDayOfYear = 0; // 0-365, 1 January is 0
    // The zone's daylight-time name when it observes daylight saving at all, else its standard
    // name; "GMT" when not from a local-time conversion.
    CXString fZoneName{"GMT"};
    // Seconds east of UTC of the zone's standard time (0 with "GMT"). Neither zone field depends
    // on the date converted.
    int32_t fZoneOffset = 0;
};

// Name tables of months, weekdays and the half-day markers: {name, number} pairs closed by an
// entry with a null name and the number -1. Months count from January = 1, weekdays from
// Sunday = 1, "AM" = 0 and "PM" = 1.
struct CXTimeNameEntry {
    const char* name;
    int32_t number;
};
extern const CXTimeNameEntry kCXTimeMonthNames[];
extern const CXTimeNameEntry kCXTimeWeekdayNames[];
extern const CXTimeNameEntry kCXTimeHalfDayNames[];

// Host side of the local-time conversions (CXTimeNaturalLinux.cpp). These use the library's shared
// zone state: callers hold the time lock.
struct CXTimeHostLocalTime {
    int32_t second, minute, hour, day;
    int32_t month;   // 0-11
    int32_t year;    // years since 1900
    int32_t weekday, dayOfYear;
};
void CXTimeNaturalHostLoadTimeZone();
bool CXTimeNaturalHostLocalTime(int64_t seconds, CXTimeHostLocalTime& local);
// Seconds since 1970 of a local time, the daylight flag left to the library; false on failure.
bool CXTimeNaturalHostMakeTime(const CXTimeHostLocalTime& local, int64_t& seconds);
void CXTimeNaturalHostZone(CXString& name, int32_t& offset);
