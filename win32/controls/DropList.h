#pragma once

// Private to the controls: the list that drops down from a control (the combobox's, and any later
// control with a list of choices).
//
// The list is a top-level WS_POPUP window of the class "ComboLBox", owned by the control's
// top-level window and shown without activation below the control (above it when the screen has
// no room below), as wide as the control. It holds the capture while it is open, so every mouse
// message comes to it: moving over a row highlights it, a release on a row commits that row, a
// press outside the list cancels (and goes no further), the wheel scrolls rows that do not fit.
// Losing the capture cancels too. The control keeps the focus and hands its keys to the list.

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

// The next of rows after from (wrapping; from -1: the first) whose text starts with unit, -1 for
// none. ASCII letters match in either case.
int NextRowStartingWith(const std::vector<std::u16string>& rows, int from, char16_t unit);

LRESULT DropListProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace win32::controls
