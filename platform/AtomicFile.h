// Whole-file reads with a size bound, and whole-file writes that replace a file atomically (write a
// temporary file beside it, sync, rename). A crash can leave the temporary file behind, never a torn file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Platform {

// Reads the whole file into text. Returns 0 or the errno value; a file longer than limit gives
// EFBIG with its first limit bytes in text.
int ReadWholeFile(const std::string& path, size_t limit, std::string& text);

// The name of the temporary file WriteFileAtomically writes first: path + ".tmp-" + a part unique
// to the process and the call.
std::string AtomicTemporaryName(const std::string& path);
// True when name (a leaf name) is one of the temporary names of the file whose leaf is leaf.
bool IsAtomicTemporaryName(std::string_view name, std::string_view leaf);

// Replaces path with a file holding text, created with mode (before the umask). The temporary file
// is synced before the rename and the folder after it. When giveToUid is not -1 the new file is
// given to that user and group first (an elevated process writing for a user). On failure the
// temporary file is removed and path is left as it was. Returns 0 or the errno value.
int WriteFileAtomically(const std::string& path, std::string_view text, unsigned mode, long long giveToUid = -1,
                        long long giveToGid = -1);

} // namespace Platform
