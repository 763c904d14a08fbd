#pragma once

// OpenGL in windows: the pixel format, the rendering contexts (wgl) and the buffer swap, and the
// OpenGL calls the toolkit makes, in our own declarations. The calls are defined by the layer's
// win32_opengl library, which renders off-screen; the system's GL headers stay inside it.

#include "win32/api/Types.h"

namespace win32 {

// ---- Pixel formats ------------------------------------------------------------------------------

struct PIXELFORMATDESCRIPTOR {
    WORD nSize;
    WORD nVersion;
    DWORD dwFlags;
    BYTE iPixelType;
    BYTE cColorBits;
    BYTE cRedBits;
    BYTE cRedShift;
    BYTE cGreenBits;
    BYTE cGreenShift;
    BYTE cBlueBits;
    BYTE cBlueShift;
    BYTE cAlphaBits;
    BYTE cAlphaShift;
    BYTE cAccumBits;
    BYTE cAccumRedBits;
    BYTE cAccumGreenBits;
    BYTE cAccumBlueBits;
    BYTE cAccumAlphaBits;
    BYTE cDepthBits;
    BYTE cStencilBits;
    BYTE cAuxBuffers;
    BYTE iLayerType;
    BYTE bReserved;
    DWORD dwLayerMask;
    DWORD dwVisibleMask;
    DWORD dwDamageMask;
};

inline constexpr DWORD PFD_DOUBLEBUFFER = 0x00000001;
inline constexpr DWORD PFD_DRAW_TO_WINDOW = 0x00000004;
inline constexpr DWORD PFD_SUPPORT_OPENGL = 0x00000020;
inline constexpr BYTE PFD_TYPE_RGBA = 0;
inline constexpr BYTE PFD_MAIN_PLANE = 0;

inline constexpr DWORD ERROR_BUSY = 170;
inline constexpr DWORD ERROR_INVALID_PIXEL_FORMAT = 2000;

// A rendering context.
struct HGLRC__;
using HGLRC = HGLRC__*;
// An entry point found by name.
using PROC = void (*)();

// The one pixel format there is (index 1): drawn to a window, OpenGL, double-buffered, RGBA with
// 8 bits a channel (32 colour bits, alpha among them) and a 16-bit depth buffer. Answers it for
// any descriptor of nSize 40 on a window's DC; 0 otherwise (ERROR_INVALID_HANDLE for another DC,
// ERROR_INVALID_PARAMETER for the descriptor) and while the test switch below is on. Any thread.
int ChoosePixelFormat(HDC hdc, const PIXELFORMATDESCRIPTOR* descriptor);
// Gives the DC's window the format (index 1 only): its client area then shows the frames its
// contexts swap (see SwapBuffers). A window takes one format for good: setting the same one again
// succeeds. UI thread.
BOOL SetPixelFormat(HDC hdc, int format, const PIXELFORMATDESCRIPTOR* descriptor);

// A context for windows of the DC's pixel format; null (ERROR_INVALID_PIXEL_FORMAT) when the DC's
// window has none. Any thread.
HGLRC wglCreateContext(HDC hdc);
// Deletes the context; one current on the calling thread stops being current first. FALSE for a
// bad context and (ERROR_BUSY) for one current on another thread.
BOOL wglDeleteContext(HGLRC context);
// Makes the context the calling thread's current one, drawing into a buffer the size of the DC
// window's client area (rows top first); a null context makes none current. FALSE (nothing
// changed) for a bad context, a DC whose window has no pixel format, or a context current on
// another thread (ERROR_BUSY).
BOOL wglMakeCurrent(HDC hdc, HGLRC context);
// The entry point of an OpenGL function or extension by name; null when there is none. Any name
// beginning with "gl" gets an entry point: one Mesa does not know does nothing.
PROC wglGetProcAddress(LPCSTR name);
// Shows the frame drawn so far into the DC's window: waits for the rendering (glFinish), copies
// the frame, opaque, into the window's client area, and has the window painted again. Any thread;
// the calling thread's current context must be bound to this DC's window. A swap made while the
// window's own WM_PAINT runs shows in that paint and asks for no other.
BOOL SwapBuffers(HDC hdc);

// Test switch: while on, ChoosePixelFormat fails.
void SetChoosePixelFormatFailsForTesting(bool fails);

// ---- OpenGL calls -------------------------------------------------------------------------------
// They act on the calling thread's current context; without one they do nothing.

using GLenum = unsigned int;
using GLbitfield = unsigned int;
using GLint = int;
using GLsizei = int;
using GLfloat = float;
using GLclampf = float;
using GLdouble = double;
using GLclampd = double;

inline constexpr GLbitfield GL_DEPTH_BUFFER_BIT = 0x00000100;
inline constexpr GLbitfield GL_COLOR_BUFFER_BIT = 0x00004000;
inline constexpr GLenum GL_LEQUAL = 0x0203;
inline constexpr GLenum GL_DEPTH_TEST = 0x0B71;
inline constexpr GLenum GL_VIEWPORT = 0x0BA2;
inline constexpr GLenum GL_MODELVIEW_MATRIX = 0x0BA6;
inline constexpr GLenum GL_PROJECTION_MATRIX = 0x0BA7;
inline constexpr GLenum GL_PERSPECTIVE_CORRECTION_HINT = 0x0C50;
inline constexpr GLenum GL_NICEST = 0x1102;
inline constexpr GLenum GL_MODELVIEW = 0x1700;
inline constexpr GLenum GL_PROJECTION = 0x1701;
inline constexpr GLenum GL_SMOOTH = 0x1D01;

void glClear(GLbitfield mask);
void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha);
void glClearDepth(GLclampd depth);
void glShadeModel(GLenum mode);
void glEnable(GLenum capability);
void glDepthFunc(GLenum function);
void glHint(GLenum target, GLenum mode);
void glViewport(GLint x, GLint y, GLsizei width, GLsizei height);
void glMatrixMode(GLenum mode);
void glLoadIdentity();
void glFrustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar);
void glFinish();
void glGetIntegerv(GLenum name, GLint* values);
void glGetDoublev(GLenum name, GLdouble* values);

} // namespace win32
