#pragma once

#include "datanode/CXApplicationSettings.h"
#include "foundation/CXMessage.h"
#include "foundation/CXReferenceCount.h"
#include "foundation/CXString.h"
#include "toolkit/Box2i.h"
#include "toolkit/RazaFont.h"
#include "toolkit/ScrollAxisRef.h"
#include "toolkit/UIBitmap.h"
#include "toolkit/UICustomControl.h"

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

class CXMenu;
class RazaGraf;

// One column of a column view.
struct UIColumnViewColumn {
    // Icons shown after the title, drawn in this order from the pictures of the data folder.
    static constexpr uint32_t kIconZoomIn = 0x1;    // "zoom-in-icon.bmp"
    static constexpr uint32_t kIconZoomOut = 0x2;   // "zoom-out-icon.bmp"
    static constexpr uint32_t kIconMoreLeft = 0x4;  // "more-on-left.bmp"
    static constexpr uint32_t kIconMoreRight = 0x8; // "more-on-right.bmp"

    // The application's identifier of the column.
    int32_t columnId = -1;
    CXString title;
    // In pixels; resizing keeps it within minWidth and maxWidth.
    int32_t width = 100;
    int32_t minWidth = 20;
    int32_t maxWidth = 10000;
    // A click on the title sorts by the column.
    uint8_t sortable = 0;
    // The context menu offers to hide it.
    uint8_t removable = 0;
    // The sort key (at most one column) and its direction.
    uint8_t isSortKey = 0;
    uint8_t isAscendingSort = 0;
    // Hidden columns take no room.
    uint8_t isVisible = 1;
    // Offered by the context menu for showing again while hidden.
    uint8_t insertable = 0;
    uint32_t iconFlags = 0;
};

// "prepare-contextual-menu": the view is about to show its context menu. The owner may add items
// to the menu (borrowed; it lives until the menu closes). The integer is the index of the column
// that was clicked, -1 for none.
class UIColumnViewMenuMessage : public CXMessage {
public:
    UIColumnViewMenuMessage(CXMessageTarget* source, CXMenu* menu, int32_t column)
        : CXMessage("prepare-contextual-menu", source)
        , fMenu(menu)
    {
        SetInteger(column);
    }
    CXMenu* GetMenu() const { return fMenu; }

private:
    CXMenu* fMenu;
};

// A column header: a strip of titled columns above a list that scrolls with it horizontally. The
// user resizes a column by dragging its right border (3 pixels either side of it), reorders
// columns by dragging them, sorts by clicking a sortable title, clicks the small icons after a
// title, and hides or shows columns from the context menu. The view sends, with itself as source,
// to its own HandleMessage (its handlers, then up the chain):
//   "UIColumnView-column-position-change"  a column was resized, moved, shown or hidden
//   "UIColumnView-sort-order-change"        the sort key or its direction changed
//   "UIColumnView-icon-click"               a press and release on the same icon: a
//                                           CXMessageDNValueParam with "column-id" and
//                                           "icon-flag" (integers)
//   "prepare-contextual-menu"               a UIColumnViewMenuMessage, before the menu shows
// Every change of the layout marks it changed; a changed layout is saved, when a store is set,
// as the view is destroyed:
//   "version" 4, "columns" a list of folders in column order, each with "column-id", "width",
//   "is-sort-key", "is-ascending-sort" (only for the sort key) and "is-visible".
// The horizontal axis (GetHorizontalAxis) scrolls the columns: its range is the part of the
// visible columns' total width that does not fit the view. Main thread only.
class UIColumnView : public UICustomControl, public Scrollable {
public:
    static constexpr int32_t kLayoutVersion = 4;

    UIColumnView();
    // Saves the layout (SaveColumnSettings), lets the pictures go and leaves the scroll ring.
    ~UIColumnView() override;

    // --- UIElement ---
    // "menu-select" from the context menu's "menu-insert-column" sub-menu shows the chosen hidden
    // column; "contextual-menu-remove-column" hides the column the menu was opened on. Both are
    // consumed (0). The rest goes to UICustomControl.
    CXResultCode HandleMessage(const CXMessage& message) override;
    // The frame, then the scroll range again (the page is the view's width).
    void ApplyLayout() override;

    // --- UICustomControlBase ---
    // The background, then each visible column through DrawColumn, then a grey line along the
    // bottom row.
    void Draw(RazaGraf& graf) override;
    // Press: a press in a border's resize zone starts a resize of that column; elsewhere it marks
    // the column and the icon under it. Drag: resizes within the column's bounds, or, once the
    // pointer moved more than 3 pixels, moves the pressed column to the column it was dragged
    // far enough into (nothing over no column). Release without a resize or a drag: a click on a
    // sortable title sorts by it (a second click flips the direction), a release over the
    // pressed icon sends "icon-click". Cancel: the gesture ends with nothing more done. Hover is
    // not taken (false); the rest is (true).
    bool HandleMouse(Vector2i point, int32_t modifiers, int32_t phase) override;
    // Shows the context menu at the screen point: "contextual-menu-remove-column" when the column
    // under the point may be hidden, and the sub-menu "menu-insert-column" listing the hidden
    // columns that may be shown again. True.
    bool HandleContextClick(Vector2i point, Vector2i screenPoint) override;
    // The wheel does nothing here; true.
    bool HandleWheel(const UIScrollWheelEvent& wheel) override;

    // --- Scrollable ---
    // The horizontal axis: 0 to max(0, TotalWidth - width), the page the view's width. Any other
    // axis: zeros and false.
    bool GetAxisRange(const ScrollAxisRef& axis, double& minimum, double& maximum, double& page) override;
    // Repaints.
    void AxisPositionChanged(ScrollAxisRef& axis) override;

    // --- Column view ---
    // Appends the column and answers its index. The width is kept within its bounds (a maximum
    // below the minimum becomes the minimum); a column that comes as the sort key takes the key
    // from the others. Adding does not mark the layout changed.
    int32_t AddColumn(const UIColumnViewColumn& column);
    int32_t GetColumnCount() const { return static_cast<int32_t>(fColumns.size()); }
    // The column at the index, null when out of range.
    const UIColumnViewColumn* GetColumn(int32_t index) const;
    // Shows a hidden column or hides a removable one, then repaints, marks the layout changed and
    // sends "column-position-change". Nothing for an index out of range (-1 included), a column
    // already visible (ShowColumn) or one that may not be removed (HideColumn).
    void ShowColumn(int32_t index);
    void HideColumn(int32_t index);
    // The sum of the visible columns' widths.
    int64_t TotalWidth() const;

    // Where the layout is saved: the settings (shared) under the label. Null or an empty label
    // saves nothing.
    void SetLayoutStore(CXApplicationSettings* settings, const CXString& label);
    // Hands the layout to the store when one is set and the layout changed, then clears the
    // changed mark.
    void SaveColumnSettings();
    bool IsLayoutChanged() const { return fChanged; }

    ScrollAxisRef& GetHorizontalAxis() { return fAxis; }
    // The column under the point's x (content coordinates), -1 for none; inResizeZone tells whether
    // the point lies within 3 pixels of that column's right border.
    int32_t ColumnAt(int32_t x, bool* inResizeZone = nullptr) const;
    // The flag of the column's icon under the point (content coordinates), 0 for none; only the
    // part of an icon inside its cell counts.
    uint32_t IconAt(int32_t index, Vector2i point);

protected:
    // Draws one visible column into its cell (view coordinates, the full height): the title in
    // "Segoe UI" 12 centred vertically 8 pixels from the left, fitted to the room the icons
    // leave, a separator at the right edge, then the icons (the pressed one left out), all clipped
    // to the cell.
    virtual void DrawColumn(RazaGraf& graf, int32_t index, const Box2i& cell);

private:
    // Where a column's title ends and its icons stand, for drawing and hit-testing alike.
    struct ColumnGeometry {
        int32_t titleWidth = 0;
        CXString title;
        std::vector<std::pair<uint32_t, Box2i>> icons;
    };
    ColumnGeometry MeasureColumn(const UIColumnViewColumn& column, const Box2i& cell);
    // The cell of a visible column, or an empty box.
    Box2i CellOf(int32_t index) const;
    // The left edge of the first column: minus the scroll position.
    int64_t FirstLeft() const;
    UIBitmap* IconPicture(uint32_t flag);

    void PressAt(Vector2i point);
    void DragTo(Vector2i point);
    void ReleaseAt(Vector2i point);
    void ResizeTo(int32_t x);
    void ReorderOver(int32_t x);
    void ToggleSort(int32_t index);
    void SendIconClick(int32_t index, uint32_t flag);
    // Ends the press-drag-release: nothing pressed, hovered, resized or dragged.
    void EndGesture();
    // A change of the layout: repainted, marked and told with the message.
    void LayoutChanged(const char* message);

    std::vector<UIColumnViewColumn> fColumns;
    int32_t fPressed = -1;
    int32_t fHovered = -1;
    bool fResizing = false;
    bool fDragging = false;
    uint32_t fPressedIcon = 0;
    Vector2i fPressPoint;
    // The x the resized border was last matched with.
    int32_t fResizeX = 0;
    // The column the context menu was opened on, -1 otherwise.
    int32_t fContextColumn = -1;
    CXAutoReference<CXApplicationSettings> fSettings;
    CXString fLabel;
    bool fChanged = false;
    RazaFont fTitleFont{"Segoe UI", 12};
    // The icon pictures, loaded once on first use (null when missing).
    std::array<CXAutoReference<UIBitmap>, 4> fIcons;
    bool fIconsLoaded = false;
    ScrollAxisRef fAxis{this};
};
