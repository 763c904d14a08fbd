#include "streams/CXStreamProcessorWrapper.h"

#include "foundation/CXDebug.h"
#include "streams/CXStreamMemory.h"
#include "streams/StreamProcessorZLib.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <string>

namespace {

// Text-like bytes that compress to about a third, with a stretch of noise that does not.
std::string SampleData(size_t size)
{
    static const char* const kWords[] = {"patch ", "file ", "data ", "the ", "installer ", "stream\n", "zlib ", "of "};
    std::mt19937 random(static_cast<uint32_t>(size));
    std::string data;
    while (data.size() < size)
        data += kWords[random() % 8];
    data.resize(size);
    for (size_t i = size / 2; i < std::min(size, size / 2 + 3000); ++i)
        data[i] = static_cast<char>(random());
    return data;
}

// Drives the compressor as its contract asks: input before every Process, then Process until -3.
std::string Compress(const std::string& data)
{
    StreamProcessorZLibCompress compressor;
    EXPECT_TRUE(compressor.IsInitialised());
    CXStreamStaticBuffer input;
    EXPECT_TRUE(input.OpenReadOnly(data.data(), data.size()));
    CXStreamDynamicBuffer output;
    uint64_t left = data.size();
    for (;;) {
        uint64_t n = std::min(left, compressor.InputSpace());
        EXPECT_EQ(compressor.WriteStreamToInputBuffer(input, n), kCXOK);
        left -= n;
        CXResultCode result = compressor.Process();
        EXPECT_EQ(compressor.WriteOutputToStream(output, compressor.OutputAvailable()), kCXOK);
        if (result == kCXEndOfData)
            break;
        EXPECT_EQ(result, kCXOK);
        if (result != kCXOK)
            break;
    }
    EXPECT_TRUE(compressor.ReachedEnd());
    std::string compressed(output.GetSize(), '\0');
    (void)output.Seek(0, CXStream::kSeekSet);
    (void)output.Read(compressed.data(), compressed.size());
    return compressed;
}

// Reads the wrapper to its end in pieces of the given size.
std::string ReadAll(CXStream& stream, size_t piece)
{
    std::string out;
    std::string buffer(piece, '\0');
    for (;;) {
        uint64_t got = stream.Read(buffer.data(), piece);
        out.append(buffer, 0, got);
        if (got < piece)
            return out;
    }
}

// A source that hands out at most a few bytes per read, knows no size, and reports -3 at its end.
class TricklingSource : public CXStream {
public:
    TricklingSource(std::string bytes, size_t piece) : CXStream(kCapsRead | kCapsOpen), fBytes(std::move(bytes)), fPiece(piece) {}

protected:
    uint64_t VirtualRead(void* buffer, uint64_t size) override
    {
        uint64_t count = std::min<uint64_t>({size, fPiece, fBytes.size() - fTaken});
        fBytes.copy(static_cast<char*>(buffer), count, fTaken);
        fTaken += count;
        if (count < size && fTaken == fBytes.size()) {
            SetResult(kCXEndOfData);
            fCaps |= kCapsEndOfData;
        }
        return count;
    }

private:
    std::string fBytes;
    size_t fPiece;
    size_t fTaken = 0;
};

TEST(CXStreamProcessorWrapperTest, RoundTrips)
{
    for (size_t size : {0, 1, 4095, 4096, 8192, 100 * 1024}) {
        std::string data = SampleData(size);
        std::string compressed = Compress(data);
        // The compressor writes the standard zlib format.
        std::string check(size + 1, '\0');
        uLongf checkSize = static_cast<uLongf>(check.size());
        ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(check.data()), &checkSize,
                             reinterpret_cast<const Bytef*>(compressed.data()), compressed.size()),
                  Z_OK);
        EXPECT_TRUE(check.substr(0, checkSize) == data);

        for (size_t piece : {size_t(1), size_t(4096), size + 1}) {
            CXStreamStaticBuffer source;
            ASSERT_TRUE(source.OpenReadOnly(compressed.data(), compressed.size()));
            StreamProcessorZLibDecompress decompressor;
            CXStreamProcessorWrapper wrapper(&source, &decompressor);
            ASSERT_TRUE(ReadAll(wrapper, piece) == data) << size << " in pieces of " << piece;
            EXPECT_EQ(wrapper.GetResult(), kCXEndOfData);
            EXPECT_NE(wrapper.GetCaps() & CXStream::kCapsEndOfData, 0u);
            EXPECT_EQ(wrapper.GetPosition(), static_cast<int64_t>(size));
            char byte;
            EXPECT_EQ(wrapper.Read(&byte, 1), 0u);
            EXPECT_EQ(wrapper.GetResult(), kCXEndOfData);
        }

        // The same through a source that knows no size and delivers a few bytes at a time.
        TricklingSource trickling(compressed, 7);
        StreamProcessorZLibDecompress decompressor;
        CXStreamProcessorWrapper wrapper(&trickling, &decompressor);
        EXPECT_TRUE(ReadAll(wrapper, 5000) == data) << size << " trickling";
        EXPECT_EQ(wrapper.GetResult(), kCXEndOfData);
    }
}

// Data cut short, damaged or in another format give -15, after which nothing more is delivered.
TEST(CXStreamProcessorWrapperTest, BadDataGivesConversionFailure)
{
    const std::string data = SampleData(100 * 1024);
    const std::string compressed = Compress(data);
    std::string damaged = compressed;
    damaged[damaged.size() / 3] ^= 0x10;
    std::string gzip = compressed;
    gzip[0] = '\x1f';
    gzip[1] = '\x8b';

    struct Case {
        const char* name;
        std::string bytes;
        bool intactPrefix;
    };
    const Case cases[] = {
        {"empty", "", true},
        {"header only", compressed.substr(0, 2), true},
        {"cut in half", compressed.substr(0, compressed.size() / 2), true},
        {"trailer cut", compressed.substr(0, compressed.size() - 1), true},
        {"damaged", damaged, false},
        {"gzip", gzip, true},
    };
    for (const Case& c : cases) {
        for (int variant = 0; variant < 4; ++variant) {
            bool trickle = variant & 1;
            size_t piece = variant & 2 ? 65536 : 1000; // straight into the caller's buffer, or through the output buffer
            CXStreamStaticBuffer sized;
            ASSERT_TRUE(sized.OpenReadOnly(c.bytes.data(), c.bytes.size()));
            TricklingSource trickling(c.bytes, 7);
            CXStream& source = trickle ? static_cast<CXStream&>(trickling) : sized;
            StreamProcessorZLibDecompress decompressor;
            CXStreamProcessorWrapper wrapper(&source, &decompressor);
            std::string out = ReadAll(wrapper, piece);
            EXPECT_EQ(wrapper.GetResult(), kCXConversionFailed) << c.name << " variant " << variant;
            // Streamed output cannot wait for the checksum: a cut stream delivers what it holds,
            // and a damaged one what came out before the damage showed.
            EXPECT_LE(out.size(), data.size()) << c.name;
            if (c.intactPrefix) {
                EXPECT_TRUE(out == data.substr(0, out.size())) << c.name;
            }
            char byte;
            EXPECT_EQ(wrapper.Read(&byte, 1), 0u) << c.name;
        }
    }
}

TEST(CXStreamProcessorWrapperTest, WithoutAReadProcessor)
{
    CXStreamStaticBuffer source;
    ASSERT_TRUE(source.OpenReadOnly("x", 1));
    CXStreamProcessorWrapper wrapper(&source, nullptr);
    EXPECT_EQ(wrapper.GetCaps() & (CXStream::kCapsRead | CXStream::kCapsWrite), 0u);
    char byte;
    EXPECT_EQ(wrapper.Read(&byte, 1), 0u);
    EXPECT_EQ(wrapper.GetResult(), kCXNotSupported);

    StreamProcessorZLibDecompress decompressor;
    CXStreamProcessorWrapper readable(&source, &decompressor);
    EXPECT_EQ(readable.GetCaps() & (CXStream::kCapsRead | CXStream::kCapsWrite), CXStream::kCapsRead);
    EXPECT_EQ(readable.Write("x", 1), 0u);
    EXPECT_EQ(readable.GetResult(), kCXNotSupported);
}

// The buffer operations keep every byte that moved: what a short read brought in stays in the
// input, and what a short write took out leaves the output.
TEST(CXStreamProcessorWrapperTest, BufferOperationsKeepWhatMoved)
{
    StreamProcessorZLibCompress compressor;
    CXStreamStaticBuffer input;
    ASSERT_TRUE(input.OpenReadOnly("abcdef", 6));
    EXPECT_EQ(compressor.WriteStreamToInputBuffer(input, 4097), kCXBadParameter);
    EXPECT_EQ(compressor.WriteStreamToInputBuffer(input, 10), kCXEndOfData);
    EXPECT_EQ(compressor.InputSpace(), 4096u - 6);

    EXPECT_EQ(compressor.Process(), kCXOK); // takes the input, finishing nothing yet
    EXPECT_EQ(compressor.Process(), kCXEndOfData); // no input left: the stream is finished
    uint64_t produced = compressor.OutputAvailable();
    ASSERT_GT(produced, 5u);
    char room[5];
    CXStreamStaticBuffer small;
    ASSERT_TRUE(small.Open(room, sizeof room, 0));
    EXPECT_EQ(compressor.WriteOutputToStream(small, produced), kCXEndOfData);
    EXPECT_EQ(compressor.OutputAvailable(), produced - 5);
    std::string rest(produced - 5, '\0');
    EXPECT_EQ(compressor.ReadOutput(rest.data(), produced), kCXBadParameter);
    EXPECT_EQ(compressor.ReadOutput(rest.data(), rest.size()), kCXOK);
    EXPECT_EQ(compressor.OutputAvailable(), 0u);

    std::string all = std::string(room, 5) + rest;
    std::string check(16, '\0');
    uLongf checkSize = static_cast<uLongf>(check.size());
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(check.data()), &checkSize, reinterpret_cast<const Bytef*>(all.data()),
                         all.size()),
              Z_OK);
    EXPECT_EQ(check.substr(0, checkSize), "abcdef");

    CXDebugCapture capture;
    CXStreamStaticBuffer more;
    ASSERT_TRUE(more.OpenReadOnly("g", 1));
    EXPECT_EQ(compressor.WriteStreamToInputBuffer(more, 1), kCXOK);
    EXPECT_EQ(capture.Count("StreamProcessorZLib::WriteStreamToInputBuffer> stream already finished"), 1u);
}

} // namespace
