#pragma once

// A fixture for window tests: the headless harness, one window class whose procedure runs a
// per-window script (given as the creation parameter) before DefWindowProcW, and small helpers.

#include "win32/testing/Harness.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace win32test {

using namespace win32;

// Answers a message itself (a value) or lets DefWindowProcW answer it (nullopt).
using Script = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;

inline std::map<HWND, Script>& Scripts()
{
    static std::map<HWND, Script> scripts;
    return scripts;
}

inline LRESULT ScriptedProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        if (create->lpCreateParams != nullptr)
            Scripts()[hwnd] = *static_cast<Script*>(create->lpCreateParams);
    }
    std::optional<LRESULT> answer;
    auto it = Scripts().find(hwnd);
    if (it != Scripts().end()) {
        Script script = it->second; // the script may erase itself
        answer = script(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY)
        Scripts().erase(hwnd);
    return answer ? *answer : DefWindowProcW(hwnd, message, wParam, lParam);
}

inline const char16_t* kTestClass = u"Test.Window";

class WindowTest : public ::testing::Test {
protected:
    WindowTest()
    {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &ScriptedProcedure;
        windowClass.cbWndExtra = 8;
        windowClass.hInstance = harness.Instance();
        windowClass.lpszClassName = kTestClass;
        EXPECT_NE(RegisterClassExW(&windowClass), 0);
    }
    ~WindowTest() override { Scripts().clear(); }

    HWND Create(DWORD style, HWND parent = nullptr, RECT rect = {10, 20, 110, 70}, Script script = {},
                const char16_t* title = u"", UINT_PTR id = 0, DWORD exStyle = 0)
    {
        return CreateWindowExW(exStyle, kTestClass, title, style, rect.left, rect.top, rect.right - rect.left,
                               rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(id),
                               harness.Instance(), script ? &script : nullptr);
    }

    // The (window, message) pairs the spy saw, of the listed messages only.
    std::vector<std::pair<HWND, UINT>> Seen(const std::vector<UINT>& messages) const
    {
        std::vector<std::pair<HWND, UINT>> seen;
        for (const auto& entry : harness.Spy().Only(messages))
            seen.emplace_back(entry.hwnd, entry.message);
        return seen;
    }

    // The children of a window (or the top-level windows after first), top to bottom.
    static std::vector<HWND> Stack(HWND first)
    {
        std::vector<HWND> stack;
        for (HWND w = first; w != nullptr; w = GetWindow(w, GW_HWNDNEXT))
            stack.push_back(w);
        return stack;
    }
    static std::vector<HWND> Children(HWND parent) { return Stack(GetWindow(parent, GW_CHILD)); }

    static std::u16string Text(HWND hwnd)
    {
        char16_t buffer[256] = {};
        int length = GetWindowTextW(hwnd, buffer, 256);
        return std::u16string(buffer, static_cast<size_t>(length));
    }

    win32::testing::Harness harness;
};

} // namespace win32test

// Readable rectangles and points in failure output.
namespace win32 {
inline bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator==(const POINT& a, const POINT& b)
{
    return a.x == b.x && a.y == b.y;
}
inline void PrintTo(const RECT& r, std::ostream* os)
{
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}
inline void PrintTo(const POINT& p, std::ostream* os)
{
    *os << "(" << p.x << ", " << p.y << ")";
}
} // namespace win32
