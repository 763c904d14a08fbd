#include "toolkit/UICustomControl.h"

#include "ToolkitWindowTesting.h"
#include "foundation/CXDebug.h"
#include "toolkit/UIAppearance.h"
#include "toolkit/UIUserActionEvent.h"
#include "win32/testing/Pixels.h"
#include "win32/user/Paint.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <set>

namespace toolkittest {
namespace {

using win32::testing::OpaquePixel;

constexpr CXColor kRed{1.0f, 0.0f, 0.0f, 1.0f};
constexpr CXColor kGreen{0.0f, 1.0f, 0.0f, 1.0f};
constexpr CXColor kBlue{0.0f, 0.0f, 1.0f, 1.0f};

uint64_t PixelOf(const CXColor& color)
{
    return OpaquePixel(color.ToColorRef() & 0xFFFFFFu);
}

std::string Point(Vector2i point)
{
    return std::to_string(point.x) + "," + std::to_string(point.y);
}

// A custom control that records what reaches it as "<label>:<what>" lines and otherwise behaves as
// the base does. A fill colour makes Draw paint the whole visible content first.
class Probe : public UICustomControl {
public:
    Probe(const char* label, std::vector<std::string>* trace, Box2i frame, int32_t hint = 0)
        : fLabel(label)
        , fTrace(trace)
    {
        SetCompositingHint(hint);
        SetLayout(frame.left, frame.top, frame.right, frame.bottom, 0, 0);
    }

    CXResultCode HandleMessage(const CXMessage& message) override
    {
        if (message.GetName() == "action-event") {
            const auto& event = static_cast<const CXMessageUserActionEvent&>(message);
            Record("action " + std::to_string(event.descriptor) + " c" + std::to_string(event.code) + " m" +
                   std::to_string(event.modifiers) + " @" + Point(event.position) + " d" + Point(event.delta));
        }
        return UICustomControl::HandleMessage(message);
    }
    bool HandleMouse(Vector2i point, int32_t modifiers, int32_t phase) override
    {
        Record("mouse " + Point(point) + " m" + std::to_string(modifiers) + " p" + std::to_string(phase));
        if (phase == kMousePress && onPress) {
            onPress();
            return true;
        }
        return UICustomControl::HandleMouse(point, modifiers, phase);
    }
    bool HandleContextClick(Vector2i point, Vector2i screen) override
    {
        Record("context " + Point(point) + " screen " + Point(screen));
        return UICustomControl::HandleContextClick(point, screen);
    }
    bool HandleWheel(const UIScrollWheelEvent& wheel) override
    {
        Record("wheel " + Point(wheel.point) + " px " + Point(wheel.pixelStep) + " lines " + Point(wheel.lineStep));
        return UICustomControl::HandleWheel(wheel);
    }
    bool HandleText(const char16_t* text, int32_t byteLength, int32_t modifiers) override
    {
        std::string units;
        for (int32_t i = 0; i < byteLength / 2; ++i) {
            char hex[8];
            std::snprintf(hex, sizeof(hex), "%s%04X", i == 0 ? "" : " ", static_cast<unsigned>(text[i]));
            units += hex;
        }
        Record("text " + units + " m" + std::to_string(modifiers) + (text[byteLength / 2] == 0 ? "" : " unterminated"));
        return UICustomControl::HandleText(text, byteLength, modifiers);
    }
    bool HandleKey(int32_t virtualKey, int32_t flags) override
    {
        Record("key " + std::to_string(virtualKey) + " f" + std::to_string(flags));
        return false;
    }
    void GotKeyboardFocus() override { Record("got focus"); }
    void FocusLost() override
    {
        Record("lost focus");
        UICustomControl::FocusLost();
    }
    void MouseEnteredHook(Vector2i point) override { Record("entered " + Point(point)); }
    void MouseExited() override
    {
        Record("exited");
        UICustomControl::MouseExited();
    }
    void SetAppearingActive(bool active) override
    {
        Record(active ? "active" : "inactive");
        UICustomControl::SetAppearingActive(active);
    }
    void UpdateDropRegistration() override { Record("drop registration"); }
    void Draw(RazaGraf& graf) override
    {
        ++draws;
        if (drawSelf) {
            drawSelf(graf);
            return;
        }
        UICustomControl::Draw(graf);
    }

    std::function<void()> onPress;
    std::function<void(RazaGraf&)> drawSelf;
    int draws = 0;

private:
    void Record(const std::string& what)
    {
        if (fTrace != nullptr)
            fTrace->push_back(fLabel + ":" + what);
    }

    std::string fLabel;
    std::vector<std::string>* fTrace;
};

class UICustomControlTest : public WindowElementTest {
protected:
    // A window with a windowed probe "c" at {20, 30, 220, 130} of its client area.
    Probe* MakeProbeInWindow(CXUIWindow*& window, int32_t hint = 0, Box2i frame = {20, 30, 220, 130, false},
                             const char* label = "c")
    {
        window = MakeWindow();
        auto* probe = new Probe(label, &trace, frame, hint);
        probe->Init();
        window->AddChild(probe, nullptr);
        EXPECT_TRUE(harness.PumpUntilIdle());
        return probe;
    }

    static POINT Screen(HWND hwnd, POINT client)
    {
        ClientToScreen(hwnd, &client);
        return client;
    }

    // The trace lines that start with one of the prefixes (after the label).
    std::vector<std::string> Only(const std::vector<std::string>& prefixes) const
    {
        std::vector<std::string> lines;
        for (const std::string& line : trace) {
            const std::string what = line.substr(line.find(':') + 1);
            for (const std::string& prefix : prefixes) {
                if (what.rfind(prefix, 0) == 0) {
                    lines.push_back(line);
                    break;
                }
            }
        }
        return lines;
    }

    std::vector<std::string> trace;
};

// --- The window procedure ---

TEST_F(UICustomControlTest, MousePhasesFollowTheCaptureBits)
{
    CXUIWindow* window = nullptr;
    Probe* probe = MakeProbeInWindow(window);
    HWND handle = probe->GetNativeHandle();
    ASSERT_NE(handle, nullptr);
    // Another window that takes the capture in the middle of a press, as a menu would.
    CXUIWindow* other = MakeWindow({600, 150, 700, 250, false});
    auto at = [&](POINT client) { return Screen(handle, client); };
    const POINT rightAt = at({12, 14});

    struct Case {
        const char* what;
        std::function<void()> act;
        std::vector<std::string> expected;
        bool captureAfter;
    };
    const Case cases[] = {
        {"press, drag, release",
         [&] {
             harness.MoveTo(at({10, 10}));
             harness.Press(at({10, 10}));
             harness.MoveTo(at({50, 20}));
             harness.Release(at({50, 20}));
         },
         {"c:mouse 10,10 m0 p0", "c:action 2 c0 m0 @10,10 d0,0", "c:mouse 50,20 m0 p2", "c:mouse 50,20 m0 p4",
          "c:action 3 c0 m0 @50,20 d0,0"},
         false},
        {"shift held", [&] {
             harness.KeyDown(VK_LSHIFT);
             harness.Click(at({5, 6}));
             harness.KeyUp(VK_LSHIFT);
         },
         {"c:mouse 5,6 m2 p0", "c:mouse 5,6 m2 p4"}, false},
        {"double click", [&] { harness.DoubleClick(handle, {7, 8}); },
         {"c:mouse 7,8 m0 p0", "c:mouse 7,8 m0 p4", "c:mouse 7,8 m0 p1", "c:mouse 7,8 m0 p4"}, false},
        // The right press takes no capture of its own; the release of the left one keeps it.
        {"right press under a left capture",
         [&] {
             harness.Press(at({10, 10}));
             harness.Press(at({12, 14}), VK_RBUTTON);
             harness.Release(at({12, 14}));
         },
         {"c:mouse 10,10 m0 p0", "c:context 12,14 screen " + Point({rightAt.x, rightAt.y}), "c:mouse 12,14 m0 p4"},
         true},
        {"right release", [&] { harness.Release(at({12, 14}), VK_RBUTTON); }, {}, false},
        // The cancel comes at the last point seen, and the next press takes the capture again.
        {"capture taken away",
         [&] {
             harness.Press(at({30, 40}));
             harness.MoveTo(at({35, 45}));
             ASSERT_TRUE(harness.PumpUntilIdle());
             SetCapture(other->GetNativeHandle());
             ReleaseCapture();
             harness.Release(at({35, 45}));
             harness.Press(at({36, 46}));
         },
         {"c:mouse 30,40 m0 p0", "c:mouse 35,45 m0 p2", "c:mouse 35,45 m0 p5", "c:mouse 36,46 m0 p0"}, true},
        {"release after the new press", [&] { harness.Release(at({36, 46})); }, {"c:mouse 36,46 m0 p4"}, false},
        // Held by the capture, points left of and above the window stay negative.
        {"negative points",
         [&] {
             harness.Press(at({4, 4}));
             harness.MoveTo(at({-15, -3}));
             harness.Release(at({-15, -3}));
         },
         {"c:mouse 4,4 m0 p0", "c:mouse -15,-3 m0 p2", "c:mouse -15,-3 m0 p4"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Far apart in time: no click of a case makes a double click with the one before.
        harness.Advance(1000);
        trace.clear();
        c.act();
        ASSERT_TRUE(harness.PumpUntilIdle());
        const std::vector<std::string> expected = c.expected;
        if (std::string(c.what) == "press, drag, release") {
            EXPECT_EQ(Only({"mouse", "action 2", "action 3"}), expected);
        } else {
            EXPECT_EQ(Only({"mouse", "context"}), expected);
        }
        EXPECT_EQ(GetCapture() == handle, c.captureAfter);
    }
    other->Destroy();
    window->Destroy();
}

TEST_F(UICustomControlTest, AControlDestroyedByItsPressSendsNothingMore)
{
    CXUIWindow* window = nullptr;
    Probe* probe = MakeProbeInWindow(window);
    HWND handle = probe->GetNativeHandle();
    CXSafePointer<UIElement> alive(probe);
    probe->onPress = [probe] { probe->Destroy(); };
    harness.Click(Screen(handle, {10, 10}));
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_FALSE(alive);
    EXPECT_EQ(trace, (std::vector<std::string>{"c:mouse 10,10 m0 p0"}));
    EXPECT_EQ(GetCapture(), nullptr);
    window->Destroy();
}

TEST_F(UICustomControlTest, WheelTurnsBecomeWholeStepsAtTheContentPoint)
{
    CXUIWindow* window = nullptr;
    Probe* probe = MakeProbeInWindow(window);
    HWND handle = probe->GetNativeHandle();
    probe->redrawOnScroll = 1;
    probe->SetContentOrigin({0, 100});
    struct Case {
        const char* what;
        UINT linesPerNotch;
        int delta;
        bool horizontal;
        std::string expected;
    };
    const Case cases[] = {
        {"a notch forward", 3, 120, false, "c:wheel 10,110 px 0,16 lines 0,3"},
        {"a notch back", 3, -120, false, "c:wheel 10,110 px 0,-16 lines 0,-3"},
        {"a half notch", 3, 60, false, "c:wheel 10,110 px 0,8 lines 0,2"},
        {"another half notch", 3, 60, false, "c:wheel 10,110 px 0,8 lines 0,1"},
        {"no lines per notch", 0, 120, false, "c:wheel 10,110 px 0,16 lines 0,0"},
        {"horizontal", 3, -120, true, "c:wheel 10,110 px -16,0 lines -1,0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        trace.clear();
        harness.Backend().MutableMetrics().wheelScrollLines = c.linesPerNotch;
        harness.WheelDelta(Screen(handle, {10, 10}), c.delta, c.horizontal);
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(trace, (std::vector<std::string>{c.expected}));
    }
    window->Destroy();
}

TEST_F(UICustomControlTest, TypedCharactersAndKeys)
{
    CXUIWindow* window = nullptr;
    Probe* probe = MakeProbeInWindow(window);
    HWND handle = probe->GetNativeHandle();
    probe->SetFocus();
    ASSERT_EQ(GetFocus(), handle);
    EXPECT_TRUE(probe->HasFocus());

    struct Case {
        const char* what;
        std::function<void()> act;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {"an emoji is one text", [&] { harness.Type(u"a\U0001F600b"); },
         {"c:text 0061 m0", "c:text D83D DE00 m0", "c:text 0062 m0"}},
        // A unit without its other half is never handed on; the character after it is.
        {"a lone high surrogate", [&] { harness.Type(u"\xD83D" u"b"); }, {"c:text 0062 m0"}},
        {"a lone low surrogate", [&] { harness.Type(u"\xDE00"); }, {}},
        {"a high surrogate before losing the focus",
         [&] {
             harness.Type(u"\xD83D");
             ASSERT_TRUE(harness.PumpUntilIdle());
             win32::SetFocus(window->GetNativeHandle());
             probe->SetFocus();
             harness.Type(u"\xDE00");
         },
         {}},
        {"a navigation key also types",
         [&] {
             harness.KeyDown(VK_LEFT);
             harness.KeyUp(VK_LEFT);
         },
         {"c:text 001C m0"}},
        {"Delete with Shift", [&] {
             harness.KeyDown(VK_LSHIFT);
             harness.KeyDown(VK_DELETE);
             harness.KeyUp(VK_DELETE);
             harness.KeyUp(VK_LSHIFT);
         },
         {"c:text 007F m2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        trace.clear();
        c.act();
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(Only({"text"}), c.texts);
    }

    // A key reaches HandleKey after its action event, down and up.
    trace.clear();
    harness.KeyDown('Q');
    harness.KeyUp('Q');
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(Only({"key", "action"}),
              (std::vector<std::string>{"c:action 4 c81 m0 @0,0 d0,0", "c:key 81 f1024", "c:action 5 c81 m0 @0,0 d0,0",
                                        "c:key 81 f2048"}));

    // Dialog code, and the cursor question put to the element chain.
    EXPECT_EQ(SendMessageW(handle, WM_GETDLGCODE, 0, 0), 0x85);
    CXResultCode cursorAnswer = kCXOK;
    std::vector<std::string> asked;
    window->AddMessageHandler([&](const CXMessage& message) {
        asked.push_back(message.GetName().c_str());
        return cursorAnswer;
    });
    EXPECT_EQ(SendMessageW(handle, WM_SETCURSOR, reinterpret_cast<WPARAM>(handle), 0), 1);
    cursorAnswer = kCXNotSupported;
    EXPECT_EQ(SendMessageW(handle, WM_SETCURSOR, reinterpret_cast<WPARAM>(handle), 0), 0);
    EXPECT_EQ(asked, (std::vector<std::string>{"set-mouse-cursor", "set-mouse-cursor"}));
    window->Destroy();
}

TEST_F(UICustomControlTest, ActionEventsCarryModifiersAndRepeatWithoutKeyUps)
{
    CXUIWindow* window = nullptr;
    Probe* probe = MakeProbeInWindow(window);
    std::vector<std::string> beyond;
    window->AddMessageHandler([&](const CXMessage& message) {
        beyond.push_back(message.GetName().c_str());
        return kCXNotSupported;
    });
    probe->SetFocus();
    harness.KeyDown(VK_LCONTROL);
    harness.KeyDown(VK_LMENU);
    harness.KeyDown('A');
    harness.KeyUp('A');
    harness.KeyUp(VK_LMENU);
    harness.KeyUp(VK_LCONTROL);
    harness.KeyDown('B');
    harness.KeyDown('B', u"b", true);
    harness.KeyDown('B', u"b", true);
    harness.KeyUp('B');
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(Only({"action"}), (std::vector<std::string>{
                                    "c:action 4 c17 m16 @0,0 d0,0",
                                    "c:action 4 c18 m24 @0,0 d0,0",
                                    "c:action 4 c65 m24 @0,0 d0,0",
                                    "c:action 5 c65 m24 @0,0 d0,0",
                                    "c:action 5 c18 m16 @0,0 d0,0",
                                    "c:action 5 c17 m0 @0,0 d0,0",
                                    "c:action 4 c66 m0 @0,0 d0,0",
                                    "c:action 4 c66 m0 @0,0 d0,0",
                                    "c:action 4 c66 m0 @0,0 d0,0",
                                    "c:action 5 c66 m0 @0,0 d0,0",
                                }));
    // The control consumes them: nothing goes up the chain.
    EXPECT_TRUE(beyond.empty());

    // Other messages go to the control's handlers first, then up the chain.
    std::vector<std::string> order;
    probe->AddMessageHandler([&](const CXMessage&) {
        order.push_back("handler");
        return kCXNotSupported;
    });
    window->AddMessageHandler([&](const CXMessage&) {
        order.push_back("parent");
        return kCXOK;
    });
    EXPECT_EQ(probe->HandleMessage(CXMessage("click", probe)), kCXOK);
    EXPECT_EQ(order, (std::vector<std::string>{"handler", "parent"}));
    order.clear();
    EXPECT_EQ(probe->HandleMessage(CXMessageUserActionEvent(1.0, probe, 4, 'C', 0)), kCXOK);
    EXPECT_TRUE(order.empty());

    // The key constructor refuses nothing, but says when it is given the pointer descriptor.
    CXDebugCapture capture;
    CXMessageUserActionEvent odd(0.5, probe, CXMessageUserActionEvent::kADMouseMoved, 'X', 0x2);
    EXPECT_EQ(odd.descriptor, 1);
    EXPECT_EQ(odd.GetName(), "action-event");
    EXPECT_TRUE(capture.Contains("should not have the kADMouseMoved"));

    struct Name {
        int32_t number;
        const char* name;
    };
    for (const Name& n : {Name{0, "a"}, Name{35, "9"}, Name{36, "tab"}, Name{66, "f12"}, Name{96, "\\"},
                          Name{103, "`"}, Name{106, "option"}}) {
        EXPECT_STREQ(GetKeyName(n.number), n.name) << n.number;
    }
    EXPECT_EQ(GetKeyName(107), nullptr);
    EXPECT_EQ(GetKeyName(-1), nullptr);
    window->Destroy();
}

TEST_F(UICustomControlTest, InputModesReportPointerMotion)
{
    CXUIWindow* window = nullptr;
    Probe* probe = MakeProbeInWindow(window);
    HWND handle = probe->GetNativeHandle();

    // Mode 2: moves without a button, with their deltas in element terms.
    probe->SetInputMode(UICustomControl::kInputPointerMotion);
    harness.MoveTo(Screen(handle, {10, 10}));
    ASSERT_TRUE(harness.PumpUntilIdle());
    trace.clear();
    harness.MoveTo(Screen(handle, {13, 6}));
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(Only({"action"}), (std::vector<std::string>{"c:action 1 c0 m0 @13,6 d3,-4"}));

    // Mode 1 while focused: the cursor is hidden and held at the centre; a far move is reported
    // and the cursor put back.
    CXDebugCapture capture;
    probe->SetFocus();
    probe->SetInputMode(UICustomControl::kInputLowLevel);
    EXPECT_TRUE(capture.Contains("ActivateLowLevelInputMethod()"));
    RECT rect = {};
    GetWindowRect(handle, &rect);
    const POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    POINT cursor = {};
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, centre.x);
    EXPECT_EQ(cursor.y, centre.y);
    EXPECT_EQ(GetCapture(), handle);
    EXPECT_EQ(ShowCursor(TRUE), 0) << "hidden once";
    ShowCursor(FALSE);
    ASSERT_TRUE(harness.PumpUntilIdle());
    trace.clear();
    harness.MoveTo(POINT{centre.x + 60, centre.y});
    ASSERT_TRUE(harness.PumpUntilIdle());
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, centre.x);
    const std::vector<std::string> moves = Only({"action 1"});
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves[0], "c:action 1 c0 m0 @" + Point({centre.x + 60, centre.y}) + " d60,0");

    // Losing the focus ends it: the cursor shows and the capture goes.
    win32::SetFocus(window->GetNativeHandle());
    EXPECT_TRUE(capture.Contains("DeactivateLowLevelInputMethod()"));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(ShowCursor(FALSE), -1) << "shown again";
    ShowCursor(TRUE);
    window->Destroy();
}

// --- Painting ---

TEST_F(UICustomControlTest, HintsDecideWindowAndPainting)
{
    CXUIWindow* window = MakeWindow();
    HWND windowHandle = window->GetNativeHandle();
    // A parent painting green holds a control of each hint.
    auto* parent = new Probe("parent", &trace, {0, 0, 320, 240}, 4);
    parent->Init();
    window->AddChild(parent, nullptr);
    parent->drawSelf = [parent](RazaGraf& graf) {
        graf.FillBox({-1000, -1000, 1000, 1000, false}, kGreen);
        parent->UICustomControl::Draw(graf);
    };
    struct Case {
        int32_t hint;
        bool windowless;
        DWORD style;
        DWORD extendedStyle;
        // The pixel inside the control: its fill, its background, or the parent's green beneath.
        const char* inside;
    };
    const Case cases[] = {
        {0, false, 0x46000000, WS_EX_CONTROLPARENT, "background"},
        {2, false, 0x46000000, WS_EX_CONTROLPARENT, "background"},
        {3, true, 0, 0, "background"},
        {4, false, 0x42000000, WS_EX_CONTROLPARENT | WS_EX_TRANSPARENT, "parent"},
        {5, false, 0x46000000, WS_EX_CONTROLPARENT, "none"},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hint);
        const int top = 10 + 40 * row++;
        auto* probe = new Probe("p", nullptr, {10, top, 60, top + 30}, c.hint);
        parent->AddChild(probe, nullptr);
        probe->Init();
        ASSERT_TRUE(harness.PumpUntilIdle());
        HWND handle = probe->GetNativeHandle();
        EXPECT_EQ(handle == nullptr, c.windowless);
        EXPECT_EQ(probe->IsWindowless(), c.windowless);
        if (handle != nullptr) {
            EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE)) & ~WS_VISIBLE, c.style);
            EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(handle, GWL_EXSTYLE)), c.extendedStyle);
        }
        const win32::testing::ScreenPicture screen = harness.ScreenImage();
        POINT inside = Screen(windowHandle, {20, top + 10});
        const uint64_t pixel = screen.At(inside.x, inside.y);
        const std::string kind = c.inside;
        if (kind == "background") {
            EXPECT_EQ(pixel, PixelOf(probe->GetAppearance()->GetColor()));
        } else if (kind == "parent") {
            EXPECT_EQ(pixel, PixelOf(kGreen));
        }
        EXPECT_EQ(probe->draws > 0, c.hint != 5);
    }
    window->Destroy();
}

TEST_F(UICustomControlTest, AWindowlessChildIsDrawnAndInvalidatedThroughItsParent)
{
    CXUIWindow* window = nullptr;
    Probe* parent = MakeProbeInWindow(window, 0, {20, 30, 220, 130});
    HWND parentHandle = parent->GetNativeHandle();
    auto* child = new Probe("child", &trace, {50, 40, 80, 60}, UICustomControlBase::kWindowlessHint);
    parent->AddChild(child, nullptr);
    child->Init();
    EXPECT_EQ(child->GetNativeHandle(), nullptr);
    // The child paints far beyond its frame: only its frame shows it.
    child->drawSelf = [](RazaGraf& graf) { graf.FillBox({-500, -500, 500, 500, false}, kRed); };
    ASSERT_TRUE(harness.PumpUntilIdle());
    const win32::testing::ScreenPicture screen = harness.ScreenImage();
    auto at = [&](POINT client) {
        POINT point = Screen(parentHandle, client);
        return screen.At(point.x, point.y);
    };
    EXPECT_EQ(at({50, 40}), PixelOf(kRed));
    EXPECT_EQ(at({79, 59}), PixelOf(kRed));
    EXPECT_EQ(at({80, 59}), PixelOf(parent->GetAppearance()->GetColor()));
    EXPECT_EQ(at({49, 40}), PixelOf(parent->GetAppearance()->GetColor()));

    // Invalidation in the child's content goes to the parent's window in the parent's terms.
    struct Case {
        Vector2i parentOrigin;
        Vector2i childOrigin;
        Box2i box;
        RECT dirty;
    };
    const Case cases[] = {
        {{0, 0}, {0, 0}, {2, 3, 7, 9, false}, {52, 43, 57, 49}},
        {{0, 0}, {10, 0}, {12, 3, 17, 9, false}, {52, 43, 57, 49}},
        // Clipped to the child's frame.
        {{0, 0}, {0, 0}, {25, 15, 90, 90, false}, {75, 55, 80, 60}},
        {{0, 10}, {0, 0}, {2, 3, 7, 9, false}, {52, 33, 57, 39}},
    };
    parent->redrawOnScroll = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.box.left << "," << c.box.top);
        parent->SetContentOrigin(c.parentOrigin);
        child->SetContentOrigin(c.childOrigin);
        ASSERT_TRUE(harness.PumpUntilIdle());
        child->InvalidateBox(c.box);
        RECT dirty = {};
        EXPECT_TRUE(GetUpdateRect(parentHandle, &dirty, FALSE));
        EXPECT_EQ(dirty.left, c.dirty.left);
        EXPECT_EQ(dirty.top, c.dirty.top);
        EXPECT_EQ(dirty.right, c.dirty.right);
        EXPECT_EQ(dirty.bottom, c.dirty.bottom);
        ASSERT_TRUE(harness.PumpUntilIdle());
    }
    window->Destroy();
}

TEST_F(UICustomControlTest, StraightAndBufferedPaintingDrawAlikeAlsoWhenClamped)
{
    CXUIWindow* window = MakeWindow();
    HWND windowHandle = window->GetNativeHandle();
    struct Case {
        int32_t hint;
        int32_t left;
        Vector2i origin;
    };
    const Case cases[] = {
        {0, 0, {0, 0}},
        {2, 0, {0, 0}},
        // The window's left edge is clamped to -0x4000: 0x1000 pixels of shift.
        {0, -0x5000, {0, 0}},
        {2, -0x5000, {0, 0}},
        // A scrolled control shows its background where the content moved in.
        {0, 0, {40, 0}},
        {2, 0, {40, 0}},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "hint " << c.hint << ", left " << c.left << ", origin " << c.origin.x);
        const int top = 5 + 35 * row++;
        auto* probe = new Probe("p", nullptr, {c.left, top, 200, top + 30}, c.hint);
        probe->redrawOnScroll = 1;
        probe->SetContentOrigin(c.origin);
        // A red box 10 pixels in from the window's left edge, after the default drawing.
        const int32_t markLeft = 10 - c.left + c.origin.x;
        probe->drawSelf = [probe, markLeft](RazaGraf& graf) {
            probe->UICustomControl::Draw(graf);
            graf.FillBox({markLeft, 10, markLeft + 10, 20, false}, kRed);
        };
        probe->Init();
        window->AddChild(probe, nullptr);
        ASSERT_TRUE(harness.PumpUntilIdle());
        const win32::testing::ScreenPicture screen = harness.ScreenImage();
        auto at = [&](POINT client) {
            POINT point = Screen(windowHandle, client);
            return screen.At(point.x, point.y);
        };
        const uint64_t background = PixelOf(probe->GetAppearance()->GetColor());
        EXPECT_EQ(at({15, top + 15}), PixelOf(kRed));
        EXPECT_EQ(at({5, top + 15}), background);
        EXPECT_EQ(at({25, top + 15}), background);
        EXPECT_EQ(at({195, top + 25}), background);
    }
    window->Destroy();
}

TEST_F(UICustomControlTest, ScrollingAHalfClippedControlRepaintsWhatScrollsIn)
{
    // The window's client area is 320 wide; the control's right half lies beyond it.
    CXUIWindow* window = nullptr;
    Probe* probe = MakeProbeInWindow(window, 0, {220, 10, 420, 60});
    HWND windowHandle = window->GetNativeHandle();
    // Content stripes of 100 pixels: blue, red, green.
    probe->drawSelf = [](RazaGraf& graf) {
        graf.FillBox({0, 0, 100, 50, false}, kBlue);
        graf.FillBox({100, 0, 200, 50, false}, kRed);
        graf.FillBox({200, 0, 300, 50, false}, kGreen);
    };
    probe->InvalidateAll();
    ASSERT_TRUE(harness.PumpUntilIdle());
    auto pixel = [&](POINT client) { return harness.Pixel(Screen(windowHandle, client)); };
    EXPECT_EQ(pixel({270, 30}), PixelOf(kBlue));

    // The stripe that scrolls in was never shown: it is painted, not copied from beyond the edge.
    probe->SetContentOrigin({100, 0});
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(pixel({230, 30}), PixelOf(kRed));
    EXPECT_EQ(pixel({310, 30}), PixelOf(kRed));
    probe->SetContentOrigin({50, 0});
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(pixel({230, 30}), PixelOf(kBlue));
    EXPECT_EQ(pixel({280, 30}), PixelOf(kRed));
    window->Destroy();
}

TEST_F(UICustomControlTest, RepeatedPaintsLeaveTheDrawingObjectsAsTheyWere)
{
    const win32::testing::GdiObjectCounts atStart = win32::testing::LiveGdiObjects();
    CXUIWindow* window = nullptr;
    Probe* probe = MakeProbeInWindow(window);
    auto* child = new Probe("child", nullptr, {10, 10, 40, 40}, UICustomControlBase::kWindowlessHint);
    probe->AddChild(child, nullptr);
    child->Init();
    ASSERT_TRUE(harness.PumpUntilIdle());
    const win32::testing::GdiObjectCounts before = win32::testing::LiveGdiObjects();
    for (int i = 0; i < 100; ++i) {
        probe->InvalidateAll();
        ASSERT_TRUE(harness.PumpUntilIdle());
    }
    EXPECT_GE(probe->draws, 100);
    EXPECT_EQ(win32::testing::LiveGdiObjects(), before);
    // The memory DC kept for the paints goes with the window.
    window->Destroy();
    EXPECT_EQ(win32::testing::LiveGdiObjects(), atStart);
}

TEST_F(UICustomControlTest, BoundsAreWhatTheChildrenNeed)
{
    auto* control = new Probe("c", nullptr, {0, 0, 100, 80});
    EXPECT_EQ(control->GetBounds(), (Box2i{0, 0, 0, 0, false}));
    auto* nearChild = new Probe("near", nullptr, {10, 5, 40, 25});
    control->AddChild(nearChild, nullptr);
    EXPECT_EQ(control->GetBounds(), (Box2i{0, 0, 10, 5, false})) << "the child's own bounds are empty";
    // A plain element needs its frame's size.
    auto* grandchild = new SpyElement("grand", nullptr);
    grandchild->SetLayout(0, 0, 50, 30, 0, 0);
    nearChild->AddChild(grandchild, nullptr);
    EXPECT_EQ(control->GetBounds(), (Box2i{0, 0, 60, 35, false}));
    // Anchored to the far edge (right and bottom offsets of -20 and -10): 20 + 50, 10 + 30.
    auto* farChild = new Probe("far", nullptr, {0, 0, 0, 0});
    farChild->SetLayout(-40, -30, -20, -10, 1, 1);
    control->AddChild(farChild, nullptr);
    auto* farGrandchild = new SpyElement("grand", nullptr);
    farGrandchild->SetLayout(0, 0, 50, 30, 0, 0);
    farChild->AddChild(farGrandchild, nullptr);
    EXPECT_EQ(control->GetBounds(), (Box2i{0, 0, 70, 40, false}));
    control->Destroy();
}

// --- Windowless children ---

class WindowlessRoutingTest : public UICustomControlTest {
protected:
    // A window holding the windowed probe "p" at {20, 30, 220, 130}, which holds the windowless "a"
    // at {10, 10, 60, 60} and "b" at {40, 40, 100, 100} over it; "a" holds the windowless "g".
    void SetUp() override
    {
        UICustomControlTest::SetUp();
        p = MakeProbeInWindow(window, 0, {20, 30, 220, 130, false}, "p");
        a = AddWindowless(p, "a", {10, 10, 60, 60}, kRed);
        b = AddWindowless(p, "b", {40, 40, 100, 100}, kBlue);
        g = AddWindowless(a, "g", {5, 5, 20, 20}, kGreen, 0);
        ASSERT_TRUE(harness.PumpUntilIdle());
        trace.clear();
    }
    void TearDown() override
    {
        window->Destroy();
        UICustomControlTest::TearDown();
    }

    // Added, then initialised: windowless by its hint, or under a windowless parent by any hint.
    Probe* AddWindowless(UICustomControl* parent, const char* label, Box2i frame, CXColor fill,
                         int32_t hint = UICustomControlBase::kWindowlessHint)
    {
        auto* child = new Probe(label, &trace, frame, hint);
        parent->AddChild(child, nullptr);
        child->Init();
        EXPECT_TRUE(child->IsWindowless());
        EXPECT_EQ(child->GetNativeHandle(), nullptr);
        child->drawSelf = [fill](RazaGraf& graf) { graf.FillBox({-1000, -1000, 1000, 1000, false}, fill); };
        return child;
    }

    POINT At(POINT client) const { return Screen(p->GetNativeHandle(), client); }

    struct Counts {
        int32_t hover;
        int32_t activation;
        std::vector<std::string> types;
        bool operator==(const Counts&) const = default;
    };
    static Counts CountsOf(const UICustomControlBase* control)
    {
        Counts counts{control->hoverDescendants, control->activationDescendants, {}};
        for (const auto& [type, count] : control->descendantDragTypes)
            counts.types.push_back(std::string(type.c_str()) + "=" + std::to_string(count));
        return counts;
    }

    CXUIWindow* window = nullptr;
    Probe* p = nullptr;
    Probe* a = nullptr;
    Probe* b = nullptr;
    Probe* g = nullptr;
};

TEST_F(WindowlessRoutingTest, MouseGoesToTheFirstChildUnderItAndStaysWithThePress)
{
    struct Case {
        const char* what;
        std::function<void()> act;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        // Where a and b overlap the earlier child, a, takes the press; the drag and the release
        // outside it still go to it.
        {"press in the overlap, drag out",
         [&] {
             harness.Press(At({45, 45}));
             harness.MoveTo(At({150, 90}));
             harness.Release(At({150, 90}));
         },
         {"p:mouse 45,45 m0 p0", "a:mouse 35,35 m0 p0", "p:mouse 150,90 m0 p2", "a:mouse 140,80 m0 p2",
          "p:mouse 150,90 m0 p4", "a:mouse 140,80 m0 p4"}},
        {"a grandchild", [&] { harness.Click(At({20, 20})); },
         {"p:mouse 20,20 m0 p0", "a:mouse 10,10 m0 p0", "g:mouse 5,5 m0 p0", "p:mouse 20,20 m0 p4",
          "a:mouse 10,10 m0 p4", "g:mouse 5,5 m0 p4"}},
        {"nothing there", [&] { harness.Click(At({150, 20})); }, {"p:mouse 150,20 m0 p0", "p:mouse 150,20 m0 p4"}},
        {"a hidden child takes nothing",
         [&] {
             b->SetVisible(false);
             harness.Click(At({90, 90}));
         },
         {"p:mouse 90,90 m0 p0", "p:mouse 90,90 m0 p4"}},
        {"shown again",
         [&] {
             b->SetVisible(true);
             harness.Click(At({90, 90}));
         },
         {"p:mouse 90,90 m0 p0", "b:mouse 50,50 m0 p0", "p:mouse 90,90 m0 p4", "b:mouse 50,50 m0 p4"}},
        {"a content origin",
         [&] {
             b->SetContentOrigin({100, 0});
             harness.Click(At({90, 90}));
         },
         {"p:mouse 90,90 m0 p0", "b:mouse 150,50 m0 p0", "p:mouse 90,90 m0 p4", "b:mouse 150,50 m0 p4"}},
        {"a context click", [&] { harness.Click(At({90, 91}), VK_RBUTTON); },
         {"p:context 90,91 screen " + Point({At({90, 91}).x, At({90, 91}).y}),
          "b:context 150,51 screen " + Point({At({90, 91}).x, At({90, 91}).y})}},
        {"the wheel", [&] { harness.Wheel(At({90, 92}), 1); },
         {"p:wheel 90,92 px 0,16 lines 0,3", "b:wheel 150,52 px 0,16 lines 0,3"}},
    };
    harness.Backend().MutableMetrics().wheelScrollLines = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        harness.Advance(1000);
        trace.clear();
        c.act();
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(Only({"mouse", "context", "wheel"}), c.expected);
    }

    // The later child is drawn over the earlier one.
    EXPECT_EQ(harness.Pixel(At({45, 45})), PixelOf(kBlue));
    EXPECT_EQ(harness.Pixel(At({20, 30})), PixelOf(kRed));
}

TEST_F(WindowlessRoutingTest, HoverReachesTrackingChildrenWithEnteringAndLeaving)
{
    a->SetTracksHover(true);
    EXPECT_EQ(p->hoverDescendants, 1);
    struct Case {
        const char* what;
        POINT screen;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"into a", At({20, 20}), {"p:mouse 20,20 m0 p6", "a:entered 10,10", "a:mouse 10,10 m0 p6"}},
        {"within a", At({22, 20}), {"p:mouse 22,20 m0 p6", "a:mouse 12,10 m0 p6"}},
        // b does not track hover: over it, a is left.
        {"into b", At({90, 90}), {"p:mouse 90,90 m0 p6", "a:exited"}},
        {"back into a", At({20, 20}), {"p:mouse 20,20 m0 p6", "a:entered 10,10", "a:mouse 10,10 m0 p6"}},
        {"out of the window", POINT{5, 5}, {"p:exited", "a:exited"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        trace.clear();
        harness.MoveTo(c.screen);
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(Only({"mouse", "entered", "exited"}), c.expected);
    }
}

TEST_F(WindowlessRoutingTest, CountsTravelUpTheCustomDrawnAncestors)
{
    const Counts none{0, 0, {}};
    // Which controls were asked to register for drops; unchecked when absent. Asking again is
    // harmless (a window is registered once), so only the steps where it matters are checked.
    using Told = std::optional<std::set<std::string>>;
    struct Step {
        const char* what;
        std::function<void()> act;
        Counts inA;
        Counts inP;
        Told told;
    };
    const Step steps[] = {
        {"g tracks hover", [&] { g->SetTracksHover(true); }, {1, 0, {}}, {1, 0, {}}, std::set<std::string>{}},
        {"g accepts files",
         [&] {
             g->UpdateParentDrawnAttributes(false);
             g->dragTypes = {"filepath"};
             g->UpdateParentDrawnAttributes(true);
         },
         {1, 0, {"filepath=1"}}, {1, 0, {"filepath=1"}}, std::set<std::string>{"a", "p"}},
        {"g receives activation", [&] { g->SetReceivesActivation(true); }, {1, 1, {"filepath=1"}},
         {1, 1, {"filepath=1"}}, {}},
        // The same type again changes a's count but not its set of types: a is not asked (its
        // parent is, as a is counted there again).
        {"another child accepts files",
         [&] {
             auto* h = new Probe("h", &trace, {30, 30, 40, 40}, 0);
             h->dragTypes = {"filepath"};
             a->AddChild(h, nullptr);
             h->Init();
         },
         {1, 1, {"filepath=2"}}, {1, 1, {"filepath=1"}}, std::set<std::string>{"p"}},
        {"g hidden", [&] { g->SetVisible(false); }, {0, 0, {"filepath=1"}}, {0, 0, {"filepath=1"}}, {}},
        {"g shown", [&] { g->SetVisible(true); }, {1, 1, {"filepath=2"}}, {1, 1, {"filepath=1"}}, {}},
        {"a hidden", [&] { a->SetVisible(false); }, {1, 1, {"filepath=2"}}, none, std::set<std::string>{"p"}},
        {"a shown", [&] { a->SetVisible(true); }, {1, 1, {"filepath=2"}}, {1, 1, {"filepath=1"}},
         std::set<std::string>{"p"}},
        {"g removed", [&] { g->RemoveFromParent(); }, {0, 0, {"filepath=1"}}, {0, 0, {"filepath=1"}}, {}},
        {"g added again", [&] { a->AddChild(g, nullptr); }, {1, 1, {"filepath=2"}}, {1, 1, {"filepath=1"}}, {}},
        {"a destroyed", [&] { a->Destroy(); }, none, none, std::set<std::string>{"a", "p"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        trace.clear();
        step.act();
        if (std::string(step.what) != "a destroyed") {
            EXPECT_EQ(CountsOf(a), step.inA);
        }
        EXPECT_EQ(CountsOf(p), step.inP);
        if (step.told) {
            std::set<std::string> told;
            for (const std::string& line : Only({"drop"}))
                told.insert(line.substr(0, line.find(':')));
            EXPECT_EQ(told, *step.told);
        }
    }
}

TEST_F(WindowlessRoutingTest, FocusPassesDownTheChainOfWindowlessControls)
{
    // The grandchild's parent takes the focus first, then records the grandchild.
    g->SetFocus();
    EXPECT_EQ(Only({"got", "lost"}), (std::vector<std::string>{"a:got focus", "g:got focus"}));
    EXPECT_EQ(GetFocus(), p->GetNativeHandle());
    EXPECT_EQ(p->focusedChild, static_cast<UICustomControlBase*>(a));
    EXPECT_EQ(a->focusedChild, static_cast<UICustomControlBase*>(g));
    EXPECT_TRUE(g->HasFocus());
    EXPECT_FALSE(a->HasFocus());
    EXPECT_FALSE(p->HasFocus());
    EXPECT_EQ(CXUIWindow::GetFocusedElement(window), g);

    // Typing reaches the end of the chain.
    trace.clear();
    harness.Type(u"x");
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(Only({"text"}), (std::vector<std::string>{"p:text 0078 m0", "a:text 0078 m0", "g:text 0078 m0"}));

    // A press on b moves the focus there; the old chain hears it.
    trace.clear();
    harness.Click(At({90, 90}));
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(Only({"got", "lost"}), (std::vector<std::string>{"a:lost focus", "g:lost focus", "b:got focus"}));
    EXPECT_TRUE(b->HasFocus());
    EXPECT_FALSE(g->HasFocus());

    // The window focus leaving the control ends the chain; a removed child is forgotten.
    trace.clear();
    win32::SetFocus(window->GetNativeHandle());
    EXPECT_EQ(Only({"got", "lost"}), (std::vector<std::string>{"p:lost focus", "b:lost focus"}));
    EXPECT_FALSE(b->HasFocus());
    b->SetFocus();
    b->RemoveFromParent();
    EXPECT_EQ(p->focusedChild, nullptr);
    b->Destroy();
}

TEST_F(WindowlessRoutingTest, ActivationReachesChildrenThatShowIt)
{
    g->SetReceivesActivation(true);
    EXPECT_EQ(a->activationDescendants, 1);
    EXPECT_EQ(p->activationDescendants, 1);
    CXUIWindow* other = MakeWindow({600, 150, 700, 250, false});
    struct Step {
        HWND activate;
        std::vector<std::string> expected;
    };
    const Step steps[] = {
        {window->GetNativeHandle(), {"p:active", "a:active", "g:active"}},
        {other->GetNativeHandle(), {"p:inactive", "a:inactive", "g:inactive"}},
    };
    for (const Step& step : steps) {
        trace.clear();
        SetActiveWindow(step.activate);
        EXPECT_EQ(Only({"active", "inactive"}), step.expected);
    }
    EXPECT_FALSE(g->IsAppearingActive());
    CXDebugCapture capture;
    EXPECT_FALSE(a->IsAppearingActive());
    EXPECT_TRUE(capture.Contains("custom control is not flagged to receive activation messages"));
    other->Destroy();
}

TEST_F(WindowlessRoutingTest, HitRegionsFollowTheHint)
{
    // Hint 4 takes the mouse only where its windowless children do.
    auto* transparent = new Probe("t", nullptr, {0, 0, 100, 100}, 4);
    auto* label = new Probe("l", nullptr, {10, 10, 20, 20}, UICustomControlBase::kWindowlessHint);
    transparent->AddChild(label, nullptr);
    EXPECT_EQ(transparent->GetRegion(UICustomControlBase::kRegionHit).GetBounds(), (Box2i{10, 10, 20, 20, false}));
    EXPECT_TRUE(transparent->ContainsPoint({15, 15}));
    EXPECT_FALSE(transparent->ContainsPoint({5, 5}));
    EXPECT_TRUE(p->ContainsPoint({5, 5}));
    EXPECT_FALSE(p->ContainsPoint({200, 5}));
    transparent->Destroy();
}

} // namespace
} // namespace toolkittest
