#include "streams/CXStreamCacheHelper.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMemory.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

// Direct transfers go to the raw operations in pieces of this size.
constexpr uint64_t kDirectPiece = 0x1000000;

} // namespace

CXStreamCacheHelper::~CXStreamCacheHelper()
{
    if (fBlock != nullptr) {
        CXDebugError("~CXStreamCacheHelper> caches not flushed");
        FreeBlock();
    }
}

void CXStreamCacheHelper::FreeBlock()
{
    CXHeapFree(fBlock);
    fBlock = nullptr;
    fBlockSize = 0;
    fMode = kNoBuffer;
    fOwner->ClearWindow();
}

void CXStreamCacheHelper::RaiseCachedSize(int64_t end)
{
    // An unknown size stays unknown: raising it to the end of the written data would understate
    // a file that goes on beyond it.
    if (fCachedSize >= 0 && fCachedSize < end)
        fCachedSize = end;
}

uint64_t CXStreamCacheHelper::CopyFromReadBuffer(uint8_t* to, uint64_t size)
{
    CXStream& s = *fOwner;
    if (fMode != kReadBuffer || s.fCursor >= s.fReadLimit)
        return 0;
    uint64_t count = std::min(size, static_cast<uint64_t>(s.fReadLimit - s.fCursor));
    std::memcpy(to, s.fCursor, static_cast<size_t>(count));
    s.fCursor += count;
    return count;
}

void CXStreamCacheHelper::FillFileReadBuffer()
{
    CXStream& s = *fOwner;
    (void)FreeWriteBuffer();
    if (fReadBufferSize == 0)
        return;
    uint64_t keep = 0;
    if (fMode == kReadBuffer) {
        uint64_t fill = static_cast<uint64_t>(s.fReadLimit - s.fWindowStart);
        keep = std::min(fReadKeepBack, fill);
        std::memmove(s.fWindowStart, s.fReadLimit - keep, static_cast<size_t>(keep));
        s.fWindowBase += static_cast<int64_t>(fill - keep);
    } else {
        fBlock = static_cast<uint8_t*>(CXHeapAlloc(static_cast<size_t>(fReadBufferSize)));
        if (fBlock == nullptr)
            return; // reads go straight to the raw operations
        fBlockSize = fReadBufferSize;
        fMode = kReadBuffer;
    }
    uint8_t* cursor = fBlock + keep;
    uint64_t got = keep < fBlockSize ? RawRead(cursor, fBlockSize - keep, false) : 0;
    s.SetWindow(fBlock, cursor, fBlock, fBlock, cursor + got);
    int64_t expected = s.GetPosition() + static_cast<int64_t>(got);
    int64_t native = NativePosition();
    if (expected != native)
        CXDebugError("CXStreamCacheHelper::FillFileReadBuffer> fpos out of synch after read (native=%lld, cxstream=%lld)",
                     static_cast<long long>(native), static_cast<long long>(expected));
    if (s.fReadLimit == s.fWindowStart)
        FreeBlock();
}

void CXStreamCacheHelper::DropReadBuffer()
{
    if (fMode != kReadBuffer)
        return;
    CXStream& s = *fOwner;
    s.fWindowBase += s.fCursor - s.fWindowStart;
    RawSeek(s.fWindowBase);
    FreeBlock();
}

void CXStreamCacheHelper::BeginFileWriteBuffer()
{
    DropReadBuffer();
    if (fMode == kWriteBuffer || fWriteBufferSize == 0)
        return;
    CXStream& s = *fOwner;
    RawSeek(s.fWindowBase);
    int64_t native = NativePosition();
    if (native != s.fWindowBase)
        CXDebugError("CXStreamCacheHelper::BeginFileWriteBuffer> fpos out of synch (native=%lld, cxstream=%lld)",
                     static_cast<long long>(native), static_cast<long long>(s.fWindowBase));
    if (fBlock != nullptr) {
        CXDebugError("CXStreamCacheHelper::BeginFileWriteBuffer> already have buffer");
        FreeBlock();
    }
    fBlock = static_cast<uint8_t*>(CXHeapAlloc(static_cast<size_t>(fWriteBufferSize)));
    if (fBlock == nullptr)
        return; // writes go straight to the raw operations
    fBlockSize = fWriteBufferSize;
    fMode = kWriteBuffer;
    s.SetWindow(fBlock, fBlock, fBlock + fBlockSize, fBlock, fBlock);
}

void CXStreamCacheHelper::AppendToWriteBuffer(const void* data, uint64_t size)
{
    CXStream& s = *fOwner;
    uint64_t room = static_cast<uint64_t>(s.fWriteLimit - s.fCursor);
    if (size > room) {
        CXDebugError("CXStreamCacheHelper::AppendToWriteBuffer");
        size = room;
    }
    std::memcpy(s.fCursor, data, static_cast<size_t>(size));
    s.fCursor += size;
    RaiseCachedSize(s.fWindowBase + (std::max(s.fCursor, s.fHighWater) - s.fWindowStart));
}

CXResultCode CXStreamCacheHelper::FlushFileWriteBuffer()
{
    if (fMode != kWriteBuffer)
        return kCXOK;
    CXStream& s = *fOwner;
    uint8_t* end = std::max(s.fCursor, s.fHighWater);
    uint64_t size = static_cast<uint64_t>(end - s.fWindowStart);
    if (size == 0)
        return kCXOK;
    int64_t native = NativePosition();
    if (native != s.fWindowBase) {
        static std::atomic<bool> reported{false};
        if (!reported.exchange(true))
            CXDebugError("CXStreamCacheHelper::FlushFileWriteBuffer> fpos out of synch (native=%lld, cxstream=%lld)",
                         static_cast<long long>(native), static_cast<long long>(s.fWindowBase));
    }
    // The outcome is recorded: a buffered write that fails here has already been reported to its
    // writer as done, so this is the only place the loss can show.
    CXResultCode failure = kCXOK;
    uint64_t written = RawWrite(s.fWindowStart, size, true, failure);
    // Bytes written through the window never passed AppendToWriteBuffer, so the cached size
    // learns of them here.
    RaiseCachedSize(s.fWindowBase + static_cast<int64_t>(written));
    uint64_t advance = static_cast<uint64_t>(s.fCursor - s.fWindowStart);
    s.fWindowBase += static_cast<int64_t>(advance);
    if (advance != written)
        RawSeek(s.fWindowBase);
    if (written < size) {
        if (failure == kCXOK)
            failure = kCXNoResources;
        s.SetResult(failure);
        fCachedSize = -1; // the buffered bytes counted in it never arrived
    }
    s.SetWindow(s.fWindowStart, s.fWindowStart, s.fWindowStart + fBlockSize, s.fWindowStart, s.fWindowStart);
    return failure;
}

CXResultCode CXStreamCacheHelper::FreeWriteBuffer()
{
    if (fMode != kWriteBuffer)
        return kCXOK;
    CXResultCode result = FlushFileWriteBuffer();
    FreeBlock();
    return result;
}

CXResultCode CXStreamCacheHelper::ReleaseBuffers()
{
    CXResultCode result = FreeWriteBuffer();
    if (fMode == kReadBuffer) {
        fOwner->fWindowBase += fOwner->fCursor - fOwner->fWindowStart;
        FreeBlock();
    }
    return result;
}

uint64_t CXStreamCacheHelper::CachedRead(void* buffer, uint64_t size)
{
    CXStream& s = *fOwner;
    (void)FreeWriteBuffer();
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint64_t total = CopyFromReadBuffer(out, size);
    if (size - total != 0 && size - total <= fReadBufferSize / 2) {
        FillFileReadBuffer();
        total += CopyFromReadBuffer(out + total, size - total);
    }
    if (total == size)
        return total;

    int64_t logical = s.GetPosition();
    int64_t native = NativePosition();
    if (logical != native)
        CXDebugError("%s::VirtualRead> fpos out of synch (native=%llu, cxstream=%llu)", CacheOwnerName(),
                     static_cast<unsigned long long>(native), static_cast<unsigned long long>(logical));
    DropReadBuffer();
    while (total < size) {
        uint64_t piece = std::min(kDirectPiece, size - total);
        uint64_t got = RawRead(out + total, piece, true);
        s.fWindowBase += static_cast<int64_t>(got);
        total += got;
        if (got < piece)
            break;
    }
    return total;
}

uint64_t CXStreamCacheHelper::CachedWrite(const void* data, uint64_t size)
{
    CXStream& s = *fOwner;
    DropReadBuffer();
    (void)FlushFileWriteBuffer();
    BeginFileWriteBuffer();
    if (fMode == kWriteBuffer && size <= fBlockSize / 2) {
        AppendToWriteBuffer(data, size);
        return size;
    }

    int64_t native = NativePosition();
    if (native != s.fWindowBase)
        CXDebugError("%s::VirtualWrite> fpos out of synch (native=%lld, cxstream=%lld)", CacheOwnerName(),
                     static_cast<long long>(native), static_cast<long long>(s.fWindowBase));
    const uint8_t* in = static_cast<const uint8_t*>(data);
    uint64_t total = 0;
    while (total < size) {
        uint64_t piece = std::min(kDirectPiece, size - total);
        CXResultCode failure = kCXOK;
        uint64_t written = RawWrite(in + total, piece, true, failure);
        s.fWindowBase += static_cast<int64_t>(written);
        total += written;
        if (written < piece)
            break;
    }
    RaiseCachedSize(s.fWindowBase);
    return total;
}

uint64_t CXStreamCacheHelper::CachedSize()
{
    CXStream& s = *fOwner;
    if (fCachedSize < 0)
        fCachedSize = static_cast<int64_t>(NativeSize());
    // Bytes written through the window since the buffer began are not counted anywhere else.
    if (fMode == kWriteBuffer) {
        int64_t end = s.fWindowBase + (std::max(s.fCursor, s.fHighWater) - s.fWindowStart);
        fCachedSize = std::max(fCachedSize, end);
    }
    return static_cast<uint64_t>(fCachedSize);
}

bool CXStreamCacheHelper::CacheControl(uint32_t code, uint64_t value)
{
    switch (code) {
    case kControlReadKeepBack:
        DropReadBuffer();
        fReadKeepBack = value;
        return true;
    case kControlReadBufferSize:
        DropReadBuffer();
        fReadBufferSize = value;
        return true;
    case kControlWriteBufferSize:
        (void)FreeWriteBuffer();
        fWriteBufferSize = value;
        return true;
    default:
        return false;
    }
}
