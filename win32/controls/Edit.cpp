// "EDIT" and "RichEdit20W": one procedure; the rich edit adds the event mask and the character
// format, and keeps the wheel to itself.

#include "win32/controls/EditState.h"

#include "win32/gdi/Font.h"
#include "win32/user/Clipboard.h"
#include "win32/user/Queue.h"

#include <algorithm>
#include <cstring>

namespace win32::controls {

namespace {

using Table = StateTable<EditState>;

constexpr UINT_PTR kCaretTimer = 1;
constexpr UINT kCaretBlink = 530;
constexpr int kTwipsPerPixel = 15;

bool KeyHeld(int key)
{
    return GetKeyState(key) < 0;
}

// EM_SETSEL's and EM_LIMITTEXT's values are 32-bit integers, however wide the parameter.
int32_t Int32Of(uintptr_t value)
{
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

// The caret shows at once and blinks from now.
void RestartCaret(EditState& state, HWND hwnd)
{
    if (GetFocus() != hwnd)
        return;
    state.caretOn = true;
    SetTimer(hwnd, kCaretTimer, kCaretBlink, nullptr);
}

// After the caret or selection moved: the caret in view and shown, the control repainted.
void Moved(EditState& state, HWND hwnd)
{
    ScrollToCaret(state, hwnd);
    RestartCaret(state, hwnd);
    Redraw(hwnd);
}

// The plain edit tells every change; the rich edit only with ENM_CHANGE in its event mask.
void NotifyChange(EditState& state, HWND hwnd)
{
    if (state.rich && (state.eventMask & ENM_CHANGE) == 0)
        return;
    auto id = static_cast<int>(GetWindowLongPtrW(hwnd, GWLP_ID));
    NotifyParent(state, hwnd, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE), reinterpret_cast<LPARAM>(hwnd));
}

// After the text changed: as Moved, then EN_CHANGE (whose handler may do anything, so it is last).
void Changed(EditState& state, HWND hwnd)
{
    Moved(state, hwnd);
    NotifyChange(state, hwnd);
}

void NotifyFocus(EditState& state, HWND hwnd, WORD code)
{
    auto id = static_cast<int>(GetWindowLongPtrW(hwnd, GWLP_ID));
    NotifyParent(state, hwnd, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(hwnd));
}

void SetText(EditState& state, HWND hwnd, const WCHAR* text)
{
    state.buffer.Assign(text != nullptr ? std::u16string(text) : std::u16string());
    state.pendingHigh = 0;
    Changed(state, hwnd);
}

LRESULT CopyText(const EditState& state, WPARAM count, LPARAM buffer)
{
    auto* out = reinterpret_cast<WCHAR*>(buffer);
    if (out == nullptr || count == 0)
        return 0;
    const std::u16string& text = state.buffer.Text();
    size_t copied = std::min<size_t>(text.size(), count - 1);
    std::memcpy(out, text.data(), copied * sizeof(WCHAR));
    out[copied] = 0;
    return static_cast<LRESULT>(copied);
}

// --- Clipboard ---

// Puts the selection on the clipboard as CF_UNICODETEXT; nothing for a password edit or an empty
// selection.
bool CopySelection(const EditState& state, HWND hwnd)
{
    if (IsPassword(hwnd) || !state.buffer.HasSelection())
        return false;
    std::u16string text = state.buffer.SelectedText();
    if (!OpenClipboard(hwnd))
        return false;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(WCHAR));
    void* bytes = GlobalLock(block);
    bool copied = false;
    if (bytes != nullptr) {
        std::memcpy(bytes, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
        GlobalUnlock(block);
        copied = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    }
    if (!copied && block != nullptr)
        GlobalFree(block);
    CloseClipboard();
    return copied;
}

// The clipboard's text up to its first zero unit, within its block; a single-line edit takes its
// first line only.
std::u16string ClipboardText(HWND hwnd)
{
    std::u16string text;
    if (!OpenClipboard(hwnd))
        return text;
    auto block = static_cast<HGLOBAL>(GetClipboardData(CF_UNICODETEXT));
    size_t units = GlobalSize(block) / sizeof(WCHAR);
    if (const auto* data = static_cast<const WCHAR*>(GlobalLock(block))) {
        text.assign(data, std::find(data, data + units, u'\0'));
        GlobalUnlock(block);
    }
    CloseClipboard();
    if (!IsMultiLine(hwnd))
        text.resize(std::min(text.find_first_of(u"\r\n"), text.size()));
    return text;
}

void Paste(EditState& state, HWND hwnd)
{
    if (IsReadOnly(hwnd))
        return;
    std::u16string text = ClipboardText(hwnd);
    if (!state.dead && state.buffer.ReplaceSelection(text, false))
        Changed(state, hwnd);
}

void Cut(EditState& state, HWND hwnd)
{
    if (IsReadOnly(hwnd) || !CopySelection(state, hwnd) || state.dead)
        return;
    if (state.buffer.ReplaceSelection(u"", false))
        Changed(state, hwnd);
}

void Clear(EditState& state, HWND hwnd)
{
    if (!IsReadOnly(hwnd) && state.buffer.ReplaceSelection(u"", false))
        Changed(state, hwnd);
}

bool Undo(EditState& state, HWND hwnd)
{
    if (IsReadOnly(hwnd) || !state.buffer.Undo())
        return false;
    Changed(state, hwnd);
    return true;
}

// --- Keys ---

void Type(EditState& state, HWND hwnd, std::u16string_view units)
{
    if (state.buffer.ReplaceSelection(units, true))
        Changed(state, hwnd);
}

// WM_CHAR: a surrogate pair arrives as two messages and is typed whole or not at all.
void OnCharacter(EditState& state, HWND hwnd, char16_t unit)
{
    char16_t high = state.pendingHigh;
    state.pendingHigh = 0;
    if (IsReadOnly(hwnd))
        return;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        state.pendingHigh = unit;
        return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        if (high != 0) {
            const char16_t pair[2] = {high, unit};
            Type(state, hwnd, std::u16string_view(pair, 2));
        }
        return;
    }
    if (unit == 0x08) {
        if (state.buffer.DeleteBackward())
            Changed(state, hwnd);
        return;
    }
    if (unit == u'\r' && IsMultiLine(hwnd)) {
        Type(state, hwnd, u"\r\n");
        return;
    }
    if (unit >= 0x20)
        Type(state, hwnd, std::u16string_view(&unit, 1));
}

// Left and Right: by character or (Ctrl) by word; without Shift a selection collapses to its side.
size_t Step(const EditState& state, bool forward, bool word, bool extend)
{
    const EditBuffer& buffer = state.buffer;
    if (!extend && !word && buffer.HasSelection())
        return forward ? buffer.SelectionEnd() : buffer.SelectionStart();
    if (word)
        return forward ? buffer.NextWord(buffer.Caret()) : buffer.PreviousWord(buffer.Caret());
    return forward ? buffer.Next(buffer.Caret()) : buffer.Previous(buffer.Caret());
}

void Shortcut(EditState& state, HWND hwnd, UINT key)
{
    switch (key) {
    case 'A':
        state.buffer.Select(0, state.buffer.Text().size());
        Moved(state, hwnd);
        break;
    case 'C':
        SendMessageW(hwnd, WM_COPY, 0, 0);
        break;
    case 'X':
        SendMessageW(hwnd, WM_CUT, 0, 0);
        break;
    case 'V':
        SendMessageW(hwnd, WM_PASTE, 0, 0);
        break;
    case 'Z':
        SendMessageW(hwnd, WM_UNDO, 0, 0);
        break;
    default:
        break;
    }
}

void OnKey(EditState& state, HWND hwnd, UINT key)
{
    bool control = KeyHeld(VK_CONTROL);
    bool shift = KeyHeld(VK_SHIFT);
    EditBuffer& buffer = state.buffer;
    switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
        buffer.MoveCaret(Step(state, key == VK_RIGHT, control, shift), shift);
        Moved(state, hwnd);
        return;
    case VK_HOME:
        buffer.MoveCaret(control ? 0 : buffer.LineStart(buffer.Caret()), shift);
        Moved(state, hwnd);
        return;
    case VK_END:
        buffer.MoveCaret(control ? buffer.Text().size() : buffer.LineEnd(buffer.Caret()), shift);
        Moved(state, hwnd);
        return;
    case VK_DELETE:
        if (!IsReadOnly(hwnd) && buffer.DeleteForward())
            Changed(state, hwnd);
        return;
    default:
        if (control)
            Shortcut(state, hwnd, key);
        return;
    }
}

// --- Mouse ---

POINT PointOf(LPARAM lParam)
{
    return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

void OnPress(EditState& state, HWND hwnd, WPARAM keys, POINT point)
{
    if (GetFocus() != hwnd) {
        SetFocus(hwnd);
        if (state.dead)
            return;
    }
    state.buffer.MoveCaret(PositionAt(state, hwnd, point, true), (keys & MK_SHIFT) != 0);
    SetCapture(hwnd);
    if (state.dead)
        return;
    state.dragging = true;
    Moved(state, hwnd);
}

void OnDrag(EditState& state, HWND hwnd, POINT point)
{
    if (!state.dragging)
        return;
    size_t position = PositionAt(state, hwnd, point, true);
    if (position == state.buffer.Caret())
        return;
    state.buffer.MoveCaret(position, true);
    Moved(state, hwnd);
}

void OnDoubleClick(EditState& state, HWND hwnd, POINT point)
{
    auto [start, end] = state.buffer.WordAt(PositionAt(state, hwnd, point, false));
    state.buffer.Select(start, end);
    Moved(state, hwnd);
}

// --- Messages ---

void OnFocus(EditState& state, HWND hwnd, bool gained)
{
    if (gained) {
        RestartCaret(state, hwnd);
    } else {
        state.caretOn = false;
        state.pendingHigh = 0;
        KillTimer(hwnd, kCaretTimer);
    }
    Redraw(hwnd);
    NotifyFocus(state, hwnd, gained ? EN_SETFOCUS : EN_KILLFOCUS);
}

// EM_SETSEL: start -1 drops the selection; a negative end is the text's end; the ends are ordered
// with the caret at the later one, clamped and kept outside pairs.
void SetSelection(EditState& state, HWND hwnd, int32_t start, int32_t end)
{
    EditBuffer& buffer = state.buffer;
    if (start < 0) {
        buffer.MoveCaret(buffer.Caret(), false);
    } else {
        size_t length = buffer.Text().size();
        size_t from = static_cast<size_t>(start);
        size_t to = end < 0 ? length : static_cast<size_t>(end);
        buffer.Select(std::min(from, to), std::max(from, to));
    }
    Moved(state, hwnd);
}

LRESULT GetSelection(const EditState& state, WPARAM startOut, LPARAM endOut)
{
    auto start = static_cast<DWORD>(state.buffer.SelectionStart());
    auto end = static_cast<DWORD>(state.buffer.SelectionEnd());
    if (auto* out = reinterpret_cast<DWORD*>(startOut))
        *out = start;
    if (auto* out = reinterpret_cast<DWORD*>(endOut))
        *out = end;
    if (start > 0xFFFF || end > 0xFFFF)
        return -1;
    return MAKELPARAM(static_cast<int>(start), static_cast<int>(end));
}

// The font of the current text as a LOGFONTW, to change by a character format.
LOGFONTW CurrentLogFont(const EditState& state)
{
    LOGFONTW font = {};
    if (GetObjectW(EditFont(state), sizeof(font), &font) == 0) {
        font.lfHeight = -12;
        font.lfWeight = FW_NORMAL;
    }
    return font;
}

void ApplyEffect(BYTE& field, DWORD mask, DWORD effects, DWORD bit)
{
    if ((mask & bit) != 0)
        field = (effects & bit) != 0 ? 1 : 0;
}

// EM_SETCHARFORMAT(SCF_ALL): the fields the mask names change the whole text's format.
LRESULT SetCharFormat(EditState& state, HWND hwnd, WPARAM scope, const CHARFORMATW* format)
{
    if (!state.rich || scope != SCF_ALL || format == nullptr || format->cbSize != sizeof(CHARFORMATW))
        return 0;
    LOGFONTW font = CurrentLogFont(state);
    DWORD mask = format->dwMask;
    if ((mask & CFM_SIZE) != 0 && format->yHeight > 0) {
        // Twips to the nearest whole pixel of em.
        font.lfHeight = -std::max<LONG>(1, (format->yHeight + kTwipsPerPixel / 2) / kTwipsPerPixel);
    }
    if ((mask & CFM_FACE) != 0) {
        std::memcpy(font.lfFaceName, format->szFaceName, sizeof(font.lfFaceName));
        font.lfFaceName[31] = 0;
    }
    if ((mask & CFM_BOLD) != 0)
        font.lfWeight = (format->dwEffects & CFE_BOLD) != 0 ? FW_BOLD : FW_NORMAL;
    ApplyEffect(font.lfItalic, mask, format->dwEffects, CFE_ITALIC);
    ApplyEffect(font.lfUnderline, mask, format->dwEffects, CFE_UNDERLINE);
    ApplyEffect(font.lfStrikeOut, mask, format->dwEffects, CFE_STRIKEOUT);
    if ((mask & CFM_COLOR) != 0) {
        state.formatColored = (format->dwEffects & CFE_AUTOCOLOR) == 0;
        state.formatColor = format->crTextColor;
    }
    HFONT made = CreateFontIndirectW(&font);
    if (made == nullptr)
        return 0;
    if (state.formatFont != nullptr)
        DeleteObject(state.formatFont);
    state.formatFont = made;
    ScrollToCaret(state, hwnd);
    Redraw(hwnd);
    return 1;
}

LRESULT DialogCode(HWND hwnd)
{
    LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    // A multi-line edit keeps Enter to break its lines.
    if (IsMultiLine(hwnd))
        code |= DLGC_WANTALLKEYS;
    return code;
}

LRESULT HandleEditing(EditState& state, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case EM_GETSEL:
        return GetSelection(state, wParam, lParam);
    case EM_SETSEL:
        SetSelection(state, hwnd, Int32Of(wParam), Int32Of(static_cast<uintptr_t>(lParam)));
        return 0;
    case EM_LIMITTEXT:
        state.buffer.SetLimit(static_cast<size_t>(wParam));
        return 0;
    case EM_SETREADONLY: {
        DWORD style = StyleOf(hwnd);
        style = wParam != 0 ? style | ES_READONLY : style & ~ES_READONLY;
        SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(style));
        Redraw(hwnd);
        return TRUE;
    }
    case EM_CANUNDO:
        return state.buffer.CanUndo() ? TRUE : FALSE;
    case EM_SETUNDOLIMIT:
        state.buffer.SetUndoEnabled(wParam != 0);
        return static_cast<LRESULT>(wParam);
    case WM_COPY:
        CopySelection(state, hwnd);
        return 0;
    case WM_CUT:
        Cut(state, hwnd);
        return 0;
    case WM_PASTE:
        Paste(state, hwnd);
        return 0;
    case WM_CLEAR:
        Clear(state, hwnd);
        return 0;
    case WM_UNDO:
        return Undo(state, hwnd) ? TRUE : FALSE;
    default:
        return -1;
    }
}

LRESULT HandleRich(EditState& state, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case EM_GETEVENTMASK:
        return static_cast<LRESULT>(state.eventMask);
    case EM_SETEVENTMASK: {
        DWORD previous = state.eventMask;
        state.eventMask = static_cast<DWORD>(lParam);
        return static_cast<LRESULT>(previous);
    }
    case EM_SETCHARFORMAT:
        return SetCharFormat(state, hwnd, wParam, reinterpret_cast<const CHARFORMATW*>(lParam));
    case WM_MOUSEWHEEL:
        // A single line has nothing to scroll, but the rich edit keeps the wheel.
        return 0;
    default:
        return -1;
    }
}

bool IsEditingMessage(UINT message)
{
    return message == EM_GETSEL || message == EM_SETSEL || message == EM_LIMITTEXT || message == EM_SETREADONLY ||
           message == EM_CANUNDO || message == EM_SETUNDOLIMIT || (message >= WM_CUT && message <= WM_UNDO);
}

bool IsRichMessage(UINT message)
{
    return message == EM_GETEVENTMASK || message == EM_SETEVENTMASK || message == EM_SETCHARFORMAT ||
           message == WM_MOUSEWHEEL;
}

LRESULT HandleInput(EditState& state, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CHAR:
        OnCharacter(state, hwnd, static_cast<char16_t>(wParam));
        return 0;
    case WM_KEYDOWN:
        OnKey(state, hwnd, static_cast<UINT>(wParam));
        return 0;
    case WM_LBUTTONDOWN:
        OnPress(state, hwnd, wParam, PointOf(lParam));
        return 0;
    case WM_LBUTTONDBLCLK:
        OnDoubleClick(state, hwnd, PointOf(lParam));
        return 0;
    case WM_MOUSEMOVE:
        OnDrag(state, hwnd, PointOf(lParam));
        return 0;
    case WM_LBUTTONUP:
        if (state.dragging) {
            state.dragging = false;
            ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        state.dragging = false;
        return 0;
    default:
        return -1;
    }
}

bool IsInputMessage(UINT message)
{
    return message == WM_CHAR || message == WM_KEYDOWN || message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK ||
           message == WM_MOUSEMOVE || message == WM_LBUTTONUP || message == WM_CAPTURECHANGED;
}

LRESULT Handle(EditState& state, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (IsInputMessage(message))
        return HandleInput(state, hwnd, message, wParam, lParam);
    if (IsEditingMessage(message))
        return HandleEditing(state, hwnd, message, wParam, lParam);
    if (state.rich && IsRichMessage(message))
        return HandleRich(state, hwnd, message, wParam, lParam);
    switch (message) {
    case WM_NCCREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        state.buffer.Assign(create != nullptr && create->lpszName != nullptr ? std::u16string(create->lpszName)
                                                                              : std::u16string());
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    case WM_SETTEXT:
        SetText(state, hwnd, reinterpret_cast<const WCHAR*>(lParam));
        return TRUE;
    case WM_GETTEXT:
        return CopyText(state, wParam, lParam);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(state.buffer.Text().size());
    case WM_PAINT:
        PaintEdit(state, hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        OnFocus(state, hwnd, message == WM_SETFOCUS);
        return 0;
    case WM_TIMER:
        if (wParam == kCaretTimer) {
            state.caretOn = !state.caretOn && GetFocus() == hwnd;
            Redraw(hwnd);
        }
        return 0;
    case WM_SIZE:
    case WM_SETFONT: {
        // A font given later replaces the rich edit's format font.
        if (message == WM_SETFONT && state.formatFont != nullptr) {
            DeleteObject(state.formatFont);
            state.formatFont = nullptr;
        }
        LRESULT result = DefaultControlMessage(state, hwnd, message, wParam, lParam);
        ScrollToCaret(state, hwnd);
        Redraw(hwnd);
        return result;
    }
    case WM_ENABLE:
    case WM_STYLECHANGED:
        Redraw(hwnd);
        return 0;
    case WM_GETDLGCODE:
        return DialogCode(hwnd);
    default:
        break;
    }
    return DefaultControlMessage(state, hwnd, message, wParam, lParam);
}

} // namespace

LRESULT EditProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Table::Dispatch(hwnd, message, wParam, lParam, Handle);
}

LRESULT RichEditProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Table::Dispatch(hwnd, message, wParam, lParam,
                           [](EditState& state, HWND window, UINT m, WPARAM w, LPARAM l) {
                               if (m == WM_NCCREATE)
                                   state.rich = true;
                               return Handle(state, window, m, w, l);
                           });
}

} // namespace win32::controls
