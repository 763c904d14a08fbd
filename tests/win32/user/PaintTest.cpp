#include "win32/user/Paint.h"

#include "foundation/CXDebug.h"
#include "win32/WindowTesting.h"
#include "win32/gdi/Text.h"
#include "win32/testing/Pixels.h"

using namespace win32test;
using win32::testing::OpaquePixel;

namespace {

constexpr COLORREF kRed = RGB(200, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 200);
constexpr COLORREF kGreen = RGB(0, 160, 0);

// Windows that paint through BeginPaint: each fills its client area with its colour (none: paints
// nothing, a transparent window) and the fixture notes who painted what, in order.
class PaintTest : public WindowTest {
protected:
    struct Painted {
        HWND hwnd;
        RECT rcPaint;
    };

    Script Painter(std::optional<COLORREF> color, std::function<void(HWND)> extra = {})
    {
        return [this, color, extra](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (message != WM_PAINT)
                return std::nullopt;
            PAINTSTRUCT ps;
            HDC hdc = BeginPaint(hwnd, &ps);
            EXPECT_NE(hdc, nullptr);
            painted.push_back({hwnd, ps.rcPaint});
            if (color) {
                RECT client;
                GetClientRect(hwnd, &client);
                HBRUSH brush = CreateSolidBrush(*color);
                FillRect(hdc, &client, brush);
                DeleteObject(brush);
            }
            if (extra)
                extra(hwnd);
            EndPaint(hwnd, &ps);
            return 0;
        };
    }

    std::vector<HWND> PaintOrder() const
    {
        std::vector<HWND> order;
        for (const Painted& p : painted)
            order.push_back(p.hwnd);
        return order;
    }

    RECT PaintedRect(HWND hwnd) const
    {
        for (const Painted& p : painted) {
            if (p.hwnd == hwnd)
                return p.rcPaint;
        }
        return {-1, -1, -1, -1};
    }

    uint64_t Pixel(int x, int y) const { return harness.Pixel({x, y}); }

    static void Fill(HWND hwnd, RECT rect, COLORREF color)
    {
        HDC hdc = GetDC(hwnd);
        HBRUSH brush = CreateSolidBrush(color);
        FillRect(hdc, &rect, brush);
        DeleteObject(brush);
        ReleaseDC(hwnd, hdc);
    }

    std::vector<Painted> painted;
};

TEST_F(PaintTest, APassPaintsParentsFirstChildrenBottomUpAndATransparentChildShowsWhatLiesBeneath)
{
    // A frameless top-level window at (100, 100), 200 x 150; child A (blue) below child B
    // (transparent), overlapping at (40, 40)-(60, 60) of the parent's client area.
    HWND top = Create(WS_POPUP | WS_VISIBLE, nullptr, {100, 100, 300, 250}, Painter(kRed));
    HWND b = Create(WS_CHILD | WS_VISIBLE, top, {40, 40, 100, 100}, Painter(std::nullopt));
    HWND a = Create(WS_CHILD | WS_VISIBLE, top, {10, 10, 60, 60}, Painter(kBlue));
    ASSERT_EQ(Children(top), (std::vector<HWND>{b, a}));
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(PaintOrder(), (std::vector<HWND>{top, a, b}));
    EXPECT_EQ(Pixel(100 + 5, 100 + 5), OpaquePixel(kRed));
    EXPECT_EQ(Pixel(100 + 50, 100 + 50), OpaquePixel(kBlue));
    EXPECT_EQ(Pixel(100 + 80, 100 + 80), OpaquePixel(kRed));

    // Stale pixels drawn over B through its window DC reach the screen at once...
    Fill(b, {0, 0, 60, 60}, kGreen);
    EXPECT_EQ(Pixel(100 + 80, 100 + 80), OpaquePixel(kGreen));
    EXPECT_EQ(Pixel(100 + 50, 100 + 50), OpaquePixel(kGreen));
    // ...and invalidating B alone repaints what lies beneath it, within B's area only.
    painted.clear();
    ASSERT_TRUE(InvalidateRect(b, nullptr, TRUE));
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(PaintOrder(), (std::vector<HWND>{top, a, b}));
    EXPECT_EQ(PaintedRect(top), (RECT{40, 40, 100, 100}));
    EXPECT_EQ(PaintedRect(a), (RECT{30, 30, 50, 50}));
    EXPECT_EQ(PaintedRect(b), (RECT{0, 0, 60, 60}));
    EXPECT_EQ(Pixel(100 + 80, 100 + 80), OpaquePixel(kRed));
    EXPECT_EQ(Pixel(100 + 50, 100 + 50), OpaquePixel(kBlue));

    // Raising A invalidates its area, and the pass sees the new order.
    painted.clear();
    ASSERT_TRUE(SetWindowPos(a, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(PaintOrder(), (std::vector<HWND>{top, b, a}));
}

TEST_F(PaintTest, ChangesInvalidateWhatTheyCoverOrUncoverUnlessToldNotTo)
{
    HWND top = Create(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 200, 150}, Painter(kRed));
    HWND child = Create(WS_CHILD | WS_VISIBLE, top, {10, 10, 50, 50}, Painter(kBlue));
    HWND hidden = Create(WS_CHILD, top, {100, 10, 120, 30});
    const RECT outside = {300, 0, 400, 10};
    struct Case {
        const char* name;
        std::function<void()> change;
        RECT dirty; // the parent's update rectangle afterwards
    };
    const Case cases[] = {
        {"hide", [&] { ShowWindow(child, SW_HIDE); }, {10, 10, 50, 50}},
        {"show", [&] { ShowWindow(child, SW_SHOWNA); }, {10, 10, 50, 50}},
        {"move", [&] { MoveWindow(child, 20, 10, 40, 40, TRUE); }, {10, 10, 60, 50}},
        {"move without redrawing", [&] { MoveWindow(child, 10, 10, 40, 40, FALSE); }, {0, 0, 0, 0}},
        {"z-order", [&] { SetWindowPos(child, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }, {10, 10, 50, 50}},
        {"z-order without redrawing",
         [&] { SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOREDRAW); }, {0, 0, 0, 0}},
        {"re-parent away", [&] { SetParent(child, nullptr); }, {10, 10, 50, 50}},
        {"invalidating a hidden child", [&] { InvalidateRect(hidden, nullptr, TRUE); }, {0, 0, 0, 0}},
        {"invalidating outside the client area", [&] { InvalidateRect(top, &outside, TRUE); }, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(harness.PumpUntilIdle());
        c.change();
        RECT dirty = {-1, -1, -1, -1};
        EXPECT_EQ(GetUpdateRect(top, &dirty, FALSE), c.dirty.right > 0 ? TRUE : FALSE);
        EXPECT_EQ(dirty, c.dirty);
    }
    // A hidden top-level window has nothing to paint; shown again it is painted whole.
    ASSERT_TRUE(harness.PumpUntilIdle());
    ShowWindow(top, SW_HIDE);
    InvalidateRect(top, nullptr, TRUE);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    ShowWindow(top, SW_SHOWNA);
    RECT dirty;
    EXPECT_TRUE(GetUpdateRect(top, &dirty, FALSE));
    EXPECT_EQ(dirty, (RECT{0, 0, 200, 150}));
    // Nothing is painted while minimised; restored, the window is painted whole.
    ASSERT_TRUE(harness.PumpUntilIdle());
    ShowWindow(top, SW_MINIMIZE);
    InvalidateRect(top, nullptr, TRUE);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    ShowWindow(top, SW_RESTORE);
    EXPECT_TRUE(GetUpdateRect(top, &dirty, FALSE));
    EXPECT_EQ(dirty, (RECT{0, 0, 200, 150}));
    EXPECT_FALSE(InvalidateRect(nullptr, nullptr, TRUE));
}

TEST_F(PaintTest, BeginPaintOutsideAPassTakesTheWindowsPartAndAPassValidatesWithoutIt)
{
    int paints = 0;
    int erases = 0;
    Script ignoring = [&](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_PAINT) {
            ++paints;
            return 0; // never calls BeginPaint
        }
        if (message == WM_ERASEBKGND)
            ++erases;
        return std::nullopt;
    };
    HWND top = Create(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 200, 150}, ignoring);
    HWND child = Create(WS_CHILD | WS_VISIBLE, top, {50, 50, 150, 100});
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(paints, 1);
    EXPECT_EQ(erases, 0);
    RECT dirty;
    EXPECT_FALSE(GetUpdateRect(top, &dirty, FALSE));

    // Nothing dirty: an empty rcPaint, a DC that draws nowhere, no erasing.
    PAINTSTRUCT ps;
    ps.rcPaint = {1, 2, 3, 4};
    HDC hdc = BeginPaint(child, &ps);
    ASSERT_NE(hdc, nullptr);
    EXPECT_EQ(ps.rcPaint, (RECT{0, 0, 0, 0}));
    RECT box;
    EXPECT_EQ(GetClipBox(hdc, &box), NULLREGION);
    EXPECT_TRUE(EndPaint(child, &ps));
    EXPECT_FALSE(EndPaint(child, &ps)) << "a paint DC is given back once";

    // The child's part of the dirty region is taken and validated; the parent keeps the rest.
    InvalidateRect(top, nullptr, FALSE);
    hdc = BeginPaint(child, &ps);
    EXPECT_EQ(ps.rcPaint, (RECT{0, 0, 100, 50}));
    EXPECT_FALSE(ps.fErase);
    EXPECT_EQ(WindowFromDC(hdc), child);
    EndPaint(child, &ps);
    HRGN rest = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetUpdateRgn(top, rest, FALSE), COMPLEXREGION);
    EXPECT_FALSE(PtInRegion(rest, 60, 60));
    EXPECT_TRUE(PtInRegion(rest, 10, 10));
    EXPECT_FALSE(GetUpdateRect(child, nullptr, FALSE));
    DeleteObject(rest);
    EXPECT_EQ(erases, 0) << "invalidated without erasing";
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(paints, 2);
    EXPECT_EQ(BeginPaint(child, nullptr), nullptr);
}

TEST_F(PaintTest, EraseUsesTheClassBrush)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &DefWindowProcW;
    windowClass.hInstance = harness.Instance();
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_HIGHLIGHT + 1));
    windowClass.lpszClassName = u"Test.Brushed";
    ASSERT_NE(RegisterClassExW(&windowClass), 0);
    HWND top = CreateWindowExW(0, u"Test.Brushed", u"", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50, nullptr, nullptr,
                               harness.Instance(), nullptr);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(Pixel(30, 30), OpaquePixel(GetSysColor(COLOR_HIGHLIGHT)));
    EXPECT_EQ(Seen({WM_ERASEBKGND}).size(), 1u);
    // Without erasing the background stays as it is.
    Fill(top, {0, 0, 50, 50}, kGreen);
    InvalidateRect(top, nullptr, FALSE);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(Pixel(30, 30), OpaquePixel(kGreen));
    EXPECT_EQ(Seen({WM_ERASEBKGND}).size(), 1u);
    DestroyWindow(top);
}

TEST_F(PaintTest, PaintAndWindowDCsKnowTheirAreaOnTheScreen)
{
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    RECT system = {};
    RECT clipBox = {};
    // The area of the paint DC is read in the procedure, where it is live.
    Script probe = [&](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message != WM_PAINT)
            return std::nullopt;
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        EXPECT_EQ(GetRandomRgn(hdc, region, SYSRGN), 1);
        GetRgnBox(region, &system);
        GetClipBox(hdc, &clipBox);
        EndPaint(hwnd, &ps);
        return 0;
    };
    HWND top = Create(WS_POPUP | WS_VISIBLE, nullptr, {100, 100, 300, 250});
    HWND inner = Create(WS_CHILD | WS_VISIBLE, top, {20, 30, 70, 70}, probe);
    ASSERT_TRUE(harness.PumpUntilIdle());
    const RECT part = {5, 5, 15, 12};
    InvalidateRect(inner, &part, TRUE);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(system, (RECT{125, 135, 135, 142}));
    EXPECT_EQ(clipBox, (RECT{5, 5, 15, 12}));

    // A window DC: the visible client area, the part outside the parent cut off.
    HWND overhanging = Create(WS_CHILD | WS_VISIBLE, top, {180, 140, 240, 190});
    HDC hdc = GetDC(overhanging);
    EXPECT_EQ(GetRandomRgn(hdc, region, SYSRGN), 1);
    GetRgnBox(region, &system);
    EXPECT_EQ(system, (RECT{280, 240, 300, 250}));
    EXPECT_EQ(WindowFromDC(hdc), overhanging);
    ReleaseDC(overhanging, hdc);
    EXPECT_EQ(WindowFromDC(hdc), nullptr);

    // A memory DC has no system region; a bad DC, region or kind is an error.
    HDC memory = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetRandomRgn(memory, region, SYSRGN), 0);
    EXPECT_EQ(GetRandomRgn(memory, region, 1), -1);
    DeleteDC(memory);
    EXPECT_EQ(GetRandomRgn(memory, region, SYSRGN), -1);
    DeleteObject(region);
}

TEST_F(PaintTest, AnInvalidationDuringAPassWaitsForTheNextPass)
{
    bool invalidated = false;
    const RECT later = {100, 100, 120, 120};
    HWND top = Create(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 200, 150}, Painter(kRed));
    HWND child = Create(WS_CHILD | WS_VISIBLE, top, {10, 10, 50, 50}, Painter(kBlue, [&](HWND) {
        if (!invalidated) {
            invalidated = true;
            InvalidateRect(top, &later, TRUE);
        }
    }));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, top);
    DispatchMessageW(&msg);
    EXPECT_EQ(PaintOrder(), (std::vector<HWND>{top, child}));
    RECT dirty;
    EXPECT_TRUE(GetUpdateRect(top, &dirty, FALSE));
    EXPECT_EQ(dirty, (RECT{100, 100, 120, 120}));
    painted.clear();
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));
    DispatchMessageW(&msg);
    EXPECT_EQ(PaintOrder(), (std::vector<HWND>{top}));
    EXPECT_EQ(PaintedRect(top), (RECT{100, 100, 120, 120}));
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));

    // UpdateWindow runs the pass at once; with nothing dirty it sends nothing.
    painted.clear();
    InvalidateRect(child, nullptr, FALSE);
    EXPECT_TRUE(UpdateWindow(child));
    EXPECT_EQ(PaintOrder(), (std::vector<HWND>{top, child}));
    EXPECT_TRUE(UpdateWindow(top));
    EXPECT_EQ(painted.size(), 2u);
}

TEST_F(PaintTest, WindowDCsDrawOnTheScreenInsideTheirWindow)
{
    HWND top = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {100, 100, 300, 250});
    HWND child = Create(WS_CHILD | WS_VISIBLE, top, {150, 10, 250, 60});
    ASSERT_TRUE(harness.PumpUntilIdle());
    RECT clientOnScreen;
    GetWindowRect(child, &clientOnScreen);
    // The child hangs over the parent's right edge: its DC draws only inside the parent's client.
    Fill(child, {0, 0, 100, 50}, kBlue);
    POINT inside = {clientOnScreen.left + 5, clientOnScreen.top + 5};
    EXPECT_EQ(harness.Pixel(inside), OpaquePixel(kBlue));
    RECT topClient;
    GetClientRect(top, &topClient);
    POINT parentEdge = {topClient.right, 0};
    ClientToScreen(top, &parentEdge);
    EXPECT_NE(harness.Pixel({parentEdge.x, parentEdge.y + 15}), OpaquePixel(kBlue));
    EXPECT_EQ(harness.Pixel({parentEdge.x - 1, parentEdge.y + 15}), OpaquePixel(kBlue));

    // The window DC starts at the frame's corner.
    HDC hdc = GetWindowDC(top);
    RECT corner = {0, 0, 3, 3};
    HBRUSH brush = CreateSolidBrush(kGreen);
    FillRect(hdc, &corner, brush);
    DeleteObject(brush);
    ReleaseDC(top, hdc);
    EXPECT_EQ(Pixel(101, 101), OpaquePixel(kGreen));
    EXPECT_EQ(Pixel(99, 99), 0u);

    // Text drawn through a window DC is logged with its window.
    hdc = GetDC(child);
    RECT line = {0, 0, 100, 20};
    DrawTextW(hdc, u"OK", -1, &line, DT_SINGLELINE);
    ReleaseDC(child, hdc);
    ASSERT_FALSE(harness.Texts().Entries().empty());
    EXPECT_EQ(harness.Texts().Entries().back().window, child);

    // A hidden window's DC only measures; the screen keeps what was shown.
    ShowWindow(child, SW_HIDE);
    hdc = GetDC(child);
    RECT box;
    EXPECT_EQ(GetClipBox(hdc, &box), NULLREGION);
    EXPECT_EQ(ReleaseDC(child, hdc), 1);
    EXPECT_EQ(ReleaseDC(child, hdc), 0);
}

TEST_F(PaintTest, ScrollWindowExMovesPixelsAndChildrenAndInvalidatesTheUncoveredStrip)
{
    struct Case {
        int dx;
        int dy;
        RECT uncovered;
        POINT movedFrom; // a client point whose pixel lands at (100, 75)
    };
    const Case cases[] = {
        {0, -10, {0, 140, 200, 150}, {100, 85}},
        {0, 10, {0, 0, 200, 10}, {100, 65}},
        {15, 0, {0, 0, 15, 150}, {85, 75}},
        {-15, 0, {185, 0, 200, 150}, {115, 75}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.dx << ", " << c.dy);
        HWND top = Create(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 200, 150});
        HWND child = Create(WS_CHILD | WS_VISIBLE, top, {40, 40, 60, 60});
        ASSERT_TRUE(harness.PumpUntilIdle());
        Fill(top, {c.movedFrom.x, c.movedFrom.y, c.movedFrom.x + 1, c.movedFrom.y + 1}, kRed);
        harness.Spy().Clear();
        HRGN update = CreateRectRgn(0, 0, 0, 0);
        RECT updateRect = {};
        EXPECT_EQ(ScrollWindowEx(top, c.dx, c.dy, nullptr, nullptr, update, &updateRect,
                                 SW_SCROLLCHILDREN | SW_INVALIDATE),
                  SIMPLEREGION);
        EXPECT_EQ(updateRect, c.uncovered);
        RECT box;
        GetRgnBox(update, &box);
        EXPECT_EQ(box, c.uncovered);
        DeleteObject(update);
        EXPECT_EQ(Pixel(100, 75), OpaquePixel(kRed));
        RECT dirty;
        GetUpdateRect(top, &dirty, FALSE);
        EXPECT_EQ(dirty, c.uncovered);
        RECT childRect;
        GetWindowRect(child, &childRect);
        EXPECT_EQ(childRect, (RECT{40 + c.dx, 40 + c.dy, 60 + c.dx, 60 + c.dy}));
        EXPECT_EQ(Seen({WM_MOVE}), (std::vector<std::pair<HWND, UINT>>{{child, WM_MOVE}}));
        DestroyWindow(top);
    }

    // A scroll rectangle moves only the children that meet it; without SW_INVALIDATE nothing is
    // invalidated, though the uncovered area is still answered.
    HWND top = Create(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 200, 150});
    HWND inside = Create(WS_CHILD | WS_VISIBLE, top, {10, 10, 20, 20});
    HWND outside = Create(WS_CHILD | WS_VISIBLE, top, {150, 10, 160, 20});
    ASSERT_TRUE(harness.PumpUntilIdle());
    RECT scroll = {0, 0, 100, 150};
    RECT updateRect;
    EXPECT_EQ(ScrollWindowEx(top, 0, 5, &scroll, nullptr, nullptr, &updateRect, SW_SCROLLCHILDREN), SIMPLEREGION);
    EXPECT_EQ(updateRect, (RECT{0, 0, 100, 5}));
    EXPECT_FALSE(GetUpdateRect(top, nullptr, FALSE));
    RECT r;
    GetWindowRect(inside, &r);
    EXPECT_EQ(r.top, 15);
    GetWindowRect(outside, &r);
    EXPECT_EQ(r.top, 10);
    EXPECT_EQ(ScrollWindowEx(nullptr, 0, 5, nullptr, nullptr, nullptr, nullptr, 0), ERROR);
}

TEST_F(PaintTest, ScrollWindowExRepaintsWhatCameFromUnderAnAncestorsClip)
{
    // The child's right half lies outside its parent: client x 0 to 50 shows, 50 to 100 does not.
    HWND top = Create(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 200, 150});
    HWND child = Create(WS_CHILD | WS_VISIBLE, top, {150, 0, 250, 100});
    ASSERT_TRUE(harness.PumpUntilIdle());
    RECT updateRect = {};
    ScrollWindowEx(child, -30, 0, nullptr, nullptr, nullptr, &updateRect, SW_INVALIDATE);
    // Client x 20 to 50 received the hidden pixels of x 50 to 80; the uncovered strip (70 to 100)
    // is hidden itself.
    EXPECT_EQ(updateRect, (RECT{20, 0, 100, 100}));
    RECT dirty = {};
    EXPECT_TRUE(GetUpdateRect(child, &dirty, FALSE));
    EXPECT_EQ(dirty, (RECT{20, 0, 50, 100}));
    DestroyWindow(top);
}

TEST_F(PaintTest, UserResizeKeepsWithinTheMinMaxInfoAndTheBufferFollows)
{
    Script sized = [](HWND, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
        if (message != WM_GETMINMAXINFO)
            return std::nullopt;
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = {300, 200};
        info->ptMaxTrackSize = {600, 500};
        return 0;
    };
    struct Case {
        SIZE asked;
        SIZE given;
    };
    const Case cases[] = {
        {{100, 100}, {300, 200}},
        {{400, 300}, {400, 300}},
        {{900, 900}, {600, 500}},
        {{350, 900}, {350, 500}},
    };
    HWND top = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {10, 10, 410, 310}, sized);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.asked.cx << " x " << c.asked.cy);
        harness.Spy().Clear();
        harness.UserResize(top, c.asked.cx, c.asked.cy);
        RECT rect;
        GetWindowRect(top, &rect);
        EXPECT_EQ(rect, (RECT{10, 10, 10 + c.given.cx, 10 + c.given.cy}));
        std::vector<UINT> messages;
        for (const auto& [hwnd, message] : Seen({WM_ENTERSIZEMOVE, WM_GETMINMAXINFO, WM_SIZE, WM_EXITSIZEMOVE}))
            messages.push_back(message);
        EXPECT_EQ(messages, (std::vector<UINT>{WM_ENTERSIZEMOVE, WM_GETMINMAXINFO, WM_SIZE, WM_EXITSIZEMOVE}));
    }

    // Without a procedure's answer the track sizes still keep a window on the screen's scale.
    HWND plain = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {0, 0, 300, 200});
    harness.UserResize(plain, 1, 1);
    RECT rect;
    GetWindowRect(plain, &rect);
    EXPECT_GT(rect.right - rect.left, 1);
    DestroyWindow(plain);

    // The back buffer follows the new size: the whole new client area is painted and shown.
    HWND painted = Create(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 100, 100}, Painter(kBlue));
    ASSERT_TRUE(harness.PumpUntilIdle());
    harness.UserResize(painted, 400, 300);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(Pixel(399, 299), OpaquePixel(kBlue));
    EXPECT_EQ(Pixel(400, 300), 0u);

    // A window too large for pixels (32767 x 32767 would take 4 GiB) stays blank instead, and is
    // painted again once it is small enough.
    CXDebugCapture capture;
    ASSERT_TRUE(SetWindowPos(painted, nullptr, 0, 0, 0x7FFF, 0x7FFF, SWP_NOMOVE | SWP_NOZORDER));
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(capture.Count("too large to draw"), 1u);
    HDC hdc = GetDC(painted);
    RECT box;
    EXPECT_EQ(GetClipBox(hdc, &box), ERROR);
    ReleaseDC(painted, hdc);
    ASSERT_TRUE(SetWindowPos(painted, nullptr, 0, 0, 50, 50, SWP_NOMOVE | SWP_NOZORDER));
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(Pixel(49, 49), OpaquePixel(kBlue));
    EXPECT_FALSE(ResizeByUser(Create(WS_CHILD, painted), 10, 10));
}

} // namespace

namespace {

TEST_F(PaintTest, PaintingLeavesNoDrawingObjectsBehind)
{
    HWND top = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {0, 0, 200, 150}, Painter(kRed));
    HWND child = Create(WS_CHILD | WS_VISIBLE, top, {10, 10, 50, 50}, Painter(kBlue));
    ASSERT_TRUE(harness.PumpUntilIdle());
    const win32::testing::GdiObjectCounts before = win32::testing::LiveGdiObjects();
    InvalidateRect(top, nullptr, TRUE);
    ASSERT_TRUE(harness.PumpUntilIdle());
    ReleaseDC(child, GetDC(child));
    ReleaseDC(top, GetWindowDC(top));
    ScrollWindowEx(top, 3, 4, nullptr, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN | SW_INVALIDATE);
    PAINTSTRUCT ps;
    BeginPaint(top, &ps);
    EndPaint(top, &ps);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(win32::testing::LiveGdiObjects(), before);
}

} // namespace
