#include "win32/WindowTesting.h"

#include "foundation/CXDebug.h"
#include "win32/user/Queue.h"

#include <thread>

using namespace win32test;

namespace {

HWND gDirty = nullptr;
HWND DirtyStub()
{
    return gDirty;
}

class QueueTest : public WindowTest {
protected:
    QueueTest() { SetDirtyWindowSource(&DirtyStub); }
    ~QueueTest() override
    {
        SetDirtyWindowSource(nullptr);
        gDirty = nullptr;
    }

    // Takes messages (PM_REMOVE) until none is ready; stops at WM_PAINT after seeing it twice.
    std::vector<UINT> Drain(HWND filter = nullptr, UINT min = 0, UINT max = 0)
    {
        std::vector<UINT> seen;
        MSG msg;
        while (seen.size() < 50 && PeekMessageW(&msg, filter, min, max, PM_REMOVE)) {
            if (msg.message == WM_PAINT) {
                MSG again;
                EXPECT_TRUE(PeekMessageW(&again, filter, min, max, PM_REMOVE));
                EXPECT_EQ(again.message, WM_PAINT) << "PM_REMOVE took the paint";
                gDirty = nullptr; // painted
            }
            seen.push_back(msg.message);
        }
        return seen;
    }
};

TEST_F(QueueTest, MessagesComeInQueueOrderUnderEachFilter)
{
    struct Case {
        const char* name;
        bool filterWindow;
        UINT min;
        UINT max;
        std::vector<UINT> expected;
    };
    std::vector<Case> cases = {
        {"everything", false, 0, 0,
         {WM_USER + 1, WM_USER + 2, WM_QUIT, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_PAINT, WM_TIMER}},
        {"the user range: quit passes any filter", false, WM_USER, WM_USER + 1, {WM_USER + 1, WM_QUIT}},
        {"timers only", false, WM_TIMER, WM_TIMER, {WM_QUIT, WM_TIMER}},
        {"the child only: its post and the input", true, 0, 0, {WM_USER + 2, WM_QUIT, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}},
        {"input range stops at the first input outside it", false, WM_LBUTTONDOWN, WM_LBUTTONDOWN, {WM_QUIT}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND top = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {0, 0, 300, 300});
        HWND child = Create(WS_CHILD | WS_VISIBLE, top, {0, 0, 100, 100});
        ASSERT_NE(SetTimer(top, 7, 10, nullptr), 0u);
        harness.Advance(20);
        gDirty = top;
        harness.Click(child, {5, 5});
        ASSERT_TRUE(PostMessageW(top, WM_USER + 1, 0, 0));
        ASSERT_TRUE(PostMessageW(child, WM_USER + 2, 0, 0));
        PostQuitMessage(3);
        EXPECT_EQ(Drain(c.filterWindow ? child : nullptr, c.min, c.max), c.expected);
        ResetQueueForTesting();
        DestroyWindow(top);
        gDirty = nullptr;
    }
}

TEST_F(QueueTest, PostsToDeadWindowsAreDroppedAndQuitCarriesTheCode)
{
    HWND a = Create(WS_OVERLAPPEDWINDOW);
    HWND b = Create(WS_OVERLAPPEDWINDOW);
    ASSERT_TRUE(PostMessageW(a, WM_USER, 1, 0));
    ASSERT_TRUE(PostMessageW(b, WM_USER, 2, 0));
    ASSERT_TRUE(PostMessageW(nullptr, WM_USER, 3, 0));
    DestroyWindow(a);
    EXPECT_FALSE(PostMessageW(a, WM_USER, 4, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    PostQuitMessage(42);
    MSG msg;
    std::vector<WPARAM> got;
    while (GetMessageW(&msg, nullptr, 0, 0))
        got.push_back(msg.wParam);
    EXPECT_EQ(got, (std::vector<WPARAM>{2, 3}));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 42u);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) << "WM_QUIT is taken once";
}

TEST_F(QueueTest, NoRemoveLeavesTheMessage)
{
    HWND w = Create(WS_OVERLAPPEDWINDOW);
    PostMessageW(w, WM_USER, 9, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD));
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 9u);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(QueueTest, TranslateMakesCharactersFromTheKeyText)
{
    struct Case {
        const char* name;
        std::vector<UINT> modifiers;
        UINT key;
        std::u16string text;
        std::vector<WPARAM> chars;
    };
    std::vector<Case> cases = {
        {"a letter", {}, 'A', u"a", {'a'}},
        {"a surrogate pair: one per unit", {}, 0xE5, u"\U0001F600", {0xD83D, 0xDE00}},
        {"backspace", {}, VK_BACK, u"", {8}},
        {"tab", {}, VK_TAB, u"", {9}},
        {"enter", {}, VK_RETURN, u"", {13}},
        {"escape", {}, VK_ESCAPE, u"", {27}},
        {"ctrl+a", {VK_LCONTROL}, 'A', u"", {1}},
        {"ctrl+z from the right side", {VK_RCONTROL}, 'Z', u"", {26}},
        {"an arrow types nothing", {}, VK_LEFT, u"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND w = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        for (UINT m : c.modifiers)
            harness.KeyDown(m);
        harness.KeyDown(c.key, c.text);
        harness.KeyUp(c.key);
        for (UINT m : c.modifiers)
            harness.KeyUp(m);
        harness.Spy().Clear();
        ASSERT_TRUE(harness.PumpUntilIdle());
        std::vector<WPARAM> chars;
        for (const auto& e : harness.Spy().Only({WM_CHAR})) {
            EXPECT_EQ(e.hwnd, w);
            chars.push_back(e.wParam);
        }
        EXPECT_EQ(chars, c.chars);
        DestroyWindow(w);
    }
}

void CountTimer(HWND, UINT, UINT_PTR, DWORD);
int gTimerCalls = 0;
void CountTimer(HWND, UINT, UINT_PTR, DWORD)
{
    gTimerCalls++;
}

TEST_F(QueueTest, TimersOnTheFakeClock)
{
    HWND w = Create(WS_OVERLAPPEDWINDOW);
    auto timers = [&]() {
        harness.Spy().Clear();
        EXPECT_TRUE(harness.PumpUntilIdle());
        std::vector<std::pair<HWND, WPARAM>> fired;
        for (const auto& e : harness.Spy().Only({WM_TIMER}))
            fired.emplace_back(e.hwnd, e.wParam);
        return fired;
    };
    using Fired = std::vector<std::pair<HWND, WPARAM>>;

    // The same (window, id) replaces: one timer with the new period.
    EXPECT_EQ(SetTimer(w, 5, 100, nullptr), 5u);
    EXPECT_EQ(SetTimer(w, 5, 300, nullptr), 5u);
    harness.Advance(150);
    EXPECT_EQ(timers(), Fired{});
    harness.Advance(150);
    EXPECT_EQ(timers(), (Fired{{w, 5}}));

    // Late by many periods: one WM_TIMER, and the next period runs from when it was taken.
    harness.Advance(3000);
    EXPECT_EQ(timers(), (Fired{{w, 5}}));
    EXPECT_EQ(timers(), Fired{});
    harness.Advance(299);
    EXPECT_EQ(timers(), Fired{});
    harness.Advance(1);
    EXPECT_EQ(timers(), (Fired{{w, 5}}));
    EXPECT_TRUE(KillTimer(w, 5));
    EXPECT_FALSE(KillTimer(w, 5));

    // The 10 ms minimum.
    SetTimer(w, 6, 0, nullptr);
    harness.Advance(9);
    EXPECT_EQ(timers(), Fired{});
    harness.Advance(1);
    EXPECT_EQ(timers(), (Fired{{w, 6}}));
    KillTimer(w, 6);

    // Thread timers: an id of no timer gets a fresh one; the answered id re-arms it (period
    // restarted) and stays one timer. Without a window and procedure it goes to nobody.
    UINT_PTR id = SetTimer(nullptr, 77, 100, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, 77u);
    harness.Advance(60);
    EXPECT_EQ(SetTimer(nullptr, id, 100, nullptr), id);
    harness.Advance(60);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE)) << "re-arming restarted the period";
    harness.Advance(40);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.wParam, id);
    EXPECT_EQ(DispatchMessageW(&msg), 0);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) << "one timer, not two";
    EXPECT_TRUE(KillTimer(nullptr, id));

    // A timer procedure is called by DispatchMessageW.
    gTimerCalls = 0;
    SetTimer(w, 8, 50, &CountTimer);
    harness.Advance(50);
    EXPECT_EQ(timers(), Fired{});
    EXPECT_EQ(gTimerCalls, 1);

    // A destroyed window's timers go with it.
    SetTimer(w, 9, 10, nullptr);
    DestroyWindow(w);
    harness.Advance(100);
    EXPECT_EQ(timers(), Fired{});
    EXPECT_EQ(NextTimerDue(), INT64_MAX);
}

TEST_F(QueueTest, BlockingGetMessageRunsStepsThenJumpsToTimersThenReportsDeadlock)
{
    HWND w = Create(WS_OVERLAPPEDWINDOW);
    std::vector<std::string> events;
    harness.AddStep([&] {
        events.push_back("step");
        PostMessageW(w, WM_USER, 0, 0);
    });
    SetTimer(w, 1, 500, nullptr);
    int64_t start = harness.NowMilliseconds();
    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_USER);
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_TIMER);
    EXPECT_EQ(harness.NowMilliseconds() - start, 500);
    KillTimer(w, 1);
    EXPECT_FALSE(harness.Deadlocked());
    CXDebugCapture capture;
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_TRUE(harness.Deadlocked());
    EXPECT_EQ(events, std::vector<std::string>{"step"});
}

TEST_F(QueueTest, ADueTimerOutsideTheFilterDoesNotKeepAWaitSpinning)
{
    HWND w = Create(WS_OVERLAPPEDWINDOW);
    SetTimer(w, 1, 10, nullptr);
    harness.Advance(20);
    CXDebugCapture capture;
    MSG msg;
    EXPECT_FALSE(GetMessageW(&msg, nullptr, WM_USER, WM_USER));
    EXPECT_TRUE(harness.Deadlocked());
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_TIMER) << "still there for an unfiltered look";
}

} // namespace

// Real clock, real wait: a post from another thread ends a blocked GetMessageW.
TEST(QueueWakeTest, PostFromAnotherThreadWakesGetMessage)
{
    win32::headless::HeadlessBackend backend;
    ASSERT_TRUE(win32::Initialize(&backend, win32::Options{}));
    std::thread poster([] { EXPECT_TRUE(win32::PostMessageW(nullptr, win32::WM_USER + 5, 1, 2)); });
    win32::MSG msg;
    EXPECT_EQ(win32::GetMessageW(&msg, nullptr, 0, 0), win32::TRUE);
    EXPECT_EQ(msg.message, win32::WM_USER + 5);
    poster.join();
    win32::Shutdown();
    win32::ResetQueueForTesting();
}
