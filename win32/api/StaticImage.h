#pragma once

// The numbers of pictures: "STATIC" showing a bitmap (SS_BITMAP, STM_SETIMAGE) and LoadImageW
// reading one from a file.

#include "win32/api/Types.h"

namespace win32 {

// LoadImageW's kind of picture (IMAGE_ICON is among the general constants).
inline constexpr UINT IMAGE_BITMAP = 0;

// A "STATIC" of this type (the low five style bits) shows the bitmap given by STM_SETIMAGE instead
// of its text.
inline constexpr DWORD SS_BITMAP = 0x000E;
inline constexpr DWORD SS_TYPEMASK = 0x001F;

// wParam IMAGE_BITMAP, lParam the HBITMAP (NULL for none); answers the bitmap shown before. The
// control borrows the bitmap: whoever made it deletes it, after the control has let it go.
inline constexpr UINT STM_SETIMAGE = 0x0172;

} // namespace win32
