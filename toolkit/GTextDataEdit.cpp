// The editing side of GTextData: boundaries of characters, words and lines, the anchor, line breaks
// with auto-indent and the clipboard.

#include "toolkit/CXOSSoup.h"
#include "toolkit/GTextData.h"
#include "toolkit/ntex.h"

#include <algorithm>
#include <vector>

namespace {

const char* const kTextFlavour = "TEXT";
constexpr int32_t kMaxIndent = 253;

bool IsWordCharacter(uint32_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}

bool IsBlank(uint32_t c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

void GTextData::SetAnchor(int32_t anchor)
{
    fAnchor = std::clamp(anchor, 0, GetLength());
}

// --- Boundaries ---

int32_t GTextData::NextBoundary(int32_t index, int32_t modifiers) const
{
    const int32_t length = GetLength();
    if (index >= length)
        return length;
    index = std::max(index, 0);
    if ((modifiers & ntex::kModifierLine) != 0) {
        const int32_t line = FindLine(index);
        const int32_t next = fLines[static_cast<size_t>(line) + 1].start;
        // End stops before the line's break or the space it wrapped at.
        if (next > index && IsBlank(static_cast<unsigned char>(fText.data()[next - 1])))
            return next - 1;
        return next;
    }
    if ((modifiers & ntex::kModifierWord) != 0) {
        int32_t count = 1;
        while (index < length && !IsWordCharacter(CharacterAt(index, count)))
            index += count;
        while (index < length && IsWordCharacter(CharacterAt(index, count)))
            index += count;
        return index;
    }
    return NextUTF8(index);
}

int32_t GTextData::PreviousBoundary(int32_t index, int32_t modifiers) const
{
    if (index <= 0)
        return 0;
    index = std::min(index, GetLength());
    if ((modifiers & ntex::kModifierLine) != 0)
        return fLines[static_cast<size_t>(FindLine(index))].start;
    if ((modifiers & ntex::kModifierWord) != 0) {
        int32_t count = 1;
        while (index > 0 && !IsWordCharacter(CharacterAt(PrevUTF8(index), count)))
            index = PrevUTF8(index);
        while (index > 0 && IsWordCharacter(CharacterAt(PrevUTF8(index), count)))
            index = PrevUTF8(index);
        return index;
    }
    return PrevUTF8(index);
}

void GTextData::WordRangeAt(int32_t index, int32_t& first, int32_t& end) const
{
    index = std::clamp(index, 0, GetLength());
    const int32_t line = FindLine(index);
    const int32_t lineStart = fLines[static_cast<size_t>(line)].start;
    const int32_t lineEnd = std::min(fLines[static_cast<size_t>(line) + 1].start, GetLength());
    first = end = index;
    int32_t count = 1;
    int32_t pieceStart = lineStart;
    uint32_t pieceFirst = CharacterAt(lineStart, count);
    for (int32_t at = lineStart; at < lineEnd; at += count) {
        const uint32_t c = CharacterAt(at, count);
        const size_t styleIndex = static_cast<size_t>(GetStyleRunForCharacterAtIndex(at).style);
        const TextStyle& style = *fStyles[styleIndex < fStyles.size() ? styleIndex : 0];
        if (at > pieceStart && IsBreakBetween(pieceFirst, c, style)) {
            if (at >= index) {
                first = pieceStart;
                end = at;
                return;
            }
            pieceStart = at;
            pieceFirst = c;
        }
    }
    if (lineEnd > lineStart) {
        first = pieceStart;
        end = lineEnd;
    }
}

void GTextData::LineRangeAt(int32_t& first, int32_t& end) const
{
    first = fLines[static_cast<size_t>(FindLine(first))].start;
    end = std::min(fLines[static_cast<size_t>(FindLine(end)) + 1].start, GetLength());
}

// --- Line breaks ---

void GTextData::InsertNewline()
{
    std::string text("\r");
    if ((fFlags & kAutoIndent) != 0) {
        const int32_t start = fSelectionStart;
        const char* bytes = fText.data();
        for (int32_t at = fLines[static_cast<size_t>(FindLine(start))].start;
             at < start && (bytes[at] == ' ' || bytes[at] == '\t') && text.size() <= kMaxIndent; ++at)
            text += bytes[at];
    }
    Insert(text.data(), static_cast<int32_t>(text.size()), false);
}

// --- Clipboard ---

void GTextData::Copy()
{
    if (fSelectionStart == fSelectionEnd)
        return;
    std::string bytes;
    for (int32_t run = FindCharRun(fSelectionStart); run + 1 < static_cast<int32_t>(fRuns.size()); ++run) {
        const int32_t from = std::max(fRuns[static_cast<size_t>(run)].start, fSelectionStart);
        const int32_t to = std::min(fRuns[static_cast<size_t>(run) + 1].start, fSelectionEnd);
        if (from >= fSelectionEnd)
            break;
        if (to > from && !GetStyle(fRuns[static_cast<size_t>(run)].style).IsHidden())
            bytes.append(fText.data() + from, static_cast<size_t>(to - from));
    }
    CXOSSoupClipboard clipboard(true);
    clipboard.PutData(0, kTextFlavour, bytes.data(), bytes.size());
}

void GTextData::Paste()
{
    std::vector<char> bytes;
    {
        const CXOSSoupClipboard clipboard(false);
        const size_t size = clipboard.GetDataSize(0, kTextFlavour);
        if (size >= static_cast<size_t>(kSentinelStart))
            return;
        bytes.resize(std::max<size_t>(size, 1));
        if (clipboard.GetData(0, kTextFlavour, bytes.data(), size) != 0)
            return;
        bytes.resize(size);
    }
    // Inserted once the clipboard is closed: an edit may tell views and owners, who may use it.
    Insert(bytes.data(), static_cast<int32_t>(bytes.size()), false);
}

bool GTextData::CanPaste() const
{
    const CXOSSoupClipboard clipboard(false);
    return clipboard.HasFlavour(0, kTextFlavour);
}
