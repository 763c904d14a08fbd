#pragma once

#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"

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

    // The program path of the running executable, or empty when it cannot be read.
    static CXString GetExecutablePath();
    // Makes the folder the process's current folder.
    static CXResultCode SetCurrentDirectory(const CXString& path);
};
