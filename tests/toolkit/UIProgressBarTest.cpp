#include "toolkit/UIProgressBar.h"

#include "ToolkitWindowTesting.h"

#include <climits>
#include <functional>
#include <utility>

namespace toolkittest {
namespace {

class UIProgressBarTest : public WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        window = MakeWindow();
        harness.Spy().Clear();
    }
    void TearDown() override
    {
        window->Destroy();
        WindowElementTest::TearDown();
    }

    // A bar with `setup` applied before its Init, then placed in the window.
    UIProgressBar* AddBar(const std::function<void(UIProgressBar*)>& setup = nullptr)
    {
        auto* bar = new UIProgressBar;
        bar->SetLayout(10, 10, 210, 30, 0, 0);
        if (setup)
            setup(bar);
        bar->Init();
        window->AddChild(bar, nullptr);
        return bar;
    }
    // The ranges given to the bar's window, in order.
    std::vector<std::pair<int, int>> RangesSent(HWND bar) const
    {
        std::vector<std::pair<int, int>> ranges;
        for (const auto& entry : harness.Spy().Only({PBM_SETRANGE32})) {
            if (entry.hwnd == bar)
                ranges.emplace_back(static_cast<int>(entry.wParam), static_cast<int>(entry.lParam));
        }
        return ranges;
    }
    bool MarqueeOn(HWND bar) const
    {
        bool on = false;
        for (const auto& entry : harness.Spy().Only({PBM_SETMARQUEE})) {
            if (entry.hwnd == bar)
                on = entry.wParam != FALSE;
        }
        return on && (static_cast<DWORD>(GetWindowLongW(bar, GWL_STYLE)) & PBS_MARQUEE) != 0;
    }
    static int Position(HWND bar) { return static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0)); }

    CXUIWindow* window = nullptr;
};

TEST_F(UIProgressBarTest, RangeAndValueAreKeptValid)
{
    struct Case {
        int32_t minimum, maximum, value;
        std::pair<int, int> range;
        int position;
    };
    const Case cases[] = {
        {10, 10, 10, {10, 11}, 10},
        {0, 100, 150, {0, 100}, 100},
        {0, 100, -5, {0, 100}, 0},
        {20, 10, 15, {20, 21}, 20},
        {-50, 50, 0, {-50, 50}, 0},
        {INT_MAX, INT_MAX, INT_MAX, {INT_MAX - 1, INT_MAX}, INT_MAX},
        {INT_MIN, INT_MIN, INT_MIN, {INT_MIN, INT_MIN + 1}, INT_MIN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "minimum " << c.minimum << ", maximum " << c.maximum << ", value "
                                          << c.value);
        harness.Spy().Clear();
        UIProgressBar* bar = AddBar();
        HWND handle = bar->GetNativeHandle();
        bar->SetDeterminate(true);
        bar->SetMinimum(c.minimum);
        bar->SetMaximum(c.maximum);
        bar->SetValue(c.value);
        const std::vector<std::pair<int, int>> ranges = RangesSent(handle);
        // The window starts with 0 to 100.
        const std::pair<int, int> shown = ranges.empty() ? std::make_pair(0, 100) : ranges.back();
        EXPECT_EQ(shown, c.range);
        EXPECT_EQ(Position(handle), c.position);
        bar->Destroy();
    }
}

TEST_F(UIProgressBarTest, ARangeIsSentOnlyWhenItChanges)
{
    UIProgressBar* bar = AddBar([](UIProgressBar* bar) { bar->SetDeterminate(true); });
    HWND handle = bar->GetNativeHandle();
    // The window's own first range needs no message.
    EXPECT_TRUE(RangesSent(handle).empty());
    bar->SetValue(40);
    bar->SetMaximum(100);
    bar->ApplyState();
    bar->ApplyState();
    EXPECT_TRUE(RangesSent(handle).empty());
    EXPECT_EQ(Position(handle), 40);

    bar->SetMaximum(200);
    bar->ApplyState();
    bar->SetValueToMaximum();
    EXPECT_EQ(RangesSent(handle), (std::vector<std::pair<int, int>>{{0, 200}}));
    EXPECT_EQ(Position(handle), 200);
    bar->Destroy();
}

TEST_F(UIProgressBarTest, StateSetBeforeInitReachesTheNewWindow)
{
    struct Case {
        const char* what;
        std::function<void(UIProgressBar*)> setup;
        bool marquee;
        std::vector<std::pair<int, int>> ranges;
        int position;
    };
    const Case cases[] = {
        {"a new bar", nullptr, true, {}, 0},
        {"range and value set, still indeterminate",
         [](UIProgressBar* bar) {
             bar->SetMinimum(5);
             bar->SetMaximum(50);
             bar->SetValue(20);
         },
         true,
         {},
         0},
        {"made determinate and back",
         [](UIProgressBar* bar) {
             bar->SetDeterminate(true);
             bar->SetDeterminate(false);
         },
         true,
         {},
         0},
        {"determinate with range and value",
         [](UIProgressBar* bar) {
             bar->SetDeterminate(true);
             bar->SetMinimum(10);
             bar->SetMaximum(20);
             bar->SetValue(15);
         },
         false,
         {{10, 20}},
         15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        harness.Spy().Clear();
        UIProgressBar* bar = AddBar(c.setup);
        HWND handle = bar->GetNativeHandle();
        EXPECT_EQ(MarqueeOn(handle), c.marquee);
        EXPECT_EQ(RangesSent(handle), c.ranges);
        EXPECT_EQ(Position(handle), c.position);
        bar->Destroy();
    }
}

TEST_F(UIProgressBarTest, ModesSwitchAndSurviveANewWindow)
{
    UIProgressBar* bar = AddBar();
    HWND handle = bar->GetNativeHandle();
    harness.PumpUntilIdle();
    RECT client = ClientOnScreen(handle);
    auto row = [&] {
        const win32::testing::ScreenPicture screen = harness.ScreenImage();
        std::vector<uint64_t> pixels;
        for (int x = client.left; x < client.right; ++x)
            pixels.push_back(screen.At(x, (client.top + client.bottom) / 2));
        return pixels;
    };
    // The marquee moves on its own.
    const std::vector<uint64_t> before = row();
    harness.Advance(30);
    harness.PumpUntilIdle();
    EXPECT_NE(row(), before);

    bar->SetMinimum(10);
    bar->SetMaximum(20);
    bar->SetValue(15);
    bar->SetDeterminate(true);
    EXPECT_FALSE(MarqueeOn(handle));
    EXPECT_EQ(RangesSent(handle), (std::vector<std::pair<int, int>>{{10, 20}}));
    EXPECT_EQ(Position(handle), 15);

    // A window made again starts from its own first state and is brought up to date.
    harness.Spy().Clear();
    bar->DestroySystemContext();
    bar->CreateSystemContext();
    handle = bar->GetNativeHandle();
    EXPECT_EQ(RangesSent(handle), (std::vector<std::pair<int, int>>{{10, 20}}));
    EXPECT_EQ(Position(handle), 15);

    bar->SetDeterminate(false);
    EXPECT_TRUE(MarqueeOn(handle));
    harness.Spy().Clear();
    bar->DestroySystemContext();
    bar->CreateSystemContext();
    EXPECT_TRUE(MarqueeOn(bar->GetNativeHandle()));
    bar->Destroy();
}

} // namespace
} // namespace toolkittest
