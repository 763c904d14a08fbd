#include "win32/WindowTesting.h"

#include "foundation/CXDebug.h"
#include "win32/core/Core.h"

using namespace win32test;

namespace {

using Pairs = std::vector<std::pair<HWND, UINT>>;

TEST_F(WindowTest, CreationSendsItsMessagesWithTheCreationParameters)
{
    HWND top = Create(WS_OVERLAPPEDWINDOW, nullptr, {100, 50, 400, 250});
    ASSERT_NE(top, nullptr);
    harness.Spy().Clear();

    CREATESTRUCTW seen[2] = {};
    int marker = 0;
    Script script = [&](HWND, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
        if (message == WM_NCCREATE || message == WM_CREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            seen[message == WM_CREATE] = *create;
        }
        return std::nullopt;
    };
    // The script itself travels as the creation parameter, so its address is what arrives.
    HWND child = CreateWindowExW(WS_EX_CLIENTEDGE, kTestClass, u"child", WS_CHILD | WS_VISIBLE, 5, 6, 70, 40, top,
                                 reinterpret_cast<HMENU>(42), harness.Instance(), &script);
    ASSERT_NE(child, nullptr);
    (void)marker;

    EXPECT_EQ(Seen({}), (Pairs{{child, WM_NCCREATE}, {child, WM_CREATE}, {child, WM_SIZE}, {child, WM_MOVE}}));
    for (const CREATESTRUCTW& create : seen) {
        EXPECT_EQ(create.lpCreateParams, &script);
        EXPECT_EQ(create.hInstance, harness.Instance());
        EXPECT_EQ(create.hwndParent, top);
        EXPECT_EQ(create.hMenu, reinterpret_cast<HMENU>(42));
        EXPECT_EQ(create.x, 5);
        EXPECT_EQ(create.y, 6);
        EXPECT_EQ(create.cx, 70);
        EXPECT_EQ(create.cy, 40);
        EXPECT_EQ(static_cast<DWORD>(create.style), WS_CHILD | WS_VISIBLE);
        EXPECT_EQ(create.dwExStyle, WS_EX_CLIENTEDGE);
        EXPECT_EQ(std::u16string(create.lpszName), u"child");
        EXPECT_EQ(std::u16string(create.lpszClass), kTestClass);
    }
    // WM_SIZE carries the client size inside the 2-pixel edge, WM_MOVE the client origin.
    auto entries = harness.Spy().Only({WM_SIZE, WM_MOVE});
    EXPECT_EQ(entries[0].lParam, MAKELPARAM(66, 36));
    EXPECT_EQ(entries[1].lParam, MAKELPARAM(7, 8));
    EXPECT_EQ(GetWindowLongPtrW(child, GWLP_ID), 42);
    EXPECT_EQ(GetParent(child), top);
    EXPECT_EQ(Text(child), u"child");
    // WS_VISIBLE shows the window once it is made; a child of a hidden window is still not visible.
    EXPECT_NE(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_FALSE(IsWindowVisible(child));
    ShowWindow(top, SW_SHOW);
    EXPECT_TRUE(IsWindowVisible(child));
}

TEST_F(WindowTest, DestructionGoesOwnedFirstThenParentsFirstThenChildrenFirst)
{
    HWND parent = Create(WS_OVERLAPPEDWINDOW);
    HWND first = Create(WS_CHILD, parent);
    HWND second = Create(WS_CHILD, parent);
    HWND owned = Create(WS_POPUP | WS_CAPTION, parent);
    ASSERT_TRUE(parent && first && second && owned);
    EXPECT_EQ(GetWindow(owned, GW_OWNER), parent);
    EXPECT_EQ(harness.Backend().TopLevels(), (std::vector<HWND>{parent, owned}));

    // At WM_NCDESTROY the handle is already dead, while its parent still lives.
    std::vector<std::pair<BOOL, BOOL>> aliveAtNcDestroy;
    Scripts()[first] = [&](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_NCDESTROY)
            aliveAtNcDestroy.emplace_back(IsWindow(hwnd), IsWindow(parent));
        return std::nullopt;
    };
    harness.Spy().Clear();
    EXPECT_TRUE(DestroyWindow(parent));

    EXPECT_EQ(Seen({WM_DESTROY, WM_NCDESTROY}), (Pairs{{owned, WM_DESTROY},
                                                       {owned, WM_NCDESTROY},
                                                       {parent, WM_DESTROY},
                                                       {first, WM_DESTROY},
                                                       {second, WM_DESTROY},
                                                       {first, WM_NCDESTROY},
                                                       {second, WM_NCDESTROY},
                                                       {parent, WM_NCDESTROY}}));
    EXPECT_EQ(aliveAtNcDestroy, (std::vector<std::pair<BOOL, BOOL>>{{FALSE, TRUE}}));
    for (HWND hwnd : {parent, first, second, owned})
        EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(harness.Backend().TopLevels().empty());
    // Every window of the class is gone, so the class can go too.
    EXPECT_TRUE(UnregisterClassW(kTestClass, harness.Instance()));
}

TEST_F(WindowTest, AProcedureThatLeavesEverythingToTheDefaultGetsItsWindowAndTitle)
{
    WNDCLASSW plain = {};
    plain.lpfnWndProc = &DefWindowProcW;
    plain.lpszClassName = u"Plain";
    ASSERT_NE(RegisterClassW(&plain), 0);
    HWND hwnd = CreateWindowExW(0, u"plain", u"Title", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(Text(hwnd), u"Title");
    EXPECT_EQ(GetWindowTextLengthW(hwnd), 5);
    EXPECT_TRUE(SetWindowTextW(hwnd, u"Other"));
    EXPECT_EQ(Text(hwnd), u"Other");
    EXPECT_TRUE(SetWindowTextW(hwnd, nullptr));
    EXPECT_EQ(GetWindowTextLengthW(hwnd), 0);
    // A short buffer takes what fits and a terminator.
    SetWindowTextW(hwnd, u"abcdef");
    char16_t small[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(GetWindowTextW(hwnd, small, 4), 3);
    EXPECT_EQ(std::u16string(small), u"abc");
    // Closing destroys.
    EXPECT_EQ(SendMessageW(hwnd, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(WindowTest, ARefusedCreationSendsOnlyNcDestroyAndLeavesNothing)
{
    struct Case {
        const char* name;
        Script script;
        std::vector<UINT> expected;
    };
    std::vector<Case> cases = {
        {"WM_NCCREATE answers FALSE",
         [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
             if (m == WM_NCCREATE)
                 return FALSE;
             return std::nullopt;
         },
         {WM_NCCREATE, WM_NCDESTROY}},
        {"WM_CREATE answers -1",
         [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
             if (m == WM_CREATE)
                 return -1;
             return std::nullopt;
         },
         {WM_NCCREATE, WM_CREATE, WM_NCDESTROY}},
        {"WM_CREATE destroys the window",
         [](HWND hwnd, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
             if (m == WM_CREATE)
                 DestroyWindow(hwnd);
             return std::nullopt;
         },
         {WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        harness.Spy().Clear();
        EXPECT_EQ(Create(WS_OVERLAPPEDWINDOW, nullptr, {0, 0, 10, 10}, c.script), nullptr);
        std::vector<UINT> messages;
        for (const auto& entry : harness.Spy().Entries())
            messages.push_back(entry.message);
        EXPECT_EQ(messages, c.expected);
        EXPECT_TRUE(harness.Backend().TopLevels().empty());
    }
    EXPECT_TRUE(UnregisterClassW(kTestClass, harness.Instance()));
}

TEST_F(WindowTest, AWindowMayDestroyItselfOrItsOwnerInItsOwnProcedure)
{
    // Closed through its own procedure, the window keeps answering calls on its handle safely
    // (they fail) until its procedure returns.
    std::vector<DWORD> afterDestroy;
    HWND self = Create(WS_OVERLAPPEDWINDOW, nullptr, {0, 0, 10, 10},
                       [&](HWND hwnd, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
                           if (m != WM_CLOSE)
                               return std::nullopt;
                           EXPECT_TRUE(DestroyWindow(hwnd));
                           SetLastError(0);
                           EXPECT_EQ(SetWindowLongPtrW(hwnd, GWLP_USERDATA, 5), 0);
                           afterDestroy.push_back(GetLastError());
                           EXPECT_EQ(DefWindowProcW(hwnd, WM_CLOSE, 0, 0), 0);
                           EXPECT_FALSE(DestroyWindow(hwnd));
                           return 0;
                       });
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(SendMessageW(self, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(IsWindow(self));
    EXPECT_EQ(afterDestroy, (std::vector<DWORD>{ERROR_INVALID_WINDOW_HANDLE}));

    // An owned window that destroys its owner goes down with it, inside its own procedure.
    HWND owner = Create(WS_OVERLAPPEDWINDOW);
    HWND owned = Create(WS_POPUP, owner, {0, 0, 10, 10}, [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_CLOSE) {
            DestroyWindow(owner);
            return 0;
        }
        return std::nullopt;
    });
    ASSERT_NE(owned, nullptr);
    harness.Spy().Clear();
    SendMessageW(owned, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(owner));
    EXPECT_FALSE(IsWindow(owned));
    EXPECT_EQ(Seen({WM_DESTROY, WM_NCDESTROY}),
              (Pairs{{owned, WM_DESTROY}, {owned, WM_NCDESTROY}, {owner, WM_DESTROY}, {owner, WM_NCDESTROY}}));

    // A child that destroys its parent while the parent is being destroyed changes nothing more.
    HWND parent = Create(WS_OVERLAPPEDWINDOW);
    HWND child = Create(WS_CHILD, parent, {0, 0, 5, 5}, [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_DESTROY) {
            EXPECT_TRUE(DestroyWindow(parent));
        }
        return std::nullopt;
    });
    ASSERT_NE(child, nullptr);
    harness.Spy().Clear();
    EXPECT_TRUE(DestroyWindow(parent));
    EXPECT_EQ(Seen({WM_DESTROY, WM_NCDESTROY}),
              (Pairs{{parent, WM_DESTROY}, {child, WM_DESTROY}, {child, WM_NCDESTROY}, {parent, WM_NCDESTROY}}));
}

TEST_F(WindowTest, AChildTakenOutOfItsDyingParentLivesOn)
{
    HWND parking = Create(WS_OVERLAPPEDWINDOW);
    HWND child = nullptr;
    HWND parent = Create(WS_OVERLAPPEDWINDOW, nullptr, {0, 0, 50, 50},
                         [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
                             if (m == WM_DESTROY)
                                 SetParent(child, parking);
                             return std::nullopt;
                         });
    child = Create(WS_CHILD, parent);
    HWND grandchild = Create(WS_CHILD, child);
    harness.Spy().Clear();
    EXPECT_TRUE(DestroyWindow(parent));
    EXPECT_EQ(Seen({WM_DESTROY, WM_NCDESTROY}), (Pairs{{parent, WM_DESTROY}, {parent, WM_NCDESTROY}}));
    EXPECT_EQ(GetParent(child), parking);
    EXPECT_EQ(GetParent(grandchild), child);

    // It can still be destroyed on its own, with everything it holds.
    harness.Spy().Clear();
    EXPECT_TRUE(DestroyWindow(child));
    EXPECT_EQ(Seen({WM_DESTROY, WM_NCDESTROY}), (Pairs{{child, WM_DESTROY},
                                                       {grandchild, WM_DESTROY},
                                                       {grandchild, WM_NCDESTROY},
                                                       {child, WM_NCDESTROY}}));
    EXPECT_TRUE(Children(parking).empty());
}

TEST_F(WindowTest, ShowAndEnableReportThePreviousStateAndEnableSendsOnlyOnAChange)
{
    HWND hwnd = Create(WS_OVERLAPPEDWINDOW);
    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOW));
    EXPECT_TRUE(ShowWindow(hwnd, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(ShowWindow(hwnd, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(hwnd));

    harness.Spy().Clear();
    EXPECT_FALSE(EnableWindow(hwnd, FALSE));
    EXPECT_FALSE(IsWindowEnabled(hwnd));
    EXPECT_TRUE(EnableWindow(hwnd, FALSE));
    EXPECT_TRUE(EnableWindow(hwnd, TRUE));
    EXPECT_TRUE(IsWindowEnabled(hwnd));
    auto enables = harness.Spy().Only({WM_ENABLE});
    ASSERT_EQ(enables.size(), 2u);
    EXPECT_EQ(enables[0].wParam, static_cast<WPARAM>(FALSE));
    EXPECT_EQ(enables[1].wParam, static_cast<WPARAM>(TRUE));
}

// Calls on a handle that no longer names a window: each fails as for an invalid handle and the
// window that lives in the reused slot is left exactly as it was.
TEST_F(WindowTest, StaleAndWrongHandlesFailAndTouchNothing)
{
    HWND gone = Create(WS_OVERLAPPEDWINDOW);
    ASSERT_TRUE(DestroyWindow(gone));

    // Reuse gone's slot: slots come back only once 1024 others wait in the free queue.
    uint32_t slot = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(gone)) & 0xFFFF;
    HWND occupant = nullptr;
    for (int i = 0; i < 3000 && occupant == nullptr; ++i) {
        HWND hwnd = Create(WS_OVERLAPPEDWINDOW, nullptr, {1, 2, 31, 42}, {}, u"occupant");
        if ((static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hwnd)) & 0xFFFF) == slot)
            occupant = hwnd;
        else
            DestroyWindow(hwnd);
    }
    ASSERT_NE(occupant, nullptr);
    ASSERT_NE(occupant, gone);
    SetWindowLongPtrW(occupant, GWLP_USERDATA, 77);
    HWND occupantChild = Create(WS_CHILD, occupant);
    HWND other = Create(WS_OVERLAPPEDWINDOW);
    HWND otherChild = Create(WS_CHILD, other);

    HWND wrongKind = reinterpret_cast<HWND>((reinterpret_cast<uintptr_t>(occupant) & 0x00FFFFFF) | (5u << 24));
    HWND tooWide = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(occupant) | (uintptr_t{1} << 40));

    struct Call {
        const char* name;
        std::function<bool(HWND)> failed; // true when the call answered its failure value
    };
    POINT point = {3, 4};
    RECT rect = {};
    std::vector<Call> calls = {
        {"IsWindow", [](HWND h) { return !IsWindow(h); }},
        {"DestroyWindow", [](HWND h) { return !DestroyWindow(h); }},
        {"ShowWindow", [](HWND h) { return !ShowWindow(h, SW_HIDE); }},
        {"IsWindowVisible", [](HWND h) { return !IsWindowVisible(h); }},
        {"EnableWindow", [](HWND h) { return !EnableWindow(h, FALSE); }},
        {"IsWindowEnabled", [](HWND h) { return !IsWindowEnabled(h); }},
        {"GetWindowLongPtrW", [](HWND h) { return GetWindowLongPtrW(h, GWLP_USERDATA) == 0; }},
        {"SetWindowLongPtrW", [](HWND h) { return SetWindowLongPtrW(h, GWL_STYLE, 0) == 0; }},
        {"SetWindowTextW", [](HWND h) { return !SetWindowTextW(h, u"x"); }},
        {"GetWindowTextLengthW", [](HWND h) { return GetWindowTextLengthW(h) == 0; }},
        {"SendMessageW", [](HWND h) { return SendMessageW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"x")) == 0; }},
        {"SendMessageA", [](HWND h) { return SendMessageA(h, WM_GETTEXTLENGTH, 0, 0) == 0; }},
        {"DefWindowProcW", [](HWND h) { return DefWindowProcW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"x")) == 0; }},
        {"SetWindowSubclass",
         [](HWND h) {
             return !SetWindowSubclass(h, [](HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR) -> LRESULT { return 0; }, 1, 0);
         }},
        {"GetParent", [](HWND h) { return GetParent(h) == nullptr; }},
        {"GetWindow", [](HWND h) { return GetWindow(h, GW_CHILD) == nullptr; }},
        {"SetParent (window)", [&](HWND h) { return SetParent(h, other) == nullptr; }},
        {"SetParent (new parent)", [&](HWND h) { return SetParent(otherChild, h) == nullptr; }},
        {"CreateWindowExW (parent)", [&](HWND h) { return Create(WS_CHILD, h) == nullptr; }},
        {"SetWindowPos", [](HWND h) { return !SetWindowPos(h, HWND_TOP, 0, 0, 5, 5, 0); }},
        {"SetWindowPos (insert after)",
         [&](HWND h) { return !SetWindowPos(otherChild, h, 9, 9, 9, 9, SWP_NOACTIVATE); }},
        {"MoveWindow", [](HWND h) { return !MoveWindow(h, 0, 0, 5, 5, TRUE); }},
        {"BringWindowToTop", [](HWND h) { return !BringWindowToTop(h); }},
        {"GetWindowRect", [&](HWND h) { return !GetWindowRect(h, &rect); }},
        {"GetClientRect", [&](HWND h) { return !GetClientRect(h, &rect); }},
        {"MapWindowPoints (from)", [&](HWND h) { return MapWindowPoints(h, nullptr, &point, 1) == 0; }},
        {"MapWindowPoints (to)", [&](HWND h) { return MapWindowPoints(nullptr, h, &point, 1) == 0; }},
        {"ClientToScreen", [&](HWND h) { return !ClientToScreen(h, &point); }},
        {"ScreenToClient", [&](HWND h) { return !ScreenToClient(h, &point); }},
        {"GetWindowPlacement",
         [](HWND h) {
             WINDOWPLACEMENT placement = {};
             return !GetWindowPlacement(h, &placement);
         }},
        {"IsIconic", [](HWND h) { return !IsIconic(h); }},
        {"SetMenu", [](HWND h) { return !SetMenu(h, nullptr); }},
        {"KillTimer", [](HWND h) { return !KillTimer(h, 1); }},
    };

    RECT occupantRect;
    GetWindowRect(occupant, &occupantRect);
    RECT otherChildRect;
    GetWindowRect(otherChild, &otherChildRect);
    ASSERT_EQ(SetTimer(occupant, 1, 1000, nullptr), 1u);
    harness.Spy().Clear();
    for (HWND bad : {gone, wrongKind, tooWide, reinterpret_cast<HWND>(0x12345678)}) {
        for (const Call& call : calls) {
            SCOPED_TRACE(call.name);
            SetLastError(0);
            EXPECT_TRUE(call.failed(bad)) << "handle " << bad;
            EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE) << "handle " << bad;
        }
    }
    EXPECT_TRUE(harness.Spy().Entries().empty());
    EXPECT_EQ(point, (POINT{3, 4}));
    EXPECT_TRUE(IsWindow(occupant));
    EXPECT_EQ(Text(occupant), u"occupant");
    EXPECT_EQ(GetWindowLongPtrW(occupant, GWLP_USERDATA), 77);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(occupant, GWL_STYLE)), WS_OVERLAPPEDWINDOW);
    EXPECT_TRUE(IsWindowEnabled(occupant));
    RECT rectNow;
    GetWindowRect(occupant, &rectNow);
    EXPECT_EQ(rectNow, occupantRect);
    GetWindowRect(otherChild, &rectNow);
    EXPECT_EQ(rectNow, otherChildRect);
    EXPECT_EQ(GetParent(otherChild), other);
    EXPECT_EQ(Children(occupant), (std::vector<HWND>{occupantChild}));
    EXPECT_TRUE(KillTimer(occupant, 1));
}

} // namespace
