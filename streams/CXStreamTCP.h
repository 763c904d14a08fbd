#pragma once

#include "foundation/CXMutex.h"
#include "foundation/CXReadWriteLock.h"
#include "streams/CXStream.h"
#include "streams/IPv4Address.h"

#include <atomic>
#include <cstdint>
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
// One thread may read while another writes and a third closes: Close wakes a read or accept
// blocked on another thread.
class CXStreamTCP : public CXStream {
public:
    // The send and receive time-out SetSendTimeout and SetReceiveTimeout apply.
    static constexpr uint32_t kIOTimeoutMilliseconds = 45000;
    // The most one receive call asks for.
    static constexpr uint64_t kReceivePiece = 0x100000;

    CXStreamTCP();
    // Closes first.
    ~CXStreamTCP() override;

    // Connects to the address within timeoutMilliseconds. Returns the result also recorded: OK
    // (caps 0x100 set), -11 already open (the stream ends closed), -3 any failure to connect.
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

protected:
    uint64_t VirtualWrite(const void* data, uint64_t size) override { return BufferedWrite(data, size); }
    uint64_t VirtualRead(void* buffer, uint64_t size) override { return BufferedRead(buffer, size); }

    uint64_t BufferedRead(void* buffer, uint64_t size);
    uint64_t BufferedWrite(const void* data, uint64_t size);

private:
    // After a failed connect: records -3 and closes.
    CXResultCode FailOpen();
    static uint32_t IOTimeout();

    // Host side (CXStreamTCPLinux.cpp). Each returns 0 or the host error, and retries EINTR.
    static int HostCreateSocket(int64_t& socket);
    static int HostBind(int64_t socket, const IPv4Address& address);
    static int HostListen(int64_t socket);
    static int HostLocalAddress(int64_t socket, IPv4Address& address);
    // The whole non-blocking connect: logs its own failures; true when connected, blocking again.
    static bool HostConnect(int64_t socket, const IPv4Address& address, uint32_t timeoutMilliseconds);
    // Bytes received, 0 at the peer's close; -1 with error set on failure.
    static int64_t HostReceive(int64_t socket, void* buffer, uint64_t size, int& error);
    static int64_t HostSend(int64_t socket, const void* data, uint64_t size, int& error);
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
    CXMutex fCloseLock;
    CXReadWriteLock fIOLock;
};
