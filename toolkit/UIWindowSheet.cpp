// A window that belongs to a parent element: owned by the parent's top-level window, which it keeps
// disabled while its own window exists.

#include "toolkit/UIWindowSheet.h"

using namespace win32;

UIWindowSheet::UIWindowSheet(UIElement* parent) : fParent(parent)
{
    // The first ancestor with a native part decides, whether or not it has a window yet.
    for (UIElement* element = parent; element != nullptr; element = element->GetParent()) {
        if (NativeUIElement* native = NativeUIElement::FromElement(element)) {
            if (HWND handle = native->GetNativeHandle())
                fOwnerWindow = NativeUIElement::TopLevelOf(handle);
            break;
        }
    }
    if (fOwnerWindow != nullptr)
        fOwnerElement = dynamic_cast<CXUIWindow*>(NativeUIElement::ElementFromHandle(fOwnerWindow));
}

UIWindowSheet::~UIWindowSheet()
{
    ReleaseOwner();
    fParent = nullptr;
}

CXMessageTarget* UIWindowSheet::GetDelegate() const
{
    return fParent.get();
}

UIElement* UIWindowSheet::GetParentElement() const
{
    return fParent.get();
}

HWND UIWindowSheet::GetOwnerWindow()
{
    return fOwnerWindow;
}

void UIWindowSheet::SetVisible(bool visible)
{
    if (visible) {
        if (auto* parentWindow = dynamic_cast<CXUIWindow*>(fParent.get()))
            CenterOverElement(parentWindow);
    }
    CXUIWindow::SetVisible(visible);
}

void UIWindowSheet::CreateSystemContext()
{
    // An owned sheet never shows a menu bar, so none is built (it would only be detached and lost).
    if (fOwnerWindow != nullptr)
        SetHasMenuBar(false);
    CXUIWindow::CreateSystemContext();
    if (GetNativeHandle() != nullptr)
        HoldOwner();
}

void UIWindowSheet::DestroySystemContext()
{
    if (ReleaseOwner())
        BringWindowToTop(fOwnerWindow);
    CXUIWindow::DestroySystemContext();
}

void UIWindowSheet::HoldOwner()
{
    if (fOwnerWindow == nullptr || fHold != Hold::None)
        return;
    if (fOwnerElement) {
        fHold = Hold::Count;
        fOwnerElement->RaiseModalDisable();
    } else {
        // A window of no toolkit element has no count to share.
        fHold = Hold::Native;
        EnableWindow(fOwnerWindow, FALSE);
    }
}

bool UIWindowSheet::ReleaseOwner()
{
    const Hold hold = fHold;
    fHold = Hold::None;
    switch (hold) {
    case Hold::Count:
        if (!fOwnerElement)
            return false;
        fOwnerElement->LowerModalDisable();
        return true;
    case Hold::Native:
        if (!IsWindow(fOwnerWindow))
            return false;
        EnableWindow(fOwnerWindow, TRUE);
        return true;
    case Hold::None:
        break;
    }
    return false;
}
