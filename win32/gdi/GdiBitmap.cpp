// Bitmaps: 32 bits a pixel, premultiplied BGRA, rows top first and 4 * width bytes apart.

#include "win32/core/Core.h"
#include "win32/gdi/GdiInternal.h"

#include <cstdlib>
#include <cstring>

namespace win32::gdi {

namespace {

constexpr int kMaximumSide = 0x7FFF;

// A zeroed bitmap of that size (sides 1 to kMaximumSide), or null when memory runs out.
Bitmap* NewBitmap(int width, int height)
{
    size_t stride = static_cast<size_t>(width) * 4;
    void* pixels = std::calloc(static_cast<size_t>(height), stride);
    if (pixels == nullptr)
        return nullptr;
    auto* bitmap = new Bitmap();
    bitmap->surface = {static_cast<uint8_t*>(pixels), static_cast<int>(stride), width, height};
    return bitmap;
}

// The checks every bitmap size passes: 0 gives the stock bitmap.
enum class SizeCheck { Stock, Valid, Invalid };
SizeCheck CheckSize(LONG width, LONG height)
{
    if (width < 0 || height < 0 || width > kMaximumSide || height > kMaximumSide)
        return SizeCheck::Invalid;
    return width == 0 || height == 0 ? SizeCheck::Stock : SizeCheck::Valid;
}

HBITMAP Add(Bitmap* bitmap)
{
    if (bitmap == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return static_cast<HBITMAP>(AddObject(bitmap));
}

} // namespace

Bitmap::~Bitmap()
{
    std::free(surface.pixels);
}

int Bitmap::Describe(int size, void* buffer) const
{
    BITMAP description = {};
    description.bmWidth = surface.pixels != nullptr ? surface.width : 1;
    description.bmHeight = surface.pixels != nullptr ? surface.height : 1;
    description.bmWidthBytes = surface.pixels != nullptr ? surface.stride : 4;
    description.bmPlanes = 1;
    description.bmBitsPixel = 32;
    description.bmBits = dibSection ? surface.pixels : nullptr;
    if (dibSection && (buffer == nullptr || size >= static_cast<int>(sizeof(DIBSECTION)))) {
        if (buffer == nullptr)
            return sizeof(DIBSECTION);
        DIBSECTION section = {};
        section.dsBm = description;
        section.dsBmih.biSize = sizeof(BITMAPINFOHEADER);
        section.dsBmih.biWidth = surface.width;
        section.dsBmih.biHeight = -surface.height;
        section.dsBmih.biPlanes = 1;
        section.dsBmih.biBitCount = 32;
        section.dsBmih.biCompression = BI_RGB;
        section.dsBmih.biSizeImage = static_cast<DWORD>(surface.stride) * static_cast<DWORD>(surface.height);
        std::memcpy(buffer, &section, sizeof(section));
        return sizeof(DIBSECTION);
    }
    if (buffer == nullptr)
        return sizeof(BITMAP);
    int copied = size < static_cast<int>(sizeof(BITMAP)) ? size : static_cast<int>(sizeof(BITMAP));
    std::memcpy(buffer, &description, static_cast<size_t>(copied));
    return copied;
}

HBITMAP StockBitmap()
{
    CXRecursiveMutexLocker locker(&Lock());
    static HBITMAP stock = static_cast<HBITMAP>(AddObject(new Bitmap(), true));
    return stock;
}

} // namespace win32::gdi

namespace win32 {

using namespace gdi;

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height)
{
    {
        CXRecursiveMutexLocker locker(&Lock());
        if (FindDC(hdc) == nullptr)
            return nullptr;
    }
    switch (CheckSize(width, height)) {
    case SizeCheck::Invalid:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    case SizeCheck::Stock:
        return StockBitmap();
    case SizeCheck::Valid:
        break;
    }
    return Add(NewBitmap(width, height));
}

HBITMAP CreateBitmapIndirect(const BITMAP* description)
{
    if (description == nullptr || description->bmType != 0 || description->bmPlanes != 1 ||
        description->bmBitsPixel != 32) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    SizeCheck check = CheckSize(description->bmWidth, description->bmHeight);
    if (check == SizeCheck::Invalid || (check == SizeCheck::Valid && (description->bmWidthBytes < description->bmWidth * 4 ||
                                                                      description->bmWidthBytes % 2 != 0))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (check == SizeCheck::Stock)
        return StockBitmap();
    Bitmap* bitmap = NewBitmap(description->bmWidth, description->bmHeight);
    if (bitmap != nullptr && description->bmBits != nullptr) {
        const auto* source = static_cast<const uint8_t*>(description->bmBits);
        for (int y = 0; y < bitmap->surface.height; ++y)
            std::memcpy(bitmap->surface.Row(y), source + static_cast<size_t>(y) * static_cast<size_t>(description->bmWidthBytes),
                        static_cast<size_t>(bitmap->surface.width) * 4);
    }
    return Add(bitmap);
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE, DWORD)
{
    if (bits != nullptr)
        *bits = nullptr;
    if (info == nullptr || usage != DIB_RGB_COLORS)
        return nullptr;
    const BITMAPINFOHEADER& header = info->bmiHeader;
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biPlanes != 1 || header.biBitCount != 32 ||
        header.biCompression != BI_RGB || header.biHeight >= 0 || header.biWidth <= 0 ||
        CheckSize(header.biWidth, header.biHeight < -kMaximumSide ? -1 : -header.biHeight) !=
            SizeCheck::Valid) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Bitmap* bitmap = NewBitmap(header.biWidth, -header.biHeight);
    if (bitmap != nullptr)
        bitmap->dibSection = true;
    void* pixels = bitmap != nullptr ? bitmap->surface.pixels : nullptr;
    HBITMAP handle = Add(bitmap);
    if (handle != nullptr && bits != nullptr)
        *bits = pixels;
    return handle;
}

} // namespace win32

namespace win32::gdi {

bool CopyPixels(HGDIOBJ handle, PixelCopy* copy)
{
    if (copy == nullptr)
        return false;
    CXRecursiveMutexLocker locker(&Lock());
    Surface surface;
    POINT origin = {0, 0};
    if (Bitmap* bitmap = Find<Bitmap>(handle)) {
        surface = bitmap->surface;
    } else if (DeviceContext* dc = FindDC(static_cast<HDC>(handle))) {
        surface = dc->target;
        origin = dc->surfaceOrigin;
    }
    if (surface.IsEmpty())
        return false;
    copy->width = surface.width;
    copy->height = surface.height;
    copy->origin = origin;
    copy->pixels.resize(static_cast<size_t>(surface.width) * static_cast<size_t>(surface.height));
    for (int y = 0; y < surface.height; ++y)
        std::memcpy(&copy->pixels[static_cast<size_t>(y) * static_cast<size_t>(surface.width)], surface.Row(y),
                    static_cast<size_t>(surface.width) * 4);
    return true;
}

} // namespace win32::gdi
