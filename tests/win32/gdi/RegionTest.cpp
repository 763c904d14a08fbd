#include "win32/gdi/Gdi.h"
#include "win32/testing/Pixels.h"

#include <gtest/gtest.h>

#include <climits>

using namespace win32;

namespace {

bool Inside(const RECT& r, int x, int y)
{
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

std::string Show(const RECT& r)
{
    // Appended piece by piece: "{" + std::to_string(...) trips a false -Wrestrict in GCC 12's
    // inlined string code.
    std::string text = "{";
    for (LONG value : {r.left, r.top, r.right, r.bottom})
        text += std::to_string(value) + ",";
    text.back() = '}';
    return text;
}

TEST(RegionTest, CombiningGivesTheKindBoundsAndExactPixelsOfEveryOperation)
{
    const RECT a = {0, 0, 4, 4};
    const RECT overlapping = {2, 2, 6, 6};
    const RECT apart = {10, 10, 12, 12};
    const RECT topHalf = {0, 0, 4, 2};
    const RECT empty = {3, 3, 3, 3};
    const RECT inverted = {5, 5, 1, 1};
    struct Case {
        RECT first;
        RECT second;
        int mode;
        int kind;
        RECT box;
    };
    const Case cases[] = {
        {a, overlapping, RGN_AND, SIMPLEREGION, {2, 2, 4, 4}},
        {a, overlapping, RGN_OR, COMPLEXREGION, {0, 0, 6, 6}},
        {a, overlapping, RGN_XOR, COMPLEXREGION, {0, 0, 6, 6}},
        {a, overlapping, RGN_DIFF, COMPLEXREGION, {0, 0, 4, 4}},
        {a, topHalf, RGN_DIFF, SIMPLEREGION, {0, 2, 4, 4}},
        {a, topHalf, RGN_XOR, SIMPLEREGION, {0, 2, 4, 4}},
        {a, a, RGN_XOR, NULLREGION, {0, 0, 0, 0}},
        {a, apart, RGN_AND, NULLREGION, {0, 0, 0, 0}},
        {a, apart, RGN_OR, COMPLEXREGION, {0, 0, 12, 12}},
        {a, empty, RGN_OR, SIMPLEREGION, {0, 0, 4, 4}},
        {empty, a, RGN_XOR, SIMPLEREGION, {0, 0, 4, 4}},
        {empty, a, RGN_DIFF, NULLREGION, {0, 0, 0, 0}},
        {inverted, a, RGN_AND, NULLREGION, {0, 0, 0, 0}},
        {inverted, a, RGN_OR, SIMPLEREGION, {0, 0, 4, 4}},
        {inverted, empty, RGN_COPY, NULLREGION, {0, 0, 0, 0}},
        {overlapping, empty, RGN_COPY, SIMPLEREGION, {2, 2, 6, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Show(c.first) + " mode " + std::to_string(c.mode) + " " + Show(c.second));
        HRGN first = CreateRectRgnIndirect(&c.first);
        HRGN second = CreateRectRgnIndirect(&c.second);
        HRGN result = CreateRectRgn(0, 0, 0, 0);
        EXPECT_EQ(CombineRgn(result, first, second, c.mode), c.kind);
        RECT box = {-1, -1, -1, -1};
        EXPECT_EQ(GetRgnBox(result, &box), c.kind);
        EXPECT_EQ(Show(box), Show(c.box));
        for (int y = -1; y < 14; ++y) {
            for (int x = -1; x < 14; ++x) {
                bool inFirst = Inside(c.first, x, y), inSecond = Inside(c.second, x, y);
                bool expected = c.mode == RGN_AND    ? inFirst && inSecond
                                : c.mode == RGN_OR   ? inFirst || inSecond
                                : c.mode == RGN_XOR  ? inFirst != inSecond
                                : c.mode == RGN_DIFF ? inFirst && !inSecond
                                                     : inFirst;
                EXPECT_EQ(PtInRegion(result, x, y) != FALSE, expected) << "(" << x << ", " << y << ")";
            }
        }
        // The destination may be a source.
        EXPECT_EQ(CombineRgn(first, first, second, c.mode), c.kind);
        EXPECT_EQ(GetRgnBox(first, &box), c.kind);
        EXPECT_EQ(Show(box), Show(c.box));
        for (HRGN region : {first, second, result})
            EXPECT_TRUE(DeleteObject(region));
    }
}

TEST(RegionTest, MovingKeepsTheShapeWithinTheCoordinateRange)
{
    HRGN region = CreateRectRgn(1, 2, 4, 6);
    EXPECT_EQ(OffsetRgn(region, 10, -2), SIMPLEREGION);
    RECT box;
    EXPECT_EQ(GetRgnBox(region, &box), SIMPLEREGION);
    EXPECT_EQ(Show(box), Show({11, 0, 14, 4}));
    // Right and bottom are exclusive.
    EXPECT_TRUE(PtInRegion(region, 11, 0));
    EXPECT_TRUE(PtInRegion(region, 13, 3));
    EXPECT_FALSE(PtInRegion(region, 14, 3));
    EXPECT_FALSE(PtInRegion(region, 13, 4));
    // A move past the range is refused and changes nothing.
    EXPECT_EQ(OffsetRgn(region, INT_MAX, 0), ERROR);
    EXPECT_EQ(GetRgnBox(region, &box), SIMPLEREGION);
    EXPECT_EQ(Show(box), Show({11, 0, 14, 4}));
    EXPECT_TRUE(DeleteObject(region));

    // The widest rectangle is clamped to the range, not wrapped into an empty or inverted one.
    HRGN wide = CreateRectRgn(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    EXPECT_EQ(GetRgnBox(wide, &box), SIMPLEREGION);
    EXPECT_EQ(Show(box), Show({-(1 << 27), -(1 << 27), 1 << 27, 1 << 27}));
    EXPECT_TRUE(PtInRegion(wide, 0, 0));
    EXPECT_TRUE(DeleteObject(wide));
}

TEST(RegionTest, BadHandlesAndModesFail)
{
    HRGN region = CreateRectRgn(0, 0, 2, 2);
    HRGN gone = CreateRectRgn(0, 0, 2, 2);
    ASSERT_TRUE(DeleteObject(gone));
    RECT box;
    EXPECT_EQ(CombineRgn(region, region, gone, RGN_OR), ERROR);
    EXPECT_EQ(CombineRgn(gone, region, region, RGN_OR), ERROR);
    EXPECT_EQ(CombineRgn(region, region, region, 0), ERROR);
    EXPECT_EQ(OffsetRgn(gone, 1, 1), ERROR);
    EXPECT_EQ(GetRgnBox(gone, &box), ERROR);
    EXPECT_FALSE(PtInRegion(gone, 0, 0));
    EXPECT_EQ(CreateRectRgnIndirect(nullptr), nullptr);
    // The failed calls left the region as it was.
    EXPECT_EQ(GetRgnBox(region, &box), SIMPLEREGION);
    EXPECT_EQ(Show(box), Show({0, 0, 2, 2}));
    EXPECT_TRUE(DeleteObject(region));
}

} // namespace
