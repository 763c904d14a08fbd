#pragma once

#include "foundation/CXReferenceCount.h"
#include "toolkit/UIBitmap.h"
#include "toolkit/UICustomControl.h"

// A picture button of two states, locked and unlocked. A click (a release inside the button) asks
// the owner to toggle it: "UILockButton::toggle" is posted to the button and passes up to its
// parents on a later turn of the main loop; the owner that handles it sets the new state. Main
// thread only.
class UILockButton : public UICustomControl {
public:
    static constexpr const char* kToggleMessage = "UILockButton::toggle";

    UILockButton() = default;
    ~UILockButton() override = default;

    // The state shown; the button is drawn again when it changes.
    void SetLocked(bool locked);
    bool IsLocked() const { return fLocked != 0; }
    // The pictures of the two states (the button holds references; null for none).
    void SetImages(UIBitmap* lockedImage, UIBitmap* unlockedImage);

    // --- UICustomControlBase ---
    // The default drawing, then the picture of the state over the whole button; nothing more
    // without it.
    void Draw(RazaGraf& graf) override;
    // Hit: the bounds (0, 0, width, height); other kinds as for any control.
    RazaRegion GetRegion(int32_t kind) override;
    // A release inside the button posts the toggle message. True.
    bool HandleMouse(Vector2i point, int32_t modifiers, int32_t phase) override;

private:
    uint8_t fLocked = 0;
    CXAutoReference<UIBitmap> fLockedImage;
    CXAutoReference<UIBitmap> fUnlockedImage;
};
