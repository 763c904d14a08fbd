#include "win32/core/Core.h"
#include "win32/user/QueueState.h"

#include <vector>

namespace win32 {

namespace user {

namespace {

bool Usable(const Window* window)
{
    return !window->dead && (window->style & WS_VISIBLE) != 0 && (window->style & WS_DISABLED) == 0;
}

// Every descendant in tab order (depth-first, topmost child first), with whether it is a stop.
// Only visible, enabled control parents are entered.
void Walk(Window* parent, std::vector<std::pair<Window*, bool>>& order)
{
    for (Window* child : parent->children) {
        if (child->dead)
            continue;
        bool controlParent = (child->exStyle & WS_EX_CONTROLPARENT) != 0;
        bool stop = !controlParent && Usable(child) && (child->style & WS_TABSTOP) != 0;
        order.emplace_back(child, stop);
        if (controlParent && Usable(child))
            Walk(child, order);
    }
}


} // namespace

} // namespace user

using namespace user;

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous)
{
    if (!core::CheckUIThread("GetNextDlgTabItem"))
        return nullptr;
    Window* dlg = FindWindow(dialog);
    if (dlg == nullptr)
        return nullptr;
    std::vector<std::pair<Window*, bool>> order;
    Walk(dlg, order);
    size_t count = order.size();
    if (count == 0)
        return nullptr;
    Window* start = control != nullptr && control != dialog ? PeekWindow(control) : nullptr;
    size_t at = count;
    for (size_t i = 0; start != nullptr && i < count; ++i) {
        if (order[i].first == start)
            at = i;
    }
    if (at == count) {
        // From nothing (or a window outside the walk): the first stop, or going back the last.
        for (size_t i = 0; i < count; ++i) {
            const auto& entry = order[previous ? count - 1 - i : i];
            if (entry.second)
                return entry.first->handle;
        }
        return nullptr;
    }
    for (size_t step = 1; step < count; ++step) {
        size_t i = previous ? (at + count - step) % count : (at + step) % count;
        if (order[i].second)
            return order[i].first->handle;
    }
    return nullptr;
}

BOOL IsDialogMessageW(HWND dialog, MSG* msg)
{
    if (!core::CheckUIThread("IsDialogMessageW"))
        return FALSE;
    Window* dlg = FindWindow(dialog);
    if (dlg == nullptr || msg == nullptr)
        return FALSE;
    Window* target = PeekWindow(msg->hwnd);
    if (target == nullptr || !IsInside(target, dlg))
        return FALSE;
    WindowHold hold(dlg);
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
        Window* focus = PeekWindow(GetFocus());
        LRESULT code = 0;
        if (focus != nullptr) {
            WindowHold focusHold(focus);
            code = Dispatch(focus, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
        }
        if ((code & DLGC_WANTALLKEYS) == 0 && !dlg->dead) {
            if (msg->wParam == VK_ESCAPE) {
                Dispatch(dlg, WM_COMMAND, IDCANCEL, 0);
            } else if (focus != nullptr && !focus->dead && focus != dlg && IsInside(focus, dlg) &&
                       (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0) {
                Dispatch(dlg, WM_COMMAND, MAKEWPARAM(static_cast<int>(focus->id), BN_CLICKED),
                         reinterpret_cast<LPARAM>(focus->handle));
            } else {
                Dispatch(dlg, WM_COMMAND, IDOK, 0);
            }
            return TRUE;
        }
    }
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return TRUE;
}

} // namespace win32
