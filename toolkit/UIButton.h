#pragma once

#include "toolkit/CXUIControl.h"

#include <cstdint>

// The two button controls, each a window of the layer's "button" class. A click (the mouse,
// Space, or Enter while the button has the focus) becomes two named messages with the button as
// source, passed to the button's own HandleMessage and so up the message chain: "preclick", then
// "click" when "preclick" was answered with 0 or left unhandled (-2). Any other answer to
// "preclick" vetoes the click. A handler may destroy the button: nothing more is sent then.
// Main thread only.

// A command button; the default one is drawn with a heavy frame.
class UIPushButton : public CXUIControl {
public:
    UIPushButton() = default;

    // --- UIElement ---
    // 32 by 24.
    void GetMinimumSize(int32_t& width, int32_t& height) const override;
    // 8, 10, 8, 10.
    void GetInsets(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const override;
    // Nothing when the title is unchanged; otherwise stored and given to the window when there is
    // one.
    void SetTitle(const CXString& title) override;

    // --- NativeUIElement ---
    // A click (BN_CLICKED, or Enter's IDOK) sends "preclick" and "click" and answers 0; the rest
    // goes to CXUIControl.
    win32::LRESULT HandleNativeMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam) override;

    // --- CXUIControl ---
    // As CXUIControl; then, with a window, the title is placed by the font's alignment: left,
    // centred or right (any other alignment leaves the window's placement as it is).
    void SetFont(const RazaFont& font) override;

    // 1 makes the button the default push button. It takes effect when the window is next made.
    void SetDefaultButton(int32_t defaultButton) { fDefaultButton = defaultButton; }
    int32_t GetDefaultButton() const { return fDefaultButton; }

protected:
    // A hidden push button (a default push button when defaultButton is 1), tab stop.
    void CreateNativeWindow() override;

private:
    int32_t fDefaultButton = 0;
};

// A checkbox that toggles itself when clicked; the check state lives in the window. The toggle
// has happened when "preclick" arrives, and a veto does not undo it.
class UICheckbox : public CXUIControl {
public:
    UICheckbox() = default;

    // --- UIElement ---
    // Nothing when the title is unchanged; otherwise stored and given to the window when there is
    // one.
    void SetTitle(const CXString& title) override;

    // --- NativeUIElement ---
    // A click sends "preclick" and "click" and answers 0. The window's WM_CTLCOLORSTATIC is
    // answered with the font's colour for the text and the appearance's colour for the
    // background. The rest goes to CXUIControl.
    win32::LRESULT HandleNativeMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam) override;

    // False without a window.
    bool IsChecked();
    // Nothing without a window; the window tells nobody.
    void SetChecked(bool checked);

protected:
    // A hidden auto checkbox, tab stop.
    void CreateNativeWindow() override;
};
