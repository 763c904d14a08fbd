// The text field over the layer's rich edit: the stored text, the input filter, the edit
// commands and their status.

#include "toolkit/UIEditTextControl.h"

#include "foundation/CXDebug.h"
#include "foundation/CXSafePointer.h"
#include "foundation/CXStringEdit.h"
#include "foundation/CXTextEncoding.h"
#include "foundation/CXTextParsing.h"
#include "toolkit/UIUserActionEvent.h"
#include "win32/user/User.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>

using namespace win32;

namespace {

constexpr CXResultCode kCommandUnavailable{-11};

constexpr DWORD kFieldStyle = WS_CHILD | WS_CLIPSIBLINGS | WS_BORDER | WS_TABSTOP;
constexpr DWORD kMultiLineStyle = ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
constexpr DWORD kSunkenEdges = WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE;
// The format fields the field sets: size, colour, face, offset and the six effect bits.
constexpr DWORD kFormatMask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_OFFSET | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE |
                              CFM_STRIKEOUT | CFM_PROTECTED | CFM_LINK;
constexpr LONG kTwipsPerPoint = 15;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsDecimal(const CXString& text, bool allowPoint)
{
    bool point = false;
    for (size_t i = 0; i < text.length(); ++i) {
        char c = text.c_str()[i];
        if (IsDigit(c) || (c == '-' && i == 0))
            continue;
        if (c != '.' || !allowPoint || point)
            return false;
        point = true;
    }
    return true;
}

bool IsMoney(const CXString& text)
{
    bool number = false;
    bool point = false;
    int decimals = 0;
    bool minus = false;
    bool dollar = false;
    for (size_t i = 0; i < text.length(); ++i) {
        char c = text.c_str()[i];
        if (IsDigit(c)) {
            number = true;
            if (point && ++decimals > 2)
                return false;
        } else if (c == '.') {
            if (point)
                return false;
            point = number = true;
        } else if (c == '-' || c == '$') {
            bool& seen = c == '-' ? minus : dollar;
            if (number || seen)
                return false;
            seen = true;
        } else {
            return false;
        }
    }
    return true;
}

// UTF-8 with "\n" breaks to the window's UTF-16 with CR LF breaks.
CXString WindowUnits(const CXString& text)
{
    const CXString crlf = ConvertLineEndings(text, "\r\n");
    return ConvertUTF8ToUTF16(crlf.c_str(), crlf.length());
}

} // namespace

UIEditTextControl::~UIEditTextControl()
{
    ForgetWheelControl(this);
}

// --- Layout ---

void UIEditTextControl::GetMinimumSize(int32_t& width, int32_t& height) const
{
    width = 32;
    height = 21;
}

void UIEditTextControl::GetInsets(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const
{
    left = 8;
    top = 10;
    right = 8;
    bottom = 10;
}

// --- Flags ---

void UIEditTextControl::SetPasswordField(bool password)
{
    if (GetLiveNativeHandle() != nullptr)
        CXDebugLog("UIEditTextControl::SetPasswordField> unable to modify an existing control");
    fPassword = password ? 1 : 0;
}

void UIEditTextControl::ApplyMaximumLength()
{
    if (HWND handle = GetLiveNativeHandle())
        SendMessageW(handle, EM_LIMITTEXT, static_cast<WPARAM>(std::clamp<int64_t>(fMaximumLength, 0, INT32_MAX)), 0);
}

void UIEditTextControl::SetEditable(bool editable)
{
    if (HWND handle = GetLiveNativeHandle())
        SendMessageW(handle, EM_SETREADONLY, editable ? FALSE : TRUE, 0);
}

bool UIEditTextControl::IsAcceptableText(const CXString& text) const
{
    if (static_cast<int64_t>(CXStringEdit(text).CountUTF8Characters()) > fMaximumLength)
        return false;
    switch (fInputKind) {
    case kDecimal:
        return IsDecimal(text, true);
    case kInteger:
        return IsDecimal(text, false);
    case kMoney:
        return IsMoney(text);
    default:
        return true;
    }
}

// --- Window ---

void UIEditTextControl::CreateNativeWindow()
{
    (void)LoadLibraryW(u"riched20.dll");
    DWORD style = kFieldStyle | (fPassword != 0 ? ES_PASSWORD : 0) | (fMultiLine != 0 ? kMultiLineStyle : ES_AUTOHSCROLL);
    HWND handle = CreateControlWindow(0, u"RichEdit20W", style, ConvertLineEndings(fText, "\r\n"));
    if (handle == nullptr)
        return;
    SetWindowSubclass(handle, &UISubclassProc, 0, 0);
    ApplyMaximumLength();
    SendMessageW(handle, EM_SETUNDOLIMIT, 0, 0);
    LRESULT mask = SendMessageW(handle, EM_GETEVENTMASK, 0, 0);
    SendMessageW(handle, EM_SETEVENTMASK, 0, mask | static_cast<LRESULT>(ENM_CHANGE));
    LONG extended = GetWindowLongW(handle, GWL_EXSTYLE);
    SetWindowLongW(handle, GWL_EXSTYLE, extended & ~static_cast<LONG>(kSunkenEdges));
}

void UIEditTextControl::ApplyFont()
{
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return;
    const RazaFont font = GetFont();
    CHARFORMATW format = {};
    format.cbSize = sizeof(format);
    format.dwMask = kFormatMask;
    format.dwEffects = font.GetStyle() & RazaFont::kStyleBits;
    format.yHeight = (font.GetSize() + 1) * kTwipsPerPoint;
    format.crTextColor = font.GetColor().ToColorRef() & 0xFFFFFFu;
    // The face is UTF-8; at most 31 units, never half a pair.
    const CXString& face = font.GetFace();
    size_t units = ConvertUTF8ToUTF16Units(format.szFaceName, 31, face.c_str(), face.length());
    if (units > 0 && format.szFaceName[units - 1] >= 0xD800 && format.szFaceName[units - 1] <= 0xDBFF)
        --units;
    format.szFaceName[units] = 0;
    SendMessageW(handle, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
}

// --- Text ---

void UIEditTextControl::SetText(const CXString& text)
{
    if (!IsAcceptableText(text) || text == fText)
        return;
    fText = text;
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return;
    InternalSuppressNotifications(1);
    const CXString units = WindowUnits(text);
    SetWindowTextW(handle, UTF16Units(units));
    SendMessageW(handle, EM_SETSEL, static_cast<WPARAM>(-1), -1);
    InternalSuppressNotifications(-1);
}

CXString UIEditTextControl::GetText()
{
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return fText;
    int length = GetWindowTextLengthW(handle);
    CXString read;
    if (length > 0) {
        std::u16string units(static_cast<size_t>(length) + 1, u'\0');
        int copied = GetWindowTextW(handle, units.data(), length + 1);
        const CXString holder = CXString::FromUTF16(units.data(), static_cast<size_t>(std::max(copied, 0)));
        read = ConvertLineEndings(ConvertUTF16ToUTF8(holder), "\n");
    }
    fText = read;
    return fText;
}

void UIEditTextControl::SetSelection(int32_t start, int32_t end)
{
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return;
    const int32_t from = std::max(start, 0);
    SendMessageW(handle, EM_SETSEL, static_cast<WPARAM>(from), std::max(end, from));
}

void UIEditTextControl::GetSelection(int32_t& start, int32_t& end)
{
    start = 0;
    end = 0;
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return;
    DWORD from = 0;
    DWORD to = 0;
    SendMessageW(handle, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    start = static_cast<int32_t>(from);
    end = static_cast<int32_t>(to);
}

void UIEditTextControl::UserChangedText()
{
    const CXString old = fText;
    const CXString now = GetText();
    if (old == now)
        return;
    if (!IsAcceptableText(now)) {
        SetText(old);
        return;
    }
    if (!AreNotificationsSuppressed())
        (void)HandleMessage(CXMessage("UIEditTextControl::text-changed", this));
}

// --- Messages ---

void UIEditTextControl::FocusGained()
{
    (void)HandleMessage(CXMessage("UIEditTextControl::text-opened", this));
}

void UIEditTextControl::FocusLost()
{
    (void)HandleMessage(CXMessage("UIEditTextControl::text-closed", this));
}

CXResultCode UIEditTextControl::PerformCommand(const CXString& command)
{
    HWND handle = GetLiveNativeHandle();
    if (command == "edit-select-all") {
        // The byte length: the window clamps it to its text.
        SetSelection(0, static_cast<int32_t>(std::min<size_t>(GetText().length(), INT32_MAX)));
    } else if (handle == nullptr) {
        return kCXOK;
    } else if (command == "edit-copy") {
        SendMessageW(handle, WM_COPY, 0, 0);
    } else if (command == "edit-cut") {
        SendMessageW(handle, WM_CUT, 0, 0);
    } else if (command == "edit-paste") {
        CXSafePointer<UIElement> alive(this);
        SendMessageW(handle, WM_PASTE, 0, 0);
        if (!alive)
            return kCXOK;
        // The pasted text takes the field's format and goes through SetText.
        ApplyFont();
        const CXString pasted = GetText();
        fText = CXString();
        SetText(pasted);
    } else if (command == "edit-clear") {
        SendMessageW(handle, WM_CLEAR, 0, 0);
    } else if (command == "edit-undo") {
        SendMessageW(handle, WM_UNDO, 0, 0);
    }
    return kCXOK;
}

std::optional<CXResultCode> UIEditTextControl::CommandStatus(const CXString& command)
{
    if (command == "edit-select-all")
        return GetText().length() == 0 ? kCommandUnavailable : kCXOK;
    if (command == "edit-copy" || command == "edit-cut" || command == "edit-clear") {
        // A password field refuses to copy or cut.
        if (fPassword != 0 && command != "edit-clear")
            return kCommandUnavailable;
        int32_t start = 0;
        int32_t end = 0;
        GetSelection(start, end);
        return start < end ? kCXOK : kCommandUnavailable;
    }
    if (command == "edit-paste")
        return kCXOK;
    if (command == "edit-undo") {
        HWND handle = GetLiveNativeHandle();
        return handle != nullptr && SendMessageW(handle, EM_CANUNDO, 0, 0) != 0 ? kCXOK : kCommandUnavailable;
    }
    if (command == "edit-redo")
        return kCXNotSupported;
    return std::nullopt;
}

CXResultCode UIEditTextControl::HandleMessage(const CXMessage& message)
{
    const CXString& name = message.GetName();
    if (name == "edit-select-all" || name == "edit-copy" || name == "edit-cut" || name == "edit-paste" ||
        name == "edit-clear" || name == "edit-undo")
        return PerformCommand(name);
    if (name == "update-command-status") {
        if (std::optional<CXResultCode> status = CommandStatus(message.GetFirstArgument()))
            return *status;
    }
    return UIElement::HandleMessage(message);
}

LRESULT UIEditTextControl::HandleNativeMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && wParam == static_cast<WPARAM>(IDOK)) {
        (void)HandleMessage(CXMessage("UIEditTextControl::enter", this));
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

LRESULT UIEditTextControl::HandleSubclassMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND handle = GetNativeHandle();
    if (message == WM_MOUSEWHEEL && fMultiLine == 0 && handle != nullptr) {
        CXSafePointer<UIElement> alive(this);
        POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(handle, &point);
        const Vector2i origin = GetContentOrigin();
        const Vector2i inContent{point.x + origin.x, point.y + origin.y};
        HandleScrollWheel(MakeScrollWheelEvent(this, false, wParam, inContent));
        if (!alive || GetNativeHandle() != handle)
            return 0;
    }
    return CXUIControl::HandleSubclassMessage(message, wParam, lParam);
}
