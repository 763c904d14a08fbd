#include "toolkit/UIStaticTextControl.h"

#include "ToolkitWindowTesting.h"
#include "toolkit/UIAppearance.h"
#include "toolkit/UICustomControlGenericNativeAdapter.h"
#include "toolkit/UIDivider.h"
#include "toolkit/UIPanorama.h"
#include "win32/testing/Pixels.h"

#include <string>
#include <vector>

namespace toolkittest {
namespace {

using win32::testing::LiveGdiObjects;
using win32::testing::OpaquePixel;

constexpr CXColor kRed{1.0f, 0.0f, 0.0f, 1.0f};
constexpr CXColor kGreen{0.0f, 1.0f, 0.0f, 1.0f};
constexpr CXColor kBlue{0.0f, 0.0f, 1.0f, 1.0f};

COLORREF ColorRefOf(const CXColor& color)
{
    return color.ToColorRef() & 0xFFFFFFu;
}

class UIStaticTextControlTest : public OneWindowTest {
protected:
    // A label in the test face (em 12: characters 7 pixels wide, lines 13 high) under the parent
    // (the window when null), made with the font's alignment.
    UIStaticTextControl* Add(const char* text, UIElement* parent = nullptr, int32_t alignment = RazaFont::kAlignLeft,
                             CXColor color = {0.0f, 0.0f, 0.0f, 1.0f})
    {
        auto* label = new UIStaticTextControl;
        label->SetText(text);
        label->SetFont(RazaFont("Layer Test Box", 12, 0, color, alignment));
        label->SetLayout(10, 10, 110, 50, 0, 0);
        label->Init();
        (parent != nullptr ? parent : window)->AddChild(label, nullptr);
        return label;
    }
    // A divider in the window, with a window of its own or drawn by the window.
    UIDivider* AddDivider(const CXColor& color, bool windowless = false)
    {
        auto* divider = new UIDivider(UIDivider::kStyleFramedPanel, color);
        divider->SetLayout(20, 20, 220, 120, 0, 0);
        if (windowless) {
            divider->SetCompositingHint(UICustomControlBase::kWindowlessHint);
            window->AddChild(divider, nullptr);
            divider->Init();
        } else {
            divider->Init();
            window->AddChild(divider, nullptr);
        }
        return divider;
    }
    // A panorama in the window with a window of its own.
    UIPanorama* AddPanorama(const CXColor& color)
    {
        auto* panorama = new UIPanorama;
        panorama->SetColor(color);
        panorama->SetLayout(20, 20, 220, 120, 0, 0);
        panorama->Init();
        window->AddChild(panorama, nullptr);
        return panorama;
    }
    // A pixel of the label's client area on the screen.
    uint64_t PixelOf(UIStaticTextControl* label, POINT client)
    {
        ClientToScreen(label->GetNativeHandle(), &client);
        return harness.Pixel(client);
    }
    // Whether any pixel of the label's client row y is in the colour.
    bool RowHas(UIStaticTextControl* label, int y, COLORREF color)
    {
        for (int x = 0; x < 100; ++x) {
            if (PixelOf(label, {x, y}) == OpaquePixel(color))
                return true;
        }
        return false;
    }
    static DWORD Alignment(UIStaticTextControl* label)
    {
        return static_cast<DWORD>(GetWindowLongW(label->GetNativeHandle(), GWL_STYLE)) & (SS_CENTER | SS_RIGHT);
    }
    size_t CountSent(HWND hwnd, UINT message) const
    {
        size_t count = 0;
        for (const auto& entry : harness.Spy().Only({message}))
            count += entry.hwnd == hwnd ? 1 : 0;
        return count;
    }
};

TEST_F(UIStaticTextControlTest, TwoLinesShowOnTwoLines)
{
    UIStaticTextControl* label = Add("one\ntwo");
    char16_t text[16] = {};
    GetWindowTextW(label->GetNativeHandle(), text, 16);
    EXPECT_EQ(std::u16string(text), u"one\r\ntwo");
    ASSERT_TRUE(harness.PumpUntilIdle());
    // Glyph boxes: rows 1 to 9 of the first line, 14 to 22 of the second; nothing below.
    EXPECT_TRUE(RowHas(label, 5, RGB(0, 0, 0)));
    EXPECT_TRUE(RowHas(label, 18, RGB(0, 0, 0)));
    EXPECT_FALSE(RowHas(label, 31, RGB(0, 0, 0)));

    // The same text again leaves the window alone; another one reaches it with its line breaks.
    HWND handle = label->GetNativeHandle();
    label->SetText("one\ntwo");
    EXPECT_EQ(CountSent(handle, WM_SETTEXT), 0u);
    label->SetText("a\nb\nc");
    EXPECT_EQ(CountSent(handle, WM_SETTEXT), 1u);
    GetWindowTextW(handle, text, 16);
    EXPECT_EQ(std::u16string(text), u"a\r\nb\r\nc");
    EXPECT_EQ(label->GetText(), "a\nb\nc");
    label->Destroy();
}

TEST_F(UIStaticTextControlTest, TheFontsAlignmentSetsTheStylesAlignmentBits)
{
    struct Case {
        int32_t alignment;
        DWORD bits;
    };
    const Case cases[] = {{RazaFont::kAlignLeft, SS_LEFT},
                          {RazaFont::kAlignCenter, SS_CENTER},
                          {RazaFont::kAlignRight, SS_RIGHT},
                          {RazaFont::kAlignLeftEndInView, SS_LEFT}};
    UIStaticTextControl* changed = Add("x");
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "alignment " << c.alignment);
        UIStaticTextControl* made = Add("x", nullptr, c.alignment);
        EXPECT_EQ(Alignment(made), c.bits) << "at creation";
        EXPECT_NE(GetWindowLongW(made->GetNativeHandle(), GWL_STYLE) & SS_NOPREFIX, 0);
        made->Destroy();
        changed->SetFont(RazaFont("", 0, 0, {0.0f, 0.0f, 0.0f, 1.0f}, c.alignment));
        EXPECT_EQ(Alignment(changed), c.bits) << "after SetFont";
    }
    changed->Destroy();
}

TEST_F(UIStaticTextControlTest, TheBackgroundIsAPanoramaOrDividerParentsColourElseTheAppearances)
{
    const CXColor appearance = UIAppearanceWin32::Get()->GetColor();
    enum Parent { kWindow, kWindowedDivider, kWindowlessDivider, kPanorama };
    struct Case {
        const char* name;
        Parent parent;
        CXColor parentColor;
        CXColor background;
    };
    const Case cases[] = {
        {"under the window", kWindow, {}, appearance},
        {"under an opaque divider", kWindowedDivider, kRed, kRed},
        {"under a half-transparent divider", kWindowedDivider, {0.0f, 0.0f, 1.0f, 0.5f}, kBlue},
        {"under a transparent divider", kWindowedDivider, {1.0f, 0.0f, 0.0f, 0.0f}, appearance},
        {"under a divider with a negative alpha", kWindowedDivider, {1.0f, 0.0f, 0.0f, -1.0f}, appearance},
        {"under a windowless divider, through the adapter", kWindowlessDivider, kRed, kRed},
        {"under an opaque panorama", kPanorama, kBlue, kBlue},
        {"under a transparent panorama", kPanorama, {1.0f, 0.0f, 0.0f, 0.0f}, appearance},
    };
    UIAppearanceAdapterGenericNative::Register();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UIElement* parent = nullptr;
        if (c.parent == kPanorama)
            parent = AddPanorama(c.parentColor);
        else if (c.parent != kWindow)
            parent = AddDivider(c.parentColor, c.parent == kWindowlessDivider);
        UIStaticTextControl* label = Add("Hi", parent, RazaFont::kAlignLeft, kGreen);
        harness.Texts().Clear();
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(PixelOf(label, {90, 30}), OpaquePixel(ColorRefOf(c.background)));
        size_t drawn = 0;
        for (const DrawnText& entry : harness.Texts().Entries()) {
            if (entry.window == label->GetNativeHandle()) {
                ++drawn;
                EXPECT_EQ(entry.color, RGB(0, 255, 0)) << "the font's colour";
            }
        }
        EXPECT_EQ(drawn, 1u);
        label->Destroy();
        if (parent != nullptr)
            parent->Destroy();
    }
    UIAppearanceAdapterGenericNative::Unregister();
}

TEST_F(UIStaticTextControlTest, AColourChangeRepaintsWithANewBrushAndNoneLeftBehind)
{
    ASSERT_TRUE(harness.PumpUntilIdle());
    const win32::testing::GdiObjectCounts before = LiveGdiObjects();
    UIDivider* divider = AddDivider(kRed);
    UIStaticTextControl* label = Add("Hi", divider);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(PixelOf(label, {90, 30}), OpaquePixel(RGB(255, 0, 0)));
    const win32::testing::GdiObjectCounts shown = LiveGdiObjects();

    for (const CXColor& color : {kBlue, kGreen, kRed, kBlue}) {
        divider->SetColor(color);
        ASSERT_TRUE(harness.PumpUntilIdle());
        EXPECT_EQ(PixelOf(label, {90, 30}), OpaquePixel(ColorRefOf(color)));
        EXPECT_EQ(LiveGdiObjects(), shown);
    }
    label->Destroy();
    divider->Destroy();
    EXPECT_EQ(LiveGdiObjects(), before);
}

} // namespace
} // namespace toolkittest
