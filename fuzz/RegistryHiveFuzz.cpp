// Feeds arbitrary bytes to the registry store's reader as the text of a hive. Nothing may crash
// or recurse without bound; what it reads is written out, and that text reads back to the same
// text (the writer's output is a fixed point of reading and writing).
#include "platform/RegistryText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace Platform::RegistryText;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StoredKey root;
    ParseHive(std::string_view(reinterpret_cast<const char*>(data), size), "HKEY_CURRENT_USER", "HKCU", root);
    std::string first = FormatHive(root, "HKEY_CURRENT_USER");

    StoredKey again;
    ParseHive(first, "HKEY_CURRENT_USER", "HKCU", again);
    std::string second = FormatHive(again, "HKEY_CURRENT_USER");
    if (first != second)
        std::abort();
    return 0;
}
