#include "foundation/CXRandom.h"
#include "foundation/CXTime.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

uint64_t gFakeFileTime = 0;

class CXRandomTest : public testing::Test {
protected:
    void SetUp() override { ResetRandomForTesting(); }
    void TearDown() override
    {
        CXTime::SetFileTimeClockForTesting(nullptr);
        ResetRandomForTesting();
    }

    static std::vector<uint32_t> Draw(size_t count)
    {
        std::vector<uint32_t> numbers;
        for (size_t i = 0; i < count; ++i)
            numbers.push_back(GetRandomUInt32());
        return numbers;
    }
};

TEST_F(CXRandomTest, KnownSequenceForAFixedSeed)
{
    EXPECT_EQ(SeedRandomWithValue(0), 362436069u ^ 123456789u);
    EXPECT_EQ(Draw(3), (std::vector<uint32_t>{3462586178u, 3497711718u, 2278672447u}));
}

TEST_F(CXRandomTest, ClockSeedMixesTheTimestamp)
{
    gFakeFileTime = CXTime::TimestampToFileTime(0x0000018A12345678);
    CXTime::SetFileTimeClockForTesting([] { return gFakeFileTime; });

    SeedRandomWithValue(0x0000018A12345678);
    std::vector<uint32_t> expected = Draw(8);

    ResetRandomForTesting();
    SeedRandom();
    EXPECT_EQ(Draw(8), expected);

    // An unseeded generator seeds itself from the clock on the first draw.
    ResetRandomForTesting();
    EXPECT_EQ(Draw(8), expected);

    // A different moment gives a different sequence.
    ResetRandomForTesting();
    gFakeFileTime += 10000;
    EXPECT_NE(Draw(8), expected);
}

TEST_F(CXRandomTest, ThreadsShareOneSequence)
{
    constexpr size_t kThreads = 4;
    constexpr size_t kPerThread = 2000;
    SeedRandomWithValue(42);
    std::vector<uint32_t> expected = Draw(kThreads * kPerThread);

    ResetRandomForTesting();
    SeedRandomWithValue(42);
    std::vector<uint32_t> drawn;
    std::mutex drawnLock;
    std::vector<std::thread> threads;
    for (size_t t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            std::vector<uint32_t> mine = Draw(kPerThread);
            std::lock_guard<std::mutex> lock(drawnLock);
            drawn.insert(drawn.end(), mine.begin(), mine.end());
        });
    for (auto& thread : threads)
        thread.join();
    std::sort(expected.begin(), expected.end());
    std::sort(drawn.begin(), drawn.end());
    EXPECT_EQ(drawn, expected);
}

TEST(CXUniqueIDTest, NeverZeroNeverRepeated)
{
    constexpr int kThreads = 4;
    constexpr int kPerThread = 5000;
    std::vector<std::vector<uint64_t>> ids(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&ids, t] {
            for (int i = 0; i < kPerThread; ++i)
                ids[t].push_back(GetUniqueID());
        });
    for (auto& thread : threads)
        thread.join();
    std::set<uint64_t> all;
    for (const auto& list : ids) {
        // Each thread sees its own values increase.
        EXPECT_TRUE(std::is_sorted(list.begin(), list.end()));
        all.insert(list.begin(), list.end());
    }
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kPerThread));
    EXPECT_EQ(all.count(0), 0u);
}

} // namespace
