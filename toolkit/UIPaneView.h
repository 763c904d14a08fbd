#pragma once

#include "foundation/CXFastArray.h"
#include "toolkit/UICustomControl.h"

#include <cstdint>

// Lays its panes out in a row (or, with orientation 1, a column) with a 6-pixel divider between
// each two, which the user drags to move size from one pane to the other. Fixed panes keep their
// size; flexible panes share what the fixed ones and the dividers leave in proportion to their
// sizes, never below their minimums; the last pane takes whatever remains. In a collapsible view
// a drag that would leave a pane under 10 pixels hides it, and the release removes it for good.
// After a layout that changed a size (or a forced one) the view sends "UIPaneView::resized-children"
// through its message handling. Destroying the view destroys its panes, dividers and overlay.
// Main thread only.
class UIPaneView : public UICustomControl {
public:
    static constexpr int32_t kDividerSize = 6;
    static constexpr int32_t kCollapseSize = 10;
    static constexpr int32_t kVertical = 1;
    static constexpr const char* kResizedMessage = "UIPaneView::resized-children";

    UIPaneView();
    ~UIPaneView() override = default;

    // Adds the element (initialised by the caller) as the last pane, with its size along the
    // orientation, its minimum and whether it is flexible; the pane before it gets a divider. The
    // panes take their places at the next layout (LayoutPanes). The view owns its panes and the
    // overlay: they go with the view or a collapse, never on their own.
    void AddPane(UIElement* element, int32_t size, int32_t minimumSize, bool flexible);
    size_t GetPaneCount() const { return static_cast<size_t>(fPanes.count()); }
    UIElement* GetPane(size_t index) const { return fPanes[index].element; }
    int32_t GetPaneSize(size_t index) const { return fPanes[index].size; }
    // The divider after the pane, or null (the last pane has none).
    UIElement* GetDivider(size_t index) const { return fPanes[index].divider; }
    // 1 stacks the panes top to bottom; any other value left to right. Laid out again.
    void SetOrientation(int32_t orientation);
    void SetCollapsible(bool collapsible) { fCollapsible = collapsible ? 1 : 0; }
    // An element kept on top of the panes (the view takes it as a child; null for none).
    void SetOverlay(UIElement* overlay);
    // The cursors shown over the panes and while a divider is held. The layer shows no cursor
    // shapes: the view only keeps which one it shows.
    void SetCursors(win32::HCURSOR normal, win32::HCURSOR dragging);
    win32::HCURSOR GetShownCursor() const { return fShownCursor; }
    // The divider held (-1: none) and the pane a drag would collapse (-1: none).
    int32_t GetHeldDivider() const { return fHeldDivider; }
    int32_t GetCollapsingPane() const { return fCollapsingPane; }

    // Distributes the extent (height or width) over the panes; nothing without one. When a size
    // changed, or when forced, sends the resized message; then puts the overlay on top and
    // repaints.
    void LayoutPanes(bool forced);

    // --- UIElement ---
    // Along the orientation the panes' sizes and the dividers, across it the largest pane.
    Box2i GetBounds() const override;
    // The element's own layout, then the panes' (forced).
    void LayoutChildren() override;
    // The overlay, every pane and every divider destroyed first.
    void Destroy() override;

    // --- UICustomControlBase ---
    // A press or hover over a divider holds it; a drag moves it; the release removes a collapsed
    // pane. Anything away from the dividers goes to the windowless panes.
    bool HandleMouse(Vector2i point, int32_t modifiers, int32_t phase) override;

private:
    struct Pane {
        UIElement* element;
        int32_t size;
        int32_t minimumSize;
        uint8_t flexible;
        UIElement* divider;
    };

    // The sizes of the walk described in the class comment; true when a size changed.
    bool DistributeSizes(int32_t extent);
    void PlacePane(Pane& pane, int32_t position, int32_t size);
    // The near edge of a pane's frame along the orientation, and a point's coordinate along it.
    int32_t PanePosition(size_t index) const;
    int32_t Along(Vector2i point) const;
    void HoldDividerAt(int32_t coordinate);
    void DragDivider(int32_t coordinate);
    void RemovePane(size_t index);

    FastArray<Pane> fPanes;
    int32_t fOrientation = 0;
    uint8_t fCollapsible = 0;
    int32_t fHeldDivider = -1;
    int32_t fHeldOffset = 0;
    int32_t fCollapsingPane = -1;
    UIElement* fOverlay = nullptr;
    win32::HCURSOR fNormalCursor = nullptr;
    win32::HCURSOR fDraggingCursor = nullptr;
    win32::HCURSOR fShownCursor = nullptr;
};
