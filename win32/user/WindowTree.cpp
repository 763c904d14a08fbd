#include "win32/core/Core.h"
#include "win32/user/Queue.h"
#include "win32/user/User.h"
#include "win32/user/WindowState.h"

#include <algorithm>

namespace win32 {

namespace user {

namespace {

bool IsDescendantOrSelf(const Window* window, const Window* ancestor)
{
    for (const Window* w = window; w != nullptr; w = w->parent) {
        if (w == ancestor)
            return true;
    }
    return false;
}

// Whether owner owns window, directly or through other owned windows.
bool IsOwnedBy(const Window* window, const Window* owner)
{
    for (const Window* w = window->owner; w != nullptr; w = w->owner) {
        if (w == owner)
            return true;
    }
    return false;
}

// A window taken out of a dying parent lives on, with its subtree, unless it was itself asked
// to go.
void KeepAlive(Window* window)
{
    if (window->destroyRequested)
        return;
    window->destroying = false;
    for (Window* child : window->children)
        KeepAlive(child);
}

void MoveInList(std::vector<Window*>& list, Window* window, size_t position)
{
    auto it = std::find(list.begin(), list.end(), window);
    if (it == list.end())
        return;
    list.erase(it);
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(std::min(position, list.size())), window);
}

// Puts window right below after in their sibling list (top when after is null, bottom when
// bottom is set); a top-level window brings the windows it owns along above it unless told not to.
void Restack(Window* window, Window* after, bool bottom, bool moveOwned)
{
    std::vector<Window*>& list = SiblingList(window);
    if (bottom) {
        MoveInList(list, window, list.size());
    } else if (after == nullptr) {
        MoveInList(list, window, 0);
    } else {
        auto it = std::find(list.begin(), list.end(), window);
        if (it != list.end())
            list.erase(it);
        auto at = std::find(list.begin(), list.end(), after);
        list.insert(at == list.end() ? list.end() : at + 1, window);
    }
    if (window->parent == nullptr && moveOwned) {
        std::vector<Window*> owned;
        for (Window* other : list) {
            if (IsOwnedBy(other, window))
                owned.push_back(other);
        }
        for (Window* other : owned)
            list.erase(std::find(list.begin(), list.end(), other));
        auto at = std::find(list.begin(), list.end(), window);
        list.insert(at, owned.begin(), owned.end());
    }
}

// A window that a re-parenting put out of sight (under a hidden window, as when parked) or out of
// use (under a disabled one) gives up focus, capture and activation as hiding or disabling does;
// the focus goes to the top-level window it left, not to the one it joined.
void LeaveUse(Window* window, Window* formerTop, bool wasShown, bool wasUsable)
{
    WindowHold hold(window);
    WindowHold topHold(formerTop);
    if (wasShown && !IsShown(window))
        WindowHidden(window, formerTop);
    else if (wasUsable && !IsUsable(window))
        WindowDisabled(window, formerTop);
}

// The geometry part of SetWindowPos: the new window rectangle, WM_MOVE and WM_SIZE, repainting
// what the change uncovered and covered unless SWP_NOREDRAW.
void MoveAndSize(Window* window, const RECT& rect, UINT flags, bool tellBackend)
{
    bool frameChanged = (flags & SWP_FRAMECHANGED) != 0;
    bool rectChanged = rect.left != window->rect.left || rect.top != window->rect.top ||
                       rect.right != window->rect.right || rect.bottom != window->rect.bottom;
    if (!rectChanged && !frameChanged)
        return;
    WindowHold hold(window);
    if (rectChanged && (flags & SWP_NOREDRAW) == 0)
        InvalidateForChange(window);
    ApplyRect(window, rect, SizeKind(window), frameChanged, tellBackend);
    if (!window->dead && (flags & SWP_NOREDRAW) == 0)
        InvalidateForChange(window);
}

} // namespace

void PlaceByWindowSystem(Window* window, const RECT& placed)
{
    if (window == nullptr || window->dead || window->parent != nullptr)
        return;
    int left = ClampPosition(placed.left);
    int top = ClampPosition(placed.top);
    RECT rect = {left, top, left + ClampSize(placed.right - placed.left), top + ClampSize(placed.bottom - placed.top)};
    MoveAndSize(window, rect, 0, false);
}

} // namespace user

using namespace user;

HWND GetParent(HWND hwnd)
{
    if (!core::CheckUIThread("GetParent"))
        return nullptr;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return nullptr;
    if ((window->style & WS_CHILD) != 0)
        return window->parent != nullptr ? window->parent->handle : nullptr;
    if ((window->style & WS_POPUP) != 0)
        return window->owner != nullptr ? window->owner->handle : nullptr;
    return nullptr;
}

HWND GetWindow(HWND hwnd, UINT relation)
{
    if (!core::CheckUIThread("GetWindow"))
        return nullptr;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return nullptr;
    std::vector<Window*>& list = SiblingList(window);
    auto it = std::find(list.begin(), list.end(), window);
    switch (relation) {
    case GW_CHILD:
        return window->children.empty() ? nullptr : window->children.front()->handle;
    case GW_HWNDFIRST:
        return list.front()->handle;
    case GW_HWNDLAST:
        return list.back()->handle;
    case GW_HWNDNEXT:
        return it == list.end() || it + 1 == list.end() ? nullptr : (*(it + 1))->handle;
    case GW_HWNDPREV:
        return it == list.end() || it == list.begin() ? nullptr : (*(it - 1))->handle;
    case GW_OWNER:
        return window->owner != nullptr ? window->owner->handle : nullptr;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

HWND SetParent(HWND hwnd, HWND newParent)
{
    if (!core::CheckUIThread("SetParent"))
        return nullptr;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return nullptr;
    Window* parent = nullptr;
    if (newParent != HWND_DESKTOP && (parent = FindWindow(newParent)) == nullptr)
        return nullptr;
    if (parent != nullptr && (IsDescendantOrSelf(parent, window) || parent->destroying)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Window* oldParent = window->parent;
    HWND oldParentHandle = oldParent != nullptr ? oldParent->handle : nullptr;
    Window* formerTop = TopLevelOf(window);
    bool wasShown = IsShown(window);
    bool wasUsable = IsUsable(window);
    Backend* backend = GetBackend();
    InvalidateForChange(window);
    std::vector<Window*>& oldList = SiblingList(window);
    oldList.erase(std::find(oldList.begin(), oldList.end(), window));
    if (oldParent == nullptr && parent != nullptr) {
        PaintWindowGone(window);
        backend->TopLevelRemoved(window->handle);
    }
    window->parent = parent;
    if (parent != nullptr) {
        window->owner = nullptr;
        window->style |= WS_CHILD;
        parent->children.insert(parent->children.begin(), window);
    } else {
        window->style &= ~WS_CHILD;
        State().topLevels.insert(State().topLevels.begin(), window);
        if (oldParent != nullptr)
            backend->TopLevelAdded(window->handle);
    }
    KeepAlive(window);
    InvalidateForChange(window);
    LeaveUse(window, formerTop, wasShown, wasUsable);
    SetLastError(ERROR_SUCCESS);
    return oldParentHandle;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags)
{
    if (!core::CheckUIThread("SetWindowPos"))
        return FALSE;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return FALSE;

    // Settle the z-order request before changing anything, so a bad handle changes nothing.
    bool restack = (flags & SWP_NOZORDER) == 0;
    bool bottom = false;
    Window* after = nullptr;
    if (restack) {
        if (insertAfter == HWND_BOTTOM) {
            bottom = true;
        } else if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST) {
            after = nullptr;
        } else if (insertAfter == HWND_NOTOPMOST) {
            restack = false;
        } else {
            after = FindWindow(insertAfter);
            if (after == nullptr)
                return FALSE;
            // Only a sibling gives a place; the window itself or a stranger leaves the order.
            if (after == window || after->parent != window->parent)
                restack = false;
        }
    }

    WindowHold hold(window);
    if (restack) {
        Restack(window, after, bottom, (flags & SWP_NOOWNERZORDER) == 0);
        if ((flags & SWP_NOREDRAW) == 0)
            InvalidateForChange(window);
    }
    bool shown = false;
    if ((flags & SWP_SHOWWINDOW) != 0 && (window->style & WS_VISIBLE) == 0) {
        window->style |= WS_VISIBLE;
        InvalidateForChange(window);
        shown = true;
    } else if ((flags & SWP_HIDEWINDOW) != 0 && (window->style & WS_VISIBLE) != 0) {
        window->style &= ~WS_VISIBLE;
        InvalidateForChange(window);
        TellBackend(window, TopLevelChange::Hidden);
        // As with ShowWindow: focus, capture and activation leave a hidden window.
        WindowHidden(window);
        if (window->dead)
            return TRUE;
    }

    RECT rect = window->rect;
    if ((flags & SWP_NOMOVE) == 0) {
        int left = ClampPosition(x);
        int top = ClampPosition(y);
        rect = {left, top, left + (rect.right - rect.left), top + (rect.bottom - rect.top)};
    }
    if ((flags & SWP_NOSIZE) == 0) {
        rect.right = rect.left + ClampSize(width);
        rect.bottom = rect.top + ClampSize(height);
    }
    MoveAndSize(window, rect, flags, true);
    if (shown && !window->dead) {
        TellBackend(window, TopLevelChange::Shown);
        WindowShown(window, (flags & SWP_NOACTIVATE) == 0);
    }
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint)
{
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hwnd)
{
    if (!SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE))
        return FALSE;
    // A visible, enabled top-level window raised this way also becomes the active window.
    if ((GetWindowLongW(hwnd, GWL_STYLE) & static_cast<LONG>(WS_CHILD)) == 0 && IsWindowVisible(hwnd) &&
        IsWindowEnabled(hwnd))
        SetActiveWindow(hwnd);
    return TRUE;
}

} // namespace win32
