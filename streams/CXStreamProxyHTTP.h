#pragma once

#include "foundation/CXString.h"
#include "streams/CXStreamTCP.h"

#include <cstdint>
#include <string_view>

// A TCP stream to a web proxy that tunnels it, with an HTTP CONNECT, to a host and port; once
// connected, the bytes read and written are the target's (a TLS stream usually runs on top).
class CXStreamProxyHTTP : public CXStreamTCP {
public:
    // The most header bytes a proxy's reply may have.
    static constexpr size_t kMaximumReplyHeader = 65536;

    // Opens the proxy (10 s to connect), sets the send and receive time-outs, asks for the tunnel
    // and reads the proxy's reply header, nothing beyond it. Returns the result also recorded: OK
    // for a 2xx status; -10 when the proxy refuses (403, or 407 asking for credentials); -17 for
    // any other status or a reply that is not HTTP; -12 for a header too long; the stream's
    // failure (-3) when the proxy cannot be reached, stalls or closes, or -16 when a wait check
    // (SetWaitCheck, set before) ended a wait. On failure the stream is closed.
    CXResultCode Connect(const CXString& host, uint16_t port, const IPv4Address& proxy);

    // The status of a reply whose header begins "HTTP/x.y NNN" followed by a space, a line end or
    // nothing; -1 for any other text.
    static int ParseStatusLine(std::string_view header);

private:
    CXResultCode Fail(CXResultCode result);
};
