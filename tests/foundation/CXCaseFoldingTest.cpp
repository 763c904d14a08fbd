#include "foundation/CXCaseFolding.h"
#include "foundation/CXStringEdit.h"

#include <gtest/gtest.h>
#include <string>

namespace {

std::string Folded(const std::string& text)
{
    CXStringEdit edit;
    EXPECT_TRUE(edit.AppendCaseFoldedUTF8(CXStringArgument(text.data(), text.size())));
    return std::string(edit.data(), edit.length());
}

TEST(CXCaseFoldingTest, TableIsUnicode8SortedByCodePoint)
{
    const CXCaseFoldingRow& first = CaseFoldingTable[0];
    EXPECT_EQ(first.codePoint, 0x41u);
    EXPECT_EQ(first.status, uint32_t('C'));
    EXPECT_EQ(first.mapped[0], 0x61u);
    const CXCaseFoldingRow& last = CaseFoldingTable[kCaseFoldingTableRows - 1];
    EXPECT_EQ(last.codePoint, 0x118BFu);
    EXPECT_EQ(last.status, uint32_t('C'));
    EXPECT_EQ(last.mapped[0], 0x118DFu);
    EXPECT_EQ(kCaseFoldingTableRows, 1351u);
    EXPECT_EQ(sizeof(CaseFoldingTable) / sizeof(CaseFoldingTable[0]), 1351u);
    for (size_t i = 1; i < kCaseFoldingTableRows; ++i)
        ASSERT_LE(CaseFoldingTable[i - 1].codePoint, CaseFoldingTable[i].codePoint) << "row " << i;
}

TEST(CXCaseFoldingTest, FullFoldingUsesCommonAndFullRowsOnly)
{
    struct Case {
        uint32_t codePoint;
        std::string expected;
    };
    const Case cases[] = {
        {'A', "a"},
        {'z', "z"},
        {'I', "i"},                               // 'C' row, not the Turkic dotless i
        {0xC9, "\xC3\xA9"},                       // U+00E9
        {0xDF, "ss"},                             // 'F' row
        {0x130, "i\xCC\x87"},                     // 'F' row: i and U+0307, never the 'T' row
        {0x1E9E, "ss"},                           // 'F' row before its 'S' row
        {0x390, "\xCE\xB9\xCC\x88\xCC\x81"},      // three mapped code points
        {0x118A0, "\xF0\x91\xA3\x80"},            // a four-byte character
        {0x118BF, "\xF0\x91\xA3\x9F"},            // the last row
        {0x13F8, "\xE1\x8F\xB0"},                 // assigned in Unicode 8.0
        {0x1C80, "\xE1\xB2\x80"},                 // folds only in later versions: kept
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
        {0x110000, ""},
    };
    for (const Case& c : cases) {
        CXStringEdit edit;
        EXPECT_TRUE(edit.AppendCaseFolded(c.codePoint));
        EXPECT_EQ(std::string(edit.data(), edit.length()), c.expected) << std::hex << c.codePoint;
    }
}

TEST(CXCaseFoldingTest, FoldingTextKeepsUndecodableBytes)
{
    EXPECT_EQ(Folded("Stra\xC3\x9F" "E"), "strasse");
    EXPECT_EQ(Folded("A\xFF\xC3" "B"), "a\xFF\xC3" "b");
    EXPECT_EQ(Folded(std::string("X\0Y", 3)), std::string("x\0y", 3));

    CXStringEdit self;
    self.Assign("\xC3\x89t\xC3\x89");
    ASSERT_TRUE(self.AppendCaseFoldedUTF8(self)) << "a view of the builder's own text";
    EXPECT_EQ(std::string(self.data(), self.length()), "\xC3\x89t\xC3\x89\xC3\xA9t\xC3\xA9");
}

TEST(CXCaseFoldingTest, CompareNoCase)
{
    struct Case {
        std::string a;
        std::string b;
        bool asciiOnly;
        int expected;
    };
    const Case cases[] = {
        {"ABC", "abd", false, -1},
        {"abd", "ABC", false, 1},
        {"File", "fILE", false, 0},
        {"", "", false, 0},
        {"", "a", false, -1},
        {"ab", "a", false, 1},
        {"[", "a", false, -1},  // '[' (0x5B) against 'a' (0x61) after folding, not 'A'
        {"_", "A", false, -1},
        {std::string("ab\0x", 4), std::string("AB\0y", 4), false, 0},
        {std::string("ab\0x", 4), "ab", false, 0},
        {"\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9", false, 0},
        {"STRASSE", "stra\xC3\x9F" "e", false, 0},
        {"\xC3\x89", "\xC3\xA9", true, -1},
        {"\xC3\xA9", "f", false, 1},
        {"\xFF", "\xFF", false, 0},
    };
    for (const Case& c : cases) {
        CXStringArgument a(c.a.data(), c.a.size());
        CXStringArgument b(c.b.data(), c.b.size());
        EXPECT_EQ(a.CompareNoCase(b, c.asciiOnly), c.expected)
            << testing::PrintToString(c.a) << " vs " << testing::PrintToString(c.b);
        if (!c.asciiOnly) {
            EXPECT_EQ(EqualsNoCase(a, b), c.expected == 0) << testing::PrintToString(c.a);
        }
    }
    EXPECT_TRUE(CXString("HKLM").EqualsNoCase("hklm"));
    EXPECT_FALSE(CXString("HKLM").EqualsNoCase("hkcu"));
}

} // namespace
