#include "streams/CXHTTPConnection.h"

#include "foundation/CXDebug.h"
#include "streams/CXStreamFile.h"
#include "streams/CXStreamMemory.h"
#include "streams/CXStreamTCP.h"
#include "streams/CXURI.h"
#include "streams/DNSResolverCore.h"
#include "support/LoopbackServer.h"
#include "support/LoopbackTunnel.h"
#include "support/ScopedDriveMap.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "support/ShortTimeouts.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string Pattern(size_t size, char salt = 0)
{
    std::string text(size, '\0');
    for (size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + (i * 7 + i / 251 + static_cast<size_t>(salt)) % 26);
    return text;
}

std::string ReadHostFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteHostFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Resolves every name to the loopback address, except the names it is told to fail.
class LoopbackResolver : public DNSResolverCore {
public:
    void Resolver(const CXString& name, CXString& address) override
    {
        if (name == "unknown.invalid")
            address.Clear();
        else
            address = "127.0.0.1";
    }
};

// A scratch drive C: and an application folder whose data folder trusts the loopback servers' CA.
struct TrustingApp {
    ScratchFolder scratch;
    ScopedDriveMap map{scratch.Path()};
    ScopedEnv appFolder{"CX_APP_FOLDER", scratch / "app"};
    bool trusted = std::filesystem::create_directories(scratch / "app/data") && WriteLoopbackCA(scratch / "app/data/openssl.crt");
};

// The HTTP client against the loopback server, plain (param false) or TLS (true), with the test CA
// as the data folder's "openssl.crt" and a data file C:/data.bin in a scratch folder.
class CXHTTPConnectionTest : public testing::TestWithParam<bool> {
protected:
    ScratchFolder fScratch;
    ScopedDriveMap fMap{fScratch.Path()};
    ScopedEnv fAppFolder{"CX_APP_FOLDER", fScratch / "app"};
    LoopbackServer fServer{LoopbackServer::Options{.tls = GetParam()}};
    CXHTTPConnection fConnection;

    void SetUp() override
    {
        std::filesystem::create_directories(fScratch / "app/data");
        ASSERT_TRUE(WriteLoopbackCA(fScratch / "app/data/openssl.crt"));
        // A read that waits for bytes that never come fails in seconds, not at the ctest limit.
        CXStreamTCP::SetTimeoutsForTesting(10000);
    }
    void TearDown() override { CXStreamTCP::SetTimeoutsForTesting(0); }

    std::string Url(const std::string& path, const std::string& host = "localhost") const
    {
        return std::string(GetParam() ? "https://" : "http://") + host + ":" + std::to_string(fServer.Port()) + path;
    }
    std::string HostLine(const std::string& host = "localhost") const
    {
        return "Host: " + host + ":" + std::to_string(fServer.Port()) + "\r\n";
    }
    // The next connection reads one request, sends the reply and closes.
    void Reply(const std::string& reply)
    {
        fServer.QueueScript({LoopbackAction::WaitText("\r\n\r\n"), LoopbackAction::Send(reply), LoopbackAction::Close()});
    }
    // The same, keeping the connection open after the reply until the client goes.
    void ReplyHeldOpen(const std::string& reply, size_t piece = 0)
    {
        fServer.QueueScript({LoopbackAction::WaitText("\r\n\r\n"),
                             piece == 0 ? LoopbackAction::Send(reply) : LoopbackAction::SendPieces(reply, piece),
                             LoopbackAction::HoldOpen()});
    }

    CXResultCode GetString(const std::string& url, std::string& body)
    {
        CXString text;
        CXResultCode result = fConnection.GetString(CXURI(url.c_str()), text, {});
        body.assign(text.c_str(), text.length());
        return result;
    }

    std::string DataPath() const { return fScratch / "data.bin"; }
    // Fetches into C:/data.bin, opened for reading and writing with what it holds.
    CXResultCode GetIntoDataFile(const std::string& url, const CXStreamProgressCallback& progress = {})
    {
        CXStreamFile file;
        EXPECT_TRUE(file.Open("C:/data.bin", 0x0B));
        CXResultCode result = fConnection.Get(CXURI(url.c_str()), &file, progress);
        EXPECT_EQ(file.Close(), kCXOK);
        return result;
    }
};

INSTANTIATE_TEST_SUITE_P(PlainAndTLS, CXHTTPConnectionTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "TLS" : "Plain"; });

TEST_P(CXHTTPConnectionTest, RequestIsOneGetWithHostPortConnectionCloseAndHeadersInOrder)
{
    Reply("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    fConnection.AddRequestHeader("X-First", "1");
    fConnection.AddRequestHeader("X-Second", "two words");
    std::string body;
    ASSERT_EQ(GetString(Url("/dir/file.txt?a=1&b=%20"), body), kCXOK);
    EXPECT_EQ(body, "ok");
    EXPECT_EQ(fConnection.GetStatusCode(), 200);
    EXPECT_EQ(fServer.Received(0), "GET /dir/file.txt?a=1&b=%20 HTTP/1.1\r\n" + HostLine() +
                                       "Connection: close\r\nX-First: 1\r\nX-Second: two words\r\n\r\n");
    // A memory body never asks for a range, and an empty body is the null string.
    Reply("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    ASSERT_EQ(GetString(Url("/"), body), kCXOK);
    EXPECT_EQ(body, "");
    EXPECT_EQ(fServer.Received(1).find("Range:"), std::string::npos);
}

TEST_P(CXHTTPConnectionTest, ResumeWritesOnlyWhatTheReplyJustifies)
{
    const std::string held = Pattern(1000, 1);
    const std::string rest = Pattern(1000, 2);
    const std::string whole = Pattern(700, 3);
    const std::string html = "<html><body>error page</body></html>";
    struct Case {
        const char* name;
        std::string reply;
        CXResultCode expected;
        std::string file;
    };
    const Case cases[] = {
        {"range answered", "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 1000-1999/2000\r\nContent-Length: 1000\r\n\r\n" + rest,
         kCXOK, held + rest},
        {"Content-Length after Content-Range",
         "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 1000-1999/2000\r\nContent-Length: 1000\r\n\r\n" + rest, kCXOK,
         held + rest},
        {"Content-Length before Content-Range, unknown total",
         "HTTP/1.1 206 Partial Content\r\nContent-Length: 1000\r\nContent-Range: bytes 1000-1999/*\r\n\r\n" + rest, kCXOK,
         held + rest},
        {"range starting lower", "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 600-1999/2000\r\n\r\n" + held.substr(600) + rest,
         kCXOK, held + rest},
        {"range starting beyond the offset", "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 1200-1999/2000\r\n\r\n" + rest.substr(200),
         kCXBadFormat, held},
        {"Content-Length differing from the range",
         "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 1000-1999/2000\r\nContent-Length: 999\r\n\r\n" + rest, kCXBadFormat, held},
        {"206 without Content-Range", "HTTP/1.1 206 Partial Content\r\nContent-Length: 1000\r\n\r\n" + rest, kCXBadFormat, held},
        {"200 instead of 206", "HTTP/1.1 200 OK\r\nContent-Length: 700\r\n\r\n" + whole, kCXOK, whole},
        {"416 with a page", "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */1500\r\nContent-Length: " +
                                std::to_string(html.size()) + "\r\n\r\n" + html,
         kCXBadParameter, held},
        // The held bytes are the whole resource: a body cut off after its last byte is complete.
        {"416 naming the held bytes as the whole", "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */1000\r\nContent-Length: " +
                                                        std::to_string(html.size()) + "\r\n\r\n" + html,
         kCXOK, held},
        {"416 without a Content-Range", "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Length: 0\r\n\r\n", kCXBadParameter, held},
        {"503 with a page, no length", "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/html\r\n\r\n" + html, kCXBadParameter, held},
        {"a short body", "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 1000-1999/2000\r\n\r\n" + rest.substr(0, 10),
         kCXEndOfData, held + rest.substr(0, 10)},
    };
    size_t index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteHostFile(DataPath(), held);
        Reply(c.reply);
        CXDebugCapture quiet;
        EXPECT_EQ(GetIntoDataFile(Url("/data")), c.expected);
        EXPECT_TRUE(ReadHostFile(DataPath()) == c.file);
        EXPECT_NE(fServer.Received(index).find("\r\nRange: bytes=1000-\r\n\r\n"), std::string::npos);
        ++index;
    }
}

TEST_P(CXHTTPConnectionTest, ChunkedBodies)
{
    struct Case {
        const char* name;
        std::string body; // after the header block; the connection stays open
        size_t piece;     // 0: sent in one piece
        CXResultCode expected;
        std::string delivered;
        const char* logLine;
    };
    const Case cases[] = {
        {"one chunk", "5\r\nhello\r\n0\r\n\r\n", 0, kCXOK, "hello", nullptr},
        {"extensions and upper-case sizes", "5;ext=1\r\nhello\r\nA ; x\r\n0123456789\r\n0\r\n\r\n", 0, kCXOK, "hello0123456789", nullptr},
        {"a trailer", "5\r\nhello\r\n0\r\nX-Checksum: 1\r\n\r\n", 0, kCXOK, "hello", nullptr},
        {"every byte in a send of its own", "3\r\n\r\n\r\r\n2\r\nab\r\n0\r\n\r\n", 1, kCXOK, "\r\n\rab", nullptr},
        {"bad size character", "5x\r\nhello\r\n0\r\n\r\n", 0, kCXBadFormat, "",
         "CXHTTPConnection::ReadChunkedData> bad character in chunk header"},
        {"overflowing size", "10000000000000005\r\nhello\r\n0\r\n\r\n", 0, kCXBadFormat, "",
         "CXHTTPConnection::ReadChunkedData> chunk size too large"},
        {"data not followed by a line end", "5\r\nhello!\r\n0\r\n\r\n", 0, kCXBadFormat, "",
         "CXHTTPConnection::ReadChunkedData> error in chunk end CRLF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReplyHeldOpen("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + c.body, c.piece);
        CXDebugCapture capture;
        std::string body;
        EXPECT_EQ(GetString(Url("/chunked"), body), c.expected);
        EXPECT_EQ(body, c.delivered);
        if (c.logLine != nullptr) {
            EXPECT_TRUE(capture.Contains(c.logLine));
        }
    }

    // A body that ends with the connection before its last chunk is not complete, in a file too.
    WriteHostFile(DataPath(), "");
    Reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n3\r\nab");
    CXDebugCapture capture;
    EXPECT_EQ(GetIntoDataFile(Url("/chunked")), kCXEndOfData);
    EXPECT_TRUE(capture.Contains("CXHTTPConnection::ReadChunkedData> unexpected eof"));
    EXPECT_EQ(ReadHostFile(DataPath()), "helloab");
}

TEST_P(CXHTTPConnectionTest, ABodyWithoutLengthEndsWithTheConnection)
{
    const std::string body = Pattern(50000);
    // An orderly close (with a TLS close-notify) ends the body.
    Reply("HTTP/1.1 200 OK\r\n\r\n" + body);
    std::string got;
    EXPECT_EQ(GetString(Url("/"), got), kCXOK);
    EXPECT_TRUE(got == body);

    // A reset does not.
    fServer.QueueScript({LoopbackAction::WaitText("\r\n\r\n"), LoopbackAction::Send("HTTP/1.1 200 OK\r\n\r\n" + body.substr(0, 100)),
                         LoopbackAction::Reset()});
    CXDebugCapture quiet;
    EXPECT_EQ(GetString(Url("/"), got), kCXEndOfData);
    EXPECT_EQ(got, "");
    // Over TLS, a connection that ends without a close-notify may have been cut short.
    fServer.QueueScript({LoopbackAction::WaitText("\r\n\r\n"), LoopbackAction::Send("HTTP/1.1 200 OK\r\n\r\n" + body),
                         LoopbackAction::CloseWithoutNotify()});
    EXPECT_EQ(GetString(Url("/"), got), GetParam() ? kCXEndOfData : kCXOK);
    EXPECT_TRUE(got == (GetParam() ? "" : body));
    // Nor does a reply that ends inside its header block.
    Reply("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n");
    EXPECT_EQ(GetString(Url("/"), got), kCXEndOfData);
}

TEST_P(CXHTTPConnectionTest, TheBodyKeepsTheByteAfterAHeaderBlockEndingInALoneLineEnd)
{
    // After the CR LF pair the header reader looks one byte past each line end, so the lone LF
    // of the empty line makes it peek at the body's first byte.
    Reply("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\nhello");
    std::string body;
    EXPECT_EQ(GetString(Url("/"), body), kCXOK);
    EXPECT_EQ(body, "hello");
    ReplyHeldOpen("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\n5\r\nhello\r\n0\r\n\r\n");
    EXPECT_EQ(GetString(Url("/"), body), kCXOK);
    EXPECT_EQ(body, "hello");
    WriteHostFile(DataPath(), "");
    Reply("HTTP/1.1 200 OK\r\n\nhello");
    EXPECT_EQ(GetIntoDataFile(Url("/")), kCXOK);
    EXPECT_EQ(ReadHostFile(DataPath()), "hello");
}

// Two host names for one server: the test certificate names only "localhost", so over plain TCP.
class CXHTTPConnectionTwoHostsTest : public CXHTTPConnectionTest {};
INSTANTIATE_TEST_SUITE_P(Plain, CXHTTPConnectionTwoHostsTest, testing::Values(false),
                         [](const testing::TestParamInfo<bool>&) { return std::string("Plain"); });

TEST_P(CXHTTPConnectionTwoHostsTest, CookiesGoBackOnceToTheirHostAndCredentialsOnlyWithTheirRequest)
{
    Reply("HTTP/1.1 200 OK\r\nSet-Cookie: session = abc ; Path=/x; Domain=localhost; Secure\r\nSet-Cookie: flag\r\n"
          "Content-Length: 0\r\n\r\n");
    Reply("HTTP/1.1 200 OK\r\nSet-Cookie: other=1\r\nContent-Length: 0\r\n\r\n");
    Reply("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    Reply("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    Reply("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    std::string body;
    const std::string scheme = "http://";
    const std::string port = ":" + std::to_string(fServer.Port());
    // User "user x", password "p@ss", percent-encoded in the address.
    ASSERT_EQ(GetString(scheme + "user%20x!p%40ss@localhost" + port + "/1", body), kCXOK);
    ASSERT_EQ(GetString(Url("/2", "127.0.0.1"), body), kCXOK);
    ASSERT_EQ(GetString(scheme + "user@LOCALHOST" + port + "/3", body), kCXOK);
    fConnection.AddRequestHeader("Authorization", "Bearer t");
    ASSERT_EQ(GetString(scheme + "user!pw@127.0.0.1" + port + "/4", body), kCXOK);
    ASSERT_EQ(GetString(Url("/5"), body), kCXOK);

    EXPECT_EQ(fServer.Received(0), "GET /1 HTTP/1.1\r\n" + HostLine() + "Connection: close\r\nAuthorization: Basic dXNlciB4OnBAc3M=\r\n\r\n");
    // Another host gets none of localhost's cookies.
    EXPECT_EQ(fServer.Received(1), "GET /2 HTTP/1.1\r\n" + HostLine("127.0.0.1") + "Connection: close\r\n\r\n");
    // The host's cookies in the order set, once; a user without a password.
    EXPECT_EQ(fServer.Received(2), "GET /3 HTTP/1.1\r\n" + HostLine("LOCALHOST") +
                                       "Connection: close\r\nAuthorization: Basic dXNlcjo=\r\nCookie: session=abc;=flag\r\n\r\n");
    // A header of the caller's own is sent as it is and stays.
    EXPECT_EQ(fServer.Received(3), "GET /4 HTTP/1.1\r\n" + HostLine("127.0.0.1") +
                                       "Connection: close\r\nAuthorization: Bearer t\r\nCookie: other=1\r\n\r\n");
    EXPECT_EQ(fServer.Received(4), "GET /5 HTTP/1.1\r\n" + HostLine() + "Connection: close\r\nAuthorization: Bearer t\r\n\r\n");
    EXPECT_EQ(fConnection.GetRequestHeader("Authorization"), CXString("Bearer t"));
}

TEST_P(CXHTTPConnectionTest, StatusDecidesTheResultAndNoRedirectIsFollowed)
{
    struct Case {
        std::string reply;
        CXResultCode expected;
        int32_t status;
    };
    const Case cases[] = {
        {"HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\nContent-Length: 0\r\n\r\n", kCXBadParameter, 302},
        {"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found", kCXNotFound, 404},
        {"HTTP/1.0 500 Internal Server Error\r\n\r\npage", kCXBadParameter, 500},
        {"SSH-2.0-server\r\n\r\n", kCXBadParameter, 0},
        {"HTTP/1.1 200 OK\r\nContent-Length: 12x\r\n\r\nbody", kCXBadFormat, 200},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\nbody", kCXBadFormat, 200},
    };
    size_t connections = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        Reply(c.reply);
        CXDebugCapture quiet;
        std::string body = "unchanged";
        EXPECT_EQ(GetString(Url("/"), body), c.expected);
        EXPECT_EQ(body, "");
        EXPECT_EQ(fConnection.GetStatusCode(), c.status);
        EXPECT_EQ(fServer.ConnectionCount(), ++connections);
        if (c.status == 302) {
            EXPECT_EQ(fConnection.GetResponseHeader("location"), CXString("/elsewhere"));
        }
    }
}

TEST_P(CXHTTPConnectionTest, MemoryBodiesStopAtTheLimit)
{
    fConnection.SetMemoryBodyLimit(1000);
    const std::string fits = Pattern(1000);
    const std::string over = Pattern(1001);
    struct Case {
        const char* name;
        std::string reply;
        CXResultCode expected;
    };
    const Case cases[] = {
        {"length at the limit", "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + fits, kCXOK},
        {"length over the limit", "HTTP/1.1 200 OK\r\nContent-Length: 1001\r\n\r\n" + over, kCXNoResources},
        {"chunked over the limit", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3e9\r\n" + over + "\r\n0\r\n\r\n", kCXNoResources},
        {"to the end over the limit", "HTTP/1.1 200 OK\r\n\r\n" + over, kCXNoResources},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reply(c.reply);
        CXDebugCapture quiet;
        std::string body;
        EXPECT_EQ(GetString(Url("/"), body), c.expected);
        EXPECT_EQ(body, c.expected == kCXOK ? fits : "");
    }
}

TEST_P(CXHTTPConnectionTest, ProgressCountsTheHeldBytesAndCancels)
{
    const std::string held = Pattern(10000, 1);
    const std::string rest = Pattern(30000, 2);
    const std::string reply = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 10000-39999/40000\r\n\r\n" + rest;
    std::vector<CXStreamProgressCallbackData> records;
    WriteHostFile(DataPath(), held);
    Reply(reply);
    EXPECT_EQ(GetIntoDataFile(Url("/"), [&](const CXStreamProgressCallbackData& record) {
                  records.push_back(record);
                  return true;
              }),
              kCXOK);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().bytesDone, 30000u);
    EXPECT_FALSE(records.back().fractionUnknown);
    EXPECT_FLOAT_EQ(records.back().fraction, 1.0f);
    EXPECT_GE(records.front().fraction, 0.25f);
    EXPECT_EQ(records.back().callbackState1, 30000u);
    EXPECT_EQ(records.back().callbackState2, 10000u);

    // Cancelled at the first piece, by length and chunked.
    WriteHostFile(DataPath(), held);
    Reply(reply);
    CXDebugCapture quiet;
    EXPECT_EQ(GetIntoDataFile(Url("/"), [](const CXStreamProgressCallbackData&) { return false; }), kCXCancelled);
    ReplyHeldOpen("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n");
    CXString body;
    EXPECT_EQ(fConnection.GetString(CXURI(Url("/").c_str()), body, [](const CXStreamProgressCallbackData&) { return false; }),
              kCXCancelled);
    EXPECT_TRUE(body.IsEmpty());
}

TEST_P(CXHTTPConnectionTest, AStalledReplyEndsAtTheReceiveTimeout)
{
    CXStreamTCP::SetTimeoutsForTesting(200);
    ReplyHeldOpen("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this");
    CXDebugCapture quiet;
    std::string body;
    EXPECT_EQ(GetString(Url("/"), body), kCXEndOfData);
}

TEST_P(CXHTTPConnectionTest, TheReplyHeaderHasOneDeadlineAndTheBodyNone)
{
    CXStreamTCP::SetTimeoutsForTesting(400);
    const std::string body = Pattern(20);
    const std::string header = "HTTP/1.1 200 OK\r\nContent-Length: 20\r\nX-Padding: " + std::string(60, 'p') + "\r\n\r\n";
    // Each byte comes well inside the receive time-out; the whole header would take seconds.
    fServer.QueueScript({LoopbackAction::WaitText("\r\n\r\n"), LoopbackAction::Trickle(header + body, 1, 40), LoopbackAction::Close()});
    WriteHostFile(DataPath(), "held");
    CXDebugCapture capture;
    EXPECT_EQ(GetIntoDataFile(Url("/")), kCXEndOfData);
    EXPECT_EQ(ReadHostFile(DataPath()), "held");
    EXPECT_TRUE(capture.Contains("CXStreamTCP::BufferedRead> deadline passed"));
    // A body trickled for longer than that arrives whole: its pieces have only their own time-out.
    fServer.QueueScript({LoopbackAction::WaitText("\r\n\r\n"), LoopbackAction::Send(header), LoopbackAction::Trickle(body, 1, 40),
                         LoopbackAction::Close()});
    std::string got;
    EXPECT_EQ(GetString(Url("/"), got), kCXOK);
    EXPECT_EQ(got, body);
}

// Where a request waits before the body: each case stalls there for good.
enum class Stall { kLookup, kConnect, kProxyReply, kHandshake, kSending, kStatusLine, kHeaderBlock };

// Answers 127.0.0.1 for every name, noting when a lookup begins and ends; with hold, a lookup
// waits until the resolver goes.
class NotingResolver : public DNSResolverCore {
public:
    explicit NotingResolver(bool hold) : fHold(hold) {}
    ~NotingResolver() override
    {
        fRelease.Open();
        EXPECT_TRUE(WaitFor([this] { return GetWorkerCount() == 0; }));
    }
    void Resolver(const CXString&, CXString& address) override
    {
        fBegun = true;
        // Bounded, so a client that never gives the lookup up fails the test rather than hangs it.
        auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        if (fHold)
            (void)fRelease.Wait([limit] { return std::chrono::steady_clock::now() > limit; });
        address = "127.0.0.1";
        fEnded = true;
    }

    std::atomic<bool> fBegun{false};
    std::atomic<bool> fEnded{false};

private:
    bool fHold;
    LoopbackSignal fRelease;
};

// The cancel check says stop only from its second question after the stall began, so it must be
// asked again while the request waits there. A miss ends at the (shortened) time-out, with -3.
TEST(CXHTTPConnectionCancelTest, EveryWaitBeforeTheBodySeesCancel)
{
    TrustingApp app;
    ASSERT_TRUE(app.trusted);
    ShortTimeouts timeouts(10000);
    struct Case {
        const char* name;
        Stall stall;
        bool https;
        bool tlsServer;
    };
    const Case cases[] = {
        {"the name lookup", Stall::kLookup, false, false},
        {"the connect", Stall::kConnect, false, false},
        {"the proxy's reply", Stall::kProxyReply, true, false},
        {"the TLS handshake", Stall::kHandshake, true, false},
        {"sending the request", Stall::kSending, false, false},
        {"the status line", Stall::kStatusLine, false, false},
        {"the status line over TLS", Stall::kStatusLine, true, true},
        {"the header block", Stall::kHeaderBlock, false, false},
        {"the header block over TLS", Stall::kHeaderBlock, true, true},
    };
    const std::string held = "held bytes";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<bool> stalled{false};
        auto stall = [&](LoopbackConnection& connection) {
            if (c.stall != Stall::kHandshake && c.stall != Stall::kSending && !connection.ReadUntil("\r\n\r\n"))
                return;
            if (c.stall == Stall::kHeaderBlock)
                connection.Write("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n");
            stalled = true;
            if (c.stall == Stall::kSending)
                (void)connection.Wait(LoopbackSignal()); // reads nothing
            else
                connection.HoldOpen();
        };
        LoopbackServer server({.tls = c.tlsServer});
        server.SetHandler(stall);
        LoopbackServer proxy;
        proxy.SetHandler(stall);
        LoopbackStalledPort stalledPort;
        NotingResolver resolver(c.stall == Stall::kLookup);
        CXHTTPConnection connection;
        connection.SetResolver(&resolver);
        std::atomic<int> asked{0};
        connection.SetCancelCheck([&] {
            bool there = c.stall == Stall::kLookup ? resolver.fBegun.load() : c.stall == Stall::kConnect ? resolver.fEnded.load() : stalled.load();
            return there && ++asked >= 2;
        });
        uint16_t port = c.stall == Stall::kConnect ? stalledPort.Port() : server.Port();
        if (c.stall == Stall::kProxyReply)
            connection.SetProxy(CXString(("proxy.test:" + std::to_string(proxy.Port())).c_str()));
        if (c.stall == Stall::kSending) {
            // More than the socket buffers of both sides hold: the server reads nothing.
            const std::string filler(8 << 20, 'f');
            connection.AddRequestHeader("X-Filler", CXString(filler.data(), filler.size()));
        }
        const std::string url = std::string(c.https ? "https" : "http") + "://localhost:" + std::to_string(port) + "/data";

        WriteHostFile(app.scratch / "data.bin", held);
        CXStreamFile file;
        ASSERT_TRUE(file.Open("C:/data.bin", 0x0B));
        CXDebugCapture quiet;
        EXPECT_EQ(connection.Get(CXURI(url.c_str()), &file, {}), kCXCancelled);
        EXPECT_EQ(file.Close(), kCXOK);
        EXPECT_EQ(ReadHostFile(app.scratch / "data.bin"), held);
        EXPECT_EQ(asked.load(), 2);
    }
}

TEST(CXHTTPConnectionProxyTest, HTTPSGoesThroughATunnelAndHTTPAsksTheProxy)
{
    TrustingApp app;
    ASSERT_TRUE(app.trusted);
    ShortTimeouts timeouts(10000);

    LoopbackServer server({.tls = true});
    server.SetScript({LoopbackAction::WaitText("\r\n\r\n"), LoopbackAction::Send("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nsecret"),
                      LoopbackAction::Close()});
    LoopbackServer proxy;
    uint16_t targetPort = server.Port();
    proxy.QueueHandler([targetPort](LoopbackConnection& client) { RelayThroughTunnel(client, targetPort); });
    for (int i = 0; i < 2; ++i)
        proxy.QueueScript({LoopbackAction::WaitText("\r\n\r\n"), LoopbackAction::Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nplain"),
                           LoopbackAction::Close()});

    CXHTTPConnection connection;
    LoopbackResolver resolver;
    connection.SetResolver(&resolver);
    connection.SetProxy(CXString(("proxy.test:" + std::to_string(proxy.Port())).c_str()));
    CXString body;
    const std::string port = std::to_string(targetPort);
    ASSERT_EQ(connection.GetString(CXURI(("https://localhost:" + port + "/file").c_str()), body, {}), kCXOK);
    EXPECT_EQ(body, CXString("secret"));
    EXPECT_EQ(proxy.Received(0).rfind("CONNECT localhost:" + port + " HTTP/1.0\r\n", 0), 0u);
    EXPECT_EQ(server.Received(0), "GET /file HTTP/1.1\r\nHost: localhost:" + port + "\r\nConnection: close\r\n\r\n");

    // Plain HTTP asks the proxy for the whole address; a default port stays out of it and out of
    // the Host line, and credentials go only in their header.
    ASSERT_EQ(connection.GetString(CXURI("http://example.test/x?y"), body, {}), kCXOK);
    EXPECT_EQ(body, CXString("plain"));
    EXPECT_EQ(proxy.Received(1), "GET http://example.test/x?y HTTP/1.1\r\nHost: example.test\r\nConnection: close\r\n\r\n");
    ASSERT_EQ(connection.GetString(CXURI("http://u!p@example.test:8081/a/b%20c?q=1&r"), body, {}), kCXOK);
    EXPECT_EQ(proxy.Received(2), "GET http://example.test:8081/a/b%20c?q=1&r HTTP/1.1\r\nHost: example.test:8081\r\n"
                                 "Connection: close\r\nAuthorization: Basic dTpw\r\n\r\n");
}

TEST(CXHTTPConnectionTLSTest, ARefusedCertificateAndAMissingTrustFile)
{
    ScratchFolder scratch;
    ScopedDriveMap map{scratch.Path()};
    ScopedEnv appFolder{"CX_APP_FOLDER", scratch / "app"};
    std::filesystem::create_directories(scratch / "app/data");
    LoopbackServer server({.tls = true, .certificate = LoopbackCertificate::kSelfSigned});
    const std::string url = "https://localhost:" + std::to_string(server.Port()) + "/";
    CXDebugCapture quiet;
    CXString body;
    {
        CXHTTPConnection connection;
        EXPECT_EQ(connection.GetString(CXURI(url.c_str()), body, {}), kCXSystemError);
    }
    ASSERT_TRUE(WriteLoopbackCA(scratch / "app/data/openssl.crt"));
    CXHTTPConnection connection;
    // Credentials are added for the request and gone again after its failure.
    const std::string withUser = "https://u!p@localhost:" + std::to_string(server.Port()) + "/";
    EXPECT_EQ(connection.GetString(CXURI(withUser.c_str()), body, {}), kCXAccessDenied);
    EXPECT_EQ(connection.GetRequestHeader("Authorization"), CXString());
    EXPECT_TRUE(quiet.Contains("OpenSSL rejected self-signed certificate."));
}

// A server that never answers the handshake did not answer; it did not refuse.
TEST(CXHTTPConnectionTLSTest, AStalledHandshakeEndsAtTheReceiveTimeout)
{
    TrustingApp app;
    ASSERT_TRUE(app.trusted);
    ShortTimeouts timeouts(150);
    LoopbackServer server; // plain TCP: it takes the client's hello and says nothing
    server.SetScript({LoopbackAction::HoldOpen()});
    CXHTTPConnection connection;
    CXDebugCapture capture;
    CXString body;
    EXPECT_EQ(connection.GetString(CXURI(("https://localhost:" + std::to_string(server.Port()) + "/").c_str()), body, {}), kCXEndOfData);
    EXPECT_TRUE(capture.Contains("CXStreamSSL::Connect> the transport failed during the handshake (-3)"));
}

TEST(CXHTTPConnectionTLSTest, AHandshakeTrickledPastItsDeadlineEnds)
{
    TrustingApp app;
    ASSERT_TRUE(app.trusted);
    ShortTimeouts timeouts(400);
    // A handshake record announcing 16 KiB whose bytes come one at a time, each well inside the
    // receive time-out: the bytes sent would take 40 s.
    LoopbackServer server;
    server.SetScript({LoopbackAction::WaitCount(1), LoopbackAction::Trickle(std::string("\x16\x03\x03\x40\x00") + std::string(1000, '\0'), 1, 40),
                      LoopbackAction::HoldOpen()});
    CXHTTPConnection connection;
    CXDebugCapture capture;
    CXString body;
    EXPECT_EQ(connection.GetString(CXURI(("https://localhost:" + std::to_string(server.Port()) + "/").c_str()), body, {}), kCXEndOfData);
    EXPECT_TRUE(capture.Contains("CXStreamTCP::BufferedRead> deadline passed"));
    EXPECT_TRUE(capture.Contains("CXStreamSSL::Connect> the transport failed during the handshake (-3)"));
}

TEST(CXHTTPConnectionProxyTest, BadAddressesAndProxiesFailBeforeAnyConnection)
{
    LoopbackServer server;
    LoopbackResolver resolver;
    const std::string port = std::to_string(server.Port());
    struct Case {
        const char* name;
        std::string address;
        std::string proxy;
        CXResultCode expected;
    };
    const Case cases[] = {
        {"unknown scheme", "x://h", "", kCXConversionFailed},
        {"unresolvable host", "http://unknown.invalid:" + port + "/", "", kCXNotFound},
        {"proxy without a host", "http://localhost:" + port + "/", ":8080", kCXBadParameter},
        {"proxy port out of range", "http://localhost:" + port + "/", "proxy.test:65536", kCXBadParameter},
        {"proxy port 0", "http://localhost:" + port + "/", "proxy.test:0", kCXBadParameter},
        {"unresolvable proxy", "http://localhost:" + port + "/", "unknown.invalid", kCXBadParameter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CXHTTPConnection connection;
        connection.SetResolver(&resolver);
        connection.SetProxy(CXString(c.proxy.c_str()));
        CXDebugCapture quiet;
        CXString body;
        EXPECT_EQ(connection.GetString(CXURI(c.address.c_str()), body, {}), c.expected);
    }
    EXPECT_EQ(server.ConnectionCount(), 0u);
}

} // namespace
