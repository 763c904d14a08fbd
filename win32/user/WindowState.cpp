#include "win32/user/WindowState.h"

#include "win32/core/Core.h"
#include "win32/core/Handles.h"
#include "win32/user/GLSurface.h"
#include "win32/user/MenuState.h"
#include "win32/user/User.h"

#include <algorithm>

namespace win32::user {

namespace {

void ShutdownWindows()
{
    UserState& state = State();
    // Destroying a window may destroy others (owned windows), so start again from the list each
    // time; a window that cannot leave the list is dropped from it by force.
    while (!state.topLevels.empty()) {
        Window* window = state.topLevels.back();
        size_t before = state.topLevels.size();
        DestroyWindow(window->handle);
        if (state.topLevels.size() == before && state.topLevels.back() == window)
            state.topLevels.pop_back();
    }
    state.classes.clear();
}

} // namespace

WindowHold::WindowHold(Window* window) : fWindow(window)
{
    fWindow->holds++;
}

WindowHold::~WindowHold()
{
    if (--fWindow->holds == 0 && fWindow->dead)
        delete fWindow;
}

UserState& State()
{
    static UserState* state = nullptr;
    if (state == nullptr) {
        state = new UserState();
        core::AddShutdownStep(&ShutdownWindows);
    }
    return *state;
}

Window* FindWindow(HWND hwnd)
{
    auto* window = static_cast<Window*>(
        core::Handles().Find(core::HandleValue(hwnd), core::HandleKind::Window));
    if (window == nullptr)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

std::vector<Window*>& SiblingList(Window* window)
{
    return window->parent != nullptr ? window->parent->children : State().topLevels;
}

POINT ClientOriginOnScreen(const Window* window)
{
    POINT origin = {0, 0};
    for (const Window* w = window; w != nullptr; w = w->parent) {
        origin.x += w->client.left;
        origin.y += w->client.top;
    }
    return origin;
}

RECT FrameInsets(DWORD style, DWORD exStyle, bool menu)
{
    RECT insets = {0, 0, 0, 0};
    Backend* backend = GetBackend();
    if (backend == nullptr)
        return insets;
    const Metrics& metrics = backend->GetMetrics();
    int side = 0;
    if ((style & (WS_THICKFRAME | WS_DLGFRAME)) != 0)
        side = metrics.frame;
    else if ((style & WS_BORDER) != 0)
        side = metrics.border;
    if ((exStyle & WS_EX_CLIENTEDGE) != 0)
        side += metrics.edge;
    insets = {side, side, side, side};
    if ((style & WS_CAPTION) == WS_CAPTION)
        insets.top += metrics.caption;
    if (menu)
        insets.top += metrics.menu;
    return insets;
}

RECT ClientFromWindowRect(const Window* window, const RECT& rect)
{
    RECT insets = FrameInsets(window->style, window->exStyle, HasBar(window));
    RECT client = {rect.left + insets.left, rect.top + insets.top, rect.right - insets.right,
                   rect.bottom - insets.bottom};
    // A window smaller than its frame has an empty client area at the frame's inner corner.
    client.right = std::max(client.right, client.left);
    client.bottom = std::max(client.bottom, client.top);
    return client;
}

WPARAM SizeKind(const Window* window)
{
    switch (window->showState) {
    case ShowState::Minimized:
        return SIZE_MINIMIZED;
    case ShowState::Maximized:
        return SIZE_MAXIMIZED;
    default:
        return SIZE_RESTORED;
    }
}

void TellBackend(Window* window, TopLevelChange what)
{
    if (window == nullptr || window->dead || window->parent != nullptr)
        return;
    if (Backend* backend = GetBackend())
        backend->TopLevelChanged(window->handle, what);
}

void ApplyRect(Window* window, const RECT& rect, WPARAM sizeKind, bool sendSize, bool tellBackend)
{
    RECT oldRect = window->rect;
    RECT oldClient = window->client;
    window->rect = rect;
    window->client = ClientFromWindowRect(window, rect);
    const RECT& client = window->client;
    bool moved = client.left != oldClient.left || client.top != oldClient.top;
    bool sized = client.right - client.left != oldClient.right - oldClient.left ||
                 client.bottom - client.top != oldClient.bottom - oldClient.top;
    const RECT& now = window->rect;
    bool changed = moved || sized || now.left != oldRect.left || now.top != oldRect.top ||
                   now.right != oldRect.right || now.bottom != oldRect.bottom;
    WindowHold hold(window);
    if (sized)
        GLSurfaceWindowSized(window);
    if (moved)
        Dispatch(window, WM_MOVE, 0, MAKELPARAM(client.left, client.top));
    if ((sized || sendSize) && !window->dead) {
        const RECT& current = window->client;
        Dispatch(window, WM_SIZE, sizeKind, MAKELPARAM(current.right - current.left, current.bottom - current.top));
    }
    if (changed && tellBackend)
        TellBackend(window, TopLevelChange::MovedOrSized);
}

int ClampPosition(int value)
{
    return std::clamp(value, -0x8000, 0x7FFF);
}

int ClampSize(int value)
{
    return std::clamp(value, 0, 0x7FFF);
}

} // namespace win32::user
