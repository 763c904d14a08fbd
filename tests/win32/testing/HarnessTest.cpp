#include "win32/testing/Harness.h"

#include "win32/gdi/Font.h"
#include "win32/gdi/Gdi.h"
#include "win32/gdi/Text.h"
#include "win32/testing/Pixels.h"
#include "win32/user/User.h"

#include <gtest/gtest.h>

#include <string>

using namespace win32;

namespace {

struct Drawn {
    int width = 0;
    int height = 0;
    // The pixels inside the first glyph's box and in the gap after it.
    uint64_t inside = 0;
    uint64_t gap = 0;
};

// "Hi" in the face at em 12, black on white, its top at 0: the test face gives advances of 7 and
// an ascent of 10, so the first box covers x 1..5 and y 1..9.
Drawn DrawWithFace(const char16_t* face)
{
    Drawn drawn;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 40, 20);
    HGDIOBJ previousBitmap = SelectObject(dc, bitmap);
    HFONT font = face != nullptr ? CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                               OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                               DEFAULT_PITCH | FF_DONTCARE, face)
                                 : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HGDIOBJ previousFont = SelectObject(dc, font);
    RECT all = {0, 0, 40, 20};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    const std::u16string text = u"Hi";
    SIZE size = {};
    EXPECT_TRUE(GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size));
    drawn.width = size.cx;
    drawn.height = size.cy;
    EXPECT_TRUE(ExtTextOutW(dc, 0, 0, 0, nullptr, text.data(), static_cast<UINT>(text.size()), nullptr));
    drawn.inside = win32::testing::Pixel(dc, 3, 5);
    drawn.gap = win32::testing::Pixel(dc, 6, 5);
    SelectObject(dc, previousFont);
    if (face != nullptr)
        DeleteObject(font);
    SelectObject(dc, previousBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return drawn;
}

RECT FrameOfClient(int width, int height)
{
    RECT rect = {0, 0, width, height};
    EXPECT_TRUE(AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0));
    return rect;
}

TEST(HarnessTest, TestFaceAndDisplayMetricsHoldPicturesStill)
{
    win32::testing::Harness::UseTestFaceAndDisplayMetrics(true);
    {
        win32::testing::Harness harness;
        // The X11 backend's numbers: no frame or caption, the whole screen to work in.
        RECT frame = FrameOfClient(550, 260);
        EXPECT_EQ(frame.left, 0);
        EXPECT_EQ(frame.top, 0);
        EXPECT_EQ(frame.right, 550);
        EXPECT_EQ(frame.bottom, 260);
        RECT work = {};
        ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
        EXPECT_EQ(work.right - work.left, 1920);
        EXPECT_EQ(work.bottom - work.top, 1080);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);

        // Every face, the stock dialog font too, is drawn as solid boxes of the test face.
        for (const char16_t* face : {u"Segoe UI", u"Times New Roman", u"Courier New", u"No Such Face",
                                     static_cast<const char16_t*>(nullptr)}) {
            SCOPED_TRACE(face != nullptr ? std::string(face, face + std::char_traits<char16_t>::length(face))
                                         : std::string("DEFAULT_GUI_FONT"));
            Drawn drawn = DrawWithFace(face);
            EXPECT_EQ(drawn.width, 14);
            EXPECT_EQ(drawn.height, 13);
            EXPECT_EQ(drawn.inside, win32::testing::OpaquePixel(RGB(0, 0, 0)));
            EXPECT_EQ(drawn.gap, win32::testing::OpaquePixel(RGB(255, 255, 255)));
        }
    }

    // Off again: the next harness has the headless frame and caption, and new fonts their faces.
    win32::testing::Harness::UseTestFaceAndDisplayMetrics(false);
    win32::testing::Harness harness;
    RECT frame = FrameOfClient(550, 260);
    EXPECT_EQ(frame.right - frame.left, 550 + 2 * 8);
    EXPECT_EQ(frame.bottom - frame.top, 260 + 2 * 8 + 23);
    EXPECT_NE(DrawWithFace(u"Times New Roman").width, 14);
}

} // namespace
