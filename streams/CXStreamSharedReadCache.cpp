#include "streams/CXStreamSharedReadCache.h"

#include <algorithm>

uint64_t CXStreamSharedReadCachePayload::SizeLocked()
{
    if (!fSizeComputed) {
        fSize = fParent != nullptr ? fParent->GetSize() : 0;
        fSizeComputed = true;
    }
    return fSize;
}

uint64_t CXStreamSharedReadCachePayload::GetSize()
{
    CXMutexLocker lock(&fMutex);
    return SizeLocked();
}

uint64_t CXStreamSharedReadCachePayload::ReadAt(uint64_t position, void* buffer, uint64_t size)
{
    CXMutexLocker lock(&fMutex);
    uint64_t total = SizeLocked();
    if (fParent == nullptr || position >= total)
        return 0;
    if (fParent->Seek(static_cast<int64_t>(position), CXStream::kSeekSet) != static_cast<int64_t>(position))
        return 0;
    return fParent->Read(buffer, std::min(size, total - position));
}

CXStreamSharedReadCacheReader::CXStreamSharedReadCacheReader()
    : CXStream(kCapsRead | kCapsSizeKnown | CAPS_SEEK | kCapsPositionKnown)
{
}

void CXStreamSharedReadCacheReader::Open(CXStreamSharedReadCachePayload* payload)
{
    fPayload.Reference(payload);
    fWindowBase = 0;
    fCaps = (fCaps | kCapsOpen) & ~kCapsEndOfData;
    ResetResult();
}

CXResultCode CXStreamSharedReadCacheReader::Close()
{
    fPayload.Clear();
    fWindowBase = 0;
    fCaps &= ~kCapsOpen;
    return kCXOK;
}

uint64_t CXStreamSharedReadCacheReader::GetSize()
{
    return fPayload ? fPayload->GetSize() : 0;
}

uint64_t CXStreamSharedReadCacheReader::VirtualRead(void* buffer, uint64_t size)
{
    if (!fPayload) {
        SetResult(kCXAlreadyOpen);
        return 0;
    }
    uint64_t position = static_cast<uint64_t>(fWindowBase);
    uint64_t got = fPayload->ReadAt(position, buffer, size);
    fWindowBase += static_cast<int64_t>(got);
    if (got < size) {
        bool atEnd = static_cast<uint64_t>(fWindowBase) >= fPayload->GetSize();
        SetResult(atEnd ? kCXEndOfData : kCXNoResources);
        if (atEnd)
            fCaps |= kCapsEndOfData;
    }
    return got;
}

int64_t CXStreamSharedReadCacheReader::VirtualSeekSet(int64_t target)
{
    target = std::max<int64_t>(target, 0);
    uint64_t size = GetSize();
    if (static_cast<uint64_t>(target) >= size)
        fCaps |= kCapsEndOfData;
    else
        fCaps &= ~kCapsEndOfData;
    fWindowBase = target;
    return target;
}
