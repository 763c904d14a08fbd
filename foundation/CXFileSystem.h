#pragma once

#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"

#include <cstdint>
#include <vector>

// One mount point of a volume.
struct CXVolumeInfo {
    CXString mountPath; // program path with its trailing '/'
    bool writable = false;
    bool removable = false;
    bool hotPlug = false;
    CXString fileSystemName; // lower-case
    CXString label;
    uint64_t totalBytes = 0;
    uint64_t freeBytes = 0; // of the volume, not the caller's quota
    uint64_t availableBytes = 0; // what an unprivileged process may use
};

// File-system operations on program paths ('/' separators, drive letters). The host ("native")
// form of a path is a POSIX path, reached through the drive map of the host layer.
class CXFileSystem {
public:
    // The host form of a program path. "." and ".." are passed through below a mapped root but may
    // not climb above it. A path with no host form (an unmapped drive or network root, a climb
    // above the root) is logged and gives the empty string; every file operation on it then
    // fails with kCXNotFound. An empty path gives an empty result.
    static CXString ToNativePath(const CXString& path);
    // The program form of a host path: absolute host paths gain the drive letter of the longest
    // mapped root that holds them; relative ones are unchanged. The Windows long-path prefixes
    // are stripped when met. A host path under no mapped root is logged and gives empty.
    static CXString FromNativePath(const CXStringArgument& nativePath);
    // The same conversions with the host form as UTF-16 text (a UTF-16 holder, see
    // CXTextEncoding.h), for callers that hand paths to interfaces taking wide text.
    static CXString ToNativePathW(const CXString& path);
    static CXString FromNativePathW(const char16_t* nativePath);

    // True when something (a file, a folder, a link) is at the path. Not-found errors give false;
    // any other error is logged and counts as existing.
    static bool Exists(const CXString& path);
    // A folder is at the path (a link to a folder is not).
    static bool IsDirectory(const CXString& path);
    // Makes one folder level: kCXAlreadyExists, kCXBadParameter (name too long), kCXNoResources
    // (disk full), other failures logged as kCXAccessDenied.
    static CXResultCode MakeDirectory(const CXString& path);
    // Moves source to destination (destination first). Never replaces: an existing destination
    // gives kCXAlreadyExists and both stay.
    static CXResultCode Move(const CXString& destination, const CXString& source);
    // Deletes a file, a link or an empty folder: kCXNotFound when nothing is there, kCXAccessDenied
    // (logged) for a folder that cannot be removed, kCXBusy for a busy file.
    static CXResultCode Delete(const CXString& path);
    // Deletes a file without the existence and folder tests.
    static CXResultCode DeletePlainFile(const CXString& path);
    // Deletes a folder and everything in it, depth first, without ever following a link (a link
    // is removed itself) and without ever touching anything outside the folder. A root, an empty
    // path or a path that still climbs with ".." is refused with kCXAccessDenied. A failing entry
    // does not stop the walk: the result is success when the folder itself went, else the first
    // failure below it, else the folder's own failure.
    static CXResultCode DeleteRecursive(const char* path);
    // Copies a folder tree (destination first). An existing destination folder is accepted; an
    // existing destination file ends the copy with kCXAlreadyExists; what was copied stays.
    static CXResultCode CopyFolder(const CXString& destination, const CXString& source, bool copyPermissions);
    // Copies a file (destination first). kCXAlreadyExists when the destination exists (it is left
    // untouched); a failed copy deletes the partial destination.
    static CXResultCode CopyFile(const CXString& destination, const CXString& source, bool copyPermissions);
    // Makes a new empty file in the folder: the wanted name made safe, else generated names
    // "temp-..." with the same extension. Returns its path, or empty after 1000 tries or for an
    // empty folder. The file is created exclusively: no other caller gets the same one.
    static CXString CreateUniqueFileName(const CXString& folder, const CXString& name);
    // The local application-data folder joined with the sub-path, created (one level) when
    // missing; empty when the folder is not known.
    static CXString GetLocalAppDataFolder(const CXString& subPath);
    // The temporary folder, ending with '/'.
    static CXString GetTempFolder();

    // Permission strings: empty (nothing to set), "w32acl:" and a security descriptor (SDDL; on
    // this host the owner/group/everyone subset that maps onto mode bits), or "win32:" and
    // anything (accepted and ignored). Another form gives kCXBadParameter, a descriptor outside
    // the subset kCXNotSupported.
    static CXResultCode SetFilePermissions(const CXString& path, const CXString& permissions);
    // The path's permissions as "w32acl:" and SDDL built from its mode bits.
    static CXResultCode GetFilePermissions(const CXString& path, CXString& permissions);

    // Mounted volumes, one record per mount point; a removable one without a medium is left out.
    static void CollectVolumes(std::vector<CXVolumeInfo>& volumes);
    // The mount path (with its trailing '/') of the volume that holds an absolute path; the
    // deepest mount wins. Empty when none holds it.
    static CXString GetVolumeMountPath(const CXString& path);

    // Makes a shortcut to the target at the path, ".lnk" added or put in place of another
    // extension. On this host the file holds a desktop entry that launches the target.
    static CXResultCode CreateShortcut(const CXString& path, const CXString& target);

    // Replaces file by newFile through the backup file + ".abku"; on failure the old file is put
    // back and newFile deleted.
    static CXResultCode SafeReplaceFile(const CXString& file, const CXString& newFile);
    // After an interrupted replace (file missing, backup present) moves the backup back.
    static CXResultCode RecoverSafeReplace(const CXString& file);

    // The program path of the running executable, or empty when it cannot be read.
    static CXString GetExecutablePath();
    // Makes the folder the process's current folder.
    static CXResultCode SetCurrentDirectory(const CXString& path);
};
