#include "toolkit/RazaFont.h"

#include "foundation/CXTextEncoding.h"
#include "toolkit/CXColor.h"
#include "toolkit/RazaGraf.h"
#include "toolkit/UIAppearance.h"
#include "win32/gdi/Gdi.h"
#include "win32/gdi/Text.h"
#include "win32/testing/Harness.h"
#include "win32/testing/Pixels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

// The layer's synthetic face: at size 12 every character is 7 pixels wide and a line 13 high
// (ascent 10, descent 3), the ellipsis included.
const char* const kTestFace = "Layer Test Box";
// A real face, for relations only.
const char* const kSansFace = "Segoe UI";

class RazaFontTest : public ::testing::Test {
protected:
    win32::testing::Harness harness;
};

// Bytes of the character at the start of the text, as the fitting search steps.
size_t CharacterEnd(const std::string& text, size_t at)
{
    size_t end = at + 1;
    while (end < text.size() && IsUTF8ContinuationByte(static_cast<unsigned char>(text[end])))
        ++end;
    return end;
}

bool IsBoundary(const std::string& text, size_t at)
{
    return at == 0 || at >= text.size() || !IsUTF8ContinuationByte(static_cast<unsigned char>(text[at]));
}

TEST_F(RazaFontTest, WidthsAddUpWhicheverWayTheyAreMeasured)
{
    const std::string text = "Wavé \xE2\x80\x9C\xE4\xB8\xAD\xE6\x96\x87\xE2\x80\x9D\tx\xF0\x9F\x98\x80!";
    for (const char* face : {kTestFace, kSansFace}) {
        SCOPED_TRACE(face);
        RazaFont font(face, 15);
        double sum = 0.0;
        CXStringArgument rest(text.data(), text.size());
        uint32_t codePoint = 0;
        size_t bytes = 0;
        while (rest.DecodeUTF8Character(codePoint, bytes)) {
            double width = -1.0;
            double height = -1.0;
            font.MeasureChar(codePoint, width, height);
            EXPECT_GE(width, 0.0);
            EXPECT_GT(height, 0.0);
            sum += width;
            rest += static_cast<int64_t>(bytes);
        }
        const double measured = font.MeasureWidth(CXStringArgument(text.data(), text.size()));
        EXPECT_GT(measured, 0.0);
        EXPECT_EQ(measured, sum);

        const CXString units = ConvertUTF8ToUTF16(text.data(), text.size());
        win32::HDC display = win32::CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
        win32::HGDIOBJ previous = win32::SelectObject(display, font.GetFontHandle());
        win32::SIZE extent{};
        ASSERT_TRUE(win32::GetTextExtentPoint32W(display, UTF16Units(units), static_cast<int>(UTF16UnitCount(units)),
                                                 &extent));
        (void)win32::SelectObject(display, previous);
        (void)win32::DeleteDC(display);
        EXPECT_EQ(measured, extent.cx);

        // The drawing context measures alike, on a DC of its own or, without one, on the font's.
        win32::HDC memory = win32::CreateCompatibleDC(nullptr);
        for (win32::HDC dc : {memory, static_cast<win32::HDC>(nullptr)}) {
            CXAutoReference<RazaGraf> graf;
            graf.Swallow(new RazaGraf(dc));
            const Box2f box = graf->MeasureString(CXStringArgument(text.data(), text.size()), 3, 4, 50, true, font);
            EXPECT_EQ(box.right - box.left, measured);
            EXPECT_EQ(box.left, 3.0f);
            EXPECT_EQ(box.top, 4.0f);
        }
        (void)win32::DeleteDC(memory);
    }
}

TEST_F(RazaFontTest, TestFaceMetricsAndHandle)
{
    RazaFont font(kTestFace, 12, RazaFont::kBold | RazaFont::kItalic);
    RazaFontMetrics metrics;
    ASSERT_TRUE(font.GetMetrics(metrics));
    EXPECT_EQ(metrics.ascent, 10);
    EXPECT_EQ(metrics.descent, 3);
    EXPECT_EQ(metrics.internalLeading, 1);
    double width = 0.0;
    double height = 0.0;
    font.MeasureChar('A', width, height);
    EXPECT_EQ(width, 7.0);
    EXPECT_EQ(height, 13.0);

    win32::LOGFONTW description{};
    ASSERT_NE(win32::GetObjectW(font.GetFontHandle(), sizeof(description), &description), 0);
    EXPECT_EQ(description.lfHeight, -12);
    EXPECT_EQ(description.lfWeight, win32::FW_BOLD);
    EXPECT_EQ(description.lfItalic, 1);
    EXPECT_EQ(description.lfUnderline, 0);
    EXPECT_EQ(std::u16string(description.lfFaceName), u"Layer Test Box");
}

TEST_F(RazaFontTest, CopiesMakeTheirOwnHandles)
{
    const auto before = win32::testing::LiveGdiObjects();
    {
        RazaFont font(kTestFace, 12);
        win32::HFONT handle = font.GetFontHandle();
        ASSERT_NE(handle, nullptr);
        RazaFont copy(font);
        EXPECT_NE(copy.GetFontHandle(), handle);
        copy = copy; // keeps its handle
        win32::HFONT copyHandle = copy.GetFontHandle();
        copy = copy;
        EXPECT_EQ(copy.GetFontHandle(), copyHandle);
        EXPECT_EQ(win32::testing::LiveGdiObjects().fonts, before.fonts + 2);
        // Assignment drops the handles, to be made again on next use.
        font = copy;
        EXPECT_EQ(win32::testing::LiveGdiObjects().fonts, before.fonts + 1);
        EXPECT_EQ(font.GetSize(), 12);
        // A handed-over font belongs to the caller.
        win32::HFONT detached = font.DetachFontHandle();
        EXPECT_NE(font.GetFontHandle(), detached);
        EXPECT_TRUE(win32::DeleteObject(detached));
    }
    EXPECT_EQ(win32::testing::LiveGdiObjects(), before);
}

TEST_F(RazaFontTest, MergeAndEquality)
{
    const CXColor red{1.0f, 0.0f, 0.0f, 1.0f};
    const CXColor blue{0.0f, 0.0f, 1.0f, 0.5f};
    RazaFont font("Segoe UI", 12, RazaFont::kBold, red, 1);
    (void)font.GetFontHandle();

    // Size 0 and no face keep those; style, colour and alignment are always taken.
    font.Merge(RazaFont("", 0, RazaFont::kItalic | RazaFont::kUnderline, blue, 2));
    EXPECT_EQ(font.GetFace(), "Segoe UI");
    EXPECT_EQ(font.GetSize(), 12);
    EXPECT_EQ(font.GetStyle(), RazaFont::kItalic | RazaFont::kUnderline);
    EXPECT_EQ(font.GetColor(), blue);
    EXPECT_EQ(font.GetAlignment(), 2);
    win32::LOGFONTW description{};
    ASSERT_NE(win32::GetObjectW(font.GetFontHandle(), sizeof(description), &description), 0);
    EXPECT_EQ(description.lfWeight, win32::FW_NORMAL);
    EXPECT_EQ(description.lfItalic, 1);

    font.Merge(RazaFont("Courier New", 20, 0, red, 0));
    EXPECT_EQ(font.GetFace(), "Courier New");
    EXPECT_EQ(font.GetSize(), 20);
    EXPECT_EQ(font.GetStyle(), 0);

    struct Case {
        const char* what;
        void (*change)(RazaFont&);
        bool equal;
    };
    const Case cases[] = {
        {"underline", [](RazaFont& f) { f.SetStyle(f.GetStyle() | RazaFont::kUnderline); }, true},
        {"colour", [](RazaFont& f) { f.SetColor({0.2f, 0.3f, 0.4f, 1.0f}); }, true},
        {"size", [](RazaFont& f) { f.SetSize(13); }, false},
        {"bold", [](RazaFont& f) { f.SetStyle(f.GetStyle() | RazaFont::kBold); }, false},
        {"italic", [](RazaFont& f) { f.SetStyle(f.GetStyle() | RazaFont::kItalic); }, false},
        {"strike-out", [](RazaFont& f) { f.SetStyle(f.GetStyle() | RazaFont::kStrikeOut); }, false},
        {"face", [](RazaFont& f) { f.SetFace("Times New Roman"); }, false},
        {"alignment", [](RazaFont& f) { f.SetAlignment(3); }, false},
    };
    const RazaFont base("Segoe UI", 12, 0, red, 0);
    for (const Case& c : cases) {
        RazaFont other(base);
        c.change(other);
        EXPECT_EQ(other == base, c.equal) << c.what;
        EXPECT_EQ(base == other, c.equal) << c.what;
    }

    // Appearances hand the font back unchanged.
    const RazaFont adjusted = UIAppearanceWin32::Get()->AdjustFont(font);
    EXPECT_TRUE(adjusted == font);
    EXPECT_EQ(adjusted.GetColor(), font.GetColor());
    EXPECT_EQ(adjusted.GetStyle(), font.GetStyle());
}

TEST_F(RazaFontTest, WrappedHeightInLines)
{
    // Test face 12: 7 pixels a character, 13 a line.
    struct Case {
        const char* text;
        double maxWidth;
        int lines;
    };
    const Case cases[] = {
        {"", 100, 0},
        {"abc def", 100, 1},
        {"abc def", 49, 1},        // exactly the width
        {"aaa bbb", 30, 2},        // the second word moves on
        {"aaa bbb ccc", 56, 2},    // "aaa bbb " then "ccc"
        {"abcdefgh", 21, 3},       // a word wider than the width is cut: abc, def, gh
        {"a\nb", 100, 2},
        {"a\r\n", 100, 2},         // CR and LF each close a line
        {"a\r\nb", 100, 3},
        {"\n\n", 100, 2},
    };
    RazaFont font(kTestFace, 12);
    for (const Case& c : cases)
        EXPECT_EQ(font.MeasureWrappedHeight(c.text, c.maxWidth), 13.0 * c.lines) << c.text << " in " << c.maxWidth;
}

// A fitting answer fits, ends at a character boundary, and one more character would not fit.
void ExpectLongestFit(RazaFont& font, const std::string& text, int32_t maxWidth)
{
    SCOPED_TRACE("\"" + text + "\" in " + std::to_string(maxWidth));
    auto width = [&](const std::string& piece) { return font.MeasureWidth(CXStringArgument(piece.data(), piece.size())); };
    const std::string ellipsis = "\xE2\x80\xA6";

    const size_t k = font.FitPrefix(CXStringArgument(text.data(), text.size()), maxWidth);
    ASSERT_LE(k, text.size());
    EXPECT_TRUE(IsBoundary(text, k));
    EXPECT_LE(width(text.substr(0, k)), std::max(maxWidth, 0));
    if (k < text.size()) {
        EXPECT_GT(width(text.substr(0, CharacterEnd(text, k))), maxWidth);
    }

    for (int32_t alignment : {0, 2}) {
        SCOPED_TRACE(alignment);
        font.SetAlignment(alignment);
        const CXString cut = font.Truncate(CXStringArgument(text.data(), text.size()), maxWidth);
        const std::string result(cut.c_str(), cut.length());
        if (width(text) <= maxWidth) {
            EXPECT_EQ(result, text);
            continue;
        }
        if (result.empty()) {
            // Not even one character with the ellipsis fits.
            size_t lastStart = text.empty() ? 0 : text.size() - 1;
            while (lastStart > 0 && !IsBoundary(text, lastStart))
                --lastStart;
            const std::string one = alignment == 0 ? text.substr(0, CharacterEnd(text, 0)) + ellipsis
                                                   : ellipsis + text.substr(lastStart);
            EXPECT_GT(width(one), maxWidth);
            continue;
        }
        EXPECT_LE(width(result), maxWidth);
        if (alignment == 0) {
            ASSERT_GE(result.size(), ellipsis.size());
            ASSERT_EQ(result.substr(result.size() - ellipsis.size()), ellipsis);
            const size_t kept = result.size() - ellipsis.size();
            EXPECT_EQ(result.substr(0, kept), text.substr(0, kept));
            EXPECT_TRUE(IsBoundary(text, kept));
            EXPECT_GT(width(text.substr(0, CharacterEnd(text, kept)) + ellipsis), maxWidth);
        } else {
            ASSERT_EQ(result.substr(0, ellipsis.size()), ellipsis);
            const size_t kept = result.size() - ellipsis.size();
            const size_t start = text.size() - kept;
            EXPECT_EQ(result.substr(ellipsis.size()), text.substr(start));
            EXPECT_TRUE(IsBoundary(text, start));
            size_t before = start - 1;
            while (before > 0 && !IsBoundary(text, before))
                --before;
            EXPECT_GT(width(ellipsis + text.substr(before)), maxWidth);
        }
    }
}

TEST_F(RazaFontTest, FitPrefixAndTruncate)
{
    // Test face 12: 7 pixels a character, the ellipsis too.
    struct Case {
        std::string text;
        int32_t maxWidth;
        size_t prefix;
        std::string left;  // Truncate, alignment 0
        std::string right; // Truncate, alignment 2
    };
    const std::string e = "\xE2\x80\xA6";
    const std::string zhong = "\xE4\xB8\xAD"; // a CJK character, 3 bytes
    const std::string wen = "\xE6\x96\x87";
    const std::string quote = "\xE2\x80\x9C"; // a left double quotation mark, 3 bytes
    const Case cases[] = {
        {"abcdef", 100, 6, "abcdef", "abcdef"},
        {"abcdef", 42, 6, "abcdef", "abcdef"},
        {"abcdef", 41, 5, "abcd" + e, e + "cdef"},
        {"abcdef", 28, 4, "abc" + e, e + "def"},
        {"abcdef", 14, 2, "a" + e, e + "f"},
        {"abcdef", 13, 1, "", ""},
        {"abcdef", 6, 0, "", ""},
        {"abcdef", 0, 0, "", ""},
        {"abcdef", -7, 0, "", ""},
        {"", 0, 0, "", ""},
        {"", -1, 0, "", ""},
        {"\xC3\xA9" "bc", 14, 3, "\xC3\xA9" + e, e + "c"},
        {"\xC3\xA9" "bc", 6, 0, "", ""},
        {"ab\xC3\xA9", 13, 1, "", ""},
        {zhong + wen + "x", 14, 6, zhong + e, e + "x"},
        {zhong + wen + "x", 6, 0, "", ""},
        {zhong + wen + "x", -1, 0, "", ""},
        {"xy" + zhong + wen, 13, 1, "", ""},
        {"xy" + zhong + wen, 20, 2, "x" + e, e + wen},
        {quote + "ab" + quote, 6, 0, "", ""},
        {quote + "ab" + quote, 14, 4, quote + e, e + quote},
        {zhong, 6, 0, "", ""},
        {zhong, 7, 3, zhong, zhong},
    };
    RazaFont font(kTestFace, 12);
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + c.text + "\" in " + std::to_string(c.maxWidth));
        const CXStringArgument text(c.text.data(), c.text.size());
        EXPECT_EQ(font.FitPrefix(text, c.maxWidth), c.prefix);
        font.SetAlignment(0);
        EXPECT_EQ(std::string(font.Truncate(text, c.maxWidth).c_str()), c.left);
        font.SetAlignment(2);
        EXPECT_EQ(std::string(font.Truncate(text, c.maxWidth).c_str()), c.right);
        font.SetAlignment(3);
        EXPECT_EQ(std::string(font.Truncate(text, c.maxWidth).c_str()), c.right);
        ExpectLongestFit(font, c.text, c.maxWidth);
    }

    // The same relations hold in a face of varying widths.
    RazaFont sans(kSansFace, 13);
    for (const Case& c : cases) {
        for (int32_t maxWidth : {-3, 0, 5, 9, 20, 33, 60})
            ExpectLongestFit(sans, c.text, maxWidth);
    }
}

TEST(CXColorTest, ColorRefs)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        CXColor color;
        uint32_t colorRef;
        uint32_t rgb; // ColorRefFromRGB of the first three channels
    };
    const Case cases[] = {
        {{1.2f, 0.5f, -0.3f, 1.0f}, 0xFF007FFFu, 0x007FFFu},
        {{0.0f, 0.0f, 0.0f, 0.0f}, 0x00000000u, 0x000000u},
        {{1.0f, 1.0f, 1.0f, 0.5f}, 0x7FFFFFFFu, 0xFFFFFFu},
        {{0.25f, 0.75f, 0.999f, 0.0f}, 0x00FEBF3Fu, 0xFEBF3Fu},
        {{nan, 0.5f, nan, nan}, 0x00007F00u, 0x007F00u},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.color.ToColorRef(), c.colorRef) << std::hex << c.colorRef;
        EXPECT_EQ(ColorRefFromRGB(c.color.red, c.color.green, c.color.blue), c.rgb) << std::hex << c.rgb;
    }
    EXPECT_FALSE((CXColor{nan, 0.0f, 0.0f, 1.0f} == CXColor{nan, 0.0f, 0.0f, 1.0f}));
}

} // namespace
