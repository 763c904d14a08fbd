#include "toolkit/UIIconControl.h"

#include "GrafTesting.h"
#include "ToolkitWindowTesting.h"
#include "foundation/CXDebug.h"
#include "foundation/CXMessagePost.h"
#include "foundation/CXPath.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "toolkit/UIAppearance.h"
#include "toolkit/UIMessageLoop.h"
#include "toolkit/UIProgressSpinner.h"
#include "win32/testing/Pixels.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace toolkittest {
namespace {

using win32::testing::OpaquePixel;

// Blue, green, red and alpha bytes of one pixel.
struct FilePixel {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t alpha = 0xFF;
};

void Put32(std::string& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A 32-bit BMP file of one row.
std::string OneRowBmp(const std::vector<FilePixel>& row)
{
    std::string file = "BM";
    Put32(file, 0);
    Put32(file, 0);
    Put32(file, 54);
    Put32(file, 40);
    Put32(file, static_cast<uint32_t>(row.size()));
    Put32(file, 1);
    Put32(file, 1 | (32u << 16)); // planes, bits
    for (int i = 0; i < 6; ++i)
        Put32(file, 0);
    for (const FilePixel& pixel : row) {
        file += static_cast<char>(pixel.blue);
        file += static_cast<char>(pixel.green);
        file += static_cast<char>(pixel.red);
        file += static_cast<char>(pixel.alpha);
    }
    return file;
}

// The wall clock of the tests that pick frames, in milliseconds since 1970.
int64_t gWallMilliseconds = 0;
uint64_t WallClock()
{
    return static_cast<uint64_t>((gWallMilliseconds + kCXFileTimeEpochOffsetMilliseconds) * 10000);
}

// Messages that reach the window from its icons, as "<name> press x,y at x,y m<modifiers>".
struct Heard {
    std::vector<std::string> lines;
    CXResultCode operator()(const CXMessage& message)
    {
        if (dynamic_cast<UIIconControl*>(message.GetSource()) == nullptr)
            return -2;
        const std::vector<CXString>& a = message.GetArguments();
        if (a.size() != 4)
            return -2;
        lines.push_back(std::string(message.GetName().c_str()) + " press " + a[0].c_str() + "," + a[1].c_str() +
                        " at " + a[2].c_str() + "," + a[3].c_str() + " m" + std::to_string(message.GetInteger()));
        return kCXOK;
    }
};

class IconSpinnerTest : public WindowElementTest {
protected:
    void TearDown() override
    {
        CXMessagePostTask::DeleteSingleton();
        WindowElementTest::TearDown();
    }

    // Writes a file of the data folder.
    void WriteData(const std::string& name, const std::string& contents)
    {
        const std::string path = fScratch / ("data/" + name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << contents;
    }
    void WriteFrame(int index, const std::vector<FilePixel>& row)
    {
        WriteData("spinner-anim/spinner" + std::to_string(index) + ".bmp", OneRowBmp(row));
    }
    // Runs loop turns until every posted message is delivered.
    ScratchFolder fScratch;
    ScopedEnv fAppFolder{"CX_APP_FOLDER", fScratch.Path()};
};

TEST_F(IconSpinnerTest, FramesFollowTheWallClockAlsoBefore1970)
{
    struct Case {
        CXTimestamp time;
        int32_t frame;
    };
    const Case cases[] = {
        {0, 0},      {41, 0},    {42, 1},   {83, 1},   {84, 2},   {417, 10},  {458, 10},
        {459, 11},   {499, 11},  {500, 0},  {1542, 1}, {-1, 11},  {-41, 11},  {-42, 10},
        {-458, 1},   {-459, 0},  {-500, 0}, {-501, 11}, {INT64_MIN + 1, 4}, {INT64_MAX, 7},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UIProgressSpinner::FrameIndexAt(c.time), c.frame) << c.time;

    // Drawn: frame k is a pixel whose red is 10 k + 5; frame 7 is missing and leaves its slice
    // empty.
    for (int k = 0; k < UIProgressSpinner::kFrameCount; ++k) {
        if (k != 7)
            WriteFrame(k, {{0, 0, static_cast<uint8_t>(10 * k + 5), 0xFF}});
    }
    CXUIWindow* window = MakeWindow();
    auto* spinner = new UIProgressSpinner;
    spinner->SetLayout(10, 10, 30, 30, 0, 0);
    spinner->Init();
    window->AddChild(spinner, nullptr);
    EXPECT_EQ(spinner->GetFrameBitmap(7), nullptr);
    CXTime::SetFileTimeClockForTesting(&WallClock);
    const struct {
        int64_t wall;
        int32_t frame; // -1: nothing drawn
    } draws[] = {{1000000, 0}, {1000000 + 459, 11}, {-1, 11}, {-459, 0}, {-120, 9}, {-180, -1}}; // -180: frame 7, missing
    for (const auto& d : draws) {
        SCOPED_TRACE(d.wall);
        gWallMilliseconds = d.wall;
        CXAutoReference<RecordingGraf> graf;
        graf.Swallow(new RecordingGraf);
        spinner->Draw(*graf);
        const std::vector<std::string> expected =
            d.frame < 0 ? std::vector<std::string>{} : std::vector<std::string>{"DrawBitmap"};
        EXPECT_EQ(graf->Names(), expected);
    }
    // The colour tells the frame: the wall clock before 1970 shows frame 11.
    gWallMilliseconds = -1;
    spinner->InvalidateAll();
    ASSERT_TRUE(harness.PumpUntilIdle());
    POINT inside = {20, 20};
    ClientToScreen(window->GetNativeHandle(), &inside);
    EXPECT_EQ(harness.Pixel(inside), OpaquePixel(RGB(115, 0, 0)));
    window->Destroy();
}

TEST_F(IconSpinnerTest, RepaintsAtMostEvery41MillisecondsAcrossTheClocksWrap)
{
    CXUIWindow* window = MakeWindow();
    auto* spinner = new UIProgressSpinner;
    spinner->SetLayout(10, 10, 30, 30, 0, 0);
    spinner->Init();
    window->AddChild(spinner, nullptr);
    ASSERT_TRUE(harness.PumpUntilIdle());
    HWND handle = spinner->GetNativeHandle();
    ASSERT_NE(handle, nullptr);
    auto repaints = [&] {
        ValidateRect(handle, nullptr);
        spinner->Idle();
        return GetUpdateRect(handle, nullptr, FALSE) != FALSE;
    };
    // Days of idles, each late, bring the 32-bit clock to the given distance before its wrap.
    auto toBeforeWrap = [&](uint32_t before) {
        const uint64_t now = static_cast<uint64_t>(CXTime::GetPerformanceMilliseconds());
        uint64_t remaining = ((now | 0xFFFFFFFFull) + 1 - before) - now;
        for (; remaining > (1ull << 30); remaining -= 1ull << 30) {
            harness.Advance(1ll << 30);
            spinner->Idle();
        }
        harness.Advance(static_cast<int64_t>(remaining));
    };
    struct Step {
        const char* what;
        std::function<void()> move;
        bool repaint;
    };
    const Step steps[] = {
        {"due at once", [] {}, true},
        {"40 ms on", [&] { harness.Advance(40); }, false},
        {"41 ms on", [&] { harness.Advance(1); }, true},
        // A late idle restarts the schedule from now instead of catching up with a burst.
        {"late by a second", [&] { harness.Advance(1000); }, true},
        {"at the same time", [] {}, true},
        {"1 ms on", [&] { harness.Advance(1); }, false},
        {"41 ms on", [&] { harness.Advance(40); }, true},
        // The next repaint falls just below the wrap of the 32-bit clock: it must not wait 49
        // days for the clock to come round.
        {"50 ms before the wrap", [&] { toBeforeWrap(50); }, true},
        {"again at once", [] {}, true},
        {"10 ms before the wrap", [&] { harness.Advance(40); }, false},
        {"10 ms after the wrap", [&] { harness.Advance(20); }, true},
        // The next repaint falls just after the wrap: no repaints until then.
        {"30 ms before the wrap", [&] { toBeforeWrap(30); }, true},
        {"again at once", [] {}, true},
        {"29 ms before the wrap", [&] { harness.Advance(1); }, false},
        {"11 ms after the wrap", [&] { harness.Advance(40); }, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.move();
        EXPECT_EQ(repaints(), step.repaint);
    }
    window->Destroy();
}

TEST_F(IconSpinnerTest, TheSpinnerIsATaskOnlyWhileShown)
{
    CXTaskHost* host = CXTaskHost::GetCurrentThreadTaskHost();
    const size_t tasksBefore = host->GetTaskCount();
    CXUIWindow* window = MakeWindow();
    auto* spinner = new UIProgressSpinner;
    EXPECT_STREQ(spinner->CXTask::GetName(), "UIProgressSpinner");
    spinner->Init();
    EXPECT_EQ(spinner->GetHost(), nullptr);
    window->AddChild(spinner, nullptr);
    EXPECT_EQ(spinner->GetHost(), host);
    spinner->SetVisible(false);
    EXPECT_EQ(spinner->GetHost(), nullptr);
    spinner->SetVisible(true);
    EXPECT_EQ(spinner->GetHost(), host);
    window->SetVisible(false);
    EXPECT_EQ(spinner->GetHost(), nullptr);
    window->SetVisible(true);
    EXPECT_EQ(spinner->GetHost(), host);
    // Gone from the host with the window.
    window->Destroy();
    host->IdleTasks();
    EXPECT_EQ(host->GetTaskCount(), tasksBefore);
}

TEST_F(IconSpinnerTest, NoStalePixelsUnderTheSpinner)
{
    // Even frames: left half red, right half clear; odd frames the other way round, blue.
    for (int k = 0; k < UIProgressSpinner::kFrameCount; ++k) {
        const FilePixel clear{0, 0, 0, 0};
        if (k % 2 == 0)
            WriteFrame(k, {{0, 0, 0xFF, 0xFF}, clear});
        else
            WriteFrame(k, {clear, {0xFF, 0, 0, 0xFF}});
    }
    CXTime::SetFileTimeClockForTesting(&WallClock);
    gWallMilliseconds = 0;
    CXUIWindow* window = MakeWindow();
    HWND windowHandle = window->GetNativeHandle();
    auto at = [&](POINT client) {
        ClientToScreen(windowHandle, &client);
        return harness.Pixel(client);
    };
    ASSERT_TRUE(harness.PumpUntilIdle());
    const uint64_t background = at({15, 15});
    auto* spinner = new UIProgressSpinner;
    spinner->SetLayout(10, 10, 50, 30, 0, 0);
    spinner->Init();
    window->AddChild(spinner, nullptr);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(at({15, 15}), OpaquePixel(RGB(255, 0, 0)));
    EXPECT_EQ(at({45, 15}), background);
    // The next frame through the task host's pass.
    gWallMilliseconds = 42;
    harness.Advance(41);
    UIMessageLoop loop;
    ASSERT_TRUE(loop.Turn());
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(at({15, 15}), background);
    EXPECT_EQ(at({45, 15}), OpaquePixel(RGB(0, 0, 255)));
    window->Destroy();
}

TEST_F(IconSpinnerTest, MousePhasesPostMessagesForALaterTurn)
{
    CXUIWindow* window = MakeWindow();
    Heard heard;
    window->AddMessageHandler(std::ref(heard));
    auto* icon = new UIIconControl;
    icon->SetLayout(20, 20, 60, 50, 0, 0); // 40 x 30
    window->AddChild(icon, nullptr);
    icon->Init();
    EXPECT_EQ(icon->GetNativeHandle(), nullptr) << "drawn by its parent";
    struct Case {
        const char* what;
        std::vector<std::pair<int32_t, Vector2i>> events; // phase, point
        std::vector<std::string> posted;
    };
    using B = UICustomControlBase;
    const Case cases[] = {
        {"click", {{B::kMousePress, {5, 6}}, {B::kMouseRelease, {7, 8}}},
         {"UIIconControl::mousedown press 5,6 at 5,6 m2", "click press 5,6 at 7,8 m2"}},
        {"drag of 8 pixels, then 9, then further",
         {{B::kMousePress, {10, 10}}, {B::kMouseDrag, {18, 10}}, {B::kMouseDrag, {19, 10}}, {B::kMouseDrag, {25, 10}},
          {B::kMouseDrag, {10, 18}}},
         {"UIIconControl::mousedown press 10,10 at 10,10 m2", "UIIconControl::drag press 10,10 at 19,10 m2",
          "UIIconControl::drag press 10,10 at 25,10 m2"}},
        {"release at x = width", {{B::kMouseDoubleClick, {1, 1}}, {B::kMouseRelease, {40, 5}}},
         {"UIIconControl::mousedown press 1,1 at 1,1 m2"}},
        {"release outside below", {{B::kMousePress, {1, 1}}, {B::kMouseRelease, {5, 30}}, {B::kMouseHover, {5, 5}}},
         {"UIIconControl::mousedown press 1,1 at 1,1 m2"}},
        {"release at the last pixel", {{B::kMouseRelease, {39, 29}}}, {"click press 1,1 at 39,29 m2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        heard.lines.clear();
        for (const auto& [phase, point] : c.events)
            EXPECT_TRUE(icon->HandleMouse(point, UICustomControlBase::kModifierShift, phase));
        EXPECT_TRUE(heard.lines.empty()) << "posted, not sent";
        DeliverPosted();
        EXPECT_EQ(heard.lines, c.posted);
    }
    // The action name replaces "click"; an icon gone before delivery gets nothing.
    icon->SetActionName("open-site");
    icon->HandleMouse({3, 3}, 0, UICustomControlBase::kMouseRelease);
    DeliverPosted();
    EXPECT_EQ(heard.lines.back(), "open-site press 1,1 at 3,3 m0");
    heard.lines.clear();
    icon->HandleMouse({3, 3}, 0, UICustomControlBase::kMouseRelease);
    icon->Destroy();
    DeliverPosted();
    EXPECT_TRUE(heard.lines.empty());
    window->Destroy();
}

TEST_F(IconSpinnerTest, IconsDrawTheirPictureOrThePlaceholder)
{
    const std::string picture = OneRowBmp({{0, 0xFF, 0, 0xFF}});
    WriteData("icon.bmp", picture);
    WriteData("upper.BMP", picture);
    WriteData("icon.png", picture);
    WriteData("broken.bmp", "BM");
    CXDebugCapture capture;
    struct Case {
        const char* name;
        bool picture;
    };
    const Case cases[] = {
        {"icon.bmp", true}, {"upper.BMP", true}, {"icon.png", false}, {"missing.bmp", false}, {"broken.bmp", false},
    };
    auto* icon = new UIIconControl;
    icon->SetLayout(0, 0, 40, 30, 0, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        icon->SetIcon(GetDataFolderFilepath(c.name));
        EXPECT_EQ(icon->GetBitmap() != nullptr, c.picture);
        CXAutoReference<RecordingGraf> graf;
        graf.Swallow(new RecordingGraf);
        icon->Draw(*graf);
        ASSERT_FALSE(graf->Calls().empty());
        const RecordingGraf::Call& last = graf->Calls().back();
        EXPECT_EQ(last.box, (Box2i{0, 0, 40, 30, false}));
        if (c.picture) {
            EXPECT_EQ(last.name, "DrawBitmap");
            EXPECT_EQ(last.color, (CXColor{1.0f, 1.0f, 1.0f, 1.0f}));
        } else {
            EXPECT_EQ(graf->Names(), std::vector<std::string>{"FillBox"}) << "the placeholder alone";
            EXPECT_EQ(last.color, (CXColor{0.8f, 0.4f, 0.4f, 1.0f}));
        }
    }
    EXPECT_TRUE(capture.Contains("LoadBitmap"));
    // Hit region: the whole icon, or nothing when told so.
    EXPECT_TRUE(icon->GetRegion(UICustomControlBase::kRegionHit).Contains({39, 29}));
    EXPECT_FALSE(icon->GetRegion(UICustomControlBase::kRegionHit).Contains({40, 29}));
    icon->SetNoHitRegion(true);
    EXPECT_FALSE(icon->GetRegion(UICustomControlBase::kRegionHit).Contains({5, 5}));
    icon->Destroy();
}

} // namespace
} // namespace toolkittest
