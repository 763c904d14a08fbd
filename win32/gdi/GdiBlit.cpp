// Copies between DCs: BitBlt, StretchBlt and AlphaBlend.

#include "win32/gdi/GdiInternal.h"

namespace win32 {

BOOL BitBlt(HDC, int, int, int, int, HDC, int, int, DWORD) { return FALSE; }
BOOL StretchBlt(HDC, int, int, int, int, HDC, int, int, int, int, DWORD) { return FALSE; }
BOOL AlphaBlend(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION) { return FALSE; }

} // namespace win32
