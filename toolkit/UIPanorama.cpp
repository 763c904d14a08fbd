#include "toolkit/UIPanorama.h"

#include "foundation/CXDebug.h"
#include "toolkit/RazaGraf.h"
#include "toolkit/UIAppearance.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The compositing hint of a control drawn straight onto what lies beneath it.
constexpr int32_t kTransparentHint = 4;

int32_t ClampToInt32(double value)
{
    constexpr double kLow = std::numeric_limits<int32_t>::min();
    constexpr double kHigh = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::lround(std::clamp(value, kLow, kHigh)));
}

// The least scroll along one axis that brings [nearEdge, farEdge) into [0, size).
int32_t LeastScroll(int32_t nearEdge, int32_t farEdge, int32_t size)
{
    if (nearEdge < 0 && farEdge <= size)
        return nearEdge;
    if (farEdge > size && nearEdge >= 0)
        return farEdge - size;
    return 0;
}

} // namespace

UIPanorama::UIPanorama() = default;

UIPanorama::~UIPanorama() = default;

void UIPanorama::BeginBatch()
{
    ++fBatchDepth;
}

void UIPanorama::EndBatch()
{
    if (fBatchDepth <= 0) {
        CXDebugError("UIPanorama::EndBatch> no batch is open");
        return;
    }
    if (--fBatchDepth == 0 && (fPending & kContentSizePending) != 0)
        UpdateContentSize();
}

void UIPanorama::RequestScroll(double dx, double dy)
{
    const double oldX = fHorizontalAxis.GetPosition();
    const double oldY = fVerticalAxis.GetPosition();
    fHorizontalAxis.SetPosition(oldX - dx);
    fVerticalAxis.SetPosition(oldY - dy);
    const double restX = dx - (oldX - fHorizontalAxis.GetPosition());
    const double restY = dy - (oldY - fVerticalAxis.GetPosition());
    if (std::fabs(restX) < 1.0 && std::fabs(restY) < 1.0)
        return;
    UIElement* parent = GetParent();
    while (parent != nullptr && parent->IsAdapter())
        parent = parent->GetParent();
    if (auto* outer = dynamic_cast<UIPanorama*>(parent))
        outer->RequestScroll(restX, restY);
}

void UIPanorama::SetIncludeScrollOffset(bool include)
{
    if (fIncludeScrollOffset == (include ? 1 : 0))
        return;
    fIncludeScrollOffset = include ? 1 : 0;
    UpdateContentSize();
}

void UIPanorama::SetFitContentToView(bool fit)
{
    if (fFitContentToView == (fit ? 1 : 0))
        return;
    fFitContentToView = fit ? 1 : 0;
    UpdateContentSize();
}

void UIPanorama::SetScrollsHorizontally(bool scrolls)
{
    if (fScrollsHorizontally == (scrolls ? 1 : 0))
        return;
    fScrollsHorizontally = scrolls ? 1 : 0;
    UpdateContentSize();
}

void UIPanorama::SetScrollsVertically(bool scrolls)
{
    if (fScrollsVertically == (scrolls ? 1 : 0))
        return;
    fScrollsVertically = scrolls ? 1 : 0;
    UpdateContentSize();
}

void UIPanorama::SetColor(const CXColor& color)
{
    if (color == fColor)
        return;
    fColor = color;
    InvalidateAll();
}

// --- Content size ---

void UIPanorama::UpdateContentSize()
{
    if (fDestroying)
        return;
    if (fBatchDepth > 0) {
        fPending |= kContentSizePending;
        return;
    }
    fPending &= static_cast<uint8_t>(~kContentSizePending);
    ComputeContentSize();
}

void UIPanorama::ComputeContentSize()
{
    const bool stick = fKeepAtEnd && fVerticalAxis.GetPosition() >= fVerticalAxis.GetMaximum();
    double width = 0;
    double height = 0;
    if (fFitContentToView) {
        width = ViewWidth();
        height = ViewHeight();
    } else {
        if (fIncludeScrollOffset && IsShown()) {
            width = ViewWidth() + fHorizontalAxis.GetPosition();
            height = ViewHeight() + fVerticalAxis.GetPosition();
        }
        for (UIElement* child = FirstChild(); child != nullptr; child = child->NextSibling()) {
            if (!child->IsVisible())
                continue;
            const Box2i frame = child->GetFrame();
            width = std::max(width, static_cast<double>(frame.right));
            height = std::max(height, static_cast<double>(frame.bottom));
        }
    }
    fContentWidth = fScrollsHorizontally ? ClampToInt32(width) : 0;
    fContentHeight = fScrollsVertically ? ClampToInt32(height) : 0;
    fHorizontalAxis.Recompute();
    fVerticalAxis.Recompute();
    if (stick)
        fVerticalAxis.SetPosition(fVerticalAxis.GetMaximum());
}

// --- UIElement ---

void UIPanorama::Destroy()
{
    fDestroying = 1;
    UICustomControl::Destroy();
}

int32_t UIPanorama::GetWidth() const
{
    // A content narrower than the view (or none, on an axis that does not scroll) still lays out
    // and draws the children over the whole view.
    return std::max(fContentWidth, ViewWidth());
}

int32_t UIPanorama::GetHeight() const
{
    return std::max(fContentHeight, ViewHeight());
}

void UIPanorama::LayoutChildren()
{
    UICustomControl::LayoutChildren();
    UpdateContentSize();
}

void UIPanorama::ChildrenChanged()
{
    UICustomControl::ChildrenChanged();
    UpdateContentSize();
}

void UIPanorama::ChildLayoutChanged()
{
    UICustomControl::ChildLayoutChanged();
    UpdateContentSize();
}

void UIPanorama::ChildVisibilityChanged()
{
    UICustomControl::ChildVisibilityChanged();
    UpdateContentSize();
}

void UIPanorama::NotifyHierarchyVisibilityChanged(bool shown)
{
    UICustomControl::NotifyHierarchyVisibilityChanged(shown);
    UpdateContentSize();
}

void UIPanorama::ScrollBoxIntoView(const Box2i& box)
{
    const Box2i inView = box.Offset(Vector2i{} - GetContentOrigin());
    const int32_t dx = LeastScroll(inView.left, inView.right, ViewWidth());
    const int32_t dy = LeastScroll(inView.top, inView.bottom, ViewHeight());
    if (dx != 0)
        fHorizontalAxis.ScrollBy(dx);
    if (dy != 0)
        fVerticalAxis.ScrollBy(dy);
    // The base converts with the content origin as it is now.
    UICustomControl::ScrollBoxIntoView(box);
}

// --- Drawing and input ---

RazaRegion UIPanorama::GetRegion(int32_t kind)
{
    return UICustomControl::GetRegion(kind).Intersect(RazaRegion(Box2i{0, 0, ViewWidth(), ViewHeight(), false}));
}

void UIPanorama::Draw(RazaGraf& graf)
{
    const Vector2i origin = GetContentOrigin();
    const Box2i view{origin.x, origin.y, origin.x + ViewWidth(), origin.y + ViewHeight(), false};
    const int32_t hint = GetCompositingHint();
    if (hint == kWindowlessHint || hint == kTransparentHint) {
        if (fColor.alpha > 0.0f)
            graf.FillBox(view, fColor);
    } else if (fColor.alpha > 0.0f) {
        CXColor opaque = fColor;
        opaque.alpha = 1.0f;
        graf.FillBox(view, opaque);
    } else {
        graf.FillBox(view, GetAppearance()->GetColor());
    }
    DrawWindowlessChildren(graf);
}

bool UIPanorama::HandleMouse(Vector2i point, int32_t modifiers, int32_t phase)
{
    if (phase == kMouseDrag) {
        const Vector2i inView = point - GetContentOrigin();
        if (inView.x >= ViewWidth())
            fHorizontalAxis.ScrollBy(kAutoScrollStep);
        else if (inView.x < 0)
            fHorizontalAxis.ScrollBy(-kAutoScrollStep);
        if (inView.y >= ViewHeight())
            fVerticalAxis.ScrollBy(kAutoScrollStep);
        else if (inView.y < 0)
            fVerticalAxis.ScrollBy(-kAutoScrollStep);
    }
    return UICustomControl::HandleMouse(point, modifiers, phase);
}

// --- Scrollable ---

bool UIPanorama::GetAxisRange(const ScrollAxisRef& axis, double& minimum, double& maximum, double& page)
{
    const bool horizontal = &axis == &fHorizontalAxis;
    const int32_t content = horizontal ? fContentWidth : fContentHeight;
    const int32_t visible = horizontal ? ViewWidth() : ViewHeight();
    minimum = 0;
    maximum = std::max(static_cast<double>(content) - visible, 0.0);
    page = visible;
    return true;
}

void UIPanorama::AxisPositionChanged(ScrollAxisRef&)
{
    SetContentOrigin({ClampToInt32(fHorizontalAxis.GetPosition()), ClampToInt32(fVerticalAxis.GetPosition())});
}
