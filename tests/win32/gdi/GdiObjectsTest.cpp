#include "MemoryCanvas.h"

#include "win32/user/Paint.h"

#include <thread>

using namespace win32test;
using win32::testing::GdiObjectCounts;
using win32::testing::LiveGdiObjects;

namespace {

TEST(GdiObjectsTest, StockObjectsAndSystemColourBrushesIgnoreDeleteAndAreNotCounted)
{
    const GdiObjectCounts before = LiveGdiObjects();
    for (int index : {WHITE_BRUSH, LTGRAY_BRUSH, GRAY_BRUSH, DKGRAY_BRUSH, BLACK_BRUSH, NULL_BRUSH, WHITE_PEN, BLACK_PEN,
                      NULL_PEN}) {
        HGDIOBJ stock = GetStockObject(index);
        ASSERT_NE(stock, nullptr) << index;
        EXPECT_EQ(GetStockObject(index), stock);
        EXPECT_TRUE(DeleteObject(stock));
        EXPECT_EQ(GetObjectType(stock), index >= WHITE_PEN ? OBJ_PEN : OBJ_BRUSH);
    }
    EXPECT_EQ(GetStockObject(DEFAULT_PALETTE), nullptr);
    EXPECT_EQ(GetStockObject(-1), nullptr);
    EXPECT_EQ(GetStockObject(99), nullptr);

    HBRUSH face = GetSysColorBrush(COLOR_3DFACE);
    EXPECT_EQ(GetSysColorBrush(COLOR_BTNFACE), face);
    EXPECT_TRUE(DeleteObject(face));
    EXPECT_EQ(GetObjectType(face), OBJ_BRUSH);
    EXPECT_EQ(GetSysColorBrush(25), nullptr);
    EXPECT_EQ(GetSysColorBrush(COLOR_MENUBAR + 1), nullptr);
    EXPECT_TRUE(LiveGdiObjects() == before);
}

TEST(GdiObjectsTest, TheSystemColoursOfTheTable)
{
    struct Case {
        int index;
        COLORREF color;
    };
    const Case cases[] = {
        {COLOR_WINDOWTEXT, RGB(0, 0, 0)},       {COLOR_BTNTEXT, RGB(0, 0, 0)},
        {COLOR_HIGHLIGHT, RGB(0, 120, 215)},    {COLOR_HIGHLIGHTTEXT, RGB(255, 255, 255)},
        {COLOR_3DFACE, RGB(240, 240, 240)},     {COLOR_GRAYTEXT, RGB(109, 109, 109)},
        {COLOR_WINDOW, RGB(255, 255, 255)},     {25, 0},
        {-1, 0},                                {COLOR_MENUBAR + 1, 0},
    };
    MemoryCanvas canvas(1, 1);
    for (const Case& c : cases) {
        EXPECT_EQ(GetSysColor(c.index), c.color) << c.index;
        // A brush may be given as the colour's index + 1.
        RECT all = {0, 0, 1, 1};
        if (GetSysColorBrush(c.index) != nullptr) {
            EXPECT_NE(FillRect(canvas.dc, &all, reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(c.index + 1))), 0);
            EXPECT_EQ(canvas.At(0, 0), OpaquePixel(c.color)) << c.index;
        }
    }
}

TEST(GdiObjectsTest, SelectObjectAnswersWhatItReplaces)
{
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetObjectType(dc), OBJ_MEMDC);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    HPEN pen = CreatePen(PS_SOLID, 3, RGB(0, 0, 255));
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 4, 4);

    EXPECT_EQ(SelectObject(dc, red), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(SelectObject(dc, green), red);
    EXPECT_EQ(SelectObject(dc, pen), GetStockObject(BLACK_PEN));
    HGDIOBJ firstBitmap = SelectObject(dc, bitmap);
    ASSERT_NE(firstBitmap, nullptr);
    EXPECT_EQ(GetObjectType(firstBitmap), OBJ_BITMAP);
    EXPECT_TRUE(DeleteObject(firstBitmap)); // the stock bitmap survives
    EXPECT_EQ(SelectObject(dc, bitmap), bitmap);

    // A region is copied as the clip; the answer is the clip's kind.
    HRGN region = CreateRectRgn(0, 0, 2, 2);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(SelectObject(dc, region)), static_cast<uintptr_t>(SIMPLEREGION));

    // A bitmap lives in one DC at a time, and only in memory DCs.
    HDC other = CreateCompatibleDC(dc);
    EXPECT_EQ(SelectObject(other, bitmap), nullptr);
    HDC display = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(GetObjectType(display), OBJ_DC);
    HBITMAP spare = CreateCompatibleBitmap(dc, 1, 1);
    EXPECT_EQ(SelectObject(display, spare), nullptr);
    EXPECT_EQ(GetDeviceCaps(display, LOGPIXELSY), 96);
    RECT box;
    EXPECT_EQ(GetClipBox(display, &box), ERROR);
    EXPECT_TRUE(box == RECT({0, 0, 0, 0}));
    EXPECT_EQ(CreateDCW(u"printer", nullptr, nullptr, nullptr), nullptr);

    // Once the first DC gives the bitmap back, the other may take it.
    EXPECT_EQ(SelectObject(dc, firstBitmap), bitmap);
    EXPECT_NE(SelectObject(other, bitmap), nullptr);

    for (HDC d : {dc, other, display})
        EXPECT_TRUE(DeleteDC(d));
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(red), static_cast<HGDIOBJ>(green), static_cast<HGDIOBJ>(pen),
                           static_cast<HGDIOBJ>(bitmap), static_cast<HGDIOBJ>(spare), static_cast<HGDIOBJ>(region)})
        EXPECT_TRUE(DeleteObject(object));
}

TEST(GdiObjectsTest, StaleAndNullHandlesFailSilently)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    ASSERT_TRUE(DeleteObject(brush));
    EXPECT_FALSE(DeleteObject(brush));
    EXPECT_EQ(GetObjectType(brush), 0u);
    EXPECT_EQ(SelectObject(dc, brush), nullptr);
    RECT r = {0, 0, 1, 1};
    EXPECT_EQ(FillRect(dc, &r, brush), 0);
    // A DC is not deleted by DeleteObject.
    EXPECT_FALSE(DeleteObject(dc));
    ASSERT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));

    HBRUSH live = CreateSolidBrush(RGB(1, 2, 3));
    for (HDC bad : {dc, static_cast<HDC>(nullptr), reinterpret_cast<HDC>(live)}) {
        EXPECT_EQ(SelectObject(bad, live), nullptr);
        EXPECT_EQ(FillRect(bad, &r, live), 0);
        EXPECT_FALSE(PatBlt(bad, 0, 0, 1, 1, WHITENESS));
        EXPECT_FALSE(LineTo(bad, 1, 1));
        EXPECT_EQ(SetTextColor(bad, 0), CLR_INVALID);
        EXPECT_EQ(GetBkMode(bad), 0);
        EXPECT_FALSE(SetViewportOrgEx(bad, 1, 1, nullptr));
        RECT box;
        EXPECT_EQ(GetClipBox(bad, &box), ERROR);
        EXPECT_EQ(CreateCompatibleBitmap(bad, 2, 2), nullptr);
        if (bad != nullptr) {
            EXPECT_EQ(CreateCompatibleDC(bad), nullptr);
        }
    }
    EXPECT_TRUE(DeleteObject(live));
}

TEST(GdiObjectsTest, ADeletedObjectStillSelectedLivesUntilItsDCLetsGo)
{
    const GdiObjectCounts before = LiveGdiObjects();
    MemoryCanvas canvas(2, 2);
    HBRUSH brush = CreateSolidBrush(RGB(10, 20, 30));
    SelectObject(canvas.dc, brush);
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_EQ(GetObjectType(brush), 0u);
    EXPECT_EQ(LiveGdiObjects().brushes, before.brushes);
    EXPECT_TRUE(PatBlt(canvas.dc, 0, 0, 2, 2, PATCOPY));
    EXPECT_EQ(canvas.At(1, 1), OpaquePixel(RGB(10, 20, 30)));
    // Selecting another brush answers the dead handle and frees the object.
    EXPECT_EQ(SelectObject(canvas.dc, GetStockObject(BLACK_BRUSH)), brush);
}

TEST(GdiObjectsTest, LiveCountsFollowCreationAndDeletion)
{
    const GdiObjectCounts before = LiveGdiObjects();
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 2, 2);
    HBRUSH brush = CreateSolidBrush(0);
    HPEN pen = CreatePen(PS_NULL, 0, 0);
    HRGN region = CreateRectRgn(0, 0, 1, 1);
    GdiObjectCounts expected = before;
    expected.dcs++;
    expected.bitmaps++;
    expected.brushes++;
    expected.pens++;
    expected.regions++;
    EXPECT_TRUE(LiveGdiObjects() == expected);
    EXPECT_EQ(LiveGdiObjects().Total(), before.Total() + 5);
    // A zero-sized bitmap is the stock one, not a new object.
    EXPECT_EQ(CreateCompatibleBitmap(dc, 0, 5), SelectObject(dc, bitmap));
    EXPECT_TRUE(LiveGdiObjects() == expected);
    DeleteDC(dc);
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(bitmap), static_cast<HGDIOBJ>(brush), static_cast<HGDIOBJ>(pen),
                           static_cast<HGDIOBJ>(region)})
        DeleteObject(object);
    EXPECT_TRUE(LiveGdiObjects() == before);
}

TEST(GdiObjectsTest, BitmapsStartZeroedAndDescribeThemselves)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 5, 3);
    BITMAP description = {};
    EXPECT_EQ(GetObjectW(bitmap, 0, nullptr), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(GetObjectW(bitmap, sizeof(description), &description), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(description.bmWidth, 5);
    EXPECT_EQ(description.bmHeight, 3);
    EXPECT_EQ(description.bmWidthBytes, 20);
    EXPECT_EQ(description.bmBitsPixel, 32);
    EXPECT_EQ(description.bmBits, nullptr);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(Pixel(bitmap, x, y), 0u);
    EXPECT_EQ(Pixel(bitmap, 5, 0), kNoPixel);
    EXPECT_EQ(CreateCompatibleBitmap(dc, -1, 2), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(dc, 0x8000, 1), nullptr);

    // A DIB section: top-down, its bits shared with the caller.
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, -3, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr);
    static_cast<uint32_t*>(bits)[2 * 2 + 1] = 0xFF123456; // (1, 2)
    EXPECT_EQ(Pixel(section, 1, 2), 0xFF123456u);
    DIBSECTION dib = {};
    EXPECT_EQ(GetObjectW(section, sizeof(dib), &dib), static_cast<int>(sizeof(DIBSECTION)));
    EXPECT_EQ(dib.dsBm.bmBits, bits);
    EXPECT_EQ(dib.dsBm.bmHeight, 3);
    EXPECT_EQ(dib.dsBmih.biHeight, -3);
    EXPECT_EQ(GetObjectW(section, sizeof(BITMAP), &description), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(description.bmBits, bits);
    // Bottom-up and other formats are refused.
    for (BITMAPINFOHEADER header : {BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 2, 3, 1, 32, BI_RGB, 0, 0, 0, 0, 0},
                                    BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 2, -3, 1, 24, BI_RGB, 0, 0, 0, 0, 0},
                                    BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 2, -3, 1, 32, 3, 0, 0, 0, 0, 0}}) {
        info.bmiHeader = header;
        void* none = &info;
        EXPECT_EQ(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &none, nullptr, 0), nullptr);
        EXPECT_EQ(none, nullptr);
    }
    // Rows must hold the width.
    uint32_t pixels[4] = {};
    BITMAP narrow = {0, 2, 2, 4, 1, 32, pixels};
    EXPECT_EQ(CreateBitmapIndirect(&narrow), nullptr);
    DeleteObject(bitmap);
    DeleteObject(section);
    DeleteDC(dc);
}

TEST(GdiObjectsTest, AMemoryDCDrawsOnAnotherThread)
{
    uint64_t seen = 0;
    std::thread worker([&] {
        MemoryCanvas canvas(4, 4);
        HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
        RECT r = {1, 1, 3, 3};
        FillRect(canvas.dc, &r, brush);
        seen = canvas.At(2, 2);
        DeleteObject(brush);
    });
    worker.join();
    EXPECT_EQ(seen, OpaquePixel(RGB(1, 2, 3)));
}

TEST(GdiObjectsTest, TheScreenDCMeasuresAndIsGivenBack)
{
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    RECT box;
    EXPECT_EQ(GetClipBox(screen, &box), ERROR);
    HGDIOBJ brush = GetStockObject(BLACK_BRUSH);
    EXPECT_NE(SelectObject(screen, brush), nullptr);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 0);
    HDC memory = CreateCompatibleDC(nullptr);
    EXPECT_EQ(ReleaseDC(nullptr, memory), 0);
    EXPECT_TRUE(DeleteDC(memory));
}

class ControlColorTest : public WindowTest {};

TEST_F(ControlColorTest, DefWindowProcAnswersASystemBrushAndSetsTheDCColours)
{
    HWND hwnd = Create(WS_OVERLAPPEDWINDOW);
    struct Case {
        UINT message;
        int background;
    };
    const Case cases[] = {
        {WM_CTLCOLORSTATIC, COLOR_3DFACE}, {WM_CTLCOLORBTN, COLOR_3DFACE},         {WM_CTLCOLORDLG, COLOR_3DFACE},
        {WM_CTLCOLOREDIT, COLOR_WINDOW},   {WM_CTLCOLORLISTBOX, COLOR_WINDOW},     {WM_CTLCOLORSCROLLBAR, COLOR_SCROLLBAR},
    };
    for (const Case& c : cases) {
        MemoryCanvas canvas(1, 1);
        SetTextColor(canvas.dc, RGB(1, 1, 1));
        SetBkColor(canvas.dc, RGB(2, 2, 2));
        LRESULT brush = SendMessageW(hwnd, c.message, reinterpret_cast<WPARAM>(canvas.dc), reinterpret_cast<LPARAM>(hwnd));
        EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), GetSysColorBrush(c.background)) << c.message;
        EXPECT_EQ(GetTextColor(canvas.dc), GetSysColor(COLOR_WINDOWTEXT));
        EXPECT_EQ(GetBkColor(canvas.dc), GetSysColor(c.background));
    }
}

} // namespace
