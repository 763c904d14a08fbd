#include "toolkit/NativeUIElement.h"

#include "foundation/CXDebug.h"
#include "toolkit/CXMenu.h"
#include "toolkit/CXUIWindow.h"
#include "toolkit/UIElement.h"
#include "win32/user/DragDrop.h"

#include <unordered_map>

using namespace win32;

namespace {

// Bound windows between their WM_DESTROY and WM_NCDESTROY. Main thread only.
std::unordered_map<HWND, NativeUIElement*>& DyingWindows()
{
    static auto* windows = new std::unordered_map<HWND, NativeUIElement*>;
    return *windows;
}

} // namespace

NativeUIElement::~NativeUIElement()
{
    if (fNativeHandle != nullptr)
        CXDebugError("~NativeUIElement> native handle still allocated");
    std::erase_if(DyingWindows(), [this](const auto& entry) { return entry.second == this; });
}

UIElement* NativeUIElement::ElementFromHandle(HWND hwnd)
{
    if (hwnd == nullptr || !IsWindow(hwnd))
        return nullptr;
    if (reinterpret_cast<HMODULE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE)) != GetModuleHandleW(nullptr))
        return nullptr;
    return reinterpret_cast<UIElement*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

NativeUIElement* NativeUIElement::FromElement(UIElement* element)
{
    return dynamic_cast<NativeUIElement*>(element);
}

HWND NativeUIElement::GetNativeHandle(const UIElement* element)
{
    const auto* native = dynamic_cast<const NativeUIElement*>(element);
    return native != nullptr ? native->fNativeHandle : nullptr;
}

HWND NativeUIElement::TopLevelOf(HWND hwnd)
{
    HWND top = hwnd;
    for (HWND parent = top != nullptr ? GetParent(top) : nullptr; parent != nullptr; parent = GetParent(parent))
        top = parent;
    return top;
}

void NativeUIElement::SetNativeFrame(const Box2i& frame)
{
    if (fNativeHandle == nullptr)
        return;
    SetWindowPos(fNativeHandle, nullptr, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_NOOWNERZORDER);
}

void NativeUIElement::ParkNativeWindow()
{
    if (fNativeHandle == nullptr)
        return;
    CXUIWindow* parking = CXUIWindow::EnsureParkingWindow();
    HWND parkingHandle = parking != nullptr ? parking->GetNativeHandle() : nullptr;
    if (parkingHandle != nullptr)
        SetParent(fNativeHandle, parkingHandle);
}

void NativeUIElement::AttachChildWindow(NativeUIElement* child)
{
    if (child == nullptr || child->fNativeHandle == nullptr || fNativeHandle == nullptr)
        return;
    SetParent(child->fNativeHandle, fNativeHandle);
    SetWindowPos(child->fNativeHandle, HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_NOOWNERZORDER);
}

bool NativeUIElement::PreTranslateMessage(UINT, WPARAM, LPARAM)
{
    return false;
}

LRESULT NativeUIElement::HandleSubclassMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (fNativeHandle == nullptr)
        return 0;
    return DefSubclassProc(fNativeHandle, message, wParam, lParam);
}

namespace {

// The native part of the element bound to a window other than `self`, or null.
NativeUIElement* OtherNativePart(HWND hwnd, HWND self)
{
    if (hwnd == nullptr || hwnd == self)
        return nullptr;
    return NativeUIElement::FromElement(NativeUIElement::ElementFromHandle(hwnd));
}

} // namespace

LRESULT NativeUIElement::HandleNativeMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header != nullptr) {
            if (NativeUIElement* from = OtherNativePart(header->hwndFrom, fNativeHandle))
                return from->HandleNativeMessage(message, wParam, lParam);
        }
        break;
    }
    case WM_COMMAND:
        if (lParam == 0 && wParam == static_cast<WPARAM>(IDOK)) {
            // Enter in a dialog-navigated window: the focused control decides what it means.
            if (NativeUIElement* focused = OtherNativePart(GetFocus(), fNativeHandle))
                return focused->HandleNativeMessage(message, wParam, lParam);
            break;
        }
        [[fallthrough]];
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        if (NativeUIElement* control = OtherNativePart(reinterpret_cast<HWND>(lParam), fNativeHandle))
            return control->HandleNativeMessage(message, wParam, lParam);
        break;
    case WM_MENUCOMMAND:
        if (CXMenu::DispatchMenuCommand(reinterpret_cast<HMENU>(lParam), static_cast<UINT>(wParam)))
            return 0;
        break;
    case WM_ENTERMENULOOP:
        CXMenu::RefreshMenus();
        return 0;
    default:
        break;
    }
    if (fNativeHandle == nullptr)
        return 0;
    return DefWindowProcW(fNativeHandle, message, wParam, lParam);
}

LRESULT UIWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCDESTROY) {
        // The window may go without its element's doing (with its owner or parent): the element
        // must not keep the dead handle.
        auto dying = DyingWindows().find(hwnd);
        if (dying != DyingWindows().end()) {
            NativeUIElement* native = dying->second;
            DyingWindows().erase(dying);
            if (native->GetNativeHandle() == hwnd)
                native->SetNativeHandle(nullptr);
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    UIElement* element = NativeUIElement::ElementFromHandle(hwnd);
    NativeUIElement* native = NativeUIElement::FromElement(element);
    if (native == nullptr) {
        if (message != WM_CREATE || element != nullptr)
            return DefWindowProcW(hwnd, message, wParam, lParam);
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        element = create != nullptr ? static_cast<UIElement*>(create->lpCreateParams) : nullptr;
        native = NativeUIElement::FromElement(element);
        if (native == nullptr)
            return DefWindowProcW(hwnd, message, wParam, lParam);
        native->SetNativeHandle(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(element));
        LRESULT result = native->HandleNativeMessage(message, wParam, lParam);
        if (result == -1) {
            // Creation refused: only WM_NCDESTROY follows, which no longer finds the binding.
            native->SetNativeHandle(nullptr);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        }
        return result;
    }
    if (message == WM_DESTROY) {
        // The handle is dead by WM_NCDESTROY, so the binding is noted while it can still be read.
        DyingWindows()[hwnd] = native;
        // A window going with its parent or owner never passes through its element's own teardown:
        // its drop target is given back here, or the registration's reference would be lost.
        (void)win32::RevokeDragDrop(hwnd);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return native->HandleNativeMessage(message, wParam, lParam);
}

LRESULT UISubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (NativeUIElement* native = NativeUIElement::FromElement(NativeUIElement::ElementFromHandle(hwnd)))
        return native->HandleSubclassMessage(message, wParam, lParam);
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

bool PreTranslateForElement(const MSG& message)
{
    if (NativeUIElement* native = NativeUIElement::FromElement(NativeUIElement::ElementFromHandle(message.hwnd)))
        return native->PreTranslateMessage(message.message, message.wParam, message.lParam);
    return false;
}
