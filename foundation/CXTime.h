#pragma once

#include "foundation/CXString.h"

#include <cstdint>

// Wall-clock time: signed milliseconds since 1970-01-01 00:00:00 UTC. 0 also serves as "no time".
using CXTimestamp = int64_t;

// Milliseconds between 1601-01-01 (the file-time epoch) and 1970-01-01.
inline constexpr int64_t kCXFileTimeEpochOffsetMilliseconds = 11644473600000;

// The system's clocks: the wall clock, file-time conversions and the monotonic performance clock.
class CXTime {
public:
    static CXTimestamp GetCurrentTimestamp();

    // File time: unsigned 100-nanosecond ticks since 1601-01-01 UTC. Timestamps outside the
    // file-time range wrap; they are not reported.
    static uint64_t TimestampToFileTime(CXTimestamp timestamp);
    static CXTimestamp FileTimeToTimestamp(uint64_t fileTime);

    // Local midnight of the timestamp's day (the library's normalisation decides where midnight
    // does not exist locally), or 0 when the day cannot be converted. Defined in CXTimeNatural.cpp.
    static CXTimestamp GetStartOfDay(CXTimestamp timestamp);

    // Monotonic time since this clock's first use in the process, in the given units per second.
    // Never goes backwards; unaffected by changes of the wall clock.
    static int64_t GetPerformanceTime(uint64_t unitsPerSecond);
    static int64_t GetPerformanceNanoseconds() { return GetPerformanceTime(1000000000); }
    static int64_t GetPerformanceMilliseconds() { return GetPerformanceTime(1000); }
    // Milliseconds × 0.001.
    static float GetPerformanceSeconds();
    // The raw monotonic counter and its ticks per second.
    static int64_t GetPerformanceCounter();
    static int64_t GetPerformanceFrequency();

    // Test seams. A clock function replaces the host clock until it is set back to null.
    // The wall clock gives the current file time; GetCurrentTimestamp, CXTimeTicks::Now, the
    // local "now" and the random seed read it.
    using FileTimeClock = uint64_t (*)();
    static void SetFileTimeClockForTesting(FileTimeClock clock);
    // The performance counter with its frequency (ignored when the counter is null). Setting it
    // also forgets the first use, so the next reading starts the count again.
    using PerformanceCounterClock = int64_t (*)();
    static void SetPerformanceCounterForTesting(PerformanceCounterClock counter, int64_t frequency);
};

// A high-resolution wall-clock value, or the difference of two, in 100-nanosecond ticks (the
// file-time unit). Arithmetic wraps rather than overflowing.
class CXTimeTicks {
public:
    constexpr CXTimeTicks() = default;
    constexpr explicit CXTimeTicks(int64_t ticks) : fTicks(ticks) {}

    // The system time as file-time ticks.
    static CXTimeTicks Now();
    static CXTimeTicks FromMilliseconds(int64_t milliseconds);

    int64_t GetTicks() const { return fTicks; }
    int64_t ToMilliseconds() const { return fTicks / 10000; }

    CXTimeTicks operator-(CXTimeTicks other) const;
    CXTimeTicks operator+(CXTimeTicks other) const;
    bool operator<(CXTimeTicks other) const { return fTicks < other.fTicks; }
    bool operator>(CXTimeTicks other) const { return fTicks > other.fTicks; }
    bool operator==(CXTimeTicks other) const { return fTicks == other.fTicks; }

    // "<seconds>s:<microseconds>us" of the value; both parts are cut to 32-bit integers, so the
    // seconds are exact for spans up to about 68 years (not for absolute values since 1601).
    CXString ToString() const;

private:
    int64_t fTicks = 0;
};

// Host side of the clocks (CXTimeLinux.cpp).
uint64_t CXTimeHostFileTimeNow();
int64_t CXTimeHostPerformanceCounter();
int64_t CXTimeHostPerformanceFrequency();
