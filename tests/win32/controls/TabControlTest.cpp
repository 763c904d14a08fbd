#include "win32/controls/Controls.h"

#include "win32/WindowTesting.h"
#include "win32/api/DateTimeTab.h"
#include "win32/gdi/Font.h"
#include "win32/gdi/Text.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace win32test;

namespace {

// The test face at em 12: characters 7 pixels wide, lines 13 high. A tab is its title plus 8
// pixels on each side, the first 2 pixels from the left edge; the row is 13 + 2 * 3 + 2 = 21
// pixels high, its tabs from y = 2 (the selected one from 0).
constexpr int kRow = 21;
POINT InTab(int left, int titleLength)
{
    return {left + (titleLength * 7 + 16) / 2, 10};
}

// A visible parent that records the tab controls' notifications, with the selection each time,
// and answers TCN_SELCHANGING as told.
class TabControlTest : public WindowTest {
protected:
    struct Notice {
        HWND from;
        UINT code;
        LRESULT selected;
    };

    TabControlTest()
    {
        Script recorder = [this](HWND, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
            if (message != WM_NOTIFY)
                return std::nullopt;
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            notices.push_back({header->hwndFrom, header->code, SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0)});
            return header->code == TCN_SELCHANGING ? selChangingAnswer : 0;
        };
        parent = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {100, 100, 600, 400}, recorder);
        testFace = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"Layer Test Box");
    }
    ~TabControlTest() override { DeleteObject(testFace); }

    HWND Tabs(const std::vector<const char16_t*>& titles, HFONT font = nullptr)
    {
        HWND hwnd = CreateWindowExW(0, u"SysTabControl32", u"", WS_CHILD | WS_VISIBLE | TCS_MULTILINE, 10, 10, 300,
                                    200, parent, reinterpret_cast<HMENU>(9), harness.Instance(), nullptr);
        EXPECT_NE(hwnd, nullptr);
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font != nullptr ? font : testFace), FALSE);
        for (const char16_t* title : titles)
            Insert(hwnd, 1000, title);
        return hwnd;
    }

    static LRESULT Insert(HWND hwnd, int index, const char16_t* title)
    {
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char16_t*>(title);
        return SendMessageW(hwnd, TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    }

    static LRESULT Selected(HWND hwnd) { return SendMessageW(hwnd, TCM_GETCURSEL, 0, 0); }

    HWND parent = nullptr;
    HFONT testFace = nullptr;
    std::vector<Notice> notices;
    LRESULT selChangingAnswer = 0;
};

TEST_F(TabControlTest, InsertingKeepsTheSelectedTabAndSetCurSelTellsNothing)
{
    HWND tabs = Tabs({});
    EXPECT_EQ(Selected(tabs), -1);
    EXPECT_EQ(SendMessageW(tabs, TCM_SETCURSEL, 0, 0), -1) << "no tab to select";

    EXPECT_EQ(Insert(tabs, 0, u"One"), 0);
    EXPECT_EQ(Selected(tabs), 0) << "the first tab is selected";
    EXPECT_EQ(Insert(tabs, 7, u"Three"), 1) << "past the end: appended";
    EXPECT_EQ(Insert(tabs, 1, u"Two"), 1);
    EXPECT_EQ(Selected(tabs), 0);
    EXPECT_EQ(SendMessageW(tabs, TCM_SETCURSEL, 2, 0), 0) << "answers the previous selection";
    EXPECT_EQ(Insert(tabs, 0, u"Zero"), 0);
    EXPECT_EQ(Selected(tabs), 3) << "still \"Three\"";
    EXPECT_EQ(SendMessageW(tabs, TCM_SETCURSEL, 4, 0), -1);
    EXPECT_EQ(SendMessageW(tabs, TCM_SETCURSEL, static_cast<WPARAM>(-1), 0), -1);
    EXPECT_EQ(Selected(tabs), 3);
    EXPECT_EQ(Insert(tabs, -1, u"Bad"), -1);
    EXPECT_EQ(SendMessageW(tabs, TCM_INSERTITEMW, 0, 0), -1);
    EXPECT_TRUE(notices.empty());

    harness.Texts().Clear();
    ASSERT_TRUE(harness.PumpUntilIdle());
    std::vector<std::u16string> titles;
    for (const DrawnText& entry : harness.Texts().Entries()) {
        if (entry.window == tabs)
            titles.push_back(entry.text);
    }
    std::sort(titles.begin(), titles.end());
    EXPECT_EQ(titles, (std::vector<std::u16string>{u"One", u"Three", u"Two", u"Zero"}));
}

TEST_F(TabControlTest, AClickAsksTheParentFirstAndANonZeroAnswerKeepsTheSelection)
{
    struct Case {
        LRESULT answer;
        LRESULT selectedAfter;
        std::vector<UINT> codes;
    };
    const Case cases[] = {
        {0, 1, {TCN_SELCHANGING, TCN_SELCHANGE}},
        {1, 0, {TCN_SELCHANGING}},
        {-1, 0, {TCN_SELCHANGING}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "TCN_SELCHANGING answered " << c.answer);
        HWND tabs = Tabs({u"One", u"Two", u"Three"});
        ASSERT_TRUE(harness.PumpUntilIdle());
        notices.clear();
        selChangingAnswer = c.answer;
        // "One" covers [2, 39), "Two" [39, 76).
        harness.Click(tabs, InTab(39, 3));
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(Selected(tabs), c.selectedAfter);
        std::vector<UINT> codes;
        for (const Notice& n : notices) {
            codes.push_back(n.code);
            EXPECT_EQ(n.from, tabs);
        }
        EXPECT_EQ(codes, c.codes);
        ASSERT_FALSE(notices.empty());
        EXPECT_EQ(notices[0].selected, 0) << "asked before anything changed";
        if (notices.size() > 1) {
            EXPECT_EQ(notices[1].selected, 1);
        }

        // The selected tab, the panel and the row past the last tab change nothing.
        notices.clear();
        for (POINT point : {InTab(c.selectedAfter == 0 ? 2 : 39, 3), POINT{150, kRow + 20}, POINT{250, 10}})
            harness.Click(tabs, point);
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_TRUE(notices.empty());
        EXPECT_EQ(Selected(tabs), c.selectedAfter);
        DestroyWindow(tabs);
    }
}

TEST_F(TabControlTest, AdjustRectTurnsTheWindowIntoTheDisplayAreaAndBack)
{
    HFONT large = CreateFontW(-24, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"Layer Test Box");
    struct Case {
        const char* name;
        HFONT font;
        // The tab row's height: the font's line height (13 at em 12, 26 at em 24), 3 pixels above
        // and below, and the 2 of the selected tab.
        int row;
    };
    const Case cases[] = {{"em 12", testFace, kRow}, {"em 24", large, 34}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND tabs = Tabs({u"One"}, c.font);
        RECT rect = {10, 20, 310, 220};
        SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&rect));
        EXPECT_EQ(rect, (RECT{14, 20 + c.row + 4, 306, 216}));
        SendMessageW(tabs, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&rect));
        EXPECT_EQ(rect, (RECT{10, 20, 310, 220}));
        DestroyWindow(tabs);
    }
    DeleteObject(large);
}

} // namespace
