#include "streams/CXStreamWatcher.h"

#include "foundation/CXDebug.h"
#include "streams/CXStreamFIFO.h"
#include "streams/CXStreamTCP.h"
#include "support/LoopbackServer.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace {

std::atomic<bool> gWaiting{false};
std::atomic<bool> gWakeMissed{false};
std::atomic<int> gRequestsDeleted{0};
// Run once by the next idle wait, on the loop's thread.
std::function<void()> gBeforeIdleWait;

// The loop makes no pass on time alone: it waits for a wake-up, and one that never comes is noted
// rather than waited out.
void WaitForWake(CXEvent& wake)
{
    if (gBeforeIdleWait) {
        std::function<void()> action = std::move(gBeforeIdleWait);
        gBeforeIdleWait = nullptr;
        action();
    }
    gWaiting = true;
    if (!wake.WaitFor(5000))
        gWakeMissed = true;
    gWaiting = false;
}

class CountedRequest : public CXStreamWatcherRequest {
public:
    using CXStreamWatcherRequest::CXStreamWatcherRequest;
    ~CountedRequest() override { gRequestsDeleted.fetch_add(1); }
};

// Counts its calls, after running its action; notes a call with another stream or off the loop.
class Recorder : public CXStreamWatcherCallback {
public:
    Recorder(const CXThread& loop, CXStream& stream, std::function<void(CXStream*)> action)
        : fLoop(loop)
        , fStream(stream)
        , fAction(std::move(action))
    {
    }
    void StreamReady(CXStream* stream) override
    {
        if (stream != &fStream || CXThread::GetCurrentThread() != &fLoop)
            fStrayCall = true;
        if (fAction)
            fAction(stream);
        fCalls.fetch_add(1);
    }
    int Calls() const { return fCalls.load(); }
    bool StrayCall() const { return fStrayCall.load(); }

private:
    const CXThread& fLoop;
    CXStream& fStream;
    std::function<void(CXStream*)> fAction;
    std::atomic<int> fCalls{0};
    std::atomic<bool> fStrayCall{false};
};

// The streams are non-blocking, so this reads only what is there.
void Drain(CXStream* stream)
{
    char buffer[64];
    (void)stream->Read(buffer, sizeof buffer);
}

CXAutoReference<Recorder> WatchWith(CXStreamWatcher& watcher, CXStreamWatcher::Kind kind, CXStream& stream,
                                    std::function<void(CXStream*)> action)
{
    CXAutoReference<Recorder> recorder;
    recorder.Swallow(new Recorder(watcher, stream, std::move(action)));
    CXAutoReference<CXStreamWatcherCallback> callback;
    callback.Reference(recorder.get());
    watcher.Watch(kind, &stream, callback);
    return recorder;
}

// Returns once a whole pass has run after the call: requests are served after the entries, so
// the second barrier is served by a pass that began after the first one was served.
void Settle(CXStreamWatcher& watcher)
{
    for (int i = 0; i < 2; ++i) {
        CXStreamWatcherRequest barrier(nullptr, true);
        watcher.QueueRequest(barrier);
        EXPECT_TRUE(barrier.Wait());
    }
}

template <class Condition>
bool SettleUntil(CXStreamWatcher& watcher, Condition condition)
{
    return WaitFor([&] {
        Settle(watcher);
        return condition();
    });
}

class CXStreamWatcherTest : public testing::Test {
protected:
    void SetUp() override
    {
        gWakeMissed = false;
        gRequestsDeleted = 0;
        CXStreamWatcher::SetIdleWaitForTesting(WaitForWake);
    }
    void TearDown() override
    {
        CXStreamWatcher::SetIdleWaitForTesting(nullptr);
        gBeforeIdleWait = nullptr;
    }
};

TEST_F(CXStreamWatcherTest, EntriesFireAndRequestsRemoveThem)
{
    enum class Source { kFIFO, kTCP };
    enum class Request { kNone, kCompleted, kHandedOver };
    struct Case {
        const char* name;
        Source source;
        bool data;   // bytes wait on the stream before it is watched
        bool closed; // the stream is closed before it is watched
        int dataCalls;
        int closedCalls;
        Request request; // then queued for the stream
        bool keep;
        bool stopFirst; // the watcher is stopped before the request and started again after it
    };
    const Case cases[] = {
        {"data waiting", Source::kFIFO, true, false, 1, 0, Request::kNone, false, false},
        {"nothing waiting", Source::kFIFO, false, false, 0, 0, Request::kNone, false, false},
        {"closed", Source::kFIFO, false, true, 0, 1, Request::kNone, false, false},
        {"closed with data left", Source::kFIFO, true, true, 1, 1, Request::kNone, false, false},
        {"TCP data waiting", Source::kTCP, true, false, 1, 0, Request::kNone, false, false},
        {"TCP quiet", Source::kTCP, false, false, 0, 0, Request::kNone, false, false},
        {"completed request", Source::kFIFO, false, false, 0, 0, Request::kCompleted, false, false},
        {"handed-over request", Source::kFIFO, false, false, 0, 0, Request::kHandedOver, false, false},
        {"completed request, keep", Source::kFIFO, false, false, 0, 0, Request::kCompleted, true, false},
        {"handed-over request, keep", Source::kFIFO, false, false, 0, 0, Request::kHandedOver, true, false},
        {"completed request after stop", Source::kFIFO, false, false, 0, 0, Request::kCompleted, false, true},
        {"handed-over request after stop, keep", Source::kFIFO, false, false, 0, 0, Request::kHandedOver, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gWakeMissed = false;
        gRequestsDeleted = 0;
        CXDebugCapture capture;
        CXStreamFIFO fifo, other;
        std::optional<LoopbackServer> server;
        CXStreamTCP tcp;
        CXStream* watched = &fifo;
        if (c.source == Source::kTCP) {
            server.emplace();
            server->SetScript(c.data ? std::vector<LoopbackAction>{LoopbackAction::Send("x"), LoopbackAction::HoldOpen()}
                                     : std::vector<LoopbackAction>{LoopbackAction::HoldOpen()});
            ASSERT_EQ(tcp.Open(IPv4AddressFromText("127.0.0.1", server->Port()), 1500), kCXOK);
            watched = &tcp;
        } else if (c.data) {
            ASSERT_EQ(fifo.Write("abc", 3), 3u);
        }
        if (c.closed)
            (void)watched->Close();
        watched->SetCaps(CXStream::kCapsNonBlocking, CXStream::kCapsNonBlocking);
        other.SetCaps(CXStream::kCapsNonBlocking, CXStream::kCapsNonBlocking);
        {
            CXStreamWatcher watcher;
            watcher.Start();
            // A closed stream's entry fires on every pass: its callback drops the stream's
            // entries, by a request handed over from the callback.
            auto drop = [&watcher](CXStream* stream) { watcher.QueueRequest(std::make_unique<CXStreamWatcherRequest>(stream)); };
            auto onData = WatchWith(watcher, CXStreamWatcher::kWatchData, *watched, Drain);
            auto onClosed = WatchWith(watcher, CXStreamWatcher::kWatchClosed, *watched, drop);
            auto onOther = WatchWith(watcher, CXStreamWatcher::kWatchData, other, Drain);
            EXPECT_TRUE(SettleUntil(watcher, [&] { return onData->Calls() == c.dataCalls && onClosed->Calls() == c.closedCalls; }));
            Settle(watcher);
            EXPECT_EQ(onData->Calls(), c.dataCalls);
            EXPECT_EQ(onClosed->Calls(), c.closedCalls);
            EXPECT_EQ(onOther->Calls(), 0);

            if (c.request != Request::kNone) {
                if (c.stopFirst) {
                    // Stopping wakes the waiting loop (a missed wake-up is noted below).
                    ASSERT_TRUE(WaitFor([] { return gWaiting.load(); }));
                    watcher.Stop();
                    EXPECT_FALSE(watcher.IsRunning());
                }
                CXStreamWatcherRequest completed(watched, c.keep);
                if (c.request == Request::kCompleted) {
                    watcher.QueueRequest(completed);
                    if (c.stopFirst) {
                        ASSERT_TRUE(completed.IsDone()) << "served at once";
                    }
                    EXPECT_TRUE(completed.Wait());
                } else {
                    watcher.QueueRequest(std::make_unique<CountedRequest>(watched, c.keep));
                    if (!c.stopFirst)
                        Settle(watcher);
                    EXPECT_EQ(gRequestsDeleted.load(), 1);
                }
                if (c.stopFirst)
                    watcher.Start();
                // The stream gets data and closes: its entries answer only when they were kept.
                // The other stream's entry is never touched by the request.
                ASSERT_EQ(fifo.Write("y", 1), 1u);
                (void)fifo.Close();
                ASSERT_EQ(other.Write("z", 1), 1u);
                int more = c.keep ? 1 : 0;
                auto answered = [&] {
                    return onOther->Calls() == 1 && onData->Calls() == c.dataCalls + more && onClosed->Calls() == c.closedCalls + more;
                };
                EXPECT_TRUE(SettleUntil(watcher, answered));
                Settle(watcher);
                EXPECT_TRUE(answered());
            }
            EXPECT_FALSE(onData->StrayCall() || onClosed->StrayCall() || onOther->StrayCall());
            EXPECT_TRUE(WaitFor([] { return gWaiting.load(); })) << "a loop with nothing to do waits";
        } // destroying the watcher stops it
        EXPECT_FALSE(gWakeMissed.load());
        EXPECT_EQ(capture.ErrorCount(), 0u);
    }
}

TEST_F(CXStreamWatcherTest, CallbacksUseTheWatcherAndABusyPassIsFollowedAtOnce)
{
    CXDebugCapture capture;
    CXStreamFIFO a, b, c;
    for (CXStreamFIFO* stream : {&a, &b, &c})
        stream->SetCaps(CXStream::kCapsNonBlocking, CXStream::kCapsNonBlocking);
    (void)c.Close();
    CXStreamWatcher watcher;
    CXStreamWatcherRequest dropC(&c);
    std::atomic<int> waitedInCallback{-1};
    watcher.Start();

    // c's callback drops c's entry and cannot wait for that on the loop's own thread.
    CXAutoReference<Recorder> onC;
    onC.Swallow(new Recorder(watcher, c, [&](CXStream*) {
        watcher.QueueRequest(dropC);
        waitedInCallback = dropC.Wait() ? 1 : 0;
    }));
    // b's callback adds c's entry; a's writes into b, whose entry comes before a's: the next pass
    // finds it without any wake-up, because a pass that called back is followed at once.
    auto onB = WatchWith(watcher, CXStreamWatcher::kWatchData, b, [&](CXStream* stream) {
        Drain(stream);
        CXAutoReference<CXStreamWatcherCallback> callback;
        callback.Reference(onC.get());
        watcher.Watch(CXStreamWatcher::kWatchClosed, &c, callback);
    });
    ASSERT_EQ(a.Write("x", 1), 1u);
    auto onA = WatchWith(watcher, CXStreamWatcher::kWatchData, a, [&](CXStream* stream) {
        Drain(stream);
        (void)b.Write("x", 1);
    });

    ASSERT_TRUE(WaitFor([&] { return dropC.IsDone(); }));
    EXPECT_FALSE(gWakeMissed.load());
    EXPECT_EQ(waitedInCallback.load(), 0);
    EXPECT_TRUE(dropC.Wait());
    Settle(watcher);
    EXPECT_EQ(onA->Calls(), 1);
    EXPECT_EQ(onB->Calls(), 1);
    EXPECT_EQ(onC->Calls(), 1);
    EXPECT_FALSE(onA->StrayCall() || onB->StrayCall() || onC->StrayCall());
    EXPECT_EQ(capture.Count("CXStreamWatcherRequest::Wait> called on the watcher's own thread"), 1u);
    EXPECT_EQ(capture.ErrorCount(), 1u);
}

TEST_F(CXStreamWatcherTest, ARequestQueuedAsTheLoopStopsIsServed)
{
    CXStreamWatcher watcher;
    CXStreamWatcherRequest request(nullptr, true);
    // Between passes, on the loop's thread: queued while the loop still runs, then the stop.
    gBeforeIdleWait = [&] {
        watcher.QueueRequest(request);
        watcher.RequestStop();
    };
    watcher.Start();
    ASSERT_TRUE(WaitFor([&] { return !watcher.IsRunning(); }));
    EXPECT_TRUE(request.IsDone());
    EXPECT_FALSE(gWakeMissed.load());
}

} // namespace
