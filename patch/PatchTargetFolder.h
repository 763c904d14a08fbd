#pragma once

#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"
#include "platform/File.h"

class CXStreamFile;

// Every file operation a patch run makes in its target folder. Paths are absolute program paths
// that must lie below the target folder (a path that does not gives -12 and nothing is touched);
// each operation is resolved below the folder without following a symbolic link at any
// component, so a link planted inside the target can neither redirect a write nor a read to
// somewhere else (Platform's FileBeneath.h). The target folder itself is taken as it is.
class PatchTargetFolder {
public:
    // The target folder, '/' separators, no trailing '/'.
    void SetRoot(const CXString& targetPath);
    const CXString& GetRoot() const { return fRoot; }

    // The part of path below the root; empty when path is not strictly below it.
    CXString Relative(const CXString& path) const;

    // Something (a file, a folder, a link) is at the path. An error other than "not found" counts
    // as existing, so a path that cannot be checked is never taken for free.
    bool Exists(const CXString& path) const;
    // What is at the path; a link describes itself. -7 when nothing is there.
    CXResultCode Stat(const CXString& path, Platform::FileInfo& info) const;

    enum OpenKind {
        kOpenReading,   // an existing file, read only
        kOpenReadWrite, // read and write, created when missing
        kOpenCreateNew, // a new file; -13 when the path is taken
    };
    // Opens a regular file into the stream (which must be closed). New files get 0666 before the
    // umask.
    CXResultCode Open(const CXString& path, OpenKind kind, CXStreamFile& stream) const;

    // Moves source to destination (destination first); never replaces: -13 when the destination
    // exists.
    CXResultCode Move(const CXString& destination, const CXString& source) const;
    // Deletes a file, a link or an empty folder: -7 when nothing is there, -9 when busy, -10 for
    // a folder that cannot be removed (one that holds something).
    CXResultCode Delete(const CXString& path) const;
    // Makes one folder: -13 when something is there already.
    CXResultCode MakeDirectory(const CXString& path) const;
    // Sets the permission bits; a link is refused.
    CXResultCode SetMode(const CXString& path, uint32_t mode) const;
    // True when the folder at the path holds nothing; false with the failure otherwise.
    CXResultCode IsFolderEmpty(const CXString& path, bool& empty) const;
    // Makes the file's data, or a folder's entries, durable.
    CXResultCode Sync(const CXString& path) const;
    // Deletes everything inside the folder at the path (never following a link), not the folder.
    CXResultCode EmptyFolder(const CXString& path) const;

private:
    // The host form of the root, and the relative part of path; false (-12) when path is not
    // below the root.
    bool Resolve(const CXString& path, std::string& root, std::string& relative) const;

    CXString fRoot;
};
