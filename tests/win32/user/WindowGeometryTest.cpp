#include "win32/WindowTesting.h"

using namespace win32test;

namespace {

TEST(WindowConstantsTest, TheToolkitsSumsSpellTheNamedFlags)
{
    struct Case {
        const char* name;
        uint32_t written;
        uint32_t named;
    };
    const Case cases[] = {
        {"push button", 0x44010000, WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_PUSHBUTTON},
        {"drop-down list", 0x40210203, WS_CHILD | WS_VSCROLL | WS_TABSTOP | CBS_HASSTRINGS | CBS_DROPDOWNLIST},
        {"edit field", 0x44810080, WS_CHILD | WS_CLIPSIBLINGS | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL},
        {"top-level window", 0x02CF0000,
         WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX},
        {"frame move", 0x31C, SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_NOOWNERZORDER},
        {"attach", 0x313, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_NOOWNERZORDER},
        // Written out as four flags, 0x227 also carries SWP_NOOWNERZORDER, which changes nothing
        // beside SWP_NOZORDER.
        {"frame change", 0x227, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOOWNERZORDER},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.written, c.named) << c.name;
}

TEST_F(WindowTest, FrameInsetsAgreeBetweenAdjustWindowRectAndTheWindowsRectangles)
{
    struct Case {
        const char* name;
        DWORD style;
        DWORD exStyle;
        RECT insets;
    };
    const Case cases[] = {
        {"sizing frame and caption", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, {8, 31, 8, 8}},
        {"dialog frame and caption", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, {8, 31, 8, 8}},
        {"thin border", WS_POPUP | WS_BORDER, 0, {1, 1, 1, 1}},
        {"bare popup", WS_POPUP, 0, {0, 0, 0, 0}},
        {"border and client edge", WS_POPUP | WS_BORDER, WS_EX_CLIENTEDGE, {3, 3, 3, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND hwnd = Create(c.style, nullptr, {0, 0, 10, 10}, {}, u"", 0, c.exStyle);
        ASSERT_TRUE(MoveWindow(hwnd, 100, 50, 300, 200, TRUE));
        RECT window;
        RECT client;
        GetWindowRect(hwnd, &window);
        GetClientRect(hwnd, &client);
        EXPECT_EQ(window, (RECT{100, 50, 400, 250}));
        EXPECT_EQ(client, (RECT{0, 0, 300 - c.insets.left - c.insets.right, 200 - c.insets.top - c.insets.bottom}));
        // The client rectangle on the screen, adjusted, is the window rectangle.
        POINT origin = {0, 0};
        ClientToScreen(hwnd, &origin);
        RECT adjusted = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
        EXPECT_TRUE(AdjustWindowRectEx(&adjusted, c.style, FALSE, c.exStyle));
        EXPECT_EQ(adjusted, window);
    }
    // The menu flag adds a menu row; the table is the backend's and can change.
    RECT withMenu = {0, 0, 100, 100};
    AdjustWindowRect(&withMenu, WS_OVERLAPPEDWINDOW, TRUE);
    EXPECT_EQ(withMenu, (RECT{-8, -51, 108, 108}));
    harness.Backend().MutableMetrics().caption = 30;
    RECT taller = {0, 0, 100, 100};
    AdjustWindowRect(&taller, WS_OVERLAPPEDWINDOW, FALSE);
    EXPECT_EQ(taller.top, -38);
}

TEST_F(WindowTest, MoveAndSizeAreSentOnlyForARealChangeAndAFrameChangeRecomputesTheClient)
{
    HWND hwnd = Create(WS_POPUP, nullptr, {100, 100, 300, 200});
    auto sent = [&] {
        std::vector<std::pair<UINT, LPARAM>> out;
        for (const auto& e : harness.Spy().Only({WM_MOVE, WM_SIZE}))
            out.emplace_back(e.message, e.lParam);
        harness.Spy().Clear();
        return out;
    };
    using Sent = std::vector<std::pair<UINT, LPARAM>>;
    sent();

    MoveWindow(hwnd, 100, 100, 200, 100, TRUE);
    EXPECT_EQ(sent(), Sent{});
    SetWindowPos(hwnd, nullptr, 120, 100, 0, 0, 0x31C | SWP_NOSIZE);
    EXPECT_EQ(sent(), (Sent{{WM_MOVE, MAKELPARAM(120, 100)}}));
    SetWindowPos(hwnd, nullptr, 0, 0, 250, 100, 0x31C | SWP_NOMOVE);
    EXPECT_EQ(sent(), (Sent{{WM_SIZE, MAKELPARAM(250, 100)}}));

    // A new style changes nothing until the frame change; then the window rectangle stays and the
    // client area shrinks inside the new frame.
    SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(WS_POPUP | WS_CAPTION));
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client, (RECT{0, 0, 250, 100}));
    EXPECT_EQ(sent(), Sent{});
    EXPECT_TRUE(SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, 0x227));
    EXPECT_EQ(sent(), (Sent{{WM_MOVE, MAKELPARAM(128, 131)}, {WM_SIZE, MAKELPARAM(234, 61)}}));
    RECT window;
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(window, (RECT{120, 100, 370, 200}));
    // A frame change always reports the size, even when nothing moved.
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, 0x227);
    EXPECT_EQ(sent(), (Sent{{WM_SIZE, MAKELPARAM(234, 61)}}));
}

TEST_F(WindowTest, PositionsReachDownToMinus0x8000AndStopThere)
{
    HWND parent = Create(WS_POPUP, nullptr, {0, 0, 500, 500});
    HWND child = Create(WS_CHILD, parent, {0, 0, 10, 10});
    harness.Spy().Clear();
    SetWindowPos(child, nullptr, -0x8000, -0x8000, 1, 1, 0x31C);
    auto moves = harness.Spy().Only({WM_MOVE});
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), -0x8000);
    EXPECT_EQ(GET_Y_LPARAM(moves[0].lParam), -0x8000);
    RECT rect;
    GetWindowRect(child, &rect);
    EXPECT_EQ(rect, (RECT{-0x8000, -0x8000, -0x7FFF, -0x7FFF}));
    // Further out is held at the limit; nothing moved, so nothing is sent.
    harness.Spy().Clear();
    SetWindowPos(child, nullptr, -100000, -100000, 1, 1, 0x31C);
    GetWindowRect(child, &rect);
    EXPECT_EQ(rect, (RECT{-0x8000, -0x8000, -0x7FFF, -0x7FFF}));
    EXPECT_TRUE(harness.Spy().Only({WM_MOVE, WM_SIZE}).empty());
    // A negative size is none.
    SetWindowPos(child, nullptr, 0, 0, -5, -5, SWP_NOMOVE | SWP_NOZORDER);
    GetWindowRect(child, &rect);
    EXPECT_EQ(rect.right - rect.left, 0);
}

TEST_F(WindowTest, PointsMapBetweenClientAreasAndTheScreen)
{
    HWND top = Create(WS_OVERLAPPEDWINDOW, nullptr, {100, 200, 600, 600});
    HWND child = Create(WS_CHILD | WS_BORDER, top, {10, 20, 110, 70});
    HWND other = Create(WS_POPUP, nullptr, {50, 60, 150, 160});

    POINT point = {0, 0};
    EXPECT_TRUE(ClientToScreen(child, &point));
    EXPECT_EQ(point, (POINT{100 + 8 + 10 + 1, 200 + 31 + 20 + 1}));
    EXPECT_TRUE(ScreenToClient(child, &point));
    EXPECT_EQ(point, (POINT{0, 0}));

    POINT points[2] = {{1, 2}, {3, 4}};
    int offset = MapWindowPoints(child, HWND_DESKTOP, points, 2);
    EXPECT_EQ(points[0], (POINT{120, 254}));
    EXPECT_EQ(points[1], (POINT{122, 256}));
    EXPECT_EQ(offset, static_cast<int>(MAKELPARAM(119, 252)));
    offset = MapWindowPoints(child, other, points, 1);
    EXPECT_EQ(points[0], (POINT{120 + 69, 254 + 192}));
    EXPECT_EQ(offset, static_cast<int>(MAKELPARAM(69, 192)));
    // The other way the offset is negative in its word.
    MapWindowPoints(HWND_DESKTOP, child, points, 1);
    EXPECT_EQ(points[0], (POINT{189 - 119, 446 - 252}));
    offset = MapWindowPoints(HWND_DESKTOP, child, nullptr, 0);
    EXPECT_EQ(static_cast<int16_t>(HIWORD(static_cast<uint32_t>(offset))), -252);
}

TEST_F(WindowTest, MetricsComeFromTheBackendTable)
{
    struct Case {
        int index;
        int expected;
    };
    for (const Case& c : {Case{SM_CXSCREEN, 1920}, Case{SM_CYSCREEN, 1080}, Case{SM_CXVIRTUALSCREEN, 1920},
                          Case{SM_CYVIRTUALSCREEN, 1080}, Case{SM_XVIRTUALSCREEN, 0}, Case{SM_CYMENU, 20},
                          Case{SM_CYCAPTION, 23}, Case{SM_CXFRAME, 8}, Case{SM_CXSMICON, 16}, Case{SM_CYSMICON, 16},
                          Case{12345, 0}})
        EXPECT_EQ(GetSystemMetrics(c.index), c.expected) << "index " << c.index;
    RECT work = {};
    EXPECT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work, (RECT{0, 0, 1920, 1040}));
    UINT lines = 0;
    EXPECT_TRUE(SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0));
    EXPECT_EQ(lines, 3u);
    EXPECT_FALSE(SystemParametersInfoW(0x9999, 0, &lines, 0));
    // A window given no bar has none.
    HWND hwnd = Create(WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(GetMenu(hwnd), nullptr);
    MENUBARINFO info = {};
    info.cbSize = sizeof(info);
    EXPECT_FALSE(GetMenuBarInfo(hwnd, OBJID_MENU, 0, &info));
    EXPECT_TRUE(SetMenu(hwnd, nullptr));
}

TEST_F(WindowTest, MaximiseMinimiseAndRestoreKeepThePlacement)
{
    HWND hwnd = Create(WS_OVERLAPPEDWINDOW, nullptr, {100, 100, 500, 400});
    ShowWindow(hwnd, SW_SHOW);
    harness.Spy().Clear();

    ShowWindow(hwnd, SW_SHOWMAXIMIZED);
    EXPECT_TRUE(IsZoomed(hwnd));
    RECT rect;
    GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect, (RECT{0, 0, 1920, 1040}));
    auto sizes = harness.Spy().Only({WM_SIZE});
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].wParam, SIZE_MAXIMIZED);
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    EXPECT_TRUE(GetWindowPlacement(hwnd, &placement));
    EXPECT_EQ(placement.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
    EXPECT_EQ(placement.rcNormalPosition, (RECT{100, 100, 500, 400}));

    ShowWindow(hwnd, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(hwnd));
    EXPECT_FALSE(IsZoomed(hwnd));
    GetWindowPlacement(hwnd, &placement);
    EXPECT_EQ(placement.showCmd, static_cast<UINT>(SW_SHOWMINIMIZED));
    EXPECT_EQ(placement.rcNormalPosition, (RECT{100, 100, 500, 400}));

    harness.Spy().Clear();
    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_FALSE(IsIconic(hwnd));
    GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect, (RECT{100, 100, 500, 400}));
    sizes = harness.Spy().Only({WM_SIZE});
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].wParam, SIZE_RESTORED);
    EXPECT_EQ(sizes[0].lParam, MAKELPARAM(400 - 16, 300 - 39));
    GetWindowPlacement(hwnd, &placement);
    EXPECT_EQ(placement.showCmd, static_cast<UINT>(SW_SHOWNORMAL));
}

} // namespace
