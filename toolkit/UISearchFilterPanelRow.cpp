// One criterion row of the search filter panel: field popup, value editor, add and remove icons.

#include "toolkit/UISearchFilterPanelRow.h"

#include "foundation/CXPath.h"
#include "foundation/CXSafePointer.h"
#include "foundation/CXTextParsing.h"
#include "toolkit/UIDateTimeControl.h"
#include "toolkit/UIEditTextControl.h"
#include "toolkit/UIIconControl.h"
#include "toolkit/UIPopupMenuButton.h"

#include <algorithm>

namespace {

constexpr int32_t kTransparentHint = 4;
constexpr int64_t kTextEditorLimit = 0x800000;
// The editor spans from x = 213 to 61 pixels before the right edge.
constexpr int32_t kEditorLeft = 213;
constexpr int32_t kEditorRightInset = 61;

// A decimal number of milliseconds, the whole text.
bool ParseMilliseconds(const CXString& text, CXTimestamp& out)
{
    const char* cursor = text.c_str();
    int64_t value = 0;
    if (!ParseInt64(cursor, value) || *cursor != '\0')
        return false;
    out = value;
    return true;
}

} // namespace

UISearchFilterPanelRow::UISearchFilterPanelRow()
{
    SetCompositingHint(kTransparentHint);
    SetFitContentToView(true);
}

UISearchFilterPanelRow::~UISearchFilterPanelRow() = default;

int32_t UISearchFilterPanelRow::GetWidth() const
{
    return GetFrame().Width();
}

int32_t UISearchFilterPanelRow::GetHeight() const
{
    return GetFrame().Height();
}

template <class Control>
Control* UISearchFilterPanelRow::AddControl(Control* control, int32_t left, int32_t top, int32_t right, int32_t bottom,
                                            int32_t anchor)
{
    control->SetLayout(left, top, right, bottom, anchor, 0);
    AddChild(control, nullptr);
    control->Init();
    return control;
}

void UISearchFilterPanelRow::Init(int32_t rowsInPanel, const UISearchFilterFieldList* fields)
{
    if (IsInitialised()) {
        UIPanorama::Init(); // reports the second call
        return;
    }
    fFields = fields;
    UIPanorama::Init();

    fFieldPopup = new UIPopupMenuButton;
    const std::vector<const UISearchFilterField*> listed = ListedFields();
    for (const UISearchFilterField* field : listed)
        (void)fFieldPopup->GetMenu()->AddCommandItem(field->title, CXString(), 0);
    // Each new row starts on the next field in turn.
    const auto count = static_cast<int32_t>(std::max<size_t>(listed.size(), 1));
    fFieldPopup->SetSelectedIndex(std::max(rowsInPanel, 0) % count);
    AddControl(fFieldPopup, 13, 3, 200, 23, 0);
    TakeSelectedField();
    RebuildEditor();

    fRemoveIcon = new UIIconControl;
    fRemoveIcon->SetIcon(GetDataFolderFilepath("remove-icon.bmp"));
    AddControl(fRemoveIcon, -49, 6, -33, 22, 1);
    fAddIcon = new UIIconControl;
    fAddIcon->SetIcon(GetDataFolderFilepath("add-icon.bmp"));
    AddControl(fAddIcon, -29, 6, -13, 22, 1);
}

void UISearchFilterPanelRow::Destroy()
{
    fFieldPopup = nullptr;
    fEditor = nullptr;
    fAddIcon = nullptr;
    fRemoveIcon = nullptr;
    UIPanorama::Destroy();
}

std::vector<const UISearchFilterField*> UISearchFilterPanelRow::ListedFields() const
{
    std::vector<const UISearchFilterField*> listed;
    if (fFields == nullptr)
        return listed;
    for (const UISearchFilterField& field : *fFields) {
        if (field.listed != 0)
            listed.push_back(&field);
    }
    return listed;
}

void UISearchFilterPanelRow::TakeSelectedField()
{
    const std::vector<const UISearchFilterField*> listed = ListedFields();
    const int32_t index = fFieldPopup != nullptr ? fFieldPopup->GetSelectedIndex() : -1;
    if (index >= 0 && static_cast<size_t>(index) < listed.size())
        fField = *listed[static_cast<size_t>(index)];
    else
        fField = UISearchFilterField();
}

void UISearchFilterPanelRow::RebuildEditor()
{
    if (fEditor != nullptr) {
        UIElement* old = fEditor;
        fEditor = nullptr;
        old->Destroy();
    }
    fToday = 0;
    const CXString& type = fField.type;
    if (type == "null")
        return;
    if (type == "list") {
        auto* list = new UIPopupMenuButton;
        for (const CXString& value : fField.values)
            (void)list->GetMenu()->AddCommandItem(value, CXString(), 0);
        list->SetSelectedIndex(fField.values.empty() ? -1 : 0);
        fEditor = AddControl(list, kEditorLeft, 3, -kEditorRightInset, 23, 2);
    } else if (type == "date") {
        fEditor = AddControl(new UIDateTimeControl, kEditorLeft, 3, -kEditorRightInset, 27, 2);
    } else {
        auto* text = new UIEditTextControl;
        text->SetMaximumLength(kTextEditorLimit);
        fEditor = AddControl(text, kEditorLeft, 3, -kEditorRightInset, 24, 2);
        text->ApplyMaximumLength();
    }
    SetValue(fField.defaultValue);
}

void UISearchFilterPanelRow::SetKey(int32_t key)
{
    const std::vector<const UISearchFilterField*> listed = ListedFields();
    for (size_t i = 0; i < listed.size(); ++i) {
        if (listed[i]->key != key)
            continue;
        if (fFieldPopup != nullptr)
            fFieldPopup->SetSelectedIndex(static_cast<int32_t>(i));
        fField = *listed[i];
        RebuildEditor();
        return;
    }
}

void UISearchFilterPanelRow::SetValue(const CXString& value)
{
    fToday = 0;
    if (fEditor == nullptr)
        return;
    fEditor->InternalSuppressNotifications(1);
    if (fField.type == "list") {
        auto* list = static_cast<UIPopupMenuButton*>(fEditor);
        const int32_t index = list->GetMenu()->FindItemByTitle(value);
        if (index >= 0)
            list->SetSelectedIndex(index);
    } else if (fField.type == "date") {
        const CXTimestamp now = CXTime::GetCurrentTimestamp();
        CXTimestamp moment = now;
        if (value == "today") {
            moment = CXTime::GetStartOfDay(now);
            fToday = 1;
        } else if (value != "now" && !ParseMilliseconds(value, moment)) {
            moment = now;
        }
        static_cast<UIDateTimeControl*>(fEditor)->SetValue(moment);
    } else {
        static_cast<UIEditTextControl*>(fEditor)->SetText(value);
    }
    fEditor->InternalSuppressNotifications(-1);
}

CXResultCode UISearchFilterPanelRow::Send(const char* name)
{
    return UIPanorama::HandleMessage(CXMessage(name, this));
}

CXResultCode UISearchFilterPanelRow::HandleMessage(const CXMessage& message)
{
    const CXString& name = message.GetName();
    const CXMessageTarget* source = message.GetSource();
    const bool fromEditor = source != nullptr && source == fEditor;
    if (name == "click" && source != nullptr) {
        if (source == fAddIcon) {
            (void)Send(kAddMessage);
            return kCXOK;
        }
        if (source == fRemoveIcon) {
            (void)Send(kDeleteMessage);
            return kCXOK;
        }
        if (source == fFieldPopup) {
            TakeSelectedField();
            RebuildEditor();
            (void)Send(kChangedMessage);
            return kCXOK;
        }
        if (fromEditor) {
            (void)Send(kChangedMessage);
            return kCXOK;
        }
    }
    if (fromEditor && (name == "UIEditTextControl::text-changed" || name == "UIDateTimeControl::value-changed")) {
        fToday = 0;
        (void)Send(kChangedMessage);
        return kCXOK;
    }
    return UIPanorama::HandleMessage(message);
}
