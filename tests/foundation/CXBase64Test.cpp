#include "foundation/CXBase64.h"

#include "foundation/CXDebug.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Encode(const std::string& bytes, const char* separator)
{
    return Base64Encode(CXStringArgument(bytes.data(), bytes.size()), separator).c_str();
}

TEST(CXBase64Test, RFC4648Vectors)
{
    struct Case {
        const char* bytes;
        const char* text;
    };
    const Case cases[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
                          {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    for (const Case& c : cases)
        EXPECT_EQ(Encode(c.bytes, "\r\n"), c.text) << c.bytes;
    EXPECT_EQ(Encode(std::string("\xfb\xff\x00", 3), ""), "+/8A");
}

// The separator follows every 76 characters, counted in whole groups only.
TEST(CXBase64Test, SeparatorAfterEvery76Characters)
{
    std::string line;
    for (int i = 0; i < 19; ++i)
        line += "QUJD";
    std::string abc;
    for (int i = 0; i < 19; ++i)
        abc += "ABC";
    EXPECT_EQ(Encode(abc, "\r\n"), line + "\r\n");
    EXPECT_EQ(Encode(abc + "A", "\r\n"), line + "\r\nQQ==");
    EXPECT_EQ(Encode(abc + abc + "AB", "--"), line + "--" + line + "--QUI=");
    EXPECT_EQ(Encode(abc + abc, ""), line + line);
}

TEST(CXBase64Test, AlphabetSteps)
{
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int value = 0; value < 64; ++value) {
        EXPECT_EQ(ConvertIntToUUChar(value), alphabet[value]);
        EXPECT_EQ(ConvertUUCharToInt(alphabet[value]), value);
    }
    CXDebugCapture capture;
    EXPECT_EQ(ConvertUUCharToInt('='), 0);
    EXPECT_TRUE(capture.Lines().empty());
    EXPECT_EQ(ConvertIntToUUChar(64), 0);
    EXPECT_EQ(ConvertIntToUUChar(-1), 0);
    EXPECT_EQ(ConvertUUCharToInt('*'), 0);
    EXPECT_EQ(capture.Count("ConvertIntToUUChar> invalid value 64"), 1u);
    EXPECT_EQ(capture.Count("ConvertIntToUUChar> invalid value -1"), 1u);
    EXPECT_EQ(capture.Count("ConvertUUCharToInt> invalid char 42"), 1u);
}

} // namespace
