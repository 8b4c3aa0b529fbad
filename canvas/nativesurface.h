#ifndef NATIVESURFACE_H
#define NATIVESURFACE_H

#include "canvas/glsurface.h"

#include <QWindow>

// A native window drawn into directly, its context made once the window exists, as Qt's
// openglwindow example makes it on first use. QOpenGLWindow would do most of this, but its
// update() waits for a timer before it paints.
class GLWidget::NativeSurface : public QWindow, public GLWidget::Surface
{
public:
    explicit NativeSurface(GLWidget *owner);
    ~NativeSurface() override;

    QWidget *widget() override;
    QOpenGLContext *context() const override;
    void makeCurrent() override;
    void resized() override;
    void requestFrame() override;

protected:
    void exposeEvent(QExposeEvent *event) override;
    bool event(QEvent *event) override;

private:
    void render();
    void resizeIfNeeded();
    void createContext();
    bool makeContextCurrent();
    void releaseContext();

    GLWidget *canvas;
    QWidget *container;
    QOpenGLContext *glContext = nullptr;
    bool initialized = false;
    bool framePending = false;
    QSize sizeSeen;
};

#endif // NATIVESURFACE_H
