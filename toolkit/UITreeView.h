#pragma once

#include "foundation/CXMessage.h"
#include "foundation/CXString.h"
#include "toolkit/Box2i.h"
#include "toolkit/CXColor.h"
#include "toolkit/CXGestureRecognizer.h"
#include "toolkit/RazaFont.h"
#include "toolkit/UICustomControl.h"
#include "toolkit/UIScrollFrame.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CXMenu;
class CXOSSoupDrag;

// Destroys an element through its two-phase life instead of deleting it.
struct UIElementDestroyer {
    void operator()(UIElement* element) const;
};

// One row of a tree view. A row's descendants are the rows after it with a greater level.
struct UITreeViewRow {
    int32_t level = 0;
    CXString title;
    uint8_t selected = 0;
    // The row's children are shown.
    uint8_t open = 0;
    // Only such rows follow SetRowOpen.
    uint8_t canOpen = 0;
    // The title's colour.
    CXColor color{0.0f, 0.0f, 0.0f, 1.0f};
    // Shows the row instead of the drawn title, made on demand by CreateRowElement.
    std::unique_ptr<UIElement, UIElementDestroyer> rowElement;
    // Performance-clock milliseconds of the last paint that placed the row element.
    int64_t lastShown = 0;
};

// "prepare-contextual-menu": the view is about to show its context menu (borrowed; it lives until
// the menu closes). The integer is the row it is shown for, -1 for none.
class UITreeViewMenuMessage : public CXMessage {
public:
    UITreeViewMenuMessage(CXMessageTarget* source, CXMenu* menu, int32_t row)
        : CXMessage("prepare-contextual-menu", source)
        , fMenu(menu)
    {
        SetInteger(row);
    }
    CXMenu* GetMenu() const { return fMenu; }

private:
    CXMenu* fMenu;
};

// The toolkit's custom-drawn outline list: rows with an indentation level, a title, a colour and
// open, selected and can-open marks, drawn by the view or shown through a per-row child element.
// Single or multiple selection by keyboard and mouse, type-ahead, opening and closing rows, drags,
// a context menu and in-place editing. What the rows mean comes from a subclass through the
// hooks below (it inserts a row's children in RowOpened, for instance).
//
// Row tops are the running sum of the row heights from row 0. Below the last row lie virtual rows
// of the default height. Every change runs in a batch; when the outermost batch ends the view
// repaints the rows it touched and sends, with itself as source, to its own HandleMessage:
//   "tree-view-updated"        the change flags as the integer: kChangedSelection, kChangedRows,
//                              kChangedRowElements, the union of the batch's changes
//   "delete-selected"          Backspace or Delete
//   "prepare-contextual-menu"  a UITreeViewMenuMessage, before the context menu shows
// Row parts: 1 the title, 2 the open/close control, 3 and above a subclass's own. Times (clicks,
// type-ahead, row-element stamps) come from the performance clock. Main thread only.
class UITreeView : public UICustomControl, public CXGestureRecognizer, public UIScrollFrame::TreeContent {
public:
    static constexpr uint32_t kChangedSelection = 0x1;
    static constexpr uint32_t kChangedRows = 0x2;
    static constexpr uint32_t kChangedRowElements = 0x4;

    static constexpr int32_t kPartTitle = 1;
    static constexpr int32_t kPartOpener = 2;
    static constexpr int32_t kFirstCustomPart = 3;

    // Pixels of indentation per level.
    static constexpr int32_t kIndent = 16;
    // A row element not shown for this long is destroyed when a paint leaves it off screen.
    static constexpr int64_t kRowElementLifetime = 5000;
    // Typed characters further apart than this start a new search.
    static constexpr int64_t kTypeAheadPause = 1000;

    UITreeView();
    ~UITreeView() override;

    // --- UIElement ---
    // Drags ("Drag-Within" comes as a UIDragMessage too), "edit-select-all" and its status query;
    // the rest goes to UICustomControl.
    CXResultCode HandleMessage(const CXMessage& message) override;
    // Closes the editor at once (submitting), clears the rows and waits for the view's jobs.
    void Destroy() override;
    // The base, then the trailer and the row elements.
    void LayoutChildren() override;
    // The view's width; the height of every row, plus one default row for a trailer.
    Box2i GetBounds() const override;
    // Lines become pixels (a line is the default row height); the turn goes to the parent.
    void HandleScrollWheel(const UIScrollWheelEvent& event) override;

    // --- CXUIControl, UICustomControlBase ---
    // Repaints a selection, forgets a waiting click and closes the editor (deferred, submitting),
    // unless the focus went to the editor.
    void FocusLost() override;
    void GotKeyboardFocus() override;
    void Draw(RazaGraf& graf) override;
    bool HandleMouse(Vector2i point, int32_t modifiers, int32_t phase) override;
    bool HandleContextClick(Vector2i point, Vector2i screenPoint) override;
    // Navigation keys (they come as characters 1, 4, 11, 12, 28 to 31 and 127), Backspace and
    // type-ahead; Return is left to others.
    bool HandleText(const char16_t* text, int32_t byteLength, int32_t modifiers) override;

    // --- UIScrollFrame::TreeContent ---
    UIElement* GetElement() override { return this; }
    int32_t GetRowExtent() const override;

    // --- Rows ---
    // Inserts a row before index (clamped to 0..count) and answers where it went.
    int32_t InsertRow(int32_t index, int32_t level, const CXString& title, bool canOpen = false);
    // Every row goes, last first (RowRemoved for each).
    virtual void Clear();
    // Nothing for an index out of range.
    void RemoveRow(int32_t row);
    // Nothing out of range, for a row that cannot open, or unchanged; else RowOpened or RowClosed.
    void SetRowOpen(int32_t row, bool open);
    int32_t GetRowCount() const { return static_cast<int32_t>(fRows.size()); }
    // Null out of range.
    const UITreeViewRow* GetRow(int32_t row) const;
    bool IsRowSelected(int32_t row) const;
    bool IsRowOpen(int32_t row) const;
    // -1 out of range.
    int32_t GetRowLevel(int32_t row) const;

    // --- Selection ---
    // Selecting an unselectable row does nothing; without multiple selection the others go first.
    void SelectRow(int32_t row, bool on);
    void SelectAll();
    void DeselectAll();
    // Both ends included, in either order.
    void SelectRange(int32_t first, int32_t last);
    int32_t GetAnchorRow() const { return fAnchor; }
    // -1 when nothing is selected.
    int32_t FirstSelectedRow() const;
    int32_t LastSelectedRow() const;

    // --- Geometry ---
    // -1 above row 0; below the last row, count + the virtual rows passed (count with a default
    // height of 0).
    int32_t RowAtY(int32_t y) const;
    int32_t RowTop(int32_t row) const;
    int32_t TotalRowHeight() const;
    void InvalidateRows(int32_t first, int32_t last);
    void ScrollRowIntoView(int32_t row);

    // --- Editing ---
    // Asks CreateEditControl for an editor of the part; one made is added, focused and scrolled
    // into view, else EditRefused runs. Nothing while an editor is open, out of range or part -1.
    void OpenEditControl(int32_t row, int32_t part);
    // Acts only on the open editor: SubmitPartEdits unless discarding, then the editor goes and
    // the view takes back a focus the editor had. forgetEditRow clears the remembered edit row.
    void InternalCloseEditControl(UIElement* editor, bool forgetEditRow, bool discard);
    UIElement* GetEditor() const { return fEditor; }
    // Opens the editor on the row and part a press on an already selected title remembered (the
    // view's click callback); nothing when none is remembered.
    void BeginEditingRememberedRow();

    // --- Batches ---
    // Changes between the outermost begin and its end are repainted and told once.
    void BeginChanges() { ++fBatchDepth; }
    void EndChanges();

    // --- Configuration ---
    void SetDefaultRowHeight(int32_t height) { fDefaultRowHeight = height; }
    int32_t GetDefaultRowHeight() const { return fDefaultRowHeight; }
    void SetFullRowSelection(bool on) { fFullRow = on ? 1 : 0; }
    void SetMultipleSelection(bool on) { fMultipleSelection = on ? 1 : 0; }
    void SetScrollByDragging(bool on) { fScrollByDragging = on ? 1 : 0; }
    // Placed below the last row (borrowed; the caller adds it as a child).
    void SetTrailerElement(UIElement* trailer) { fTrailer = trailer; }
    void SetTextFont(const RazaFont& font) { fFont = font; }
    // The typed text so far, normalised.
    const std::string& GetTypedText() const { return fTypedText; }

    // --- Hooks ---
    virtual void Redraw() { InvalidateAll(); }
    // The part under the point in the row, -1 for none.
    virtual int32_t HitTestPart(Vector2i point, int32_t row);
    // The part's rectangle, flagged empty when the row has no such part.
    virtual Box2i GetPartRect(int32_t row, int32_t part);
    virtual void PlaceTrailer();
    virtual void ShowContextMenu(Vector2i screenPoint, int32_t row);
    virtual void ShowContextMenuForRow(int32_t row, Vector2i screenPoint);
    virtual void DrawRow(RazaGraf& graf, int32_t row, int32_t x, int32_t top, int32_t bottom, bool selected);
    virtual void DrawRowBackground(RazaGraf& graf, int32_t row, int32_t top, int32_t bottom, bool selected);
    virtual void SelectByTypedText(const std::string& text);
    // Trims tabs, line breaks and spaces at both ends and lower-cases ASCII letters.
    virtual std::string NormaliseTypedText(const std::string& text);
    virtual bool IsRowSelectable(int32_t row);
    virtual int32_t RowHeight(int32_t row) const;
    // The selection rules of a click (modifiers: kModifierShift, kModifierControl).
    virtual void ClickRow(int32_t row, int32_t modifiers);

protected:
    // Empty or false here: what a subclass does with its rows.
    virtual void RowOpened(int32_t row);
    virtual void RowRemoved(int32_t row);
    // Removes the row's descendants.
    virtual void RowClosed(int32_t row);
    virtual bool FillDragData(CXOSSoupDrag& data);
    virtual bool AcceptsDropOnRow(int32_t row, CXOSSoupDrag* data);
    // The drag image is the union of the selected rows' rectangles within the view's height.
    virtual void PerformDrag(CXOSSoupDrag& data, const Box2i& image);
    virtual void BeginEditHook(int32_t row, int32_t part);
    virtual void EditRefused(int32_t row);
    // How well the row matches the typed text; the highest positive score wins.
    virtual int32_t MatchScore(int32_t row, const std::string& text);
    // A press on a custom part (3 and above); true when consumed.
    virtual bool PartMouse(int32_t row, Vector2i point, int32_t modifiers, int32_t phase);
    // The editor of a part, owned by the view from here on; null for none.
    virtual UIElement* CreateEditControl(int32_t row, int32_t part);
    virtual void SubmitPartEdits(int32_t row, int32_t part, UIElement* editor);
    virtual bool HasPart(int32_t part);
    // The element that shows the row, owned by the view; null for none.
    virtual UIElement* CreateRowElement(int32_t row);

private:
    // Raises the batch depth for a scope.
    class Batch {
    public:
        explicit Batch(UITreeView& view) : fView(view) { fView.BeginChanges(); }
        ~Batch() { fView.EndChanges(); }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        UITreeView& fView;
    };

    struct PressRecord {
        Vector2i point;
        // Root coordinates of the last drag-scroll step.
        int32_t scrollY = 0;
        int32_t row = -1;
        int32_t part = -1;
        bool rowWasSelected = false;
        bool doubleClick = false;
        int32_t customRow = -1;
        // It opened or closed a row or started a drag.
        bool used = false;
        bool dragScrolling = false;
    };

    bool InRange(int32_t row) const { return row >= 0 && row < GetRowCount(); }
    static bool CheckThread(const char* what);
    void RemoveRowRecord(int32_t row);
    void SetSelected(int32_t row, bool on);
    void PlaceRowElements();
    void ExpireRowElements(int32_t first, int32_t last, int64_t now);
    Box2i RowBand(int32_t row) const;
    Box2i SelectedDragImage();
    // Closing on a press, on focus loss and on the editor's escape waits for the main-thread queue.
    void DeferCloseEditor(bool forgetEditRow, bool discard, bool keepWhileFocused);
    void WatchEditor(UIElement* editor);
    // Keys.
    void HandleNavigation(int32_t code, int32_t modifiers);
    void MoveSelectionTo(int32_t target, bool extend, int32_t extendFrom);
    void CloseOrGoToParent();
    void OpenSelected();
    int32_t PageSize() const;
    int32_t FirstFullyVisibleRow() const;
    int32_t LastFullyVisibleRow() const;
    int32_t NearestSelectable(int32_t from, int32_t step);
    void TypeAhead(char32_t character, int32_t modifiers);
    // Mouse.
    bool DragScroll(Vector2i point, int32_t& phase);
    void PressRow(Vector2i point, int32_t modifiers, int32_t phase);
    void ReleaseRow(Vector2i point, int32_t modifiers);
    void MaybeStartDrag(Vector2i point);
    Vector2i ScreenToView(Vector2i screen) const;

    std::vector<UITreeViewRow> fRows;
    int32_t fDefaultRowHeight = 18;
    int32_t fAnchor = -1;
    uint32_t fPendingFlags = 0;
    int32_t fBatchDepth = 0;
    int32_t fDirtyFirst = INT32_MAX;
    int32_t fDirtyLast = 0;
    uint8_t fFullRow = 0;
    uint8_t fMultipleSelection = 0;
    uint8_t fScrollByDragging = 0;
    UIElement* fTrailer = nullptr;
    int64_t fLastTypedTime = 0;
    bool fTypedAnything = false;
    std::string fTypedText;
    PressRecord fPress;
    UIElement* fEditor = nullptr;
    int32_t fEditorRow = -1;
    int32_t fEditorPart = -1;
    int32_t fEditRow = -1;
    int32_t fEditPart = -1;
    RazaFont fFont{"Segoe UI", 12};
    uint8_t fHasRowElements = 0;
    // Editor-closing jobs posted and not yet run.
    int32_t fEditorJobs = 0;
};
