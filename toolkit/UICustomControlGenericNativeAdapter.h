#pragma once

// Native controls under generic (custom-drawn) parents. A native control needs a window under a
// window, which a windowless parent does not have: the adapter is a windowed custom control that
// holds the native control as its only child and keeps its own window in the nearest ancestor's
// window, at the place and with the visibility the control has in the generic parent. Main
// thread only.

#include "foundation/CXSafePointer.h"
#include "toolkit/UIAppearance.h"
#include "toolkit/UICustomControl.h"

class UICustomControlGenericNativeAdapter : public UICustomControl {
public:
    // Hint 4: a transparent window that paints nothing of its own.
    UICustomControlGenericNativeAdapter();

    // The native control held, or null once it left.
    CXUIControl* GetWrapped() const { return fWrapped.get(); }
    // Takes the control as its child, with its layout and visibility.
    void Wrap(CXUIControl* control);

    // --- UIElement ---
    // The parent's size (0 without a parent), so the control's anchors reach as far as they
    // would in the parent itself.
    int32_t GetWidth() const override;
    int32_t GetHeight() const override;
    // The element's layout; the control is laid out again when the parent's size changed.
    void LayoutChildren() override;
    // The control's.
    void GetMinimumSize(int32_t& width, int32_t& height) const override;
    void GetInsets(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const override;
    Box2i GetBounds() const override;
    // The control's frame top-left, so the control's window sits at the adapter window's origin.
    Vector2i GetContentOrigin() const override;
    bool IsAdapter() const override;
    // Forgets the control first: its leaving then does not destroy the adapter a second time.
    void Destroy() override;
    // The frame; the window goes to it in the client area of the nearest ancestor's window.
    void ApplyLayout() override;
    // Once the control has left, the adapter destroys itself.
    void ChildrenChanged() override;
    // The adapter takes the control's layout and visibility.
    void ChildLayoutChanged() override;
    void ChildVisibilityChanged() override;
    // The window is parked; when shown it moves into the nearest ancestor's window, at the
    // bottom of its siblings there. Then the children hear of it.
    void NotifyHierarchyVisibilityChanged(bool shown) override;
    // Always native: the adapter has a window whatever its parent.
    const UIAppearanceImplementation* ChooseAppearanceImplementation(const UIAppearanceImplementation* requested,
                                                                      UIElement* parent) const override;

private:
    // The nearest ancestor with a window, or null.
    UIElement* WindowAncestor() const;
    // Moves the window to the frame in the client area of the ancestor's window.
    void PlaceWindowIn(UIElement* ancestor);

    // Cleared when the control dies, also without Destroy.
    CXSafePointer<CXUIControl> fWrapped;
    int32_t fLastWidth = 0;
    int32_t fLastHeight = 0;
};

// Wraps native controls (CXUIControl) added under generic parents in a
// UICustomControlGenericNativeAdapter.
class UIAppearanceAdapterGenericNative final : public UIAppearanceImplementationAdapter {
public:
    // Null for an element that is not a native control; null and "oops?" logged for an adapter.
    // Otherwise the element leaves its parent and is wrapped in a new, initialised adapter, which
    // is answered for the caller to put where the element was.
    UIElement* CreateWrapperForUIElement(UIElement* element) override;

    // Registers the process-wide adapter for the pair (generic parent, native child); start-up
    // does it once. Unregister takes it out again.
    static void Register();
    static void Unregister();
};
