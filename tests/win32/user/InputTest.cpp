#include "win32/WindowTesting.h"

#include "win32/user/Queue.h"

using namespace win32test;

namespace {

// A message a window got: the window, message, wParam and the point packed in lParam.
struct Got {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    POINT point;
    bool operator==(const Got& o) const
    {
        return hwnd == o.hwnd && message == o.message && wParam == o.wParam && point.x == o.point.x &&
               point.y == o.point.y;
    }
};

void PrintTo(const Got& s, std::ostream* os)
{
    *os << "{" << s.hwnd << ", 0x" << std::hex << s.message << std::dec << ", " << s.wParam << ", (" << s.point.x
        << ", " << s.point.y << ")}";
}

class InputTest : public WindowTest {
protected:

    // Pumps and answers the mouse messages the windows got.
    std::vector<Got> Pump(const std::vector<UINT>& messages)
    {
        harness.Spy().Clear();
        EXPECT_TRUE(harness.PumpUntilIdle());
        std::vector<Got> seen;
        for (const auto& e : harness.Spy().Only(messages))
            seen.push_back({e.hwnd, e.message, e.wParam, {GET_X_LPARAM(e.lParam), GET_Y_LPARAM(e.lParam)}});
        return seen;
    }

    HWND CreateDblClk(DWORD style, HWND parent, RECT rect)
    {
        static bool registered = false;
        if (!registered) {
            WNDCLASSEXW windowClass = {};
            windowClass.cbSize = sizeof(windowClass);
            windowClass.style = CS_DBLCLKS;
            windowClass.lpfnWndProc = &ScriptedProcedure;
            windowClass.hInstance = harness.Instance();
            windowClass.lpszClassName = u"Test.DoubleClicks";
            registered = RegisterClassExW(&windowClass) != 0;
        }
        return CreateWindowExW(0, u"Test.DoubleClicks", u"", style, rect.left, rect.top, rect.right - rect.left,
                               rect.bottom - rect.top, parent, nullptr, harness.Instance(), nullptr);
    }
};


TEST_F(InputTest, ClicksGoToTheWindowUnderThePointer)
{
    // A popup frame has no insets, so client and screen points line up simply.
    HWND owner = Create(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 400, 300});
    HWND child = Create(WS_CHILD | WS_VISIBLE, owner, {10, 10, 110, 110});
    Create(WS_CHILD | WS_VISIBLE | WS_DISABLED, owner, {200, 10, 300, 110});
    HWND grandchild = Create(WS_CHILD | WS_VISIBLE, child, {0, 0, 20, 20});
    HWND owned = Create(WS_POPUP | WS_VISIBLE, owner, {350, 250, 450, 350});
    HWND blocked = Create(WS_POPUP | WS_VISIBLE | WS_DISABLED, nullptr, {600, 0, 700, 100});
    HWND negative = Create(WS_POPUP | WS_VISIBLE, nullptr, {-200, -100, -100, 0});
    // The owner activated again stays below the window it owns.
    SetActiveWindow(owner);

    struct Case {
        const char* name;
        POINT screen;
        HWND hwnd;
        POINT client;
    };
    std::vector<Case> cases = {
        {"the client area of the owner", {5, 5}, owner, {5, 5}},
        {"a child", {50, 50}, child, {40, 40}},
        {"a grandchild", {15, 15}, grandchild, {5, 5}},
        {"a disabled child passes to its parent", {250, 50}, owner, {250, 50}},
        {"an owned window above its owner", {360, 260}, owned, {10, 10}},
        {"a disabled top-level swallows", {650, 50}, nullptr, {}},
        {"negative points", {-150, -50}, negative, {50, 50}},
        {"nothing there", {1000, 900}, nullptr, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        harness.Press(c.screen);
        harness.Release(c.screen);
        auto seen = Pump({WM_LBUTTONDOWN, WM_LBUTTONUP});
        if (c.hwnd == nullptr) {
            EXPECT_TRUE(seen.empty());
            continue;
        }
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[0], (Got{c.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, c.client}));
        EXPECT_EQ(seen[1], (Got{c.hwnd, WM_LBUTTONUP, 0, c.client}));
    }
    (void)blocked;

    // Capture takes every click, wherever it lands, in the holder's client coordinates.
    SetCapture(grandchild);
    harness.Click(POINT{250, 50});
    auto seen = Pump({WM_LBUTTONDOWN});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], (Got{grandchild, WM_LBUTTONDOWN, MK_LBUTTON, {240, 40}}));
    ReleaseCapture();

    // A capture taken while the previous message is handled routes the next one, though both
    // were queued before.
    Scripts()[child] = [&](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_LBUTTONDOWN)
            SetCapture(owned);
        return std::nullopt;
    };
    harness.Press(POINT{50, 50});
    harness.Release(POINT{50, 50});
    seen = Pump({WM_LBUTTONDOWN, WM_LBUTTONUP});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].hwnd, child);
    EXPECT_EQ(seen[1], (Got{owned, WM_LBUTTONUP, 0, {-300, -200}}));
}

TEST_F(InputTest, DoubleClicksNeedTheClassStyleOneWindowAndTheLimits)
{
    HWND top = Create(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 400, 300});
    HWND plain = Create(WS_CHILD | WS_VISIBLE, top, {0, 0, 100, 100});
    HWND a = CreateDblClk(WS_CHILD | WS_VISIBLE, top, {100, 0, 200, 100});
    HWND b = CreateDblClk(WS_CHILD | WS_VISIBLE, top, {200, 0, 300, 100});
    const std::vector<UINT> downs = {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK};
    auto messages = [&]() {
        std::vector<UINT> result;
        for (const Got& s : Pump(downs))
            result.push_back(s.message);
        return result;
    };
    struct Case {
        const char* name;
        std::function<void()> act;
        std::vector<UINT> expected;
    };
    std::vector<Case> cases = {
        {"a class without CS_DBLCLKS", [&] { harness.DoubleClick(plain, {5, 5}); }, {WM_LBUTTONDOWN, WM_LBUTTONDOWN}},
        {"a double-click", [&] { harness.DoubleClick(a, {5, 5}); }, {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}},
        {"a third click starts again", [&] {
             harness.DoubleClick(a, {5, 5});
             harness.Click(a, {5, 5});
         },
         {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN}},
        {"too slow", [&] {
             harness.Click(a, {5, 5});
             harness.PumpUntilIdle();
             harness.Advance(501);
             harness.Click(a, {5, 5});
         },
         {WM_LBUTTONDOWN}},
        {"just in time", [&] {
             harness.Click(a, {5, 5});
             harness.PumpUntilIdle();
             harness.Advance(500);
             harness.Click(a, {7, 7});
         },
         {WM_LBUTTONDBLCLK}},
        {"too far", [&] {
             harness.Click(a, {5, 5});
             harness.Click(a, {8, 5});
         },
         {WM_LBUTTONDOWN, WM_LBUTTONDOWN}},
        {"another window in between", [&] {
             harness.Click(a, {5, 5});
             harness.Click(b, {5, 5});
             harness.Click(a, {5, 5});
         },
         {WM_LBUTTONDOWN, WM_LBUTTONDOWN, WM_LBUTTONDOWN}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        harness.Advance(1000); // forget earlier clicks
        c.act();
        std::vector<UINT> got = messages();
        // Cases that pump midway see only what came after.
        EXPECT_EQ(got, c.expected);
    }
}

TEST_F(InputTest, TheWheelGoesToTheCaptureElseTheDeepestEnabledWindowAndUp)
{
    HWND top = Create(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 400, 300});
    HWND panel = Create(WS_CHILD | WS_VISIBLE, top, {0, 0, 200, 200});
    HWND field = Create(WS_CHILD | WS_VISIBLE, panel, {10, 10, 60, 60});
    HWND off = Create(WS_CHILD | WS_VISIBLE | WS_DISABLED, panel, {100, 100, 150, 150});
    auto wheels = [&]() { return Pump({WM_MOUSEWHEEL, WM_MOUSEHWHEEL}); };

    harness.Wheel({20, 20}, -2);
    auto seen = wheels();
    // Nobody answers it: the field, then its parent and the top-level window, each at the same
    // screen point and delta.
    std::vector<Got> expected = {
        {field, WM_MOUSEWHEEL, MAKEWPARAM(0, -240), {20, 20}},
        {panel, WM_MOUSEWHEEL, MAKEWPARAM(0, -240), {20, 20}},
        {top, WM_MOUSEWHEEL, MAKEWPARAM(0, -240), {20, 20}},
    };
    EXPECT_EQ(seen, expected);

    // A disabled window passes it to its parent; a horizontal notch is the other message.
    harness.Wheel({120, 120}, 1, true);
    seen = wheels();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0], (Got{panel, WM_MOUSEHWHEEL, MAKEWPARAM(0, 120), {120, 120}}));
    (void)off;

    // The panel answers it itself: nothing goes up. Capture takes it from anywhere, half a notch
    // too.
    Scripts()[panel] = [](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_MOUSEWHEEL)
            return 0;
        return std::nullopt;
    };
    SetCapture(panel);
    harness.Wheel({390, 290}, 1);
    EXPECT_EQ(wheels(), (std::vector<Got>{{panel, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), {390, 290}}}));
    harness.WheelDelta({390, 290}, -60);
    EXPECT_EQ(wheels(), (std::vector<Got>{{panel, WM_MOUSEWHEEL, MAKEWPARAM(0, -60), {390, 290}}}));
}

TEST_F(InputTest, KeysGoToTheFocusAndKeyStateFollowsWhatWasTaken)
{
    HWND top = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {0, 0, 400, 300});
    HWND field = Create(WS_CHILD | WS_VISIBLE, top, {0, 0, 100, 30});
    const std::vector<UINT> keys = {WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP};
    auto got = [&]() { return Pump(keys); };

    // No focus inside: the active window gets the keys.
    SetFocus(nullptr);
    harness.KeyDown('A', u"a");
    harness.KeyUp('A');
    auto seen = got();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].hwnd, top);

    SetFocus(field);
    // Repeats are one key-down each, with the previous-state bit.
    harness.KeyDown('B', u"b");
    harness.KeyDown('B', u"b", true);
    harness.KeyDown('B', u"b", true);
    harness.KeyUp('B');
    harness.Spy().Clear();
    ASSERT_TRUE(harness.PumpUntilIdle());
    auto entries = harness.Spy().Only({WM_KEYDOWN, WM_KEYUP});
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].hwnd, field);
    EXPECT_EQ((entries[0].lParam >> 30) & 1, 0);
    EXPECT_EQ((entries[1].lParam >> 30) & 1, 1);
    EXPECT_EQ(entries[3].message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(harness.Spy().Only({WM_CHAR}).size(), 3u);

    // Alt makes system keys; key state follows the sides, the generic key follows either.
    harness.KeyDown(VK_RMENU);
    harness.KeyDown('F');
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_SYSKEYDOWN);
    EXPECT_EQ(msg.wParam, VK_MENU);
    EXPECT_LT(GetKeyState(VK_MENU), 0);
    EXPECT_LT(GetKeyState(VK_RMENU), 0);
    EXPECT_GE(GetKeyState(VK_LMENU), 0);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_SYSKEYDOWN);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('F'));
    harness.KeyUp('F');
    harness.KeyUp(VK_RMENU);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_GE(GetKeyState(VK_MENU), 0);

    // Shift held on either side gives MK_SHIFT with a click, and GetKeyState sees it only once
    // the key-down was taken.
    harness.KeyDown(VK_RSHIFT);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    harness.Click(field, {5, 5});
    seen = Pump({WM_LBUTTONDOWN});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].wParam, MK_LBUTTON | MK_SHIFT);
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    harness.KeyUp(VK_RSHIFT);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
}

TEST_F(InputTest, TrackedLeaveComesOnce)
{
    HWND top = Create(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 400, 300});
    HWND a = Create(WS_CHILD | WS_VISIBLE, top, {0, 0, 100, 100});
    harness.MoveTo(a, {5, 5});
    ASSERT_TRUE(harness.PumpUntilIdle());
    TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, a, 0};
    ASSERT_TRUE(TrackMouseEvent(&track));
    harness.Spy().Clear();
    harness.MoveTo(a, {6, 6});
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_TRUE(harness.Spy().Only({WM_MOUSELEAVE}).empty()) << "still inside";
    harness.MoveTo(POINT{200, 200});
    harness.MoveTo(POINT{5, 5});
    harness.MoveTo(POINT{250, 250});
    ASSERT_TRUE(harness.PumpUntilIdle());
    harness.MoveTo(POINT{5, 5});
    harness.MoveTo(POINT{250, 250});
    ASSERT_TRUE(harness.PumpUntilIdle());
    auto leaves = harness.Spy().Only({WM_MOUSELEAVE});
    ASSERT_EQ(leaves.size(), 1u);
    EXPECT_EQ(leaves[0].hwnd, a);

    // Leaving for a point no window holds: the leave comes within the same pump.
    harness.MoveTo(a, {5, 5});
    ASSERT_TRUE(harness.PumpUntilIdle());
    ASSERT_TRUE(TrackMouseEvent(&track));
    harness.Spy().Clear();
    harness.MoveTo(POINT{900, 900});
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(harness.Spy().Only({WM_MOUSELEAVE}).size(), 1u);
}

TEST_F(InputTest, TheCursorPositionFollowsInputAndSetCursorPosMovesItWithAMove)
{
    HWND top = Create(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 400, 300});
    HWND a = Create(WS_CHILD | WS_VISIBLE, top, {100, 100, 200, 200});
    harness.MoveTo(POINT{30, 40});
    ASSERT_TRUE(harness.PumpUntilIdle());
    POINT at = {};
    ASSERT_TRUE(GetCursorPos(&at));
    EXPECT_EQ(at, (POINT{30, 40}));
    EXPECT_FALSE(GetCursorPos(nullptr));

    // Put at once; the window under the new position hears of it when the queue is pumped.
    ASSERT_TRUE(SetCursorPos(150, 160));
    ASSERT_TRUE(GetCursorPos(&at));
    EXPECT_EQ(at, (POINT{150, 160}));
    EXPECT_EQ(Pump({WM_MOUSEMOVE}), (std::vector<Got>{{a, WM_MOUSEMOVE, 0, {50, 60}}}));

    // The display count starts at 0 and counts both ways.
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_TRUE(ClipCursor(nullptr));
}

} // namespace

