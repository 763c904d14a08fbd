#include "foundation/CXDebug.h"
#include "foundation/CXFiber.h"
#include "foundation/CXThread.h"
#include "support/WaitFor.h"

#include <atomic>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

class Worker : public CXThread {
public:
    explicit Worker(const char* name) : CXThread(CXString(name)) {}
    ~Worker() override { StopAndWait(); }
    void Proc() override
    {
        seenId = CXThread::GetCurrentThreadId();
        current = CXThread::GetCurrentThread();
        started = true;
        while (!IsStopRequested() && !finish.load())
            CXThread::Sleep(1);
    }
    std::atomic<bool> started{false};
    std::atomic<bool> finish{false};
    std::atomic<uint32_t> seenId{0};
    std::atomic<CXThread*> current{nullptr};
};

TEST(CXThreadTest, StartStopAndEvents)
{
    Worker worker("worker");
    CXGenericEvent* stopRequested = worker.CreateEvent(0);
    CXGenericEvent* notRunning = worker.CreateEvent(1);
    CXGenericEvent* running = worker.CreateEvent(2);
    EXPECT_TRUE(notRunning->IsSet());
    EXPECT_FALSE(running->IsSet());

    worker.Start();
    EXPECT_NE(worker.GetThreadId(), 0u) << "the id is known when Start returns";
    ASSERT_TRUE(WaitFor([&] { return worker.started.load(); }));
    EXPECT_EQ(worker.seenId.load(), worker.GetThreadId());
    EXPECT_EQ(worker.current.load(), &worker);
    EXPECT_TRUE(running->IsSet());
    EXPECT_FALSE(notRunning->IsSet());

    CXDebugCapture capture;
    worker.Start();
    EXPECT_EQ(capture.Count("CXThread::Start> Already running."), 1u);

    worker.Stop();
    EXPECT_TRUE(stopRequested->IsSet());
    EXPECT_TRUE(notRunning->IsSet());
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(CXThread::GetCurrentThread(), nullptr);

    // A finished thread can be started again.
    worker.started = false;
    worker.Start();
    ASSERT_TRUE(WaitFor([&] { return worker.started.load(); }));
    worker.finish = true;
    ASSERT_TRUE(WaitFor([&] { return !worker.IsRunning(); }));
    delete stopRequested;
    delete notRunning;
    delete running;
}

TEST(CXThreadTest, NeverStartedThreadDiesAtOnce)
{
    Worker* worker = new Worker(nullptr);
    delete worker;
}

TEST(CXThreadTest, MainThreadAndShutdownReport)
{
    CXThread::CXInit();
    EXPECT_TRUE(CXThread::IsMainThread());
    EXPECT_TRUE(CXThread::IsInitialised());
    bool otherIsMain = true;
    std::thread([&] { otherIsMain = CXThread::IsMainThread(); }).join();
    EXPECT_FALSE(otherIsMain);

    Worker worker("still-here");
    worker.Start();
    ASSERT_TRUE(WaitFor([&] { return worker.started.load(); }));
    CXDebugCapture capture;
    CXThread::CXShutdown();
    EXPECT_EQ(capture.Count("! Program Termination. Threads still allocated:"), 1u);
    EXPECT_EQ(capture.Count("  - " + std::to_string(worker.GetThreadId()) + " running ('still-here')"), 1u);
    EXPECT_TRUE(worker.IsStopRequested()) << "a listed thread is asked to stop, nothing waits for it";
    ASSERT_TRUE(WaitFor([&] { return !worker.IsRunning(); }));

    capture.Clear();
    CXThread::CXShutdown();
    EXPECT_TRUE(capture.Lines().empty()) << "no thread left, no report";
    CXThread::Yield();
    EXPECT_EQ(capture.Count("CXThread::Yield> cooperative threading not supported on this platform"), 1u);
}

// An owner thread resumes its fiber, which runs on a thread of its own and hands control back by
// sleeping; the two never run at once, so the shared trace needs no lock.
class FiberOwner : public CXThread {
public:
    FiberOwner() : CXThread(CXString("fiber-owner")) {}
    ~FiberOwner() override { StopAndWait(); }
    void Proc() override
    {
        CXFiber fiber(this, [this](CXFiber* self, void* data) {
            inFiber = CXFiber::GetCurrentFiber() == self && data == this;
            fiberThread = CXFiber::GetFiberThreadId();
            for (int i = 0; i < 3; ++i) {
                trace.push_back('f');
                if (!CXFiber::Sleep())
                    return;
            }
            trace.push_back('x');
        }, this);
        ownerHasNoFiber = CXFiber::GetCurrentFiber() == nullptr;
        while (fiber.IsRunning()) {
            trace.push_back('o');
            (void)fiber.Resume();
        }
        done = true;
    }
    std::string trace;
    bool inFiber = false;
    bool ownerHasNoFiber = false;
    uint32_t fiberThread = 0;
    std::atomic<bool> done{false};
};

TEST(CXFiberTest, PingPongBetweenOwnerAndFiber)
{
    FiberOwner owner;
    owner.Start();
    ASSERT_TRUE(WaitFor([&] { return owner.done.load(); }));
    owner.Stop();
    EXPECT_EQ(owner.trace, "ofofofox");
    EXPECT_TRUE(owner.inFiber);
    EXPECT_TRUE(owner.ownerHasNoFiber);
    EXPECT_NE(owner.fiberThread, owner.GetThreadId());
}

TEST(CXFiberTest, SleepOutsideAFiber)
{
    CXDebugCapture capture;
    EXPECT_FALSE(CXFiber::Sleep());
    EXPECT_EQ(capture.Count("CXFiber::Sleep> called from non-fiber"), 1u);
    EXPECT_EQ(CXFiber::GetFiberThreadId(), CXThread::GetCurrentThreadId());
}

} // namespace

namespace {

// A subclass that forgot to stop its thread: the base destructor reports it, asks the body to
// stop and waits, instead of waiting for ever.
std::atomic<bool> gForgetfulRunning{false};

class Forgetful : public CXThread {
public:
    Forgetful() : CXThread(CXString("forgetful")) {}
    void Proc() override
    {
        gForgetfulRunning = true;
        while (!IsStopRequested())
            CXThread::Sleep(1);
    }
};

TEST(CXThreadTest, BaseDestructorStopsAForgottenThread)
{
    gForgetfulRunning = false;
    auto* thread = new Forgetful;
    thread->Start();
    ASSERT_TRUE(WaitFor([] { return gForgetfulRunning.load(); })); // the body is under way
    CXDebugCapture capture;
    delete thread;
    EXPECT_EQ(capture.Count("~CXThread> thread 'forgetful' still running while destroyed"), 1u);
}

} // namespace
