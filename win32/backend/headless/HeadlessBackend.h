#pragma once

// The backend of the tests: no display, settable metrics, and a record of the top-level windows.

#include "win32/core/Backend.h"

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
    // The top-level windows, in the order they became top-level.
    const std::vector<HWND>& TopLevels() const { return fTopLevels; }

private:
    Metrics fMetrics;
    std::vector<HWND> fTopLevels;
};

} // namespace win32::headless
