#pragma once

// Private to the queue and input files.

#include "win32/user/Queue.h"
#include "win32/user/WindowState.h"

namespace win32::user {

// The last pointer position taken from the input, in screen coordinates.
POINT CurrentPointer();
// The next input message (queued input hit-tested now), within the filters. remove: the event is
// taken and its effects (key state, double-click memory, activation by click) happen.
bool TakeInput(MSG* msg, HWND filter, UINT filterMin, UINT filterMax, bool remove);
// Forgets key state, focus, activation, capture and tracking.
void ResetInputState();
// A window's handle died: the input state forgets it.
void InputWindowGone(Window* window);
// Queues a message (any thread) and wakes the UI thread.
bool PostInternal(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace win32::user
