#include "foundation/CXDebug.h"
#include "foundation/CXStringEdit.h"
#include "support/ScopedHeapFailure.h"

#include <gtest/gtest.h>
#include <string>

namespace {

std::string Str(const CXStringEditBase& e)
{
    return std::string(e.data(), e.length());
}

TEST(CXStringEditTest, GrowthDoublesInWholeBlocks)
{
    CXStringEdit e;
    EXPECT_EQ(e.capacity(), 512u);
    std::string a(600, 'a');
    ASSERT_TRUE(e.Append(a.data(), a.size()));
    EXPECT_EQ(e.capacity(), 4096u);
    std::string b(5000, 'b');
    ASSERT_TRUE(e.Append(b.data(), b.size()));
    EXPECT_EQ(e.capacity(), 8192u);
    EXPECT_EQ(Str(e), a + b);

    CXStringEdit exact;
    ASSERT_TRUE(exact.Upsize(500, 11));
    EXPECT_EQ(exact.capacity(), 512u);
    ASSERT_TRUE(exact.Upsize(500, 12)) << "need equal to the capacity grows";
    EXPECT_EQ(exact.capacity(), 4096u);

    CXStringEditT<5> small;
    for (char c : std::string("abcd"))
        ASSERT_TRUE(small.AppendCharacter(c));
    EXPECT_EQ(small.capacity(), 5u);
    ASSERT_TRUE(small.AppendCharacter('e')) << "a full inline buffer grows before the byte goes in";
    EXPECT_EQ(small.capacity(), 4096u);
    EXPECT_EQ(Str(small), "abcde");
    EXPECT_STREQ(small.c_str(), "abcde");
}

TEST(CXStringEditTest, FailedGrowthKeepsTheText)
{
    CXStringEdit e;
    ASSERT_TRUE(e.Append("kept", 4));
    std::string big(1000, 'x');
    CXDebugCapture capture;
    {
        ScopedHeapFailure failure(4096);
        EXPECT_FALSE(e.Append(big.data(), big.size()));
        EXPECT_FALSE(e.AppendFormat("%s", big.c_str()));
    }
    EXPECT_EQ(Str(e), "kept");
    EXPECT_EQ(capture.Count("CXStringEdit::Upsize> failed to allocate new buffer"), 2u);
    EXPECT_TRUE(e.Append(big.data(), big.size())) << "growth works again once memory is back";
    EXPECT_EQ(e.length(), 1004u);
}

TEST(CXStringEditTest, FormattingEdges)
{
    CXStringEdit e;
    std::string big(10000, 'q');
    ASSERT_TRUE(e.Format("%s", big.c_str()));
    EXPECT_EQ(Str(e), big);
    ASSERT_TRUE(e.Format("%d-%s", 5, "x"));
    EXPECT_EQ(Str(e), "5-x");
    ASSERT_TRUE(e.AppendFormat("%c%c", 'a', 0));
    EXPECT_EQ(e.length(), 5u) << "an embedded NUL is part of the text";
    ASSERT_TRUE(e.Format("%s", ""));
    EXPECT_TRUE(e.IsEmpty());
}

TEST(CXStringEditTest, EncodingErrorFailsInsteadOfGrowingForever)
{
    // A wide character that has no form in the C locale makes vsnprintf fail whatever the room.
    CXStringEdit e;
    ASSERT_TRUE(e.Append("ok", 2));
    const wchar_t bad[] = {0xD800, 0};
    EXPECT_FALSE(e.AppendFormat("%ls", bad));
    EXPECT_EQ(Str(e), "ok");
    EXPECT_LE(e.capacity(), 512u);
}

TEST(CXStringEditTest, CopyAndMove)
{
    CXStringEdit a;
    std::string big(5000, 'm');
    ASSERT_TRUE(a.Append(big.data(), big.size()));
    CXStringEdit b(a);
    EXPECT_EQ(Str(b), big);
    const char* heap = a.data();
    CXStringEdit c(std::move(a));
    EXPECT_EQ(c.data(), heap) << "a heap buffer is taken over";
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(a.capacity(), 512u);
    CXStringEdit small;
    ASSERT_TRUE(small.Append("tiny", 4));
    CXStringEdit d(std::move(small));
    EXPECT_EQ(Str(d), "tiny");
    CXStringEdit& alias = d;
    d = alias;
    EXPECT_EQ(Str(d), "tiny");
    d = CXString("from string");
    EXPECT_EQ(Str(d), "from string");
    EXPECT_EQ(CXString(d), "from string");
}

TEST(CXStringEditTest, EraseSubstringAndSetLength)
{
    CXStringEdit e(CXString("abcdef"));
    e.Erase(1, 2);
    EXPECT_EQ(Str(e), "adef");
    e.Erase(2, 100);
    EXPECT_EQ(Str(e), "ad");
    e.Erase(5, 1);
    EXPECT_EQ(Str(e), "ad");
    e.SetLength(4);
    EXPECT_EQ(e.length(), 4u);
    EXPECT_EQ(e.data()[2], 0);
    EXPECT_EQ(e.data()[3], 0);

    CXStringEdit s(CXString("hello"));
    EXPECT_EQ(Str(s.Substring(-3, 2)), "he");
    EXPECT_EQ(Str(s.Substring(1, 50)), "ello");
    EXPECT_TRUE(s.Substring(3, 3).IsEmpty());
    EXPECT_TRUE(s.Substring(2, -1).IsEmpty());
}

TEST(CXStringEditTest, Replace)
{
    struct Case {
        const char* text;
        size_t pos;
        size_t count;
        const char* with;
        const char* expected;
    };
    const Case cases[] = {
        {"hello world", 0, 5, "HELLO", "HELLO world"},
        {"hello world", 0, 5, "hi", "hi world"},
        {"hello world", 6, 5, "everyone", "hello everyone"},
        {"hello", 5, 0, "!", "hello!"},
        {"hello", 2, 100, "", "he"},
    };
    for (const Case& c : cases) {
        CXStringEdit e(CXString(c.text));
        e.Replace(c.pos, c.count, c.with);
        EXPECT_EQ(Str(e), c.expected) << c.text;
    }

    CXStringEdit e(CXString("abc"));
    CXDebugCapture capture;
    e.Replace(4, 1, "x");
    EXPECT_EQ(capture.Count("CXStringEdit::Replace> target area is out of string bounds"), 1u);
    e.Replace(0, 1, CXStringArgument(e.data() + 1, 1));
    EXPECT_EQ(capture.Count("CXStringEdit::Replace> source area is inside string buffer"), 1u);
    EXPECT_EQ(Str(e), "abc");
}

TEST(CXStringEditTest, ReplaceAll)
{
    struct Case {
        const char* text;
        const char* search;
        const char* with;
        const char* expected;
    };
    const Case cases[] = {
        {"aaa", "a", "aa", "aaaaaa"},
        {"a-b-c", "-", "", "abc"},
        {"abc", "x", "y", "abc"},
        {"abc", "", "y", "abc"},
        {"%1 and %1", "%1", "value", "value and value"},
    };
    for (const Case& c : cases) {
        CXStringEdit e(CXString(c.text));
        e.ReplaceAll(c.search, c.with);
        EXPECT_EQ(Str(e), c.expected) << c.text;
    }
}

TEST(CXStringEditTest, TrimAndCase)
{
    CXStringEdit e(CXString("x \t\r\n"));
    e.TrimRight();
    EXPECT_EQ(Str(e), "x");
    CXStringEdit f(CXString("\x01 y"));
    f.TrimLeft();
    EXPECT_EQ(Str(f), "\x01 y");
    CXStringEdit g(CXString(" \n\tz "));
    g.TrimLeft();
    EXPECT_EQ(Str(g), "z ");
    CXStringEdit h(CXString("Mixed \xC3\x89t\xC3\xA9"));
    h.MakeUpper();
    EXPECT_EQ(Str(h), "MIXED \xC3\x89T\xC3\xA9");
    h.MakeLower();
    EXPECT_EQ(Str(h), "mixed \xC3\x89t\xC3\xA9");
}

TEST(CXStringEditTest, MapCharacters)
{
    auto upperAscii = [](uint32_t c) { return c >= 'a' && c <= 'z' ? c - 32 : c; };
    CXStringEdit e(CXString("ab\xC3\xA9\xFF" "c"));
    e.MapCharacters(upperAscii);
    EXPECT_EQ(Str(e), "AB\xC3\xA9\xFF" "C") << "multi-byte and undecodable bytes stay";

    // A mapping that changes a character's length continues in a new buffer.
    auto widen = [](uint32_t c) -> uint32_t { return c == 'e' ? 0x20AC : (c == 'x' ? 0x110000 : c); };
    CXStringEdit f(CXString("ae\xFFxz"));
    f.MapCharacters(widen);
    EXPECT_EQ(Str(f), "a\xE2\x82\xAC\xFFz");
}

TEST(CXStringEditTest, IndexAndCount)
{
    CXStringEdit e(CXString("h\xC3\xA9llo\xFF"));
    EXPECT_EQ(e.CountUTF8Characters(), 6u);
    EXPECT_EQ(e[static_cast<size_t>(0)], 'h');
    CXDebugCapture capture;
    (void)e[static_cast<size_t>(7)];
    EXPECT_TRUE(capture.Lines().empty());
    (void)e[static_cast<size_t>(8)];
    (void)e[-1];
    EXPECT_EQ(capture.Count("CXStringEdit::operator[] > index out of range: 8"), 1u);
    EXPECT_EQ(capture.Count("CXStringEdit::operator[] > index out of range: -1"), 1u);
    EXPECT_TRUE(e == CXStringArgument("h\xC3\xA9llo\xFF"));
    EXPECT_FALSE(e == CXStringArgument("h"));
}

TEST(CXStringEditTest, UTF8EncodeAndDecode)
{
    struct Encode {
        uint32_t codePoint;
        const char* bytes;
    };
    const Encode encodes[] = {
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
        {0x200000, "\xF8\x88\x80\x80\x80"},
        {0x7FFFFFFF, "\xFD\xBF\xBF\xBF\xBF\xBF"},
    };
    for (const Encode& c : encodes) {
        CXStringEdit e;
        ASSERT_TRUE(e.AppendUTF8Character(c.codePoint));
        EXPECT_EQ(Str(e), c.bytes) << std::hex << c.codePoint;
    }
    CXStringEdit none;
    EXPECT_FALSE(none.AppendUTF8Character(0x80000000u));
    EXPECT_TRUE(none.IsEmpty());

    struct Decode {
        const char* bytes;
        size_t length;
        bool ok;
        uint32_t codePoint;
        size_t count;
    };
    const Decode decodes[] = {
        {"A", 1, true, 'A', 1},
        {"\xC3\xA9", 2, true, 0xE9, 2},
        {"\xF4\x8F\xBF\xBF", 4, true, 0x10FFFF, 4},
        {"\xE0\xA0\x80", 3, true, 0x800, 3},
        {"\xED\xA0\x80", 3, false, '?', 0},     // a surrogate
        {"\xC0\x80", 2, false, '?', 0},         // bad lead byte
        {"\xE0\x80\xAF", 3, false, '?', 0},     // overlong '/'
        {"\xE0\x80\x80", 3, false, '?', 0},     // overlong NUL
        {"\xF0\x8F\xBF\xBF", 4, false, '?', 0}, // overlong U+FFFF
        {"\xF4\x90\x80\x80", 4, false, '?', 0}, // above U+10FFFF
        {"\xC3", 1, false, '?', 0},             // short
        {"\xC3\x41", 2, false, '?', 0},         // bad continuation
        {"", 0, false, '?', 0},
    };
    for (const Decode& c : decodes) {
        uint32_t cp = 0;
        size_t count = 99;
        EXPECT_EQ(CXStringArgument(c.bytes, c.length).DecodeUTF8Character(cp, count), c.ok) << c.bytes;
        EXPECT_EQ(cp, c.codePoint);
        EXPECT_EQ(count, c.count);
    }
    EXPECT_EQ(UTF8CharacterLength(nullptr), 0u);
    EXPECT_EQ(UTF8CharacterLength(""), 0u);
    EXPECT_EQ(UTF8CharacterLength("\xE2\x82\xAC"), 3u);
    EXPECT_EQ(UTF8CharacterLength("\xE2\x82"), 1u);
}

TEST(CXStringEditTest, StringPos)
{
    CXStringArgument text("abcabc");
    EXPECT_EQ(StringPos(text, "bc", 0), 1);
    EXPECT_EQ(StringPos(text, "bc", 2), 4);
    EXPECT_EQ(StringPos(text, "bcd", 0), -1);
    EXPECT_EQ(StringPos(text, 'c', 3), 5);
    EXPECT_EQ(StringPos(CXStringArgument("ab\0cd", 5), "cd", 0), -1) << "a NUL ends the search";
    CXDebugCapture capture;
    EXPECT_EQ(StringPos(text, "a", 7), -1);
    EXPECT_EQ(capture.Count("StringPos> invalid startIndex=7"), 1u);
}

} // namespace
