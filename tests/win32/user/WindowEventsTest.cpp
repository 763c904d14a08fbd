// The window system's side of top-level windows: what the layer tells the backend it changed, the
// window events the backend queues (close, configure, activate, expose) and the clipboard text
// shared with other programs.

#include "tests/win32/WindowTesting.h"
#include "win32/user/Clipboard.h"
#include "win32/user/User.h"

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace win32test;
using Change = std::pair<HWND, TopLevelChange>;

class WindowEventsTest : public WindowTest {
protected:
    std::vector<Change> Changes()
    {
        std::vector<Change> changes;
        for (const auto& change : harness.Backend().Changes())
            changes.emplace_back(change.hwnd, change.what);
        return changes;
    }

    void Clear()
    {
        ASSERT_TRUE(harness.PumpUntilIdle());
        harness.Spy().Clear();
        harness.Backend().ClearChanges();
        harness.Backend().ClearPresentations();
    }
};

TEST_F(WindowEventsTest, TheLayerTellsTheBackendWhatItChangedAboutTopLevelWindows)
{
    HWND top = Create(WS_OVERLAPPEDWINDOW, nullptr, {10, 20, 210, 170}, {}, u"Old");
    HWND child = Create(WS_CHILD | WS_VISIBLE, top, {0, 0, 50, 20});
    HWND other = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HMENU bar = CreateMenu();
    Clear();

    using T = TopLevelChange;
    struct Step {
        const char* name;
        std::function<void()> act;
        std::vector<Change> told;
    };
    const Step steps[] = {
        {"shown and activated", [&] { ShowWindow(top, SW_SHOW); }, {{top, T::Shown}, {top, T::Activated}}},
        {"shown again", [&] { ShowWindow(top, SW_SHOW); }, {}},
        {"moved", [&] { SetWindowPos(top, nullptr, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER); }, {{top, T::MovedOrSized}}},
        {"sized", [&] { MoveWindow(top, 30, 40, 300, 200, TRUE); }, {{top, T::MovedOrSized}}},
        {"not moved", [&] { MoveWindow(top, 30, 40, 300, 200, TRUE); }, {}},
        {"resized by the user", [&] { harness.UserResize(top, 320, 220); }, {{top, T::MovedOrSized}}},
        {"a child moved", [&] { MoveWindow(child, 5, 5, 50, 20, TRUE); }, {}},
        {"a menu bar moves the client area", [&] { SetMenu(top, bar); }, {{top, T::MovedOrSized}}},
        {"titled", [&] { SetWindowTextW(top, u"New"); }, {{top, T::Title}}},
        {"the same title", [&] { SetWindowTextW(top, u"New"); }, {}},
        {"a child's text", [&] { SetWindowTextW(child, u"Label"); }, {}},
        {"the capture taken inside", [&] { SetCapture(child); }, {{top, T::CaptureTaken}}},
        {"the capture released", [&] { ReleaseCapture(); }, {{top, T::CaptureReleased}}},
        {"the capture lost with its holder", [&] { SetCapture(child); DestroyWindow(child); },
         {{top, T::CaptureTaken}, {top, T::CaptureReleased}}},
        {"another activated", [&] { SetActiveWindow(other); }, {{other, T::Activated}}},
        {"hidden", [&] { ShowWindow(other, SW_HIDE); }, {{other, T::Hidden}, {top, T::Activated}}},
        {"shown by SetWindowPos", [&] { SetWindowPos(other, nullptr, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE); },
         {{other, T::Shown}}},
        {"hidden by SetWindowPos", [&] { SetWindowPos(other, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER); },
         {{other, T::Hidden}}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        harness.Backend().ClearChanges();
        step.act();
        EXPECT_EQ(Changes(), step.told);
    }

    // Created visible: shown, then activated.
    harness.Backend().ClearChanges();
    HWND shown = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    EXPECT_EQ(Changes(), (std::vector<Change>{{shown, T::Shown}, {shown, T::Activated}}));
}

TEST_F(WindowEventsTest, CloseSendsWMCloseOnlyToAnEnabledWindowWithACloseBox)
{
    struct Case {
        const char* name;
        DWORD style;
        bool disabled;
        bool closes;
    };
    const Case cases[] = {
        {"close box", WS_OVERLAPPEDWINDOW, false, true},
        {"close box, disabled (under a modal window)", WS_OVERLAPPEDWINDOW, true, false},
        {"no close box", WS_POPUP | WS_CAPTION, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND hwnd = Create(c.style | WS_VISIBLE);
        EnableWindow(hwnd, c.disabled ? FALSE : TRUE);
        harness.MoveTo(POINT{500, 400});
        Clear();
        harness.RequestClose(hwnd);
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(Seen({WM_CLOSE}).size(), c.closes ? 1u : 0u);
        // DefWindowProcW destroys a closed window.
        EXPECT_EQ(IsWindow(hwnd) == FALSE, c.closes);
        // A window event is no pointer input.
        POINT pointer;
        GetCursorPos(&pointer);
        EXPECT_EQ(pointer, (POINT{500, 400}));
        DestroyWindow(hwnd);
    }
    // A window already gone: nothing.
    HWND gone = Create(WS_OVERLAPPEDWINDOW);
    DestroyWindow(gone);
    Clear();
    harness.RequestClose(gone);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_TRUE(harness.Spy().Entries().empty());
}

TEST_F(WindowEventsTest, ConfigureMovesAndSizesAsTheWindowSystemPlacedTheWindowWithoutTellingItBack)
{
    HWND top = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {10, 20, 210, 170});
    Clear();

    // Its own rectangle: nothing at all.
    harness.Configure(top, {10, 20, 210, 170});
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_TRUE(harness.Spy().Entries().empty());
    EXPECT_TRUE(harness.Backend().Presentations().empty());

    // Another one: WM_MOVE and WM_SIZE, the buffer at the new size painted and presented, and no
    // MovedOrSized echoed.
    harness.Configure(top, {100, 50, 400, 300});
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(Seen({WM_MOVE, WM_SIZE}), (std::vector<std::pair<HWND, UINT>>{{top, WM_MOVE}, {top, WM_SIZE}}));
    RECT rect;
    GetWindowRect(top, &rect);
    EXPECT_EQ(rect, (RECT{100, 50, 400, 300}));
    EXPECT_TRUE(Changes().empty());
    EXPECT_FALSE(Seen({WM_PAINT}).empty());
    const auto* image = harness.Backend().ImageOf(top);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 300);
    EXPECT_EQ(image->height, 250);

    // A procedure that keeps a smallest width moves the window again: that move is its own, and is
    // told.
    HWND keeper = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {10, 20, 210, 170},
                         [](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
                             RECT r;
                             GetWindowRect(hwnd, &r);
                             if (message == WM_SIZE && r.right - r.left < 150)
                                 SetWindowPos(hwnd, nullptr, 0, 0, 150, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
                             return std::nullopt;
                         });
    Clear();
    harness.Configure(keeper, {10, 20, 110, 170});
    ASSERT_TRUE(harness.PumpUntilIdle());
    GetWindowRect(keeper, &rect);
    EXPECT_EQ(rect, (RECT{10, 20, 160, 170}));
    EXPECT_EQ(Changes(), (std::vector<Change>{{keeper, TopLevelChange::MovedOrSized}}));
}

TEST_F(WindowEventsTest, ExposePresentsTheBufferAgainWithoutPainting)
{
    HWND top = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {10, 20, 210, 170});
    Clear();
    struct Case {
        RECT lost;
        std::vector<RECT> presented;
    };
    const Case cases[] = {
        {{5, 6, 50, 60}, {{5, 6, 50, 60}}},
        {{-10, -10, 20, 30}, {{0, 0, 20, 30}}}, // clipped to the window
        {{300, 300, 400, 400}, {}},             // outside it
    };
    for (const Case& c : cases) {
        harness.Backend().ClearPresentations();
        harness.Spy().Clear();
        harness.Expose(top, c.lost);
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_TRUE(harness.Spy().Entries().empty());
        const auto& presentations = harness.Backend().Presentations();
        if (c.presented.empty()) {
            EXPECT_TRUE(presentations.empty());
            continue;
        }
        ASSERT_EQ(presentations.size(), 1u);
        EXPECT_EQ(presentations[0].hwnd, top);
        EXPECT_EQ(presentations[0].region, c.presented);
    }
    // A hidden window has nothing on the screen to present.
    ShowWindow(top, SW_HIDE);
    Clear();
    harness.Expose(top, {0, 0, 10, 10});
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_TRUE(harness.Backend().Presentations().empty());
}

TEST_F(WindowEventsTest, ActivateAndDeactivateMoveTheLayersActivationWithoutAnEcho)
{
    HWND first = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND edit = Create(WS_CHILD | WS_VISIBLE, first, {0, 0, 50, 20});
    SetFocus(edit);
    HWND second = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ASSERT_EQ(GetActiveWindow(), second);
    Clear();

    harness.ActivateBySystem(first);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(GetActiveWindow(), first);
    EXPECT_EQ(GetFocus(), edit); // its focus comes back
    EXPECT_EQ(Seen({WM_ACTIVATE}), (std::vector<std::pair<HWND, UINT>>{{second, WM_ACTIVATE}, {first, WM_ACTIVATE}}));
    EXPECT_TRUE(Changes().empty());

    // Deactivating a window that is not the active one changes nothing.
    harness.DeactivateBySystem(second);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(GetActiveWindow(), first);

    harness.DeactivateBySystem(first);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_EQ(GetFocus(), nullptr);

    harness.ActivateBySystem(first);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(GetActiveWindow(), first);
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_TRUE(Changes().empty());

    // A disabled window (under a modal window) is not activated.
    EnableWindow(second, FALSE);
    Clear();
    harness.ActivateBySystem(second);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(GetActiveWindow(), first);
    EXPECT_TRUE(Seen({WM_ACTIVATE}).empty());
}

// ---- The clipboard shared with other programs ------------------------------------------------

// A backend whose shared clipboard the test plays: it records what the layer tells it and answers
// reads with what the test set.
class SharingBackend : public headless::HeadlessBackend {
public:
    void ClipboardTextChanged(const std::u16string* text) override
    {
        told.push_back(text != nullptr ? std::optional<std::u16string>(*text) : std::nullopt);
    }
    SharedClipboard ReadSharedClipboardText(std::u16string* text) override
    {
        ++reads;
        if (answer == kText)
            *text = other;
        return answer;
    }

    std::vector<std::optional<std::u16string>> told;
    SharedClipboard answer = kOwn;
    std::u16string other;
    int reads = 0;
};

class SharedClipboardTest : public ::testing::Test {
protected:
    static HGLOBAL Block(const void* bytes, size_t size)
    {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
        std::memcpy(GlobalLock(block), bytes, size);
        GlobalUnlock(block);
        return block;
    }
    static HGLOBAL Wide(const std::u16string& text) { return Block(text.c_str(), (text.size() + 1) * 2); }
    static HGLOBAL Narrow(const std::string& text) { return Block(text.c_str(), text.size() + 1); }

    template <typename Unit>
    static std::basic_string<Unit> Read(HANDLE handle)
    {
        auto block = static_cast<HGLOBAL>(handle);
        if (block == nullptr)
            return {};
        std::basic_string<Unit> text(static_cast<const Unit*>(GlobalLock(block)));
        GlobalUnlock(block);
        return text;
    }

    // One clipboard session.
    void Session(const std::function<void()> inside)
    {
        ASSERT_TRUE(OpenClipboard(nullptr));
        inside();
        ASSERT_TRUE(CloseClipboard());
    }

    SharingBackend backend;
    win32::testing::Harness harness{&backend};
    UINT privateFormat = RegisterClipboardFormatW(u"Cx Private");
};

TEST_F(SharedClipboardTest, ASessionThatChangedTheTextTellsItOnceAtClose)
{
    using Told = std::vector<std::optional<std::u16string>>;
    struct Case {
        const char* name;
        std::function<void()> inside;
        Told told;
    };
    const Case cases[] = {
        {"text set twice", [] { EmptyClipboard(); SetClipboardData(CF_UNICODETEXT, Wide(u"a")); SetClipboardData(CF_UNICODETEXT, Wide(u"one\r\ntwo")); },
         {u"one\r\ntwo"}},
        {"UTF-8 text", [] { EmptyClipboard(); SetClipboardData(CF_TEXT, Narrow("caf\xc3\xa9")); }, {u"caf\u00e9"}},
        {"emptied, another format set", [this] { EmptyClipboard(); SetClipboardData(privateFormat, Narrow("x")); },
         {std::nullopt}},
        {"another format added", [this] { SetClipboardData(privateFormat, Narrow("y")); }, {}},
        {"only read", [] { GetClipboardData(CF_UNICODETEXT); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        backend.told.clear();
        Session([&] {
            c.inside();
            EXPECT_TRUE(backend.told.empty()); // not before the session ends
        });
        EXPECT_EQ(backend.told, c.told);
    }
}

TEST_F(SharedClipboardTest, AnotherProgramsTextStandsInForTheLayersOwn)
{
    Session([this] {
        EmptyClipboard();
        SetClipboardData(CF_UNICODETEXT, Wide(u"own"));
        SetClipboardData(privateFormat, Narrow("private"));
    });

    // Another program took the clipboard over with its text: both text formats give it; the
    // private format stays.
    backend.answer = Backend::kText;
    backend.other = u"from \u00e9lsewhere\r\n";
    backend.reads = 0;
    Session([this] {
        EXPECT_EQ(Read<char16_t>(GetClipboardData(CF_UNICODETEXT)), u"from \u00e9lsewhere\r\n");
        EXPECT_EQ(Read<char>(GetClipboardData(CF_TEXT)), "from \xc3\xa9lsewhere\r\n");
        EXPECT_EQ(Read<char>(GetClipboardData(privateFormat)), "private");
        EXPECT_EQ(CountClipboardFormats(), 3);
        EXPECT_EQ(EnumClipboardFormats(0), privateFormat);
    });
    EXPECT_EQ(backend.reads, 1); // once per session
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));

    // Pasted into an edit.
    HWND parent = CreateWindowExW(0, u"STATIC", u"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                  nullptr, harness.Instance(), nullptr);
    HWND edit = CreateWindowExW(0, u"EDIT", u"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 20, parent, nullptr,
                                harness.Instance(), nullptr);
    SendMessageW(edit, WM_PASTE, 0, 0);
    char16_t pasted[64] = {};
    GetWindowTextW(edit, pasted, 64);
    EXPECT_EQ(std::u16string(pasted), u"from \u00e9lsewhere");

    // The session's own text is current once it has set some, whatever the other program holds.
    backend.told.clear();
    Session([this] {
        SetClipboardData(CF_UNICODETEXT, Wide(u"mine again"));
        EXPECT_EQ(Read<char16_t>(GetClipboardData(CF_UNICODETEXT)), u"mine again");
    });
    EXPECT_EQ(backend.told.size(), 1u);

    // The other program holds no text: no text format at all.
    backend.answer = Backend::kNothing;
    Session([this] {
        EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr);
        EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
        EXPECT_EQ(CountClipboardFormats(), 1);
        EXPECT_EQ(EnumClipboardFormats(0), privateFormat);
        EXPECT_EQ(EnumClipboardFormats(privateFormat), 0u);
    });
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));

    // The layer's own again.
    backend.answer = Backend::kOwn;
    Session([] { EXPECT_EQ(Read<char16_t>(GetClipboardData(CF_UNICODETEXT)), u"mine again"); });
}

} // namespace
