#pragma once

// Drop targets of windows: a window registers one target, which then receives the drags that
// pass over the window or over a descendant without a target of its own.
//
// Every call belongs to the UI thread (E_FAIL and ERROR_INVALID_THREAD_ID from any other).
// Emulation limits: no OLE initialisation is needed; drags come from the test harness only. A
// window destroyed while its target is registered loses that target's reference, as the system
// does: the target is never released (reported in the log).

#include "win32/api/DropTarget.h"
#include "win32/api/Structures.h"

namespace win32 {

// Registers target for hwnd and adds a reference to it, held until RevokeDragDrop. E_INVALIDARG
// for a null window or target, DRAGDROP_E_INVALIDHWND for a handle that names no live window,
// DRAGDROP_E_ALREADYREGISTERED when the window has a target (the old one stays).
HRESULT RegisterDragDrop(HWND hwnd, IDropTarget* target);
// Removes the window's target and releases its reference. E_INVALIDARG for a null window,
// DRAGDROP_E_INVALIDHWND for a dead one, DRAGDROP_E_NOTREGISTERED when it has none.
HRESULT RevokeDragDrop(HWND hwnd);

// For a drag source (the test harness): the target that a drag over the screen point reaches,
// the one of the window under the point or of its nearest ancestor that has one, and that window
// in *window when window is not null. Null (and *window null) when there is none. Borrowed.
IDropTarget* DropTargetAtPoint(POINT screen, HWND* window);

} // namespace win32
