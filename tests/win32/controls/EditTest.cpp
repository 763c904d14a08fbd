#include "win32/controls/Controls.h"

#include "win32/WindowTesting.h"
#include "win32/gdi/Font.h"
#include "win32/gdi/Text.h"
#include "win32/testing/Pixels.h"
#include "win32/user/Clipboard.h"
#include "win32/user/Paint.h"

#include <cstring>

using namespace win32test;
using win32::testing::OpaquePixel;

namespace {

// The test face at em 12: every character 7 pixels wide, lines 13 pixels high, the text 2 pixels
// in from the left edge.
constexpr int kAdvance = 7;
constexpr int kTextLeft = 2;

const char16_t* ClassOf(bool rich)
{
    return rich ? u"RichEdit20W" : u"EDIT";
}

// One piece of input of a key-sequence case.
struct Step {
    enum Kind { Typed, Key, Select, DoubleClick, Drag };
    Kind kind;
    std::u16string text;
    UINT key = 0;
    std::vector<UINT> modifiers;
    int from = 0;
    int to = 0;
};

Step Typed(const std::u16string& text)
{
    return {Step::Typed, text, 0, {}};
}
Step Key(UINT key, std::vector<UINT> modifiers = {})
{
    return {Step::Key, u"", key, std::move(modifiers)};
}
Step Ctrl(UINT key)
{
    return Key(key, {VK_LCONTROL});
}
Step Shift(UINT key)
{
    return Key(key, {VK_LSHIFT});
}
Step Select(int from, int to)
{
    return {Step::Select, u"", 0, {}, from, to};
}
// A double-click on the character at an index.
Step DoubleClickOn(int index)
{
    return {Step::DoubleClick, u"", 0, {}, index, index};
}
// A press at the boundary before one index, dragged to the boundary before another.
Step Drag(int from, int to)
{
    return {Step::Drag, u"", 0, {}, from, to};
}

// A visible parent that records its edits' WM_COMMAND notifications (with the text at that moment)
// and the wheel turns that reach it, and answers colour messages as told.
class EditTest : public WindowTest {
protected:
    struct Notice {
        WORD code;
        HWND from;
        std::u16string text;
    };

    EditTest()
    {
        Script recorder = [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) { return OnParent(message, wParam, lParam); };
        parent = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {100, 100, 600, 400}, recorder);
        testFace = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"Layer Test Box");
    }
    ~EditTest() override { DeleteObject(testFace); }

    std::optional<LRESULT> OnParent(UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_COMMAND) {
            auto from = reinterpret_cast<HWND>(lParam);
            notices.push_back({HIWORD(wParam), from, Text(from)});
        } else if (message == WM_MOUSEWHEEL) {
            ++wheelsReached;
        } else if (message == WM_CTLCOLOREDIT || message == WM_CTLCOLORSTATIC) {
            colorAsked.push_back(message);
        }
        return std::nullopt;
    }

    // A focused edit of the class with the test face, its text set and the notices cleared.
    HWND Edit(bool rich, const std::u16string& text = u"", DWORD style = 0, RECT rect = {10, 10, 210, 30})
    {
        HWND hwnd = CreateWindowExW(0, ClassOf(rich), u"", WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
                                    rect.right - rect.left, rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(7),
                                    harness.Instance(), nullptr);
        EXPECT_NE(hwnd, nullptr);
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(testFace), FALSE);
        SetWindowTextW(hwnd, text.c_str());
        SetFocus(hwnd);
        EXPECT_TRUE(harness.PumpUntilIdle());
        notices.clear();
        return hwnd;
    }

    static std::pair<int, int> Selection(HWND hwnd)
    {
        DWORD start = 99;
        DWORD end = 99;
        LRESULT packed = SendMessageW(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(packed, MAKELPARAM(static_cast<int>(start), static_cast<int>(end)));
        return {static_cast<int>(start), static_cast<int>(end)};
    }

    // The client point at the left edge of the character at index (one pixel in).
    static POINT Before(int index) { return {kTextLeft + kAdvance * index + 1, 6}; }

    void Run(HWND hwnd, const Step& step)
    {
        switch (step.kind) {
        case Step::Typed:
            harness.Type(step.text);
            break;
        case Step::Key:
            if (step.modifiers.empty()) {
                harness.KeyDown(step.key);
                harness.KeyUp(step.key);
            } else {
                harness.Chord(step.modifiers, step.key);
            }
            break;
        case Step::Select:
            SendMessageW(hwnd, EM_SETSEL, static_cast<WPARAM>(step.from), step.to);
            break;
        case Step::DoubleClick:
            harness.DoubleClick(hwnd, {kTextLeft + kAdvance * step.from + 3, 6});
            break;
        case Step::Drag: {
            POINT from = Before(step.from);
            POINT to = Before(step.to);
            ClientToScreen(hwnd, &from);
            ClientToScreen(hwnd, &to);
            harness.MoveTo(from);
            harness.Press(from);
            harness.MoveTo(to);
            harness.Release(to);
            break;
        }
        }
        ASSERT_TRUE(harness.PumpUntilIdle());
    }

    size_t Changes() const
    {
        size_t count = 0;
        for (const Notice& n : notices)
            count += n.code == EN_CHANGE ? 1 : 0;
        return count;
    }

    static void PutOnClipboard(const std::u16string& text)
    {
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * 2);
        std::memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * 2);
        GlobalUnlock(block);
        EXPECT_NE(SetClipboardData(CF_UNICODETEXT, block), nullptr);
        CloseClipboard();
    }
    static std::u16string ClipboardText()
    {
        std::u16string text;
        if (!OpenClipboard(nullptr))
            return u"<not open>";
        auto block = static_cast<HGLOBAL>(GetClipboardData(CF_UNICODETEXT));
        if (const auto* units = static_cast<const char16_t*>(GlobalLock(block))) {
            text = units;
            GlobalUnlock(block);
        }
        CloseClipboard();
        return text;
    }

    HWND parent = nullptr;
    HFONT testFace = nullptr;
    std::vector<Notice> notices;
    std::vector<UINT> colorAsked;
    int wheelsReached = 0;
};

// --- Typing, keys, mouse ---

TEST_F(EditTest, KeySequencesGiveTextAndSelection)
{
    struct Case {
        const char* name;
        std::u16string initial;
        std::vector<Step> steps;
        std::u16string text;
        std::pair<int, int> selection;
        DWORD style = 0;
        bool undoOff = false;
    };
    const Case cases[] = {
        {"typing", u"", {Typed(u"abc")}, u"abc", {3, 3}},
        {"Home, then typing", u"abc", {Key(VK_HOME), Typed(u"x")}, u"xabc", {1, 1}},
        {"End after Home", u"abc", {Key(VK_HOME), Key(VK_END), Typed(u"x")}, u"abcx", {4, 4}},
        {"Right steps over a pair whole", u"a\U0001F600b", {Key(VK_HOME), Key(VK_RIGHT), Key(VK_RIGHT)}, u"a\U0001F600b", {3, 3}},
        {"Left steps back over a pair whole", u"a\U0001F600", {Key(VK_LEFT)}, u"a\U0001F600", {1, 1}},
        {"Shift+Left selects", u"abcd", {Shift(VK_LEFT), Shift(VK_LEFT)}, u"abcd", {2, 4}},
        {"Shift+Home selects to the start", u"abcd", {Key(VK_LEFT), Shift(VK_HOME)}, u"abcd", {0, 3}},
        {"Left collapses a selection to its start", u"abcd", {Select(1, 3), Key(VK_LEFT)}, u"abcd", {1, 1}},
        {"Right collapses a selection to its end", u"abcd", {Select(1, 3), Key(VK_RIGHT)}, u"abcd", {3, 3}},
        {"Ctrl+Left to word starts", u"one two three", {Ctrl(VK_LEFT), Ctrl(VK_LEFT)}, u"one two three", {4, 4}},
        {"Ctrl+Right to the next word", u"one, two", {Key(VK_HOME), Ctrl(VK_RIGHT), Ctrl(VK_RIGHT)}, u"one, two", {5, 5}},
        {"Ctrl+Shift+Right selects a word", u"one two", {Key(VK_HOME), Key(VK_RIGHT, {VK_LCONTROL, VK_LSHIFT})}, u"one two", {0, 4}},
        {"Backspace", u"abc", {Key(VK_BACK)}, u"ab", {2, 2}},
        {"Backspace takes a pair whole", u"a\U0001F600", {Key(VK_BACK)}, u"a", {1, 1}},
        {"Backspace at the start", u"abc", {Key(VK_HOME), Key(VK_BACK)}, u"abc", {0, 0}},
        {"Delete", u"abc", {Key(VK_HOME), Key(VK_DELETE)}, u"bc", {0, 0}},
        {"Delete takes a pair whole", u"\U0001F600b", {Key(VK_HOME), Key(VK_DELETE)}, u"b", {0, 0}},
        {"Delete takes the selection", u"abcd", {Select(1, 3), Key(VK_DELETE)}, u"ad", {1, 1}},
        {"typing replaces the selection", u"abcd", {Select(1, 3), Typed(u"x")}, u"axd", {2, 2}},
        {"a pair typed as two units arrives whole", u"a", {Typed(u"\U0001F600")}, u"a\U0001F600", {3, 3}},
        {"control characters are not typed", u"", {Typed(u"a\tb\x01"), Key(VK_RETURN), Key(VK_ESCAPE)}, u"ab", {2, 2}},
        {"Ctrl+A", u"abc", {Key(VK_HOME), Ctrl('A')}, u"abc", {0, 3}},
        {"Ctrl+A, Ctrl+C, End, Ctrl+V", u"ab", {Ctrl('A'), Ctrl('C'), Key(VK_END), Ctrl('V')}, u"abab", {4, 4}},
        {"Ctrl+X, End, Ctrl+V", u"abcd", {Select(0, 2), Ctrl('X'), Key(VK_END), Ctrl('V')}, u"cdab", {4, 4}},
        {"Ctrl+Z undoes a run of typing", u"ab", {Typed(u"cd"), Ctrl('Z')}, u"ab", {2, 2}},
        {"a second Ctrl+Z redoes", u"ab", {Typed(u"cd"), Ctrl('Z'), Ctrl('Z')}, u"abcd", {4, 4}},
        {"Ctrl+Z undoes a cut", u"abcd", {Select(1, 3), Ctrl('X'), Ctrl('Z')}, u"abcd", {1, 3}},
        {"Ctrl+Z changes nothing with undo off", u"ab", {Typed(u"cd"), Ctrl('Z')}, u"abcd", {4, 4}, 0, true},
        {"a double-click selects a word", u"hello world", {DoubleClickOn(8)}, u"hello world", {6, 11}},
        {"a double-click on spaces selects them", u"a  b", {DoubleClickOn(1)}, u"a  b", {1, 3}},
        {"a drag selects", u"abcdef", {Drag(1, 4)}, u"abcdef", {1, 4}},
        {"a drag backwards selects", u"abcdef", {Drag(5, 2)}, u"abcdef", {2, 5}},
        {"a multi-line Return breaks the line", u"ab", {Key(VK_RETURN), Typed(u"c")}, u"ab\r\nc", {5, 5}, ES_MULTILINE},
        {"Backspace takes a CR LF whole", u"ab\r\n", {Key(VK_BACK)}, u"ab", {2, 2}, ES_MULTILINE},
    };
    for (bool rich : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (rich ? " (rich edit)" : " (edit)"));
            HWND edit = Edit(rich, c.initial, c.style);
            if (c.undoOff)
                SendMessageW(edit, EM_SETUNDOLIMIT, 0, 0);
            for (const Step& step : c.steps)
                Run(edit, step);
            EXPECT_EQ(Text(edit), c.text);
            EXPECT_EQ(Selection(edit), c.selection);
            DestroyWindow(edit);
        }
    }
}

TEST_F(EditTest, SelectionsCountUnitsAndNeverSplitAPair)
{
    struct Case {
        int start;
        int end;
        std::pair<int, int> selection;
    };
    // "a", a pair, "b": four units.
    const Case cases[] = {
        {0, 1, {0, 1}},   {2, 2, {1, 3}},  {0, 2, {0, 3}}, {2, 4, {1, 4}},
        {3, 1, {1, 3}},   {0, 100, {0, 4}}, {0, -1, {0, 4}}, {4, 4, {4, 4}},
    };
    HWND edit = Edit(false, u"a\U0001F600b");
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.start << ", " << c.end);
        SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(c.start), c.end);
        EXPECT_EQ(Selection(edit), c.selection);
    }
    SendMessageW(edit, EM_SETSEL, 0, 2);
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(Selection(edit), std::make_pair(3, 3)) << "start -1 drops the selection, the caret stays";
    // Tab's select-all sends the UTF-8 length, longer than the units.
    SendMessageA(edit, EM_SETSEL, 0, SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ(Selection(edit), std::make_pair(0, 4));
    EXPECT_TRUE(notices.empty()) << "selecting changes no text";
}

TEST_F(EditTest, TheLimitTakesWhatFitsAndKeepsPairsWhole)
{
    struct Case {
        const char* name;
        std::u16string initial;
        int limit;
        std::vector<Step> steps;
        std::u16string pasted;
        std::u16string text;
    };
    const Case cases[] = {
        {"a pair with one unit left", u"abc", 4, {Typed(u"\U0001F600")}, u"", u"abc"},
        {"a pair with two units left", u"abc", 5, {Typed(u"\U0001F600")}, u"", u"abc\U0001F600"},
        {"a unit with one left", u"abc", 4, {Typed(u"de")}, u"", u"abcd"},
        {"a paste cut before a pair", u"ab", 4, {Ctrl('V')}, u"x\U0001F600y", u"abx"},
        {"a paste cut after a pair", u"ab", 5, {Ctrl('V')}, u"x\U0001F600y", u"abx\U0001F600"},
        {"the selection's room counts", u"abc", 3, {Select(1, 2), Typed(u"\U0001F600")}, u"", u"abc"},
        {"a paste stops at the first line break", u"", 10, {Ctrl('V')}, u"one\r\ntwo", u"one"},
        {"a lowered limit keeps the text", u"abcd", 2, {Key(VK_BACK), Typed(u"x")}, u"", u"abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND edit = Edit(false, c.initial);
        SendMessageW(edit, EM_LIMITTEXT, static_cast<WPARAM>(c.limit), 0);
        if (!c.pasted.empty())
            PutOnClipboard(c.pasted);
        for (const Step& step : c.steps)
            Run(edit, step);
        EXPECT_EQ(Text(edit), c.text);
        DestroyWindow(edit);
    }
    HWND edit = Edit(false);
    SendMessageW(edit, EM_LIMITTEXT, 2, 0);
    SetWindowTextW(edit, u"abcd");
    EXPECT_EQ(Text(edit), u"abcd") << "WM_SETTEXT is never cut";
}

TEST_F(EditTest, ChangesAreToldAsTheClassAndEventMaskSay)
{
    struct Case {
        const char* name;
        bool rich;
        DWORD mask;
        size_t changes;
    };
    const Case cases[] = {
        {"edit", false, ENM_NONE, 4},
        {"rich edit without ENM_CHANGE", true, ENM_NONE, 0},
        {"rich edit with ENM_CHANGE", true, ENM_CHANGE, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND edit = Edit(c.rich);
        if (c.rich) {
            EXPECT_EQ(SendMessageW(edit, EM_GETEVENTMASK, 0, 0), 0);
            EXPECT_EQ(SendMessageW(edit, EM_SETEVENTMASK, 0, static_cast<LPARAM>(c.mask)), 0);
            EXPECT_EQ(SendMessageW(edit, EM_GETEVENTMASK, 0, 0), static_cast<LRESULT>(c.mask));
        }
        // Two characters typed, a WM_SETTEXT, a cut: four changes; moving and selecting none.
        harness.Type(u"ab");
        ASSERT_TRUE(harness.PumpUntilIdle());
        SetWindowTextW(edit, u"xyz");
        Run(edit, Key(VK_LEFT));
        Run(edit, Select(0, 1));
        Run(edit, Ctrl('X'));
        EXPECT_EQ(Changes(), c.changes);
        if (c.changes > 0) {
            EXPECT_EQ(notices[0].text, u"a") << "the text has changed when EN_CHANGE comes";
            EXPECT_EQ(notices[2].text, u"xyz");
            EXPECT_EQ(notices[0].from, edit);
        }
        EXPECT_EQ(Text(edit), u"yz");
        EXPECT_EQ(Selection(edit), std::make_pair(0, 0));
        DestroyWindow(edit);
    }
}

TEST_F(EditTest, FocusIsToldToTheParent)
{
    for (bool rich : {false, true}) {
        HWND edit = Edit(rich);
        SetFocus(parent);
        SetFocus(edit);
        std::vector<WORD> codes;
        for (const Notice& n : notices)
            codes.push_back(n.code);
        EXPECT_EQ(codes, (std::vector<WORD>{EN_KILLFOCUS, EN_SETFOCUS}));
        EXPECT_EQ(SendMessageW(edit, WM_GETDLGCODE, 0, 0), DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS);
        DestroyWindow(edit);
    }
}

// --- Clipboard and password ---

TEST_F(EditTest, APasswordShowsDotsAndNeverReachesTheClipboard)
{
    for (bool rich : {false, true}) {
        SCOPED_TRACE(rich ? "rich edit" : "edit");
        PutOnClipboard(u"kept");
        harness.Texts().Clear();
        HWND edit = Edit(rich, u"ab\U0001F600", ES_PASSWORD);
        bool dots = false;
        for (const std::u16string& shown : harness.Texts().Strings()) {
            EXPECT_EQ(shown.find(u'a'), std::u16string::npos);
            dots = dots || shown == u"\u25CF\u25CF\u25CF";
        }
        EXPECT_TRUE(dots) << "one dot per character, the pair included";
        Run(edit, Ctrl('A'));
        Run(edit, Ctrl('C'));
        Run(edit, Ctrl('X'));
        SendMessageW(edit, WM_COPY, 0, 0);
        SendMessageW(edit, WM_CUT, 0, 0);
        EXPECT_EQ(ClipboardText(), u"kept");
        EXPECT_EQ(Text(edit), u"ab\U0001F600") << "a refused cut removes nothing";
        Run(edit, Ctrl('V'));
        EXPECT_EQ(Text(edit), u"kept") << "pasting into a password works";
        DestroyWindow(edit);
    }
}

TEST_F(EditTest, ReadOnlyRefusesChangesButCopies)
{
    HWND edit = Edit(false, u"abc");
    EXPECT_TRUE(SendMessageW(edit, EM_SETREADONLY, TRUE, 0));
    PutOnClipboard(u"x");
    for (const Step& step : {Typed(u"d"), Key(VK_BACK), Key(VK_DELETE), Ctrl('V'), Ctrl('X')})
        Run(edit, step);
    SendMessageW(edit, WM_CLEAR, 0, 0);
    Run(edit, Ctrl('A'));
    Run(edit, Ctrl('C'));
    EXPECT_EQ(Text(edit), u"abc");
    EXPECT_EQ(ClipboardText(), u"abc");
    EXPECT_EQ(Changes(), 0u);
    SendMessageW(edit, EM_SETREADONLY, FALSE, 0);
    Run(edit, Typed(u"z"));
    EXPECT_EQ(Text(edit), u"z");
}

TEST_F(EditTest, UndoLimitZeroTurnsUndoOff)
{
    HWND edit = Edit(true, u"ab");
    EXPECT_FALSE(SendMessageW(edit, EM_CANUNDO, 0, 0)) << "WM_SETTEXT leaves nothing to undo";
    Run(edit, Typed(u"c"));
    EXPECT_TRUE(SendMessageW(edit, EM_CANUNDO, 0, 0));
    EXPECT_EQ(SendMessageW(edit, EM_SETUNDOLIMIT, 0, 0), 0);
    EXPECT_FALSE(SendMessageW(edit, EM_CANUNDO, 0, 0));
    Run(edit, Typed(u"d"));
    EXPECT_FALSE(SendMessageW(edit, EM_CANUNDO, 0, 0));
    EXPECT_FALSE(SendMessageW(edit, WM_UNDO, 0, 0));
    EXPECT_EQ(Text(edit), u"abcd");
}

// --- Wheel, format, looks ---

TEST_F(EditTest, TheRichEditKeepsTheWheelAndThePlainEditPassesItUp)
{
    for (bool rich : {false, true}) {
        HWND edit = Edit(rich, u"abc");
        wheelsReached = 0;
        POINT point = {20, 5};
        ClientToScreen(edit, &point);
        harness.Wheel(point, -1);
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(wheelsReached, rich ? 0 : 1) << (rich ? "rich edit" : "edit");
        DestroyWindow(edit);
    }
}

TEST_F(EditTest, TheCharacterFormatSetsTheRichEditsFont)
{
    struct Case {
        LONG twips;
        DWORD effects;
        LONG em;
        LONG weight;
        BYTE italic;
    };
    // Twips / 15 to the nearest pixel.
    const Case cases[] = {
        {195, 0, 13, FW_NORMAL, 0},
        {187, CFE_BOLD, 12, FW_BOLD, 0},
        {188, CFE_ITALIC, 13, FW_NORMAL, 1},
        {180, CFE_BOLD | CFE_ITALIC, 12, FW_BOLD, 1},
    };
    HWND edit = Edit(true, u"abc");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.twips);
        CHARFORMATW format = {};
        format.cbSize = sizeof(format);
        format.dwMask = 0xF000003F;
        format.dwEffects = c.effects;
        format.yHeight = c.twips;
        format.crTextColor = RGB(10, 20, 30);
        std::memcpy(format.szFaceName, u"Layer Test Box", sizeof(u"Layer Test Box"));
        harness.Texts().Clear();
        EXPECT_EQ(SendMessageW(edit, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format)), 1);
        ASSERT_TRUE(harness.PumpUntilIdle());
        std::vector<DrawnText> drawn = harness.Texts().Entries();
        ASSERT_FALSE(drawn.empty());
        LOGFONTW font = {};
        ASSERT_NE(GetObjectW(drawn.back().font, sizeof(font), &font), 0);
        EXPECT_EQ(font.lfHeight, -c.em);
        EXPECT_EQ(font.lfWeight, c.weight);
        EXPECT_EQ(font.lfItalic, c.italic);
        EXPECT_EQ(std::u16string(font.lfFaceName), u"Layer Test Box");
        EXPECT_EQ(drawn.back().color, RGB(10, 20, 30));
    }
    CHARFORMATW format = {};
    format.cbSize = sizeof(format) - 4;
    format.dwMask = CFM_SIZE;
    format.yHeight = 300;
    EXPECT_EQ(SendMessageW(edit, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format)), 0) << "a short record";
    format.cbSize = sizeof(format);
    EXPECT_EQ(SendMessageW(edit, EM_SETCHARFORMAT, 1, reinterpret_cast<LPARAM>(&format)), 0) << "not SCF_ALL";
    HWND plain = Edit(false, u"abc");
    EXPECT_EQ(SendMessageW(plain, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format)), 0) << "the plain edit";
}

TEST_F(EditTest, ColoursComeFromTheParentByState)
{
    struct Case {
        const char* name;
        bool readOnly;
        bool disabled;
        UINT asks;
    };
    const Case cases[] = {
        {"editable", false, false, WM_CTLCOLOREDIT},
        {"read-only", true, false, WM_CTLCOLORSTATIC},
        {"disabled", false, true, WM_CTLCOLORSTATIC},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND edit = Edit(false, u"abc");
        SendMessageW(edit, EM_SETREADONLY, c.readOnly, 0);
        EnableWindow(edit, c.disabled ? FALSE : TRUE);
        colorAsked.clear();
        harness.Texts().Clear();
        InvalidateRect(edit, nullptr, FALSE);
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(colorAsked, std::vector<UINT>{c.asks});
        ASSERT_FALSE(harness.Texts().Entries().empty());
        EXPECT_EQ(harness.Texts().Entries().back().color, GetSysColor(c.disabled ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
        DestroyWindow(edit);
    }
}

TEST_F(EditTest, TheCaretBlinksAndTheViewFollowsIt)
{
    HWND edit = Edit(false, u"abc", 0, {10, 10, 70, 30});
    POINT caret = {kTextLeft + 3 * kAdvance, 6};
    COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
    ClientToScreen(edit, &caret);
    EXPECT_EQ(harness.Pixel(caret), OpaquePixel(ink));
    harness.Advance(530);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_NE(harness.Pixel(caret), OpaquePixel(ink)) << "off after one blink";
    harness.Advance(530);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(harness.Pixel(caret), OpaquePixel(ink));
    SetFocus(parent);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_NE(harness.Pixel(caret), OpaquePixel(ink)) << "no caret without the focus";

    // Thirty characters in 56 visible pixels: the end in view, then the start again.
    SetFocus(edit);
    harness.Texts().Clear();
    Run(edit, Typed(std::u16string(27, u'x')));
    std::vector<DrawnText> drawn = harness.Texts().Entries();
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.back().rect.left, kTextLeft - (30 * kAdvance - 56 + 1));
    harness.Texts().Clear();
    Run(edit, Key(VK_HOME));
    drawn = harness.Texts().Entries();
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.back().rect.left, kTextLeft);
}

} // namespace
