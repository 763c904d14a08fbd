#include "streams/CXStreamMemory.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMemory.h"

#include <algorithm>
#include <cstring>

CXStreamStaticBuffer::CXStreamStaticBuffer()
    : CXStream(kCapsRead | kCapsWrite | kCapsSizeKnown | CAPS_SEEK | kCapsPositionKnown | kCapsSeekInWritten)
{
}

CXStreamStaticBuffer::~CXStreamStaticBuffer()
{
    (void)Close();
}

bool CXStreamStaticBuffer::Open(void* data, uint64_t capacity, uint64_t length)
{
    (void)Close();
    // A null block with a capacity would be written through.
    if (data == nullptr) {
        CXDebugLog("CXStreamStaticBuffer::Open> bad params");
        SetResult(kCXBadParameter);
        return false;
    }
    fData = static_cast<uint8_t*>(data);
    fCapacity = capacity;
    fLength = std::min(length, capacity);
    SetWindow(fData, fData, fData + fCapacity, fData + fLength, fData);
    fCaps = (fCaps | kCapsOpen) & ~kCapsEndOfData;
    ResetResult();
    return true;
}

bool CXStreamStaticBuffer::OpenReadOnly(const void* data, uint64_t size)
{
    if (!Open(const_cast<void*>(data), size, size))
        return false;
    fReadOnly = true;
    // A read window only: a write window would let writes into the caller's bytes without ever
    // reaching the read-only check.
    SetWindow(fData, fData, fData, fData, fData + fLength);
    return true;
}

bool CXStreamStaticBuffer::OpenReadOnly(const CXString& bytes)
{
    CXString held = bytes;
    if (!OpenReadOnly(held.c_str(), held.length()))
        return false;
    fHeld = held;
    return true;
}

bool CXStreamStaticBuffer::Allocate()
{
    (void)Close();
    void* block = CXHeapAlloc(kAllocateSize);
    if (block == nullptr) {
        SetResult(kCXNoResources);
        return false;
    }
    (void)Open(block, kAllocateSize, 0);
    fOwned = true;
    return true;
}

CXResultCode CXStreamStaticBuffer::Close()
{
    fCaps &= ~kCapsOpen;
    if (fOwned)
        CXHeapFree(fData);
    fOwned = false;
    fReadOnly = false;
    fData = nullptr;
    fLength = 0;
    fCapacity = 0;
    fHeld.Clear();
    ClearWindow();
    return kCXOK;
}

void CXStreamStaticBuffer::SyncLength()
{
    if (fWindowStart == fWriteLimit)
        return;
    uint64_t written = static_cast<uint64_t>(std::max(fCursor, fHighWater) - fWindowStart);
    fLength = std::min(fCapacity, std::max(fLength, written));
}

uint64_t CXStreamStaticBuffer::GetSize()
{
    SyncLength();
    return fLength;
}

uint64_t CXStreamStaticBuffer::VirtualRead(void* buffer, uint64_t size)
{
    if (buffer == nullptr && size != 0) {
        SetResult(kCXBadParameter);
        return 0;
    }
    SyncLength();
    uint64_t position = std::min(static_cast<uint64_t>(fCursor - fWindowStart), fLength);
    SetWindow(fData, fData + position, fData, fData, fData + fLength);
    uint64_t count = std::min(size, fLength - position);
    if (count != 0)
        std::memcpy(buffer, fCursor, static_cast<size_t>(count));
    fCursor += count;
    if (count < size) {
        MarkEndOfData();
    }
    return count;
}

uint64_t CXStreamStaticBuffer::VirtualWrite(const void* data, uint64_t size)
{
    if (fReadOnly) {
        SetResult(kCXAccessDenied);
        return 0;
    }
    if (data == nullptr && size != 0) {
        SetResult(kCXBadParameter);
        return 0;
    }
    SyncLength();
    uint64_t position = std::min(static_cast<uint64_t>(fCursor - fWindowStart), fCapacity);
    SetWindow(fData, fData + position, fData + fCapacity, fData, fData + fLength);
    uint64_t count = std::min(size, fCapacity - position);
    if (count != 0)
        std::memcpy(fCursor, data, static_cast<size_t>(count));
    fCursor += count;
    if (count < size) {
        MarkEndOfData();
    }
    fLength = std::max(fLength, position + count);
    fReadLimit = fData + fLength;
    return count;
}

int64_t CXStreamStaticBuffer::VirtualSeekSet(int64_t target)
{
    SyncLength();
    SetWindow(fData, fData, fData, fData, fData);
    if (target < 0) {
        SetResult(kCXBadParameter);
        return 0;
    }
    uint64_t position = std::min(fLength, static_cast<uint64_t>(target));
    fCursor = fData + position;
    return static_cast<int64_t>(position);
}

CXStreamDynamicBuffer::CXStreamDynamicBuffer()
    : CXStream(kCapsRead | kCapsWrite | kCapsSizeKnown | CAPS_SEEK | kCapsPositionKnown | kCapsSeekInWritten | kCapsOpen)
{
}

void CXStreamDynamicBuffer::SyncSize()
{
    if (fWindowStart == fWriteLimit)
        return;
    fSize = std::max(fSize, Offset(std::max(fCursor, fHighWater)));
}

void CXStreamDynamicBuffer::PointWindowAtStorage()
{
    uint64_t held = fBlocks.count();
    uint64_t cursor = std::min(Offset(fCursor), held);
    uint64_t highWater = std::min(Offset(fHighWater), held);
    uint8_t* items = held != 0 ? &fBlocks[0] : nullptr;
    SetWindow(items, items + cursor, items + held, items + highWater, items);
}

bool CXStreamDynamicBuffer::Reserve(uint64_t total)
{
    if (fBlocks.count() >= total)
        return true;
    SyncSize();
    fBlocks.SetBlockSize(total < 0x4000 ? 4096 : (total >> 13) << 12);
    bool complete = fBlocks.SetCount(total);
    PointWindowAtStorage();
    return complete;
}

uint64_t CXStreamDynamicBuffer::GetSize()
{
    SyncSize();
    return fSize;
}

bool CXStreamDynamicBuffer::Control(uint32_t code, uint64_t value)
{
    if (code != kControlReserve)
        return false;
    uint64_t wanted = std::min<uint64_t>(static_cast<uint32_t>(value), kReserveMaximum);
    (void)Reserve(Offset(fCursor) + wanted);
    return true;
}

uint64_t CXStreamDynamicBuffer::VirtualWrite(const void* data, uint64_t size)
{
    SyncSize();
    uint64_t position = Offset(fCursor);
    if (size > UINT64_MAX - position || !Reserve(position + size) || fBlocks.count() < position + size) {
        SetResult(kCXNoResources);
        return 0;
    }
    PointWindowAtStorage();
    std::memcpy(fCursor, data, static_cast<size_t>(size));
    fCursor += size;
    fSize = std::max(fSize, position + size);
    return size;
}

uint64_t CXStreamDynamicBuffer::VirtualRead(void* buffer, uint64_t size)
{
    SyncSize();
    SetWindow(fWindowStart, fCursor, fWindowStart, fHighWater, fWindowStart + fSize);
    uint64_t position = Offset(fCursor);
    uint64_t count = position < fSize ? std::min(size, fSize - position) : 0;
    if (count != 0)
        std::memcpy(buffer, fCursor, static_cast<size_t>(count));
    fCursor += count;
    if (count < size) {
        MarkEndOfData();
    }
    return count;
}

int64_t CXStreamDynamicBuffer::VirtualSeekSet(int64_t target)
{
    SyncSize();
    SetWindow(fWindowStart, fCursor, fWindowStart, fHighWater, fWindowStart);
    if (target < 0) {
        SetResult(kCXBadParameter);
        return GetPosition();
    }
    if (static_cast<uint64_t>(target) > fSize) {
        fCursor = fWindowStart + fSize;
        MarkEndOfData();
        return static_cast<int64_t>(fSize);
    }
    fCursor = fWindowStart + target;
    return target;
}
