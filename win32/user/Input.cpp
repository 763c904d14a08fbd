#include "win32/core/Core.h"
#include "win32/core/Handles.h"
#include "win32/user/MenuState.h"
#include "win32/user/QueueState.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace win32 {

namespace user {

namespace {

// The pointer, packed (x low, y high), readable by posts from any thread.
std::atomic<uint32_t> gPointer{0};

struct InputState {
    BYTE keys[256] = {};
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
    HWND tracked = nullptr;
    // The last button press, for double-clicks.
    HWND clickWindow = nullptr;
    UINT clickButton = 0;
    int64_t clickTime = 0;
    POINT clickPoint = {0, 0};
    // The text of the last key-down taken, for TranslateMessage.
    UINT textKey = 0;
    std::u16string text;
    // ShowCursor's display count: the cursor shows while it is not negative.
    int cursorCount = 0;
};

InputState& Input()
{
    static InputState* state = new InputState();
    return *state;
}

bool KeyDown(UINT key)
{
    return (Input().keys[key & 0xFF] & 0x80) != 0;
}

bool EitherDown(UINT left, UINT right)
{
    return KeyDown(left) || KeyDown(right);
}

UINT GenericKey(UINT key)
{
    switch (key) {
    case VK_LSHIFT:
    case VK_RSHIFT:
        return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL:
        return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU:
        return VK_MENU;
    default:
        return key;
    }
}

// An unsided modifier counts as its left key.
UINT SidedKey(UINT key)
{
    switch (key) {
    case VK_SHIFT:
        return VK_LSHIFT;
    case VK_CONTROL:
        return VK_LCONTROL;
    case VK_MENU:
        return VK_LMENU;
    default:
        return key;
    }
}

void SetKey(UINT key, bool down)
{
    BYTE& state = Input().keys[key & 0xFF];
    if (down) {
        if ((state & 0x80) == 0)
            state ^= 0x01;
        state |= 0x80;
    } else {
        state &= static_cast<BYTE>(~0x80);
    }
}

WPARAM MouseKeys(UINT changedButton, bool down)
{
    auto held = [&](UINT button) { return button == changedButton ? down : KeyDown(button); };
    WPARAM bits = 0;
    if (held(VK_LBUTTON))
        bits |= MK_LBUTTON;
    if (held(VK_RBUTTON))
        bits |= MK_RBUTTON;
    if (held(VK_MBUTTON))
        bits |= MK_MBUTTON;
    if (EitherDown(VK_LSHIFT, VK_RSHIFT))
        bits |= MK_SHIFT;
    if (EitherDown(VK_LCONTROL, VK_RCONTROL))
        bits |= MK_CONTROL;
    return bits;
}

bool Contains(const RECT& rect, POINT point)
{
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

} // namespace

Window* HitTest(POINT point)
{
    for (Window* top : State().topLevels) {
        if (top->dead || (top->style & WS_VISIBLE) == 0 || !Contains(top->rect, point))
            continue;
        if ((top->style & WS_DISABLED) != 0)
            return nullptr;
        Window* found = top;
        for (;;) {
            POINT origin = ClientOriginOnScreen(found);
            POINT local = {point.x - origin.x, point.y - origin.y};
            Window* next = nullptr;
            for (Window* child : found->children) {
                if (!child->dead && (child->style & WS_VISIBLE) != 0 && Contains(child->rect, local)) {
                    next = child;
                    break;
                }
            }
            // A disabled child passes the input to its parent.
            if (next == nullptr || (next->style & WS_DISABLED) != 0)
                break;
            found = next;
        }
        return found;
    }
    return nullptr;
}

namespace {

// The top-level window whose menu bar lies under a screen point, or null.
Window* BarAt(POINT point)
{
    for (Window* top : State().topLevels) {
        if (top->dead || (top->style & WS_VISIBLE) == 0 || !Contains(top->rect, point))
            continue;
        if ((top->style & WS_DISABLED) != 0 || !HasBar(top) || !Contains(BarOnScreen(top), point))
            return nullptr;
        return top;
    }
    return nullptr;
}

LPARAM ClientPoint(Window* window, POINT screen)
{
    POINT origin = ClientOriginOnScreen(window);
    return MAKELPARAM(screen.x - origin.x, screen.y - origin.y);
}

UINT ButtonMessage(UINT button, bool down, bool doubleClick)
{
    if (button == VK_RBUTTON)
        return doubleClick ? WM_RBUTTONDBLCLK : (down ? WM_RBUTTONDOWN : WM_RBUTTONUP);
    return doubleClick ? WM_LBUTTONDBLCLK : (down ? WM_LBUTTONDOWN : WM_LBUTTONUP);
}

bool IsDoubleClick(Window* window, UINT button, POINT point)
{
    InputState& input = Input();
    if (window == nullptr || window->windowClass == nullptr || (window->windowClass->style & CS_DBLCLKS) == 0)
        return false;
    if (input.clickWindow != window->handle || input.clickButton != button)
        return false;
    const Metrics& metrics = GetBackend()->GetMetrics();
    int64_t elapsed = core::NowNanoseconds() - input.clickTime;
    return elapsed <= static_cast<int64_t>(metrics.doubleClickTime) * 1000000 &&
           std::abs(point.x - input.clickPoint.x) <= metrics.doubleClickWidth / 2 &&
           std::abs(point.y - input.clickPoint.y) <= metrics.doubleClickHeight / 2;
}

// Builds the message of an input event. Null hwnd: the event reaches no window.
MSG BuildMessage(const InputEvent& event)
{
    InputState& input = Input();
    MSG msg = {nullptr, WM_NULL, 0, 0, GetTickCount(), event.point};
    POINT point = {static_cast<int16_t>(event.point.x), static_cast<int16_t>(event.point.y)};
    msg.pt = point;
    switch (event.kind) {
    case InputEvent::Kind::MouseMove:
    case InputEvent::Kind::ButtonDown:
    case InputEvent::Kind::ButtonUp: {
        Window* target = PeekWindow(input.capture);
        if (target == nullptr && event.kind != InputEvent::Kind::MouseMove && event.key == VK_LBUTTON) {
            // A left press on a menu bar belongs to the bar's menu, not to the client area below
            // it; its release there reaches no window.
            if (Window* barWindow = BarAt(point)) {
                if (event.kind == InputEvent::Kind::ButtonUp)
                    return msg;
                msg.hwnd = barWindow->handle;
                msg.message = WM_NCLBUTTONDOWN;
                msg.wParam = static_cast<WPARAM>(HTMENU);
                msg.lParam = MAKELPARAM(point.x, point.y);
                return msg;
            }
        }
        if (target == nullptr)
            target = HitTest(point);
        if (target == nullptr)
            return msg;
        msg.hwnd = target->handle;
        msg.lParam = ClientPoint(target, point);
        if (event.kind == InputEvent::Kind::MouseMove) {
            msg.message = WM_MOUSEMOVE;
            msg.wParam = MouseKeys(0, false);
        } else {
            bool down = event.kind == InputEvent::Kind::ButtonDown;
            msg.message = ButtonMessage(event.key, down, down && IsDoubleClick(target, event.key, point));
            msg.wParam = MouseKeys(event.key, down);
        }
        return msg;
    }
    case InputEvent::Kind::Wheel:
    case InputEvent::Kind::HorizontalWheel: {
        Window* target = PeekWindow(input.capture);
        if (target == nullptr)
            target = HitTest(point);
        if (target == nullptr)
            return msg;
        msg.hwnd = target->handle;
        msg.message = event.kind == InputEvent::Kind::Wheel ? WM_MOUSEWHEEL : WM_MOUSEHWHEEL;
        msg.wParam = MAKEWPARAM(static_cast<int>(MouseKeys(0, false)), event.delta);
        msg.lParam = MAKELPARAM(point.x, point.y);
        return msg;
    }
    case InputEvent::Kind::KeyDown:
    case InputEvent::Kind::KeyUp: {
        Window* target = PeekWindow(input.focus);
        if (target == nullptr)
            target = PeekWindow(input.active);
        if (target == nullptr)
            return msg;
        bool down = event.kind == InputEvent::Kind::KeyDown;
        UINT sided = SidedKey(event.key);
        UINT generic = GenericKey(sided);
        bool alt = EitherDown(VK_LMENU, VK_RMENU) || generic == VK_MENU;
        bool control = EitherDown(VK_LCONTROL, VK_RCONTROL);
        if (down && generic == VK_MENU)
            alt = true;
        bool system = alt && !control;
        msg.hwnd = target->handle;
        msg.message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
        msg.wParam = generic;
        uint32_t lParam = 1;
        if (system)
            lParam |= 1u << 29;
        if (!down || event.repeat || KeyDown(sided))
            lParam |= 1u << 30;
        if (!down)
            lParam |= 1u << 31;
        msg.lParam = static_cast<LPARAM>(lParam);
        return msg;
    }
    case InputEvent::Kind::Close: {
        // The user's request to close a window that offers no close box, or one that is disabled
        // (under a modal window or sheet), goes nowhere.
        Window* target = PeekWindow(event.window);
        if (target == nullptr || target->parent != nullptr || (target->style & WS_SYSMENU) == 0 ||
            !IsUsable(target))
            return msg;
        msg.hwnd = target->handle;
        msg.message = WM_CLOSE;
        return msg;
    }
    case InputEvent::Kind::Configure:
    case InputEvent::Kind::Activate:
    case InputEvent::Kind::Deactivate:
    case InputEvent::Kind::Expose:
        // Done where the queue takes them (TakeInput): no message comes of them.
        return msg;
    }
    return msg;
}

// Applies an event taken from the queue: key state, pointer, double-click memory, leave tracking.
void ApplyEvent(const InputEvent& event, const MSG& msg)
{
    InputState& input = Input();
    switch (event.kind) {
    case InputEvent::Kind::KeyDown:
        SetKey(SidedKey(event.key), true);
        input.textKey = GenericKey(SidedKey(event.key));
        input.text = event.text;
        break;
    case InputEvent::Kind::KeyUp:
        SetKey(SidedKey(event.key), false);
        break;
    case InputEvent::Kind::ButtonDown:
        SetKey(event.key, true);
        break;
    case InputEvent::Kind::ButtonUp:
        SetKey(event.key, false);
        break;
    default:
        break;
    }
    BYTE* keys = input.keys;
    keys[VK_SHIFT] = static_cast<BYTE>(EitherDown(VK_LSHIFT, VK_RSHIFT) ? 0x80 : 0) | (keys[VK_SHIFT] & 1);
    keys[VK_CONTROL] = static_cast<BYTE>(EitherDown(VK_LCONTROL, VK_RCONTROL) ? 0x80 : 0) | (keys[VK_CONTROL] & 1);
    keys[VK_MENU] = static_cast<BYTE>(EitherDown(VK_LMENU, VK_RMENU) ? 0x80 : 0) | (keys[VK_MENU] & 1);
    bool mouse = event.kind == InputEvent::Kind::MouseMove || event.kind == InputEvent::Kind::ButtonDown ||
                 event.kind == InputEvent::Kind::ButtonUp || event.kind == InputEvent::Kind::Wheel ||
                 event.kind == InputEvent::Kind::HorizontalWheel;
    if (mouse)
        gPointer.store(static_cast<uint32_t>(MAKELPARAM(msg.pt.x, msg.pt.y)));
    if (event.kind == InputEvent::Kind::ButtonDown) {
        // A double-click's second press, or a press on a menu bar, starts no double-click.
        if (msg.message == WM_LBUTTONDBLCLK || msg.message == WM_RBUTTONDBLCLK || msg.message == WM_NCLBUTTONDOWN) {
            input.clickWindow = nullptr;
        } else {
            input.clickWindow = msg.hwnd;
            input.clickButton = event.key;
            input.clickTime = core::NowNanoseconds();
            input.clickPoint = msg.pt;
        }
    }
    if (mouse && input.tracked != nullptr && msg.hwnd != input.tracked) {
        HWND left = input.tracked;
        input.tracked = nullptr;
        PostInternal(left, WM_MOUSELEAVE, 0, 0);
    }
}

bool IsButtonDown(UINT message)
{
    return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_LBUTTONDBLCLK ||
           message == WM_RBUTTONDBLCLK || message == WM_NCLBUTTONDOWN;
}

// The capture moved from oldHolder to newHolder (null: released): the backend hears of it for the
// top-level window of the new holder, or of the old one on a release; then the old holder gets
// WM_CAPTURECHANGED.
void SendCaptureChanged(HWND oldHolder, HWND newHolder)
{
    if (Window* taker = PeekWindow(newHolder))
        TellBackend(TopLevelOf(taker), TopLevelChange::CaptureTaken);
    else if (Window* left = PeekWindow(oldHolder))
        TellBackend(TopLevelOf(left), TopLevelChange::CaptureReleased);
    if (Window* old = PeekWindow(oldHolder))
        Dispatch(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(newHolder));
}

void ReleaseCaptureInside(Window* window)
{
    InputState& input = Input();
    Window* holder = PeekWindow(input.capture);
    if (holder != nullptr && IsInside(holder, window)) {
        input.capture = nullptr;
        SendCaptureChanged(holder->handle, nullptr);
    }
}

// A top-level window and the windows it owns (a drop-down list, a menu), at any depth.
bool OwnedBy(Window* window, Window* top)
{
    for (Window* w = TopLevelOf(window); w != nullptr; w = w->owner) {
        if (w == top)
            return true;
    }
    return false;
}

// A deactivated window loses the capture held inside it or by a window it owns.
void ReleaseCaptureOfDeactivated(Window* top)
{
    InputState& input = Input();
    Window* holder = PeekWindow(input.capture);
    if (holder != nullptr && OwnedBy(holder, top)) {
        input.capture = nullptr;
        SendCaptureChanged(holder->handle, nullptr);
    }
}

void ChangeFocus(Window* target)
{
    InputState& input = Input();
    HWND old = input.focus;
    HWND next = target != nullptr ? target->handle : nullptr;
    if (old == next)
        return;
    input.focus = next;
    if (Window* oldWindow = PeekWindow(old)) {
        WindowHold hold(oldWindow);
        Dispatch(oldWindow, WM_KILLFOCUS, reinterpret_cast<WPARAM>(next), 0);
    }
    if (target != nullptr && !target->dead && input.focus == next) {
        if (Window* top = TopLevelOf(target))
            top->lastFocus = next;
        Dispatch(target, WM_SETFOCUS, reinterpret_cast<WPARAM>(PeekWindow(old) != nullptr ? old : nullptr), 0);
    }
}

// The owned windows of a top-level window stay above it.
void RaiseWithOwned(Window* top)
{
    std::vector<Window*>& list = State().topLevels;
    auto it = std::find(list.begin(), list.end(), top);
    if (it == list.end())
        return;
    list.erase(it);
    list.insert(list.begin(), top);
    std::vector<Window*> owned;
    for (Window* other : list) {
        if (other->owner == top)
            owned.push_back(other);
    }
    for (auto o = owned.rbegin(); o != owned.rend(); ++o) {
        list.erase(std::find(list.begin(), list.end(), *o));
        list.insert(list.begin(), *o);
    }
}

// Makes top (a top-level window, or null for none) the active window. tellBackend false: the window
// system itself activated it, so nothing is told back.
void Activate(Window* top, WPARAM how, bool tellBackend = true)
{
    InputState& input = Input();
    HWND next = top != nullptr ? top->handle : nullptr;
    if (input.active == next)
        return;
    HWND old = input.active;
    input.active = next;
    if (Window* oldWindow = PeekWindow(old)) {
        WindowHold hold(oldWindow);
        ReleaseCaptureOfDeactivated(oldWindow);
        Window* focus = PeekWindow(input.focus);
        if (focus != nullptr && IsInside(focus, oldWindow))
            oldWindow->lastFocus = input.focus;
        Dispatch(oldWindow, WM_NCACTIVATE, FALSE, 0);
        Dispatch(oldWindow, WM_ACTIVATE, MAKEWPARAM(static_cast<int>(WA_INACTIVE), 0),
                 reinterpret_cast<LPARAM>(next));
    }
    if (top == nullptr || top->dead || input.active != next) {
        if (top == nullptr)
            ChangeFocus(nullptr);
        return;
    }
    WindowHold hold(top);
    RaiseWithOwned(top);
    // Told before the procedure runs, so an activation the procedure makes in turn comes later.
    if (tellBackend)
        TellBackend(top, TopLevelChange::Activated);
    Dispatch(top, WM_NCACTIVATE, TRUE, 0);
    Dispatch(top, WM_ACTIVATE, how, reinterpret_cast<LPARAM>(PeekWindow(old) != nullptr ? old : nullptr));
    // Whatever the procedure did with WM_ACTIVATE, the activated window holds the focus.
    if (top->dead || input.active != next)
        return;
    Window* focus = PeekWindow(input.focus);
    if (focus != nullptr && IsInside(focus, top))
        return;
    Window* last = PeekWindow(top->lastFocus);
    if (last == nullptr || !IsInside(last, top) || !IsShown(last) || !IsUsable(last))
        last = top;
    ChangeFocus(last);
}

// After the active window went away: its owner if visible and enabled, else the topmost visible,
// enabled top-level window other than the leaving one.
void ActivateNext(Window* leaving)
{
    Window* owner = leaving->owner;
    if (owner != nullptr && !owner->dead && !owner->destroying && IsShown(owner) && IsUsable(owner)) {
        Activate(owner, WA_ACTIVE);
        return;
    }
    for (Window* top : State().topLevels) {
        if (top != leaving && !top->dead && !top->destroying && IsShown(top) && IsUsable(top)) {
            Activate(top, WA_ACTIVE);
            return;
        }
    }
    Activate(nullptr, WA_INACTIVE);
}

// A focus inside a window that leaves (hidden, disabled, dying) passes to its top-level window
// (formerTop, when given) when that one can hold it, else nowhere.
void MoveFocusOutOf(Window* window, Window* formerTop = nullptr)
{
    InputState& input = Input();
    Window* focus = PeekWindow(input.focus);
    if (focus == nullptr || !IsInside(focus, window))
        return;
    Window* top = formerTop != nullptr ? formerTop : TopLevelOf(window);
    if (top != window && top != nullptr && !top->dead && !top->destroying && IsShown(top) && IsUsable(top))
        ChangeFocus(top);
    else
        ChangeFocus(nullptr);
}

} // namespace

Window* PeekWindow(HWND hwnd)
{
    if (hwnd == nullptr)
        return nullptr;
    return static_cast<Window*>(core::Handles().Find(core::HandleValue(hwnd), core::HandleKind::Window));
}

Window* TopLevelOf(Window* window)
{
    while (window != nullptr && window->parent != nullptr)
        window = window->parent;
    return window;
}

bool IsShown(const Window* window)
{
    for (const Window* w = window; w != nullptr; w = w->parent) {
        if ((w->style & WS_VISIBLE) == 0)
            return false;
    }
    return true;
}

bool IsUsable(const Window* window)
{
    for (const Window* w = window; w != nullptr; w = w->parent) {
        if ((w->style & WS_DISABLED) != 0)
            return false;
    }
    return true;
}

bool IsInside(const Window* window, const Window* ancestor)
{
    for (const Window* w = window; w != nullptr; w = w->parent) {
        if (w == ancestor)
            return true;
    }
    return false;
}

POINT CurrentPointer()
{
    LPARAM packed = static_cast<LPARAM>(gPointer.load());
    return {GET_X_LPARAM(packed), GET_Y_LPARAM(packed)};
}

namespace {

// What the window system did to a top-level window, done as the queue reaches it, whatever the
// caller's filter: no message comes of it, and nothing is told back to the backend. False for the
// other kinds (Close among them: it is a message).
bool TakeWindowEvent(const InputEvent& event)
{
    switch (event.kind) {
    case InputEvent::Kind::Configure:
    case InputEvent::Kind::Activate:
    case InputEvent::Kind::Deactivate:
    case InputEvent::Kind::Expose:
        break;
    default:
        return false;
    }
    core::PopInput();
    Window* window = PeekWindow(event.window);
    if (window == nullptr || window->parent != nullptr)
        return true;
    WindowHold hold(window);
    switch (event.kind) {
    case InputEvent::Kind::Configure:
        PlaceByWindowSystem(window, event.rect);
        break;
    case InputEvent::Kind::Activate:
        // A hidden or disabled window (one under a modal window) is not made active.
        if (Input().active != window->handle && IsShown(window) && IsUsable(window))
            Activate(window, WA_ACTIVE, false);
        break;
    case InputEvent::Kind::Deactivate:
        if (Input().active == window->handle)
            Activate(nullptr, WA_INACTIVE, false);
        break;
    case InputEvent::Kind::Expose:
        PresentAgain(window, event.rect);
        break;
    default:
        break;
    }
    return true;
}

} // namespace

bool TakeInput(MSG* msg, HWND filter, UINT filterMin, UINT filterMax, bool remove)
{
    for (;;) {
        core::MergeMouseMoves();
        InputEvent event;
        if (!core::PeekInput(&event))
            return false;
        if (TakeWindowEvent(event))
            continue;
        MSG built = BuildMessage(event);
        if (built.hwnd == nullptr) {
            // Nobody gets it (a disabled top-level window, no window there, nothing focused);
            // it still moves the key state and the pointer.
            core::PopInput();
            ApplyEvent(event, built);
            continue;
        }
        bool inRange = (filterMin == 0 && filterMax == 0) ||
                       (built.message >= filterMin && built.message <= filterMax);
        Window* window = PeekWindow(built.hwnd);
        Window* ancestor = PeekWindow(filter);
        if (!inRange || (filter != nullptr && (ancestor == nullptr || !IsInside(window, ancestor))))
            return false;
        if (!remove) {
            *msg = built;
            return true;
        }
        core::PopInput();
        ApplyEvent(event, built);
        if (IsButtonDown(built.message)) {
            // A click activates its top-level window unless WM_MOUSEACTIVATE says otherwise; an
            // answer that eats the click leaves no message.
            Window* top = TopLevelOf(window);
            if (top != nullptr && Input().active != top->handle) {
                WindowHold hold(window);
                LRESULT hit = built.message == WM_NCLBUTTONDOWN ? HTMENU : HTCLIENT;
                LRESULT answer = Dispatch(window, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top->handle),
                                          MAKELPARAM(static_cast<int>(hit), static_cast<int>(built.message)));
                if (answer != MA_NOACTIVATE && answer != MA_NOACTIVATEANDEAT && !top->dead)
                    Activate(top, WA_CLICKACTIVE);
                if (answer == MA_ACTIVATEANDEAT || answer == MA_NOACTIVATEANDEAT || window->dead)
                    continue;
            }
        }
        *msg = built;
        return true;
    }
}

void ResetInputState()
{
    gPointer.store(0);
    Input() = InputState();
}

void InputWindowGone(Window* window)
{
    InputState& input = Input();
    HWND hwnd = window->handle;
    if (input.focus == hwnd)
        input.focus = nullptr;
    if (input.active == hwnd)
        input.active = nullptr;
    if (input.capture == hwnd) {
        input.capture = nullptr;
        Window* top = TopLevelOf(window);
        if (top != window)
            TellBackend(top, TopLevelChange::CaptureReleased);
    }
    if (input.tracked == hwnd)
        input.tracked = nullptr;
    if (input.clickWindow == hwnd)
        input.clickWindow = nullptr;
}

void WindowShown(Window* window, bool activating)
{
    if (window->parent == nullptr && activating && IsUsable(window))
        Activate(window, WA_ACTIVE);
}

void WindowHidden(Window* window, Window* formerTop)
{
    WindowHold hold(window);
    ReleaseCaptureInside(window);
    // The active window is a top-level one, or one that SetParent has just made a child.
    if (Input().active == window->handle) {
        ActivateNext(window);
        if (window->dead)
            return;
    }
    MoveFocusOutOf(window, formerTop);
}

void WindowDisabled(Window* window, Window* formerTop)
{
    WindowHold hold(window);
    ReleaseCaptureInside(window);
    MoveFocusOutOf(window, formerTop);
}

void WindowDestroying(Window* window)
{
    ReleaseCaptureInside(window);
    InputState& input = Input();
    if (window->parent == nullptr && input.active == window->handle) {
        ActivateNext(window);
    }
    MoveFocusOutOf(window);
}

} // namespace user

using namespace user;

BOOL TranslateMessage(const MSG* msg)
{
    if (!core::CheckUIThread("TranslateMessage"))
        return FALSE;
    if (msg == nullptr || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN))
        return FALSE;
    InputState& input = Input();
    std::u16string text;
    if (input.textKey == msg->wParam && !input.text.empty()) {
        text = input.text;
    } else {
        UINT key = static_cast<UINT>(msg->wParam);
        bool control = (input.keys[VK_CONTROL] & 0x80) != 0;
        if (key == VK_BACK || key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE)
            text = std::u16string(1, static_cast<char16_t>(key == VK_RETURN ? 13 : key));
        else if (control && key >= 'A' && key <= 'Z')
            text = std::u16string(1, static_cast<char16_t>(key - 'A' + 1));
    }
    if (text.empty() || msg->message == WM_SYSKEYDOWN)
        return FALSE;
    for (char16_t unit : text)
        PostInternal(msg->hwnd, WM_CHAR, unit, msg->lParam);
    return TRUE;
}

SHORT GetKeyState(int virtualKey)
{
    if (!core::CheckUIThread("GetKeyState"))
        return 0;
    BYTE state = Input().keys[virtualKey & 0xFF];
    return static_cast<SHORT>(((state & 0x80) != 0 ? 0x8000 : 0) | (state & 0x01));
}

HWND SetFocus(HWND hwnd)
{
    if (!core::CheckUIThread("SetFocus"))
        return nullptr;
    InputState& input = Input();
    HWND old = PeekWindow(input.focus) != nullptr ? input.focus : nullptr;
    if (hwnd == nullptr) {
        ChangeFocus(nullptr);
        return old;
    }
    Window* window = FindWindow(hwnd);
    if (window == nullptr || !IsShown(window) || !IsUsable(window))
        return nullptr;
    if (input.focus == hwnd)
        return old;
    WindowHold hold(window);
    Window* top = TopLevelOf(window);
    if (input.active != top->handle) {
        Activate(top, WA_ACTIVE);
        if (window->dead)
            return old;
    }
    ChangeFocus(window);
    return old;
}

HWND GetFocus()
{
    if (!core::CheckUIThread("GetFocus"))
        return nullptr;
    return PeekWindow(Input().focus) != nullptr ? Input().focus : nullptr;
}

HWND SetActiveWindow(HWND hwnd)
{
    if (!core::CheckUIThread("SetActiveWindow"))
        return nullptr;
    HWND old = PeekWindow(Input().active) != nullptr ? Input().active : nullptr;
    if (hwnd == nullptr) {
        Activate(nullptr, WA_INACTIVE);
        return old;
    }
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return nullptr;
    Window* top = TopLevelOf(window);
    if (!IsShown(top) || !IsUsable(top))
        return nullptr;
    Activate(top, WA_ACTIVE);
    return old;
}

HWND GetActiveWindow()
{
    if (!core::CheckUIThread("GetActiveWindow"))
        return nullptr;
    return PeekWindow(Input().active) != nullptr ? Input().active : nullptr;
}

HWND GetForegroundWindow()
{
    return GetActiveWindow();
}

HWND SetCapture(HWND hwnd)
{
    if (!core::CheckUIThread("SetCapture"))
        return nullptr;
    InputState& input = Input();
    HWND old = PeekWindow(input.capture) != nullptr ? input.capture : nullptr;
    if (hwnd == nullptr || FindWindow(hwnd) == nullptr)
        return nullptr;
    if (old == hwnd)
        return old;
    input.capture = hwnd;
    SendCaptureChanged(old, hwnd);
    return old;
}

BOOL ReleaseCapture()
{
    if (!core::CheckUIThread("ReleaseCapture"))
        return FALSE;
    InputState& input = Input();
    HWND old = input.capture;
    if (old == nullptr)
        return TRUE;
    input.capture = nullptr;
    SendCaptureChanged(old, nullptr);
    return TRUE;
}

BOOL GetCursorPos(POINT* point)
{
    if (point == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *point = CurrentPointer();
    return TRUE;
}

BOOL SetCursorPos(int x, int y)
{
    if (!core::CheckUIThread("SetCursorPos"))
        return FALSE;
    POINT point = {static_cast<int16_t>(x), static_cast<int16_t>(y)};
    gPointer.store(static_cast<uint32_t>(MAKELPARAM(point.x, point.y)));
    // The window under the pointer (or the capture holder) hears of the move, as it would of the
    // user's.
    InputEvent move;
    move.point = point;
    core::PushInput(move);
    return TRUE;
}

int ShowCursor(BOOL show)
{
    if (!core::CheckUIThread("ShowCursor"))
        return 0;
    InputState& input = Input();
    input.cursorCount += show ? 1 : -1;
    return input.cursorCount;
}

HWND GetCapture()
{
    if (!core::CheckUIThread("GetCapture"))
        return nullptr;
    return PeekWindow(Input().capture) != nullptr ? Input().capture : nullptr;
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track)
{
    if (!core::CheckUIThread("TrackMouseEvent"))
        return FALSE;
    if (track == nullptr || track->cbSize != sizeof(TRACKMOUSEEVENT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    InputState& input = Input();
    if ((track->dwFlags & TME_CANCEL) != 0) {
        if ((track->dwFlags & TME_LEAVE) != 0 && input.tracked == track->hwndTrack)
            input.tracked = nullptr;
        return TRUE;
    }
    if ((track->dwFlags & TME_LEAVE) == 0)
        return TRUE;
    if (FindWindow(track->hwndTrack) == nullptr)
        return FALSE;
    input.tracked = track->hwndTrack;
    return TRUE;
}

} // namespace win32
