// LoadImageW from a BMP file, and the reader behind it.

#include "win32/user/ImageFile.h"

#include "foundation/CXDebug.h"
#include "foundation/CXTextEncoding.h"
#include "platform/File.h"
#include "win32/api/StaticImage.h"
#include "win32/core/Core.h"
#include "win32/gdi/Gdi.h"
#include "win32/user/User.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace win32 {

namespace {

constexpr DWORD kErrorFileNotFound = 2;
constexpr DWORD kErrorBadFormat = 11;

uint32_t Little(const uint8_t* b, unsigned size)
{
    uint32_t value = 0;
    for (unsigned i = size; i-- > 0;)
        value = value << 8 | b[i];
    return value;
}

// Reads the stored row at the offset into `row`, zero-filling what is missing; answers the bytes
// read.
using RowReader = std::function<size_t(uint64_t offset, uint8_t* row, size_t size)>;

// True when a file of `size` bytes holds every pixel (the last row's padding may be missing), so
// a hostile header asks for no memory its file cannot fill.
bool HoldsEveryRow(const user::ImageFileHeader& header, uint64_t size)
{
    const uint64_t lastRowEnd = header.pixelOffset + header.rowBytes * static_cast<uint64_t>(header.height - 1) +
                                static_cast<uint64_t>(header.width) * header.bytesPerPixel;
    if (lastRowEnd > size) {
        CXDebugLog("LoadImageW> the file (%llu bytes) ends before its last row (%llu)",
                   static_cast<unsigned long long>(size), static_cast<unsigned long long>(lastRowEnd));
        return false;
    }
    return true;
}

// The rows into a new top-down 32-bit bitmap; NULL when a row is missing or memory runs out.
HBITMAP DecodeRows(const user::ImageFileHeader& header, const RowReader& readRow)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = header.width;
    info.bmiHeader.biHeight = -header.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        CXDebugLog("LoadImageW> no memory for %d x %d pixels", header.width, header.height);
        if (bitmap != nullptr)
            (void)DeleteObject(bitmap);
        return nullptr;
    }
    auto* pixels = static_cast<uint8_t*>(bits);
    const size_t width = static_cast<size_t>(header.width);
    std::vector<uint8_t> row(static_cast<size_t>(header.rowBytes));
    bool anyAlpha = false;
    for (int32_t fileRow = 0; fileRow < header.height; ++fileRow) {
        const uint64_t offset = header.pixelOffset + header.rowBytes * static_cast<uint64_t>(fileRow);
        if (readRow(offset, row.data(), row.size()) < width * header.bytesPerPixel) {
            CXDebugLog("LoadImageW> the file ends before row %d of %d", fileRow, header.height);
            (void)DeleteObject(bitmap);
            return nullptr;
        }
        const int32_t y = header.topDown ? fileRow : header.height - 1 - fileRow;
        uint8_t* out = pixels + static_cast<size_t>(y) * width * 4;
        const uint8_t* in = row.data();
        for (size_t x = 0; x < width; ++x, in += header.bytesPerPixel, out += 4) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = header.bytesPerPixel == 4 ? in[3] : 0xFF;
            anyAlpha = anyAlpha || (header.bytesPerPixel == 4 && in[3] != 0);
        }
    }
    if (header.bytesPerPixel == 4) {
        // All-zero fourth bytes are the unused byte of a plain 32-bit file, not transparency.
        uint8_t* p = pixels;
        for (size_t i = 0; i < width * static_cast<size_t>(header.height); ++i, p += 4) {
            if (!anyAlpha) {
                p[3] = 0xFF;
                continue;
            }
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<uint8_t>((p[c] * p[3] + 127) / 255);
        }
    }
    return bitmap;
}

HANDLE Fail(DWORD error)
{
    SetLastError(error);
    return nullptr;
}

} // namespace

namespace user {

std::optional<ImageFileHeader> ReadImageFileHeader(const uint8_t* bytes, size_t size)
{
    if (bytes == nullptr || size < kImageFileHeaderBytes) {
        CXDebugLog("LoadImageW> shorter than a BMP header (%zu bytes)", size);
        return std::nullopt;
    }
    const uint32_t type = Little(bytes, 2);
    const uint32_t offBits = Little(bytes + 10, 4);
    const uint32_t infoSize = Little(bytes + 14, 4);
    const auto width = static_cast<int32_t>(Little(bytes + 18, 4));
    const auto height = static_cast<int32_t>(Little(bytes + 22, 4));
    const uint32_t planes = Little(bytes + 26, 2);
    const uint32_t bitCount = Little(bytes + 28, 2);
    const uint32_t compression = Little(bytes + 30, 4);
    if (type != 0x4D42) {
        CXDebugLog("LoadImageW> not a BMP file (bfType=0x%x)", static_cast<unsigned>(type));
        return std::nullopt;
    }
    if (infoSize < 40 || uint64_t{offBits} < 14 + uint64_t{infoSize}) {
        CXDebugLog("LoadImageW> bad header sizes (biSize=%u, bfOffBits=%u)", static_cast<unsigned>(infoSize),
                   static_cast<unsigned>(offBits));
        return std::nullopt;
    }
    if (planes != 1 || (bitCount != 24 && bitCount != 32) || compression != BI_RGB) {
        CXDebugLog("LoadImageW> unsupported format (planes %u, %u bits, compression %u)", static_cast<unsigned>(planes),
                   static_cast<unsigned>(bitCount), static_cast<unsigned>(compression));
        return std::nullopt;
    }
    // A negative height marks rows stored top first; INT_MIN has no positive twin in 32 bits.
    const int64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
    if (width < 1 || width > kImageFileMaximumSide || rows < 1 || rows > kImageFileMaximumSide ||
        int64_t{width} * rows > kImageFileMaximumPixels) {
        CXDebugLog("LoadImageW> unsupported image size (w=%d, h=%lld)", width, static_cast<long long>(rows));
        return std::nullopt;
    }
    ImageFileHeader header;
    header.width = width;
    header.height = static_cast<int32_t>(rows);
    header.topDown = height < 0;
    header.bytesPerPixel = bitCount / 8;
    header.pixelOffset = offBits;
    header.rowBytes = (static_cast<uint64_t>(width) * header.bytesPerPixel + 3) / 4 * 4;
    return header;
}

HBITMAP DecodeImageFile(const uint8_t* data, size_t size)
{
    std::optional<ImageFileHeader> header = ReadImageFileHeader(data, size);
    if (!header || !HoldsEveryRow(*header, size))
        return nullptr;
    auto readRow = [data, size](uint64_t offset, uint8_t* row, size_t rowSize) -> size_t {
        std::memset(row, 0, rowSize);
        if (offset >= size)
            return 0;
        const size_t copied = std::min(rowSize, static_cast<size_t>(size - offset));
        std::memcpy(row, data + offset, copied);
        return copied;
    };
    return DecodeRows(*header, readRow);
}

} // namespace user

HANDLE LoadImageW(HINSTANCE, LPCWSTR name, UINT type, int, int, UINT flags)
{
    if ((flags & LR_LOADFROMFILE) == 0 || type != IMAGE_BITMAP || name == nullptr || IS_INTRESOURCE(name))
        return Fail(ERROR_INVALID_PARAMETER);
    const CXString path = ConvertUTF16ToUTF8(CXString::FromUTF16CString(name));
    int fd = -1;
    if (Platform::OpenFile(std::string(path.c_str(), path.length()), Platform::kOpenRead | Platform::kOpenNonBlock, 0,
                           fd) != 0)
        return Fail(kErrorFileNotFound);
    Platform::FileInfo info;
    uint8_t bytes[user::kImageFileHeaderBytes] = {};
    size_t read = 0;
    bool headerRead = Platform::StatFile(fd, info) == 0 && info.isFile &&
                      Platform::ReadFileAt(fd, bytes, sizeof(bytes), 0, read) == 0;
    std::optional<user::ImageFileHeader> header;
    if (headerRead)
        header = user::ReadImageFileHeader(bytes, read);
    HBITMAP bitmap = nullptr;
    if (header && HoldsEveryRow(*header, info.size)) {
        auto readRow = [fd](uint64_t offset, uint8_t* row, size_t rowSize) -> size_t {
            std::memset(row, 0, rowSize);
            size_t got = 0;
            while (got < rowSize) {
                size_t n = 0;
                if (Platform::ReadFileAt(fd, row + got, rowSize - got, static_cast<int64_t>(offset + got), n) != 0 ||
                    n == 0)
                    break;
                got += n;
            }
            return got;
        };
        bitmap = DecodeRows(*header, readRow);
    }
    (void)Platform::CloseFile(fd);
    if (bitmap == nullptr)
        return Fail(kErrorBadFormat);
    return bitmap;
}

} // namespace win32
