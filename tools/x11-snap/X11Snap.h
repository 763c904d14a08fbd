#pragma once

// Pictures of an X display: one window, or the whole screen, read back from the server
// (XGetImage) and written as PNG files. A library for the display tests and the x11-snap program.

#include <cstdint>
#include <string>
#include <vector>

namespace x11snap {

// Opaque pixels 0x00RRGGBB, rows top first.
struct Image {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;

    uint32_t At(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]; }
};

// Reads a window's pixels (window 0: the root window, so the whole screen) from the display
// (empty: $DISPLAY). False, with one line in problem, when the display cannot be opened, the
// window does not exist or is not viewable, lies partly off the screen, or its visual is not a
// true-colour one.
bool Capture(const std::string& display, uint64_t window, Image* image, std::string* problem);

// The first viewable window, depth-first from the root, whose title (_NET_WM_NAME, else WM_NAME)
// is exactly `title`; 0 when there is none or the display cannot be opened.
uint64_t FindWindowByTitle(const std::string& display, const std::string& title);

// Writes the image as an 8-bit RGB PNG. False, with one line in problem, when the file cannot be
// written.
bool WritePng(const Image& image, const std::string& path, std::string* problem);

} // namespace x11snap
