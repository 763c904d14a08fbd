#include "win32/controls/ControlCommon.h"

#include "win32/controls/DropList.h"

#include "win32/core/Core.h"
#include "win32/gdi/Font.h"

namespace win32::controls {

namespace {

// The built-in classes belong to the layer, not to the program: a class of the same name that the
// program registers comes first for its own windows, and the program cannot unregister these.
char gControlsModule;

HINSTANCE ControlsInstance()
{
    return reinterpret_cast<HINSTANCE>(&gControlsModule);
}

// Shutdown forgets every class; the next Initialize registers them again.
bool gRegistered = false;

void ForgetClasses()
{
    gRegistered = false;
}

void RegisterNow()
{
    if (gRegistered)
        return;
    struct Entry {
        const char16_t* name;
        WNDPROC procedure;
        UINT style;
    };
    const Entry entries[] = {
        {u"button", &ButtonProcedure, 0},
        {u"COMBOBOX", &ComboBoxProcedure, 0},
        {u"ComboLBox", &DropListProcedure, CS_DBLCLKS},
        {u"EDIT", &EditProcedure, CS_DBLCLKS},
        {u"msctls_progress32", &ProgressProcedure, 0},
        {u"RichEdit20W", &RichEditProcedure, CS_DBLCLKS},
        {u"SCROLLBAR", &ScrollBarProcedure, 0},
        {u"STATIC", &StaticProcedure, 0},
        {u"SysDateTimePick32", &DateTimePickProcedure, 0},
        {u"SysTabControl32", &TabControlProcedure, 0},
    };
    bool all = true;
    for (const Entry& entry : entries) {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.style = CS_GLOBALCLASS | entry.style;
        windowClass.lpfnWndProc = entry.procedure;
        windowClass.hInstance = ControlsInstance();
        windowClass.lpszClassName = entry.name;
        if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            all = false;
    }
    gRegistered = all;
}

bool IsBrush(HBRUSH brush)
{
    // A system colour index + 1 stands for that colour's brush, as FillRect takes it.
    auto value = reinterpret_cast<uintptr_t>(brush);
    return brush != nullptr && (value <= static_cast<uintptr_t>(COLOR_MENUBAR + 1) || GetObjectType(brush) == OBJ_BRUSH);
}

} // namespace

void RegisterControlClasses()
{
    static bool hooked = false;
    if (!hooked) {
        hooked = true;
        core::AddStartupStep(&RegisterNow);
        core::AddShutdownStep(&ForgetClasses);
    }
    if (IsInitialized() && core::CheckUIThread("RegisterControlClasses"))
        RegisterNow();
}

LRESULT DefaultControlMessage(ControlState& state, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETFONT) {
        state.font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(static_cast<uintptr_t>(lParam)) != 0)
            Redraw(hwnd);
        return 0;
    }
    if (message == WM_GETFONT)
        return GetObjectType(state.font) == OBJ_FONT ? reinterpret_cast<LRESULT>(state.font) : 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

DWORD StyleOf(HWND hwnd)
{
    return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
}

void Redraw(HWND hwnd)
{
    InvalidateRect(hwnd, nullptr, FALSE);
}

HGDIOBJ SelectControlFont(HDC hdc, const ControlState& state)
{
    HGDIOBJ font = GetObjectType(state.font) == OBJ_FONT ? state.font : GetStockObject(DEFAULT_GUI_FONT);
    return SelectObject(hdc, font);
}

HBRUSH AskColors(const ControlState& state, HWND hwnd, UINT message, HDC hdc)
{
    HWND parent = GetParent(hwnd);
    HBRUSH brush = nullptr;
    if (parent != nullptr) {
        brush = reinterpret_cast<HBRUSH>(SendMessageW(parent, message, reinterpret_cast<WPARAM>(hdc),
                                                      reinterpret_cast<LPARAM>(hwnd)));
        if (state.dead)
            return nullptr;
    }
    if (!IsBrush(brush))
        brush = reinterpret_cast<HBRUSH>(DefWindowProcW(hwnd, message, reinterpret_cast<WPARAM>(hdc),
                                                        reinterpret_cast<LPARAM>(hwnd)));
    return brush;
}

bool NotifyParent(const ControlState& state, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (state.dead)
        return false;
    HWND parent = GetParent(hwnd);
    if (parent != nullptr)
        SendMessageW(parent, message, wParam, lParam);
    return !state.dead;
}

std::u16string WindowText(HWND hwnd)
{
    int length = GetWindowTextLengthW(hwnd);
    if (length <= 0)
        return std::u16string();
    std::u16string text(static_cast<size_t>(length) + 1, u'\0');
    int copied = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

RECT ClientArea(HWND hwnd)
{
    RECT rect = {0, 0, 0, 0};
    GetClientRect(hwnd, &rect);
    return rect;
}

bool Contains(const RECT& rect, POINT point)
{
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

void FillColor(HDC hdc, const RECT& rect, int color)
{
    FillRect(hdc, &rect, GetSysColorBrush(color));
}

void FrameColor(HDC hdc, const RECT& rect, int color)
{
    FrameRect(hdc, &rect, GetSysColorBrush(color));
}

RECT Inset(const RECT& rect, int dx, int dy)
{
    return {rect.left + dx, rect.top + dy, rect.right - dx, rect.bottom - dy};
}

} // namespace win32::controls
