#include "foundation/CXDebug.h"
#include "foundation/CXTime.h"
#include "foundation/CXTimeNatural.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

// Central European rules, fixed before the first conversion loads the zone: daylight time from
// the last Sunday of March 02:00 to the last Sunday of October 03:00.
const bool kZoneSet = [] {
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    return true;
}();

struct Local {
    int32_t year, month, day, hour, minute, second, weekday, dayOfYear;
};

void ExpectLocal(const CXTimeNatural& natural, const Local& local)
{
    EXPECT_EQ(natural.fYear, local.year);
    EXPECT_EQ(natural.fMonth, local.month);
    EXPECT_EQ(natural.fDay, local.day);
    EXPECT_EQ(natural.fHour, local.hour);
    EXPECT_EQ(natural.fMinute, local.minute);
    EXPECT_EQ(natural.fSecond, local.second);
    EXPECT_EQ(natural.fWeekday, local.weekday);
    EXPECT_EQ(natural.fDayOfYear, local.dayOfYear);
    EXPECT_TRUE(natural.IsSet());
    // The zone fields describe the zone, not the date.
    EXPECT_EQ(natural.fZoneName, "CEST");
    EXPECT_EQ(natural.fZoneOffset, 3600);
}

CXTimeNatural MakeLocal(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second)
{
    CXTimeNatural natural;
    natural.fYear = year;
    natural.fMonth = month;
    natural.fDay = day;
    natural.fHour = hour;
    natural.fMinute = minute;
    natural.fSecond = second;
    return natural;
}

TEST(CXTimeNaturalTest, RoundTripsAcrossDaylightSavingChanges)
{
    ASSERT_TRUE(kZoneSet);
    struct Case {
        CXTimestamp timestamp;
        Local local;
        CXTimestamp back; // seconds resolution
    } cases[] = {
        {0, {1970, 1, 1, 1, 0, 0, 4, 0}, 0},
        {-1, {1970, 1, 1, 1, 0, 0, 4, 0}, 0}, // seconds truncate toward zero
        {999, {1970, 1, 1, 1, 0, 0, 4, 0}, 0},
        {1396141199000, {2014, 3, 30, 1, 59, 59, 0, 88}, 1396141199000}, // last second of winter time
        {1396141200000, {2014, 3, 30, 3, 0, 0, 0, 88}, 1396141200000},   // first of summer time
        {1414281599000, {2014, 10, 26, 1, 59, 59, 0, 298}, 1414281599000},
        {1414288800000, {2014, 10, 26, 3, 0, 0, 0, 298}, 1414288800000},  // after the repeated hour
        {1456747200500, {2016, 2, 29, 13, 0, 0, 1, 59}, 1456747200000},
        {32503679998000, {3000, 1, 1, 0, 59, 58, 3, 0}, 32503679998000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.timestamp);
        CXTimeNatural natural(c.timestamp);
        ExpectLocal(natural, c.local);
        EXPECT_EQ(static_cast<CXTimestamp>(natural), c.back);
    }
}

TEST(CXTimeNaturalTest, LocalTimesTheChangesMakeAmbiguous)
{
    CXDebugCapture capture;
    // 02:00-03:00 on 2014-10-26 happens twice: either moment is a valid answer.
    CXTimestamp repeated = CXTimeNatural(1414285200000); // 02:00 winter time
    EXPECT_TRUE(repeated == 1414281600000 || repeated == 1414285200000) << repeated;
    // 02:30 on 2014-03-30 does not exist: the library moves it by an hour one way or the other.
    CXTimestamp skipped = MakeLocal(2014, 3, 30, 2, 30, 0);
    EXPECT_TRUE(skipped == 1396139400000 || skipped == 1396143000000) << skipped;
    EXPECT_TRUE(capture.Lines().empty());
}

TEST(CXTimeNaturalTest, UnsetValues)
{
    CXTimeNatural unset;
    EXPECT_FALSE(unset.IsSet());
    EXPECT_EQ(unset.fZoneName, "GMT");
    EXPECT_EQ(unset.fZoneOffset, 0);
    EXPECT_EQ(static_cast<CXTimestamp>(unset), 0);

    // Any one numeric field makes a value set.
    CXTimeNatural weekdayOnly;
    weekdayOnly.fWeekday = 2;
    EXPECT_TRUE(weekdayOnly.IsSet());
}

// The only test that provokes the out-of-range report, which is written once per process.
TEST(CXTimeNaturalTest, OutOfRangeTimesAreUnsetAndReportedOnce)
{
    CXDebugCapture capture;
    for (CXTimestamp timestamp : {CXTimestamp(-1000), CXTimestamp(32503679999000), CXTimestamp(-1000)}) {
        CXTimeNatural natural(timestamp);
        EXPECT_FALSE(natural.IsSet()) << timestamp;
        EXPECT_EQ(natural.fZoneName, "GMT");
        EXPECT_EQ(natural.fZoneOffset, 0);
    }
    EXPECT_EQ(CXTime::GetStartOfDay(-5000), 0);
    EXPECT_EQ(CXTime::GetStartOfDay(INT64_MAX), 0);
    // Repeated runs of this test in one process see no further report.
    static bool firstRun = true;
    size_t expected = firstRun ? 1 : 0;
    firstRun = false;
    EXPECT_EQ(capture.Count("CXTimeNatural> input timestamp out of range for this platform")
                  + capture.Count("CXTime::GetStartOfDay> timestamp out of range for this platform"),
              expected);
    EXPECT_EQ(capture.Lines().size(), expected);
}

TEST(CXTimeNaturalTest, StartOfDay)
{
    struct Case {
        CXTimestamp timestamp;
        CXTimestamp start;
    } cases[] = {
        {1402826400000, 1402783200000}, // 2014-06-15 12:00 summer time
        {1402783200000, 1402783200000}, // midnight itself
        {1396216740000, 1396134000000}, // 23:59 on the 23-hour day: midnight was winter time
        {1414364340000, 1414274400000}, // 23:59 on the 25-hour day: midnight was summer time
    };
    CXDebugCapture capture;
    for (const Case& c : cases)
        EXPECT_EQ(CXTime::GetStartOfDay(c.timestamp), c.start) << c.timestamp;
    EXPECT_TRUE(capture.Lines().empty());
}

uint64_t gFakeFileTime = 0;

TEST(CXTimeNaturalTest, NowReadsTheWallClock)
{
    gFakeFileTime = CXTime::TimestampToFileTime(1396141200000);
    CXTime::SetFileTimeClockForTesting([] { return gFakeFileTime; });
    CXTimeNatural now = CXTimeNatural::Now();
    CXTime::SetFileTimeClockForTesting(nullptr);
    ExpectLocal(now, {2014, 3, 30, 3, 0, 0, 0, 88});
}

} // namespace

namespace {

// Fields set by hand to values no timestamp can hold give 0 (and the conversion log), never an
// overflow.
TEST(CXTimeNaturalLimitsTest, ExtremeFieldsGiveZero)
{
    for (int32_t year : {INT32_MAX, INT32_MIN, INT32_MIN + 1899}) {
        CXTimeNatural natural;
        natural.fYear = year;
        natural.fMonth = 1;
        natural.fDay = 1;
        CXDebugCapture capture;
        EXPECT_EQ(static_cast<CXTimestamp>(natural), 0) << year;
        EXPECT_EQ(capture.Count("CXTimeNatural::operator CXTimestamp> mktime() failed"), 1u) << year;
    }
}

} // namespace
