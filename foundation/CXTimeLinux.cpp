// Windows system time and performance counter on Linux: file time from CLOCK_REALTIME, the counter
// from CLOCK_MONOTONIC in nanoseconds. Unlike the Windows counter it stops while the machine sleeps.
#include "foundation/CXTime.h"

#include <time.h>

namespace {

constexpr int64_t kFileTimeEpochOffsetTicks = 116444736000000000;

} // namespace

uint64_t CXTimeHostFileTimeNow()
{
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    int64_t ticks = static_cast<int64_t>(now.tv_sec) * 10000000 + now.tv_nsec / 100 + kFileTimeEpochOffsetTicks;
    return static_cast<uint64_t>(ticks);
}

int64_t CXTimeHostPerformanceCounter()
{
    struct timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t CXTimeHostPerformanceFrequency()
{
    return 1000000000;
}
