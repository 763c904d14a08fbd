#pragma once

// Private to the window part: the class and window records, the process-wide lists, handle
// lookup and the helpers that the window files share.

#include "foundation/CXString.h"
#include "win32/api/Constants.h"
#include "win32/api/Structures.h"
#include "win32/core/Backend.h"

#include <memory>
#include <string>
#include <vector>

namespace win32 {
class IDropTarget;
}

namespace win32::user {

struct WindowClass {
    std::u16string name;
    CXString nameUTF8;
    ATOM atom = 0;
    HINSTANCE instance = nullptr;
    UINT style = 0;
    WNDPROC procedure = nullptr;
    int classExtra = 0;
    int windowExtra = 0;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    // Live windows of the class; the class cannot be unregistered while any remain.
    int windowCount = 0;
};

struct Subclass {
    SUBCLASSPROC procedure;
    UINT_PTR id;
    DWORD_PTR data;
};

enum class ShowState { Normal, Minimized, Maximized };

struct Window {
    HWND handle = nullptr;
    WindowClass* windowClass = nullptr;
    HINSTANCE instance = nullptr;
    WNDPROC procedure = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    UINT_PTR id = 0;
    LONG_PTR userData = 0;
    std::vector<uint8_t> extra;
    std::u16string text;

    // A child's parent (null for a top-level window) and a top-level window's owner.
    Window* parent = nullptr;
    Window* owner = nullptr;
    // Topmost first.
    std::vector<Window*> children;

    // The window and client rectangles, both in the parent's client coordinates (the screen for
    // a top-level window).
    RECT rect = {};
    RECT client = {};
    ShowState showState = ShowState::Normal;
    // The rectangle to restore while minimised or maximised.
    RECT normalRect = {};

    // Oldest first; the newest runs first.
    std::vector<Subclass> subclasses;

    // Calls holding the record alive (procedure frames, a destruction in progress). A dead window
    // is freed when the last one lets go.
    int holds = 0;
    // destroying: on its way out, by its own DestroyWindow (destroyRequested) or an ancestor's.
    bool destroying = false;
    bool destroyRequested = false;
    bool dead = false;

    // A top-level window's focus to give back when it is activated again.
    HWND lastFocus = nullptr;

    // A top-level window's menu bar (see MenuState.h), shown in one row above the client area.
    HMENU menu = nullptr;

    // The drop target registered for the window (RegisterDragDrop), holding one reference.
    IDropTarget* dropTarget = nullptr;
};

// Keeps a window's record alive for a scope, so a procedure may destroy its own window.
class WindowHold {
public:
    explicit WindowHold(Window* window);
    ~WindowHold();
    WindowHold(const WindowHold&) = delete;
    WindowHold& operator=(const WindowHold&) = delete;

private:
    Window* fWindow;
};

struct UserState {
    std::vector<std::unique_ptr<WindowClass>> classes;
    // Top-level windows, topmost first.
    std::vector<Window*> topLevels;
    ATOM nextAtom = 0xC000;
};

// The process-wide state, registering the shutdown step on first use.
UserState& State();

// The instance itself, or the program's for null.
HINSTANCE ProgramInstance(HINSTANCE instance);
// A class by name (or atom) registered for the instance, then (globalToo) a CS_GLOBALCLASS one.
WindowClass* FindClass(LPCWSTR name, HINSTANCE instance, bool globalToo);

// The live window of a handle; otherwise sets ERROR_INVALID_WINDOW_HANDLE and answers null.
Window* FindWindow(HWND hwnd);

// The list a window sits in: its parent's children or the top-level windows.
std::vector<Window*>& SiblingList(Window* window);
// The client origin of a window in screen coordinates (0, 0 for null, the desktop).
POINT ClientOriginOnScreen(const Window* window);
// Frame insets (left, top, right, bottom) of a style by the backend's metrics table.
RECT FrameInsets(DWORD style, DWORD exStyle, bool menu);
// The client rectangle of a window rectangle for the window's current style.
RECT ClientFromWindowRect(const Window* window, const RECT& rect);
// Sets the window rectangle and recomputes the client area; sends WM_MOVE when the client origin
// changed and WM_SIZE (with sizeKind) when its size changed or sendSize is set. A top-level window
// whose window or client rectangle changed is reported to the backend afterwards (MovedOrSized)
// unless the change came from the window system itself (tellBackend false).
void ApplyRect(Window* window, const RECT& rect, WPARAM sizeKind, bool sendSize, bool tellBackend = true);
// Moves and sizes a top-level window to the window rectangle the window system placed it at, as
// SetWindowPos would (repainting what changed), without telling the backend back; nothing at all
// when the rectangle is the window's own.
void PlaceByWindowSystem(Window* window, const RECT& rect);
// Tells the backend of a change to a live top-level window; nothing for a child window.
void TellBackend(Window* window, TopLevelChange what);
WPARAM SizeKind(const Window* window);

// Painting (Paint.cpp). Called before and after a show, hide, move, z-order or parent change: the
// area the window covers (a top-level window: its client area) is invalidated; a hidden top-level
// window's dirty region is dropped.
void InvalidateForChange(Window* window);
// A top-level window stopped being one (destroyed or given a parent): its back buffer goes.
void PaintWindowGone(Window* window);
// Presents the part rect (window coordinates) of a top-level window's back buffer again, as it is,
// when the window is on the screen; no procedure runs.
void PresentAgain(Window* top, const RECT& rect);
// The topmost top-level window on the screen with a dirty region, or NULL.
HWND DirtyTopLevel();
// The paint pass of a top-level window; false (nothing done) when nothing of it is dirty.
bool RunPaintPass(Window* top);

// The queue's and input's side of window changes (Queue.cpp, Input.cpp).
// A window became visible (activating: a top-level window shown by an activating command).
void WindowShown(Window* window, bool activating);
// A window was hidden or disabled: focus, capture and activation leave it (a disabled window
// keeps the activation). A focus inside it goes to its top-level window, or to formerTop when
// given: the top-level window that SetParent has just taken it out of.
void WindowHidden(Window* window, Window* formerTop = nullptr);
void WindowDisabled(Window* window, Window* formerTop = nullptr);
// A window's DestroyWindow, before WM_DESTROY: activation, focus and capture leave the subtree.
void WindowDestroying(Window* window);
// At WM_NCDESTROY: its timers and posted messages go.
void DropQueued(Window* window);
// The live window of a handle without touching the last error.
Window* PeekWindow(HWND hwnd);
// The deepest visible window under a screen point that takes input: a disabled child passes the
// point to its parent; null off every top-level window or on a disabled one.
Window* HitTest(POINT point);
// At a window's destruction: a drop target still registered is forgotten without its reference
// being given back, and reported.
void DropTargetWindowGone(Window* window);
// The top-level window of a window (itself for a top-level one).
Window* TopLevelOf(Window* window);
// The window and its ancestors are visible / enabled.
bool IsShown(const Window* window);
bool IsUsable(const Window* window);
// ancestor is window or one of its ancestors.
bool IsInside(const Window* window, const Window* ancestor);

// Sends a message straight to a window's procedures (no handle check).
LRESULT Dispatch(Window* window, UINT message, WPARAM wParam, LPARAM lParam);

// 16-bit coordinate range of positions, and sizes from 0.
int ClampPosition(int value);
int ClampSize(int value);

} // namespace win32::user
