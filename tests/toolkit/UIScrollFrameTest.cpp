#include "toolkit/UIScrollFrame.h"

#include "GrafTesting.h"
#include "ToolkitWindowTesting.h"
#include "toolkit/GTextData.h"
#include "toolkit/TextStyle.h"
#include "toolkit/UIMessageLoop.h"
#include "toolkit/UIScrollBar.h"
#include "toolkit/UITextView.h"
#include "toolkit/ntex.h"
#include "win32/controls/Controls.h"

#include <algorithm>
#include <vector>

namespace toolkittest {
namespace {

// A content view of a page of docWidth x docHeight pixels: on each axis it needs the range
// [0, page - its size] and recombines its rings whenever its frame is computed.
class Sheet : public UIElement, public Scrollable {
public:
    bool GetAxisRange(const ScrollAxisRef& axis, double& minimum, double& maximum, double& page) override
    {
        const bool isHorizontal = &axis == &horizontal;
        const int32_t size = isHorizontal ? GetWidth() : GetHeight();
        minimum = 0;
        maximum = std::max(0, (isHorizontal ? docWidth : docHeight) - size);
        page = size;
        return true;
    }
    void ApplyLayout() override
    {
        UIElement::ApplyLayout();
        horizontal.Recompute();
        vertical.Recompute();
    }

    int32_t docWidth = 0;
    int32_t docHeight = 0;
    ScrollAxisRef horizontal{this};
    ScrollAxisRef vertical{this};
};

// A bar drawn by nobody: counts how often the frame sets its visibility, and may call the frame's
// layout again from there, as a child whose layout reacts to being shown would.
class ReentrantBar : public UIElement, public UIScrollBase {
public:
    UIElement* GetElement() override { return this; }
    int32_t GetThickness() const override { return 16; }
    int32_t GetBarKind() const override { return 0; }
    void SetVisible(bool visible) override
    {
        ++visibilitySets;
        if (frame != nullptr)
            frame->LayoutContent();
        UIElement::SetVisible(visible);
    }

    UIScrollFrame* frame = nullptr;
    int visibilitySets = 0;
};

class UIScrollFrameTest : public OneWindowTest {
protected:
    // A 200 x 100 frame in the window holding a sheet and two native bars, each bar's ring linked
    // with the sheet's axis, not laid out yet.
    UIScrollFrame* MakeFrame(Sheet*& sheet, UIScrollBar*& horizontalBar, UIScrollBar*& verticalBar)
    {
        auto* frame = new UIScrollFrame;
        frame->Init();
        window->AddChild(frame, nullptr);
        frame->SetLayout(0, 0, 200, 100, 0, 0);
        sheet = new Sheet;
        sheet->Init();
        frame->AddChild(sheet, nullptr);
        horizontalBar = new UIScrollBar;
        horizontalBar->SetHorizontal(true);
        verticalBar = new UIScrollBar;
        for (UIScrollBar* bar : {horizontalBar, verticalBar}) {
            bar->Init();
            frame->AddChild(bar, nullptr);
        }
        horizontalBar->GetAxis().AddClient(&sheet->horizontal);
        verticalBar->GetAxis().AddClient(&sheet->vertical);
        frame->SetContent(sheet, verticalBar);
        frame->SetHorizontalBar(horizontalBar);
        return frame;
    }
};

Box2i FrameBox(int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    return {left, top, right, bottom, false};
}

TEST_F(UIScrollFrameTest, BarsAppearForTheRingsRangeAndTheContentTakesTheRest)
{
    struct Case {
        const char* what;
        int32_t docWidth;
        int32_t docHeight;
        Box2i insets;
        bool disabled;
        int32_t thickness; // -1: the bars' own 16
        bool horizontalShown;
        bool verticalShown;
        Box2i content;
        Box2i horizontalBar; // checked when shown
        Box2i verticalBar;
    };
    const Box2i none{};
    const Case cases[] = {
        {"range [0, 0]", 0, 0, none, false, -1, false, false, FrameBox(0, 0, 200, 100), {}, {}},
        {"range [0, 0] inside insets", 150, 80, FrameBox(3, 4, 5, 6), false, -1, false, false, FrameBox(3, 4, 195, 94),
         {}, {}},
        {"tall: narrowed by the bar's 16", 0, 500, none, false, -1, false, true, FrameBox(0, 0, 184, 100), {},
         FrameBox(184, 0, 201, 100)},
        {"wide", 500, 0, none, false, -1, true, false, FrameBox(0, 0, 200, 84), FrameBox(0, 84, 200, 101), {}},
        // Only once the horizontal bar takes 16 pixels does the page (90) exceed the height: the
        // vertical bar follows in the second pass, the third finds nothing new.
        {"three passes", 500, 90, none, false, -1, true, true, FrameBox(0, 0, 184, 84), FrameBox(0, 84, 184, 101),
         FrameBox(184, 0, 201, 84)},
        {"both inside insets", 500, 500, FrameBox(3, 4, 5, 6), false, -1, true, true, FrameBox(3, 4, 179, 78),
         FrameBox(3, 78, 179, 95), FrameBox(179, 4, 196, 78)},
        {"scrolling disabled", 500, 500, none, true, -1, false, false, FrameBox(0, 0, 200, 100), {}, {}},
        {"fixed thickness", 0, 500, none, false, 20, false, true, FrameBox(0, 0, 180, 100), {},
         FrameBox(180, 0, 201, 100)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Sheet* sheet = nullptr;
        UIScrollBar* horizontalBar = nullptr;
        UIScrollBar* verticalBar = nullptr;
        UIScrollFrame* frame = MakeFrame(sheet, horizontalBar, verticalBar);
        sheet->docWidth = c.docWidth;
        sheet->docHeight = c.docHeight;
        frame->SetInsets(c.insets);
        frame->SetScrollingDisabled(c.disabled);
        frame->SetBarThickness(c.thickness);
        frame->LayoutContent();
        EXPECT_EQ(horizontalBar->IsVisible(), c.horizontalShown);
        EXPECT_EQ(verticalBar->IsVisible(), c.verticalShown);
        EXPECT_EQ(sheet->GetFrame(), c.content);
        if (c.horizontalShown) {
            EXPECT_EQ(horizontalBar->GetFrame(), c.horizontalBar);
        }
        if (c.verticalShown) {
            EXPECT_EQ(verticalBar->GetFrame(), c.verticalBar);
        }
        // The frame's axes are members of the bars' rings.
        EXPECT_EQ(frame->GetVerticalAxis().GetMaximum(), verticalBar->GetAxis().GetMaximum());
        EXPECT_EQ(frame->GetHorizontalAxis().GetMaximum(), horizontalBar->GetAxis().GetMaximum());
        frame->Destroy();
    }
}

TEST_F(UIScrollFrameTest, ResizingAndBarAdjustmentsLayOutAgain)
{
    Sheet* sheet = nullptr;
    UIScrollBar* horizontalBar = nullptr;
    UIScrollBar* verticalBar = nullptr;
    UIScrollFrame* frame = MakeFrame(sheet, horizontalBar, verticalBar);
    sheet->docHeight = 150;
    frame->LayoutContent();
    EXPECT_TRUE(verticalBar->IsVisible());
    frame->SetBarAdjust(0, 2, 0, 3);
    EXPECT_EQ(verticalBar->GetFrame(), FrameBox(184, 2, 201, 97));
    // Taller than the page: the bar goes and the sheet takes the whole width.
    frame->SetLayout(0, 0, 200, 160, 0, 0);
    EXPECT_FALSE(verticalBar->IsVisible());
    EXPECT_EQ(sheet->GetFrame(), FrameBox(0, 0, 200, 160));
    // The frame needs no range: its page is its size.
    double minimum = 1, maximum = 1, page = 0;
    EXPECT_TRUE(frame->GetAxisRange(frame->GetHorizontalAxis(), minimum, maximum, page));
    EXPECT_EQ(minimum, 0);
    EXPECT_EQ(maximum, 0);
    EXPECT_EQ(page, 200);
    EXPECT_TRUE(frame->GetAxisRange(frame->GetVerticalAxis(), minimum, maximum, page));
    EXPECT_EQ(page, 160);
    frame->Destroy();
}

TEST_F(UIScrollFrameTest, ALayoutCalledFromABarBeingShownReturnsAtOnce)
{
    auto* frame = new UIScrollFrame;
    frame->Init();
    window->AddChild(frame, nullptr);
    frame->SetLayout(0, 0, 200, 100, 0, 0);
    auto* sheet = new Sheet;
    sheet->docHeight = 500;
    auto* bar = new ReentrantBar;
    frame->AddChild(sheet, nullptr);
    frame->AddChild(bar, nullptr);
    bar->GetAxis().AddClient(&sheet->vertical);
    frame->SetContent(sheet, bar);
    bar->frame = frame;
    frame->LayoutContent();
    // Once per pass: shown in the first, confirmed in the second. A nested layout would have run
    // passes of its own.
    EXPECT_EQ(bar->visibilitySets, 2);
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ(sheet->GetFrame(), FrameBox(0, 0, 184, 100));
    EXPECT_EQ(bar->GetFrame(), FrameBox(184, 0, 201, 100));
    bar->frame = nullptr;
    frame->Destroy();
}

TEST_F(UIScrollFrameTest, InsetsArePaintedGrey)
{
    struct Case {
        Box2i insets;
        std::vector<Box2i> fills;
    };
    const Case cases[] = {
        {FrameBox(2, 3, 4, 5),
         {FrameBox(0, 0, 200, 3), FrameBox(0, 95, 200, 100), FrameBox(0, 3, 2, 95), FrameBox(196, 3, 200, 95)}},
        // The licence text's frame: one line at the bottom.
        {FrameBox(0, 0, 0, 1), {FrameBox(0, 99, 200, 100)}},
        {FrameBox(0, 0, 0, 0), {}},
        {FrameBox(-3, 0, 0, 0), {}},
    };
    auto* frame = new UIScrollFrame;
    frame->SetLayout(0, 0, 200, 100, 0, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.insets.left << "," << c.insets.top << "," << c.insets.right << ","
                                          << c.insets.bottom);
        frame->SetInsets(c.insets);
        CXAutoReference<RecordingGraf> graf;
        graf.Swallow(new RecordingGraf);
        frame->Draw(*graf);
        std::vector<Box2i> fills;
        for (const RecordingGraf::Call& call : graf->Calls()) {
            ASSERT_EQ(call.name, "FillBox") << "no background of its own";
            EXPECT_EQ(call.color, (CXColor{0.5f, 0.5f, 0.5f, 1.0f}));
            fills.push_back(call.box);
        }
        EXPECT_EQ(fills, c.fills);
    }
    frame->Destroy();
}

// A tree with a fixed row extent and a header with a fixed column width.
struct Tree : UIElement, UIScrollFrame::TreeContent {
    UIElement* GetElement() override { return this; }
    int32_t GetRowExtent() const override { return rows; }
    int32_t rows = 50;
};
struct Header : UIElement, UIScrollFrame::Header {
    UIElement* GetElement() override { return this; }
    int32_t GetTotalColumnWidth() const override { return 300; }
};

TEST_F(UIScrollFrameTest, TreeAndPlainContentFollowThePositions)
{
    auto* frame = new UIScrollFrame;
    frame->Init();
    window->AddChild(frame, nullptr);
    frame->SetLayout(0, 0, 200, 100, 0, 0);
    auto* clip = new UIElement;
    auto* tree = new Tree;
    auto* header = new Header;
    clip->AddChild(tree, nullptr);
    frame->AddChild(header, nullptr);
    frame->AddChild(clip, nullptr);
    frame->SetContent(clip, nullptr);
    frame->SetTreeContent(tree, header);
    // The header takes 24 pixels above the content; the tree is as wide as its columns and as
    // tall as its rows or the visible height, whichever is more.
    EXPECT_EQ(header->GetFrame(), FrameBox(0, 0, 200, 24));
    EXPECT_EQ(clip->GetFrame(), FrameBox(0, 24, 200, 100));
    EXPECT_EQ(tree->GetFrame(), FrameBox(0, 0, 300, 76));
    EXPECT_EQ(frame->GetBounds(), FrameBox(0, 0, 200, 100)) << "the content's bounds and the header's 24";
    frame->GetVerticalAxis().SetUnclamped(true);
    frame->GetVerticalAxis().SetPosition(40);
    EXPECT_EQ(tree->GetFrame(), FrameBox(0, 0, 300, 116));
    header->SetVisible(false);
    frame->LayoutContent();
    EXPECT_EQ(clip->GetFrame(), FrameBox(0, 0, 200, 100));
    EXPECT_EQ(tree->GetFrame(), FrameBox(0, 0, 300, 140));
    // A tree message that changes the size lays out again and goes on to the parent.
    tree->rows = 400;
    CXMessage updated("tree-view-updated", tree);
    updated.SetInteger(0x2);
    EXPECT_EQ(frame->HandleMessage(updated), -2);
    EXPECT_EQ(tree->GetFrame(), FrameBox(0, 0, 300, 400));
    frame->ClearTreeContent();

    // Plain content covers the area shown at the positions, its content origin at its top-left.
    frame->SetContent(nullptr, nullptr);
    frame->GetHorizontalAxis().SetUnclamped(true);
    frame->GetVerticalAxis().SetUnclamped(true);
    auto* plain = new UICustomControl;
    plain->SetCompositingHint(UICustomControlBase::kWindowlessHint);
    frame->AddChild(plain, nullptr);
    plain->Init();
    struct Case {
        double x;
        double y;
        Box2i frame;
        Vector2i origin;
    };
    const Case cases[] = {
        {0, 0, FrameBox(0, 0, 200, 100), {0, 0}},
        {30, 10, FrameBox(0, 0, 230, 110), {0, 0}},
        {-20, -5, FrameBox(-20, -5, 180, 95), {-20, -5}},
    };
    frame->SetPlainContent(plain);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.x << "," << c.y);
        frame->GetHorizontalAxis().SetPosition(c.x);
        frame->GetVerticalAxis().SetPosition(c.y);
        EXPECT_EQ(plain->GetFrame(), c.frame);
        EXPECT_EQ(plain->contentOrigin, c.origin);
    }
    frame->Destroy();
}

TEST_F(UIScrollFrameTest, ATextViewAndItsBarKeepTheRingInStep)
{
    // As the licence text is shown: a frame with a one-pixel line at the bottom, the text view and
    // a native bar in one ring.
    auto* frame = new UIScrollFrame;
    frame->Init();
    window->AddChild(frame, nullptr);
    frame->SetLayout(0, 0, 300, 200, 0, 0);
    frame->SetInsets(FrameBox(0, 0, 0, 1));
    auto* view = new UITextView;
    frame->AddChild(view, nullptr);
    view->Init();
    TextStyle style;
    style.face = "Layer Test Box";
    style.size = 12; // lines 13 high
    view->GetDocument()->SetCurrentStyle(style);
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "line\n";
    view->SetText(CXString(text.c_str()));
    auto* bar = new UIScrollBar;
    bar->Init();
    frame->AddChild(bar, nullptr);
    bar->GetAxis().AddClient(&view->GetVerticalAxis());
    frame->SetContent(view, bar);
    frame->LayoutContent();
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ(view->GetFrame(), FrameBox(0, 0, 284, 199));
    EXPECT_EQ(bar->GetFrame(), FrameBox(284, 0, 301, 199));
    const double maximum = frame->GetVerticalAxis().GetMaximum();
    EXPECT_GT(maximum, 100);

    UIMessageLoop loop;
    auto turnWhileReady = [&] {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE))
            ASSERT_TRUE(loop.Turn());
    };
    auto inStep = [&](double expected) {
        EXPECT_EQ(view->GetVerticalAxis().GetPosition(), expected);
        EXPECT_EQ(frame->GetVerticalAxis().GetPosition(), expected);
        EXPECT_EQ(bar->GetAxis().GetPosition(), expected);
        EXPECT_EQ(view->GetView()->GetScrollPosition().y, expected);
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_POS;
        EXPECT_TRUE(GetScrollInfo(bar->GetNativeHandle(), SB_CTL, &info));
        EXPECT_EQ(info.nPos, static_cast<int>(expected));
    };
    auto onBar = [&](int along) {
        POINT point{8, along};
        ClientToScreen(bar->GetNativeHandle(), &point);
        return point;
    };
    // Two notches of 16 pixels over the view.
    harness.Wheel(CenterOf(ClientOnScreen(view->GetNativeHandle())), -2);
    turnWhileReady();
    inStep(32);
    // The far arrow: one line step of the bar.
    harness.Click(onBar(190));
    turnWhileReady();
    inStep(37);
    // The trough below the thumb: a page of the ring.
    harness.Advance(1000);
    harness.Click(onBar(150));
    turnWhileReady();
    inStep(std::min(maximum, 37 + frame->GetVerticalAxis().GetPage()));
    // Back up with the wheel past the start.
    harness.Advance(1000);
    harness.Wheel(CenterOf(ClientOnScreen(view->GetNativeHandle())), 30);
    turnWhileReady();
    inStep(0);
    frame->Destroy();
}

} // namespace
} // namespace toolkittest
