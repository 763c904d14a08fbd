#include "win32/controls/Controls.h"

#include "foundation/CXDebug.h"
#include "win32/WindowTesting.h"
#include "win32/api/DateTimeTab.h"
#include "win32/gdi/Font.h"
#include "win32/gdi/Text.h"

#include <string>
#include <vector>

using namespace win32test;

namespace {

// The test face at em 12: every character 7 pixels wide; the picker's text starts 2 pixels in.
constexpr int kAdvance = 7;
constexpr int kTextLeft = 2;
constexpr char16_t kWizardFormat[] = u"dddMMMdd', 'yyy";

// A date at 10:20:30.400, a time of day every change keeps.
SYSTEMTIME Date(int year, int month, int day, int weekday = 0)
{
    return {static_cast<WORD>(year), static_cast<WORD>(month), static_cast<WORD>(weekday), static_cast<WORD>(day),
            10, 20, 30, 400};
}

std::string Show(const SYSTEMTIME& t)
{
    return std::to_string(t.wYear) + "-" + std::to_string(t.wMonth) + "-" + std::to_string(t.wDay) + " (weekday " +
           std::to_string(t.wDayOfWeek) + ") " + std::to_string(t.wHour) + ":" + std::to_string(t.wMinute) + ":" +
           std::to_string(t.wSecond) + "." + std::to_string(t.wMilliseconds);
}

// A visible parent that records the pickers' notifications with the date each carries.
class DateTimePickTest : public WindowTest {
protected:
    struct Notice {
        HWND from;
        UINT_PTR id;
        DWORD flags;
        SYSTEMTIME date;
    };

    DateTimePickTest()
    {
        Script recorder = [this](HWND, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (message == WM_NOTIFY && header->code == DTN_DATETIMECHANGE) {
                const auto* change = reinterpret_cast<const NMDATETIMECHANGE*>(lParam);
                notices.push_back({header->hwndFrom, header->idFrom, change->dwFlags, change->st});
            }
            return std::nullopt;
        };
        parent = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {100, 100, 600, 400}, recorder);
        testFace = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"Layer Test Box");
    }
    ~DateTimePickTest() override { DeleteObject(testFace); }

    // A picker with the test face showing the date; the format is set unless null.
    HWND Picker(const SYSTEMTIME& date, const char16_t* format = kWizardFormat)
    {
        HWND hwnd = CreateWindowExW(0, u"SysDateTimePick32", u"", WS_CHILD | WS_VISIBLE, 10, 10, 200, 24, parent,
                                    reinterpret_cast<HMENU>(7), harness.Instance(), nullptr);
        EXPECT_NE(hwnd, nullptr);
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(testFace), FALSE);
        if (format != nullptr) {
            EXPECT_EQ(SendMessageW(hwnd, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(format)), TRUE);
        }
        EXPECT_EQ(SendMessageW(hwnd, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&date)), TRUE);
        return hwnd;
    }

    static SYSTEMTIME Value(HWND hwnd)
    {
        SYSTEMTIME date = {};
        EXPECT_EQ(SendMessageW(hwnd, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date)),
                  static_cast<LRESULT>(GDT_VALID));
        return date;
    }

    // The texts drawn in the window since the log was last cleared.
    std::vector<DrawnText> Drawn(HWND hwnd)
    {
        std::vector<DrawnText> drawn;
        for (const DrawnText& entry : harness.Texts().Entries()) {
            if (entry.window == hwnd)
                drawn.push_back(entry);
        }
        return drawn;
    }

    void Keys(const std::vector<UINT>& keys)
    {
        for (UINT key : keys) {
            harness.KeyDown(key);
            harness.KeyUp(key);
        }
        ASSERT_TRUE(harness.PumpUntilIdle());
    }

    HWND parent = nullptr;
    HFONT testFace = nullptr;
    std::vector<Notice> notices;
};

TEST_F(DateTimePickTest, TheFormatShowsItsFieldsQuotedTextAndOtherPatternsAsWritten)
{
    struct Case {
        const char* name;
        const char16_t* format;
        const char16_t* shown;
        std::vector<std::string> logged;
    };
    const Case cases[] = {
        {"the first format", nullptr, u"29 Feb 2000", {}},
        {"weekday, month, day, year", kWizardFormat, u"TueFeb29, 2000", {}},
        {"quotes, doubled quotes, other characters", u"'It''s' dd'.' MMM, ''yyy''", u"It's 29. Feb, '2000'", {}},
        {"an unterminated quote runs to the end", u"yyy 'dd MMM", u"2000 dd MMM", {}},
        {"other patterns", u"dd/MM/yyyy h", u"29/MM/yyyy h", {"\"MM\"", "\"yyyy\"", "\"h\""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CXDebugCapture capture;
        HWND picker = Picker(Date(2000, 2, 29), c.format);
        harness.Texts().Clear();
        ASSERT_TRUE(harness.PumpUntilIdle());
        std::vector<DrawnText> drawn = Drawn(picker);
        ASSERT_EQ(drawn.size(), 1u) << "nothing highlighted without the focus";
        EXPECT_EQ(drawn[0].text, c.shown);
        EXPECT_EQ(drawn[0].font, testFace);
        for (const std::string& pattern : c.logged)
            EXPECT_EQ(capture.Count("SysDateTimePick32> the format pattern " + pattern + " is not supported"), 1u)
                << pattern;
        EXPECT_EQ(capture.Lines().size(), c.logged.size());
        DestroyWindow(picker);
    }
}

TEST_F(DateTimePickTest, ArrowKeysStepTheFieldUnderTheCaretAndTellTheParent)
{
    // The fields of the format: weekday, month, day, year; the caret starts on the weekday.
    struct Case {
        const char* name;
        SYSTEMTIME from;
        std::vector<UINT> keys;
        SYSTEMTIME to;
        size_t notices;
    };
    const Case cases[] = {
        {"the day wraps round within its month", Date(2000, 1, 31), {VK_RIGHT, VK_RIGHT, VK_UP}, Date(2000, 1, 1, 6), 1},
        {"down from the first day", Date(2000, 2, 1), {VK_RIGHT, VK_RIGHT, VK_DOWN}, Date(2000, 2, 29, 2), 1},
        {"the month keeps its year", Date(1999, 12, 15), {VK_RIGHT, VK_UP}, Date(1999, 1, 15, 5), 1},
        {"a day past a shorter month's end", Date(2001, 3, 31), {VK_RIGHT, VK_DOWN}, Date(2001, 2, 28, 3), 1},
        {"Left wraps round to the year", Date(2000, 2, 29), {VK_LEFT, VK_UP}, Date(2001, 2, 28, 3), 1},
        {"the year stops at the range's end", Date(30827, 6, 1), {VK_LEFT, VK_UP}, Date(30827, 6, 1, 2), 0},
        {"the weekday moves the date by a day", Date(2000, 3, 1), {VK_DOWN}, Date(2000, 2, 29, 2), 1},
        {"into the next year", Date(1999, 12, 31), {VK_UP}, Date(2000, 1, 1, 6), 1},
        {"Right wraps round to the weekday", Date(2000, 1, 10), {VK_LEFT, VK_RIGHT, VK_UP, VK_UP},
         Date(2000, 1, 12, 3), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND picker = Picker(c.from);
        SetFocus(picker);
        ASSERT_TRUE(harness.PumpUntilIdle());
        notices.clear();
        Keys(c.keys);
        EXPECT_EQ(Show(Value(picker)), Show(c.to));
        ASSERT_EQ(notices.size(), c.notices);
        if (!notices.empty()) {
            const Notice& last = notices.back();
            EXPECT_EQ(last.from, picker);
            EXPECT_EQ(last.id, 7u);
            EXPECT_EQ(last.flags, static_cast<DWORD>(GDT_VALID));
            EXPECT_EQ(Show(last.date), Show(c.to));
        }
        DestroyWindow(picker);
    }
}

TEST_F(DateTimePickTest, AClickPicksTheFieldItHitsAndTheFocusedFieldIsHighlighted)
{
    HWND picker = Picker(Date(2000, 2, 29));
    // "TueFeb29, " is ten characters: the year starts there.
    harness.Click(picker, {kTextLeft + kAdvance * 10 + 3, 12});
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(GetFocus(), picker);
    harness.Texts().Clear();
    Keys({VK_UP});
    EXPECT_EQ(Show(Value(picker)), Show(Date(2001, 2, 28, 3)));
    EXPECT_EQ(notices.size(), 1u);

    std::vector<DrawnText> drawn = Drawn(picker);
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].text, u"WedFeb28, 2001");
    EXPECT_EQ(drawn[1].text, u"2001");
    EXPECT_EQ(drawn[1].color, GetSysColor(COLOR_HIGHLIGHTTEXT));
    EXPECT_EQ(drawn[1].rect.left, kTextLeft + kAdvance * 10);

    // A click on text between the fields leaves the caret where it is.
    harness.Click(picker, {kTextLeft + kAdvance * 8 + 3, 12});
    Keys({VK_DOWN});
    EXPECT_EQ(Value(picker).wYear, 2000);
}

TEST_F(DateTimePickTest, SetSystemTimeTellsNothingAndRefusesWhatADateCannotBe)
{
    HWND picker = Picker(Date(2000, 2, 29));
    // The weekday is worked out from the date.
    SYSTEMTIME given = Date(1970, 1, 1, 6);
    EXPECT_EQ(SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&given)), TRUE);
    EXPECT_EQ(Show(Value(picker)), Show(Date(1970, 1, 1, 4)));

    struct Case {
        const char* name;
        WPARAM kind;
        SYSTEMTIME date;
    };
    SYSTEMTIME lateHour = Date(2001, 1, 1);
    lateHour.wHour = 24;
    const Case cases[] = {
        {"30 February", GDT_VALID, Date(2001, 2, 30)},
        {"29 February of a year that is no leap year", GDT_VALID, Date(1900, 2, 29)},
        {"month 13", GDT_VALID, Date(2001, 13, 1)},
        {"month 0", GDT_VALID, Date(2001, 0, 1)},
        {"day 0", GDT_VALID, Date(2001, 1, 0)},
        {"before 1601", GDT_VALID, Date(1600, 12, 31)},
        {"hour 24", GDT_VALID, lateHour},
        {"no date", GDT_NONE, Date(2001, 1, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SendMessageW(picker, DTM_SETSYSTEMTIME, c.kind, reinterpret_cast<LPARAM>(&c.date)), FALSE);
        EXPECT_EQ(Show(Value(picker)), Show(Date(1970, 1, 1, 4)));
    }
    EXPECT_EQ(SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, 0), FALSE);
    EXPECT_EQ(SendMessageW(picker, DTM_GETSYSTEMTIME, 0, 0), GDT_ERROR);
    EXPECT_TRUE(notices.empty());
}

} // namespace
