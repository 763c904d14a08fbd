#pragma once

#include "foundation/CXString.h"
#include "foundation/CXTime.h"
#include "toolkit/UIPanorama.h"

#include <cstdint>
#include <vector>

class UIIconControl;
class UIPopupMenuButton;

// What a search filter can test: a field of the filtered items. The panel's owner defines them.
struct UISearchFilterField {
    int32_t key = -1;
    CXString title;
    // "null" (no value), "list" (one of values), "date", anything else a text.
    CXString type;
    // Only listed fields appear in a row's field popup, in order.
    uint8_t listed = 0;
    std::vector<CXString> values;
    // Put into a newly built editor.
    CXString defaultValue;
};

using UISearchFilterFieldList = std::vector<UISearchFilterField>;

// One criterion of the search filter panel, 30 pixels high: a popup of the listed fields at
// (13, 3)-(200, 23), the value editor of the chosen field's type from x = 213 to 61 pixels before
// the right edge (a choice list, a date picker, a text field with a limit of 0x800000 characters,
// or nothing for "null"), and the remove and add icons ("remove-icon.bmp", "add-icon.bmp" of the
// data folder) 16 pixels square at the right edge. It sends, with itself as source, to its own
// HandleMessage and so up to the panel:
//   "UISearchFilterPanelRow::add"      the add icon was clicked
//   "UISearchFilterPanelRow::delete"   the remove icon was clicked
//   "UISearchFilterPanelRow::changed"  the user chose another field (after the editor was built
//                                      again), another list value, or changed the text or date
// A handler may destroy the row. Main thread only.
class UISearchFilterPanelRow : public UIPanorama {
public:
    static constexpr const char* kAddMessage = "UISearchFilterPanelRow::add";
    static constexpr const char* kDeleteMessage = "UISearchFilterPanelRow::delete";
    static constexpr const char* kChangedMessage = "UISearchFilterPanelRow::changed";

    // Transparent (compositing hint 4), its content fitted to the view, without children until
    // Init.
    UISearchFilterPanelRow();
    ~UISearchFilterPanelRow() override;

    // Initialises the row and builds its children: the field popup of the listed fields (borrowed;
    // they must outlive the row) preselecting item rowsInPanel modulo their count, the editor of
    // that field, and the two icons.
    void Init(int32_t rowsInPanel, const UISearchFilterFieldList* fields);
    using UIPanorama::Init;

    // Chooses the listed field with the key and builds its editor afresh; a key no listed field has
    // changes nothing.
    void SetKey(int32_t key);
    // The chosen field's key; -1 when none is chosen.
    int32_t GetKey() const { return fField.key; }
    // Puts the value into the editor: a text field's text; a list's item of that title; for a date
    // "today" (the local midnight of today, marked as meaning today), "now", or milliseconds since
    // 1970 in decimal (now when it is not one). Another value clears the today mark.
    void SetValue(const CXString& value);
    // The date stands for "today" (set so, and not changed by the user since).
    bool IsToday() const { return fToday != 0; }

    // Borrowed; the editor is null for a field of type "null".
    UIPopupMenuButton* GetFieldPopup() const { return fFieldPopup; }
    UIElement* GetEditor() const { return fEditor; }
    UIIconControl* GetAddIcon() const { return fAddIcon; }
    UIIconControl* GetRemoveIcon() const { return fRemoveIcon; }

    // --- UIElement ---
    // The view's own size: a row never scrolls, and its right-anchored parts follow its frame at
    // once, also while it narrows.
    int32_t GetWidth() const override;
    int32_t GetHeight() const override;
    // The children's messages as above; everything else as for the panorama.
    CXResultCode HandleMessage(const CXMessage& message) override;
    // Forgets the children, then destroys the row.
    void Destroy() override;

private:
    // The listed fields in popup order.
    std::vector<const UISearchFilterField*> ListedFields() const;
    // The field of the popup's selection, or the empty field (key -1).
    void TakeSelectedField();
    // Destroys the editor and builds the one of the field's type with its default value.
    void RebuildEditor();
    // Sends a message from the row; false when a handler destroyed it.
    CXResultCode Send(const char* name);
    template <class Control>
    Control* AddControl(Control* control, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t anchor);

    const UISearchFilterFieldList* fFields = nullptr;
    UISearchFilterField fField;
    UIPopupMenuButton* fFieldPopup = nullptr;
    UIElement* fEditor = nullptr;
    UIIconControl* fAddIcon = nullptr;
    UIIconControl* fRemoveIcon = nullptr;
    uint8_t fToday = 0;
};
