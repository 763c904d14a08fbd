#pragma once

// User input as controls hand it to the element tree: the "action-event" message of raw pointer
// and key events, the wheel record that travels up through HandleScrollWheel, the process-wide
// wheel accumulator that turns fractional wheel movement into whole pixel and line steps per
// control and axis, and the framework's key names.

#include "foundation/CXMessage.h"
#include "toolkit/Box2i.h"
#include "win32/api/Types.h"

#include <cstdint>

// One raw pointer or key event, named "action-event", from the control that saw it. A receiver
// that wants raw input compares the name and reads the fields.
class CXMessageUserActionEvent : public CXMessage {
public:
    // Descriptors.
    static constexpr int32_t kADMouseMoved = 1;
    static constexpr int32_t kADButtonPressed = 2;
    static constexpr int32_t kADButtonReleased = 3;
    static constexpr int32_t kADKeyPressed = 4;
    static constexpr int32_t kADKeyReleased = 5;

    // The pointer moved by delta to position.
    CXMessageUserActionEvent(double time, CXMessageTarget* sender, Vector2i delta, Vector2i position);
    // A button (0 left, 1 right) pressed or released at position.
    CXMessageUserActionEvent(double time, CXMessageTarget* sender, int32_t descriptor, int32_t button, double amount,
                             Vector2i position);
    // A key pressed or released. The pointer descriptor is reported and kept.
    CXMessageUserActionEvent(double time, CXMessageTarget* sender, int32_t descriptor, int32_t virtualKey,
                             int32_t modifiers);

    int32_t descriptor = 0;
    // The pointer's movement since the position reported last (pointer events only).
    Vector2i delta;
    double amount = 0.0;
    // Seconds of the performance counter.
    double time = 0.0;
    // The button, or the virtual key; 0 for pointer motion.
    int32_t code = 0;
    // Key events: 0x2 Shift, 0x8 Alt, 0x10 Ctrl.
    int32_t modifiers = 0;
    // Pointer events: in the control's coordinates.
    Vector2i position;
};

// The time stamp of an event made now: the performance counter's whole milliseconds, in seconds.
double UserActionEventTime();
// The modifier bits of the keys held now (GetKeyState): 0x2 Shift, 0x8 Alt, 0x10 Ctrl.
int32_t UserActionKeyModifiers();

// The framework's name of a key number (0 to 106: "a" to "z", "0" to "9", "tab", ... "option");
// null outside.
const char* GetKeyName(int32_t keyNumber);

// One wheel turn as an element receives it.
struct UIScrollWheelEvent {
    // Where the pointer was, in the receiving control's content coordinates.
    Vector2i point;
    // Whole pixels and whole lines to scroll; positive y is a turn away from the user.
    Vector2i pixelStep;
    Vector2i lineStep;
    // Set on the copy an element passes on after taking part of the turn itself: the steps are
    // then what it left over.
    bool changed = false;
};

// The accumulator keeps one remainder per control and axis.
enum class UIWheelAxis : uint8_t { Pixels = 0, Lines = 1 };

// Adds the movement to the control's remainder on that axis and answers the whole steps it now
// holds, each rounded to the nearest integer (halves away from zero) and clamped to the 32-bit
// range; the rest carries over to the control's next turn. The control is only a key. The list
// keeps at most 16 control-axis entries: a new one drops the oldest, which starts again from
// zero. Any thread.
Vector2i AccumulateWheel(const void* control, UIWheelAxis axis, float deltaX, float deltaY);

// Drops every remainder of the control, so a new control at the same address starts from zero.
// Every control that feeds the accumulator calls it when it is destroyed.
void ForgetWheelControl(const void* control);

// The record of a WM_MOUSEWHEEL (or, horizontal, WM_MOUSEHWHEEL) turn of wParam's signed high
// word, for a control: notches = the turn / WHEEL_DELTA, fractions kept; 16 pixels per notch, and
// per notch the system's lines (1 when the setting cannot be read) vertically or one line
// horizontally, made whole by the accumulator. The point is given by the caller; the changed flag
// is clear. Main thread.
UIScrollWheelEvent MakeScrollWheelEvent(const void* control, bool horizontal, win32::WPARAM wParam, Vector2i point);
