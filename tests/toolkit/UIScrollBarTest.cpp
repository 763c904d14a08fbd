#include "toolkit/UIScrollBar.h"

#include "ToolkitWindowTesting.h"
#include "win32/controls/Controls.h"

#include <climits>
#include <limits>
#include <vector>

namespace toolkittest {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A content view on one axis: it needs a fixed range and counts the positions it is told.
struct Content : Scrollable {
    Content(double low, double high, double extent) : minimum(low), maximum(high), page(extent) {}

    bool GetAxisRange(const ScrollAxisRef&, double& low, double& high, double& extent) override
    {
        low = minimum;
        high = maximum;
        extent = page;
        return true;
    }
    void AxisPositionChanged(ScrollAxisRef&) override { ++told; }

    double minimum;
    double maximum;
    double page;
    int told = 0;
    ScrollAxisRef axis{this};
};

class UIScrollBarTest : public WindowElementTest {
protected:
    static constexpr int kLength = 200;
    static constexpr int kThickness = 16;

    void SetUp() override
    {
        WindowElementTest::SetUp();
        controls::RegisterControlClasses();
    }

    // A bar of kLength pixels in a new window, not yet initialised.
    UIScrollBar* AddBar(CXUIWindow* window, bool horizontal)
    {
        auto* bar = new UIScrollBar;
        bar->SetHorizontal(horizontal);
        if (horizontal)
            bar->SetLayout(20, 20, 20 + kLength, 20 + kThickness, 0, 0);
        else
            bar->SetLayout(20, 20, 20 + kThickness, 20 + kLength, 0, 0);
        window->AddChild(bar, nullptr);
        return bar;
    }

    static SCROLLINFO Info(UIScrollBar* bar)
    {
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_ALL;
        EXPECT_TRUE(GetScrollInfo(bar->GetNativeHandle(), SB_CTL, &info));
        return info;
    }

    // The screen point `along` pixels down (or across) the bar, in the middle of its thickness.
    static POINT OnBar(UIScrollBar* bar, int along)
    {
        POINT point = bar->IsHorizontal() ? POINT{along, kThickness / 2} : POINT{kThickness / 2, along};
        ClientToScreen(bar->GetNativeHandle(), &point);
        return point;
    }
};

// What the user does in one step of a gesture table, at `along` pixels on the bar.
enum class Act { Click, Press, Move, Release, Advance, Reflect };

struct Step {
    Act act;
    int value; // the point along the bar, the milliseconds, or the reflected request code
    double position; // the ring's position afterwards
    int told; // the linked content's position notifications in this step
};

TEST_F(UIScrollBarTest, GesturesMoveTheRingAndTellTheLinkedClient)
{
    // On a bar of 200 pixels the arrows are 17 long (the metric), the thumb 17 (the window's page
    // is 0), so positions 0-100 put the thumb's start at 17 + 1.49 * position.
    ASSERT_EQ(GetSystemMetrics(SM_CYVSCROLL), 17);
    struct Case {
        const char* what;
        double page;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"page 20",
         20,
         {
             {Act::Press, 25, 0, 0},      // the thumb: the track starts at the position
             {Act::Move, 85, 40, 1},      // 60 pixels of 149 for 100 positions
             {Act::Move, 300, 100, 1},    // past the end, outside the window
             {Act::Move, 85, 40, 1},
             {Act::Release, 85, 40, 0},   // the drag's end changes nothing
             {Act::Click, 190, 45, 1},    // the far arrow
             {Act::Click, 5, 40, 1},      // the near arrow
             {Act::Click, 30, 20, 1},     // the trough before the thumb: a page
             {Act::Press, 180, 40, 1},    // the trough after it, held
             {Act::Advance, 399, 40, 0},
             {Act::Advance, 1, 60, 1},    // repeats after 400 ms
             {Act::Advance, 50, 80, 1},   // then every 50 ms
             {Act::Advance, 50, 100, 1},  // the thumb now lies under the pointer
             {Act::Advance, 50, 100, 0},
             {Act::Release, 180, 100, 0},
             {Act::Reflect, SB_TOP, 0, 1},
             {Act::Click, 5, 0, 0},       // clamped at the start: nobody is told
             {Act::Reflect, SB_BOTTOM, 100, 1},
             {Act::Reflect, SB_ENDSCROLL, 100, 0},
         }},
        {"page 0: the trough moves by the line step",
         0,
         {
             {Act::Press, 25, 0, 0},
             {Act::Move, 85, 40, 1},
             {Act::Release, 85, 40, 0},
             {Act::Click, 30, 35, 1},
             {Act::Press, 180, 40, 1},
             {Act::Advance, 400, 45, 1},
             {Act::Advance, 50, 50, 1},
             {Act::Release, 180, 50, 0},
             {Act::Click, 190, 55, 1},
         }},
    };
    for (const Case& c : cases) {
        for (bool horizontal : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (horizontal ? ", horizontal" : ", vertical"));
            CXUIWindow* window = MakeWindow();
            UIScrollBar* bar = AddBar(window, horizontal);
            bar->Init();
            Content content(0, 100, c.page);
            bar->GetAxis().AddClient(&content.axis);
            ASSERT_TRUE(harness.PumpUntilIdle());
            for (size_t i = 0; i < c.steps.size(); ++i) {
                const Step& step = c.steps[i];
                SCOPED_TRACE("step " + std::to_string(i));
                content.told = 0;
                switch (step.act) {
                case Act::Click:
                    harness.Click(OnBar(bar, step.value));
                    break;
                case Act::Press:
                    harness.Press(OnBar(bar, step.value));
                    break;
                case Act::Move:
                    harness.MoveTo(OnBar(bar, step.value));
                    break;
                case Act::Release:
                    harness.Release(OnBar(bar, step.value));
                    break;
                case Act::Advance:
                    harness.Advance(step.value);
                    break;
                case Act::Reflect:
                    SendMessageW(window->GetNativeHandle(), horizontal ? WM_HSCROLL : WM_VSCROLL,
                                 static_cast<WPARAM>(step.value), reinterpret_cast<LPARAM>(bar->GetNativeHandle()));
                    break;
                }
                ASSERT_TRUE(harness.PumpUntilIdle());
                EXPECT_EQ(content.axis.GetPosition(), step.position);
                EXPECT_EQ(bar->GetAxis().GetPosition(), step.position);
                EXPECT_EQ(content.told, step.told);
                // The window shows the ring's position, also as the track position of a drag.
                SCROLLINFO info = Info(bar);
                EXPECT_EQ(info.nPos, static_cast<int>(step.position));
                EXPECT_EQ(info.nTrackPos, info.nPos);
            }
            window->Destroy();
        }
    }
}

TEST_F(UIScrollBarTest, StaysInStepWithALinkedClientBothWays)
{
    struct Case {
        const char* what;
        bool linkBeforeInit; // the ring is linked and moved before the bar has its window
    };
    const Case cases[] = {
        {"linked after Init", false},
        {"linked before Init", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CXUIWindow* window = MakeWindow();
        UIScrollBar* bar = AddBar(window, false);
        Content view(0, 1000, 50);
        auto link = [&] {
            view.axis.AddClient(&bar->GetAxis());
            view.axis.SetPosition(500);
        };
        if (c.linkBeforeInit)
            link();
        bar->Init();
        if (!c.linkBeforeInit)
            link();
        ASSERT_TRUE(harness.PumpUntilIdle());
        SCROLLINFO info = Info(bar);
        EXPECT_EQ(info.nMin, 0);
        EXPECT_EQ(info.nMax, 1000);
        EXPECT_EQ(info.nPos, 500);

        // The view moves the bar's thumb ...
        view.axis.ScrollBy(-380);
        EXPECT_EQ(Info(bar).nPos, 120);
        // ... and the bar moves the view.
        view.told = 0;
        harness.Click(OnBar(bar, kLength - 5));
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(view.axis.GetPosition(), 125);
        EXPECT_EQ(view.told, 1);
        EXPECT_EQ(Info(bar).nPos, 125);
        window->Destroy();
    }
}

TEST_F(UIScrollBarTest, AxisValuesBeyondTheWindowsRangeAreClamped)
{
    // The view's axis is unclamped: it scrolls past the ends, and may lie anywhere in a double's
    // range. The window takes 32-bit values only.
    struct Case {
        const char* what;
        double minimum, maximum;
        double position;
        int shownMinimum, shownMaximum, shownPosition;
        // The ring's position after a click on the far arrow: the gesture's end leaves it where
        // the window shows it.
        double afterArrow;
    };
    const Case cases[] = {
        {"far past the end", 0, 100, 1e12, 0, 100, 100, 100},
        {"far before the start", 0, 100, -1e12, 0, 100, 0, 5},
        {"an infinite range", -kInfinity, kInfinity, 1e12, INT_MIN, INT_MAX, INT_MAX, INT_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CXUIWindow* window = MakeWindow();
        UIScrollBar* bar = AddBar(window, false);
        bar->Init();
        Content view(c.minimum, c.maximum, 0);
        view.axis.SetUnclamped(true);
        view.axis.AddClient(&bar->GetAxis());
        view.axis.SetPosition(c.position);
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(view.axis.GetPosition(), c.position);
        SCROLLINFO info = Info(bar);
        EXPECT_EQ(info.nMin, c.shownMinimum);
        EXPECT_EQ(info.nMax, c.shownMaximum);
        EXPECT_EQ(info.nPos, c.shownPosition);

        harness.Click(OnBar(bar, kLength - 5));
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(view.axis.GetPosition(), c.afterArrow);
        window->Destroy();
    }
}

TEST_F(UIScrollBarTest, ADeadWindowLeavesTheRingAlone)
{
    CXUIWindow* window = MakeWindow();
    UIScrollBar* bar = AddBar(window, false);
    bar->Init();
    Content view(0, 100, 0);
    view.axis.AddClient(&bar->GetAxis());
    view.axis.SetPosition(30);
    HWND handle = bar->GetNativeHandle();
    DestroyWindow(handle);

    view.axis.SetPosition(40);
    view.axis.Recompute();
    // A request that still reaches the bar has no window to start from.
    bar->HandleNativeMessage(WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(handle));
    EXPECT_EQ(view.axis.GetPosition(), 40);
    EXPECT_EQ(bar->GetNativeHandle(), nullptr);
    window->Destroy();
    // The bar is gone from the ring: the view alone decides the range.
    view.maximum = 60;
    view.axis.Recompute();
    EXPECT_EQ(view.axis.GetNext(), &view.axis);
    EXPECT_EQ(view.axis.GetMaximum(), 60);
}

} // namespace
} // namespace toolkittest
