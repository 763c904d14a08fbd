#pragma once

#include "foundation/CXString.h"
#include "toolkit/CXColor.h"
#include "toolkit/RazaFont.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

// One style of the text engine (GTextData): face, size, flags, colours, tabs and indents, with the
// metrics and the font made from them and a cache of measured character advances. The appearance
// fields are set freely; UpdateMetrics must follow a change of face, size or flags before the
// style measures or lays out text. A copy takes the appearance and the metrics; its font makes its
// own handles and its advance cache starts empty. Main thread only.
class TextStyle {
public:
    static constexpr int32_t kBold = 0x1;
    static constexpr int32_t kItalic = 0x2;
    static constexpr int32_t kUnderline = 0x4;
    static constexpr int32_t kStrikeThrough = 0x10000;
    // Zero width, never drawn, never wrapped; CR and LF inside it are ordinary characters.
    static constexpr int32_t kHidden = 0x20000;

    // The default style: "Times New Roman" at 12, black text, a transparent white background, no
    // tab stops and an interval of 12, no indents; metrics not yet computed (0).
    TextStyle() = default;
    TextStyle(const TextStyle& other);
    TextStyle& operator=(const TextStyle& other);

    // Same face, flags, size, all eight colour channels, tab interval, indents and tab stops.
    bool SameAppearance(const TextStyle& other) const;
    bool IsHidden() const { return (flags & kHidden) != 0; }

    // Makes the font from face, size and flags (bold, italic, underline, strike-out from
    // strike-through) and takes line height (ascent + descent + external leading) and ascent from
    // its metrics; 0 when the font cannot be measured. Forgets the measured advances.
    void UpdateMetrics();

    // The advance of code point c drawn at pen x (text coordinates): 0 in a hidden style and for
    // CR and LF; a tab reaches the first tab stop after x, else the next multiple of the interval
    // after the last stop (0 for an interval below 1); any other character is measured alone
    // through the font once and then read from the cache. next, the character after c, does not
    // change the advance.
    double Advance(double x, uint32_t c, uint32_t next);
    // Entries of the advance cache.
    size_t CachedAdvanceCount() const { return fAdvances.size(); }

    CXString face{"Times New Roman"};
    int32_t flags = 0;
    int32_t size = 12;
    CXColor textColor{0.0f, 0.0f, 0.0f, 1.0f};
    // Filled behind the text when its alpha is above 0.
    CXColor backgroundColor{1.0f, 1.0f, 1.0f, 0.0f};
    // Pixel positions, ascending.
    std::vector<int32_t> tabStops;
    int32_t tabInterval = 12;
    // The x offset of a line that starts the text or follows a CR or LF.
    int32_t firstLineIndent = 0;
    // The x offset of a wrapped continuation line.
    int32_t leftIndent = 0;
    // Set by UpdateMetrics.
    int16_t lineHeight = 0;
    int16_t ascent = 0;
    RazaFont font;

private:
    void CopyAppearance(const TextStyle& other);

    // Keyed by the code point alone: the measurement never looks at the character after it, and
    // keying by the pair multiplied the entries (about 300,000 for 1 MiB of ideographs, most of
    // the memory and the time of a first layout) for the same values.
    std::unordered_map<uint32_t, float> fAdvances;
};
