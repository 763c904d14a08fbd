// BSD sockets in place of Winsock: the connect is waited with poll and confirmed with SO_ERROR,
// sends never raise SIGPIPE, descriptors are not inherited. Linux has no loopback fast path.
#include "streams/CXStreamTCP.h"

#include "foundation/CXDebug.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

sockaddr_in ToSocketAddress(const IPv4Address& address)
{
    static_assert(sizeof(sockaddr_in) == sizeof(IPv4Address), "the same 16 bytes");
    sockaddr_in native{};
    native.sin_family = AF_INET;
    std::memcpy(&native.sin_port, address.port, 2);
    std::memcpy(&native.sin_addr.s_addr, address.address, 4);
    return native;
}

IPv4Address FromSocketAddress(const sockaddr_in& native)
{
    IPv4Address address;
    address.family = kIPv4Family;
    std::memcpy(address.port, &native.sin_port, 2);
    std::memcpy(address.address, &native.sin_addr.s_addr, 4);
    return address;
}

int SetBlocking(int fd, bool blocking)
{
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0)
        return errno;
    flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return ::fcntl(fd, F_SETFL, flags) < 0 ? errno : 0;
}

} // namespace

int CXStreamTCP::HostCreateSocket(int64_t& socket)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return errno;
    socket = fd;
    return 0;
}

int CXStreamTCP::HostBind(int64_t socket, const IPv4Address& address)
{
    int on = 1;
    (void)::setsockopt(int(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in native = ToSocketAddress(address);
    return ::bind(int(socket), reinterpret_cast<const sockaddr*>(&native), sizeof native) == 0 ? 0 : errno;
}

int CXStreamTCP::HostListen(int64_t socket)
{
    return ::listen(int(socket), SOMAXCONN) == 0 ? 0 : errno;
}

int CXStreamTCP::HostLocalAddress(int64_t socket, IPv4Address& address)
{
    sockaddr_in native{};
    socklen_t length = sizeof native;
    if (::getsockname(int(socket), reinterpret_cast<sockaddr*>(&native), &length) != 0)
        return errno;
    address = FromSocketAddress(native);
    return 0;
}

int CXStreamTCP::HostConnectStart(int64_t socket, const IPv4Address& address)
{
    int fd = int(socket);
    int error = SetBlocking(fd, false);
    if (error != 0)
        CXDebugLog("CXStreamTCP::Open> ioctlsocket(localSocket, FIONBIO, 1) returned %d", error);
    sockaddr_in native = ToSocketAddress(address);
    int connected;
    do {
        connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&native), sizeof native);
    } while (connected != 0 && errno == EINTR);
    if (connected == 0)
        return 1;
    if (errno != EINPROGRESS) {
        CXDebugLog("CXStreamTCP::Open> result=%d", errno);
        return -1;
    }
    return 0;
}

bool CXStreamTCP::HostConnectFinish(int64_t socket)
{
    int fd = int(socket);
    int soError = 0;
    socklen_t length = sizeof soError;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length) != 0) {
        CXDebugLog("CXStreamTCP::Open> getsockopt failed with err=%d", errno);
        return false;
    }
    if (soError != 0) {
        CXDebugLog("CXStreamTCP::Open> select returned open failure");
        CXDebugLog("CXStreamTCP::Open> getsockopt gave err=%d from connect()", soError);
        return false;
    }
    int error = SetBlocking(fd, true);
    if (error != 0)
        CXDebugLog("CXStreamTCP::Open> ioctlsocket(localSocket, FIONBIO, 0) returned %d", error);
    return true;
}

int CXStreamTCP::HostWaitReady(int64_t socket, bool forWrite, int64_t milliseconds, int& error)
{
    pollfd wait = {int(socket), short(forWrite ? POLLOUT : POLLIN), 0};
    int ready = ::poll(&wait, 1, milliseconds < 0 ? -1 : int(std::min<int64_t>(milliseconds, INT_MAX)));
    if (ready < 0) {
        if (errno == EINTR)
            return 0;
        error = errno;
        return -1;
    }
    return ready > 0 ? 1 : 0;
}

int64_t CXStreamTCP::HostReceive(int64_t socket, void* buffer, uint64_t size, bool dontWait, int& error)
{
    for (;;) {
        ssize_t count = ::recv(int(socket), buffer, size, dontWait ? MSG_DONTWAIT : 0);
        if (count >= 0)
            return count;
        if (dontWait && (errno == EAGAIN || errno == EWOULDBLOCK))
            return kWouldBlock;
        if (errno != EINTR) {
            error = errno;
            return -1;
        }
    }
}

int64_t CXStreamTCP::HostSend(int64_t socket, const void* data, uint64_t size, bool dontWait, int& error)
{
    for (;;) {
        ssize_t count = ::send(int(socket), data, size, MSG_NOSIGNAL | (dontWait ? MSG_DONTWAIT : 0));
        if (count >= 0)
            return count;
        if (dontWait && (errno == EAGAIN || errno == EWOULDBLOCK))
            return kWouldBlock;
        if (errno != EINTR) {
            error = errno;
            return -1;
        }
    }
}

int CXStreamTCP::HostAccept(int64_t socket, int64_t& accepted, IPv4Address& peer)
{
    for (;;) {
        sockaddr_in native{};
        socklen_t length = sizeof native;
        int fd = ::accept4(int(socket), reinterpret_cast<sockaddr*>(&native), &length, SOCK_CLOEXEC);
        if (fd >= 0) {
            accepted = fd;
            peer = FromSocketAddress(native);
            return 0;
        }
        if (errno != EINTR)
            return errno;
    }
}

void CXStreamTCP::HostShutdown(int64_t socket)
{
    (void)::shutdown(int(socket), SHUT_RDWR);
}

void CXStreamTCP::HostCloseSocket(int64_t socket)
{
    // A close interrupted by a signal has still released the descriptor on Linux: never retried.
    (void)::close(int(socket));
}

int CXStreamTCP::HostSetNoDelay(int64_t socket, bool on)
{
    int flag = on ? 1 : 0;
    return ::setsockopt(int(socket), IPPROTO_TCP, TCP_NODELAY, &flag, sizeof flag) == 0 ? 0 : errno;
}

int CXStreamTCP::HostSetTimeouts(int64_t socket, bool send, uint32_t milliseconds)
{
    timeval time{};
    time.tv_sec = milliseconds / 1000;
    time.tv_usec = suseconds_t(milliseconds % 1000) * 1000;
    return ::setsockopt(int(socket), SOL_SOCKET, send ? SO_SNDTIMEO : SO_RCVTIMEO, &time, sizeof time) == 0 ? 0 : errno;
}

int CXStreamTCP::HostPollReadable(int64_t socket, bool& pendingError, int& error)
{
    pollfd wait = {int(socket), POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&wait, 1, 0);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
        error = errno;
        return -1;
    }
    if (wait.revents & POLLIN)
        return 1;
    pendingError = (wait.revents & POLLERR) != 0;
    return 0;
}
