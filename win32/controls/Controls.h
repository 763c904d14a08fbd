#pragma once

// The built-in controls: "button" (push button, default push button, auto checkbox), "COMBOBOX"
// (drop-down list), "EDIT" and "RichEdit20W", "msctls_progress32", "SCROLLBAR", "STATIC",
// "SysDateTimePick32" and "SysTabControl32", global classes that any instance creates by name
// (their own numbers and structures are in win32/api/DateTimeTab.h). Every call belongs to the UI
// thread.
//
// Common to all of them: the parent's WM_CTLCOLOR* answer gives the text colour and the
// background brush (a push button asks WM_CTLCOLORBTN, a checkbox, a static and a progress bar
// WM_CTLCOLORSTATIC, a scroll bar WM_CTLCOLORSCROLLBAR, a combobox (its box and its list)
// WM_CTLCOLORLISTBOX, an edit WM_CTLCOLOREDIT, or WM_CTLCOLORSTATIC while it is read-only or
// disabled; a parent that answers no brush gets
// DefWindowProcW's colours). WM_SETFONT sets the font (borrowed, never deleted; one deleted
// meanwhile draws as the stock dialog font) and WM_GETFONT answers it (NULL for none or a deleted
// one). Notifications go to the parent synchronously; a control destroyed by the handler of one
// sends nothing more.
//
// "button": BN_CLICKED (WM_COMMAND, lParam the button) on a left release inside after a press
// inside (the capture is released first), on the release of Space and on BM_CLICK (nothing while
// the button is disabled); an auto checkbox toggles its check first. BM_SETCHECK notifies nothing.
// BS_LEFT, BS_CENTER and BS_RIGHT place the title; '&' underlines the next character and "&&"
// shows one '&'. WM_GETDLGCODE: DLGC_BUTTON with DLGC_DEFPUSHBUTTON or DLGC_UNDEFPUSHBUTTON for
// push buttons, DLGC_BUTTON alone for a checkbox.
//
// "COMBOBOX" (CBS_DROPDOWNLIST; the other kinds behave alike): a box showing the selected item and
// a list that drops down below it. CB_ADDSTRING appends an item and answers its index;
// CB_RESETCONTENT empties the list (selection none, an open list closed without a word);
// CB_SETCURSEL selects silently (an index out of range, -1 too, selects none and answers CB_ERR);
// CB_GETCURSEL (CB_ERR for none), CB_GETCOUNT, CB_GETLBTEXT and CB_GETLBTEXTLEN (CB_ERR out of
// range); CB_SETMINVISIBLE (at least 1; default 30) sets how many rows the list shows at once,
// CB_GETMINVISIBLE answers it; CB_SHOWDROPDOWN opens or cancels the list; CB_GETDROPPEDSTATE. A left
// press on the box takes the focus and opens the list: CBN_DROPDOWN first, then the list appears
// (owned by the box's top-level window, not activated) and holds the capture, the selected row
// highlighted. A release on a row commits it; a press outside the list, Escape, losing the
// capture, the focus or the box cancels. Closing sends CBN_SELCHANGE when a committed row differs
// from the selection (which it then is), then CBN_CLOSEUP. On the closed box Up and Down move the
// selection by one (from none: to the first item), a typed character selects the next item
// starting with it (ASCII letters in either case), each with CBN_SELCHANGE when the selection
// changes; the wheel does nothing and is not passed on. WM_GETDLGCODE: DLGC_WANTARROWS |
// DLGC_WANTCHARS, with DLGC_WANTALLKEYS while the list is open (its Enter and Escape).
//
// "EDIT" and "RichEdit20W": a single-line text field (ES_MULTILINE: lines broken at CR LF, CR or
// LF, Return inserting CR LF, nothing more). Positions count UTF-16 units and never split a
// surrogate pair or a CR LF (a position inside one moves outward). The text is typed (WM_CHAR,
// a surrogate pair as two messages kept whole; nothing below 0x20 but Backspace and a multi-line
// Return), edited with Backspace and Delete, moved through with Left, Right, Home and End (Ctrl:
// by word, or to the ends; Shift selects), with Ctrl+A, C, X, V and Z, selected by pressing and
// dragging and by double-clicking a word; the view scrolls sideways to keep the caret in sight,
// and the caret blinks every 530 ms while the control has the focus. EM_SETSEL: start -1 drops
// the selection, a negative end is the text's end, an end past the text is clamped, swapped ends
// are ordered; EM_GETSEL answers both ends (low and high word, -1 above 0xFFFF). EM_LIMITTEXT
// (units, 0 the highest; 0x7FFF at first) bounds what typing and pasting add, taking what fits
// without splitting a pair; WM_SETTEXT is never cut, puts the caret at the end with nothing
// selected and empties the undo step. WM_CUT, WM_COPY, WM_PASTE (a single-line edit takes the
// clipboard text's first line), WM_CLEAR and WM_UNDO work on CF_UNICODETEXT; an ES_PASSWORD edit
// shows U+25CF for each character and never copies or cuts. Undo is one step (a run of typing is
// one; a second undo redoes); EM_SETUNDOLIMIT 0 turns it off, and EM_CANUNDO tells. EM_SETREADONLY
// sets ES_READONLY, which refuses every change but copying. EN_CHANGE follows every change of
// the text, WM_SETTEXT included; EN_SETFOCUS and EN_KILLFOCUS the focus. WM_GETDLGCODE:
// DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS, and DLGC_WANTALLKEYS for a multi-line edit.
// The plain edit passes the wheel to its parent. The rich edit sends EN_CHANGE only with ENM_CHANGE
// in its event mask (EM_SETEVENTMASK answers the previous mask; ENM_NONE at first), keeps the wheel,
// and takes EM_SETCHARFORMAT with SCF_ALL and a 92-byte CHARFORMATW: size (em = yHeight / 15
// pixels, to the nearest), face, bold, italic, underline, strike-out and colour as the mask says,
// for the whole text, until a later WM_SETFONT.
//
// "msctls_progress32": range 0 to 100 and position 0 at first. PBM_SETRANGE32 (wParam low, lParam
// high) answers the previous range (low and high words); PBM_SETPOS clamps into the range and
// answers the previous position; PBM_GETPOS. A range whose low is not below its high shows an
// empty bar. The marquee (a block crossing the bar) moves every interval (PBM_SETMARQUEE lParam,
// 0: 30 ms) while both the PBS_MARQUEE style and PBM_SETMARQUEE(TRUE) hold, the style also when
// changed with SetWindowLongW.
//
// "SCROLLBAR" (SBS_HORZ or SBS_VERT): range 0 to 100, page 0 and position 0 at first. Arrows at
// both ends, the trough between them, a thumb of length max(the arrow length, track * page /
// (range + 1)) (none when the track is shorter than that). Positions run from the minimum to
// max - max(page - 1, 0). A press on an arrow sends SB_LINEUP or SB_LINEDOWN, on the trough
// SB_PAGEUP or SB_PAGEDOWN, repeated after 400 ms, then every 50 ms, while the pointer stays on
// that part (timers of the layer); a press on the thumb starts a drag that sends SB_THUMBTRACK for
// each new track position and SB_THUMBPOSITION on the release. Every gesture ends with
// SB_ENDSCROLL (also when the capture is lost). The bar never moves its own position: the
// owner does, with SetScrollPos; only a drag shows the thumb at the track position, and
// nTrackPos returns to nPos just before SB_ENDSCROLL. WM_HSCROLL or WM_VSCROLL go to the parent
// with the bar in lParam (and, for the thumb codes, the position in the high word of wParam).
//
// "STATIC": the title, word-wrapped, aligned by SS_LEFT, SS_CENTER or SS_RIGHT, with '&' prefixes
// unless SS_NOPREFIX.
//
// "SysDateTimePick32" (WM_CTLCOLOREDIT): a date shown by its format, at first the local date and
// time now and "dd MMM yyy". DTM_SETFORMATW takes the fields "ddd" (weekday), "MMM" (month), "dd"
// (day, two digits) and "yyy" (the full year), English names, text in single quotes ('' for a
// quote) and any character that is no pattern letter as it is; another pattern is logged and shown
// as written; NULL restores the first format. DTM_SETSYSTEMTIME (GDT_VALID; a date outside 1601 to
// 30827 or a field out of range is refused with FALSE) and DTM_GETSYSTEMTIME; the weekday is worked
// out from the date, the time of day kept. While the picker has the focus, one field is highlighted:
// Left and Right move to the previous or next field (round from end to start), a click picks one,
// Up and Down step it by one (the day and the month wrap round within their month and year, the
// year stops at the range's ends, the weekday moves the date by a day; a day past the end of a
// shorter month becomes its last day), and each change sends DTN_DATETIMECHANGE (NMDATETIMECHANGE,
// GDT_VALID, the new date) to the parent. DTM_SETSYSTEMTIME notifies nothing. WM_GETDLGCODE:
// DLGC_WANTARROWS | DLGC_WANTCHARS.
//
// "SysTabControl32" (WM_CTLCOLORSTATIC): one row of tabs above a framed panel. TCM_INSERTITEMW
// (TCIF_TEXT) inserts a tab at wParam (appends past the end) and answers its index; the first tab
// is selected, and a tab inserted before the selected one leaves that one selected. TCM_GETCURSEL
// (-1 without tabs); TCM_SETCURSEL answers the previous selection (-1 and nothing changed for an
// index out of range) and notifies nothing. TCM_ADJUSTRECT turns the control's rectangle into the
// display area inside the panel (wParam FALSE) or back (TRUE). A left press on another tab sends
// TCN_SELCHANGING (WM_NOTIFY, an NMHDR); a non-zero answer keeps the selection, otherwise the tab
// is selected and TCN_SELCHANGE follows.
//
// Emulation limits: no other button kinds, no keyboard for scroll bars, edits without vertical
// scrolling, word wrap, alignment styles, ES_AUTOHSCROLL's absence or a caret API, no window scroll
// bars (SB_HORZ, SB_VERT), no vertical or coloured progress bars, no hot-tracking; a combobox has
// no edit field, sorting, owner draw or item data, and its list no scroll bar (the wheel and the
// keys scroll it); the date picker has no calendar, typed digits or time-of-day fields; the tab
// control keeps one row (TCS_MULTILINE accepted), cuts off tabs past its edge and has no keyboard,
// images or item removal.

#include "win32/user/User.h"

namespace win32 {

namespace controls {

// Makes sure the control classes exist whenever the layer is initialised: registers them now when
// the layer is up (on the UI thread) and at every later win32::Initialize. The toolkit and the test
// harness call it; calling it again changes nothing.
void RegisterControlClasses();

} // namespace controls

// Scroll-bar calls. Only SB_CTL (hwnd a "SCROLLBAR" window) is emulated; another bar fails with
// ERROR_INVALID_PARAMETER. Each sends the matching SBM_* message, so a window that is not a scroll
// bar answers 0 and a bad handle fails as SendMessageW does. A maximum below the minimum is taken
// as the minimum; the page is kept within 0 to range + 1 and the position within the reachable
// positions. redraw FALSE leaves the bar's pixels alone.

// Answers the previous position.
int SetScrollPos(HWND hwnd, int bar, int position, BOOL redraw);
int GetScrollPos(HWND hwnd, int bar);
BOOL SetScrollRange(HWND hwnd, int bar, int minimum, int maximum, BOOL redraw);
// SIF_RANGE, SIF_PAGE and SIF_POS of info (cbSize sizeof(SCROLLINFO)); answers the new position.
int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL redraw);
// Fills SIF_RANGE, SIF_PAGE, SIF_POS and SIF_TRACKPOS (nPos outside a thumb drag) as fMask asks.
BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info);

} // namespace win32
