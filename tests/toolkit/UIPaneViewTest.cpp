#include "toolkit/UIPaneView.h"

#include "ToolkitWindowTesting.h"

#include <string>
#include <vector>

namespace toolkittest {
namespace {

struct PaneSetup {
    int32_t size;
    int32_t minimum;
    bool flexible;
};

class PaneViewTest : public WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        window = MakeWindow({100, 100, 600, 500, false});
    }
    void TearDown() override
    {
        window->Destroy();
        WindowElementTest::TearDown();
    }

    // A view of the extent along the orientation (100 across), with plain elements as panes.
    UIPaneView* MakeView(int32_t orientation, int32_t extent, const std::vector<PaneSetup>& panes,
                         bool collapsible = false)
    {
        auto* view = new UIPaneView;
        view->SetOrientation(orientation);
        view->SetCollapsible(collapsible);
        if (orientation == UIPaneView::kVertical)
            view->SetLayout(0, 0, 100, extent, 0, 0);
        else
            view->SetLayout(0, 0, extent, 100, 0, 0);
        view->Init();
        window->AddChild(view, nullptr);
        view->AddMessageHandler([this](const CXMessage& message) -> CXResultCode {
            if (message.GetName() == UIPaneView::kResizedMessage)
                ++resizedMessages;
            return -2;
        });
        for (const PaneSetup& setup : panes) {
            auto* pane = new UIElement;
            pane->Init();
            view->AddPane(pane, setup.size, setup.minimum, setup.flexible);
        }
        view->LayoutPanes(true);
        return view;
    }

    static std::vector<int32_t> Sizes(const UIPaneView* view)
    {
        std::vector<int32_t> sizes;
        for (size_t i = 0; i < view->GetPaneCount(); ++i)
            sizes.push_back(view->GetPaneSize(i));
        return sizes;
    }

    CXUIWindow* window = nullptr;
    int resizedMessages = 0;
};

TEST_F(PaneViewTest, SizesAreDistributedByKindMinimumAndWhatRemains)
{
    struct Case {
        const char* what;
        int32_t extent;
        std::vector<PaneSetup> panes;
        std::vector<int32_t> sizes;
    };
    const Case cases[] = {
        // 206 - 12 = 194 available; the fixed pane leaves 144 for flexible sizes 30 + 30.
        {"fixed, flexible, and the last takes the rest",
         206,
         {{50, 0, false}, {30, 10, true}, {30, 10, true}},
         {50, 72, 72}},
        // Raised to 100, the flexible sizes are 100 + 30: 100 x 144 / 130.
        {"a flexible pane below its minimum is raised",
         206,
         {{50, 0, false}, {5, 100, true}, {30, 0, true}},
         {50, 110, 34}},
        // Nothing left after the fixed pane: flexible panes get their share of the minimums.
        {"nothing left, minimums shared", 112, {{100, 0, false}, {20, 8, true}, {10, 4, true}}, {100, 66, 0}},
        // ... and with every flexible minimum 0 there is nothing to share: each keeps its minimum.
        {"nothing left, every minimum 0", 112, {{100, 0, false}, {20, 0, true}, {10, 0, true}}, {100, 0, 0}},
        {"flexible panes of size 0 share by count", 200, {{40, 0, false}, {0, 0, true}, {0, 0, true}}, {40, 49, 99}},
        {"no room for the dividers", 10, {{5, 0, false}, {5, 0, true}, {5, 0, true}}, {5, 0, 0}},
        {"a lone pane takes everything", 80, {{10, 0, false}}, {80}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UIPaneView* view = MakeView(0, c.extent, c.panes);
        EXPECT_EQ(Sizes(view), c.sizes);
        view->Destroy();
    }
}

TEST_F(PaneViewTest, PanesAndDividersAreLaidOutAlongTheOrientation)
{
    UIPaneView* row = MakeView(0, 206, {{50, 0, false}, {30, 10, true}, {30, 10, true}});
    EXPECT_EQ(row->GetPane(0)->GetFrame(), (Box2i{0, 0, 50, 100, false}));
    EXPECT_EQ(row->GetDivider(0)->GetFrame(), (Box2i{50, 0, 56, 100, false}));
    EXPECT_EQ(row->GetPane(1)->GetFrame(), (Box2i{56, 0, 128, 100, false}));
    EXPECT_EQ(row->GetPane(2)->GetFrame(), (Box2i{134, 0, 206, 100, false}));
    EXPECT_EQ(row->GetDivider(2), nullptr);
    EXPECT_EQ(row->GetBounds(), (Box2i{0, 0, 206, 100, false}));
    row->Destroy();

    UIPaneView* column = MakeView(UIPaneView::kVertical, 106, {{40, 0, false}, {10, 0, true}});
    EXPECT_EQ(column->GetPane(0)->GetFrame(), (Box2i{0, 0, 100, 40, false}));
    EXPECT_EQ(column->GetDivider(0)->GetFrame(), (Box2i{0, 40, 100, 46, false}));
    EXPECT_EQ(column->GetPane(1)->GetFrame(), (Box2i{0, 46, 100, 106, false}));
    // A forced layout tells the parents even when nothing changed; an unforced one only on a change.
    resizedMessages = 0;
    column->LayoutPanes(true);
    EXPECT_EQ(resizedMessages, 1);
    column->LayoutPanes(false);
    EXPECT_EQ(resizedMessages, 1);
    column->SetLayout(0, 0, 100, 126, 0, 0);
    EXPECT_EQ(Sizes(column), (std::vector<int32_t>{40, 80}));
    EXPECT_GE(resizedMessages, 2);
    column->Destroy();
}

TEST_F(PaneViewTest, DraggingADividerMovesSizeBetweenItsPanes)
{
    UIPaneView* view = MakeView(0, 206, {{50, 0, false}, {30, 10, true}, {30, 10, true}});
    const auto normal = reinterpret_cast<HCURSOR>(0x10);
    const auto dragging = reinterpret_cast<HCURSOR>(0x20);
    view->SetCursors(normal, dragging);
    // Hovering over the divider shows the dragging cursor; away from it the normal one.
    view->HandleMouse({53, 40}, 0, UIPaneView::kMouseHover);
    EXPECT_EQ(view->GetShownCursor(), dragging);
    view->HandleMouse({20, 40}, 0, UIPaneView::kMouseHover);
    EXPECT_EQ(view->GetShownCursor(), normal);

    view->HandleMouse({52, 40}, 0, UIPaneView::kMousePress);
    EXPECT_EQ(view->GetHeldDivider(), 0);
    view->HandleMouse({62, 40}, 0, UIPaneView::kMouseDrag);
    EXPECT_EQ(Sizes(view), (std::vector<int32_t>{60, 62, 72}));
    EXPECT_EQ(view->GetDivider(0)->GetFrame().left, 60);
    view->HandleMouse({62, 40}, 0, UIPaneView::kMouseRelease);
    EXPECT_EQ(view->GetHeldDivider(), -1);
    EXPECT_EQ(view->GetShownCursor(), normal);
    // A press away from the dividers holds none, and drags move nothing.
    view->HandleMouse({20, 40}, 0, UIPaneView::kMousePress);
    view->HandleMouse({40, 40}, 0, UIPaneView::kMouseDrag);
    EXPECT_EQ(Sizes(view), (std::vector<int32_t>{60, 62, 72}));
    view->Destroy();
}

TEST_F(PaneViewTest, ACollapsiblePaneDraggedBelowTenPixelsGoesOnRelease)
{
    UIPaneView* view = MakeView(0, 206, {{50, 0, false}, {30, 10, true}, {30, 10, true}}, true);
    const size_t liveBefore = UIElement::CountLiveElements();
    UIElement* collapsing = view->GetPane(0);
    view->HandleMouse({52, 40}, 0, UIPaneView::kMousePress);
    // 50 - 41 = 9: below 10, the first pane is hidden and the second starts at the left edge.
    view->HandleMouse({11, 40}, 0, UIPaneView::kMouseDrag);
    EXPECT_EQ(view->GetCollapsingPane(), 0);
    EXPECT_FALSE(collapsing->IsVisible());
    EXPECT_FALSE(view->GetDivider(0)->IsVisible());
    EXPECT_EQ(view->GetPane(1)->GetFrame().left, 0);
    const std::vector<int32_t> collapsed = Sizes(view);
    // Further moves while the same pane stays marked change nothing.
    view->HandleMouse({5, 40}, 0, UIPaneView::kMouseDrag);
    EXPECT_EQ(Sizes(view), collapsed);
    view->HandleMouse({5, 40}, 0, UIPaneView::kMouseRelease);
    EXPECT_EQ(view->GetPaneCount(), 2u);
    EXPECT_EQ(view->GetCollapsingPane(), -1);
    // The pane and its divider are gone.
    EXPECT_EQ(UIElement::CountLiveElements(), liveBefore - 2);
    EXPECT_EQ(view->GetPane(0)->GetFrame().left, 0);
    EXPECT_EQ(Sizes(view)[0] + 6 + Sizes(view)[1], 206);

    // The last pane collapsed: the pane before it loses its divider.
    view->HandleMouse({Sizes(view)[0] + 1, 40}, 0, UIPaneView::kMousePress);
    ASSERT_EQ(view->GetHeldDivider(), 0);
    view->HandleMouse({203, 40}, 0, UIPaneView::kMouseDrag);
    EXPECT_EQ(view->GetCollapsingPane(), 1);
    view->HandleMouse({203, 40}, 0, UIPaneView::kMouseRelease);
    ASSERT_EQ(view->GetPaneCount(), 1u);
    EXPECT_EQ(view->GetDivider(0), nullptr);
    EXPECT_EQ(Sizes(view), (std::vector<int32_t>{206}));
    view->Destroy();
}

} // namespace
} // namespace toolkittest
