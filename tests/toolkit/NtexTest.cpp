#include "toolkit/ntex.h"

#include "GrafTesting.h"
#include "toolkit/GTextData.h"
#include "win32/gdi/MemoryCanvas.h"
#include "win32/testing/Harness.h"
#include "win32/user/Clipboard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Em 12: advance 7, ascent 10, descent 3, no external leading: lines 13 high. Em 36: advance 21,
// lines 39 high.
const char* const kTestFace = "Layer Test Box";
const CXColor kBlack{0.0f, 0.0f, 0.0f, 1.0f};
const CXColor kRed{1.0f, 0.0f, 0.0f, 1.0f};
const CXColor kWhite{1.0f, 1.0f, 1.0f, 1.0f};

TextStyle MakeStyle(int32_t flags = 0, CXColor color = kBlack, int32_t size = 12)
{
    TextStyle style;
    style.face = kTestFace;
    style.flags = flags;
    style.textColor = color;
    style.size = size;
    return style;
}

// What a view asks of its owner.
class RecordingOwner : public NtexOwner {
public:
    void InvalidateTextBox(const Box2i& box) override { boxes.push_back(box); }
    void InvalidateTextRegion(const RazaRegion& region) override { regions.push_back(region); }
    void TextScrollChanged() override { ++scrollChanges; }
    void Clear()
    {
        boxes.clear();
        regions.clear();
        scrollChanges = 0;
    }

    std::vector<Box2i> boxes;
    std::vector<RazaRegion> regions;
    int scrollChanges = 0;
};

class NtexTest : public ::testing::Test {
protected:
    void SetUp() override { document.SetCurrentStyle(MakeStyle()); }

    void SetText(const std::string& text) { document.SetText(text.data(), static_cast<int32_t>(text.size())); }
    // Types text in a style at a caret.
    void TypeAt(int32_t at, const std::string& text, const TextStyle& style)
    {
        document.SetSelection(at, at, false);
        document.SetCurrentStyle(style);
        document.Insert(text.data(), static_cast<int32_t>(text.size()), false);
    }
    std::vector<int32_t> Starts() const
    {
        std::vector<int32_t> starts;
        for (int32_t line = 0; line < document.GetLineCount(); ++line)
            starts.push_back(document.GetLines()[static_cast<size_t>(line)].start);
        return starts;
    }
    std::vector<int32_t> Tops() const
    {
        std::vector<int32_t> tops;
        for (const TextLine& line : document.GetLines())
            tops.push_back(line.top);
        return tops;
    }

    win32::testing::Harness harness;
    GTextData document;
};

// --- Layout ---

TEST_F(NtexTest, LayoutTable)
{
    struct Case {
        const char* name;
        std::string text;
        int32_t width;
        int32_t flags;
        std::vector<int32_t> starts;
        int32_t height;
        int32_t contentWidth; // -1: the wrap width
        int32_t hiddenFrom = 0;
        int32_t hiddenTo = 0;
    };
    const Case cases[] = {
        {"a word that does not fit moves whole", "aaa bbbb", 50, 0, {0, 4}, 26, -1},
        {"a word wider than the line is cut", "abcdefghij", 50, 0, {0, 7}, 26, -1},
        {"a word of wide characters is cut between them", "\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5"
                                                          "\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5",
         50, 0, {0, 21}, 26, -1},
        {"a one-letter word that does not fit moves too", "aaaaaa b", 56, 0, {0, 7}, 26, -1},
        {"white space hangs past the width", "aaaaaaa    b", 50, 0, {0, 11}, 26, -1},
        {"LF", "ab\ncd", 100, 0, {0, 3}, 26, -1},
        {"CR LF ends two lines", "ab\r\ncd", 100, 0, {0, 3, 4}, 39, -1},
        {"a lone CR", "ab\rcd", 100, 0, {0, 3}, 26, -1},
        {"a trailing LF leaves an empty last line", "ab\n", 100, 0, {0, 3}, 26, -1},
        {"the empty text has one line", "", 100, 0, {0}, 13, -1},
        {"a tab ends at the next multiple of 12", "a\tb", 100, GTextData::kNoWrap, {0}, 13, 19},
        {"a tab at a multiple of 12 takes a whole interval", "\t\tb", 100, GTextData::kNoWrap, {0}, 13, 31},
        {"no wrap: the content width is the widest line", "abc\nabcdef\nab", 20, GTextData::kNoWrap, {0, 4, 11},
         39, 43},
        {"hidden text has no width, never wraps and its line ends are characters", "abcdefghi\njkl\nmn", 30, 0,
         {0}, 13, -1, 2, 14},
        {"code mode breaks at punctuation", "abc.defgh", 50, GTextData::kCodeMode, {0, 4}, 26, -1},
        {"outside code mode punctuation is part of the word", "abc.defgh", 50, 0, {0, 7}, 26, -1},
        {"code mode breaks after a point but not between digits", "abcde 3.25", 64, GTextData::kCodeMode,
         {0, 8}, 26, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        document.ChangeFlags(c.flags, (GTextData::kNoWrap | GTextData::kCodeMode) & ~c.flags);
        document.SetWrapWidth(c.width);
        document.SetCurrentStyle(MakeStyle());
        SetText(c.text);
        if (c.hiddenTo > c.hiddenFrom) {
            document.SetSelection(c.hiddenFrom, c.hiddenTo, false);
            document.SetCurrentStyle(MakeStyle(TextStyle::kHidden));
            const std::string hidden = c.text.substr(static_cast<size_t>(c.hiddenFrom),
                                                     static_cast<size_t>(c.hiddenTo - c.hiddenFrom));
            document.Insert(hidden.data(), static_cast<int32_t>(hidden.size()), false);
        }
        EXPECT_EQ(Starts(), c.starts);
        std::vector<int32_t> tops;
        for (size_t i = 0; i <= c.starts.size(); ++i)
            tops.push_back(static_cast<int32_t>(i) * 13);
        tops.back() = c.height;
        EXPECT_EQ(Tops(), tops);
        EXPECT_EQ(document.GetTextHeight(), c.height);
        EXPECT_EQ(document.GetContentWidth(), c.contentWidth < 0 ? c.width : c.contentWidth);
    }
}

TEST_F(NtexTest, LinesOfDifferentSizes)
{
    document.SetWrapWidth(200);
    SetText("ab\ncd");
    TypeAt(4, "X", MakeStyle(0, kBlack, 36));
    // The large letter makes its line 39 high, its baseline 30 below its top.
    EXPECT_EQ(Starts(), (std::vector<int32_t>{0, 3}));
    EXPECT_EQ(Tops(), (std::vector<int32_t>{0, 13, 52}));
    EXPECT_EQ(document.GetLines()[1].ascentAbove, 10);
    EXPECT_EQ(document.GetLines()[2].ascentAbove, 30);

    // "bc" moves to the next line, where the large X still does not fit after it.
    document.SetWrapWidth(30);
    document.SetCurrentStyle(MakeStyle());
    SetText("a bc");
    TypeAt(4, "X", MakeStyle(0, kBlack, 36));
    EXPECT_EQ(Starts(), (std::vector<int32_t>{0, 2, 4}));
    EXPECT_EQ(Tops(), (std::vector<int32_t>{0, 13, 26, 65}));
}

// --- Geometry ---

TEST_F(NtexTest, FindRectAndHitTestRoundTrip)
{
    ntex view(Box2i{0, 0, 88, 300});
    view.SetTextData(&document);
    SetText("The quick brown\tfox over\n\xE6\x97\xA5\xE6\x9C\xAC lazy dog");
    TypeAt(4, "jumps ", MakeStyle(0, kRed, 18));
    ASSERT_GT(document.GetLineCount(), 3);

    const int32_t length = document.GetLength();
    for (int32_t i = 0; i <= length; i = i < length ? document.NextUTF8(i) : length + 1) {
        SCOPED_TRACE(i);
        const Box2i box = view.FindRect(i);
        const int32_t line = document.FindLine(i);
        EXPECT_EQ(box.top, document.GetLines()[static_cast<size_t>(line)].top);
        EXPECT_EQ(box.bottom, document.GetLines()[static_cast<size_t>(line) + 1].top);
        EXPECT_EQ(view.HitTest({box.left, box.top}), i);
        // The right half of a character is before the next one, on its own line.
        const int32_t next = document.NextUTF8(i);
        if (box.right - box.left >= 4 && next < document.GetLines()[static_cast<size_t>(line) + 1].start) {
            EXPECT_EQ(view.HitTest({box.right - 2, box.bottom - 1}), next);
        }
    }
    // Characters start at x = 1 in the text, 4 in from the frame; "jumps " (11 wide, lines 20
    // high) did not fit after "The ".
    EXPECT_EQ(view.FindRect(0), (Box2i{5, 0, 12, 13}));
    EXPECT_EQ(view.FindRect(4), (Box2i{5, 13, 16, 33}));
    // Above and below the text, and left of a line.
    EXPECT_EQ(view.HitTest({40, -5}), 0);
    EXPECT_EQ(view.HitTest({40, 1000}), length);
    EXPECT_EQ(view.HitTest({0, 25}), document.GetLines()[1].start);
}

TEST_F(NtexTest, HitRightOfALineLandsBeforeItsLastCharacter)
{
    ntex view(Box2i{0, 0, 58, 100});
    view.SetTextData(&document);
    struct Case {
        const char* name;
        std::string text;
        int32_t y;
        int32_t index;
    };
    const std::string cjk = "\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5"
                            "\xE6\x97\xA5\xE6\x97\xA5";
    const Case cases[] = {
        {"before the space a line wrapped at", "aaa bbbb", 5, 3},
        {"before the line feed", "ab\ncd", 5, 2},
        {"the start of a wide last character, never inside it", cjk, 5, 18},
        {"the end on the last line", "ab\ncd", 18, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetText(c.text);
        EXPECT_EQ(view.HitTest({57, c.y}), c.index);
    }
}

TEST_F(NtexTest, SelectionRegionAndItsRepaint)
{
    ntex view(Box2i{0, 0, 108, 100});
    RecordingOwner owner;
    view.SetOwner(&owner);
    view.SetTextData(&document);
    SetText("abcd\nefgh\nijkl");
    struct Case {
        const char* name;
        int32_t start;
        int32_t end;
        std::vector<Vector2i> inside;
        std::vector<Vector2i> outside;
        Box2i bounds;
    };
    const Case cases[] = {
        {"on one line", 1, 3, {{12, 1}, {25, 12}}, {{11, 1}, {26, 1}, {12, 13}}, {12, 0, 26, 13}},
        {"over three lines", 2, 12, {{19, 1}, {103, 1}, {4, 13}, {103, 25}, {4, 26}, {18, 38}},
         {{18, 1}, {19, 13 + 26}, {3, 20}},
         {4, 0, 104, 39}},
        {"to the start of the next line: across to the right", 1, 5, {{12, 1}, {103, 12}}, {{11, 1}, {50, 13}},
         {12, 0, 104, 13}},
        {"nothing selected", 3, 3, {}, {{26, 1}}, {0, 0, 0, 0, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        document.SetSelection(c.start, c.end, false);
        const RazaRegion region = view.SelectionRegion();
        EXPECT_EQ(region.GetBounds(), c.bounds);
        for (Vector2i point : c.inside)
            EXPECT_TRUE(region.Contains(point)) << point.x << "," << point.y;
        for (Vector2i point : c.outside)
            EXPECT_FALSE(region.Contains(point)) << point.x << "," << point.y;
    }

    // Growing a selection repaints what it gained, shrinking what it lost.
    document.SetSelection(1, 3, false);
    owner.Clear();
    document.SetSelection(1, 4, false);
    ASSERT_EQ(owner.regions.size(), 1u);
    EXPECT_EQ(owner.regions[0].GetBounds(), (Box2i{26, 0, 33, 13}));
    owner.Clear();
    document.SetSelection(2, 4, false);
    ASSERT_EQ(owner.regions.size(), 1u);
    EXPECT_EQ(owner.regions[0].GetBounds(), (Box2i{12, 0, 19, 13}));
}

TEST_F(NtexTest, ScrollRange)
{
    ntex view(Box2i{0, 0, 108, 100});
    RecordingOwner owner;
    view.SetOwner(&owner);
    view.SetTextData(&document);
    auto range = [&]() {
        std::vector<int32_t> values(4);
        view.GetScrollRange(values[0], values[1], values[2], values[3]);
        return values;
    };
    std::string longText;
    for (int i = 0; i < 19; ++i)
        longText += "x\n";
    longText += "x";

    SetText("a");
    EXPECT_EQ(range(), (std::vector<int32_t>{0, 0, 0, 0}));
    SetText(longText);
    EXPECT_EQ(range(), (std::vector<int32_t>{0, 0, 0, 160}));
    view.FlushDirtyLines();
    owner.Clear();
    view.ScrollTo(50, 500);
    EXPECT_EQ(view.GetScrollPosition(), (Vector2i{0, 160}));
    EXPECT_EQ(view.GetOrigin(), (Vector2i{4, -160}));
    EXPECT_EQ(owner.boxes, (std::vector<Box2i>{{4, 0, 104, 100}}));
    view.ChangeFlags(ntex::kLockVertical, 0);
    view.ScrollBy(0, -20);
    EXPECT_EQ(view.GetScrollPosition(), (Vector2i{0, 160}));
    view.ChangeFlags(0, ntex::kLockVertical);
    view.ScrollBy(0, -20);
    EXPECT_EQ(view.GetScrollPosition(), (Vector2i{0, 140}));

    // Bottom anchored: a short text's range is the one position that puts it at the bottom, and a
    // new frame keeps it there.
    view.ChangeFlags(ntex::kBottomAnchored, 0);
    EXPECT_EQ(range(), (std::vector<int32_t>{0, 0, 0, 160}));
    SetText("a");
    EXPECT_EQ(range(), (std::vector<int32_t>{0, -87, 0, -87}));
    owner.Clear();
    view.SetFrame(Box2i{0, 0, 108, 120});
    EXPECT_EQ(range(), (std::vector<int32_t>{0, -107, 0, -107}));
    EXPECT_EQ(view.GetScrollPosition(), (Vector2i{0, -107}));
    EXPECT_EQ(view.FindRect(0).bottom, 120);
    EXPECT_GE(owner.scrollChanges, 1);

    // No wrap: the widest line sets how far the view scrolls sideways.
    document.ChangeFlags(GTextData::kNoWrap, 0);
    SetText(std::string(30, 'w'));
    EXPECT_EQ(document.GetContentWidth(), 211);
    EXPECT_EQ(range()[2], 111);
}

// --- Carets ---

TEST_F(NtexTest, AnEditHidesTheCaretsOfEveryViewAndScrollsEachToItsCaret)
{
    std::string text;
    for (int i = 0; i < 9; ++i)
        text += "line\n";
    text += "last";
    SetText(text);
    ntex small(Box2i{0, 0, 108, 26});
    ntex tall(Box2i{0, 0, 108, 52});
    RecordingOwner smallOwner;
    RecordingOwner tallOwner;
    small.SetOwner(&smallOwner);
    tall.SetOwner(&tallOwner);
    small.SetTextData(&document);
    tall.SetTextData(&document);

    small.ShowCaret();
    tall.ShowCaret();
    ASSERT_TRUE(small.IsCaretOn());
    ASSERT_TRUE(tall.IsCaretOn());
    // The caret's box, one pixel wider on the left.
    EXPECT_EQ(smallOwner.boxes, (std::vector<Box2i>{{4, 0, 12, 13}}));
    const int64_t shown = small.GetCaretTime();

    harness.Advance(700);
    document.SetSelection(document.GetLength(), document.GetLength(), false);
    EXPECT_FALSE(small.IsCaretOn());
    EXPECT_FALSE(tall.IsCaretOn());
    EXPECT_EQ(small.GetCaretTime(), shown + 700);
    // A selection change does not scroll.
    EXPECT_EQ(small.GetScrollPosition(), (Vector2i{0, 0}));

    small.ShowCaret();
    harness.Advance(300);
    smallOwner.Clear();
    tallOwner.Clear();
    document.Insert("!", 1, false);
    EXPECT_FALSE(small.IsCaretOn());
    EXPECT_FALSE(tall.IsCaretOn());
    EXPECT_EQ(small.GetCaretTime(), shown + 1000);
    EXPECT_EQ(tall.GetCaretTime(), shown + 1000);
    // The last line (top 117, bottom 130) at the bottom of each view.
    EXPECT_EQ(small.GetScrollPosition(), (Vector2i{0, 104}));
    EXPECT_EQ(tall.GetScrollPosition(), (Vector2i{0, 78}));
    EXPECT_GE(smallOwner.scrollChanges, 1);
    EXPECT_GE(tallOwner.scrollChanges, 1);
    // Every view's goal x follows the caret: after "last!" on the last line.
    EXPECT_EQ(small.GetGoalX(), 4 + 1 + 35);
    EXPECT_EQ(tall.GetGoalX(), 4 + 1 + 35);

    // A hidden caret stays off.
    small.ChangeFlags(ntex::kCaretHidden, 0);
    small.ShowCaret();
    EXPECT_FALSE(small.IsCaretOn());
}

// --- Drawing ---

TEST_F(NtexTest, DrawingALineOfTwoStylesWithATabAndStrikeThrough)
{
    using Call = RecordingGraf::Call;
    const TextStyle struck = MakeStyle(TextStyle::kStrikeThrough, kRed);
    struct Expected {
        std::string name;
        Box2i box;
        std::string text;
        Vector2i point;
        Vector2i to;
        CXColor color;
    };
    struct Case {
        const char* name;
        std::string struckText;
        int32_t flags;
        std::vector<Expected> calls;
    };
    // "xy" black, then struck red text; the baseline is 10 down, a strike line 6.
    const Case cases[] = {
        {"a tab inside the piece: the strike line runs over it",
         "ab\tc",
         0,
         {{"DrawString", {}, "xy", {5, 10}, {}, kBlack},
          {"DrawString", {}, "ab", {19, 10}, {}, kRed},
          {"DrawLine", {}, "", {19, 6}, {39, 6}, kRed},
          {"DrawString", {}, "c", {40, 10}, {}, kRed},
          {"DrawLine", {}, "", {40, 6}, {46, 6}, kRed}}},
        {"a tab starting the piece: no strike line over its gap", "\tc", 0,
         {{"DrawString", {}, "xy", {5, 10}, {}, kBlack},
          {"DrawString", {}, "c", {28, 10}, {}, kRed},
          {"DrawLine", {}, "", {28, 6}, {34, 6}, kRed}}},
        {"strike lines run on through tabs and to the right edge", "\tc", GTextData::kStrikeToEdge,
         {{"DrawString", {}, "xy", {5, 10}, {}, kBlack},
          {"DrawLine", {}, "", {19, 6}, {27, 6}, kRed},
          {"DrawString", {}, "c", {28, 10}, {}, kRed},
          {"DrawLine", {}, "", {28, 6}, {104, 6}, kRed}}},
    };
    ntex view(Box2i{0, 0, 108, 13});
    view.SetTextData(&document);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        document.ChangeFlags(c.flags, GTextData::kStrikeToEdge & ~c.flags);
        document.SetCurrentStyle(MakeStyle());
        SetText("xy");
        TypeAt(2, c.struckText, struck);
        RecordingGraf graf;
        view.Draw(graf, Box2i{0, 0, 108, 13});

        std::vector<Expected> calls = {{"FillBox", {0, 0, 4, 13}, "", {}, {}, kWhite},
                                       {"FillBox", {104, 0, 108, 13}, "", {}, {}, kWhite},
                                       {"PushClipRegion", {4, 0, 104, 13}, "", {}, {}, {}},
                                       {"FillBox", {4, 0, 104, 13}, "", {}, {}, kWhite}};
        calls.insert(calls.end(), c.calls.begin(), c.calls.end());
        calls.push_back({"PopClipRegion", {}, "", {}, {}, {}});
        const std::vector<Call>& drawn = graf.Calls();
        ASSERT_EQ(graf.Names(), [&] {
            std::vector<std::string> names;
            for (const Expected& e : calls)
                names.push_back(e.name);
            return names;
        }());
        for (size_t i = 0; i < calls.size(); ++i) {
            SCOPED_TRACE(i);
            const Expected& e = calls[i];
            if (e.name == "FillBox" || e.name == "PushClipRegion") {
                EXPECT_EQ(drawn[i].box, e.box);
            }
            if (e.name == "FillBox" || e.name == "DrawString" || e.name == "DrawLine") {
                EXPECT_EQ(drawn[i].color, e.color);
            }
            if (e.name == "DrawString") {
                EXPECT_EQ(drawn[i].text, e.text);
                EXPECT_EQ(drawn[i].point, e.point);
                EXPECT_EQ(drawn[i].fontSize, 12);
            }
            if (e.name == "DrawLine") {
                EXPECT_EQ(drawn[i].point, e.point);
                EXPECT_EQ(drawn[i].to, e.to);
            }
        }
    }
}

uint64_t PixelOf(const CXColor& color)
{
    const uint32_t ref = color.ToColorRef();
    return 0xFF000000u | ((ref & 0xFFu) << 16) | (ref & 0xFF00u) | ((ref >> 16) & 0xFFu);
}

TEST_F(NtexTest, SelectionAndCaretPixels)
{
    win32test::MemoryCanvas canvas(60, 20);
    ntex view(Box2i{0, 0, 60, 20});
    view.SetTextData(&document);
    SetText("abcd");
    CXAutoReference<RazaGraf> graf;
    graf.Swallow(new RazaGraf(canvas.dc));
    const uint64_t highlight = PixelOf(graf->GetColor(12));
    const uint64_t selectedText = PixelOf(graf->GetColor(9));

    // "bc" selected: pens at 12 and 19, glyphs one pixel in from each pen, rows 1 to 9.
    document.SetSelection(1, 3, false);
    view.Draw(*graf, Box2i{0, 0, 60, 20});
    EXPECT_EQ(canvas.At(7, 5), PixelOf(kBlack));   // 'a'
    EXPECT_EQ(canvas.At(14, 5), selectedText);     // 'b'
    EXPECT_EQ(canvas.At(12, 5), highlight);        // between 'a' and 'b'
    EXPECT_EQ(canvas.At(21, 11), highlight);       // below 'c'
    EXPECT_EQ(canvas.At(26, 5), PixelOf(kWhite));  // after the selection
    EXPECT_EQ(canvas.At(28, 5), PixelOf(kBlack));  // 'd'
    EXPECT_EQ(canvas.At(19, 15), PixelOf(kWhite)); // below the line
    EXPECT_EQ(canvas.At(2, 5), PixelOf(kWhite));   // the margin

    // A caret before 'c': the column left of its pen, the line's height.
    document.SetSelection(2, 2, false);
    view.ShowCaret();
    view.Draw(*graf, Box2i{0, 0, 60, 20});
    for (int y = 0; y < 13; ++y)
        EXPECT_EQ(canvas.At(18, y), PixelOf(kBlack)) << y;
    EXPECT_EQ(canvas.At(18, 13), PixelOf(kWhite));
    EXPECT_EQ(canvas.At(19, 0), PixelOf(kWhite));
    EXPECT_EQ(canvas.At(14, 5), PixelOf(kBlack)); // 'b' unselected again
}

// --- Incremental work ---

TEST_F(NtexTest, AnEditLaysOutFromTheLineBeforeAndRepaintsOnlyItsLines)
{
    std::string text;
    for (int i = 0; i < 10000; ++i) {
        char line[16];
        std::snprintf(line, sizeof(line), "l%04d\n", i);
        text += line;
    }
    ntex view(Box2i{0, 0, 108, 130});
    RecordingOwner owner;
    view.SetOwner(&owner);
    view.SetTextData(&document);
    SetText(text);
    ASSERT_EQ(document.GetLineCount(), 10001);
    view.ScrollTo(0, 5000 * 13 - 26);
    view.FlushDirtyLines();
    document.SetSelection(5000 * 6 + 2, 5000 * 6 + 2, false);
    owner.Clear();

    const int64_t walked = document.GetLayoutStats().linesWalked;
    document.Insert("x", 1, false);
    EXPECT_EQ(document.GetLayoutStats().lastFirstLine, 4999);
    EXPECT_EQ(document.GetLayoutStats().linesWalked - walked, 10001 - 4999);
    int32_t first = 0;
    int32_t last = 0;
    view.GetPendingLines(first, last);
    EXPECT_EQ(first, 5000);
    EXPECT_EQ(last, 5000);
    view.FlushDirtyLines();
    // Line 5000 is the third line shown.
    EXPECT_EQ(owner.boxes, (std::vector<Box2i>{{4, 26, 104, 39}}));
    EXPECT_TRUE(owner.regions.empty());
    EXPECT_EQ(owner.scrollChanges, 0);
}

TEST_F(NtexTest, AWordMovedToALineAndCutThereMovesBackWhenShortened)
{
    // "bbbbbb" did not fit after "a " with the large C behind it, so it began the next line and
    // was cut before C; without C it fits after "a " again.
    document.SetWrapWidth(60);
    SetText("a bbbbbb dd");
    TypeAt(8, "C", MakeStyle(0, kBlack, 36));
    ASSERT_EQ(Starts(), (std::vector<int32_t>{0, 2, 8}));
    document.SetSelection(8, 9, false);
    document.DeleteCharacter(1);
    EXPECT_EQ(Starts(), (std::vector<int32_t>{0, 9}));
    EXPECT_EQ(Tops(), (std::vector<int32_t>{0, 13, 26}));
}

TEST_F(NtexTest, AViewOutlivingItsDocumentDoesNothing)
{
    ntex view(Box2i{0, 0, 108, 100});
    {
        GTextData doomed;
        view.SetTextData(&doomed);
    }
    EXPECT_EQ(view.GetTextData(), nullptr);
    EXPECT_EQ(view.HitTest({10, 10}), 0);
    RecordingGraf graf;
    view.Draw(graf, Box2i{0, 0, 108, 100});
    view.ScrollToCaret();
    EXPECT_TRUE(graf.Calls().empty());
}

// --- Editing controller ---

std::string Lines(int count)
{
    std::string text;
    for (int i = 1; i < count; ++i)
        text += "line\n";
    return text + "last";
}

TEST_F(NtexTest, KeySequenceTable)
{
    // The view shows four lines of 100 pixels: a character of column c lies at 5 + 7c.
    struct Key {
        uint32_t code;
        int32_t modifiers = 0;
    };
    const int32_t shift = ntex::kModifierShift;
    const int32_t ctrl = ntex::kModifierWord;
    struct Case {
        const char* name;
        std::string text;
        int32_t start;
        int32_t end;
        std::vector<Key> keys;
        std::string after; // the text after the keys
        int32_t afterStart;
        int32_t afterEnd;
        bool handled = true; // of the last key
        bool readOnly = false;
        int32_t documentFlags = 0;
        int32_t scrollY = 0; // after the keys
    };
    const std::string blanks(300, ' ');
    const Case cases[] = {
        {"Backspace at 0 changes nothing", "abc", 0, 0, {{ntex::kKeyBackspace}}, "abc", 0, 0},
        {"Delete at the end changes nothing", "abc", 3, 3, {{ntex::kKeyDelete}}, "abc", 3, 3},
        {"Backspace removes the whole character before", "a\xC3\xA9z", 3, 3, {{ntex::kKeyBackspace}}, "az", 1, 1},
        {"Delete removes the selection", "abcd", 1, 3, {{ntex::kKeyDelete}}, "ad", 1, 1},
        {"typing replaces the selection", "abcd", 1, 3, {{'X'}}, "aXd", 2, 2},
        {"Shift+Left after Shift+Right shrinks back to the anchor", "abcd", 2, 2,
         {{ntex::kKeyRight, shift}, {ntex::kKeyRight, shift}, {ntex::kKeyLeft, shift}}, "abcd", 2, 3},
        {"Shift+Right after Shift+Left shrinks back to the anchor", "abcd", 2, 2,
         {{ntex::kKeyLeft, shift}, {ntex::kKeyLeft, shift}, {ntex::kKeyRight, shift}}, "abcd", 1, 2},
        {"Left collapses a selection to its start", "abcd", 1, 3, {{ntex::kKeyLeft}}, "abcd", 1, 1},
        {"Right collapses a selection to its end", "abcd", 1, 3, {{ntex::kKeyRight}}, "abcd", 3, 3},
        {"End on a wrapped line stops before the space it wrapped at", "aaaaaaaaaa bbbbbbbb", 0, 0,
         {{ntex::kKeyEnd}}, "aaaaaaaaaa bbbbbbbb", 10, 10},
        {"Home goes to the start of the wrapped line", "aaaaaaaaaa bbbbbbbb", 15, 15, {{ntex::kKeyHome}},
         "aaaaaaaaaa bbbbbbbb", 11, 11},
        {"End stops before CR LF", "ab\r\ncd", 0, 0, {{ntex::kKeyEnd}}, "ab\r\ncd", 2, 2},
        {"Shift+Home selects back to the line's start", "abc", 2, 2, {{ntex::kKeyHome, shift}}, "abc", 0, 2},
        {"Up on the first line goes to 0", "abc\ndef", 2, 2, {{ntex::kKeyUp}}, "abc\ndef", 0, 0},
        {"Down on the last line goes to the end", "abc\ndef", 5, 5, {{ntex::kKeyDown}}, "abc\ndef", 7, 7},
        {"Down keeps the goal x across a short line", "abcdef\nab\nabcdef", 4, 4,
         {{ntex::kKeyDown}, {ntex::kKeyDown}}, "abcdef\nab\nabcdef", 14, 14},
        {"Down first collapses a selection to its end", "abc\ndef\nghi", 1, 2, {{ntex::kKeyDown}}, "abc\ndef\nghi",
         6, 6},
        {"Shift+Down extends from the anchor", "abc\ndef", 1, 1, {{ntex::kKeyDown, shift}}, "abc\ndef", 1, 5},
        {"Down past the view's bottom scrolls to the caret", Lines(10), 16, 16, {{ntex::kKeyDown}}, Lines(10), 21, 21,
         true, false, 0, 13},
        {"Page Down from inside the view goes to the line at its bottom edge without scrolling", Lines(10), 1, 1,
         {{ntex::kKeyPageDown}}, Lines(10), 21, 21},
        {"Page Up from inside the view goes to the line at its top edge", Lines(10), 16, 16, {{ntex::kKeyPageUp}},
         Lines(10), 1, 1},
        {"typing below the view scrolls to the caret", Lines(10), 49, 49, {{'!'}}, Lines(10) + "!", 50, 50, true,
         false, 0, 78},
        {"Ctrl+Right from inside a word stops at its end", "foo bar", 1, 1, {{ntex::kKeyRight, ctrl}}, "foo bar", 3,
         3},
        {"Ctrl+Right from punctuation skips it and the next word", "a, bc d", 1, 1, {{ntex::kKeyRight, ctrl}},
         "a, bc d", 5, 5},
        {"Ctrl+Left skips punctuation back and the word before", "foo, bar", 5, 5, {{ntex::kKeyLeft, ctrl}},
         "foo, bar", 0, 0},
        {"Return with auto-indent after two tabs", "\t\tx", 3, 3, {{ntex::kKeyReturn}}, "\t\tx\r\t\t", 6, 6, true,
         false, GTextData::kAutoIndent},
        {"auto-indent takes the blanks up to the caret only", "    x", 2, 2, {{ntex::kKeyReturn}}, "  \r    x", 5, 5,
         true, false, GTextData::kAutoIndent},
        {"auto-indent takes at most 253 blanks", blanks + "x", 300, 300, {{ntex::kKeyReturn}},
         blanks + "\r" + std::string(253, ' ') + "x", 554, 554, true, false,
         GTextData::kAutoIndent | GTextData::kNoWrap},
        {"Return without auto-indent inserts a lone CR", "ab", 1, 1, {{ntex::kKeyReturn}}, "a\rb", 2, 2},
        {"read-only: Backspace is refused", "abc", 1, 1, {{ntex::kKeyBackspace}}, "abc", 1, 1, false, true},
        {"read-only: Delete is refused", "abc", 1, 1, {{ntex::kKeyDelete}}, "abc", 1, 1, false, true},
        {"read-only: Return is refused", "abc", 1, 1, {{ntex::kKeyReturn}}, "abc", 1, 1, false, true},
        {"read-only: typing changes nothing but is handled", "abc", 1, 2, {{'x'}}, "abc", 1, 2, true, true},
        {"read-only: moves still work", "abc", 1, 1, {{ntex::kKeyRight}}, "abc", 2, 2, true, true},
        {"a surrogate code point types nothing", "ab", 0, 1, {{0xD800}}, "ab", 0, 1},
        {"a code above 0x10FFFF types nothing", "ab", 0, 1, {{0x110000}}, "ab", 0, 1},
        {"a code point beyond the BMP types four bytes", "ab", 1, 1, {{0x1F600}}, "a\xF0\x9F\x98\x80" "b",
         5, 5},
        {"a tab is typed", "ab", 1, 1, {{ntex::kKeyTab}}, "a\tb", 2, 2},
        {"another control code is not handled", "ab", 1, 1, {{5}}, "ab", 1, 1, false},
        {"control codes are typed when the document asks", "ab", 1, 1, {{5}}, "a\x05" "b", 2, 2, true, false,
         GTextData::kTypeControlCharacters},
        {"Escape is never handled", "ab", 1, 1, {{ntex::kKeyEscape}}, "ab", 1, 1, false, false,
         GTextData::kTypeControlCharacters},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GTextData edited;
        edited.SetCurrentStyle(MakeStyle());
        edited.ChangeFlags(c.documentFlags, 0);
        ntex view(Box2i{0, 0, 108, 52});
        view.SetTextData(&edited);
        view.ChangeFlags(c.readOnly ? ntex::kReadOnly : 0, 0);
        edited.SetText(c.text.data(), static_cast<int32_t>(c.text.size()));
        edited.SetSelection(c.start, c.end, true);
        bool handled = false;
        for (const Key& key : c.keys)
            handled = view.HandleKey(key.code, key.modifiers);
        int32_t start = 0;
        int32_t end = 0;
        edited.GetSelection(start, end);
        EXPECT_EQ(std::string(edited.GetBytes()), c.after);
        EXPECT_EQ(start, c.afterStart);
        EXPECT_EQ(end, c.afterEnd);
        EXPECT_EQ(handled, c.handled);
        EXPECT_EQ(view.GetScrollPosition().y, c.scrollY);
    }
}

TEST_F(NtexTest, PressesCountIntoWordsAndLinesOnTheClock)
{
    // "two" is bytes 4..7, "three" 8..13; x 40 and 41 hit byte 5, x 75 byte 10, x 12 byte 1.
    SetText("one two three\nsecond line");
    ntex view(Box2i{0, 0, 108, 52});
    view.SetTextData(&document);
    struct Press {
        int64_t advance;
        Vector2i point;
        int32_t modifiers;
        int32_t count;
        int32_t start;
        int32_t end;
    };
    const Press presses[] = {
        {0, {40, 5}, 0, 1, 5, 5},
        {399, {41, 5}, 0, 2, 4, 7},               // within 400 ms and 1 px: the word
        {399, {41, 6}, 0, 3, 0, 14},              // a third press: the line with its break
        {100, {40, 6}, 0, 3, 0, 14},              // a fourth stays at lines
        {100, {42, 6}, 0, 1, 5, 5},               // 2 px away starts again
        {400, {42, 6}, 0, 1, 5, 5},               // 400 ms later too
        {1000, {75, 5}, ntex::kModifierShift, 1, 5, 10}, // Shift keeps the far end
    };
    for (const Press& press : presses) {
        SCOPED_TRACE(testing::Message() << "press after " << press.advance << " ms at x " << press.point.x);
        harness.Advance(press.advance);
        view.MouseDown(press.point, press.modifiers);
        int32_t start = 0;
        int32_t end = 0;
        document.GetSelection(start, end);
        EXPECT_EQ(view.GetClickCount(), press.count);
        EXPECT_EQ(start, press.start);
        EXPECT_EQ(end, press.end);
    }
    EXPECT_EQ(document.GetAnchor(), 5);

    // A drag after a double press grows by whole words, both ways from the press.
    harness.Advance(1000);
    view.MouseDown({40, 5}, 0);
    harness.Advance(10);
    view.MouseDown({40, 5}, 0);
    view.MouseDrag({75, 5});
    int32_t start = 0;
    int32_t end = 0;
    document.GetSelection(start, end);
    EXPECT_EQ(start, 4);
    EXPECT_EQ(end, 13);
    EXPECT_EQ(document.GetAnchor(), 4);
    view.MouseDrag({12, 5});
    document.GetSelection(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 7);
    EXPECT_EQ(document.GetAnchor(), 7);
    // Shift+Right then moves the start, the moving end.
    EXPECT_TRUE(view.HandleKey(ntex::kKeyRight, ntex::kModifierShift));
    document.GetSelection(start, end);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(end, 7);

    // After a triple press the drag takes whole lines.
    harness.Advance(1000);
    for (int i = 0; i < 3; ++i)
        view.MouseDown({40, 5}, 0);
    view.MouseDrag({40, 18});
    document.GetSelection(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 25);
}

TEST_F(NtexTest, DraggingOutsideTheTextScrollsTowardsThePoint)
{
    SetText(Lines(10));
    ntex view(Box2i{0, 0, 108, 52});
    RecordingOwner owner;
    view.SetOwner(&owner);
    view.SetTextData(&document);
    view.MouseDown({10, 5}, 0);
    EXPECT_EQ(owner.scrollChanges, 0);
    // 18 px below the text: line 5 (text y 70) is hit, then the view scrolls by 18.
    view.MouseDrag({10, 70});
    int32_t start = 0;
    int32_t end = 0;
    document.GetSelection(start, end);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(end, 26);
    EXPECT_EQ(view.GetScrollPosition(), (Vector2i{0, 18}));
    EXPECT_GE(owner.scrollChanges, 1);
    EXPECT_TRUE(view.IsCaretOn());
    // 10 px above it: back up by 10.
    view.MouseDrag({10, -10});
    document.GetSelection(start, end);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(end, 1);
    EXPECT_EQ(view.GetScrollPosition(), (Vector2i{0, 8}));
    // A locked axis stays.
    view.ChangeFlags(ntex::kLockVertical, 0);
    view.MouseDrag({10, 100});
    EXPECT_EQ(view.GetScrollPosition(), (Vector2i{0, 8}));
}

TEST_F(NtexTest, TheCaretBlinksEvery560MillisecondsAndStaysSteadyWhileTyping)
{
    SetText("abc");
    ntex view(Box2i{0, 0, 108, 52});
    view.SetTextData(&document);
    view.ShowCaret();
    const int64_t shown = view.GetCaretTime();
    ASSERT_TRUE(view.IsCaretOn());

    harness.Advance(559);
    view.BlinkCaret();
    EXPECT_TRUE(view.IsCaretOn());
    harness.Advance(1);
    view.BlinkCaret();
    EXPECT_FALSE(view.IsCaretOn());
    EXPECT_EQ(view.GetCaretTime(), shown + 560);
    harness.Advance(560);
    view.BlinkCaret();
    EXPECT_TRUE(view.IsCaretOn());

    // A key restarts the half-period with the caret on.
    harness.Advance(500);
    EXPECT_TRUE(view.HandleKey('x', 0));
    EXPECT_TRUE(view.IsCaretOn());
    EXPECT_EQ(view.GetCaretTime(), shown + 1620);
    harness.Advance(559);
    view.BlinkCaret();
    EXPECT_TRUE(view.IsCaretOn());

    // Hidden: it stays off, the clock still restarting.
    view.ChangeFlags(ntex::kCaretHidden, 0);
    harness.Advance(600);
    view.BlinkCaret();
    EXPECT_FALSE(view.IsCaretOn());
    EXPECT_EQ(view.GetCaretTime(), shown + 2779);

    // Nothing while layout is deferred.
    view.ChangeFlags(0, ntex::kCaretHidden);
    document.ChangeFlags(GTextData::kDeferLayout, 0);
    harness.Advance(600);
    view.BlinkCaret();
    EXPECT_FALSE(view.IsCaretOn());
    EXPECT_EQ(view.GetCaretTime(), shown + 2779);
}

// --- Clipboard, with no window open ---

void PutClipboardText(const std::u16string& units)
{
    ASSERT_TRUE(win32::OpenClipboard(nullptr));
    ASSERT_TRUE(win32::EmptyClipboard());
    if (!units.empty()) {
        const size_t size = (units.size() + 1) * sizeof(char16_t);
        win32::HGLOBAL block = win32::GlobalAlloc(win32::GMEM_MOVEABLE, size);
        ASSERT_NE(block, nullptr);
        std::memset(win32::GlobalLock(block), 0, size);
        std::memcpy(win32::GlobalLock(block), units.data(), units.size() * sizeof(char16_t));
        win32::GlobalUnlock(block);
        ASSERT_NE(win32::SetClipboardData(win32::CF_UNICODETEXT, block), nullptr);
    }
    ASSERT_TRUE(win32::CloseClipboard());
}

std::u16string ClipboardText()
{
    std::u16string units;
    if (!win32::OpenClipboard(nullptr))
        return u"(not open)";
    auto block = static_cast<win32::HGLOBAL>(win32::GetClipboardData(win32::CF_UNICODETEXT));
    if (block == nullptr)
        units = u"(none)";
    else
        units = static_cast<const char16_t*>(win32::GlobalLock(block));
    (void)win32::CloseClipboard();
    return units;
}

TEST_F(NtexTest, ClipboardWithoutAWindow)
{
    // "cd" hidden, and a line break that travels as CR LF.
    SetText("abcdef\ng");
    TypeAt(2, "cd", MakeStyle(TextStyle::kHidden));
    document.SetSelection(4, 6, false);
    document.Insert(nullptr, 0, false);
    ASSERT_EQ(std::string(document.GetBytes()), "abcdef\ng");

    document.SetSelection(1, 8, false);
    document.Copy();
    EXPECT_EQ(ClipboardText(), u"bef\r\ng");
    // An empty selection copies nothing.
    document.SetSelection(1, 1, false);
    document.Copy();
    EXPECT_EQ(ClipboardText(), u"bef\r\ng");

    // Paste replaces the selection, CR LF arriving as LF, and stops at the first 0 unit.
    SetText("abc");
    PutClipboardText(std::u16string(u"x\r\ny\0z", 6));
    EXPECT_TRUE(document.CanPaste());
    document.SetSelection(1, 2, false);
    document.Paste();
    EXPECT_EQ(std::string(document.GetBytes()), "ax\nyc");
    int32_t start = 0;
    int32_t end = 0;
    document.GetSelection(start, end);
    EXPECT_EQ(start, 4);
    EXPECT_EQ(end, 4);

    // Without text on the clipboard nothing is pasted, the selection kept.
    PutClipboardText(u"");
    EXPECT_FALSE(document.CanPaste());
    document.SetSelection(0, 2, false);
    document.Paste();
    EXPECT_EQ(std::string(document.GetBytes()), "ax\nyc");
    document.GetSelection(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 2);
}

} // namespace
