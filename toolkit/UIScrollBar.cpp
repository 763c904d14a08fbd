// The native scroll bar on an axis of the scrolling model.

#include "toolkit/UIScrollBar.h"

#include "win32/controls/Controls.h"
#include "win32/user/User.h"

#include <climits>
#include <cmath>

using namespace win32;

namespace {

constexpr DWORD kBarStyle = WS_CHILD | WS_CLIPSIBLINGS;

// An axis value as a window takes it: cut toward zero, clamped to the 32-bit range first (an
// unclamped axis or an infinite range goes beyond it).
int ToWindowInteger(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}

} // namespace

UIScrollBar::UIScrollBar() = default;

UIScrollBar::~UIScrollBar() = default;

UIElement* UIScrollBar::GetElement()
{
    return this;
}

bool UIScrollBar::OverlaysContent() const
{
    return false;
}

int32_t UIScrollBar::GetThickness() const
{
    return 16;
}

int32_t UIScrollBar::GetBarKind() const
{
    return 1;
}

void UIScrollBar::CreateNativeWindow()
{
    const DWORD style = kBarStyle | (fHorizontal != 0 ? 0 : SBS_VERT);
    HWND handle = CreateControlWindow(0, u"SCROLLBAR", style, CXString());
    if (handle == nullptr)
        return;
    // The ring may have been linked and moved before the window existed.
    ShowRange(handle);
    ShowPosition(handle);
}

void UIScrollBar::ShowRange(HWND handle)
{
    const ScrollAxisRef& axis = GetAxis();
    SetScrollRange(handle, SB_CTL, ToWindowInteger(axis.GetMinimum()), ToWindowInteger(axis.GetMaximum()), TRUE);
}

void UIScrollBar::ShowPosition(HWND handle)
{
    SetScrollPos(handle, SB_CTL, ToWindowInteger(GetAxis().GetPosition()), TRUE);
}

void UIScrollBar::AxisRangeChanged(ScrollAxisRef&)
{
    if (HWND handle = GetLiveNativeHandle())
        ShowRange(handle);
}

void UIScrollBar::AxisPositionChanged(ScrollAxisRef&)
{
    if (HWND handle = GetLiveNativeHandle())
        ShowPosition(handle);
}

LRESULT UIScrollBar::HandleNativeMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_HSCROLL || message == WM_VSCROLL) {
        Scroll(LOWORD(static_cast<uintptr_t>(wParam)));
        return 0;
    }
    return CXUIControl::HandleNativeMessage(message, wParam, lParam);
}

void UIScrollBar::Scroll(int code)
{
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return;
    ScrollAxisRef& axis = GetAxis();
    const double page = axis.GetPage() != 0 ? axis.GetPage() : fLineStep;
    double position = GetScrollPos(handle, SB_CTL);
    switch (code) {
    case SB_LINEUP:
        position -= fLineStep;
        break;
    case SB_LINEDOWN:
        position += fLineStep;
        break;
    case SB_PAGEUP:
        position -= page;
        break;
    case SB_PAGEDOWN:
        position += page;
        break;
    case SB_TOP:
        position = axis.GetMinimum();
        break;
    case SB_BOTTOM:
        position = axis.GetMaximum();
        break;
    default: {
        // The thumb codes and the gesture's end: the window's track position, which is its
        // position outside a drag.
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_TRACKPOS;
        if (!GetScrollInfo(handle, SB_CTL, &info))
            return;
        position = info.nTrackPos;
        break;
    }
    }
    axis.SetPosition(position);
}
