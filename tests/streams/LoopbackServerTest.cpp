// The loopback test server itself, driven by a raw socket client and an OpenSSL client, so the
// network tests stand on a server known to behave.
#include "support/LoopbackServer.h"
#include "support/WaitFor.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace {

int ConnectTo(uint16_t port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads until the peer closes; the error of the last recv in `error` (0 for an orderly close).
std::string ReadAll(int fd, int& error)
{
    std::string text;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            error = n < 0 ? errno : 0;
            return text;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
}

TEST(LoopbackServerTest, ScriptRecordsWhatArrivesAndAnswers)
{
    LoopbackServer server;
    auto go = std::make_shared<LoopbackSignal>();
    server.SetScript({LoopbackAction::WaitText("\r\n\r\n"), LoopbackAction::WaitSignal(go), LoopbackAction::SendPieces("hello world", 3),
                      LoopbackAction::Close()});
    int fd = ConnectTo(server.Port());
    ASSERT_GE(fd, 0);
    std::string request = "GET / HTTP/1.1\r\n\r\n";
    ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL), ssize_t(request.size()));
    go->Open();
    int error = -1;
    EXPECT_EQ(ReadAll(fd, error), "hello world");
    EXPECT_EQ(error, 0);
    ::close(fd);
    EXPECT_TRUE(WaitFor([&] { return server.Received(0) == request; }));
    EXPECT_EQ(server.ConnectionCount(), 1u);
}

TEST(LoopbackServerTest, QueuedScriptsGoToConnectionsInOrderAndResetIsSeenAsReset)
{
    LoopbackServer server;
    server.QueueScript({LoopbackAction::Send("first"), LoopbackAction::Reset()});
    server.QueueHandler([](LoopbackConnection& connection) { connection.Write("second"); });
    int first = ConnectTo(server.Port());
    int error = -1;
    std::string text = ReadAll(first, error);
    EXPECT_EQ(error, ECONNRESET);
    ::close(first);
    int second = ConnectTo(server.Port());
    EXPECT_EQ(ReadAll(second, error), "second");
    EXPECT_EQ(error, 0);
    ::close(second);
    EXPECT_EQ(server.ConnectionCount(), 2u);
}

TEST(LoopbackServerTest, StopWakesConnectionsHeldOpen)
{
    auto server = std::make_unique<LoopbackServer>();
    server->SetScript({LoopbackAction::HoldOpen()});
    int fd = ConnectTo(server->Port());
    ASSERT_TRUE(WaitFor([&] { return server->ConnectionCount() == 1; }));
    server.reset(); // joins the connection thread while the client still holds its end
    ::close(fd);
}

// A trickle's pause ends as soon as the client goes, and so does the script: the client that shuts
// its sending side sees the server close at once, with nothing after the first piece (a pause
// that ran its length would hold the test for ten minutes). A flood sends until the client goes.
TEST(LoopbackServerTest, TrickleAndFloodEndWhenTheClientGoes)
{
    LoopbackServer server;
    server.QueueScript({LoopbackAction::Trickle("ab", 1, 600000), LoopbackAction::Send("never")});
    server.QueueScript({LoopbackAction::Flood("x")});
    int trickled = ConnectTo(server.Port());
    char byte = 0;
    ASSERT_EQ(::recv(trickled, &byte, 1, 0), 1);
    EXPECT_EQ(byte, 'a');
    ASSERT_EQ(::send(trickled, "bye", 3, MSG_NOSIGNAL), 3);
    ::shutdown(trickled, SHUT_WR);
    int error = -1;
    EXPECT_EQ(ReadAll(trickled, error), "");
    EXPECT_EQ(error, 0);
    ::close(trickled);
    EXPECT_EQ(server.Received(0), "bye");

    int flooded = ConnectTo(server.Port());
    char buffer[65536];
    size_t got = 0;
    while (got < 1000000) {
        ssize_t n = ::recv(flooded, buffer, sizeof buffer, 0);
        ASSERT_GT(n, 0);
        EXPECT_EQ(std::string(buffer, size_t(n)), std::string(size_t(n), 'x'));
        got += size_t(n);
    }
    ::close(flooded);
}

// A TLS client verifying against the published test CA, checking the host as the leaf names it.
struct TlsOutcome {
    bool handshake = false;
    long verify = -1;
    std::string echoed;
};

TlsOutcome TlsEcho(uint16_t port, const std::string& host, const std::string& message)
{
    TlsOutcome outcome;
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    std::string pem = LoopbackCAPem();
    BIO* bio = BIO_new_mem_buf(pem.data(), int(pem.size()));
    X509* ca = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    X509_STORE_add_cert(SSL_CTX_get_cert_store(context), ca);
    X509_free(ca);
    BIO_free(bio);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    SSL* ssl = SSL_new(context);
    SSL_set1_host(ssl, host.c_str());
    int fd = ConnectTo(port);
    SSL_set_fd(ssl, fd);
    outcome.handshake = SSL_connect(ssl) == 1;
    outcome.verify = SSL_get_verify_result(ssl);
    if (outcome.handshake) {
        SSL_write(ssl, message.data(), int(message.size()));
        char buffer[4096];
        while (outcome.echoed.size() < message.size()) {
            int n = SSL_read(ssl, buffer, sizeof buffer);
            if (n <= 0)
                break;
            outcome.echoed.append(buffer, size_t(n));
        }
        SSL_shutdown(ssl);
    }
    SSL_free(ssl);
    ::close(fd);
    SSL_CTX_free(context);
    ERR_clear_error();
    return outcome;
}

TEST(LoopbackServerTest, TlsCertificatesVerifyAsTheirKindSays)
{
    struct Case {
        LoopbackCertificate certificate;
        const char* host;
        bool accepted;
    };
    const Case cases[] = {
        {LoopbackCertificate::kLocalhost, "localhost", true},
        {LoopbackCertificate::kOtherName, "other.invalid", true},
        {LoopbackCertificate::kOtherName, "localhost", false}, // the SAN rules, not the CN
        {LoopbackCertificate::kSelfSigned, "localhost", false},
        {LoopbackCertificate::kUntrustedCA, "localhost", false},
    };
    std::string message(5000, 'x');
    for (const Case& c : cases) {
        LoopbackServer server({.tls = true, .certificate = c.certificate});
        TlsOutcome outcome = TlsEcho(server.Port(), c.host, message);
        EXPECT_EQ(outcome.handshake, c.accepted) << int(c.certificate) << " " << c.host;
        if (c.accepted) {
            EXPECT_EQ(outcome.echoed, message);
        }
    }
    EXPECT_NE(LoopbackCertificatePem(LoopbackCertificate::kCommonNameOnly).find("BEGIN CERTIFICATE"), std::string::npos);
}

} // namespace
