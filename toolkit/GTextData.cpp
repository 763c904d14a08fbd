#include "toolkit/GTextData.h"

#include "foundation/CXDebug.h"
#include "foundation/CXRandom.h"
#include "toolkit/ntex.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

namespace {

bool Overlaps(const char* bytes, const CXStringEditBase& text)
{
    std::less<const char*> before;
    return bytes != nullptr && !before(bytes, text.data()) && before(bytes, text.data() + text.capacity());
}

} // namespace

void TextLineRange::Widen(int32_t a, int32_t b)
{
    if (IsEmpty()) {
        first = a;
        end = b;
        return;
    }
    first = std::min(first, a);
    end = std::max(end, b);
}

GTextData::GTextData()
{
    ResetStyles(true);
    Layout(-1);
}

GTextData::~GTextData()
{
    // The stamp's event reads a member: it goes before the members do.
    DeleteEvents();
    for (ntex* view : fViews)
        view->DetachDocument();
}

// --- Text ---

void GTextData::SetText(const char* bytes, int32_t length)
{
    if (bytes == nullptr || length < 0)
        length = 0;
    if (length >= kSentinelStart) {
        CXDebugLog("GTextData::SetText> text too long: %d bytes", length);
        return;
    }
    if (length == GetLength() && (length == 0 || std::memcmp(bytes, fText.data(), static_cast<size_t>(length)) == 0))
        return;
    const std::string copy = Overlaps(bytes, fText) ? std::string(bytes, static_cast<size_t>(length)) : std::string();
    if (!copy.empty())
        bytes = copy.data();
    if (!fText.Upsize(static_cast<size_t>(length), 1)) {
        CXDebugLog("GTextData::SetText> out of memory for %d bytes", length);
        return;
    }
    ClearUndo();
    fText.Assign(bytes, static_cast<size_t>(length));
    (void)fText.c_str();
    ResetStyles(false);
    fSelectionStart = fSelectionEnd = fAnchor = 0;
    fRedraw.Widen(0, 0x7FFFFF01);
    if (IsDeferred()) {
        fRelayout.Widen(0, 1);
        return;
    }
    Layout(-1);
    PushRedrawRange();
    for (ntex* view : fViews)
        view->InvalidateSelection();
}

CXString GTextData::GetText(int32_t length) const
{
    const int32_t count = std::min(length, GetLength());
    if (count <= 0)
        return CXString();
    return CXString(fText.data(), static_cast<size_t>(count));
}

// --- Selection ---

void GTextData::SetSelection(int32_t start, int32_t end, bool updateGoalX)
{
    if (start > end)
        std::swap(start, end);
    start = std::clamp(start, 0, GetLength());
    end = std::clamp(end, 0, GetLength());
    if (start == end)
        fAnchor = start;
    if (fAnchor != start && fAnchor != end)
        fAnchor = end;

    if (start != fSelectionStart || end != fSelectionEnd) {
        if (!IsDeferred())
            HideCarets();
        fSelectionStart = start;
        fSelectionEnd = end;
        if (!IsDeferred()) {
            for (ntex* view : fViews)
                view->InvalidateSelection();
        }
        if (updateGoalX) {
            for (ntex* view : fViews)
                view->UpdateGoalColumn();
        }
    }
    if ((fFlags & kKeepStyleOnCaretMove) == 0)
        fCurrentStyle = GetStyle(GetStyleRunForCharacterAtIndex(start > 0 ? start - 1 : 0).style);
}

// --- Editing ---

void GTextData::Insert(const char* bytes, int32_t length, bool keepSelected)
{
    if (bytes == nullptr || length < 0)
        length = 0;
    const int32_t s = fSelectionStart;
    const int32_t e = fSelectionEnd;
    if (length == 0 && s == e)
        return;
    const int64_t newLength = static_cast<int64_t>(GetLength()) - (e - s) + length;
    if (newLength >= kSentinelStart) {
        CXDebugLog("ntex::Insert> text too long: %lld bytes", static_cast<long long>(newLength));
        return;
    }
    const std::string copy = Overlaps(bytes, fText) ? std::string(bytes, static_cast<size_t>(length)) : std::string();
    if (!copy.empty())
        bytes = copy.data();
    if (!fText.Upsize(static_cast<size_t>(newLength), 1)) {
        CXDebugLog("ntex::Insert> out of memory for %lld bytes", static_cast<long long>(newLength));
        return;
    }
    const int32_t delta = length - (e - s);

    RecordUndo(length, s, e);
    HideCarets();
    const int32_t lineOfStart = FindLine(s);
    const int32_t lineOfEnd = FindLine(e);
    const int32_t relayoutFrom = FirstLineToRelayout(s);
    ReplaceRuns(s, e, length);
    ShiftLinesAfter(lineOfEnd, delta);
    fText.Replace(static_cast<size_t>(s), static_cast<size_t>(e - s),
                  CXStringArgument(length != 0 ? bytes : "", static_cast<size_t>(length)));
    (void)fText.c_str();

    fSelectionStart = keepSelected ? s : s + length;
    fSelectionEnd = s + length;
    fAnchor = s + length;

    RelayoutAfterEdit(lineOfStart, relayoutFrom, s + length);
    FinishEdit();
}

void GTextData::RecordUndo(int32_t length, int32_t start, int32_t end)
{
    fUndoRemoved.reset();
    fUndoStart = start;
    fUndoInsertedLength = length;
    fUndoRemovedLength = end - start;
    if (end > start) {
        fUndoRemoved = std::make_unique<char[]>(static_cast<size_t>(end - start));
        std::memcpy(fUndoRemoved.get(), fText.data() + start, static_cast<size_t>(end - start));
    }
}

// The runs of the edit of [start, end) into length bytes: the text after the range keeps its
// style, runs inside it go, the new bytes get the current style, and no run is left empty or
// beside one of its own style.
void GTextData::ReplaceRuns(int32_t start, int32_t end, int32_t length)
{
    const int32_t oldLength = GetLength();
    if (end < oldLength) {
        const int32_t holder = FindCharRun(end);
        if (fRuns[static_cast<size_t>(holder)].start != end)
            AddRun(holder, {end, fRuns[static_cast<size_t>(holder)].style});
    }
    RemoveRunsInside(start, end, length);
    if (length > 0) {
        const int32_t style = FindOrAddStyle(fCurrentStyle);
        // The last run before start; -1 (in front) when the runs from start on have moved past it.
        int32_t before = FindCharRun(start);
        if (before >= 0 && fRuns[static_cast<size_t>(before)].start > start)
            --before;
        AddRun(before, {start, style});
    }
    RemoveRunsPastEnd(oldLength - (end - start) + length);
    MergeRuns();
}

void GTextData::RemoveRunsInside(int32_t start, int32_t end, int32_t length)
{
    const int32_t delta = length - (end - start);
    const int32_t realCount = static_cast<int32_t>(fRuns.size()) - 1;
    std::vector<int32_t> inside;
    for (int32_t r = 0; r < realCount; ++r) {
        const int32_t runStart = fRuns[static_cast<size_t>(r)].start;
        if (runStart >= start && runStart < end && fRuns[static_cast<size_t>(r) + 1].start <= end)
            inside.push_back(r);
    }
    size_t next = 0;
    for (int32_t r = 0; r < realCount; ++r) {
        if (next < inside.size() && inside[next] == r) {
            ++next;
            continue;
        }
        int32_t& runStart = fRuns[static_cast<size_t>(r)].start;
        if (runStart >= start && runStart <= end)
            runStart = start + length;
        else if (runStart > end)
            runStart += delta;
    }
    for (auto r = inside.rbegin(); r != inside.rend(); ++r)
        RemoveRun(*r);
}

// A run that reached the end of the text before a deletion up to the end starts at the new end:
// it would be empty.
void GTextData::RemoveRunsPastEnd(int32_t newLength)
{
    for (int32_t r = static_cast<int32_t>(fRuns.size()) - 2; r >= 1; --r) {
        if (fRuns[static_cast<size_t>(r)].start < newLength)
            break;
        RemoveRun(r);
    }
}

void GTextData::ShiftLinesAfter(int32_t line, int32_t delta)
{
    for (size_t i = static_cast<size_t>(std::max(line, -1) + 1); i < fLines.size(); ++i)
        fLines[i].start += delta;
}

void GTextData::RelayoutAfterEdit(int32_t lineOfStart, int32_t from, int32_t insertedEnd)
{
    fRedraw.Widen(std::max(lineOfStart, 0), std::max(lineOfStart, 0) + 1);
    if (!IsDeferred())
        PushRedrawRange();
    const int32_t lineOfEnd = FindLine(insertedEnd);
    fRedraw.Widen(lineOfEnd, lineOfEnd + 1);
    if (!IsDeferred())
        PushRedrawRange();
    fRelayout.Widen(from, from + 1);
    if (IsDeferred())
        return;
    Layout(fRelayout.first);
    fRelayout.Clear();
    PushRedrawRange();
}

void GTextData::FinishEdit()
{
    if (!IsDeferred()) {
        for (ntex* view : fViews)
            view->InvalidateSelection();
    }
    for (ntex* view : fViews)
        view->UpdateGoalColumn();
    MarkChanged();
    for (ntex* view : fViews)
        view->ScrollToCaret();
}

void GTextData::DeleteCharacter(int32_t direction)
{
    if (fSelectionStart == fSelectionEnd) {
        const int32_t caret = fSelectionStart;
        if (direction < 0) {
            if (caret <= 0)
                return;
            SetSelection(PrevUTF8(caret), caret, false);
        } else {
            if (caret >= GetLength())
                return;
            SetSelection(caret, NextUTF8(caret), false);
        }
    }
    Insert(nullptr, 0, false);
}

void GTextData::Undo()
{
    if (fUndoStart == -1)
        return;
    const int32_t start = fUndoStart;
    const int32_t inserted = fUndoInsertedLength;
    const std::unique_ptr<char[]> removed = std::move(fUndoRemoved);
    const int32_t removedLength = fUndoRemovedLength;
    ClearUndo();
    SetSelection(start, start + inserted, false);
    Insert(removed.get(), removedLength, true);
}

void GTextData::ClearUndo()
{
    fUndoRemoved.reset();
    fUndoStart = -1;
    fUndoInsertedLength = 0;
    fUndoRemovedLength = 0;
}

// --- Styles ---

void GTextData::SetCurrentStyle(const TextStyle& style)
{
    fCurrentStyle = style;
    fCurrentStyle.UpdateMetrics();
}

int32_t GTextData::FindOrAddStyle(const TextStyle& style)
{
    for (size_t i = 0; i < fStyles.size(); ++i) {
        if (fStyles[i]->SameAppearance(style))
            return static_cast<int32_t>(i);
    }
    auto added = std::make_unique<TextStyle>(style);
    added->UpdateMetrics();
    fStyles.push_back(std::move(added));
    return static_cast<int32_t>(fStyles.size()) - 1;
}

TextStyle& GTextData::GetStyle(int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= fStyles.size())
        return *fStyles.front();
    return *fStyles[static_cast<size_t>(index)];
}

void GTextData::ResetStyles(bool first)
{
    if (first) {
        fCurrentStyle = TextStyle();
        fCurrentStyle.UpdateMetrics();
    }
    fStyles.clear();
    fStyles.push_back(std::make_unique<TextStyle>(fCurrentStyle));
    fRuns = {{0, 0}, {kSentinelStart, 0}};
}

// --- Runs ---

int32_t GTextData::FindCharRun(int32_t index) const
{
    index = std::clamp(index, 0, GetLength());
    // The last run starting at or before the index, among the real runs.
    const auto realEnd = fRuns.end() - 1;
    auto after = std::upper_bound(fRuns.begin(), realEnd, index,
                                  [](int32_t value, const StyleRun& run) { return value < run.start; });
    if (after == fRuns.begin())
        return 0;
    return static_cast<int32_t>(after - fRuns.begin()) - 1;
}

StyleRun GTextData::GetStyleRunForCharacterAtIndex(int32_t index) const
{
    if (fRuns.size() < 2) {
        CXDebugLog("GTextData::GetStyleRunForCharacterAtIndex> %zu runs", fRuns.size());
        return fRuns.empty() ? StyleRun{} : fRuns.front();
    }
    return fRuns[static_cast<size_t>(FindCharRun(index))];
}

void GTextData::AddRun(int32_t after, StyleRun run)
{
    const size_t at = static_cast<size_t>(std::clamp(after + 1, 0, static_cast<int32_t>(fRuns.size())));
    fRuns.insert(fRuns.begin() + static_cast<std::ptrdiff_t>(at), run);
    CheckRunOrder(static_cast<int32_t>(at));
}

void GTextData::CheckRunOrder(int32_t index) const
{
    const size_t at = static_cast<size_t>(index);
    if (fRuns.front().start != 0)
        CXDebugLog("ntex::add_run> style_runs[0].ch != 0");
    if (at > 0 && fRuns[at - 1].start >= fRuns[at].start)
        CXDebugLog("ntex::add_run> err1");
    if (at + 1 < fRuns.size() && fRuns[at + 1].start <= fRuns[at].start)
        CXDebugLog("ntex::add_run> err2");
}

void GTextData::RemoveRun(int32_t index)
{
    if (index < 0 || index + 1 >= static_cast<int32_t>(fRuns.size())) {
        CXDebugLog("GTextData::RemoveRun> no run %d", index);
        return;
    }
    fRuns.erase(fRuns.begin() + index);
    for (TextLine& line : fLines) {
        if (line.run > 0 && line.run >= index)
            --line.run;
    }
}

void GTextData::MergeRuns()
{
    for (int32_t r = static_cast<int32_t>(fRuns.size()) - 2; r >= 1; --r) {
        const StyleRun& run = fRuns[static_cast<size_t>(r)];
        if (run.style == fRuns[static_cast<size_t>(r) - 1].style ||
            run.start == fRuns[static_cast<size_t>(r) + 1].start)
            RemoveRun(r);
    }
}

// --- Flags and change stamp ---

void GTextData::ChangeFlags(int32_t set, int32_t clear)
{
    const int32_t old = fFlags;
    fFlags = (fFlags | set) & ~clear;
    const int32_t changed = old ^ fFlags;
    if ((changed & (kNoWrap | kCodeMode)) != 0)
        fRelayout.Widen(0, 1);
    if (IsDeferred())
        return;
    const bool resumed = (changed & kDeferLayout) != 0;
    if (!fRelayout.IsEmpty()) {
        Layout(fRelayout.first);
        fRelayout.Clear();
    } else if (!resumed) {
        return;
    }
    PushRedrawRange();
    for (ntex* view : fViews)
        view->InvalidateSelection();
}

void GTextData::MarkChanged()
{
    if ((fFlags & kNoChangeStamp) != 0)
        return;
    // The foundation's unique counter is the one the event context stamps its passes with, so the
    // change event can tell a change since the last pass.
    fChangeStamp.store(GetUniqueID(), std::memory_order_release);
    fFlags |= kModified;
}

CXGenericEvent* GTextData::CreateEvent(int kind)
{
    if (kind == 0)
        return new CXGenericEventTimestampVariable(&fChangeStamp);
    return new CXGenericEvent;
}

// --- Characters ---

namespace {

// The character that holds the byte at index: where it starts, its code point and its length.
// False, with the byte alone as '.', for a byte that belongs to no decodable sequence.
bool CharacterHolding(const char* text, int32_t length, int32_t index, int32_t& start, uint32_t& c, int32_t& count)
{
    start = index;
    c = '.';
    count = 1;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    if (bytes[index] < 0x80) {
        c = bytes[index];
        return true;
    }
    int32_t lead = index;
    int32_t steps = 0;
    while (steps < 3 && lead > 0 && IsUTF8ContinuationByte(bytes[lead])) {
        --lead;
        ++steps;
    }
    uint32_t decoded = 0;
    size_t decodedCount = 0;
    if (!CXStringArgument(text + lead, static_cast<size_t>(length - lead)).DecodeUTF8Character(decoded, decodedCount) ||
        static_cast<int32_t>(decodedCount) <= steps)
        return false;
    start = lead;
    c = decoded;
    count = static_cast<int32_t>(decodedCount);
    return true;
}

} // namespace

int32_t GTextData::NextUTF8(int32_t index) const
{
    const int32_t length = GetLength();
    if (index < 0 || index > length) {
        CXDebugLog("GTextData::next_utf8> invalid charIndex %d/%d", index, length);
        index = std::clamp(index, 0, length);
    }
    if (index >= length)
        return length;
    int32_t count = 0;
    (void)CharacterAt(index, count);
    return index + count;
}

int32_t GTextData::PrevUTF8(int32_t index) const
{
    const int32_t length = GetLength();
    if (index < 0 || index > length) {
        CXDebugLog("GTextData::prev_utf8> invalid charIndex %d/%d", index, length);
        index = std::clamp(index, 0, length);
    }
    if (index <= 0)
        return 0;
    int32_t start = 0;
    uint32_t c = 0;
    int32_t count = 0;
    (void)CharacterHolding(fText.data(), length, index - 1, start, c, count);
    return start;
}

uint32_t GTextData::CharacterAt(int32_t index, int32_t& count) const
{
    count = 1;
    if (index < 0 || index >= GetLength())
        return '.';
    int32_t start = 0;
    uint32_t c = 0;
    int32_t length = 0;
    (void)CharacterHolding(fText.data(), GetLength(), index, start, c, length);
    count = start + length - index;
    return c;
}

uint32_t GTextData::FollowingCharacter(int32_t index) const
{
    const int32_t length = GetLength();
    if (index < 0 || index >= length)
        return 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(fText.data());
    auto printable = [](unsigned char b) { return b >= 0x20 && b <= 0x7E; };
    if (index + 1 < length && printable(bytes[index]) && printable(bytes[index + 1]))
        return bytes[index + 1];
    int32_t start = 0;
    uint32_t c = 0;
    int32_t count = 0;
    (void)CharacterHolding(fText.data(), length, index, start, c, count);
    const int32_t next = start + count;
    if (next >= length)
        return 0;
    if (!CharacterHolding(fText.data(), length, next, start, c, count))
        return 0;
    return c;
}

// --- Views ---

void GTextData::AddView(ntex* view)
{
    if (view != nullptr && std::find(fViews.begin(), fViews.end(), view) == fViews.end())
        fViews.push_back(view);
}

void GTextData::RemoveView(ntex* view)
{
    fViews.erase(std::remove(fViews.begin(), fViews.end(), view), fViews.end());
}

void GTextData::HideCarets()
{
    for (ntex* view : fViews)
        view->HideCaretAndRestartClock();
}

void GTextData::PushRedrawRange()
{
    if (fRedraw.IsEmpty())
        return;
    for (ntex* view : fViews)
        view->AddPendingLines(fRedraw.first, fRedraw.end);
    fRedraw.Clear();
}

// --- Walker ---

GTextWalker::GTextWalker(GTextData& document, int32_t index, int32_t run)
    : fDocument(document)
    , fIndex(index)
    , fRun(std::max(run, 0))
{
    fCharacter = document.CharacterAt(index, fCount);
    fNext = document.CharacterAt(index + fCount, fNextCount);
    FollowRuns();
}

void GTextWalker::Step()
{
    fIndex += fCount;
    fCharacter = fNext;
    fCount = fNextCount;
    fNext = fDocument.CharacterAt(fIndex + fCount, fNextCount);
    FollowRuns();
}

void GTextWalker::FollowRuns()
{
    const std::vector<StyleRun>& runs = fDocument.GetRuns();
    const int32_t realRuns = static_cast<int32_t>(runs.size()) - 1;
    if (fRun >= realRuns)
        fRun = std::max(realRuns - 1, 0);
    while (fRun + 1 < realRuns && runs[static_cast<size_t>(fRun) + 1].start <= fIndex)
        ++fRun;
    fStyle = &fDocument.GetStyle(runs.empty() ? 0 : runs[static_cast<size_t>(fRun)].style);
}
