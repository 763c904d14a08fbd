#include "streams/CXStreamBase64.h"

#include "streams/CXStreamMemory.h"
#include "streams/CXStreamSubfile.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Contents(CXStreamDynamicBuffer& buffer)
{
    std::string text(buffer.GetSize(), '\0');
    (void)buffer.Seek(0, CXStream::kSeekSet);
    EXPECT_EQ(buffer.Read(text.data(), text.size()), text.size());
    return text;
}

// Decodes text; returns the result and the bytes written.
std::pair<int32_t, std::string> Decode(const std::string& text)
{
    CXStreamStaticBuffer source;
    EXPECT_TRUE(source.OpenReadOnly(text.data(), text.size()));
    CXStreamDynamicBuffer destination;
    int32_t result = Base64DecodeStream(destination, source);
    return {result, Contents(destination)};
}

TEST(CXStreamBase64Test, EncodesAndDecodesRFC4648Vectors)
{
    struct Case {
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {{"", ""},
                          {"f", "Zg=="},
                          {"fo", "Zm8="},
                          {"foo", "Zm9v"},
                          {"foob", "Zm9vYg=="},
                          {"fooba", "Zm9vYmE="},
                          {"foobar", "Zm9vYmFy"},
                          {std::string("\xfb\xff\x00\x10", 4), "+/8AEA=="},
                          {std::string(58, 'A'), ""}};
    std::string longText; // no line breaks in the stream form
    for (int i = 0; i < 19; ++i)
        longText += "QUFB";
    longText += "QQ==";
    for (const Case& c : cases) {
        CXStreamStaticBuffer source;
        ASSERT_TRUE(source.OpenReadOnly(c.bytes.data(), c.bytes.size()));
        CXStreamDynamicBuffer encoded;
        EXPECT_EQ(Base64EncodeStream(encoded, source), kCXOK);
        std::string text = Contents(encoded);
        EXPECT_EQ(text, c.bytes.size() == 58 ? longText : c.text);
        EXPECT_EQ(Decode(text), std::make_pair(int32_t(kCXOK), c.bytes));
    }
}

TEST(CXStreamBase64Test, DecodingFailures)
{
    struct Case {
        const char* text;
        int32_t result;
        const char* written;
    };
    const Case cases[] = {
        {"QUJDRA==", kCXOK, "ABCD"},
        {" QU\tJD\r\nRA = =\n", kCXOK, "ABCD"},
        {"QUJDRA=", kCXEndOfData, "ABC"},
        {"QUJ", kCXEndOfData, ""},
        {"QU=J", kCXBadFormat, ""},
        {"Q===", kCXBadFormat, ""},
        {"=QUJ", kCXBadFormat, ""},
        {"QUI=QUJD", kCXBadFormat, "AB"},
        {"QQ===", kCXBadFormat, "A"},
        {"QUJD*QUJD", kCXBadFormat, "ABC"},
        {"QUJD-", kCXBadFormat, "ABC"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Decode(c.text), std::make_pair(c.result, std::string(c.written))) << '"' << c.text << '"';
}

// A stream that cannot tell how much it holds: BytesRemaining would say 0, which must not pass for
// empty input.
class UnsizedSource : public CXStream {
public:
    UnsizedSource() : CXStream(kCapsRead | kCapsOpen) {}
};

TEST(CXStreamBase64Test, SourceAndDestinationFailures)
{
    UnsizedSource unsized;
    CXStreamDynamicBuffer destination;
    EXPECT_EQ(Base64EncodeStream(destination, unsized), kCXNotSupported);
    EXPECT_EQ(Base64DecodeStream(destination, unsized), kCXNotSupported);

    // A window of 9 bytes over a parent with 5 left.
    CXStreamStaticBuffer parent;
    ASSERT_TRUE(parent.OpenReadOnly("abcde", 5));
    CXStreamSubfile shortSource;
    shortSource.Open(&parent, 9);
    EXPECT_EQ(Base64EncodeStream(destination, shortSource), kCXEndOfData);
    EXPECT_EQ(Contents(destination), "YWJj");

    // Room for one group of four characters.
    char room[4];
    CXStreamStaticBuffer small;
    ASSERT_TRUE(small.Open(room, sizeof room, 0));
    CXStreamStaticBuffer source;
    ASSERT_TRUE(source.OpenReadOnly("abcdef", 6));
    EXPECT_EQ(Base64EncodeStream(small, source), kCXEndOfData);
    EXPECT_EQ(std::string(room, 4), "YWJj");
}

// Inputs that span several of the coder's internal blocks, with the fault beyond the first block.
TEST(CXStreamBase64Test, LongInputsAcrossBlocks)
{
    std::string bytes(100001, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 131) ^ (i >> 7));
    CXStreamStaticBuffer source;
    ASSERT_TRUE(source.OpenReadOnly(bytes.data(), bytes.size()));
    CXStreamDynamicBuffer encoded;
    ASSERT_EQ(Base64EncodeStream(encoded, source), kCXOK);
    std::string text = Contents(encoded);
    ASSERT_EQ(text.size(), 133336u);
    EXPECT_EQ(text.substr(text.size() - 4, 2).find('='), std::string::npos);
    EXPECT_EQ(text.back(), '=');
    EXPECT_EQ(Decode(text), std::make_pair(int32_t(kCXOK), bytes));

    // A bad character in the second block: every group before it arrives, nothing after it.
    std::string damaged = text;
    damaged[70000] = '*';
    EXPECT_EQ(Decode(damaged), std::make_pair(int32_t(kCXBadFormat), bytes.substr(0, 52500)));
    // The text cut inside a group in the third block.
    EXPECT_EQ(Decode(text.substr(0, 131074)), std::make_pair(int32_t(kCXEndOfData), bytes.substr(0, 98304)));
}

} // namespace
