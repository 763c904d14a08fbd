#include "toolkit/TextPromptSheet.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMessagePost.h"
#include "foundation/CXTime.h"
#include "toolkit/CXMenu.h"
#include "toolkit/RazaFont.h"
#include "toolkit/UIButton.h"
#include "toolkit/UIEditTextControl.h"
#include "toolkit/UIPopupMenuButton.h"
#include "toolkit/UIRazaStaticText.h"
#include "toolkit/UITextView.h"
#include "win32/core/Core.h"

#include <algorithm>
#include <string>

using namespace win32;

namespace {

// The margins of the content, and the band the buttons sit in.
constexpr int32_t kSideMargin = 24;
constexpr int32_t kMessageTop = 15;
// From the message's height to its frame's bottom, and to the first field.
constexpr int32_t kMessageBottomPad = 21;
constexpr int32_t kFirstFieldGap = 34;
constexpr int32_t kButtonBand = 44;
constexpr int32_t kButtonTop = -44;
constexpr int32_t kButtonBottom = -20;
constexpr int32_t kButtonGap = 12;
constexpr int32_t kMinimumButtonWidth = 69;
constexpr int32_t kButtonTitlePad = 30;
// How far each shown field moves the next one down.
constexpr int32_t kFieldAdvance = 31;
constexpr int32_t kTextViewAdvance = 200;
constexpr int32_t kChoiceAdvance = 30;

UIElement* AsElement(CXMessageTarget* target)
{
    return dynamic_cast<UIElement*>(target);
}

template <class Control>
void DestroyControl(Control*& control)
{
    if (control == nullptr)
        return;
    UIElement* element = control;
    control = nullptr;
    element->Destroy();
}

// The work area, or the primary screen when it cannot be read.
RECT WorkArea()
{
    RECT area = {};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0))
        area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return area;
}

// The message on one log line: its line breaks become spaces.
std::string OneLine(const CXString& text)
{
    std::string line(text.c_str(), text.length());
    std::replace_if(line.begin(), line.end(), [](char byte) { return byte == '\n' || byte == '\r'; }, ' ');
    return line;
}

} // namespace

// --- Factories ---

TextPromptSheet* TextPromptSheet::ShowMessage(CXMessageTarget* target, const CXString& message)
{
    auto* sheet = new TextPromptSheet(target);
    sheet->Init();
    sheet->SetMessage(message);
    sheet->SetFirstButtonTitle("OK");
    sheet->SetSecondButtonTitle("");
    sheet->SetVisible(true);
    return sheet;
}

TextPromptSheet* TextPromptSheet::ShowButtonPrompt(CXMessageTarget* target, const CXString& message,
                                                   const CXString& reply, const CXString& firstTitle,
                                                   const CXString& secondTitle)
{
    auto* sheet = new TextPromptSheet(target);
    sheet->Init();
    sheet->SetMessage(message);
    sheet->SetReply(reply);
    sheet->SetFirstButtonTitle(firstTitle);
    sheet->SetSecondButtonTitle(secondTitle);
    sheet->SetThirdButtonTitle("");
    sheet->SetVisible(true);
    return sheet;
}

TextPromptSheet* TextPromptSheet::ShowChoicePrompt(CXMessageTarget* target, const CXString& message,
                                                   const Choices& choices, const CXString& selectedKey,
                                                   const CXString& reply)
{
    auto* sheet = new TextPromptSheet(target);
    sheet->Init();
    sheet->SetMessage(message);
    sheet->SetReply(reply);
    sheet->SetChoices(choices, selectedKey);
    sheet->SetFirstButtonTitle("OK");
    sheet->SetSecondButtonTitle("Cancel");
    sheet->SetVisible(true);
    return sheet;
}

// --- Life ---

TextPromptSheet::TextPromptSheet(CXMessageTarget* target)
    : UIWindowSheet(AsElement(target))
{
    CXSafePointerTarget::ChainPointer(fTarget, target);
    SetResizable(false);
    const Box2i frame = GetFrame();
    SetLayout(frame.left, frame.top, frame.left + kWidth, frame.top + frame.Height(), 0, 0);
    if (GetParentElement() != nullptr)
        SetModal(true);
}

TextPromptSheet::~TextPromptSheet() = default;

template <class Control>
Control* TextPromptSheet::AddControl(Control* control)
{
    AddChild(control, FirstChild());
    control->Init();
    return control;
}

void TextPromptSheet::Init()
{
    if (IsInitialised()) {
        CXDebugError("UIElement::Init> already initialised");
        return;
    }
    UIWindowSheet::Init();

    auto* message = new UIRazaStaticText;
    message->SetText("<TextPromptSheet>");
    message->EnableWordWrap();
    fMessageText = AddControl(message);

    auto* field = new UIEditTextControl;
    field->SetVisible(false);
    fTextField = AddControl(field);

    auto* password = new UIEditTextControl;
    password->SetPasswordField(true);
    password->SetVisible(false);
    fPasswordField = AddControl(password);

    auto* choices = new UIPopupMenuButton;
    choices->SetVisible(false);
    fChoiceList = AddControl(choices);

    auto* view = new UITextView;
    view->SetVisible(false);
    fTextView = AddControl(view);

    auto* first = new UIPushButton;
    first->SetDefaultButton(1);
    first->SetTitle("OK");
    fFirstButton = AddControl(first);

    auto* second = new UIPushButton;
    second->SetDefaultButton(2);
    second->SetTitle("Cancel");
    fSecondButton = AddControl(second);

    auto* third = new UIPushButton;
    third->SetDefaultButton(0);
    third->SetVisible(false);
    fThirdButton = AddControl(third);
}

void TextPromptSheet::Destroy()
{
    DestroyControl(fMessageText);
    DestroyControl(fTextField);
    DestroyControl(fPasswordField);
    DestroyControl(fChoiceList);
    DestroyControl(fTextView);
    DestroyControl(fFirstButton);
    DestroyControl(fSecondButton);
    DestroyControl(fThirdButton);
    UIWindowSheet::Destroy();
}

// --- Showing ---

void TextPromptSheet::SetVisible(bool visible)
{
    if (!visible) {
        UIWindowSheet::SetVisible(false);
        return;
    }
    Layout();
    UIWindowSheet::SetVisible(true);
    KeepOnWorkArea();
    if (fTextView != nullptr && fTextView->IsVisible())
        fTextView->SetFocus();
    if (fTextField != nullptr && fTextField->IsVisible())
        fTextField->SetFocus();
}

void TextPromptSheet::Layout()
{
    if (fMessageText == nullptr)
        return;
    const RECT area = WorkArea();
    const int32_t measured = fMessageText->MeasureHeight(kWidth - 2 * kSideMargin);
    const int32_t n = FitMessageHeight(measured, kFirstFieldGap + FieldsHeight() + kButtonBand, area.bottom - area.top);
    if (n < measured && !(fCutMessageLogged == fMessageText->GetText())) {
        // Only the log still has the lines the sheet cannot show.
        fCutMessageLogged = fMessageText->GetText();
        CXDebugLog("TextPromptSheet::Layout> message cut to fit the screen: %s", OneLine(fCutMessageLogged).c_str());
    }
    fMessageText->SetLayout(kSideMargin, kMessageTop, kWidth - kSideMargin, n + kMessageBottomPad, 0, 0);
    const int32_t y = PlaceFields(n + kFirstFieldGap);
    PlaceInWorkArea(y + kButtonBand, area);
    LayoutButtons();
}

int32_t TextPromptSheet::FieldsHeight() const
{
    int32_t height = 0;
    if (fTextField->IsVisible())
        height += kFieldAdvance;
    if (fPasswordField->IsVisible())
        height += kFieldAdvance;
    if (fTextView->IsVisible())
        height += kTextViewAdvance;
    if (fChoiceList->IsVisible())
        height += kChoiceAdvance;
    return height;
}

int32_t TextPromptSheet::PlaceFields(int32_t y)
{
    if (fTextField->IsVisible()) {
        fTextField->SetLayout(kSideMargin, y, kWidth - kSideMargin, y + 21, 0, 0);
        y += kFieldAdvance;
    }
    if (fPasswordField->IsVisible()) {
        fPasswordField->SetLayout(kSideMargin, y, kWidth - kSideMargin, y + 21, 0, 0);
        y += kFieldAdvance;
    }
    if (fTextView->IsVisible()) {
        // Stretched: its right and bottom edges stay inside the sheet's.
        fTextView->SetLayout(kSideMargin, y, -kSideMargin, -54, 2, 2);
        y += kTextViewAdvance;
    }
    if (fChoiceList->IsVisible()) {
        fChoiceList->SetLayout(kSideMargin, y, kWidth - kSideMargin, y + 20, 0, 0);
        y += kChoiceAdvance;
    }
    return y;
}

void TextPromptSheet::PlaceInWorkArea(int32_t clientHeight, const RECT& area)
{
    // The width is fixed: the window's creation resizes the frame to its first client size.
    const int32_t cx = area.left + (area.right - area.left) / 2;
    const int32_t cy = area.top + (area.bottom - area.top) / 2;
    const int32_t half = clientHeight / 2;
    int32_t top = cy - half;
    // A sheet as tall as the work area would lose its caption above it when centred by its client
    // area: it moves down until its window's top is the work area's.
    if (HWND handle = GetNativeHandle()) {
        RECT rect = {cx - kWidth / 2, top, cx + kWidth / 2, cy + half};
        AdjustWindowRectEx(&rect, static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE)), GetMenu(handle) != nullptr,
                           static_cast<DWORD>(GetWindowLongW(handle, GWL_EXSTYLE)));
        if (rect.top < area.top)
            top += area.top - rect.top;
    }
    SetLayout(cx - kWidth / 2, top, cx + kWidth / 2, top + 2 * half, 0, 0);
}

void TextPromptSheet::KeepOnWorkArea()
{
    // Centred over a parent window low on the screen, a sheet as tall as the work area would run
    // past its bottom and take the buttons with it: it moves up, never above the work area's top.
    HWND handle = GetNativeHandle();
    RECT window = {};
    if (handle == nullptr || !GetWindowRect(handle, &window))
        return;
    const RECT area = WorkArea();
    const int32_t up = std::min(window.bottom - area.bottom, window.top - area.top);
    if (up <= 0)
        return;
    const Box2i frame = GetFrame();
    SetLayout(frame.left, frame.top - up, frame.right, frame.bottom - up, 0, 0);
}

int32_t TextPromptSheet::FitMessageHeight(int32_t messageHeight, int32_t belowMessage, int32_t workAreaHeight)
{
    // The client height is the message's plus what lies below it (rounded down to even by the
    // centring); the window adds its frame, caption and menu bar.
    RECT rect = {0, 0, kWidth, messageHeight + belowMessage};
    if (HWND handle = GetNativeHandle()) {
        AdjustWindowRectEx(&rect, static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE)), GetMenu(handle) != nullptr,
                           static_cast<DWORD>(GetWindowLongW(handle, GWL_EXSTYLE)));
    }
    const int32_t excess = (rect.bottom - rect.top) - workAreaHeight;
    if (excess <= 0)
        return messageHeight;
    return std::max(0, messageHeight - excess);
}

void TextPromptSheet::LayoutButtons()
{
    RazaFont font("Times New Roman", 14, RazaFont::kBold);
    int32_t right = -kSideMargin;
    for (UIPushButton* button : {fSecondButton, fThirdButton, fFirstButton}) {
        if (button != fFirstButton && !button->IsVisible())
            continue;
        const int32_t titleWidth = static_cast<int32_t>(font.MeasureWidth(button->GetTitle()));
        const int32_t buttonWidth = std::max(kMinimumButtonWidth, titleWidth + kButtonTitlePad);
        button->SetLayout(right - buttonWidth, kButtonTop, right, kButtonBottom, 1, 1);
        right -= buttonWidth + kButtonGap;
    }
}

// --- Contents ---

void TextPromptSheet::SetMessage(const CXString& text)
{
    if (fMessageText != nullptr)
        fMessageText->SetText(text);
}

void TextPromptSheet::SetButtonTitle(UIPushButton* button, const CXString& title)
{
    if (button == nullptr)
        return;
    button->SetTitle(title);
    button->SetVisible(!title.IsEmpty());
}

void TextPromptSheet::SetFirstButtonTitle(const CXString& title)
{
    SetButtonTitle(fFirstButton, title);
}

void TextPromptSheet::SetSecondButtonTitle(const CXString& title)
{
    SetButtonTitle(fSecondButton, title);
}

void TextPromptSheet::SetThirdButtonTitle(const CXString& title)
{
    SetButtonTitle(fThirdButton, title);
}

void TextPromptSheet::SetChoices(const Choices& choices, const CXString& selectedKey)
{
    if (&choices != &fChoices)
        fChoices = choices;
    if (fChoiceList == nullptr)
        return;
    CXMenu* menu = fChoiceList->GetMenu();
    menu->Clear();
    int32_t selected = -1;
    for (const auto& [key, title] : fChoices) {
        const int32_t index = menu->AddCommandItem(title, CXString(), 0);
        if (key == selectedKey)
            selected = index;
    }
    // Rebuilds the list's entries; without a match nothing is selected.
    fChoiceList->SetSelectedIndex(selected);
    fChoiceList->SetVisible(true);
}

void TextPromptSheet::SetEnteredText(const CXString& text)
{
    if (fTextField == nullptr)
        return;
    fTextField->SetText(text);
    fTextField->SetVisible(true);
    fTextView->SetVisible(false);
    Layout();
}

CXString TextPromptSheet::GetEnteredText()
{
    if (fTextField == nullptr)
        return CXString();
    if (!fTextField->IsVisible() && fTextView->IsVisible())
        return fTextView->GetText();
    return fTextField->GetText();
}

// --- Answers ---

CXResultCode TextPromptSheet::HandleMessage(const CXMessage& message)
{
    const CXString& name = message.GetName();
    CXMessageTarget* source = message.GetSource();
    if (name == "click" && source != nullptr) {
        if (source == static_cast<CXMessageTarget*>(fFirstButton)) {
            Finish(0);
            return 0;
        }
        if (source == static_cast<CXMessageTarget*>(fSecondButton)) {
            Finish(1);
            return 0;
        }
        if (source == static_cast<CXMessageTarget*>(fThirdButton)) {
            Finish(2);
            return 0;
        }
    }
    if (name == "UIEditTextControl::enter") {
        Finish(0);
        return 0;
    }
    return UIWindowSheet::HandleMessage(message);
}

std::vector<CXString> TextPromptSheet::CollectTexts()
{
    std::vector<CXString> texts;
    if (fTextField == nullptr)
        return texts;
    if (fTextField->IsVisible())
        texts.push_back(fTextField->GetText());
    if (fPasswordField->IsVisible())
        texts.push_back(fPasswordField->GetText());
    if (fTextView->IsVisible())
        texts.push_back(fTextView->GetText());
    if (fChoiceList->IsVisible()) {
        const int32_t selected = fChoiceList->GetSelectedIndex();
        CXString key;
        if (selected >= 0 && static_cast<size_t>(selected) < fChoices.size())
            key = std::next(fChoices.begin(), selected)->first;
        texts.push_back(key);
    }
    return texts;
}

void TextPromptSheet::Finish(int32_t result)
{
    // A second button or Enter in the same turn finds the sheet ended already.
    if (fResult != -1)
        return;
    fResult = result;
    const std::vector<CXString> texts = CollectTexts();
    SetVisible(false);

    // The reply may destroy the sheet (through its owner or a "Close" of its own): what follows it
    // is taken out first.
    CXSafePointer<TextPromptSheet> self(this);
    CompletionHandler completion = std::move(fCompletion);
    fCompletion = nullptr;
    const CXString name = result == 1 ? fCancelReply : fReply;
    if (CXMessageTarget* target = fTarget.get(); target != nullptr && !name.IsEmpty()) {
        const CXMessage reply(name, this, texts);
        (void)target->HandleMessage(reply);
    }
    if (completion)
        completion(result, texts);
    // The window goes on the next delivery of posted messages, so the owner stays disabled until
    // the reply and the completion have run.
    if (self)
        CXMessagePost::GetSingleton().Post(this, new CXMessage("Close", this), nullptr,
                                           CXTime::GetCurrentTimestamp());
}
