#include "canvas/glwidget.h"

GLWidget::GLWidget(QWidget *parent)
    : QGLWidget(parent)
{
}

QOpenGLContext *GLWidget::openGLContext() const
{
    return context() ? context()->contextHandle() : nullptr;
}

void GLWidget::requestFrame()
{
    update();
}

void GLWidget::glDraw()
{
    QGLWidget::glDraw();
    emit frameSwapped();
}
