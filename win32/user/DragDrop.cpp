#include "win32/user/DragDrop.h"

#include "foundation/CXDebug.h"
#include "win32/core/Core.h"
#include "win32/user/WindowState.h"

namespace win32 {

namespace user {

void DropTargetWindowGone(Window* window)
{
    if (window->dropTarget == nullptr)
        return;
    CXDebugLog("DestroyWindow> window %p destroyed with its drop target %p registered; the target is never released",
               static_cast<void*>(window->handle), static_cast<void*>(window->dropTarget));
    window->dropTarget = nullptr;
}

} // namespace user

namespace {

// The live window of a registration call, or null with the call's failure in *failure.
user::Window* RegistrationWindow(const char* function, HWND hwnd, HRESULT* failure)
{
    if (!core::CheckUIThread(function)) {
        *failure = E_FAIL;
        return nullptr;
    }
    if (hwnd == nullptr) {
        *failure = E_INVALIDARG;
        return nullptr;
    }
    user::Window* window = user::FindWindow(hwnd);
    if (window == nullptr)
        *failure = DRAGDROP_E_INVALIDHWND;
    return window;
}

} // namespace

HRESULT RegisterDragDrop(HWND hwnd, IDropTarget* target)
{
    HRESULT failure = S_OK;
    user::Window* window = RegistrationWindow("RegisterDragDrop", hwnd, &failure);
    if (window == nullptr)
        return failure;
    if (target == nullptr)
        return E_INVALIDARG;
    if (window->dropTarget != nullptr)
        return DRAGDROP_E_ALREADYREGISTERED;
    target->AddRef();
    window->dropTarget = target;
    return S_OK;
}

HRESULT RevokeDragDrop(HWND hwnd)
{
    HRESULT failure = S_OK;
    user::Window* window = RegistrationWindow("RevokeDragDrop", hwnd, &failure);
    if (window == nullptr)
        return failure;
    IDropTarget* target = window->dropTarget;
    if (target == nullptr)
        return DRAGDROP_E_NOTREGISTERED;
    // Forgotten first: the last Release may run code that registers or revokes again.
    window->dropTarget = nullptr;
    target->Release();
    return S_OK;
}

IDropTarget* DropTargetAtPoint(POINT screen, HWND* found)
{
    if (found != nullptr)
        *found = nullptr;
    if (!core::CheckUIThread("DropTargetAtPoint"))
        return nullptr;
    for (user::Window* window = user::HitTest(screen); window != nullptr; window = window->parent) {
        if (window->dropTarget == nullptr)
            continue;
        if (found != nullptr)
            *found = window->handle;
        return window->dropTarget;
    }
    return nullptr;
}

} // namespace win32
