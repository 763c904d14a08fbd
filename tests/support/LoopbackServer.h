#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Test infrastructure for network code: a server on 127.0.0.1 (ephemeral port), plain TCP or TLS,
// written straight on POSIX sockets and OpenSSL so it shares nothing with the code under test.
//
// Each accepted connection runs on a thread of its own, driven either by a script (a list of
// actions) or by a handler given a LoopbackConnection. Every byte a connection receives is
// recorded. The destructor stops the server: blocked waits wake, threads are joined. The server's
// threads block SIGPIPE, so a write to a client that has gone fails instead of ending the test.
//
//     LoopbackServer server;                                  // or LoopbackServer({.tls = true})
//     server.SetScript({LoopbackAction::WaitText("\r\n\r\n"), LoopbackAction::Send("HTTP/1.1 200 OK\r\n..."),
//                       LoopbackAction::Close()});
//     ... connect to 127.0.0.1:server.Port() ...
//     EXPECT_EQ(server.Received(0), "GET / HTTP/1.1\r\n...");

// Certificates made once per process (P-256 keys, SHA-256 signatures): a test CA and leaves for
// the TLS cases.
enum class LoopbackCertificate {
    kLocalhost,      // signed by the test CA; SAN DNS:localhost, IP:127.0.0.1; CN localhost
    kCommonNameOnly, // signed by the test CA; CN localhost, no SAN
    kOtherName,      // signed by the test CA; SAN DNS:other.invalid; CN localhost
    kSelfSigned,     // self-signed; SAN DNS:localhost; CN localhost
    kUntrustedCA,    // signed by a second CA that is never published; SAN DNS:localhost
};

// PEM text of the test CA's certificate.
std::string LoopbackCAPem();
// Writes the test CA's certificate as PEM to a host path (tests name it "openssl.crt" in a data
// folder). False when the file cannot be written.
bool WriteLoopbackCA(const std::string& hostPath);
// PEM text of one leaf certificate.
std::string LoopbackCertificatePem(LoopbackCertificate which);

// A one-shot signal a test opens to let a waiting connection go on.
class LoopbackSignal {
public:
    void Open();
    bool IsOpen() const;
    // Waits until opened or until stopping() is true (checked every few milliseconds). True when
    // opened.
    bool Wait(const std::function<bool()>& stopping) const;

private:
    mutable std::mutex fMutex;
    mutable std::condition_variable fCondition;
    bool fOpen = false;
};

// A port on 127.0.0.1 where a connect never completes: a listener that never accepts, whose
// one-place queue a connection of its own fills, so the host drops every later connect's SYN.
class LoopbackStalledPort {
public:
    LoopbackStalledPort();
    ~LoopbackStalledPort();
    LoopbackStalledPort(const LoopbackStalledPort&) = delete;
    LoopbackStalledPort& operator=(const LoopbackStalledPort&) = delete;

    uint16_t Port() const { return fPort; }

private:
    int fListenFd = -1;
    int fFillerFd = -1;
    uint16_t fPort = 0;
};

class LoopbackServer;

// One accepted connection, as a handler sees it. Reads record what they receive; every call
// returns false (or 0) once the peer is gone, the connection failed, or the server is stopping.
class LoopbackConnection {
public:
    ~LoopbackConnection();
    LoopbackConnection(const LoopbackConnection&) = delete;
    LoopbackConnection& operator=(const LoopbackConnection&) = delete;

    // Index of this connection in accept order, from 0.
    size_t Index() const { return fIndex; }

    // Bytes received that no Read, ReadUntil or ReadCount has consumed yet; waits for at least one
    // when there are none. Returns the count given (0: end of data, failure or stop).
    size_t Read(void* buffer, size_t size);
    // Waits until the bytes not yet consumed contain text; consumes up to and including it.
    bool ReadUntil(std::string_view text);
    // Waits until the connection has received `total` bytes in all; consumes up to there.
    bool ReadCount(size_t total);
    // Sends everything (large buffers go straight to the socket).
    bool Write(const void* data, size_t size);
    bool Write(std::string_view text) { return Write(text.data(), text.size()); }
    // Sends in pieces of `piece` bytes, each in a send of its own, with TCP_NODELAY on.
    bool WritePieces(std::string_view text, size_t piece);
    // Sends in pieces of `piece` bytes; after each piece but the last, pauses for up to
    // gapMilliseconds, recording what arrives. The pause ends early, and so does the sending,
    // when the peer goes: a gap longer than the client's receive time-out shows the client giving
    // up, and costs only as long as the client waits.
    bool Trickle(std::string_view text, size_t piece, uint32_t gapMilliseconds);
    // Waits for the signal (or the server's stop).
    bool Wait(const LoopbackSignal& signal);
    // Echoes everything received until the peer closes.
    void Echo();
    // Graceful close: TLS close_notify, end of our sending side, then recording whatever the peer
    // still sends until it closes (so unread data never turns the close into a reset).
    void Close();
    // Abortive close: SO_LINGER 0, so the peer sees a reset.
    void Reset();
    // Graceful close of the socket without a TLS close_notify: a TLS peer sees its connection
    // end in the middle of the stream.
    void CloseWithoutNotify();
    // Keeps the connection open, recording what arrives, until the peer closes or the server
    // stops.
    void HoldOpen();

    // Everything received so far.
    std::string Received() const;
    bool IsClosed() const { return fFd < 0; }
    bool Stopping() const;

private:
    friend class LoopbackServer;
    LoopbackConnection(LoopbackServer& server, int fd, size_t index);

    bool Handshake();
    // Receives what the socket has (waiting for it); false at end, failure or stop.
    bool Receive();
    // Waits for the socket (and the server's wake pipe); false when stopping or on failure.
    bool WaitSocket(bool forWrite);
    // Records what arrives for up to milliseconds; false once the peer has gone (or stopping).
    bool Pause(uint32_t milliseconds);
    void Release();
    void Close(bool notify);

    LoopbackServer& fServer;
    int fFd;
    size_t fIndex;
    void* fSsl = nullptr; // SSL*
    bool fPeerGone = false;
    size_t fConsumed = 0;
    mutable std::mutex fMutex; // guards fReceived against Received() from other threads
    std::string fReceived;
};

// One step of a connection script.
struct LoopbackAction {
    enum class Kind { kSend, kSendPieces, kTrickle, kFlood, kWaitCount, kWaitText, kWaitSignal, kEcho, kClose, kCloseWithoutNotify, kReset, kHoldOpen };
    Kind kind = Kind::kClose;
    std::string bytes;
    size_t number = 0;
    uint32_t milliseconds = 0;
    std::shared_ptr<LoopbackSignal> signal;

    static LoopbackAction Send(std::string bytes) { return Make(Kind::kSend, std::move(bytes)); }
    static LoopbackAction SendPieces(std::string bytes, size_t piece) { return Make(Kind::kSendPieces, std::move(bytes), piece); }
    // LoopbackConnection::Trickle.
    static LoopbackAction Trickle(std::string bytes, size_t piece, uint32_t gapMilliseconds)
    {
        LoopbackAction action = Make(Kind::kTrickle, std::move(bytes), piece);
        action.milliseconds = gapMilliseconds;
        return action;
    }
    // Sends the bytes over and over until the peer stops taking them or the server stops: a reply
    // without end.
    static LoopbackAction Flood(std::string bytes) { return Make(Kind::kFlood, std::move(bytes)); }
    // Waits until the client has sent `total` bytes on this connection.
    static LoopbackAction WaitCount(size_t total) { return Make(Kind::kWaitCount, {}, total); }
    // Waits until the client's unconsumed bytes contain text (each wait consumes through its match).
    static LoopbackAction WaitText(std::string text) { return Make(Kind::kWaitText, std::move(text)); }
    static LoopbackAction WaitSignal(std::shared_ptr<LoopbackSignal> signal) { return Make(Kind::kWaitSignal, {}, 0, std::move(signal)); }
    static LoopbackAction Echo() { return Make(Kind::kEcho); }
    static LoopbackAction Close() { return Make(Kind::kClose); }
    static LoopbackAction CloseWithoutNotify() { return Make(Kind::kCloseWithoutNotify); }
    static LoopbackAction Reset() { return Make(Kind::kReset); }
    static LoopbackAction HoldOpen() { return Make(Kind::kHoldOpen); }

private:
    static LoopbackAction Make(Kind kind, std::string bytes = {}, size_t number = 0, std::shared_ptr<LoopbackSignal> signal = {})
    {
        LoopbackAction action;
        action.kind = kind;
        action.bytes = std::move(bytes);
        action.number = number;
        action.signal = std::move(signal);
        return action;
    }
};

class LoopbackServer {
public:
    struct Options {
        bool tls = false;
        LoopbackCertificate certificate = LoopbackCertificate::kLocalhost;
    };
    using Handler = std::function<void(LoopbackConnection&)>;

    LoopbackServer() : LoopbackServer(Options{}) {}
    explicit LoopbackServer(Options options);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    uint16_t Port() const { return fPort; }

    // What every connection does when no queued one is left. A connection whose handler or
    // script ends without closing is closed gracefully. The default is Echo.
    void SetHandler(Handler handler);
    void SetScript(std::vector<LoopbackAction> script);
    // What the next connection without a queued entry takes (first in, first out).
    void QueueHandler(Handler handler);
    void QueueScript(std::vector<LoopbackAction> script);

    // Connections accepted so far.
    size_t ConnectionCount() const;
    // Bytes connection `index` has received so far ("" for an unknown index).
    std::string Received(size_t index) const;
    // Stops accepting, wakes every connection and joins all threads. Called by the destructor.
    void Stop();
    bool Stopping() const { return fStopping.load(); }

    static Handler ScriptHandler(std::vector<LoopbackAction> script);

private:
    friend class LoopbackConnection;
    void AcceptLoop();
    void Serve(std::shared_ptr<LoopbackConnection> connection, Handler handler);

    Options fOptions;
    int fListenFd = -1;
    int fWake[2] = {-1, -1};
    uint16_t fPort = 0;
    void* fContext = nullptr; // SSL_CTX*
    std::atomic<bool> fStopping{false};
    mutable std::mutex fMutex;
    Handler fDefault;
    std::vector<Handler> fQueued;
    std::vector<std::shared_ptr<LoopbackConnection>> fConnections;
    std::vector<std::thread> fThreads;
    std::thread fAcceptThread;
};
