#pragma once

// Menus: a window's menu bar (one SM_CYMENU row at the top of its client area's former place) and
// popup menus, each run as a nested message loop.
//
// A menu is a list of items; each item has a type (text or separator), a state (disabled,
// checked), an id and perhaps a sub-menu (a popup menu it owns). Text shows "&&" as '&', "&x" as
// an underlined x, and the part after a tab in its own right-aligned column.
//
// The nested loop (TrackPopupMenu, or a press on a bar) sends WM_ENTERMENULOOP to the owner
// (wParam TRUE for TrackPopupMenu) before it reads the menu, so the owner may refill it then. It
// takes the capture (the old holder gets WM_CAPTURECHANGED) and waits in GetMessageW, dispatching
// paint, timers and posted messages to their windows and keeping all input for itself: the mouse
// highlights, a release chooses or opens a sub-menu (a disabled item does nothing), Up, Down,
// Enter, Escape, Left and Right walk the menus. It ends on a choice, Escape (in a sub-menu: back to
// its parent), a press outside every open menu (not passed on), capture loss, the owner's
// deactivation or destruction, or WM_QUIT (posted again for the outer loop), and then sends
// WM_EXITMENULOOP. A choice posts WM_MENUCOMMAND(position, the menu directly holding the item) to
// the owner when that menu has MNS_NOTIFYBYPOS, else WM_COMMAND(id).
//
// Every call belongs to the UI thread. A null, destroyed or foreign menu handle fails with
// ERROR_INVALID_MENU_HANDLE and changes nothing.
//
// Emulation limits: no bitmaps, owner draw, radio checks, default items, help ids, accelerators,
// system menu, WM_INITMENUPOPUP or WM_MENUSELECT; items are reached by position or by id.

#include "win32/api/Constants.h"
#include "win32/api/Structures.h"

namespace win32 {

// An empty menu bar / popup menu.
HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys the menu and, recursively, the sub-menus of its items. A bar still set on a window is
// taken off it first (the client area grows back).
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);

// Inserts before the item at position (byPosition) or before the item with that id; a position at
// or past the count appends. Reads MIIM_FTYPE/MIIM_TYPE (MFT_STRING or MFT_SEPARATOR),
// MIIM_STRING/MIIM_TYPE (dwTypeData: cch units, or up to a terminator when cch is 0), MIIM_STATE
// (MFS_DISABLED, MFS_CHECKED), MIIM_ID and MIIM_SUBMENU. A sub-menu is then owned by the item; one
// that already belongs to another item, or the menu itself, is refused (ERROR_INVALID_PARAMETER).
BOOL InsertMenuItemW(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW* info);
// Fills what fMask asks of one item. With MIIM_STRING or MIIM_TYPE: a null dwTypeData or cch 0
// answers the length in cch; otherwise at most cch - 1 units and a terminator are copied, and cch
// is set to the units copied.
BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info);
// Takes an item out without destroying its sub-menu. MF_BYPOSITION or MF_BYCOMMAND.
BOOL RemoveMenu(HMENU menu, UINT item, UINT flags);
// -1 for a bad menu.
int GetMenuItemCount(HMENU menu);
// The sub-menu of the item at position, NULL when it has none (or the position is out of range).
HMENU GetSubMenu(HMENU menu, int position);
// MIM_STYLE (MNS_NOTIFYBYPOS) is kept; the other fields are accepted and ignored.
BOOL SetMenuInfo(HMENU menu, const MENUINFO* info);
BOOL GetMenuInfo(HMENU menu, MENUINFO* info);

// The window's bar, or NULL.
HMENU GetMenu(HWND hwnd);
// Sets (or, with NULL, takes away) a top-level window's bar: the client area loses (or regains) one
// SM_CYMENU row at its top, with WM_MOVE and WM_SIZE. The old bar is not destroyed. A bar belongs to
// one window at a time: a menu that is another window's bar or an item's sub-menu is refused
// (ERROR_INVALID_PARAMETER), and so is a child window (ERROR_CHILD_WINDOW_MENU). A left press on the
// bar runs the loop for the item there (the window's procedures see neither the press nor its
// release); DestroyWindow destroys the bar.
BOOL SetMenu(HWND hwnd, HMENU menu);
// OBJID_MENU with item 0: the bar's rectangle on the screen and its handle. FALSE without a bar
// (ERROR_INVALID_MENU_HANDLE) or for another object (ERROR_INVALID_PARAMETER).
BOOL GetMenuBarInfo(HWND hwnd, LONG object, LONG item, MENUBARINFO* info);

// Shows the popup menu with its top-left corner at the screen point (moved to stay on the screen)
// and runs the nested loop until it ends. owner receives the loop's messages and the choice.
// Answers non-zero on a choice (the item's id with TPM_RETURNCMD, which posts nothing), 0 when the
// loop ended otherwise, or when the menu has no items (nothing shown, no message sent). Only one
// loop runs at a time: another call meanwhile fails with ERROR_POPUP_ALREADY_ACTIVE. TPM_LEFTBUTTON
// chooses with the left button, TPM_RIGHTBUTTON with either; the item under a release is chosen.
// x and y are kept, reserved and rect are ignored.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect);
// The screen rectangle of an item of the window's bar (menu the bar) or of a popup menu now shown
// by the loop (hwnd ignored). FALSE when the item is not shown.
BOOL GetMenuItemRect(HWND hwnd, HMENU menu, UINT item, RECT* rect);

} // namespace win32
