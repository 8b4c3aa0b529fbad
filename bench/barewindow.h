#ifndef BAREWINDOW_H
#define BAREWINDOW_H

#include <QOpenGLContext>
#include <QWindow>

// The least an OpenGL window can do to show the default triangle: a native window with a
// context of its own, the three vertices in immediate mode under a fixed projection, no
// model, no display list, no widgets. What zentrile does beyond this, users wait for.
class BareWindow : public QWindow
{
    Q_OBJECT

public:
    BareWindow();

    // Draws one frame on the next pass of the event loop, as the canvas does.
    void requestFrame();
    // Returns once GL has drawn everything asked of this window's context.
    void finish();

signals:
    void frameSwapped();

protected:
    void exposeEvent(QExposeEvent *event) override;

private:
    void render();

    QOpenGLContext context;
    bool framePending = false;
};

#endif // BAREWINDOW_H
