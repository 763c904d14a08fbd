// Feeds arbitrary bytes to the address reader as the text of an address, and asks the parsed
// record for every form the program derives from it. Nothing may crash, and percent-encoding a
// text and decoding it again gives the text back.
#include "foundation/CXDebug.h"
#include "streams/CXURI.h"

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
    CXDebugCapture quiet; // malformed addresses are logged

    const char* text = reinterpret_cast<const char*>(data);
    CXURI address(CXStringArgument(text, size));
    (void)address.ToString();
    (void)address.ToLogString();
    (void)address.GetRequestTarget();
    (void)address.GetLocalFilePath();

    // Encoding stops at a NUL byte, so the round trip holds for the text before the first one.
    const void* nul = std::memchr(text, 0, size);
    size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : size;
    CXString plain(text, length);
    CXString encoded = CXURI::Encode(plain, "");
    if (!(CXURI::Decode(encoded) == plain))
        std::abort();
    (void)CXURI::Encode(plain, "/:?&=");
    (void)CXURI::Decode(plain);
    return 0;
}
