#pragma once

#include "toolkit/Box2i.h"
#include "win32/user/Queue.h"

class UIElement;

// The window-handle part of every element that owns a window of its own (controls, custom-drawn
// controls with a window, top-level windows), and the entry points through which the window's
// messages reach the element.
//
// A window is bound to its element through GWLP_USERDATA, which holds the UIElement (the whole
// object). The slot is trusted only when the window's GWLP_HINSTANCE is the program's own
// instance, so windows of other modules never map to an element.
class NativeUIElement {
public:
    NativeUIElement() = default;
    // Logs "~NativeUIElement> native handle still allocated" when the window was not destroyed.
    virtual ~NativeUIElement();
    NativeUIElement(const NativeUIElement&) = delete;
    NativeUIElement& operator=(const NativeUIElement&) = delete;

    // Reflects notifications of native child controls to their elements, hands menu commands to
    // the menus, and leaves everything else to DefWindowProcW (0 without a window).
    virtual win32::LRESULT HandleNativeMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam);
    // DefSubclassProc on the window; 0 without one.
    virtual win32::LRESULT HandleSubclassMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam);
    // True consumes a message the main loop took for this window before anything else sees it.
    virtual bool PreTranslateMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam);

    win32::HWND GetNativeHandle() const { return fNativeHandle; }
    void SetNativeHandle(win32::HWND handle) { fNativeHandle = handle; }
    // TopLevelOf the element's window.
    win32::HWND GetTopLevelHandle() const { return TopLevelOf(fNativeHandle); }
    // Moves and sizes the window to the box without redrawing, activating or changing the z-order.
    void SetNativeFrame(const Box2i& frame);
    // Moves the window under the hidden parking window (made when needed).
    void ParkNativeWindow();
    // Moves the child's window under this window, at the bottom of its siblings.
    void AttachChildWindow(NativeUIElement* child);

    // The element bound to the window by the rule above, or null.
    static UIElement* ElementFromHandle(win32::HWND hwnd);
    // The handle of the element's native part; null when it has none or no window.
    static win32::HWND GetNativeHandle(const UIElement* element);
    // The native part of the element, or null.
    static NativeUIElement* FromElement(UIElement* element);
    // The last ancestor of the window, climbing GetParent; null for null.
    static win32::HWND TopLevelOf(win32::HWND hwnd);

private:
    win32::HWND fNativeHandle = nullptr;
};

// The window procedure of every window class the toolkit registers. A window is bound at
// WM_CREATE from its creation parameter (the element). WM_DESTROY never reaches the element; at
// WM_NCDESTROY the element forgets the window and the binding is cleared, so a window destroyed
// with its owner or parent leaves no dead handle behind.
win32::LRESULT UIWindowProc(win32::HWND hwnd, win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam);
// The subclass procedure installed (id 0, data 0) on native controls that want their messages
// first: the bound element's HandleSubclassMessage, else DefSubclassProc.
win32::LRESULT UISubclassProc(win32::HWND hwnd, win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam,
                              win32::UINT_PTR id, win32::DWORD_PTR data);
// Asks the native part of the message's element whether it consumes the message; false when the
// window maps to no element with a native part.
bool PreTranslateForElement(const win32::MSG& message);
