#include "toolkit/UIEditTextControl.h"

#include "ToolkitWindowTesting.h"
#include "foundation/CXDebug.h"
#include "toolkit/UIMessageLoop.h"
#include "toolkit/UIUserActionEvent.h"
#include "win32/user/Clipboard.h"

#include <functional>
#include <string>

namespace toolkittest {
namespace {

// A window that records the wheel turns that reach it.
class WheelWindow : public CXUIWindow {
public:
    void HandleScrollWheel(const UIScrollWheelEvent& event) override { wheels.push_back(event); }
    std::vector<UIScrollWheelEvent> wheels;
};

class UIEditTextControlTest : public WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        window = new WheelWindow;
        window->Init();
        window->SetLayout(200, 150, 520, 390, 0, 0);
        window->SetVisible(true);
    }
    void TearDown() override
    {
        window->Destroy();
        WindowElementTest::TearDown();
    }

    // A field set up before Init, in the window, recording the named messages it sends (those
    // whose source it is).
    UIEditTextControl* AddField(const std::function<void(UIEditTextControl&)>& setup = {},
                                Box2i frame = {10, 10, 210, 31})
    {
        auto* field = new UIEditTextControl;
        if (setup)
            setup(*field);
        field->SetLayout(frame.left, frame.top, frame.right, frame.bottom, 0, 0);
        field->Init();
        window->AddChild(field, nullptr);
        field->AddMessageHandler([this, field](const CXMessage& message) -> CXResultCode {
            if (message.GetSource() == field)
                sent.push_back(message.GetName().c_str());
            return kCXNotSupported;
        });
        return field;
    }
    // Turns the main loop while anything is ready, without waiting.
    void TurnWhileReady()
    {
        MSG message = {};
        for (int i = 0; i < 500 && PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); ++i)
            ASSERT_TRUE(loop.Turn());
    }
    void Type(UIEditTextControl* field, const std::u16string& text)
    {
        field->SetFocus();
        harness.Type(text);
        TurnWhileReady();
    }
    size_t CountSent(HWND hwnd, UINT message) const
    {
        size_t count = 0;
        for (const auto& entry : harness.Spy().Only({message}))
            count += entry.hwnd == hwnd ? 1 : 0;
        return count;
    }
    static int32_t Status(UIEditTextControl* field, const char* command)
    {
        return field->HandleMessage(CXMessage("update-command-status", nullptr, CXString(command)));
    }
    static std::pair<int32_t, int32_t> Selection(UIEditTextControl* field)
    {
        std::pair<int32_t, int32_t> selection;
        field->GetSelection(selection.first, selection.second);
        return selection;
    }
    static std::u16string WindowText(UIEditTextControl* field)
    {
        char16_t units[64] = {};
        int length = GetWindowTextW(field->GetNativeHandle(), units, 64);
        return std::u16string(units, static_cast<size_t>(length));
    }

    WheelWindow* window = nullptr;
    UIMessageLoop loop;
    std::vector<std::string> sent;
};

// --- The input filter ---

TEST_F(UIEditTextControlTest, TheFilterAcceptsTextsOfTheKindWithinTheLimit)
{
    using Kind = UIEditTextControl::InputKind;
    struct Case {
        Kind kind;
        std::string text;
        bool accepted;
    };
    const Case cases[] = {
        {Kind::kAnyText, "anything at all, \xc3\xa9", true},
        {Kind::kDecimal, "-12.5", true},
        {Kind::kDecimal, "12.", true},
        {Kind::kDecimal, ".5", true},
        {Kind::kDecimal, "1.2.3", false},
        {Kind::kDecimal, "1-2", false},
        {Kind::kDecimal, "--1", false},
        {Kind::kDecimal, "1e5", false},
        {Kind::kInteger, "-", true},
        {Kind::kInteger, "-42", true},
        {Kind::kInteger, "4-", false},
        {Kind::kInteger, "4.2", false},
        {Kind::kInteger, " 4", false},
        {Kind::kMoney, "$-12.34", true},
        {Kind::kMoney, "-$12.34", true},
        {Kind::kMoney, "$.5", true},
        {Kind::kMoney, "12.345", false},
        {Kind::kMoney, "1$", false},
        {Kind::kMoney, "$$1", false},
        {Kind::kMoney, "--1", false},
        {Kind::kMoney, "1.2.3", false},
        {Kind::kMoney, ".-1", false},
        {static_cast<Kind>(7), "any kind unknown takes anything", true},
        {Kind::kAnyText, std::string(0x7FFF, 'x'), true},
        {Kind::kAnyText, std::string(0x8000, 'x'), false},
        // Characters, not bytes: 0x7FFF two-byte characters.
        {Kind::kAnyText, [] {
             std::string text;
             for (int i = 0; i < 0x7FFF; ++i)
                 text += "\xc3\xa9";
             return text;
         }(),
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "kind " << c.kind << ", " << c.text.size() << " bytes: " << c.text.substr(0, 20));
        UIEditTextControl field;
        field.SetInputKind(c.kind);
        EXPECT_EQ(field.IsAcceptableText(CXString(c.text.c_str(), c.text.size())), c.accepted);
    }
}

TEST_F(UIEditTextControlTest, TypingIsFilteredAndARefusedCharacterRestoresTheTextSilently)
{
    using Kind = UIEditTextControl::InputKind;
    struct Case {
        const char* name;
        Kind kind;
        const char* initial;
        std::u16string typed;
        const char* text;
        size_t changes;
    };
    const Case cases[] = {
        {"a second point in a decimal", Kind::kDecimal, "1.5", u".", "1.5", 0},
        {"a minus into an empty integer", Kind::kInteger, "", u"-", "-", 1},
        {"a minus after a digit", Kind::kInteger, "4", u"-", "4", 0},
        {"dollar and minus, then digits with two decimals", Kind::kMoney, "", u"$-1.25", "$-1.25", 6},
        {"minus and dollar", Kind::kMoney, "", u"-$1", "-$1", 3},
        {"a third decimal", Kind::kMoney, "1.25", u"9", "1.25", 0},
        {"a dollar after a digit", Kind::kMoney, "1", u"$", "1", 0},
        {"any text", Kind::kAnyText, "a", u"\u00e9\U0001F600", "a\xc3\xa9\xf0\x9f\x98\x80", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UIEditTextControl* field = AddField([&](UIEditTextControl& f) {
            f.SetInputKind(c.kind);
            f.SetText(c.initial);
        });
        sent.clear();
        Type(field, c.typed);
        EXPECT_EQ(field->GetText(), c.text);
        size_t changes = 0;
        for (const std::string& name : sent)
            changes += name == "UIEditTextControl::text-changed" ? 1 : 0;
        EXPECT_EQ(changes, c.changes);
        field->Destroy();
    }
}

TEST_F(UIEditTextControlTest, TheLimitCountsCharacters)
{
    UIEditTextControl* field = AddField([](UIEditTextControl& f) { f.SetMaximumLength(3); });
    Type(field, u"\u00e9\u00e9\u00e9\u00e9");
    EXPECT_EQ(field->GetText(), "\xc3\xa9\xc3\xa9\xc3\xa9");
    field->SetText("abcd");
    EXPECT_EQ(field->GetText(), "\xc3\xa9\xc3\xa9\xc3\xa9") << "SetText refuses a text over the limit";
    field->SetMaximumLength(5);
    field->ApplyMaximumLength();
    Type(field, u"xy");
    EXPECT_EQ(field->GetText(), "\xc3\xa9\xc3\xa9\xc3\xa9xy");
}

// --- Text and window ---

TEST_F(UIEditTextControlTest, SetTextStoresAndShowsOnlyAChange)
{
    UIEditTextControl* field = AddField([](UIEditTextControl& f) { f.SetMultiLine(true); });
    HWND handle = field->GetNativeHandle();
    harness.Spy().Clear();
    field->SetText("one\ntwo");
    EXPECT_EQ(CountSent(handle, WM_SETTEXT), 1u);
    EXPECT_EQ(WindowText(field), u"one\r\ntwo");
    EXPECT_EQ(Selection(field), std::make_pair(8, 8));
    field->SetText("one\ntwo");
    EXPECT_EQ(CountSent(handle, WM_SETTEXT), 1u) << "an unchanged text leaves the window alone";
    EXPECT_EQ(field->GetText(), "one\ntwo");
    EXPECT_TRUE(sent.empty()) << "a programmatic change is not the user's";

    // The stored text outlives the window.
    field->DestroySystemContext();
    EXPECT_EQ(field->GetText(), "one\ntwo");
    field->CreateSystemContext();
    EXPECT_EQ(WindowText(field), u"one\r\ntwo");
}

TEST_F(UIEditTextControlTest, WindowStylesFollowTheFlags)
{
    struct Case {
        const char* name;
        bool multiLine;
        bool password;
        DWORD style;
    };
    const Case cases[] = {
        {"single line", false, false, 0x44810080},
        {"password", false, true, 0x448100A0},
        {"multi-line", true, false, 0x44811044},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UIEditTextControl* field = AddField([&](UIEditTextControl& f) {
            f.SetMultiLine(c.multiLine);
            f.SetPasswordField(c.password);
        });
        HWND handle = field->GetNativeHandle();
        DWORD visible = field->IsShown() ? WS_VISIBLE : 0;
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE)), c.style | visible);
        EXPECT_EQ(GetWindowLongW(handle, GWL_EXSTYLE) & 0x300, 0);
        EXPECT_EQ(SendMessageW(handle, EM_GETEVENTMASK, 0, 0), static_cast<LRESULT>(ENM_CHANGE));
        field->Destroy();
    }
    CXDebugCapture capture;
    UIEditTextControl* field = AddField();
    field->SetPasswordField(true);
    EXPECT_EQ(capture.Count("UIEditTextControl::SetPasswordField> unable to modify an existing control"), 1u);
    field->DestroySystemContext();
    field->CreateSystemContext();
    EXPECT_NE(GetWindowLongW(field->GetNativeHandle(), GWL_STYLE) & ES_PASSWORD, 0) << "the next window has it";
}

TEST_F(UIEditTextControlTest, TheFontBecomesTheCharacterFormatWithItsFaceFromUTF8)
{
    UIEditTextControl* field = AddField([](UIEditTextControl& f) { f.SetText("abc"); });
    field->SetFont(RazaFont("Caf\xc3\xa9 Sans", 12, RazaFont::kBold, {1.0f, 0.0f, 0.0f, 1.0f}));
    harness.Texts().Clear();
    InvalidateRect(field->GetNativeHandle(), nullptr, FALSE);
    harness.PumpUntilIdle();
    std::vector<DrawnText> drawn = harness.Texts().Entries();
    ASSERT_FALSE(drawn.empty());
    LOGFONTW font = {};
    ASSERT_NE(GetObjectW(drawn.back().font, sizeof(font), &font), 0);
    EXPECT_EQ(std::u16string(font.lfFaceName), u"Caf\u00e9 Sans");
    EXPECT_EQ(font.lfHeight, -13) << "size 12 is 195 twips, em 13";
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    EXPECT_EQ(drawn.back().color, RGB(255, 0, 0));
}

// --- Commands ---

TEST_F(UIEditTextControlTest, CommandStatusFollowsTheSelectionAndThePasswordFlag)
{
    struct Case {
        const char* command;
        // Answers for an empty text, a text with nothing selected, then one character selected;
        // the last for a password field with one character selected.
        int32_t empty;
        int32_t unselected;
        int32_t selected;
        int32_t password;
    };
    const Case cases[] = {
        {"edit-select-all", -11, 0, 0, 0}, {"edit-copy", -11, -11, 0, -11}, {"edit-cut", -11, -11, 0, -11},
        {"edit-clear", -11, -11, 0, 0},    {"edit-paste", 0, 0, 0, 0},      {"edit-undo", -11, -11, -11, -11},
        {"edit-redo", -2, -2, -2, -2},     {"no-such-command", -2, -2, -2, -2},
    };
    UIEditTextControl* plain = AddField();
    UIEditTextControl* password = AddField([](UIEditTextControl& f) {
        f.SetPasswordField(true);
        f.SetText("secret");
    }, {10, 40, 210, 61});
    password->SetSelection(0, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        plain->SetText("");
        EXPECT_EQ(Status(plain, c.command), c.empty);
        plain->SetText("ab");
        EXPECT_EQ(Status(plain, c.command), c.unselected);
        plain->SetSelection(0, 1);
        EXPECT_EQ(Status(plain, c.command), c.selected);
        EXPECT_EQ(Status(password, c.command), c.password);
    }
    // Typing makes no undo step either: undo is off for the field's window.
    Type(plain, u"c");
    EXPECT_EQ(Status(plain, "edit-undo"), -11);
}

TEST_F(UIEditTextControlTest, SelectAllCopyAndPasteBetweenFields)
{
    UIEditTextControl* from = AddField([](UIEditTextControl& f) { f.SetText("\xc3\xa9t\xc3\xa9"); });
    UIEditTextControl* to = AddField([](UIEditTextControl& f) { f.SetText("x"); }, {10, 40, 210, 61});
    EXPECT_EQ(from->HandleMessage(CXMessage("edit-select-all", nullptr)), kCXOK);
    EXPECT_EQ(Selection(from), std::make_pair(0, 3)) << "the UTF-8 length, clamped to the units";
    EXPECT_EQ(from->HandleMessage(CXMessage("edit-copy", nullptr)), kCXOK);
    sent.clear();
    EXPECT_EQ(to->HandleMessage(CXMessage("edit-paste", nullptr)), kCXOK);
    EXPECT_EQ(to->GetText(), "x\xc3\xa9t\xc3\xa9");
    EXPECT_EQ(sent, std::vector<std::string>{"UIEditTextControl::text-changed"});

    EXPECT_EQ(from->HandleMessage(CXMessage("edit-cut", nullptr)), kCXOK);
    EXPECT_EQ(from->GetText(), "");
    EXPECT_EQ(to->HandleMessage(CXMessage("edit-select-all", nullptr)), kCXOK);
    EXPECT_EQ(to->HandleMessage(CXMessage("edit-clear", nullptr)), kCXOK);
    EXPECT_EQ(to->GetText(), "");

    // A paste the filter refuses is refused whole.
    UIEditTextControl* number = AddField([](UIEditTextControl& f) {
        f.SetInputKind(UIEditTextControl::kInteger);
        f.SetText("12");
    }, {10, 70, 210, 91});
    from->SetText("3a");
    (void)from->HandleMessage(CXMessage("edit-select-all", nullptr));
    (void)from->HandleMessage(CXMessage("edit-copy", nullptr));
    sent.clear();
    (void)number->HandleMessage(CXMessage("edit-paste", nullptr));
    EXPECT_EQ(number->GetText(), "12");
    EXPECT_EQ(WindowText(number), u"12");
    EXPECT_TRUE(sent.empty());
}

TEST_F(UIEditTextControlTest, APasswordFieldNeitherCopiesNorCuts)
{
    UIEditTextControl* field = AddField([](UIEditTextControl& f) {
        f.SetPasswordField(true);
        f.SetText("secret");
    });
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    (void)field->HandleMessage(CXMessage("edit-select-all", nullptr));
    (void)field->HandleMessage(CXMessage("edit-copy", nullptr));
    (void)field->HandleMessage(CXMessage("edit-cut", nullptr));
    EXPECT_EQ(CountClipboardFormats(), 0);
    EXPECT_EQ(field->GetText(), "secret");
}

// --- Focus, Enter, wheel ---

TEST_F(UIEditTextControlTest, FocusAndEnterAreTold)
{
    UIEditTextControl* field = AddField();
    UIEditTextControl* other = AddField({}, {10, 40, 210, 61});
    field->SetFocus();
    TurnWhileReady();
    harness.KeyDown(VK_RETURN);
    harness.KeyUp(VK_RETURN);
    TurnWhileReady();
    other->SetFocus();
    TurnWhileReady();
    EXPECT_EQ(sent, (std::vector<std::string>{"UIEditTextControl::text-opened", "UIEditTextControl::enter",
                                              "UIEditTextControl::text-closed", "UIEditTextControl::text-opened"}));
    EXPECT_EQ(field->GetText(), "") << "Enter types nothing into a single line";
}

TEST_F(UIEditTextControlTest, WheelTurnsReachTheParentAsWholePixels)
{
    UIEditTextControl* field = AddField([](UIEditTextControl& f) { f.SetText("abc"); });
    RECT client = ClientOnScreen(field->GetNativeHandle());
    harness.WheelDelta({client.left + 5, client.top + 4}, 60);
    TurnWhileReady();
    ASSERT_EQ(window->wheels.size(), 1u) << "once, not also through the window's own wheel";
    EXPECT_EQ(window->wheels[0].pixelStep.y, 8);
    EXPECT_EQ(window->wheels[0].pixelStep.x, 0);
    EXPECT_EQ(window->wheels[0].point.x, 5);
    EXPECT_EQ(window->wheels[0].point.y, 4);
    harness.WheelDelta({client.left + 5, client.top + 4}, 60);
    TurnWhileReady();
    ASSERT_EQ(window->wheels.size(), 2u);
    EXPECT_EQ(window->wheels[1].pixelStep.y, 8);

    // A multi-line field keeps the wheel; nothing reaches the parent.
    UIEditTextControl* lines = AddField([](UIEditTextControl& f) { f.SetMultiLine(true); }, {10, 40, 210, 80});
    client = ClientOnScreen(lines->GetNativeHandle());
    harness.WheelDelta({client.left + 5, client.top + 4}, 120);
    TurnWhileReady();
    EXPECT_EQ(window->wheels.size(), 2u);

    // A field forgets its remainders when destroyed: the address starts again from zero.
    harness.WheelDelta({ClientOnScreen(field->GetNativeHandle()).left + 5, client.top - 26}, 50);
    TurnWhileReady();
    ASSERT_EQ(window->wheels.size(), 3u);
    EXPECT_EQ(window->wheels[2].pixelStep.y, 7) << "6.67 pixels, a third of a pixel owed";
    const void* address = field;
    field->Destroy();
    EXPECT_EQ(AccumulateWheel(address, UIWheelAxis::Pixels, 0.0f, 0.5f).y, 1);
}

} // namespace
} // namespace toolkittest
