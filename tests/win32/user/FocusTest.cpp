#include "win32/WindowTesting.h"

#include "win32/user/Queue.h"

using namespace win32test;

namespace {

using Trace = std::vector<std::pair<HWND, UINT>>;

const std::vector<UINT> kFocusMessages = {WM_ACTIVATE, WM_NCACTIVATE, WM_KILLFOCUS, WM_SETFOCUS};

class FocusTest : public WindowTest {
protected:
    Trace Run(const std::function<void()>& act)
    {
        harness.Spy().Clear();
        act();
        return Seen(kFocusMessages);
    }
};

TEST_F(FocusTest, FocusAndActivationSendTheirMessagesInOrder)
{
    HWND a = Create(WS_OVERLAPPEDWINDOW);
    HWND a1 = Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP, a);
    HWND a2 = Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP, a);
    HWND b = Create(WS_OVERLAPPEDWINDOW);

    // Showing activates: the top-level takes the focus when nothing inside has it.
    EXPECT_EQ(Run([&] { ShowWindow(a, SW_SHOW); }),
              (Trace{{a, WM_NCACTIVATE}, {a, WM_ACTIVATE}, {a, WM_SETFOCUS}}));
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(GetForegroundWindow(), a);
    EXPECT_EQ(GetFocus(), a);

    // SetFocus: kill, then set, each carrying the other window.
    harness.Spy().Clear();
    EXPECT_EQ(SetFocus(a1), a);
    auto entries = harness.Spy().Only({WM_KILLFOCUS, WM_SETFOCUS});
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].hwnd, a);
    EXPECT_EQ(reinterpret_cast<HWND>(entries[0].wParam), a1);
    EXPECT_EQ(entries[1].hwnd, a1);
    EXPECT_EQ(reinterpret_cast<HWND>(entries[1].wParam), a);
    EXPECT_EQ(Run([&] { SetFocus(a1); }), Trace{}) << "the focus again sends nothing";

    // Another top-level shown: old deactivated first, then the new one; the focus follows.
    EXPECT_EQ(Run([&] { ShowWindow(b, SW_SHOW); }),
              (Trace{{a, WM_NCACTIVATE}, {a, WM_ACTIVATE}, {b, WM_NCACTIVATE}, {b, WM_ACTIVATE},
                     {a1, WM_KILLFOCUS}, {b, WM_SETFOCUS}}));

    // Reactivation gives the last focus back.
    EXPECT_EQ(Run([&] { SetActiveWindow(a); }),
              (Trace{{b, WM_NCACTIVATE}, {b, WM_ACTIVATE}, {a, WM_NCACTIVATE}, {a, WM_ACTIVATE},
                     {b, WM_KILLFOCUS}, {a1, WM_SETFOCUS}}));

    // Focus into an inactive top-level activates it first.
    EXPECT_EQ(Run([&] { SetFocus(b); }),
              (Trace{{a, WM_NCACTIVATE}, {a, WM_ACTIVATE}, {b, WM_NCACTIVATE}, {b, WM_ACTIVATE},
                     {a1, WM_KILLFOCUS}, {b, WM_SETFOCUS}}));

    // Hiding the active window activates the next visible one, which regains its focus.
    EXPECT_EQ(Run([&] { ShowWindow(b, SW_HIDE); }),
              (Trace{{b, WM_NCACTIVATE}, {b, WM_ACTIVATE}, {a, WM_NCACTIVATE}, {a, WM_ACTIVATE},
                     {b, WM_KILLFOCUS}, {a1, WM_SETFOCUS}}));

    // Hidden and disabled targets are refused.
    ShowWindow(a2, SW_HIDE);
    EXPECT_EQ(SetFocus(a2), nullptr);
    ShowWindow(a2, SW_SHOW);
    EnableWindow(a2, FALSE);
    EXPECT_EQ(SetFocus(a2), nullptr);
    EXPECT_EQ(GetFocus(), a1);
}

TEST_F(FocusTest, ALeavingFocusWindowPassesTheFocusToItsTopLevel)
{
    struct Case {
        const char* name;
        std::function<void(HWND)> leave;
    };
    std::vector<Case> cases = {
        {"destroyed", [](HWND w) { DestroyWindow(w); }},
        {"hidden", [](HWND w) { ShowWindow(w, SW_HIDE); }},
        {"hidden by SetWindowPos",
         [](HWND w) { SetWindowPos(w, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER); }},
        {"disabled", [](HWND w) { EnableWindow(w, FALSE); }},
        {"its parent hidden", [](HWND w) { ShowWindow(GetParent(w), SW_HIDE); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND top = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        HWND page = Create(WS_CHILD | WS_VISIBLE, top);
        HWND field = Create(WS_CHILD | WS_VISIBLE, page);
        SetFocus(field);
        EXPECT_EQ(Run([&] { c.leave(field); }).back(), (std::pair<HWND, UINT>{top, WM_SETFOCUS}));
        EXPECT_EQ(GetFocus(), top);
        // Keys now reach the top-level window (Tab, Enter and shortcuts keep working).
        harness.KeyDown(VK_TAB);
        harness.Spy().Clear();
        harness.PumpUntilIdle();
        auto keys = harness.Spy().Only({WM_KEYDOWN});
        ASSERT_EQ(keys.size(), 1u);
        EXPECT_EQ(keys[0].hwnd, top);
        harness.KeyUp(VK_TAB);
        harness.PumpUntilIdle();
        DestroyWindow(top);
    }
}

// Moving a window under a hidden (parking) or disabled window takes it out of use as hiding or
// disabling does: a focus or capture it or a descendant holds leaves, the focus to the top-level
// window it left. Moving it under a window in use changes nothing.
TEST_F(FocusTest, AWindowReparentedOutOfUseGivesUpFocusAndCapture)
{
    enum class Into { Hidden, Disabled, Shown };
    enum class Holder { Window, Descendant };
    struct Case {
        const char* name;
        Into into;
        Holder holder;
        bool leaves;
    };
    const Case cases[] = {
        {"under a hidden window", Into::Hidden, Holder::Window, true},
        {"a descendant, under a hidden window", Into::Hidden, Holder::Descendant, true},
        {"under a disabled window", Into::Disabled, Holder::Window, true},
        {"a descendant, under a disabled window", Into::Disabled, Holder::Descendant, true},
        {"under a shown window", Into::Shown, Holder::Window, false},
        {"a descendant, under a shown window", Into::Shown, Holder::Descendant, false},
    };
    for (const Case& c : cases) {
        for (bool capture : {false, true}) {
            SCOPED_TRACE(::testing::Message() << c.name << (capture ? ", capture" : ", focus"));
            HWND parking = Create(WS_POPUP, nullptr, {500, 0, 600, 100});
            HWND top = Create(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 200, 200});
            HWND page = Create(WS_CHILD | WS_VISIBLE, top, {0, 0, 200, 200});
            HWND control = Create(WS_CHILD | WS_VISIBLE, page, {10, 10, 60, 40});
            HWND inner = Create(WS_CHILD | WS_VISIBLE, control, {0, 0, 20, 20});
            HWND otherPage = Create(WS_CHILD | WS_VISIBLE | (c.into == Into::Disabled ? WS_DISABLED : 0), top,
                                    {0, 0, 200, 200});
            HWND target = c.into == Into::Hidden ? parking : otherPage;
            HWND holder = c.holder == Holder::Window ? control : inner;
            if (capture)
                SetCapture(holder);
            else
                SetFocus(holder);
            EXPECT_EQ(capture ? GetCapture() : GetFocus(), holder);
            harness.Spy().Clear();

            EXPECT_EQ(SetParent(control, target), page);
            EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
            EXPECT_EQ(IsWindowVisible(control), c.into != Into::Hidden);
            if (capture) {
                auto changed = harness.Spy().Only({WM_CAPTURECHANGED});
                EXPECT_EQ(changed.size(), c.leaves ? 1u : 0u);
                if (c.leaves && changed.size() == 1) {
                    EXPECT_EQ(changed[0].hwnd, holder);
                    EXPECT_EQ(changed[0].lParam, 0);
                }
                EXPECT_EQ(GetCapture(), c.leaves ? nullptr : holder);
            } else {
                HWND expected = c.leaves ? top : holder;
                EXPECT_EQ(GetFocus(), expected);
                if (c.leaves) {
                    EXPECT_EQ(Seen(kFocusMessages), (Trace{{holder, WM_KILLFOCUS}, {top, WM_SETFOCUS}}));
                }
                // A key typed now reaches the window that holds the focus.
                harness.KeyDown('K');
                harness.Spy().Clear();
                harness.PumpUntilIdle();
                auto keys = harness.Spy().Only({WM_KEYDOWN});
                EXPECT_EQ(keys.size(), 1u);
                EXPECT_TRUE(!keys.empty() && keys[0].hwnd == expected);
                harness.KeyUp('K');
                harness.PumpUntilIdle();
            }
            ReleaseCapture();
            DestroyWindow(top);
            DestroyWindow(parking);
        }
    }
}

// A top-level window parked under a hidden window stops being active, as when it is hidden.
TEST_F(FocusTest, AnActiveTopLevelReparentedUnderAHiddenWindowPassesActivationOn)
{
    HWND parking = Create(WS_POPUP, nullptr, {500, 0, 600, 100});
    HWND first = Create(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 100, 100});
    HWND field = Create(WS_CHILD | WS_VISIBLE, first, {0, 0, 50, 50});
    SetFocus(field);
    HWND moved = Create(WS_POPUP | WS_VISIBLE, nullptr, {200, 0, 300, 100});
    ASSERT_EQ(GetActiveWindow(), moved);
    ASSERT_EQ(GetFocus(), moved);
    EXPECT_EQ(SetParent(moved, parking), nullptr);
    EXPECT_EQ(GetActiveWindow(), first);
    EXPECT_EQ(GetFocus(), field);
    DestroyWindow(first);
    DestroyWindow(parking);
}

TEST_F(FocusTest, SetWindowPosShowsAndActivatesLikeShowWindow)
{
    HWND first = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND quiet = Create(WS_OVERLAPPEDWINDOW);
    HWND loud = Create(WS_OVERLAPPEDWINDOW);
    const UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER;
    ASSERT_TRUE(SetWindowPos(quiet, nullptr, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOACTIVATE | keep));
    EXPECT_TRUE(IsWindowVisible(quiet));
    EXPECT_EQ(GetActiveWindow(), first);
    ASSERT_TRUE(SetWindowPos(loud, nullptr, 0, 0, 0, 0, SWP_SHOWWINDOW | keep));
    EXPECT_EQ(GetActiveWindow(), loud);
    EXPECT_EQ(GetFocus(), loud);
    ASSERT_TRUE(SetWindowPos(loud, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | keep));
    EXPECT_NE(GetActiveWindow(), loud);
}

TEST_F(FocusTest, TheLayerGivesFocusWhateverTheProcedureDoesWithActivate)
{
    Script swallow = [](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_ACTIVATE)
            return 0;
        return std::nullopt;
    };
    HWND a = Create(WS_OVERLAPPEDWINDOW, nullptr, {0, 0, 100, 100}, swallow);
    HWND field = Create(WS_CHILD | WS_VISIBLE, a);
    HWND b = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ShowWindow(a, SW_SHOW);
    EXPECT_EQ(GetFocus(), a);
    SetFocus(field);
    SetActiveWindow(b);
    SetActiveWindow(a);
    EXPECT_EQ(GetFocus(), field);

    // A dying active window is deactivated before WM_DESTROY, and its owner takes over.
    HWND dialog = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, a);
    EXPECT_EQ(GetActiveWindow(), dialog);
    harness.Spy().Clear();
    DestroyWindow(dialog);
    auto trace = Seen({WM_ACTIVATE, WM_DESTROY});
    ASSERT_GE(trace.size(), 3u);
    EXPECT_EQ(trace[0], (std::pair<HWND, UINT>{dialog, WM_ACTIVATE}));
    EXPECT_EQ(trace[1], (std::pair<HWND, UINT>{a, WM_ACTIVATE}));
    EXPECT_EQ(trace.back(), (std::pair<HWND, UINT>{dialog, WM_DESTROY}));
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(GetFocus(), field);
}

TEST_F(FocusTest, CaptureChangesAreReportedToTheOldHolder)
{
    struct Case {
        const char* name;
        std::function<void(HWND holder, HWND other)> act;
        // The lParam of WM_CAPTURECHANGED: the new holder ("other") or NULL.
        bool toOther;
    };
    std::vector<Case> cases = {
        {"release", [](HWND, HWND) { ReleaseCapture(); }, false},
        {"takeover", [](HWND, HWND other) { SetCapture(other); }, true},
        {"hide", [](HWND holder, HWND) { ShowWindow(holder, SW_HIDE); }, false},
        {"hide by SetWindowPos",
         [](HWND holder, HWND) {
             SetWindowPos(holder, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
         },
         false},
        {"disable", [](HWND holder, HWND) { EnableWindow(holder, FALSE); }, false},
        {"destroy", [](HWND holder, HWND) { DestroyWindow(holder); }, false},
        {"deactivation", [](HWND, HWND other) { SetActiveWindow(GetParent(other) ? GetParent(other) : other); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND top = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        HWND holder = Create(WS_CHILD | WS_VISIBLE, top);
        HWND other = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        SetActiveWindow(top);
        SetCapture(holder);
        harness.Spy().Clear();
        c.act(holder, other);
        auto changed = harness.Spy().Only({WM_CAPTURECHANGED});
        ASSERT_EQ(changed.size(), 1u);
        EXPECT_EQ(changed[0].hwnd, holder);
        EXPECT_EQ(reinterpret_cast<HWND>(changed[0].lParam), c.toOther ? other : nullptr);
        EXPECT_EQ(GetCapture(), c.toOther ? other : nullptr);
        ReleaseCapture();
        DestroyWindow(other);
        DestroyWindow(top);
    }

    // The two silent calls.
    HWND w = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    harness.Spy().Clear();
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(SetCapture(w), nullptr);
    harness.Spy().Clear();
    EXPECT_EQ(SetCapture(w), w);
    EXPECT_TRUE(harness.Spy().Only({WM_CAPTURECHANGED}).empty());
}

TEST_F(FocusTest, AClickActivatesThroughMouseActivate)
{
    HWND a = Create(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 100, 100});
    HWND child = Create(WS_CHILD | WS_VISIBLE, a, {0, 0, 50, 50});
    HWND b = Create(WS_POPUP | WS_VISIBLE, nullptr, {200, 0, 300, 100});
    ASSERT_EQ(GetActiveWindow(), b);
    harness.Spy().Clear();
    harness.Click(child, {5, 5});
    ASSERT_TRUE(harness.PumpUntilIdle());
    auto trace = Seen({WM_MOUSEACTIVATE, WM_ACTIVATE, WM_LBUTTONDOWN});
    ASSERT_GE(trace.size(), 5u);
    EXPECT_EQ(trace[0], (std::pair<HWND, UINT>{child, WM_MOUSEACTIVATE}));
    EXPECT_EQ(trace[1], (std::pair<HWND, UINT>{a, WM_MOUSEACTIVATE})) << "a child passes it up";
    EXPECT_EQ(trace[2], (std::pair<HWND, UINT>{b, WM_ACTIVATE}));
    EXPECT_EQ(trace[3], (std::pair<HWND, UINT>{a, WM_ACTIVATE}));
    EXPECT_EQ(trace[4], (std::pair<HWND, UINT>{child, WM_LBUTTONDOWN}));
    auto activate = harness.Spy().Only({WM_ACTIVATE});
    EXPECT_EQ(LOWORD(activate.back().wParam), WA_CLICKACTIVE);

    // An answer that eats the click activates without the click.
    Scripts()[b] = [](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_MOUSEACTIVATE)
            return MA_ACTIVATEANDEAT;
        return std::nullopt;
    };
    harness.Spy().Clear();
    harness.Click(b, {5, 5});
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(GetActiveWindow(), b);
    EXPECT_TRUE(harness.Spy().Only({WM_LBUTTONDOWN}).empty());
    EXPECT_EQ(harness.Spy().Only({WM_LBUTTONUP}).size(), 1u);
}

} // namespace
