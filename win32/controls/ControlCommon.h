#pragma once

// Private to the controls: the record each control keeps beside its window, and what every
// control shares (its font, its colours from the parent, its notifications, small drawing helpers).

#include "win32/controls/Controls.h"
#include "win32/gdi/Gdi.h"
#include "win32/user/Paint.h"

#include <memory>
#include <string>
#include <unordered_map>

namespace win32::controls {

// What every control keeps. A procedure frame holds its record (a shared pointer) while it runs:
// a notification's handler may destroy the control, and the frame then finds dead set and stops.
struct ControlState {
    bool dead = false;
    // Borrowed (WM_SETFONT); drawing checks that it is still a font.
    HFONT font = nullptr;
};

// The records of one kind of control by window, made at WM_NCCREATE and dropped at WM_NCDESTROY
// (when the handle is already dead, so the record cannot live in the window's extra bytes).
template <typename State>
class StateTable {
public:
    static std::shared_ptr<State> Attach(HWND hwnd)
    {
        auto state = std::make_shared<State>();
        Map()[hwnd] = state;
        return state;
    }
    static std::shared_ptr<State> Find(HWND hwnd)
    {
        auto it = Map().find(hwnd);
        return it != Map().end() ? it->second : nullptr;
    }
    static void Detach(HWND hwnd)
    {
        auto it = Map().find(hwnd);
        if (it == Map().end())
            return;
        it->second->dead = true;
        Map().erase(it);
    }
    // A control's window procedure around handle(state, hwnd, message, wParam, lParam): the record
    // is made at WM_NCCREATE, dropped at WM_NCDESTROY and held for the whole message (a
    // notification's handler may destroy the control); a window without one gets DefWindowProcW.
    template <typename Handler>
    static LRESULT Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, Handler handle)
    {
        if (message == WM_NCCREATE)
            Attach(hwnd);
        if (message == WM_NCDESTROY) {
            Detach(hwnd);
            return 0;
        }
        std::shared_ptr<State> state = Find(hwnd);
        if (state == nullptr)
            return DefWindowProcW(hwnd, message, wParam, lParam);
        return handle(*state, hwnd, message, wParam, lParam);
    }

private:
    static std::unordered_map<HWND, std::shared_ptr<State>>& Map()
    {
        static std::unordered_map<HWND, std::shared_ptr<State>> map;
        return map;
    }
};

// What every control does with a message it has no use of its own for: WM_SETFONT and
// WM_GETFONT, the rest to DefWindowProcW.
LRESULT DefaultControlMessage(ControlState& state, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Selects the control's font (the stock dialog font when it has none or it was deleted) and
// answers the font it replaced.
HGDIOBJ SelectControlFont(HDC hdc, const ControlState& state);

// Asks the parent for the control's colours with message (a WM_CTLCOLOR*), which sets the DC's
// text and background colours, and answers the background brush: DefWindowProcW's when there is no
// parent or it answers no brush. Null when the handler destroyed the control.
HBRUSH AskColors(const ControlState& state, HWND hwnd, UINT message, HDC hdc);

// Sends a notification to the parent (nothing without one); false when the control died meanwhile,
// and the caller then touches nothing more.
bool NotifyParent(const ControlState& state, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The window's style bits.
DWORD StyleOf(HWND hwnd);
// Marks the whole control for repainting (it paints every pixel, so nothing is erased).
void Redraw(HWND hwnd);
// The window's text through WM_GETTEXT.
std::u16string WindowText(HWND hwnd);
RECT ClientArea(HWND hwnd);
bool Contains(const RECT& rect, POINT point);
// A rectangle of a system colour; a 1-pixel frame of one.
void FillColor(HDC hdc, const RECT& rect, int color);
void FrameColor(HDC hdc, const RECT& rect, int color);
RECT Inset(const RECT& rect, int dx, int dy);

// The window procedures of the classes.
LRESULT ButtonProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ComboBoxProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DateTimePickProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT EditProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT RichEditProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ProgressProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ScrollBarProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT StaticProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT TabControlProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace win32::controls
