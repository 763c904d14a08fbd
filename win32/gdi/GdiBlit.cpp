// Copies between DCs: BitBlt, StretchBlt and AlphaBlend. Each destination pixel takes one source
// pixel (the nearest by the sampling rule); source pixels outside the source's target leave the
// destination alone, and the source's own clip plays no part.

#include "win32/gdi/GdiInternal.h"

#include <algorithm>
#include <vector>

namespace win32::gdi {

namespace {

// How a source pixel lands on a destination pixel.
enum class Operation { Copy, Blend };

struct Blend {
    uint32_t constant = 255;
    bool sourceAlpha = false;
};

uint32_t Blended(uint32_t source, uint32_t destination, const Blend& blend)
{
    uint32_t k = blend.constant;
    if (!blend.sourceAlpha)
        source |= 0xFF000000u;
    uint32_t keep = 255 - Divide255((source >> 24) * k);
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t s = (source >> shift) & 0xFF, d = (destination >> shift) & 0xFF;
        uint32_t value = std::min<uint32_t>(255, Divide255(s * k) + Divide255(d * keep));
        result |= value << shift;
    }
    return result;
}

// For each destination offset 0 <= i < count: the source offset floor((2i + 1) * sourceCount /
// (2 * count)).
int64_t Sample(int64_t i, int64_t count, int64_t sourceCount)
{
    return ((2 * i + 1) * sourceCount) / (2 * count);
}

BOOL Transfer(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
              int sourceWidth, int sourceHeight, Operation operation, const Blend& blend)
{
    if (width < 0 || height < 0 || sourceWidth < 0 || sourceHeight < 0)
        return FALSE;
    CXRecursiveMutexLocker locker(&Lock());
    DeviceContext* to = FindDC(destination);
    DeviceContext* from = FindDC(source);
    if (to == nullptr || from == nullptr)
        return FALSE;
    if (width == 0 || height == 0 || sourceWidth == 0 || sourceHeight == 0)
        return TRUE;
    if (from->target.IsEmpty())
        return FALSE;
    Canvas canvas(to);
    if (!canvas.Drawable())
        return TRUE;
    POINT toOffset = canvas.Offset(), fromOffset = LogicalToTarget(*from);
    int64_t originX = int64_t(x) + toOffset.x, originY = int64_t(y) + toOffset.y;
    int64_t sourceOriginX = int64_t(sourceX) + fromOffset.x, sourceOriginY = int64_t(sourceY) + fromOffset.y;
    pixman_box32_t box = TargetBox(x, y, int64_t(x) + width > INT32_MAX ? INT32_MAX : x + width,
                                   int64_t(y) + height > INT32_MAX ? INT32_MAX : y + height, toOffset);

    // A copy within one target reads from a snapshot, so overlapping copies are exact.
    Surface sourceSurface = from->target;
    std::vector<uint8_t> snapshot;
    if (sourceSurface.pixels == to->target.pixels) {
        snapshot.assign(sourceSurface.pixels,
                        sourceSurface.pixels + static_cast<size_t>(sourceSurface.stride) * sourceSurface.height);
        sourceSurface.pixels = snapshot.data();
    }

    std::vector<int> columns;
    canvas.EachPart(box, [&](const pixman_box32_t& part) {
        int x1 = part.x1, x2 = part.x2, y1 = part.y1, y2 = part.y2;
        columns.resize(static_cast<size_t>(x2 - x1));
        for (int tx = x1; tx < x2; ++tx) {
            int64_t sx = sourceOriginX + Sample(tx - originX, width, sourceWidth);
            columns[static_cast<size_t>(tx - x1)] = sx >= 0 && sx < sourceSurface.width ? static_cast<int>(sx) : -1;
        }
        for (int ty = y1; ty < y2; ++ty) {
            int64_t sy = sourceOriginY + Sample(ty - originY, height, sourceHeight);
            if (sy < 0 || sy >= sourceSurface.height)
                continue;
            const uint32_t* sourceRow = sourceSurface.Row(static_cast<int>(sy));
            uint32_t* row = to->target.Row(ty);
            for (int tx = x1; tx < x2; ++tx) {
                int sx = columns[static_cast<size_t>(tx - x1)];
                if (sx < 0)
                    continue;
                row[tx] = operation == Operation::Copy ? sourceRow[sx] : Blended(sourceRow[sx], row[tx], blend);
            }
        }
    });
    return TRUE;
}

} // namespace

} // namespace win32::gdi

namespace win32 {

using namespace gdi;

BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop)
{
    if (rop != SRCCOPY)
        return PatBlt(destination, x, y, width, height, rop);
    return Transfer(destination, x, y, width, height, source, sourceX, sourceY, width, height, Operation::Copy, {});
}

BOOL StretchBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD rop)
{
    if (rop != SRCCOPY)
        return PatBlt(destination, x, y, width, height, rop);
    return Transfer(destination, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight,
                    Operation::Copy, {});
}

BOOL AlphaBlend(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, BLENDFUNCTION function)
{
    if (function.BlendOp != AC_SRC_OVER || function.BlendFlags != 0 ||
        (function.AlphaFormat & ~AC_SRC_ALPHA) != 0)
        return FALSE;
    Blend blend;
    blend.constant = function.SourceConstantAlpha;
    blend.sourceAlpha = (function.AlphaFormat & AC_SRC_ALPHA) != 0;
    return Transfer(destination, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight,
                    Operation::Blend, blend);
}

} // namespace win32
