// Menu records, their items and the menu bar's attachment to its window. (The bar's looks are in
// MenuLook.cpp, the nested loop in MenuLoop.cpp.)

#include "win32/core/Core.h"
#include "win32/core/Handles.h"
#include "win32/user/MenuState.h"
#include "win32/user/User.h"

#include <algorithm>
#include <unordered_set>

namespace win32 {

namespace user {

namespace {

// Every live record, so that shutdown can free them.
std::unordered_set<Menu*>& Records()
{
    static auto* records = new std::unordered_set<Menu*>();
    return *records;
}

void ForgetMenus()
{
    for (Menu* menu : Records()) {
        core::Handles().Remove(core::HandleValue(menu->handle), core::HandleKind::Menu);
        delete menu;
    }
    Records().clear();
}

HMENU NewMenu()
{
    static bool shutdownStepAdded = false;
    if (!shutdownStepAdded) {
        shutdownStepAdded = true;
        core::AddShutdownStep(&ForgetMenus);
    }
    auto* menu = new Menu();
    uint32_t value = core::Handles().Add(core::HandleKind::Menu, menu);
    if (value == 0) {
        delete menu;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    menu->handle = core::ToHandle<HMENU>(value);
    menu->info.cbSize = sizeof(MENUINFO);
    Records().insert(menu);
    return menu->handle;
}

// Where an item is: the menu holding it (by id, the first match depth-first through the
// sub-menus) and its position there. Null when there is none (ERROR_MENU_ITEM_NOT_FOUND).
Menu* Locate(Menu* menu, UINT item, bool byPosition, size_t* position)
{
    if (byPosition) {
        if (item >= menu->items.size()) {
            SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
            return nullptr;
        }
        *position = item;
        return menu;
    }
    for (size_t i = 0; i < menu->items.size(); ++i) {
        const MenuItem& candidate = menu->items[i];
        if (candidate.subMenu == nullptr && candidate.id == item) {
            *position = i;
            return menu;
        }
        if (Menu* sub = PeekMenu(candidate.subMenu)) {
            if (Menu* found = Locate(sub, item, false, position))
                return found;
        }
    }
    SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
    return nullptr;
}

// The units of an item's text: cch of them, or fewer when a terminator comes first; with cch 0,
// up to the terminator.
std::u16string ReadText(LPCWSTR text, UINT cch)
{
    if (text == nullptr)
        return std::u16string();
    size_t length = 0;
    while ((cch == 0 || length < cch) && text[length] != 0)
        ++length;
    return std::u16string(text, length);
}

// The menu itself or a menu it lies in (as a sub-menu, at any depth).
bool IsWithin(const Menu* menu, const Menu* candidate)
{
    for (const Menu* m = menu; m != nullptr; m = PeekMenu(m->parent)) {
        if (m == candidate)
            return true;
    }
    return false;
}

void Changed(Menu* menu)
{
    if (Window* window = PeekWindow(menu->window))
        InvalidateBar(window);
}

// Takes the bar off its window; the client area grows back by the row.
void DetachBar(Window* window)
{
    Menu* bar = PeekMenu(window->menu);
    window->menu = nullptr;
    if (bar != nullptr) {
        bar->window = nullptr;
        bar->barHot = -1;
    }
}

void Destroy(Menu* menu)
{
    if (Window* window = PeekWindow(menu->window)) {
        WindowHold hold(window);
        SetMenu(window->handle, nullptr);
    }
    if (Menu* parent = PeekMenu(menu->parent)) {
        for (MenuItem& item : parent->items) {
            if (item.subMenu == menu->handle)
                item.subMenu = nullptr;
        }
    }
    std::vector<MenuItem> items = std::move(menu->items);
    menu->items.clear();
    core::Handles().Remove(core::HandleValue(menu->handle), core::HandleKind::Menu);
    Records().erase(menu);
    for (const MenuItem& item : items) {
        if (Menu* sub = PeekMenu(item.subMenu)) {
            sub->parent = nullptr;
            Destroy(sub);
        }
    }
    delete menu;
}

} // namespace

Menu* PeekMenu(HMENU menu)
{
    if (menu == nullptr)
        return nullptr;
    return static_cast<Menu*>(core::Handles().Find(core::HandleValue(menu), core::HandleKind::Menu));
}

Menu* FindMenu(HMENU menu)
{
    Menu* found = PeekMenu(menu);
    if (found == nullptr)
        SetLastError(ERROR_INVALID_MENU_HANDLE);
    return found;
}

bool HasBar(const Window* window)
{
    return window != nullptr && window->parent == nullptr && PeekMenu(window->menu) != nullptr;
}

RECT BarInWindow(const Window* window)
{
    if (!HasBar(window))
        return {0, 0, 0, 0};
    RECT insets = FrameInsets(window->style, window->exStyle, true);
    int width = window->rect.right - window->rect.left;
    int height = window->rect.bottom - window->rect.top;
    int row = GetBackend()->GetMetrics().menu;
    RECT bar = {insets.left, insets.top - row, width - insets.right, insets.top};
    bar.left = std::min(bar.left, width);
    bar.right = std::max(bar.right, bar.left);
    bar.top = std::min(bar.top, height);
    bar.bottom = std::clamp<LONG>(bar.bottom, bar.top, height);
    return bar;
}

RECT BarOnScreen(const Window* window)
{
    RECT bar = BarInWindow(window);
    return {bar.left + window->rect.left, bar.top + window->rect.top, bar.right + window->rect.left,
            bar.bottom + window->rect.top};
}

void DestroyWindowMenu(Window* window)
{
    Menu* bar = PeekMenu(window->menu);
    DetachBar(window);
    if (bar != nullptr)
        Destroy(bar);
}

} // namespace user

using namespace user;

HMENU CreateMenu()
{
    if (!core::CheckUIThread("CreateMenu"))
        return nullptr;
    return NewMenu();
}

HMENU CreatePopupMenu()
{
    if (!core::CheckUIThread("CreatePopupMenu"))
        return nullptr;
    return NewMenu();
}

BOOL DestroyMenu(HMENU menu)
{
    if (!core::CheckUIThread("DestroyMenu"))
        return FALSE;
    Menu* record = FindMenu(menu);
    if (record == nullptr)
        return FALSE;
    Destroy(record);
    return TRUE;
}

BOOL IsMenu(HMENU menu)
{
    if (!core::CheckUIThread("IsMenu"))
        return FALSE;
    return PeekMenu(menu) != nullptr ? TRUE : FALSE;
}

BOOL InsertMenuItemW(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW* info)
{
    if (!core::CheckUIThread("InsertMenuItemW"))
        return FALSE;
    Menu* record = FindMenu(menu);
    if (record == nullptr)
        return FALSE;
    if (info == nullptr || info->cbSize != sizeof(MENUITEMINFOW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    size_t position = record->items.size();
    Menu* target = record;
    if (!byPosition) {
        target = Locate(record, item, false, &position);
        if (target == nullptr)
            return FALSE;
    } else {
        position = std::min<size_t>(item, record->items.size());
    }
    MenuItem added;
    UINT mask = info->fMask;
    if ((mask & (MIIM_FTYPE | MIIM_TYPE)) != 0)
        added.type = info->fType & MFT_SEPARATOR;
    if ((mask & MIIM_STRING) != 0 || ((mask & MIIM_TYPE) != 0 && !added.IsSeparator()))
        added.text = ReadText(info->dwTypeData, info->cch);
    if ((mask & MIIM_STATE) != 0)
        added.state = info->fState & (MFS_DISABLED | MFS_CHECKED);
    if ((mask & MIIM_ID) != 0)
        added.id = info->wID;
    if ((mask & MIIM_DATA) != 0)
        added.data = info->dwItemData;
    if ((mask & MIIM_SUBMENU) != 0 && info->hSubMenu != nullptr) {
        Menu* sub = FindMenu(info->hSubMenu);
        if (sub == nullptr)
            return FALSE;
        // A menu has one place: not a second item's, not a bar's, never inside itself.
        if (sub->parent != nullptr || sub->window != nullptr || IsWithin(target, sub)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        sub->parent = target->handle;
        added.subMenu = sub->handle;
    }
    target->items.insert(target->items.begin() + static_cast<ptrdiff_t>(position), std::move(added));
    Changed(target);
    return TRUE;
}

BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info)
{
    if (!core::CheckUIThread("GetMenuItemInfoW"))
        return FALSE;
    Menu* record = FindMenu(menu);
    if (record == nullptr)
        return FALSE;
    if (info == nullptr || info->cbSize != sizeof(MENUITEMINFOW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    size_t position = 0;
    Menu* holder = Locate(record, item, byPosition != FALSE, &position);
    if (holder == nullptr)
        return FALSE;
    const MenuItem& found = holder->items[position];
    UINT mask = info->fMask;
    if ((mask & (MIIM_FTYPE | MIIM_TYPE)) != 0)
        info->fType = found.type;
    if ((mask & MIIM_STATE) != 0)
        info->fState = found.state;
    if ((mask & MIIM_ID) != 0)
        info->wID = found.id;
    if ((mask & MIIM_SUBMENU) != 0)
        info->hSubMenu = found.subMenu;
    if ((mask & MIIM_DATA) != 0)
        info->dwItemData = found.data;
    if ((mask & MIIM_CHECKMARKS) != 0) {
        info->hbmpChecked = nullptr;
        info->hbmpUnchecked = nullptr;
    }
    if ((mask & MIIM_BITMAP) != 0)
        info->hbmpItem = nullptr;
    if ((mask & (MIIM_STRING | MIIM_TYPE)) != 0) {
        auto length = static_cast<UINT>(found.text.size());
        if (info->dwTypeData == nullptr || info->cch == 0) {
            info->cch = length;
        } else {
            UINT copied = std::min(length, info->cch - 1);
            std::copy(found.text.begin(), found.text.begin() + copied, info->dwTypeData);
            info->dwTypeData[copied] = 0;
            info->cch = copied;
        }
    }
    return TRUE;
}

BOOL RemoveMenu(HMENU menu, UINT item, UINT flags)
{
    if (!core::CheckUIThread("RemoveMenu"))
        return FALSE;
    Menu* record = FindMenu(menu);
    if (record == nullptr)
        return FALSE;
    size_t position = 0;
    Menu* holder = Locate(record, item, (flags & MF_BYPOSITION) != 0, &position);
    if (holder == nullptr)
        return FALSE;
    if (Menu* sub = PeekMenu(holder->items[position].subMenu))
        sub->parent = nullptr;
    holder->items.erase(holder->items.begin() + static_cast<ptrdiff_t>(position));
    Changed(holder);
    return TRUE;
}

int GetMenuItemCount(HMENU menu)
{
    if (!core::CheckUIThread("GetMenuItemCount"))
        return -1;
    Menu* record = FindMenu(menu);
    return record != nullptr ? static_cast<int>(record->items.size()) : -1;
}

HMENU GetSubMenu(HMENU menu, int position)
{
    if (!core::CheckUIThread("GetSubMenu"))
        return nullptr;
    Menu* record = FindMenu(menu);
    if (record == nullptr || position < 0 || static_cast<size_t>(position) >= record->items.size())
        return nullptr;
    return PeekMenu(record->items[static_cast<size_t>(position)].subMenu) != nullptr
               ? record->items[static_cast<size_t>(position)].subMenu
               : nullptr;
}

BOOL SetMenuInfo(HMENU menu, const MENUINFO* info)
{
    if (!core::CheckUIThread("SetMenuInfo"))
        return FALSE;
    Menu* record = FindMenu(menu);
    if (record == nullptr)
        return FALSE;
    if (info == nullptr || info->cbSize != sizeof(MENUINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if ((info->fMask & MIM_STYLE) != 0)
        record->info.dwStyle = info->dwStyle;
    if ((info->fMask & MIM_MAXHEIGHT) != 0)
        record->info.cyMax = info->cyMax;
    if ((info->fMask & MIM_BACKGROUND) != 0)
        record->info.hbrBack = info->hbrBack;
    if ((info->fMask & MIM_HELPID) != 0)
        record->info.dwContextHelpID = info->dwContextHelpID;
    if ((info->fMask & MIM_MENUDATA) != 0)
        record->info.dwMenuData = info->dwMenuData;
    return TRUE;
}

BOOL GetMenuInfo(HMENU menu, MENUINFO* info)
{
    if (!core::CheckUIThread("GetMenuInfo"))
        return FALSE;
    Menu* record = FindMenu(menu);
    if (record == nullptr)
        return FALSE;
    if (info == nullptr || info->cbSize != sizeof(MENUINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD mask = info->fMask;
    *info = record->info;
    info->cbSize = sizeof(MENUINFO);
    info->fMask = mask;
    return TRUE;
}

HMENU GetMenu(HWND hwnd)
{
    if (!core::CheckUIThread("GetMenu"))
        return nullptr;
    Window* window = FindWindow(hwnd);
    return HasBar(window) ? window->menu : nullptr;
}

BOOL SetMenu(HWND hwnd, HMENU menu)
{
    if (!core::CheckUIThread("SetMenu"))
        return FALSE;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return FALSE;
    if (window->parent != nullptr) {
        SetLastError(ERROR_CHILD_WINDOW_MENU);
        return FALSE;
    }
    Menu* bar = nullptr;
    if (menu != nullptr) {
        if ((bar = FindMenu(menu)) == nullptr)
            return FALSE;
        if (bar->parent != nullptr || (bar->window != nullptr && bar->window != hwnd)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
    }
    if (PeekMenu(window->menu) == bar)
        return TRUE;
    DetachBar(window);
    if (bar != nullptr) {
        window->menu = bar->handle;
        bar->window = hwnd;
        bar->barHot = -1;
    }
    WindowHold hold(window);
    ApplyRect(window, window->rect, SizeKind(window), false);
    if (!window->dead)
        InvalidateForChange(window);
    return TRUE;
}

BOOL GetMenuBarInfo(HWND hwnd, LONG object, LONG item, MENUBARINFO* info)
{
    if (!core::CheckUIThread("GetMenuBarInfo"))
        return FALSE;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return FALSE;
    if (object != OBJID_MENU || info == nullptr || info->cbSize != sizeof(MENUBARINFO) || item < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!HasBar(window)) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    RECT rect = BarOnScreen(window);
    if (item > 0) {
        std::vector<RECT> items = BarItemRects(window);
        if (static_cast<size_t>(item) > items.size()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        const RECT& r = items[static_cast<size_t>(item) - 1];
        rect = {r.left + window->rect.left, r.top + window->rect.top, r.right + window->rect.left,
                r.bottom + window->rect.top};
    }
    info->rcBar = rect;
    info->hMenu = window->menu;
    info->hwndMenu = nullptr;
    info->fBarFocused = PeekMenu(window->menu)->barHot >= 0 ? 1 : 0;
    info->fFocused = item > 0 && PeekMenu(window->menu)->barHot == item - 1 ? 1 : 0;
    return TRUE;
}

} // namespace win32
