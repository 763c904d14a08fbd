// Measuring and drawing text: metrics, extents, ExtTextOutW and DrawTextW.

#include "win32/gdi/Text.h"

#include "win32/gdi/FontInternal.h"
#include "win32/gdi/TextLayout.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

namespace win32::gdi {

namespace {

std::atomic<TextSpy*> gSpy{nullptr};

// Coordinates far outside any surface are pinned here before they become target boxes.
constexpr int64_t kCoordinateLimit = 1 << 30;

LONG Pin(int64_t value)
{
    return static_cast<LONG>(std::clamp(value, -kCoordinateLimit, kCoordinateLimit));
}

int64_t FloorHalf(int64_t value)
{
    return value >= 0 ? value / 2 : -((-value + 1) / 2);
}

// Draws into one DC with its font, inside the DC's drawable area and an optional logical clip.
class TextPainter {
public:
    TextPainter(DeviceContext& dc, FontInstance& font, const LOGFONTW& description, const RECT* clip)
        : fCanvas(&dc), fFont(font), fDescription(description), fColor(OpaquePixel(dc.textColor))
    {
        if (clip != nullptr)
            fCanvas.ClipTo(*clip);
    }

    void Fill(int64_t left, int64_t top, int64_t right, int64_t bottom, COLORREF color)
    {
        fCanvas.Fill(Pin(left), Pin(top), Pin(right), Pin(bottom), OpaquePixel(color));
    }

    void Glyph(int64_t penX, int64_t baseline, uint32_t codePoint)
    {
        if (!fCanvas.Drawable())
            return;
        const GlyphImage* glyph = fFont.Glyph(codePoint);
        if (glyph == nullptr)
            return;
        int64_t left = penX + glyph->left;
        int64_t top = baseline - glyph->top;
        int64_t originX = left + fCanvas.Offset().x;
        int64_t originY = top + fCanvas.Offset().y;
        fCanvas.Each(Pin(left), Pin(top), Pin(left + glyph->width), Pin(top + glyph->height), [&](uint32_t& pixel, int x, int y) {
            size_t index = static_cast<size_t>(y - originY) * static_cast<size_t>(glyph->width) + static_cast<size_t>(x - originX);
            pixel = Blend(pixel, glyph->coverage[index]);
        });
    }

    // The font's underline and strike-out over [x, x + width) of a line.
    void Decorate(int64_t x, int64_t width, int64_t baseline)
    {
        if (fDescription.lfUnderline != 0)
            Underline(x, width, baseline);
        if (fDescription.lfStrikeOut != 0) {
            int64_t top = baseline - (fFont.Metrics().ascent + 1) / 3;
            Fill(x, top, x + width, top + Thickness(), fCanvas.DC()->textColor);
        }
    }

    void Underline(int64_t x, int64_t width, int64_t baseline)
    {
        int64_t top = baseline + std::max(1, fFont.Metrics().descent / 3);
        Fill(x, top, x + width, top + Thickness(), fCanvas.DC()->textColor);
    }

private:
    int Thickness() const { return std::max(1, (fFont.Metrics().em + 8) / 16); }

    uint32_t Blend(uint32_t pixel, uint8_t coverage) const
    {
        if (coverage == 0)
            return pixel;
        if (coverage == 255)
            return fColor;
        uint32_t result = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            uint32_t source = (fColor >> shift) & 0xFF;
            uint32_t target = (pixel >> shift) & 0xFF;
            result |= Divide255(source * coverage + target * (255u - coverage)) << shift;
        }
        return result;
    }

    Canvas fCanvas;
    FontInstance& fFont;
    const LOGFONTW& fDescription;
    uint32_t fColor;
};

void Report(HDC hdc, const RECT& rect, std::u16string text, const Font& font, COLORREF color)
{
    TextSpy* spy = gSpy.load();
    if (spy == nullptr)
        return;
    DrawnText drawn;
    drawn.hdc = hdc;
    drawn.rect = rect;
    drawn.text = std::move(text);
    drawn.font = static_cast<HFONT>(font.Handle());
    drawn.color = color;
    spy->OnText(drawn);
}

int64_t TextWidth(FontInstance& font, const char16_t* text, size_t count)
{
    int64_t width = 0;
    for (size_t index = 0; index < count;)
        width += font.Advance(NextCodePoint(text, count, index));
    return width;
}

} // namespace

} // namespace win32::gdi

namespace win32 {

using namespace gdi;

BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* metrics)
{
    if (metrics == nullptr)
        return FALSE;
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    Font* font = dc != nullptr ? FontOf(*dc) : nullptr;
    if (font == nullptr)
        return FALSE;
    const FontMetrics& m = font->instance->Metrics();
    const LOGFONTW& description = font->description;
    *metrics = TEXTMETRICW();
    metrics->tmHeight = m.height;
    metrics->tmAscent = m.ascent;
    metrics->tmDescent = m.descent;
    metrics->tmInternalLeading = m.internalLeading;
    metrics->tmExternalLeading = m.externalLeading;
    metrics->tmAveCharWidth = m.averageWidth;
    metrics->tmMaxCharWidth = m.maximumWidth;
    metrics->tmWeight = font->IsBold() ? FW_BOLD : FW_NORMAL;
    metrics->tmDigitizedAspectX = 96;
    metrics->tmDigitizedAspectY = 96;
    metrics->tmFirstChar = 0x20;
    metrics->tmLastChar = 0xFFFC;
    metrics->tmDefaultChar = 0x1F;
    metrics->tmBreakChar = 0x20;
    metrics->tmItalic = description.lfItalic != 0 ? 255 : 0;
    metrics->tmUnderlined = description.lfUnderline != 0 ? 255 : 0;
    metrics->tmStruckOut = description.lfStrikeOut != 0 ? 255 : 0;
    // TMPF_FIXED_PITCH set means a variable pitch.
    FontFamily family = font->instance->Key().family;
    BYTE pitch = family == FontFamily::Mono ? FF_MODERN : (TMPF_FIXED_PITCH | (family == FontFamily::Serif ? FF_ROMAN : FF_SWISS));
    metrics->tmPitchAndFamily = static_cast<BYTE>(pitch | TMPF_VECTOR | TMPF_TRUETYPE);
    metrics->tmCharSet = ANSI_CHARSET;
    return TRUE;
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE* size)
{
    if (size == nullptr || count < 0 || (text == nullptr && count > 0))
        return FALSE;
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    Font* font = dc != nullptr ? FontOf(*dc) : nullptr;
    if (font == nullptr)
        return FALSE;
    size->cx = Pin(TextWidth(*font->instance, text, static_cast<size_t>(count)));
    size->cy = font->instance->Metrics().height;
    return TRUE;
}

UINT SetTextAlign(HDC hdc, UINT align)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    if (dc == nullptr)
        return GDI_ERROR;
    UINT previous = dc->textAlign;
    dc->textAlign = align & (TA_UPDATECP | TA_CENTER | TA_BASELINE);
    return previous;
}

UINT GetTextAlign(HDC hdc)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    return dc != nullptr ? dc->textAlign : GDI_ERROR;
}

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT* dx)
{
    if (text == nullptr && count > 0)
        return FALSE;
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    Font* font = dc != nullptr ? FontOf(*dc) : nullptr;
    if (font == nullptr)
        return FALSE;
    FontInstance& instance = *font->instance;
    const FontMetrics& metrics = instance.Metrics();

    // Each code point and its pen offset from the start of the text.
    std::vector<std::pair<uint32_t, int64_t>> placed;
    int64_t width = 0;
    for (size_t index = 0; index < count;) {
        size_t start = index;
        uint32_t codePoint = NextCodePoint(text, count, index);
        placed.emplace_back(codePoint, width);
        if (dx != nullptr) {
            for (size_t unit = start; unit < index; ++unit)
                width += dx[unit];
        } else {
            width += instance.Advance(codePoint);
        }
    }

    UINT align = dc->textAlign;
    bool updatePosition = (align & TA_UPDATECP) != 0;
    int64_t left = updatePosition ? dc->penPosition.x : x;
    int64_t baseline = updatePosition ? dc->penPosition.y : y;
    if ((align & TA_CENTER) == TA_CENTER)
        left -= FloorHalf(width);
    else if ((align & TA_RIGHT) != 0)
        left -= width;
    if ((align & TA_BASELINE) == TA_BASELINE)
        ;
    else if ((align & TA_BOTTOM) != 0)
        baseline -= metrics.descent;
    else
        baseline += metrics.ascent;

    TextPainter painter(*dc, instance, font->description, (options & ETO_CLIPPED) != 0 ? rect : nullptr);
    if ((options & ETO_OPAQUE) != 0 && rect != nullptr)
        painter.Fill(rect->left, rect->top, rect->right, rect->bottom, dc->backgroundColor);
    RECT cells = {Pin(left), Pin(baseline - metrics.ascent), Pin(left + width), Pin(baseline + metrics.descent)};
    if (dc->backgroundMode == OPAQUE)
        painter.Fill(cells.left, cells.top, cells.right, cells.bottom, dc->backgroundColor);
    for (const auto& [codePoint, offset] : placed)
        painter.Glyph(left + offset, baseline, codePoint);
    painter.Decorate(left, width, baseline);

    if (updatePosition && (align & TA_CENTER) != TA_CENTER)
        dc->penPosition.x = Pin((align & TA_RIGHT) != 0 ? left : left + width);
    Report(hdc, cells, std::u16string(text != nullptr ? text : u"", count), *font, dc->textColor);
    return TRUE;
}

int DrawTextW(HDC hdc, LPCWSTR text, int count, RECT* rect, UINT format)
{
    if (rect == nullptr || text == nullptr || count < -1)
        return 0;
    size_t length = count == -1 ? std::char_traits<char16_t>::length(text) : static_cast<size_t>(count);
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    Font* font = dc != nullptr ? FontOf(*dc) : nullptr;
    if (font == nullptr)
        return 0;
    FontInstance& instance = *font->instance;
    const FontMetrics& metrics = instance.Metrics();

    int64_t boxWidth = static_cast<int64_t>(rect->right) - rect->left;
    TextLayout layout = LayOutText(text, length, format, static_cast<int>(std::clamp<int64_t>(boxWidth, INT32_MIN, INT32_MAX)),
                                   [&](uint32_t codePoint) { return instance.Advance(codePoint); });
    int height = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(layout.lines.size()) * metrics.height, INT32_MAX));
    if ((format & DT_CALCRECT) != 0) {
        rect->right = Pin(static_cast<int64_t>(rect->left) + layout.width);
        rect->bottom = Pin(static_cast<int64_t>(rect->top) + height);
        return height;
    }
    if (layout.lines.empty())
        return height;

    int64_t top = rect->top;
    if ((format & DT_SINGLELINE) != 0) {
        if ((format & DT_BOTTOM) != 0)
            top = static_cast<int64_t>(rect->bottom) - metrics.height;
        else if ((format & DT_VCENTER) != 0)
            top += FloorHalf(static_cast<int64_t>(rect->bottom) - rect->top - metrics.height);
    }
    TextPainter painter(*dc, instance, font->description, (format & DT_NOCLIP) != 0 ? nullptr : rect);
    size_t underlined = 0;
    for (const TextLine& line : layout.lines) {
        int64_t left = rect->left;
        if ((format & DT_RIGHT) != 0)
            left = static_cast<int64_t>(rect->right) - line.width;
        else if ((format & DT_CENTER) != 0)
            left += FloorHalf(boxWidth - line.width);
        int64_t baseline = top + metrics.ascent;
        if (dc->backgroundMode == OPAQUE)
            painter.Fill(left, top, left + line.width, top + metrics.height, dc->backgroundColor);
        int64_t pen = left;
        for (size_t index = line.begin; index < line.end;) {
            size_t start = index;
            uint32_t codePoint = NextCodePoint(layout.shown.data(), line.end, index);
            int advance = instance.Advance(codePoint);
            painter.Glyph(pen, baseline, codePoint);
            while (underlined < layout.underlined.size() && layout.underlined[underlined] < start)
                ++underlined;
            if (underlined < layout.underlined.size() && layout.underlined[underlined] == start)
                painter.Underline(pen, advance, baseline);
            pen += advance;
        }
        painter.Decorate(left, line.width, baseline);
        top += metrics.height;
    }
    Report(hdc, *rect, layout.shown, *font, dc->textColor);
    return height;
}

void SetTextSpyForTesting(TextSpy* spy)
{
    gSpy.store(spy);
}

} // namespace win32
