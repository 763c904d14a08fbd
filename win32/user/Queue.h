#pragma once

// The message queue, timers, input, focus, activation, capture and the dialog manager.
//
// One queue for the UI thread. A message is taken in this order: posted messages (first in,
// first out), WM_QUIT whatever the filter, input (hit-tested when it is taken, mouse moves in a
// row merged), WM_PAINT of a dirty window (never removed by PM_REMOVE: painting cleans it), due
// timers (earliest first). Posts may come from any thread and wake a waiting GetMessageW;
// everything else belongs to the UI thread. The ...A calls are their ...W twins.
//
// The window system's events on top-level windows come with the input, in order: a close request
// is a WM_CLOSE message (for an enabled window with WS_SYSMENU only); a new placement, a gained or
// lost focus and lost pixels are dealt with where the queue reaches them, whatever the filter (the
// window moved and sized as by SetWindowPos, activated or deactivated, the back buffer presented
// again without a paint), and are not told back to the backend. What the layer itself changes on
// a top-level window (shown, hidden, moved or sized, title, activated, the capture taken or
// released inside it) is told to the backend as it happens (Backend::TopLevelChanged).
//
// Emulation limits: no hooks, accelerators or IME; WM_SYSCHAR is not made. (The menu loop is in
// Menu.h.)

#include "win32/user/User.h"

namespace win32 {

// Any thread. Posts to a dead window are refused (ERROR_INVALID_WINDOW_HANDLE); a null window
// posts to the thread. Messages posted to a window are dropped when it is destroyed.
BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// A window filter takes the window and its descendants; a range 0, 0 takes every message.
// GetMessageW waits for a message: FALSE for WM_QUIT, -1 off the UI thread.
BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
// PM_REMOVE takes the message; PM_NOREMOVE leaves it; PM_NOYIELD changes nothing here.
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove);
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove);
// A WM_KEYDOWN posts one WM_CHAR per UTF-16 unit of the key's text; without text Backspace,
// Tab, Enter and Escape give 8, 9, 13 and 27, and Ctrl with a letter 1 to 26. TRUE when it posted.
BOOL TranslateMessage(const MSG* msg);
// Sends the message to its window; a WM_TIMER with a timer procedure calls that procedure; a
// WM_TIMER of no window and no procedure goes to nobody.
LRESULT DispatchMessageW(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);

// Timers. The same (window, id) replaces the timer and restarts its period. With a null window,
// an id that names no timer of the thread gets a new id, and the answered id re-arms that timer.
// Periods run from USER_TIMER_MINIMUM to USER_TIMER_MAXIMUM. A due timer gives one WM_TIMER
// however late it is taken, and runs its next period from then.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC procedure);
// FALSE with ERROR_INVALID_WINDOW_HANDLE for a window that is not alive, ERROR_INVALID_PARAMETER
// for an id that names no timer of the window (or, with a null window, of the thread).
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// The state of a key as the messages taken so far left it: 0x8000 (as a negative SHORT) while
// down, bit 0 toggled by each press. VK_SHIFT, VK_CONTROL and VK_MENU are down while either side is.
SHORT GetKeyState(int virtualKey);

// Focus: WM_KILLFOCUS (carrying the new focus) to the old window, then WM_SETFOCUS (carrying the
// old) to the new. A focus in an inactive top-level window activates it first. A hidden or
// disabled window is refused (NULL). Answers the previous focus.
HWND SetFocus(HWND hwnd);
HWND GetFocus();

// Activation of top-level windows: WM_NCACTIVATE and WM_ACTIVATE to the old window, then to the
// new; then, unless the focus lies inside it, the activated window's last focus (alive, visible
// and enabled) regains the focus, else the window takes it.
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();
// The active window: the only foreground window this process can know.
HWND GetForegroundWindow();

// Capture: the holder gets every mouse message. WM_CAPTURECHANGED (lParam: the new holder, NULL
// on release) goes to the old holder on release, takeover, hide, disable, destroy and
// deactivation. SetCapture by the holder and ReleaseCapture without a capture send nothing.
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();

// TME_LEAVE: one WM_MOUSELEAVE when the pointer next leaves the window (TME_CANCEL drops it).
BOOL TrackMouseEvent(TRACKMOUSEEVENT* track);

// The dialog manager. Tab stops are the visible, enabled WS_TABSTOP windows, found depth-first
// in z-order, going into visible, enabled WS_EX_CONTROLPARENT windows. From NULL or the dialog:
// the first (or, going back, the last) stop; otherwise the next or previous one, wrapping; NULL
// when no other stop exists.
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
// FALSE for a message outside the dialog. A focus that answers WM_GETDLGCODE with
// DLGC_WANTALLKEYS gets Enter and Escape like any other key. Otherwise Enter sends
// WM_COMMAND(MAKEWPARAM(id, BN_CLICKED), button) to the dialog for a focused push button, else
// WM_COMMAND(IDOK, 0), and Escape sends WM_COMMAND(IDCANCEL, 0); neither is translated. Everything
// else (Tab too) is translated and dispatched. TRUE.
BOOL IsDialogMessageW(HWND dialog, MSG* msg);

// Test seam: the window with a dirty area to paint, or NULL, in place of the painting part's own
// answer (the topmost dirty top-level window; null puts it back). The queue asks it when nothing is
// posted and no input waits.
using DirtyWindowSource = HWND (*)();
void SetDirtyWindowSource(DirtyWindowSource source);
// The earliest timer due time (layer clock nanoseconds), INT64_MAX without timers.
int64_t NextTimerDue();
// Forgets every posted message, timer, queued input, key state, focus, activation and capture.
void ResetQueueForTesting();

} // namespace win32
