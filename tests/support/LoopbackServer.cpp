#include "support/LoopbackServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <csignal>
#include <poll.h>
#include <pthread.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// ---- Certificates -------------------------------------------------------------------------------

struct KeyAndCertificate {
    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
};

void AddExtension(X509* certificate, X509* issuer, int nid, const char* value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (extension == nullptr)
        throw std::runtime_error("test certificate extension");
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

// issuer null: self-signed. san null: no subjectAltName.
KeyAndCertificate MakeCertificate(const char* commonName, const char* san, bool isCA, const KeyAndCertificate* issuer)
{
    static long serial = 1;
    KeyAndCertificate made;
    made.key = EVP_EC_gen("P-256");
    made.certificate = X509_new();
    if (made.key == nullptr || made.certificate == nullptr)
        throw std::runtime_error("test key");
    X509* certificate = made.certificate;
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial++);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 60L * 60 * 24 * 365);
    X509_set_pubkey(certificate, made.key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Loopback Test"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509* issuerCertificate = issuer != nullptr ? issuer->certificate : certificate;
    X509_set_issuer_name(certificate, X509_get_subject_name(issuerCertificate));
    AddExtension(certificate, issuerCertificate, NID_basic_constraints, isCA ? "critical,CA:TRUE" : "critical,CA:FALSE");
    AddExtension(certificate, issuerCertificate, NID_key_usage,
                 isCA ? "critical,keyCertSign,cRLSign" : "critical,digitalSignature,keyEncipherment");
    AddExtension(certificate, issuerCertificate, NID_subject_key_identifier, "hash");
    if (issuer != nullptr)
        AddExtension(certificate, issuerCertificate, NID_authority_key_identifier, "keyid:always");
    if (!isCA)
        AddExtension(certificate, issuerCertificate, NID_ext_key_usage, "serverAuth");
    if (san != nullptr)
        AddExtension(certificate, issuerCertificate, NID_subject_alt_name, san);
    if (X509_sign(certificate, issuer != nullptr ? issuer->key : made.key, EVP_sha256()) == 0)
        throw std::runtime_error("test certificate signature");
    return made;
}

struct TestAuthority {
    KeyAndCertificate ca;
    KeyAndCertificate otherCA;
    KeyAndCertificate leaves[5];

    TestAuthority()
    {
        ca = MakeCertificate("Loopback Test CA", nullptr, true, nullptr);
        otherCA = MakeCertificate("Loopback Unpublished CA", nullptr, true, nullptr);
        leaves[int(LoopbackCertificate::kLocalhost)] = MakeCertificate("localhost", "DNS:localhost,IP:127.0.0.1", false, &ca);
        leaves[int(LoopbackCertificate::kCommonNameOnly)] = MakeCertificate("localhost", nullptr, false, &ca);
        leaves[int(LoopbackCertificate::kOtherName)] = MakeCertificate("localhost", "DNS:other.invalid", false, &ca);
        leaves[int(LoopbackCertificate::kSelfSigned)] = MakeCertificate("localhost", "DNS:localhost", false, nullptr);
        leaves[int(LoopbackCertificate::kUntrustedCA)] = MakeCertificate("localhost", "DNS:localhost", false, &otherCA);
    }
    // Kept for the life of the process.
    static const TestAuthority& Get()
    {
        static const TestAuthority* authority = new TestAuthority();
        return *authority;
    }
};

std::string Pem(X509* certificate)
{
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, certificate);
    char* data = nullptr;
    long length = BIO_get_mem_data(bio, &data);
    std::string text(data, static_cast<size_t>(length));
    BIO_free(bio);
    return text;
}

// The TLS side writes through the library's plain write(), which raises SIGPIPE when the client
// has gone. Blocked in the server's threads (and inherited by the connection threads the accept
// thread starts), the signal stays pending on the thread and the write fails with EPIPE.
void BlockPipeSignal()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

std::string LoopbackCAPem()
{
    return Pem(TestAuthority::Get().ca.certificate);
}

bool WriteLoopbackCA(const std::string& hostPath)
{
    std::string text = LoopbackCAPem();
    FILE* file = std::fopen(hostPath.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

std::string LoopbackCertificatePem(LoopbackCertificate which)
{
    return Pem(TestAuthority::Get().leaves[int(which)].certificate);
}

// ---- Signal -------------------------------------------------------------------------------------

void LoopbackSignal::Open()
{
    {
        std::lock_guard<std::mutex> lock(fMutex);
        fOpen = true;
    }
    fCondition.notify_all();
}

bool LoopbackSignal::IsOpen() const
{
    std::lock_guard<std::mutex> lock(fMutex);
    return fOpen;
}

bool LoopbackSignal::Wait(const std::function<bool()>& stopping) const
{
    std::unique_lock<std::mutex> lock(fMutex);
    while (!fOpen) {
        if (stopping())
            return false;
        fCondition.wait_for(lock, std::chrono::milliseconds(5));
    }
    return true;
}

// ---- Connection ---------------------------------------------------------------------------------

LoopbackConnection::LoopbackConnection(LoopbackServer& server, int fd, size_t index) : fServer(server), fFd(fd), fIndex(index) {}

LoopbackConnection::~LoopbackConnection()
{
    Release();
}

void LoopbackConnection::Release()
{
    if (fSsl != nullptr)
        SSL_free(static_cast<SSL*>(fSsl));
    fSsl = nullptr;
    CloseFd(fFd);
}

bool LoopbackConnection::Stopping() const
{
    return fServer.Stopping();
}

bool LoopbackConnection::WaitSocket(bool forWrite)
{
    for (;;) {
        if (fFd < 0 || Stopping())
            return false;
        pollfd fds[2] = {{fFd, short(forWrite ? POLLOUT : POLLIN), 0}, {fServer.fWake[0], POLLIN, 0}};
        int ready = ::poll(fds, 2, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || fds[1].revents != 0)
            return false;
        if (fds[0].revents != 0)
            return true;
    }
}

bool LoopbackConnection::Handshake()
{
    SSL* ssl = SSL_new(static_cast<SSL_CTX*>(fServer.fContext));
    fSsl = ssl;
    SSL_set_fd(ssl, fFd);
    for (;;) {
        ERR_clear_error();
        int done = SSL_accept(ssl);
        if (done == 1)
            return true;
        int error = SSL_get_error(ssl, done);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            if (WaitSocket(error == SSL_ERROR_WANT_WRITE))
                continue;
        }
        // A client that refuses our certificate ends here.
        fPeerGone = true;
        return false;
    }
}

bool LoopbackConnection::Receive()
{
    if (fPeerGone || fFd < 0)
        return false;
    char buffer[65536];
    for (;;) {
        long got;
        if (fSsl != nullptr) {
            ERR_clear_error();
            int n = SSL_read(static_cast<SSL*>(fSsl), buffer, sizeof buffer);
            if (n <= 0) {
                int error = SSL_get_error(static_cast<SSL*>(fSsl), n);
                if ((error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) && WaitSocket(error == SSL_ERROR_WANT_WRITE))
                    continue;
                fPeerGone = true;
                return false;
            }
            got = n;
        } else {
            ssize_t n = ::recv(fFd, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (WaitSocket(false))
                    continue;
                return false;
            }
            if (n <= 0) {
                fPeerGone = true;
                return false;
            }
            got = n;
        }
        std::lock_guard<std::mutex> lock(fMutex);
        fReceived.append(buffer, static_cast<size_t>(got));
        return true;
    }
}

size_t LoopbackConnection::Read(void* buffer, size_t size)
{
    if (size == 0)
        return 0;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(fMutex);
            if (fConsumed < fReceived.size()) {
                size_t count = std::min(size, fReceived.size() - fConsumed);
                std::memcpy(buffer, fReceived.data() + fConsumed, count);
                fConsumed += count;
                return count;
            }
        }
        if (!Receive())
            return 0;
    }
}

bool LoopbackConnection::ReadUntil(std::string_view text)
{
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(fMutex);
            size_t found = std::string_view(fReceived).find(text, fConsumed);
            if (found != std::string_view::npos) {
                fConsumed = found + text.size();
                return true;
            }
        }
        if (!Receive())
            return false;
    }
}

bool LoopbackConnection::ReadCount(size_t total)
{
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(fMutex);
            if (fReceived.size() >= total) {
                fConsumed = std::max(fConsumed, total);
                return true;
            }
        }
        if (!Receive())
            return false;
    }
}

bool LoopbackConnection::Write(const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        if (fFd < 0)
            return false;
        size_t chunk = std::min<size_t>(size, 1 << 20);
        long sent;
        if (fSsl != nullptr) {
            ERR_clear_error();
            int n = SSL_write(static_cast<SSL*>(fSsl), p, static_cast<int>(chunk));
            if (n <= 0) {
                int error = SSL_get_error(static_cast<SSL*>(fSsl), n);
                if ((error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) && WaitSocket(error == SSL_ERROR_WANT_WRITE))
                    continue;
                return false;
            }
            sent = n;
        } else {
            ssize_t n = ::send(fFd, p, chunk, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (WaitSocket(true))
                    continue;
                return false;
            }
            if (n <= 0)
                return false;
            sent = n;
        }
        p += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

bool LoopbackConnection::WritePieces(std::string_view text, size_t piece)
{
    return Trickle(text, piece, 0);
}

bool LoopbackConnection::Pause(uint32_t milliseconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (fFd < 0 || fPeerGone || Stopping())
            return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            return true;
        pollfd fds[2] = {{fFd, POLLIN, 0}, {fServer.fWake[0], POLLIN, 0}};
        int ready = ::poll(fds, 2, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || fds[1].revents != 0)
            return false;
        if (fds[0].revents != 0 && !Receive())
            return false;
    }
}

bool LoopbackConnection::Trickle(std::string_view text, size_t piece, uint32_t gapMilliseconds)
{
    if (fFd < 0)
        return false;
    int on = 1;
    ::setsockopt(fFd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (piece == 0)
        piece = 1;
    for (size_t at = 0; at < text.size(); at += piece) {
        if (!Write(text.substr(at, piece)))
            return false;
        if (gapMilliseconds != 0 && at + piece < text.size() && !Pause(gapMilliseconds))
            return false;
    }
    return true;
}

bool LoopbackConnection::Wait(const LoopbackSignal& signal)
{
    return signal.Wait([this] { return Stopping(); });
}

void LoopbackConnection::Echo()
{
    char buffer[65536];
    for (;;) {
        size_t got = Read(buffer, sizeof buffer);
        if (got == 0 || !Write(buffer, got))
            return;
    }
}

void LoopbackConnection::Close()
{
    Close(true);
}

void LoopbackConnection::CloseWithoutNotify()
{
    Close(false);
}

void LoopbackConnection::Close(bool notify)
{
    if (fFd < 0)
        return;
    if (notify && fSsl != nullptr && !fPeerGone) {
        ERR_clear_error();
        SSL_shutdown(static_cast<SSL*>(fSsl));
    }
    ::shutdown(fFd, SHUT_WR);
    while (Receive()) {
    }
    Release();
}

void LoopbackConnection::Reset()
{
    if (fFd < 0)
        return;
    linger option = {1, 0};
    ::setsockopt(fFd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
    Release();
}

void LoopbackConnection::HoldOpen()
{
    while (Receive()) {
    }
}

std::string LoopbackConnection::Received() const
{
    std::lock_guard<std::mutex> lock(fMutex);
    return fReceived;
}

// ---- Stalled port -------------------------------------------------------------------------------

LoopbackStalledPort::LoopbackStalledPort()
{
    fListenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    // A backlog of 0 queues one connection; the filler takes that place.
    if (fListenFd < 0 || ::bind(fListenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fListenFd, 0) != 0 ||
        ::getsockname(fListenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("stalled port: listen");
    fPort = ntohs(address.sin_port);
    fFillerFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fFillerFd < 0 || ::connect(fFillerFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("stalled port: filler");
}

LoopbackStalledPort::~LoopbackStalledPort()
{
    CloseFd(fFillerFd);
    CloseFd(fListenFd);
}

// ---- Server -------------------------------------------------------------------------------------

LoopbackServer::LoopbackServer(Options options) : fOptions(options)
{
    fDefault = [](LoopbackConnection& connection) { connection.Echo(); };
    if (::pipe2(fWake, O_CLOEXEC) != 0)
        throw std::runtime_error("loopback server: pipe");
    fListenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fListenFd < 0)
        throw std::runtime_error("loopback server: socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fListenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fListenFd, 64) != 0 ||
        ::getsockname(fListenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("loopback server: bind");
    fPort = ntohs(address.sin_port);
    if (fOptions.tls) {
        const TestAuthority& authority = TestAuthority::Get();
        const KeyAndCertificate& leaf = authority.leaves[int(fOptions.certificate)];
        SSL_CTX* context = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate(context, leaf.certificate);
        SSL_CTX_use_PrivateKey(context, leaf.key);
        SSL_CTX_set_mode(context, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        fContext = context;
    }
    fAcceptThread = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer()
{
    Stop();
    if (fContext != nullptr)
        SSL_CTX_free(static_cast<SSL_CTX*>(fContext));
    CloseFd(fWake[0]);
    CloseFd(fWake[1]);
}

void LoopbackServer::Stop()
{
    if (!fStopping.exchange(true)) {
        char byte = 1;
        (void)!::write(fWake[1], &byte, 1);
    }
    if (fAcceptThread.joinable())
        fAcceptThread.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        threads.swap(fThreads);
    }
    for (std::thread& thread : threads)
        thread.join();
    CloseFd(fListenFd);
}

void LoopbackServer::SetHandler(Handler handler)
{
    std::lock_guard<std::mutex> lock(fMutex);
    fDefault = std::move(handler);
}

void LoopbackServer::SetScript(std::vector<LoopbackAction> script)
{
    SetHandler(ScriptHandler(std::move(script)));
}

void LoopbackServer::QueueHandler(Handler handler)
{
    std::lock_guard<std::mutex> lock(fMutex);
    fQueued.push_back(std::move(handler));
}

void LoopbackServer::QueueScript(std::vector<LoopbackAction> script)
{
    QueueHandler(ScriptHandler(std::move(script)));
}

size_t LoopbackServer::ConnectionCount() const
{
    std::lock_guard<std::mutex> lock(fMutex);
    return fConnections.size();
}

std::string LoopbackServer::Received(size_t index) const
{
    std::shared_ptr<LoopbackConnection> connection;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        if (index >= fConnections.size())
            return {};
        connection = fConnections[index];
    }
    return connection->Received();
}

LoopbackServer::Handler LoopbackServer::ScriptHandler(std::vector<LoopbackAction> script)
{
    return [script = std::move(script)](LoopbackConnection& connection) {
        for (const LoopbackAction& action : script) {
            bool ok = true;
            switch (action.kind) {
            case LoopbackAction::Kind::kSend:
                ok = connection.Write(action.bytes);
                break;
            case LoopbackAction::Kind::kSendPieces:
                ok = connection.WritePieces(action.bytes, action.number);
                break;
            case LoopbackAction::Kind::kTrickle:
                ok = connection.Trickle(action.bytes, action.number, action.milliseconds);
                break;
            case LoopbackAction::Kind::kFlood:
                while (!action.bytes.empty() && connection.Write(action.bytes)) {
                }
                ok = false;
                break;
            case LoopbackAction::Kind::kWaitCount:
                ok = connection.ReadCount(action.number);
                break;
            case LoopbackAction::Kind::kWaitText:
                ok = connection.ReadUntil(action.bytes);
                break;
            case LoopbackAction::Kind::kWaitSignal:
                ok = action.signal && connection.Wait(*action.signal);
                break;
            case LoopbackAction::Kind::kEcho:
                connection.Echo();
                break;
            case LoopbackAction::Kind::kClose:
                connection.Close();
                break;
            case LoopbackAction::Kind::kCloseWithoutNotify:
                connection.CloseWithoutNotify();
                break;
            case LoopbackAction::Kind::kReset:
                connection.Reset();
                break;
            case LoopbackAction::Kind::kHoldOpen:
                connection.HoldOpen();
                break;
            }
            if (!ok || connection.IsClosed())
                return;
        }
    };
}

void LoopbackServer::AcceptLoop()
{
    BlockPipeSignal();
    for (;;) {
        pollfd fds[2] = {{fListenFd, POLLIN, 0}, {fWake[0], POLLIN, 0}};
        int ready = ::poll(fds, 2, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || fds[1].revents != 0 || fStopping.load())
            return;
        int fd = ::accept4(fListenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            continue;
        std::lock_guard<std::mutex> lock(fMutex);
        auto connection = std::shared_ptr<LoopbackConnection>(new LoopbackConnection(*this, fd, fConnections.size()));
        fConnections.push_back(connection);
        Handler handler;
        if (!fQueued.empty()) {
            handler = std::move(fQueued.front());
            fQueued.erase(fQueued.begin());
        } else {
            handler = fDefault;
        }
        fThreads.emplace_back([this, connection, handler = std::move(handler)] { Serve(connection, handler); });
    }
}

void LoopbackServer::Serve(std::shared_ptr<LoopbackConnection> connection, Handler handler)
{
    if (fContext != nullptr && !connection->Handshake()) {
        connection->Release();
        return;
    }
    if (handler)
        handler(*connection);
    connection->Close();
}
