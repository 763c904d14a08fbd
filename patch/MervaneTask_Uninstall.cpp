#include "patch/MervaneTask_Uninstall.h"

#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXPath.h"
#include "patch/UninstallRecord.h"
#include "platform/DriveMap.h"
#include "platform/Environment.h"
#include "platform/File.h"
#include "platform/KnownFolders.h"
#include "platform/Registry.h"
#include "platform/Shortcut.h"

#include <atomic>
#include <string>
#include <vector>

namespace {

std::atomic<uint32_t> gAnswerPollMilliseconds{100};

std::string Host(const CXString& path)
{
    CXString native = CXFileSystem::ToNativePath(path);
    return std::string(native.c_str(), native.length());
}

std::string Lexical(const std::string& host)
{
    if (host.empty() || host[0] != '/')
        return std::string();
    std::string path = Platform::LexicalHostPath(host);
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// folder is path, or holds it.
bool IsOrHolds(const std::string& folder, const std::string& path)
{
    if (path.empty())
        return false;
    if (folder == "/")
        return true;
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              path[folder.size()] == '/');
}

// The host's own folders, and the ones an installation never is at their top.
bool IsSystemFolder(const std::string& host)
{
    static const char* const kSystemTops[] = {"bin", "boot", "dev", "etc", "lib", "lib32", "lib64", "libx32", "proc",
                                              "root", "run", "sbin", "snap", "srv", "sys", "usr", "var"};
    std::vector<std::string> parts;
    for (size_t start = 1; start <= host.size();) {
        size_t slash = host.find('/', start);
        if (slash == std::string::npos)
            slash = host.size();
        parts.push_back(host.substr(start, slash - start));
        start = slash + 1;
    }
    if (parts.size() <= 1)
        return true;
    if (parts.size() == 2) {
        for (const char* top : kSystemTops) {
            if (parts[0] == top)
                return true;
        }
    }
    return parts.size() == 3 && parts[0] == "usr" && parts[1] == "local";
}

// A regular file is at the program path (a link is not followed).
bool HoldsFile(const CXString& path)
{
    Platform::FileInfo info;
    std::string host = Host(path);
    return !host.empty() && Platform::LinkStatPath(host, info) == 0 && info.isFile && !info.isLink;
}

} // namespace

MervaneTask_Uninstall::MervaneTask_Uninstall()
    : CXThread("MervaneTask_Uninstall")
{
}

MervaneTask_Uninstall::~MervaneTask_Uninstall()
{
    if (IsRunning())
        RequestStop();
    fAnswerEvent.Set();
    StopAndWait();
}

void MervaneTask_Uninstall::SetAnswerPollForTesting(uint32_t milliseconds)
{
    gAnswerPollMilliseconds = milliseconds;
}

bool MervaneTask_Uninstall::Start(const CXString& targetPath)
{
    if (IsRunning())
        return false;
    fTargetPath = targetPath;
    return true;
}

void MervaneTask_Uninstall::Proceed()
{
    if (IsRunning()) {
        CXDebugLog("MervaneTask_Uninstall::Proceed> already running");
        return;
    }
    fAnswerEvent.Reset();
    CXThread::Start();
}

void MervaneTask_Uninstall::Cancel()
{
    if (IsRunning())
        RequestStop();
    fAnswerEvent.Set();
}

void MervaneTask_Uninstall::GetStatus(MervaneTaskStatus& status)
{
    CXCriticalSectionLocker lock(fLock);
    status = fStatus;
}

void MervaneTask_Uninstall::Answer(bool yes)
{
    {
        CXCriticalSectionLocker lock(fLock);
        if (fStatus.state != kMervaneTaskQuestion)
            return;
        fStatus.state = yes ? kMervaneTaskAnsweredYes : kMervaneTaskFailed;
    }
    fAnswerEvent.Set();
}

void MervaneTask_Uninstall::SetStatus(int32_t state, float progress, const CXString& text)
{
    CXCriticalSectionLocker lock(fLock);
    fStatus.state = state;
    fStatus.progress = progress;
    fStatus.text = text;
}

void MervaneTask_Uninstall::Fail(const CXString& detail, const CXString& detail2)
{
    CXCriticalSectionLocker lock(fLock);
    fStatus.state = kMervaneTaskFailed;
    fStatus.progress = 1.0f;
    fStatus.text.Clear();
    fStatus.detail = detail;
    fStatus.detail2 = detail2;
}

CXString MervaneTask_Uninstall::RefusalReason(const CXString& targetPath, const CXString& anchorFile)
{
    if (targetPath.IsEmpty())
        return "No folder was given to uninstall.";
    CXString target = targetPath;
    NormalizePath(target);
    std::string host = Lexical(Host(target));
    if (!IsAbsolutePath(target) || host.empty())
        return CXString::FromFormat("\"%s\" is not a full folder path.", targetPath.c_str());
    if (IsRootPath(target) || Platform::IsProtectedHostFolder(host))
        return CXString::FromFormat("\"%s\" is a root or home folder.", host.c_str());
    if (IsSystemFolder(host))
        return CXString::FromFormat("\"%s\" is a system folder.", host.c_str());
    // A link is not the folder it names: its removal would fail only after the recorded
    // shortcuts had gone, and what it names is not this installation's to delete.
    Platform::FileInfo self;
    if (Platform::LinkStatPath(host, self) == 0 && self.isLink)
        return CXString::FromFormat("\"%s\" is a symbolic link, not a folder.", host.c_str());
    std::vector<std::string> kept = {Platform::UserHome(),       Platform::UserDataHome(),  Platform::UserConfigHome(),
                                     Platform::ProgramsFolder(), Platform::DesktopFolder(), Platform::LocalAppDataFolder(),
                                     Platform::TempFolder(),     Platform::RegistryRoot()};
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        kept.push_back(Platform::DriveRoot(letter));
    for (const std::string& folder : kept) {
        if (IsOrHolds(host, Lexical(folder)))
            return CXString::FromFormat("\"%s\" holds \"%s\", which is not part of an installation.", host.c_str(),
                                        Lexical(folder).c_str());
    }
    if (HoldsFile(UninstallRecordPath(target)))
        return CXString();
    if (!anchorFile.IsEmpty()) {
        CXString anchor = target;
        AppendPathComponent(anchor, anchorFile);
        NormalizePath(anchor);
        if (IsPathInsideFolder(anchor, target) && HoldsFile(anchor))
            return CXString();
    }
    return CXString::FromFormat("\"%s\" holds neither \"%s\" nor \"%s\", so it is not an installation.", host.c_str(),
                                kUninstallRecordName, anchorFile.c_str());
}

void MervaneTask_Uninstall::RemoveRecordedShortcuts()
{
    std::vector<CXString> entries;
    if (!ReadUninstallRecord(UninstallRecordPath(fTargetPath), entries))
        return;
    for (const CXString& entry : entries) {
        CXString path;
        if (!IsRemovableShortcutEntry(entry, path)) {
            CXDebugLog("MervaneTask_Uninstall::Proc> left the recorded '%s': not a shortcut of this user", entry.c_str());
            continue;
        }
        int error = Platform::DeleteShortcut(Host(path));
        if (error != 0)
            CXDebugLog("MervaneTask_Uninstall::Proc> could not delete the shortcut '%s' (error %d)", path.c_str(), error);
    }
}

void MervaneTask_Uninstall::Proc()
{
    SetStatus(kMervaneTaskBusy, 0.0f, "Uninstalling");
    CXString refusal = RefusalReason(fTargetPath, fAnchorFile);
    if (!refusal.IsEmpty()) {
        CXDebugLog("MervaneTask_Uninstall::Proc> refused: %s", refusal.c_str());
        Fail("This folder cannot be uninstalled.", refusal);
        return;
    }
    CXString target = fTargetPath;
    NormalizePath(target);

    RemoveRecordedShortcuts();
    for (;;) {
        CXResultCode result = CXFileSystem::DeleteRecursive(target.c_str());
        if (result == kCXOK)
            break;
        {
            CXCriticalSectionLocker lock(fLock);
            fStatus.state = kMervaneTaskQuestion;
            fStatus.detail = "Failed to delete some files.";
            fStatus.detail2 = CXString::FromFormat("Result %d.", static_cast<int>(result));
            fAnswerEvent.Reset();
        }
        bool retry = false;
        for (;;) {
            {
                CXCriticalSectionLocker lock(fLock);
                if (fStatus.state != kMervaneTaskQuestion || IsStopRequested()) {
                    retry = fStatus.state == kMervaneTaskAnsweredYes && !IsStopRequested();
                    break;
                }
            }
            // Never sleeps holding the lock; an answer or a cancel sets the event.
            (void)fAnswerEvent.WaitFor(gAnswerPollMilliseconds.load());
            fAnswerEvent.Reset();
        }
        if (!retry) {
            // Files remain: the uninstall did not complete, and the details say why.
            CXCriticalSectionLocker lock(fLock);
            fStatus.state = kMervaneTaskFailed;
            fStatus.progress = 1.0f;
            fStatus.text.Clear();
            return;
        }
        CXCriticalSectionLocker lock(fLock);
        fStatus.state = kMervaneTaskBusy;
        fStatus.detail.Clear();
        fStatus.detail2.Clear();
    }
    SetStatus(kMervaneTaskComplete, 1.0f, "Done.");
}
