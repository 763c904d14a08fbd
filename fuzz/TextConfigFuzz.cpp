// Feeds arbitrary bytes to the TextConfig reader and writes the tree back out, twice more: nothing
// may crash, hang or grow without bound, and from the second generation on the text must be a
// fixed point of reading and writing (the first write may still retype values, such as a FLOAT
// whose "%g" text reads back as a STRING).
#include "datanode/DNTranslator.h"
#include "datanode/DNValue.h"
#include "datanode/TextConfig.h"
#include "foundation/CXDebug.h"
#include "streams/CXStreamMemory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Reads the bytes and writes the tree; the written text.
CXString ReadAndWrite(const void* data, size_t size)
{
    CXStreamStaticBuffer input;
    if (!input.OpenReadOnly(data, size))
        std::abort();
    DNValueRef root = TextConfig::Read(input);

    CXStreamDynamicBuffer output;
    if (TextConfig::Write(root.get(), output) != kCXOK)
        std::abort();
    uint64_t length = output.GetSize();
    CXStringEdit text;
    if (!text.Upsize(0, static_cast<size_t>(length)))
        std::abort();
    text.SetLength(static_cast<size_t>(length));
    (void)output.Seek(0, CXStream::kSeekSet);
    if (output.Read(text.MutableData(), length) != length)
        std::abort();
    return CXString(text);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CXDebugSetBreakEnabled(false);
    DNInitBuiltInTranslators();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CXDebugCapture quiet; // the reader logs malformed input; keep the fuzzer's output readable

    CXString first = ReadAndWrite(data, size);
    quiet.Clear();
    CXString second = ReadAndWrite(first.c_str(), first.length());
    // The writer's text is well formed: no stray '}' ends its reading early.
    if (quiet.Contains("TextConfig::Parse> error in data"))
        std::abort();
    CXString third = ReadAndWrite(second.c_str(), second.length());
    if (!(second == third))
        std::abort();
    return 0;
}
