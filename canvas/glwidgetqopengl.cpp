#include "canvas/glwidget.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QOpenGLWidget>
#include <QPlatformSurfaceEvent>
#include <QVersionNumber>
#include <QWindow>

#include <utility>

namespace {

// The canvas draws with fixed-function calls and display lists, which OpenGL ES and the core
// profile lack.
QSurfaceFormat legacyFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    return format;
}

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

} // namespace

// Whatever shows the canvas's frames: the child widget that covers the canvas, and the context
// the canvas draws with.
class GLWidget::Surface
{
public:
    virtual ~Surface() = default;

    virtual QWidget *widget() = 0;
    virtual QOpenGLContext *context() const = 0;
    virtual void makeCurrent() = 0;
    // The canvas has its new size; resizeGL must hear of it before any later command.
    virtual void resized() = 0;
    // One frame, drawn on the next pass of the event loop; several requests before then still
    // draw one.
    virtual void requestFrame() = 0;
};

// A native window drawn into directly, its context made once the window exists, as Qt's
// openglwindow example makes it on first use. QOpenGLWindow would do most of this, but its
// update() waits for a timer before it paints.
class GLWidget::NativeSurface : public QWindow, public GLWidget::Surface
{
public:
    explicit NativeSurface(GLWidget *owner)
        : canvas(owner)
    {
        setSurfaceType(QSurface::OpenGLSurface);
        // Where the driver can tell of a GPU reset, a context it took fails to become current
        // and reports itself invalid, as one lost with its display does. The composed surface
        // cannot ask for this: it shares its context with the window's, whose strategy Qt
        // sets, and a context shares only with one of the same strategy.
        QSurfaceFormat format = legacyFormat();
        format.setOption(QSurfaceFormat::ResetNotification);
        setFormat(format);
        container = QWidget::createWindowContainer(this, owner);
    }

    ~NativeSurface() override { releaseContext(); }

    QWidget *widget() override { return container; }
    QOpenGLContext *context() const override { return glContext; }

    void makeCurrent() override
    {
        if (glContext)
            glContext->makeCurrent(this);
    }

    void resized() override
    {
        if (initialized && glContext->makeCurrent(this))
            resizeIfNeeded();
        requestFrame();
    }

    void requestFrame() override
    {
        if (framePending)
            return;
        framePending = true;
        QMetaObject::invokeMethod(
                this, [this] { if (framePending) render(); }, Qt::QueuedConnection);
    }

protected:
    // An expose needs its picture at once.
    void exposeEvent(QExposeEvent *) override
    {
        if (isExposed())
            render();
    }

    // A canvas that is never shown makes no context: making one changes which context is
    // current on the display, under every other canvas.
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::PlatformSurface) {
            switch (static_cast<QPlatformSurfaceEvent *>(event)->surfaceEventType()) {
            case QPlatformSurfaceEvent::SurfaceCreated:
                createContext();
                break;
            case QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed:
                releaseContext();
                // The window may come back elsewhere, at another size.
                sizeSeen = QSize();
                break;
            }
        }
        return QWindow::event(event);
    }

private:
    void render()
    {
        framePending = false;
        if (!isExposed() || !makeContextCurrent())
            return;
        if (!initialized) {
            canvas->initializeGL();
            initialized = true;
        }
        resizeIfNeeded();
        canvas->paintGL();
        glContext->swapBuffers(this);
        emit canvas->frameSwapped();
    }

    // The window's own size follows the canvas's a little later, so the canvas's counts.
    void resizeIfNeeded()
    {
        const QSize size = canvas->deviceSize();
        if (size != sizeSeen) {
            canvas->resizeGL(size.width(), size.height());
            sizeSeen = size;
        }
    }

    void createContext()
    {
        glContext = new QOpenGLContext(this);
        glContext->setFormat(requestedFormat());
        glContext->create();
    }

    // A context is lost with the GPU's state in a reset, or with the display connection that a
    // compositor restart breaks: it no longer becomes current and reports itself invalid. A
    // new one takes its place, and the canvas sets up its GL resources in it again; the view
    // window stays as it was, since nothing about the canvas changed.
    bool makeContextCurrent()
    {
        if (!glContext)
            return false;
        if (glContext->makeCurrent(this))
            return true;
        if (glContext->isValid())
            return false;
        releaseContext();
        createContext();
        return glContext->makeCurrent(this);
    }

    // While the window is still there to make the context current on: the canvas releases
    // its resources when the context says it is about to go, as long as it can still find it.
    void releaseContext()
    {
        if (!glContext)
            return;
        delete glContext;
        glContext = nullptr;
        initialized = false;
    }

    GLWidget *canvas;
    QWidget *container;
    QOpenGLContext *glContext = nullptr;
    bool initialized = false;
    bool framePending = false;
    QSize sizeSeen;
};

// Qt replaces this widget's context whenever it moves to another window, and calls
// initializeGL again for the new one.
class GLWidget::ComposedSurface : public QOpenGLWidget, public GLWidget::Surface
{
public:
    explicit ComposedSurface(GLWidget *owner)
        : QOpenGLWidget(owner), canvas(owner)
    {
        setFormat(legacyFormat());
        // The window composes and swaps whenever any of its widgets changes.
        connect(this, &QOpenGLWidget::frameSwapped, canvas, [this] {
            if (std::exchange(framePainted, false))
                emit canvas->frameSwapped();
        });
    }

    QWidget *widget() override { return this; }
    QOpenGLContext *context() const override { return QOpenGLWidget::context(); }
    void makeCurrent() override { QOpenGLWidget::makeCurrent(); }

    // QOpenGLWidget calls resizeGL from its own resize event. Qt repaints the canvas it covers
    // without it, as it keeps its own picture.
    void resized() override {}
    void requestFrame() override { update(); }

protected:
    void initializeGL() override { canvas->initializeGL(); }

    // Its framebuffer has the device size worked out this way, not the logical one given.
    void resizeGL(int, int) override
    {
        const QSize size = canvas->deviceSize();
        canvas->resizeGL(size.width(), size.height());
    }

    void paintGL() override
    {
        canvas->paintGL();
        framePainted = true;
    }

private:
    GLWidget *canvas;
    bool framePainted = false;
};

GLWidget::GLWidget(QWidget *parent)
    : QWidget(parent)
{
    if (nativeSurfaceShows()) {
        // Otherwise the window's other widgets turn native with the canvas, and on Wayland
        // each becomes a subsurface of its own, which compositors draw wrongly or stack over
        // the canvas.
        QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
        surface = new NativeSurface(this);
    } else {
        surface = new ComposedSurface(this);
    }
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
