#pragma once

// The backend of the tests: no display, settable metrics, and a record of the top-level windows.

#include "foundation/CXNativeSync.h"
#include "win32/core/Backend.h"

#include <functional>

#include <vector>

namespace win32::headless {

class HeadlessBackend : public Backend {
public:
    HeadlessBackend();

    // Screen 1920x1080 with a 1920x1040 work area, frame 8, caption 23, menu 20.
    static Metrics DefaultMetrics();

    const Metrics& GetMetrics() const override { return fMetrics; }
    // Changes take effect at the next geometry call.
    Metrics& MutableMetrics() { return fMetrics; }

    void TopLevelAdded(HWND hwnd) override;
    void TopLevelRemoved(HWND hwnd) override;
    // Records the presentation (the pixels are the layer's and are read through it).
    void Present(HWND hwnd, const PresentedImage& image, const std::vector<RECT>& region) override;
    struct Presentation {
        HWND hwnd;
        std::vector<RECT> region;
    };
    // Every Present so far, oldest first.
    const std::vector<Presentation>& Presentations() const { return fPresentations; }
    void ClearPresentations() { fPresentations.clear(); }

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
    CXNativeEvent fWoken;
    WaitHandler fWaitHandler;
};

} // namespace win32::headless
