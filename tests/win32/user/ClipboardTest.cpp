#include "win32/user/Clipboard.h"

#include "tests/win32/WindowTesting.h"

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace win32test;
using Bytes = std::vector<uint8_t>;

Bytes Of(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes Of(const std::u16string& text)
{
    Bytes bytes(text.size() * 2);
    std::memcpy(bytes.data(), text.data(), bytes.size());
    return bytes;
}

HGLOBAL Block(const Bytes& bytes)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!bytes.empty())
        std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

Bytes Read(HANDLE handle)
{
    auto block = static_cast<HGLOBAL>(handle);
    Bytes bytes(GlobalSize(block));
    if (!bytes.empty())
        std::memcpy(bytes.data(), GlobalLock(block), bytes.size());
    GlobalUnlock(block);
    return bytes;
}

std::vector<UINT> Enumerated()
{
    std::vector<UINT> formats;
    for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format))
        formats.push_back(format);
    return formats;
}

class ClipboardTest : public WindowTest {
protected:
    HWND window = Create(WS_OVERLAPPEDWINDOW);
};

TEST_F(ClipboardTest, EachTextFormatIsMadeFromTheOtherWithinTheBlocksSize)
{
    struct Case {
        const char* name;
        UINT given;
        Bytes bytes;
        Bytes made;
    };
    const Case cases[] = {
        {"wide to UTF-8", CF_UNICODETEXT, Of(std::u16string(u"a\u00e9\U0001F600\0", 5)), Of(std::string("a\xc3\xa9\xf0\x9f\x98\x80\0", 8))},
        {"UTF-8 to wide", CF_TEXT, Of(std::string("a\xc3\xa9\xf0\x9f\x98\x80\0", 8)), Of(std::u16string(u"a\u00e9\U0001F600\0", 5))},
        {"wide, no terminator", CF_UNICODETEXT, Of(u"ab"), Of(std::string("ab\0", 3))},
        {"UTF-8, no terminator", CF_TEXT, Of("ab"), Of(std::u16string(u"ab\0", 3))},
        {"wide, odd size", CF_UNICODETEXT, Of(std::string("a\0b", 3)), Of(std::string("a\0", 2))},
        {"wide, one byte", CF_UNICODETEXT, Of("x"), Bytes{0}},
        {"wide, empty", CF_UNICODETEXT, Bytes{}, Bytes{0}},
        {"UTF-8, empty", CF_TEXT, Bytes{}, Bytes{0, 0}},
        {"wide, stops at a zero", CF_UNICODETEXT, Of(std::u16string(u"a\0b\0", 4)), Of(std::string("a\0", 2))},
        {"UTF-8, stops at a zero", CF_TEXT, Of(std::string("a\0b", 3)), Of(std::u16string(u"a\0", 2))},
        {"wide, lone surrogate", CF_UNICODETEXT, Of(std::u16string(u"a\xD800", 2)), Of(std::string("a?\0", 3))},
        {"UTF-8, undecodable", CF_TEXT, Of("a\xff"), Of(std::u16string(u"a?\0", 3))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(OpenClipboard(window));
        ASSERT_TRUE(EmptyClipboard());
        HGLOBAL given = Block(c.bytes);
        EXPECT_EQ(SetClipboardData(c.given, given), given);
        UINT other = c.given == CF_TEXT ? CF_UNICODETEXT : CF_TEXT;
        EXPECT_EQ(CountClipboardFormats(), 2);
        EXPECT_EQ(Enumerated(), (std::vector<UINT>{c.given, other}));
        EXPECT_EQ(GetClipboardData(c.given), given);
        HANDLE made = GetClipboardData(other);
        EXPECT_EQ(Read(made), c.made);
        EXPECT_EQ(GetClipboardData(other), made); // made once
        EXPECT_TRUE(CloseClipboard());
    }
}

TEST_F(ClipboardTest, MadeFormatsEnumerateAfterTheOnesSetAndRegisteredNamesIgnoreASCIICase)
{
    UINT soup = RegisterClipboardFormatA("Cx Soup");
    EXPECT_GE(soup, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormatW(u"cX sOUP"), soup);
    UINT other = RegisterClipboardFormatW(u"Cx Soup 2");
    EXPECT_NE(other, soup);
    EXPECT_GE(other, 0xC000u);
    EXPECT_NE(RegisterClipboardFormatW(u"\u00c9"), RegisterClipboardFormatW(u"\u00e9"));
    EXPECT_EQ(RegisterClipboardFormatA("\xc3\xa9"), RegisterClipboardFormatW(u"\u00e9"));
    EXPECT_EQ(RegisterClipboardFormatW(u""), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegisterClipboardFormatA(nullptr), 0u);
    EXPECT_EQ(RegisterClipboardFormatW(std::u16string(256, u'a').c_str()), 0u);

    ASSERT_TRUE(OpenClipboard(window));
    ASSERT_TRUE(EmptyClipboard());
    SetClipboardData(soup, Block(Of("soup")));
    SetClipboardData(CF_UNICODETEXT, Block(Of(u"t")));
    SetClipboardData(CF_HDROP, Block(Bytes(20)));
    EXPECT_EQ(CountClipboardFormats(), 4);
    EXPECT_EQ(Enumerated(), (std::vector<UINT>{soup, CF_UNICODETEXT, CF_HDROP, CF_TEXT}));
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(EnumClipboardFormats(0x1234), 0u);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_FALSE(IsClipboardFormatAvailable(other));
    EXPECT_EQ(GetClipboardData(other), nullptr);

    // Text set in the other format takes the place of the made one.
    SetClipboardData(CF_TEXT, Block(Of("own")));
    EXPECT_EQ(Enumerated(), (std::vector<UINT>{soup, CF_UNICODETEXT, CF_HDROP, CF_TEXT}));
    EXPECT_EQ(Read(GetClipboardData(CF_TEXT)), Of("own"));
    EXPECT_EQ(Read(GetClipboardData(soup)), Of("soup"));
    EXPECT_TRUE(CloseClipboard());
}

TEST_F(ClipboardTest, TheClipboardOpensOnceAtATimeAndItsDataCallsNeedItOpen)
{
    HGLOBAL kept = Block(Of("x"));
    struct Refused {
        const char* name;
        bool (*call)(HGLOBAL);
    };
    const Refused refused[] = {
        {"EmptyClipboard", [](HGLOBAL) { return EmptyClipboard() != FALSE; }},
        {"SetClipboardData", [](HGLOBAL block) { return SetClipboardData(CF_TEXT, block) != nullptr; }},
        {"GetClipboardData", [](HGLOBAL) { return GetClipboardData(CF_TEXT) != nullptr; }},
        {"EnumClipboardFormats", [](HGLOBAL) { return EnumClipboardFormats(0) != 0; }},
        {"CloseClipboard", [](HGLOBAL) { return CloseClipboard() != FALSE; }},
    };

    ASSERT_TRUE(OpenClipboard(window));
    ASSERT_TRUE(EmptyClipboard());
    HGLOBAL text = Block(Of("abc"));
    ASSERT_EQ(SetClipboardData(CF_TEXT, text), text);
    EXPECT_FALSE(OpenClipboard(window));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(OpenClipboard(nullptr));
    // The holder's calls still work after the refused open.
    EXPECT_EQ(GetClipboardData(CF_TEXT), text);
    EXPECT_EQ(Read(GetClipboardData(CF_UNICODETEXT)), Of(std::u16string(u"abc\0", 4)));
    EXPECT_TRUE(CloseClipboard());

    for (const Refused& r : refused) {
        SetLastError(0);
        EXPECT_FALSE(r.call(kept)) << r.name;
        EXPECT_EQ(GetLastError(), ERROR_CLIPBOARD_NOT_OPEN) << r.name;
    }
    EXPECT_EQ(GlobalSize(kept), 1u); // a refused set leaves the block with its giver
    EXPECT_EQ(CountClipboardFormats(), 2);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_EQ(GlobalSize(text), 3u);
    EXPECT_EQ(GlobalFree(kept), nullptr);

    HWND gone = Create(WS_OVERLAPPEDWINDOW);
    DestroyWindow(gone);
    EXPECT_FALSE(OpenClipboard(gone));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);

    BOOL fromOtherThread = TRUE;
    std::thread other([&] { fromOtherThread = OpenClipboard(nullptr); });
    other.join();
    EXPECT_FALSE(fromOtherThread);
    EXPECT_TRUE(OpenClipboard(nullptr));
    EXPECT_TRUE(CloseClipboard());
}

TEST_F(ClipboardTest, GivenBlocksBelongToTheClipboardUntilItIsEmptied)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    HGLOBAL first = Block(Of("first"));
    HGLOBAL second = Block(Of("second"));
    ASSERT_EQ(SetClipboardData(CF_TEXT, first), first);
    HANDLE made = GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(made, nullptr);
    // A new block for the format frees the old one and what was made from it.
    ASSERT_EQ(SetClipboardData(CF_TEXT, second), second);
    EXPECT_EQ(GlobalSize(first), 0u);
    EXPECT_EQ(GlobalSize(static_cast<HGLOBAL>(made)), 0u);
    EXPECT_EQ(Read(GetClipboardData(CF_UNICODETEXT)), Of(std::u16string(u"second\0", 7)));
    EXPECT_EQ(SetClipboardData(CF_TEXT, second), second); // the same block again stays
    EXPECT_EQ(GlobalSize(second), 6u);

    EXPECT_EQ(SetClipboardData(CF_TEXT, first), nullptr); // stale
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetClipboardData(CF_TEXT, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    HGLOBAL unnumbered = Block(Bytes{1});
    EXPECT_EQ(SetClipboardData(0, unnumbered), nullptr);
    EXPECT_EQ(GlobalFree(unnumbered), nullptr);
    EXPECT_EQ(GetClipboardData(CF_TEXT), second);

    ASSERT_TRUE(EmptyClipboard());
    EXPECT_EQ(GlobalSize(second), 0u);
    EXPECT_EQ(GlobalLock(second), nullptr);
    EXPECT_EQ(CountClipboardFormats(), 0);
    EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
    EXPECT_EQ(EnumClipboardFormats(0), 0u);
    EXPECT_TRUE(CloseClipboard());
}

} // namespace
