#include "win32/api/OpenGL.h"

#include "win32/WindowTesting.h"
#include "win32/gdi/Gdi.h"
#include "win32/testing/Pixels.h"
#include "win32/user/Paint.h"

#include <future>
#include <thread>

using namespace win32test;
using win32::testing::OpaquePixel;

namespace {

constexpr COLORREF kFilled = RGB(0, 0, 200);

PIXELFORMATDESCRIPTOR Descriptor()
{
    PIXELFORMATDESCRIPTOR descriptor = {};
    descriptor.nSize = sizeof(descriptor);
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = 16;
    descriptor.cDepthBits = 16;
    descriptor.iLayerType = PFD_MAIN_PLANE;
    return descriptor;
}

// A top-level window at (0, 0) filled with kFilled by its WM_PAINT, holding one child window that
// renders with OpenGL at (10, 10), 40 x 30.
class WglTest : public WindowTest {
protected:
    WglTest()
    {
        top = Create(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 200, 150}, [](HWND hwnd, UINT message, WPARAM, LPARAM) {
            if (message != WM_PAINT)
                return std::optional<LRESULT>();
            PAINTSTRUCT ps;
            HDC hdc = BeginPaint(hwnd, &ps);
            HBRUSH brush = CreateSolidBrush(kFilled);
            RECT client = {0, 0, 200, 150};
            FillRect(hdc, &client, brush);
            DeleteObject(brush);
            EndPaint(hwnd, &ps);
            return std::optional<LRESULT>(0);
        });
        gl = Create(WS_CHILD | WS_VISIBLE, top, {10, 10, 50, 40}, [this](HWND, UINT message, WPARAM, LPARAM) {
            if (message != WM_PAINT)
                return std::optional<LRESULT>();
            ++paints;
            if (onPaint)
                onPaint();
            return std::optional<LRESULT>(0);
        });
        dc = GetDC(gl);
    }
    ~WglTest() override
    {
        if (context != nullptr)
            wglDeleteContext(context);
        ReleaseDC(gl, dc);
    }

    // Pixel format and a context, made current on the calling thread.
    void Prepare()
    {
        PIXELFORMATDESCRIPTOR descriptor = Descriptor();
        ASSERT_EQ(ChoosePixelFormat(dc, &descriptor), 1);
        ASSERT_TRUE(SetPixelFormat(dc, 1, &descriptor));
        context = wglCreateContext(dc);
        ASSERT_NE(context, nullptr);
    }

    static void Clear(float red, float green, float blue, float alpha)
    {
        glClearColor(red, green, blue, alpha);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    uint64_t Pixel(int x, int y) const { return harness.Pixel({x, y}); }

    HWND top = nullptr;
    HWND gl = nullptr;
    HDC dc = nullptr;
    HGLRC context = nullptr;
    int paints = 0;
    std::function<void()> onPaint;
};

TEST_F(WglTest, AFrameSwappedInsideItsOwnPaintShowsOpaqueUnderTheChildrenAndAsksForNoOtherPaint)
{
    Prepare();
    HWND child = Create(WS_CHILD | WS_VISIBLE, gl, {0, 0, 5, 5}, [](HWND hwnd, UINT message, WPARAM, LPARAM) {
        if (message != WM_PAINT)
            return std::optional<LRESULT>();
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        RECT all = {0, 0, 5, 5};
        FillRect(hdc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        EndPaint(hwnd, &ps);
        return std::optional<LRESULT>(0);
    });
    ASSERT_NE(child, nullptr);
    onPaint = [this] {
        ASSERT_TRUE(wglMakeCurrent(dc, context));
        // Half alpha from OpenGL still covers what lies beneath.
        Clear(1.0f, 0.0f, 0.0f, 0.5f);
        EXPECT_TRUE(SwapBuffers(dc));
        EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
    };
    InvalidateRect(gl, nullptr, FALSE);
    ASSERT_TRUE(harness.PumpUntilIdle());

    EXPECT_EQ(paints, 1);
    EXPECT_EQ(Pixel(10 + 39, 10 + 29), OpaquePixel(RGB(255, 0, 0)));
    EXPECT_EQ(Pixel(12, 12), OpaquePixel(RGB(255, 255, 255)));
    EXPECT_EQ(Pixel(55, 20), OpaquePixel(kFilled));
}

TEST_F(WglTest, AFrameSwappedOnAnotherThreadRepaintsTheWindowAtItsNewSize)
{
    Prepare();
    ASSERT_TRUE(harness.PumpUntilIdle());
    ASSERT_TRUE(SetWindowPos(gl, nullptr, 0, 0, 60, 50, SWP_NOMOVE | SWP_NOZORDER));
    ASSERT_TRUE(harness.PumpUntilIdle());
    const int paintsBefore = paints;
    ASSERT_EQ(Pixel(10 + 59, 10 + 49), OpaquePixel(kFilled));

    std::promise<void> current;
    std::promise<void> release;
    std::thread renderer([&] {
        EXPECT_TRUE(wglMakeCurrent(dc, context));
        current.set_value();
        release.get_future().wait();
        Clear(0.0f, 1.0f, 0.0f, 1.0f);
        EXPECT_TRUE(SwapBuffers(dc));
        EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
    });
    current.get_future().wait();
    // While the other thread holds the context, it is not this thread's to take or delete.
    EXPECT_FALSE(wglMakeCurrent(dc, context));
    EXPECT_EQ(GetLastError(), ERROR_BUSY);
    EXPECT_FALSE(wglDeleteContext(context));
    EXPECT_EQ(GetLastError(), ERROR_BUSY);
    release.set_value();
    renderer.join();

    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(paints, paintsBefore + 1);
    EXPECT_EQ(Pixel(10, 10), OpaquePixel(RGB(0, 255, 0)));
    EXPECT_EQ(Pixel(10 + 59, 10 + 49), OpaquePixel(RGB(0, 255, 0)));
    EXPECT_EQ(Pixel(10 + 60, 10 + 50), OpaquePixel(kFilled));
}

TEST_F(WglTest, RefusalsLeaveNothingBehind)
{
    PIXELFORMATDESCRIPTOR descriptor = Descriptor();
    HDC memory = CreateCompatibleDC(dc);
    PIXELFORMATDESCRIPTOR wrongSize = descriptor;
    wrongSize.nSize = 38;
    struct Case {
        const char* name;
        std::function<bool()> call;
        DWORD error;
    };
    const Case cases[] = {
        {"a memory DC has no window", [&] { return ChoosePixelFormat(memory, &descriptor) != 0; },
         ERROR_INVALID_HANDLE},
        {"descriptor of another size", [&] { return ChoosePixelFormat(dc, &wrongSize) != 0; }, ERROR_INVALID_PARAMETER},
        {"no such format", [&] { return SetPixelFormat(dc, 2, &descriptor) != FALSE; }, ERROR_INVALID_PIXEL_FORMAT},
        {"a context needs the format", [&] { return wglCreateContext(dc) != nullptr; }, ERROR_INVALID_PIXEL_FORMAT},
        {"a stale context", [&] { return wglMakeCurrent(dc, reinterpret_cast<HGLRC>(0x18010001)) != FALSE; },
         ERROR_INVALID_HANDLE},
        {"a swap without a current context", [&] { return SwapBuffers(dc) != FALSE; }, ERROR_INVALID_HANDLE},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(c.call()) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
    }
    DeleteDC(memory);

    SetChoosePixelFormatFailsForTesting(true);
    EXPECT_EQ(ChoosePixelFormat(dc, &descriptor), 0);
    SetChoosePixelFormatFailsForTesting(false);
    EXPECT_EQ(ChoosePixelFormat(dc, &descriptor), 1);

    // A swap into a window that died goes nowhere.
    Prepare();
    ASSERT_TRUE(wglMakeCurrent(dc, context));
    ASSERT_TRUE(DestroyWindow(gl));
    EXPECT_FALSE(SwapBuffers(dc));
    EXPECT_TRUE(wglDeleteContext(context));
    context = nullptr;
    EXPECT_TRUE(harness.PumpUntilIdle());
}

TEST_F(WglTest, EntryPointsByNameAndAFramelessChildWindow)
{
    EXPECT_NE(wglGetProcAddress("glBindProgramARB"), nullptr);
    EXPECT_EQ(wglGetProcAddress("NoSuchEntryPoint"), nullptr);
    EXPECT_EQ(wglGetProcAddress(nullptr), nullptr);

    RECT rect = {0, 0, 40, 30};
    ASSERT_TRUE(AdjustWindowRectEx(&rect, WS_CHILD | WS_VISIBLE, FALSE, WS_EX_APPWINDOW | WS_EX_WINDOWEDGE));
    EXPECT_EQ(rect, (RECT{0, 0, 40, 30}));
}

} // namespace
