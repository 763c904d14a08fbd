#pragma once

#include "toolkit/CXUIControl.h"
#include "toolkit/RazaTextEditInterface.h"

#include <cstdint>
#include <optional>

// The text field: a window of the layer's "RichEdit20W" class. The field keeps its own copy of
// the text (UTF-8, "\n" line breaks), which outlives the window: a window made again shows it.
// What the user types is checked against the input kind and the length limit; a change that
// breaks them is undone at once, silently. The field sends, with itself as source, to its own
// HandleMessage and so up the message chain:
//   "UIEditTextControl::text-changed"  the user changed the text to another acceptable one (not
//                                      while notifications are suppressed, so never for SetText)
//   "UIEditTextControl::enter"         Enter while the field has the focus
//   "UIEditTextControl::text-opened"   the field gained the focus
//   "UIEditTextControl::text-closed"   the field lost it
// It performs "edit-select-all", "edit-copy", "edit-cut", "edit-paste", "edit-clear" and
// "edit-undo" (answer 0), and answers "update-command-status" for them: -11 when the command
// cannot act now (nothing selected, an empty text, nothing to undo, copying or cutting a
// password), 0 when it can, -2 for "edit-redo". A single-line field passes wheel turns on to its
// parent's HandleScrollWheel. Main thread only.
class UIEditTextControl : public CXUIControl, public RazaTextEditInterface {
public:
    // What the field accepts.
    enum InputKind : int32_t {
        kAnyText = 0,
        // Digits, at most one '.', '-' only first.
        kDecimal = 1,
        // Digits, '-' only first.
        kInteger = 2,
        // Digits, at most one '.' with at most two digits after it, '-' and '$' at most once each,
        // in either order, before the first digit or '.'.
        kMoney = 3,
    };

    UIEditTextControl() = default;
    // Forgets the field's wheel remainders.
    ~UIEditTextControl() override;

    // --- UIElement ---
    // 32 by 21.
    void GetMinimumSize(int32_t& width, int32_t& height) const override;
    // 8, 10, 8, 10.
    void GetInsets(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const override;
    // The edit commands and their status queries as above; everything else goes to UIElement.
    CXResultCode HandleMessage(const CXMessage& message) override;

    // --- NativeUIElement ---
    // Enter (the reflected IDOK, wParam exactly 1) sends "enter"; EN_CHANGE checks the user's
    // change; the rest goes to CXUIControl.
    win32::LRESULT HandleNativeMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam) override;
    // A wheel turn over a single-line field goes to HandleScrollWheel (so to the parent) as a
    // wheel record; every message then goes on to the window.
    win32::LRESULT HandleSubclassMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam) override;

    // --- CXUIControl ---
    // "text-opened" and "text-closed".
    void FocusGained() override;
    void FocusLost() override;

    // --- RazaTextEditInterface ---
    // Nothing for a text that is not acceptable or equals the stored one. Otherwise stored and,
    // with a window, shown there (line breaks as CR LF) with the caret at its end; no
    // "text-changed" follows.
    void SetText(const CXString& text) override;
    // Reads the window's text when there is one (line breaks as "\n") and stores it; answers the
    // stored text.
    CXString GetText() override;
    // Selects from max(start, 0) to max(end, that); nothing without a window.
    void SetSelection(int32_t start, int32_t end) override;
    // 0 and 0 without a window.
    void GetSelection(int32_t& start, int32_t& end) override;

    // The flags take effect when the window is made: set them before Init. The password flag on
    // a field that has a window is logged and waits for the next window.
    void SetMultiLine(bool multiLine) { fMultiLine = multiLine ? 1 : 0; }
    void SetPasswordField(bool password);
    void SetInputKind(int32_t kind) { fInputKind = kind; }
    // The limit in UTF-8 characters (0x7FFF at first); ApplyMaximumLength gives it to the window.
    void SetMaximumLength(int64_t characters) { fMaximumLength = characters; }
    void ApplyMaximumLength();
    // A read-only field still selects and copies.
    void SetEditable(bool editable);

    bool IsMultiLine() const { return fMultiLine != 0; }
    bool IsPasswordField() const { return fPassword != 0; }
    int32_t GetInputKind() const { return fInputKind; }
    int64_t GetMaximumLength() const { return fMaximumLength; }
    // Whether SetText and the user's changes would take the text: at most maximumLength
    // characters, of the input kind.
    bool IsAcceptableText(const CXString& text) const;

protected:
    // A hidden "RichEdit20W" window with the stored text, subclassed, its limit, no undo and
    // ENM_CHANGE added to its event mask, without the sunken edges.
    void CreateNativeWindow() override;
    // The font record as the window's character format: size + 1 points in twips, style bits,
    // colour, and the face (at most 31 UTF-16 units).
    void ApplyFont() override;

private:
    CXResultCode PerformCommand(const CXString& command);
    // Null for a command the field does not answer for.
    std::optional<CXResultCode> CommandStatus(const CXString& command);
    // EN_CHANGE: the user's new text, refused (the old text shown again) or told.
    void UserChangedText();

    uint8_t fMultiLine = 0;
    uint8_t fPassword = 0;
    int32_t fInputKind = kAnyText;
    CXString fText;
    int64_t fMaximumLength = 0x7FFF;
};
