#include "foundation/CXDebug.h"
#include "foundation/CXEvent.h"
#include "foundation/CXGenericEvent.h"
#include "foundation/CXGenericEventContext.h"
#include "foundation/CXRandom.h"
#include "foundation/CXTask.h"
#include "foundation/CXThread.h"
#include "foundation/CXTime.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

class NeverSet : public CXGenericEvent {
public:
    bool IsSet() override { return false; }
};

TEST(CXGenericEventTest, RefsOutliveTheirEvent)
{
    CXGenericEventRef copy;
    {
        NeverSet event;
        CXGenericEventRef ref(&event);
        copy = ref;
        EXPECT_FALSE(ref.IsSet());
        EXPECT_FALSE(copy.IsSet());
        EXPECT_TRUE(ref == copy);
    }
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_TRUE(copy.IsSet()) << "an empty ref reads as set";
}

TEST(CXGenericEventTest, VariableEvents)
{
    std::atomic<uint8_t> flag{0};
    CXGenericEventBoolVariable whenSet(&flag, 0);
    CXGenericEventBoolVariable whenClear(&flag, 1);
    EXPECT_FALSE(whenSet.IsSet());
    EXPECT_TRUE(whenClear.IsSet());
    flag = 1;
    EXPECT_TRUE(whenSet.IsSet());
    EXPECT_FALSE(whenClear.IsSet());

    std::atomic<uint64_t> stamp{0};
    CXGenericEventTimestampVariable changed(&stamp);
    EXPECT_FALSE(changed.IsSet());
    stamp = 7;
    uint64_t older = 6, same = 7;
    EXPECT_TRUE(changed.IsSet(&older));
    EXPECT_FALSE(changed.IsSet(&same));

    int calls = 0;
    CXGenericEventPredicate predicate([](void* data) { return ++*static_cast<int*>(data) > 1; }, &calls);
    EXPECT_FALSE(predicate.IsSet());
    EXPECT_TRUE(predicate.IsSet());

    CXEvent event;
    EXPECT_FALSE(event.IsSet());
    event.Set();
    EXPECT_TRUE(event.IsSet());
    EXPECT_TRUE(event.WaitFor(0));
    event.Reset();
    EXPECT_FALSE(event.WaitUntil(static_cast<uint64_t>(CXTimeTicks::Now().GetTicks()) - 1));
}

class TwoConditions : public CXGenericEventSource {
public:
    CXGenericEvent* CreateEvent(int condition) override
    {
        ++made;
        return condition == 0 ? new NeverSet : nullptr;
    }
    int made = 0;
};

TEST(CXGenericEventTest, PrimaryEventIsMadeOnce)
{
    TwoConditions source;
    CXGenericEventRef a = source.GetPrimaryEvent();
    CXGenericEventRef b = source.GetPrimaryEvent();
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a.IsEmpty());
    EXPECT_EQ(source.made, 1);
    source.DeleteEvents();
    EXPECT_TRUE(a.IsEmpty());
}

// The context is idled directly here; in the program the main thread's message loop idles it.
class ContextTest : public testing::Test {
protected:
    void SetUp() override { CXTaskHost::InitCurrentThreadTaskHost(); }
    void TearDown() override { CXTaskHost::ExitCurrentThreadTaskHost(); }
};

int CountCall(void*, void* data, CXGenericEventHandler*)
{
    ++*static_cast<int*>(data);
    return 1;
}

TEST_F(ContextTest, RegistrationAndResults)
{
    CXGenericEventContextManual context;
    CXGenericEvent always;
    CXGenericEventRef ref(&always);
    int owner = 0;
    int calls = 0;
    context.AddHandler(ref, &owner, CountCall, &calls);
    context.AddHandler(ref, &owner, CountCall, &calls);
    EXPECT_EQ(context.GetHandlerCount(), 1u) << "the same function, data, owner and event once";
    int callableCalls = 0;
    context.AddHandler(ref, &owner, [&] { return ++callableCalls, 1; });
    context.AddHandler(ref, &owner, [&] { return ++callableCalls, 1; });
    EXPECT_EQ(context.GetHandlerCount(), 3u) << "callables are never merged";

    std::vector<int> results = {0, -1, 2};
    std::vector<int> resultCalls(3, 0);
    for (int i = 0; i < 3; ++i)
        context.AddHandler(ref, &results, [&, i] { ++resultCalls[i]; return results[i]; });
    context.Idle();
    context.Idle();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(callableCalls, 4);
    EXPECT_EQ(resultCalls, (std::vector<int>{1, 1, 1})) << "any answer but 1 removes the handler";

    context.RemoveHandlers(&owner);
    EXPECT_EQ(context.GetHandlerCount(), 0u);
}

TEST_F(ContextTest, HandlerRemovingItselfDuringItsCall)
{
    CXGenericEventContextManual context;
    CXGenericEvent always;
    CXGenericEventRef ref(&always);
    int self = 0, next = 0;
    std::vector<char> order;
    context.AddHandler(ref, &self, [&] {
        order.push_back('a');
        context.RemoveHandlers(&self); // frees nothing until the pass ends
        order.push_back('A');
        return 1;
    });
    context.AddHandler(ref, &next, [&] { order.push_back('b'); return 1; });
    context.Idle();
    context.Idle();
    EXPECT_EQ(order, (std::vector<char>{'a', 'A', 'b', 'b'}));
}

TEST_F(ContextTest, DestroyedEventsFireAndTimestampsFireOncePerChange)
{
    CXGenericEventContextManual context;
    int owner = 0;
    int fired = 0;
    {
        NeverSet event;
        context.AddHandler(CXGenericEventRef(&event), &owner, [&] { return ++fired, 1; });
        context.Idle();
        EXPECT_EQ(fired, 0);
    }
    context.Idle();
    context.Idle();
    EXPECT_EQ(fired, 2) << "a ref to a destroyed event reads as set in every pass";
    context.RemoveHandlers(&owner);

    std::atomic<uint64_t> stamp{0};
    CXGenericEventTimestampVariable changed(&stamp);
    int changes = 0;
    context.AddHandler(CXGenericEventRef(&changed), &owner, [&] { return ++changes, 1; });
    context.Idle();
    stamp = GetUniqueID();
    context.Idle();
    context.Idle();
    EXPECT_EQ(changes, 1);
    stamp = GetUniqueID();
    context.Idle();
    EXPECT_EQ(changes, 2);
}

} // namespace

namespace {

// An event destroyed on one thread while another tests a ref to it: the test sees the event or an
// empty ref, never a half-destroyed event (checked by the sanitizers).
TEST(CXGenericEventTest, EventDiesWhileARefIsTested)
{
    for (int round = 0; round < 200; ++round) {
        CXEvent* event = new CXEvent;
        CXGenericEventRef ref(event);
        std::atomic<bool> stop{false};
        std::thread tester([&] {
            while (!stop.load())
                (void)ref.IsSet();
        });
        std::this_thread::yield();
        delete event;
        stop = true;
        tester.join();
        EXPECT_TRUE(ref.IsSet());
    }
}

} // namespace
