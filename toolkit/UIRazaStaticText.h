#pragma once

#include "foundation/CXMessage.h"
#include "foundation/CXString.h"
#include "toolkit/UICustomControl.h"

#include <cstdint>

// The label: a UTF-8 text in the control's font, one line per line feed, optionally wrapped at
// the control's width, placed by the font's alignment (left; centred; right with "…" at the start
// of a line too long; left with "…" at the start, keeping the end in view). It fills no
// background: what lies under it shows through.
//
// A label is windowless (its parent draws it) under a window or a custom control: add it to its
// parent first, then Init it. Given Init without a parent it gets a window of its own, which is
// reported ("uhoh"). A label that is not clickable has an empty hit region, so under a custom
// control the mouse reaches what lies beneath it; a clickable one sends "click"
// (UIRazaStaticTextClick) on a release inside it. Main thread only.
class UIRazaStaticText : public UICustomControl {
public:
    // Empty, not wrapped, not clickable; windowless hint.
    UIRazaStaticText();

    // Nothing when the text is the same; otherwise the label is drawn again.
    void SetText(const CXString& text);
    const CXString& GetText() const { return fText; }
    // Lines are wrapped at the width from now on, and the label asks its parent for no size.
    void EnableWordWrap();
    void SetClickable(bool clickable) { fClickable = clickable ? 1 : 0; }
    bool IsClickable() const { return fClickable != 0; }

    // --- UIElement ---
    // The element's layout, then the label is drawn again.
    void LayoutChildren() override;
    // The text on one line (the font's size 0 taken as 12); (0, 0) with wrapping.
    void GetMinimumSize(int32_t& width, int32_t& height) const override;
    // 8, 13, 8, 13.
    void GetInsets(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const override;

    // --- CXUIControl ---
    // Merges the font into the label's; then the label is drawn again and laid out.
    void SetFont(const RazaFont& font) override;

    // --- UICustomControlBase ---
    // The hit region is empty unless the label is clickable; other kinds as for any control.
    RazaRegion GetRegion(int32_t kind) override;
    // The lines from the top: the first with its bottom edge at ascent + descent + 3, each next one
    // ascent + descent + internal leading lower. A wrapped line breaks at the last white space
    // that fits (dropping the white space there), or cuts a word wider than the label; a label
    // narrower than one character draws each line whole.
    void Draw(RazaGraf& graf) override;
    // The height Draw's lines take at the width, from the label's top to the last line's bottom
    // edge (ascent + descent + 3 for one line); the lines break exactly as Draw breaks them.
    int32_t MeasureHeight(int32_t width) const;
    // A clickable label sends "click" on a release inside its hit region; true when clickable.
    bool HandleMouse(Vector2i point, int32_t modifiers, int32_t phase) override;

protected:
    // Reports the window a label should not have, then makes it.
    void CreateNativeWindow() override;
    // Moves every line by the offset from where Draw would put it; (0, 0) at first.
    void SetTextOrigin(Vector2i origin) { fTextOrigin = origin; }
    Vector2i GetTextOrigin() const { return fTextOrigin; }

private:
    void DrawLine(RazaGraf& graf, const CXStringArgument& line, int32_t y, RazaFont& font, int32_t width);

    CXString fText;
    // Added to every line's position.
    Vector2i fTextOrigin;
    uint8_t fWordWrap = 0;
    uint8_t fClickable = 0;
};

// The "click" of a label, from the label itself.
class UIRazaStaticTextClick : public CXMessage {
public:
    UIRazaStaticTextClick(CXMessageTarget* sender, Vector2i point, int32_t modifiers)
        : CXMessage("click", sender)
        , fPoint(point)
        , fModifiers(modifiers)
    {
    }

    // In the label's coordinates.
    Vector2i GetPoint() const { return fPoint; }
    // 0x2 Shift, 0x8 Alt, 0x10 Ctrl.
    int32_t GetModifiers() const { return fModifiers; }

private:
    Vector2i fPoint;
    int32_t fModifiers;
};
