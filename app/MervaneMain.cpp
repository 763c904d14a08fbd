#include "app/MervaneMain.h"

#include "app/MervaneApp.h"
#include "app/MervaneConfiguration.h"
#include "app/MervaneOptions.h"
#include "datanode/DNTranslator.h"
#include "foundation/CXCrashHandler.h"
#include "foundation/CXDebug.h"
#include "foundation/CXFileFind.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXGenericEventContext.h"
#include "foundation/CXMemory.h"
#include "foundation/CXMessagePost.h"
#include "foundation/CXPath.h"
#include "foundation/CXRandom.h"
#include "foundation/CXSafePointer.h"
#include "foundation/CXTask.h"
#include "foundation/CXThread.h"
#include "foundation/CXWorkerHost.h"
#include "toolkit/CXMenu.h"
#include "toolkit/CXUIWindow.h"
#include "toolkit/UICustomControlGenericNativeAdapter.h"
#include "toolkit/UIElement.h"
#include "toolkit/UIFileDialogs.h"
#include "toolkit/UIMessageLoop.h"
#include "win32/core/Core.h"
#include "win32/user/User.h"

#include <cstdio>

MervaneApp* Application = nullptr;
CXMessageTarget* ApplicationTarget = nullptr;

namespace {

// Registers the main thread with its task host and the framework's process-wide pieces, in the
// order the later ones rely on.
void StartFramework()
{
    SeedRandom();
    CXThread::CXInit();
    CXTaskHost::InitCurrentThreadTaskHost();
    CXAllocatorSet::EnsureDefaultAllocator();
    const win32::INITCOMMONCONTROLSEX classes = {sizeof(win32::INITCOMMONCONTROLSEX),
                                                 win32::ICC_STANDARD_CLASSES | win32::ICC_USEREX_CLASSES};
    (void)win32::InitCommonControlsEx(&classes);
    (void)win32::OleInitialize(nullptr);
}

void StopFramework()
{
    CXTaskHost::ExitCurrentThreadTaskHost();
    CXThread::CXShutdown();
}

// The toolkit's services that the patch engine and the pages rely on: the file dialogs answer the
// engine's requests, and native controls under custom-drawn pages get their adapter.
void InstallToolkitServices()
{
    UIFileDialogs::Install();
    UIAppearanceAdapterGenericNative::Register();
}

void UninstallToolkitServices()
{
    UIAppearanceAdapterGenericNative::Unregister();
    UIFileDialogs::Uninstall();
}

bool BeginsWithDot(const CXString& name)
{
    return name.length() > 0 && name.c_str()[0] == '.';
}

// Whether the folder lists nothing but the executable, "data" and dot names. False when it cannot
// be listed at all.
bool HoldsOnlyTheInstaller(const CXString& folder, const CXString& executableName)
{
    CXFileFind find;
    if (find.Open(folder) != kCXOK) {
        CXDebugLog("SelfDeleteFolder> the folder %s cannot be listed; nothing is deleted", folder.c_str());
        return false;
    }
    for (; find.IsOpen(); find.FindNext()) {
        CXString name = find.GetFileName();
        if (name == executableName || name == "data" || BeginsWithDot(name))
            continue;
        CXDebugLog("SelfDeleteFolder> %s holds other files; nothing is deleted", folder.c_str());
        return false;
    }
    return true;
}

bool IsEmptyFolder(const CXString& folder)
{
    CXFileFind find;
    return find.Open(folder) == kCXOK && !find.IsOpen();
}

} // namespace

MervaneApp* InitApplication()
{
    (void)SetApplicationFolderCurrent();
    DNInitBuiltInTranslators();
    InstallCrashHandler();
    (void)LoadLocales();
    Application = new MervaneApp;
    ApplicationTarget = Application;
    return Application;
}

int MervaneStartUp(int argc, char** argv, const OpenDisplayFunction& openDisplay)
{
    StartFramework();
    (void)ParseCommandLine(argc, argv);

    std::string problem;
    if (!openDisplay(problem)) {
        if (problem.empty())
            problem = "no display to show the installer on";
        std::fprintf(stderr, "patch-installer: %s\n", problem.c_str());
        std::fflush(stderr);
        win32::OleUninitialize();
        StopFramework();
        return 2;
    }
    InstallToolkitServices();
    (void)InitApplication();
    SetApplicationObject(ApplicationTarget);
    return -1;
}

int MervaneShutDown(const CXString& executablePath)
{
    CloseAllWindows();
    SelfDeleteOnExit(executablePath);
    CXUIWindow::DestroyParkingWindow();
    UIElement::DebugCheckLeaks();
    win32::OleUninitialize();
    CXMenu::ReleaseAllMenus();
    CXGenericEventContextManual::DeleteSingleton();
    CXMessagePostTask::DeleteSingleton();
    StopFramework();
    UninstallToolkitServices();
    win32::Shutdown();
    return 0;
}

int MervaneMain(int argc, char** argv, const OpenDisplayFunction& openDisplay)
{
    int code = MervaneStartUp(argc, argv, openDisplay);
    if (code >= 0)
        return code;
    (void)RunMessageLoop();
    return MervaneShutDown(CXFileSystem::GetExecutablePath());
}

void CloseAllWindows()
{
    // A safe pointer, so that a window closed and deleted is never taken for a new one made at the
    // same address.
    CXSafePointer<CXUIWindow> previous;
    while (CXUIWindow* window = CXUIWindow::GetFrontWindow(true)) {
        if (window == previous.get()) {
            CXDebugError("CloseAllWindows> %s is still open after \"ForceClose\"; the windows behind it stay",
                         window->Describe().c_str());
            return;
        }
        previous = window;
        (void)window->HandleMessage(CXMessage("ForceClose", window));
    }
}

void SelfDeleteOnExit(const CXString& executablePath)
{
    SetApplicationObject(nullptr);
    delete Application;
    Application = nullptr;
    ApplicationTarget = nullptr;
    if (SelfDeleteRequested)
        (void)SelfDeleteFolder(executablePath);
    CXWorkerHost::Shutdown();
}

bool SelfDeleteFolder(const CXString& executablePath)
{
    CXString folder = GetParentPath(executablePath);
    CXString executableName = GetPathLeafName(executablePath);
    if (folder.IsEmpty() || executableName.IsEmpty() || !HoldsOnlyTheInstaller(folder, executableName))
        return false;
    CXString dataFolder = folder;
    AppendPathComponent(dataFolder, "data");
    // Failures are not reported: whatever cannot be deleted stays. The running executable's file
    // can go at once, so nothing waits for the next restart.
    if (CXFileSystem::Exists(dataFolder))
        (void)CXFileSystem::DeleteRecursive(dataFolder.c_str());
    (void)CXFileSystem::Delete(executablePath);
    if (IsEmptyFolder(folder))
        (void)CXFileSystem::Delete(folder);
    return true;
}
