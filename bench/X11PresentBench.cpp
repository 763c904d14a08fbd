// Presents of a whole 1280 x 1024 window on the X display, per second, through MIT-SHM and through
// plain image requests (CX_X11_NO_SHM=1), side by side with their ratio. Each frame repaints the
// whole window in a new colour and the loop takes what is ready (the server's completion events
// among it) between frames. Run it on a screen at least that large:
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" build-rel/bench/X11PresentBench [--seconds N]

#include "foundation/CXTask.h"
#include "foundation/CXThread.h"
#include "win32/backend/x11/X11Backend.h"
#include "win32/core/Core.h"
#include "win32/gdi/Gdi.h"
#include "win32/user/Paint.h"
#include "win32/user/Queue.h"
#include "win32/user/User.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

using namespace win32;

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;
int gFrame = 0;

LRESULT FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint = {};
        HDC dc = BeginPaint(hwnd, &paint);
        const int level = gFrame % 200;
        HBRUSH brush = CreateSolidBrush(RGB(level, 255 - level, (level * 3) % 256));
        RECT all = {0, 0, kWidth, kHeight};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
        EndPaint(hwnd, &paint);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void TakeReady()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Presents per second over the given time; negative when the display cannot be used.
double Measure(bool shm, double seconds)
{
    if (shm)
        unsetenv("CX_X11_NO_SHM");
    else
        setenv("CX_X11_NO_SHM", "1", 1);
    std::string problem;
    std::unique_ptr<Backend> backend = x11::OpenBackend(&problem);
    if (backend == nullptr) {
        std::fprintf(stderr, "X11PresentBench: %s\n", problem.c_str());
        return -1;
    }
    if (!Initialize(backend.get(), Options{}))
        return -1;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &FrameProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = u"X11PresentBench";
    RegisterClassExW(&windowClass);
    HWND window = CreateWindowExW(0, u"X11PresentBench", u"Present bench", WS_POPUP, 0, 0, kWidth, kHeight, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window, SW_SHOW);
    // Until the window is on the screen and painted once.
    const auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < settle) {
        UpdateWindow(window);
        TakeReady();
    }
    int frames = 0;
    const auto start = std::chrono::steady_clock::now();
    double elapsed = 0;
    while (elapsed < seconds) {
        ++gFrame;
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
        TakeReady();
        ++frames;
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    DestroyWindow(window);
    Shutdown();
    return frames / elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    double seconds = 3.0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::atof(argv[i + 1]);
    }
    CXThread::CXInit();
    CXTaskHost::InitCurrentThreadTaskHost();
    const double withShm = Measure(true, seconds);
    const double without = Measure(false, seconds);
    if (withShm < 0 || without < 0)
        return 2;
    std::printf("full-window presents of %dx%d per second: MIT-SHM %.1f, image requests %.1f, ratio %.2f\n", kWidth,
                kHeight, withShm, without, without > 0 ? withShm / without : 0.0);
    return 0;
}
