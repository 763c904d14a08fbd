#pragma once

// The drawing part of the subset: device contexts, 32-bit bitmaps, brushes, 1-pixel pens, regions
// and blits. (Fonts and text are declared in their own headers of this folder.)
//
// Unlike the window calls, these belong to no thread: every call takes the process-wide drawing
// lock, so a memory DC and its bitmap can be used from a worker thread. A DC or object handle that
// is null, stale (deleted, its slot perhaps reused) or of another kind fails silently: the call
// answers its failure value and draws nothing.
//
// Pixels are 32 bits, premultiplied B, G, R, A in memory (0xAARRGGBB read as a 32-bit integer),
// rows top first. Fills, frames, lines and edges write alpha 255. Coordinates are logical: device
// coordinates minus the viewport origin. Right and bottom edges are exclusive everywhere.
//
// Emulation limits: one mapping mode (MM_TEXT, viewport origin only), no ROP2 modes, no palettes,
// pens are drawn 1 pixel wide whatever their width, stretching always samples the nearest pixel,
// DIB sections are 32-bit top-down only, no printing or metafiles.

#include "win32/api/Constants.h"
#include "win32/api/Structures.h"

namespace win32 {

// ---- Objects ----------------------------------------------------------------------------------

// The stock brushes and pens (and, once the text part is built, fonts); NULL for an unknown index
// or DEFAULT_PALETTE. Stock objects are never counted as live and ignore DeleteObject.
HGDIOBJ GetStockObject(int index);
// Deletes a brush, pen, bitmap, region or font: TRUE, and the handle is stale at once. An object
// still selected into a DC stays usable by that DC until it is deselected or the DC is deleted.
// FALSE for a stale or null handle and for a DC (DeleteDC deletes DCs); TRUE, changing nothing, for
// stock objects and system-colour brushes.
BOOL DeleteObject(HGDIOBJ object);
// Selects a brush, pen, bitmap or font into the DC and answers the object it replaces; NULL on
// failure (a bad DC or object, a bitmap already selected into another DC, a bitmap into a DC that
// is not a memory DC). A region is copied as the clip (SelectClipRgn) and the answer is its kind
// cast to HGDIOBJ.
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
// Copies the object's description: BITMAP for a bitmap (bmBits only for a DIB section), DIBSECTION
// for a DIB section when size allows, LOGFONTW for a font. With a null buffer answers the size it
// would copy; 0 on failure.
int GetObjectW(HANDLE object, int size, LPVOID buffer);
// OBJ_PEN, OBJ_BRUSH, OBJ_DC, OBJ_MEMDC, OBJ_FONT, OBJ_BITMAP or OBJ_REGION; 0 for a bad handle.
DWORD GetObjectType(HGDIOBJ object);

HBRUSH CreateSolidBrush(COLORREF color);
// PS_SOLID (drawn 1 pixel wide whatever the width) or PS_NULL; NULL for other styles.
HPEN CreatePen(int style, int width, COLORREF color);

// The system colours: black text, highlight (0,120,215), white highlight text, face
// (240,240,240), grey text (109,109,109), and the rest of the table in Gdi.cpp. 0 for an unknown
// index.
DWORD GetSysColor(int index);
// A brush of the system colour (a stock object); NULL for an unknown index.
HBRUSH GetSysColorBrush(int index);

// ---- Regions ----------------------------------------------------------------------------------
// Region calls answer the kind of the result (NULLREGION, SIMPLEREGION, COMPLEXREGION), ERROR on
// failure. Coordinates are kept within +-2^27; a rectangle is clamped to that range.

// Right and bottom exclusive; an inverted rectangle (right < left or bottom < top) is empty.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
// destination = source1 op source2 (RGN_COPY: source1 alone, source2 unused). The destination may
// be one of the sources. XOR is exact: the union less the intersection.
int CombineRgn(HRGN destination, HRGN source1, HRGN source2, int mode);
// ERROR, the region unchanged, when the move would leave the coordinate range.
int OffsetRgn(HRGN region, int dx, int dy);
// The bounds; {0, 0, 0, 0} for an empty region (NULLREGION).
int GetRgnBox(HRGN region, RECT* rect);
BOOL PtInRegion(HRGN region, int x, int y);

// ---- Device contexts --------------------------------------------------------------------------

// A memory DC (of another DC or of none); it starts with the stock 1x1 bitmap selected and draws
// nothing until a bitmap of its own is selected. NULL when dc is given but bad.
HDC CreateCompatibleDC(HDC hdc);
// CreateDCW(L"DISPLAY", ...) (driver or device named "DISPLAY", case-insensitive): a DC that
// measures (text, device caps) and draws nothing. NULL for anything else.
HDC CreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR port, const DEVMODEW* mode);
// Deletes a memory DC or a CreateDCW DC, deselecting its objects. FALSE for a bad DC and for
// the DCs the window part makes over its back buffers. (Give a DC of GetDC back with ReleaseDC.)
BOOL DeleteDC(HDC hdc);
// LOGPIXELSX/Y (96), BITSPIXEL (32), PLANES (1), HORZRES/VERTRES (the screen); 0 otherwise.
int GetDeviceCaps(HDC hdc, int index);

// The viewport origin: the device point of logical (0, 0). Each answers TRUE, the previous origin
// in previous when it is not null.
BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous);
BOOL GetViewportOrgEx(HDC hdc, POINT* origin);
BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* previous);

// Copies the region (device coordinates) as the DC's clip, or removes the clip for NULL; drawing is
// always kept inside the DC's own area too. Answers the kind of the resulting clip, ERROR for a bad
// DC or region.
int SelectClipRgn(HDC hdc, HRGN region);
// The bounds of the drawable area in logical coordinates and its kind; ERROR and an empty box for a
// DC without pixels to draw on.
int GetClipBox(HDC hdc, RECT* rect);

// The text and background attributes that text drawing uses. The setters answer the previous value
// (CLR_INVALID or 0 on failure). Defaults: text black, background white, OPAQUE.
COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
// TRANSPARENT or OPAQUE.
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
// Any of the stretching modes is kept; all of them sample the nearest source pixel.
int SetStretchBltMode(HDC hdc, int mode);
int GetStretchBltMode(HDC hdc);

// ---- Bitmaps ----------------------------------------------------------------------------------

// A 32-bit bitmap, zeroed (transparent black). NULL for a bad DC or a negative or too large size
// (sides up to 0x7FFF); a zero side gives the stock 1x1 bitmap.
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
// Copies bmBits row by row, bmWidthBytes apart (at least 4 * bmWidth and even), or zeroes when
// bmBits is null. Only bmPlanes 1 and bmBitsPixel 32.
HBITMAP CreateBitmapIndirect(const BITMAP* bitmap);
// A 32-bit BI_RGB bitmap, top-down (negative biHeight) only, zeroed; *bits (when not null) points at
// its pixels, 4 * width bytes a row, which the caller may read and write between GDI calls. dc,
// section and offset are ignored. NULL, *bits null, on failure.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);

// ---- Drawing ----------------------------------------------------------------------------------
// All drawing honours the viewport origin and the clip, and leaves pixels outside the target alone.

// Fills with the brush (or the system colour index + 1 given as a brush), alpha 255. An empty or
// inverted rectangle draws nothing. Answers nonzero on success.
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
// A 1-pixel frame just inside the rectangle.
int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush);
// A dotted 1-pixel frame inside the rectangle, inverting the colour; drawing it again restores.
BOOL DrawFocusRect(HDC hdc, const RECT* rect);
// PATCOPY (the DC's brush), PATINVERT, DSTINVERT, BLACKNESS, WHITENESS over the rectangle;
// negative sizes extend left or up.
BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop);
// A two-line 3D border (BDR_*/EDGE_* in the system colours) on the BF_* sides; BF_MIDDLE fills the
// inside with the face colour, BF_ADJUST shrinks rect by the border.
BOOL DrawEdge(HDC hdc, RECT* rect, UINT edge, UINT flags);

// The pen's current position (initially (0, 0)).
BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous);
// A 1-pixel line in the pen's colour from the current position up to, but not including, (x, y),
// which becomes the current position.
BOOL LineTo(HDC hdc, int x, int y);

// Copies the source rectangle (SRCCOPY); the pattern operations of PatBlt ignore the source.
// Source pixels outside the source's bitmap leave the destination alone. The source may be the
// destination (overlapping copies are exact).
BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop);
// SRCCOPY, scaling by sampling: destination column i takes source column
// floor((2i + 1) * sourceWidth / (2 * width)), rows alike. Negative sizes fail.
BOOL StretchBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD rop);
// Blends the source over the destination: with source alpha sa (AC_SRC_ALPHA; else 255) and
// constant alpha k, each channel d = s*k/255 + d*(255 - sa*k/255)/255, each division rounded.
// Unequal sizes stretch as StretchBlt does; negative sizes fail.
BOOL AlphaBlend(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, BLENDFUNCTION blend);

} // namespace win32
