#pragma once

#include "datanode/CXApplicationSettings.h"
#include "foundation/CXLinkedList.h"
#include "foundation/CXReferenceCount.h"
#include "foundation/CXSafePointer.h"
#include "toolkit/NativeUIElement.h"
#include "toolkit/UIElement.h"
#include "win32/user/Paint.h"

#include <vector>

class CXApplicationSettings;
class CXUIWindow;
class RazaGraf;
class UICustomControlBase;

// The node that puts a window into the process-wide window list.
class CXUIWindowListLink : public CXLinkedListNode {
public:
    explicit CXUIWindowListLink(CXUIWindow* owner) : fOwner(owner) {}
    CXUIWindow* GetOwner() const { return fOwner; }

private:
    CXUIWindow* fOwner;
};

// The element that owns a top-level window of the class "raza.CXUIWindow". It keeps its frame
// equal to the window's client rectangle in screen coordinates, turns window messages into
// element operations and named messages ("activate", "deactivate", "Close",
// "CXUIWindow::BeginResizeMove", "CXUIWindow::EndResizeMove", all with the window as sender),
// draws its windowless children and routes the mouse to them.
//
// Every live window is in one process-wide list, most recently activated or created first. When
// the last visible window goes away, after some window has been shown, the quit flag is set and
// WM_QUIT posted, which ends the main loop. All of it belongs to the main thread.
class CXUIWindow : public UIElement, public NativeUIElement {
public:
    // Hidden, closable, resizable and enabled, at the head of the window list.
    CXUIWindow();
    // Ends a modal state, leaves the window list and applies the quit rule.
    ~CXUIWindow() override;

    // --- UIElement ---
    // "Close" and "ForceClose" hide and destroy the window (result 0) before any added message
    // handler sees them: a window that may refuse to close overrides HandleMessage.
    CXResultCode HandleMessage(const CXMessage& message) override;
    // Windowless children are invalidated; a child's window is moved into this window, stacked
    // right below `before`'s window (for a windowless `before`, the next later sibling's window
    // that exists), at the bottom without one.
    UIElement* AddChild(UIElement* child, UIElement* before) override;
    // Showing shows the window whenever it exists; hiding a shown window ends its modal state,
    // hides it and applies the quit rule.
    void SetVisible(bool visible) override;
    // The window's own visible flag.
    bool IsShown() const override;
    bool IsAppearingActive() const override;
    // Also the window caption (UTF-16).
    void SetTitle(const CXString& title) override;
    void InvalidateRegion(const RazaRegion& region) override;
    void InvalidateBox(const Box2i& box) override;
    void InvalidateAll() override;
    void SetFocus() override;
    bool HasFocus() const override;
    bool IsAdapter() const override;
    // Registers the window class once, makes the window (hidden) with the style of the closable
    // and resizable flags, builds the menu bar, sets the enabled state, makes the children's
    // contexts, then applies the visible flag.
    void CreateSystemContext() override;
    // Saves the placement, ends a modal state, drops the children's contexts and the menu bar,
    // unbinds and destroys the window.
    void DestroySystemContext() override;
    // Moves the window so that its client rectangle is the frame (screen coordinates).
    void ApplyLayout() override;
    void ChildrenChanged() override;
    void ChildLayoutChanged() override;
    void ChildVisibilityChanged() override;
    const UIAppearanceImplementation* ChooseAppearanceImplementation(const UIAppearanceImplementation* requested,
                                                                      UIElement* parent) const override;

    // --- NativeUIElement ---
    win32::LRESULT HandleNativeMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam) override;

    // --- Window operations ---
    // The whole window rectangle, screen coordinates.
    virtual void SetWindowFrame(int32_t x, int32_t y, int32_t width, int32_t height);
    // Without it the window has no system menu and so no close box.
    virtual void SetClosable(bool closable);
    // Without it the window has neither a sizing border nor a maximise box.
    virtual void SetResizable(bool resizable);
    // The smallest client size the user may size the window to.
    virtual void SetMinimumSize(int32_t width, int32_t height);
    // The window's own enabled flag. The window is enabled when the flag is set and no modal
    // window holds it disabled.
    virtual void SetEnabled(bool enabled);
    // Fills the bounds with the background colour, then draws the windowless children.
    virtual void Draw(RazaGraf& graf);
    // The owner passed to CreateWindowExW; none here.
    virtual win32::HWND GetOwnerWindow();

    // Centres the window's client rectangle over the element's frame (a window's frame is its
    // client rectangle on the screen), kept on the virtual screen. An element narrower or lower
    // than the window is overhung equally on both sides. Nothing for null.
    void CenterOverElement(UIElement* element);
    // The client rectangle (screen coordinates) moved, keeping its size, so that the window's top
    // edge lies between the virtual screen's top and 10 pixels above its bottom, and at least 10
    // pixels of the window stay on the screen horizontally. Only the top edge is tested against
    // the bottom: a window taller than the screen overhangs the bottom.
    [[nodiscard]] Box2i ConstrainToVirtualScreen(const Box2i& clientRect) const;

    bool IsClosable() const { return fClosable != 0; }
    bool IsResizable() const { return fResizable != 0; }
    bool IsEnabled() const { return fEnabled != 0; }
    bool IsModal() const { return fModal != 0; }
    // How many modal windows hold this window disabled.
    int32_t GetModalDisableCount() const { return fModalDisableCount; }
    void SetHasMenuBar(bool hasMenuBar) { fHasMenuBar = hasMenuBar ? 1 : 0; }

    // A modal window disables every other window that answers to no element (neither placed in
    // the tree nor a sheet with a parent) and enables them again when it stops being modal: when
    // hidden, destroyed or told so. Nothing when unchanged.
    void SetModal(bool modal);
    // Restores a minimised window, then brings it to the top (which activates it).
    void BringToFront();
    // Writes the placement record under the placement label when a settings object and a label
    // are attached.
    void SavePlacement();
    void SetPlacementStore(CXApplicationSettings* settings, const CXString& label);

    // --- The window list ---
    // The first window of the list that is not the parking window and, unless includeHidden,
    // is visible; null when there is none.
    static CXUIWindow* GetFrontWindow(bool includeHidden);
    // RequestClose on the first visible window: false when there is none, when it is not
    // closable, or when "Close" was not handled.
    static bool CloseFrontWindow();
    // Sends "Close" (sender the window) to the window; its result.
    static CXResultCode RequestClose(CXUIWindow* window);
    // The element of the focused window when it lies in `window` (itself or a descendant); for a
    // custom control, the innermost windowless control that holds its keyboard focus. Null
    // otherwise.
    static UIElement* GetFocusedElement(CXUIWindow* window);
    // The nearest ancestor (not the element itself) that is a window.
    static CXUIWindow* GetContainingWindow(UIElement* element);
    // The quit rule: quits when no window is visible and one was shown before.
    static void QuitIfNoWindowVisible();
    // Sets the quit flag and posts WM_QUIT(0).
    static void QuitNow();
    static bool IsQuitRequested();

    // The hidden window that holds controls not yet placed: made (and initialised) on first
    // need. Null when it cannot be made, which is logged.
    static CXUIWindow* EnsureParkingWindow();
    static CXUIWindow* GetParkingWindow();
    static win32::HWND GetParkingWindowHandle();
    static void DestroyParkingWindow();

    // Forgets the window-shown and quit flags (tests start each case afresh).
    static void ResetProcessStateForTesting();

private:
    friend class CXUIWindowList;
    // Sheets and the file dialogs keep their owner disabled through the count.
    friend class UIWindowSheet;
    friend class UIFileDialogs;

    static void NoteWindowShown();
    void UnlinkFromWindowList();
    void MoveToListHead();
    // Raise and lower the modal-disable count; the window is re-enabled or disabled to match.
    void RaiseModalDisable();
    void LowerModalDisable();
    void ApplyEnabledState();
    void ApplyFrameStyle();
    // Mouse routing to windowless children.
    UIElement* WindowlessChildAt(Vector2i point) const;
    void RouteMouse(Vector2i clientPoint, int32_t modifiers, int32_t phase);
    void CancelMouse();
    // The double-buffered paint of WM_PAINT.
    void Paint();
    void UpdateActivation(bool active);
    int32_t MouseModifiers(win32::WPARAM wParam) const;

    win32::HDC fCompositingDeviceContext = nullptr;
    UIElement* fPressed = nullptr;
    UIElement* fHovered = nullptr;
    uint8_t fMouseCaptured = 0;
    Vector2i fLastMousePoint{-1, -1};
    CXAutoReference<CXApplicationSettings> fPlacementSettings;
    CXString fPlacementLabel;
    int32_t fMinimumWidth = -1;
    int32_t fMinimumHeight = -1;
    uint8_t fActive = 0;
    uint8_t fHasMenuBar = 1;
    CXUIWindowListLink fListLink{this};
    uint8_t fClosable = 1;
    uint8_t fResizable = 1;
    uint8_t fEnabled = 1;
    uint8_t fModal = 0;
    int32_t fModalDisableCount = 0;
    // The windows this modal window holds disabled.
    std::vector<CXSafePointer<CXUIWindow>> fModalDisabled;
};
