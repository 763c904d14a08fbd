#include "toolkit/UIIconBar.h"

#include "foundation/CXMessagePost.h"
#include "foundation/CXTime.h"
#include "toolkit/RazaGraf.h"

namespace {

constexpr CXColor kOpaque{1.0f, 1.0f, 1.0f, 1.0f};
constexpr CXColor kPlaceholder{1.0f, 0.5f, 0.5f, 1.0f};
constexpr CXColor kPressedShade{0.25f, 0.25f, 0.25f, 0.5f};

} // namespace

UIIconBar::~UIIconBar()
{
    RemoveAllIcons();
}

void UIIconBar::AddIcon(UIBitmap* bitmap, const CXString& messageName)
{
    Icon icon;
    icon.bitmap.Reference(bitmap);
    icon.messageName = messageName;
    fIcons.push_back(std::move(icon));
    InvalidateAll();
}

void UIIconBar::RemoveAllIcons()
{
    fIcons.clear();
    InvalidateAll();
}

RazaRegion UIIconBar::GetRegion(int32_t kind)
{
    switch (kind) {
    case 0:
    case 2:
        return RazaRegion(Box2i{4, 0, 4 + kIconPitch * static_cast<int32_t>(fIcons.size()), GetHeight(), false});
    case 1:
        return RazaRegion();
    default:
        return UICustomControl::GetRegion(kind);
    }
}

void UIIconBar::Draw(RazaGraf& graf)
{
    UICustomControl::Draw(graf);
    for (size_t i = 0; i < fIcons.size(); ++i) {
        const int32_t left = 6 + kIconPitch * static_cast<int32_t>(i);
        const Box2i box{left, 2, left + 16, 18, false};
        if (fIcons[i].bitmap)
            graf.DrawBitmap(*fIcons[i].bitmap, box, kOpaque);
        else
            graf.FillBox(box, kPlaceholder);
        if (static_cast<int32_t>(i) == fPressedIndex && fPressedIndex == fHoverIndex)
            graf.FillBox(box, kPressedShade);
    }
}

int32_t UIIconBar::IconIndexAt(Vector2i point) const
{
    const int32_t index = (point.x - 4) / kIconPitch;
    return index < 0 || index >= static_cast<int32_t>(fIcons.size()) ? -1 : index;
}

bool UIIconBar::HandleMouse(Vector2i point, int32_t, int32_t phase)
{
    const int32_t index = IconIndexAt(point);
    switch (phase) {
    case kMousePress:
    case kMouseDoubleClick:
        if (UIElement* parent = GetParent())
            parent->SetFocus();
        fPressedIndex = index;
        fHoverIndex = index;
        break;
    case kMouseDrag:
        if (index == fHoverIndex)
            return true;
        fHoverIndex = index;
        break;
    case kMouseRelease:
        if (fPressedIndex != -1 && fPressedIndex == index) {
            // The queue owns and deletes the message; the handler may destroy the bar.
            auto* message = new CXMessage(fIcons[static_cast<size_t>(index)].messageName, this);
            CXMessagePost::GetSingleton().Post(this, message, nullptr, CXTime::GetCurrentTimestamp());
        }
        fPressedIndex = -1;
        fHoverIndex = -1;
        break;
    case kMouseCancel:
        fPressedIndex = -1;
        fHoverIndex = -1;
        break;
    default:
        return true;
    }
    InvalidateAll();
    return true;
}
