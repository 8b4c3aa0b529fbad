#include "barewindow.h"

#include "canvas/glformat.h"
#include "canvas/viewarithmetic.h"

namespace {

// The default triangle in immediate mode on a white canvas of the given device size, under
// the projection of the canvas's fitted view.
void drawTriangle(int width, int height)
{
    // The canvas's fitted view of the triangle, so that both fill the same pixels.
    const ViewWindow view = fittedView({ 100.0, 200.0, 100.0, 175.0 },
                                       static_cast<double>(height) / qMax(1, width));
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(view.left, view.right, view.bottom, view.top, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glShadeModel(GL_SMOOTH);
    glBegin(GL_TRIANGLES);
    glColor3d(1.0, 0.0, 0.0);
    glVertex2d(100.0, 100.0);
    glColor3d(0.0, 1.0, 0.0);
    glVertex2d(200.0, 100.0);
    glColor3d(0.0, 0.0, 1.0);
    glVertex2d(150.0, 175.0);
    glEnd();
}

} // namespace

BareWindow::BareWindow()
{
    // The canvas's kind of context.
    setSurfaceType(QSurface::OpenGLSurface);
    setFormat(legacyFormat());
    context.setFormat(legacyFormat());
    context.create();
}

void BareWindow::requestFrame()
{
    if (framePending)
        return;
    framePending = true;
    QMetaObject::invokeMethod(this, [this] { render(); }, Qt::QueuedConnection);
}

void BareWindow::finish()
{
    context.makeCurrent(this);
    glFinish();
}

void BareWindow::exposeEvent(QExposeEvent *)
{
    if (isExposed())
        render();
}

void BareWindow::render()
{
    framePending = false;
    if (!isExposed() || !context.makeCurrent(this))
        return;
    const QSize size = this->size() * devicePixelRatio();
    drawTriangle(size.width(), size.height());
    context.swapBuffers(this);
    emit frameSwapped();
}
