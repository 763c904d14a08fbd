#include "MervaneWindowTesting.h"

#include "app/MervaneSettings.h"
#include "foundation/CXDebug.h"
#include "support/WaitFor.h"

#include <pwd.h>
#include <unistd.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace mervanetest {
namespace {

namespace fs = std::filesystem;

const char* const kOnlinePatch = "application-bundle-id org.example.keld\rpatch-anchor-file KELD.exe\r";
const char* const kOfflinePatch = "application-bundle-id org.example.keld\rpatch-control-file control.dat\r";
const char* const kOfflineInstallation =
    "application-bundle-id org.example.keld\rpatch-control-file control.dat\rpatch-is-installation true\r";

// A window whose pages are the stand-ins whatever the index, recording each page it makes.
class InertPagesWindow : public MervaneWindow {
public:
    explicit InertPagesWindow(std::vector<int32_t>* made) : fMade(made) {}

protected:
    MervaneWindowPage* CreatePage(int32_t index) override
    {
        fMade->push_back(index);
        return new MervaneWindowInertPage(this, index);
    }

private:
    std::vector<int32_t>* fMade;
};

MervaneWindowInertPage* InertPage(MervaneWindow* window)
{
    return dynamic_cast<MervaneWindowInertPage*>(window->GetPage());
}

class MervaneNavigationTest : public MervaneWindowTest {
protected:
    // The page posts its step; the loop delivers it to the page, which passes it to the window.
    void StepFromPage(MervaneWindow* window, int32_t step)
    {
        MervaneWindowInertPage* page = InertPage(window);
        ASSERT_NE(page, nullptr);
        page->Step(step);
        Settle();
    }

    static CXResultCode Send(MervaneWindow* window, const char* name)
    {
        return window->HandleMessage(CXMessage(name, window->GetPage()));
    }
};

TEST_F(MervaneNavigationTest, EachModeStepsThroughItsPagesThenCloses)
{
    struct Case {
        const char* what;
        const char* config;
        bool uninstall;
        bool streamSetupOnly;
        std::vector<int32_t> pages;
    };
    const Case cases[] = {
        {"patch", kOnlinePatch, false, false, {1, 2, 3, 4, 5}},
        {"offline patch", kOfflinePatch, false, false, {1, 4, 5}},
        {"offline installation", kOfflineInstallation, false, false, {0, 1, 4, 5}},
        {"uninstall", kOnlinePatch, true, false, {0, 1, 5}},
        {"stream setup only", kOnlinePatch, false, true, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CXUIWindow::ResetProcessStateForTesting();
        LaunchTargetRequested = false;
        UninstallMode = c.uninstall;
        StreamSetupOnly = c.streamSetupOnly;
        TargetPath = "C:/Games/KELD";
        ASSERT_TRUE(Configure(c.config));
        std::vector<int32_t> made;
        CXSafePointer<MervaneWindow> window(OpenWindow<InertPagesWindow>(&made));
        window->GetSettings().streamId = c.what;
        std::vector<int32_t> shown;
        for (int turn = 0; turn < 8 && window; ++turn) {
            shown.push_back(InertPage(window.get())->GetIndex());
            EXPECT_EQ(window->GetPageIndex(), shown.back());
            StepFromPage(window.get(), 1);
        }
        EXPECT_EQ(shown, c.pages);
        EXPECT_EQ(made, c.pages) << "one page made per step, none on the way";
        EXPECT_FALSE(window) << "stepping past the last page closes the window";
        EXPECT_TRUE(CXUIWindow::IsQuitRequested());
        // Closing saved what the wizard chose for the target.
        PatchSettings saved;
        ASSERT_EQ(LoadPatchSettings(saved, "org.example.keld", "C:/Games/KELD"), kCXOK);
        EXPECT_EQ(Str(saved.streamId), c.what);
    }
}

TEST_F(MervaneNavigationTest, BackStepsOnlyWhereAnEarlierPageApplies)
{
    ASSERT_TRUE(Configure(kOfflineInstallation));
    std::vector<int32_t> made;
    MervaneWindow* window = OpenWindow<InertPagesWindow>(&made);
    ASSERT_EQ(window->GetPageIndex(), 0);
    // At the first page "prev-page" goes on to the base, which has nobody to pass it to.
    MervaneWindowPage* first = window->GetPage();
    EXPECT_EQ(Send(window, "prev-page"), kCXNotSupported);
    CXDebugCapture capture;
    StepFromPage(window, -1);
    EXPECT_EQ(window->GetPage(), first);
    EXPECT_EQ(capture.Count("message 'CXMessage{'prev-page'"), 1u) << "nobody took it";

    StepFromPage(window, 1);
    StepFromPage(window, 1);
    ASSERT_EQ(window->GetPageIndex(), 4);
    EXPECT_EQ(Send(window, "prev-page"), kCXOK);
    EXPECT_EQ(window->GetPageIndex(), 1) << "the account and stream pages do not apply offline";
    StepFromPage(window, -1);
    EXPECT_EQ(window->GetPageIndex(), 0);
    EXPECT_EQ(made, (std::vector<int32_t>{0, 1, 4, 1, 0}));
    ForceClose(window);

    // A patch starts at the target page: nothing lies before it, so going back keeps the wizard.
    CXUIWindow::ResetProcessStateForTesting();
    ASSERT_TRUE(Configure(kOnlinePatch));
    made.clear();
    CXSafePointer<MervaneWindow> patch(OpenWindow<InertPagesWindow>(&made));
    ASSERT_EQ(patch->GetPageIndex(), 1);
    capture.Clear();
    StepFromPage(patch.get(), -1);
    EXPECT_EQ(capture.Count("message 'CXMessage{'prev-page'"), 1u);
    ASSERT_TRUE(patch);
    EXPECT_EQ(patch->GetPageIndex(), 1);
    EXPECT_EQ(made, std::vector<int32_t>{1});
    EXPECT_FALSE(CXUIWindow::IsQuitRequested());
}

TEST_F(MervaneNavigationTest, ClosingAsksOnlyOverABusyPage)
{
    ASSERT_TRUE(Configure(kOnlinePatch));
    struct Case {
        const char* what;
        bool busy;
        bool relaunched;
        bool asks;
    };
    const Case cases[] = {
        {"idle page", false, false, false},
        {"busy page", true, false, true},
        {"busy page after an elevated relaunch", true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CXUIWindow::ResetProcessStateForTesting();
        RelaunchedElevated = c.relaunched;
        CXSafePointer<MervaneWindow> window(OpenWindow());
        InertPage(window.get())->SetBusy(c.busy);
        EXPECT_EQ(CXUIWindow::RequestClose(window.get()), c.asks ? kCXCancelled : kCXOK);
        EXPECT_EQ(static_cast<bool>(window), c.asks);
        EXPECT_EQ(FrontSheet() != nullptr, c.asks);
        if (TextPromptSheet* question = FrontSheet())
            ForceClose(question);
        if (window)
            ForceClose(window.get());
        Settle();
    }
}

TEST_F(MervaneNavigationTest, TheQuestionKeepsThePageOrCloses)
{
    ASSERT_TRUE(Configure(kOnlinePatch));
    CXSafePointer<MervaneWindow> window(OpenWindow());
    MervaneWindowInertPage* page = InertPage(window.get());
    page->SetBusy(true);

    // The close box.
    harness.RequestClose(window->GetNativeHandle());
    Settle();
    TextPromptSheet* question = FrontSheet();
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(Str(question->GetMessageText()->GetText()), "Cancel patch attempt and revert changes?");
    EXPECT_EQ(Str(question->GetFirstButton()->GetTitle()), "Quit");
    EXPECT_EQ(Str(question->GetSecondButton()->GetTitle()), "Continue Patching");
    EXPECT_FALSE(win32::IsWindowEnabled(window->GetNativeHandle())) << "the question is modal";

    Press(question->GetSecondButton());
    ASSERT_TRUE(window);
    EXPECT_EQ(window->GetPage(), page);
    EXPECT_TRUE(page->IsBusy());
    EXPECT_EQ(FrontSheet(), nullptr);
    EXPECT_TRUE(win32::IsWindowEnabled(window->GetNativeHandle()));
    EXPECT_FALSE(CXUIWindow::IsQuitRequested());

    harness.RequestClose(window->GetNativeHandle());
    Settle();
    question = FrontSheet();
    ASSERT_NE(question, nullptr);
    Press(question->GetFirstButton());
    EXPECT_FALSE(window);
    EXPECT_EQ(FrontSheet(), nullptr);
    EXPECT_TRUE(CXUIWindow::IsQuitRequested());
}

// The invoking user the launched program runs as: as root, "nobody" (nothing is started as root
// for nobody in particular); otherwise this process's user.
class MervaneLaunchTest : public MervaneNavigationTest {
protected:
    void SetUp() override
    {
        MervaneNavigationTest::SetUp();
        if (geteuid() == 0) {
            const passwd* nobody = getpwnam("nobody");
            if (nobody == nullptr)
                GTEST_SKIP() << "running as root without a 'nobody' user to launch as";
            fSudo.emplace("SUDO_UID", std::to_string(nobody->pw_uid));
            // The program, running as that user, must reach its folder.
            fs::permissions(fScratch.Path(), fs::perms::all);
        } else {
            fSudo.emplace("SUDO_UID", std::nullopt);
        }
    }

    // A target folder with an anchor program that records its arguments and working folder.
    std::string MakeTarget(const std::string& name)
    {
        const std::string folder = fScratch / name;
        fs::create_directories(folder);
        fs::permissions(folder, fs::perms::all);
        WriteFile(name + "/KELD.exe", "#!/bin/sh\n{ echo \"$#\"; pwd; } > \"$0.tmp\"\nmv \"$0.tmp\" \"$0.ran\"\n");
        fs::permissions(folder + "/KELD.exe", fs::perms(0755));
        return folder;
    }

    std::optional<ScopedEnv> fSudo;
};

TEST_F(MervaneLaunchTest, ClosingTheLastWindowStartsTheAnchorWhenAsked)
{
    ASSERT_TRUE(Configure(kOnlinePatch));
    const std::string folder = MakeTarget("keld");
    LaunchTargetRequested = true;
    TargetPath = CXString(ScratchPath("keld").c_str());
    CXSafePointer<MervaneWindow> window(OpenWindow());
    ASSERT_EQ(Str(window->GetTargetPath()), ScratchPath("keld"));
    ForceClose(window.get());
    ASSERT_FALSE(window);

    ASSERT_TRUE(WaitFor([&] { return fs::exists(folder + "/KELD.exe.ran"); }));
    std::ifstream ran(folder + "/KELD.exe.ran");
    std::stringstream lines;
    lines << ran.rdbuf();
    EXPECT_EQ(lines.str(), "0\n" + folder + "\n") << "no arguments, in the target folder";
}

} // namespace
} // namespace mervanetest
