#include "app/MervaneEULASheet.h"

#include "datanode/CXLocalisation.h"
#include "datanode/DNMemoryValue.h"
#include "datanode/DNTranslator.h"
#include "datanode/TextConfig.h"
#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXMessagePost.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "toolkit/GTextData.h"
#include "toolkit/ToolkitWindowTesting.h"
#include "toolkit/UIButton.h"
#include "toolkit/UIMessageLoop.h"
#include "toolkit/UIScrollBar.h"
#include "toolkit/UIScrollFrame.h"
#include "toolkit/UITextView.h"

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

// Boxes read as their edges in failures.
static void PrintTo(const Box2i& box, std::ostream* out)
{
    *out << "{" << box.left << ", " << box.top << ", " << box.right << ", " << box.bottom << (box.empty ? ", empty}" : "}");
}

namespace {

using namespace win32;

std::string Str(const CXString& text)
{
    return std::string(text.c_str(), text.length());
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// The licence sheet over a main window, with a stand-in for the welcome page as its parent that
// records the "eula-agree" it hears. The licence file is "licence.txt" of the data folder.
class MervaneEULASheetTest : public toolkittest::WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        DNInitBuiltInTranslators();
        std::filesystem::create_directories(fScratch / "data");
        DNValueRef texts = DNAdopt<DNValue>(new DNMemoryValue);
        const std::string table = "\"$mervane_eula_filename\" \"licence.txt\"\r";
        TextConfig::ParseText(texts, table.data(), table.size());
        LoadLocalisationTable(texts.get());

        window = MakeWindow({200, 100, 1000, 700, false});
        page = new UIElement;
        window->AddChild(page, nullptr);
        page->Init();
        page->SetLayout(77, 0, 627, 260, 0, 0);
        page->AddMessageHandler([this](const CXMessage& message) -> CXResultCode {
            if (message.GetName() != "eula-agree")
                return kCXNotSupported;
            heard.push_back(message.GetSource() == page ? "eula-agree from the page" : "eula-agree from elsewhere");
            return kCXOK;
        });
        ASSERT_TRUE(harness.PumpUntilIdle());
    }
    void TearDown() override
    {
        if (CXUIWindow* open = window.get())
            open->Destroy();
        CXMessagePostTask::DeleteSingleton();
        ClearLocalisationTable();
        WindowElementTest::TearDown();
    }

    void WriteLicence(const std::string& bytes) { WriteFile(fScratch / "data/licence.txt", bytes); }

    MervaneEULASheet* ShowSheet()
    {
        auto* sheet = new MervaneEULASheet(page);
        sheet->Init();
        sheet->SetVisible(true);
        EXPECT_TRUE(harness.PumpUntilIdle());
        return sheet;
    }

    // A click with the mouse in the middle of the button.
    void Click(UIPushButton* button) { ClickCentre(button->GetNativeHandle()); }

    bool WindowEnabled() const { return IsWindowEnabled(window->GetNativeHandle()) != FALSE; }

    ScratchFolder fScratch;
    ScopedEnv fAppFolder{"CX_APP_FOLDER", fScratch.Path()};
    CXSafePointer<CXUIWindow> window;
    UIElement* page = nullptr;
    std::vector<std::string> heard;
};

TEST_F(MervaneEULASheetTest, AgreeingClosesTheSheetAndThenTellsTheParentOnceDecliningTellsNobody)
{
    struct Case {
        const char* name;
        bool agree;
        std::vector<std::string> heard;
    };
    const Case cases[] = {
        {"agree", true, {"eula-agree from the page"}},
        {"decline", false, {}},
    };
    WriteLicence("Terms.\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CXSafePointer<MervaneEULASheet> sheet(ShowSheet());
        HWND hwnd = sheet->GetNativeHandle();
        EXPECT_FALSE(WindowEnabled()) << "the main window is held while the sheet is open";

        // The button is destroyed with the sheet inside its own click.
        Click(c.agree ? sheet->GetAgreeButton() : sheet->GetDeclineButton());
        EXPECT_FALSE(sheet);
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_TRUE(WindowEnabled());
        EXPECT_TRUE(heard.empty()) << "the answer is posted: it arrives after the sheet has gone";

        DeliverPosted();
        EXPECT_EQ(heard, c.heard);
        heard.clear();
    }
}

TEST_F(MervaneEULASheetTest, AMissingFileGivesAnEmptyTextAndBothButtonsInTheirPlaces)
{
    CXDebugCapture log;
    MervaneEULASheet* sheet = ShowSheet();
    EXPECT_TRUE(log.Contains("ReadLicenceText> cannot open"));
    EXPECT_EQ(Str(sheet->GetTextView()->GetText()), "");

    // Centred over the main window's client area; the text takes all but the button strip.
    EXPECT_EQ(sheet->GetFrame(), (Box2i{350, 150, 850, 650, false}));
    EXPECT_EQ(sheet->GetScrollFrame()->GetFrame(), (Box2i{0, 0, 500, 450, false}));
    for (UIPushButton* button : {sheet->GetAgreeButton(), sheet->GetDeclineButton()}) {
        EXPECT_TRUE(button->IsShown());
        EXPECT_TRUE(IsWindowVisible(button->GetNativeHandle()));
    }
    EXPECT_EQ(sheet->GetAgreeButton()->GetFrame(), (Box2i{418, 463, 487, 487, false}));
    EXPECT_EQ(sheet->GetDeclineButton()->GetFrame(), (Box2i{337, 463, 406, 487, false}));
    sheet->Destroy();
}

TEST_F(MervaneEULASheetTest, CarriageReturnLineFeedsShowNoBlankLines)
{
    WriteLicence("First clause.\r\nSecond clause.\r\n\r\nThird clause.");
    MervaneEULASheet* sheet = ShowSheet();
    UITextView* view = sheet->GetTextView();
    EXPECT_EQ(Str(view->GetText()), "First clause.\nSecond clause.\n\nThird clause.");
    EXPECT_EQ(view->GetDocument()->GetLineCount(), 4);
    sheet->Destroy();
}

TEST_F(MervaneEULASheetTest, TheWheelScrollsALongTextThatTypingCannotChange)
{
    std::string licence;
    for (int i = 1; i <= 60; ++i)
        licence += "Clause " + std::to_string(i) + ".\r\n";
    WriteLicence(licence);
    MervaneEULASheet* sheet = ShowSheet();
    UITextView* view = sheet->GetTextView();
    const std::string shown = Str(view->GetText());
    ASSERT_TRUE(sheet->GetScrollBar()->IsVisible());

    const POINT center = toolkittest::CenterOf(ClientOnScreen(view->GetNativeHandle()));
    harness.Wheel(center, -3);
    DeliverPosted();
    const double position = view->GetVerticalAxis().GetPosition();
    EXPECT_GT(position, 0);
    EXPECT_EQ(sheet->GetScrollBar()->GetAxis().GetPosition(), position);

    view->SetFocus();
    DeliverPosted();
    harness.Type(u"x");
    DeliverPosted();
    EXPECT_EQ(Str(view->GetText()), shown);
    sheet->Destroy();
}

TEST(MervaneLicenceTextTest, JoinsCarriageReturnLineFeedsAndReadsNothingAboveTheLimit)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"CR LF", "a\r\nb\r\n", "a\nb\n"},
        {"blank line", "a\r\n\r\nb", "a\n\nb"},
        {"lone CRs stay", "a\rb\n\r", "a\rb\n\r"},
        {"empty", "", ""},
        {"at the limit", std::string(MervaneEULASheet::kMaximumTextSize - 2, 'x') + "\r\n",
         std::string(MervaneEULASheet::kMaximumTextSize - 2, 'x') + "\n"},
        {"above the limit", std::string(MervaneEULASheet::kMaximumTextSize + 1, 'x'), ""},
    };
    ScratchFolder scratch;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(scratch / "licence.txt", c.bytes);
        CXDebugCapture log;
        const std::string host = scratch / "licence.txt";
        const CXString path = CXFileSystem::FromNativePath(CXStringArgument(host.data(), host.size()));
        const std::string text = Str(ReadLicenceText(path));
        if (c.text.size() > 64)
            EXPECT_TRUE(text == c.text) << "a text of " << text.size() << " bytes";
        else
            EXPECT_EQ(text, c.text);
        EXPECT_EQ(log.Contains("not read"), c.bytes.size() > MervaneEULASheet::kMaximumTextSize);
    }
}

} // namespace
