#include "foundation/CXDebug.h"
#include "foundation/CXNativeSync.h"
#include "foundation/CXTime.h"
#include "foundation/CXTimer.h"
#include "support/WaitFor.h"

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

namespace {

class Recording : public CXTimer {
public:
    Recording(CXTimerManager* manager, const char* name) : CXTimer(manager, name) {}
    ~Recording() override { RemoveAllTimers(); }
    void OnTimer(uint64_t value, uint64_t) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        values.push_back(value);
        ++runs;
    }
    std::mutex mutex;
    std::vector<uint64_t> values;
    std::atomic<int> runs{0};
};

TEST(CXTimerTest, TimersDueAtTheSameTimeAllRun)
{
    CXTimerManager manager;
    manager.Start();
    Recording a(&manager, "a"), b(&manager, "b");
    int64_t due = CXMonotonicNanoseconds();
    a.QueueTimerMonotonic(due, 1, 0);
    b.QueueTimerMonotonic(due, 2, 0);
    a.QueueTimerMonotonic(due, 3, 0);
    ASSERT_TRUE(WaitFor([&] { return a.runs.load() == 2 && b.runs.load() == 1; }));
    EXPECT_EQ(a.values, (std::vector<uint64_t>{1, 3}));
    manager.Stop();
}

std::atomic<int64_t> gFakeNow{0};

TEST(CXTimerTest, EntriesRunInDueOrder)
{
    // Nothing is due until the injected clock moves, so the queue is complete before any runs.
    gFakeNow = 0;
    CXTimerManager::SetClockForTesting([] { return gFakeNow.load(); });
    CXTimerManager manager;
    manager.Start();
    Recording timer(&manager, "ordered");
    timer.QueueTimerMonotonic(2000, 2, 0);
    timer.QueueTimerMonotonic(1000, 1, 0);
    timer.QueueTimerMonotonic(2000, 3, 0);
    gFakeNow = 5000;
    ASSERT_TRUE(WaitFor([&] { return timer.runs.load() == 3; }));
    EXPECT_EQ(timer.values, (std::vector<uint64_t>{1, 2, 3}));
    manager.Stop();
    CXTimerManager::SetClockForTesting(nullptr);
}

TEST(CXTimerTest, LatenessIsReportedPast50Milliseconds)
{
    CXTimerManager::SetClockForTesting([] { return gFakeNow.load(); });
    CXTimerManager manager;
    manager.Start();
    Recording timer(&manager, "late");
    CXDebugCapture capture;
    gFakeNow = 1000000000;
    timer.QueueTimerMonotonic(gFakeNow - 40000000, 1, 0);
    ASSERT_TRUE(WaitFor([&] { return timer.runs.load() == 1; }));
    timer.QueueTimerMonotonic(gFakeNow - 60000000, 2, 0);
    ASSERT_TRUE(WaitFor([&] { return timer.runs.load() == 2; }));
    manager.Stop();
    CXTimerManager::SetClockForTesting(nullptr);
    EXPECT_EQ(capture.Count("Timer late missed scheduled time by"), 1u);
    EXPECT_EQ(capture.Count("Timer late missed scheduled time by 60ms"), 1u);
}

class SelfRemoving : public CXTimer {
public:
    explicit SelfRemoving(CXTimerManager* manager, std::atomic<int>& runs) : CXTimer(manager, "self"), fRuns(runs) {}
    ~SelfRemoving() override { RemoveAllTimers(); }
    void OnTimer(uint64_t, uint64_t) override
    {
        RemoveAllTimers(); // must not wait for its own callback
        ++fRuns;
    }

private:
    std::atomic<int>& fRuns;
};

TEST(CXTimerTest, SelfDeleteAndRemovalFromTheCallback)
{
    // Both entries are queued before either is due, so the first run finds the second queued.
    gFakeNow = 0;
    CXTimerManager::SetClockForTesting([] { return gFakeNow.load(); });
    CXTimerManager manager;
    manager.Start();
    std::atomic<int> runs{0};
    SelfRemoving* once = new SelfRemoving(&manager, runs);
    once->SetSelfDelete(true);
    once->QueueTimerMonotonic(1000, 0, 0);
    once->QueueTimerMonotonic(2000, 0, 0); // dropped by the first run's RemoveAllTimers
    gFakeNow = 5000;
    ASSERT_TRUE(WaitFor([&] { return runs.load() == 1; }));
    manager.Stop(); // the self-deleting timer is gone by now: nothing left attached
    CXTimerManager::SetClockForTesting(nullptr);
    EXPECT_EQ(runs.load(), 1);

    CXGenericEventTimer event(nullptr);
    EXPECT_FALSE(event.IsSet());
}

TEST(CXTimerTest, WallClockDueTimes)
{
    // Due times are taken off the wall clock once, when queued: a wall-clock deadline in the
    // past runs at once.
    CXTimerManager manager;
    manager.Start();
    Recording timer(&manager, "wall");
    timer.QueueTimer(static_cast<uint64_t>(CXTimeTicks::Now().GetTicks()) - 10000, 5, 0);
    ASSERT_TRUE(WaitFor([&] { return timer.runs.load() == 1; }));
    manager.Stop();
}

} // namespace

namespace {

// A manager destroyed while its thread waits for work, with no Stop first, wakes its thread and
// ends; a timer may outlive it; a due time centuries ahead neither overflows nor spins.
TEST(CXTimerTest, ManagerAndTimerLifetimes)
{
    auto* manager = new CXTimerManager;
    manager->Start();
    Recording* survivor = new Recording(manager, "survivor");
    survivor->QueueTimerMonotonic(CXMonotonicNanoseconds(), 1, 0);
    ASSERT_TRUE(WaitFor([&] { return survivor->runs.load() == 1; }));
    Recording far(manager, "far");
    far.QueueTimer(~0ull, 2, 0);
    far.RemoveAllTimers();
    delete manager; // its thread is idle in a wait
    delete survivor; // must not reach the dead manager
    EXPECT_EQ(far.runs.load(), 0);
}

} // namespace
