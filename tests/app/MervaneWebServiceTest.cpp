#include "app/MervaneWebService.h"

#include "datanode/DNMemoryValue.h"
#include "datanode/DNTranslator.h"
#include "datanode/TextConfig.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Str(const CXString& s)
{
    return std::string(s.c_str(), s.length());
}

DNValueRef Tree(const std::string& text)
{
    DNInitBuiltInTranslators();
    DNValueRef tree = DNAdopt<DNValue>(new DNMemoryValue);
    TextConfig::ParseText(tree, text.data(), text.size());
    return tree;
}

TEST(MervaneWebServiceTest, RequestAddressesEscapeEveryValue)
{
    const CXString base = "https://service.example:8443/api";
    EXPECT_EQ(Str(MakeStreamCheckURL(base, "a b&c", "\xc3\xa9~_/", "DE", "org.example")),
              "https://service.example:8443/api/streams/qorvelstreamcheck.php?u=a%20b%26c&p=%c3%a9~_%2f&loc=DE&id=org.example");
    EXPECT_EQ(Str(MakeStreamFileURL(base, "al", "p=w&d", "7 Main", "0123abcd", "US")),
              "https://service.example:8443/api/streams/getstreamfile.php?u=al&p=p%3dw%26d&stream=7%20Main&build=0123abcd&loc=US");
    EXPECT_EQ(Str(MakeStreamCheckURL(base, "", "", "US", "")),
              "https://service.example:8443/api/streams/qorvelstreamcheck.php?u=&p=&loc=US&id=");
}

TEST(MervaneWebServiceTest, ServiceAddressMustBeHttps)
{
    struct Case {
        const char* configuration;
        const char* expected;
    };
    const Case cases[] = {
        {"web-service-url \"https://localhost:8443\"\r", "https://localhost:8443"},
        {"web-service-url \"https://localhost:8443/\"\r", "https://localhost:8443"},
        {"web-service-url \"https://h/api//\"\r", "https://h/api"},
        {"web-service-url \"HTTPS://h\"\r", "HTTPS://h"},
        {"web-service-url \"http://localhost:8080\"\r", ""},
        {"web-service-url \"localhost\"\r", ""},
        {"web-service-url \"https://\"\r", ""},
        {"web-service-url \"https://h/x?q=1\"\r", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        DNValueRef configuration = Tree(c.configuration);
        EXPECT_EQ(Str(WebServiceBaseURL(configuration.get())), c.expected) << c.configuration;
    }
}

TEST(MervaneWebServiceTest, ReadsRepliesByTheirKeys)
{
    DNInitBuiltInTranslators();
    DNValueRef reply = ParseWebReply("good 1\rstream \"7 Main\"\rstream \"9 Beta version\"\rstream 11\rdefault-stream 7\r");
    EXPECT_EQ(Str(ReplyError(reply.get())), "");
    EXPECT_EQ(ReplyGood(reply.get()), 1);
    auto streams = ReplyStreams(reply.get());
    ASSERT_EQ(streams.size(), 3u);
    EXPECT_EQ(Str(streams[0].first), "7");
    EXPECT_EQ(Str(streams[0].second), "Main");
    EXPECT_EQ(Str(streams[1].first), "9");
    EXPECT_EQ(Str(streams[1].second), "Beta version");
    EXPECT_EQ(Str(streams[2].first), "11");
    EXPECT_EQ(Str(streams[2].second), "");

    // An empty error is no error; missing keys read empty or 0.
    reply = ParseWebReply("error \"\"\rgood 1\r");
    EXPECT_EQ(Str(ReplyError(reply.get())), "");
    EXPECT_EQ(ReplyGood(reply.get()), 1);
    reply = ParseWebReply("just some text");
    EXPECT_EQ(Str(ReplyError(reply.get())), "");
    EXPECT_EQ(ReplyGood(reply.get()), 0);
    EXPECT_TRUE(ReplyStreams(reply.get()).empty());
    reply = ParseWebReply("error no-products-owned\r");
    EXPECT_EQ(Str(ReplyError(reply.get())), "no-products-owned");
}

} // namespace
