#include "win32/core/Core.h"
#include "win32/core/Handles.h"
#include "win32/user/GLSurface.h"
#include "win32/user/MenuState.h"
#include "win32/user/User.h"
#include "win32/user/WindowState.h"

#include <algorithm>
#include <cstring>

namespace win32 {

namespace user {

namespace {

void Unlink(Window* window)
{
    std::vector<Window*>& list = SiblingList(window);
    auto it = std::find(list.begin(), list.end(), window);
    if (it != list.end())
        list.erase(it);
    if (window->parent == nullptr) {
        if (Backend* backend = GetBackend())
            backend->TopLevelRemoved(window->handle);
    }
}

// The last step of a window: children first, each handle dead before its WM_NCDESTROY.
void FinishDestruction(Window* window)
{
    WindowHold hold(window);
    std::vector<Window*> children = window->children;
    for (Window* child : children) {
        if (!child->dead)
            FinishDestruction(child);
    }
    core::Handles().Remove(core::HandleValue(window->handle), core::HandleKind::Window);
    window->dead = true;
    DropQueued(window);
    DropTargetWindowGone(window);
    GLSurfaceWindowGone(window);
    if (window->parent == nullptr)
        PaintWindowGone(window);
    Unlink(window);
    Dispatch(window, WM_NCDESTROY, 0, 0);
    DestroyWindowMenu(window);
    for (Window* other : State().topLevels) {
        if (other->owner == window)
            other->owner = nullptr;
    }
    window->children.clear();
    window->windowClass->windowCount--;
}

void MarkDestroying(Window* window)
{
    window->destroying = true;
    for (Window* child : window->children)
        MarkDestroying(child);
}

// WM_DESTROY parents first.
void SendDestroy(Window* window)
{
    WindowHold hold(window);
    Dispatch(window, WM_DESTROY, 0, 0);
    std::vector<Window*> children = window->children;
    for (Window* child : children) {
        if (!child->dead)
            SendDestroy(child);
    }
}

void Maximize(Window* window)
{
    if (window->showState == ShowState::Normal)
        window->normalRect = window->rect;
    window->showState = ShowState::Maximized;
    window->style = (window->style | WS_MAXIMIZE) & ~WS_MINIMIZE;
    RECT area;
    if (window->parent != nullptr) {
        const RECT& client = window->parent->client;
        area = {0, 0, client.right - client.left, client.bottom - client.top};
    } else {
        area = GetBackend()->GetMetrics().workArea;
    }
    ApplyRect(window, area, SIZE_MAXIMIZED, true);
}

void Minimize(Window* window)
{
    if (window->showState == ShowState::Normal)
        window->normalRect = window->rect;
    window->showState = ShowState::Minimized;
    window->style = (window->style | WS_MINIMIZE) & ~WS_MAXIMIZE;
    Dispatch(window, WM_SIZE, SIZE_MINIMIZED, 0);
}

void Restore(Window* window)
{
    if (window->showState == ShowState::Normal)
        return;
    window->showState = ShowState::Normal;
    window->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
    ApplyRect(window, window->normalRect, SIZE_RESTORED, true);
}

// A creation that a procedure refused: only WM_NCDESTROY is sent.
void AbandonCreation(Window* window)
{
    if (!window->dead)
        FinishDestruction(window);
}

} // namespace

} // namespace user

using namespace user;

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    if (!core::CheckUIThread("CreateWindowExW"))
        return nullptr;
    HINSTANCE moduleInstance = ProgramInstance(instance);
    WindowClass* windowClass = className != nullptr ? FindClass(className, moduleInstance, true) : nullptr;
    if (windowClass == nullptr) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    Window* parentWindow = nullptr;
    Window* owner = nullptr;
    if ((style & WS_CHILD) != 0) {
        if (parent == nullptr) {
            SetLastError(ERROR_TLW_WITH_WSCHILD);
            return nullptr;
        }
        if ((parentWindow = FindWindow(parent)) == nullptr)
            return nullptr;
    } else if (parent != nullptr) {
        if ((owner = FindWindow(parent)) == nullptr)
            return nullptr;
        while (owner->parent != nullptr)
            owner = owner->parent;
    }
    if ((parentWindow != nullptr && parentWindow->destroying) || (owner != nullptr && owner->destroying)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }

    auto* window = new Window();
    uint32_t value = core::Handles().Add(core::HandleKind::Window, window);
    if (value == 0) {
        delete window;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    bool show = (style & WS_VISIBLE) != 0;
    window->handle = core::ToHandle<HWND>(value);
    window->windowClass = windowClass;
    window->instance = moduleInstance;
    window->procedure = windowClass->procedure;
    window->style = style & ~WS_VISIBLE;
    window->exStyle = exStyle;
    window->id = parentWindow != nullptr ? reinterpret_cast<UINT_PTR>(menu) : 0;
    window->extra.assign(static_cast<size_t>(windowClass->windowExtra), 0);
    window->parent = parentWindow;
    window->owner = owner;
    int left = ClampPosition(x);
    int top = ClampPosition(y);
    window->rect = {left, top, left + ClampSize(width), top + ClampSize(height)};
    window->client = ClientFromWindowRect(window, window->rect);
    windowClass->windowCount++;
    if (parentWindow != nullptr) {
        parentWindow->children.push_back(window);
    } else {
        State().topLevels.insert(State().topLevels.begin(), window);
        GetBackend()->TopLevelAdded(window->handle);
    }

    WindowHold hold(window);
    HWND hwnd = window->handle;
    CREATESTRUCTW create = {param, moduleInstance, menu, parent, height, width, y, x,
                            static_cast<LONG>(style), windowName, className, exStyle};
    if (Dispatch(window, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)) == FALSE || window->dead) {
        AbandonCreation(window);
        return nullptr;
    }
    if (Dispatch(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1 || window->dead) {
        AbandonCreation(window);
        return nullptr;
    }
    const RECT& client = window->client;
    Dispatch(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right - client.left, client.bottom - client.top));
    if (!window->dead)
        Dispatch(window, WM_MOVE, 0, MAKELPARAM(window->client.left, window->client.top));
    if (show && !window->dead)
        ShowWindow(hwnd, SW_SHOW);
    return window->dead ? nullptr : hwnd;
}

BOOL DestroyWindow(HWND hwnd)
{
    if (!core::CheckUIThread("DestroyWindow"))
        return FALSE;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return FALSE;
    // Already on its way out (a procedure asked again): the running destruction finishes it.
    if (window->destroying)
        return TRUE;
    WindowHold hold(window);
    window->destroyRequested = true;
    MarkDestroying(window);
    std::vector<Window*> owned;
    for (Window* other : State().topLevels) {
        if (other->owner == window)
            owned.push_back(other);
    }
    for (Window* other : owned) {
        WindowHold otherHold(other);
        if (!other->dead)
            DestroyWindow(other->handle);
    }
    WindowDestroying(window);
    if (window->dead)
        return TRUE;
    if ((window->style & WS_VISIBLE) != 0) {
        window->style &= ~WS_VISIBLE;
        InvalidateForChange(window);
    }
    SendDestroy(window);
    if (!window->dead)
        FinishDestruction(window);
    return TRUE;
}

BOOL IsWindow(HWND hwnd)
{
    if (!core::CheckUIThread("IsWindow"))
        return FALSE;
    return FindWindow(hwnd) != nullptr ? TRUE : FALSE;
}

BOOL ShowWindow(HWND hwnd, int command)
{
    if (!core::CheckUIThread("ShowWindow"))
        return FALSE;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return FALSE;
    BOOL wasVisible = (window->style & WS_VISIBLE) != 0 ? TRUE : FALSE;
    if (command < SW_HIDE || command > SW_RESTORE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return wasVisible;
    }
    WindowHold hold(window);
    if (command == SW_HIDE) {
        if (wasVisible) {
            window->style &= ~WS_VISIBLE;
            InvalidateForChange(window);
            TellBackend(window, TopLevelChange::Hidden);
            WindowHidden(window);
        }
        return wasVisible;
    }
    if (!wasVisible) {
        window->style |= WS_VISIBLE;
        InvalidateForChange(window);
    }
    ShowState before = window->showState;
    switch (command) {
    case SW_SHOWNORMAL:
    case SW_RESTORE:
        Restore(window);
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        if (window->showState != ShowState::Minimized)
            Minimize(window);
        break;
    case SW_SHOWMAXIMIZED:
        if (window->showState != ShowState::Maximized)
            Maximize(window);
        break;
    default:
        break;
    }
    // Nothing was painted while minimised, and a new size needs painting whole.
    if (!window->dead && window->showState != before)
        InvalidateForChange(window);
    if (!window->dead) {
        if (!wasVisible)
            TellBackend(window, TopLevelChange::Shown);
        bool activating = command != SW_SHOWNOACTIVATE && command != SW_SHOWNA &&
                          command != SW_SHOWMINNOACTIVE && command != SW_MINIMIZE;
        WindowShown(window, activating);
    }
    return wasVisible;
}

BOOL IsWindowVisible(HWND hwnd)
{
    if (!core::CheckUIThread("IsWindowVisible"))
        return FALSE;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return FALSE;
    for (Window* w = window; w != nullptr; w = w->parent) {
        if ((w->style & WS_VISIBLE) == 0)
            return FALSE;
    }
    return TRUE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable)
{
    if (!core::CheckUIThread("EnableWindow"))
        return FALSE;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return FALSE;
    bool wasDisabled = (window->style & WS_DISABLED) != 0;
    if (wasDisabled == (enable == FALSE))
        return wasDisabled ? TRUE : FALSE;
    if (enable)
        window->style &= ~WS_DISABLED;
    else
        window->style |= WS_DISABLED;
    WindowHold hold(window);
    if (!enable)
        WindowDisabled(window);
    if (!window->dead)
        Dispatch(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd)
{
    if (!core::CheckUIThread("IsWindowEnabled"))
        return FALSE;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return FALSE;
    return (window->style & WS_DISABLED) == 0 ? TRUE : FALSE;
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index)
{
    if (!core::CheckUIThread("GetWindowLongPtrW"))
        return 0;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return 0;
    switch (index) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(window->procedure);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(window->instance);
    case GWLP_HWNDPARENT: {
        Window* up = window->parent != nullptr ? window->parent : window->owner;
        return up != nullptr ? reinterpret_cast<LONG_PTR>(up->handle) : 0;
    }
    case GWLP_ID:
        return static_cast<LONG_PTR>(window->id);
    case GWL_STYLE:
        return static_cast<LONG>(window->style);
    case GWL_EXSTYLE:
        return static_cast<LONG>(window->exStyle);
    case GWLP_USERDATA:
        return window->userData;
    default:
        break;
    }
    if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= window->extra.size()) {
        LONG_PTR value;
        std::memcpy(&value, window->extra.data() + index, sizeof(value));
        return value;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value)
{
    if (!core::CheckUIThread("SetWindowLongPtrW"))
        return 0;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return 0;
    SetLastError(ERROR_SUCCESS);
    LONG_PTR previous;
    switch (index) {
    case GWLP_WNDPROC:
        previous = reinterpret_cast<LONG_PTR>(window->procedure);
        window->procedure = reinterpret_cast<WNDPROC>(value);
        return previous;
    case GWLP_HINSTANCE:
        previous = reinterpret_cast<LONG_PTR>(window->instance);
        window->instance = reinterpret_cast<HINSTANCE>(value);
        return previous;
    case GWLP_ID:
        previous = static_cast<LONG_PTR>(window->id);
        window->id = static_cast<UINT_PTR>(value);
        return previous;
    case GWL_STYLE:
    case GWL_EXSTYLE: {
        DWORD& field = index == GWL_STYLE ? window->style : window->exStyle;
        STYLESTRUCT change = {field, static_cast<DWORD>(value)};
        field = change.styleNew;
        if (change.styleOld != change.styleNew)
            Dispatch(window, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&change));
        return static_cast<LONG>(change.styleOld);
    }
    case GWLP_USERDATA:
        previous = window->userData;
        window->userData = value;
        return previous;
    default:
        break;
    }
    if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= window->extra.size()) {
        std::memcpy(&previous, window->extra.data() + index, sizeof(previous));
        std::memcpy(window->extra.data() + index, &value, sizeof(value));
        return previous;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

LONG GetWindowLongW(HWND hwnd, int index)
{
    return static_cast<LONG>(GetWindowLongPtrW(hwnd, index));
}

LONG SetWindowLongW(HWND hwnd, int index, LONG value)
{
    return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text)
{
    if (!core::CheckUIThread("SetWindowTextW"))
        return FALSE;
    if (FindWindow(hwnd) == nullptr)
        return FALSE;
    return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount)
{
    if (!core::CheckUIThread("GetWindowTextW"))
        return 0;
    if (FindWindow(hwnd) == nullptr || buffer == nullptr || maxCount <= 0)
        return 0;
    buffer[0] = 0;
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND hwnd)
{
    if (!core::CheckUIThread("GetWindowTextLengthW"))
        return 0;
    if (FindWindow(hwnd) == nullptr)
        return 0;
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

HCURSOR LoadCursorW(HINSTANCE, LPCWSTR)
{
    return nullptr;
}

BOOL ClipCursor(const RECT*)
{
    return TRUE;
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX*)
{
    return TRUE;
}

HRESULT OleInitialize(LPVOID)
{
    return S_OK;
}

void OleUninitialize() {}

} // namespace win32
