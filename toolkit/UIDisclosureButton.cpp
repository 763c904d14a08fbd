#include "toolkit/UIDisclosureButton.h"

#include "foundation/CXPath.h"
#include "foundation/CXSafePointer.h"
#include "toolkit/RazaGraf.h"

UIDisclosureButton::UIDisclosureButton()
    : fClosedBitmap(UIBitmap::Load(GetDataFolderFilepath("disclosure-closed.bmp")))
    , fOpenBitmap(UIBitmap::Load(GetDataFolderFilepath("disclosure-open.bmp")))
{
    SetCompositingHint(kWindowlessHint);
}

void UIDisclosureButton::SetOpen(bool open)
{
    if (IsOpen() == open)
        return;
    fOpen = open ? 1 : 0;
    InvalidateAll();
    CXSafePointer<UIElement> alive(this);
    (void)HandleMessage(CXMessage(kChangedMessage, this));
    if (!alive || !fOnChange)
        return;
    // A copy, so that a callback that replaces itself runs to its end.
    const std::function<void()> onChange = fOnChange;
    onChange();
}

RazaRegion UIDisclosureButton::GetRegion(int32_t kind)
{
    if (kind == kRegionHit)
        return RazaRegion(Box2i{0, 0, GetWidth(), GetHeight(), false});
    return UICustomControl::GetRegion(kind);
}

void UIDisclosureButton::Draw(RazaGraf& graf)
{
    UICustomControl::Draw(graf);
    UIBitmap* bitmap = fOpen ? fOpenBitmap.get() : fClosedBitmap.get();
    if (bitmap != nullptr)
        graf.DrawBitmap(*bitmap, Box2i{0, 0, GetWidth(), GetHeight(), false}, CXColor{1.0f, 1.0f, 1.0f, 1.0f});
}

bool UIDisclosureButton::HandleMouse(Vector2i point, int32_t, int32_t phase)
{
    if (phase == kMouseRelease && point.x >= 0 && point.y >= 0 && point.x < GetWidth() && point.y < GetHeight())
        SetOpen(!IsOpen());
    return true;
}
