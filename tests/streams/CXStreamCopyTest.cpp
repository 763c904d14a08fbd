#include "streams/CXStreamCopy.h"

#include "streams/CXStreamMemory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 17 + i / 251);
    return bytes;
}

std::string ReadAll(CXStream& stream)
{
    (void)stream.Seek(0, CXStream::kSeekSet);
    std::string out(stream.GetSize(), '\0');
    out.resize(stream.Read(out.data(), out.size()));
    return out;
}

// Hands out at most 7 bytes per read and records nothing, not even at its end, like a
// connection that closed without a word.
class TrickleSource : public CXStream {
public:
    explicit TrickleSource(std::string bytes) : CXStream(kCapsRead | kCapsOpen), fBytes(std::move(bytes)) {}

protected:
    uint64_t VirtualRead(void* buffer, uint64_t size) override
    {
        uint64_t count = std::min<uint64_t>({size, 7, fBytes.size() - fTaken});
        fBytes.copy(static_cast<char*>(buffer), count, fTaken);
        fTaken += count;
        return count;
    }

private:
    std::string fBytes;
    size_t fTaken = 0;
};

TEST(CXStreamCopyTest, CopiesInPiecesAndReportsProgress)
{
    const std::string bytes = Pattern(40000);
    CXStreamDynamicBuffer source, destination;
    ASSERT_EQ(source.Write(bytes.data(), bytes.size()), bytes.size());
    (void)source.Seek(0, CXStream::kSeekSet);
    std::vector<float> fractions;
    std::vector<uint64_t> done;
    auto progress = [&](const CXStreamProgressCallbackData& record) {
        EXPECT_FALSE(record.fractionUnknown);
        EXPECT_NE(record.startTime, 0);
        fractions.push_back(record.fraction);
        done.push_back(record.bytesDone);
        return true;
    };
    EXPECT_EQ(CopyStreamBytes(destination, source, bytes.size(), progress), kCXOK);
    EXPECT_EQ(ReadAll(destination), bytes);
    ASSERT_EQ(fractions.size(), 3u);
    EXPECT_FLOAT_EQ(fractions[0], 16384.0f / 40000);
    EXPECT_FLOAT_EQ(fractions[1], 32768.0f / 40000);
    EXPECT_FLOAT_EQ(fractions[2], 1.0f);
    EXPECT_EQ(done, (std::vector<uint64_t>{16384, 32768, 40000}));
}

TEST(CXStreamCopyTest, EndsWithTheFailingSide)
{
    const std::string bytes = Pattern(40000);
    struct Case {
        const char* name;
        size_t available; // in the source
        size_t room;      // of a fixed destination; 0 for a growable one
        bool trickle;     // short reads that record nothing
        bool cancel;
        CXResultCode result;
        size_t copied;
    };
    const Case cases[] = {
        {"source 100 bytes short", 39900, 0, false, false, kCXEndOfData, 39900},
        {"trickling source, all there", 40000, 0, true, false, kCXOK, 40000},
        {"trickling source running dry", 1000, 0, true, false, kCXEndOfData, 1000},
        {"full destination", 40000, 20000, false, false, kCXEndOfData, 20000},
        {"cancelled", 40000, 0, false, true, kCXCancelled, 16384},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CXStreamStaticBuffer buffer;
        TrickleSource trickle(bytes.substr(0, c.available));
        if (!c.trickle) {
            ASSERT_TRUE(buffer.OpenReadOnly(bytes.data(), c.available));
        }
        CXStream& source = c.trickle ? static_cast<CXStream&>(trickle) : buffer;

        std::string room(c.room, '\0');
        CXStreamStaticBuffer fixed;
        CXStreamDynamicBuffer growable;
        if (c.room != 0) {
            ASSERT_TRUE(fixed.Open(room.data(), room.size(), 0));
        }
        CXStream& destination = c.room != 0 ? static_cast<CXStream&>(fixed) : growable;

        CXStreamProgressCallback progress;
        if (c.cancel)
            progress = [](const CXStreamProgressCallbackData&) { return false; };
        EXPECT_EQ(CopyStreamBytes(destination, source, bytes.size(), progress), c.result);
        EXPECT_EQ(ReadAll(destination), bytes.substr(0, c.copied));
    }
}

TEST(CXStreamCopyTest, CopyAllTakesWhatIsLeft)
{
    const std::string bytes = Pattern(50000);
    CXStreamStaticBuffer sized;
    ASSERT_TRUE(sized.OpenReadOnly(bytes.data(), bytes.size()));
    ASSERT_EQ(sized.Seek(1000, CXStream::kSeekSet), 1000);
    CXStreamDynamicBuffer destination;
    EXPECT_EQ(CopyStreamAll(destination, sized, CXStreamProgressCallback()), kCXOK);
    EXPECT_EQ(ReadAll(destination), bytes.substr(1000));

    // Without a size the copy runs until a read gives nothing.
    TrickleSource unsized(bytes);
    CXStreamDynamicBuffer other;
    int calls = 0;
    auto progress = [&](const CXStreamProgressCallbackData& record) {
        EXPECT_TRUE(record.fractionUnknown);
        ++calls;
        return true;
    };
    EXPECT_EQ(CopyStreamAll(other, unsized, progress), kCXOK);
    EXPECT_EQ(ReadAll(other), bytes);
    EXPECT_GT(calls, 0);
}

} // namespace
