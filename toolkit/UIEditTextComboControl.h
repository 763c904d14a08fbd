#pragma once

#include "toolkit/CXUIControl.h"

#include <cstdint>

// A plain one-line text field on the layer's "EDIT" class: the text field's lighter sibling, with a
// length limit and no input kinds. It keeps its own copy of the text (UTF-8, "\n" line breaks),
// which outlives the window. A change by the user that takes the text past the limit is undone at
// once, silently. The field sends, with itself as source, to its own HandleMessage and so up the
// message chain:
//   "UIEditTextComboControl::text-changed"  the user changed the text to another one within the
//                                           limit (not while notifications are suppressed, so
//                                           never for SetText)
//   "UIEditTextComboControl::enter"         Enter while the field has the focus
//   "UIEditTextComboControl::text-opened"   the field gained the focus
//   "UIEditTextComboControl::text-closed"   the field lost it
// Main thread only.
class UIEditTextComboControl : public CXUIControl {
public:
    UIEditTextComboControl() = default;

    // --- UIElement ---
    // 32 by 21.
    void GetMinimumSize(int32_t& width, int32_t& height) const override;
    // 8, 10, 8, 10.
    void GetInsets(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const override;

    // --- NativeUIElement ---
    // Enter (the reflected IDOK, wParam exactly 1) sends "enter"; EN_CHANGE checks the user's
    // change; the rest goes to CXUIControl.
    win32::LRESULT HandleNativeMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam) override;

    // --- CXUIControl ---
    // "text-opened" and "text-closed".
    void FocusGained() override;
    void FocusLost() override;

    // Nothing for a text longer than the limit or equal to the stored one. Otherwise stored and,
    // with a window, shown there (line breaks as CR LF); no "text-changed" follows.
    void SetText(const CXString& text);
    // Reads the window's text when there is one (line breaks as "\n") and stores it; answers the
    // stored text.
    CXString GetText();

    // The limit in code points (0x7FFF at first). A lower limit leaves a longer stored text as it
    // is; it holds for the next change.
    void SetMaximumLength(int64_t codePoints) { fMaximumLength = codePoints; }
    int64_t GetMaximumLength() const { return fMaximumLength; }
    // At most maximumLength code points.
    bool IsWithinLimit(const CXString& text) const;

protected:
    // An "EDIT" window with the stored text; no subclass.
    void CreateNativeWindow() override;

private:
    // Stores the text and, with a window, shows it there with notifications suppressed.
    void ShowText(const CXString& text);
    // EN_CHANGE: the user's new text, refused (the old text shown again) or told.
    void UserChangedText();

    CXString fText;
    int64_t fMaximumLength = 0x7FFF;
};
