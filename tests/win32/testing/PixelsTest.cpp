#include "win32/gdi/Gdi.h"
#include "win32/testing/Pixels.h"

#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

using namespace win32;

namespace {

uint32_t BigEndian(const std::vector<unsigned char>& bytes, size_t at)
{
    return (uint32_t(bytes[at]) << 24) | (uint32_t(bytes[at + 1]) << 16) | (uint32_t(bytes[at + 2]) << 8) | bytes[at + 3];
}

TEST(PixelsTest, DumpPngWritesAnRGBAImageOfTheBitmapOrTheDC)
{
    ScratchFolder folder;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 5, 3);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    for (HGDIOBJ handle : {static_cast<HGDIOBJ>(bitmap), static_cast<HGDIOBJ>(dc)}) {
        std::string path = folder / "image.png";
        ASSERT_TRUE(win32::testing::DumpPng(handle, path));
        std::ifstream file(path, std::ios::binary);
        std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 33u);
        const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        EXPECT_TRUE(std::equal(signature, signature + 8, bytes.begin()));
        // The header chunk: width, height, 8 bits, colour type 6 (RGBA).
        EXPECT_EQ(BigEndian(bytes, 16), 5u);
        EXPECT_EQ(BigEndian(bytes, 20), 3u);
        EXPECT_EQ(bytes[24], 8);
        EXPECT_EQ(bytes[25], 6);
    }
    // Nothing to write for a DC without pixels, nor into a missing folder.
    EXPECT_FALSE(win32::testing::DumpPng(previous, folder / "stock.png"));
    EXPECT_FALSE(win32::testing::DumpPng(bitmap, folder / "missing/image.png"));
    SelectObject(dc, previous);
    EXPECT_FALSE(win32::testing::DumpPng(dc, folder / "empty.png"));
    DeleteDC(dc);
    DeleteObject(bitmap);
}

} // namespace
