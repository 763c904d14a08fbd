#include "toolkit/GBuffer.h"

#include "win32/gdi/Gdi.h"

#include <limits>

GWBuffer::~GWBuffer()
{
    Release();
}

int GWBuffer::Create(const Box2i& box)
{
    Release();
    int64_t width = int64_t{box.right} - box.left;
    int64_t height = int64_t{box.bottom} - box.top;
    if (width <= 0 || height <= 0 || width * 4 > std::numeric_limits<int32_t>::max() ||
        height > std::numeric_limits<int32_t>::max())
        return 0;

    // A memory context of the screen's kind: one made without a context to copy.
    win32::HDC context = win32::CreateCompatibleDC(nullptr);
    if (context == nullptr)
        return 0;

    win32::BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(win32::BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<win32::LONG>(width);
    info.bmiHeader.biHeight = -static_cast<win32::LONG>(height); // rows top first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = win32::BI_RGB;
    void* bits = nullptr;
    win32::HBITMAP section = win32::CreateDIBSection(context, &info, win32::DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section == nullptr || bits == nullptr) {
        if (section != nullptr)
            (void)win32::DeleteObject(reinterpret_cast<win32::HGDIOBJ>(section));
        (void)win32::DeleteDC(context);
        return 0;
    }
    (void)win32::SelectObject(context, reinterpret_cast<win32::HGDIOBJ>(section));

    fMemoryContext = context;
    fSection = section;
    fBits = bits;
    fWidth = static_cast<int32_t>(width);
    fHeight = static_cast<int32_t>(height);
    fRowBytes = fWidth * 4;
    return 1;
}

void GWBuffer::Release()
{
    if (fMemoryContext != nullptr)
        (void)win32::DeleteDC(fMemoryContext);
    if (fSection != nullptr)
        (void)win32::DeleteObject(reinterpret_cast<win32::HGDIOBJ>(fSection));
    fMemoryContext = nullptr;
    fSection = nullptr;
    fBits = nullptr;
    fWidth = 0;
    fHeight = 0;
    fRowBytes = 0;
}
