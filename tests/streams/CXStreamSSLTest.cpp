#include "foundation/CXDebug.h"
#include "streams/CXSSLContext.h"
#include "streams/CXStreamMemory.h"
#include "streams/CXStreamSSL.h"

#include <gtest/gtest.h>
#include <string_view>

namespace {

TEST(CXStreamSSLTest, HostNameMatching)
{
    struct Case {
        std::string_view pattern;
        std::string_view host;
        bool matches;
    };
    using namespace std::string_view_literals;
    const Case cases[] = {
        {"a.b", "a.b", true},
        {"a.b", "A.b", true},
        {"WWW.Example.COM", "www.example.com", true},
        {"a.b", "a.b.", true},
        {"a.b.", "a.b", false},
        {"a.b", "a.bc", false},
        {"a.b", "", false},
        {"", "a.b", false},
        {"a.b", ".", false},
        {"*.a.b", "x.a.b", true},
        {"*.a.b", "X.A.B.", true},
        {"*.a.b", "a.b", false},
        {"*.a.b", "x.y.a.b", false},
        {"*.a.b", ".a.b", false},
        {"*.a.b", "*.a.b", false},
        {"*.b", "a.b", false},
        {"*.b.", "a.b", false},
        {"*", "a", false},
        {"*.a..", "x.a..", false},
        {"x*.a.b", "xy.a.b", false},
        {"*x.a.b", "yx.a.b", false},
        {"a.*.b", "a.x.b", false},
        {"www.bank.com\0.evil.com"sv, "www.bank.com", false},
        {"www.bank.com", "www.bank.com\0.evil.com"sv, false},
        {"\xC3\x84.a.b", "\xC3\xA4.a.b", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CXStreamSSL::HostNameMatches(c.pattern, c.host), c.matches) << "'" << c.pattern << "' vs '" << c.host << "'";
}

TEST(CXStreamSSLTest, DetachedStreamRefusesWork)
{
    CXStreamSSL stream;
    EXPECT_EQ(stream.GetCaps(), CXStream::kCapsRead | CXStream::kCapsWrite | CXStream::kCapsAvailableKnown);
    char byte = 0;
    EXPECT_EQ(stream.Read(&byte, 1), 0u);
    EXPECT_EQ(stream.GetResult(), kCXAlreadyOpen);
    EXPECT_EQ(stream.Write("x", 1), 0u);
    EXPECT_EQ(stream.Flush(1), kCXAlreadyOpen);
    EXPECT_EQ(stream.Close(), kCXOK);

    CXSSLContext context;
    EXPECT_FALSE(stream.Connect(&context, nullptr));
    EXPECT_EQ(stream.GetResult(), kCXBadParameter);
}

TEST(CXStreamSSLTest, SetCapsChangesOnlyTheNonBlockingBit)
{
    CXStreamSSL stream;
    uint32_t caps = stream.GetCaps();
    stream.SetCaps(0xFFFFFFFF, 0xFFFFFFFF);
    EXPECT_EQ(stream.GetCaps(), caps | CXStream::kCapsNonBlocking);
    stream.SetCaps(0, CXStream::kCapsNonBlocking | CXStream::kCapsRead);
    EXPECT_EQ(stream.GetCaps(), caps);
}

} // namespace
