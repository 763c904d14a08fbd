#include "foundation/CXDebug.h"
#include "streams/CXSSLContext.h"
#include "streams/CXStreamProxyHTTP.h"
#include "streams/CXStreamSSL.h"
#include "streams/CXStreamTCP.h"
#include "streams/IPv4Address.h"
#include "support/LoopbackServer.h"
#include "support/ScopedDriveMap.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "support/WaitFor.h"

#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

TEST(CXStreamSSLTest, HostNameMatching)
{
    struct Case {
        std::string_view pattern;
        std::string_view host;
        bool matches;
    };
    using namespace std::string_view_literals;
    const Case cases[] = {
        {"a.b", "a.b", true},
        {"a.b", "A.b", true},
        {"WWW.Example.COM", "www.example.com", true},
        {"a.b", "a.b.", true},
        {"a.b.", "a.b", false},
        {"a.b", "a.bc", false},
        {"a.b", "", false},
        {"", "a.b", false},
        {"a.b", ".", false},
        {"*.a.b", "x.a.b", true},
        {"*.a.b", "X.A.B.", true},
        {"*.a.b", "a.b", false},
        {"*.a.b", "x.y.a.b", false},
        {"*.a.b", ".a.b", false},
        {"*.a.b", "*.a.b", false},
        {"*.b", "a.b", false},
        {"*.b.", "a.b", false},
        {"*", "a", false},
        {"*.a..", "x.a..", false},
        {"x*.a.b", "xy.a.b", false},
        {"*x.a.b", "yx.a.b", false},
        {"a.*.b", "a.x.b", false},
        {"www.bank.com\0.evil.com"sv, "www.bank.com", false},
        {"www.bank.com", "www.bank.com\0.evil.com"sv, false},
        {"\xC3\x84.a.b", "\xC3\xA4.a.b", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CXStreamSSL::HostNameMatches(c.pattern, c.host), c.matches) << "'" << c.pattern << "' vs '" << c.host << "'";
}

TEST(CXStreamSSLTest, DetachedStreamRefusesWork)
{
    CXStreamSSL stream;
    EXPECT_EQ(stream.GetCaps(), CXStream::kCapsRead | CXStream::kCapsWrite | CXStream::kCapsAvailableKnown);
    char byte = 0;
    EXPECT_EQ(stream.Read(&byte, 1), 0u);
    EXPECT_EQ(stream.GetResult(), kCXAlreadyOpen);
    EXPECT_EQ(stream.Write("x", 1), 0u);
    EXPECT_EQ(stream.Flush(1), kCXAlreadyOpen);
    EXPECT_EQ(stream.Close(), kCXOK);

    CXSSLContext context;
    EXPECT_FALSE(stream.Connect(&context, nullptr));
    EXPECT_EQ(stream.GetResult(), kCXBadParameter);
}

TEST(CXStreamSSLTest, SetCapsChangesOnlyTheNonBlockingBit)
{
    CXStreamSSL stream;
    uint32_t caps = stream.GetCaps();
    stream.SetCaps(0xFFFFFFFF, 0xFFFFFFFF);
    EXPECT_EQ(stream.GetCaps(), caps | CXStream::kCapsNonBlocking);
    stream.SetCaps(0, CXStream::kCapsNonBlocking | CXStream::kCapsRead);
    EXPECT_EQ(stream.GetCaps(), caps);
}

// A transport that passes everything to a TCP stream and records the size of every write.
class RecordingTransport : public CXStream {
public:
    explicit RecordingTransport(CXStreamTCP& inner) : CXStream(kCapsRead | kCapsWrite), fInner(inner) {}

    void SetCaps(uint32_t value, uint32_t mask) override { fInner.SetCaps(value, mask); }
    CXResultCode Close() override { return fInner.Close(); }

    std::vector<uint64_t> fWrites;
    std::atomic<int> fReadsStarted{0};

protected:
    uint64_t VirtualWrite(const void* data, uint64_t size) override
    {
        fWrites.push_back(size);
        uint64_t written = fInner.Write(data, size);
        SetResult(fInner.GetResult());
        return written;
    }
    uint64_t VirtualRead(void* buffer, uint64_t size) override
    {
        ++fReadsStarted;
        uint64_t count = fInner.Read(buffer, size);
        SetResult(fInner.GetResult());
        return count;
    }

private:
    CXStreamTCP& fInner;
};

std::string Pattern(size_t size)
{
    std::string text(size, '\0');
    for (size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return text;
}

// A TLS client against the loopback server, with the test CA as the data folder's "openssl.crt".
class CXStreamSSLLoopbackTest : public testing::Test {
protected:
    ScratchFolder fScratch;
    ScopedDriveMap fMap{fScratch.Path()};
    ScopedEnv fAppFolder{"CX_APP_FOLDER", fScratch / "app"};
    std::unique_ptr<LoopbackServer> fServer;
    CXSSLContext fContext;
    CXStreamTCP fTCP;
    RecordingTransport fRecording{fTCP};
    CXStreamSSL fSSL;

    void SetUp() override
    {
        std::filesystem::create_directories(fScratch / "app/data");
        ASSERT_TRUE(WriteLoopbackCA(fScratch / "app/data/openssl.crt"));
        ASSERT_EQ(fContext.LoadDefaultVerifyPaths(), kCXOK);
        // A read that waits for bytes that never come fails in seconds, not at the ctest limit.
        CXStreamTCP::SetTimeoutsForTesting(10000);
    }

    void TearDown() override { CXStreamTCP::SetTimeoutsForTesting(0); }

    void StartServer(LoopbackCertificate certificate)
    {
        fServer = std::make_unique<LoopbackServer>(LoopbackServer::Options{.tls = true, .certificate = certificate});
    }

    bool OpenTCP(CXStreamTCP& stream)
    {
        return stream.Open(IPv4AddressFromText("127.0.0.1", fServer->Port()), 5000) == kCXOK &&
               stream.SetReceiveTimeout() == kCXOK;
    }

    bool Connect(const char* host, CXStream* transport = nullptr)
    {
        if (!OpenTCP(fTCP))
            return false;
        fSSL.SetHost(CXString(host));
        return fSSL.Connect(&fContext, transport != nullptr ? transport : &fTCP);
    }

    std::string ReadText(uint64_t size)
    {
        std::string text(size, '\0');
        text.resize(fSSL.Read(text.data(), size));
        return text;
    }
};

TEST_F(CXStreamSSLLoopbackTest, GoodChainCarriesAnEcho)
{
    StartServer(LoopbackCertificate::kLocalhost);
    CXDebugCapture capture;
    ASSERT_TRUE(Connect("localhost"));
    EXPECT_TRUE(capture.Lines().empty());
    EXPECT_NE(fSSL.GetCaps() & CXStream::kCapsOpen, 0u);
    EXPECT_NE(fTCP.GetCaps() & CXStream::kCapsNonBlocking, 0u);

    std::string sent = Pattern(3500);
    EXPECT_EQ(fSSL.Write(sent.data(), sent.size()), sent.size());
    EXPECT_EQ(fSSL.Flush(1), kCXOK);
    EXPECT_EQ(ReadText(sent.size()), sent);
    EXPECT_EQ(fSSL.GetResult(), kCXOK);

    EXPECT_EQ(fSSL.Close(), kCXOK);
    EXPECT_EQ(fSSL.GetCaps() & CXStream::kCapsOpen, 0u);
    EXPECT_FALSE(fTCP.IsOpen());
    EXPECT_EQ(fTCP.GetCaps() & CXStream::kCapsNonBlocking, 0u);
    EXPECT_EQ(fSSL.Read(sent.data(), 1), 0u);
    EXPECT_EQ(fSSL.GetResult(), kCXAlreadyOpen);
}

TEST_F(CXStreamSSLLoopbackTest, CertificateNamesAndChains)
{
    struct Case {
        LoopbackCertificate certificate;
        const char* host;
        bool accepted;
        const char* logLine; // for a refusal
    };
    const Case cases[] = {
        {LoopbackCertificate::kLocalhost, "LocalHost.", true, nullptr},
        {LoopbackCertificate::kLocalhost, "", true, nullptr},
        {LoopbackCertificate::kCommonNameOnly, "localhost", true, nullptr},
        {LoopbackCertificate::kLocalhost, "other.invalid", false, "OpenSSL certificate does not match domain."},
        // Its DNS names decide, although its common name is localhost.
        {LoopbackCertificate::kOtherName, "localhost", false, "OpenSSL certificate does not match domain."},
        {LoopbackCertificate::kSelfSigned, "localhost", false, "OpenSSL rejected self-signed certificate."},
        {LoopbackCertificate::kSelfSigned, "", false, "OpenSSL rejected self-signed certificate."},
        {LoopbackCertificate::kUntrustedCA, "localhost", false, "OpenSSL failed to verify certificate: 20"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("certificate ") + std::to_string(int(c.certificate)) + " host '" + c.host + "'");
        StartServer(c.certificate);
        CXDebugCapture capture;
        CXStreamTCP tcp;
        ASSERT_TRUE(OpenTCP(tcp));
        CXStreamSSL ssl;
        ssl.SetHost(CXString(c.host));
        EXPECT_EQ(ssl.Connect(&fContext, &tcp), c.accepted);
        if (c.accepted) {
            EXPECT_TRUE(capture.Lines().empty());
            EXPECT_EQ(ssl.Write("ping", 4), 4u);
            char reply[4] = {};
            EXPECT_EQ(ssl.Read(reply, 4), 4u);
            EXPECT_EQ(std::string(reply, 4), "ping");
        } else {
            EXPECT_EQ(ssl.GetResult(), kCXAccessDenied);
            EXPECT_EQ(capture.Count(c.logLine), 1u);
            EXPECT_EQ(ssl.GetCaps() & CXStream::kCapsOpen, 0u);
            EXPECT_FALSE(tcp.IsOpen());
        }
    }
}

TEST_F(CXStreamSSLLoopbackTest, WithoutTrustedCertificatesNothingIsAccepted)
{
    std::filesystem::remove(fScratch / "app/data/openssl.crt");
    CXDebugCapture capture;
    CXSSLContext context;
    EXPECT_EQ(context.LoadDefaultVerifyPaths(), kCXNotFound);
    EXPECT_EQ(capture.Count("CXSSLContext::LoadDefaultVerifyPaths> failed to load certificate at 'C:/app/data/openssl.crt'"), 1u);
    StartServer(LoopbackCertificate::kLocalhost);
    ASSERT_TRUE(OpenTCP(fTCP));
    fSSL.SetHost(CXString("localhost"));
    EXPECT_FALSE(fSSL.Connect(&context, &fTCP));
    EXPECT_EQ(fSSL.GetResult(), kCXAccessDenied);
    EXPECT_EQ(capture.Count("certificate verify failed"), 1u);
}

TEST_F(CXStreamSSLLoopbackTest, OutputGoesToTheTransportInPiecesOf1024Bytes)
{
    StartServer(LoopbackCertificate::kLocalhost);
    RecordingTransport& recording = fRecording;
    ASSERT_TRUE(Connect("localhost", &recording));
    for (uint64_t size : recording.fWrites)
        EXPECT_LE(size, 1024u);

    // One record's overhead, measured, gives the plain size that makes 3000 encrypted bytes.
    recording.fWrites.clear();
    EXPECT_EQ(fSSL.Write("x", 1), 1u);
    EXPECT_EQ(fSSL.Flush(1), kCXOK);
    ASSERT_EQ(recording.fWrites.size(), 1u);
    uint64_t overhead = recording.fWrites[0] - 1;
    EXPECT_EQ(ReadText(1), "x");

    recording.fWrites.clear();
    std::string sent = Pattern(3000 - overhead);
    EXPECT_EQ(fSSL.Write(sent.data(), sent.size()), sent.size());
    EXPECT_TRUE(recording.fWrites.empty()); // records wait for the flush
    EXPECT_EQ(fSSL.Flush(1), kCXOK);
    EXPECT_EQ(recording.fWrites, (std::vector<uint64_t>{1024, 1024, 952}));
    EXPECT_EQ(ReadText(sent.size()), sent);
}

TEST_F(CXStreamSSLLoopbackTest, NonBlockingReadReturnsWhatHasCome)
{
    StartServer(LoopbackCertificate::kLocalhost);
    fServer->SetScript({LoopbackAction::Send("abc"), LoopbackAction::WaitText("more"),
                        LoopbackAction::SendPieces("defghij", 2), LoopbackAction::Close()});
    ASSERT_TRUE(Connect("localhost"));

    // Only the bit set returns early: the server sends nothing more until asked.
    fSSL.SetCaps(CXStream::kCapsNonBlocking, CXStream::kCapsNonBlocking);
    EXPECT_EQ(ReadText(100), "abc");
    EXPECT_EQ(fSSL.GetResult(), kCXOK);

    fSSL.SetCaps(0, CXStream::kCapsNonBlocking);
    EXPECT_EQ(fSSL.Write("more", 4), 4u);
    EXPECT_EQ(fSSL.Flush(1), kCXOK);
    EXPECT_EQ(ReadText(7), "defghij"); // four pieces, one read
    EXPECT_EQ(ReadText(1), "");
    EXPECT_EQ(fSSL.GetResult(), kCXEndOfData);
    EXPECT_NE(fSSL.GetCaps() & CXStream::kCapsEndOfData, 0u);
}

TEST_F(CXStreamSSLLoopbackTest, AReadWaitingForTheTransportDoesNotStopAWrite)
{
    StartServer(LoopbackCertificate::kLocalhost);
    ASSERT_TRUE(Connect("localhost"));
    std::string echoed;
    std::thread reader([&] { echoed = ReadText(5); });
    // The reader waits for the echo of what this thread writes.
    EXPECT_EQ(fSSL.Write("hello", 5), 5u);
    EXPECT_EQ(fSSL.Flush(1), kCXOK);
    reader.join();
    EXPECT_EQ(echoed, "hello");
}

TEST_F(CXStreamSSLLoopbackTest, CloseWakesABlockedRead)
{
    StartServer(LoopbackCertificate::kLocalhost);
    fServer->SetScript({LoopbackAction::HoldOpen()});
    RecordingTransport& recording = fRecording;
    ASSERT_TRUE(Connect("localhost", &recording));
    int readsBefore = recording.fReadsStarted.load();
    std::thread reader([&] { (void)ReadText(10); });
    ASSERT_TRUE(WaitFor([&] { return recording.fReadsStarted.load() > readsBefore; }));
    EXPECT_EQ(fSSL.Close(), kCXOK);
    reader.join();
    EXPECT_NE(fSSL.GetResult(), kCXOK);
    EXPECT_EQ(fSSL.GetCaps() & CXStream::kCapsOpen, 0u);
    EXPECT_FALSE(fTCP.IsOpen());
}

// A proxy that opens the tunnel its client asks for (to the TLS server) and relays both ways.
void RelayThroughTunnel(LoopbackConnection& client, uint16_t targetPort)
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

TEST_F(CXStreamSSLLoopbackTest, TLSRunsThroughAProxyTunnel)
{
    StartServer(LoopbackCertificate::kLocalhost);
    LoopbackServer proxy;
    uint16_t targetPort = fServer->Port();
    proxy.SetHandler([targetPort](LoopbackConnection& client) { RelayThroughTunnel(client, targetPort); });

    CXStreamProxyHTTP tunnel;
    ASSERT_EQ(tunnel.Connect(CXString("localhost"), targetPort, IPv4AddressFromText("127.0.0.1", proxy.Port())), kCXOK);
    EXPECT_EQ(proxy.Received(0).rfind("CONNECT localhost:" + std::to_string(targetPort) + " HTTP/1.0\r\n", 0), 0u);
    fSSL.SetHost(CXString("localhost"));
    ASSERT_TRUE(fSSL.Connect(&fContext, &tunnel));

    std::string sent = Pattern(3100);
    EXPECT_EQ(fSSL.Write(sent.data(), sent.size()), sent.size());
    EXPECT_EQ(fSSL.Flush(1), kCXOK);
    EXPECT_EQ(ReadText(sent.size()), sent);
    EXPECT_EQ(fSSL.Close(), kCXOK);
    EXPECT_FALSE(tunnel.IsOpen());
}

} // namespace
