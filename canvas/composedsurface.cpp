#include "canvas/composedsurface.h"

#include "canvas/glformat.h"

#include <utility>

GLWidget::ComposedSurface::ComposedSurface(GLWidget *owner)
    : QOpenGLWidget(owner), canvas(owner)
{
    setFormat(legacyFormat());
    // The canvas beneath takes the pointer, the wheel and touch, as it does on every path.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // The window composes and swaps whenever any of its widgets changes.
    connect(this, &QOpenGLWidget::frameSwapped, canvas, [this] {
        if (std::exchange(framePainted, false))
            emit canvas->frameSwapped();
    });
}

QWidget *GLWidget::ComposedSurface::widget()
{
    return this;
}

QOpenGLContext *GLWidget::ComposedSurface::context() const
{
    return QOpenGLWidget::context();
}

void GLWidget::ComposedSurface::makeCurrent()
{
    QOpenGLWidget::makeCurrent();
}

// QOpenGLWidget calls resizeGL from its own resize event. Qt repaints the canvas it covers
// without it, as it keeps its own picture.
void GLWidget::ComposedSurface::resized()
{
}

void GLWidget::ComposedSurface::requestFrame()
{
    update();
}

void GLWidget::ComposedSurface::initializeGL()
{
    canvas->initializeGL();
}

// Its framebuffer has the device size worked out this way, not the logical one given.
void GLWidget::ComposedSurface::resizeGL(int, int)
{
    const QSize size = canvas->deviceSize();
    canvas->resizeGL(size.width(), size.height());
}

void GLWidget::ComposedSurface::paintGL()
{
    canvas->paintGL();
    framePainted = true;
}
