#include "toolkit/UIMessageLoop.h"

#include "foundation/CXMessage.h"
#include "foundation/CXTask.h"
#include "toolkit/CXMenu.h"
#include "toolkit/CXUIWindow.h"
#include "toolkit/NativeUIElement.h"

using namespace win32;

namespace {

CXMessageTarget* gApplicationObject = nullptr;

bool ShouldLeave(const MSG& message)
{
    return message.message == WM_QUIT || CXUIWindow::IsQuitRequested();
}

} // namespace

void SetApplicationObject(CXMessageTarget* application)
{
    gApplicationObject = application;
}

CXMessageTarget* GetApplicationObject()
{
    return gApplicationObject;
}

bool IsKeyDown(int virtualKey)
{
    return GetKeyState(virtualKey) < 0;
}

bool TabToNextControl(HWND topLevel, const MSG& message)
{
    HWND focus = GetFocus();
    HWND control = GetNextDlgTabItem(topLevel, focus == topLevel ? nullptr : focus, IsKeyDown(VK_SHIFT) ? TRUE : FALSE);
    if (control == nullptr)
        return false;
    if ((SendMessageW(control, WM_GETDLGCODE, message.wParam, reinterpret_cast<LPARAM>(&message)) & DLGC_HASSETSEL) !=
        0) {
        LRESULT length = SendMessageA(control, WM_GETTEXTLENGTH, 0, 0);
        SendMessageA(control, EM_SETSEL, 0, length);
    }
    SetFocus(control);
    return true;
}

void UIMessageLoop::Begin()
{
    if (gApplicationObject != nullptr)
        (void)gApplicationObject->HandleMessage(CXMessage("open-application", gApplicationObject));
}

bool UIMessageLoop::Turn()
{
    fTimerId = SetTimer(nullptr, fTimerId, 16, nullptr);
    GetMessageA(&fMessage, nullptr, 0, 0);
    if (ShouldLeave(fMessage))
        return false;
    HWND topLevel = NativeUIElement::TopLevelOf(fMessage.hwnd);
    if (fMessage.message == WM_KEYDOWN && fMessage.wParam == VK_TAB) {
        // Tab always moves the focus when there is a stop to move to; that ends the turn.
        if (TabToNextControl(topLevel, fMessage))
            return true;
    }
    if (!PreTranslateForElement(fMessage) && !(fMessage.message == WM_KEYDOWN && CXMenu::DispatchShortcut(fMessage)))
        Offer(topLevel);
    CXTaskHost::GetThreadTaskHost(GetCurrentThreadId())->IdleTasks();
    MSG paint = {};
    if (PeekMessageA(&paint, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE | PM_NOYIELD)) {
        fMessage = paint;
        if (ShouldLeave(fMessage))
            return false;
        TranslateMessage(&fMessage);
        DispatchMessageW(&fMessage);
    }
    return true;
}

void UIMessageLoop::Offer(HWND topLevel)
{
    if (topLevel != nullptr && IsDialogMessageW(topLevel, &fMessage))
        return;
    TranslateMessage(&fMessage);
    DispatchMessageW(&fMessage);
}

WPARAM RunMessageLoop()
{
    UIMessageLoop loop;
    loop.Begin();
    while (loop.Turn()) {
    }
    return loop.LastMessage().wParam;
}
