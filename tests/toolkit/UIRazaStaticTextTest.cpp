#include "toolkit/UIRazaStaticText.h"

#include "GrafTesting.h"
#include "ToolkitWindowTesting.h"
#include "foundation/CXDebug.h"
#include "toolkit/UICustomControl.h"
#include "win32/testing/Pixels.h"

#include <tuple>

namespace toolkittest {
namespace {

using win32::testing::OpaquePixel;

// Em 12: advance 7, ascent 10, descent 3, internal leading 1; so the first line is drawn at
// y = 13 and each next one 14 lower.
const char* const kTestFace = "Layer Test Box";

RazaFont TestFont(int32_t alignment = RazaFont::kAlignLeft)
{
    return RazaFont(kTestFace, 12, 0, {0.0f, 0.0f, 0.0f, 1.0f}, alignment);
}

// Records the mouse calls of a windowless control as "<label>:<phase> x,y".
class MouseRecorder : public UICustomControl {
public:
    MouseRecorder(std::vector<std::string>* trace, Box2i frame) : fTrace(trace)
    {
        SetCompositingHint(kWindowlessHint);
        SetLayout(frame.left, frame.top, frame.right, frame.bottom, 0, 0);
    }
    bool HandleMouse(Vector2i point, int32_t, int32_t phase) override
    {
        fTrace->push_back("under:p" + std::to_string(phase) + " " + std::to_string(point.x) + "," +
                          std::to_string(point.y));
        return true;
    }

private:
    std::vector<std::string>* fTrace;
};

// A windowed custom control that counts the boxes invalidated in it.
class InvalidationCounter : public UICustomControl {
public:
    explicit InvalidationCounter(Box2i frame) { SetLayout(frame.left, frame.top, frame.right, frame.bottom, 0, 0); }
    void InvalidateBox(const Box2i& box) override
    {
        boxes.push_back(box);
        UICustomControl::InvalidateBox(box);
    }
    std::vector<Box2i> boxes;
};

class UIRazaStaticTextTest : public WindowElementTest {
protected:
    // A label at the frame, added to the parent, then initialised.
    static UIRazaStaticText* AddLabel(UIElement* parent, Box2i frame, const char* text)
    {
        auto* label = new UIRazaStaticText;
        label->SetLayout(frame.left, frame.top, frame.right, frame.bottom, 0, 0);
        label->SetFont(TestFont());
        label->SetText(text);
        parent->AddChild(label, nullptr);
        label->Init();
        return label;
    }

    static POINT Screen(HWND hwnd, POINT client)
    {
        ClientToScreen(hwnd, &client);
        return client;
    }
};

using Line = std::tuple<std::string, int32_t, int32_t>;

TEST_F(UIRazaStaticTextTest, LinesArePlacedByWrapAndAlignment)
{
    struct Case {
        const char* name;
        const char* text;
        int32_t width;
        int32_t alignment;
        bool wrap;
        std::vector<Line> lines;
    };
    const Case cases[] = {
        {"wrapped at the last space that fits", "one two three", 49, RazaFont::kAlignLeft, true,
         {{"one two", 0, 13}, {"three", 0, 27}}},
        {"a word wider than the label is cut", "abcdefghij", 30, RazaFont::kAlignLeft, true,
         {{"abcd", 0, 13}, {"efgh", 0, 27}, {"ij", 0, 41}}},
        {"two line feeds give an empty line", "a\n\nb", 100, RazaFont::kAlignLeft, false,
         {{"a", 0, 13}, {"", 0, 27}, {"b", 0, 41}}},
        {"each line centred", "ab\nabcd", 50, RazaFont::kAlignCenter, false, {{"ab", 18, 13}, {"abcd", 11, 27}}},
        {"right, a long line with the ellipsis first", "ab\nabcdefgh", 30, RazaFont::kAlignRight, false,
         {{"ab", 16, 13}, {"\xE2\x80\xA6" "fgh", 2, 27}}},
        {"left with the end in view", "abcdefgh", 30, RazaFont::kAlignLeftEndInView, false,
         {{"\xE2\x80\xA6" "fgh", 0, 13}}},
        {"narrower than one character: lines whole", "ab cd\nef", 5, RazaFont::kAlignLeft, true,
         {{"ab cd", 0, 13}, {"ef", 0, 27}}},
        {"no width at all", "ab cd", 0, RazaFont::kAlignLeft, true, {{"ab cd", 0, 13}}},
        {"white space at a break ends the line", "ab  \ncd", 14, RazaFont::kAlignLeft, true,
         {{"ab", 0, 13}, {"cd", 0, 27}}},
    };
    for (const Case& c : cases) {
        auto* label = new UIRazaStaticText;
        label->SetLayout(0, 0, c.width, 60, 0, 0);
        label->SetFont(TestFont(c.alignment));
        label->SetText(c.text);
        if (c.wrap)
            label->EnableWordWrap();
        RecordingGraf graf;
        label->Draw(graf);
        std::vector<Line> drawn;
        for (const RecordingGraf::Call& call : graf.Calls()) {
            EXPECT_NE(call.name, "FillBox") << c.name << ": a label fills no background";
            if (call.name == "DrawString")
                drawn.emplace_back(call.text, call.point.x, call.point.y);
        }
        EXPECT_EQ(drawn, c.lines) << c.name;
        label->Destroy();
    }

    auto* label = new UIRazaStaticText;
    label->SetFont(TestFont());
    label->SetText("abc");
    int32_t width = -1;
    int32_t height = -1;
    label->GetMinimumSize(width, height);
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(21, 13)) << "one line of text";
    label->EnableWordWrap();
    label->GetMinimumSize(width, height);
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(0, 0));
    label->Destroy();
}

TEST_F(UIRazaStaticTextTest, TheMeasuredHeightEndsAtTheLastDrawnLinesBottomEdge)
{
    struct Case {
        const char* name;
        const char* text;
        int32_t width;
        bool wrap;
        int32_t height;
    };
    // Lines at y = 13, 27, 41, ...; a line's bottom edge lies 3 below its y.
    const Case cases[] = {
        {"one line", "abc", 100, true, 16},
        {"an empty text is one line", "", 100, true, 16},
        {"wrapped at a space", "one two three", 49, true, 30},
        {"a long word cut", "abcdefghij", 30, true, 44},
        {"not wrapped: line feeds only", "one two three\nfour", 49, false, 30},
        {"CR LF is one break", "a\r\nb", 100, true, 30},
        {"ten lines", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10", 100, true, 142},
        {"narrower than one character", "ab cd\nef", 5, true, 30},
    };
    for (const Case& c : cases) {
        auto* label = new UIRazaStaticText;
        label->SetLayout(0, 0, c.width, 500, 0, 0);
        label->SetFont(TestFont());
        label->SetText(c.text);
        if (c.wrap)
            label->EnableWordWrap();
        RecordingGraf graf;
        label->Draw(graf);
        int32_t lastY = -1;
        for (const RecordingGraf::Call& call : graf.Calls()) {
            if (call.name == "DrawString")
                lastY = call.point.y;
        }
        EXPECT_EQ(label->MeasureHeight(c.width), lastY + 3) << c.name;
        EXPECT_EQ(label->MeasureHeight(c.width), c.height) << c.name;
        label->Destroy();
    }
}

TEST_F(UIRazaStaticTextTest, OnlyAChangeRedrawsTheLabel)
{
    CXUIWindow* window = MakeWindow();
    auto* host = new InvalidationCounter({20, 30, 220, 130, false});
    window->AddChild(host, nullptr);
    host->Init();
    UIRazaStaticText* label = AddLabel(host, {10, 10, 110, 30, false}, "");
    host->boxes.clear();

    label->SetText("one");
    ASSERT_EQ(host->boxes.size(), 1u);
    EXPECT_EQ(host->boxes[0], (Box2i{10, 10, 110, 30, false}));
    label->SetText("one");
    EXPECT_EQ(host->boxes.size(), 1u);
    label->SetText("two");
    EXPECT_EQ(host->boxes.size(), 2u);
    label->EnableWordWrap();
    label->EnableWordWrap();
    EXPECT_EQ(host->boxes.size(), 3u);
    window->Destroy();
}

TEST_F(UIRazaStaticTextTest, APlainLabelLetsTheMouseThroughAndAClickableOneClicksOnRelease)
{
    struct Case {
        const char* name;
        bool underWindow;
        bool clickable;
        POINT press;
        POINT release;
        std::vector<std::string> afterPress;
        std::vector<std::string> afterRelease;
    };
    // The label lies at {10, 10, 110, 30} of its parent, over the recorder (under a custom control).
    const Case cases[] = {
        {"plain, under a custom control", false, false, {20, 15}, {20, 15}, {"under:p0 20,15"},
         {"under:p0 20,15", "under:p4 20,15"}},
        {"clickable, under a custom control", false, true, {20, 15}, {21, 16}, {},
         {"label handler:click 11,6 m0", "host:click"}},
        {"clickable, released outside it", false, true, {20, 15}, {150, 80}, {}, {}},
        {"clickable, under a window", true, true, {20, 15}, {20, 15}, {}, {"label handler:click 10,5 m0"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> trace;
        CXUIWindow* window = MakeWindow();
        UIElement* parent = window;
        if (!c.underWindow) {
            auto* host = new UICustomControl;
            host->SetLayout(0, 0, 200, 100, 0, 0);
            window->AddChild(host, nullptr);
            host->Init();
            host->AddMessageHandler([&trace](const CXMessage& message) {
                trace.push_back("host:" + std::string(message.GetName().c_str()));
                return kCXOK;
            });
            parent = host;
        }
        UIRazaStaticText* label = AddLabel(parent, {10, 10, 110, 30, false}, "label");
        label->SetClickable(c.clickable);
        label->AddMessageHandler([&trace](const CXMessage& message) {
            std::string line = "label handler:" + std::string(message.GetName().c_str());
            if (message.GetName() == "click") {
                const auto& click = static_cast<const UIRazaStaticTextClick&>(message);
                line += " " + std::to_string(click.GetPoint().x) + "," + std::to_string(click.GetPoint().y) + " m" +
                        std::to_string(click.GetModifiers());
            }
            trace.push_back(line);
            return kCXNotSupported;
        });
        if (!c.underWindow) {
            auto* under = new MouseRecorder(&trace, {0, 0, 200, 100, false});
            parent->AddChild(under, nullptr);
            under->Init();
        }
        ASSERT_TRUE(harness.PumpUntilIdle());
        HWND hwnd = NativeUIElement::GetNativeHandle(parent);
        ASSERT_NE(hwnd, nullptr) << c.name;
        harness.MoveTo(Screen(hwnd, c.press));
        harness.Press(Screen(hwnd, c.press));
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(trace, c.afterPress) << c.name;
        harness.MoveTo(Screen(hwnd, c.release));
        harness.Release(Screen(hwnd, c.release));
        ASSERT_TRUE(harness.PumpUntilIdle());
        std::erase_if(trace, [](const std::string& line) { return line.find(":p2 ") != std::string::npos; });
        EXPECT_EQ(trace, c.afterRelease) << c.name;
        window->Destroy();
    }
}

TEST_F(UIRazaStaticTextTest, TheFirstLinesBottomEdgeLiesThreeBelowAscentPlusDescent)
{
    CXUIWindow* window = MakeWindow();
    UIRazaStaticText* label = AddLabel(window, {30, 40, 230, 80, false}, "H");
    ASSERT_TRUE(harness.PumpUntilIdle());
    RazaFont font = TestFont();
    RazaFontMetrics metrics;
    ASSERT_TRUE(font.GetMetrics(metrics));
    // The test face inks from one row below the cell's top to the baseline, which lies a descent
    // above the line's bottom edge.
    const int32_t bottom = metrics.ascent + metrics.descent + 3;
    const int32_t firstInk = bottom - metrics.descent - metrics.ascent + 1;
    const int32_t lastInk = bottom - metrics.descent - 1;
    const HWND hwnd = window->GetNativeHandle();
    auto at = [&](int32_t row) { return harness.Pixel(Screen(hwnd, {30 + 3, 40 + row})); };
    const uint64_t ink = OpaquePixel(RGB(0, 0, 0));
    EXPECT_NE(at(firstInk - 1), ink);
    EXPECT_EQ(at(firstInk), ink);
    EXPECT_EQ(at(lastInk), ink);
    EXPECT_NE(at(lastInk + 1), ink);
    EXPECT_EQ(lastInk, 12);
    (void)label;
    window->Destroy();
}

TEST_F(UIRazaStaticTextTest, ALabelInitialisedBeforeItHasAParentGetsAWindowAndIsReported)
{
    CXDebugCapture capture;
    auto* early = new UIRazaStaticText;
    early->Init();
    EXPECT_NE(early->GetNativeHandle(), nullptr);
    EXPECT_EQ(capture.Count("uhoh"), 1u);
    early->Destroy();

    CXUIWindow* window = MakeWindow();
    UIRazaStaticText* label = AddLabel(window, {0, 0, 50, 20, false}, "x");
    EXPECT_EQ(label->GetNativeHandle(), nullptr);
    EXPECT_EQ(capture.Count("uhoh"), 1u);
    window->Destroy();
}

} // namespace
} // namespace toolkittest
