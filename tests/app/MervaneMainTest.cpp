#include "app/MervaneMain.h"

#include "app/MervaneApp.h"
#include "app/MervaneSettings.h"
#include "app/MervaneWindow.h"
#include "foundation/CXDebug.h"
#include "platform/File.h"
#include "toolkit/CXUIWindow.h"
#include "toolkit/TextPromptSheet.h"
#include "toolkit/UIElement.h"
#include "wizard/WizardDriver.h"
#include "wizard/WizardEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using wizard::WizardDriver;
using wizard::WizardEnvironment;

// Every path under the root, relative to it, sorted; empty when the root is gone.
std::vector<std::string> TreeNames(const std::string& root)
{
    std::vector<std::string> names;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error))
        names.push_back(fs::relative(it->path(), root).string());
    std::sort(names.begin(), names.end());
    return names;
}

void WriteFile(const std::string& path, const std::string& text = "x")
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// A window that does not close on "ForceClose" while told to refuse.
class StubbornWindow : public CXUIWindow {
public:
    CXResultCode HandleMessage(const CXMessage& message) override
    {
        if (refuse && message.GetName() == "ForceClose")
            return kCXOK;
        return CXUIWindow::HandleMessage(message);
    }

    bool refuse = true;
};

class MervaneMainTest : public ::testing::Test {
protected:
    // Starts the wizard on the product folder and turns until its first page shows.
    void StartOnProduct(const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> arguments = {"--target", env.Host("product")};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        ASSERT_EQ(driver.Start(arguments), -1);
        ASSERT_TRUE(driver.TurnUntil([this] {
            MervaneWindow* window = driver.MainWindow();
            return window != nullptr && window->IsShown() && window->GetPageIndex() >= 0;
        }));
    }

    WizardEnvironment env;
    WizardDriver driver;
};

TEST_F(MervaneMainTest, AQuitWithWindowsOpenClosesEachSavesTheSettingsAndExitsWithZero)
{
    CXDebugCapture capture;
    StartOnProduct();
    MervaneWindow* window = driver.MainWindow();
    window->GetSettings().userName = "player-one";
    // A second window, so that the loop ends with the main window behind a sheet.
    ASSERT_EQ(Application->HandleMessage(CXMessage("about-app", nullptr)), kCXOK);
    ASSERT_NE(driver.FrontSheet(), nullptr);

    ASSERT_EQ(Application->HandleMessage(CXMessage("CXMenuManager::QuitApplication", nullptr)), kCXOK);
    EXPECT_TRUE(driver.TurnUntil([this] { return driver.LoopEnded(); }));
    ASSERT_NE(driver.MainWindow(), nullptr);
    ASSERT_NE(driver.FrontSheet(), nullptr);

    EXPECT_EQ(driver.Finish(), 0);
    // Both closed before the leak check, the main window saving its target's settings as it went.
    EXPECT_EQ(UIElement::CountLiveElements(), 0u);
    EXPECT_FALSE(capture.Contains("UIElement::DebugCheckLeaks>"));
    EXPECT_EQ(Application, nullptr);
    PatchSettings saved;
    const CXString target = WizardEnvironment::ProgramPath(env.Host("product"));
    ASSERT_EQ(LoadPatchSettings(saved, WizardEnvironment::kBundleId, target), kCXOK);
    EXPECT_STREQ(saved.userName.c_str(), "player-one");
}

TEST_F(MervaneMainTest, AWindowThatSurvivesForceCloseEndsTheWalk)
{
    StartOnProduct();
    auto* stubborn = new StubbornWindow;
    stubborn->Init();
    stubborn->SetVisible(true);
    ASSERT_EQ(CXUIWindow::GetFrontWindow(true), stubborn);

    {
        CXDebugCapture capture;
        CloseAllWindows();
        EXPECT_EQ(capture.Count("CloseAllWindows>"), 1u);
    }
    // The walk stopped at the stubborn window: the main window behind it was never asked.
    EXPECT_EQ(CXUIWindow::GetFrontWindow(true), stubborn);
    EXPECT_NE(driver.MainWindow(), nullptr);

    stubborn->refuse = false;
    EXPECT_EQ(driver.Finish(), 0);
    EXPECT_EQ(UIElement::CountLiveElements(), 0u);
}

TEST_F(MervaneMainTest, WithoutADisplayStartUpSaysWhyInOneLineUndoesItselfAndEndsWithTwo)
{
    CXDebugCapture capture;
    std::vector<std::string> words = {"patch-installer"};
    std::vector<char*> argv = {words[0].data(), nullptr};
    ::testing::internal::CaptureStderr();
    int code = MervaneStartUp(1, argv.data(), [](std::string& problem) {
        problem = "no X display: DISPLAY is not set";
        return false;
    });
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "patch-installer: no X display: DISPLAY is not set\n");
    EXPECT_EQ(code, 2);
    EXPECT_EQ(Application, nullptr);

    // What it started was taken down again: a second start-up in the process meets nothing left.
    ASSERT_EQ(driver.Start(), -1);
    EXPECT_NE(Application, nullptr);
    EXPECT_EQ(driver.Finish(), 0);
    EXPECT_EQ(capture.ErrorCount(), 0u);
}

// --- Self-delete ---

class MervaneSelfDeleteTest : public ::testing::Test {
protected:
    void TearDown() override { Platform::ClearFaults(); }

    // A stand-in installer folder: the executable, a data folder with a tree, and the extra names.
    std::string MakeInstallerFolder(const std::string& name, const std::vector<std::string>& extra)
    {
        std::string folder = env.Host(name);
        WriteFile(folder + "/patch-installer");
        WriteFile(folder + "/data/patch-config.txt");
        WriteFile(folder + "/data/locales/en/texts.txt");
        for (const std::string& entry : extra)
            WriteFile(folder + "/" + entry);
        return folder;
    }

    WizardEnvironment env;
};

TEST_F(MervaneSelfDeleteTest, DeletesOnlyAFolderThatHoldsNothingButTheInstaller)
{
    struct Case {
        const char* name;
        std::vector<std::string> extra;
        bool listingFails;
        bool deletes;
        bool folderStays;
    };
    const Case cases[] = {
        {"a dot file stays, and so does the folder", {".hidden"}, false, true, true},
        {"nothing else: the folder goes too", {}, false, true, false},
        {"one more file: nothing goes", {".hidden", "readme.txt"}, false, false, true},
        {"one more folder: nothing goes", {".hidden", "saves/slot1"}, false, false, true},
        {"the folder cannot be listed: nothing goes", {".hidden"}, true, false, true},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string folder = MakeInstallerFolder("case" + std::to_string(index++), c.extra);
        std::vector<std::string> before = TreeNames(folder);
        if (c.listingFails)
            Platform::ArmFault(Platform::kFaultListDirectory, 1, EACCES);
        bool deleted = SelfDeleteFolder(WizardEnvironment::ProgramPath(folder + "/patch-installer"));
        Platform::ClearFaults();

        EXPECT_EQ(deleted, c.deletes);
        EXPECT_EQ(fs::exists(folder), c.folderStays);
        EXPECT_EQ(TreeNames(folder), c.deletes ? c.extra : before);
    }
}

TEST_F(MervaneSelfDeleteTest, ShutdownDeletesTheInstallerOnlyWhenTheCommandLineAsks)
{
    for (bool asked : {false, true}) {
        SCOPED_TRACE(asked ? "asked" : "not asked");
        std::string folder = MakeInstallerFolder(asked ? "asked" : "kept", {".hidden"});
        std::vector<std::string> before = TreeNames(folder);
        WizardDriver driver;
        const std::vector<std::string> arguments = asked ? std::vector<std::string>{"--selfdeleteonexit"}
                                                         : std::vector<std::string>{};
        ASSERT_EQ(driver.Start(arguments), -1);
        EXPECT_EQ(driver.Finish(WizardEnvironment::ProgramPath(folder + "/patch-installer")), 0);
        EXPECT_EQ(TreeNames(folder), asked ? std::vector<std::string>{".hidden"} : before);
    }
}

} // namespace
