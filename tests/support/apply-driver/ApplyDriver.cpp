// apply-driver: runs one file-patch task to its end, headless, for tests that run whole patches in
// a child process. Not part of the installer.
//
//   apply-driver --control URL --target DIR [--data URL] [--answers yes,no,...] [--kill-after N]
//                [--count-primitives] [--post-install FILE [--no-desktop-shortcut]]
//   apply-driver --uninstall --target DIR [--anchor NAME] [--answers yes,no,...]
//                [--post-install FILE [--no-desktop-shortcut]]
//
// URL is a "file", "http" or "https" address; without --data the default data file is used, then
// the media volumes (CX_APP_FOLDER sets the application folder). Answers go to the questions in
// order ("yes", "no"; a path answers the disc question); past the list everything is answered no.
// With --kill-after N the process kills itself at the Nth file primitive (counted through the
// fault seam). --count-primitives prints how many primitives the run made. Prints each question,
// then "state: <n>", "detail: ..." and "detail2: ..."; exits 0 only when the patch was applied.
//
// --uninstall runs the uninstall task on the target instead (the anchor file's name, relative to
// the target, marks an installation without an uninstall record); exits 0 only when it completed.
// --post-install FILE runs the post-install actions with the values of FILE, a "patch-config.txt"
// (anchor file, installation id, shortcut folder and name, registry edits), once the task has
// completed, as the patch page does: after an apply, or after an uninstall in uninstall mode
// (registry keys deleted, no shortcuts). --no-desktop-shortcut clears the desktop-shortcut flag.

#include "TaskRunner.h"

#include "datanode/DNTranslator.h"
#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXTask.h"
#include "foundation/CXThread.h"
#include "patch/MervaneTask_Uninstall.h"
#include "patch/PostInstallActions.h"
#include "platform/File.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: apply-driver --control URL --target DIR [--data URL] [--answers yes,no,...] [--kill-after N]"
                         " [--count-primitives] [--post-install FILE [--no-desktop-shortcut]]\n"
                         "       apply-driver --uninstall --target DIR [--anchor NAME] [--answers yes,no,...]"
                         " [--post-install FILE [--no-desktop-shortcut]]\n");
    return 2;
}

std::vector<std::string> SplitAnswers(const std::string& text)
{
    std::vector<std::string> answers;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            answers.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return answers;
}

} // namespace

int main(int argc, char** argv)
{
    std::string control, target, data, answers, anchor, postInstall;
    long killAfter = 0;
    bool count = false;
    bool uninstall = false;
    bool desktopShortcut = true;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--count-primitives" || option == "--uninstall" || option == "--no-desktop-shortcut") {
            count = count || option == "--count-primitives";
            uninstall = uninstall || option == "--uninstall";
            desktopShortcut = desktopShortcut && option != "--no-desktop-shortcut";
            continue;
        }
        if (i + 1 >= argc)
            return Usage();
        std::string value = argv[++i];
        if (option == "--control")
            control = value;
        else if (option == "--target")
            target = value;
        else if (option == "--data")
            data = value;
        else if (option == "--answers")
            answers = value;
        else if (option == "--anchor")
            anchor = value;
        else if (option == "--post-install")
            postInstall = value;
        else if (option == "--kill-after")
            killAfter = std::strtol(value.c_str(), nullptr, 10);
        else
            return Usage();
    }
    if (target.empty() || (control.empty() != uninstall))
        return Usage();

    CXDebugSetBreakEnabled(false);
    CXThread::CXInit();
    CXTaskHost::InitCurrentThreadTaskHost();
    DNInitBuiltInTranslators();
    if (killAfter > 0)
        Platform::ArmFaultAction(static_cast<int>(killAfter), Platform::KillProcessAction, nullptr);
    else if (count)
        Platform::ArmFaultAction(0, nullptr, nullptr);

    CXString targetPath = CXFileSystem::FromNativePath(target.c_str());
    PostInstallValues values;
    if (!postInstall.empty() && !values.ReadConfigurationFile(CXFileSystem::FromNativePath(postInstall.c_str()))) {
        std::fprintf(stderr, "apply-driver: cannot read %s\n", postInstall.c_str());
        return 2;
    }
    TaskScript script;
    script.answers = SplitAnswers(answers);
    MervaneTaskStatus status;
    if (uninstall) {
        MervaneTask_Uninstall task;
        task.SetAnchorFile(anchor.empty() ? values.anchorFile : CXString(anchor.c_str()));
        script.proceedAtStart = true;
        status = RunTaskToEnd(task, targetPath, script);
    } else {
        MervaneTask_ApplyFilePatches task;
        task.SetPatchSources(CXURI(control.c_str()), data.empty() ? CXURI() : CXURI(data.c_str()));
        status = RunTaskToEnd(task, targetPath, script);
    }
    if (!postInstall.empty() && status.state == kMervaneTaskComplete) {
        values.targetPath = targetPath;
        values.desktopShortcut = desktopShortcut;
        values.uninstallMode = uninstall;
        RunPostInstallActions(values);
    }
    for (const std::string& line : script.asked)
        std::printf("%s\n", line.c_str());
    std::printf("state: %d\ndetail: %s\ndetail2: %s\n", static_cast<int>(status.state), status.detail.c_str(), status.detail2.c_str());
    if (count)
        std::printf("file primitives: %d\n", Platform::FaultSeamTotalCalls());
    std::fflush(stdout);
    return status.state == kMervaneTaskComplete ? 0 : 1;
}
