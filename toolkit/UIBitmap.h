#pragma once

#include "foundation/CXMessage.h"
#include "foundation/CXReferenceCount.h"
#include "foundation/CXString.h"
#include "toolkit/CXBitmap.h"

// A drawable bitmap: reference-counted, its pixels prepared for alpha blending (32-bit,
// premultiplied blue, green, red, alpha bytes, top row first). Controls that show pictures hold
// references; the count starts at 1 and the last release deletes it.
class UIBitmap : public DynamicReferenceCount, public CXMessageTarget, public CXBitmap {
public:
    UIBitmap();
    ~UIBitmap() override;

    // "UIBitmap".
    CXString GetName() const override;
    // The requested size: the allocated rows may be larger (layout 2).
    void GetSize(int32_t& width, int32_t& height) const override;

    // Turns every allocated pixel of format 0 (red in bits 0-7, alpha in 24-31) into premultiplied
    // blue, green, red, alpha bytes: each colour times alpha / 255, rounded down. Nothing for
    // 16-bit pixels.
    void PrepareForDrawing();
    // Copies the source's pixels and prepares them. Always 0; a failed copy leaves no pixels.
    CXResultCode SetBitmap(const CXBitmap& source);

    // The bitmap file at the path ("bmp" or "raw" by its extension in any letter case), shared
    // through a process-wide cache: every load of a path after the first gives the same bitmap
    // without reading the file. Empty when the file cannot be opened, has another extension or
    // cannot be read whole; such a path is tried again on its next load. A picture that nobody else holds leaves the cache once 64 further loads
    // have passed without asking for it. Callable from any thread.
    static CXAutoReference<UIBitmap> Load(const CXString& path);
};

// A reference-counted image holding a plain bitmap, drawn through a temporary UIBitmap.
class CXImage : public DynamicReferenceCount {
public:
    CXImage() = default;
    ~CXImage() override = default;

    CXBitmap& GetBitmap() { return fBitmap; }
    const CXBitmap& GetBitmap() const { return fBitmap; }

private:
    CXBitmap fBitmap;
};
