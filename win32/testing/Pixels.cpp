#include "win32/testing/Pixels.h"

#include "foundation/CXDebug.h"
#include "win32/gdi/GdiSurface.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace win32::testing {

namespace {

uint64_t PixelAt(HGDIOBJ handle, int x, int y)
{
    gdi::PixelCopy copy;
    if (!gdi::CopyPixels(handle, &copy))
        return kNoPixel;
    x += copy.origin.x;
    y += copy.origin.y;
    if (x < 0 || y < 0 || x >= copy.width || y >= copy.height)
        return kNoPixel;
    return copy.pixels[static_cast<size_t>(y) * static_cast<size_t>(copy.width) + static_cast<size_t>(x)];
}

// One channel of a premultiplied pixel back to straight alpha, rounded.
png_byte Straight(uint32_t channel, uint32_t alpha)
{
    if (alpha == 0)
        return 0;
    uint32_t value = (channel * 255 + alpha / 2) / alpha;
    return static_cast<png_byte>(value > 255 ? 255 : value);
}

} // namespace

uint64_t Pixel(HBITMAP bitmap, int x, int y)
{
    return PixelAt(bitmap, x, y);
}

uint64_t Pixel(HDC hdc, int x, int y)
{
    return PixelAt(hdc, x, y);
}

bool DumpPng(HGDIOBJ handle, const std::string& path)
{
    gdi::PixelCopy copy;
    if (!gdi::CopyPixels(handle, &copy)) {
        CXDebugLog("DumpPng> no pixels to write to %s", path.c_str());
        return false;
    }
    std::vector<png_byte> rows(static_cast<size_t>(copy.width) * static_cast<size_t>(copy.height) * 4);
    for (size_t i = 0; i < copy.pixels.size(); ++i) {
        uint32_t p = copy.pixels[i];
        uint32_t a = p >> 24;
        rows[i * 4 + 0] = Straight((p >> 16) & 0xFF, a);
        rows[i * 4 + 1] = Straight((p >> 8) & 0xFF, a);
        rows[i * 4 + 2] = Straight(p & 0xFF, a);
        rows[i * 4 + 3] = static_cast<png_byte>(a);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        CXDebugLog("DumpPng> cannot open %s", path.c_str());
        return false;
    }
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(copy.width);
    image.height = static_cast<png_uint_32>(copy.height);
    image.format = PNG_FORMAT_RGBA;
    bool written = png_image_write_to_stdio(&image, file, 0, rows.data(), 0, nullptr) != 0;
    bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        CXDebugLog("DumpPng> cannot write %s: %s", path.c_str(), written ? "close failed" : image.message);
        return false;
    }
    return true;
}

bool WritePixelsPng(int width, int height, const std::vector<uint32_t>& pixels, const std::string& path)
{
    if (width <= 0 || height <= 0 || pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
        CXDebugLog("WritePixelsPng> no pixels to write to %s", path.c_str());
        return false;
    }
    std::vector<png_byte> rows(pixels.size() * 4);
    for (size_t i = 0; i < pixels.size(); ++i) {
        uint32_t p = pixels[i];
        rows[i * 4 + 0] = static_cast<png_byte>(p >> 16);
        rows[i * 4 + 1] = static_cast<png_byte>(p >> 8);
        rows[i * 4 + 2] = static_cast<png_byte>(p);
        rows[i * 4 + 3] = static_cast<png_byte>(p >> 24);
    }
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    if (png_image_write_to_file(&image, path.c_str(), 0, rows.data(), 0, nullptr) == 0) {
        CXDebugLog("WritePixelsPng> cannot write %s: %s", path.c_str(), image.message);
        return false;
    }
    return true;
}

bool ReadPixelsPng(const std::string& path, int& width, int& height, std::vector<uint32_t>& pixels)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        CXDebugLog("ReadPixelsPng> cannot read %s: %s", path.c_str(), image.message);
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<png_byte> rows(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, rows.data(), 0, nullptr) == 0) {
        CXDebugLog("ReadPixelsPng> cannot read %s: %s", path.c_str(), image.message);
        png_image_free(&image);
        return false;
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = (static_cast<uint32_t>(rows[i * 4 + 3]) << 24) | (static_cast<uint32_t>(rows[i * 4]) << 16) |
                    (static_cast<uint32_t>(rows[i * 4 + 1]) << 8) | rows[i * 4 + 2];
    return true;
}

GdiObjectCounts LiveGdiObjects()
{
    GdiObjectCounts counts;
    counts.dcs = gdi::LiveCount(core::HandleKind::DC);
    counts.bitmaps = gdi::LiveCount(core::HandleKind::Bitmap);
    counts.brushes = gdi::LiveCount(core::HandleKind::Brush);
    counts.pens = gdi::LiveCount(core::HandleKind::Pen);
    counts.regions = gdi::LiveCount(core::HandleKind::Region);
    counts.fonts = gdi::LiveCount(core::HandleKind::Font);
    return counts;
}

} // namespace win32::testing
