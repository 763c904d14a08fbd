#pragma once

// Private to the window part: menu records, the menu bar's place in its window, and the hooks by
// which windows, input and painting reach the menus.

#include "win32/user/WindowState.h"

#include <string>
#include <vector>

namespace win32::user {

struct MenuItem {
    // MFT_STRING or MFT_SEPARATOR.
    UINT type = MFT_STRING;
    // MFS_DISABLED and MFS_CHECKED bits.
    UINT state = 0;
    UINT id = 0;
    // Owned: destroyed with the item's menu.
    HMENU subMenu = nullptr;
    ULONG_PTR data = 0;
    std::u16string text;

    bool IsSeparator() const { return (type & MFT_SEPARATOR) != 0; }
    bool IsDisabled() const { return (state & MFS_DISABLED) != 0; }
    bool IsChecked() const { return (state & MFS_CHECKED) != 0; }
};

struct Menu {
    HMENU handle = nullptr;
    // SetMenuInfo's fields; only MNS_NOTIFYBYPOS of dwStyle has an effect.
    MENUINFO info = {};
    std::vector<MenuItem> items;
    // The menu whose item holds this one as its sub-menu.
    HMENU parent = nullptr;
    // The window whose bar this is.
    HWND window = nullptr;
    // The bar item shown highlighted while its menu is open, -1 for none.
    int barHot = -1;
};

// The live menu of a handle; otherwise sets ERROR_INVALID_MENU_HANDLE and answers null.
Menu* FindMenu(HMENU menu);
// The same without touching the last error.
Menu* PeekMenu(HMENU menu);

// The window shows a bar: a top-level window with a menu set.
bool HasBar(const Window* window);
// The bar row in window coordinates ((0, 0) is the window rectangle's top-left corner, which for a
// top-level window is also its back buffer's), empty without a bar.
RECT BarInWindow(const Window* window);
RECT BarOnScreen(const Window* window);
// The bar's items in window coordinates, one per item, left to right.
std::vector<RECT> BarItemRects(const Window* window);
// The bar needs painting again (its items or highlight changed).
void InvalidateBar(Window* window);
// Draws the bar into the window's back buffer (part of its paint pass).
void PaintMenuBar(Window* window);

// A popup menu's items laid out in its window: the window's size and each item's rectangle (client
// coordinates).
struct PopupLayout {
    SIZE size = {0, 0};
    std::vector<RECT> items;
};
PopupLayout LayoutPopup(const Menu& menu);
// Draws a popup menu's window (hot: the highlighted item, -1 for none).
void PaintPopup(HDC hdc, const Menu& menu, const PopupLayout& layout, int hot);

// A left press on the bar at a screen point: runs the bar's menu loop for the item there.
void TrackBarMenu(Window* window, POINT screen);
// The window is being destroyed: its bar goes with it.
void DestroyWindowMenu(Window* window);

} // namespace win32::user
