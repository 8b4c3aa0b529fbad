#ifndef GLSURFACE_H
#define GLSURFACE_H

#include "canvas/glwidget.h"

// Whatever shows the canvas's frames: the child widget that covers the canvas, and the context
// the canvas draws with.
class GLWidget::Surface
{
public:
    virtual ~Surface() = default;

    virtual QWidget *widget() = 0;
    virtual QOpenGLContext *context() const = 0;
    virtual void makeCurrent() = 0;
    // The canvas has its new size; resizeGL must hear of it before any later command.
    virtual void resized() = 0;
    // One frame, drawn on the next pass of the event loop; several requests before then still
    // draw one.
    virtual void requestFrame() = 0;
};

#endif // GLSURFACE_H
