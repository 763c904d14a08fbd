#pragma once

#include "toolkit/NativeUIElement.h"
#include "toolkit/RazaFont.h"
#include "toolkit/UIElement.h"

#include <cstdint>

// The base of every control that owns a window of its own. It keeps the window tree in step with
// the element tree: the window is made with the element's system context and destroyed with it,
// lives under the window of its parent element (or under the hidden parking window while the
// parent has none), stacks among its siblings in child-list order (the first child on top), and
// sits at the element's frame moved into the parent window's client coordinates and clamped to
// the 16-bit range windows take. The control also carries its font and its enabled state to the
// window.
//
// A concrete control makes its window in CreateNativeWindow (normally through
// CreateControlWindow) and handles the messages its parent reflects to it in HandleNativeMessage,
// passing what it does not handle to this class. A window may die without the control's doing,
// with its parent or top-level window: the control then has no window. Main thread only.
class CXUIControl : public UIElement, public NativeUIElement {
public:
    // No window; enabled and visible; the font "Segoe UI" 12, black, left-aligned.
    CXUIControl();
    // Reports a background brush, a font or a window left over (Destroy releases them).
    ~CXUIControl() override;

    // --- UIElement ---
    // With this control's window and the added element's window, moves the latter into this
    // window, right below the window of the nearest earlier sibling that lies in this window
    // (on top without one).
    UIElement* AddChild(UIElement* child, UIElement* before) override;
    // Parks the window, then leaves the parent.
    void RemoveFromParent() override;
    void SetVisible(bool visible) override;
    void InvalidateAll() override;
    // Nothing while the window is parked.
    void SetFocus() override;
    bool HasFocus() const override;
    // Makes the window (unless the control is drawn in the generic family), after making sure the
    // layer's built-in control classes exist: under the parent's window, or under the parking
    // window when there is none; then the z-order, font, enabled and visible state; then the
    // children's contexts.
    void CreateSystemContext() override;
    // Drops the children's contexts (parking their windows), then destroys the window.
    void DestroySystemContext() override;
    // Moves the window into the parent's new window.
    void ParentSystemContextCreated() override;
    // Parks the window before the parent's window goes.
    void ParentSystemContextDestroyed() override;
    // Computes the frame, then moves the window there without redrawing; when the window really
    // moved, invalidates it and the old frame in the parent.
    void ApplyLayout() override;
    // True while the control has no window.
    bool NeedsRelayout() const override;
    // Always the native family.
    const UIAppearanceImplementation* ChooseAppearanceImplementation(const UIAppearanceImplementation* requested,
                                                                      UIElement* parent) const override;

    // --- NativeUIElement ---
    // WM_SETFOCUS and WM_KILLFOCUS, and EN_SETFOCUS and EN_KILLFOCUS reflected from the control's
    // own window, call FocusGained and FocusLost (answer 0); the rest goes to the default handler.
    win32::LRESULT HandleNativeMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam) override;

    // --- Control operations ---
    // Stored, and applied to the window when there is one; nothing when unchanged.
    virtual void SetEnabled(bool enabled);
    // The window got or lost the keyboard focus. Nothing here.
    virtual void FocusGained();
    virtual void FocusLost();
    // Merges the font into the control's record (face and size when given, style, colour and
    // alignment always) and gives the window the resulting font.
    virtual void SetFont(const RazaFont& font);
    // A copy of the control's font record.
    virtual RazaFont GetFont() const;

    bool IsEnabled() const { return fEnabled != 0; }
    // How far the coordinate clamp moved the window: window position minus element position.
    Vector2i GetNativeOffset() const { return fNativeOffset; }
    // The title with every '&' doubled, so that the window shows it literally.
    CXString GetNativeTitle() const;

protected:
    // Makes the control's window; without a window afterwards the control stays windowless.
    virtual void CreateNativeWindow() = 0;
    // Unbinds and destroys the window (a dead one is only forgotten), then deletes the background
    // brush and the font.
    virtual void DestroyNativeWindow();
    // Gives the window the font of the record; the control owns it and deletes the one before.
    // Nothing without a window.
    virtual void ApplyFont();
    // Moves the window under the parent element's window, right below the window of the nearest
    // earlier sibling there (on top without one). Nothing unless both windows exist.
    virtual void AttachToParentWindow();

    // Creates the window for CreateNativeWindow: the class, style (WS_CHILD among it) and text
    // (UTF-8), at the clamped frame, under GetParentWindowForCreation, with the program's
    // instance and the element as creation parameter; stores the handle and binds the window to
    // the element (GWLP_USERDATA). Null when the window cannot be made.
    win32::HWND CreateControlWindow(win32::DWORD extendedStyle, const char16_t* className, win32::DWORD style,
                                    const CXString& text);
    // The parent element's window when it has one; otherwise the parking window (null when that
    // could not be made).
    win32::HWND GetParentWindowForCreation() const;
    // The answer to a WM_CTLCOLOR* message for the control's window: the text and background
    // colours are set in the device context, and the answer is the control's background brush,
    // made from the background colour on first use, made again when that colour changed, and kept
    // until the window is destroyed.
    win32::LRESULT AnswerControlColors(win32::HDC dc, const CXColor& text, const CXColor& background);
    // The window, or null when there is none. A window that died with its parent or top-level
    // window is forgotten here, and its brush and font released.
    win32::HWND GetLiveNativeHandle();

private:
    // The window's box for the current frame, in the parent window's client coordinates, clamped;
    // records the shift in nativeOffset.
    Box2i PlaceFrame();
    // The window's rectangle in its parent window's client coordinates.
    static Box2i WindowBoxInParent(win32::HWND handle);
    void ApplyWindowlessLayout();
    void ReleaseWindowResources();
    bool HasLiveWindow() const;

    Vector2i fNativeOffset;
    win32::HBRUSH fBackgroundBrush = nullptr;
    win32::COLORREF fBackgroundBrushColor = 0;
    win32::HFONT fControlFont = nullptr;
    uint8_t fEnabled = 1;
    RazaFont fFont{"Segoe UI", 12};
};
