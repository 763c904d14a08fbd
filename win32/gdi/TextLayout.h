#pragma once

// How DrawTextW lays a text out, apart from any DC: prefixes, line breaks and word breaks.
//
// Prefixes (unless DT_NOPREFIX): "&x" shows x underlined, "&&" shows '&', a '&' at the very end
// shows nothing. Breaks (unless DT_SINGLELINE): CR LF, a lone CR and a lone LF each end a line.
// Word breaks (DT_WORDBREAK, not with DT_SINGLELINE) fall at spaces: a line takes words while its width stays within the
// given width; the spaces at a break belong to no line; a word too wide for an empty line is cut
// between code points, at least one on each line. Widths are sums of advances.

#include "win32/api/Types.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace win32::gdi {

struct TextLine {
    // Units of the shown text (TextLayout::shown): [begin, end).
    size_t begin = 0;
    size_t end = 0;
    int width = 0;
};

struct TextLayout {
    // The text as shown: prefixes resolved, breaks still in it.
    std::u16string shown;
    // Units of shown that a prefix underlines, ascending.
    std::vector<size_t> underlined;
    std::vector<TextLine> lines;
    // The widest line.
    int width = 0;
};

// The next code point of text at index (advanced past it): a surrogate pair is one code point, a
// lone surrogate is itself.
uint32_t NextCodePoint(const char16_t* text, size_t count, size_t& index);

// Lays out count units of text for DrawTextW's format (DT_NOPREFIX, DT_SINGLELINE, DT_WORDBREAK
// are read) in a rectangle width wide; advance gives a code point's width.
TextLayout LayOutText(const char16_t* text, size_t count, UINT format, int width,
                      const std::function<int(uint32_t)>& advance);

} // namespace win32::gdi
