#include "streams/CXStreamSubfile.h"

#include "foundation/CXDebug.h"

#include <algorithm>

CXStreamSubfile::CXStreamSubfile()
    : CXStream(kCapsRead | kCapsWrite | kCapsSizeKnown | CAPS_SEEK | kCapsPositionKnown | kCapsThreadCheck)
{
}

CXStreamSubfile::~CXStreamSubfile()
{
    if (fParent != nullptr)
        (void)Close();
}

void CXStreamSubfile::Open(CXStream* parent, uint64_t length)
{
    fParent = parent;
    fLength = length;
    fOffset = parent != nullptr ? parent->GetPosition() : 0;
    fWindowBase = 0;
    constexpr uint32_t kKept = kCapsRead | CAPS_SEEK | kCapsPositionKnown;
    constexpr uint32_t kTaken = kCapsWrite | kCapsSizeKnown | kCapsThreadCheck;
    uint32_t parentCaps = parent != nullptr ? parent->GetCaps() : 0;
    fCaps = kKept | (parentCaps & kTaken) | kCapsOpen | (fCaps & kCapsNonBlocking);
    ResetResult();
    if (parent != nullptr && (parentCaps & kCapsSizeKnown)) {
        uint64_t parentSize = parent->GetSize();
        if (parentSize < static_cast<uint64_t>(fOffset) + length)
            CXDebugLog("CXStreamSubfile::Open> parent smaller than subfile (%lld, %lld, %lld)", static_cast<long long>(fOffset),
                       static_cast<long long>(length), static_cast<long long>(parentSize));
    }
}

uint64_t CXStreamSubfile::RoomLeft() const
{
    int64_t point = (fCaps & kCapsPositionKnown) ? fParent->GetPosition() - fOffset : fWindowBase;
    if (point < 0)
        return fLength;
    return static_cast<uint64_t>(point) < fLength ? fLength - static_cast<uint64_t>(point) : 0;
}

template <class Transfer>
uint64_t CXStreamSubfile::TransferInWindow(uint64_t size, Transfer transfer)
{
    if (fParent == nullptr) {
        SetResult(kCXAlreadyOpen);
        return 0;
    }
    uint64_t room = RoomLeft();
    if (room < size) {
        MarkEndOfData();
        size = room;
    }
    uint64_t moved = transfer(size);
    if (fCaps & kCapsPositionKnown)
        fWindowBase = fParent->GetPosition() - fOffset;
    else
        fWindowBase += static_cast<int64_t>(moved);
    if (moved < size)
        HandUpFailure(*fParent);
    return moved;
}

uint64_t CXStreamSubfile::VirtualRead(void* buffer, uint64_t size)
{
    return TransferInWindow(size, [&](uint64_t n) { return fParent->Read(buffer, n); });
}

uint64_t CXStreamSubfile::VirtualWrite(const void* data, uint64_t size)
{
    return TransferInWindow(size, [&](uint64_t n) { return fParent->Write(data, n); });
}

int64_t CXStreamSubfile::VirtualSeekSet(int64_t target)
{
    if (fParent == nullptr) {
        SetResult(kCXAlreadyOpen);
        return 0;
    }
    if (!(fCaps & CAPS_SEEK) || !(fCaps & kCapsPositionKnown)) {
        SetResult(kCXNotSupported);
        return GetPosition();
    }
    int64_t wanted = static_cast<int64_t>(static_cast<uint64_t>(fOffset) + static_cast<uint64_t>(target));
    int64_t landed = fParent->Seek(wanted, kSeekSet);
    if (landed < fOffset)
        return 0;
    if (static_cast<uint64_t>(landed - fOffset) >= fLength)
        fCaps |= kCapsEndOfData;
    else
        fCaps &= ~kCapsEndOfData;
    fWindowBase = landed - fOffset;
    if (landed != wanted)
        HandUpFailure(*fParent);
    return fWindowBase;
}

uint64_t CXStreamSubfile::GetSize()
{
    if (fParent == nullptr) {
        SetResult(kCXAlreadyOpen);
        return 0;
    }
    return fLength;
}

CXResultCode CXStreamSubfile::Flush(uint32_t hard)
{
    if (fParent == nullptr) {
        SetResult(kCXAlreadyOpen);
        return kCXAlreadyOpen;
    }
    return fParent->Flush(hard);
}

CXResultCode CXStreamSubfile::Close()
{
    if (fParent == nullptr) {
        SetResult(kCXAlreadyOpen);
        return kCXAlreadyOpen;
    }
    int64_t point = (fCaps & kCapsPositionKnown) ? fParent->GetPosition() - fOffset : fWindowBase;
    if (point < 0 || static_cast<uint64_t>(point) > fLength)
        (void)fParent->Seek(static_cast<int64_t>(static_cast<uint64_t>(fOffset) + fLength), kSeekSet);
    else
        (void)fParent->Skip(fLength - static_cast<uint64_t>(point));
    fParent = nullptr;
    fOffset = 0;
    fLength = 0;
    fWindowBase = 0;
    fCaps &= ~kCapsOpen;
    return kCXOK;
}
