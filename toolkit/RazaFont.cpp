#include "toolkit/RazaFont.h"

#include "foundation/CXTextEncoding.h"
#include "toolkit/RazaTextFit.h"
#include "win32/gdi/Font.h"
#include "win32/gdi/Gdi.h"
#include "win32/gdi/Text.h"

#include <algorithm>
#include <string>

RazaSelectedFont::RazaSelectedFont(win32::HDC dc, win32::HFONT font)
    : fDC(dc)
    , fPrevious(dc != nullptr && font != nullptr ? win32::SelectObject(dc, font) : nullptr)
{
}

RazaSelectedFont::~RazaSelectedFont()
{
    if (fPrevious != nullptr)
        (void)win32::SelectObject(fDC, fPrevious);
}

RazaFont::RazaFont(const CXString& face, int32_t size, uint8_t style, CXColor color, int32_t alignment)
    : fSize(size)
    , fStyle(style)
    , fFace(face)
    , fColor(color)
    , fAlignment(alignment)
{
}

RazaFont::RazaFont(const RazaFont& other)
{
    CopyStyle(other);
}

RazaFont& RazaFont::operator=(const RazaFont& other)
{
    if (&other == this)
        return *this;
    ReleaseHandles();
    CopyStyle(other);
    return *this;
}

RazaFont::~RazaFont()
{
    ReleaseHandles();
}

void RazaFont::CopyStyle(const RazaFont& other)
{
    fSize = other.fSize;
    fStyle = other.fStyle;
    fFace = other.fFace;
    fColor = other.fColor;
    fAlignment = other.fAlignment;
}

void RazaFont::Merge(const RazaFont& other)
{
    ReleaseHandles();
    if (!other.fFace.IsEmpty())
        fFace = other.fFace;
    if (other.fSize != 0)
        fSize = other.fSize;
    fStyle = other.fStyle & kStyleBits;
    fColor = other.fColor;
    fAlignment = other.fAlignment;
}

bool RazaFont::operator==(const RazaFont& other) const
{
    constexpr uint8_t compared = kBold | kItalic | kStrikeOut;
    return fSize == other.fSize && (fStyle & compared) == (other.fStyle & compared) && fFace == other.fFace &&
           fAlignment == other.fAlignment;
}

void RazaFont::ReleaseHandles()
{
    if (fFontHandle != nullptr) {
        (void)win32::DeleteObject(fFontHandle);
        fFontHandle = nullptr;
    }
    if (fMeasureContext != nullptr) {
        (void)win32::DeleteDC(fMeasureContext);
        fMeasureContext = nullptr;
    }
}

void RazaFont::SetSize(int32_t size)
{
    if (size != fSize) {
        ReleaseHandles();
        fSize = size;
    }
}

void RazaFont::SetStyle(uint8_t style)
{
    if (style != fStyle) {
        ReleaseHandles();
        fStyle = style;
    }
}

void RazaFont::SetFace(const CXString& face)
{
    if (!(face == fFace)) {
        ReleaseHandles();
        fFace = face;
    }
}

void RazaFont::CreateFontHandle()
{
    if (fMeasureContext == nullptr)
        fMeasureContext = win32::CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
    if (fFontHandle == nullptr) {
        fFontHandle = win32::CreateFontA(-fSize, 0, 0, 0, (fStyle & kBold) != 0 ? win32::FW_BOLD : win32::FW_NORMAL,
                                         (fStyle & kItalic) != 0, (fStyle & kUnderline) != 0,
                                         (fStyle & kStrikeOut) != 0, win32::DEFAULT_CHARSET, win32::OUT_TT_PRECIS,
                                         win32::CLIP_DEFAULT_PRECIS, win32::CLEARTYPE_QUALITY,
                                         win32::DEFAULT_PITCH | win32::FF_DONTCARE, fFace.c_str());
    }
}

win32::HFONT RazaFont::GetFontHandle()
{
    CreateFontHandle();
    return fFontHandle;
}

win32::HFONT RazaFont::DetachFontHandle()
{
    CreateFontHandle();
    win32::HFONT font = fFontHandle;
    fFontHandle = nullptr;
    return font;
}

win32::HDC RazaFont::GetMeasureContext()
{
    CreateFontHandle();
    return fMeasureContext;
}

bool RazaFont::GetMetrics(RazaFontMetrics& metrics)
{
    metrics = {};
    CreateFontHandle();
    if (fMeasureContext == nullptr || fFontHandle == nullptr)
        return false;
    RazaSelectedFont selected(fMeasureContext, fFontHandle);
    win32::TEXTMETRICW textMetrics{};
    if (win32::GetTextMetricsW(fMeasureContext, &textMetrics) == win32::FALSE)
        return false;
    metrics.ascent = textMetrics.tmAscent;
    metrics.descent = textMetrics.tmDescent;
    metrics.internalLeading = textMetrics.tmInternalLeading;
    metrics.externalLeading = textMetrics.tmExternalLeading;
    return true;
}

void RazaFont::MeasureChar(uint32_t codePoint, double& width, double& height)
{
    char16_t units[2];
    const size_t count = EncodeUTF16(units, 2, codePoint);
    CreateFontHandle();
    RazaSelectedFont selected(fMeasureContext, fFontHandle);
    win32::RECT rect{0, 0, 10000, 10000};
    height = win32::DrawTextW(fMeasureContext, units, static_cast<int>(count), &rect,
                              win32::DT_NOPREFIX | win32::DT_CALCRECT | win32::DT_SINGLELINE);
    width = rect.right - rect.left;
}

double RazaFont::MeasureWidth(const CXStringArgument& text)
{
    double total = 0.0;
    CXStringArgument rest = text;
    uint32_t codePoint = 0;
    size_t bytes = 0;
    while (rest.DecodeUTF8Character(codePoint, bytes)) {
        double width = 0.0;
        double height = 0.0;
        MeasureChar(codePoint, width, height);
        total += width;
        rest += static_cast<int64_t>(bytes);
    }
    return total;
}

double RazaFont::MeasureWrappedHeight(const CXStringArgument& text, double maxWidth)
{
    double total = 0.0;
    double lineWidth = 0.0;
    double lineHeight = 0.0;
    double wordWidth = 0.0;
    double wordHeight = 0.0;
    CXStringArgument rest = text;
    uint32_t c = 0;
    size_t bytes = 0;
    while (rest.DecodeUTF8Character(c, bytes)) {
        rest += static_cast<int64_t>(bytes);
        double w = 0.0;
        double h = 0.0;
        MeasureChar(c, w, h);
        const double wordHeightBefore = wordHeight;
        wordHeight = std::max(wordHeight, h);
        if (c == ' ' || c == '\t') {
            lineHeight = std::max(lineHeight, wordHeight);
            lineWidth += wordWidth + w;
            wordWidth = wordHeight = 0.0;
            if (lineWidth > 0.0 && lineWidth > maxWidth) {
                total += lineHeight;
                lineWidth = lineHeight = 0.0;
            }
        } else if (c == '\r' || c == '\n') {
            // CR and LF each close a line, so CR LF closes two.
            total += std::max(wordHeight, lineHeight);
            lineWidth = lineHeight = wordWidth = wordHeight = 0.0;
        } else {
            wordWidth += w;
            if (lineWidth > 0.0 && lineWidth + wordWidth > maxWidth) {
                // The word moves on to the next line.
                total += lineHeight;
                lineWidth = lineHeight = 0.0;
            } else if (wordWidth > maxWidth) {
                // A word wider than the whole width is cut before c.
                total += std::max(wordHeightBefore, lineHeight);
                wordWidth = w;
                wordHeight = h;
                lineWidth = lineHeight = 0.0;
            }
        }
    }
    total += std::max(wordHeight, lineHeight);
    return total;
}

size_t RazaFont::FitPrefix(const CXStringArgument& text, int32_t maxWidth)
{
    RazaFitResult result = RazaSearchFit(
        text.length(), [&](size_t current) { return RazaPrefixBoundary(text, current); },
        [&](size_t k, bool) { return MeasureWidth(CXStringArgument(text.data(), k)) <= maxWidth; });
    return result.fits ? result.count : 0;
}

CXString RazaFont::Truncate(const CXStringArgument& text, int32_t maxWidth)
{
    const bool fromEnd = fAlignment == kAlignRight || fAlignment == kAlignLeftEndInView;
    std::string kept;
    const bool fits = RazaFitWithEllipsis(
        text, fromEnd,
        [&](const std::string& piece) { return MeasureWidth(CXStringArgument(piece.data(), piece.size())) <= maxWidth; },
        kept);
    if (!fits)
        return CXString();
    return CXString(kept.data(), kept.size());
}
