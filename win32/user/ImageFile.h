#pragma once

// The BMP reader behind LoadImageW(LR_LOADFROMFILE): uncompressed (BI_RGB) 24- and 32-bit files,
// rows bottom first or, with a negative height, top first. It keeps its own checks of the header,
// the same limits as the toolkit's bitmap reader: 1 to 16384 pixels a side and at most 64 Mpixel,
// all checked before anything is allocated. A 32-bit file whose fourth bytes are all 0 is opaque;
// otherwise they are its alpha, and the bitmap holds the colours premultiplied by it.

#include "win32/api/Types.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace win32::user {

inline constexpr int32_t kImageFileMaximumSide = 16384;
inline constexpr int64_t kImageFileMaximumPixels = 64ll * 1024 * 1024;
// The file header (14 bytes) and BITMAPINFOHEADER (40).
inline constexpr size_t kImageFileHeaderBytes = 54;

// What the checked header says.
struct ImageFileHeader {
    int32_t width = 0;
    int32_t height = 0; // rows, positive
    bool topDown = false;
    uint32_t bytesPerPixel = 0;
    uint64_t pixelOffset = 0; // bfOffBits
    uint64_t rowBytes = 0;    // the stored row, padded to 4 bytes
    // Where the last row ends.
    uint64_t DataEnd() const { return pixelOffset + rowBytes * static_cast<uint64_t>(height); }
};

// The first kImageFileHeaderBytes bytes of a file; nothing (the reason logged) when they are not
// a BMP this reader takes.
std::optional<ImageFileHeader> ReadImageFileHeader(const uint8_t* bytes, size_t size);

// A whole BMP file in memory as a new bitmap (the caller deletes it); NULL when the header is
// refused or the file ends before its last row.
HBITMAP DecodeImageFile(const uint8_t* data, size_t size);

} // namespace win32::user
