#include "patch/PostInstallActions.h"
#include "patch/UninstallRecord.h"

#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXPath.h"
#include "platform/File.h"
#include "platform/KnownFolders.h"
#include "platform/Shortcut.h"

#include <map>
#include <string>
#include <vector>

namespace {

// The numbered names tried in one folder: "%s.lnk", then "%s (2).lnk" to "%s (10).lnk".
constexpr int kShortcutNameTries = 10;

std::string Host(const CXString& path)
{
    CXString native = CXFileSystem::ToNativePath(path);
    return std::string(native.c_str(), native.length());
}

// True when the shortcut at the path is one whose desktop entry starts the target (a host path).
// The file is whatever someone left there: read with a size bound and parsed strictly, and only
// when it is a plain file (a link is not one this program made, and a FIFO would block).
bool ShortcutLaunches(const std::string& host, const std::string& targetHost)
{
    std::map<std::string, std::string> keys;
    if (Platform::ReadShortcut(host, keys) != 0)
        return false;
    auto exec = keys.find("Exec");
    std::vector<std::string> arguments;
    if (exec == keys.end() || !Platform::SplitExecLine(exec->second, arguments) || arguments.empty())
        return false;
    return arguments[0] == targetHost;
}

// Makes (or finds already made) the shortcut in one folder and records its path. Nothing when
// every name is taken by something else.
void PlaceShortcut(const CXString& folder, const CXString& name, const CXString& linkTarget, std::vector<CXString>& made)
{
    const std::string targetHost = Host(linkTarget);
    for (int n = 1; n <= kShortcutNameTries; ++n) {
        CXString candidate = folder;
        AppendPathComponent(candidate, n == 1 ? CXString::FromFormat("%s.lnk", name.c_str())
                                              : CXString::FromFormat("%s (%d).lnk", name.c_str(), n));
        // The name is the program's ".lnk" path; the platform finds and makes the file behind it.
        const std::string host = Host(candidate);
        if (host.empty())
            return;
        if (!Platform::ShortcutExists(host)) {
            if (CXFileSystem::CreateShortcut(candidate, linkTarget) == kCXOK)
                made.push_back(candidate);
            return;
        }
        // An earlier run's shortcut to the same program is used again, so updates do not pile
        // up numbered copies.
        if (!targetHost.empty() && ShortcutLaunches(host, targetHost)) {
            made.push_back(candidate);
            return;
        }
    }
    CXDebugLog("CreateShortcuts> every name for '%s' is taken in '%s'", name.c_str(), folder.c_str());
}

// A known folder in program form; empty when unknown.
CXString KnownFolder(const std::string& host)
{
    return host.empty() ? CXString() : CXFileSystem::FromNativePath(CXStringArgument(host.data(), host.size()));
}

} // namespace

void CreateShortcuts(PostInstallSource& source)
{
    // After an uninstall there is no program left to point at.
    if (source.IsUninstallMode())
        return;
    CXString name = source.GetShortcutFilename();
    if (name.IsEmpty())
        return;
    SetPathExtension(name, "");
    if (name.IsEmpty() || GetPathLeafName(name).length() != name.length() || name == "." || name == "..") {
        CXDebugLog("CreateShortcuts> '%s' is not a file name", source.GetShortcutFilename().c_str());
        return;
    }
    CXString target = source.GetTargetPath();
    CXString linkTarget = target;
    AppendPathComponent(linkTarget, source.GetPatchAnchorFile());
    NormalizePath(linkTarget);

    std::vector<CXString> made;
    CXString subfolder = source.GetStartMenuShortcutFolder();
    CXString programs = KnownFolder(Platform::ProgramsFolder());
    if (!subfolder.IsEmpty() && !programs.IsEmpty()) {
        CXString folder = programs;
        AppendPathComponent(folder, subfolder);
        NormalizePath(folder);
        if (!IsPathInsideFolder(folder, programs)) {
            CXDebugLog("CreateShortcuts> '%s' is not a folder below the programs folder", subfolder.c_str());
        } else {
            // The folder is the user's: an elevated run must not leave it owned by root.
            (void)CreateFolderPath(folder, true);
            PlaceShortcut(folder, name, linkTarget, made);
        }
    }
    if (source.WantsDesktopShortcut()) {
        CXString desktop = KnownFolder(Platform::DesktopFolder());
        if (!desktop.IsEmpty())
            PlaceShortcut(desktop, name, linkTarget, made);
    }
    if (!made.empty())
        (void)MergeUninstallRecord(UninstallRecordPath(target), made);
}
