#include "foundation/CXTime.h"

#include <atomic>

namespace {

constexpr uint64_t kFileTimeEpochOffsetTicks = 116444736000000000ull;

std::atomic<CXTime::FileTimeClock> gFileTimeClock{nullptr};
std::atomic<CXTime::PerformanceCounterClock> gPerformanceCounterClock{nullptr};
std::atomic<int64_t> gTestPerformanceFrequency{0};

// First-use state of the performance clock. Not locked: threads racing on the very first use
// store the same frequency and nearly the same start.
std::atomic<int64_t> gPerformanceFrequency{0};
std::atomic<int64_t> gPerformanceStart{0};
std::atomic<bool> gPerformanceStarted{false};

uint64_t FileTimeNow()
{
    CXTime::FileTimeClock clock = gFileTimeClock.load(std::memory_order_acquire);
    return clock != nullptr ? clock() : CXTimeHostFileTimeNow();
}

} // namespace

CXTimestamp CXTime::GetCurrentTimestamp()
{
    return FileTimeToTimestamp(FileTimeNow());
}

uint64_t CXTime::TimestampToFileTime(CXTimestamp timestamp)
{
    return static_cast<uint64_t>(timestamp) * 10000u + kFileTimeEpochOffsetTicks;
}

CXTimestamp CXTime::FileTimeToTimestamp(uint64_t fileTime)
{
    return static_cast<CXTimestamp>(fileTime / 10000u) - kCXFileTimeEpochOffsetMilliseconds;
}

int64_t CXTime::GetPerformanceCounter()
{
    PerformanceCounterClock counter = gPerformanceCounterClock.load(std::memory_order_acquire);
    return counter != nullptr ? counter() : CXTimeHostPerformanceCounter();
}

int64_t CXTime::GetPerformanceFrequency()
{
    if (gPerformanceCounterClock.load(std::memory_order_acquire) != nullptr)
        return gTestPerformanceFrequency.load(std::memory_order_relaxed);
    return CXTimeHostPerformanceFrequency();
}

int64_t CXTime::GetPerformanceTime(uint64_t unitsPerSecond)
{
    int64_t frequency = gPerformanceFrequency.load(std::memory_order_relaxed);
    if (frequency == 0) {
        frequency = GetPerformanceFrequency();
        gPerformanceFrequency.store(frequency, std::memory_order_relaxed);
    }
    if (!gPerformanceStarted.load(std::memory_order_acquire)) {
        gPerformanceStart.store(GetPerformanceCounter(), std::memory_order_relaxed);
        gPerformanceStarted.store(true, std::memory_order_release);
    }
    int64_t now = GetPerformanceCounter();
    int64_t start = gPerformanceStart.load(std::memory_order_relaxed);
    if (frequency <= 0 || now <= start)
        return 0;

    uint64_t f = static_cast<uint64_t>(frequency);
    uint64_t units = unitsPerSecond;
    while (units > 1000 && f > 1000) {
        units >>= 1;
        f >>= 1;
    }
    // units × elapsed / f, split into whole and partial periods so that the product cannot
    // overflow however long the process has run.
    uint64_t elapsed = static_cast<uint64_t>(now) - static_cast<uint64_t>(start);
    uint64_t result = elapsed / f * units + elapsed % f * units / f;
    return static_cast<int64_t>(result);
}

float CXTime::GetPerformanceSeconds()
{
    return static_cast<float>(static_cast<float>(static_cast<uint64_t>(GetPerformanceMilliseconds())) * 0.001);
}

void CXTime::SetFileTimeClockForTesting(FileTimeClock clock)
{
    gFileTimeClock.store(clock, std::memory_order_release);
}

void CXTime::SetPerformanceCounterForTesting(PerformanceCounterClock counter, int64_t frequency)
{
    gTestPerformanceFrequency.store(frequency, std::memory_order_relaxed);
    gPerformanceCounterClock.store(counter, std::memory_order_release);
    gPerformanceFrequency.store(0, std::memory_order_relaxed);
    gPerformanceStarted.store(false, std::memory_order_release);
}

CXTimeTicks CXTimeTicks::Now()
{
    return CXTimeTicks(static_cast<int64_t>(FileTimeNow()));
}

CXTimeTicks CXTimeTicks::FromMilliseconds(int64_t milliseconds)
{
    return CXTimeTicks(static_cast<int64_t>(static_cast<uint64_t>(milliseconds) * 10000u));
}

CXTimeTicks CXTimeTicks::operator-(CXTimeTicks other) const
{
    return CXTimeTicks(static_cast<int64_t>(static_cast<uint64_t>(fTicks) - static_cast<uint64_t>(other.fTicks)));
}

CXTimeTicks CXTimeTicks::operator+(CXTimeTicks other) const
{
    return CXTimeTicks(static_cast<int64_t>(static_cast<uint64_t>(fTicks) + static_cast<uint64_t>(other.fTicks)));
}

CXString CXTimeTicks::ToString() const
{
    return CXString::FromFormat("%ds:%dus", static_cast<int>(fTicks / 10000000), static_cast<int>((fTicks % 10000000) / 10));
}
