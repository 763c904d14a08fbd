#pragma once

#include "foundation/CXMutex.h"
#include "foundation/CXReadWriteLock.h"
#include "foundation/CXString.h"
#include "streams/CXStream.h"

#include <cstdint>
#include <memory>
#include <string_view>

class CXSSLContext;
struct ssl_st;
struct bio_st;

// A TLS client connection over any transport stream. The TLS library works on two memory
// buffers; this stream moves the encrypted bytes between them and the transport itself (writes in
// pieces of at most 1024 bytes, reads of up to 64 KiB), so TLS runs the same over a plain TCP
// stream and over a proxy tunnel.
//
// Reads wait until every byte asked for has come, unless the non-blocking bit (0x400) is set
// through SetCaps: then a read returns as soon as it has at least one byte. The end of the data
// gives -3; only the peer's close-notify also sets the end-of-data bit (0x200), not a transport
// that ends or fails without one, nor a record the library refuses. Written records stay
// buffered until the next Flush, a read that needs input, or Close.
//
// One thread may read while another writes: the library's objects are used under one lock, the
// transport outside it, one sender and one receiver at a time.
class CXStreamSSL : public CXStream {
public:
    CXStreamSSL();
    // Detaches (the transport is not closed).
    ~CXStreamSSL() override;

    // The name the server's certificate must carry; empty compares no names (the chain is still
    // verified). A name is also sent as the server name of the handshake.
    void SetHost(const CXString& name);

    // Runs the handshake over the transport (neither is owned; both must outlive the connection)
    // and checks the certificate's names against the host. A connection already attached is
    // closed first. The transport is switched to one-receive reads while attached. False on
    // failure, with the result -5 for a null transport; the transport's failure when it failed
    // during the handshake (-3 for an end, a reset or a time-out, -16 for a wait its owner ended);
    // else -10 (handshake or certificate refused, logged). The stream is then detached and the
    // transport closed.
    bool Connect(CXSSLContext* context, CXStream* transport);

    // Sends what is buffered, closes the transport and detaches. No close-notify is sent. OK also
    // when nothing is attached.
    CXResultCode Close() override;
    // Sends the buffered records to the transport. -11 when nothing is attached, else the
    // transport's failure or OK.
    CXResultCode Flush(uint32_t hard) override;
    // Only bit 0x400 changes: while it is set a read returns once it has at least one byte.
    void SetCaps(uint32_t value, uint32_t mask) override;
    // Sends what is buffered and lets go of the transport (not closed; its reads block again).
    void Detach();

    // Compares a name from a certificate with a host name: ASCII letters without case, a
    // trailing '.' on the host ignored, and '*' only as the whole left-most label of a pattern
    // with at least two labels after it, standing for exactly one non-empty label. A pattern
    // holding a zero byte never matches.
    static bool HostNameMatches(std::string_view pattern, std::string_view host);

protected:
    uint64_t VirtualWrite(const void* data, uint64_t size) override;
    uint64_t VirtualRead(void* buffer, uint64_t size) override;

private:
    // What a library call asked for next.
    enum class HostStep { kDone, kWantRead, kWantWrite, kClosed, kFailed };

    enum class NameCheck { kNoCertificate, kNoMatch, kMatch };

    // With fSSLLock held once: sends the buffered records to the transport, then, with readAlso
    // and an outstanding request for input, reads one piece into the library. True only when
    // input was taken; a transport failure is copied into this stream.
    bool Pump(bool readAlso);
    bool CheckHost();
    // Logs why the library refused the peer's certificate; false when it did not.
    static bool LogVerifyFailure(long verifyResult);
    // With both locks held.
    void DetachLocked();

    // Library side (CXStreamSSLLinux.cpp). The calls run with fSSLLock held.
    static HostStep HostStepOf(int libraryError);
    bool HostCreate(CXSSLContext* context);
    void HostFree();
    HostStep HostHandshake();
    HostStep HostRead(void* buffer, uint64_t size, uint64_t& count);
    HostStep HostWrite(const void* data, uint64_t size, uint64_t& count);
    uint64_t HostPendingOutput();
    uint64_t HostTakeOutput(void* buffer, uint64_t size);
    void HostGiveInput(const void* data, uint64_t size);
    // The DNS names of the peer certificate decide when it has any; only a certificate without
    // them is matched by the common names of its subject.
    NameCheck HostMatchPeerNames(std::string_view host);
    // The library's verification result of the peer's chain (0 when it passed or never ran).
    long HostVerifyResult();

    CXSSLContext* fContext = nullptr;
    CXStream* fTransport = nullptr;
    ssl_st* fSSL = nullptr;
    bio_st* fNetworkIn = nullptr;
    bio_st* fNetworkOut = nullptr;
    bool fWantRead = false;
    CXString fHost;
    CXReadWriteLock fIOLock;
    CXRecursiveMutex fSSLLock;
    CXMutex fSendLock;
    CXMutex fReceiveLock;
    // What the transport delivered, made at the first read; guarded by fReceiveLock.
    std::unique_ptr<uint8_t[]> fReceiveBuffer;
};
