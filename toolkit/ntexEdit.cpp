// The editing controller of a text view: keys, caret moves, presses and drags, the caret's blink.

#include "toolkit/ntex.h"

#include "foundation/CXTime.h"
#include "toolkit/GTextData.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int32_t kMoveModifiers =
    ntex::kModifierLine | ntex::kModifierShift | ntex::kModifierPage | ntex::kModifierWord;

int64_t Now()
{
    return CXTime::GetPerformanceMilliseconds();
}

// The UTF-8 bytes of a code point; 0 for a surrogate or a code above 0x10FFFF, which no text
// holds.
int32_t EncodeUTF8(uint32_t c, char* out)
{
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        return 0;
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

} // namespace

// --- Keys ---

bool ntex::HandleKey(uint32_t code, int32_t modifiers)
{
    if (fDocument == nullptr)
        return false;
    const bool readOnly = (fFlags & kReadOnly) != 0;
    switch (code) {
    case kKeyHome:
        MoveLeft(modifiers | kModifierLine);
        break;
    case kKeyEnd:
        MoveRight(modifiers | kModifierLine);
        break;
    case kKeyBackspace:
    case kKeyDelete:
        if (readOnly)
            return false;
        fDocument->DeleteCharacter(code == kKeyBackspace ? -1 : 1);
        break;
    case kKeyPageUp:
        MoveUp(modifiers | kModifierPage);
        return true;
    case kKeyPageDown:
        MoveDown(modifiers | kModifierPage);
        return true;
    case kKeyReturn:
        if (readOnly)
            return false;
        fDocument->InsertNewline();
        break;
    case kKeyEscape:
        return false;
    case kKeyLeft:
        MoveLeft(modifiers);
        break;
    case kKeyRight:
        MoveRight(modifiers);
        break;
    case kKeyUp:
        MoveUp(modifiers);
        break;
    case kKeyDown:
        MoveDown(modifiers);
        break;
    default: {
        if (code < 32 && code != kKeyTab && (fDocument->GetFlags() & GTextData::kTypeControlCharacters) == 0)
            return false;
        char bytes[4];
        const int32_t length = EncodeUTF8(code, bytes);
        // A code that encodes to nothing leaves the selection alone rather than deleting it.
        if (!readOnly && length > 0)
            fDocument->Insert(bytes, length, false);
        break;
    }
    }
    if (fDocument == nullptr)
        return true;
    FlushDirtyLines();
    ShowCaret();
    ScrollToCaret();
    return true;
}

// --- Moves ---

void ntex::MoveLeft(int32_t modifiers)
{
    if (fDocument == nullptr)
        return;
    int32_t start = 0;
    int32_t end = 0;
    fDocument->GetSelection(start, end);
    if ((modifiers & kModifierShift) != 0) {
        const int32_t anchor = fDocument->GetAnchor();
        fDocument->SetSelection(anchor, fDocument->PreviousBoundary(fDocument->GetCaret(), modifiers), true);
        return;
    }
    const int32_t caret =
        (start == end || (modifiers & kModifierWord) != 0) ? fDocument->PreviousBoundary(start, modifiers) : start;
    fDocument->SetSelection(caret, caret, true);
}

void ntex::MoveRight(int32_t modifiers)
{
    if (fDocument == nullptr)
        return;
    int32_t start = 0;
    int32_t end = 0;
    fDocument->GetSelection(start, end);
    if ((modifiers & kModifierShift) != 0) {
        const int32_t anchor = fDocument->GetAnchor();
        fDocument->SetSelection(anchor, fDocument->NextBoundary(fDocument->GetCaret(), modifiers), true);
        return;
    }
    const int32_t caret =
        (start == end || (modifiers & kModifierWord) != 0) ? fDocument->NextBoundary(end, modifiers) : end;
    fDocument->SetSelection(caret, caret, true);
}

void ntex::MoveDown(int32_t modifiers)
{
    if (fDocument == nullptr)
        return;
    int32_t start = 0;
    int32_t end = 0;
    fDocument->GetSelection(start, end);
    if ((modifiers & kMoveModifiers) == 0 && start != end)
        fDocument->SetSelection(end, end, true);
    const int32_t length = fDocument->GetLength();
    if ((modifiers & kModifierShift) != 0) {
        const int32_t anchor = fDocument->GetAnchor();
        const int32_t target = PositionBelow(fDocument->GetCaret(), modifiers);
        fDocument->SetSelection(target, anchor, target == length);
        return;
    }
    fDocument->GetSelection(start, end);
    const int32_t target = PositionBelow(start, modifiers);
    fDocument->SetSelection(target, target, target == length);
}

void ntex::MoveUp(int32_t modifiers)
{
    if (fDocument == nullptr)
        return;
    int32_t start = 0;
    int32_t end = 0;
    fDocument->GetSelection(start, end);
    if ((modifiers & kMoveModifiers) == 0 && start != end)
        fDocument->SetSelection(start, start, true);
    if ((modifiers & kModifierShift) != 0) {
        const int32_t anchor = fDocument->GetAnchor();
        const int32_t target = PositionAbove(fDocument->GetCaret(), modifiers);
        fDocument->SetSelection(target, anchor, target == 0);
        return;
    }
    fDocument->GetSelection(start, end);
    const int32_t target = PositionAbove(start, modifiers);
    fDocument->SetSelection(target, target, target == 0);
}

int32_t ntex::PositionBelow(int32_t index, int32_t modifiers)
{
    if (fDocument == nullptr)
        return 0;
    const int32_t line = fDocument->FindLine(index);
    if (line >= fDocument->GetLineCount() - 1)
        return fDocument->GetLength();
    int32_t y = fDocument->GetLines()[static_cast<size_t>(line) + 1].top + fOrigin.y;
    if ((modifiers & kModifierPage) != 0) {
        const Box2i caret = FindRect(index);
        y = fTextRect.bottom;
        // From a caret outside the view, a page on from where it is.
        if (caret.bottom >= fTextRect.bottom || caret.bottom <= fTextRect.top)
            y += caret.top - fTextRect.top;
    }
    return HitTest({fGoalX, y});
}

int32_t ntex::PositionAbove(int32_t index, int32_t modifiers)
{
    if (fDocument == nullptr)
        return 0;
    const int32_t line = fDocument->FindLine(index);
    if (line <= 0)
        return 0;
    int32_t y = fDocument->GetLines()[static_cast<size_t>(line) - 1].top + fOrigin.y;
    if ((modifiers & kModifierPage) != 0) {
        const Box2i caret = FindRect(index);
        y = fTextRect.top;
        if (caret.top <= fTextRect.top || caret.top >= fTextRect.bottom)
            y += caret.top - fTextRect.bottom;
    }
    return HitTest({fGoalX, y});
}

// --- Mouse ---

void ntex::MouseDown(Vector2i point, int32_t modifiers)
{
    if (fDocument == nullptr)
        return;
    const int64_t now = Now();
    const bool apart = std::abs(point.x - fLastClickPoint.x) >= kMultiClickPixels ||
                       std::abs(point.y - fLastClickPoint.y) >= kMultiClickPixels;
    if (fClickCount == 0 || apart || now - fLastClickTime >= kMultiClickMilliseconds)
        fClickCount = 1;
    else
        fClickCount = std::min(fClickCount + 1, 3);
    fLastClickTime = now;
    fLastClickPoint = point;

    const int32_t index = HitTest(point);
    fPressIndex = index;
    if ((modifiers & kModifierShift) != 0) {
        int32_t start = 0;
        int32_t end = 0;
        fDocument->GetSelection(start, end);
        fPressIndex = index < start ? end : start;
    }
    fDocument->SetAnchor(fPressIndex);
    MouseDrag(point);
}

void ntex::MouseDrag(Vector2i point)
{
    if (fDocument == nullptr)
        return;
    const int32_t index = HitTest(point);
    const bool forward = fPressIndex <= index;
    int32_t first = std::min(fPressIndex, index);
    int32_t end = std::max(fPressIndex, index);
    if (fClickCount == 2) {
        int32_t wordFirst = 0;
        int32_t wordEnd = 0;
        fDocument->WordRangeAt(first, wordFirst, wordEnd);
        first = wordFirst;
        fDocument->WordRangeAt(end, wordFirst, wordEnd);
        end = wordEnd;
    } else if (fClickCount >= 3) {
        fDocument->LineRangeAt(first, end);
    }
    fDocument->SetSelection(first, end, true);
    fDocument->SetAnchor(forward ? first : end);
    AutoScrollTowards(point);
    ShowCaret();
}

void ntex::AutoScrollTowards(Vector2i point)
{
    int32_t dx = 0;
    int32_t dy = 0;
    if ((fFlags & kLockVertical) == 0) {
        if (point.y < fTextRect.top)
            dy = point.y - fTextRect.top;
        else if (point.y > fTextRect.bottom)
            dy = point.y - fTextRect.bottom;
    }
    if ((fFlags & kLockHorizontal) == 0) {
        if (point.x < fTextRect.left)
            dx = point.x - fTextRect.left;
        else if (point.x > fTextRect.right)
            dx = point.x - fTextRect.right;
    }
    if (dx == 0 && dy == 0)
        return;
    const Vector2i position = GetScrollPosition();
    ScrollTo(position.x + dx, position.y + dy);
    PostScrollChanged();
}

// --- Blink ---

void ntex::BlinkCaret()
{
    if (fDocument == nullptr || (fDocument->GetFlags() & GTextData::kDeferLayout) != 0)
        return;
    FlushDirtyLines();
    const int64_t now = Now();
    if (now - fCaretTime < kBlinkMilliseconds)
        return;
    if (fCaretOn != 0)
        HideCaret();
    else
        ShowCaret();
    fCaretTime = now;
}
