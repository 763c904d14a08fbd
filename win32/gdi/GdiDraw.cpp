// Fills, frames, patterns, edges and lines. Everything here writes opaque pixels except the
// inverting operations, which keep each pixel's alpha.

#include "win32/gdi/GdiInternal.h"

#include <algorithm>
#include <cstdlib>

namespace win32::gdi {

bool BrushColor(HBRUSH handle, COLORREF* color, bool* paints)
{
    auto value = reinterpret_cast<uintptr_t>(handle);
    if (value >= 1 && value <= COLOR_MENUBAR + 1) {
        // A system colour index + 1 stands for that colour's brush.
        if (GetSysColorBrush(static_cast<int>(value - 1)) == nullptr)
            return false;
        *color = GetSysColor(static_cast<int>(value - 1));
        *paints = true;
        return true;
    }
    Brush* brush = Find<Brush>(handle);
    if (brush == nullptr)
        return false;
    *color = brush->color;
    *paints = !brush->hollow;
    return true;
}

namespace {

// A premultiplied pixel with its colour inverted within its alpha; doing it twice restores it.
uint32_t Inverted(uint32_t pixel)
{
    uint32_t a = pixel >> 24;
    uint32_t r = a - std::min(a, (pixel >> 16) & 0xFF);
    uint32_t g = a - std::min(a, (pixel >> 8) & 0xFF);
    uint32_t b = a - std::min(a, pixel & 0xFF);
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// The pixel's colour exclusive-or the colour's, each channel kept within the pixel's alpha.
uint32_t Xored(uint32_t pixel, COLORREF color)
{
    uint32_t a = pixel >> 24;
    uint32_t r = std::min(a, ((pixel >> 16) & 0xFF) ^ GetRValue(color));
    uint32_t g = std::min(a, ((pixel >> 8) & 0xFF) ^ GetGValue(color));
    uint32_t b = std::min(a, (pixel & 0xFF) ^ GetBValue(color));
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// The four 1-pixel sides just inside the rectangle, each drawn once.
template <class Side>
void EachSide(const RECT& r, Side side)
{
    side(r.left, r.top, r.right, r.top + 1);
    if (r.bottom - r.top > 1)
        side(r.left, r.bottom - 1, r.right, r.bottom);
    if (r.bottom - r.top > 2) {
        side(r.left, r.top + 1, r.left + 1, r.bottom - 1);
        if (r.right - r.left > 1)
            side(r.right - 1, r.top + 1, r.right, r.bottom - 1);
    }
}

bool IsEmpty(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

} // namespace

} // namespace win32::gdi

namespace win32 {

using namespace gdi;

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush)
{
    CXRecursiveMutexLocker locker(&Lock());
    Canvas canvas(hdc);
    COLORREF color;
    bool paints;
    if (canvas.DC() == nullptr || rect == nullptr || !BrushColor(brush, &color, &paints))
        return 0;
    if (paints)
        canvas.Fill(rect->left, rect->top, rect->right, rect->bottom, OpaquePixel(color));
    return 1;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush)
{
    CXRecursiveMutexLocker locker(&Lock());
    Canvas canvas(hdc);
    COLORREF color;
    bool paints;
    if (canvas.DC() == nullptr || rect == nullptr || !BrushColor(brush, &color, &paints))
        return 0;
    if (paints && !IsEmpty(*rect)) {
        uint32_t pixel = OpaquePixel(color);
        EachSide(*rect, [&](LONG l, LONG t, LONG r, LONG b) { canvas.Fill(l, t, r, b, pixel); });
    }
    return 1;
}

BOOL DrawFocusRect(HDC hdc, const RECT* rect)
{
    CXRecursiveMutexLocker locker(&Lock());
    Canvas canvas(hdc);
    if (canvas.DC() == nullptr || rect == nullptr)
        return FALSE;
    if (IsEmpty(*rect))
        return TRUE;
    // Every other pixel of the frame, counted from the top-left corner.
    POINT offset = canvas.Offset();
    int64_t originParity = int64_t(rect->left) + rect->top + offset.x + offset.y;
    EachSide(*rect, [&](LONG l, LONG t, LONG r, LONG b) {
        canvas.Each(l, t, r, b, [&](uint32_t& pixel, int x, int y) {
            if (((int64_t(x) + y - originParity) & 1) == 0)
                pixel = Inverted(pixel);
        });
    });
    return TRUE;
}

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop)
{
    CXRecursiveMutexLocker locker(&Lock());
    Canvas canvas(hdc);
    if (canvas.DC() == nullptr)
        return FALSE;
    int64_t left = x, top = y, right = int64_t(x) + width, bottom = int64_t(y) + height;
    if (right < left)
        std::swap(left, right);
    if (bottom < top)
        std::swap(top, bottom);
    auto clamp = [](int64_t v) { return static_cast<LONG>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    LONG l = clamp(left), t = clamp(top), r = clamp(right), b = clamp(bottom);
    COLORREF color = 0;
    bool paints = true;
    if (rop == PATCOPY || rop == PATINVERT) {
        auto* brush = static_cast<Brush*>(Selected(*canvas.DC(), SelectedSlot::Brush));
        if (brush == nullptr)
            return FALSE;
        color = brush->color;
        paints = !brush->hollow;
    }
    switch (rop) {
    case PATCOPY:
        if (paints)
            canvas.Fill(l, t, r, b, OpaquePixel(color));
        return TRUE;
    case PATINVERT:
        if (paints)
            canvas.Each(l, t, r, b, [&](uint32_t& pixel, int, int) { pixel = Xored(pixel, color); });
        return TRUE;
    case DSTINVERT:
        canvas.Each(l, t, r, b, [](uint32_t& pixel, int, int) { pixel = Inverted(pixel); });
        return TRUE;
    case BLACKNESS:
        canvas.Fill(l, t, r, b, 0xFF000000u);
        return TRUE;
    case WHITENESS:
        canvas.Fill(l, t, r, b, 0xFFFFFFFFu);
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL DrawEdge(HDC hdc, RECT* rect, UINT edge, UINT flags)
{
    CXRecursiveMutexLocker locker(&Lock());
    Canvas canvas(hdc);
    if (canvas.DC() == nullptr || rect == nullptr)
        return FALSE;
    RECT r = *rect;
    // Outer line, then inner line: top-left colour, bottom-right colour.
    struct Line {
        UINT raised;
        UINT sunken;
        int raisedColors[2];
        int sunkenColors[2];
    };
    const Line lines[2] = {
        {BDR_RAISEDOUTER, BDR_SUNKENOUTER, {COLOR_3DLIGHT, COLOR_3DDKSHADOW}, {COLOR_3DSHADOW, COLOR_3DHILIGHT}},
        {BDR_RAISEDINNER, BDR_SUNKENINNER, {COLOR_3DHILIGHT, COLOR_3DSHADOW}, {COLOR_3DDKSHADOW, COLOR_3DLIGHT}},
    };
    for (int i = 0; i < 2; ++i) {
        const Line& line = lines[i];
        if ((edge & (line.raised | line.sunken)) == 0 || IsEmpty(r))
            continue;
        int topLeft, bottomRight;
        if ((flags & BF_MONO) != 0) {
            topLeft = bottomRight = i == 0 ? COLOR_WINDOWFRAME : COLOR_WINDOW;
        } else if ((flags & BF_FLAT) != 0) {
            topLeft = bottomRight = i == 0 ? COLOR_3DSHADOW : COLOR_3DFACE;
        } else {
            const int* colors = (edge & line.raised) != 0 ? line.raisedColors : line.sunkenColors;
            topLeft = colors[0];
            bottomRight = colors[1];
        }
        uint32_t light = OpaquePixel(GetSysColor(topLeft)), dark = OpaquePixel(GetSysColor(bottomRight));
        if ((flags & BF_LEFT) != 0)
            canvas.Fill(r.left, r.top, r.left + 1, r.bottom - 1, light);
        if ((flags & BF_TOP) != 0)
            canvas.Fill(r.left, r.top, r.right - 1, r.top + 1, light);
        if ((flags & BF_RIGHT) != 0)
            canvas.Fill(r.right - 1, r.top, r.right, r.bottom, dark);
        if ((flags & BF_BOTTOM) != 0)
            canvas.Fill(r.left, r.bottom - 1, r.right, r.bottom, dark);
        r.left += (flags & BF_LEFT) != 0 ? 1 : 0;
        r.top += (flags & BF_TOP) != 0 ? 1 : 0;
        r.right -= (flags & BF_RIGHT) != 0 ? 1 : 0;
        r.bottom -= (flags & BF_BOTTOM) != 0 ? 1 : 0;
    }
    if ((flags & BF_MIDDLE) != 0)
        canvas.Fill(r.left, r.top, r.right, r.bottom, OpaquePixel(GetSysColor((flags & BF_MONO) != 0 ? COLOR_WINDOW : COLOR_3DFACE)));
    if ((flags & BF_ADJUST) != 0)
        *rect = r;
    return TRUE;
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    if (dc == nullptr)
        return FALSE;
    if (previous != nullptr)
        *previous = dc->penPosition;
    dc->penPosition = {x, y};
    return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y)
{
    CXRecursiveMutexLocker locker(&Lock());
    Canvas canvas(hdc);
    if (canvas.DC() == nullptr)
        return FALSE;
    DeviceContext* dc = canvas.DC();
    POINT from = dc->penPosition;
    dc->penPosition = {x, y};
    auto* pen = static_cast<Pen*>(Selected(*dc, SelectedSlot::Pen));
    if (pen == nullptr || pen->invisible || !canvas.Drawable())
        return TRUE;
    uint32_t pixel = OpaquePixel(pen->color);
    // Steps along the longer axis; the other coordinate is the nearest one to the exact line
    // (halves rounded up). Only the steps whose major coordinate lies in the drawable area are walked.
    int64_t dx = int64_t(x) - from.x, dy = int64_t(y) - from.y;
    bool xMajor = std::llabs(dx) >= std::llabs(dy);
    int64_t major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
    int64_t steps = std::llabs(major);
    if (steps == 0)
        return TRUE;
    int64_t majorStart = xMajor ? from.x : from.y, minorStart = xMajor ? from.y : from.x;
    int64_t majorSign = major > 0 ? 1 : -1, minorSign = minor >= 0 ? 1 : -1;
    pixman_box32_t extents = canvas.LogicalExtents();
    int64_t low = xMajor ? extents.x1 : extents.y1, high = (xMajor ? extents.x2 : extents.y2) - 1;
    // The step range whose major coordinate lies within [low, high].
    int64_t first = majorSign > 0 ? low - majorStart : majorStart - high;
    int64_t last = majorSign > 0 ? high - majorStart : majorStart - low;
    first = std::max<int64_t>(first, 0);
    last = std::min<int64_t>(last, steps - 1);
    for (int64_t i = first; i <= last; ++i) {
        int64_t along = majorStart + majorSign * i;
        // 128 bits: the product of two 33-bit distances.
        auto nearest = static_cast<int64_t>((static_cast<__int128>(2 * i) * std::llabs(minor) + steps) / (2 * steps));
        int64_t across = minorStart + minorSign * nearest;
        if (xMajor)
            canvas.Plot(along, across, pixel);
        else
            canvas.Plot(across, along, pixel);
    }
    return TRUE;
}

} // namespace win32
