#pragma once

// The fault seam of File.h, and the folder reading of its listings, for the other files of the host
// layer whose primitives pass the seam too.

#include "platform/File.h"

#include <sys/stat.h>
#include <vector>

namespace Platform {

// Counts one call of the kind; returns the armed error when this is the call to fail, else 0.
int FaultSeamTrip(FaultKind kind);

// Reads the entries of an open folder ("." and ".." left out; kind and size from lstat, so a link
// is itself), appending them; takes over and closes the descriptor. Returns 0 or the errno.
int ReadDirectoryEntries(int fd, std::vector<DirectoryEntry>& entries);

// Fills what the host layer reports of a file from an lstat/fstat record.
void FillInfo(const struct stat& st, FileInfo& info);

} // namespace Platform
