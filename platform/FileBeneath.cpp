#include "platform/FileBeneath.h"

#include "platform/FileSeam.h"

#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Platform {

namespace {

std::atomic<bool> gForceWalk{false};
// openat2 is known missing (ENOSYS, or refused by a filter) after its first failure of that kind.
std::atomic<bool> gOpenat2Missing{false};

// Owns one descriptor.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fFd(fd) {}
    ~Descriptor() { Reset(-1); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fFd; }
    void Reset(int fd)
    {
        if (fFd >= 0)
            close(fFd);
        fFd = fd;
    }
    int Release()
    {
        int fd = fFd;
        fFd = -1;
        return fd;
    }

private:
    int fFd = -1;
};

bool SplitRelative(const std::string& relative, std::vector<std::string>& parts)
{
    parts.clear();
    if (relative.empty())
        return true;
    if (relative.find('\0') != std::string::npos)
        return false;
    size_t start = 0;
    for (;;) {
        size_t end = relative.find('/', start);
        std::string part = relative.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        parts.push_back(std::move(part));
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

int OpenRoot(const std::string& root, Descriptor& fd)
{
    if (root.empty())
        return ENOENT;
    int result;
    do {
        result = open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    } while (result < 0 && errno == EINTR);
    if (result < 0)
        return errno;
    fd.Reset(result);
    return 0;
}

// The walk: one component at a time, none of them a link.
int WalkFolders(Descriptor& current, const std::vector<std::string>& parts, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        int next;
        do {
            next = openat(current.Get(), parts[i].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        } while (next < 0 && errno == EINTR);
        if (next < 0) {
            int error = errno;
            struct stat st;
            if (error == ENOTDIR && fstatat(current.Get(), parts[i].c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(st.st_mode))
                error = ELOOP;
            return error;
        }
        current.Reset(next);
    }
    return 0;
}

// Opens the folder that holds the last of parts (the root when there is one part); the first
// count parts name that folder.
int OpenFolder(const std::string& root, const std::vector<std::string>& parts, size_t count, Descriptor& folder)
{
    Descriptor rootFd;
    int error = OpenRoot(root, rootFd);
    if (error != 0)
        return error;
    if (count == 0) {
        folder.Reset(rootFd.Release());
        return 0;
    }
    if (!gForceWalk.load(std::memory_order_relaxed) && !gOpenat2Missing.load(std::memory_order_relaxed)) {
        std::string path;
        for (size_t i = 0; i < count; ++i) {
            if (i != 0)
                path += '/';
            path += parts[i];
        }
        struct open_how how = {};
        how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
        long result;
        do {
            result = syscall(SYS_openat2, rootFd.Get(), path.c_str(), &how, sizeof how);
        } while (result < 0 && (errno == EINTR || errno == EAGAIN));
        if (result >= 0) {
            folder.Reset(static_cast<int>(result));
            return 0;
        }
        if (errno != ENOSYS && errno != EPERM && errno != E2BIG)
            return errno == EXDEV ? ELOOP : errno;
        gOpenat2Missing.store(true, std::memory_order_relaxed);
    }
    error = WalkFolders(rootFd, parts, count);
    if (error == 0)
        folder.Reset(rootFd.Release());
    return error;
}

// The folder holding the last component of relative, and that component. An empty relative
// path is refused unless allowRoot, which then gives the root and an empty leaf.
int OpenParent(const std::string& root, const std::string& relative, bool allowRoot, Descriptor& folder,
               std::string& leaf)
{
    std::vector<std::string> parts;
    if (!SplitRelative(relative, parts))
        return EINVAL;
    if (parts.empty()) {
        if (!allowRoot)
            return EINVAL;
        leaf.clear();
        return OpenRoot(root, folder);
    }
    leaf = parts.back();
    return OpenFolder(root, parts, parts.size() - 1, folder);
}

int ReturnErrno(int result)
{
    return result < 0 ? errno : 0;
}

} // namespace

void SetBeneathWalkForTesting(bool walk)
{
    gForceWalk.store(walk, std::memory_order_relaxed);
}

int OpenBeneath(const std::string& root, const std::string& relative, unsigned flags, unsigned mode, int& fd)
{
    fd = -1;
    if (int error = FaultSeamTrip(kFaultOpen))
        return error;
    Descriptor folder;
    std::string leaf;
    int error = OpenParent(root, relative, (flags & kOpenDirectory) != 0, folder, leaf);
    if (error != 0)
        return error;
    int oflags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
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
    int result;
    do {
        result = leaf.empty() ? openat(folder.Get(), ".", oflags, mode) : openat(folder.Get(), leaf.c_str(), oflags, mode);
    } while (result < 0 && errno == EINTR);
    if (result < 0)
        return errno;
    Descriptor opened(result);
    struct stat st;
    if (fstat(opened.Get(), &st) < 0)
        return errno;
    bool wanted = (flags & kOpenDirectory) ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode);
    if (!wanted)
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    // Regular files and folders ignore O_NONBLOCK; it only kept a planted FIFO from blocking.
    int status = fcntl(opened.Get(), F_GETFL);
    if (status >= 0)
        (void)fcntl(opened.Get(), F_SETFL, status & ~O_NONBLOCK);
    fd = opened.Release();
    return 0;
}

namespace {

// The shape of every call on one entry: the fault seam first, then the entry's parent folder
// opened beneath the root, then the operation on (parent descriptor, leaf name).
template <typename Operation>
int AtParent(FaultKind fault, const std::string& root, const std::string& relative, bool allowRoot, Operation operation)
{
    if (int error = FaultSeamTrip(fault))
        return error;
    Descriptor folder;
    std::string leaf;
    if (int error = OpenParent(root, relative, allowRoot, folder, leaf))
        return error;
    return operation(folder.Get(), leaf);
}

} // namespace

int StatBeneath(const std::string& root, const std::string& relative, FileInfo& info)
{
    return AtParent(kFaultStat, root, relative, true, [&](int folder, const std::string& leaf) {
        struct stat st;
        int result = leaf.empty() ? fstat(folder, &st) : fstatat(folder, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW);
        if (result < 0)
            return errno;
        FillInfo(st, info);
        return 0;
    });
}

int RenameBeneath(const std::string& root, const std::string& to, const std::string& from)
{
    if (int error = FaultSeamTrip(kFaultRename))
        return error;
    Descriptor fromFolder;
    Descriptor toFolder;
    std::string fromLeaf;
    std::string toLeaf;
    int error = OpenParent(root, from, false, fromFolder, fromLeaf);
    if (error == 0)
        error = OpenParent(root, to, false, toFolder, toLeaf);
    if (error != 0)
        return error;
    if (renameat2(fromFolder.Get(), fromLeaf.c_str(), toFolder.Get(), toLeaf.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    // The file system cannot rename without replacing: a hard link fails on an existing name.
    struct stat st;
    if (fstatat(fromFolder.Get(), fromLeaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) < 0)
        return errno;
    if (!S_ISDIR(st.st_mode)) {
        if (linkat(fromFolder.Get(), fromLeaf.c_str(), toFolder.Get(), toLeaf.c_str(), 0) < 0)
            return errno;
        if (unlinkat(fromFolder.Get(), fromLeaf.c_str(), 0) < 0) {
            int unlinkError = errno;
            unlinkat(toFolder.Get(), toLeaf.c_str(), 0);
            return unlinkError;
        }
        return 0;
    }
    if (fstatat(toFolder.Get(), toLeaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    if (errno != ENOENT)
        return errno;
    return ReturnErrno(renameat(fromFolder.Get(), fromLeaf.c_str(), toFolder.Get(), toLeaf.c_str()));
}

int UnlinkBeneath(const std::string& root, const std::string& relative)
{
    return AtParent(kFaultUnlink, root, relative, false, [&](int folder, const std::string& leaf) {
        return ReturnErrno(unlinkat(folder, leaf.c_str(), 0));
    });
}

int RemoveDirectoryBeneath(const std::string& root, const std::string& relative)
{
    return AtParent(kFaultRemoveDirectory, root, relative, false, [&](int folder, const std::string& leaf) {
        // A link to a folder is not a folder: rmdir of it would fail with ENOTDIR, which says so.
        return ReturnErrno(unlinkat(folder, leaf.c_str(), AT_REMOVEDIR));
    });
}

int MakeDirectoryBeneath(const std::string& root, const std::string& relative, unsigned mode)
{
    return AtParent(kFaultMakeDirectory, root, relative, false, [&](int folder, const std::string& leaf) {
        return ReturnErrno(mkdirat(folder, leaf.c_str(), mode));
    });
}

int ChangeModeBeneath(const std::string& root, const std::string& relative, unsigned mode)
{
    return AtParent(kFaultChangeMode, root, relative, false, [&](int folder, const std::string& leaf) {
        // The entry itself, by a descriptor that cannot be a link's target: O_PATH with O_NOFOLLOW
        // opens a link as itself, which is then refused.
        int result;
        do {
            result = openat(folder, leaf.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        } while (result < 0 && errno == EINTR);
        if (result < 0)
            return errno;
        Descriptor entry(result);
        struct stat st;
        if (fstat(entry.Get(), &st) < 0)
            return errno;
        if (S_ISLNK(st.st_mode))
            return ELOOP;
        // fchmod cannot take an O_PATH descriptor; the descriptor's own entry in /proc names
        // exactly the opened inode, so a swap of the name after the check changes nothing.
        std::string procPath = "/proc/self/fd/" + std::to_string(entry.Get());
        if (chmod(procPath.c_str(), mode) == 0)
            return 0;
        if (errno != ENOENT)
            return errno;
        // No /proc: fchmodat refusing links is the next best thing.
        int fallback = fchmodat(folder, leaf.c_str(), mode, AT_SYMLINK_NOFOLLOW);
        if (fallback < 0)
            return errno == EOPNOTSUPP || errno == ENOTSUP ? ELOOP : errno;
        return 0;
    });
}

int ListDirectoryBeneath(const std::string& root, const std::string& relative, std::vector<DirectoryEntry>& entries)
{
    entries.clear();
    return AtParent(kFaultListDirectory, root, relative, true, [&](int folder, const std::string& leaf) {
        int fd;
        do {
            fd = openat(folder, leaf.empty() ? "." : leaf.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            int openError = errno;
            struct stat st;
            if (openError == ENOTDIR && !leaf.empty() && fstatat(folder, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(st.st_mode))
                openError = ELOOP;
            return openError;
        }
        return ReadDirectoryEntries(fd, entries);
    });
}

} // namespace Platform
