#pragma once

#include "win32/user/Queue.h"

// The menus' process-wide entry points that windows and the main loop call. No menu model exists
// yet, so no window has a menu bar and nothing is dispatched: each call answers "no menu".
class CXMenu {
public:
    // Builds the menu bar of a window from the menus shown in every menu bar; nothing without menus.
    static void BuildMenuBar(win32::HWND window);
    // Detaches and destroys the window's menu bar when it has one.
    static void RemoveMenuBar(win32::HWND window);
    // Destroys the native sub-menus of a native menu.
    static void DestroySubMenus(win32::HMENU menu);
    // A Ctrl shortcut of a WM_KEYDOWN: true when a menu item took it.
    static bool DispatchShortcut(const win32::MSG& message);
    // A chosen item of a native menu (position from 0): true when a menu handled it.
    static bool DispatchMenuCommand(win32::HMENU menu, win32::UINT position);
    // Asks the menus' targets for the status of every item before a menu opens.
    static void RefreshMenus();
};
