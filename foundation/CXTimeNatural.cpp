#include "foundation/CXTimeNatural.h"

#include "foundation/CXDebug.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace {

// 2999-12-31 23:59:58 UTC, the last second converted.
constexpr uint64_t kLastConvertibleSecond = 32503679998;

// Guards every use of the library's local-time and zone functions, which share static state.
std::mutex gTimeLock;
bool gTimeZoneLoaded = false; // under gTimeLock

// One out-of-range report per process, shared by the conversion and GetStartOfDay.
std::atomic<bool> gOutOfRangeReported{false};

bool ClaimOutOfRangeReport()
{
    return !gOutOfRangeReported.exchange(true, std::memory_order_relaxed);
}

int32_t Clamp(int32_t value, int32_t low, int32_t high)
{
    return value < low ? low : (value > high ? high : value);
}

} // namespace

const CXTimeNameEntry kCXTimeMonthNames[] = {
    {"Jan", 1}, {"January", 1}, {"Feb", 2}, {"February", 2}, {"Mar", 3}, {"March", 3},
    {"Apr", 4}, {"April", 4}, {"May", 5}, {"Jun", 6}, {"June", 6}, {"Jul", 7}, {"July", 7},
    {"Aug", 8}, {"August", 8}, {"Sep", 9}, {"September", 9}, {"Oct", 10}, {"October", 10},
    {"Nov", 11}, {"November", 11}, {"Dec", 12}, {"December", 12}, {nullptr, -1},
};

const CXTimeNameEntry kCXTimeWeekdayNames[] = {
    {"Sun", 1}, {"Sunday", 1}, {"Mon", 2}, {"Monday", 2}, {"Tue", 3}, {"Tues", 3},
    {"Tuesday", 3}, {"Wed", 4}, {"Wednesday", 4}, {"Thu", 5}, {"Thurs", 5}, {"Thursday", 5},
    {"Fri", 6}, {"Friday", 6}, {"Sat", 7}, {"Saturday", 7}, {nullptr, -1},
};

const CXTimeNameEntry kCXTimeHalfDayNames[] = {
    {"AM", 0}, {"PM", 1}, {nullptr, -1},
};

CXTimeNatural::CXTimeNatural(CXTimestamp timestamp)
{
    int64_t seconds = timestamp / 1000;
    // Negative times count as huge.
    if (static_cast<uint64_t>(seconds) > kLastConvertibleSecond) {
        if (ClaimOutOfRangeReport())
            CXDebugLog("CXTimeNatural> input timestamp out of range for this platform");
        return;
    }

    CXTimeHostLocalTime local{};
    bool converted;
    CXString zoneName;
    int32_t zoneOffset = 0;
    {
        std::lock_guard<std::mutex> lock(gTimeLock);
        if (!gTimeZoneLoaded) {
            CXTimeNaturalHostLoadTimeZone();
            gTimeZoneLoaded = true;
        }
        converted = CXTimeNaturalHostLocalTime(seconds, local);
        if (converted)
            CXTimeNaturalHostZone(zoneName, zoneOffset);
    }
    if (!converted) {
        CXDebugLog("CXTimeNatural> localtime() failed");
        return;
    }

    fSecond = Clamp(local.second, 0, 59);
    fMinute = Clamp(local.minute, 0, 59);
    fHour = Clamp(local.hour, 0, 23);
    fDay = Clamp(local.day, 1, 31);
    fMonth = Clamp(local.month + 1, 1, 12);
    fYear = local.year + 1900;
    fWeekday = Clamp(local.weekday, 0, 6);
    fDayOfYear = Clamp(local.dayOfYear, 0, 366);
    fZoneName = zoneName;
    fZoneOffset = zoneOffset;
}

CXTimeNatural CXTimeNatural::Now()
{
    return CXTimeNatural(CXTime::GetCurrentTimestamp());
}

bool CXTimeNatural::IsSet() const
{
    return fSecond != 0 || fMinute != 0 || fHour != 0 || fDay != 0 || fMonth != 0 || fYear != 0 || fWeekday != 0
        || fDayOfYear != 0;
}

CXTimeNatural::operator CXTimestamp() const
{
    if (!IsSet())
        return 0;
    // Years the C library's year field cannot hold, or times beyond the millisecond range, fail
    // like any other time that cannot be converted.
    if (fYear < INT32_MIN + 1900 || fMonth == INT32_MIN) {
        CXDebugLog("CXTimeNatural::operator CXTimestamp> mktime() failed");
        return 0;
    }
    CXTimeHostLocalTime local{};
    local.second = fSecond;
    local.minute = fMinute;
    local.hour = fHour;
    local.day = fDay;
    local.month = fMonth - 1;
    local.year = fYear - 1900;
    int64_t seconds = 0;
    bool converted;
    {
        std::lock_guard<std::mutex> lock(gTimeLock);
        if (!gTimeZoneLoaded) {
            CXTimeNaturalHostLoadTimeZone();
            gTimeZoneLoaded = true;
        }
        converted = CXTimeNaturalHostMakeTime(local, seconds);
    }
    if (!converted || seconds > INT64_MAX / 1000 || seconds < INT64_MIN / 1000) {
        CXDebugLog("CXTimeNatural::operator CXTimestamp> mktime() failed");
        return 0;
    }
    return seconds * 1000;
}

CXTimestamp CXTime::GetStartOfDay(CXTimestamp timestamp)
{
    CXTimeNatural natural(timestamp);
    natural.fSecond = 0;
    natural.fMinute = 0;
    natural.fHour = 0;
    CXTimestamp start = natural;
    if (start > timestamp) {
        if (ClaimOutOfRangeReport())
            CXDebugLog("CXTime::GetStartOfDay> timestamp out of range for this platform");
        return 0;
    }
    return start;
}
