#include "streams/CXStreamProxyHTTP.h"

#include "foundation/CXDebug.h"

#include <string>

namespace {

constexpr uint32_t kProxyConnectTimeoutMilliseconds = 10000;

} // namespace

int CXStreamProxyHTTP::ParseStatusLine(std::string_view header)
{
    if (header.substr(0, 5) != "HTTP/")
        return -1;
    size_t space = header.find(' ');
    if (space == std::string_view::npos || space + 4 > header.size())
        return -1;
    int status = 0;
    for (size_t i = space + 1; i < space + 4; ++i) {
        if (header[i] < '0' || header[i] > '9')
            return -1;
        status = status * 10 + (header[i] - '0');
    }
    char after = space + 4 < header.size() ? header[space + 4] : ' ';
    if (after != ' ' && after != '\r' && after != '\n')
        return -1;
    return status;
}

CXResultCode CXStreamProxyHTTP::Fail(CXResultCode result)
{
    SetResult(result);
    (void)Close();
    return result;
}

CXResultCode CXStreamProxyHTTP::Connect(const CXString& host, uint16_t port, const IPv4Address& proxy)
{
    CXResultCode opened = Open(proxy, kProxyConnectTimeoutMilliseconds);
    if (opened != kCXOK)
        return opened;
    // The tunnel is read and written like any other connection: a proxy or a server behind it
    // that stops answering must not hold the caller for ever.
    (void)SetSendTimeout();
    (void)SetReceiveTimeout();

    CXString request = CXString::FromFormat("CONNECT %s:%d HTTP/1.0\r\nHost: %s:%d\r\n\r\n", host.c_str(), int(port), host.c_str(), int(port));
    if (Write(request.c_str(), request.length()) != request.length() || Failed())
        return Fail(Failed() ? GetResult() : kCXEndOfData);

    // One byte at a time, so not a byte of what follows the header (the TLS handshake) is taken.
    // The header ends with an empty line: CR LF CR LF, or LF LF from a lax proxy. However slowly it
    // comes, it has one time-out in all.
    std::string header;
    PhaseDeadline deadline(*this, GetIOTimeout());
    for (;;) {
        char byte = 0;
        if (Read(&byte, 1) != 1 || Failed()) {
            CXDebugLog("CXStreamProxyHTTP::Connect> proxy reply for %s:%d ended after %zu bytes", host.c_str(), int(port),
                       header.size());
            return Fail(Failed() ? GetResult() : kCXEndOfData);
        }
        header.push_back(byte);
        size_t n = header.size();
        if (byte == '\n' && n >= 2 && (header[n - 2] == '\n' || (n >= 3 && header[n - 2] == '\r' && header[n - 3] == '\n')))
            break;
        if (n >= kMaximumReplyHeader) {
            CXDebugLog("CXStreamProxyHTTP::Connect> proxy reply header for %s:%d is too long", host.c_str(), int(port));
            return Fail(kCXBadFormat);
        }
    }

    int status = ParseStatusLine(header);
    if (status >= 200 && status <= 299)
        return kCXOK;
    if (status == 407 || status == 403) {
        CXDebugLog("CXStreamProxyHTTP::Connect> proxy refused the tunnel to %s:%d with status %d%s", host.c_str(), int(port), status,
                   status == 407 ? " (proxy authentication required)" : "");
        return Fail(kCXAccessDenied);
    }
    if (status < 0)
        CXDebugLog("CXStreamProxyHTTP::Connect> proxy reply for %s:%d is not HTTP", host.c_str(), int(port));
    else
        CXDebugLog("CXStreamProxyHTTP::Connect> proxy answered status %d for %s:%d", status, host.c_str(), int(port));
    return Fail(kCXSystemError);
}
