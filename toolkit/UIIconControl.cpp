#include "toolkit/UIIconControl.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMessagePost.h"
#include "foundation/CXThread.h"
#include "foundation/CXTime.h"
#include "toolkit/RazaGraf.h"

#include <string>
#include <vector>

namespace {

constexpr CXColor kPlaceholderColor{0.8f, 0.4f, 0.4f, 1.0f};
constexpr CXColor kOpaque{1.0f, 1.0f, 1.0f, 1.0f};

} // namespace

UIIconControl::UIIconControl()
{
    SetCompositingHint(kWindowlessHint);
}

UIIconControl::~UIIconControl() = default;

void UIIconControl::SetIcon(const CXString& path)
{
    if (!CXThread::IsMainThread())
        CXDebugError("UIIconControl::SetIcon> called on background thread");
    fBitmap = UIBitmap::Load(path);
    InvalidateAll();
}

void UIIconControl::LayoutChildren()
{
    UICustomControl::LayoutChildren();
    InvalidateAll();
}

RazaRegion UIIconControl::GetRegion(int32_t kind)
{
    if (kind != kRegionHit)
        return UICustomControl::GetRegion(kind);
    if (fNoHitRegion)
        return RazaRegion();
    return RazaRegion(Box2i{0, 0, GetWidth(), GetHeight(), false});
}

void UIIconControl::Draw(RazaGraf& graf)
{
    const Box2i whole{0, 0, GetWidth(), GetHeight(), false};
    if (!fBitmap || !fBitmap->IsCreated()) {
        graf.FillBox(whole, kPlaceholderColor);
        return;
    }
    UICustomControl::Draw(graf);
    graf.DrawBitmap(*fBitmap, whole, kOpaque);
}

bool UIIconControl::HandleMouse(Vector2i point, int32_t modifiers, int32_t phase)
{
    switch (phase) {
    case kMousePress:
    case kMouseDoubleClick:
        fPressPoint = point;
        Post(kMouseDownMessage, point, modifiers);
        break;
    case kMouseDrag:
        if (ApproximateDistance(point - fPressPoint) >= kDragDistance)
            Post(kDragMessage, point, modifiers);
        break;
    case kMouseRelease:
        if (point.x >= 0 && point.x < GetWidth() && point.y >= 0 && point.y < GetHeight())
            Post(fActionName, point, modifiers);
        break;
    default:
        break;
    }
    return true;
}

void UIIconControl::Post(const CXString& name, Vector2i point, int32_t modifiers)
{
    auto number = [](int32_t value) { return CXString(std::to_string(value).c_str()); };
    // A plain message: the queue deletes what it holds as a CXMessage.
    auto* message = new CXMessage(
        name, this, std::vector<CXString>{number(fPressPoint.x), number(fPressPoint.y), number(point.x), number(point.y)});
    message->SetInteger(modifiers);
    CXMessagePost::GetSingleton().Post(this, message, nullptr, CXTime::GetCurrentTimestamp());
}
