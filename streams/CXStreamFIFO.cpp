#include "streams/CXStreamFIFO.h"

#include <cstring>
#include <new>

// One allocation per write: the link, the size, then the bytes.
struct CXStreamFIFO::Chunk {
    Chunk* next;
    uint64_t size;
    uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(this + 1); }
};

CXStreamFIFO::CXStreamFIFO()
    : CXStream(kCapsRead | kCapsWrite | kCapsSizeKnown | kCapsAvailableKnown | kCapsOpen)
{
}

CXStreamFIFO::~CXStreamFIFO()
{
    while (fHead != nullptr) {
        Chunk* next = fHead->next;
        ::operator delete(fHead);
        fHead = next;
    }
}

uint64_t CXStreamFIFO::GetSize()
{
    CXRecursiveMutexLocker lock(&fLock);
    uint64_t size = 0;
    for (Chunk* chunk = fHead; chunk != nullptr; chunk = chunk->next)
        size += chunk->size;
    return size - fHeadOffset;
}

void CXStreamFIFO::SetCaps(uint32_t value, uint32_t mask)
{
    CXRecursiveMutexLocker lock(&fLock);
    uint32_t changed = mask & kCapsNonBlocking;
    fCaps = (value & changed) | (fCaps & ~changed);
}

CXResultCode CXStreamFIFO::Close()
{
    {
        CXRecursiveMutexLocker lock(&fLock);
        fCaps &= ~kCapsOpen;
        fWritable = false;
    }
    fLock.NotifyAll();
    return kCXOK;
}

uint64_t CXStreamFIFO::VirtualWrite(const void* data, uint64_t size)
{
    if (size == 0)
        return 0;
    void* memory = ::operator new(sizeof(Chunk) + size, std::nothrow);
    if (memory == nullptr) {
        CXRecursiveMutexLocker lock(&fLock);
        SetResult(kCXNoResources);
        return 0;
    }
    Chunk* chunk = new (memory) Chunk{nullptr, size};
    std::memcpy(chunk->Bytes(), data, size);
    {
        CXRecursiveMutexLocker lock(&fLock);
        if (fTail != nullptr)
            fTail->next = chunk;
        else
            fHead = chunk;
        fTail = chunk;
    }
    fLock.NotifyAll();
    return size;
}

uint64_t CXStreamFIFO::VirtualRead(void* buffer, uint64_t size)
{
    if (size == 0)
        return 0;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint64_t copied = 0;
    CXRecursiveMutexLocker lock(&fLock);
    for (;;) {
        while (copied < size && fHead != nullptr) {
            uint64_t take = fHead->size - fHeadOffset;
            if (take > size - copied)
                take = size - copied;
            std::memcpy(out + copied, fHead->Bytes() + fHeadOffset, take);
            copied += take;
            fHeadOffset += take;
            if (fHeadOffset == fHead->size) {
                Chunk* next = fHead->next;
                ::operator delete(fHead);
                fHead = next;
                if (fHead == nullptr)
                    fTail = nullptr;
                fHeadOffset = 0;
            }
        }
        if (copied == size)
            break;
        if (!fWritable) {
            MarkEndOfData();
            break;
        }
        if (fCaps & kCapsNonBlocking)
            break;
        fLock.Wait();
    }
    return copied;
}
