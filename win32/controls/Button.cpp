// "button": push buttons, default push buttons and auto checkboxes.

#include "win32/controls/ControlCommon.h"

#include "win32/gdi/Text.h"
#include "win32/user/Queue.h"

namespace win32::controls {

namespace {

struct ButtonState : ControlState {
    bool checked = false;
    // A left press that began inside holds the capture; pointerInside follows the pointer.
    bool mouseDown = false;
    bool pointerInside = false;
    // Space is held down on the focused button.
    bool spaceDown = false;
};

using Table = StateTable<ButtonState>;

// The face of a push button held down: a light tint of the highlight.
constexpr COLORREF kPressedFace = RGB(204, 228, 247);
constexpr int kCheckBoxSize = 13;
constexpr int kCheckBoxGap = 5;

bool IsCheckbox(HWND hwnd)
{
    return (StyleOf(hwnd) & BS_TYPEMASK) == BS_AUTOCHECKBOX;
}

bool IsDefault(HWND hwnd)
{
    return (StyleOf(hwnd) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

bool IsPushed(const ButtonState& state)
{
    return (state.mouseDown && state.pointerInside) || state.spaceDown;
}

// A checkbox toggles first; then the parent hears BN_CLICKED.
void Click(ButtonState& state, HWND hwnd)
{
    if (IsCheckbox(hwnd)) {
        state.checked = !state.checked;
        Redraw(hwnd);
    }
    auto id = static_cast<int>(GetWindowLongPtrW(hwnd, GWLP_ID));
    NotifyParent(state, hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
}

UINT TextAlignment(DWORD style, bool checkbox)
{
    switch (style & BS_CENTER) {
    case BS_LEFT:
        return DT_LEFT;
    case BS_RIGHT:
        return DT_RIGHT;
    case BS_CENTER:
        return DT_CENTER;
    default:
        return checkbox ? DT_LEFT : DT_CENTER;
    }
}

void DrawCheckMark(HDC hdc, const RECT& box, int color)
{
    // Two strokes two pixels thick: down to the bottom of the tick, then up to the right.
    int x = box.left + 3;
    int y = box.top + 6;
    for (int i = 0; i < 3; ++i)
        FillColor(hdc, {x + i, y + i, x + i + 1, y + i + 2}, color);
    for (int i = 0; i < 5; ++i)
        FillColor(hdc, {x + 3 + i, y + 1 - i, x + 4 + i, y + 3 - i}, color);
}

void PaintPushButton(HDC hdc, const ButtonState& state, HWND hwnd, RECT client, bool enabled, bool focused)
{
    bool pushed = IsPushed(state);
    if (pushed) {
        HBRUSH pressed = CreateSolidBrush(kPressedFace);
        RECT face = Inset(client, 1, 1);
        FillRect(hdc, &face, pressed);
        DeleteObject(pressed);
    }
    if (!enabled) {
        FrameColor(hdc, client, COLOR_3DLIGHT);
    } else if (IsDefault(hwnd) || focused || pushed) {
        FrameColor(hdc, client, COLOR_HIGHLIGHT);
        if (IsDefault(hwnd))
            FrameColor(hdc, Inset(client, 1, 1), COLOR_HIGHLIGHT);
    } else {
        FrameColor(hdc, client, COLOR_BTNSHADOW);
    }
    std::u16string text = WindowText(hwnd);
    RECT textRect = Inset(client, 4, 2);
    DWORD style = StyleOf(hwnd);
    DrawTextW(hdc, text.c_str(), -1, &textRect, DT_SINGLELINE | DT_VCENTER | TextAlignment(style, false));
    if (focused) {
        RECT frame = Inset(client, 3, 3);
        DrawFocusRect(hdc, &frame);
    }
}

void PaintCheckbox(HDC hdc, const ButtonState& state, HWND hwnd, RECT client, bool enabled, bool focused)
{
    int top = client.top + (client.bottom - client.top - kCheckBoxSize) / 2;
    RECT box = {client.left + 1, top, client.left + 1 + kCheckBoxSize, top + kCheckBoxSize};
    FillColor(hdc, box, IsPushed(state) ? COLOR_3DLIGHT : COLOR_WINDOW);
    FrameColor(hdc, box, enabled ? COLOR_WINDOWTEXT : COLOR_BTNSHADOW);
    if (state.checked)
        DrawCheckMark(hdc, box, enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    std::u16string text = WindowText(hwnd);
    RECT textRect = {box.right + kCheckBoxGap, client.top, client.right - 1, client.bottom};
    DWORD style = StyleOf(hwnd);
    UINT format = DT_SINGLELINE | DT_VCENTER | TextAlignment(style, true);
    DrawTextW(hdc, text.c_str(), -1, &textRect, format);
    if (!focused || text.empty())
        return;
    // The focus frame goes round the title itself.
    RECT measured = textRect;
    DrawTextW(hdc, text.c_str(), -1, &measured, format | DT_CALCRECT);
    int width = measured.right - measured.left;
    int left = textRect.left;
    if ((format & DT_CENTER) != 0)
        left += (textRect.right - textRect.left - width) / 2;
    else if ((format & DT_RIGHT) != 0)
        left = textRect.right - width;
    int height = measured.bottom - measured.top;
    int textTop = textRect.top + (textRect.bottom - textRect.top - height) / 2;
    RECT frame = {left - 1, textTop - 1, left + width + 1, textTop + height + 1};
    DrawFocusRect(hdc, &frame);
}

void Paint(ButtonState& state, HWND hwnd)
{
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(hwnd, &paint);
    if (hdc == nullptr)
        return;
    bool checkbox = IsCheckbox(hwnd);
    // A checkbox is drawn on its parent's background, as text is.
    HBRUSH brush = AskColors(state, hwnd, checkbox ? WM_CTLCOLORSTATIC : WM_CTLCOLORBTN, hdc);
    if (brush != nullptr) {
        RECT client = ClientArea(hwnd);
        FillRect(hdc, &client, brush);
        bool enabled = IsWindowEnabled(hwnd) != FALSE;
        bool focused = GetFocus() == hwnd;
        if (!enabled)
            SetTextColor(hdc, GetSysColor(COLOR_GRAYTEXT));
        SetBkMode(hdc, TRANSPARENT);
        HGDIOBJ oldFont = SelectControlFont(hdc, state);
        if (checkbox)
            PaintCheckbox(hdc, state, hwnd, client, enabled, focused);
        else
            PaintPushButton(hdc, state, hwnd, client, enabled, focused);
        SelectObject(hdc, oldFont);
    }
    EndPaint(hwnd, &paint);
}

LRESULT DialogCode(HWND hwnd)
{
    if (IsCheckbox(hwnd))
        return DLGC_BUTTON;
    return DLGC_BUTTON | (IsDefault(hwnd) ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

POINT PointOf(LPARAM lParam)
{
    return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

void PressWithMouse(ButtonState& state, HWND hwnd)
{
    if (GetFocus() != hwnd) {
        SetFocus(hwnd);
        if (state.dead)
            return;
    }
    SetCapture(hwnd);
    if (state.dead)
        return;
    state.mouseDown = true;
    state.pointerInside = true;
    Redraw(hwnd);
}

void ReleaseMouse(ButtonState& state, HWND hwnd, POINT point)
{
    if (!state.mouseDown)
        return;
    state.mouseDown = false;
    Redraw(hwnd);
    bool inside = Contains(ClientArea(hwnd), point);
    ReleaseCapture();
    if (!state.dead && inside)
        Click(state, hwnd);
}

// Focus or enabling lost: a press in progress ends without a click.
void CancelPress(ButtonState& state, HWND hwnd)
{
    state.spaceDown = false;
    if (state.mouseDown) {
        state.mouseDown = false;
        if (GetCapture() == hwnd)
            ReleaseCapture();
    }
    if (!state.dead)
        Redraw(hwnd);
}

LRESULT Handle(ButtonState& state, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        Paint(state, hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
        PressWithMouse(state, hwnd);
        return 0;
    case WM_MOUSEMOVE:
        if (state.mouseDown) {
            bool inside = Contains(ClientArea(hwnd), PointOf(lParam));
            if (inside != state.pointerInside) {
                state.pointerInside = inside;
                Redraw(hwnd);
            }
        }
        return 0;
    case WM_LBUTTONUP:
        ReleaseMouse(state, hwnd, PointOf(lParam));
        return 0;
    case WM_CAPTURECHANGED:
        if (state.mouseDown) {
            state.mouseDown = false;
            Redraw(hwnd);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && !state.spaceDown) {
            state.spaceDown = true;
            Redraw(hwnd);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && state.spaceDown) {
            state.spaceDown = false;
            Redraw(hwnd);
            Click(state, hwnd);
        }
        return 0;
    case WM_KILLFOCUS:
        CancelPress(state, hwnd);
        return 0;
    case WM_ENABLE:
        if (wParam == FALSE)
            CancelPress(state, hwnd);
        else
            Redraw(hwnd);
        return 0;
    case WM_SETFOCUS:
    case WM_SIZE:
    case WM_STYLECHANGED:
        Redraw(hwnd);
        return 0;
    case WM_SETTEXT: {
        LRESULT result = DefWindowProcW(hwnd, message, wParam, lParam);
        Redraw(hwnd);
        return result;
    }
    case WM_GETDLGCODE:
        return DialogCode(hwnd);
    case BM_GETCHECK:
        return state.checked ? static_cast<LRESULT>(BST_CHECKED) : static_cast<LRESULT>(BST_UNCHECKED);
    case BM_SETCHECK:
        if (IsCheckbox(hwnd) && state.checked != (wParam == BST_CHECKED)) {
            state.checked = wParam == BST_CHECKED;
            Redraw(hwnd);
        }
        return 0;
    case BM_CLICK:
        if (IsWindowEnabled(hwnd))
            Click(state, hwnd);
        return 0;
    default:
        break;
    }
    return DefaultControlMessage(state, hwnd, message, wParam, lParam);
}

} // namespace

LRESULT ButtonProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Table::Dispatch(hwnd, message, wParam, lParam, Handle);
}

} // namespace win32::controls
