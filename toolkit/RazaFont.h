#pragma once

#include "foundation/CXString.h"
#include "foundation/CXStringArgument.h"
#include "toolkit/CXColor.h"
#include "win32/api/Types.h"

#include <cstddef>
#include <cstdint>

// The ascent, descent, internal and external leading of a font, in pixels.
struct RazaFontMetrics {
    int32_t ascent = 0;
    int32_t descent = 0;
    int32_t internalLeading = 0;
    int32_t externalLeading = 0;
};

// A text style: size, style bits, face, colour and alignment, with the Windows font made from it
// on first need and a "DISPLAY" context of its own to measure with, so measuring needs no window.
// A record owns both handles; copies never share them, and any change of the style (assignment,
// Merge, a setter) drops them to be made again on next use. One thread at a time.
class RazaFont {
public:
    static constexpr uint8_t kBold = 0x1;
    static constexpr uint8_t kItalic = 0x2;
    static constexpr uint8_t kUnderline = 0x4;
    static constexpr uint8_t kStrikeOut = 0x8;
    static constexpr uint8_t kStyleBits = kBold | kItalic | kUnderline | kStrikeOut;

    // Alignments: left, centred, right (ellipsis at the start), left keeping the end in view
    // (ellipsis at the start).
    static constexpr int32_t kAlignLeft = 0;
    static constexpr int32_t kAlignCenter = 1;
    static constexpr int32_t kAlignRight = 2;
    static constexpr int32_t kAlignLeftEndInView = 3;

    // Size 0, no style, the default face, opaque black, left.
    RazaFont() = default;
    RazaFont(const CXString& face, int32_t size, uint8_t style = 0, CXColor color = {0.0f, 0.0f, 0.0f, 1.0f},
             int32_t alignment = kAlignLeft);
    // Copies the style; the copy makes its own handles.
    RazaFont(const RazaFont& other);
    RazaFont& operator=(const RazaFont& other);
    ~RazaFont();

    // Takes the other's face when it has one, its size when not 0, and always its style bits,
    // colour and alignment; the handles are made again on next use.
    void Merge(const RazaFont& other);
    // Size, bold, italic, strike-out, face and alignment; underline and colour are not compared.
    bool operator==(const RazaFont& other) const;

    // Deletes the font and the measuring context.
    void ReleaseHandles();

    // Makes the measuring context and the font when missing (height -size, bold 700 else 400,
    // italic, underline and strike-out from the style).
    void CreateFontHandle();
    // The font, made if needed; the record keeps owning it.
    win32::HFONT GetFontHandle();
    // Hands the font over to the caller, who deletes it; the record forgets it and makes another
    // on next use. Null when it cannot be made.
    win32::HFONT DetachFontHandle();

    // The font's metrics; false, all zero, when they cannot be read.
    bool GetMetrics(RazaFontMetrics& metrics);
    // The width and height DrawTextW gives one code point on a single line.
    void MeasureChar(uint32_t codePoint, double& width, double& height);
    // The sum of the widths of the text's code points, up to the first invalid UTF-8 sequence.
    // Control characters are measured like any other.
    double MeasureWidth(const CXStringArgument& text);
    // The height of the text wrapped at spaces and tabs to maxWidth: every line break (CR and LF
    // each count) closes a line, and a word wider than the width is cut before the character that
    // does not fit.
    double MeasureWrappedHeight(const CXStringArgument& text, double maxWidth);
    // The byte count of the longest prefix, ending at a character boundary, no wider than
    // maxWidth; 0 when not even the first character fits (so always for a negative width).
    size_t FitPrefix(const CXStringArgument& text, int32_t maxWidth);
    // The text itself when it fits maxWidth; else the longest piece that fits with an ellipsis:
    // a prefix followed by "…", or for alignments 2 and 3 "…" followed by a suffix. Empty when
    // not even one character with the ellipsis fits.
    CXString Truncate(const CXStringArgument& text, int32_t maxWidth);

    int32_t GetSize() const { return fSize; }
    uint8_t GetStyle() const { return fStyle; }
    const CXString& GetFace() const { return fFace; }
    const CXColor& GetColor() const { return fColor; }
    int32_t GetAlignment() const { return fAlignment; }
    // Setters of the parts that shape the font drop the handles.
    void SetSize(int32_t size);
    void SetStyle(uint8_t style);
    void SetFace(const CXString& face);
    void SetColor(const CXColor& color) { fColor = color; }
    void SetAlignment(int32_t alignment) { fAlignment = alignment; }

    // The measuring context, made if needed; null when it cannot be made.
    win32::HDC GetMeasureContext();

private:
    void CopyStyle(const RazaFont& other);

    int32_t fSize = 0;
    uint8_t fStyle = 0;
    CXString fFace;
    CXColor fColor{0.0f, 0.0f, 0.0f, 1.0f};
    int32_t fAlignment = kAlignLeft;
    win32::HFONT fFontHandle = nullptr;
    win32::HDC fMeasureContext = nullptr;
};

// Selects a font into a context for one scope and puts the previous one back; selects nothing
// without a context or a font.
class RazaSelectedFont {
public:
    RazaSelectedFont(win32::HDC dc, win32::HFONT font);
    ~RazaSelectedFont();
    RazaSelectedFont(const RazaSelectedFont&) = delete;
    RazaSelectedFont& operator=(const RazaSelectedFont&) = delete;

private:
    win32::HDC fDC;
    win32::HGDIOBJ fPrevious;
};
