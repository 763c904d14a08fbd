#pragma once

// Measuring and drawing text with a DC's font (its selected font, else the stock system font).
//
// Widths add up: a text's width is the sum of its code points' advances (a surrogate pair is one
// code point, a lone surrogate one advance, a code point below 0x20 nothing); there is no kerning
// or shaping. Glyphs are 8-bit coverage blended in the text colour at alpha 255, inside the DC's
// clip; underline and strike-out are 1-pixel-or-more bars in the text colour. Like every drawing
// call these take the drawing lock and fail silently (FALSE, 0) for a null or stale DC.
//
// Emulation limits: no tabs (a tab has no width), no right-to-left text, no ellipses, no
// DT_EXPANDTABS or DT_EDITCONTROL; DT_VCENTER and DT_BOTTOM act only with DT_SINGLELINE.

#include "win32/api/Constants.h"
#include "win32/api/Structures.h"

#include <string>

namespace win32 {

// The metrics of the DC's font: tmHeight = tmAscent + tmDescent, tmInternalLeading = tmHeight -
// em (at least 0), tmExternalLeading from the face's line gap.
BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* metrics);
// cx: the sum of the advances of count units; cy: tmHeight. FALSE for a negative count.
BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE* size);

// TA_LEFT, TA_RIGHT or TA_CENTER with TA_TOP, TA_BASELINE or TA_BOTTOM, and TA_UPDATECP (the text
// starts at the current position and moves it). Answers the previous flags, GDI_ERROR for a bad DC.
UINT SetTextAlign(HDC hdc, UINT align);
UINT GetTextAlign(HDC hdc);

// Draws count units at (x, y), placed by the DC's text alignment (TA_CENTER: x - floor(width / 2)).
// ETO_OPAQUE fills rect with the background colour in any background mode; ETO_CLIPPED keeps the
// text inside rect; the OPAQUE background mode fills the text's cells. dx, when given, holds the
// pen's step after each unit (a surrogate pair moves by both of its entries).
BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT* dx);

// Draws count units (-1: up to the terminator) in the rectangle and answers the height of the
// text (lines * tmHeight); 0 on failure. Lines (see gdi/TextLayout.h for breaks, word breaks and
// prefixes) are aligned left, DT_CENTER (offset floor((W - w) / 2)) or DT_RIGHT; with
// DT_SINGLELINE, DT_VCENTER centres the line (floored) and DT_BOTTOM puts the baseline at bottom -
// descent. The text is clipped to the rectangle unless DT_NOCLIP. DT_CALCRECT draws nothing and
// sets right = left + the widest line (even past the given right) and bottom = top + the height.
int DrawTextW(HDC hdc, LPCWSTR text, int count, RECT* rect, UINT format);

// What the text calls drew, for tests: one entry per ExtTextOutW and per DrawTextW that draws.
struct DrawnText {
    HDC hdc = nullptr;
    // DrawTextW's rectangle; the cells of ExtTextOutW's text.
    RECT rect = {0, 0, 0, 0};
    // The text as shown, prefixes resolved.
    std::u16string text;
    HFONT font = nullptr;
    COLORREF color = 0;
    // The window of a window or paint DC; the drawing part leaves it null, the test harness's log
    // fills it in.
    HWND window = nullptr;
};

class TextSpy {
public:
    virtual ~TextSpy() = default;
    // Called under the drawing lock, on the drawing thread.
    virtual void OnText(const DrawnText& drawn) = 0;
};
void SetTextSpyForTesting(TextSpy* spy);

} // namespace win32
