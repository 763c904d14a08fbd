// "SysTabControl32": one row of tabs above a framed panel, one tab selected. Emulation limits: one
// row whatever the style (TCS_MULTILINE is accepted), tabs past the right edge cut off without
// scroll arrows, no keyboard, focus, images, tool tips or item removal.

#include "win32/controls/ControlCommon.h"

#include "win32/api/DateTimeTab.h"
#include "win32/gdi/Text.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace win32::controls {

namespace {

// Room round a title inside its tab.
constexpr int kTabPaddingX = 8;
constexpr int kTabPaddingY = 3;
// The first tab's distance from the left edge, and how far the selected tab stands out above and
// beside the others.
constexpr int kRowIndent = 2;
constexpr int kRaise = 2;
// The display area's distance from the panel's sides.
constexpr int kDisplayMargin = 4;
constexpr UINT kTitleFormat = DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX;

struct TabState : ControlState {
    std::vector<std::u16string> titles;
    int selected = -1;
};

using Table = StateTable<TabState>;

// Where the tabs are, measured with the control's font selected into a DC: the height of the row
// (the panel starts there) and each tab's box; the selected one stands out by kRaise.
struct TabLayout {
    int row = 0;
    std::vector<RECT> tabs;
};

TabLayout LayOut(const TabState& state, HDC hdc)
{
    TEXTMETRICW metrics = {};
    GetTextMetricsW(hdc, &metrics);
    TabLayout layout;
    layout.row = metrics.tmHeight + 2 * kTabPaddingY + kRaise;
    int left = kRowIndent;
    for (size_t i = 0; i < state.titles.size(); ++i) {
        const std::u16string& title = state.titles[i];
        SIZE size = {0, 0};
        GetTextExtentPoint32W(hdc, title.data(), static_cast<int>(title.size()), &size);
        RECT tab = {left, kRaise, left + size.cx + 2 * kTabPaddingX, layout.row};
        left = tab.right;
        if (static_cast<int>(i) == state.selected)
            tab = {tab.left - kRaise, 0, tab.right + kRaise, layout.row + 1};
        layout.tabs.push_back(tab);
    }
    return layout;
}

// LayOut with the control's font on a measuring DC.
TabLayout Measure(const TabState& state)
{
    HDC measure = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFont = SelectControlFont(measure, state);
    TabLayout layout = LayOut(state, measure);
    SelectObject(measure, oldFont);
    DeleteDC(measure);
    return layout;
}

void PaintTab(HDC hdc, const std::u16string& title, const RECT& tab, HBRUSH background, bool selected)
{
    if (selected) {
        FillRect(hdc, &tab, background);
        FrameColor(hdc, tab, COLOR_BTNSHADOW);
        // Open into the panel below.
        const RECT opening = {tab.left + 1, tab.bottom - 2, tab.right - 1, tab.bottom};
        FillRect(hdc, &opening, background);
    } else {
        FillColor(hdc, tab, COLOR_3DLIGHT);
        FrameColor(hdc, tab, COLOR_BTNSHADOW);
    }
    RECT text = tab;
    DrawTextW(hdc, title.c_str(), static_cast<int>(title.size()), &text, kTitleFormat);
}

void Paint(TabState& state, HWND hwnd)
{
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(hwnd, &paint);
    if (hdc == nullptr)
        return;
    HBRUSH brush = AskColors(state, hwnd, WM_CTLCOLORSTATIC, hdc);
    if (brush != nullptr) {
        const RECT client = ClientArea(hwnd);
        FillRect(hdc, &client, brush);
        if (!IsWindowEnabled(hwnd))
            SetTextColor(hdc, GetSysColor(COLOR_GRAYTEXT));
        SetBkMode(hdc, TRANSPARENT);
        HGDIOBJ oldFont = SelectControlFont(hdc, state);
        const TabLayout layout = LayOut(state, hdc);
        FrameColor(hdc, {client.left, layout.row, client.right, client.bottom}, COLOR_BTNSHADOW);
        // The selected tab last, over its neighbours' edges.
        for (size_t i = 0; i < layout.tabs.size(); ++i) {
            if (static_cast<int>(i) != state.selected)
                PaintTab(hdc, state.titles[i], layout.tabs[i], brush, false);
        }
        if (state.selected >= 0) {
            const auto selected = static_cast<size_t>(state.selected);
            PaintTab(hdc, state.titles[selected], layout.tabs[selected], brush, true);
        }
        SelectObject(hdc, oldFont);
    }
    EndPaint(hwnd, &paint);
}

// The tab under a client point, or -1; the selected tab first, as it lies on top.
int TabAt(const TabState& state, POINT point)
{
    const TabLayout layout = Measure(state);
    if (state.selected >= 0 && Contains(layout.tabs[static_cast<size_t>(state.selected)], point))
        return state.selected;
    for (size_t i = 0; i < layout.tabs.size(); ++i) {
        if (Contains(layout.tabs[i], point))
            return static_cast<int>(i);
    }
    return -1;
}

// A user's choice: the parent may keep the selection with a non-zero answer to TCN_SELCHANGING;
// otherwise the tab is selected and the parent hears TCN_SELCHANGE.
void SelectByUser(TabState& state, HWND hwnd, int index)
{
    NMHDR header = {hwnd, static_cast<UINT_PTR>(GetWindowLongPtrW(hwnd, GWLP_ID)), TCN_SELCHANGING};
    HWND parent = GetParent(hwnd);
    const LRESULT veto =
        parent != nullptr ? SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header)) : 0;
    if (state.dead || veto != 0)
        return;
    state.selected = index;
    Redraw(hwnd);
    header.code = TCN_SELCHANGE;
    NotifyParent(state, hwnd, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

LRESULT InsertItem(TabState& state, HWND hwnd, WPARAM wParam, const TCITEMW* item)
{
    const auto index = static_cast<int>(wParam);
    if (item == nullptr || index < 0)
        return -1;
    const size_t at = std::min(static_cast<size_t>(index), state.titles.size());
    std::u16string title;
    if ((item->mask & TCIF_TEXT) != 0 && item->pszText != nullptr)
        title = item->pszText;
    state.titles.insert(state.titles.begin() + static_cast<std::ptrdiff_t>(at), std::move(title));
    // The first tab is selected; a tab inserted before the selected one keeps that one selected.
    if (state.selected < 0)
        state.selected = 0;
    else if (static_cast<int>(at) <= state.selected)
        ++state.selected;
    Redraw(hwnd);
    return static_cast<LRESULT>(at);
}

LRESULT SetSelection(TabState& state, HWND hwnd, WPARAM wParam)
{
    const auto index = static_cast<int>(wParam);
    if (index < 0 || static_cast<size_t>(index) >= state.titles.size())
        return -1;
    const int previous = state.selected;
    if (index != previous) {
        state.selected = index;
        Redraw(hwnd);
    }
    return previous;
}

void AdjustRect(const TabState& state, BOOL larger, RECT* rect)
{
    if (rect == nullptr)
        return;
    const int top = Measure(state).row + kDisplayMargin;
    const int sign = larger ? -1 : 1;
    rect->left += sign * kDisplayMargin;
    rect->top += sign * top;
    rect->right -= sign * kDisplayMargin;
    rect->bottom -= sign * kDisplayMargin;
}

LRESULT Handle(TabState& state, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
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
    case WM_LBUTTONDOWN: {
        const int hit = TabAt(state, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (hit >= 0 && hit != state.selected)
            SelectByUser(state, hwnd, hit);
        return 0;
    }
    case TCM_INSERTITEMW:
        return InsertItem(state, hwnd, wParam, reinterpret_cast<const TCITEMW*>(lParam));
    case TCM_GETCURSEL:
        return state.selected;
    case TCM_SETCURSEL:
        return SetSelection(state, hwnd, wParam);
    case TCM_ADJUSTRECT:
        AdjustRect(state, static_cast<BOOL>(wParam), reinterpret_cast<RECT*>(lParam));
        return 0;
    default:
        break;
    }
    return DefaultControlMessage(state, hwnd, message, wParam, lParam);
}

} // namespace

LRESULT TabControlProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Table::Dispatch(hwnd, message, wParam, lParam, Handle);
}

} // namespace win32::controls
