#include "win32/backend/headless/HeadlessBackend.h"

#include "win32/core/Core.h"

#include <algorithm>
#include <cstdint>

namespace win32::headless {

HeadlessBackend::HeadlessBackend() : fMetrics(DefaultMetrics())
{
}

Metrics HeadlessBackend::DefaultMetrics()
{
    Metrics m;
    m.screenWidth = 1920;
    m.screenHeight = 1080;
    m.workArea = {0, 0, 1920, 1040};
    m.frame = 8;
    m.caption = 23;
    m.menu = 20;
    m.border = 1;
    m.edge = 2;
    m.scrollBar = 17;
    m.icon = 32;
    m.smallIcon = 16;
    m.doubleClickWidth = 4;
    m.doubleClickHeight = 4;
    m.doubleClickTime = 500;
    m.dragWidth = 4;
    m.dragHeight = 4;
    m.wheelScrollLines = 3;
    return m;
}

Metrics HeadlessBackend::DisplayMetrics(int screenWidth, int screenHeight)
{
    Metrics m = DefaultMetrics();
    m.frame = 0;
    m.caption = 0;
    m.screenWidth = screenWidth;
    m.screenHeight = screenHeight;
    m.workArea = {0, 0, screenWidth, screenHeight};
    return m;
}

void HeadlessBackend::TopLevelAdded(HWND hwnd)
{
    fTopLevels.push_back(hwnd);
}

void HeadlessBackend::TopLevelChanged(HWND hwnd, TopLevelChange what)
{
    fChanges.push_back({hwnd, what});
}

void HeadlessBackend::TopLevelRemoved(HWND hwnd)
{
    auto it = std::find(fTopLevels.begin(), fTopLevels.end(), hwnd);
    if (it != fTopLevels.end())
        fTopLevels.erase(it);
    fImages.erase(hwnd);
}

void HeadlessBackend::Present(HWND hwnd, const PresentedImage& image, const std::vector<RECT>& region)
{
    fPresentations.push_back({hwnd, region});
    WindowImage& shown = fImages[hwnd];
    if (shown.width != image.width || shown.height != image.height) {
        shown.width = image.width;
        shown.height = image.height;
        shown.pixels.assign(static_cast<size_t>(image.width) * static_cast<size_t>(image.height), 0);
    }
    for (const RECT& rect : region) {
        int left = std::max<int>(rect.left, 0), right = std::min<int>(rect.right, image.width);
        for (int y = std::max<int>(rect.top, 0); y < std::min<int>(rect.bottom, image.height); ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(image.pixels + static_cast<ptrdiff_t>(y) * image.stride);
            for (int x = left; x < right; ++x)
                shown.pixels[static_cast<size_t>(y) * image.width + x] = row[x];
        }
    }
}

const HeadlessBackend::WindowImage* HeadlessBackend::ImageOf(HWND hwnd) const
{
    auto it = fImages.find(hwnd);
    return it == fImages.end() ? nullptr : &it->second;
}

void HeadlessBackend::Wait(int64_t deadline)
{
    if (fWaitHandler) {
        fWaitHandler(deadline);
        return;
    }
    uint32_t timeout = CXNativeEvent::kInfinite;
    if (deadline != INT64_MAX) {
        int64_t left = deadline - core::NowNanoseconds();
        if (left <= 0)
            return;
        int64_t milliseconds = (left + 999999) / 1000000;
        timeout = milliseconds >= CXNativeEvent::kInfinite ? CXNativeEvent::kInfinite - 1
                                                           : static_cast<uint32_t>(milliseconds);
    }
    fWoken.Wait(timeout);
    fWoken.Reset();
}

void HeadlessBackend::Wake()
{
    fWoken.Set();
}

} // namespace win32::headless
