#include "win32/core/Core.h"
#include "win32/user/User.h"
#include "win32/user/WindowState.h"

#include <algorithm>

namespace win32 {

using namespace user;

BOOL GetWindowRect(HWND hwnd, RECT* rect)
{
    if (!core::CheckUIThread("GetWindowRect"))
        return FALSE;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return FALSE;
    if (rect == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    POINT origin = ClientOriginOnScreen(window->parent);
    *rect = {window->rect.left + origin.x, window->rect.top + origin.y, window->rect.right + origin.x,
             window->rect.bottom + origin.y};
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect)
{
    if (!core::CheckUIThread("GetClientRect"))
        return FALSE;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return FALSE;
    if (rect == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (window->showState == ShowState::Minimized)
        *rect = {0, 0, 0, 0};
    else
        *rect = {0, 0, window->client.right - window->client.left, window->client.bottom - window->client.top};
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count)
{
    if (!core::CheckUIThread("MapWindowPoints"))
        return 0;
    Window* fromWindow = nullptr;
    Window* toWindow = nullptr;
    if (from != HWND_DESKTOP && (fromWindow = FindWindow(from)) == nullptr)
        return 0;
    if (to != HWND_DESKTOP && (toWindow = FindWindow(to)) == nullptr)
        return 0;
    POINT a = ClientOriginOnScreen(fromWindow);
    POINT b = ClientOriginOnScreen(toWindow);
    int dx = a.x - b.x;
    int dy = a.y - b.y;
    for (UINT i = 0; points != nullptr && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<int>(MAKELPARAM(dx, dy));
}

BOOL ClientToScreen(HWND hwnd, POINT* point)
{
    if (!core::CheckUIThread("ClientToScreen"))
        return FALSE;
    Window* window = FindWindow(hwnd);
    if (window == nullptr || point == nullptr)
        return FALSE;
    POINT origin = ClientOriginOnScreen(window);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point)
{
    if (!core::CheckUIThread("ScreenToClient"))
        return FALSE;
    Window* window = FindWindow(hwnd);
    if (window == nullptr || point == nullptr)
        return FALSE;
    POINT origin = ClientOriginOnScreen(window);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement)
{
    if (!core::CheckUIThread("GetWindowPlacement"))
        return FALSE;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return FALSE;
    if (placement == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    RECT normal = window->showState == ShowState::Normal ? window->rect : window->normalRect;
    // A top-level window's restored rectangle is given relative to the work area.
    if (window->parent == nullptr) {
        const RECT& work = GetBackend()->GetMetrics().workArea;
        normal = {normal.left - work.left, normal.top - work.top, normal.right - work.left, normal.bottom - work.top};
    }
    placement->length = sizeof(WINDOWPLACEMENT);
    placement->flags = 0;
    switch (window->showState) {
    case ShowState::Minimized:
        placement->showCmd = SW_SHOWMINIMIZED;
        break;
    case ShowState::Maximized:
        placement->showCmd = SW_SHOWMAXIMIZED;
        break;
    default:
        placement->showCmd = (window->style & WS_VISIBLE) != 0 ? SW_SHOWNORMAL : SW_HIDE;
        break;
    }
    placement->ptMinPosition = {-1, -1};
    placement->ptMaxPosition = {-1, -1};
    placement->rcNormalPosition = normal;
    return TRUE;
}

BOOL IsIconic(HWND hwnd)
{
    if (!core::CheckUIThread("IsIconic"))
        return FALSE;
    Window* window = FindWindow(hwnd);
    return window != nullptr && window->showState == ShowState::Minimized ? TRUE : FALSE;
}

BOOL IsZoomed(HWND hwnd)
{
    if (!core::CheckUIThread("IsZoomed"))
        return FALSE;
    Window* window = FindWindow(hwnd);
    return window != nullptr && window->showState == ShowState::Maximized ? TRUE : FALSE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle)
{
    if (!core::CheckUIThread("AdjustWindowRectEx"))
        return FALSE;
    if (rect == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    RECT insets = FrameInsets(style, exStyle, menu != FALSE);
    rect->left -= insets.left;
    rect->top -= insets.top;
    rect->right += insets.right;
    rect->bottom += insets.bottom;
    return TRUE;
}

BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu)
{
    return AdjustWindowRectEx(rect, style, menu, 0);
}

int GetSystemMetrics(int index)
{
    if (!core::CheckUIThread("GetSystemMetrics"))
        return 0;
    const Metrics& m = GetBackend()->GetMetrics();
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXVIRTUALSCREEN:
        return m.screenWidth;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN:
        return m.screenHeight;
    case SM_XVIRTUALSCREEN:
    case SM_YVIRTUALSCREEN:
        return 0;
    case SM_CMONITORS:
        return 1;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
        return m.scrollBar;
    case SM_CYCAPTION:
        return m.caption;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return m.border;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
    case SM_CXFRAME:
    case SM_CYFRAME:
        return m.frame;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return m.edge;
    case SM_CXICON:
    case SM_CYICON:
        return m.icon;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return m.smallIcon;
    case SM_CYMENU:
        return m.menu;
    case SM_CXDOUBLECLK:
        return m.doubleClickWidth;
    case SM_CYDOUBLECLK:
        return m.doubleClickHeight;
    case SM_CXDRAG:
        return m.dragWidth;
    case SM_CYDRAG:
        return m.dragHeight;
    default:
        return 0;
    }
}

BOOL SystemParametersInfoW(UINT action, UINT, LPVOID pvParam, UINT)
{
    if (!core::CheckUIThread("SystemParametersInfoW"))
        return FALSE;
    if (pvParam == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const Metrics& m = GetBackend()->GetMetrics();
    switch (action) {
    case SPI_GETWORKAREA:
        *static_cast<RECT*>(pvParam) = m.workArea;
        return TRUE;
    case SPI_GETWHEELSCROLLLINES:
        *static_cast<UINT*>(pvParam) = m.wheelScrollLines;
        return TRUE;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
}

} // namespace win32

namespace win32 {

BOOL ResizeByUser(HWND hwnd, int width, int height)
{
    if (!core::CheckUIThread("ResizeByUser"))
        return FALSE;
    user::Window* window = user::FindWindow(hwnd);
    if (window == nullptr)
        return FALSE;
    if (window->parent != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    user::WindowHold hold(window);
    SendMessageW(hwnd, WM_ENTERSIZEMOVE, 0, 0);
    const Metrics& m = GetBackend()->GetMetrics();
    RECT work = m.workArea;
    // The defaults offered for a change: the frame may hang off the work area when maximised; the
    // smallest track size keeps a caption's worth of frame.
    MINMAXINFO info = {};
    info.ptMaxSize = {work.right - work.left + 2 * m.frame, work.bottom - work.top + 2 * m.frame};
    info.ptMaxPosition = {-m.frame, -m.frame};
    info.ptMinTrackSize = {120 + 2 * m.frame, m.caption + 2 * m.frame};
    info.ptMaxTrackSize = {m.screenWidth + 2 * m.frame, m.screenHeight + 2 * m.frame};
    if (!window->dead)
        SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    // The smallest size wins over the largest, as when a window asks for both wrongly.
    width = std::max<int>(std::min<int>(width, info.ptMaxTrackSize.x), info.ptMinTrackSize.x);
    height = std::max<int>(std::min<int>(height, info.ptMaxTrackSize.y), info.ptMinTrackSize.y);
    if (!window->dead)
        SetWindowPos(hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (!window->dead)
        SendMessageW(hwnd, WM_EXITSIZEMOVE, 0, 0);
    return TRUE;
}

} // namespace win32
