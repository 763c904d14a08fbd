#include "win32/WindowTesting.h"

#include "win32/user/Queue.h"

using namespace win32test;

namespace {

Script AnswersDlgCode(LRESULT code)
{
    return [code](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_GETDLGCODE)
            return code;
        return std::nullopt;
    };
}

using DialogTest = WindowTest;

TEST_F(DialogTest, TabOrderWalksVisibleEnabledStopsThroughControlParents)
{
    constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
    HWND dialog = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND a = Create(kChild | WS_TABSTOP, dialog);
    HWND group = Create(kChild, dialog, {0, 0, 50, 50}, {}, u"", 0, WS_EX_CONTROLPARENT);
    HWND g1 = Create(kChild | WS_TABSTOP, group);
    HWND inner = Create(kChild, group, {0, 0, 50, 50}, {}, u"", 0, WS_EX_CONTROLPARENT);
    HWND i1 = Create(kChild | WS_TABSTOP, inner);
    HWND hidden = Create(WS_CHILD | WS_TABSTOP, dialog);
    HWND disabled = Create(kChild | WS_TABSTOP | WS_DISABLED, dialog);
    HWND plain = Create(kChild, dialog);
    HWND hiddenGroup = Create(WS_CHILD, dialog, {0, 0, 50, 50}, {}, u"", 0, WS_EX_CONTROLPARENT);
    Create(kChild | WS_TABSTOP, hiddenGroup);
    HWND disabledGroup = Create(kChild | WS_DISABLED, dialog, {0, 0, 50, 50}, {}, u"", 0, WS_EX_CONTROLPARENT);
    Create(kChild | WS_TABSTOP, disabledGroup);
    HWND b = Create(kChild | WS_TABSTOP, dialog);

    struct Case {
        const char* name;
        HWND from;
        BOOL previous;
        HWND expected;
    };
    std::vector<Case> cases = {
        {"NULL forward: the first", nullptr, FALSE, a},
        {"NULL backward: the last", nullptr, TRUE, b},
        {"the dialog forward", dialog, FALSE, a},
        {"the dialog backward", dialog, TRUE, b},
        {"into a control parent", a, FALSE, g1},
        {"into a nested one", g1, FALSE, i1},
        {"out past hidden and disabled stops and groups", i1, FALSE, b},
        {"wrap forward", b, FALSE, a},
        {"wrap backward", a, TRUE, b},
        {"back out of nesting", i1, TRUE, g1},
        {"from a window that is no stop", plain, FALSE, b},
        {"from a hidden stop", hidden, TRUE, i1},
        {"from a disabled stop", disabled, FALSE, b},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GetNextDlgTabItem(dialog, c.from, c.previous), c.expected);
    }

    HWND lonely = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND only = Create(kChild | WS_TABSTOP, lonely);
    SetFocus(only);
    EXPECT_EQ(GetNextDlgTabItem(lonely, only, FALSE), nullptr) << "a lone stop holding the focus";
    EXPECT_EQ(GetNextDlgTabItem(lonely, nullptr, FALSE), only);
    HWND empty = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    Create(kChild, empty);
    EXPECT_EQ(GetNextDlgTabItem(empty, nullptr, FALSE), nullptr) << "no candidate";
    EXPECT_EQ(GetNextDlgTabItem(empty, nullptr, TRUE), nullptr);
}

TEST_F(DialogTest, IsDialogMessageHandlesEnterAndEscapeAndPassesTheRest)
{
    HWND dialog = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND wantsAll = Create(WS_CHILD | WS_VISIBLE, dialog, {0, 0, 10, 10}, AnswersDlgCode(DLGC_WANTALLKEYS), u"", 10);
    HWND button = Create(WS_CHILD | WS_VISIBLE, dialog, {0, 0, 10, 10}, AnswersDlgCode(DLGC_UNDEFPUSHBUTTON | DLGC_BUTTON), u"", 42);
    HWND defButton = Create(WS_CHILD | WS_VISIBLE, dialog, {0, 0, 10, 10}, AnswersDlgCode(DLGC_DEFPUSHBUTTON | DLGC_BUTTON), u"", 43);
    HWND edit = Create(WS_CHILD | WS_VISIBLE, dialog, {0, 0, 10, 10}, AnswersDlgCode(DLGC_HASSETSEL | DLGC_WANTCHARS), u"", 44);

    struct Command {
        WPARAM wParam;
        LPARAM lParam;
        bool operator==(const Command& o) const { return wParam == o.wParam && lParam == o.lParam; }
    };
    struct Case {
        const char* name;
        HWND focus;
        UINT key;
        std::vector<Command> commands;
        std::vector<std::pair<HWND, WPARAM>> chars;
    };
    auto ref = [](HWND w) { return reinterpret_cast<LPARAM>(w); };
    std::vector<Case> cases = {
        {"enter, the focus wants all keys", wantsAll, VK_RETURN, {}, {{wantsAll, 13}}},
        {"escape, the focus wants all keys", wantsAll, VK_ESCAPE, {}, {{wantsAll, 27}}},
        {"enter on a push button", button, VK_RETURN, {{MAKEWPARAM(42, BN_CLICKED), ref(button)}}, {}},
        {"enter on the default button", defButton, VK_RETURN, {{MAKEWPARAM(43, BN_CLICKED), ref(defButton)}}, {}},
        {"escape on a push button", button, VK_ESCAPE, {{IDCANCEL, 0}}, {}},
        {"enter in an edit field", edit, VK_RETURN, {{IDOK, 0}}, {}},
        {"escape in an edit field", edit, VK_ESCAPE, {{IDCANCEL, 0}}, {}},
        {"enter with nothing focused", nullptr, VK_RETURN, {{IDOK, 0}}, {}},
        {"tab falls through, translated", edit, VK_TAB, {}, {{edit, 9}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetFocus(c.focus);
        harness.KeyDown(c.key);
        harness.KeyUp(c.key);
        harness.Spy().Clear();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ASSERT_TRUE(IsDialogMessageW(dialog, &msg));
        }
        std::vector<Command> commands;
        std::vector<std::pair<HWND, WPARAM>> chars;
        for (const auto& e : harness.Spy().Only({WM_COMMAND, WM_CHAR})) {
            if (e.message == WM_COMMAND) {
                EXPECT_EQ(e.hwnd, dialog);
                commands.push_back({e.wParam, e.lParam});
            } else {
                chars.emplace_back(e.hwnd, e.wParam);
            }
        }
        EXPECT_TRUE(commands == c.commands);
        EXPECT_EQ(chars, c.chars);
    }
}

TEST_F(DialogTest, TypingThroughTheDialogManagerReachesTheField)
{
    HWND dialog = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND edit = Create(WS_CHILD | WS_VISIBLE, dialog, {0, 0, 10, 10}, AnswersDlgCode(DLGC_HASSETSEL), u"", 44);
    HWND other = Create(WS_OVERLAPPEDWINDOW);
    SetFocus(edit);
    harness.Type(u"ok!");
    harness.Spy().Clear();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    std::u16string typed;
    for (const auto& e : harness.Spy().Only({WM_CHAR})) {
        EXPECT_EQ(e.hwnd, edit);
        typed.push_back(static_cast<char16_t>(e.wParam));
    }
    EXPECT_EQ(typed, u"ok!");

    // Outside the dialog: FALSE, and nothing is done with the message.
    MSG outside = {other, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    harness.Spy().Clear();
    EXPECT_FALSE(IsDialogMessageW(dialog, &outside));
    EXPECT_TRUE(harness.Spy().Entries().empty());
}

} // namespace
