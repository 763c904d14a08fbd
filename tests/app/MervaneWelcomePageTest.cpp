#include "MervaneWindowTesting.h"

#include "app/MervaneWindowWelcomePage.h"
#include "datanode/CXLocalisation.h"
#include "patch/PostInstallActions.h"
#include "platform/Registry.h"

#include <string>
#include <vector>

namespace mervanetest {
namespace {

constexpr const char* kUninstallKeys = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// An installation whose registry edits write the uninstall entry's "DisplayName", as an
// installation run leaves it, with the texts of the welcome page and the licence file's name.
const char* const kConfiguration = R"cfg(
window-name "Rivet Setup"
installation-folder-name "Rivet"
installation-id rivet
patch-anchor-file "bin/rivet"
patch-is-installation true
registry-edits {
  uninstall {
    root HKLM
    path "SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\$(TARGETPATHKEY)"
    type string
    name DisplayName
    value "Rivet Deluxe"
  }
}
locales {
  en {
    "$mervane_eula_filename" "licence.txt"
    "$mervane_welcome_install" "Welcome to $1. It installs $2."
    "$mervane_welcome_uninstall" "Remove $1?"
  }
}
)cfg";

// The main window of that installation with its welcome page; "licence.txt" in the data folder.
class MervaneWelcomePageTest : public MervaneWindowTest {
protected:
    void SetUp() override
    {
        MervaneWindowTest::SetUp();
        WriteFile("app/data/licence.txt", "Terms.\r\n");
        ASSERT_TRUE(Configure(kConfiguration));
    }
    void TearDown() override
    {
        MervaneWindowTest::TearDown();
        ClearLocalisationTable();
    }

    // The window made and shown as the application makes it; its first page.
    MervaneWindowWelcomePage* OpenWelcomePage()
    {
        window = OpenWindow();
        Settle();
        EXPECT_EQ(window->GetPageIndex(), MervaneWindow::kWelcomePage);
        return dynamic_cast<MervaneWindowWelcomePage*>(window->GetPage());
    }

    CXSafePointer<MervaneWindow> window;
};

TEST_F(MervaneWelcomePageTest, InstallingGreetsWithTheTitleAndOnlyAgreeingMovesOn)
{
    MervaneWindowWelcomePage* page = OpenWelcomePage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Str(page->GetText()->GetText()), "Welcome to Rivet Setup. It installs Rivet.");
    CXSafePointer<MervaneWindowWelcomePage> alive(page);

    // Declining leaves the wizard where it was; the next button asks again.
    Press(page->GetNextButton());
    ASSERT_NE(page->GetSheet(), nullptr);
    EXPECT_EQ(CXUIWindow::GetFrontWindow(false), page->GetSheet());
    Press(page->GetSheet()->GetDeclineButton());
    EXPECT_EQ(page->GetSheet(), nullptr);
    EXPECT_EQ(window->GetPageIndex(), MervaneWindow::kWelcomePage);

    Press(page->GetNextButton());
    ASSERT_NE(page->GetSheet(), nullptr);
    Press(page->GetSheet()->GetAgreeButton());
    EXPECT_FALSE(alive);
    EXPECT_EQ(window->GetPageIndex(), MervaneWindow::kTargetPage);
}

TEST_F(MervaneWelcomePageTest, UninstallingMovesOnAtOnceWithoutTheSheet)
{
    UninstallMode = true;
    MervaneWindowWelcomePage* page = OpenWelcomePage();
    ASSERT_NE(page, nullptr);
    CXSafePointer<MervaneWindowWelcomePage> alive(page);
    Press(page->GetNextButton());
    EXPECT_EQ(CXUIWindow::GetFrontWindow(false), window.get()) << "no sheet";
    EXPECT_FALSE(alive);
    EXPECT_EQ(window->GetPageIndex(), MervaneWindow::kTargetPage);
}

TEST_F(MervaneWelcomePageTest, UninstallingNamesTheUninstallEntryElseTheFolder)
{
    UninstallMode = true;
    MervaneWindowWelcomePage* page = OpenWelcomePage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Str(page->GetText()->GetText()), "Remove Rivet?") << "no entry yet";

    // The entry as the installation wrote it, at the key its registry edits name.
    PostInstallValues installation;
    installation.targetPath = window->GetTargetPath();
    installation.installationId = window->GetInstallationId();
    installation.registryEdits = window->GetRegistryEdits();
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
    MervaneWindowWelcomePage* page = OpenWelcomePage();
    ASSERT_NE(page, nullptr);
    Press(page->GetNextButton());
    CXSafePointer<MervaneEULASheet> sheet(page->GetSheet());
    ASSERT_TRUE(sheet);
    ForceClose(window.get());
    EXPECT_FALSE(window);
    EXPECT_FALSE(sheet);
    EXPECT_EQ(CXUIWindow::GetFrontWindow(true), nullptr);
}

} // namespace
} // namespace mervanetest
