// Device contexts: memory, display and surface DCs, selection, the viewport origin, the clip and
// the text and background attributes.

#include "win32/core/Core.h"
#include "win32/gdi/GdiInternal.h"

#include <algorithm>
#include <utility>

namespace win32::gdi {

namespace {

int SlotIndex(SelectedSlot slot)
{
    return static_cast<int>(slot);
}

// The slot an object of this kind is selected into; Count for kinds that are not selected.
SelectedSlot SlotOf(core::HandleKind kind)
{
    switch (kind) {
    case core::HandleKind::Brush:
        return SelectedSlot::Brush;
    case core::HandleKind::Pen:
        return SelectedSlot::Pen;
    case core::HandleKind::Bitmap:
        return SelectedSlot::Bitmap;
    case core::HandleKind::Font:
        return SelectedSlot::Font;
    default:
        return SelectedSlot::Count;
    }
}

// Puts object (with a new reference) into the slot and answers the handle of the object it
// replaced (its reference dropped, so it may be gone now: a deleted object's handle is stale).
HGDIOBJ Replace(DeviceContext* dc, SelectedSlot slot, Object* object)
{
    Object*& current = dc->selected[SlotIndex(slot)];
    Object* previous = current;
    Retain(object);
    current = object;
    if (slot == SelectedSlot::Bitmap) {
        if (previous != nullptr)
            static_cast<Bitmap*>(previous)->selectedInto = nullptr;
        auto* bitmap = static_cast<Bitmap*>(object);
        bitmap->selectedInto = bitmap->surface.IsEmpty() ? nullptr : dc;
        dc->target = bitmap->surface;
    }
    HGDIOBJ answer = previous != nullptr ? previous->Handle() : nullptr;
    Release(previous);
    return answer;
}

HDC MakeDC(DeviceContext::Type type)
{
    CXRecursiveMutexLocker locker(&Lock());
    auto* dc = new DeviceContext(type);
    Replace(dc, SelectedSlot::Brush, FindObject(GetStockObject(WHITE_BRUSH), core::HandleKind::Brush));
    Replace(dc, SelectedSlot::Pen, FindObject(GetStockObject(BLACK_PEN), core::HandleKind::Pen));
    if (type == DeviceContext::Type::Memory)
        Replace(dc, SelectedSlot::Bitmap, FindObject(StockBitmap(), core::HandleKind::Bitmap));
    Object* font = FindObject(GetStockObject(SYSTEM_FONT), core::HandleKind::Font);
    if (font != nullptr)
        Replace(dc, SelectedSlot::Font, font);
    return static_cast<HDC>(AddObject(dc));
}

bool EqualsIgnoringCase(LPCWSTR text, const char* ascii)
{
    if (text == nullptr)
        return false;
    for (; *ascii != '\0'; ++text, ++ascii) {
        WCHAR c = *text;
        if (c >= u'a' && c <= u'z')
            c = static_cast<WCHAR>(c - u'a' + u'A');
        if (c != static_cast<WCHAR>(*ascii))
            return false;
    }
    return *text == 0;
}

} // namespace

DeviceContext::DeviceContext(Type type) : Object(kKind), type(type)
{
    pixman_region32_init(&baseClip);
    pixman_region32_init(&clip);
}

DeviceContext::~DeviceContext()
{
    for (int i = 0; i < SlotIndex(SelectedSlot::Count); ++i) {
        Object* object = selected[i];
        if (object == nullptr)
            continue;
        if (i == SlotIndex(SelectedSlot::Bitmap))
            static_cast<Bitmap*>(object)->selectedInto = nullptr;
        Release(object);
    }
    pixman_region32_fini(&baseClip);
    pixman_region32_fini(&clip);
}

DeviceContext* FindDC(HDC hdc)
{
    return Find<DeviceContext>(hdc);
}

Object* Selected(const DeviceContext& dc, SelectedSlot slot)
{
    return slot == SelectedSlot::Count ? nullptr : dc.selected[SlotIndex(slot)];
}

HDC CreateSurfaceDC(const Surface& surface, POINT surfaceOrigin, HRGN baseClip)
{
    CXRecursiveMutexLocker locker(&Lock());
    Region* clip = nullptr;
    if (baseClip != nullptr && (clip = Find<Region>(baseClip)) == nullptr)
        return nullptr;
    HDC hdc = MakeDC(DeviceContext::Type::Surface);
    DeviceContext* dc = FindDC(hdc);
    if (dc == nullptr)
        return nullptr;
    dc->target = surface;
    dc->surfaceOrigin = surfaceOrigin;
    if (clip != nullptr) {
        dc->hasBaseClip = true;
        pixman_region32_copy(&dc->baseClip, &clip->region);
    }
    return hdc;
}

bool DestroySurfaceDC(HDC hdc)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    if (dc == nullptr || dc->type != DeviceContext::Type::Surface)
        return false;
    return RemoveObject(dc);
}

HDC CreateDisplayDC()
{
    return MakeDC(DeviceContext::Type::Display);
}

bool DrawableArea(const DeviceContext& dc, pixman_region32_t* area)
{
    pixman_region32_clear(area);
    if (dc.target.IsEmpty())
        return false;
    // Everything in device coordinates first, then moved onto the target.
    pixman_box32_t bounds = {-dc.surfaceOrigin.x, -dc.surfaceOrigin.y, dc.target.width - dc.surfaceOrigin.x,
                             dc.target.height - dc.surfaceOrigin.y};
    pixman_region32_reset(area, &bounds);
    if (dc.hasBaseClip)
        pixman_region32_intersect(area, area, const_cast<pixman_region32_t*>(&dc.baseClip));
    if (dc.hasClip)
        pixman_region32_intersect(area, area, const_cast<pixman_region32_t*>(&dc.clip));
    pixman_region32_translate(area, dc.surfaceOrigin.x, dc.surfaceOrigin.y);
    return true;
}

POINT LogicalToTarget(const DeviceContext& dc)
{
    return {dc.surfaceOrigin.x + dc.viewportOrigin.x, dc.surfaceOrigin.y + dc.viewportOrigin.y};
}

pixman_box32_t TargetBox(LONG left, LONG top, LONG right, LONG bottom, POINT offset)
{
    if (right <= left || bottom <= top)
        return {0, 0, 0, 0};
    // Targets are far smaller than 2^30 pixels a side, so the clamping never moves a visible edge.
    static constexpr int64_t kLimit = int64_t(1) << 30;
    auto place = [](int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, -kLimit, kLimit)); };
    return {place(int64_t(left) + offset.x), place(int64_t(top) + offset.y), place(int64_t(right) + offset.x),
            place(int64_t(bottom) + offset.y)};
}

void FillBox(const Surface& surface, const pixman_region32_t& area, const pixman_box32_t& box, uint32_t pixel)
{
    ForEachClippedBox(area, box, [&](const pixman_box32_t& part) {
        for (int y = part.y1; y < part.y2; ++y)
            std::fill(surface.Row(y) + part.x1, surface.Row(y) + part.x2, pixel);
    });
}

} // namespace win32::gdi

namespace win32 {

using namespace gdi;

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ handle)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    Object* object = FindAnyObject(handle);
    if (dc == nullptr || object == nullptr)
        return nullptr;
    if (object->Kind() == core::HandleKind::Region) {
        int kind = SelectClipRgn(hdc, static_cast<HRGN>(handle));
        return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(kind));
    }
    SelectedSlot slot = SlotOf(object->Kind());
    if (slot == SelectedSlot::Count)
        return nullptr;
    if (slot == SelectedSlot::Bitmap) {
        auto* bitmap = static_cast<Bitmap*>(object);
        if (dc->type != DeviceContext::Type::Memory || (bitmap->selectedInto != nullptr && bitmap->selectedInto != dc))
            return nullptr;
    }
    return Replace(dc, slot, object);
}

HDC CreateCompatibleDC(HDC hdc)
{
    if (hdc != nullptr) {
        CXRecursiveMutexLocker locker(&Lock());
        if (FindDC(hdc) == nullptr)
            return nullptr;
    }
    return MakeDC(DeviceContext::Type::Memory);
}

HDC CreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR, const DEVMODEW*)
{
    if (!EqualsIgnoringCase(driver, "DISPLAY") && !EqualsIgnoringCase(device, "DISPLAY"))
        return nullptr;
    return MakeDC(DeviceContext::Type::Display);
}

BOOL DeleteDC(HDC hdc)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    if (dc == nullptr || dc->type == DeviceContext::Type::Surface)
        return FALSE;
    return RemoveObject(dc) ? TRUE : FALSE;
}

int GetDeviceCaps(HDC hdc, int index)
{
    CXRecursiveMutexLocker locker(&Lock());
    if (FindDC(hdc) == nullptr)
        return 0;
    Backend* backend = GetBackend();
    switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY:
        return 96;
    case BITSPIXEL:
        return 32;
    case PLANES:
        return 1;
    case HORZRES:
        return backend != nullptr ? backend->GetMetrics().screenWidth : 0;
    case VERTRES:
        return backend != nullptr ? backend->GetMetrics().screenHeight : 0;
    default:
        return 0;
    }
}

BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    if (dc == nullptr)
        return FALSE;
    if (previous != nullptr)
        *previous = dc->viewportOrigin;
    dc->viewportOrigin = {x, y};
    return TRUE;
}

BOOL GetViewportOrgEx(HDC hdc, POINT* origin)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    if (dc == nullptr || origin == nullptr)
        return FALSE;
    *origin = dc->viewportOrigin;
    return TRUE;
}

BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* previous)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    if (dc == nullptr)
        return FALSE;
    if (previous != nullptr)
        *previous = dc->viewportOrigin;
    dc->viewportOrigin.x += dx;
    dc->viewportOrigin.y += dy;
    return TRUE;
}

int SelectClipRgn(HDC hdc, HRGN handle)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    if (dc == nullptr)
        return ERROR;
    if (handle == nullptr) {
        dc->hasClip = false;
        pixman_region32_clear(&dc->clip);
    } else {
        Region* region = Find<Region>(handle);
        if (region == nullptr)
            return ERROR;
        pixman_region32_copy(&dc->clip, &region->region);
        dc->hasClip = true;
    }
    return Canvas(dc).Kind();
}

int GetClipBox(HDC hdc, RECT* rect)
{
    if (rect == nullptr)
        return ERROR;
    *rect = {0, 0, 0, 0};
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    if (dc == nullptr)
        return ERROR;
    Canvas canvas(dc);
    if (!canvas.Drawable())
        return ERROR;
    int kind = canvas.Kind();
    if (kind != NULLREGION) {
        pixman_box32_t box = canvas.LogicalExtents();
        *rect = {box.x1, box.y1, box.x2, box.y2};
    }
    return kind;
}

COLORREF SetTextColor(HDC hdc, COLORREF color)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    if (dc == nullptr)
        return CLR_INVALID;
    return std::exchange(dc->textColor, color & 0x00FFFFFF);
}

COLORREF GetTextColor(HDC hdc)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    return dc != nullptr ? dc->textColor : CLR_INVALID;
}

COLORREF SetBkColor(HDC hdc, COLORREF color)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    if (dc == nullptr)
        return CLR_INVALID;
    return std::exchange(dc->backgroundColor, color & 0x00FFFFFF);
}

COLORREF GetBkColor(HDC hdc)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    return dc != nullptr ? dc->backgroundColor : CLR_INVALID;
}

int SetBkMode(HDC hdc, int mode)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    if (dc == nullptr || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    return std::exchange(dc->backgroundMode, mode);
}

int GetBkMode(HDC hdc)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    return dc != nullptr ? dc->backgroundMode : 0;
}

int SetStretchBltMode(HDC hdc, int mode)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    if (dc == nullptr || mode < BLACKONWHITE || mode > HALFTONE)
        return 0;
    return std::exchange(dc->stretchMode, mode);
}

int GetStretchBltMode(HDC hdc)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    return dc != nullptr ? dc->stretchMode : 0;
}

} // namespace win32
