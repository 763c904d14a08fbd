// The native control base: the control's window made, parented, stacked, placed and destroyed
// in step with its element.

#include "toolkit/CXUIControl.h"

#include "foundation/CXDebug.h"
#include "foundation/CXTextEncoding.h"
#include "foundation/CXThread.h"
#include "toolkit/CXUIWindow.h"
#include "toolkit/UIAppearance.h"
#include "win32/controls/Controls.h"
#include "win32/gdi/Gdi.h"
#include "win32/user/User.h"

#include <algorithm>
#include <string>

using namespace win32;

namespace {

constexpr UINT kZOrderFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_NOOWNERZORDER;
constexpr UINT kMoveFlags = SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_NOOWNERZORDER;

// Windows take coordinates within 16 bits: a non-empty box is cut to [-0x4000, 0x3FFF]; one
// that lies wholly outside becomes a 1-by-1 box at the lowest corner. An empty box stays.
Box2i ClampToWindowRange(const Box2i& box)
{
    if (box.IsEmpty())
        return box;
    Box2i clamped{std::max(box.left, -0x4000), std::max(box.top, -0x4000), std::min(box.right, 0x3FFF),
                  std::min(box.bottom, 0x3FFF), false};
    if (clamped.IsEmpty())
        return {-0x8000, -0x8000, -0x7FFF, -0x7FFF, false};
    return clamped;
}

// The window that `element`'s window goes right below so that the windows in `parentWindow`
// stack in child-list order: that of the nearest earlier sibling lying in `parentWindow`, or
// HWND_TOP when there is none.
HWND WindowAbove(const UIElement* element, HWND parentWindow)
{
    for (const UIElement* sibling = element->PreviousSibling(); sibling != nullptr;
         sibling = sibling->PreviousSibling()) {
        HWND handle = NativeUIElement::GetNativeHandle(sibling);
        if (handle != nullptr && win32::GetParent(handle) == parentWindow)
            return handle;
    }
    return HWND_TOP;
}

COLORREF ColorRefOf(const CXColor& color)
{
    return color.ToColorRef() & 0xFFFFFFu;
}

} // namespace

// --- Life ---

CXUIControl::CXUIControl()
{
    SetAppearanceImplementation(UIAppearanceWin32_Implementation::Get(), nullptr);
}

CXUIControl::~CXUIControl()
{
    (void)GetLiveNativeHandle();
    if (fBackgroundBrush != nullptr)
        CXDebugError("~CXUIControl> m_backgroundBrush still allocated");
    if (fControlFont != nullptr)
        CXDebugError("~CXUIControl> m_controlFont still allocated");
}

HWND CXUIControl::GetLiveNativeHandle()
{
    HWND handle = GetNativeHandle();
    if (handle == nullptr || IsWindow(handle))
        return handle;
    // The window went with its parent or top-level window.
    SetNativeHandle(nullptr);
    ReleaseWindowResources();
    return nullptr;
}

bool CXUIControl::HasLiveWindow() const
{
    HWND handle = GetNativeHandle();
    return handle != nullptr && IsWindow(handle);
}

void CXUIControl::ReleaseWindowResources()
{
    if (fBackgroundBrush != nullptr) {
        DeleteObject(fBackgroundBrush);
        fBackgroundBrush = nullptr;
    }
    if (fControlFont != nullptr) {
        DeleteObject(fControlFont);
        fControlFont = nullptr;
    }
}

void CXUIControl::CreateSystemContext()
{
    // A control of the generic family is drawn by its custom-drawn host and has no window.
    if (GetAppearance()->GetImplementation() != UIAppearanceGeneric_Implementation::Get()) {
        // The layer's built-in control classes must exist before the first control window.
        win32::controls::RegisterControlClasses();
        (void)CXUIWindow::EnsureParkingWindow();
        CreateNativeWindow();
        if (HWND handle = GetLiveNativeHandle()) {
            AttachToParentWindow();
            ApplyFont();
            EnableWindow(handle, fEnabled ? TRUE : FALSE);
            ShowWindow(handle, IsVisible() ? SW_SHOW : SW_HIDE);
        }
    }
    UIElement::CreateSystemContext();
}

void CXUIControl::DestroySystemContext()
{
    UIElement::DestroySystemContext();
    if (GetNativeHandle() != nullptr)
        DestroyNativeWindow();
    else
        // A window that went with its top-level window (its handle already forgotten) left its
        // font and brush behind.
        ReleaseWindowResources();
}

void CXUIControl::DestroyNativeWindow()
{
    // The focus is left to the window system, which hands a dying focus to the top-level window;
    // clearing it here would leave the keyboard dead until the next click.
    if (HWND handle = GetLiveNativeHandle()) {
        SetWindowLongPtrW(handle, GWLP_USERDATA, 0);
        SetNativeHandle(nullptr);
        DestroyWindow(handle);
    }
    ReleaseWindowResources();
}

HWND CXUIControl::CreateControlWindow(DWORD extendedStyle, const char16_t* className, DWORD style,
                                      const CXString& text)
{
    const Box2i box = PlaceFrame();
    const CXString units = ConvertUTF8ToUTF16(text.c_str(), text.length());
    HWND handle = CreateWindowExW(extendedStyle, className, UTF16Units(units), style, box.left, box.top, box.Width(),
                                  box.Height(), GetParentWindowForCreation(), nullptr, GetModuleHandleW(nullptr),
                                  static_cast<UIElement*>(this));
    if (handle == nullptr)
        return nullptr;
    SetNativeHandle(handle);
    SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(static_cast<UIElement*>(this)));
    return handle;
}

HWND CXUIControl::GetParentWindowForCreation() const
{
    HWND parentWindow = NativeUIElement::GetNativeHandle(GetParent());
    if (parentWindow != nullptr && IsWindow(parentWindow))
        return parentWindow;
    return CXUIWindow::GetParkingWindowHandle();
}

// --- Tree and windows ---

UIElement* CXUIControl::AddChild(UIElement* child, UIElement* before)
{
    UIElement* added = UIElement::AddChild(child, before);
    HWND handle = GetLiveNativeHandle();
    HWND addedHandle = NativeUIElement::GetNativeHandle(added);
    if (added == nullptr || handle == nullptr || addedHandle == nullptr || !IsWindow(addedHandle))
        return added;
    if (!CXThread::IsMainThread())
        CXDebugError("CXUIControl::AddChild> called on background thread");
    win32::SetParent(addedHandle, handle);
    SetWindowPos(addedHandle, WindowAbove(added, handle), 0, 0, 0, 0, kZOrderFlags);
    return added;
}

void CXUIControl::AttachToParentWindow()
{
    HWND handle = GetLiveNativeHandle();
    HWND parentWindow = NativeUIElement::GetNativeHandle(GetParent());
    if (handle == nullptr || parentWindow == nullptr || !IsWindow(parentWindow))
        return;
    win32::SetParent(handle, parentWindow);
    SetWindowPos(handle, WindowAbove(this, parentWindow), 0, 0, 0, 0, kZOrderFlags);
}

void CXUIControl::RemoveFromParent()
{
    if (GetLiveNativeHandle() != nullptr)
        ParkNativeWindow();
    UIElement::RemoveFromParent();
}

void CXUIControl::ParentSystemContextCreated()
{
    AttachToParentWindow();
}

void CXUIControl::ParentSystemContextDestroyed()
{
    if (GetLiveNativeHandle() != nullptr)
        ParkNativeWindow();
}

// --- State ---

void CXUIControl::SetVisible(bool visible)
{
    if (IsVisible() == visible)
        return;
    UIElement::SetVisible(visible);
    if (HWND handle = GetLiveNativeHandle())
        ShowWindow(handle, visible ? SW_SHOW : SW_HIDE);
}

void CXUIControl::SetEnabled(bool enabled)
{
    if (IsEnabled() == enabled)
        return;
    fEnabled = enabled ? 1 : 0;
    if (HWND handle = GetLiveNativeHandle())
        EnableWindow(handle, enabled ? TRUE : FALSE);
}

void CXUIControl::InvalidateAll()
{
    if (HWND handle = GetLiveNativeHandle())
        InvalidateRect(handle, nullptr, FALSE);
}

void CXUIControl::SetFocus()
{
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return;
    HWND parking = CXUIWindow::GetParkingWindowHandle();
    if (parking != nullptr && win32::GetParent(handle) == parking)
        return;
    win32::SetFocus(handle);
}

bool CXUIControl::HasFocus() const
{
    return HasLiveWindow() && win32::GetFocus() == GetNativeHandle();
}

bool CXUIControl::NeedsRelayout() const
{
    return !HasLiveWindow();
}

const UIAppearanceImplementation* CXUIControl::ChooseAppearanceImplementation(const UIAppearanceImplementation*,
                                                                               UIElement*) const
{
    return UIAppearanceWin32_Implementation::Get();
}

void CXUIControl::FocusGained() {}

void CXUIControl::FocusLost() {}

CXString CXUIControl::GetNativeTitle() const
{
    const CXString& title = GetTitle();
    std::string doubled;
    doubled.reserve(title.length());
    for (const char* c = title.c_str(); *c != '\0'; ++c) {
        doubled += *c;
        if (*c == '&')
            doubled += '&';
    }
    return CXString(doubled.c_str(), doubled.size());
}

// --- Layout ---

Box2i CXUIControl::PlaceFrame()
{
    const UIElement* parent = GetParent();
    const Vector2i origin = parent != nullptr ? parent->GetContentOrigin() : Vector2i{};
    const Box2i target = GetFrame().Offset(Vector2i{} - origin);
    const Box2i placed = ClampToWindowRange(target);
    fNativeOffset = {placed.left - target.left, placed.top - target.top};
    return placed;
}

Box2i CXUIControl::WindowBoxInParent(HWND handle)
{
    RECT rect = {};
    GetWindowRect(handle, &rect);
    POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
    MapWindowPoints(HWND_DESKTOP, win32::GetParent(handle), corners, 2);
    return {corners[0].x, corners[0].y, corners[1].x, corners[1].y, false};
}

void CXUIControl::ApplyWindowlessLayout()
{
    const Box2i before = GetFrame();
    UIElement::ApplyLayout();
    if (!IsVisible() || GetFrame() == before)
        return;
    if (UIElement* parent = GetParent())
        parent->InvalidateBox(before);
    InvalidateAll();
}

void CXUIControl::ApplyLayout()
{
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr) {
        ApplyWindowlessLayout();
        return;
    }
    UIElement::ApplyLayout();
    UIElement* parent = GetParent();
    const Vector2i origin = parent != nullptr ? parent->GetContentOrigin() : Vector2i{};
    const Box2i before = WindowBoxInParent(handle);
    const Box2i oldFrame = before.Offset(origin - fNativeOffset);
    const Box2i placed = PlaceFrame();
    SetWindowPos(handle, nullptr, placed.left, placed.top, placed.Width(), placed.Height(), kMoveFlags);
    if (!IsVisible() || WindowBoxInParent(handle) == before)
        return;
    InvalidateAll();
    if (parent != nullptr)
        parent->InvalidateBox(oldFrame);
}

// --- Font and colours ---

void CXUIControl::SetFont(const RazaFont& font)
{
    if (&font != &fFont)
        fFont.Merge(font);
    ApplyFont();
}

RazaFont CXUIControl::GetFont() const
{
    return fFont;
}

void CXUIControl::ApplyFont()
{
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return;
    HFONT previous = fControlFont;
    fControlFont = fFont.DetachFontHandle();
    SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(fControlFont), TRUE);
    if (previous != nullptr && previous != fControlFont)
        DeleteObject(previous);
}

LRESULT CXUIControl::AnswerControlColors(HDC dc, const CXColor& text, const CXColor& background)
{
    const COLORREF backgroundColor = ColorRefOf(background);
    SetTextColor(dc, ColorRefOf(text));
    SetBkColor(dc, backgroundColor);
    if (fBackgroundBrush != nullptr && fBackgroundBrushColor != backgroundColor) {
        DeleteObject(fBackgroundBrush);
        fBackgroundBrush = nullptr;
    }
    if (fBackgroundBrush == nullptr) {
        fBackgroundBrush = CreateSolidBrush(backgroundColor);
        fBackgroundBrushColor = backgroundColor;
    }
    return reinterpret_cast<LRESULT>(fBackgroundBrush);
}

// --- Messages ---

LRESULT CXUIControl::HandleNativeMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETFOCUS:
        FocusGained();
        return 0;
    case WM_KILLFOCUS:
        FocusLost();
        return 0;
    case WM_COMMAND: {
        if (lParam == 0 || reinterpret_cast<HWND>(lParam) != GetNativeHandle())
            break;
        const WORD code = HIWORD(static_cast<uintptr_t>(wParam));
        if (code == EN_SETFOCUS) {
            FocusGained();
            return 0;
        }
        if (code == EN_KILLFOCUS) {
            FocusLost();
            return 0;
        }
        break;
    }
    default:
        break;
    }
    return NativeUIElement::HandleNativeMessage(message, wParam, lParam);
}
