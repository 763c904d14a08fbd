#pragma once

// The one seam between the layer and a window system: the headless backend of the tests and, for
// people, a real display. The layer tells it about top-level windows and asks it for the screen's
// metrics, waits in it for input or a wake-up, takes its input events and hands it the pixels of
// each top-level window to show.

#include "win32/api/Structures.h"

#include <cstdint>
#include <string>
#include <vector>

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
    // Milliseconds between the clicks of a double-click.
    UINT doubleClickTime = 0;
    int dragWidth = 0;
    int dragHeight = 0;
    UINT wheelScrollLines = 0;
};

// One piece of user input as a window system reports it, in screen coordinates. The layer queues
// it (core::PushInput) and turns it into a window message when the queue reaches it.
//
// The window kinds are what the window system did to or asked of a top-level window, taken in
// order with the input:
//   Close: the user asked to close it (WM_CLOSE, only with WS_SYSMENU and while enabled);
//   Configure: the window system placed it at rect (its window rectangle, screen coordinates);
//     a rectangle unlike the layer's moves and sizes the window (WM_MOVE, WM_SIZE, the back
//     buffer resized), an equal one does nothing, and nothing is told back to the backend;
//   Activate, Deactivate: it gained or lost the window system's focus; the layer activates it or
//     lets it go without telling the backend back;
//   Expose: the window system lost the pixels of rect (window coordinates): that part of the back
//     buffer is presented again, no window procedure runs.
struct InputEvent {
    enum class Kind {
        MouseMove,
        ButtonDown,
        ButtonUp,
        Wheel,
        HorizontalWheel,
        KeyDown,
        KeyUp,
        Close,
        Configure,
        Activate,
        Deactivate,
        Expose,
    };
    Kind kind = Kind::MouseMove;
    POINT point = {0, 0};
    // The window kinds: the top-level window concerned.
    HWND window = nullptr;
    // Configure: the new window rectangle (screen). Expose: the part lost (window coordinates).
    RECT rect = {0, 0, 0, 0};
    // ButtonDown/ButtonUp: VK_LBUTTON, VK_RBUTTON or VK_MBUTTON. KeyDown/KeyUp: the virtual key,
    // sided for the modifiers (VK_LSHIFT ... VK_RMENU).
    UINT key = 0;
    // Wheel: signed distance, WHEEL_DELTA per notch.
    int delta = 0;
    // KeyDown: an auto-repeat of a key already down.
    bool repeat = false;
    // KeyDown: the text the key types, if any (TranslateMessage makes WM_CHAR of it).
    std::u16string text;
};

// A top-level window's back buffer as Present shows it: premultiplied BGRA (0xAARRGGBB read as a
// 32-bit integer), rows top first, stride bytes apart, covering the window rectangle.
struct PresentedImage {
    const uint8_t* pixels = nullptr;
    int stride = 0;
    int width = 0;
    int height = 0;
};

// What the layer changed about a top-level window (Backend::TopLevelChanged). The backend reads
// the rest through the layer's own calls: GetWindowRect, the styles, the owner, the title,
// WM_GETMINMAXINFO, GetCapture.
enum class TopLevelChange {
    Shown,
    Hidden,
    MovedOrSized,
    Title,
    // The layer made it the active window.
    Activated,
    // A window of it took the mouse capture, or the capture was released.
    CaptureTaken,
    CaptureReleased,
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
    // The layer changed the window (UI thread, after the change).
    virtual void TopLevelChanged(HWND hwnd, TopLevelChange what) = 0;
    // The window's back buffer changed within region (rectangles in window coordinates: (0, 0) is
    // the window rectangle's top-left corner); the pixels are borrowed for the call only.
    virtual void Present(HWND hwnd, const PresentedImage& image, const std::vector<RECT>& region) = 0;
    // Waits (on the UI thread) until input arrives, Wake is called, or the layer's clock reaches
    // deadline (nanoseconds; INT64_MAX: no limit). May return early; the caller looks again.
    virtual void Wait(int64_t deadline) = 0;
    // Ends the current or next Wait early. Any thread.
    virtual void Wake() = 0;

    // The clipboard shared with other programs, for the text formats only (everything else stays
    // inside the process). UI thread.
    // The layer's clipboard text changed (a clipboard session that set or emptied it was closed):
    // text is the new text (UTF-16, CR LF line breaks), null when it holds no text any more. A
    // backend with a shared clipboard takes it over and serves that text.
    virtual void ClipboardTextChanged(const std::u16string* text) { (void)text; }
    // What the shared clipboard holds now: kOwn when the layer's own clipboard is current (no
    // other program took it over since); else the other program's text is asked for, with a
    // deadline: kText with it in text, or kNothing when it has no text or did not answer in time.
    enum SharedClipboard { kOwn, kText, kNothing };
    virtual SharedClipboard ReadSharedClipboardText(std::u16string* text)
    {
        (void)text;
        return kOwn;
    }
};

} // namespace win32
