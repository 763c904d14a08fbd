// Feeds arbitrary bytes, as a block of the clipboard or of a drop, to every block reader: Unicode
// text, a registered format's length and bytes, narrow text and a file list. Nothing may read
// outside the block, and what a reader answers must lie within what the block holds.
#include "foundation/CXDebug.h"
#include "toolkit/CXOSSoupBlocks.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CXDebugSetBreakEnabled(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Each UTF-16 unit gives at most 3 bytes of UTF-8, and no CR survives.
    CXString text = ReadUnicodeTextBlock(data, size);
    if (text.length() > size / 2 * 3 || std::memchr(text.c_str(), '\r', text.length()) != nullptr)
        std::abort();

    const uint8_t* payload = nullptr;
    size_t length = 0;
    if (ReadRegisteredFormatBlock(data, size, payload, length)) {
        if (payload != data + 4 || length > size - 4)
            std::abort();
    } else if (payload != nullptr || length != 0) {
        std::abort();
    }

    CXString narrow = ReadNarrowTextBlock(data, size);
    if (narrow.length() > size || std::memcmp(narrow.c_str(), data, narrow.length()) != 0 ||
        std::memchr(narrow.c_str(), 0, narrow.length()) != nullptr)
        std::abort();

    // Every name is listed with its zero, so the names with theirs fit in the block; a UTF-16 name
    // grows by at most half when made UTF-8.
    size_t listed = 0;
    for (const CXString& name : ReadFileListBlock(data, size)) {
        if (name.IsEmpty())
            std::abort();
        listed += name.length() + 1;
    }
    if (listed > size + size / 2)
        std::abort();
    return 0;
}
