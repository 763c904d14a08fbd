// The plain text field over the layer's "EDIT" class: the stored text and its limit.

#include "toolkit/UIEditTextComboControl.h"

#include "foundation/CXStringEdit.h"
#include "foundation/CXTextEncoding.h"
#include "foundation/CXTextParsing.h"
#include "win32/user/User.h"

#include <algorithm>
#include <string>

using namespace win32;

namespace {

constexpr DWORD kFieldStyle = WS_CHILD | WS_CLIPSIBLINGS | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;

} // namespace

void UIEditTextComboControl::GetMinimumSize(int32_t& width, int32_t& height) const
{
    width = 32;
    height = 21;
}

void UIEditTextComboControl::GetInsets(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const
{
    left = 8;
    top = 10;
    right = 8;
    bottom = 10;
}

bool UIEditTextComboControl::IsWithinLimit(const CXString& text) const
{
    return static_cast<int64_t>(CXStringEdit(text).CountUTF8Characters()) <= fMaximumLength;
}

void UIEditTextComboControl::CreateNativeWindow()
{
    (void)CreateControlWindow(0, u"EDIT", kFieldStyle, ConvertLineEndings(fText, "\r\n"));
}

void UIEditTextComboControl::SetText(const CXString& text)
{
    if (!IsWithinLimit(text) || text == fText)
        return;
    ShowText(text);
}

void UIEditTextComboControl::ShowText(const CXString& text)
{
    fText = text;
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return;
    InternalSuppressNotifications(1);
    const CXString crlf = ConvertLineEndings(text, "\r\n");
    const CXString units = ConvertUTF8ToUTF16(crlf.c_str(), crlf.length());
    SetWindowTextW(handle, UTF16Units(units));
    InternalSuppressNotifications(-1);
}

CXString UIEditTextComboControl::GetText()
{
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return fText;
    const int length = GetWindowTextLengthW(handle);
    CXString read;
    if (length > 0) {
        std::u16string units(static_cast<size_t>(length) + 1, u'\0');
        const int copied = GetWindowTextW(handle, units.data(), length + 1);
        const CXString holder = CXString::FromUTF16(units.data(), static_cast<size_t>(std::max(copied, 0)));
        read = ConvertLineEndings(ConvertUTF16ToUTF8(holder), "\n");
    }
    fText = read;
    return fText;
}

void UIEditTextComboControl::UserChangedText()
{
    const CXString old = fText;
    const CXString now = GetText();
    if (old == now)
        return;
    // The old text is shown again even when a limit lowered since is below it.
    if (!IsWithinLimit(now)) {
        ShowText(old);
        return;
    }
    if (!AreNotificationsSuppressed())
        (void)HandleMessage(CXMessage("UIEditTextComboControl::text-changed", this));
}

void UIEditTextComboControl::FocusGained()
{
    (void)HandleMessage(CXMessage("UIEditTextComboControl::text-opened", this));
}

void UIEditTextComboControl::FocusLost()
{
    (void)HandleMessage(CXMessage("UIEditTextComboControl::text-closed", this));
}

LRESULT UIEditTextComboControl::HandleNativeMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && wParam == static_cast<WPARAM>(IDOK)) {
        (void)HandleMessage(CXMessage("UIEditTextComboControl::enter", this));
        return 0;
    }
    HWND handle = GetLiveNativeHandle();
    if (message == WM_COMMAND && handle != nullptr && reinterpret_cast<HWND>(lParam) == handle &&
        HIWORD(static_cast<uintptr_t>(wParam)) == EN_CHANGE) {
        UserChangedText();
        return 0;
    }
    return CXUIControl::HandleNativeMessage(message, wParam, lParam);
}
