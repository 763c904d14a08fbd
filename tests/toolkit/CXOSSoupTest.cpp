#include "toolkit/CXOSSoup.h"

#include "ToolkitWindowTesting.h"
#include "win32/testing/DataObjects.h"
#include "win32/user/Clipboard.h"

#include <cstring>
#include <string>
#include <vector>

namespace toolkittest {
namespace {

using win32::testing::DataObjectRef;
using win32::testing::FileListBlock;
using win32::testing::MakeDataObject;
using win32::testing::MakeFileDrop;
using win32::testing::MakeTextDrop;

using Bytes = std::vector<uint8_t>;

struct Read {
    CXResultCode result;
    std::string bytes;
};

// GetData into a buffer of capacity bytes (filled with 'x' first), kept whole.
Read ReadData(const CXOSSoup& soup, int32_t item, const char* flavour, size_t capacity = 64)
{
    std::string buffer(capacity, 'x');
    CXResultCode result = soup.GetData(item, flavour, buffer.data(), capacity);
    return {result, buffer};
}

// The first length bytes of a buffer of capacity bytes as the soup filled it.
std::string Filled(const std::string& bytes, size_t capacity = 64)
{
    std::string buffer(capacity, '\0');
    std::memcpy(buffer.data(), bytes.data(), bytes.size());
    return buffer;
}

Bytes Utf16Bytes(const std::u16string& units)
{
    Bytes bytes(units.size() * 2);
    std::memcpy(bytes.data(), units.data(), bytes.size());
    return bytes;
}

Bytes RegisteredBlock(uint32_t field, const std::string& bytes)
{
    Bytes block(4 + bytes.size());
    std::memcpy(block.data(), &field, 4);
    std::memcpy(block.data() + 4, bytes.data(), bytes.size());
    return block;
}

// Puts a block of exactly these bytes on the clipboard under the format.
void SetRawClipboard(UINT format, const Bytes& bytes)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    ASSERT_NE(block, nullptr);
    if (!bytes.empty()) {
        std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
    }
    ASSERT_NE(SetClipboardData(format, block), nullptr);
    ASSERT_TRUE(CloseClipboard());
}

class CXOSSoupTest : public WindowElementTest {};

TEST_F(CXOSSoupTest, TextTravelsWithCRLFOnTheClipboardAndLFInside)
{
    CXUIWindow* window = MakeWindow();
    {
        CXOSSoupClipboard soup(true);
        soup.PutData(0, "TEXT", "a\nb", 3);
    }
    ASSERT_TRUE(OpenClipboard(nullptr));
    auto block = static_cast<HGLOBAL>(GetClipboardData(CF_UNICODETEXT));
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(GlobalSize(block), 10u);
    EXPECT_EQ(std::memcmp(GlobalLock(block), u"a\r\nb", 10), 0);
    GlobalUnlock(block);
    ASSERT_TRUE(CloseClipboard());

    CXOSSoupClipboard soup(false);
    EXPECT_EQ(soup.GetItemCount(), 1);
    EXPECT_TRUE(soup.HasFlavour(0, "TEXT"));
    EXPECT_EQ(soup.GetFlavourName(0, 0), "TEXT");
    EXPECT_EQ(soup.GetDataSize(0, "TEXT"), 3u);
    Read read = ReadData(soup, 0, "TEXT");
    EXPECT_EQ(read.result, kCXOK);
    EXPECT_EQ(read.bytes, Filled("a\nb"));

    // Cut to the buffer; other items have nothing.
    read = ReadData(soup, 0, "TEXT", 2);
    EXPECT_EQ(read.result, -6);
    EXPECT_EQ(read.bytes, "a\n");
    EXPECT_EQ(ReadData(soup, 1, "TEXT").result, kCXNotFound);
    EXPECT_EQ(soup.GetDataSize(1, "TEXT"), 0u);
    EXPECT_EQ(soup.GetData(0, "TEXT", nullptr, 4), kCXBadParameter);
    window->Destroy();
}

TEST_F(CXOSSoupTest, NarrowTextOfAnotherProgramIsText)
{
    SetRawClipboard(CF_TEXT, {'x', '\r', '\n', 'y', 0});
    CXOSSoupClipboard soup(false);
    EXPECT_TRUE(soup.HasFlavour(0, "TEXT"));
    EXPECT_EQ(ReadData(soup, 0, "TEXT").bytes, Filled("x\ny"));
}

TEST_F(CXOSSoupTest, RegisteredFlavourRoundTrip)
{
    const std::string bytes("\x01\x00\x02\xff", 4);
    {
        CXOSSoupClipboard soup(true);
        soup.PutData(0, "Cx Layout", bytes.data(), bytes.size());
        soup.PutData(0, "", "lost", 4);
        soup.PutData(1, "Cx Other", "lost", 4);
    }
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(CountClipboardFormats(), 1);
    auto block = static_cast<HGLOBAL>(GetClipboardData(RegisterClipboardFormatA("Cx Layout")));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 8u);
    ASSERT_TRUE(CloseClipboard());

    CXOSSoupClipboard soup(false);
    EXPECT_EQ(soup.GetDataSize(0, "Cx Layout"), 4u);
    Read read = ReadData(soup, 0, "Cx Layout");
    EXPECT_EQ(read.result, kCXOK);
    EXPECT_EQ(read.bytes, Filled(bytes));
    EXPECT_EQ(ReadData(soup, 0, "Cx Other").result, kCXNotFound);
    EXPECT_FALSE(soup.HasFlavour(0, "TEXT"));
}

TEST_F(CXOSSoupTest, DamagedClipboardBlocksGiveNothingAndAreNeverOverread)
{
    const UINT registered = RegisterClipboardFormatA("Cx Block");
    struct Case {
        std::string name;
        UINT format;
        Bytes block;
        size_t size;
        CXResultCode result;
        std::string data;
    };
    const std::vector<Case> cases = {
        {"text of 0 bytes", CF_UNICODETEXT, {}, 0, kCXSystemError, ""},
        {"text of 1 byte", CF_UNICODETEXT, {'a'}, 0, kCXOK, ""},
        {"text ends at its first zero", CF_UNICODETEXT, Utf16Bytes(std::u16string(u"ab\0cd\0", 6)), 2, kCXOK, "ab"},
        {"text without a zero", CF_UNICODETEXT, Utf16Bytes(u"abc"), 3, kCXOK, "abc"},
        {"text with an odd byte", CF_UNICODETEXT, {'a', 0, 'b', 0, 'c'}, 2, kCXOK, "ab"},
        {"registered of 3 bytes", registered, {3, 0, 0}, 0, kCXSystemError, ""},
        {"registered length past the end", registered, RegisteredBlock(6, "12345"), 0, kCXSystemError, ""},
        {"registered length all ones", registered, RegisteredBlock(0xFFFFFFFF, "1234"), 0, kCXSystemError, ""},
        {"registered length exact", registered, RegisteredBlock(5, "12345"), 5, kCXOK, "12345"},
        {"registered block longer", registered, RegisteredBlock(2, "12345"), 2, kCXOK, "12"},
        {"registered empty", registered, RegisteredBlock(0, ""), 0, kCXOK, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetRawClipboard(c.format, c.block);
        CXOSSoupClipboard soup(false);
        const char* flavour = c.format == CF_UNICODETEXT ? "TEXT" : "Cx Block";
        EXPECT_EQ(soup.GetDataSize(0, flavour), c.size);
        Read read = ReadData(soup, 0, flavour);
        EXPECT_EQ(read.result, c.result);
        EXPECT_EQ(read.bytes, Filled(c.data));
    }
}

Bytes DropFilesHead(uint32_t offset, bool wide)
{
    DROPFILES head = {};
    head.pFiles = offset;
    head.fWide = wide ? TRUE : FALSE;
    Bytes block(sizeof(head));
    std::memcpy(block.data(), &head, sizeof(head));
    return block;
}

Bytes operator+(Bytes head, const Bytes& tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

TEST_F(CXOSSoupTest, DragsOfFilesAndText)
{
    const uint32_t kHead = sizeof(DROPFILES);
    struct Item {
        std::vector<std::string> flavours;
        std::string filepath; // with its terminator
        std::string text;
    };
    struct Case {
        std::string name;
        DataObjectRef data;
        std::vector<Item> items;
    };
    std::vector<Case> cases;
    const std::vector<std::string> names = {"C:/Spiele/\xc3\x84.dat", "Z:/tmp/b"};
    const std::vector<Item> twoFiles = {{{"filepath"}, names[0] + '\0', ""}, {{"filepath"}, names[1] + '\0', ""}};
    cases.push_back({"wide names", MakeFileDrop(names, true), twoFiles});
    cases.push_back({"narrow names", MakeFileDrop(names, false), twoFiles});
    cases.push_back({"text", MakeTextDrop("a\r\nb"), {{{"filepath", "TEXT"}, std::string("a\r\nb\0", 5), "a\nb"}}});
    // A file list wins over text.
    cases.push_back({"files and text",
                     MakeDataObject({{CF_TEXT, {'t', 0}}, {CF_HDROP, FileListBlock({"Z:/x"}, true)}}),
                     {{{"filepath"}, std::string("Z:/x\0", 5), ""}}});
    // Damaged blocks are read within their bounds.
    cases.push_back({"head cut short", MakeDataObject({{CF_HDROP, Bytes(kHead - 1, 0)}}), {}});
    cases.push_back({"names past the block", MakeDataObject({{CF_HDROP, DropFilesHead(kHead + 3, false) + Bytes{'a', 0}}}), {}});
    Bytes overlapping = DropFilesHead(12, false) + Bytes{0};
    overlapping[12] = 'a'; // fNC, read as a name were the list allowed to start there
    cases.push_back({"names inside the head", MakeDataObject({{CF_HDROP, overlapping}}), {}});
    cases.push_back({"unterminated narrow name",
                     MakeDataObject({{CF_HDROP, DropFilesHead(kHead, false) + Bytes{'a', 0, 'b', 'c'}}}),
                     {{{"filepath"}, std::string("a\0", 2), ""}}});
    cases.push_back({"unterminated wide name",
                     MakeDataObject({{CF_HDROP, DropFilesHead(kHead, true) + Bytes{'a', 0, 0, 0, 'b', 0, 0}}}),
                     {{{"filepath"}, std::string("a\0", 2), ""}}});
    cases.push_back({"unterminated text", MakeDataObject({{CF_TEXT, {'a', '\r', 'b'}}}),
                     {{{"filepath", "TEXT"}, std::string("a\rb\0", 4), "a\nb"}}});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            CXOSSoupDrag soup(c.data.get());
            ASSERT_EQ(soup.GetItemCount(), static_cast<int32_t>(c.items.size()));
            for (size_t i = 0; i < c.items.size(); ++i) {
                SCOPED_TRACE(i);
                const Item& item = c.items[i];
                int32_t index = static_cast<int32_t>(i);
                std::vector<std::string> flavours;
                for (int32_t f = 0; f < soup.GetFlavourCount(index); ++f)
                    flavours.push_back(soup.GetFlavourName(index, f).c_str());
                EXPECT_EQ(flavours, item.flavours);
                EXPECT_EQ(soup.GetFlavourName(index, static_cast<int32_t>(flavours.size())), "");
                EXPECT_EQ(soup.GetDataSize(index, "filepath"), item.filepath.size());
                Read read = ReadData(soup, index, "filepath", item.filepath.size());
                EXPECT_EQ(read.result, kCXOK);
                EXPECT_EQ(read.bytes, item.filepath);
                EXPECT_EQ(soup.HasFlavour(index, "TEXT"), !item.text.empty());
                EXPECT_EQ(soup.GetDataSize(index, "TEXT"), item.text.size());
                if (!item.text.empty()) {
                    EXPECT_EQ(ReadData(soup, index, "TEXT").bytes, Filled(item.text));
                }
            }
            // Past the last item: a file list answers size 1 and -7; no item offers "TEXT".
            int32_t past = static_cast<int32_t>(c.items.size());
            EXPECT_EQ(ReadData(soup, past, "filepath").result, kCXNotFound);
            EXPECT_EQ(ReadData(soup, past, "TEXT").result, kCXNotFound);
            EXPECT_FALSE(soup.HasFlavour(past, "TEXT"));
        }
        EXPECT_EQ(c.data->LiveBlocks(), 0u) << "every medium given back";
    }
}

TEST_F(CXOSSoupTest, DragAnswersForCutsOtherFlavoursAndNoData)
{
    DataObjectRef files = MakeFileDrop({"C:/abc"});
    CXOSSoupDrag soup(files.get());
    EXPECT_EQ(soup.GetDataSize(2, "filepath"), 1u);
    Read read = ReadData(soup, 0, "filepath", 3);
    EXPECT_EQ(read.result, -6);
    EXPECT_EQ(read.bytes, std::string("C:\0", 3));
    EXPECT_EQ(soup.GetData(0, "filepath", nullptr, 8), kCXBadParameter);
    EXPECT_EQ(ReadData(soup, 0, "filepath", 0).result, kCXBadParameter);
    EXPECT_EQ(ReadData(soup, 0, "Cx Other").result, kCXBadParameter);
    EXPECT_EQ(soup.GetDataSize(0, "Cx Other"), 0u);

    // Dropped text cut to the buffer still counts as given.
    DataObjectRef text = MakeTextDrop("hello");
    CXOSSoupDrag textSoup(text.get());
    read = ReadData(textSoup, 0, "filepath", 3);
    EXPECT_EQ(read.result, kCXOK);
    EXPECT_EQ(read.bytes, std::string("he\0", 3));
    read = ReadData(textSoup, 0, "TEXT", 3);
    EXPECT_EQ(read.result, -6);
    EXPECT_EQ(read.bytes, "hel");

    DataObjectRef empty = MakeTextDrop("");
    CXOSSoupDrag emptySoup(empty.get());
    EXPECT_EQ(emptySoup.GetItemCount(), 0);
    EXPECT_FALSE(emptySoup.HasFlavour(0, "TEXT"));

    CXOSSoupDrag none(nullptr);
    EXPECT_EQ(none.GetItemCount(), 0);
    EXPECT_EQ(none.GetFlavourCount(0), 0);
    EXPECT_EQ(none.GetDataSize(0, "filepath"), 0u);
}

} // namespace
} // namespace toolkittest
