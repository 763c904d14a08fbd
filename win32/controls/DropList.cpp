// The list that drops down from a control (see DropList.h).

#include "win32/controls/DropList.h"

#include "win32/controls/ControlCommon.h"
#include "win32/gdi/Text.h"
#include "win32/user/Queue.h"

#include <algorithm>
#include <map>
#include <memory>

namespace win32::controls {

namespace {

struct ListState {
    DropListSetup setup;
    int highlight = -1;
    // The first row shown, and how many show.
    int top = 0;
    int shown = 1;
    int rowHeight = 1;
    // Closing by its own hand: the capture loss that follows is no cancellation.
    bool closing = false;
    // An embedded list: its selected rows, and what it tells its parent.
    bool embedded = false;
    bool multiple = false;
    std::vector<bool> marked;
    std::function<void(int)> selectionChanged;
    std::function<void(int)> picked;
    // Counts row replacements, so a handler that replaced them is noticed.
    unsigned generation = 0;
};

constexpr int kBorder = 1;
constexpr int kTextInset = 3;
constexpr int kWheelRows = 3;

std::map<HWND, std::shared_ptr<ListState>>& Lists()
{
    static auto* lists = new std::map<HWND, std::shared_ptr<ListState>>();
    return *lists;
}

std::shared_ptr<ListState> FindList(HWND list)
{
    auto it = Lists().find(list);
    return it != Lists().end() ? it->second : nullptr;
}

HGDIOBJ ListFont(const DropListSetup& setup)
{
    return GetObjectType(setup.font) == OBJ_FONT ? static_cast<HGDIOBJ>(setup.font) : GetStockObject(DEFAULT_GUI_FONT);
}

int RowCount(const ListState& state)
{
    return static_cast<int>(state.setup.rows.size());
}

int RowHeightFor(const DropListSetup& setup)
{
    HDC measure = GetDC(nullptr);
    SelectObject(measure, ListFont(setup));
    TEXTMETRICW metrics = {};
    GetTextMetricsW(measure, &metrics);
    ReleaseDC(nullptr, measure);
    return std::max<int>(1, metrics.tmHeight + 2);
}

bool Lit(const ListState& state, int row)
{
    if (!state.embedded)
        return row == state.highlight;
    return row < static_cast<int>(state.marked.size()) && state.marked[static_cast<size_t>(row)];
}

// The row under a client point, -1 for none.
int RowAt(const ListState& state, HWND list, POINT point)
{
    RECT client = ClientArea(list);
    if (!Contains(Inset(client, kBorder, kBorder), point))
        return -1;
    int row = state.top + (point.y - kBorder) / state.rowHeight;
    return row < RowCount(state) ? row : -1;
}

void ScrollTo(ListState& state, HWND list, int top)
{
    top = std::clamp(top, 0, std::max(0, RowCount(state) - state.shown));
    if (top != state.top) {
        state.top = top;
        Redraw(list);
    }
}

void ScrollIntoView(ListState& state, HWND list, int row)
{
    if (row < state.top)
        ScrollTo(state, list, row);
    else if (row >= state.top + state.shown)
        ScrollTo(state, list, row - state.shown + 1);
}

void SetHighlight(ListState& state, HWND list, int row)
{
    if (row < 0 || row >= RowCount(state) || row == state.highlight)
        return;
    state.highlight = row;
    ScrollIntoView(state, list, row);
    Redraw(list);
}

void Paint(ListState& state, HWND list)
{
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(list, &paint);
    if (hdc == nullptr)
        return;
    HBRUSH brush = state.setup.colors ? state.setup.colors(hdc) : nullptr;
    if (brush == nullptr) {
        brush = GetSysColorBrush(COLOR_WINDOW);
        SetTextColor(hdc, GetSysColor(COLOR_WINDOWTEXT));
    }
    COLORREF text = GetTextColor(hdc);
    RECT client = ClientArea(list);
    FillRect(hdc, &client, brush);
    FrameColor(hdc, client, COLOR_WINDOWFRAME);
    HGDIOBJ oldFont = SelectObject(hdc, ListFont(state.setup));
    SetBkMode(hdc, TRANSPARENT);
    for (int i = 0; i < state.shown && state.top + i < RowCount(state); ++i) {
        int row = state.top + i;
        RECT rect = {kBorder, kBorder + i * state.rowHeight, client.right - kBorder, kBorder + (i + 1) * state.rowHeight};
        bool highlighted = Lit(state, row);
        if (highlighted)
            FillColor(hdc, rect, COLOR_HIGHLIGHT);
        else if (state.embedded && row == state.highlight && GetFocus() == list)
            FrameColor(hdc, rect, COLOR_WINDOWTEXT);
        SetTextColor(hdc, highlighted ? GetSysColor(COLOR_HIGHLIGHTTEXT) : text);
        const std::u16string& title = state.setup.rows[static_cast<size_t>(row)];
        RECT textRect = {rect.left + kTextInset, rect.top, rect.right - kTextInset, rect.bottom};
        DrawTextW(hdc, title.c_str(), static_cast<int>(title.size()), &textRect,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    SelectObject(hdc, oldFont);
    EndPaint(list, &paint);
}

// Takes the list down; the caller decides whether closed hears of it.
std::function<void(bool, int)> TakeDown(HWND list, const std::shared_ptr<ListState>& state)
{
    state->closing = true;
    std::function<void(bool, int)> closed = std::move(state->setup.closed);
    Lists().erase(list);
    if (GetCapture() == list)
        ReleaseCapture();
    if (IsWindow(list))
        DestroyWindow(list);
    return closed;
}

HWND TopLevelOf(HWND hwnd)
{
    while (hwnd != nullptr && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) != 0)
        hwnd = GetParent(hwnd);
    return hwnd;
}

char16_t Folded(char16_t unit)
{
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

// --- The embedded list ---

void FitShownRows(ListState& state, HWND list)
{
    RECT client = ClientArea(list);
    state.shown = std::max(1, (client.bottom - 2 * kBorder) / state.rowHeight);
    ScrollTo(state, list, state.top);
}

// Makes row the only selected one, highlighted and in view; true when the selection changed.
bool SelectOnly(ListState& state, HWND list, int row)
{
    bool changed = false;
    for (size_t i = 0; i < state.marked.size(); ++i) {
        bool selected = static_cast<int>(i) == row;
        changed = changed || state.marked[i] != selected;
        state.marked[i] = selected;
    }
    state.highlight = row;
    ScrollIntoView(state, list, row);
    Redraw(list);
    return changed;
}

void ToggleRow(ListState& state, HWND list, int row)
{
    auto index = static_cast<size_t>(row);
    state.marked[index] = !state.marked[index];
    state.highlight = row;
    ScrollIntoView(state, list, row);
    Redraw(list);
}

// Tells the parent; false when the handler destroyed the list or replaced its rows.
bool TellSelectionChanged(const std::shared_ptr<ListState>& state, HWND list, int row)
{
    unsigned generation = state->generation;
    if (std::function<void(int)> tell = state->selectionChanged)
        tell(row);
    return FindList(list) == state && state->generation == generation;
}

void EmbeddedPress(const std::shared_ptr<ListState>& state, HWND list, POINT point, bool control)
{
    if (GetFocus() != list) {
        SetFocus(list);
        if (FindList(list) != state)
            return;
    }
    int row = RowAt(*state, list, point);
    if (row < 0)
        return;
    if (state->multiple && control) {
        ToggleRow(*state, list, row);
        TellSelectionChanged(state, list, row);
    } else if (SelectOnly(*state, list, row)) {
        TellSelectionChanged(state, list, row);
    }
}

void EmbeddedDoubleClick(const std::shared_ptr<ListState>& state, HWND list, POINT point)
{
    int row = RowAt(*state, list, point);
    if (row < 0)
        return;
    if (SelectOnly(*state, list, row) && !TellSelectionChanged(state, list, row))
        return;
    if (std::function<void(int)> pick = state->picked)
        pick(row);
}

// The row a moving key goes to; -1 for a key that moves nothing.
int RowForKey(const ListState& state, UINT key)
{
    int last = RowCount(state) - 1;
    int from = state.highlight;
    int page = std::max(1, state.shown - 1);
    switch (key) {
    case VK_UP:
        return from < 0 ? 0 : std::max(from - 1, 0);
    case VK_DOWN:
        return from < 0 ? 0 : std::min(from + 1, last);
    case VK_PRIOR:
        return std::max(from - page, 0);
    case VK_NEXT:
        return from < 0 ? 0 : std::min(from + page, last);
    case VK_HOME:
        return 0;
    case VK_END:
        return last;
    default:
        return -1;
    }
}

void MoveSelectionTo(const std::shared_ptr<ListState>& state, HWND list, int row)
{
    if (row >= 0 && row < RowCount(*state) && SelectOnly(*state, list, row))
        TellSelectionChanged(state, list, row);
}

LRESULT EmbeddedMessage(const std::shared_ptr<ListState>& state, HWND hwnd, UINT message, WPARAM wParam,
                        LPARAM lParam)
{
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_PAINT:
        Paint(*state, hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        FitShownRows(*state, hwnd);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        Redraw(hwnd);
        return 0;
    case WM_LBUTTONDOWN:
        EmbeddedPress(state, hwnd, point, (wParam & MK_CONTROL) != 0);
        return 0;
    case WM_LBUTTONDBLCLK:
        EmbeddedDoubleClick(state, hwnd, point);
        return 0;
    case WM_MOUSEWHEEL: {
        int notches = static_cast<int16_t>(HIWORD(wParam)) / WHEEL_DELTA;
        ScrollTo(*state, hwnd, state->top - notches * kWheelRows);
        return 0;
    }
    case WM_KEYDOWN:
        MoveSelectionTo(state, hwnd, RowForKey(*state, static_cast<UINT>(wParam)));
        return 0;
    case WM_CHAR: {
        auto unit = static_cast<char16_t>(wParam);
        if (unit >= 0x20)
            MoveSelectionTo(state, hwnd, NextRowStartingWith(state->setup.rows, state->highlight, unit));
        return 0;
    }
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// The drop-down list's own calls leave an embedded list alone.
std::shared_ptr<ListState> FindDropDown(HWND list)
{
    std::shared_ptr<ListState> state = FindList(list);
    return state != nullptr && !state->embedded ? state : nullptr;
}

} // namespace

int NextRowStartingWith(const std::vector<std::u16string>& rows, int from, char16_t unit)
{
    int count = static_cast<int>(rows.size());
    for (int step = 1; step <= count; ++step) {
        int row = ((from < 0 ? -1 : from) + step) % count;
        const std::u16string& title = rows[static_cast<size_t>(row)];
        if (!title.empty() && Folded(title[0]) == Folded(unit))
            return row;
    }
    return -1;
}

HWND OpenDropList(DropListSetup setup)
{
    RECT anchor;
    HWND top = TopLevelOf(setup.control);
    if (top == nullptr || !GetWindowRect(setup.control, &anchor))
        return nullptr;
    auto state = std::make_shared<ListState>();
    state->setup = std::move(setup);
    state->rowHeight = RowHeightFor(state->setup);
    state->shown = std::max(1, std::min(RowCount(*state), state->setup.visibleRows));
    int width = anchor.right - anchor.left;
    int height = state->shown * state->rowHeight + 2 * kBorder;
    int y = anchor.bottom;
    if (y + height > GetSystemMetrics(SM_CYSCREEN) && anchor.top - height >= 0)
        y = anchor.top - height;
    HWND list = CreateWindowExW(0, u"ComboLBox", u"", WS_POPUP, anchor.left, y, width, height, top, nullptr,
                                nullptr, nullptr);
    if (list == nullptr)
        return nullptr;
    Lists()[list] = state;
    if (state->setup.selected >= 0 && state->setup.selected < RowCount(*state)) {
        state->highlight = state->setup.selected;
        state->top = std::clamp(state->highlight - state->shown + 1, 0, RowCount(*state) - state->shown);
    }
    ShowWindow(list, SW_SHOWNA);
    SetCapture(list);
    return list;
}

void CloseDropList(HWND list, bool commit)
{
    std::shared_ptr<ListState> state = FindDropDown(list);
    if (state == nullptr || state->closing)
        return;
    int row = commit ? state->highlight : -1;
    std::function<void(bool, int)> closed = TakeDown(list, state);
    if (closed)
        closed(row >= 0, row);
}

void DismissDropList(HWND list)
{
    if (std::shared_ptr<ListState> state = FindDropDown(list))
        TakeDown(list, state);
}

bool DropListKey(HWND list, UINT key)
{
    std::shared_ptr<ListState> state = FindDropDown(list);
    if (state == nullptr)
        return false;
    int last = RowCount(*state) - 1;
    switch (key) {
    case VK_UP:
        SetHighlight(*state, list, state->highlight < 0 ? 0 : std::max(state->highlight - 1, 0));
        return true;
    case VK_DOWN:
        SetHighlight(*state, list, state->highlight < 0 ? 0 : std::min(state->highlight + 1, last));
        return true;
    case VK_RETURN:
        CloseDropList(list, true);
        return true;
    case VK_ESCAPE:
        CloseDropList(list, false);
        return true;
    default:
        return false;
    }
}

void DropListChar(HWND list, char16_t unit)
{
    if (std::shared_ptr<ListState> state = FindDropDown(list))
        SetHighlight(*state, list, NextRowStartingWith(state->setup.rows, state->highlight, unit));
}

HWND CreateEmbeddedList(EmbeddedListSetup setup)
{
    auto state = std::make_shared<ListState>();
    state->embedded = true;
    state->multiple = setup.multiple;
    state->selectionChanged = std::move(setup.selectionChanged);
    state->picked = std::move(setup.picked);
    state->setup.control = setup.parent;
    state->setup.rows = std::move(setup.rows);
    state->setup.font = setup.font;
    state->setup.colors = std::move(setup.colors);
    state->marked.assign(state->setup.rows.size(), false);
    state->rowHeight = RowHeightFor(state->setup);
    const RECT& r = setup.rect;
    HWND list = CreateWindowExW(0, u"ComboLBox", u"", WS_CHILD | setup.style, r.left, r.top, r.right - r.left,
                                r.bottom - r.top, setup.parent, reinterpret_cast<HMENU>(static_cast<intptr_t>(setup.id)),
                                nullptr, nullptr);
    if (list == nullptr)
        return nullptr;
    Lists()[list] = state;
    FitShownRows(*state, list);
    return list;
}

void SetEmbeddedListRows(HWND list, std::vector<std::u16string> rows)
{
    std::shared_ptr<ListState> state = FindList(list);
    if (state == nullptr || !state->embedded)
        return;
    ++state->generation;
    state->setup.rows = std::move(rows);
    state->marked.assign(state->setup.rows.size(), false);
    state->highlight = -1;
    state->top = 0;
    Redraw(list);
}

std::vector<int> EmbeddedListSelection(HWND list)
{
    std::vector<int> rows;
    std::shared_ptr<ListState> state = FindList(list);
    if (state == nullptr || !state->embedded)
        return rows;
    for (size_t i = 0; i < state->marked.size(); ++i) {
        if (state->marked[i])
            rows.push_back(static_cast<int>(i));
    }
    return rows;
}

LRESULT DropListProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The drop-down list never takes the activation from the window it belongs to.
    if (message == WM_MOUSEACTIVATE && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) == 0)
        return MA_NOACTIVATE;
    if (message == WM_NCDESTROY)
        Lists().erase(hwnd);
    std::shared_ptr<ListState> state = FindList(hwnd);
    if (state == nullptr)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (state->embedded)
        return EmbeddedMessage(state, hwnd, message, wParam, lParam);
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_PAINT:
        Paint(*state, hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEMOVE:
        SetHighlight(*state, hwnd, RowAt(*state, hwnd, point));
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        if (!Contains(ClientArea(hwnd), point))
            CloseDropList(hwnd, false);
        else
            SetHighlight(*state, hwnd, RowAt(*state, hwnd, point));
        return 0;
    case WM_LBUTTONUP: {
        int row = RowAt(*state, hwnd, point);
        if (row >= 0) {
            state->highlight = row;
            CloseDropList(hwnd, true);
        }
        return 0;
    }
    case WM_MOUSEWHEEL: {
        int notches = static_cast<int16_t>(HIWORD(wParam)) / WHEEL_DELTA;
        ScrollTo(*state, hwnd, state->top - notches * kWheelRows);
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (!state->closing)
            CloseDropList(hwnd, false);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace win32::controls
