#pragma once

#include "foundation/CXMessage.h"
#include "toolkit/ScrollAxisRef.h"
#include "toolkit/UICustomControl.h"

#include <cstdint>

class UIScrollBase;

// A frame that shows one content element inside optional insets, with a horizontal and a vertical
// scroll bar beside it while the frame's scroll ring on that axis has a range (maximum above
// minimum). The frame is a member of each ring it takes part in: it needs no range, only its size
// as the page. A position change lays it out again when the content follows the positions (tree
// or plain content) or a bar no longer matches its ring's range.
//
// The caller adds the content and the bars as children, gives them to the frame (SetContent,
// SetHorizontalBar) and links the content's axes with the bars' axes; the frame joins its own axes
// to the bars' rings. Two further kinds of content are placed from the scroll positions instead:
// a tree, sized from its rows (with a column header of 24 pixels above the content), and a plain
// element that grows to cover every position shown. Drawn straight without a background (hint 4):
// only the insets are filled, grey. Main thread only.
class UIScrollFrame : public UICustomControl, public Scrollable {
public:
    // The height of a shown column header.
    static constexpr int32_t kHeaderHeight = 24;

    // A tree the frame sizes from its rows (a tree view implements it).
    class TreeContent {
    public:
        virtual ~TreeContent() = default;
        virtual UIElement* GetElement() = 0;
        // The height of all its rows.
        virtual int32_t GetRowExtent() const = 0;
    };
    // The column header shown above the content.
    class Header {
    public:
        virtual ~Header() = default;
        virtual UIElement* GetElement() = 0;
        // The width of all its columns.
        virtual int32_t GetTotalColumnWidth() const = 0;
    };

    // No content, no bars, no insets; both axes rings of their own.
    UIScrollFrame();
    // Both axes leave their rings, the vertical one first.
    ~UIScrollFrame() override;

    // The content and the vertical bar (either may be null, both borrowed: they stay alive while
    // set, as the frame's children do until its Destroy forgets them); the horizontal bar is
    // forgotten. Both frame axes leave their rings, and the vertical one joins the bar's ring. The
    // caller lays out (LayoutContent) once the children are added.
    void SetContent(UIElement* content, UIScrollBase* verticalBar);
    // The horizontal bar (borrowed; null for none), after SetContent: the frame's horizontal axis
    // leaves its ring and joins the bar's ring.
    void SetHorizontalBar(UIScrollBase* horizontalBar);
    // A tree with an optional header (borrowed; the caller adds them as children). The tree is
    // laid out at (0, 0) with its rows' height and at least the visible size plus the scroll
    // position. Laid out again.
    void SetTreeContent(TreeContent* tree, Header* header);
    // Forgets the tree and the header and lays out again.
    void ClearTreeContent();
    // An element that grows to cover the area shown at the current positions (borrowed). A custom
    // control gets the covered area as its frame and its top-left as its content origin. Laid out
    // again.
    void SetPlainContent(UIElement* plain);
    // Stores the insets (their edges and empty flag) and lays out again when any changed.
    void SetInsets(const Box2i& insets);
    // No bar is shown while scrolling is disabled. Laid out again when changed.
    void SetScrollingDisabled(bool disabled);
    // A fixed bar thickness; negative asks each bar (GetThickness). Laid out again when changed.
    void SetBarThickness(int32_t thickness);
    // Pixels taken off the bars' ends: added to the horizontal bar's left edge and the vertical
    // bar's top edge, taken from the horizontal bar's right edge and the vertical bar's bottom
    // edge. Laid out again.
    void SetBarAdjust(int32_t horizontalLeft, int32_t verticalTop, int32_t horizontalRight, int32_t verticalBottom);

    // Places the header, the content and the bars for the size, the insets and the rings' ranges,
    // in at most three passes (a bar that appears can make the other one needed). A call made
    // while one runs returns at once.
    void LayoutContent();

    UIElement* GetContent() const { return fContent; }
    UIScrollBase* GetHorizontalBar() const { return fHorizontalBar; }
    UIScrollBase* GetVerticalBar() const { return fVerticalBar; }
    ScrollAxisRef& GetHorizontalAxis() { return fHorizontalAxis; }
    ScrollAxisRef& GetVerticalAxis() { return fVerticalAxis; }

    // --- UIElement ---
    // "tree-view-updated" with change bit 0x2: laid out again, then passed on.
    // "UIScrollBarCocoa::SystemMetricsChanged": laid out again, consumed.
    CXResultCode HandleMessage(const CXMessage& message) override;
    // Forgets the tree, the header, the content and the bars, and leaves the rings.
    void Destroy() override;
    // The element's layout, then LayoutContent.
    void LayoutChildren() override;
    // With content: the content's bounds, kHeaderHeight taller with a header.
    Box2i GetBounds() const override;

    // --- UICustomControlBase ---
    // The default drawing, then each positive inset filled grey.
    void Draw(RazaGraf& graf) override;

    // --- Scrollable ---
    // [0, 0] with the frame's width or height as the page; true.
    bool GetAxisRange(const ScrollAxisRef& axis, double& minimum, double& maximum, double& page) override;
    // Lays out again for plain content on an unclamped axis.
    void AxisRangeChanged(ScrollAxisRef& axis) override;
    // Lays out again for tree or plain content, which follow the positions, and when a bar's
    // shown state no longer matches its ring's range.
    void AxisPositionChanged(ScrollAxisRef& axis) override;

private:
    // Sizes the tree or the plain content for the visible size (final: the last pass).
    void UpdateTreeContent(int32_t visibleWidth, int32_t visibleHeight, bool final);
    void UpdatePlainContent(int32_t visibleWidth, int32_t visibleHeight);
    // The bar's element shows or hides; answers whether it is shown now.
    bool ShowBar(UIScrollBase* bar, const ScrollAxisRef& axis);
    int32_t Thickness(const UIScrollBase* bar) const;
    // A bar is shown without a range on its ring, or hidden with one.
    bool BarsOutOfStep() const;

    UIElement* fContent = nullptr;
    UIScrollBase* fHorizontalBar = nullptr;
    UIScrollBase* fVerticalBar = nullptr;
    UIElement* fPlainContent = nullptr;
    TreeContent* fTreeContent = nullptr;
    Header* fHeader = nullptr;
    ScrollAxisRef fHorizontalAxis{this};
    ScrollAxisRef fVerticalAxis{this};
    int32_t fBarThickness = -1;
    uint8_t fBusy = 0;
    uint8_t fScrollingDisabled = 0;
    Box2i fInsets;
    // Horizontal left, vertical top, horizontal right, vertical bottom.
    int32_t fBarAdjust[4] = {};
};
