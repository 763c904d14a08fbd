#include "foundation/CXDebug.h"
#include "foundation/CXTextEncoding.h"
#include "win32/core/Core.h"
#include "win32/core/Handles.h"
#include "win32/gdi/Gdi.h"
#include "win32/user/Paint.h"
#include "win32/user/User.h"
#include "win32/user/WindowState.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

namespace win32 {

namespace user {

namespace {

constexpr int kMaximumDepth = 512;

// One message on its way through a window's subclass chain: the chain as it was when the message
// was sent, and how far the message has gone along it.
struct Frame {
    Window* window;
    HWND hwnd;
    std::vector<Subclass> chain;
    size_t next;
    bool reachedProcedure;
};

std::vector<Frame*> gFrames;
int gDepth = 0;
bool gDepthReported = false;
MessageSpy* gSpy = nullptr;

LRESULT CallNext(Frame& frame, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (frame.next > 0) {
        const Subclass& subclass = frame.chain[--frame.next];
        return subclass.procedure(frame.hwnd, message, wParam, lParam, subclass.id, subclass.data);
    }
    frame.reachedProcedure = true;
    WNDPROC procedure = frame.window->procedure;
    if (procedure == nullptr)
        return DefWindowProcW(frame.hwnd, message, wParam, lParam);
    return procedure(frame.hwnd, message, wParam, lParam);
}

} // namespace

LRESULT Dispatch(Window* window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (gDepth >= kMaximumDepth) {
        if (!gDepthReported) {
            gDepthReported = true;
            CXDebugLog("SendMessageW> messages nested deeper than %d procedure frames; message 0x%X not sent",
                       kMaximumDepth, message);
        }
        return 0;
    }
    WindowHold hold(window);
    ++gDepth;
    if (gSpy != nullptr)
        gSpy->OnMessage(window->handle, message, wParam, lParam, gDepth);
    Frame frame = {window, window->handle, window->subclasses, window->subclasses.size(), false};
    gFrames.push_back(&frame);
    LRESULT result = CallNext(frame, message, wParam, lParam);
    gFrames.pop_back();
    if (--gDepth == 0)
        gDepthReported = false;
    return result;
}

namespace {

// WM_GETTEXT of a text into a buffer of count units.
LRESULT CopyText(const std::u16string& text, WPARAM count, LPARAM buffer)
{
    auto* out = reinterpret_cast<WCHAR*>(buffer);
    if (out == nullptr || count == 0)
        return 0;
    size_t copied = std::min<size_t>(text.size(), count - 1);
    std::memcpy(out, text.data(), copied * sizeof(WCHAR));
    out[copied] = 0;
    return static_cast<LRESULT>(copied);
}

std::u16string TextOf(const WCHAR* units)
{
    return units != nullptr ? std::u16string(units) : std::u16string();
}

// The UTF-8 form of a window's text as its procedures give it.
CXString TextAsUTF8(HWND hwnd)
{
    LRESULT length = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0)
        return CXString();
    std::u16string units(static_cast<size_t>(length) + 1, u'\0');
    LRESULT copied = SendMessageW(hwnd, WM_GETTEXT, units.size(), reinterpret_cast<LPARAM>(units.data()));
    copied = std::clamp<LRESULT>(copied, 0, length);
    return ConvertUTF16ToUTF8(CXString::FromUTF16(units.data(), static_cast<size_t>(copied)));
}

// WM_CTLCOLOR*: the control's text and background colours set in its DC, and the brush of its
// background: the window colour for edits and lists, the face colour for the rest.
LRESULT ControlColors(UINT message, HDC hdc)
{
    int background = COLOR_3DFACE;
    if (message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX)
        background = COLOR_WINDOW;
    else if (message == WM_CTLCOLORSCROLLBAR)
        background = COLOR_SCROLLBAR;
    SetTextColor(hdc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(hdc, GetSysColor(background));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(background));
}

} // namespace

} // namespace user

using namespace user;

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!core::CheckUIThread("SendMessageW"))
        return 0;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return 0;
    return Dispatch(window, message, wParam, lParam);
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!core::CheckUIThread("SendMessageA"))
        return 0;
    if (FindWindow(hwnd) == nullptr)
        return 0;
    switch (message) {
    case WM_SETTEXT: {
        auto* text = reinterpret_cast<const char*>(lParam);
        if (text == nullptr)
            return SendMessageW(hwnd, message, wParam, 0);
        CXString units = ConvertUTF8CStringToUTF16(text);
        return SendMessageW(hwnd, message, wParam, reinterpret_cast<LPARAM>(UTF16Units(units)));
    }
    case WM_GETTEXT: {
        auto* out = reinterpret_cast<char*>(lParam);
        if (out == nullptr || wParam == 0)
            return 0;
        CXString text = TextAsUTF8(hwnd);
        size_t length = std::min<size_t>(text.length(), wParam - 1);
        // Never end inside a character: step back over continuation bytes.
        while (length > 0 && length < text.length() && (static_cast<unsigned char>(text.c_str()[length]) & 0xC0) == 0x80)
            --length;
        std::memcpy(out, text.c_str(), length);
        out[length] = 0;
        return static_cast<LRESULT>(length);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(TextAsUTF8(hwnd).length());
    default:
        return SendMessageW(hwnd, message, wParam, lParam);
    }
}

LRESULT CallWindowProcW(WNDPROC procedure, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!core::CheckUIThread("CallWindowProcW"))
        return 0;
    if (procedure == nullptr)
        return 0;
    return procedure(hwnd, message, wParam, lParam);
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!core::CheckUIThread("DefWindowProcW"))
        return 0;
    // The handle is already dead at WM_NCDESTROY; nothing is left to do for it.
    if (message == WM_NCDESTROY)
        return 0;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return 0;
    switch (message) {
    case WM_NCCREATE: {
        auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (create != nullptr && create->lpszName != nullptr && !IS_INTRESOURCE(create->lpszName))
            window->text = create->lpszName;
        return TRUE;
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SETTEXT: {
        std::u16string text = TextOf(reinterpret_cast<const WCHAR*>(lParam));
        if (text != window->text) {
            window->text = std::move(text);
            // A top-level window's text is its title, shown by the window system.
            TellBackend(window, TopLevelChange::Title);
        }
        return TRUE;
    }
    case WM_GETTEXT:
        return CopyText(window->text, wParam, lParam);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(window->text.size());
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR:
        return ControlColors(message, reinterpret_cast<HDC>(wParam));
    case WM_PAINT: {
        PAINTSTRUCT paint;
        if (BeginPaint(hwnd, &paint) != nullptr)
            EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_ERASEBKGND: {
        HBRUSH brush = window->windowClass->background;
        if (brush == nullptr)
            return 0;
        RECT client = {0, 0, window->client.right - window->client.left, window->client.bottom - window->client.top};
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        return 1;
    }
    case WM_SETCURSOR:
    case WM_MOUSEACTIVATE:
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
        if ((window->style & WS_CHILD) != 0 && window->parent != nullptr)
            return Dispatch(window->parent, message, wParam, lParam);
        return 0;
    default:
        return 0;
    }
}

BOOL SetWindowSubclass(HWND hwnd, SUBCLASSPROC procedure, UINT_PTR subclassId, DWORD_PTR referenceData)
{
    if (!core::CheckUIThread("SetWindowSubclass"))
        return FALSE;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return FALSE;
    if (procedure == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (Subclass& subclass : window->subclasses) {
        if (subclass.procedure == procedure && subclass.id == subclassId) {
            subclass.data = referenceData;
            return TRUE;
        }
    }
    window->subclasses.push_back({procedure, subclassId, referenceData});
    return TRUE;
}

LRESULT DefSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!core::CheckUIThread("DefSubclassProc"))
        return 0;
    for (auto it = gFrames.rbegin(); it != gFrames.rend(); ++it) {
        Frame& frame = **it;
        if (frame.hwnd == hwnd && !frame.reachedProcedure)
            return CallNext(frame, message, wParam, lParam);
    }
    CXDebugLog("DefSubclassProc> not called from a subclass procedure of the window");
    return 0;
}

void SetMessageSpyForTesting(MessageSpy* spy)
{
    gSpy = spy;
}

} // namespace win32
