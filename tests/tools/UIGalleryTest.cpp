#include "Gallery.h"

#include "foundation/CXMessagePost.h"
#include "toolkit/ToolkitWindowTesting.h"
#include "toolkit/TextPromptSheet.h"
#include "toolkit/UIButton.h"
#include "toolkit/UIEditTextControl.h"
#include "toolkit/UIFileDialogs.h"
#include "toolkit/UIMessageLoop.h"
#include "toolkit/UIPopupMenuButton.h"
#include "toolkit/UIProgressBar.h"
#include "toolkit/UIScrollFrame.h"
#include "toolkit/UIRazaStaticText.h"
#include "toolkit/UIScrollBar.h"
#include "toolkit/UITextView.h"
#include "win32/testing/ScriptedFileDialogs.h"
#include "win32/user/Menu.h"

#include <string>

// The gallery's window under the headless harness; the display tests (tests/x11/) drive it on a
// real X server.
namespace toolkittest {
namespace {

class UIGalleryTest : public WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        UIFileDialogs::Install();
        gallery = std::make_unique<gallery::Gallery>(100, 80);
        ASSERT_TRUE(harness.PumpUntilIdle());
        UpdateWindow(gallery->GetHandle());
    }
    void TearDown() override
    {
        gallery.reset();
        CXMenu::ReleaseAllMenus();
        CXMessagePostTask::DeleteSingleton();
        UIFileDialogs::Uninstall();
        WindowElementTest::TearDown();
    }

    // Runs the main loop's turns while messages are ready.
    void Turn()
    {
        UIMessageLoop loop;
        MSG message;
        for (int i = 0; i < 1000 && PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); ++i)
            ASSERT_TRUE(loop.Turn());
    }
    POINT Center(UIElement* element)
    {
        Box2i box = element->ConvertBoxToAncestor(element->GetBounds(), gallery->GetWindow());
        POINT point = {(box.left + box.right) / 2, (box.top + box.bottom) / 2};
        ClientToScreen(gallery->GetHandle(), &point);
        return point;
    }
    std::string Status() const { return gallery->GetStatusLabel()->GetText().c_str(); }

    std::unique_ptr<gallery::Gallery> gallery;
};

TEST_F(UIGalleryTest, EveryControlIsMadeAndTheWindowHasItsSizeAndMenuBar)
{
    HWND window = gallery->GetHandle();
    ASSERT_NE(window, nullptr);
    RECT client = {};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, gallery::Gallery::kClientWidth);
    EXPECT_EQ(client.bottom, gallery::Gallery::kClientHeight);
    HMENU bar = GetMenu(window);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetMenuItemCount(bar), 2);

    for (CXUIControl* control : std::initializer_list<CXUIControl*>{
             gallery->GetPushButton(), gallery->GetCheckbox(), gallery->GetPromptButton(), gallery->GetChooserButton(),
             gallery->GetTextField(), gallery->GetPasswordField(), gallery->GetChoiceList(), gallery->GetProgressBar(),
             gallery->GetMarquee(), gallery->GetScrollBar(), gallery->GetTextView()}) {
        ASSERT_NE(control->GetNativeHandle(), nullptr);
        EXPECT_TRUE(IsWindowVisible(control->GetNativeHandle()));
        HWND top = control->GetNativeHandle();
        while (GetParent(top) != nullptr)
            top = GetParent(top);
        EXPECT_EQ(top, window);
    }
    // The text is longer than the view, so the frame shows its bar; the swatch scrolls too.
    EXPECT_GT(gallery->GetTextView()->GetVerticalAxis().GetMaximum(), 0);
    // The frame keeps a 16-pixel margin inside the window, so its bar is on screen.
    const Box2i frame = gallery->GetScrollFrame()->GetFrame();
    EXPECT_EQ(frame.right, client.right - 16);
    EXPECT_EQ(frame.bottom, client.bottom - 16);
    EXPECT_GT(gallery->GetScrollBar()->GetAxis().GetMaximum(), 0);
    EXPECT_EQ(gallery->GetChoiceList()->GetSelectedIndex(), 0);
    EXPECT_TRUE(gallery->GetPasswordField()->IsPasswordField());
}

TEST_F(UIGalleryTest, TheControlsAnswerTheUser)
{
    harness.Click(Center(gallery->GetPushButton()));
    Turn();
    EXPECT_EQ(gallery->GetPushCount(), 1);
    EXPECT_EQ(gallery->GetProgressBar()->GetValue(), 50);
    EXPECT_EQ(Status(), "Pushed 1 times.");

    harness.Click(Center(gallery->GetCheckbox()));
    Turn();
    EXPECT_EQ(Status(), "Checked.");

    harness.Wheel(Center(gallery->GetTextView()), -2);
    Turn();
    EXPECT_GT(gallery->GetTextView()->GetVerticalAxis().GetPosition(), 0);

    // The window keeps itself when told to; otherwise "Close" closes it.
    gallery->SetKeepOpenOnClose(true);
    (void)CXUIWindow::RequestClose(gallery->GetWindow());
    EXPECT_EQ(gallery->GetCloseRequests(), 1);
    EXPECT_NE(gallery->GetWindow(), nullptr);
}

TEST_F(UIGalleryTest, ThePromptSheetAndTheChooserOpenOnDemand)
{
    harness.Click(Center(gallery->GetPromptButton()));
    Turn();
    TextPromptSheet* prompt = gallery->GetPrompt();
    ASSERT_NE(prompt, nullptr);
    EXPECT_FALSE(IsWindowEnabled(gallery->GetHandle()));
    ASSERT_NE(prompt->GetTextField(), nullptr);
    prompt->GetTextField()->SetText("hello");
    prompt->Finish(0);
    Turn();
    EXPECT_EQ(gallery->GetPrompt(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(gallery->GetHandle()));
    EXPECT_EQ(Status(), "Prompt answered: hello");

    win32::testing::ScriptedFileDialogs dialogs;
    dialogs.Choose({"C:/Games/readme.txt"});
    harness.Click(Center(gallery->GetChooserButton()));
    Turn();
    ASSERT_EQ(dialogs.Calls().size(), 1u);
    EXPECT_EQ(Status(), "Chosen: C:/Games/readme.txt");
}

} // namespace
} // namespace toolkittest
