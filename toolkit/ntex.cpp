#include "toolkit/ntex.h"

#include "foundation/CXDebug.h"
#include "foundation/CXTime.h"
#include "toolkit/GTextData.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {

int64_t Now()
{
    return CXTime::GetPerformanceMilliseconds();
}

int32_t Round(double x)
{
    return static_cast<int32_t>(std::lround(x));
}

RazaRegion UnionOfBoxes(std::initializer_list<Box2i> boxes)
{
    RazaRegion region;
    for (const Box2i& box : boxes) {
        if (!box.IsEmpty())
            region = region.Union(RazaRegion(box));
    }
    return region;
}

} // namespace

ntex::ntex(const Box2i& frame)
    : fOrigin{frame.left + 4, frame.top}
    , fTextRect{frame.left + 4, frame.top, frame.right - 4, frame.bottom}
    , fFrameFlag(frame.empty ? 1 : 0)
{
}

ntex::~ntex()
{
    if (fDocument != nullptr)
        fDocument->RemoveView(this);
}

void ntex::SetTextData(GTextData* document)
{
    if (fDocument != nullptr)
        fDocument->RemoveView(this);
    fDocument = document;
    fShownSelection = RazaRegion();
    fPendingFirst = fPendingLast = -1;
    if (document == nullptr)
        return;
    if ((document->GetFlags() & GTextData::kFixedContentWidth) == 0)
        document->SetWrapWidth(fTextRect.Width());
    document->AddView(this);
}

void ntex::ChangeFlags(int32_t set, int32_t clear)
{
    fFlags = (fFlags | set) & ~clear;
    if ((set & kCaretHidden) != 0)
        fCaretOn = 0;
    Invalidate(fTextRect);
}

void ntex::SetFrame(const Box2i& frame)
{
    const Box2i rect{frame.left + fMarginLeft, frame.top + fMarginTop, frame.right - fMarginRight,
                     frame.bottom - fMarginBottom};
    const uint8_t flag = frame.empty ? 1 : 0;
    if (rect == fTextRect && flag == fFrameFlag)
        return;
    const Box2i old = fTextRect;
    const bool anchored = (fFlags & kBottomAnchored) != 0 && fDocument != nullptr;
    // How far the text's end lies above the bottom edge, kept across the change.
    const int32_t bottomGap = anchored ? old.bottom - (fOrigin.y + fDocument->GetTextHeight()) : 0;
    fOrigin.x += rect.left - old.left;
    fOrigin.y = rect.top + (fOrigin.y - old.top);
    fTextRect = rect;
    fFrameFlag = flag;
    if (fDocument == nullptr)
        return;
    if ((fDocument->GetFlags() & GTextData::kFixedContentWidth) == 0)
        fDocument->SetWrapWidth(rect.Width());
    if (anchored) {
        const Vector2i position = GetScrollPosition();
        int32_t y = position.y;
        if ((fFlags & kLockVertical) == 0)
            y = rect.top - (rect.bottom - bottomGap - fDocument->GetTextHeight());
        ScrollTo(position.x, y);
    }
    PostScrollChanged();
    InvalidateSelection();
}

// --- Scrolling ---

void ntex::GetScrollRange(int32_t& minX, int32_t& minY, int32_t& maxX, int32_t& maxY) const
{
    minX = minY = maxX = maxY = 0;
    if (fDocument == nullptr)
        return;
    maxX = fDocument->GetContentWidth() - fTextRect.Width();
    maxY = fDocument->GetTextHeight() - fTextRect.Height();
    if ((fFlags & kBottomAnchored) != 0 && maxY <= 0)
        minY = maxY;
    maxX = std::max(maxX, minX);
    maxY = std::max(maxY, minY);
}

Vector2i ntex::GetScrollPosition() const
{
    return {fTextRect.left - fOrigin.x, fTextRect.top - fOrigin.y};
}

void ntex::ScrollBy(int32_t dx, int32_t dy)
{
    if ((fFlags & kLockHorizontal) != 0)
        dx = 0;
    if ((fFlags & kLockVertical) != 0)
        dy = 0;
    const Vector2i position = GetScrollPosition();
    ScrollTo(position.x + dx, position.y + dy);
}

void ntex::ScrollTo(int32_t x, int32_t y)
{
    if (fDocument == nullptr)
        return;
    int32_t minX = 0;
    int32_t minY = 0;
    int32_t maxX = 0;
    int32_t maxY = 0;
    GetScrollRange(minX, minY, maxX, maxY);
    FlushDirtyLines();
    x = std::clamp(x, minX, maxX);
    y = std::clamp(y, minY, maxY);
    const Vector2i position = GetScrollPosition();
    if (x == position.x && y == position.y)
        return;
    const Vector2i delta{position.x - x, position.y - y};
    fOrigin = fOrigin + delta;
    fShownSelection = fShownSelection.Offset(delta);
    if ((fDocument->GetFlags() & GTextData::kDeferLayout) == 0)
        Invalidate(fTextRect);
}

void ntex::PostScrollChanged()
{
    if (fOwner != nullptr)
        fOwner->TextScrollChanged();
}

// --- Geometry ---

int32_t ntex::LineRun(int32_t line, const char* caller)
{
    const std::vector<TextLine>& lines = fDocument->GetLines();
    const std::vector<StyleRun>& runs = fDocument->GetRuns();
    const int32_t realRuns = static_cast<int32_t>(runs.size()) - 1;
    const TextLine& record = lines[static_cast<size_t>(line)];
    int32_t run = record.run;
    if (run < 0) {
        CXDebugLog("%s> hlines[line].run < 0", caller);
        run = 0;
    } else if (run >= realRuns) {
        CXDebugLog("%s> hlines[line].run too large", caller);
        run = std::max(realRuns - 1, 0);
    }
    if (runs[static_cast<size_t>(run)].start > record.start)
        run = fDocument->FindCharRun(record.start);
    return run;
}

int32_t ntex::HitTest(Vector2i point)
{
    if (fDocument == nullptr)
        return 0;
    const int32_t line = fDocument->FindLineAtY(point.y - fOrigin.y);
    if (line < 0)
        return 0;
    const int32_t count = fDocument->GetLineCount();
    const int32_t length = fDocument->GetLength();
    if (line >= count)
        return length;
    const std::vector<TextLine>& lines = fDocument->GetLines();
    const int32_t start = lines[static_cast<size_t>(line)].start;
    const int32_t end = lines[static_cast<size_t>(line) + 1].start;
    const int32_t d = point.x - fOrigin.x;
    if (d < 1)
        return start;

    double x = 1.0 + fDocument->IndentAt(start);
    for (GTextWalker walker(*fDocument, start, LineRun(line, "ntex::HitTest")); walker.Index() < end; walker.Step()) {
        const double advance = walker.Advance(x);
        if (d < x + advance / 2.0)
            return walker.Index();
        x += advance;
    }
    if (line == count - 1)
        return std::min(end, length);
    // Before the line's last character (its break or the space it wrapped at), never inside it.
    return std::max(fDocument->PrevUTF8(end), start);
}

Box2i ntex::FindRect(int32_t index)
{
    if (fDocument == nullptr)
        return {};
    const int32_t count = fDocument->GetLineCount();
    if (count < 1) {
        CXDebugLog("find_rect: line >= nline");
        return {};
    }
    const int32_t line = fDocument->FindLine(index);
    const std::vector<TextLine>& lines = fDocument->GetLines();
    const int32_t start = lines[static_cast<size_t>(line)].start;

    double x = 1.0 + fDocument->IndentAt(start);
    GTextWalker walker(*fDocument, start, LineRun(line, "ntex::find_rect"));
    for (; walker.Index() < index; walker.Step())
        x += walker.Advance(x);
    Box2i box;
    box.left = Round(fOrigin.x + x);
    box.top = lines[static_cast<size_t>(line)].top + fOrigin.y;
    box.right = box.left;
    if (index >= 0 && index < fDocument->GetLength())
        box.right = Round(fOrigin.x + x + walker.Advance(x));
    box.bottom = lines[static_cast<size_t>(line) + 1].top + fOrigin.y;
    return box;
}

RazaRegion ntex::SelectionRegion()
{
    if (fDocument == nullptr)
        return {};
    int32_t start = 0;
    int32_t end = 0;
    fDocument->GetSelection(start, end);
    if (start == end)
        return {};
    const int32_t lastCharacter = fDocument->PrevUTF8(end);
    const Box2i first = FindRect(start);
    const Box2i last = FindRect(lastCharacter);
    const int32_t lastLine = fDocument->FindLine(lastCharacter);
    const std::vector<TextLine>& lines = fDocument->GetLines();
    int32_t right = last.right;
    if (lastLine + 1 < fDocument->GetLineCount() && end == lines[static_cast<size_t>(lastLine) + 1].start)
        right = fTextRect.right;
    if (fDocument->FindLine(start) == lastLine)
        return UnionOfBoxes({Box2i{first.left, first.top, right, first.bottom}});
    return UnionOfBoxes({Box2i{first.left, first.top, fTextRect.right, first.bottom},
                         Box2i{fTextRect.left, first.bottom, fTextRect.right, last.top},
                         Box2i{fTextRect.left, last.top, right, last.bottom}});
}

void ntex::InvalidateSelection()
{
    const RazaRegion now = SelectionRegion();
    if (fShownSelection.IsNotEmpty())
        Invalidate(fShownSelection.Xor(now));
    else if (now.IsNotEmpty())
        Invalidate(now);
    fShownSelection = now;
}

void ntex::AddPendingLines(int32_t first, int32_t end)
{
    if (fPendingFirst == -1) {
        fPendingFirst = first;
        fPendingLast = end - 1;
        return;
    }
    fPendingFirst = std::min(fPendingFirst, first);
    fPendingLast = std::max(fPendingLast, end - 1);
}

void ntex::FlushDirtyLines()
{
    if (fDocument == nullptr || fPendingFirst == -1)
        return;
    int32_t visibleFirst = 0;
    int32_t visibleLast = 0;
    VisibleLines(visibleFirst, visibleLast);
    const int32_t first = std::max(fPendingFirst, visibleFirst);
    const int32_t last = std::min(fPendingLast, visibleLast);
    fPendingFirst = fPendingLast = -1;
    if (first > last)
        return;
    const std::vector<TextLine>& lines = fDocument->GetLines();
    Box2i box{fTextRect.left, lines[static_cast<size_t>(first)].top + fOrigin.y, fTextRect.right,
              lines[static_cast<size_t>(last) + 1].top + fOrigin.y};
    if (last == fDocument->GetLineCount() - 1)
        box.bottom = std::max(box.bottom, fTextRect.bottom);
    Invalidate(box);
}

void ntex::LinesInRect(const Box2i& box, int32_t& first, int32_t& last)
{
    first = 0;
    last = -1;
    if (fDocument == nullptr || fDocument->GetLineCount() < 1)
        return;
    const int32_t count = fDocument->GetLineCount();
    first = std::clamp(fDocument->FindLineAtY(box.top - fOrigin.y), 0, count - 1);
    last = std::clamp(fDocument->FindLineAtY(box.bottom - 1 - fOrigin.y), 0, count - 1);
}

// --- Caret ---

void ntex::ShowCaret()
{
    if ((fFlags & (kCaretHidden | kCaretDisabled)) != 0 || fCaretOn != 0)
        return;
    fCaretOn = 1;
    (void)InvalidateCaret();
    fCaretTime = Now();
}

void ntex::HideCaret()
{
    if (fCaretOn == 0)
        return;
    (void)InvalidateCaret();
    fCaretOn = 0;
    fCaretTime = Now();
}

void ntex::HideCaretAndRestartClock()
{
    HideCaret();
    fCaretTime = Now();
}

bool ntex::InvalidateCaret()
{
    if (fDocument == nullptr)
        return false;
    int32_t start = 0;
    int32_t end = 0;
    fDocument->GetSelection(start, end);
    if (start != end)
        return false;
    Box2i box = FindRect(start);
    box.left -= 1;
    Invalidate(box);
    return true;
}

void ntex::ScrollToCaret()
{
    if (fDocument == nullptr || (fFlags & (kLockVertical | kLockHorizontal)) == (kLockVertical | kLockHorizontal))
        return;
    const Box2i caret = FindRect(fDocument->GetCaret());
    int32_t dy = 0;
    if ((fFlags & kLockVertical) == 0) {
        if (caret.top < fTextRect.top)
            dy = caret.top - fTextRect.top;
        else if (caret.bottom > fTextRect.bottom)
            dy = caret.bottom - fTextRect.bottom;
    }
    int32_t dx = 0;
    if ((fFlags & kLockHorizontal) == 0) {
        if (caret.left - 1 < fTextRect.left)
            dx = caret.left - 1 - fTextRect.left;
        else if (caret.left + 1 > fTextRect.right)
            dx = caret.left + 1 - fTextRect.right;
    }
    if (dx == 0 && dy == 0)
        return;
    const Vector2i position = GetScrollPosition();
    ScrollTo(position.x + dx, position.y + dy);
    PostScrollChanged();
}

void ntex::UpdateGoalColumn()
{
    if (fDocument != nullptr)
        fGoalX = FindRect(fDocument->GetCaret()).left;
}

// --- Owner ---

void ntex::Invalidate(const Box2i& box)
{
    if (fOwner != nullptr && !box.IsEmpty())
        fOwner->InvalidateTextBox(box);
}

void ntex::Invalidate(const RazaRegion& region)
{
    if (fOwner != nullptr && region.IsNotEmpty())
        fOwner->InvalidateTextRegion(region);
}
