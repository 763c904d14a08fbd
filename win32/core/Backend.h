#pragma once

// The one seam between the layer and a window system: the headless backend of the tests and, for
// people, a real display. The layer tells it about top-level windows and asks it for the screen's
// metrics; drawing, waiting and input arrive with the later parts of the layer.

#include "win32/api/Structures.h"

namespace win32 {

// The numbers behind AdjustWindowRect(Ex), GetSystemMetrics and SystemParametersInfoW.
struct Metrics {
    int screenWidth = 0;
    int screenHeight = 0;
    RECT workArea = {0, 0, 0, 0};
    // Each side of a window with a frame (a caption, a sizing or a dialog frame).
    int frame = 0;
    // Added to the top of a window with a caption.
    int caption = 0;
    // The height of a menu bar row.
    int menu = 0;
    // A thin border (WS_BORDER without a frame) and a sunken client edge.
    int border = 0;
    int edge = 0;
    int scrollBar = 0;
    int icon = 0;
    int smallIcon = 0;
    int doubleClickWidth = 0;
    int doubleClickHeight = 0;
    int dragWidth = 0;
    int dragHeight = 0;
    UINT wheelScrollLines = 0;
};

class Backend {
public:
    virtual ~Backend() = default;

    // The metrics table; read on every geometry call, so a backend may change it between calls.
    virtual const Metrics& GetMetrics() const = 0;
    // A window became a top-level window (created without a parent, or re-parented to the
    // desktop), or stopped being one (destroyed, or given a parent).
    virtual void TopLevelAdded(HWND hwnd) = 0;
    virtual void TopLevelRemoved(HWND hwnd) = 0;
};

} // namespace win32
