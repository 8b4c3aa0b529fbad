#ifndef GLWIDGETQOPENGL_H
#define GLWIDGETQOPENGL_H

#ifndef GLWIDGET_H
#error "Include canvas/glwidget.h, which picks the GLWidget of the build's Qt."
#endif

#include <QOpenGLContext>
#include <QWidget>

// Qt 6 has no QGLWidget. The canvas draws through one of two surfaces, chosen when it is made:
// where the display server shows a native child window, a QWindow with a context of its own,
// drawn into directly as QGLWidget did; elsewhere a QOpenGLWidget, which renders into a
// framebuffer object that the window then composes. Either way resizeGL receives device
// pixels as soon as the canvas is resized, QWidget::update() and repaint() ask for a frame,
// and frameSwapped() follows each frame of this canvas that reaches the screen.
class GLWidget : public QWidget
{
    Q_OBJECT

public:
    explicit GLWidget(QWidget *parent = nullptr);
    ~GLWidget() override;

    // Whether the canvas has its OpenGL context, which it makes when it is first shown.
    bool isValid() const;
    QOpenGLContext *openGLContext() const;
    void makeCurrent();
    void doneCurrent();

signals:
    void frameSwapped();

protected:
    // Asks for one frame of the canvas alone. QWidget::update() gives one too, but repaints
    // the widget first, which costs a pass over the whole window before the frame.
    void requestFrame();

    virtual void initializeGL();
    virtual void resizeGL(int width, int height);
    virtual void paintGL();

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    class Surface;
    class NativeSurface;
    class ComposedSurface;

    QSize deviceSize() const;

    Surface *surface;
};

#endif // GLWIDGETQOPENGL_H
