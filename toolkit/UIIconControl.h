#pragma once

#include "foundation/CXReferenceCount.h"
#include "foundation/CXString.h"
#include "toolkit/UIBitmap.h"
#include "toolkit/UICustomControl.h"

#include <cstdint>

// A picture read from a bitmap file ("bmp" or "raw"), stretched over the control; without one it
// shows a reddish placeholder. Presses, drags and clicks are posted to the icon itself for a later
// pass of the main loop, and from there travel up its parents, so a handler may destroy the icon
// or its page. Each message has the icon as its source, the press point and the event's point
// (icon coordinates) as its four arguments "pressX", "pressY", "x", "y" in decimal, and the
// modifiers as its integer. Windowless (hint 3): its parent draws it. Main thread only.
class UIIconControl : public UICustomControl {
public:
    // The posted message names.
    static constexpr const char* kMouseDownMessage = "UIIconControl::mousedown";
    static constexpr const char* kDragMessage = "UIIconControl::drag";
    // The distance from the press at which a move counts as a drag.
    static constexpr int64_t kDragDistance = 9;

    // No picture, action "click", windowless.
    UIIconControl();
    ~UIIconControl() override;

    // Reads the picture at the path (program path; the extension, in any letter case, picks the
    // reader). A file that cannot be read, or of another extension, leaves the icon without a
    // picture. The icon is drawn again.
    void SetIcon(const CXString& path);
    // The message posted on a click instead of "click".
    void SetActionName(const CXString& name) { fActionName = name; }
    const CXString& GetActionName() const { return fActionName; }
    // With true the icon has no hit region, so presses reach what lies beneath it.
    void SetNoHitRegion(bool noHitRegion) { fNoHitRegion = noHitRegion ? 1 : 0; }
    // The picture shown; null without one. Borrowed.
    UIBitmap* GetBitmap() const { return fBitmap.get(); }

    // --- UIElement ---
    // The element's layout, then the icon is drawn again.
    void LayoutChildren() override;

    // --- UICustomControlBase ---
    // The hit region is the bounds, or empty when set so; other kinds as for any control.
    RazaRegion GetRegion(int32_t kind) override;
    // The picture stretched over {0, 0, width, height} after the default drawing; without one
    // only the placeholder fill.
    void Draw(RazaGraf& graf) override;
    // Press and double-click press: remembers the point and posts the mouse-down message; drag:
    // posts the drag message from kDragDistance on; release inside {0, 0, width, height}: posts
    // the action name. True.
    bool HandleMouse(Vector2i point, int32_t modifiers, int32_t phase) override;

private:
    void Post(const CXString& name, Vector2i point, int32_t modifiers);

    // Held while set; a reference of the shared bitmap cache.
    CXAutoReference<UIBitmap> fBitmap;
    CXString fActionName{"click"};
    uint8_t fNoHitRegion = 0;
    Vector2i fPressPoint;
};
