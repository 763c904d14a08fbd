#include "MemoryCanvas.h"

#include <cstring>
#include <vector>

using namespace win32test;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

bool Inside(const RECT& r, int x, int y)
{
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

TEST(DrawingTest, AFillLandsAtTheViewportOriginInsideTheClip)
{
    MemoryCanvas canvas(16, 16);
    HBRUSH red = CreateSolidBrush(kRed);
    EXPECT_TRUE(SetViewportOrgEx(canvas.dc, 3, 2, nullptr));
    HRGN clip = CreateRectRgn(4, 4, 10, 10); // device coordinates
    EXPECT_EQ(SelectClipRgn(canvas.dc, clip), SIMPLEREGION);
    // The clip is a copy: changing the region afterwards changes nothing.
    EXPECT_EQ(OffsetRgn(clip, 100, 100), SIMPLEREGION);
    RECT box;
    EXPECT_EQ(GetClipBox(canvas.dc, &box), SIMPLEREGION);
    EXPECT_TRUE(box == RECT({1, 2, 7, 8})) << box.left << "," << box.top << "," << box.right << "," << box.bottom;

    RECT fill = {0, 0, 5, 5}; // device (3, 2) to (8, 7)
    EXPECT_NE(FillRect(canvas.dc, &fill, red), 0);
    // An empty or inverted rectangle draws nothing.
    for (RECT nothing : {RECT{2, 2, 2, 6}, RECT{4, 4, 1, 1}, RECT{1, 4, 4, 3}})
        EXPECT_NE(FillRect(canvas.dc, &nothing, red), 0);
    const RECT painted = {4, 4, 8, 7};
    canvas.Expect([&](int x, int y) { return Inside(painted, x, y) ? OpaquePixel(kRed) : 0; });

    // Without the clip the whole bitmap can be drawn on, in logical coordinates.
    EXPECT_EQ(SelectClipRgn(canvas.dc, nullptr), SIMPLEREGION);
    EXPECT_EQ(GetClipBox(canvas.dc, &box), SIMPLEREGION);
    EXPECT_TRUE(box == RECT({-3, -2, 13, 14}));
    // A clip outside the bitmap leaves nothing to draw on.
    HRGN outside = CreateRectRgn(20, 20, 30, 30);
    EXPECT_EQ(SelectClipRgn(canvas.dc, outside), NULLREGION);
    EXPECT_EQ(GetClipBox(canvas.dc, &box), NULLREGION);
    DeleteObject(outside);
    DeleteObject(clip);
    DeleteObject(red);
}

TEST(DrawingTest, AFrameIsOnePixelInsideAndALineLeavesOutItsEndPixel)
{
    MemoryCanvas canvas(8, 8);
    HBRUSH red = CreateSolidBrush(kRed);
    RECT frame = {1, 1, 6, 5};
    EXPECT_NE(FrameRect(canvas.dc, &frame, red), 0);

    HPEN blue = CreatePen(PS_SOLID, 1, kBlue);
    SelectObject(canvas.dc, blue);
    EXPECT_TRUE(MoveToEx(canvas.dc, 0, 6, nullptr));
    EXPECT_TRUE(LineTo(canvas.dc, 5, 6));
    EXPECT_TRUE(MoveToEx(canvas.dc, 7, 0, nullptr));
    EXPECT_TRUE(LineTo(canvas.dc, 7, 3));
    // The line ends at the new current position.
    POINT previous = {};
    EXPECT_TRUE(MoveToEx(canvas.dc, 0, 0, &previous));
    EXPECT_TRUE(previous == POINT({7, 3}));

    canvas.Expect([&](int x, int y) -> uint64_t {
        if (y == 6 && x < 5)
            return OpaquePixel(kBlue);
        if (x == 7 && y < 3)
            return OpaquePixel(kBlue);
        bool onFrame = Inside(frame, x, y) && (x == 1 || x == 5 || y == 1 || y == 4);
        return onFrame ? OpaquePixel(kRed) : 0;
    });

    // A diagonal in each direction: every step but the last.
    struct Case {
        POINT from;
        POINT to;
        std::vector<POINT> pixels;
    };
    const Case diagonals[] = {
        {{0, 0}, {3, 3}, {{0, 0}, {1, 1}, {2, 2}}},
        {{3, 3}, {0, 0}, {{3, 3}, {2, 2}, {1, 1}}},
        {{0, 5}, {3, 4}, {{0, 5}, {1, 5}, {2, 4}}},
        {{2, 0}, {2, 0}, {}},
    };
    for (const Case& c : diagonals) {
        MemoryCanvas small(6, 6);
        SelectObject(small.dc, blue);
        MoveToEx(small.dc, c.from.x, c.from.y, nullptr);
        EXPECT_TRUE(LineTo(small.dc, c.to.x, c.to.y));
        small.Expect([&](int x, int y) -> uint64_t {
            for (POINT p : c.pixels) {
                if (p.x == x && p.y == y)
                    return OpaquePixel(kBlue);
            }
            return 0;
        });
        SelectObject(small.dc, GetStockObject(BLACK_PEN));
    }
    SelectObject(canvas.dc, GetStockObject(BLACK_PEN));
    DeleteObject(blue);
    DeleteObject(red);
}

TEST(DrawingTest, BitBltReadsPaddedRowsAndHonoursTheOriginAndTheClip)
{
    // A 3x2 source whose rows are 16 bytes apart: the 4 bytes after each row are padding.
    const uint32_t p[2][3] = {{0xFF000001, 0xFF000002, 0xFF000003}, {0xFF000004, 0xFF000005, 0xFF000006}};
    std::vector<uint32_t> bits = {p[0][0], p[0][1], p[0][2], 0xDEADBEEF, p[1][0], p[1][1], p[1][2], 0xDEADBEEF};
    BITMAP description = {0, 3, 2, 16, 1, 32, bits.data()};
    HBITMAP source = CreateBitmapIndirect(&description);
    ASSERT_NE(source, nullptr);
    bits.assign(bits.size(), 0); // the bitmap has its own copy
    HDC sourceDC = CreateCompatibleDC(nullptr);
    SelectObject(sourceDC, source);

    MemoryCanvas canvas(8, 8);
    SetViewportOrgEx(canvas.dc, 1, 2, nullptr);
    // Everything but device (4, 4).
    HRGN clip = CreateRectRgn(0, 0, 8, 8);
    HRGN hole = CreateRectRgn(4, 4, 5, 5);
    CombineRgn(clip, clip, hole, RGN_DIFF);
    EXPECT_EQ(SelectClipRgn(canvas.dc, clip), COMPLEXREGION);
    EXPECT_TRUE(BitBlt(canvas.dc, 1, 1, 3, 2, sourceDC, 0, 0, SRCCOPY)); // device (2, 3)
    canvas.Expect([&](int x, int y) -> uint64_t {
        if (x >= 2 && x < 5 && y >= 3 && y < 5 && !(x == 4 && y == 4))
            return p[y - 3][x - 2];
        return 0;
    });

    // A source rectangle partly outside the source copies the overlap only.
    MemoryCanvas other(4, 4);
    EXPECT_TRUE(BitBlt(other.dc, 0, 0, 3, 3, sourceDC, 1, 0, SRCCOPY));
    other.Expect([&](int x, int y) -> uint64_t { return x < 2 && y < 2 ? p[y][x + 1] : 0; });

    DeleteDC(sourceDC);
    DeleteObject(source);
    DeleteObject(clip);
    DeleteObject(hole);
}

TEST(DrawingTest, BitBltWithinOneBitmapCopiesOverlappingAreasExactly)
{
    MemoryCanvas canvas(6, 1);
    for (int x = 0; x < 5; ++x) {
        HBRUSH brush = CreateSolidBrush(RGB(x + 1, 0, 0));
        RECT cell = {x, 0, x + 1, 1};
        FillRect(canvas.dc, &cell, brush);
        DeleteObject(brush);
    }
    EXPECT_TRUE(BitBlt(canvas.dc, 1, 0, 5, 1, canvas.dc, 0, 0, SRCCOPY));
    canvas.Expect([](int x, int) { return OpaquePixel(RGB(x == 0 ? 1 : x, 0, 0)); });
}

TEST(DrawingTest, StretchBltSamplesTheNearestSourcePixel)
{
    // Source pixels 0xFF0000yx, a 3x2 bitmap.
    HDC sourceDC = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 3, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HBITMAP source = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bits, nullptr);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            static_cast<uint32_t*>(bits)[y * 3 + x] = 0xFF000000u | static_cast<uint32_t>(y << 4 | x);
    SelectObject(sourceDC, source);

    struct Case {
        RECT from; // left, top, width, height
        int width;
        int height;
        std::vector<std::vector<int>> expected; // source x + 16 * source y
    };
    const Case cases[] = {
        {{0, 0, 2, 2}, 4, 4, {{0x00, 0x00, 0x01, 0x01}, {0x00, 0x00, 0x01, 0x01}, {0x10, 0x10, 0x11, 0x11}, {0x10, 0x10, 0x11, 0x11}}},
        {{0, 0, 3, 1}, 2, 1, {{0x00, 0x02}}},
        {{0, 0, 3, 2}, 2, 1, {{0x10, 0x12}}},
        {{1, 1, 2, 1}, 3, 2, {{0x11, 0x12, 0x12}, {0x11, 0x12, 0x12}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from.right) + "x" + std::to_string(c.from.bottom) + " to " +
                     std::to_string(c.width) + "x" + std::to_string(c.height));
        MemoryCanvas canvas(c.width, c.height);
        SetStretchBltMode(canvas.dc, HALFTONE);
        EXPECT_TRUE(StretchBlt(canvas.dc, 0, 0, c.width, c.height, sourceDC, c.from.left, c.from.top, c.from.right,
                               c.from.bottom, SRCCOPY));
        canvas.Expect([&](int x, int y) { return 0xFF000000u | static_cast<uint32_t>(c.expected[y][x]); });
    }
    MemoryCanvas canvas(2, 2);
    EXPECT_FALSE(StretchBlt(canvas.dc, 0, 0, -2, 2, sourceDC, 0, 0, 2, 2, SRCCOPY));
    EXPECT_FALSE(StretchBlt(canvas.dc, 0, 0, 2, 2, sourceDC, 0, 0, 2, -2, SRCCOPY));
    DeleteDC(sourceDC);
    DeleteObject(source);
}

TEST(DrawingTest, AlphaBlendMixesWithTheSourceAndConstantAlpha)
{
    // A half-transparent source (premultiplied: alpha 128, red 128, green 64).
    const uint32_t sourcePixel = 0x80804000;
    const uint32_t background = 0xFFC86432; // opaque (200, 100, 50)
    struct Case {
        uint32_t destination;
        BYTE constant;
        BYTE format;
        uint32_t expected;
    };
    const Case cases[] = {
        // d = s + d * 127 / 255
        {background, 255, AC_SRC_ALPHA, 0xFFE47219},
        // t = 64: d = s * 127 / 255 + d * 191 / 255
        {background, 127, AC_SRC_ALPHA, 0xFFD66B25},
        // The source taken as opaque: d = s * 127 / 255 + d * 128 / 255
        {background, 127, AC_SRC_OVER, 0xFFA45219},
        {0, 255, AC_SRC_ALPHA, 0x80804000},
        {0, 127, AC_SRC_ALPHA, 0x40402000},
    };
    HDC sourceDC = CreateCompatibleDC(nullptr);
    uint32_t sourceBits[1] = {sourcePixel};
    BITMAP description = {0, 1, 1, 4, 1, 32, sourceBits};
    HBITMAP source = CreateBitmapIndirect(&description);
    SelectObject(sourceDC, source);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.constant) + " over " + std::to_string(c.destination));
        uint32_t destinationBits[4] = {c.destination, c.destination, c.destination, c.destination};
        BITMAP destinationDescription = {0, 2, 2, 8, 1, 32, destinationBits};
        HBITMAP destination = CreateBitmapIndirect(&destinationDescription);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, destination);
        // One source pixel stretched over the top row only.
        EXPECT_TRUE(AlphaBlend(dc, 0, 0, 2, 1, sourceDC, 0, 0, 1, 1, {AC_SRC_OVER, 0, c.constant, c.format}));
        EXPECT_EQ(Pixel(destination, 0, 0), c.expected);
        EXPECT_EQ(Pixel(destination, 1, 0), c.expected);
        EXPECT_EQ(Pixel(destination, 0, 1), c.destination);
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(destination);
    }
    MemoryCanvas canvas(2, 2);
    EXPECT_FALSE(AlphaBlend(canvas.dc, 0, 0, 1, -1, sourceDC, 0, 0, 1, 1, {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA}));
    EXPECT_FALSE(AlphaBlend(canvas.dc, 0, 0, 1, 1, sourceDC, 0, 0, 1, 1, {1, 0, 255, AC_SRC_ALPHA}));
    DeleteDC(sourceDC);
    DeleteObject(source);
}

TEST(DrawingTest, PatternsEdgesAndTheFocusRectangle)
{
    MemoryCanvas canvas(8, 8);
    HBRUSH blue = CreateSolidBrush(kBlue);
    HGDIOBJ oldBrush = SelectObject(canvas.dc, blue);
    // Negative sizes reach left and up.
    EXPECT_TRUE(PatBlt(canvas.dc, 4, 4, -2, -3, PATCOPY));
    EXPECT_TRUE(PatBlt(canvas.dc, 6, 0, 2, 2, WHITENESS));
    EXPECT_FALSE(PatBlt(canvas.dc, 0, 0, 1, 1, 0x12345678));
    canvas.Expect([](int x, int y) -> uint64_t {
        if (x >= 2 && x < 4 && y >= 1 && y < 4)
            return OpaquePixel(kBlue);
        return x >= 6 && y < 2 ? 0xFFFFFFFFu : 0;
    });
    // DSTINVERT and the focus rectangle invert; twice restores.
    const uint64_t before = canvas.At(2, 1);
    EXPECT_TRUE(PatBlt(canvas.dc, 0, 0, 8, 8, DSTINVERT));
    EXPECT_EQ(canvas.At(2, 1), OpaquePixel(RGB(255, 255, 0)));
    EXPECT_EQ(canvas.At(0, 0), 0u); // transparent stays transparent
    EXPECT_TRUE(PatBlt(canvas.dc, 0, 0, 8, 8, DSTINVERT));
    EXPECT_EQ(canvas.At(2, 1), before);
    SelectObject(canvas.dc, oldBrush);

    MemoryCanvas focus(6, 6);
    PatBlt(focus.dc, 0, 0, 6, 6, WHITENESS);
    RECT r = {0, 0, 5, 5};
    EXPECT_TRUE(DrawFocusRect(focus.dc, &r));
    focus.Expect([](int x, int y) -> uint64_t {
        bool onFrame = x < 5 && y < 5 && (x == 0 || x == 4 || y == 0 || y == 4);
        return onFrame && (x + y) % 2 == 0 ? 0xFF000000u : 0xFFFFFFFFu;
    });
    EXPECT_TRUE(DrawFocusRect(focus.dc, &r));
    focus.Expect([](int, int) -> uint64_t { return 0xFFFFFFFFu; });

    // A sunken edge: shadow then dark shadow at the top and left, highlight then light at the
    // bottom and right; the middle in the face colour; the rectangle shrunk by the border.
    MemoryCanvas edge(6, 6);
    RECT e = {0, 0, 6, 6};
    EXPECT_TRUE(DrawEdge(edge.dc, &e, EDGE_SUNKEN, BF_RECT | BF_MIDDLE | BF_ADJUST));
    EXPECT_TRUE(e == RECT({2, 2, 4, 4}));
    EXPECT_EQ(edge.At(0, 2), OpaquePixel(GetSysColor(COLOR_3DSHADOW)));
    EXPECT_EQ(edge.At(2, 0), OpaquePixel(GetSysColor(COLOR_3DSHADOW)));
    EXPECT_EQ(edge.At(1, 2), OpaquePixel(GetSysColor(COLOR_3DDKSHADOW)));
    EXPECT_EQ(edge.At(5, 2), OpaquePixel(GetSysColor(COLOR_3DHILIGHT)));
    EXPECT_EQ(edge.At(2, 5), OpaquePixel(GetSysColor(COLOR_3DHILIGHT)));
    EXPECT_EQ(edge.At(4, 2), OpaquePixel(GetSysColor(COLOR_3DLIGHT)));
    EXPECT_EQ(edge.At(3, 3), OpaquePixel(GetSysColor(COLOR_3DFACE)));
    DeleteObject(blue);
}

} // namespace
