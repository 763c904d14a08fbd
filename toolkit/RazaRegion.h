#pragma once

#include "foundation/CXReferenceCount.h"
#include "toolkit/Box2i.h"
#include "win32/api/Types.h"

// An immutable region value: the area to repaint, a drawing context's clip, the part of a control
// that takes the mouse. Copies share one region handle; every set operation makes a new value and
// never changes its operands, so a region kept by someone else cannot change under them. An
// operation with an empty operand makes no handle: it shares the other operand, or gives the empty
// region. Values may be copied on any thread (under the process-wide handle lock).
class RazaRegion {
public:
    // The shared holder of one region handle, deleted with the last value that shares it.
    class RazaRegionInternal : public DynamicReferenceCount {
    public:
        // Takes over the handle.
        explicit RazaRegionInternal(win32::HRGN region) : fRegion(region) {}
        ~RazaRegionInternal() override;
        win32::HRGN GetHandle() const { return fRegion; }

    private:
        win32::HRGN fRegion = nullptr;
    };

    // The empty region, without a handle.
    RazaRegion() = default;
    // The box's rectangle. A box without area still makes a handle, of an empty region.
    explicit RazaRegion(const Box2i& box);

    bool Contains(Vector2i point) const;
    // Has a handle whose region has area (a region whose bounds cannot be read counts as having
    // area).
    bool IsNotEmpty() const;
    // The bounds; (0, 0, 0, 0) flagged empty for an empty region or one whose bounds cannot be
    // read.
    Box2i GetBounds() const;

    // Moved by the delta; shares this value's handle for a zero delta or an empty region.
    RazaRegion Offset(Vector2i delta) const;
    // The common part; the empty region when either side is empty.
    RazaRegion Intersect(const RazaRegion& other) const;
    // Both; shares the other side when one side is empty.
    RazaRegion Union(const RazaRegion& other) const;
    // Either but not both; shares the other side when one side is empty.
    RazaRegion Xor(const RazaRegion& other) const;

    // The handle, for calls that read a region. The empty region first gets a handle of its own (of
    // an empty rectangle), which this value keeps: the caller always gets a valid handle.
    win32::HRGN GetNativeHandle();

    // The shared holder, null for the empty region: values with the same holder share the handle.
    const RazaRegionInternal* GetInternal() const { return fInternal.get(); }

private:
    // A new value whose handle holds first `mode` second (second unused for a copy).
    static RazaRegion Combine(const RazaRegion& first, const RazaRegion* second, int mode);

    CXAutoReference<RazaRegionInternal> fInternal;
};
