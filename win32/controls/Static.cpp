// "STATIC": a label, word-wrapped and aligned, or with SS_BITMAP a picture at its own size.

#include "win32/controls/ControlCommon.h"

#include "win32/api/StaticImage.h"
#include "win32/gdi/Text.h"

namespace win32::controls {

namespace {

struct StaticState : ControlState {
    // Borrowed (STM_SETIMAGE); a bitmap deleted meanwhile draws nothing.
    HBITMAP image = nullptr;
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

// The image at the top left corner at its own size, blended by its alpha over the background.
void PaintImage(const StaticState& state, HDC hdc)
{
    BITMAP description = {};
    if (state.image == nullptr ||
        GetObjectW(state.image, sizeof(description), &description) != static_cast<int>(sizeof(description)))
        return;
    HDC source = CreateCompatibleDC(hdc);
    HGDIOBJ old = SelectObject(source, state.image);
    if (old != nullptr) {
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        AlphaBlend(hdc, 0, 0, description.bmWidth, description.bmHeight, source, 0, 0, description.bmWidth,
                   description.bmHeight, blend);
        SelectObject(source, old);
    }
    DeleteDC(source);
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
        if ((StyleOf(hwnd) & SS_TYPEMASK) == SS_BITMAP) {
            PaintImage(state, hdc);
            EndPaint(hwnd, &paint);
            return;
        }
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
    case STM_SETIMAGE: {
        if (wParam != IMAGE_BITMAP)
            return 0;
        HBITMAP previous = state.image;
        state.image = reinterpret_cast<HBITMAP>(lParam);
        Redraw(hwnd);
        return reinterpret_cast<LRESULT>(previous);
    }
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
