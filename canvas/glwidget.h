#ifndef GLWIDGET_H
#define GLWIDGET_H

// A widget with an OpenGL context of its own and the three GL callbacks, whichever Qt it is
// built with and whichever display server it runs on. resizeGL always receives device pixels,
// and frameSwapped() follows every frame that reaches the screen.

#include <QOpenGLContext>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)

#include <QWidget>

// Qt 6 has no QGLWidget. Where the display server shows native child windows (X11), the
// canvas draws straight into one of its own, as QGLWidget did. Elsewhere it is a QOpenGLWidget,
// which renders into a framebuffer object that the window then composes on every frame.
class GLWidget : public QWidget
{
    Q_OBJECT

public:
    explicit GLWidget(QWidget *parent = nullptr);
    ~GLWidget() override;

    // Whether the canvas has its OpenGL context. On X11 the context is made at construction;
    // elsewhere when the canvas is first shown.
    bool isValid() const;
    QOpenGLContext *openGLContext() const;
    void makeCurrent();
    void doneCurrent();

    // Asks for one frame, drawn on the next pass of the event loop. Several requests before
    // then still draw one frame. It hides QWidget::update(), which does not reach a native
    // surface.
    void update();

signals:
    void frameSwapped();

protected:
    virtual void initializeGL();
    virtual void resizeGL(int width, int height);
    virtual void paintGL();

    void resizeEvent(QResizeEvent *event) override;

private:
    class NativeSurface;
    class ComposedSurface;

    NativeSurface *native = nullptr;
    ComposedSurface *composed = nullptr;
    QWidget *surfaceWidget = nullptr;
};

#else

#include <QGLWidget>

// QGLWidget renders into a native child window of its own and already hands resizeGL device
// pixels. Its default format is a desktop context with the compatibility profile.
class GLWidget : public QGLWidget
{
    Q_OBJECT

public:
    explicit GLWidget(QWidget *parent = nullptr);

    QOpenGLContext *openGLContext() const;

signals:
    void frameSwapped();

protected:
    void glDraw() override;
};

#endif

#endif // GLWIDGET_H
