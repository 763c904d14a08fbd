#include "streams/CXHTTPConnection.h"

#include "foundation/CXBase64.h"
#include "foundation/CXDebug.h"
#include "foundation/CXEvent.h"
#include "streams/CXHTTPChunkedDecoder.h"
#include "streams/CXSSLContext.h"
#include "streams/CXStream.h"
#include "streams/CXStreamProxyHTTP.h"
#include "streams/CXStreamSSL.h"
#include "streams/CXStreamTCP.h"
#include "streams/CXStreamTextReader.h"
#include "streams/CXURI.h"
#include "streams/DNSResolverCore.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

namespace {

// A chunked body is read in pieces of up to this size, each one receive.
constexpr uint64_t kChunkedPiece = 16384;

std::string_view View(const CXStringArgument& text)
{
    return std::string_view(text.data(), text.length());
}

bool EqualsNoCaseASCII(const CXString& text, const char* other)
{
    return CXStringArgument(text).CompareNoCase(other, true) == 0;
}

// Bytes that would end a request line or header early.
bool HoldsLineBreak(const CXString& text)
{
    std::string_view view = View(text);
    return view.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

template <class F>
class ScopeExit {
public:
    explicit ScopeExit(F f) : fF(std::move(f)) {}
    ~ScopeExit() { fF(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    F fF;
};

// The body's source: the bytes the header reader took from the connection beyond the header
// block first, then the connection itself, whose failures and end-of-data bit it shows as its own.
class BodySource : public CXStream {
public:
    explicit BodySource(CXStream& connection) : CXStream(kCapsRead | kCapsOpen), fConnection(connection) {}

    CXStringEditBase& Prefix() { return fPrefix; }
    void SetCaps(uint32_t value, uint32_t mask) override
    {
        fConnection.SetCaps(value, mask);
        mask &= kCapsNonBlocking;
        fCaps = (fCaps & ~mask) | (value & mask);
    }
protected:
    uint64_t VirtualRead(void* buffer, uint64_t size) override
    {
        if (fTaken < fPrefix.length()) {
            uint64_t count = std::min<uint64_t>(size, fPrefix.length() - fTaken);
            std::memcpy(buffer, fPrefix.data() + fTaken, static_cast<size_t>(count));
            fTaken += count;
            return count;
        }
        uint64_t got = fConnection.Read(buffer, size);
        if (fConnection.Failed()) {
            SetResult(fConnection.GetResult());
            if (fConnection.GetCaps() & kCapsEndOfData)
                fCaps |= kCapsEndOfData;
        }
        return got;
    }

private:
    CXStream& fConnection;
    CXStringEdit fPrefix;
    uint64_t fTaken = 0;
};

// A body read into memory, refused beyond a limit.
class MemoryBody : public CXStream {
public:
    MemoryBody(CXStringEditBase& buffer, uint64_t limit) : CXStream(kCapsWrite | kCapsOpen), fBuffer(buffer), fLimit(limit) {}

    bool Control(uint32_t code, uint64_t value) override
    {
        if (code != kControlReserve)
            return false;
        uint64_t room = fLimit > fBuffer.length() ? fLimit - fBuffer.length() : 0;
        (void)fBuffer.Upsize(fBuffer.length(), static_cast<size_t>(std::min(value, room)));
        return true;
    }

protected:
    uint64_t VirtualWrite(const void* data, uint64_t size) override
    {
        if (size > fLimit || fBuffer.length() > fLimit - size) {
            CXDebugLog("CXHTTPConnection::Get> body larger than the memory limit of %llu bytes",
                       static_cast<unsigned long long>(fLimit));
            SetResult(kCXNoResources);
            return 0;
        }
        if (!fBuffer.Append(static_cast<const char*>(data), static_cast<size_t>(size))) {
            SetResult(kCXNoResources);
            return 0;
        }
        return size;
    }

private:
    CXStringEditBase& fBuffer;
    uint64_t fLimit;
};

// The progress record the caller sees: the expected length and the offset the body starts at in
// the callback words, the offset counted as done.
void DescribeProgress(CXStreamProgressCallbackData& record, int64_t expectedLength, int64_t offset)
{
    record.callbackState1 = static_cast<uint64_t>(expectedLength);
    record.callbackState2 = static_cast<uint64_t>(offset);
    if (expectedLength > 0) {
        record.fractionUnknown = false;
        record.fraction = static_cast<float>(static_cast<double>(offset + static_cast<int64_t>(record.bytesDone)) /
                                             static_cast<double>(offset + expectedLength));
    } else {
        record.fractionUnknown = true;
        record.fraction = 0;
    }
}

CXResultCode FailureOf(const CXStream& stream, CXResultCode otherwise)
{
    return stream.Failed() ? stream.GetResult() : otherwise;
}

// The stream ended in order: the peer's close, or a TLS close-notify.
bool EndedInOrder(const CXStream& stream)
{
    return stream.GetResult() == kCXEndOfData && (stream.GetCaps() & CXStream::kCapsEndOfData) != 0;
}

// The answer of a lookup in the background, kept alive by whichever side lets go of it last.
struct LookupState {
    CXEvent done;
    CXString answer;
};

class LookupRequest : public DNSResolverRequest {
public:
    LookupRequest(const CXString& name, std::shared_ptr<LookupState> state) : DNSResolverRequest(name), fState(std::move(state)) {}
    void Complete(const CXString& address) override
    {
        fState->answer = address;
        fState->done.Set();
    }

private:
    std::shared_ptr<LookupState> fState;
};

// Serves the lookups of every connection without a resolver of its own. Never destroyed: a
// lookup given up may still run when the program ends, and nothing should wait for it then.
DNSResolverCore& BackgroundResolver()
{
    static DNSResolverCore* core = new DNSResolverCore();
    return *core;
}

} // namespace

CXHTTPConnection::CXHTTPConnection() = default;

CXHTTPConnection::~CXHTTPConnection()
{
    delete fSSLContext;
}

CXString CXHTTPConnection::GetRequestHeader(const CXStringArgument& name) const
{
    for (const RequestHeader& header : fRequestHeaders) {
        if (header.value.IsEmpty())
            break;
        if (View(header.name) == View(name))
            return header.value;
    }
    return CXString();
}

bool CXHTTPConnection::HasRequestHeader(const CXStringArgument& name) const
{
    for (const RequestHeader& header : fRequestHeaders) {
        if (View(header.name) == View(name))
            return true;
    }
    return false;
}

void CXHTTPConnection::AddRequestHeader(const CXString& name, const CXString& value)
{
    (void)fRequestHeaders.Append(RequestHeader{name, value});
}

void CXHTTPConnection::RemoveRequestHeader(const CXStringArgument& name)
{
    for (uint64_t i = fRequestHeaders.count(); i > 0; --i) {
        if (View(fRequestHeaders[i - 1].name) == View(name))
            fRequestHeaders.Remove(i - 1);
    }
}

CXString CXHTTPConnection::GetResponseHeader(const CXStringArgument& name) const
{
    return fResponse.GetField(name);
}

void CXHTTPConnection::SetMemoryBodyLimit(uint64_t limit)
{
    fMemoryBodyLimit = std::min(limit, kMemoryBodyMaximum);
}

void CXHTTPConnection::SetProxy(const CXString& proxy)
{
    fProxy = proxy;
    IPv4AddressClear(fProxyAddress);
}

CXString CXHTTPConnection::Resolve(const CXString& name, const WaitCheck& keepWaiting, bool& cancelled)
{
    cancelled = false;
    CXString answer;
    if (!keepWaiting) {
        if (fResolver != nullptr) {
            fResolver->Resolver(name, answer);
        } else {
            DNSResolverCore resolver;
            resolver.Resolver(name, answer);
        }
        return answer;
    }
    // A lookup cannot be interrupted: it runs on a worker, and the wait for it can be given up.
    auto state = std::make_shared<LookupState>();
    DNSResolverCore& core = fResolver != nullptr ? *fResolver : BackgroundResolver();
    core.QueueRequest(new LookupRequest(name, state));
    while (!state->done.WaitFor(CXStreamTCP::kWaitCheckMilliseconds)) {
        if (!keepWaiting()) {
            CXDebugLog("CXHTTPConnection::Get> cancelled while looking up '%s'", name.c_str());
            cancelled = true;
            return CXString();
        }
    }
    return state->answer;
}

CXResultCode CXHTTPConnection::SetUpProxy(const WaitCheck& keepWaiting)
{
    std::string_view text = View(fProxy);
    size_t colon = text.find(':');
    std::string_view host = text.substr(0, colon);
    if (host.empty()) {
        CXDebugLog("CXHTTPConnection::Get> proxy '%s' names no host", fProxy.c_str());
        return kCXBadParameter;
    }
    int32_t port = 8080;
    if (colon != std::string_view::npos) {
        std::string_view portText = text.substr(colon + 1);
        if (CXStringArgument(portText.data(), portText.size()).IsInteger(true) && portText.front() != '-') {
            int64_t value = CXStringArgument(portText.data(), portText.size()).ToInt64(-1);
            if (value < 1 || value > 65535) {
                CXDebugLog("CXHTTPConnection::Get> proxy '%s' has a bad port", fProxy.c_str());
                return kCXBadParameter;
            }
            port = static_cast<int32_t>(value);
        }
    }
    bool cancelled = false;
    CXString answer = Resolve(CXString(host.data(), host.size()), keepWaiting, cancelled);
    if (cancelled)
        return kCXCancelled;
    if (answer.IsEmpty())
        return kCXBadParameter;
    fProxyAddress = IPv4AddressFromText(answer, static_cast<uint16_t>(port));
    return kCXOK;
}

CXResultCode CXHTTPConnection::Get(const CXURI& address, CXStream* output, const CXStreamProgressCallback& progress)
{
    CXStringEdit discarded;
    CXResultCode result = Fetch(address, output, output != nullptr ? nullptr : &discarded, progress);
    if (result != kCXOK)
        CXDebugLog("CXHTTPConnection::Get> %s failed with %d (status %d)", address.ToLogString().c_str(),
                   static_cast<int>(result), static_cast<int>(fStatusCode));
    return result;
}

CXResultCode CXHTTPConnection::GetString(const CXURI& address, CXString& body, const CXStreamProgressCallback& progress)
{
    CXStringEdit memory;
    CXResultCode result = Fetch(address, nullptr, &memory, progress);
    if (result != kCXOK)
        CXDebugLog("CXHTTPConnection::GetString> %s failed with %d (status %d)", address.ToLogString().c_str(),
                   static_cast<int>(result), static_cast<int>(fStatusCode));
    body = result == kCXOK && !memory.IsEmpty() ? CXString(memory) : CXString();
    return result;
}

CXResultCode CXHTTPConnection::Fetch(const CXURI& address, CXStream* output, CXStringEditBase* memory,
                                     const CXStreamProgressCallback& progress)
{
    fStatusCode = 0;
    fResponse.Clear();
    bool https;
    if (EqualsNoCaseASCII(address.scheme, "http"))
        https = false;
    else if (EqualsNoCaseASCII(address.scheme, "https"))
        https = true;
    else
        return kCXConversionFailed;
    uint16_t defaultPort = https ? 443 : 80;
    uint16_t port = address.port != 0 ? address.port : defaultPort;
    CXString path = address.GetRequestTarget();
    if (HoldsLineBreak(address.host) || HoldsLineBreak(path))
        return kCXBadParameter;

    WaitCheck keepWaiting;
    if (fCancelCheck)
        keepWaiting = [this] { return !fCancelCheck(); };

    if (!fProxy.IsEmpty() && !IPv4AddressIsSet(fProxyAddress)) {
        CXResultCode proxyResult = SetUpProxy(keepWaiting);
        if (proxyResult != kCXOK)
            return proxyResult;
    }
    std::unique_ptr<CXStreamTCP> transport;
    CXResultCode result = OpenTransport(address.host, port, https, keepWaiting, transport);
    if (result != kCXOK)
        return result;

    // Credentials of the address go with this request only.
    bool addedAuthorization = AddAuthorization(address);
    ScopeExit removeAuthorization([&] {
        if (addedAuthorization)
            RemoveRequestHeader("Authorization");
    });

    std::unique_ptr<CXStreamSSL> tls;
    if (https) {
        result = StartTLS(address.host, *transport, tls);
        if (result != kCXOK)
            return result;
    }

    Exchange exchange(output, memory, progress);
    exchange.requestedOffset = RequestedOffset(output);
    CXStringEdit hostLine(address.host);
    if (port != defaultPort)
        (void)hostLine.AppendFormat(":%u", static_cast<unsigned>(port));
    exchange.hostLine = CXString(hostLine);
    exchange.cookieHost = address.host;
    exchange.cookieHost.MakeLower();
    // A web proxy asked as a server needs the whole address (never its credentials); a server,
    // and a proxy's tunnel, take the path.
    if (!https && !fProxy.IsEmpty())
        exchange.target = CXString::FromFormat("http://%s%s", exchange.hostLine.c_str(), path.c_str());
    else
        exchange.target = path;
    exchange.transport = transport.get();
    exchange.stream = tls ? static_cast<CXStream*>(tls.get()) : transport.get();
    result = PerformRequest(exchange);
    tls.reset();

    if (result == kCXOK && transport->Failed()) {
        if (!(exchange.endedByClose && EndedInOrder(*transport)))
            result = transport->GetResult();
    }
    return result;
}

int64_t CXHTTPConnection::RequestedOffset(CXStream* output)
{
    if (output == nullptr || !(output->GetCaps() & CXStream::kCapsSizeKnown) || !(output->GetCaps() & CXStream::CAPS_SEEK))
        return 0;
    uint64_t size = output->GetSize();
    return size <= static_cast<uint64_t>(INT64_MAX) ? static_cast<int64_t>(size) : 0;
}

CXResultCode CXHTTPConnection::OpenTransport(const CXString& host, uint16_t port, bool https, const WaitCheck& keepWaiting,
                                             std::unique_ptr<CXStreamTCP>& transport)
{
    if (!fProxy.IsEmpty() && https) {
        auto tunnel = std::make_unique<CXStreamProxyHTTP>();
        tunnel->SetWaitCheck(keepWaiting);
        if (tunnel->Connect(host, port, fProxyAddress) != kCXOK)
            return FailureOf(*tunnel, kCXSystemError);
        transport = std::move(tunnel);
        return kCXOK;
    }
    IPv4Address to;
    if (!fProxy.IsEmpty()) {
        to = fProxyAddress;
    } else {
        bool cancelled = false;
        CXString answer = Resolve(host, keepWaiting, cancelled);
        if (cancelled)
            return kCXCancelled;
        if (answer.IsEmpty())
            return kCXNotFound;
        to = IPv4AddressFromText(answer, port);
    }
    auto stream = std::make_unique<CXStreamTCP>();
    stream->SetWaitCheck(keepWaiting);
    if (stream->Open(to, kConnectTimeoutMilliseconds) != kCXOK)
        return FailureOf(*stream, kCXEndOfData);
    (void)stream->SetReceiveTimeout();
    (void)stream->SetSendTimeout();
    transport = std::move(stream);
    return kCXOK;
}

bool CXHTTPConnection::AddAuthorization(const CXURI& address)
{
    if ((address.user.IsEmpty() && address.password.IsEmpty()) || HasRequestHeader("Authorization"))
        return false;
    CXStringEdit credentials;
    (void)credentials.Append(CXURI::Decode(address.user));
    (void)credentials.AppendCharacter(':');
    (void)credentials.Append(CXURI::Decode(address.password));
    CXStringEdit value;
    (void)value.Append("Basic ");
    (void)value.Append(Base64Encode(credentials, ""));
    AddRequestHeader("Authorization", CXString(value));
    return true;
}

CXResultCode CXHTTPConnection::StartTLS(const CXString& host, CXStreamTCP& transport, std::unique_ptr<CXStreamSSL>& tls)
{
    if (fSSLContext == nullptr) {
        fSSLContext = new CXSSLContext();
        if (fSSLContext->LoadDefaultVerifyPaths() != kCXOK) {
            delete fSSLContext;
            fSSLContext = nullptr;
            return kCXSystemError;
        }
    }
    tls = std::make_unique<CXStreamSSL>();
    if (fCheckCertificateHost)
        tls->SetHost(host);
    // A server that sends its part of the handshake a byte at a time must not hold the request
    // for longer than a whole reply header may take.
    CXStreamTCP::PhaseDeadline deadline(transport, CXStreamTCP::GetIOTimeout());
    if (!tls->Connect(fSSLContext, &transport))
        return FailureOf(*tls, kCXAccessDenied);
    return kCXOK;
}

void CXHTTPConnection::AppendCookieLine(CXStringEditBase& request, const CXString& host)
{
    bool first = true;
    for (const CXHTTPCookie& cookie : fCookies) {
        if (!(cookie.host == host))
            continue;
        (void)request.Append(first ? "Cookie: " : ";");
        (void)request.Append(cookie.name);
        (void)request.AppendCharacter('=');
        (void)request.Append(cookie.value);
        first = false;
    }
    if (!first)
        (void)request.Append("\r\n");
}

void CXHTTPConnection::TakeCookies(const CXString& host)
{
    for (uint64_t i = fCookies.count(); i > 0; --i) {
        if (fCookies[i - 1].host == host)
            fCookies.Remove(i - 1);
    }
}

CXResultCode CXHTTPConnection::PerformRequest(Exchange& exchange)
{
    fStatusCode = 0;
    CXResultCode result = SendRequest(exchange);
    if (result != kCXOK)
        return result;
    CXStreamTextReader reader(exchange.stream);
    result = ReadReplyHeader(exchange, reader);
    if (result != kCXOK)
        return result;
    // The header reader may have peeked at the body's first byte.
    BodySource source(*exchange.stream);
    reader.TakePushedBack(source.Prefix());

    // Asked for the bytes after the last one the output holds, and told the resource has exactly
    // that many: the output holds it all already (a body cut off after its last byte).
    int64_t requestedOffset = exchange.requestedOffset;
    if (fStatusCode == 416 && requestedOffset > 0 && fResponse.hasContentRange && !fResponse.contentRangeInvalid &&
        fResponse.rangeFirst < 0 && fResponse.rangeTotal == requestedOffset) {
        CXDebugLog("CXHTTPConnection::PerformRequest> the output already holds all %lld bytes", static_cast<long long>(requestedOffset));
        return kCXOK;
    }
    // A failed reply's body (an error page) never reaches the output.
    if (fStatusCode != 200 && fStatusCode != 206)
        return fStatusCode == 404 ? kCXNotFound : kCXBadParameter;

    CXHTTPBodyFraming framing;
    result = fResponse.GetBodyFraming(framing);
    if (result != kCXOK)
        return result;
    int64_t bodyOffset = 0;
    result = PrepareOutput(exchange, framing, bodyOffset);
    if (result != kCXOK)
        return result;
    result = ReadBody(exchange, source, framing, bodyOffset);
    if (fResponse.closeConnection)
        (void)exchange.stream->Close();
    return result;
}

CXResultCode CXHTTPConnection::SendRequest(Exchange& exchange)
{
    CXStringEdit request;
    (void)request.Append("GET ");
    (void)request.Append(exchange.target);
    (void)request.Append(" HTTP/1.1\r\nHost: ");
    (void)request.Append(exchange.hostLine);
    (void)request.Append("\r\nConnection: close\r\n");
    for (const RequestHeader& header : fRequestHeaders) {
        (void)request.Append(header.name);
        (void)request.Append(": ");
        (void)request.Append(header.value);
        (void)request.Append("\r\n");
    }
    AppendCookieLine(request, exchange.cookieHost);
    if (exchange.requestedOffset > 0)
        (void)request.AppendFormat("Range: bytes=%lld-\r\n", static_cast<long long>(exchange.requestedOffset));
    (void)request.Append("\r\n");
    CXStream& stream = *exchange.stream;
    if (stream.Write(request.data(), request.length()) != request.length())
        return FailureOf(stream, kCXEndOfData);
    // Those cookies are sent; the reply sets this host's next ones.
    TakeCookies(exchange.cookieHost);
    return kCXOK;
}

CXResultCode CXHTTPConnection::ReadReplyHeader(Exchange& exchange, CXStreamTextReader& reader)
{
    // However slowly the header block comes, it has one time-out in all; the body's waits are
    // the caller's to end through the progress callback.
    CXStreamTCP& transport = *exchange.transport;
    CXResultCode result;
    {
        CXStreamTCP::PhaseDeadline deadline(transport, CXStreamTCP::GetIOTimeout());
        result = fResponse.Read(reader);
    }
    transport.SetWaitCheck({});
    fStatusCode = static_cast<int32_t>(fResponse.statusCode);
    for (CXHTTPCookie& cookie : fResponse.cookies) {
        cookie.host = exchange.cookieHost;
        (void)fCookies.Append(cookie);
    }
    return result;
}

CXResultCode CXHTTPConnection::PrepareOutput(Exchange& exchange, const CXHTTPBodyFraming& framing, int64_t& bodyOffset)
{
    CXStream* output = exchange.output;
    int64_t requestedOffset = exchange.requestedOffset;
    bodyOffset = 0;
    if (fStatusCode == 206) {
        if (framing.rangeStart > requestedOffset || framing.rangeStart + framing.length < requestedOffset) {
            CXDebugLog("CXHTTPConnection::PerformRequest> range %lld-%lld does not fit the %lld bytes held",
                       static_cast<long long>(framing.rangeStart), static_cast<long long>(framing.rangeStart + framing.length - 1),
                       static_cast<long long>(requestedOffset));
            return kCXBadFormat;
        }
        if (requestedOffset > 0) {
            (void)output->Seek(framing.rangeStart, CXStream::kSeekSet);
            if (output->Failed())
                return output->GetResult();
            if (output->GetPosition() != framing.rangeStart)
                return kCXBadFormat;
        }
        bodyOffset = framing.rangeStart;
    } else if (requestedOffset > 0) {
        // The whole resource instead of the rest: what the output held goes.
        if (!output->Control(CXStream::kControlTruncate, 0)) {
            CXDebugLog("CXHTTPConnection::PerformRequest> the output cannot be cut for a whole reply");
            return kCXNotSupported;
        }
        if (output->Failed())
            return output->GetResult();
    }
    if (output == nullptr) {
        exchange.memory->Clear();
        if (framing.kind == CXHTTPBodyFraming::Kind::kLength && static_cast<uint64_t>(framing.length) > fMemoryBodyLimit) {
            CXDebugLog("CXHTTPConnection::PerformRequest> body of %lld bytes above the memory limit of %llu bytes",
                       static_cast<long long>(framing.length), static_cast<unsigned long long>(fMemoryBodyLimit));
            return kCXNoResources;
        }
    }
    return kCXOK;
}

CXResultCode CXHTTPConnection::ReadBody(Exchange& exchange, CXStream& source, const CXHTTPBodyFraming& framing, int64_t bodyOffset)
{
    std::unique_ptr<MemoryBody> memoryBody;
    if (exchange.output == nullptr)
        memoryBody = std::make_unique<MemoryBody>(*exchange.memory, fMemoryBodyLimit);
    CXStream& sink = exchange.output != nullptr ? *exchange.output : *memoryBody;

    const CXStreamProgressCallback& progress = exchange.progress;
    CXStreamProgressCallback reporter;
    if (progress) {
        int64_t expectedLength = framing.length;
        reporter = [&progress, expectedLength, bodyOffset](const CXStreamProgressCallbackData& piece) {
            CXStreamProgressCallbackData record = piece;
            DescribeProgress(record, expectedLength, bodyOffset);
            return progress(record);
        };
    }

    CXResultCode result = kCXOK;
    switch (framing.kind) {
    case CXHTTPBodyFraming::Kind::kNone:
        break;
    case CXHTTPBodyFraming::Kind::kLength:
        result = CopyStreamBytes(sink, source, static_cast<uint64_t>(framing.length), reporter);
        break;
    case CXHTTPBodyFraming::Kind::kChunked:
        result = ReadChunkedData(source, sink, framing.length, bodyOffset, progress);
        break;
    case CXHTTPBodyFraming::Kind::kUntilClose:
        result = CopyStreamAll(sink, source, reporter);
        if (result == kCXEndOfData && EndedInOrder(source)) {
            result = kCXOK;
            exchange.endedByClose = true;
        }
        break;
    }
    return result;
}

CXResultCode CXHTTPConnection::ReadChunkedData(CXStream& stream, CXStream& output, int64_t expectedLength,
                                               int64_t requestedOffset, const CXStreamProgressCallback& progress)
{
    stream.SetCaps(CXStream::kCapsNonBlocking, CXStream::kCapsNonBlocking);
    CXHTTPChunkedDecoder decoder;
    CXStreamProgressCallbackData record;
    uint8_t buffer[kChunkedPiece];
    for (;;) {
        uint64_t got = stream.Read(buffer, sizeof buffer);
        if (got == 0) {
            CXDebugLog("CXHTTPConnection::ReadChunkedData> unexpected eof");
            return FailureOf(stream, kCXEndOfData);
        }
        bool ended = false;
        size_t at = 0;
        while (at < got && !ended) {
            size_t used = 0;
            const uint8_t* data = nullptr;
            size_t dataSize = 0;
            CXHTTPChunkedDecoder::Event event = decoder.Next(buffer + at, static_cast<size_t>(got - at), used, data, dataSize);
            at += used;
            switch (event) {
            case CXHTTPChunkedDecoder::Event::kData:
                if (output.Write(data, dataSize) != dataSize)
                    return FailureOf(output, kCXFailed);
                break;
            case CXHTTPChunkedDecoder::Event::kError:
                CXDebugLog("CXHTTPConnection::ReadChunkedData> %s", decoder.ErrorText());
                return kCXBadFormat;
            case CXHTTPChunkedDecoder::Event::kEnd:
                ended = true;
                break;
            case CXHTTPChunkedDecoder::Event::kNeedInput:
                break;
            }
        }
        if (progress) {
            record.bytesDone = decoder.BytesDelivered();
            DescribeProgress(record, expectedLength, requestedOffset);
            if (!progress(record))
                return kCXCancelled;
        }
        if (ended)
            break;
    }
    if (expectedLength >= 0 && decoder.BytesDelivered() != static_cast<uint64_t>(expectedLength)) {
        CXDebugLog("CXHTTPConnection::ReadChunkedData> body of %llu bytes for a range of %lld",
                   static_cast<unsigned long long>(decoder.BytesDelivered()), static_cast<long long>(expectedLength));
        return kCXBadFormat;
    }
    return kCXOK;
}
