#include "immediatepanel.h"

#include "model/objectmodel.h"

#include <algorithm>
#include <memory>

ImmediatePanel::ImmediatePanel(QWidget *parent)
    : GLWidget(parent)
{
}

void ImmediatePanel::setModel(ObjectModel *newModel)
{
    const std::unique_ptr<ObjectModel> model(newModel);
    vertices = model->vertexList();
    colors = model->colorList();
}

void ImmediatePanel::fitView()
{
    makeCurrent();
    fitToModel();
    update();
}

void ImmediatePanel::initializeGL()
{
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_LINE_SMOOTH);
}

void ImmediatePanel::resizeGL(int width, int height)
{
    viewWidth = std::max(1, width);
    viewHeight = std::max(1, height);
    glViewport(0, 0, viewWidth, viewHeight);
    fitToModel();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void ImmediatePanel::paintGL()
{
    glClear(GL_COLOR_BUFFER_BIT);
    glShadeModel(GL_SMOOTH);
    glBegin(GL_TRIANGLES);
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        glColor3d(colors[i].r(), colors[i].g(), colors[i].b());
        glVertex2d(vertices[i].x(), vertices[i].y());
    }
    glEnd();
}

// GLPanel's fit: the bounding box grown by a tenth, widened along one axis to the aspect.
void ImmediatePanel::fitToModel()
{
    double left = 0.0, right = 10.0, bottom = 0.0, top = 10.0;
    if (!vertices.empty()) {
        left = right = vertices.front().x();
        bottom = top = vertices.front().y();
        for (const Point2d &p : vertices) {
            left = std::min(left, p.x());
            right = std::max(right, p.x());
            bottom = std::min(bottom, p.y());
            top = std::max(top, p.y());
        }
    }
    const double aspect = static_cast<double>(viewHeight) / viewWidth;
    const double cx = (left + right) / 2.0;
    const double cy = (bottom + top) / 2.0;
    double ew = (right - left) * 1.1;
    double eh = (top - bottom) * 1.1;
    if (aspect * ew < eh)
        ew = eh / aspect;
    else
        eh = ew * aspect;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(cx - ew / 2.0, cx + ew / 2.0, cy - eh / 2.0, cy + eh / 2.0, -1.0, 1.0);
}
