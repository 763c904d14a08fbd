#pragma once

#include "foundation/CXSafePointer.h"
#include "foundation/CXString.h"
#include "toolkit/UIWindowSheet.h"

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

class UIEditTextControl;
class UIPopupMenuButton;
class UIPushButton;
class UIRazaStaticText;
class UITextView;

// The dialog that tells the user something or asks a question: a modal sheet, 450 pixels wide,
// with a wrapped message, optional entry fields (a text field, a password field, a multi-line
// text view, a choice list) and up to three push buttons, right-aligned at the bottom.
//
// The first button (or Enter in the text field) answers 0, the second 1, the third 2. The answer
// ends the sheet once: it collects the texts of its visible fields, hides, sends the reply
// message (the cancel reply for 1), synchronously, to the target it was made for when that target
// is still alive, calls the completion function, and asks itself to close on the next delivery of
// posted messages. Its owner window stays disabled until it has closed, also while the reply
// runs. A sheet closed without an answer ("Close", "ForceClose") sends and calls nothing.
//
// The sheet owns itself: made by a factory (or new, then Init and SetVisible(true)), it lives
// until it closes. Main thread only.
class TextPromptSheet : public UIWindowSheet {
public:
    using Choices = std::map<CXString, CXString>;
    // The result and the texts of the fields that were shown.
    using CompletionHandler = std::function<void(int32_t result, const std::vector<CXString>& texts)>;

    static constexpr int32_t kWidth = 450;

    // The message with "OK" alone; no reply is sent.
    static TextPromptSheet* ShowMessage(CXMessageTarget* target, const CXString& message);
    // The message with the two buttons of the given titles (each hidden when its title is empty);
    // `reply` is sent for the first.
    static TextPromptSheet* ShowButtonPrompt(CXMessageTarget* target, const CXString& message, const CXString& reply,
                                             const CXString& firstTitle, const CXString& secondTitle);
    // The message over a list of the choices' titles in key order, "OK" and "Cancel"; `reply`
    // carries the chosen key ("" when nothing valid is chosen).
    static TextPromptSheet* ShowChoicePrompt(CXMessageTarget* target, const CXString& message, const Choices& choices,
                                             const CXString& selectedKey, const CXString& reply);

    // `target` (borrowed, may be null) receives the reply. When it is an element, it is the sheet's
    // parent and the sheet is modal; otherwise the sheet has neither parent nor owner.
    explicit TextPromptSheet(CXMessageTarget* target);
    ~TextPromptSheet() override;

    // --- UIElement ---
    // The buttons' "click" and the text field's "UIEditTextControl::enter" end the sheet (answer
    // 0); the rest goes to the window ("Close" and "ForceClose" close it) and then to the parent.
    CXResultCode HandleMessage(const CXMessage& message) override;
    // Makes the window, then the controls. A second call is reported and changes nothing.
    void Init() override;
    // Destroys the controls, then the sheet.
    void Destroy() override;
    // Showing lays the sheet out in the middle of the work area (then over a parent window) and
    // focuses the text field, else the text view, when shown.
    void SetVisible(bool visible) override;

    // Ends the sheet with the result (0, 1 or 2) as described above. Nothing once it has ended.
    virtual void Finish(int32_t result);

    void SetCompletionHandler(CompletionHandler handler) { fCompletion = std::move(handler); }
    // Message names; empty sends nothing.
    void SetReply(const CXString& name) { fReply = name; }
    void SetCancelReply(const CXString& name) { fCancelReply = name; }
    void SetMessage(const CXString& text);
    // A button is shown exactly when its title is not empty.
    void SetFirstButtonTitle(const CXString& title);
    void SetSecondButtonTitle(const CXString& title);
    void SetThirdButtonTitle(const CXString& title);
    // Fills the choice list with the titles in key order, selects the entry of `selectedKey` when
    // there is one (otherwise nothing), and shows the list.
    void SetChoices(const Choices& choices, const CXString& selectedKey);
    // Shows the text field with the text (instead of the text view) and lays the sheet out again.
    void SetEnteredText(const CXString& text);
    // The text view's text while it is shown and the text field is not; else the text field's.
    CXString GetEnteredText();

    // -1 until the sheet has ended.
    int32_t GetResult() const { return fResult; }
    // The controls, null before Init and after Destroy.
    UIRazaStaticText* GetMessageText() const { return fMessageText; }
    UIEditTextControl* GetTextField() const { return fTextField; }
    UIEditTextControl* GetPasswordField() const { return fPasswordField; }
    UIPopupMenuButton* GetChoiceList() const { return fChoiceList; }
    UITextView* GetTextView() const { return fTextView; }
    UIPushButton* GetFirstButton() const { return fFirstButton; }
    UIPushButton* GetSecondButton() const { return fSecondButton; }
    UIPushButton* GetThirdButton() const { return fThirdButton; }

private:
    // Places the message, the shown fields and the buttons, and sizes and centres the sheet in the
    // work area. A message too tall for the work area is cut (and written to the log whole) so
    // that the fields and buttons stay on screen.
    void Layout();
    // The height the message may take so that the window's rectangle is no taller than the work
    // area, given the message's height and the client height below it.
    int32_t FitMessageHeight(int32_t messageHeight, int32_t belowMessage, int32_t workAreaHeight);
    // The height the shown fields take, and their placement from y down (answers the y after them).
    int32_t FieldsHeight() const;
    int32_t PlaceFields(int32_t y);
    // The frame: kWidth by clientHeight in the middle of the work area, its caption kept on it.
    void PlaceInWorkArea(int32_t clientHeight, const win32::RECT& area);
    void KeepOnWorkArea();
    void LayoutButtons();
    // The texts of the shown fields, in field order.
    std::vector<CXString> CollectTexts();
    void SetButtonTitle(UIPushButton* button, const CXString& title);
    template <class Control>
    Control* AddControl(Control* control);

    CXSafePointer<CXMessageTarget> fTarget;
    CXString fReply;
    CXString fCancelReply;
    Choices fChoices;
    CompletionHandler fCompletion;
    UIRazaStaticText* fMessageText = nullptr;
    UIEditTextControl* fTextField = nullptr;
    UIEditTextControl* fPasswordField = nullptr;
    UIPopupMenuButton* fChoiceList = nullptr;
    UITextView* fTextView = nullptr;
    UIPushButton* fFirstButton = nullptr;
    UIPushButton* fSecondButton = nullptr;
    UIPushButton* fThirdButton = nullptr;
    int32_t fResult = -1;
    // The message last written to the log because it was cut (each cut message is logged once).
    CXString fCutMessageLogged;
};
