#pragma once

#include "foundation/CXMutex.h"
#include "foundation/CXReadWriteLock.h"
#include "streams/CXStream.h"
#include "streams/IPv4Address.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

// A stream over one IPv4 TCP socket. No window: every read and write is a socket call. Opening
// is a connect bounded by the caller's time-out; afterwards the socket blocks, with the send and
// receive time-outs the caller sets (SetSendTimeout, SetReceiveTimeout).
//
// Every connect, send and receive failure, whatever its cause, and the peer's close give -3; only
// the peer's orderly close (a receive of 0 bytes) also sets the end-of-data bit (0x200), so a
// reset or a time-out can be told from it. A read waits for every byte asked for unless caps bit
// 0x400 (SetCaps) is set: then it returns after one receive with what that delivered.
//
// A wait check (SetWaitCheck) lets the owner end a connect, read or write that waits (-16), and a
// deadline (SetDeadline) bounds every wait from then on; either makes the stream wait for the
// socket in slices it can look between.
//
// One thread may read while another writes and a third closes: Close wakes a read or accept
// blocked on another thread.
class CXStreamTCP : public CXStream {
public:
    // The send and receive time-out SetSendTimeout and SetReceiveTimeout apply.
    static constexpr uint32_t kIOTimeoutMilliseconds = 45000;
    // The most one receive call asks for.
    static constexpr uint64_t kReceivePiece = 0x100000;
    // How often a waiting connect, read or write asks the wait check.
    static constexpr uint32_t kWaitCheckMilliseconds = 250;

    CXStreamTCP();
    // Closes first.
    ~CXStreamTCP() override;

    // Connects to the address within timeoutMilliseconds. Returns the result also recorded: OK
    // (caps 0x100 set), -11 already open (the stream ends closed), -3 any failure to connect,
    // -16 when the wait check ended the wait (the stream ends closed).
    CXResultCode Open(const IPv4Address& address, uint32_t timeoutMilliseconds);
    // Makes this a listening stream bound to the address (port 0 picks a free port, which
    // GetLocalAddress then gives). Returns OK, -11 already open, -3 when the socket cannot be
    // bound or listen.
    CXResultCode Listen(const IPv4Address& address);

    CXResultCode Close() override;
    // Pushes out data the Nagle algorithm holds back (nothing to do with TCP_NODELAY on). -1 on a
    // closed stream.
    CXResultCode Flush(uint32_t hard) override;
    // Changes only bit 0x400 (one receive per read).
    void SetCaps(uint32_t value, uint32_t mask) override;
    bool Control(uint32_t code, uint64_t value) override;

    // True when a read would not block now. A socket with a pending error and nothing to read is
    // closed.
    bool HasData();
    // -1 on a closed stream, else OK.
    CXResultCode SetNoDelay(bool on);
    CXResultCode SetSendTimeout();
    CXResultCode SetReceiveTimeout();
    // Asked on the waiting thread while Open, a read or a write waits for the socket: at the first
    // wait, then whenever kWaitCheckMilliseconds have passed since it was last asked. False ends
    // the wait with -16, recorded. Empty (the default) never ends a wait. Set it before the waits
    // it governs, never while one runs.
    void SetWaitCheck(std::function<bool()> check);
    // Every wait from now on ends, as a time-out (-3, recorded), at the latest milliseconds from
    // now; 0 takes the end away. Like the wait check, set between waits.
    void SetDeadline(uint32_t milliseconds);
    // One phase's deadline: set for the waits while it lives, taken away when it goes.
    class PhaseDeadline {
    public:
        PhaseDeadline(CXStreamTCP& stream, uint32_t milliseconds) : fStream(stream) { fStream.SetDeadline(milliseconds); }
        ~PhaseDeadline() { fStream.SetDeadline(0); }
        PhaseDeadline(const PhaseDeadline&) = delete;
        PhaseDeadline& operator=(const PhaseDeadline&) = delete;

    private:
        CXStreamTCP& fStream;
    };
    // Not available on this host: OK on a closed stream (the wish is kept), -2 on an open one.
    CXResultCode SetLoopbackFastPath(bool on);

    // Waits for the next connection on a listening stream. Null on failure, on a closed stream,
    // or when the stream was closed while waiting.
    std::unique_ptr<CXStreamTCP> AcceptNew();

    bool IsOpen() const { return fSocket.load(std::memory_order_acquire) != -1; }
    const IPv4Address& GetLocalAddress() const { return fLocalAddress; }
    const IPv4Address& GetRemoteAddress() const { return fRemoteAddress; }

    // Test seam: the time-out SetSendTimeout and SetReceiveTimeout apply; 0 puts back 45000 ms.
    static void SetTimeoutsForTesting(uint32_t milliseconds);
    // The send and receive time-out in force: kIOTimeoutMilliseconds unless the seam changed it.
    static uint32_t GetIOTimeout();

protected:
    uint64_t VirtualWrite(const void* data, uint64_t size) override { return BufferedWrite(data, size); }
    uint64_t VirtualRead(void* buffer, uint64_t size) override { return BufferedRead(buffer, size); }

    uint64_t BufferedRead(void* buffer, uint64_t size);
    uint64_t BufferedWrite(const void* data, uint64_t size);

private:
    // How a wait for the socket ended.
    enum class WaitEnd { kReady, kTimedOut, kPastDeadline, kCancelled, kFailed };
    // A host receive or send that found nothing to do without blocking.
    static constexpr int64_t kWouldBlock = -2;

    // With the I/O lock held: the connect and its wait. OK, -3 or -16.
    CXResultCode ConnectSocket(int64_t socket, const IPv4Address& address, uint32_t timeoutMilliseconds);
    // After a failed connect: records the result and closes.
    CXResultCode FailOpen(CXResultCode result);
    // Whether reads and writes wait for the socket themselves (a wait check or a deadline is set).
    bool WaitsInSlices() const;
    // Waits until the socket can be read (or written) without blocking, until the time `end`
    // (steady milliseconds, INT64_MAX none) or the deadline, asking the wait check between slices.
    WaitEnd WaitReady(int64_t socket, bool forWrite, int64_t end, int& error);
    // The end of a wait that may last `timeout` milliseconds from now (0: no limit).
    static int64_t EndAfter(uint32_t timeout);
    // Logs why a read or write stopped waiting (prefix names it) and records the result.
    void FailWait(const char* prefix, WaitEnd end, int error);
    static int64_t NowMilliseconds();

    // Host side (CXStreamTCPLinux.cpp). Each returns 0 or the host error, and retries EINTR.
    static int HostCreateSocket(int64_t& socket);
    static int HostBind(int64_t socket, const IPv4Address& address);
    static int HostListen(int64_t socket);
    static int HostLocalAddress(int64_t socket, IPv4Address& address);
    // Starts a non-blocking connect: 1 connected at once, 0 under way, -1 failed (logged).
    static int HostConnectStart(int64_t socket, const IPv4Address& address);
    // After the wait for a connect under way: true when it succeeded (failures logged); the
    // socket blocks again.
    static bool HostConnectFinish(int64_t socket);
    // 1 ready to read (or write; or holding an error), 0 not within milliseconds (-1 without
    // limit) or interrupted, -1 with error set.
    static int HostWaitReady(int64_t socket, bool forWrite, int64_t milliseconds, int& error);
    // Bytes received, 0 at the peer's close; -1 with error set on failure; with dontWait,
    // kWouldBlock when nothing is there.
    static int64_t HostReceive(int64_t socket, void* buffer, uint64_t size, bool dontWait, int& error);
    static int64_t HostSend(int64_t socket, const void* data, uint64_t size, bool dontWait, int& error);
    static int HostAccept(int64_t socket, int64_t& accepted, IPv4Address& peer);
    static void HostShutdown(int64_t socket);
    static void HostCloseSocket(int64_t socket);
    static int HostSetNoDelay(int64_t socket, bool on);
    static int HostSetTimeouts(int64_t socket, bool send, uint32_t milliseconds);
    // 1 readable, 0 not, -1 with error set; pendingError when the socket holds an error.
    static int HostPollReadable(int64_t socket, bool& pendingError, int& error);

    IPv4Address fLocalAddress;
    IPv4Address fRemoteAddress;
    std::atomic<int64_t> fSocket{-1};
    bool fLoopbackFastPath = false;
    bool fNoDelay = false;
    // The time-outs set on the socket (0: none), which waits in slices keep themselves.
    std::atomic<uint32_t> fReceiveTimeout{0};
    std::atomic<uint32_t> fSendTimeout{0};
    std::function<bool()> fWaitCheck;
    // When the wait check is next due, and the deadline (steady milliseconds; 0 none).
    std::atomic<int64_t> fNextCheck{0};
    std::atomic<int64_t> fDeadline{0};
    CXMutex fCloseLock;
    CXReadWriteLock fIOLock;
};
