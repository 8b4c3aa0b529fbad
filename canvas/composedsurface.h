#ifndef COMPOSEDSURFACE_H
#define COMPOSEDSURFACE_H

#include "canvas/glsurface.h"

#include <QOpenGLWidget>

// A QOpenGLWidget, which renders into a framebuffer object that the window then composes. Qt
// replaces its context whenever it moves to another window, or the window's graphics device
// is lost, and calls initializeGL again for the new one.
class GLWidget::ComposedSurface : public QOpenGLWidget, public GLWidget::Surface
{
public:
    explicit ComposedSurface(GLWidget *owner);

    QWidget *widget() override;
    QOpenGLContext *context() const override;
    void makeCurrent() override;
    void resized() override;
    void requestFrame() override;

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;

private:
    GLWidget *canvas;
    bool framePainted = false;
};

#endif // COMPOSEDSURFACE_H
