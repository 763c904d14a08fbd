#pragma once

// Font objects. A font names a face, a size and a style; the face map of the font engine
// (FontEngine.h) turns "Segoe UI", "" and unknown names into Liberation Sans, "Times New Roman"
// into Liberation Serif and "Courier New" into Liberation Mono.
//
// Height: negative = the em in pixels, positive = the cell height (the largest em whose ascent +
// descent fits), 0 = em 12. A weight of 600 or more is bold (FW_BOLD is 700). Fonts join the
// drawing objects: SelectObject, DeleteObject, GetObjectW (a LOGFONTW) and GetObjectType
// (OBJ_FONT) take them, and GetStockObject gives the stock fonts. Making a font costs no font file
// work: every font of one face, size and style shares one cached face and glyph set.
//
// Emulation limits: width, escapement, orientation, character set, precisions, quality and pitch
// are kept in the description only; every font is drawn upright with its natural widths.

#include "win32/api/Constants.h"
#include "win32/api/Structures.h"

namespace win32 {

// A font of the description; NULL for a null description or a full handle table.
HFONT CreateFontIndirectW(const LOGFONTW* logFont);
// CreateFontIndirectW of the fields; the face name is cut to 31 units.
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCWSTR faceName);
// CreateFontW with the face name in UTF-8.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR faceName);

} // namespace win32
