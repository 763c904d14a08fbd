#pragma once

// The control gallery: one window with every kind of control the toolkit has, for a person to try
// on a display and for the display tests to drive. The program (main.cpp) and the tests share it.

#include "foundation/CXSafePointer.h"
#include "foundation/CXString.h"
#include "toolkit/CXMenu.h"
#include "toolkit/CXUIWindow.h"

#include <cstdint>
#include <memory>
#include <vector>

class TextPromptSheet;
class UICheckbox;
class UIEditTextControl;
class UIIconControl;
class UIPopupMenuButton;
class UIProgressBar;
class UIProgressSpinner;
class UIPushButton;
class UIRazaStaticText;
class UIScrollBar;
class UIScrollFrame;
class UITextView;

namespace win32 {
class Backend;
}

namespace gallery {

class Swatch;

// Starts the foundation's main thread (once per process), the layer on the backend (borrowed: it
// must outlive StopLayer) with its built-in controls, and the toolkit's file dialogs. False when
// the layer does not start (it logs why).
bool StartLayer(win32::Backend* backend);
// Destroys the parking window and the menus, then shuts the layer down.
void StopLayer();

// The gallery window. Its client area is kClientWidth x kClientHeight at (x, y) on the screen;
// the menu bar ("File", "Edit") lies above it inside the window. Everything is made and the window
// shown by the constructor; the destructor destroys the window if it still exists.
class Gallery {
public:
    static constexpr int32_t kClientWidth = 760;
    static constexpr int32_t kClientHeight = 560;

    Gallery(int32_t x, int32_t y);
    ~Gallery();
    Gallery(const Gallery&) = delete;
    Gallery& operator=(const Gallery&) = delete;

    // Null once the window has been closed and destroyed.
    CXUIWindow* GetWindow() const { return fWindow.get(); }
    win32::HWND GetHandle() const;

    // When set, the window's "Close" is only counted (the tests keep the window); otherwise it
    // closes the window, which ends the main loop.
    void SetKeepOpenOnClose(bool keep) { fKeepOpen = keep; }
    int32_t GetCloseRequests() const { return fCloseRequests; }

    // Stops what moves by itself (the marquee, the spinner), so that the window only changes
    // when the user acts: for comparing pictures.
    void StopAnimations();

    // The prompt sheet (a text field, OK and Cancel) over the window; the chooser of one file.
    void ShowPrompt();
    void ShowChooser();
    // The prompt sheet while it is open, else null.
    TextPromptSheet* GetPrompt() const;

    UIRazaStaticText* GetTitleLabel() const { return fTitleLabel; }
    UIRazaStaticText* GetStatusLabel() const { return fStatus; }
    UIPushButton* GetPushButton() const { return fPushButton; }
    UICheckbox* GetCheckbox() const { return fCheckbox; }
    UIPushButton* GetPromptButton() const { return fPromptButton; }
    UIPushButton* GetChooserButton() const { return fChooserButton; }
    UIEditTextControl* GetTextField() const { return fTextField; }
    UIEditTextControl* GetPasswordField() const { return fPasswordField; }
    UIPopupMenuButton* GetChoiceList() const { return fChoiceList; }
    UIProgressBar* GetProgressBar() const { return fProgress; }
    UIProgressBar* GetMarquee() const { return fMarquee; }
    UIScrollBar* GetScrollBar() const { return fScrollBar; }
    UIIconControl* GetIcon() const { return fIcon; }
    UIProgressSpinner* GetSpinner() const { return fSpinner; }
    UIScrollFrame* GetScrollFrame() const { return fFrame; }
    UITextView* GetTextView() const { return fTextView; }
    UIElement* GetSwatch() const;
    // How many times the push button sent "click".
    int32_t GetPushCount() const { return fPushCount; }

    // The window's "Close": counted; true when the window may close.
    bool CountClose();

private:
    CXResultCode OnMessage(const CXMessage& message);
    void SetStatus(const CXString& text);
    template <class Control>
    Control* Add(Control* control, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t horizontal = 0,
                 int32_t vertical = 0);

    CXSafePointer<CXUIWindow> fWindow;
    std::vector<std::unique_ptr<CXMenu>> fMenus;
    CXSafePointer<TextPromptSheet> fPrompt;
    UIRazaStaticText* fTitleLabel = nullptr;
    UIRazaStaticText* fStatus = nullptr;
    UIPushButton* fPushButton = nullptr;
    UICheckbox* fCheckbox = nullptr;
    UIPushButton* fPromptButton = nullptr;
    UIPushButton* fChooserButton = nullptr;
    UIEditTextControl* fTextField = nullptr;
    UIEditTextControl* fPasswordField = nullptr;
    UIPopupMenuButton* fChoiceList = nullptr;
    UIProgressBar* fProgress = nullptr;
    UIProgressBar* fMarquee = nullptr;
    UIScrollBar* fScrollBar = nullptr;
    Swatch* fSwatch = nullptr;
    UIIconControl* fIcon = nullptr;
    UIProgressSpinner* fSpinner = nullptr;
    UIScrollFrame* fFrame = nullptr;
    UIScrollBar* fFrameBar = nullptr;
    UITextView* fTextView = nullptr;
    bool fKeepOpen = false;
    int32_t fCloseRequests = 0;
    int32_t fPushCount = 0;
};

} // namespace gallery
