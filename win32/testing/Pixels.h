#pragma once

// Test helpers for drawing: pixels of bitmaps and DCs, PNG dumps, live drawing-object counts.
// They need no harness and work from any thread.

#include "win32/gdi/Gdi.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace win32::testing {

// The premultiplied pixel (0xAARRGGBB) at (x, y) of a bitmap, or of a DC's target at device point
// (x, y) (ignoring the viewport origin and the clip). kNoPixel outside, or for a handle without
// pixels.
inline constexpr uint64_t kNoPixel = 0x100000000ull;
uint64_t Pixel(HBITMAP bitmap, int x, int y);
uint64_t Pixel(HDC hdc, int x, int y);
// The opaque pixel of a colour, as Pixel answers it.
constexpr uint64_t OpaquePixel(COLORREF color)
{
    return 0xFF000000u | (static_cast<uint32_t>(GetRValue(color)) << 16) |
           (static_cast<uint32_t>(GetGValue(color)) << 8) | GetBValue(color);
}

// Writes the bitmap's (or the DC target's) pixels, un-premultiplied, as an RGBA PNG file. False
// (with a log line) for a handle without pixels or a file that cannot be written.
bool DumpPng(HGDIOBJ bitmapOrDC, const std::string& path);

// Premultiplied 0xAARRGGBB pixels, rows top first, as PNG: written as RGBA with the stored values
// kept as they are (no un-premultiplying), so that reading back gives the same pixels. False (with
// a log line) when the file cannot be written or read, or is not an 8-bit RGBA-convertible PNG.
bool WritePixelsPng(int width, int height, const std::vector<uint32_t>& pixels, const std::string& path);
bool ReadPixelsPng(const std::string& path, int& width, int& height, std::vector<uint32_t>& pixels);

// The live drawing objects, stock objects not counted.
struct GdiObjectCounts {
    size_t dcs = 0;
    size_t bitmaps = 0;
    size_t brushes = 0;
    size_t pens = 0;
    size_t regions = 0;
    size_t fonts = 0;

    size_t Total() const { return dcs + bitmaps + brushes + pens + regions + fonts; }
    bool operator==(const GdiObjectCounts&) const = default;
};
GdiObjectCounts LiveGdiObjects();

} // namespace win32::testing
