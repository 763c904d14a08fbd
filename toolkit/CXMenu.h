#pragma once

#include "foundation/CXLinkedList.h"
#include "foundation/CXMessage.h"
#include "foundation/CXSafePointer.h"
#include "toolkit/Box2i.h"
#include "win32/user/Queue.h"

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

class CXMenu;

// The node that puts a menu into the process-wide menu list.
class CXMenuListLink : public CXLinkedListNode {
public:
    explicit CXMenuListLink(CXMenu* owner) : fOwner(owner) {}
    CXMenu* GetOwner() const { return fOwner; }

private:
    CXMenu* fOwner;
};

// The toolkit's menu model: a titled list of items, each with a title, an optional command
// message, an enabled state, an optional sub-menu (owned) and a Ctrl shortcut. One model serves the
// menus of every window's menu bar, context menus tracked at a point, and the entries of drop-down
// choice lists. Native menus are built from the model whenever they are needed and refilled before
// a menu opens.
//
// The menu talks to its target (its next responder) only through named messages, all with the
// menu as sender: "prepareclick" before its native menus are refilled; "update-command-status"
// (argument: the item's command name) or, for an item without a command, "update-menu-status"
// (integer: the item's index) before a menu opens or a shortcut is looked up, where 0 enables the
// item, -2 leaves it and anything else disables it; the item's command message (integer: the
// item's index when added) when the item is chosen, or "menu-select" (integer: the item's index)
// for an item without a command.
//
// Every live menu is in one process-wide list, newest first. The list, the tracked context menu
// and the refresh guard belong to the main thread and are used without locks.
class CXMenu : public CXMessageTarget {
public:
    // Where the menu is used; set once.
    static constexpr int32_t kUnplaced = 0;
    static constexpr int32_t kMenuBar = 1;
    // A context menu, a sub-menu or a choice list.
    static constexpr int32_t kHierarchical = 2;

    // Shortcut words: the low 16 bits are the virtual key (shown as the key's character, or as
    // "Delete"); Ctrl is always part of the shortcut. 0 is no shortcut.
    static constexpr uint32_t kShortcutShift = 0x10000;
    static constexpr uint32_t kShortcutAlt = 0x20000;
    // Shows no shortcut text and is never matched by a key.
    static constexpr uint32_t kShortcutHidden = 0x40000;

    // An empty, unplaced menu whose messages go to `target` (borrowed; may be null), at the head of
    // the menu list.
    explicit CXMenu(CXMessageTarget* target);
    // Deletes the items' commands and sub-menus, forgets (without destroying) its native menus and
    // leaves the menu list.
    ~CXMenu() override;

    // --- CXMessageTarget ---
    // The target, so that HandleMessage passes every message to it (-2 without one).
    CXMessageTarget* GetDelegate() const override;
    // The title.
    CXString GetName() const override;

    // Places the menu in every window's menu bar, or makes it hierarchical. A menu placed before is
    // reported ("... Menu already in use") and placed anyway.
    void AddToMenuBar();
    void SetHierarchical();
    int32_t GetKind() const { return fKind; }

    // The title shown in the menu bar.
    void SetTitle(const CXString& title) { fTitle = title; }
    const CXString& GetTitle() const { return fTitle; }

    // Appends an enabled item and answers its index. With an empty command name the item has no
    // command. A title of exactly "-" makes a separator.
    int32_t AddCommandItem(const CXString& title, const CXString& commandName, uint32_t shortcut);
    // Appends an enabled item that opens the sub-menu (none is allowed) and answers its index. A
    // sub-menu cannot be added while the menus are being refreshed: that is reported, the sub-menu
    // deleted and -1 answered.
    int32_t AddMenuItem(const CXString& title, std::unique_ptr<CXMenu> subMenu);
    // Deletes every item. Refused (and reported) while the menus are being refreshed when an item
    // has a sub-menu.
    void Clear();

    // Item queries by index from 0; an index out of range gives the empty answer (no title, no
    // command, disabled) and changes nothing.
    int32_t GetItemCount() const { return static_cast<int32_t>(fItems.size()); }
    CXString GetItemTitle(int32_t index) const;
    CXString GetItemCommandName(int32_t index) const;
    const CXMessage* GetItemCommand(int32_t index) const;
    CXMenu* GetItemSubMenu(int32_t index) const;
    // The first item with exactly that title, or -1.
    int32_t FindItemByTitle(const CXString& title) const;
    void SetItemEnabled(int32_t index, bool enabled);
    bool IsItemEnabled(int32_t index) const;

    // Sends the command of the item at `position` (from 1), or "menu-select" with the item's index
    // when it has none: true when the target answered 0.
    bool SelectItem(int32_t position);
    // Asks the target for the status of the item at `position` (from 1) and applies the answer.
    void UpdateItemStatus(int32_t position);
    void UpdateAllItemStatus();
    // Sends "prepareclick", then refills the native menus.
    void PrepareClick();

    // A new native popup menu that reports choices by position (WM_MENUCOMMAND), filled from the
    // model and remembered until forgotten.
    win32::HMENU BuildNativeMenu();
    // Empties the native menu (destroying its native sub-menus, which their menus forget) and
    // fills it from the model. A remembered handle that is no longer a menu is forgotten instead.
    void FillNativeMenu(win32::HMENU menu);
    // FillNativeMenu for every remembered native menu.
    void RebuildNativeMenus();
    // Forgets the native menu and destroys it with its sub-menus.
    void ForgetNativeMenu(win32::HMENU menu);
    bool OwnsNativeMenu(win32::HMENU menu) const;

    // Shows the menu at the screen point as a context menu and waits until it closes; a chosen
    // item's command is sent before this returns. A menu that is not hierarchical is reported and
    // shown anyway; a menu without items is not shown. Always -1.
    int32_t TrackAsContextualMenu(Vector2i screenPoint);

    // The text of a native item: the title with each '&' doubled (so that it shows literally) and
    // every control character made a space, then, for a shortcut that shows its text, a tab and
    // "Ctrl+", "Shift+", "Alt+" as set, and the key ("Delete", or the key code as a character).
    static CXString NativeItemText(const CXString& title, uint32_t shortcut);

    // --- Process-wide ---
    // Gives the window a menu bar with one drop-down per menu-bar menu, in creation order; no bar
    // when there is no such menu.
    static void BuildMenuBar(win32::HWND window);
    // Detaches the window's menu bar and destroys it with its drop-downs.
    static void RemoveMenuBar(win32::HWND window);
    // Destroys the native sub-menus of a native menu; their menus forget them.
    static void DestroySubMenus(win32::HMENU menu);
    // A WM_KEYDOWN with Ctrl held: refreshes the menus, then chooses the first enabled item of the
    // menu-bar menus (creation order, sub-menus searched where they stand) whose shortcut is the
    // key with Shift and Alt as held. True when an item was chosen, whatever its command answered.
    static bool DispatchShortcut(const win32::MSG& message);
    // A chosen item of a native menu (position from 0): SelectItem on the newest menu that
    // remembers the native menu. False when none does.
    static bool DispatchMenuCommand(win32::HMENU menu, win32::UINT position);
    // Before a menu opens: every menu (only the tracked context menu while one is tracked), newest
    // first, sends "prepareclick", asks for its items' status and refills its native menus, so
    // that what opens shows the answers. A refresh started inside another is reported and runs.
    static void RefreshMenus();
    // Deletes every menu, at shutdown, when no owner holds one any more.
    static void ReleaseAllMenus();

private:
    struct Item {
        CXString title;
        std::unique_ptr<CXMessage> command;
        int32_t enabled = 1;
        std::unique_ptr<CXMenu> subMenu;
        uint32_t shortcut = 0;
    };

    const Item* ItemAt(int32_t index) const;
    // "prepareclick", the items' status, then the native menus refilled.
    void Refresh();
    bool HasSubMenus() const;
    // The item of this menu or its sub-menus that the shortcut word chooses, searched in order.
    bool ChooseShortcut(uint32_t word);
    // Every menu that remembers the native sub-menu forgets it; then it is destroyed with its own
    // sub-menus.
    static void DestroyNativeSubMenu(win32::HMENU subMenu);
    // The live menus, newest first, as safe pointers: handlers may create and delete menus while a
    // walk runs.
    static std::vector<CXSafePointer<CXMenu>> SnapshotNewestFirst();

    CXSafePointer<CXMessageTarget> fTarget;
    CXString fTitle;
    CXMenuListLink fListLink{this};
    int32_t fKind = kUnplaced;
    // Owned by an item of another menu.
    bool fHeldByMenu = false;
    std::vector<Item> fItems;
    std::set<win32::HMENU> fNativeMenus;
};
