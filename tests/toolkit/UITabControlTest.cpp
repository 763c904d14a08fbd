#include "toolkit/UITabControl.h"

#include "ToolkitWindowTesting.h"
#include "toolkit/UIStaticTextControl.h"
#include "win32/api/DateTimeTab.h"

#include <string>
#include <vector>

namespace toolkittest {
namespace {

// Three tabs in the test face at em 12 (characters 7 pixels wide): "One" covers client x 2 to
// 39, "Two" 39 to 76, "Six" 76 to 113, each from y 2 to 21; the panel starts at y 21, and the
// display area lies 4 pixels inside it.
constexpr POINT kTabCentres[] = {{20, 10}, {57, 10}, {94, 10}};

class UITabControlTest : public WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        window = MakeWindow();
        // The pages first, so that they lie above the tab control.
        for (const char* text : {"Page 0", "Page 1", "Page 2"}) {
            auto* page = new UIStaticTextControl;
            page->SetText(text);
            page->Init();
            window->AddChild(page, nullptr);
            page->SetVisible(text[5] == '0');
            pages.push_back(page);
        }
        tabs = new UITabControl;
        tabs->SetFont(RazaFont("Layer Test Box", 12));
        for (UIStaticTextControl* page : pages)
            tabs->pages.emplace_back(page);
        tabs->SetLayout(10, 10, 310, 210, 0, 0);
        tabs->Init();
        window->AddChild(tabs, nullptr);
        for (const char16_t* title : {u"One", u"Two", u"Six"}) {
            TCITEMW item = {};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<char16_t*>(title);
            SendMessageW(tabs->GetNativeHandle(), TCM_INSERTITEMW, 100, reinterpret_cast<LPARAM>(&item));
        }
        EXPECT_TRUE(harness.PumpUntilIdle());
    }
    void TearDown() override
    {
        window->Destroy();
        WindowElementTest::TearDown();
    }

    // Which pages are visible, as elements and as windows.
    std::string Shown() const
    {
        std::string shown;
        for (const CXSafePointer<UIElement>& page : tabs->pages) {
            auto* label = static_cast<UIStaticTextControl*>(page.get());
            if (label == nullptr)
                shown += 'x';
            else if (label->IsVisible() != (IsWindowVisible(label->GetNativeHandle()) != FALSE))
                shown += '?';
            else
                shown += label->IsVisible() ? '1' : '0';
        }
        return shown;
    }
    LRESULT Selected() const { return SendMessageW(tabs->GetNativeHandle(), TCM_GETCURSEL, 0, 0); }
    void ClickTab(int index)
    {
        harness.Click(tabs->GetNativeHandle(), kTabCentres[index]);
        ASSERT_TRUE(harness.PumpUntilIdle());
    }

    CXUIWindow* window = nullptr;
    UITabControl* tabs = nullptr;
    std::vector<UIStaticTextControl*> pages;
};

TEST_F(UITabControlTest, PickingATabShowsItsPageOnly)
{
    ASSERT_EQ(Shown(), "100");
    ClickTab(1);
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(Shown(), "010");
    ClickTab(2);
    EXPECT_EQ(Shown(), "001");
    ClickTab(0);
    EXPECT_EQ(Shown(), "100");

    // The control never keeps the user from picking a tab.
    NMHDR header = {tabs->GetNativeHandle(), 0, TCN_SELCHANGING};
    EXPECT_EQ(SendMessageW(window->GetNativeHandle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header)), 0);
}

TEST_F(UITabControlTest, SelectingFromTheProgramSwitchesNoPage)
{
    EXPECT_EQ(SendMessageW(tabs->GetNativeHandle(), TCM_SETCURSEL, 2, 0), 0);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(Selected(), 2);
    EXPECT_EQ(Shown(), "100");
}

TEST_F(UITabControlTest, PagesGetTheDisplayAreaAtEveryLayout)
{
    // The tab row is 21 pixels high; the area lies 4 pixels inside the panel.
    for (const UIStaticTextControl* page : pages)
        EXPECT_EQ(page->GetFrame(), (Box2i{14, 35, 306, 206, false}));
    tabs->SetLayout(0, 0, 200, 100, 0, 0);
    for (const UIStaticTextControl* page : pages)
        EXPECT_EQ(page->GetFrame(), (Box2i{4, 25, 196, 96, false}));
    // Too small for its tab row: the pages get an empty area, not an inverted one.
    tabs->SetLayout(50, 50, 56, 60, 0, 0);
    for (const UIStaticTextControl* page : pages) {
        const Box2i frame = page->GetFrame();
        EXPECT_EQ(frame.Width(), 0);
        EXPECT_EQ(frame.Height(), 0);
    }
}

TEST_F(UITabControlTest, ADestroyedPageIsPassedOver)
{
    pages[1]->Destroy();
    ClickTab(2);
    EXPECT_EQ(Shown(), "0x1");
    tabs->SetLayout(0, 0, 200, 100, 0, 0);
    EXPECT_EQ(pages[2]->GetFrame(), (Box2i{4, 25, 196, 96, false}));
}

} // namespace
} // namespace toolkittest
