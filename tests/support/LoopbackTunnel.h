#pragma once

#include "streams/CXStreamTCP.h"
#include "streams/IPv4Address.h"
#include "support/LoopbackServer.h"

#include <cstdint>
#include <thread>

// A proxy for LoopbackServer handlers: it opens the tunnel its client asks for with CONNECT (to
// a loopback port) and relays both ways until either side ends.
inline void RelayThroughTunnel(LoopbackConnection& client, uint16_t targetPort)
{
    if (!client.ReadUntil("\r\n\r\n"))
        return;
    CXStreamTCP target;
    if (target.Open(IPv4AddressFromText("127.0.0.1", targetPort), 5000) != kCXOK)
        return;
    client.Write("HTTP/1.1 200 Connection established\r\n\r\n");
    target.SetCaps(CXStream::kCapsNonBlocking, CXStream::kCapsNonBlocking);
    std::thread toClient([&] {
        char buffer[4096];
        while (uint64_t count = target.Read(buffer, sizeof buffer)) {
            if (!client.Write(buffer, count))
                break;
        }
    });
    char buffer[4096];
    while (size_t count = client.Read(buffer, sizeof buffer)) {
        if (target.Write(buffer, count) != count)
            break;
    }
    (void)target.Close();
    toClient.join();
}
