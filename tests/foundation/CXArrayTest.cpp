#include "foundation/CXArray.h"
#include "foundation/CXDebug.h"
#include "foundation/CXString.h"
#include "support/ScopedHeapFailure.h"

#include <gtest/gtest.h>
#include <new>
#include <string>
#include <vector>

namespace {

// Counts live instances, so a test can see every construction matched by one destruction.
struct Tracked {
    static inline int sLive = 0;
    int value = 0;
    Tracked() { ++sLive; }
    Tracked(int v) : value(v) { ++sLive; }
    Tracked(const Tracked& other) : value(other.value) { ++sLive; }
    Tracked(Tracked&& other) noexcept : value(other.value)
    {
        other.value = -1;
        ++sLive;
    }
    Tracked& operator=(const Tracked&) = default;
    Tracked& operator=(Tracked&& other) noexcept
    {
        value = other.value;
        other.value = -1;
        return *this;
    }
    ~Tracked() { --sLive; }
};

std::vector<std::string> Texts(const Array<CXString>& a)
{
    std::vector<std::string> out;
    for (const CXString& s : a)
        out.emplace_back(s.c_str(), s.length());
    return out;
}

std::vector<int> Values(const Array<Tracked>& a)
{
    std::vector<int> out;
    for (uint64_t i = 0; i < a.count(); ++i)
        out.push_back(a[i].value);
    return out;
}

TEST(CXArrayTest, GrowsInWholeBlocks)
{
    Array<int> a;
    EXPECT_EQ(a.capacity(), 0u);
    ASSERT_TRUE(a.Append(0));
    EXPECT_EQ(a.capacity(), 128u);
    for (int i = 1; i < 128; ++i)
        ASSERT_TRUE(a.Append(i));
    EXPECT_EQ(a.capacity(), 128u) << "a full block does not grow before the next append";
    ASSERT_TRUE(a.Append(128));
    EXPECT_EQ(a.capacity(), 256u);
    for (int i = 0; i <= 128; ++i)
        ASSERT_EQ(a[i], i);

    Array<int> early;
    for (int i = 0; i < 127; ++i)
        ASSERT_TRUE(early.Append(i));
    ASSERT_EQ(early.capacity(), 128u);
    ASSERT_TRUE(early.InsertBefore(0, -1));
    EXPECT_EQ(early.capacity(), 256u) << "insertion grows one slot before the block is full";
    EXPECT_EQ(early.count(), 128u);
    EXPECT_EQ(early[0], -1);
    EXPECT_EQ(early[127], 126);

    Array<int> small(10);
    for (int i = 0; i < 11; ++i)
        ASSERT_TRUE(small.Append(i));
    EXPECT_EQ(small.capacity(), 20u);
    EXPECT_EQ(Array<int>(0).growth(), 128u) << "a growth of 0 falls back to the default";
}

TEST(CXArrayTest, InsertAndRemoveShiftObjects)
{
    CXDebugCapture capture;
    {
        Array<CXString> a(2);
        for (const char* s : {"b", "d"})
            ASSERT_TRUE(a.Append(CXString(s)));
        ASSERT_TRUE(a.InsertBefore(0, CXString("a")));
        ASSERT_TRUE(a.InsertBefore(2, CXString("c")));
        ASSERT_TRUE(a.InsertBefore(99, CXString("e"))) << "an index past the end appends";
        EXPECT_EQ(Texts(a), (std::vector<std::string>{"a", "b", "c", "d", "e"}));

        a.Remove(4);
        a.Remove(0);
        a.Remove(1);
        EXPECT_EQ(Texts(a), (std::vector<std::string>{"b", "d"}));
        a.Remove(2);
        a.Remove(UINT64_MAX);
        EXPECT_EQ(Texts(a), (std::vector<std::string>{"b", "d"})) << "removing past the end changes nothing";

        // Elements of the array itself as the value, across growth and shifts.
        ASSERT_TRUE(a.Resize(2));
        ASSERT_TRUE(a.Append(a[0]));
        ASSERT_TRUE(a.InsertBefore(0, a[2]));
        ASSERT_TRUE(a.InsertBefore(1, std::move(a[1])));
        EXPECT_EQ(Texts(a), (std::vector<std::string>{"b", "b", "", "d", "b"}));
    }
    EXPECT_EQ(capture.ErrorCount(), 0u);

    {
        Array<Tracked> t(4);
        for (int i = 0; i < 9; ++i)
            ASSERT_TRUE(t.InsertBefore(0, Tracked(i)));
        t.Remove(3);
        ASSERT_TRUE(t.SetCount(10));
        EXPECT_EQ(Values(t), (std::vector<int>{8, 7, 6, 4, 3, 2, 1, 0, 0, 0}));
        EXPECT_EQ(Tracked::sLive, 10);
        ASSERT_TRUE(t.SetCount(2));
        EXPECT_EQ(Tracked::sLive, 2) << "shrinking destroys the elements past the count";
        ASSERT_TRUE(t.Resize(2));
        EXPECT_EQ(t.capacity(), 2u);
        EXPECT_EQ(Values(t), (std::vector<int>{8, 7}));
    }
    EXPECT_EQ(Tracked::sLive, 0);
}

TEST(CXArrayTest, IteratorsWalkAndRemove)
{
    Array<int> a;
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(a.Append(i));
    for (Array<int>::Iterator it = a.begin(); it != a.end();) {
        if (*it % 2 == 0)
            a.Remove(it);
        else
            ++it;
    }
    std::vector<int> left;
    for (int v : a)
        left.push_back(v);
    EXPECT_EQ(left, (std::vector<int>{1, 3, 5}));

    CXDebugCapture capture;
    Array<int> other;
    ASSERT_TRUE(other.Append(7));
    a.Remove(other.begin());
    a.Remove(Array<int>::Iterator());
    EXPECT_EQ(capture.Count("Array::Remove> Iterator does not belong to this array"), 2u);
    EXPECT_EQ(a.count(), 3u);
    EXPECT_EQ(other.count(), 1u);

    Array<int>::Iterator null;
    EXPECT_EQ(*null, 0);
    Array<int>::ConstIterator constNull;
    EXPECT_EQ(*constNull, 0);
    EXPECT_EQ(capture.Count("CXArrayIterator> NULL iterator dereferenced"), 2u);
}

TEST(CXArrayTest, BadIndexReportsAndGivesAStandIn)
{
    Array<CXString> a;
    ASSERT_TRUE(a.Append(CXString("kept")));
    CXDebugCapture capture;
    a[1] = CXString("lost");
    EXPECT_TRUE(a[5].IsEmpty()) << "a write through an earlier stand-in is not read back";
    const Array<CXString>& constant = a;
    EXPECT_TRUE(constant[UINT64_MAX].IsEmpty());
    EXPECT_EQ(capture.Count("Array::operator[]> index '1' out of range."), 1u);
    EXPECT_EQ(capture.Count("Array::operator[]> index '5' out of range."), 1u);
    EXPECT_EQ(capture.Count("Array::operator[]> index '18446744073709551615' out of range."), 1u);
    EXPECT_EQ(a.count(), 1u);
    EXPECT_EQ(std::string(a[0].c_str()), "kept");
}

TEST(CXArrayTest, ResizeChecksAndFailures)
{
    Array<Tracked> a;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(a.Append(Tracked(i)));
    CXDebugCapture capture;
    EXPECT_FALSE(a.Resize(2));
    EXPECT_EQ(capture.Count("QUAL::Resize> _size < count."), 1u);
    EXPECT_EQ(a.capacity(), 128u);
    EXPECT_EQ(Values(a), (std::vector<int>{0, 1, 2}));

    {
        ScopedHeapFailure failure(1);
        EXPECT_FALSE(a.Resize(500));
        EXPECT_FALSE(a.SetCount(200));
        Array<Tracked> empty;
        EXPECT_FALSE(empty.Append(Tracked(1)));
        EXPECT_EQ(empty.count(), 0u);
    }
    EXPECT_EQ(capture.Count("new failed."), 3u);
    EXPECT_EQ(a.capacity(), 128u);
    EXPECT_EQ(Values(a), (std::vector<int>{0, 1, 2})) << "a failed growth changes nothing";
    EXPECT_EQ(Tracked::sLive, 3);

    ASSERT_TRUE(a.Resize(3));
    EXPECT_FALSE(a.Resize(UINT64_MAX / 2)) << "a byte size that overflows is a failed allocation";
    EXPECT_EQ(Values(a), (std::vector<int>{0, 1, 2}));
}

TEST(CXArrayTest, VeryLargeRequestIsReportedOncePerElementType)
{
    struct Byte {
        char c;
    };
    struct OtherByte {
        char c;
    };
    CXDebugCapture capture;
    Array<Byte> a;
    ASSERT_TRUE(a.Resize(1023999));
    EXPECT_EQ(capture.Count("Array> This is a very large request"), 0u);
    ASSERT_TRUE(a.Resize(1024000));
    EXPECT_EQ(capture.Count("Array> This is a very large request"), 1u);
    ASSERT_TRUE(a.Resize(0));
    EXPECT_EQ(a.capacity(), 0u);
    Array<Byte> b;
    ASSERT_TRUE(b.Resize(1100000));
    EXPECT_EQ(capture.Count("Array> This is a very large request"), 1u);
    Array<OtherByte> c;
    ASSERT_TRUE(c.Resize(1024000));
    EXPECT_EQ(capture.Count("Array> This is a very large request"), 2u);
}

TEST(CXArrayTest, SetCountOfPointers)
{
    int x = 0;
    Array<int*> a;
    ASSERT_TRUE(a.Append(&x));
    ASSERT_TRUE(a.SetCount(200));
    EXPECT_EQ(a.capacity(), 256u);
    EXPECT_EQ(a[0], &x);
    for (uint64_t i = 1; i < 200; ++i)
        ASSERT_EQ(a[i], nullptr) << i;
    ASSERT_TRUE(a.SetCount(256));
    EXPECT_EQ(a.capacity(), 256u);
    ASSERT_TRUE(a.SetCount(257));
    EXPECT_EQ(a.capacity(), 384u);
    ASSERT_TRUE(a.SetCount(1));
    EXPECT_EQ(a.capacity(), 384u) << "shrinking only lowers the count";
    EXPECT_EQ(a[0], &x);
}

TEST(CXArrayTest, UseAfterDestructionReportsOnEachOperation)
{
    // The storage outlives the array, so its tag can be read after the destructor ran. The
    // pointer goes through a volatile so the compiler cannot reason about the dead object.
    alignas(Array<CXString>) unsigned char storage[sizeof(Array<CXString>)];
    Array<CXString>* volatile hidden = new (storage) Array<CXString>();
    Array<CXString>* a = hidden;
    ASSERT_TRUE(a->Append(CXString("x")));
    a->~Array();

    CXDebugCapture capture;
    a = hidden;
    EXPECT_EQ(a->count(), 0u);
    ASSERT_TRUE(a->InsertBefore(0, CXString("y")));
    a->Remove(0);
    a->Remove(a->begin());
    ASSERT_TRUE(a->Resize(0));
    a->~Array();
    EXPECT_EQ(capture.Count("Array::InsertBefore> Not a valid array"), 1u);
    EXPECT_EQ(capture.Count("Array::Resize> Not a valid array"), 2u) << "the append's growth and Resize";
    EXPECT_EQ(capture.Count("Array::Remove> Not a valid array"), 2u);
    EXPECT_EQ(capture.Count("~Array> Not a valid array"), 1u);
}

} // namespace
