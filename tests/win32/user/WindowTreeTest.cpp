#include "win32/WindowTesting.h"

using namespace win32test;

namespace {

using Handles = std::vector<HWND>;

constexpr UINT kAttach = 0x313; // the toolkit's restack: no size, move, activation, copy, owner order
constexpr UINT kFrame = 0x31C;  // the toolkit's move: no z-order, redraw, activation, copy, owner order

TEST_F(WindowTest, ZOrderFollowsAppendsTopBottomAndInsertAfter)
{
    HWND parent = Create(WS_OVERLAPPEDWINDOW);
    HWND a = Create(WS_CHILD, parent);
    HWND b = Create(WS_CHILD, parent);
    HWND c = Create(WS_CHILD, parent);
    // A new child goes to the bottom, so children stack in creation order.
    EXPECT_EQ(Children(parent), (Handles{a, b, c}));
    EXPECT_EQ(GetWindow(c, GW_HWNDPREV), b);
    EXPECT_EQ(GetWindow(a, GW_HWNDPREV), nullptr);
    EXPECT_EQ(GetWindow(b, GW_HWNDFIRST), a);
    EXPECT_EQ(GetWindow(b, GW_HWNDLAST), c);

    struct Step {
        const char* name;
        HWND window;
        HWND insertAfter;
        UINT flags;
        Handles expected;
    };
    std::vector<Step> steps = {
        {"c to the top", c, HWND_TOP, kAttach, {c, a, b}},
        {"c to the bottom", c, HWND_BOTTOM, kAttach, {a, b, c}},
        {"a below b", a, b, kAttach, {b, a, c}},
        {"c below b", c, b, kAttach, {b, c, a}},
        {"a below itself", a, a, kAttach, {b, c, a}},
        {"no z-order flag", c, HWND_BOTTOM, kFrame, {b, c, a}},
        {"b below the bottom one", b, a, SWP_NOSIZE | SWP_NOMOVE, {c, a, b}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        EXPECT_TRUE(SetWindowPos(step.window, step.insertAfter, 0, 0, 0, 0, step.flags | SWP_NOSIZE | SWP_NOMOVE));
        EXPECT_EQ(Children(parent), step.expected);
    }

    // A window of another parent gives no place: the order stays.
    HWND stranger = Create(WS_OVERLAPPEDWINDOW);
    EXPECT_TRUE(SetWindowPos(a, stranger, 0, 0, 0, 0, kAttach));
    EXPECT_EQ(Children(parent), (Handles{c, a, b}));

    // Top-level windows: a new one goes on top; raising an owner brings its owned windows along.
    HWND owner = Create(WS_OVERLAPPEDWINDOW);
    HWND owned = Create(WS_POPUP, owner);
    HWND later = Create(WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(Stack(GetWindow(later, GW_HWNDFIRST)), (Handles{later, owned, owner, stranger, parent}));
    EXPECT_TRUE(BringWindowToTop(owner));
    EXPECT_EQ(Stack(GetWindow(later, GW_HWNDFIRST)), (Handles{owned, owner, later, stranger, parent}));
    EXPECT_TRUE(SetWindowPos(parent, HWND_TOP, 0, 0, 0, 0, kAttach));
    EXPECT_TRUE(SetWindowPos(owner, HWND_TOP, 0, 0, 0, 0, kAttach)); // owned windows stay put
    EXPECT_EQ(Stack(GetWindow(later, GW_HWNDFIRST)), (Handles{owner, parent, owned, later, stranger}));
}

TEST_F(WindowTest, SetParentMovesBetweenAParkingWindowAndTopLevelsKeepingThePosition)
{
    HWND parking = Create(WS_OVERLAPPEDWINDOW);
    HWND first = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {100, 100, 500, 400});
    HWND second = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {600, 100, 900, 400});
    HWND resident = Create(WS_CHILD | WS_VISIBLE, first);
    HWND control = Create(WS_CHILD | WS_VISIBLE, parking, {7, 9, 57, 29});
    EXPECT_FALSE(IsWindowVisible(control));

    harness.Spy().Clear();
    EXPECT_EQ(SetParent(control, first), parking);
    // On top of its new siblings, same place in the new client area, visible with its parent.
    EXPECT_EQ(Children(first), (Handles{control, resident}));
    EXPECT_TRUE(Children(parking).empty());
    EXPECT_EQ(GetParent(control), first);
    EXPECT_TRUE(IsWindowVisible(control));
    POINT origin = {0, 0};
    ClientToScreen(control, &origin);
    EXPECT_EQ(origin, (POINT{100 + 8 + 7, 100 + 31 + 9}));
    EXPECT_TRUE(harness.Spy().Only({WM_MOVE, WM_SIZE}).empty());

    // The toolkit's attach: re-parent, then to the bottom.
    EXPECT_EQ(SetParent(control, second), first);
    EXPECT_TRUE(SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, kAttach));
    EXPECT_EQ(Children(second), (Handles{control}));
    EXPECT_EQ(Children(first), (Handles{resident}));

    // Back into the parking window, then out to the desktop and in again.
    EXPECT_EQ(SetParent(control, parking), second);
    EXPECT_EQ(Children(parking), (Handles{control}));
    EXPECT_EQ(SetParent(control, nullptr), parking);
    EXPECT_EQ(GetWindowLongW(control, GWL_STYLE) & WS_CHILD, 0);
    EXPECT_EQ(GetParent(control), nullptr);
    EXPECT_EQ(GetWindow(parking, GW_HWNDFIRST), control);
    EXPECT_EQ(harness.Backend().TopLevels().back(), control);
    SetLastError(5);
    EXPECT_EQ(SetParent(control, first), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS); // NULL here means "was on the desktop"
    EXPECT_NE(GetWindowLongW(control, GWL_STYLE) & WS_CHILD, 0);
    EXPECT_EQ(harness.Backend().TopLevels().back(), second);

    // A window cannot go under itself or its own descendant.
    HWND grandchild = Create(WS_CHILD, control);
    for (HWND target : {control, grandchild}) {
        SetLastError(0);
        EXPECT_EQ(SetParent(control, target), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(GetParent(control), first);
}

TEST_F(WindowTest, GetParentGivesAChildsParentAPopupsOwnerElseNothing)
{
    HWND top = Create(WS_OVERLAPPEDWINDOW);
    HWND child = Create(WS_CHILD, top);
    HWND popup = Create(WS_POPUP, top);
    HWND overlapped = Create(WS_OVERLAPPEDWINDOW, top);
    // An owner named through a child is the child's top-level window.
    HWND popupOfChild = Create(WS_POPUP, child);
    struct Case {
        const char* name;
        HWND window;
        HWND parent;
        HWND owner;
    };
    for (const Case& c : std::vector<Case>{{"top-level", top, nullptr, nullptr},
                                           {"child", child, top, nullptr},
                                           {"owned popup", popup, top, top},
                                           {"owned overlapped", overlapped, nullptr, top},
                                           {"popup owned through a child", popupOfChild, top, top}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GetParent(c.window), c.parent);
        EXPECT_EQ(GetWindow(c.window, GW_OWNER), c.owner);
    }
    EXPECT_EQ(GetWindowLongPtrW(child, GWLP_HWNDPARENT), reinterpret_cast<LONG_PTR>(top));
}

} // namespace
