#pragma once

// Private to the built-in file chooser: what it shows of a folder, and the little path arithmetic
// it does on host paths (bytes, '/' separated, absolute). Names keep the bytes the file system
// holds; only their display goes through UTF-16.

#include <string>
#include <vector>

namespace win32::services {

struct ChooserEntry {
    // Host bytes; ".." for the parent folder.
    std::string name;
    bool isFolder = false;
};

// Whether name matches one of the ';'-separated patterns ('*' any run of bytes, '?' one byte;
// blanks around a pattern ignored), ASCII letters in either case. No pattern matches everything.
bool MatchesPatterns(const std::string& name, const std::string& patterns);

// The rows of a folder: ".." first (not at "/"), then its folders, then (unless foldersOnly) its
// files matching the patterns, each group sorted by name without ASCII case. A link counts as what
// it points at; a dangling one is left out. Returns 0, or the errno of reading the folder (entries
// then empty).
int ReadChooserFolder(const std::string& folder, const std::string& patterns, bool foldersOnly,
                      std::vector<ChooserEntry>& entries);

std::string JoinHostPath(const std::string& folder, const std::string& name);
// The folder above path; "/" stays "/".
std::string ParentHostPath(const std::string& path);
// An absolute typed path as it is, a relative one under folder; "." and ".." steps and repeated
// '/' are folded by the text alone (".." never climbs above "/").
std::string ResolveHostPath(const std::string& folder, const std::string& typed);
// An existing folder (a link to one too).
bool IsHostFolder(const std::string& path);
bool IsHostFile(const std::string& path);
// Where the chooser opens: the start folder or its nearest existing ancestor, or (for none or a
// relative one) the user's home, else "/".
std::string StartingFolder(const std::string& startFolder);

// Bytes shown as UTF-16: UTF-8 decoded, each byte that starts no valid sequence shown as U+FFFD.
std::u16string DisplayText(const std::string& bytes);
// Typed UTF-16 as UTF-8 bytes; a lone surrogate becomes U+FFFD.
std::string HostBytes(const std::u16string& text);

} // namespace win32::services
