#include "foundation/CXDebug.h"
#include "foundation/CXSafeCast.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(CXDebugTest, LongMessagesAreNeverCut)
{
    std::string body(10000, 'x');
    CXDebugCapture capture;
    CXDebugLog("Test::Long> %s|end", body.c_str());
    CXDebugError("Test::Long> %d %s", 42, body.c_str());
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "Test::Long> " + body + "|end");
    EXPECT_FALSE(lines[0].isError);
    EXPECT_EQ(lines[1].text, "Test::Long> 42 " + body);
    EXPECT_TRUE(lines[1].isError);
}

TEST(CXDebugTest, ErrorReturnsWhenNoDebuggerStops)
{
    // The test entry point turns breaking off; with no debugger attached it would not break anyway.
    EXPECT_FALSE(CXDebugIsBreakEnabled());
    CXDebugCapture capture;
    CXDebugError("Test::Error> value %d", 7);
    DebugBreakIfAttached();
    EXPECT_EQ(capture.Count("Test::Error> value 7"), 1u);
}

TEST(CXDebugTest, LinesFromManyThreadsStayWhole)
{
    CXDebugCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i)
                CXDebugLog("Test::Threads> thread %d line %d %s", t, i, std::string(600, 'a' + t).c_str());
        });
    for (auto& thread : threads)
        thread.join();
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 800u);
    for (const auto& line : lines) {
        char letter = line.text.back();
        EXPECT_EQ(line.text.find_first_not_of(letter, line.text.size() - 600), std::string::npos);
    }
}

struct Base {
    virtual ~Base() = default;
};
struct Derived : Base {};
struct Other : Base {};

TEST(CXDebugTest, SafeCastVerifiesAndNamesTypes)
{
    Derived derived;
    Other other;
    Base* base = &derived;
    {
        CXDebugCapture capture;
        EXPECT_EQ(cx_safe_cast<Derived>(base), &derived);
        EXPECT_TRUE(capture.Lines().empty());
    }
    {
        // A wrong cast is reported with both type names and gives null, never a bad pointer.
        CXDebugCapture capture;
        Base* wrong = &other;
        EXPECT_EQ(cx_safe_cast<Derived>(wrong), nullptr);
        auto lines = capture.Lines();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0].text, "cx_safe_cast<> failed");
        EXPECT_TRUE(lines[0].isError);
        EXPECT_EQ(lines[1].text, "cx_safe_cast> cast from 'class (anonymous namespace)::Other' to 'class (anonymous namespace)::Derived' failed");
    }
}

// U holds two Base subobjects: the static cast from the direct one assumes it sits inside a T and
// lands on the wrong address, while the dynamic cast finds U's T.
struct T1 : Base {};
struct B2 : Base {};
struct U : T1, B2 {};

TEST(CXDebugTest, SafeCastReportsAMisleadingStaticCast)
{
    U u;
    Base* direct = static_cast<Base*>(static_cast<B2*>(&u));
    CXDebugCapture capture;
    T1* result = cx_safe_cast<T1>(direct);
    EXPECT_EQ(result, static_cast<T1*>(&u));
    EXPECT_EQ(capture.Count("cx_safe_cast> static cast from 'class (anonymous namespace)::U' to 'class (anonymous namespace)::T1' failed"), 1u);
}

TEST(CXDebugTest, TypeNamesOfNonClassTypes)
{
    EXPECT_EQ(CXTypeName(typeid(int)), "int");
    EXPECT_EQ(CXTypeName(typeid(Derived)), "class (anonymous namespace)::Derived");
}

} // namespace
