#include "foundation/CXTextEncoding.h"
#include "win32/core/Core.h"
#include "win32/user/User.h"
#include "win32/user/WindowState.h"

namespace win32 {

namespace user {

HINSTANCE ProgramInstance(HINSTANCE instance)
{
    return instance != nullptr ? instance : GetModuleHandleW(nullptr);
}

CXString ClassNameUTF8(LPCWSTR name)
{
    return ConvertUTF16ToUTF8(CXString::FromUTF16CString(name));
}

// A class by name (or atom) for an instance: the instance's own first, then a global one.
WindowClass* FindClass(LPCWSTR name, HINSTANCE instance, bool globalToo)
{
    UserState& state = State();
    auto matches = [&](const WindowClass& c) {
        if (IS_INTRESOURCE(name))
            return c.atom == static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
        return c.nameUTF8.EqualsNoCase(ClassNameUTF8(name));
    };
    for (auto& c : state.classes) {
        if (c->instance == instance && matches(*c))
            return c.get();
    }
    if (globalToo) {
        for (auto& c : state.classes) {
            if ((c->style & CS_GLOBALCLASS) != 0 && matches(*c))
                return c.get();
        }
    }
    return nullptr;
}

} // namespace user

using namespace user;

ATOM RegisterClassExW(const WNDCLASSEXW* windowClass)
{
    if (!core::CheckUIThread("RegisterClassExW"))
        return 0;
    if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXW) ||
        windowClass->lpszClassName == nullptr || IS_INTRESOURCE(windowClass->lpszClassName) ||
        windowClass->lpszClassName[0] == 0 || windowClass->cbWndExtra < 0 || windowClass->cbClsExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    HINSTANCE instance = ProgramInstance(windowClass->hInstance);
    UserState& state = State();
    if (FindClass(windowClass->lpszClassName, instance, false) != nullptr) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto record = std::make_unique<WindowClass>();
    record->name = windowClass->lpszClassName;
    record->nameUTF8 = ClassNameUTF8(windowClass->lpszClassName);
    record->atom = state.nextAtom;
    state.nextAtom = static_cast<ATOM>(state.nextAtom == 0xFFFF ? 0xC000 : state.nextAtom + 1);
    record->instance = instance;
    record->style = windowClass->style;
    record->procedure = windowClass->lpfnWndProc;
    record->classExtra = windowClass->cbClsExtra;
    record->windowExtra = windowClass->cbWndExtra;
    record->icon = windowClass->hIcon;
    record->smallIcon = windowClass->hIconSm;
    record->cursor = windowClass->hCursor;
    record->background = windowClass->hbrBackground;
    ATOM atom = record->atom;
    state.classes.push_back(std::move(record));
    return atom;
}

ATOM RegisterClassW(const WNDCLASSW* windowClass)
{
    if (windowClass == nullptr) {
        if (core::CheckUIThread("RegisterClassW"))
            SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXW ex = {sizeof(WNDCLASSEXW), windowClass->style, windowClass->lpfnWndProc,
                      windowClass->cbClsExtra, windowClass->cbWndExtra, windowClass->hInstance,
                      windowClass->hIcon, windowClass->hCursor, windowClass->hbrBackground,
                      windowClass->lpszMenuName, windowClass->lpszClassName, nullptr};
    return RegisterClassExW(&ex);
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance)
{
    if (!core::CheckUIThread("UnregisterClassW"))
        return FALSE;
    if (className == nullptr) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    WindowClass* record = FindClass(className, ProgramInstance(instance), false);
    if (record == nullptr) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (record->windowCount > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    auto& classes = State().classes;
    for (auto it = classes.begin(); it != classes.end(); ++it) {
        if (it->get() == record) {
            classes.erase(it);
            break;
        }
    }
    return TRUE;
}

} // namespace win32
