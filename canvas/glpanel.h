#ifndef GLPANEL_H
#define GLPANEL_H

#include "canvas/glwidget.h"

#include <functional>

class ObjectModel;

// Shows an ObjectModel through an orthographic view window whose aspect ratio follows the
// canvas, so the object is never stretched. The model is compiled into a display list on the
// first paint and replayed afterwards.
class GLPanel : public GLWidget
{
    Q_OBJECT

public:
    explicit GLPanel(QWidget *parent = nullptr);
    ~GLPanel() override;

    // Takes ownership of newModel and deletes the model held so far.
    void setModel(ObjectModel *newModel);

    void viewWindow(double &left, double &right, double &bottom, double &top) const;
    // What a screen reader says of the canvas: whether the object is in view, how far the view
    // is zoomed against the fitted one, and where the object sits on the canvas.
    QString viewDescription() const;

    void fitView();
    void zoomIn();
    void zoomOut();
    void panLeft();
    void panRight();
    void panDown();
    void panUp();

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;

private:
    void releaseList();
    void navigate(const std::function<void()> &step);
    void describeView();
    void fitToModel();
    void rescaleView(double factor);
    void panView(double fx, double fy);
    void setViewWindow(double left, double right, double bottom, double top);
    void loadView();
    GLuint buildDisplayList();

    ObjectModel *model = nullptr;
    GLuint displayList = 0;
    bool listValid = false;
    int viewWidth = 1;
    int viewHeight = 1;
    double xMin = -1.0;
    double xMax = 11.0;
    double yMin = -1.0;
    double yMax = 11.0;
};

#endif // GLPANEL_H
