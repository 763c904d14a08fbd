#include "win32/gdi/Font.h"

#include "foundation/CXDebug.h"
#include "win32/WindowTesting.h"
#include "win32/gdi/FontEngine.h"
#include "win32/gdi/Gdi.h"
#include "win32/gdi/MemoryCanvas.h"
#include "win32/gdi/Text.h"
#include "win32/testing/Pixels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace win32;

namespace {

HFONT MakeFont(const char16_t* face, int height, int weight = FW_NORMAL, bool italic = false)
{
    return CreateFontW(height, 0, 0, 0, weight, italic, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

// A measuring DC with one font selected; the font is deleted with it.
class Measure {
public:
    explicit Measure(HFONT font) : fFont(font)
    {
        fDC = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
        EXPECT_NE(fDC, nullptr);
        EXPECT_NE(font, nullptr);
        fPrevious = SelectObject(fDC, font);
    }
    ~Measure()
    {
        SelectObject(fDC, fPrevious);
        DeleteDC(fDC);
        DeleteObject(fFont);
    }

    int Width(const std::u16string& text) const
    {
        SIZE size = {-1, -1};
        EXPECT_TRUE(GetTextExtentPoint32W(fDC, text.data(), static_cast<int>(text.size()), &size));
        return size.cx;
    }
    TEXTMETRICW Metrics() const
    {
        TEXTMETRICW metrics = {};
        EXPECT_TRUE(GetTextMetricsW(fDC, &metrics));
        return metrics;
    }
    HDC DC() const { return fDC; }

private:
    HFONT fFont;
    HDC fDC = nullptr;
    HGDIOBJ fPrevious = nullptr;
};

int Em(const TEXTMETRICW& metrics)
{
    return metrics.tmHeight - metrics.tmInternalLeading;
}

// What one face of a file gives a code point at an em: the rounded advance and the glyph image
// (the face's missing glyph when it has none).
struct FaceGlyph {
    int advance = 0;
    gdi::GlyphImage image;
};

FaceGlyph GlyphOfFace(const gdi::FaceFile& file, uint32_t codePoint, int em)
{
    FaceGlyph glyph;
    std::unique_ptr<gdi::Face> face = gdi::OpenFace(file);
    EXPECT_NE(face, nullptr) << file.path;
    if (face == nullptr)
        return glyph;
    uint32_t index = face->GlyphIndex(codePoint);
    int64_t unitsPerEm = face->Info().unitsPerEm;
    glyph.advance = static_cast<int>((2 * face->AdvanceUnits(index) * int64_t{em} + unitsPerEm) / (2 * unitsPerEm));
    EXPECT_TRUE(face->Render(index, em, &glyph.image));
    return glyph;
}

// Black text drawn over nothing leaves exactly the coverage in the alpha byte.
uint64_t InkOf(const gdi::GlyphImage& image, int penX, int baseline, int x, int y)
{
    int column = x - (penX + image.left);
    int row = y - (baseline - image.top);
    if (column < 0 || column >= image.width || row < 0 || row >= image.height)
        return 0;
    return uint64_t{image.coverage[static_cast<size_t>(row * image.width + column)]} << 24;
}

uint64_t TotalInk(const win32test::MemoryCanvas& canvas)
{
    uint64_t total = 0;
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x)
            total += canvas.At(x, y) >> 24;
    }
    return total;
}

class FontTest : public ::testing::Test {
protected:
    win32::testing::Harness harness;
};

TEST_F(FontTest, FontsAreDrawingObjectsThatDescribeThemselves)
{
    size_t live = win32::testing::LiveGdiObjects().fonts;
    LOGFONTW asked = {};
    asked.lfHeight = -15;
    asked.lfWeight = FW_BOLD;
    asked.lfItalic = 1;
    asked.lfUnderline = 1;
    asked.lfCharSet = DEFAULT_CHARSET;
    std::memcpy(asked.lfFaceName, u"Times New Roman", sizeof(u"Times New Roman"));
    HFONT indirect = CreateFontIndirectW(&asked);
    ASSERT_NE(indirect, nullptr);
    EXPECT_EQ(GetObjectType(indirect), OBJ_FONT);
    EXPECT_EQ(GetObjectW(indirect, 0, nullptr), static_cast<int>(sizeof(LOGFONTW)));
    LOGFONTW described = {};
    EXPECT_EQ(GetObjectW(indirect, sizeof(described), &described), static_cast<int>(sizeof(LOGFONTW)));
    EXPECT_EQ(std::memcmp(&described, &asked, sizeof(LOGFONTW)), 0);

    // The A call takes its face in UTF-8; a long face name is cut to 31 units.
    HFONT narrow = CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                               CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, 0, "Gr\xC3\xBC\xC3\x9F" "e");
    HFONT longName = MakeFont(u"A face name of more than thirty-one units", -12);
    ASSERT_TRUE(narrow && longName);
    GetObjectW(narrow, sizeof(described), &described);
    EXPECT_EQ(std::u16string(described.lfFaceName), u"Grüße");
    GetObjectW(longName, sizeof(described), &described);
    EXPECT_EQ(std::u16string(described.lfFaceName), std::u16string(u"A face name of more than thirty-one units").substr(0, 31));
    EXPECT_EQ(win32::testing::LiveGdiObjects().fonts, live + 3);

    EXPECT_TRUE(DeleteObject(indirect));
    EXPECT_FALSE(DeleteObject(indirect));
    EXPECT_EQ(GetObjectW(indirect, sizeof(described), &described), 0);
    DeleteObject(narrow);
    DeleteObject(longName);
    EXPECT_EQ(win32::testing::LiveGdiObjects().fonts, live);
    EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
}

TEST_F(FontTest, StockFontsAreUncountedAndSurviveDeletion)
{
    size_t live = win32::testing::LiveGdiObjects().fonts;
    for (int index : {OEM_FIXED_FONT, ANSI_FIXED_FONT, ANSI_VAR_FONT, SYSTEM_FONT, DEVICE_DEFAULT_FONT,
                      SYSTEM_FIXED_FONT, DEFAULT_GUI_FONT}) {
        HGDIOBJ font = GetStockObject(index);
        ASSERT_NE(font, nullptr) << index;
        EXPECT_EQ(GetObjectType(font), OBJ_FONT);
        EXPECT_TRUE(DeleteObject(font));
        EXPECT_EQ(GetStockObject(index), font);
        LOGFONTW described = {};
        EXPECT_EQ(GetObjectW(font, sizeof(described), &described), static_cast<int>(sizeof(LOGFONTW)));
    }
    EXPECT_EQ(win32::testing::LiveGdiObjects().fonts, live);

    // A new DC draws with the system font until another is selected.
    HDC dc = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
    HGDIOBJ gui = GetStockObject(DEFAULT_GUI_FONT);
    EXPECT_EQ(SelectObject(dc, gui), GetStockObject(SYSTEM_FONT));
    TEXTMETRICW metrics = {};
    ASSERT_TRUE(GetTextMetricsW(dc, &metrics));
    EXPECT_EQ(Em(metrics), 12);
    EXPECT_EQ(metrics.tmWeight, FW_NORMAL);
    DeleteDC(dc);
}

TEST_F(FontTest, TheTestFaceHasItsFormulaMetricsInEveryStyle)
{
    struct Case {
        int em;
        int advance;
        int ascent;
        int descent;
    };
    // round(7s/12), round(5s/6), round(s/4), halves rounding up.
    const Case cases[] = {{12, 7, 10, 3}, {6, 4, 5, 2}, {7, 4, 6, 2}, {18, 11, 15, 5}, {1, 1, 1, 0}};
    for (const Case& c : cases) {
        for (int style = 0; style < 4; ++style) {
            Measure measure(MakeFont(u"layer test box", -c.em, style & 1 ? FW_BOLD : FW_NORMAL, style & 2));
            TEXTMETRICW metrics = measure.Metrics();
            SCOPED_TRACE(::testing::Message() << "em " << c.em << " style " << style);
            EXPECT_EQ(measure.Width(u"M"), c.advance);
            EXPECT_EQ(measure.Width(u" "), c.advance);
            EXPECT_EQ(metrics.tmAscent, c.ascent);
            EXPECT_EQ(metrics.tmDescent, c.descent);
            EXPECT_EQ(metrics.tmHeight, c.ascent + c.descent);
            EXPECT_EQ(metrics.tmInternalLeading, std::max(0, c.ascent + c.descent - c.em));
            EXPECT_EQ(metrics.tmExternalLeading, 0);
            EXPECT_EQ(metrics.tmWeight, style & 1 ? FW_BOLD : FW_NORMAL);
        }
    }
}

TEST_F(FontTest, HeightPicksTheEm)
{
    struct Case {
        const char16_t* face;
        int height;
        int em;
    };
    // The test face's cell heights: em 12 -> 13, em 13 -> 14, em 24 -> 26, em 25 -> 27.
    const Case cases[] = {
        {u"Layer Test Box", -12, 12}, {u"Layer Test Box", 0, 12},  {u"Layer Test Box", 13, 12},
        {u"Layer Test Box", 14, 13},  {u"Layer Test Box", 26, 24}, {u"Layer Test Box", 27, 25},
        {u"Layer Test Box", 1, 1},    {u"Segoe UI", -16, 16},      {u"Segoe UI", 0, 12},
    };
    for (const Case& c : cases) {
        Measure measure(MakeFont(c.face, c.height));
        EXPECT_EQ(Em(measure.Metrics()), c.em) << "height " << c.height;
    }

    // A positive height is the tallest cell that fits: one em more would not.
    for (const char16_t* face : {u"Segoe UI", u"Times New Roman", u"Courier New"}) {
        for (int height : {11, 16, 23, 40}) {
            Measure measure(MakeFont(face, height));
            TEXTMETRICW metrics = measure.Metrics();
            EXPECT_LE(metrics.tmHeight, height);
            Measure larger(MakeFont(face, -(Em(metrics) + 1)));
            EXPECT_GT(larger.Metrics().tmHeight, height);
        }
    }
}

TEST_F(FontTest, WidthsAddUpCodePointByCodePoint)
{
    const std::u16string text = u"Wave, fjord! \u00C4\u00DF\u20AC \U0001F600 \u4E2D\u6587 tab\there\r\n";
    for (const char16_t* face : {u"Layer Test Box", u"Segoe UI", u"Times New Roman"}) {
        for (int weight : {FW_NORMAL, FW_BOLD}) {
            Measure measure(MakeFont(face, -17, weight));
            int sum = 0;
            for (size_t i = 0; i < text.size(); ++i) {
                size_t length = i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF ? 2 : 1;
                sum += measure.Width(text.substr(i, length));
                i += length - 1;
            }
            EXPECT_EQ(measure.Width(text), sum);
            EXPECT_EQ(measure.Width(u"\t\r\n\x01\x1F"), 0);
        }
    }

    // A surrogate pair is one code point, a lone surrogate one advance.
    Measure box(MakeFont(u"Layer Test Box", -12));
    EXPECT_EQ(box.Width(u"\U0001F600"), 7);
    EXPECT_EQ(box.Width(std::u16string(1, u'\xD83D')), 7);
    EXPECT_EQ(box.Width(std::u16string(u"\xDE00\xD83D", 2)), 14);
}

TEST_F(FontTest, RealFacesKeepTheirMetricRelations)
{
    for (const char16_t* face : {u"Segoe UI", u"", u"No Such Face", u"Times New Roman", u"Courier New"}) {
        for (int em : {9, 12, 16, 31}) {
            Measure regular(MakeFont(face, -em));
            Measure bold(MakeFont(face, -em, FW_BOLD));
            Measure italic(MakeFont(face, -em, FW_NORMAL, true));
            for (const Measure* measure : {&regular, &bold, &italic}) {
                TEXTMETRICW metrics = measure->Metrics();
                EXPECT_EQ(metrics.tmAscent + metrics.tmDescent, metrics.tmHeight);
                EXPECT_EQ(metrics.tmInternalLeading, std::max(0, metrics.tmHeight - em));
                EXPECT_GE(metrics.tmExternalLeading, 0);
                EXPECT_GT(metrics.tmAveCharWidth, 0);
                EXPECT_GE(metrics.tmMaxCharWidth, metrics.tmAveCharWidth);
            }
            EXPECT_GE(bold.Width(u"Installing the patch"), regular.Width(u"Installing the patch"));
        }
    }

    // The map: unknown names and "" are the sans face; the serif and monospaced faces differ from
    // it, and the monospaced one gives every character one width.
    Measure sans(MakeFont(u"Segoe UI", -20));
    Measure empty(MakeFont(u"", -20));
    Measure unknown(MakeFont(u"Comic Something", -20));
    Measure serif(MakeFont(u"Times New Roman", -20));
    Measure mono(MakeFont(u"courier new", -20));
    const std::u16string sample = u"Illegible wombat";
    EXPECT_EQ(empty.Width(sample), sans.Width(sample));
    EXPECT_EQ(unknown.Width(sample), sans.Width(sample));
    EXPECT_NE(serif.Width(sample), sans.Width(sample));
    EXPECT_EQ(mono.Width(u"i"), mono.Width(u"W"));
    EXPECT_NE(sans.Width(u"i"), sans.Width(u"W"));

    // Code points no installed face has take DejaVu Sans's missing glyph: one width for all.
    int missing = sans.Width(u"\u0378");
    EXPECT_GT(missing, 0);
    EXPECT_EQ(sans.Width(u"\u0379"), missing);
    EXPECT_EQ(serif.Width(u"\U0010FFFD"), missing);
}

TEST_F(FontTest, CodePointsNoMappedFaceHasComeFromAnInstalledFaceThatHasThem)
{
    gdi::FamilyFiles dejaVu;
    ASSERT_TRUE(gdi::FindInstalledFamily("DejaVu Sans", "fonts-dejavu-core", &dejaVu, nullptr));
    enum Expect { kCovered, kMissing };
    struct Case {
        char16_t codePoint;
        Expect expect;
    };
    // The machine set-up installs faces covering the ideographs, kana and Hangul syllables.
    const Case cases[] = {
        {u'\u65E5', kCovered}, {u'\u672C', kCovered}, {u'\u8A9E', kCovered},
        {u'\u4E2D', kCovered}, {u'\u6587', kCovered}, {u'\u3042', kCovered},
        {u'\uD55C', kCovered}, {u'\uAD6D', kCovered}, {u'\uC5B4', kCovered},
        {u'\u0378', kMissing},
    };
    constexpr int kEm = 16;
    const HFONT font = MakeFont(u"Segoe UI", -kEm);
    Measure measure(MakeFont(u"Segoe UI", -kEm));
    const TEXTMETRICW metrics = measure.Metrics();
    const FaceGlyph missing = GlyphOfFace(dejaVu.styles[0], 0x378, kEm);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "U+" << std::hex << static_cast<int>(c.codePoint));
        gdi::CoveringFace covering;
        bool covered = gdi::FindFaceCovering(c.codePoint, &covering);
        EXPECT_EQ(covered, c.expect == kCovered);
        FaceGlyph expected = covered ? GlyphOfFace({covering.path, covering.index, false, false}, c.codePoint, kEm) : missing;
        if (covered) {
            EXPECT_NE(expected.image.coverage, missing.image.coverage);
        }
        const std::u16string text(1, c.codePoint);
        EXPECT_EQ(measure.Width(text), expected.advance);

        // On the selected font's baseline: its ascent below the top of the cell.
        win32test::MemoryCanvas canvas(40, 40);
        SelectObject(canvas.dc, font);
        SetBkMode(canvas.dc, TRANSPARENT);
        SetTextColor(canvas.dc, RGB(0, 0, 0));
        EXPECT_TRUE(ExtTextOutW(canvas.dc, 5, 6, 0, nullptr, text.data(), 1, nullptr));
        canvas.Expect([&](int x, int y) { return InkOf(expected.image, 5, 6 + metrics.tmAscent, x, y); });
        SelectObject(canvas.dc, GetStockObject(SYSTEM_FONT));
    }

    // The line's width is its code points' widths added up, whatever face each comes from; a
    // clipped line keeps its ink inside the clip.
    const std::u16string line = u"\u65E5\u672C\u8A9E \u4E2D\u6587 \uD55C\uAD6D\uC5B4";
    int sum = 0;
    for (char16_t unit : line)
        sum += measure.Width(std::u16string(1, unit));
    EXPECT_EQ(measure.Width(line), sum);
    win32test::MemoryCanvas whole(sum + 10, 40);
    win32test::MemoryCanvas clipped(sum + 10, 40);
    const RECT clip = {8, 10, sum, 6 + metrics.tmAscent - 3};
    for (win32test::MemoryCanvas* canvas : {&whole, &clipped}) {
        SelectObject(canvas->dc, font);
        SetBkMode(canvas->dc, TRANSPARENT);
        SetTextColor(canvas->dc, RGB(0, 0, 0));
        EXPECT_TRUE(ExtTextOutW(canvas->dc, 5, 6, canvas == &clipped ? ETO_CLIPPED : 0, &clip, line.data(),
                                static_cast<UINT>(line.size()), nullptr));
        SelectObject(canvas->dc, GetStockObject(SYSTEM_FONT));
    }
    EXPECT_GT(TotalInk(clipped), 0u);
    EXPECT_GT(TotalInk(whole), TotalInk(clipped));
    clipped.Expect([&](int x, int y) {
        bool inside = x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
        return inside ? whole.At(x, y) : 0;
    });

    // A bold font draws them heavier and wider, as it does the glyphs of its own face.
    const HFONT bold = MakeFont(u"Segoe UI", -kEm, FW_BOLD);
    Measure boldMeasure(bold);
    EXPECT_GT(boldMeasure.Width(u"\u4E2D"), measure.Width(u"\u4E2D"));
    uint64_t ink[2] = {0, 0};
    for (HFONT each : {font, bold}) {
        win32test::MemoryCanvas canvas(40, 40);
        SelectObject(canvas.dc, each);
        SetBkMode(canvas.dc, TRANSPARENT);
        ExtTextOutW(canvas.dc, 5, 6, 0, nullptr, u"\u4E2D", 1, nullptr);
        ink[each == bold ? 1 : 0] = TotalInk(canvas);
        SelectObject(canvas.dc, GetStockObject(SYSTEM_FONT));
    }
    EXPECT_GT(ink[1], ink[0] + ink[0] / 5);
    DeleteObject(font);
}

TEST_F(FontTest, FontsWorkOnAnotherThread)
{
    int widths[2] = {0, 0};
    auto measure = [](int* width) {
        Measure measure(MakeFont(u"Segoe UI", -14));
        *width = measure.Width(u"Checking for a patch");
    };
    std::thread worker(measure, &widths[0]);
    measure(&widths[1]);
    worker.join();
    EXPECT_GT(widths[0], 0);
    EXPECT_EQ(widths[0], widths[1]);
}

TEST(FontFamilyTest, AMissingFamilyNamesItsPackage)
{
    gdi::FamilyFiles files;
    std::string error;
    EXPECT_FALSE(gdi::FindInstalledFamily("No Such Family Qx", "fonts-no-such-family", &files, &error));
    EXPECT_NE(error.find("\"No Such Family Qx\""), std::string::npos) << error;
    EXPECT_NE(error.find("install the package fonts-no-such-family"), std::string::npos) << error;

    ASSERT_TRUE(gdi::FindInstalledFamily("Liberation Sans", "fonts-liberation2", &files, &error)) << error;
    for (const gdi::FaceFile& style : files.styles) {
        EXPECT_FALSE(style.path.empty());
        EXPECT_FALSE(style.syntheticBold || style.syntheticOblique);
    }
    EXPECT_NE(files.styles[0].path, files.styles[3].path);
}

TEST(FontFamilyTest, SyntheticStylesDrawHeavierAndSlanted)
{
    gdi::FamilyFiles files;
    ASSERT_TRUE(gdi::FindInstalledFamily("Liberation Sans", "fonts-liberation2", &files, nullptr));
    gdi::FaceFile plain = files.styles[0];
    gdi::FaceFile heavy = plain;
    heavy.syntheticBold = true;
    gdi::FaceFile slanted = plain;
    slanted.syntheticOblique = true;
    std::unique_ptr<gdi::Face> faces[3] = {gdi::OpenFace(plain), gdi::OpenFace(heavy), gdi::OpenFace(slanted)};
    gdi::GlyphImage images[3];
    long ink[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(faces[i], nullptr);
        ASSERT_TRUE(faces[i]->Render(faces[i]->GlyphIndex('I'), 24, &images[i]));
        for (uint8_t coverage : images[i].coverage)
            ink[i] += coverage;
    }
    EXPECT_GT(ink[1], ink[0] + ink[0] / 5);
    // A slanted upright stroke spans more columns.
    EXPECT_GT(images[2].width, images[0].width + 2);
    EXPECT_EQ(images[2].height, images[0].height);
    CXDebugCapture capture;
    EXPECT_EQ(gdi::OpenFace({"/nonexistent/font.ttf", 0, false, false}), nullptr);
    EXPECT_TRUE(capture.Contains("FontFaces> cannot read the font file \"/nonexistent/font.ttf\""));
}

} // namespace
