// The push button and the checkbox: a click becomes "preclick" and "click".

#include "toolkit/UIButton.h"

#include "foundation/CXSafePointer.h"
#include "foundation/CXTextEncoding.h"
#include "toolkit/UIAppearance.h"
#include "win32/user/User.h"

using namespace win32;

namespace {

constexpr DWORD kPushButtonStyle = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kCheckboxStyle = WS_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX;

// BN_CLICKED reflected from the button's window, or Enter's IDOK (whose high word is 0 as well)
// while the button has the focus.
bool IsClick(UINT message, WPARAM wParam)
{
    return message == WM_COMMAND && HIWORD(static_cast<uintptr_t>(wParam)) == BN_CLICKED;
}

// "preclick", then "click" unless "preclick" vetoed it. A handler may destroy the control: once
// it is gone nothing more is sent.
void SendClick(UIElement* control)
{
    CXSafePointer<UIElement> alive(control);
    const CXResultCode answer = control->HandleMessage(CXMessage("preclick", control));
    if (!alive || (answer != kCXOK && answer != kCXNotSupported))
        return;
    (void)control->HandleMessage(CXMessage("click", control));
}

void ShowTitle(HWND handle, const CXString& nativeTitle)
{
    if (handle == nullptr)
        return;
    const CXString units = ConvertUTF8ToUTF16(nativeTitle.c_str(), nativeTitle.length());
    SetWindowTextW(handle, UTF16Units(units));
}

} // namespace

// --- UIPushButton ---

void UIPushButton::GetMinimumSize(int32_t& width, int32_t& height) const
{
    width = 32;
    height = 24;
}

void UIPushButton::GetInsets(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const
{
    left = 8;
    top = 10;
    right = 8;
    bottom = 10;
}

void UIPushButton::SetTitle(const CXString& title)
{
    if (title == GetTitle())
        return;
    CXUIControl::SetTitle(title);
    ShowTitle(GetLiveNativeHandle(), GetNativeTitle());
}

void UIPushButton::SetFont(const RazaFont& font)
{
    CXUIControl::SetFont(font);
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return;
    DWORD placement = 0;
    switch (GetFont().GetAlignment()) {
    case RazaFont::kAlignLeft:
        placement = BS_LEFT;
        break;
    case RazaFont::kAlignCenter:
        placement = BS_CENTER;
        break;
    case RazaFont::kAlignRight:
        placement = BS_RIGHT;
        break;
    default:
        return;
    }
    const auto style = static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE));
    SetWindowLongW(handle, GWL_STYLE, static_cast<LONG>((style & ~BS_CENTER) | placement));
}

void UIPushButton::CreateNativeWindow()
{
    const DWORD style = kPushButtonStyle | (fDefaultButton == 1 ? BS_DEFPUSHBUTTON : 0);
    (void)CreateControlWindow(0, u"button", style, GetNativeTitle());
}

LRESULT UIPushButton::HandleNativeMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!IsClick(message, wParam))
        return CXUIControl::HandleNativeMessage(message, wParam, lParam);
    SendClick(this);
    return 0;
}

// --- UICheckbox ---

void UICheckbox::SetTitle(const CXString& title)
{
    if (title == GetTitle())
        return;
    CXUIControl::SetTitle(title);
    ShowTitle(GetLiveNativeHandle(), GetNativeTitle());
}

bool UICheckbox::IsChecked()
{
    HWND handle = GetLiveNativeHandle();
    return handle != nullptr && SendMessageW(handle, BM_GETCHECK, 0, 0) == static_cast<LRESULT>(BST_CHECKED);
}

void UICheckbox::SetChecked(bool checked)
{
    if (HWND handle = GetLiveNativeHandle())
        SendMessageW(handle, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void UICheckbox::CreateNativeWindow()
{
    (void)CreateControlWindow(0, u"button", kCheckboxStyle, GetNativeTitle());
}

LRESULT UICheckbox::HandleNativeMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (IsClick(message, wParam)) {
        SendClick(this);
        return 0;
    }
    HWND handle = GetLiveNativeHandle();
    if (message == WM_CTLCOLORSTATIC && handle != nullptr && reinterpret_cast<HWND>(lParam) == handle)
        return AnswerControlColors(reinterpret_cast<HDC>(wParam), GetFont().GetColor(), GetAppearance()->GetColor());
    return CXUIControl::HandleNativeMessage(message, wParam, lParam);
}
