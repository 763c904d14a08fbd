#pragma once

#include "foundation/CXString.h"
#include "toolkit/RazaFont.h"
#include "toolkit/UIEditTextControl.h"

// A one-line search field: the text field with a grey placeholder while it is empty and unfocused,
// and a search icon ("search-icon.bmp" of the data folder) at its right end, in a "STATIC" bitmap
// window inside the field's window. When the user changes the text the field stores it as its
// value and sends "UISearchField::value-changed", with itself as source, to its own HandleMessage
// and so up the message chain. The icon's bitmap belongs to the icon window and is deleted with
// it. Main thread only.
class UISearchField : public UIEditTextControl {
public:
    static constexpr const char* kValueChangedMessage = "UISearchField::value-changed";
    static constexpr const char* kIconFile = "search-icon.bmp";

    // The placeholder " Search"; both fonts copied from the control's font, the placeholder's grey.
    UISearchField();
    ~UISearchField() override;

    // Shown, in the placeholder font, while the field is empty and unfocused.
    void SetPlaceholder(const CXString& placeholder);
    const CXString& GetPlaceholder() const { return fPlaceholder; }
    // The text last typed (never the placeholder).
    const CXString& GetValue() const { return fValue; }
    // The icon window, null without one.
    win32::HWND GetIconWindow() const { return fIconWindow; }

    // --- UIElement ---
    // 0 by 0: the field takes the frame it is given (the filter panel's is 17 pixels high).
    void GetMinimumSize(int32_t& width, int32_t& height) const override;
    // "UIEditTextControl::text-changed" from the field itself takes the value and sends
    // "value-changed" (answer 0); the rest as for the text field.
    CXResultCode HandleMessage(const CXMessage& message) override;
    void SetVisible(bool visible) override;
    void InvalidateAll() override;
    // The field's layout, then the icon moved to (width - height - 2, 1), height - 2 square.
    void ApplyLayout() override;

    // --- CXUIControl ---
    void SetEnabled(bool enabled) override;
    // Copies the font into the text font and the placeholder font (grey again), then shows the
    // one in use.
    void SetFont(const RazaFont& font) override;
    void FocusGained() override;
    void FocusLost() override;

    // --- NativeUIElement ---
    // The icon window's WM_CTLCOLORSTATIC is answered with the window colour; the rest as for the
    // text field.
    win32::LRESULT HandleSubclassMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam) override;

protected:
    // The field's window, then the icon window with its bitmap.
    void CreateNativeWindow() override;
    // The icon window (and so its bitmap), then the field's window.
    void DestroyNativeWindow() override;

private:
    // The value in the text font, or the placeholder in its font, as the focus and value say.
    void UpdateDisplay(bool focused);
    void CreateIconWindow(win32::HWND field);
    void PlaceIcon();
    // The icon window while it lives; a window that died with the field's is forgotten.
    win32::HWND LiveIconWindow();

    CXString fValue;
    CXString fPlaceholder{" Search"};
    RazaFont fTextFont;
    RazaFont fPlaceholderFont;
    uint8_t fShowingPlaceholder = 0;
    win32::HWND fIconWindow = nullptr;
};
