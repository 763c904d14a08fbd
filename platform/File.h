#pragma once

// Thin wrappers over the host's file primitives. Every path is a host path; every call retries
// EINTR, opens descriptors close-on-exec, and returns 0 or the errno value of the failure (the
// caller turns it into a result code). Every call also passes the fault seam below, so tests can
// make any primitive fail.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Platform {

enum OpenFlags : unsigned {
    kOpenRead = 0x1,
    kOpenWrite = 0x2,       // read and write access
    kOpenCreate = 0x4,      // create when missing
    kOpenTruncate = 0x8,    // cut to 0 bytes
    kOpenExclusive = 0x10,  // create, failing with EEXIST when the path exists
    kOpenDirectory = 0x20,  // open a folder (for syncing it)
    kOpenNoFollow = 0x40,   // fail with ELOOP when the path is a symbolic link
    kOpenNonBlock = 0x80,   // never block on opening (a FIFO planted at the path)
};

// Opens a file; fd is -1 on failure. New files get mode (before the umask).
int OpenFile(const std::string& path, unsigned flags, unsigned mode, int& fd);
// One read; fewer bytes than asked (0 at the end) is not an error.
int ReadFile(int fd, void* buffer, size_t size, size_t& bytesRead);
// Writes all bytes unless a call fails; written counts what reached the file either way.
int WriteFile(int fd, const void* data, size_t size, size_t& written);
// The same at an absolute offset, leaving the descriptor's own position alone (pread/pwrite), for
// callers that keep the position themselves and so need no seek per call.
int ReadFileAt(int fd, void* buffer, size_t size, int64_t offset, size_t& bytesRead);
int WriteFileAt(int fd, const void* data, size_t size, int64_t offset, size_t& written);
enum SeekFrom { kSeekSet = 0, kSeekCurrent = 1, kSeekEnd = 2 };
int SeekFile(int fd, int64_t offset, SeekFrom from, int64_t& position);
int TruncateFile(int fd, uint64_t size);
// Makes the file's data and size durable.
int SyncFile(int fd);
int CloseFile(int fd);

struct FileInfo {
    uint64_t size = 0;
    uint32_t mode = 0; // permission bits (07777)
    bool isFile = false;
    bool isDirectory = false;
    bool isLink = false;
    int64_t modifiedSeconds = 0;
    uint32_t modifiedNanoseconds = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t links = 0;
};
// stat (follows links), lstat (a link describes itself), fstat.
int StatPath(const std::string& path, FileInfo& info);
int LinkStatPath(const std::string& path, FileInfo& info);
int StatFile(int fd, FileInfo& info);

// Moves from to to without ever replacing an existing to (EEXIST then). Where the file system
// cannot rename without replacing, a file is linked and unlinked and a folder renamed after a
// check.
int RenameNoReplace(const std::string& from, const std::string& to);
// Moves from to to, atomically replacing a file at to.
int RenameReplace(const std::string& from, const std::string& to);
int UnlinkPath(const std::string& path);
int MakeDirectory(const std::string& path, unsigned mode);
// Makes a folder and every missing parent; 0 when the folder exists afterwards. With an owner
// (uid, gid), each folder made here is given to that user (the link itself, should one have been
// swapped in, never what it points to).
int MakeDirectoryPath(const std::string& path, unsigned mode);
int MakeDirectoryPathOwnedBy(const std::string& path, unsigned mode, uint32_t uid, uint32_t gid);
int RemoveDirectory(const std::string& path);
// Sets the permission bits of what is at the path; a symbolic link is refused (ELOOP), never
// followed, so a link planted in a folder cannot redirect the change.
int ChangeMode(const std::string& path, unsigned mode);

struct DirectoryEntry {
    std::string name;
    bool isDirectory = false; // from lstat: a link to a folder is not a folder
    bool isLink = false;
    uint64_t size = 0; // from lstat: a link's own size
};
// The entries of a folder, "." and ".." left out, in no particular order.
int ListDirectory(const std::string& path, std::vector<DirectoryEntry>& entries);

// Deletes everything inside a folder, not the folder itself, without ever following a link: the
// walk goes by folder descriptors (each opened with O_NOFOLLOW | O_DIRECTORY relative to its
// parent) and removes entries with unlinkat, so a link is removed itself and a tree that changes
// during the walk cannot lead it outside the folder. A failing entry is reported through
// onFailure (its path relative to the folder, the errno, whether it is a folder) and the walk goes
// on. Returns 0, or the errno of opening the folder itself (ELOOP or ENOTDIR for a link or a file),
// or EACCES without touching anything for a protected folder (IsProtectedHostFolder: "/", a mapped
// drive's folder, the user's home or data home).
using RemoveFailure = void (*)(void* context, const std::string& relativePath, int error, bool isDirectory);
int RemoveFolderContents(const std::string& path, RemoveFailure onFailure, void* context);

// The fault seam, for tests: the Nth call (1 = the next) of a primitive fails with the error, or
// for kFaultWrite with shortBy > 0 writes that many bytes fewer and then fails with the error.
enum FaultKind {
    kFaultOpen,
    kFaultRead,
    kFaultWrite,
    kFaultSeek,
    kFaultTruncate,
    kFaultSync,
    kFaultClose,
    kFaultStat,
    kFaultRename,
    kFaultUnlink,
    kFaultMakeDirectory,
    kFaultRemoveDirectory,
    kFaultChangeMode,
    kFaultListDirectory,
    kFaultKindCount
};
void ArmFault(FaultKind kind, int nth, int error, size_t shortBy = 0);
void ClearFaults();
// How many calls of a kind passed the seam since the last ClearFaults.
int FaultSeamCalls(FaultKind kind);

// An action run at the Nth call (1 = the next) counted over every kind, before that call does
// anything; the call then goes on as usual (or fails when a fault is armed for it). An nth of 0
// only starts the counting. The action runs on the calling thread with no lock of the seam held,
// so it may call the primitives itself (uncounted by nothing: they count as further calls).
using FaultSeamAction = void (*)(void* context);
void ArmFaultAction(int nth, FaultSeamAction action, void* context);
// How many calls of every kind passed the seam since the last ClearFaults.
int FaultSeamTotalCalls();
// The action that ends the process at once with SIGKILL, as a crash or a power cut would: no
// destructor, buffer flush or exit handler runs.
void KillProcessAction(void* context);

} // namespace Platform
