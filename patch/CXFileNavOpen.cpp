#include "patch/CXFileNavOpen.h"

#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXMutex.h"
#include "foundation/CXPath.h"

namespace {

CXMutex& ProviderLock()
{
    static CXMutex* lock = new CXMutex;
    return *lock;
}

CXFileNavOpen::AnswerProvider& Provider()
{
    static CXFileNavOpen::AnswerProvider* provider = new CXFileNavOpen::AnswerProvider;
    return *provider;
}

} // namespace

void CXFileNavOpen::SetInitialFolder(const CXString& path)
{
    CXString folder = path;
    NormalizePath(folder);
    while (!folder.IsEmpty()) {
        if (CXFileSystem::IsDirectory(folder)) {
            fInitialFolder = folder;
            return;
        }
        CXString parent = GetParentPath(folder);
        if (parent == folder)
            break;
        folder = parent;
    }
    fInitialFolder.Clear();
}

CXString CXFileNavOpen::GetDialogTitle() const
{
    if (!title.IsEmpty())
        return title;
    return chooseFolders ? CXString("Select a Folder") : CXString("Open");
}

void CXFileNavOpen::Exec()
{
    fSelected.clear();
    // The dialogs choose either files or a folder, never both: a folder is asked for then.
    if (chooseFolders && chooseFiles)
        CXDebugLog("CXFileNavOpen::Exec> win32 code doesn't currently support selecting files&folders");
    else if (!chooseFolders && !chooseFiles)
        CXDebugLog("CXFileNavOpen::Exec> invalid options");
    AnswerProvider provider;
    {
        CXMutexLocker lock(&ProviderLock());
        provider = Provider();
    }
    if (!provider) {
        CXDebugLog("CXFileNavOpen::Exec> no dialog available: nothing chosen for '%s'", GetDialogTitle().c_str());
        return;
    }
    fSelected = provider(*this);
}

CXString CXFileNavOpen::GetPath() const
{
    return fSelected.empty() ? CXString() : fSelected.front();
}

CXFileNavOpen::AnswerProvider CXFileNavOpen::SetAnswerProvider(AnswerProvider provider)
{
    CXMutexLocker lock(&ProviderLock());
    AnswerProvider previous = std::move(Provider());
    Provider() = std::move(provider);
    return previous;
}
