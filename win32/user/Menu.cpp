#include "win32/core/Core.h"
#include "win32/user/User.h"
#include "win32/user/WindowState.h"

namespace win32 {

namespace {

// Menus are declared ahead of their records: each call fails as for a bad handle.
template <typename Result>
Result Refuse(const char* function, Result result)
{
    if (core::CheckUIThread(function))
        SetLastError(ERROR_INVALID_MENU_HANDLE);
    return result;
}

} // namespace

HMENU CreateMenu() { return Refuse<HMENU>("CreateMenu", nullptr); }
HMENU CreatePopupMenu() { return Refuse<HMENU>("CreatePopupMenu", nullptr); }
BOOL DestroyMenu(HMENU) { return Refuse("DestroyMenu", FALSE); }
BOOL IsMenu(HMENU) { return Refuse("IsMenu", FALSE); }
BOOL InsertMenuItemW(HMENU, UINT, BOOL, const MENUITEMINFOW*) { return Refuse("InsertMenuItemW", FALSE); }
BOOL GetMenuItemInfoW(HMENU, UINT, BOOL, MENUITEMINFOW*) { return Refuse("GetMenuItemInfoW", FALSE); }
BOOL RemoveMenu(HMENU, UINT, UINT) { return Refuse("RemoveMenu", FALSE); }
int GetMenuItemCount(HMENU) { return Refuse("GetMenuItemCount", -1); }
HMENU GetSubMenu(HMENU, int) { return Refuse<HMENU>("GetSubMenu", nullptr); }
BOOL SetMenuInfo(HMENU, const MENUINFO*) { return Refuse("SetMenuInfo", FALSE); }
BOOL GetMenuInfo(HMENU, MENUINFO*) { return Refuse("GetMenuInfo", FALSE); }
BOOL TrackPopupMenu(HMENU, UINT, int, int, int, HWND, const RECT*) { return Refuse("TrackPopupMenu", FALSE); }
BOOL GetMenuItemRect(HWND, HMENU, UINT, RECT*) { return Refuse("GetMenuItemRect", FALSE); }

HMENU GetMenu(HWND hwnd)
{
    if (core::CheckUIThread("GetMenu"))
        user::FindWindow(hwnd);
    return nullptr;
}

BOOL SetMenu(HWND hwnd, HMENU menu)
{
    if (!core::CheckUIThread("SetMenu") || user::FindWindow(hwnd) == nullptr)
        return FALSE;
    if (menu != nullptr) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL GetMenuBarInfo(HWND hwnd, LONG, LONG, MENUBARINFO*)
{
    if (!core::CheckUIThread("GetMenuBarInfo") || user::FindWindow(hwnd) == nullptr)
        return FALSE;
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
}

} // namespace win32
