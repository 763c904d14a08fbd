#include "toolkit/CXMenu.h"

void CXMenu::BuildMenuBar(win32::HWND) {}

void CXMenu::RemoveMenuBar(win32::HWND window)
{
    win32::HMENU menu = win32::GetMenu(window);
    if (menu == nullptr)
        return;
    win32::SetMenu(window, nullptr);
    DestroySubMenus(menu);
}

void CXMenu::DestroySubMenus(win32::HMENU) {}

bool CXMenu::DispatchShortcut(const win32::MSG&)
{
    return false;
}

bool CXMenu::DispatchMenuCommand(win32::HMENU, win32::UINT)
{
    return false;
}

void CXMenu::RefreshMenus() {}
