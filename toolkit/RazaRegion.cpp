#include "toolkit/RazaRegion.h"

#include "win32/gdi/Gdi.h"

RazaRegion::RazaRegionInternal::~RazaRegionInternal()
{
    if (fRegion != nullptr)
        (void)win32::DeleteObject(reinterpret_cast<win32::HGDIOBJ>(fRegion));
}

RazaRegion::RazaRegion(const Box2i& box)
{
    fInternal.Swallow(new RazaRegionInternal(win32::CreateRectRgn(box.left, box.top, box.right, box.bottom)));
}

bool RazaRegion::Contains(Vector2i point) const
{
    RazaRegionInternal* internal = fInternal.get();
    if (internal == nullptr)
        return false;
    return win32::PtInRegion(internal->GetHandle(), point.x, point.y) != win32::FALSE;
}

bool RazaRegion::IsNotEmpty() const
{
    RazaRegionInternal* internal = fInternal.get();
    if (internal == nullptr)
        return false;
    win32::RECT bounds{};
    return win32::GetRgnBox(internal->GetHandle(), &bounds) != win32::NULLREGION;
}

Box2i RazaRegion::GetBounds() const
{
    const Box2i none{0, 0, 0, 0, true};
    RazaRegionInternal* internal = fInternal.get();
    if (internal == nullptr || internal->GetHandle() == nullptr)
        return none;
    win32::RECT bounds{};
    int kind = win32::GetRgnBox(internal->GetHandle(), &bounds);
    if (kind == win32::NULLREGION || kind == win32::ERROR)
        return none;
    return {bounds.left, bounds.top, bounds.right, bounds.bottom,
            !(bounds.left < bounds.right && bounds.top < bounds.bottom)};
}

RazaRegion RazaRegion::Combine(const RazaRegion& first, const RazaRegion* second, int mode)
{
    win32::HRGN result = win32::CreateRectRgn(0, 0, 0, 0);
    (void)win32::CombineRgn(result, first.fInternal->GetHandle(),
                            second != nullptr ? second->fInternal->GetHandle() : nullptr, mode);
    RazaRegion value;
    value.fInternal.Swallow(new RazaRegionInternal(result));
    return value;
}

RazaRegion RazaRegion::Offset(Vector2i delta) const
{
    if (!IsNotEmpty() || (delta.x == 0 && delta.y == 0))
        return *this;
    RazaRegion moved = Combine(*this, nullptr, win32::RGN_COPY);
    (void)win32::OffsetRgn(moved.fInternal->GetHandle(), delta.x, delta.y);
    return moved;
}

RazaRegion RazaRegion::Intersect(const RazaRegion& other) const
{
    if (!IsNotEmpty() || !other.IsNotEmpty())
        return RazaRegion();
    return Combine(*this, &other, win32::RGN_AND);
}

RazaRegion RazaRegion::Union(const RazaRegion& other) const
{
    if (!IsNotEmpty())
        return other;
    if (!other.IsNotEmpty())
        return *this;
    return Combine(*this, &other, win32::RGN_OR);
}

RazaRegion RazaRegion::Xor(const RazaRegion& other) const
{
    if (!IsNotEmpty())
        return other;
    if (!other.IsNotEmpty())
        return *this;
    return Combine(*this, &other, win32::RGN_XOR);
}

win32::HRGN RazaRegion::GetNativeHandle()
{
    if (!fInternal)
        fInternal.Swallow(new RazaRegionInternal(win32::CreateRectRgn(0, 0, 0, 0)));
    return fInternal->GetHandle();
}
