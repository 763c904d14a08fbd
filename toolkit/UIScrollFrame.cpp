#include "toolkit/UIScrollFrame.h"

#include "toolkit/RazaGraf.h"
#include "toolkit/UIScrollBase.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

constexpr CXColor kInsetColor{0.5f, 0.5f, 0.5f, 1.0f};
// The change bit of "tree-view-updated" that asks for a new layout.
constexpr int32_t kTreeSizeChanged = 0x2;

// A ring position as whole pixels, clamped to the 32-bit range (positions may be infinite).
int32_t ToPixels(double position)
{
    constexpr double kLowest = std::numeric_limits<int32_t>::min();
    constexpr double kHighest = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::clamp(std::trunc(position), kLowest, kHighest));
}

// a + b without overflow past the 32-bit range.
int32_t AddClamped(int32_t a, int32_t b)
{
    const int64_t sum = static_cast<int64_t>(a) + b;
    return static_cast<int32_t>(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

bool FrameIs(const UIElement& element, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    const Box2i frame = element.GetFrame();
    return frame.left == left && frame.top == top && frame.right == right && frame.bottom == bottom;
}

} // namespace

UIScrollFrame::UIScrollFrame()
{
    SetCompositingHint(4);
}

UIScrollFrame::~UIScrollFrame()
{
    fVerticalAxis.DetachClient();
    fHorizontalAxis.DetachClient();
}

void UIScrollFrame::SetContent(UIElement* content, UIScrollBase* verticalBar)
{
    fContent = content;
    fHorizontalBar = nullptr;
    fVerticalBar = verticalBar;
    fHorizontalAxis.Unlink();
    fVerticalAxis.Unlink();
    if (verticalBar != nullptr)
        verticalBar->GetAxis().AddClient(&fVerticalAxis);
}

void UIScrollFrame::SetHorizontalBar(UIScrollBase* horizontalBar)
{
    fHorizontalBar = horizontalBar;
    fHorizontalAxis.Unlink();
    if (horizontalBar != nullptr)
        horizontalBar->GetAxis().AddClient(&fHorizontalAxis);
}

void UIScrollFrame::SetTreeContent(TreeContent* tree, Header* header)
{
    fTreeContent = tree;
    fHeader = header;
    LayoutContent();
}

void UIScrollFrame::ClearTreeContent()
{
    fTreeContent = nullptr;
    fHeader = nullptr;
    LayoutContent();
}

void UIScrollFrame::SetPlainContent(UIElement* plain)
{
    fPlainContent = plain;
    LayoutContent();
}

void UIScrollFrame::SetInsets(const Box2i& insets)
{
    if (insets == fInsets)
        return;
    fInsets = insets;
    LayoutContent();
}

void UIScrollFrame::SetScrollingDisabled(bool disabled)
{
    if ((fScrollingDisabled != 0) == disabled)
        return;
    fScrollingDisabled = disabled ? 1 : 0;
    LayoutContent();
}

void UIScrollFrame::SetBarThickness(int32_t thickness)
{
    if (thickness == fBarThickness)
        return;
    fBarThickness = thickness;
    LayoutContent();
}

void UIScrollFrame::SetBarAdjust(int32_t horizontalLeft, int32_t verticalTop, int32_t horizontalRight,
                                 int32_t verticalBottom)
{
    fBarAdjust[0] = horizontalLeft;
    fBarAdjust[1] = verticalTop;
    fBarAdjust[2] = horizontalRight;
    fBarAdjust[3] = verticalBottom;
    LayoutContent();
}

int32_t UIScrollFrame::Thickness(const UIScrollBase* bar) const
{
    if (fBarThickness >= 0)
        return fBarThickness;
    return bar != nullptr ? bar->GetThickness() : 0;
}

bool UIScrollFrame::ShowBar(UIScrollBase* bar, const ScrollAxisRef& axis)
{
    if (bar == nullptr)
        return false;
    const bool shown = axis.GetMaximum() > axis.GetMinimum() && !fScrollingDisabled;
    if (UIElement* element = bar->GetElement())
        element->SetVisible(shown);
    return shown;
}

void UIScrollFrame::LayoutContent()
{
    if (fBusy)
        return;
    fBusy = 1;
    const int32_t h = Thickness(fHorizontalBar);
    const int32_t v = Thickness(fVerticalBar);
    const int32_t left = fInsets.left;
    int32_t top = fInsets.top;
    int32_t headerHeight = 0;
    UIElement* header = fHeader != nullptr ? fHeader->GetElement() : nullptr;
    if (header != nullptr) {
        headerHeight = header->IsVisible() ? kHeaderHeight : 0;
        top += headerHeight;
    }
    const int32_t right = GetWidth() - fInsets.right;
    const int32_t bottom = GetHeight() - fInsets.bottom;
    UIElement* tree = fTreeContent != nullptr ? fTreeContent->GetElement() : nullptr;
    const bool placesContent = fContent != nullptr && fContent != tree && fContent != fPlainContent;

    bool horizontalCounted = false;
    bool verticalCounted = false;
    bool horizontalShown = false;
    bool verticalShown = false;
    int32_t contentRight = right;
    int32_t contentBottom = bottom;
    for (int pass = 0; pass < 3; ++pass) {
        contentRight = right;
        if (verticalCounted && !fVerticalBar->OverlaysContent())
            contentRight -= v;
        contentBottom = bottom;
        if (horizontalCounted && !fHorizontalBar->OverlaysContent())
            contentBottom -= h;
        if (header != nullptr && (fContent == nullptr || placesContent))
            header->SetLayout(left, top - headerHeight, right, top, 0, 0);
        if (placesContent)
            fContent->SetLayout(left, top, contentRight, contentBottom, 0, 0);
        UpdateTreeContent(contentRight - left, contentBottom - top, false);
        horizontalShown = ShowBar(fHorizontalBar, fHorizontalAxis);
        verticalShown = ShowBar(fVerticalBar, fVerticalAxis);
        if (horizontalShown == horizontalCounted && verticalShown == verticalCounted)
            break;
        horizontalCounted = horizontalShown;
        verticalCounted = verticalShown;
    }
    UpdateTreeContent(contentRight - left, contentBottom - top, true);

    // The bars reach one pixel past the inner edge.
    if (horizontalShown) {
        if (UIElement* element = fHorizontalBar->GetElement())
            element->SetLayout(left + fBarAdjust[0], bottom - h, contentRight - fBarAdjust[2], bottom + 1, 0, 0);
    }
    if (verticalShown) {
        if (UIElement* element = fVerticalBar->GetElement())
            element->SetLayout(right - v, top + fBarAdjust[1], right + 1, contentBottom - fBarAdjust[3], 0, 0);
    }
    fBusy = 0;
}

void UIScrollFrame::UpdateTreeContent(int32_t visibleWidth, int32_t visibleHeight, bool final)
{
    UIElement* tree = fTreeContent != nullptr ? fTreeContent->GetElement() : nullptr;
    if (fContent != nullptr && tree != nullptr) {
        const int32_t columns = fHeader != nullptr ? fHeader->GetTotalColumnWidth() : 0;
        const int32_t width = std::max(columns, AddClamped(visibleWidth, ToPixels(fHorizontalAxis.GetPosition())));
        int32_t height = fTreeContent->GetRowExtent();
        if (final)
            height = std::max(height, AddClamped(visibleHeight, ToPixels(fVerticalAxis.GetPosition())));
        if (tree->GetWidth() != width || tree->GetHeight() != height)
            tree->SetLayout(0, 0, width, height, 0, 0);
        return;
    }
    if (fPlainContent != nullptr)
        UpdatePlainContent(visibleWidth, visibleHeight);
}

void UIScrollFrame::UpdatePlainContent(int32_t visibleWidth, int32_t visibleHeight)
{
    const int32_t x = ToPixels(fHorizontalAxis.GetPosition());
    const int32_t y = ToPixels(fVerticalAxis.GetPosition());
    const Box2i bounds = fPlainContent->GetBounds();
    const int32_t left = std::min({bounds.left, 0, x});
    const int32_t top = std::min({bounds.top, 0, y});
    const int32_t right = std::max(bounds.right, AddClamped(visibleWidth, x));
    const int32_t bottom = std::max(bounds.bottom, AddClamped(visibleHeight, y));
    if (auto* custom = dynamic_cast<UICustomControl*>(fPlainContent)) {
        if (!FrameIs(*custom, left, top, right, bottom))
            custom->SetLayout(left, top, right, bottom, 0, 0);
        custom->SetContentOrigin({left, top});
        return;
    }
    if (!FrameIs(*fPlainContent, 0, 0, right, bottom))
        fPlainContent->SetLayout(0, 0, right, bottom, 0, 0);
}

CXResultCode UIScrollFrame::HandleMessage(const CXMessage& message)
{
    if (message.GetName() == "tree-view-updated" && (message.GetInteger() & kTreeSizeChanged) != 0) {
        LayoutChildren();
    } else if (message.GetName() == "UIScrollBarCocoa::SystemMetricsChanged") {
        LayoutChildren();
        return kCXOK;
    }
    return UICustomControl::HandleMessage(message);
}

void UIScrollFrame::Destroy()
{
    fTreeContent = nullptr;
    fHeader = nullptr;
    LayoutContent();
    fContent = nullptr;
    fHorizontalBar = nullptr;
    fVerticalBar = nullptr;
    fPlainContent = nullptr;
    fHorizontalAxis.Unlink();
    fVerticalAxis.Unlink();
    UICustomControl::Destroy();
}

void UIScrollFrame::LayoutChildren()
{
    UICustomControl::LayoutChildren();
    LayoutContent();
}

Box2i UIScrollFrame::GetBounds() const
{
    if (fContent == nullptr)
        return UICustomControl::GetBounds();
    Box2i bounds = fContent->GetBounds();
    if (fHeader != nullptr)
        bounds.bottom += kHeaderHeight;
    return bounds;
}

void UIScrollFrame::Draw(RazaGraf& graf)
{
    UICustomControl::Draw(graf);
    const int32_t width = GetWidth();
    const int32_t height = GetHeight();
    const Box2i& in = fInsets;
    if (in.top > 0)
        graf.FillBox({0, 0, width, in.top, false}, kInsetColor);
    if (in.bottom > 0)
        graf.FillBox({0, height - in.bottom, width, height, false}, kInsetColor);
    if (in.left > 0)
        graf.FillBox({0, in.top, in.left, height - in.bottom, false}, kInsetColor);
    if (in.right > 0)
        graf.FillBox({width - in.right, in.top, width, height - in.bottom, false}, kInsetColor);
}

bool UIScrollFrame::GetAxisRange(const ScrollAxisRef& axis, double& minimum, double& maximum, double& page)
{
    minimum = 0;
    maximum = 0;
    page = &axis == &fHorizontalAxis ? GetWidth() : GetHeight();
    return true;
}

void UIScrollFrame::AxisRangeChanged(ScrollAxisRef& axis)
{
    if (axis.IsUnclamped() && fPlainContent != nullptr)
        LayoutContent();
}

void UIScrollFrame::AxisPositionChanged(ScrollAxisRef&)
{
    // Every layout first gives the content the whole area, then takes the bars off again. Done in
    // the middle of the ring's delivery for a plain content view, that resize makes the view
    // publish the position it has not been told yet, undoing the scroll (and re-wraps its text on
    // every step); its layout does not depend on the position, so it is redone only when a bar no
    // longer matches its ring's range.
    if (fTreeContent != nullptr || fPlainContent != nullptr || BarsOutOfStep())
        LayoutContent();
}

bool UIScrollFrame::BarsOutOfStep() const
{
    const std::pair<UIScrollBase*, const ScrollAxisRef*> bars[] = {{fHorizontalBar, &fHorizontalAxis},
                                                                    {fVerticalBar, &fVerticalAxis}};
    for (const auto& [bar, axis] : bars) {
        UIElement* element = bar != nullptr ? bar->GetElement() : nullptr;
        if (element == nullptr)
            continue;
        const bool needed = axis->GetMaximum() > axis->GetMinimum() && !fScrollingDisabled;
        if (needed != element->IsVisible())
            return true;
    }
    return false;
}
