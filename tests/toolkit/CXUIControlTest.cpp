#include "toolkit/CXUIControl.h"

#include "ToolkitWindowTesting.h"
#include "foundation/CXDebug.h"
#include "toolkit/UIAppearance.h"
#include "toolkit/UIMessageLoop.h"
#include "win32/testing/Pixels.h"

#include <functional>
#include <ostream>

// Readable boxes and points in failure messages.
inline void PrintTo(const Box2i& box, std::ostream* out)
{
    *out << "{" << box.left << ", " << box.top << ", " << box.right << ", " << box.bottom
         << (box.empty ? ", empty}" : "}");
}
inline void PrintTo(const Vector2i& point, std::ostream* out)
{
    *out << "(" << point.x << ", " << point.y << ")";
}

namespace toolkittest {
namespace {

using win32::testing::LiveGdiObjects;

const char16_t kNativeClass[] = u"Test.NativeControl";

// A procedure that knows nothing of elements, as the layer's own controls: nothing tells the
// element when the window dies with its parent.
LRESULT NativeControlProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class NativeControl : public CXUIControl {
public:
    explicit NativeControl(DWORD style = WS_TABSTOP, DWORD extendedStyle = 0)
        : fStyle(style)
        , fExtendedStyle(extendedStyle)
    {
    }

    void CreateNativeWindow() override
    {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &NativeControlProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kNativeClass;
        RegisterClassExW(&windowClass); // fails harmlessly once registered
        (void)CreateControlWindow(fExtendedStyle, kNativeClass, WS_CHILD | fStyle, GetNativeTitle());
    }
    Vector2i GetContentOrigin() const override { return contentOrigin; }
    void InvalidateBox(const Box2i& box) override { invalidated.push_back(box); }
    void FocusGained() override { ++gained; }
    void FocusLost() override { ++lost; }
    LRESULT Colors(HDC dc, const CXColor& text, const CXColor& background)
    {
        return AnswerControlColors(dc, text, background);
    }

    Vector2i contentOrigin{0, 0};
    std::vector<Box2i> invalidated;
    int gained = 0;
    int lost = 0;

private:
    DWORD fStyle;
    DWORD fExtendedStyle;
};

class CXUIControlTest : public WindowElementTest {
protected:
    static NativeControl* Initialised(DWORD style = WS_TABSTOP, DWORD extendedStyle = 0)
    {
        auto* control = new NativeControl(style, extendedStyle);
        control->Init();
        return control;
    }
    // A control holding other controls, placed in the window.
    static NativeControl* AddPage(CXUIWindow* window)
    {
        NativeControl* page = Initialised(0, WS_EX_CONTROLPARENT);
        page->SetLayout(0, 0, 300, 200, 0, 0);
        window->AddChild(page, nullptr);
        return page;
    }
    // The child windows, top to bottom.
    static std::vector<HWND> StackedWindows(HWND parent)
    {
        std::vector<HWND> windows;
        for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
            windows.push_back(child);
        return windows;
    }
    // The windows of the children that have one, in child-list order.
    static std::vector<HWND> ListedWindows(const UIElement* parent)
    {
        std::vector<HWND> windows;
        for (UIElement* child : Children(parent)) {
            if (HWND handle = NativeUIElement::GetNativeHandle(child))
                windows.push_back(handle);
        }
        return windows;
    }
    static Box2i WindowBoxInParent(HWND handle)
    {
        RECT rect = {};
        GetWindowRect(handle, &rect);
        POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
        MapWindowPoints(HWND_DESKTOP, GetParent(handle), corners, 2);
        return {corners[0].x, corners[0].y, corners[1].x, corners[1].y, false};
    }
};

TEST_F(CXUIControlTest, WindowsStackInChildListOrder)
{
    struct Case {
        const char* what;
        bool inTopLevel; // the controls' parent is the window itself, not a page control
        std::function<void(UIElement* parent)> build;
    };
    // A control inserted in front of two windowed siblings, then given its Init.
    const auto insertInFront = [](UIElement* parent) {
        UIElement* first = parent->AddChild(Initialised(), nullptr);
        parent->AddChild(Initialised(), nullptr);
        auto* control = new NativeControl;
        parent->AddChild(control, first);
        control->Init();
    };
    const Case cases[] = {
        {"appended", false,
         [](UIElement* parent) {
             for (int i = 0; i < 3; ++i)
                 parent->AddChild(Initialised(), nullptr);
         }},
        {"inserted after a windowless sibling", false,
         [](UIElement* parent) {
             parent->AddChild(Initialised(), nullptr);
             parent->AddChild(new UIElement, nullptr);
             UIElement* last = parent->AddChild(Initialised(), nullptr);
             parent->AddChild(Initialised(), last);
         }},
        {"inserted in front of windowed siblings before its Init", false, insertInFront},
        {"the same in a top-level window", true, insertInFront},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CXUIWindow* window = MakeWindow();
        UIElement* parent = c.inTopLevel ? static_cast<UIElement*>(window) : AddPage(window);
        c.build(parent);
        HWND parentWindow = NativeUIElement::GetNativeHandle(parent);
        EXPECT_EQ(ListedWindows(parent).size(), 3u);
        EXPECT_EQ(StackedWindows(parentWindow), ListedWindows(parent));
        window->Destroy();
    }
}

TEST_F(CXUIControlTest, ParkedUntilTheParentsWindowExists)
{
    CXUIWindow* window = MakeWindow();
    auto* page = new NativeControl(0, WS_EX_CONTROLPARENT);
    NativeControl* first = Initialised();
    page->AddChild(first, nullptr);
    auto* second = new NativeControl;
    page->AddChild(second, nullptr);
    second->Init();
    HWND parking = CXUIWindow::GetParkingWindowHandle();
    ASSERT_NE(parking, nullptr);
    for (NativeControl* control : {first, second}) {
        EXPECT_EQ(GetParent(control->GetNativeHandle()), parking);
        EXPECT_FALSE(IsWindowVisible(control->GetNativeHandle()));
        // A parked control does not take the focus.
        control->SetFocus();
        EXPECT_FALSE(control->HasFocus());
    }

    window->AddChild(page, nullptr);
    page->Init();
    EXPECT_EQ(GetParent(page->GetNativeHandle()), window->GetNativeHandle());
    EXPECT_EQ(StackedWindows(page->GetNativeHandle()), ListedWindows(page));
    EXPECT_TRUE(IsWindowVisible(second->GetNativeHandle()));

    // Leaving the parent and losing the parent's window park the window again, alive.
    first->RemoveFromParent();
    EXPECT_EQ(GetParent(first->GetNativeHandle()), parking);
    page->DestroySystemContext();
    EXPECT_EQ(GetParent(second->GetNativeHandle()), parking);
    EXPECT_EQ(page->GetNativeHandle(), nullptr);
    first->Destroy();
    page->Destroy();
    window->Destroy();
}

TEST_F(CXUIControlTest, StateSetBeforeInitReachesTheWindow)
{
    CXUIWindow* window = MakeWindow();
    auto* control = new NativeControl;
    control->SetEnabled(false);
    control->SetVisible(false);
    control->SetTitle("A & B");
    EXPECT_TRUE(control->NeedsRelayout());
    control->Init();
    window->AddChild(control, nullptr);
    HWND handle = control->GetNativeHandle();
    ASSERT_NE(handle, nullptr);
    EXPECT_FALSE(control->NeedsRelayout());
    EXPECT_EQ(control->GetAppearance()->GetImplementation(), UIAppearanceWin32_Implementation::Get());
    EXPECT_FALSE(IsWindowEnabled(handle));
    EXPECT_EQ(GetWindowLongW(handle, GWL_STYLE) & static_cast<LONG>(WS_VISIBLE), 0);
    char16_t text[16] = {};
    GetWindowTextW(handle, text, 16);
    EXPECT_EQ(std::u16string(text), u"A && B");

    control->SetEnabled(true);
    control->SetVisible(true);
    EXPECT_TRUE(IsWindowEnabled(handle));
    EXPECT_TRUE(IsWindowVisible(handle));
    control->SetFocus();
    EXPECT_TRUE(control->HasFocus());
    window->Destroy();
}

TEST_F(CXUIControlTest, WindowsAreClampedToTheSixteenBitRange)
{
    struct Case {
        const char* what;
        Box2i frame;
        Vector2i parentOrigin;
        Box2i window;
        Vector2i offset;
    };
    const Case cases[] = {
        {"inside", {10, 20, 110, 50, false}, {0, 0}, {10, 20, 110, 50, false}, {0, 0}},
        {"scrolled parent", {10, 1000, 110, 1030, false}, {0, 990}, {10, 10, 110, 40, false}, {0, 0}},
        {"reaching 100000 px left", {-100000, 5, 40, 25, false}, {0, 0}, {-0x4000, 5, 40, 25, false}, {83616, 0}},
        {"from -50000 to 100000 px down", {0, -50000, 60, 100000, false}, {0, 0}, {0, -0x4000, 60, 0x3FFF, false},
         {0, 33616}},
        {"100000 px right, wholly outside", {100000, 10, 100080, 30, false}, {0, 0},
         {-0x8000, -0x8000, -0x7FFF, -0x7FFF, false}, {-0x8000 - 100000, -0x8000 - 10}},
    };
    for (const Case& c : cases) {
        for (bool layoutFirst : {false, true}) {
            SCOPED_TRACE(::testing::Message() << c.what << (layoutFirst ? ", laid out before Init" : ""));
            CXUIWindow* window = MakeWindow();
            NativeControl* page = AddPage(window);
            page->contentOrigin = c.parentOrigin;
            auto* control = new NativeControl;
            if (layoutFirst) {
                control->SetLayout(c.frame.left, c.frame.top, c.frame.right, c.frame.bottom, 0, 0);
                page->AddChild(control, nullptr);
                control->Init();
            } else {
                control->Init();
                page->AddChild(control, nullptr);
                control->SetLayout(c.frame.left, c.frame.top, c.frame.right, c.frame.bottom, 0, 0);
            }
            EXPECT_EQ(control->GetFrame(), c.frame);
            EXPECT_EQ(WindowBoxInParent(control->GetNativeHandle()), c.window);
            EXPECT_EQ(control->GetNativeOffset(), c.offset);
            window->Destroy();
        }
    }
}

TEST_F(CXUIControlTest, AMovedWindowInvalidatesItsOldFrameOnce)
{
    CXUIWindow* window = MakeWindow();
    NativeControl* page = AddPage(window);
    page->contentOrigin = {0, 100};
    NativeControl* control = Initialised();
    page->AddChild(control, nullptr);
    control->SetLayout(10, 120, 60, 140, 0, 0);
    page->invalidated.clear();

    control->SetLayout(20, 130, 70, 150, 0, 0);
    EXPECT_EQ(page->invalidated, (std::vector<Box2i>{{10, 120, 60, 140, false}}));
    // A window that cannot move (wholly outside either way) is not repainted.
    control->SetLayout(100000, 0, 100010, 10, 0, 0);
    page->invalidated.clear();
    control->SetLayout(200000, 0, 200010, 10, 0, 0);
    EXPECT_TRUE(page->invalidated.empty());
    window->Destroy();
}

TEST_F(CXUIControlTest, FontsAndBrushesDoNotPileUp)
{
    const win32::testing::GdiObjectCounts before = LiveGdiObjects();
    CXUIWindow* window = MakeWindow();
    NativeControl* control = Initialised();
    window->AddChild(control, nullptr);
    const win32::testing::GdiObjectCounts withFont = LiveGdiObjects();
    EXPECT_GT(withFont.fonts, before.fonts);

    for (int size = 9; size < 14; ++size) {
        control->SetFont(RazaFont("", size, RazaFont::kBold));
        EXPECT_EQ(LiveGdiObjects(), withFont) << "size " << size;
    }
    EXPECT_EQ(control->GetFont().GetSize(), 13);
    EXPECT_EQ(control->GetFont().GetFace(), CXString("Segoe UI"));

    // The colour answer's brush is made once and goes with the window.
    HDC dc = CreateCompatibleDC(nullptr);
    LRESULT brush = control->Colors(dc, {1.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f, 1.0f});
    EXPECT_NE(brush, 0);
    EXPECT_EQ(control->Colors(dc, {1.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f, 1.0f}), brush);
    EXPECT_EQ(GetTextColor(dc), RGB(255, 0, 0));
    EXPECT_EQ(GetBkColor(dc), RGB(0, 0, 255));
    DeleteDC(dc);
    window->Destroy();
    EXPECT_EQ(LiveGdiObjects(), before);
}

TEST_F(CXUIControlTest, FocusNotifications)
{
    CXUIWindow* window = MakeWindow();
    NativeControl* control = Initialised();
    window->AddChild(control, nullptr);
    HWND handle = control->GetNativeHandle();
    struct Case {
        const char* what;
        bool reflected; // sent to the parent window, naming the control's window
        UINT message;
        WPARAM wParam;
        int gained;
        int lost;
    };
    const Case cases[] = {
        {"edit got the focus", true, WM_COMMAND, MAKEWPARAM(3, 0x100), 1, 0},
        {"edit lost the focus", true, WM_COMMAND, MAKEWPARAM(3, 0x200), 0, 1},
        {"another notification", true, WM_COMMAND, MAKEWPARAM(3, 0x300), 0, 0},
        {"WM_SETFOCUS", false, WM_SETFOCUS, 0, 1, 0},
        {"WM_KILLFOCUS", false, WM_KILLFOCUS, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        control->gained = 0;
        control->lost = 0;
        LRESULT result = c.reflected ? SendMessageW(window->GetNativeHandle(), c.message, c.wParam,
                                                    reinterpret_cast<LPARAM>(handle))
                                     : control->HandleNativeMessage(c.message, c.wParam, 0);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(control->gained, c.gained);
        EXPECT_EQ(control->lost, c.lost);
    }
    window->Destroy();
}

// A page switch destroys the old page with its controls: the dying focus goes to the window, not
// to a sibling about to die, and the keyboard goes on working without a click.
TEST_F(CXUIControlTest, DestroyingTheFocusedControlsPageLeavesTheFocusToTheWindow)
{
    CXUIWindow* window = MakeWindow();
    NativeControl* page = AddPage(window);
    std::vector<NativeControl*> controls;
    for (int i = 0; i < 3; ++i) {
        controls.push_back(Initialised());
        page->AddChild(controls.back(), nullptr);
    }
    controls[0]->SetFocus();
    ASSERT_TRUE(controls[0]->HasFocus());
    const HWND siblings[] = {controls[1]->GetNativeHandle(), controls[2]->GetNativeHandle()};

    harness.Spy().Clear();
    page->Destroy();
    for (const auto& entry : harness.Spy().Only({WM_SETFOCUS})) {
        EXPECT_NE(entry.hwnd, siblings[0]);
        EXPECT_NE(entry.hwnd, siblings[1]);
    }
    EXPECT_EQ(GetFocus(), window->GetNativeHandle());

    NativeControl* next = AddPage(window);
    NativeControl* field = Initialised();
    next->AddChild(field, nullptr);
    harness.PumpUntilIdle();
    UIMessageLoop loop;
    harness.KeyDown(VK_TAB);
    ASSERT_TRUE(loop.Turn());
    EXPECT_TRUE(field->HasFocus());
    harness.KeyUp(VK_TAB);
    window->Destroy();
}

TEST_F(CXUIControlTest, AControlWhoseTopLevelDiedIsDestroyedCleanly)
{
    const win32::testing::GdiObjectCounts before = LiveGdiObjects();
    CXDebugCapture capture;
    CXUIWindow* owner = MakeWindow();
    auto* owned = new OwnedWindow(owner->GetNativeHandle());
    owned->Init();
    owned->SetVisible(true);
    NativeControl* control = Initialised();
    owned->AddChild(control, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    (void)control->Colors(dc, {0.0f, 0.0f, 0.0f, 1.0f}, {1.0f, 1.0f, 1.0f, 1.0f});
    DeleteDC(dc);
    HWND handle = control->GetNativeHandle();

    owner->Destroy();
    ASSERT_FALSE(IsWindow(handle));
    EXPECT_TRUE(control->NeedsRelayout());
    EXPECT_FALSE(control->HasFocus());

    owned->Destroy();
    EXPECT_EQ(capture.ErrorCount(), 0u);
    EXPECT_EQ(LiveGdiObjects(), before);
}

} // namespace
} // namespace toolkittest
