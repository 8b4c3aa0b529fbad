#include "canvas/nativesurface.h"

#include "canvas/glformat.h"

#include <QPlatformSurfaceEvent>

GLWidget::NativeSurface::NativeSurface(GLWidget *owner)
    : canvas(owner)
{
    setSurfaceType(QSurface::OpenGLSurface);
    // Where the driver can tell of a GPU reset, a context it took fails to become current and
    // reports itself invalid, as one lost with its display does. The composed surface cannot
    // ask for this: it shares its context with the window's, whose strategy Qt sets, and a
    // context shares only with one of the same strategy.
    QSurfaceFormat format = legacyFormat();
    format.setOption(QSurfaceFormat::ResetNotification);
    setFormat(format);
    // Input passes through the native window to the window beneath, whose widgets Qt serves:
    // the canvas then has its pointer, wheel, touch and keys as any widget has, with positions
    // in its own coordinates, and whatever filters its events sees them. The window and its
    // container take neither the pointer nor the focus.
    setFlag(Qt::WindowTransparentForInput);
    setFlag(Qt::WindowDoesNotAcceptFocus);
    container = QWidget::createWindowContainer(this, owner);
    container->setAttribute(Qt::WA_TransparentForMouseEvents);
    container->setFocusPolicy(Qt::NoFocus);
}

GLWidget::NativeSurface::~NativeSurface()
{
    releaseContext();
}

QWidget *GLWidget::NativeSurface::widget()
{
    return container;
}

QOpenGLContext *GLWidget::NativeSurface::context() const
{
    return glContext;
}

void GLWidget::NativeSurface::makeCurrent()
{
    if (glContext)
        glContext->makeCurrent(this);
}

void GLWidget::NativeSurface::resized()
{
    if (initialized && glContext->makeCurrent(this))
        resizeIfNeeded();
    requestFrame();
}

void GLWidget::NativeSurface::requestFrame()
{
    if (framePending)
        return;
    framePending = true;
    QMetaObject::invokeMethod(
            this, [this] { if (framePending) render(); }, Qt::QueuedConnection);
}

// An expose needs its picture at once.
void GLWidget::NativeSurface::exposeEvent(QExposeEvent *)
{
    if (isExposed())
        render();
}

// A canvas that is never shown makes no context: making one changes which context is current
// on the display, under every other canvas.
bool GLWidget::NativeSurface::event(QEvent *event)
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

void GLWidget::NativeSurface::render()
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
void GLWidget::NativeSurface::resizeIfNeeded()
{
    const QSize size = canvas->deviceSize();
    if (size != sizeSeen) {
        canvas->resizeGL(size.width(), size.height());
        sizeSeen = size;
    }
}

// The surface deletes its contexts itself (releaseContext()) and gives them no parent to do it
// for it: a context it forgot would otherwise live on unseen until the window goes, and the
// leak checker could not report it.
void GLWidget::NativeSurface::createContext()
{
    glContext = new QOpenGLContext;
    glContext->setFormat(requestedFormat());
    glContext->create();
}

// A context is lost with the GPU's state in a reset, or with the display connection that a
// compositor restart breaks: it no longer becomes current and reports itself invalid. A new one
// takes its place, and the canvas sets up its GL resources in it again; the view window stays
// as it was, since nothing about the canvas changed.
bool GLWidget::NativeSurface::makeContextCurrent()
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

// While the window is still there to make the context current on: the canvas releases its
// resources when the context says it is about to go, as long as it can still find it.
void GLWidget::NativeSurface::releaseContext()
{
    if (!glContext)
        return;
    delete glContext;
    glContext = nullptr;
    initialized = false;
}
