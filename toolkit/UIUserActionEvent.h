#pragma once

// User input as controls hand it to the element tree: the wheel record that travels up through
// HandleScrollWheel, and the process-wide wheel accumulator that turns fractional wheel movement
// into whole pixel and line steps per control and axis.

#include "toolkit/Box2i.h"
#include "win32/api/Types.h"

#include <cstdint>

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
// word, for a control: notches = the turn / WHEEL_DELTA, fractions kept; 16 pixels and the system's
// lines per notch (1 when the setting cannot be read) per notch, made whole by the accumulator.
// The point is given by the caller; the changed flag is clear. Main thread.
UIScrollWheelEvent MakeScrollWheelEvent(const void* control, bool horizontal, win32::WPARAM wParam, Vector2i point);
