#include "win32/services/BuiltInFileChooser.h"

#include "foundation/CXDebug.h"
#include "support/ScratchFolder.h"
#include "win32/WindowTesting.h"
#include "win32/user/Paint.h"

#include <fstream>

using namespace win32test;

namespace {

// The chooser over a scratch folder:
//   DISC.BIN  b.bin  notes.txt  sub/inner.bin
// driven from inside its loop by scripted steps.
class BuiltInFileChooserTest : public WindowTest {
protected:
    struct Row {
        std::u16string text;
        POINT centre;
    };

    BuiltInFileChooserTest()
    {
        owner = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {100, 100, 900, 700});
        for (const char* name : {"DISC.BIN", "b.bin", "notes.txt"})
            Touch(name);
        std::filesystem::create_directory(folder / "sub");
        Touch("sub/inner.bin");
    }

    void Touch(const std::string& name) { std::ofstream(folder / name) << "x"; }

    FileDialogRequest Request(const std::string& patterns = "*.bin")
    {
        FileDialogRequest request;
        request.owner = owner;
        request.title = "Open";
        request.patterns = patterns;
        request.startFolder = folder.Path();
        return request;
    }

    // Inside the loop: the chooser is the active window.
    static HWND Chooser() { return GetActiveWindow(); }

    static HWND Item(int id)
    {
        for (HWND child : Children(Chooser())) {
            if (GetWindowLongPtrW(child, GWLP_ID) == id)
                return child;
        }
        ADD_FAILURE() << "no control " << id;
        return nullptr;
    }

    // The rows the list shows now, painted afresh.
    std::vector<Row> Rows()
    {
        HWND list = Item(BuiltInFileChooser::kListId);
        harness.Texts().Clear();
        InvalidateRect(list, nullptr, FALSE);
        UpdateWindow(list);
        std::vector<Row> rows;
        for (const DrawnText& t : harness.Texts().Entries()) {
            if (t.window == list)
                rows.push_back({t.text, {(t.rect.left + t.rect.right) / 2, (t.rect.top + t.rect.bottom) / 2}});
        }
        return rows;
    }

    std::vector<std::u16string> RowTexts()
    {
        std::vector<std::u16string> texts;
        for (const Row& row : Rows())
            texts.push_back(row.text);
        return texts;
    }

    POINT RowCentre(const std::u16string& text)
    {
        for (const Row& row : Rows()) {
            if (row.text == text)
                return row.centre;
        }
        ADD_FAILURE() << "no row " << std::string(text.begin(), text.end());
        return {0, 0};
    }

    void ClickRow(const std::u16string& text) { harness.Click(Item(BuiltInFileChooser::kListId), RowCentre(text)); }
    void DoubleClickRow(const std::u16string& text)
    {
        harness.DoubleClick(Item(BuiltInFileChooser::kListId), RowCentre(text));
    }
    void ClickButton(int id) { harness.Click(Item(id), {5, 5}); }
    void Key(UINT key)
    {
        harness.KeyDown(key);
        harness.KeyUp(key);
    }
    // Replaces the field's text as the user would and presses Enter.
    void TypeInField(const std::u16string& text)
    {
        harness.Click(Item(BuiltInFileChooser::kPathFieldId), {5, 5});
        harness.Chord({VK_CONTROL}, 'A');
        harness.Type(text);
        Key(VK_RETURN);
    }

    std::string In(const std::string& name) const { return folder / name; }

    ScratchFolder folder;
    HWND owner = nullptr;
    BuiltInFileChooser chooser;
};

TEST_F(BuiltInFileChooserTest, TheListHoldsTheFoldersAndTheFilesMatchingThePatternsWithoutCase)
{
    struct Case {
        const char* patterns;
        bool folders;
        // Escape or Cancel ends it.
        bool escape;
        std::vector<std::u16string> rows;
    };
    const Case cases[] = {
        {"*.bin", false, false, {u"..", u"sub/", u"b.bin", u"DISC.BIN"}},
        {"*.TXT; *.Bin", false, true, {u"..", u"sub/", u"b.bin", u"DISC.BIN", u"notes.txt"}},
        {"", false, false, {u"..", u"sub/", u"b.bin", u"DISC.BIN", u"notes.txt"}},
        {"d?sc.*", false, false, {u"..", u"sub/", u"DISC.BIN"}},
        {"*.bin", true, true, {u"..", u"sub/"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.patterns);
        harness.Spy().Clear();
        HWND shown = nullptr;
        harness.AddStep([&] {
            shown = Chooser();
            EXPECT_EQ(GetWindow(shown, GW_OWNER), owner);
            EXPECT_EQ(RowTexts(), c.rows);
            if (c.escape)
                Key(VK_ESCAPE);
            else
                ClickButton(IDCANCEL);
        });
        std::vector<std::string> paths = {"stale"};
        std::string path = "stale";
        if (c.folders) {
            EXPECT_EQ(chooser.PickFolder(Request(c.patterns), path), kFileDialogCancelled);
            EXPECT_TRUE(path.empty());
        } else {
            EXPECT_EQ(chooser.OpenFiles(Request(c.patterns), paths), kFileDialogCancelled);
            EXPECT_TRUE(paths.empty());
        }
        EXPECT_NE(shown, owner);
        EXPECT_FALSE(IsWindow(shown));
        for (const auto& e : harness.Spy().Only({WM_ENABLE}))
            EXPECT_NE(e.hwnd, owner) << "the owner's enabled state is the caller's";
    }
    EXPECT_FALSE(harness.Deadlocked());
}

TEST_F(BuiltInFileChooserTest, ADoubleClickWalksIntoAFolderOrChoosesAFile)
{
    harness.AddStep([&] { DoubleClickRow(u"sub/"); });
    harness.AddStep([&] {
        EXPECT_EQ(RowTexts(), (std::vector<std::u16string>{u"..", u"inner.bin"}));
        DoubleClickRow(u"..");
    });
    harness.AddStep([&] { DoubleClickRow(u"DISC.BIN"); });
    std::vector<std::string> paths;
    EXPECT_EQ(chooser.OpenFiles(Request(), paths), kFileDialogChosen);
    EXPECT_EQ(paths, (std::vector<std::string>{In("DISC.BIN")}));
    EXPECT_FALSE(harness.Deadlocked());
}

TEST_F(BuiltInFileChooserTest, ATypedPathIsTakenAndOneThatDoesNotExistKeepsTheChooserOpen)
{
    harness.AddStep([&] { TypeInField(u"missing.bin"); });
    harness.AddStep([&] {
        EXPECT_EQ(Text(Item(BuiltInFileChooser::kStatusLineId)), u"\"missing.bin\" does not exist.");
        TypeInField(u"sub");
    });
    harness.AddStep([&] {
        // A typed folder is walked into.
        EXPECT_EQ(RowTexts(), (std::vector<std::u16string>{u"..", u"inner.bin"}));
        EXPECT_EQ(Text(Item(BuiltInFileChooser::kPathFieldId)), u"");
        EXPECT_EQ(Text(Item(BuiltInFileChooser::kStatusLineId)), u"");
        TypeInField(u"../b.bin");
    });
    std::vector<std::string> paths;
    EXPECT_EQ(chooser.OpenFiles(Request(), paths), kFileDialogChosen);
    EXPECT_EQ(paths, (std::vector<std::string>{In("b.bin")}));
    EXPECT_FALSE(harness.Deadlocked());
}

TEST_F(BuiltInFileChooserTest, FolderModeChoosesTheSelectedFolderOrTheCurrentOne)
{
    std::string path;
    harness.AddStep([&] { TypeInField(u"DISC.BIN"); });
    harness.AddStep([&] {
        EXPECT_EQ(Text(Item(BuiltInFileChooser::kStatusLineId)), u"\"DISC.BIN\" is not a folder.");
        ClickRow(u"sub/");
    });
    harness.AddStep([&] {
        EXPECT_EQ(Text(Item(BuiltInFileChooser::kPathFieldId)), u"sub");
        ClickButton(IDOK);
    });
    EXPECT_EQ(chooser.PickFolder(Request(), path), kFileDialogChosen);
    EXPECT_EQ(path, In("sub"));

    harness.AddStep([&] { ClickButton(IDOK); });
    EXPECT_EQ(chooser.PickFolder(Request(), path), kFileDialogChosen);
    EXPECT_EQ(path, folder.Path()) << "nothing selected: the folder shown";

    // A start folder that does not exist opens at its nearest existing ancestor.
    FileDialogRequest request = Request();
    request.startFolder = In("sub/gone/deeper");
    harness.AddStep([&] { Key(VK_RETURN); });
    EXPECT_EQ(chooser.PickFolder(request, path), kFileDialogChosen);
    EXPECT_EQ(path, In("sub"));
    EXPECT_FALSE(harness.Deadlocked());
}

TEST_F(BuiltInFileChooserTest, WithSeveralAllowedCtrlClickChoosesEachSelectedFile)
{
    FileDialogRequest request = Request("");
    request.multiple = true;
    harness.AddStep([&] {
        ClickRow(u"notes.txt");
        harness.KeyDown(VK_CONTROL);
        ClickRow(u"b.bin");
        ClickRow(u"sub/");
        harness.KeyUp(VK_CONTROL);
    });
    harness.AddStep([&] {
        EXPECT_EQ(Text(Item(BuiltInFileChooser::kPathFieldId)), u"\"sub\" \"b.bin\" \"notes.txt\"");
        ClickButton(IDOK);
    });
    std::vector<std::string> paths;
    EXPECT_EQ(chooser.OpenFiles(request, paths), kFileDialogChosen);
    EXPECT_EQ(paths, (std::vector<std::string>{In("b.bin"), In("notes.txt")})) << "files only, in list order";
}

TEST_F(BuiltInFileChooserTest, QuitTheOwnersEndAndASecondRequestEndItAsCancelledOrFailed)
{
    CXDebugCapture log;
    std::vector<std::string> paths;
    HWND shown = nullptr;

    // WM_QUIT cancels and is posted again for the loop outside.
    harness.AddStep([&] {
        shown = Chooser();
        PostQuitMessage(7);
    });
    EXPECT_EQ(chooser.OpenFiles(Request(), paths), kFileDialogCancelled);
    EXPECT_FALSE(IsWindow(shown));
    MSG quit = {};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(quit.message, WM_QUIT);
    EXPECT_EQ(quit.wParam, 7u);

    // A second request while one is open fails at once; the first goes on.
    harness.AddStep([&] {
        std::vector<std::string> inner = {"stale"};
        EXPECT_EQ(chooser.OpenFiles(Request(), inner), kFileDialogFailed);
        EXPECT_TRUE(inner.empty());
        std::string folderPath = "stale";
        EXPECT_EQ(chooser.PickFolder(Request(), folderPath), kFileDialogFailed);
        EXPECT_TRUE(folderPath.empty());
        DoubleClickRow(u"b.bin");
    });
    EXPECT_EQ(chooser.OpenFiles(Request(), paths), kFileDialogChosen);
    EXPECT_EQ(paths, (std::vector<std::string>{In("b.bin")}));
    EXPECT_EQ(log.Count("BuiltInFileChooser> a file dialog is open already"), 2u);

    // The owner's destruction takes the chooser with it.
    harness.AddStep([&] {
        shown = Chooser();
        DestroyWindow(owner);
    });
    EXPECT_EQ(chooser.OpenFiles(Request(), paths), kFileDialogCancelled);
    EXPECT_FALSE(IsWindow(shown));
    EXPECT_TRUE(paths.empty());

    // A dead owner: nothing to belong to.
    EXPECT_EQ(chooser.OpenFiles(Request(), paths), kFileDialogFailed);
    EXPECT_TRUE(harness.PumpUntilIdle());
    EXPECT_FALSE(harness.Deadlocked());
}

TEST_F(BuiltInFileChooserTest, ANameThatIsNotUTF8ShowsReplacementsAndComesBackByteForByte)
{
    const std::string name = "caf\xE9\xFF.bin";
    Touch(name);
    harness.AddStep([&] { ClickRow(u"caf\uFFFD\uFFFD.bin"); });
    harness.AddStep([&] {
        EXPECT_EQ(Text(Item(BuiltInFileChooser::kPathFieldId)), u"caf\uFFFD\uFFFD.bin");
        Key(VK_RETURN);
    });
    std::vector<std::string> paths;
    EXPECT_EQ(chooser.OpenFiles(Request(), paths), kFileDialogChosen);
    EXPECT_EQ(paths, (std::vector<std::string>{In(name)}));
}

} // namespace
