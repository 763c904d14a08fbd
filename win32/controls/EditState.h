#pragma once

// Private to the edit controls ("EDIT" and "RichEdit20W"): their record, and the view part that
// measures, scrolls, hit-tests and paints the text.

#include "win32/controls/ControlCommon.h"
#include "win32/controls/EditBuffer.h"

namespace win32::controls {

struct EditState : ControlState {
    EditState() = default;
    ~EditState();
    EditState(const EditState&) = delete;
    EditState& operator=(const EditState&) = delete;

    // "RichEdit20W": the event mask and the character format count.
    bool rich = false;
    EditBuffer buffer;
    DWORD eventMask = ENM_NONE;
    // The rich edit's font made from its character format (owned), null until EM_SETCHARFORMAT;
    // the text colour from the format when it names one.
    HFONT formatFont = nullptr;
    bool formatColored = false;
    COLORREF formatColor = 0;
    // A high surrogate typed, waiting for its low half.
    char16_t pendingHigh = 0;
    // Pixels of the text scrolled out at the left.
    int scroll = 0;
    // The blinking caret's phase while the control has the focus.
    bool caretOn = false;
    // A left press holds the capture and extends the selection as the pointer moves.
    bool dragging = false;
};

bool IsMultiLine(HWND hwnd);
bool IsPassword(HWND hwnd);
bool IsReadOnly(HWND hwnd);

// The font the text is drawn in: the rich edit's format font, else the WM_SETFONT font (the stock
// dialog font when it has none or it was deleted).
HGDIOBJ EditFont(const EditState& state);

// Scrolls the view horizontally so that the caret is inside it, and no further than the caret's
// line needs.
void ScrollToCaret(EditState& state, HWND hwnd);
// The text position at a client point: the nearest character boundary, or (nearest false) the
// start of the character under the point.
size_t PositionAt(const EditState& state, HWND hwnd, POINT point, bool nearest);
void PaintEdit(EditState& state, HWND hwnd);

} // namespace win32::controls
