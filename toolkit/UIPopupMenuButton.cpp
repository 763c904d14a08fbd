// The drop-down choice list: entries from its menu, "preclick" and "click" on a pick, the wheel
// kept away from it.

#include "toolkit/UIPopupMenuButton.h"

#include "foundation/CXSafePointer.h"
#include "foundation/CXTextEncoding.h"
#include "win32/user/User.h"

using namespace win32;

namespace {

constexpr DWORD kPopupStyle = WS_CHILD | WS_VSCROLL | WS_TABSTOP | CBS_HASSTRINGS | CBS_DROPDOWNLIST;
constexpr int32_t kMostVisiblePlusFive = 40;

bool IsWheel(UINT message)
{
    return message == WM_MOUSEWHEEL || message == WM_MOUSEHWHEEL;
}

bool LetsClickThrough(CXResultCode answer)
{
    return answer == kCXOK || answer == kCXNotSupported;
}

} // namespace

UIPopupMenuButton::UIPopupMenuButton() : fMenu(std::make_unique<CXMenu>(this))
{
    fMenu->SetHierarchical();
}

UIPopupMenuButton::~UIPopupMenuButton() = default;

int32_t UIPopupMenuButton::VisibleEntriesFor(int32_t entries)
{
    int32_t visible = entries;
    while (visible + 5 > kMostVisiblePlusFive)
        visible = visible * 3 / 4;
    return visible;
}

void UIPopupMenuButton::CreateNativeWindow()
{
    if (CreateControlWindow(0, u"COMBOBOX", kPopupStyle, GetNativeTitle()) == nullptr)
        return;
    RebuildEntries();
    RestoreSelection();
}

void UIPopupMenuButton::RebuildEntries()
{
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return;
    SendMessageW(handle, CB_RESETCONTENT, 0, 0);
    const int32_t count = fMenu->GetItemCount();
    for (int32_t index = 0; index < count; ++index) {
        const CXString title = fMenu->GetItemTitle(index);
        const CXString units = ConvertUTF8ToUTF16(title.c_str(), title.length());
        SendMessageW(handle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(UTF16Units(units)));
    }
    SendMessageW(handle, CB_SETMINVISIBLE, static_cast<WPARAM>(VisibleEntriesFor(count)), 0);
}

void UIPopupMenuButton::SetSelectedIndex(int32_t index)
{
    RebuildEntries();
    fSelectedIndex = index;
    RestoreSelection();
}

int32_t UIPopupMenuButton::GetSelectedIndex()
{
    if (HWND handle = GetLiveNativeHandle())
        fSelectedIndex = static_cast<int32_t>(SendMessageW(handle, CB_GETCURSEL, 0, 0));
    return fSelectedIndex;
}

void UIPopupMenuButton::RestoreSelection()
{
    if (HWND handle = GetLiveNativeHandle())
        SendMessageW(handle, CB_SETCURSEL, static_cast<WPARAM>(fSelectedIndex), 0);
}

LRESULT UIPopupMenuButton::HandleNativeMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (IsWheel(message))
        return 0;
    const bool fromList = message == WM_COMMAND && lParam != 0 && reinterpret_cast<HWND>(lParam) == GetNativeHandle();
    const WORD code = HIWORD(static_cast<uintptr_t>(wParam));
    if (!fromList || (code != CBN_SELCHANGE && code != CBN_DROPDOWN))
        return CXUIControl::HandleNativeMessage(message, wParam, lParam);
    // A handler may destroy the button: once it is gone nothing more is done.
    CXSafePointer<UIElement> alive(this);
    const CXResultCode answer = HandleMessage(CXMessage("preclick", this));
    if (!alive)
        return 0;
    if (code == CBN_DROPDOWN)
        return LetsClickThrough(answer) ? CXUIControl::HandleNativeMessage(message, wParam, lParam) : 0;
    if (LetsClickThrough(answer))
        (void)HandleMessage(CXMessage("click", this));
    else
        RestoreSelection();
    return 0;
}

bool UIPopupMenuButton::PreTranslateMessage(UINT message, WPARAM, LPARAM)
{
    return IsWheel(message);
}
