#include "foundation/CXTime.h"

#include <gtest/gtest.h>

namespace {

uint64_t gFakeFileTime = 0;
int64_t gFakeCounter = 0;

class CXTimeTest : public testing::Test {
protected:
    void TearDown() override
    {
        CXTime::SetFileTimeClockForTesting(nullptr);
        CXTime::SetPerformanceCounterForTesting(nullptr, 0);
    }
};

TEST_F(CXTimeTest, FileTimeConversions)
{
    EXPECT_EQ(CXTime::TimestampToFileTime(0), 116444736000000000ull);
    EXPECT_EQ(CXTime::FileTimeToTimestamp(116444736000000000ull), 0);
    EXPECT_EQ(CXTime::FileTimeToTimestamp(0), -11644473600000);
    EXPECT_EQ(CXTime::TimestampToFileTime(-11644473600000), 0u);
    // Sub-millisecond ticks are dropped.
    EXPECT_EQ(CXTime::FileTimeToTimestamp(CXTime::TimestampToFileTime(1402826400123) + 9999), 1402826400123);
}

TEST_F(CXTimeTest, InjectedWallClock)
{
    gFakeFileTime = CXTime::TimestampToFileTime(1402826400123) + 4567;
    CXTime::SetFileTimeClockForTesting([] { return gFakeFileTime; });
    EXPECT_EQ(CXTime::GetCurrentTimestamp(), 1402826400123);
    EXPECT_EQ(CXTimeTicks::Now().GetTicks(), static_cast<int64_t>(gFakeFileTime));

    CXTime::SetFileTimeClockForTesting(nullptr);
    // The host clock: some time after 2020-01-01.
    EXPECT_GT(CXTime::GetCurrentTimestamp(), 1577836800000);
    EXPECT_GT(CXTimeTicks::Now().ToMilliseconds(), 1577836800000 + 11644473600000);
}

TEST_F(CXTimeTest, PerformanceClockCountsFromFirstUse)
{
    gFakeCounter = 5000000000;
    CXTime::SetPerformanceCounterForTesting([] { return gFakeCounter; }, 1000000000);
    EXPECT_EQ(CXTime::GetPerformanceFrequency(), 1000000000);
    EXPECT_EQ(CXTime::GetPerformanceMilliseconds(), 0);

    gFakeCounter += 1500000000;
    EXPECT_EQ(CXTime::GetPerformanceCounter(), 6500000000);
    EXPECT_EQ(CXTime::GetPerformanceMilliseconds(), 1500);
    EXPECT_EQ(CXTime::GetPerformanceNanoseconds(), 1500000000);
    EXPECT_EQ(CXTime::GetPerformanceTime(10), 15);
    EXPECT_FLOAT_EQ(CXTime::GetPerformanceSeconds(), 1.5f);

    // 300 days: units × elapsed exceeds 64 bits, the result does not.
    gFakeCounter += 300LL * 86400 * 1000000000;
    EXPECT_EQ(CXTime::GetPerformanceMilliseconds(), 300LL * 86400 * 1000 + 1500);
}

TEST_F(CXTimeTest, PerformanceClockWithACoarseCounter)
{
    gFakeCounter = 0;
    CXTime::SetPerformanceCounterForTesting([] { return gFakeCounter; }, 10000000);
    EXPECT_EQ(CXTime::GetPerformanceMilliseconds(), 0);
    gFakeCounter = 12345678; // 1.2345678 s
    EXPECT_EQ(CXTime::GetPerformanceMilliseconds(), 1234);
    // Units and frequency are halved together above 1000 each: close, not exact.
    EXPECT_NEAR(static_cast<double>(CXTime::GetPerformanceNanoseconds()), 1234567800.0, 1234567800.0 * 0.001);
}

TEST_F(CXTimeTest, HostPerformanceClockNeverGoesBack)
{
    int64_t previous = CXTime::GetPerformanceNanoseconds();
    for (int i = 0; i < 1000; ++i) {
        int64_t now = CXTime::GetPerformanceNanoseconds();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

TEST_F(CXTimeTest, TicksArithmeticAndText)
{
    CXTimeTicks a = CXTimeTicks::FromMilliseconds(1500);
    CXTimeTicks b(2500);
    EXPECT_EQ(a.GetTicks(), 15000000);
    EXPECT_EQ(a.ToMilliseconds(), 1500);
    EXPECT_EQ((a + b).GetTicks(), 15002500);
    EXPECT_EQ((a - b).GetTicks(), 14997500);
    EXPECT_TRUE(b < a);
    EXPECT_TRUE(a > b);
    EXPECT_FALSE(a < a);

    struct Case {
        int64_t ticks;
        const char* text;
    } cases[] = {
        {0, "0s:0us"},
        {15002500, "1s:500250us"},
        {9, "0s:0us"},
        // 60 years: the seconds exceed 32 bits of ticks but not 32 bits of seconds.
        {60LL * 365 * 86400 * 10000000 + 70, "1892160000s:7us"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CXTimeTicks(c.ticks).ToString(), c.text) << c.ticks;
}

} // namespace
