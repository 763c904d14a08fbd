#pragma once

// The backend for people: an X11 display. One X window per shown top-level window, input from the
// X server, pixels through MIT-SHM (or plain image requests), and the CLIPBOARD selection as the
// layer's shared text clipboard.
//
// Emulation limits: only text goes through the shared clipboard (other formats and drag and drop
// stay in the process); the input method looks up keys but composes no text in a window of its own.

#include "win32/core/Backend.h"

#include <memory>
#include <string>

namespace win32::x11 {

// Connects to the display DISPLAY names. Null, with one line in problem, when there is no display
// or its visual is not 24- or 32-bit TrueColor with 8-bit red, green and blue masks.
// CX_X11_NO_SHM=1 turns MIT-SHM off. The backend belongs to the UI thread (Wake excepted).
std::unique_ptr<Backend> OpenBackend(std::string* problem);

} // namespace win32::x11
