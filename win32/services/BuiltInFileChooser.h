#pragma once

// The default file dialog service: a modal chooser window made of the layer's own controls.

#include "win32/services/FileDialogs.h"

namespace win32 {

class BuiltInFileChooser : public FileDialogService {
public:
    int OpenFiles(const FileDialogRequest& request, std::vector<std::string>& paths) override;
    int PickFolder(const FileDialogRequest& request, std::string& path) override;
};

} // namespace win32
