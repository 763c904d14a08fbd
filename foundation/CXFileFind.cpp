#include "foundation/CXFileFind.h"

#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXPath.h"
#include "platform/File.h"

CXResultCode CXFileFind::Open(const CXString& folder)
{
    Close();
    CXString native = CXFileSystem::ToNativePath(folder);
    std::vector<Platform::DirectoryEntry> entries;
    if (native.IsEmpty() || Platform::ListDirectory(std::string(native.c_str(), native.length()), entries) != 0)
        return kCXNotFound;
    for (Platform::DirectoryEntry& entry : entries)
        fEntries.push_back(Entry{std::move(entry.name), entry.isDirectory, entry.size});
    fFolder = folder;
    fIndex = 0;
    return kCXOK;
}

void CXFileFind::FindNext()
{
    if (fIndex < fEntries.size())
        ++fIndex;
    if (fIndex >= fEntries.size())
        Close();
}

bool CXFileFind::IsFileADirectory() const
{
    if (!IsOpen()) {
        CXDebugError("CXFileFind::IsFileADirectory> not open");
        return false;
    }
    return fEntries[fIndex].isDirectory;
}

CXString CXFileFind::GetFilePath() const
{
    if (!IsOpen()) {
        CXDebugError("CXFileFind::GetFilePath> not open");
        return CXString();
    }
    CXString path = fFolder;
    AppendPathComponent(path, CXStringArgument(fEntries[fIndex].name.data(), fEntries[fIndex].name.size()));
    return path;
}

CXString CXFileFind::GetFileName() const
{
    if (!IsOpen())
        return CXString();
    return CXString(fEntries[fIndex].name.data(), fEntries[fIndex].name.size());
}

void CXFileFind::Close()
{
    fEntries.clear();
    fIndex = 0;
    fFolder.Clear();
}
