#include "toolkit/UIUserActionEvent.h"

#include "win32/api/Constants.h"
#include "win32/testing/Harness.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

using namespace win32;
using win32::testing::Harness;

// The wParam of a wheel message turned by delta units.
WPARAM Turn(int delta)
{
    return MAKEWPARAM(0, delta);
}

class WheelAccumulatorTest : public ::testing::Test {
protected:
    Harness harness;
};

TEST_F(WheelAccumulatorTest, TurnsBecomeWholePixelAndLineSteps)
{
    struct Step {
        int delta;
        Vector2i pixels;
        Vector2i lines;
    };
    struct Case {
        std::string name;
        UINT linesPerNotch;
        bool horizontal;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases = {
        // A whole notch leaves nothing over: the half notch after it is exactly 8.
        {"notch forward", 3, false, {{120, {0, 16}, {0, 3}}, {60, {0, 8}, {0, 2}}}},
        // Back and forth comes out even.
        {"notches back", 3, false, {{-120, {0, -16}, {0, -3}}, {-120, {0, -16}, {0, -3}}, {60, {0, 8}, {0, 2}}}},
        {"down and up", 1, false, {{-120, {0, -16}, {0, -1}}, {120, {0, 16}, {0, 1}}}},
        {"half notches", 3, false, {{60, {0, 8}, {0, 2}}, {60, {0, 8}, {0, 1}}}},
        {"one line back", 1, false, {{-120, {0, -16}, {0, -1}}, {-120, {0, -16}, {0, -1}}}},
        {"a third of a notch", 3, false, {{40, {0, 5}, {0, 1}}, {40, {0, 6}, {0, 1}}, {40, {0, 5}, {0, 1}}}},
        {"no lines per notch", 0, false, {{120, {0, 16}, {0, 0}}, {-240, {0, -32}, {0, 0}}}},
        {"horizontal: a line a notch", 3, true, {{120, {16, 0}, {1, 0}}, {-60, {-8, 0}, {-1, 0}}, {-60, {-8, 0}, {0, 0}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        harness.Backend().MutableMetrics().wheelScrollLines = c.linesPerNotch;
        int control = 0;
        for (const Step& step : c.steps) {
            SCOPED_TRACE(step.delta);
            UIScrollWheelEvent event = MakeScrollWheelEvent(&control, c.horizontal, Turn(step.delta), {7, 9});
            EXPECT_EQ(event.point, (Vector2i{7, 9}));
            EXPECT_EQ(event.pixelStep, step.pixels);
            EXPECT_EQ(event.lineStep, step.lines);
            EXPECT_FALSE(event.changed);
        }
        ForgetWheelControl(&control);
    }
}

TEST_F(WheelAccumulatorTest, AllLinesPerNotchStaysWithinTheStepRange)
{
    harness.Backend().MutableMetrics().wheelScrollLines = 0xFFFFFFFF;
    int control = 0;
    struct Step {
        int delta;
        int32_t lines;
    };
    // What lies beyond the range is dropped, not carried into the next turn.
    const Step steps[] = {{120, INT32_MAX}, {-120, INT32_MIN}, {60, INT32_MAX}, {-240, INT32_MIN}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.delta);
        UIScrollWheelEvent event = MakeScrollWheelEvent(&control, false, Turn(step.delta), {0, 0});
        EXPECT_EQ(event.lineStep, (Vector2i{0, step.lines}));
        EXPECT_EQ(event.pixelStep.y, step.delta * 16 / 120);
    }
    ForgetWheelControl(&control);
}

TEST_F(WheelAccumulatorTest, SeventeenthControlDropsTheOldestEntry)
{
    char controls[17] = {};
    for (char& control : controls)
        EXPECT_EQ(AccumulateWheel(&control, UIWheelAxis::Pixels, 0.0f, 0.375f), (Vector2i{0, 0}));
    // The second still holds its remainder; the first was dropped and starts from zero.
    EXPECT_EQ(AccumulateWheel(&controls[1], UIWheelAxis::Pixels, 0.0f, 0.375f), (Vector2i{0, 1}));
    EXPECT_EQ(AccumulateWheel(&controls[0], UIWheelAxis::Pixels, 0.0f, 0.375f), (Vector2i{0, 0}));
    for (char& control : controls)
        ForgetWheelControl(&control);
}

TEST_F(WheelAccumulatorTest, ForgettingAControlDropsEachOfItsAxes)
{
    int forgotten = 0;
    int kept = 0;
    AccumulateWheel(&forgotten, UIWheelAxis::Pixels, 0.375f, 0.0f);
    AccumulateWheel(&forgotten, UIWheelAxis::Lines, 0.0f, -0.375f);
    AccumulateWheel(&kept, UIWheelAxis::Pixels, 0.375f, 0.0f);
    ForgetWheelControl(&forgotten);

    EXPECT_EQ(AccumulateWheel(&forgotten, UIWheelAxis::Pixels, 0.375f, 0.0f), (Vector2i{0, 0}));
    EXPECT_EQ(AccumulateWheel(&forgotten, UIWheelAxis::Lines, 0.0f, -0.375f), (Vector2i{0, 0}));
    EXPECT_EQ(AccumulateWheel(&kept, UIWheelAxis::Pixels, 0.375f, 0.0f), (Vector2i{1, 0}));
    ForgetWheelControl(&forgotten);
    ForgetWheelControl(&kept);
}

} // namespace
