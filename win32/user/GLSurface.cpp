#include "win32/user/GLSurface.h"

#include "win32/core/Core.h"
#include "win32/user/Paint.h"
#include "win32/user/PaintState.h"

#include <atomic>
#include <cstring>
#include <map>

namespace win32::user {

namespace {

struct Registry {
    CXMutex lock;
    std::map<HWND, std::shared_ptr<GLSurface>> surfaces;
};

// The registry's size, read without its lock, so windows without OpenGL cost the queue and the
// paint pass nothing.
std::atomic<size_t> gSurfaceCount{0};

Registry& Surfaces()
{
    static Registry* registry = new Registry();
    return *registry;
}

bool gShutdownStepAdded = false;

void ForgetSurfaces()
{
    Registry& registry = Surfaces();
    CXMutexLocker locker(&registry.lock);
    registry.surfaces.clear();
    gSurfaceCount.store(0);
}

// UI thread: the window's WM_PAINT of a running pass is on the stack.
bool InOwnPaint(HWND hwnd)
{
    Window* window = PeekWindow(hwnd);
    if (window == nullptr)
        return false;
    Pass* pass = PassOf(TopLevelOf(window));
    return pass != nullptr && pass->areas.count(window) != 0;
}

} // namespace

void GLSurface::GetClientSize(int* width, int* height) const
{
    CXMutexLocker locker(&fLock);
    *width = fClientWidth;
    *height = fClientHeight;
}

void GLSurface::SetClientSize(int width, int height)
{
    CXMutexLocker locker(&fLock);
    fClientWidth = width;
    fClientHeight = height;
}

void GLSurface::PutFrame(const uint8_t* pixels, int width, int height)
{
    if (pixels == nullptr || width <= 0 || height <= 0)
        return;
    {
        CXMutexLocker locker(&fLock);
        fFrame.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (size_t i = 0; i < fFrame.size(); ++i) {
            uint32_t pixel;
            std::memcpy(&pixel, pixels + i * 4, 4);
            fFrame[i] = pixel | 0xFF000000u;
        }
        fFrameWidth = width;
        fFrameHeight = height;
    }
    // The pass that runs the window's WM_PAINT copies the frame when the procedure returns.
    if (core::IsUIThread() && InOwnPaint(fWindow))
        return;
    {
        CXMutexLocker locker(&fLock);
        fFresh = true;
    }
    if (Backend* backend = GetBackend())
        backend->Wake();
}

bool GLSurface::TakeFresh()
{
    CXMutexLocker locker(&fLock);
    bool fresh = fFresh;
    fFresh = false;
    return fresh;
}

void GLSurface::CopyTo(const gdi::Surface& target, POINT origin, const RECT& rect) const
{
    CXMutexLocker locker(&fLock);
    RECT frame = {origin.x, origin.y, origin.x + fFrameWidth, origin.y + fFrameHeight};
    RECT part = Intersection(Intersection(rect, frame), {0, 0, target.width, target.height});
    if (target.IsEmpty() || part.right <= part.left)
        return;
    for (int y = part.top; y < part.bottom; ++y) {
        const uint32_t* source =
            &fFrame[static_cast<size_t>(y - origin.y) * static_cast<size_t>(fFrameWidth) + (part.left - origin.x)];
        std::memcpy(target.Row(y) + part.left, source, static_cast<size_t>(part.right - part.left) * 4);
    }
}

std::shared_ptr<GLSurface> AttachGLSurface(HWND hwnd)
{
    Window* window = FindWindow(hwnd);
    if (window == nullptr)
        return nullptr;
    if (!gShutdownStepAdded) {
        gShutdownStepAdded = true;
        core::AddShutdownStep(&ForgetSurfaces);
    }
    Registry& registry = Surfaces();
    CXMutexLocker locker(&registry.lock);
    std::shared_ptr<GLSurface>& slot = registry.surfaces[hwnd];
    if (slot == nullptr) {
        slot = std::make_shared<GLSurface>(hwnd);
        slot->SetClientSize(window->client.right - window->client.left, window->client.bottom - window->client.top);
        gSurfaceCount.store(registry.surfaces.size());
    }
    return slot;
}

std::shared_ptr<GLSurface> FindGLSurface(HWND hwnd)
{
    if (gSurfaceCount.load() == 0)
        return nullptr;
    Registry& registry = Surfaces();
    CXMutexLocker locker(&registry.lock);
    auto it = registry.surfaces.find(hwnd);
    return it == registry.surfaces.end() ? nullptr : it->second;
}

void GLSurfaceWindowSized(Window* window)
{
    if (std::shared_ptr<GLSurface> surface = FindGLSurface(window->handle))
        surface->SetClientSize(window->client.right - window->client.left, window->client.bottom - window->client.top);
}

void GLSurfaceWindowGone(Window* window)
{
    if (gSurfaceCount.load() == 0)
        return;
    Registry& registry = Surfaces();
    CXMutexLocker locker(&registry.lock);
    registry.surfaces.erase(window->handle);
    gSurfaceCount.store(registry.surfaces.size());
}

void InvalidateFreshGLSurfaces()
{
    if (gSurfaceCount.load() == 0)
        return;
    Registry& registry = Surfaces();
    std::vector<std::shared_ptr<GLSurface>> surfaces;
    {
        CXMutexLocker locker(&registry.lock);
        for (auto& entry : registry.surfaces)
            surfaces.push_back(entry.second);
    }
    for (const std::shared_ptr<GLSurface>& surface : surfaces) {
        // A frame that comes in while the window paints waits for the pass to end.
        if (InOwnPaint(surface->GetWindow()) || !surface->TakeFresh())
            continue;
        InvalidateRect(surface->GetWindow(), nullptr, FALSE);
    }
}

void CopyGLSurface(Window* window, const gdi::Area& area)
{
    std::shared_ptr<GLSurface> surface = FindGLSurface(window->handle);
    if (surface == nullptr)
        return;
    BackBuffer* buffer = ExistingBuffer(TopLevelOf(window));
    if (buffer == nullptr)
        return;
    gdi::Area visible(VisibleClient(window));
    visible.Intersect(area);
    const POINT origin = ClientOrigin(window);
    for (const RECT& rect : visible.Rects())
        surface->CopyTo(buffer->Surface(), origin, rect);
}

} // namespace win32::user
