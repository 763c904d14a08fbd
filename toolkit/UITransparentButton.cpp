#include "toolkit/UITransparentButton.h"

#include "foundation/CXSafePointer.h"
#include "foundation/CXTime.h"
#include "toolkit/RazaGraf.h"

#include <algorithm>

namespace {

constexpr int64_t kPulsePeriod = 4000;
constexpr CXColor kOpaqueWhite{1.0f, 1.0f, 1.0f, 1.0f};

float Towards(float from, float to, double factor)
{
    return static_cast<float>(from + (to - from) * factor);
}

} // namespace

UITransparentButton::UITransparentButton() : CXTask("UITransparentButton")
{
    SetTracksHover(true);
}

UITransparentButton::~UITransparentButton()
{
    DetachFromHost();
}

void UITransparentButton::SetFonts(const RazaFont& normalFont, const RazaFont& hoverFont)
{
    fNormalFont = normalFont;
    fHoverFont = hoverFont;
    SetFont(fHovering ? fHoverFont : fNormalFont);
}

void UITransparentButton::SetBitmaps(UIBitmap* normalBitmap, UIBitmap* hoverBitmap)
{
    fNormalBitmap.Reference(normalBitmap);
    fHoverBitmap.Reference(hoverBitmap);
    InvalidateAll();
}

void UITransparentButton::HoverOn()
{
    SetFont(fHoverFont);
    fHovering = 1;
    InvalidateAll();
}

void UITransparentButton::HoverOff()
{
    SetFont(fNormalFont);
    fHovering = 0;
    InvalidateAll();
}

// --- Pulse ---

void UITransparentButton::StartPulse()
{
    // 0 means off, so a clock that reads 0 counts as its first millisecond.
    fPulseClock = std::max<int64_t>(CXTime::GetPerformanceMilliseconds(), 1);
    if (GetHost() == nullptr)
        CXTaskHost::GetCurrentThreadTaskHost()->AddTask(this);
}

void UITransparentButton::StopPulse()
{
    fPulseClock = 0;
    DetachFromHost();
    if (!fHovering)
        SetFont(fNormalFont);
}

double UITransparentButton::PulseFactor(int64_t milliseconds)
{
    const int64_t phase = ((milliseconds % kPulsePeriod) + kPulsePeriod) % kPulsePeriod;
    double factor = static_cast<double>(phase) / 2000.0;
    if (factor > 1.5)
        factor = 1.0 - (factor - 1.5) * 2.0;
    return factor;
}

void UITransparentButton::Idle()
{
    if (fPulseClock == 0) {
        DetachFromHost();
        return;
    }
    if (fHovering)
        return;
    const int64_t now = CXTime::GetPerformanceMilliseconds();
    fPulseClock = std::max<int64_t>(now, 1);
    const double factor = PulseFactor(now);
    // Past the middle of the cycle the colour overshoots the target; drawing clamps each channel.
    const CXColor& from = fNormalFont.GetColor();
    RazaFont pulsed = fNormalFont;
    pulsed.SetColor({Towards(from.red, fPulseTarget.red, factor), Towards(from.green, fPulseTarget.green, factor),
                     Towards(from.blue, fPulseTarget.blue, factor), Towards(from.alpha, fPulseTarget.alpha, factor)});
    SetFont(pulsed);
}

// --- Element ---

void UITransparentButton::GetMinimumSize(int32_t& width, int32_t& height) const
{
    width = 0;
    height = 0;
}

void UITransparentButton::SetFont(const RazaFont& font)
{
    const bool differed = !(font == fAppliedFont);
    fAppliedFont = font;
    UIRazaStaticText::SetFont(font);
    if (!differed)
        return;
    RazaFont applied = GetFont();
    applied.CreateFontHandle();
    RazaFontMetrics metrics;
    (void)applied.GetMetrics(metrics);
    const int32_t lineHeight = metrics.ascent + metrics.descent + metrics.internalLeading;
    SetTextOrigin({0, ((GetHeight() - lineHeight) >> 1) - 2});
    InvalidateAll();
}

// --- Drawing and input ---

RazaRegion UITransparentButton::GetRegion(int32_t kind)
{
    if (kind == kRegionHit)
        return RazaRegion(Box2i{0, 0, GetWidth(), GetHeight(), false});
    return UIRazaStaticText::GetRegion(kind);
}

void UITransparentButton::Draw(RazaGraf& graf)
{
    // A button that is not told of activation counts as active.
    const bool active = !receivesActivation || appearingActive;
    UIBitmap* bitmap = fHovering && fHoverBitmap.get() != nullptr && active ? fHoverBitmap.get() : fNormalBitmap.get();
    if (bitmap != nullptr)
        graf.DrawBitmap(*bitmap, Box2i{0, 0, GetWidth(), GetHeight(), false}, kOpaqueWhite);
    UIRazaStaticText::Draw(graf);
}

bool UITransparentButton::Inside(Vector2i point) const
{
    return point.x >= 0 && point.y >= 0 && point.x < GetWidth() && point.y < GetHeight();
}

bool UITransparentButton::HandleMouse(Vector2i point, int32_t modifiers, int32_t phase)
{
    CXSafePointer<UIElement> alive(this);
    if (phase == kMouseHover && Inside(point) && !fHovering) {
        HoverOn();
    } else if (phase == kMouseRelease && Inside(point)) {
        // The owner's handler may destroy the button.
        (void)HandleMessage(UIRazaStaticTextClick(this, point, modifiers));
        if (!alive)
            return true;
        HoverOff();
    } else if (phase == kMouseCancel) {
        HoverOff();
    }
    (void)UIRazaStaticText::HandleMouse(point, modifiers, phase);
    return true;
}

void UITransparentButton::MouseExited()
{
    UIRazaStaticText::MouseExited();
    if (fHovering)
        HoverOff();
}
