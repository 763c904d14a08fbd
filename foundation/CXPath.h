#pragma once

#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"
#include "foundation/CXStringEdit.h"

// Program paths: UTF-8 text with '/' as the only separator. "X:/..." is a drive path and "//host/
// share/..." a network path; both are absolute. A path carries no trailing '/' except on a root.
// None of these functions fails: a bad argument gives an empty string or false.

// path + '/' + component (one leading '/' of the component dropped; no '/' added to an empty
// path or one that ends with '/').
void AppendPathComponent(CXString& path, const CXStringArgument& component);
// The text after the last '/', or the whole path.
CXString GetPathLeafName(const CXString& path);
// Removes the leaf from the path and returns it; the path keeps its parent, and its separator
// unless the parent is a root.
CXString SplitPathLeafName(CXString& path);
// The text before the last '/' (a separator at index 0 stays: "/x" gives "/").
CXString GetParentPath(const CXString& path);
// Replaces or removes the leaf's extension; one leading '.' of the extension is skipped. A dot
// that starts a name below a folder ("a/.profile") starts no extension.
void SetPathExtension(CXString& path, const char* extension);
// The leaf's extension without the dot, ASCII lower-cased; empty when there is none.
CXString GetPathExtension(const CXString& path);
// True when the path ends in ".lnk" in any letter case.
bool IsShortcutPath(const CXString& path);
bool IsAbsolutePath(const CXString& path);
bool IsRootPath(const CXString& path);
// Removes every trailing '/' (roots are not protected).
void StripTrailingSlashes(CXString& path);
// Resolves "." and "..", drops empty parts, keeps the root; ".." never climbs above an absolute
// root. No '/' is left at the end except on a drive root "X:/" and on "//" alone ("//h/s/x/.."
// gives "//h/s"), and normalising the result again leaves it as it is.
void NormalizePath(CXString& path);
// The rest of path after base and a '/', when that is a byte-exact prefix; else empty.
CXString GetRelativePath(const CXString& path, const CXString& base);
// True when the path lies strictly below the folder (byte-exact).
bool IsPathInsideFolder(const CXString& path, const CXString& folder);
// "file:" URL of an absolute path, percent-encoded except '/'; empty for a relative path.
CXString PathToFileURL(const CXString& path);
// The text made usable as a file name on every file system the product may meet.
CXString MakeSafeFileName(const char* text);
// True for a reserved device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, also before an extension).
bool IsReservedDeviceName(const CXStringEditBase& name);

// The folder of the running executable, with development build folders stepped out of. The
// variable CX_APP_FOLDER (a host path) overrides it, so tests and tools can point the program at
// a folder that holds a "data" folder.
CXString GetApplicationFolder();
// The application folder for an executable path: its folder, with a development build folder
// ("build/msvs/Release" and the like, any letter case) stepped out of.
CXString GetApplicationFolderOf(const CXString& executablePath);
// The path of a file in the application's "data" folder: the application folder, "data", then
// the name, each joined with AppendPathComponent. A null or empty name gives the data folder
// itself. Never fails; whether the path exists is not tested.
CXString GetDataFolderFilepath(const char* name);
// Makes the application folder the current folder.
CXResultCode SetApplicationFolderCurrent();
