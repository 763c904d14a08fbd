#include "toolkit/UIBitmap.h"

#include "foundation/CXMutex.h"
#include "foundation/CXPath.h"
#include "streams/CXStreamFile.h"

#include <cstring>
#include <map>

namespace {

struct CacheEntry {
    uint32_t stamp = 0;
    CXAutoReference<UIBitmap> bitmap;
};

// Entries not asked for in this many loads are swept when nobody else holds their bitmap.
constexpr uint32_t kCacheKeepLoads = 64;

struct BitmapCache {
    CXMutex lock;
    std::map<CXString, CacheEntry> entries;
    uint32_t counter = 0;

    // Removes the entries not asked for lately whose bitmap is missing or held by the cache
    // alone. Unsigned differences keep the age right when the counter wraps.
    void Sweep()
    {
        for (auto it = entries.begin(); it != entries.end();) {
            CacheEntry& entry = it->second;
            bool old = counter - entry.stamp > kCacheKeepLoads;
            if (old && (!entry.bitmap || entry.bitmap->GetReferenceCount() == 1))
                it = entries.erase(it);
            else
                ++it;
        }
    }
};

// Lives for the process.
BitmapCache& Cache()
{
    static BitmapCache* cache = new BitmapCache;
    return *cache;
}

} // namespace

UIBitmap::UIBitmap() = default;

UIBitmap::~UIBitmap() = default;

CXString UIBitmap::GetName() const
{
    return CXString("UIBitmap");
}

void UIBitmap::GetSize(int32_t& width, int32_t& height) const
{
    GetRequestedSize(width, height);
}

void UIBitmap::PrepareForDrawing()
{
    if (!IsCreated() || BytesPerPixel() != 4)
        return;
    int32_t width = 0;
    int32_t height = 0;
    CXBitmap::GetSize(width, height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint32_t p = GetPixel(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
            uint32_t a = p >> 24;
            uint32_t b0 = (p & 0xFF) * a / 255;
            uint32_t b1 = ((p >> 8) & 0xFF) * a / 255;
            uint32_t b2 = ((p >> 16) & 0xFF) * a / 255;
            SetPixel(static_cast<uint32_t>(x), static_cast<uint32_t>(y), a << 24 | b0 << 16 | b1 << 8 | b2);
        }
    }
}

CXResultCode UIBitmap::SetBitmap(const CXBitmap& source)
{
    CXBitmap::operator=(source);
    PrepareForDrawing();
    return kCXOK;
}

CXAutoReference<UIBitmap> UIBitmap::Load(const CXString& path)
{
    BitmapCache& cache = Cache();
    CXMutexLocker locker(&cache.lock);

    CacheEntry& entry = cache.entries[path];
    entry.stamp = cache.counter++;
    if (entry.bitmap)
        return entry.bitmap;

    CXStreamFile file;
    if (!file.Open(path, CXStreamFile::kModeRead))
        return {};
    // The extension chooses the reader; any other is refused there. A file that failed part way
    // keeps the rows read so far: not a picture to share.
    CXString extension = GetPathExtension(path);
    CXBitmap temporary;
    if (temporary.Load(file, extension.c_str()) != kCXOK || !temporary.IsCreated())
        return {};

    CXAutoReference<UIBitmap> bitmap;
    bitmap.Swallow(new UIBitmap);
    (void)bitmap->SetBitmap(temporary);
    if (!bitmap->IsCreated())
        return {};

    entry.bitmap = bitmap;
    cache.Sweep();
    return bitmap;
}
