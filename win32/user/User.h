#pragma once

// The window part of the user-interface subset: classes, windows and their procedures,
// subclassing, the window tree and z-order, geometry and the metrics table.
//
// Every call belongs to the UI thread (see win32::Initialize); from another thread it fails with
// ERROR_INVALID_THREAD_ID and changes nothing. A handle that is null, stale (its window destroyed,
// its slot perhaps reused) or of another kind fails the same way as a never-valid one:
// ERROR_INVALID_WINDOW_HANDLE and the call's failure value, never touching another window.
//
// Emulation limits: no non-client messages (the frame is a fixed inset from the metrics table),
// no hooks, no resources. Menus are in Menu.h, painting is in Paint.h. The queue, input, focus, activation,
// capture and the dialog manager are in Queue.h.

#include "win32/api/Constants.h"
#include "win32/api/DataObject.h"
#include "win32/api/Structures.h"
#include "win32/core/Core.h"
#include "win32/user/Menu.h"

namespace win32 {

// Classes, keyed by case-insensitive name plus instance (CS_GLOBALCLASS: any instance). A null
// instance is the program's. Registration answers the class atom, 0 on failure.
ATOM RegisterClassW(const WNDCLASSW* windowClass);
ATOM RegisterClassExW(const WNDCLASSEXW* windowClass);
// Fails with ERROR_CLASS_HAS_WINDOWS while windows of the class live.
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);

// Creates a window: WS_CHILD needs a parent window; otherwise parent names the owner (its
// top-level window). hMenu is a child's id. Sends WM_NCCREATE and WM_CREATE (lpCreateParams is
// param), then WM_SIZE and WM_MOVE; WS_VISIBLE shows it afterwards. A child is placed at the
// bottom of its siblings, a top-level window on top. Null when a procedure refused creation
// (WM_NCCREATE FALSE or WM_CREATE -1: only WM_NCDESTROY follows) or destroyed the window.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// Destroys the windows it owns, then sends WM_DESTROY to the window and its descendants (parents
// first) and WM_NCDESTROY (children first); each handle is dead from its WM_NCDESTROY on. A window
// may destroy itself or its owner from its own procedure: its memory lives until the outermost
// call of its procedure returns.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);

// Answers whether the window itself was visible before.
BOOL ShowWindow(HWND hwnd, int command);
// The window and all its ancestors have WS_VISIBLE.
BOOL IsWindowVisible(HWND hwnd);
// Sends WM_ENABLE when the state changes; answers whether the window was disabled before.
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);

// Window longs: GWLP_USERDATA, GWLP_HINSTANCE, GWL_STYLE, GWL_EXSTYLE, GWLP_ID, GWLP_WNDPROC
// (GWLP_HWNDPARENT read only) and the class's extra bytes at offsets 0 and up. A set answers the
// previous value and clears the last error first, so 0 with error 0 is a success. A style change
// takes effect on the frame at the next SWP_FRAMECHANGED. A GWL_STYLE or GWL_EXSTYLE set that
// changes the value sends WM_STYLECHANGED (wParam the index, lParam a STYLESTRUCT) afterwards.
LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);
LONG GetWindowLongW(HWND hwnd, int index);
LONG SetWindowLongW(HWND hwnd, int index, LONG value);

// Text through WM_SETTEXT, WM_GETTEXT and WM_GETTEXTLENGTH (so procedures and subclasses see it).
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
// Copies at most maxCount - 1 units and a terminator; answers the units copied.
int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount);
int GetWindowTextLengthW(HWND hwnd);

// Procedures. A message passes the test spy, the subclass procedures (newest first, each calling
// DefSubclassProc for the next), then the window's GWLP_WNDPROC. Sends nest at most 512 procedure
// frames deep; a deeper send answers 0 and is logged.
LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// SendMessageW with texts in UTF-8: WM_SETTEXT, WM_GETTEXT (wParam bytes, never cutting a
// character) and WM_GETTEXTLENGTH (bytes) are converted; every other message passes unchanged.
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC procedure, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// WM_NCCREATE: TRUE and the title from CREATESTRUCTW; WM_CLOSE: DestroyWindow; the three text
// messages; WM_CTLCOLOR*: sets the DC's text colour (COLOR_WINDOWTEXT) and background colour and
// answers the background's system-colour brush (COLOR_WINDOW for edits and list boxes,
// COLOR_SCROLLBAR for scroll bars, else COLOR_3DFACE); WM_SETCURSOR and WM_MOUSEACTIVATE of a
// child: the parent's answer; anything else 0.
LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Installs (or, for the same procedure and id, updates the data of) a subclass procedure.
BOOL SetWindowSubclass(HWND hwnd, SUBCLASSPROC procedure, UINT_PTR subclassId, DWORD_PTR referenceData);
// Inside a subclass procedure: passes the message to the next subclass, else to GWLP_WNDPROC.
LRESULT DefSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The tree. GetParent: a child's parent, a WS_POPUP window's owner, else NULL.
HWND GetParent(HWND hwnd);
// GW_CHILD is the topmost child; GW_HWNDNEXT is the next lower sibling.
HWND GetWindow(HWND hwnd, UINT relation);
// Moves the window under newParent (NULL: the desktop), on top of its new siblings, keeping its
// position relative to the parent's client area and setting or clearing WS_CHILD. Answers the old
// parent (NULL for the desktop, with last error 0). A window that this puts out of sight or out of
// use (under a hidden or disabled window, as when parked) gives up the focus, capture and
// activation that it or a descendant holds, as hiding or disabling does; the focus goes to the
// top-level window it left.
HWND SetParent(HWND hwnd, HWND newParent);

// Positions are kept down to -0x8000 (and up to 0x7FFF), sizes from 0 to 0x7FFF. WM_MOVE and
// WM_SIZE are sent at once, only when the client origin or size changes; SWP_FRAMECHANGED keeps
// the window rectangle, recomputes the client area from the current style and always sends
// WM_SIZE. insertAfter: HWND_TOP, HWND_BOTTOM or a sibling to go right below.
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
// HWND_TOP of its siblings; a visible, enabled top-level window is activated too.
BOOL BringWindowToTop(HWND hwnd);
// Screen coordinates.
BOOL GetWindowRect(HWND hwnd, RECT* rect);
// {0, 0, client width, client height}.
BOOL GetClientRect(HWND hwnd, RECT* rect);
// Between client areas (HWND_DESKTOP: the screen). Answers the offset, x in the low and y in the
// high word; 0 with ERROR_INVALID_WINDOW_HANDLE for a bad window.
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
BOOL ClientToScreen(HWND hwnd, POINT* point);
BOOL ScreenToClient(HWND hwnd, POINT* point);
// The restored rectangle (relative to the work area) and the show state.
BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement);
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);

// What the window system reports the user did: dragging a top-level window's bottom-right corner
// until its window rectangle is width x height. Sends WM_ENTERSIZEMOVE, WM_GETMINMAXINFO (the size
// is kept within ptMinTrackSize and ptMaxTrackSize), resizes as SetWindowPos does, then sends
// WM_EXITSIZEMOVE. FALSE for a bad window or a child window.
BOOL ResizeByUser(HWND hwnd, int width, int height);

// The metrics table of the backend.
BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu);
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
int GetSystemMetrics(int index);
// SPI_GETWORKAREA (a RECT) and SPI_GETWHEELSCROLLLINES (a UINT).
BOOL SystemParametersInfoW(UINT action, UINT uiParam, LPVOID pvParam, UINT winIni);

// Resources and cursor shapes are not emulated, nor is confining the cursor: these do nothing and
// answer NULL or TRUE.
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
// Only IMAGE_BITMAP with LR_LOADFROMFILE: the file at name (UTF-16 path), an uncompressed 24- or
// 32-bit BMP (win32/user/ImageFile.h), as a new bitmap of its own size (width and height are not
// used); the caller deletes it with DeleteObject. NULL for anything else (resources, icons) and for
// a file that is missing or not such a BMP (GetLastError: ERROR_FILE_NOT_FOUND, ERROR_BAD_FORMAT).
// Any thread.
HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int width, int height, UINT flags);
BOOL ClipCursor(const RECT* rect);
// The pointer's position on the screen: where the last mouse input taken left it, or where
// SetCursorPos put it. Any thread. FALSE for a null point.
BOOL GetCursorPos(POINT* point);
// Puts the pointer there at once and queues a mouse move to that point, which the queue hit-tests
// (or gives the capture holder) when it is taken.
BOOL SetCursorPos(int x, int y);
// Raises (show) or lowers the cursor's display count, which starts at 0; the cursor shows while
// the count is not negative. Answers the new count.
int ShowCursor(BOOL show);
// The common controls are built in: nothing to initialise.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* classes);
// Drag and drop and the clipboard need no apartment: OleInitialize answers S_OK, and neither call
// changes anything.
HRESULT OleInitialize(LPVOID reserved);
void OleUninitialize();

// Test seam: sees every message before the window's procedures, with its nesting depth (1 for the
// outermost). Null removes it. Borrowed: it must outlive its installation.
class MessageSpy {
public:
    virtual ~MessageSpy() = default;
    virtual void OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, int depth) = 0;
};
void SetMessageSpyForTesting(MessageSpy* spy);

} // namespace win32
