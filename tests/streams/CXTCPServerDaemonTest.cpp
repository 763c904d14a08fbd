#include "streams/CXTCPServerDaemon.h"

#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {

// Echoes on a thread of its own until the peer closes or it is asked to stop.
class EchoHandler : public CXTCPConnectionHandler, public CXThread {
public:
    explicit EchoHandler(std::unique_ptr<CXStreamTCP> stream) : CXThread("EchoHandler"), fStream(std::move(stream))
    {
        fStream->SetCaps(CXStream::kCapsNonBlocking, CXStream::kCapsNonBlocking);
        Start();
    }
    ~EchoHandler() override { StopAndWait(); }
    void Proc() override
    {
        char buffer[4096];
        for (;;) {
            uint64_t got = fStream->Read(buffer, sizeof buffer);
            if (got == 0 || fStream->Write(buffer, got) != got)
                break;
        }
        fDone = true;
    }
    bool IsFinished() override { return fDone.load(); }
    void RequestStop() override { (void)fStream->Close(); }

private:
    std::unique_ptr<CXStreamTCP> fStream;
    std::atomic<bool> fDone{false};
};

TEST(CXTCPServerDaemonTest, ServesConnectionsAndStopsThemAll)
{
    auto daemon = std::make_unique<CXTCPServerDaemon>(
        [](CXTCPServerDaemon&, std::unique_ptr<CXStreamTCP> stream) { return std::make_unique<EchoHandler>(std::move(stream)); });
    ASSERT_EQ(daemon->Listen(IPv4AddressFromText("127.0.0.1", 0)), kCXOK);
    ASSERT_NE(daemon->GetPort(), 0);
    daemon->Start();
    IPv4Address address = IPv4AddressFromText("127.0.0.1", daemon->GetPort());

    {
        CXStreamTCP client;
        ASSERT_EQ(client.Open(address, 1500), kCXOK);
        EXPECT_EQ(client.Write("hello", 5), 5u);
        char buffer[5];
        EXPECT_EQ(client.Read(buffer, 5), 5u);
        EXPECT_EQ(std::string(buffer, 5), "hello");
    }
    ASSERT_TRUE(WaitFor([&] { return daemon->GetHandlerCount() == 1; }));
    // The client has gone: its handler finishes and the next pass deletes it.
    ASSERT_TRUE(WaitFor([&] {
        daemon->Idle();
        return daemon->GetHandlerCount() == 0;
    }));

    // A connection still open when the daemon goes is stopped with it.
    CXStreamTCP client;
    ASSERT_EQ(client.Open(address, 1500), kCXOK);
    ASSERT_TRUE(WaitFor([&] { return daemon->GetHandlerCount() == 1; }));
    daemon.reset();
    char byte;
    EXPECT_EQ(client.Read(&byte, 1), 0u);
    EXPECT_EQ(client.GetResult(), kCXEndOfData);
}

} // namespace
