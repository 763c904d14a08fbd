// Feeds arbitrary bytes to both bitmap readers (BMP and raw). Nothing may crash or touch memory
// outside the rows; a read that succeeds must give a bitmap within the readers' size limits, and a
// raw file that reads whole must have held every pixel it asked for.
#include "foundation/CXDebug.h"
#include "streams/CXStreamMemory.h"
#include "toolkit/CXBitmap.h"
#include "toolkit/UIBitmap.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Checks a successfully read bitmap and runs it through the drawing preparation.
void CheckRead(CXBitmap& bitmap)
{
    int32_t width = 0;
    int32_t height = 0;
    bitmap.GetRequestedSize(width, height);
    if (!bitmap.IsCreated() || width < 1 || height < 1 || width > CXBitmap::kMaximumDimension ||
        height > CXBitmap::kMaximumDimension || int64_t{width} * height > CXBitmap::kMaximumPixels)
        std::abort();
    // The last pixel is inside the rows; the one past them reads nothing.
    (void)bitmap.GetPixel(static_cast<uint32_t>(width - 1), static_cast<uint32_t>(height - 1));
    if (bitmap.GetPixel(static_cast<uint32_t>(width), 0) != 0)
        std::abort();
    UIBitmap* prepared = new UIBitmap;
    (void)prepared->SetBitmap(bitmap);
    if (!prepared->IsCreated())
        std::abort();
    prepared->RemoveReference();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CXDebugSetBreakEnabled(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CXDebugCapture quiet; // the readers log damaged files; keep the fuzzer's output readable

    {
        CXStreamStaticBuffer input;
        if (!input.OpenReadOnly(data, size) && size != 0)
            std::abort();
        CXBitmap bitmap;
        if (bitmap.LoadBitmap(input) == kCXOK)
            CheckRead(bitmap);
    }
    {
        CXStreamStaticBuffer input;
        if (!input.OpenReadOnly(data, size) && size != 0)
            std::abort();
        CXBitmap bitmap;
        if (bitmap.LoadRaw(input) == kCXOK) {
            CheckRead(bitmap);
            int32_t width = 0;
            int32_t height = 0;
            bitmap.GetRequestedSize(width, height);
            if (size < 4 + static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4)
                std::abort();
        }
    }
    return 0;
}
