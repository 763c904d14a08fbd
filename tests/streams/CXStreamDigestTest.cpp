#include "streams/CXStreamDigest.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMD5.h"
#include "platform/DriveMap.h"
#include "streams/CXStreamFile.h"
#include "streams/CXStreamMemory.h"
#include "support/ScopedDriveMap.h"
#include "support/ScopedHeapFailure.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <random>
#include <string>

namespace {

std::string Digest(const std::string& bytes)
{
    return MD5HexDigest(CXStringArgument(bytes.data(), bytes.size())).c_str();
}

std::string RandomBytes(size_t size, uint64_t seed)
{
    std::mt19937_64 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

// A sized stream that serves its bytes and then fails with an I/O error where the data break off.
class BrokenSource : public CXStream {
public:
    BrokenSource(std::string bytes, uint64_t size)
        : CXStream(kCapsRead | kCapsSizeKnown | kCapsPositionKnown | kCapsOpen)
        , fBytes(std::move(bytes))
        , fSize(size)
    {
    }
    uint64_t GetSize() override { return fSize; }

protected:
    uint64_t VirtualRead(void* buffer, uint64_t size) override
    {
        uint64_t position = static_cast<uint64_t>(fWindowBase);
        uint64_t count = position < fBytes.size() ? std::min<uint64_t>(size, fBytes.size() - position) : 0;
        fBytes.copy(static_cast<char*>(buffer), count, position);
        fWindowBase += static_cast<int64_t>(count);
        if (count < size)
            SetResult(kCXNoResources);
        return count;
    }

private:
    std::string fBytes;
    uint64_t fSize;
};

// The RFC 1321 texts and the lengths around the padding boundaries, each read at an offset inside
// a larger stream; the stream stands right after the span afterwards.
TEST(CXStreamDigestTest, DigestsASpanInPlace)
{
    std::vector<std::string> spans = {"",
                                      "a",
                                      "abc",
                                      "message digest",
                                      "abcdefghijklmnopqrstuvwxyz",
                                      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                                      std::string("1234567890") + "1234567890" + "1234567890" + "1234567890" +
                                          "1234567890" + "1234567890" + "1234567890" + "1234567890"};
    for (size_t length : {55, 56, 63, 64, 119, 120, 5000})
        spans.push_back(RandomBytes(length, length));
    EXPECT_EQ(Digest(spans[2]), "900150983cd24fb0d6963f7d28e17f72");

    for (const std::string& span : spans) {
        std::string bytes = "prefix" + span + "suffix";
        CXStreamStaticBuffer stream;
        ASSERT_TRUE(stream.OpenReadOnly(bytes.data(), bytes.size()));
        ASSERT_EQ(stream.Skip(6), 6u);
        CXString digest = MD5HexDigestOfStream(stream, span.size());
        EXPECT_EQ(std::string(digest.c_str()), Digest(span)) << span.size();
        EXPECT_EQ(stream.GetPosition(), static_cast<int64_t>(6 + span.size()));
        EXPECT_EQ(stream.ReadByte(), 's');
        EXPECT_EQ(stream.GetResult(), kCXOK);
    }
}

// A span longer than the file: the reads pass the file's buffer, the 64 KiB pieces and the
// concatenation's buffer; with allocations failing they take the small path through all of them.
TEST(CXStreamDigestTest, LongSpanOfAFile)
{
    ScratchFolder scratch;
    ScopedDriveMap map(scratch.Path());
    std::string bytes = RandomBytes(300000, 7);
    std::ofstream(scratch / "data.bin", std::ios::binary) << bytes;

    for (bool failAllocations : {false, true}) {
        CXStreamFile file;
        ASSERT_TRUE(file.Open("C:/data.bin", CXStreamFile::kModeRead));
        char head[3];
        ASSERT_EQ(file.Read(head, 3), 3u); // the file now holds a read buffer
        const uint64_t length = 250001;
        CXString digest;
        {
            std::optional<ScopedHeapFailure> failure;
            if (failAllocations)
                failure.emplace(1024);
            digest = MD5HexDigestOfStream(file, length);
        }
        EXPECT_EQ(std::string(digest.c_str()), Digest(bytes.substr(3, length))) << failAllocations;
        EXPECT_EQ(file.GetPosition(), static_cast<int64_t>(3 + length));
        EXPECT_EQ(static_cast<char>(file.ReadByte()), bytes[3 + length]);
        EXPECT_EQ(file.GetResult(), kCXOK);
    }
}

// A span that cannot be read in full: empty digest, the message, the stream at the span's end (or
// its own end) and the reason in the stream's result.
TEST(CXStreamDigestTest, ShortSpanGivesAnEmptyDigest)
{
    {
        CXStreamStaticBuffer stream;
        ASSERT_TRUE(stream.OpenReadOnly("abcdef", 6));
        ASSERT_EQ(stream.Skip(2), 2u);
        CXDebugCapture capture;
        EXPECT_TRUE(MD5HexDigestOfStream(stream, 10).IsEmpty());
        EXPECT_EQ(capture.Count("fail at 58 / 64 [10.54]"), 1u);
        EXPECT_EQ(stream.GetPosition(), 6);
        EXPECT_EQ(stream.GetResult(), kCXEndOfData);
    }
    {
        // Breaks off 100 bytes into a span of 200 that its size promised; the padding follows what
        // came, so 156 bytes are delivered.
        BrokenSource stream(RandomBytes(150, 3), 400);
        ASSERT_EQ(stream.Skip(50), 50u);
        CXDebugCapture capture;
        EXPECT_TRUE(MD5HexDigestOfStream(stream, 200).IsEmpty());
        EXPECT_EQ(capture.Count("fail at 156 / 256 [200.56]"), 1u);
        EXPECT_EQ(stream.GetResult(), kCXNoResources);
        EXPECT_EQ(stream.GetPosition(), 150);
    }
}

} // namespace
