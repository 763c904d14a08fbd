// Painting: back buffers of top-level windows, invalidation, the paint pass and scrolling. (The
// DCs are in PaintDC.cpp.)
// Emulation limits: no non-client painting, no RedrawWindow, no clip styles (children never clip
// their parent's painting, which is what lets a transparent child show its parent's pixels).

#include "win32/user/Paint.h"

#include "foundation/CXDebug.h"
#include "win32/core/Core.h"
#include "win32/user/GLSurface.h"
#include "win32/user/MenuState.h"
#include "win32/user/PaintState.h"

#include <algorithm>
#include <cstring>

namespace win32 {

namespace user {

PaintState& Paint()
{
    static PaintState* state = new PaintState();
    return *state;
}

bool Meets(const RECT& a, const RECT& b)
{
    return std::max(a.left, b.left) < std::min(a.right, b.right) &&
           std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

RECT Intersection(const RECT& a, const RECT& b)
{
    RECT r = {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
    if (r.right <= r.left || r.bottom <= r.top)
        return {0, 0, 0, 0};
    return r;
}

RECT Offset(RECT r, int dx, int dy)
{
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// The client origin of a window in its top-level window's buffer coordinates.
POINT ClientOrigin(const Window* window)
{
    const Window* top = TopLevelOf(const_cast<Window*>(window));
    POINT screen = ClientOriginOnScreen(window);
    return {screen.x - top->rect.left, screen.y - top->rect.top};
}

RECT ClientInBuffer(const Window* window)
{
    POINT origin = ClientOrigin(window);
    return {origin.x, origin.y, origin.x + (window->client.right - window->client.left),
            origin.y + (window->client.bottom - window->client.top)};
}

RECT WindowInBuffer(const Window* window)
{
    if (window->parent == nullptr)
        return {0, 0, window->rect.right - window->rect.left, window->rect.bottom - window->rect.top};
    POINT origin = ClientOrigin(window->parent);
    return Offset(window->rect, origin.x, origin.y);
}

// The part of start (buffer coordinates) inside every ancestor's client area and the buffer.
RECT ClipToAncestors(const Window* window, RECT start)
{
    for (const Window* w = window->parent; w != nullptr; w = w->parent)
        start = Intersection(start, ClientInBuffer(w));
    const Window* top = TopLevelOf(const_cast<Window*>(window));
    return Intersection(start, {0, 0, top->rect.right - top->rect.left, top->rect.bottom - top->rect.top});
}

// A top-level window whose pixels are on the screen.
bool IsOnScreen(const Window* top)
{
    return top != nullptr && !top->dead && (top->style & WS_VISIBLE) != 0 && top->showState != ShowState::Minimized;
}

// The visible client area of a window in buffer coordinates (empty when the window or an ancestor
// is hidden).
RECT VisibleClient(const Window* window)
{
    if (!IsShown(window) || !IsOnScreen(TopLevelOf(const_cast<Window*>(window))))
        return {0, 0, 0, 0};
    return ClipToAncestors(window, ClientInBuffer(window));
}

void RetargetLent(HWND top, const gdi::Surface& surface)
{
    PaintState& paint = Paint();
    std::vector<HDC> dcs;
    {
        CXMutexLocker locker(&paint.lentLock);
        for (auto& [hdc, lent] : paint.lent) {
            if (lent.top == top && lent.surface)
                dcs.push_back(hdc);
        }
    }
    for (HDC hdc : dcs)
        gdi::RetargetSurfaceDC(hdc, surface);
}

// The back buffer of a top-level window on the screen, made or resized to its window rectangle;
// null for a hidden or minimised one. A new or resized buffer is dirty all over its client area.
BackBuffer* EnsureBuffer(Window* top)
{
    if (!IsOnScreen(top))
        return nullptr;
    PaintState& paint = Paint();
    std::unique_ptr<BackBuffer>& slot = paint.buffers[top];
    if (slot == nullptr) {
        slot = std::make_unique<BackBuffer>();
        slot->handle = top->handle;
    }
    BackBuffer& buffer = *slot;
    int width = top->rect.right - top->rect.left;
    int height = top->rect.bottom - top->rect.top;
    if (static_cast<int64_t>(width) * height > kMaximumBufferPixels) {
        // Sides up to 0x7FFF would need 4 GiB: such a window keeps no pixels and draws nothing.
        if (!buffer.tooLargeReported) {
            CXDebugLog("Paint> a %dx%d window is too large to draw; it stays blank", width, height);
        }
        RetargetLent(top->handle, gdi::Surface());
        buffer = BackBuffer();
        buffer.handle = top->handle;
        buffer.tooLargeReported = true;
        return nullptr;
    }
    if (buffer.width == width && buffer.height == height && !buffer.pixels.empty())
        return &buffer;
    if (buffer.width == width && buffer.height == height && (width == 0 || height == 0))
        return &buffer;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    int keepWidth = std::min(width, buffer.width);
    for (int y = 0; y < std::min(height, buffer.height); ++y) {
        std::memcpy(&pixels[static_cast<size_t>(y) * width], &buffer.pixels[static_cast<size_t>(y) * buffer.width],
                    static_cast<size_t>(keepWidth) * 4);
    }
    buffer.pixels = std::move(pixels);
    buffer.width = width;
    buffer.height = height;
    Area bounds(buffer.Bounds());
    Area client(Intersection(ClientInBuffer(top), buffer.Bounds()));
    client.Unite(Area(BarInWindow(top)));
    buffer.dirty.Intersect(bounds);
    buffer.dirty.Unite(client);
    buffer.erase.Intersect(bounds);
    buffer.erase.Unite(client);
    RetargetLent(top->handle, buffer.Surface());
    return &buffer;
}

BackBuffer* ExistingBuffer(Window* top)
{
    auto it = Paint().buffers.find(top);
    return it == Paint().buffers.end() ? nullptr : it->second.get();
}

void AddDirty(Window* top, const Area& area, bool erase)
{
    BackBuffer* buffer = EnsureBuffer(top);
    if (buffer == nullptr || area.IsEmpty())
        return;
    buffer->dirty.Unite(area);
    if (erase)
        buffer->erase.Unite(area);
}

void Present(Window* top, const Area& area)
{
    BackBuffer* buffer = ExistingBuffer(top);
    Backend* backend = GetBackend();
    if (buffer == nullptr || backend == nullptr || !IsOnScreen(top))
        return;
    Area shown = area;
    shown.Intersect(Area(buffer->Bounds()));
    if (shown.IsEmpty())
        return;
    PresentedImage image;
    image.pixels = reinterpret_cast<const uint8_t*>(buffer->pixels.data());
    image.stride = buffer->width * 4;
    image.width = buffer->width;
    image.height = buffer->height;
    backend->Present(top->handle, image, shown.Rects());
}

Pass* PassOf(Window* top)
{
    for (Pass* pass : Paint().passes) {
        if (pass->top == top)
            return pass;
    }
    return nullptr;
}

namespace {

void Visit(Window* window, const Area& P, Pass& pass)
{
    if (window->dead || (window->style & WS_VISIBLE) == 0)
        return;
    Area R(VisibleClient(window));
    R.Intersect(P);
    if (!R.IsEmpty()) {
        const Area inBuffer = R;
        POINT origin = ClientOrigin(window);
        R.Offset(-origin.x, -origin.y);
        pass.areas[window] = R;
        Dispatch(window, WM_PAINT, 0, 0);
        pass.areas.erase(window);
        if (window->dead)
            return;
        CopyGLSurface(window, inBuffer);
    }
    // Bottom-up: the list is topmost first. Every child is held, since any procedure may destroy
    // a sibling.
    std::vector<Window*> children(window->children.rbegin(), window->children.rend());
    std::vector<std::unique_ptr<WindowHold>> holds;
    for (Window* child : children)
        holds.push_back(std::make_unique<WindowHold>(child));
    for (Window* child : children) {
        if (!child->dead && child->parent == window && !window->dead)
            Visit(child, P, pass);
    }
}

bool gShutdownStepAdded = false;

// At shutdown: the buffers go, and so do the DCs never given back.
void ForgetBuffers()
{
    PaintState& paint = Paint();
    paint.buffers.clear();
    std::map<HDC, LentDC> lent;
    {
        CXMutexLocker locker(&paint.lentLock);
        lent.swap(paint.lent);
    }
    for (auto& [hdc, dc] : lent) {
        if (!gdi::DestroySurfaceDC(hdc))
            DeleteDC(hdc);
    }
}

} // namespace

void EnsureShutdownStep()
{
    if (!gShutdownStepAdded) {
        gShutdownStepAdded = true;
        core::AddShutdownStep(&ForgetBuffers);
    }
}

void InvalidateForChange(Window* window)
{
    EnsureShutdownStep();
    Window* top = TopLevelOf(window);
    if (top == nullptr)
        return;
    if (window == top) {
        BackBuffer* buffer = EnsureBuffer(top);
        if (buffer == nullptr) {
            // Nothing of a hidden window waits to be painted; showing it again paints it all.
            if (BackBuffer* kept = ExistingBuffer(top)) {
                kept->dirty = Area();
                kept->erase = Area();
            }
            return;
        }
        AddDirty(top, Area(Intersection(ClientInBuffer(top), buffer->Bounds())), true);
        InvalidateBar(top);
        return;
    }
    // A child uncovers or covers its window rectangle inside its visible ancestors, whatever its
    // own visibility now.
    if (window->parent == nullptr || !IsShown(window->parent) || !IsOnScreen(top))
        return;
    AddDirty(top, Area(ClipToAncestors(window, WindowInBuffer(window))), true);
}

void PaintWindowGone(Window* window)
{
    PaintState& paint = Paint();
    auto it = paint.buffers.find(window);
    if (it == paint.buffers.end())
        return;
    RetargetLent(window->handle, gdi::Surface());
    paint.buffers.erase(it);
}

void PresentAgain(Window* top, const RECT& rect)
{
    if (top == nullptr || top->dead || top->parent != nullptr || rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    Present(top, Area(rect));
}

HWND DirtyTopLevel()
{
    for (Window* top : State().topLevels) {
        if (top->dead || PassOf(top) != nullptr)
            continue;
        BackBuffer* buffer = EnsureBuffer(top);
        if (buffer != nullptr && !buffer->dirty.IsEmpty())
            return top->handle;
    }
    return nullptr;
}

bool RunPaintPass(Window* top)
{
    if (top->parent != nullptr || PassOf(top) != nullptr)
        return false;
    BackBuffer* buffer = EnsureBuffer(top);
    if (buffer == nullptr || buffer->dirty.IsEmpty())
        return false;
    WindowHold hold(top);
    Pass pass;
    pass.top = top;
    Area P = buffer->dirty;
    pass.erase = buffer->erase;
    pass.erase.Intersect(P);
    buffer->dirty = Area();
    buffer->erase.Subtract(P);
    Paint().passes.push_back(&pass);
    Visit(top, P, pass);
    auto& passes = Paint().passes;
    passes.erase(std::find(passes.begin(), passes.end(), &pass));
    // The bar is the one part of the frame the layer draws.
    if (!top->dead && top->parent == nullptr) {
        Area bar(BarInWindow(top));
        bar.Intersect(P);
        if (!bar.IsEmpty())
            PaintMenuBar(top);
    }
    if (!top->dead && top->parent == nullptr)
        Present(top, P);
    return true;
}

} // namespace user

using namespace user;

namespace {

bool InvalidateArea(const char* function, HWND hwnd, const gdi::Area* clientArea, bool erase, bool validate)
{
    if (!core::CheckUIThread(function))
        return false;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return false;
    EnsureShutdownStep();
    RECT visible = VisibleClient(window);
    if (visible.right <= visible.left)
        return true;
    gdi::Area area(visible);
    if (clientArea != nullptr) {
        POINT origin = ClientOrigin(window);
        gdi::Area wanted = *clientArea;
        wanted.Offset(origin.x, origin.y);
        area.Intersect(wanted);
    }
    Window* top = TopLevelOf(window);
    if (!validate) {
        AddDirty(top, area, erase);
    } else if (BackBuffer* buffer = EnsureBuffer(top)) {
        buffer->dirty.Subtract(area);
        buffer->erase.Subtract(area);
    }
    return true;
}

// The window's part of the dirty region, in client coordinates.
bool UpdateArea(const char* function, HWND hwnd, gdi::Area* area)
{
    if (!core::CheckUIThread(function))
        return false;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return false;
    *area = gdi::Area();
    BackBuffer* buffer = EnsureBuffer(TopLevelOf(window));
    if (buffer == nullptr)
        return true;
    *area = gdi::Area(VisibleClient(window));
    area->Intersect(buffer->dirty);
    POINT origin = ClientOrigin(window);
    area->Offset(-origin.x, -origin.y);
    return true;
}

int AreaKind(const gdi::Area& area)
{
    size_t count = area.Rects().size();
    return count == 0 ? NULLREGION : count == 1 ? SIMPLEREGION : COMPLEXREGION;
}

} // namespace

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase)
{
    if (rect == nullptr)
        return InvalidateArea("InvalidateRect", hwnd, nullptr, erase != FALSE, false) ? TRUE : FALSE;
    gdi::Area area(*rect);
    return InvalidateArea("InvalidateRect", hwnd, &area, erase != FALSE, false) ? TRUE : FALSE;
}

BOOL InvalidateRgn(HWND hwnd, HRGN region, BOOL erase)
{
    if (region == nullptr)
        return InvalidateArea("InvalidateRgn", hwnd, nullptr, erase != FALSE, false) ? TRUE : FALSE;
    gdi::Area area;
    if (!area.ReadFrom(region))
        return FALSE;
    return InvalidateArea("InvalidateRgn", hwnd, &area, erase != FALSE, false) ? TRUE : FALSE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect)
{
    if (rect == nullptr)
        return InvalidateArea("ValidateRect", hwnd, nullptr, false, true) ? TRUE : FALSE;
    gdi::Area area(*rect);
    return InvalidateArea("ValidateRect", hwnd, &area, false, true) ? TRUE : FALSE;
}

BOOL ValidateRgn(HWND hwnd, HRGN region)
{
    if (region == nullptr)
        return InvalidateArea("ValidateRgn", hwnd, nullptr, false, true) ? TRUE : FALSE;
    gdi::Area area;
    if (!area.ReadFrom(region))
        return FALSE;
    return InvalidateArea("ValidateRgn", hwnd, &area, false, true) ? TRUE : FALSE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL)
{
    gdi::Area area;
    bool ok = UpdateArea("GetUpdateRect", hwnd, &area);
    if (rect != nullptr)
        *rect = area.Bounds();
    return ok && !area.IsEmpty() ? TRUE : FALSE;
}

int GetUpdateRgn(HWND hwnd, HRGN region, BOOL)
{
    gdi::Area area;
    if (!UpdateArea("GetUpdateRgn", hwnd, &area))
        return ERROR;
    return area.CopyTo(region);
}

BOOL UpdateWindow(HWND hwnd)
{
    if (!core::CheckUIThread("UpdateWindow"))
        return FALSE;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return FALSE;
    RunPaintPass(TopLevelOf(window));
    return TRUE;
}

int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scrollRect, const RECT* clipRect, HRGN updateRegion,
                   RECT* updateRect, UINT flags)
{
    if (!core::CheckUIThread("ScrollWindowEx"))
        return ERROR;
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return ERROR;
    WindowHold hold(window);
    RECT client = {0, 0, window->client.right - window->client.left, window->client.bottom - window->client.top};
    RECT source = scrollRect != nullptr ? Intersection(*scrollRect, client) : client;
    RECT clip = clipRect != nullptr ? Intersection(*clipRect, client) : client;
    // Client coordinates: the pixels that move land on destination; what they leave is uncovered.
    gdi::Area destination(Offset(source, dx, dy));
    destination.Intersect(gdi::Area(clip));
    gdi::Area uncovered(Intersection(source, clip));
    uncovered.Subtract(gdi::Area(Offset(source, dx, dy)));

    Window* top = TopLevelOf(window);
    POINT origin = ClientOrigin(window);
    if (BackBuffer* buffer = EnsureBuffer(top); buffer != nullptr && IsShown(window)) {
        gdi::Area visible(VisibleClient(window));
        visible.Offset(-origin.x, -origin.y);
        gdi::Area moved = destination;
        moved.Intersect(visible);
        HDC hdc = gdi::CreateSurfaceDC(buffer->Surface(), origin, moved);
        BitBlt(hdc, source.left + dx, source.top + dy, source.right - source.left, source.bottom - source.top, hdc,
               source.left, source.top, SRCCOPY);
        gdi::DestroySurfaceDC(hdc);
        // What waited to be painted in the scrolled part moves along.
        gdi::Area scrolledDirty(Intersection(source, clip));
        scrolledDirty.Offset(origin.x, origin.y);
        scrolledDirty.Intersect(buffer->dirty);
        buffer->dirty.Subtract(scrolledDirty);
        scrolledDirty.Offset(dx, dy);
        gdi::Area clipInBuffer(clip);
        clipInBuffer.Offset(origin.x, origin.y);
        scrolledDirty.Intersect(clipInBuffer);
        buffer->dirty.Unite(scrolledDirty);
        // Pixels that came from under an ancestor's clip were never this window's: what they
        // landed on is painted again.
        gdi::Area fromHidden = moved;
        gdi::Area visibleMoved = visible;
        visibleMoved.Offset(dx, dy);
        fromHidden.Subtract(visibleMoved);
        uncovered.Unite(fromHidden);
        moved.Offset(origin.x, origin.y);
        Present(top, moved);
    }
    if ((flags & SW_SCROLLCHILDREN) != 0) {
        std::vector<Window*> children = window->children;
        std::vector<std::unique_ptr<WindowHold>> holds;
        for (Window* child : children)
            holds.push_back(std::make_unique<WindowHold>(child));
        for (Window* child : children) {
            if (child->dead || child->parent != window)
                continue;
            if (scrollRect != nullptr && !Meets(child->rect, *scrollRect))
                continue;
            SetWindowPos(child->handle, nullptr, child->rect.left + dx, child->rect.top + dy, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
        }
    }
    if ((flags & SW_INVALIDATE) != 0 && !window->dead)
        InvalidateArea("ScrollWindowEx", hwnd, &uncovered, (flags & SW_ERASE) != 0, false);
    if (updateRegion != nullptr)
        uncovered.CopyTo(updateRegion);
    if (updateRect != nullptr)
        *updateRect = uncovered.Bounds();
    return AreaKind(uncovered);
}

} // namespace win32
