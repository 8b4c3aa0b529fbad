#ifndef GLWIDGETQGLWIDGET_H
#define GLWIDGETQGLWIDGET_H

#ifndef GLWIDGET_H
#error "Include canvas/glwidget.h, which picks the GLWidget of the build's Qt."
#endif

#include <QGLWidget>
#include <QOpenGLContext>

// QGLWidget already behaves as the canvas needs: it makes its context current around the three
// GL callbacks, calls resizeGL as soon as it is resized, with device pixels, and repaints on
// QWidget::update() and repaint(). isValid(), makeCurrent() and doneCurrent() are its own. Its
// default format is a desktop context with the compatibility profile.
class GLWidget : public QGLWidget
{
    Q_OBJECT

public:
    explicit GLWidget(QWidget *parent = nullptr);

    QOpenGLContext *openGLContext() const;

signals:
    // This canvas's frame has reached the screen.
    void frameSwapped();

protected:
    // Asks for one frame; QGLWidget's update() already draws only the canvas.
    void requestFrame();

    void glDraw() override;
};

#endif // GLWIDGETQGLWIDGET_H
