// Feeds arbitrary bytes to the zlib stream wrapper as compressed data and reads what it gives
// until it ends, fails or has delivered its output limit, which a decompression bomb meets: 1 MiB,
// less for the smallest reads so that a run stays quick. The first byte picks the size of the
// reads. Nothing may crash or hang; a read never delivers more
// than asked, and after a failure nothing more is delivered.
#include "foundation/CXDebug.h"
#include "streams/CXStreamMemory.h"
#include "streams/CXStreamProcessorWrapper.h"
#include "streams/StreamProcessorZLib.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

constexpr uint64_t kOutputLimit = 1024 * 1024;
const uint64_t kReadSizes[] = {1, 7, 512, 4096, 65536};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CXDebugSetBreakEnabled(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    CXDebugCapture quiet;

    uint64_t readSize = kReadSizes[data[0] % (sizeof kReadSizes / sizeof kReadSizes[0])];
    CXStreamStaticBuffer source;
    if (!source.OpenReadOnly(data + 1, size - 1))
        std::abort();
    StreamProcessorZLibDecompress inflater;
    CXStreamProcessorWrapper wrapper(&source, &inflater);

    std::vector<uint8_t> buffer(static_cast<size_t>(readSize));
    const uint64_t limit = std::min(kOutputLimit, readSize * 16384);
    uint64_t total = 0;
    while (total < limit) {
        uint64_t got = wrapper.Read(buffer.data(), readSize);
        if (got > readSize)
            std::abort();
        total += got;
        if (wrapper.Failed())
            break;
        if (got == 0)
            std::abort(); // no bytes and no failure: the reader would spin
    }
    if (wrapper.Failed() && wrapper.GetResult() != -3 && wrapper.Read(buffer.data(), readSize) != 0)
        std::abort();
    return 0;
}
