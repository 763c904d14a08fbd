#include "foundation/CXDebug.h"
#include "foundation/CXNativeSync.h"
#include "foundation/CXTask.h"
#include "foundation/CXThread.h"
#include "foundation/CXWorkerHost.h"

#include <atomic>
#include <gtest/gtest.h>
#include <set>
#include <thread>
#include <vector>

namespace {

constexpr int64_t kPatienceNanoseconds = 10LL * 1000000000;

// Polls a condition that other threads bring about; false when it did not come within the
// patience limit.
template <class Condition>
bool PollUntil(Condition condition)
{
    int64_t deadline = CXMonotonicNanoseconds() + kPatienceNanoseconds;
    while (!condition()) {
        if (CXMonotonicNanoseconds() > deadline)
            return false;
        CXThread::Sleep(1);
    }
    return true;
}

// The test's thread plays the main thread with its task host; the host is shut down after each
// test, so the next test's first GetSingleton reports the earlier shutdown (captured here).
class CXWorkerHostTest : public testing::Test {
protected:
    void SetUp() override
    {
        CXThread::CXInit();
        CXTaskHost::InitCurrentThreadTaskHost();
    }
    void TearDown() override
    {
        CXWorkerHost::Shutdown();
        CXWorkerHost::SetIdleWaitForTesting(nullptr);
        CXTaskHost::ExitCurrentThreadTaskHost();
    }
    static void IdleMainThread() { CXTaskHost::GetCurrentThreadTaskHost()->IdleTasks(); }

    CXDebugCapture fCapture;
};

class Counter : public CXWorkerThread {
public:
    explicit Counter(std::atomic<int>* runs) : fRuns(runs) {}
    ~Counter() override { Wait(); }
    void Run() override { ++*fRuns; }

private:
    std::atomic<int>* fRuns;
};

TEST_F(CXWorkerHostTest, WorkerResultsArriveOnTheMainThreadInOrder)
{
    CXWorkerHost* host = CXWorkerHost::GetSingleton();
    const uint32_t mainThread = CXThread::GetCurrentThreadId();
    std::vector<int> results; // touched on the main thread only
    std::atomic<int> workerRunsOnMain{0};
    std::atomic<int> mainRunsElsewhere{0};
    int owner = 0;
    {
        CXWorkerChain chain;
        for (int i = 0; i < 20; ++i) {
            chain.Post([&, i] {
                if (CXThread::GetCurrentThreadId() == mainThread)
                    ++workerRunsOnMain;
                host->PostMainThreadJob(&owner, [&, i] {
                    if (CXThread::GetCurrentThreadId() != mainThread)
                        ++mainRunsElsewhere;
                    results.push_back(i);
                });
            });
        }
        // Results wait for a main-thread pass.
        EXPECT_TRUE(PollUntil([&] {
            IdleMainThread();
            return results.size() == 20;
        }));
    }
    std::vector<int> expected;
    for (int i = 0; i < 20; ++i)
        expected.push_back(i);
    EXPECT_EQ(results, expected);
    EXPECT_EQ(workerRunsOnMain.load(), 0);
    EXPECT_EQ(mainRunsElsewhere.load(), 0);

    // A main-thread job posted with no pass running waits for the next pass.
    bool ran = false;
    host->PostMainThreadJob(&owner, [&ran] { ran = true; });
    EXPECT_FALSE(ran);
    IdleMainThread();
    EXPECT_TRUE(ran);

    std::atomic<int> runs{0};
    {
        Counter counter(&runs);
        counter.Schedule();
        counter.Schedule();
    }
    EXPECT_EQ(runs.load(), 2);
}

TEST_F(CXWorkerHostTest, MainThreadWaitRunsMainThreadJobsSoWorkerQuestionsGetAnswers)
{
    CXWorkerHost* host = CXWorkerHost::GetSingleton();
    int nothing = 0;
    host->WaitForJobs(&nothing); // nothing posted: returns at once

    // The worker asks the main thread and waits for the answer, the way a disc question is asked;
    // the main thread meanwhile waits for the worker.
    int worker = 0;
    int question = 0;
    int answer = 0;
    std::atomic<int> seen{0};
    int64_t deadline = CXMonotonicNanoseconds() + kPatienceNanoseconds;
    auto patient = [deadline] { return CXMonotonicNanoseconds() < deadline; };
    host->PostJob(&worker, [&] {
        host->PostMainThreadJob(&question, [&answer] { answer = 42; });
        host->WaitForJobs(&question, patient);
        seen = answer;
    });
    host->WaitForJobs(&worker, patient);
    EXPECT_EQ(seen.load(), 42);
}

std::atomic<int> gIdleWaits{0};

TEST_F(CXWorkerHostTest, PoolGrowsWhileJobsWaitButNeverBeyondEight)
{
    // Each wait for an idle worker stands for the 100 ms after which the pool grows.
    CXWorkerHost::SetIdleWaitForTesting([](CXEvent& idle) {
        ++gIdleWaits;
        (void)idle.WaitFor(1);
    });
    CXWorkerHost* host = CXWorkerHost::GetSingleton();
    EXPECT_EQ(host->GetWorkerCount(), 1);

    constexpr int kJobs = 12;
    std::atomic<int> running{0};
    std::atomic<int> mostRunning{0};
    std::atomic<int> finished{0};
    CXEvent release;
    int owner = 0;
    for (int i = 0; i < kJobs; ++i) {
        host->PostJob(&owner, [&] {
            int now = ++running;
            int most = mostRunning.load();
            while (now > most && !mostRunning.compare_exchange_weak(most, now)) {
            }
            (void)release.WaitFor(static_cast<uint32_t>(kPatienceNanoseconds / 1000000));
            --running;
            ++finished;
        });
    }
    ASSERT_TRUE(PollUntil([&] { return running.load() == CXWorkerHost::kMaximumWorkers; }));
    // With eight busy and four waiting, the dispatcher keeps trying for another worker.
    int waits = gIdleWaits.load();
    ASSERT_TRUE(PollUntil([&] { return gIdleWaits.load() >= waits + 3; }));
    EXPECT_EQ(host->GetWorkerCount(), CXWorkerHost::kMaximumWorkers);
    EXPECT_EQ(running.load(), CXWorkerHost::kMaximumWorkers);

    release.Set();
    host->WaitForJobs(&owner);
    EXPECT_EQ(finished.load(), kJobs);
    EXPECT_EQ(mostRunning.load(), CXWorkerHost::kMaximumWorkers);
    EXPECT_EQ(host->GetWorkerCount(), CXWorkerHost::kMaximumWorkers);
}

TEST_F(CXWorkerHostTest, HostIsMadeOnceAndAnewAfterShutdownWithAReport)
{
    CXWorkerHost::Shutdown();
    fCapture.Clear();
    std::vector<CXWorkerHost*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = CXWorkerHost::GetSingleton(); });
    for (std::thread& thread : threads)
        thread.join();
    for (CXWorkerHost* host : seen)
        EXPECT_EQ(host, CXWorkerHost::GetSingleton());
    EXPECT_EQ(fCapture.Count("CXWorkerHost::GetSingleton> host was previously shut down"), 1u);
    EXPECT_EQ(fCapture.Lines().size(), 1u);

    // Shutdown lets the running job finish.
    std::atomic<bool> done{false};
    int owner = 0;
    seen[0]->PostJob(&owner, [&done] { done = true; });
    ASSERT_TRUE(PollUntil([&done] { return done.load(); }));
    CXWorkerHost::Shutdown();
    EXPECT_EQ(CXTaskHost::GetCurrentThreadTaskHost()->GetTaskCount(), 0u);
}

} // namespace
