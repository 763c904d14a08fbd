#pragma once

// Painting: invalidation, the paint pass and the DCs of windows.
//
// A visible top-level window owns one back buffer (premultiplied a8r8g8b8, the size of its window
// rectangle, kept through hiding and resized with the window); its child windows are rectangles
// in it. Invalidation is clipped to the window's visible client area (inside every ancestor) and
// added to the top-level window's dirty region; validation subtracts from it. Showing, hiding,
// re-parenting, z-order changes and moves without SWP_NOREDRAW invalidate what they uncover or
// cover. A dirty top-level window gets WM_PAINT from the queue.
//
// The paint pass (DispatchMessageW of that WM_PAINT, or UpdateWindow) takes and clears the dirty
// region P, so invalidations made while it runs wait for the next pass. It visits each window
// before its children, children bottom-up in z-order, and sends each visible window that meets P
// WM_PAINT with R = P within its client area; R counts as validated even when the procedure never
// calls BeginPaint. Then it presents P to the backend. A transparent child thus sits on its
// parent's freshly painted pixels.
//
// Every call belongs to the UI thread (except GetDC(NULL) and ReleaseDC of that DC) and fails as
// the window calls do for a bad window. Emulation limits: no non-client painting (the frame of a
// window is never drawn by the layer), clip styles and WS_EX_TRANSPARENT are kept but not used,
// no RedrawWindow, no DC caching classes (CS_OWNDC, CS_CLASSDC are ignored).

#include "win32/gdi/Gdi.h"
#include "win32/user/User.h"

namespace win32 {

// ---- Invalidation -----------------------------------------------------------------------------

// Adds the rectangle (client coordinates; null: the whole client area) to the area to paint.
// erase asks for WM_ERASEBKGND at the next BeginPaint. A hidden window accepts the call and marks
// nothing. NULL hwnd (the desktop) is refused.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
// The same for a region in client coordinates (null: the whole client area).
BOOL InvalidateRgn(HWND hwnd, HRGN region, BOOL erase);
// Removes the rectangle (null: the whole client area) or region from the area to paint.
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL ValidateRgn(HWND hwnd, HRGN region);
// The bounds of the window's part of the area to paint in client coordinates (empty: {0,0,0,0});
// TRUE when it is not empty. rect may be null. erase is ignored.
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
// Copies the window's part of the area to paint (client coordinates) into region; answers its kind,
// ERROR for a bad window or region.
int GetUpdateRgn(HWND hwnd, HRGN region, BOOL erase);
// Runs the paint pass of the window's top-level window now when it has an area to paint; nothing
// otherwise. FALSE only for a bad window.
BOOL UpdateWindow(HWND hwnd);

// ---- Painting ---------------------------------------------------------------------------------

// Inside the paint pass's WM_PAINT of the window: a DC with its origin at the client origin,
// clipped to R, rcPaint the bounds of R in client coordinates (possibly empty). Outside a pass it
// takes and validates the window's part of the dirty region (empty when there is none) and clips to
// that. Sends WM_ERASEBKGND first when an invalidation asked for erasing; fErase is TRUE when the
// procedure left the erasing undone (answered 0). NULL for a bad window or a null paint.
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint);
// Gives back the DC of BeginPaint. FALSE when paint's DC is not a paint DC of the window.
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint);

// SYSRGN: copies into region where the DC may draw, in screen coordinates (a paint DC: R; a
// window DC: the visible part of its area). Answers 1 when copied, 0 for a DC without a window
// (memory DCs, the screen's measuring DC), -1 for a bad DC, region or kind.
int GetRandomRgn(HDC hdc, HRGN region, INT kind);

// A DC over the window's client area in the top-level's back buffer, clipped to the visible part of
// it (inside every ancestor, outside nothing else): drawing lands on the back buffer at once and is
// presented when the DC is released. GetDC(NULL) is the screen's measuring DC (any thread). A
// hidden window's DC draws nowhere (its clip is empty); when its top-level window is hidden,
// minimised or too large to keep pixels (over 64 Mpixel) the DC measures only. NULL for a bad
// window. Give it back with ReleaseDC.
HDC GetDC(HWND hwnd);
// The same over the whole window rectangle, frame included.
HDC GetWindowDC(HWND hwnd);
// Answers 1 when hdc came from GetDC or GetWindowDC (and is now gone), else 0.
int ReleaseDC(HWND hwnd, HDC hdc);
// The window of a window DC or paint DC still handed out; NULL for any other DC.
HWND WindowFromDC(HDC hdc);

// Scrolls the client area's pixels by (dx, dy): the part of scrollRect (null: the client area)
// inside clipRect (null: the client area) moves. SW_SCROLLCHILDREN moves the children whose window
// rectangles meet scrollRect (the whole client area when it is null) by the same offset, sending
// WM_MOVE. The area to repaint is what the move uncovered, and what received pixels from outside
// the window's visible client area (from under an ancestor's clip). SW_INVALIDATE invalidates it
// (SW_ERASE: with erasing). updateRegion and updateRect (either may be null) receive it in client
// coordinates. Answers its kind, ERROR for a bad window.
int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scrollRect, const RECT* clipRect, HRGN updateRegion,
                   RECT* updateRect, UINT flags);

} // namespace win32
