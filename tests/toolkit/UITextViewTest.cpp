#include "toolkit/UITextView.h"

#include "ToolkitWindowTesting.h"
#include "foundation/CXGenericEventContext.h"
#include "toolkit/CXOSSoup.h"
#include "toolkit/GTextData.h"
#include "toolkit/UICustomControl.h"
#include "toolkit/UICustomControlDropTarget.h"
#include "toolkit/UIMessageLoop.h"
#include "toolkit/UIUserActionEvent.h"
#include "win32/testing/DataObjects.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace toolkittest {
namespace {

using win32::testing::MakeFileDrop;
using win32::testing::MakeTextDrop;

// Em 12: advance 7, lines 13 high.
TextStyle TestStyle()
{
    TextStyle style;
    style.face = "Layer Test Box";
    style.size = 12;
    return style;
}

// A windowed custom control that keeps the wheel records its children hand on.
class WheelSink : public UICustomControl {
public:
    explicit WheelSink(Box2i frame) { SetLayout(frame.left, frame.top, frame.right, frame.bottom, 0, 0); }
    void HandleScrollWheel(const UIScrollWheelEvent& event) override { received.push_back(event); }

    std::vector<UIScrollWheelEvent> received;
};

// Another member of a ring, needing the range it is given.
class RangeClient : public Scrollable {
public:
    RangeClient(double minimum, double maximum) : fMinimum(minimum), fMaximum(maximum) {}
    bool GetAxisRange(const ScrollAxisRef&, double& minimum, double& maximum, double& page) override
    {
        minimum = fMinimum;
        maximum = fMaximum;
        page = 0;
        return true;
    }

    ScrollAxisRef axis{this};

private:
    double fMinimum;
    double fMaximum;
};

class UITextViewTest : public WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        window = MakeWindow({200, 150, 520, 390, false});
    }
    void TearDown() override
    {
        if (window != nullptr)
            window->Destroy();
        WindowElementTest::TearDown();
    }

    // A view of 200 x 130 (ten lines) at (10, 10) in the parent, added before or after Init.
    UITextView* MakeView(UIElement* parent, GTextData* document = nullptr, bool initFirst = false)
    {
        auto* view = new UITextView;
        view->SetLayout(10, 10, 210, 140, 0, 0);
        if (initFirst)
            view->Init(document);
        parent->AddChild(view, nullptr);
        if (!initFirst)
            view->Init(document);
        view->GetDocument()->SetCurrentStyle(TestStyle());
        view->AddMessageHandler([this](const CXMessage& message) {
            const std::string name(message.GetName().c_str());
            if (name.rfind("UITextView::", 0) == 0 || name == "Changed")
                notes.push_back(name);
            return kCXNotSupported;
        });
        return view;
    }
    static void SetText(UITextView* view, const std::string& text) { view->SetText(CXString(text.c_str())); }
    static std::string Text(UITextView* view) { return view->GetText().c_str(); }
    static std::pair<int32_t, int32_t> Selection(UITextView* view)
    {
        int32_t start = 0;
        int32_t end = 0;
        view->GetDocument()->GetSelection(start, end);
        return {start, end};
    }
    static void Select(UITextView* view, int32_t start, int32_t end)
    {
        view->GetDocument()->SetSelection(start, end, true);
    }
    static CXResultCode Send(UITextView* view, const char* name, const char* argument = nullptr)
    {
        if (argument != nullptr)
            return view->HandleMessage(CXMessage(name, nullptr, CXString(argument)));
        return view->HandleMessage(CXMessage(name, nullptr));
    }
    static void PutClipboardText(const char* text)
    {
        CXOSSoupClipboard clipboard(true);
        clipboard.PutData(0, "TEXT", text, std::strlen(text));
    }
    int Count(const std::string& note) const { return static_cast<int>(std::count(notes.begin(), notes.end(), note)); }
    POINT ViewCenter(UITextView* view) const { return CenterOf(ClientOnScreen(view->GetNativeHandle())); }
    void TurnWhileReady()
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE))
            ASSERT_TRUE(loop.Turn());
    }

    CXUIWindow* window = nullptr;
    UIMessageLoop loop;
    std::vector<std::string> notes;
};

// Every edit command against a view that may be read-only: what it answers, what its status says
// just before, and the text and selection it leaves. The view holds "one two!" with "one" selected,
// an undo step (the "!" typed) and "XY" on the clipboard.
TEST_F(UITextViewTest, CommandsAndTheirStatusFollowReadOnly)
{
    struct Case {
        const char* command;
        bool readOnly;
        int32_t status;
        int32_t result;
        const char* text;
        std::pair<int32_t, int32_t> selection;
    };
    const Case cases[] = {
        {"edit-copy", false, 0, 0, "one two!", {0, 3}},
        {"edit-copy", true, 0, 0, "one two!", {0, 3}},
        {"edit-cut", false, 0, 0, " two!", {0, 0}},
        {"edit-cut", true, -11, -10, "one two!", {0, 3}},
        {"edit-paste", false, 0, 0, "XY two!", {2, 2}},
        {"edit-paste", true, 0, -10, "one two!", {0, 3}},
        {"edit-clear", false, 0, 0, " two!", {0, 0}},
        {"edit-clear", true, 0, -10, "one two!", {0, 3}},
        {"edit-undo", false, 0, 0, "one two", {7, 7}},
        {"edit-undo", true, 0, -10, "one two!", {0, 3}},
        // Redo says it is never available, yet performs the one undo step there is.
        {"edit-redo", false, -11, 0, "one two", {7, 7}},
        {"edit-redo", true, -11, -10, "one two!", {0, 3}},
        {"edit-select-all", false, 0, 0, "one two!", {0, 8}},
        {"edit-select-all", true, 0, 0, "one two!", {0, 8}},
        {"edit-shift-right", false, 0, 0, "\tone two!", {0, 9}},
        {"edit-shift-right", true, -11, -10, "one two!", {0, 3}},
        {"edit-shift-left", false, 0, 0, "one two!", {0, 8}},
        {"edit-shift-left", true, -11, -10, "one two!", {0, 3}},
    };
    UITextView* view = MakeView(window);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.command) + (c.readOnly ? " read-only" : ""));
        view->SetReadOnly(false);
        SetText(view, "one two");
        Select(view, 7, 7);
        view->GetDocument()->Insert("!", 1, false);
        Select(view, 0, 3);
        PutClipboardText("XY");
        view->SetReadOnly(c.readOnly);
        EXPECT_EQ(Send(view, "update-command-status", c.command), c.status);
        EXPECT_EQ(Send(view, c.command), c.result);
        EXPECT_EQ(Text(view), c.text);
        EXPECT_EQ(Selection(view), c.selection);
    }

    // With nothing selected and nothing to paste or undo.
    view->SetReadOnly(false);
    SetText(view, "one");
    {
        CXOSSoupClipboard clipboard(true);
    }
    for (const char* command : {"edit-cut", "edit-copy", "edit-clear", "edit-paste", "edit-undo"})
        EXPECT_EQ(Send(view, "update-command-status", command), -11) << command;
    // Commands that are not edits go on to the custom control.
    EXPECT_EQ(Send(view, "update-command-status", "file-open"), -2);
}

TEST_F(UITextViewTest, ShiftLeftTakesATabOrUpToTwoSpacesFromEachLine)
{
    struct Case {
        const char* text;
        std::pair<int32_t, int32_t> selection;
        const char* shifted;
        std::pair<int32_t, int32_t> after;
    };
    const Case cases[] = {
        {" a", {0, 0}, "a", {0, 1}},
        {"   a", {0, 0}, " a", {0, 2}},
        {"\t\ta", {1, 1}, "\ta", {0, 2}},
        // Lines from the selection start's to that of the character before its end.
        {"\ta\n\tb\n\tc", {1, 5}, "a\nb\n\tc", {0, 3}},
        {"x\n  y\nz", {2, 7}, "x\ny\nz", {2, 5}},
    };
    UITextView* view = MakeView(window);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SetText(view, c.text);
        Select(view, c.selection.first, c.selection.second);
        view->ShiftLeft();
        EXPECT_EQ(Text(view), c.shifted);
        EXPECT_EQ(Selection(view), c.after);
    }
    SetText(view, "a\nb\nc");
    Select(view, 0, 2);
    view->ShiftRight();
    EXPECT_EQ(Text(view), "\ta\n\tb\nc");
    EXPECT_EQ(Selection(view), std::make_pair(0, 5));
}

TEST_F(UITextViewTest, SingleLineJoinsLinesAndReturnSendsEnter)
{
    UITextView* view = MakeView(window);
    view->SetMultiLine(false);
    SetText(view, "a\r\n\r\nb");
    EXPECT_EQ(Text(view), "a;b");

    view->SetFocus();
    harness.KeyDown(VK_RETURN, u"\r");
    harness.KeyUp(VK_RETURN);
    TurnWhileReady();
    EXPECT_EQ(Text(view), "a;b");
    EXPECT_EQ(Count("UITextView::text-enter"), 1);
    const char16_t tab[2] = {9, 0};
    EXPECT_FALSE(view->HandleText(tab, 2, 0));

    // Multi-line with Return reserved: Return alone is left, Shift+Return breaks the line.
    view->SetMultiLine(true);
    view->SetReturnReserved(true);
    const char16_t ret[2] = {13, 0};
    EXPECT_FALSE(view->HandleText(ret, 2, 0));
    EXPECT_TRUE(view->HandleText(ret, 2, UICustomControlBase::kModifierShift));
    EXPECT_EQ(Text(view), "\ra;b");
}

TEST_F(UITextViewTest, EditsBetweenTwoPassesGiveOneChangeNotification)
{
    UITextView* view = MakeView(window);
    SetText(view, "abc");
    loop.Turn();
    EXPECT_EQ(Count("UITextView::text-changed"), 0) << "SetText takes no change stamp";

    Select(view, 3, 3);
    view->GetDocument()->Insert("d", 1, false);
    view->GetDocument()->Insert("e", 1, false);
    ASSERT_TRUE(loop.Turn());
    EXPECT_EQ(Count("UITextView::text-changed"), 1);
    EXPECT_EQ(Count("Changed"), 1);
    ASSERT_TRUE(loop.Turn());
    EXPECT_EQ(Count("UITextView::text-changed"), 1);

    // "Changed" only when the modified bit differs from what was last reported.
    view->GetDocument()->Insert("f", 1, false);
    ASSERT_TRUE(loop.Turn());
    EXPECT_EQ(Count("UITextView::text-changed"), 2);
    EXPECT_EQ(Count("Changed"), 1);

    // Focus in and out.
    view->SetFocus();
    TurnWhileReady();
    window->SetFocus();
    TurnWhileReady();
    EXPECT_EQ(Count("UITextView::text-open"), 1);
    EXPECT_EQ(Count("UITextView::text-closed"), 1);
}

// 16 pixels a notch; at the ends the rest goes to the parent, with its lines of 16 pixels.
TEST_F(UITextViewTest, WheelScrollsAndHandsTheRestToTheParent)
{
    auto* sink = new WheelSink({0, 0, 300, 200, false});
    window->AddChild(sink, nullptr);
    sink->Init();
    UITextView* view = MakeView(sink);
    std::string text;
    for (int i = 0; i < 30; ++i)
        text += "line\n";
    SetText(view, text.substr(0, text.size() - 1));
    ScrollAxisRef& vertical = view->GetVerticalAxis();
    ASSERT_EQ(vertical.GetMaximum(), 30 * 13 - 130);

    const POINT center = ViewCenter(view);
    struct Step {
        int notches;
        double position;
        int passedPixels;
        int passedLines;
    };
    const Step steps[] = {
        {-1, 16, 0, 0},
        {-2, 48, 0, 0},
        {1, 32, 0, 0},
        {-20, 260, -(320 - 228), -5},
        {-1, 260, -16, -1},
        {30, 0, 480 - 260, 13},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.notches);
        sink->received.clear();
        harness.Wheel(center, step.notches);
        TurnWhileReady();
        EXPECT_EQ(vertical.GetPosition(), step.position);
        EXPECT_EQ(view->GetView()->GetScrollPosition().y, step.position);
        if (step.passedPixels == 0) {
            EXPECT_TRUE(sink->received.empty());
            continue;
        }
        ASSERT_EQ(sink->received.size(), 1u);
        EXPECT_EQ(sink->received[0].pixelStep.y, step.passedPixels);
        EXPECT_EQ(sink->received[0].lineStep.y, step.passedLines);
        EXPECT_TRUE(sink->received[0].changed);
    }

    // A locked axis takes nothing: all of it goes on.
    view->GetView()->ChangeFlags(ntex::kLockVertical, 0);
    sink->received.clear();
    harness.Wheel(center, -1);
    TurnWhileReady();
    EXPECT_EQ(vertical.GetPosition(), 0);
    ASSERT_EQ(sink->received.size(), 1u);
    EXPECT_EQ(sink->received[0].pixelStep.y, -16);
}

// A ring whose ends lie half a pixel beyond the view's: the half-pixel rest rounds away from zero
// in both directions.
TEST_F(UITextViewTest, WheelRestRoundsTheSameBothWays)
{
    auto* sink = new WheelSink({0, 0, 300, 200, false});
    window->AddChild(sink, nullptr);
    sink->Init();
    UITextView* view = MakeView(sink);
    std::string text;
    for (int i = 0; i < 20; ++i)
        text += "line\n";
    SetText(view, text);
    const double maximum = view->GetVerticalAxis().GetMaximum();
    RangeClient wider(-0.5, maximum + 0.5);
    view->GetVerticalAxis().AddClient(&wider.axis);

    UIScrollWheelEvent wheel;
    wheel.pixelStep = {0, 16};
    view->HandleScrollWheel(wheel);
    ASSERT_EQ(view->GetVerticalAxis().GetPosition(), -0.5);
    ASSERT_EQ(sink->received.size(), 1u);
    EXPECT_EQ(sink->received[0].pixelStep.y, 16); // 15.5

    view->GetVerticalAxis().SetPosition(maximum);
    wheel.pixelStep = {0, -16};
    view->HandleScrollWheel(wheel);
    ASSERT_EQ(sink->received.size(), 2u);
    EXPECT_EQ(sink->received[1].pixelStep.y, -16); // -15.5
    EXPECT_EQ(sink->received[1].lineStep.y, -1);
    wider.axis.DetachClient();
}

TEST_F(UITextViewTest, TypedCharactersReachTheDocument)
{
    UITextView* view = MakeView(window);
    SetText(view, "abc");
    Select(view, 3, 3);
    view->SetFocus();
    TurnWhileReady();

    // An emoji comes as a surrogate pair and is inserted whole.
    harness.Type(u"\U0001F600");
    TurnWhileReady();
    EXPECT_EQ(Text(view), "abc\xF0\x9F\x98\x80");

    // Ctrl+H without a menu shortcut arrives as character 8: Backspace.
    harness.Chord({VK_CONTROL}, 'H');
    TurnWhileReady();
    EXPECT_EQ(Text(view), "abc");

    // A surrogate without its other half holds no character.
    const char16_t lone[2] = {0xD83D, 0};
    const char16_t low[3] = {0xDE00, u'x', 0};
    EXPECT_FALSE(view->HandleText(lone, 2, 0));
    EXPECT_FALSE(view->HandleText(low, 4, 0));
    EXPECT_FALSE(view->HandleText(lone, 0, 0));
    EXPECT_EQ(Text(view), "abc");
}

TEST_F(UITextViewTest, DroppedTextReplacesTheSelection)
{
    struct Case {
        bool initFirst;
        bool readOnly;
        bool dropsFiles;
        bool dropped;
        const char* text;
    };
    const Case cases[] = {
        {false, false, false, true, "one XY"},
        {true, false, false, true, "one XY"},
        {false, true, false, false, "one two"},
        {false, false, true, false, "one two"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.initFirst) + std::to_string(c.readOnly) + std::to_string(c.dropsFiles));
        UITextView* view = MakeView(window, nullptr, c.initFirst);
        SetText(view, "one two");
        Select(view, 4, 7);
        view->SetReadOnly(c.readOnly);
        auto data = c.dropsFiles ? MakeFileDrop({"Z:/a.txt"}) : MakeTextDrop("XY");
        const POINT center = ViewCenter(view);
        const auto result = harness.Drag(data.get(), {{center.x - 5, center.y}, center});
        EXPECT_EQ(result.dropped, c.dropped);
        EXPECT_EQ(Text(view), c.text);
        view->Destroy();
    }
}

// "Drag-Receive" with items that offer no "TEXT" (here a file list) leaves the selection alone.
TEST_F(UITextViewTest, DropSkipsItemsWithoutText)
{
    UITextView* view = MakeView(window);
    SetText(view, "one two");
    Select(view, 4, 7);
    auto files = MakeFileDrop({"Z:/a.txt", "Z:/b.txt"});
    CXOSSoupDrag soup(files.get());
    EXPECT_EQ(view->HandleMessage(UIDragMessage(UIDragMessage::kEnter, nullptr, &soup)), -2);
    EXPECT_EQ(view->HandleMessage(UIDragMessage(UIDragMessage::kReceive, nullptr, &soup)), 0);
    EXPECT_EQ(Text(view), "one two");
    EXPECT_EQ(Selection(view), std::make_pair(4, 7));
}

// A document made by Init is the control's; a document given to it stays with its owner. Neither
// the view's task nor its change registration outlives the control, destroyed or only deleted.
TEST_F(UITextViewTest, DocumentsAndRegistrationsGoWithTheControl)
{
    CXGenericEventContextManual* context = CXGenericEventContextManual::GetSingleton();
    const uint64_t handlersBefore = context->GetHandlerCount();

    // Many hidden views made and destroyed leave nothing behind (LeakSanitizer sees the rest).
    for (int i = 0; i < 1000; ++i) {
        auto* view = new UITextView;
        view->SetVisible(false);
        view->SetLayout(0, 0, 100, 40, 0, 0);
        view->Init();
        view->SetText("some text");
        view->Destroy();
    }
    EXPECT_EQ(context->GetHandlerCount(), handlersBefore);

    // A shared document outlives the control that showed it.
    auto shared = std::make_unique<GTextData>();
    UITextView* view = MakeView(window, shared.get());
    SetText(view, "kept");
    view->Destroy();
    EXPECT_TRUE(shared->GetViews().empty());
    EXPECT_EQ(std::string(shared->GetText(shared->GetLength()).c_str()), "kept");

    // An embedded control that its owner takes apart without Destroy: its destructor leaves.
    {
        struct Holder {
            UITextView view;
        };
        auto holder = std::make_unique<Holder>();
        holder->view.SetNotHeapOwned(true);
        holder->view.SetLayout(0, 0, 100, 40, 0, 0);
        window->AddChild(&holder->view, nullptr);
        holder->view.Init(shared.get());
        EXPECT_EQ(context->GetHandlerCount(), handlersBefore + 1);
        holder->view.RemoveFromParent();
        holder->view.DestroySystemContext();
        holder.reset();
    }
    EXPECT_EQ(context->GetHandlerCount(), handlersBefore);
    EXPECT_TRUE(shared->GetViews().empty());
}

} // namespace
} // namespace toolkittest
