#ifndef GLPANEL_H
#define GLPANEL_H

#include "canvas/glwidget.h"
#include "canvas/viewarithmetic.h"

#include <QTimer>

#include <functional>
#include <optional>

class ObjectModel;
class QTouchEvent;

// Shows an ObjectModel through an orthographic view window whose aspect ratio follows the
// canvas, so the object is never stretched. The model is compiled into a display list on the
// first paint and replayed afterwards. Besides the commands, the hand moves the view as in any
// viewer: the wheel and a pinch zoom about the pointer or the fingers, a drag pans, and the
// focused canvas takes the arrows, Plus, Minus and Home.
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

    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void releaseList();
    void navigate(const std::function<void()> &step);
    ViewWindow view() const;
    void moveView(const ViewWindow &window);
    void endMove();
    void tellViewChanged();
    void describeView();
    CanvasShare shareAt(const QPointF &position) const;
    void grab(const QPointF &position);
    void dragTo(const QPointF &position);
    void endDrag();
    void touchEvent(QTouchEvent *event);
    void pinchBy(double scale);
    bool showsFocus() const;
    void drawFocusFrame();
    void fitToModel();
    void rescaleView(double factor);
    void panView(double fx, double fy);
    bool setViewWindow(const ViewWindow &window);
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

    // A drag or a touch holds this point of the plane under the pointer or the fingers' centre.
    std::optional<Point2d> grabbed;
    Qt::MouseButton dragButton = Qt::NoButton;
    QPointF pointer;
    // A pinch on a touch screen scales the view it started from by the fingers' spread.
    ViewWindow pinchStart {};
    CanvasShare pinchCentre {};
    double pinchSpan = 0.0;
    double touchSpan = 0.0;
    int fingers = 0;
    bool moving = false;
    // A run of wheel steps is one change for a screen reader, told once the wheel rests.
    QTimer wheelRest;
};

#endif // GLPANEL_H
