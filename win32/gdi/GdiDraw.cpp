// Fills, frames, patterns, edges and lines.

#include "win32/gdi/GdiInternal.h"

namespace win32 {

int FillRect(HDC, const RECT*, HBRUSH) { return 0; }
int FrameRect(HDC, const RECT*, HBRUSH) { return 0; }
BOOL DrawFocusRect(HDC, const RECT*) { return FALSE; }
BOOL PatBlt(HDC, int, int, int, int, DWORD) { return FALSE; }
BOOL DrawEdge(HDC, RECT*, UINT, UINT) { return FALSE; }
BOOL MoveToEx(HDC, int, int, POINT*) { return FALSE; }
BOOL LineTo(HDC, int, int) { return FALSE; }

} // namespace win32
