#include "toolkit/UIButton.h"

#include "ToolkitWindowTesting.h"
#include "toolkit/UIAppearance.h"
#include "toolkit/UIMessageLoop.h"
#include "toolkit/UIPopupMenuButton.h"

#include <functional>
#include <string>

namespace toolkittest {
namespace {

// The named messages a control sent, in order. "preclick" is answered with preclickAnswer,
// "click" is left to travel on; `during` runs inside the handler for the message it names.
struct ClickRecorder {
    std::vector<std::string> seen;
    CXResultCode preclickAnswer = kCXNotSupported;
    std::string destroyOn;

    void Attach(UIElement* control)
    {
        control->AddMessageHandler([this, control](const CXMessage& message) -> CXResultCode {
            EXPECT_EQ(message.GetSource(), control);
            const std::string name = message.GetName().c_str();
            seen.push_back(name);
            if (name == destroyOn)
                control->Destroy();
            return name == "preclick" ? preclickAnswer : kCXNotSupported;
        });
    }
};

class UIButtonTest : public OneWindowTest {
protected:
    template <class Control>
    Control* Add(Box2i frame, const char* title = "Go")
    {
        auto* control = new Control;
        control->SetTitle(title);
        control->SetLayout(frame.left, frame.top, frame.right, frame.bottom, 0, 0);
        control->Init();
        window->AddChild(control, nullptr);
        return control;
    }
    CXUIControl* AddKind(bool checkbox)
    {
        if (checkbox)
            return Add<UICheckbox>({10, 50, 110, 74});
        return Add<UIPushButton>({10, 10, 90, 34});
    }
    static bool IsChecked(CXUIControl* control)
    {
        auto* checkbox = dynamic_cast<UICheckbox*>(control);
        return checkbox != nullptr && checkbox->IsChecked();
    }
    // Turns the main loop while anything is ready, without waiting.
    void TurnWhileReady()
    {
        MSG message = {};
        for (int i = 0; i < 200 && PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); ++i)
            ASSERT_TRUE(loop.Turn());
    }
    size_t CountSent(HWND hwnd, UINT message) const
    {
        size_t count = 0;
        for (const auto& entry : harness.Spy().Only({message}))
            count += entry.hwnd == hwnd ? 1 : 0;
        return count;
    }

    UIMessageLoop loop;
};

TEST_F(UIButtonTest, PreclickAnswerDecidesWhetherClickFollows)
{
    struct Case {
        int32_t answer;
        bool clicks;
    };
    const Case cases[] = {{0, true}, {-2, true}, {-1, false}, {-16, false}};
    for (bool checkbox : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message() << (checkbox ? "checkbox" : "push button") << ", preclick answers "
                                              << c.answer);
            CXUIControl* control = AddKind(checkbox);
            ClickRecorder recorder;
            recorder.preclickAnswer = c.answer;
            recorder.Attach(control);
            HWND handle = control->GetNativeHandle();

            SendMessageW(handle, BM_CLICK, 0, 0);
            const std::vector<std::string> expected =
                c.clicks ? std::vector<std::string>{"preclick", "click"} : std::vector<std::string>{"preclick"};
            EXPECT_EQ(recorder.seen, expected);
            // The toggle happened before "preclick"; a veto keeps it.
            EXPECT_EQ(IsChecked(control), checkbox);

            // Whatever the handlers did, the window system hears 0.
            recorder.seen.clear();
            EXPECT_EQ(SendMessageW(window->GetNativeHandle(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                                   reinterpret_cast<LPARAM>(handle)),
                      0);
            EXPECT_EQ(recorder.seen, expected);
            control->Destroy();
        }
    }
}

TEST_F(UIButtonTest, AButtonClosedByItsOwnHandlerHearsNothingMore)
{
    for (bool checkbox : {false, true}) {
        for (const char* closingMessage : {"preclick", "click"}) {
            SCOPED_TRACE(::testing::Message() << (checkbox ? "checkbox" : "push button") << " closed in "
                                              << closingMessage);
            CXUIControl* control = AddKind(checkbox);
            ClickRecorder recorder;
            recorder.preclickAnswer = kCXOK;
            recorder.destroyOn = closingMessage;
            recorder.Attach(control);
            HWND handle = control->GetNativeHandle();
            std::vector<std::string> reachedWindow;
            window->AddMessageHandler([&reachedWindow](const CXMessage& message) -> CXResultCode {
                reachedWindow.push_back(message.GetName().c_str());
                return kCXNotSupported;
            });

            harness.Click(handle, {20, 12});
            harness.PumpUntilIdle();
            EXPECT_FALSE(IsWindow(handle));
            const std::vector<std::string> expected =
                std::string(closingMessage) == "preclick" ? std::vector<std::string>{"preclick"}
                                                          : std::vector<std::string>{"preclick", "click"};
            EXPECT_EQ(recorder.seen, expected);
            // "click" was left unhandled, but a dead button passes nothing on.
            EXPECT_TRUE(reachedWindow.empty());
            window->Destroy();
            window = MakeWindow();
        }
    }
}

TEST_F(UIButtonTest, EnterOnTheFocusedControlThroughTheMainLoop)
{
    struct Case {
        bool checkbox;
        bool checkedAfter;
    };
    // Enter clicks a push button; a checkbox hears the click (IDOK reflected to the focused
    // control) but is not toggled by it.
    const Case cases[] = {{false, false}, {true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.checkbox ? "checkbox" : "push button");
        CXUIControl* control = AddKind(c.checkbox);
        ClickRecorder recorder;
        recorder.Attach(control);
        control->SetFocus();
        TurnWhileReady();
        ASSERT_TRUE(control->HasFocus());

        harness.KeyDown(VK_RETURN);
        harness.KeyUp(VK_RETURN);
        TurnWhileReady();
        EXPECT_EQ(recorder.seen, (std::vector<std::string>{"preclick", "click"}));
        EXPECT_EQ(IsChecked(control), c.checkedAfter);
        control->Destroy();
    }
}

TEST_F(UIButtonTest, UnchangedTitleLeavesTheWindowAlone)
{
    for (bool checkbox : {false, true}) {
        SCOPED_TRACE(checkbox ? "checkbox" : "push button");
        CXUIControl* control = AddKind(checkbox);
        HWND handle = control->GetNativeHandle();
        harness.Spy().Clear();
        control->SetTitle("A & B");
        EXPECT_EQ(CountSent(handle, WM_SETTEXT), 1u);
        char16_t text[16] = {};
        GetWindowTextW(handle, text, 16);
        EXPECT_EQ(std::u16string(text), u"A && B");
        control->SetTitle("A & B");
        EXPECT_EQ(CountSent(handle, WM_SETTEXT), 1u);
        control->Destroy();
    }
}

TEST_F(UIButtonTest, CheckboxPaintsWithItsFontAndAppearanceColours)
{
    auto* checkbox = Add<UICheckbox>({10, 10, 150, 34}, "Agree");
    checkbox->SetFont(RazaFont("Layer Test Box", 12, 0, {1.0f, 0.0f, 0.0f, 1.0f}));
    harness.Texts().Clear();
    harness.PumpUntilIdle();

    const COLORREF background = UIAppearanceWin32::Get()->GetColor().ToColorRef() & 0xFFFFFFu;
    RECT client = ClientOnScreen(checkbox->GetNativeHandle());
    // Right of the title, left alone by the box and the text.
    EXPECT_EQ(harness.Pixel({client.right - 3, client.top + 2}), win32::testing::OpaquePixel(background));
    bool titleSeen = false;
    for (const DrawnText& drawn : harness.Texts().Entries()) {
        if (drawn.window == checkbox->GetNativeHandle() && drawn.text == u"Agree") {
            titleSeen = true;
            EXPECT_EQ(drawn.color, RGB(255, 0, 0));
        }
    }
    EXPECT_TRUE(titleSeen);
}

TEST_F(UIButtonTest, WindowStyles)
{
    constexpr DWORD kAlignment = BS_CENTER;
    struct Case {
        const char* what;
        std::function<CXUIControl*()> make;
        DWORD style;
    };
    const Case cases[] = {
        {"push button", [this] { return Add<UIPushButton>({10, 10, 90, 34}); }, 0x44010000},
        {"default push button",
         [this] {
             auto* button = new UIPushButton;
             button->SetDefaultButton(1);
             button->Init();
             window->AddChild(button, nullptr);
             return button;
         },
         0x44010001},
        {"default set after Init: the creation style stays",
         [this] {
             auto* button = Add<UIPushButton>({10, 10, 90, 34});
             button->SetDefaultButton(1);
             return button;
         },
         0x44010000},
        {"checkbox", [this] { return Add<UICheckbox>({10, 10, 90, 34}); }, 0x40010003},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CXUIControl* control = c.make();
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(control->GetNativeHandle(), GWL_STYLE)) & ~WS_VISIBLE, c.style);
        control->Destroy();
    }

    // A push button's title is placed by its font's alignment.
    struct Placement {
        int32_t alignment;
        DWORD bits;
    };
    const Placement placements[] = {{RazaFont::kAlignCenter, BS_CENTER},
                                    {RazaFont::kAlignRight, BS_RIGHT},
                                    {RazaFont::kAlignLeftEndInView, BS_RIGHT},
                                    {RazaFont::kAlignLeft, BS_LEFT}};
    auto* button = Add<UIPushButton>({10, 10, 90, 34});
    for (const Placement& p : placements) {
        SCOPED_TRACE(::testing::Message() << "alignment " << p.alignment);
        button->SetFont(RazaFont("", 0, 0, {0.0f, 0.0f, 0.0f, 1.0f}, p.alignment));
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(button->GetNativeHandle(), GWL_STYLE)) & kAlignment, p.bits);
    }
    button->Destroy();
}

// --- The drop-down choice list ---

class UIPopupMenuButtonTest : public UIButtonTest {
protected:
    // A list of `entries` entries ("Entry 0", ...) with `selected` chosen, in the window.
    UIPopupMenuButton* AddPopup(int32_t entries, int32_t selected)
    {
        auto* popup = new UIPopupMenuButton;
        for (int32_t index = 0; index < entries; ++index)
            popup->GetMenu()->AddCommandItem(CXString::FromFormat("Entry %d", index), "", 0);
        popup->SetSelectedIndex(selected);
        popup->SetLayout(10, 10, 150, 34, 0, 0);
        popup->Init();
        window->AddChild(popup, nullptr);
        return popup;
    }
    static LRESULT Ask(UIPopupMenuButton* popup, UINT message)
    {
        return SendMessageW(popup->GetNativeHandle(), message, 0, 0);
    }
};

TEST_F(UIPopupMenuButtonTest, AtMost35EntriesShowAtOnce)
{
    struct Case {
        int32_t entries;
        int32_t visible;
    };
    const Case cases[] = {{0, 0}, {1, 1}, {35, 35}, {36, 27}, {40, 30}, {100, 31}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.entries << " entries");
        EXPECT_EQ(UIPopupMenuButton::VisibleEntriesFor(c.entries), c.visible);
    }

    // The window gets the menu's entries, the count shown at once and the stored selection.
    UIPopupMenuButton* popup = AddPopup(40, 7);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(popup->GetNativeHandle(), GWL_STYLE)) & ~WS_VISIBLE, 0x40210203u);
    EXPECT_EQ(popup->GetMenu()->GetKind(), CXMenu::kHierarchical);
    EXPECT_EQ(Ask(popup, CB_GETCOUNT), 40);
    EXPECT_EQ(Ask(popup, CB_GETMINVISIBLE), 30);
    EXPECT_EQ(Ask(popup, CB_GETCURSEL), 7);
    char16_t text[16] = {};
    SendMessageW(popup->GetNativeHandle(), CB_GETLBTEXT, 39, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::u16string(text), u"Entry 39");

    // Entries added later show once the selection is set again.
    popup->GetMenu()->AddCommandItem("Entry 40", "", 0);
    popup->SetSelectedIndex(40);
    EXPECT_EQ(Ask(popup, CB_GETCOUNT), 41);
    EXPECT_EQ(popup->GetSelectedIndex(), 40);
    popup->SetSelectedIndex(41);
    EXPECT_EQ(popup->GetSelectedIndex(), -1);
    popup->Destroy();
}

TEST_F(UIPopupMenuButtonTest, PreclickDecidesWhetherAPickStands)
{
    struct Case {
        const char* how;
        int32_t answer;
        std::vector<std::string> seen;
        int32_t selectedAfter;
    };
    const Case cases[] = {
        {"key", kCXOK, {"preclick", "click"}, 2},
        {"key", kCXNotSupported, {"preclick", "click"}, 2},
        {"key", -1, {"preclick"}, 1},
        {"row click", kCXOK, {"preclick", "preclick", "click"}, 2},
        {"row click", -1, {"preclick", "preclick"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.how << ", preclick answers " << c.answer);
        UIPopupMenuButton* popup = AddPopup(3, 1);
        ClickRecorder recorder;
        recorder.preclickAnswer = c.answer;
        recorder.Attach(popup);
        int32_t readInClick = -2;
        popup->AddMessageHandler([&readInClick, popup](const CXMessage& message) -> CXResultCode {
            if (message.GetName() == "click")
                readInClick = popup->GetSelectedIndex();
            return kCXNotSupported;
        });
        HWND handle = popup->GetNativeHandle();
        if (std::string(c.how) == "key") {
            popup->SetFocus();
            harness.KeyDown(VK_DOWN);
            TurnWhileReady();
        } else {
            harness.Click(handle, {10, 10});
            TurnWhileReady();
            // The open list holds the capture; its three rows share its height.
            RECT list = {};
            ASSERT_TRUE(GetWindowRect(GetCapture(), &list));
            harness.Click({list.left + 10, list.top + (list.bottom - list.top) * 5 / 6});
            TurnWhileReady();
        }
        EXPECT_EQ(recorder.seen, c.seen);
        EXPECT_EQ(Ask(popup, CB_GETCURSEL), c.selectedAfter);
        EXPECT_EQ(readInClick, c.seen.back() == "click" ? 2 : -2);
        popup->Destroy();
    }
}

TEST_F(UIPopupMenuButtonTest, TheWheelNeverReachesTheList)
{
    UIPopupMenuButton* popup = AddPopup(5, 2);
    HWND handle = popup->GetNativeHandle();
    const RECT box = ClientOnScreen(handle);
    popup->SetFocus();
    TurnWhileReady();
    harness.Spy().Clear();
    for (bool horizontal : {false, true}) {
        harness.Wheel(CenterOf(box), -1, horizontal);
        harness.Wheel(CenterOf(box), 2, horizontal);
    }
    TurnWhileReady();
    EXPECT_EQ(CountSent(handle, WM_MOUSEWHEEL) + CountSent(handle, WM_MOUSEHWHEEL), 0u);
    EXPECT_EQ(Ask(popup, CB_GETCURSEL), 2);
    // Sent straight to the element, the wheel is answered 0 and goes no further.
    EXPECT_EQ(popup->HandleNativeMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0), 0);
    popup->Destroy();
}

} // namespace
} // namespace toolkittest
