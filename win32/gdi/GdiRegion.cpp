// Regions over pixman_region32: sets of pixels, right and bottom exclusive.

#include "win32/gdi/GdiInternal.h"

#include <algorithm>

namespace win32::gdi {

void SetRegionRect(pixman_region32_t* region, int64_t left, int64_t top, int64_t right, int64_t bottom)
{
    auto pin = [](int64_t value) { return static_cast<int32_t>(std::clamp(value, -kRegionLimit, kRegionLimit)); };
    int32_t l = pin(left), t = pin(top), r = pin(right), b = pin(bottom);
    pixman_region32_fini(region);
    if (r <= l || b <= t)
        pixman_region32_init(region);
    else
        pixman_region32_init_rect(region, l, t, static_cast<unsigned>(r - l), static_cast<unsigned>(b - t));
}

Region::Region() : Object(kKind)
{
    pixman_region32_init(&region);
}

Region::~Region()
{
    pixman_region32_fini(&region);
}

int RegionKind(const pixman_region32_t& region)
{
    int count = pixman_region32_n_rects(const_cast<pixman_region32_t*>(&region));
    return count == 0 ? NULLREGION : count == 1 ? SIMPLEREGION : COMPLEXREGION;
}

} // namespace win32::gdi

namespace win32 {

using namespace gdi;

HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    auto* region = new Region();
    SetRegionRect(&region->region, left, top, right, bottom);
    return static_cast<HRGN>(AddObject(region));
}

HRGN CreateRectRgnIndirect(const RECT* rect)
{
    if (rect == nullptr)
        return nullptr;
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

int CombineRgn(HRGN destination, HRGN source1, HRGN source2, int mode)
{
    CXRecursiveMutexLocker locker(&Lock());
    Region* out = Find<Region>(destination);
    Region* a = Find<Region>(source1);
    Region* b = mode == RGN_COPY ? nullptr : Find<Region>(source2);
    if (out == nullptr || a == nullptr || (mode != RGN_COPY && b == nullptr))
        return ERROR;
    pixman_region32_t result;
    pixman_region32_init(&result);
    bool done = true;
    switch (mode) {
    case RGN_COPY:
        done = pixman_region32_copy(&result, &a->region);
        break;
    case RGN_AND:
        done = pixman_region32_intersect(&result, &a->region, &b->region);
        break;
    case RGN_OR:
        done = pixman_region32_union(&result, &a->region, &b->region);
        break;
    case RGN_DIFF:
        done = pixman_region32_subtract(&result, &a->region, &b->region);
        break;
    case RGN_XOR: {
        pixman_region32_t both;
        pixman_region32_init(&both);
        done = pixman_region32_union(&result, &a->region, &b->region) &&
               pixman_region32_intersect(&both, &a->region, &b->region) &&
               pixman_region32_subtract(&result, &result, &both);
        pixman_region32_fini(&both);
        break;
    }
    default:
        done = false;
        break;
    }
    if (!done) {
        pixman_region32_fini(&result);
        return ERROR;
    }
    pixman_region32_fini(&out->region);
    out->region = result;
    return RegionKind(out->region);
}

int OffsetRgn(HRGN handle, int dx, int dy)
{
    CXRecursiveMutexLocker locker(&Lock());
    Region* region = Find<Region>(handle);
    if (region == nullptr)
        return ERROR;
    if (pixman_region32_not_empty(&region->region)) {
        const pixman_box32_t* box = pixman_region32_extents(&region->region);
        auto outside = [](int64_t value) { return value < -kRegionLimit || value > kRegionLimit; };
        if (outside(int64_t(box->x1) + dx) || outside(int64_t(box->x2) + dx) || outside(int64_t(box->y1) + dy) ||
            outside(int64_t(box->y2) + dy))
            return ERROR;
        pixman_region32_translate(&region->region, dx, dy);
    }
    return RegionKind(region->region);
}

int GetRgnBox(HRGN handle, RECT* rect)
{
    CXRecursiveMutexLocker locker(&Lock());
    Region* region = Find<Region>(handle);
    if (region == nullptr || rect == nullptr)
        return ERROR;
    int kind = RegionKind(region->region);
    if (kind == NULLREGION) {
        *rect = {0, 0, 0, 0};
    } else {
        const pixman_box32_t* box = pixman_region32_extents(&region->region);
        *rect = {box->x1, box->y1, box->x2, box->y2};
    }
    return kind;
}

BOOL PtInRegion(HRGN handle, int x, int y)
{
    CXRecursiveMutexLocker locker(&Lock());
    Region* region = Find<Region>(handle);
    if (region == nullptr)
        return FALSE;
    return pixman_region32_contains_point(&region->region, x, y, nullptr) ? TRUE : FALSE;
}

} // namespace win32
