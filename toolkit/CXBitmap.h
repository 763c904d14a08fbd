#pragma once

#include "foundation/CXResultCode.h"
#include "toolkit/KeyedObject.h"

#include <cstdint>

class CXStream;

// Converts `count` pixels of one row from one pixel format into another.
struct CXPixelConverter {
    int32_t destinationFormat; // -1 ends the table
    int32_t sourceFormat;
    void (*convert)(void* destination, const void* source, uint32_t count);
};

// The row converters between pixel formats, ended by an entry whose destination is -1.
extern const CXPixelConverter kCXPixelConverters[];

// An in-memory pixel buffer: rows of a chosen layout and pixel format, top row first.
//
// Layouts: 0 rows padded to a multiple of 32 bytes; 1 rows packed; 2 width and height rounded up
// to powers of two (width at least 8), rows packed. Formats: 0 and 1 hold 4 bytes per pixel, 2
// holds 2 (four bits a channel). Format 0 is what the readers produce: one 32-bit value a pixel,
// red in bits 0-7, green 8-15, blue 16-23, alpha 24-31.
//
// The readers take BMP files (8, 24 and 32 bits; 8-bit pixels are grey levels, the colour table
// is not applied) and the toolkit's raw files (16-bit big-endian width and height, then 4 bytes
// a pixel, rows top first). A file of more than kMaximumDimension pixels a side or
// kMaximumPixels pixels in all is refused with -5 before anything is allocated.
class CXBitmap : public KeyedObject {
public:
    static constexpr int32_t kMaximumDimension = 16384;
    static constexpr int64_t kMaximumPixels = 64ll * 1024 * 1024;

    CXBitmap();
    // Frees owned pixels.
    ~CXBitmap() override;
    CXBitmap(const CXBitmap&) = delete;

    // Becomes a copy of the source's pixels in the source's layout and format (the keys are not
    // copied). An empty source leaves this bitmap empty. When the copy cannot be made the failure
    // is reported and this bitmap is left empty.
    CXBitmap& operator=(const CXBitmap& source);

    // Allocates zeroed rows for the size in the current layout and format. Creating again at the
    // same size keeps the pixels. A size that is zero, negative or too large for memory sizes is
    // reported and gives -5; a failed allocation is reported and gives -6; either way the bitmap
    // is left without pixels.
    virtual CXResultCode Create(int32_t width, int32_t height);
    // Frees owned pixels; every size becomes 0. Always 0.
    virtual CXResultCode Destroy();
    virtual bool IsCreated() const;
    // The first row; null, reported, when the bitmap has no pixels.
    virtual uint8_t* GetBaseAddress();
    virtual const uint8_t* GetBaseAddress() const;
    virtual int32_t GetRowBytes() const;
    // The allocated size.
    virtual void GetSize(int32_t& width, int32_t& height) const;
    // The size asked of Create.
    virtual void GetRequestedSize(int32_t& width, int32_t& height) const;

    // Sets the format to 0; reported when pixels exist (the format is set all the same).
    void SetPixelFormat();
    // The row layout for the next Create (0, 1 or 2). Refused, reported, on an existing buffer or
    // for an unknown layout.
    void SetLayout(int32_t layout);
    int32_t GetLayout() const { return fLayout; }
    int32_t GetPixelFormat() const { return fFormat; }

    // The pixel value at column x of row y: 32 bits in formats 0 and 1, the low 16 bits in format
    // 2. Outside the allocated size nothing is written and 0 is read.
    void SetPixel(uint32_t x, uint32_t y, uint32_t value);
    uint32_t GetPixel(uint32_t x, uint32_t y) const;

    // The smallest power of two at or above n; 0 for n of 0, below 0, or above 2^30.
    static int32_t NextPowerOfTwo(int32_t n);

    // Readers. Each starts by emptying the bitmap and setting format 0; on failure the bitmap is
    // left without pixels or with the rows read so far. Results: -4 stream not open (BMP), -2 not
    // a BMP file or a pixel offset inside the header, -12 an unsupported bit count, -5 a size
    // that is zero or above the limits, else the stream's last result.
    [[nodiscard]] CXResultCode LoadBitmap(CXStream& stream);
    [[nodiscard]] CXResultCode LoadRaw(CXStream& stream);
    // "raw" reads a raw file, "bmp" a BMP file (exact bytes); any other extension gives -2.
    [[nodiscard]] CXResultCode Load(CXStream& stream, const char* extension);

protected:
    int32_t BytesPerPixel() const { return fFormat == 2 ? 2 : 4; }

private:
    uint32_t fWidth = 0;
    uint32_t fHeight = 0;
    int32_t fRowBytes = 0;
    int32_t fRequestedWidth = 0;
    int32_t fRequestedHeight = 0;
    uint8_t* fPixels = nullptr;
    int32_t fLayout = 0;
    int32_t fFormat = 0;
    bool fOwnsPixels = false;
};
