#include "toolkit/CXBitmap.h"

#include "foundation/CXDebug.h"
#include "platform/File.h"
#include "streams/CXStreamFile.h"
#include "streams/CXStreamMemory.h"
#include "support/ScopedDriveMap.h"
#include "support/ScopedHeapFailure.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(Bytes& out, uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// The byte of a file row: distinct enough that a swapped channel, row or column shows.
uint8_t FileByte(int row, int column, int channel)
{
    return static_cast<uint8_t>(row * 67 + column * 13 + channel * 5 + 1);
}

constexpr uint8_t kPaddingByte = 0xEE;

// A BMP file as a common writer makes it: 14-byte file header, 40-byte info header, for 8 bits a
// colour table of 256 entries (which maps every grey level elsewhere, so applying it would show),
// then the rows in file order, each padded to 4 bytes with kPaddingByte.
Bytes MakeBmp(int bits, int32_t width, int32_t height, uint32_t offBitsOverride = 0)
{
    int rows = height < 0 ? -height : height;
    uint32_t tableBytes = bits == 8 ? 1024 : 0;
    uint32_t offBits = offBitsOverride != 0 ? offBitsOverride : 54 + tableBytes;
    Bytes out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, 0); // size, not read
    Put32(out, 0);
    Put32(out, offBits);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height));
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(bits));
    Put32(out, 0); // compression
    Put32(out, 0);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (uint32_t i = 0; i < tableBytes / 4; ++i)
        Put32(out, 0x00FFFFFF - i * 0x010101);
    int bytesPerPixel = bits / 8;
    for (int row = 0; row < rows; ++row) {
        int count = 0;
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < bytesPerPixel; ++c, ++count)
                out.push_back(FileByte(row, x, c));
        while (count % 4 != 0) {
            out.push_back(kPaddingByte);
            ++count;
        }
    }
    return out;
}

// The pixel value the reader must make of file row `row`, column x.
uint32_t ExpectedPixel(int bits, int row, int x)
{
    uint32_t b0 = FileByte(row, x, 0);
    uint32_t b1 = bits >= 24 ? FileByte(row, x, 1) : b0;
    uint32_t b2 = bits >= 24 ? FileByte(row, x, 2) : b0;
    uint32_t alpha = bits == 32 ? FileByte(row, x, 3) : 0xFF;
    return alpha << 24 | b0 << 16 | b1 << 8 | b2;
}

CXResultCode LoadBmpBytes(CXBitmap& bitmap, const Bytes& bytes, int64_t* endPosition = nullptr)
{
    CXStreamStaticBuffer stream;
    EXPECT_TRUE(stream.OpenReadOnly(bytes.data(), bytes.size()));
    CXResultCode result = bitmap.LoadBitmap(stream);
    if (endPosition != nullptr)
        *endPosition = stream.GetPosition();
    return result;
}

CXResultCode LoadRawBytes(CXBitmap& bitmap, const Bytes& bytes)
{
    CXStreamStaticBuffer stream;
    EXPECT_TRUE(stream.OpenReadOnly(bytes.data(), bytes.size()));
    return bitmap.LoadRaw(stream);
}

TEST(CXBitmapTest, CreateGivesRowBytesAndSizeForEachLayout)
{
    struct Case {
        int32_t layout;
        int32_t width, height;
        int32_t allocatedWidth, allocatedHeight, rowBytes;
    };
    const Case cases[] = {
        {0, 3, 2, 3, 2, 32},  {1, 3, 2, 3, 2, 12},  {2, 3, 2, 8, 2, 32},   {0, 8, 1, 8, 1, 32},
        {0, 9, 1, 9, 1, 64},  {2, 5, 5, 8, 8, 32},  {2, 9, 3, 16, 4, 64},  {1, 1, 1, 1, 1, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "layout " << c.layout << " " << c.width << "x" << c.height);
        CXBitmap bitmap;
        bitmap.SetLayout(c.layout);
        ASSERT_EQ(bitmap.Create(c.width, c.height), kCXOK);
        int32_t w = 0, h = 0;
        bitmap.GetSize(w, h);
        EXPECT_EQ(w, c.allocatedWidth);
        EXPECT_EQ(h, c.allocatedHeight);
        bitmap.GetRequestedSize(w, h);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
        EXPECT_EQ(bitmap.GetRowBytes(), c.rowBytes);
        // Zeroed, and every allocated pixel is addressable.
        for (int32_t y = 0; y < c.allocatedHeight; ++y)
            for (int32_t x = 0; x < c.allocatedWidth; ++x) {
                ASSERT_EQ(bitmap.GetPixel(x, y), 0u);
                bitmap.SetPixel(x, y, 0xFFFFFFFF);
            }
    }
}

TEST(CXBitmapTest, CreateRefusesSizesThatDoNotFit)
{
    struct Case {
        int32_t layout, width, height;
        const char* log;
    };
    const Case cases[] = {
        {0, 0, 5, "CXBitmap::Create> invalid size (w=0, h=5)"},
        {0, 5, 0, "invalid size (w=5, h=0)"},
        {0, -1, 5, "invalid size"},
        {1, 5, -3, "invalid size"},
        {2, -4, 4, "invalid size"},
        {2, 4, 0, "invalid size"},
        {0, INT_MAX, 2, "invalid size"},     // row bytes past 32 bits
        {1, 0x20000000, 1, "invalid size"},  // 2^29 pixels of 4 bytes: 2^31 row bytes
        {2, (1 << 30) + 1, 1, "invalid size"}, // no power of two in 32 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "layout " << c.layout << " " << c.width << "x" << c.height);
        CXDebugCapture capture;
        CXBitmap bitmap;
        bitmap.SetLayout(c.layout);
        EXPECT_EQ(bitmap.Create(c.width, c.height), kCXBadParameter);
        EXPECT_TRUE(capture.Contains(c.log));
        EXPECT_FALSE(bitmap.IsCreated());
        EXPECT_EQ(bitmap.GetRowBytes(), 0);
    }
}

TEST(CXBitmapTest, FailedAllocationLeavesNoPixels)
{
    CXDebugCapture capture;
    CXBitmap bitmap;
    ASSERT_EQ(bitmap.Create(2, 2), kCXOK);
    {
        ScopedHeapFailure failure(4096);
        EXPECT_LT(bitmap.Create(64, 64), 0);
    }
    EXPECT_TRUE(capture.Contains("CXBitmap::Create> allocation failed (w=64, h=64)"));
    EXPECT_FALSE(bitmap.IsCreated());
    EXPECT_EQ(bitmap.GetRowBytes(), 0);
    EXPECT_EQ(bitmap.GetBaseAddress(), nullptr);
    EXPECT_TRUE(capture.Contains("CXBitmap::GetBaseAddress> CXBitmap not created"));
}

TEST(CXBitmapTest, CreateAgainKeepsPixelsOnlyAtTheSameSize)
{
    CXBitmap bitmap;
    ASSERT_EQ(bitmap.Create(4, 3), kCXOK);
    bitmap.SetPixel(3, 2, 0x12345678);
    ASSERT_EQ(bitmap.Create(4, 3), kCXOK);
    EXPECT_EQ(bitmap.GetPixel(3, 2), 0x12345678u);
    ASSERT_EQ(bitmap.Create(5, 3), kCXOK);
    EXPECT_EQ(bitmap.GetPixel(3, 2), 0u);
}

TEST(CXBitmapTest, PixelsOutsideTheBitmapReadZeroAndAreNotWritten)
{
    CXBitmap bitmap;
    EXPECT_EQ(bitmap.GetPixel(0, 0), 0u);
    bitmap.SetPixel(0, 0, 1);
    ASSERT_EQ(bitmap.Create(2, 2), kCXOK);
    for (uint32_t x : {2u, 0xFFFFFFFFu})
        bitmap.SetPixel(x, 0, 0xAABBCCDD);
    bitmap.SetPixel(0, 2, 0xAABBCCDD);
    EXPECT_EQ(bitmap.GetPixel(2, 0), 0u);
    EXPECT_EQ(bitmap.GetPixel(0, 2), 0u);
    EXPECT_EQ(bitmap.GetPixel(1, 0), 0u); // the write at (2, 0) did not spill into the row
}

TEST(CXBitmapTest, LayoutAndFormatAreFixedWhilePixelsExist)
{
    CXDebugCapture capture;
    CXBitmap bitmap;
    ASSERT_EQ(bitmap.Create(3, 2), kCXOK);
    bitmap.SetLayout(2);
    EXPECT_EQ(bitmap.GetLayout(), 0);
    EXPECT_TRUE(capture.Contains("CXBitmap::SetLayout> Cannot be used on an existing buffer"));
    bitmap.SetPixelFormat();
    EXPECT_TRUE(capture.Contains("CXBitmap::SetPixelFormat> Cannot be used on an existing buffer"));
    ASSERT_EQ(bitmap.Destroy(), kCXOK);
    int32_t w = -1, h = -1;
    bitmap.GetRequestedSize(w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    bitmap.SetLayout(2);
    EXPECT_EQ(bitmap.GetLayout(), 2);
}

TEST(CXBitmapTest, NextPowerOfTwo)
{
    const std::pair<int32_t, int32_t> cases[] = {{0, 0},   {1, 1},          {2, 2},
                                                 {3, 4},   {5, 8},          {1024, 1024},
                                                 {1025, 2048}, {1 << 30, 1 << 30}, {(1 << 30) + 1, 0},
                                                 {-7, 0}};
    for (auto [n, expected] : cases)
        EXPECT_EQ(CXBitmap::NextPowerOfTwo(n), expected) << n;
}

TEST(CXBitmapTest, ConverterTable)
{
    auto find = [](int32_t destination, int32_t source) -> const CXPixelConverter* {
        for (const CXPixelConverter* c = kCXPixelConverters; c->destinationFormat != -1; ++c)
            if (c->destinationFormat == destination && c->sourceFormat == source)
                return c;
        return nullptr;
    };
    const uint32_t source[2] = {0x87654321u, 0x0F1E2D3Cu};
    uint16_t halves[2] = {};
    ASSERT_NE(find(2, 0), nullptr);
    find(2, 0)->convert(halves, source, 2);
    EXPECT_EQ(halves[0], 0x2468); // high nibbles of bytes 0, 1, 2, 3
    EXPECT_EQ(halves[1], 0x3210);
    ASSERT_NE(find(2, 1), nullptr);
    find(2, 1)->convert(halves, source, 2);
    EXPECT_EQ(halves[0], 0x8642); // bytes 3, 2, 1, 0
    EXPECT_EQ(halves[1], 0x0123);
    uint16_t copied[2] = {};
    find(2, 2)->convert(copied, halves, 2);
    EXPECT_EQ(copied[1], 0x0123);
    for (int32_t format : {0, 1}) {
        uint32_t out[2] = {};
        ASSERT_NE(find(format, format), nullptr);
        find(format, format)->convert(out, source, 2);
        EXPECT_EQ(out[1], source[1]);
    }
    EXPECT_EQ(find(0, 1), nullptr);
    EXPECT_EQ(find(0, 2), nullptr);
}

TEST(CXBitmapTest, AssignmentCopiesPixelsLayoutAndSize)
{
    CXBitmap source;
    source.SetLayout(2);
    ASSERT_EQ(source.Create(5, 3), kCXOK);
    source.SetPixel(4, 2, 0xCAFEBABE);
    source.SetPixel(7, 3, 0x01020304); // allocated, outside the requested size

    CXBitmap copy;
    ASSERT_EQ(copy.Create(1, 1), kCXOK);
    copy = source;
    EXPECT_EQ(copy.GetLayout(), 2);
    int32_t w = 0, h = 0;
    copy.GetRequestedSize(w, h);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 3);
    EXPECT_EQ(copy.GetRowBytes(), source.GetRowBytes());
    EXPECT_EQ(copy.GetPixel(4, 2), 0xCAFEBABEu);
    EXPECT_EQ(copy.GetPixel(7, 3), 0x01020304u);

    CXBitmap& same = copy;
    copy = same; // itself: nothing changes
    EXPECT_EQ(copy.GetPixel(4, 2), 0xCAFEBABEu);

    CXBitmap empty;
    copy = empty;
    EXPECT_FALSE(copy.IsCreated());
}

// A bitmap that makes its rows half as wide as asked, so a copy into it meets rows shorter than
// the source's.
class NarrowBitmap : public CXBitmap {
public:
    using CXBitmap::operator=;
    CXResultCode Create(int32_t width, int32_t height) override { return CXBitmap::Create(width / 2, height); }
};

TEST(CXBitmapTest, AssignmentWithAnotherPitchCopiesNoMoreThanItsOwnRows)
{
    CXBitmap source;
    source.SetLayout(1);
    ASSERT_EQ(source.Create(8, 3), kCXOK);
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            source.SetPixel(x, y, y * 16 + x + 1);

    CXDebugCapture capture;
    NarrowBitmap narrow;
    narrow.SetLayout(1);
    narrow = source;
    EXPECT_TRUE(capture.Contains("CXBitmap::operator= > pitch mismatched"));
    ASSERT_EQ(narrow.GetRowBytes(), 16);
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 4; ++x)
            EXPECT_EQ(narrow.GetPixel(x, y), y * 16 + x + 1);
}

TEST(CXBitmapTest, FailedAssignmentLeavesNoPixels)
{
    CXBitmap source;
    ASSERT_EQ(source.Create(64, 64), kCXOK);
    CXBitmap copy;
    CXDebugCapture capture;
    {
        ScopedHeapFailure failure(4096);
        copy = source;
    }
    EXPECT_TRUE(capture.Contains("CXBitmap::operator= > failed with error"));
    EXPECT_FALSE(copy.IsCreated());
}

// Every bit depth, widths 1 to 5 (every padding), both row orders and the three layouts: each
// memory pixel holds its file pixel, rows land the right way up, padding is passed over and the
// whole file is consumed.
TEST(CXBitmapTest, ReadsBmpFiles)
{
    for (int bits : {8, 24, 32})
        for (int32_t width = 1; width <= 5; ++width)
            for (bool topDown : {false, true})
                for (int32_t layout : {0, 1, 2}) {
                    SCOPED_TRACE(testing::Message() << bits << " bits, width " << width << (topDown ? ", top-down" : ", bottom-up")
                                                    << ", layout " << layout);
                    const int32_t height = 3;
                    Bytes file = MakeBmp(bits, width, topDown ? -height : height);
                    CXBitmap bitmap;
                    bitmap.SetLayout(layout);
                    int64_t end = 0;
                    ASSERT_EQ(LoadBmpBytes(bitmap, file, &end), kCXOK);
                    EXPECT_EQ(end, static_cast<int64_t>(file.size()));
                    EXPECT_EQ(bitmap.GetPixelFormat(), 0);
                    int32_t w = 0, h = 0;
                    bitmap.GetRequestedSize(w, h);
                    ASSERT_EQ(w, width);
                    ASSERT_EQ(h, height);
                    int32_t allocatedWidth = 0, allocatedHeight = 0;
                    bitmap.GetSize(allocatedWidth, allocatedHeight);
                    for (int32_t y = 0; y < allocatedHeight; ++y)
                        for (int32_t x = 0; x < allocatedWidth; ++x) {
                            int fileRow = topDown ? y : height - 1 - y;
                            uint32_t expected = x < width && y < height ? ExpectedPixel(bits, fileRow, x) : 0;
                            ASSERT_EQ(bitmap.GetPixel(x, y), expected) << "at " << x << "," << y;
                        }
                }
}

TEST(CXBitmapTest, BmpPixelValues)
{
    struct Case {
        int bits;
        Bytes pixel;
        uint32_t expected;
    };
    const Case cases[] = {
        {24, {0x10, 0x20, 0x30}, 0xFF102030u},       // blue, green, red: red ends in bits 0-7
        {32, {0x10, 0x20, 0x30, 0x40}, 0x40102030u}, // the fourth byte is alpha
        {32, {0x10, 0x20, 0x30, 0x00}, 0x00102030u},
        {8, {0x80}, 0xFF808080u},                    // a grey level, whatever the colour table says
    };
    for (const Case& c : cases) {
        Bytes file = MakeBmp(c.bits, 1, 1);
        size_t at = file.size() - 4; // the one padded row
        std::copy(c.pixel.begin(), c.pixel.end(), file.begin() + static_cast<ptrdiff_t>(at));
        CXBitmap bitmap;
        ASSERT_EQ(LoadBmpBytes(bitmap, file), kCXOK);
        EXPECT_EQ(bitmap.GetPixel(0, 0), c.expected) << c.bits << " bits";
    }
}

TEST(CXBitmapTest, ReadingReplacesTheFormerPixels)
{
    CXBitmap bitmap;
    ASSERT_EQ(bitmap.Create(10, 10), kCXOK);
    bitmap.SetPixel(9, 9, 7);
    ASSERT_EQ(LoadBmpBytes(bitmap, MakeBmp(24, 2, 2)), kCXOK);
    int32_t w = 0, h = 0;
    bitmap.GetSize(w, h);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 2);
}

Bytes Truncated(Bytes bytes, size_t size)
{
    bytes.resize(size);
    return bytes;
}

Bytes WithField32(Bytes bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    return bytes;
}

TEST(CXBitmapTest, RefusesDamagedBmpFiles)
{
    const Bytes good = MakeBmp(24, 3, 2);
    Bytes swapped = good;
    std::swap(swapped[0], swapped[1]);
    Bytes sixteen = good;
    sixteen[28] = 16;
    struct Case {
        const char* name;
        Bytes bytes;
        int32_t expected;
        const char* log; // null: no particular line
    };
    const Case cases[] = {
        {"byte order swapped", swapped, -2, "(possibly big-endian) or not BMP file (bfType=0x424d)"},
        {"one byte", {'B'}, -2, "bfType=0x0"},
        {"16 bits", sixteen, -12, "CXBitmap::LoadBitmap> Unsupported bit count (16)"},
        {"cut after the type", Truncated(good, 2), -3, "Stream read error while reading bitmap header"},
        {"cut in the header", Truncated(good, 20), -3, "Stream read error while reading bitmap header"},
        {"cut in the pixels", Truncated(good, good.size() - 5), -3, nullptr},
        {"no padding after the last row", Truncated(good, good.size() - 3), 0, nullptr}, // tolerated
        {"offset inside the header", WithField32(good, 10, 29), -2, "Pixel data offset inside the header (bfOffBits=29)"},
        {"offset 0", WithField32(good, 10, 0), -2, "bfOffBits=0"},
        {"negative width", WithField32(good, 18, static_cast<uint32_t>(-3)), -5, "Unsupported image size (w=-3, h=2)"},
        {"zero width", WithField32(good, 18, 0), -5, "Unsupported image size"},
        {"zero height", WithField32(good, 22, 0), -5, "Unsupported image size"},
        {"width past the limit", WithField32(good, 18, 16385), -5, "Unsupported image size"},
        {"height past the limit", WithField32(good, 22, static_cast<uint32_t>(-16385)), -5, "Unsupported image size"},
        {"height INT_MIN", WithField32(good, 22, 0x80000000u), -5, "h=2147483648"},
        {"width INT_MIN", WithField32(good, 18, 0x80000000u), -5, "Unsupported image size"},
        {"64 Mpixel exceeded", WithField32(WithField32(good, 18, 8192), 22, 8193), -5, "Unsupported image size"},
        {"16384 x 16384", WithField32(WithField32(good, 18, 16384), 22, 16384), -5, "Unsupported image size"},
        // The bit count and the type are judged before the size.
        {"16 bits and a huge width", WithField32(sixteen, 18, 0x7FFFFFFF), -12, "Unsupported bit count"},
        {"swapped and a huge width", WithField32(swapped, 18, 0x7FFFFFFF), -2, "bfType"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CXDebugCapture capture;
        CXBitmap bitmap;
        EXPECT_EQ(LoadBmpBytes(bitmap, c.bytes), c.expected);
        if (c.log != nullptr) {
            EXPECT_TRUE(capture.Contains(c.log));
        }
        if (c.expected != -3 && c.expected != 0) {
            EXPECT_FALSE(bitmap.IsCreated());
        }
    }
}

TEST(CXBitmapTest, TruncatedBmpKeepsTheRowsReadSoFar)
{
    Bytes file = MakeBmp(32, 2, -3); // top-down: the first file row is memory row 0
    file.resize(file.size() - 1);    // the last row cut short
    CXBitmap bitmap;
    EXPECT_EQ(LoadBmpBytes(bitmap, file), kCXEndOfData);
    ASSERT_TRUE(bitmap.IsCreated());
    EXPECT_EQ(bitmap.GetPixel(1, 1), ExpectedPixel(32, 1, 1));
    EXPECT_EQ(bitmap.GetPixel(0, 2), 0u);
}

TEST(CXBitmapTest, ClosedStreamIsRefused)
{
    CXDebugCapture capture;
    CXStreamStaticBuffer stream; // never opened
    CXBitmap bitmap;
    ASSERT_EQ(bitmap.Create(1, 1), kCXOK);
    EXPECT_EQ(bitmap.LoadBitmap(stream), kCXBrokenPipe);
    EXPECT_TRUE(capture.Contains("CXBitmap::LoadBitmap> stream not open"));
    EXPECT_FALSE(bitmap.IsCreated());
}

class CXBitmapFileTest : public testing::Test {
protected:
    void TearDown() override { Platform::ClearFaults(); }

    // Writes the bytes to C:/name and opens it for reading.
    void OpenFile(CXStreamFile& stream, const Bytes& bytes)
    {
        std::ofstream(fScratch / "picture.bmp", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(stream.Open("C:/picture.bmp", CXStreamFile::kModeRead));
    }

    ScratchFolder fScratch;
    ScopedDriveMap fDrives{fScratch.Path()};
};

// A read that fails among the rows gives the stream's error: the rows are longer than half the
// stream's buffer, so the second host read is the first row's, made straight into the bitmap's row.
TEST_F(CXBitmapFileTest, FailedReadGivesTheStreamError)
{
    CXStreamFile stream;
    OpenFile(stream, MakeBmp(32, 4096, 2));
    Platform::ArmFault(Platform::kFaultRead, 2, EIO);
    CXDebugCapture capture;
    CXBitmap bitmap;
    EXPECT_EQ(bitmap.LoadBitmap(stream), CXResultCode::FromPosixErr(EIO));
    EXPECT_EQ(Platform::FaultSeamCalls(Platform::kFaultRead), 2);
}

TEST_F(CXBitmapFileTest, LoadChoosesTheReaderByExtension)
{
    const Bytes bmp = MakeBmp(24, 2, 2);
    struct Case {
        const char* extension;
        int32_t expected;
    };
    const Case cases[] = {{"bmp", 0}, {"raw", -5}, {"BMP", -2}, {"png", -2}, {"", -2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension);
        CXDebugCapture capture;
        CXStreamFile stream;
        OpenFile(stream, bmp);
        CXBitmap bitmap;
        // As a raw file, "BM" is a width of 16973 pixels: past the limit.
        EXPECT_EQ(bitmap.Load(stream, c.extension), c.expected);
    }
}

TEST(CXBitmapTest, ReadsARawFile)
{
    const Bytes raw = {0x00, 0x02, 0x00, 0x01, 0x10, 0x20, 0x30, 0x40, 0xA0, 0xB0, 0xC0, 0xFF};
    CXStreamStaticBuffer stream;
    ASSERT_TRUE(stream.OpenReadOnly(raw.data(), raw.size()));
    CXBitmap bitmap;
    ASSERT_EQ(bitmap.Load(stream, "raw"), kCXOK);
    EXPECT_EQ(stream.GetPosition(), 12);
    int32_t w = 0, h = 0;
    bitmap.GetSize(w, h);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(bitmap.GetPixel(0, 0), 0x40102030u);
    EXPECT_EQ(bitmap.GetPixel(1, 0), 0xFFA0B0C0u);
}

TEST(CXBitmapTest, RefusesDamagedRawFiles)
{
    struct Case {
        const char* name;
        Bytes bytes;
        int32_t expected;
    };
    const Case cases[] = {
        {"largest header", {0xFF, 0xFF, 0xFF, 0xFF}, -5}, // 17 GB of pixels asked for
        {"past the side limit", {0x40, 0x01, 0x00, 0x01, 1, 2, 3, 4}, -5},
        {"64 Mpixel exceeded", {0x20, 0x00, 0x20, 0x01}, -5},
        {"zero width", {0x00, 0x00, 0x00, 0x05}, -5},
        {"cut in the header", {0x00, 0x02, 0x00}, -3},
        {"cut in the pixels", {0x00, 0x02, 0x00, 0x01, 1, 2, 3, 4, 5}, -3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CXDebugCapture capture;
        CXBitmap bitmap;
        EXPECT_EQ(LoadRawBytes(bitmap, c.bytes), c.expected);
        if (c.expected == -5) {
            EXPECT_TRUE(capture.Contains("CXBitmap::LoadRaw> Unsupported image size"));
            EXPECT_FALSE(bitmap.IsCreated());
        }
    }
}

} // namespace
