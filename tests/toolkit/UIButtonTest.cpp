#include "toolkit/UIButton.h"

#include "ToolkitWindowTesting.h"
#include "toolkit/UIAppearance.h"
#include "toolkit/UIMessageLoop.h"

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

class UIButtonTest : public WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        window = MakeWindow();
    }
    void TearDown() override
    {
        window->Destroy();
        WindowElementTest::TearDown();
    }

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

    CXUIWindow* window = nullptr;
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

} // namespace
} // namespace toolkittest
