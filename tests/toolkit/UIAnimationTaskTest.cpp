#include "toolkit/UIAnimationTask.h"

#include "ToolkitWindowTesting.h"
#include "foundation/CXDebug.h"
#include "foundation/CXTime.h"

#include <string>
#include <vector>

namespace toolkittest {
namespace {

// The wall clock, which the tests set back to show that the animations do not follow it.
uint64_t gWallFileTime = 0;
uint64_t WallClock()
{
    return gWallFileTime;
}

class AnimationTaskTest : public WindowElementTest {
protected:
    void TearDown() override
    {
        CXTime::SetFileTimeClockForTesting(nullptr);
        WindowElementTest::TearDown();
    }
};

TEST_F(AnimationTaskTest, StepsFollowThePerformanceClockAndTheEndRule)
{
    gWallFileTime = CXTime::TimestampToFileTime(1700000000000);
    CXTime::SetFileTimeClockForTesting(&WallClock);
    // What each animation answers on its next step: keep going, and the time remaining.
    struct Answer {
        bool keepGoing = true;
        double remaining = 1.0;
    };
    Answer slide;
    Answer fade;
    std::vector<std::string> steps;
    UIAnimationTask task;
    task.AddAnimation("fade", [&](double dt, double& remaining, bool& keepGoing) {
        EXPECT_EQ(remaining, 0.0);
        EXPECT_TRUE(keepGoing);
        steps.push_back("fade " + std::to_string(static_cast<int>(dt * 1000 + 0.5)));
        remaining = fade.remaining;
        keepGoing = fade.keepGoing;
    });
    task.AddAnimation("slide", [&](double dt, double& remaining, bool& keepGoing) {
        steps.push_back("slide " + std::to_string(static_cast<int>(dt * 1000 + 0.5)));
        remaining = slide.remaining;
        keepGoing = slide.keepGoing;
    });
    int completions = 0;
    task.SetCompletion([&] { ++completions; });
    task.Start();
    CXTaskHost* host = CXTaskHost::GetCurrentThreadTaskHost();
    EXPECT_EQ(task.GetHost(), host);

    struct Row {
        const char* what;
        int64_t advance;
        Answer fade;
        Answer slide;
        bool setWallClockBack;
        std::vector<std::string> steps;
        int completions;
        size_t animations;
        bool onHost;
    };
    const Row rows[] = {
        {"no time passed", 0, {}, {}, false, {}, 0, 2, true},
        // The fade has finished (keeps going, nothing remaining); the slide stops: the completion
        // runs once after the pass and the task stays.
        {"one finishes, one stops", 20, {true, 0.0}, {false, 0.5}, false, {"fade 20", "slide 20"}, 1, 1, true},
        // The wall clock set back an hour does not turn time back for the animations.
        {"wall clock set back", 30, {}, {false, 0.5}, true, {"slide 30"}, 2, 1, true},
        // A pass in which every animation keeps going takes the task off its host.
        {"all keep going", 16, {}, {true, 0.25}, false, {"slide 16"}, 2, 1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        steps.clear();
        fade = row.fade;
        slide = row.slide;
        if (row.setWallClockBack)
            gWallFileTime -= 3600ull * 1000 * 10000;
        harness.Advance(row.advance);
        task.Idle();
        EXPECT_EQ(steps, row.steps);
        EXPECT_EQ(completions, row.completions);
        EXPECT_EQ(task.GetAnimationCount(), row.animations);
        EXPECT_EQ(task.GetHost() == host, row.onHost);
    }
}

TEST_F(AnimationTaskTest, AMissingCompletionIsReportedAndSkipped)
{
    UIAnimationTask task;
    task.AddAnimation("stop", [](double, double&, bool& keepGoing) { keepGoing = false; });
    task.Start();
    CXDebugCapture capture;
    harness.Advance(10);
    task.Idle();
    EXPECT_TRUE(capture.Contains("UIAnimationTask::Idle> no completion callback"));
    EXPECT_NE(task.GetHost(), nullptr);
}

TEST_F(AnimationTaskTest, EaseInOutAndApproximateDistance)
{
    struct Ease {
        double x;
        double y;
    };
    for (const Ease& e : {Ease{0.0, 0.0}, Ease{0.25, 0.1464466}, Ease{0.5, 0.5}, Ease{0.75, 0.8535534}, Ease{1.0, 1.0}})
        EXPECT_NEAR(UIAnimationTask::EaseInOut(e.x), e.y, 1e-7) << e.x;
    struct Distance {
        int32_t dx;
        int32_t dy;
        uint32_t length;
    };
    const Distance distances[] = {{30, 40, 50}, {10, 0, 10}, {3, 4, 4}, {-30, -40, 50}, {0, -7, 7}, {0, 0, 0}};
    for (const Distance& d : distances)
        EXPECT_EQ(UIAnimationTask::ApproximateDistance(d.dx, d.dy), d.length) << d.dx << "," << d.dy;
}

} // namespace
} // namespace toolkittest
