#include "canvas/glwidget.h"

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)

#include <QGuiApplication>
#include <QOpenGLWidget>
#include <QWindow>

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

} // namespace

// A native window with its own context, drawn into directly. QOpenGLWindow would do most of
// this, but its update() waits for a timer before it paints.
class GLWidget::NativeSurface : public QWindow
{
public:
    explicit NativeSurface(GLWidget *owner)
        : canvas(owner)
    {
        setSurfaceType(QSurface::OpenGLSurface);
        setFormat(legacyFormat());
        context.setFormat(format());
        context.create();
    }

    void requestFrame()
    {
        if (framePending)
            return;
        framePending = true;
        QMetaObject::invokeMethod(
                this, [this] { if (framePending) render(); }, Qt::QueuedConnection);
    }

    QOpenGLContext *openGLContext() { return &context; }

protected:
    // An expose needs its picture at once.
    void exposeEvent(QExposeEvent *) override
    {
        if (isExposed())
            render();
    }

    // X11 exposes a window that grows but not one that shrinks, so a resize asks for its own
    // frame; when an expose follows, both get the same one.
    void resizeEvent(QResizeEvent *) override { requestFrame(); }

private:
    void render()
    {
        framePending = false;
        if (!isExposed() || !context.makeCurrent(this))
            return;
        if (!initialized) {
            canvas->initializeGL();
            initialized = true;
        }
        const QSize size = this->size() * devicePixelRatio();
        if (size != sizeSeen) {
            canvas->resizeGL(size.width(), size.height());
            sizeSeen = size;
        }
        canvas->paintGL();
        context.swapBuffers(this);
        emit canvas->frameSwapped();
    }

    GLWidget *canvas;
    QOpenGLContext context;
    bool initialized = false;
    bool framePending = false;
    QSize sizeSeen;
};

// Qt replaces this widget's context whenever it moves to another window, and calls
// initializeGL again for the new one.
class GLWidget::ComposedSurface : public QOpenGLWidget
{
public:
    explicit ComposedSurface(GLWidget *owner)
        : QOpenGLWidget(owner), canvas(owner)
    {
        setFormat(legacyFormat());
        connect(this, &QOpenGLWidget::frameSwapped, canvas, &GLWidget::frameSwapped);
    }

protected:
    void initializeGL() override { canvas->initializeGL(); }

    // Its framebuffer has the device size worked out this way, not the logical one given.
    void resizeGL(int, int) override
    {
        const QSize size = this->size() * devicePixelRatio();
        canvas->resizeGL(size.width(), size.height());
    }

    void paintGL() override { canvas->paintGL(); }

private:
    GLWidget *canvas;
};

GLWidget::GLWidget(QWidget *parent)
    : QWidget(parent)
{
    // Wayland does not show a native child window reliably: under weston one made before its
    // top-level window is exposed never is, and one made after is lost once the top-level
    // window is hidden and shown again. There the canvas keeps to the composed widget.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        native = new NativeSurface(this);
        surfaceWidget = createWindowContainer(native, this);
    } else {
        composed = new ComposedSurface(this);
        surfaceWidget = composed;
    }
}

// Deletes the surface while this part of the canvas still exists; its callbacks must not
// reach a canvas that is half gone.
GLWidget::~GLWidget()
{
    delete surfaceWidget;
}

bool GLWidget::isValid() const
{
    return native ? native->openGLContext()->isValid() : composed->isValid();
}

QOpenGLContext *GLWidget::openGLContext() const
{
    return native ? native->openGLContext() : composed->context();
}

void GLWidget::makeCurrent()
{
    if (native)
        native->openGLContext()->makeCurrent(native);
    else
        composed->makeCurrent();
}

void GLWidget::doneCurrent()
{
    if (native)
        native->openGLContext()->doneCurrent();
    else
        composed->doneCurrent();
}

void GLWidget::update()
{
    if (native)
        native->requestFrame();
    else
        composed->update();
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

void GLWidget::resizeEvent(QResizeEvent *)
{
    surfaceWidget->setGeometry(rect());
}

#else

GLWidget::GLWidget(QWidget *parent)
    : QGLWidget(parent)
{
}

QOpenGLContext *GLWidget::openGLContext() const
{
    return context() ? context()->contextHandle() : nullptr;
}

void GLWidget::glDraw()
{
    QGLWidget::glDraw();
    emit frameSwapped();
}

#endif
