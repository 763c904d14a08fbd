#include "patch/PatchTargetFolder.h"

#include "foundation/CXFileSystem.h"
#include "foundation/CXHostError.h"
#include "foundation/CXPath.h"
#include "platform/FileBeneath.h"
#include "streams/CXStreamFile.h"

#include <cerrno>

namespace {

CXResultCode ResultOf(int error)
{
    if (error == 0)
        return kCXOK;
    if (error == EBUSY || error == ETXTBSY)
        return kCXBusy;
    if (error == ENOENT)
        return kCXNotFound;
    if (error == EEXIST)
        return kCXAlreadyExists;
    if (error == ELOOP || error == ENOTEMPTY || error == EISDIR || error == EXDEV)
        return kCXAccessDenied;
    CXResultCode result = CXResultFromHostError(error);
    return result == kCXOK ? kCXSystemError : result;
}

} // namespace

void PatchTargetFolder::SetRoot(const CXString& targetPath)
{
    fRoot = targetPath;
    StripTrailingSlashes(fRoot);
}

CXString PatchTargetFolder::Relative(const CXString& path) const
{
    if (fRoot.IsEmpty())
        return CXString();
    return GetRelativePath(path, fRoot);
}

bool PatchTargetFolder::Resolve(const CXString& path, std::string& root, std::string& relative) const
{
    CXString rest = Relative(path);
    if (rest.IsEmpty())
        return false;
    CXString native = CXFileSystem::ToNativePath(fRoot);
    if (native.IsEmpty())
        return false;
    root.assign(native.c_str(), native.length());
    relative.assign(rest.c_str(), rest.length());
    return true;
}

bool PatchTargetFolder::Exists(const CXString& path) const
{
    Platform::FileInfo info;
    CXResultCode result = Stat(path, info);
    return result != kCXNotFound;
}

CXResultCode PatchTargetFolder::Stat(const CXString& path, Platform::FileInfo& info) const
{
    std::string root, relative;
    if (!Resolve(path, root, relative))
        return kCXBadFormat;
    int error = Platform::StatBeneath(root, relative, info);
    // A missing folder on the way is "not found" too.
    return error == ENOTDIR ? kCXNotFound : ResultOf(error);
}

CXResultCode PatchTargetFolder::Open(const CXString& path, OpenKind kind, CXStreamFile& stream) const
{
    std::string root, relative;
    if (!Resolve(path, root, relative))
        return kCXBadFormat;
    unsigned flags = Platform::kOpenRead;
    if (kind == kOpenReadWrite)
        flags = Platform::kOpenWrite | Platform::kOpenCreate;
    else if (kind == kOpenCreateNew)
        flags = Platform::kOpenWrite | Platform::kOpenExclusive;
    int fd = -1;
    int error = Platform::OpenBeneath(root, relative, flags, 0666, fd);
    if (error != 0)
        return ResultOf(error);
    uint32_t mode = kind == kOpenReading ? CXStreamFile::kModeRead : CXStreamFile::kModeRead | CXStreamFile::kModeWrite;
    if (!stream.AdoptDescriptor(fd, mode)) {
        (void)Platform::CloseFile(fd);
        return kCXAlreadyOpen;
    }
    return kCXOK;
}

CXResultCode PatchTargetFolder::Move(const CXString& destination, const CXString& source) const
{
    std::string root, to, from;
    if (!Resolve(destination, root, to) || !Resolve(source, root, from))
        return kCXBadFormat;
    return ResultOf(Platform::RenameBeneath(root, to, from));
}

CXResultCode PatchTargetFolder::Delete(const CXString& path) const
{
    std::string root, relative;
    if (!Resolve(path, root, relative))
        return kCXBadFormat;
    Platform::FileInfo info;
    int error = Platform::StatBeneath(root, relative, info);
    if (error != 0)
        return error == ENOTDIR ? kCXNotFound : ResultOf(error);
    if (info.isDirectory)
        return ResultOf(Platform::RemoveDirectoryBeneath(root, relative));
    return ResultOf(Platform::UnlinkBeneath(root, relative));
}

CXResultCode PatchTargetFolder::MakeDirectory(const CXString& path) const
{
    std::string root, relative;
    if (!Resolve(path, root, relative))
        return kCXBadFormat;
    return ResultOf(Platform::MakeDirectoryBeneath(root, relative, 0777));
}

CXResultCode PatchTargetFolder::SetMode(const CXString& path, uint32_t mode) const
{
    std::string root, relative;
    if (!Resolve(path, root, relative))
        return kCXBadFormat;
    return ResultOf(Platform::ChangeModeBeneath(root, relative, mode & 07777));
}

CXResultCode PatchTargetFolder::IsFolderEmpty(const CXString& path, bool& empty) const
{
    empty = false;
    std::string root, relative;
    if (!Resolve(path, root, relative))
        return kCXBadFormat;
    std::vector<Platform::DirectoryEntry> entries;
    int error = Platform::ListDirectoryBeneath(root, relative, entries);
    if (error != 0)
        return ResultOf(error);
    empty = entries.empty();
    return kCXOK;
}

CXResultCode PatchTargetFolder::Sync(const CXString& path) const
{
    std::string root, relative;
    CXResultCode result = kCXOK;
    Platform::FileInfo info;
    int fd = -1;
    int error;
    if (path == fRoot) {
        CXString native = CXFileSystem::ToNativePath(fRoot);
        root.assign(native.c_str(), native.length());
        error = Platform::OpenBeneath(root, std::string(), Platform::kOpenDirectory, 0, fd);
    } else {
        if (!Resolve(path, root, relative))
            return kCXBadFormat;
        error = Platform::StatBeneath(root, relative, info);
        if (error == 0)
            error = Platform::OpenBeneath(root, relative, info.isDirectory ? Platform::kOpenDirectory : Platform::kOpenRead, 0, fd);
    }
    if (error != 0)
        return ResultOf(error);
    result = ResultOf(Platform::SyncFile(fd));
    (void)Platform::CloseFile(fd);
    return result;
}

namespace {

void IgnoreFailure(void*, const std::string&, int, bool) {}

} // namespace

CXResultCode PatchTargetFolder::EmptyFolder(const CXString& path) const
{
    std::string root, relative;
    if (!Resolve(path, root, relative))
        return kCXBadFormat;
    // Only a direct child of the root is ever emptied (the temporary folder); the host call
    // refuses a link at its last component.
    if (relative.find('/') != std::string::npos)
        return kCXBadParameter;
    return ResultOf(Platform::RemoveFolderContents(root + "/" + relative, IgnoreFailure, nullptr));
}
