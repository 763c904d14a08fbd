#pragma once

// A fixture for window elements: the layer's headless harness on a registered main thread with
// its task host, fresh window-list flags, and stand-ins for the controls that later build on
// windows: a control with a child window of its own, and a windowless custom-drawn control that
// records its mouse calls.

#include "ElementTesting.h"
#include "foundation/CXMessagePost.h"
#include "foundation/CXTask.h"
#include "foundation/CXThread.h"
#include "toolkit/CXUIWindow.h"
#include "toolkit/RazaGraf.h"
#include "toolkit/UICustomControlBase.h"
#include "toolkit/UIMessageLoop.h"
#include "win32/testing/Harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace toolkittest {

using namespace win32;

inline const char16_t kControlClass[] = u"Test.Control";

// A control with a child window of the class above (UIWindowProc), made under the parking window
// and moved into its window by the window's AddChild. Native messages are recorded and answered
// by `answer` (DefWindowProcW's answer when it is -2).
class TestControl : public UIElement, public NativeUIElement {
public:
    explicit TestControl(std::string label, DWORD style = WS_TABSTOP | WS_VISIBLE) : fLabel(std::move(label)), fStyle(style)
    {
    }
    ~TestControl() override = default;

    void CreateSystemContext() override
    {
        RegisterClass();
        Box2i frame = GetFrame();
        CreateWindowExW(0, kControlClass, u"", WS_CHILD | fStyle, frame.left, frame.top, frame.Width(), frame.Height(),
                        CXUIWindow::EnsureParkingWindow()->GetNativeHandle(), nullptr, GetModuleHandleW(nullptr),
                        static_cast<UIElement*>(this));
        UIElement::CreateSystemContext();
    }
    void DestroySystemContext() override
    {
        UIElement::DestroySystemContext();
        if (HWND handle = GetNativeHandle()) {
            SetWindowLongPtrW(handle, GWLP_USERDATA, 0);
            SetNativeHandle(nullptr);
            DestroyWindow(handle);
        }
    }
    LRESULT HandleNativeMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        seen.push_back(message);
        if (message == WM_CHAR)
            typed.push_back(static_cast<char16_t>(wParam));
        if (message == EM_SETSEL)
            selection = {static_cast<int>(wParam), static_cast<int>(lParam)};
        if (message == WM_GETDLGCODE)
            return dialogCode;
        if (answer != -2 && (message == WM_COMMAND || message == WM_NOTIFY || message == WM_HSCROLL ||
                             message == WM_CTLCOLORSTATIC))
            return answer;
        return NativeUIElement::HandleNativeMessage(message, wParam, lParam);
    }
    bool PreTranslateMessage(UINT message, WPARAM, LPARAM) override { return message == consume; }

    static void RegisterClass()
    {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &UIWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kControlClass;
        RegisterClassExW(&windowClass); // fails harmlessly once registered
    }

    bool Saw(UINT message) const { return std::find(seen.begin(), seen.end(), message) != seen.end(); }

    std::vector<UINT> seen;
    std::u16string typed;
    std::pair<int, int> selection{-1, -1};
    LRESULT answer = -2;
    LRESULT dialogCode = 0;
    UINT consume = 0;

private:
    std::string fLabel;
    DWORD fStyle;
};

// A windowless control (hint 3) that records its calls as "<label>:<call> x,y m p" lines.
class Windowless : public UIElement, public UICustomControlBase {
public:
    Windowless(const char* label, std::vector<std::string>* trace, Box2i frame) : fLabel(label), fTrace(trace)
    {
        compositingHint = kWindowlessHint;
        SetLayout(frame.left, frame.top, frame.right, frame.bottom, 0, 0);
    }

    bool HandleMouse(Vector2i point, int32_t modifiers, int32_t phase) override
    {
        Record("mouse " + std::to_string(point.x) + "," + std::to_string(point.y) + " m" + std::to_string(modifiers) +
               " p" + std::to_string(phase));
        return true;
    }
    bool HandleContextClick(Vector2i point, Vector2i screen) override
    {
        Record("context " + std::to_string(point.x) + "," + std::to_string(point.y) + " screen " +
               std::to_string(screen.x) + "," + std::to_string(screen.y));
        return true;
    }
    void MouseExited() override { Record("exited"); }
    void SetAppearingActive(bool active) override { Record(active ? "active" : "inactive"); }
    void Draw(RazaGraf& graf) override
    {
        Record("draw");
        graf.FillBox({-100, -100, 1000, 1000, false}, fill);
        graf.FillBox({0, 0, 2, 2, false}, marker);
    }
    Vector2i GetContentOrigin() const override { return contentOrigin; }

    CXColor fill{0.0f, 0.0f, 1.0f, 1.0f};
    CXColor marker{1.0f, 0.0f, 0.0f, 1.0f};

private:
    void Record(const std::string& call)
    {
        if (fTrace != nullptr)
            fTrace->push_back(fLabel + ":" + call);
    }

    std::string fLabel;
    std::vector<std::string>* fTrace;
};

inline POINT CenterOf(const RECT& rect)
{
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

class WindowElementTest : public ElementTest {
protected:
    void SetUp() override
    {
        static bool threadRegistered = false;
        if (!threadRegistered) {
            threadRegistered = true;
            CXThread::CXInit();
            CXTaskHost::InitCurrentThreadTaskHost();
        }
        CXUIWindow::ResetProcessStateForTesting();
        ElementTest::SetUp();
    }
    void TearDown() override
    {
        CXUIWindow::DestroyParkingWindow();
        ElementTest::TearDown();
        CXUIWindow::ResetProcessStateForTesting();
    }

    // A window made and initialised with its client rectangle at the box (screen coordinates).
    CXUIWindow* MakeWindow(Box2i frame = {200, 150, 520, 390, false}, bool visible = true)
    {
        auto* window = new CXUIWindow;
        window->Init();
        window->SetLayout(frame.left, frame.top, frame.right, frame.bottom, 0, 0);
        if (visible)
            window->SetVisible(true);
        return window;
    }

    static RECT ClientOnScreen(HWND hwnd)
    {
        RECT client = {};
        GetClientRect(hwnd, &client);
        POINT origin = {0, 0};
        ClientToScreen(hwnd, &origin);
        return {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    }
    static Box2i AsBox(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom, false}; }

    // A click with the mouse in the middle of a window (a control's), then what it queued pumped.
    void ClickCentre(HWND hwnd)
    {
        ASSERT_NE(hwnd, nullptr);
        RECT client = {};
        GetClientRect(hwnd, &client);
        harness.Click(hwnd, CenterOf(client));
        ASSERT_TRUE(harness.PumpUntilIdle());
    }

    // Main-loop turns while input is queued, then until every posted message is delivered.
    static void DeliverPosted()
    {
        UIMessageLoop loop;
        MSG message = {};
        for (int i = 0; i < 200 && PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); ++i)
            ASSERT_TRUE(loop.Turn());
        for (int turns = 0; turns < 20 && CXMessagePost::GetSingleton().GetCount() > 0; ++turns)
            ASSERT_TRUE(loop.Turn());
    }

    win32::testing::Harness harness;
};

// A WindowElementTest with one shown window, made before each test and destroyed after it.
class OneWindowTest : public WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        window = MakeWindow();
    }
    void TearDown() override
    {
        window->Destroy();
        WindowElementTest::TearDown();
    }

    CXUIWindow* window = nullptr;
};

// A top-level window that names `owner` as its owner, so that it dies with it.
class OwnedWindow : public CXUIWindow {
public:
    explicit OwnedWindow(HWND owner) : fOwner(owner) {}
    HWND GetOwnerWindow() override { return fOwner; }

private:
    HWND fOwner;
};

} // namespace toolkittest
