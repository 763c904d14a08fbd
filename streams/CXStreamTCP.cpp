#include "streams/CXStreamTCP.h"

#include "foundation/CXDebug.h"
#include "foundation/CXTime.h"

#include <algorithm>

namespace {

std::atomic<uint32_t> gTimeoutForTesting{0};

// Holds the I/O lock shared (reads, writes, options) or exclusive (connecting, closing).
class IOLocker {
public:
    IOLocker(CXReadWriteLock& lock, bool write) : fLock(lock), fWrite(write) { fLock.Lock(fWrite); }
    ~IOLocker() { fLock.Unlock(fWrite); }
    IOLocker(const IOLocker&) = delete;
    IOLocker& operator=(const IOLocker&) = delete;

private:
    CXReadWriteLock& fLock;
    bool fWrite;
};

} // namespace

CXStreamTCP::CXStreamTCP() : CXStream(kCapsRead | kCapsWrite) {}

CXStreamTCP::~CXStreamTCP()
{
    (void)Close();
}

void CXStreamTCP::SetTimeoutsForTesting(uint32_t milliseconds)
{
    gTimeoutForTesting.store(milliseconds);
}

uint32_t CXStreamTCP::IOTimeout()
{
    uint32_t forTesting = gTimeoutForTesting.load();
    return forTesting != 0 ? forTesting : kIOTimeoutMilliseconds;
}

CXResultCode CXStreamTCP::Open(const IPv4Address& address, uint32_t timeoutMilliseconds)
{
    fCloseLock.LockMutex();
    if (IsOpen()) {
        CXDebugError("CXStreamTCP::Open> Already open");
        SetResult(kCXAlreadyOpen);
        fCloseLock.UnlockMutex();
        (void)Close();
        return kCXAlreadyOpen;
    }
    ResetResult();
    fRemoteAddress = address;
    int64_t socket = -1;
    int error = HostCreateSocket(socket);
    if (error != 0) {
        CXDebugLog("socket> error %d", error);
        SetResult(kCXEndOfData);
        fCloseLock.UnlockMutex();
        return kCXEndOfData;
    }
    fSocket.store(socket, std::memory_order_release);
    fCloseLock.UnlockMutex();

    {
        IOLocker locker(fIOLock, true);
        if (fSocket.load(std::memory_order_acquire) != socket)
            return GetResult(); // closed meanwhile
        if (fLoopbackFastPath)
            CXDebugLog("CXStreamTCP::Open> loopback fast path is not available on this host");
        fLocalAddress = IPv4AddressMake(0, 0);
        error = HostBind(socket, fLocalAddress);
        if (error != 0) {
            CXDebugLog("bind> errno=%d", error);
        } else if (HostConnect(socket, address, timeoutMilliseconds)) {
            if (fSocket.load(std::memory_order_acquire) != socket) {
                // Closed while connecting: the close finishes once this lock is released.
                SetResult(kCXEndOfData);
                return kCXEndOfData;
            }
            (void)HostLocalAddress(socket, fLocalAddress);
            fCaps |= kCapsOpen;
            fCaps &= ~(kCapsNonBlocking | kCapsEndOfData);
            return kCXOK;
        }
    }
    return FailOpen();
}

CXResultCode CXStreamTCP::FailOpen()
{
    SetResult(kCXEndOfData);
    (void)Close();
    return kCXEndOfData;
}

CXResultCode CXStreamTCP::Listen(const IPv4Address& address)
{
    CXMutexLocker closeLocker(&fCloseLock);
    if (IsOpen()) {
        CXDebugError("CXStreamTCP::Listen> Already open");
        SetResult(kCXAlreadyOpen);
        return kCXAlreadyOpen;
    }
    ResetResult();
    int64_t socket = -1;
    int error = HostCreateSocket(socket);
    if (error == 0) {
        error = HostBind(socket, address);
        if (error == 0)
            error = HostListen(socket);
        if (error == 0)
            error = HostLocalAddress(socket, fLocalAddress);
        if (error != 0)
            HostCloseSocket(socket);
    }
    if (error != 0) {
        CXDebugLog("CXStreamTCP::Listen> port %d failed with errno=%d", int(IPv4AddressPort(address)), error);
        SetResult(kCXEndOfData);
        return kCXEndOfData;
    }
    IPv4AddressClear(fRemoteAddress);
    fSocket.store(socket, std::memory_order_release);
    fCaps |= kCapsOpen;
    fCaps &= ~(kCapsNonBlocking | kCapsEndOfData);
    return kCXOK;
}

CXResultCode CXStreamTCP::Close()
{
    int64_t socket;
    {
        CXMutexLocker closeLocker(&fCloseLock);
        socket = fSocket.exchange(-1, std::memory_order_acq_rel);
        if (socket == -1)
            return kCXOK;
    }
    // Only a shutdown wakes a receive or accept blocked on another thread, which holds the I/O
    // lock shared: it must come before the lock is taken exclusively.
    HostShutdown(socket);
    IOLocker locker(fIOLock, true);
    HostCloseSocket(socket);
    fCaps &= ~(kCapsOpen | kCapsNonBlocking);
    fNoDelay = false;
    return kCXOK;
}

uint64_t CXStreamTCP::BufferedRead(void* buffer, uint64_t size)
{
    IOLocker locker(fIOLock, false);
    int64_t socket = fSocket.load(std::memory_order_acquire);
    if (socket == -1) {
        SetResult(kCXFailed);
        return 0;
    }
    if (size >= 0x80000000ull) {
        SetResult(kCXNoResources);
        return 0;
    }
    if (Failed())
        return 0;
    auto* bytes = static_cast<uint8_t*>(buffer);
    uint64_t got = 0;
    while (got < size) {
        int error = 0;
        int64_t count = HostReceive(socket, bytes + got, std::min(size - got, kReceivePiece), error);
        if (count <= 0) {
            if (error != 0) {
                CXDebugLog("CXStreamTCP::BufferedRead> recv returned err %d (at timestamp %lld)", error,
                           static_cast<long long>(CXTime::GetCurrentTimestamp()));
                SetResult(kCXEndOfData);
            } else {
                // The peer's orderly close: the only end that also sets the end-of-data bit.
                MarkEndOfData();
            }
            break;
        }
        got += uint64_t(count);
        if (fCaps & kCapsNonBlocking)
            break;
    }
    return got;
}

uint64_t CXStreamTCP::BufferedWrite(const void* data, uint64_t size)
{
    IOLocker locker(fIOLock, false);
    int64_t socket = fSocket.load(std::memory_order_acquire);
    if (socket == -1) {
        SetResult(kCXFailed);
        return 0;
    }
    if (size >= 0x80000000ull) {
        SetResult(kCXNoResources);
        return 0;
    }
    if (Failed())
        return 0;
    const auto* bytes = static_cast<const uint8_t*>(data);
    uint64_t sent = 0;
    while (sent < size) {
        int error = 0;
        int64_t count = HostSend(socket, bytes + sent, size - sent, error);
        if (count <= 0) {
            CXDebugLog("CXStreamTCP::BufferedWrite> send returned err %d", error);
            SetResult(kCXEndOfData);
            break;
        }
        sent += uint64_t(count);
    }
    return sent;
}

CXResultCode CXStreamTCP::Flush(uint32_t hard)
{
    (void)hard;
    if (!IsOpen()) {
        CXDebugLog("CXStreamTCP::Flush> called on unopened stream");
        return kCXFailed;
    }
    if (!fNoDelay) {
        (void)SetNoDelay(true);
        (void)SetNoDelay(false);
    }
    return kCXOK;
}

void CXStreamTCP::SetCaps(uint32_t value, uint32_t mask)
{
    mask &= kCapsNonBlocking;
    fCaps = (fCaps & ~mask) | (value & mask);
}

bool CXStreamTCP::Control(uint32_t code, uint64_t value)
{
    (void)code;
    (void)value;
    return false;
}

CXResultCode CXStreamTCP::SetNoDelay(bool on)
{
    IOLocker locker(fIOLock, false);
    int64_t socket = fSocket.load(std::memory_order_acquire);
    if (socket == -1) {
        CXDebugLog("CXStreamTCP::SetNoDelay> called on unopened stream");
        return kCXFailed;
    }
    fNoDelay = on;
    (void)HostSetNoDelay(socket, on);
    return kCXOK;
}

CXResultCode CXStreamTCP::SetSendTimeout()
{
    IOLocker locker(fIOLock, false);
    int64_t socket = fSocket.load(std::memory_order_acquire);
    if (socket == -1) {
        CXDebugLog("CXStreamTCP::SetSendTimeout> called on unopened stream");
        return kCXFailed;
    }
    (void)HostSetTimeouts(socket, true, IOTimeout());
    return kCXOK;
}

CXResultCode CXStreamTCP::SetReceiveTimeout()
{
    IOLocker locker(fIOLock, false);
    int64_t socket = fSocket.load(std::memory_order_acquire);
    if (socket == -1) {
        CXDebugLog("CXStreamTCP::SetReceiveTimeout> called on unopened stream");
        return kCXFailed;
    }
    (void)HostSetTimeouts(socket, false, IOTimeout());
    return kCXOK;
}

CXResultCode CXStreamTCP::SetLoopbackFastPath(bool on)
{
    fLoopbackFastPath = on;
    return IsOpen() ? kCXNotSupported : kCXOK;
}

bool CXStreamTCP::HasData()
{
    bool pendingError = false;
    {
        IOLocker locker(fIOLock, false);
        int64_t socket = fSocket.load(std::memory_order_acquire);
        if (socket == -1)
            return false;
        int error = 0;
        int readable = HostPollReadable(socket, pendingError, error);
        if (readable < 0) {
            CXDebugLog("CXStreamTCP::HasData> select returned error %d", error);
            return false;
        }
        if (readable > 0)
            return true;
    }
    if (pendingError)
        (void)Close();
    return false;
}

std::unique_ptr<CXStreamTCP> CXStreamTCP::AcceptNew()
{
    int64_t accepted = -1;
    IPv4Address peer;
    {
        IOLocker locker(fIOLock, false);
        int64_t socket = fSocket.load(std::memory_order_acquire);
        if (socket == -1)
            return nullptr;
        int error = HostAccept(socket, accepted, peer);
        if (fSocket.load(std::memory_order_acquire) != socket) {
            // Closed while waiting: the close woke us.
            if (error == 0)
                HostCloseSocket(accepted);
            return nullptr;
        }
        if (error != 0) {
            CXDebugLog("accept> %d", error);
            return nullptr;
        }
    }
    auto stream = std::make_unique<CXStreamTCP>();
    stream->fSocket.store(accepted, std::memory_order_release);
    stream->fLocalAddress = fLocalAddress;
    stream->fRemoteAddress = peer;
    stream->fCaps |= kCapsOpen;
    return stream;
}
