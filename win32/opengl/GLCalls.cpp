// The OpenGL calls of win32/api/OpenGL.h, passed to Mesa's. The layer's constants are checked
// against the system header's; they are read before its macros exist.

#include "win32/api/OpenGL.h"

namespace {

constexpr win32::GLenum kLayerConstants[] = {
    win32::GL_DEPTH_BUFFER_BIT, win32::GL_COLOR_BUFFER_BIT, win32::GL_LEQUAL,
    win32::GL_DEPTH_TEST,       win32::GL_VIEWPORT,         win32::GL_MODELVIEW_MATRIX,
    win32::GL_PROJECTION_MATRIX, win32::GL_PERSPECTIVE_CORRECTION_HINT, win32::GL_NICEST,
    win32::GL_MODELVIEW,        win32::GL_PROJECTION,       win32::GL_SMOOTH,
};

} // namespace

#include <GL/gl.h>

#include <type_traits>

static_assert(kLayerConstants[0] == GL_DEPTH_BUFFER_BIT && kLayerConstants[1] == GL_COLOR_BUFFER_BIT &&
              kLayerConstants[2] == GL_LEQUAL && kLayerConstants[3] == GL_DEPTH_TEST &&
              kLayerConstants[4] == GL_VIEWPORT && kLayerConstants[5] == GL_MODELVIEW_MATRIX &&
              kLayerConstants[6] == GL_PROJECTION_MATRIX && kLayerConstants[7] == GL_PERSPECTIVE_CORRECTION_HINT &&
              kLayerConstants[8] == GL_NICEST && kLayerConstants[9] == GL_MODELVIEW &&
              kLayerConstants[10] == GL_PROJECTION && kLayerConstants[11] == GL_SMOOTH);
static_assert(std::is_same_v<win32::GLenum, ::GLenum> && std::is_same_v<win32::GLint, ::GLint> &&
              std::is_same_v<win32::GLsizei, ::GLsizei> && std::is_same_v<win32::GLfloat, ::GLfloat> &&
              std::is_same_v<win32::GLdouble, ::GLdouble> && std::is_same_v<win32::GLbitfield, ::GLbitfield>);

namespace win32 {

void glClear(GLbitfield mask)
{
    ::glClear(mask);
}

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha)
{
    ::glClearColor(red, green, blue, alpha);
}

void glClearDepth(GLclampd depth)
{
    ::glClearDepth(depth);
}

void glShadeModel(GLenum mode)
{
    ::glShadeModel(mode);
}

void glEnable(GLenum capability)
{
    ::glEnable(capability);
}

void glDepthFunc(GLenum function)
{
    ::glDepthFunc(function);
}

void glHint(GLenum target, GLenum mode)
{
    ::glHint(target, mode);
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    ::glViewport(x, y, width, height);
}

void glMatrixMode(GLenum mode)
{
    ::glMatrixMode(mode);
}

void glLoadIdentity()
{
    ::glLoadIdentity();
}

void glFrustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar)
{
    ::glFrustum(left, right, bottom, top, zNear, zFar);
}

void glFinish()
{
    ::glFinish();
}

void glGetIntegerv(GLenum name, GLint* values)
{
    ::glGetIntegerv(name, values);
}

void glGetDoublev(GLenum name, GLdouble* values)
{
    ::glGetDoublev(name, values);
}

} // namespace win32
