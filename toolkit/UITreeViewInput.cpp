// The tree view's interaction: the selection rules, the keys, type-ahead, the mouse with drags and
// drag-scrolling, the context click and the drag-and-drop messages.

#include "toolkit/UITreeView.h"

#include "foundation/CXSafePointer.h"
#include "foundation/CXTime.h"
#include "toolkit/CXOSSoup.h"
#include "toolkit/UICustomControlDropTarget.h"
#include "toolkit/UIUserActionEvent.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Characters the custom control types for the navigation keys.
constexpr char32_t kHome = 1;
constexpr char32_t kEnd = 4;
constexpr char32_t kBackspace = 8;
constexpr char32_t kPageUp = 11;
constexpr char32_t kPageDown = 12;
constexpr char32_t kReturn = 13;
constexpr char32_t kLeft = 28;
constexpr char32_t kRight = 29;
constexpr char32_t kUp = 30;
constexpr char32_t kDown = 31;
constexpr char32_t kDelete = 127;

// The modifier bit of the command key, which also ends a search.
constexpr int32_t kModifierCommand = 0x1;

// The answer to a status query for a command that cannot act now.
constexpr CXResultCode kCommandUnavailable{-11};

void AppendUtf8(std::string& text, char32_t character)
{
    if (character < 0x80) {
        text += static_cast<char>(character);
    } else if (character < 0x800) {
        text += static_cast<char>(0xC0 | (character >> 6));
        text += static_cast<char>(0x80 | (character & 0x3F));
    } else if (character < 0x10000) {
        text += static_cast<char>(0xE0 | (character >> 12));
        text += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (character & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (character >> 18));
        text += static_cast<char>(0x80 | ((character >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (character & 0x3F));
    }
}

// The character of one HandleText call: one unit, or a surrogate pair; 0 for none.
char32_t DecodeCharacter(const char16_t* text, int32_t byteLength)
{
    if (text == nullptr || byteLength < 2)
        return 0;
    const char16_t unit = text[0];
    if (unit >= 0xD800 && unit <= 0xDBFF && byteLength >= 4 && text[1] >= 0xDC00 && text[1] <= 0xDFFF)
        return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (static_cast<char32_t>(text[1]) - 0xDC00);
    return unit;
}

Box2i Union(const Box2i& a, const Box2i& b)
{
    if (a.IsEmpty())
        return b;
    if (b.IsEmpty())
        return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom),
            false};
}

} // namespace

// --- Selection ---

void UITreeView::SetSelected(int32_t row, bool on)
{
    UITreeViewRow& record = fRows[static_cast<size_t>(row)];
    if ((record.selected != 0) == on)
        return;
    record.selected = on ? 1 : 0;
    InvalidateRows(row, row + 1);
    fPendingFlags |= kChangedSelection;
}

void UITreeView::SelectRow(int32_t row, bool on)
{
    if (!InRange(row))
        return;
    Batch batch(*this);
    if (!on) {
        SetSelected(row, false);
        return;
    }
    if (!IsRowSelectable(row))
        return;
    if (fMultipleSelection == 0) {
        for (int32_t other = 0; other < GetRowCount(); ++other) {
            if (other != row)
                SetSelected(other, false);
        }
    }
    SetSelected(row, true);
}

void UITreeView::SelectAll()
{
    Batch batch(*this);
    for (int32_t row = 0; row < GetRowCount(); ++row)
        SelectRow(row, true);
}

void UITreeView::DeselectAll()
{
    Batch batch(*this);
    for (int32_t row = 0; row < GetRowCount(); ++row)
        SetSelected(row, false);
}

void UITreeView::SelectRange(int32_t first, int32_t last)
{
    if (first > last)
        std::swap(first, last);
    Batch batch(*this);
    for (int32_t row = std::max(first, 0); row <= std::min(last, GetRowCount() - 1); ++row)
        SelectRow(row, true);
}

int32_t UITreeView::FirstSelectedRow() const
{
    for (int32_t row = 0; row < GetRowCount(); ++row) {
        if (fRows[static_cast<size_t>(row)].selected != 0)
            return row;
    }
    return -1;
}

int32_t UITreeView::LastSelectedRow() const
{
    for (int32_t row = GetRowCount() - 1; row >= 0; --row) {
        if (fRows[static_cast<size_t>(row)].selected != 0)
            return row;
    }
    return -1;
}

bool UITreeView::IsRowSelectable(int32_t row)
{
    return RowHeight(row) > 0;
}

void UITreeView::ClickRow(int32_t row, int32_t modifiers)
{
    const bool shift = (modifiers & kModifierShift) != 0;
    const bool control = (modifiers & kModifierControl) != 0;
    const bool multiple = fMultipleSelection != 0;
    Batch batch(*this);
    if (!InRange(row)) {
        if (!(multiple && (shift || control))) {
            DeselectAll();
            fAnchor = -1;
        }
        return;
    }
    if (multiple && shift) {
        if (control)
            DeselectAll();
        SelectRange(InRange(fAnchor) ? fAnchor : row, row);
        return;
    }
    if (multiple && control) {
        if (IsRowSelected(row))
            SelectRow(row, false);
        else
            SelectRow(row, true);
        fAnchor = row;
        return;
    }
    if (!IsRowSelected(row)) {
        DeselectAll();
        SelectRow(row, true);
    }
    fAnchor = row;
}

// --- Messages ---

Vector2i UITreeView::ScreenToView(Vector2i screen) const
{
    const UIElement* root = this;
    while (root->GetParent() != nullptr)
        root = root->GetParent();
    const Box2i rootFrame = root->GetFrame();
    return ConvertPointFromAncestor({screen.x - rootFrame.left, screen.y - rootFrame.top}, root);
}

CXResultCode UITreeView::HandleMessage(const CXMessage& message)
{
    const CXString& name = message.GetName();
    if (name == UIDragMessage::kEnter) {
        UIElement* parent = UIElement::GetParent();
        const CXResultCode answer = parent != nullptr ? parent->HandleMessage(message) : kCXNotSupported;
        if (answer == 0)
            DeselectAll();
        return answer;
    }
    if (name == "Drag-Within") {
        const auto& drag = static_cast<const UIDragMessage&>(message);
        const int32_t row = RowAtY(ScreenToView(drag.GetPoint()).y);
        if (!IsRowSelected(row)) {
            Batch batch(*this);
            DeselectAll();
            if (InRange(row) && AcceptsDropOnRow(row, drag.GetDragData()))
                SelectRow(row, true);
        }
        return kCXOK;
    }
    if (name == UIDragMessage::kLeave) {
        DeselectAll();
        return kCXOK;
    }
    if (name == "edit-select-all") {
        if (fMultipleSelection != 0)
            SelectAll();
        return kCXOK;
    }
    if (name == "update-command-status" && message.GetFirstArgument() == "edit-select-all")
        return GetRowCount() > 0 ? kCXOK : kCommandUnavailable;
    return UICustomControl::HandleMessage(message);
}

// --- Focus ---

void UITreeView::FocusLost()
{
    UICustomControl::FocusLost();
    if (FirstSelectedRow() >= 0)
        Redraw();
    CancelPendingClick();
    DeferCloseEditor(false, false, true);
}

void UITreeView::GotKeyboardFocus()
{
    UICustomControl::GotKeyboardFocus();
    if (FirstSelectedRow() >= 0)
        Redraw();
}

// --- Keys ---

bool UITreeView::HandleText(const char16_t* text, int32_t byteLength, int32_t modifiers)
{
    const char32_t code = DecodeCharacter(text, byteLength);
    if (code == 0)
        return false;
    CancelPendingClick();
    if (code == kReturn)
        return false;
    if (code < 32 || code == kDelete) {
        fTypedText.clear();
        HandleNavigation(static_cast<int32_t>(code), modifiers);
        return true;
    }
    TypeAhead(code, modifiers);
    return true;
}

void UITreeView::HandleNavigation(int32_t code, int32_t modifiers)
{
    const bool extend = fMultipleSelection != 0 && (modifiers & kModifierShift) != 0;
    const int32_t count = GetRowCount();
    const int32_t firstSelected = FirstSelectedRow();
    const int32_t lastSelected = LastSelectedRow();
    switch (code) {
    case kBackspace:
    case kDelete:
        (void)HandleMessage(CXMessage("delete-selected", this));
        return;
    case kHome:
        if (count > 0)
            MoveSelectionTo(0, extend, firstSelected);
        return;
    case kEnd:
        if (count > 0)
            MoveSelectionTo(count - 1, extend, lastSelected);
        return;
    case kUp: {
        const int32_t target = firstSelected < 0 ? NearestSelectable(count - 1, -1)
                                                 : NearestSelectable(firstSelected - 1, -1);
        if (target >= 0)
            MoveSelectionTo(target, extend, firstSelected);
        return;
    }
    case kDown: {
        const int32_t target = NearestSelectable(lastSelected < 0 ? 0 : lastSelected + 1, 1);
        if (target >= 0)
            MoveSelectionTo(target, extend, lastSelected);
        return;
    }
    case kPageUp: {
        if (count == 0)
            return;
        int32_t target = FirstFullyVisibleRow();
        if (firstSelected >= 0 && firstSelected <= target)
            target = firstSelected - PageSize();
        target = std::clamp(target, 0, count - 1);
        MoveSelectionTo(target, extend, firstSelected >= 0 ? firstSelected - 1 : -1);
        return;
    }
    case kPageDown: {
        if (count == 0)
            return;
        int32_t target = LastFullyVisibleRow();
        if (lastSelected >= 0 && lastSelected >= target)
            target = lastSelected + PageSize();
        target = std::clamp(target, 0, count - 1);
        MoveSelectionTo(target, extend, lastSelected >= 0 ? lastSelected + 1 : -1);
        return;
    }
    case kLeft:
        CloseOrGoToParent();
        return;
    case kRight:
        OpenSelected();
        return;
    default:
        return;
    }
}

void UITreeView::MoveSelectionTo(int32_t target, bool extend, int32_t extendFrom)
{
    Batch batch(*this);
    if (extend && InRange(extendFrom)) {
        SelectRange(extendFrom, target);
    } else {
        DeselectAll();
        SelectRow(target, true);
    }
    fAnchor = target;
    ScrollRowIntoView(target);
}

int32_t UITreeView::NearestSelectable(int32_t from, int32_t step)
{
    for (int32_t row = from; InRange(row); row += step) {
        if (IsRowSelectable(row))
            return row;
    }
    return -1;
}

void UITreeView::CloseOrGoToParent()
{
    Batch batch(*this);
    bool closed = false;
    // From the end, so closing a row never moves the rows still to visit.
    for (int32_t row = GetRowCount() - 1; row >= 0; --row) {
        if (IsRowSelected(row) && IsRowOpen(row) && fRows[static_cast<size_t>(row)].canOpen != 0) {
            SetRowOpen(row, false);
            closed = true;
        }
    }
    if (closed)
        return;
    const int32_t top = FirstSelectedRow();
    if (top < 0)
        return;
    int32_t parent = top - 1;
    while (parent >= 0 && GetRowLevel(parent) >= GetRowLevel(top))
        --parent;
    if (parent < 0)
        return;
    for (int32_t row = 0; row < parent; ++row) {
        if (IsRowSelected(row))
            return;
    }
    DeselectAll();
    SelectRow(parent, true);
    fAnchor = parent;
    ScrollRowIntoView(parent);
}

void UITreeView::OpenSelected()
{
    Batch batch(*this);
    for (int32_t row = GetRowCount() - 1; row >= 0; --row) {
        if (IsRowSelected(row) && !IsRowOpen(row))
            SetRowOpen(row, true);
    }
}

int32_t UITreeView::FirstFullyVisibleRow() const
{
    Box2i visible = GetBounds();
    if (!GetVisibleBox(visible))
        return 0;
    int32_t row = std::max(RowAtY(visible.top), 0);
    if (RowTop(row) < visible.top)
        ++row;
    return row;
}

int32_t UITreeView::LastFullyVisibleRow() const
{
    Box2i visible = GetBounds();
    if (!GetVisibleBox(visible))
        return GetRowCount() - 1;
    int32_t row = RowAtY(visible.bottom - 1);
    const int32_t height = InRange(row) ? RowHeight(row) : fDefaultRowHeight;
    if (RowTop(row) + height > visible.bottom)
        --row;
    return row;
}

int32_t UITreeView::PageSize() const
{
    return std::max(LastFullyVisibleRow() - FirstFullyVisibleRow() + 1, 1);
}

// --- Type-ahead ---

void UITreeView::TypeAhead(char32_t character, int32_t modifiers)
{
    if ((modifiers & (kModifierAlt | kModifierControl | kModifierCommand)) != 0) {
        fTypedText.clear();
        return;
    }
    const int64_t now = CXTime::GetPerformanceMilliseconds();
    if (!fTypedAnything || now - fLastTypedTime > kTypeAheadPause)
        fTypedText.clear();
    fTypedAnything = true;
    fLastTypedTime = now;
    AppendUtf8(fTypedText, character);
    fTypedText = NormaliseTypedText(fTypedText);
    SelectByTypedText(fTypedText);
}

std::string UITreeView::NormaliseTypedText(const std::string& text)
{
    const char* kBlank = "\t\n\r ";
    const size_t begin = text.find_first_not_of(kBlank);
    if (begin == std::string::npos)
        return {};
    std::string trimmed = text.substr(begin, text.find_last_not_of(kBlank) - begin + 1);
    for (char& c : trimmed) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return trimmed;
}

void UITreeView::SelectByTypedText(const std::string& text)
{
    int32_t best = -1;
    int32_t bestScore = 0;
    for (int32_t row = 0; row < GetRowCount(); ++row) {
        const int32_t score = MatchScore(row, text);
        if (score > bestScore) {
            best = row;
            bestScore = score;
        }
    }
    if (best < 0)
        return;
    Batch batch(*this);
    DeselectAll();
    SelectRow(best, true);
    ScrollRowIntoView(best);
}

// --- Mouse ---

bool UITreeView::HandleMouse(Vector2i point, int32_t modifiers, int32_t phase)
{
    const bool press = phase == kMousePress || phase == kMouseDoubleClick;
    if (press) {
        if (fEditor != nullptr)
            DeferCloseEditor(false, false, false);
        fPress.point = point;
        fPress.scrollY = ConvertPointToAncestor(point, nullptr).y;
        fPress.used = false;
        fPress.dragScrolling = false;
    }
    CXSafePointer<UIElement> alive(this);
    HandleGestureMouse(point, phase);
    if (!alive)
        return true;
    if (fScrollByDragging != 0 && !DragScroll(point, phase))
        return true;
    if (press) {
        PressRow(point, modifiers, phase);
        return true;
    }
    switch (phase) {
    case kMouseRelease:
        ReleaseRow(point, modifiers);
        break;
    case kMouseDrag:
        MaybeStartDrag(point);
        break;
    case kMouseCancel:
        if (fScrollByDragging != 0 && fPress.part == kPartTitle && InRange(fPress.row))
            SelectRow(fPress.row, fPress.rowWasSelected);
        break;
    default:
        return phase != kMouseHover;
    }
    return true;
}

bool UITreeView::DragScroll(Vector2i point, int32_t& phase)
{
    const int32_t y = ConvertPointToAncestor(point, nullptr).y;
    if (phase == kMouseDrag && fPress.dragScrolling) {
        UIScrollWheelEvent wheel;
        wheel.point = point;
        wheel.pixelStep = {0, y - fPress.scrollY};
        fPress.scrollY = y;
        if (wheel.pixelStep.y != 0)
            HandleScrollWheel(wheel);
        return false;
    }
    if (phase == kMouseDrag && std::abs(point.y - fPress.point.y) > 8) {
        fPress.dragScrolling = true;
        fPress.scrollY = y;
        ResetGesture();
        phase = kMouseCancel;
        return true;
    }
    if ((phase == kMouseRelease || phase == kMouseCancel) && fPress.dragScrolling) {
        fPress.dragScrolling = false;
        return false;
    }
    return true;
}

void UITreeView::PressRow(Vector2i point, int32_t modifiers, int32_t phase)
{
    int32_t row = RowAtY(point.y);
    if (!InRange(row))
        row = -1;
    const int32_t part = HitTestPart(point, row);
    fPress.row = row;
    fPress.part = part;
    fPress.rowWasSelected = IsRowSelected(row);
    fPress.doubleClick = phase == kMouseDoubleClick;
    fPress.customRow = part >= kFirstCustomPart ? row : -1;
    // A single press on the title of a row already selected alone may begin editing it.
    const bool plain = (modifiers & (kModifierShift | kModifierControl)) == 0;
    if (phase == kMousePress && part == kPartTitle && fPress.rowWasSelected && plain) {
        fEditRow = row;
        fEditPart = part;
    } else if (phase == kMousePress) {
        fEditRow = -1;
        fEditPart = -1;
    }
    if (part >= kFirstCustomPart) {
        CXSafePointer<UIElement> alive(this);
        if (PartMouse(row, point, modifiers, phase) || !alive)
            return;
    }
    if (part == kPartOpener) {
        SetRowOpen(row, !IsRowOpen(row));
        fPress.used = true;
        return;
    }
    if (phase != kMousePress)
        return;
    const int32_t clicked = part == -1 ? -1 : row;
    if (clicked == -1 || IsRowSelectable(clicked))
        ClickRow(clicked, modifiers);
}

void UITreeView::ReleaseRow(Vector2i point, int32_t modifiers)
{
    if (fMultipleSelection == 0 || fPress.used || (modifiers & (kModifierShift | kModifierControl)) != 0)
        return;
    const int32_t row = RowAtY(point.y);
    if (!InRange(row) || !IsRowSelected(row) || fPress.part == -1)
        return;
    Batch batch(*this);
    DeselectAll();
    SelectRow(row, true);
}

Box2i UITreeView::SelectedDragImage()
{
    Box2i image{0, 0, 0, 0, true};
    for (int32_t row = 0; row < GetRowCount(); ++row) {
        if (!IsRowSelected(row))
            continue;
        const Box2i band = RowBand(row);
        if (band.top >= GetHeight() || band.bottom <= 0)
            continue;
        if (fFullRow != 0) {
            image = Union(image, {1, band.top, GetWidth() - 1, band.bottom, false});
        } else {
            const Box2i title = GetPartRect(row, kPartTitle);
            const int32_t indent = fRows[static_cast<size_t>(row)].level * kIndent;
            image = Union(image, {indent, band.top + 1, indent + (title.right - title.left), band.bottom - 1, false});
        }
    }
    return image;
}

void UITreeView::MaybeStartDrag(Vector2i point)
{
    if (fPress.used || !IsRowSelected(fPress.row) || !IsFarMove(fPress.point, point))
        return;
    CXOSSoupDrag data(nullptr);
    CXSafePointer<UIElement> alive(this);
    if (!FillDragData(data) || !alive)
        return;
    fPress.used = true;
    PerformDrag(data, SelectedDragImage());
}

bool UITreeView::HandleContextClick(Vector2i point, Vector2i screenPoint)
{
    CancelPendingClick();
    const int32_t row = RowAtY(point.y);
    if (!InRange(row)) {
        DeselectAll();
        fAnchor = -1;
        ShowContextMenuForRow(-1, screenPoint);
        return true;
    }
    if (!IsRowSelected(row)) {
        Batch batch(*this);
        DeselectAll();
        SelectRow(row, true);
        fAnchor = row;
    }
    ShowContextMenuForRow(row, screenPoint);
    return true;
}
