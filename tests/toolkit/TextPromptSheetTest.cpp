#include "toolkit/TextPromptSheet.h"

#include "GrafTesting.h"
#include "ToolkitWindowTesting.h"
#include "foundation/CXDebug.h"
#include "foundation/CXMessagePost.h"
#include "toolkit/CXMenu.h"
#include "toolkit/UIButton.h"
#include "toolkit/UICustomControl.h"
#include "toolkit/UIEditTextControl.h"
#include "toolkit/UIMessageLoop.h"
#include "toolkit/UIRazaStaticText.h"

#include <algorithm>
#include <string>
#include <vector>

namespace toolkittest {
namespace {

// "<name>/<argument count>:<arguments joined by ','>".
std::string ReplyLine(const CXMessage& message)
{
    std::string line = std::string(message.GetName().c_str()) + "/" + std::to_string(message.GetArguments().size()) + ":";
    for (size_t i = 0; i < message.GetArguments().size(); ++i)
        line += (i > 0 ? "," : "") + std::string(message.GetArguments()[i].c_str());
    return line;
}

// A target that is no element: it records every message.
class RecordingTarget : public CXMessageTarget {
public:
    explicit RecordingTarget(std::vector<std::string>* log) : fLog(log) {}
    CXResultCode HandleMessage(const CXMessage& message) override
    {
        fLog->push_back(ReplyLine(message));
        return kCXOK;
    }

private:
    std::vector<std::string>* fLog;
};

class TextPromptSheetTest : public WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        owner = MakeWindow();
        owner->AddMessageHandler([this](const CXMessage& message) -> CXResultCode {
            const CXString& name = message.GetName();
            if (name != "reply" && name != "cancel-reply")
                return kCXNotSupported;
            replies.push_back(ReplyLine(message));
            if (onReply)
                onReply();
            return kCXOK;
        });
        ASSERT_TRUE(harness.PumpUntilIdle());
    }
    void TearDown() override
    {
        if (owner)
            owner->Destroy();
        CXMenu::ReleaseAllMenus();
        CXMessagePostTask::DeleteSingleton();
        WindowElementTest::TearDown();
    }

    // Records the completion as "<result>:<texts joined by ','>".
    void RecordCompletion(TextPromptSheet* sheet)
    {
        sheet->SetCompletionHandler([this](int32_t result, const std::vector<CXString>& texts) {
            std::string line = std::to_string(result) + ":";
            for (size_t i = 0; i < texts.size(); ++i)
                line += (i > 0 ? "," : "") + std::string(texts[i].c_str());
            completions.push_back(line);
        });
    }

    // A press of the button with the mouse.
    void Press(UIPushButton* button) { ClickCentre(button->GetNativeHandle()); }

    bool OwnerEnabled() const { return IsWindowEnabled(owner->GetNativeHandle()) != FALSE; }

    // The element's frame on the screen.
    static Box2i OnScreen(UIElement* element)
    {
        return element->ConvertBoxToAncestor({0, 0, element->GetWidth(), element->GetHeight(), false}, nullptr);
    }
    static bool Inside(const Box2i& box, const RECT& area)
    {
        return box.left >= area.left && box.top >= area.top && box.right <= area.right && box.bottom <= area.bottom;
    }

    CXSafePointer<CXUIWindow> owner;
    std::vector<std::string> replies;
    std::vector<std::string> completions;
    std::function<void()> onReply;
    UIMessageLoop loop;
};

// --- Answers ---

TEST_F(TextPromptSheetTest, EachFormAnswersItsButtonsWithTheReplyItWasGiven)
{
    enum class Form { Message, Buttons, ThreeButtons, Choice };
    struct Case {
        const char* name;
        Form form;
        bool plainTarget;
        const char* selectedKey;
        const char* cancelReply;
        int button;
        std::vector<std::string> replies;
        std::string completion;
    };
    const Case cases[] = {
        {"message: OK sends nothing", Form::Message, false, "", "", 0, {}, "0:"},
        {"question: the first button, no field, no arguments", Form::Buttons, false, "", "", 0, {"reply/0:"}, "0:"},
        {"question: the second without a cancel reply", Form::Buttons, false, "", "", 1, {}, "1:"},
        {"question: the second with a cancel reply", Form::Buttons, false, "", "cancel-reply", 1, {"cancel-reply/0:"},
         "1:"},
        {"question: the third button", Form::ThreeButtons, false, "", "cancel-reply", 2, {"reply/0:"}, "2:"},
        {"question to a target that is no element", Form::Buttons, true, "", "", 0, {"reply/0:"}, "0:"},
        {"choice: OK sends the chosen key", Form::Choice, false, "b", "", 0, {"reply/1:b"}, "0:b"},
        {"choice: no valid selection sends an empty key", Form::Choice, false, "zz", "", 0, {"reply/1:"}, "0:"},
        {"choice: Cancel without a cancel reply", Form::Choice, false, "a", "", 1, {}, "1:a"},
        {"choice: Cancel with a cancel reply", Form::Choice, false, "a", "cancel-reply", 1, {"cancel-reply/1:a"},
         "1:a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        replies.clear();
        completions.clear();
        RecordingTarget plain(&replies);
        CXMessageTarget* target = c.plainTarget ? static_cast<CXMessageTarget*>(&plain) : owner.get();
        TextPromptSheet* sheet = nullptr;
        switch (c.form) {
        case Form::Message:
            sheet = TextPromptSheet::ShowMessage(target, "Done.");
            break;
        case Form::Buttons:
            sheet = TextPromptSheet::ShowButtonPrompt(target, "Go on?", "reply", "Yes", "No");
            break;
        case Form::ThreeButtons:
            sheet = new TextPromptSheet(target);
            sheet->Init();
            sheet->SetReply("reply");
            sheet->SetFirstButtonTitle("Yes");
            sheet->SetSecondButtonTitle("No");
            sheet->SetThirdButtonTitle("Later");
            sheet->SetVisible(true);
            break;
        case Form::Choice:
            sheet = TextPromptSheet::ShowChoicePrompt(target, "Pick one", {{"b", "Banana"}, {"a", "Apple"}},
                                                      c.selectedKey, "reply");
            break;
        }
        sheet->SetCancelReply(c.cancelReply);
        RecordCompletion(sheet);
        CXSafePointer<TextPromptSheet> alive(sheet);
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(OwnerEnabled(), c.plainTarget) << "an element's window is held disabled";

        UIPushButton* buttons[] = {sheet->GetFirstButton(), sheet->GetSecondButton(), sheet->GetThirdButton()};
        Press(buttons[c.button]);
        EXPECT_EQ(replies, c.replies);
        EXPECT_EQ(completions, std::vector<std::string>{c.completion});
        DeliverPosted();
        EXPECT_FALSE(alive) << "the sheet closes itself";
        EXPECT_TRUE(OwnerEnabled());
    }
}

TEST_F(TextPromptSheetTest, EnterInTheTextFieldAnswersAsTheFirstButton)
{
    TextPromptSheet* sheet = TextPromptSheet::ShowButtonPrompt(owner.get(), "Name?", "reply", "Save", "Cancel");
    sheet->SetCancelReply("cancel-reply");
    sheet->SetEnteredText("ab");
    RecordCompletion(sheet);
    CXSafePointer<TextPromptSheet> alive(sheet);
    sheet->GetTextField()->SetFocus();
    harness.Type(u"c");
    harness.KeyDown(VK_RETURN);
    harness.KeyUp(VK_RETURN);
    DeliverPosted();
    EXPECT_EQ(replies, std::vector<std::string>{"reply/1:abc"});
    EXPECT_EQ(completions, std::vector<std::string>{"0:abc"});
    EXPECT_FALSE(alive);
}

TEST_F(TextPromptSheetTest, TheAnswerHidesAndRepliesAtOnceAndTheSheetClosesOnTheNextTurn)
{
    TextPromptSheet* sheet = TextPromptSheet::ShowButtonPrompt(owner.get(), "Name?", "reply", "OK", "Cancel");
    sheet->SetCancelReply("cancel-reply");
    sheet->SetEnteredText("x");
    RecordCompletion(sheet);
    CXSafePointer<TextPromptSheet> alive(sheet);
    HWND hwnd = sheet->GetNativeHandle();
    // The owner is still held while the reply runs.
    bool ownerEnabledDuringReply = true;
    onReply = [&] { ownerEnabledDuringReply = OwnerEnabled(); };

    const CXMessage enter("UIEditTextControl::enter", sheet->GetTextField());
    EXPECT_EQ(sheet->HandleMessage(enter), kCXOK);
    ASSERT_TRUE(alive) << "the sheet outlives its answer until the posted close";
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_FALSE(sheet->IsVisible());
    EXPECT_EQ(sheet->GetResult(), 0);
    EXPECT_EQ(replies, std::vector<std::string>{"reply/1:x"});
    EXPECT_FALSE(ownerEnabledDuringReply);
    EXPECT_FALSE(OwnerEnabled());

    // A second Enter or a click in the same turn answers nothing more.
    (void)sheet->HandleMessage(enter);
    (void)sheet->HandleMessage(CXMessage("click", sheet->GetSecondButton()));
    EXPECT_EQ(replies, std::vector<std::string>{"reply/1:x"});
    EXPECT_EQ(completions, std::vector<std::string>{"0:x"});

    ASSERT_TRUE(loop.Turn());
    EXPECT_FALSE(alive);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(OwnerEnabled());

    // Closed from elsewhere, a sheet answers nothing.
    replies.clear();
    completions.clear();
    sheet = TextPromptSheet::ShowButtonPrompt(owner.get(), "Go on?", "reply", "Yes", "No");
    RecordCompletion(sheet);
    EXPECT_EQ(CXUIWindow::RequestClose(sheet), kCXOK);
    DeliverPosted();
    EXPECT_TRUE(replies.empty());
    EXPECT_TRUE(completions.empty());
    EXPECT_TRUE(OwnerEnabled());
}

TEST_F(TextPromptSheetTest, ATargetThatDiedGetsNothingButTheCompletionRuns)
{
    std::vector<std::string> log;
    auto* target = new RecordingTarget(&log);
    TextPromptSheet* sheet = TextPromptSheet::ShowButtonPrompt(target, "Go on?", "reply", "Yes", "No");
    RecordCompletion(sheet);
    delete target;
    Press(sheet->GetFirstButton());
    DeliverPosted();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(completions, std::vector<std::string>{"0:"});
}

TEST_F(TextPromptSheetTest, AReplyThatDestroysTheOwnerLeavesNothingBehind)
{
    // Another window stays on show, so that the owner's going does not end the program.
    CXUIWindow* bystander = MakeWindow({600, 150, 900, 390, false});
    TextPromptSheet* sheet = TextPromptSheet::ShowButtonPrompt(owner.get(), "Quit?", "reply", "Quit", "Stay");
    RecordCompletion(sheet);
    CXSafePointer<TextPromptSheet> alive(sheet);
    HWND sheetWindow = sheet->GetNativeHandle();
    onReply = [this] { owner->Destroy(); };
    CXDebugCapture capture;
    Press(sheet->GetFirstButton());
    EXPECT_FALSE(owner);
    EXPECT_FALSE(IsWindow(sheetWindow)) << "the owned window went with its owner";
    EXPECT_EQ(completions, std::vector<std::string>{"0:"});
    DeliverPosted();
    EXPECT_FALSE(alive);
    EXPECT_EQ(capture.ErrorCount(), 0u) << "no window resource is left behind";
    EXPECT_TRUE(IsWindowEnabled(bystander->GetNativeHandle()));
    bystander->Destroy();
}

// --- Layout ---

TEST_F(TextPromptSheetTest, ButtonsStandRightToLeftTwelveApartAtLeast69Wide)
{
    struct Case {
        const char* name;
        const char* first;
        const char* second;
        const char* third;
        // The shown buttons from the right: 0 first, 1 second, 2 third.
        std::vector<int> order;
        // The button whose long title widens it (-1: none).
        int wide;
    };
    const Case cases[] = {
        {"message: OK alone", "OK", "", "", {0}, -1},
        {"question with an empty second title", "Yes", "", "", {0}, -1},
        {"question: the second rightmost", "Quit", "Continue Patching", "", {1, 0}, 1},
        {"three buttons: the third between", "Yes", "No", "Ask me again later", {1, 2, 0}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* sheet = new TextPromptSheet(owner.get());
        sheet->Init();
        sheet->SetFirstButtonTitle(c.first);
        sheet->SetSecondButtonTitle(c.second);
        sheet->SetThirdButtonTitle(c.third);
        sheet->SetVisible(true);
        ASSERT_TRUE(harness.PumpUntilIdle());
        RECT client = {};
        GetClientRect(sheet->GetNativeHandle(), &client);
        EXPECT_EQ(client.right, 450);
        EXPECT_EQ(sheet->GetWidth(), 450);

        UIPushButton* buttons[] = {sheet->GetFirstButton(), sheet->GetSecondButton(), sheet->GetThirdButton()};
        std::vector<int> shown;
        for (int i = 0; i < 3; ++i) {
            if (buttons[i]->IsVisible())
                shown.push_back(i);
        }
        std::sort(shown.begin(), shown.end(),
                  [&](int a, int b) { return buttons[a]->GetFrame().right > buttons[b]->GetFrame().right; });
        EXPECT_EQ(shown, c.order);
        int32_t right = 450 - 24;
        for (int index : shown) {
            const Box2i frame = buttons[index]->GetFrame();
            EXPECT_EQ(frame.right, right) << "button " << index;
            EXPECT_GE(frame.Width(), 69) << "button " << index;
            EXPECT_EQ(frame.bottom, client.bottom - 20) << "button " << index;
            EXPECT_EQ(frame.Height(), 24) << "button " << index;
            right = frame.left - 12;
        }
        // A long title widens its button beyond the least width; a short one does not.
        EXPECT_EQ(buttons[0]->GetFrame().Width(), 69);
        if (c.wide >= 0) {
            EXPECT_GT(buttons[c.wide]->GetFrame().Width(), 69);
        }
        sheet->Destroy();
    }
}

TEST_F(TextPromptSheetTest, TheMessageGrowsTheSheetAndEveryLineEndsInsideTheLabel)
{
    TextPromptSheet* shortSheet = TextPromptSheet::ShowMessage(owner.get(), "One line.");
    const int32_t shortHeight = shortSheet->GetHeight();
    shortSheet->Destroy();

    std::string text;
    for (int line = 1; line <= 10; ++line)
        text += (line > 1 ? "\n" : "") + std::string("Line ") + std::to_string(line);
    TextPromptSheet* sheet = TextPromptSheet::ShowMessage(owner.get(), text.c_str());
    UIRazaStaticText* label = sheet->GetMessageText();
    EXPECT_GT(sheet->GetHeight(), shortHeight);
    RecordingGraf graf;
    label->Draw(graf);
    std::vector<int32_t> lineBottoms;
    for (const RecordingGraf::Call& call : graf.Calls()) {
        if (call.name == "DrawString")
            lineBottoms.push_back(call.point.y + 3);
    }
    ASSERT_EQ(lineBottoms.size(), 10u);
    EXPECT_LE(lineBottoms.back(), label->GetHeight()) << "the last line lies inside the label";
    EXPECT_LT(label->GetFrame().bottom, sheet->GetFirstButton()->GetFrame().top);
    sheet->Destroy();
}

TEST_F(TextPromptSheetTest, AMessageTallerThanTheWorkAreaIsCutAndTheControlsStayOnIt)
{
    std::string text;
    for (int line = 1; line <= 200; ++line)
        text += (line > 1 ? "\n" : "") + std::string("Line ") + std::to_string(line);
    std::string logged = text;
    std::replace(logged.begin(), logged.end(), '\n', ' ');

    auto* page = new UICustomControl;
    page->SetLayout(10, 10, 300, 200, 0, 0);
    owner->AddChild(page, nullptr);
    page->Init();
    RECT area = {};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0));

    struct Case {
        const char* name;
        UIElement* parent;
        bool ownerLow; // the owner window sits in the lower part of the work area
    };
    const Case cases[] = {
        {"over a window", owner.get(), false},
        {"over a window low on the screen", owner.get(), true},
        {"over a page", page, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.ownerLow)
            owner->SetLayout(area.left + 20, area.bottom - 220, area.left + 420, area.bottom - 20, 0, 0);
        UIElement* parent = c.parent;
        CXDebugCapture capture;
        auto* sheet = new TextPromptSheet(parent);
        sheet->Init();
        sheet->SetMessage(text.c_str());
        sheet->SetEnteredText("");
        sheet->SetFirstButtonTitle("OK");
        sheet->SetSecondButtonTitle("Cancel");
        sheet->SetVisible(true);
        ASSERT_TRUE(harness.PumpUntilIdle());

        RECT window = {};
        GetWindowRect(sheet->GetNativeHandle(), &window);
        EXPECT_GE(window.top, area.top);
        EXPECT_LE(window.bottom, area.bottom);
        for (UIElement* control : {static_cast<UIElement*>(sheet->GetTextField()),
                                   static_cast<UIElement*>(sheet->GetFirstButton()),
                                   static_cast<UIElement*>(sheet->GetSecondButton())}) {
            EXPECT_TRUE(Inside(OnScreen(control), area));
        }
        EXPECT_LT(sheet->GetMessageText()->GetFrame().bottom, sheet->GetTextField()->GetFrame().top);
        EXPECT_EQ(capture.Count(logged), 1u) << "the whole message is logged on one line";
        sheet->Destroy();
    }
}

} // namespace
} // namespace toolkittest
