#include "toolkit/UITransparentButton.h"

#include "ToolkitWindowTesting.h"
#include "foundation/CXTask.h"
#include "foundation/CXTime.h"
#include "support/BmpFile.h"
#include "support/ScratchFolder.h"
#include "win32/testing/Pixels.h"

#include <fstream>
#include <string>
#include <vector>

namespace toolkittest {
namespace {

using win32::testing::OpaquePixel;

RazaFont Font(int32_t size, CXColor color = {0.0f, 0.0f, 0.0f, 1.0f})
{
    return RazaFont("Layer Test Box", size, 0, color);
}

int32_t LineHeight(RazaFont font)
{
    font.CreateFontHandle();
    RazaFontMetrics metrics;
    EXPECT_TRUE(font.GetMetrics(metrics));
    return metrics.ascent + metrics.descent + metrics.internalLeading;
}

class UITransparentButtonTest : public OneWindowTest {
protected:
    // "Go" in the window at (20, 20), 120 x height, recording its clicks as "click x,y m".
    UITransparentButton* AddButton(int32_t height = 40)
    {
        auto* button = new UITransparentButton;
        button->SetText("Go");
        button->SetLayout(20, 20, 140, 20 + height, 0, 0);
        window->AddChild(button, nullptr);
        button->Init();
        button->SetFonts(Font(12), Font(16, {0.0f, 0.0f, 1.0f, 1.0f}));
        button->AddMessageHandler([this, button](const CXMessage& message) -> CXResultCode {
            if (message.GetName() != "click" || message.GetSource() != button)
                return -2;
            const auto& click = static_cast<const UIRazaStaticTextClick&>(message);
            clicks.push_back("click " + std::to_string(click.GetPoint().x) + "," + std::to_string(click.GetPoint().y) +
                             " m" + std::to_string(click.GetModifiers()));
            return 0;
        });
        return button;
    }
    // Moves the clock on until its milliseconds modulo 4000 are `phase`; answers the time.
    int64_t AdvanceToPhase(int64_t phase)
    {
        const int64_t now = CXTime::GetPerformanceMilliseconds();
        harness.Advance(((phase - now % 4000) % 4000 + 4000) % 4000);
        return CXTime::GetPerformanceMilliseconds();
    }
    uint64_t ScreenPixel(POINT client)
    {
        ClientToScreen(window->GetNativeHandle(), &client);
        return harness.Pixel(client);
    }

    std::vector<std::string> clicks;
};

TEST_F(UITransparentButtonTest, ThePulseFactorRisesToOneAndAHalfThenFallsBack)
{
    struct Case {
        int64_t milliseconds;
        double factor;
    };
    const Case cases[] = {
        {0, 0.0}, {1000, 0.5}, {2999, 1.4995}, {3000, 1.5}, {3001, 0.999}, {3999, 0.001}, {4000, 0.0}, {6999, 1.4995},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(UITransparentButton::PulseFactor(c.milliseconds), c.factor, 1e-12) << c.milliseconds << " ms";
}

TEST_F(UITransparentButtonTest, ThePulseMovesTheNormalColourWhichDrawingClamps)
{
    UITransparentButton* button = AddButton();
    button->SetPulseTargetColor({1.0f, 0.5f, 0.2f, 1.0f});
    button->StartPulse();
    ASSERT_NE(button->GetHost(), nullptr);
    CXTaskHost* host = CXTaskHost::GetCurrentThreadTaskHost();
    // The clock reads at least 1 from here, so every pulse time below is the clock's.
    harness.Advance(1);
    struct Case {
        int64_t phase;
        float factor;
        COLORREF drawn;
    };
    const Case cases[] = {
        {0, 0.0f, RGB(0, 0, 0)},
        // Beyond the target: red overshoots to 1.4995 and is drawn as 255.
        {2999, 1.4995f, RGB(255, 191, 76)},
        {3001, 0.999f, RGB(254, 127, 50)},
        {3999, 0.001f, RGB(0, 0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.phase);
        const int64_t now = AdvanceToPhase(c.phase);
        host->IdleTasks();
        EXPECT_EQ(button->GetPulseClock(), now);
        const CXColor color = button->GetFont().GetColor();
        EXPECT_NEAR(color.red, c.factor, 1e-5);
        EXPECT_NEAR(color.green, 0.5f * c.factor, 1e-5);
        EXPECT_NEAR(color.blue, 0.2f * c.factor, 1e-5);
        harness.Texts().Clear();
        ASSERT_TRUE(harness.PumpUntilIdle());
        bool drawn = false;
        for (const DrawnText& entry : harness.Texts().Entries()) {
            if (entry.text == u"Go") {
                drawn = true;
                EXPECT_EQ(entry.color, c.drawn);
            }
        }
        EXPECT_TRUE(drawn);
    }

    // While hovering the pulse rests; the hover font keeps its own colour.
    button->HoverOn();
    AdvanceToPhase(2000);
    host->IdleTasks();
    EXPECT_EQ(button->GetFont().GetColor(), (CXColor{0.0f, 0.0f, 1.0f, 1.0f}));
    button->HoverOff();
    EXPECT_EQ(button->GetFont().GetColor(), (CXColor{0.0f, 0.0f, 0.0f, 1.0f}));

    // The text position does not move with a colour.
    const Vector2i position = button->GetTextPosition();
    host->IdleTasks();
    EXPECT_EQ(button->GetTextPosition(), position);

    button->StopPulse();
    EXPECT_EQ(button->GetHost(), nullptr);
    EXPECT_EQ(button->GetPulseClock(), 0);
    EXPECT_EQ(button->GetFont().GetColor(), (CXColor{0.0f, 0.0f, 0.0f, 1.0f}));
    // A button destroyed while pulsing leaves its host.
    button->StartPulse();
    const size_t withButton = host->GetTaskCount();
    button->Destroy();
    EXPECT_EQ(host->GetTaskCount(), withButton - 1);
}

TEST_F(UITransparentButtonTest, TheTextIsCentredOnTheFontsLineLessTwoPixels)
{
    struct Case {
        int32_t height;
        int32_t size;
    };
    // The last line is taller than the button: the shift rounds towards minus infinity.
    const Case cases[] = {{40, 12}, {41, 12}, {60, 24}, {5, 24}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.height << " high, size " << c.size);
        UITransparentButton* button = AddButton(c.height);
        button->SetFonts(Font(c.size), Font(c.size + 8));
        const int32_t normal = ((c.height - LineHeight(Font(c.size))) >> 1) - 2;
        const int32_t hover = ((c.height - LineHeight(Font(c.size + 8))) >> 1) - 2;
        EXPECT_NE(normal, hover);
        EXPECT_EQ(button->GetTextPosition(), (Vector2i{0, normal}));
        button->HoverOn();
        EXPECT_EQ(button->GetTextPosition(), (Vector2i{0, hover}));
        button->HoverOff();
        EXPECT_EQ(button->GetTextPosition(), (Vector2i{0, normal}));
        button->Destroy();
    }
}

TEST_F(UITransparentButtonTest, HoverReleaseAndCancel)
{
    UITransparentButton* button = AddButton();
    constexpr int32_t kHover = UICustomControlBase::kMouseHover;
    constexpr int32_t kRelease = UICustomControlBase::kMouseRelease;
    struct Case {
        const char* what;
        Vector2i point;
        int32_t phase;
        bool hovering;
        std::vector<std::string> clicks;
    };
    const Case cases[] = {
        {"hover outside", {130, 10}, kHover, false, {}},
        {"hover inside", {10, 10}, kHover, true, {}},
        {"release inside", {12, 14}, kRelease, false, {"click 12,14 m2"}},
        {"release outside", {-1, 14}, kRelease, false, {}},
        {"hover again", {10, 10}, kHover, true, {}},
        {"cancel", {10, 10}, UICustomControlBase::kMouseCancel, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clicks.clear();
        EXPECT_TRUE(button->HandleMouse(c.point, UICustomControlBase::kModifierShift, c.phase));
        EXPECT_EQ(button->IsHovering(), c.hovering);
        EXPECT_EQ(button->GetFont().GetSize(), c.hovering ? 16 : 12);
        EXPECT_EQ(clicks, c.clicks);
    }
    // The pointer leaving ends the hover.
    (void)button->HandleMouse({10, 10}, 0, kHover);
    button->MouseExited();
    EXPECT_FALSE(button->IsHovering());
    int32_t width = -1;
    int32_t height = -1;
    button->GetMinimumSize(width, height);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    button->Destroy();
}

TEST_F(UITransparentButtonTest, TheHoverBitmapShowsOnlyWhileHoveringAndActive)
{
    ScratchFolder scratch;
    ASSERT_TRUE(BmpFile(1, 1, 32, {0xFFFF0000u}).Write(scratch / "normal.bmp"));
    ASSERT_TRUE(BmpFile(1, 1, 32, {0xFF00FF00u}).Write(scratch / "hover.bmp"));
    UITransparentButton* button = AddButton();
    CXAutoReference<UIBitmap> normal = UIBitmap::Load((scratch / "normal.bmp").c_str());
    CXAutoReference<UIBitmap> hover = UIBitmap::Load((scratch / "hover.bmp").c_str());
    ASSERT_TRUE(normal && hover);
    // A point of the button right of its text.
    const POINT inside = {130, 50};
    ASSERT_TRUE(harness.PumpUntilIdle());
    const uint64_t background = ScreenPixel(inside);

    struct Case {
        const char* what;
        bool normal;
        bool hover;
        bool hovering;
        int active; // -1: not told of activation
        uint64_t shown;
    };
    const Case cases[] = {
        {"no bitmaps", false, false, false, -1, background},
        {"normal", true, true, false, -1, OpaquePixel(RGB(255, 0, 0))},
        {"hovering", true, true, true, -1, OpaquePixel(RGB(0, 255, 0))},
        {"hovering without a hover bitmap", true, false, true, -1, OpaquePixel(RGB(255, 0, 0))},
        {"hovering, inactive", true, true, true, 0, OpaquePixel(RGB(255, 0, 0))},
        {"hovering, active", true, true, true, 1, OpaquePixel(RGB(0, 255, 0))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        button->SetBitmaps(c.normal ? normal.get() : nullptr, c.hover ? hover.get() : nullptr);
        if (c.hovering)
            button->HoverOn();
        else
            button->HoverOff();
        button->SetReceivesActivation(c.active >= 0);
        button->appearingActive = c.active == 1 ? 1 : 0;
        button->InvalidateAll();
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(ScreenPixel(inside), c.shown);
    }
    button->Destroy();
}

} // namespace
} // namespace toolkittest
