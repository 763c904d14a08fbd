// The BMP and raw file readers of CXBitmap.
#include "toolkit/CXBitmap.h"

#include "foundation/CXDebug.h"
#include "streams/CXStream.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// A little-endian field of 2 or 4 bytes; 0 after a short read.
uint32_t ReadLittleEndian(CXStream& stream, unsigned size)
{
    uint8_t bytes[4] = {};
    if (stream.Read(bytes, size) != size)
        return 0;
    uint32_t value = 0;
    for (unsigned i = size; i-- > 0;)
        value = value << 8 | bytes[i];
    return value;
}

// A big-endian 16-bit field; 0 after a short read.
uint32_t ReadBigEndian16(CXStream& stream)
{
    uint8_t bytes[2] = {};
    if (stream.Read(bytes, 2) != 2)
        return 0;
    return uint32_t{bytes[0]} << 8 | bytes[1];
}

// The first file bytes b0 b1 b2 b3 of a 32-bit pixel as a value with b2 in bits 0-7, b1 in 8-15,
// b0 in 16-23 and b3 in 24-31.
uint32_t PixelFromBytes(const uint8_t* b)
{
    return uint32_t{b[3]} << 24 | uint32_t{b[0]} << 16 | uint32_t{b[1]} << 8 | b[2];
}

// True when the size is one the readers take.
bool IsReadableSize(int64_t width, int64_t height)
{
    return width >= 1 && width <= CXBitmap::kMaximumDimension && height >= 1 &&
           height <= CXBitmap::kMaximumDimension && width * height <= CXBitmap::kMaximumPixels;
}

constexpr uint32_t kHeaderBytes = 30; // the file header and the info header up to biBitCount

} // namespace

CXResultCode CXBitmap::LoadBitmap(CXStream& stream)
{
    (void)Destroy();
    SetPixelFormat();
    if ((stream.GetCaps() & CXStream::kCapsOpen) == 0) {
        CXDebugLog("CXBitmap::LoadBitmap> stream not open");
        return kCXBrokenPipe;
    }

    uint32_t type = ReadLittleEndian(stream, 2);
    (void)ReadLittleEndian(stream, 4); // bfSize
    (void)ReadLittleEndian(stream, 4); // bfReserved1, bfReserved2
    uint32_t offBits = ReadLittleEndian(stream, 4);
    (void)ReadLittleEndian(stream, 4); // biSize
    auto width = static_cast<int32_t>(ReadLittleEndian(stream, 4));
    auto height = static_cast<int32_t>(ReadLittleEndian(stream, 4));
    (void)ReadLittleEndian(stream, 2); // biPlanes
    uint32_t bitCount = ReadLittleEndian(stream, 2);

    if (type != 0x4D42) {
        CXDebugLog("CXBitmap::LoadBitmap> Unrecognised BMP file header (possibly big-endian) or not BMP file "
                   "(bfType=0x%x)",
                   static_cast<unsigned>(type));
        return kCXNotSupported;
    }
    // The rest of the info header and any colour table lie before the pixels.
    if (offBits >= kHeaderBytes)
        (void)stream.Skip(offBits - kHeaderBytes);
    if (stream.GetResult() != kCXOK) {
        CXDebugLog("CXBitmap::LoadBitmap> Stream read error while reading bitmap header");
        return stream.GetResult();
    }
    if (offBits < kHeaderBytes) {
        CXDebugLog("CXBitmap::LoadBitmap> Pixel data offset inside the header (bfOffBits=%u)",
                   static_cast<unsigned>(offBits));
        return kCXNotSupported;
    }
    if (bitCount != 8 && bitCount != 24 && bitCount != 32) {
        CXDebugLog("CXBitmap::LoadBitmap> Unsupported bit count (%d)", static_cast<int>(bitCount));
        return kCXBadFormat;
    }

    // A negative height marks rows stored top first; INT_MIN has no positive twin in 32 bits.
    bool topDown = height < 0;
    int64_t rows = topDown ? -static_cast<int64_t>(height) : height;
    if (!IsReadableSize(width, rows)) {
        CXDebugLog("CXBitmap::LoadBitmap> Unsupported image size (w=%d, h=%lld)", static_cast<int>(width),
                   static_cast<long long>(rows));
        return kCXBadParameter;
    }
    CXResultCode created = Create(width, static_cast<int32_t>(rows));
    if (created != kCXOK)
        return created;

    int32_t requestedWidth = 0;
    int32_t requestedHeight = 0;
    GetRequestedSize(requestedWidth, requestedHeight);
    uint32_t bytesPerPixel = bitCount / 8;
    uint32_t rowBytes = static_cast<uint32_t>(requestedWidth) * bytesPerPixel;
    uint32_t padding = (4 - rowBytes % 4) % 4;
    std::vector<uint8_t> row(rowBytes);
    for (int32_t fileRow = 0; fileRow < requestedHeight; ++fileRow) {
        // A short row ends the reading: the rows read so far stay.
        if (stream.Read(row.data(), rowBytes) != rowBytes)
            return stream.GetResult() != kCXOK ? stream.GetResult() : kCXEndOfData;
        auto y = static_cast<uint32_t>(topDown ? fileRow : requestedHeight - 1 - fileRow);
        const uint8_t* b = row.data();
        for (uint32_t x = 0; x < static_cast<uint32_t>(requestedWidth); ++x, b += bytesPerPixel) {
            uint32_t value;
            if (bitCount == 32)
                value = PixelFromBytes(b);
            else if (bitCount == 24)
                value = 0xFF000000u | uint32_t{b[0]} << 16 | uint32_t{b[1]} << 8 | b[2];
            else
                value = 0xFF000000u | uint32_t{b[0]} * 0x010101u;
            SetPixel(x, y, value);
        }
        if (padding != 0)
            (void)stream.Skip(padding);
    }
    return stream.GetResult();
}

CXResultCode CXBitmap::LoadRaw(CXStream& stream)
{
    (void)Destroy();
    SetPixelFormat();
    uint32_t width = ReadBigEndian16(stream);
    uint32_t height = ReadBigEndian16(stream);
    if (stream.GetResult() != kCXOK)
        return stream.GetResult();
    // The header can ask for 65535 x 65535 pixels, 17 GB.
    if (!IsReadableSize(width, height)) {
        CXDebugLog("CXBitmap::LoadRaw> Unsupported image size (w=%u, h=%u)", static_cast<unsigned>(width),
                   static_cast<unsigned>(height));
        return kCXBadParameter;
    }
    CXResultCode created = Create(static_cast<int32_t>(width), static_cast<int32_t>(height));
    if (created != kCXOK)
        return created;

    std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
    for (uint32_t y = 0; y < height; ++y) {
        if (stream.Read(row.data(), row.size()) != row.size())
            return stream.GetResult() != kCXOK ? stream.GetResult() : kCXEndOfData;
        const uint8_t* b = row.data();
        for (uint32_t x = 0; x < width; ++x, b += 4)
            SetPixel(x, y, PixelFromBytes(b));
    }
    return stream.GetResult();
}

CXResultCode CXBitmap::Load(CXStream& stream, const char* extension)
{
    if (extension != nullptr && std::strcmp(extension, "raw") == 0)
        return LoadRaw(stream);
    if (extension != nullptr && std::strcmp(extension, "bmp") == 0)
        return LoadBitmap(stream);
    return kCXNotSupported;
}
