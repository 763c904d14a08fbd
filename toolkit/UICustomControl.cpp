// The custom control: its window, window procedure and painting, invalidation and scrolling.
// The windowless children's side (routing, focus, regions, counts) is in
// UICustomControlWindowless.cpp.

#include "toolkit/UICustomControl.h"

#include "foundation/CXDebug.h"
#include "foundation/CXSafePointer.h"
#include "toolkit/CXUIWindow.h"
#include "toolkit/RazaGraf.h"
#include "toolkit/RazaRegion.h"
#include "toolkit/UIAppearance.h"
#include "toolkit/UICustomControlDropTarget.h"
#include "toolkit/UIUserActionEvent.h"
#include "win32/core/Core.h"
#include "win32/gdi/Gdi.h"
#include "win32/user/Paint.h"
#include "win32/user/User.h"

#include <algorithm>
#include <cstdlib>

using namespace win32;

namespace {

const char16_t kClassName[] = u"UICustomControl";
const char16_t kNoPaintClassName[] = u"UICustomControlNoPaint";

constexpr int32_t kStraightHint = 2;
constexpr int32_t kTransparentHint = 4;
constexpr int32_t kNoPaintHint = 5;
constexpr int32_t kLeftButtonBit = 0x1;
constexpr int32_t kRightButtonBit = 0x2;
// How far the pointer may stray from the window's centre in low-level input before it is put back.
constexpr int32_t kRecentreDistance = 40;

// The classes belong to the layer's life: a layer shut down (and started again) forgets them.
bool gClassesRegistered = false;
bool gShutdownStepAdded = false;

void ForgetClasses()
{
    gClassesRegistered = false;
}

bool RegisterOneClass(const char16_t* name, UINT style)
{
    WNDCLASSW windowClass = {};
    windowClass.style = style;
    windowClass.lpfnWndProc = &UIWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(IDC_ARROW));
    windowClass.lpszClassName = name;
    return RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// False, logged, when a class could not be registered.
bool RegisterClasses()
{
    if (gClassesRegistered)
        return true;
    if (!gShutdownStepAdded) {
        gShutdownStepAdded = true;
        core::AddShutdownStep(&ForgetClasses);
    }
    if (!RegisterOneClass(kClassName, CS_DBLCLKS | CS_PARENTDC)) {
        CXDebugError("UICustomControl::CreateWin32HWND> RegisterClass(UICustomControl) failed");
        return false;
    }
    if (!RegisterOneClass(kNoPaintClassName, CS_DBLCLKS | CS_OWNDC)) {
        CXDebugError("UICustomControl::CreateWin32HWND> RegisterClass(UICustomControlNoPaint) failed");
        return false;
    }
    gClassesRegistered = true;
    return true;
}

// The character a navigation key also types through HandleText, or 0.
char16_t NavigationCharacter(WPARAM key)
{
    switch (key) {
    case VK_PRIOR:
        return 11;
    case VK_NEXT:
        return 12;
    case VK_END:
        return 4;
    case VK_HOME:
        return 1;
    case VK_LEFT:
        return 28;
    case VK_UP:
        return 30;
    case VK_RIGHT:
        return 29;
    case VK_DOWN:
        return 31;
    case VK_DELETE:
        return 127;
    default:
        return 0;
    }
}

bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

RECT AsRect(const Box2i& box)
{
    return {box.left, box.top, box.right, box.bottom};
}

} // namespace

int64_t UICustomControl::ApproximateDistance(Vector2i offset)
{
    const int64_t x = std::llabs(offset.x);
    const int64_t y = std::llabs(offset.y);
    const int64_t a = std::max(x, y);
    const int64_t b = std::min(x, y);
    if (b < ((a * 13107) >> 15))
        return a + ((b * 6310) >> 15);
    return ((a * 27926) >> 15) + ((b * 18414) >> 15);
}

// --- Life ---

UICustomControl::UICustomControl() = default;

UICustomControl::~UICustomControl()
{
    if (fCompositingDeviceContext != nullptr) {
        CXDebugError("~UICustomControl> m_compositingDeviceContext still allocated");
        DeleteDC(fCompositingDeviceContext);
        fCompositingDeviceContext = nullptr;
    }
    // Deleted without Destroy: the parent must not keep counting or pointing at this control.
    if (auto* parent = dynamic_cast<UICustomControlBase*>(GetParent())) {
        if (attachedToParent)
            UpdateParentDrawnAttributes(false);
        if (parent->focusedChild == this)
            parent->focusedChild = nullptr;
        if (parent->trackedChild == this)
            parent->trackedChild = nullptr;
    }
    ForgetWheelControl(this);
    RevokeDropTarget();
    if (fDropTarget != nullptr)
        fDropTarget->Release();
}

void UICustomControl::Init()
{
    UIElement* parent = GetParent();
    const UIAppearanceImplementation* requested =
        parent != nullptr ? parent->GetAppearance()->GetImplementation() : UIAppearanceWin32_Implementation::Get();
    SetAppearanceImplementation(requested, parent);
    CXUIControl::Init();
}

void UICustomControl::CreateSystemContext()
{
    CXUIControl::CreateSystemContext();
    UpdateParentDrawnAttributes(true);
}

void UICustomControl::DestroySystemContext()
{
    UpdateParentDrawnAttributes(false);
    CXUIControl::DestroySystemContext();
    // A window that went with its parent left the memory DC behind.
    if (fCompositingDeviceContext != nullptr) {
        DeleteDC(fCompositingDeviceContext);
        fCompositingDeviceContext = nullptr;
    }
}

void UICustomControl::CreateNativeWindow()
{
    if (IsWindowless() || !RegisterClasses())
        return;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (fTabStop)
        style |= WS_TABSTOP;
    DWORD extendedStyle = fControlParent && !fTabStop ? WS_EX_CONTROLPARENT : 0;
    if (compositingHint == kTransparentHint) {
        style &= ~WS_CLIPSIBLINGS;
        extendedStyle |= WS_EX_TRANSPARENT;
    }
    const char16_t* className = compositingHint == kNoPaintHint ? kNoPaintClassName : kClassName;
    if (CreateControlWindow(extendedStyle, className, style, CXString()) == nullptr) {
        CXDebugError("UICustomControl::CreateWin32HWND> CreateWindowEx failed. GetLastError()=%d",
                     static_cast<int>(GetLastError()));
        return;
    }
    RegisterDropTarget();
    NativeWindowCreated();
}

void UICustomControl::DestroyNativeWindow()
{
    // Before the window goes: a window that dies registered keeps the target's reference.
    RevokeDropTarget();
    HWND handle = GetLiveNativeHandle();
    // Low-level input would leave the cursor hidden for good.
    if (fLowLevelInputActive)
        EndLowLevelInput();
    // Cleared first: the capture's end is no cancel of a press while the window goes.
    fCaptureButtons = 0;
    fPendingHighSurrogate = 0;
    if (handle != nullptr && GetCapture() == handle)
        ReleaseCapture();
    NativeWindowDestroying();
    if (fCompositingDeviceContext != nullptr) {
        DeleteDC(fCompositingDeviceContext);
        fCompositingDeviceContext = nullptr;
    }
    CXUIControl::DestroyNativeWindow();
}

void UICustomControl::NativeWindowCreated() {}

void UICustomControl::NativeWindowDestroying() {}

void UICustomControl::AttachToParentWindow()
{
    if (!IsWindowless())
        CXUIControl::AttachToParentWindow();
}

// --- Element operations ---

CXResultCode UICustomControl::HandleMessage(const CXMessage& message)
{
    if (message.GetName() == "action-event")
        return kCXOK;
    return CXUIControl::HandleMessage(message);
}

UIElement* UICustomControl::AddChild(UIElement* child, UIElement* before)
{
    UIElement* added = CXUIControl::AddChild(child, before);
    if (auto* custom = dynamic_cast<UICustomControl*>(added)) {
        custom->UpdateParentDrawnAttributes(true);
        if (custom->IsWindowless())
            custom->InvalidateAll();
    }
    return added;
}

void UICustomControl::RemoveFromParent()
{
    if (UIElement* parent = GetParent()) {
        UpdateParentDrawnAttributes(false);
        if (IsWindowless() && IsVisible())
            parent->InvalidateBox(GetFrame());
    }
    CXUIControl::RemoveFromParent();
}

void UICustomControl::SetVisible(bool visible)
{
    if (IsVisible() == visible)
        return;
    UpdateParentDrawnAttributes(false);
    CXUIControl::SetVisible(visible);
    UpdateParentDrawnAttributes(true);
    if (UIElement* parent = GetParent(); parent != nullptr && IsWindowless())
        parent->InvalidateBox(GetFrame());
}

bool UICustomControl::IsAppearingActive() const
{
    if (!receivesActivation) {
        CXDebugError(
            "UICustomControl::IsAppearingActive> custom control is not flagged to receive activation messages");
    }
    return appearingActive != 0;
}

Box2i UICustomControl::GetBounds() const
{
    auto needed = [](int32_t anchor, int32_t position, int32_t farEdge, int32_t ownSize, int32_t childSize) {
        switch (anchor) {
        case 0:
            return position + childSize;
        case 1:
            return ownSize - farEdge + childSize;
        default:
            return position + (ownSize - farEdge) + childSize;
        }
    };
    int32_t width = 0;
    int32_t height = 0;
    for (UIElement* child = FirstChild(); child != nullptr; child = child->NextSibling()) {
        const Box2i frame = child->GetFrame();
        const Box2i bounds = child->GetBounds();
        const int32_t childWidth =
            needed(child->GetHorizontalAnchor(), frame.left, frame.right, GetWidth(), bounds.Width());
        const int32_t childHeight =
            needed(child->GetVerticalAnchor(), frame.top, frame.bottom, GetHeight(), bounds.Height());
        width = std::max(width, childWidth);
        height = std::max(height, childHeight);
    }
    return {0, 0, width, height, false};
}

Vector2i UICustomControl::GetContentOrigin() const
{
    return contentOrigin;
}

bool UICustomControl::NeedsRelayout() const
{
    return IsWindowless();
}

const UIAppearanceImplementation* UICustomControl::ChooseAppearanceImplementation(
    const UIAppearanceImplementation* requested, UIElement* parent) const
{
    if (compositingHint == kWindowlessHint && parent != nullptr &&
        (dynamic_cast<UICustomControlBase*>(parent) != nullptr || dynamic_cast<CXUIWindow*>(parent) != nullptr))
        return UIAppearanceGeneric_Implementation::Get();
    if (requested == UIAppearanceWin32_Implementation::Get())
        return requested;
    return UIAppearanceGeneric_Implementation::Get();
}

bool UICustomControl::IsWindowless() const
{
    return const_cast<UICustomControl*>(this)->GetAppearance()->GetImplementation() ==
           UIAppearanceGeneric_Implementation::Get();
}

void UICustomControl::SetCompositingHint(int32_t hint)
{
    if (FirstChild() != nullptr)
        CXDebugError("UICustomControl::SetCompositingHint> don't change the compositing hint after we have children");
    UICustomControlBase::SetCompositingHint(hint);
    if (fCompositingDeviceContext != nullptr) {
        DeleteDC(fCompositingDeviceContext);
        fCompositingDeviceContext = nullptr;
    }
}

// --- Invalidation ---

Box2i UICustomControl::ContentBox() const
{
    return {contentOrigin.x, contentOrigin.y, contentOrigin.x + GetWidth(), contentOrigin.y + GetHeight(), false};
}

void UICustomControl::InvalidateBox(const Box2i& box)
{
    if (box.IsEmpty() || !IsVisible())
        return;
    const Box2i clipped = box.Intersect(ContentBox());
    if (clipped.IsEmpty())
        return;
    if (IsWindowless()) {
        UIElement* parent = GetParent();
        const Box2i frame = GetFrame();
        const Box2i inParent = clipped.Offset(Vector2i{frame.left, frame.top} - contentOrigin).Intersect(frame);
        if (parent != nullptr && !inParent.IsEmpty())
            parent->InvalidateBox(inParent);
        return;
    }
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return;
    const RECT rect = AsRect(clipped.Offset(Vector2i{} - (GetNativeOffset() + contentOrigin)));
    InvalidateRect(handle, &rect, FALSE);
}

void UICustomControl::InvalidateRegion(const RazaRegion& region)
{
    if (!region.IsNotEmpty() || !IsVisible())
        return;
    RazaRegion clipped = region.Intersect(RazaRegion(ContentBox()));
    if (!clipped.IsNotEmpty())
        return;
    if (IsWindowless()) {
        UIElement* parent = GetParent();
        const Box2i frame = GetFrame();
        RazaRegion inParent =
            clipped.Offset(Vector2i{frame.left, frame.top} - contentOrigin).Intersect(RazaRegion(frame));
        if (parent != nullptr && inParent.IsNotEmpty())
            parent->InvalidateRegion(inParent);
        return;
    }
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return;
    RazaRegion inWindow = clipped.Offset(Vector2i{} - (GetNativeOffset() + contentOrigin));
    InvalidateRgn(handle, inWindow.GetNativeHandle(), FALSE);
}

void UICustomControl::InvalidateAll()
{
    if (IsVisible())
        InvalidateBox(ContentBox());
}

void UICustomControl::SetContentOrigin(Vector2i origin)
{
    if (origin == contentOrigin)
        return;
    const Vector2i old = contentOrigin;
    contentOrigin = origin;
    if (IsWindowless() || redrawOnScroll) {
        InvalidateAll();
    } else if (HWND handle = GetLiveNativeHandle()) {
        ScrollWindowEx(handle, old.x - origin.x, old.y - origin.y, nullptr, nullptr, nullptr, nullptr,
                       SW_SCROLLCHILDREN | SW_INVALIDATE);
    }
    for (UIElement* child = FirstChild(); child != nullptr;) {
        UIElement* next = child->NextSibling();
        const Box2i before = child->GetFrame();
        child->ApplyLayout();
        if (child->HasSystemContext() && (child->GetFrame() != before || child->NeedsRelayout()))
            child->LayoutChildren();
        child = next;
    }
}

// --- Drawing ---

CXAutoReference<RazaGraf> UICustomControl::CreateGraf()
{
    CXAutoReference<RazaGraf> graf;
    HWND handle = GetLiveNativeHandle();
    HDC dc = handle != nullptr ? GetWindowDC(handle) : nullptr;
    if (dc != nullptr)
        graf.Swallow(new RazaGraf(dc, handle));
    else
        graf.Swallow(new RazaGraf(nullptr));
    return graf;
}

void UICustomControl::Draw(RazaGraf& graf)
{
    // The visible content starts at the content origin, so a scrolled control is filled whole.
    if (compositingHint != kTransparentHint)
        graf.FillBox(ContentBox(), GetAppearance()->GetColor());
    DrawWindowlessChildren(graf);
}

void UICustomControl::DrawWindowlessChildren(RazaGraf& graf)
{
    const Box2i area = graf.VisibleBox(ContentBox());
    if (area.IsEmpty())
        return;
    for (UIElement* child = FirstChild(); child != nullptr; child = child->NextSibling()) {
        auto* custom = dynamic_cast<UICustomControlBase*>(child);
        if (custom == nullptr || !child->IsVisible() || !custom->IsWindowless())
            continue;
        const Box2i frame = child->GetFrame();
        const Box2i part = frame.Intersect(area);
        if (part.IsEmpty())
            continue;
        graf.PushClipRegion(RazaRegion(part), Vector2i{frame.left, frame.top} - child->GetContentOrigin());
        custom->Draw(graf);
        graf.PopClipRegion();
    }
}

void UICustomControl::Paint()
{
    HWND handle = GetNativeHandle();
    PAINTSTRUCT paint = {};
    HDC paintDC = BeginPaint(handle, &paint);
    const RECT area = paint.rcPaint;
    if (paintDC != nullptr && area.left < area.right && area.top < area.bottom) {
        if (compositingHint == kStraightHint || compositingHint == kTransparentHint) {
            // Element coordinates, as in the buffered path: the clamp's shift is taken off.
            const Vector2i offset = GetNativeOffset();
            OffsetViewportOrgEx(paintDC, -offset.x, -offset.y, nullptr);
            DrawThrough(paintDC);
        } else {
            PaintBuffered(handle, paintDC, area);
        }
    }
    EndPaint(handle, &paint);
}

void UICustomControl::PaintBuffered(HWND handle, HDC paintDC, const RECT& area)
{
    HRGN clip = CreateRectRgn(0, 0, 0, 0);
    GetRandomRgn(paintDC, clip, SYSRGN);
    if (fCompositingDeviceContext == nullptr)
        fCompositingDeviceContext = CreateCompatibleDC(paintDC);
    HDC memory = fCompositingDeviceContext;
    // The system region is in screen coordinates; the bitmap starts at the paint rectangle.
    POINT screenOrigin = {0, 0};
    MapWindowPoints(HWND_DESKTOP, handle, &screenOrigin, 1);
    OffsetRgn(clip, screenOrigin.x - area.left, screenOrigin.y - area.top);
    SelectClipRgn(memory, clip);
    DeleteObject(clip);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    HBITMAP bitmap = CreateCompatibleBitmap(paintDC, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    const Vector2i offset = GetNativeOffset();
    OffsetViewportOrgEx(memory, -(area.left + offset.x), -(area.top + offset.y), nullptr);
    DrawThrough(memory);
    SetViewportOrgEx(memory, 0, 0, nullptr);
    BitBlt(paintDC, area.left, area.top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
}

void UICustomControl::DrawThrough(HDC dc)
{
    CXAutoReference<RazaGraf> graf;
    graf.Swallow(new RazaGraf(dc));
    graf->PushClipRegion(RazaRegion(Box2i{0, 0, GetWidth(), GetHeight(), false}), Vector2i{} - contentOrigin);
    Draw(*graf);
    graf->PopClipRegion();
}

// --- Window procedure ---

Vector2i UICustomControl::ClientPoint(LPARAM lParam) const
{
    return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

Vector2i UICustomControl::ElementPoint(LPARAM lParam) const
{
    return ClientPoint(lParam) + GetNativeOffset() + contentOrigin;
}

int32_t UICustomControl::MouseModifiers(WPARAM wParam) const
{
    int32_t modifiers = 0;
    if ((wParam & MK_SHIFT) != 0)
        modifiers |= kModifierShift;
    if (GetKeyState(VK_MENU) < 0)
        modifiers |= kModifierAlt;
    if ((wParam & MK_CONTROL) != 0)
        modifiers |= kModifierControl;
    return modifiers;
}

void UICustomControl::SendActionEvent(const CXMessage& event)
{
    (void)HandleMessage(event);
}

LRESULT UICustomControl::HandleNativeMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        if (fLowLevelInputActive)
            StartLowLevelInput();
        return 0;
    case WM_SETFOCUS:
        if (fInputMode == kInputLowLevel && !fLowLevelInputActive)
            StartLowLevelInput();
        FocusGained();
        return 0;
    case WM_KILLFOCUS:
        if (fLowLevelInputActive)
            EndLowLevelInput();
        // A high surrogate whose low half never came is dropped.
        fPendingHighSurrogate = 0;
        FocusLost();
        return 0;
    case WM_PAINT:
        if (compositingHint == kNoPaintHint)
            ValidateRect(GetNativeHandle(), nullptr);
        else
            Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETCURSOR: {
        CXSafePointer<UIElement> alive(this);
        if (HandleMessage(CXMessage("set-mouse-cursor", this)) == kCXOK || !alive)
            return 1;
        break;
    }
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (!HandleKeyMessage(message, wParam))
            return 0;
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        (void)HandleKeyMessage(message, wParam);
        return 0;
    case WM_CHAR:
        HandleCharacter(static_cast<char16_t>(wParam));
        return 0;
    case WM_MOUSEMOVE:
        HandleMouseMove(wParam, lParam);
        return 0;
    case WM_MOUSELEAVE:
        // The pointer left the window without a button held: hover ends.
        if (fCaptureButtons == 0)
            MouseExited();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_RBUTTONUP:
        HandleMouseButton(message, wParam, lParam);
        return 0;
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
        HandleWheelMessage(message == WM_MOUSEHWHEEL, wParam, lParam);
        return 0;
    case WM_CAPTURECHANGED:
        HandleCaptureLost(reinterpret_cast<HWND>(lParam));
        return 0;
    default:
        break;
    }
    return CXUIControl::HandleNativeMessage(message, wParam, lParam);
}

bool UICustomControl::HandleKeyMessage(UINT message, WPARAM wParam)
{
    CXSafePointer<UIElement> alive(this);
    const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    const auto key = static_cast<int32_t>(wParam);
    SendActionEvent(CXMessageUserActionEvent(UserActionEventTime(), this,
                                             down ? CXMessageUserActionEvent::kADKeyPressed
                                                  : CXMessageUserActionEvent::kADKeyReleased,
                                             key, UserActionKeyModifiers()));
    if (!alive)
        return false;
    (void)HandleKey(key, down ? kKeyPressed : kKeyReleased);
    if (!alive)
        return false;
    const char16_t navigation = down ? NavigationCharacter(wParam) : 0;
    if (navigation != 0) {
        const char16_t text[2] = {navigation, 0};
        (void)HandleText(text, 2, UserActionKeyModifiers());
    }
    return static_cast<bool>(alive);
}

void UICustomControl::HandleCharacter(char16_t unit)
{
    // A character above U+FFFF comes as two units: the high one waits for the low one, and the
    // pair goes on as one text. A unit without its other half is never handed on.
    if (IsHighSurrogate(unit)) {
        fPendingHighSurrogate = unit;
        return;
    }
    const char16_t high = fPendingHighSurrogate;
    fPendingHighSurrogate = 0;
    if (IsLowSurrogate(unit)) {
        if (high == 0)
            return;
        const char16_t pair[3] = {high, unit, 0};
        (void)HandleText(pair, 4, UserActionKeyModifiers());
        return;
    }
    const char16_t text[2] = {unit, 0};
    (void)HandleText(text, 2, UserActionKeyModifiers());
}

void UICustomControl::HandleMouseButton(UINT message, WPARAM wParam, LPARAM lParam)
{
    CXSafePointer<UIElement> alive(this);
    const bool left = message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK || message == WM_LBUTTONUP;
    const bool down = message != WM_LBUTTONUP && message != WM_RBUTTONUP;
    const Vector2i client = ClientPoint(lParam);
    const double time = UserActionEventTime();
    if (down && fFocusOnClick) {
        win32::SetFocus(GetNativeHandle());
        if (!alive)
            return;
    }
    if (left)
        HandleLeftButton(message, ElementPoint(lParam), MouseModifiers(wParam));
    else
        HandleRightButton(down, ElementPoint(lParam), client);
    if (!alive)
        return;
    // The left button's events are placed in element terms, the right button's at the client point.
    const Vector2i position = left ? client + GetNativeOffset() : client;
    SendActionEvent(CXMessageUserActionEvent(time, this,
                                             down ? CXMessageUserActionEvent::kADButtonPressed
                                                  : CXMessageUserActionEvent::kADButtonReleased,
                                             left ? 0 : 1, 0.0, position));
}

void UICustomControl::HandleLeftButton(UINT message, Vector2i point, int32_t modifiers)
{
    // Low-level input reports the buttons as action events only.
    if (fLowLevelInputActive)
        return;
    CXSafePointer<UIElement> alive(this);
    if (message == WM_LBUTTONUP) {
        if ((fCaptureButtons & kLeftButtonBit) == 0)
            return;
        fCaptureButtons &= ~kLeftButtonBit;
        if (fCaptureButtons == 0)
            ReleaseCapture();
        if (!alive)
            return;
        fLastMousePoint = point;
        (void)HandleMouse(point, modifiers, kMouseRelease);
        return;
    }
    if (fCaptureButtons == 0)
        SetCapture(GetNativeHandle());
    if (!alive)
        return;
    fCaptureButtons |= kLeftButtonBit;
    fLastMousePoint = point;
    (void)HandleMouse(point, modifiers, message == WM_LBUTTONDOWN ? kMousePress : kMouseDoubleClick);
}

void UICustomControl::HandleRightButton(bool down, Vector2i point, Vector2i client)
{
    // The capture is released only with the last button that holds it.
    if (!down) {
        const bool onlyRight = fCaptureButtons == kRightButtonBit;
        fCaptureButtons &= ~kRightButtonBit;
        if (onlyRight)
            ReleaseCapture();
        return;
    }
    CXSafePointer<UIElement> alive(this);
    HWND handle = GetNativeHandle();
    if (fCaptureButtons == 0)
        SetCapture(handle);
    if (!alive)
        return;
    fCaptureButtons |= kRightButtonBit;
    POINT screen = {client.x, client.y};
    ClientToScreen(handle, &screen);
    (void)HandleContextClick(point, {screen.x, screen.y});
}

void UICustomControl::HandleCaptureLost(HWND newHolder)
{
    // Another window took the capture (a menu, a sheet) in the middle of a press: the sequence is
    // cancelled where the pointer was last seen, and the next press takes the capture afresh.
    if (fCaptureButtons == 0 || newHolder == GetNativeHandle())
        return;
    const bool leftHeld = (fCaptureButtons & kLeftButtonBit) != 0;
    fCaptureButtons = 0;
    if (leftHeld)
        (void)HandleMouse(fLastMousePoint, 0, kMouseCancel);
}

void UICustomControl::HandleMouseMove(WPARAM wParam, LPARAM lParam)
{
    HWND handle = GetNativeHandle();
    if (fLowLevelInputActive) {
        POINT cursor = {};
        GetCursorPos(&cursor);
        const Vector2i position = Vector2i{cursor.x, cursor.y} + GetNativeOffset();
        const Vector2i delta = position - fLastCursor;
        fLastCursor = position;
        RECT rect = {};
        GetWindowRect(handle, &rect);
        const Vector2i centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        if (ApproximateDistance(centre - fLastCursor) > kRecentreDistance) {
            fLastCursor = centre;
            SetCursorPos(centre.x, centre.y);
        }
        SendActionEvent(CXMessageUserActionEvent(UserActionEventTime(), this, delta, position));
        return;
    }
    const Vector2i point = ElementPoint(lParam);
    if ((wParam & (MK_LBUTTON | MK_RBUTTON)) != 0) {
        if ((fCaptureButtons & kLeftButtonBit) != 0) {
            fLastMousePoint = point;
            (void)HandleMouse(point, 0, kMouseDrag);
            return;
        }
    } else if (fInputMode == kInputPointerMotion) {
        const Vector2i position = ClientPoint(lParam) + GetNativeOffset();
        const Vector2i delta = position - fLastCursor;
        fLastCursor = position;
        SendActionEvent(CXMessageUserActionEvent(UserActionEventTime(), this, delta, position));
        return;
    }
    // A windowless child that tracks hover needs the moves as much as the control itself.
    if (!tracksHover && hoverDescendants == 0)
        return;
    TRACKMOUSEEVENT track = {sizeof(TRACKMOUSEEVENT), TME_LEAVE, handle, 0};
    TrackMouseEvent(&track);
    (void)HandleMouse(point, 0, kMouseHover);
}

void UICustomControl::HandleWheelMessage(bool horizontal, WPARAM wParam, LPARAM lParam)
{
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(GetNativeHandle(), &point);
    const UIScrollWheelEvent wheel =
        MakeScrollWheelEvent(this, horizontal, wParam, Vector2i{point.x, point.y} + contentOrigin);
    (void)HandleWheel(wheel);
}

// --- Input modes ---

void UICustomControl::SetInputMode(int32_t mode)
{
    if (mode == fInputMode)
        return;
    if (fLowLevelInputActive)
        EndLowLevelInput();
    fInputMode = mode;
    HWND handle = GetLiveNativeHandle();
    if (mode == kInputLowLevel && handle != nullptr && GetFocus() == handle)
        StartLowLevelInput();
}

void UICustomControl::StartLowLevelInput()
{
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return;
    RECT rect = {};
    GetWindowRect(handle, &rect);
    ShowCursor(FALSE);
    SetCapture(handle);
    ClipCursor(&rect);
    const Vector2i centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    SetCursorPos(centre.x, centre.y);
    fLastCursor = centre;
    fLowLevelInputActive = 1;
    CXDebugLog("ActivateLowLevelInputMethod()");
}

void UICustomControl::EndLowLevelInput()
{
    ClipCursor(nullptr);
    while (ShowCursor(TRUE) < 0) {
    }
    fLowLevelInputActive = 0;
    HWND handle = GetNativeHandle();
    if (handle != nullptr && GetCapture() == handle)
        ReleaseCapture();
    CXDebugLog("DeactivateLowLevelInputMethod()");
}
