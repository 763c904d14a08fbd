#include "toolkit/UIBitmap.h"

#include "foundation/CXDebug.h"
#include "foundation/CXSafePointer.h"
#include "support/ScopedDriveMap.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace {

TEST(UIBitmapTest, PrepareForDrawingPremultipliesAndSwapsRedAndBlue)
{
    struct Case {
        uint32_t pixel; // as read: red in bits 0-7, alpha in 24-31
        uint32_t prepared;
    };
    const Case cases[] = {
        {0x00FFFFFFu, 0x00000000u}, // fully transparent
        {0x00000000u, 0x00000000u},
        {0xFF102030u, 0xFF302010u}, // opaque: colours kept, red and blue exchanged
        {0xFFFFFFFFu, 0xFFFFFFFFu},
        {0x80FF8040u, 0x80204080u}, // half: each colour times 128 / 255, rounded down
        {0x01FFFFFFu, 0x01010101u},
        {0xFE010101u, 0xFE000000u},
    };
    UIBitmap* bitmap = new UIBitmap;
    ASSERT_EQ(bitmap->Create(static_cast<int32_t>(std::size(cases)), 1), kCXOK);
    for (uint32_t x = 0; x < std::size(cases); ++x)
        bitmap->SetPixel(x, 0, cases[x].pixel);
    bitmap->PrepareForDrawing();
    for (uint32_t x = 0; x < std::size(cases); ++x)
        EXPECT_EQ(bitmap->GetPixel(x, 0), cases[x].prepared) << std::hex << cases[x].pixel;
    // In memory: blue, green, red, alpha.
    const uint8_t* bytes = bitmap->GetBaseAddress();
    EXPECT_EQ(bytes[2 * 4 + 0], 0x10);
    EXPECT_EQ(bytes[2 * 4 + 2], 0x30);
    bitmap->RemoveReference();
}

TEST(UIBitmapTest, SetBitmapCopiesAndPrepares)
{
    CXBitmap source;
    source.SetLayout(2);
    ASSERT_EQ(source.Create(5, 5), kCXOK);
    source.SetPixel(4, 4, 0x80FF8040u);
    source.SetPixel(7, 7, 0xFF0000FFu); // allocated but outside the requested size: prepared too
    CXAutoReference<UIBitmap> bitmap;
    bitmap.Swallow(new UIBitmap);
    EXPECT_EQ(bitmap->SetBitmap(source), kCXOK);
    int32_t w = 0, h = 0;
    bitmap->GetSize(w, h);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 5);
    bitmap->CXBitmap::GetSize(w, h);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 8);
    EXPECT_EQ(bitmap->GetPixel(4, 4), 0x80204080u);
    EXPECT_EQ(bitmap->GetPixel(7, 7), 0xFFFF0000u);
    EXPECT_EQ(source.GetPixel(4, 4), 0x80FF8040u);
    EXPECT_EQ(bitmap->GetName(), "UIBitmap");
}

// A 1 x 1 BMP file of 24 bits holding one pixel of the given blue, green and red.
std::string OnePixelBmp(uint8_t blue, uint8_t green, uint8_t red)
{
    std::string file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0};
    file.resize(54, '\0');
    file += static_cast<char>(blue);
    file += static_cast<char>(green);
    file += static_cast<char>(red);
    file += '\0';
    return file;
}

class UIBitmapCacheTest : public testing::Test {
protected:
    // Writes C:/name and gives its program path.
    CXString Write(const std::string& name, const std::string& contents)
    {
        std::ofstream(fScratch / name, std::ios::binary) << contents;
        return CXString(("C:/" + name).c_str());
    }

    ScratchFolder fScratch;
    ScopedDriveMap fDrives{fScratch.Path()};
};

TEST_F(UIBitmapCacheTest, LoadsOnceAndSharesTheBitmap)
{
    CXString path = Write("shared.bmp", OnePixelBmp(0x10, 0x20, 0x30));
    CXAutoReference<UIBitmap> first = UIBitmap::Load(path);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->GetPixel(0, 0), 0xFF302010u); // prepared: blue, green, red, alpha in memory
    std::ofstream(fScratch / "shared.bmp", std::ios::trunc); // the second load does not read the file
    CXAutoReference<UIBitmap> second = UIBitmap::Load(path);
    EXPECT_EQ(first.get(), second.get());
    EXPECT_EQ(first->GetReferenceCount(), 3u); // the cache and the two loads
}

TEST_F(UIBitmapCacheTest, ChoosesTheReaderByExtension)
{
    const std::string bmp = OnePixelBmp(1, 2, 3);
    const std::string raw = {0, 1, 0, 1, 4, 5, 6, static_cast<char>(0xFF)};
    struct Case {
        const char* name;
        std::string contents;
        bool loads;
    };
    const Case cases[] = {
        {"upper.BMP", bmp, true},       {"mixed.Bmp", bmp, true}, {"picture.raw", raw, true},
        {"picture.png", bmp, false},    {"noextension", bmp, false}, {"raw-as.bmp", raw, false},
        {"damaged.bmp", bmp.substr(0, 40), false},
    };
    CXDebugCapture quiet;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CXAutoReference<UIBitmap> bitmap = UIBitmap::Load(Write(c.name, c.contents));
        EXPECT_EQ(static_cast<bool>(bitmap), c.loads);
    }
    EXPECT_FALSE(UIBitmap::Load("C:/missing.bmp"));
}

TEST_F(UIBitmapCacheTest, FailedLoadIsTriedAgain)
{
    CXString path("C:/later.bmp");
    EXPECT_FALSE(UIBitmap::Load(path));
    Write("later.bmp", OnePixelBmp(1, 2, 3));
    EXPECT_TRUE(UIBitmap::Load(path));
}

// An entry nobody else holds leaves the cache once 64 further loads have passed; one still held
// stays however old.
TEST_F(UIBitmapCacheTest, SweepRemovesOnlyOldEntriesThatNobodyHolds)
{
    CXString heldPath = Write("held.bmp", OnePixelBmp(1, 1, 1));
    CXString droppedPath = Write("dropped.bmp", OnePixelBmp(2, 2, 2));
    CXAutoReference<UIBitmap> held = UIBitmap::Load(heldPath);
    CXSafePointer<UIBitmap> dropped = UIBitmap::Load(droppedPath).get();
    ASSERT_TRUE(held);
    ASSERT_TRUE(dropped);

    const std::string other = OnePixelBmp(3, 3, 3);
    for (int i = 0; i < 65; ++i) {
        ASSERT_TRUE(UIBitmap::Load(Write("other" + std::to_string(i) + ".bmp", other)));
        if (i == 62) {
            EXPECT_TRUE(dropped) << "swept after only 63 further loads";
        }
    }
    EXPECT_FALSE(dropped);
    EXPECT_EQ(held->GetReferenceCount(), 2u);
    EXPECT_EQ(UIBitmap::Load(heldPath).get(), held.get());
}

TEST(CXImageTest, HoldsABitmap)
{
    CXAutoReference<CXImage> image;
    image.Swallow(new CXImage);
    ASSERT_EQ(image->GetBitmap().Create(2, 2), kCXOK);
    image->GetBitmap().SetPixel(1, 1, 5);
    EXPECT_EQ(image->GetBitmap().GetPixel(1, 1), 5u);
}

} // namespace
