// Feeds arbitrary bytes to the stream string reader, reading strings until one fails. Nothing may
// crash or allocate beyond the input; every string read is written and read back unchanged.
#include "foundation/CXDebug.h"
#include "streams/CXStream.h"
#include "streams/CXStreamMemory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CXDebugSetBreakEnabled(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CXDebugCapture quiet;

    CXStreamStaticBuffer input;
    if (!input.OpenReadOnly(data, size))
        std::abort();
    for (;;) {
        CXString text;
        ReadStringFromStream(input, text);
        if (input.Failed()) {
            if (!text.IsEmpty())
                std::abort();
            break;
        }
        if (text.length() > size)
            std::abort();

        CXStreamDynamicBuffer copy;
        WriteStringToStream(copy, text);
        if (copy.Failed())
            std::abort();
        (void)copy.Seek(0, CXStream::kSeekSet);
        CXString again;
        ReadStringFromStream(copy, again);
        if (copy.Failed() || !(again == text))
            std::abort();
    }
    return 0;
}
