// A tree view of 100,000 rows: painting the end of the list, hit-testing a point there and one
// type-ahead search that matches the last row, each in milliseconds (median of the repetitions).
// Row tops are a running sum from row 0, so each of these walks the rows once; the figures tell
// whether a cached sum would pay.
//
//   TreeViewBench [--rows N] [--repeat N]
//
// Build with -DCMAKE_BUILD_TYPE=Release for meaningful figures.

#include "bench/SampleText.h"
#include "foundation/CXTask.h"
#include "foundation/CXThread.h"
#include "toolkit/CXUIWindow.h"
#include "toolkit/RazaGraf.h"
#include "toolkit/RazaRegion.h"
#include "toolkit/UITreeView.h"
#include "win32/gdi/Gdi.h"
#include "win32/testing/Harness.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using benchtext::Milliseconds;

namespace {

// Rows match typed text their lower-cased title starts with.
class BenchTree : public UITreeView {
public:
    int32_t drawnRows = 0;

protected:
    void DrawRow(RazaGraf& graf, int32_t row, int32_t x, int32_t top, int32_t bottom, bool selected) override
    {
        ++drawnRows;
        UITreeView::DrawRow(graf, row, x, top, bottom, selected);
    }
    int32_t MatchScore(int32_t row, const std::string& text) override
    {
        const CXString& title = GetRow(row)->title;
        return std::strncmp(title.c_str(), text.c_str(), text.size()) == 0 ? 1 : 0;
    }
};

template <typename Work>
double Median(int repeat, Work work)
{
    std::vector<double> times;
    for (int i = 0; i < repeat; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(Milliseconds(start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    int rows = 100000;
    int repeat = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rows") == 0)
            rows = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--repeat") == 0)
            repeat = std::max(1, std::atoi(argv[i + 1]));
    }
    win32::testing::Harness harness;
    CXThread::CXInit();
    CXTaskHost::InitCurrentThreadTaskHost();

    auto* window = new CXUIWindow;
    window->Init();
    window->SetLayout(100, 100, 740, 540, 0, 0);
    window->SetVisible(true);
    auto* view = new BenchTree;
    view->SetDefaultRowHeight(18);
    view->SetLayout(0, 0, 600, 400, 0, 0);
    view->Init();
    window->AddChild(view, nullptr);

    auto start = std::chrono::steady_clock::now();
    view->BeginChanges();
    for (int row = 0; row < rows - 1; ++row)
        view->InsertRow(row, row % 4, ("row " + std::to_string(row)).c_str());
    view->InsertRow(rows - 1, 0, "zebra");
    view->EndChanges();
    const double fill = Milliseconds(start);

    // As a scroll frame sizes it: as tall as its rows, shown through a 400-pixel window.
    const int32_t total = view->TotalRowHeight();
    view->SetLayout(0, 0, 600, total, 0, 0);
    win32::HDC dc = win32::CreateCompatibleDC(nullptr);
    win32::HBITMAP bitmap = win32::CreateCompatibleBitmap(dc, 600, 400);
    win32::HGDIOBJ previous = win32::SelectObject(dc, bitmap);
    const double paint = Median(repeat, [&] {
        CXAutoReference<RazaGraf> graf;
        graf.Swallow(new RazaGraf(dc));
        graf->PushClipRegion(RazaRegion(Box2i{0, 0, 600, 400}), {0, -(total - 400)});
        view->Draw(*graf);
        graf->PopClipRegion();
    });
    const int32_t drawn = view->drawnRows / repeat;
    win32::SelectObject(dc, previous);
    win32::DeleteObject(bitmap);
    win32::DeleteDC(dc);

    int32_t part = 0;
    const double hit = Median(repeat, [&] {
        const Vector2i point{6, total - 9};
        part = view->HitTestPart(point, view->RowAtY(point.y));
    });

    const double typeAhead = Median(repeat, [&] {
        harness.Advance(2000); // each search starts afresh
        const char16_t z[2] = {u'z', 0};
        (void)view->HandleText(z, 2, 0);
    });

    std::printf("rows %d: fill %.1f ms (once)\n", rows, fill);
    std::printf("paint at the end    %8.3f ms (%d rows drawn)\n", paint, drawn);
    std::printf("hit-test at the end %8.3f ms (part %d)\n", hit, part);
    std::printf("type-ahead          %8.3f ms (selected row %d)\n", typeAhead, view->FirstSelectedRow());
    window->Destroy();
    return 0;
}
