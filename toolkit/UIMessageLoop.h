#pragma once

#include "win32/user/Queue.h"

class CXMessageTarget;

// The main thread's message loop. Each turn re-arms one 16 ms thread timer, takes a message and
// offers it, in order, to the Tab step (which moves the focus and ends the turn), the pre-
// translation of the element it is for, the menu shortcuts and the dialog manager of its top-level
// window; what is left is translated and dispatched. Then the thread's task host runs one idle
// pass and at most one pending WM_PAINT is dispatched. WM_QUIT or the quit flag ends the loop.
class UIMessageLoop {
public:
    UIMessageLoop() = default;

    // Sends "open-application" to the application object when one is registered.
    void Begin();
    // One turn; false when the loop ends (the message that ended it is LastMessage()).
    bool Turn();
    // The last message taken.
    const win32::MSG& LastMessage() const { return fMessage; }

private:
    // The dialog and dispatch steps of a message not consumed before.
    void Offer(win32::HWND topLevel);

    win32::UINT_PTR fTimerId = 1;
    win32::MSG fMessage = {};
};

// Runs the loop on the main thread until it ends: the wParam of the last message taken (the
// exit code when WM_QUIT ended it).
win32::WPARAM RunMessageLoop();

// The application object that hears "open-application" before the loop; null until start-up
// registers it. Borrowed.
void SetApplicationObject(CXMessageTarget* application);
CXMessageTarget* GetApplicationObject();

// Moves the focus to the next tab stop of the top-level window (the previous one with Shift held),
// selecting the whole text of a control that keeps a selection. False when there is no other stop.
bool TabToNextControl(win32::HWND topLevel, const win32::MSG& message);

// The key is down (GetKeyState negative).
bool IsKeyDown(int virtualKey);
