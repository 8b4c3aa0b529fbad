#ifndef GLWIDGETBASE_H
#define GLWIDGETBASE_H

// The one place where the canvas depends on the Qt major version. Qt 5 offers QGLWidget,
// which hands resizeGL device pixels and renders into the window itself; Qt 6 only has
// QOpenGLWidget, which hands resizeGL logical pixels and renders into a framebuffer object.

#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <QtGlobal>

namespace GLCompat {

// The canvas draws with fixed-function calls and display lists, which OpenGL ES and the
// core profile lack.
inline QSurfaceFormat legacyFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    return format;
}

// Whether a canvas can get a context at all. Without one, QGLWidget stays blank and
// QOpenGLWidget crashes, so callers check first.
inline bool isOpenGLAvailable()
{
    QOpenGLContext probe;
    probe.setFormat(legacyFormat());
    return probe.create();
}

} // namespace GLCompat

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)

#include <QOpenGLWidget>

using GLWidgetBase = QOpenGLWidget;

namespace GLCompat {

inline void requestLegacyContext(GLWidgetBase *widget)
{
    widget->setFormat(legacyFormat());
}

inline bool isContextCurrent(const GLWidgetBase *widget)
{
    return QOpenGLContext::currentContext() == widget->context();
}

inline int toDevicePixels(const GLWidgetBase *widget, int size)
{
    return qRound(size * widget->devicePixelRatioF());
}

inline QImage grabFramebuffer(GLWidgetBase *widget)
{
    return widget->grabFramebuffer();
}

} // namespace GLCompat

#else

#include <QGLWidget>

using GLWidgetBase = QGLWidget;

namespace GLCompat {

// QGLWidget's default format is already a desktop context with the compatibility profile.
inline void requestLegacyContext(GLWidgetBase *)
{
}

inline bool isContextCurrent(const GLWidgetBase *widget)
{
    return QGLContext::currentContext() == widget->context();
}

// QGLWidget passes device pixels to resizeGL already.
inline int toDevicePixels(const GLWidgetBase *, int size)
{
    return size;
}

inline QImage grabFramebuffer(GLWidgetBase *widget)
{
    widget->updateGL();
    return widget->grabFrameBuffer();
}

} // namespace GLCompat

#endif

#endif // GLWIDGETBASE_H
