#include "toolkit/UILockButton.h"

#include "foundation/CXMessagePost.h"
#include "foundation/CXTime.h"
#include "toolkit/RazaGraf.h"

void UILockButton::SetLocked(bool locked)
{
    if (IsLocked() == locked)
        return;
    fLocked = locked ? 1 : 0;
    InvalidateAll();
}

void UILockButton::SetImages(UIBitmap* lockedImage, UIBitmap* unlockedImage)
{
    fLockedImage.Reference(lockedImage);
    fUnlockedImage.Reference(unlockedImage);
    InvalidateAll();
}

void UILockButton::Draw(RazaGraf& graf)
{
    UICustomControl::Draw(graf);
    UIBitmap* image = fLocked ? fLockedImage.get() : fUnlockedImage.get();
    if (image != nullptr)
        graf.DrawBitmap(*image, Box2i{0, 0, GetWidth(), GetHeight(), false}, CXColor{1.0f, 1.0f, 1.0f, 1.0f});
}

RazaRegion UILockButton::GetRegion(int32_t kind)
{
    if (kind == kRegionHit)
        return RazaRegion(Box2i{0, 0, GetWidth(), GetHeight(), false});
    return UICustomControl::GetRegion(kind);
}

bool UILockButton::HandleMouse(Vector2i point, int32_t, int32_t phase)
{
    if (phase == kMouseRelease && point.x >= 0 && point.x < GetWidth() && point.y >= 0 && point.y < GetHeight()) {
        // The queue owns and deletes the message; the owner's handler may destroy the button.
        CXMessagePost::GetSingleton().Post(this, new CXMessage(kToggleMessage, this), nullptr,
                                           CXTime::GetCurrentTimestamp());
    }
    return true;
}
