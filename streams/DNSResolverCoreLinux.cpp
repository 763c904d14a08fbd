// Name lookup through getaddrinfo, which unlike gethostbyname may run on several threads at once.
#include "streams/DNSResolverCore.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

int DNSResolverHostLookup(const char* name, uint8_t (&address)[4], bool& isIPv4)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int error;
    do {
        error = ::getaddrinfo(name, nullptr, &hints, &found);
    } while (error == EAI_SYSTEM && errno == EINTR);
    if (error != 0)
        return error;
    if (found == nullptr)
        return EAI_NONAME;
    isIPv4 = found->ai_family == AF_INET && found->ai_addrlen >= sizeof(sockaddr_in);
    if (isIPv4) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
        std::memcpy(address, &in->sin_addr.s_addr, 4);
    }
    ::freeaddrinfo(found);
    return 0;
}
