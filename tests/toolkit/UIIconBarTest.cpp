#include "toolkit/UIIconBar.h"

#include "GrafTesting.h"
#include "ToolkitWindowTesting.h"
#include "foundation/CXMessagePost.h"
#include "toolkit/UIMessageLoop.h"

#include <string>
#include <vector>

namespace toolkittest {
namespace {

class IconBarTest : public WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        window = MakeWindow();
        window->AddMessageHandler([this](const CXMessage& message) -> CXResultCode {
            if (dynamic_cast<UIIconBar*>(message.GetSource()) == nullptr)
                return -2;
            heard.push_back(message.GetName().c_str());
            return kCXOK;
        });
        bar = new UIIconBar;
        bar->SetLayout(0, 0, 100, 20, 0, 0);
        bar->Init();
        window->AddChild(bar, nullptr);
        picture.Swallow(new UIBitmap);
        bar->AddIcon(picture.get(), "first");
        bar->AddIcon(nullptr, "second");
        bar->AddIcon(nullptr, "third");
    }
    void TearDown() override
    {
        window->Destroy();
        CXMessagePostTask::DeleteSingleton();
        WindowElementTest::TearDown();
    }
    CXUIWindow* window = nullptr;
    UIIconBar* bar = nullptr;
    CXAutoReference<UIBitmap> picture;
    std::vector<std::string> heard;
};

TEST_F(IconBarTest, AReleaseOnThePressedIconPostsItsMessage)
{
    struct Case {
        const char* what;
        std::vector<std::pair<int32_t, int32_t>> events; // x, phase
        std::vector<std::string> posted;
    };
    const Case cases[] = {
        {"press and release on the third icon", {{50, 0}, {63, 4}}, {"third"}},
        {"released past the last icon", {{50, 0}, {70, 4}}, {}},
        {"released on another icon", {{10, 0}, {30, 4}}, {}},
        {"dragged away and back", {{30, 0}, {50, 2}, {30, 2}, {35, 4}}, {"second"}},
        {"double-click press", {{10, 1}, {12, 4}}, {"first"}},
        {"cancelled", {{30, 0}, {5, 5}, {30, 4}}, {}},
        {"a release without a press", {{30, 4}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        heard.clear();
        for (const auto& [x, phase] : c.events)
            EXPECT_TRUE(bar->HandleMouse({x, 10}, 0, phase));
        EXPECT_EQ(bar->GetPressedIndex(), -1);
        DeliverPosted();
        EXPECT_EQ(heard, c.posted);
    }
}

TEST_F(IconBarTest, RegionsAndDrawingOfTheIconsAndThePressedShade)
{
    EXPECT_EQ(bar->GetRegion(0).GetBounds(), (Box2i{4, 0, 64, 20, false}));
    EXPECT_EQ(bar->GetRegion(2).GetBounds(), (Box2i{4, 0, 64, 20, false}));
    EXPECT_FALSE(bar->GetRegion(1).IsNotEmpty());

    bar->HandleMouse({30, 10}, 0, 0);
    CXAutoReference<RecordingGraf> graf;
    graf.Swallow(new RecordingGraf);
    bar->Draw(*graf);
    const std::vector<RecordingGraf::Call>& calls = graf->Calls();
    std::vector<std::string> names;
    std::vector<Box2i> boxes;
    std::vector<float> alphas;
    for (const RecordingGraf::Call& call : calls) {
        if (call.depth == 0) {
            names.push_back(call.name);
            boxes.push_back(call.box);
            alphas.push_back(call.color.alpha);
        }
    }
    ASSERT_EQ(names, (std::vector<std::string>{"FillBox", "DrawBitmap", "FillBox", "FillBox", "FillBox"}));
    EXPECT_EQ(boxes[1], (Box2i{6, 2, 22, 18, false}));
    EXPECT_EQ(boxes[2], (Box2i{26, 2, 42, 18, false}));
    EXPECT_EQ(boxes[3], (Box2i{26, 2, 42, 18, false}));
    EXPECT_FLOAT_EQ(alphas[3], 0.5f);
    EXPECT_EQ(boxes[4], (Box2i{46, 2, 62, 18, false}));

    // Off the pressed icon, no shade.
    bar->HandleMouse({50, 10}, 0, 2);
    graf->Clear();
    bar->Draw(*graf);
    EXPECT_EQ(graf->Names(), (std::vector<std::string>{"FillBox", "DrawBitmap", "FillBox", "FillBox"}));

    bar->RemoveAllIcons();
    EXPECT_EQ(bar->GetIconCount(), 0u);
    EXPECT_EQ(bar->GetRegion(0).GetBounds().Width(), 0);
}

} // namespace
} // namespace toolkittest
