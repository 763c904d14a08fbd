#pragma once

#include "toolkit/CXUIControl.h"
#include "toolkit/UICustomControlBase.h"

#include <cstdint>
#include <vector>

class UICustomControlDropTarget;

// The base of the controls the toolkit draws itself: wizard pages, labels, icons, the text view.
// By its compositing hint a control either owns a child window (class "UICustomControl", or
// "UICustomControlNoPaint" for hint 5) or is windowless and drawn by its parent:
//
//   0, 1  double-buffered painting: background fill, then the windowless children
//   2     as 0, drawn straight onto the paint DC
//   3     windowless under a window or a custom control
//   4     straight onto the paint DC, no background (WS_EX_TRANSPARENT)
//   5     the window is never painted
//
// Any child of a windowless control is windowless too. The window procedure turns the window's
// traffic into HandleMouse (0 press, 1 double-click press, 2 drag, 4 release, 5 cancel when the
// capture is lost, 6 hover), HandleContextClick, HandleWheel, HandleKey and HandleText calls, and
// into "action-event" messages (CXMessageUserActionEvent) offered to the control's HandleMessage,
// which consumes them. Mouse input goes on to the windowless child under the pointer; the keyboard
// focus passes down a chain of windowless controls (focusedChild). Main thread only.
class UICustomControl : public CXUIControl, public UICustomControlBase {
public:
    // Input modes of SetInputMode.
    static constexpr int32_t kInputNormal = 0;
    // While the window has the focus the cursor is hidden, kept inside the window and re-centred;
    // each move is reported as an "action-event" with its delta.
    static constexpr int32_t kInputLowLevel = 1;
    // Moves without a pressed button are reported as "action-event"s with their deltas.
    static constexpr int32_t kInputPointerMotion = 2;

    UICustomControl();
    // Forgets the control's wheel remainders.
    ~UICustomControl() override;

    // --- UIElement ---
    // Consumes "action-event" (0); anything else goes to the handlers, then up the chain.
    CXResultCode HandleMessage(const CXMessage& message) override;
    // Chooses the family under the parent the control has now (native without one), then makes
    // the system context.
    void Init() override;
    // A custom child is counted in this control (drag types, hover and activation) and a
    // windowless one is invalidated.
    UIElement* AddChild(UIElement* child, UIElement* before) override;
    // Leaves the parent's counts; a windowless control invalidates its frame in the parent.
    void RemoveFromParent() override;
    void SetVisible(bool visible) override;
    // The stored state; reported when the control does not receive activation.
    bool IsAppearingActive() const override;
    // {0, 0, W, H}: the size the children need by their anchors.
    Box2i GetBounds() const override;
    // Content coordinates, clipped to the visible content box; nothing while hidden. A windowless
    // control passes the area on to its parent in the parent's coordinates.
    void InvalidateRegion(const RazaRegion& region) override;
    void InvalidateBox(const Box2i& box) override;
    void InvalidateAll() override;
    // SetKeyboardFocus and HasKeyboardFocus of this control.
    void SetFocus() override;
    bool HasFocus() const override;
    Vector2i GetContentOrigin() const override;
    // Makes the window (none when windowless), then joins the parent's counts.
    void CreateSystemContext() override;
    // Leaves the parent's counts, then destroys the window.
    void DestroySystemContext() override;
    // Forgets a focused or tracked child that is no longer a child.
    void ChildrenChanged() override;
    // True while windowless.
    bool NeedsRelayout() const override;
    // Generic for hint 3 under a custom control or a window; otherwise native when that was
    // requested, else generic.
    const UIAppearanceImplementation* ChooseAppearanceImplementation(const UIAppearanceImplementation* requested,
                                                                      UIElement* parent) const override;

    // --- CXUIControl ---
    // The focused windowless child loses the focus (and is forgotten).
    void FocusLost() override;
    // The window's messages, as the class comment says; what the control leaves goes to
    // CXUIControl.
    win32::LRESULT HandleNativeMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam) override;

    // --- UICustomControlBase ---
    // A context on the window's whole-window DC; one without a DC when there is no window.
    CXAutoReference<RazaGraf> CreateGraf() override;
    // Hit region: the bounds, or for hint 4 the children's hit regions. Drawn region: the bounds,
    // or for hints 3 and 4 the children's drawn regions. Other kinds: the bounds.
    RazaRegion GetRegion(int32_t kind) override;
    // Fills the visible content with the appearance's background colour (not for hint 4), then
    // draws the visible windowless children, later ones over earlier ones.
    void Draw(RazaGraf& graf) override;
    // Routes the mouse to the first visible windowless child whose hit region holds the point; a
    // press gives that child the keyboard focus, and the drag and the release go to the child that
    // took the press. Hover reaches only children that track it, which are told of entering and
    // leaving. False when no child takes it.
    bool HandleMouse(Vector2i point, int32_t modifiers, int32_t phase) override;
    // To the first visible windowless child whose frame holds the point.
    bool HandleContextClick(Vector2i point, Vector2i screenPoint) override;
    // To the first visible windowless child whose frame holds the point; otherwise the control's
    // HandleScrollWheel. True.
    bool HandleWheel(const UIScrollWheelEvent& wheel) override;
    // Passes the state on to the visible windowless children that show activation.
    void SetAppearingActive(bool active) override;
    // SetFocus on the window unless it is parked.
    void TakeNativeFocus() override;
    // The control's FocusLost.
    void LostKeyboardFocus() override;
    // To the focused windowless child.
    bool HandleText(const char16_t* text, int32_t byteLength, int32_t modifiers) override;
    // The tracked child hears it too and is forgotten.
    void MouseExited() override;
    // Stores the hint (reported, but done, once the control has children); the next paint makes
    // its memory DC afresh.
    void SetCompositingHint(int32_t hint) override;
    // Makes the drop target once (kept for the control's life) and registers it on the window when
    // there is one; a window made later registers it then. A target made before is left as it is.
    void UpdateDropRegistration() override;
    // The control's family is the generic one: it has no window and its parent draws it.
    bool IsWindowless() const override;

    // --- Custom control operations ---
    // Nothing when unchanged. While the window has the focus, leaving or entering the low-level
    // mode ends or starts it.
    virtual void SetInputMode(int32_t mode);

    // Moves the content: unchanged, nothing. A windowless control repaints; a windowed one repaints
    // too when redrawOnScroll is set, else scrolls its window's pixels and child windows. Then the
    // children are laid out again.
    void SetContentOrigin(Vector2i origin);
    // The keyboard focus to a control: a windowed one takes the window focus; a windowless one
    // first gives it to its custom-drawn parent (up the chain), then becomes that parent's focused
    // child (GotKeyboardFocus). Nothing when it is the focused child already.
    static void SetKeyboardFocus(UICustomControlBase* control);
    // The focus rests on this control: not on one of its windowless children, and it is its
    // parent's focused child while the parent has the focus (a windowed control: its window has
    // the window focus).
    bool HasKeyboardFocus() const;
    // Nothing when unchanged; otherwise counted again in the parents.
    void SetReceivesActivation(bool receives);
    void SetTracksHover(bool tracks);
    // One more (newFlag set) or one fewer activation or hover-tracking descendant when the flags
    // differ, counted again in the parents.
    void AdjustActivationCount(bool oldFlag, bool newFlag);
    void AdjustHoverCount(bool oldFlag, bool newFlag);
    // The hit region holds the point (control coordinates).
    bool ContainsPoint(Vector2i point);
    // Counts this control's drag types, hover tracking and activation (its own and its
    // descendants') in its custom-drawn parent, or takes them out again. Only a windowless,
    // visible control is counted; each change in the parent is counted in the parent's parent in
    // turn. Called with false before and true after every change that can alter them.
    void UpdateParentDrawnAttributes(bool attach);
    // The drag-data types the control accepts ("TEXT", "filepath"): the same list again changes
    // nothing; otherwise the control is counted again in its parents with the new list and
    // updates its drop registration.
    void SetDragTypes(const std::vector<CXString>& types);
    // The drop target, null until UpdateDropRegistration made it. Borrowed.
    UICustomControlDropTarget* GetDropTarget() const { return fDropTarget; }
    // For a window made afterwards.
    void SetTabStop(bool tabStop) { fTabStop = tabStop ? 1 : 0; }
    // From the next click on, a press no longer focuses the window.
    void DisableFocusOnClick() { fFocusOnClick = 0; }
    int32_t GetInputMode() const { return fInputMode; }
    // The cheap distance of an offset that click, drag and cursor thresholds use, in 15-bit fixed
    // point: exact along the axes, within a few per cent elsewhere.
    static int64_t ApproximateDistance(Vector2i offset);

protected:
    // The window of the hint (nothing when windowless): registers the two classes on first use.
    void CreateNativeWindow() override;
    // Releases a capture the control holds, runs NativeWindowDestroying, deletes the memory DC,
    // then destroys the window.
    void DestroyNativeWindow() override;
    // Only a windowed control has a window to attach.
    void AttachToParentWindow() override;
    // Right after the window is made, and right before it is destroyed. Nothing here.
    virtual void NativeWindowCreated();
    virtual void NativeWindowDestroying();
    // The visible windowless children, later ones over earlier ones: Draw without the background.
    void DrawWindowlessChildren(RazaGraf& graf);

private:
    // Window procedure pieces.
    void HandleMouseButton(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam);
    void HandleLeftButton(win32::UINT message, Vector2i point, int32_t modifiers);
    void HandleRightButton(bool down, Vector2i point, Vector2i client);
    void HandleMouseMove(win32::WPARAM wParam, win32::LPARAM lParam);
    void HandleWheelMessage(bool horizontal, win32::WPARAM wParam, win32::LPARAM lParam);
    // False once the control is gone.
    bool HandleKeyMessage(win32::UINT message, win32::WPARAM wParam);
    void HandleCharacter(char16_t unit);
    void HandleCaptureLost(win32::HWND newHolder);
    void Paint();
    // Draws the paint rectangle into a bitmap of the memory DC clipped to the system region, then
    // copies it to the window.
    void PaintBuffered(win32::HWND handle, win32::HDC paintDC, const win32::RECT& area);
    // Draw through a context on the DC, clipped to the control and moved by the content origin.
    void DrawThrough(win32::HDC dc);
    void StartLowLevelInput();
    void EndLowLevelInput();
    // A client point of a mouse message in element and client-plus-offset terms.
    Vector2i ElementPoint(win32::LPARAM lParam) const;
    Vector2i ClientPoint(win32::LPARAM lParam) const;
    int32_t MouseModifiers(win32::WPARAM wParam) const;
    // Sends an "action-event" to HandleMessage.
    void SendActionEvent(const CXMessage& event);
    // The visible content box: {origin, origin + size}.
    Box2i ContentBox() const;
    // The union of the windowless children's regions of a kind, clipped to the bounds.
    RazaRegion ChildrenRegion(int32_t kind);
    // The first visible windowless child whose hit region holds the point (content coordinates),
    // or null; and the first whose frame holds it.
    UICustomControlBase* HitChild(Vector2i point) const;
    UIElement* ChildWhoseFrameHolds(Vector2i point) const;
    // Adds (sign 1) or takes out (-1) a child's contribution to this control's counts.
    void CountChild(UICustomControlBase& child, int32_t sign);
    // The drop target on the window and off it again (UICustomControlDrop.cpp); nothing without a
    // target or a window.
    void RegisterDropTarget();
    void RevokeDropTarget();

    Vector2i fLastCursor;
    uint8_t fControlParent = 1;
    uint8_t fLowLevelInputActive = 0;
    uint8_t fTabStop = 0;
    // 0x1: the left button holds the capture; 0x2: the right one.
    int32_t fCaptureButtons = 0;
    win32::HDC fCompositingDeviceContext = nullptr;
    int32_t fInputMode = kInputNormal;
    uint8_t fFocusOnClick = 1;
    // The element point of the last left-button message, where a lost capture cancels.
    Vector2i fLastMousePoint;
    // A high surrogate typed, waiting for its low half.
    char16_t fPendingHighSurrogate = 0;
    // Holds the control's reference; registered on the window while the window lives.
    UICustomControlDropTarget* fDropTarget = nullptr;
};
