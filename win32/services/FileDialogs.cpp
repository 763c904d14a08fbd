#include "win32/services/FileDialogs.h"

#include "win32/services/BuiltInFileChooser.h"

namespace win32 {

namespace {

FileDialogService& BuiltInService()
{
    static BuiltInFileChooser chooser;
    return chooser;
}

FileDialogService* gService = nullptr;

} // namespace

FileDialogService* SetFileDialogService(FileDialogService* service)
{
    FileDialogService* previous = &GetFileDialogService();
    gService = service;
    return previous;
}

FileDialogService& GetFileDialogService()
{
    return gService != nullptr ? *gService : BuiltInService();
}

} // namespace win32
