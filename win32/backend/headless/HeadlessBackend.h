#pragma once

// The backend of the tests: no display, settable metrics, and a record of the top-level windows.

#include "foundation/CXNativeSync.h"
#include "win32/core/Backend.h"

#include <functional>
#include <map>

#include <vector>

namespace win32::headless {

class HeadlessBackend : public Backend {
public:
    HeadlessBackend();

    // Screen 1920x1080 with a 1920x1040 work area, frame 8, caption 23, menu 20.
    static Metrics DefaultMetrics();
    // What a display backend reports for a screen of that size: the default metrics without frame
    // and caption (a window manager draws those outside the window) and the whole screen as the
    // work area until the window manager names one.
    static Metrics DisplayMetrics(int screenWidth, int screenHeight);

    const Metrics& GetMetrics() const override { return fMetrics; }
    // Changes take effect at the next geometry call.
    Metrics& MutableMetrics() { return fMetrics; }

    void TopLevelAdded(HWND hwnd) override;
    void TopLevelRemoved(HWND hwnd) override;
    // Recorded in order.
    void TopLevelChanged(HWND hwnd, TopLevelChange what) override;
    struct Change {
        HWND hwnd;
        TopLevelChange what;
    };
    const std::vector<Change>& Changes() const { return fChanges; }
    void ClearChanges() { fChanges.clear(); }
    // Copies the presented region into the window's image (a new size starts a new, transparent
    // image) and records the region.
    void Present(HWND hwnd, const PresentedImage& image, const std::vector<RECT>& region) override;
    struct Presentation {
        HWND hwnd;
        std::vector<RECT> region;
    };
    // Every Present so far, oldest first.
    const std::vector<Presentation>& Presentations() const { return fPresentations; }
    void ClearPresentations() { fPresentations.clear(); }
    // What the window system shows of a top-level window: the pixels presented so far, rows top
    // first (empty for a window never presented).
    struct WindowImage {
        int width = 0;
        int height = 0;
        std::vector<uint32_t> pixels;
    };
    const WindowImage* ImageOf(HWND hwnd) const;

    // The top-level windows, in the order they became top-level.
    const std::vector<HWND>& TopLevels() const { return fTopLevels; }

    // Waits on the real clock for Wake or the deadline, unless a wait handler is set: then the
    // handler decides what a wait does (the harness moves its fake clock or runs a script step).
    void Wait(int64_t deadline) override;
    void Wake() override;
    using WaitHandler = std::function<void(int64_t deadline)>;
    void SetWaitHandler(WaitHandler handler) { fWaitHandler = std::move(handler); }

private:
    Metrics fMetrics;
    std::vector<HWND> fTopLevels;
    std::vector<Presentation> fPresentations;
    std::vector<Change> fChanges;
    std::map<HWND, WindowImage> fImages;
    CXNativeEvent fWoken;
    WaitHandler fWaitHandler;
};

} // namespace win32::headless
