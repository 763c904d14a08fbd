#pragma once

#include "toolkit/CXColor.h"
#include "toolkit/ScrollAxisRef.h"
#include "toolkit/UICustomControl.h"

#include <cstdint>

// A scrolling container whose content size follows its children. The content spans at least the
// right and bottom edges of every visible child, and by default at least the view's own size plus
// the scroll position (so scrolling never pulls the content out from under the view). The size is
// worked out again whenever a child is added, removed, re-framed, laid out or shown or hidden, and
// when the view itself is laid out; inside a batch (BeginBatch .. EndBatch) only once, at its end.
//
// Each axis is a ScrollAxisRef with the panorama as its client (range 0 .. content - view, page =
// the view); owners link scroll bars to it. A position change moves the content origin. The width
// and height queries of the element answer the content size, never less than the view's own size
// (GetFrame gives the view). A panorama inside another passes on what it cannot scroll itself.
// Main thread only.
class UIPanorama : public UICustomControl, public Scrollable {
public:
    // Pixels an auto-scroll moves per drag event beyond an edge.
    static constexpr int32_t kAutoScrollStep = 5;

    // Scrolls both ways, includes the scroll offset, does not fit the view, does not keep at end;
    // transparent colour.
    UIPanorama();
    ~UIPanorama() override;

    // While at least one batch is open, content-size updates wait for the last EndBatch. An
    // unmatched EndBatch is reported and ignored.
    void BeginBatch();
    void EndBatch();
    // A child asks for the content to move by (dx, dy): each axis' position goes back by d as far
    // as its range allows; a remainder of at least one pixel on some axis goes to the nearest
    // panorama above as a request of its own.
    void RequestScroll(double dx, double dy);

    // Each setting updates the content size when it changed. Including the scroll offset counts
    // the view's size plus the scroll position in the content while the view is shown.
    void SetIncludeScrollOffset(bool include);
    void SetFitContentToView(bool fit);
    void SetScrollsHorizontally(bool scrolls);
    void SetScrollsVertically(bool scrolls);
    // When set, a view scrolled to the vertical end stays there as the content grows.
    void SetKeepAtEnd(bool keep) { fKeepAtEnd = keep ? 1 : 0; }
    // The background; alpha 0 or less paints no colour of its own (see Draw). Native static texts
    // under the panorama take it as theirs. Drawn again when changed.
    void SetColor(const CXColor& color);
    const CXColor& GetColor() const { return fColor; }

    int32_t GetContentWidth() const { return fContentWidth; }
    int32_t GetContentHeight() const { return fContentHeight; }
    ScrollAxisRef& GetHorizontalAxis() { return fHorizontalAxis; }
    ScrollAxisRef& GetVerticalAxis() { return fVerticalAxis; }

    // --- UIElement ---
    // No more content-size updates: the children go with the panorama.
    void Destroy() override;
    // The content size, at least the view's.
    int32_t GetWidth() const override;
    int32_t GetHeight() const override;
    // The element's layout, then the content size.
    void LayoutChildren() override;
    // Each updates the content size (after the base hook).
    void ChildrenChanged() override;
    void ChildLayoutChanged() override;
    void ChildVisibilityChanged() override;
    // Shown or hidden, the view counts in the content size or not (see SetIncludeScrollOffset).
    void NotifyHierarchyVisibilityChanged(bool shown) override;
    // The box (content coordinates) is brought into the view by the least scroll on each axis:
    // a box starting before the view's near edge whose far edge fits scrolls back to it, one
    // reaching past the far edge whose near edge is not before the view scrolls forward to it,
    // one larger than the view stays. Then the box, where it now is, goes to the parent.
    void ScrollBoxIntoView(const Box2i& box) override;

    // --- UICustomControlBase ---
    // The base's region, cut to the view: the content beyond it is not there to hit or draw.
    RazaRegion GetRegion(int32_t kind) override;
    // With hint 3 or 4 only a colour with alpha above 0 is painted, as it is; otherwise such a
    // colour is painted opaque and a transparent one takes the appearance's colour. The fill
    // covers the view; then the windowless children.
    void Draw(RazaGraf& graf) override;
    // A drag beyond an edge of the view scrolls that axis by kAutoScrollStep towards it, once per
    // event; then the base routing.
    bool HandleMouse(Vector2i point, int32_t modifiers, int32_t phase) override;

    // --- Scrollable ---
    // 0 .. max(content - view, 0), page = the view; true.
    bool GetAxisRange(const ScrollAxisRef& axis, double& minimum, double& maximum, double& page) override;
    // The content origin follows the two positions.
    void AxisPositionChanged(ScrollAxisRef& axis) override;

private:
    static constexpr uint8_t kContentSizePending = 0x1;

    // Works out the content size now, or marks it pending inside a batch.
    void UpdateContentSize();
    void ComputeContentSize();
    int32_t ViewWidth() const { return GetFrame().Width(); }
    int32_t ViewHeight() const { return GetFrame().Height(); }

    ScrollAxisRef fHorizontalAxis{this};
    ScrollAxisRef fVerticalAxis{this};
    CXColor fColor{0.0f, 0.0f, 0.0f, 0.0f};
    int32_t fContentWidth = 0;
    int32_t fContentHeight = 0;
    int32_t fBatchDepth = 0;
    uint8_t fPending = 0;
    uint8_t fIncludeScrollOffset = 1;
    uint8_t fFitContentToView = 0;
    uint8_t fScrollsHorizontally = 1;
    uint8_t fScrollsVertically = 1;
    uint8_t fKeepAtEnd = 0;
    uint8_t fDestroying = 0;
};
