#include "toolkit/UIGLControl.h"

#include "foundation/CXDebug.h"
#include "toolkit/UIAppearance.h"
#include "win32/user/Paint.h"
#include "win32/user/Queue.h"
#include "win32/user/User.h"

#include <cmath>

using namespace win32;

namespace {

const char16_t kClassName[] = u"OpenGL";
constexpr DWORD kWindowStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD kExtendedStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;

// Controls whose windows use the class; the last to let go unregisters it. Main thread only.
int gClassUsers = 0;

UIGLControl::ExtensionEntryPoints gExtensions;

PIXELFORMATDESCRIPTOR PixelFormat()
{
    PIXELFORMATDESCRIPTOR descriptor = {};
    descriptor.nSize = sizeof(descriptor);
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = 16;
    descriptor.cDepthBits = 16;
    descriptor.iLayerType = PFD_MAIN_PLANE;
    return descriptor;
}

// An existing class counts as registered: another control, or someone else, made it.
bool RegisterGLClass(HINSTANCE instance)
{
    WNDCLASSW windowClass = {};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = &UIWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(IDC_ARROW));
    windowClass.lpszClassName = kClassName;
    return RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void LoadExtensionEntryPoints()
{
    gExtensions.disableVertexAttribArrayARB = wglGetProcAddress("glDisableVertexAttribArrayARB");
    gExtensions.vertexAttribPointerARB = wglGetProcAddress("glVertexAttribPointerARB");
    gExtensions.programStringARB = wglGetProcAddress("glProgramStringARB");
    gExtensions.bindProgramARB = wglGetProcAddress("glBindProgramARB");
    gExtensions.genProgramsARB = wglGetProcAddress("glGenProgramsARB");
    gExtensions.programEnvParameter4fvARB = wglGetProcAddress("glProgramEnvParameter4fvARB");
    gExtensions.activeTextureARB = wglGetProcAddress("glActiveTextureARB");
    gExtensions.enableVertexAttribArrayARB = wglGetProcAddress("glEnableVertexAttribArrayARB");
    gExtensions.drawRangeElements = wglGetProcAddress("glDrawRangeElements");
}

} // namespace

UIGLControl::UIGLControl()
{
    fInstance = GetModuleHandleW(nullptr);
}

UIGLControl::~UIGLControl()
{
    if (fRenderingContext != nullptr || fDeviceContext != nullptr || fHoldsClass)
        KillGLWindow();
}

const UIGLControl::ExtensionEntryPoints& UIGLControl::GetExtensionEntryPoints()
{
    return gExtensions;
}

// --- Window and contexts ---

bool UIGLControl::CreateGLWindow(int32_t width, int32_t height)
{
    CXRecursiveMutexLocker locker(&fSceneLock);
    // One window a control: a second call keeps the first.
    if (fDeviceContext != nullptr)
        return true;
    auto fail = [this](const char* step) {
        CXDebugError("UIGLControl::CreateGLWindow> %s", step);
        KillGLWindowUnlocked();
        return false;
    };
    if (!RegisterGLClass(fInstance))
        return fail("RegisterClass failed");
    if (!fHoldsClass) {
        fHoldsClass = true;
        ++gClassUsers;
    }
    RECT rect = {0, 0, width, height};
    AdjustWindowRectEx(&rect, WS_CHILD | WS_VISIBLE, FALSE, kExtendedStyle);
    HWND handle = CreateWindowExW(kExtendedStyle, kClassName, u"", kWindowStyle, 0, 0, rect.right - rect.left,
                                  rect.bottom - rect.top, GetParentWindowForCreation(), nullptr, fInstance,
                                  static_cast<UIElement*>(this));
    if (handle == nullptr)
        return fail("CreateWindowEx failed");
    SetNativeHandle(handle);
    SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(static_cast<UIElement*>(this)));
    fDeviceContext = GetDC(handle);
    if (fDeviceContext == nullptr)
        return fail("GetDC() failed");
    const PIXELFORMATDESCRIPTOR descriptor = PixelFormat();
    const int format = ChoosePixelFormat(fDeviceContext, &descriptor);
    if (format == 0)
        return fail("ChoosePixelFormat failed");
    if (!SetPixelFormat(fDeviceContext, format, &descriptor))
        return fail("SetPixelFormat failed");
    fRenderingContext = wglCreateContext(fDeviceContext);
    if (fRenderingContext == nullptr)
        return fail("wglCreateContext failed");
    if (!wglMakeCurrent(fDeviceContext, fRenderingContext))
        return fail("wglMakeCurrent failed");
    ResizeGLScene(width, height);
    if (!InitGL())
        return fail("InitGL() failed");
    LoadExtensionEntryPoints();
    wglMakeCurrent(nullptr, nullptr);
    return true;
}

void UIGLControl::KillGLWindow()
{
    CXRecursiveMutexLocker locker(&fSceneLock);
    KillGLWindowUnlocked();
}

void UIGLControl::KillGLWindowUnlocked()
{
    if (fRenderingContext != nullptr) {
        if (wglMakeCurrent(fDeviceContext, fRenderingContext))
            glFinish();
        wglMakeCurrent(nullptr, nullptr);
        if (!wglDeleteContext(fRenderingContext))
            CXDebugError("UIGLControl::KillGLWindow> wglDeleteContext failed");
        fRenderingContext = nullptr;
    }
    HWND handle = GetLiveNativeHandle();
    if (fDeviceContext != nullptr) {
        if (ReleaseDC(handle, fDeviceContext) == 0)
            CXDebugError("UIGLControl::KillGLWindow> ReleaseDC failed");
        fDeviceContext = nullptr;
    }
    if (handle != nullptr) {
        SetWindowLongPtrW(handle, GWLP_USERDATA, 0);
        SetNativeHandle(nullptr);
        if (!DestroyWindow(handle))
            CXDebugError("UIGLControl::KillGLWindow> DestroyWindow failed");
    }
    if (fHoldsClass) {
        fHoldsClass = false;
        if (--gClassUsers == 0 && !UnregisterClassW(kClassName, fInstance))
            CXDebugError("UIGLControl::KillGLWindow> UnregisterClass failed");
    }
}

bool UIGLControl::InitGL()
{
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    return true;
}

void UIGLControl::ResizeGLScene(int32_t width, int32_t height)
{
    if (height == 0)
        height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    SetPerspective(45.0, static_cast<double>(width) / static_cast<double>(height), 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void UIGLControl::SetPerspective(double fieldOfViewDegrees, double aspect, double zNear, double zFar)
{
    const double top = zNear * std::tan(fieldOfViewDegrees * M_PI / 360.0);
    const double right = top * aspect;
    glFrustum(-right, right, -top, top, zNear, zFar);
}

bool UIGLControl::LockScene()
{
    if (fDeviceContext == nullptr)
        return false;
    fSceneLock.LockMutex();
    if (!wglMakeCurrent(fDeviceContext, fRenderingContext)) {
        CXDebugError("UIGLControl::LockScene> wglMakeCurrent failed");
        fSceneLock.UnlockMutex();
        return false;
    }
    return true;
}

void UIGLControl::UnlockScene()
{
    wglMakeCurrent(nullptr, nullptr);
    fSceneLock.UnlockMutex();
}

// --- Drawing ---

void UIGLControl::Render()
{
    if (fRenderHook)
        fRenderHook(*this);
}

void UIGLControl::DrawScene()
{
    if (!LockScene())
        return;
    Render();
    SwapBuffers(fDeviceContext);
    UnlockScene();
}

void UIGLControl::Draw(RazaGraf&)
{
    DrawScene();
}

LRESULT UIGLControl::HandleNativeMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        if (LockScene()) {
            ResizeGLScene(LOWORD(static_cast<uintptr_t>(lParam)), HIWORD(static_cast<uintptr_t>(lParam)));
            UnlockScene();
        }
        return 0;
    case WM_PAINT:
        DrawScene();
        return 0;
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    default:
        return NativeUIElement::HandleNativeMessage(message, wParam, lParam);
    }
}

// --- Element ---

const UIAppearanceImplementation* UIGLControl::ChooseAppearanceImplementation(const UIAppearanceImplementation*,
                                                                               UIElement*) const
{
    return UIAppearanceWin32_Implementation::Get();
}

bool UIGLControl::NeedsRelayout() const
{
    return fDeviceContext == nullptr;
}

void UIGLControl::CreateNativeWindow()
{
    if (GetParent() != nullptr)
        (void)CreateGLWindow(GetWidth(), GetHeight());
}

void UIGLControl::DestroyNativeWindow()
{
    KillGLWindow();
    UICustomControl::DestroyNativeWindow();
}

void UIGLControl::EnsureGLWindow()
{
    if (fDeviceContext != nullptr || GetParent() == nullptr || !HasSystemContext())
        return;
    if (!CreateGLWindow(GetWidth(), GetHeight()))
        return;
    AttachToParentWindow();
    if (HWND handle = GetLiveNativeHandle())
        ShowWindow(handle, IsVisible() ? SW_SHOW : SW_HIDE);
}

Box2i UIGLControl::PlaceInParentWindow() const
{
    const UIElement* parent = GetParent();
    const Vector2i origin = parent != nullptr ? parent->GetContentOrigin() : Vector2i{};
    return GetFrame().Offset(Vector2i{} - origin);
}

void UIGLControl::LayoutChildren()
{
    UICustomControl::LayoutChildren();
    EnsureGLWindow();
    if (HWND handle = GetLiveNativeHandle()) {
        const Box2i place = PlaceInParentWindow();
        MoveWindow(handle, place.left, place.top, place.Width(), place.Height(), TRUE);
    }
    InvalidateAll();
}

void UIGLControl::NotifyHierarchyVisibilityChanged(bool shown)
{
    UICustomControl::NotifyHierarchyVisibilityChanged(shown);
    ApplyLayout();
    EnsureGLWindow();
    InvalidateAll();
}
