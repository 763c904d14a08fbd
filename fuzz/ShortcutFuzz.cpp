// Feeds arbitrary bytes to the desktop-entry reader as a shortcut file, written into a scratch
// folder made once under /tmp, and splits its Exec value as the shortcut check does; the input is
// also split as an Exec value itself. Nothing may crash.
#include "platform/Shortcut.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

std::string gFolder; // the scratch folder

void Split(std::string_view exec)
{
    std::vector<std::string> arguments;
    (void)Platform::SplitExecLine(exec, arguments);
}

// Leaves nothing behind when the fuzzer ends.
void RemoveScratch()
{
    for (const char* leaf : {"entry.desktop"})
        (void)unlink((gFolder + "/" + leaf).c_str());
    (void)rmdir(gFolder.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char folder[] = "/tmp/shortcut-fuzz-XXXXXX";
    if (!mkdtemp(folder))
        std::abort();
    gFolder = folder;
    std::atexit(RemoveScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = gFolder + "/entry.desktop";
    // A new file each time: rewriting one in place makes the file system flush it on close.
    (void)unlink(path.c_str());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || (size && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0)
        std::abort();

    std::map<std::string, std::string> keys;
    if (Platform::ReadShortcut(path, keys) == 0) {
        auto exec = keys.find("Exec");
        if (exec != keys.end())
            Split(exec->second);
    }
    Split(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
