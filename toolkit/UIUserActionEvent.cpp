#include "toolkit/UIUserActionEvent.h"

#include "foundation/CXMutex.h"
#include "win32/api/Constants.h"
#include "win32/user/User.h"

#include <cmath>
#include <vector>

namespace {

constexpr size_t kMaximumWheelEntries = 16;
constexpr float kPixelsPerNotch = 16.0f;

struct WheelEntry {
    const void* control;
    UIWheelAxis axis;
    float x;
    float y;
};

struct WheelAccumulator {
    CXMutex lock;
    // Oldest first.
    std::vector<WheelEntry> entries;
};

WheelAccumulator& Accumulator()
{
    static auto* accumulator = new WheelAccumulator();
    return *accumulator;
}

WheelEntry& FindOrAddEntry(std::vector<WheelEntry>& entries, const void* control, UIWheelAxis axis)
{
    for (WheelEntry& entry : entries) {
        if (entry.control == control && entry.axis == axis)
            return entry;
    }
    while (entries.size() >= kMaximumWheelEntries)
        entries.erase(entries.begin());
    entries.push_back({control, axis, 0.0f, 0.0f});
    return entries.back();
}

// Takes the nearest whole number of steps out of the remainder. What lies beyond the 32-bit range
// is dropped rather than carried, and a remainder that is not a number starts again from zero.
int32_t TakeWholeSteps(float& remainder)
{
    if (std::isnan(remainder)) {
        remainder = 0.0f;
        return 0;
    }
    float whole = std::round(remainder);
    remainder = std::isinf(remainder) ? 0.0f : remainder - whole;
    if (whole >= 2147483648.0f)
        return INT32_MAX;
    if (whole < -2147483648.0f)
        return INT32_MIN;
    return static_cast<int32_t>(whole);
}

} // namespace

Vector2i AccumulateWheel(const void* control, UIWheelAxis axis, float deltaX, float deltaY)
{
    WheelAccumulator& accumulator = Accumulator();
    CXMutexLocker locker(&accumulator.lock);
    WheelEntry& entry = FindOrAddEntry(accumulator.entries, control, axis);
    entry.x += deltaX;
    entry.y += deltaY;
    Vector2i steps;
    steps.x = TakeWholeSteps(entry.x);
    steps.y = TakeWholeSteps(entry.y);
    return steps;
}

void ForgetWheelControl(const void* control)
{
    WheelAccumulator& accumulator = Accumulator();
    CXMutexLocker locker(&accumulator.lock);
    std::erase_if(accumulator.entries, [control](const WheelEntry& entry) { return entry.control == control; });
}

UIScrollWheelEvent MakeScrollWheelEvent(const void* control, bool horizontal, win32::WPARAM wParam, Vector2i point)
{
    win32::UINT linesPerNotch = 1;
    if (!win32::SystemParametersInfoW(win32::SPI_GETWHEELSCROLLLINES, 0, &linesPerNotch, 0))
        linesPerNotch = 1;
    double notches = static_cast<int16_t>(win32::HIWORD(wParam)) / static_cast<double>(win32::WHEEL_DELTA);
    auto pixels = static_cast<float>(notches * kPixelsPerNotch);
    auto lines = static_cast<float>(notches * linesPerNotch);

    UIScrollWheelEvent event;
    event.point = point;
    if (horizontal) {
        event.pixelStep = AccumulateWheel(control, UIWheelAxis::Pixels, pixels, 0.0f);
        event.lineStep = AccumulateWheel(control, UIWheelAxis::Lines, lines, 0.0f);
    } else {
        event.pixelStep = AccumulateWheel(control, UIWheelAxis::Pixels, 0.0f, pixels);
        event.lineStep = AccumulateWheel(control, UIWheelAxis::Lines, 0.0f, lines);
    }
    return event;
}
