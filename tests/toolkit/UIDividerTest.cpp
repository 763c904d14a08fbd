#include "toolkit/UIDivider.h"

#include "GrafTesting.h"
#include "ToolkitWindowTesting.h"
#include "toolkit/UIAppearance.h"

#include <string>
#include <vector>

namespace toolkittest {
namespace {

constexpr CXColor kWhite{1.0f, 1.0f, 1.0f, 1.0f};
constexpr CXColor kLightGrey{0.8f, 0.8f, 0.8f, 1.0f};
constexpr CXColor kHalfRed{1.0f, 0.0f, 0.0f, 0.5f};

std::string Describe(const RecordingGraf::Call& call)
{
    std::string text = call.name + " " + std::to_string(call.box.left) + "," + std::to_string(call.box.top) + "," +
                       std::to_string(call.box.right) + "," + std::to_string(call.box.bottom);
    if (call.name == "DrawString")
        text = call.name + " \"" + call.text + "\" at " + std::to_string(call.point.x) + "," +
               std::to_string(call.point.y) + " size " + std::to_string(call.fontSize);
    return text;
}

// Calls of one colour compare as their descriptions with the colour's name.
struct Expected {
    std::string call;
    CXColor color;
};

class UIDividerTest : public ElementTest {};

TEST_F(UIDividerTest, EachStyleDrawsItsShapesThenTheWindowlessChildren)
{
    const CXColor background = UIDivider::BlendBackground(kHalfRed, UIAppearanceWin32::Get()->GetColor());
    const CXColor black{0.0f, 0.0f, 0.0f, 1.0f};
    struct Case {
        int32_t style;
        int32_t hint;
        Box2i size;
        std::vector<Expected> calls;
    };
    const Box2i wide{0, 0, 100, 40, false};
    const Box2i tall{0, 0, 30, 80, false};
    const Case cases[] = {
        {1, 0, wide, {{"FillBox 0,0,100,40", kWhite}}},
        {1, 4, wide, {{"FillBox 0,0,100,40", kWhite}}},
        {2, 0, wide, {{"FillBox 0,0,100,40", background}, {"FrameBox 0,0,100,40", kWhite}}},
        {2, 4, wide, {{"FrameBox 0,0,100,40", kWhite}}},
        {3, 0, wide,
         {{"FrameBox 0,0,100,40", kWhite},
          {"FrameBox 1,1,99,39", kLightGrey},
          {"FillBox 2,2,98,38", background},
          {"DrawString \"Group\" at 10,20 size 12", black}}},
        {3, 4, wide,
         {{"FrameBox 0,0,100,40", kWhite},
          {"FrameBox 1,1,99,39", kLightGrey},
          {"DrawString \"Group\" at 10,20 size 12", black}}},
        // A line in the divider's own colour across the middle, along the longer side.
        {4, 0, wide, {{"FillBox 0,0,100,40", background}, {"FillBox 0,20,100,21", kHalfRed}}},
        {4, 0, tall, {{"FillBox 0,0,30,80", background}, {"FillBox 15,0,16,80", kHalfRed}}},
        {4, 4, wide, {{"FillBox 0,20,100,21", kHalfRed}}},
        // The fading rules need a gradient, which the drawing context does not draw.
        {5, 0, wide, {}},
        {6, 0, wide, {}},
        {7, 0, wide, {}},
        {0, 0, wide, {}},
        {8, 0, wide, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "style " << c.style << ", hint " << c.hint << ", " << c.size.right << "x"
                                          << c.size.bottom);
        auto* divider = new UIDivider(c.style, kHalfRed);
        divider->SetTitle("Group");
        divider->SetCompositingHint(c.hint);
        divider->SetLayout(c.size.left, c.size.top, c.size.right, c.size.bottom, 0, 0);
        std::vector<std::string> trace;
        auto* child = new Windowless("child", &trace, {5, 5, 15, 15, false});
        divider->AddChild(child, nullptr);

        RecordingGraf graf;
        divider->Draw(graf);
        const std::vector<RecordingGraf::Call>& calls = graf.Calls();
        ASSERT_EQ(calls.size(), c.calls.size() + 4);
        for (size_t i = 0; i < c.calls.size(); ++i) {
            EXPECT_EQ(Describe(calls[i]), c.calls[i].call);
            EXPECT_EQ(calls[i].color, c.calls[i].color) << c.calls[i].call;
        }
        // The child last, clipped to its frame: its two boxes.
        std::vector<std::string> tail;
        for (size_t i = c.calls.size(); i < calls.size(); ++i)
            tail.push_back(calls[i].name);
        EXPECT_EQ(tail, (std::vector<std::string>{"PushClipRegion", "FillBox", "FillBox", "PopClipRegion"}));
        EXPECT_EQ(trace, std::vector<std::string>{"child:draw"});
        divider->Destroy();
    }
}

TEST_F(UIDividerTest, TheBackgroundBlendsTheDividersColourOverTheAppearancesByItsAlpha)
{
    struct Case {
        const char* name;
        CXColor divider;
        CXColor appearance;
        CXColor blended;
    };
    const Case cases[] = {
        // n = 0.25 + 0.5: red 0.25 / 0.75, blue 0.5 / 0.75.
        {"half over opaque", kHalfRed, {0.0f, 0.0f, 1.0f, 1.0f}, {1.0f / 3, 0.0f, 2.0f / 3, 1.0f}},
        {"opaque over anything", {0.2f, 0.4f, 0.6f, 1.0f}, {0.0f, 0.0f, 1.0f, 0.0f}, {0.2f, 0.4f, 0.6f, 1.0f}},
        {"transparent over opaque", {1.0f, 0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f, 1.0f}, {0.0f, 0.0f, 1.0f, 1.0f}},
        // n is 0 or below 1e-6: the plain mix by the divider's alpha.
        {"both transparent", {1.0f, 0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f, 1.0f}},
        {"nearly transparent over transparent", {1.0f, 0.0f, 0.0f, 0.0005f}, {0.0f, 1.0f, 0.0f, 0.0f},
         {0.0005f, 0.9995f, 0.0f, 1.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CXColor blended = UIDivider::BlendBackground(c.divider, c.appearance);
        EXPECT_NEAR(blended.red, c.blended.red, 1e-5);
        EXPECT_NEAR(blended.green, c.blended.green, 1e-5);
        EXPECT_NEAR(blended.blue, c.blended.blue, 1e-5);
        EXPECT_EQ(blended.alpha, 1.0f);
    }
}

TEST_F(UIDividerTest, TheSettersChangeWhatIsDrawnNext)
{
    auto* divider = new UIDivider(1, kHalfRed);
    divider->SetLayout(0, 0, 100, 40, 0, 0);
    divider->SetStyle(4);
    divider->SetColor({0.0f, 0.0f, 1.0f, 1.0f});
    EXPECT_EQ(divider->GetStyle(), 4);
    RecordingGraf graf;
    divider->Draw(graf);
    ASSERT_EQ(graf.Calls().size(), 2u);
    EXPECT_EQ(Describe(graf.Calls()[1]), "FillBox 0,20,100,21");
    EXPECT_EQ(graf.Calls()[1].color, (CXColor{0.0f, 0.0f, 1.0f, 1.0f}));
    divider->Destroy();
}

} // namespace
} // namespace toolkittest
