#include "streams/CXStreamConcat.h"

#include "foundation/CXDebug.h"
#include "streams/CXStreamMemory.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A source that fails after handing out its bytes, without reporting an end.
class FailingSource : public CXStream {
public:
    explicit FailingSource(std::string bytes) : CXStream(kCapsRead | kCapsOpen), fBytes(std::move(bytes)) {}

protected:
    uint64_t VirtualRead(void* buffer, uint64_t size) override
    {
        uint64_t count = std::min<uint64_t>(size, fBytes.size() - fTaken);
        fBytes.copy(static_cast<char*>(buffer), count, fTaken);
        fTaken += count;
        if (count < size)
            SetResult(kCXBrokenPipe);
        return count;
    }

private:
    std::string fBytes;
    size_t fTaken = 0;
};

TEST(CXStreamConcatTest, ReadsItsSourcesInOrder)
{
    CXStreamStaticBuffer first, second;
    ASSERT_TRUE(first.OpenReadOnly("abcde", 5));
    ASSERT_TRUE(second.OpenReadOnly("fgh", 3));
    CXStreamConcat chain;
    chain.AddSource(&first);
    chain.AddSource(&second);
    char buffer[16];
    EXPECT_EQ(chain.Read(buffer, 8), 8u);
    EXPECT_EQ(std::string(buffer, 8), "abcdefgh");
    EXPECT_EQ(chain.GetResult(), kCXOK);
    // Back inside what is still buffered.
    EXPECT_EQ(chain.Seek(3, CXStream::kSeekSet), 3);
    EXPECT_EQ(chain.Read(buffer, 16), 5u);
    EXPECT_EQ(std::string(buffer, 5), "defgh");
    EXPECT_EQ(chain.GetResult(), kCXEndOfData);
    EXPECT_NE(chain.GetCaps() & CXStream::kCapsEndOfData, 0u);
    EXPECT_EQ(chain.GetPosition(), 8);
}

// A large read after a small one drops the read buffer: no seek is involved, so no failure.
TEST(CXStreamConcatTest, LargeReadsAfterSmallOnesSucceed)
{
    std::string bytes(20000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 31);
    CXStreamStaticBuffer source;
    ASSERT_TRUE(source.OpenReadOnly(bytes.data(), bytes.size()));
    CXStreamConcat chain;
    chain.AddSource(&source);
    std::string got(bytes.size(), '\0');
    ASSERT_EQ(chain.Read(got.data(), 100), 100u);
    ASSERT_EQ(chain.Read(got.data() + 100, 10000), 10000u);
    EXPECT_EQ(chain.GetResult(), kCXOK);
    EXPECT_EQ(chain.Skip(5000), 5000u); // by reading: the chain cannot seek
    ASSERT_EQ(chain.Read(got.data() + 15100, 10000), 4900u);
    EXPECT_EQ(got.substr(0, 10100), bytes.substr(0, 10100));
    EXPECT_EQ(got.substr(15100, 4900), bytes.substr(15100));
    EXPECT_EQ(chain.GetResult(), kCXEndOfData);
    EXPECT_EQ(chain.Skip(10), 0u);

    EXPECT_EQ(chain.Write("x", 1), 0u);
    EXPECT_EQ(chain.GetResult(), kCXNotSupported);
}

TEST(CXStreamConcatTest, ASourceFailureIsHandedUp)
{
    FailingSource failing("123");
    CXStreamStaticBuffer after;
    ASSERT_TRUE(after.OpenReadOnly("never", 5));
    CXDebugCapture capture;
    CXStreamConcat chain;
    chain.AddSource(&failing);
    chain.AddSource(&after);
    char buffer[8];
    EXPECT_EQ(chain.Read(buffer, 8), 3u);
    EXPECT_EQ(chain.GetResult(), kCXBrokenPipe);
    EXPECT_EQ(failing.GetResult(), kCXOK);
    EXPECT_GE(capture.Count("CXStreamConcat::VirtualRead> streamResult=-4"), 1u);
    EXPECT_EQ(chain.Close(), kCXOK);
    EXPECT_EQ(chain.GetPosition(), 0);
}

} // namespace
