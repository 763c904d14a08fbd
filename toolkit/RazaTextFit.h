#pragma once

// The search that fits text into a width by cutting it at character boundaries, shared by the
// font's FitPrefix and Truncate and the drawing context's DrawStringFitted (the last two through
// RazaFitWithEllipsis).

#include "foundation/CXStringArgument.h"

#include <cstddef>
#include <string>

// The ellipsis appended to (or put before) text that was cut: U+2026 in UTF-8.
inline constexpr char kRazaEllipsis[] = "\xE2\x80\xA6";
inline constexpr size_t kRazaEllipsisLength = sizeof(kRazaEllipsis) - 1;

// The first `count` bytes, count moved forward past continuation bytes to a character start (not
// past the end).
inline size_t RazaPrefixBoundary(const CXStringArgument& text, size_t count)
{
    const size_t length = text.length();
    size_t k = count < length ? count : length;
    while (k < length && IsUTF8ContinuationByte(static_cast<unsigned char>(text.data()[k])))
        ++k;
    return k;
}

// The last `count` bytes, count grown while the first kept byte is a continuation byte (not past
// the whole text).
inline size_t RazaSuffixBoundary(const CXStringArgument& text, size_t count)
{
    const size_t length = text.length();
    size_t k = count < length ? count : length;
    while (k > 0 && k < length && IsUTF8ContinuationByte(static_cast<unsigned char>(text.data()[length - k])))
        ++k;
    return k;
}

struct RazaFitResult {
    bool fits = false; // false: not even the smallest piece fits
    size_t count = 0;  // bytes kept
    bool cut = false;  // the piece carries the ellipsis
};

// Binary search over byte counts for the longest piece that fits. boundary(current) gives the
// byte count of the piece tried for `current`; fits(count, cut) measures that piece, with the
// ellipsis when cut. The whole text is tried first, without the ellipsis; once it is too wide every
// later piece carries it. The search ends when the smallest piece, one character (a lead byte with
// the continuation bytes after it, or a stray byte), is still too wide: pieces inside that
// character all round to it, so nothing smaller can be tried.
template <class Boundary, class Fits>
RazaFitResult RazaSearchFit(size_t length, Boundary boundary, Fits fits)
{
    const size_t smallest = boundary(size_t{1});
    size_t low = 1;
    size_t high = length;
    size_t current = length;
    bool cut = false;
    for (;;) {
        const size_t k = boundary(current);
        if (!fits(k, cut)) {
            if (k <= smallest)
                return {false, 0, cut};
            high = current;
            current = (current + low) / 2;
            cut = true;
        } else {
            if (current + 1 >= high)
                return {true, k, cut};
            low = current;
            current = (current + high) / 2;
        }
    }
}

// The longest piece of text that fits, found by RazaSearchFit: the whole text, else its first
// characters followed by the ellipsis (fromEnd: the ellipsis followed by its last characters).
// fits(piece) measures one candidate. False, with fitted left alone, when not even one character
// with the ellipsis fits.
template <class Fits>
bool RazaFitWithEllipsis(const CXStringArgument& text, bool fromEnd, Fits fits, std::string& fitted)
{
    const size_t length = text.length();
    auto piece = [&](size_t k, bool cut) {
        std::string result;
        if (fromEnd) {
            if (cut)
                result.append(kRazaEllipsis, kRazaEllipsisLength);
            result.append(text.data() + (length - k), k);
        } else {
            result.append(text.data(), k);
            if (cut)
                result.append(kRazaEllipsis, kRazaEllipsisLength);
        }
        return result;
    };
    const RazaFitResult result = RazaSearchFit(
        length,
        [&](size_t current) {
            return fromEnd ? RazaSuffixBoundary(text, current) : RazaPrefixBoundary(text, current);
        },
        [&](size_t k, bool cut) { return fits(piece(k, cut)); });
    if (!result.fits)
        return false;
    fitted = piece(result.count, result.cut);
    return true;
}
