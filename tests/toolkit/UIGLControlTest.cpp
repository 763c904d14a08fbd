#include "toolkit/UIGLControl.h"

#include "ToolkitWindowTesting.h"
#include "foundation/CXDebug.h"
#include "toolkit/UIAppearance.h"
#include "win32/testing/Pixels.h"

#include <cmath>
#include <thread>

namespace toolkittest {
namespace {

using win32::testing::OpaquePixel;

class GLControlTest : public WindowElementTest {
protected:
    void TearDown() override
    {
        SetChoosePixelFormatFailsForTesting(false);
        WindowElementTest::TearDown();
    }

    // A control at the frame of the window, whose frames are cleared to the colour.
    UIGLControl* AddControl(CXUIWindow* window, Box2i frame, std::optional<COLORREF> clear)
    {
        auto* control = new UIGLControl;
        control->SetLayout(frame.left, frame.top, frame.right, frame.bottom, 0, 0);
        control->SetRenderHook([this, clear](UIGLControl&) {
            ++renders;
            if (!clear)
                return;
            glClearColor(GetRValue(*clear) / 255.0f, GetGValue(*clear) / 255.0f, GetBValue(*clear) / 255.0f, 0.5f);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        });
        control->Init();
        window->AddChild(control, nullptr);
        return control;
    }

    uint64_t PixelAt(CXUIWindow* window, POINT client) const
    {
        ClientToScreen(window->GetNativeHandle(), &client);
        return harness.Pixel(client);
    }

    // True while the program's class "OpenGL" exists: unregistering fails for another reason.
    static bool ClassRegistered()
    {
        WNDCLASSW probe = {};
        probe.lpfnWndProc = &DefWindowProcW;
        probe.hInstance = GetModuleHandleW(nullptr);
        probe.lpszClassName = u"OpenGL";
        if (RegisterClassW(&probe) == 0)
            return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
        UnregisterClassW(u"OpenGL", GetModuleHandleW(nullptr));
        return false;
    }

    int renders = 0;
};

TEST_F(GLControlTest, TheRenderHooksColourReachesTheScreenAndTheLoopSettles)
{
    CXUIWindow* window = MakeWindow();
    UIGLControl* control = AddControl(window, {10, 10, 50, 40, false}, RGB(0, 255, 0));
    EXPECT_EQ(control->GetAppearance()->GetImplementation(), UIAppearanceWin32_Implementation::Get());
    ASSERT_NE(control->GetNativeHandle(), nullptr);
    EXPECT_NE(control->GetRenderingContext(), nullptr);
    EXPECT_NE(UIGLControl::GetExtensionEntryPoints().bindProgramARB, nullptr);

    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_GE(renders, 1);
    // Opaque, although the frame was cleared at half alpha.
    EXPECT_EQ(PixelAt(window, {10, 10}), OpaquePixel(RGB(0, 255, 0)));
    EXPECT_EQ(PixelAt(window, {49, 39}), OpaquePixel(RGB(0, 255, 0)));
    EXPECT_NE(PixelAt(window, {50, 20}), OpaquePixel(RGB(0, 255, 0)));
    // A swap inside the control's own paint asks for no further paint.
    const int settled = renders;
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(renders, settled);

    // Moved and resized with its element.
    control->SetLayout(20, 20, 80, 60, 0, 0);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(PixelAt(window, {79, 59}), OpaquePixel(RGB(0, 255, 0)));
    EXPECT_NE(PixelAt(window, {15, 15}), OpaquePixel(RGB(0, 255, 0)));

    window->Destroy();
    EXPECT_FALSE(ClassRegistered());
}

TEST_F(GLControlTest, AZeroHeightCountsAsOneForTheViewportAndTheAspect)
{
    CXUIWindow* window = MakeWindow();
    UIGLControl* control = AddControl(window, {10, 10, 50, 40, false}, std::nullopt);
    ASSERT_TRUE(control->LockScene());
    UIGLControl::ResizeGLScene(30, 0);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 30, 1}));
    GLdouble projection[16] = {};
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    // A 45-degree perspective at aspect 30 from 0.1 to 100 (kept in single precision).
    const double focal = 1.0 / std::tan(22.5 * M_PI / 180.0);
    EXPECT_NEAR(projection[5], focal, 1e-6);
    EXPECT_NEAR(projection[5] / projection[0], 30.0, 1e-5);
    EXPECT_NEAR(projection[10], -100.1 / 99.9, 1e-6);
    EXPECT_NEAR(projection[14], -2.0 * 100.0 * 0.1 / 99.9, 1e-6);
    control->UnlockScene();
    window->Destroy();
}

TEST_F(GLControlTest, AFailingPixelFormatLeavesNoWindowContextOrClass)
{
    SetChoosePixelFormatFailsForTesting(true);
    CXDebugCapture capture;
    CXUIWindow* window = MakeWindow();
    UIGLControl* control = AddControl(window, {10, 10, 50, 40, false}, RGB(0, 255, 0));
    EXPECT_TRUE(capture.Contains("UIGLControl::CreateGLWindow> ChoosePixelFormat failed"));
    EXPECT_EQ(control->GetNativeHandle(), nullptr);
    EXPECT_EQ(control->GetDeviceContext(), nullptr);
    EXPECT_EQ(control->GetRenderingContext(), nullptr);
    EXPECT_EQ(GetWindow(window->GetNativeHandle(), GW_CHILD), nullptr);
    EXPECT_FALSE(ClassRegistered());
    EXPECT_FALSE(control->CreateGLWindow(20, 20));
    EXPECT_FALSE(control->LockScene());
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(renders, 0);
    window->Destroy();
}

TEST_F(GLControlTest, TwoLiveControlsShareTheClassAndTheLastLetsItGo)
{
    CXUIWindow* window = MakeWindow();
    UIGLControl* first = AddControl(window, {10, 10, 50, 40, false}, RGB(0, 255, 0));
    UIGLControl* second = AddControl(window, {60, 10, 100, 40, false}, RGB(255, 0, 0));
    ASSERT_NE(first->GetNativeHandle(), nullptr);
    ASSERT_NE(second->GetNativeHandle(), nullptr);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(PixelAt(window, {20, 20}), OpaquePixel(RGB(0, 255, 0)));
    EXPECT_EQ(PixelAt(window, {70, 20}), OpaquePixel(RGB(255, 0, 0)));

    first->Destroy();
    EXPECT_TRUE(ClassRegistered());
    UIGLControl* third = AddControl(window, {10, 50, 50, 80, false}, RGB(0, 0, 255));
    ASSERT_NE(third->GetNativeHandle(), nullptr);
    second->InvalidateAll();
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(PixelAt(window, {70, 20}), OpaquePixel(RGB(255, 0, 0)));
    EXPECT_EQ(PixelAt(window, {20, 60}), OpaquePixel(RGB(0, 0, 255)));

    second->Destroy();
    EXPECT_TRUE(ClassRegistered());
    third->Destroy();
    EXPECT_FALSE(ClassRegistered());
    window->Destroy();
}

TEST_F(GLControlTest, AFrameRenderedOnAnotherThreadRepaintsTheControl)
{
    CXUIWindow* window = MakeWindow();
    // Paints render nothing of their own: what the other thread drew stays in the frame.
    UIGLControl* control = AddControl(window, {10, 10, 50, 40, false}, std::nullopt);
    ASSERT_TRUE(harness.PumpUntilIdle());
    const int before = renders;
    std::thread renderer([control] {
        if (!control->LockScene()) {
            ADD_FAILURE() << "LockScene failed on the renderer thread";
            return;
        }
        glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        EXPECT_TRUE(SwapBuffers(control->GetDeviceContext()));
        control->UnlockScene();
    });
    renderer.join();
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(renders, before + 1);
    EXPECT_EQ(PixelAt(window, {30, 30}), OpaquePixel(RGB(0, 0, 255)));
    window->Destroy();
}

} // namespace
} // namespace toolkittest
