// "STATIC": a label, word-wrapped and aligned.

#include "win32/controls/ControlCommon.h"

#include "win32/gdi/Text.h"

namespace win32::controls {

namespace {

struct StaticState : ControlState {
};

using Table = StateTable<StaticState>;

constexpr DWORD kAlignmentMask = 0x1F;

UINT Format(DWORD style)
{
    UINT format = DT_WORDBREAK;
    if ((style & kAlignmentMask) == SS_CENTER)
        format |= DT_CENTER;
    else if ((style & kAlignmentMask) == SS_RIGHT)
        format |= DT_RIGHT;
    if ((style & SS_NOPREFIX) != 0)
        format |= DT_NOPREFIX;
    return format;
}

void Paint(StaticState& state, HWND hwnd)
{
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(hwnd, &paint);
    if (hdc == nullptr)
        return;
    HBRUSH brush = AskColors(state, hwnd, WM_CTLCOLORSTATIC, hdc);
    if (brush != nullptr) {
        RECT client = ClientArea(hwnd);
        FillRect(hdc, &client, brush);
        if (!IsWindowEnabled(hwnd))
            SetTextColor(hdc, GetSysColor(COLOR_GRAYTEXT));
        SetBkMode(hdc, TRANSPARENT);
        HGDIOBJ oldFont = SelectControlFont(hdc, state);
        std::u16string text = WindowText(hwnd);
        DrawTextW(hdc, text.c_str(), -1, &client, Format(StyleOf(hwnd)));
        SelectObject(hdc, oldFont);
    }
    EndPaint(hwnd, &paint);
}

LRESULT Handle(StaticState& state, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        Paint(state, hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
    case WM_ENABLE:
    case WM_STYLECHANGED:
        Redraw(hwnd);
        return 0;
    case WM_SETTEXT: {
        LRESULT result = DefWindowProcW(hwnd, message, wParam, lParam);
        Redraw(hwnd);
        return result;
    }
    default:
        break;
    }
    return DefaultControlMessage(state, hwnd, message, wParam, lParam);
}

} // namespace

LRESULT StaticProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Table::Dispatch(hwnd, message, wParam, lParam, Handle);
}

} // namespace win32::controls
