#include "streams/CXStreamMemory.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMemory.h"
#include "streams/CXStreamMemoryCacheWrapper.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>

namespace {

std::string ReadAll(CXStream& stream)
{
    (void)stream.Seek(0, CXStream::kSeekSet);
    std::string out(stream.GetSize(), '\0');
    out.resize(stream.Read(out.data(), out.size()));
    return out;
}

TEST(CXStreamStaticBufferTest, StopsAtTheDataAndTheCapacity)
{
    char block[16] = "abcd";
    CXStreamStaticBuffer stream;
    ASSERT_TRUE(stream.Open(block, 10, 4));
    char buffer[20];
    EXPECT_EQ(stream.Read(buffer, 10), 4u);
    EXPECT_EQ(stream.GetResult(), kCXEndOfData);
    EXPECT_NE(stream.GetCaps() & CXStream::kCapsEndOfData, 0u);
    EXPECT_EQ(stream.Seek(8, CXStream::kSeekSet), 4);

    ASSERT_TRUE(stream.Open(block, 16, 0));
    EXPECT_EQ(stream.GetResult(), kCXOK);
    EXPECT_EQ(stream.Write("0123456789ABCDEFGHIJ", 20), 16u);
    EXPECT_EQ(stream.GetResult(), kCXEndOfData);
    EXPECT_EQ(stream.GetSize(), 16u);
    EXPECT_EQ(ReadAll(stream), "0123456789ABCDEF");

    // Written through the window, then overwritten after a seek back: the length follows.
    ASSERT_TRUE(stream.Open(block, 16, 0));
    EXPECT_EQ(stream.Write("hello", 5), 5u);
    EXPECT_EQ(stream.Seek(1, CXStream::kSeekSet), 1);
    EXPECT_EQ(stream.Write("EL", 2), 2u);
    EXPECT_EQ(stream.GetSize(), 5u);
    EXPECT_EQ(ReadAll(stream), "hELlo");
}

TEST(CXStreamStaticBufferTest, ReadOnlyAndBadParameters)
{
    CXStreamStaticBuffer stream;
    ASSERT_TRUE(stream.OpenReadOnly(CXString("text")));
    EXPECT_EQ(stream.Write("x", 1), 0u);
    EXPECT_EQ(stream.GetResult(), kCXAccessDenied);
    EXPECT_EQ(ReadAll(stream), "text");

    CXDebugCapture capture;
    EXPECT_FALSE(stream.Open(nullptr, 0, 0));
    EXPECT_FALSE(stream.Open(nullptr, 100, 0));
    EXPECT_EQ(capture.Count("CXStreamStaticBuffer::Open> bad params"), 2u);
    EXPECT_EQ(stream.GetResult(), kCXBadParameter);
    EXPECT_EQ(stream.Write("x", 1), 0u);

    ASSERT_TRUE(stream.Allocate());
    EXPECT_EQ(stream.Write(std::string(100, 'p').data(), 100), CXStreamStaticBuffer::kAllocateSize);
}

TEST(CXStreamDynamicBufferTest, GrowsAndSeeks)
{
    std::string data(20000, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 13);
    CXStreamDynamicBuffer stream;
    EXPECT_EQ(stream.Write(data.data(), data.size()), data.size());
    EXPECT_EQ(stream.Write("tail", 4), 4u);
    EXPECT_EQ(ReadAll(stream), data + "tail");
    EXPECT_EQ(stream.GetResult(), kCXOK);

    // Past the end: the stream stops at the end and says where it really is.
    EXPECT_EQ(stream.Seek(30000, CXStream::kSeekSet), 20004);
    EXPECT_EQ(stream.GetPosition(), 20004);
    EXPECT_EQ(stream.GetResult(), kCXEndOfData);
    EXPECT_NE(stream.GetCaps() & CXStream::kCapsEndOfData, 0u);
    EXPECT_EQ(stream.Seek(-7, CXStream::kSeekSet), 20004);
    EXPECT_EQ(stream.GetResult(), kCXBadParameter);
    EXPECT_EQ(stream.GetPosition(), 20004);

    // Overwriting inside the data after reading keeps the size.
    EXPECT_EQ(stream.Seek(2, CXStream::kSeekSet), 2);
    char two[2];
    EXPECT_EQ(stream.Read(two, 2), 2u);
    EXPECT_EQ(stream.Write("XY", 2), 2u);
    EXPECT_EQ(stream.GetSize(), 20004u);
}

// Records the largest heap request and refuses those of a mebibyte or more.
std::atomic<size_t> gLargest{0};
void* RecordAllocation(size_t size)
{
    gLargest = std::max<size_t>(gLargest, size);
    return size >= (1u << 20) ? nullptr : std::malloc(size);
}

TEST(CXStreamDynamicBufferTest, ReservationsAreCapped)
{
    CXStreamDynamicBuffer stream;
    EXPECT_TRUE(stream.Control(CXStream::kControlReserve, 100000));
    EXPECT_EQ(stream.GetSize(), 0u);
    EXPECT_EQ(stream.Write("abc", 3), 3u);
    EXPECT_EQ(ReadAll(stream), "abc");

    // A peer's declared length of 4 GiB asks for no more than the cap (and a growth step).
    CXStreamDynamicBuffer other;
    gLargest = 0;
    CXHeapAllocFunction previous = CXSetHeapAllocFunction(&RecordAllocation);
    EXPECT_TRUE(other.Control(CXStream::kControlReserve, 0xFFFFFFFFu));
    CXSetHeapAllocFunction(previous);
    EXPECT_GT(gLargest.load(), CXStreamDynamicBuffer::kReserveMaximum - 1);
    EXPECT_LE(gLargest.load(), 2 * CXStreamDynamicBuffer::kReserveMaximum);
    EXPECT_FALSE(other.Control(0x41424344, 1));
}

TEST(CXStreamMemoryCacheWrapperTest, WritesBackIntoItsSourceOnClose)
{
    CXStreamDynamicBuffer target;
    EXPECT_EQ(target.Write("old!", 4), 4u);
    {
        CXStreamMemoryCacheWrapper cache;
        cache.Attach(&target, CXStreamMemoryCacheWrapper::kFlagWriteBack | CXStreamMemoryCacheWrapper::kFlagKeepSource);
        EXPECT_EQ(cache.Write("new contents", 12), 12u);
        EXPECT_EQ(cache.Close(), kCXOK);
    }
    EXPECT_EQ(ReadAll(target), "new contents");

    auto* owned = new CXStreamDynamicBuffer; // destroyed by the wrapper
    CXStreamMemoryCacheWrapper cache;
    cache.Attach(owned, 0);
}

} // namespace
