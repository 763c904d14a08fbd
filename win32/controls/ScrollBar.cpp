// "SCROLLBAR": arrows, trough and thumb of one axis, and the SB_CTL scroll calls.

#include "win32/controls/ControlCommon.h"

#include "win32/user/Queue.h"

#include <algorithm>
#include <climits>

namespace win32::controls {

namespace {

constexpr UINT_PTR kRepeatTimer = 1;
constexpr UINT kFirstRepeat = 400;
constexpr UINT kNextRepeat = 50;

enum class Part { None, ArrowBack, PageBack, Thumb, PageForward, ArrowForward };

struct ScrollBarState : ControlState {
    int minimum = 0;
    int maximum = 100;
    UINT page = 0;
    int position = 0;
    // The gesture of the left button held on a part, and where the pointer is (client).
    Part gesture = Part::None;
    POINT pointer = {0, 0};
    bool repeating = false;
    // A thumb drag shows the thumb at trackPosition until just before SB_ENDSCROLL; grab is the
    // pointer's distance from the thumb's start along the axis.
    bool dragging = false;
    int trackPosition = 0;
    int grab = 0;
};

using Table = StateTable<ScrollBarState>;

bool IsVertical(HWND hwnd)
{
    return (StyleOf(hwnd) & SBS_VERT) != 0;
}

// The highest position: max - max(page - 1, 0), never below the minimum.
int64_t Reach(const ScrollBarState& state)
{
    int64_t reach = static_cast<int64_t>(state.maximum) - std::max<int64_t>(static_cast<int64_t>(state.page) - 1, 0);
    return std::max<int64_t>(reach, state.minimum);
}

int ClampPosition(const ScrollBarState& state, int64_t position)
{
    return static_cast<int>(std::clamp<int64_t>(position, state.minimum, Reach(state)));
}

// Lengths along the axis, in client pixels.
struct Geometry {
    int length = 0;
    int arrow = 0;
    int trackStart = 0;
    int track = 0;
    // No thumb when the track is shorter than the smallest thumb.
    bool hasThumb = false;
    int thumbStart = 0;
    int thumb = 0;
};

int AxisOf(POINT point, bool vertical)
{
    return vertical ? point.y : point.x;
}

Geometry Measure(const ScrollBarState& state, HWND hwnd, bool vertical)
{
    RECT client = ClientArea(hwnd);
    Geometry g;
    g.length = vertical ? client.bottom - client.top : client.right - client.left;
    g.arrow = std::min(GetSystemMetrics(vertical ? SM_CYVSCROLL : SM_CXHSCROLL), g.length / 2);
    g.trackStart = g.arrow;
    g.track = g.length - 2 * g.arrow;
    // The smallest thumb is square with the arrows.
    int smallest = std::max(g.arrow, 1);
    if (g.track < smallest)
        return g;
    int64_t range = static_cast<int64_t>(state.maximum) - state.minimum + 1;
    int64_t proportional = static_cast<int64_t>(g.track) * state.page / range;
    g.hasThumb = true;
    g.thumb = static_cast<int>(std::min<int64_t>(std::max<int64_t>(smallest, proportional), g.track));
    int shown = state.dragging ? state.trackPosition : state.position;
    int64_t span = Reach(state) - state.minimum;
    int64_t room = g.track - g.thumb;
    g.thumbStart = g.trackStart + (span > 0 ? static_cast<int>((static_cast<int64_t>(shown) - state.minimum) * room / span) : 0);
    return g;
}

Part PartAt(const Geometry& g, int at)
{
    if (at < 0 || at >= g.length)
        return Part::None;
    if (at < g.arrow)
        return Part::ArrowBack;
    if (at >= g.length - g.arrow)
        return Part::ArrowForward;
    if (!g.hasThumb)
        return Part::None;
    if (at < g.thumbStart)
        return Part::PageBack;
    if (at < g.thumbStart + g.thumb)
        return Part::Thumb;
    return Part::PageForward;
}

bool PointerOn(const ScrollBarState& state, HWND hwnd, Part part)
{
    bool vertical = IsVertical(hwnd);
    if (!Contains(ClientArea(hwnd), state.pointer))
        return false;
    return PartAt(Measure(state, hwnd, vertical), AxisOf(state.pointer, vertical)) == part;
}

WORD CodeOf(Part part)
{
    switch (part) {
    case Part::ArrowBack:
        return SB_LINEUP;
    case Part::ArrowForward:
        return SB_LINEDOWN;
    case Part::PageBack:
        return SB_PAGEUP;
    default:
        return SB_PAGEDOWN;
    }
}

bool Notify(const ScrollBarState& state, HWND hwnd, WORD code, int position = 0)
{
    UINT message = IsVertical(hwnd) ? WM_VSCROLL : WM_HSCROLL;
    WPARAM wParam = MAKEWPARAM(code, code == SB_THUMBTRACK || code == SB_THUMBPOSITION ? position : 0);
    return NotifyParent(state, hwnd, message, wParam, reinterpret_cast<LPARAM>(hwnd));
}

// The track position that puts the thumb's start at start (client pixels along the axis).
int TrackPositionAt(const ScrollBarState& state, const Geometry& g, int start)
{
    int64_t room = g.track - g.thumb;
    int64_t span = Reach(state) - state.minimum;
    if (room <= 0 || span <= 0)
        return state.minimum;
    int64_t offset = std::clamp<int64_t>(start - g.trackStart, 0, room);
    return ClampPosition(state, state.minimum + (offset * span + room / 2) / room);
}

void BeginGesture(ScrollBarState& state, HWND hwnd, POINT point)
{
    bool vertical = IsVertical(hwnd);
    Geometry g = Measure(state, hwnd, vertical);
    Part part = PartAt(g, AxisOf(point, vertical));
    if (part == Part::None)
        return;
    SetCapture(hwnd);
    if (state.dead)
        return;
    state.gesture = part;
    state.pointer = point;
    if (part == Part::Thumb) {
        state.dragging = true;
        state.trackPosition = state.position;
        state.grab = AxisOf(point, vertical) - g.thumbStart;
        Redraw(hwnd);
        Notify(state, hwnd, SB_THUMBTRACK, state.trackPosition);
        return;
    }
    state.repeating = false;
    Redraw(hwnd);
    if (!Notify(state, hwnd, CodeOf(part)) || state.gesture != part)
        return;
    SetTimer(hwnd, kRepeatTimer, kFirstRepeat, nullptr);
}

void Drag(ScrollBarState& state, HWND hwnd, POINT point)
{
    state.pointer = point;
    if (state.gesture != Part::Thumb)
        return;
    bool vertical = IsVertical(hwnd);
    int track = TrackPositionAt(state, Measure(state, hwnd, vertical), AxisOf(point, vertical) - state.grab);
    if (track == state.trackPosition)
        return;
    state.trackPosition = track;
    Redraw(hwnd);
    Notify(state, hwnd, SB_THUMBTRACK, track);
}

void Repeat(ScrollBarState& state, HWND hwnd)
{
    Part part = state.gesture;
    if (part == Part::None || part == Part::Thumb)
        return;
    if (!state.repeating) {
        state.repeating = true;
        SetTimer(hwnd, kRepeatTimer, kNextRepeat, nullptr);
    }
    // Held off the part (or the thumb reached the pointer): wait until the pointer is on it again.
    if (PointerOn(state, hwnd, part))
        Notify(state, hwnd, CodeOf(part));
}

// The button released (release) or the capture lost: a drag reports where it ended, then the
// thumb returns to the position and SB_ENDSCROLL closes the gesture.
void EndGesture(ScrollBarState& state, HWND hwnd, bool release)
{
    Part ended = state.gesture;
    if (ended == Part::None)
        return;
    state.gesture = Part::None;
    KillTimer(hwnd, kRepeatTimer);
    if (release && GetCapture() == hwnd)
        ReleaseCapture();
    if (state.dead)
        return;
    if (ended == Part::Thumb && !Notify(state, hwnd, SB_THUMBPOSITION, state.trackPosition))
        return;
    state.dragging = false;
    state.trackPosition = state.position;
    Redraw(hwnd);
    Notify(state, hwnd, SB_ENDSCROLL);
}

void Triangle(HDC hdc, const RECT& box, bool vertical, bool forward, int color)
{
    int cx = (box.left + box.right) / 2;
    int cy = (box.top + box.bottom) / 2;
    int size = std::max(std::min(box.right - box.left, box.bottom - box.top) / 3, 1);
    for (int i = 0; i < size; ++i) {
        // Row i from the tip: 2i + 1 pixels wide.
        int along = forward ? size / 2 - i : i - size / 2;
        RECT row = vertical ? RECT{cx - i, cy + along, cx + i + 1, cy + along + 1}
                            : RECT{cx + along, cy - i, cx + along + 1, cy + i + 1};
        FillColor(hdc, row, color);
    }
}

RECT Span(const RECT& client, bool vertical, int start, int end)
{
    return vertical ? RECT{client.left, start, client.right, end} : RECT{start, client.top, end, client.bottom};
}

void Paint(ScrollBarState& state, HWND hwnd)
{
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(hwnd, &paint);
    if (hdc == nullptr)
        return;
    HBRUSH brush = AskColors(state, hwnd, WM_CTLCOLORSCROLLBAR, hdc);
    if (brush != nullptr) {
        bool vertical = IsVertical(hwnd);
        bool enabled = IsWindowEnabled(hwnd) != FALSE;
        RECT client = ClientArea(hwnd);
        FillRect(hdc, &client, brush);
        Geometry g = Measure(state, hwnd, vertical);
        bool held = state.gesture != Part::None && state.gesture != Part::Thumb && PointerOn(state, hwnd, state.gesture);
        if (held && state.gesture == Part::PageBack)
            FillColor(hdc, Span(client, vertical, g.trackStart, g.thumbStart), COLOR_ACTIVEBORDER);
        if (held && state.gesture == Part::PageForward)
            FillColor(hdc, Span(client, vertical, g.thumbStart + g.thumb, g.trackStart + g.track), COLOR_ACTIVEBORDER);
        RECT back = Span(client, vertical, 0, g.arrow);
        RECT forward = Span(client, vertical, g.length - g.arrow, g.length);
        if (held && state.gesture == Part::ArrowBack)
            FillColor(hdc, back, COLOR_BTNSHADOW);
        if (held && state.gesture == Part::ArrowForward)
            FillColor(hdc, forward, COLOR_BTNSHADOW);
        int glyph = enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT;
        Triangle(hdc, back, vertical, false, glyph);
        Triangle(hdc, forward, vertical, true, glyph);
        if (enabled && g.hasThumb) {
            RECT thumb = Span(client, vertical, g.thumbStart, g.thumbStart + g.thumb);
            thumb = vertical ? Inset(thumb, 2, 0) : Inset(thumb, 0, 2);
            FillColor(hdc, thumb, state.dragging ? COLOR_3DDKSHADOW : COLOR_BTNSHADOW);
        }
    }
    EndPaint(hwnd, &paint);
}

LRESULT SetRange(ScrollBarState& state, HWND hwnd, int minimum, int maximum, bool redraw)
{
    int previous = state.position;
    state.minimum = minimum;
    state.maximum = std::max(maximum, minimum);
    int64_t range = static_cast<int64_t>(state.maximum) - state.minimum + 1;
    state.page = static_cast<UINT>(std::min<int64_t>(state.page, std::min<int64_t>(range, UINT_MAX)));
    state.position = ClampPosition(state, state.position);
    state.trackPosition = ClampPosition(state, state.trackPosition);
    if (redraw)
        Redraw(hwnd);
    return previous;
}

LRESULT SetInfo(ScrollBarState& state, HWND hwnd, const SCROLLINFO* info, bool redraw)
{
    if (info == nullptr || info->cbSize != sizeof(SCROLLINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if ((info->fMask & SIF_RANGE) != 0)
        SetRange(state, hwnd, info->nMin, info->nMax, false);
    if ((info->fMask & SIF_PAGE) != 0) {
        int64_t range = static_cast<int64_t>(state.maximum) - state.minimum + 1;
        state.page = static_cast<UINT>(std::min<int64_t>(info->nPage, std::min<int64_t>(range, UINT_MAX)));
    }
    if ((info->fMask & SIF_POS) != 0)
        state.position = info->nPos;
    state.position = ClampPosition(state, state.position);
    state.trackPosition = state.dragging ? ClampPosition(state, state.trackPosition) : state.position;
    if (redraw)
        Redraw(hwnd);
    return state.position;
}

LRESULT GetInfo(const ScrollBarState& state, SCROLLINFO* info)
{
    if (info == nullptr || info->cbSize != sizeof(SCROLLINFO) || (info->fMask & SIF_ALL) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if ((info->fMask & SIF_RANGE) != 0) {
        info->nMin = state.minimum;
        info->nMax = state.maximum;
    }
    if ((info->fMask & SIF_PAGE) != 0)
        info->nPage = state.page;
    if ((info->fMask & SIF_POS) != 0)
        info->nPos = state.position;
    if ((info->fMask & SIF_TRACKPOS) != 0)
        info->nTrackPos = state.dragging ? state.trackPosition : state.position;
    return TRUE;
}

POINT PointOf(LPARAM lParam)
{
    return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

LRESULT Handle(ScrollBarState& state, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        Paint(state, hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
        if (state.gesture == Part::None)
            BeginGesture(state, hwnd, PointOf(lParam));
        return 0;
    case WM_MOUSEMOVE:
        if (state.gesture != Part::None) {
            bool wasOn = state.gesture != Part::Thumb && PointerOn(state, hwnd, state.gesture);
            Drag(state, hwnd, PointOf(lParam));
            if (!state.dead && state.gesture != Part::Thumb && wasOn != PointerOn(state, hwnd, state.gesture))
                Redraw(hwnd);
        }
        return 0;
    case WM_LBUTTONUP:
        EndGesture(state, hwnd, true);
        return 0;
    case WM_CAPTURECHANGED:
        EndGesture(state, hwnd, false);
        return 0;
    case WM_TIMER:
        if (wParam == kRepeatTimer)
            Repeat(state, hwnd);
        return 0;
    case WM_SIZE:
    case WM_ENABLE:
    case WM_STYLECHANGED:
        Redraw(hwnd);
        return 0;
    case SBM_SETPOS: {
        int previous = state.position;
        state.position = ClampPosition(state, static_cast<int>(wParam));
        if (!state.dragging)
            state.trackPosition = state.position;
        if (lParam != FALSE && state.position != previous)
            Redraw(hwnd);
        return previous;
    }
    case SBM_GETPOS:
        return state.position;
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW:
        return SetRange(state, hwnd, static_cast<int>(wParam), static_cast<int>(lParam), message == SBM_SETRANGEREDRAW);
    case SBM_SETSCROLLINFO:
        return SetInfo(state, hwnd, reinterpret_cast<const SCROLLINFO*>(lParam), wParam != FALSE);
    case SBM_GETSCROLLINFO:
        return GetInfo(state, reinterpret_cast<SCROLLINFO*>(lParam));
    default:
        break;
    }
    return DefaultControlMessage(state, hwnd, message, wParam, lParam);
}

bool IsControlBar(int bar)
{
    if (bar == SB_CTL)
        return true;
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

} // namespace

LRESULT ScrollBarProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Table::Dispatch(hwnd, message, wParam, lParam, Handle);
}

} // namespace win32::controls

namespace win32 {

int SetScrollPos(HWND hwnd, int bar, int position, BOOL redraw)
{
    if (!controls::IsControlBar(bar))
        return 0;
    return static_cast<int>(SendMessageW(hwnd, SBM_SETPOS, static_cast<WPARAM>(position), redraw));
}

int GetScrollPos(HWND hwnd, int bar)
{
    if (!controls::IsControlBar(bar))
        return 0;
    return static_cast<int>(SendMessageW(hwnd, SBM_GETPOS, 0, 0));
}

BOOL SetScrollRange(HWND hwnd, int bar, int minimum, int maximum, BOOL redraw)
{
    if (!controls::IsControlBar(bar) || !IsWindow(hwnd))
        return FALSE;
    SendMessageW(hwnd, redraw ? SBM_SETRANGEREDRAW : SBM_SETRANGE, static_cast<WPARAM>(minimum), maximum);
    return TRUE;
}

int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL redraw)
{
    if (!controls::IsControlBar(bar))
        return 0;
    return static_cast<int>(SendMessageW(hwnd, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(info)));
}

BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info)
{
    if (!controls::IsControlBar(bar))
        return FALSE;
    return SendMessageW(hwnd, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(info)) != 0 ? TRUE : FALSE;
}

} // namespace win32
