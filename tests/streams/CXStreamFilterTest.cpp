#include "streams/CXStreamFilter.h"
#include "streams/CXStreamMemory.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace {

// Every match position of the pattern in the text, searching until the end.
std::vector<int64_t> Matches(const std::string& pattern, const std::string& text)
{
    CXStreamStaticBuffer stream;
    EXPECT_TRUE(stream.OpenReadOnly(text.data(), text.size()));
    CXStreamStringFilter filter(CXString(pattern.data(), pattern.size()));
    filter.SetStream(&stream);
    std::vector<int64_t> positions;
    while (CXStreamFilter::FilterMatch* match = filter.Search()) {
        positions.push_back(match->GetPosition());
        if (pattern.empty())
            break;
    }
    return positions;
}

TEST(CXStreamFilterTest, FindsAByteString)
{
    struct Case {
        const char* pattern;
        const char* text;
        std::vector<int64_t> positions;
    };
    const Case cases[] = {
        {"ab", "xxab", {2}},
        {"ab", "xxa", {}},
        {"q", "xxab", {}},
        {"ab", "abxab", {0, 3}},
        {"aab", "aaab", {1}},
        {"aa", "aaaa", {0, 2}}, // a search starts afresh after a match
        {"abc", "ab", {}},
        {"", "xyz", {0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Matches(c.pattern, c.text), c.positions) << c.pattern << " in " << c.text;
}

TEST(CXStreamFilterTest, MatchesGoWithTheStreamOrTheCaller)
{
    CXStreamStaticBuffer stream;
    const std::string text = "--ab--ab";
    ASSERT_TRUE(stream.OpenReadOnly(text.data(), text.size()));
    stream.Seek(1, CXStream::kSeekSet);
    CXStreamStringFilter filter("ab");
    filter.SetStream(&stream);
    CXStreamFilter::FilterMatch* first = filter.Search();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetPosition(), 2) << "counted from where the stream stood";
    delete first; // leaves the filter's list
    CXStreamFilter::FilterMatch* second = filter.Search();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->GetPosition(), 6);
    filter.SetStream(nullptr); // deletes the kept match
    EXPECT_EQ(filter.Search(), nullptr);
}

} // namespace
