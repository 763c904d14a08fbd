#include "foundation/CXDebug.h"
#include "foundation/CXString.h"
#include "foundation/CXStringEdit.h"
#include "support/ScopedHeapFailure.h"

#include <atomic>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string Str(const CXString& s)
{
    return std::string(s.c_str(), s.length());
}

TEST(CXStringTest, PayloadBlockSizes)
{
    struct Case {
        size_t length;
        size_t block;
    };
    const Case cases[] = {{1, 32}, {2, 32}, {3, 32}, {4, 33}, {100, 129}};
    for (const Case& c : cases) {
        std::string text(c.length, 'q');
        ScopedHeapRecorder recorder;
        CXString s(text.c_str(), text.size());
        EXPECT_EQ(recorder.LastSize(), c.block) << "length " << c.length;
        EXPECT_EQ(s.length(), c.length);
        EXPECT_EQ(s.c_str()[c.length], 0);
    }
}

TEST(CXStringTest, EmptyStringsAreNull)
{
    CXString a;
    CXString b("");
    CXString c(static_cast<const char*>(nullptr));
    CXString d("xyz", 0);
    for (const CXString* s : {&a, &b, &c, &d}) {
        EXPECT_TRUE(s->IsEmpty());
        EXPECT_EQ(s->length(), 0u);
        EXPECT_STREQ(s->c_str(), "");
        EXPECT_EQ(s->GetPayloadAddress(), nullptr);
    }
}

TEST(CXStringTest, CopiesShareOnePayload)
{
    CXString a("shared text");
    CXString b(a);
    CXString c;
    c = b;
    EXPECT_EQ(a.GetPayloadAddress(), b.GetPayloadAddress());
    EXPECT_EQ(a.GetPayloadAddress(), c.GetPayloadAddress());
    EXPECT_EQ(a.GetReferenceCount(), 3u);
    CXString& alias = c;
    c = alias; // self-assignment keeps the count
    EXPECT_EQ(a.GetReferenceCount(), 3u);
    CXString moved(std::move(b));
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(a.GetReferenceCount(), 3u);
    c.Clear();
    EXPECT_EQ(a.GetReferenceCount(), 2u);
}

TEST(CXStringTest, Substrings)
{
    CXString s("hello");
    EXPECT_TRUE(s.Left(0).IsEmpty());
    EXPECT_TRUE(s.Left(-5).IsEmpty());
    EXPECT_EQ(s.Left(5).GetPayloadAddress(), s.GetPayloadAddress());
    EXPECT_EQ(s.Left(99).GetPayloadAddress(), s.GetPayloadAddress());
    EXPECT_EQ(Str(s.Left(2)), "he");
    EXPECT_EQ(Str(s.Right(3)), "llo");
    EXPECT_TRUE(s.Right(-1).IsEmpty());
    EXPECT_EQ(Str(s.SubstringAfter(-1)), "hello");
    EXPECT_EQ(Str(s.SubstringAfter(-7)), "hello");
    EXPECT_EQ(Str(s.SubstringAfter(1)), "llo");
    EXPECT_TRUE(s.SubstringAfter(4).IsEmpty());
    EXPECT_EQ(Str(s.Substring(1, 3)), "el");
    EXPECT_EQ(Str(s.Substring(1, 100)), "ello");
    EXPECT_EQ(s.Substring(0, 5).GetPayloadAddress(), s.GetPayloadAddress());
    EXPECT_TRUE(s.Substring(3, 3).IsEmpty());
    EXPECT_TRUE(s.Substring(static_cast<uint64_t>(-2), 3).IsEmpty());
}

TEST(CXStringTest, EraseRange)
{
    struct Case {
        const char* text;
        int64_t start;
        int64_t end;
        const char* expected;
    };
    const Case cases[] = {
        {"hello", 0, 5, ""},
        {"hello", -3, 15, ""},
        {"hello", 2, 100, "he"},
        {"hello", 1, 3, "hlo"},
        {"hello", 3, 3, "hello"},
        {"hello", 4, 2, "hello"},
        {"hello", 5, 9, "hello"},
        {"hello", -2, 1, "ello"},
    };
    for (const Case& c : cases) {
        CXString s(c.text);
        s.EraseRange(c.start, c.end);
        EXPECT_EQ(Str(s), c.expected) << c.text << " [" << c.start << "," << c.end << ")";
    }
}

TEST(CXStringTest, RangeConstructor)
{
    CXString text("key=value");
    CXStringArgument first(text);
    CXStringArgument second(text.c_str() + 4, 5);
    EXPECT_EQ(Str(CXString(first, second)), "key=");
    EXPECT_EQ(Str(CXString(first, CXStringArgument())), "key=value");
    EXPECT_TRUE(CXString(first, first).IsEmpty());

    CXDebugCapture capture;
    CXString other("elsewhere");
    EXPECT_TRUE(CXString(first, CXStringArgument(other)).IsEmpty());
    EXPECT_EQ(capture.Count("CXString> invalid CXStringArgument range #2"), 1u);
    EXPECT_TRUE(CXString(CXStringArgument(), second).IsEmpty());
    EXPECT_EQ(capture.Count("CXString> invalid CXStringArgument range #1"), 1u);
}

TEST(CXStringTest, EqualityAndIndex)
{
    CXString empty;
    CXString abc("abc");
    EXPECT_FALSE(abc == static_cast<const char*>(nullptr));
    EXPECT_TRUE(empty == static_cast<const char*>(nullptr));
    EXPECT_TRUE(empty == CXString(""));
    EXPECT_TRUE(abc == "abc");
    EXPECT_TRUE(abc != "abd");
    EXPECT_TRUE(abc == CXString("abc"));

    CXDebugCapture capture;
    EXPECT_EQ(abc[3], 0);
    EXPECT_EQ(abc[static_cast<uint64_t>(3)], 0);
    EXPECT_TRUE(capture.Lines().empty());
    EXPECT_EQ(abc[1], 'b');
    (void)abc[4];
    (void)abc[static_cast<uint64_t>(4)];
    EXPECT_EQ(capture.Count("CXString::operator[](4)> out of range (len=3)"), 2u);
}

TEST(CXStringTest, EmbeddedNulsTakePartInOrderAndEquality)
{
    CXString a("k\0a", 3);
    CXString b("k\0b", 3);
    CXString k("k");
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a < b);
    EXPECT_FALSE(b < a);
    EXPECT_TRUE(k < a) << "a prefix orders first";
    // Keys that differ only after a NUL stay apart in a map.
    std::map<CXString, int> map;
    map[a] = 1;
    map[b] = 2;
    map[k] = 3;
    EXPECT_EQ(map.size(), 3u);
    EXPECT_EQ(map[a], 1);

    // Texts without NULs keep their unsigned byte order.
    EXPECT_TRUE(CXString("abc") < CXString("abd"));
    EXPECT_TRUE(CXString("ab") < CXString("abc"));
    EXPECT_TRUE(CXString("z") < CXString("\xC3\xA9"));
    EXPECT_FALSE(CXString("abc") < CXString("abc"));
    EXPECT_TRUE(CXString() < CXString("a"));
}

TEST(CXStringTest, FormattingAndConversion)
{
    CXString s;
    s.SetInt(-42);
    EXPECT_EQ(Str(s), "-42");
    s.SetInt64(-9000000000LL);
    EXPECT_EQ(Str(s), "-9000000000");
    EXPECT_EQ(Str(CXString::FromFormat("%s-%03d", "x", 7)), "x-007");
    EXPECT_TRUE(CXString::FromFormat("%s", "").IsEmpty());
    std::string big(10000, 'z');
    EXPECT_EQ(Str(CXString::FromFormat("%s!", big.c_str())), big + "!");

    const unsigned char bytes[] = {0x00, 0xAB, 0x7F};
    EXPECT_EQ(Str(CXString::BytesToHex(bytes, 2)), "00ab");
    EXPECT_EQ(Str(CXString::BytesToHex(bytes, 3)), "00ab7f");
    EXPECT_TRUE(CXString::BytesToHex(bytes, 0).IsEmpty());

    EXPECT_EQ(Str(CXString::AppendEllipsis("Uninstalling")), "Uninstalling\xE2\x80\xA6");
    EXPECT_EQ(Str(CXString("ab") + CXString("cd")), "abcd");
    EXPECT_TRUE((CXStringArgument() + CXStringArgument()).IsEmpty());

    CXString mixed("Caf\xC3\xA9 zZ");
    CXString original(mixed);
    mixed.MakeUpper();
    EXPECT_EQ(Str(mixed), "CAF\xC3\xA9 ZZ");
    mixed.MakeLower();
    EXPECT_EQ(Str(mixed), "caf\xC3\xA9 zz");
    EXPECT_EQ(Str(original), "Caf\xC3\xA9 zZ") << "the change builds a new payload";
}

TEST(CXStringTest, ArgumentViews)
{
    CXString s("abcdef");
    CXStringArgument view(s);
    CXDebugCapture capture;
    EXPECT_EQ(view[static_cast<size_t>(6)], 0);
    EXPECT_TRUE(capture.Lines().empty());
    EXPECT_EQ(view[static_cast<size_t>(7)], 0);
    EXPECT_EQ(capture.Count("CXStringArgument::operator[]> pos 7 overflows length 6"), 1u);
    view += 2;
    EXPECT_EQ(std::string(view.data(), view.length()), "cdef");
    view += -1;
    EXPECT_EQ(capture.Count("CXStringArgument::operator+= > probable negative input?"), 1u);
    EXPECT_TRUE(view.IsEmpty());
    CXStringArgument rest(s);
    rest += 6;
    EXPECT_TRUE(rest.IsEmpty());
    EXPECT_STREQ(rest.data(), "");
}

TEST(CXStringTest, FailedAllocationGivesTheEmptyString)
{
    CXDebugCapture capture;
    ScopedHeapFailure failure(1);
    CXString s("anything");
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(capture.ErrorCount(), 1u);
}

// One thread keeps reassigning shared handles while others copy them: every copy must see a whole,
// live payload and every count must come back to where it started.
TEST(CXStringTest, ConcurrentCopyAndAssign)
{
    const CXString values[] = {CXString("alpha"), CXString("beta-beta"), CXString("gamma-gamma-gamma")};
    CXString shared[4] = {values[0], values[1], values[2], values[0]};
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};

    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20000; ++i)
                shared[(i + t) % 4] = values[(i * 7 + t) % 3];
        });
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&, t] {
            while (!stop.load()) {
                for (int k = 0; k < 4; ++k) {
                    CXString copy(shared[(k + t) % 4]);
                    if (!(copy == values[0] || copy == values[1] || copy == values[2]))
                        bad.fetch_add(1);
                }
            }
        });
    threads[0].join();
    threads[1].join();
    stop = true;
    for (size_t i = 2; i < threads.size(); ++i)
        threads[i].join();

    EXPECT_EQ(bad.load(), 0);
    uint64_t total = 0;
    for (const CXString& v : values)
        total += v.GetReferenceCount();
    EXPECT_EQ(total, 3u + 4u) << "one reference per value and one per shared slot";
}

} // namespace
