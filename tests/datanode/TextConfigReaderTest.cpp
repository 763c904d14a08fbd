#include "datanode/TextConfig.h"

#include "DataNodeTesting.h"
#include "foundation/CXDebug.h"
#include "streams/CXStreamMemory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using namespace DataNodeTesting;
using namespace std::string_literals;

namespace {

// How deep the built folders go along their first entries.
int FolderDepth(DNValueRef folder)
{
    int depth = 0;
    for (;;) {
        DNIteratorRef it = folder->First();
        if (it->AtEnd() || it->GetValue()->GetType() != static_cast<int>(kDNTypeFolder))
            return depth;
        folder = it->GetValue();
        ++depth;
    }
}

std::string Repeat(const std::string& text, int count)
{
    std::string result;
    result.reserve(text.size() * static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        result += text;
    return result;
}

// A stream that claims a size and hands out fewer bytes, or none.
class ClaimingStream : public CXStream {
public:
    ClaimingStream(uint64_t claimed, std::string bytes)
        : CXStream(kCapsRead | kCapsAvailableKnown | kCapsSizeKnown)
        , fClaimed(claimed)
        , fBytes(std::move(bytes))
    {
    }
    uint64_t GetSize() override { return fClaimed; }
    uint64_t reads = 0;

protected:
    uint64_t VirtualRead(void* buffer, uint64_t size) override
    {
        ++reads;
        uint64_t count = std::min<uint64_t>(size, fBytes.size());
        std::memcpy(buffer, fBytes.data(), static_cast<size_t>(count));
        fBytes.erase(0, static_cast<size_t>(count));
        return count;
    }

private:
    uint64_t fClaimed;
    std::string fBytes;
};

} // namespace

TEST(TextConfigReaderTest, ItemsValuesAndMalformedInput)
{
    struct Case {
        std::string input;
        std::string tree;
        std::string log; // one line containing this text; empty: no log at all
    };
    const Case cases[] = {
        // Layout, comments and line ends.
        {"", "", ""},
        {" \t\r\n; only a comment\n\n\t\r", "", ""},
        {"a 1\rb 2\nc 3\r\n", "a=INT(1) b=INT(2) c=INT(3)", ""},
        {"k 1\nk 2", "k=INT(1) k=INT(2)", ""},
        {"a 1 ; note", "a=STR(1 ; note)", ""},
        // Key-only entries.
        {"key", "key", ""},
        {"key \"\"", "key", ""},
        {"key {{{}}}", "key", ""},
        {"key ``", "key", ""},
        {"key\r\r  value", "key value", ""},
        // Quoted strings.
        {"name \"x\"\"y\"", "name=STR(x\"y)", ""},
        {"a \"v\" b", "a=STR(v) b", ""},
        {"a \"v\" ; c", "a=STR(v)", ""},
        {"\"a b\" 1", "a b=INT(1)", ""},
        {"\"a\rb\" \"c\nd\\\"", "a\rb=STR(c\nd\\)", ""},
        {"\"\" 1", "=INT(1)", ""},
        {"a \"unclosed\r\nz 1", "a=STR(unclosed\r\nz 1)", ""},
        // Verbatim text.
        {"v {{{ a \"}\" }} }}}", "v=STR( a \"}\" }} )", ""},
        {"v {{{open\rz 1", "v=STR(open\rz 1)", ""},
        {"k\r{{{v}}}", "k=STR(v)", ""},
        {"k {{x", "k=STR({{x)", ""},
        {"k {{{a}}}}\rx 1", "k=STR(a)", "TextConfig::Parse> error in data"},
        // Hex data.
        {"data `0A 0b\r 10`", "data=RAW(0A0B10)", ""},
        {"data\r\n  `FF`", "data=RAW(FF)", ""},
        {"data `012`", "data=RAW(01) 2`", ""},
        {"data `0 1`", "data 0=STR(1`)", ""},
        {"data `0", "data 0", ""},
        {"data `01 02", "data=RAW(0102)", ""},
        // Blocks.
        {"key\r\r   {\r a 1\r}", "key{a=INT(1)}", ""},
        {"f { a 1 }", "f{a=STR(1 })}", ""},
        {"f { a 1 }\r}\rg 2", "f{a=STR(1 })} g=INT(2)", ""},
        {"f {\r a \"q\" }\r g 2", "f{a=STR(q)} g=INT(2)", ""},
        {"f {\r a 1", "f{a=INT(1)}", ""},
        {"f {\r g {\r h {", "f{g{h{}}}", ""},
        {"a{ 1", "a{=INT(1)", ""},
        {"f {}", "f{}", ""},
        {"f\r{\r}\r}", "f{}", ""},
        {"}\rx 1", "", "TextConfig::Parse> error in data"},
        {"x 1\r}", "x=INT(1)", ""},
        {"x 1\r} ", "x=INT(1)", "TextConfig::Parse> error in data"},
        // Directives.
        {"$meta {\r a 1\r}\rb 2", "b=INT(2)", "DNValue::AddLast> Called on NULL Value"},
        {"$meta {\r ; comment\r\r}\rb 2", "b=INT(2)", ""},
        {"$x\r\r {\r}\rb 2", "b=INT(2)", ""},
        {"\"$meta\" {\r a 1\r}", "$meta{a=INT(1)}", ""},
        {"$x y", "y", ""},
        {"$x", "", ""},
        {"$meta{\r a 1\r}", "a=INT(1)", ""},
        {"$meta{\r a 1\r}\r", "a=INT(1)", "TextConfig::Parse> error in data"},
        // Typing of bare values.
        {"v 10\rv -5\rv 2147483647\rv -2147483648", "v=INT(10) v=INT(-5) v=INT(2147483647) v=INT(-2147483648)", ""},
        {"v 2147483648\rv -9223372036854775808", "v=I64(2147483648) v=I64(-9223372036854775808)", ""},
        {"v 0\rv -0\rv 007\rv 99999999999999999999", "v=STR(0) v=STR(-0) v=STR(007) v=STR(99999999999999999999)", ""},
        {"v 1.5\rv .5\rv -.25", "v=FLT(1.5) v=FLT(0.5) v=FLT(-0.25)", ""},
        {"v 0.5\rv 1.50\rv 2.0\rv 1.\rv 1e5", "v=STR(0.5) v=STR(1.50) v=STR(2.0) v=STR(1.) v=STR(1e5)", ""},
        {"v 1, 2, 3\rv 7,8", "v=INTS(1,2,3) v=INTS(7,8)", ""},
        {"v 1, 2.5\rv 2147483648, 1", "v=FLTS(1,2.5) v=FLTS(2.14748e+09,1)", ""},
        {"v 5,\rv 1 2\rv true\rv yes", "v=STR(5,) v=STR(1 2) v=STR(true) v=STR(yes)", ""},
        {"v   12  \rv 12 ;c", "v=INT(12) v=STR(12 ;c)", ""},
        // A NUL inside a value is an ordinary byte: the text is no number.
        {"v 12\0x\rw 1\0"s, "v=STR(12\0x) w=STR(1\0)"s, ""},
        {"\0 1"s, "\0=INT(1)"s, ""},
    };
    for (const Case& c : cases) {
        CXDebugCapture capture;
        DNValueRef root = Parse(c.input);
        EXPECT_EQ(Describe(root), c.tree) << testing::PrintToString(c.input);
        if (c.log.empty()) {
            EXPECT_TRUE(capture.Lines().empty()) << testing::PrintToString(c.input);
        } else {
            EXPECT_EQ(capture.Count(c.log), 1u) << testing::PrintToString(c.input);
            EXPECT_EQ(capture.Lines().size(), 1u) << testing::PrintToString(c.input);
        }
    }
}

TEST(TextConfigReaderTest, TheTokenisersStopAtTheirDelimiterOrTheEnd)
{
    std::string input = "\"a\"\"b\" rest";
    const char* cursor = input.data();
    size_t remaining = input.size();
    CXString out;
    EXPECT_TRUE(TextConfig::ParseQuotedString(cursor, remaining, out));
    EXPECT_TRUE(out == "a\"b");
    EXPECT_EQ(remaining, 5u);
    EXPECT_EQ(cursor, input.data() + input.size() - 5);

    input = "`01 0x";
    cursor = input.data();
    remaining = input.size();
    EXPECT_FALSE(TextConfig::ParseHexData(cursor, remaining, out));
    EXPECT_EQ(std::string(out.c_str(), out.length()), "\x01");
    EXPECT_EQ(std::string(cursor, remaining), "0x");

    input = "{{{abc";
    cursor = input.data();
    remaining = input.size();
    EXPECT_FALSE(TextConfig::ParseVerbatimString(cursor, remaining, out));
    EXPECT_TRUE(out == "abc");
    EXPECT_EQ(remaining, 0u);

    input = "a{b\tc";
    cursor = input.data();
    remaining = input.size();
    TextConfig::ParseKey(cursor, remaining, out);
    EXPECT_TRUE(out == "a{b");
    EXPECT_EQ(TextConfig::ParseValue(cursor, remaining, out), TextConfig::ValueForm::kBareText);
    EXPECT_TRUE(out == "c");
}

TEST(TextConfigReaderTest, DeepNestingIsCutAtSixtyFourLevelsWithoutRecursion)
{
    const int levels = 100000;
    std::string input = Repeat("a {\n", levels) + "x 1\n" + Repeat("}\n", levels) + "after 2\n";
    CXDebugCapture capture;
    DNValueRef root = Parse(input);
    // Levels 1 to 64 are built; the block at level 65 is kept as an empty folder.
    EXPECT_EQ(FolderDepth(root), 65);
    EXPECT_EQ(Bytes(root->IteratorAt(1)->GetKey()->GetData()), "after");
    EXPECT_EQ(root->Count(), 2u);
    EXPECT_EQ(capture.Count("TextConfig::Parse> blocks nested deeper than 64 levels skipped"), 1u);
    EXPECT_EQ(capture.Lines().size(), 1u);

    // Directive blocks count as levels too.
    capture.Clear();
    root = Parse(Repeat("$x {\n", levels) + Repeat("}\n", levels) + "after 2\n");
    EXPECT_EQ(Describe(root), "after=INT(2)");
    EXPECT_EQ(capture.Count("nested deeper"), 1u);
}

TEST(TextConfigReaderTest, SkippedBlocksAreTokenisedLikeBuiltOnes)
{
    // A '}' inside a quoted string, a bare value or verbatim text closes nothing; '$' blocks nest.
    const std::string body = "q \"}\"\nb 1 }\nv {{{ } }}}\n$d {\n c }\n}\nh `7D`\n";
    const std::string built = "q=STR(}) b=STR(1 }) v=STR( } ) h=RAW(7D)";

    CXDebugCapture capture;
    DNValueRef shallow = Parse("a {\n" + body + "}\nafter 2\n");
    EXPECT_EQ(Describe(shallow), "a{" + built + "} after=INT(2)");
    EXPECT_EQ(capture.Count("DNValue::AddLast> Called on NULL Value"), 1u); // the item of the '$' block

    const int levels = 70;
    DNValueRef deep = Parse(Repeat("a {\n", levels) + body + Repeat("}\n", levels) + "after 2\n");
    EXPECT_EQ(FolderDepth(deep), 65);
    EXPECT_EQ(deep->Count(), 2u);
    EXPECT_EQ(Bytes(deep->IteratorAt(1)->GetKey()->GetData()), "after");
    EXPECT_EQ(capture.Count("TextConfig::Parse> error in data"), 0u);
    EXPECT_EQ(capture.Count("DNValue::AddLast> Called on NULL Value"), 1u); // skipped: no item is made

    // Exactly at the limit the content is still built.
    DNValueRef limit = Parse(Repeat("a {\n", 64) + body + Repeat("}\n", 64));
    DNValueRef folder = limit;
    for (int i = 0; i < 64; ++i)
        folder = folder->First()->GetValue();
    EXPECT_EQ(Describe(folder), built);
}

TEST(TextConfigReaderTest, ReadTakesTheWholeStreamWithinALimit)
{
    CXStreamStaticBuffer stream;
    std::string text = "a 1\rb {\r c \"x\"\r}\r";
    ASSERT_TRUE(stream.OpenReadOnly(text.data(), text.size()));
    EXPECT_EQ(Describe(TextConfig::Read(stream)), "a=INT(1) b{c=STR(x)}");

    CXDebugCapture capture;
    ClaimingStream huge(TextConfig::kMaximumInputSize + 1, "a 1");
    DNValueRef root = TextConfig::Read(huge);
    EXPECT_EQ(root->GetType(), static_cast<int>(kDNTypeFolder));
    EXPECT_EQ(root->Count(), 0u);
    EXPECT_EQ(huge.reads, 0u);
    EXPECT_EQ(capture.Count("TextConfig::Read> input file too large"), 1u);

    ClaimingStream shortRead(10, "a 1");
    EXPECT_EQ(TextConfig::Read(shortRead)->Count(), 0u);
    ClaimingStream unknown(0, "a 1");
    EXPECT_EQ(TextConfig::Read(unknown)->Count(), 0u);
    EXPECT_EQ(capture.Lines().size(), 1u);
}

TEST(TextConfigReaderTest, TheFuzzSeedsReadAndWriteBackStably)
{
    std::filesystem::path corpus = std::filesystem::path(__FILE__).parent_path() / "../../fuzz/corpus/textconfig";
    size_t inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        CXDebugCapture quiet;
        std::string first = WriteText(Parse(input));
        quiet.Clear();
        std::string second = WriteText(Parse(first));
        EXPECT_FALSE(quiet.Contains("TextConfig::Parse> error in data")) << entry.path();
        EXPECT_EQ(WriteText(Parse(second)), second) << entry.path();
        ++inputs;
    }
    EXPECT_GE(inputs, 5u);
}
