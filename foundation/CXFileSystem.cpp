#include "foundation/CXFileSystem.h"

#include "foundation/CXDebug.h"
#include "foundation/CXFileFind.h"
#include "foundation/CXHostError.h"
#include "foundation/CXPath.h"
#include "foundation/CXRandom.h"
#include "foundation/CXStringEdit.h"
#include "platform/DriveMap.h"
#include "platform/Errors.h"
#include "platform/File.h"

#include <cerrno>
#include <string>
#include <vector>

namespace {

// The host form of a program path as a std::string; empty when there is none.
std::string Host(const CXString& path)
{
    CXString native = CXFileSystem::ToNativePath(path);
    return std::string(native.c_str(), native.length());
}

// The number a failure is logged with: the Win32 error the same call gives on Windows, or the
// errno where there is none.
int LoggedError(int error)
{
    uint32_t win32 = Platform::Win32ErrorFromErrno(error);
    return win32 != 0xFFFFFFFFu ? static_cast<int>(win32) : error;
}

// A busy file (in use, or a running program on hosts that refuse that) gives kCXBusy; any other
// errno goes through the errno table.
CXResultCode UnlinkResult(int error)
{
    if (error == EBUSY || error == ETXTBSY)
        return kCXBusy;
    if (error == EISDIR)
        return kCXAccessDenied; // unlinking a folder is refused as access denied on Windows
    return CXResultCode::FromPosixErr(error);
}

bool IsNotFoundError(int error)
{
    return error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG || error == ELOOP || error == EINVAL;
}

} // namespace

bool CXFileSystem::Exists(const CXString& path)
{
    std::string host = Host(path);
    if (host.empty())
        return false;
    Platform::FileInfo info;
    int error = Platform::LinkStatPath(host, info);
    if (error == 0)
        return true;
    if (IsNotFoundError(error))
        return false;
    CXDebugLog("CXFileSystem::Exists> error %d for %s", LoggedError(error), path.c_str());
    return true;
}

bool CXFileSystem::IsDirectory(const CXString& path)
{
    std::string host = Host(path);
    Platform::FileInfo info;
    return !host.empty() && Platform::LinkStatPath(host, info) == 0 && info.isDirectory;
}

CXResultCode CXFileSystem::MakeDirectory(const CXString& path)
{
    std::string host = Host(path);
    if (host.empty())
        return kCXNotFound;
    int error = Platform::MakeDirectory(host, 0777);
    switch (error) {
    case 0:
        return kCXOK;
    case EEXIST:
        return kCXAlreadyExists;
    case ENAMETOOLONG:
        return kCXBadParameter;
    case ENOSPC:
    case EDQUOT:
        return kCXNoResources;
    default:
        // A missing parent is "path not found" to the folder-making call.
        CXDebugLog("CXFileSystem::MakeDirectory> CreateDirectory(\"%s\") returned error %d", path.c_str(), error == ENOENT ? 3 : LoggedError(error));
        return kCXAccessDenied;
    }
}

CXResultCode CXFileSystem::Move(const CXString& destination, const CXString& source)
{
    std::string from = Host(source);
    std::string to = Host(destination);
    if (from.empty() || to.empty())
        return kCXNotFound;
    int error = Platform::RenameNoReplace(from, to);
    return error == 0 ? kCXOK : CXResultFromHostError(error);
}

CXResultCode CXFileSystem::Delete(const CXString& path)
{
    if (!Exists(path))
        return kCXNotFound;
    std::string host = Host(path);
    if (IsDirectory(path)) {
        int error = Platform::RemoveDirectory(host);
        if (error == 0)
            return kCXOK;
        CXDebugLog("CXFileSystem::Delete> RemoveDirectory(\"%s\") returned error %d", path.c_str(), LoggedError(error));
        return kCXAccessDenied;
    }
    int error = Platform::UnlinkPath(host);
    if (error == 0)
        return kCXOK;
    CXDebugLog("CXFileSystem::Delete> unlink returned error %d", error);
    return UnlinkResult(error);
}

CXResultCode CXFileSystem::DeletePlainFile(const CXString& path)
{
    std::string host = Host(path);
    if (host.empty())
        return kCXNotFound;
    int error = Platform::UnlinkPath(host);
    if (error == 0)
        return kCXOK;
    CXDebugLog("CXFileSystem::DeletePlainFile> unlink returned error %d for %s", error, path.c_str());
    return UnlinkResult(error);
}

namespace {

struct RemoveWalk {
    CXString root;
    CXResultCode firstFailure = kCXOK;
};

void RecordRemoveFailure(void* context, const std::string& relative, int error, bool isDirectory)
{
    RemoveWalk& walk = *static_cast<RemoveWalk*>(context);
    CXString path = walk.root;
    AppendPathComponent(path, CXStringArgument(relative.data(), relative.size()));
    CXResultCode result;
    if (isDirectory) {
        CXDebugLog("CXFileSystem::Delete> RemoveDirectory(\"%s\") returned error %d", path.c_str(), LoggedError(error));
        result = kCXAccessDenied;
    } else {
        CXDebugLog("CXFileSystem::DeletePlainFile> unlink returned error %d for %s", error, path.c_str());
        result = UnlinkResult(error);
    }
    if (walk.firstFailure == kCXOK)
        walk.firstFailure = result;
}

} // namespace

CXResultCode CXFileSystem::DeleteRecursive(const char* path)
{
    CXStringEdit normal(CXStringArgument(path != nullptr ? path : ""));
    normal.NormalizePathInPlace();
    // A root, or a relative path that climbs, names more than one folder's contents.
    bool climbs = normal.length() >= 2 && normal.data()[0] == '.' && normal.data()[1] == '.' &&
                  (normal.length() == 2 || normal.data()[2] == '/');
    if (normal.IsEmpty() || normal.IsRootPath() || climbs)
        return kCXAccessDenied;
    CXString folder(normal);
    std::string host = Host(folder);
    if (host.empty())
        return kCXNotFound;
    // Whatever the program text, never empty the host's root, a drive's folder or a home folder.
    if (Platform::IsProtectedHostFolder(host)) {
        CXDebugLog("CXFileSystem::DeleteRecursive> refusing to delete the protected folder '%s'", host.c_str());
        return kCXAccessDenied;
    }

    RemoveWalk walk{folder};
    if (IsDirectory(folder)) {
        int error = Platform::RemoveFolderContents(host, RecordRemoveFailure, &walk);
        if (error != 0 && walk.firstFailure == kCXOK)
            walk.firstFailure = CXResultFromHostError(error);
    }
    CXResultCode result = Delete(folder);
    if (result == kCXOK)
        return kCXOK;
    return walk.firstFailure != kCXOK ? walk.firstFailure : result;
}

CXResultCode CXFileSystem::CopyFolder(const CXString& destination, const CXString& source, bool copyPermissions)
{
    CXFileFind find;
    if (find.Open(source) != kCXOK)
        return kCXNotFound;
    (void)MakeDirectory(destination);
    if (copyPermissions) {
        CXString permissions;
        CXResultCode result = GetFilePermissions(source, permissions);
        if (result == kCXOK)
            result = SetFilePermissions(destination, permissions);
        if (result != kCXOK)
            return result;
    }
    for (; find.IsOpen(); find.FindNext()) {
        CXString target = destination;
        AppendPathComponent(target, find.GetFileName());
        CXResultCode result;
        if (find.IsFileADirectory()) {
            result = CopyFolder(target, find.GetFilePath(), copyPermissions);
        } else {
            if (Exists(target))
                return kCXAlreadyExists;
            result = CopyFile(target, find.GetFilePath(), copyPermissions);
        }
        if (result != kCXOK)
            return result;
    }
    return kCXOK;
}

CXResultCode CXFileSystem::CopyFile(const CXString& destination, const CXString& source, bool copyPermissions)
{
    std::string from = Host(source);
    std::string to = Host(destination);
    if (from.empty() || to.empty())
        return kCXNotFound;
    int in;
    int error = Platform::OpenFile(from, Platform::kOpenRead, 0, in);
    if (error != 0)
        return CXResultFromHostError(error);
    if (Exists(destination)) {
        (void)Platform::CloseFile(in);
        return kCXAlreadyExists;
    }
    // Created exclusively: a file that appears after the test above is never overwritten.
    int out;
    error = Platform::OpenFile(to, Platform::kOpenWrite | Platform::kOpenExclusive, 0666, out);
    if (error != 0) {
        (void)Platform::CloseFile(in);
        return error == EEXIST ? kCXAlreadyExists : CXResultFromHostError(error);
    }
    std::vector<char> buffer(1 << 16);
    int copyError = 0;
    for (;;) {
        size_t got = 0;
        copyError = Platform::ReadFile(in, buffer.data(), buffer.size(), got);
        if (copyError != 0 || got == 0)
            break;
        size_t written = 0;
        copyError = Platform::WriteFile(out, buffer.data(), got, written);
        if (copyError != 0)
            break;
    }
    (void)Platform::CloseFile(in);
    int closeError = Platform::CloseFile(out);
    if (copyError == 0)
        copyError = closeError;
    if (copyError != 0) {
        (void)Delete(destination);
        return CXResultFromHostError(copyError);
    }
    if (copyPermissions) {
        CXString permissions;
        CXResultCode result = GetFilePermissions(source, permissions);
        if (result == kCXOK)
            result = SetFilePermissions(destination, permissions);
        return result;
    }
    return kCXOK;
}

CXString CXFileSystem::CreateUniqueFileName(const CXString& folder, const CXString& name)
{
    if (folder.IsEmpty()) {
        CXDebugLog("CXFileSystem::CreateUniqueFileName> null parent folder path");
        return CXString();
    }
    CXString candidate = folder;
    AppendPathComponent(candidate, MakeSafeFileName(name.c_str()));
    CXString extension = GetPathExtension(candidate);
    for (int attempt = 0;;) {
        if (!Exists(candidate)) {
            std::string host = Host(candidate);
            int fd;
            // Exclusive creation: of two callers racing for one name, only one gets it.
            if (!host.empty() && Platform::OpenFile(host, Platform::kOpenWrite | Platform::kOpenExclusive, 0666, fd) == 0) {
                (void)Platform::CloseFile(fd);
                return candidate;
            }
        }
        if (++attempt > 1000) {
            CXDebugLog("CXFileSystem::CreateUniqueFileName> unable to create a unique file path at '%s'", folder.c_str());
            return CXString();
        }
        uint32_t first = GetRandomUInt32();
        uint32_t second = GetRandomUInt32();
        CXString generated = CXString::FromFormat("temp-%x%x%x", first, static_cast<unsigned>(attempt), second);
        if (!extension.IsEmpty())
            SetPathExtension(generated, extension.c_str());
        candidate = folder;
        AppendPathComponent(candidate, generated);
    }
}

CXResultCode CXFileSystem::SafeReplaceFile(const CXString& file, const CXString& newFile)
{
    CXString backup = file;
    backup.Append(".abku");
    if (Exists(file)) {
        (void)Delete(backup);
        CXResultCode moved = Move(backup, file);
        if (moved != kCXOK) {
            (void)Delete(newFile);
            return moved;
        }
    }
    CXResultCode replaced = Move(file, newFile);
    if (replaced == kCXOK) {
        (void)Delete(backup);
        return kCXOK;
    }
    (void)Move(file, backup);
    (void)Delete(newFile);
    return replaced;
}

CXResultCode CXFileSystem::RecoverSafeReplace(const CXString& file)
{
    if (Exists(file))
        return kCXOK;
    CXString backup = file;
    backup.Append(".abku");
    if (Exists(backup))
        return Move(file, backup);
    return kCXOK;
}
