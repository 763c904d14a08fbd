#include "foundation/CXDebug.h"
#include "foundation/CXMutex.h"
#include "foundation/CXNativeSync.h"
#include "foundation/CXReadWriteLock.h"
#include "foundation/CXTime.h"
#include "support/WaitFor.h"

#include <atomic>
#include <gtest/gtest.h>
#include <new>
#include <thread>
#include <vector>

namespace {

TEST(CXMutexTest, MisuseIsReportedAndHarmless)
{
    CXDebugCapture capture;
    CXMutex mutex;
    mutex.LockMutex();
    mutex.LockMutex(); // the holder passes the wait
    EXPECT_EQ(capture.Count("CXMutex::LockMutex> recursion detected"), 1u);
    mutex.UnlockMutex();
    mutex.UnlockMutex();
    EXPECT_EQ(capture.Count("CXMutex::UnlockMutex> mutex not locked"), 1u) << "the first unlock cleared the owner";

    // An unlock by another thread is reported and does not release the holder's lock.
    mutex.LockMutex();
    std::thread([&] { mutex.UnlockMutex(); }).join();
    EXPECT_EQ(capture.Count("CXMutex::UnlockMutex> mutex not locked"), 2u);
    std::atomic<bool> acquired{false};
    std::thread other([&] {
        mutex.LockMutex();
        acquired = true;
        mutex.UnlockMutex();
    });
    EXPECT_FALSE(WaitFor([&] { return acquired.load(); }, std::chrono::milliseconds(50)));
    mutex.UnlockMutex();
    other.join();
    EXPECT_TRUE(acquired.load());

    alignas(CXMutex) unsigned char storage[sizeof(CXMutex)];
    CXMutex* held = new (storage) CXMutex;
    held->LockMutex();
    capture.Clear();
    held->~CXMutex();
    EXPECT_EQ(capture.Count("~CXMutex> mutex locked"), 1u);
}

TEST(CXMutexTest, RecursiveMutexBookkeeping)
{
    CXDebugCapture capture;
    CXRecursiveMutex mutex;
    mutex.DebugCheckLocked();
    EXPECT_EQ(capture.Count("CXRecursiveMutex::DebugCheckLocked> mutex is not locked by this thread"), 1u);
    mutex.LockMutex();
    mutex.LockMutex();
    EXPECT_EQ(mutex.GetDepth(), 2);
    mutex.DebugCheckLockedExactlyOnce();
    EXPECT_EQ(capture.Count("CXRecursiveMutex::DebugCheckLockedExactlyOnce> mutex is locked multiple times"), 1u);
    mutex.UnlockMutex();
    EXPECT_EQ(mutex.GetOwner(), static_cast<int32_t>(CXGetCurrentThreadId()));
    mutex.UnlockMutex();
    EXPECT_EQ(mutex.GetOwner(), -1);
    mutex.UnlockMutex();
    EXPECT_EQ(capture.Count("CXRecursiveMutex::UnlockMutex> mutex not locked"), 1u);
    EXPECT_EQ(mutex.GetDepth(), 0) << "a refused unlock leaves the depth alone";
}

TEST(CXConditionMutexTest, PastDeadlineReturnsAtOnce)
{
    CXConditionMutex condition;
    condition.LockMutex();
    uint64_t past = static_cast<uint64_t>(CXTimeTicks::Now().GetTicks()) - 10000000;
    int64_t start = CXMonotonicNanoseconds();
    EXPECT_FALSE(condition.WaitUntil(past));
    EXPECT_LT(CXMonotonicNanoseconds() - start, 1000000000) << "a past deadline does not wait";
    EXPECT_EQ(condition.GetDepth(), 1) << "the lock is held again on return";
    condition.UnlockMutex();
}

TEST(CXConditionMutexTest, NotifyAllWakesEveryWaiterAndResets)
{
    CXConditionMutex condition;
    std::atomic<int> queued{0};
    std::atomic<int> woken{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i)
        threads.emplace_back([&] {
            condition.LockMutex();
            ++queued;
            condition.Wait();
            ++woken;
            condition.UnlockMutex();
        });
    // Every waiter is queued once it released the lock inside Wait.
    ASSERT_TRUE(WaitFor([&] {
        condition.LockMutex();
        bool all = queued.load() == 3;
        condition.UnlockMutex();
        return all;
    }));
    condition.NotifyAll();
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(woken.load(), 3);
    EXPECT_EQ(condition.GetPending(), 0);
}

// A notification that lands after a timed wait ran out but before the waiter has the lock back
// still counts: the waiter reports it and consumes it, so nothing stays pending.
TEST(CXConditionMutexTest, NotificationBetweenTimeOutAndRelock)
{
    CXConditionMutex condition;
    CXConditionMutex::SetTimeoutHookForTesting([](CXConditionMutex* c) { c->NotifyOne(); });
    condition.LockMutex();
    bool notified = condition.WaitUntilMonotonic(CXMonotonicNanoseconds());
    condition.UnlockMutex();
    CXConditionMutex::SetTimeoutHookForTesting(nullptr);
    EXPECT_TRUE(notified);
    EXPECT_EQ(condition.GetPending(), 0);

    // The next wait is not woken by a stale notification.
    condition.LockMutex();
    EXPECT_FALSE(condition.WaitUntilMonotonic(CXMonotonicNanoseconds()));
    condition.UnlockMutex();
}

// Timed waits race a notifier on another thread; whatever the interleaving, every notification
// is consumed by the waiter it marked.
TEST(CXConditionMutexTest, TimedWaitsRacingNotifications)
{
    CXConditionMutex condition;
    std::atomic<bool> stop{false};
    std::atomic<int> notified{0};
    std::atomic<int> iterations{0};
    std::thread waiter([&] {
        while (!stop.load()) {
            condition.LockMutex();
            int64_t deadline = CXMonotonicNanoseconds() + (iterations.load() % 2 == 0 ? 0 : 100000);
            if (condition.WaitUntilMonotonic(deadline))
                ++notified;
            condition.UnlockMutex();
            ++iterations;
        }
    });
    std::thread notifier([&] {
        while (!stop.load())
            condition.NotifyOne();
    });
    ASSERT_TRUE(WaitFor([&] { return iterations.load() >= 5000; }, std::chrono::milliseconds(30000)));
    stop = true;
    notifier.join();
    waiter.join();
    EXPECT_GT(notified.load(), 0);
    EXPECT_EQ(condition.GetPending(), 0);
}

TEST(CXConditionMutexTest, ProducerConsumer)
{
    CXConditionMutex condition;
    std::vector<int> queue;
    std::atomic<int> consumed{0};
    constexpr int kItems = 5000;
    std::vector<std::thread> consumers;
    for (int c = 0; c < 3; ++c)
        consumers.emplace_back([&] {
            condition.LockMutex();
            for (;;) {
                while (queue.empty() && consumed.load() < kItems)
                    condition.Wait();
                if (queue.empty())
                    break;
                queue.pop_back();
                if (++consumed == kItems)
                    condition.NotifyAll();
            }
            condition.UnlockMutex();
        });
    for (int i = 0; i < kItems; ++i) {
        condition.LockMutex();
        queue.push_back(i);
        condition.UnlockMutex();
        condition.NotifyOne();
    }
    for (auto& consumer : consumers)
        consumer.join();
    EXPECT_EQ(consumed.load(), kItems);
}

TEST(CXReadWriteLockTest, ReadersShareWritersExclude)
{
    CXReadWriteLock lock;
    lock.LockForRead();
    lock.LockForRead();
    EXPECT_EQ(lock.GetReadDepth(), 2);

    std::atomic<bool> wrote{false};
    std::thread writer([&] {
        lock.LockForWrite();
        wrote = true;
        lock.UnlockForWrite();
    });
    EXPECT_FALSE(WaitFor([&] { return wrote.load(); }, std::chrono::milliseconds(50)));
    lock.UnlockForRead();
    lock.UnlockForRead();
    writer.join();
    EXPECT_TRUE(wrote.load());

    // Five reader threads at once: the fifth goes to the overflow map.
    std::atomic<int> holding{0};
    std::atomic<bool> release{false};
    std::vector<std::thread> readers;
    for (int i = 0; i < 5; ++i)
        readers.emplace_back([&] {
            lock.LockForRead();
            ++holding;
            while (!release.load())
                std::this_thread::yield();
            lock.UnlockForRead();
        });
    ASSERT_TRUE(WaitFor([&] { return holding.load() == 5; }));
    EXPECT_EQ(lock.GetOverflowReaders(), 1u);
    release = true;
    for (auto& reader : readers)
        reader.join();
    EXPECT_EQ(lock.GetOverflowReaders(), 0u);

    CXDebugCapture capture;
    lock.UnlockForRead();
    EXPECT_EQ(capture.Count("CXReadWriteLock::UnlockForRead> current thread does not hold read lock"), 1u);
    lock.UnlockForWrite();
    EXPECT_EQ(capture.Count("CXReadWriteLock::UnlockForWrite> current thread does not hold write lock"), 1u);
}

TEST(CXReadWriteLockTest, WriterMayReadAndReenter)
{
    CXReadWriteLock lock;
    lock.LockForWrite();
    lock.LockForWrite();
    lock.LockForRead();
    lock.UnlockForRead();
    lock.UnlockForWrite();
    lock.UnlockForWrite();
    CXDebugCapture capture;
    lock.LockForRead();
    lock.LockForWrite(); // alone, the upgrade goes through after the report
    EXPECT_EQ(capture.Count("potential deadlock: current thread attempting upgrade from read lock"), 1u);
    lock.UnlockForWrite();
    lock.UnlockForRead();
    EXPECT_EQ(capture.ErrorCount(), 1u);
}

TEST(CXScopeLockPointerTest, LocksObjectsPerThread)
{
    CXDebugCapture capture;
    { CXScopeLockPointer none(nullptr); }
    EXPECT_TRUE(capture.Lines().empty());

    int object = 0;
    CXScopeLockPointer outer(&object);
    { CXScopeLockPointer inner(&object); } // re-entrant for its owner
    std::atomic<bool> locked{false};
    std::thread other([&] {
        CXScopeLockPointer lock(&object);
        locked = true;
    });
    EXPECT_FALSE(WaitFor([&] { return locked.load(); }, std::chrono::milliseconds(50)));
    int unrelated = 0;
    std::thread free([&] { CXScopeLockPointer lock(&unrelated); });
    free.join();
    outer.Unlock();
    other.join();
    EXPECT_TRUE(locked.load());
    EXPECT_TRUE(capture.Lines().empty());
}

} // namespace

namespace {

TEST(CXReadWriteLockTest, UpgradeWaitsForTheOtherReadersOnly)
{
    CXReadWriteLock lock;
    std::atomic<bool> otherHolds{false};
    std::atomic<bool> release{false};
    std::thread other([&] {
        lock.LockForRead();
        otherHolds = true;
        while (!release.load())
            std::this_thread::yield();
        lock.UnlockForRead();
    });
    ASSERT_TRUE(WaitFor([&] { return otherHolds.load(); }));
    CXDebugCapture capture;
    std::atomic<bool> upgraded{false};
    std::thread upgrader([&] {
        lock.LockForRead();
        lock.LockForWrite();
        upgraded = true;
        lock.UnlockForWrite();
        lock.UnlockForRead();
    });
    EXPECT_FALSE(WaitFor([&] { return upgraded.load(); }, std::chrono::milliseconds(50)));
    release = true; // the other reader leaves: the upgrade goes through
    EXPECT_TRUE(WaitFor([&] { return upgraded.load(); }));
    other.join();
    upgrader.join();
    EXPECT_EQ(capture.Count("potential deadlock"), 1u);
}

} // namespace
