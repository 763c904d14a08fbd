#include "foundation/CXDebug.h"
#include "foundation/CXTextEncoding.h"
#include "support/ScopedHeapFailure.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Units = std::vector<char16_t>;

Units HolderUnits(const CXString& holder)
{
    const char16_t* units = UTF16Units(holder);
    return Units(units, units + UTF16UnitCount(holder));
}

std::string Str(const CXString& s)
{
    return std::string(s.c_str(), s.length());
}

// A holder is the units, then one zero byte, so that the payload's NUL completes a zero unit.
void ExpectWellFormedHolder(const CXString& holder, const Units& expected)
{
    ASSERT_EQ(holder.length(), expected.size() * 2 + 1);
    EXPECT_EQ(holder.c_str()[holder.length() - 1], 0);
    EXPECT_EQ(HolderUnits(holder), expected);
    EXPECT_EQ(UTF16Units(holder)[expected.size()], 0);
}

TEST(CXTextEncodingTest, EncodeUTF16Boundaries)
{
    struct Case {
        uint32_t codePoint;
        size_t room;
        Units expected;
    };
    const Case cases[] = {
        {0x41, 2, {0x41}},
        {0xD7FF, 1, {0xD7FF}},
        {0xD800, 2, {}},
        {0xDFFF, 2, {}},
        {0xE000, 1, {0xE000}},
        {0xFFFF, 1, {0xFFFF}},
        {0x10000, 2, {0xD800, 0xDC00}},
        {0x10000, 1, {}},
        {0x10FFFF, 2, {0xDBFF, 0xDFFF}},
        {0x110000, 2, {}},
        {0x41, 0, {}},
    };
    for (const Case& c : cases) {
        char16_t out[2] = {0x7777, 0x7777};
        size_t written = EncodeUTF16(out, c.room, c.codePoint);
        EXPECT_EQ(Units(out, out + written), c.expected) << std::hex << c.codePoint << " room " << c.room;
    }
    EXPECT_EQ(EncodeUTF16(nullptr, 2, 0x41), 0u);
}

TEST(CXTextEncodingTest, DecodeUTF16PairsOnlyWithALowSurrogate)
{
    struct Case {
        Units units;
        bool ok;
        uint32_t codePoint;
        size_t count;
    };
    const Case cases[] = {
        {{0x41, 0x42}, true, 0x41, 1},
        {{0xFFFF}, true, 0xFFFF, 1},
        {{0xD800, 0xDC00}, true, 0x10000, 2},
        {{0xDBFF, 0xDFFF}, true, 0x10FFFF, 2},
        {{0xD83D, 0xDE00, 0x41}, true, 0x1F600, 2},
        {{0xDC00, 0x41}, false, '?', 0},
        {{0xD800}, false, '?', 0},
        {{0xD800, 0x41}, false, '?', 0},
        {{0xD800, 0xD800}, false, '?', 0},
        {{}, false, '?', 0},
    };
    for (const Case& c : cases) {
        uint32_t codePoint = 1;
        size_t count = 9;
        EXPECT_EQ(DecodeUTF16(c.units.data(), c.units.size(), codePoint, count), c.ok) << testing::PrintToString(c.units);
        EXPECT_EQ(codePoint, c.codePoint) << testing::PrintToString(c.units);
        EXPECT_EQ(count, c.count) << testing::PrintToString(c.units);
    }
}

TEST(CXTextEncodingTest, UTF16ToUTF8JoinsCheckedPairsAndCollapsesInvalidRuns)
{
    struct Case {
        Units units;
        std::string expected;
    };
    const Case cases[] = {
        {{0x41, 0xE9, 0x20AC}, "A\xC3\xA9\xE2\x82\xAC"},
        {{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
        {{0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},
        {{0xD800, 0xD800, 0x41}, "?A"},
        {{0xDC00, 0xDC00, 0x41}, "?A"},
        {{0xD800, 0x41, 0xDC00, 0x42}, "?A?B"},
        {{0x41, 0xD800}, "A?"},
        {{0xDC00, 0xD800, 0xDC00}, "?\xF0\x90\x80\x80"},
        {{0x7FF, 0x800}, "\xDF\xBF\xE0\xA0\x80"},
    };
    for (const Case& c : cases) {
        CXString holder = CXString::FromUTF16(c.units.data(), c.units.size());
        EXPECT_EQ(Str(ConvertUTF16ToUTF8(holder)), c.expected) << testing::PrintToString(c.units);
    }
    EXPECT_TRUE(ConvertUTF16ToUTF8(CXString()).IsEmpty());
    EXPECT_TRUE(ConvertUTF16ToUTF8(CXString::FromUTF16(nullptr, 0)).IsEmpty());
}

TEST(CXTextEncodingTest, UTF8ToUTF16ReplacesEachUndecodableByte)
{
    struct Case {
        std::string bytes;
        Units expected;
    };
    const Case cases[] = {
        {"", {}},
        {"A\xC3\xA9", {0x41, 0xE9}},
        {"\xEF\xBF\xBF", {0xFFFF}},
        {"\xF0\x90\x80\x80", {0xD800, 0xDC00}},
        {"\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
        {"\xF4\x90\x80\x80", {'?', '?', '?', '?'}},
        {"\xED\xA0\x80", {'?', '?', '?'}},
        {"\xC0\x80", {'?', '?'}},
        {"\xE0\x80\x80", {'?', '?', '?'}},
        {"\xE2\x82", {'?', '?'}},
        {"a\xFF" "b", {'a', '?', 'b'}},
        {std::string("a\0b", 3), {'a', 0, 'b'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        ExpectWellFormedHolder(ConvertUTF8ToUTF16(c.bytes.data(), c.bytes.size()), c.expected);
        std::vector<char16_t> out(c.bytes.size() + 1, 0x7777);
        size_t written = ConvertUTF8ToUTF16Units(out.data(), out.size(), c.bytes.data(), c.bytes.size());
        EXPECT_EQ(Units(out.data(), out.data() + written), c.expected);
    }
    ExpectWellFormedHolder(ConvertUTF8CStringToUTF16("h\xC3\xA9"), {'h', 0xE9});
    ExpectWellFormedHolder(ConvertUTF8CStringToUTF16(nullptr), {});
}

TEST(CXTextEncodingTest, UTF8ToUTF16UnitsStopsWritingWhenFull)
{
    const std::string text = "a\xF0\x9F\x98\x80" "b";
    struct Case {
        size_t room;
        Units expected;
    };
    const Case cases[] = {
        {0, {}},
        {1, {'a'}},
        {2, {'a', '?'}},
        {3, {'a', 0xD83D, 0xDE00}},
        {8, {'a', 0xD83D, 0xDE00, 'b'}},
    };
    for (const Case& c : cases) {
        char16_t out[8] = {};
        size_t written = ConvertUTF8ToUTF16Units(out, c.room, text.data(), text.size());
        EXPECT_EQ(Units(out, out + written), c.expected) << "room " << c.room;
        EXPECT_EQ(out[written], 0) << "nothing written past the reported count";
    }
}

TEST(CXTextEncodingTest, HoldersFromUnits)
{
    ExpectWellFormedHolder(CXString::FromUTF16(nullptr, 5), {});
    ExpectWellFormedHolder(CXString::FromUTF16(u"xyz", 0), {});
    ExpectWellFormedHolder(CXString::FromUTF16(u"xyz", 2), {'x', 'y'});
    ExpectWellFormedHolder(CXString::FromUTF16CString(u"wide\u00E9"), {'w', 'i', 'd', 'e', 0xE9});
    ExpectWellFormedHolder(CXString::FromUTF16CString(nullptr), {});
    EXPECT_EQ(UTF16Units(CXString())[0], 0) << "the null handle reads as the empty wide string";
    EXPECT_EQ(UTF16UnitCount(CXString()), 0u);
}

TEST(CXTextEncodingTest, AppendUTF16CharacterDropsUnencodableValues)
{
    CXString holder;
    for (uint32_t codePoint : {0x41u, 0xD800u, 0x10000u, 0xDFFFu, 0x110000u, 0xFFFFu})
        AppendUTF16Character(holder, codePoint);
    ExpectWellFormedHolder(holder, {0x41, 0xD800, 0xDC00, 0xFFFF});

    CXString before = holder;
    {
        CXDebugCapture capture;
        ScopedHeapFailure failure(0);
        AppendUTF16Character(holder, 0x42);
        EXPECT_TRUE(capture.Contains("CXString> failed to allocate"));
    }
    EXPECT_EQ(holder.GetPayloadAddress(), before.GetPayloadAddress()) << "no memory leaves the holder as it was";
}

TEST(CXTextEncodingTest, AppendUTF16CStringStopsAtTheFirstInvalidUnit)
{
    struct Case {
        Units units; // zero-terminated
        Units appended;
        char16_t stop;
    };
    const Case cases[] = {
        {{'a', 'b', 0}, {'a', 'b'}, 0},
        {{0xD83D, 0xDE00, 'c', 0}, {0xD83D, 0xDE00, 'c'}, 0},
        {{'a', 0xDC00, 'c', 0}, {'a'}, 0xDC00},
        {{'a', 0xD800, 'c', 0}, {'a'}, 0xD800},
        {{'a', 0xD800, 0}, {'a'}, 0xD800},
        {{0xD800, 0xD800, 0xDC00, 0}, {}, 0xD800},
        {{0}, {}, 0},
    };
    for (const Case& c : cases) {
        CXString holder = CXString::FromUTF16(u"x", 1);
        EXPECT_EQ(AppendUTF16CString(holder, c.units.data()), c.stop) << testing::PrintToString(c.units);
        Units expected = {'x'};
        expected.insert(expected.end(), c.appended.begin(), c.appended.end());
        SCOPED_TRACE(testing::PrintToString(c.units));
        ExpectWellFormedHolder(holder, expected);
    }
    CXString empty;
    EXPECT_EQ(AppendUTF16CString(empty, nullptr), 0);
    EXPECT_TRUE(empty.IsEmpty());
}

} // namespace
