// Permissions, volumes, shortcuts and the user's folders, through the host layer's services.
#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXHostError.h"
#include "foundation/CXPath.h"
#include "foundation/CXStringEdit.h"
#include "platform/File.h"
#include "platform/KnownFolders.h"
#include "platform/Permissions.h"
#include "platform/Shortcut.h"
#include "platform/Volumes.h"

#include <cstring>
#include <string>

namespace {

std::string Host(const CXString& path)
{
    CXString native = CXFileSystem::ToNativePath(path);
    return std::string(native.c_str(), native.length());
}

CXString Program(const std::string& host)
{
    return CXFileSystem::FromNativePath(CXStringArgument(host.data(), host.size()));
}

// A folder's program path with exactly one trailing '/'.
CXString WithTrailingSlash(CXString folder)
{
    if (folder.IsEmpty())
        return folder;
    if (folder.c_str()[folder.length() - 1] != '/')
        folder.Append("/");
    return folder;
}

} // namespace

CXResultCode CXFileSystem::SetFilePermissions(const CXString& path, const CXString& permissions)
{
    if (permissions.IsEmpty())
        return kCXOK;
    const char* text = permissions.c_str();
    if (std::strncmp(text, "w32acl:", 7) != 0)
        return std::strncmp(text, "win32:", 6) == 0 ? kCXOK : kCXBadParameter;
    uint32_t mode = 0;
    if (!Platform::SddlToMode(std::string_view(text + 7, permissions.length() - 7), mode))
        return kCXNotSupported;
    std::string host = Host(path);
    if (host.empty())
        return kCXNotFound;
    int error = Platform::SetPathMode(host, mode);
    return error == 0 ? kCXOK : CXResultFromHostError(error);
}

CXResultCode CXFileSystem::GetFilePermissions(const CXString& path, CXString& permissions)
{
    permissions.Clear();
    std::string host = Host(path);
    if (host.empty())
        return kCXNotFound;
    uint32_t mode = 0;
    int error = Platform::GetPathMode(host, mode);
    if (error != 0)
        return CXResultFromHostError(error);
    permissions = CXString::FromFormat("w32acl:%s", Platform::ModeToSddl(mode).c_str());
    return kCXOK;
}

void CXFileSystem::CollectVolumes(std::vector<CXVolumeInfo>& volumes)
{
    std::vector<Platform::VolumeInfo> found;
    if (Platform::ListVolumes(found) != 0)
        return;
    for (const Platform::VolumeInfo& volume : found) {
        CXString mountPath = Program(volume.mountPath);
        if (mountPath.IsEmpty())
            continue; // a mount under no mapped drive has no program path
        CXVolumeInfo info;
        info.mountPath = WithTrailingSlash(mountPath);
        info.writable = volume.writable;
        info.removable = volume.removable;
        info.hotPlug = volume.removable;
        info.fileSystemName = CXString(volume.fileSystem.c_str());
        info.label = CXString(volume.label.c_str());
        info.totalBytes = volume.totalBytes;
        info.freeBytes = volume.freeBytes;
        info.availableBytes = volume.availableBytes;
        volumes.push_back(info);
    }
}

CXString CXFileSystem::GetVolumeMountPath(const CXString& path)
{
    if (!IsAbsolutePath(path))
        return CXString();
    CXString normal = path;
    NormalizePath(normal);
    // Mount points are host paths: a path on a mapped drive is matched by its host form.
    std::string host = Host(normal);
    if (host.empty())
        return CXString();
    std::vector<Platform::VolumeInfo> volumes;
    if (Platform::ListVolumes(volumes) != 0)
        return CXString();
    std::string mount = Platform::FindVolumeMountPath(volumes, host);
    if (mount.empty())
        return CXString();
    return WithTrailingSlash(Program(mount));
}

CXResultCode CXFileSystem::CreateShortcut(const CXString& path, const CXString& target)
{
    CXString shortcut = path;
    if (!IsShortcutPath(shortcut))
        SetPathExtension(shortcut, "lnk");
    std::string host = Host(shortcut);
    std::string targetHost = Host(target);
    if (host.empty() || targetHost.empty())
        return kCXNotFound;
    Platform::ShortcutEntry entry;
    entry.target = targetHost;
    entry.icon = targetHost;
    CXString folder = GetParentPath(target);
    entry.workingDirectory = Host(folder);
    int error = Platform::WriteShortcut(host, entry);
    if (error != 0)
        CXDebugLog("CXFileSystem::CreateShortcut> could not write '%s' (error %d)", shortcut.c_str(), error);
    return error == 0 ? kCXOK : CXResultFromHostError(error);
}

CXString CXFileSystem::GetLocalAppDataFolder(const CXString& subPath)
{
    std::string host = Platform::LocalAppDataFolder();
    // The folder itself is made when missing (a fresh account has no data home yet).
    if (host.empty() || Platform::MakeDirectoryPath(host, 0700) != 0)
        return CXString();
    CXString folder = Program(host);
    if (folder.IsEmpty())
        return CXString();
    AppendPathComponent(folder, subPath);
    (void)MakeDirectory(folder);
    return folder;
}

CXString CXFileSystem::GetTempFolder()
{
    return WithTrailingSlash(Program(Platform::TempFolder()));
}
