#include "win32/controls/Controls.h"

#include "win32/controls/DropList.h"

#include "win32/WindowTesting.h"
#include "win32/gdi/Font.h"
#include "win32/gdi/Text.h"
#include "win32/testing/Pixels.h"
#include "win32/user/Paint.h"

#include <climits>

using namespace win32test;
using win32::testing::OpaquePixel;

namespace {

// A SCROLLINFO asking for (or giving) the fields of mask.
SCROLLINFO Info(UINT mask, int minimum = 0, int maximum = 0, UINT page = 0, int position = 0)
{
    return {sizeof(SCROLLINFO), mask, minimum, maximum, page, position, 0};
}

// A visible parent that records the notifications of its controls (with what the control tells
// at that moment) and answers their colour messages as told.
class ControlsTest : public WindowTest {
protected:
    struct Notice {
        UINT message;
        // WM_COMMAND: the id and the notification; WM_?SCROLL: the request and the position word.
        WORD low;
        WORD high;
        HWND from;
        // WM_COMMAND: BM_GETCHECK and whether any window held the capture; WM_?SCROLL: nTrackPos.
        LRESULT state;
        bool captured;
    };

    ControlsTest()
    {
        Script recorder = [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) { return OnParent(message, wParam, lParam); };
        parent = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {100, 100, 600, 500}, recorder);
        testFace = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"Layer Test Box");
    }
    ~ControlsTest() override { DeleteObject(testFace); }

    std::optional<LRESULT> OnParent(UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto from = reinterpret_cast<HWND>(lParam);
        if (message == WM_COMMAND) {
            notices.push_back({message, LOWORD(wParam), HIWORD(wParam), from, SendMessageW(from, BM_GETCHECK, 0, 0),
                               GetCapture() != nullptr});
        } else if (message == WM_HSCROLL || message == WM_VSCROLL) {
            SCROLLINFO info = Info(SIF_TRACKPOS);
            GetScrollInfo(from, SB_CTL, &info);
            notices.push_back({message, LOWORD(wParam), HIWORD(wParam), from, info.nTrackPos, GetCapture() != nullptr});
        } else if (message >= WM_CTLCOLOREDIT && message <= WM_CTLCOLORSTATIC) {
            colorAsked.push_back(message);
            if (answerBrush != nullptr) {
                SetTextColor(reinterpret_cast<HDC>(wParam), answerText);
                return reinterpret_cast<LRESULT>(answerBrush);
            }
        }
        if (react && (message == WM_COMMAND || message == WM_HSCROLL || message == WM_VSCROLL))
            react(message, wParam, lParam);
        return std::nullopt;
    }

    HWND Control(const char16_t* className, DWORD style, RECT rect, const char16_t* title = u"", UINT_PTR id = 7)
    {
        HWND hwnd = CreateWindowExW(0, className, title, WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
                                    rect.right - rect.left, rect.bottom - rect.top, parent,
                                    reinterpret_cast<HMENU>(id), harness.Instance(), nullptr);
        EXPECT_NE(hwnd, nullptr);
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(testFace), FALSE);
        return hwnd;
    }

    std::vector<WORD> Codes() const
    {
        std::vector<WORD> codes;
        for (const Notice& n : notices)
            codes.push_back(n.low);
        return codes;
    }

    size_t Clicks() const
    {
        size_t count = 0;
        for (const Notice& n : notices)
            count += n.message == WM_COMMAND && n.high == BN_CLICKED ? 1 : 0;
        return count;
    }

    // A pixel of a window's client area on the composed screen.
    uint64_t PixelAt(HWND hwnd, POINT client)
    {
        ClientToScreen(hwnd, &client);
        return harness.Pixel(client);
    }

    // The client row y of a window as composed on the screen.
    std::vector<uint64_t> Row(HWND hwnd, int y)
    {
        win32::testing::ScreenPicture screen = harness.ScreenImage();
        RECT client;
        GetClientRect(hwnd, &client);
        std::vector<uint64_t> row;
        for (int x = 0; x < client.right; ++x) {
            POINT at = {x, y};
            ClientToScreen(hwnd, &at);
            row.push_back(screen.At(at.x, at.y));
        }
        return row;
    }

    // The first and last x of the row's pixels in colour, {-1, -1} when none.
    std::pair<int, int> Ink(HWND hwnd, int y, COLORREF color)
    {
        std::vector<uint64_t> row = Row(hwnd, y);
        std::pair<int, int> span = {-1, -1};
        for (int x = 0; x < static_cast<int>(row.size()); ++x) {
            if (row[static_cast<size_t>(x)] != OpaquePixel(color))
                continue;
            if (span.first < 0)
                span.first = x;
            span.second = x;
        }
        return span;
    }

    HWND parent = nullptr;
    HFONT testFace = nullptr;
    std::vector<Notice> notices;
    std::vector<UINT> colorAsked;
    std::function<void(UINT, WPARAM, LPARAM)> react;
    HBRUSH answerBrush = nullptr;
    COLORREF answerText = 0;
};

// --- Registration ---

TEST(ControlClassesTest, EveryInitialisedLayerHasTheClasses)
{
    // The harness's start-up registered the classes; a later Initialize of its own has them again.
    {
        win32::testing::Harness harness;
    }
    headless::HeadlessBackend backend;
    ASSERT_TRUE(Initialize(&backend, Options{}));
    int index = 0;
    for (const char16_t* name : {u"BUTTON", u"combobox", u"msctls_progress32", u"ScrollBar", u"static",
                                  u"SysDateTimePick32", u"systabcontrol32"}) {
        HWND hwnd = CreateWindowExW(0, name, u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        EXPECT_NE(hwnd, nullptr) << "class " << index++;
        DestroyWindow(hwnd);
    }
    controls::RegisterControlClasses();
    HWND again = CreateWindowExW(0, u"button", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(again, nullptr) << "registering again changes nothing";
    Shutdown();
    ResetQueueForTesting();
}

// --- Buttons ---

TEST_F(ControlsTest, ButtonClicksOnAReleaseInsideAfterAPressInsideOnSpaceAndOnBMClick)
{
    struct Case {
        const char* name;
        bool disabled;
        std::function<void(HWND)> act;
        size_t clicks;
    };
    auto onScreen = [](HWND hwnd, POINT client) {
        ClientToScreen(hwnd, &client);
        return client;
    };
    const Case cases[] = {
        {"press and release inside", false, [&](HWND b) { harness.Click(b, {20, 10}); }, 1},
        {"released outside", false,
         [&](HWND b) {
             harness.Press(onScreen(b, {20, 10}));
             harness.MoveTo(onScreen(b, {20, 60}));
             harness.Release(onScreen(b, {20, 60}));
         },
         0},
        {"left and came back before the release", false,
         [&](HWND b) {
             harness.Press(onScreen(b, {20, 10}));
             harness.MoveTo(onScreen(b, {200, 10}));
             harness.MoveTo(onScreen(b, {30, 10}));
             harness.Release(onScreen(b, {30, 10}));
         },
         1},
        {"pressed outside", false,
         [&](HWND b) {
             harness.Press(onScreen(b, {20, 60}));
             harness.MoveTo(onScreen(b, {20, 10}));
             harness.Release(onScreen(b, {20, 10}));
         },
         0},
        {"Space, on its release", false,
         [&](HWND b) {
             SetFocus(b);
             harness.KeyDown(VK_SPACE, u" ");
             ASSERT_TRUE(harness.PumpUntilIdle());
             EXPECT_EQ(Clicks(), 0u) << "nothing on the key's press";
             harness.KeyUp(VK_SPACE);
         },
         1},
        {"BM_CLICK", false, [&](HWND b) { SendMessageW(b, BM_CLICK, 0, 0); }, 1},
        {"BM_CLICK while disabled", true, [&](HWND b) { SendMessageW(b, BM_CLICK, 0, 0); }, 0},
        {"a click while disabled", true, [&](HWND b) { harness.Click(b, {20, 10}); }, 0},
        {"Space while disabled", true,
         [&](HWND b) {
             SetFocus(b);
             harness.KeyDown(VK_SPACE, u" ");
             harness.KeyUp(VK_SPACE);
         },
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND button = Control(u"button", WS_TABSTOP | BS_PUSHBUTTON, {10, 10, 90, 40}, u"OK", 42);
        if (c.disabled)
            EnableWindow(button, FALSE);
        ASSERT_TRUE(harness.PumpUntilIdle());
        notices.clear();
        c.act(button);
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(Clicks(), c.clicks);
        for (const Notice& n : notices) {
            EXPECT_EQ(n.low, 42);
            EXPECT_EQ(n.from, button);
            EXPECT_FALSE(n.captured) << "the capture is released before BN_CLICKED";
        }
        EXPECT_EQ(GetCapture(), nullptr);
        DestroyWindow(button);
    }
}

TEST_F(ControlsTest, AButtonDestroyedByItsOwnHandlerStopsThere)
{
    react = [](UINT message, WPARAM, LPARAM lParam) {
        if (message == WM_COMMAND)
            DestroyWindow(reinterpret_cast<HWND>(lParam));
    };
    const std::pair<DWORD, std::function<void(HWND)>> cases[] = {
        {BS_PUSHBUTTON, [&](HWND b) { harness.Click(b, {20, 10}); }},
        {BS_AUTOCHECKBOX, [&](HWND b) { harness.Click(b, {20, 10}); }},
        {BS_DEFPUSHBUTTON,
         [&](HWND b) {
             SetFocus(b);
             harness.KeyDown(VK_SPACE, u" ");
             harness.KeyUp(VK_SPACE);
         }},
        {BS_AUTOCHECKBOX, [&](HWND b) { SendMessageW(b, BM_CLICK, 0, 0); }},
    };
    for (const auto& [style, act] : cases) {
        HWND button = Control(u"button", style, {10, 10, 90, 40}, u"Close");
        ASSERT_TRUE(harness.PumpUntilIdle());
        notices.clear();
        act(button);
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(Clicks(), 1u) << "style " << style;
        EXPECT_FALSE(IsWindow(button));
    }
}

TEST_F(ControlsTest, TheCheckboxTogglesThenNotifiesAndSetCheckNotifiesNothing)
{
    HWND box = Control(u"button", WS_TABSTOP | BS_AUTOCHECKBOX, {10, 10, 150, 30}, u"Agree");
    harness.Click(box, {5, 10});
    ASSERT_TRUE(harness.PumpUntilIdle());
    SendMessageW(box, BM_CLICK, 0, 0);
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0].state, static_cast<LRESULT>(BST_CHECKED)) << "the handler sees the new state";
    EXPECT_EQ(notices[1].state, static_cast<LRESULT>(BST_UNCHECKED));

    notices.clear();
    SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_CHECKED));
    EXPECT_TRUE(notices.empty());

    // Enter goes to the dialog: a checkbox is no push button, so the dialog hears IDOK.
    HWND push = Control(u"button", WS_TABSTOP | BS_PUSHBUTTON, {10, 40, 90, 60}, u"Go", 9);
    HWND defaultPush = Control(u"button", WS_TABSTOP | BS_DEFPUSHBUTTON, {100, 40, 190, 60}, u"Go", 10);
    EXPECT_EQ(SendMessageW(box, WM_GETDLGCODE, 0, 0), DLGC_BUTTON);
    EXPECT_EQ(SendMessageW(push, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON);
    EXPECT_EQ(SendMessageW(defaultPush, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_DEFPUSHBUTTON);
    for (HWND focus : {box, push}) {
        SetFocus(focus);
        notices.clear();
        MSG enter = {focus, WM_KEYDOWN, VK_RETURN, 1, 0, {0, 0}};
        EXPECT_TRUE(IsDialogMessageW(parent, &enter));
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].low, focus == box ? IDOK : 9);
    }
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_CHECKED)) << "Enter toggled nothing";
}

TEST_F(ControlsTest, TitlesShowPrefixesResolvedAlignedAsTheStyleSaysWhenPainted)
{
    HWND button = Control(u"button", BS_PUSHBUTTON, {10, 10, 210, 40}, u"A && B");
    HWND literal = Control(u"STATIC", SS_NOPREFIX, {10, 50, 210, 70}, u"A && B");
    ASSERT_TRUE(harness.PumpUntilIdle());
    std::vector<DrawnText> drawn = harness.Texts().Entries();
    auto shown = [&](HWND hwnd) {
        for (const DrawnText& entry : drawn) {
            if (entry.window == hwnd)
                return entry;
        }
        return DrawnText{};
    };
    EXPECT_EQ(shown(button).text, u"A & B");
    EXPECT_EQ(shown(button).font, testFace);
    EXPECT_EQ(shown(literal).text, u"A && B");

    // Test face, em 12: "A & B" is 5 advances of 7 pixels.
    struct Case {
        const char* name;
        const char16_t* className;
        DWORD style;
        // Where the ink starts: at the left (within the padding), centred, or ending at the right.
        int where;
    };
    const Case cases[] = {
        {"button, default", u"button", BS_PUSHBUTTON, 0},
        {"button, BS_LEFT", u"button", BS_LEFT, -1},
        {"button, BS_CENTER", u"button", BS_CENTER, 0},
        {"button, BS_RIGHT", u"button", BS_RIGHT, 1},
        {"static, default", u"STATIC", SS_LEFT, -1},
        {"static, SS_CENTER", u"STATIC", SS_CENTER, 0},
        {"static, SS_RIGHT", u"STATIC", SS_RIGHT, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND hwnd = Control(c.className, 0, {10, 100, 210, 130}, u"A & B");
        // The style is read when painting, not only at creation.
        SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(WS_CHILD | WS_VISIBLE | c.style));
        InvalidateRect(hwnd, nullptr, FALSE);
        ASSERT_TRUE(harness.PumpUntilIdle());
        int y = c.className[0] == u'b' ? 15 : 6;
        auto [first, last] = Ink(hwnd, y, RGB(0, 0, 0));
        ASSERT_GE(first, 0);
        int middle = (first + last + 1) / 2;
        if (c.where < 0)
            EXPECT_LT(first, 8);
        else if (c.where > 0)
            EXPECT_GT(last, 200 - 8);
        else
            EXPECT_NEAR(middle, 100, 3);
        DestroyWindow(hwnd);
    }
}

TEST_F(ControlsTest, AStaticWrapsItsWords)
{
    // 7-pixel advances: "aaaa bbbb" (63) does not fit 60 pixels, so "bbbb" starts the second line
    // (13 pixels down).
    HWND label = Control(u"STATIC", SS_LEFT, {10, 10, 70, 60}, u"aaaa bbbb");
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(Ink(label, 6, RGB(0, 0, 0)).second, 26) << "the first line holds one word";
    EXPECT_EQ(Ink(label, 13 + 6, RGB(0, 0, 0)), std::make_pair(1, 26));
}

TEST_F(ControlsTest, FontsAreBorrowedAndADeletedOneDrawsAsTheStockFont)
{
    HWND label = Control(u"STATIC", 0, {10, 10, 110, 30}, u"x");
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)), testFace);
    HFONT doomed = CreateFontW(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"Layer Test Box");
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(doomed), TRUE);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(harness.Texts().Entries().back().font, doomed);
    DeleteObject(doomed);
    EXPECT_EQ(SendMessageW(label, WM_GETFONT, 0, 0), 0);
    harness.Texts().Clear();
    InvalidateRect(label, nullptr, FALSE);
    ASSERT_TRUE(harness.PumpUntilIdle());
    ASSERT_FALSE(harness.Texts().Entries().empty());
    EXPECT_EQ(harness.Texts().Entries().back().font, GetStockObject(DEFAULT_GUI_FONT));
    DestroyWindow(label);
    EXPECT_EQ(GetObjectType(testFace), OBJ_FONT) << "destroying the control leaves its font alone";
}

// --- Colours ---

TEST_F(ControlsTest, EachControlTakesItsColoursFromItsParent)
{
    constexpr COLORREF kBackground = RGB(10, 120, 30);
    constexpr COLORREF kText = RGB(200, 0, 150);
    struct Case {
        const char* name;
        const char16_t* className;
        DWORD style;
        UINT asks;
        // A background point of the control and whether it draws its title.
        POINT background;
        bool text;
    };
    const Case cases[] = {
        {"push button", u"button", BS_PUSHBUTTON, WM_CTLCOLORBTN, {3, 3}, true},
        {"checkbox", u"button", BS_AUTOCHECKBOX, WM_CTLCOLORSTATIC, {190, 2}, true},
        {"static", u"STATIC", 0, WM_CTLCOLORSTATIC, {190, 20}, true},
        {"progress bar", u"msctls_progress32", 0, WM_CTLCOLORSTATIC, {100, 12}, false},
        {"scroll bar", u"SCROLLBAR", SBS_HORZ, WM_CTLCOLORSCROLLBAR, {150, 12}, false},
    };
    for (bool answered : {true, false}) {
        answerBrush = answered ? CreateSolidBrush(kBackground) : nullptr;
        answerText = kText;
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (answered ? ", parent's brush" : ", no brush"));
            HWND hwnd = Control(c.className, c.style, {10, 10, 210, 35}, u"Title");
            colorAsked.clear();
            harness.Texts().Clear();
            ASSERT_TRUE(harness.PumpUntilIdle());
            EXPECT_EQ(colorAsked, std::vector<UINT>{c.asks});
            COLORREF expected = answered ? kBackground : GetSysColor(c.asks == WM_CTLCOLORSCROLLBAR ? COLOR_SCROLLBAR : COLOR_3DFACE);
            EXPECT_EQ(PixelAt(hwnd, c.background), OpaquePixel(expected));
            std::vector<DrawnText> drawn = harness.Texts().Entries();
            ASSERT_EQ(drawn.size(), c.text ? 1u : 0u);
            if (c.text) {
                EXPECT_EQ(drawn[0].color, answered ? kText : GetSysColor(COLOR_WINDOWTEXT));
            }
            DestroyWindow(hwnd);
        }
        DeleteObject(answerBrush);
    }
    answerBrush = nullptr;
}

TEST_F(ControlsTest, DisabledAndFocusedButtonsLookDifferent)
{
    HWND button = Control(u"button", WS_TABSTOP | BS_PUSHBUTTON, {10, 10, 110, 40}, u"Go");
    ASSERT_TRUE(harness.PumpUntilIdle());
    std::vector<uint64_t> plain = Row(button, 3);
    SetFocus(button);
    ASSERT_TRUE(harness.PumpUntilIdle());
    std::vector<uint64_t> focused = Row(button, 3);
    EXPECT_NE(focused, plain);
    SetFocus(parent);
    EnableWindow(button, FALSE);
    harness.Texts().Clear();
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_NE(Row(button, 0), plain);
    ASSERT_EQ(harness.Texts().Entries().size(), 1u);
    EXPECT_EQ(harness.Texts().Entries()[0].color, GetSysColor(COLOR_GRAYTEXT));
}

// --- Progress bar ---

TEST_F(ControlsTest, ProgressPositionsAreClampedIntoTheRange)
{
    HWND bar = Control(u"msctls_progress32", 0, {10, 10, 212, 30});
    EXPECT_EQ(SendMessageW(bar, PBM_SETRANGE32, 10, 20), MAKELPARAM(0, 100)) << "the previous range";
    struct Case {
        int set;
        LRESULT previous;
        int now;
    };
    const Case cases[] = {{15, 10, 15}, {25, 15, 20}, {-5, 20, 10}, {INT_MAX, 10, 20}, {INT_MIN, 20, 10}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set);
        EXPECT_EQ(SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(c.set), 0), c.previous);
        EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), c.now);
    }
    // A new range takes the position in.
    SendMessageW(bar, PBM_SETPOS, 20, 0);
    SendMessageW(bar, PBM_SETRANGE32, 0, 5);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 5);

    // The inside is 200 pixels: full at the high end, empty for an empty or inverted range.
    const uint64_t highlight = OpaquePixel(GetSysColor(COLOR_HIGHLIGHT));
    struct Look {
        int low;
        int high;
        int position;
        bool startFilled;
        bool endFilled;
    };
    const Look looks[] = {{0, 100, 100, true, true}, {0, 100, 50, true, false}, {0, 100, 0, false, false},
                          {10, 10, 10, false, false}, {20, 10, 15, false, false}, {INT_MIN, INT_MAX, INT_MAX, true, true}};
    for (const Look& look : looks) {
        SCOPED_TRACE(std::to_string(look.low) + ".." + std::to_string(look.high));
        SendMessageW(bar, PBM_SETRANGE32, static_cast<WPARAM>(look.low), look.high);
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(look.position), 0);
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(PixelAt(bar, {1, 10}) == highlight, look.startFilled);
        EXPECT_EQ(PixelAt(bar, {200, 10}) == highlight, look.endFilled);
    }
}

TEST_F(ControlsTest, TheMarqueeRunsOnlyWithItsStyleAndItsRequest)
{
    HWND bar = Control(u"msctls_progress32", 0, {10, 10, 212, 30});
    auto timerTicks = [&] { return harness.Spy().Only({WM_TIMER}).size(); };
    auto step = [&] {
        std::vector<uint64_t> before = Row(bar, 10);
        size_t ticks = timerTicks();
        harness.Advance(30);
        EXPECT_TRUE(harness.PumpUntilIdle());
        return timerTicks() > ticks && Row(bar, 10) != before;
    };
    ASSERT_TRUE(harness.PumpUntilIdle());
    SendMessageW(bar, PBM_SETMARQUEE, TRUE, 0);
    EXPECT_FALSE(step()) << "requested without the style";
    SetWindowLongW(bar, GWL_STYLE, GetWindowLongW(bar, GWL_STYLE) | static_cast<LONG>(PBS_MARQUEE));
    EXPECT_TRUE(step()) << "the style set through GWL_STYLE starts it";
    EXPECT_TRUE(step());
    SetWindowLongW(bar, GWL_STYLE, GetWindowLongW(bar, GWL_STYLE) & ~static_cast<LONG>(PBS_MARQUEE));
    EXPECT_FALSE(step()) << "the style cleared stops it";
    SetWindowLongW(bar, GWL_STYLE, GetWindowLongW(bar, GWL_STYLE) | static_cast<LONG>(PBS_MARQUEE));
    EXPECT_TRUE(step());
    SendMessageW(bar, PBM_SETMARQUEE, FALSE, 0);
    EXPECT_FALSE(step()) << "the request withdrawn stops it";

    HWND styled = Control(u"msctls_progress32", PBS_MARQUEE, {10, 40, 212, 60});
    ASSERT_TRUE(harness.PumpUntilIdle());
    size_t ticks = timerTicks();
    harness.Advance(100);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(timerTicks(), ticks) << "the style alone does not run it";
    SendMessageW(styled, PBM_SETMARQUEE, TRUE, 0);
    harness.Advance(29);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(timerTicks(), ticks);
    harness.Advance(1);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(timerTicks(), ticks + 1) << "every 30 ms";
}

// --- Scroll bar ---

// One notification of a scroll bar: the request, the position word and nTrackPos at that moment.
struct Step {
    WORD code;
    WORD position;
    int trackPosition;
};

bool operator==(const Step& a, const Step& b)
{
    return a.code == b.code && a.position == b.position && a.trackPosition == b.trackPosition;
}

void PrintTo(const Step& s, std::ostream* os)
{
    *os << "{" << s.code << ", " << s.position << ", track " << s.trackPosition << "}";
}

// A vertical bar 17 x 200: arrows of 17, a track of 166 from 17. Range 0-100, page 20: a thumb of
// 166 * 20 / 101 = 32, positions 0-81 over 134 pixels. At position 50 the thumb spans 99-130.
class ScrollBarTest : public ControlsTest {
protected:
    ScrollBarTest()
    {
        bar = Control(u"SCROLLBAR", SBS_VERT, {20, 20, 37, 220});
        SCROLLINFO info = Info(SIF_RANGE | SIF_PAGE | SIF_POS, 0, 100, 20, 50);
        SetScrollInfo(bar, SB_CTL, &info, TRUE);
        EXPECT_TRUE(harness.PumpUntilIdle());
    }

    POINT OnScreen(POINT client)
    {
        ClientToScreen(bar, &client);
        return client;
    }

    std::vector<Step> Steps() const
    {
        std::vector<Step> steps;
        for (const Notice& n : notices) {
            EXPECT_EQ(n.message, static_cast<UINT>(WM_VSCROLL));
            EXPECT_EQ(n.from, bar);
            steps.push_back({n.low, n.high, static_cast<int>(n.state)});
        }
        return steps;
    }

    HWND bar = nullptr;
};

TEST_F(ScrollBarTest, EachGestureSendsItsCodesAndEndsWithEndScroll)
{
    struct Case {
        const char* name;
        std::function<void()> act;
        std::vector<Step> steps;
    };
    auto pump = [&] { EXPECT_TRUE(harness.PumpUntilIdle()); };
    auto advance = [&](int ms) {
        harness.Advance(ms);
        pump();
    };
    const Case cases[] = {
        {"up arrow click", [&] { harness.Click(OnScreen({8, 5})); },
         {{SB_LINEUP, 0, 50}, {SB_ENDSCROLL, 0, 50}}},
        {"down arrow held: repeats after 400 ms, then every 50 ms",
         [&] {
             harness.Press(OnScreen({8, 195}));
             pump();
             advance(399);
             advance(1);
             advance(49);
             advance(1);
             advance(50);
             harness.Release(OnScreen({8, 195}));
         },
         {{SB_LINEDOWN, 0, 50}, {SB_LINEDOWN, 0, 50}, {SB_LINEDOWN, 0, 50}, {SB_LINEDOWN, 0, 50}, {SB_ENDSCROLL, 0, 50}}},
        {"arrow held with the pointer off it: no repeats until it returns",
         [&] {
             harness.Press(OnScreen({8, 195}));
             harness.MoveTo(OnScreen({8, 150}));
             pump();
             advance(400);
             advance(50);
             harness.MoveTo(OnScreen({8, 190}));
             advance(50);
             harness.Release(OnScreen({8, 190}));
         },
         {{SB_LINEDOWN, 0, 50}, {SB_LINEDOWN, 0, 50}, {SB_ENDSCROLL, 0, 50}}},
        {"trough click above the thumb", [&] { harness.Click(OnScreen({8, 40})); },
         {{SB_PAGEUP, 0, 50}, {SB_ENDSCROLL, 0, 50}}},
        {"trough held below the thumb",
         [&] {
             harness.Press(OnScreen({8, 160}));
             pump();
             advance(400);
             advance(50);
             harness.Release(OnScreen({8, 160}));
         },
         {{SB_PAGEDOWN, 0, 50}, {SB_PAGEDOWN, 0, 50}, {SB_PAGEDOWN, 0, 50}, {SB_ENDSCROLL, 0, 50}}},
        {"thumb drag",
         [&] {
             harness.Press(OnScreen({8, 110}));
             // 27 pixels down: 82 + 27 = 109 of 134, position 109 * 81 / 134 = 65.9.
             harness.MoveTo(OnScreen({8, 137}));
             harness.MoveTo(OnScreen({30, 137}));
             harness.Release(OnScreen({30, 137}));
         },
         {{SB_THUMBTRACK, 50, 50}, {SB_THUMBTRACK, 66, 66}, {SB_THUMBPOSITION, 66, 66}, {SB_ENDSCROLL, 0, 50}}},
        {"thumb dragged past the end",
         [&] {
             harness.Press(OnScreen({8, 110}));
             harness.MoveTo(OnScreen({8, 400}));
             harness.Release(OnScreen({8, 400}));
         },
         {{SB_THUMBTRACK, 50, 50}, {SB_THUMBTRACK, 81, 81}, {SB_THUMBPOSITION, 81, 81}, {SB_ENDSCROLL, 0, 50}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        notices.clear();
        c.act();
        pump();
        EXPECT_EQ(Steps(), c.steps);
        EXPECT_EQ(GetScrollPos(bar, SB_CTL), 50) << "the owner moves the position, not the bar";
        EXPECT_EQ(GetCapture(), nullptr);
    }
}

TEST_F(ScrollBarTest, ADraggedThumbFollowsTheTrackAndAHeldTroughStopsUnderThePointer)
{
    // The owner follows every request, as the toolkit's bar does.
    react = [&](UINT, WPARAM wParam, LPARAM) {
        int position = GetScrollPos(bar, SB_CTL);
        SCROLLINFO info = Info(SIF_TRACKPOS);
        GetScrollInfo(bar, SB_CTL, &info);
        switch (LOWORD(wParam)) {
        case SB_PAGEDOWN:
            SetScrollPos(bar, SB_CTL, position + 20, TRUE);
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            SetScrollPos(bar, SB_CTL, info.nTrackPos, TRUE);
            break;
        default:
            break;
        }
    };
    const uint64_t thumb = OpaquePixel(GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(PixelAt(bar, {8, 100}), thumb);
    harness.Press(OnScreen({8, 110}));
    harness.MoveTo(OnScreen({8, 140}));
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_NE(PixelAt(bar, {8, 100}), thumb) << "the thumb left";
    harness.Release(OnScreen({8, 140}));
    ASSERT_TRUE(harness.PumpUntilIdle());
    int dragged = GetScrollPos(bar, SB_CTL);
    EXPECT_GT(dragged, 50);

    // From 0, pages of 20 toward a pointer at 150 px: at position 60 the thumb (32 px, starting at
    // 17 + 60 * 134 / 81) spans 116-147, still above it; at 80 it spans 149-180 and covers it, so
    // the repeats stop there.
    SetScrollPos(bar, SB_CTL, 0, TRUE);
    notices.clear();
    harness.Press(OnScreen({8, 150}));
    ASSERT_TRUE(harness.PumpUntilIdle());
    for (int i = 0; i < 10; ++i) {
        harness.Advance(i == 0 ? 400 : 50);
        ASSERT_TRUE(harness.PumpUntilIdle());
    }
    harness.Release(OnScreen({8, 150}));
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(Codes(), (std::vector<WORD>{SB_PAGEDOWN, SB_PAGEDOWN, SB_PAGEDOWN, SB_PAGEDOWN, SB_ENDSCROLL}));
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 80);
}

TEST_F(ScrollBarTest, AGestureEndsWhenTheCaptureGoesOrTheBarDies)
{
    harness.Press(OnScreen({8, 110}));
    ASSERT_TRUE(harness.PumpUntilIdle());
    notices.clear();
    SetCapture(parent);
    EXPECT_EQ(Codes(), (std::vector<WORD>{SB_THUMBPOSITION, SB_ENDSCROLL}));
    ReleaseCapture();
    harness.Release(OnScreen({8, 110}));
    ASSERT_TRUE(harness.PumpUntilIdle());

    // A handler that destroys the bar hears nothing more from it: no SB_ENDSCROLL after the
    // position of a drag, no repeats of an arrow. (The capture leaving the dying arrow, while its
    // handle still lives, ends that gesture.)
    struct Case {
        POINT press;
        WORD fatal;
        std::vector<WORD> codes;
    };
    const Case cases[] = {{{8, 110}, SB_THUMBPOSITION, {SB_THUMBTRACK, SB_THUMBPOSITION}},
                          {{8, 195}, SB_LINEDOWN, {SB_LINEDOWN, SB_ENDSCROLL}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fatal);
        react = [&](UINT, WPARAM wParam, LPARAM lParam) {
            if (LOWORD(wParam) == c.fatal)
                DestroyWindow(reinterpret_cast<HWND>(lParam));
        };
        notices.clear();
        harness.Press(OnScreen(c.press));
        ASSERT_TRUE(harness.PumpUntilIdle());
        harness.Advance(1000);
        ASSERT_TRUE(harness.PumpUntilIdle());
        harness.Release(OnScreen(c.press));
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(Codes(), c.codes);
        EXPECT_FALSE(IsWindow(bar));
        EXPECT_EQ(GetCapture(), nullptr);
        bar = Control(u"SCROLLBAR", SBS_VERT, {20, 20, 37, 220});
        SCROLLINFO info = Info(SIF_RANGE | SIF_PAGE | SIF_POS, 0, 100, 20, 50);
        SetScrollInfo(bar, SB_CTL, &info, TRUE);
    }
}

TEST_F(ScrollBarTest, ScrollInfoKeepsTheRangePageAndPositionInBounds)
{
    struct Case {
        const char* name;
        SCROLLINFO set;
        int answer;
        SCROLLINFO read;
    };
    const Case cases[] = {
        {"a position past the reachable end", {sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 95, 0}, 81, {0, 0, 0, 100, 20, 81, 81}},
        {"a page beyond the range", {sizeof(SCROLLINFO), SIF_PAGE, 0, 0, 500, 0, 0}, 0, {0, 0, 0, 100, 101, 0, 0}},
        {"a maximum below the minimum", {sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 10, 5, 0, 3, 0}, 10,
         {0, 0, 10, 10, 0, 10, 10}},
        {"the whole 32-bit range", {sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, INT_MIN, INT_MAX, UINT_MAX, INT_MAX, 0},
         INT_MIN + 1, {0, 0, INT_MIN, INT_MAX, UINT_MAX, INT_MIN + 1, INT_MIN + 1}},
        {"a range that cuts the page and the position", {sizeof(SCROLLINFO), SIF_RANGE, -50, -40, 0, 0, 0}, -50,
         {0, 0, -50, -40, 11, -50, -50}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SetScrollInfo(bar, SB_CTL, &c.set, TRUE), c.answer);
        SCROLLINFO read = Info(SIF_ALL);
        ASSERT_TRUE(GetScrollInfo(bar, SB_CTL, &read));
        EXPECT_EQ(read.nMin, c.read.nMin);
        EXPECT_EQ(read.nMax, c.read.nMax);
        EXPECT_EQ(read.nPage, c.read.nPage);
        EXPECT_EQ(read.nPos, c.read.nPos);
        EXPECT_EQ(read.nTrackPos, c.read.nTrackPos);
        EXPECT_TRUE(harness.PumpUntilIdle()) << "paints";
        // Back to 0-100, page 20, position 0 for the next case.
        SCROLLINFO reset = Info(SIF_RANGE | SIF_PAGE | SIF_POS, 0, 100, 20, 0);
        SetScrollInfo(bar, SB_CTL, &reset, FALSE);
    }
    SCROLLINFO noPage = Info(SIF_PAGE);
    SetScrollInfo(bar, SB_CTL, &noPage, TRUE);
    EXPECT_TRUE(SetScrollRange(bar, SB_CTL, 0, 10, TRUE));
    EXPECT_EQ(SetScrollPos(bar, SB_CTL, 7, TRUE), 0) << "the previous position";
    EXPECT_EQ(SetScrollPos(bar, SB_CTL, 70, TRUE), 7);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 10);

    SetLastError(0);
    EXPECT_EQ(SetScrollPos(bar, SB_VERT, 1, TRUE), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << "only SB_CTL";
    SCROLLINFO wrongSize = Info(SIF_ALL);
    wrongSize.cbSize += 4;
    EXPECT_FALSE(GetScrollInfo(bar, SB_CTL, &wrongSize));
}

// --- Combobox ---

// A combobox with four items, "Banana" selected and focused; the parent records what it hears (and
// the selection at each CBN_SELCHANGE).
class ComboBoxTest : public ControlsTest {
protected:
    ComboBoxTest()
    {
        combo = Control(u"COMBOBOX", WS_TABSTOP | CBS_DROPDOWNLIST | CBS_HASSTRINGS, {20, 20, 180, 44});
        for (const char16_t* item : {u"Apple", u"Banana", u"Cherry", u"Blueberry"})
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        react = [this](UINT message, WPARAM wParam, LPARAM) {
            if (message == WM_COMMAND && HIWORD(wParam) == CBN_SELCHANGE)
                selectionSeen = SendMessageW(combo, CB_GETCURSEL, 0, 0);
        };
        Reset();
    }

    void Reset()
    {
        SendMessageW(combo, CB_SETCURSEL, 1, 0);
        SetFocus(combo);
        harness.PumpUntilIdle();
        notices.clear();
        selectionSeen = -2;
    }

    std::vector<WORD> Notifications() const
    {
        std::vector<WORD> codes;
        for (const Notice& n : notices) {
            if (n.message == WM_COMMAND && n.from == combo)
                codes.push_back(n.high);
        }
        return codes;
    }

    void Open()
    {
        harness.Click(combo, {10, 10});
        harness.PumpUntilIdle();
    }

    // The centre of a row of the open list (which holds the capture), counted from its first row shown.
    POINT Row(int shownRow, int shownRows = 4)
    {
        RECT list = {};
        GetWindowRect(GetCapture(), &list);
        int height = (list.bottom - list.top - 2) / shownRows;
        return {(list.left + list.right) / 2, list.top + 1 + shownRow * height + height / 2};
    }

    void Key(UINT key)
    {
        harness.KeyDown(key);
        harness.KeyUp(key);
    }

    HWND combo = nullptr;
    LRESULT selectionSeen = -2;
};

TEST_F(ComboBoxTest, TheSelectionChangesByTheListOrTheKeysAndIsTold)
{
    HWND elsewhere = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {700, 100, 900, 300});
    SetActiveWindow(parent);
    const WORD drop = CBN_DROPDOWN;
    const WORD change = CBN_SELCHANGE;
    const WORD closeUp = CBN_CLOSEUP;
    struct Case {
        const char* name;
        std::function<void()> act;
        std::vector<WORD> codes;
        LRESULT selection;
    };
    const Case cases[] = {
        {"a click on another row", [&] { Open(); harness.Click(Row(2)); }, {drop, change, closeUp}, 2},
        {"a click on the selected row", [&] { Open(); harness.Click(Row(1)); }, {drop, closeUp}, 1},
        {"Down and Enter in the list", [&] { Open(); Key(VK_DOWN); Key(VK_RETURN); }, {drop, change, closeUp}, 2},
        {"Down and Escape in the list", [&] { Open(); Key(VK_DOWN); Key(VK_ESCAPE); }, {drop, closeUp}, 1},
        {"a click outside", [&] { Open(); harness.Click(parent, {300, 300}); }, {drop, closeUp}, 1},
        {"a click on the box again", [&] { Open(); harness.Click(combo, {10, 10}); }, {drop, closeUp}, 1},
        {"capture loss", [&] { Open(); SetCapture(parent); }, {drop, closeUp}, 1},
        {"the owner deactivated", [&] { Open(); SetActiveWindow(elsewhere); }, {drop, closeUp}, 1},
        {"Down on the closed box", [&] { Key(VK_DOWN); }, {change}, 2},
        {"Up on the closed box", [&] { Key(VK_UP); }, {change}, 0},
        {"Down at the last item",
         [&] {
             SendMessageW(combo, CB_SETCURSEL, 3, 0);
             Key(VK_DOWN);
         },
         {}, 3},
        {"a letter: the next item starting with it", [&] { harness.Type(u"b"); }, {change}, 3},
        {"the wheel", [&] { harness.Wheel(Row(0), -1); }, {}, 1},
        {"CB_SETCURSEL", [&] { EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 0, 0), 0); }, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        harness.Spy().Clear();
        c.act();
        harness.PumpUntilIdle();
        EXPECT_EQ(Notifications(), c.codes);
        EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), c.selection);
        bool changed = std::find(c.codes.begin(), c.codes.end(), change) != c.codes.end();
        EXPECT_EQ(selectionSeen, changed ? c.selection : -2) << "the selection is new when the parent hears of it";
        EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
        // The press outside did not reach the window under it, and the wheel did not go up to it.
        for (const auto& e : harness.Spy().Only({WM_LBUTTONDOWN, WM_MOUSEWHEEL}))
            EXPECT_NE(e.hwnd, parent) << std::hex << e.message;
        ReleaseCapture();
        SetActiveWindow(parent);
    }
    // Out of range selects none.
    EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 4, 0), CB_ERR);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0), CB_ERR);
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(SendMessageW(combo, CB_RESETCONTENT, 0, 0), CB_OKAY);
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 0);
    EXPECT_TRUE(notices.empty());
}

TEST_F(ComboBoxTest, TheListShowsItsMinimumRowsInTheParentsColoursAndKeepsTheHighlightInView)
{
    EXPECT_EQ(SendMessageW(combo, CB_GETMINVISIBLE, 0, 0), 30);
    EXPECT_FALSE(SendMessageW(combo, CB_SETMINVISIBLE, 0, 0));
    EXPECT_TRUE(SendMessageW(combo, CB_SETMINVISIBLE, 2, 0));
    EXPECT_EQ(SendMessageW(combo, CB_GETMINVISIBLE, 0, 0), 2);
    SendMessageW(combo, CB_SETCURSEL, 3, 0);
    EXPECT_EQ(SendMessageW(combo, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS, 0);
    answerBrush = GetSysColorBrush(COLOR_INFOBK);
    answerText = RGB(200, 0, 0);
    harness.Texts().Clear();
    colorAsked.clear();
    ASSERT_TRUE(SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0));
    harness.PumpUntilIdle();
    HWND list = GetCapture();
    ASSERT_NE(list, nullptr);
    EXPECT_NE(SendMessageW(combo, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS, 0) << "Enter and Escape go to the list";
    // Two rows of the test face (13 pixels a line, a pixel apart above and below) in a frame, as
    // wide as the box and right below it.
    RECT box;
    RECT dropped;
    GetWindowRect(combo, &box);
    GetWindowRect(list, &dropped);
    EXPECT_EQ(dropped, (RECT{box.left, box.bottom, box.right, box.bottom + 2 * 15 + 2}));
    auto shown = [&] {
        std::vector<std::u16string> rows;
        for (const DrawnText& t : harness.Texts().Entries()) {
            if (t.window == list)
                rows.push_back(t.text);
        }
        harness.Texts().Clear();
        return rows;
    };
    std::vector<DrawnText> first = harness.Texts().Entries();
    EXPECT_EQ(shown(), (std::vector<std::u16string>{u"Cherry", u"Blueberry"}));
    EXPECT_NE(std::find(colorAsked.begin(), colorAsked.end(), WM_CTLCOLORLISTBOX), colorAsked.end());
    for (const DrawnText& t : first) {
        if (t.window == list && t.text == u"Cherry") {
            EXPECT_EQ(t.color, answerText);
        }
        if (t.window == list && t.text == u"Blueberry") {
            EXPECT_EQ(t.color, GetSysColor(COLOR_HIGHLIGHTTEXT)) << "the selected row is highlighted";
        }
    }
    EXPECT_EQ(PixelAt(list, {150, 5}), OpaquePixel(GetSysColor(COLOR_INFOBK)));
    EXPECT_EQ(PixelAt(list, {150, 20}), OpaquePixel(GetSysColor(COLOR_HIGHLIGHT)));
    for (int i = 0; i < 3; ++i)
        Key(VK_UP);
    harness.PumpUntilIdle();
    EXPECT_EQ(shown(), (std::vector<std::u16string>{u"Apple", u"Banana"}));
    Key(VK_ESCAPE);
    harness.PumpUntilIdle();
    EXPECT_FALSE(IsWindow(list));
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 3);
    // The box shows the selection.
    harness.Texts().Clear();
    InvalidateRect(combo, nullptr, FALSE);
    harness.PumpUntilIdle();
    ASSERT_FALSE(harness.Texts().Entries().empty());
    EXPECT_EQ(harness.Texts().Entries().back().text, u"Blueberry");
    EXPECT_EQ(harness.Texts().Entries().back().window, combo);
}

TEST_F(ComboBoxTest, DestroyingTheBoxOrItsWindowTakesAnOpenListDown)
{
    Open();
    HWND list = GetCapture();
    ASSERT_NE(list, nullptr);
    DestroyWindow(combo);
    EXPECT_FALSE(IsWindow(list));
    EXPECT_EQ(GetCapture(), nullptr);
    harness.PumpUntilIdle();
    // It lost the focus first, which closes the list as any cancellation does.
    EXPECT_EQ(Notifications(), (std::vector<WORD>{CBN_DROPDOWN, CBN_CLOSEUP}));

    HWND top = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {600, 100, 900, 300});
    HWND second = CreateWindowExW(0, u"COMBOBOX", u"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 10, 10, 100, 24,
                                  top, nullptr, harness.Instance(), nullptr);
    SendMessageW(second, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"One"));
    SendMessageW(second, CB_SHOWDROPDOWN, TRUE, 0);
    list = GetCapture();
    ASSERT_NE(list, nullptr);
    DestroyWindow(top);
    EXPECT_FALSE(IsWindow(list));
    EXPECT_TRUE(harness.PumpUntilIdle());
}

// --- The embedded list ---

// The list inside a window (the chooser's): 20 rows, 5 shown, several allowed with Ctrl.
class EmbeddedListTest : public ControlsTest {
protected:
    EmbeddedListTest()
    {
        win32::controls::EmbeddedListSetup setup;
        setup.parent = parent;
        setup.id = 9;
        setup.rect = {20, 20, 220, 20 + 5 * 15 + 2};
        for (int i = 0; i < 20; ++i)
            setup.rows.push_back(u"Row " + std::u16string(1, static_cast<char16_t>(u'A' + i)));
        setup.multiple = true;
        setup.font = testFace;
        setup.selectionChanged = [this](int row) { changed.push_back(row); };
        setup.picked = [this](int row) { picked.push_back(row); };
        list = win32::controls::CreateEmbeddedList(std::move(setup));
        EXPECT_NE(list, nullptr);
        harness.PumpUntilIdle();
    }

    // The centre of a shown row (0 the first shown) on the screen.
    POINT Row(int shownRow)
    {
        POINT point = {100, 1 + shownRow * 15 + 7};
        ClientToScreen(list, &point);
        return point;
    }

    std::u16string Shown()
    {
        harness.Texts().Clear();
        InvalidateRect(list, nullptr, FALSE);
        UpdateWindow(list);
        std::u16string letters;
        for (const DrawnText& t : harness.Texts().Entries()) {
            if (t.window == list)
                letters += t.text.back();
        }
        return letters;
    }

    void Key(UINT key)
    {
        harness.KeyDown(key);
        harness.KeyUp(key);
        harness.PumpUntilIdle();
    }

    HWND list = nullptr;
    std::vector<int> changed;
    std::vector<int> picked;
};

TEST_F(EmbeddedListTest, AClickSelectsWithoutCaptureCtrlAddsAndADoubleClickPicks)
{
    using win32::controls::EmbeddedListSelection;
    EXPECT_EQ(Shown(), u"ABCDE");
    harness.Press(Row(1));
    harness.PumpUntilIdle();
    EXPECT_EQ(GetCapture(), nullptr) << "an embedded list never holds the capture";
    EXPECT_EQ(GetFocus(), list);
    harness.Release(Row(1));
    harness.Advance(1000);
    harness.Click(Row(1));
    harness.PumpUntilIdle();
    EXPECT_EQ(EmbeddedListSelection(list), (std::vector<int>{1}));
    EXPECT_EQ(changed, (std::vector<int>{1})) << "a click on the selected row tells nothing";

    harness.KeyDown(VK_CONTROL);
    harness.Click(Row(3));
    harness.Click(Row(4));
    harness.Advance(1000);
    harness.Click(Row(3));
    harness.KeyUp(VK_CONTROL);
    harness.PumpUntilIdle();
    EXPECT_EQ(EmbeddedListSelection(list), (std::vector<int>{1, 4}));
    EXPECT_EQ(changed, (std::vector<int>{1, 3, 4, 3}));
    EXPECT_TRUE(picked.empty());

    harness.Advance(1000);
    harness.DoubleClick(list, {100, 2 * 15 + 8});
    harness.PumpUntilIdle();
    EXPECT_EQ(EmbeddedListSelection(list), (std::vector<int>{2}));
    EXPECT_EQ(picked, (std::vector<int>{2}));
    EXPECT_EQ(SendMessageW(list, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_WANTCHARS)
        << "the dialog keeps Enter and Escape";
    EXPECT_TRUE(notices.empty()) << "the parent hears through the callbacks only";
}

TEST_F(EmbeddedListTest, TheWheelAndTheKeysScrollAndNewRowsStartAfresh)
{
    using win32::controls::EmbeddedListSelection;
    harness.Wheel(Row(0), -1);
    harness.PumpUntilIdle();
    EXPECT_EQ(Shown(), u"DEFGH");
    EXPECT_TRUE(changed.empty()) << "scrolling selects nothing";
    harness.Wheel(Row(0), -10);
    harness.PumpUntilIdle();
    EXPECT_EQ(Shown(), u"PQRST") << "no further than the last row";
    for (const auto& e : harness.Spy().Only({WM_MOUSEWHEEL}))
        EXPECT_NE(e.hwnd, parent) << "the list keeps the wheel";

    SetFocus(list);
    struct Case {
        UINT key;
        int row;
        const char16_t* shown;
    };
    const Case cases[] = {
        {VK_HOME, 0, u"ABCDE"}, {VK_DOWN, 1, u"ABCDE"}, {VK_NEXT, 5, u"BCDEF"},
        {VK_END, 19, u"PQRST"}, {VK_UP, 18, u"PQRST"},  {VK_PRIOR, 14, u"OPQRS"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        Key(c.key);
        EXPECT_EQ(EmbeddedListSelection(list), (std::vector<int>{c.row}));
        EXPECT_EQ(changed.back(), c.row);
        EXPECT_EQ(Shown(), c.shown);
    }
    harness.Type(u"c");
    harness.PumpUntilIdle();
    EXPECT_EQ(EmbeddedListSelection(list), (std::vector<int>{14})) << "no row starts with 'c'";
    harness.Type(u"r");
    harness.PumpUntilIdle();
    EXPECT_EQ(EmbeddedListSelection(list), (std::vector<int>{15}));

    changed.clear();
    win32::controls::SetEmbeddedListRows(list, {u"One", u"Two"});
    EXPECT_TRUE(EmbeddedListSelection(list).empty());
    EXPECT_EQ(Shown(), u"eo");
    EXPECT_TRUE(changed.empty());
    DestroyWindow(parent);
    EXPECT_FALSE(IsWindow(list));
    EXPECT_TRUE(EmbeddedListSelection(list).empty());
}

// --- Stale handles ---

TEST_F(ControlsTest, CallsOnDestroyedControlsFailHarmlessly)
{
    HWND button = Control(u"button", BS_AUTOCHECKBOX, {10, 10, 90, 30});
    HWND bar = Control(u"SCROLLBAR", SBS_HORZ, {10, 40, 200, 57});
    HWND progress = Control(u"msctls_progress32", PBS_MARQUEE, {10, 60, 200, 80});
    SendMessageW(progress, PBM_SETMARQUEE, TRUE, 0);
    for (HWND hwnd : {button, bar, progress})
        DestroyWindow(hwnd);
    SetLastError(0);
    EXPECT_EQ(SendMessageW(button, BM_CLICK, 0, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(SendMessageW(button, BM_GETCHECK, 0, 0), 0);
    EXPECT_EQ(SendMessageW(progress, PBM_SETPOS, 5, 0), 0);
    EXPECT_EQ(SetScrollPos(bar, SB_CTL, 5, TRUE), 0);
    EXPECT_FALSE(SetScrollRange(bar, SB_CTL, 0, 5, TRUE));
    SCROLLINFO info = Info(SIF_ALL);
    EXPECT_FALSE(GetScrollInfo(bar, SB_CTL, &info));
    EXPECT_EQ(SetScrollInfo(bar, SB_CTL, &info, TRUE), 0);
    harness.Advance(100);
    EXPECT_TRUE(harness.PumpUntilIdle()) << "the marquee's timer went with its window";
    EXPECT_TRUE(notices.empty());
}

} // namespace
