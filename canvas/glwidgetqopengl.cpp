#include "canvas/glwidget.h"

#include "canvas/composedsurface.h"
#include "canvas/nativesurface.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QVersionNumber>

namespace {

// X11 shows native child windows. Qt's Wayland plugin shows them from 6.7.0 on: before that a
// child's subsurface is not exposed on the window's first configure (QTBUG-119882,
// QTBUG-119883) and, before 6.5.1, is lost once its window is hidden and shown again. What
// counts is the Qt the program runs with, not the one it was built against.
bool nativeSurfaceShows()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb"))
        return true;
    return platform.startsWith(QLatin1String("wayland"))
            && QVersionNumber::fromString(QLatin1String(qVersion())) >= QVersionNumber(6, 7, 0);
}

// Otherwise the window's other widgets turn native with a native canvas, and on Wayland each
// becomes a subsurface of its own, which compositors draw wrongly or stack over the canvas. Set
// for the whole application before any widget exists, however its canvases are made; it
// changes nothing where no widget is native.
void keepSiblingsAlien()
{
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(keepSiblingsAlien)

GLWidget::GLWidget(QWidget *parent)
    : QWidget(parent)
{
    if (nativeSurfaceShows())
        surface = new NativeSurface(this);
    else
        surface = new ComposedSurface(this);
}

// Deletes the surface while this part of the canvas still exists; its callbacks must not
// reach a canvas that is half gone.
GLWidget::~GLWidget()
{
    delete surface->widget();
}

bool GLWidget::isValid() const
{
    return openGLContext() && openGLContext()->isValid();
}

QOpenGLContext *GLWidget::openGLContext() const
{
    return surface->context();
}

void GLWidget::makeCurrent()
{
    surface->makeCurrent();
}

void GLWidget::doneCurrent()
{
    if (QOpenGLContext *context = openGLContext())
        context->doneCurrent();
}

void GLWidget::initializeGL()
{
}

void GLWidget::resizeGL(int, int)
{
}

void GLWidget::paintGL()
{
}

void GLWidget::requestFrame()
{
    surface->requestFrame();
}

void GLWidget::paintEvent(QPaintEvent *)
{
    surface->requestFrame();
}

void GLWidget::resizeEvent(QResizeEvent *)
{
    surface->widget()->setGeometry(rect());
    surface->resized();
}

QSize GLWidget::deviceSize() const
{
    return size() * devicePixelRatio();
}
