#include "win32/gdi/TextLayout.h"

#include "foundation/CXTextEncoding.h"
#include "win32/api/Constants.h"

#include <algorithm>

namespace win32::gdi {

namespace {

class Breaker {
public:
    Breaker(TextLayout& layout, const std::vector<int>& offsets, UINT format, int width)
        : fLayout(layout), fText(layout.shown), fOffsets(offsets), fFormat(format), fWidth(width)
    {
    }

    // One paragraph: the units [begin, end) between breaks.
    void Paragraph(size_t begin, size_t end)
    {
        if ((fFormat & DT_WORDBREAK) == 0 || begin == end) {
            Add(begin, end);
            return;
        }
        size_t position = begin;
        while (position < end) {
            size_t lineEnd = position;
            bool cut = false;
            bool hasWord = false;
            for (size_t next = position;;) {
                size_t word = next;
                while (word < end && fText[word] == u' ')
                    ++word;
                if (word == end) {
                    if (!hasWord)
                        lineEnd = end;
                    break;
                }
                size_t wordEnd = word;
                while (wordEnd < end && fText[wordEnd] != u' ')
                    ++wordEnd;
                if (Width(position, wordEnd) <= fWidth) {
                    lineEnd = wordEnd;
                    hasWord = true;
                    next = wordEnd;
                    continue;
                }
                if (!hasWord) {
                    lineEnd = Cut(position, wordEnd);
                    cut = true;
                }
                break;
            }
            Add(position, lineEnd);
            position = lineEnd;
            if (!cut) {
                while (position < end && fText[position] == u' ')
                    ++position;
            }
        }
    }

private:
    int Width(size_t begin, size_t end) const { return fOffsets[end] - fOffsets[begin]; }

    // The end of the longest run of whole code points from begin that fits, at least one.
    size_t Cut(size_t begin, size_t end) const
    {
        size_t fits = begin;
        size_t index = begin;
        while (index < end) {
            NextCodePoint(fText.data(), end, index);
            if (fits != begin && Width(begin, index) > fWidth)
                break;
            fits = index;
        }
        return fits;
    }

    void Add(size_t begin, size_t end)
    {
        int width = Width(begin, end);
        fLayout.lines.push_back({begin, end, width});
        fLayout.width = std::max(fLayout.width, width);
    }

    TextLayout& fLayout;
    const std::u16string& fText;
    const std::vector<int>& fOffsets;
    UINT fFormat;
    int fWidth;
};

} // namespace

uint32_t NextCodePoint(const char16_t* text, size_t count, size_t& index)
{
    uint32_t codePoint = 0;
    size_t units = 0;
    if (DecodeUTF16(text + index, count - index, codePoint, units)) {
        index += units;
        return codePoint;
    }
    // A lone surrogate stands for itself.
    return text[index++];
}

TextLayout LayOutText(const char16_t* text, size_t count, UINT format, int width,
                      const std::function<int(uint32_t)>& advance)
{
    TextLayout layout;
    layout.shown.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        char16_t unit = text[i];
        if (unit == u'&' && (format & DT_NOPREFIX) == 0) {
            // A '&' at the very end shows nothing; "&&" shows one '&'.
            if (i + 1 == count)
                break;
            unit = text[++i];
            if (unit != u'&')
                layout.underlined.push_back(layout.shown.size());
        }
        layout.shown.push_back(unit);
    }
    if (layout.shown.empty())
        return layout;

    // offsets[i]: the width of the units before i; both units of a pair count at the first.
    const std::u16string& shown = layout.shown;
    std::vector<int> offsets(shown.size() + 1, 0);
    for (size_t index = 0; index < shown.size();) {
        size_t start = index;
        int codePointWidth = advance(NextCodePoint(shown.data(), shown.size(), index));
        for (size_t unit = start; unit < index; ++unit)
            offsets[unit + 1] = offsets[start] + codePointWidth;
    }

    // A single line is never broken, not even at spaces.
    Breaker breaker(layout, offsets, (format & DT_SINGLELINE) != 0 ? format & ~DT_WORDBREAK : format, width);
    if ((format & DT_SINGLELINE) != 0) {
        breaker.Paragraph(0, shown.size());
        return layout;
    }
    size_t begin = 0;
    for (;;) {
        size_t end = begin;
        while (end < shown.size() && shown[end] != u'\r' && shown[end] != u'\n')
            ++end;
        breaker.Paragraph(begin, end);
        if (end == shown.size())
            break;
        begin = end + (shown[end] == u'\r' && end + 1 < shown.size() && shown[end + 1] == u'\n' ? 2 : 1);
    }
    return layout;
}

} // namespace win32::gdi
