#include "streams/CXStreamTCP.h"

#include "foundation/CXDebug.h"
#include "foundation/CXTime.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

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

uint32_t CXStreamTCP::GetIOTimeout()
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
    CXResultCode connected = kCXEndOfData;
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
        fReceiveTimeout.store(0);
        fSendTimeout.store(0);
        fLocalAddress = IPv4AddressMake(0, 0);
        error = HostBind(socket, fLocalAddress);
        if (error != 0) {
            CXDebugLog("bind> errno=%d", error);
            connected = kCXEndOfData;
        } else {
            connected = ConnectSocket(socket, address, timeoutMilliseconds);
        }
        if (connected == kCXOK) {
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
    return FailOpen(connected);
}

CXResultCode CXStreamTCP::ConnectSocket(int64_t socket, const IPv4Address& address, uint32_t timeoutMilliseconds)
{
    int started = HostConnectStart(socket, address);
    if (started < 0)
        return kCXEndOfData;
    if (started == 0) {
        int error = 0;
        switch (WaitReady(socket, true, NowMilliseconds() + timeoutMilliseconds, error)) {
        case WaitEnd::kReady:
            break;
        case WaitEnd::kTimedOut:
        case WaitEnd::kPastDeadline:
            CXDebugLog("CXStreamTCP::Open> timeout");
            return kCXEndOfData;
        case WaitEnd::kCancelled:
            CXDebugLog("CXStreamTCP::Open> cancelled");
            return kCXCancelled;
        case WaitEnd::kFailed:
            CXDebugLog("CXStreamTCP::Open> select returned error %d", error);
            return kCXEndOfData;
        }
    }
    return HostConnectFinish(socket) ? kCXOK : kCXEndOfData;
}

CXResultCode CXStreamTCP::FailOpen(CXResultCode result)
{
    SetResult(result);
    (void)Close();
    return result;
}

void CXStreamTCP::SetWaitCheck(std::function<bool()> check)
{
    fWaitCheck = std::move(check);
    fNextCheck.store(0);
}

void CXStreamTCP::SetDeadline(uint32_t milliseconds)
{
    fDeadline.store(milliseconds == 0 ? 0 : NowMilliseconds() + milliseconds);
}

int64_t CXStreamTCP::NowMilliseconds()
{
    using namespace std::chrono;
    // Never 0, which stands for "no deadline".
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() + 1;
}

int64_t CXStreamTCP::EndAfter(uint32_t timeout)
{
    return timeout == 0 ? INT64_MAX : NowMilliseconds() + timeout;
}

bool CXStreamTCP::WaitsInSlices() const
{
    return fWaitCheck || fDeadline.load() != 0;
}

CXStreamTCP::WaitEnd CXStreamTCP::WaitReady(int64_t socket, bool forWrite, int64_t end, int& error)
{
    int64_t deadline = fDeadline.load();
    for (;;) {
        int64_t now = NowMilliseconds();
        if (fWaitCheck && now >= fNextCheck.load()) {
            if (!fWaitCheck())
                return WaitEnd::kCancelled;
            now = NowMilliseconds();
            fNextCheck.store(now + kWaitCheckMilliseconds);
        }
        if (deadline != 0 && now >= deadline)
            return WaitEnd::kPastDeadline;
        if (now >= end)
            return WaitEnd::kTimedOut;
        int64_t until = std::min(end, deadline != 0 ? deadline : INT64_MAX);
        if (fWaitCheck)
            until = std::min(until, fNextCheck.load());
        int ready = HostWaitReady(socket, forWrite, until == INT64_MAX ? -1 : until - now, error);
        if (ready > 0)
            return WaitEnd::kReady;
        if (ready < 0)
            return WaitEnd::kFailed;
    }
}

void CXStreamTCP::FailWait(const char* prefix, WaitEnd end, int error)
{
    long long timestamp = static_cast<long long>(CXTime::GetCurrentTimestamp());
    switch (end) {
    case WaitEnd::kReady:
        return;
    case WaitEnd::kTimedOut:
        CXDebugLog("%s nothing moved within the time-out (at timestamp %lld)", prefix, timestamp);
        SetResult(kCXEndOfData);
        return;
    case WaitEnd::kPastDeadline:
        CXDebugLog("%s deadline passed (at timestamp %lld)", prefix, timestamp);
        SetResult(kCXEndOfData);
        return;
    case WaitEnd::kCancelled:
        CXDebugLog("%s wait cancelled", prefix);
        SetResult(kCXCancelled);
        return;
    case WaitEnd::kFailed:
        CXDebugLog("%s poll returned err %d (at timestamp %lld)", prefix, error, timestamp);
        SetResult(kCXEndOfData);
        return;
    }
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
    bool inSlices = WaitsInSlices();
    while (got < size) {
        int error = 0;
        if (inSlices) {
            WaitEnd end = WaitReady(socket, false, EndAfter(fReceiveTimeout.load()), error);
            if (end != WaitEnd::kReady) {
                FailWait("CXStreamTCP::BufferedRead>", end, error);
                break;
            }
        }
        int64_t count = HostReceive(socket, bytes + got, std::min(size - got, kReceivePiece), inSlices, error);
        if (count == kWouldBlock)
            continue;
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
    bool inSlices = WaitsInSlices();
    while (sent < size) {
        int error = 0;
        if (inSlices) {
            WaitEnd end = WaitReady(socket, true, EndAfter(fSendTimeout.load()), error);
            if (end != WaitEnd::kReady) {
                FailWait("CXStreamTCP::BufferedWrite>", end, error);
                break;
            }
        }
        int64_t count = HostSend(socket, bytes + sent, size - sent, inSlices, error);
        if (count == kWouldBlock)
            continue;
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
    (void)HostSetTimeouts(socket, true, GetIOTimeout());
    fSendTimeout.store(GetIOTimeout());
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
    (void)HostSetTimeouts(socket, false, GetIOTimeout());
    fReceiveTimeout.store(GetIOTimeout());
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
