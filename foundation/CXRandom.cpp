#include "foundation/CXRandom.h"

#include "foundation/CXTime.h"

#include <atomic>
#include <mutex>

namespace {

struct RandomState {
    uint32_t x = 123456789;
    uint32_t y = 362436069;
    uint32_t z = 521288629;
    uint32_t w = 88675123;
    bool seeded = false;
};

std::mutex gRandomLock;
RandomState gRandom; // under gRandomLock

std::atomic<uint64_t> gUniqueCounter{0};

// Caller holds gRandomLock.
uint32_t MixIntoState(uint64_t m)
{
    gRandom.x ^= static_cast<uint32_t>(m);
    gRandom.y ^= static_cast<uint32_t>(m >> 32) ^ gRandom.x;
    gRandom.z ^= static_cast<uint32_t>(m >> 16) ^ gRandom.x;
    gRandom.w = (gRandom.w ^ gRandom.y) | 1;
    gRandom.seeded = true;
    return gRandom.y;
}

void MixClockIntoState()
{
    MixIntoState(static_cast<uint64_t>(CXTime::GetCurrentTimestamp()));
}

} // namespace

uint32_t GetRandomUInt32()
{
    std::lock_guard<std::mutex> lock(gRandomLock);
    if (!gRandom.seeded)
        MixClockIntoState();
    uint32_t t = gRandom.x ^ (gRandom.x << 11);
    gRandom.x = gRandom.y;
    gRandom.y = gRandom.z;
    gRandom.z = gRandom.w;
    gRandom.w = gRandom.w ^ (gRandom.w >> 19) ^ t ^ (t >> 8);
    return gRandom.w;
}

void SeedRandomFromClock()
{
    std::lock_guard<std::mutex> lock(gRandomLock);
    MixClockIntoState();
}

void SeedRandom()
{
    SeedRandomFromClock();
}

uint32_t SeedRandomWithValue(uint64_t value)
{
    std::lock_guard<std::mutex> lock(gRandomLock);
    return MixIntoState(value);
}

void ResetRandomForTesting()
{
    std::lock_guard<std::mutex> lock(gRandomLock);
    gRandom = RandomState();
}

uint64_t GetUniqueID()
{
    return gUniqueCounter.fetch_add(1, std::memory_order_relaxed) + 1;
}
