#include "foundation/CXDebug.h"
#include "foundation/CXTask.h"
#include "foundation/CXTime.h"
#include "support/WaitFor.h"

#include <atomic>
#include <algorithm>
#include <functional>
#include <utility>
#include <gtest/gtest.h>
#include <string>

namespace {

class Recorder : public CXTask {
public:
    Recorder(const char* name, std::string& trace) : CXTask(name), fTrace(trace) {}
    ~Recorder() override { DetachFromHost(); }
    void Idle() override
    {
        fTrace += GetName();
        if (fAction)
            std::exchange(fAction, nullptr)(); // each action runs once
    }
    void SetAction(std::function<void()> action) { fAction = std::move(action); }

private:
    std::string& fTrace;
    std::function<void()> fAction;
};

TEST(CXTaskTest, PassesIdleInOrderOfAddition)
{
    CXTaskHost host;
    std::string trace;
    Recorder a("a", trace), b("b", trace), c("c", trace);
    host.AddTask(&a);
    host.IdleTasks(); // a only
    host.AddTask(&b);
    host.IdleTasks();
    host.AddTask(&c);
    host.IdleTasks();
    EXPECT_EQ(trace, "aababc");

    CXDebugCapture capture;
    CXTaskHost other;
    other.AddTask(&a);
    EXPECT_EQ(capture.Count("CXTaskHost::AddTask> task 'a' already added to a host"), 1u);
    EXPECT_EQ(a.GetHost(), &host);

    // Removing a task that was added but never idled takes it off the pending list.
    Recorder d("d", trace);
    host.AddTask(&d);
    host.RemoveTask(&d);
    EXPECT_EQ(d.GetHost(), nullptr);
    trace.clear();
    host.IdleTasks();
    EXPECT_EQ(trace, "abc");
}

TEST(CXTaskTest, ChangesDuringAPass)
{
    CXTaskHost host;
    std::string trace;
    Recorder a("a", trace), b("b", trace), c("c", trace), late("L", trace);
    for (Recorder* task : {&a, &b, &c}) {
        host.AddTask(task);
        host.IdleTasks();
    }
    trace.clear();
    a.SetAction([&] { host.AddTask(&late); });
    b.SetAction([&] { host.RemoveTask(&b); }); // c slides into b's place
    host.IdleTasks();
    EXPECT_EQ(trace, "ab") << "an added task waits for the next pass, and so does the one that moved into a removed task's place";
    trace.clear();
    host.IdleTasks();
    EXPECT_EQ(trace, "acL");
    host.RemoveTask(&late);
}

TEST(CXTaskTest, ReentranceAndSlowTasks)
{
    CXTaskHost host;
    std::string trace;
    CXDebugCapture capture;
    Recorder nested("n", trace);
    nested.SetAction([&] { host.IdleTasks(); });
    host.AddTask(&nested);
    host.IdleTasks();
    EXPECT_EQ(capture.Count("CXTaskHost::IdleTasks> reentrance attempted"), 1u);
    host.RemoveTask(&nested);

    static std::atomic<int64_t> fakeMilliseconds{0};
    CXTime::SetPerformanceCounterForTesting([] { return fakeMilliseconds.load(); }, 1000);
    int64_t step = 500;
    Recorder slow("slow", trace);
    host.AddTask(&slow);
    slow.SetAction([&] { fakeMilliseconds += step; });
    host.IdleTasks();
    EXPECT_EQ(capture.Count("CXTask::Idle took"), 0u) << "500 ms is not reported";
    step = 501;
    slow.SetAction([&] { fakeMilliseconds += step; });
    host.IdleTasks();
    EXPECT_EQ(capture.Count("CXTask::Idle took 501ms on 'slow'"), 1u);
    CXTime::SetPerformanceCounterForTesting(nullptr, 0);
    host.RemoveTask(&slow);
}

TEST(CXTaskTest, ThreadHosts)
{
    CXDebugCapture capture;
    CXTaskHost::ExitCurrentThreadTaskHost();
    EXPECT_EQ(capture.Count("CXTaskHost::InitCurrentThreadTaskHost> don't have task host on this thread"), 1u);
    CXTaskHost::InitCurrentThreadTaskHost();
    CXTaskHost::InitCurrentThreadTaskHost();
    EXPECT_EQ(capture.Count("CXTaskHost::InitCurrentThreadTaskHost> already have task host on this thread"), 1u);
    CXTaskHost* host = CXTaskHost::GetCurrentThreadTaskHost();
    EXPECT_EQ(host, CXTaskHost::GetThreadTaskHost(CXThread::GetCurrentThreadId()));
    std::string trace;
    {
        Recorder leftOver("left", trace);
        host->AddTask(&leftOver);
        host->IdleTasks();
        capture.Clear();
        CXTaskHost::ExitCurrentThreadTaskHost();
        EXPECT_EQ(capture.Count("~CXTaskHost> some tasks are still active on this host"), 1u);
        EXPECT_EQ(capture.Count("  > left"), 1u);
        EXPECT_EQ(leftOver.GetHost(), nullptr);
    }
}

TEST(CXTaskTest, TaskHostThreadIdlesItsTasks)
{
    std::string trace;
    std::atomic<int> passes{0};
    TaskHostThread thread;
    struct Counter : CXTask {
        explicit Counter(std::atomic<int>& n) : CXTask("t"), passes(n) {}
        ~Counter() override { DetachFromHost(); }
        void Idle() override { ++passes; }
        std::atomic<int>& passes;
    } counter(passes);
    thread.AddTask(&counter);
    thread.Start();
    ASSERT_TRUE(WaitFor([&] { return passes.load() >= 3; }));
    // Removal from another thread waits for a running pass, so the task is never idled after.
    thread.RemoveTask(&counter);
    int seen = passes.load();
    thread.Stop();
    EXPECT_EQ(passes.load(), seen);
}

TEST(CXTaskTest, SubtasksFollowTheirParent)
{
    CXTaskHost host;
    std::string trace;
    Recorder parent("p", trace), child("c", trace);
    parent.AttachSubtask(&child);
    host.AddTask(&parent);
    host.IdleTasks();
    std::sort(trace.begin(), trace.end());
    EXPECT_EQ(trace, "cp") << "a subtask is added with its parent";
    EXPECT_EQ(child.GetHost(), &host);
    parent.RemoveSubtask(&child);
    EXPECT_EQ(child.GetHost(), nullptr);
    EXPECT_EQ(child.GetParent(), nullptr);
    CXDebugCapture capture;
    parent.RemoveSubtask(&child);
    EXPECT_EQ(capture.Count("CXTask::RemoveSubtask> subtask not child of this task"), 1u);
}

} // namespace
