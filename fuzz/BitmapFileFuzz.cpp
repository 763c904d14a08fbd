// Feeds arbitrary bytes to both bitmap readers (BMP and raw) and to the window layer's BMP reader
// behind LoadImageW. Nothing may crash or touch memory outside the rows; a read that succeeds must
// give a bitmap within the readers' size limits, and a raw file that reads whole must have held
// every pixel it asked for.
#include "foundation/CXDebug.h"
#include "streams/CXStreamMemory.h"
#include "toolkit/CXBitmap.h"
#include "toolkit/UIBitmap.h"
#include "win32/gdi/Gdi.h"
#include "win32/user/ImageFile.h"

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
    if (win32::HBITMAP image = win32::user::DecodeImageFile(data, size)) {
        win32::BITMAP description = {};
        if (win32::GetObjectW(image, sizeof(description), &description) != static_cast<int>(sizeof(description)) ||
            description.bmWidth < 1 || description.bmHeight < 1 ||
            description.bmWidth > win32::user::kImageFileMaximumSide ||
            description.bmHeight > win32::user::kImageFileMaximumSide ||
            int64_t{description.bmWidth} * description.bmHeight > win32::user::kImageFileMaximumPixels ||
            size < win32::user::kImageFileHeaderBytes + uint64_t{3} * description.bmWidth * description.bmHeight)
            std::abort();
        (void)win32::DeleteObject(image);
    }
    return 0;
}
