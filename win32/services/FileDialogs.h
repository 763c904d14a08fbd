#pragma once

// The file dialogs: asking the user for existing files or for a folder. Every request goes to the
// installed FileDialogService, which runs modally on the UI thread and returns when the user has
// chosen or cancelled. The default service is the built-in chooser made of the layer's own
// controls (BuiltInFileChooser.h); tests install a scripted one (win32/testing).
//
// Paths are host paths in bytes, normally UTF-8: a name that is not UTF-8 comes back with the very
// bytes the file system holds.

#include "win32/api/Types.h"

#include <string>
#include <vector>

namespace win32 {

struct FileDialogRequest {
    // The window the dialog belongs to (it stays disabled while the dialog runs); may be null.
    HWND owner = nullptr;
    // UTF-8; the caller supplies the default title when it has none of its own.
    std::string title;
    // What the patterns are called, shown beside the list ("*.bin, *.txt"); UTF-8.
    std::string description;
    // The name patterns separated by ';' ("*.bin;*.txt"), matched without ASCII case; empty for
    // all files. Folder requests ignore them.
    std::string patterns;
    // The folder the dialog opens at; empty for the dialog's own default.
    std::string startFolder;
    // Several files may be chosen.
    bool multiple = false;
    // Links are returned themselves rather than what they point at.
    bool keepShortcuts = false;
};

// The results of OpenFiles and PickFolder.
enum : int {
    kFileDialogChosen = 0,
    kFileDialogCancelled = 1,
    kFileDialogFailed = -1,
};

class FileDialogService {
public:
    virtual ~FileDialogService() = default;

    // Asks for one or (with multiple) several existing files. kFileDialogChosen with at least one
    // path in paths; otherwise paths is left empty.
    virtual int OpenFiles(const FileDialogRequest& request, std::vector<std::string>& paths) = 0;
    // Asks for a folder. kFileDialogChosen with the folder in path; otherwise path is left empty.
    virtual int PickFolder(const FileDialogRequest& request, std::string& path) = 0;
};

// Installs the service every later request goes to (borrowed: it must outlive its installation);
// null puts the built-in chooser back. Returns the service it replaces (never null). UI thread.
FileDialogService* SetFileDialogService(FileDialogService* service);
// The installed service.
FileDialogService& GetFileDialogService();

} // namespace win32
