#include "toolkit/CXMenu.h"

#include "ToolkitWindowTesting.h"
#include "foundation/CXDebug.h"
#include "foundation/CXMessagePost.h"
#include "foundation/CXTextEncoding.h"
#include "foundation/CXTime.h"
#include "toolkit/UIMessageLoop.h"
#include "win32/user/Menu.h"
#include "win32/user/User.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace toolkittest {
namespace {

// The target of the test's menus. Every message is recorded as a line: "prepareclick",
// "update-command-status(<command>)", or "<name>#<integer>" (status queries by index, commands,
// "menu-select"). Status queries are answered from `status` (key: the command name, or "#<index>"
// for an item without one; -2 when not listed), everything else with commandAnswer.
class RecordingTarget : public CXMessageTarget {
public:
    CXResultCode HandleMessage(const CXMessage& message) override
    {
        EXPECT_NE(dynamic_cast<CXMenu*>(message.GetSource()), nullptr) << message.GetName().c_str();
        const std::string name = message.GetName().c_str();
        std::string key = "#" + std::to_string(message.GetInteger());
        if (name == "update-command-status")
            key = message.GetFirstArgument().c_str();
        seen.push_back(name == "prepareclick"            ? name
                       : name == "update-command-status" ? name + "(" + key + ")"
                                                         : name + key);
        if (during)
            during(message);
        if (name == "prepareclick")
            return kCXNotSupported;
        if (name == "update-command-status" || name == "update-menu-status") {
            auto answer = status.find(key);
            return answer != status.end() ? answer->second : kCXNotSupported;
        }
        return commandAnswer;
    }

    // The lines of chosen items only: no "prepareclick", no status queries.
    std::vector<std::string> Chosen() const
    {
        std::vector<std::string> chosen;
        for (const std::string& line : seen) {
            if (line != "prepareclick" && line.rfind("update-", 0) != 0)
                chosen.push_back(line);
        }
        return chosen;
    }
    size_t Count(const std::string& line) const { return static_cast<size_t>(std::count(seen.begin(), seen.end(), line)); }

    std::vector<std::string> seen;
    std::map<std::string, CXResultCode> status;
    CXResultCode commandAnswer = kCXOK;
    std::function<void(const CXMessage&)> during;
};

// One native item read back.
struct NativeItem {
    std::u16string text;
    UINT type = 0;
    UINT state = 0;
    UINT id = 0;
    HMENU subMenu = nullptr;
};

NativeItem ReadItem(HMENU menu, UINT position)
{
    char16_t text[128] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 127;
    EXPECT_TRUE(GetMenuItemInfoW(menu, position, TRUE, &info)) << "item " << position;
    return {text, info.fType, info.fState, info.wID, info.hSubMenu};
}

class CXMenuTest : public WindowElementTest {
protected:
    void TearDown() override
    {
        if (window != nullptr)
            window->Destroy();
        CXMenu::ReleaseAllMenus();
        CXMessagePostTask::DeleteSingleton();
        WindowElementTest::TearDown();
    }

    CXMenu* MakeMenu(const char* title, int32_t kind)
    {
        auto* menu = new CXMenu(&target);
        menu->SetTitle(title);
        if (kind == CXMenu::kMenuBar)
            menu->AddToMenuBar();
        else if (kind == CXMenu::kHierarchical)
            menu->SetHierarchical();
        return menu;
    }

    // The bar of the tests that choose: "F&ile" (Close, Ctrl+W) and "Edit" (Undo Ctrl+Z, Redo
    // Ctrl+Shift+Z, a separator, "Find" opening a sub-menu with "Find Next" Ctrl+G, "Copy" Ctrl+C);
    // then "Tools" ("Copy Again" Ctrl+C, "Secret" Ctrl+H with its text hidden, "Plain" without a
    // command).
    void MakeMenuBar()
    {
        file = MakeMenu("F&ile", CXMenu::kMenuBar);
        file->AddCommandItem("Close", "close", 'W');
        edit = MakeMenu("Edit", CXMenu::kMenuBar);
        edit->AddCommandItem("Undo", "edit-undo", 'Z');
        edit->AddCommandItem("Redo", "edit-redo", CXMenu::kShortcutShift | 'Z');
        edit->AddCommandItem("-", "", 0);
        auto find = std::make_unique<CXMenu>(&target);
        find->SetHierarchical();
        find->AddCommandItem("Find Next", "find-next", 'G');
        edit->AddMenuItem("Find", std::move(find));
        edit->AddCommandItem("Copy", "edit-copy", 'C');
        tools = MakeMenu("Tools", CXMenu::kMenuBar);
        tools->AddCommandItem("Copy Again", "copy-again", 'C');
        tools->AddCommandItem("Secret", "secret", CXMenu::kShortcutHidden | 'H');
        tools->AddCommandItem("Plain", "", 0);
    }

    HWND Hwnd() const { return window->GetNativeHandle(); }
    HMENU Bar() const { return GetMenu(Hwnd()); }

    // Turns the main loop while anything is ready, without waiting.
    void TurnWhileReady()
    {
        MSG message = {};
        for (int i = 0; i < 200 && PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); ++i)
            ASSERT_TRUE(loop.Turn());
    }

    void ClickItem(HMENU menu, UINT position)
    {
        RECT rect = {};
        ASSERT_TRUE(GetMenuItemRect(Hwnd(), menu, position, &rect)) << "item " << position;
        harness.Click(CenterOf(rect));
    }

    // Opens the bar's drop-down `top` with a click in the bar; each step then runs in the menu's
    // loop, given the drop-down as it is then (the loop's refresh builds it afresh). The loop turns
    // until nothing is left.
    void ChooseInBar(UINT top, std::vector<std::function<void(HMENU)>> steps)
    {
        ClickItem(Bar(), top);
        for (auto& step : steps)
            harness.AddStep([this, top, step] { step(GetSubMenu(Bar(), static_cast<int>(top))); });
        TurnWhileReady();
    }

    RecordingTarget target;
    CXUIWindow* window = nullptr;
    UIMessageLoop loop;
    CXMenu* file = nullptr;
    CXMenu* edit = nullptr;
    CXMenu* tools = nullptr;
};

TEST_F(CXMenuTest, NativeItemTextShowsTheTitleLiterallyAndTheShortcutAfterATab)
{
    struct Case {
        const char* title;
        uint32_t shortcut;
        const char* text;
    };
    const Case cases[] = {
        {"Save & Exit", 0, "Save && Exit"},
        {"&&", 0, "&&&&"},
        {"a\tb", 'W', "a b\tCtrl+W"},
        {"\x01line\nbreak\x1F", 0, " line break "},
        {"Redo", 0x1005A, "Redo\tCtrl+Shift+Z"},
        {"Close", 87, "Close\tCtrl+W"},
        {"Delete", 46, "Delete\tCtrl+Delete"},
        {"Both", CXMenu::kShortcutShift | CXMenu::kShortcutAlt | 'B', "Both\tCtrl+Shift+Alt+B"},
        {"Hidden", 0x40000, "Hidden"},
        {"Hidden key", CXMenu::kShortcutHidden | 'H', "Hidden key"},
        {"Wide", 0xE9, "Wide\tCtrl+\xC3\xA9"},
        {"-", 0, "-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "\"" << c.title << "\" " << c.shortcut);
        EXPECT_STREQ(CXMenu::NativeItemText(c.title, c.shortcut).c_str(), c.text);
    }
}

TEST_F(CXMenuTest, ItemsAndTheMessagesThatCarryTheirIndex)
{
    CXMenu* menu = MakeMenu("M", CXMenu::kHierarchical);
    EXPECT_EQ(menu->AddCommandItem("Open", "open", 'O'), 0);
    EXPECT_EQ(menu->AddCommandItem("No command", "", 0), 1);
    EXPECT_EQ(menu->AddMenuItem("Nothing below", nullptr), 2);
    EXPECT_EQ(menu->GetItemCount(), 3);
    EXPECT_STREQ(menu->GetItemCommandName(0).c_str(), "open");
    EXPECT_EQ(menu->GetItemCommand(0)->GetSource(), menu);
    EXPECT_EQ(menu->GetItemCommand(1), nullptr);
    EXPECT_EQ(menu->GetItemCommand(7), nullptr);
    EXPECT_STREQ(menu->GetItemTitle(-1).c_str(), "");
    EXPECT_EQ(menu->FindItemByTitle("No command"), 1);
    EXPECT_EQ(menu->FindItemByTitle("None"), -1);
    EXPECT_EQ(menu->GetDelegate(), &target);
    EXPECT_STREQ(menu->GetName().c_str(), "M");

    EXPECT_TRUE(menu->SelectItem(1));
    EXPECT_TRUE(menu->SelectItem(2));
    EXPECT_TRUE(menu->SelectItem(9));
    target.commandAnswer = -1;
    EXPECT_FALSE(menu->SelectItem(1));
    menu->UpdateAllItemStatus();
    EXPECT_EQ(target.seen, (std::vector<std::string>{"open#0", "menu-select#1", "menu-select#8", "open#0",
                                                     "update-command-status(open)", "update-menu-status#1",
                                                     "update-menu-status#2"}));

    // Without a target nothing is handled.
    CXMenu orphan(nullptr);
    orphan.AddCommandItem("Open", "open", 0);
    EXPECT_FALSE(orphan.SelectItem(1));
}

TEST_F(CXMenuTest, StatusAnswersEnableLeaveOrDisable)
{
    struct Case {
        CXResultCode answer;
        bool enabledBefore;
        bool enabledAfter;
    };
    const Case cases[] = {{0, false, true}, {0, true, true},   {-2, false, false}, {-2, true, true},
                          {-11, true, false}, {-1, true, false}, {5, true, false}};
    CXMenu* menu = MakeMenu("M", CXMenu::kHierarchical);
    menu->AddCommandItem("Copy", "edit-copy", 0);
    menu->AddCommandItem("Plain", "", 0);
    for (const Case& c : cases) {
        for (int32_t index : {0, 1}) {
            SCOPED_TRACE(::testing::Message() << "answer " << c.answer << ", item " << index);
            menu->SetItemEnabled(index, c.enabledBefore);
            target.status = {{"edit-copy", c.answer}, {"#1", c.answer}};
            menu->UpdateItemStatus(index + 1);
            EXPECT_EQ(menu->IsItemEnabled(index), c.enabledAfter);
        }
    }
}

TEST_F(CXMenuTest, SubMenusCannotChangeWhileTheMenusRefresh)
{
    CXMenu* menu = MakeMenu("M", CXMenu::kHierarchical);
    menu->AddCommandItem("Open", "open", 0);
    menu->AddMenuItem("More", std::make_unique<CXMenu>(&target));
    CXMenu* flat = MakeMenu("Flat", CXMenu::kHierarchical);
    flat->AddCommandItem("One", "one", 0);

    CXDebugCapture capture;
    std::vector<int32_t> added;
    bool once = true;
    target.during = [&](const CXMessage& message) {
        if (message.GetSource() != menu || message.GetName() != "prepareclick" || !once)
            return;
        once = false;
        added.push_back(menu->AddMenuItem("Sub", std::make_unique<CXMenu>(&target)));
        added.push_back(menu->AddMenuItem("No sub", nullptr));
        menu->Clear();
        flat->Clear();
        CXMenu::RefreshMenus();
    };
    CXMenu::RefreshMenus();
    EXPECT_EQ(added, (std::vector<int32_t>{-1, 2}));
    EXPECT_EQ(menu->GetItemCount(), 3);
    EXPECT_EQ(flat->GetItemCount(), 0);
    EXPECT_EQ(capture.Count("CXMenu::AddMenuItem> don't add/remove sub-menus from a menu update delegate"), 1u);
    EXPECT_EQ(capture.Count("CXMenu::Clear> don't add/remove sub-menus from a menu update delegate"), 1u);
    // The nested refresh is reported and still runs.
    EXPECT_EQ(capture.Count("[NSMenuRaza menuNeedsUpdate:]> recursion"), 1u);
    EXPECT_EQ(target.Count("update-command-status(open)"), 2u);

    // Outside a refresh both go through.
    target.during = nullptr;
    EXPECT_EQ(menu->AddMenuItem("Sub", std::make_unique<CXMenu>(&target)), 3);
    menu->Clear();
    EXPECT_EQ(menu->GetItemCount(), 0);
}

TEST_F(CXMenuTest, MisplacedMenusAreReportedAndEmptyMenusNeverTracked)
{
    window = MakeWindow();
    CXDebugCapture capture;
    CXMenu* bar = MakeMenu("Bar", CXMenu::kMenuBar);
    bar->AddToMenuBar();
    bar->SetHierarchical();
    EXPECT_EQ(bar->GetKind(), CXMenu::kHierarchical);
    EXPECT_EQ(capture.Count("CXMenu::AddToMenuBar> Menu already in use"), 1u);
    EXPECT_EQ(capture.Count("CXMenu::SetHierarchical> Menu already in use"), 1u);

    CXMenu* unplaced = MakeMenu("Unplaced", CXMenu::kUnplaced);
    CXMenu* empty = MakeMenu("Empty", CXMenu::kHierarchical);
    harness.Spy().Clear();
    EXPECT_EQ(unplaced->TrackAsContextualMenu({10, 10}), -1);
    EXPECT_EQ(empty->TrackAsContextualMenu({10, 10}), -1);
    EXPECT_EQ(capture.Count("CXMenu::TrackAsContextualMenu> Menu not heirarchical"), 1u);
    EXPECT_TRUE(harness.Spy().Only({WM_ENTERMENULOOP}).empty());
    EXPECT_TRUE(target.seen.empty());
}

TEST_F(CXMenuTest, MenuBarReadBack)
{
    file = MakeMenu("F&ile && More", CXMenu::kMenuBar);
    file->AddCommandItem("Save & Exit", "save-exit", 'S');
    file->AddCommandItem("-", "", 'X');
    file->AddCommandItem("-", "", 0);
    file->AddMenuItem("Recent", std::make_unique<CXMenu>(&target));
    MakeMenu("Context", CXMenu::kHierarchical)->AddCommandItem("Never in the bar", "never", 0);
    edit = MakeMenu("Edit", CXMenu::kMenuBar);
    edit->AddCommandItem("Undo", "edit-undo", 'Z');
    edit->SetItemEnabled(0, false);
    window = MakeWindow();

    HMENU bar = Bar();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    const NativeItem fileItem = ReadItem(bar, 0);
    EXPECT_EQ(fileItem.text, u"F&&ile &&&& More");
    EXPECT_EQ(fileItem.id, 100u);
    EXPECT_TRUE(file->OwnsNativeMenu(fileItem.subMenu));
    EXPECT_EQ(ReadItem(bar, 1).text, u"Edit");

    struct Expected {
        const char16_t* text;
        UINT type;
        UINT state;
        bool subMenu;
    };
    const Expected fileItems[] = {{u"Save && Exit\tCtrl+S", MFT_STRING, 0, false},
                                  {u"-\tCtrl+X", MFT_STRING, 0, false},
                                  {u"", MFT_SEPARATOR, MFS_DISABLED, false},
                                  {u"Recent", MFT_STRING, 0, true}};
    ASSERT_EQ(GetMenuItemCount(fileItem.subMenu), 4);
    for (UINT position = 0; position < 4; ++position) {
        SCOPED_TRACE(::testing::Message() << "item " << position);
        const NativeItem item = ReadItem(fileItem.subMenu, position);
        if (fileItems[position].type != MFT_SEPARATOR) {
            EXPECT_EQ(item.text, fileItems[position].text);
        }
        EXPECT_EQ(item.type & MFT_SEPARATOR, fileItems[position].type);
        EXPECT_EQ(item.state & MFS_DISABLED, fileItems[position].state);
        EXPECT_EQ(item.subMenu != nullptr, fileItems[position].subMenu);
    }
    EXPECT_EQ(ReadItem(ReadItem(bar, 1).subMenu, 0).state & MFS_DISABLED, static_cast<UINT>(MFS_DISABLED));

    // The bar takes one row off the client area.
    MENUBARINFO info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetMenuBarInfo(Hwnd(), OBJID_MENU, 0, &info));
    const RECT client = ClientOnScreen(Hwnd());
    EXPECT_EQ(info.rcBar.bottom, client.top);
    EXPECT_EQ(info.rcBar.bottom - info.rcBar.top, GetSystemMetrics(SM_CYMENU));

    // A choice from the drop-down of a menu that is gone finds no menu and is dropped.
    HMENU editDropDown = ReadItem(bar, 1).subMenu;
    delete edit;
    edit = nullptr;
    EXPECT_FALSE(CXMenu::DispatchMenuCommand(editDropDown, 0));
    SendMessageW(Hwnd(), WM_MENUCOMMAND, 0, reinterpret_cast<LPARAM>(editDropDown));
    EXPECT_TRUE(target.seen.empty());

    // Destroying the window destroys the bar and its drop-downs, which their menus forget.
    HMENU fileDropDown = fileItem.subMenu;
    window->Destroy();
    window = nullptr;
    EXPECT_EQ(GetMenuItemCount(bar), -1);
    EXPECT_EQ(GetMenuItemCount(fileDropDown), -1);
    EXPECT_FALSE(file->OwnsNativeMenu(fileDropDown));
}

TEST_F(CXMenuTest, OnlyWindowsWithABarAndBarMenusGetOne)
{
    struct Case {
        const char* what;
        bool barMenu;
        bool hasMenuBar;
        bool expectBar;
    };
    const Case cases[] = {{"no menu in the bar", false, true, false},
                          {"a window without a bar", true, false, false},
                          {"a bar menu and a window with a bar", true, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CXMenu::ReleaseAllMenus();
        MakeMenu("Context", CXMenu::kHierarchical)->AddCommandItem("Cut", "cut", 'X');
        if (c.barMenu)
            MakeMenu("File", CXMenu::kMenuBar)->AddCommandItem("Close", "close", 'W');
        auto* made = new CXUIWindow;
        made->SetHasMenuBar(c.hasMenuBar);
        made->Init();
        made->SetLayout(200, 150, 520, 390, 0, 0);
        made->SetVisible(true);
        EXPECT_EQ(GetMenu(made->GetNativeHandle()) != nullptr, c.expectBar);
        MENUBARINFO info = {};
        info.cbSize = sizeof(info);
        EXPECT_EQ(GetMenuBarInfo(made->GetNativeHandle(), OBJID_MENU, 0, &info) != FALSE, c.expectBar);
        // The parking window never has one.
        ASSERT_NE(CXUIWindow::EnsureParkingWindow(), nullptr);
        EXPECT_EQ(GetMenu(CXUIWindow::GetParkingWindowHandle()), nullptr);
        made->Destroy();
    }
}

TEST_F(CXMenuTest, ADeadDropDownIsForgottenAtTheNextRefresh)
{
    MakeMenuBar();
    window = MakeWindow();
    auto* owned = new OwnedWindow(Hwnd());
    owned->Init();
    owned->SetVisible(true);
    HMENU ownedDropDown = GetSubMenu(GetMenu(owned->GetNativeHandle()), 0);
    ASSERT_TRUE(file->OwnsNativeMenu(ownedDropDown));
    // The owned window dies with its owner, bar and all, without its element's doing.
    DestroyWindow(Hwnd());
    EXPECT_EQ(GetMenuItemCount(ownedDropDown), -1);
    CXMenu::RefreshMenus();
    EXPECT_FALSE(file->OwnsNativeMenu(ownedDropDown));
    owned->Destroy();
}

TEST_F(CXMenuTest, ChoosingABarItemSendsItsCommand)
{
    MakeMenuBar();
    window = MakeWindow();
    struct Case {
        const char* what;
        UINT top;
        std::vector<UINT> path;
        std::vector<std::string> chosen;
    };
    const Case cases[] = {
        {"an item", 0, {0}, {"close#0"}},
        {"an item after a separator and a sub-menu", 1, {4}, {"edit-copy#4"}},
        {"an item in a sub-menu", 1, {3, 0}, {"find-next#0"}},
        {"an item without a command", 2, {2}, {"menu-select#2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        target.seen.clear();
        std::vector<std::function<void(HMENU)>> steps;
        for (size_t depth = 0; depth < c.path.size(); ++depth) {
            steps.push_back([this, c, depth](HMENU dropDown) {
                HMENU menu = dropDown;
                for (size_t d = 0; d < depth; ++d)
                    menu = GetSubMenu(menu, static_cast<int>(c.path[d]));
                ClickItem(menu, c.path[depth]);
            });
        }
        ChooseInBar(c.top, steps);
        EXPECT_EQ(target.Chosen(), c.chosen);
        // The loop's own refresh asked every menu before the menu opened.
        EXPECT_EQ(target.Count("update-command-status(find-next)"), 1u);
        EXPECT_FALSE(harness.Deadlocked());
    }
}

TEST_F(CXMenuTest, AStatusGivenInTheLoopsOwnRefreshDisablesTheItem)
{
    MakeMenuBar();
    window = MakeWindow();
    target.status["edit-undo"] = -11;
    target.status["edit-redo"] = 0;
    UINT undoState = 0;
    UINT redoState = MFS_DISABLED;
    ChooseInBar(1, {[&](HMENU dropDown) {
                        undoState = ReadItem(dropDown, 0).state;
                        redoState = ReadItem(dropDown, 1).state;
                        // A disabled item keeps the menu open.
                        ClickItem(dropDown, 0);
                    },
                    [&](HMENU) { harness.KeyDown(VK_ESCAPE); }});
    EXPECT_EQ(undoState & MFS_DISABLED, static_cast<UINT>(MFS_DISABLED));
    EXPECT_EQ(redoState & MFS_DISABLED, 0u);
    EXPECT_TRUE(target.Chosen().empty());
    EXPECT_FALSE(edit->IsItemEnabled(0));
    EXPECT_FALSE(harness.Deadlocked());
}

TEST_F(CXMenuTest, CtrlShortcutsThroughTheMainLoop)
{
    MakeMenuBar();
    window = MakeWindow();
    target.status["edit-copy"] = -11;
    struct Case {
        const char* what;
        std::vector<UINT> modifiers;
        UINT key;
        std::vector<std::string> chosen;
    };
    const Case cases[] = {
        {"Ctrl+W", {VK_LCONTROL}, 'W', {"close#0"}},
        {"Ctrl+Z", {VK_RCONTROL}, 'Z', {"edit-undo#0"}},
        {"Ctrl+Shift+Z", {VK_LCONTROL, VK_LSHIFT}, 'Z', {"edit-redo#1"}},
        {"in a sub-menu", {VK_LCONTROL}, 'G', {"find-next#0"}},
        {"a disabled item is skipped", {VK_LCONTROL}, 'C', {"copy-again#0"}},
        {"a hidden shortcut", {VK_LCONTROL}, 'H', {}},
        {"Ctrl+Alt+Z", {VK_LCONTROL, VK_LMENU}, 'Z', {}},
        {"Shift+Z", {VK_LSHIFT}, 'Z', {}},
        {"Z alone", {}, 'Z', {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        target.seen.clear();
        harness.Chord(c.modifiers, c.key);
        TurnWhileReady();
        EXPECT_EQ(target.Chosen(), c.chosen);
        // Only a key with Ctrl refreshes the menus.
        const bool ctrl = !c.modifiers.empty() && (c.modifiers[0] == VK_LCONTROL || c.modifiers[0] == VK_RCONTROL);
        EXPECT_EQ(target.Count("prepareclick") != 0, ctrl);
    }
}

class ContextMenuTest : public CXMenuTest {
protected:
    void SetUp() override
    {
        CXMenuTest::SetUp();
        window = MakeWindow();
        MakeMenuBar();
        context = MakeMenu("", CXMenu::kHierarchical);
        context->AddCommandItem("Cut", "ctx-cut", 'X');
        context->AddCommandItem("Paste", "ctx-paste", 'V');
    }

    // The tracked menu's second item chosen with the keyboard, as the loop's first step.
    void ChoosePasteWhenOpen()
    {
        harness.AddStep([this] {
            harness.KeyDown(VK_DOWN);
            harness.KeyDown(VK_DOWN);
            harness.KeyDown(VK_RETURN);
        });
    }

    CXMenu* context = nullptr;
};

TEST_F(ContextMenuTest, AChoiceArrivesWhileTheMenuIsTracked)
{
    struct Case {
        const char* what;
        bool active;
        std::string chosen;
    };
    // Without an active window the keyboard reaches no one: the mouse chooses the first item, whose
    // row starts a few pixels below the corner the menu opens at.
    const Case cases[] = {{"with an active window", true, "ctx-paste#1"},
                          {"with no active window", false, "ctx-cut#0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        target.seen.clear();
        if (c.active) {
            window->BringToFront();
            ChoosePasteWhenOpen();
        } else {
            SetActiveWindow(nullptr);
            harness.AddStep([this] { harness.Click({310, 208}); });
        }
        ASSERT_EQ(GetForegroundWindow() != nullptr, c.active);
        bool choiceWhileTracked = false;
        target.during = [&](const CXMessage& message) { choiceWhileTracked |= message.GetName() == c.chosen.substr(0, c.chosen.find('#')).c_str(); };
        EXPECT_EQ(context->TrackAsContextualMenu({300, 200}), -1);
        target.during = nullptr;
        EXPECT_TRUE(choiceWhileTracked);
        EXPECT_EQ(target.Chosen(), std::vector<std::string>{c.chosen});
        // Only the tracked menu was refreshed.
        EXPECT_EQ(target.Count("update-command-status(ctx-cut)"), 1u);
        EXPECT_EQ(target.Count("update-command-status(close)"), 0u);
        EXPECT_FALSE(harness.Deadlocked());
    }
}

TEST_F(ContextMenuTest, ACommandThatDeletesTheMenuEndsTheTrackingCleanly)
{
    ChoosePasteWhenOpen();
    target.during = [this](const CXMessage& message) {
        if (message.GetName() == "ctx-paste") {
            delete context;
            context = nullptr;
        }
    };
    CXMenu* tracked = context;
    EXPECT_EQ(tracked->TrackAsContextualMenu({300, 200}), -1);
    EXPECT_EQ(context, nullptr);
    // Refreshes are no longer limited to the tracked menu.
    target.seen.clear();
    CXMenu::RefreshMenus();
    EXPECT_EQ(target.Count("update-command-status(close)"), 1u);
}

TEST_F(ContextMenuTest, AQuitThatEndsTheMenuIsLeftForTheMainLoop)
{
    harness.AddStep([] { PostQuitMessage(3); });
    EXPECT_EQ(context->TrackAsContextualMenu({300, 200}), -1);
    EXPECT_TRUE(target.Chosen().empty());
    EXPECT_FALSE(loop.Turn());
    EXPECT_EQ(loop.LastMessage().message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(loop.LastMessage().wParam, 3u);
}

// A context menu opened by a posted message's delivery, inside the main loop's idle pass.
class MenuOpener : public CXMessageTarget {
public:
    explicit MenuOpener(CXMenu* menu) : fMenu(menu) {}
    CXResultCode HandleMessage(const CXMessage&) override
    {
        ++opened;
        return fMenu->TrackAsContextualMenu({300, 200}) == -1 ? kCXOK : kCXNotSupported;
    }
    int opened = 0;

private:
    CXMenu* fMenu;
};

TEST_F(ContextMenuTest, AMenuOpenedInsideAnIdlePassEndsNormally)
{
    MenuOpener opener(context);
    CXDebugCapture capture;
    CXMessagePost::GetSingleton().Post(&opener, new CXMessage("open-menu", nullptr), nullptr,
                                       CXTime::GetCurrentTimestamp());
    ChoosePasteWhenOpen();
    PostMessageW(Hwnd(), WM_NULL, 0, 0);
    TurnWhileReady();
    EXPECT_EQ(opener.opened, 1);
    EXPECT_EQ(target.Chosen(), (std::vector<std::string>{"ctx-paste#1"}));
    EXPECT_FALSE(capture.Contains("reentrance"));
    EXPECT_FALSE(harness.Deadlocked());
}

} // namespace
} // namespace toolkittest
