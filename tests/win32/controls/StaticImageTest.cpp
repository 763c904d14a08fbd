// LoadImageW from BMP files and the "STATIC" that shows one (SS_BITMAP, STM_SETIMAGE).

#include "win32/api/StaticImage.h"
#include "win32/controls/Controls.h"

#include "foundation/CXDebug.h"
#include "foundation/CXTextEncoding.h"
#include "support/BmpFile.h"
#include "support/ScratchFolder.h"
#include "win32/WindowTesting.h"
#include "win32/testing/Pixels.h"

#include <climits>
#include <string>
#include <vector>

using namespace win32test;

namespace {

class StaticImageTest : public WindowTest {
protected:
    // LoadImageW of a file in the scratch folder.
    HBITMAP Load(const std::string& name, UINT type = IMAGE_BITMAP, UINT flags = LR_LOADFROMFILE)
    {
        const std::string path = scratch / name;
        const CXString units = ConvertUTF8ToUTF16(path.c_str(), path.size());
        return static_cast<HBITMAP>(LoadImageW(nullptr, UTF16Units(units), type, 0, 0, flags));
    }
    HBITMAP LoadBytes(const BmpFile& file)
    {
        EXPECT_TRUE(file.Write(scratch / "picture.bmp"));
        return Load("picture.bmp");
    }
    static std::vector<uint64_t> Pixels(HBITMAP bitmap, int width, int height)
    {
        std::vector<uint64_t> pixels;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                pixels.push_back(win32::testing::Pixel(bitmap, x, y));
        }
        return pixels;
    }

    ScratchFolder scratch;
};

TEST_F(StaticImageTest, UncompressedFilesReadInEitherRowOrder)
{
    const std::vector<uint32_t> opaque = {0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0, 0xFFD0E0F0, 0xFF010203};
    struct Case {
        const char* name;
        uint16_t bits;
        bool topDown;
        std::vector<uint32_t> pixels;
        std::vector<uint64_t> expected;
    };
    const std::vector<uint64_t> opaqueRead(opaque.begin(), opaque.end());
    const Case cases[] = {
        // Three pixels a row: 9 bytes padded to 12.
        {"24 bits, bottom row first", 24, false, opaque, opaqueRead},
        {"24 bits, top row first", 24, true, opaque, opaqueRead},
        // All fourth bytes 0: the unused byte of a plain 32-bit file.
        {"32 bits without alpha", 32, false, {0x00102030, 0x00405060, 0x00708090, 0x00A0B0C0, 0x00D0E0F0, 0x00010203},
         opaqueRead},
        // With alpha the colours are premultiplied.
        {"32 bits with alpha", 32, true, {0x80FF0000, 0x00FFFFFF, 0xFF00FF00, 0x40808080, 0xFF000000, 0x01FFFFFF},
         {0x80800000, 0x00000000, 0xFF00FF00, 0x40202020, 0xFF000000, 0x01010101}},
    };
    const win32::testing::GdiObjectCounts before = win32::testing::LiveGdiObjects();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HBITMAP bitmap = LoadBytes(BmpFile(3, 2, c.bits, c.pixels, c.topDown));
        ASSERT_NE(bitmap, nullptr);
        BITMAP description = {};
        ASSERT_EQ(GetObjectW(bitmap, sizeof(description), &description), static_cast<int>(sizeof(description)));
        EXPECT_EQ(description.bmWidth, 3);
        EXPECT_EQ(description.bmHeight, 2);
        EXPECT_EQ(Pixels(bitmap, 3, 2), c.expected);
        EXPECT_TRUE(DeleteObject(bitmap));
    }
    EXPECT_EQ(win32::testing::LiveGdiObjects(), before);
}

TEST_F(StaticImageTest, HostileHeadersGiveNull)
{
    auto file = [](auto change) {
        BmpFile bmp(4, 4, 24, {});
        change(bmp);
        return bmp;
    };
    struct Case {
        const char* name;
        BmpFile bmp;
    };
    const Case cases[] = {
        {"not BM", file([](BmpFile& f) { f.Put(0, 2, 0x4D43); })},
        {"a core header (12 bytes)", file([](BmpFile& f) { f.Put(14, 4, 12); })},
        {"pixels inside the header", file([](BmpFile& f) { f.Put(10, 4, 40); })},
        {"8 bits", file([](BmpFile& f) { f.Put(28, 2, 8); })},
        {"16 bits", file([](BmpFile& f) { f.Put(28, 2, 16); })},
        {"run-length compressed", file([](BmpFile& f) { f.Put(30, 4, 1); })},
        {"bit fields", file([](BmpFile& f) { f.Put(30, 4, 3); })},
        {"no planes", file([](BmpFile& f) { f.Put(26, 2, 0); })},
        {"width 0", file([](BmpFile& f) { f.Put(18, 4, 0); })},
        {"negative width", file([](BmpFile& f) { f.Put(18, 4, static_cast<uint32_t>(-4)); })},
        {"height 0", file([](BmpFile& f) { f.Put(22, 4, 0); })},
        {"width 16385", file([](BmpFile& f) { f.Put(18, 4, 16385); })},
        {"height -16385", file([](BmpFile& f) { f.Put(22, 4, static_cast<uint32_t>(-16385)); })},
        {"height INT_MIN", file([](BmpFile& f) { f.Put(22, 4, 0x80000000u); })},
        {"8193 x 8193 (over 64 Mpixel)", file([](BmpFile& f) {
             f.Put(18, 4, 8193);
             f.Put(22, 4, 8193);
         })},
        {"16384 x 4096 asked of a small file", file([](BmpFile& f) {
             f.Put(18, 4, 16384);
             f.Put(22, 4, 4096);
         })},
        {"the last row cut", file([](BmpFile& f) { f.bytes.resize(f.bytes.size() - 4); })},
        {"pixels past the end", file([](BmpFile& f) { f.Put(10, 4, 0xFFFFFFF0u); })},
        {"shorter than the header", file([](BmpFile& f) { f.bytes.resize(53); })},
        {"empty", file([](BmpFile& f) { f.bytes.clear(); })},
    };
    CXDebugCapture capture;
    const win32::testing::GdiObjectCounts before = win32::testing::LiveGdiObjects();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0);
        EXPECT_EQ(LoadBytes(c.bmp), nullptr);
        EXPECT_EQ(GetLastError(), 11u) << "ERROR_BAD_FORMAT";
    }
    EXPECT_EQ(win32::testing::LiveGdiObjects(), before);

    // The limits themselves are taken, and the padding of the last row may be missing.
    for (auto [width, height] : {std::pair{16384, 1}, std::pair{1, -16384}}) {
        BmpFile edge(width, height < 0 ? -height : height, 24, {}, height < 0);
        edge.bytes.resize(edge.bytes.size() - (width == 1 ? 1 : 0));
        HBITMAP bitmap = LoadBytes(edge);
        EXPECT_NE(bitmap, nullptr) << width << " x " << height;
        DeleteObject(bitmap);
    }
}

TEST_F(StaticImageTest, OnlyFilesAreLoaded)
{
    ASSERT_TRUE(BmpFile(2, 2, 24, {}).Write(scratch / "small.bmp"));
    // The window class's icon resource stays absent, as does any resource.
    EXPECT_EQ(LoadImageW(harness.Instance(), MAKEINTRESOURCEW(101), IMAGE_ICON, 16, 16, LR_SHARED), nullptr);
    EXPECT_EQ(Load("small.bmp", IMAGE_BITMAP, 0), nullptr) << "without LR_LOADFROMFILE";
    EXPECT_EQ(Load("small.bmp", IMAGE_ICON), nullptr);
    SetLastError(0);
    EXPECT_EQ(Load("missing.bmp"), nullptr);
    EXPECT_EQ(GetLastError(), 2u) << "ERROR_FILE_NOT_FOUND";
    CXDebugCapture capture;
    EXPECT_EQ(Load(""), nullptr) << "the folder itself";
    HBITMAP bitmap = Load("small.bmp", IMAGE_BITMAP, LR_LOADFROMFILE | LR_DEFAULTSIZE);
    EXPECT_NE(bitmap, nullptr);
    DeleteObject(bitmap);
}

TEST_F(StaticImageTest, ABitmapStaticDrawsItsImageAtItsOwnSize)
{
    HBITMAP red = LoadBytes(BmpFile(2, 3, 24, std::vector<uint32_t>(6, 0xFFFF0000)));
    HBITMAP green = LoadBytes(BmpFile(4, 2, 32, std::vector<uint32_t>(8, 0xFF00FF00)));
    ASSERT_NE(red, nullptr);
    ASSERT_NE(green, nullptr);
    HWND parent = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {100, 100, 300, 300});
    HWND icon = CreateWindowExW(0, u"STATIC", u"search icon", WS_CHILD | WS_VISIBLE | SS_BITMAP, 10, 10, 8, 8, parent,
                                nullptr, harness.Instance(), nullptr);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(SendMessageW(icon, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(red)), 0) << "bitmaps only";
    EXPECT_EQ(SendMessageW(icon, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(red)), 0);
    EXPECT_EQ(SendMessageW(icon, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(green)),
              reinterpret_cast<LRESULT>(red));
    ASSERT_TRUE(harness.PumpUntilIdle());

    // The static's background where the 4 x 2 image does not reach; the image is never stretched.
    auto at = [&](int x, int y) {
        POINT point = {x, y};
        ClientToScreen(icon, &point);
        return harness.Pixel(point);
    };
    const uint64_t background = win32::testing::OpaquePixel(GetSysColor(COLOR_3DFACE));
    EXPECT_EQ(at(0, 0), 0xFF00FF00u);
    EXPECT_EQ(at(3, 1), 0xFF00FF00u);
    EXPECT_EQ(at(4, 1), background);
    EXPECT_EQ(at(0, 2), background);

    // A bitmap deleted while shown draws nothing; the static only borrowed it.
    EXPECT_EQ(SendMessageW(icon, STM_SETIMAGE, IMAGE_BITMAP, 0), reinterpret_cast<LRESULT>(green));
    DeleteObject(green);
    DeleteObject(red);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(at(0, 0), background);
    DestroyWindow(parent);
}

} // namespace
