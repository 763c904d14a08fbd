#include "foundation/CXMessagePost.h"

#include "foundation/CXDebug.h"
#include "foundation/CXNativeSync.h"
#include "foundation/CXSafePointer.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace {

std::atomic<CXMessagePost::Clock> gClock{nullptr};

std::atomic<CXMessagePostTask*> gSingleton{nullptr};
std::mutex gSingletonMutex;

// a - b, held at the ends of the range instead of wrapping.
int64_t SaturatingSubtract(int64_t a, int64_t b)
{
    if (b > 0 && a < INT64_MIN + b)
        return INT64_MIN;
    if (b < 0 && a > INT64_MAX + b)
        return INT64_MAX;
    return a - b;
}

} // namespace

struct CXMessagePost::Entry {
    CXSafePointer<CXMessageTarget> target;
    CXMessage* message = nullptr;
    CXAutoReference<DynamicReferenceCount> parameter;

    ~Entry() { delete message; }
};

CXMessagePost::~CXMessagePost()
{
    fLock.LockMutex();
    for (auto& bucket : fQueue) {
        for (Entry* entry : bucket.second)
            delete entry;
    }
    fQueue.clear();
    fCount = 0;
    fLock.UnlockMutex();
}

CXMessagePost& CXMessagePost::GetSingleton()
{
    CXMessagePostTask* task = gSingleton.load(std::memory_order_acquire);
    if (task != nullptr)
        return *task;
    std::lock_guard<std::mutex> lock(gSingletonMutex);
    task = gSingleton.load(std::memory_order_relaxed);
    if (task == nullptr) {
        task = new CXMessagePostTask;
        gSingleton.store(task, std::memory_order_release);
    }
    return *task;
}

void CXMessagePost::SetClockForTesting(Clock clock)
{
    gClock.store(clock, std::memory_order_release);
}

int64_t CXMessagePost::MonotonicMilliseconds()
{
    Clock clock = gClock.load(std::memory_order_acquire);
    return (clock != nullptr ? clock() : CXMonotonicNanoseconds()) / 1000000;
}

int64_t CXMessagePost::ToDueTime(CXTimestamp time)
{
    // The offset between the clocks is measured in nanoseconds (the monotonic clock read first)
    // and rounded up to whole milliseconds, so a message posted for the current time is never
    // due later than the next look at the monotonic clock.
    Clock clock = gClock.load(std::memory_order_acquire);
    int64_t monotonic = clock != nullptr ? clock() : CXMonotonicNanoseconds();
    int64_t wall = (CXTimeTicks::Now().GetTicks() - kCXFileTimeEpochOffsetMilliseconds * 10000) * 100;
    int64_t difference = wall - monotonic;
    int64_t offset = difference / 1000000 + (difference % 1000000 > 0 ? 1 : 0);
    if (!fClockOffsetKnown || offset > fClockOffset + kClockTolerance || offset < fClockOffset - kClockTolerance) {
        fClockOffset = offset;
        fClockOffsetKnown = true;
    }
    return SaturatingSubtract(time, fClockOffset);
}

void CXMessagePost::Post(CXMessageTarget* target, CXMessage* message, DynamicReferenceCount* parameter, CXTimestamp time)
{
    if (message == nullptr) {
        CXDebugError("CXMessagePost::Post> NULL message");
        return;
    }
    Entry* entry = new Entry;
    entry->target = target;
    entry->message = message;
    entry->parameter.Reference(parameter);

    CXMutexLocker lock(&fLock);
    fQueue[ToDueTime(time)].push_back(entry);
    ++fCount;
}

bool CXMessagePost::Update()
{
    int64_t now = MonotonicMilliseconds();
    Entry* entry = nullptr;
    CXMessageTarget* target = nullptr;
    fLock.LockMutex();
    while (!fQueue.empty()) {
        auto bucket = fQueue.begin();
        if (bucket->second.empty()) {
            fQueue.erase(bucket);
            continue;
        }
        if (bucket->first > now)
            break;
        entry = bucket->second.front();
        bucket->second.erase(bucket->second.begin());
        if (bucket->second.empty())
            fQueue.erase(bucket);
        --fCount;
        target = entry->target.get();
        break;
    }
    fLock.UnlockMutex();
    if (entry == nullptr)
        return false;

    if (target != nullptr) {
        CXResultCode result = target->HandleMessage(*entry->message);
        // The handler may have destroyed its target; the safe pointer tells.
        if (result == kCXNotSupported) {
            CXMessageTarget* alive = entry->target.get();
            CXDebugLog("CXMessagePost::Update> message '%s' was ignored by %s", DescribeMessage(entry->message).c_str(),
                       DescribeTarget(alive).c_str());
        }
    }
    delete entry;
    return true;
}

uint64_t CXMessagePost::GetCount()
{
    CXMutexLocker lock(&fLock);
    return fCount;
}

CXMessagePostTask::CXMessagePostTask()
    : CXTask("CXMessagePostTask")
{
    CXTaskHost::GetThreadTaskHost(CXThread::GetMainThreadId())->AddTask(this);
}

CXMessagePostTask::~CXMessagePostTask()
{
    DetachFromHost();
    StopAndWait();
}

void CXMessagePostTask::Idle()
{
    uint64_t count = GetCount();
    for (uint64_t i = 0; i < count; ++i) {
        if (!Update())
            break;
    }
}

void CXMessagePostTask::DeleteSingleton()
{
    CXMessagePostTask* task;
    {
        std::lock_guard<std::mutex> lock(gSingletonMutex);
        task = gSingleton.exchange(nullptr, std::memory_order_acq_rel);
    }
    delete task;
}
