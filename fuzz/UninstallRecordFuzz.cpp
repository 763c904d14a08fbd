// Feeds arbitrary bytes to the uninstall-record reader as the file "uninstall.dat", written into
// a scratch folder made once under /tmp, and checks every entry the way an uninstall does before
// deleting anything. Nothing may crash or be deleted; the entries read survive being written
// and read again, and an entry taken for removal is a ".lnk" path without "." or ".." parts.
#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "patch/UninstallRecord.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string gFolder; // host path of the scratch folder

void Put(const std::string& path, const void* data, size_t size)
{
    // A new file each time: rewriting one in place makes the file system flush it on close.
    (void)unlink(path.c_str());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || (size && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0)
        std::abort();
}

bool EndsWith(const CXString& text, const char* tail)
{
    size_t n = std::strlen(tail);
    return text.length() >= n && std::memcmp(text.c_str() + text.length() - n, tail, n) == 0;
}

// Leaves nothing behind when the fuzzer ends.
void RemoveScratch()
{
    for (const char* leaf : {"uninstall.dat"})
        (void)unlink((gFolder + "/" + leaf).c_str());
    (void)rmdir(gFolder.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CXDebugSetBreakEnabled(false);
    char folder[] = "/tmp/uninstall-record-fuzz-XXXXXX";
    if (!mkdtemp(folder))
        std::abort();
    gFolder = folder;
    std::atexit(RemoveScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CXDebugCapture quiet;

    const std::string path = gFolder + "/uninstall.dat";
    Put(path, data, size);
    const CXString recordPath = CXFileSystem::FromNativePath(path.c_str());
    std::vector<CXString> entries;
    if (!ReadUninstallRecord(recordPath, entries))
        return 0;

    for (const CXString& entry : entries) {
        CXString removable;
        if (!IsRemovableShortcutEntry(entry, removable))
            continue;
        if (!EndsWith(removable, ".lnk") || std::strstr(removable.c_str(), "/../") || std::strstr(removable.c_str(), "/./"))
            std::abort();
    }

    std::string bytes = FormatUninstallRecord(entries);
    Put(path, bytes.data(), bytes.size());
    std::vector<CXString> again;
    if (!ReadUninstallRecord(recordPath, again) || again.size() != entries.size())
        std::abort();
    for (size_t i = 0; i < entries.size(); ++i)
        if (!(again[i] == entries[i]))
            std::abort();
    return 0;
}
