// Areas: pixman regions held by value for the window part.

#include "win32/gdi/GdiInternal.h"

namespace win32::gdi {

struct Area::Data {
    pixman_region32_t region;
    Data() { pixman_region32_init(&region); }
    ~Data() { pixman_region32_fini(&region); }
};

Area::Area() : fData(std::make_unique<Data>()) {}

Area::Area(const RECT& rect) : Area()
{
    SetRegionRect(&fData->region, rect.left, rect.top, rect.right, rect.bottom);
}

Area::~Area() = default;

Area::Area(const Area& other) : Area()
{
    pixman_region32_copy(&fData->region, &other.fData->region);
}

Area& Area::operator=(const Area& other)
{
    if (this != &other)
        pixman_region32_copy(&fData->region, &other.fData->region);
    return *this;
}

bool Area::IsEmpty() const
{
    return pixman_region32_n_rects(&fData->region) == 0;
}

RECT Area::Bounds() const
{
    if (IsEmpty())
        return {0, 0, 0, 0};
    const pixman_box32_t* box = pixman_region32_extents(&fData->region);
    return {box->x1, box->y1, box->x2, box->y2};
}

std::vector<RECT> Area::Rects() const
{
    int count = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(&fData->region, &count);
    std::vector<RECT> rects;
    rects.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        rects.push_back({boxes[i].x1, boxes[i].y1, boxes[i].x2, boxes[i].y2});
    return rects;
}

bool Area::Contains(POINT point) const
{
    return pixman_region32_contains_point(&fData->region, point.x, point.y, nullptr) != 0;
}

void Area::Unite(const Area& other)
{
    pixman_region32_union(&fData->region, &fData->region, &other.fData->region);
}

void Area::Intersect(const Area& other)
{
    pixman_region32_intersect(&fData->region, &fData->region, &other.fData->region);
}

void Area::Subtract(const Area& other)
{
    pixman_region32_subtract(&fData->region, &fData->region, &other.fData->region);
}

void Area::Offset(int dx, int dy)
{
    pixman_region32_translate(&fData->region, dx, dy);
}

bool Area::ReadFrom(HRGN handle)
{
    CXRecursiveMutexLocker locker(&Lock());
    Region* region = Find<Region>(handle);
    if (region == nullptr)
        return false;
    pixman_region32_copy(&fData->region, &region->region);
    return true;
}

int Area::CopyTo(HRGN handle) const
{
    CXRecursiveMutexLocker locker(&Lock());
    Region* region = Find<Region>(handle);
    if (region == nullptr)
        return ERROR;
    pixman_region32_copy(&region->region, &fData->region);
    return RegionKind(region->region);
}

HDC CreateSurfaceDC(const Surface& surface, POINT surfaceOrigin, const Area& baseClip)
{
    CXRecursiveMutexLocker locker(&Lock());
    HDC hdc = CreateSurfaceDC(surface, surfaceOrigin, static_cast<HRGN>(nullptr));
    DeviceContext* dc = FindDC(hdc);
    if (dc == nullptr)
        return nullptr;
    dc->hasBaseClip = true;
    pixman_region32_copy(&dc->baseClip, &baseClip.fData->region);
    return hdc;
}

bool RetargetSurfaceDC(HDC hdc, const Surface& surface)
{
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* dc = FindDC(hdc);
    if (dc == nullptr || dc->type != DeviceContext::Type::Surface)
        return false;
    dc->target = surface;
    return true;
}

} // namespace win32::gdi
