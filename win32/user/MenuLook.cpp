// How menus look: the bar row and popup menus, their items measured and drawn with the stock GUI
// font. An item's text shows "&&" as '&' and "&x" as an underlined x (DrawTextW's prefixes); the
// part after its first tab is drawn right-aligned in a column of its own.

#include "win32/gdi/Gdi.h"
#include "win32/gdi/Text.h"
#include "win32/user/MenuState.h"
#include "win32/user/Paint.h"
#include "win32/user/PaintState.h"

#include <algorithm>

namespace win32::user {

namespace {

// Popup menus: a one-pixel frame and padding inside it, a column for the check mark left of the
// labels, a gap before the shortcut column, room for the sub-menu arrow on the right.
constexpr int kFrame = 1;
constexpr int kPadding = 2;
constexpr int kCheckColumn = 24;
constexpr int kShortcutGap = 24;
constexpr int kArrowColumn = 20;
constexpr int kSeparatorHeight = 9;
constexpr int kMinimumWidth = 64;
// Bar items: padding on each side of the title.
constexpr int kBarPadding = 8;

// The title and the shortcut text (after the first tab) of an item.
std::u16string Label(const MenuItem& item)
{
    return item.text.substr(0, item.text.find(u'\t'));
}

std::u16string Shortcut(const MenuItem& item)
{
    size_t tab = item.text.find(u'\t');
    return tab == std::u16string::npos ? std::u16string() : item.text.substr(tab + 1);
}

HGDIOBJ MenuFont()
{
    return GetStockObject(DEFAULT_GUI_FONT);
}

// A measuring DC with the menu font, given back at the end of the scope.
class MeasuringDC {
public:
    MeasuringDC() : fDC(GetDC(nullptr)) { SelectObject(fDC, MenuFont()); }
    ~MeasuringDC() { ReleaseDC(nullptr, fDC); }
    MeasuringDC(const MeasuringDC&) = delete;
    MeasuringDC& operator=(const MeasuringDC&) = delete;

    int Width(const std::u16string& text) const
    {
        RECT rect = {0, 0, 0, 0};
        DrawTextW(fDC, text.c_str(), static_cast<int>(text.size()), &rect, DT_SINGLELINE | DT_CALCRECT);
        return rect.right - rect.left;
    }
    int LineHeight() const
    {
        TEXTMETRICW metrics = {};
        GetTextMetricsW(fDC, &metrics);
        return metrics.tmHeight;
    }

private:
    HDC fDC;
};

void Fill(HDC hdc, const RECT& rect, int color)
{
    FillRect(hdc, &rect, GetSysColorBrush(color));
}

void DrawCheckMark(HDC hdc, const RECT& item, int color)
{
    // A tick in the check column, centred on the row: down to its foot, then up to the right.
    int x = item.left + kCheckColumn / 2 - 4;
    int y = (item.top + item.bottom) / 2 - 2;
    for (int i = 0; i < 3; ++i)
        Fill(hdc, {x + i, y + i, x + i + 1, y + i + 2}, color);
    for (int i = 0; i < 5; ++i)
        Fill(hdc, {x + 3 + i, y + 1 - i, x + 4 + i, y + 3 - i}, color);
}

void DrawArrow(HDC hdc, const RECT& item, int color)
{
    int x = item.right - kArrowColumn / 2 - 2;
    int y = (item.top + item.bottom) / 2;
    for (int i = 0; i < 4; ++i)
        Fill(hdc, {x + i, y - 3 + i, x + i + 1, y + 4 - i}, color);
}

int TextColor(const MenuItem& item, bool hot)
{
    if (item.IsDisabled())
        return COLOR_GRAYTEXT;
    return hot ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT;
}

} // namespace

std::vector<RECT> BarItemRects(const Window* window)
{
    std::vector<RECT> rects;
    Menu* bar = HasBar(window) ? PeekMenu(window->menu) : nullptr;
    if (bar == nullptr)
        return rects;
    RECT row = BarInWindow(window);
    MeasuringDC measure;
    int x = row.left;
    for (const MenuItem& item : bar->items) {
        int width = measure.Width(Label(item)) + 2 * kBarPadding;
        rects.push_back({x, row.top, x + width, row.bottom});
        x += width;
    }
    return rects;
}

void InvalidateBar(Window* window)
{
    if (!HasBar(window))
        return;
    AddDirty(window, gdi::Area(BarInWindow(window)), false);
}

void PaintMenuBar(Window* window)
{
    Menu* bar = HasBar(window) ? PeekMenu(window->menu) : nullptr;
    if (bar == nullptr)
        return;
    RECT row = BarInWindow(window);
    std::vector<RECT> rects = BarItemRects(window);
    HDC hdc = LendTopLevelDC(window, row);
    if (hdc == nullptr)
        return;
    HGDIOBJ oldFont = SelectObject(hdc, MenuFont());
    SetBkMode(hdc, TRANSPARENT);
    Fill(hdc, row, COLOR_MENUBAR);
    for (size_t i = 0; i < bar->items.size() && i < rects.size(); ++i) {
        const MenuItem& item = bar->items[i];
        bool hot = bar->barHot == static_cast<int>(i);
        if (hot)
            Fill(hdc, rects[i], COLOR_HIGHLIGHT);
        SetTextColor(hdc, GetSysColor(TextColor(item, hot)));
        std::u16string label = Label(item);
        RECT text = rects[i];
        DrawTextW(hdc, label.c_str(), static_cast<int>(label.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
    SelectObject(hdc, oldFont);
    ReleaseDC(window->handle, hdc);
}

PopupLayout LayoutPopup(const Menu& menu)
{
    MeasuringDC measure;
    int rowHeight = measure.LineHeight() + 8;
    int labels = 0;
    int shortcuts = 0;
    for (const MenuItem& item : menu.items) {
        if (item.IsSeparator())
            continue;
        labels = std::max(labels, measure.Width(Label(item)));
        shortcuts = std::max(shortcuts, measure.Width(Shortcut(item)));
    }
    int width = kFrame + kCheckColumn + labels + (shortcuts > 0 ? kShortcutGap + shortcuts : 0) + kArrowColumn + kFrame;
    width = std::max(width, kMinimumWidth);
    PopupLayout layout;
    int y = kFrame + kPadding;
    for (const MenuItem& item : menu.items) {
        int height = item.IsSeparator() ? kSeparatorHeight : rowHeight;
        layout.items.push_back({kFrame, y, width - kFrame, y + height});
        y += height;
    }
    layout.size = {width, y + kPadding + kFrame};
    return layout;
}

void PaintPopup(HDC hdc, const Menu& menu, const PopupLayout& layout, int hot)
{
    RECT whole = {0, 0, layout.size.cx, layout.size.cy};
    Fill(hdc, whole, COLOR_MENU);
    FrameRect(hdc, &whole, GetSysColorBrush(COLOR_3DSHADOW));
    HGDIOBJ oldFont = SelectObject(hdc, MenuFont());
    SetBkMode(hdc, TRANSPARENT);
    for (size_t i = 0; i < menu.items.size() && i < layout.items.size(); ++i) {
        const MenuItem& item = menu.items[i];
        const RECT& rect = layout.items[i];
        if (item.IsSeparator()) {
            int middle = (rect.top + rect.bottom) / 2;
            Fill(hdc, {rect.left + kCheckColumn, middle, rect.right - kPadding, middle + 1}, COLOR_3DSHADOW);
            continue;
        }
        bool isHot = hot == static_cast<int>(i);
        if (isHot)
            Fill(hdc, rect, item.IsDisabled() ? COLOR_3DLIGHT : COLOR_HIGHLIGHT);
        int color = TextColor(item, isHot);
        SetTextColor(hdc, GetSysColor(color));
        if (item.IsChecked())
            DrawCheckMark(hdc, rect, color);
        if (item.subMenu != nullptr)
            DrawArrow(hdc, rect, color);
        // The label from the check column on; the shortcut right-aligned before the arrow column,
        // so every shortcut of the menu ends at the same place.
        std::u16string label = Label(item);
        RECT labelRect = {rect.left + kCheckColumn, rect.top, rect.right - kArrowColumn, rect.bottom};
        DrawTextW(hdc, label.c_str(), static_cast<int>(label.size()), &labelRect, DT_SINGLELINE | DT_VCENTER);
        std::u16string shortcut = Shortcut(item);
        if (!shortcut.empty()) {
            RECT shortcutRect = labelRect;
            DrawTextW(hdc, shortcut.c_str(), static_cast<int>(shortcut.size()), &shortcutRect,
                      DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
        }
    }
    SelectObject(hdc, oldFont);
}

} // namespace win32::user
