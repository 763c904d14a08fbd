#include "win32/services/BuiltInFileChooser.h"

namespace win32 {

// Placeholder until the chooser window exists: every request fails.
int BuiltInFileChooser::OpenFiles(const FileDialogRequest&, std::vector<std::string>& paths)
{
    paths.clear();
    return kFileDialogFailed;
}

int BuiltInFileChooser::PickFolder(const FileDialogRequest&, std::string& path)
{
    path.clear();
    return kFileDialogFailed;
}

} // namespace win32
