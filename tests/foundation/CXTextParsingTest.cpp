#include "foundation/CXTextParsing.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string Str(const CXString& s)
{
    return std::string(s.c_str(), s.length());
}

CXStringArgument View(const std::string& s)
{
    return CXStringArgument(s.data(), s.size());
}

TEST(CXTextParsingTest, IntegerAndCanonicalDecimalChecks)
{
    struct Case {
        std::string text;
        bool integer;
        bool integerWithZero;
        bool canonical;
    };
    const Case cases[] = {
        {"7", true, true, true},
        {"10", true, true, true},
        {"-42", true, true, true},
        {"-3.25", false, false, true},
        {"1.05", false, false, true},
        {"0", false, true, false},
        {"-0", false, true, false},
        {"01", false, true, false},
        {"0.5", false, false, false},
        {"-0.5", false, false, false},
        {"1.", false, false, false},
        {"1.50", false, false, false},
        {"1.2.3", false, false, false},
        {".5", false, false, false},
        {"-", false, false, false},
        {"", false, false, false},
        {"1e5", false, false, false},
        {"+1", false, false, false},
        {" 1", false, false, false},
        {std::string("1\0", 2), false, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(View(c.text).IsInteger(false), c.integer) << testing::PrintToString(c.text);
        EXPECT_EQ(View(c.text).IsInteger(true), c.integerWithZero) << testing::PrintToString(c.text);
        EXPECT_EQ(View(c.text).IsCanonicalDecimal(), c.canonical) << testing::PrintToString(c.text);
    }
}

TEST(CXTextParsingTest, ViewToNumberGivesTheDefaultForAnythingButANumber)
{
    struct Case {
        std::string text;
        int32_t int32;
        int64_t int64; // -7 is the default given
        uint64_t uint64; // 7 is the default given
    };
    const Case cases[] = {
        {"0", 0, 0, 0},
        {"123", 123, 123, 123},
        {"-123", -123, -123, 7},
        {"2147483647", INT32_MAX, 2147483647, 2147483647},
        {"-2147483648", INT32_MIN, -2147483648LL, 7},
        {"2147483648", 0, 2147483648LL, 2147483648ULL},
        {"-2147483649", 0, -2147483649LL, 7},
        {"9223372036854775807", 0, INT64_MAX, 9223372036854775807ULL},
        {"-9223372036854775808", 0, INT64_MIN, 7},
        {"9223372036854775808", 0, -7, 9223372036854775808ULL},
        {"18446744073709551615", 0, -7, UINT64_MAX},
        {"18446744073709551616", 0, -7, 7},
        {"99999999999999999999999", 0, -7, 7},
        {"", 0, -7, 7},
        {"-", 0, -7, 7},
        {"12x", 0, -7, 7},
        {" 12", 0, -7, 7},
        {"+12", 0, -7, 7},
        {std::string("12\0x", 4), 12, 12, 12},
        {std::string("\0" "12", 3), 0, -7, 7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(View(c.text).ToInt32(), c.int32) << testing::PrintToString(c.text);
        EXPECT_EQ(View(c.text).ToInt64(-7), c.int64) << testing::PrintToString(c.text);
        EXPECT_EQ(View(c.text).ToUInt64(7), c.uint64) << testing::PrintToString(c.text);
    }
}

TEST(CXTextParsingTest, ParseIntMovesTheCursorOnlyOnSuccess)
{
    struct Case {
        const char* text;
        bool ok32;
        int32_t value32;
        bool ok64;
        int64_t value64;
        size_t consumed; // on success
    };
    const Case cases[] = {
        {"42 rest", true, 42, true, 42, 2},
        {"-17,", true, -17, true, -17, 3},
        {"007", true, 7, true, 7, 3},
        {"2147483647", true, INT32_MAX, true, INT32_MAX, 10},
        {"-2147483648x", true, INT32_MIN, true, INT32_MIN, 11},
        {"2147483648", false, 0, true, 2147483648LL, 10},
        {"-9223372036854775808", false, 0, true, INT64_MIN, 20},
        {"9223372036854775808", false, 0, false, 0, 0},
        {"-", false, 0, false, 0, 0},
        {"x1", false, 0, false, 0, 0},
        {"", false, 0, false, 0, 0},
    };
    for (const Case& c : cases) {
        const char* cursor32 = c.text;
        int32_t value32 = 99;
        EXPECT_EQ(ParseInt32(cursor32, value32), c.ok32) << c.text;
        EXPECT_EQ(value32, c.ok32 ? c.value32 : 99) << c.text;
        EXPECT_EQ(cursor32, c.text + (c.ok32 ? c.consumed : 0)) << c.text;

        const char* cursor64 = c.text;
        int64_t value64 = 99;
        EXPECT_EQ(ParseInt64(cursor64, value64), c.ok64) << c.text;
        EXPECT_EQ(value64, c.ok64 ? c.value64 : 99) << c.text;
        EXPECT_EQ(cursor64, c.text + (c.ok64 ? c.consumed : 0)) << c.text;
    }
    const char* null = nullptr;
    int32_t out = 5;
    EXPECT_FALSE(ParseInt32(null, out));
}

TEST(CXTextParsingTest, FourCCToString)
{
    struct Case {
        uint32_t code;
        const char* expected;
    };
    const Case cases[] = {
        {0x52494646, "RIFF"},
        {0x73747220, "str "},
        {0x2020201F, "<<538976287>>"},
        {0x20202020, "    "},
        {5, "<<5>>"},
        {0, "<<0>>"},
        {0x41FF0A7F, "A..."},
        {0x80414243, ".ABC"},
        {0xFFFFFFFF, "...."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Str(FourCCToString(c.code)), c.expected) << std::hex << c.code;
}

TEST(CXTextParsingTest, ConvertLineEndings)
{
    struct Case {
        std::string text;
        std::string lineBreak;
        std::string expected;
    };
    const Case cases[] = {
        {"a\r\nb\nc\rd", "\n", "a\nb\nc\nd"},
        {"a\nb", "\r\n", "a\r\nb"},
        {"a\n\rb", "|", "a|b"},
        {"a\n\nb", "|", "a||b"},
        {"a\r\r\nb", "|", "a||b"},
        {"a\r\n\r\nb", "\r\n", "a\r\n\r\nb"},
        {"\r\n", "", ""},
        {"x\ny\n", "", "xy"},
        {std::string("a\0\nb", 4), "|", std::string("a\0|b", 4)},
        {"", "\n", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Str(ConvertLineEndings(View(c.text), View(c.lineBreak))), c.expected) << testing::PrintToString(c.text);
}

TEST(CXTextParsingTest, Split)
{
    struct Case {
        std::string text;
        uint32_t separator;
        std::vector<std::string> parts;
    };
    const Case cases[] = {
        {"a,,b", ',', {"a", "", "b"}},
        {"a,", ',', {"a"}},
        {",a", ',', {"", "a"}},
        {",", ',', {""}},
        {"", ',', {}},
        {"abc", ',', {"abc"}},
        {"x\xC3\xA9y\xC3\xA9", 0xE9, {"x", "y"}},
        {"a,b", 0x110000, {"a,b"}},
    };
    for (const Case& c : cases) {
        std::vector<CXString> parts{CXString("kept")};
        View(c.text).Split(c.separator, parts);
        std::vector<std::string> actual;
        for (size_t i = 1; i < parts.size(); ++i)
            actual.push_back(Str(parts[i]));
        EXPECT_EQ(Str(parts[0]), "kept") << "parts are appended";
        EXPECT_EQ(actual, c.parts) << testing::PrintToString(c.text);
    }
}

TEST(CXTextParsingTest, SplitAtCharacter)
{
    CXString before("old");
    CXString after("old");
    EXPECT_TRUE(SplitAtCharacter("key=value=x", '=', before, after));
    EXPECT_EQ(Str(before), "key");
    EXPECT_EQ(Str(after), "value=x");

    EXPECT_FALSE(SplitAtCharacter("novalue", '=', before, after));
    EXPECT_EQ(Str(before), "novalue");
    EXPECT_TRUE(after.IsEmpty());

    EXPECT_TRUE(SplitAtCharacter("=", '=', before, after));
    EXPECT_TRUE(before.IsEmpty());
    EXPECT_TRUE(after.IsEmpty());

    // The text may be one of the outputs.
    CXString text("left\xE2\x82\xACright");
    EXPECT_TRUE(SplitAtCharacter(text, 0x20AC, text, after));
    EXPECT_EQ(Str(text), "left");
    EXPECT_EQ(Str(after), "right");
}

TEST(CXTextParsingTest, ExpandVariableReferences)
{
    const std::map<CXString, CXString> variables = {
        {"FOO", "bar"},
        {"PATH", "C:\\Target"},
        {"GREET", "hi $(WHO) of $(PLACE)"},
        {"EMPTY", CXString()},
    };
    struct Case {
        std::string text;
        bool ok;
        std::string expected;
    };
    const Case cases[] = {
        {"x$(foo)y", true, "xbary"},
        {"$(FOO)$(Foo)", true, "barbar"},
        {"$(BAZ)", true, "$(BAZ)"},
        {"$(baz)", true, "$(BAZ)"},
        {"$($)", true, "$"},
        {"cost: $($)5", true, "cost: $5"},
        {"a$()b", true, "ab"},
        {"$(EMPTY)", true, ""},
        {"$", true, "$"},
        {"a$b$", true, "a$b$"},
        {"no references", true, "no references"},
        {"", true, ""},
        {"$(PATH)\\bin", true, "C:\\Target\\bin"},
        {"$(GREET(who=Ann,Place=Rome))!", true, "hi Ann of Rome)!"},
        {"$(GREET(WHO=Ann))", true, "hi Ann of $(PLACE))"},
        {"$(NOPE(A=1))", true, "$(NOPE))"},
        {"$(FOO(A=1))", true, "bar)"},
        {"ends in $(FOO", false, ""},
        {"$(", false, ""},
        {"$(GREET(WHO=Ann", false, ""},
        {"$(GREET(WHO)", false, ""},
        {"$(GREET(WHO=a,who=b))", false, ""},
        {"$((A=1))", false, ""},
        {"$($(A=1))", false, ""},
    };
    for (const Case& c : cases) {
        CXString expanded("stale");
        CXResultCode result = ExpandVariableReferences(View(c.text), variables, expanded);
        EXPECT_EQ(result, c.ok ? kCXOK : kCXBadFormat) << c.text;
        EXPECT_EQ(Str(expanded), c.expected) << c.text;
    }
}

TEST(CXTextParsingTest, ExpansionFailsWhenAParameterisedValueIsMalformed)
{
    const std::map<CXString, CXString> variables = {{"BROKEN", "x$(OPEN"}};
    CXString expanded;
    EXPECT_EQ(ExpandVariableReferences("a$(BROKEN(K=v))b", variables, expanded), kCXBadFormat);
    EXPECT_TRUE(expanded.IsEmpty());
    // Without parameters the value is inserted as it is, never expanded.
    EXPECT_EQ(ExpandVariableReferences("a$(BROKEN)b", variables, expanded), kCXOK);
    EXPECT_EQ(Str(expanded), "ax$(OPENb");
}

} // namespace
