// The menu model, the native menus built from it, and the process-wide calls of windows and the
// main loop: the menu bar, refreshes before a menu opens, chosen items and Ctrl shortcuts.

#include "toolkit/CXMenu.h"

#include "foundation/CXDebug.h"
#include "foundation/CXTextEncoding.h"
#include "toolkit/CXUIWindow.h"
#include "toolkit/NativeUIElement.h"
#include "win32/user/Menu.h"
#include "win32/user/User.h"

#include <string>

using namespace win32;

namespace {

// Never destroyed: menus that outlive the program's own shutdown still find it.
CXLinkedListHead& MenuList()
{
    static CXLinkedListHead* list = new CXLinkedListHead;
    return *list;
}

// The context menu being tracked: while set, refreshes are limited to it.
CXMenu* gTrackedMenu = nullptr;
// Set while the menus are refreshed; sub-menus may not be added or removed then.
bool gRefreshing = false;

constexpr uint32_t kShortcutKeyMask = 0xFFFF;
constexpr uint32_t kDeleteKey = 46;
// The id every bar item carries; a choice arrives by position (WM_MENUCOMMAND) anyway.
constexpr UINT kBarItemId = 100;

CXMenu* MenuOf(CXLinkedListNode* node)
{
    return static_cast<CXMenuListLink*>(node)->GetOwner();
}

void AppendKeyCharacter(std::string& text, uint32_t key)
{
    if (key < 0x20) {
        text += ' ';
    } else if (key < 0x80) {
        text += static_cast<char>(key);
    } else if (key < 0x800) {
        text += static_cast<char>(0xC0 | (key >> 6));
        text += static_cast<char>(0x80 | (key & 0x3F));
    } else if (key >= 0xD800 && key <= 0xDFFF) {
        text += '?';
    } else {
        text += static_cast<char>(0xE0 | (key >> 12));
        text += static_cast<char>(0x80 | ((key >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (key & 0x3F));
    }
}

// Menus show "&x" as an underlined x; "&&" shows one '&'.
std::string DoubleAmpersands(const CXString& title)
{
    std::string doubled;
    doubled.reserve(title.length());
    for (const char* c = title.c_str(); *c != '\0'; ++c) {
        doubled += *c;
        if (*c == '&')
            doubled += '&';
    }
    return doubled;
}

void SetNotifyByPosition(HMENU menu)
{
    MENUINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIM_STYLE;
    info.dwStyle = MNS_NOTIFYBYPOS;
    SetMenuInfo(menu, &info);
}

} // namespace

// --- Life ---

CXMenu::CXMenu(CXMessageTarget* target) : fTarget(target)
{
    MenuList().Insert(fListLink);
}

CXMenu::~CXMenu()
{
    fItems.clear();
    fNativeMenus.clear();
    if (gTrackedMenu == this)
        gTrackedMenu = nullptr;
    MenuList().Remove(fListLink);
}

CXMessageTarget* CXMenu::GetDelegate() const
{
    return fTarget.get();
}

CXString CXMenu::GetName() const
{
    return fTitle;
}

void CXMenu::AddToMenuBar()
{
    if (fKind != kUnplaced)
        CXDebugError("CXMenu::AddToMenuBar> Menu already in use");
    fKind = kMenuBar;
}

void CXMenu::SetHierarchical()
{
    if (fKind != kUnplaced)
        CXDebugError("CXMenu::SetHierarchical> Menu already in use");
    fKind = kHierarchical;
}

// --- Items ---

int32_t CXMenu::AddCommandItem(const CXString& title, const CXString& commandName, uint32_t shortcut)
{
    const auto index = static_cast<int32_t>(fItems.size());
    Item item;
    item.title = title;
    item.shortcut = shortcut;
    if (!commandName.IsEmpty()) {
        item.command = std::make_unique<CXMessage>(commandName, this);
        item.command->SetInteger(index);
    }
    fItems.push_back(std::move(item));
    return index;
}

int32_t CXMenu::AddMenuItem(const CXString& title, std::unique_ptr<CXMenu> subMenu)
{
    if (subMenu != nullptr && gRefreshing) {
        CXDebugError("CXMenu::AddMenuItem> don't add/remove sub-menus from a menu update delegate");
        return -1;
    }
    const auto index = static_cast<int32_t>(fItems.size());
    Item item;
    item.title = title;
    if (subMenu != nullptr)
        subMenu->fHeldByMenu = true;
    item.subMenu = std::move(subMenu);
    fItems.push_back(std::move(item));
    return index;
}

void CXMenu::Clear()
{
    if (gRefreshing && HasSubMenus()) {
        CXDebugError("CXMenu::Clear> don't add/remove sub-menus from a menu update delegate");
        return;
    }
    // Moved out first: deleting a command or sub-menu must not meet a half-emptied list.
    std::vector<Item> items = std::move(fItems);
    fItems.clear();
}

bool CXMenu::HasSubMenus() const
{
    for (const Item& item : fItems) {
        if (item.subMenu != nullptr)
            return true;
    }
    return false;
}

const CXMenu::Item* CXMenu::ItemAt(int32_t index) const
{
    if (index < 0 || index >= GetItemCount())
        return nullptr;
    return &fItems[static_cast<size_t>(index)];
}

CXString CXMenu::GetItemTitle(int32_t index) const
{
    const Item* item = ItemAt(index);
    return item != nullptr ? item->title : CXString();
}

CXString CXMenu::GetItemCommandName(int32_t index) const
{
    const Item* item = ItemAt(index);
    return item != nullptr && item->command != nullptr ? item->command->GetName() : CXString();
}

const CXMessage* CXMenu::GetItemCommand(int32_t index) const
{
    const Item* item = ItemAt(index);
    return item != nullptr ? item->command.get() : nullptr;
}

CXMenu* CXMenu::GetItemSubMenu(int32_t index) const
{
    const Item* item = ItemAt(index);
    return item != nullptr ? item->subMenu.get() : nullptr;
}

int32_t CXMenu::FindItemByTitle(const CXString& title) const
{
    for (int32_t index = 0; index < GetItemCount(); ++index) {
        if (fItems[static_cast<size_t>(index)].title == title)
            return index;
    }
    return -1;
}

void CXMenu::SetItemEnabled(int32_t index, bool enabled)
{
    if (ItemAt(index) != nullptr)
        fItems[static_cast<size_t>(index)].enabled = enabled ? 1 : 0;
}

bool CXMenu::IsItemEnabled(int32_t index) const
{
    const Item* item = ItemAt(index);
    return item != nullptr && item->enabled != 0;
}

// --- Messages to the target ---

bool CXMenu::SelectItem(int32_t position)
{
    const Item* item = ItemAt(position - 1);
    if (item != nullptr && item->command != nullptr) {
        // A copy: the handler may clear or delete the menu.
        const CXMessage command = *item->command;
        return HandleMessage(command) == kCXOK;
    }
    CXMessage select("menu-select", this);
    select.SetInteger(position - 1);
    return HandleMessage(select) == kCXOK;
}

void CXMenu::UpdateItemStatus(int32_t position)
{
    const Item* item = ItemAt(position - 1);
    if (item == nullptr)
        return;
    CXSafePointer<CXMenu> alive(this);
    CXResultCode answer = kCXNotSupported;
    if (item->command != nullptr) {
        answer = HandleMessage(CXMessage("update-command-status", this, item->command->GetName()));
    } else {
        CXMessage query("update-menu-status", this);
        query.SetInteger(position - 1);
        answer = HandleMessage(query);
    }
    if (!alive || answer == kCXNotSupported)
        return;
    SetItemEnabled(position - 1, answer == kCXOK);
}

void CXMenu::UpdateAllItemStatus()
{
    CXSafePointer<CXMenu> alive(this);
    for (int32_t position = 1; alive && position <= GetItemCount(); ++position)
        UpdateItemStatus(position);
}

void CXMenu::PrepareClick()
{
    CXSafePointer<CXMenu> alive(this);
    (void)HandleMessage(CXMessage("prepareclick", this));
    if (alive)
        RebuildNativeMenus();
}

void CXMenu::Refresh()
{
    CXSafePointer<CXMenu> alive(this);
    (void)HandleMessage(CXMessage("prepareclick", this));
    if (alive)
        UpdateAllItemStatus();
    // Refilled after the answers, so that a menu opening now shows them.
    if (alive)
        RebuildNativeMenus();
}

// --- Native menus ---

CXString CXMenu::NativeItemText(const CXString& title, uint32_t shortcut)
{
    std::string text;
    text.reserve(title.length() + 16);
    for (const char* c = title.c_str(); *c != '\0'; ++c) {
        if (*c == '&')
            text += "&&";
        else if (static_cast<unsigned char>(*c) < 0x20)
            text += ' ';
        else
            text += *c;
    }
    if (shortcut != 0 && (shortcut & kShortcutHidden) == 0) {
        text += "\tCtrl+";
        if ((shortcut & kShortcutShift) != 0)
            text += "Shift+";
        if ((shortcut & kShortcutAlt) != 0)
            text += "Alt+";
        const uint32_t key = shortcut & kShortcutKeyMask;
        if (key == kDeleteKey)
            text += "Delete";
        else
            AppendKeyCharacter(text, key);
    }
    return CXString(text.c_str(), text.size());
}

HMENU CXMenu::BuildNativeMenu()
{
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr)
        return nullptr;
    SetNotifyByPosition(menu);
    FillNativeMenu(menu);
    fNativeMenus.insert(menu);
    return menu;
}

void CXMenu::FillNativeMenu(HMENU menu)
{
    if (GetMenuItemCount(menu) < 0) {
        // Destroyed behind the menu's back, with a window's bar.
        fNativeMenus.erase(menu);
        return;
    }
    while (GetMenuItemCount(menu) > 0) {
        HMENU subMenu = GetSubMenu(menu, 0);
        if (!RemoveMenu(menu, 0, MF_BYPOSITION))
            break;
        if (subMenu != nullptr)
            DestroyNativeSubMenu(subMenu);
    }
    for (const Item& item : fItems) {
        const CXString text = NativeItemText(item.title, item.shortcut);
        const CXString units = ConvertUTF8ToUTF16(text.c_str(), text.length());
        const bool separator = text == "-";
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_TYPE;
        info.fType = separator ? MFT_SEPARATOR : MFT_STRING;
        info.fState = item.enabled != 0 && !separator ? 0 : MFS_DISABLED;
        info.hSubMenu = item.subMenu != nullptr ? item.subMenu->BuildNativeMenu() : nullptr;
        info.dwTypeData = const_cast<LPWSTR>(UTF16Units(units));
        info.cch = static_cast<UINT>(UTF16UnitCount(units));
        const int position = GetMenuItemCount(menu);
        if (!InsertMenuItemW(menu, static_cast<UINT>(position), TRUE, &info) && info.hSubMenu != nullptr)
            DestroyNativeSubMenu(info.hSubMenu);
    }
}

void CXMenu::RebuildNativeMenus()
{
    // A copy: refilling forgets dead handles.
    const std::set<HMENU> menus = fNativeMenus;
    for (HMENU menu : menus) {
        if (fNativeMenus.count(menu) != 0)
            FillNativeMenu(menu);
    }
}

void CXMenu::ForgetNativeMenu(HMENU menu)
{
    fNativeMenus.erase(menu);
    DestroySubMenus(menu);
    DestroyMenu(menu);
}

bool CXMenu::OwnsNativeMenu(HMENU menu) const
{
    return menu != nullptr && fNativeMenus.count(menu) != 0;
}

void CXMenu::DestroyNativeSubMenu(HMENU subMenu)
{
    for (CXLinkedListNode* node = MenuList().first(); node != nullptr; node = node->next())
        MenuOf(node)->fNativeMenus.erase(subMenu);
    DestroySubMenus(subMenu);
    DestroyMenu(subMenu);
}

void CXMenu::DestroySubMenus(HMENU menu)
{
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        if (HMENU subMenu = GetSubMenu(menu, position))
            DestroyNativeSubMenu(subMenu);
    }
}

// --- Context menus ---

int32_t CXMenu::TrackAsContextualMenu(Vector2i screenPoint)
{
    if (fKind != kHierarchical)
        CXDebugError("CXMenu::TrackAsContextualMenu> Menu not heirarchical");
    if (fItems.empty())
        return -1;
    CXSafePointer<CXMenu> alive(this);
    CXMenu* const outerTracked = gTrackedMenu;
    gTrackedMenu = this;
    HMENU menu = BuildNativeMenu();
    // Without a foreground window the choice would be posted nowhere.
    HWND owner = GetForegroundWindow();
    if (owner == nullptr) {
        if (CXUIWindow* front = CXUIWindow::GetFrontWindow(false))
            owner = front->GetNativeHandle();
    }
    TrackPopupMenu(menu, TPM_LEFTBUTTON, screenPoint.x, screenPoint.y, 0, owner, nullptr);
    // The choice is posted; it must reach DispatchMenuCommand while the native menu is remembered.
    MSG message = {};
    while (PeekMessageA(&message, nullptr, WM_MENUCOMMAND, WM_MENUCOMMAND, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // The queue hands out WM_QUIT whatever the filter: it belongs to the main loop.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        HWND topLevel = NativeUIElement::TopLevelOf(message.hwnd);
        if (topLevel == nullptr || !IsDialogMessageW(topLevel, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    gTrackedMenu = outerTracked;
    if (alive) {
        ForgetNativeMenu(menu);
    } else {
        DestroySubMenus(menu);
        DestroyMenu(menu);
    }
    return -1;
}

// --- Process-wide ---

std::vector<CXSafePointer<CXMenu>> CXMenu::SnapshotNewestFirst()
{
    std::vector<CXSafePointer<CXMenu>> menus;
    for (CXLinkedListNode* node = MenuList().first(); node != nullptr; node = node->next())
        menus.emplace_back(MenuOf(node));
    return menus;
}

void CXMenu::BuildMenuBar(HWND window)
{
    if (window == nullptr)
        return;
    if (GetMenu(window) != nullptr)
        RemoveMenuBar(window);
    HMENU bar = CreateMenu();
    if (bar == nullptr)
        return;
    SetNotifyByPosition(bar);
    // Creation order: from the list's tail.
    for (CXLinkedListNode* node = MenuList().last(); node != nullptr; node = node->prev()) {
        CXMenu* menu = MenuOf(node);
        if (menu->fKind != kMenuBar)
            continue;
        const std::string title = DoubleAmpersands(menu->fTitle);
        const CXString units = ConvertUTF8ToUTF16(title.c_str(), title.size());
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU | MIIM_ID;
        info.fType = MFT_STRING;
        info.wID = kBarItemId;
        info.hSubMenu = menu->BuildNativeMenu();
        info.dwTypeData = const_cast<LPWSTR>(UTF16Units(units));
        info.cch = static_cast<UINT>(UTF16UnitCount(units));
        if (!InsertMenuItemW(bar, static_cast<UINT>(GetMenuItemCount(bar)), TRUE, &info) && info.hSubMenu != nullptr)
            menu->ForgetNativeMenu(info.hSubMenu);
    }
    if (GetMenuItemCount(bar) > 0 && SetMenu(window, bar))
        return;
    DestroySubMenus(bar);
    DestroyMenu(bar);
}

void CXMenu::RemoveMenuBar(HWND window)
{
    HMENU bar = GetMenu(window);
    if (bar == nullptr)
        return;
    SetMenu(window, nullptr);
    DestroySubMenus(bar);
    DestroyMenu(bar);
}

bool CXMenu::DispatchMenuCommand(HMENU menu, UINT position)
{
    for (CXLinkedListNode* node = MenuList().first(); node != nullptr; node = node->next()) {
        CXMenu* owner = MenuOf(node);
        if (owner->OwnsNativeMenu(menu)) {
            (void)owner->SelectItem(static_cast<int32_t>(position) + 1);
            return true;
        }
    }
    return false;
}

void CXMenu::RefreshMenus()
{
    if (gRefreshing)
        CXDebugLog("[NSMenuRaza menuNeedsUpdate:]> recursion");
    const bool outerRefreshing = gRefreshing;
    gRefreshing = true;
    for (const CXSafePointer<CXMenu>& menu : SnapshotNewestFirst()) {
        if (menu && (gTrackedMenu == nullptr || menu.get() == gTrackedMenu))
            menu->Refresh();
    }
    gRefreshing = outerRefreshing;
}

bool CXMenu::ChooseShortcut(uint32_t word)
{
    CXSafePointer<CXMenu> alive(this);
    for (int32_t index = 0; alive && index < GetItemCount(); ++index) {
        const Item& item = fItems[static_cast<size_t>(index)];
        if (item.shortcut != 0 && item.shortcut == word && item.enabled != 0) {
            (void)SelectItem(index + 1);
            return true;
        }
        if (item.subMenu != nullptr && item.subMenu->ChooseShortcut(word))
            return true;
    }
    return false;
}

bool CXMenu::DispatchShortcut(const MSG& message)
{
    if (GetKeyState(VK_CONTROL) >= 0)
        return false;
    uint32_t word = static_cast<uint32_t>(message.wParam) & kShortcutKeyMask;
    if (GetKeyState(VK_SHIFT) < 0)
        word += kShortcutShift;
    if (GetKeyState(VK_MENU) < 0)
        word |= kShortcutAlt;
    RefreshMenus();
    // Creation order: from the oldest end of the snapshot.
    const std::vector<CXSafePointer<CXMenu>> menus = SnapshotNewestFirst();
    for (auto menu = menus.rbegin(); menu != menus.rend(); ++menu) {
        if (*menu && (*menu)->fKind == kMenuBar && (*menu)->ChooseShortcut(word))
            return true;
    }
    return false;
}

void CXMenu::ReleaseAllMenus()
{
    while (!MenuList().IsEmpty()) {
        // A sub-menu goes with the menu that holds it, never on its own.
        CXLinkedListNode* node = MenuList().first();
        while (node != nullptr && MenuOf(node)->fHeldByMenu)
            node = node->next();
        if (node == nullptr)
            break;
        delete MenuOf(node);
    }
}
