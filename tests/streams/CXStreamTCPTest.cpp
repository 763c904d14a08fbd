#include "streams/CXStreamTCP.h"

#include "foundation/CXDebug.h"
#include "support/LoopbackServer.h"
#include "support/ShortTimeouts.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

IPv4Address Loopback(uint16_t port)
{
    return IPv4AddressFromText("127.0.0.1", port);
}

std::string Pattern(size_t size)
{
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = char((i * 131 + i / 7) & 0xFF);
    return data;
}

TEST(CXStreamTCPTest, EchoesThroughTheServer)
{
    LoopbackServer server;
    CXStreamTCP stream;
    ASSERT_EQ(stream.Open(Loopback(server.Port()), 1500), kCXOK);
    EXPECT_TRUE(stream.GetCaps() & CXStream::kCapsOpen);
    EXPECT_NE(IPv4AddressPort(stream.GetLocalAddress()), 0);
    EXPECT_EQ(IPv4AddressToText(stream.GetLocalAddress()), "127.0.0.1");
    std::string message = Pattern(3000);
    EXPECT_EQ(stream.Write(message.data(), message.size()), message.size());
    EXPECT_EQ(stream.Flush(1), kCXOK);
    std::string back(message.size(), '\0');
    EXPECT_EQ(stream.Read(back.data(), back.size()), back.size());
    EXPECT_EQ(back, message);
    EXPECT_EQ(stream.GetResult(), kCXOK);

    CXDebugCapture capture;
    EXPECT_EQ(stream.Open(Loopback(server.Port()), 1500), kCXAlreadyOpen);
    EXPECT_TRUE(capture.Contains("CXStreamTCP::Open> Already open"));
    EXPECT_FALSE(stream.IsOpen());
    // A closed stream may be opened again.
    ASSERT_EQ(stream.Open(Loopback(server.Port()), 1500), kCXOK);
    EXPECT_EQ(stream.Write("x", 1), 1u);
    char byte = 0;
    EXPECT_EQ(stream.Read(&byte, 1), 1u);
    EXPECT_EQ(server.ConnectionCount(), 2u);
}

TEST(CXStreamTCPTest, ClosedPortFailsAtOnceWithEndOfData)
{
    uint16_t port;
    {
        LoopbackServer gone;
        port = gone.Port();
    }
    CXDebugCapture capture;
    CXStreamTCP stream;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(stream.Open(Loopback(port), 10000), kCXEndOfData);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_EQ(stream.GetResult(), kCXEndOfData);
    EXPECT_TRUE(capture.Contains("CXStreamTCP::Open> "));
    // Nothing works on the closed stream, and nothing crashes.
    char byte;
    EXPECT_EQ(stream.Read(&byte, 1), 0u);
}

TEST(CXStreamTCPTest, BlockingReadWaitsForEveryByteOfALargeReply)
{
    const std::string data = Pattern(5 * 1024 * 1024 + 17);
    LoopbackServer server;
    server.SetHandler([&](LoopbackConnection& connection) { connection.Write(data); });
    CXStreamTCP stream;
    ASSERT_EQ(stream.Open(Loopback(server.Port()), 1500), kCXOK);
    std::string got(data.size(), '\0');
    EXPECT_EQ(stream.Read(got.data(), got.size()), got.size());
    EXPECT_TRUE(got == data);
    EXPECT_EQ(stream.GetResult(), kCXOK);
}

TEST(CXStreamTCPTest, PeerClosingMidReadGivesWhatCameAndEndOfData)
{
    LoopbackServer server;
    server.SetScript({LoopbackAction::Send(std::string(100, 'a')), LoopbackAction::Close()});
    CXStreamTCP stream;
    ASSERT_EQ(stream.Open(Loopback(server.Port()), 1500), kCXOK);
    std::string got(1000, '\0');
    EXPECT_EQ(stream.Read(got.data(), got.size()), 100u);
    EXPECT_EQ(stream.GetResult(), kCXEndOfData);
    // An orderly close, told apart from a reset by the end-of-data bit.
    EXPECT_NE(stream.GetCaps() & CXStream::kCapsEndOfData, 0u);
    // The failure is sticky: later reads give nothing.
    EXPECT_EQ(stream.Read(got.data(), 1), 0u);
}

TEST(CXStreamTCPTest, AResetEndsAReadWithoutTheEndOfDataBit)
{
    LoopbackServer server;
    // The reset waits until the connection is open: one sent at once can reach the client while it
    // is still opening, which then fails the open instead.
    auto opened = std::make_shared<LoopbackSignal>();
    server.SetScript({LoopbackAction::WaitSignal(opened), LoopbackAction::Reset()});
    CXStreamTCP stream;
    ASSERT_EQ(stream.Open(Loopback(server.Port()), 1500), kCXOK);
    opened->Open();
    CXDebugCapture quiet;
    char byte;
    EXPECT_EQ(stream.Read(&byte, 1), 0u);
    EXPECT_EQ(stream.GetResult(), kCXEndOfData);
    EXPECT_EQ(stream.GetCaps() & CXStream::kCapsEndOfData, 0u);
}

TEST(CXStreamTCPTest, WriteToAResetPeerFailsWithEndOfData)
{
    LoopbackServer server;
    server.SetScript({LoopbackAction::WaitCount(1), LoopbackAction::Reset()});
    CXStreamTCP stream;
    ASSERT_EQ(stream.Open(Loopback(server.Port()), 1500), kCXOK);
    EXPECT_EQ(stream.Write("x", 1), 1u);
    CXDebugCapture capture;
    const std::string block(65536, 'b');
    // The first writes after the reset may still land in the socket buffer; one soon fails (and
    // raises no SIGPIPE, which would end this process).
    int writes = 0;
    while (!stream.Failed() && writes < 1000) {
        stream.Write(block.data(), block.size());
        ++writes;
    }
    EXPECT_EQ(stream.GetResult(), kCXEndOfData);
    EXPECT_TRUE(capture.Contains("CXStreamTCP::BufferedWrite> send returned err"));
}

TEST(CXStreamTCPTest, OneReceivePerReadWithCapsBit0x400)
{
    LoopbackServer server;
    auto more = std::make_shared<LoopbackSignal>();
    server.SetScript({LoopbackAction::Send("abc"), LoopbackAction::WaitSignal(more), LoopbackAction::Send("defgh"),
                      LoopbackAction::WaitSignal(more), LoopbackAction::HoldOpen()});
    CXStreamTCP stream;
    ASSERT_EQ(stream.Open(Loopback(server.Port()), 1500), kCXOK);
    stream.SetCaps(CXStream::kCapsNonBlocking | CXStream::kCapsSizeKnown, 0xFFFFFFFF);
    EXPECT_EQ(stream.GetCaps() & (CXStream::kCapsNonBlocking | CXStream::kCapsSizeKnown), CXStream::kCapsNonBlocking);
    char buffer[100] = {};
    EXPECT_EQ(stream.Read(buffer, sizeof buffer), 3u);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    more->Open();
    EXPECT_EQ(stream.Read(buffer, sizeof buffer), 5u);
    EXPECT_EQ(std::string(buffer, 5), "defgh");
    EXPECT_EQ(stream.GetResult(), kCXOK);
}

TEST(CXStreamTCPTest, BlockingReadWaitsAcrossPieces)
{
    LoopbackServer server;
    auto more = std::make_shared<LoopbackSignal>();
    server.SetScript({LoopbackAction::Send("abc"), LoopbackAction::WaitSignal(more), LoopbackAction::SendPieces("defgh", 2),
                      LoopbackAction::HoldOpen()});
    CXStreamTCP stream;
    ASSERT_EQ(stream.Open(Loopback(server.Port()), 1500), kCXOK);
    ASSERT_TRUE(WaitFor([&] { return stream.HasData(); }));
    more->Open();
    char buffer[8] = {};
    EXPECT_EQ(stream.Read(buffer, sizeof buffer), 8u);
    EXPECT_EQ(std::string(buffer, 8), "abcdefgh");
}

TEST(CXStreamTCPTest, CloseFromAnotherThreadWakesABlockedRead)
{
    LoopbackServer server;
    server.SetScript({LoopbackAction::HoldOpen()});
    CXStreamTCP stream;
    ASSERT_EQ(stream.Open(Loopback(server.Port()), 1500), kCXOK);
    EXPECT_FALSE(stream.HasData());
    std::atomic<bool> reading{false};
    std::atomic<uint64_t> got{99};
    std::thread reader([&] {
        char buffer[10];
        reading = true;
        got = stream.Read(buffer, sizeof buffer);
    });
    ASSERT_TRUE(WaitFor([&] { return reading.load(); }));
    std::this_thread::yield();
    EXPECT_EQ(stream.Close(), kCXOK);
    reader.join(); // without the shutdown in Close this never returns
    EXPECT_EQ(got.load(), 0u);
    EXPECT_FALSE(stream.IsOpen());
}

TEST(CXStreamTCPTest, StalledPeerEndsTheReadAtTheReceiveTimeout)
{
    ShortTimeouts timeouts(150);
    LoopbackServer server;
    server.SetScript({LoopbackAction::HoldOpen()});
    CXStreamTCP stream;
    ASSERT_EQ(stream.Open(Loopback(server.Port()), 1500), kCXOK);
    EXPECT_EQ(stream.SetReceiveTimeout(), kCXOK);
    EXPECT_EQ(stream.SetSendTimeout(), kCXOK);
    CXDebugCapture capture;
    char byte;
    EXPECT_EQ(stream.Read(&byte, 1), 0u);
    EXPECT_EQ(stream.GetResult(), kCXEndOfData);
    EXPECT_TRUE(capture.Contains("CXStreamTCP::BufferedRead> recv returned err "));
}

// The check says stop at its second question, so it must be asked again while the wait lasts; a
// wait that never asks runs into the (shortened) time-out with -3 instead.
TEST(CXStreamTCPTest, AWaitCheckEndsAStalledConnectReadOrWrite)
{
    ShortTimeouts timeouts(10000);
    LoopbackStalledPort stalledPort;
    LoopbackServer server;
    server.SetHandler([](LoopbackConnection& connection) { (void)connection.Wait(LoopbackSignal()); }); // silent, reads nothing
    enum class Wait { kConnect, kRead, kWrite };
    for (Wait wait : {Wait::kConnect, Wait::kRead, Wait::kWrite}) {
        SCOPED_TRACE(static_cast<int>(wait));
        CXStreamTCP stream;
        int asked = 0;
        auto check = [&asked] { return ++asked < 2; };
        CXDebugCapture capture;
        if (wait == Wait::kConnect) {
            stream.SetWaitCheck(check);
            EXPECT_EQ(stream.Open(Loopback(stalledPort.Port()), 10000), kCXCancelled);
            EXPECT_FALSE(stream.IsOpen());
            EXPECT_TRUE(capture.Contains("CXStreamTCP::Open> cancelled"));
        } else {
            ASSERT_EQ(stream.Open(Loopback(server.Port()), 10000), kCXOK);
            (void)stream.SetReceiveTimeout();
            (void)stream.SetSendTimeout();
            stream.SetWaitCheck(check);
            if (wait == Wait::kRead) {
                char byte;
                EXPECT_EQ(stream.Read(&byte, 1), 0u);
            } else {
                // More than the socket buffers of both sides hold.
                const std::string data(8 << 20, 'x');
                EXPECT_LT(stream.Write(data.data(), data.size()), data.size());
            }
            EXPECT_TRUE(capture.Contains("> wait cancelled"));
        }
        EXPECT_EQ(stream.GetResult(), kCXCancelled);
        EXPECT_EQ(asked, 2);
    }
}

TEST(CXStreamTCPTest, ADeadlineEndsAReadThatKeepsGettingBytes)
{
    ShortTimeouts timeouts(10000);
    const std::string data = Pattern(200);
    LoopbackServer server;
    // A byte every 20 ms: each comes long before the receive time-out, all of them take 4 s.
    server.SetScript({LoopbackAction::Trickle(data, 1, 20), LoopbackAction::HoldOpen()});
    CXStreamTCP stream;
    ASSERT_EQ(stream.Open(Loopback(server.Port()), 10000), kCXOK);
    (void)stream.SetReceiveTimeout();
    stream.SetDeadline(300);
    std::string got(data.size(), '\0');
    CXDebugCapture capture;
    EXPECT_LT(stream.Read(got.data(), got.size()), data.size());
    EXPECT_EQ(stream.GetResult(), kCXEndOfData);
    EXPECT_EQ(stream.GetCaps() & CXStream::kCapsEndOfData, 0u);
    EXPECT_TRUE(capture.Contains("CXStreamTCP::BufferedRead> deadline passed"));
}

TEST(CXStreamTCPTest, OptionsOnClosedAndOpenStreams)
{
    CXDebugCapture capture;
    CXStreamTCP stream;
    EXPECT_EQ(stream.SetNoDelay(true), kCXFailed);
    EXPECT_EQ(stream.SetSendTimeout(), kCXFailed);
    EXPECT_EQ(stream.SetReceiveTimeout(), kCXFailed);
    EXPECT_EQ(stream.Flush(1), kCXFailed);
    EXPECT_TRUE(capture.Contains("CXStreamTCP::SetNoDelay> called on unopened stream"));
    EXPECT_TRUE(capture.Contains("CXStreamTCP::Flush> called on unopened stream"));
    EXPECT_EQ(stream.SetLoopbackFastPath(false), kCXOK);
    EXPECT_FALSE(stream.HasData());
    char byte;
    EXPECT_EQ(stream.Read(&byte, 1), 0u);
    EXPECT_EQ(stream.GetResult(), kCXFailed);

    LoopbackServer server;
    ASSERT_EQ(stream.Open(Loopback(server.Port()), 1500), kCXOK);
    EXPECT_EQ(stream.GetResult(), kCXOK); // opening clears the earlier failure
    EXPECT_EQ(stream.SetLoopbackFastPath(false), kCXNotSupported);
    EXPECT_EQ(stream.SetNoDelay(true), kCXOK);
    EXPECT_EQ(stream.Flush(1), kCXOK);
    EXPECT_EQ(stream.Read(&byte, 0x80000000ull), 0u);
    EXPECT_EQ(stream.GetResult(), kCXNoResources);
}

TEST(CXStreamTCPTest, ListeningStreamAcceptsAndCloseWakesABlockedAccept)
{
    CXStreamTCP listener;
    ASSERT_EQ(listener.Listen(Loopback(0)), kCXOK);
    uint16_t port = IPv4AddressPort(listener.GetLocalAddress());
    ASSERT_NE(port, 0);

    CXStreamTCP client;
    ASSERT_EQ(client.Open(Loopback(port), 1500), kCXOK);
    std::unique_ptr<CXStreamTCP> accepted = listener.AcceptNew();
    ASSERT_NE(accepted, nullptr);
    EXPECT_EQ(IPv4AddressPort(accepted->GetRemoteAddress()), IPv4AddressPort(client.GetLocalAddress()));
    EXPECT_EQ(client.Write("ping", 4), 4u);
    char buffer[4];
    EXPECT_EQ(accepted->Read(buffer, 4), 4u);
    EXPECT_EQ(std::string(buffer, 4), "ping");

    std::atomic<bool> accepting{false};
    std::unique_ptr<CXStreamTCP> none = std::make_unique<CXStreamTCP>();
    std::thread acceptor([&] {
        accepting = true;
        none = listener.AcceptNew();
    });
    ASSERT_TRUE(WaitFor([&] { return accepting.load(); }));
    std::this_thread::yield();
    EXPECT_EQ(listener.Close(), kCXOK);
    acceptor.join();
    EXPECT_EQ(none, nullptr);
}

} // namespace
