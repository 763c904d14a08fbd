#include "toolkit/NativeUIElement.h"

#include "ToolkitWindowTesting.h"
#include "foundation/CXDebug.h"
#include "toolkit/UIMessageLoop.h"

namespace toolkittest {
namespace {

class NativeUIElementTest : public WindowElementTest {};

LRESULT ForeignProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(NativeUIElementTest, WindowsOfAnotherModuleNeverMapToAnElement)
{
    auto* foreignInstance = reinterpret_cast<HINSTANCE>(0x5150);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &ForeignProcedure;
    windowClass.hInstance = foreignInstance;
    windowClass.lpszClassName = u"Test.Foreign";
    ASSERT_NE(RegisterClassExW(&windowClass), 0);
    HWND foreign = CreateWindowExW(0, u"Test.Foreign", u"", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr, nullptr,
                                   foreignInstance, nullptr);
    ASSERT_NE(foreign, nullptr);

    TestControl element("element");
    SetWindowLongPtrW(foreign, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(static_cast<UIElement*>(&element)));
    EXPECT_EQ(NativeUIElement::ElementFromHandle(foreign), nullptr);
    EXPECT_FALSE(PreTranslateForElement(MSG{foreign, WM_KEYDOWN, 'A', 0, 0, {0, 0}}));
    element.consume = WM_KEYDOWN;
    EXPECT_FALSE(PreTranslateForElement(MSG{foreign, WM_KEYDOWN, 'A', 0, 0, {0, 0}}));
    UIWindowProc(foreign, WM_COMMAND, 5, 0);
    EXPECT_TRUE(element.seen.empty());

    // The same slot on a window of the program is trusted.
    auto* window = MakeWindow();
    SetWindowLongPtrW(window->GetNativeHandle(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(static_cast<UIElement*>(&element)));
    EXPECT_EQ(NativeUIElement::ElementFromHandle(window->GetNativeHandle()), &element);
    EXPECT_TRUE(PreTranslateForElement(MSG{window->GetNativeHandle(), WM_KEYDOWN, 'A', 0, 0, {0, 0}}));
    SetWindowLongPtrW(window->GetNativeHandle(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(static_cast<UIElement*>(window)));
    window->Destroy();
    DestroyWindow(foreign);
}

TEST_F(NativeUIElementTest, DestroyMessagesNeverReachTheElement)
{
    auto* control = new TestControl("control");
    control->Init();
    HWND handle = control->GetNativeHandle();
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(control->Saw(WM_CREATE));
    EXPECT_EQ(NativeUIElement::ElementFromHandle(handle), control);

    DestroyWindow(handle);
    EXPECT_FALSE(control->Saw(WM_DESTROY));
    EXPECT_FALSE(control->Saw(WM_NCDESTROY));
    EXPECT_EQ(control->GetNativeHandle(), nullptr);
    control->Destroy();
}

TEST_F(NativeUIElementTest, WindowsDestroyedWithTheirOwnerOrParentLeaveNoHandleBehind)
{
    CXDebugCapture capture;
    auto* owner = MakeWindow();
    auto* owned = new OwnedWindow(owner->GetNativeHandle());
    owned->Init();
    owned->SetVisible(true);
    auto* control = new TestControl("control");
    control->Init();
    owned->AddChild(control, nullptr);
    HWND ownedHandle = owned->GetNativeHandle();
    HWND controlHandle = control->GetNativeHandle();
    ASSERT_EQ(GetParent(controlHandle), ownedHandle);

    owner->Destroy();
    EXPECT_FALSE(IsWindow(ownedHandle));
    EXPECT_FALSE(IsWindow(controlHandle));
    EXPECT_EQ(owned->GetNativeHandle(), nullptr);
    EXPECT_EQ(control->GetNativeHandle(), nullptr);

    // The elements go later without touching the dead windows or reporting a kept handle.
    owned->Destroy();
    EXPECT_FALSE(capture.Contains("native handle still allocated"));
}

TEST_F(NativeUIElementTest, NotificationsOfChildControlsAreReflectedToTheirElements)
{
    auto* window = MakeWindow();
    auto* control = new TestControl("control");
    control->Init();
    window->AddChild(control, nullptr);
    control->answer = 77;
    HWND handle = window->GetNativeHandle();
    HWND child = control->GetNativeHandle();
    auto fromChild = reinterpret_cast<LPARAM>(child);
    NMHDR fromControl = {child, 4, 100};
    NMHDR fromWindow = {handle, 0, 100};

    struct Case {
        const char* what;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool reflected;
    };
    const Case cases[] = {
        {"button click", WM_COMMAND, MAKEWPARAM(4, BN_CLICKED), fromChild, true},
        {"scroll", WM_HSCROLL, 0, fromChild, true},
        {"colours", WM_CTLCOLORSTATIC, 0, fromChild, true},
        {"notify from the control", WM_NOTIFY, 4, reinterpret_cast<LPARAM>(&fromControl), true},
        {"notify from the window itself", WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&fromWindow), false},
        {"command naming the window itself", WM_COMMAND, MAKEWPARAM(4, BN_CLICKED), reinterpret_cast<LPARAM>(handle),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        control->seen.clear();
        LRESULT result = SendMessageW(handle, c.message, c.wParam, c.lParam);
        EXPECT_EQ(control->Saw(c.message), c.reflected);
        if (c.reflected)
            EXPECT_EQ(result, 77);
        else
            EXPECT_NE(result, 77);
    }
    window->Destroy();
}

TEST_F(NativeUIElementTest, EnterReachesTheFocusedControl)
{
    auto* window = MakeWindow();
    auto* control = new TestControl("field");
    control->Init();
    window->AddChild(control, nullptr);
    control->answer = 5;
    ASSERT_NE(SetFocus(control->GetNativeHandle()), nullptr);

    // The dialog manager turns Enter into IDOK without a control window.
    MSG enter = {control->GetNativeHandle(), WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    EXPECT_TRUE(IsDialogMessageW(window->GetNativeHandle(), &enter));
    EXPECT_TRUE(control->Saw(WM_COMMAND));
    EXPECT_EQ(SendMessageW(window->GetNativeHandle(), WM_COMMAND, IDOK, 0), 5);

    // With the window itself focused there is nobody to pass it to.
    control->seen.clear();
    SetFocus(window->GetNativeHandle());
    EXPECT_EQ(SendMessageW(window->GetNativeHandle(), WM_COMMAND, IDOK, 0), 0);
    EXPECT_FALSE(control->Saw(WM_COMMAND));
    window->Destroy();
}

// A page switch parks the old page's controls and attaches the new page's: the focus and the
// capture of a parked control go back to its (visible) window, so keys and Tab keep working.
TEST_F(NativeUIElementTest, AParkedControlLeavesTheFocusAndCaptureToItsWindow)
{
    auto* window = MakeWindow();
    HWND handle = window->GetNativeHandle();
    auto* oldField = new TestControl("old page");
    oldField->Init();
    window->AttachChildWindow(oldField);
    auto* newField = new TestControl("new page");
    newField->Init();
    ASSERT_NE(SetFocus(oldField->GetNativeHandle()), nullptr);
    SetCapture(oldField->GetNativeHandle());

    oldField->seen.clear();
    oldField->ParkNativeWindow();
    window->AttachChildWindow(newField);
    EXPECT_FALSE(IsWindowVisible(oldField->GetNativeHandle()));
    EXPECT_EQ(GetFocus(), handle);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(oldField->Saw(WM_KILLFOCUS));
    EXPECT_TRUE(oldField->Saw(WM_CAPTURECHANGED));

    oldField->seen.clear();
    harness.Type(u"x");
    harness.PumpUntilIdle();
    EXPECT_FALSE(oldField->Saw(WM_KEYDOWN));
    EXPECT_TRUE(oldField->typed.empty());
    EXPECT_TRUE(TabToNextControl(handle, MSG{handle, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}}));
    EXPECT_EQ(GetFocus(), newField->GetNativeHandle());

    oldField->Destroy();
    newField->Destroy();
    window->Destroy();
}

// Takes WM_CHAR in its subclass procedure; everything else goes on to the window procedure.
class SubclassedControl : public TestControl {
public:
    SubclassedControl() : TestControl("subclassed") {}
    LRESULT HandleSubclassMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_CHAR) {
            ++charsTaken;
            return 9;
        }
        return TestControl::HandleSubclassMessage(message, wParam, lParam);
    }
    int charsTaken = 0;
};

TEST_F(NativeUIElementTest, FramesParentsAndSubclassing)
{
    auto* window = MakeWindow();
    auto* control = new SubclassedControl;
    control->Init();
    auto* nested = new TestControl("nested");
    nested->Init();
    EXPECT_EQ(control->GetTopLevelHandle(), CXUIWindow::GetParkingWindowHandle());
    window->AttachChildWindow(control);
    control->AttachChildWindow(nested);
    EXPECT_EQ(GetParent(control->GetNativeHandle()), window->GetNativeHandle());
    EXPECT_EQ(nested->GetTopLevelHandle(), window->GetNativeHandle());
    EXPECT_EQ(NativeUIElement::GetNativeHandle(window), window->GetNativeHandle());
    EXPECT_EQ(NativeUIElement::GetNativeHandle(nullptr), nullptr);
    UIElement plain;
    EXPECT_EQ(NativeUIElement::GetNativeHandle(&plain), nullptr);

    control->SetNativeFrame({-20, 30, 80, 45, false});
    RECT rect = {};
    GetWindowRect(control->GetNativeHandle(), &rect);
    POINT origin = {-20, 30};
    ClientToScreen(window->GetNativeHandle(), &origin);
    EXPECT_EQ(rect.left, origin.x);
    EXPECT_EQ(rect.top, origin.y);
    EXPECT_EQ(rect.right - rect.left, 100);
    EXPECT_EQ(rect.bottom - rect.top, 15);

    ASSERT_TRUE(SetWindowSubclass(control->GetNativeHandle(), &UISubclassProc, 0, 0));
    EXPECT_EQ(SendMessageW(control->GetNativeHandle(), WM_CHAR, 'x', 0), 9);
    EXPECT_EQ(control->charsTaken, 1);
    EXPECT_FALSE(control->Saw(WM_CHAR));
    SendMessageW(control->GetNativeHandle(), WM_KEYDOWN, 'X', 0);
    EXPECT_TRUE(control->Saw(WM_KEYDOWN));

    nested->Destroy();
    control->Destroy();
    window->Destroy();
}

} // namespace
} // namespace toolkittest
