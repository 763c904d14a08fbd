#include "streams/CXStream.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMemory.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

// Position arithmetic wraps instead of overflowing; wrapped targets are nonsense that the
// subclasses reject as they reject any bad position.
int64_t WrapAdd(int64_t a, int64_t b)
{
    return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}

int64_t WrapSubtract(int64_t a, int64_t b)
{
    return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}

void CopyBytes(uint8_t* to, const uint8_t* from, uint64_t size)
{
    // Small copies (a byte, an integer) are cheaper as a loop than as a call.
    if (size <= 8) {
        for (uint64_t i = 0; i < size; ++i)
            to[i] = from[i];
    } else {
        std::memcpy(to, from, static_cast<size_t>(size));
    }
}

} // namespace

CXGenericEvent* CXStream::CreateEvent(int condition)
{
    if (condition == 1)
        return new CXGenericEventPredicate(
            [](void* stream) { return (static_cast<CXStream*>(stream)->fCaps & kCapsEndOfData) == 0; }, this);
    if (condition == 3)
        return new CXGenericEventPredicate(
            [](void* stream) { return static_cast<CXStream*>(stream)->fResult != kCXOK; }, this);
    return CXGenericEventSource::CreateEvent(condition);
}

uint64_t CXStream::GetSize()
{
    return 0;
}

uint64_t CXStream::WriteBytes(const void* data, uint64_t size)
{
    return Write(data, size);
}

void CXStream::SetCaps(uint32_t value, uint32_t mask)
{
    CXDebugLog("CXStream::SetCaps(%d, %d) not implemented for this stream", static_cast<int>(value), static_cast<int>(mask));
}

bool CXStream::Control(uint32_t code, uint64_t value)
{
    (void)code;
    (void)value;
    return false;
}

CXResultCode CXStream::Close()
{
    SetResult(kCXNotSupported);
    return kCXNotSupported;
}

CXResultCode CXStream::Flush(uint32_t hard)
{
    (void)hard;
    return kCXOK;
}

uint64_t CXStream::VirtualWrite(const void* data, uint64_t size)
{
    (void)data;
    (void)size;
    SetResult(kCXNotSupported);
    return 0;
}

uint64_t CXStream::VirtualRead(void* buffer, uint64_t size)
{
    (void)buffer;
    (void)size;
    SetResult(kCXNotSupported);
    return 0;
}

int64_t CXStream::VirtualSeekSet(int64_t target)
{
    if (fCaps & CAPS_SEEK)
        CXDebugLog("CXStream::VirtualSeekSet> stream has CAPS_SEEK but did not override VirtualSeekSet()");
    if ((fCaps & kCapsPositionKnown) && target == GetPosition())
        return target;
    SetResult(kCXNotSupported);
    CXDebugLog("CXStream::VirtualSeekSet> seek not implemented on this stream");
    return 0;
}

void CXStream::SetResult(CXResultCode result)
{
    if (result != kCXOK)
        fResult = result;
}

void CXStream::HandUpFailure(CXStream& child)
{
    if (child.fResult == kCXOK)
        return;
    fResult = child.fResult;
    child.fResult = kCXOK;
}

uint64_t CXStream::Read(void* buffer, uint64_t size)
{
    std::optional<CXDebugThreadSafetyScope> scope;
    if (fCaps & kCapsThreadCheck)
        scope.emplace(fInUse);
    if (buffer == nullptr && size != 0) {
        CXDebugLog("CXStream::Read> null buffer with size=%lld", static_cast<long long>(size));
        return 0;
    }
    if (size == 0)
        return 0;
    if (fCursor != nullptr && fCursor >= fWindowStart && fCursor < fReadLimit &&
        size <= static_cast<uint64_t>(fReadLimit - fCursor)) {
        CopyBytes(static_cast<uint8_t*>(buffer), fCursor, size);
        fCursor += size;
        return size;
    }
    return VirtualRead(buffer, size);
}

uint64_t CXStream::Write(const void* data, uint64_t size)
{
    std::optional<CXDebugThreadSafetyScope> scope;
    if (fCaps & kCapsThreadCheck)
        scope.emplace(fInUse);
    if (data == nullptr && size != 0) {
        CXDebugLog("CXStream::Write> null buffer with size=%lld", static_cast<long long>(size));
        return 0;
    }
    if (size == 0)
        return 0;
    uint64_t written;
    if (fCursor != nullptr && fCursor >= fWindowStart && fCursor < fWriteLimit &&
        size <= static_cast<uint64_t>(fWriteLimit - fCursor)) {
        CopyBytes(fCursor, static_cast<const uint8_t*>(data), size);
        fCursor += size;
        written = size;
    } else {
        written = VirtualWrite(data, size);
    }
    if (fHighWater < fCursor)
        fHighWater = fCursor;
    return written;
}

int64_t CXStream::Seek(int64_t offset, int mode)
{
    int64_t position = GetPosition();
    fCaps &= ~kCapsEndOfData;
    int64_t delta;
    switch (mode) {
    case kSeekSet:
        delta = WrapSubtract(offset, position);
        break;
    case kSeekCurrent:
        delta = offset;
        break;
    case kSeekEnd:
        delta = WrapSubtract(WrapAdd(offset, static_cast<int64_t>(GetSize())), position);
        break;
    default:
        CXDebugLog("CXStream::Seek> unknown seek mode");
        return 0;
    }
    int64_t target = WrapAdd(position, delta);
    if (delta == 0)
        return target;

    uint8_t* limit = nullptr;
    if (fReadLimit > fWindowStart)
        limit = fReadLimit;
    else if ((fCaps & kCapsSeekInWritten) && fHighWater > fWindowStart)
        limit = fHighWater;
    // Offsets, not pointer sums: a pointer moved outside its block is undefined even unused.
    if (limit != nullptr && fCursor >= fWindowStart) {
        if (delta < 0) {
            uint64_t back = 0 - static_cast<uint64_t>(delta);
            if (back <= static_cast<uint64_t>(fCursor - fWindowStart)) {
                fCursor -= back;
                return target;
            }
        } else if (fCursor <= limit && static_cast<uint64_t>(delta) <= static_cast<uint64_t>(limit - fCursor)) {
            fCursor += delta;
            return target;
        }
    }
    return VirtualSeekSet(target);
}

uint8_t CXStream::ReadByte()
{
    if (fCursor != nullptr && fCursor >= fWindowStart && fCursor < fReadLimit)
        return *fCursor++;
    uint8_t cell = 0;
    (void)VirtualRead(&cell, 1);
    return cell;
}

uint64_t CXStream::Skip(uint64_t count)
{
    if (count == 0)
        return 0;
    if ((fCaps & CAPS_SEEK) && (fCaps & kCapsPositionKnown)) {
        int64_t position = GetPosition();
        uint64_t room = static_cast<uint64_t>(INT64_MAX - std::max<int64_t>(position, 0));
        int64_t reached = Seek(position + static_cast<int64_t>(std::min(count, room)), kSeekSet);
        // A failed seek reports where it stopped, which may lie before the start.
        return reached > position ? static_cast<uint64_t>(reached - position) : 0;
    }
    uint8_t scratch[4096];
    uint64_t consumed = 0;
    while (consumed < count) {
        uint64_t got = Read(scratch, std::min<uint64_t>(sizeof scratch, count - consumed));
        if (got == 0)
            break;
        consumed += got;
    }
    return consumed;
}

uint64_t CXStream::BytesRemaining()
{
    if ((fCaps & kCapsAvailableKnown) && (fCaps & kCapsSizeKnown))
        return GetSize();
    if ((fCaps & kCapsPositionKnown) && (fCaps & kCapsSizeKnown)) {
        uint64_t size = GetSize();
        int64_t position = GetPosition();
        if (position < 0)
            return size;
        return size > static_cast<uint64_t>(position) ? size - static_cast<uint64_t>(position) : 0;
    }
    SetResult(kCXNotSupported);
    return 0;
}
