// "COMBOBOX": the drop-down list kind (CBS_DROPDOWNLIST): a box showing the chosen item and a list
// of items that drops down below it.

#include "win32/controls/ControlCommon.h"
#include "win32/controls/DropList.h"

#include "win32/gdi/Text.h"
#include "win32/user/Queue.h"

#include <algorithm>

namespace win32::controls {

namespace {

struct ComboState : ControlState {
    std::vector<std::u16string> items;
    int selection = -1;
    int minVisible = 30;
    // The open list, or null.
    HWND list = nullptr;
};

using Table = StateTable<ComboState>;

constexpr int kArrowWidth = 17;
constexpr int kTextInset = 4;

bool Notify(ComboState& state, HWND hwnd, WORD code)
{
    auto id = static_cast<int>(GetWindowLongPtrW(hwnd, GWLP_ID));
    return NotifyParent(state, hwnd, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(hwnd));
}

int Count(const ComboState& state)
{
    return static_cast<int>(state.items.size());
}

// The user moved the selection: silent when nothing changes.
void Select(ComboState& state, HWND hwnd, int index)
{
    if (index < 0 || index >= Count(state) || index == state.selection)
        return;
    state.selection = index;
    Redraw(hwnd);
    Notify(state, hwnd, CBN_SELCHANGE);
}

// The list closed: the chosen row, when it is another one, becomes the selection; then the parent
// hears CBN_SELCHANGE (if it changed) and CBN_CLOSEUP.
void ListClosed(ComboState& state, HWND hwnd, bool committed, int row)
{
    state.list = nullptr;
    Redraw(hwnd);
    if (committed && row >= 0 && row < Count(state) && row != state.selection) {
        state.selection = row;
        if (!Notify(state, hwnd, CBN_SELCHANGE))
            return;
    }
    Notify(state, hwnd, CBN_CLOSEUP);
}

void Open(ComboState& state, HWND hwnd)
{
    if (state.list != nullptr || !Notify(state, hwnd, CBN_DROPDOWN))
        return;
    DropListSetup setup;
    setup.control = hwnd;
    setup.rows = state.items;
    setup.selected = state.selection;
    setup.visibleRows = state.minVisible;
    setup.font = state.font;
    setup.colors = [hwnd](HDC hdc) -> HBRUSH {
        std::shared_ptr<ComboState> combo = Table::Find(hwnd);
        return combo != nullptr ? AskColors(*combo, hwnd, WM_CTLCOLORLISTBOX, hdc) : nullptr;
    };
    setup.closed = [hwnd](bool committed, int row) {
        if (std::shared_ptr<ComboState> combo = Table::Find(hwnd))
            ListClosed(*combo, hwnd, committed, row);
    };
    HWND list = OpenDropList(std::move(setup));
    // Gone again already when the old capture holder took the capture back at once.
    state.list = IsWindow(list) ? list : nullptr;
    Redraw(hwnd);
}

void Close(ComboState& state)
{
    if (state.list != nullptr)
        CloseDropList(state.list, false);
}

void Dismiss(ComboState& state)
{
    HWND list = state.list;
    state.list = nullptr;
    if (list != nullptr)
        DismissDropList(list);
}

void DrawArrow(HDC hdc, const RECT& area, int color)
{
    int x = (area.left + area.right) / 2 - 4;
    int y = (area.top + area.bottom) / 2 - 2;
    for (int i = 0; i < 4; ++i)
        FillColor(hdc, {x + i, y + i, x + 8 - i, y + i + 1}, color);
}

void Paint(ComboState& state, HWND hwnd)
{
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(hwnd, &paint);
    if (hdc == nullptr)
        return;
    HBRUSH brush = AskColors(state, hwnd, WM_CTLCOLORLISTBOX, hdc);
    if (brush != nullptr) {
        RECT client = ClientArea(hwnd);
        FillRect(hdc, &client, brush);
        bool enabled = IsWindowEnabled(hwnd) != FALSE;
        bool focused = GetFocus() == hwnd;
        bool open = state.list != nullptr;
        FrameColor(hdc, client, !enabled ? COLOR_3DLIGHT : (focused || open) ? COLOR_HIGHLIGHT : COLOR_BTNSHADOW);
        RECT arrow = {client.right - kArrowWidth, client.top + 1, client.right - 1, client.bottom - 1};
        DrawArrow(hdc, arrow, enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
        if (state.selection >= 0 && state.selection < Count(state)) {
            RECT text = {client.left + 2, client.top + 2, arrow.left - 1, client.bottom - 2};
            if (!enabled) {
                SetTextColor(hdc, GetSysColor(COLOR_GRAYTEXT));
            } else if (focused && !open) {
                FillColor(hdc, text, COLOR_HIGHLIGHT);
                SetTextColor(hdc, GetSysColor(COLOR_HIGHLIGHTTEXT));
            }
            text.left += kTextInset - 2;
            SetBkMode(hdc, TRANSPARENT);
            HGDIOBJ oldFont = SelectControlFont(hdc, state);
            const std::u16string& title = state.items[static_cast<size_t>(state.selection)];
            DrawTextW(hdc, title.c_str(), static_cast<int>(title.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
            SelectObject(hdc, oldFont);
        }
    }
    EndPaint(hwnd, &paint);
}

void KeyOnClosedBox(ComboState& state, HWND hwnd, UINT key)
{
    if (key == VK_DOWN)
        Select(state, hwnd, state.selection < 0 ? 0 : std::min(state.selection + 1, Count(state) - 1));
    else if (key == VK_UP)
        Select(state, hwnd, state.selection < 0 ? 0 : std::max(state.selection - 1, 0));
}

LRESULT ItemText(const ComboState& state, WPARAM index, LPARAM buffer, bool lengthOnly)
{
    if (index >= state.items.size())
        return CB_ERR;
    const std::u16string& text = state.items[index];
    if (!lengthOnly && buffer != 0) {
        auto* out = reinterpret_cast<WCHAR*>(buffer);
        std::copy(text.begin(), text.end(), out);
        out[text.size()] = 0;
    }
    return static_cast<LRESULT>(text.size());
}

LRESULT Handle(ComboState& state, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        Paint(state, hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (GetFocus() != hwnd) {
            SetFocus(hwnd);
            if (state.dead)
                return 0;
        }
        Open(state, hwnd);
        return 0;
    case WM_KEYDOWN:
        if (state.list != nullptr)
            DropListKey(state.list, static_cast<UINT>(wParam));
        else
            KeyOnClosedBox(state, hwnd, static_cast<UINT>(wParam));
        return 0;
    case WM_CHAR: {
        auto unit = static_cast<char16_t>(wParam);
        if (unit < 0x20)
            return 0;
        if (state.list != nullptr)
            DropListChar(state.list, unit);
        else
            Select(state, hwnd, NextRowStartingWith(state.items, state.selection, unit));
        return 0;
    }
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
        // The wheel changes nothing, and goes no further.
        return 0;
    case WM_KILLFOCUS:
        Close(state);
        if (!state.dead)
            Redraw(hwnd);
        return 0;
    case WM_SETFOCUS:
    case WM_ENABLE:
    case WM_SIZE:
    case WM_STYLECHANGED:
        Redraw(hwnd);
        return 0;
    case WM_DESTROY:
        Dismiss(state);
        return 0;
    case WM_GETDLGCODE:
        // Enter and Escape belong to an open list.
        return DLGC_WANTARROWS | DLGC_WANTCHARS | (state.list != nullptr ? DLGC_WANTALLKEYS : 0);
    case CB_ADDSTRING:
        state.items.emplace_back(lParam != 0 ? reinterpret_cast<LPCWSTR>(lParam) : u"");
        return Count(state) - 1;
    case CB_RESETCONTENT:
        Dismiss(state);
        state.items.clear();
        state.selection = -1;
        Redraw(hwnd);
        return CB_OKAY;
    case CB_SETCURSEL: {
        auto index = static_cast<int>(static_cast<intptr_t>(wParam));
        state.selection = index >= 0 && index < Count(state) ? index : -1;
        Redraw(hwnd);
        return state.selection >= 0 ? state.selection : CB_ERR;
    }
    case CB_GETCURSEL:
        return state.selection >= 0 ? state.selection : CB_ERR;
    case CB_GETCOUNT:
        return Count(state);
    case CB_GETLBTEXT:
        return ItemText(state, wParam, lParam, false);
    case CB_GETLBTEXTLEN:
        return ItemText(state, wParam, lParam, true);
    case CB_SETMINVISIBLE:
        if (static_cast<int>(static_cast<intptr_t>(wParam)) <= 0)
            return FALSE;
        state.minVisible = static_cast<int>(wParam);
        return TRUE;
    case CB_GETMINVISIBLE:
        return state.minVisible;
    case CB_SHOWDROPDOWN:
        if (wParam != FALSE)
            Open(state, hwnd);
        else
            Close(state);
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return state.list != nullptr ? TRUE : FALSE;
    default:
        break;
    }
    return DefaultControlMessage(state, hwnd, message, wParam, lParam);
}

} // namespace

LRESULT ComboBoxProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Table::Dispatch(hwnd, message, wParam, lParam, Handle);
}

} // namespace win32::controls
