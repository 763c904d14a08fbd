#include "toolkit/GBuffer.h"

#include "win32/gdi/Gdi.h"
#include "win32/testing/Pixels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

uint32_t BitsPixel(const GWBuffer& buffer, int x, int y)
{
    uint32_t value;
    std::memcpy(&value, static_cast<const uint8_t*>(buffer.GetBits()) + y * buffer.GetRowBytes() + x * 4, 4);
    return value;
}

TEST(GBufferTest, CreateMakesATopDownBufferOfTheBoxSize)
{
    auto before = win32::testing::LiveGdiObjects();
    {
        GWBuffer buffer;
        ASSERT_NE(buffer.Create(Box2i{10, 20, 110, 70}), 0);
        EXPECT_EQ(buffer.GetWidth(), 100);
        EXPECT_EQ(buffer.GetHeight(), 50);
        EXPECT_EQ(buffer.GetRowBytes(), 400);
        ASSERT_NE(buffer.GetDeviceContext(), nullptr);
        ASSERT_NE(buffer.GetBits(), nullptr);
        EXPECT_EQ(BitsPixel(buffer, 99, 49), 0u);

        // What the context draws lands in the bits, its top row in their first row.
        win32::HBRUSH brush = win32::CreateSolidBrush(win32::RGB(0x11, 0x22, 0x33));
        const win32::RECT top{0, 0, 100, 1};
        ASSERT_NE(win32::FillRect(buffer.GetDeviceContext(), &top, brush), 0);
        (void)win32::DeleteObject(reinterpret_cast<win32::HGDIOBJ>(brush));
        EXPECT_EQ(BitsPixel(buffer, 0, 0), 0xFF112233u);
        EXPECT_EQ(BitsPixel(buffer, 99, 0), 0xFF112233u);
        EXPECT_EQ(BitsPixel(buffer, 0, 1), 0u);
        EXPECT_EQ(win32::testing::Pixel(buffer.GetDeviceContext(), 0, 50), win32::testing::kNoPixel);

        // Making it again replaces the former buffer.
        ASSERT_NE(buffer.Create(Box2i{0, 0, 3, 2}), 0);
        EXPECT_EQ(buffer.GetRowBytes(), 12);
        auto during = win32::testing::LiveGdiObjects();
        EXPECT_EQ(during.dcs, before.dcs + 1);
        EXPECT_EQ(during.bitmaps, before.bitmaps + 1);
    }
    EXPECT_EQ(win32::testing::LiveGdiObjects(), before);
}

TEST(GBufferTest, BoxWithoutAreaMakesNoBuffer)
{
    auto before = win32::testing::LiveGdiObjects();
    for (const Box2i& box : {Box2i{0, 0, 0, 5}, Box2i{0, 0, 5, 0}, Box2i{10, 10, 5, 20}, Box2i{0, 0, 0x40000000, 1}}) {
        GWBuffer buffer;
        EXPECT_EQ(buffer.Create(box), 0);
        EXPECT_EQ(buffer.GetDeviceContext(), nullptr);
        EXPECT_EQ(buffer.GetBits(), nullptr);
        EXPECT_EQ(buffer.GetRowBytes(), 0);
    }
    EXPECT_EQ(win32::testing::LiveGdiObjects(), before);
}

TEST(GBufferTest, ReleaseEmptiesTheBuffer)
{
    auto before = win32::testing::LiveGdiObjects();
    GWBuffer buffer;
    ASSERT_NE(buffer.Create(Box2i{0, 0, 4, 4}), 0);
    buffer.Release();
    EXPECT_EQ(buffer.GetDeviceContext(), nullptr);
    EXPECT_EQ(buffer.GetBits(), nullptr);
    EXPECT_EQ(win32::testing::LiveGdiObjects(), before);
    buffer.Release(); // twice is harmless
}

} // namespace
