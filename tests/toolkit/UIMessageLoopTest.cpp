#include "toolkit/UIMessageLoop.h"

#include "ToolkitWindowTesting.h"
#include "foundation/CXTask.h"

#include <functional>

namespace toolkittest {
namespace {

// Counts the idle passes of the main thread's host and logs them into a shared trace.
class IdleProbe : public CXTask {
public:
    explicit IdleProbe(std::vector<std::string>* trace) : CXTask("IdleProbe"), fTrace(trace)
    {
        CXTaskHost::GetCurrentThreadTaskHost()->AddTask(this);
    }
    ~IdleProbe() override { DetachFromHost(); }
    void Idle() override
    {
        ++count;
        fTrace->push_back("idle");
        if (action) {
            std::function<void()> once = std::move(action);
            action = nullptr;
            once();
        }
    }
    int count = 0;
    std::function<void()> action;

private:
    std::vector<std::string>* fTrace;
};

class UIMessageLoopTest : public WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        probe = std::make_unique<IdleProbe>(&trace);
        window = MakeWindow();
        label = new Windowless("label", &trace, {0, 0, 20, 20, false});
        window->AddChild(label, nullptr);
        for (TestControl** control : {&field, &ok, &cancel}) {
            *control = new TestControl("control");
            (*control)->Init();
            window->AddChild(*control, nullptr);
        }
        field->dialogCode = DLGC_HASSETSEL;
        SetWindowTextW(field->GetNativeHandle(), u"abc");
        harness.PumpUntilIdle();
        trace.clear();
    }
    void TearDown() override
    {
        window->Destroy();
        probe.reset();
        WindowElementTest::TearDown();
    }

    // Turns the loop while anything is ready, without waiting.
    void TurnWhileReady()
    {
        MSG message = {};
        for (int i = 0; i < 200 && PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); ++i)
            ASSERT_TRUE(loop.Turn());
    }

    std::vector<std::string> trace;
    std::unique_ptr<IdleProbe> probe;
    UIMessageLoop loop;
    CXUIWindow* window = nullptr;
    Windowless* label = nullptr;
    TestControl* field = nullptr;
    TestControl* ok = nullptr;
    TestControl* cancel = nullptr;
};

TEST_F(UIMessageLoopTest, TabMovesTheFocusAndEndsTheTurn)
{
    // Right after the first show the window itself has the focus: no click needed.
    ASSERT_EQ(GetFocus(), window->GetNativeHandle());
    struct Step {
        bool shift;
        TestControl* focus;
    };
    const Step steps[] = {{false, field}, {false, ok}, {false, cancel}, {true, ok},
                          {true, field},  {true, cancel}, {false, field}};
    for (const Step& step : steps) {
        SCOPED_TRACE(::testing::Message() << (step.shift ? "Shift+Tab" : "Tab") << " to " << step.focus);
        if (step.shift)
            harness.KeyDown(VK_SHIFT);
        TurnWhileReady();
        field->selection = {-1, -1};
        window->InvalidateAll();
        int idles = probe->count;
        trace.clear();
        harness.KeyDown(VK_TAB);
        ASSERT_TRUE(loop.Turn());
        EXPECT_EQ(GetFocus(), step.focus->GetNativeHandle());
        // Neither the tasks nor the pending paint ran in the Tab's turn.
        EXPECT_EQ(probe->count, idles);
        EXPECT_TRUE(trace.empty());
        if (step.focus == field) {
            EXPECT_EQ(field->selection, (std::pair<int, int>{0, 3}));
        } else {
            EXPECT_EQ(field->selection, (std::pair<int, int>{-1, -1}));
        }
        harness.KeyUp(VK_TAB);
        if (step.shift)
            harness.KeyUp(VK_SHIFT);
        TurnWhileReady();
        // The Tab itself reached nobody.
        EXPECT_FALSE(step.focus->Saw(WM_CHAR));
    }
    EXPECT_TRUE(TabToNextControl(window->GetNativeHandle(), MSG{nullptr, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}}));
    EXPECT_EQ(GetFocus(), ok->GetNativeHandle());
}

TEST_F(UIMessageLoopTest, TabWithoutAnotherStopFallsThrough)
{
    for (TestControl* control : {ok, cancel})
        EnableWindow(control->GetNativeHandle(), FALSE);
    SetFocus(field->GetNativeHandle());
    TurnWhileReady();
    int idles = probe->count;
    harness.KeyDown(VK_TAB);
    TurnWhileReady();
    EXPECT_EQ(GetFocus(), field->GetNativeHandle());
    EXPECT_TRUE(field->Saw(WM_KEYDOWN));
    EXPECT_EQ(field->typed, u"\t");
    EXPECT_GT(probe->count, idles);
}

TEST_F(UIMessageLoopTest, PreTranslationConsumesAndTextArrivesWhole)
{
    SetFocus(field->GetNativeHandle());
    field->consume = WM_KEYDOWN;
    int idles = probe->count;
    harness.KeyDown('A', u"a");
    TurnWhileReady();
    EXPECT_FALSE(field->Saw(WM_KEYDOWN));
    EXPECT_EQ(field->typed, u"");
    EXPECT_EQ(probe->count, idles + 1); // the consumed message still idles the tasks

    field->consume = 0;
    harness.Type(u"é€😀");
    TurnWhileReady();
    EXPECT_EQ(field->typed, u"é€😀");
}

TEST_F(UIMessageLoopTest, TasksIdleBeforeThePaintAndEvery16Milliseconds)
{
    window->InvalidateAll();
    PostMessageW(window->GetNativeHandle(), WM_USER, 0, 0);
    ASSERT_TRUE(loop.Turn());
    EXPECT_EQ(loop.LastMessage().message, static_cast<UINT>(WM_PAINT));
    EXPECT_EQ(trace, (std::vector<std::string>{"idle", "label:draw"}));

    // Nothing else to do: the thread timer brings a turn every 16 ms.
    TurnWhileReady();
    trace.clear();
    int64_t start = harness.NowMilliseconds();
    for (int turn = 1; turn <= 5; ++turn) {
        ASSERT_TRUE(loop.Turn());
        EXPECT_EQ(loop.LastMessage().message, static_cast<UINT>(WM_TIMER));
        EXPECT_EQ(loop.LastMessage().hwnd, nullptr);
        EXPECT_EQ(harness.NowMilliseconds() - start, 16 * turn);
    }
    EXPECT_EQ(trace, std::vector<std::string>(5, "idle"));
}

TEST_F(UIMessageLoopTest, QuitSetByATaskEndsTheLoop)
{
    struct Case {
        const char* what;
        bool paintPending;
        bool quitMessageTaken; // as a nested loop would take it
        bool endsThisTurn;
        UINT lastMessage;
    };
    const Case cases[] = {
        {"paint pending", true, false, true, WM_QUIT},
        {"paint pending, quit message gone", true, true, true, WM_PAINT},
        {"nothing pending", false, false, true, WM_QUIT},
        {"nothing pending, quit message gone", false, true, false, WM_TIMER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CXUIWindow::ResetProcessStateForTesting();
        TurnWhileReady();
        if (c.paintPending)
            window->InvalidateAll();
        probe->action = [&] {
            CXUIWindow::QuitNow();
            if (c.quitMessageTaken) {
                MSG quit = {};
                EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
            }
        };
        trace.clear();
        PostMessageW(window->GetNativeHandle(), WM_USER, 0, 0);
        bool goesOn = loop.Turn();
        EXPECT_EQ(!goesOn, c.endsThisTurn);
        if (goesOn) {
            EXPECT_FALSE(loop.Turn());
        }
        EXPECT_EQ(loop.LastMessage().message, c.lastMessage);
        EXPECT_EQ(trace, std::vector<std::string>{"idle"}); // no paint
        MSG leftover = {};
        PeekMessageW(&leftover, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }
    CXUIWindow::ResetProcessStateForTesting();
}

TEST_F(UIMessageLoopTest, RunMessageLoopOpensTheApplicationFirst)
{
    UIElement application;
    std::vector<std::string> heard;
    application.AddMessageHandler([&](const CXMessage& message) {
        heard.push_back(message.GetName().c_str());
        EXPECT_EQ(message.GetSource(), &application);
        PostQuitMessage(7);
        return CXResultCode{0};
    });
    SetApplicationObject(&application);
    EXPECT_EQ(RunMessageLoop(), 7u);
    SetApplicationObject(nullptr);
    EXPECT_EQ(heard, std::vector<std::string>{"open-application"});
}

} // namespace
} // namespace toolkittest
