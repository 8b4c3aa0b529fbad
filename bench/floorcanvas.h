#ifndef FLOORCANVAS_H
#define FLOORCANVAS_H

#include "canvas/glwidget.h"

// The least a canvas can do to show the default triangle: no model, no display list, no view
// window, just the three vertices in immediate mode under a projection that never changes.
class FloorCanvas : public GLWidget
{
    Q_OBJECT

public:
    explicit FloorCanvas(QWidget *parent = nullptr);

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;
};

#endif // FLOORCANVAS_H
