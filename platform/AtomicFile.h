// Whole-file reads with a size bound, and whole-file writes that replace a file atomically (write a
// temporary file beside it, sync, rename). A crash can leave the temporary file behind, never a
// torn file; the next write of the same file removes what writers that died left.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Platform {

// Reads the whole file into text. Returns 0 or the errno value; a file longer than limit gives
// EFBIG with its first limit bytes in text.
int ReadWholeFile(const std::string& path, size_t limit, std::string& text);
// The same from an open descriptor (read from its position to the end; it stays open).
int ReadWholeFile(int fd, size_t limit, std::string& text);

// The name of the temporary file WriteFileAtomically writes first: path + ".tmp-" + the process id
// + "-" + a number unique to the call within the process.
std::string AtomicTemporaryName(const std::string& path);
// True when name (a leaf name) is exactly one of the temporary names of the file whose leaf is
// leaf: both numbers decimal, without leading zeros, the process id a positive pid_t. On true, pid
// is the id of the process that wrote it.
bool IsAtomicTemporaryName(std::string_view name, std::string_view leaf, long& pid);

// Removes, from the folder of path, the temporary files that writers of path left when they died:
// names of exactly the temporary pattern of path whose process no longer exists. A file of a live
// process (or of a process that took a dead one's id) stays; links and folders are never touched.
// Failures are ignored.
void RemoveAtomicLeftovers(const std::string& path);

// Replaces path with a file holding text, created with mode (before the umask), after removing
// the leftovers of dead writers of path (RemoveAtomicLeftovers). The temporary file is synced
// before the rename and the folder after it. When giveToUid is not -1 the new file is given to
// that user and group first (an elevated process writing for a user). On failure the temporary
// file is removed and path is left as it was. Returns 0 or the errno value.
int WriteFileAtomically(const std::string& path, std::string_view text, unsigned mode, long long giveToUid = -1,
                        long long giveToGid = -1);

} // namespace Platform
