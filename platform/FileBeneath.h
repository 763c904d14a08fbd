#pragma once

// File primitives that stay inside one folder. Each call takes the host path of a root folder and
// a path relative to it ('/' separators; no leading '/', no empty, "." or ".." component, no NUL:
// EINVAL otherwise) and never follows a symbolic link below the root: a link met at any component
// gives ELOOP, also the last one, which is acted on as itself only by stat, unlink and rename. The
// root itself is opened as given. The folders on the way are resolved with openat2
// (RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS), or where the kernel lacks it by a walk that opens one
// component at a time with O_NOFOLLOW. Results are 0 or the errno value; every call passes the
// fault seam of File.h under the kind of its primitive.

#include "platform/File.h"

#include <string>
#include <vector>

namespace Platform {

// Opens a file (or with kOpenDirectory a folder; an empty relative path is then the root) with
// the OpenFlags of File.h. Only a regular file or a folder is opened: anything else (a FIFO, a
// device) gives EINVAL without blocking. New files get mode (before the umask).
int OpenBeneath(const std::string& root, const std::string& relative, unsigned flags, unsigned mode, int& fd);
// lstat of the path: a link at the last component describes itself. An empty relative path is
// the root.
int StatBeneath(const std::string& root, const std::string& relative, FileInfo& info);
// Moves from to to, both below the root, never replacing an existing to (EEXIST).
int RenameBeneath(const std::string& root, const std::string& to, const std::string& from);
// Removes a file or a link (the link itself).
int UnlinkBeneath(const std::string& root, const std::string& relative);
// Removes an empty folder (ENOTEMPTY otherwise).
int RemoveDirectoryBeneath(const std::string& root, const std::string& relative);
int MakeDirectoryBeneath(const std::string& root, const std::string& relative, unsigned mode);
// Sets the permission bits; a link at the last component gives ELOOP.
int ChangeModeBeneath(const std::string& root, const std::string& relative, unsigned mode);
// The entries of a folder ("." and ".." left out); an empty relative path is the root.
int ListDirectoryBeneath(const std::string& root, const std::string& relative, std::vector<DirectoryEntry>& entries);

// Test seam: true makes every call resolve by the component walk, as on a kernel without openat2.
void SetBeneathWalkForTesting(bool walk);

} // namespace Platform
