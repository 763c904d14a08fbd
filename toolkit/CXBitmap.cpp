#include "toolkit/CXBitmap.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMemory.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

void ConvertFormat0To2(void* destination, const void* source, uint32_t count)
{
    auto* out = static_cast<uint8_t*>(destination);
    auto* in = static_cast<const uint8_t*>(source);
    for (uint32_t i = 0; i < count; ++i, out += 2, in += 4) {
        uint32_t p;
        std::memcpy(&p, in, 4);
        auto value = static_cast<uint16_t>(((p >> 4) & 0xF) << 12 | ((p >> 12) & 0xF) << 8 | ((p >> 20) & 0xF) << 4 |
                                           (p >> 28));
        std::memcpy(out, &value, 2);
    }
}

void ConvertFormat1To2(void* destination, const void* source, uint32_t count)
{
    auto* out = static_cast<uint8_t*>(destination);
    auto* in = static_cast<const uint8_t*>(source);
    for (uint32_t i = 0; i < count; ++i, out += 2, in += 4) {
        uint32_t p;
        std::memcpy(&p, in, 4);
        auto value = static_cast<uint16_t>((p >> 28) << 12 | ((p >> 20) & 0xF) << 8 | ((p >> 12) & 0xF) << 4 |
                                           ((p >> 4) & 0xF));
        std::memcpy(out, &value, 2);
    }
}

void Copy16(void* destination, const void* source, uint32_t count)
{
    std::memmove(destination, source, static_cast<size_t>(count) * 2);
}

void Copy32(void* destination, const void* source, uint32_t count)
{
    std::memmove(destination, source, static_cast<size_t>(count) * 4);
}

} // namespace

const CXPixelConverter kCXPixelConverters[] = {
    {2, 0, &ConvertFormat0To2}, {2, 1, &ConvertFormat1To2}, {2, 2, &Copy16},
    {0, 0, &Copy32},            {1, 1, &Copy32},            {-1, -1, nullptr},
};

CXBitmap::CXBitmap() = default;

CXBitmap::~CXBitmap()
{
    if (fOwnsPixels)
        CXHeapFree(fPixels);
    fPixels = nullptr;
}

CXBitmap& CXBitmap::operator=(const CXBitmap& source)
{
    if (&source == this)
        return *this;
    (void)Destroy();
    if (!source.IsCreated())
        return *this;
    fLayout = source.fLayout;
    fFormat = source.fFormat;
    CXResultCode result = Create(source.fRequestedWidth, source.fRequestedHeight);
    if (result != kCXOK || !IsCreated()) {
        CXDebugLog("CXBitmap::operator= > failed with error %d", static_cast<int>(result));
        (void)Destroy();
        return *this;
    }
    if (fRowBytes != source.fRowBytes)
        CXDebugLog("CXBitmap::operator= > pitch mismatched");
    // Row by row, never past either side's rows.
    size_t rowBytes = static_cast<size_t>(std::min(fRowBytes, source.fRowBytes));
    uint32_t rows = std::min(fHeight, source.fHeight);
    for (uint32_t y = 0; y < rows; ++y)
        std::memcpy(fPixels + static_cast<size_t>(y) * static_cast<size_t>(fRowBytes),
                    source.fPixels + static_cast<size_t>(y) * static_cast<size_t>(source.fRowBytes), rowBytes);
    return *this;
}

int32_t CXBitmap::NextPowerOfTwo(int32_t n)
{
    if (n <= 0 || n > (1 << 30))
        return 0;
    int32_t power = 1;
    while (power < n)
        power <<= 1;
    return power;
}

CXResultCode CXBitmap::Create(int32_t width, int32_t height)
{
    // Sizes in 64 bits: a 32-bit product could wrap to a buffer smaller than its rows.
    int64_t allocatedWidth = width;
    int64_t allocatedHeight = height;
    if (fLayout == 2 && width > 0 && height > 0) {
        // NextPowerOfTwo gives 0 when no power of two fits, which stays 0 here.
        int32_t powerWidth = NextPowerOfTwo(width);
        allocatedWidth = powerWidth != 0 ? std::max(powerWidth, 8) : 0;
        allocatedHeight = NextPowerOfTwo(height);
    }
    int64_t rowBytes = allocatedWidth * BytesPerPixel();
    if (fLayout == 0)
        rowBytes = (rowBytes + 31) & ~int64_t{31};

    if (fPixels != nullptr) {
        if (fOwnsPixels && allocatedWidth == fWidth && allocatedHeight == fHeight && width == fRequestedWidth &&
            height == fRequestedHeight)
            return kCXOK;
        (void)Destroy();
    }

    bool fits = width > 0 && height > 0 && allocatedWidth > 0 && allocatedHeight > 0 &&
                rowBytes <= std::numeric_limits<int32_t>::max() &&
                static_cast<uint64_t>(rowBytes) * static_cast<uint64_t>(allocatedHeight) <=
                    static_cast<uint64_t>(std::numeric_limits<ptrdiff_t>::max());
    if (!fits) {
        CXDebugLog("CXBitmap::Create> invalid size (w=%d, h=%d)", static_cast<int>(allocatedWidth),
                   static_cast<int>(allocatedHeight));
        fRowBytes = 0;
        return kCXBadParameter;
    }

    size_t total = static_cast<size_t>(rowBytes) * static_cast<size_t>(allocatedHeight);
    auto* pixels = static_cast<uint8_t*>(CXHeapAlloc(total));
    if (pixels == nullptr) {
        CXDebugLog("CXBitmap::Create> allocation failed (w=%d, h=%d)", static_cast<int>(allocatedWidth),
                   static_cast<int>(allocatedHeight));
        fRowBytes = 0;
        return kCXNoResources;
    }
    std::memset(pixels, 0, total);
    fPixels = pixels;
    fOwnsPixels = true;
    fWidth = static_cast<uint32_t>(allocatedWidth);
    fHeight = static_cast<uint32_t>(allocatedHeight);
    fRowBytes = static_cast<int32_t>(rowBytes);
    fRequestedWidth = width;
    fRequestedHeight = height;
    return kCXOK;
}

CXResultCode CXBitmap::Destroy()
{
    if (fOwnsPixels)
        CXHeapFree(fPixels);
    fPixels = nullptr;
    fOwnsPixels = false;
    fWidth = 0;
    fHeight = 0;
    fRowBytes = 0;
    fRequestedWidth = 0;
    fRequestedHeight = 0;
    return kCXOK;
}

bool CXBitmap::IsCreated() const
{
    return fPixels != nullptr;
}

uint8_t* CXBitmap::GetBaseAddress()
{
    if (fPixels == nullptr)
        CXDebugLog("CXBitmap::GetBaseAddress> CXBitmap not created");
    return fPixels;
}

const uint8_t* CXBitmap::GetBaseAddress() const
{
    if (fPixels == nullptr)
        CXDebugLog("CXBitmap::GetBaseAddress> CXBitmap not created");
    return fPixels;
}

int32_t CXBitmap::GetRowBytes() const
{
    return fRowBytes;
}

void CXBitmap::GetSize(int32_t& width, int32_t& height) const
{
    width = static_cast<int32_t>(fWidth);
    height = static_cast<int32_t>(fHeight);
}

void CXBitmap::GetRequestedSize(int32_t& width, int32_t& height) const
{
    width = fRequestedWidth;
    height = fRequestedHeight;
}

void CXBitmap::SetPixelFormat()
{
    if (fPixels != nullptr)
        CXDebugLog("CXBitmap::SetPixelFormat> Cannot be used on an existing buffer");
    fFormat = 0;
}

void CXBitmap::SetLayout(int32_t layout)
{
    if (fPixels != nullptr) {
        CXDebugLog("CXBitmap::SetLayout> Cannot be used on an existing buffer");
        return;
    }
    if (layout < 0 || layout > 2) {
        CXDebugLog("CXBitmap::SetLayout> unknown layout %d", static_cast<int>(layout));
        return;
    }
    fLayout = layout;
}

void CXBitmap::SetPixel(uint32_t x, uint32_t y, uint32_t value)
{
    if (fPixels == nullptr || x >= fWidth || y >= fHeight)
        return;
    uint8_t* at = fPixels + static_cast<size_t>(y) * static_cast<size_t>(fRowBytes) +
                  static_cast<size_t>(x) * static_cast<size_t>(BytesPerPixel());
    if (BytesPerPixel() == 2) {
        auto half = static_cast<uint16_t>(value);
        std::memcpy(at, &half, 2);
    } else {
        std::memcpy(at, &value, 4);
    }
}

uint32_t CXBitmap::GetPixel(uint32_t x, uint32_t y) const
{
    if (fPixels == nullptr || x >= fWidth || y >= fHeight)
        return 0;
    const uint8_t* at = fPixels + static_cast<size_t>(y) * static_cast<size_t>(fRowBytes) +
                        static_cast<size_t>(x) * static_cast<size_t>(BytesPerPixel());
    if (BytesPerPixel() == 2) {
        uint16_t half;
        std::memcpy(&half, at, 2);
        return half;
    }
    uint32_t value;
    std::memcpy(&value, at, 4);
    return value;
}
