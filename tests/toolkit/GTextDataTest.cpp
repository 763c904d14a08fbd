#include "toolkit/GTextData.h"

#include "foundation/CXDebug.h"
#include "foundation/CXGenericEventContext.h"
#include "toolkit/ntex.h"
#include "win32/testing/Harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

// Em 12: every character 7 wide, lines 13 high.
const char* const kTestFace = "Layer Test Box";

// The styles the tests type in, told apart by their text colour; the second is larger.
const CXColor kColors[] = {{0.0f, 0.0f, 0.0f, 1.0f}, {1.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 0.5f, 0.0f, 1.0f}};

TextStyle MakeStyle(int id, bool hidden = false)
{
    TextStyle style;
    style.face = kTestFace;
    style.textColor = kColors[id];
    if (id == 1)
        style.size = 18;
    if (hidden)
        style.flags |= TextStyle::kHidden;
    return style;
}

class GTextDataTest : public ::testing::Test {
protected:
    void SetUp() override { document.SetCurrentStyle(MakeStyle(0)); }

    void SetText(const std::string& text) { document.SetText(text.data(), static_cast<int32_t>(text.size())); }
    std::string Text() const { return std::string(document.GetBytes(), static_cast<size_t>(document.GetLength())); }
    // Types text in a style at a caret.
    void TypeAt(int32_t at, const std::string& text, int style)
    {
        document.SetSelection(at, at, false);
        document.SetCurrentStyle(MakeStyle(style));
        document.Insert(text.data(), static_cast<int32_t>(text.size()), false);
    }
    // The runs without the sentinel, their styles given by colour id.
    std::vector<std::pair<int32_t, int>> Runs()
    {
        std::vector<std::pair<int32_t, int>> runs;
        const std::vector<StyleRun>& table = document.GetRuns();
        for (size_t i = 0; i + 1 < table.size(); ++i)
            runs.emplace_back(table[i].start, ColorId(document.GetStyle(table[i].style)));
        return runs;
    }
    static int ColorId(const TextStyle& style)
    {
        for (int id = 0; id < 3; ++id) {
            if (style.textColor == kColors[id])
                return id;
        }
        return -1;
    }

    win32::testing::Harness harness;
    GTextData document;
};

// --- The model test ---

// The document as a plain string with a style per byte, changed by the same rules.
struct Model {
    std::string text;
    std::vector<int> styles;
    // The style of the one run of an empty text.
    int emptyStyle = 0;
    int32_t start = 0;
    int32_t end = 0;
    int32_t anchor = 0;
    bool canUndo = false;
    int32_t undoStart = 0;
    int32_t undoInserted = 0;
    std::string undoRemoved;

    int32_t Length() const { return static_cast<int32_t>(text.size()); }
    int32_t Next(int32_t i) const
    {
        ++i;
        while (i < Length() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            ++i;
        return i;
    }
    int32_t Prev(int32_t i) const
    {
        --i;
        while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            --i;
        return i;
    }
    // The style typing continues after a selection change: that of the byte before the start.
    int StyleBefore(int32_t at) const
    {
        if (text.empty())
            return emptyStyle;
        return styles[static_cast<size_t>(at > 0 ? at - 1 : 0)];
    }
    void Select(int32_t a, int32_t b)
    {
        if (a > b)
            std::swap(a, b);
        a = std::clamp(a, 0, Length());
        b = std::clamp(b, 0, Length());
        if (a == b)
            anchor = a;
        if (anchor != a && anchor != b)
            anchor = b;
        start = a;
        end = b;
    }
    void Insert(const std::string& bytes, int style, bool keepSelected)
    {
        const int32_t n = static_cast<int32_t>(bytes.size());
        if (n == 0 && start == end)
            return;
        canUndo = true;
        undoStart = start;
        undoInserted = n;
        undoRemoved = text.substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
        if (n == 0 && start == 0 && end == Length())
            emptyStyle = styles.back();
        text.replace(static_cast<size_t>(start), static_cast<size_t>(end - start), bytes);
        styles.erase(styles.begin() + start, styles.begin() + end);
        styles.insert(styles.begin() + start, static_cast<size_t>(n), style);
        end = start + n;
        if (!keepSelected)
            start = end;
        anchor = end;
    }
    void Delete(int direction)
    {
        if (start == end) {
            if (direction < 0) {
                if (start == 0)
                    return;
                Select(Prev(start), start);
            } else {
                if (start == Length())
                    return;
                Select(start, Next(start));
            }
        }
        Insert("", 0, false);
    }
    void Undo()
    {
        if (!canUndo)
            return;
        canUndo = false;
        const std::string removed = undoRemoved;
        Select(undoStart, undoStart + undoInserted);
        Insert(removed, StyleBefore(start), true);
    }
    std::vector<std::pair<int32_t, int>> ExpectedRuns() const
    {
        if (text.empty())
            return {{0, emptyStyle}};
        std::vector<std::pair<int32_t, int>> runs;
        for (size_t i = 0; i < styles.size(); ++i) {
            if (runs.empty() || runs.back().second != styles[i])
                runs.emplace_back(static_cast<int32_t>(i), styles[i]);
        }
        return runs;
    }
};

class TextModelTest : public GTextDataTest {
protected:
    // Random edits of a short text in three styles (the third hidden), checked after each step.
    void Run(int32_t flags, uint32_t seed, int steps)
    {
        document.ChangeFlags(flags, 0);
        ntex view(Box2i{0, 0, 68, 200});
        view.SetTextData(&document);
        // Style 0 becomes the first test style.
        document.SetCurrentStyle(MakeStyle(0));
        SetText("x");
        SetText("");
        Model model;
        std::mt19937 random(seed);
        auto pick = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
        static const char* const pieces[] = {"a", "b", "1", " ", "\t", "\n", "\r", ".", "(", "\xC3\xA9",
                                             "\xE6\x97\xA5", "\xF0\x9F\x98\x80", "if", "xyz"};
        // A character boundary at or before i, or i itself past the end (the document clamps).
        auto snap = [&](int32_t i) {
            i = std::max(i, 0);
            if (i >= model.Length())
                return i;
            while (i > 0 && (static_cast<unsigned char>(model.text[i]) & 0xC0) == 0x80)
                --i;
            return i;
        };
        // Mostly a caret, else a short selection given either way round, sometimes past the end.
        auto select = [&]() {
            const int32_t a = snap(pick(model.Length() + 3));
            const int32_t b = pick(3) == 0 ? snap(a + pick(12) - 4) : a;
            document.SetSelection(a, b, pick(2) == 0);
            model.Select(a, b);
        };

        for (int step = 0; step < steps; ++step) {
            const int kind = model.Length() > 250 ? 10 + pick(6) : pick(20);
            std::string what;
            if (kind < 10) {
                select();
                std::string bytes;
                for (int n = 1 + pick(6); n > 0; --n)
                    bytes += pieces[pick(static_cast<int>(std::size(pieces)))];
                const int style = pick(3);
                document.SetCurrentStyle(MakeStyle(style, style == 2));
                const bool keep = pick(2) == 0;
                document.Insert(bytes.data(), static_cast<int32_t>(bytes.size()), keep);
                model.Insert(bytes, style, keep);
                what = "insert";
            } else if (kind < 15) {
                if (pick(2) == 0)
                    select();
                const int direction = pick(2) == 0 ? -1 : 1;
                document.DeleteCharacter(direction);
                model.Delete(direction);
                what = "delete";
            } else if (kind == 15) {
                // Up to the end and past it.
                const int32_t a = snap(model.Length() - pick(30));
                document.SetSelection(model.Length() + 3, a, false);
                model.Select(model.Length() + 3, a);
                document.DeleteCharacter(1);
                model.Delete(1);
                what = "delete to the end";
            } else if (kind < 18) {
                select();
                what = "select";
            } else {
                const std::string before = model.text;
                const bool twice = pick(2) == 0 && model.canUndo;
                document.Undo();
                model.Undo();
                if (twice) {
                    document.Undo();
                    model.Undo();
                    ASSERT_EQ(Text(), before) << "two undos at step " << step;
                }
                what = "undo";
            }
            ASSERT_TRUE(Matches(model)) << what << " at step " << step;
        }
    }

    ::testing::AssertionResult Matches(const Model& model)
    {
        if (Text() != model.text)
            return ::testing::AssertionFailure() << "text";
        int32_t start = 0;
        int32_t end = 0;
        document.GetSelection(start, end);
        if (start != model.start || end != model.end || document.GetAnchor() != model.anchor)
            return ::testing::AssertionFailure() << "selection " << start << ".." << end << " anchor "
                                                 << document.GetAnchor() << ", expected " << model.start << ".."
                                                 << model.end << " anchor " << model.anchor;
        if (document.CanUndo() != model.canUndo)
            return ::testing::AssertionFailure() << "undo";
        const std::vector<StyleRun>& runs = document.GetRuns();
        if (runs.back() != StyleRun{GTextData::kSentinelStart, 0})
            return ::testing::AssertionFailure() << "no sentinel";
        for (size_t i = 1; i + 1 < runs.size(); ++i) {
            if (runs[i].style == runs[i - 1].style)
                return ::testing::AssertionFailure() << "runs " << i - 1 << " and " << i << " share a style";
        }
        for (size_t i = 0; i + 1 < runs.size(); ++i) {
            const int32_t next = i + 2 < runs.size() ? runs[i + 1].start : std::max(model.Length(), 1);
            if (runs[i].start >= next)
                return ::testing::AssertionFailure() << "run " << i << " at " << runs[i].start << " is empty";
        }
        if (Runs() != model.ExpectedRuns()) {
            auto failure = ::testing::AssertionFailure() << "runs";
            for (const auto& [at, style] : Runs())
                failure << " {" << at << "," << style << "}";
            return failure;
        }
        const std::vector<TextLine> lines = document.GetLines();
        const int32_t width = document.GetContentWidth();
        const int32_t height = document.GetTextHeight();
        document.Layout(-1);
        if (document.GetLines() != lines)
            return ::testing::AssertionFailure() << "lines differ from a full layout";
        if (document.GetContentWidth() != width || document.GetTextHeight() != height)
            return ::testing::AssertionFailure() << "content " << width << "x" << height << ", full layout "
                                                 << document.GetContentWidth() << "x" << document.GetTextHeight();
        return ::testing::AssertionSuccess();
    }
};

TEST_F(TextModelTest, WrappedText)
{
    Run(0, 20, 1500);
}

TEST_F(TextModelTest, NoWrap)
{
    Run(GTextData::kNoWrap, 2026, 1500);
}

TEST_F(TextModelTest, CodeMode)
{
    Run(GTextData::kCodeMode, 1, 1500);
}

// --- Runs ---

TEST_F(GTextDataTest, RunsAfterEdits)
{
    using RunList = std::vector<std::pair<int32_t, int>>;
    struct Case {
        const char* name;
        std::function<void()> edit;
        std::string text;
        RunList runs;
    };
    const Case cases[] = {
        {"typing at the end in the same style adds no run", [this] { TypeAt(3, "d", 0); }, "abcd",
         {{0, 0}}},
        {"typing in the middle in another style splits the run",
         [this] { TypeAt(1, "X", 1); }, "aXbc", {{0, 0}, {1, 1}, {2, 0}}},
        {"typing at the start in another style", [this] { TypeAt(0, "X", 1); }, "Xabc",
         {{0, 1}, {1, 0}}},
        {"a replaced selection over several runs: the new run, then the style the old end had",
         [this] {
             TypeAt(3, "BB", 1);
             TypeAt(5, "cc", 0);
             document.SetSelection(2, 6, false);
             document.SetCurrentStyle(MakeStyle(2));
             document.Insert("X", 1, false);
         },
         "abXc", {{0, 0}, {2, 2}, {3, 0}}},
        {"deleting up to the end leaves no empty run",
         [this] {
             TypeAt(3, "def", 1);
             document.SetSelection(2, 6, false);
             document.DeleteCharacter(1);
         },
         "ab", {{0, 0}}},
        {"replacing up to the end leaves no empty run",
         [this] {
             TypeAt(3, "def", 1);
             document.SetSelection(3, 6, false);
             document.SetCurrentStyle(MakeStyle(2));
             document.Insert("X", 1, false);
         },
         "abcX", {{0, 0}, {3, 2}}},
        {"deleting a run between two of one style merges them",
         [this] {
             TypeAt(1, "XY", 1);
             document.SetSelection(1, 3, false);
             document.DeleteCharacter(-1);
         },
         "abc", {{0, 0}}},
        {"deleting everything keeps one run of the last style",
         [this] {
             TypeAt(3, "de", 1);
             document.SetSelection(0, 99, false);
             document.DeleteCharacter(-1);
         },
         "", {{0, 1}}},
        {"deleting everything of one style leaves {0, 0}",
         [this] {
             document.SetSelection(0, 3, false);
             document.DeleteCharacter(1);
         },
         "", {{0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        document.SetCurrentStyle(MakeStyle(0));
        SetText("abc");
        CXDebugCapture capture;
        c.edit();
        EXPECT_EQ(Text(), c.text);
        EXPECT_EQ(Runs(), c.runs);
        EXPECT_EQ(capture.Lines().size(), 0u) << (capture.Lines().empty() ? "" : capture.Lines()[0].text);
    }
    // An emptied text has one line, as high as its style's lines.
    EXPECT_EQ(document.GetLineCount(), 1);
    EXPECT_EQ(document.GetTextHeight(), 13);
}

TEST_F(GTextDataTest, UndoRedoesAndSetTextClearsIt)
{
    SetText("one two");
    document.SetSelection(4, 7, false);
    document.Insert("three", 5, false);
    ASSERT_EQ(Text(), "one three");
    ASSERT_TRUE(document.CanUndo());

    document.Undo();
    EXPECT_EQ(Text(), "one two");
    int32_t start = 0;
    int32_t end = 0;
    document.GetSelection(start, end);
    EXPECT_EQ(start, 4);
    EXPECT_EQ(end, 7);
    document.Undo();
    EXPECT_EQ(Text(), "one three");

    // The same text again changes nothing, undo included; another text clears it.
    document.SetText("one three", 9);
    EXPECT_TRUE(document.CanUndo());
    SetText("four");
    EXPECT_FALSE(document.CanUndo());
    document.Undo();
    EXPECT_EQ(Text(), "four");
    document.GetSelection(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 0);
}

TEST_F(GTextDataTest, SelectionOrdersClampsAndCarriesTheStyleOnTheLeft)
{
    SetText("abc");
    TypeAt(3, "DEF", 1);
    document.SetSelection(9, 2, false);
    int32_t start = 0;
    int32_t end = 0;
    document.GetSelection(start, end);
    EXPECT_EQ(start, 2);
    EXPECT_EQ(end, 6);
    EXPECT_EQ(document.GetAnchor(), 6);
    EXPECT_EQ(document.GetCaret(), 2);
    EXPECT_EQ(ColorId(document.GetCurrentStyle()), 0);

    document.SetSelection(5, 5, false);
    EXPECT_EQ(ColorId(document.GetCurrentStyle()), 1);
    document.SetSelection(0, 0, false);
    EXPECT_EQ(ColorId(document.GetCurrentStyle()), 0);

    // Kept when caret moves leave the style alone.
    document.ChangeFlags(GTextData::kKeepStyleOnCaretMove, 0);
    document.SetSelection(5, 5, false);
    EXPECT_EQ(ColorId(document.GetCurrentStyle()), 0);
}

TEST_F(GTextDataTest, ChangeStampAndItsEvent)
{
    SetText("abc");
    const uint64_t before = document.GetChangeStamp();
    EXPECT_EQ(document.GetFlags() & GTextData::kModified, 0);
    CXGenericEventRef changed = document.GetPrimaryEvent();
    EXPECT_EQ(changed.IsSet(), before != 0);

    TypeAt(3, "d", 0);
    const uint64_t first = document.GetChangeStamp();
    EXPECT_GT(first, before);
    EXPECT_NE(document.GetFlags() & GTextData::kModified, 0);
    EXPECT_TRUE(changed.IsSet());
    EXPECT_TRUE(changed.IsSet(&before));
    EXPECT_FALSE(changed.IsSet(&first));

    // Every document draws from one counter.
    GTextData other;
    other.Insert("x", 1, false);
    EXPECT_GT(other.GetChangeStamp(), first);

    // SetText takes no stamp, nor does any change with kNoChangeStamp.
    SetText("new");
    EXPECT_EQ(document.GetChangeStamp(), first);
    document.ChangeFlags(GTextData::kNoChangeStamp, 0);
    TypeAt(0, "x", 0);
    EXPECT_EQ(document.GetChangeStamp(), first);
}

// The document's own event, watched by an event context, fires once for the changes between two
// passes: its stamps and the passes' come from the same counter.
TEST_F(GTextDataTest, TheChangeEventFiresOncePerPassOfAnEventContext)
{
    SetText("abc");
    CXGenericEventContextManual context;
    int fired = 0;
    context.AddHandler(document.GetPrimaryEvent(), this, [&fired] {
        ++fired;
        return 1;
    });
    context.Idle();
    fired = 0;
    TypeAt(3, "d", 0);
    TypeAt(4, "e", 0);
    context.Idle();
    EXPECT_EQ(fired, 1);
    context.Idle();
    EXPECT_EQ(fired, 1) << "nothing changed since the last pass";
    TypeAt(5, "f", 0);
    context.Idle();
    EXPECT_EQ(fired, 2);
    context.RemoveHandlers(this);
}

TEST_F(GTextDataTest, DeferredLayoutCatchesUpWhenResumed)
{
    ntex view(Box2i{0, 0, 68, 100});
    view.SetTextData(&document);
    SetText("one two three");
    const std::vector<TextLine> before = document.GetLines();
    view.FlushDirtyLines();

    document.ChangeFlags(GTextData::kDeferLayout, 0);
    TypeAt(3, " and\nfour", 0);
    EXPECT_EQ(document.GetLines().size(), before.size());
    int32_t first = 0;
    int32_t last = 0;
    view.GetPendingLines(first, last);
    EXPECT_EQ(first, -1);

    document.ChangeFlags(0, GTextData::kDeferLayout);
    const std::vector<TextLine> caughtUp = document.GetLines();
    document.Layout(-1);
    EXPECT_EQ(caughtUp, document.GetLines());
    EXPECT_GT(caughtUp.size(), before.size());
    view.GetPendingLines(first, last);
    EXPECT_EQ(first, 0);
    EXPECT_GE(last, document.GetLineCount() - 1);
}

// --- Characters ---

TEST_F(GTextDataTest, Utf8SteppingAndDecoding)
{
    struct Case {
        const char* name;
        std::string text;
        int32_t index;
        uint32_t character; // CharacterAt
        int32_t count;
        int32_t next;        // NextUTF8
        int32_t previous;    // PrevUTF8
        uint32_t following;  // FollowingCharacter
    };
    const std::string emoji = "x\xF0\x9F\x98\x80y";
    const Case cases[] = {
        {"a stray continuation byte", "a\x80" "b", 1, '.', 1, 2, 0, 'b'},
        {"after a stray continuation byte", "a\x80" "b", 2, 'b', 1, 3, 1, 0},
        {"a stray byte after a two-byte character", "\xC3\xA9\x80", 2, '.', 1, 3, 0, 0},
        {"before a stray byte after a two-byte character", "\xC3\xA9\x80", 3, '.', 1, 3, 2, 0},
        {"an overlong sequence, first byte", "\xC0\xAF/", 0, '.', 1, 1, 0, 0},
        {"an overlong sequence, second byte", "\xC0\xAF/", 1, '.', 1, 2, 0, '/'},
        {"a cut sequence", "\xE2\x82" "a", 1, '.', 1, 2, 0, 'a'},
        {"a four-byte character", emoji, 1, 0x1F600, 4, 5, 0, 'y'},
        {"inside a four-byte character", emoji, 3, 0x1F600, 2, 5, 1, 'y'},
        {"after a four-byte character", emoji, 5, 'y', 1, 6, 1, 0},
        {"before a four-byte character", emoji, 0, 'x', 1, 1, 0, 0x1F600},
        {"the end", emoji, 6, '.', 1, 6, 5, 0},
        {"the start", "ab", 0, 'a', 1, 1, 0, 'b'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetText(c.text);
        int32_t count = 0;
        EXPECT_EQ(document.CharacterAt(c.index, count), c.character);
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(document.NextUTF8(c.index), c.next);
        EXPECT_EQ(document.PrevUTF8(c.index), c.previous);
        EXPECT_EQ(document.FollowingCharacter(c.index), c.following);
    }

    // Outside the text: logged and clamped.
    SetText(emoji);
    CXDebugCapture capture;
    EXPECT_EQ(document.NextUTF8(-3), 1);
    EXPECT_EQ(document.PrevUTF8(99), 5);
    EXPECT_EQ(capture.Count("GTextData::next_utf8> invalid charIndex -3/6"), 1u);
    EXPECT_EQ(capture.Count("GTextData::prev_utf8> invalid charIndex 99/6"), 1u);
    int32_t count = 0;
    EXPECT_EQ(document.CharacterAt(-1, count), static_cast<uint32_t>('.'));
    EXPECT_EQ(count, 1);

    // Deleting steps over whole characters, and one byte over a broken one.
    SetText(emoji + "\x80");
    document.SetSelection(7, 7, false);
    document.DeleteCharacter(-1);
    EXPECT_EQ(Text(), emoji);
    document.SetSelection(1, 1, false);
    document.DeleteCharacter(1);
    EXPECT_EQ(Text(), "xy");
}

} // namespace
