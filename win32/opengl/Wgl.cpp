// OpenGL in windows over Mesa's off-screen renderer (OSMesa): one pixel format, contexts that draw
// into a buffer the size of their window's client area, and SwapBuffers copying it into the
// window's surface (win32/user/GLSurface.h), which the paint pass shows.
// Emulation limits: no shared display lists; contexts bound at the same size share Mesa's
// framebuffer, so two of them must not render at the same time on different threads.

#include "win32/api/OpenGL.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMutex.h"
#include "win32/api/Constants.h"
#include "win32/core/Core.h"
#include "win32/core/Handles.h"
#include "win32/user/GLSurface.h"
#include "win32/user/Paint.h"

#include <GL/osmesa.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

static_assert(sizeof(win32::PIXELFORMATDESCRIPTOR) == 40);

namespace win32 {

namespace {

struct Context {
    OSMesaContext mesa = nullptr;
    // BGRA rows, top first.
    std::vector<uint8_t> buffer;
    int width = 0;
    int height = 0;
    // The thread it is current on (0: none), and the window surface it draws for there.
    DWORD thread = 0;
    std::shared_ptr<user::GLSurface> surface;
};

// Guards the contexts' thread and surface fields and their handles.
CXMutex& ContextLock()
{
    static CXMutex* lock = new CXMutex();
    return *lock;
}

thread_local Context* tCurrent = nullptr;
std::atomic<bool> gChooseFails{false};

std::shared_ptr<user::GLSurface> SurfaceOfDC(HDC hdc)
{
    HWND hwnd = hdc != nullptr ? WindowFromDC(hdc) : nullptr;
    return hwnd != nullptr ? user::FindGLSurface(hwnd) : nullptr;
}

Context* FindContext(HGLRC context)
{
    return static_cast<Context*>(core::Handles().Find(core::HandleValue(context), core::HandleKind::GLContext));
}

// The calling thread's current context stops being current. Under the lock.
void ReleaseCurrent()
{
    if (tCurrent == nullptr)
        return;
    OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
    tCurrent->thread = 0;
    tCurrent->surface.reset();
    tCurrent = nullptr;
}

} // namespace

int ChoosePixelFormat(HDC hdc, const PIXELFORMATDESCRIPTOR* descriptor)
{
    if (gChooseFails.load()) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return 0;
    }
    if (hdc == nullptr || WindowFromDC(hdc) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (descriptor == nullptr || descriptor->nSize != sizeof(PIXELFORMATDESCRIPTOR)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return 1;
}

BOOL SetPixelFormat(HDC hdc, int format, const PIXELFORMATDESCRIPTOR*)
{
    if (!core::CheckUIThread("SetPixelFormat"))
        return FALSE;
    HWND hwnd = hdc != nullptr ? WindowFromDC(hdc) : nullptr;
    if (hwnd == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (format != 1) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    return user::AttachGLSurface(hwnd) != nullptr ? TRUE : FALSE;
}

void SetChoosePixelFormatFailsForTesting(bool fails)
{
    gChooseFails.store(fails);
}

HGLRC wglCreateContext(HDC hdc)
{
    if (SurfaceOfDC(hdc) == nullptr) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return nullptr;
    }
    auto context = std::make_unique<Context>();
    context->mesa = OSMesaCreateContextExt(OSMESA_BGRA, 16, 0, 0, nullptr);
    if (context->mesa == nullptr) {
        CXDebugLog("wglCreateContext> OSMesaCreateContextExt failed");
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    uint32_t value = core::Handles().Add(core::HandleKind::GLContext, context.get());
    if (value == 0) {
        OSMesaDestroyContext(context->mesa);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    context.release();
    return core::ToHandle<HGLRC>(value);
}

BOOL wglDeleteContext(HGLRC handle)
{
    Context* context;
    {
        CXMutexLocker locker(&ContextLock());
        context = FindContext(handle);
        if (context == nullptr) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (context->thread != 0 && context->thread != GetCurrentThreadId()) {
            SetLastError(ERROR_BUSY);
            return FALSE;
        }
        if (context == tCurrent)
            ReleaseCurrent();
        core::Handles().Remove(core::HandleValue(handle), core::HandleKind::GLContext);
    }
    OSMesaDestroyContext(context->mesa);
    delete context;
    return TRUE;
}

BOOL wglMakeCurrent(HDC hdc, HGLRC handle)
{
    CXMutexLocker locker(&ContextLock());
    if (handle == nullptr) {
        ReleaseCurrent();
        return TRUE;
    }
    Context* context = FindContext(handle);
    if (context == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const DWORD thread = GetCurrentThreadId();
    if (context->thread != 0 && context->thread != thread) {
        SetLastError(ERROR_BUSY);
        return FALSE;
    }
    std::shared_ptr<user::GLSurface> surface = SurfaceOfDC(hdc);
    if (surface == nullptr) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    // Mesa takes no empty buffer: a window without a client area still gets one pixel.
    int width = 0;
    int height = 0;
    surface->GetClientSize(&width, &height);
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width != context->width || height != context->height) {
        context->buffer.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
        context->width = width;
        context->height = height;
    }
    if (!OSMesaMakeCurrent(context->mesa, context->buffer.data(), GL_UNSIGNED_BYTE, width, height)) {
        CXDebugLog("wglMakeCurrent> OSMesaMakeCurrent failed for %dx%d", width, height);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    OSMesaPixelStore(OSMESA_Y_UP, 0);
    if (tCurrent != nullptr && tCurrent != context) {
        tCurrent->thread = 0;
        tCurrent->surface.reset();
    }
    context->thread = thread;
    context->surface = std::move(surface);
    tCurrent = context;
    return TRUE;
}

PROC wglGetProcAddress(LPCSTR name)
{
    if (name == nullptr)
        return nullptr;
    return reinterpret_cast<PROC>(OSMesaGetProcAddress(name));
}

BOOL SwapBuffers(HDC hdc)
{
    Context* context = tCurrent;
    std::shared_ptr<user::GLSurface> surface = SurfaceOfDC(hdc);
    if (context == nullptr || surface == nullptr || surface != context->surface) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    ::glFinish();
    surface->PutFrame(context->buffer.data(), context->width, context->height);
    return TRUE;
}

} // namespace win32

// Mesa keeps a record of every buffer size it was bound at and never frees it; leak checks of
// sanitised builds leave those records alone.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CX_OPENGL_LEAK_CHECKED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define CX_OPENGL_LEAK_CHECKED 1
#endif
#ifdef CX_OPENGL_LEAK_CHECKED
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libOSMesa.so\n";
}
#endif
