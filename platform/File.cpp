#include "platform/File.h"

#include "platform/DriveMap.h"
#include "platform/FileSeam.h"

#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

struct Fault {
    int nth = 0; // 0 = not armed
    int error = 0;
    size_t shortBy = 0;
};

struct FaultSeam {
    std::atomic<bool> armed{false};
    std::mutex mutex;
    Fault faults[kFaultKindCount];
    int calls[kFaultKindCount] = {};
    int totalCalls = 0;
    int actionNth = 0; // 0 = no action armed
    FaultSeamAction action = nullptr;
    void* actionContext = nullptr;
};

FaultSeam& Seam()
{
    static FaultSeam* seam = new FaultSeam;
    return *seam;
}

// Counts the call and says whether it is the one to fail. Costs one atomic load when no test
// armed anything.
bool Trip(FaultKind kind, int& error, size_t* shortBy = nullptr)
{
    FaultSeam& seam = Seam();
    if (!seam.armed.load(std::memory_order_acquire))
        return false;
    FaultSeamAction action = nullptr;
    void* actionContext = nullptr;
    {
        std::lock_guard<std::mutex> lock(seam.mutex);
        ++seam.totalCalls;
        if (seam.actionNth != 0 && --seam.actionNth == 0) {
            action = seam.action;
            actionContext = seam.actionContext;
        }
    }
    if (action != nullptr)
        action(actionContext);
    std::lock_guard<std::mutex> lock(seam.mutex);
    ++seam.calls[kind];
    Fault& fault = seam.faults[kind];
    if (fault.nth == 0 || --fault.nth != 0)
        return false;
    error = fault.error;
    if (shortBy != nullptr)
        *shortBy = fault.shortBy;
    return true;
}

// The shape of every one-path primitive: the fault seam, the empty host path (a program path
// without a host form), then the call itself.
template <class Call>
int PathCall(FaultKind kind, const std::string& path, Call call)
{
    int error;
    if (Trip(kind, error))
        return error;
    if (path.empty())
        return ENOENT;
    return call() < 0 ? errno : 0;
}

} // namespace

void FillInfo(const struct stat& st, FileInfo& info)
{
    info.size = static_cast<uint64_t>(st.st_size);
    info.mode = st.st_mode & 07777;
    info.isFile = S_ISREG(st.st_mode);
    info.isDirectory = S_ISDIR(st.st_mode);
    info.isLink = S_ISLNK(st.st_mode);
    info.modifiedSeconds = st.st_mtim.tv_sec;
    info.modifiedNanoseconds = static_cast<uint32_t>(st.st_mtim.tv_nsec);
    info.device = st.st_dev;
    info.inode = st.st_ino;
    info.links = st.st_nlink;
}

void ArmFault(FaultKind kind, int nth, int error, size_t shortBy)
{
    FaultSeam& seam = Seam();
    std::lock_guard<std::mutex> lock(seam.mutex);
    seam.faults[kind] = Fault{nth, error, shortBy};
    seam.armed.store(true, std::memory_order_release);
}

void ClearFaults()
{
    FaultSeam& seam = Seam();
    std::lock_guard<std::mutex> lock(seam.mutex);
    for (int i = 0; i < kFaultKindCount; ++i) {
        seam.faults[i] = Fault{};
        seam.calls[i] = 0;
    }
    seam.totalCalls = 0;
    seam.actionNth = 0;
    seam.action = nullptr;
    seam.actionContext = nullptr;
    seam.armed.store(false, std::memory_order_release);
}

void ArmFaultAction(int nth, FaultSeamAction action, void* context)
{
    FaultSeam& seam = Seam();
    std::lock_guard<std::mutex> lock(seam.mutex);
    seam.actionNth = action != nullptr && nth > 0 ? nth : 0;
    seam.action = action;
    seam.actionContext = context;
    seam.armed.store(true, std::memory_order_release);
}

int FaultSeamTotalCalls()
{
    FaultSeam& seam = Seam();
    std::lock_guard<std::mutex> lock(seam.mutex);
    return seam.totalCalls;
}

void KillProcessAction(void*)
{
    (void)::kill(::getpid(), SIGKILL);
    for (;;)
        ::pause();
}

int FaultSeamCalls(FaultKind kind)
{
    FaultSeam& seam = Seam();
    std::lock_guard<std::mutex> lock(seam.mutex);
    return seam.calls[kind];
}

int FaultSeamTrip(FaultKind kind)
{
    int error;
    return Trip(kind, error) ? error : 0;
}

int OpenFile(const std::string& path, unsigned flags, unsigned mode, int& fd)
{
    fd = -1;
    int error;
    if (Trip(kFaultOpen, error))
        return error;
    if (path.empty())
        return ENOENT;
    int oflags = O_CLOEXEC;
    if (flags & kOpenDirectory)
        oflags |= O_RDONLY | O_DIRECTORY;
    else
        oflags |= (flags & kOpenWrite) ? O_RDWR : O_RDONLY;
    if (flags & kOpenCreate)
        oflags |= O_CREAT;
    if (flags & kOpenTruncate)
        oflags |= O_TRUNC;
    if (flags & kOpenExclusive)
        oflags |= O_CREAT | O_EXCL;
    if (flags & kOpenNoFollow)
        oflags |= O_NOFOLLOW;
    if (flags & kOpenNonBlock)
        oflags |= O_NONBLOCK;
    do {
        fd = open(path.c_str(), oflags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? errno : 0;
}

namespace {

// offset < 0 reads or writes at the descriptor's position.
int ReadAt(int fd, void* buffer, size_t size, int64_t offset, size_t& bytesRead)
{
    bytesRead = 0;
    int error;
    if (Trip(kFaultRead, error))
        return error;
    ssize_t n;
    do {
        n = offset < 0 ? read(fd, buffer, size) : pread(fd, buffer, size, static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return errno;
    bytesRead = static_cast<size_t>(n);
    return 0;
}

int WriteAt(int fd, const void* data, size_t size, int64_t offset, size_t& written)
{
    written = 0;
    int error = 0;
    size_t shortBy = 0;
    bool fault = Trip(kFaultWrite, error, &shortBy);
    if (fault && shortBy == 0)
        return error;
    // A short-write fault lets all but shortBy bytes through, then fails.
    size_t limit = fault ? (size > shortBy ? size - shortBy : 0) : size;
    const char* p = static_cast<const char*>(data);
    while (written < limit) {
        ssize_t n = offset < 0 ? write(fd, p + written, limit - written)
                               : pwrite(fd, p + written, limit - written, static_cast<off_t>(offset + written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        written += static_cast<size_t>(n);
    }
    return fault ? error : 0;
}

} // namespace

int ReadFile(int fd, void* buffer, size_t size, size_t& bytesRead)
{
    return ReadAt(fd, buffer, size, -1, bytesRead);
}

int ReadFileAt(int fd, void* buffer, size_t size, int64_t offset, size_t& bytesRead)
{
    if (offset < 0) {
        bytesRead = 0;
        return EINVAL;
    }
    return ReadAt(fd, buffer, size, offset, bytesRead);
}

int WriteFile(int fd, const void* data, size_t size, size_t& written)
{
    return WriteAt(fd, data, size, -1, written);
}

int WriteFileAt(int fd, const void* data, size_t size, int64_t offset, size_t& written)
{
    if (offset < 0) {
        written = 0;
        return EINVAL;
    }
    return WriteAt(fd, data, size, offset, written);
}

int SeekFile(int fd, int64_t offset, SeekFrom from, int64_t& position)
{
    position = -1;
    int error;
    if (Trip(kFaultSeek, error))
        return error;
    int whence = from == kSeekSet ? SEEK_SET : (from == kSeekCurrent ? SEEK_CUR : SEEK_END);
    off_t result = lseek(fd, static_cast<off_t>(offset), whence);
    if (result < 0)
        return errno;
    position = static_cast<int64_t>(result);
    return 0;
}

int TruncateFile(int fd, uint64_t size)
{
    int error;
    if (Trip(kFaultTruncate, error))
        return error;
    int result;
    do {
        result = ftruncate(fd, static_cast<off_t>(size));
    } while (result < 0 && errno == EINTR);
    return result < 0 ? errno : 0;
}

int SyncFile(int fd)
{
    int error;
    if (Trip(kFaultSync, error))
        return error;
    int result;
    do {
        result = fsync(fd);
    } while (result < 0 && errno == EINTR);
    // Some descriptors (pipes, character devices) cannot be synced: nothing was lost.
    if (result < 0 && errno == EINVAL)
        return 0;
    return result < 0 ? errno : 0;
}

int CloseFile(int fd)
{
    int error;
    if (Trip(kFaultClose, error)) {
        close(fd); // the descriptor must not leak even when the test says the close failed
        return error;
    }
    // close is not retried on EINTR: on Linux the descriptor is gone either way.
    if (close(fd) < 0 && errno != EINTR)
        return errno;
    return 0;
}

int StatPath(const std::string& path, FileInfo& info)
{
    struct stat st;
    int error = PathCall(kFaultStat, path, [&] { return stat(path.c_str(), &st); });
    if (error == 0)
        FillInfo(st, info);
    return error;
}

int LinkStatPath(const std::string& path, FileInfo& info)
{
    struct stat st;
    int error = PathCall(kFaultStat, path, [&] { return lstat(path.c_str(), &st); });
    if (error == 0)
        FillInfo(st, info);
    return error;
}

int StatFile(int fd, FileInfo& info)
{
    int error;
    if (Trip(kFaultStat, error))
        return error;
    struct stat st;
    if (fstat(fd, &st) < 0)
        return errno;
    FillInfo(st, info);
    return 0;
}

int RenameNoReplace(const std::string& from, const std::string& to)
{
    int error;
    if (Trip(kFaultRename, error))
        return error;
    if (from.empty() || to.empty())
        return ENOENT;
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    // The file system cannot rename without replacing.
    struct stat st;
    if (lstat(from.c_str(), &st) < 0)
        return errno;
    if (!S_ISDIR(st.st_mode)) {
        // A hard link fails with EEXIST when the destination exists, so nothing is replaced.
        if (link(from.c_str(), to.c_str()) < 0)
            return errno;
        if (unlink(from.c_str()) < 0) {
            int unlinkError = errno;
            unlink(to.c_str());
            return unlinkError;
        }
        return 0;
    }
    // A folder: rename over an existing empty folder would succeed, so check first. (A folder
    // that appears between the check and the rename can still be replaced when it is empty.)
    if (lstat(to.c_str(), &st) == 0)
        return EEXIST;
    if (errno != ENOENT)
        return errno;
    return rename(from.c_str(), to.c_str()) < 0 ? errno : 0;
}

int RenameReplace(const std::string& from, const std::string& to)
{
    int error;
    if (Trip(kFaultRename, error))
        return error;
    if (from.empty() || to.empty())
        return ENOENT;
    return rename(from.c_str(), to.c_str()) < 0 ? errno : 0;
}

int UnlinkPath(const std::string& path)
{
    return PathCall(kFaultUnlink, path, [&] { return unlink(path.c_str()); });
}

int MakeDirectory(const std::string& path, unsigned mode)
{
    return PathCall(kFaultMakeDirectory, path, [&] { return mkdir(path.c_str(), mode); });
}

namespace {

int MakeDirectoryPathFor(const std::string& path, unsigned mode, bool chownNew, uint32_t uid, uint32_t gid)
{
    if (path.empty())
        return ENOENT;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i != path.size() && path[i] != '/')
            continue;
        std::string part = path.substr(0, i);
        int error = MakeDirectory(part, mode);
        if (error == 0 && chownNew)
            (void)fchownat(AT_FDCWD, part.c_str(), uid, gid, AT_SYMLINK_NOFOLLOW);
        if (error != 0 && error != EEXIST)
            return error;
    }
    FileInfo info;
    int error = StatPath(path, info);
    if (error != 0)
        return error;
    return info.isDirectory ? 0 : ENOTDIR;
}

} // namespace

int MakeDirectoryPath(const std::string& path, unsigned mode)
{
    return MakeDirectoryPathFor(path, mode, false, 0, 0);
}

int MakeDirectoryPathOwnedBy(const std::string& path, unsigned mode, uint32_t uid, uint32_t gid)
{
    return MakeDirectoryPathFor(path, mode, true, uid, gid);
}

int RemoveDirectory(const std::string& path)
{
    return PathCall(kFaultRemoveDirectory, path, [&] { return rmdir(path.c_str()); });
}

int ChangeMode(const std::string& path, unsigned mode)
{
    int error = PathCall(kFaultChangeMode, path, [&] { return fchmodat(AT_FDCWD, path.c_str(), mode, AT_SYMLINK_NOFOLLOW); });
    // The C library cannot change a link's own bits and says so: the path is a link.
    return error == EOPNOTSUPP || error == ENOTSUP ? ELOOP : error;
}

int ReadDirectoryEntries(int fd, std::vector<DirectoryEntry>& entries)
{
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        int openError = errno;
        close(fd);
        return openError;
    }
    for (;;) {
        errno = 0;
        struct dirent* entry = readdir(dir);
        if (entry == nullptr) {
            int readError = errno;
            closedir(dir);
            return readError;
        }
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        DirectoryEntry item;
        item.name = name;
        struct stat st;
        if (fstatat(dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            item.isDirectory = S_ISDIR(st.st_mode);
            item.isLink = S_ISLNK(st.st_mode);
            item.size = static_cast<uint64_t>(st.st_size);
        }
        entries.push_back(std::move(item));
    }
}

int ListDirectory(const std::string& path, std::vector<DirectoryEntry>& entries)
{
    entries.clear();
    int error;
    if (Trip(kFaultListDirectory, error))
        return error;
    if (path.empty())
        return ENOENT;
    int fd;
    do {
        fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return errno;
    return ReadDirectoryEntries(fd, entries);
}

namespace {

// Removes the entries of an open folder (consumes the descriptor). Depth is bounded by the tree
// itself; each level holds one descriptor.
void RemoveContentsAt(int folder, const std::string& prefix, RemoveFailure onFailure, void* context)
{
    DIR* dir = fdopendir(folder);
    if (dir == nullptr) {
        close(folder);
        return;
    }
    // Read all names first: removing while reading can make readdir skip entries.
    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        struct dirent* entry = readdir(dir);
        if (entry == nullptr)
            break;
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        names.emplace_back(name);
    }
    int fd = dirfd(dir);
    for (const std::string& name : names) {
        std::string relative = prefix.empty() ? name : prefix + "/" + name;
        int error;
        if (Trip(kFaultListDirectory, error)) {
            onFailure(context, relative, error, true);
            continue;
        }
        int child;
        do {
            child = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        } while (child < 0 && errno == EINTR);
        if (child >= 0) {
            RemoveContentsAt(child, relative, onFailure, context);
            if (Trip(kFaultRemoveDirectory, error) || (unlinkat(fd, name.c_str(), AT_REMOVEDIR) < 0 && (error = errno) != 0))
                onFailure(context, relative, error, true);
            continue;
        }
        // A folder that cannot be opened (no read or search permission) may still be empty:
        // remove it as a folder.
        struct stat st;
        if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
            if (Trip(kFaultRemoveDirectory, error) || (unlinkat(fd, name.c_str(), AT_REMOVEDIR) < 0 && (error = errno) != 0))
                onFailure(context, relative, error, true);
            continue;
        }
        // Not a folder, or a link to anything: remove the entry itself.
        if (Trip(kFaultUnlink, error) || (unlinkat(fd, name.c_str(), 0) < 0 && (error = errno) != 0))
            onFailure(context, relative, error, false);
    }
    closedir(dir);
}

} // namespace

int RemoveFolderContents(const std::string& path, RemoveFailure onFailure, void* context)
{
    int error;
    if (Trip(kFaultListDirectory, error))
        return error;
    if (path.empty())
        return ENOENT;
    if (IsProtectedHostFolder(path))
        return EACCES;
    int folder;
    do {
        folder = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    } while (folder < 0 && errno == EINTR);
    if (folder < 0)
        return errno;
    RemoveContentsAt(folder, std::string(), onFailure, context);
    return 0;
}

} // namespace Platform
