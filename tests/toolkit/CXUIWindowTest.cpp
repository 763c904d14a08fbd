#include "toolkit/CXUIWindow.h"

#include "ToolkitWindowTesting.h"
#include "foundation/CXDebug.h"
#include "win32/testing/Pixels.h"

#include <functional>

namespace toolkittest {
namespace {

class CXUIWindowTest : public WindowElementTest {
protected:
    POINT Screen(HWND hwnd, POINT client)
    {
        ClientToScreen(hwnd, &client);
        return client;
    }
};

constexpr DWORD kFrameBits = WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

TEST_F(CXUIWindowTest, StyleFollowsClosableAndResizable)
{
    struct Case {
        bool closable;
        bool resizable;
        DWORD style;
    };
    const Case cases[] = {
        {true, true, 0x02CF0000},
        {true, false, 0x02CA0000},
        {false, true, 0x02C70000},
        {false, false, 0x02C20000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "closable " << c.closable << ", resizable " << c.resizable);
        // Set before the window exists, and changed on a shown window: the same frame styles.
        auto* before = new CXUIWindow;
        before->SetClosable(c.closable);
        before->SetResizable(c.resizable);
        before->Init();
        HWND handle = before->GetNativeHandle();
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE)) & ~WS_VISIBLE, c.style);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(handle, GWL_EXSTYLE)), WS_EX_COMPOSITED);

        auto* after = MakeWindow();
        after->SetClosable(c.closable);
        after->SetResizable(c.resizable);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(after->GetNativeHandle(), GWL_STYLE)) & kFrameBits, c.style);
        EXPECT_EQ(AsBox(ClientOnScreen(after->GetNativeHandle())), after->GetFrame());
        before->Destroy();
        after->Destroy();
    }
}

TEST_F(CXUIWindowTest, FrameIsTheClientRectangleOnScreen)
{
    auto* window = MakeWindow({200, 150, 520, 390, false});
    HWND handle = window->GetNativeHandle();
    EXPECT_EQ(AsBox(ClientOnScreen(handle)), (Box2i{200, 150, 520, 390, false}));

    struct Step {
        const char* what;
        std::function<void()> act;
        Box2i frame;
    };
    const Step steps[] = {
        {"layout", [&] { window->SetLayout(300, 200, 700, 500, 0, 0); }, {300, 200, 700, 500, false}},
        // A thinner frame keeps the window rectangle: the client area, and so the frame, grows.
        {"not resizable", [&] { window->SetResizable(false); }, {300, 200, 700, 500, false}},
        {"window moved", [&] { window->SetWindowFrame(50, 60, 400, 300); }, {0, 0, 0, 0, false}},
        {"user resize", [&] { harness.UserResize(handle, 500, 420); }, {0, 0, 0, 0, false}},
        {"minimised", [&] { ShowWindow(handle, SW_MINIMIZE); }, {0, 0, 0, 0, true}},
    };
    Box2i beforeMinimise;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        if (step.frame.empty) {
            EXPECT_EQ(window->GetFrame(), beforeMinimise);
            continue;
        }
        EXPECT_EQ(window->GetFrame(), AsBox(ClientOnScreen(handle)));
        if (step.frame.right != 0) {
            EXPECT_EQ(window->GetFrame(), step.frame);
        }
        beforeMinimise = window->GetFrame();
    }
    RECT rect = {};
    GetWindowRect(handle, &rect);
    EXPECT_EQ(rect.right - rect.left, 500);
    EXPECT_EQ(rect.bottom - rect.top, 420);
    window->Destroy();
}

TEST_F(CXUIWindowTest, TitleAndMinimumTrackSize)
{
    auto* window = new CXUIWindow;
    window->Init();
    char16_t text[32] = {u'x'};
    EXPECT_EQ(GetWindowTextW(window->GetNativeHandle(), text, 32), 0);
    window->SetTitle("Größe");
    EXPECT_EQ(GetWindowTextW(window->GetNativeHandle(), text, 32), 5);
    EXPECT_EQ(std::u16string(text), u"Größe");

    window->SetMinimumSize(300, 200);
    MINMAXINFO info = {};
    SendMessageW(window->GetNativeHandle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    RECT expected = {0, 0, 300, 200};
    AdjustWindowRect(&expected, static_cast<DWORD>(GetWindowLongW(window->GetNativeHandle(), GWL_STYLE)), TRUE);
    EXPECT_EQ(info.ptMinTrackSize.x, expected.right - expected.left);
    EXPECT_EQ(info.ptMinTrackSize.y, expected.bottom - expected.top);
    window->Destroy();
}

TEST_F(CXUIWindowTest, MouseReachesWindowlessChildren)
{
    std::vector<std::string> trace;
    auto* window = MakeWindow();
    HWND handle = window->GetNativeHandle();
    // a tracks hover; b does not and has a content origin of its own.
    auto* a = new Windowless("a", &trace, {10, 10, 60, 60, false});
    a->tracksHover = 1;
    auto* b = new Windowless("b", &trace, {100, 10, 150, 60, false});
    b->contentOrigin = {5, 5};
    window->AddChild(a, nullptr);
    window->AddChild(b, nullptr);
    POINT inA = Screen(handle, {20, 30});
    POINT inB = Screen(handle, {110, 20});
    POINT empty = Screen(handle, {200, 100});
    POINT outside = {5, 5};

    struct Case {
        const char* what;
        std::function<void()> act;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"press, drag out, release outside the child",
         [&] {
             harness.Press(inA);
             harness.MoveTo(empty);
             harness.Release(empty);
         },
         {"a:mouse 10,20 m0 p0", "a:mouse 190,90 m0 p2", "a:mouse 190,90 m0 p4"}},
        {"hover, pass to a child that does not track, come back, leave the window",
         [&] {
             for (POINT point : {inA, inB, inA, outside}) {
                 harness.MoveTo(point);
                 harness.PumpUntilIdle();
             }
         },
         {"a:mouse 10,20 m0 p6", "a:exited", "a:mouse 10,20 m0 p6", "a:exited"}},
        {"release without a press", [&] { harness.Release(inA); }, {}},
        {"drag that began outside the window",
         [&] {
             harness.Press(outside);
             harness.MoveTo(inB);
             harness.Release(inB);
         },
         {}},
        {"double-click", [&] { harness.DoubleClick(handle, {110, 20}); },
         {"b:mouse 5,5 m0 p0", "b:mouse 5,5 m0 p4", "b:mouse 5,5 m0 p1", "b:mouse 5,5 m0 p4"}},
        {"shift-click",
         [&] {
             harness.KeyDown(VK_SHIFT);
             harness.Click(inB);
             harness.KeyUp(VK_SHIFT);
         },
         {"b:mouse 5,5 m2 p0", "b:mouse 5,5 m2 p4"}},
        {"capture lost in the middle of a press",
         [&] {
             harness.Press(inB);
             harness.PumpUntilIdle();
             ReleaseCapture();
             harness.Release(inB);
             harness.PumpUntilIdle();
             harness.Advance(1000);
             harness.Press(inB);
             harness.Release(inB);
         },
         {"b:mouse 5,5 m0 p0", "b:mouse 5,5 m0 p5", "b:mouse 5,5 m0 p0", "b:mouse 5,5 m0 p4"}},
        {"right button", [&] { harness.Press(inB, VK_RBUTTON); },
         {"b:context 5,5 screen " + std::to_string(inB.x) + "," + std::to_string(inB.y)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        harness.MoveTo(empty);
        harness.Release(empty, VK_RBUTTON);
        harness.PumpUntilIdle();
        harness.Advance(1000); // no double-click across cases
        trace.clear();
        c.act();
        harness.PumpUntilIdle();
        EXPECT_EQ(trace, c.expected);
    }
    window->Destroy();
}

TEST_F(CXUIWindowTest, PaintsTheBackgroundThenWindowlessChildrenClipped)
{
    std::vector<std::string> trace;
    auto* window = MakeWindow({200, 150, 520, 390, false});
    // Each child fills far beyond its frame and marks its drawing origin with 2 x 2 red pixels.
    auto* a = new Windowless("a", &trace, {10, 10, 60, 60, false});
    auto* b = new Windowless("b", &trace, {50, 50, 110, 110, false});
    b->fill = {0.0f, 1.0f, 0.0f, 1.0f};
    b->contentOrigin = {20, 20};
    auto* hidden = new Windowless("hidden", &trace, {0, 0, 320, 240, false});
    hidden->SetVisible(false);
    window->AddChild(a, nullptr);
    window->AddChild(b, nullptr);
    window->AddChild(hidden, nullptr);
    harness.PumpUntilIdle();
    // The first child is drawn last, on top.
    EXPECT_EQ(trace, (std::vector<std::string>{"b:draw", "a:draw"}));

    const uint64_t background = win32::testing::OpaquePixel(RazaGraf(nullptr).GetColor(0).ToColorRef());
    const uint64_t red = 0xFFFF0000u;
    const uint64_t blue = 0xFF0000FFu;
    const uint64_t green = 0xFF00FF00u;
    struct Case {
        POINT client;
        uint64_t pixel;
    };
    const Case cases[] = {
        {{5, 5}, background},   {{9, 30}, background}, {{60, 20}, background}, {{10, 10}, red},
        {{11, 11}, red},        {{12, 12}, blue},      {{55, 55}, blue},       {{70, 70}, red},
        {{72, 72}, green},      {{109, 109}, green},   {{110, 80}, background}, {{319, 239}, background},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "client " << c.client.x << ", " << c.client.y);
        EXPECT_EQ(harness.Pixel({200 + c.client.x, 150 + c.client.y}), c.pixel);
    }

    // An invalidated part is drawn again; children outside it are not asked.
    trace.clear();
    window->InvalidateBox({100, 100, 105, 105, false});
    window->InvalidateBox({1, 1, 0, 0, false}); // inverted: nothing
    harness.PumpUntilIdle();
    EXPECT_EQ(trace, (std::vector<std::string>{"b:draw"}));
    window->Destroy();
}

TEST_F(CXUIWindowTest, ActivationReachesChildrenThatShowIt)
{
    std::vector<std::string> trace;
    std::vector<std::string> messages;
    auto* first = MakeWindow();
    first->AddMessageHandler([&](const CXMessage& message) {
        messages.push_back(message.GetName().c_str());
        return kCXNotSupported;
    });
    auto* shows = new Windowless("shows", &trace, {0, 0, 10, 10, false});
    shows->receivesActivation = 1;
    auto* container = new Windowless("container", &trace, {20, 0, 30, 10, false});
    container->activationDescendants = 1;
    auto* plain = new Windowless("plain", &trace, {40, 0, 50, 10, false});
    first->AddChild(shows, nullptr);
    first->AddChild(container, nullptr);
    first->AddChild(plain, nullptr);

    SetActiveWindow(first->GetNativeHandle());
    SendMessageW(first->GetNativeHandle(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_TRUE(first->IsAppearingActive());
    trace.clear();
    messages.clear();

    auto* second = MakeWindow({600, 100, 800, 300, false});
    EXPECT_EQ(CXUIWindow::GetFrontWindow(false), second);
    EXPECT_FALSE(first->IsAppearingActive());
    EXPECT_EQ(messages, (std::vector<std::string>{"deactivate"}));
    EXPECT_EQ(trace, (std::vector<std::string>{"shows:inactive", "container:inactive"}));
    EXPECT_EQ(shows->appearingActive, 0);

    // Activating again brings the window to the head of the list.
    trace.clear();
    first->BringToFront();
    EXPECT_EQ(CXUIWindow::GetFrontWindow(false), first);
    EXPECT_EQ(trace, (std::vector<std::string>{"shows:active", "container:active"}));
    first->Destroy();
    second->Destroy();
}

TEST_F(CXUIWindowTest, ChildrenAddedBeforeTheFirstStackAndTabTopToBottom)
{
    // The shape of a prompt sheet: a windowless message first, then the field, OK and Cancel,
    // each added before the child that is first at the time.
    auto* sheet = MakeWindow();
    auto* message = new Windowless("message", nullptr, {10, 10, 200, 30, false});
    auto* field = new TestControl("field");
    auto* ok = new TestControl("ok");
    auto* cancel = new TestControl("cancel");
    sheet->AddChild(message, nullptr);
    for (TestControl* control : {field, ok, cancel}) {
        control->Init();
        sheet->AddChild(control, sheet->FirstChild());
    }
    HWND handle = sheet->GetNativeHandle();
    std::vector<HWND> stack;
    for (HWND w = GetWindow(handle, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT))
        stack.push_back(w);
    EXPECT_EQ(stack,
              (std::vector<HWND>{field->GetNativeHandle(), ok->GetNativeHandle(), cancel->GetNativeHandle()}));

    std::vector<HWND> walk;
    HWND at = nullptr;
    for (int i = 0; i < 4; ++i) {
        at = GetNextDlgTabItem(handle, at, FALSE);
        walk.push_back(at);
    }
    EXPECT_EQ(walk, (std::vector<HWND>{field->GetNativeHandle(), ok->GetNativeHandle(), cancel->GetNativeHandle(),
                                       field->GetNativeHandle()}));

    // Without a `before`, a child goes to the bottom.
    auto* last = new TestControl("last");
    last->Init();
    sheet->AddChild(last, nullptr);
    EXPECT_EQ(GetWindow(cancel->GetNativeHandle(), GW_HWNDNEXT), last->GetNativeHandle());
    sheet->Destroy();
}

} // namespace
} // namespace toolkittest
