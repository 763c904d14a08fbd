#pragma once

#include "foundation/CXReferenceCount.h"
#include "foundation/CXString.h"
#include "toolkit/Box2i.h"
#include "toolkit/RazaRegion.h"

#include <cstdint>
#include <map>
#include <vector>

class RazaGraf;
struct UIScrollWheelEvent;

// The custom-drawn part of a control that the toolkit draws itself: its drawing, its mouse,
// keyboard and wheel behaviour, and the state it shares with the windowless controls it holds.
// A windowless control (drawn by its parent) has no window of its own: the nearest window or
// custom-drawn control draws it, routes the mouse to it and gives it the keyboard focus.
//
// The operations here do nothing (or answer false or an empty region); UICustomControl gives them
// their behaviour. Main thread only.
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

    // Modifier bits passed with mouse, key and text input.
    static constexpr int32_t kModifierShift = 0x2;
    static constexpr int32_t kModifierAlt = 0x8;
    static constexpr int32_t kModifierControl = 0x10;

    // Region kinds of GetRegion.
    static constexpr int32_t kRegionHit = 0;
    static constexpr int32_t kRegionDrawn = 1;

    // Flags of HandleKey.
    static constexpr int32_t kKeyPressed = 0x400;
    static constexpr int32_t kKeyReleased = 0x800;

    UICustomControlBase() = default;
    virtual ~UICustomControlBase() = default;
    UICustomControlBase(const UICustomControlBase&) = delete;
    UICustomControlBase& operator=(const UICustomControlBase&) = delete;

    // Invalidation in the control's content coordinates.
    virtual void InvalidateRegion(const RazaRegion& region);
    virtual void InvalidateBox(const Box2i& box);
    virtual void InvalidateAll();
    // A drawing context for drawing outside a paint pass; null here.
    virtual CXAutoReference<RazaGraf> CreateGraf();
    // The control's region of a kind (kRegionHit, kRegionDrawn), in its own coordinates.
    virtual RazaRegion GetRegion(int32_t kind);
    // Draws the control through the context, whose origin is the control's content origin and
    // whose clip is the control's visible part.
    virtual void Draw(RazaGraf& graf);
    // A mouse event at a point in the control's content coordinates; true when consumed.
    virtual bool HandleMouse(Vector2i point, int32_t modifiers, int32_t phase);
    // A right-button press: the point in content coordinates and on the screen; true when consumed.
    virtual bool HandleContextClick(Vector2i point, Vector2i screenPoint);
    // A wheel turn at a point in content coordinates; true when consumed.
    virtual bool HandleWheel(const UIScrollWheelEvent& wheel);
    virtual void SetAppearingActive(bool active);
    // Gives the control's window the keyboard focus.
    virtual void TakeNativeFocus();
    virtual void GotKeyboardFocus();
    virtual void LostKeyboardFocus();
    // Typed text: byteLength bytes of UTF-16 (one character, a surrogate pair whole), followed by
    // a 16-bit NUL; modifiers as above. True when consumed.
    virtual bool HandleText(const char16_t* text, int32_t byteLength, int32_t modifiers);
    virtual void NoOperation();
    // A key went down (kKeyPressed) or up (kKeyReleased); true when consumed.
    virtual bool HandleKey(int32_t virtualKey, int32_t flags);
    // Makes the control a drop target once it or a windowless descendant accepts drag types.
    virtual void UpdateDropRegistration();
    // Called after the control's hover tracking or its count of hover-tracking descendants changed.
    virtual void HoverTrackingChanged();
    // Called with false before and true after the count of activation descendants changes.
    virtual void ActivationTrackingChanged(bool after);
    // The pointer entered the control (point in its coordinates); calls MouseEnteredHook.
    virtual void MouseEntered(Vector2i point);
    // The pointer left the control.
    virtual void MouseExited();
    virtual void MouseEnteredHook(Vector2i point);
    virtual void SetCompositingHint(int32_t hint);
    // True when the control is drawn by its parent rather than by a window of its own: here, when
    // its hint is the windowless one.
    virtual bool IsWindowless() const { return compositingHint == kWindowlessHint; }

    int32_t GetCompositingHint() const { return compositingHint; }

    // The windowless child that holds the keyboard focus inside this control, or null.
    UICustomControlBase* focusedChild = nullptr;
    // The windowless child that receives the current mouse sequence, or null.
    UICustomControlBase* trackedChild = nullptr;
    int32_t compositingHint = 0;
    // Receives pointer moves without a pressed button and is told when the pointer enters and
    // leaves.
    uint8_t tracksHover = 0;
    // The drag-data types this control accepts.
    std::vector<CXString> dragTypes;
    // For every type: how many windowless descendants accept it.
    std::map<CXString, int32_t> descendantDragTypes;
    // How many windowless descendants track hover (or contain such).
    int32_t hoverDescendants = 0;
    // How many windowless descendants receive activation (or contain such).
    int32_t activationDescendants = 0;
    uint8_t receivesActivation = 0;
    // The state IsAppearingActive reports.
    uint8_t appearingActive = 0;
    // A change of the content origin repaints the whole control instead of moving its pixels.
    uint8_t redrawOnScroll = 0;
    // The scroll offset of the content.
    Vector2i contentOrigin;
    // This control's drag types and counters are counted in its parent now.
    uint8_t attachedToParent = 0;
};
