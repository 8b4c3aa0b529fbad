#ifndef IMMEDIATEPANEL_H
#define IMMEDIATEPANEL_H

#include "canvas/glwidget.h"
#include "model/color3d.h"
#include "model/point2d.h"

#include <vector>

class ObjectModel;

// What GLPanel would be without its display list: it sends every vertex to GL again on each
// paint. It fits the view to the model on resize the same way, so the two differ only in how
// they draw. It copies the model's lists once when given the model rather than on every paint,
// which makes it as fast as immediate mode gets and the list's saving a lower bound.
class ImmediatePanel : public GLWidget
{
    Q_OBJECT

public:
    explicit ImmediatePanel(QWidget *parent = nullptr);

    // Takes ownership of newModel, as GLPanel::setModel does.
    void setModel(ObjectModel *newModel);
    void fitView();

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;

private:
    void fitToModel();

    std::vector<Point2d> vertices;
    std::vector<Color3d> colors;
    int viewWidth = 1;
    int viewHeight = 1;
};

#endif // IMMEDIATEPANEL_H
