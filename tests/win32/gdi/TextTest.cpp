#include "win32/gdi/Text.h"

#include "win32/gdi/Font.h"
#include "win32/gdi/MemoryCanvas.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace win32;
using namespace win32test;

namespace {

// The test face at em 12: advance 7, ascent 10, descent 3, cell height 13; a glyph at pen x on
// baseline b covers [x + 1, x + 6) x [b - 9, b).
HFONT BoxFont(bool underline = false, bool strikeOut = false)
{
    return CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, underline, strikeOut, DEFAULT_CHARSET, OUT_TT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, 0, u"Layer Test Box");
}

constexpr COLORREF kText = RGB(255, 0, 0);
constexpr COLORREF kBackground = RGB(0, 0, 255);

// The bounds of every pixel that is not zero; {0, 0, 0, 0} when there is none.
RECT Ink(const MemoryCanvas& canvas)
{
    RECT ink = {0, 0, 0, 0};
    bool any = false;
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            if (canvas.At(x, y) == 0)
                continue;
            if (!any)
                ink = {x, y, x + 1, y + 1};
            any = true;
            ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y), std::max<LONG>(ink.right, x + 1),
                   std::max<LONG>(ink.bottom, y + 1)};
        }
    }
    return ink;
}

::testing::AssertionResult SameRect(const RECT& actual, const RECT& expected)
{
    if (actual.left == expected.left && actual.top == expected.top && actual.right == expected.right &&
        actual.bottom == expected.bottom)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "{" << actual.left << ", " << actual.top << ", " << actual.right << ", "
                                         << actual.bottom << "}, expected {" << expected.left << ", " << expected.top
                                         << ", " << expected.right << ", " << expected.bottom << "}";
}

class TextTest : public ::testing::Test {
protected:
    win32::testing::Harness harness;
};

TEST_F(TextTest, ExtTextOutPlacesTheTestGlyphsExactly)
{
    struct Fill {
        RECT rect;
        COLORREF color;
    };
    struct Case {
        const char* name;
        std::u16string text;
        UINT align;
        int x;
        int y;
        UINT options;
        RECT rect;
        std::vector<INT> dx;
        int backgroundMode;
        bool underline;
        bool strikeOut;
        std::vector<Fill> expected;
    };
    const RECT none = {0, 0, 0, 0};
    const Fill a = {{3, 4, 8, 13}, kText};
    const Fill b = {{10, 4, 15, 13}, kText};
    const Case cases[] = {
        {"top left", u"Ab", TA_TOP | TA_LEFT, 2, 3, 0, none, {}, TRANSPARENT, false, false, {a, b}},
        {"baseline right", u"Ab", TA_BASELINE | TA_RIGHT, 16, 13, 0, none, {}, TRANSPARENT, false, false, {a, b}},
        {"bottom centre", u"Ab", TA_BOTTOM | TA_CENTER, 9, 16, 0, none, {}, TRANSPARENT, false, false, {a, b}},
        {"centre floors", u"A", TA_CENTER, 10, 3, 0, none, {}, TRANSPARENT, false, false, {{{8, 4, 13, 13}, kText}}},
        {"pen steps", u"Ab", TA_TOP, 2, 3, 0, none, {10, 7}, TRANSPARENT, false, false, {a, {{13, 4, 18, 13}, kText}}},
        {"a space has no box", u"A b", TA_TOP, 2, 3, 0, none, {}, TRANSPARENT, false, false, {a, {{17, 4, 22, 13}, kText}}},
        {"clipped", u"Ab", TA_TOP, 2, 3, ETO_CLIPPED, {0, 0, 6, 20}, {}, TRANSPARENT, false, false, {{{3, 4, 6, 13}, kText}}},
        {"opaque rectangle",
         u"Ab",
         TA_TOP,
         2,
         3,
         ETO_OPAQUE,
         {0, 0, 24, 2},
         {},
         TRANSPARENT,
         false,
         false,
         {{{0, 0, 24, 2}, kBackground}, a, b}},
        {"opaque cells", u"Ab", TA_TOP, 2, 3, 0, none, {}, OPAQUE, false, false, {{{2, 3, 16, 16}, kBackground}, a, b}},
        {"underline", u"Ab", TA_TOP, 2, 3, 0, none, {}, TRANSPARENT, true, false, {a, b, {{2, 14, 16, 15}, kText}}},
        {"strike-out", u"Ab", TA_TOP, 2, 3, 0, none, {}, TRANSPARENT, false, true, {a, b, {{2, 10, 16, 11}, kText}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryCanvas canvas(24, 20);
        HFONT font = BoxFont(c.underline, c.strikeOut);
        SelectObject(canvas.dc, font);
        SetTextColor(canvas.dc, kText);
        SetBkColor(canvas.dc, kBackground);
        SetBkMode(canvas.dc, c.backgroundMode);
        SetTextAlign(canvas.dc, c.align);
        harness.Texts().Clear();
        EXPECT_TRUE(ExtTextOutW(canvas.dc, c.x, c.y, c.options, &c.rect, c.text.data(), static_cast<UINT>(c.text.size()),
                                c.dx.empty() ? nullptr : c.dx.data()));
        canvas.Expect([&](int x, int y) -> uint64_t {
            uint64_t pixel = 0;
            for (const Fill& fill : c.expected) {
                if (x >= fill.rect.left && x < fill.rect.right && y >= fill.rect.top && y < fill.rect.bottom)
                    pixel = OpaquePixel(fill.color);
            }
            return pixel;
        });
        std::vector<DrawnText> drawn = harness.Texts().Entries();
        ASSERT_EQ(drawn.size(), 1u);
        EXPECT_EQ(drawn[0].hdc, canvas.dc);
        EXPECT_EQ(drawn[0].text, c.text);
        EXPECT_EQ(drawn[0].font, font);
        EXPECT_EQ(drawn[0].color, kText);
        SelectObject(canvas.dc, GetStockObject(SYSTEM_FONT));
        DeleteObject(font);
    }
}

TEST_F(TextTest, DrawTextLaysOutAlignsBreaksAndMeasures)
{
    struct Case {
        std::u16string text;
        UINT format;
        RECT rect;
        int height;
        // DT_CALCRECT: the rectangle afterwards; otherwise the bounds of the ink.
        RECT result;
        // The string the log shows (nothing is logged for DT_CALCRECT).
        std::u16string shown;
    };
    const RECT box = {0, 0, 40, 30};
    const Case cases[] = {
        {u"Ab", DT_LEFT | DT_TOP, box, 13, {1, 1, 13, 10}, u"Ab"},
        {u"Ab", DT_RIGHT, box, 13, {27, 1, 39, 10}, u"Ab"},
        {u"Ab", DT_CENTER, box, 13, {14, 1, 26, 10}, u"Ab"},
        {u"A", DT_CENTER, box, 13, {17, 1, 22, 10}, u"A"},
        {u"Ab", DT_SINGLELINE | DT_VCENTER, box, 13, {1, 9, 13, 18}, u"Ab"},
        // The baseline sits at bottom - descent.
        {u"Ab", DT_SINGLELINE | DT_BOTTOM, box, 13, {1, 18, 13, 27}, u"Ab"},
        {u"Ab", DT_BOTTOM, box, 13, {1, 1, 13, 10}, u"Ab"},
        {u"aa bb cc", DT_WORDBREAK, box, 26, {1, 1, 34, 23}, u"aa bb cc"},
        // The spaces at a break belong to no line: "aa" is right-aligned by its own width.
        {u"aa   bb", DT_WORDBREAK | DT_RIGHT, {0, 0, 20, 30}, 26, {7, 1, 19, 23}, u"aa   bb"},
        // A word too wide is cut, two characters a line here.
        {u"abcdefg", DT_WORDBREAK, {0, 0, 20, 60}, 52, {1, 1, 13, 49}, u"abcdefg"},
        {u"ab", DT_WORDBREAK | DT_NOCLIP, {0, 0, 3, 60}, 26, {1, 1, 6, 23}, u"ab"},
        // The prefixed 'S' is underlined one row below the baseline.
        {u"&Save", DT_LEFT, box, 13, {0, 1, 27, 12}, u"Save"},
        {u"a&&b", DT_LEFT, box, 13, {1, 1, 20, 10}, u"a&b"},
        {u"ab&", DT_LEFT, box, 13, {1, 1, 13, 10}, u"ab"},
        {u"&a", DT_NOPREFIX, box, 13, {1, 1, 13, 10}, u"&a"},
        {u"a\r\nb", DT_LEFT, box, 26, {1, 1, 6, 23}, u"a\r\nb"},
        {u"a\rb", DT_LEFT, box, 26, {1, 1, 6, 23}, u"a\rb"},
        {u"a\nb", DT_LEFT, box, 26, {1, 1, 6, 23}, u"a\nb"},
        {u"a\r\n\r\nb", DT_LEFT, {0, 0, 40, 60}, 39, {1, 1, 6, 36}, u"a\r\n\r\nb"},
        {u"a\r\nb", DT_SINGLELINE, box, 13, {1, 1, 13, 10}, u"a\r\nb"},
        {u"aa bb cc", DT_SINGLELINE | DT_WORDBREAK | DT_NOCLIP, {0, 0, 20, 30}, 13, {1, 1, 55, 10}, u"aa bb cc"},
        {u"Ab", DT_LEFT, {0, 0, 6, 13}, 13, {1, 1, 6, 10}, u"Ab"},
        {u"Ab", DT_LEFT | DT_NOCLIP, {0, 0, 6, 13}, 13, {1, 1, 13, 10}, u"Ab"},
        {u"aa bb cc", DT_WORDBREAK | DT_CALCRECT, {5, 5, 45, 35}, 26, {5, 5, 40, 31}, u""},
        {u"Ab", DT_SINGLELINE | DT_CALCRECT, {0, 0, 5, 5}, 13, {0, 0, 14, 13}, u""},
        {u"W", DT_CALCRECT | DT_NOPREFIX | DT_BOTTOM, {0, 7, 10000, 7}, 13, {0, 7, 7, 20}, u""},
        {u"a\r\nb", DT_CALCRECT | DT_BOTTOM, {0, 0, 1, 1}, 26, {0, 0, 7, 26}, u""},
        {u"", DT_CALCRECT, {3, 3, 9, 9}, 0, {3, 3, 3, 3}, u""},
    };
    HFONT font = BoxFont();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "format " << std::hex << c.format << " case " << std::dec << (&c - cases));
        MemoryCanvas canvas(60, 60);
        HGDIOBJ previous = SelectObject(canvas.dc, font);
        SetBkMode(canvas.dc, TRANSPARENT);
        SetTextColor(canvas.dc, kText);
        harness.Texts().Clear();
        RECT rect = c.rect;
        EXPECT_EQ(DrawTextW(canvas.dc, c.text.data(), static_cast<int>(c.text.size()), &rect, c.format), c.height);
        std::vector<DrawnText> drawn = harness.Texts().Entries();
        if ((c.format & DT_CALCRECT) != 0) {
            EXPECT_TRUE(SameRect(rect, c.result));
            EXPECT_TRUE(SameRect(Ink(canvas), {0, 0, 0, 0}));
            EXPECT_TRUE(drawn.empty());
        } else {
            EXPECT_TRUE(SameRect(rect, c.rect));
            EXPECT_TRUE(SameRect(Ink(canvas), c.result));
            ASSERT_EQ(drawn.size(), 1u);
            EXPECT_EQ(drawn[0].text, c.shown);
            EXPECT_TRUE(SameRect(drawn[0].rect, c.rect));
            EXPECT_EQ(drawn[0].font, font);
        }
        SelectObject(canvas.dc, previous);
    }
    DeleteObject(font);

    // A terminated text of count -1 measures like its explicit length.
    MemoryCanvas canvas(4, 4);
    SelectObject(canvas.dc, font = BoxFont());
    RECT rect = {0, 0, 100, 100};
    EXPECT_EQ(DrawTextW(canvas.dc, u"one two", -1, &rect, DT_CALCRECT | DT_SINGLELINE), 13);
    EXPECT_EQ(rect.right, 49);
    SelectObject(canvas.dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(font);
}

TEST_F(TextTest, RealGlyphsBlendTheirCoverageInsideTheCellsAndTheClip)
{
    MemoryCanvas canvas(80, 40);
    HFONT font = CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                             CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, 0, u"Segoe UI");
    SelectObject(canvas.dc, font);
    SetBkMode(canvas.dc, TRANSPARENT);
    SetTextColor(canvas.dc, RGB(0, 0, 0));
    SIZE extent = {};
    ASSERT_TRUE(GetTextExtentPoint32W(canvas.dc, u"Ag\u4E2D", 3, &extent));
    EXPECT_TRUE(ExtTextOutW(canvas.dc, 5, 5, 0, nullptr, u"Ag\u4E2D", 3, nullptr));

    int full = 0;
    int partial = 0;
    bool missingGlyphInked = false;
    SIZE ag = {};
    GetTextExtentPoint32W(canvas.dc, u"Ag", 2, &ag);
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            uint64_t pixel = canvas.At(x, y);
            if (pixel == 0)
                continue;
            // Black text over nothing: only the alpha varies.
            EXPECT_EQ(pixel & 0xFFFFFF, 0u) << x << ", " << y;
            EXPECT_TRUE(x >= 5 && x < 5 + extent.cx && y >= 5 && y < 5 + extent.cy) << x << ", " << y;
            (pixel == 0xFF000000u ? full : partial)++;
            missingGlyphInked = missingGlyphInked || x >= 5 + ag.cx;
        }
    }
    EXPECT_GT(full, 10);
    EXPECT_GT(partial, 10);
    EXPECT_TRUE(missingGlyphInked);

    // The DC's clip region bounds the text too.
    MemoryCanvas clipped(80, 40);
    SelectObject(clipped.dc, font);
    HRGN region = CreateRectRgn(0, 0, 12, 40);
    SelectClipRgn(clipped.dc, region);
    RECT rect = {5, 5, 80, 40};
    EXPECT_EQ(DrawTextW(clipped.dc, u"Ag", -1, &rect, DT_LEFT), extent.cy);
    RECT ink = Ink(clipped);
    EXPECT_GT(ink.right, 5);
    EXPECT_LE(ink.right, 12);
    DeleteObject(region);
    SelectObject(clipped.dc, GetStockObject(SYSTEM_FONT));
    SelectObject(canvas.dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(font);
}

TEST_F(TextTest, BadDCsAndArgumentsFailQuietly)
{
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(DeleteDC(dc));
    SIZE size = {};
    TEXTMETRICW metrics = {};
    RECT rect = {0, 0, 10, 10};
    EXPECT_FALSE(GetTextExtentPoint32W(dc, u"a", 1, &size));
    EXPECT_FALSE(GetTextMetricsW(dc, &metrics));
    EXPECT_FALSE(ExtTextOutW(dc, 0, 0, 0, nullptr, u"a", 1, nullptr));
    EXPECT_EQ(DrawTextW(dc, u"a", 1, &rect, 0), 0);
    EXPECT_EQ(SetTextAlign(dc, TA_CENTER), GDI_ERROR);

    MemoryCanvas canvas(4, 4);
    EXPECT_FALSE(GetTextExtentPoint32W(canvas.dc, u"a", -2, &size));
    EXPECT_EQ(DrawTextW(canvas.dc, nullptr, 1, &rect, 0), 0);
    EXPECT_EQ(DrawTextW(canvas.dc, u"a", 1, nullptr, 0), 0);
    EXPECT_EQ(SetTextAlign(canvas.dc, TA_RIGHT | TA_BASELINE), TA_LEFT | TA_TOP);
    EXPECT_EQ(GetTextAlign(canvas.dc), TA_RIGHT | TA_BASELINE);
}

} // namespace
