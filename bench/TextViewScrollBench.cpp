// Scrolling a long text in a text view, as the licence sheet shows one: 1 MiB of ASCII words in
// paragraphs in the default face, in a 600 x 400 view of a window (the view alone, no scroll
// frame). The wheel turns one notch (16 pixels) at a time, and each turn is followed by the
// repaint it causes; the time per turn and repaint is printed, median and mean of 100.
//
//   TextViewScrollBench [--mib N] [--repaints N]
//
// Build with -DCMAKE_BUILD_TYPE=Release for meaningful figures.

#include "foundation/CXTask.h"
#include "foundation/CXThread.h"
#include "toolkit/CXUIWindow.h"
#include "bench/SampleText.h"
#include "toolkit/GTextData.h"
#include "toolkit/UITextView.h"
#include "toolkit/ntex.h"
#include "win32/testing/Harness.h"
#include "win32/user/Paint.h"
#include "win32/user/User.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using benchtext::AsciiText;
using benchtext::Milliseconds;

int main(int argc, char** argv)
{
    double mib = 1.0;
    int repaints = 100;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--mib") == 0)
            mib = std::atof(argv[i + 1]);
        else if (std::strcmp(argv[i], "--repaints") == 0)
            repaints = std::max(1, std::atoi(argv[i + 1]));
    }
    win32::testing::Harness harness;
    CXThread::CXInit();
    CXTaskHost::InitCurrentThreadTaskHost();

    auto* window = new CXUIWindow;
    window->Init();
    window->SetLayout(100, 100, 740, 540, 0, 0);
    window->SetVisible(true);
    auto* view = new UITextView;
    view->SetLayout(20, 20, 620, 420, 0, 0);
    window->AddChild(view, nullptr);
    view->Init();

    std::mt19937 random(27);
    const std::string text = AsciiText(static_cast<size_t>(mib * 1024 * 1024), random);
    auto start = std::chrono::steady_clock::now();
    view->SetText(CXString(text.c_str()));
    const double layout = Milliseconds(start);
    win32::UpdateWindow(window->GetNativeHandle());

    win32::RECT client = {};
    win32::GetClientRect(view->GetNativeHandle(), &client);
    win32::POINT center = {client.right / 2, client.bottom / 2};
    win32::ClientToScreen(view->GetNativeHandle(), &center);

    std::vector<double> times;
    times.reserve(static_cast<size_t>(repaints));
    for (int i = 0; i < repaints; ++i) {
        start = std::chrono::steady_clock::now();
        harness.Wheel(center, -1);
        harness.PumpUntilIdle();
        win32::UpdateWindow(window->GetNativeHandle());
        times.push_back(Milliseconds(start));
    }
    const int32_t scrolled = view->GetView()->GetScrollPosition().y;
    double total = 0;
    for (double t : times)
        total += t;
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());

    std::printf("text view, %.2f MiB of ASCII words, 600 x 400, %d lines (layout %.1f ms)\n", mib,
                view->GetDocument()->GetLineCount(), layout);
    std::printf("%d wheel notches with their repaints: %.3f ms per repaint (median %.3f, worst %.3f); scrolled "
                "%d px\n",
                repaints, total / repaints, sorted[sorted.size() / 2], sorted.back(), scrolled);
    window->Destroy();
    return scrolled == 16 * repaints ? 0 : 1;
}
