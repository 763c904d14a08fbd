#include "datanode/TextConfig.h"

#include "DataNodeTesting.h"
#include "foundation/CXDebug.h"
#include "streams/CXStreamMemory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace DataNodeTesting;
using namespace std::string_literals;

namespace {

DNRawData Elements(const std::vector<float>& values, DNTypeID type)
{
    std::string bytes;
    for (float v : values) {
        char element[4];
        if (type == kDNTypeInts || type == kDNTypeBox2i || type == kDNTypeVector2i)
            DNWriteInt32(element, static_cast<int32_t>(v));
        else
            DNWriteFloat(element, v);
        bytes.append(element, 4);
    }
    return DNRawData(bytes.data(), bytes.size(), type);
}

DNRawData Float(float value)
{
    return Elements({value}, kDNTypeFloat);
}

DNRawData Int64(int64_t value)
{
    char bytes[8];
    DNWriteInt64(bytes, value);
    return DNRawData(bytes, 8, kDNTypeInt64);
}

DNRawData Raw(size_t count)
{
    std::string bytes;
    for (size_t i = 0; i < count; ++i)
        bytes += static_cast<char>(i * 17);
    return DNRawData(bytes.data(), bytes.size(), kDNTypeRaw);
}

DNValueRef OneEntry(const char* key, const DNValueRef& value)
{
    DNValueRef folder = NewFolder();
    DNIteratorRef it = folder->AddLast();
    it->SetKeyData(Key(key));
    if (value)
        it->SetValue(value);
    return folder;
}

} // namespace

TEST(TextConfigWriterTest, LayoutOfFoldersLeavesAndRawData)
{
    EXPECT_EQ(WriteText(NewFolder()), "");

    DNValueRef folder = NewFolder();
    folder->SetChildData(Key("a"), DNRawData::FromInt(1));
    DNValueRef inner = NewFolder();
    inner->SetChildData(Key("c"), DNRawData("x y"));
    folder->SetChild(Key("b"), inner);
    EXPECT_EQ(WriteText(folder), "a 1\rb\r{\r  c \"x y\"\r}\r\r");
    EXPECT_EQ(WriteText(folder, 2), "  a 1\r  b\r  {\r    c \"x y\"\r  }\r\r");

    EXPECT_EQ(WriteText(OneEntry("r", NewLeaf(Raw(8)))), "r `00 11 22 33 44 55 66 77`\r");
    EXPECT_EQ(WriteText(OneEntry("r", NewLeaf(Raw(9)))), "r\r`00 11 22 33 44 55 66 77 88`\r");
    EXPECT_EQ(WriteText(OneEntry("r", NewLeaf(Raw(17))), 2),
              "  r\r  `00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF\r   10`\r");
    EXPECT_EQ(WriteText(OneEntry("r", NewLeaf(DNRawData(nullptr, 0, kDNTypeRaw)))), "r ``\r");

    // A leaf written as a folder writes its metadata block.
    EXPECT_EQ(WriteText(NewLeaf(DNRawData::FromInt(1))), "$meta\r{\r  kind int\r}\r\r");

    // The two-argument form writes nothing for no folder; the three-argument one refuses it.
    CXStreamDynamicBuffer stream;
    EXPECT_EQ(TextConfig::Write(nullptr, stream), kCXOK);
    CXDebugCapture capture;
    EXPECT_EQ(TextConfig::Write(nullptr, stream, 0), kCXBadParameter);
    EXPECT_EQ(stream.GetSize(), 0u);
}

TEST(TextConfigWriterTest, QuotingRules)
{
    struct Case {
        std::string text;
        bool identifierRule;
        bool quoted;
    };
    const Case cases[] = {
        {"", true, true},       {"", false, true},       {"a.b", true, true},      {"a-b_#$", true, false},
        {"05", true, true},     {"-0x", true, true},     {"0", true, false},       {"-", true, false},
        {"42", true, false},    {"042", true, true},     {"\xC3\xA9", true, true}, {"a b", true, true},
        {"1, 2", false, false}, {"1.5e+20", false, false}, {"a\tb", false, true},  {"x$", false, true},
        {"{", false, true},     {"`", false, true},      {"\"", false, true},      {"a\rb", false, true},
        {"\x7F", false, true},  {"\x80", false, true},   {"a;b", false, false},    {"a;b", true, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextConfig::NeedsQuotes(CXStringArgument(c.text.data(), c.text.size()), c.identifierRule), c.quoted)
            << testing::PrintToString(c.text) << " " << c.identifierRule;

    CXStreamDynamicBuffer stream;
    EXPECT_EQ(TextConfig::WriteQuoted(stream, "say \"hi\"", true), kCXOK);
    EXPECT_EQ(TextConfig::WriteQuoted(stream, "bare", true), kCXOK);
    std::string text(static_cast<size_t>(stream.GetSize()), '\0');
    (void)stream.Seek(0, CXStream::kSeekSet);
    (void)stream.Read(text.data(), text.size());
    EXPECT_EQ(text, "\"say \"\"hi\"\"\"bare");
}

TEST(TextConfigWriterTest, ValueTexts)
{
    struct Case {
        DNValueRef value;
        std::string line;
    };
    const Case cases[] = {
        {NewLeaf(DNRawData("42")), "k 42\r"},
        {NewLeaf(DNRawData("042")), "k \"042\"\r"},
        {NewLeaf(DNRawData("say \"hi\"")), "k \"say \"\"hi\"\"\"\r"},
        {NewLeaf(Float(0.1f)), "k 0.1\r"},
        {NewLeaf(Float(3.0f)), "k 3\r"},
        {NewLeaf(Float(1e20f)), "k 1e+20\r"},
        {NewLeaf(DNRawData::FromBool(true)), "k True\r"},
        {NewLeaf(Elements({1, -2, 3}, kDNTypeInts)), "k 1, -2, 3\r"},
        {NewLeaf(Elements({0.5f, 2}, kDNTypeFloats)), "k 0.500000, 2.000000\r"},
        {NewLeaf(Int64(-5000000000)), "k -5000000000\r"},
        {NewLeaf(Elements({1, 2}, kDNTypeVector2i)), "k 1, 2\r"},
        {DNValueRef(), "k \"\"\r"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WriteText(OneEntry("k", c.value)), c.line);

    // A value without a text form is logged and written as empty quotes.
    CXDebugCapture capture;
    EXPECT_EQ(WriteText(OneEntry("k", NewLeaf(DNRawData("zz", 2, kDNTypeCompressed)))), "k \"\"\r");
    EXPECT_EQ(capture.Count("DNRawData::Coerce> unable to coerce from <<6>> to <<4>> (raw: \"zz\")"), 1u);
}

// What comes back from writing a value and reading the text: the writer and reader side by side.
// Values are not type-stable; the expected column is what the format gives, not the original.
TEST(TextConfigWriterTest, RoundTripThroughTheText)
{
    DNValueRef folder = NewFolder();
    folder->SetChildData(Key("x"), DNRawData::FromInt(1));
    DNIteratorRef twin = folder->AddLast();
    twin->SetKeyData(Key("x"));
    twin->SetRawValue(DNRawData("two words"));
    DNValueRef nested = NewFolder();
    nested->SetChild(Key("empty"), NewFolder());
    folder->SetChild(Key("sub"), nested);

    struct Case {
        const char* name;
        const char* key;
        DNValueRef value;
        std::string expected;
    };
    const Case cases[] = {
        {"folder, order, duplicates", "k", folder, "k{x=INT(1) x=STR(two words) sub{empty{}}}"},
        {"short raw", "k", NewLeaf(Raw(3)), "k=RAW(001122)"},
        {"long raw", "k", NewLeaf(Raw(20)), "k=RAW(00112233445566778899AABBCCDDEEFF10213243)"},
        {"empty raw", "k", NewLeaf(DNRawData(nullptr, 0, kDNTypeRaw)), "k"},
        {"key only", "k", DNValueRef(), "k"},
        {"string with everything", "k", NewLeaf(DNRawData("a b;\"q\"\r\n}{$`\xC3\xA9")), "k=STR(a b;\"q\"\r\n}{$`\xC3\xA9)"},
        {"string with a NUL", "k", NewLeaf(DNRawData("a\0b", 3, kDNTypeString)), "k=STR(a\0b)"s},
        {"digits string", "k", NewLeaf(DNRawData("42")), "k=INT(42)"},
        {"negative digits string", "k", NewLeaf(DNRawData("-7")), "k=INT(-7)"},
        {"long digits string", "k", NewLeaf(DNRawData("4294967296")), "k=I64(4294967296)"},
        {"zero string", "k", NewLeaf(DNRawData("0")), "k=STR(0)"},
        {"dash string", "k", NewLeaf(DNRawData("-")), "k=STR(-)"},
        {"empty string", "k", NewLeaf(DNRawData("")), "k"},
        {"int", "k", NewLeaf(DNRawData::FromInt(5)), "k=INT(5)"},
        {"int zero", "k", NewLeaf(DNRawData::FromInt(0)), "k=STR(0)"},
        {"small int64", "k", NewLeaf(Int64(5)), "k=INT(5)"},
        {"large int64", "k", NewLeaf(Int64(1099511627776)), "k=I64(1099511627776)"},
        {"whole float", "k", NewLeaf(Float(3.0f)), "k=INT(3)"},
        {"float below one", "k", NewLeaf(Float(0.5f)), "k=STR(0.5)"},
        {"canonical float", "k", NewLeaf(Float(1.5f)), "k=FLT(1.5)"},
        {"float with exponent", "k", NewLeaf(Float(1e20f)), "k=STR(1e+20)"},
        {"float cut to six digits", "k", NewLeaf(Float(1234.5678f)), "k=FLT(1234.57)"},
        {"bool", "k", NewLeaf(DNRawData::FromBool(false)), "k=STR(False)"},
        {"ints", "k", NewLeaf(Elements({1, 2}, kDNTypeInts)), "k=INTS(1,2)"},
        {"floats", "k", NewLeaf(Elements({1, 2.5f}, kDNTypeFloats)), "k=FLTS(1,2.5)"},
        {"one int", "k", NewLeaf(Elements({7}, kDNTypeInts)), "k=INT(7)"},
        {"one float", "k", NewLeaf(Elements({1.5f}, kDNTypeFloats)), "k=STR(1.500000)"},
        {"box", "k", NewLeaf(DNRawData::FromBox2i({{1, 2, 3, 4}, false})), "k=INTS(1,2,3,4)"},
        {"vector", "k", NewLeaf(Elements({0.5f, 1}, kDNTypeVector2)), "k=FLTS(0.5,1)"},
        // A key beginning with '$' is quoted, so it does not come back as a directive.
        {"dollar key leaf", "$x", NewLeaf(DNRawData::FromInt(1)), "$x=INT(1)"},
        {"dollar key folder", "$meta", folder, "$meta{x=INT(1) x=STR(two words) sub{empty{}}}"},
        {"key needing quotes", "a b", NewLeaf(DNRawData("v")), "a b=STR(v)"},
        {"empty key", "", NewLeaf(DNRawData("v")), "=STR(v)"},
    };
    CXDebugCapture capture;
    for (const Case& c : cases) {
        std::string text = WriteText(OneEntry(c.key, c.value));
        EXPECT_EQ(Describe(Parse(text)), c.expected) << c.name << ": " << testing::PrintToString(text);
    }
    EXPECT_TRUE(capture.Lines().empty());

    // A compressed value has no text: it comes back as a key-only entry, after a log.
    EXPECT_EQ(Describe(Parse(WriteText(OneEntry("k", NewLeaf(DNRawData("z", 1, kDNTypeCompressed)))))), "k");
    EXPECT_EQ(capture.Lines().size(), 1u);
}

TEST(TextConfigWriterTest, StreamFailuresReachTheCaller)
{
    DNValueRef folder = NewFolder();
    for (int i = 0; i < 2000; ++i) {
        DNIteratorRef it = folder->AddLast();
        it->SetKeyData(DNRawData::FromInt(i));
        it->SetRawValue(DNRawData("some text to fill the stream"));
    }

    char block[64];
    CXStreamStaticBuffer small;
    ASSERT_TRUE(small.Open(block, sizeof block, 0));
    EXPECT_EQ(TextConfig::Write(folder.get(), small, 0), kCXEndOfData);

    CXStreamStaticBuffer readOnly;
    ASSERT_TRUE(readOnly.OpenReadOnly("", 0));
    EXPECT_EQ(TextConfig::Write(folder.get(), readOnly), kCXAccessDenied);
    EXPECT_EQ(TextConfig::WriteHexData(readOnly, 0, "ab"), kCXAccessDenied);

    CXStreamStaticBuffer exact;
    std::string full = WriteText(OneEntry("k", NewLeaf(DNRawData::FromInt(1))));
    ASSERT_TRUE(exact.Open(block, full.size(), 0));
    EXPECT_EQ(TextConfig::Write(OneEntry("k", NewLeaf(DNRawData::FromInt(1))).get(), exact), kCXOK);
    EXPECT_EQ(std::string(block, full.size()), full);
}
