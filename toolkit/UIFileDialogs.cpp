#include "toolkit/UIFileDialogs.h"

#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXSafePointer.h"
#include "patch/CXFileNavOpen.h"
#include "toolkit/CXUIWindow.h"
#include "win32/services/FileDialogs.h"

#include <string>

namespace {

bool sInstalled = false;
CXFileNavOpen::AnswerProvider sReplaced;

std::string Bytes(const CXString& text)
{
    return std::string(text.c_str(), text.length());
}

// The patterns' name ("*.bin, *.txt") and the patterns themselves ("*.bin;*.txt"); all files
// when there are none.
void DescribePatterns(const std::vector<CXString>& patterns, win32::FileDialogRequest& request)
{
    if (patterns.empty()) {
        request.description = "All Files";
        return;
    }
    for (size_t i = 0; i < patterns.size(); ++i) {
        if (i != 0) {
            request.description += ", ";
            request.patterns += ';';
        }
        request.description += Bytes(patterns[i]);
        request.patterns += Bytes(patterns[i]);
    }
}

win32::FileDialogRequest MakeRequest(const CXFileNavOpen& dialog, CXUIWindow* owner)
{
    win32::FileDialogRequest request;
    request.owner = owner != nullptr ? owner->GetNativeHandle() : nullptr;
    request.title = Bytes(dialog.GetDialogTitle());
    DescribePatterns(dialog.filters, request);
    if (!dialog.GetInitialFolder().IsEmpty())
        request.startFolder = Bytes(CXFileSystem::ToNativePath(dialog.GetInitialFolder()));
    request.multiple = dialog.allowMultiple;
    request.keepShortcuts = dialog.keepShortcuts;
    return request;
}

// Host paths to program paths; a path with no program form is logged by the conversion and left
// out.
void AddProgramPath(const std::string& host, std::vector<CXString>& paths)
{
    CXString path = CXFileSystem::FromNativePath(CXStringArgument(host.data(), host.size()));
    if (!path.IsEmpty())
        paths.push_back(path);
}

} // namespace

void UIFileDialogs::Install()
{
    if (sInstalled)
        return;
    sInstalled = true;
    sReplaced = CXFileNavOpen::SetAnswerProvider(&UIFileDialogs::Answer);
}

void UIFileDialogs::Uninstall()
{
    if (!sInstalled)
        return;
    sInstalled = false;
    CXFileNavOpen::SetAnswerProvider(std::move(sReplaced));
    sReplaced = nullptr;
}

std::vector<CXString> UIFileDialogs::Answer(const CXFileNavOpen& dialog)
{
    // The owner may be destroyed while the dialog runs (its own nested loop dispatches everything).
    CXSafePointer<CXUIWindow> owner = CXUIWindow::GetFrontWindow(false);
    win32::FileDialogRequest request = MakeRequest(dialog, owner.get());
    win32::FileDialogService& service = win32::GetFileDialogService();

    // The dialog never disables its owner itself: the count does, so that a sheet or a modal
    // window that holds the owner disabled too keeps it so after the dialog.
    if (owner)
        owner->RaiseModalDisable();
    std::vector<std::string> chosen;
    int result;
    if (dialog.chooseFolders) {
        std::string folder;
        result = service.PickFolder(request, folder);
        if (result == win32::kFileDialogChosen)
            chosen.push_back(std::move(folder));
    } else {
        result = service.OpenFiles(request, chosen);
    }
    if (owner)
        owner->LowerModalDisable();

    std::vector<CXString> paths;
    if (result == win32::kFileDialogFailed)
        CXDebugLog("UIFileDialogs::Answer> the dialog '%s' failed", request.title.c_str());
    if (result != win32::kFileDialogChosen)
        return paths;
    for (const std::string& host : chosen)
        AddProgramPath(host, paths);
    return paths;
}
