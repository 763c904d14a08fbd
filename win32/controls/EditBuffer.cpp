#include "win32/controls/EditBuffer.h"

#include <algorithm>

namespace win32::controls {

namespace {

bool IsHigh(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLow(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

enum Kind { kSpace, kWord, kMark };

int KindOf(char16_t unit)
{
    if (unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n' || unit == 0x00A0 || unit == 0x3000)
        return kSpace;
    if (unit >= 0x80 || (unit >= u'0' && unit <= u'9') || (unit >= u'A' && unit <= u'Z') ||
        (unit >= u'a' && unit <= u'z') || unit == u'_')
        return kWord;
    return kMark;
}

} // namespace

std::u16string EditBuffer::SelectedText() const
{
    return fText.substr(SelectionStart(), SelectionEnd() - SelectionStart());
}

void EditBuffer::Assign(std::u16string text)
{
    fText = std::move(text);
    fAnchor = fCaret = fText.size();
    fTyping = false;
    fUndo.reset();
}

bool EditBuffer::Splits(size_t position) const
{
    if (position == 0 || position >= fText.size())
        return false;
    char16_t before = fText[position - 1];
    char16_t after = fText[position];
    return (IsHigh(before) && IsLow(after)) || (before == u'\r' && after == u'\n');
}

size_t EditBuffer::SnapBack(size_t position) const
{
    position = std::min(position, fText.size());
    return Splits(position) ? position - 1 : position;
}

size_t EditBuffer::SnapForward(size_t position) const
{
    position = std::min(position, fText.size());
    return Splits(position) ? position + 1 : position;
}

void EditBuffer::Select(size_t anchor, size_t caret)
{
    if (anchor <= caret) {
        fAnchor = SnapBack(anchor);
        fCaret = SnapForward(caret);
    } else {
        fAnchor = SnapForward(anchor);
        fCaret = SnapBack(caret);
    }
    fTyping = false;
}

void EditBuffer::MoveCaret(size_t position, bool extend)
{
    if (extend) {
        Select(fAnchor, position);
        return;
    }
    position = SnapForward(position);
    Select(position, position);
}

size_t EditBuffer::Next(size_t position) const
{
    if (position >= fText.size())
        return fText.size();
    return Splits(position + 1) ? position + 2 : position + 1;
}

size_t EditBuffer::Previous(size_t position) const
{
    position = std::min(position, fText.size());
    if (position == 0)
        return 0;
    return Splits(position - 1) ? position - 2 : position - 1;
}

int EditBuffer::KindAt(size_t position) const
{
    return KindOf(fText[position]);
}

size_t EditBuffer::NextWord(size_t position) const
{
    size_t p = std::min(position, fText.size());
    if (p == fText.size())
        return p;
    int kind = KindAt(p);
    while (p < fText.size() && KindAt(p) == kind)
        ++p;
    while (p < fText.size() && KindAt(p) == kSpace)
        ++p;
    return p;
}

size_t EditBuffer::PreviousWord(size_t position) const
{
    size_t p = std::min(position, fText.size());
    while (p > 0 && KindAt(p - 1) == kSpace)
        --p;
    if (p == 0)
        return 0;
    int kind = KindAt(p - 1);
    while (p > 0 && KindAt(p - 1) == kind)
        --p;
    return p;
}

std::pair<size_t, size_t> EditBuffer::WordAt(size_t position) const
{
    if (fText.empty())
        return {0, 0};
    size_t p = std::min(position, fText.size() - 1);
    int kind = KindAt(p);
    size_t start = p;
    while (start > 0 && KindAt(start - 1) == kind)
        --start;
    size_t end = p;
    while (end < fText.size() && KindAt(end) == kind)
        ++end;
    return {start, end};
}

size_t EditBuffer::LineStart(size_t position) const
{
    size_t p = std::min(position, fText.size());
    while (p > 0 && fText[p - 1] != u'\r' && fText[p - 1] != u'\n')
        --p;
    return p;
}

size_t EditBuffer::LineEnd(size_t position) const
{
    size_t p = std::min(position, fText.size());
    while (p < fText.size() && fText[p] != u'\r' && fText[p] != u'\n')
        ++p;
    return p;
}

bool EditBuffer::ReplaceSelection(std::u16string_view insert, bool typed)
{
    size_t start = SelectionStart();
    size_t end = SelectionEnd();
    size_t kept = fText.size() - (end - start);
    size_t room = fLimit > kept ? fLimit - kept : 0;
    size_t take = std::min(insert.size(), room);
    if (take > 0 && take < insert.size() && IsHigh(insert[take - 1]) && IsLow(insert[take]))
        --take;
    if ((take == 0 && !insert.empty()) || (insert.empty() && start == end))
        return false;
    bool continuesTyping = typed && fTyping && start == end;
    if (fUndoEnabled && !continuesTyping)
        fUndo = Snapshot{fText, fAnchor, fCaret};
    fText.replace(start, end - start, insert.substr(0, take));
    fAnchor = fCaret = start + take;
    fTyping = typed;
    return true;
}

bool EditBuffer::DeleteBackward()
{
    if (!HasSelection()) {
        if (fCaret == 0)
            return false;
        fAnchor = Previous(fCaret);
    }
    return ReplaceSelection(u"", false);
}

bool EditBuffer::DeleteForward()
{
    if (!HasSelection()) {
        if (fCaret == fText.size())
            return false;
        fAnchor = Next(fCaret);
    }
    return ReplaceSelection(u"", false);
}

void EditBuffer::SetUndoEnabled(bool enabled)
{
    fUndoEnabled = enabled;
    if (!enabled)
        fUndo.reset();
}

bool EditBuffer::Undo()
{
    if (!fUndo.has_value())
        return false;
    Snapshot current{fText, fAnchor, fCaret};
    fText = std::move(fUndo->text);
    fAnchor = fUndo->anchor;
    fCaret = fUndo->caret;
    fUndo = std::move(current);
    fTyping = false;
    return true;
}

} // namespace win32::controls
