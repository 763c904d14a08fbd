// Feeds arbitrary bytes to the user-dirs reader as the text of "user-dirs.dirs". Nothing may
// crash; a folder it finds is an absolute path.
#include "platform/KnownFolders.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const char* key : {"XDG_DESKTOP_DIR", "XDG_DOCUMENTS_DIR"}) {
        std::string folder;
        if (Platform::FindUserDirectory(text, key, "/home/user", folder) && (folder.empty() || folder[0] != '/'))
            std::abort();
        std::string without;
        if (Platform::FindUserDirectory(text, key, "", without) && (without.empty() || without[0] != '/'))
            std::abort();
    }
    return 0;
}
