#pragma once

#include "toolkit/CXMenu.h"
#include "toolkit/CXUIControl.h"

#include <cstdint>
#include <memory>

// A drop-down list, a window of the layer's "COMBOBOX" class, whose entries are the item titles of
// the button's own menu (hierarchical, with the button as its target). Picking an entry sends
// "preclick", then "click" unless "preclick" vetoed it (any answer but 0 and -2), in which case the
// list goes back to the selection last stored; the owner reads the new choice with
// GetSelectedIndex while handling "click". Opening the list sends "preclick" too. The wheel never
// changes the choice: the main loop drops wheel turns aimed at the list. Main thread only.
class UIPopupMenuButton : public CXUIControl {
public:
    // No entries, nothing selected.
    UIPopupMenuButton();
    ~UIPopupMenuButton() override;

    // --- NativeUIElement ---
    // CBN_SELCHANGE and CBN_DROPDOWN reflected from the list send the messages above; the wheel is
    // answered 0; the rest goes to CXUIControl.
    win32::LRESULT HandleNativeMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam) override;
    // True for the wheel (WM_MOUSEWHEEL, WM_MOUSEHWHEEL).
    bool PreTranslateMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam) override;

    // The menu to which the owner adds command items; their titles become the entries. Changes show
    // once SetSelectedIndex (or a new window) rebuilds the entries.
    CXMenu* GetMenu() const { return fMenu.get(); }
    // Rebuilds the entries, stores the index and selects it in the list (silently; an index out of
    // range selects nothing).
    void SetSelectedIndex(int32_t index);
    // With a window, the list's selection (-1 for none), stored; without one, the stored index.
    int32_t GetSelectedIndex();
    // Selects the stored index in the list again.
    void RestoreSelection();

    void SetPopupKind(int32_t kind) { fPopupKind = kind; }
    int32_t GetPopupKind() const { return fPopupKind; }

    // How many entries the open list shows at once for `entries` entries: all up to 35, then
    // fewer, cut by a quarter until the count plus 5 is at most 40 (36 shows 27, 40 shows 30).
    static int32_t VisibleEntriesFor(int32_t entries);

protected:
    // A hidden drop-down list, tab stop, with the entries and the stored selection.
    void CreateNativeWindow() override;

private:
    // The entries from the menu's items, and the number shown at once. Nothing without a window.
    void RebuildEntries();

    std::unique_ptr<CXMenu> fMenu;
    int32_t fPopupKind = 1;
    int32_t fSelectedIndex = -1;
};
