#pragma once

#include "toolkit/CXColor.h"
#include "toolkit/UICustomControl.h"

#include <cstdint>

// A decoration drawn by the toolkit, chosen by its style:
//   1  a white panel
//   2  a panel in the background colour (below) framed in white
//   3  a group box: white and light grey frames round a panel in the background colour, the
//      element's title as its caption at (10, font size + 8) in the control's font
//   4  a panel in the background colour with a one-pixel line in the divider's colour across its
//      middle, vertical when the divider is taller than wide, else horizontal
//   5, 6, 7  a fading rule, which the drawing context cannot draw: nothing
// Any other style draws nothing of its own. The background colour is the divider's colour blended
// over the appearance's (BlendBackground); a divider with the transparent compositing hint (4)
// leaves out the background of styles 2 to 4. The windowless children are drawn last. Native
// static texts under a divider take its colour as their background. Main thread only.
class UIDivider : public UICustomControl {
public:
    static constexpr int32_t kStyleWhitePanel = 1;
    static constexpr int32_t kStyleFramedPanel = 2;
    static constexpr int32_t kStyleGroupBox = 3;
    static constexpr int32_t kStyleLine = 4;

    UIDivider(int32_t style, const CXColor& color);

    // Each is stored and the divider drawn again; nothing when unchanged.
    void SetColor(const CXColor& color);
    void SetStyle(int32_t style);
    const CXColor& GetColor() const { return fColor; }
    int32_t GetStyle() const { return fStyle; }

    // --- UICustomControlBase ---
    void Draw(RazaGraf& graf) override;

    // The divider's colour D over the appearance's colour P, weighted by D's alpha: with n = D.a²
    // + (1 - D.a) × P.a each channel is (D × D.a² + P × P.a × (1 - D.a)) / n, or D.a × D + (1 -
    // D.a) × P when n is 1e-6 or less; alpha 1.
    static CXColor BlendBackground(const CXColor& divider, const CXColor& appearance);

private:
    CXColor fColor;
    int32_t fStyle;
};
