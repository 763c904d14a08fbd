#pragma once

// The drawing library's insides that the window part and the test harness use: pixels to draw
// on, DCs over them, copies of pixels and live object counts. (The rest of the insides, with
// pixman, are in GdiInternal.h.)

#include "win32/core/Handles.h"
#include "win32/gdi/Gdi.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace win32::gdi {

// Pixels to draw on: premultiplied BGRA (pixman a8r8g8b8), rows top first, stride bytes apart.
struct Surface {
    uint8_t* pixels = nullptr;
    int stride = 0;
    int width = 0;
    int height = 0;

    bool IsEmpty() const { return pixels == nullptr || width <= 0 || height <= 0; }
    uint32_t* Row(int y) const { return reinterpret_cast<uint32_t*>(pixels + static_cast<ptrdiff_t>(y) * stride); }
};

// A set of pixels (right and bottom exclusive), as the window part keeps its dirty and paint areas:
// a value, not a drawing object, so it is neither counted live nor tied to the handle table.
class Area {
public:
    Area();
    // An inverted or empty rectangle gives an empty area.
    explicit Area(const RECT& rect);
    ~Area();
    Area(const Area& other);
    Area& operator=(const Area& other);

    bool IsEmpty() const;
    // {0, 0, 0, 0} when empty.
    RECT Bounds() const;
    // Disjoint rectangles covering the area, rows top first.
    std::vector<RECT> Rects() const;
    bool Contains(POINT point) const;

    void Unite(const Area& other);
    void Intersect(const Area& other);
    void Subtract(const Area& other);
    void Offset(int dx, int dy);

    // The area of a region handle; false (area unchanged) for a bad handle.
    bool ReadFrom(HRGN region);
    // Copies the area into a region handle; its kind, ERROR for a bad handle.
    int CopyTo(HRGN region) const;

private:
    friend HDC CreateSurfaceDC(const Surface& surface, POINT surfaceOrigin, const Area& baseClip);
    struct Data;
    std::unique_ptr<Data> fData;
};

// A DC over pixels owned by someone else (a window's back buffer): device (0, 0) lies at
// surfaceOrigin of the surface and drawing stays inside a copy of baseClip (device coordinates;
// null: the whole surface). Null when the table is full or baseClip is bad. Delete it with
// DestroySurfaceDC while the pixels live.
HDC CreateSurfaceDC(const Surface& surface, POINT surfaceOrigin, HRGN baseClip);
// The same with an area as the base clip.
HDC CreateSurfaceDC(const Surface& surface, POINT surfaceOrigin, const Area& baseClip);
// Points a DC of CreateSurfaceDC at other pixels (an empty surface: it draws nothing from now on),
// as when the pixels it drew on are reallocated or freed. False for any other DC.
bool RetargetSurfaceDC(HDC hdc, const Surface& surface);
// Deletes a DC of CreateSurfaceDC; false for any other.
bool DestroySurfaceDC(HDC hdc);
// A DC that measures and draws nothing (GetDC without a back buffer).
HDC CreateDisplayDC();

// A copy of the pixels of a bitmap or of a DC's target, and the target pixel of the DC's device
// point (0, 0) (a bitmap's: (0, 0)).
struct PixelCopy {
    int width = 0;
    int height = 0;
    POINT origin = {0, 0};
    // width * height pixels, rows top first.
    std::vector<uint32_t> pixels;
};
// False for a bad handle and for a bitmap or DC without pixels (the stock bitmap, a measuring DC).
bool CopyPixels(HGDIOBJ bitmapOrDC, PixelCopy* copy);

// Live (not stock) objects of one kind: DC, Bitmap, Brush, Pen, Region, Font.
size_t LiveCount(core::HandleKind kind);

} // namespace win32::gdi
