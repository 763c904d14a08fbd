// "msctls_progress32": a determinate bar, or a marquee block crossing it.

#include "win32/controls/ControlCommon.h"

#include "win32/user/Queue.h"

#include <algorithm>

namespace win32::controls {

namespace {

constexpr UINT_PTR kMarqueeTimer = 1;
constexpr UINT kDefaultMarqueeInterval = 30;
// How far the block moves each interval, and its share of the bar's width.
constexpr int kMarqueeStep = 5;
constexpr int kMarqueeBlockDivisor = 4;

struct ProgressState : ControlState {
    int low = 0;
    int high = 100;
    int position = 0;
    // PBM_SETMARQUEE(TRUE) holds; the timer runs only with the PBS_MARQUEE style as well.
    bool marqueeWanted = false;
    UINT marqueeInterval = kDefaultMarqueeInterval;
    bool timerRunning = false;
    UINT timerInterval = 0;
    int64_t marqueeTicks = 0;
};

using Table = StateTable<ProgressState>;

bool HasMarqueeStyle(HWND hwnd)
{
    return (StyleOf(hwnd) & PBS_MARQUEE) != 0;
}

// An empty range (low not below high) holds only its low end.
int Clamp(const ProgressState& state, int value)
{
    if (state.low >= state.high)
        return state.low;
    return std::clamp(value, state.low, state.high);
}

void UpdateMarqueeTimer(ProgressState& state, HWND hwnd)
{
    bool run = state.marqueeWanted && HasMarqueeStyle(hwnd);
    if (run && (!state.timerRunning || state.timerInterval != state.marqueeInterval)) {
        state.timerRunning = SetTimer(hwnd, kMarqueeTimer, state.marqueeInterval, nullptr) != 0;
        state.timerInterval = state.marqueeInterval;
    } else if (!run && state.timerRunning) {
        KillTimer(hwnd, kMarqueeTimer);
        state.timerRunning = false;
    }
}

void PaintBar(HDC hdc, const ProgressState& state, const RECT& inside, int color)
{
    int width = inside.right - inside.left;
    if (state.low >= state.high || width <= 0)
        return;
    int64_t done = static_cast<int64_t>(state.position) - state.low;
    int64_t span = static_cast<int64_t>(state.high) - state.low;
    auto filled = static_cast<int>(done * width / span);
    FillColor(hdc, {inside.left, inside.top, inside.left + filled, inside.bottom}, color);
}

void PaintMarquee(HDC hdc, const ProgressState& state, const RECT& inside, int color)
{
    int width = inside.right - inside.left;
    if (width <= 0)
        return;
    int block = std::max(width / kMarqueeBlockDivisor, 1);
    int64_t period = static_cast<int64_t>(width) + block;
    auto offset = static_cast<int>((state.marqueeTicks * kMarqueeStep) % period);
    int left = inside.left - block + offset;
    RECT shown = {std::max(left, static_cast<int>(inside.left)), inside.top,
                  std::min(left + block, static_cast<int>(inside.right)), inside.bottom};
    FillColor(hdc, shown, color);
}

void Paint(ProgressState& state, HWND hwnd)
{
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(hwnd, &paint);
    if (hdc == nullptr)
        return;
    HBRUSH brush = AskColors(state, hwnd, WM_CTLCOLORSTATIC, hdc);
    if (brush != nullptr) {
        RECT client = ClientArea(hwnd);
        FillRect(hdc, &client, brush);
        FrameColor(hdc, client, COLOR_BTNSHADOW);
        int color = IsWindowEnabled(hwnd) ? COLOR_HIGHLIGHT : COLOR_BTNSHADOW;
        RECT inside = Inset(client, 1, 1);
        if (HasMarqueeStyle(hwnd))
            PaintMarquee(hdc, state, inside, color);
        else
            PaintBar(hdc, state, inside, color);
    }
    EndPaint(hwnd, &paint);
}

LRESULT SetPosition(ProgressState& state, HWND hwnd, int value)
{
    int previous = state.position;
    state.position = Clamp(state, value);
    if (state.position != previous)
        Redraw(hwnd);
    return previous;
}

LRESULT SetRange(ProgressState& state, HWND hwnd, int low, int high)
{
    LRESULT previous = MAKELPARAM(state.low, state.high);
    state.low = low;
    state.high = high;
    state.position = Clamp(state, state.position);
    Redraw(hwnd);
    return previous;
}

LRESULT Handle(ProgressState& state, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        Paint(state, hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_TIMER:
        if (wParam == kMarqueeTimer) {
            state.marqueeTicks++;
            Redraw(hwnd);
        }
        return 0;
    case WM_STYLECHANGED:
        if (static_cast<int>(wParam) == GWL_STYLE) {
            UpdateMarqueeTimer(state, hwnd);
            Redraw(hwnd);
        }
        return 0;
    case WM_SIZE:
    case WM_ENABLE:
        Redraw(hwnd);
        return 0;
    case PBM_SETRANGE32:
        return SetRange(state, hwnd, static_cast<int>(wParam), static_cast<int>(lParam));
    case PBM_SETPOS:
        return SetPosition(state, hwnd, static_cast<int>(wParam));
    case PBM_GETPOS:
        return state.position;
    case PBM_SETMARQUEE:
        state.marqueeWanted = wParam != FALSE;
        state.marqueeInterval = lParam > 0 ? static_cast<UINT>(std::min<LPARAM>(lParam, USER_TIMER_MAXIMUM))
                                           : kDefaultMarqueeInterval;
        UpdateMarqueeTimer(state, hwnd);
        return TRUE;
    default:
        break;
    }
    return DefaultControlMessage(state, hwnd, message, wParam, lParam);
}

} // namespace

LRESULT ProgressProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Table::Dispatch(hwnd, message, wParam, lParam, Handle);
}

} // namespace win32::controls
