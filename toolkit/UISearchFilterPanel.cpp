// The search filter panel: the bar's children and their layout, the filter popup, the rows.

#include "toolkit/UISearchFilterPanel.h"

#include "toolkit/TextPromptSheet.h"
#include "toolkit/UIButton.h"
#include "toolkit/UIDisclosureButton.h"
#include "toolkit/UIPopupMenuButton.h"
#include "toolkit/UISearchField.h"
#include "toolkit/UIStaticTextControl.h"

#include <algorithm>
#include <iterator>

namespace {

// U+2026 HORIZONTAL ELLIPSIS.
#define CX_ELLIPSIS "\xE2\x80\xA6"

const char* const kCustomTitle = "Custom" CX_ELLIPSIS;
const char* const kEditFiltersTitle = "Edit Filters" CX_ELLIPSIS;
const char* const kSavePrompt = "Save current custom filter as" CX_ELLIPSIS;
const char* const kSaveReply = "save-current-custom-search-filter-with-title";

#undef CX_ELLIPSIS

} // namespace

UISearchFilterPanel::UISearchFilterPanel() = default;

UISearchFilterPanel::~UISearchFilterPanel() = default;

template <class Control>
Control* UISearchFilterPanel::AddControl(Control* control)
{
    AddChild(control, nullptr);
    control->Init();
    return control;
}

void UISearchFilterPanel::Init(const UISearchFilterFieldList& fields, bool showSearchField)
{
    if (IsInitialised()) {
        UICustomControl::Init(); // reports the second call
        return;
    }
    fFields = fields;
    fShowSearchField = showSearchField ? 1 : 0;
    UICustomControl::Init();

    fDisclosure = new UIDisclosureButton;
    fDisclosure->SetVisible(false);
    AddControl(fDisclosure);
    fLabel = new UIStaticTextControl;
    fLabel->SetText("Filter:");
    AddControl(fLabel);
    fFilterPopup = AddControl(new UIPopupMenuButton);
    fSearchField = AddControl(new UISearchField);
    fSaveButton = new UIPushButton;
    fSaveButton->SetTitle("Save");
    fSaveButton->SetVisible(false);
    AddControl(fSaveButton);
    if (fExtraElement != nullptr && !fExtraElement->IsInitialised())
        fExtraElement->Init();

    fSelectedFilter = 0;
    RebuildPopup();
    PlaceChildren();
}

void UISearchFilterPanel::Destroy()
{
    RemoveAllRows();
    fDisclosure = nullptr;
    fLabel = nullptr;
    fFilterPopup = nullptr;
    fSearchField = nullptr;
    fSaveButton = nullptr;
    fExtraElement = nullptr;
    UICustomControl::Destroy();
}

// --- The owner's settings ---

void UISearchFilterPanel::SetSavedFilters(std::vector<UISearchFilter> filters)
{
    fSavedFilters = std::move(filters);
    fSelectedFilter = std::min(fSelectedFilter, CustomIndex());
    RebuildPopup();
}

void UISearchFilterPanel::SetEditingAllowed(bool allowed)
{
    fEditingAllowed = allowed ? 1 : 0;
    RebuildPopup();
    if (fSaveButton != nullptr)
        fSaveButton->SetVisible(fSelectedFilter == CustomIndex() && fEditingAllowed != 0);
    PlaceChildren();
}

void UISearchFilterPanel::SetExtraElement(UIElement* element)
{
    if (fExtraElement != nullptr) {
        UIElement* old = fExtraElement;
        fExtraElement = nullptr;
        old->Destroy();
    }
    fExtraElement = element;
    if (element == nullptr)
        return;
    AddChild(element, nullptr);
    if (IsInitialised() && !element->IsInitialised())
        element->Init();
    PlaceChildren();
}

void UISearchFilterPanel::SetRebuildSuppressed(bool suppressed)
{
    fRebuildSuppressed = suppressed ? 1 : 0;
    if (!suppressed && fRebuildPending != 0)
        RebuildPopup();
}

// --- The filter popup ---

void UISearchFilterPanel::RebuildPopup()
{
    if (fRebuildSuppressed != 0) {
        fRebuildPending = 1;
        return;
    }
    fRebuildPending = 0;
    if (fFilterPopup == nullptr)
        return;
    CXMenu* menu = fFilterPopup->GetMenu();
    menu->Clear();
    (void)menu->AddCommandItem("Unfiltered", CXString(), 0);
    for (const UISearchFilter& filter : fSavedFilters)
        (void)menu->AddCommandItem(filter.title, CXString(), 0);
    (void)menu->AddCommandItem(kCustomTitle, CXString(), 0);
    fEditFiltersIndex = -1;
    if (fEditingAllowed != 0 && !fSavedFilters.empty()) {
        (void)menu->AddCommandItem("-", CXString(), 0);
        fEditFiltersIndex = menu->AddCommandItem(kEditFiltersTitle, CXString(), 0);
    }
    fFilterPopup->SetSelectedIndex(fSelectedFilter);
}

void UISearchFilterPanel::SelectFilter(int32_t index)
{
    const int32_t custom = CustomIndex();
    fSelectedFilter = std::clamp(index, 0, custom);
    if (fFilterPopup != nullptr)
        fFilterPopup->SetSelectedIndex(fSelectedFilter);
    if (fDisclosure != nullptr) {
        fDisclosure->SetOpen(fSelectedFilter == custom);
        fDisclosure->SetVisible(fSelectedFilter > 0);
    }
    if (fSaveButton != nullptr)
        fSaveButton->SetVisible(fSelectedFilter == custom && fEditingAllowed != 0);
    RemoveAllRows();
    if (fSelectedFilter == custom) {
        if (Send(CXMessage("configure-custom-search-filter", this)) == kCXNotSupported)
            (void)InsertRowAfter(nullptr);
    } else if (fSelectedFilter > 0) {
        LoadFilter(fSavedFilters[static_cast<size_t>(fSelectedFilter - 1)]);
    }
    PlaceChildren();
    PlaceRows();
    (void)Send(CXMessage("search-filter-changed", this));
}

void UISearchFilterPanel::SwitchToCustom()
{
    fSelectedFilter = CustomIndex();
    if (fFilterPopup != nullptr)
        fFilterPopup->SetSelectedIndex(fSelectedFilter);
    if (fSaveButton != nullptr)
        fSaveButton->SetVisible(fEditingAllowed != 0);
    if (fDisclosure != nullptr) {
        fDisclosure->SetVisible(true);
        fDisclosure->SetOpen(true);
    }
    PlaceChildren();
}

void UISearchFilterPanel::HandlePopupClick()
{
    const int32_t chosen = fFilterPopup->GetSelectedIndex();
    if (fEditFiltersIndex >= 0 && chosen == fEditFiltersIndex) {
        fFilterPopup->SetSelectedIndex(fSelectedFilter);
        (void)Send(CXMessage("edit-search-filters", this));
        return;
    }
    // The separator is no filter: the choice goes back.
    if (chosen > CustomIndex()) {
        fFilterPopup->SetSelectedIndex(fSelectedFilter);
        return;
    }
    SelectFilter(chosen);
}

void UISearchFilterPanel::AskForTitle()
{
    auto* sheet = new TextPromptSheet(this);
    sheet->Init();
    sheet->SetMessage(kSavePrompt);
    sheet->SetReply(kSaveReply);
    sheet->SetEnteredText("Untitled");
    sheet->SetFirstButtonTitle("OK");
    sheet->SetSecondButtonTitle("Cancel");
    sheet->SetThirdButtonTitle("");
    sheet->SetVisible(true);
}

// --- Rows ---

void UISearchFilterPanel::LoadFilter(const UISearchFilter& filter)
{
    RemoveAllRows();
    for (const auto& [key, value] : filter.criteria) {
        UISearchFilterPanelRow* row = InsertRowAfter(fRows.empty() ? nullptr : fRows.back());
        row->SetKey(key);
        row->SetValue(value);
    }
}

UISearchFilterPanelRow* UISearchFilterPanel::InsertRowAfter(UISearchFilterPanelRow* after)
{
    const auto rowsBefore = static_cast<int32_t>(fRows.size());
    auto* row = new UISearchFilterPanelRow;
    auto at = std::find(fRows.begin(), fRows.end(), after);
    fRows.insert(at == fRows.end() ? fRows.end() : std::next(at), row);
    AddChild(row, nullptr);
    PlaceRows();
    row->Init(rowsBefore, &fFields);
    return row;
}

void UISearchFilterPanel::DeleteRow(UISearchFilterPanelRow* row)
{
    auto at = std::find(fRows.begin(), fRows.end(), row);
    if (at == fRows.end())
        return;
    fRows.erase(at);
    row->Destroy();
    PlaceRows();
}

void UISearchFilterPanel::RemoveAllRows()
{
    std::vector<UISearchFilterPanelRow*> rows;
    rows.swap(fRows);
    for (UISearchFilterPanelRow* row : rows)
        row->Destroy();
}

// --- Layout ---

void UISearchFilterPanel::PlaceChildren()
{
    if (fFilterPopup == nullptr)
        return;
    const int32_t width = GetWidth();
    const int32_t popupRight = std::clamp(width - 180, 200, 400);
    fDisclosure->SetLayout(13, 4, 29, 20, 0, 0);
    fLabel->SetLayout(37, 4, 80, 26, 0, 0);
    fFilterPopup->SetLayout(80, 2, popupRight, 22, 0, 0);
    fSaveButton->SetLayout(popupRight + 20, 2, popupRight + 80, 26, 0, 0);
    const bool fieldShown = fShowSearchField != 0 && popupRight + 100 < width - 50;
    const int32_t fieldLeft = std::max(popupRight + 100, width - 300);
    fSearchField->SetLayout(fieldLeft, 3, width - 4, 20, 0, 0);
    fSearchField->SetVisible(fieldShown);
    if (fExtraElement != nullptr) {
        const int32_t left = (fSaveButton->IsVisible() ? popupRight + 80 : popupRight) + 20;
        const int32_t right = (fieldShown ? fieldLeft : width) - 20;
        fExtraElement->SetLayout(left, 2, right, 26, 0, 0);
        fExtraElement->SetVisible(right - left > 20);
    }
}

void UISearchFilterPanel::PlaceRows()
{
    int32_t top = kRowTop;
    for (UISearchFilterPanelRow* row : fRows) {
        row->SetLayout(0, top, 0, top + kRowHeight, 2, 0);
        top += kRowHeight;
    }
}

void UISearchFilterPanel::LayoutChildren()
{
    PlaceChildren();
    PlaceRows();
    UICustomControl::LayoutChildren();
}

// --- Messages ---

CXResultCode UISearchFilterPanel::Send(const CXMessage& message)
{
    return UICustomControl::HandleMessage(message);
}

CXResultCode UISearchFilterPanel::HandleMessage(const CXMessage& message)
{
    const CXString& name = message.GetName();
    const CXMessageTarget* source = message.GetSource();
    if (source != nullptr && name == "click") {
        if (source == fFilterPopup) {
            HandlePopupClick();
            return kCXOK;
        }
        if (source == fSaveButton) {
            AskForTitle();
            return kCXOK;
        }
    }
    if (name == kSaveReply) {
        (void)Send(CXMessage("search-filter-save", this, message.GetFirstArgument()));
        return kCXOK;
    }
    if (source != nullptr && source == fSearchField && name == UISearchField::kValueChangedMessage) {
        (void)Send(CXMessage("search-filter-changed", this));
        return kCXOK;
    }
    if (source != nullptr && source == fDisclosure && name == UIDisclosureButton::kChangedMessage) {
        (void)Send(CXMessage("search-filter-layout-changed", this));
        return kCXOK;
    }
    auto row = std::find_if(fRows.begin(), fRows.end(),
                            [source](const UISearchFilterPanelRow* r) { return source != nullptr && source == r; });
    if (row == fRows.end())
        return UICustomControl::HandleMessage(message);
    UISearchFilterPanelRow* sender = *row;
    if (name == UISearchFilterPanelRow::kAddMessage) {
        SwitchToCustom();
        (void)InsertRowAfter(sender);
        PlaceRows();
        (void)Send(CXMessage("search-filter-changed", this));
        return kCXOK;
    }
    if (name == UISearchFilterPanelRow::kDeleteMessage) {
        SwitchToCustom();
        DeleteRow(sender);
        if (fRows.empty())
            SelectFilter(0);
        else
            (void)Send(CXMessage("search-filter-changed", this));
        return kCXOK;
    }
    if (name == UISearchFilterPanelRow::kChangedMessage) {
        SwitchToCustom();
        (void)Send(CXMessage("search-filter-changed", this));
        return kCXOK;
    }
    return UICustomControl::HandleMessage(message);
}
