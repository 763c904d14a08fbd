#include "toolkit/UIFileDialogs.h"

#include "ToolkitWindowTesting.h"
#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXWorkerHost.h"
#include "patch/CXFileNavOpen.h"
#include "patch/MervaneTask_ApplyFilePatches.h"
#include "support/ScratchFolder.h"
#include "win32/services/BuiltInFileChooser.h"
#include "win32/testing/ScriptedFileDialogs.h"

#include <fstream>

#include <memory>

namespace toolkittest {
namespace {

using win32::testing::ScriptedFileDialogs;

std::string Text(const CXString& text)
{
    return std::string(text.c_str(), text.length());
}

std::vector<std::string> Texts(const std::vector<CXString>& texts)
{
    std::vector<std::string> out;
    for (const CXString& text : texts)
        out.push_back(Text(text));
    return out;
}

class UIFileDialogsTest : public WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        UIFileDialogs::Install();
    }
    void TearDown() override
    {
        UIFileDialogs::Uninstall();
        WindowElementTest::TearDown();
    }

    // Runs a files request for the patterns and returns what it chose.
    std::vector<std::string> OpenFiles(std::vector<CXString> patterns = {}, bool multiple = true)
    {
        CXFileNavOpen dialog;
        dialog.filters = std::move(patterns);
        dialog.allowMultiple = multiple;
        dialog.Exec();
        return Texts(dialog.GetPaths());
    }

    ScriptedFileDialogs dialogs;
    CXDebugCapture capture;
};

TEST_F(UIFileDialogsTest, TheRequestCarriesTheDialogsOptions)
{
    ScratchFolder scratch;
    CXString start = CXFileSystem::FromNativePath(scratch.Path().c_str());
    struct Case {
        const char* name;
        std::vector<CXString> patterns;
        const char* title;
        bool multiple;
        bool keepShortcuts;
        const char* shownTitle;
        const char* description;
        const char* patternText;
    };
    const Case cases[] = {
        {"no patterns: all files", {}, "", false, false, "Open", "All Files", ""},
        {"one pattern", {"*.bin"}, "Please insert disc 2.", false, true, "Please insert disc 2.", "*.bin", "*.bin"},
        {"two patterns", {"*.bin", "*.TXT"}, "", true, false, "Open", "*.bin, *.TXT", "*.bin;*.TXT"},
        {"UTF-8 kept as it is", {"Donn\xC3\xA9" "es*.dat", "*.b"}, "\xC3\x89tape", true, true, "\xC3\x89tape",
         "Donn\xC3\xA9" "es*.dat, *.b", "Donn\xC3\xA9" "es*.dat;*.b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CXFileNavOpen dialog;
        dialog.title = c.title;
        dialog.filters = c.patterns;
        dialog.allowMultiple = c.multiple;
        dialog.keepShortcuts = c.keepShortcuts;
        dialog.SetInitialFolder(start);
        dialog.Exec();
        ASSERT_FALSE(dialogs.Calls().empty());
        const ScriptedFileDialogs::Call& call = dialogs.Calls().back();
        EXPECT_EQ(call.kind, ScriptedFileDialogs::Kind::Files);
        EXPECT_EQ(call.request.owner, nullptr); // no window
        EXPECT_EQ(call.request.title, c.shownTitle);
        EXPECT_EQ(call.request.description, c.description);
        EXPECT_EQ(call.request.patterns, c.patternText);
        EXPECT_EQ(call.request.startFolder, scratch.Path()); // the host form
        EXPECT_EQ(call.request.multiple, c.multiple);
        EXPECT_EQ(call.request.keepShortcuts, c.keepShortcuts);
    }

    // A request without a start folder leaves the dialog at its own default.
    CXFileNavOpen bare;
    bare.Exec();
    EXPECT_EQ(dialogs.Calls().back().request.startFolder, "");
}

TEST_F(UIFileDialogsTest, EveryChosenFileComesBackInProgramForm)
{
    dialogs.Choose({"/media/disc/DISC.BIN", "/media/disc/Donn\xC3\xA9" "es.bin"});
    EXPECT_EQ(OpenFiles({"*.bin"}), (std::vector<std::string>{"Z:/media/disc/DISC.BIN", "Z:/media/disc/Donn\xC3\xA9" "es.bin"}));

    // However long the list of names, all of them come back.
    std::vector<std::string> many;
    std::vector<std::string> expected;
    for (int i = 0; i < 600; ++i) {
        std::string name = "a-rather-long-volume-name-" + std::to_string(i) + ".bin";
        many.push_back("/media/disc/" + name);
        expected.push_back("Z:/media/disc/" + name);
    }
    dialogs.Choose(many);
    EXPECT_EQ(OpenFiles(), expected);
    EXPECT_FALSE(capture.Contains("UIFileDialogs"));
}

TEST_F(UIFileDialogsTest, CancelAndFailureChooseNothing)
{
    CXFileNavOpen dialog;
    dialog.allowMultiple = true;
    dialogs.Choose({"/media/disc/one.bin", "/media/disc/two.bin"});
    dialog.Exec();
    ASSERT_EQ(dialog.GetPaths().size(), 2u);

    // Each Exec forgets the last one's paths, whatever it ends with.
    dialogs.Cancel();
    dialog.Exec();
    EXPECT_TRUE(dialog.GetPaths().empty());
    EXPECT_EQ(Text(dialog.GetPath()), "");
    EXPECT_FALSE(capture.Contains("failed"));

    dialogs.Choose({"/media/disc/one.bin"});
    dialog.Exec();
    ASSERT_EQ(dialog.GetPaths().size(), 1u);
    dialogs.Answer(win32::kFileDialogFailed);
    dialog.Exec();
    EXPECT_TRUE(dialog.GetPaths().empty());
    // With nothing scripted the double fails too.
    dialog.Exec();
    EXPECT_TRUE(dialog.GetPaths().empty());
    ASSERT_EQ(dialogs.Calls().size(), 5u);
    EXPECT_EQ(dialogs.Calls().back().result, win32::kFileDialogFailed);
    EXPECT_EQ(capture.Count("UIFileDialogs::Answer> the dialog 'Open' failed"), 2u);
}

TEST_F(UIFileDialogsTest, AFolderRequestPicksOneFolder)
{
    struct Case {
        const char* name;
        bool chooseFiles;
        int result;
        std::vector<std::string> answer;
        std::vector<std::string> chosen;
    };
    const Case cases[] = {
        {"chosen", false, win32::kFileDialogChosen, {"/media/disc"}, {"Z:/media/disc"}},
        {"files too: the folder wins", true, win32::kFileDialogChosen, {"/media/disc/"}, {"Z:/media/disc/"}},
        {"cancelled", false, win32::kFileDialogCancelled, {}, {}},
        {"failed", false, win32::kFileDialogFailed, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CXFileNavOpen dialog;
        dialog.chooseFolders = true;
        dialog.chooseFiles = c.chooseFiles;
        dialog.filters = {"*.bin"};
        dialogs.Answer(c.result, c.answer);
        dialog.Exec();
        EXPECT_EQ(Texts(dialog.GetPaths()), c.chosen);
        const ScriptedFileDialogs::Call& call = dialogs.Calls().back();
        EXPECT_EQ(call.kind, ScriptedFileDialogs::Kind::Folder);
        EXPECT_EQ(call.result, c.result);
        EXPECT_EQ(call.request.title, "Select a Folder");
    }
}

// The dialog belongs to the front window, which it holds disabled through the modal count while
// it runs: neither a hidden window in front of it nor the parking window is taken.
TEST_F(UIFileDialogsTest, TheFrontWindowOwnsTheDialogAndIsDisabledMeanwhile)
{
    CXUIWindow* back = MakeWindow({100, 100, 300, 300, false});
    CXUIWindow* front = MakeWindow({400, 100, 600, 300, false});
    CXUIWindow* hidden = MakeWindow({100, 400, 300, 600, false}, false);
    ASSERT_NE(CXUIWindow::EnsureParkingWindow(), nullptr);
    harness.PumpUntilIdle();
    ASSERT_EQ(CXUIWindow::GetFrontWindow(false), front);

    int calls = 0;
    dialogs.duringCall = [&](const win32::FileDialogRequest& request) {
        ++calls;
        EXPECT_EQ(request.owner, front->GetNativeHandle());
        EXPECT_EQ(front->GetModalDisableCount(), 1);
        EXPECT_FALSE(IsWindowEnabled(front->GetNativeHandle()));
        EXPECT_TRUE(IsWindowEnabled(back->GetNativeHandle()));
    };
    dialogs.Choose({"/media/disc/DISC.BIN"});
    EXPECT_EQ(OpenFiles(), std::vector<std::string>{"Z:/media/disc/DISC.BIN"});
    dialogs.Cancel();
    EXPECT_EQ(OpenFiles(), std::vector<std::string>{});
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(front->GetModalDisableCount(), 0);
    EXPECT_TRUE(IsWindowEnabled(front->GetNativeHandle()));

    // The owner destroyed while the dialog runs: its answer still comes back.
    dialogs.duringCall = [&](const win32::FileDialogRequest&) { front->Destroy(); };
    dialogs.Choose({"/media/disc/DISC.BIN"});
    EXPECT_EQ(OpenFiles(), std::vector<std::string>{"Z:/media/disc/DISC.BIN"});
    back->Destroy();
    hidden->Destroy();
}

// The disc question is asked from a main-thread job, inside a task pass.
TEST_F(UIFileDialogsTest, TheDiscQuestionAsksThroughTheService)
{
    ScratchFolder scratch;
    CXUIWindow* window = MakeWindow();
    dialogs.duringCall = [&](const win32::FileDialogRequest&) { EXPECT_FALSE(IsWindowEnabled(window->GetNativeHandle())); };
    dialogs.Choose({scratch / "DISC2.BIN"});
    auto answer = std::make_shared<CXString>();
    CXString folder = CXFileSystem::FromNativePath(scratch.Path().c_str());
    CXWorkerHost::GetSingleton()->PostMainThreadJob(answer.get(), [answer, folder] {
        MervaneTask_ApplyFilePatches::PromptForPatchVolume(answer, folder, 1);
    });
    CXTaskHost::GetCurrentThreadTaskHost()->IdleTasks();
    CXWorkerHost::Shutdown();

    ASSERT_EQ(dialogs.Calls().size(), 1u);
    const win32::FileDialogRequest& request = dialogs.Calls()[0].request;
    EXPECT_EQ(request.owner, window->GetNativeHandle());
    EXPECT_EQ(request.title, "Please insert disc 2.");
    EXPECT_EQ(request.description, "*.bin");
    EXPECT_EQ(request.patterns, "*.bin");
    EXPECT_EQ(request.startFolder, scratch.Path());
    EXPECT_FALSE(request.multiple);
    EXPECT_EQ(Text(*answer), Text(CXFileSystem::FromNativePath((scratch / "DISC2.BIN").c_str())));
    EXPECT_TRUE(IsWindowEnabled(window->GetNativeHandle()));
    window->Destroy();
}

// The built-in chooser asked from inside a task pass (the disc question's case) runs its own loop
// without starting another pass: a job posted meanwhile waits until the dialog has ended, and no
// nested pass is attempted.
TEST_F(UIFileDialogsTest, TheBuiltInChooserRunsInsideATaskPassWithoutAnotherPass)
{
    ScratchFolder scratch;
    std::ofstream(scratch / "DISC2.BIN") << "x";
    CXUIWindow* window = MakeWindow();
    win32::FileDialogService* scripted = win32::SetFileDialogService(nullptr);

    bool laterJobRan = false;
    bool laterJobRanDuringDialog = false;
    auto answer = std::make_shared<CXString>();
    CXString folder = CXFileSystem::FromNativePath(scratch.Path().c_str());
    CXWorkerHost::GetSingleton()->PostMainThreadJob(answer.get(), [answer, folder, &laterJobRan] {
        CXWorkerHost::GetSingleton()->PostMainThreadJob(&laterJobRan, [&laterJobRan] { laterJobRan = true; });
        MervaneTask_ApplyFilePatches::PromptForPatchVolume(answer, folder, 1);
    });
    harness.AddStep([&] {
        laterJobRanDuringDialog = laterJobRan;
        HWND chooser = win32::GetActiveWindow();
        HWND field = win32::GetWindow(chooser, win32::GW_CHILD);
        while (field != nullptr && win32::GetWindowLongPtrW(field, win32::GWLP_ID) != win32::BuiltInFileChooser::kPathFieldId)
            field = win32::GetWindow(field, win32::GW_HWNDNEXT);
        ASSERT_NE(field, nullptr);
        harness.Click(field, {5, 5});
        harness.Type(u"DISC2.BIN");
        harness.KeyDown(win32::VK_RETURN);
        harness.KeyUp(win32::VK_RETURN);
    });
    CXTaskHost::GetCurrentThreadTaskHost()->IdleTasks();
    CXWorkerHost::Shutdown();
    win32::SetFileDialogService(scripted);

    EXPECT_FALSE(laterJobRanDuringDialog);
    EXPECT_TRUE(laterJobRan);
    EXPECT_EQ(capture.Count("reentrance attempted"), 0u);
    EXPECT_EQ(Text(*answer), Text(CXFileSystem::FromNativePath((scratch / "DISC2.BIN").c_str())));
    EXPECT_TRUE(IsWindowEnabled(window->GetNativeHandle()));
    window->Destroy();
}

} // namespace
} // namespace toolkittest
