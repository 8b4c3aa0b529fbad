#include "canvas/glpanel.h"

#include "model/objectmodel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

constexpr double fitMargin = 1.1;
constexpr double zoomInFactor = 0.9;
constexpr double zoomOutFactor = 1.1;
constexpr double panFraction = 0.1;

// GL builds the projection matrix in single precision: it rejects equal bounds and turns
// bounds that overflow, or an extent too small to divide by, into a matrix of infinities.
bool isUsableRange(double low, double high)
{
    const float lo = static_cast<float>(low);
    const float hi = static_cast<float>(high);
    const float extent = hi - lo;
    return std::isfinite(lo) && std::isfinite(hi) && extent > 0.0f
            && std::isfinite(extent) && std::isfinite(2.0f / extent)
            && std::isfinite((hi + lo) / extent);
}

// Scales a window about its centre, then widens it along one axis until its proportions are
// height / width = aspect, so one model unit covers as many pixels across as up.
void scaleToAspect(double &left, double &right, double &bottom, double &top, double factor,
                   double aspect)
{
    const double cx = (left + right) / 2.0;
    const double cy = (bottom + top) / 2.0;
    double ew = (right - left) * factor;
    double eh = (top - bottom) * factor;
    if (aspect * ew < eh)
        ew = eh / aspect;
    else
        eh = ew * aspect;
    left = cx - ew * 0.5;
    right = cx + ew * 0.5;
    bottom = cy - eh * 0.5;
    top = cy + eh * 0.5;
}

// The canvas's texts are looked up under the form's context, as every text of the window is.
QString text(const char *source)
{
    return QCoreApplication::translate("TorvaneClass", source);
}

// A share as a whole percentage in the user's locale; shares too large for whole numbers to
// mean much are given in three figures.
QString percent(double share)
{
    const double value = std::abs(share) * 100.0;
    return value < 1e15 ? QLocale().toString(value, 'f', 0) : QLocale().toString(value, 'g', 3);
}

// Screen readers meet the canvas as a picture, named, with the description of what it shows.
// The surface that draws it is no part of what they should read.
class CanvasAccessible : public QAccessibleWidget
{
public:
    explicit CanvasAccessible(QWidget *canvas)
        : QAccessibleWidget(canvas, QAccessible::Graphic)
    {
    }

    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
};

QAccessibleInterface *canvasAccessible(const QString &key, QObject *object)
{
    if (key == QLatin1String("GLPanel") && object->isWidgetType())
        return new CanvasAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

GLPanel::GLPanel(QWidget *parent)
    : GLWidget(parent)
{
    // Once for every canvas: Qt asks each factory in turn for each object it is asked about.
    static const bool factoryInstalled = (QAccessible::installFactory(canvasAccessible), true);
    Q_UNUSED(factoryInstalled)
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
    if (!model || model->isEmpty())
        return text(QT_TRANSLATE_NOOP("TorvaneClass", "No object to show."));

    double left, right, bottom, top;
    model->boundingBox(left, right, bottom, top);
    const char *inView = QT_TRANSLATE_NOOP("TorvaneClass", "Object out of view.");
    if (left >= xMin && right <= xMax && bottom >= yMin && top <= yMax)
        inView = QT_TRANSLATE_NOOP("TorvaneClass", "Whole object in view.");
    else if (left <= xMax && right >= xMin && bottom <= yMax && top >= yMin)
        inView = QT_TRANSLATE_NOOP("TorvaneClass", "Object partly in view.");

    // Against the view Fit would give on the canvas as it is now.
    const double dx = ((left + right) / 2.0 - (xMin + xMax) / 2.0) / (xMax - xMin);
    const double dy = ((bottom + top) / 2.0 - (yMin + yMax) / 2.0) / (yMax - yMin);
    scaleToAspect(left, right, bottom, top, fitMargin,
                  static_cast<double>(viewHeight) / viewWidth);
    const QString zoom = text(QT_TRANSLATE_NOOP("TorvaneClass", "Zoom: %1% of the fitted view."))
                                 .arg(percent((right - left) / (xMax - xMin)));

    // A shift that would read as 0% is none.
    QStringList shifts;
    if (std::abs(dx) >= 0.005) {
        const char *shift = dx < 0 ? QT_TRANSLATE_NOOP("TorvaneClass", "%1% of the width left")
                                   : QT_TRANSLATE_NOOP("TorvaneClass", "%1% of the width right");
        shifts << text(shift).arg(percent(dx));
    }
    if (std::abs(dy) >= 0.005) {
        const char *shift = dy < 0 ? QT_TRANSLATE_NOOP("TorvaneClass", "%1% of the height down")
                                   : QT_TRANSLATE_NOOP("TorvaneClass", "%1% of the height up");
        shifts << text(shift).arg(percent(dy));
    }
    QString where =
            text(QT_TRANSLATE_NOOP("TorvaneClass", "Object centre: at the canvas centre."));
    if (shifts.size() == 1)
        where = text(QT_TRANSLATE_NOOP("TorvaneClass", "Object centre: %1.")).arg(shifts.at(0));
    else if (shifts.size() == 2)
        where = text(QT_TRANSLATE_NOOP("TorvaneClass", "Object centre: %1, %2."))
                        .arg(shifts.at(0), shifts.at(1));
    return text(QT_TRANSLATE_NOOP("TorvaneClass", "%1 %2 %3")).arg(text(inView), zoom, where);
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
    double left, right, bottom, top;
    model->boundingBox(left, right, bottom, top);
    rescaleFrom(left, right, bottom, top, fitMargin);
}

void GLPanel::rescaleView(double factor)
{
    rescaleFrom(xMin, xMax, yMin, yMax, factor);
}

void GLPanel::rescaleFrom(double left, double right, double bottom, double top, double factor)
{
    scaleToAspect(left, right, bottom, top, factor, static_cast<double>(viewHeight) / viewWidth);
    setViewWindow(left, right, bottom, top);
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
