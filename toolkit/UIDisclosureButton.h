#pragma once

#include "foundation/CXReferenceCount.h"
#include "toolkit/UIBitmap.h"
#include "toolkit/UICustomControl.h"

#include <functional>
#include <utility>

// An open/closed toggle drawn with one of two pictures, "disclosure-open.bmp" and
// "disclosure-closed.bmp" from the data folder (loaded when the button is made; a missing one
// draws nothing). A release inside toggles it. Windowless; it hits over its whole frame. Main
// thread only.
class UIDisclosureButton : public UICustomControl {
public:
    static constexpr const char* kChangedMessage = "UIDisclosureButton::changed";

    // Closed, windowless.
    UIDisclosureButton();
    ~UIDisclosureButton() override = default;

    // A change of state is drawn, sent as kChangedMessage (from the button) to its own handlers
    // and then told to the callback; setting the current state does nothing. The button may be
    // destroyed by either; the callback is not called then.
    void SetOpen(bool open);
    bool IsOpen() const { return fOpen != 0; }
    // Called after each change; empty for none.
    void SetOnChange(std::function<void()> onChange) { fOnChange = std::move(onChange); }

    // --- UICustomControlBase ---
    // Hit: the whole frame; other kinds as for any control.
    RazaRegion GetRegion(int32_t kind) override;
    // The default drawing, then the picture of the state over the whole button.
    void Draw(RazaGraf& graf) override;
    // A release inside toggles the state. True.
    bool HandleMouse(Vector2i point, int32_t modifiers, int32_t phase) override;

private:
    uint8_t fOpen = 0;
    std::function<void()> fOnChange;
    CXAutoReference<UIBitmap> fClosedBitmap;
    CXAutoReference<UIBitmap> fOpenBitmap;
};
