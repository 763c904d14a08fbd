#include "streams/CXStream.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMemory.h"
#include "streams/CXStreamConcat.h"
#include "streams/CXStreamMemory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

std::string Contents(CXStreamDynamicBuffer& buffer)
{
    int64_t position = buffer.GetPosition();
    std::string out(buffer.GetSize(), '\0');
    (void)buffer.Seek(0, CXStream::kSeekSet);
    out.resize(buffer.Read(out.data(), out.size()));
    (void)buffer.Seek(position, CXStream::kSeekSet);
    return out;
}

// Records the largest heap request and refuses those of a mebibyte or more.
class LargestAllocation {
public:
    LargestAllocation() : fPrevious(CXSetHeapAllocFunction(&Allocate)) { sLargest = 0; }
    ~LargestAllocation() { CXSetHeapAllocFunction(fPrevious); }
    size_t Largest() const { return sLargest; }

private:
    static void* Allocate(size_t size)
    {
        sLargest = std::max<size_t>(sLargest, size);
        return size >= (1u << 20) ? nullptr : std::malloc(size);
    }
    static inline std::atomic<size_t> sLargest{0};
    CXHeapAllocFunction fPrevious;
};

TEST(CXStreamTest, StringsRoundTripInBothLengthForms)
{
    struct Case {
        size_t length;
        size_t encoded;
        std::string prefix;
    };
    const Case cases[] = {
        {0, 1, std::string("\x00", 1)},
        {1, 2, "\x01"},
        {254, 255, "\xFE"},
        {255, 260, std::string("\xFF\x00\x00\x00\xFF", 5)},
        {256, 261, std::string("\xFF\x00\x00\x01\x00", 5)},
        {70000, 70005, std::string("\xFF\x00\x01\x11\x70", 5)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        std::string text(c.length, '\0');
        for (size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char>('a' + i % 26);
        CXStreamDynamicBuffer stream;
        WriteStringToStream(stream, CXStringArgument(text.data(), text.size()));
        WriteStringToStream(stream, "next");
        std::string bytes = Contents(stream);
        ASSERT_EQ(bytes.size(), c.encoded + 5);
        EXPECT_EQ(bytes.substr(0, c.prefix.size()), c.prefix);
        (void)stream.Seek(0, CXStream::kSeekSet);
        CXString read, next;
        ReadStringFromStream(ReadStringFromStream(stream, read), next);
        EXPECT_EQ(std::string(read.c_str(), read.length()), text);
        EXPECT_EQ(next, "next");
        EXPECT_EQ(stream.GetResult(), kCXOK);
    }
}

TEST(CXStreamTest, BigEndianIntegers)
{
    CXStreamDynamicBuffer stream;
    WriteUInt32BEToStream(WriteUInt32BEToStream(stream, 0x01020304), 0xA0B0C0D0);
    EXPECT_EQ(Contents(stream), "\x01\x02\x03\x04\xA0\xB0\xC0\xD0");
    (void)stream.Seek(0, CXStream::kSeekSet);
    uint64_t value = 0;
    ReadUInt64BEFromStream(stream, value);
    EXPECT_EQ(value, 0x01020304A0B0C0D0u);
    (void)stream.Seek(3, CXStream::kSeekSet);
    ReadUInt64BEFromStream(stream, value);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(stream.GetResult(), kCXEndOfData);
    (void)stream.Seek(0, CXStream::kSeekSet);
    EXPECT_EQ(ReadUInt32BEFromStream(stream), 0x01020304u);
}

TEST(CXStreamTest, CorruptStringLengthsFailWithoutLargeAllocations)
{
    struct Case {
        const char* name;
        std::string bytes;
        bool sized; // read through a sized stream, else through an unsized chain
        int32_t result;
        int64_t position; // after the read
    };
    const std::string body(100, 'x');
    const Case cases[] = {
        {"reserved length", std::string("\xFF\xFF\xFF\xFF\xFF", 5) + body, true, kCXNoResources, 5},
        {"above the cap", std::string("\xFF\x10\x00\x00\x00", 5) + body, false, kCXNoResources, 5},
        {"more than a sized stream holds", std::string("\xFF\x00\x00\x03\xE8", 5) + body, true, kCXBadFormat, 5},
        {"more than an unsized stream holds", std::string("\xFF\x00\x30\x00\x00", 5) + body, false, kCXEndOfData, 105},
        {"short form cut off", std::string("\x20", 1) + "abc", false, kCXEndOfData, 4},
        {"length cut off", std::string("\xFF\x00", 2), true, kCXEndOfData, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CXStreamStaticBuffer bytes;
        ASSERT_TRUE(bytes.OpenReadOnly(c.bytes.data(), c.bytes.size()));
        CXStreamConcat chain;
        chain.AddSource(&bytes);
        CXStream& stream = c.sized ? static_cast<CXStream&>(bytes) : chain;
        CXString string("stale");
        LargestAllocation allocations;
        ReadStringFromStream(stream, string);
        EXPECT_LT(allocations.Largest(), 512u * 1024);
        EXPECT_TRUE(string.IsEmpty());
        EXPECT_EQ(static_cast<int32_t>(stream.GetResult()), c.result);
        EXPECT_EQ(stream.GetPosition(), c.position);
    }
}

TEST(CXStreamTest, AFailureAlreadyRecordedStopsStringReads)
{
    CXStreamDynamicBuffer stream;
    WriteStringToStream(stream, "abc");
    (void)stream.Seek(100, CXStream::kSeekSet); // past the end: -3
    (void)stream.Seek(0, CXStream::kSeekSet);
    CXString string("stale");
    ReadStringFromStream(stream, string);
    EXPECT_TRUE(string.IsEmpty());
    EXPECT_EQ(stream.GetResult(), kCXEndOfData);
}

TEST(CXStreamTest, BaseOperations)
{
    CXDebugCapture capture;
    CXStreamStaticBuffer stream;
    uint8_t block[16] = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(stream.Open(block, sizeof block, 6));
    EXPECT_EQ(stream.Read(nullptr, 5), 0u);
    EXPECT_EQ(capture.Count("CXStream::Read> null buffer with size=5"), 1u);
    EXPECT_EQ(stream.Seek(4, CXStream::kSeekSet), 4);
    EXPECT_EQ(stream.ReadByte(), 5);
    EXPECT_EQ(stream.ReadByte(), 6);
    EXPECT_EQ(stream.ReadByte(), 0);
    EXPECT_NE(stream.GetCaps() & CXStream::kCapsEndOfData, 0u);
    EXPECT_EQ(stream.Seek(0, CXStream::kSeekCurrent), 6);
    EXPECT_EQ(stream.GetCaps() & CXStream::kCapsEndOfData, 0u);
    EXPECT_EQ(stream.Seek(-2, CXStream::kSeekEnd), 4);
    EXPECT_EQ(stream.BytesRemaining(), 2u);
    EXPECT_EQ(stream.Seek(0, 7), 0);
    EXPECT_EQ(capture.Count("CXStream::Seek> unknown seek mode"), 1u);
    // Extreme offsets are refused, never wrapped into the block.
    EXPECT_EQ(stream.Seek(INT64_MIN, CXStream::kSeekCurrent), 0);
    EXPECT_EQ(stream.Seek(INT64_MAX, CXStream::kSeekCurrent), 6);

    CXStream bare;
    EXPECT_EQ(bare.BytesRemaining(), 0u);
    EXPECT_EQ(bare.GetResult(), kCXNotSupported);
    EXPECT_EQ(bare.Close(), kCXNotSupported);
}

// A stream whose direct reads park until the test lets them go, so two threads can be inside
// one stream's Read at the same time.
class ParkingStream : public CXStream {
public:
    ParkingStream() : CXStream(kCapsRead | kCapsThreadCheck) {}
    std::atomic<bool> parked{false};
    std::atomic<bool> release{false};

protected:
    uint64_t VirtualRead(void*, uint64_t size) override
    {
        if (!parked.exchange(true)) {
            while (!release.load())
                std::this_thread::yield();
        }
        return size;
    }
};

TEST(CXStreamTest, UseFromTwoThreadsAtOnceIsReportedAndOneThreadIsNot)
{
    CXDebugCapture capture;
    ParkingStream stream;
    char byte;
    std::thread first([&] { (void)stream.Read(&byte, 1); });
    while (!stream.parked.load())
        std::this_thread::yield();
    char other;
    EXPECT_EQ(stream.Read(&other, 1), 1u); // the second reader enters while the first is parked
    stream.release = true;
    first.join();
    EXPECT_EQ(capture.Count("CXDebugThreadSafetyScope> thread safety check failed"), 1u);

    // Once both have left, the stream is free again: one thread after another reports nothing.
    for (int i = 0; i < 3; ++i)
        (void)stream.Read(&byte, 1);
    std::thread later([&] { (void)stream.Read(&byte, 1); });
    later.join();
    EXPECT_EQ(capture.Count("CXDebugThreadSafetyScope> thread safety check failed"), 1u);
}

} // namespace
