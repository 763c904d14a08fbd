#pragma once

#include "foundation/CXArray.h"
#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"
#include "foundation/CXStringEdit.h"
#include "streams/CXHTTPResponseHeader.h"
#include "streams/CXStreamCopy.h"
#include "streams/IPv4Address.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

class CXSSLContext;
class CXStream;
class CXStreamSSL;
class CXStreamTCP;
class CXStreamTextReader;
class CXURI;
class DNSResolverCore;

// Fetches one resource per request with an HTTP/1.1 GET over a new TCP connection, plain
// ("http") or through TLS ("https"), optionally through a web proxy, into a stream or into
// memory. No request body, no redirects, no connection reuse: every request connects, sends one
// request with "Connection: close", reads one reply and drops the connection.
//
// Resuming: when the output stream knows its size, can seek and already holds bytes, the request
// asks for the bytes after them ("Range: bytes=<size>-"). A partial reply (206) is written from
// the offset its Content-Range names; a whole reply (200) first cuts the output to 0 bytes
// (CXStream::kControlTruncate). A 416 whose Content-Range ("bytes */N") gives the resource exactly
// the N bytes the output holds means the output is complete: nothing is written and the request
// succeeds. The body of a reply that is not 200 or 206 never reaches the output.
//
// Cookies a reply sets are sent with the next request to the same host, once.
//
// Used by one thread at a time. The TLS context made at the first HTTPS request belongs to that
// thread: a connection that made one is destroyed there.
class CXHTTPConnection {
public:
    // The most a body read into memory may have, and the limit a caller can lower.
    static constexpr uint64_t kMemoryBodyMaximum = 0x4000000; // 64 MiB
    // The time-out of a connect (to the server or the proxy).
    static constexpr uint32_t kConnectTimeoutMilliseconds = 10000;

    CXHTTPConnection();
    ~CXHTTPConnection();
    CXHTTPConnection(const CXHTTPConnection&) = delete;
    CXHTTPConnection& operator=(const CXHTTPConnection&) = delete;

    // Fetches the address into the output stream (not owned); with a null output the body is
    // read into memory, under the memory limit, and dropped.
    // The progress callback (may be empty) hears of every piece of the body: bytesDone counts the
    // body so far, callbackState1 holds the body's expected length (all ones when unknown) and
    // callbackState2 the offset asked for; fraction counts the offset as done. It cancels by
    // returning false; before the body the cancel check (SetCancelCheck) does.
    //
    // Returns OK for a 200 or 206 reply whose body arrived whole: by its length, chunked, or,
    // without either, up to the server's orderly close; and for a 416 that finds the output
    // complete (above). Failures: -15 a scheme other than http or
    // https; -5 a bad or unresolvable proxy, a host or target holding a line end, or a status
    // other than 200, 206 and 404; -7 status 404 or a host that cannot be resolved; -3 connect,
    // send or receive failure, time-out (45 s for each send and receive, also in the TLS
    // handshake, and 45 s for the whole reply header), a connection that ended early (also
    // without a TLS close-notify) or a short body; -10 TLS refused; -17 no trusted certificates;
    // -12 a malformed reply (see CXHTTPResponseHeader::GetBodyFraming, the chunked coding, a range
    // that does not fit the request); -6 a memory body above the limit; -16 cancelled (nothing is
    // written to the output when that happens before the body); -2 an output that must be cut
    // for a whole reply and cannot be; the output's failure when writing failed.
    CXResultCode Get(const CXURI& address, CXStream* output, const CXStreamProgressCallback& progress);
    // Fetches the address into memory and hands the body over as a string: the null string when
    // the body is empty or the request failed.
    CXResultCode GetString(const CXURI& address, CXString& body, const CXStreamProgressCallback& progress);

    // The value of the first request header named exactly name; an entry with an empty value ends
    // the search. Null when not found.
    CXString GetRequestHeader(const CXStringArgument& name) const;
    // Appends a header sent with every request, after Host and Connection, in insertion order. An
    // existing header of that name stays.
    void AddRequestHeader(const CXString& name, const CXString& value);
    // Removes every request header of that name.
    void RemoveRequestHeader(const CXStringArgument& name);

    // The status of the last reply; 0 until a status line is read.
    int32_t GetStatusCode() const { return fStatusCode; }
    // A header of the last reply that the client does not act on itself (name in lower case,
    // without the colon); null when there is none.
    CXString GetResponseHeader(const CXStringArgument& name) const;

    // Lowers the most a body read into memory may have; values above kMemoryBodyMaximum give the
    // maximum.
    void SetMemoryBodyLimit(uint64_t limit);
    // "host" or "host:port" (port 8080 unless given) of a web proxy every later request goes
    // through; empty connects directly. "https" goes through a CONNECT tunnel; "http" asks the
    // proxy with the whole address in the request line ("GET http://host:port/path?query",
    // without credentials; the port only when not 80). The proxy is resolved at its first use.
    void SetProxy(const CXString& proxy);
    // Asked at least every 250 ms while a request waits before its body: for the name lookup,
    // the connect, the proxy's tunnel, the TLS handshake, sending the request and the reply
    // header. True cancels the request (-16) with nothing written to the output. Empty (the
    // default): those waits end only at their time-outs. Called on the requesting thread.
    void SetCancelCheck(std::function<bool()> cancelled) { fCancelCheck = std::move(cancelled); }
    // The resolver for host names (not owned; it must outlive its use); null resolves each name
    // with a DNSResolverCore of the request's own. With a cancel check the name is looked up
    // through the resolver's queue (QueueRequest): a cancelled request leaves its lookup
    // running there, and the resolver's destructor waits for it.
    void SetResolver(DNSResolverCore* resolver) { fResolver = resolver; }

private:
    struct RequestHeader {
        CXString name;
        CXString value;
    };
    // Asked while a request waits before the body; false gives the wait up (the cancel check,
    // turned round).
    using WaitCheck = std::function<bool()>;
    // One request on its open connection, from the request to the body.
    struct Exchange {
        Exchange(CXStream* into, CXStringEditBase* intoMemory, const CXStreamProgressCallback& callback)
            : output(into), memory(intoMemory), progress(callback)
        {
        }

        CXStream* output = nullptr;
        CXStringEditBase* memory = nullptr;
        const CXStreamProgressCallback& progress;
        int64_t requestedOffset = 0;
        CXStreamTCP* transport = nullptr;
        // The TLS stream over the transport, or the transport.
        CXStream* stream = nullptr;
        // The request line's target, the Host line's value, the host the cookies belong to.
        CXString target;
        CXString hostLine;
        CXString cookieHost;
        // The body ran to the connection's orderly end.
        bool endedByClose = false;
    };

    CXResultCode SetUpProxy(const WaitCheck& keepWaiting);
    // The dotted-quad answer for the name, empty when there is none. With a wait check the lookup
    // runs in the background; cancelled is set when the check gave the wait up.
    CXString Resolve(const CXString& name, const WaitCheck& keepWaiting, bool& cancelled);
    // Get into the output, or into memory (output null).
    CXResultCode Fetch(const CXURI& address, CXStream* output, CXStringEditBase* memory, const CXStreamProgressCallback& progress);
    // The bytes the output holds, which the request asks to follow; 0 for none.
    static int64_t RequestedOffset(CXStream* output);
    // The connection to the server, the web proxy, or through the proxy's tunnel.
    CXResultCode OpenTransport(const CXString& host, uint16_t port, bool https, const WaitCheck& keepWaiting,
                               std::unique_ptr<CXStreamTCP>& transport);
    // Adds the address's credentials as a Basic authorisation unless one is there: true if added.
    bool AddAuthorization(const CXURI& address);
    CXResultCode StartTLS(const CXString& host, CXStreamTCP& transport, std::unique_ptr<CXStreamSSL>& tls);
    // The phases of one request and its reply over an open connection.
    CXResultCode PerformRequest(Exchange& exchange);
    CXResultCode SendRequest(Exchange& exchange);
    CXResultCode ReadReplyHeader(Exchange& exchange, CXStreamTextReader& reader);
    // Moves or cuts the output for the reply, or refuses a memory body above the limit. bodyOffset:
    // where the body starts in the resource.
    CXResultCode PrepareOutput(Exchange& exchange, const CXHTTPBodyFraming& framing, int64_t& bodyOffset);
    CXResultCode ReadBody(Exchange& exchange, CXStream& source, const CXHTTPBodyFraming& framing, int64_t bodyOffset);
    CXResultCode ReadChunkedData(CXStream& stream, CXStream& output, int64_t expectedLength, int64_t requestedOffset,
                                 const CXStreamProgressCallback& progress);
    void AppendCookieLine(CXStringEditBase& request, const CXString& host);
    // Drops the cookies kept for the host.
    void TakeCookies(const CXString& host);
    bool HasRequestHeader(const CXStringArgument& name) const;

    int32_t fStatusCode = 0;
    Array<CXHTTPCookie> fCookies{128};
    CXHTTPResponseHeader fResponse;
    Array<RequestHeader> fRequestHeaders{128};
    CXSSLContext* fSSLContext = nullptr;
    CXString fProxy;
    IPv4Address fProxyAddress;
    DNSResolverCore* fResolver = nullptr;
    std::function<bool()> fCancelCheck;
    bool fCheckCertificateHost = true;
    uint64_t fMemoryBodyLimit = kMemoryBodyMaximum;
};
