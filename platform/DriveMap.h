#pragma once

// The drive map: how program paths with drive letters ("C:/Games/x") and network roots
// ("//host/share/x") correspond to host (POSIX) paths.
//
// - Z: is / unless remapped.
// - C: is a folder in the user's data home ($XDG_DATA_HOME, else ~/.local/share, then
//   "patch-installer/drive_c"), made when first used, unless remapped.
// - Any letter X is remapped by the variable CX_DRIVE_X (a host folder; an empty value unmaps it).
// - Network paths have no host form unless CX_UNC_ROOT names a folder: //host/share/x is then
//   CX_UNC_ROOT/host/share/x.
// The map is read from the environment on first use; ReloadDriveMap reads it again.

#include <string>
#include <string_view>

namespace Platform {

// Converts a program path to its host form. Relative paths are returned unchanged; "X:" and
// "X:name" (relative to a drive's current folder, which the host has not) have no host form. "." and ".."
// parts below a mapped root are resolved by text, and a ".." may not climb above the root. Returns
// false (host left empty) when the path has no host form: an unmapped drive letter or network
// root, a climb above the root, or a NUL byte anywhere.
bool ProgramToHostPath(std::string_view programPath, std::string& hostPath);

// Converts a host path to its program form. An absolute host path has its "." and ".." parts
// resolved by text, then takes the drive letter whose mapped root is the longest prefix of it; a relative path is returned unchanged (a back-slash in
// a POSIX name stays an ordinary character). The Windows long-path forms "\\?\" and "\\?\UNC\"
// are stripped when met, and the rest of such a text has its back-slashes turned into '/'.
// Returns false (program path left empty) for an absolute path under no mapped root.
bool HostToProgramPath(std::string_view hostPath, std::string& programPath);

// Resolves "." and ".." parts and repeated '/' of an absolute host path by text ("/a/b/../c" is
// "/a/c"; "/.." is "/"); a trailing '/' is kept. A relative path is returned unchanged.
std::string LexicalHostPath(std::string_view hostPath);

// True when removing the folder a host path names would remove a place the program must never
// empty as a whole: "/", the folder of a mapped drive or of the network root, the user's home or
// data home. Compared by text and, unless the path is itself a link, by the place it resolves to.
bool IsProtectedHostFolder(std::string_view hostPath);

// The host folder a letter maps to (upper or lower case), or empty when unmapped.
std::string DriveRoot(char letter);

// Reads the drive-map variables again (tests change them).
void ReloadDriveMap();

} // namespace Platform
