#include "toolkit/UILockButton.h"

#include "GrafTesting.h"
#include "ToolkitWindowTesting.h"
#include "foundation/CXMessagePost.h"
#include "toolkit/UIMessageLoop.h"

#include <string>
#include <vector>

namespace toolkittest {
namespace {

class LockButtonTest : public WindowElementTest {
protected:
    void TearDown() override
    {
        CXMessagePostTask::DeleteSingleton();
        WindowElementTest::TearDown();
    }
};

TEST_F(LockButtonTest, AReleaseInsideAsksTheOwnerToToggle)
{
    CXUIWindow* window = MakeWindow();
    auto* button = new UILockButton;
    button->SetLayout(10, 10, 30, 30, 0, 0);
    button->Init();
    window->AddChild(button, nullptr);
    int toggles = 0;
    // The owner decides: it flips the state the button shows.
    window->AddMessageHandler([&](const CXMessage& message) -> CXResultCode {
        if (message.GetName() != UILockButton::kToggleMessage || message.GetSource() != button)
            return -2;
        ++toggles;
        button->SetLocked(!button->IsLocked());
        return kCXOK;
    });
    struct Case {
        Vector2i point;
        int32_t phase;
        int toggles;
    };
    const Case cases[] = {
        {{5, 5}, 0, 0},   {{5, 5}, 2, 0},   {{5, 5}, 4, 1},  {{19, 19}, 4, 1}, {{20, 5}, 4, 0},
        {{5, 20}, 4, 0},  {{-1, 5}, 4, 0},  {{5, 5}, 5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.point.x << "," << c.point.y << " phase " << c.phase);
        toggles = 0;
        const bool locked = button->IsLocked();
        EXPECT_TRUE(button->HandleMouse(c.point, 0, c.phase));
        EXPECT_EQ(button->IsLocked(), locked); // only the owner changes it
        DeliverPosted();
        EXPECT_EQ(toggles, c.toggles);
        EXPECT_EQ(button->IsLocked(), c.toggles == 1 ? !locked : locked);
    }
    window->Destroy();
}

TEST_F(LockButtonTest, DrawsThePictureOfItsState)
{
    CXUIWindow* window = MakeWindow();
    auto* button = new UILockButton;
    button->SetLayout(10, 10, 30, 26, 0, 0);
    button->Init();
    window->AddChild(button, nullptr);
    CXAutoReference<UIBitmap> lockedPicture;
    lockedPicture.Swallow(new UIBitmap);
    button->SetImages(lockedPicture.get(), nullptr);
    EXPECT_EQ(button->GetRegion(0).GetBounds(), (Box2i{0, 0, 20, 16, false}));

    CXAutoReference<RecordingGraf> graf;
    graf.Swallow(new RecordingGraf);
    button->SetLocked(true);
    button->Draw(*graf);
    ASSERT_EQ(graf->Names(), (std::vector<std::string>{"FillBox", "DrawBitmap"}));
    EXPECT_EQ(graf->Calls()[1].box, (Box2i{0, 0, 20, 16, false}));
    // Unlocked: no picture for that state, nothing drawn over the background.
    graf->Clear();
    button->SetLocked(false);
    button->Draw(*graf);
    EXPECT_EQ(graf->Names(), (std::vector<std::string>{"FillBox"}));
    window->Destroy();
}

} // namespace
} // namespace toolkittest
