#pragma once

#include "foundation/CXString.h"
#include "toolkit/UICustomControl.h"
#include "toolkit/UISearchFilterPanelRow.h"

#include <cstdint>
#include <utility>
#include <vector>

class UIDisclosureButton;
class UIPopupMenuButton;
class UIPushButton;
class UISearchField;
class UIStaticTextControl;

// A filter the owner has saved: its criteria are (field key, value) pairs, one row each.
struct UISearchFilter {
    int32_t id = 0;
    CXString title;
    std::vector<std::pair<int32_t, CXString>> criteria;
};

// The bar above a filtered list: a disclosure button, the label "Filter:", a popup of the filters
// ("Unfiltered", the saved filters, "Custom…" and, when editing is allowed and there are saved
// filters, "Edit Filters…"), a "Save" button, an optional element of the owner's and a search
// field, above a stack of criterion rows 30 pixels high from y = 28. Laid out for its width W:
// the popup ends at R = W - 180 clamped to 200..400, the Save button follows 20 pixels after it,
// and the search field is shown (if wanted) only when R + 100 < W - 50, at
// (max(R + 100, W - 300), 3)-(W - 4, 20).
//
// The panel sends, with itself as source, to its own HandleMessage and so up the chain:
//   "search-filter-changed"           the search text, a criterion, the rows or the filter changed
//   "search-filter-layout-changed"    the disclosure button opened or closed
//   "edit-search-filters"             "Edit Filters…" was chosen (the popup keeps the filter)
//   "configure-custom-search-filter"  "Custom…" was chosen; unanswered (-2), one empty row is
//                                     added
//   "search-filter-save"              the title the user entered for the custom filter (argument)
// Main thread only.
class UISearchFilterPanel : public UICustomControl {
public:
    static constexpr int32_t kRowTop = 28;
    static constexpr int32_t kRowHeight = 30;

    UISearchFilterPanel();
    ~UISearchFilterPanel() override;

    // Initialises the panel with a copy of the field definitions and builds its children: the
    // disclosure button closed and hidden, the label, the popup on "Unfiltered", the search field
    // (shown when wanted and there is room) and the hidden Save button. Sends nothing.
    void Init(const UISearchFilterFieldList& fields, bool showSearchField);
    using UICustomControl::Init;
    // Removes the rows, then destroys the panel with its children.
    void Destroy() override;

    // The owner's settings. The filter list and the editing mark rebuild the popup; the element
    // (owned by the panel from here on; null removes the one before) is placed between the Save
    // button and the search field.
    void SetSavedFilters(std::vector<UISearchFilter> filters);
    const std::vector<UISearchFilter>& GetSavedFilters() const { return fSavedFilters; }
    void SetEditingAllowed(bool allowed);
    bool IsEditingAllowed() const { return fEditingAllowed != 0; }
    void SetExtraElement(UIElement* element);
    // While suppressed, RebuildPopup only marks itself pending; lifting it rebuilds once if so.
    void SetRebuildSuppressed(bool suppressed);

    // The popup's items again (see above), the selection kept.
    void RebuildPopup();
    // Clamped to 0 (Unfiltered) .. n + 1 (Custom) for n saved filters: the popup shows it, the
    // disclosure button is shown above 0 and open for Custom, the Save button shown for Custom
    // when editing is allowed; the rows are replaced (Custom: "configure-custom-search-filter",
    // else a saved filter's criteria); then "search-filter-changed".
    void SelectFilter(int32_t index);
    // One row per criterion, with its key and value, in place of the rows there were.
    void LoadFilter(const UISearchFilter& filter);
    // A new row after the given one (at the end for null or a row not in the panel).
    UISearchFilterPanelRow* InsertRowAfter(UISearchFilterPanelRow* row);
    void DeleteRow(UISearchFilterPanelRow* row);
    void RemoveAllRows();

    int32_t GetSelectedFilter() const { return fSelectedFilter; }
    // The popup index of "Edit Filters…", -1 without it.
    int32_t GetEditFiltersIndex() const { return fEditFiltersIndex; }
    const std::vector<UISearchFilterPanelRow*>& GetRows() const { return fRows; }
    // The children, borrowed; null before Init.
    UIDisclosureButton* GetDisclosureButton() const { return fDisclosure; }
    UIStaticTextControl* GetLabel() const { return fLabel; }
    UIPopupMenuButton* GetFilterPopup() const { return fFilterPopup; }
    UISearchField* GetSearchField() const { return fSearchField; }
    UIPushButton* GetSaveButton() const { return fSaveButton; }
    UIElement* GetExtraElement() const { return fExtraElement; }

    // --- UIElement ---
    // The children's and the rows' messages as above; the rest as for a custom control.
    CXResultCode HandleMessage(const CXMessage& message) override;
    // Places the bar's children and the rows for the width, then the base layout.
    void LayoutChildren() override;

private:
    int32_t CustomIndex() const { return static_cast<int32_t>(fSavedFilters.size()) + 1; }
    // Custom in the popup, the Save button and the disclosure button, the rows kept.
    void SwitchToCustom();
    void PlaceChildren();
    void PlaceRows();
    CXResultCode Send(const CXMessage& message);
    void HandlePopupClick();
    void AskForTitle();
    template <class Control>
    Control* AddControl(Control* control);

    UISearchFilterFieldList fFields;
    std::vector<UISearchFilter> fSavedFilters;
    std::vector<UISearchFilterPanelRow*> fRows;
    int32_t fSelectedFilter = 0;
    int32_t fEditFiltersIndex = -1;
    uint8_t fEditingAllowed = 0;
    uint8_t fShowSearchField = 0;
    uint8_t fRebuildSuppressed = 0;
    uint8_t fRebuildPending = 0;
    UIDisclosureButton* fDisclosure = nullptr;
    UIStaticTextControl* fLabel = nullptr;
    UIPopupMenuButton* fFilterPopup = nullptr;
    UISearchField* fSearchField = nullptr;
    UIPushButton* fSaveButton = nullptr;
    UIElement* fExtraElement = nullptr;
};
