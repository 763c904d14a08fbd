#pragma once

#include "foundation/CXReferenceCount.h"
#include "foundation/CXTask.h"
#include "toolkit/CXColor.h"
#include "toolkit/RazaFont.h"
#include "toolkit/UIBitmap.h"
#include "toolkit/UIRazaStaticText.h"

#include <cstdint>

// A text button drawn over a bitmap: the label's text in the normal font, or in the hover font and
// over the hover bitmap while the pointer rests on it. A release inside sends "click"
// (UIRazaStaticTextClick, from the button). The text may pulse: while the pulse runs, the button's
// task moves the normal font's colour towards the target colour and back, once every 4 seconds of
// the performance clock. Windowless like any label; it hits over its whole frame. Main thread only.
class UITransparentButton : public UIRazaStaticText, public CXTask {
public:
    UITransparentButton();
    // Off its task host first.
    ~UITransparentButton() override;

    // The element's, not the task's.
    using UIRazaStaticText::GetName;
    using UIRazaStaticText::GetParent;

    // The two fonts; the one for the current state is applied at once.
    void SetFonts(const RazaFont& normalFont, const RazaFont& hoverFont);
    // The pictures behind the text (the button holds references; null for none).
    void SetBitmaps(UIBitmap* normalBitmap, UIBitmap* hoverBitmap);
    void HoverOn();
    void HoverOff();
    bool IsHovering() const { return fHovering != 0; }
    // Where the text is drawn from, relative to the label's own placement.
    Vector2i GetTextPosition() const { return GetTextOrigin(); }

    // The colour the pulse moves the text towards.
    void SetPulseTargetColor(const CXColor& color) { fPulseTarget = color; }
    // Starts the pulse from now: the task joins the calling thread's task host (unless it is on
    // one already). The pulse runs until StopPulse.
    void StartPulse();
    // The task leaves its host and the text takes the normal font's colour again (unless hovering).
    void StopPulse();
    // The performance-clock time of the last pulse step in milliseconds; 0 while the pulse is off.
    int64_t GetPulseClock() const { return fPulseClock; }
    // How far towards the target the colour is at time t: (t mod 4000) / 2000, falling back from
    // 1.5 to 0 over the last quarter of the cycle.
    static double PulseFactor(int64_t milliseconds);

    // --- CXTask ---
    // One pulse step: with the pulse off the task leaves its host; while hovering nothing
    // happens; otherwise the normal font, in the colour of this moment, is applied.
    void Idle() override;

    // --- UIElement ---
    // 0 by 0.
    void GetMinimumSize(int32_t& width, int32_t& height) const override;

    // --- CXUIControl ---
    // Applies the font as the label does; when its size, style or face differ from the font
    // applied before, the text is placed again: x 0, y centring the font's line height less 2.
    void SetFont(const RazaFont& font) override;

    // --- UICustomControlBase ---
    // Hit: the whole frame; other kinds as for the label.
    RazaRegion GetRegion(int32_t kind) override;
    // The hover bitmap while hovering and active, else the normal one, over the whole frame; then
    // the text.
    void Draw(RazaGraf& graf) override;
    // A hover inside turns the hover on; a release inside sends "click" and turns it off; a cancel
    // turns it off. True.
    bool HandleMouse(Vector2i point, int32_t modifiers, int32_t phase) override;
    // The pointer left: the hover ends.
    void MouseExited() override;

private:
    bool Inside(Vector2i point) const;

    RazaFont fNormalFont;
    RazaFont fHoverFont;
    // The font applied last, to tell whether the text must be placed again.
    RazaFont fAppliedFont;
    CXColor fPulseTarget{1.0f, 1.0f, 1.0f, 1.0f};
    int64_t fPulseClock = 0;
    uint8_t fHovering = 0;
    CXAutoReference<UIBitmap> fNormalBitmap;
    CXAutoReference<UIBitmap> fHoverBitmap;
};
