#include "app/MervaneWindowWelcomePage.h"

#include "toolkit/ToolkitWindowTesting.h"
#include "app/MervaneConfiguration.h"
#include "app/MervaneOptions.h"
#include "app/MervaneWindow.h"
#include "datanode/CXLocalisation.h"
#include "datanode/DNMemoryValue.h"
#include "datanode/DNTranslator.h"
#include "datanode/TextConfig.h"
#include "foundation/CXMessagePost.h"
#include "patch/PostInstallActions.h"
#include "platform/Registry.h"
#include "support/ScopedDriveMap.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "toolkit/CXMenu.h"
#include "toolkit/UIButton.h"
#include "toolkit/UIMessageLoop.h"
#include "toolkit/UIRazaStaticText.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace win32;

constexpr const char* kUninstallKeys = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// An installation configuration whose registry edits write the uninstall entry's "DisplayName",
// as an installation run leaves it.
const char* const kConfiguration = R"cfg(
window-name "Rivet Setup"
installation-folder-name "Rivet"
installation-id rivet
patch-anchor-file "bin/rivet"
patch-is-installation 1
registry-edits {
  uninstall {
    root HKLM
    path "SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\$(TARGETPATHKEY)"
    type string
    name DisplayName
    value "Rivet Deluxe"
  }
}
)cfg";

const char* const kTexts = "\"$mervane_eula_filename\" \"licence.txt\"\r"
                           "\"$mervane_welcome_install\" \"Welcome to $1. It installs $2.\"\r"
                           "\"$mervane_welcome_uninstall\" \"Remove $1?\"\r";

std::string Str(const CXString& text)
{
    return std::string(text.c_str(), text.length());
}

DNValueRef Parse(const std::string& text)
{
    DNValueRef folder = DNAdopt<DNValue>(new DNMemoryValue);
    TextConfig::ParseText(folder, text.data(), text.size());
    return folder;
}

// The main window on the harness, made from the configuration above, with its welcome page. The
// application, registry, settings and C: folders are scratch folders.
class MervaneWelcomePageTest : public toolkittest::WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        DNInitBuiltInTranslators();
        std::filesystem::create_directories(fScratch / "app/data");
        std::ofstream(fScratch / "app/data/licence.txt") << "Terms.\r\n";
        LoadLocalisationTable(Parse(kTexts).get());
        ConfigTree = Parse(kConfiguration);
        UninstallMode = false;
        LaunchTargetRequested = false;
        TargetPath = CXString();
    }
    void TearDown() override
    {
        if (CXUIWindow* open = window.get())
            (void)open->HandleMessage(CXMessage("ForceClose", open));
        CXMenu::ReleaseAllMenus();
        CXMessagePostTask::DeleteSingleton();
        ClearLocalisationTable();
        ConfigTree = DNValueRef();
        UninstallMode = false;
        LaunchTargetRequested = false;
        WindowElementTest::TearDown();
    }

    // The window made and shown as the application makes it; its welcome page.
    MervaneWindowWelcomePage* OpenWindow()
    {
        auto* made = new MervaneWindow;
        window = made;
        made->Init();
        made->SetVisible(true);
        EXPECT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(made->GetPageIndex(), MervaneWindow::kWelcomePage);
        return dynamic_cast<MervaneWindowWelcomePage*>(made->GetPage());
    }

    void Click(UIPushButton* button)
    {
        HWND hwnd = button->GetNativeHandle();
        ASSERT_NE(hwnd, nullptr);
        RECT client = {};
        GetClientRect(hwnd, &client);
        harness.Click(hwnd, toolkittest::CenterOf(client));
        ASSERT_TRUE(harness.PumpUntilIdle());
    }

    // Loop turns while input is queued, then until every posted message is delivered.
    void DeliverPosted()
    {
        MSG message = {};
        for (int i = 0; i < 200 && PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); ++i)
            ASSERT_TRUE(loop.Turn());
        for (int turns = 0; turns < 20 && CXMessagePost::GetSingleton().GetCount() > 0; ++turns)
            ASSERT_TRUE(loop.Turn());
    }

    MervaneWindow* Window() const { return dynamic_cast<MervaneWindow*>(window.get()); }

    ScratchFolder fScratch;
    ScopedEnv fAppFolder{"CX_APP_FOLDER", fScratch / "app"};
    ScopedEnv fRegistry{"CX_REGISTRY_ROOT", fScratch / "registry"};
    ScopedEnv fAppData{"CX_FOLDER_LOCAL_APPDATA", fScratch / "appdata"};
    ScopedDriveMap fDrives{fScratch / "c"};
    CXSafePointer<CXUIWindow> window;
    UIMessageLoop loop;
};

TEST_F(MervaneWelcomePageTest, InstallingGreetsWithTheTitleAndOnlyAgreeingMovesOn)
{
    MervaneWindowWelcomePage* page = OpenWindow();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Str(page->GetText()->GetText()), "Welcome to Rivet Setup. It installs Rivet.");
    CXSafePointer<MervaneWindowWelcomePage> alive(page);

    // Declining leaves the wizard where it was; the next button asks again.
    Click(page->GetNextButton());
    ASSERT_NE(page->GetSheet(), nullptr);
    EXPECT_EQ(CXUIWindow::GetFrontWindow(false), page->GetSheet());
    Click(page->GetSheet()->GetDeclineButton());
    DeliverPosted();
    EXPECT_EQ(page->GetSheet(), nullptr);
    EXPECT_EQ(Window()->GetPageIndex(), MervaneWindow::kWelcomePage);

    Click(page->GetNextButton());
    ASSERT_NE(page->GetSheet(), nullptr);
    Click(page->GetSheet()->GetAgreeButton());
    EXPECT_EQ(Window()->GetPageIndex(), MervaneWindow::kWelcomePage) << "the step is posted";
    DeliverPosted();
    EXPECT_FALSE(alive);
    EXPECT_EQ(Window()->GetPageIndex(), MervaneWindow::kTargetPage);
}

TEST_F(MervaneWelcomePageTest, UninstallingMovesOnAtOnceWithoutTheSheet)
{
    UninstallMode = true;
    MervaneWindowWelcomePage* page = OpenWindow();
    ASSERT_NE(page, nullptr);
    Click(page->GetNextButton());
    EXPECT_EQ(page->GetSheet(), nullptr);
    EXPECT_EQ(CXUIWindow::GetFrontWindow(false), window.get());
    DeliverPosted();
    EXPECT_EQ(Window()->GetPageIndex(), MervaneWindow::kTargetPage);
}

TEST_F(MervaneWelcomePageTest, UninstallingNamesTheUninstallEntryElseTheFolder)
{
    UninstallMode = true;
    MervaneWindowWelcomePage* page = OpenWindow();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Str(page->GetText()->GetText()), "Remove Rivet?") << "no entry yet";

    // The entry as the installation wrote it, at the key its registry edits name.
    PostInstallValues installation;
    installation.targetPath = Window()->GetTargetPath();
    installation.installationId = Window()->GetInstallationId();
    installation.registryEdits = Window()->GetRegistryEdits();
    ApplyRegistryEdits(installation);
    std::vector<std::string> keys;
    ASSERT_EQ(Platform::ListRegistrySubkeys(Platform::kRegistryLocalMachine, kUninstallKeys, keys), 0);
    ASSERT_EQ(keys.size(), 1u);
    const std::string key = std::string(kUninstallKeys) + "\\" + keys[0];
    EXPECT_EQ(Str(page->MakeWelcomeText()), "Remove Rivet Deluxe?");

    struct Case {
        const char* name;
        Platform::RegistryValue value;
        std::string text;
    };
    std::string accented;
    for (int i = 0; i < 255; ++i)
        accented += "\xC3\xA9";
    const Case cases[] = {
        {"255 units fit", Platform::RegistryValue::String(std::string(255, 'n')), "Remove " + std::string(255, 'n') + "?"},
        {"256 units do not", Platform::RegistryValue::String(std::string(256, 'n')), "Remove Rivet?"},
        {"units, not bytes, count", Platform::RegistryValue::String(accented), "Remove " + accented + "?"},
        {"an empty name", Platform::RegistryValue::String(""), "Remove Rivet?"},
        {"a number is no name", Platform::RegistryValue::Dword(7), "Remove Rivet?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Platform::SetRegistryValue(Platform::kRegistryLocalMachine, key, "DisplayName", c.value), 0);
        EXPECT_EQ(Str(page->MakeWelcomeText()), c.text);
    }
}

TEST_F(MervaneWelcomePageTest, ClosingTheWindowWithTheSheetOpenTakesTheSheetAlong)
{
    MervaneWindowWelcomePage* page = OpenWindow();
    ASSERT_NE(page, nullptr);
    Click(page->GetNextButton());
    CXSafePointer<MervaneEULASheet> sheet(page->GetSheet());
    ASSERT_TRUE(sheet);
    (void)window->HandleMessage(CXMessage("ForceClose", window.get()));
    EXPECT_FALSE(window);
    EXPECT_FALSE(sheet);
    EXPECT_EQ(CXUIWindow::GetFrontWindow(true), nullptr);
}

} // namespace
