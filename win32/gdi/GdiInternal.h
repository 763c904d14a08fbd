#pragma once

// The drawing library's insides, shared by its files (objects, DCs, text) and by the paint pass of
// the window part: the drawing lock, the object table, surfaces, DCs and the clip.
//
// Every function here expects the caller to hold the drawing lock (Lock()), and every pointer it
// answers stays valid only while the lock is held, unless the caller keeps a reference (Retain).

#include "foundation/CXMutex.h"
#include "win32/core/Handles.h"
#include "win32/gdi/Gdi.h"
#include "win32/gdi/GdiSurface.h"

#include <pixman.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace win32::gdi {

// The process-wide drawing lock (recursive), held by every drawing call while it works:
//     CXRecursiveMutexLocker locker(&gdi::Lock());
CXRecursiveMutex& Lock();

// ---- Objects ----------------------------------------------------------------------------------

// A drawing object held by handle. Objects are counted references: the handle holds one and every
// DC that has the object selected holds one, so a deleted object lives on while it is selected.
// A new kind of object (fonts) derives from Object, passes its HandleKind, and describes itself to
// GetObjectW through Describe; its destructor runs when the last reference goes.
class Object {
public:
    explicit Object(core::HandleKind kind) : fKind(kind) {}
    virtual ~Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    // GetObjectW: copies at most size bytes of the description into buffer (not null) and answers
    // the bytes copied; with a null buffer answers the full size. 0: nothing to describe.
    virtual int Describe(int size, void* buffer) const;

    core::HandleKind Kind() const { return fKind; }
    // The handle (null before AddObject); it stays known once deleted, though it is stale then.
    HGDIOBJ Handle() const { return fHandle; }
    // Has a live handle.
    bool IsLive() const { return fLive; }
    // Stock objects (and system-colour brushes) are not counted and ignore DeleteObject.
    bool IsStock() const { return fStock; }

private:
    friend HGDIOBJ AddObject(Object* object, bool stock);
    friend bool RemoveObject(Object* object);
    friend void Retain(Object* object);
    friend void Release(Object* object);

    core::HandleKind fKind;
    HGDIOBJ fHandle = nullptr;
    bool fLive = false;
    bool fStock = false;
    int fReferences = 0;
};

// Gives the object a handle (holding its first reference) and answers it; null, the object
// deleted, when the handle table is full.
HGDIOBJ AddObject(Object* object, bool stock = false);
// The live object of a handle of that kind; null for null, stale or foreign handles.
Object* FindObject(HGDIOBJ handle, core::HandleKind kind);
// The live drawing object of a handle of any drawing kind (DCs included).
Object* FindAnyObject(HGDIOBJ handle);
template <class T>
T* Find(HGDIOBJ handle)
{
    return static_cast<T*>(FindObject(handle, T::kKind));
}
// Drops the handle (stale from now on) and its reference. False for stock objects and objects
// without a handle.
bool RemoveObject(Object* object);
void Retain(Object* object);
// Drops a reference; the last one deletes the object.
void Release(Object* object);

// The stock fonts come from the text part: factory makes the object of a font stock index
// (OEM_FIXED_FONT ... DEFAULT_GUI_FONT) the first time GetStockObject asks, or answers null.
using StockFontFactory = Object* (*)(int index);
void SetStockFontFactory(StockFontFactory factory);

// ---- Surfaces and objects of this part ----------------------------------------------------------

// An opaque pixel of a colour.
constexpr uint32_t OpaquePixel(COLORREF color)
{
    return 0xFF000000u | (static_cast<uint32_t>(GetRValue(color)) << 16) |
           (static_cast<uint32_t>(GetGValue(color)) << 8) | GetBValue(color);
}

class Brush : public Object {
public:
    static constexpr core::HandleKind kKind = core::HandleKind::Brush;
    Brush(COLORREF color, bool hollow) : Object(kKind), color(color), hollow(hollow) {}
    COLORREF color;
    // NULL_BRUSH: paints nothing.
    bool hollow;
};

class Pen : public Object {
public:
    static constexpr core::HandleKind kKind = core::HandleKind::Pen;
    Pen(COLORREF color, int width, bool invisible) : Object(kKind), color(color), width(width), invisible(invisible) {}
    COLORREF color;
    int width;
    // PS_NULL: draws nothing.
    bool invisible;
};

class DeviceContext;

class Bitmap : public Object {
public:
    static constexpr core::HandleKind kKind = core::HandleKind::Bitmap;
    Bitmap() : Object(kKind) {}
    ~Bitmap() override;
    int Describe(int size, void* buffer) const override;

    // Owned pixels (null for the stock 1x1 bitmap, which draws nothing).
    Surface surface;
    bool dibSection = false;
    // The DC it is selected into, if any: a bitmap is in at most one DC.
    DeviceContext* selectedInto = nullptr;
};

class Region : public Object {
public:
    static constexpr core::HandleKind kKind = core::HandleKind::Region;
    Region();
    ~Region() override;
    pixman_region32_t region;
};

// The 1x1 bitmap a memory DC starts with, which draws nothing (a stock object).
HBITMAP StockBitmap();

// The kind of a region: NULLREGION, SIMPLEREGION or COMPLEXREGION.
int RegionKind(const pixman_region32_t& region);
// Region coordinates stay within +-kRegionLimit, so pixman's widths and heights never overflow.
constexpr int64_t kRegionLimit = int64_t(1) << 27;
// Makes region (initialised) the rectangle, right and bottom exclusive, its edges pinned within
// kRegionLimit; empty when inverted or empty. Checked here because pixman takes the width and
// height as unsigned numbers.
void SetRegionRect(pixman_region32_t* region, int64_t left, int64_t top, int64_t right, int64_t bottom);

// ---- Device contexts --------------------------------------------------------------------------

enum class SelectedSlot { Brush, Pen, Bitmap, Font, Count };

class DeviceContext : public Object {
public:
    static constexpr core::HandleKind kKind = core::HandleKind::DC;
    enum class Type {
        // CreateCompatibleDC: draws on its selected bitmap.
        Memory,
        // CreateDCW("DISPLAY"), GetDC(NULL): measures only.
        Display,
        // Made by CreateSurfaceDC (the window part's DCs).
        Surface,
    };
    explicit DeviceContext(Type type);
    ~DeviceContext() override;

    Type type;
    // What it draws on; empty: draws nothing. A memory DC's is its bitmap's.
    Surface target;
    // The target pixel of device point (0, 0).
    POINT surfaceOrigin = {0, 0};
    // The part of the device it may draw on at all (device coordinates), e.g. a paint region.
    bool hasBaseClip = false;
    pixman_region32_t baseClip;
    // SelectClipRgn's copy (device coordinates).
    bool hasClip = false;
    pixman_region32_t clip;
    POINT viewportOrigin = {0, 0};

    // Selected objects, each holding a reference; the font may be null (the text part's default).
    Object* selected[static_cast<int>(SelectedSlot::Count)] = {};

    COLORREF textColor = RGB(0, 0, 0);
    COLORREF backgroundColor = RGB(255, 255, 255);
    int backgroundMode = OPAQUE;
    int stretchMode = BLACKONWHITE;
    // SetTextAlign's flags, kept for the text part.
    UINT textAlign = 0;
    POINT penPosition = {0, 0};
};

// The live DC of a handle, or null.
DeviceContext* FindDC(HDC hdc);
// The object selected in a slot (null when none).
Object* Selected(const DeviceContext& dc, SelectedSlot slot);

// Where drawing may go, in target pixels: the target's bounds within the base clip and the clip,
// moved by surfaceOrigin. False (area emptied) when the DC has nothing to draw on. area must be
// initialised; the caller finishes it.
bool DrawableArea(const DeviceContext& dc, pixman_region32_t* area);
// What to add to a logical point to get its target pixel: surfaceOrigin + viewportOrigin.
POINT LogicalToTarget(const DeviceContext& dc);
// A logical rectangle on the target: moved by offset (LogicalToTarget), clamped so that nothing
// overflows; inverted rectangles give an empty box.
pixman_box32_t TargetBox(LONG left, LONG top, LONG right, LONG bottom, POINT offset);
// Writes pixel over the part of box (target pixels, right and bottom exclusive) inside area.
void FillBox(const Surface& surface, const pixman_region32_t& area, const pixman_box32_t& box, uint32_t pixel);
// Calls each(part) for every non-empty part of box (target pixels, right and bottom exclusive)
// inside area, one part per rectangle of the area, rows top first.
template <class Each>
void ForEachClippedBox(const pixman_region32_t& area, const pixman_box32_t& box, Each each)
{
    int count = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(const_cast<pixman_region32_t*>(&area), &count);
    for (int i = 0; i < count; ++i) {
        pixman_box32_t part = {std::max(box.x1, boxes[i].x1), std::max(box.y1, boxes[i].y1),
                               std::min(box.x2, boxes[i].x2), std::min(box.y2, boxes[i].y2)};
        if (part.x1 < part.x2 && part.y1 < part.y2)
            each(part);
    }
}
// Calls change(pixel, x, y) for every target pixel of box inside area, row by row.
template <class Change>
void ForEachPixel(const Surface& surface, const pixman_region32_t& area, const pixman_box32_t& box, Change change)
{
    ForEachClippedBox(area, box, [&](const pixman_box32_t& part) {
        for (int y = part.y1; y < part.y2; ++y) {
            uint32_t* row = surface.Row(y);
            for (int x = part.x1; x < part.x2; ++x)
                change(row[x], x, y);
        }
    });
}
// The drawing state of one call: the DC (null for a bad handle), where it may draw and the
// logical-to-target offset.
class Canvas {
public:
    explicit Canvas(HDC hdc) : Canvas(FindDC(hdc)) {}
    explicit Canvas(DeviceContext* dc) : fDC(dc)
    {
        pixman_region32_init(&fArea);
        if (fDC != nullptr) {
            fDrawable = DrawableArea(*fDC, &fArea);
            fOffset = LogicalToTarget(*fDC);
        }
    }
    ~Canvas() { pixman_region32_fini(&fArea); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    DeviceContext* DC() const { return fDC; }
    bool Drawable() const { return fDrawable; }
    // What to add to a logical point to get its target pixel (LogicalToTarget).
    POINT Offset() const { return fOffset; }
    // The drawable area's kind: NULLREGION when there is nothing to draw on.
    int Kind() const { return RegionKind(fArea); }

    // Keeps drawing inside a logical rectangle as well; an empty one leaves nothing drawable.
    void ClipTo(const RECT& rect)
    {
        if (!fDrawable)
            return;
        pixman_box32_t box = Box(rect.left, rect.top, rect.right, rect.bottom);
        if (box.x2 > box.x1 && box.y2 > box.y1)
            pixman_region32_intersect_rect(&fArea, &fArea, box.x1, box.y1, static_cast<unsigned>(box.x2 - box.x1),
                                           static_cast<unsigned>(box.y2 - box.y1));
        else
            pixman_region32_clear(&fArea);
    }

    pixman_box32_t Box(LONG left, LONG top, LONG right, LONG bottom) const
    {
        return TargetBox(left, top, right, bottom, fOffset);
    }
    void Fill(LONG left, LONG top, LONG right, LONG bottom, uint32_t pixel) const
    {
        if (fDrawable)
            FillBox(fDC->target, fArea, Box(left, top, right, bottom), pixel);
    }
    // Calls each(part) for every drawable part of box (target pixels); see ForEachClippedBox.
    template <class Each>
    void EachPart(const pixman_box32_t& box, Each each) const
    {
        if (fDrawable)
            ForEachClippedBox(fArea, box, each);
    }
    // Calls change(pixel, x, y) for every drawable pixel of a logical rectangle (x, y: target pixels).
    template <class Change>
    void Each(LONG left, LONG top, LONG right, LONG bottom, Change change) const
    {
        if (fDrawable)
            ForEachPixel(fDC->target, fArea, Box(left, top, right, bottom), change);
    }
    // One pixel at a logical point, if it is inside the drawable area.
    void Plot(int64_t x, int64_t y, uint32_t pixel) const
    {
        int64_t tx = x + fOffset.x, ty = y + fOffset.y;
        if (!fDrawable || tx < INT32_MIN || tx > INT32_MAX || ty < INT32_MIN || ty > INT32_MAX)
            return;
        if (pixman_region32_contains_point(const_cast<pixman_region32_t*>(&fArea), static_cast<int>(tx),
                                           static_cast<int>(ty), nullptr))
            fDC->target.Row(static_cast<int>(ty))[tx] = pixel;
    }
    // The drawable area's extents in logical coordinates.
    pixman_box32_t LogicalExtents() const
    {
        const pixman_box32_t* box = pixman_region32_extents(const_cast<pixman_region32_t*>(&fArea));
        return {box->x1 - fOffset.x, box->y1 - fOffset.y, box->x2 - fOffset.x, box->y2 - fOffset.y};
    }

private:
    DeviceContext* fDC;
    pixman_region32_t fArea;
    bool fDrawable = false;
    POINT fOffset = {0, 0};
};

// The colour of a brush handle, which may also be a system colour index + 1. False for a bad
// handle; true with *paints false for NULL_BRUSH.
bool BrushColor(HBRUSH brush, COLORREF* color, bool* paints);
// x / 255 rounded, for 0 <= x <= 255 * 255.
constexpr uint32_t Divide255(uint32_t x)
{
    return (x + 127) / 255;
}

} // namespace win32::gdi
