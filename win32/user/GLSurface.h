#pragma once

// The pixels OpenGL frames land in: a window given a pixel format owns one surface, which
// SwapBuffers fills from any thread and the paint pass copies over the window's client area right
// after the window's WM_PAINT (so its child windows stay on top). A frame swapped outside the
// window's own paint marks the surface fresh and wakes the UI thread; the queue then invalidates
// the window before it looks for WM_PAINT.
//
// The surface is shared: a thread still swapping into it after its window died writes into a
// surface nobody paints any more.

#include "foundation/CXMutex.h"
#include "win32/api/Structures.h"
#include "win32/gdi/GdiSurface.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace win32::user {

struct Window;

class GLSurface {
public:
    explicit GLSurface(HWND hwnd) : fWindow(hwnd) {}

    HWND GetWindow() const { return fWindow; }
    // The window's client size as the UI thread last set it (any thread).
    void GetClientSize(int* width, int* height) const;
    void SetClientSize(int width, int height);
    // Copies a frame (BGRA rows, top first, stride width * 4) with every alpha made 255. On the UI
    // thread inside the window's own WM_PAINT it only waits for the pass to copy it; otherwise the
    // surface becomes fresh and the UI thread is woken. Any thread.
    void PutFrame(const uint8_t* pixels, int width, int height);
    // Clears the fresh mark; true when it was set.
    bool TakeFresh();
    // Copies the frame's part of rect (client coordinates) onto the surface, whose client origin
    // is at origin.
    void CopyTo(const gdi::Surface& target, POINT origin, const RECT& rect) const;

private:
    const HWND fWindow;
    mutable CXMutex fLock;
    int fClientWidth = 0;
    int fClientHeight = 0;
    std::vector<uint32_t> fFrame;
    int fFrameWidth = 0;
    int fFrameHeight = 0;
    bool fFresh = false;
};

// Gives the window a surface, sized to its client area (UI thread); a window that has one keeps
// it. Null for a bad window.
std::shared_ptr<GLSurface> AttachGLSurface(HWND hwnd);
// The window's surface, or null (any thread).
std::shared_ptr<GLSurface> FindGLSurface(HWND hwnd);

// The window part's side (UI thread): the window's client area changed size; the window is gone;
// windows with fresh frames are invalidated (not while their own paint runs); the paint pass
// copies a window's surface over area (buffer coordinates) of its top-level window's back buffer.
void GLSurfaceWindowSized(Window* window);
void GLSurfaceWindowGone(Window* window);
void InvalidateFreshGLSurfaces();
void CopyGLSurface(Window* window, const gdi::Area& area);

} // namespace win32::user
