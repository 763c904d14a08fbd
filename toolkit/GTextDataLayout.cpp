// Line breaking of GTextData: lines, words and wrapping, the line table and its look-ups, code
// mode's break points and keywords.

#include "foundation/CXDebug.h"
#include "toolkit/GTextData.h"
#include "toolkit/ntex.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsSpaceOrTab(uint32_t c)
{
    return c == ' ' || c == '\t';
}

bool IsLineEnd(uint32_t c)
{
    return c == '\r' || c == '\n';
}

bool IsDigit(uint32_t c)
{
    return c >= '0' && c <= '9';
}

// Code mode's punctuation: a break may follow it (unless digits meet) or come before it.
bool IsPunctuationBefore(uint32_t c)
{
    return c < 0x41 || (c >= 0x5B && c <= 0x5E) || c == 0x60 || (c >= 0x7B && c <= 0x7F);
}

bool IsPunctuationAfter(uint32_t c)
{
    return c < 0x30 || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x5E) || c == 0x60 || (c >= 0x7B && c <= 0x7F);
}

bool IsWordByte(char byte)
{
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') || byte == '_';
}

} // namespace

// The state of one layout pass: the line being filled and the pending word, the characters since
// the last break opportunity.
struct GTextData::LayoutWalk {
    GTextData& document;
    int32_t line = 0;
    int32_t top = 0;
    double lineStartX = 1.0;
    bool lineHasCharacters = false;
    int32_t lineHeight = 0;
    int32_t lineAscent = 0;
    int32_t lineRight = 0;
    int32_t wordStart = 0;
    double wordX = 1.0;
    double wordWidth = 0.0;
    bool wordEmpty = true;
    int32_t wordHeight = 0;
    int32_t wordAscent = 0;

    void StartLine(int32_t start)
    {
        lineStartX = 1.0 + document.IndentAt(start);
        wordX = lineStartX;
        lineHasCharacters = false;
        lineHeight = lineAscent = lineRight = 0;
        ++document.fLayoutStats.linesWalked;
    }

    void AddToWord(int32_t index, double advance, const TextStyle& style)
    {
        if (wordEmpty) {
            wordStart = index;
            wordEmpty = false;
        }
        wordWidth += advance;
        wordHeight = std::max<int32_t>(wordHeight, style.lineHeight);
        wordAscent = std::max<int32_t>(wordAscent, style.ascent);
    }

    void CommitWord()
    {
        if (!wordEmpty) {
            lineHeight = std::max(lineHeight, wordHeight);
            lineAscent = std::max(lineAscent, wordAscent);
            lineRight = std::max(lineRight, static_cast<int32_t>(wordX + wordWidth));
            lineHasCharacters = true;
        }
        wordX += wordWidth;
        wordWidth = 0.0;
        wordEmpty = true;
        wordHeight = wordAscent = 0;
    }

    // Closes the line; the next one starts at the index.
    void EndLine(int32_t nextStart)
    {
        StoreLineRight();
        top += lineHeight;
        ++line;
        document.SetLine(line, {nextStart, top, lineAscent, document.FindCharRun(nextStart)});
        StartLine(nextStart);
    }

    // A character of the advance at the index ends past the wrap width: nothing may stay before
    // it on the line but its own word, and that word only when it is too wide for any line.
    void Wrap(int32_t index, double advance, int32_t width)
    {
        if (wordX > lineStartX)
            EndLine(wordEmpty ? index : wordStart);
        if (!wordEmpty && static_cast<int32_t>(wordX + wordWidth + advance) > width) {
            CommitWord();
            EndLine(index);
        }
    }

    void StoreLineRight()
    {
        auto& rights = document.fLineRights;
        if (rights.size() <= static_cast<size_t>(line))
            rights.resize(static_cast<size_t>(line) + 1);
        rights[static_cast<size_t>(line)] = lineRight;
    }
};

void GTextData::Layout(int32_t from)
{
    const int32_t oldWidth = fContentWidth;
    const int32_t oldHeight = fTextHeight;
    const int32_t length = GetLength();
    const bool noWrap = (fFlags & kNoWrap) != 0;
    const int32_t width = fContentWidth;

    LayoutWalk walk{*this};
    int32_t index = 0;
    if (from < 0 || fLines.size() < 2) {
        SetLine(0, {0, 0, 0, 0});
    } else {
        walk.line = std::min(from, GetLineCount() - 1);
        const TextLine& record = fLines[static_cast<size_t>(walk.line)];
        index = std::clamp(record.start, 0, length);
        walk.top = record.top;
    }
    fLayoutStats.lastFirstLine = walk.line;
    walk.StartLine(index);

    const int32_t realRuns = static_cast<int32_t>(fRuns.size()) - 1;
    int32_t run = FindCharRun(index);
    uint32_t previous = 0;
    int32_t count = 0;
    uint32_t c = CharacterAt(index, count);
    while (index < length) {
        while (run + 1 < realRuns && fRuns[static_cast<size_t>(run) + 1].start <= index)
            ++run;
        TextStyle& style = GetStyle(fRuns[static_cast<size_t>(run)].style);
        int32_t nextCount = 0;
        const uint32_t next = CharacterAt(index + count, nextCount);
        const bool visible = !style.IsHidden();
        const double advance = style.Advance(walk.wordX + walk.wordWidth, c, next);

        const bool breakBefore = IsBreakBetween(previous, c, style);
        if (breakBefore && visible && IsSpaceOrTab(c)) {
            // White space hangs at the end of its word, past the width if need be.
            walk.AddToWord(index, advance, style);
            walk.CommitWord();
        } else {
            if (breakBefore)
                walk.CommitWord();
            if (!noWrap && advance > 0.0 && static_cast<int32_t>(walk.wordX + walk.wordWidth + advance) > width)
                walk.Wrap(index, advance, width);
            walk.AddToWord(index, advance, style);
            if (visible && IsLineEnd(c)) {
                walk.CommitWord();
                walk.EndLine(index + count);
            }
        }
        previous = c;
        index += count;
        c = next;
        count = nextCount;
    }
    walk.CommitWord();
    const int32_t lastRun = FindCharRun(length);
    if (!walk.lineHasCharacters) {
        const TextStyle& style = GetStyle(fRuns[static_cast<size_t>(lastRun)].style);
        walk.lineHeight = style.lineHeight;
        walk.lineAscent = style.ascent;
    }
    walk.StoreLineRight();
    walk.top += walk.lineHeight;
    SetLine(walk.line + 1, {length, walk.top, walk.lineAscent, lastRun});
    fLines.resize(static_cast<size_t>(walk.line) + 2);
    fLineRights.resize(static_cast<size_t>(walk.line) + 1);
    fTextHeight = walk.top;
    if (noWrap)
        fContentWidth = *std::max_element(fLineRights.begin(), fLineRights.end());
    if (fContentWidth != oldWidth || fTextHeight != oldHeight) {
        for (ntex* view : fViews)
            view->PostScrollChanged();
    }
}

// The first line an edit at the index can change: the one before the edit's line, or earlier when
// the word holding the index began at a line's start. Such a word may have moved there whole and
// been cut further on; once the edit shortens it, it can move back to the line before.
int32_t GTextData::FirstLineToRelayout(int32_t index)
{
    const int32_t before = std::max(FindLine(index) - 1, 0);
    if (before == 0)
        return 0;
    int32_t wordStart = std::clamp(index, 0, GetLength());
    while (wordStart > 0) {
        const int32_t previous = PrevUTF8(wordStart);
        int32_t count = 0;
        const TextStyle& style = GetStyle(GetStyleRunForCharacterAtIndex(wordStart).style);
        if (IsBreakBetween(CharacterAt(previous, count), CharacterAt(wordStart, count), style))
            break;
        wordStart = previous;
    }
    int32_t line = FindLine(wordStart);
    if (line > 0 && wordStart == fLines[static_cast<size_t>(line)].start && !EndsLine(wordStart - 1))
        --line;
    return std::min(before, line);
}

void GTextData::SetWrapWidth(int32_t width)
{
    if (width == fContentWidth)
        return;
    fContentWidth = width;
    fRelayout.Widen(0, 1);
    if (IsDeferred())
        return;
    Layout(0);
    fRelayout.Clear();
    PushRedrawRange();
}

int32_t GTextData::FindLine(int32_t index) const
{
    if (fLines.size() < 2 || index < fLines[1].start)
        return 0;
    const int32_t count = GetLineCount();
    if (index >= fLines.back().start)
        return count - 1;
    const auto end = fLines.begin() + count;
    auto after = std::upper_bound(fLines.begin(), end, index,
                                  [](int32_t value, const TextLine& line) { return value < line.start; });
    return static_cast<int32_t>(after - fLines.begin()) - 1;
}

int32_t GTextData::FindLineAtY(int32_t y) const
{
    if (fLines.size() < 2 || y < fLines.front().top)
        return -1;
    const int32_t count = GetLineCount();
    if (y >= fLines.back().top)
        return count;
    const auto end = fLines.begin() + count;
    auto after =
        std::upper_bound(fLines.begin(), end, y, [](int32_t value, const TextLine& line) { return value < line.top; });
    return static_cast<int32_t>(after - fLines.begin()) - 1;
}

void GTextData::GetLineRange(int32_t line, int32_t& first, int32_t& last) const
{
    if (line < 0)
        line = 0;
    if (line >= GetLineCount()) {
        first = last = GetLength();
        return;
    }
    first = fLines[static_cast<size_t>(line)].start;
    last = fLines[static_cast<size_t>(line) + 1].start - 1;
}

void GTextData::SetLine(int32_t index, const TextLine& record)
{
    if (index < 0)
        return;
    if (record.run < 0)
        CXDebugLog("GTextData::set_line> line %d has run %d", index, record.run);
    const size_t at = static_cast<size_t>(index);
    if (at < fLines.size() && fLines[at] == record)
        return;
    if (at >= fLines.size())
        fLines.resize(at + 1);
    fLines[at] = record;
    fRedraw.Widen(std::max(index - 1, 0), index + 1);
}

bool GTextData::IsBreakBetween(uint32_t previous, uint32_t current, const TextStyle& style) const
{
    if (style.IsHidden())
        return false;
    if (IsSpaceOrTab(previous) || IsLineEnd(previous) || IsSpaceOrTab(current) || IsLineEnd(current))
        return true;
    if ((fFlags & kCodeMode) == 0)
        return false;
    if (IsPunctuationBefore(previous))
        return !(IsDigit(previous) && IsDigit(current));
    return IsPunctuationAfter(current);
}

int32_t GTextData::IndentAt(int32_t lineStart)
{
    lineStart = std::clamp(lineStart, 0, GetLength());
    const TextStyle& style = GetStyle(fRuns[static_cast<size_t>(FindCharRun(lineStart))].style);
    if (lineStart == 0)
        return style.firstLineIndent;
    return EndsLine(lineStart - 1) ? style.firstLineIndent : style.leftIndent;
}

bool GTextData::EndsLine(int32_t index)
{
    if (index < 0 || index >= GetLength() || !IsLineEnd(static_cast<unsigned char>(fText.data()[index])))
        return false;
    return !GetStyle(GetStyleRunForCharacterAtIndex(index).style).IsHidden();
}

void GTextData::SetKeywords(const CXStringArgument& table)
{
    fKeywords.clear();
    size_t k = 0;
    while (k < table.length()) {
        const size_t entry = static_cast<unsigned char>(table.data()[k]);
        if (entry == 0 || k + 1 + entry > table.length())
            break;
        fKeywords.append(table.data() + k, 1 + entry);
        k += 1 + entry;
    }
}

int32_t GTextData::MatchKeyword(int32_t position, int32_t rest) const
{
    if (rest <= 0 || position < 0 || position >= GetLength())
        return 0;
    rest = std::min(rest, GetLength() - position);
    const char* text = fText.data() + position;
    size_t k = 0;
    while (k < fKeywords.size()) {
        const int32_t entry = static_cast<unsigned char>(fKeywords[k]);
        const char* word = fKeywords.data() + k + 1;
        if (entry <= rest && std::memcmp(text, word, static_cast<size_t>(entry)) == 0 &&
            (entry == rest || !IsWordByte(text[entry])))
            return entry;
        k += 1 + static_cast<size_t>(entry);
    }
    return 0;
}

void GTextData::AddLineBand(const TextLineBand& band)
{
    fBands.push_back(band);
}
