#include "canvas/glpanel.h"

#include "canvas/canvasaccessible.h"
#include "canvas/viewarithmetic.h"
#include "model/objectmodel.h"

#include <QAccessible>

#include <algorithm>

namespace {

constexpr double zoomInFactor = 0.9;
constexpr double zoomOutFactor = 1.1;
constexpr double panFraction = 0.1;

} // namespace

GLPanel::GLPanel(QWidget *parent)
    : GLWidget(parent)
{
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
}

// Commands only change the view window, so every frame loads it: a new context, too, gets its
// view from the first frame it draws, whether or not a resize came with it.
void GLPanel::paintGL()
{
    loadView();
    glClear(GL_COLOR_BUFFER_BIT);
    if (!model || model->isEmpty())
        return;

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
    describeView();
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // Focus stays on the command's button, and screen readers speak changes of the focused
    // object alone: this asks them to speak the new view wherever focus is.
    QAccessibleAnnouncementEvent announcement(this, accessibleDescription());
    QAccessible::updateAccessibility(&announcement);
#endif
    requestFrame();
}

// Setting the description tells screen readers that it changed.
void GLPanel::describeView()
{
    const QString description = viewDescription();
    if (description != accessibleDescription())
        setAccessibleDescription(description);
}

void GLPanel::fitToModel()
{
    ViewWindow box {};
    model->boundingBox(box.left, box.right, box.bottom, box.top);
    const ViewWindow fitted = fittedView(box, static_cast<double>(viewHeight) / viewWidth);
    setViewWindow(fitted.left, fitted.right, fitted.bottom, fitted.top);
}

void GLPanel::rescaleView(double factor)
{
    const ViewWindow scaled = scaledToAspect({ xMin, xMax, yMin, yMax }, factor,
                                             static_cast<double>(viewHeight) / viewWidth);
    setViewWindow(scaled.left, scaled.right, scaled.bottom, scaled.top);
}

void GLPanel::panView(double fx, double fy)
{
    const double dx = (xMax - xMin) * fx;
    const double dy = (yMax - yMin) * fy;
    setViewWindow(xMin + dx, xMax + dx, yMin + dy, yMax + dy);
}

// A step that would leave no usable projection is dropped, so the view can always be zoomed
// or panned back and never wedges at a degenerate or overflowed window.
void GLPanel::setViewWindow(double left, double right, double bottom, double top)
{
    if (!isUsableRange(left, right) || !isUsableRange(bottom, top))
        return;
    xMin = left;
    xMax = right;
    yMin = bottom;
    yMax = top;
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
