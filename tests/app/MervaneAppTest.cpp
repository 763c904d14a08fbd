#include "app/MervaneApp.h"

#include "app/MervaneMain.h"
#include "app/MervaneWindow.h"
#include "app/MervaneWindowPage.h"
#include "foundation/CXDebug.h"
#include "support/ScopedEnv.h"
#include "support/WaitFor.h"
#include "toolkit/CXMenu.h"
#include "toolkit/TextPromptSheet.h"
#include "toolkit/UIButton.h"
#include "toolkit/UIEditTextControl.h"
#include "toolkit/UIRazaStaticText.h"
#include "win32/core/GlobalMemory.h"
#include "win32/user/Clipboard.h"
#include "wizard/WizardDriver.h"
#include "wizard/WizardEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace win32;
using wizard::WizardDriver;
using wizard::WizardEnvironment;

std::string Str(const CXString& text)
{
    return std::string(text.c_str(), text.length());
}

std::u16string ClipboardText()
{
    std::u16string units;
    if (!OpenClipboard(nullptr))
        return u"(not open)";
    auto block = static_cast<HGLOBAL>(GetClipboardData(CF_UNICODETEXT));
    units = block == nullptr ? u"(none)" : static_cast<const char16_t*>(GlobalLock(block));
    (void)CloseClipboard();
    return units;
}

class MervaneAppTest : public ::testing::Test {
protected:
    // Starts the wizard on the product folder and turns until its first page shows.
    void Start(WizardDriver& run)
    {
        ASSERT_EQ(run.Start({"--target", env.Host("product")}), -1);
        ASSERT_TRUE(run.TurnUntil([&run] {
            MervaneWindow* window = run.MainWindow();
            return window != nullptr && window->IsShown() && window->GetPage() != nullptr;
        }));
    }

    static std::string SheetMessage(TextPromptSheet* sheet)
    {
        return sheet != nullptr && sheet->GetMessageText() != nullptr ? Str(sheet->GetMessageText()->GetText()) : "";
    }
    static bool Shows(UIElement* element) { return element != nullptr && element->IsShown(); }

    WizardEnvironment env;
    WizardDriver driver;
};

TEST_F(MervaneAppTest, AboutShowsItsTextWithOneButtonOverTheMainWindow)
{
    Start(driver);
    MervaneWindow* window = driver.MainWindow();
    CXMenu* help = MervaneApp::GetHelpMenu();
    ASSERT_NE(help, nullptr);
    ASSERT_TRUE(help->SelectItem(help->FindItemByTitle("$mervane_menu_about") + 1));

    TextPromptSheet* sheet = driver.FrontSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(SheetMessage(sheet), "$mervane_about");
    EXPECT_EQ(sheet->GetParentElement(), window);
    ASSERT_TRUE(Shows(sheet->GetFirstButton()));
    EXPECT_EQ(Str(sheet->GetFirstButton()->GetTitle()), "OK");
    EXPECT_FALSE(Shows(sheet->GetSecondButton()));
    EXPECT_FALSE(Shows(sheet->GetThirdButton()));

    ASSERT_TRUE(driver.AnswerSheet(0));
    EXPECT_TRUE(driver.TurnUntil([this] { return driver.FrontSheet() == nullptr; }));
    EXPECT_EQ(driver.FrontWindow(), window);
    EXPECT_EQ(driver.Finish(), 0);
}

// The opener that "show-help" starts records what it was given. As root a program is started for
// the invoking user only, so the test names "nobody" as that user and lets it write the record.
class HelpOpenerTest : public MervaneAppTest {
protected:
    void SetUp() override
    {
        // The invoking user must reach the opener and write its record.
        fs::permissions(env.Host("."), fs::perms::all);
        fs::create_directories(Folder());
        fs::permissions(Folder(), fs::perms::all);
        {
            std::ofstream script(Folder() + "/open.sh", std::ios::binary);
            script << "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.out\"\n";
        }
        fs::permissions(Folder() + "/open.sh", fs::perms(0755));
        opener = std::make_unique<ScopedEnv>("CX_OPEN_COMMAND", Folder() + "/open.sh");
        if (IsRoot()) {
            std::optional<std::string> nobody = NobodyUid();
            if (!nobody)
                GTEST_SKIP() << "running as root without a 'nobody' user to open documents as";
            invokingUser = std::make_unique<ScopedEnv>("SUDO_UID", *nobody);
        } else {
            invokingUser = std::make_unique<ScopedEnv>("SUDO_UID", std::nullopt);
        }
    }

    std::string Folder() const { return env.Host("opener"); }
    std::string Record() const { return Folder() + "/open.sh.out"; }

    static bool IsRoot()
    {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("Uid:", 0) == 0) {
                std::istringstream fields(line.substr(4));
                std::string real;
                std::string effective;
                fields >> real >> effective;
                return effective == "0";
            }
        }
        return false;
    }
    static std::optional<std::string> NobodyUid()
    {
        std::ifstream passwd("/etc/passwd");
        for (std::string line; std::getline(passwd, line);) {
            if (line.rfind("nobody:", 0) != 0)
                continue;
            std::istringstream parts(line);
            std::string field;
            for (int i = 0; i < 3 && std::getline(parts, field, ':'); ++i) {
            }
            return field;
        }
        return std::nullopt;
    }

    std::unique_ptr<ScopedEnv> opener;
    std::unique_ptr<ScopedEnv> invokingUser;
};

TEST_F(HelpOpenerTest, ShowHelpOpensTheLocalisedAddressAndNothingWithoutOne)
{
    struct Case {
        const char* name;
        const char* locales;
        const char* opened; // null: nothing is opened
    };
    const Case cases[] = {
        {"the address", "locales {\r en { \"$mervane_help_url\" \"https://help.example/patch?topic=1\" }\r}\r",
         "https://help.example/patch?topic=1"},
        {"no texts: the key is no address", "", nullptr},
        {"an empty text", "locales {\r en { \"$mervane_help_url\" \"\" }\r}\r", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(Record());
        env.WriteConfiguration(WizardEnvironment::MinimalConfiguration() + c.locales);
        WizardDriver run;
        Start(run);
        CXDebugCapture capture;
        CXMenu* help = MervaneApp::GetHelpMenu();
        ASSERT_TRUE(help->SelectItem(help->FindItemByTitle("$mervane_menu_patch_help") + 1));
        if (c.opened != nullptr) {
            ASSERT_TRUE(WaitFor([this] { return fs::exists(Record()); }));
            std::ifstream record(Record(), std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(record), {}), c.opened);
            EXPECT_FALSE(capture.Contains("MervaneApp::ShowHelp>"));
        } else {
            EXPECT_EQ(capture.Count("MervaneApp::ShowHelp> no help address"), 1u);
            EXPECT_FALSE(capture.Contains("CXSystemCall::OpenDocument>"));
            EXPECT_FALSE(fs::exists(Record()));
        }
        EXPECT_EQ(run.Finish(), 0);
    }
}

TEST_F(MervaneAppTest, WithNoFieldFocusedTheEditItemsAreDisabledAndUnknownMessagesAreNotHandled)
{
    Start(driver);
    ASSERT_EQ(dynamic_cast<UIEditTextControl*>(CXUIWindow::GetFocusedElement(driver.MainWindow())), nullptr);
    struct Case {
        CXMenu* menu;
        bool enabled;
    };
    const Case cases[] = {
        {MervaneApp::GetFileMenu(), true},
        {MervaneApp::GetEditMenu(), false},
        {MervaneApp::GetHelpMenu(), true},
    };
    for (const Case& c : cases) {
        ASSERT_NE(c.menu, nullptr);
        c.menu->UpdateAllItemStatus();
        for (int32_t index = 0; index < c.menu->GetItemCount(); ++index) {
            if (c.menu->GetItemCommand(index) != nullptr) {
                EXPECT_EQ(c.menu->IsItemEnabled(index), c.enabled) << Str(c.menu->GetItemTitle(index));
            }
        }
    }
    EXPECT_EQ(Application->HandleMessage(CXMessage("update-command-status", nullptr, "edit-copy")), -11);
    EXPECT_EQ(Application->HandleMessage(CXMessage("no-such-command", nullptr)), kCXNotSupported);
    EXPECT_EQ(driver.Finish(), 0);
}

TEST_F(MervaneAppTest, TheEditCommandsReachTheFocusedField)
{
    Start(driver);
    auto* sheet = new TextPromptSheet(driver.MainWindow());
    sheet->Init();
    sheet->SetEnteredText("copy me");
    sheet->SetVisible(true);
    driver.TurnWhileQueued();
    ASSERT_EQ(CXUIWindow::GetFocusedElement(sheet), sheet->GetTextField());

    driver.Harness().Chord({VK_CONTROL}, 'A');
    driver.Harness().Chord({VK_CONTROL}, 'C');
    driver.TurnWhileQueued();
    EXPECT_EQ(ClipboardText(), u"copy me");

    // The menu items follow the field, and a chosen item acts on it.
    CXMenu* edit = MervaneApp::GetEditMenu();
    edit->UpdateAllItemStatus();
    const int32_t copy = edit->FindItemByTitle("$mervane_menu_copy");
    EXPECT_TRUE(edit->IsItemEnabled(copy));
    EXPECT_TRUE(edit->IsItemEnabled(edit->FindItemByTitle("$mervane_menu_select_all")));
    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    ASSERT_TRUE(CloseClipboard());
    EXPECT_TRUE(edit->SelectItem(copy + 1));
    EXPECT_EQ(ClipboardText(), u"copy me");
    EXPECT_EQ(driver.Finish(), 0);
}

TEST_F(MervaneAppTest, ClosingOverABusyPageAsksFirst)
{
    struct Case {
        const char* name;
        bool closeBox;
    };
    const Case cases[] = {{"Ctrl+W", false}, {"the close box", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WizardDriver run;
        Start(run);
        MervaneWindow* window = run.MainWindow();
        auto* page = dynamic_cast<MervaneWindowInertPage*>(window->GetPage());
        ASSERT_NE(page, nullptr);
        page->SetBusy(true);
        auto askToClose = [&] {
            if (c.closeBox)
                run.Harness().RequestClose(window->GetNativeHandle());
            else
                run.Harness().Chord({VK_CONTROL}, 'W');
            run.TurnWhileQueued();
        };

        askToClose();
        ASSERT_TRUE(run.TurnUntil([&run] { return run.FrontSheet() != nullptr; }));
        EXPECT_EQ(SheetMessage(run.FrontSheet()), "Cancel patch attempt and revert changes?");
        ASSERT_TRUE(run.AnswerSheet(1)); // "Continue Patching"
        EXPECT_TRUE(run.TurnUntil([&run] { return run.FrontSheet() == nullptr; }));
        EXPECT_EQ(run.MainWindow(), window);
        EXPECT_EQ(window->GetPage(), page);

        askToClose();
        ASSERT_TRUE(run.TurnUntil([&run] { return run.FrontSheet() != nullptr; }));
        ASSERT_TRUE(run.AnswerSheet(0)); // "Quit"
        EXPECT_TRUE(run.TurnUntil([&run] { return run.LoopEnded(); }));
        EXPECT_EQ(run.MainWindow(), nullptr);
        EXPECT_EQ(run.Finish(), 0);
    }
}

} // namespace
