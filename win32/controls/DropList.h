#pragma once

// Private to the layer's controls and services: the list that drops down from a control (the
// combobox's, and any later control with a list of choices), and the same list embedded in a
// window (the built-in file chooser's).
//
// The list is a top-level WS_POPUP window of the class "ComboLBox", owned by the control's
// top-level window and shown without activation below the control (above it when the screen has
// no room below), as wide as the control. It holds the capture while it is open, so every mouse
// message comes to it: moving over a row highlights it, a release on a row commits that row, a
// press outside the list cancels (and goes no further), the wheel scrolls rows that do not fit.
// Losing the capture cancels too. The control keeps the focus and hands its keys to the list.
//
// The same list can also live inside a window (CreateEmbeddedList), as a WS_CHILD "ComboLBox"
// that stays open: it holds no capture and cancels nothing; a click selects the row under it (and
// takes the focus), a double click picks it, the wheel and the keys (Up, Down, Page Up, Page Down,
// Home, End, a typed letter) scroll and select. With several rows allowed, Ctrl+click adds or
// removes one row. It answers WM_GETDLGCODE with DLGC_WANTARROWS | DLGC_WANTCHARS, so a dialog's
// Enter and Escape still reach the dialog.

#include "win32/user/User.h"

#include <functional>
#include <string>
#include <vector>

namespace win32::controls {

struct DropListSetup {
    HWND control = nullptr;
    std::vector<std::u16string> rows;
    // The row highlighted at first; -1 for none.
    int selected = -1;
    // How many rows show at once (at least one); the others scroll into view.
    int visibleRows = 30;
    // Borrowed; when it is not (or no longer) a font, the stock GUI font.
    HFONT font = nullptr;
    // Sets the DC's text colour for the rows and answers the background brush; null, or an answer
    // of null, means the window colours.
    std::function<HBRUSH(HDC)> colors;
    // Called once when the list has closed (its window gone): with the committed row, or with
    // committed false and row -1 when it was cancelled. Never called after DismissDropList.
    std::function<void(bool committed, int row)> closed;
};

// Opens the list and gives it the capture; null when no window could be made (closed is then
// never called).
HWND OpenDropList(DropListSetup setup);
// Commits the highlighted row (commit, when one is highlighted) or cancels; nothing for a list
// that is not open.
void CloseDropList(HWND list, bool commit);
// Takes the list down without calling closed.
void DismissDropList(HWND list);
// A key the control took while its list is open: Up and Down move the highlight (and the rows into
// view), Enter commits, Escape cancels. False for any other key.
bool DropListKey(HWND list, UINT key);
// A typed character highlights the next row starting with it (ASCII letters in either case).
void DropListChar(HWND list, char16_t unit);

struct EmbeddedListSetup {
    HWND parent = nullptr;
    // The child's id and its rectangle in the parent's client area.
    int id = 0;
    RECT rect = {0, 0, 0, 0};
    // WS_TABSTOP, WS_VISIBLE and the like, beside WS_CHILD.
    DWORD style = WS_VISIBLE | WS_TABSTOP;
    std::vector<std::u16string> rows;
    // Ctrl+click selects several rows.
    bool multiple = false;
    // Borrowed, as for the drop-down list.
    HFONT font = nullptr;
    std::function<HBRUSH(HDC)> colors;
    // The user changed the selection (row: the row last clicked or moved to).
    std::function<void(int row)> selectionChanged;
    // The user double-clicked a row (now the only one selected).
    std::function<void(int row)> picked;
};

// Makes the embedded list; null when the window could not be made. Destroying the parent takes
// it down; the callbacks are never called after its WM_NCDESTROY.
HWND CreateEmbeddedList(EmbeddedListSetup setup);
// Replaces an embedded list's rows: nothing selected, scrolled to the top. Nothing is told.
void SetEmbeddedListRows(HWND list, std::vector<std::u16string> rows);
// The selected rows of an embedded list, in row order (empty for none or a bad handle).
std::vector<int> EmbeddedListSelection(HWND list);

// The next of rows after from (wrapping; from -1: the first) whose text starts with unit, -1 for
// none. ASCII letters match in either case.
int NextRowStartingWith(const std::vector<std::u16string>& rows, int from, char16_t unit);

LRESULT DropListProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace win32::controls
