#include "toolkit/UIUserActionEvent.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMutex.h"
#include "foundation/CXTime.h"
#include "win32/api/Constants.h"
#include "win32/user/Queue.h"
#include "win32/user/User.h"

#include <cmath>
#include <iterator>
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

    UIScrollWheelEvent event;
    event.point = point;
    if (horizontal) {
        event.pixelStep = AccumulateWheel(control, UIWheelAxis::Pixels, pixels, 0.0f);
        event.lineStep = AccumulateWheel(control, UIWheelAxis::Lines, static_cast<float>(notches), 0.0f);
    } else {
        auto lines = static_cast<float>(notches * linesPerNotch);
        event.pixelStep = AccumulateWheel(control, UIWheelAxis::Pixels, 0.0f, pixels);
        event.lineStep = AccumulateWheel(control, UIWheelAxis::Lines, 0.0f, lines);
    }
    return event;
}

// --- Action events ---

CXMessageUserActionEvent::CXMessageUserActionEvent(double eventTime, CXMessageTarget* sender, Vector2i movement,
                                                   Vector2i at)
    : CXMessage("action-event", sender)
    , descriptor(kADMouseMoved)
    , delta(movement)
    , time(eventTime)
    , position(at)
{
}

CXMessageUserActionEvent::CXMessageUserActionEvent(double eventTime, CXMessageTarget* sender, int32_t kind,
                                                   int32_t button, double buttonAmount, Vector2i at)
    : CXMessage("action-event", sender)
    , descriptor(kind)
    , amount(buttonAmount)
    , time(eventTime)
    , code(button)
    , position(at)
{
}

CXMessageUserActionEvent::CXMessageUserActionEvent(double eventTime, CXMessageTarget* sender, int32_t kind,
                                                   int32_t virtualKey, int32_t keyModifiers)
    : CXMessage("action-event", sender)
    , descriptor(kind)
    , time(eventTime)
    , code(virtualKey)
    , modifiers(keyModifiers)
{
    if (kind == kADMouseMoved) {
        CXDebugError("> This CXMessageUserActionEvent() constructor should not have the kADMouseMoved or "
                     "kADModifiersChanged descriptor.");
    }
}

double UserActionEventTime()
{
    return CXTime::GetPerformanceSeconds();
}

int32_t UserActionKeyModifiers()
{
    int32_t modifiers = 0;
    if (win32::GetKeyState(win32::VK_CONTROL) < 0)
        modifiers |= 0x10;
    if (win32::GetKeyState(win32::VK_MENU) < 0)
        modifiers |= 0x8;
    if (win32::GetKeyState(win32::VK_SHIFT) < 0)
        modifiers |= 0x2;
    return modifiers;
}

// --- Key names ---

namespace {

constexpr const char* kKeyNames[] = {
    "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o", "p", "q", "r", "s", "t", "u", "v", "w",
    "x", "y", "z", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "tab", "capslock", "shift", "ctrl", "alt",
    "windows", "rwindows", "application", "ralt", "rctrl", "rshift", "return", "backspace", "home", "end", "delete",
    "pgup", "pgdn", "insert", "f1", "f2", "f3", "f4", "f5", "f6", "f7", "f8", "f9", "f10", "f11", "f12", "printscreen",
    "scrolllock", "pause", "numlock", "kp/", "kp*", "kp-", "kp+", "kpenter", "kp.", "kp0", "kp1", "kp2", "kp3", "kp4",
    "kp5", "kp6", "kp7", "kp8", "kp9", "left", "right", "up", "down", "tilde", "-", "=", "[", "]", "\\", ";", "'",
    ",", ".", "/", "space", "`", "~", "control", "option",
};
static_assert(std::size(kKeyNames) == 107);

} // namespace

const char* GetKeyName(int32_t keyNumber)
{
    if (keyNumber < 0 || static_cast<size_t>(keyNumber) >= std::size(kKeyNames))
        return nullptr;
    return kKeyNames[keyNumber];
}
