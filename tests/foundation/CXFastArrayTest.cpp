#include "foundation/CXDebug.h"
#include "foundation/CXFastArray.h"
#include "support/ScopedHeapFailure.h"

#include <gtest/gtest.h>
#include <new>
#include <vector>

namespace {

std::vector<int> Values(const FastArray<int>& a)
{
    std::vector<int> out;
    for (uint64_t i = 0; i < a.count(); ++i)
        out.push_back(a[i]);
    return out;
}

TEST(CXFastArrayTest, GrowsInWholeBlocks)
{
    FastArray<int> a;
    a.Append(0);
    EXPECT_EQ(a.capacity(), 128u);
    for (int i = 1; i < 128; ++i)
        a.Append(i);
    EXPECT_EQ(a.capacity(), 128u);
    {
        ScopedHeapRecorder recorder; // growth through an installed allocation function
        a.Append(a[127]);            // an element of the array itself while the block moves
        EXPECT_EQ(recorder.LastSize(), 256 * sizeof(int));
    }
    EXPECT_EQ(a.capacity(), 256u);
    EXPECT_EQ(a.count(), 129u);
    for (int i = 0; i < 128; ++i)
        ASSERT_EQ(a[i], i);
    EXPECT_EQ(a[128], 127);

    FastArray<int> b;
    ASSERT_TRUE(b.SetCount(300));
    EXPECT_EQ(b.capacity(), 384u);
    EXPECT_EQ(b.count(), 300u);
    for (uint64_t i = 0; i < 300; ++i)
        ASSERT_EQ(b[i], 0) << "elements gained are zero-filled";
    ASSERT_TRUE(b.SetCount(2));
    EXPECT_EQ(b.capacity(), 384u);

    FastArray<int> c;
    CXDebugCapture capture;
    c.SetBlockSize(0);
    EXPECT_EQ(capture.Count("FastArray::SetBlockSize> illegal block size"), 1u);
    EXPECT_EQ(c.blockSize(), 128u) << "an illegal size keeps the step";
    c.SetBlockSize(10);
    for (int i = 0; i < 11; ++i)
        c.Append(i);
    EXPECT_EQ(c.capacity(), 20u);
}

TEST(CXFastArrayTest, RemoveShiftsAndBadIndexReports)
{
    FastArray<int> a;
    for (int i = 0; i < 5; ++i)
        a.Append(i);
    a.Remove(0);
    a.Remove(2);
    a.Remove(2);
    EXPECT_EQ(Values(a), (std::vector<int>{1, 2}));
    CXDebugCapture capture;
    a.Remove(2);
    EXPECT_EQ(Values(a), (std::vector<int>{1, 2})) << "removing past the end changes nothing";
    a[2] = 99;
    EXPECT_EQ(a[7], 0) << "a write through an earlier stand-in is not read back";
    EXPECT_EQ(capture.Count("FastArray::operator[]> index '2' out of range."), 1u);
    EXPECT_EQ(capture.Count("FastArray::operator[]> index '7' out of range."), 1u);
    EXPECT_EQ(capture.ErrorCount(), 2u);
    EXPECT_EQ(Values(a), (std::vector<int>{1, 2}));
}

TEST(CXFastArrayTest, SetCountStopsAtTheCapacityReached)
{
    FastArray<int> a;
    for (int i = 0; i < 5; ++i)
        a.Append(i + 1);
    {
        ScopedHeapFailure failure(1);
        EXPECT_FALSE(a.SetCount(1000));
    }
    EXPECT_EQ(a.capacity(), 128u);
    EXPECT_EQ(a.count(), 128u) << "the count is cut to the capacity";
    EXPECT_EQ(a[4], 5);
    EXPECT_EQ(a[127], 0);
    EXPECT_FALSE(a.SetCount(UINT64_MAX)) << "a size that overflows fails";
    EXPECT_EQ(a.count(), 128u);
    EXPECT_TRUE(a.SetCount(1000));
    EXPECT_EQ(a.capacity(), 1024u);
    EXPECT_EQ(a[4], 5) << "growth keeps the contents";
}

TEST(CXFastArrayDeathTest, AppendThatCannotGrowEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            FastArray<int> a;
            a.Append(1);
            ScopedHeapFailure failure(1);
            for (int i = 0; i < 200; ++i)
                a.Append(i);
        },
        "FastArray::Resize> realloc failed");
    EXPECT_DEATH(
        {
            FastArray<int> a;
            a.SetBlockSize(UINT64_MAX / 2);
            a.Append(1);
        },
        "FastArray::Resize> realloc failed");
}

TEST(CXFastArrayTest, UseAfterDestructionReportsTheBadTag)
{
    // The storage outlives the array, so its tag can be read after the destructor ran. The
    // pointer goes through a volatile so the compiler cannot reason about the dead object.
    alignas(FastArray<int>) unsigned char storage[sizeof(FastArray<int>)];
    FastArray<int>* volatile hidden = new (storage) FastArray<int>();
    FastArray<int>* a = hidden;
    a->Append(1);
    a->~FastArray();

    CXDebugCapture capture;
    a = hidden;
    EXPECT_EQ(a->count(), 0u);
    a->Remove(0);
    ASSERT_TRUE(a->SetCount(1));
    a->~FastArray();
    for (const char* text : {"FastArray::Remove> Not a valid FastArray", "FastArray::Resize> Not a valid FastArray",
                             "~FastArray> Not a valid FastArray"})
        EXPECT_EQ(capture.Count(text), 1u) << text;
}

} // namespace
