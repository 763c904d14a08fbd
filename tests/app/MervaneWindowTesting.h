#pragma once

// A fixture for the main window on the layer's harness: the application, local application-data,
// registry and C: folders in a scratch folder, the process-wide option values at their start-up
// defaults, a configuration written to the data folder, and the help to press a prompt sheet's
// buttons and to let posted messages arrive.

#include "app/MervaneConfiguration.h"
#include "app/MervaneOptions.h"
#include "app/MervaneWindow.h"
#include "app/MervaneWindowPage.h"
#include "datanode/DNTranslator.h"
#include "foundation/CXMessagePost.h"
#include "support/ScopedDriveMap.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "toolkit/CXMenu.h"
#include "toolkit/TextPromptSheet.h"
#include "toolkit/ToolkitWindowTesting.h"
#include "toolkit/UIButton.h"
#include "toolkit/UIRazaStaticText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace mervanetest {

inline std::string Str(const CXString& s)
{
    return std::string(s.c_str(), s.length());
}

class MervaneWindowTest : public toolkittest::WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        for (const char* folder : {"app/data", "c", "appdata", "registry"})
            std::filesystem::create_directories(fScratch / folder);
        DNInitBuiltInTranslators();
        TargetPath.Clear();
        StartRequested = false;
        SelfDeleteRequested = false;
        StreamSetupOnly = false;
        LaunchTargetRequested = false;
        UninstallMode = false;
        DesktopShortcutWanted = true;
        RelaunchedElevated = false;
        ConfigTree.Clear();
    }
    void TearDown() override
    {
        // Every window gets "ForceClose" until none is left, as the program's shutdown does.
        while (CXUIWindow* window = CXUIWindow::GetFrontWindow(true)) {
            ForceClose(window);
            if (CXUIWindow::GetFrontWindow(true) == window)
                break;
        }
        CXMessagePostTask::DeleteSingleton();
        CXMenu::ReleaseAllMenus();
        ConfigTree.Clear();
        WindowElementTest::TearDown();
    }

    // What the program's shutdown sends every window: it closes whatever it shows.
    static void ForceClose(CXUIWindow* window) { EXPECT_EQ(window->HandleMessage(CXMessage("ForceClose", window)), kCXOK); }

    // Writes "patch-config.txt" and loads it as start-up does; LoadLocales's result.
    bool Configure(const std::string& text)
    {
        std::ofstream(fScratch / "app/data/patch-config.txt", std::ios::binary) << text;
        return LoadLocales();
    }
    void WriteFile(const std::string& relative, const std::string& bytes)
    {
        std::filesystem::create_directories(std::filesystem::path(fScratch / relative).parent_path());
        std::ofstream(fScratch / relative, std::ios::binary) << bytes;
    }
    // The program form of a path in the scratch folder.
    std::string ScratchPath(const std::string& relative) const { return "Z:" + fScratch / relative; }

    // A window made, initialised and shown as the application object does it.
    template <class Window = MervaneWindow, class... Arguments>
    Window* OpenWindow(Arguments&&... arguments)
    {
        auto* window = new Window(std::forward<Arguments>(arguments)...);
        window->Init();
        window->SetVisible(true);
        return window;
    }

    // Input dispatched, then posted messages delivered (those their handlers post too), until
    // nothing is left.
    void Settle()
    {
        for (int round = 0; round < 100; ++round) {
            ASSERT_TRUE(harness.PumpUntilIdle());
            if (CXMessagePost::GetSingleton().GetCount() == 0)
                return;
            while (CXMessagePost::GetSingleton().Update()) {
            }
        }
        FAIL() << "posted messages kept coming";
    }

    // The prompt sheet in front, or null.
    static TextPromptSheet* FrontSheet() { return dynamic_cast<TextPromptSheet*>(CXUIWindow::GetFrontWindow(false)); }

    // A mouse click on the button, then everything it set off.
    void Press(UIPushButton* button)
    {
        ASSERT_NE(button, nullptr);
        win32::HWND hwnd = button->GetNativeHandle();
        ASSERT_NE(hwnd, nullptr);
        win32::RECT client = {};
        win32::GetClientRect(hwnd, &client);
        harness.Click(hwnd, toolkittest::CenterOf(client));
        Settle();
    }

    static int32_t InertIndex(MervaneWindow* window)
    {
        auto* page = dynamic_cast<MervaneWindowInertPage*>(window->GetPage());
        return page != nullptr ? page->GetIndex() : -1;
    }

    ScratchFolder fScratch;
    ScopedDriveMap fDrives{fScratch / "c"};
    ScopedEnv fAppFolder{"CX_APP_FOLDER", fScratch / "app"};
    ScopedEnv fAppData{"CX_FOLDER_LOCAL_APPDATA", fScratch / "appdata"};
    ScopedEnv fRegistry{"CX_REGISTRY_ROOT", fScratch / "registry"};
    ScopedEnv fNotElevated{"PKEXEC_UID", std::nullopt};
};

} // namespace mervanetest
