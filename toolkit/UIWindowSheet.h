#pragma once

#include "foundation/CXSafePointer.h"
#include "toolkit/CXUIWindow.h"

// A top-level window that belongs to a parent element: its window is owned by the top-level
// window of the parent's nearest element with a native part, it has no menu bar, it keeps that
// owner disabled while its window exists, and it is centred over a parent window when shown.
// Messages it does not handle go on to the parent.
//
// The owner is disabled through its modal-disable count, so several sheets over one owner (or a
// modal window and a sheet) each hold it on their own: the owner comes back only when the last
// one lets go.
class UIWindowSheet : public CXUIWindow {
public:
    // `parent` is borrowed; the sheet forgets it when it dies. The owner is found here, once: none
    // when no ancestor of the parent (the parent included) has a native part with a window.
    explicit UIWindowSheet(UIElement* parent);
    // Lets go of the owner when the window was never destroyed.
    ~UIWindowSheet() override;

    // --- CXMessageTarget ---
    // The parent element (null once it died).
    CXMessageTarget* GetDelegate() const override;

    // --- UIElement ---
    // Showing over a live parent window centres the sheet over it first (kept on the screen).
    void SetVisible(bool visible) override;
    // Makes the window (owned, without a menu bar when there is an owner) and disables the owner.
    void CreateSystemContext() override;
    // Enables the owner again (unless it died meanwhile), brings it to the top, then destroys the
    // window.
    void DestroySystemContext() override;

    // --- CXUIWindow ---
    // The owner window found at construction; none without one.
    win32::HWND GetOwnerWindow() override;

    // The parent element; null once it died.
    UIElement* GetParentElement() const;

private:
    // How the owner is held disabled: through its count, or (a window of no toolkit element)
    // through EnableWindow.
    enum class Hold : uint8_t { None, Count, Native };

    void HoldOwner();
    // Lets go of the owner; true when it is still there.
    bool ReleaseOwner();

    CXSafePointer<UIElement> fParent;
    win32::HWND fOwnerWindow = nullptr;
    // The owner's element when it is a toolkit window: its count carries the disable.
    CXSafePointer<CXUIWindow> fOwnerElement;
    Hold fHold = Hold::None;
};
