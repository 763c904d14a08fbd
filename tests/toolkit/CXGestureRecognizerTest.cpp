#include "toolkit/CXGestureRecognizer.h"

#include "foundation/CXDebug.h"
#include "foundation/CXTask.h"
#include "foundation/CXThread.h"
#include "foundation/CXTime.h"
#include "toolkit/UICustomControlBase.h"
#include "win32/testing/Harness.h"

#include <gtest/gtest.h>

namespace {

using Base = UICustomControlBase;

// A wall clock the test can set back, in file-time ticks.
uint64_t gWallClock = 0;
uint64_t WallClock()
{
    return gWallClock;
}

class CXGestureRecognizerTest : public testing::Test {
protected:
    void SetUp() override
    {
        static bool threadRegistered = false;
        if (!threadRegistered) {
            threadRegistered = true;
            CXThread::CXInit();
            CXTaskHost::InitCurrentThreadTaskHost();
        }
        // Start the performance clock away from 0 so that no time reads as "none".
        harness.Advance(1000);
    }

    // Counts clicks; double clicks too when asked.
    void Wire(bool withDoubleClick)
    {
        recognizer.SetClickCallback([this] { ++clicks; });
        if (withDoubleClick)
            recognizer.SetDoubleClickCallback([this] { ++doubleClicks; });
    }
    void Idle() { CXTaskHost::GetCurrentThreadTaskHost()->IdleTasks(); }
    void Mouse(Vector2i point, int32_t phase) { recognizer.HandleGestureMouse(point, phase); }

    win32::testing::Harness harness;
    CXGestureRecognizer recognizer;
    int clicks = 0;
    int doubleClicks = 0;
};

TEST_F(CXGestureRecognizerTest, ReleaseNearAndSoonEnoughIsAClick)
{
    struct Case {
        Vector2i release;
        int64_t heldMs;
        int clicks;
    };
    const Case cases[] = {
        {{18, 10}, 0, 1},   // 8 pixels along x
        {{19, 10}, 0, 0},   // 9 pixels
        {{10, 1}, 0, 0},    // 9 pixels along y
        {{16, 16}, 0, 1},   // the diagonal 6, 6 measures 8
        {{10, 10}, 500, 1}, // the longest press that clicks
        {{10, 10}, 501, 0},
    };
    Wire(false);
    for (const Case& c : cases) {
        clicks = 0;
        Mouse({10, 10}, Base::kMousePress);
        harness.Advance(c.heldMs);
        Mouse(c.release, Base::kMouseRelease);
        EXPECT_EQ(clicks, c.clicks) << c.release.x << "," << c.release.y << " held " << c.heldMs;
        EXPECT_FALSE(recognizer.IsClickPending());
    }
}

TEST_F(CXGestureRecognizerTest, ClickWaitsHalfASecondForASecondPress)
{
    Wire(true);
    Mouse({10, 10}, Base::kMousePress);
    Mouse({10, 10}, Base::kMouseRelease);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(recognizer.GetHost(), CXTaskHost::GetCurrentThreadTaskHost());
    harness.Advance(500);
    Idle();
    EXPECT_EQ(clicks, 0);
    harness.Advance(1);
    Idle();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(recognizer.GetHost(), nullptr);
    Idle();
    EXPECT_EQ(clicks, 1);
}

TEST_F(CXGestureRecognizerTest, DoubleClickFiresNoSingleClick)
{
    Wire(true);
    Mouse({10, 10}, Base::kMousePress);
    Mouse({10, 10}, Base::kMouseRelease);
    harness.Advance(200);
    Mouse({11, 10}, Base::kMouseDoubleClick);
    Mouse({11, 10}, Base::kMouseRelease);
    EXPECT_EQ(doubleClicks, 1);
    harness.Advance(2000);
    Idle();
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(recognizer.GetHost(), nullptr);
}

TEST_F(CXGestureRecognizerTest, FarHoverFiresTheWaitingClickAtOnce)
{
    Wire(true);
    Mouse({10, 10}, Base::kMousePress);
    Mouse({10, 10}, Base::kMouseRelease);
    Mouse({18, 10}, Base::kMouseHover);
    EXPECT_EQ(clicks, 0);
    Mouse({19, 10}, Base::kMouseHover);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(recognizer.GetHost(), nullptr);
}

TEST_F(CXGestureRecognizerTest, WithoutDoubleClicksEveryFastClickFires)
{
    Wire(false);
    Mouse({10, 10}, Base::kMousePress);
    Mouse({10, 10}, Base::kMouseRelease);
    EXPECT_EQ(clicks, 1);
    Mouse({10, 10}, Base::kMouseDoubleClick);
    Mouse({10, 10}, Base::kMouseRelease);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(recognizer.GetHost(), nullptr);
}

TEST_F(CXGestureRecognizerTest, MissingClickCallbackIsLoggedAndSkipped)
{
    CXDebugCapture capture;
    Mouse({10, 10}, Base::kMousePress);
    Mouse({10, 10}, Base::kMouseRelease);
    EXPECT_TRUE(capture.Contains("CXGestureRecognizer> click without a click callback"));
    EXPECT_FALSE(recognizer.IsClickPending());
}

TEST_F(CXGestureRecognizerTest, WallClockSetBackChangesNothing)
{
    CXTime::SetFileTimeClockForTesting(&WallClock);
    gWallClock = CXTime::TimestampToFileTime(1'800'000'000'000);
    Wire(true);
    Mouse({10, 10}, Base::kMousePress);
    gWallClock -= 3600ull * 10'000'000; // an hour back
    Mouse({10, 10}, Base::kMouseRelease);
    EXPECT_TRUE(recognizer.IsClickPending());
    gWallClock -= 3600ull * 10'000'000;
    harness.Advance(501);
    Idle();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(recognizer.GetHost(), nullptr);
}

TEST_F(CXGestureRecognizerTest, CancelForgetsTheWaitingClick)
{
    Wire(true);
    Mouse({10, 10}, Base::kMousePress);
    Mouse({10, 10}, Base::kMouseRelease);
    recognizer.CancelPendingClick();
    EXPECT_EQ(recognizer.GetHost(), nullptr);
    harness.Advance(1000);
    Idle();
    EXPECT_EQ(clicks, 0);
    Mouse({10, 10}, Base::kMousePress);
    Mouse({10, 10}, Base::kMouseCancel);
    Mouse({10, 10}, Base::kMouseRelease);
    EXPECT_FALSE(recognizer.IsClickPending());
}

} // namespace
