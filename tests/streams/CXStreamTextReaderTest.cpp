#include "streams/CXStreamTextReader.h"

#include "streams/CXStreamMemory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Str(const CXStringEditBase& builder)
{
    return std::string(builder.data(), builder.length());
}

std::string Characters(const std::string& input)
{
    CXStreamTextReaderBuffer reader(input.data(), input.size());
    std::string out;
    char ch;
    while (reader.GetChar(ch))
        out += ch;
    return out;
}

TEST(CXStreamTextReaderTest, LineEndsFoldIntoOneCR)
{
    struct Case {
        std::string input, characters;
    };
    const Case cases[] = {
        {"AB\r\nXY\n\rEF\r\rG", "AB\rXY\rEF\r\rG"},
        {"a\nb\n\nc", "a\rb\r\rc"},
        {"a\r\nb\r\n\r\nc", "a\rb\r\rc"},
        {"a\n\rb\r\n", "a\rb\r"},
        {"a\r\nb\nc\rd\n\re", "a\rb\rc\rd\re"},
        {"\r\n\n", "\r\r"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Characters(c.input), c.characters) << c.input;
}

TEST(CXStreamTextReaderTest, ReadsLinesOfEveryConvention)
{
    const std::string inputs[] = {"one\r\ntwo\r\n\r\nlast", "one\ntwo\n\nlast", "one\rtwo\n\r\nlast", "one\ntwo\r\n\nlast"};
    for (const std::string& input : inputs) {
        SCOPED_TRACE(input);
        CXStreamTextReaderBuffer reader(input.data(), input.size());
        std::vector<std::string> lines;
        CXStringEdit line;
        while (reader.ReadLine(line))
            lines.push_back(Str(line));
        EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "", "last"}));
        EXPECT_FALSE(reader.ReadLine(line));
    }
}

// A header block read line by line leaves the stream at the first byte of the body.
TEST(CXStreamTextReaderTest, HeadersLeaveTheStreamAtTheBody)
{
    for (const std::string head : {"Status: 200\r\nSize: 4\r\n\r\n", "Status: 200\nSize: 4\n\n"}) {
        SCOPED_TRACE(head);
        std::string input = head + "BODY";
        CXStreamStaticBuffer stream;
        ASSERT_TRUE(stream.OpenReadOnly(input.data(), input.size()));
        CXStreamTextReader reader(&stream);
        CXStringEdit line;
        do
            ASSERT_TRUE(reader.ReadLine(line));
        while (!line.IsEmpty());
        EXPECT_EQ(stream.GetPosition(), static_cast<int64_t>(head.size()));
    }

    // After a pair, a single LF makes the reader peek the next byte: it waits in the reader.
    std::string input = "a\r\nb\nB";
    CXStreamStaticBuffer stream;
    ASSERT_TRUE(stream.OpenReadOnly(input.data(), input.size()));
    CXStreamTextReader reader(&stream);
    CXStringEdit line;
    ASSERT_TRUE(reader.ReadLine(line));
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(Str(line), "b");
    EXPECT_EQ(stream.GetPosition(), 6);
    char ch;
    ASSERT_TRUE(reader.GetChar(ch));
    EXPECT_EQ(ch, 'B');
}

// A caller that goes on reading the stream itself takes what the reader holds back first.
TEST(CXStreamTextReaderTest, PushedBackBytesAreHandedOverInReadingOrder)
{
    std::string input = "a\r\nb\nBODY";
    CXStreamStaticBuffer stream;
    ASSERT_TRUE(stream.OpenReadOnly(input.data(), input.size()));
    CXStreamTextReader reader(&stream);
    CXStringEdit line;
    ASSERT_TRUE(reader.ReadLine(line));
    ASSERT_TRUE(reader.ReadLine(line));
    reader.UngetChar('y');
    reader.UngetChar('x');
    CXStringEdit held;
    reader.TakePushedBack(held);
    EXPECT_EQ(Str(held), "xyB");
    held.Clear();
    reader.TakePushedBack(held);
    EXPECT_EQ(Str(held), "");
    char ch;
    ASSERT_TRUE(reader.GetChar(ch));
    EXPECT_EQ(ch, 'O');
}

TEST(CXStreamTextReaderTest, Numbers)
{
    {
        CXStreamTextReaderBuffer reader(CXString("- 42 -7 0099 4294967295"));
        int64_t value = 0;
        uint32_t unsignedValue = 0;
        EXPECT_TRUE(reader.ReadInt64(value));
        EXPECT_EQ(value, -42);
        CXStringEdit blank;
        // The sign must come first: a blank before it fails and leaves it to be read again.
        EXPECT_FALSE(reader.ReadInt64(value));
        EXPECT_TRUE(reader.ReadInt64(value));
        EXPECT_EQ(value, -7);
        EXPECT_TRUE(reader.ReadUInt32(unsignedValue));
        EXPECT_EQ(unsignedValue, 99u);
        EXPECT_TRUE(reader.ReadUInt32(unsignedValue));
        EXPECT_EQ(unsignedValue, 4294967295u);
        // At the end nothing is read, and nothing is left behind to be read as a character.
        EXPECT_FALSE(reader.ReadInt64(value));
        EXPECT_FALSE(reader.ReadLine(blank));
    }
    struct Case {
        const char* text;
        bool ok;
    };
    const Case outOfRange[] = {{"4294967296", false}, {"99999999999999999999", false}, {"-9223372036854775808", true}};
    for (const Case& c : outOfRange) {
        SCOPED_TRACE(c.text);
        CXStreamTextReaderBuffer reader{CXString(c.text)};
        int64_t value = 0;
        uint32_t unsignedValue = 0;
        bool isUnsigned = c.text[0] == '4';
        EXPECT_EQ(isUnsigned ? reader.ReadUInt32(unsignedValue) : reader.ReadInt64(value), c.ok);
    }
}

TEST(CXStreamTextReaderTest, WordsAndTheByteOrderMark)
{
    struct Case {
        std::string input;
        std::vector<std::string> words;
    };
    const Case cases[] = {
        {"\xEF\xBB\xBFkey value", {"key", "value"}},
        {"\xEF\x41", {"\xEF\x41"}},
        {"\xEF\xBB\x41 b", {"\xEF\xBB\x41", "b"}},
        {"  a\tb\r\n\nc", {"a", "b", "", "c"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        CXStreamTextReaderBuffer reader(c.input.data(), c.input.size());
        std::vector<std::string> words;
        CXStringEdit word;
        for (size_t i = 0; i < c.words.size(); ++i) {
            ASSERT_TRUE(reader.ReadWord(word));
            words.push_back(Str(word));
        }
        EXPECT_EQ(words, c.words);
    }
}

TEST(CXStreamTextReaderTest, GivenBackCharactersComeBackInOrder)
{
    CXStreamTextReaderBuffer reader(CXString("x\r\ny"));
    char ch;
    ASSERT_TRUE(reader.GetChar(ch));
    ASSERT_TRUE(reader.GetChar(ch));
    EXPECT_EQ(ch, '\r');
    reader.UngetChar(ch);
    reader.UngetChar('x');
    std::string again;
    while (reader.GetChar(ch))
        again += ch;
    EXPECT_EQ(again, "x\ry");
    EXPECT_TRUE(reader.MatchLiteral(""));

    CXStreamTextReader none;
    EXPECT_FALSE(none.GetChar(ch));
    CXStringEdit line;
    EXPECT_FALSE(none.ReadLine(line));
    CXStreamDynamicBuffer out;
    EXPECT_TRUE(CXStreamTextReader::WriteText(out, "text"));
    EXPECT_EQ(out.GetSize(), 4u);
}

// A number read between lines gives its line end back; the lines after it, blank ones too, come
// out as they stand, whichever convention and whether or not a pair was seen before.
TEST(CXStreamTextReaderTest, LineEndsGivenBackAreNotMergedWithWhatWasPeeked)
{
    struct Case {
        std::string input;
    };
    const Case cases[] = {{"a\r\n5\n\nz"}, {"a\n5\n\nz"}, {"a\r\n5\r\n\r\nz"}, {"a\r5\r\rz"},
                          {"a\n\r5\n\r\n\rz"}, {"a\r\n5\r\n\nz"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        CXStreamTextReaderBuffer reader(c.input.data(), c.input.size());
        CXStringEdit line;
        ASSERT_TRUE(reader.ReadLine(line));
        EXPECT_EQ(Str(line), "a");
        int64_t number = 0;
        ASSERT_TRUE(reader.ReadInt64(number));
        EXPECT_EQ(number, 5);
        std::vector<std::string> lines;
        while (reader.ReadLine(line))
            lines.push_back(Str(line));
        EXPECT_EQ(lines, (std::vector<std::string>{"", "", "z"}));
    }

    // Two line ends given back in a row come back as two.
    CXStreamTextReaderBuffer reader(CXString("\r\n\r\nq"));
    char first, second, ch;
    ASSERT_TRUE(reader.GetChar(first));
    ASSERT_TRUE(reader.GetChar(second));
    reader.UngetChar(second);
    reader.UngetChar(first);
    std::string again;
    while (reader.GetChar(ch))
        again += ch;
    EXPECT_EQ(again, "\r\rq");
}

} // namespace
