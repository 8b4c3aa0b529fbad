#ifndef GLWIDGETBASE_H
#define GLWIDGETBASE_H

// The one place where the canvas depends on the Qt major version. Qt 5 offers QGLWidget,
// which hands resizeGL device pixels and renders into a native window of its own, one that
// Wayland compositors never show; Qt 6 only has QOpenGLWidget, which hands resizeGL logical
// pixels and renders into a framebuffer object that the window composes, on X11 and Wayland.

#include <QOpenGLContext>
#include <QString>
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

// The canvas's context, or null before the canvas is first shown. Qt replaces it when the
// canvas moves to another window.
inline QOpenGLContext *openGLContext(const GLWidgetBase *widget)
{
    return widget->context();
}

// Qt 6 draws natively on Wayland, so any platform the user or the session picks will do.
inline void preferDrawablePlatform()
{
}

inline bool drawsOn(const QString &)
{
    return true;
}

inline int toDevicePixels(const GLWidgetBase *widget, int size)
{
    return qRound(size * widget->devicePixelRatioF());
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

inline QOpenGLContext *openGLContext(const GLWidgetBase *widget)
{
    return widget->context() ? widget->context()->contextHandle() : nullptr;
}

// QGLWidget renders into a native child window, which a Wayland compositor never exposes, so
// on Wayland the canvas would stay blank. Where X11 is reachable as well, use it, unless the
// user chose a platform; a -platform argument still overrides this, as Qt gives it precedence.
inline void preferDrawablePlatform()
{
    const bool waylandSession = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
            || qgetenv("XDG_SESSION_TYPE") == "wayland";
    if (waylandSession && !qEnvironmentVariableIsEmpty("DISPLAY")
        && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
}

inline bool drawsOn(const QString &platformName)
{
    return !platformName.startsWith(QLatin1String("wayland"));
}

// QGLWidget passes device pixels to resizeGL already.
inline int toDevicePixels(const GLWidgetBase *, int size)
{
    return size;
}

} // namespace GLCompat

#endif

#endif // GLWIDGETBASE_H
