#pragma once

#include "toolkit/Box2i.h"

#include <cstdint>

class RazaGraf;

// The custom-drawn part of a control that the toolkit draws itself. A control of compositing
// hint 3 is windowless: the window it lives in draws it, routes the mouse to it and tells it of
// activation. Only the members windows use are here so far.
class UICustomControlBase {
public:
    // The hint that makes a control windowless.
    static constexpr int32_t kWindowlessHint = 3;

    // Mouse phases of HandleMouse.
    static constexpr int32_t kMousePress = 0;
    static constexpr int32_t kMouseDoubleClick = 1;
    static constexpr int32_t kMouseDrag = 2;
    static constexpr int32_t kMouseRelease = 4;
    // The sequence ended without a release (the window lost the mouse capture).
    static constexpr int32_t kMouseCancel = 5;
    static constexpr int32_t kMouseHover = 6;

    // Modifier bits passed with mouse input.
    static constexpr int32_t kModifierShift = 0x2;
    static constexpr int32_t kModifierAlt = 0x8;
    static constexpr int32_t kModifierControl = 0x10;

    UICustomControlBase() = default;
    virtual ~UICustomControlBase() = default;
    UICustomControlBase(const UICustomControlBase&) = delete;
    UICustomControlBase& operator=(const UICustomControlBase&) = delete;

    // Draws the control through the context, whose origin is the control's content origin and
    // whose clip is the control's visible part.
    virtual void Draw(RazaGraf& graf);
    // A mouse event at a point in the control's content coordinates; true when consumed.
    virtual bool HandleMouse(Vector2i point, int32_t modifiers, int32_t phase);
    // A right-button press: the point in content coordinates and on the screen; true when consumed.
    virtual bool HandleContextClick(Vector2i point, Vector2i screenPoint);
    virtual void SetAppearingActive(bool active);
    // The pointer left the control.
    virtual void MouseExited();

    bool IsWindowless() const { return compositingHint == kWindowlessHint; }

    // The windowless child that holds the keyboard focus inside this control, or null.
    UICustomControlBase* focusedChild = nullptr;
    int32_t compositingHint = 0;
    // Receives pointer moves without a pressed button and is told when the pointer leaves.
    uint8_t tracksHover = 0;
    // How many windowless descendants receive activation (or contain such).
    int32_t activationDescendants = 0;
    uint8_t receivesActivation = 0;
    // The state IsAppearingActive reports.
    uint8_t appearingActive = 0;
};
