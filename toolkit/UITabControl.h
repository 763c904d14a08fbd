#pragma once

#include "foundation/CXSafePointer.h"
#include "toolkit/CXUIControl.h"

#include <vector>

// A tab strip: a window of the layer's "SysTabControl32" class that shows one of its pages at a
// time. Page i belongs to tab i. The owner fills `pages` and inserts the tabs into the window
// itself (TCM_INSERTITEMW); the pages are elements beside the control, under the same parent, so
// they share its coordinates: each layout gives every page the control's display area (the frame
// without the tab row and the panel's margins). When the user picks a tab, the page of the newly
// selected tab is shown and every other page hidden; selecting a tab from the program
// (TCM_SETCURSEL) switches no page. The control never keeps the user from picking a tab. Main
// thread only.
class UITabControl : public CXUIControl {
public:
    UITabControl() = default;

    // --- UIElement ---
    // The control's layout, then the display area given to every page (anchors 0, 0).
    void ApplyLayout() override;

    // --- NativeUIElement ---
    // TCN_SELCHANGE from the control's own window shows the selected tab's page and hides the
    // others (answer 0); the rest goes to CXUIControl.
    win32::LRESULT HandleNativeMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam) override;

    // Not owned; a page that is destroyed reads as null and is passed over.
    std::vector<CXSafePointer<UIElement>> pages;

protected:
    void CreateNativeWindow() override;
};
