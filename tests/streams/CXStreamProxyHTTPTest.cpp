#include "streams/CXStreamProxyHTTP.h"

#include "foundation/CXDebug.h"
#include "support/LoopbackServer.h"
#include "support/ShortTimeouts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

IPv4Address Loopback(uint16_t port)
{
    return IPv4AddressFromText("127.0.0.1", port);
}

const char kRequest[] = "CONNECT example.test:443 HTTP/1.0\r\nHost: example.test:443\r\n\r\n";

TEST(CXStreamProxyHTTPTest, ProxyRepliesDecideTheTunnel)
{
    struct Case {
        const char* reply;
        CXResultCode expected;
        const char* logLine; // null: none expected
    };
    const Case cases[] = {
        {"HTTP/1.1 200 Connection established\r\nProxy-Agent: test\r\n\r\n", kCXOK, nullptr},
        {"HTTP/1.0 200 OK\n\n", kCXOK, nullptr}, // LF-only line ends
        {"HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic\r\n\r\n", kCXAccessDenied,
         "CXStreamProxyHTTP::Connect> proxy refused the tunnel to example.test:443 with status 407"},
        {"HTTP/1.1 403 Forbidden\r\n\r\n", kCXAccessDenied, "CXStreamProxyHTTP::Connect> proxy refused the tunnel to example.test:443 with status 403"},
        {"HTTP/1.1 502 Bad Gateway\r\n\r\n", kCXSystemError, "CXStreamProxyHTTP::Connect> proxy answered status 502 for example.test:443"},
        {"SSH-2.0-x\r\n\r\n", kCXSystemError, "CXStreamProxyHTTP::Connect> proxy reply for example.test:443 is not HTTP"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        LoopbackServer proxy;
        // What follows the header belongs to the tunnel: the first bytes of the target's stream.
        proxy.SetScript({LoopbackAction::WaitText("\r\n\r\n"), LoopbackAction::Send(std::string(c.reply) + "TUNNELED"),
                         LoopbackAction::HoldOpen()});
        CXDebugCapture capture;
        CXStreamProxyHTTP stream;
        EXPECT_EQ(stream.Connect("example.test", 443, Loopback(proxy.Port())), c.expected);
        EXPECT_EQ(stream.GetResult(), c.expected);
        EXPECT_EQ(proxy.Received(0), kRequest);
        if (c.logLine != nullptr) {
            EXPECT_TRUE(capture.Contains(c.logLine));
        }
        if (c.expected == kCXOK) {
            EXPECT_TRUE(stream.IsOpen());
            char tunnelled[8] = {};
            EXPECT_EQ(stream.Read(tunnelled, 8), 8u);
            EXPECT_EQ(std::string(tunnelled, 8), "TUNNELED");
        } else {
            EXPECT_FALSE(stream.IsOpen());
        }
    }
}

TEST(CXStreamProxyHTTPTest, StatusLines)
{
    struct Case {
        const char* line;
        int status;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 Connection established\r\n", 200},
        {"HTTP/1.0 407\r\n", 407},
        {"HTTP/1.1 403", 403},
        {"HTTP/1.1 20 OK", -1},
        {"HTTP/1.1 2000 OK", -1},
        {"HTTP/1.1 2x0 OK", -1},
        {"http/1.1 200 OK", -1},
        {"HTTP/1.1", -1},
        {"SSH-2.0-server", -1},
        {"", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CXStreamProxyHTTP::ParseStatusLine(c.line), c.status) << c.line;
}

TEST(CXStreamProxyHTTPTest, StalledProxyEndsAtTheReceiveTimeout)
{
    ShortTimeouts timeouts(150);
    LoopbackServer proxy;
    // A status line and then nothing: the empty line never comes.
    proxy.SetScript({LoopbackAction::WaitText("\r\n\r\n"), LoopbackAction::Send("HTTP/1.1 200 OK\r\n"), LoopbackAction::HoldOpen()});
    CXDebugCapture capture;
    CXStreamProxyHTTP stream;
    EXPECT_EQ(stream.Connect("example.test", 443, Loopback(proxy.Port())), kCXEndOfData);
    EXPECT_FALSE(stream.IsOpen());
    // The reply's deadline and the receive time-out are the same here: either ends the wait.
    EXPECT_TRUE(capture.Contains("CXStreamProxyHTTP::Connect> proxy reply for example.test:443 ended after 17 bytes"));
}

TEST(CXStreamProxyHTTPTest, AReplyTrickledPastItsDeadlineEnds)
{
    ShortTimeouts timeouts(400);
    LoopbackServer proxy;
    // Each byte comes well inside the receive time-out; the whole reply would take seconds.
    const std::string reply = "HTTP/1.1 200 Connection established\r\nX-Padding: " + std::string(60, 'p') + "\r\n\r\n";
    proxy.SetScript({LoopbackAction::WaitText("\r\n\r\n"), LoopbackAction::Trickle(reply, 1, 40), LoopbackAction::HoldOpen()});
    CXDebugCapture capture;
    CXStreamProxyHTTP stream;
    EXPECT_EQ(stream.Connect("example.test", 443, Loopback(proxy.Port())), kCXEndOfData);
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_TRUE(capture.Contains("CXStreamTCP::BufferedRead> deadline passed"));
}

TEST(CXStreamProxyHTTPTest, UnreachableProxyFailsWithEndOfData)
{
    uint16_t port;
    {
        LoopbackServer gone;
        port = gone.Port();
    }
    CXStreamProxyHTTP stream;
    EXPECT_EQ(stream.Connect("example.test", 443, Loopback(port)), kCXEndOfData);
    EXPECT_FALSE(stream.IsOpen());
}

} // namespace
