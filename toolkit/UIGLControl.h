#pragma once

#include "foundation/CXMutex.h"
#include "toolkit/UICustomControl.h"
#include "win32/api/OpenGL.h"

#include <functional>

// A control whose window of class "OpenGL" shows what OpenGL renders. The window is made once the
// control has a parent, at the control's size, under the parent's window; it has its own device
// context and rendering context, set up with smooth shading, depth testing and a 45-degree
// perspective. A paint renders (the render hook) and swaps the frame into the window.
//
// The scene lock guards the rendering context: another thread may render between LockScene and
// UnlockScene while the main thread resizes or paints. Everything else belongs to the main thread.
// The class "OpenGL" is registered by the first control that makes a window (one registered before
// counts) and unregistered when the last such control lets its window go.
class UIGLControl : public UICustomControl {
public:
    // The extension entry points loaded when a window is made; null when OpenGL has none by that
    // name.
    struct ExtensionEntryPoints {
        win32::PROC disableVertexAttribArrayARB = nullptr;
        win32::PROC vertexAttribPointerARB = nullptr;
        win32::PROC programStringARB = nullptr;
        win32::PROC bindProgramARB = nullptr;
        win32::PROC genProgramsARB = nullptr;
        win32::PROC programEnvParameter4fvARB = nullptr;
        win32::PROC activeTextureARB = nullptr;
        win32::PROC enableVertexAttribArrayARB = nullptr;
        win32::PROC drawRangeElements = nullptr;
    };
    // Renders one frame into the current context (the scene lock is held).
    using RenderHook = std::function<void(UIGLControl& control)>;

    UIGLControl();
    // Lets the window and context go when Destroy did not.
    ~UIGLControl() override;

    // Makes the window at (0, 0) with the size (frameless) and everything that renders into it;
    // false, with one log line naming the step that failed and everything undone, otherwise. A
    // control that has its window keeps it (true).
    bool CreateGLWindow(int32_t width, int32_t height);
    // Under the scene lock: deletes the context, gives back the device context, destroys the window
    // and lets the class go; each step that fails is logged.
    void KillGLWindow();
    // The viewport of the size (a height of 0 counts as 1), the perspective projection and an
    // identity model-view matrix, on the current context.
    static void ResizeGLScene(int32_t width, int32_t height);
    // The state every scene starts from; true.
    static bool InitGL();
    // gluPerspective through glFrustum: a vertical field of view in degrees, the aspect ratio
    // (width / height) and the near and far planes.
    static void SetPerspective(double fieldOfViewDegrees, double aspect, double zNear, double zFar);

    // Takes the scene lock and makes the context current; false (lock given back) without a
    // device context or when the context cannot be made current.
    bool LockScene();
    // Makes no context current and gives the lock back.
    void UnlockScene();

    void SetRenderHook(RenderHook hook) { fRenderHook = std::move(hook); }
    win32::HDC GetDeviceContext() const { return fDeviceContext; }
    win32::HGLRC GetRenderingContext() const { return fRenderingContext; }
    static const ExtensionEntryPoints& GetExtensionEntryPoints();

    // --- UIElement ---
    // The element's layout, then the window is made if missing, moved to the frame and repainted.
    void LayoutChildren() override;
    // Shown or hidden: the layout again, the window made if missing, and a repaint.
    void NotifyHierarchyVisibilityChanged(bool shown) override;
    // True while there is no window yet.
    bool NeedsRelayout() const override;
    // Always the native family: the control has a window of its own.
    const UIAppearanceImplementation* ChooseAppearanceImplementation(const UIAppearanceImplementation* requested,
                                                                      UIElement* parent) const override;

    // --- UICustomControlBase ---
    // Under the scene lock: renders and swaps the frame into the window. The context is not used.
    void Draw(RazaGraf& graf) override;

    // --- NativeUIElement ---
    // WM_SIZE: the scene resized under the lock; WM_PAINT: a frame drawn; WM_CLOSE: the quit
    // message posted; the rest goes to the default handling.
    win32::LRESULT HandleNativeMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam) override;

protected:
    // Renders one frame: the render hook, nothing without one.
    virtual void Render();

    // The window, once the control has a parent.
    void CreateNativeWindow() override;
    // KillGLWindow, then the control's own window resources.
    void DestroyNativeWindow() override;

private:
    void DrawScene();
    // Makes the window when the control has a parent and a system context but no device context.
    void EnsureGLWindow();
    // Whatever CreateGLWindow made so far goes again (no lock taken).
    void KillGLWindowUnlocked();
    // The window's place in its parent window: the frame less the parent's content origin.
    Box2i PlaceInParentWindow() const;

    CXRecursiveMutex fSceneLock;
    win32::HINSTANCE fInstance = nullptr;
    win32::HDC fDeviceContext = nullptr;
    win32::HGLRC fRenderingContext = nullptr;
    // This control counts among the users of the "OpenGL" class.
    bool fHoldsClass = false;
    RenderHook fRenderHook;
};
