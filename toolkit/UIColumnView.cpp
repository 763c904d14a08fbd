// The column header: columns laid out from the scroll position, the press-drag-release that
// resizes, moves, sorts and clicks icons, the context menu, drawing and the saved layout.

#include "toolkit/UIColumnView.h"

#include "datanode/CXMessageDNValueParam.h"
#include "datanode/DNMemoryValue.h"
#include "foundation/CXPath.h"
#include "foundation/CXSafePointer.h"
#include "toolkit/CXMenu.h"
#include "toolkit/RazaGraf.h"
#include "toolkit/RazaRegion.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

// Pixels either side of a right border that start a resize.
constexpr int32_t kResizeZone = 3;
// How far the pointer moves before a press becomes a drag.
constexpr int32_t kDragThreshold = 3;
constexpr int32_t kTitleInset = 8;
constexpr int32_t kIconSize = 16;
constexpr int32_t kIconGap = 8;
// Each icon takes the gap before it and its picture.
constexpr int32_t kIconStep = kIconGap + kIconSize;

constexpr uint32_t kIconFlags[] = {UIColumnViewColumn::kIconZoomIn, UIColumnViewColumn::kIconZoomOut,
                                   UIColumnViewColumn::kIconMoreLeft, UIColumnViewColumn::kIconMoreRight};
constexpr const char* kIconFiles[] = {"zoom-in-icon.bmp", "zoom-out-icon.bmp", "more-on-left.bmp",
                                      "more-on-right.bmp"};

constexpr const char* kPositionChange = "UIColumnView-column-position-change";
constexpr const char* kSortOrderChange = "UIColumnView-sort-order-change";
constexpr const char* kIconClick = "UIColumnView-icon-click";
constexpr const char* kInsertMenu = "menu-insert-column";
constexpr const char* kRemoveCommand = "contextual-menu-remove-column";

const CXColor kSeparatorColor{0.7f, 0.7f, 0.7f, 1.0f};
const CXColor kBottomLineColor{0.8f, 0.8f, 0.8f, 1.0f};
const CXColor kIconColor{1.0f, 1.0f, 1.0f, 1.0f};

int32_t ClampToInt32(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

} // namespace

UIColumnView::UIColumnView() = default;

UIColumnView::~UIColumnView()
{
    SaveColumnSettings();
    for (CXAutoReference<UIBitmap>& icon : fIcons)
        icon.Clear();
    fAxis.DetachClient();
}

// --- Columns ---

int32_t UIColumnView::AddColumn(const UIColumnViewColumn& column)
{
    UIColumnViewColumn added = column;
    added.minWidth = std::max(added.minWidth, 0);
    added.maxWidth = std::max(added.maxWidth, added.minWidth);
    added.width = std::clamp(added.width, added.minWidth, added.maxWidth);
    if (added.isSortKey != 0) {
        for (UIColumnViewColumn& other : fColumns)
            other.isSortKey = 0;
    }
    fColumns.push_back(added);
    fAxis.Recompute();
    InvalidateAll();
    return static_cast<int32_t>(fColumns.size()) - 1;
}

const UIColumnViewColumn* UIColumnView::GetColumn(int32_t index) const
{
    if (index < 0 || index >= GetColumnCount())
        return nullptr;
    return &fColumns[static_cast<size_t>(index)];
}

void UIColumnView::ShowColumn(int32_t index)
{
    if (index < 0 || index >= GetColumnCount() || fColumns[static_cast<size_t>(index)].isVisible != 0)
        return;
    fColumns[static_cast<size_t>(index)].isVisible = 1;
    fAxis.Recompute();
    LayoutChanged(kPositionChange);
}

void UIColumnView::HideColumn(int32_t index)
{
    if (index < 0 || index >= GetColumnCount() || fColumns[static_cast<size_t>(index)].removable == 0)
        return;
    fColumns[static_cast<size_t>(index)].isVisible = 0;
    fAxis.Recompute();
    LayoutChanged(kPositionChange);
}

int64_t UIColumnView::TotalWidth() const
{
    int64_t total = 0;
    for (const UIColumnViewColumn& column : fColumns) {
        if (column.isVisible != 0)
            total += column.width;
    }
    return total;
}

void UIColumnView::LayoutChanged(const char* message)
{
    InvalidateAll();
    fChanged = true;
    (void)HandleMessage(CXMessage(message, this));
}

// --- Geometry ---

int64_t UIColumnView::FirstLeft() const
{
    const double position = fAxis.GetPosition();
    return -static_cast<int64_t>(std::clamp(std::floor(position), -1e15, 1e15));
}

int32_t UIColumnView::ColumnAt(int32_t x, bool* inResizeZone) const
{
    if (inResizeZone != nullptr)
        *inResizeZone = false;
    int64_t left = FirstLeft();
    for (size_t i = 0; i < fColumns.size(); ++i) {
        const UIColumnViewColumn& column = fColumns[i];
        if (column.isVisible == 0)
            continue;
        const int64_t right = left + column.width;
        if (left <= x && x <= right + kResizeZone) {
            if (inResizeZone != nullptr)
                *inResizeZone = x > right - kResizeZone;
            return static_cast<int32_t>(i);
        }
        left = right;
    }
    return -1;
}

Box2i UIColumnView::CellOf(int32_t index) const
{
    int64_t left = FirstLeft();
    for (size_t i = 0; i < fColumns.size(); ++i) {
        const UIColumnViewColumn& column = fColumns[i];
        if (column.isVisible == 0)
            continue;
        if (static_cast<int32_t>(i) == index)
            return {ClampToInt32(left), 0, ClampToInt32(left + column.width), GetHeight(), false};
        left += column.width;
    }
    return {0, 0, 0, 0, true};
}

UIColumnView::ColumnGeometry UIColumnView::MeasureColumn(const UIColumnViewColumn& column, const Box2i& cell)
{
    ColumnGeometry geometry;
    int32_t iconCount = 0;
    for (uint32_t flag : kIconFlags)
        iconCount += (column.iconFlags & flag) != 0 ? 1 : 0;
    // Signed: a column too narrow for its icons leaves the title a negative width.
    geometry.titleWidth = ClampToInt32(static_cast<int64_t>(cell.Width()) - kTitleInset - int64_t{kIconStep} * iconCount);
    geometry.title = fTitleFont.Truncate(column.title, geometry.titleWidth);
    const int64_t titleEnd = int64_t{cell.left} + kTitleInset +
                             static_cast<int64_t>(fTitleFont.MeasureWidth(geometry.title));
    const int32_t top = (cell.Height() - kIconSize) / 2;
    int64_t x = titleEnd + kIconGap;
    for (uint32_t flag : kIconFlags) {
        if ((column.iconFlags & flag) == 0)
            continue;
        geometry.icons.push_back({flag, {ClampToInt32(x), top, ClampToInt32(x + kIconSize), top + kIconSize, false}});
        x += kIconStep;
    }
    return geometry;
}

uint32_t UIColumnView::IconAt(int32_t index, Vector2i point)
{
    const Box2i cell = CellOf(index);
    if (cell.empty)
        return 0;
    const ColumnGeometry geometry = MeasureColumn(fColumns[static_cast<size_t>(index)], cell);
    for (const auto& [flag, box] : geometry.icons) {
        // Only the part inside the cell is drawn, so only that part is hit.
        const Box2i shown = box.Intersect(cell);
        if (!shown.IsEmpty() && point.x >= shown.left && point.x < shown.right && point.y >= shown.top &&
            point.y < shown.bottom)
            return flag;
    }
    return 0;
}

// --- Mouse ---

bool UIColumnView::HandleMouse(Vector2i point, int32_t, int32_t phase)
{
    switch (phase) {
    case kMousePress:
    case kMouseDoubleClick:
        PressAt(point);
        return true;
    case kMouseDrag:
        DragTo(point);
        return true;
    case kMouseRelease:
        ReleaseAt(point);
        return true;
    case kMouseCancel:
        EndGesture();
        return true;
    default:
        return false;
    }
}

void UIColumnView::EndGesture()
{
    if (fPressedIcon != 0)
        InvalidateAll();
    fPressed = -1;
    fHovered = -1;
    fResizing = false;
    fDragging = false;
    fPressedIcon = 0;
}

void UIColumnView::PressAt(Vector2i point)
{
    // A gesture that never saw its release leaves nothing behind.
    EndGesture();
    bool inResizeZone = false;
    fPressed = ColumnAt(point.x, &inResizeZone);
    fHovered = fPressed;
    fPressPoint = point;
    if (fPressed < 0)
        return;
    if (inResizeZone) {
        fResizing = true;
        fHovered = -1;
        fResizeX = point.x;
        return;
    }
    fPressedIcon = IconAt(fPressed, point);
    if (fPressedIcon != 0)
        InvalidateAll();
}

void UIColumnView::DragTo(Vector2i point)
{
    if (fResizing) {
        if (fPressed >= 0 && point.x != fResizeX)
            ResizeTo(point.x);
        return;
    }
    fHovered = ColumnAt(point.x);
    if (std::abs(point.x - fPressPoint.x) > kDragThreshold || std::abs(point.y - fPressPoint.y) > kDragThreshold)
        fDragging = true;
    if (fDragging)
        ReorderOver(point.x);
}

void UIColumnView::ResizeTo(int32_t x)
{
    UIColumnViewColumn& column = fColumns[static_cast<size_t>(fPressed)];
    const int64_t wanted = int64_t{column.width} + (int64_t{x} - fResizeX);
    const int32_t width = ClampToInt32(std::clamp<int64_t>(wanted, column.minWidth, column.maxWidth));
    // A clamped width leaves the remembered x at the border, so the width follows the pointer
    // again only once it is back there.
    fResizeX = ClampToInt32(int64_t{x} + (width - wanted));
    if (width == column.width)
        return;
    column.width = width;
    fAxis.Recompute();
    LayoutChanged(kPositionChange);
}

void UIColumnView::ReorderOver(int32_t x)
{
    // Over no column, or from a press on none, there is nowhere to move.
    if (fHovered < 0 || fPressed < 0 || fHovered == fPressed)
        return;
    const Box2i hovered = CellOf(fHovered);
    const int32_t pressedWidth = fColumns[static_cast<size_t>(fPressed)].width;
    const bool far = fHovered > fPressed ? int64_t{x} >= int64_t{hovered.right} - pressedWidth
                                         : int64_t{x} <= int64_t{hovered.left} + pressedWidth;
    if (!far)
        return;
    const UIColumnViewColumn moved = fColumns[static_cast<size_t>(fPressed)];
    fColumns.erase(fColumns.begin() + fPressed);
    fColumns.insert(fColumns.begin() + fHovered, moved);
    fPressed = fHovered;
    LayoutChanged(kPositionChange);
}

void UIColumnView::ReleaseAt(Vector2i point)
{
    const int32_t pressed = fPressed;
    const uint32_t icon = fPressedIcon;
    const bool moved = fResizing || fDragging;
    EndGesture();
    if (pressed < 0 || moved)
        return;
    if (icon == 0) {
        if (fColumns[static_cast<size_t>(pressed)].sortable != 0)
            ToggleSort(pressed);
        return;
    }
    if (ColumnAt(point.x) == pressed && IconAt(pressed, point) == icon)
        SendIconClick(pressed, icon);
}

void UIColumnView::ToggleSort(int32_t index)
{
    UIColumnViewColumn& column = fColumns[static_cast<size_t>(index)];
    if (column.isSortKey != 0) {
        column.isAscendingSort = column.isAscendingSort != 0 ? 0 : 1;
    } else {
        for (UIColumnViewColumn& other : fColumns)
            other.isSortKey = 0;
        column.isSortKey = 1;
        column.isAscendingSort = 1;
    }
    LayoutChanged(kSortOrderChange);
}

void UIColumnView::SendIconClick(int32_t index, uint32_t flag)
{
    auto message = DNAdopt(new CXMessageDNValueParam(kIconClick, this));
    message->SetChildData(DNRawData("column-id"), DNRawData::FromInt(fColumns[static_cast<size_t>(index)].columnId));
    message->SetChildData(DNRawData("icon-flag"), DNRawData::FromInt(static_cast<int32_t>(flag)));
    (void)HandleMessage(*message);
}

// --- Context menu and messages ---

bool UIColumnView::HandleContextClick(Vector2i point, Vector2i screenPoint)
{
    int32_t clicked = -1;
    int64_t left = FirstLeft();
    for (size_t i = 0; i < fColumns.size() && clicked < 0; ++i) {
        if (fColumns[i].isVisible == 0)
            continue;
        if (left <= point.x && point.x < left + fColumns[i].width)
            clicked = static_cast<int32_t>(i);
        left += fColumns[i].width;
    }

    auto insert = std::make_unique<CXMenu>(this);
    insert->SetTitle(kInsertMenu);
    insert->SetHierarchical();
    for (const UIColumnViewColumn& column : fColumns) {
        if (column.isVisible == 0 && column.insertable != 0)
            insert->AddCommandItem(column.title, CXString(), 0);
    }
    auto menu = std::make_unique<CXMenu>(this);
    menu->SetHierarchical();
    if (clicked >= 0 && fColumns[static_cast<size_t>(clicked)].removable != 0)
        menu->AddCommandItem(kRemoveCommand, kRemoveCommand, 0);
    if (insert->GetItemCount() > 0)
        menu->AddMenuItem(kInsertMenu, std::move(insert));

    CXSafePointer<UIElement> alive(this);
    (void)HandleMessage(UIColumnViewMenuMessage(this, menu.get(), clicked));
    if (!alive)
        return true;
    fContextColumn = clicked;
    (void)menu->TrackAsContextualMenu(screenPoint);
    if (alive)
        fContextColumn = -1;
    return true;
}

bool UIColumnView::HandleWheel(const UIScrollWheelEvent&)
{
    return true;
}

CXResultCode UIColumnView::HandleMessage(const CXMessage& message)
{
    const CXString& name = message.GetName();
    if (name == "menu-select" && message.GetSourceName() == kInsertMenu) {
        // The n-th hidden column that may be shown, as the sub-menu listed them.
        int32_t n = message.GetInteger();
        for (size_t i = 0; i < fColumns.size(); ++i) {
            if (fColumns[i].isVisible != 0 || fColumns[i].insertable == 0)
                continue;
            if (n-- == 0) {
                ShowColumn(static_cast<int32_t>(i));
                break;
            }
        }
        return kCXOK;
    }
    if (name == kRemoveCommand) {
        HideColumn(fContextColumn);
        return kCXOK;
    }
    return UICustomControl::HandleMessage(message);
}

// --- Scrolling ---

void UIColumnView::ApplyLayout()
{
    UICustomControl::ApplyLayout();
    fAxis.Recompute();
}

bool UIColumnView::GetAxisRange(const ScrollAxisRef& axis, double& minimum, double& maximum, double& page)
{
    minimum = 0;
    maximum = 0;
    page = 0;
    if (&axis != &fAxis)
        return false;
    maximum = static_cast<double>(std::max<int64_t>(0, TotalWidth() - GetWidth()));
    page = GetWidth();
    return true;
}

void UIColumnView::AxisPositionChanged(ScrollAxisRef&)
{
    InvalidateAll();
}

// --- Drawing ---

UIBitmap* UIColumnView::IconPicture(uint32_t flag)
{
    if (!fIconsLoaded) {
        fIconsLoaded = true;
        for (size_t i = 0; i < fIcons.size(); ++i)
            fIcons[i] = UIBitmap::Load(GetDataFolderFilepath(kIconFiles[i]));
    }
    for (size_t i = 0; i < fIcons.size(); ++i) {
        if (kIconFlags[i] == flag)
            return fIcons[i].get();
    }
    return nullptr;
}

void UIColumnView::Draw(RazaGraf& graf)
{
    UICustomControl::Draw(graf);
    for (size_t i = 0; i < fColumns.size(); ++i) {
        if (fColumns[i].isVisible == 0)
            continue;
        const Box2i cell = CellOf(static_cast<int32_t>(i));
        DrawColumn(graf, static_cast<int32_t>(i), cell);
    }
    const int32_t bottom = GetHeight() - 1;
    graf.DrawLine({0, bottom}, {GetWidth(), bottom}, kBottomLineColor);
}

void UIColumnView::DrawColumn(RazaGraf& graf, int32_t index, const Box2i& cell)
{
    const UIColumnViewColumn& column = fColumns[static_cast<size_t>(index)];
    const ColumnGeometry geometry = MeasureColumn(column, cell);
    graf.PushClipRegion(RazaRegion(cell), {0, 0});
    const Box2f sample = graf.MeasureString("1WMmw_", 0, 0, 1024, true, fTitleFont);
    const int32_t textHeight = static_cast<int32_t>(sample.bottom - sample.top);
    // DrawString puts the text's bottom 3 pixels below y.
    const int32_t y = cell.top + (cell.Height() + textHeight) / 2 - 3;
    graf.DrawStringFitted(cell.left + kTitleInset, y, column.title, fTitleFont, geometry.titleWidth);
    graf.DrawLine({cell.right - 1, cell.top}, {cell.right - 1, cell.bottom}, kSeparatorColor);
    for (const auto& [flag, box] : geometry.icons) {
        if (index == fPressed && flag == fPressedIcon)
            continue;
        if (UIBitmap* picture = IconPicture(flag))
            graf.DrawBitmap(*picture, box, kIconColor);
    }
    graf.PopClipRegion();
}

// --- Saved layout ---

void UIColumnView::SetLayoutStore(CXApplicationSettings* settings, const CXString& label)
{
    fSettings.Reference(settings);
    fLabel = label;
}

void UIColumnView::SaveColumnSettings()
{
    if (!fSettings || fLabel.length() == 0 || !fChanged)
        return;
    DNValueRef record = DNAdopt<DNValue>(new DNMemoryValue);
    record->SetChildData(DNRawData("version"), DNRawData::FromInt(kLayoutVersion));
    DNValueRef columns = record->MakeFolder();
    for (const UIColumnViewColumn& column : fColumns) {
        DNValueRef entry = columns->MakeFolder();
        entry->SetChildData(DNRawData("column-id"), DNRawData::FromInt(column.columnId));
        entry->SetChildData(DNRawData("width"), DNRawData::FromInt(column.width));
        entry->SetChildData(DNRawData("is-sort-key"), DNRawData::FromBool(column.isSortKey != 0));
        if (column.isSortKey != 0)
            entry->SetChildData(DNRawData("is-ascending-sort"), DNRawData::FromBool(column.isAscendingSort != 0));
        entry->SetChildData(DNRawData("is-visible"), DNRawData::FromBool(column.isVisible != 0));
        columns->AddLast()->SetValue(entry);
    }
    record->SetChild(DNRawData("columns"), columns);
    fSettings->SetSettingsByLabel(fLabel, record);
    fChanged = false;
}
