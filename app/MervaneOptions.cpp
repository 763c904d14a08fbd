#include "app/MervaneOptions.h"

#include "app/MervaneConfiguration.h"
#include "app/MervaneHeadlessCheck.h"
#include "app/MervaneSettings.h"
#include "app/MervaneWebService.h"
#include "datanode/DNTranslator.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXPath.h"
#include "foundation/CXStringArgument.h"
#include "platform/Process.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int32_t EscalationStage = 0;
CXString TargetPath;
bool StartRequested = false;
bool SelfDeleteRequested = false;
bool StreamSetupOnly = false;
bool LaunchTargetRequested = false;
bool UninstallMode = false;
bool DesktopShortcutWanted = true;
CXString LocaleCode("US");
bool SettingsOverridden = false;

namespace {

CXString StartUpFolder()
{
    std::string host = Platform::CurrentDirectory();
    if (host.empty())
        return CXString();
    return CXFileSystem::FromNativePath(CXStringArgument(host.data(), host.size()));
}

int RunHeadlessCheck(const CXCommandLineArguments& arguments)
{
    if (TargetPath.IsEmpty())
        return kCheckFailed;
    DNValueRef configuration = ReadConfigurationFile();
    CXString anchorFile = ConfigString(configuration.get(), "patch-anchor-file");
    CXString bundleId = ConfigString(configuration.get(), "application-bundle-id");
    PatchSettings settings;
    (void)LoadPatchSettings(settings, bundleId, TargetPath);
    if (arguments.HasArgument("settings")) {
        (void)ParseSettingsOverride(settings, arguments.GetArgument("settings"));
        SettingsOverridden = true;
    }
    return CheckForPatch(WebServiceBaseURL(configuration.get()), anchorFile, bundleId, settings);
}

} // namespace

CXString ResolveTargetPath(const CXString& value, const CXString& startFolder)
{
    if (value.IsEmpty())
        return CXString();
    CXString path = CXFileSystem::FromNativePath(value);
    if (path.IsEmpty())
        return CXString();
    if (!IsAbsolutePath(path) && !startFolder.IsEmpty()) {
        CXString joined = startFolder;
        AppendPathComponent(joined, path);
        path = joined;
    }
    NormalizePath(path);
    return path;
}

void ApplyCommandLineValues(const CXCommandLineArguments& arguments, const CXString& startFolder)
{
    EscalationStage = CXStringArgument(arguments.GetArgument("escalationstage")).ToInt32();
    if (arguments.HasArgument("target"))
        TargetPath = ResolveTargetPath(arguments.GetArgument("target"), startFolder);
    StartRequested = arguments.HasArgument("start");
    SelfDeleteRequested = arguments.HasArgument("selfdeleteonexit");
    StreamSetupOnly = arguments.HasArgument("setstream");
    LaunchTargetRequested = arguments.HasArgument("launchtargetonexit");
    // Set before the headless check, which sends it.
    LocaleCode = arguments.GetArgument("locale");
    if (LocaleCode.IsEmpty())
        LocaleCode = "US";
    else
        LocaleCode.MakeUpper();
    DesktopShortcutWanted = !arguments.HasArgument("no-desktop-shortcut");
    UninstallMode = arguments.HasArgument("uninstall");
}

bool ParseCommandLine(int argc, const char* const* argv)
{
    CXString startFolder = StartUpFolder();
    (void)SetApplicationFolderCurrent();
    DNInitBuiltInTranslators();

    CXCommandLineArguments arguments;
    arguments.SetOptions();
    (void)arguments.ParseArguments(argc, argv);
    ApplyCommandLineValues(arguments, startFolder);

    if (arguments.HasArgument("checkforpatch"))
        ExitProcessNow(RunHeadlessCheck(arguments));

    if (arguments.HasArgument("settings") && !TargetPath.IsEmpty()) {
        CXString bundleId = ConfigString(ReadConfigurationFile().get(), "application-bundle-id");
        PatchSettings settings;
        if (LoadPatchSettings(settings, bundleId, TargetPath) == kCXOK &&
            ParseSettingsOverride(settings, arguments.GetArgument("settings")))
            (void)SavePatchSettings(settings, bundleId, TargetPath);
    }
    return true;
}

void ExitProcessNow(int code)
{
    std::fflush(nullptr);
    std::_Exit(code);
}
