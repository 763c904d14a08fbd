#pragma once

#include "foundation/CXString.h"
#include "toolkit/CXUIControl.h"

// A native label: a window of the layer's "STATIC" class showing a UTF-8 text (line breaks as
// "\n"), word-wrapped, aligned by the font's alignment (centred, right, else left), '&' shown as it
// is. The text is drawn in the font's colour on the colour of a UIPanorama or UIDivider parent (also
// one that holds the label through the adapter of native controls under generic parents), or on
// the appearance's colour when the parent is neither or its colour is transparent (alpha 0 or
// less).
// The label keeps its text, so a window made again shows it. Main thread only.
class UIStaticTextControl : public CXUIControl {
public:
    UIStaticTextControl() = default;

    // Nothing when the text is the same; otherwise it is kept and shown.
    void SetText(const CXString& text);
    const CXString& GetText() const { return fText; }

    // --- NativeUIElement ---
    // WM_CTLCOLORSTATIC from the label's own window is answered with its colours (a brush made
    // again whenever the background colour changed); the rest goes to CXUIControl.
    win32::LRESULT HandleNativeMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam) override;

protected:
    void CreateNativeWindow() override;
    // Sets the window's alignment from the font, repaints it, then gives it the font.
    void ApplyFont() override;

private:
    CXColor BackgroundColor();

    CXString fText;
};
