// The search filter panel, its criterion rows and the search field.

#include "toolkit/UISearchFilterPanel.h"

#include "ToolkitWindowTesting.h"
#include "foundation/CXMessagePost.h"
#include "platform/LocalTime.h"
#include "support/BmpFile.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "toolkit/TextPromptSheet.h"
#include "toolkit/UIButton.h"
#include "toolkit/UIDateTimeControl.h"
#include "toolkit/UIDisclosureButton.h"
#include "toolkit/UIEditTextControl.h"
#include "toolkit/UIIconControl.h"
#include "toolkit/UIMessageLoop.h"
#include "toolkit/UIPopupMenuButton.h"
#include "toolkit/UISearchField.h"
#include "toolkit/UIStaticTextControl.h"
#include "win32/api/DateTimeTab.h"
#include "win32/api/StaticImage.h"
#include "win32/testing/Pixels.h"

#include <filesystem>
#include <string>
#include <vector>

namespace toolkittest {
namespace {

// The frame, or "hidden".
std::string Frame(const UIElement* element)
{
    if (!element->IsVisible())
        return "hidden";
    const Box2i f = element->GetFrame();
    return std::to_string(f.left) + "," + std::to_string(f.top) + "," + std::to_string(f.right) + "," +
           std::to_string(f.bottom);
}

std::vector<std::string> Items(UIPopupMenuButton* popup)
{
    std::vector<std::string> items;
    for (int32_t i = 0; i < popup->GetMenu()->GetItemCount(); ++i)
        items.push_back(popup->GetMenu()->GetItemTitle(i).c_str());
    return items;
}

class SearchFilterPanelTest : public WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        std::filesystem::create_directories(scratch / "data");
        fields = {
            {1, "Name", "text", 1, {}, "start"},
            {2, "Kind", "list", 1, {"a", "b", "c"}, "b"},
            {3, "Added", "date", 1, {}, "today"},
            {4, "Any", "null", 1, {}, ""},
            {5, "Hidden", "text", 0, {}, ""},
        };
        window = MakeWindow({100, 100, 1100, 500, false});
    }
    void TearDown() override
    {
        if (window != nullptr)
            window->Destroy();
        WindowElementTest::TearDown();
        Platform::ReloadTimeZone();
    }

    // A panel of the window's width, recording the messages it sends; `answer` answers them.
    UISearchFilterPanel* MakePanel(int32_t width, bool searchField = true)
    {
        auto* panel = new UISearchFilterPanel;
        panel->SetLayout(0, 0, width, 300, 0, 0);
        window->AddChild(panel, nullptr);
        panel->Init(fields, searchField);
        panel->AddMessageHandler([this, panel](const CXMessage& message) -> CXResultCode {
            if (message.GetSource() != panel)
                return kCXNotSupported;
            std::string line = message.GetName().c_str();
            if (!message.GetArguments().empty())
                line += " " + std::string(message.GetFirstArgument().c_str());
            sent.push_back(line);
            return line == "configure-custom-search-filter" ? configureAnswer : kCXNotSupported;
        });
        return panel;
    }
    // The user picks a popup entry.
    static void Choose(UIPopupMenuButton* popup, int32_t index)
    {
        popup->SetSelectedIndex(index);
        (void)popup->HandleMessage(CXMessage("click", popup));
    }
    // An icon's click, as the loop delivers it.
    static void Click(UIIconControl* icon) { (void)icon->HandleMessage(CXMessage("click", icon)); }
    static std::vector<int32_t> Keys(const UISearchFilterPanel* panel)
    {
        std::vector<int32_t> keys;
        for (const UISearchFilterPanelRow* row : panel->GetRows())
            keys.push_back(row->GetKey());
        return keys;
    }
    void DeliverPosted()
    {
        win32::MSG message = {};
        for (int i = 0; i < 200 && PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); ++i)
            ASSERT_TRUE(loop.Turn());
        for (int turns = 0; turns < 20 && CXMessagePost::GetSingleton().GetCount() > 0; ++turns)
            ASSERT_TRUE(loop.Turn());
    }

    ScratchFolder scratch;
    ScopedEnv appFolder{"CX_APP_FOLDER", scratch.Path()};
    UISearchFilterFieldList fields;
    CXUIWindow* window = nullptr;
    UIMessageLoop loop;
    std::vector<std::string> sent;
    CXResultCode configureAnswer = kCXNotSupported;
};

TEST_F(SearchFilterPanelTest, TheBarIsLaidOutForItsWidth)
{
    struct Case {
        int32_t width;
        bool custom;
        const char* popup;
        const char* save;
        const char* field;
        const char* extra;
    };
    const Case cases[] = {
        // R = 320: the field from max(420, 200); the extra element between the popup and it.
        {500, false, "80,2,320,22", "hidden", "420,3,496,20", "340,2,400,26"},
        // With the Save button shown the extra element has no room left.
        {500, true, "80,2,320,22", "340,2,400,26", "420,3,496,20", "hidden"},
        // R = 200, and 300 is not below 250: no search field; the extra element runs to W - 20.
        {300, false, "80,2,200,22", "hidden", "hidden", "220,2,280,26"},
        // R = 400 at most; the field starts at W - 300.
        {900, true, "80,2,400,22", "420,2,480,26", "600,3,896,20", "500,2,580,26"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        UISearchFilterPanel* panel = MakePanel(c.width);
        panel->SetEditingAllowed(true);
        panel->SetExtraElement(new UIStaticTextControl);
        if (c.custom)
            panel->SelectFilter(1);
        EXPECT_EQ(Frame(panel->GetDisclosureButton()), c.custom ? "13,4,29,20" : "hidden");
        EXPECT_EQ(Frame(panel->GetLabel()), "37,4,80,26");
        EXPECT_EQ(Frame(panel->GetFilterPopup()), c.popup);
        EXPECT_EQ(Frame(panel->GetSaveButton()), c.save);
        EXPECT_EQ(Frame(panel->GetSearchField()), c.field);
        EXPECT_EQ(Frame(panel->GetExtraElement()), c.extra);
        panel->Destroy();
    }

    // Rows are stacked 30 pixels high from y = 28, full width, their parts kept at the right edge.
    UISearchFilterPanel* panel = MakePanel(500, false);
    panel->SelectFilter(1);
    panel->InsertRowAfter(panel->GetRows()[0]);
    ASSERT_EQ(panel->GetRows().size(), 2u);
    UISearchFilterPanelRow* row = panel->GetRows()[1];
    EXPECT_EQ(Frame(row), "0,58,500,88");
    EXPECT_EQ(Frame(row->GetFieldPopup()), "13,3,200,23");
    EXPECT_EQ(Frame(row->GetEditor()), "213,3,439,23") << "a list";
    EXPECT_EQ(Frame(row->GetRemoveIcon()), "451,6,467,22");
    EXPECT_EQ(Frame(row->GetAddIcon()), "471,6,487,22");
    panel->SetLayout(0, 0, 600, 300, 0, 0);
    EXPECT_EQ(Frame(row->GetEditor()), "213,3,539,23");
    EXPECT_EQ(Frame(row->GetAddIcon()), "571,6,587,22");
    panel->SetLayout(0, 0, 500, 300, 0, 0);
    EXPECT_EQ(Frame(row), "0,58,500,88");
    EXPECT_EQ(Frame(row->GetEditor()), "213,3,439,23");
    EXPECT_EQ(Frame(row->GetAddIcon()), "471,6,487,22");
}

TEST_F(SearchFilterPanelTest, ChoosingFiltersFromThePopup)
{
    UISearchFilterPanel* panel = MakePanel(500);
    EXPECT_TRUE(sent.empty()) << "Init sends nothing";
    panel->SetSavedFilters({{7, "Mine", {{1, "x"}, {2, "c"}}}, {8, "Empty", {}}});
    UIPopupMenuButton* popup = panel->GetFilterPopup();
    EXPECT_EQ(Items(popup), (std::vector<std::string>{"Unfiltered", "Mine", "Empty", "Custom\u2026"}));
    panel->SetEditingAllowed(true);
    EXPECT_EQ(Items(popup),
              (std::vector<std::string>{"Unfiltered", "Mine", "Empty", "Custom\u2026", "-", "Edit Filters\u2026"}));
    EXPECT_EQ(panel->GetEditFiltersIndex(), 5);

    // A saved filter: one row per criterion with its key and value.
    Choose(popup, 1);
    EXPECT_EQ(panel->GetSelectedFilter(), 1);
    EXPECT_EQ(Keys(panel), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(static_cast<UIEditTextControl*>(panel->GetRows()[0]->GetEditor())->GetText(), "x");
    EXPECT_EQ(static_cast<UIPopupMenuButton*>(panel->GetRows()[1]->GetEditor())->GetSelectedIndex(), 2);
    EXPECT_TRUE(panel->GetDisclosureButton()->IsVisible());
    EXPECT_FALSE(panel->GetDisclosureButton()->IsOpen());
    EXPECT_FALSE(panel->GetSaveButton()->IsVisible());
    EXPECT_EQ(sent, std::vector<std::string>{"search-filter-changed"});

    // "Edit Filters" keeps the filter; so does the separator, silently.
    sent.clear();
    Choose(popup, 5);
    EXPECT_EQ(popup->GetSelectedIndex(), 1);
    EXPECT_EQ(panel->GetSelectedFilter(), 1);
    EXPECT_EQ(Keys(panel), (std::vector<int32_t>{1, 2}));
    Choose(popup, 4);
    EXPECT_EQ(popup->GetSelectedIndex(), 1);
    EXPECT_EQ(sent, std::vector<std::string>{"edit-search-filters"});

    // An unanswered "Custom" adds one row; an answered one leaves the rows to the owner.
    sent.clear();
    Choose(popup, 3);
    EXPECT_EQ(panel->GetRows().size(), 1u);
    EXPECT_TRUE(panel->GetDisclosureButton()->IsOpen());
    EXPECT_TRUE(panel->GetSaveButton()->IsVisible());
    EXPECT_EQ(sent, (std::vector<std::string>{"search-filter-layout-changed", "configure-custom-search-filter",
                                              "search-filter-changed"}));
    configureAnswer = kCXOK;
    Choose(popup, 0);
    Choose(popup, 3);
    EXPECT_TRUE(panel->GetRows().empty());

    // Unfiltered hides the disclosure button; the search text tells the owner too.
    sent.clear();
    Choose(popup, 0);
    EXPECT_FALSE(panel->GetDisclosureButton()->IsVisible());
    EXPECT_EQ(sent, (std::vector<std::string>{"search-filter-layout-changed", "search-filter-changed"}));
    sent.clear();
    panel->GetSearchField()->SetFocus();
    harness.Type(u"ab");
    DeliverPosted();
    EXPECT_EQ(panel->GetSearchField()->GetValue(), "ab");
    EXPECT_EQ(sent, (std::vector<std::string>{"search-filter-changed", "search-filter-changed"}));
}

TEST_F(SearchFilterPanelTest, RowsAddDeleteAndChangeSwitchToCustom)
{
    UISearchFilterPanel* panel = MakePanel(500);
    panel->SetSavedFilters({{7, "Mine", {{1, "x"}}}});
    panel->SelectFilter(1);
    sent.clear();

    // A change to a saved filter's row makes it a custom one.
    auto* text = static_cast<UIEditTextControl*>(panel->GetRows()[0]->GetEditor());
    text->SetFocus();
    harness.Type(u"y");
    DeliverPosted();
    EXPECT_EQ(panel->GetSelectedFilter(), 2);
    EXPECT_EQ(panel->GetFilterPopup()->GetSelectedIndex(), 2);
    EXPECT_TRUE(panel->GetDisclosureButton()->IsOpen());
    EXPECT_FALSE(panel->GetSaveButton()->IsVisible()) << "editing is not allowed";
    EXPECT_EQ(sent, (std::vector<std::string>{"search-filter-layout-changed", "search-filter-changed"}));

    // Add inserts after the sender; the field popup's choice builds the editor of its type.
    sent.clear();
    Click(panel->GetRows()[0]->GetAddIcon());
    ASSERT_EQ(panel->GetRows().size(), 2u);
    UISearchFilterPanelRow* second = panel->GetRows()[1];
    EXPECT_EQ(second->GetKey(), 2) << "the second row starts on the second field";
    Choose(second->GetFieldPopup(), 3);
    EXPECT_EQ(second->GetKey(), 4);
    EXPECT_EQ(second->GetEditor(), nullptr) << "a field without a value";
    EXPECT_EQ(sent, (std::vector<std::string>{"search-filter-changed", "search-filter-changed"}));

    // Deleting rows; the last one gone selects Unfiltered.
    sent.clear();
    Click(panel->GetRows()[0]->GetRemoveIcon());
    EXPECT_EQ(panel->GetRows(), std::vector<UISearchFilterPanelRow*>{second});
    EXPECT_EQ(panel->GetSelectedFilter(), 2);
    Click(second->GetRemoveIcon());
    EXPECT_TRUE(panel->GetRows().empty());
    EXPECT_EQ(panel->GetSelectedFilter(), 0);
    EXPECT_EQ(panel->GetFilterPopup()->GetSelectedIndex(), 0);
    EXPECT_FALSE(panel->GetDisclosureButton()->IsVisible());
    EXPECT_EQ(sent, (std::vector<std::string>{"search-filter-changed", "search-filter-layout-changed",
                                              "search-filter-changed"}));
}

TEST_F(SearchFilterPanelTest, SaveAsksForATitleThroughThePromptSheet)
{
    UISearchFilterPanel* panel = MakePanel(500);
    panel->SetEditingAllowed(true);
    panel->SelectFilter(1);
    ASSERT_TRUE(panel->GetSaveButton()->IsVisible());
    sent.clear();
    (void)panel->GetSaveButton()->HandleMessage(CXMessage("click", panel->GetSaveButton()));
    auto* sheet = dynamic_cast<TextPromptSheet*>(CXUIWindow::GetFrontWindow(false));
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->GetEnteredText(), "Untitled");
    sheet->GetTextField()->SetFocus();
    harness.Type(u" 2");
    harness.KeyDown(VK_RETURN);
    harness.KeyUp(VK_RETURN);
    DeliverPosted();
    EXPECT_EQ(sent, std::vector<std::string>{"search-filter-save Untitled 2"});
    EXPECT_EQ(CXUIWindow::GetFrontWindow(false), window) << "the sheet closed";
}

TEST_F(SearchFilterPanelTest, RowValuesAndTheFieldEachNewRowStartsOn)
{
    ScopedEnv zone("TZ", "UTC");
    Platform::ReloadTimeZone();
    harness.Advance(90 * 60 * 1000); // 2026-01-01 01:30 UTC on the harness's wall clock
    UISearchFilterPanel* panel = MakePanel(500);
    configureAnswer = kCXOK;
    panel->SelectFilter(1);
    for (int i = 0; i < 6; ++i)
        panel->InsertRowAfter(nullptr);
    // Four listed fields, taken in turn; the unlisted one is never offered.
    EXPECT_EQ(Keys(panel), (std::vector<int32_t>{1, 2, 3, 4, 1, 2}));
    EXPECT_EQ(Items(panel->GetRows()[0]->GetFieldPopup()), (std::vector<std::string>{"Name", "Kind", "Added", "Any"}));
    UISearchFilterPanelRow* row = panel->GetRows()[2];
    row->SetKey(5);
    EXPECT_EQ(row->GetKey(), 3) << "an unlisted key changes nothing";

    auto shown = [row]() {
        SYSTEMTIME t = {};
        SendMessageW(static_cast<UIDateTimeControl*>(row->GetEditor())->GetNativeHandle(), DTM_GETSYSTEMTIME, 0,
                     reinterpret_cast<LPARAM>(&t));
        return std::to_string(t.wYear) + "-" + std::to_string(t.wMonth) + "-" + std::to_string(t.wDay) + " " +
               std::to_string(t.wHour) + ":" + std::to_string(t.wMinute) + ":" + std::to_string(t.wSecond) + "." +
               std::to_string(t.wMilliseconds);
    };
    struct Case {
        const char* value;
        const char* shown;
        bool today;
    };
    const Case cases[] = {
        {"today", "2026-1-1 0:0:0.0", true},
        {"now", "2026-1-1 1:30:0.0", false},
        {"951825600123", "2000-2-29 12:0:0.123", false},
        {"12abc", "2026-1-1 1:30:0.0", false},
    };
    EXPECT_TRUE(row->IsToday()) << "the field's default value";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        row->SetValue(c.value);
        EXPECT_EQ(shown(), c.shown);
        EXPECT_EQ(row->IsToday(), c.today);
    }
    // The user's own date clears the mark.
    row->SetValue("today");
    sent.clear();
    NMHDR change = {static_cast<UIDateTimeControl*>(row->GetEditor())->GetNativeHandle(), 0, DTN_DATETIMECHANGE};
    (void)static_cast<UIDateTimeControl*>(row->GetEditor())
        ->HandleNativeMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&change));
    EXPECT_FALSE(row->IsToday());
    EXPECT_EQ(sent, std::vector<std::string>{"search-filter-changed"});

    // Text and list values; a value the list lacks keeps its choice.
    UISearchFilterPanelRow* text = panel->GetRows()[0];
    EXPECT_EQ(static_cast<UIEditTextControl*>(text->GetEditor())->GetText(), "start");
    EXPECT_EQ(static_cast<UIEditTextControl*>(text->GetEditor())->GetMaximumLength(), 0x800000);
    UISearchFilterPanelRow* list = panel->GetRows()[1];
    auto* choice = static_cast<UIPopupMenuButton*>(list->GetEditor());
    EXPECT_EQ(choice->GetSelectedIndex(), 1);
    list->SetValue("c");
    EXPECT_EQ(choice->GetSelectedIndex(), 2);
    list->SetValue("z");
    EXPECT_EQ(choice->GetSelectedIndex(), 2);
}

TEST_F(SearchFilterPanelTest, TheSearchFieldShowsItsIconAndGivesItsBitmapBack)
{
    ASSERT_TRUE(BmpFile(15, 15, 24, std::vector<uint32_t>(225, 0xFFFF0000)).Write(scratch / "data/search-icon.bmp"));
    ASSERT_TRUE(harness.PumpUntilIdle());
    const win32::testing::GdiObjectCounts before = win32::testing::LiveGdiObjects();

    auto* field = new UISearchField;
    field->SetLayout(10, 10, 110, 27, 0, 0);
    window->AddChild(field, nullptr);
    field->Init();
    field->SetFont(RazaFont("Layer Test Box", 12));
    HWND icon = field->GetIconWindow();
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(GetParent(icon), field->GetNativeHandle());
    EXPECT_EQ(GetWindowLongW(icon, GWL_STYLE) & ~static_cast<LONG>(WS_VISIBLE), 0x4000000E);
    RECT rect = {};
    GetWindowRect(icon, &rect);
    POINT origin = {0, 0};
    ClientToScreen(field->GetNativeHandle(), &origin);
    EXPECT_EQ(rect.left - origin.x, 100 - 17 - 2);
    EXPECT_EQ(rect.top - origin.y, 1);
    EXPECT_EQ(rect.right - rect.left, 15);
    EXPECT_EQ(rect.bottom - rect.top, 15);
    ASSERT_TRUE(harness.PumpUntilIdle());
    POINT inIcon = {rect.left + 7, rect.top + 7};
    EXPECT_EQ(harness.Pixel(inIcon), 0xFFFF0000u);

    // The placeholder while empty and unfocused, in grey; the value while focused.
    EXPECT_EQ(field->GetText(), " Search");
    EXPECT_EQ(field->GetFont().GetColor().ToColorRef() & 0xFFFFFF, RGB(127, 127, 127));
    field->SetFocus();
    EXPECT_EQ(field->GetText(), "");
    EXPECT_EQ(field->GetFont().GetColor().ToColorRef() & 0xFFFFFF, 0u);
    harness.Type(u"q");
    DeliverPosted();
    win32::SetFocus(window->GetNativeHandle());
    EXPECT_EQ(field->GetText(), "q");
    EXPECT_EQ(field->GetValue(), "q");

    // A layout change moves the icon along.
    field->SetLayout(10, 10, 210, 31, 0, 0);
    GetWindowRect(icon, &rect);
    origin = {0, 0};
    ClientToScreen(field->GetNativeHandle(), &origin);
    EXPECT_EQ(rect.left - origin.x, 200 - 21 - 2);
    EXPECT_EQ(rect.right - rect.left, 19);

    field->Destroy();
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(win32::testing::LiveGdiObjects(), before);

    // A field whose window goes with its top-level window gives its bitmap back too.
    const size_t bitmapsBefore = win32::testing::LiveGdiObjects().bitmaps;
    auto* second = new UISearchField;
    second->SetLayout(10, 10, 110, 27, 0, 0);
    window->AddChild(second, nullptr);
    second->Init();
    ASSERT_NE(second->GetIconWindow(), nullptr);
    EXPECT_GT(win32::testing::LiveGdiObjects().bitmaps, bitmapsBefore);
    DestroyWindow(window->GetNativeHandle());
    EXPECT_FALSE(IsWindow(second->GetIconWindow()));
    EXPECT_LE(win32::testing::LiveGdiObjects().bitmaps, bitmapsBefore);
    window->Destroy();
    window = nullptr;
}

} // namespace
} // namespace toolkittest
