#include "win32/user/Clipboard.h"

#include "foundation/CXDebug.h"
#include "tests/win32/WindowTesting.h"
#include "win32/testing/DataObjects.h"
#include "win32/user/DragDrop.h"

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace win32test;
using Bytes = std::vector<uint8_t>;
using win32::testing::DragResult;

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

// Drag and drop: a drop target that records each call ("enter 15,25 key 1 allowed 7") and
// answers the effects of its script in turn (DROPEFFECT_COPY once the script is used up).
class RecordingTarget final : public IDropTarget {
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++count; }
    ULONG Release() override { return --count; }

    HRESULT DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override
    {
        EXPECT_EQ(data, expectedData);
        return Answer("enter", keyState, point, effect);
    }
    HRESULT DragOver(DWORD keyState, POINTL point, DWORD* effect) override
    {
        return Answer("over", keyState, point, effect);
    }
    HRESULT DragLeave() override
    {
        calls.push_back("leave");
        return S_OK;
    }
    HRESULT Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override
    {
        EXPECT_EQ(data, expectedData);
        HRESULT result = Answer("drop", keyState, point, effect);
        if (onDrop)
            onDrop();
        return result;
    }

    ULONG count = 1;
    IDataObject* expectedData = nullptr;
    std::vector<DROPEFFECT> answers;
    std::vector<std::string> calls;
    // Counts seen while a call ran.
    std::vector<ULONG> countsInCalls;
    std::function<void()> onDrop;

private:
    HRESULT Answer(const char* name, DWORD keyState, POINTL point, DWORD* effect)
    {
        calls.push_back(std::string(name) + " " + std::to_string(point.x) + "," + std::to_string(point.y) + " key " +
                        std::to_string(keyState) + " allowed " + std::to_string(*effect));
        countsInCalls.push_back(count);
        size_t index = calls.size() - 1;
        *effect = index < answers.size() ? answers[index] : DROPEFFECT_COPY;
        return S_OK;
    }
};

class DragDropTest : public WindowTest {
protected:
    // Visible, with its client area at (100, 100) to (200, 200) on the screen; the child covers
    // (150, 150) to (200, 200).
    HWND window = Create(WS_POPUP | WS_VISIBLE, nullptr, {100, 100, 200, 200});
    HWND child = Create(WS_CHILD | WS_VISIBLE, window, {50, 50, 100, 100});
    win32::testing::DataObjectRef data = win32::testing::MakeTextDrop("text");
};

TEST_F(DragDropTest, AWindowHoldsOneTargetReferencedWhileRegistered)
{
    RecordingTarget first;
    RecordingTarget second;
    EXPECT_EQ(RegisterDragDrop(nullptr, &first), E_INVALIDARG);
    EXPECT_EQ(RegisterDragDrop(window, nullptr), E_INVALIDARG);
    EXPECT_EQ(RevokeDragDrop(nullptr), E_INVALIDARG);
    EXPECT_EQ(RevokeDragDrop(window), DRAGDROP_E_NOTREGISTERED);

    ASSERT_EQ(RegisterDragDrop(window, &first), S_OK);
    EXPECT_EQ(first.count, 2u);
    EXPECT_EQ(RegisterDragDrop(window, &second), DRAGDROP_E_ALREADYREGISTERED);
    EXPECT_EQ(second.count, 1u);
    EXPECT_EQ(DropTargetAtPoint({120, 120}, nullptr), &first);
    HWND found = nullptr;
    EXPECT_EQ(DropTargetAtPoint({170, 170}, &found), &first) << "a child without a target passes to its parent";
    EXPECT_EQ(found, window);
    ASSERT_EQ(RegisterDragDrop(child, &second), S_OK);
    EXPECT_EQ(DropTargetAtPoint({170, 170}, &found), &second);
    EXPECT_EQ(found, child);
    EXPECT_EQ(DropTargetAtPoint({250, 250}, &found), nullptr);
    EXPECT_EQ(found, nullptr);

    EXPECT_EQ(RevokeDragDrop(window), S_OK);
    EXPECT_EQ(first.count, 1u);
    EXPECT_EQ(RevokeDragDrop(window), DRAGDROP_E_NOTREGISTERED);
    EXPECT_EQ(DropTargetAtPoint({120, 120}, nullptr), nullptr);

    // Destroyed while registered: the registration goes, its reference is never given back.
    CXDebugCapture capture;
    ASSERT_TRUE(DestroyWindow(child));
    EXPECT_TRUE(capture.Contains("destroyed with its drop target"));
    EXPECT_EQ(second.count, 2u);
    EXPECT_EQ(RegisterDragDrop(child, &first), DRAGDROP_E_INVALIDHWND);
    EXPECT_EQ(RevokeDragDrop(child), DRAGDROP_E_INVALIDHWND);

    HRESULT fromOtherThread = S_OK;
    std::thread other([&] { fromOtherThread = RegisterDragDrop(window, &first); });
    other.join();
    EXPECT_EQ(fromOtherThread, E_FAIL);
    EXPECT_EQ(first.count, 1u);
}

TEST_F(DragDropTest, ADragTellsTheTargetsUnderThePointerInTheSystemsOrder)
{
    struct Case {
        const char* name;
        std::vector<POINT> points;
        std::vector<DROPEFFECT> windowAnswers;
        std::vector<std::string> windowCalls;
        std::vector<std::string> childCalls;
        DragResult result;
    };
    const Case cases[] = {
        {"accepted throughout", {{110, 110}, {120, 110}, {130, 110}}, {},
         {"enter 110,110 key 9 allowed 3", "over 120,110 key 9 allowed 3", "over 130,110 key 9 allowed 3",
          "drop 130,110 key 8 allowed 3"},
         {},
         {true, DROPEFFECT_COPY}},
        {"refused at the entry and after", {{110, 110}, {120, 110}}, {DROPEFFECT_NONE, DROPEFFECT_NONE},
         {"enter 110,110 key 9 allowed 3", "over 120,110 key 9 allowed 3", "leave"}, {}, {}},
        {"accepted, then refused at the last point", {{110, 110}, {120, 110}}, {DROPEFFECT_COPY, DROPEFFECT_NONE},
         {"enter 110,110 key 9 allowed 3", "over 120,110 key 9 allowed 3", "leave"}, {}, {}},
        {"refused, then accepted", {{110, 110}, {120, 110}}, {DROPEFFECT_NONE, DROPEFFECT_MOVE},
         {"enter 110,110 key 9 allowed 3", "over 120,110 key 9 allowed 3", "drop 120,110 key 8 allowed 3"}, {},
         {true, DROPEFFECT_COPY}},
        {"in from outside, out again", {{50, 50}, {110, 110}, {250, 110}},
         {}, {"enter 110,110 key 9 allowed 3", "leave"}, {}, {}},
        {"on to the child's own target", {{110, 110}, {160, 160}},
         {}, {"enter 110,110 key 9 allowed 3", "leave"}, {"enter 160,160 key 9 allowed 3", "drop 160,160 key 8 allowed 3"},
         {true, DROPEFFECT_COPY}},
    };
    for (const Case& c : cases) {
        RecordingTarget onWindow;
        RecordingTarget onChild;
        onWindow.expectedData = onChild.expectedData = data.get();
        onWindow.answers = c.windowAnswers;
        ASSERT_EQ(RegisterDragDrop(window, &onWindow), S_OK);
        ASSERT_EQ(RegisterDragDrop(child, &onChild), S_OK);
        DragResult result = harness.Drag(data.get(), c.points, MK_CONTROL, DROPEFFECT_COPY | DROPEFFECT_MOVE);
        EXPECT_EQ(onWindow.calls, c.windowCalls) << c.name;
        EXPECT_EQ(onChild.calls, c.childCalls) << c.name;
        EXPECT_EQ(result.dropped, c.result.dropped) << c.name;
        EXPECT_EQ(result.effect, c.result.effect) << c.name;
        for (ULONG count : onWindow.countsInCalls)
            EXPECT_EQ(count, 3u) << c.name << ": the drag holds a reference while over the target";
        EXPECT_EQ(onWindow.count, 2u) << c.name;
        EXPECT_EQ(RevokeDragDrop(window), S_OK);
        EXPECT_EQ(RevokeDragDrop(child), S_OK);
        EXPECT_EQ(onChild.count, 1u) << c.name;
    }
}

TEST_F(DragDropTest, TheHarnessDataObjectAnswersItsOwnInterfacesOnly)
{
    struct Case {
        const IID& iid;
        HRESULT result;
    };
    const Case cases[] = {{IID_IUnknown, S_OK}, {IID_IDataObject, S_OK}, {IID_IDropTarget, E_NOINTERFACE}};
    for (const Case& c : cases) {
        int placeholder = 0;
        void* object = &placeholder;
        EXPECT_EQ(data->QueryInterface(c.iid, &object), c.result);
        EXPECT_EQ(object, c.result == S_OK ? static_cast<void*>(static_cast<IDataObject*>(data.get())) : nullptr);
        if (object != nullptr) {
            EXPECT_EQ(data->Release(), 1u);
        }
    }
    EXPECT_EQ(data->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(DragDropTest, ATargetRevokedByItsOwnDropLivesUntilTheDropReturns)
{
    RecordingTarget target;
    target.expectedData = data.get();
    ASSERT_EQ(RegisterDragDrop(child, &target), S_OK);
    target.onDrop = [&] {
        EXPECT_EQ(RevokeDragDrop(child), S_OK);
        EXPECT_TRUE(DestroyWindow(child));
        EXPECT_EQ(target.count, 2u);
    };
    EXPECT_TRUE(harness.Drag(data.get(), {{160, 160}}).dropped);
    EXPECT_EQ(target.count, 1u);
    EXPECT_EQ(target.calls.size(), 2u);
    EXPECT_FALSE(harness.Drag(data.get(), {{160, 160}}).dropped) << "nothing is registered there any more";
    EXPECT_FALSE(harness.Drag(data.get(), {}).dropped);
}

} // namespace
