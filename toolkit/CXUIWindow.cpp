// The top-level window element: its native window, the frame kept equal to the client area, the
// window messages, and the mouse routing to windowless children.

#include "toolkit/CXUIWindow.h"

#include "datanode/CXApplicationSettings.h"
#include "foundation/CXDebug.h"
#include "foundation/CXTextEncoding.h"
#include "toolkit/CXMenu.h"
#include "toolkit/RazaGraf.h"
#include "toolkit/RazaRegion.h"
#include "toolkit/UIAppearance.h"
#include "toolkit/UICustomControlBase.h"
#include "win32/core/Core.h"

#include <algorithm>
#include <string>

using namespace win32;

namespace {

const char16_t kWindowClassName[] = u"raza.CXUIWindow";

// The class belongs to the layer's life: a layer shut down (and started again) forgets it.
bool gClassRegistered = false;
bool gShutdownStepAdded = false;

void ForgetWindowClass()
{
    gClassRegistered = false;
}

void RegisterWindowClass()
{
    if (gClassRegistered)
        return;
    if (!gShutdownStepAdded) {
        gShutdownStepAdded = true;
        core::AddShutdownStep(&ForgetWindowClass);
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    // Double-clicks are what give windowless children their double-click phase.
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = &UIWindowProc;
    windowClass.cbWndExtra = 8;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(101), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                      LR_SHARED));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(IDC_ARROW));
    windowClass.lpszClassName = kWindowClassName;
    gClassRegistered = RegisterClassExW(&windowClass) != 0;
}

UICustomControlBase* CustomPart(UIElement* element)
{
    return dynamic_cast<UICustomControlBase*>(element);
}

bool IsWindowless(UIElement* element)
{
    UICustomControlBase* custom = CustomPart(element);
    return custom != nullptr && custom->IsWindowless();
}

// A point of the window's content in the child's own content coordinates.
Vector2i PointInChild(const UIElement* child, Vector2i contentPoint)
{
    const Box2i frame = child->GetFrame();
    return contentPoint - Vector2i{frame.left, frame.top} - child->GetContentOrigin();
}

constexpr DWORD kFrameStyles = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

} // namespace

// --- Life ---

CXUIWindow::CXUIWindow()
{
    // Hidden from the start, without telling anyone: nothing is shown yet.
    UIElement::SetVisible(false);
    MoveToListHead();
}

CXUIWindow::~CXUIWindow()
{
    // A window deleted without ever getting a native window may still hold others disabled.
    SetModal(false);
    if (fCompositingDeviceContext != nullptr)
        CXDebugError("~CXUIWindow> m_compositingDeviceContext still allocated");
    UnlinkFromWindowList();
    QuitIfNoWindowVisible();
    fPlacementSettings.Clear();
}

void CXUIWindow::CreateSystemContext()
{
    HWND existing = GetNativeHandle();
    if (existing != nullptr) {
        CXDebugError("CXUIWindow::CreateSystemContext [0x%lX] already created HWND=0x%lX",
                     static_cast<unsigned long>(reinterpret_cast<uintptr_t>(this)),
                     static_cast<unsigned long>(reinterpret_cast<uintptr_t>(existing)));
    }
    RegisterWindowClass();
    DWORD style = WS_CLIPCHILDREN | WS_CAPTION | WS_MINIMIZEBOX;
    if (fClosable)
        style |= WS_SYSMENU;
    if (fResizable)
        style |= WS_THICKFRAME | WS_MAXIMIZEBOX;
    const CXString& titleText = GetTitle();
    const CXString title = ConvertUTF8ToUTF16(titleText.c_str(), titleText.length());
    CreateWindowExW(WS_EX_COMPOSITED, kWindowClassName, UTF16Units(title), style, 100, 100, 200, 200, GetOwnerWindow(),
                    nullptr, GetModuleHandleW(nullptr), static_cast<UIElement*>(this));
    InternalSuppressNotifications(1);
    if (fHasMenuBar && GetNativeHandle() != nullptr)
        CXMenu::BuildMenuBar(GetNativeHandle());
    InternalSuppressNotifications(-1);
    ApplyEnabledState();
    UIElement::CreateSystemContext();
    SetVisible(IsVisible());
}

void CXUIWindow::DestroySystemContext()
{
    SavePlacement();
    // A window that goes without being hidden first releases the windows it held disabled.
    SetModal(false);
    if (fCompositingDeviceContext != nullptr) {
        DeleteDC(fCompositingDeviceContext);
        fCompositingDeviceContext = nullptr;
    }
    UIElement::DestroySystemContext();
    HWND handle = GetNativeHandle();
    if (handle == nullptr)
        return;
    InternalSuppressNotifications(1);
    if (fHasMenuBar)
        CXMenu::RemoveMenuBar(handle);
    InternalSuppressNotifications(-1);
    SetWindowLongPtrW(handle, GWLP_USERDATA, 0);
    SetNativeHandle(nullptr);
    fPressed = nullptr;
    fHovered = nullptr;
    fMouseCaptured = 0;
    DestroyWindow(handle);
}

CXResultCode CXUIWindow::HandleMessage(const CXMessage& message)
{
    const CXString& name = message.GetName();
    if (name == "Close" || name == "ForceClose") {
        SetVisible(false);
        Destroy();
        return 0;
    }
    return UIElement::HandleMessage(message);
}

// --- Element operations ---

UIElement* CXUIWindow::AddChild(UIElement* child, UIElement* before)
{
    UIElement* added = UIElement::AddChild(child, before);
    if (added == nullptr)
        return nullptr;
    if (IsWindowless(added)) {
        added->InvalidateAll();
        return added;
    }
    HWND childHandle = NativeUIElement::GetNativeHandle(added);
    HWND handle = GetNativeHandle();
    if (childHandle == nullptr || handle == nullptr)
        return added;
    // The child goes right below the window of `before`; a windowless `before` lends the place of
    // the next later sibling that has a window.
    HWND insertAfter = HWND_BOTTOM;
    for (UIElement* sibling = before; sibling != nullptr && sibling->GetParent() == this;
         sibling = sibling->NextSibling()) {
        if (HWND siblingHandle = NativeUIElement::GetNativeHandle(sibling); siblingHandle != nullptr) {
            insertAfter = siblingHandle;
            break;
        }
    }
    SetParent(childHandle, handle);
    SetWindowPos(childHandle, insertAfter, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_NOOWNERZORDER);
    return added;
}

void CXUIWindow::SetVisible(bool visible)
{
    UIElement::SetVisible(visible);
    HWND handle = GetNativeHandle();
    if (handle == nullptr)
        return;
    if (visible) {
        ShowWindow(handle, SW_SHOW);
        NoteWindowShown();
        return;
    }
    if ((GetWindowLongW(handle, GWL_STYLE) & static_cast<LONG>(WS_VISIBLE)) == 0)
        return;
    SetModal(false);
    ShowWindow(handle, SW_HIDE);
    QuitIfNoWindowVisible();
}

bool CXUIWindow::IsShown() const
{
    return IsVisible();
}

bool CXUIWindow::IsAppearingActive() const
{
    return fActive != 0;
}

void CXUIWindow::SetTitle(const CXString& title)
{
    UIElement::SetTitle(title);
    if (HWND handle = GetNativeHandle()) {
        const CXString units = ConvertUTF8ToUTF16(title.c_str(), title.length());
        SetWindowTextW(handle, UTF16Units(units));
    }
}

void CXUIWindow::SetFocus()
{
    if (HWND handle = GetNativeHandle())
        win32::SetFocus(handle);
}

bool CXUIWindow::HasFocus() const
{
    return false;
}

bool CXUIWindow::IsAdapter() const
{
    return false;
}

void CXUIWindow::ChildLayoutChanged() {}

void CXUIWindow::ChildVisibilityChanged() {}

const UIAppearanceImplementation* CXUIWindow::ChooseAppearanceImplementation(const UIAppearanceImplementation*,
                                                                              UIElement*) const
{
    return UIAppearanceWin32_Implementation::Get();
}

HWND CXUIWindow::GetOwnerWindow()
{
    return nullptr;
}

// --- Frame ---

void CXUIWindow::CenterOverElement(UIElement* element)
{
    if (element == nullptr)
        return;
    const Box2i parent = element->GetFrame();
    // Truncating toward zero: a narrower parent gives a negative margin on both sides.
    const int32_t dx = (parent.right - GetWidth() - parent.left) / 2;
    const int32_t dy = (parent.bottom - GetHeight() - parent.top) / 2;
    const Box2i centred =
        ConstrainToVirtualScreen({parent.left + dx, parent.top + dy, parent.right - dx, parent.bottom - dy, false});
    SetLayout(centred.left, centred.top, centred.right, centred.bottom, 0, 0);
}

Box2i CXUIWindow::ConstrainToVirtualScreen(const Box2i& clientRect) const
{
    HWND handle = GetNativeHandle();
    DWORD style = 0;
    DWORD exStyle = 0;
    if (handle != nullptr) {
        style = static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE));
        exStyle = static_cast<DWORD>(GetWindowLongW(handle, GWL_EXSTYLE));
    } else {
        // Without a window yet, the frame it will be made with.
        style = WS_CLIPCHILDREN | WS_CAPTION | WS_MINIMIZEBOX | (fClosable ? WS_SYSMENU : 0) |
                (fResizable ? WS_THICKFRAME | WS_MAXIMIZEBOX : 0);
        exStyle = WS_EX_COMPOSITED;
    }
    RECT rect = {clientRect.left, clientRect.top, clientRect.right, clientRect.bottom};
    AdjustWindowRectEx(&rect, style, handle != nullptr && GetMenu(handle) != nullptr, exStyle);
    const RECT insets = {clientRect.left - rect.left, clientRect.top - rect.top, rect.right - clientRect.right,
                         rect.bottom - clientRect.bottom};

    constexpr int32_t kMargin = 10;
    const int32_t screenLeft = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int32_t screenTop = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int32_t screenRight = screenLeft + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int32_t screenBottom = screenTop + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    auto moveBy = [&rect](int32_t x, int32_t y) {
        rect.left += x;
        rect.right += x;
        rect.top += y;
        rect.bottom += y;
    };
    if (rect.top > screenBottom - kMargin)
        moveBy(0, screenBottom - kMargin - rect.bottom);
    if (rect.top < screenTop)
        moveBy(0, screenTop - rect.top);
    if (rect.left > screenRight - kMargin)
        moveBy(screenRight - kMargin - rect.right, 0);
    if (rect.right < screenLeft + kMargin)
        moveBy(screenLeft + kMargin - rect.left, 0);

    return {rect.left + insets.left, rect.top + insets.top, rect.right - insets.right, rect.bottom - insets.bottom,
            false};
}

void CXUIWindow::ApplyLayout()
{
    UIElement::ApplyLayout();
    HWND handle = GetNativeHandle();
    if (handle == nullptr)
        return;
    Box2i frame = GetFrame();
    RECT rect = {frame.left, frame.top, frame.right, frame.bottom};
    AdjustWindowRect(&rect, static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE)), FALSE);
    if (GetMenu(handle) != nullptr) {
        MENUBARINFO bar = {};
        bar.cbSize = sizeof(bar);
        int barHeight = GetMenuBarInfo(handle, OBJID_MENU, 0, &bar) ? bar.rcBar.bottom - bar.rcBar.top : 0;
        rect.top -= std::max(barHeight, GetSystemMetrics(SM_CYMENU));
    }
    InternalSuppressNotifications(1);
    MoveWindow(handle, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    InternalSuppressNotifications(-1);
}

void CXUIWindow::SetWindowFrame(int32_t x, int32_t y, int32_t width, int32_t height)
{
    if (HWND handle = GetNativeHandle())
        MoveWindow(handle, x, y, width, height, TRUE);
}

void CXUIWindow::ApplyFrameStyle()
{
    HWND handle = GetNativeHandle();
    if (handle == nullptr)
        return;
    DWORD style = static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE)) | kFrameStyles;
    if (!fResizable)
        style &= ~(WS_THICKFRAME | WS_MAXIMIZEBOX);
    if (!fClosable)
        style &= ~WS_SYSMENU;
    SetWindowLongW(handle, GWL_STYLE, static_cast<LONG>(style));
    SetWindowPos(handle, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

void CXUIWindow::SetClosable(bool closable)
{
    fClosable = closable ? 1 : 0;
    ApplyFrameStyle();
}

void CXUIWindow::SetResizable(bool resizable)
{
    fResizable = resizable ? 1 : 0;
    ApplyFrameStyle();
    // The frame message of the style change has set the frame already, so this changes nothing.
    Box2i frame = GetFrame();
    SetLayout(frame.left, frame.top, frame.right, frame.bottom, GetHorizontalAnchor(), GetVerticalAnchor());
}

void CXUIWindow::SetMinimumSize(int32_t width, int32_t height)
{
    fMinimumWidth = width;
    fMinimumHeight = height;
}

void CXUIWindow::SetEnabled(bool enabled)
{
    fEnabled = enabled ? 1 : 0;
    ApplyEnabledState();
}

void CXUIWindow::ApplyEnabledState()
{
    if (HWND handle = GetNativeHandle())
        EnableWindow(handle, fEnabled && fModalDisableCount == 0);
}

void CXUIWindow::RaiseModalDisable()
{
    ++fModalDisableCount;
    ApplyEnabledState();
}

void CXUIWindow::LowerModalDisable()
{
    if (fModalDisableCount > 0)
        --fModalDisableCount;
    ApplyEnabledState();
}

// --- Window messages ---

int32_t CXUIWindow::MouseModifiers(WPARAM wParam) const
{
    int32_t modifiers = 0;
    if ((wParam & MK_SHIFT) != 0)
        modifiers |= UICustomControlBase::kModifierShift;
    if (GetKeyState(VK_MENU) < 0)
        modifiers |= UICustomControlBase::kModifierAlt;
    if ((wParam & MK_CONTROL) != 0)
        modifiers |= UICustomControlBase::kModifierControl;
    return modifiers;
}

LRESULT CXUIWindow::HandleNativeMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND handle = GetNativeHandle();
    Vector2i point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_CREATE:
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
        return 0;
    case WM_MOVE:
        MoveTo(point.x, point.y);
        return 0;
    case WM_SIZE:
        if (!AreNotificationsSuppressed() && wParam != SIZE_MINIMIZED) {
            Box2i frame = GetFrame();
            SetLayout(frame.left, frame.top, frame.left + LOWORD(static_cast<uintptr_t>(lParam)),
                      frame.top + HIWORD(static_cast<uintptr_t>(lParam)), GetHorizontalAnchor(), GetVerticalAnchor());
        }
        return 0;
    case WM_ACTIVATE:
        UpdateActivation(LOWORD(wParam) != 0);
        return 0;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_CLOSE:
        (void)HandleMessage(CXMessage("Close", this));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEACTIVATE:
        return MA_ACTIVATE;
    case WM_GETMINMAXINFO:
        if (auto* info = reinterpret_cast<MINMAXINFO*>(lParam); info != nullptr && handle != nullptr) {
            RECT rect = {0, 0, fMinimumWidth, fMinimumHeight};
            AdjustWindowRect(&rect, static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE)), fHasMenuBar);
            info->ptMinTrackSize = {rect.right - rect.left, rect.bottom - rect.top};
        }
        return 0;
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE:
        if (message == WM_MOUSEMOVE && handle != nullptr) {
            // Asks for the WM_MOUSELEAVE that tells hovered children the pointer went away.
            TRACKMOUSEEVENT track = {sizeof(TRACKMOUSEEVENT), TME_LEAVE, handle, 0};
            TrackMouseEvent(&track);
        }
        if ((wParam & (MK_LBUTTON | MK_RBUTTON)) != 0) {
            if (fMouseCaptured)
                RouteMouse(point, 0, UICustomControlBase::kMouseDrag);
        } else {
            RouteMouse(message == WM_MOUSELEAVE ? Vector2i{-1, -1} : point, 0, UICustomControlBase::kMouseHover);
        }
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        fMouseCaptured = 1;
        win32::SetCapture(handle);
        RouteMouse(point, MouseModifiers(wParam),
                   message == WM_LBUTTONDOWN ? UICustomControlBase::kMousePress : UICustomControlBase::kMouseDoubleClick);
        return 0;
    case WM_LBUTTONUP:
        if (fMouseCaptured) {
            fMouseCaptured = 0;
            ReleaseCapture();
            RouteMouse(point, MouseModifiers(wParam), UICustomControlBase::kMouseRelease);
        }
        return 0;
    case WM_CAPTURECHANGED:
        // The capture went elsewhere in the middle of a press: the pressed child hears that the
        // sequence ended, and the next press starts afresh.
        if (fMouseCaptured)
            CancelMouse();
        return 0;
    case WM_RBUTTONDOWN:
        if (UIElement* child = WindowlessChildAt(point - GetContentOrigin())) {
            POINT screen = {point.x, point.y};
            ClientToScreen(handle, &screen);
            CustomPart(child)->HandleContextClick(PointInChild(child, point - GetContentOrigin()), {screen.x, screen.y});
        }
        return 0;
    case WM_ENTERSIZEMOVE:
        (void)HandleMessage(CXMessage("CXUIWindow::BeginResizeMove", this));
        return 0;
    case WM_EXITSIZEMOVE:
        (void)HandleMessage(CXMessage("CXUIWindow::EndResizeMove", this));
        return 0;
    default:
        return NativeUIElement::HandleNativeMessage(message, wParam, lParam);
    }
}

void CXUIWindow::UpdateActivation(bool active)
{
    MoveToListHead();
    fActive = active ? 1 : 0;
    CXSafePointer<CXUIWindow> self(this);
    (void)HandleMessage(CXMessage(active ? "activate" : "deactivate", this));
    if (!self)
        return;
    // Depth first over every descendant custom control that shows activation.
    std::vector<UIElement*> pending;
    for (UIElement* child = LastChild(); child != nullptr; child = child->PreviousSibling())
        pending.push_back(child);
    while (!pending.empty()) {
        UIElement* element = pending.back();
        pending.pop_back();
        if (UICustomControlBase* custom = CustomPart(element)) {
            if ((custom->receivesActivation || custom->activationDescendants != 0) &&
                (custom->appearingActive != 0) != active) {
                custom->appearingActive = active ? 1 : 0;
                custom->SetAppearingActive(active);
            }
        }
        for (UIElement* child = element->LastChild(); child != nullptr; child = child->PreviousSibling())
            pending.push_back(child);
    }
}

// --- Windowless children ---

UIElement* CXUIWindow::WindowlessChildAt(Vector2i point) const
{
    for (UIElement* child = FirstChild(); child != nullptr; child = child->NextSibling()) {
        if (!child->IsVisible() || !IsWindowless(child))
            continue;
        Box2i frame = child->GetFrame();
        if (!frame.empty && point.x >= frame.left && point.x < frame.right && point.y >= frame.top &&
            point.y < frame.bottom)
            return child;
    }
    return nullptr;
}

void CXUIWindow::RouteMouse(Vector2i clientPoint, int32_t modifiers, int32_t phase)
{
    fLastMousePoint = clientPoint;
    Vector2i point = clientPoint - GetContentOrigin();
    UIElement* found = WindowlessChildAt(point);
    if (fPressed == nullptr && fHovered != nullptr && fHovered != found && CustomPart(fHovered)->tracksHover)
        CustomPart(fHovered)->MouseExited();
    fHovered = found;
    if (phase == UICustomControlBase::kMousePress || phase == UICustomControlBase::kMouseDoubleClick)
        fPressed = found;
    if (fPressed != nullptr)
        CustomPart(fPressed)->HandleMouse(PointInChild(fPressed, point), modifiers, phase);
    else if (phase == UICustomControlBase::kMouseHover && found != nullptr && CustomPart(found)->tracksHover)
        CustomPart(found)->HandleMouse(PointInChild(found, point), modifiers, phase);
    if (phase == UICustomControlBase::kMouseRelease || phase == UICustomControlBase::kMouseCancel)
        fPressed = nullptr;
}

void CXUIWindow::CancelMouse()
{
    fMouseCaptured = 0;
    UIElement* pressed = fPressed;
    fPressed = nullptr;
    if (pressed != nullptr)
        CustomPart(pressed)->HandleMouse(PointInChild(pressed, fLastMousePoint - GetContentOrigin()), 0,
                                         UICustomControlBase::kMouseCancel);
}

void CXUIWindow::ChildrenChanged()
{
    // A child that left is no longer pressed or hovered.
    if (fPressed != nullptr && fPressed->GetParent() != this)
        fPressed = nullptr;
    if (fHovered != nullptr && fHovered->GetParent() != this)
        fHovered = nullptr;
}

// --- Drawing ---

void CXUIWindow::InvalidateRegion(const RazaRegion& region)
{
    HWND handle = GetNativeHandle();
    if (handle == nullptr || !region.IsNotEmpty())
        return;
    RazaRegion copy = region;
    InvalidateRgn(handle, copy.GetNativeHandle(), FALSE);
}

void CXUIWindow::InvalidateBox(const Box2i& box)
{
    HWND handle = GetNativeHandle();
    if (handle == nullptr || box.empty || box.right < box.left || box.bottom < box.top)
        return;
    RECT rect = {box.left, box.top, box.right, box.bottom};
    InvalidateRect(handle, &rect, FALSE);
}

void CXUIWindow::InvalidateAll()
{
    if (HWND handle = GetNativeHandle())
        InvalidateRect(handle, nullptr, FALSE);
}

void CXUIWindow::Paint()
{
    HWND handle = GetNativeHandle();
    PAINTSTRUCT paint = {};
    HDC paintDC = BeginPaint(handle, &paint);
    const RECT& area = paint.rcPaint;
    if (paintDC != nullptr && area.left < area.right && area.top < area.bottom) {
        HRGN clip = CreateRectRgn(0, 0, 0, 0);
        GetRandomRgn(paintDC, clip, SYSRGN);
        if (fCompositingDeviceContext == nullptr)
            fCompositingDeviceContext = CreateCompatibleDC(paintDC);
        // The system region is in screen coordinates; the bitmap starts at the paint rectangle.
        POINT origin = {0, 0};
        MapWindowPoints(HWND_DESKTOP, handle, &origin, 1);
        OffsetRgn(clip, origin.x - area.left, origin.y - area.top);
        SelectClipRgn(fCompositingDeviceContext, clip);
        DeleteObject(clip);
        HBITMAP bitmap = CreateCompatibleBitmap(paintDC, area.right - area.left, area.bottom - area.top);
        HGDIOBJ previous = SelectObject(fCompositingDeviceContext, bitmap);
        OffsetViewportOrgEx(fCompositingDeviceContext, -area.left, -area.top, nullptr);
        auto* graf = new RazaGraf(fCompositingDeviceContext);
        Draw(*graf);
        SetViewportOrgEx(fCompositingDeviceContext, 0, 0, nullptr);
        BitBlt(paintDC, area.left, area.top, area.right - area.left, area.bottom - area.top, fCompositingDeviceContext,
               0, 0, SRCCOPY);
        SelectObject(fCompositingDeviceContext, previous);
        DeleteObject(bitmap);
        graf->RemoveReference();
    }
    EndPaint(handle, &paint);
}

void CXUIWindow::Draw(RazaGraf& graf)
{
    graf.FillBox({0, 0, GetWidth(), GetHeight(), false}, graf.GetColor(0));
    for (UIElement* child = LastChild(); child != nullptr; child = child->PreviousSibling()) {
        if (!child->IsVisible() || !IsWindowless(child))
            continue;
        Box2i frame = child->GetFrame();
        Box2i visible = frame.Intersect(graf.VisibleBox(frame));
        if (visible.IsEmpty())
            continue;
        graf.PushClipRegion(RazaRegion(visible), Vector2i{frame.left, frame.top} + child->GetContentOrigin());
        CustomPart(child)->Draw(graf);
        graf.PopClipRegion();
    }
}
