#include "streams/CXStreamFIFO.h"
#include "streams/CXStreamPipe.h"

#include "support/WaitFor.h"

#include <atomic>
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

TEST(CXStreamFIFOTest, ReadsWaitForWritersUntilClosed)
{
    CXStreamFIFO fifo;
    ASSERT_EQ(fifo.Write("abcd", 4), 4u);
    EXPECT_EQ(fifo.GetSize(), 4u);

    std::atomic<bool> started{false};
    std::string got;
    std::thread reader([&] {
        started = true;
        got = ReadText(fifo, 10);
    });
    ASSERT_TRUE(WaitFor([&] { return started.load(); }));
    EXPECT_EQ(fifo.Write("ef", 2), 2u);
    EXPECT_EQ(fifo.Write("ghij", 4), 4u);
    reader.join();
    EXPECT_EQ(got, "abcdefghij");
    EXPECT_EQ(fifo.GetSize(), 0u);
    EXPECT_FALSE(fifo.Failed());

    // Without waiting: what is queued, at once, and no failure.
    ASSERT_EQ(fifo.Write("wxyz", 4), 4u);
    fifo.SetCaps(CXStream::kCapsNonBlocking, CXStream::kCapsNonBlocking | CXStream::kCapsWrite);
    EXPECT_NE(fifo.GetCaps() & CXStream::kCapsWrite, 0u) << "only the non-blocking bit changes";
    EXPECT_EQ(ReadText(fifo, 10), "wxyz");
    EXPECT_EQ(ReadText(fifo, 10), "");
    EXPECT_FALSE(fifo.Failed());

    // Closed: drains, then ends.
    fifo.SetCaps(0, CXStream::kCapsNonBlocking);
    ASSERT_EQ(fifo.Write("1234", 4), 4u);
    std::thread closer([&] { (void)fifo.Close(); });
    closer.join();
    EXPECT_EQ(ReadText(fifo, 10), "1234");
    EXPECT_EQ(fifo.GetResult(), kCXEndOfData);
    EXPECT_EQ(fifo.GetCaps() & CXStream::kCapsOpen, 0u);
}

TEST(CXStreamFIFOTest, CloseWakesABlockedReader)
{
    CXStreamFIFO fifo;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        EXPECT_EQ(ReadText(fifo, 8), "");
        done = true;
    });
    (void)fifo.Close();
    reader.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(fifo.GetResult(), kCXEndOfData);
}

class CountingListener : public CXStreamPipeListener {
public:
    void DataArrived(CXStreamPipe* pipe) override
    {
        last = pipe;
        ++calls;
    }
    std::atomic<int> calls{0};
    std::atomic<CXStreamPipe*> last{nullptr};
};

TEST(CXStreamPipeTest, CarriesBytesBetweenTwoThreadsInBothDirections)
{
    CXStreamPipe left, right;
    ASSERT_TRUE(CXStreamPipe::Connect(left, right));
    CXAutoReference<CountingListener> listener;
    listener.Swallow(new CountingListener);
    CXAutoReference<CXStreamPipeListener> base;
    base.Reference(listener.get());
    right.SetListener(base);

    std::string sent;
    for (int i = 0; i < 5000; ++i)
        sent += std::to_string(i) + ",";
    std::thread writer([&] {
        for (size_t at = 0; at < sent.size(); at += 1000)
            EXPECT_EQ(left.Write(sent.data() + at, std::min<size_t>(1000, sent.size() - at)),
                      std::min<size_t>(1000, sent.size() - at));
        EXPECT_EQ(ReadText(left, 5), "thank");
        (void)left.Close();
    });
    std::string received = ReadText(right, sent.size());
    EXPECT_EQ(received, sent);
    EXPECT_EQ(right.Write("thank", 5), 5u);
    writer.join();
    EXPECT_EQ(listener->calls.load(), static_cast<int>((sent.size() + 999) / 1000));
    EXPECT_EQ(listener->last.load(), &right);

    // The other end closed: reading ends, writing goes nowhere.
    EXPECT_EQ(ReadText(right, 4), "");
    EXPECT_EQ(right.GetResult(), kCXEndOfData);
    EXPECT_EQ(right.Write("late", 4), 0u);
    EXPECT_FALSE(CXStreamPipe::Connect(right, right));
}

TEST(CXStreamPipeTest, AnEndThatGoesAwayEndsTheOther)
{
    CXStreamPipe survivor;
    {
        CXStreamPipe gone;
        ASSERT_TRUE(CXStreamPipe::Connect(survivor, gone));
        ASSERT_EQ(gone.Write("last", 4), 4u);
    }
    EXPECT_EQ(ReadText(survivor, 10), "last");
    EXPECT_EQ(survivor.GetResult(), kCXEndOfData);
    EXPECT_EQ(survivor.Write("x", 1), 0u);
}

} // namespace
