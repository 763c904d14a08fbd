#pragma once

// Private to the painting files: back buffers, the DCs handed out, running passes, and where
// windows lie in their top-level window's buffer ("buffer coordinates": (0, 0) is the top-level
// window rectangle's top-left corner). UI thread only, except the lent list under its lock.

#include "foundation/CXMutex.h"
#include "win32/gdi/GdiSurface.h"
#include "win32/user/WindowState.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace win32::user {

using gdi::Area;

// 64 Mpixel: 256 MiB of pixels.
inline constexpr int64_t kMaximumBufferPixels = int64_t(64) << 20;

// A visible top-level window's pixels, the size of its window rectangle; (0, 0) is the window
// rectangle's top-left corner ("buffer coordinates").
struct BackBuffer {
    HWND handle = nullptr;
    std::vector<uint32_t> pixels;
    int width = 0;
    int height = 0;
    // What waits for the next paint pass, and the part of it that asks for erasing.
    Area dirty;
    Area erase;
    bool tooLargeReported = false;

    gdi::Surface Surface()
    {
        gdi::Surface surface;
        surface.pixels = reinterpret_cast<uint8_t*>(pixels.data());
        surface.stride = width * 4;
        surface.width = width;
        surface.height = height;
        return surface;
    }
    RECT Bounds() const { return {0, 0, width, height}; }
};

// A DC that GetDC, GetWindowDC or BeginPaint handed out.
struct LentDC {
    HWND hwnd = nullptr;
    // Null for the screen's DC and for DCs that only measure.
    HWND top = nullptr;
    // Where it may draw: buffer coordinates, and the offset that puts them on the screen.
    Area system;
    POINT screenOffset = {0, 0};
    bool paint = false;
    bool surface = false;
};

// One running paint pass: the area each window of the pass paints (client coordinates) while its
// WM_PAINT runs, and the part of the pass that asks for erasing (buffer coordinates).
struct Pass {
    Window* top = nullptr;
    std::map<Window*, Area> areas;
    Area erase;
};

struct PaintState {
    std::map<Window*, std::unique_ptr<BackBuffer>> buffers;
    // Passes in progress, innermost last (UpdateWindow of another top-level inside a pass).
    std::vector<Pass*> passes;
    // GetDC(NULL) may come from any thread, and WindowFromDC too.
    CXMutex lentLock;
    std::map<HDC, LentDC> lent;
};

PaintState& Paint();

bool Meets(const RECT& a, const RECT& b);
// Empty ({0, 0, 0, 0}) when the rectangles do not meet.
RECT Intersection(const RECT& a, const RECT& b);
RECT Offset(RECT r, int dx, int dy);
// The client origin and area, and the window rectangle, of a window in buffer coordinates.
POINT ClientOrigin(const Window* window);
RECT ClientInBuffer(const Window* window);
RECT WindowInBuffer(const Window* window);
// The part of start (buffer coordinates) inside every ancestor's client area and the buffer.
RECT ClipToAncestors(const Window* window, RECT start);
// A top-level window whose pixels are on the screen: visible and not minimised.
bool IsOnScreen(const Window* top);
// The visible client area of a window in buffer coordinates (empty when the window or an ancestor
// is hidden).
RECT VisibleClient(const Window* window);
// Points the lent surface DCs of a top-level window at other pixels (empty: they draw nothing).
void RetargetLent(HWND top, const gdi::Surface& surface);
// The back buffer of a top-level window on the screen, made or resized to its window rectangle;
// null for a hidden, minimised or too large one. A new or resized buffer is dirty all over its
// client area.
BackBuffer* EnsureBuffer(Window* top);
BackBuffer* ExistingBuffer(Window* top);
void AddDirty(Window* top, const Area& area, bool erase);
// Hands area (buffer coordinates) of the buffer to the backend.
void Present(Window* top, const Area& area);
// The running pass of a top-level window, or null.
Pass* PassOf(Window* top);
// A window DC of a top-level window (device (0, 0) at the window rectangle's top-left corner) that
// draws only inside area (buffer coordinates); ReleaseDC presents that area.
HDC LendTopLevelDC(Window* top, const RECT& area);
// Registers the step that frees the buffers and the DCs never given back at shutdown.
void EnsureShutdownStep();

} // namespace win32::user
