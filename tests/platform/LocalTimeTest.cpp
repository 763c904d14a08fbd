#include "platform/LocalTime.h"
#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

using namespace Platform;

// The zone is read again for each case and once more after TZ is put back, so the cases leave
// nothing behind for the tests that follow.
class LocalTimeTest : public ::testing::Test {
protected:
    void TearDown() override { ReloadTimeZone(); }
};

TEST_F(LocalTimeTest, MomentsBecomeTheDateAndTimeOfTheZoneTZNames)
{
    struct Case {
        const char* zone;
        int64_t seconds;
        LocalTime expected;
    };
    const Case cases[] = {
        {"UTC", 0, {1970, 1, 1, 4, 0, 0, 0}},
        // POSIX counts the offset westwards: five hours behind UTC.
        {"XXX+5", 0, {1969, 12, 31, 3, 19, 0, 0}},
        {"XXX-5:30", 0, {1970, 1, 1, 4, 5, 30, 0}},
        {"UTC", -1, {1969, 12, 31, 3, 23, 59, 59}},
        // 2000-02-29 12:00 UTC, a leap day; and a date far past 2038.
        {"UTC", 951825600, {2000, 2, 29, 2, 12, 0, 0}},
        {"UTC", 32503680000, {3000, 1, 1, 3, 0, 0, 0}},
        // Daylight saving: 2021-07-01 12:00 UTC is 8:00 in summer, 2021-01-01 12:00 UTC 7:00.
        {"EST5EDT,M3.2.0,M11.1.0", 1625140800, {2021, 7, 1, 4, 8, 0, 0}},
        {"EST5EDT,M3.2.0,M11.1.0", 1609502400, {2021, 1, 1, 5, 7, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.zone << " " << c.seconds);
        ScopedEnv zone("TZ", c.zone);
        ReloadTimeZone();
        LocalTime local;
        ASSERT_TRUE(ToLocalTime(c.seconds, local));
        const LocalTime& e = c.expected;
        EXPECT_EQ(local.year, e.year);
        EXPECT_EQ(local.month, e.month);
        EXPECT_EQ(local.day, e.day);
        EXPECT_EQ(local.weekday, e.weekday);
        EXPECT_EQ(local.hour, e.hour);
        EXPECT_EQ(local.minute, e.minute);
        EXPECT_EQ(local.second, e.second);
    }
}

TEST_F(LocalTimeTest, AMomentBeyondTheLibrarysYearsFailsAndLeavesTheResultAlone)
{
    ScopedEnv zone("TZ", "UTC");
    ReloadTimeZone();
    for (int64_t seconds : {std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::min()}) {
        LocalTime local;
        local.year = 7;
        EXPECT_FALSE(ToLocalTime(seconds, local)) << seconds;
        EXPECT_EQ(local.year, 7);
    }
}

} // namespace
