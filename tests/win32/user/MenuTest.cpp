#include "win32/WindowTesting.h"

#include "win32/gdi/Gdi.h"
#include "win32/gdi/Text.h"
#include "win32/user/Menu.h"
#include "win32/user/Paint.h"

using namespace win32test;

namespace {

POINT Center(const RECT& r)
{
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// Appends an item: "-" is a separator.
void Add(HMENU menu, const char16_t* text, UINT state = 0, HMENU sub = nullptr, UINT id = 0)
{
    std::u16string title = text;
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
    info.fType = title == u"-" ? MFT_SEPARATOR : MFT_STRING;
    info.fState = state;
    info.wID = id;
    info.hSubMenu = sub;
    info.dwTypeData = title.data();
    info.cch = static_cast<UINT>(title.size());
    EXPECT_TRUE(InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &info));
}

HMENU NotifyingPopup()
{
    HMENU menu = CreatePopupMenu();
    MENUINFO info = {sizeof(MENUINFO), MIM_STYLE, MNS_NOTIFYBYPOS, 0, nullptr, 0, 0};
    EXPECT_TRUE(SetMenuInfo(menu, &info));
    return menu;
}

std::u16string ItemText(HMENU menu, UINT position)
{
    char16_t buffer[64] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = buffer;
    info.cch = 64;
    if (!GetMenuItemInfoW(menu, position, TRUE, &info))
        return u"<none>";
    return std::u16string(buffer, info.cch);
}

// An owner window (active, recording what the menus send it) and a menu: "Open", "Recent" with a
// sub-menu ("One", "Two"), a separator, a disabled "Close", "Quit" (ids 10, 0, 0, 13, 14, 21, 22).
class MenuTest : public WindowTest {
protected:
    MenuTest()
    {
        Script recorder = [this](HWND hwnd, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
            if (message == WM_ENTERMENULOOP && onEnter)
                onEnter(hwnd, wParam);
            return std::nullopt;
        };
        owner = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {100, 100, 500, 400}, recorder);
        sub = NotifyingPopup();
        Add(sub, u"One", 0, nullptr, 21);
        Add(sub, u"Two", 0, nullptr, 22);
        menu = NotifyingPopup();
        Add(menu, u"Open", 0, nullptr, 10);
        Add(menu, u"Recent", 0, sub);
        Add(menu, u"-");
        Add(menu, u"Close", MFS_DISABLED, nullptr, 13);
        Add(menu, u"Quit", 0, nullptr, 14);
        harness.PumpUntilIdle();
        harness.Spy().Clear();
    }

    // The menu loop's own top-level windows (popups and the capture holder) still alive.
    size_t LoopWindows()
    {
        size_t count = 0;
        for (HWND top : harness.Backend().TopLevels())
            count += IsWindow(top) && top != owner && top != other ? 1 : 0;
        return count;
    }

    // Tracks menu at (150, 150) and delivers what it posted.
    BOOL Track(UINT flags = TPM_LEFTBUTTON)
    {
        BOOL answer = TrackPopupMenu(menu, flags, 150, 150, 0, owner, nullptr);
        EXPECT_EQ(LoopWindows(), 0u);
        return answer;
    }

    // The WM_MENUCOMMAND and WM_COMMAND messages the owner got: {message, wParam, lParam}.
    std::vector<std::tuple<UINT, WPARAM, LPARAM>> Commands()
    {
        harness.PumpUntilIdle();
        std::vector<std::tuple<UINT, WPARAM, LPARAM>> commands;
        for (const auto& e : harness.Spy().Only({WM_MENUCOMMAND, WM_COMMAND})) {
            if (e.hwnd == owner)
                commands.emplace_back(e.message, e.wParam, e.lParam);
        }
        return commands;
    }

    RECT ItemRect(HMENU m, UINT position, HWND hwnd = nullptr)
    {
        RECT rect = {};
        EXPECT_TRUE(GetMenuItemRect(hwnd, m, position, &rect)) << "item " << position;
        return rect;
    }

    void ClickItem(HMENU m, UINT position, HWND hwnd = nullptr)
    {
        harness.AddStep([=, this] { harness.Click(Center(ItemRect(m, position, hwnd))); });
    }

    void Key(UINT key)
    {
        harness.AddStep([=, this] {
            harness.KeyDown(key);
            harness.KeyUp(key);
        });
    }

    HWND owner = nullptr;
    HWND other = nullptr;
    HMENU menu = nullptr;
    HMENU sub = nullptr;
    std::function<void(HWND, WPARAM)> onEnter;
};

TEST_F(MenuTest, ItemsAreInsertedReadAndRemovedByPositionOrId)
{
    EXPECT_EQ(GetMenuItemCount(menu), 5);
    EXPECT_EQ(GetSubMenu(menu, 1), sub);
    EXPECT_EQ(GetSubMenu(menu, 0), nullptr);
    EXPECT_EQ(GetSubMenu(menu, 5), nullptr);
    // Before position 0, and before the item with id 14; an id is found inside sub-menus too.
    Add(menu, u"Last");
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING | MIIM_ID;
    char16_t first[] = u"First";
    info.dwTypeData = first;
    info.wID = 9;
    ASSERT_TRUE(InsertMenuItemW(menu, 0, TRUE, &info));
    char16_t beforeQuit[] = u"Save";
    info.dwTypeData = beforeQuit;
    ASSERT_TRUE(InsertMenuItemW(menu, 14, FALSE, &info));
    char16_t inSub[] = u"One and a half";
    info.dwTypeData = inSub;
    ASSERT_TRUE(InsertMenuItemW(menu, 22, FALSE, &info));
    std::vector<std::u16string> titles;
    for (UINT i = 0; i < static_cast<UINT>(GetMenuItemCount(menu)); ++i)
        titles.push_back(ItemText(menu, i));
    EXPECT_EQ(titles, (std::vector<std::u16string>{u"First", u"Open", u"Recent", u"-", u"Close", u"Save", u"Quit",
                                                   u"Last"}));
    EXPECT_EQ(ItemText(sub, 1), u"One and a half");

    // What the toolkit reads back, and the text buffer rules: no buffer answers the length, a short
    // one gets what fits and a terminator.
    MENUITEMINFOW read = {};
    read.cbSize = sizeof(read);
    read.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 13, FALSE, &read));
    EXPECT_EQ(read.fType, MFT_STRING);
    EXPECT_EQ(read.fState, MFS_DISABLED);
    EXPECT_EQ(read.wID, 13u);
    EXPECT_EQ(read.hSubMenu, nullptr);
    EXPECT_EQ(read.cch, 5u);
    ASSERT_TRUE(GetMenuItemInfoW(menu, 2, TRUE, &read));
    EXPECT_EQ(read.hSubMenu, sub);
    char16_t shortBuffer[4] = {u'x', u'x', u'x', u'x'};
    read.fMask = MIIM_STRING;
    read.dwTypeData = shortBuffer;
    read.cch = 4;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 2, TRUE, &read));
    EXPECT_EQ(std::u16string(shortBuffer), u"Rec");
    EXPECT_EQ(read.cch, 3u);
    read.fMask = MIIM_FTYPE;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 3, TRUE, &read));
    EXPECT_EQ(read.fType, MFT_SEPARATOR);

    // Removing an item keeps its sub-menu, which may then go elsewhere.
    ASSERT_TRUE(RemoveMenu(menu, 2, MF_BYPOSITION));
    EXPECT_TRUE(IsMenu(sub));
    EXPECT_EQ(GetMenuItemCount(menu), 7);
    EXPECT_FALSE(RemoveMenu(menu, 7, MF_BYPOSITION));
    EXPECT_EQ(GetLastError(), ERROR_MENU_ITEM_NOT_FOUND);
    ASSERT_TRUE(RemoveMenu(menu, 13, MF_BYCOMMAND));
    EXPECT_EQ(ItemText(menu, 3), u"Save");
    Add(menu, u"Again", 0, sub);
    EXPECT_EQ(GetSubMenu(menu, 6), sub);
}

TEST_F(MenuTest, DestroyingAMenuDestroysItsSubMenusAndStaleHandlesFailCleanly)
{
    HMENU inner = CreatePopupMenu();
    Add(sub, u"Deeper", 0, inner);
    ASSERT_TRUE(DestroyMenu(menu));
    for (HMENU gone : {menu, sub, inner})
        EXPECT_FALSE(IsMenu(gone));

    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    MENUINFO menuInfo = {sizeof(MENUINFO), MIM_STYLE, 0, 0, nullptr, 0, 0};
    RECT rect;
    struct Case {
        const char* call;
        std::function<bool()> fails;
    };
    for (const Case& c : {
             Case{"DestroyMenu", [&] { return !DestroyMenu(menu); }},
             Case{"InsertMenuItemW", [&] { return !InsertMenuItemW(menu, 0, TRUE, &info); }},
             Case{"GetMenuItemInfoW", [&] { return !GetMenuItemInfoW(menu, 0, TRUE, &info); }},
             Case{"RemoveMenu", [&] { return !RemoveMenu(menu, 0, MF_BYPOSITION); }},
             Case{"GetMenuItemCount", [&] { return GetMenuItemCount(menu) == -1; }},
             Case{"GetSubMenu", [&] { return GetSubMenu(menu, 0) == nullptr; }},
             Case{"SetMenuInfo", [&] { return !SetMenuInfo(menu, &menuInfo); }},
             Case{"TrackPopupMenu", [&] { return !TrackPopupMenu(menu, 0, 0, 0, 0, owner, nullptr); }},
             Case{"GetMenuItemRect", [&] { return !GetMenuItemRect(owner, menu, 0, &rect); }},
             Case{"SetMenu", [&] { return !SetMenu(owner, menu); }},
             Case{"a stale sub-menu", [&] {
                      HMENU fresh = CreatePopupMenu();
                      info.fMask = MIIM_SUBMENU;
                      info.hSubMenu = sub;
                      bool failed = !InsertMenuItemW(fresh, 0, TRUE, &info);
                      DestroyMenu(fresh);
                      return failed;
                  }},
         }) {
        SetLastError(0);
        EXPECT_TRUE(c.fails()) << c.call;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_MENU_HANDLE) << c.call;
    }
    // A menu has one place: a sub-menu of another item, the menu itself or one it lies in is refused.
    HMENU a = CreatePopupMenu();
    HMENU b = CreatePopupMenu();
    HMENU c = CreatePopupMenu();
    Add(a, u"b", 0, b);
    info.fMask = MIIM_SUBMENU;
    for (HMENU refused : {a, b}) {
        info.hSubMenu = refused;
        EXPECT_FALSE(InsertMenuItemW(b, 0, TRUE, &info));
    }
    info.hSubMenu = b;
    EXPECT_FALSE(InsertMenuItemW(c, 0, TRUE, &info)) << "already placed";
    EXPECT_EQ(GetMenuItemCount(b), 0);
    EXPECT_TRUE(DestroyMenu(a));
    EXPECT_TRUE(DestroyMenu(c));
}

TEST_F(MenuTest, TheBarTakesOneRowOffTheClientAreaAndGoesWithItsWindow)
{
    RECT client;
    GetClientRect(owner, &client);
    POINT origin = {0, 0};
    ClientToScreen(owner, &origin);
    HMENU bar = CreateMenu();
    Add(bar, u"&File", 0, menu);
    harness.Spy().Clear();
    ASSERT_TRUE(SetMenu(owner, bar));
    int row = GetSystemMetrics(SM_CYMENU);
    EXPECT_EQ(GetMenu(owner), bar);
    RECT after;
    GetClientRect(owner, &after);
    EXPECT_EQ(after.bottom, client.bottom - row);
    auto sizes = harness.Spy().Only({WM_SIZE, WM_MOVE});
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes[0].message, WM_MOVE);
    EXPECT_EQ(GET_Y_LPARAM(sizes[0].lParam), origin.y + row);
    EXPECT_EQ(sizes[1].message, WM_SIZE);
    EXPECT_EQ(GET_Y_LPARAM(sizes[1].lParam), client.bottom - row);
    // The bar's row on the screen, just above the client area (as the toolkit reads it).
    MENUBARINFO info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetMenuBarInfo(owner, OBJID_MENU, 0, &info));
    EXPECT_EQ(info.hMenu, bar);
    EXPECT_EQ(info.rcBar.bottom, origin.y + row);
    EXPECT_EQ(info.rcBar.bottom - info.rcBar.top, row);
    EXPECT_EQ(info.rcBar.left, origin.x);
    EXPECT_EQ(info.rcBar.right, origin.x + client.right);
    // The paint pass draws it into the window's buffer: its titles, prefixes resolved, and its face.
    harness.Texts().Clear();
    harness.PumpUntilIdle();
    std::vector<std::u16string> drawn;
    for (const DrawnText& t : harness.Texts().Entries()) {
        if (t.window == owner)
            drawn.push_back(t.text);
    }
    EXPECT_EQ(drawn, std::vector<std::u16string>{u"File"});
    EXPECT_EQ(harness.Pixel({info.rcBar.right - 2, info.rcBar.top + 2}),
              win32::testing::OpaquePixel(GetSysColor(COLOR_MENUBAR)));
    // A bar belongs to one top-level window; a child has none.
    HWND second = Create(WS_OVERLAPPEDWINDOW);
    HWND child = Create(WS_CHILD, owner);
    EXPECT_FALSE(SetMenu(second, bar));
    EXPECT_FALSE(SetMenu(child, CreateMenu()));
    EXPECT_EQ(GetLastError(), ERROR_CHILD_WINDOW_MENU);
    // A menu held by an item cannot be a bar either.
    EXPECT_FALSE(SetMenu(second, menu));

    // Taking the bar off gives the row back; the bar lives on until destroyed.
    ASSERT_TRUE(SetMenu(owner, nullptr));
    GetClientRect(owner, &after);
    EXPECT_EQ(after.bottom, client.bottom);
    EXPECT_FALSE(GetMenuBarInfo(owner, OBJID_MENU, 0, &info));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_MENU_HANDLE);
    EXPECT_TRUE(IsMenu(bar));
    // Destroying a bar in use takes it off its window; destroying the window destroys its bar.
    ASSERT_TRUE(SetMenu(owner, bar));
    ASSERT_TRUE(DestroyMenu(bar));
    EXPECT_EQ(GetMenu(owner), nullptr);
    GetClientRect(owner, &after);
    EXPECT_EQ(after.bottom, client.bottom);
    HMENU secondBar = CreateMenu();
    HMENU secondSub = CreatePopupMenu();
    Add(secondBar, u"Edit", 0, secondSub);
    ASSERT_TRUE(SetMenu(second, secondBar));
    DestroyWindow(second);
    EXPECT_FALSE(IsMenu(secondBar));
    EXPECT_FALSE(IsMenu(secondSub));
}

TEST_F(MenuTest, TheLoopEndsOnAChoiceOrACancellation)
{
    other = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {700, 100, 900, 300});
    SetActiveWindow(owner);
    harness.PumpUntilIdle();
    struct Case {
        const char* name;
        std::function<void()> step;
        BOOL answer;
        bool quit;
    };
    const Case cases[] = {
        {"choice", [&] { harness.Click(Center(ItemRect(menu, 4))); }, TRUE, false},
        {"Escape", [&] { harness.KeyDown(VK_ESCAPE); }, FALSE, false},
        {"outside click", [&] { harness.Click(POINT{800, 200}); }, FALSE, false},
        {"capture loss", [&] { SetCapture(other); }, FALSE, false},
        {"owner deactivated", [&] { SetActiveWindow(other); }, FALSE, false},
        {"WM_QUIT", [&] { PostQuitMessage(7); }, FALSE, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        harness.Spy().Clear();
        harness.AddStep(c.step);
        EXPECT_EQ(Track(), c.answer);
        EXPECT_TRUE(GetCapture() == nullptr || GetCapture() == other);
        auto loop = harness.Spy().Only({WM_ENTERMENULOOP, WM_EXITMENULOOP});
        ASSERT_EQ(loop.size(), 2u);
        EXPECT_EQ(loop[0].message, WM_ENTERMENULOOP);
        EXPECT_EQ(loop[1].message, WM_EXITMENULOOP);
        EXPECT_EQ(loop[1].hwnd, owner);
        // The quit is there again for the outer loop.
        MSG quit;
        bool quitAgain = PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.message == WM_QUIT;
        EXPECT_EQ(quitAgain, c.quit);
        if (quitAgain) {
            EXPECT_EQ(quit.wParam, 7u);
        }
        // Only the choice posts a command; the outside click reached no window.
        std::vector<std::tuple<UINT, WPARAM, LPARAM>> expected;
        if (c.answer)
            expected.emplace_back(WM_MENUCOMMAND, 4, reinterpret_cast<LPARAM>(menu));
        EXPECT_EQ(Commands(), expected);
        EXPECT_TRUE(harness.Spy().Only({WM_LBUTTONDOWN}).empty());
        SetActiveWindow(owner);
        ReleaseCapture();
        harness.PumpUntilIdle();
    }
    EXPECT_FALSE(harness.Deadlocked());
}

TEST_F(MenuTest, AClickAtTheItemsRectangleAndTheKeyboardChooseAlike)
{
    // Into the sub-menu: click "Recent", then "Two"; Down, Down, Right, Down, Enter.
    ClickItem(menu, 1);
    ClickItem(sub, 1);
    EXPECT_TRUE(Track());
    auto byMouse = Commands();
    harness.Spy().Clear();
    for (UINT key : {VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN})
        Key(key);
    EXPECT_TRUE(Track());
    auto byKeys = Commands();
    std::vector<std::tuple<UINT, WPARAM, LPARAM>> expected = {{WM_MENUCOMMAND, 1, reinterpret_cast<LPARAM>(sub)}};
    EXPECT_EQ(byMouse, expected);
    EXPECT_EQ(byKeys, expected);

    // Neither chooses a disabled item, and the menu stays open. The keys skip the separator and wrap:
    // from "Close" Up to "Recent", Down to "Close", "Quit", "Open", Up to "Quit", "Close".
    ClickItem(menu, 3);
    for (UINT key : {VK_UP, VK_DOWN, VK_DOWN, VK_DOWN, VK_UP, VK_UP, VK_RETURN, VK_ESCAPE})
        Key(key);
    harness.Spy().Clear();
    EXPECT_FALSE(Track());
    EXPECT_TRUE(Commands().empty());

    // Without MNS_NOTIFYBYPOS the choice is WM_COMMAND with the id; TPM_RETURNCMD answers the id and
    // posts nothing.
    MENUINFO plain = {sizeof(MENUINFO), MIM_STYLE, 0, 0, nullptr, 0, 0};
    SetMenuInfo(menu, &plain);
    ClickItem(menu, 0);
    harness.Spy().Clear();
    EXPECT_TRUE(Track());
    EXPECT_EQ(Commands(), (std::vector<std::tuple<UINT, WPARAM, LPARAM>>{{WM_COMMAND, 10, 0}}));
    ClickItem(menu, 4);
    harness.Spy().Clear();
    EXPECT_EQ(Track(TPM_RETURNCMD), 14);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(MenuTest, ThePopupIsReadOnlyAfterTheOwnerHeardTheLoopBegin)
{
    // The owner rebuilds the menu when the loop begins, destroying the old sub-menu: the loop shows
    // and reports the new one.
    HMENU rebuilt = nullptr;
    onEnter = [&](HWND, WPARAM popup) {
        EXPECT_EQ(popup, static_cast<WPARAM>(TRUE));
        while (GetMenuItemCount(menu) > 0) {
            if (HMENU old = GetSubMenu(menu, 0))
                DestroyMenu(old);
            RemoveMenu(menu, 0, MF_BYPOSITION);
        }
        rebuilt = NotifyingPopup();
        Add(rebuilt, u"Fresh");
        Add(menu, u"Only", 0, rebuilt);
    };
    ClickItem(menu, 0);
    harness.AddStep([&] { harness.Click(Center(ItemRect(rebuilt, 0))); });
    EXPECT_TRUE(Track());
    EXPECT_FALSE(IsMenu(sub));
    EXPECT_EQ(Commands(), (std::vector<std::tuple<UINT, WPARAM, LPARAM>>{
                              {WM_MENUCOMMAND, 0, reinterpret_cast<LPARAM>(rebuilt)}}));
    // A menu left empty by the owner shows nothing and ends the loop at once.
    onEnter = [&](HWND, WPARAM) { RemoveMenu(menu, 0, MF_BYPOSITION); };
    EXPECT_FALSE(Track());
    // A menu without items is never tracked: the owner hears nothing.
    harness.Spy().Clear();
    EXPECT_FALSE(Track());
    EXPECT_TRUE(harness.Spy().Only({WM_ENTERMENULOOP}).empty());
}

TEST_F(MenuTest, APressOnTheBarOpensItsMenuAndNeverReachesTheClient)
{
    HMENU bar = CreateMenu();
    MENUINFO notify = {sizeof(MENUINFO), MIM_STYLE, MNS_NOTIFYBYPOS, 0, nullptr, 0, 0};
    SetMenuInfo(bar, &notify);
    HMENU edit = NotifyingPopup();
    Add(edit, u"Undo");
    Add(bar, u"&File", 0, menu);
    Add(bar, u"&Edit", 0, edit);
    ASSERT_TRUE(SetMenu(owner, bar));
    harness.PumpUntilIdle();
    // The owner refills the drop-down's sub-menu when the loop begins, as the toolkit does.
    HMENU refilled = nullptr;
    onEnter = [&](HWND, WPARAM popup) {
        EXPECT_EQ(popup, static_cast<WPARAM>(FALSE));
        DestroyMenu(GetSubMenu(menu, 1));
        RemoveMenu(menu, 1, MF_BYPOSITION);
        refilled = NotifyingPopup();
        Add(refilled, u"Newer");
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_SUBMENU | MIIM_STRING;
        char16_t title[] = u"Recent";
        info.dwTypeData = title;
        info.hSubMenu = refilled;
        InsertMenuItemW(menu, 1, TRUE, &info);
    };
    harness.Spy().Clear();
    // A press and release on "File" drops its menu down; a move over "Edit" drops that one down
    // instead, and back; then "Recent" opens its sub-menu and "Newer" is chosen.
    RECT file = ItemRect(bar, 0, owner);
    RECT editItem = ItemRect(bar, 1, owner);
    harness.Click(Center(file));
    harness.AddStep([&] {
        RECT dropped = ItemRect(menu, 0);
        EXPECT_EQ(dropped.top, file.bottom + 3);
        harness.MoveTo(Center(editItem));
    });
    harness.AddStep([&] {
        RECT undo = {};
        EXPECT_TRUE(GetMenuItemRect(nullptr, edit, 0, &undo));
        EXPECT_FALSE(GetMenuItemRect(nullptr, menu, 0, &undo)) << "File's menu closed";
        MENUBARINFO info = {};
        info.cbSize = sizeof(info);
        EXPECT_TRUE(GetMenuBarInfo(owner, OBJID_MENU, 2, &info));
        EXPECT_TRUE(info.fFocused);
        harness.MoveTo(Center(file));
    });
    ClickItem(menu, 1);
    harness.AddStep([&] { harness.Click(Center(ItemRect(refilled, 0))); });
    harness.PumpUntilIdle();
    EXPECT_EQ(LoopWindows(), 0u);
    auto commands = Commands();
    EXPECT_EQ(commands, (std::vector<std::tuple<UINT, WPARAM, LPARAM>>{
                            {WM_MENUCOMMAND, 0, reinterpret_cast<LPARAM>(refilled)}}));
    EXPECT_TRUE(harness.Spy().Only({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_NCLBUTTONDOWN}).empty());
    EXPECT_EQ(harness.Spy().Only({WM_ENTERMENULOOP}).size(), 1u);

    // Escape in the drop-down closes it, and a press on the open item closes it too.
    for (auto close : std::vector<std::function<void()>>{[&] { harness.KeyDown(VK_ESCAPE); },
                                                         [&] { harness.Click(Center(file)); }}) {
        harness.Spy().Clear();
        harness.Click(Center(file));
        harness.AddStep(close);
        harness.PumpUntilIdle();
        EXPECT_EQ(LoopWindows(), 0u);
        EXPECT_EQ(harness.Spy().Only({WM_EXITMENULOOP}).size(), 1u);
        EXPECT_TRUE(Commands().empty());
    }
}

TEST_F(MenuTest, TheLoopTakesTheCaptureFromItsHolderAndAPressWhileCapturedGoesToTheHolder)
{
    HMENU bar = CreateMenu();
    Add(bar, u"File", 0, menu);
    ASSERT_TRUE(SetMenu(owner, bar));
    HWND holder = Create(WS_CHILD | WS_VISIBLE, owner, {10, 10, 60, 40});
    harness.PumpUntilIdle();
    SetCapture(holder);
    harness.Spy().Clear();
    harness.Click(Center(ItemRect(bar, 0, owner)));
    harness.PumpUntilIdle();
    EXPECT_TRUE(harness.Spy().Only({WM_ENTERMENULOOP}).empty());
    auto presses = harness.Spy().Only({WM_LBUTTONDOWN});
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0].hwnd, holder);

    harness.Spy().Clear();
    HWND taker = nullptr;
    harness.AddStep([&] {
        taker = GetCapture();
        harness.KeyDown(VK_ESCAPE);
    });
    Track();
    auto changes = harness.Spy().Only({WM_CAPTURECHANGED});
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes[0].hwnd, holder);
    EXPECT_EQ(reinterpret_cast<HWND>(changes[0].lParam), taker);
    EXPECT_NE(taker, holder);
    EXPECT_NE(taker, nullptr);
}

TEST_F(MenuTest, WhileTheLoopRunsPostsTimersAndPaintAreDispatched)
{
    HWND target = Create(WS_CHILD | WS_VISIBLE, owner, {10, 10, 60, 40});
    SetTimer(target, 5, 100, nullptr);
    PostMessageW(target, WM_USER + 1, 0, 0);
    InvalidateRect(target, nullptr, FALSE);
    harness.AddStep([&] {
        // The timer is due at the next wait.
        harness.Advance(100);
    });
    harness.AddStep([&] { harness.KeyDown(VK_ESCAPE); });
    harness.Spy().Clear();
    Track();
    for (UINT message : {static_cast<UINT>(WM_USER + 1), WM_TIMER, WM_PAINT}) {
        bool seen = false;
        for (const auto& e : harness.Spy().Only({message}))
            seen = seen || e.hwnd == target;
        EXPECT_TRUE(seen) << std::hex << message;
    }
}

// Reads the popup's pixels and text while it is open.
TEST_F(MenuTest, ItemsShowPrefixesShortcutColumnsSeparatorsAndStates)
{
    HMENU looks = CreatePopupMenu();
    Add(looks, u"Save && Exit");
    Add(looks, u"&Open");
    Add(looks, u"Open");
    Add(looks, u"Copy\tCtrl+C");
    Add(looks, u"Redo\tCtrl+Shift+Z");
    Add(looks, u"-");
    Add(looks, u"Gone", MFS_DISABLED);
    Add(looks, u"Ticked", MFS_CHECKED);
    Add(looks, u"More", 0, CreatePopupMenu());
    std::vector<RECT> items;
    std::vector<DrawnText> texts;
    win32::testing::ScreenPicture screen;
    harness.AddStep([&] {
        for (UINT i = 0; i < 9; ++i)
            items.push_back(ItemRect(looks, i));
        texts = harness.Texts().Entries();
        screen = harness.ScreenImage();
        harness.KeyDown(VK_ESCAPE);
    });
    harness.Texts().Clear();
    TrackPopupMenu(looks, 0, 150, 150, 0, owner, nullptr);
    ASSERT_EQ(items.size(), 9u);

    std::vector<std::u16string> shown;
    for (const DrawnText& t : texts)
        shown.push_back(t.text);
    EXPECT_EQ(shown, (std::vector<std::u16string>{u"Save & Exit", u"Open", u"Open", u"Copy", u"Ctrl+C", u"Redo",
                                                  u"Ctrl+Shift+Z", u"Gone", u"Ticked", u"More"}));
    ASSERT_EQ(texts.size(), 10u);
    EXPECT_NE(texts[0].window, owner);
    EXPECT_EQ(texts[7].color, GetSysColor(COLOR_GRAYTEXT));
    EXPECT_EQ(texts[8].color, GetSysColor(COLOR_MENUTEXT));

    const uint64_t ink = win32::testing::OpaquePixel(GetSysColor(COLOR_MENUTEXT));
    const uint64_t background = win32::testing::OpaquePixel(GetSysColor(COLOR_MENU));
    // The text-coloured pixels of a rectangle (all that is not background, when any).
    auto inkIn = [&](const RECT& r, int& left, int& right, bool any = false) {
        int count = 0;
        left = INT_MAX;
        right = INT_MIN;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                if (any ? screen.At(x, y) != background : screen.At(x, y) == ink) {
                    ++count;
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        return count;
    };
    int left = 0;
    int right = 0;
    // "&Open" has more ink than "Open": the underline, under the 'O' only.
    int plain = inkIn(items[2], left, right);
    int underlined = inkIn(items[1], left, right);
    EXPECT_GT(underlined, plain);
    HDC measure = GetDC(nullptr);
    SelectObject(measure, GetStockObject(DEFAULT_GUI_FONT));
    SIZE letter = {};
    GetTextExtentPoint32W(measure, u"O", 1, &letter);
    ReleaseDC(nullptr, measure);
    // The pixels "&Open" inks and "Open" does not (the two rows are drawn alike otherwise).
    int underline = 0;
    int offset = items[2].top - items[1].top;
    for (int y = items[1].top; y < items[1].bottom; ++y) {
        for (int x = items[1].left; x < items[1].right; ++x) {
            if (screen.At(x, y) == ink && screen.At(x, y + offset) != ink) {
                ++underline;
                EXPECT_GE(x, left);
                EXPECT_LT(x, left + letter.cx);
            }
        }
    }
    EXPECT_GE(underline, 3);
    // The shortcuts end at one right edge, well right of their labels.
    int copyLeft = 0, copyRight = 0, redoLeft = 0, redoRight = 0;
    inkIn(items[3], copyLeft, copyRight, true);
    inkIn(items[4], redoLeft, redoRight, true);
    EXPECT_NEAR(copyRight, redoRight, 1);
    EXPECT_GT(copyRight - copyLeft, 80) << "label and shortcut apart";
    EXPECT_EQ(texts[4].rect.right, texts[6].rect.right);
    // A separator is a line and no text; the ticked item has a mark in its check column, the plain
    // one none.
    const uint64_t line = win32::testing::OpaquePixel(GetSysColor(COLOR_3DSHADOW));
    int lineCount = 0;
    for (int x = items[5].left; x < items[5].right; ++x)
        lineCount += screen.At(x, (items[5].top + items[5].bottom) / 2) == line ? 1 : 0;
    EXPECT_GT(lineCount, (items[5].right - items[5].left) / 2);
    RECT checkColumn = {items[7].left, items[7].top, items[7].left + 20, items[7].bottom};
    EXPECT_GT(inkIn(checkColumn, left, right), 0);
    RECT plainColumn = {items[2].left, items[2].top, items[2].left + 20, items[2].bottom};
    EXPECT_EQ(inkIn(plainColumn, left, right), 0);
    DestroyMenu(looks);
}

} // namespace
