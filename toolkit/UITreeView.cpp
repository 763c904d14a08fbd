// The tree view's rows: batching and notification, geometry, opening and closing, drawing with
// row elements, the context menu and the in-place editor.

#include "toolkit/UITreeView.h"

#include "foundation/CXDebug.h"
#include "foundation/CXSafePointer.h"
#include "foundation/CXThread.h"
#include "foundation/CXTime.h"
#include "foundation/CXWorkerHost.h"
#include "toolkit/CXMenu.h"
#include "toolkit/RazaGraf.h"
#include "toolkit/UIAppearance.h"
#include "toolkit/UIEditTextControl.h"
#include "toolkit/UIUserActionEvent.h"

#include <algorithm>

namespace {

// Appearance colours of the rows.
constexpr RazaColorEnum kSelectedTextFullRow = 2;
constexpr RazaColorEnum kOddRow = 4;
constexpr RazaColorEnum kEvenRow = 5;
constexpr RazaColorEnum kSelectedActive = 6;
constexpr RazaColorEnum kSelectedInactive = 7;
constexpr RazaColorEnum kSelectedText = 9;

const CXColor kWhite{1.0f, 1.0f, 1.0f, 1.0f};

int32_t ClampToInt32(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

} // namespace

void UIElementDestroyer::operator()(UIElement* element) const
{
    if (element != nullptr)
        element->Destroy();
}

UITreeView::UITreeView()
{
    SetClickCallback([this] { BeginEditingRememberedRow(); });
}

UITreeView::~UITreeView() = default;

bool UITreeView::CheckThread(const char* what)
{
    if (CXThread::IsMainThread())
        return true;
    CXDebugLog("UITreeView::%s> not in cooperative thread", what);
    return false;
}

// --- Batches ---

void UITreeView::EndChanges()
{
    if (fBatchDepth <= 0 || --fBatchDepth > 0)
        return;
    if (fDirtyFirst < fDirtyLast) {
        const int32_t first = fDirtyFirst;
        const int32_t last = fDirtyLast;
        fDirtyFirst = INT32_MAX;
        fDirtyLast = 0;
        InvalidateRows(first, last);
    }
    const uint32_t flags = fPendingFlags;
    if (flags == 0)
        return;
    fPendingFlags = 0;
    if ((flags & kChangedRowElements) != 0)
        PlaceRowElements();
    if ((flags & kChangedRows) != 0)
        PlaceTrailer();
    CXMessage updated("tree-view-updated", this);
    updated.SetInteger(static_cast<int32_t>(flags));
    (void)HandleMessage(updated);
}

void UITreeView::InvalidateRows(int32_t first, int32_t last)
{
    first = std::max(first, 0);
    if (last <= first)
        return;
    if (fBatchDepth > 0) {
        fDirtyFirst = std::min(fDirtyFirst, first);
        fDirtyLast = std::max(fDirtyLast, last);
        return;
    }
    // Rows below may have moved up or gone: the area down to the view's bottom goes too.
    const int32_t bottom = last >= GetRowCount() ? std::max(TotalRowHeight(), GetHeight()) : RowTop(last);
    InvalidateBox({0, RowTop(first), GetWidth(), bottom, false});
    PlaceRowElements();
}

// --- Rows ---

const UITreeViewRow* UITreeView::GetRow(int32_t row) const
{
    return InRange(row) ? &fRows[static_cast<size_t>(row)] : nullptr;
}

bool UITreeView::IsRowSelected(int32_t row) const
{
    return InRange(row) && fRows[static_cast<size_t>(row)].selected != 0;
}

bool UITreeView::IsRowOpen(int32_t row) const
{
    return InRange(row) && fRows[static_cast<size_t>(row)].open != 0;
}

int32_t UITreeView::GetRowLevel(int32_t row) const
{
    return InRange(row) ? fRows[static_cast<size_t>(row)].level : -1;
}

int32_t UITreeView::InsertRow(int32_t index, int32_t level, const CXString& title, bool canOpen)
{
    index = std::clamp(index, 0, GetRowCount());
    Batch batch(*this);
    UITreeViewRow record;
    record.level = level;
    record.title = title;
    record.canOpen = canOpen ? 1 : 0;
    fRows.insert(fRows.begin() + index, std::move(record));
    InvalidateRows(index, GetRowCount());
    fPendingFlags |= kChangedRows | kChangedRowElements;
    return index;
}

void UITreeView::RemoveRowRecord(int32_t row)
{
    InvalidateRows(row, GetRowCount());
    fRows[static_cast<size_t>(row)].rowElement.reset();
    RowRemoved(row);
    // The hook may have changed the rows.
    if (InRange(row))
        fRows.erase(fRows.begin() + row);
}

void UITreeView::RemoveRow(int32_t row)
{
    (void)CheckThread("RemoveRow");
    if (!InRange(row))
        return;
    Batch batch(*this);
    RemoveRowRecord(row);
    fPendingFlags |= kChangedRows | kChangedRowElements;
}

void UITreeView::Clear()
{
    (void)CheckThread("Clear");
    if (fEditor != nullptr)
        InternalCloseEditControl(fEditor, false, false);
    Batch batch(*this);
    for (int32_t row = GetRowCount() - 1; row >= 0; --row) {
        if (InRange(row))
            RemoveRowRecord(row);
    }
    fPendingFlags |= kChangedRows;
}

void UITreeView::SetRowOpen(int32_t row, bool open)
{
    (void)CheckThread("SetRowOpen");
    if (!InRange(row))
        return;
    UITreeViewRow& record = fRows[static_cast<size_t>(row)];
    if (record.canOpen == 0 || (record.open != 0) == open)
        return;
    Batch batch(*this);
    record.open = open ? 1 : 0;
    InvalidateRows(row, row + 1);
    if (open)
        RowOpened(row);
    else
        RowClosed(row);
}

void UITreeView::RowClosed(int32_t row)
{
    const int32_t level = GetRowLevel(row);
    Batch batch(*this);
    while (InRange(row + 1) && fRows[static_cast<size_t>(row + 1)].level > level)
        RemoveRow(row + 1);
    InvalidateRows(row, GetRowCount());
}

void UITreeView::RowOpened(int32_t) {}
void UITreeView::RowRemoved(int32_t) {}
bool UITreeView::FillDragData(CXOSSoupDrag&) { return false; }
bool UITreeView::AcceptsDropOnRow(int32_t, CXOSSoupDrag*) { return false; }
void UITreeView::PerformDrag(CXOSSoupDrag&, const Box2i&) {}
void UITreeView::BeginEditHook(int32_t, int32_t) {}
void UITreeView::EditRefused(int32_t) {}
int32_t UITreeView::MatchScore(int32_t, const std::string&) { return 0; }
bool UITreeView::PartMouse(int32_t, Vector2i, int32_t, int32_t) { return false; }
UIElement* UITreeView::CreateEditControl(int32_t, int32_t) { return nullptr; }
void UITreeView::SubmitPartEdits(int32_t, int32_t, UIElement*) {}
bool UITreeView::HasPart(int32_t) { return false; }
UIElement* UITreeView::CreateRowElement(int32_t) { return nullptr; }

// --- Geometry ---

int32_t UITreeView::RowHeight(int32_t) const
{
    return fDefaultRowHeight;
}

int32_t UITreeView::RowTop(int32_t row) const
{
    int64_t top = 0;
    const int32_t count = GetRowCount();
    for (int32_t i = 0; i < std::min(row, count); ++i)
        top += RowHeight(i);
    if (row > count)
        top += int64_t{row - count} * fDefaultRowHeight;
    return ClampToInt32(top);
}

int32_t UITreeView::TotalRowHeight() const
{
    return RowTop(GetRowCount());
}

int32_t UITreeView::GetRowExtent() const
{
    return TotalRowHeight();
}

int32_t UITreeView::RowAtY(int32_t y) const
{
    if (y < 0)
        return -1;
    int64_t top = 0;
    const int32_t count = GetRowCount();
    for (int32_t row = 0; row < count; ++row) {
        top += RowHeight(row);
        if (y < top)
            return row;
    }
    // Rows of height 0 below the last one would all sit at the same place.
    if (fDefaultRowHeight <= 0)
        return count;
    return ClampToInt32(count + (y - top) / fDefaultRowHeight);
}

Box2i UITreeView::RowBand(int32_t row) const
{
    const int32_t top = RowTop(row);
    return {0, top, GetWidth(), top + (InRange(row) ? RowHeight(row) : fDefaultRowHeight), false};
}

Box2i UITreeView::GetBounds() const
{
    int64_t height = TotalRowHeight();
    if (fTrailer != nullptr)
        height += fDefaultRowHeight;
    return {0, 0, GetWidth(), ClampToInt32(height), false};
}

void UITreeView::ScrollRowIntoView(int32_t row)
{
    if (!InRange(row))
        return;
    const Box2i band = RowBand(row);
    const Box2i frame = GetFrame();
    ScrollBoxIntoView(band.Offset({frame.left, frame.top}));
}

void UITreeView::LayoutChildren()
{
    UICustomControl::LayoutChildren();
    PlaceTrailer();
    PlaceRowElements();
}

void UITreeView::PlaceTrailer()
{
    if (fTrailer == nullptr)
        return;
    const Box2i slot = RowBand(GetRowCount());
    fTrailer->SetLayout(slot.left, slot.top, slot.right, slot.bottom, 0, 0);
}

void UITreeView::PlaceRowElements()
{
    for (int32_t row = 0; row < GetRowCount(); ++row) {
        UIElement* element = fRows[static_cast<size_t>(row)].rowElement.get();
        if (element == nullptr || element->GetParent() != this)
            continue;
        const Box2i band = RowBand(row);
        if (element->GetFrame() != band)
            element->SetLayout(band.left, band.top, band.right, band.bottom, 0, 0);
    }
}

void UITreeView::HandleScrollWheel(const UIScrollWheelEvent& event)
{
    UIScrollWheelEvent pixels = event;
    pixels.pixelStep.x += event.lineStep.x;
    pixels.pixelStep.y += ClampToInt32(int64_t{event.lineStep.y} * fDefaultRowHeight);
    pixels.lineStep = {0, 0};
    UICustomControl::HandleScrollWheel(pixels);
}

// --- Drawing ---

void UITreeView::Draw(RazaGraf& graf)
{
    (void)CheckThread("Draw");
    const Box2i content{contentOrigin.x, contentOrigin.y, contentOrigin.x + GetWidth(), contentOrigin.y + GetHeight(),
                        false};
    graf.FillBox(content, GetAppearance()->GetColor());
    const Box2i clip = graf.VisibleBox(content);
    if (clip.IsEmpty())
        return;
    const int32_t first = std::max(RowAtY(clip.top), 0);
    const int32_t last = RowAtY(clip.bottom - 1);
    const int64_t now = CXTime::GetPerformanceMilliseconds();
    CXSafePointer<UIElement> alive(this);
    int32_t nextTop = RowTop(first);
    for (int32_t row = first; row <= std::min(last, GetRowCount() - 1); ++row) {
        const int32_t height = RowHeight(row);
        const int32_t top = nextTop;
        nextTop = ClampToInt32(int64_t{top} + height);
        if (height <= 0)
            continue;
        UITreeViewRow* record = &fRows[static_cast<size_t>(row)];
        if (record->rowElement == nullptr) {
            UIElement* made = CreateRowElement(row);
            if (!alive || !InRange(row))
                return;
            record = &fRows[static_cast<size_t>(row)];
            record->rowElement.reset(made);
        }
        if (UIElement* element = record->rowElement.get()) {
            fHasRowElements = 1;
            const Box2i band{0, top, GetWidth(), top + height, false};
            if (element->GetFrame() != band)
                element->SetLayout(band.left, band.top, band.right, band.bottom, 0, 0);
            if (!element->IsInitialised())
                element->Init();
            if (element->GetParent() == nullptr)
                (void)AddChild(element, nullptr);
            record->lastShown = now;
            DrawRowBackground(graf, row, top, top + height, record->selected != 0);
            continue;
        }
        DrawRow(graf, row, record->level * kIndent + 2, top, top + height, record->selected != 0);
    }
    if (fDefaultRowHeight > 0 && last >= GetRowCount()) {
        const int32_t below = std::max(first, GetRowCount());
        int32_t top = RowTop(below);
        for (int32_t row = below; row <= last; ++row, top += fDefaultRowHeight)
            DrawRowBackground(graf, row, top, top + fDefaultRowHeight, false);
    }
    ExpireRowElements(first, last, now);
    PlaceRowElements();
    DrawWindowlessChildren(graf);
}

void UITreeView::ExpireRowElements(int32_t first, int32_t last, int64_t now)
{
    if (fHasRowElements == 0)
        return;
    for (int32_t row = 0; row < GetRowCount(); ++row) {
        if (row >= first && row <= last)
            continue;
        UITreeViewRow& record = fRows[static_cast<size_t>(row)];
        UIElement* element = record.rowElement.get();
        if (element == nullptr || element->HasFocus())
            continue;
        if (now - record.lastShown >= kRowElementLifetime)
            record.rowElement.reset();
        else if (element->GetParent() != nullptr)
            element->RemoveFromParent();
    }
}

void UITreeView::DrawRowBackground(RazaGraf& graf, int32_t row, int32_t top, int32_t bottom, bool selected)
{
    if (selected && fFullRow != 0) {
        const bool active = HasKeyboardFocus() || (fEditor != nullptr && fEditor->HasFocus());
        const CXColor fill = graf.GetColor(active ? kSelectedActive : kSelectedInactive);
        graf.FillBox({0, top, GetWidth(), bottom - 1, false}, fill);
        graf.DrawLine({0, bottom - 1}, {GetWidth(), bottom - 1}, kWhite);
        return;
    }
    graf.FillBox({0, top, GetWidth(), bottom, false}, graf.GetColor(row % 2 == 0 ? kEvenRow : kOddRow));
}

void UITreeView::DrawRow(RazaGraf& graf, int32_t row, int32_t x, int32_t top, int32_t bottom, bool selected)
{
    DrawRowBackground(graf, row, top, bottom, selected);
    const UITreeViewRow& record = fRows[static_cast<size_t>(row)];
    fFont.SetColor(record.color);
    if (selected) {
        if (fFullRow != 0) {
            fFont.SetColor(graf.GetColor(kSelectedTextFullRow));
        } else {
            const int32_t width = ClampToInt32(static_cast<int64_t>(fFont.MeasureWidth(record.title)));
            graf.FillHighlightBox({x - 2, top + 1, x + width + 2, bottom - 1, false});
            fFont.SetColor(graf.GetColor(kSelectedText));
        }
    }
    graf.DrawString(x, bottom - 3, record.title, fFont);
}

Box2i UITreeView::GetPartRect(int32_t row, int32_t part)
{
    if (!InRange(row) || part != kPartTitle)
        return {0, 0, 0, 0, true};
    const UITreeViewRow& record = fRows[static_cast<size_t>(row)];
    const Box2i band = RowBand(row);
    const int32_t indent = record.level * kIndent;
    const int32_t width = ClampToInt32(static_cast<int64_t>(fFont.MeasureWidth(record.title)));
    return {indent - 2, band.top + 1, indent + 2 + width, band.bottom - 1, false};
}

int32_t UITreeView::HitTestPart(Vector2i point, int32_t row)
{
    if (!InRange(row))
        return -1;
    for (int32_t part = 0; part <= 3 || HasPart(part); ++part) {
        const Box2i box = GetPartRect(row, part);
        if (!box.IsEmpty() && point.x >= box.left && point.x < box.right && point.y >= box.top && point.y < box.bottom)
            return part;
    }
    return fFullRow != 0 ? kPartTitle : -1;
}

// --- Context menu ---

void UITreeView::ShowContextMenu(Vector2i screenPoint, int32_t row)
{
    CXMenu menu(this);
    CXSafePointer<UIElement> alive(this);
    (void)HandleMessage(UITreeViewMenuMessage(this, &menu, row));
    if (!alive)
        return;
    menu.SetHierarchical();
    (void)menu.TrackAsContextualMenu(screenPoint);
}

void UITreeView::ShowContextMenuForRow(int32_t row, Vector2i screenPoint)
{
    ShowContextMenu(screenPoint, row);
}

// --- Editing ---

void UITreeView::OpenEditControl(int32_t row, int32_t part)
{
    if (fEditor != nullptr || !InRange(row) || part == -1)
        return;
    fEditorRow = row;
    fEditorPart = part;
    fEditRow = row;
    fEditPart = part;
    BeginEditHook(row, part);
    UIElement* editor = CreateEditControl(row, part);
    if (editor == nullptr) {
        fEditorRow = -1;
        fEditorPart = -1;
        EditRefused(row);
        return;
    }
    fEditor = editor;
    if (!editor->IsInitialised())
        editor->Init();
    (void)AddChild(editor, nullptr);
    WatchEditor(editor);
    editor->SetFocus();
    const Box2i frame = GetFrame();
    ScrollBoxIntoView(editor->GetFrame().Offset({frame.left, frame.top}));
}

void UITreeView::BeginEditingRememberedRow()
{
    if (fEditRow < 0 || fEditPart < 0)
        return;
    OpenEditControl(fEditRow, fEditPart);
}

void UITreeView::WatchEditor(UIElement* editor)
{
    auto* field = dynamic_cast<UIEditTextControl*>(editor);
    if (field == nullptr)
        return;
    field->AddMessageHandler([this, field](const CXMessage& message) -> CXResultCode {
        if (message.GetSource() != field || fEditor != field)
            return kCXNotSupported;
        const CXString& name = message.GetName();
        if (name == "UIEditTextControl::text-changed") {
            const Box2i frame = field->GetFrame();
            RazaFont font = fFont;
            const int64_t textWidth = static_cast<int64_t>(font.MeasureWidth(field->GetText()));
            const int64_t room = std::max<int64_t>(int64_t{GetWidth()} - 20, 5);
            const int32_t width = ClampToInt32(std::min(std::max<int64_t>(textWidth, 5), room) + 13);
            field->SetLayout(frame.left, frame.top, frame.left + width, frame.top + std::max(frame.Height(), 21), 0, 0);
        } else if (name == "UIEditTextControl::enter") {
            SetFocus();
            DeferCloseEditor(false, false, false);
        } else if (name == "UIEditTextControl::escape-key") {
            DeferCloseEditor(false, true, false);
        }
        return kCXNotSupported;
    });
}

void UITreeView::DeferCloseEditor(bool forgetEditRow, bool discard, bool keepWhileFocused)
{
    if (fEditor == nullptr)
        return;
    CXSafePointer<UIElement> view(this);
    CXSafePointer<UIElement> editor(fEditor);
    ++fEditorJobs;
    CXWorkerHost::GetSingleton()->PostMainThreadJob(this, [view, editor, forgetEditRow, discard, keepWhileFocused] {
        auto* tree = dynamic_cast<UITreeView*>(view.get());
        if (tree == nullptr)
            return;
        --tree->fEditorJobs;
        UIElement* field = editor.get();
        if (field == nullptr)
            return;
        // The focus went to the editor itself, or came back to it meanwhile.
        if (keepWhileFocused && field->HasFocus())
            return;
        tree->InternalCloseEditControl(field, forgetEditRow, discard);
    });
}

void UITreeView::InternalCloseEditControl(UIElement* editor, bool forgetEditRow, bool discard)
{
    if (editor == nullptr || editor != fEditor)
        return;
    if (!discard) {
        CXSafePointer<UIElement> alive(this);
        SubmitPartEdits(fEditorRow, fEditorPart, editor);
        if (!alive)
            return;
        if (fEditor != editor) {
            CXDebugLog("UITreeView::InternalCloseEditControl> edit control was changed inside SubmitPartEdits()");
            return;
        }
    }
    const bool hadFocus = editor->HasFocus();
    fEditor = nullptr;
    fEditorRow = -1;
    fEditorPart = -1;
    editor->Destroy();
    if (hadFocus)
        SetFocus();
    if (forgetEditRow)
        fEditRow = -1;
    Redraw();
}

// --- Life ---

void UITreeView::Destroy()
{
    if (fEditor != nullptr)
        InternalCloseEditControl(fEditor, true, false);
    Clear();
    fDirtyFirst = INT32_MAX;
    fDirtyLast = 0;
    fPendingFlags = 0;
    // Only a view that posted jobs touches the worker host, so one that never edited makes none.
    if (fEditorJobs > 0)
        CXWorkerHost::GetSingleton()->WaitForJobs(this);
    ResetGesture();
    fFont.ReleaseHandles();
    UICustomControl::Destroy();
}
