#include "streams/CXStreamMultiplexer.h"
#include "streams/CXStreamPipe.h"

#include "foundation/CXDebug.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace {

std::string ReadText(CXStream& stream, size_t size)
{
    std::string text(size, '\0');
    text.resize(static_cast<size_t>(stream.Read(text.data(), size)));
    return text;
}

std::string Bytes(std::initializer_list<int> bytes)
{
    std::string text;
    for (int byte : bytes)
        text += static_cast<char>(byte);
    return text;
}

void Send(CXStream& stream, const std::string& bytes)
{
    ASSERT_EQ(stream.Write(bytes.data(), bytes.size()), bytes.size());
}

// A multiplexer reading one end of a pipe; the test plays the peer at the other end.
class CXStreamMultiplexerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CXStreamPipe::Connect(transport, peer));
        multiplexer.Start();
    }
    std::unique_ptr<CXStreamMultiplexerStream> Take(uint32_t id)
    {
        std::unique_ptr<CXStreamMultiplexerStream> channel;
        EXPECT_TRUE(WaitFor([&] { return (channel = multiplexer.TakeChannel(id)) != nullptr; }));
        return channel;
    }

    CXStreamPipe transport, peer;
    CXStreamMultiplexer multiplexer{&transport};
};

TEST_F(CXStreamMultiplexerTest, FrameFormat)
{
    CXDebugCapture capture;
    Send(peer, Bytes({1, 0, 0, 0, 7}));
    std::unique_ptr<CXStreamMultiplexerStream> channel = Take(7);
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(multiplexer.TakeChannel(7), nullptr) << "handed out once";

    ASSERT_EQ(channel->Write("hello", 5), 5u);
    EXPECT_EQ(ReadText(peer, 14), Bytes({3, 0, 0, 0, 7, 0, 0, 0, 5}) + "hello");

    // An unknown command byte is passed over alone; data for a channel never opened is skipped
    // whole; then data for channel 7 arrives.
    Send(peer, Bytes({9}) + Bytes({3, 0, 0, 0, 12, 0, 0, 0, 4}) + "lost" + Bytes({3, 0, 0, 0, 7, 0, 0, 0, 5}) + "world");
    EXPECT_EQ(ReadText(*channel, 5), "world");
    EXPECT_TRUE(capture.Contains("CXStreamMultiplexer::Proc> unknown command 9"));

    // Opening the id again replaces the channel: the old one's reader sees the end.
    Send(peer, Bytes({1, 0, 0, 0, 7}));
    std::unique_ptr<CXStreamMultiplexerStream> second = Take(7);
    EXPECT_EQ(ReadText(*channel, 1), "");
    EXPECT_EQ(channel->GetResult(), kCXEndOfData);
    EXPECT_EQ(channel->Write("x", 1), 0u);
    EXPECT_EQ(channel->GetResult(), kCXAlreadyOpen) << "a detached channel";

    // The peer closes channel 7: its reader gets what came, then the end.
    Send(peer, Bytes({3, 0, 0, 0, 7, 0, 0, 0, 2}) + "ok" + Bytes({2, 0, 0, 0, 7}));
    EXPECT_EQ(ReadText(*second, 10), "ok");
    EXPECT_EQ(second->GetResult(), kCXEndOfData);

    // Closing from this side sends the close frame once.
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->Close(), kCXOK);
    EXPECT_EQ(second->Close(), kCXOK);
    second.reset();
    EXPECT_EQ(ReadText(peer, 5), Bytes({2, 0, 0, 0, 7}));
    peer.SetCaps(CXStream::kCapsNonBlocking, CXStream::kCapsNonBlocking);
    EXPECT_EQ(ReadText(peer, 5), "") << "nothing more was sent";
}

TEST_F(CXStreamMultiplexerTest, StopWhileTheThreadReads)
{
    std::unique_ptr<CXStreamMultiplexerStream> channel = multiplexer.OpenChannel(3);
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(ReadText(peer, 5), Bytes({1, 0, 0, 0, 3}));
    // What arrived of it reaches the reader, then the end.
    std::thread reader([&] { EXPECT_EQ(ReadText(*channel, 8), "part"); });
    // A data frame that never completes: the thread waits for the rest of it, under its lock.
    Send(peer, Bytes({3, 0, 0, 0, 3, 0, 0, 0, 100}) + "part");
    ASSERT_TRUE(WaitFor([&] { return transport.GetSize() == 0; })) << "the thread took all that came";
    multiplexer.Stop();
    EXPECT_FALSE(multiplexer.IsRunning());
    reader.join();
    EXPECT_EQ(channel->GetResult(), kCXEndOfData);
    EXPECT_EQ(channel->Write("x", 1), 0u);
    EXPECT_EQ(channel->GetResult(), kCXAlreadyOpen);
    EXPECT_EQ(multiplexer.OpenChannel(4), nullptr);
}

TEST(CXStreamMultiplexerPairTest, ChannelsRoundTripBetweenTwoMultiplexers)
{
    CXStreamPipe leftEnd, rightEnd;
    ASSERT_TRUE(CXStreamPipe::Connect(leftEnd, rightEnd));
    CXStreamMultiplexer left(&leftEnd), right(&rightEnd);
    left.Start();
    right.Start();

    std::unique_ptr<CXStreamMultiplexerStream> a = left.OpenChannel(5);
    std::unique_ptr<CXStreamMultiplexerStream> b = left.OpenChannel(6);
    std::unique_ptr<CXStreamMultiplexerStream> a2, b2;
    ASSERT_TRUE(WaitFor([&] { return (a2 = right.TakeChannel(5)) != nullptr; }));
    ASSERT_TRUE(WaitFor([&] { return (b2 = right.TakeChannel(6)) != nullptr; }));

    const std::string big(100000, 'z');
    std::thread writer([&] {
        EXPECT_EQ(a->Write(big.data(), big.size()), big.size());
        EXPECT_EQ(b->Write("beta", 4), 4u);
    });
    EXPECT_EQ(ReadText(*b2, 4), "beta");
    EXPECT_EQ(ReadText(*a2, big.size()), big);
    writer.join();
    EXPECT_EQ(a2->Write("back", 4), 4u);
    EXPECT_EQ(ReadText(*a, 4), "back");

    a.reset(); // sends the close frame
    EXPECT_EQ(ReadText(*a2, 1), "");
    EXPECT_EQ(a2->GetResult(), kCXEndOfData);
    right.Stop();
    EXPECT_EQ(ReadText(*b2, 1), "");
    left.Stop();
}

} // namespace
