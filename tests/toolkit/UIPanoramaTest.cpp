#include "toolkit/UIPanorama.h"

#include "ToolkitWindowTesting.h"
#include "toolkit/UIAppearance.h"
#include "win32/testing/Pixels.h"

#include <string>

namespace toolkittest {
namespace {

using win32::testing::OpaquePixel;

constexpr CXColor kRed{1.0f, 0.0f, 0.0f, 1.0f};
constexpr CXColor kGreen{0.0f, 1.0f, 0.0f, 1.0f};
constexpr CXColor kBlue{0.0f, 0.0f, 1.0f, 1.0f};

uint64_t PixelOf(const CXColor& color)
{
    return OpaquePixel(color.ToColorRef() & 0xFFFFFFu);
}

// A windowless block that fills its frame with one colour.
class Block : public UICustomControl {
public:
    Block(Box2i frame, CXColor color) : fColor(color)
    {
        SetCompositingHint(kWindowlessHint);
        SetLayout(frame.left, frame.top, frame.right, frame.bottom, 0, 0);
    }
    void Draw(RazaGraf& graf) override { graf.FillBox({0, 0, GetWidth(), GetHeight(), false}, fColor); }

private:
    CXColor fColor;
};

class UIPanoramaTest : public OneWindowTest {
protected:
    // A panorama with a window of its own at the frame, under the parent (the window when null).
    UIPanorama* AddPanorama(Box2i frame, UIElement* parent = nullptr)
    {
        auto* panorama = new UIPanorama;
        panorama->SetLayout(frame.left, frame.top, frame.right, frame.bottom, 0, 0);
        panorama->Init();
        (parent != nullptr ? parent : window)->AddChild(panorama, nullptr);
        return panorama;
    }
    static UIElement* AddPlain(UIElement* parent, Box2i frame)
    {
        auto* child = new UIElement;
        child->SetLayout(frame.left, frame.top, frame.right, frame.bottom, 0, 0);
        child->Init();
        parent->AddChild(child, nullptr);
        return child;
    }
    static Block* AddBlock(UIElement* parent, Box2i frame, CXColor color)
    {
        auto* block = new Block(frame, color);
        parent->AddChild(block, nullptr);
        block->Init();
        return block;
    }
    static Vector2i Position(UIPanorama* panorama)
    {
        return {static_cast<int32_t>(panorama->GetHorizontalAxis().GetPosition()),
                static_cast<int32_t>(panorama->GetVerticalAxis().GetPosition())};
    }
    static Vector2i ContentSize(UIPanorama* panorama)
    {
        return {panorama->GetContentWidth(), panorama->GetContentHeight()};
    }
    uint64_t ScreenPixel(POINT client)
    {
        ClientToScreen(window->GetNativeHandle(), &client);
        return harness.Pixel(client);
    }
};

TEST_F(UIPanoramaTest, ContentSizeFollowsChildrenLaidOutReframedHiddenAndRemoved)
{
    UIPanorama* panorama = AddPanorama({10, 10, 110, 90});
    // Nothing inside: the view itself (plus the scroll position, which is 0).
    EXPECT_EQ(ContentSize(panorama), (Vector2i{100, 80}));
    UIElement* wide = AddPlain(panorama, {0, 0, 150, 50});
    EXPECT_EQ(ContentSize(panorama), (Vector2i{150, 80}));

    // A child not yet initialised tells its parent of a new frame too.
    auto* tall = new UIElement;
    tall->SetLayout(0, 0, 60, 200, 0, 0);
    panorama->AddChild(tall, nullptr);
    EXPECT_EQ(ContentSize(panorama), (Vector2i{150, 200}));
    tall->SetLayout(0, 0, 60, 120, 0, 0);
    EXPECT_EQ(ContentSize(panorama), (Vector2i{150, 120}));
    EXPECT_EQ(panorama->GetVerticalAxis().GetMaximum(), 40.0);
    tall->Init();
    tall->SetLayout(0, 0, 60, 130, 0, 0);
    EXPECT_EQ(ContentSize(panorama), (Vector2i{150, 130}));

    wide->SetVisible(false);
    EXPECT_EQ(ContentSize(panorama), (Vector2i{100, 130}));

    // A batch updates once, at its end.
    panorama->BeginBatch();
    panorama->BeginBatch();
    tall->SetLayout(0, 0, 60, 300, 0, 0);
    wide->SetVisible(true);
    panorama->EndBatch();
    EXPECT_EQ(ContentSize(panorama), (Vector2i{100, 130}));
    panorama->EndBatch();
    EXPECT_EQ(ContentSize(panorama), (Vector2i{150, 300}));

    // Scrolled, the content keeps at least the view plus the position.
    panorama->GetVerticalAxis().SetPosition(150);
    tall->RemoveFromParent();
    tall->Destroy();
    EXPECT_EQ(ContentSize(panorama), (Vector2i{150, 230}));
    EXPECT_EQ(Position(panorama), (Vector2i{0, 150}));

    // An axis that does not scroll has no content and no range, but children still get the view.
    panorama->SetScrollsHorizontally(false);
    EXPECT_EQ(ContentSize(panorama), (Vector2i{0, 230}));
    EXPECT_EQ(panorama->GetHorizontalAxis().GetMaximum(), 0.0);
    EXPECT_EQ(panorama->GetWidth(), 100);
    panorama->SetFitContentToView(true);
    EXPECT_EQ(ContentSize(panorama), (Vector2i{0, 80}));
    EXPECT_EQ(Position(panorama), (Vector2i{0, 0}));
    panorama->Destroy();
}

TEST_F(UIPanoramaTest, KeepAtEndFollowsGrowthOnlyFromTheBottom)
{
    struct Case {
        const char* what;
        double position;
        int32_t expected;
    };
    const Case cases[] = {
        {"at the bottom", 200, 300},
        {"scrolled up", 50, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UIPanorama* panorama = AddPanorama({10, 10, 110, 110});
        panorama->SetKeepAtEnd(true);
        UIElement* child = AddPlain(panorama, {0, 0, 50, 300});
        ASSERT_EQ(panorama->GetVerticalAxis().GetMaximum(), 200.0);
        panorama->GetVerticalAxis().SetPosition(c.position);
        child->SetLayout(0, 0, 50, 400, 0, 0);
        EXPECT_EQ(ContentSize(panorama).y, 400);
        EXPECT_EQ(Position(panorama).y, c.expected);
        EXPECT_EQ(panorama->GetContentOrigin().y, c.expected);
        panorama->Destroy();
    }
}

TEST_F(UIPanoramaTest, ANestedPanoramaPassesOnWhatItCannotScrollAndLeavesNoStalePixels)
{
    // The outer view (200 x 100) holds the inner panorama over its first 100 pixels and a blue
    // block below; the inner one (200 x 100) shows red, then green, 100 pixels each.
    UIPanorama* outer = AddPanorama({10, 10, 210, 110});
    UIPanorama* inner = AddPanorama({0, 0, 200, 100}, outer);
    AddBlock(inner, {0, 0, 200, 100}, kRed);
    AddBlock(inner, {0, 100, 200, 200}, kGreen);
    AddBlock(outer, {0, 100, 200, 300}, kBlue);
    ASSERT_TRUE(harness.PumpUntilIdle());
    ASSERT_EQ(ScreenPixel({110, 60}), PixelOf(kRed));

    struct Case {
        const char* what;
        double dy;
        Vector2i inner;
        Vector2i outer;
    };
    const Case cases[] = {
        {"the inner one takes it all", -60, {0, 60}, {0, 0}},
        {"the rest goes up", -90, {0, 100}, {0, 50}},
        {"less than a pixel left over goes nowhere", -0.5, {0, 100}, {0, 50}},
        {"back down, the inner one first", 120, {0, 0}, {0, 30}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        inner->RequestScroll(0, c.dy);
        EXPECT_EQ(Position(inner), c.inner);
        EXPECT_EQ(Position(outer), c.outer);
        ASSERT_TRUE(harness.PumpUntilIdle());
        // Every row of the outer view shows what its content has there now.
        for (int32_t y = 0; y < 100; y += 5) {
            const int32_t outerY = y + c.outer.y;
            CXColor expected = kBlue;
            if (outerY < 100)
                expected = outerY + c.inner.y < 100 ? kRed : kGreen;
            EXPECT_EQ(ScreenPixel({110, 10 + y}), PixelOf(expected)) << "view row " << y;
        }
    }
    outer->Destroy();
}

TEST_F(UIPanoramaTest, DraggingBeyondAnEdgeScrollsFivePixelsPerEvent)
{
    UIPanorama* panorama = AddPanorama({10, 10, 110, 110});
    AddPlain(panorama, {0, 0, 400, 400});
    struct Case {
        const char* what;
        Vector2i inView;
        int32_t phase;
        Vector2i position;
    };
    const Case cases[] = {
        {"inside", {50, 50}, UICustomControlBase::kMouseDrag, {20, 20}},
        {"beyond the right edge", {100, 50}, UICustomControlBase::kMouseDrag, {25, 20}},
        {"below the bottom", {50, 130}, UICustomControlBase::kMouseDrag, {20, 25}},
        {"before the left and the top", {-1, -40}, UICustomControlBase::kMouseDrag, {15, 15}},
        {"not a drag", {150, 150}, UICustomControlBase::kMouseHover, {20, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        panorama->GetHorizontalAxis().SetPosition(20);
        panorama->GetVerticalAxis().SetPosition(20);
        (void)panorama->HandleMouse(c.inView + panorama->GetContentOrigin(), 0, c.phase);
        EXPECT_EQ(Position(panorama), c.position);
    }
    panorama->Destroy();
}

TEST_F(UIPanoramaTest, ABoxIsScrolledIntoViewByTheLeastAmountThenUpward)
{
    UIPanorama* panorama = AddPanorama({10, 10, 110, 110});
    AddPlain(panorama, {0, 0, 400, 400});
    struct Case {
        const char* what;
        Box2i box;
        Vector2i position;
    };
    const Case cases[] = {
        {"already in view", {120, 120, 150, 150, false}, {100, 100}},
        {"below: forward to its bottom", {120, 250, 150, 270, false}, {100, 170}},
        {"above and left: back to its top-left", {50, 60, 80, 90, false}, {50, 60}},
        {"wider than the view stays", {50, 120, 250, 130, false}, {100, 100}},
        {"far beyond the right", {380, 120, 400, 130, false}, {300, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        panorama->GetHorizontalAxis().SetPosition(100);
        panorama->GetVerticalAxis().SetPosition(100);
        panorama->ScrollBoxIntoView(c.box);
        EXPECT_EQ(Position(panorama), c.position);
    }

    // Inside another panorama, the box, where it lies after the inner scroll, goes to the outer one.
    UIPanorama* inner = AddPanorama({0, 200, 100, 300}, panorama);
    UIElement* deep = AddPlain(inner, {0, 350, 10, 360});
    AddPlain(inner, {0, 0, 100, 400});
    panorama->GetHorizontalAxis().SetPosition(0);
    panorama->GetVerticalAxis().SetPosition(0);
    deep->ScrollBoxIntoView({0, 0, 10, 10, false});
    EXPECT_EQ(Position(inner), (Vector2i{0, 260}));
    EXPECT_EQ(Position(panorama), (Vector2i{0, 200}));
    panorama->Destroy();
}

TEST_F(UIPanoramaTest, TheBackgroundIsTheColourMadeOpaqueElseTheAppearances)
{
    struct Case {
        const char* what;
        CXColor color;
        // Null: the appearance's colour.
        const CXColor* shown;
    };
    const Case cases[] = {
        {"opaque", kGreen, &kGreen},
        {"half transparent, painted opaque", {0.0f, 0.0f, 1.0f, 0.5f}, &kBlue},
        {"transparent", {1.0f, 0.0f, 0.0f, 0.0f}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UIPanorama* panorama = AddPanorama({10, 10, 110, 110});
        panorama->SetColor(c.color);
        AddBlock(panorama, {0, 0, 50, 50}, kRed);
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(ScreenPixel({20, 20}), PixelOf(kRed));
        const CXColor shown = c.shown != nullptr ? *c.shown : panorama->GetAppearance()->GetColor();
        EXPECT_EQ(ScreenPixel({100, 100}), PixelOf(shown));
        panorama->Destroy();
    }
}

} // namespace
} // namespace toolkittest
