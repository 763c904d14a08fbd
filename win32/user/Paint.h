#pragma once

// The window part's DCs. For now every DC of GetDC measures only (text extents, device caps) and
// draws nothing; window and paint DCs over the back buffers come with the paint pass.

#include "win32/gdi/Gdi.h"

namespace win32 {

// A DC of the screen (hwnd NULL) or of the window's client area; NULL for a bad window. Any thread
// may ask for the screen's; a window's belongs to the UI thread. Give it back with ReleaseDC.
HDC GetDC(HWND hwnd);
// Answers 1 when hdc came from GetDC (and is now gone), else 0.
int ReleaseDC(HWND hwnd, HDC hdc);

} // namespace win32
