// The divider: panels, a group box and a line, drawn by style.

#include "toolkit/UIDivider.h"

#include "toolkit/RazaFont.h"
#include "toolkit/RazaGraf.h"
#include "toolkit/UIAppearance.h"

namespace {

// The compositing hint of a control drawn straight onto what lies beneath it.
constexpr int32_t kTransparentHint = 4;
constexpr CXColor kWhite{1.0f, 1.0f, 1.0f, 1.0f};
constexpr CXColor kLightGrey{0.8f, 0.8f, 0.8f, 1.0f};

} // namespace

UIDivider::UIDivider(int32_t style, const CXColor& color) : fColor(color), fStyle(style) {}

void UIDivider::SetColor(const CXColor& color)
{
    if (color == fColor)
        return;
    fColor = color;
    InvalidateAll();
}

void UIDivider::SetStyle(int32_t style)
{
    if (style == fStyle)
        return;
    fStyle = style;
    InvalidateAll();
}

CXColor UIDivider::BlendBackground(const CXColor& divider, const CXColor& appearance)
{
    const float a = divider.alpha;
    const float n = a * a + (1.0f - a) * appearance.alpha;
    auto channel = [&](float d, float p) {
        if (n <= 1e-6f)
            return a * d + (1.0f - a) * p;
        return (d * a * a + p * appearance.alpha * (1.0f - a)) / n;
    };
    return {channel(divider.red, appearance.red), channel(divider.green, appearance.green),
            channel(divider.blue, appearance.blue), 1.0f};
}

void UIDivider::Draw(RazaGraf& graf)
{
    const int32_t w = GetWidth();
    const int32_t h = GetHeight();
    const Box2i bounds{0, 0, w, h, false};
    const CXColor background = BlendBackground(fColor, GetAppearance()->GetColor());
    const bool fillsBackground = compositingHint != kTransparentHint;
    switch (fStyle) {
    case kStyleWhitePanel:
        graf.FillBox(bounds, kWhite);
        break;
    case kStyleFramedPanel:
        if (fillsBackground)
            graf.FillBox(bounds, background);
        graf.FrameBox(bounds, kWhite);
        break;
    case kStyleGroupBox: {
        graf.FrameBox(bounds, kWhite);
        graf.FrameBox({1, 1, w - 1, h - 1, false}, kLightGrey);
        if (fillsBackground)
            graf.FillBox({2, 2, w - 2, h - 2, false}, background);
        RazaFont font = GetFont();
        graf.DrawString(10, font.GetSize() + 8, GetTitle(), font);
        break;
    }
    case kStyleLine: {
        if (fillsBackground)
            graf.FillBox(bounds, background);
        const Box2i line = w < h ? Box2i{w / 2, 0, w / 2 + 1, h, false} : Box2i{0, h / 2, w, h / 2 + 1, false};
        graf.FillBox(line, fColor);
        break;
    }
    default:
        // Styles 5 to 7 are fading rules, which need a gradient the drawing context does not have.
        break;
    }
    DrawWindowlessChildren(graf);
}
