#include "toolkit/TextStyle.h"

#include <cmath>

TextStyle::TextStyle(const TextStyle& other)
{
    CopyAppearance(other);
}

TextStyle& TextStyle::operator=(const TextStyle& other)
{
    if (&other != this) {
        CopyAppearance(other);
        fAdvances.clear();
    }
    return *this;
}

void TextStyle::CopyAppearance(const TextStyle& other)
{
    face = other.face;
    flags = other.flags;
    size = other.size;
    textColor = other.textColor;
    backgroundColor = other.backgroundColor;
    tabStops = other.tabStops;
    tabInterval = other.tabInterval;
    firstLineIndent = other.firstLineIndent;
    leftIndent = other.leftIndent;
    lineHeight = other.lineHeight;
    ascent = other.ascent;
    font = other.font;
}

bool TextStyle::SameAppearance(const TextStyle& other) const
{
    return face == other.face && flags == other.flags && size == other.size && textColor == other.textColor &&
           backgroundColor == other.backgroundColor && tabInterval == other.tabInterval &&
           firstLineIndent == other.firstLineIndent && leftIndent == other.leftIndent && tabStops == other.tabStops;
}

void TextStyle::UpdateMetrics()
{
    uint8_t bits = 0;
    if ((flags & kBold) != 0)
        bits |= RazaFont::kBold;
    if ((flags & kItalic) != 0)
        bits |= RazaFont::kItalic;
    if ((flags & kUnderline) != 0)
        bits |= RazaFont::kUnderline;
    if ((flags & kStrikeThrough) != 0)
        bits |= RazaFont::kStrikeOut;
    font = RazaFont(face, size, bits, textColor);
    fAdvances.clear();

    RazaFontMetrics metrics;
    if (!font.GetMetrics(metrics)) {
        lineHeight = 0;
        ascent = 0;
        return;
    }
    lineHeight = static_cast<int16_t>(metrics.ascent + metrics.descent + metrics.externalLeading);
    ascent = static_cast<int16_t>(metrics.ascent);
}

double TextStyle::Advance(double x, uint32_t c, uint32_t next)
{
    if (IsHidden() || c == '\r' || c == '\n')
        return 0.0;
    if (c == '\t') {
        for (int32_t stop : tabStops) {
            if (stop > x)
                return stop - x;
        }
        if (tabInterval < 1)
            return 0.0;
        const int64_t lastStop = tabStops.empty() ? 0 : tabStops.back();
        const int64_t past = static_cast<int64_t>(std::ceil(x)) - lastStop;
        return static_cast<double>(tabInterval - past % tabInterval);
    }
    (void)next;
    auto found = fAdvances.find(c);
    if (found != fAdvances.end())
        return found->second;
    double width = 0.0;
    double height = 0.0;
    font.MeasureChar(c, width, height);
    fAdvances.emplace(c, static_cast<float>(width));
    return static_cast<float>(width);
}
