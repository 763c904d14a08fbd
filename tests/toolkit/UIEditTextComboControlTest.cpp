#include "toolkit/UIEditTextComboControl.h"

#include "ToolkitWindowTesting.h"
#include "foundation/CXTextEncoding.h"
#include "toolkit/UIMessageLoop.h"

#include <functional>
#include <string>

namespace toolkittest {
namespace {

class UIEditTextComboControlTest : public OneWindowTest {
protected:
    // A field set up before Init, in the window, recording the named messages it sends.
    UIEditTextComboControl* AddField(const std::function<void(UIEditTextComboControl&)>& setup = {},
                                     Box2i frame = {10, 10, 210, 31})
    {
        auto* field = new UIEditTextComboControl;
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
    void TurnWhileReady()
    {
        MSG message = {};
        for (int i = 0; i < 500 && PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); ++i)
            ASSERT_TRUE(loop.Turn());
    }
    static std::u16string WindowText(UIEditTextComboControl* field)
    {
        char16_t units[64] = {};
        int length = GetWindowTextW(field->GetNativeHandle(), units, 64);
        return std::u16string(units, static_cast<size_t>(length));
    }
    size_t CountSent(const char* name) const
    {
        size_t count = 0;
        for (const std::string& entry : sent)
            count += entry == name ? 1 : 0;
        return count;
    }

    UIMessageLoop loop;
    std::vector<std::string> sent;
};

TEST_F(UIEditTextComboControlTest, SetTextWithinTheLimitOnly)
{
    UIEditTextComboControl* field = AddField([](UIEditTextComboControl& f) {
        f.SetMaximumLength(3);
        f.SetText("a\nb");
    });
    HWND handle = field->GetNativeHandle();
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE)), 0x44810080u | WS_VISIBLE);
    EXPECT_EQ(WindowText(field), u"a\r\nb") << "a line break is one code point of the limit";

    harness.Spy().Clear();
    field->SetText("abcd");
    EXPECT_EQ(field->GetText(), "a\nb");
    EXPECT_EQ(WindowText(field), u"a\r\nb");
    EXPECT_TRUE(harness.Spy().Only({WM_SETTEXT}).empty()) << "a refused text leaves the window alone";

    field->SetText("\xf0\x9f\x98\x80\xc3\xa9x");
    EXPECT_EQ(field->GetText(), "\xf0\x9f\x98\x80\xc3\xa9x") << "three code points, four units, seven bytes";
    EXPECT_TRUE(sent.empty()) << "a programmatic change is not the user's";

    // The limit starts where the rich field's does.
    UIEditTextComboControl fresh;
    EXPECT_EQ(fresh.GetMaximumLength(), 0x7FFF);
    EXPECT_TRUE(fresh.IsWithinLimit(CXString(std::string(0x7FFF, 'x').c_str())));
    EXPECT_FALSE(fresh.IsWithinLimit(CXString(std::string(0x8000, 'x').c_str())));
}

TEST_F(UIEditTextComboControlTest, TypingPastTheLimitIsUndone)
{
    struct Case {
        const char* name;
        int64_t limit;
        const char* initial;
        // Applied after the initial text, before typing; 0 keeps the limit.
        int64_t lowerTo;
        std::u16string typed;
        const char* text;
        size_t changes;
    };
    const Case cases[] = {
        {"the character past the limit", 3, "ab", 0, u"xy", "abx", 1},
        {"a surrogate pair is one code point", 2, "", 0, u"\U0001F600\u00e9", "\xf0\x9f\x98\x80\xc3\xa9", 2},
        {"and is refused whole", 2, "", 0, u"\u00e9\U0001F600x", "\xc3\xa9\xf0\x9f\x98\x80", 2},
        {"a limit lowered below the text keeps it", 5, "abcd", 2, u"e", "abcd", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UIEditTextComboControl* field = AddField([&](UIEditTextComboControl& f) {
            f.SetMaximumLength(c.limit);
            f.SetText(c.initial);
        });
        if (c.lowerTo != 0)
            field->SetMaximumLength(c.lowerTo);
        sent.clear();
        field->SetFocus();
        harness.Type(c.typed);
        TurnWhileReady();
        EXPECT_EQ(field->GetText(), c.text);
        EXPECT_EQ(ConvertUTF16ToUTF8(CXString::FromUTF16(WindowText(field).data(), WindowText(field).size())), c.text);
        EXPECT_EQ(CountSent("UIEditTextComboControl::text-changed"), c.changes);
        field->Destroy();
    }
}

TEST_F(UIEditTextComboControlTest, FocusAndEnterAreTold)
{
    UIEditTextComboControl* field = AddField();
    UIEditTextComboControl* other = AddField({}, {10, 40, 210, 61});
    field->SetFocus();
    TurnWhileReady();
    harness.KeyDown(VK_RETURN);
    harness.KeyUp(VK_RETURN);
    TurnWhileReady();
    other->SetFocus();
    TurnWhileReady();
    EXPECT_EQ(sent, (std::vector<std::string>{"UIEditTextComboControl::text-opened", "UIEditTextComboControl::enter",
                                              "UIEditTextComboControl::text-closed",
                                              "UIEditTextComboControl::text-opened"}));
    EXPECT_EQ(field->GetText(), "") << "Enter types nothing into the line";
}

} // namespace
} // namespace toolkittest
