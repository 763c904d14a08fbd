#include "toolkit/RazaGraf.h"

#include "GrafTesting.h"
#include "foundation/CXDebug.h"
#include "toolkit/RazaFont.h"
#include "toolkit/UIBitmap.h"
#include "win32/gdi/MemoryCanvas.h"
#include "win32/testing/Harness.h"
#include "win32/testing/Pixels.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using win32::testing::OpaquePixel;

const CXColor kRed{1.0f, 0.0f, 0.0f, 1.0f};
const CXColor kGreen{0.0f, 1.0f, 0.0f, 1.0f};
const CXColor kBlue{0.0f, 0.0f, 1.0f, 1.0f};
const CXColor kWhite{1.0f, 1.0f, 1.0f, 1.0f};
constexpr uint64_t kRedPixel = 0xFFFF0000u;
constexpr uint64_t kGreenPixel = 0xFF00FF00u;
constexpr uint64_t kBluePixel = 0xFF0000FFu;
constexpr uint64_t kClear = 0;

// The layer's synthetic face: at size 12 every character, the ellipsis too, is 7 pixels wide.
const char* const kTestFace = "Layer Test Box";

CXAutoReference<RazaGraf> MakeGraf(win32::HDC dc)
{
    CXAutoReference<RazaGraf> graf;
    graf.Swallow(new RazaGraf(dc));
    return graf;
}

class RazaGrafTest : public ::testing::Test {
protected:
    win32::testing::Harness harness;
    win32test::MemoryCanvas canvas{40, 40};
};

TEST_F(RazaGrafTest, ClipStackNestsWithTheOrigin)
{
    CXDebugCapture capture;
    {
        auto graf = MakeGraf(canvas.dc);
        const Box2i everything{-100, -100, 100, 100};

        graf->PushClipRegion(RazaRegion(Box2i{5, 5, 35, 35}), {5, 5});
        // In the new origin's coordinates, and inside the first clip.
        graf->PushClipRegion(RazaRegion(Box2i{10, 10, 40, 40}), {2, 2});
        EXPECT_EQ(graf->GetOrigin(), (Vector2i{7, 7}));
        EXPECT_EQ(graf->GetClipDepth(), 3u);
        graf->FillBox(everything, kRed);
        graf->FillBox(Box2i{8, 8, 9, 9}, kBlue);
        EXPECT_EQ(canvas.At(15, 15), kBluePixel);
        EXPECT_EQ(canvas.At(16, 16), kRedPixel);
        EXPECT_EQ(canvas.At(34, 34), kRedPixel);
        EXPECT_EQ(canvas.At(14, 14), kClear);
        EXPECT_EQ(canvas.At(35, 35), kClear);

        graf->PopClipRegion();
        EXPECT_EQ(graf->GetOrigin(), (Vector2i{5, 5}));
        graf->FillBox(Box2i{0, 0, 1, 1}, kGreen);
        graf->FillBox(Box2i{-1, -1, 0, 0}, kGreen);
        EXPECT_EQ(canvas.At(5, 5), kGreenPixel);
        EXPECT_EQ(canvas.At(4, 4), kClear);

        // A region outside the clip leaves nothing to draw on until its pop.
        graf->PushClipRegion(RazaRegion(Box2i{100, 100, 110, 110}), {0, 0});
        graf->FillBox(everything, kBlue);
        EXPECT_EQ(canvas.At(20, 20), kRedPixel);
        graf->PopClipRegion();

        graf->PopClipRegion();
        EXPECT_EQ(graf->GetOrigin(), (Vector2i{0, 0}));
        EXPECT_EQ(graf->GetClipDepth(), 1u);
        graf->FillBox(Box2i{0, 0, 1, 1}, kGreen);
        EXPECT_EQ(canvas.At(0, 0), kGreenPixel);
        EXPECT_FALSE(capture.Contains("underflow"));

        // One pop too many is logged and changes neither the origin nor the clip.
        graf->PopClipRegion();
        EXPECT_EQ(capture.Count("RazaGraf::PopClipRegion> clip stack underflow"), 1u);
        EXPECT_EQ(graf->GetOrigin(), (Vector2i{0, 0}));
        graf->FillBox(Box2i{39, 39, 40, 40}, kGreen);
        EXPECT_EQ(canvas.At(39, 39), kGreenPixel);
    }
    EXPECT_FALSE(capture.Contains("~RazaGraf"));

    // A push left at destruction is reported.
    {
        auto graf = MakeGraf(canvas.dc);
        graf->PushClipRegion(RazaRegion(Box2i{0, 0, 5, 5}), {1, 1});
    }
    EXPECT_EQ(capture.Count("~RazaGraf> clipping stack not released"), 1u);
}

TEST_F(RazaGrafTest, ClipRegionsFollowTheViewportOrigin)
{
    ASSERT_TRUE(win32::SetViewportOrgEx(canvas.dc, 10, 10, nullptr));
    auto graf = MakeGraf(canvas.dc);
    graf->PushClipRegion(RazaRegion(Box2i{0, 0, 5, 5}), {0, 0});
    graf->FillBox(Box2i{-10, -10, 30, 30}, kRed);
    graf->PopClipRegion();
    EXPECT_EQ(canvas.At(10, 10), kRedPixel);
    EXPECT_EQ(canvas.At(14, 14), kRedPixel);
    EXPECT_EQ(canvas.At(15, 15), kClear);
    EXPECT_EQ(canvas.At(9, 9), kClear);
}

TEST_F(RazaGrafTest, BrushCacheKeepsEightColours)
{
    const auto before = win32::testing::LiveGdiObjects();
    {
        auto graf = MakeGraf(canvas.dc);
        for (int i = 0; i < 9; ++i)
            graf->FillBox(Box2i{i, 0, i + 1, 1}, CXColor{i / 10.0f, 0.5f, 0.5f, 1.0f});
        EXPECT_EQ(win32::testing::LiveGdiObjects().brushes, before.brushes + 8);
        // The first colour was evicted and comes back, evicting the second; the rest are hits.
        for (int i = 0; i < 9; ++i)
            graf->FillBox(Box2i{i, 1, i + 1, 2}, CXColor{i == 1 ? 0.15f : i / 10.0f, 0.5f, 0.5f, 1.0f});
        EXPECT_EQ(win32::testing::LiveGdiObjects().brushes, before.brushes + 8);
        EXPECT_EQ(canvas.At(0, 1), OpaquePixel(win32::RGB(0, 127, 127)));
    }
    EXPECT_EQ(win32::testing::LiveGdiObjects(), before);
}

TEST_F(RazaGrafTest, DrawStringCutsLongLinesAtCharacterStarts)
{
    const std::string e = "\xC3\xA9";
    const std::string zhong = "\xE4\xB8\xAD";
    const std::string grin = "\xF0\x9F\x98\x80";
    std::string accented = "a";
    for (int i = 0; i < 1500; ++i)
        accented += e;
    struct Case {
        int32_t size;
        std::string text;
        std::vector<std::u16string> shown;
    };
    const Case cases[] = {
        {12, std::string(3000, 'a'), {std::u16string(2048, u'a')}},
        {12, accented, {u"a" + std::u16string(1023, u'\u00E9')}},
        {12, "short", {u"short"}},
        {0, "abc", {}},
        {-5, "abc", {}},
        {20000, "abc", {u"a"}},
        {20000, e + "bc", {u"\u00E9"}},
        {12000, zhong + "x", {u"\u4E2D"}},
        {20000, grin + "x", {u"\U0001F600"}},
    };
    auto graf = MakeGraf(canvas.dc);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        harness.Texts().Clear();
        RazaFont font(kTestFace, c.size);
        graf->DrawString(0, 20, CXStringArgument(c.text.data(), c.text.size()), font);
        // Compared without printing two-thousand-unit strings on a failure.
        const auto shown = harness.Texts().Strings();
        ASSERT_EQ(shown.size(), c.shown.size());
        for (size_t i = 0; i < shown.size(); ++i) {
            EXPECT_EQ(shown[i].size(), c.shown[i].size());
            EXPECT_TRUE(shown[i] == c.shown[i]);
        }
    }

    // The line's bottom lies 3 pixels below y, in the font's colour.
    harness.Texts().Clear();
    RazaFont font(kTestFace, 12, 0, kRed);
    graf->PushClipRegion(RazaRegion(Box2i{0, 0, 40, 40}), {2, 1});
    graf->DrawString(3, 20, "Hi", font);
    graf->PopClipRegion();
    const auto entries = harness.Texts().Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].rect.left, 5);
    EXPECT_EQ(entries[0].rect.bottom, 24);
    EXPECT_EQ(entries[0].rect.right - entries[0].rect.left, 10000);
    EXPECT_EQ(entries[0].rect.bottom - entries[0].rect.top, 1000);
    EXPECT_EQ(entries[0].color, win32::RGB(255, 0, 0));
    EXPECT_EQ(canvas.At(5 + 1, 24 - 3 - 1), kRedPixel); // inside the first glyph's box
}

TEST_F(RazaGrafTest, DrawStringFittedCutsWithAnEllipsis)
{
    const std::string zhong = "\xE4\xB8\xAD";
    const std::string wen = "\xE6\x96\x87";
    struct Case {
        std::string text;
        int32_t maxWidth;
        std::vector<std::u16string> shown;
    };
    const Case cases[] = {
        {"abcdef", 100, {u"abcdef"}},
        {"abcdef", 42, {u"abcdef"}},
        {"abcdef", 28, {u"abc\u2026"}},
        {"abcdef", 14, {u"a\u2026"}},
        {"abcdef", 13, {}},
        {"abcdef", 0, {}},
        {"abcdef", -1, {}},
        {"abcdef", -100000, {}},
        {"", 50, {}},
        {zhong + wen, 14, {u"\u4E2D\u6587"}},
        {zhong + wen + "x", 14, {u"\u4E2D\u2026"}},
        {zhong + wen, 10, {}},
        {"\xC3\xA9" "bc", 13, {}},
    };
    auto graf = MakeGraf(canvas.dc);
    RazaFont font(kTestFace, 12);
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + c.text + "\" in " + std::to_string(c.maxWidth));
        harness.Texts().Clear();
        graf->DrawStringFitted(0, 20, CXStringArgument(c.text.data(), c.text.size()), font, c.maxWidth);
        EXPECT_EQ(harness.Texts().Strings(), c.shown);
    }
}

TEST_F(RazaGrafTest, DrawBitmapBlendsAtTheColoursAlpha)
{
    const auto before = win32::testing::LiveGdiObjects();
    {
        auto graf = MakeGraf(canvas.dc);
        graf->FillBox(Box2i{0, 0, 40, 40}, kWhite);

        CXAutoReference<UIBitmap> bitmap;
        bitmap.Swallow(new UIBitmap);
        ASSERT_EQ(bitmap->Create(2, 2), 0);
        for (uint32_t y = 0; y < 2; ++y) {
            for (uint32_t x = 0; x < 2; ++x)
                bitmap->SetPixel(x, y, 0xFF0000FFu); // opaque red, format 0
        }
        bitmap->PrepareForDrawing();

        struct Case {
            float alpha;
            Box2i destination;
            uint64_t inside;
        };
        const Case cases[] = {
            {1.0f, {0, 0, 4, 4}, kRedPixel},     // stretched to 4 x 4
            {0.5f, {10, 0, 14, 4}, 0xFFFF8080u}, // constant alpha 127 over white
            {0.0f, {20, 0, 24, 4}, 0xFFFFFFFFu},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.alpha);
            graf->DrawBitmap(*bitmap, c.destination, CXColor{0.0f, 0.0f, 0.0f, c.alpha});
            EXPECT_EQ(canvas.At(c.destination.left, 0), c.inside);
            EXPECT_EQ(canvas.At(c.destination.right - 1, 3), c.inside);
            EXPECT_EQ(canvas.At(c.destination.right, 4), 0xFFFFFFFFu);
        }

        // A bitmap without pixels fills the destination with the colour instead.
        CXAutoReference<UIBitmap> empty;
        empty.Swallow(new UIBitmap);
        graf->DrawBitmap(*empty, Box2i{0, 10, 3, 13}, kGreen);
        EXPECT_EQ(canvas.At(2, 12), kGreenPixel);
        EXPECT_EQ(canvas.At(3, 13), 0xFFFFFFFFu);

        // An image is drawn through a prepared copy of its pixels; no image draws nothing.
        CXAutoReference<CXImage> image;
        image.Swallow(new CXImage);
        ASSERT_EQ(image->GetBitmap().Create(1, 1), 0);
        image->GetBitmap().SetPixel(0, 0, 0x80FF0000u); // blue at alpha 128, not premultiplied
        graf->DrawImage(image.get(), Box2i{20, 20, 22, 22}, kWhite);
        EXPECT_EQ(canvas.At(21, 21), 0xFF7F7FFFu);
        graf->DrawImage(nullptr, Box2i{30, 30, 32, 32}, kWhite);
        EXPECT_EQ(canvas.At(31, 31), 0xFFFFFFFFu);
    }
    EXPECT_EQ(win32::testing::LiveGdiObjects(), before);
}

TEST_F(RazaGrafTest, DrawAnchorPathJoinsEveryThirdPoint)
{
    CXAutoReference<RecordingGraf> graf;
    graf.Swallow(new RecordingGraf(canvas.dc));
    const Vector2i stray{30, 30};
    const Vector2i points[10] = {{2, 2}, stray, stray, {12, 2}, stray, stray, {12, 12}, stray, stray, {2, 12}};

    graf->DrawAnchorPath(points, 3, kRed);
    EXPECT_EQ(graf->Names(1), std::vector<std::string>{});
    EXPECT_EQ(canvas.At(2, 2), kClear);

    graf->DrawAnchorPath(points, 4, kRed);
    const auto& calls = graf->Calls();
    std::vector<std::pair<Vector2i, Vector2i>> lines;
    for (const auto& call : calls) {
        if (call.name == "DrawLine")
            lines.emplace_back(call.point, call.to);
    }
    const std::vector<std::pair<Vector2i, Vector2i>> expected = {
        {{2, 2}, {12, 2}}, {{12, 2}, {12, 12}}, {{12, 12}, {2, 12}}};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(canvas.At(2, 2), kRedPixel);
    EXPECT_EQ(canvas.At(11, 2), kRedPixel);
    EXPECT_EQ(canvas.At(12, 11), kRedPixel);
    EXPECT_EQ(canvas.At(3, 12), kRedPixel);
    EXPECT_EQ(canvas.At(2, 12), kClear); // a line's end pixel is not drawn
    EXPECT_EQ(canvas.At(30, 30), kClear);
}

TEST_F(RazaGrafTest, VisibleBoxIsThePartInsideTheClip)
{
    auto graf = MakeGraf(canvas.dc);
    graf->PushClipRegion(RazaRegion(Box2i{0, 0, 40, 30}), {5, 5});
    struct Case {
        Box2i box;
        Box2i visible;
    };
    const Case cases[] = {
        {{0, 0, 10, 10}, {0, 0, 10, 10, false}},
        {{30, 20, 50, 40}, {30, 20, 35, 25, false}},
        {{50, 50, 60, 60}, {50, 50, 50, 50, true}},   // entirely outside
        {{-20, -20, -6, -6}, {-20, -20, -20, -20, true}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(graf->VisibleBox(c.box), c.visible) << c.box.left << "," << c.box.top;

    // Under an empty clip nothing is visible.
    graf->PushClipRegion(RazaRegion(), {0, 0});
    EXPECT_EQ(graf->VisibleBox(Box2i{1, 2, 10, 10}), (Box2i{1, 2, 1, 2, true}));
    graf->PopClipRegion();
    graf->PopClipRegion();

    // Without a DC the clip box cannot be read: the box comes back as it is, and the clip stack
    // starts from an empty base.
    CXDebugCapture capture;
    auto bare = MakeGraf(nullptr);
    EXPECT_EQ(bare->VisibleBox(Box2i{1, 2, 3, 4}), (Box2i{1, 2, 3, 4}));
    bare->PushClipRegion(RazaRegion(Box2i{0, 0, 10, 10}), {3, 3});
    bare->FillBox(Box2i{0, 0, 10, 10}, kRed);
    bare->PopClipRegion();
    EXPECT_EQ(bare->GetClipDepth(), 1u);
    EXPECT_EQ(capture.ErrorCount(), 0u);
}

TEST_F(RazaGrafTest, FillRegionHighlightStaysInsideTheRegion)
{
    auto graf = MakeGraf(canvas.dc);
    const RazaRegion shape = RazaRegion(Box2i{0, 0, 10, 5}).Union(RazaRegion(Box2i{0, 5, 5, 10}));
    graf->FillRegionHighlight(shape, true);
    graf->FillRegionHighlight(shape.Offset({20, 0}), false);
    EXPECT_EQ(graf->GetClipDepth(), 1u);
    EXPECT_EQ(canvas.At(9, 1), OpaquePixel(win32::RGB(0, 120, 215)));
    EXPECT_EQ(canvas.At(1, 9), OpaquePixel(win32::RGB(0, 120, 215)));
    EXPECT_EQ(canvas.At(8, 8), kClear);
    EXPECT_EQ(canvas.At(21, 9), OpaquePixel(win32::RGB(191, 191, 204)));
    EXPECT_EQ(canvas.At(28, 8), kClear);
}

TEST_F(RazaGrafTest, ColourTable)
{
    const CXColor black{0.0f, 0.0f, 0.0f, 1.0f};
    const CXColor highlight{0.0f, 120 / 255.0f, 215 / 255.0f, 1.0f};
    const CXColor expected[] = {
        {0.94f, 0.94f, 0.94f, 1.0f}, // 0
        black,                       // 1: window text
        kWhite, kWhite,              // 2, 3: highlight text
        {0.95f, 0.95f, 0.95f, 1.0f}, // 4
        kWhite,                      // 5
        highlight, highlight,        // 6, 7
        black,                       // 8
        kWhite,                      // 9: highlight text
        black,                       // 10
        kWhite,                      // 11
        highlight,                   // 12
        {0.75f, 0.75f, 0.8f, 1.0f},  // 13
    };
    auto graf = MakeGraf(canvas.dc);
    CXDebugCapture capture;
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(graf->GetColor(i), expected[i]) << i;
    EXPECT_TRUE(capture.Lines().empty());
    EXPECT_EQ(graf->GetColor(14), black);
    EXPECT_EQ(capture.Count("RazaGraf::GetColor> unknown colorEnum=14"), 1u);
}

} // namespace
