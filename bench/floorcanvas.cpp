#include "floorcanvas.h"

FloorCanvas::FloorCanvas(QWidget *parent)
    : GLWidget(parent)
{
}

void FloorCanvas::initializeGL()
{
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
}

void FloorCanvas::resizeGL(int width, int height)
{
    glViewport(0, 0, width,
               height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(90.0, 210.0, 87.5, 187.5, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void FloorCanvas::paintGL()
{
    glClear(GL_COLOR_BUFFER_BIT);
    glShadeModel(GL_SMOOTH);
    glBegin(GL_TRIANGLES);
    glColor3d(1.0, 0.0, 0.0);
    glVertex2d(100.0, 100.0);
    glColor3d(0.0, 1.0, 0.0);
    glVertex2d(200.0, 100.0);
    glColor3d(0.0, 0.0, 1.0);
    glVertex2d(150.0, 175.0);
    glEnd();
}
