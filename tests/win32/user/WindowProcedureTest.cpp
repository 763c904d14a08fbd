#include "win32/WindowTesting.h"

#include "foundation/CXDebug.h"
#include "foundation/CXNativeSync.h"

#include <cstring>
#include <thread>
#include <tuple>

using namespace win32test;

namespace {

std::vector<std::string>* gTrail = nullptr;

LRESULT Recording(const char* name, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER)
        gTrail->push_back(name);
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT FirstSubclass(HWND h, UINT m, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR)
{
    return Recording("first", h, m, w, l);
}

LRESULT SecondSubclass(HWND h, UINT m, WPARAM w, LPARAM l, UINT_PTR id, DWORD_PTR data)
{
    if (m == WM_USER)
        gTrail->push_back("second id " + std::to_string(id) + " data " + std::to_string(data));
    // Passes the message on changed: the rest of the chain sees the new parameter.
    return DefSubclassProc(h, m, w + 1, l);
}

LRESULT Stopping(HWND, UINT m, WPARAM, LPARAM, UINT_PTR, DWORD_PTR)
{
    if (m == WM_USER)
        gTrail->push_back("stopping");
    return 99;
}

TEST_F(WindowTest, SubclassesRunNewestFirstThenTheWindowProcedure)
{
    std::vector<std::string> trail;
    gTrail = &trail;
    HWND hwnd = Create(WS_OVERLAPPEDWINDOW, nullptr, {0, 0, 10, 10},
                       [&](HWND, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
                           if (m != WM_USER)
                               return std::nullopt;
                           trail.push_back("procedure " + std::to_string(w));
                           return 7;
                       });
    EXPECT_TRUE(SetWindowSubclass(hwnd, &FirstSubclass, 0, 0));
    EXPECT_TRUE(SetWindowSubclass(hwnd, &SecondSubclass, 3, 4));
    // Installing again with the same procedure and id updates the data only.
    EXPECT_TRUE(SetWindowSubclass(hwnd, &SecondSubclass, 3, 5));
    harness.Spy().Clear();
    EXPECT_EQ(SendMessageW(hwnd, WM_USER, 10, 0), 7);
    EXPECT_EQ(trail, (std::vector<std::string>{"second id 3 data 5", "first", "procedure 11"}));
    EXPECT_EQ(harness.Spy().Only({WM_USER}).size(), 1u); // the spy sees the message once, first

    // A subclass that answers without passing the message on ends the chain.
    trail.clear();
    SetWindowSubclass(hwnd, &Stopping, 0, 0);
    EXPECT_EQ(SendMessageW(hwnd, WM_USER, 0, 0), 99);
    EXPECT_EQ(trail, (std::vector<std::string>{"stopping"}));

    // Outside a subclass procedure there is nothing to pass on to.
    CXDebugCapture capture;
    EXPECT_EQ(DefSubclassProc(hwnd, WM_USER, 0, 0), 0);
    EXPECT_TRUE(capture.Contains("DefSubclassProc> not called from a subclass procedure"));
    gTrail = nullptr;
}

TEST_F(WindowTest, TheWindowProcedureCanBeReplacedAndCalledThrough)
{
    HWND hwnd = Create(WS_OVERLAPPEDWINDOW, nullptr, {0, 0, 10, 10}, {}, u"before");
    static WNDPROC previous = nullptr;
    WNDPROC replacement = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_USER)
            return 5;
        return CallWindowProcW(previous, h, m, w, l);
    };
    SetLastError(1);
    previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(replacement)));
    EXPECT_EQ(previous, &ScriptedProcedure);
    EXPECT_EQ(SendMessageW(hwnd, WM_USER, 0, 0), 5);
    EXPECT_EQ(Text(hwnd), u"before"); // other messages reach the old procedure
}

TEST_F(WindowTest, WindowLongsReadBackWhatWasSetAndAnswerThePreviousValue)
{
    HWND parent = Create(WS_OVERLAPPEDWINDOW);
    // (index, old, new) of each WM_STYLECHANGED.
    std::vector<std::tuple<int, DWORD, DWORD>> styleChanges;
    Script recordStyles = [&](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
        if (message == WM_STYLECHANGED) {
            auto* change = reinterpret_cast<const STYLESTRUCT*>(lParam);
            styleChanges.emplace_back(static_cast<int>(wParam), change->styleOld, change->styleNew);
        }
        return std::nullopt;
    };
    HWND hwnd = Create(WS_CHILD, parent, {0, 0, 10, 10}, recordStyles, u"", 12, WS_EX_CLIENTEDGE);
    HINSTANCE foreign = reinterpret_cast<HINSTANCE>(uintptr_t{0x1000});
    struct Case {
        const char* name;
        int index;
        LONG_PTR initial;
        LONG_PTR next;
    };
    const Case cases[] = {
        {"user data", GWLP_USERDATA, 0, 0x123456789},
        {"id", GWLP_ID, 12, 13},
        {"style", GWL_STYLE, static_cast<LONG>(WS_CHILD), static_cast<LONG>(WS_CHILD | WS_BORDER)},
        {"extended style", GWL_EXSTYLE, WS_EX_CLIENTEDGE, 0},
        {"instance", GWLP_HINSTANCE, reinterpret_cast<LONG_PTR>(harness.Instance()), reinterpret_cast<LONG_PTR>(foreign)},
        {"extra bytes", 0, 0, -42},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GetWindowLongPtrW(hwnd, c.index), c.initial);
        SetLastError(1);
        EXPECT_EQ(SetWindowLongPtrW(hwnd, c.index, c.next), c.initial);
        EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
        EXPECT_EQ(GetWindowLongPtrW(hwnd, c.index), c.next);
    }
    // A style set tells the window afterwards, only when it changes the value.
    SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(WS_CHILD | WS_BORDER));
    using Change = std::tuple<int, DWORD, DWORD>;
    EXPECT_EQ(styleChanges, (std::vector<Change>{Change{GWL_STYLE, WS_CHILD, WS_CHILD | WS_BORDER},
                                                 Change{GWL_EXSTYLE, WS_EX_CLIENTEDGE, 0}}));
    // The class gave 8 extra bytes: nothing lies beyond them.
    for (int index : {1, 8, -3}) {
        SetLastError(0);
        EXPECT_EQ(SetWindowLongPtrW(hwnd, index, 1), 0);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX) << "index " << index;
    }
}

TEST_F(WindowTest, ClassesAreKeyedByNameWithoutCaseAndByInstance)
{
    HINSTANCE foreign = reinterpret_cast<HINSTANCE>(uintptr_t{0x1000});
    WNDCLASSEXW again = {};
    again.cbSize = sizeof(again);
    again.lpfnWndProc = &DefWindowProcW;
    again.hInstance = harness.Instance();
    again.lpszClassName = u"TEST.WINDOW";
    SetLastError(0);
    EXPECT_EQ(RegisterClassExW(&again), 0);
    EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
    again.cbSize = 48;
    EXPECT_EQ(RegisterClassExW(&again), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    // The same name for another module is another class.
    again.cbSize = sizeof(again);
    again.hInstance = foreign;
    again.style = CS_DBLCLKS;
    ATOM atom = RegisterClassExW(&again);
    EXPECT_NE(atom, 0);
    HWND mine = CreateWindowExW(0, u"test.window", u"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
    HWND theirs = CreateWindowExW(0, u"Test.Window", u"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, foreign, nullptr);
    HWND byAtom = CreateWindowExW(0, MAKEINTRESOURCEW(atom), u"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, foreign, nullptr);
    ASSERT_TRUE(mine && theirs && byAtom);
    EXPECT_EQ(GetWindowLongPtrW(mine, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&ScriptedProcedure));
    EXPECT_EQ(GetWindowLongPtrW(theirs, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&DefWindowProcW));
    EXPECT_EQ(GetWindowLongPtrW(theirs, GWLP_HINSTANCE), reinterpret_cast<LONG_PTR>(foreign));
    SetLastError(0);
    EXPECT_EQ(CreateWindowExW(0, u"Unknown", u"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
    EXPECT_EQ(CreateWindowExW(0, kTestClass, u"", WS_CHILD, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_TLW_WITH_WSCHILD);

    // A class goes only when its windows have gone.
    EXPECT_FALSE(UnregisterClassW(u"test.window", foreign));
    EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
    DestroyWindow(theirs);
    DestroyWindow(byAtom);
    EXPECT_TRUE(UnregisterClassW(u"test.window", foreign));
    EXPECT_FALSE(UnregisterClassW(u"test.window", foreign));
    EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
    EXPECT_TRUE(IsWindow(mine));
}

TEST_F(WindowTest, SendMessageACarriesTextsInUTF8)
{
    HWND hwnd = Create(WS_OVERLAPPEDWINDOW);
    const char* text = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80"; // "Grüße € 😀"
    EXPECT_EQ(SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)), TRUE);
    EXPECT_EQ(Text(hwnd), u"Gr\u00FC\u00DFe \u20AC \U0001F600");
    EXPECT_EQ(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(std::strlen(text)));

    struct Case {
        WPARAM room;
        std::string expected;
    };
    // A buffer that ends inside a character takes only the whole characters before it.
    for (const Case& c : {Case{64, text}, Case{5, "Gr\xC3\xBC"}, Case{4, "Gr"}, Case{3, "Gr"}, Case{1, ""},
                          Case{11, "Gr\xC3\xBC\xC3\x9F" "e "}}) {
        char buffer[64];
        std::memset(buffer, 'x', sizeof(buffer));
        LRESULT copied = SendMessageA(hwnd, WM_GETTEXT, c.room, reinterpret_cast<LPARAM>(buffer));
        EXPECT_EQ(std::string(buffer), c.expected) << "room " << c.room;
        EXPECT_EQ(copied, static_cast<LRESULT>(c.expected.size()));
    }
    // Anything else passes unchanged.
    HWND echo = Create(WS_POPUP, nullptr, {0, 0, 5, 5}, [](HWND, UINT m, WPARAM w, LPARAM l) -> std::optional<LRESULT> {
        if (m == WM_USER)
            return static_cast<LRESULT>(w) * 1000 + l;
        return std::nullopt;
    });
    EXPECT_EQ(SendMessageA(echo, WM_USER, 3, -1), 2999);
}

TEST_F(WindowTest, SendsNestAtMost512FramesDeep)
{
    int deepest = 0;
    HWND hwnd = Create(WS_OVERLAPPEDWINDOW, nullptr, {0, 0, 10, 10},
                       [&](HWND h, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
                           if (m != WM_USER)
                               return std::nullopt;
                           deepest = std::max(deepest, static_cast<int>(w));
                           return 1 + SendMessageW(h, WM_USER, w + 1, 0);
                       });
    CXDebugCapture capture;
    EXPECT_EQ(SendMessageW(hwnd, WM_USER, 1, 0), 512);
    EXPECT_EQ(deepest, 512);
    EXPECT_EQ(capture.Count("nested deeper than 512"), 1u);
    // Once the stack has unwound, sends work again (and a new overflow is reported again).
    EXPECT_EQ(SendMessageW(hwnd, WM_USER, 1, 0), 512);
    EXPECT_EQ(capture.Count("nested deeper than 512"), 2u);
}

TEST_F(WindowTest, DefWindowProcPassesACursorOrActivationQuestionOfAChildToItsParent)
{
    HWND parent = Create(WS_OVERLAPPEDWINDOW, nullptr, {0, 0, 100, 100},
                         [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
                             if (m == WM_SETCURSOR)
                                 return TRUE;
                             if (m == WM_MOUSEACTIVATE)
                                 return MA_NOACTIVATE;
                             return std::nullopt;
                         });
    HWND child = Create(WS_CHILD, parent);
    EXPECT_EQ(SendMessageW(child, WM_SETCURSOR, 0, 0), TRUE);
    EXPECT_EQ(SendMessageW(child, WM_MOUSEACTIVATE, 0, 0), MA_NOACTIVATE);
    HWND lone = Create(WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(SendMessageW(lone, WM_SETCURSOR, 0, 0), 0);
    EXPECT_EQ(SendMessageW(lone, WM_MOUSEACTIVATE, 0, 0), 0);
}

TEST_F(WindowTest, CallsFromAnotherThreadFailAndChangeNothing)
{
    HWND hwnd = Create(WS_OVERLAPPEDWINDOW, nullptr, {0, 0, 100, 100}, {}, u"kept");
    EXPECT_EQ(GetCurrentThreadId(), CXGetCurrentThreadId());
    harness.Spy().Clear();
    CXDebugCapture capture;
    std::vector<std::pair<std::string, DWORD>> errors;
    DWORD tick = 0;
    std::thread worker([&] {
        auto record = [&](const char* name, bool failed) { errors.emplace_back(name, failed ? GetLastError() : 0); };
        record("SendMessageW", SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"changed")) == 0);
        record("SendMessageW again", SendMessageW(hwnd, WM_CLOSE, 0, 0) == 0);
        record("SetWindowTextW", !SetWindowTextW(hwnd, u"changed"));
        record("SetWindowLongPtrW", SetWindowLongPtrW(hwnd, GWLP_USERDATA, 9) == 0);
        record("MoveWindow", !MoveWindow(hwnd, 5, 5, 5, 5, TRUE));
        record("DestroyWindow", !DestroyWindow(hwnd));
        record("IsWindow", !IsWindow(hwnd));
        record("CreateWindowExW", CreateWindowExW(0, kTestClass, u"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr,
                                                  nullptr, nullptr) == nullptr);
        tick = GetTickCount();
    });
    worker.join();
    for (const auto& [name, error] : errors)
        EXPECT_EQ(error, ERROR_INVALID_THREAD_ID) << name;
    EXPECT_EQ(tick, GetTickCount()); // the clock is for every thread
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(Text(hwnd), u"kept");
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_USERDATA), 0);
    RECT rect;
    GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect, (RECT{0, 0, 100, 100}));
    EXPECT_TRUE(harness.Spy().Only({WM_SETTEXT, WM_CLOSE, WM_DESTROY, WM_MOVE, WM_NCCREATE}).empty());
    // Each refused function is logged once, however often it is called.
    EXPECT_EQ(capture.Count("SendMessageW> not on the UI thread"), 1u);
    EXPECT_EQ(capture.Count("DestroyWindow> not on the UI thread"), 1u);
}

} // namespace
