// The search field: placeholder, value and the icon window inside the field.

#include "toolkit/UISearchField.h"

#include "foundation/CXFileSystem.h"
#include "foundation/CXPath.h"
#include "foundation/CXTextEncoding.h"
#include "win32/api/StaticImage.h"
#include "win32/gdi/Gdi.h"
#include "win32/user/Paint.h"
#include "win32/user/User.h"

#include <algorithm>

using namespace win32;

namespace {

constexpr CXColor kPlaceholderColor{0.5f, 0.5f, 0.5f, 1.0f};
constexpr DWORD kIconStyle = WS_CHILD | SS_BITMAP;
constexpr UINT kIconPlacement =
    SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_NOOWNERZORDER;

// The icon window owns its bitmap (the reference data) and deletes it as the window goes, however
// the window goes: with the field, or with the field's parent or top-level window.
LRESULT IconSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR bitmap)
{
    if (message == WM_NCDESTROY) {
        const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
        (void)DeleteObject(reinterpret_cast<HBITMAP>(bitmap));
        return result;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

} // namespace

UISearchField::UISearchField() : fTextFont(GetFont()), fPlaceholderFont(GetFont())
{
    fPlaceholderFont.SetColor(kPlaceholderColor);
}

UISearchField::~UISearchField() = default;

void UISearchField::GetMinimumSize(int32_t& width, int32_t& height) const
{
    width = 0;
    height = 0;
}

void UISearchField::SetPlaceholder(const CXString& placeholder)
{
    fPlaceholder = placeholder;
    UpdateDisplay(HasFocus());
}

void UISearchField::UpdateDisplay(bool focused)
{
    const bool placeholder = !focused && fValue.length() == 0;
    // Neither change is the user's: the text field tells nothing of them.
    if (placeholder) {
        UIEditTextControl::SetFont(fPlaceholderFont);
        UIEditTextControl::SetText(fPlaceholder);
    } else {
        UIEditTextControl::SetFont(fTextFont);
        UIEditTextControl::SetText(fValue);
    }
    fShowingPlaceholder = placeholder ? 1 : 0;
}

// --- Messages ---

CXResultCode UISearchField::HandleMessage(const CXMessage& message)
{
    if (message.GetName() == "UIEditTextControl::text-changed" && message.GetSource() == this) {
        fValue = GetText();
        fShowingPlaceholder = 0;
        return UIEditTextControl::HandleMessage(CXMessage(kValueChangedMessage, this));
    }
    return UIEditTextControl::HandleMessage(message);
}

void UISearchField::FocusGained()
{
    UpdateDisplay(true);
    UIEditTextControl::FocusGained();
}

void UISearchField::FocusLost()
{
    UpdateDisplay(false);
    UIEditTextControl::FocusLost();
}

void UISearchField::SetFont(const RazaFont& font)
{
    fTextFont = font;
    fPlaceholderFont = font;
    fPlaceholderFont.SetColor(kPlaceholderColor);
    UIEditTextControl::SetFont(fShowingPlaceholder != 0 ? fPlaceholderFont : fTextFont);
}

// --- Both windows ---

void UISearchField::SetVisible(bool visible)
{
    UIEditTextControl::SetVisible(visible);
    if (HWND icon = LiveIconWindow())
        ShowWindow(icon, visible ? SW_SHOW : SW_HIDE);
}

void UISearchField::SetEnabled(bool enabled)
{
    UIEditTextControl::SetEnabled(enabled);
    if (HWND icon = LiveIconWindow())
        EnableWindow(icon, enabled ? TRUE : FALSE);
}

void UISearchField::InvalidateAll()
{
    UIEditTextControl::InvalidateAll();
    if (HWND icon = LiveIconWindow())
        InvalidateRect(icon, nullptr, FALSE);
}

void UISearchField::ApplyLayout()
{
    UIEditTextControl::ApplyLayout();
    PlaceIcon();
}

void UISearchField::PlaceIcon()
{
    HWND icon = LiveIconWindow();
    if (icon == nullptr)
        return;
    const int32_t side = std::max(GetHeight() - 2, 0);
    SetWindowPos(icon, nullptr, GetWidth() - GetHeight() - 2, 1, side, side, kIconPlacement);
}

HWND UISearchField::LiveIconWindow()
{
    if (fIconWindow != nullptr && !IsWindow(fIconWindow))
        fIconWindow = nullptr;
    return fIconWindow;
}

LRESULT UISearchField::HandleSubclassMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CTLCOLORSTATIC && fIconWindow != nullptr && reinterpret_cast<HWND>(lParam) == fIconWindow)
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    return UIEditTextControl::HandleSubclassMessage(message, wParam, lParam);
}

// --- Windows ---

void UISearchField::CreateNativeWindow()
{
    UIEditTextControl::CreateNativeWindow();
    HWND field = GetLiveNativeHandle();
    if (field == nullptr)
        return;
    CreateIconWindow(field);
    UpdateDisplay(false);
}

void UISearchField::CreateIconWindow(HWND field)
{
    const int32_t side = std::max(GetHeight() - 2, 0);
    fIconWindow = CreateWindowExW(0, u"STATIC", u"search icon", kIconStyle, GetWidth() - GetHeight() - 2, 1, side,
                                  side, field, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (fIconWindow == nullptr)
        return;
    const CXString path = CXFileSystem::ToNativePathW(GetDataFolderFilepath(kIconFile));
    auto bitmap = static_cast<HBITMAP>(
        LoadImageW(nullptr, UTF16Units(path), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE));
    if (bitmap != nullptr) {
        SetWindowSubclass(fIconWindow, &IconSubclassProc, 0, reinterpret_cast<DWORD_PTR>(bitmap));
        SendMessageW(fIconWindow, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
    }
    EnableWindow(fIconWindow, IsEnabled() ? TRUE : FALSE);
    ShowWindow(fIconWindow, IsVisible() ? SW_SHOW : SW_HIDE);
}

void UISearchField::DestroyNativeWindow()
{
    if (HWND icon = LiveIconWindow())
        DestroyWindow(icon);
    fIconWindow = nullptr;
    UIEditTextControl::DestroyNativeWindow();
}
