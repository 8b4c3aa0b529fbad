#include "canvas/glpanel.h"

#include "canvas/canvasaccessible.h"
#include "canvas/viewarithmetic.h"
#include "model/objectmodel.h"

#include <QAccessible>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QTouchEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr double zoomInFactor = 0.9;
constexpr double zoomOutFactor = 1.1;
constexpr double panFraction = 0.1;
// How long the wheel rests before its run of steps counts as done.
constexpr int wheelRestMs = 300;
// The focus frame's width in logical pixels.
constexpr double focusFrameWidth = 2.0;

// Qt 6 gives every pointer event its position() in the widget's coordinates; Qt 5 has it only
// for the wheel, and calls it localPos() for mouse and gesture events, pos() for touch points.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
template<typename Event>
QPointF positionOf(const Event &event)
{
    return event.position();
}

QList<QPointF> fingersDown(const QTouchEvent &event)
{
    QList<QPointF> down;
    for (const QEventPoint &point : event.points()) {
        if (point.state() != QEventPoint::Released)
            down << point.position();
    }
    return down;
}
#else
template<typename Event>
QPointF positionOf(const Event &event)
{
    return event.localPos();
}

QList<QPointF> fingersDown(const QTouchEvent &event)
{
    QList<QPointF> down;
    for (const QTouchEvent::TouchPoint &point : event.touchPoints()) {
        if (point.state() != Qt::TouchPointReleased)
            down << point.pos();
    }
    return down;
}
#endif

QPointF centreOf(const QList<QPointF> &points)
{
    return (points.at(0) + points.at(1)) / 2.0;
}

double spanOf(const QList<QPointF> &points)
{
    return std::hypot(points.at(0).x() - points.at(1).x(), points.at(0).y() - points.at(1).y());
}

} // namespace

GLPanel::GLPanel(QWidget *parent)
    : GLWidget(parent)
{
    // The canvas takes the keys that move the view, by click and by Tab.
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_AcceptTouchEvents);
    wheelRest.setSingleShot(true);
    wheelRest.setInterval(wheelRestMs);
    connect(&wheelRest, &QTimer::timeout, this, &GLPanel::endMove);
    describeView();
}

GLPanel::~GLPanel()
{
    delete model;
    releaseList();
    // The base class destroys the context next; this part of the canvas is gone by then.
    if (QOpenGLContext *context = openGLContext())
        context->disconnect(this);
}

void GLPanel::setModel(ObjectModel *newModel)
{
    if (newModel == model)
        return;
    delete model;
    model = newModel;
    // The list shows the old model; the next paint recompiles it and releases the old one.
    listValid = false;
    describeView();
}

void GLPanel::viewWindow(double &left, double &right, double &bottom, double &top) const
{
    left = xMin;
    right = xMax;
    bottom = yMin;
    top = yMax;
}

QString GLPanel::viewDescription() const
{
    std::optional<ViewWindow> object;
    if (model && !model->isEmpty()) {
        object.emplace();
        model->boundingBox(object->left, object->right, object->bottom, object->top);
    }
    return canvasDescription({ xMin, xMax, yMin, yMax }, object, QSize(viewWidth, viewHeight));
}

void GLPanel::fitView()
{
    navigate([this] { fitToModel(); });
}

void GLPanel::zoomIn()
{
    navigate([this] { rescaleView(zoomInFactor); });
}

void GLPanel::zoomOut()
{
    navigate([this] { rescaleView(zoomOutFactor); });
}

void GLPanel::panLeft()
{
    navigate([this] { panView(panFraction, 0.0); });
}

void GLPanel::panRight()
{
    navigate([this] { panView(-panFraction, 0.0); });
}

void GLPanel::panDown()
{
    navigate([this] { panView(0.0, panFraction); });
}

void GLPanel::panUp()
{
    navigate([this] { panView(0.0, -panFraction); });
}

// Runs for every new context: Qt replaces the context when the canvas moves to another window.
void GLPanel::initializeGL()
{
    connect(openGLContext(), &QOpenGLContext::aboutToBeDestroyed, this, &GLPanel::releaseList);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_LINE_SMOOTH);
}

void GLPanel::resizeGL(int width, int height)
{
    // A collapsed canvas keeps a one-pixel extent so that the aspect ratio stays finite.
    viewWidth = std::max(1, width);
    viewHeight = std::max(1, height);

    if (!model || model->isEmpty())
        rescaleView(1.0);
    else
        fitToModel();
    loadView();
    describeView();
    // A drag or a pinch goes on from the refitted view, holding what is now under the hand.
    if (grabbed) {
        grabbed = pointAt(view(), shareAt(pointer));
        pinchStart = view();
        pinchCentre = shareAt(pointer);
        pinchSpan = touchSpan;
    }
}

// Commands only change the view window, so every frame loads it: a new context, too, gets its
// view from the first frame it draws, whether or not a resize came with it.
void GLPanel::paintGL()
{
    loadView();
    glClear(GL_COLOR_BUFFER_BIT);
    if (model && !model->isEmpty()) {
        if (!listValid) {
            if (displayList != 0)
                glDeleteLists(displayList, 1);
            displayList = buildDisplayList();
        }
        if (displayList != 0) {
            glCallList(displayList);
            listValid = true;
        }
    }
    if (showsFocus())
        drawFocusFrame();
}

// The list lives in the context that compiled it; the next paint compiles a new one. Runs
// outside the GL callbacks, so it makes the canvas's own context current. A lost context took
// its lists with it and takes no more calls.
void GLPanel::releaseList()
{
    if (displayList != 0 && isValid()) {
        makeCurrent();
        glDeleteLists(displayList, 1);
        doneCurrent();
    }
    displayList = 0;
    listValid = false;
}

// Commands change the view window alone; the next frame loads it, as a command has no context.
void GLPanel::navigate(const std::function<void()> &step)
{
    if (!model)
        return;
    step();
    tellViewChanged();
    requestFrame();
}

ViewWindow GLPanel::view() const
{
    return { xMin, xMax, yMin, yMax };
}

// The hand moves the view in many small steps. Each draws, at most one frame per pass of the
// event loop; a screen reader hears of the whole move once it ends.
void GLPanel::moveView(const ViewWindow &window)
{
    if (!model || !setViewWindow(window))
        return;
    moving = true;
    requestFrame();
}

void GLPanel::endMove()
{
    if (std::exchange(moving, false))
        tellViewChanged();
}

void GLPanel::tellViewChanged()
{
    // Screen readers speak a change of the focused object's description.
    describeView();
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // Elsewhere, as on the command's button that keeps the focus, they speak only what they
    // are asked to announce.
    if (!hasFocus()) {
        QAccessibleAnnouncementEvent announcement(this, accessibleDescription());
        QAccessible::updateAccessibility(&announcement);
    }
#endif
}

// Setting the description tells screen readers that it changed.
void GLPanel::describeView()
{
    const QString description = viewDescription();
    if (description != accessibleDescription())
        setAccessibleDescription(description);
}

// Pointer positions in logical pixels from the canvas's top-left corner; the view spans the
// whole canvas. A collapsed side counts as one pixel, as it does for the view.
CanvasShare GLPanel::shareAt(const QPointF &position) const
{
    return { position.x() / std::max(1, width()), position.y() / std::max(1, height()) };
}

void GLPanel::grab(const QPointF &position)
{
    pointer = position;
    grabbed = pointAt(view(), shareAt(position));
}

void GLPanel::dragTo(const QPointF &position)
{
    pointer = position;
    moveView(placedAt(view(), *grabbed, shareAt(position)));
}

void GLPanel::endDrag()
{
    grabbed.reset();
    dragButton = Qt::NoButton;
    fingers = 0;
    unsetCursor();
    endMove();
}

bool GLPanel::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        touchEvent(static_cast<QTouchEvent *>(event));
        return true;
    case QEvent::NativeGesture: {
        // A touchpad's pinch, as a change of scale since its last event.
        const auto *gesture = static_cast<QNativeGestureEvent *>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            const double scale = 1.0 + gesture->value();
            if (isUsableFactor(scale))
                moveView(zoomedAbout(view(), 1.0 / scale, shareAt(positionOf(*gesture))));
        } else if (gesture->gestureType() == Qt::EndNativeGesture) {
            endMove();
        }
        return true;
    }
    default:
        return GLWidget::event(event);
    }
}

// A drag with the left or the middle button holds the point grabbed under the pointer; Qt
// keeps sending the canvas the pointer's moves until the button is released, wherever it goes.
void GLPanel::mousePressEvent(QMouseEvent *event)
{
    if (dragButton != Qt::NoButton || !(event->button() & (Qt::LeftButton | Qt::MiddleButton))) {
        event->ignore();
        return;
    }
    dragButton = event->button();
    grab(positionOf(*event));
    setCursor(Qt::ClosedHandCursor);
}

void GLPanel::mouseMoveEvent(QMouseEvent *event)
{
    if (dragButton == Qt::NoButton || !grabbed) {
        event->ignore();
        return;
    }
    dragTo(positionOf(*event));
}

void GLPanel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != dragButton || dragButton == Qt::NoButton) {
        event->ignore();
        return;
    }
    endDrag();
}

// A wheel step away from the user zooms in by the ZoomIn factor about the pointer, a step
// towards the user zooms out by its inverse, and a fraction of a step by that power of it, so
// that a step in and a step out return to the same view. A touchpad's scroll, which comes in
// pixels, pans by them unless Ctrl is held.
void GLPanel::wheelEvent(QWheelEvent *event)
{
    event->accept();
    const QPoint pixels = event->pixelDelta();
    if (!pixels.isNull() && !(event->modifiers() & Qt::ControlModifier)) {
        const CanvasShare share = shareAt(pixels);
        moveView(shifted(view(), -share.x, share.y));
    } else {
        const double steps = (event->inverted() ? -1.0 : 1.0) * event->angleDelta().y() / 120.0;
        if (steps != 0.0) {
            moveView(zoomedAbout(view(), std::pow(zoomInFactor, steps),
                                 shareAt(event->position())));
        }
    }
    if (moving)
        wheelRest.start();
}

// One finger drags as the mouse does; two pinch, zooming about their centre and moving with
// it. A finger that comes or goes starts the gesture again from the view as it is.
void GLPanel::touchEvent(QTouchEvent *event)
{
    event->accept();
    const QList<QPointF> down = fingersDown(*event);
    if (event->type() == QEvent::TouchEnd || event->type() == QEvent::TouchCancel
        || down.isEmpty()) {
        endDrag();
        return;
    }
    if (down.size() != fingers) {
        fingers = down.size();
        if (fingers == 1) {
            grab(down.at(0));
        } else {
            grab(centreOf(down));
            pinchStart = view();
            pinchCentre = shareAt(pointer);
            pinchSpan = touchSpan = spanOf(down);
        }
        return;
    }
    if (fingers == 1) {
        dragTo(down.at(0));
        return;
    }
    pointer = centreOf(down);
    touchSpan = spanOf(down);
    // Fingers that started or came together at one point give no scale.
    if (pinchSpan > 0.0)
        pinchBy(touchSpan / pinchSpan);
}

void GLPanel::pinchBy(double scale)
{
    if (isUsableFactor(scale))
        moveView(placedAt(zoomedAbout(pinchStart, 1.0 / scale, pinchCentre), *grabbed,
                          shareAt(pointer)));
}

void GLPanel::keyPressEvent(QKeyEvent *event)
{
    // Plus needs Shift on many keyboards, and keypad keys carry a modifier of their own.
    const Qt::KeyboardModifiers others =
            event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (others == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Left: panLeft(); return;
        case Qt::Key_Right: panRight(); return;
        case Qt::Key_Down: panDown(); return;
        case Qt::Key_Up: panUp(); return;
        case Qt::Key_Plus:
        case Qt::Key_Equal: zoomIn(); return;
        case Qt::Key_Minus: zoomOut(); return;
        case Qt::Key_Home: fitView(); return;
        default: break;
        }
    }
    GLWidget::keyPressEvent(event);
}

void GLPanel::focusInEvent(QFocusEvent *event)
{
    GLWidget::focusInEvent(event);
    requestFrame();
}

void GLPanel::focusOutEvent(QFocusEvent *event)
{
    GLWidget::focusOutEvent(event);
    requestFrame();
}

// As Qt's styles do, the frame shows once the keyboard has moved the focus in the window: a
// click that gives the canvas focus leaves the picture as it was.
bool GLPanel::showsFocus() const
{
    return hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

// In the palette's highlight, over the canvas's edges in device pixels.
void GLPanel::drawFocusFrame()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, viewWidth, 0.0, viewHeight, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const QColor highlight = palette().color(QPalette::Highlight);
    glColor3d(highlight.redF(), highlight.greenF(), highlight.blueF());
    const double t = std::max(1.0, std::round(focusFrameWidth * devicePixelRatioF()));
    glRectd(0.0, 0.0, viewWidth, t);
    glRectd(0.0, viewHeight - t, viewWidth, viewHeight);
    glRectd(0.0, 0.0, t, viewHeight);
    glRectd(viewWidth - t, 0.0, viewWidth, viewHeight);
}

void GLPanel::fitToModel()
{
    ViewWindow box {};
    model->boundingBox(box.left, box.right, box.bottom, box.top);
    const ViewWindow fitted = fittedView(box, static_cast<double>(viewHeight) / viewWidth);
    setViewWindow(fitted);
}

void GLPanel::rescaleView(double factor)
{
    setViewWindow(scaledToAspect(view(), factor, static_cast<double>(viewHeight) / viewWidth));
}

void GLPanel::panView(double fx, double fy)
{
    setViewWindow(shifted(view(), fx, fy));
}

// A step that would leave no usable projection is dropped, so the view can always be zoomed
// or panned back and never wedges at a degenerate or overflowed window. Says whether the view
// changed.
bool GLPanel::setViewWindow(const ViewWindow &window)
{
    if (!isUsableRange(window.left, window.right) || !isUsableRange(window.bottom, window.top))
        return false;
    const bool changed = window.left != xMin || window.right != xMax
            || window.bottom != yMin || window.top != yMax;
    xMin = window.left;
    xMax = window.right;
    yMin = window.bottom;
    yMax = window.top;
    return changed;
}

void GLPanel::loadView()
{
    glViewport(0, 0, viewWidth, viewHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(xMin, xMax, yMin, yMax, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

GLuint GLPanel::buildDisplayList()
{
    if (!model || model->isEmpty())
        return 0;

    const GLuint name = glGenLists(1);
    glNewList(name, GL_COMPILE);
    const std::vector<Point2d> verts = model->vertexList();
    const std::vector<Color3d> cols = model->colorList();
    glShadeModel(GL_SMOOTH);
    glBegin(GL_TRIANGLES);
    for (std::size_t i = 0; i < verts.size(); ++i) {
        glColor3d(cols[i].r(), cols[i].g(), cols[i].b());
        glVertex2d(verts[i].x(), verts[i].y());
    }
    glEnd();
    glEndList();
    return name;
}
