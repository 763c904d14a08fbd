// Feeds arbitrary bytes to the permission-string reader as SDDL text. Nothing may crash; a text
// it reads gives only permission bits, and those bits' own text reads back to them.
#include "platform/Permissions.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint32_t mode = 0xFFFFFFFF;
    if (!Platform::SddlToMode(std::string_view(reinterpret_cast<const char*>(data), size), mode)) {
        if (mode != 0xFFFFFFFF)
            std::abort(); // a refused text leaves the mode untouched
        return 0;
    }
    if (mode & ~07777u)
        std::abort();
    uint32_t again = 0;
    if (!Platform::SddlToMode(Platform::ModeToSddl(mode), again) || again != (mode & 0777))
        std::abort();
    return 0;
}
