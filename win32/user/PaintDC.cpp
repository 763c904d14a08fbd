// Paint DCs and window DCs: DCs over a top-level window's back buffer, lent out until EndPaint or
// ReleaseDC, when what they cover is presented.

#include "win32/user/Paint.h"

#include "win32/core/Core.h"
#include "win32/user/PaintState.h"

namespace win32 {

namespace user {

namespace {

HDC Lend(HDC hdc, LentDC lent)
{
    if (hdc == nullptr)
        return nullptr;
    CXMutexLocker locker(&Paint().lentLock);
    Paint().lent[hdc] = std::move(lent);
    return hdc;
}

// A DC over area (buffer coordinates) of the window's top-level buffer with device (0, 0) at
// origin (buffer coordinates); a measuring DC when the window is not on the screen.
HDC MakeWindowDC(Window* window, POINT origin, const Area& area, bool paint)
{
    EnsureShutdownStep();
    Window* top = TopLevelOf(window);
    BackBuffer* buffer = EnsureBuffer(top);
    LentDC lent;
    lent.hwnd = window->handle;
    lent.paint = paint;
    if (buffer == nullptr)
        return Lend(gdi::CreateDisplayDC(), std::move(lent));
    Area clip = area;
    clip.Offset(-origin.x, -origin.y);
    HDC hdc = gdi::CreateSurfaceDC(buffer->Surface(), origin, clip);
    lent.top = top->handle;
    lent.system = area;
    lent.screenOffset = {top->rect.left, top->rect.top};
    lent.surface = true;
    return Lend(hdc, std::move(lent));
}

// Takes a DC back from the lent list: false when it was not lent (or not of the wanted kind).
bool TakeBack(HDC hdc, bool paint, LentDC* taken)
{
    PaintState& state = Paint();
    CXMutexLocker locker(&state.lentLock);
    auto it = state.lent.find(hdc);
    if (it == state.lent.end() || it->second.paint != paint)
        return false;
    *taken = std::move(it->second);
    state.lent.erase(it);
    return true;
}

// Gives a taken DC's pixels to the screen and deletes it. A paint DC of a running pass leaves that
// to the pass, which presents all it painted at once.
void Finish(HDC hdc, const LentDC& lent)
{
    if (lent.top != nullptr && core::CheckUIThread(lent.paint ? "EndPaint" : "ReleaseDC")) {
        Window* top = PeekWindow(lent.top);
        if (top != nullptr && top->parent == nullptr && (!lent.paint || PassOf(top) == nullptr))
            Present(top, lent.system);
    }
    if (!gdi::DestroySurfaceDC(hdc))
        DeleteDC(hdc);
}

} // namespace

HDC LendTopLevelDC(Window* top, const RECT& area)
{
    RECT shown = IsOnScreen(top) ? ClipToAncestors(top, area) : RECT{0, 0, 0, 0};
    return MakeWindowDC(top, {0, 0}, gdi::Area(shown), false);
}

} // namespace user

using namespace user;

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint)
{
    if (!core::CheckUIThread("BeginPaint"))
        return nullptr;
    Window* window = FindWindow(hwnd);
    if (window == nullptr || paint == nullptr)
        return nullptr;
    Window* top = TopLevelOf(window);
    BackBuffer* buffer = EnsureBuffer(top);
    POINT origin = ClientOrigin(window);
    gdi::Area R;
    bool erase = false;
    Pass* pass = PassOf(top);
    auto inPass = pass != nullptr ? pass->areas.find(window) : std::map<Window*, gdi::Area>::iterator();
    if (pass != nullptr && inPass != pass->areas.end()) {
        R = inPass->second;
        R.Offset(origin.x, origin.y);
        gdi::Area erasing = pass->erase;
        erasing.Intersect(R);
        erase = !erasing.IsEmpty();
        // A second BeginPaint in the same WM_PAINT finds nothing left to paint.
        inPass->second = gdi::Area();
    } else if (buffer != nullptr) {
        R = gdi::Area(VisibleClient(window));
        R.Intersect(buffer->dirty);
        buffer->dirty.Subtract(R);
        gdi::Area erasing = buffer->erase;
        erasing.Intersect(R);
        erase = !erasing.IsEmpty();
        buffer->erase.Subtract(R);
    }
    HDC hdc = MakeWindowDC(window, origin, R, true);
    if (hdc == nullptr)
        return nullptr;
    *paint = PAINTSTRUCT{};
    paint->hdc = hdc;
    RECT bounds = R.Bounds();
    paint->rcPaint = R.IsEmpty() ? RECT{0, 0, 0, 0} : Offset(bounds, -origin.x, -origin.y);
    if (erase) {
        WindowHold hold(window);
        paint->fErase = Dispatch(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) == 0 ? TRUE : FALSE;
    }
    return hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint)
{
    if (!core::CheckUIThread("EndPaint") || paint == nullptr)
        return FALSE;
    LentDC lent;
    if (!TakeBack(paint->hdc, true, &lent))
        return FALSE;
    Finish(paint->hdc, lent);
    return TRUE;
}

int GetRandomRgn(HDC hdc, HRGN region, INT kind)
{
    if (kind != SYSRGN || GetObjectType(region) != OBJ_REGION)
        return -1;
    gdi::Area system;
    bool found = false;
    bool ofWindow = false;
    {
        // The lent list's lock is never held while drawing calls take the drawing lock: the text
        // log asks WindowFromDC under the drawing lock.
        PaintState& state = Paint();
        CXMutexLocker locker(&state.lentLock);
        auto it = state.lent.find(hdc);
        if (it != state.lent.end()) {
            found = true;
            ofWindow = it->second.hwnd != nullptr;
            system = it->second.system;
            system.Offset(it->second.screenOffset.x, it->second.screenOffset.y);
        }
    }
    if (!found) {
        DWORD type = GetObjectType(hdc);
        return type == OBJ_DC || type == OBJ_MEMDC ? 0 : -1;
    }
    if (!ofWindow)
        return 0;
    return system.CopyTo(region) == ERROR ? -1 : 1;
}

HDC GetDC(HWND hwnd)
{
    if (hwnd == nullptr)
        return Lend(gdi::CreateDisplayDC(), LentDC());
    if (!core::CheckUIThread("GetDC"))
        return nullptr;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return nullptr;
    return MakeWindowDC(window, ClientOrigin(window), gdi::Area(VisibleClient(window)), false);
}

HDC GetWindowDC(HWND hwnd)
{
    if (hwnd == nullptr)
        return GetDC(nullptr);
    if (!core::CheckUIThread("GetWindowDC"))
        return nullptr;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return nullptr;
    RECT area = {0, 0, 0, 0};
    if (IsShown(window) && IsOnScreen(TopLevelOf(window)))
        area = ClipToAncestors(window, WindowInBuffer(window));
    RECT whole = WindowInBuffer(window);
    return MakeWindowDC(window, {whole.left, whole.top}, gdi::Area(area), false);
}

int ReleaseDC(HWND, HDC hdc)
{
    LentDC lent;
    if (!TakeBack(hdc, false, &lent))
        return 0;
    Finish(hdc, lent);
    return 1;
}

HWND WindowFromDC(HDC hdc)
{
    PaintState& state = Paint();
    CXMutexLocker locker(&state.lentLock);
    auto it = state.lent.find(hdc);
    return it == state.lent.end() ? nullptr : it->second.hwnd;
}

} // namespace win32
