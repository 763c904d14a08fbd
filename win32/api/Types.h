#pragma once

// The basic types of the window-system subset, in our own declarations: integers of fixed width,
// the message parameter types, and the typed opaque handles. Handles are pointers to incomplete
// structures so that a window cannot be passed where a menu is wanted.

#include <cstddef>
#include <cstdint>

namespace win32 {

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using SHORT = int16_t;
using INT = int32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using BOOL = int32_t;
using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using HANDLE = void*;

using INT_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using LONG_PTR = intptr_t;
using ULONG_PTR = uintptr_t;
using DWORD_PTR = uintptr_t;

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using ATOM = uint16_t;
using COLORREF = uint32_t;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

#define CX_WIN32_HANDLE(name)                                                                      \
    struct name##__;                                                                               \
    using name = name##__*;

CX_WIN32_HANDLE(HWND)
CX_WIN32_HANDLE(HINSTANCE)
CX_WIN32_HANDLE(HMENU)
CX_WIN32_HANDLE(HICON)
CX_WIN32_HANDLE(HCURSOR)
CX_WIN32_HANDLE(HBRUSH)
CX_WIN32_HANDLE(HFONT)
CX_WIN32_HANDLE(HDC)
CX_WIN32_HANDLE(HBITMAP)
CX_WIN32_HANDLE(HPEN)
CX_WIN32_HANDLE(HRGN)
CX_WIN32_HANDLE(HGLOBAL)

#undef CX_WIN32_HANDLE

// Any drawing object: every drawing handle converts to it, and back with static_cast.
using HGDIOBJ = void*;

// A module handle is an instance handle.
using HMODULE = HINSTANCE;

using WNDPROC = LRESULT (*)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
using TIMERPROC = void (*)(HWND hwnd, UINT message, UINT_PTR id, DWORD time);
using SUBCLASSPROC = LRESULT (*)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                 UINT_PTR subclassId, DWORD_PTR referenceData);

// The pseudo handles of the z-order and of the screen.
inline const HWND HWND_TOP = reinterpret_cast<HWND>(0);
inline const HWND HWND_BOTTOM = reinterpret_cast<HWND>(1);
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(-1);
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(-2);
inline const HWND HWND_DESKTOP = reinterpret_cast<HWND>(0);

// Parameter packing.
constexpr WORD LOWORD(uintptr_t value) { return static_cast<WORD>(value & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
// The signed coordinates packed in a mouse or move parameter.
constexpr int GET_X_LPARAM(LPARAM value) { return static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(value))); }
constexpr int GET_Y_LPARAM(LPARAM value) { return static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(value))); }
constexpr LPARAM MAKELPARAM(int low, int high)
{
    return static_cast<LPARAM>(static_cast<uint32_t>((static_cast<uint32_t>(low) & 0xFFFF) |
                                                     ((static_cast<uint32_t>(high) & 0xFFFF) << 16)));
}
constexpr WPARAM MAKEWPARAM(int low, int high) { return static_cast<WPARAM>(static_cast<uint32_t>(MAKELPARAM(low, high))); }
// A resource or class named by number instead of text.
inline LPCWSTR MAKEINTRESOURCEW(WORD id) { return reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>(id)); }
inline bool IS_INTRESOURCE(const void* p) { return (reinterpret_cast<uintptr_t>(p) >> 16) == 0; }

// Colours: 0x00BBGGRR.
constexpr COLORREF RGB(int red, int green, int blue)
{
    return static_cast<COLORREF>((static_cast<uint32_t>(red) & 0xFF) | ((static_cast<uint32_t>(green) & 0xFF) << 8) |
                                 ((static_cast<uint32_t>(blue) & 0xFF) << 16));
}
constexpr BYTE GetRValue(COLORREF color) { return static_cast<BYTE>(color & 0xFF); }
constexpr BYTE GetGValue(COLORREF color) { return static_cast<BYTE>((color >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF color) { return static_cast<BYTE>((color >> 16) & 0xFF); }
// The failure answer of the colour setters.
inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

} // namespace win32
