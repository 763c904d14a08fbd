#pragma once

#include "toolkit/CXUIControl.h"
#include "toolkit/UIScrollBase.h"

#include <cstdint>

// A native scroll bar ("SCROLLBAR") that shows and moves one axis of the scrolling model. The
// bar's window mirrors the ring's range and position, cut to integers (values beyond the 32-bit
// range clamped first); the bar itself needs no range. The user's gestures move the ring: an
// arrow by the line step (5), the trough by the ring's page (the line step while the page is 0),
// a thumb drag to the track position; every linked client is told.
//
// The owner sets the direction before Init and links GetAxis() with the axes the bar scrolls.
// Main thread only.
class UIScrollBar : public CXUIControl, public UIScrollBase {
public:
    // Vertical, line step 5, a ring of one.
    UIScrollBar();
    ~UIScrollBar() override;

    // Read when the window is made: set it before Init.
    void SetHorizontal(bool horizontal) { fHorizontal = horizontal ? 1 : 0; }
    bool IsHorizontal() const { return fHorizontal != 0; }

    // --- UIScrollBase ---
    // This bar.
    UIElement* GetElement() override;
    bool OverlaysContent() const override;
    // 16 pixels.
    int32_t GetThickness() const override;
    // 1.
    int32_t GetBarKind() const override;

    // --- Scrollable ---
    // The window's range becomes the ring's (nothing without a window).
    void AxisRangeChanged(ScrollAxisRef& axis) override;
    // The window's position becomes the ring's (nothing without a window).
    void AxisPositionChanged(ScrollAxisRef& axis) override;

    // --- NativeUIElement ---
    // WM_HSCROLL and WM_VSCROLL reflected from the parent move the axis (answer 0); the rest goes
    // to CXUIControl.
    win32::LRESULT HandleNativeMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam) override;

protected:
    // The hidden "SCROLLBAR" window, showing the axis's current range and position.
    void CreateNativeWindow() override;

private:
    // Moves the axis for one scroll request code, starting from the window's position. Nothing
    // without a window.
    void Scroll(int code);
    void ShowRange(win32::HWND handle);
    void ShowPosition(win32::HWND handle);

    double fLineStep = 5.0;
    int32_t fHorizontal = 0;
};
