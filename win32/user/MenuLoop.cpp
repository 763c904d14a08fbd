// The menu loop: a nested message loop that shows popup menus (TrackPopupMenu, or the drop-down of
// a bar item) and takes the user's input until a choice or a cancellation ends it.
//
// The loop's levels are the bar (when it runs for a bar) and then each open popup menu, the last
// one on top. Each popup is a top-level WS_POPUP window of the class "#32768", owned by the owner's
// top-level window and shown without activation; a hidden window of the same class holds the
// capture for the whole loop, so every mouse message comes to the loop, which hit-tests it
// against its levels by the screen point. Keys come to the loop whatever window they were for.
// Nothing else of the input reaches any window while the loop runs; everything else (posted
// messages, paint, timers) is dispatched as usual.

#include "win32/core/Core.h"
#include "win32/user/MenuState.h"
#include "win32/user/Paint.h"
#include "win32/user/QueueState.h"

#include <algorithm>
#include <functional>

namespace win32 {

namespace user {

namespace {

struct Level {
    HMENU menu = nullptr;
    // Null for the bar.
    HWND window = nullptr;
    int hot = -1;
};

struct Loop {
    HWND owner = nullptr;
    UINT flags = 0;
    // Set when the loop runs for a window's bar (level 0 is then the bar).
    HWND barWindow = nullptr;
    HMENU bar = nullptr;
    // The active window when the loop began: the loop ends when another one is activated.
    HWND active = nullptr;
    // Holds the capture for the loop.
    HWND captureWindow = nullptr;
    std::vector<Level> levels;
    bool ended = false;
    // The loop waits in GetMessageW: an end decided meanwhile must wake it.
    bool waiting = false;
    // The loop is taking its windows down: their capture loss is its own doing.
    bool closing = false;
    bool chosen = false;
    HMENU chosenMenu = nullptr;
    UINT chosenPosition = 0;
    UINT chosenId = 0;
};

// The running loop; one at a time.
Loop* gLoop = nullptr;

constexpr const char16_t* kMenuClass = u"#32768";
char gMenuModule;

HINSTANCE MenuInstance()
{
    return reinterpret_cast<HINSTANCE>(&gMenuModule);
}

bool Contains(const RECT& rect, POINT point)
{
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

RECT Moved(const RECT& rect, int dx, int dy)
{
    return {rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};
}

void End(Loop& loop)
{
    loop.ended = true;
    if (loop.waiting)
        PostInternal(nullptr, WM_NULL, 0, 0);
}

bool IsBarLevel(const Loop& loop, size_t index)
{
    return loop.bar != nullptr && index == 0;
}

const Level* LevelOfWindow(HWND hwnd)
{
    if (gLoop == nullptr)
        return nullptr;
    for (const Level& level : gLoop->levels) {
        if (level.window == hwnd)
            return &level;
    }
    return nullptr;
}

LRESULT MenuWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_CAPTURECHANGED:
        if (gLoop != nullptr && hwnd == gLoop->captureWindow && !gLoop->closing)
            End(*gLoop);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC hdc = BeginPaint(hwnd, &paint);
        const Level* level = LevelOfWindow(hwnd);
        if (Menu* menu = level != nullptr ? PeekMenu(level->menu) : nullptr)
            PaintPopup(hdc, *menu, LayoutPopup(*menu), level->hot);
        EndPaint(hwnd, &paint);
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

bool EnsureMenuClass()
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_GLOBALCLASS;
    windowClass.lpfnWndProc = &MenuWindowProcedure;
    windowClass.hInstance = MenuInstance();
    windowClass.lpszClassName = kMenuClass;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND OwnerTop(const Loop& loop)
{
    Window* top = TopLevelOf(PeekWindow(loop.owner));
    return top != nullptr ? top->handle : nullptr;
}

// A level's items on the screen, and the area it covers.
std::vector<RECT> ItemsOnScreen(const Loop& loop, const Level& level)
{
    std::vector<RECT> rects;
    if (level.window == nullptr) {
        Window* window = PeekWindow(loop.barWindow);
        if (window == nullptr)
            return rects;
        for (const RECT& r : BarItemRects(window))
            rects.push_back(Moved(r, window->rect.left, window->rect.top));
        return rects;
    }
    Menu* menu = PeekMenu(level.menu);
    RECT frame;
    if (menu == nullptr || !GetWindowRect(level.window, &frame))
        return rects;
    for (const RECT& r : LayoutPopup(*menu).items)
        rects.push_back(Moved(r, frame.left, frame.top));
    return rects;
}

RECT AreaOnScreen(const Loop& loop, const Level& level)
{
    RECT area = {0, 0, 0, 0};
    if (level.window == nullptr) {
        if (Window* window = PeekWindow(loop.barWindow))
            area = BarOnScreen(window);
    } else {
        GetWindowRect(level.window, &area);
    }
    return area;
}

struct Hit {
    int level = -1;
    int item = -1;
};

Hit HitAt(const Loop& loop, POINT point)
{
    for (size_t i = loop.levels.size(); i-- > 0;) {
        const Level& level = loop.levels[i];
        if (!Contains(AreaOnScreen(loop, level), point))
            continue;
        std::vector<RECT> rects = ItemsOnScreen(loop, level);
        for (size_t j = 0; j < rects.size(); ++j) {
            if (Contains(rects[j], point))
                return {static_cast<int>(i), static_cast<int>(j)};
        }
        return {static_cast<int>(i), -1};
    }
    return {};
}

const MenuItem* ItemOf(const Level& level, int item)
{
    Menu* menu = PeekMenu(level.menu);
    if (menu == nullptr || item < 0 || static_cast<size_t>(item) >= menu->items.size())
        return nullptr;
    return &menu->items[static_cast<size_t>(item)];
}

void SetHot(Loop& loop, size_t index, int item)
{
    Level& level = loop.levels[index];
    if (level.hot == item)
        return;
    level.hot = item;
    if (level.window != nullptr) {
        InvalidateRect(level.window, nullptr, FALSE);
        return;
    }
    if (Menu* bar = PeekMenu(level.menu))
        bar->barHot = item;
    if (Window* window = PeekWindow(loop.barWindow))
        InvalidateBar(window);
}

// Takes down the levels above index.
void CloseAbove(Loop& loop, size_t index)
{
    while (loop.levels.size() > index + 1) {
        HWND window = loop.levels.back().window;
        loop.levels.pop_back();
        if (window != nullptr && IsWindow(window))
            DestroyWindow(window);
    }
}

// The next item that is not a separator from item on (-1: from the start, or the end going back),
// wrapping; -1 when there is none.
int NextSelectable(const Level& level, int item, int step)
{
    Menu* menu = PeekMenu(level.menu);
    if (menu == nullptr || menu->items.empty())
        return -1;
    int count = static_cast<int>(menu->items.size());
    int at = item;
    if (at < 0 || at >= count)
        at = step > 0 ? -1 : count;
    for (int tried = 0; tried < count; ++tried) {
        at = ((at + step) % count + count) % count;
        if (!menu->items[static_cast<size_t>(at)].IsSeparator())
            return at;
    }
    return -1;
}

// Shows menu as a new level at screen point at, moved onto the screen: when it would pass the
// screen's right or bottom edge, it goes to altX or altY (when given) instead, and is then kept
// on the screen.
bool OpenPopup(Loop& loop, HMENU menu, POINT at, const LONG* altX, const LONG* altY)
{
    Menu* record = PeekMenu(menu);
    HWND ownerTop = OwnerTop(loop);
    if (record == nullptr || record->items.empty() || ownerTop == nullptr)
        return false;
    PopupLayout layout = LayoutPopup(*record);
    const Metrics& metrics = GetBackend()->GetMetrics();
    LONG x = at.x;
    LONG y = at.y;
    if (x + layout.size.cx > metrics.screenWidth && altX != nullptr)
        x = *altX;
    if (y + layout.size.cy > metrics.screenHeight && altY != nullptr)
        y = *altY;
    x = std::max<LONG>(0, std::min<LONG>(x, metrics.screenWidth - layout.size.cx));
    y = std::max<LONG>(0, std::min<LONG>(y, metrics.screenHeight - layout.size.cy));
    HWND window = CreateWindowExW(0, kMenuClass, u"", WS_POPUP, x, y, layout.size.cx, layout.size.cy, ownerTop,
                                  nullptr, MenuInstance(), nullptr);
    if (window == nullptr)
        return false;
    loop.levels.push_back({menu, window, -1});
    ShowWindow(window, SW_SHOWNA);
    return true;
}

// Highlights item of level index and opens its sub-menu above it (selectFirst: with its first
// item highlighted, as the keyboard does). False when the item has no sub-menu to open (or is
// disabled); the item is highlighted all the same.
bool OpenSub(Loop& loop, size_t index, int item, bool selectFirst)
{
    CloseAbove(loop, index);
    SetHot(loop, index, item);
    const MenuItem* entry = ItemOf(loop.levels[index], item);
    if (entry == nullptr || entry->IsDisabled() || PeekMenu(entry->subMenu) == nullptr)
        return false;
    HMENU sub = entry->subMenu;
    std::vector<RECT> rects = ItemsOnScreen(loop, loop.levels[index]);
    if (static_cast<size_t>(item) >= rects.size())
        return false;
    const RECT& from = rects[static_cast<size_t>(item)];
    bool opened = false;
    if (IsBarLevel(loop, index)) {
        Menu* record = PeekMenu(sub);
        LONG above = record != nullptr ? from.top - LayoutPopup(*record).size.cy : from.top;
        opened = OpenPopup(loop, sub, {from.left, from.bottom}, nullptr, &above);
    } else {
        RECT frame = AreaOnScreen(loop, loop.levels[index]);
        Menu* record = PeekMenu(sub);
        LONG left = record != nullptr ? frame.left - LayoutPopup(*record).size.cx : frame.left;
        opened = OpenPopup(loop, sub, {frame.right, from.top - 3}, &left, nullptr);
    }
    if (opened && selectFirst)
        SetHot(loop, loop.levels.size() - 1, NextSelectable(loop.levels.back(), -1, 1));
    return opened;
}

void Choose(Loop& loop, size_t index, int item)
{
    const MenuItem* entry = ItemOf(loop.levels[index], item);
    if (entry == nullptr)
        return;
    loop.chosen = true;
    loop.chosenMenu = loop.levels[index].menu;
    loop.chosenPosition = static_cast<UINT>(item);
    loop.chosenId = entry->id;
    End(loop);
}

// Whatever ended the loop from outside: the owner or its bar gone, another window activated, a
// menu shown destroyed.
void Check(Loop& loop)
{
    if (!IsWindow(loop.owner) || GetActiveWindow() != loop.active) {
        End(loop);
        return;
    }
    if (loop.bar != nullptr) {
        Window* window = PeekWindow(loop.barWindow);
        if (window == nullptr || window->menu != loop.bar || !HasBar(window)) {
            End(loop);
            return;
        }
    }
    for (const Level& level : loop.levels) {
        if (PeekMenu(level.menu) == nullptr || (level.window != nullptr && !IsWindow(level.window))) {
            End(loop);
            return;
        }
    }
}

void OnMove(Loop& loop, Hit hit)
{
    if (hit.level < 0 || hit.item < 0)
        return;
    auto index = static_cast<size_t>(hit.level);
    Level& level = loop.levels[index];
    if (IsBarLevel(loop, index)) {
        // Over another bar item while a drop-down is open: that item's menu drops down instead.
        if (hit.item != level.hot && loop.levels.size() > 1)
            OpenSub(loop, 0, hit.item, false);
        return;
    }
    // Over the item whose sub-menu is open: the sub-menu stays, anything above it goes.
    if (index + 1 < loop.levels.size() && level.hot == hit.item) {
        CloseAbove(loop, index + 1);
        return;
    }
    CloseAbove(loop, index);
    const MenuItem* entry = ItemOf(level, hit.item);
    SetHot(loop, index, entry != nullptr && !entry->IsSeparator() ? hit.item : -1);
}

void OnPress(Loop& loop, Hit hit)
{
    if (hit.item < 0)
        return;
    auto index = static_cast<size_t>(hit.level);
    if (!IsBarLevel(loop, index)) {
        OnMove(loop, hit);
        return;
    }
    // The bar item whose menu is open closes it, and the loop.
    if (hit.item == loop.levels[0].hot && loop.levels.size() > 1) {
        End(loop);
        return;
    }
    OpenSub(loop, 0, hit.item, false);
}

void OnRelease(Loop& loop, Hit hit)
{
    if (hit.level < 0 || hit.item < 0)
        return;
    auto index = static_cast<size_t>(hit.level);
    const MenuItem* entry = ItemOf(loop.levels[index], hit.item);
    if (entry == nullptr || entry->IsSeparator() || entry->IsDisabled())
        return;
    if (PeekMenu(entry->subMenu) != nullptr) {
        bool open = index + 1 < loop.levels.size() && loop.levels[index].hot == hit.item;
        if (!open && !IsBarLevel(loop, index))
            OpenSub(loop, index, hit.item, false);
        return;
    }
    Choose(loop, index, hit.item);
}

void OnMouse(Loop& loop, const MSG& msg)
{
    Hit hit = HitAt(loop, msg.pt);
    bool right = msg.message == WM_RBUTTONDOWN || msg.message == WM_RBUTTONDBLCLK || msg.message == WM_RBUTTONUP;
    bool chooses = !right || (loop.flags & TPM_RIGHTBUTTON) != 0;
    switch (msg.message) {
    case WM_MOUSEMOVE:
        OnMove(loop, hit);
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        // A press outside every level ends the loop and goes no further.
        if (hit.level < 0)
            End(loop);
        else if (chooses)
            OnPress(loop, hit);
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        if (chooses)
            OnRelease(loop, hit);
        break;
    default:
        break;
    }
}

// Left and Right along the bar: the neighbouring item, its menu dropped down when one was.
void MoveAlongBar(Loop& loop, int step)
{
    Menu* bar = PeekMenu(loop.bar);
    if (bar == nullptr || bar->items.empty())
        return;
    int count = static_cast<int>(bar->items.size());
    int next = ((loop.levels[0].hot + step) % count + count) % count;
    if (loop.levels.size() > 1 && OpenSub(loop, 0, next, true))
        return;
    CloseAbove(loop, 0);
    SetHot(loop, 0, next);
}

void OnKey(Loop& loop, UINT key)
{
    size_t top = loop.levels.size() - 1;
    Level& level = loop.levels[top];
    bool onBar = IsBarLevel(loop, top);
    bool belowIsPopup = top >= 1 && !IsBarLevel(loop, top - 1);
    const MenuItem* hot = ItemOf(level, level.hot);
    switch (key) {
    case VK_ESCAPE:
        if (belowIsPopup)
            CloseAbove(loop, top - 1);
        else
            End(loop);
        break;
    case VK_UP:
    case VK_DOWN:
        if (onBar) {
            if (key == VK_DOWN && level.hot >= 0)
                OpenSub(loop, 0, level.hot, true);
        } else {
            SetHot(loop, top, NextSelectable(level, level.hot, key == VK_DOWN ? 1 : -1));
        }
        break;
    case VK_RETURN:
        if (hot == nullptr || hot->IsSeparator() || hot->IsDisabled())
            break;
        if (PeekMenu(hot->subMenu) != nullptr)
            OpenSub(loop, top, level.hot, true);
        else
            Choose(loop, top, level.hot);
        break;
    case VK_RIGHT:
        if (!onBar && hot != nullptr && !hot->IsDisabled() && PeekMenu(hot->subMenu) != nullptr)
            OpenSub(loop, top, level.hot, true);
        else if (loop.bar != nullptr)
            MoveAlongBar(loop, 1);
        break;
    case VK_LEFT:
        if (belowIsPopup)
            CloseAbove(loop, top - 1);
        else if (loop.bar != nullptr)
            MoveAlongBar(loop, -1);
        break;
    default:
        break;
    }
}

bool IsKey(UINT message)
{
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
}

bool IsMouse(UINT message)
{
    return (message >= WM_MOUSEMOVE && message <= WM_MOUSEHWHEEL) || message == WM_NCLBUTTONDOWN;
}

// Sends WM_ENTERMENULOOP, takes the capture, lets open show the first level and runs the loop until
// it ends; then takes every window of the loop down and sends WM_EXITMENULOOP.
void Run(Loop& loop, const std::function<bool()>& open)
{
    gLoop = &loop;
    WPARAM popup = loop.bar == nullptr ? TRUE : FALSE;
    SendMessageW(loop.owner, WM_ENTERMENULOOP, popup, 0);
    loop.active = GetActiveWindow();
    if (IsWindow(loop.owner) && EnsureMenuClass())
        loop.captureWindow = CreateWindowExW(0, kMenuClass, u"", WS_POPUP, 0, 0, 0, 0, OwnerTop(loop), nullptr,
                                             MenuInstance(), nullptr);
    bool started = false;
    if (loop.captureWindow != nullptr) {
        SetCapture(loop.captureWindow);
        started = GetCapture() == loop.captureWindow && open();
    }
    loop.ended = !started;
    while (!loop.ended) {
        Check(loop);
        if (loop.ended)
            break;
        MSG msg;
        loop.waiting = true;
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        loop.waiting = false;
        if (got == FALSE) {
            // The outer loop still has to see the quit.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1)
            break;
        if (IsMouse(msg.message))
            OnMouse(loop, msg);
        else if (IsKey(msg.message)) {
            if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN)
                OnKey(loop, static_cast<UINT>(msg.wParam));
        } else
            DispatchMessageW(&msg);
    }
    loop.closing = true;
    CloseAbove(loop, 0);
    if (!loop.levels.empty() && loop.levels[0].window != nullptr && IsWindow(loop.levels[0].window))
        DestroyWindow(loop.levels[0].window);
    if (loop.bar != nullptr && !loop.levels.empty())
        SetHot(loop, 0, -1);
    loop.levels.clear();
    if (loop.captureWindow != nullptr && IsWindow(loop.captureWindow)) {
        if (GetCapture() == loop.captureWindow)
            ReleaseCapture();
        DestroyWindow(loop.captureWindow);
    }
    gLoop = nullptr;
    if (IsWindow(loop.owner))
        SendMessageW(loop.owner, WM_EXITMENULOOP, popup, 0);
}

// The choice goes to the owner: WM_MENUCOMMAND (position, menu) from a menu with MNS_NOTIFYBYPOS,
// else WM_COMMAND (id).
void Deliver(const Loop& loop)
{
    if (!loop.chosen || !IsWindow(loop.owner))
        return;
    Menu* menu = PeekMenu(loop.chosenMenu);
    if (menu != nullptr && (menu->info.dwStyle & MNS_NOTIFYBYPOS) != 0)
        PostInternal(loop.owner, WM_MENUCOMMAND, loop.chosenPosition, reinterpret_cast<LPARAM>(loop.chosenMenu));
    else
        PostInternal(loop.owner, WM_COMMAND, LOWORD(loop.chosenId), 0);
}

} // namespace

void TrackBarMenu(Window* window, POINT screen)
{
    if (gLoop != nullptr || !HasBar(window))
        return;
    std::vector<RECT> rects = BarItemRects(window);
    int item = -1;
    for (size_t i = 0; i < rects.size(); ++i) {
        if (Contains(Moved(rects[i], window->rect.left, window->rect.top), screen))
            item = static_cast<int>(i);
    }
    if (item < 0)
        return;
    WindowHold hold(window);
    Loop loop;
    loop.owner = window->handle;
    loop.barWindow = window->handle;
    loop.bar = window->menu;
    Run(loop, [&loop, item]() {
        Menu* bar = PeekMenu(loop.bar);
        if (bar == nullptr || static_cast<size_t>(item) >= bar->items.size())
            return false;
        loop.levels.push_back({loop.bar, nullptr, -1});
        OpenSub(loop, 0, item, false);
        return true;
    });
    Deliver(loop);
}

} // namespace user

using namespace user;

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*)
{
    if (!core::CheckUIThread("TrackPopupMenu"))
        return FALSE;
    Menu* record = FindMenu(menu);
    if (record == nullptr || FindWindow(owner) == nullptr)
        return FALSE;
    if (gLoop != nullptr) {
        SetLastError(ERROR_POPUP_ALREADY_ACTIVE);
        return FALSE;
    }
    if (record->items.empty())
        return FALSE;
    Loop loop;
    loop.owner = owner;
    loop.flags = flags;
    Run(loop, [&loop, menu, x, y]() { return OpenPopup(loop, menu, {x, y}, nullptr, nullptr); });
    if (!loop.chosen)
        return FALSE;
    if ((flags & TPM_RETURNCMD) != 0)
        return static_cast<BOOL>(loop.chosenId);
    Deliver(loop);
    return TRUE;
}

BOOL GetMenuItemRect(HWND hwnd, HMENU menu, UINT item, RECT* rect)
{
    if (!core::CheckUIThread("GetMenuItemRect"))
        return FALSE;
    if (FindMenu(menu) == nullptr)
        return FALSE;
    if (rect == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (gLoop != nullptr) {
        for (const Level& level : gLoop->levels) {
            if (level.window == nullptr || level.menu != menu)
                continue;
            std::vector<RECT> rects = ItemsOnScreen(*gLoop, level);
            if (item < rects.size()) {
                *rect = rects[item];
                return TRUE;
            }
        }
    }
    Window* window = PeekWindow(hwnd);
    if (HasBar(window) && window->menu == menu) {
        std::vector<RECT> rects = BarItemRects(window);
        if (item < rects.size()) {
            *rect = Moved(rects[item], window->rect.left, window->rect.top);
            return TRUE;
        }
    }
    SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
    return FALSE;
}

} // namespace win32
