#include "toolkit/UIPaneView.h"

#include "foundation/CXSafePointer.h"
#include "win32/user/User.h"

#include <algorithm>
#include <vector>

using namespace win32;

UIPaneView::UIPaneView()
{
    fNormalCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(IDC_ARROW));
    fDraggingCursor = fNormalCursor;
    fShownCursor = fNormalCursor;
    // Hovering over a divider shows the dragging cursor.
    SetTracksHover(true);
}

void UIPaneView::AddPane(UIElement* element, int32_t size, int32_t minimumSize, bool flexible)
{
    if (element == nullptr)
        return;
    if (fPanes.count() > 0) {
        auto* divider = new UIElement;
        divider->Init();
        AddChild(divider, nullptr);
        fPanes[fPanes.count() - 1].divider = divider;
    }
    AddChild(element, nullptr);
    fPanes.Append(Pane{element, size, minimumSize, static_cast<uint8_t>(flexible ? 1 : 0), nullptr});
}

void UIPaneView::SetOrientation(int32_t orientation)
{
    fOrientation = orientation;
    LayoutPanes(true);
}

void UIPaneView::SetOverlay(UIElement* overlay)
{
    fOverlay = overlay;
    if (overlay != nullptr)
        AddChild(overlay, nullptr);
}

void UIPaneView::SetCursors(HCURSOR normal, HCURSOR dragging)
{
    fNormalCursor = normal;
    fDraggingCursor = dragging;
    fShownCursor = fHeldDivider != -1 ? fDraggingCursor : fNormalCursor;
}

// --- Layout ---

Box2i UIPaneView::GetBounds() const
{
    int32_t along = kDividerSize * std::max<int32_t>(static_cast<int32_t>(fPanes.count()) - 1, 0);
    int32_t across = 0;
    for (uint64_t i = 0; i < fPanes.count(); ++i) {
        const UIElement* pane = fPanes[i].element;
        along += fOrientation == kVertical ? pane->GetHeight() : pane->GetWidth();
        across = std::max(across, fOrientation == kVertical ? pane->GetWidth() : pane->GetHeight());
    }
    if (fOrientation == kVertical)
        return {0, 0, across, along, false};
    return {0, 0, along, across, false};
}

void UIPaneView::LayoutChildren()
{
    UICustomControl::LayoutChildren();
    LayoutPanes(true);
}

void UIPaneView::LayoutPanes(bool forced)
{
    const int32_t extent = fOrientation == kVertical ? GetHeight() : GetWidth();
    if (extent <= 0)
        return;
    const bool changed = DistributeSizes(extent);
    if (changed || forced) {
        CXSafePointer<UIElement> alive(this);
        (void)HandleMessage(CXMessage(kResizedMessage, this));
        if (!alive)
            return;
    }
    if (fOverlay != nullptr && LastChild() != fOverlay)
        AddChild(fOverlay, nullptr);
    InvalidateAll();
}

void UIPaneView::PlacePane(Pane& pane, int32_t position, int32_t size)
{
    UIElement* divider = pane.divider;
    if (fOrientation == kVertical) {
        pane.element->SetLayout(0, position, 0, position + size, 2, 0);
        if (divider != nullptr)
            divider->SetLayout(0, position + size, 0, position + size + kDividerSize, 2, 0);
    } else {
        pane.element->SetLayout(position, 0, position + size, 0, 0, 2);
        if (divider != nullptr)
            divider->SetLayout(position + size, 0, position + size + kDividerSize, 0, 0, 2);
    }
}

bool UIPaneView::DistributeSizes(int32_t extent)
{
    const int64_t count = static_cast<int64_t>(fPanes.count());
    if (count == 0)
        return false;
    std::vector<int32_t> before;
    for (int64_t i = 0; i < count; ++i)
        before.push_back(fPanes[i].size);
    const int64_t available = extent - kDividerSize * (count - 1);
    int64_t flexibleSizes = 0;
    int64_t flexibleMinimums = 0;
    int64_t remaining = available;
    for (int64_t i = 0; i < count; ++i) {
        if (i == fCollapsingPane)
            continue;
        Pane& pane = fPanes[i];
        pane.size = std::max(pane.size, pane.minimumSize);
        if (pane.flexible) {
            flexibleSizes += pane.size;
            flexibleMinimums += pane.minimumSize;
        } else {
            remaining -= pane.size;
        }
    }
    int32_t position = 0;
    for (int64_t i = 0; i < count; ++i) {
        Pane& pane = fPanes[i];
        if (i == fCollapsingPane) {
            pane.size = 0;
            pane.element->SetVisible(false);
            pane.element->SetLayout(0, 0, 0, 0, 0, 0);
            if (pane.divider != nullptr) {
                pane.divider->SetVisible(false);
                pane.divider->SetLayout(0, 0, 0, 0, 0, 0);
            }
            continue;
        }
        int64_t size;
        if (i == count - 1)
            size = extent - position;
        else if (!pane.flexible)
            size = pane.size;
        else if (available <= 0)
            size = 0;
        else if (remaining <= 0)
            // With every flexible minimum 0 there is nothing to share out by: each keeps its minimum.
            size = flexibleMinimums <= 0 ? pane.minimumSize : pane.minimumSize * available / flexibleMinimums;
        else if (flexibleSizes <= 0)
            size = remaining / count + pane.minimumSize;
        else
            size = std::max<int64_t>(pane.size * remaining / flexibleSizes, pane.minimumSize);
        pane.size = static_cast<int32_t>(std::max<int64_t>(size, 0));
        pane.element->SetVisible(true);
        if (pane.divider != nullptr)
            pane.divider->SetVisible(true);
        PlacePane(pane, position, pane.size);
        position += pane.size + kDividerSize;
    }
    for (int64_t i = 0; i < count; ++i) {
        if (fPanes[i].size != before[static_cast<size_t>(i)])
            return true;
    }
    return false;
}

// --- Mouse ---

int32_t UIPaneView::PanePosition(size_t index) const
{
    const Box2i frame = fPanes[index].element->GetFrame();
    return fOrientation == kVertical ? frame.top : frame.left;
}

int32_t UIPaneView::Along(Vector2i point) const
{
    return fOrientation == kVertical ? point.y : point.x;
}

void UIPaneView::HoldDividerAt(int32_t coordinate)
{
    fHeldDivider = -1;
    for (size_t i = 0; i < GetPaneCount(); ++i) {
        if (fPanes[i].divider == nullptr)
            continue;
        const int32_t start = PanePosition(i) + fPanes[i].size;
        if (coordinate >= start && coordinate < start + kDividerSize) {
            fHeldDivider = static_cast<int32_t>(i);
            fHeldOffset = coordinate - start;
            return;
        }
    }
}

void UIPaneView::DragDivider(int32_t coordinate)
{
    const auto before = static_cast<size_t>(fHeldDivider);
    if (before + 1 >= GetPaneCount())
        return;
    Pane& first = fPanes[before];
    Pane& second = fPanes[before + 1];
    const int32_t move = coordinate - (PanePosition(before) + first.size) - fHeldOffset;
    const int32_t marked = fCollapsingPane;
    if (fCollapsible) {
        if (first.size + move < kCollapseSize)
            fCollapsingPane = static_cast<int32_t>(before);
        else if (second.size - move < kCollapseSize)
            fCollapsingPane = static_cast<int32_t>(before + 1);
        else
            fCollapsingPane = -1;
    }
    if (fCollapsingPane != -1 && fCollapsingPane == marked)
        return;
    first.size += move;
    second.size -= move;
    LayoutPanes(true);
}

void UIPaneView::RemovePane(size_t index)
{
    Pane pane = fPanes[index];
    fPanes.Remove(index);
    if (pane.divider != nullptr)
        pane.divider->Destroy();
    // The pane before a removed last pane is last now and needs no divider.
    if (index == GetPaneCount() && index > 0 && fPanes[index - 1].divider != nullptr) {
        fPanes[index - 1].divider->Destroy();
        fPanes[index - 1].divider = nullptr;
    }
    pane.element->Destroy();
}

bool UIPaneView::HandleMouse(Vector2i point, int32_t modifiers, int32_t phase)
{
    bool handled = true;
    switch (phase) {
    case kMousePress:
    case kMouseHover:
        HoldDividerAt(Along(point));
        if (fHeldDivider == -1)
            handled = UICustomControl::HandleMouse(point, modifiers, phase);
        break;
    case kMouseDrag:
        if (fHeldDivider != -1)
            DragDivider(Along(point));
        else
            handled = UICustomControl::HandleMouse(point, modifiers, phase);
        break;
    case kMouseRelease:
        if (fHeldDivider == -1)
            handled = UICustomControl::HandleMouse(point, modifiers, phase);
        if (fCollapsingPane != -1) {
            const auto collapsed = static_cast<size_t>(fCollapsingPane);
            fCollapsingPane = -1;
            if (collapsed < GetPaneCount())
                RemovePane(collapsed);
            LayoutPanes(false);
        }
        fHeldDivider = -1;
        break;
    default:
        handled = UICustomControl::HandleMouse(point, modifiers, phase);
        break;
    }
    fShownCursor = fHeldDivider != -1 ? fDraggingCursor : fNormalCursor;
    return handled;
}

void UIPaneView::Destroy()
{
    if (fOverlay != nullptr) {
        UIElement* overlay = fOverlay;
        fOverlay = nullptr;
        overlay->Destroy();
    }
    while (fPanes.count() > 0) {
        Pane pane = fPanes[fPanes.count() - 1];
        fPanes.Remove(fPanes.count() - 1);
        if (pane.divider != nullptr)
            pane.divider->Destroy();
        pane.element->Destroy();
    }
    fHeldDivider = -1;
    fCollapsingPane = -1;
    UICustomControl::Destroy();
}
