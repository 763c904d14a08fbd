#include "streams/CXStreamPipe.h"

#include "foundation/CXDebug.h"

CXStreamPipe::CXStreamPipe()
    : CXStream(kCapsRead | kCapsWrite | kCapsSizeKnown | kCapsAvailableKnown | kCapsOpen)
    , fLock(std::make_shared<CXMutex>())
{
}

CXStreamPipe::~CXStreamPipe()
{
    (void)Close();
    CXMutexLocker lock(fLock.get());
    fListener = CXAutoReference<CXStreamPipeListener>();
}

bool CXStreamPipe::Connect(CXStreamPipe& first, CXStreamPipe& second)
{
    if (&first == &second || first.fPeer != nullptr || second.fPeer != nullptr) {
        CXDebugError("CXStreamPipe::Connect> the ends are connected already");
        return false;
    }
    auto lock = std::make_shared<CXMutex>();
    first.fLock = lock;
    second.fLock = lock;
    first.fPeer = &second;
    second.fPeer = &first;
    return true;
}

void CXStreamPipe::SetListener(const CXAutoReference<CXStreamPipeListener>& listener)
{
    CXMutexLocker lock(fLock.get());
    fListener = listener;
}

uint64_t CXStreamPipe::GetSize()
{
    return fInbound.GetSize();
}

void CXStreamPipe::SetCaps(uint32_t value, uint32_t mask)
{
    CXMutexLocker lock(fLock.get());
    uint32_t changed = mask & kCapsNonBlocking;
    fCaps = (value & changed) | (fCaps & ~changed);
    fInbound.SetCaps(value, mask);
}

CXResultCode CXStreamPipe::Close()
{
    // The lock may be the pair's: keep it alive while this end lets go of it.
    std::shared_ptr<CXMutex> pairLock = fLock;
    CXMutexLocker lock(pairLock.get());
    if (fPeer != nullptr) {
        fPeer->fPeer = nullptr;
        (void)fPeer->fInbound.Close();
        fPeer = nullptr;
    }
    (void)fInbound.Close();
    fCaps &= ~kCapsOpen;
    return kCXOK;
}

uint64_t CXStreamPipe::VirtualWrite(const void* data, uint64_t size)
{
    CXMutexLocker lock(fLock.get());
    if (fPeer == nullptr || size == 0)
        return 0;
    uint64_t written = fPeer->fInbound.Write(data, size);
    if (fPeer->fListener.get() != nullptr)
        fPeer->fListener->DataArrived(fPeer);
    return written;
}

uint64_t CXStreamPipe::VirtualRead(void* buffer, uint64_t size)
{
    if (size == 0)
        return 0;
    uint64_t got = fInbound.Read(buffer, size);
    // Short only at the end, or when reading without waiting.
    if (got < size && fInbound.GetResult() == kCXEndOfData) {
        CXMutexLocker lock(fLock.get());
        MarkEndOfData();
    }
    return got;
}
